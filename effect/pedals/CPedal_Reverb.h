#pragma once

#include "effect/pedals/CPedalFX.h"

namespace plate {
class PlateEffect;
}

// The plate reverb as a pedal: three knobs reach three of the plate's
// parameters, the high cut is off and the diffusion full.
class CPedal_Reverb : public CPedalFX {
public:
    // Creates its own plate; without memory for it the pedal stays silent.
    CPedal_Reverb();

    void process(float* left, float* right, int frames) override;
    void setSampleRate(double rate) override;
    void reset() override;
    void setParameter(int index, float value) override;

    const plate::PlateEffect* reverb() const { return reverb_; }

private:
    ~CPedal_Reverb() override;

    plate::PlateEffect* reverb_ = nullptr;
};
