#include "effect/reverb/PlateReverb.h"

#include "effect/reverb/PlateTables.h"

#include <algorithm>

#include <emmintrin.h>

namespace plate {
namespace {

    // Delay memory is filled with this instead of 0 so that the recirculating
    // tank never decays into denormal numbers.
    constexpr float kMemoryBias = 1.0e-30f;
    constexpr float kInputBias = 1.0e-30f;
    constexpr float kTankBias = 1.0e-20f;
    // A smoothed gain below this has not started yet and jumps to its target.
    constexpr float kGainUnset = -1000.0f;
    constexpr float kGainUnsetBelow = -99.0f;

    // An all-pass and a delay on the sample at p, for a run of frames in which
    // no line wraps: the caller steps the positions after the run. Output
    // gain a, store gain b: they differ on two of the input diffusers.
    inline float allpassAt(float* p, float x, float a, float b)
    {
        const float s = *p;
        const float y = s - a * x;
        *p = x + b * y;
        return y;
    }

    inline float delayAt(float* p, float x)
    {
        const float s = *p;
        *p = x;
        return s;
    }

    inline float tapWeight(const OutputTap& t, float d) { return t.blend < 0.0f ? 1.0f : d + t.blend * (1.0f - d); }

    inline __m128 reversed(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); }

    // A set of lines that step together, named at compile time so that
    // each line is a fixed offset into the tables: a short block pays an
    // instruction or so per line, not a loop over an index list.
    template <int... I> struct LineSet {
        using Anchors = float* [kLineCount];

        // Frames until the first of the lines steps below 0.
        static int32_t framesToWrap(const ReverbMemory::Lines& line) { return std::min({(line[I].position + 1)...}); }

        // Takes where the lines stand as the anchors of their heads.
        static void start(const ReverbMemory::Lines& line, Anchors& anchor, LineClock& clock)
        {
            ((anchor[I] = line[I].data + line[I].position), ...);
            clock.since = 0;
            clock.left = framesToWrap(line);
        }

        // Where each line's run starts, by line number.
        static void heads(const Anchors& anchor, int32_t since, Anchors& head) { ((head[I] = anchor[I] - since), ...); }

        // Steps the lines down by a run no longer than clock.left; only a
        // run that ends on a wrap looks at the lines.
        static void step(ReverbMemory::Lines& line, int32_t run, Anchors& anchor, LineClock& clock)
        {
            ((line[I].position -= run), ...);
            clock.since += run;
            clock.left -= run;
            if (clock.left == 0)
                wrap(line, anchor, clock);
        }

        // Out of line: rare, and its values would otherwise keep every
        // position in a register through the step.
        [[gnu::noinline]] static void wrap(ReverbMemory::Lines& line, Anchors& anchor, LineClock& clock)
        {
            ((line[I].position = line[I].position < 0 ? line[I].length - 1 : line[I].position), ...);
            start(line, anchor, clock);
        }
    };
    // The diffusers and the early-reflection ring, in the order a frame
    // passes them, and the lines of the tank.
    using DiffuserLines = LineSet<0, 1, 2, 3, kEarlyRingLine>;
    using TankLines = LineSet<4, 5, 6, 7, 8, 9, 10, 11>;

    // The four input diffusers (an all-pass each, output gain a, store gain
    // b) and the ring between the first and the second, over `count` frames
    // of x in place, in one pass with every frame's value kept in a
    // register. head[] holds the positions of lines 0 to 3 and the ring; none
    // wraps within the count, so every frame reads and writes its own
    // sample and four frames go per SSE2 operation, each lane in the scalar
    // order. The ring keeps what it overwrites in `old`.
    inline void diffuseRun(float* const (&head)[kLineCount], float* x, float* old, int32_t count, float g1, float g2)
    {
        const __m128 v1 = _mm_set1_ps(g1), v2 = _mm_set1_ps(g2);
        const auto allpass = [](float* at, __m128 in, __m128 a, __m128 b) {
            const __m128 yv = _mm_sub_ps(reversed(_mm_loadu_ps(at)), _mm_mul_ps(a, in));
            _mm_storeu_ps(at, reversed(_mm_add_ps(in, _mm_mul_ps(b, yv))));
            return yv;
        };
        int32_t j = 0;
        for (; j + 4 <= count; j += 4) {
            __m128 v = allpass(head[0] - j - 3, _mm_loadu_ps(x + j), v1, v1);
            float* ring = head[kEarlyRingLine] - j - 3;
            _mm_storeu_ps(old + j, reversed(_mm_loadu_ps(ring)));
            _mm_storeu_ps(ring, reversed(v));
            v = allpass(head[1] - j - 3, v, v2, v1);
            v = allpass(head[2] - j - 3, v, v1, v1);
            v = allpass(head[3] - j - 3, v, v2, v1);
            _mm_storeu_ps(x + j, v);
        }
        for (; j < count; ++j) {
            float v = allpassAt(head[0] - j, x[j], g1, g1);
            old[j] = delayAt(head[kEarlyRingLine] - j, v);
            v = allpassAt(head[1] - j, v, g2, g1);
            v = allpassAt(head[2] - j, v, g1, g1);
            x[j] = allpassAt(head[3] - j, v, g2, g1);
        }
    }

