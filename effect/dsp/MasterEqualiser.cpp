#include "effect/dsp/MasterEqualiser.h"

#include <algorithm>
#include <cmath>

MasterEqualiser::MasterEqualiser()
{
    for (int b = 0; b < kBands; ++b) {
        gainDb_[b].store(0.0f, std::memory_order_relaxed);
        for (auto& channel : bands_) {
            EqBand& band = channel[b];
            band.frequency = 125.0 * std::ldexp(1.0, b);
            band.bandwidth = 1.0;
            band.gain = 0.0;
            band.kind = b == 0 ? EqBand::LowShelf : (b == kBands - 1 ? EqBand::HighShelf : EqBand::Peaking);
            band.updateBand(44100.0);
        }
    }
#if defined(__SSE2__)
    for (int p = 0; p < kBands / 2; ++p) {
        loadPair(p);
        lanes_[p].clearHistory();
    }
#endif
}

void MasterEqualiser::loadPair(int p)
{
#if defined(__SSE2__)
    lanes_[p].loadCoefficients(bands_[0][2 * p], bands_[1][2 * p], bands_[0][2 * p + 1], bands_[1][2 * p + 1]);
#else
    (void)p;
#endif
}

float MasterEqualiser::gainForValue(float value)
{
    // Beyond 0..1 the band would reach hundreds of dB and its coefficients
    // overflow into NaN; the stored value stays as it is.
    value = std::clamp(value, 0.0f, 1.0f);
    const float t = (value - 0.5f) * 2.0f;
    return 18.0f * t * std::fabs(t);
}

void MasterEqualiser::setBandValue(int band, float value)
{
    if (band < 0 || band >= kBands)
        return;
    const float db = gainForValue(value);
    // A value that is not a number would leave the band silent for good.
    if (!std::isfinite(db))
        return;
    gainDb_[band].store(db, std::memory_order_relaxed);
    dirty_.fetch_or(1u << band, std::memory_order_release);
}

void MasterEqualiser::updateBandPair(int b, double rate)
{
    const double db = gainDb_[b].load(std::memory_order_relaxed);
    for (auto& channel : bands_) {
        channel[b].gain = db;
        channel[b].updateBand(rate);
    }
    loadPair(b / 2);
}

void MasterEqualiser::applyDirty(double rate)
{
    uint32_t mask = dirty_.exchange(0, std::memory_order_acquire);
    for (int b = 0; mask != 0; ++b, mask >>= 1)
        if (mask & 1u)
            updateBandPair(b, rate);
}

void MasterEqualiser::setSampleRate(double rate)
{
    dirty_.store(0, std::memory_order_relaxed);
    for (int b = 0; b < kBands; ++b)
        updateBandPair(b, rate);
}

void MasterEqualiser::reset()
{
    for (auto& channel : bands_)
        for (EqBand& band : channel)
            band.clearState();
#if defined(__SSE2__)
    for (EqBandPairLanes& pair : lanes_)
        pair.clearHistory();
#endif
}

void MasterEqualiser::process(float* left, float* right, int frames)
{
#if defined(__SSE2__)
    EqBandPairLanes::runChain(lanes_, kBands / 2, left, right, frames);
#else
    EqBand::processChains(bands_[0], bands_[1], kBands, left, right, frames);
#endif
}
