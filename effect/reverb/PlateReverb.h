#pragma once

#include <cstdint>

#include "effect/reverb/ReverbMemory.h"
#include "effect/reverb/ReverbParameters.h"

// The signal path of the plate: input filters, early reflections, four input
// diffusers, a predelay and a figure-of-eight tank whose outputs are sums of
// taps inside it. Parameters arrive as natural values and take effect only
// through update(), which the owner runs at the start of a block.
namespace plate {

constexpr int kOutputTaps = 7;
constexpr int kEarlyTaps = 8;

struct Coefficients {
    float inputGain = 0.0f;
    float dryGain = 0.0f;
    float earlyGain = 0.0f;
    float reverbTarget = 0.0f;
    float lowCut = 0.0f;
    float highCut = 1.0f;
    float highDamping = 1.0f;
    float g1 = 0.0f, g2 = 0.0f, g3 = 0.0f, g4 = 0.0f;
    float decay = 0.0f;
    float shelf = 0.0f;
    float crossover = 0.0f;
    float width = 0.0f;  // Width * 0.01
};

// A set of lines that step together: the frames since their anchors were
// taken and until the first of them wraps.
struct LineClock {
    int32_t since = 0;
    int32_t left = 1;
};

class PlateReverb {
public:
    // Lays out the memory for the rate. The memory is left as it was
    // allocated: callers fill it through suspend().
    bool setSampleRate(float rate);
    float sampleRate() const { return rate_; }

    // Memory to the anti-denormal bias, filter states to 0, and the reverb
    // gain restarts at its target on the next sample.
    void suspend();

    // Recomputes gains, filter coefficients and line lengths from natural values.
    void update(const int32_t natural[kParamCount]);

    // Inputs and outputs may be the same buffers. With `accumulate` the result
    // is added to what the outputs hold instead of replacing it.
    void process(const float* inL, const float* inR, float* outL, float* outR, int32_t frames, bool accumulate)
    {
        if (frames <= 0 || !inL || !inR || !outL || !outR)
            return;
        if (!memory_.ready())
            processDry(inL, inR, outL, outR, frames, accumulate);
        else if (accumulate)
            run<true>(inL, inR, outL, outR, frames);
        else
            run<false>(inL, inR, outL, outR, frames);
    }

    const ReverbMemory& memory() const { return memory_; }
    int32_t outputTapLeft(int i) const { return tapL_[i]; }
    int32_t outputTapRight(int i) const { return tapR_[i]; }
    int32_t earlyOffsetLeft(int i) const { return erOffL_[i]; }
    int32_t earlyOffsetRight(int i) const { return erOffR_[i]; }

private:
    // Without memory there is no reverb; the dry path still works.
    void processDry(const float* inL, const float* inR, float* outL, float* outR, int32_t frames, bool accumulate);
    template <bool Accumulate> void run(const float* inL, const float* inR, float* outL, float* outR, int32_t frames);
    // The phases of a chunk, in the order a frame passes them. Inlined
    // where a short block gains more by skipping the call than the chunk
    // loses to a crowded register set; the diffusers gain less.
    [[gnu::always_inline]] inline void filterInput(
        const float* inL, const float* inR, int32_t count, float* out, float* gain);
    void diffuse(float* x, float* ringOld, int32_t count);
    [[gnu::always_inline]] inline void runTank(const float* x, int32_t count);
    template <bool Accumulate>
    [[gnu::always_inline]] inline void mix(const float* inL, const float* inR, const float* gain, const float* sumL,
        const float* sumR, const float* reflL, const float* reflR, float* outL, float* outR, int32_t count);
    void setOutputTaps(int64_t scale);
    void planChunks();
    // The output taps and early reflections of `count` frames from line
    // positions `start` and ring position `ringStart`.
    void sumTaps(const DelayLine* line, const int32_t* start, int32_t ringStart, const float* ringOld, int32_t count,
        float* tankL, float* tankR, float* earlyL, float* earlyR) const;
    void clearStates();

    ReverbMemory memory_;
    float rate_ = 0.0f;
    Coefficients k_;

    float highCutState_ = 0.0f;
    float lowCutIn_ = 0.0f, lowCutOut_ = 0.0f;
    float crossInL_ = 0.0f, crossOutL_ = 0.0f, dampL_ = 0.0f;
    float crossInR_ = 0.0f, crossOutR_ = 0.0f, dampR_ = 0.0f;
    float smoothedReverb_ = -1000.0f;

    int32_t tapL_[kOutputTaps] = {};
    int32_t tapR_[kOutputTaps] = {};
    int32_t erOffL_[kEarlyTaps] = {};
    int32_t erOffR_[kEarlyTaps] = {};
    float erGainL_[kEarlyTaps] = {};  // signs folded in
    float erGainR_[kEarlyTaps] = {};
    int32_t lastRoomSize_ = 0;

    // Worked out by planChunks() whenever the layout or the decay changes,
    // not on every block: hosts at low latency call with 16 frames or fewer.
    // The weights of the output taps and early reflections, signs folded in,
    // each four times over to fill an SSE2 register.
    alignas(16) float weightL_[kOutputTaps][4] = {};
    alignas(16) float weightR_[kOutputTaps][4] = {};
    alignas(16) float earlyWeightL_[kEarlyTaps][4] = {};
    alignas(16) float earlyWeightR_[kEarlyTaps][4] = {};
    int32_t chunk_ = 1;  // the longest run of frames whose taps are summed after it
    // The lines step in two sets, the diffusers with the ring and the tank.
    // Between blocks each set keeps where its lines stood when one of them
    // last wrapped, so that a short block finds its heads and where its
    // runs end without going through every line's position.
    float* anchor_[kLineCount] = {};
    LineClock diffuserClock_, tankClock_;

    // Tap sums made ahead of the frames that use them. A tap further behind
    // its head than a run of kAhead frames reads, for each frame of the run,
    // what its line holds already; when every tap does, the sums of a whole
    // run are made in one pass as the run starts and serve the blocks that
    // follow, however short. planChunks() and suspend() drop them.
    static constexpr int32_t kAhead = 64;
    bool aheadUsable_ = false;
    int32_t aheadAt_ = 0;
    int32_t aheadLeft_ = 0;
    float aheadTankL_[kAhead] = {};
    float aheadTankR_[kAhead] = {};
    float aheadEarlyL_[kAhead] = {};
    float aheadEarlyR_[kAhead] = {};
};

}  // namespace plate