    // The longest run of frames whose taps are summed after the run: long
    // enough for whole SSE registers, short enough for the stack.
    constexpr int32_t kChunk = 64;

    // acc[n] += w * data[i - n] for n < count, the index walking down through
    // 0 to length - 1: a fixed tap on a line read over `count` frames.
    inline void addTap(float* acc, int32_t count, const float* data, int32_t length, int32_t i, float w)
    {
        const __m128 wv = _mm_set1_ps(w);
        int32_t n = 0;
        while (n < count) {
            const int32_t run = std::min(count - n, i + 1);
            float* a = acc + n;
            const float* top = data + i;
            int32_t j = 0;
            for (; j + 4 <= run; j += 4) {
                __m128 v = _mm_loadu_ps(top - j - 3);
                v = _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3));
                _mm_storeu_ps(a + j, _mm_add_ps(_mm_loadu_ps(a + j), _mm_mul_ps(wv, v)));
            }
            for (; j < run; ++j)
                a[j] += w * top[-j];
            n += run;
            i = length - 1;
        }
    }

    // The taps of one output over `count` frames, summed from 0 in tap order
    // as addTap() into a cleared sum does: out[n] = 0 + w[0] * first[0][-n]
    // + w[1] * first[1][-n] + ... Four frames per SSE2 operation with every
    // weight in a register and the sum never leaving one, which saves a
    // load, a store and one loop's set-up per tap; chunks are as short as
    // the host's blocks, often 16 frames. No tap may wrap within the count.
    template <int Taps>
    inline void sumTaps(float* out, int32_t count, const float* const (&first)[Taps], const float (*w)[4])
    {
        __m128 wv[Taps];
        for (int t = 0; t < Taps; ++t)
            wv[t] = _mm_load_ps(w[t]);
        int32_t n = 0;
        for (; n + 4 <= count; n += 4) {
            __m128 sum = _mm_setzero_ps();
#pragma GCC unroll 8
            for (int t = 0; t < Taps; ++t)
                sum = _mm_add_ps(sum, _mm_mul_ps(wv[t], reversed(_mm_loadu_ps(first[t] - n - 3))));
            _mm_storeu_ps(out + n, sum);
        }
        for (; n < count; ++n) {
            float sum = 0.0f;
            for (int t = 0; t < Taps; ++t)
                sum += w[t][0] * first[t][-n];
            out[n] = sum;
        }
    }

    // An output's tank taps over a chunk. A frame's taps read its lines
    // after its own step: one below the chunk's first position, plus the
    // offset, wrapped once. When a tap wraps round its line within the
    // chunk, the taps go one by one.
    inline void sumOutputTaps(float* out, int32_t count, const DelayLine* line, const int32_t* start,
        const OutputTap (&taps)[kOutputTaps], const int32_t (&offsets)[kOutputTaps], const float (*w)[4])
    {
        int32_t at[kOutputTaps];
        const float* first[kOutputTaps];
        bool whole = true;
        for (int i = 0; i < kOutputTaps; ++i) {
            const DelayLine& l = line[taps[i].line];
            int32_t j = start[taps[i].line] - 1 + offsets[i];
            if (j < 0)
                j += l.length;
            else if (j >= l.length)
                j -= l.length;
            at[i] = j;
            first[i] = l.data + j;
            whole &= j >= count - 1;
        }
        if (whole) {
            sumTaps(out, count, first, w);
            return;
        }
        for (int32_t n = 0; n < count; ++n)
            out[n] = 0.0f;
        for (int i = 0; i < kOutputTaps; ++i) {
            const DelayLine& l = line[taps[i].line];
            addTap(out, count, l.data, l.length, at[i], w[i][0]);
        }
    }

    // An output's early reflections over a chunk, read from the ring before
    // the chunk's stores: a tap at offset 0 reads the samples the chunk kept
    // aside in `old`. Such a tap, or one that wraps round the ring within the
    // chunk, sends the taps one by one.
    template <int Taps>
    inline void sumEarlyTaps(float* out, int32_t count, const DelayLine& ring, int32_t mask, int32_t ringStart,
        const float* old, const int32_t* offsets, const float (*w)[4])
    {
        int32_t at[Taps];
        const float* first[Taps];
        bool whole = true;
        for (int i = 0; i < Taps; ++i) {
            at[i] = (ringStart + offsets[i]) & mask;
            first[i] = ring.data + at[i];
            whole &= at[i] != ringStart && at[i] >= count - 1;
        }
        if (whole) {
            sumTaps(out, count, first, w);
            return;
        }
        for (int32_t n = 0; n < count; ++n)
            out[n] = 0.0f;
        for (int i = 0; i < Taps; ++i) {
            if (at[i] == ringStart) {
                for (int32_t n = 0; n < count; ++n)
                    out[n] += w[i][0] * old[n];
            } else {
                addTap(out, count, ring.data, mask + 1, at[i], w[i][0]);
            }
        }
    }

}  // namespace

