#pragma once
// Figures taken from a rendered file: level, peak, broken samples, and how far
// two renders of the same input lie apart.

#include "tests/host_ardour/probe/WavFile.h"

#include <cstdint>

namespace ardourprobe {

constexpr double kSilenceDb = -400.0;

struct RenderStats {
    int64_t frames = 0;
    int channels = 0;
    int rate = 0;
    int64_t nonFinite = 0;  // NaN or infinite samples, over all channels
    double peakDb = kSilenceDb;
    double rmsDb = kSilenceDb;  // over all channels, finite samples only
};

// Measures from frame 'skip' on.
RenderStats measureRender(const WavData& wav, int64_t skip = 0);

// Level of (a - b) relative to the level of a, in dB, over the frames both
// files hold from 'skip' on; kSilenceDb when they are identical. Files whose
// channel counts differ give +400 (nothing in common).
double differenceDb(const WavData& a, const WavData& b, int64_t skip = 0);

}  // namespace ardourprobe
