#pragma once
#include <cstdint>

// Per-key state of the engine. The engine itself writes only the sounding
// velocity and the pressure; the rest belongs to the native adaptor's
// instrument path and to voices, which keep a pointer to their key's record.
struct KeyRecord {
    uint8_t velocity = 0;  // sounding velocity, 0 = not sounding
    double gain[2] = {0.0, 0.0};
    double pitchOffset = 0.0;  // semitones
    double pressure = 0.0;  // polyphonic pressure 0..1
    double extra[2] = {0.0, 0.0};
};

// One voice of an instrument built on the engine. The engine allocates voices
// from its list, fills in these fields and calls the operations; the sound
// itself is the instrument's. Everything runs on the thread that renders or
// decodes MIDI (the audio thread), or in reset.
class CSynthVoice {
public:
    CSynthVoice() = default;
    CSynthVoice(const CSynthVoice&) = delete;
    CSynthVoice& operator=(const CSynthVoice&) = delete;
    virtual ~CSynthVoice() = default;

    virtual void start() { }
    virtual void release() { }
    virtual void reset() { }
    virtual void setSampleRate(double rate) { sampleRate = rate; }
    // Adds the voice's sound for frames frames into the mix buffers.
    virtual void render(float* inL, float* inR, float* mixL, float* mixR, int32_t frames)
    {
        (void)inL;
        (void)inR;
        (void)mixL;
        (void)mixR;
        (void)frames;
    }

    int8_t note = -1;  // negative = free
    uint8_t unisonIndex = 0;
    uint8_t unisonCount = 1;
    double detune = 0.0;
    double velocityGain = 0.0;
    double glideStartPitch = 0.0;
    double glideRate = 0.0;
    uint8_t released = 0;
    uint32_t age = 0;
    KeyRecord* key = nullptr;
    double sampleRate = 44100.0;
    CSynthVoice* next = nullptr;
};