bool PlateReverb::setSampleRate(float rate)
{
    // Coefficients use the rate as given; only rates no host can mean are replaced.
    const bool usable = rate >= 1.0f && rate <= static_cast<float>(ReverbMemory::kMaxRate);
    rate_ = usable ? rate : static_cast<float>(ReverbMemory::wholeRate(rate));
    const bool ok = memory_.allocate(rate_);
    if (ok) {
        setOutputTaps(memory_.rate());
        planChunks();
    }
    return ok;
}

void PlateReverb::planChunks()
{
    const float d = k_.decay;
    int32_t chunk = kChunk;
    for (int i = 0; i < kEarlyTaps; ++i)
        for (int lane = 0; lane < 4; ++lane) {
            earlyWeightL_[i][lane] = erGainL_[i];
            earlyWeightR_[i][lane] = erGainR_[i];
        }
    for (int i = 0; i < kOutputTaps; ++i) {
        for (int lane = 0; lane < 4; ++lane) {
            weightL_[i][lane] = kLeftTaps[i].sign * tapWeight(kLeftTaps[i], d);
            weightR_[i][lane] = kRightTaps[i].sign * tapWeight(kRightTaps[i], d);
        }
        // Frame m of a chunk writes what frame m - (length - offset + 1) read.
        const int32_t tl = tapL_[i], tr = tapR_[i];
        chunk = std::min(chunk, tl == 0 ? 1 : memory_.line(kLeftTaps[i].line).length - tl + 1);
        chunk = std::min(chunk, tr == 0 ? 1 : memory_.line(kRightTaps[i].line).length - tr + 1);
    }
    // A reflection at offset 0 reads what its own frame is about to
    // overwrite; the chunk keeps those samples aside.
    const int32_t mask = memory_.ringMask();
    for (int i = 0; i < kLeftEarlyTaps; ++i)
        if ((erOffL_[i] & mask) != 0)
            chunk = std::min(chunk, mask + 1 - (erOffL_[i] & mask));
    for (int i = 0; i < kRightEarlyTaps; ++i)
        if ((erOffR_[i] & mask) != 0)
            chunk = std::min(chunk, mask + 1 - (erOffR_[i] & mask));
    chunk_ = std::max(chunk, 1);

    // Frame n of a run reads what its output tap's line took at frame
    // n + 1 - offset, and what the ring took at frame n - offset.
    bool ahead = true;
    for (int i = 0; i < kOutputTaps; ++i)
        ahead = ahead && tapL_[i] > kAhead && tapR_[i] > kAhead;
    for (int i = 0; i < kLeftEarlyTaps; ++i)
        ahead = ahead && (erOffL_[i] & mask) >= kAhead;
    for (int i = 0; i < kRightEarlyTaps; ++i)
        ahead = ahead && (erOffR_[i] & mask) >= kAhead;
    aheadUsable_ = ahead;
    aheadLeft_ = 0;
    DiffuserLines::start(memory_.lines(), anchor_, diffuserClock_);
    TankLines::start(memory_.lines(), anchor_, tankClock_);
}

