#pragma once
#include <cstdint>

// The effect unit the engine runs once per sub-block, after its voices.
// All calls except construction and destruction come from the engine: process
// on the audio thread, reset/setSampleRate/setTempo on whichever thread calls
// the engine's reset, setSampleRate or setTempo.
class CFx {
public:
    CFx() = default;
    CFx(const CFx&) = delete;
    CFx& operator=(const CFx&) = delete;

    // Renders one sub-block (at most 128 frames) in place into the engine's
    // two mix buffers; either input pointer may be null.
    virtual void process(float* inL, float* inR, float* bufL, float* bufR, int32_t frames)
    {
        (void)inL;
        (void)inR;
        (void)bufL;
        (void)bufR;
        (void)frames;
    }
    virtual void reset() { }
    virtual void setSampleRate(double rate) { (void)rate; }
    virtual void setTempo(double bpm) { (void)bpm; }
    virtual ~CFx() = default;
    virtual void destroy() { delete this; }

    // Frames rendered since the last sub-block in which a voice sounded; the
    // engine writes it before every process call.
    int32_t silentFrames = 0;
};
