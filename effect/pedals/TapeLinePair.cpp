#include "effect/pedals/TapeLinePair.h"

#include <algorithm>

#include <emmintrin.h>

#include "effect/pedals/TapeLines.h"

void TapeLinePair::rebuildLines(int length)
{
    lines_[0].reset();
    lines_[1].reset();
    lines_[0] = makeTapeLine(length, 0.0);
    lines_[1] = makeTapeLine(length, 0.5);
}

void TapeLinePair::reset()
{
    forEachLine([](CTapeDelay& l) { l.reset(); });
}

void TapeLinePair::process(float* left, float* right, int frames)
{
    if (!left || !right || !lines_[0] || !lines_[1])
        return;
    CTapeDelay& l1 = *lines_[0];
    CTapeDelay& l2 = *lines_[1];
    // Each line runs over a chunk; the sums go four frames per SSE2 operation.
    constexpr int kChunk = 256;
    alignas(16) float delayed[kChunk];
    const auto addInto = [&delayed](float* x, int n) {
        int i = 0;
        for (; i + 4 <= n; i += 4)
            _mm_storeu_ps(x + i, _mm_add_ps(_mm_load_ps(delayed + i), _mm_loadu_ps(x + i)));
        for (; i < n; ++i)
            x[i] = delayed[i] + x[i];
    };
    for (int at = 0; at < frames; at += kChunk) {
        const int n = std::min(kChunk, frames - at);
        l1.processBlock(left + at, delayed, n);
        addInto(left + at, n);
        l2.processBlock(right + at, delayed, n);
        addInto(right + at, n);
    }
}
