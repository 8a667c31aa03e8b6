#include "effect/pedals/CPedal_Reverb.h"

#include <cmath>
#include <new>

#include "effect/reverb/PlateEffect.h"
#include "effect/reverb/ReverbParameters.h"

CPedal_Reverb::CPedal_Reverb()
    : reverb_(new (std::nothrow) plate::PlateEffect)
{
}

CPedal_Reverb::~CPedal_Reverb() { delete reverb_; }

void CPedal_Reverb::setSampleRate(double rate)
{
    if (!usableRate(rate) || !reverb_)
        return;
    reverb_->setSampleRate(static_cast<float>(rate));
    reset();
}

void CPedal_Reverb::reset()
{
    if (!reverb_)
        return;
    reverb_->suspend();
    reverb_->setParameter(plate::kHighCut, 1.0f);
    reverb_->setParameter(plate::kDiffusion, 1.0f);
}

void CPedal_Reverb::setParameter(int index, float value)
{
    if (!reverb_)
        return;
    const float v = clampKnob(value);
    switch (index) {
    case 0: reverb_->setParameter(plate::kDecay, 0.6f * v * v * v); break;
    case 1: reverb_->setParameter(plate::kHighDamping, std::fabs(1.0f - v)); break;
    case 2: reverb_->setParameter(plate::kReverb, 0.999f * v + 0.001f); break;
    default: break;
    }
}

void CPedal_Reverb::process(float* left, float* right, int frames)
{
    if (!reverb_ || !left || !right)
        return;
    reverb_->process(left, right, left, right, frames, false);
}
