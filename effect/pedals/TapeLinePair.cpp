#include "effect/pedals/TapeLinePair.h"

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
    // Each line adds its output into its own channel as it goes.
    l1.processBlockAdding(left, left, frames);
    l2.processBlockAdding(right, right, frames);
}
