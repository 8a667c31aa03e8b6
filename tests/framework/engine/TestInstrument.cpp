#include "tests/framework/engine/TestInstrument.h"

void FakeVoice::render(float*, float*, float* mixL, float* mixR, int32_t frames)
{
    for (int32_t i = 0; i < frames; ++i) {
        mixL[i] += 0.25f;
        mixR[i] += 0.25f;
    }
}

void RecordingFx::process(float* inL, float*, float* bufL, float* bufR, int32_t frames)
{
    blocks.push_back(frames);
    silent.push_back(silentFrames);
    firstInputL.push_back(inL != nullptr ? inL[0] : -1.0f);
    for (int32_t i = 0; i < frames; ++i) {
        bufL[i] = mixValue;
        bufR[i] = mixValue;
    }
}

TestInstrument::TestInstrument(CPluginWrapper* wrapper, int32_t programs)
    : TestEngine(wrapper, programs)
{
}

std::string TestInstrument::entry(const char* what, int a, int b)
{
    std::string text = what;
    text += ' ';
    text += std::to_string(a);
    if (b != -1000) {
        text += ' ';
        text += std::to_string(b);
    }
    return text;
}

void TestInstrument::onNote(int8_t note, int8_t velocity)
{
    log.push_back(entry("note", note, velocity) + " @" + std::to_string(framePosition));
    CSynthesizer::onNote(note, velocity);
}

void TestInstrument::playVoiceNote(int8_t note, int8_t velocity)
{
    voiceNotes.push_back({note, velocity, framePosition});
    CSynthesizer::playVoiceNote(note, velocity);
}

std::vector<int> TestInstrument::startedNotes() const
{
    std::vector<int> out;
    for (const VoiceNote& v : voiceNotes) {
        if (v.velocity > 0)
            out.push_back(v.note);
    }
    return out;
}

void TestInstrument::renderBlocks(int32_t total, int32_t blockSize)
{
    std::vector<float> l(static_cast<size_t>(blockSize)), r(static_cast<size_t>(blockSize));
    float* outs[2] = {l.data(), r.data()};
    for (int32_t done = 0; done < total; done += blockSize)
        render(nullptr, outs, blockSize, true);
}

void TestInstrument::onController(int8_t controller)
{
    log.push_back(entry("cc", controller) + " @" + std::to_string(framePosition));
    CSynthesizer::onController(controller);
}

void TestInstrument::onPitchBend() { log.push_back("bend"); }
void TestInstrument::onChannelPressure() { log.push_back("pressure"); }
void TestInstrument::onProgramChange(int32_t program) { log.push_back(entry("program", program)); }

bool TestInstrument::onBankSelect(int32_t value)
{
    log.push_back(entry("bank", value));
    return takeBankSelect;
}

void TestInstrument::onParameterChanged(int32_t index, float value)
{
    log.push_back(entry("param", index, static_cast<int>(value * 1000.0f)));
}

void TestInstrument::renderBeforeVoices(float*, float*, float*, float*, int32_t frames) { framePosition += frames; }

void TestInstrument::renderMultiOutput(float** inputs, float** outputs, int32_t frames)
{
    ++multiOutputCalls;
    multiFirstOut = outputs[0];
    multiPointersSeen = 0;
    for (int32_t i = 0; i < kMaxChannelPointers; ++i)
        multiPointersSeen += (inputs[i] != nullptr) + (outputs[i] != nullptr);
    framePosition += frames;
}

FakeVoice* TestInstrument::addFakeVoice()
{
    auto* voice = new FakeVoice;
    addVoice(voice);
    return voice;
}

RecordingFx* TestInstrument::installFx(bool* destroyedFlag)
{
    auto* fx = new RecordingFx(destroyedFlag);
    setEffectUnit(fx);
    return fx;
}

bool TestInstrument::send(uint8_t status, uint8_t d1, uint8_t d2, int32_t offset)
{
    return queueMidiEvent(MidiQueueEvent {status, d1, d2, 0, offset});
}

void TestInstrument::apply(uint8_t status, uint8_t d1, uint8_t d2)
{
    send(status, d1, d2, 0);
    float l = 0.0f, r = 0.0f;
    float* outs[2] = {&l, &r};
    render(nullptr, outs, 1, true);
}

int32_t TestInstrument::renderInto(std::vector<float>& outL, std::vector<float>& outR, int32_t frames)
{
    outL.assign(static_cast<size_t>(frames), -7.0f);
    outR.assign(static_cast<size_t>(frames), -7.0f);
    float* outs[2] = {outL.data(), outR.data()};
    return render(nullptr, outs, frames, true);
}
