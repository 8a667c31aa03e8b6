#pragma once

#include "effect/dsp/ParameterMap.h"
#include "framework/dsp/EqBand.h"

#include <atomic>
#include <cstdint>

// The chain's eight-band equaliser, one set of bands per channel.
// Band gains arrive from any thread as stored program values; the audio thread
// recomputes the bands at the start of its next block, so the band settings
// themselves are only ever touched by one thread at a time.
class MasterEqualiser {
public:
    static constexpr int kBands = drive::kBands;

    MasterEqualiser();

    // Any thread: value 0..1 of band b, 0.5 = flat, 0 = -18 dB, 1 = +18 dB.
    void setBandValue(int band, float value);
    // Audio thread, start of a block: recomputes the bands whose gain changed.
    // A plain load first, inline: band changes are rare, and the exchange is
    // a locked operation that every block would pay.
    void applyPending(double rate)
    {
        if (dirty_.load(std::memory_order_relaxed) != 0)
            applyDirty(rate);
    }
    // Under the engine's handshake: recomputes every band for the rate.
    void setSampleRate(double rate);
    void reset();
    void process(float* left, float* right, int frames);

    // Band b of channel 0 (left) or 1 (right), for inspection: its settings
    // and coefficients; with SSE2 its history lives in the pair lanes.
    const EqBand& band(int channel, int b) const { return bands_[channel][b]; }

    // The gain law of a stored band value: signed square, +-18 dB at the ends;
    // values beyond 0..1 act as the ends.
    static float gainForValue(float value);

private:
    void applyDirty(double rate);
    void updateBandPair(int b, double rate);
    // Hands the coefficients of bands 2p and 2p + 1 to their lanes.
    void loadPair(int p);

    EqBand bands_[2][kBands];
#if defined(__SSE2__)
    // The bands as the audio thread runs them, kept from block to block:
    // the coefficients change only in applyPending() and setSampleRate().
    static_assert(kBands % 2 == 0);
    EqBandPairLanes lanes_[kBands / 2];
#endif
    std::atomic<float> gainDb_[kBands];
    std::atomic<uint32_t> dirty_ {0};
};
