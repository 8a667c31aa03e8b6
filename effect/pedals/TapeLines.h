#pragma once

#include <algorithm>
#include <memory>
#include <new>

#include "framework/dsp/CTapeDelay.h"

// Helpers shared by the pedals built on tape lines.

// A new line, or null when memory runs out (the pedal then stays silent
// rather than throwing on the audio thread).
inline std::unique_ptr<CTapeDelay> makeTapeLine(int length, double start)
{
    std::unique_ptr<CTapeDelay> line(new (std::nothrow) CTapeDelay(length, start));
    if (line && !line->valid())
        line.reset();
    return line;
}

// Tape speed that gives a line of `length` samples a delay of about
// 2 + (length - 2) * setting samples. The setting is used up to 0.99 so the
// delay never quite reaches the end of the tape.
inline double tapeSpeedFor(int length, float setting)
{
    double c = setting;
    if (!(c >= 0.0))
        c = 0.0;
    c = std::min(c, 0.99);
    const double n = length;
    return 1.0 / (n * (2.0 / n + (1.0 - 2.0 / n) * c));
}
