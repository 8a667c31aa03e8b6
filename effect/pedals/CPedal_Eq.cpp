#include "effect/pedals/CPedal_Eq.h"

#include <cmath>

namespace {

constexpr double kFrequency[CPedal_Eq::kBands] = {300.0, 700.0, 1800.0, 7000.0};
constexpr int32_t kKind[CPedal_Eq::kBands] = {EqBand::LowShelf, EqBand::Peaking, EqBand::Peaking, EqBand::HighShelf};

}  // namespace

CPedal_Eq::CPedal_Eq()
{
    for (int j = 0; j < kBands; ++j) {
        for (EqBand* band : {&left_[j], &right_[j]}) {
            band->frequency = kFrequency[j];
            band->bandwidth = 0.985;
            band->gain = 0.0;
            band->kind = kKind[j];
            band->clearState();
            band->updateBand(sampleRate_);
        }
    }
}

double CPedal_Eq::gainForKnob(float v)
{
    const double t = (static_cast<double>(clampKnob(v)) - 0.5) * 2.0;
    return 10.0 * t * std::fabs(t);
}

void CPedal_Eq::setSampleRate(double rate)
{
    if (!usableRate(rate))
        return;
    sampleRate_ = rate;
    for (int j = 0; j < kBands; ++j) {
        left_[j].updateBand(rate);
        right_[j].updateBand(rate);
    }
    reset();
}

void CPedal_Eq::reset()
{
    for (int j = 0; j < kBands; ++j) {
        left_[j].clearState();
        right_[j].clearState();
    }
}

void CPedal_Eq::setParameter(int index, float value)
{
    if (index < 0 || index >= kBands)
        return;
    const double gain = gainForKnob(value);
    const double rate = sampleRate_;
    left_[index].gain = gain;
    left_[index].updateBand(rate);
    right_[index].gain = gain;
    right_[index].updateBand(rate);
}

void CPedal_Eq::process(float* left, float* right, int frames)
{
    if (frames <= 0)
        return;
    EqBand::processChains(left_, right_, kBands, left, right, frames);
}
