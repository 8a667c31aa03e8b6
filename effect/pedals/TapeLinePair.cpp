#include "effect/pedals/TapeLinePair.h"

#include <algorithm>

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
    constexpr int kChunk = 64;
    float delayed[kChunk];
    for (int at = 0; at < frames; at += kChunk) {
        const int n = std::min(kChunk, frames - at);
        l1.processBlock(left + at, delayed, n);
        for (int i = 0; i < n; ++i)
            left[at + i] = delayed[i] + left[at + i];
        l2.processBlock(right + at, delayed, n);
        for (int i = 0; i < n; ++i)
            right[at + i] = delayed[i] + right[at + i];
    }
}