void PlateReverb::sumTaps(const DelayLine* line, const int32_t* start, int32_t ringStart, const float* ringOld,
    int32_t count, float* tankL, float* tankR, float* earlyL, float* earlyR) const
{
    sumOutputTaps(tankL, count, line, start, kLeftTaps, tapL_, weightL_);
    sumOutputTaps(tankR, count, line, start, kRightTaps, tapR_, weightR_);
    if (k_.earlyGain != 0.0f) {
        const DelayLine& ring = line[kEarlyRingLine];
        const int32_t mask = memory_.ringMask();
        sumEarlyTaps<kLeftEarlyTaps>(earlyL, count, ring, mask, ringStart, ringOld, erOffL_, earlyWeightL_);
        sumEarlyTaps<kRightEarlyTaps>(earlyR, count, ring, mask, ringStart, ringOld, erOffR_, earlyWeightR_);
    } else {
        for (int32_t n = 0; n < count; ++n)
            earlyL[n] = earlyR[n] = 0.0f;
    }
}

void PlateReverb::clearStates()
{
    highCutState_ = 0.0f;
    lowCutIn_ = lowCutOut_ = 0.0f;
    crossInL_ = crossOutL_ = dampL_ = 0.0f;
    crossInR_ = crossOutR_ = dampR_ = 0.0f;
}

void PlateReverb::suspend()
{
    memory_.fill(kMemoryBias);
    aheadLeft_ = 0;
    clearStates();
    smoothedReverb_ = kGainUnset;
}

void PlateReverb::processDry(
    const float* inL, const float* inR, float* outL, float* outR, int32_t frames, bool accumulate)
{
    for (int32_t i = 0; i < frames; ++i) {
        const float l = inL[i] * k_.inputGain * k_.dryGain;
        const float r = inR[i] * k_.inputGain * k_.dryGain;
        outL[i] = accumulate ? outL[i] + l : l;
        outR[i] = accumulate ? outR[i] + r : r;
    }
}

// The phases of a chunk each take their coefficients and filter states into
// locals as they start and put the states back as they end: a store into a
// line could alias any float member, so through members a loop would reload
// them after every store. Kept apart, each phase holds only its own values
// in registers, and a short block does not shuffle the whole set between
// its loops.

// The input filters frame by frame, and in the same loop the reverb gain's
// glide, which the mix takes from `gain`.
void PlateReverb::filterInput(const float* inL, const float* inR, int32_t count, float* out, float* gain)
{
    const float inputGain = k_.inputGain, highCut = k_.highCut, lowCut = k_.lowCut;
    const float target = k_.reverbTarget;
    float highCutState = highCutState_;
    float smoothedReverb = smoothedReverb_;
    // Once started the gain only glides between targets, none of them
    // negative, so only a block's first frame can find it unset.
    if (smoothedReverb < kGainUnsetBelow)
        smoothedReverb = target;
    if (lowCut == 0.0f) {
        for (int32_t n = 0; n < count; ++n) {
            const float mono = 0.5f * (inL[n] * inputGain + inR[n] * inputGain) + kInputBias;
            highCutState += (mono - highCutState) * highCut;
            out[n] = highCutState;
            smoothedReverb += (target - smoothedReverb) * 0.001f;
            gain[n] = smoothedReverb;
        }
    } else {
        float lowCutIn = lowCutIn_, lowCutOut = lowCutOut_;
        for (int32_t n = 0; n < count; ++n) {
            const float mono = 0.5f * (inL[n] * inputGain + inR[n] * inputGain) + kInputBias;
            highCutState += (mono - highCutState) * highCut;
            const float x = highCutState;
            const float ap = lowCut * (x - lowCutOut) + lowCutIn;
            lowCutOut = ap;
            lowCutIn = x;
            out[n] = (x - ap) * 0.5f + kInputBias;
            smoothedReverb += (target - smoothedReverb) * 0.001f;
            gain[n] = smoothedReverb;
        }
        lowCutIn_ = lowCutIn;
        lowCutOut_ = lowCutOut;
    }
    highCutState_ = highCutState;
    smoothedReverb_ = smoothedReverb;
}

void PlateReverb::diffuse(float* x, float* ringOld, int32_t count)
{
    ReverbMemory::Lines& line = memory_.lines();
    const float g1 = k_.g1, g2 = k_.g2;
    LineClock clock = diffuserClock_;
    for (int32_t n = 0; n < count;) {
        const int32_t run = std::min(count - n, clock.left);
        float* head[kLineCount];
        DiffuserLines::heads(anchor_, clock.since, head);
        diffuseRun(head, x + n, ringOld + n, run, g1, g2);
        DiffuserLines::step(line, run, anchor_, clock);
        n += run;
    }
    diffuserClock_ = clock;
}

