#pragma once

#include "framework/dsp/Flush.h"
#include "framework/dsp/Relaxed.h"

// One second-order section of the fixed filters (input high-pass, model-stage
// and distortion low-pass, distortion low-cut). The coefficients may be rebuilt
// by the thread that turns a knob while the audio thread filters, hence the
// relaxed fields; the states belong to the audio thread alone.
//
// The numerator of both forms is fixed ((1, 2, 1) for the low-pass and
// (1, -2, 1) for the high-pass), so only b0 is stored.
struct BiquadSection {
    tb::Relaxed<float> b0;
    tb::Relaxed<float> a1;
    tb::Relaxed<float> a2;
    float x2 = 0.0f;
    float x1 = 0.0f;
    float y2 = 0.0f;
    float y1 = 0.0f;

    void clearState() { x2 = x1 = y2 = y1 = 0.0f; }

    // y = (x + 2 x1 + x2) b0 - a1 y1 - a2 y2
    float lowPass(float x)
    {
        x = tb::flush(x);
        const float y = (x + 2.0f * x1 + x2) * b0.load() - a1.load() * y1 - a2.load() * y2;
        shift(x, y);
        return y;
    }

    // y = (x - 2 x1 + x2) b0 - a1 y1 - a2 y2
    float highPass(float x)
    {
        x = tb::flush(x);
        const float y = (x - 2.0f * x1 + x2) * b0.load() - a1.load() * y1 - a2.load() * y2;
        shift(x, y);
        return y;
    }

private:
    void shift(float x, float y)
    {
        x2 = tb::flush(x1);
        x1 = tb::flush(x);
        y2 = tb::flush(y1);
        y1 = tb::flush(y);
    }
};

// Fill b0, a1, a2 of a section; the states are left alone. q is twice the
// usual quality factor, and b0's denominator is 2 + s / q: the fixed filters
// of this product are tuned with exactly this form, so it is kept.
// The frequency is kept below 0.49 times the rate and q at 0.001 or more, so
// no call can build an unstable section; a rate that is not a positive finite
// number leaves the section unchanged.
void setLowPass(BiquadSection& section, double frequency, double q, double rate);
void setHighPass(BiquadSection& section, double frequency, double q, double rate);
