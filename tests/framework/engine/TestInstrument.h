#pragma once
// A test-only instrument on the engine base: fake voices that write a constant
// into the mix, an effect unit that records its sub-blocks, and an engine that
// logs its hooks against the frame position at which they ran.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/engine/CFx.h"
#include "framework/engine/CSynthesizer.h"
#include "tests/support/TestPlugin.h"

class FakeVoice : public CSynthVoice {
public:
    void start() override { ++starts; }
    // A released fake voice keeps its note, as a real one does during its tail.
    void release() override { ++releases; }
    void reset() override
    {
        ++resets;
        note = -1;
    }
    void render(float* inL, float* inR, float* mixL, float* mixR, int32_t frames) override;

    int32_t starts = 0;
    int32_t releases = 0;
    int32_t resets = 0;
};

// Records every sub-block and writes a constant into both mix buffers.
class RecordingFx : public CFx {
public:
    explicit RecordingFx(bool* destroyedFlag = nullptr)
        : destroyed(destroyedFlag)
    {
    }
    ~RecordingFx() override
    {
        if (destroyed != nullptr)
            *destroyed = true;
    }
    void process(float* inL, float* inR, float* bufL, float* bufR, int32_t frames) override;
    void reset() override { ++resets; }
    void setSampleRate(double rate) override { rates.push_back(rate); }
    void setTempo(double bpm) override { tempos.push_back(bpm); }

    float mixValue = 1.0f;
    std::vector<int32_t> blocks;
    std::vector<int32_t> silent;
    std::vector<float> firstInputL;
    int32_t resets = 0;
    std::vector<double> rates;
    std::vector<double> tempos;
    bool* destroyed;
};

class TestInstrument : public TestEngine {
public:
    explicit TestInstrument(CPluginWrapper* wrapper = nullptr, int32_t programs = 1);

    // Frames rendered in this engine so far (across blocks).
    int64_t framePosition = 0;
    std::vector<std::string> log;
    int32_t multiOutputCalls = 0;
    float* multiFirstOut = nullptr;
    // Non-null entries the multi-channel hook saw in both of its whole arrays.
    int32_t multiPointersSeen = 0;

    struct VoiceNote {
        int note;
        int velocity;
        int64_t frame;
    };
    std::vector<VoiceNote> voiceNotes;
    // Note starts among voiceNotes, in order.
    std::vector<int> startedNotes() const;

    void onNote(int8_t note, int8_t velocity) override;
    void playVoiceNote(int8_t note, int8_t velocity) override;
    void onController(int8_t controller) override;
    void onPitchBend() override;
    void onChannelPressure() override;
    void onProgramChange(int32_t program) override;
    bool onBankSelect(int32_t value) override;
    void onParameterChanged(int32_t index, float value) override;
    void renderBeforeVoices(float* inL, float* inR, float* mixL, float* mixR, int32_t frames) override;
    void renderMultiOutput(float** inputs, float** outputs, int32_t frames) override;

    bool takeBankSelect = false;

    // Access to what an instrument product sets up.
    FakeVoice* addFakeVoice();
    RecordingFx* installFx(bool* destroyedFlag = nullptr);
    using CSynthesizer::controllerValues;
    using CSynthesizer::detuneAmount;
    using CSynthesizer::glideMode;
    using CSynthesizer::glideTime;
    using CSynthesizer::lastNote;
    using CSynthesizer::monoMode;
    using CSynthesizer::pattern;
    using CSynthesizer::patternEnable;
    using CSynthesizer::setControllerLink;
    using CSynthesizer::setEffectUnit;
    using CSynthesizer::silentFrames;
    using CSynthesizer::unisonCount;
    using CSynthesizer::velocityCurve;
    using CSynthesizer::voiceCount;
    using CSynthesizer::voiceMode;

    // Queues one event; true when the queue took it.
    bool send(uint8_t status, uint8_t d1, uint8_t d2, int32_t offset = 0);
    // Queues one event and applies it with a one-frame block.
    void apply(uint8_t status, uint8_t d1, uint8_t d2);
    // Renders frames of silence input into out (resized), replacing.
    int32_t renderInto(std::vector<float>& outL, std::vector<float>& outR, int32_t frames);
    // Renders total frames in host blocks of blockSize, discarding the output.
    void renderBlocks(int32_t total, int32_t blockSize);

    static std::string entry(const char* what, int a, int b = -1000);
};
