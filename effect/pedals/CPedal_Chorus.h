#pragma once

#include <memory>

#include "effect/pedals/CPedalFX.h"
#include "framework/dsp/CTapeDelay.h"
#include "framework/dsp/Relaxed.h"

// Three tape lines of slightly different lengths and LFO rates, fed with the
// mono sum. Each line's output is added to the dry signal, inverted by the
// level law; one line is shared by both sides, the other two are one per side.
class CPedal_Chorus : public CPedalFX {
public:
    CPedal_Chorus() = default;

    void process(float* left, float* right, int frames) override;
    void setSampleRate(double rate) override;
    void reset() override;
    void setParameter(int index, float value) override;

    const CTapeDelay* line(int i) const { return lines_[i].get(); }

private:
    ~CPedal_Chorus() override = default;
    void updatePedal();

    double sampleRate_ = 44100.0;
    tb::Relaxed<float> knobs_[3];
    std::unique_ptr<CTapeDelay> lines_[3];
};
