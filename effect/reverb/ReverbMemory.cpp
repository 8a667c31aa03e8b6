#include "effect/reverb/ReverbMemory.h"

#include <cmath>
#include <new>

namespace plate {

const int32_t kBaseLength[kTankLineCount] = {142, 107, 379, 277, 672, 4453, 1800, 3720, 908, 4217, 2656, 3163};

int64_t ReverbMemory::wholeRate(float rate)
{
    if (!(rate >= 1.0f))
        return 1;  // also NaN
    if (rate >= static_cast<float>(kMaxRate))
        return kMaxRate;
    return static_cast<int64_t>(rate);
}

int32_t ReverbMemory::ringLength(int64_t c)
{
    // One bit more than the largest reflection needs, so masking never wraps
    // onto a sample that is still wanted.
    const double span = std::trunc(static_cast<double>(c) * 13950.0 / 44100.0);
    int bits = 0;
    if (span > 0.0) {
        for (int64_t v = static_cast<int64_t>(span); v != 0; v >>= 1)
            ++bits;
    }
    return int32_t {1} << (bits + 1);
}

bool ReverbMemory::allocate(float rate)
{
    block_.reset();
    total_ = 0;
    rate_ = wholeRate(rate);

    int64_t sizes[kLineCount];
    for (int i = 0; i < kTankLineCount; ++i)
        sizes[i] = rate_ * kBaseLength[i] / 20000;
    sizes[kPredelayLine] = rate_ / 4;
    sizes[kEarlyRingLine] = ringLength(rate_);
    int64_t total = 0;
    for (int64_t& s : sizes) {
        if (s < 1)
            s = 1;
        total += s;
    }

    // Zeroed, so that a block nobody has filled yet (a host may process right
    // after a rate change, without a suspend) never plays back stale memory.
    block_.reset(new (std::nothrow) float[static_cast<std::size_t>(total)]());
    if (!block_) {
        for (DelayLine& l : lines_)
            l = DelayLine {};
        return false;
    }
    total_ = total;
    float* start = block_.get();
    for (int i = 0; i < kLineCount; ++i) {
        DelayLine& l = lines_[i];
        l.data = start;
        l.allocated = static_cast<int32_t>(sizes[i]);
        l.length = l.allocated;
        l.position = 0;
        start += sizes[i];
    }
    return true;
}

void ReverbMemory::fill(float value)
{
    float* p = block_.get();
    for (int64_t i = 0; i < total_; ++i)
        p[i] = value;
}

}  // namespace plate
