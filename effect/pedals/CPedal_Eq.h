#pragma once

#include "effect/pedals/CPedalFX.h"
#include "framework/dsp/EqBand.h"
#include "framework/dsp/Relaxed.h"

// Four-band equaliser pedal: a 300 Hz low shelf, 700 Hz and 1800 Hz peaking
// bands and a 7 kHz high shelf, the same on both channels. Knob j (0..3) sets
// band j from -10 to +10 dB on a square law around the centre, so small
// moves near 0.5 stay gentle. Knob 4 does nothing.
class CPedal_Eq : public CPedalFX {
public:
    static constexpr int kBands = 4;

    CPedal_Eq();

    void process(float* left, float* right, int frames) override;
    void setSampleRate(double rate) override;
    void reset() override;
    void setParameter(int index, float value) override;

    // Read-only views for tests.
    const EqBand& leftBand(int j) const { return left_[j]; }
    const EqBand& rightBand(int j) const { return right_[j]; }
    double sampleRate() const { return sampleRate_; }

    // The gain in dB that knob value v gives a band.
    static double gainForKnob(float v);

private:
    EqBand left_[kBands];
    EqBand right_[kBands];
    // Read by setParameter on the knob thread; 44.1 kHz until the chain says
    // otherwise.
    tb::Relaxed<double> sampleRate_ {44100.0};
};
