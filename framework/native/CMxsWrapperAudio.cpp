// CMxsWrapper's audio path: interleaved rendering for effect and instrument
// hosts, host voices as queued notes, and host MIDI. Everything here runs on
// the audio thread and touches only buffers allocated at creation.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/engine/CPluginDefinition.h"
#include "framework/engine/CSynthesizer.h"
#include "framework/native/CMxsWrapper.h"

namespace {
constexpr int32_t kNoteOn = 0x90;
}

void CMxsWrapper::renderEffect(const float* input, float* output, int32_t frames)
{
    if (input == nullptr || output == nullptr || frames <= 0)
        return;
    float* left = scratchL_.get();
    float* right = scratchR_.get();
    // The engine reads as many channel pointers as the definition names: the
    // host's stereo pair is the first two inputs and the main outputs, further
    // inputs have nothing behind them, and further output pairs render into
    // the extra buffers, which this host does not take.
    float* inputs[kMaxExtraOutputs] = {left, right};
    float* outputs[kMaxExtraOutputs] = {left, right};
    for (int32_t p = 1; p < outputPairs_; ++p) {
        outputs[2 * p] = extraOutputs_[2 * (p - 1)].get();
        outputs[2 * p + 1] = extraOutputs_[2 * (p - 1) + 1].get();
    }
    // Longer blocks than the scratch holds go through in pieces.
    for (int32_t done = 0; done < frames;) {
        const int32_t n = std::min(frames - done, kScratchFrames);
        const float* in = input + 2 * static_cast<std::size_t>(done);
        for (int32_t i = 0; i < n; ++i) {
            left[i] = in[2 * i];
            right[i] = in[2 * i + 1];
        }
        if (engine_ != nullptr)
            engine_->render(inputs, outputs, n, true);
        float* out = output + 2 * static_cast<std::size_t>(done);
        for (int32_t i = 0; i < n; ++i) {
            out[2 * i] = left[i];
            out[2 * i + 1] = right[i];
        }
        done += n;
    }
}

void CMxsWrapper::renderGenerator(float* buffer, int32_t* frames)
{
    if (buffer == nullptr || frames == nullptr || *frames <= 0)
        return;
    const int32_t total = *frames;
    const TOrvaneHostOperations* ops = hostOps();
    float* inputs[kMaxExtraOutputs] = {scratchL_.get(), scratchR_.get()};
    float* outputs[kMaxExtraOutputs] = {scratchL_.get(), scratchR_.get()};
    int32_t destinations[kMaxExtraOutputs / 2] = {};
    for (int32_t p = 1; p < outputPairs_; ++p) {
        outputs[2 * p] = extraOutputs_[2 * (p - 1)].get();
        outputs[2 * p + 1] = extraOutputs_[2 * (p - 1) + 1].get();
        destinations[p - 1] = engine_ != nullptr ? engine_->getOutputDestination(p - 1) : 0;
    }
    applyHostVoices();

    // Where each pair is added, interleaved; null: nowhere. The host is asked
    // for its buffers once per call, and each piece adds at its own frames.
    float* into[kMaxExtraOutputs / 2] = {channelEnables_[0] != 0 ? buffer : nullptr};
    for (int32_t done = 0; done < total;) {
        const int32_t n = std::min(total - done, kScratchFrames);
        // The chain reads its inputs even when nothing plays into it, and a
        // skipped block writes nothing: silence, never what the previous
        // block left behind.
        const std::size_t bytes = sizeof(float) * static_cast<std::size_t>(n);
        for (int32_t c = 0; c < 2 * outputPairs_; ++c)
            std::memset(outputs[c], 0, bytes);
        if (engine_ != nullptr)
            engine_->render(inputs, outputs, n, true);
        if (done + n == total)
            endFinishedHostVoices();
        if (done == 0) {
            if (instrument_ && ops != nullptr && ops->mixBegin != nullptr)
                ops->mixBegin(host_);
            for (int32_t p = 1; p < outputPairs_; ++p) {
                if (channelEnables_[p] != 0 && ops != nullptr && ops->outputBuffer != nullptr)
                    into[p] = ops->outputBuffer(host_, hostTag_, destinations[p - 1]);
            }
        }
        for (int32_t p = 0; p < outputPairs_; ++p) {
            if (into[p] == nullptr)
                continue;
            float* to = into[p] + 2 * static_cast<std::size_t>(done);
            const float* l = outputs[2 * p];
            const float* r = outputs[2 * p + 1];
            for (int32_t i = 0; i < n; ++i) {
                to[2 * i] += l[i];
                to[2 * i + 1] += r[i];
            }
        }
        done += n;
    }
    if (instrument_ && ops != nullptr && ops->mixEnd != nullptr)
        ops->mixEnd(host_);
}

