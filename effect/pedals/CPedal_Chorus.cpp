#include "effect/pedals/CPedal_Chorus.h"

#include <algorithm>

#include <emmintrin.h>

#include "effect/pedals/TapeLines.h"
#include "framework/dsp/Flush.h"
#include "framework/dsp/Lanes.h"

void CPedal_Chorus::setSampleRate(double rate)
{
    if (!usableRate(rate))
        return;
    sampleRate_ = rate;
    for (auto& l : lines_)
        l.reset();
    const int n = static_cast<int>(0.02 * rate);
    lines_[0] = makeTapeLine(static_cast<int>(1.1 * n), 0.0);
    lines_[1] = makeTapeLine(static_cast<int>(0.854 * n), 0.467);
    lines_[2] = makeTapeLine(n, 0.778);
    updatePedal();
    reset();
}

void CPedal_Chorus::updatePedal()
{
    if (!lines_[0] || !lines_[1] || !lines_[2])
        return;
    const float depth = knobs_[0];
    const float rateKnob = knobs_[1];
    const float level = knobs_[2];

    const float lfoDepth = std::clamp(depth * depth * depth, 0.0f, 1.0f);
    const double r = static_cast<float>(5.0 * rateKnob + 0.1);
    // Three unrelated rates keep the voices from beating in step.
    const double increments[3] = {
        std::max(0.896 * r, 0.0) / sampleRate_, std::max(r, 0.0) / sampleRate_, std::max(0.689 * r, 0.0) / sampleRate_};
    for (int i = 0; i < 3; ++i) {
        lines_[i]->lfoDepth = lfoDepth;
        lines_[i]->lfoIncrement = increments[i];
        lines_[i]->targetGain = -(level * level);
    }
}

void CPedal_Chorus::setParameter(int index, float value)
{
    if (index < 0 || index > 4)
        return;
    if (index < 3)
        knobs_[index] = clampKnob(value);
    updatePedal();
}

void CPedal_Chorus::reset()
{
    for (auto& l : lines_)
        if (l)
            l->reset();
}

void CPedal_Chorus::process(float* left, float* right, int frames)
{
    if (!left || !right || !lines_[0] || !lines_[1] || !lines_[2])
        return;
    // The three lines run over chunks of the block one after another, fed
    // the sum flushed once for all three; the sums go four frames per SSE2
    // operation, each lane in the scalar order. Each line is read from its
    // member at its call: kept across the calls before it, the three would
    // go to the stack and back.
    constexpr int kChunk = 256;
    alignas(16) float m[kChunk], a[kChunk], b[kChunk], c[kChunk];
    for (int n = 0; frames > 0; frames -= n, left += n, right += n) {
        n = std::min(kChunk, frames);
        const int quads = n & ~3;
        int i = 0;
        for (; i < quads; i += 4)
            _mm_store_ps(m + i, tb::flushLanes(_mm_add_ps(_mm_loadu_ps(left + i), _mm_loadu_ps(right + i))));
        for (; i < n; ++i)
            m[i] = tb::flush(left[i] + right[i]);
        lines_[0]->processFlushedBlock(m, a, n);
        lines_[2]->processFlushedBlock(m, b, n);
        lines_[1]->processFlushedBlock(m, c, n);
        for (i = 0; i < quads; i += 4) {
            const __m128 ci = _mm_load_ps(c + i);
            _mm_storeu_ps(left + i, _mm_add_ps(_mm_add_ps(_mm_load_ps(a + i), _mm_loadu_ps(left + i)), ci));
            _mm_storeu_ps(right + i, _mm_add_ps(_mm_add_ps(_mm_load_ps(b + i), _mm_loadu_ps(right + i)), ci));
        }
        for (; i < n; ++i) {
            left[i] = a[i] + left[i] + c[i];
            right[i] = b[i] + right[i] + c[i];
        }
    }
}
