#pragma once

#include <array>
#include <cstdint>
#include <memory>

// All delay lines of the plate live in one block, allocated only when the
// sample rate changes, so processing never allocates.
namespace plate {

constexpr int kTankLineCount = 12;  // input diffusers and the two tank halves
constexpr int kPredelayLine = 12;
constexpr int kEarlyRingLine = 13;
constexpr int kLineCount = 14;

// Line lengths of lines 0..11 at a rate of 20000 Hz.
extern const int32_t kBaseLength[kTankLineCount];

// A position walks down by one after each use and wraps from 0 to length - 1.
struct DelayLine {
    float* data = nullptr;
    int32_t allocated = 0;
    int32_t length = 0;
    int32_t position = 0;

    float current() const { return data[position]; }
    void store(float v) { data[position] = v; }
    void step() { position = (position == 0 ? length : position) - 1; }
    // Read `offset` samples above the position, wrapped once.
    float tap(int32_t offset) const
    {
        int32_t i = position + offset;
        if (i >= length)
            i -= length;
        return data[i];
    }
};

class ReverbMemory {
public:
    // Rates are truncated to whole hertz and kept in [1, kMaxRate], which
    // bounds the block size whatever a caller passes.
    static constexpr int64_t kMaxRate = 768000;

    static int64_t wholeRate(float rate);

    // Frees the old block and lays out every line for the rate; all positions
    // become 0, every length its allocation and every sample 0.0. Returns
    // false (and holds no block) when memory runs out.
    bool allocate(float rate);
    void fill(float value);
    bool ready() const { return block_ != nullptr; }

    using Lines = std::array<DelayLine, kLineCount>;
    DelayLine& line(int i) { return lines_[i]; }
    const DelayLine& line(int i) const { return lines_[i]; }
    // All lines at once, for a block that works on a copy.
    Lines& lines() { return lines_; }
    int32_t ringMask() const { return lines_[kEarlyRingLine].allocated - 1; }
    int64_t rate() const { return rate_; }
    int64_t totalLength() const { return total_; }

    static int32_t ringLength(int64_t wholeRate);

private:
    std::unique_ptr<float[]> block_;
    int64_t total_ = 0;
    int64_t rate_ = 0;
    Lines lines_;
};

}  // namespace plate