void CMxsWrapper::applyHostVoices()
{
    if (engine_ == nullptr)
        return;
    const TOrvaneHostOperations* ops = hostOps();
    for (int32_t key = 0; key < kKeys; ++key) {
        const TOrvaneVoiceRecord* record = voiceRecords_[key];
        KeyRecord* target = engine_->getKeyRecord(key);
        if (record == nullptr || target == nullptr)
            continue;
        float first = 1.0f;
        float second = 1.0f;
        if (ops != nullptr && ops->voiceGains != nullptr)
            ops->voiceGains(host_, &first, &second, record->gainInputs[0], record->gainInputs[1]);
        target->gain[0] = first;
        target->gain[1] = second;
        target->pitchOffset = static_cast<double>(record->finePitch) * 0.01 + (60 - key);
        target->extra[0] = record->keyValues[0];
        target->extra[1] = record->keyValues[1];
    }
}

void CMxsWrapper::endFinishedHostVoices()
{
    if (engine_ == nullptr)
        return;
    for (int32_t key = 0; key < kKeys; ++key)
        if (voiceRecords_[key] != nullptr && !engine_->isKeyActive(key))
            endHostVoice(key);
}

void CMxsWrapper::endHostVoice(int32_t key)
{
    const TOrvaneHostOperations* ops = hostOps();
    if (ops != nullptr && ops->voiceEnded != nullptr)
        ops->voiceEnded(host_, voiceTags_[key], 0);
    voiceRecords_[key] = nullptr;
    voiceTags_[key] = 0;
}

void CMxsWrapper::queueNote(int32_t status, int32_t data1, int32_t data2, int32_t spare)
{
    if (engine_ == nullptr)
        return;
    MidiQueueEvent event;
    event.status = static_cast<uint8_t>(status);
    event.data1 = static_cast<uint8_t>(data1 & 0x7F);
    event.data2 = static_cast<uint8_t>(data2 & 0x7F);
    event.spare = static_cast<uint8_t>(spare & 0x7F);
    event.offset = 0;
    engine_->queueMidiEvent(event);  // a full queue drops it
}

intptr_t CMxsWrapper::startVoice(const TOrvaneVoiceRecord* record, intptr_t voiceTag)
{
    // No record, no voice: a handle outside 0..127 that ReleaseVoice ignores.
    if (record == nullptr)
        return -1;
    const float pitch = record->pitch * 0.01f;
    const int32_t key = std::isfinite(pitch) ? static_cast<int32_t>(std::clamp(pitch, 0.0f, 127.0f)) : 0;
    if (voiceRecords_[key] != nullptr) {
        const TOrvaneHostOperations* ops = hostOps();
        if (ops != nullptr && ops->voiceEnded != nullptr)
            ops->voiceEnded(host_, voiceTags_[key], 0);
    }
    voiceRecords_[key] = record;
    voiceTags_[key] = voiceTag;

    // A level that is not a number or below 0 plays as silence.
    const float level = record->level > 0.0f ? record->level : 0.0f;
    const double curve = 127.0 * std::log(1.0 + 10.0 * static_cast<double>(level)) / std::log(21.0);
    const int32_t velocity = static_cast<int32_t>(std::clamp(curve, 0.0, 127.0));
    queueNote(kNoteOn, key, velocity, 0);

    const TOrvaneHostOperations* ops = hostOps();
    if (ops != nullptr && ops->voiceStarted != nullptr)
        ops->voiceStarted(host_, voiceTag, 6, 0, 0);
    return key;
}

void CMxsWrapper::releaseVoice(intptr_t handle)
{
    // The host's voice record stays until the render loop sees the key end.
    if (handle >= 0 && handle < kKeys)
        queueNote(kNoteOn, static_cast<int32_t>(handle), 0, 0);
}

void CMxsWrapper::killVoice(intptr_t handle)
{
    if (handle >= 0 && handle < kKeys)
        releaseVoice(handle);
}

void CMxsWrapper::killAllVoices()
{
    for (int32_t key = 0; key < kKeys; ++key)
        killVoice(key);
}

void CMxsWrapper::receiveMidi(const uint8_t* message)
{
    if (engine_ == nullptr || message == nullptr)
        return;
    const int32_t port = engine_->getMidiPort();
    if (port < 0 || message[3] != port)
        return;
    queueNote(message[0] & 0xF0, message[1], message[2], message[3]);
}