// The predelay and the tank. The predelay may be a single sample long, so it
// steps frame by frame; the tank goes in runs of frames in which none of its
// lines wraps: each line is then a fixed pointer less the frame number,
// stepped once after the run.
void PlateReverb::runTank(const float* x, int32_t count)
{
    ReverbMemory::Lines& line = memory_.lines();
    const float d = k_.decay, crossover = k_.crossover, shelf = k_.shelf, highDamping = k_.highDamping;
    const float g3 = k_.g3, g4 = k_.g4;
    float crossInL = crossInL_, crossOutL = crossOutL_, dampL = dampL_;
    float crossInR = crossInR_, crossOutR = crossOutR_, dampR = dampR_;
    LineClock clock = tankClock_;
    DelayLine& pre = line[kPredelayLine];
    float* const preData = pre.data;
    const int32_t preLength = pre.length;
    int32_t preAt = pre.position;
    for (int32_t n = 0; n < count;) {
        const int32_t run = std::min(count - n, clock.left);
        float* head[kLineCount];
        TankLines::heads(anchor_, clock.since, head);
        // Line 7 is read again after its step, one sample further down.
        const float* data7 = line[7].data;
        const int32_t after7 = line[7].position - 1;
        const int32_t length7 = line[7].length;

        for (int32_t j = 0; j < run; ++j, ++n) {
            const float p = preData[preAt] + kTankBias;
            preData[preAt] = x[n];
            preAt = (preAt == 0 ? preLength : preAt) - 1;

            // Left half, fed by the end of the right half.
            float f = head[11][-j] * d;
            float h = crossover * (f - crossOutL) + crossInL;
            crossOutL = h;
            crossInL = f;
            dampL += (p + f + shelf * (f + h) - dampL) * highDamping;
            float t = allpassAt(head[4] - j, dampL, g3, g3);
            t = delayAt(head[5] - j, t) * d;
            t = allpassAt(head[6] - j, t, g4, g4);
            head[7][-j] = t;

            // Right half, fed by the end of the left half.
            int32_t q = after7 - j;
            if (q < 0)
                q += length7;
            f = data7[q] * d;
            h = crossover * (f - crossOutR) + crossInR;
            crossOutR = h;
            crossInR = f;
            dampR += (p + f + shelf * (f + h) - dampR) * highDamping;
            t = allpassAt(head[8] - j, dampR, g3, g3);
            t = delayAt(head[9] - j, t) * d;
            t = allpassAt(head[10] - j, t, g4, g4);
            head[11][-j] = t;
        }

        TankLines::step(line, run, anchor_, clock);
    }
    tankClock_ = clock;
    pre.position = preAt;
    crossInL_ = crossInL;
    crossOutL_ = crossOutL;
    dampL_ = dampL;
    crossInR_ = crossInR;
    crossOutR_ = crossOutR;
    dampR_ = dampR;
}

