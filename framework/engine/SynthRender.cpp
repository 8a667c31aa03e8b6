// The block render loop of the engine: event splitting, sub-blocks, hooks,
// voices, effect unit and output gains.
#include <algorithm>
#include <cstring>

#include "framework/engine/CPluginDefinition.h"
#include "framework/engine/CSynthesizer.h"

namespace {
constexpr float kGainSmoothing = 0.005f;
constexpr int32_t kSilentFramesLimit = 0x7fffffff;
}

bool CSynthesizer::queueMidiEvent(const MidiQueueEvent& event)
{
    if (queueCount >= kQueueCapacity)
        return false;
    queue[queueCount++] = event;
    return true;
}

// Applies the queued events at their offsets and hands the audio between
// them to renderPiece in sub-blocks of at most kBlockMaximum frames.
template <typename RenderPiece> void CSynthesizer::runEvents(int32_t frames, RenderPiece&& renderPiece)
{
    int32_t remaining = frames;
    while (remaining > 0) {
        if (currentEvent >= 0)
            decodeMidiEvent(currentEvent);

        int64_t run;
        if (readIndex < queueCount) {
            const int32_t offset = queue[readIndex].offset;
            // An event stamped before the current position is applied at once;
            // the position itself never moves backwards.
            int64_t gap = static_cast<int64_t>(offset) - static_cast<int64_t>(lastOffset);
            if (gap < 0)
                gap = 0;
            else
                lastOffset = offset;
            currentEvent = readIndex++;
            run = gap;
        } else {
            currentEvent = -1;
            run = remaining;
        }
        if (run < 1)
            continue;

        bool blockEnded = false;
        for (;;) {
            const int32_t n = static_cast<int32_t>(std::min<int64_t>({kBlockMaximum, remaining, run}));
            remaining -= n;
            run -= n;
            if (n < 1) {
                blockEnded = true;  // the event lies at or past the block end
                break;
            }
            renderPiece(n);
            if (run <= 0)
                break;
        }
        if (blockEnded)
            break;
    }
}

int32_t CSynthesizer::render(float** inputs, float** outputs, int32_t frames, bool replacing)
{
    // Claiming busy before looking at the pending counter closes the window in
    // which a switch could start while this block also starts.
    if (busy.exchange(true))
        return 1;

    std::memset(keyActivity, 0, sizeof(keyActivity));
    preRender();

    if (const int32_t pending = pendingProgramChanges.load(); pending != 0) {
        busy.store(false);
        return pending;
    }

    const CPluginDefinition* definition = pluginDefinition();
    const int32_t inputChannels = definition != nullptr ? definition->inputChannels : 0;
    const int32_t outputPairs = definition != nullptr ? definition->outputPairs : 1;
    const bool stereo = outputPairs < 2 && inputChannels <= 2;

    // Each path sets up only its own ports: the multi-channel pointer arrays
    // are 2 KB, and clearing them on every stereo block made small host
    // blocks dearer per frame than large ones.
    if (stereo) {
        StereoPorts ports;
        if (outputs != nullptr && outputPairs >= 1) {
            ports.outL = outputs[0];
            ports.outR = outputs[1];
        }
        if (inputs != nullptr) {
            if (inputChannels == 1) {
                ports.inL = inputs[0];
            } else if (inputChannels == 2) {
                ports.inL = inputs[0];
                ports.inR = inputs[1];
            }
        }
        runEvents(frames, [&](int32_t n) { renderStereo(ports, n, replacing); });
    } else {
        MultiPorts ports;
        ports.inputCount = std::clamp(inputChannels, 0, kMaxChannelPointers);
        ports.outputCount = 2 * std::clamp(outputPairs, 0, kMaxOutputPairs);
        for (int32_t i = 0; inputs != nullptr && i < ports.inputCount; ++i)
            ports.inputs[i] = inputs[i];
        for (int32_t i = 0; outputs != nullptr && i < ports.outputCount; ++i)
            ports.outputs[i] = outputs[i];
        if (replacing && frames > 0) {
            for (int32_t i = 0; i < ports.outputCount; ++i) {
                if (ports.outputs[i] != nullptr)
                    std::memset(ports.outputs[i], 0, sizeof(float) * static_cast<size_t>(frames));
            }
        }
        runEvents(frames, [&](int32_t n) { renderMulti(ports, n); });
    }

    endBlock();
    return 0;
}

