#pragma once

#include <cmath>

// The interface of every pedal a box can hold. Pedals are created, fed and
// destroyed by the chain's pedal factory on the audio thread, which always
// calls setSampleRate(chain rate), setParameter(j, knob j) for j = 0..4 and
// reset() before the first process(). setParameter() may later come from the
// thread that turned a knob while process() runs; what it writes must be safe
// to read mid-block (see tb::Relaxed).
//
// Every operation has a harmless default so a pedal overrides only what it
// needs.
class CPedalFX {
public:
    // Processes one sub-block of both channels in place.
    virtual void process(float* left, float* right, int frames)
    {
        (void)left;
        (void)right;
        (void)frames;
    }
    // Stores the rate and rebuilds what depends on it, then resets.
    virtual void setSampleRate(double rate) { (void)rate; }
    // Clears the signal state.
    virtual void reset() { }
    // Deletes the pedal and everything it owns.
    virtual void destroy() { delete this; }
    // Stores knob index (0..4) and updates what depends on it.
    virtual void setParameter(int index, float value)
    {
        (void)index;
        (void)value;
    }

    // Knob values reach a pedal clamped to 0..1; a value that is not a number
    // counts as 0. The stored program value is not touched.
    static float clampKnob(float v)
    {
        if (!(v > 0.0f))
            return 0.0f;
        return v < 1.0f ? v : 1.0f;
    }

    // Rates outside this range are ignored by every pedal: the ring sizes and
    // smoothing factors are only sound within it.
    static bool usableRate(double rate) { return rate >= kLowestRate && rate <= kHighestRate; }
    static constexpr double kLowestRate = 8000.0;
    static constexpr double kHighestRate = 384000.0;

protected:
    CPedalFX() = default;
    // Only destroy() deletes a pedal.
    virtual ~CPedalFX() = default;
};