// The mix goes four frames per SSE2 operation, each lane in the scalar order.
template <bool Accumulate>
void PlateReverb::mix(const float* cl, const float* cr, const float* gain, const float* sumL, const float* sumR,
    const float* reflL, const float* reflR, float* ol, float* orr, int32_t count)
{
    const float kInputGain = k_.inputGain, kEarlyGain = k_.earlyGain, kWidth = k_.width, kDryGain = k_.dryGain;
    const __m128 inputGain = _mm_set1_ps(kInputGain), earlyGain = _mm_set1_ps(kEarlyGain);
    const __m128 width = _mm_set1_ps(kWidth), dryGain = _mm_set1_ps(kDryGain);
    int32_t n = 0;
    for (; n + 4 <= count; n += 4) {
        const __m128 xl = _mm_mul_ps(_mm_loadu_ps(cl + n), inputGain);
        const __m128 xr = _mm_mul_ps(_mm_loadu_ps(cr + n), inputGain);
        const __m128 g = _mm_loadu_ps(gain + n);
        const __m128 wl
            = _mm_add_ps(_mm_mul_ps(earlyGain, _mm_loadu_ps(reflL + n)), _mm_mul_ps(g, _mm_loadu_ps(sumL + n)));
        const __m128 wr
            = _mm_add_ps(_mm_mul_ps(earlyGain, _mm_loadu_ps(reflR + n)), _mm_mul_ps(g, _mm_loadu_ps(sumR + n)));
        const __m128 e = _mm_mul_ps(width, _mm_sub_ps(wl, wr));
        const __m128 sum = _mm_add_ps(wl, wr);
        __m128 left = _mm_add_ps(_mm_add_ps(sum, e), _mm_mul_ps(xl, dryGain));
        __m128 right = _mm_add_ps(_mm_sub_ps(sum, e), _mm_mul_ps(xr, dryGain));
        if constexpr (Accumulate) {
            left = _mm_add_ps(_mm_loadu_ps(ol + n), left);
            right = _mm_add_ps(_mm_loadu_ps(orr + n), right);
        }
        _mm_storeu_ps(ol + n, left);
        _mm_storeu_ps(orr + n, right);
    }
    for (; n < count; ++n) {
        const float xl = cl[n] * kInputGain;
        const float xr = cr[n] * kInputGain;
        const float wl = kEarlyGain * reflL[n] + gain[n] * sumL[n];
        const float wr = kEarlyGain * reflR[n] + gain[n] * sumR[n];
        const float e = kWidth * (wl - wr);
        const float left = wl + wr + e + xl * kDryGain;
        const float right = wl + wr - e + xr * kDryGain;
        if constexpr (Accumulate) {
            ol[n] += left;
            orr[n] += right;
        } else {
            ol[n] = left;
            orr[n] = right;
        }
    }
}

// The recursive part runs frame by frame over a chunk; the output taps and the
// early reflections only read the lines, so they are summed afterwards over
// the whole chunk, four frames per SSE operation. Each frame still
// adds its taps in the same order as it always did, so the bits stay. A chunk
// is cut short where a tap sits so close behind its write head that a later
// frame of the chunk would overwrite what an earlier one reads. When every tap
// sits further back than a run of kAhead frames, the sums of a whole run are
// made as it starts instead, and the chunks inside the run only use them.
template <bool Accumulate>
void PlateReverb::run(const float* inL, const float* inR, float* outL, float* outR, int32_t frames)
{
    ReverbMemory::Lines& line = memory_.lines();
    const DelayLine& ring = line[kEarlyRingLine];
    const int32_t chunk = chunk_;
    const bool ahead = aheadUsable_;
    float tankL[kChunk], tankR[kChunk], earlyL[kChunk], earlyR[kChunk], ringOld[kChunk];
    for (int32_t at = 0, count = 0; at < frames; at += count) {
        // Where the taps start reading: the lines as the chunk finds them.
        const int32_t ringStart = ring.position;
        int32_t tapStart[kTankLineCount];
        const bool summing = !ahead || aheadLeft_ == 0;
        if (summing)
            for (int i = 0; i < kTankLineCount; ++i)
                tapStart[i] = line[i].position;
        count = std::min(chunk, frames - at);
        // This chunk's tap sums: made ahead, or after its recursion.
        const float *sumL = tankL, *sumR = tankR, *reflL = earlyL, *reflR = earlyR;
        if (ahead) {
            if (aheadLeft_ == 0) {
                sumTaps(line.data(), tapStart, ringStart, nullptr, kAhead, aheadTankL_, aheadTankR_, aheadEarlyL_,
                    aheadEarlyR_);
                aheadAt_ = 0;
                aheadLeft_ = kAhead;
            }
            count = std::min(count, aheadLeft_);
            sumL = aheadTankL_ + aheadAt_;
            sumR = aheadTankR_ + aheadAt_;
            reflL = aheadEarlyL_ + aheadAt_;
            reflR = aheadEarlyR_ + aheadAt_;
            aheadAt_ += count;
            aheadLeft_ -= count;
        }

        // The early reflections tap the first diffuser, ahead of the predelay.
        float diffused[kChunk];
        float gain[kChunk];
        filterInput(inL + at, inR + at, count, diffused, gain);
        diffuse(diffused, ringOld, count);
        runTank(diffused, count);
        if (!ahead)
            sumTaps(line.data(), tapStart, ringStart, ringOld, count, tankL, tankR, earlyL, earlyR);
        mix<Accumulate>(inL + at, inR + at, gain, sumL, sumR, reflL, reflR, outL + at, outR + at, count);
    }
}

template void PlateReverb::run<false>(const float*, const float*, float*, float*, int32_t);
template void PlateReverb::run<true>(const float*, const float*, float*, float*, int32_t);

}  // namespace plate