void CSynthesizer::endBlock()
{
    currentEvent = -1;
    queueCount = 0;
    readIndex = 0;
    lastOffset = 0;
    busy.store(false);
}

void CSynthesizer::markSoundingKeys()
{
    // Keys 0..126 only: the top key is never marked on these paths.
    for (int32_t key = 0; key < kKeys - 1; ++key)
        keyActivity[key] = keys[key].velocity != 0 ? 1 : 0;
}

void CSynthesizer::advancePattern(double rate, double bpm, int32_t frames) { pattern.advance(rate, bpm, frames); }

void CSynthesizer::stepPatternAndMarkKeys(int32_t n)
{
    // Both channel paths start a sub-block this way.
    if (patternEnable) {
        advancePattern(sampleRate, tempo, n);
        markSoundingKeys();
    }
    if (monoMode) {
        markSoundingKeys();
        // A mono line without voices has no first voice to mark.
        if (voiceList != nullptr && voiceList->note >= 0)
            keyActivity[voiceList->note] = 1;
    }
}

void CSynthesizer::renderStereo(StereoPorts& ports, int32_t n, bool replacing)
{
    float* const bufL = mixL.get();
    float* const bufR = mixR.get();
    const size_t bytes = sizeof(float) * static_cast<size_t>(n);
    std::memset(bufL, 0, bytes);
    std::memset(bufR, 0, bytes);

    // Effect units work in place on the inputs they are handed; hosts do not
    // expect their buffers to change, so every piece renders from our copies.
    float* inL = nullptr;
    float* inR = nullptr;
    if (ports.inL != nullptr) {
        inL = inCopyL.get();
        std::memcpy(inL, ports.inL, bytes);
    }
    if (ports.inR != nullptr) {
        inR = inCopyR.get();
        std::memcpy(inR, ports.inR, bytes);
    }

    stepPatternAndMarkKeys(n);
    renderBeforeVoices(inL, inR, bufL, bufR, n);

    bool voiceRendered = false;
    for (CSynthVoice* voice = voiceList; voice != nullptr; voice = voice->next) {
        if (voice->note < 0)
            continue;
        if (!patternEnable && !monoMode)
            keyActivity[voice->note] = 1;
        voice->render(inL, inR, bufL, bufR, n);
        voiceRendered = true;
    }
    if (voiceRendered)
        silentFrames = 0;
    else
        silentFrames = silentFrames > kSilentFramesLimit - n ? kSilentFramesLimit : silentFrames + n;

    renderAfterVoices(inL, inR, bufL, bufR, n);
    if (effectUnit != nullptr) {
        effectUnit->silentFrames = silentFrames;
        effectUnit->process(inL, inR, bufL, bufR, n);
    }
    renderAfterEffect(inL, inR, bufL, bufR, n);

    const float targetL = getOutputGain(false);
    const float targetR = getOutputGain(true);
    if (ports.inL != nullptr)
        ports.inL += n;
    if (ports.inR != nullptr)
        ports.inR += n;

    float gainL = currentGainL;
    float gainR = currentGainR;
    for (int32_t i = 0; i < n; ++i) {
        if (ports.outL != nullptr) {
            const float sample = bufL[i] * gainL;
            if (replacing)
                *ports.outL = sample;
            else
                *ports.outL += sample;
            ++ports.outL;
        }
        if (ports.outR != nullptr) {
            const float sample = bufR[i] * gainR;
            if (replacing)
                *ports.outR = sample;
            else
                *ports.outR += sample;
            ++ports.outR;
        }
        gainL += (targetL - gainL) * kGainSmoothing;
        gainR += (targetR - gainR) * kGainSmoothing;
    }
    currentGainL = gainL;
    currentGainR = gainR;
}

void CSynthesizer::renderMulti(MultiPorts& ports, int32_t n)
{
    stepPatternAndMarkKeys(n);
    renderMultiOutput(ports.inputs, ports.outputs, n);
    for (int32_t i = 0; i < ports.inputCount; ++i) {
        if (ports.inputs[i] != nullptr)
            ports.inputs[i] += n;
    }
    for (int32_t i = 0; i < ports.outputCount; ++i) {
        if (ports.outputs[i] != nullptr)
            ports.outputs[i] += n;
    }
}
