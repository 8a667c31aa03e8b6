#pragma once

#include <cstdint>

#include "framework/dsp/Flush.h"
#include "framework/dsp/Relaxed.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The one band filter of the multi-effect: a second-order low shelf, high
// shelf or peaking filter. The owner sets gain, frequency, bandwidth and kind,
// calls updateBand() with the sample rate and then runs whole blocks through
// the band. updateBand() may run on the thread that turned a knob while the
// audio thread filters, so the coefficients are relaxed; gain, frequency,
// bandwidth and kind belong to the thread that calls updateBand().
//
// The gain law is A = 10^(gain / 20), twice the usual cookbook exponent, so a
// peaking band set to +6 dB lifts its centre by 12 dB. Every stored setting
// and curve of the product was tuned with this law.
struct EqBand {
    enum Kind : int32_t { LowShelf = 0, HighShelf = 1, Peaking = 2 };

    double gain = 0.0;  // dB
    double frequency = 1000.0;  // Hz
    double bandwidth = 1.0;  // octaves
    float x1 = 0.0f;
    float x2 = 0.0f;
    float y1 = 0.0f;
    float y2 = 0.0f;
    tb::Relaxed<float> b0 {1.0f};
    tb::Relaxed<float> b1;
    tb::Relaxed<float> b2;
    tb::Relaxed<float> a1;
    tb::Relaxed<float> a2;
    int32_t kind = Peaking;

    // Recomputes the five coefficients for this rate; the states stay.
    void updateBand(double rate);

    void clearState() { x1 = x2 = y1 = y2 = 0.0f; }

    float process(float sample)
    {
        const float x = tb::flush(sample);
        const float y = tb::flush(b0.load() * x + b1.load() * x1 + b2.load() * x2 - a1.load() * y1 - a2.load() * y2);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

    // Runs a block in place; the coefficients are read once for the block.
    void processBlock(float* samples, int frames);

    // Runs `count` bands in series on each channel, left[0..count) on l and
    // right[0..count) on r, with the bits of processBlock() band by band;
    // the two channels share SSE2 registers.
    static void processChains(EqBand* left, EqBand* right, int count, float* l, float* r, int frames);
};

#if defined(__SSE2__)
// Bands b and b + 1 of both channels side by side in the four SSE2 lanes
// (left b, right b, left b + 1, right b + 1): coefficients and history, as
// processChains() runs them. An owner whose coefficients change only between
// its own blocks can keep its pairs in this form from block to block: at
// 16-frame blocks, moving coefficients and history in and out of the bands
// costs about as much as the filtering. The bands' own history is then left
// behind; the history lives here.
struct EqBandPairLanes {
    __m128 b0, b1, b2, a1, a2;
    __m128 x1, x2, y1, y2;
    // Whether both bands' history has taken the last frame. Between blocks
    // of runChain() band b + 1 is left one frame behind: its output of the
    // last frame has gone out, and its step is taken again, to the same
    // bits, by the next block's first step, where the lanes of band b need a
    // step anyway. New coefficients settle the pair first, so that step is
    // taken with the coefficients it was meant for.
    bool settled = true;

    // Settles the pair, then takes the coefficients.
    void loadCoefficients(const EqBand& l0, const EqBand& r0, const EqBand& l1, const EqBand& r1);
    // Settled history only: from the bands, and back.
    void loadHistory(const EqBand& l0, const EqBand& r0, const EqBand& l1, const EqBand& r1);
    void storeHistory(EqBand& l0, EqBand& r0, EqBand& l1, EqBand& r1) const;
    void clearHistory();
    // Band b + 1 takes the frame it is behind on.
    void settle();

    // Both bands over a chunk of frames stored left, right, left, right ...,
    // each lane with processBlock()'s bits; `flushInput` for the first pair
    // of a chain, whose input has not been flushed yet. Settled history in,
    // settled history out.
    void run(float* interleaved, int frames, bool flushInput);

    // `count` pairs in series on l and r: the first pair's bands, then the
    // second pair's, and so on, as processChains() on their bands would.
    // The pairs are left unsettled.
    static void runChain(EqBandPairLanes* pairs, int count, float* l, float* r, int frames);
};
#endif
