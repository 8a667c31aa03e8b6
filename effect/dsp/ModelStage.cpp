#include "effect/dsp/ModelStage.h"

#include "framework/dsp/Flush.h"
#include "framework/dsp/Lanes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

struct Voicing {
    double ringShare;  // ring length as a share of its capacity
    float wet1, wet2;  // how much of each all-pass chain is added
    float pole1, pole2;  // where each chain's corner sits between 50 Hz and 20 kHz
};

constexpr Voicing kVoicings[ModelStage::kModels] = {
    {0.1225, 0.74f, 1.0f, 0.55f, 0.75f},
    {0.0961, 0.77f, 0.68f, 0.56f, 0.84f},
    {0.0676, 0.93f, 0.82f, 0.56f, 0.76f},
    {0.09, 0.63f, 0.72f, 0.56f, 0.73f},
    {0.1296, 0.77f, 0.69f, 0.59f, 0.76f},
};

constexpr float kOffset = 0.000001f;
constexpr float kChainFeedback = 0.4548f;
constexpr int kRingSteps = 64;

// step / 64 for each of the ring's steps; every entry is exact in float.
constexpr auto kRamp = [] {
    std::array<float, kRingSteps> r {};
    for (int step = 0; step < kRingSteps; ++step)
        r[static_cast<size_t>(step)] = static_cast<float>(step) * (1.0f / kRingSteps);
    return r;
}();

}  // namespace

float ModelStage::AllPassChain::run(float in)
{
    float u = in;
    for (float& s : state) {
        const float y = s - k * u;
        s = u + k * y;
        u = y;
    }
    feedback = u;
    return u;
}

void ModelStage::AllPassChain::clear()
{
    std::fill(std::begin(state), std::end(state), 0.0f);
    feedback = 0.0f;
}

ModelStage::ModelStage() = default;

void ModelStage::setSampleRate(double rate)
{
    sampleRate_ = rate;
    // Resonant low-pass at 7230 Hz, q = 4 (kept below half the rate, so it
    // stays stable at low rates).
    setLowPass(lowPass_, 7230.0, 4.0, rate);

    ring_.reset();
    capacity_ = 0;
    const double wanted = 0.064 * rate;
    // A rate that is not a usable number leaves the stage without a ring;
    // it then skips the ring pass instead of reading beyond it.
    if (wanted >= 1.0 && wanted < 1.0e8) {
        const int n = static_cast<int>(wanted);
        ring_.reset(new (std::nothrow) float[static_cast<size_t>(n)]());
        if (ring_)
            capacity_ = n;
    }
    setModel(model_);
}

void ModelStage::setModel(int model)
{
    const int m = std::clamp(model, 0, kModels);
    if (m > 0) {
        const Voicing& v = kVoicings[m - 1];
        int length = static_cast<int>(capacity_ * v.ringShare + 3.0);
        if (length <= 4)
            length = 4;
        // The ring is never longer than what was allocated for it.
        length_ = std::min(length, capacity_);
        const float c = static_cast<float>(50.0 / sampleRate_);
        const float d = static_cast<float>(20000.0 / sampleRate_) - c;
        const float e1 = c + v.pole1 * v.pole1 * d;
        const float e2 = c + v.pole2 * v.pole2 * d;
        first_.k = (1.0f - e1) / (1.0f + e1);
        second_.k = (1.0f - e2) / (1.0f + e2);
        first_.wet = v.wet1;
        second_.wet = v.wet2;
    }
    model_ = m;
    clearSignal();
}

void ModelStage::reset() { clearSignal(); }

void ModelStage::clearSignal()
{
    previous_ = 0.0f;
    lowPass_.clearState();
    index_ = 0;
    first_.clear();
    second_.clear();
    if (ring_ && length_ > 0)
        std::memset(ring_.get(), 0, sizeof(float) * static_cast<size_t>(std::min(length_, capacity_)));
}

void ModelStage::processModelStage(float* samples, int frames)
{
    if (model_ == 0 || frames < 1 || samples == nullptr)
        return;
    // The ring's state lives in locals for the block: stores into the ring
    // could alias members, which would force a reload and a store of each on
    // every one of the 64 steps.
    float* const ring = ring_ && length_ > 0 ? ring_.get() : nullptr;
    const int length = length_;
    int index = index_;
    float previous = previous_;
    for (int k = 0; k < frames; ++k) {
        const float x = samples[k];
        first_.run(x - kOffset + first_.feedback * kChainFeedback);
        float a = x + first_.feedback * first_.wet;
        second_.run(a - kOffset + second_.feedback * kChainFeedback);
        a = a + second_.feedback * second_.wet;

        // The ring is written 64 times per sample along a ramp from the
        // previous input to this one, which smears it into a dense echo. The
        // steps run in stretches up to the ring's end, so the wrap is tested
        // once per stretch; the sum keeps its order, so its bits stay.
        float sum = 0.0f;
        if (ring) {
            const float rise = a - previous;
            int step = 0;
            while (step < kRingSteps) {
                const int stretch = std::min(kRingSteps - step, length - index);
                float* at = ring + index;
                const float* ramp = kRamp.data() + step;
                int i = 0;
#if defined(__SSE2__)
                // Four steps at once: each lane does the scalar step's
                // operations in the same order, and the sum still takes the
                // four values one after another.
                const __m128 from = _mm_set1_ps(previous);
                const __m128 slope = _mm_set1_ps(rise);
                const __m128 quarter = _mm_set1_ps(0.25f);
                for (; i + 4 <= stretch; i += 4) {
                    const __m128 m = _mm_loadu_ps(at + i);
                    const __m128 w = _mm_mul_ps(slope, _mm_loadu_ps(ramp + i));
                    _mm_storeu_ps(at + i, _mm_sub_ps(_mm_add_ps(from, w), _mm_mul_ps(quarter, m)));
                    sum = sum + _mm_cvtss_f32(m);
                    sum = sum + _mm_cvtss_f32(_mm_shuffle_ps(m, m, 1));
                    sum = sum + _mm_cvtss_f32(_mm_movehl_ps(m, m));
                    sum = sum + _mm_cvtss_f32(_mm_shuffle_ps(m, m, 3));
                }
#endif
                for (; i < stretch; ++i) {
                    const float m = at[i];
                    sum = sum + m;
                    at[i] = previous + rise * ramp[i] - 0.25f * m;
                }
                step += stretch;
                index += stretch;
                if (index >= length)
                    index = 0;
            }
        }
        previous = a;

        const float l = tb::flush(a + (sum / static_cast<float>(kRingSteps)) * 0.5f);
        samples[k] = lowPass_.lowPass(l) * 0.3f;
    }
    index_ = index;
    previous_ = previous;
}

bool ModelStage::ringInStepWith(const ModelStage& o) const
{
    const bool ring = ring_ && length_ > 0;
    const bool otherRing = o.ring_ && o.length_ > 0;
    return ring == otherRing && (!ring || (length_ == o.length_ && index_ == o.index_));
}

void ModelStage::processPair(ModelStage& left, float* l, ModelStage& right, float* r, int frames)
{
#if defined(__SSE2__)
    if (pairable(left, l, right, r, frames)) {
        PairLanes lanes;
        lanes.load(left, right);
        runPair(lanes, l, r, frames);
        lanes.store(left, right);
        return;
    }
#endif
    left.processModelStage(l, frames);
    right.processModelStage(r, frames);
}

#if defined(__SSE2__)
bool ModelStage::pairable(const ModelStage& left, const float* l, const ModelStage& right, const float* r, int frames)
{
    return left.model_ != 0 && right.model_ != 0 && frames >= 1 && l != nullptr && r != nullptr
        && left.ringInStepWith(right);
}

void ModelStage::PairLanes::load(const ModelStage& left, const ModelStage& right)
{
    for (int i = 0; i < kAllPassStages; ++i) {
        s1[i] = tb::pairOf(left.first_.state[i], right.first_.state[i]);
        s2[i] = tb::pairOf(left.second_.state[i], right.second_.state[i]);
    }
    feedback1 = tb::pairOf(left.first_.feedback, right.first_.feedback);
    feedback2 = tb::pairOf(left.second_.feedback, right.second_.feedback);
    x1 = tb::pairOf(left.lowPass_.x1, right.lowPass_.x1);
    x2 = tb::pairOf(left.lowPass_.x2, right.lowPass_.x2);
    y1 = tb::pairOf(left.lowPass_.y1, right.lowPass_.y1);
    y2 = tb::pairOf(left.lowPass_.y2, right.lowPass_.y2);
    previous = tb::pairOf(left.previous_, right.previous_);
    k1 = tb::pairOf(left.first_.k, right.first_.k);
    k2 = tb::pairOf(left.second_.k, right.second_.k);
    wet1 = tb::pairOf(left.first_.wet, right.first_.wet);
    wet2 = tb::pairOf(left.second_.wet, right.second_.wet);
    b0 = tb::pairOf(left.lowPass_.b0, right.lowPass_.b0);
    a1 = tb::pairOf(left.lowPass_.a1, right.lowPass_.a1);
    a2 = tb::pairOf(left.lowPass_.a2, right.lowPass_.a2);
    ringL = left.ring_ && left.length_ > 0 ? left.ring_.get() : nullptr;
    ringR = right.ring_.get();
    length = left.length_;
    index = left.index_;
}

void ModelStage::PairLanes::store(ModelStage& left, ModelStage& right) const
{
    ModelStage* const stages[2] = {&left, &right};
    alignas(16) float lanes[4];
    auto spread = [&](__m128 v, auto&& put) {
        _mm_store_ps(lanes, v);
        put(*stages[0], lanes[0]);
        put(*stages[1], lanes[1]);
    };
    for (int i = 0; i < kAllPassStages; ++i) {
        spread(s1[i], [i](ModelStage& m, float v) { m.first_.state[i] = v; });
        spread(s2[i], [i](ModelStage& m, float v) { m.second_.state[i] = v; });
    }
    spread(feedback1, [](ModelStage& m, float v) { m.first_.feedback = v; });
    spread(feedback2, [](ModelStage& m, float v) { m.second_.feedback = v; });
    spread(x1, [](ModelStage& m, float v) { m.lowPass_.x1 = v; });
    spread(x2, [](ModelStage& m, float v) { m.lowPass_.x2 = v; });
    spread(y1, [](ModelStage& m, float v) { m.lowPass_.y1 = v; });
    spread(y2, [](ModelStage& m, float v) { m.lowPass_.y2 = v; });
    spread(previous, [](ModelStage& m, float v) { m.previous_ = v; });
    left.index_ = index;
    right.index_ = index;
}

namespace {

// One chain of six all-pass stages with feedback, both channels in lanes,
// over a chunk: each frame's input pair (from l and r for the first chain,
// else from `out`) goes to `out` with the chain's output added at `wet`,
// as ModelStage::processModelStage() does. The states are held one by one:
// as an array they would be copied in and out as a whole and then once
// more into registers.
template <bool FromChannels>
inline void runChainLanes(__m128 (&states)[6], __m128& feedback, __m128 k, __m128 wet, const float* l, const float* r,
    __m128* out, int frames)
{
    __m128 s0 = states[0], s1 = states[1], s2 = states[2], s3 = states[3], s4 = states[4], s5 = states[5];
    __m128 f = feedback;
    for (int i = 0; i < frames; ++i) {
        const __m128 x = FromChannels ? tb::pairOf(l[i], r[i]) : out[i];
        __m128 u = _mm_add_ps(_mm_sub_ps(x, _mm_set1_ps(kOffset)), _mm_mul_ps(f, _mm_set1_ps(kChainFeedback)));
        u = tb::allPassChain(s0, s1, s2, s3, s4, s5, k, u);
        f = u;
        out[i] = _mm_add_ps(x, _mm_mul_ps(f, wet));
    }
    states[0] = s0;
    states[1] = s1;
    states[2] = s2;
    states[3] = s3;
    states[4] = s4;
    states[5] = s5;
    feedback = f;
}

}  // namespace

// processModelStage() for two channels, one per lane: every lane does the
// scalar code's operations in its order, so each channel keeps its bits.
// A chunk of frames goes through the first all-pass chain, then the second,
// then the ring and then the low-pass: each pass fits its state in
// registers, where the whole frame at once spilled it on every frame.
void ModelStage::runPair(PairLanes& lanes, float* l, float* r, int frames)
{
    static_assert(kAllPassStages == 6);
    constexpr int kChunk = 64;
    const __m128 quarter = _mm_set1_ps(0.25f);
    float* const ringL = lanes.ringL;
    float* const ringR = lanes.ringR;
    const int length = lanes.length;
    __m128 buffer[kChunk];
    for (int done = 0; done < frames; done += kChunk) {
        const int n = std::min(kChunk, frames - done);
        float* const lc = l + done;
        float* const rc = r + done;
        runChainLanes<true>(lanes.s1, lanes.feedback1, lanes.k1, lanes.wet1, lc, rc, buffer, n);
        runChainLanes<false>(lanes.s2, lanes.feedback2, lanes.k2, lanes.wet2, nullptr, nullptr, buffer, n);

        __m128 previous = lanes.previous;
        int index = lanes.index;
        for (int k = 0; k < n; ++k) {
            const __m128 a = buffer[k];
            // Both rings take the same steps; each lane's sum adds its ring's
            // values one after another, as the scalar loop does.
            __m128 sum = _mm_setzero_ps();
            if (ringL) {
                const __m128 rise = _mm_sub_ps(a, previous);
                const __m128 fromL = _mm_shuffle_ps(previous, previous, 0);
                const __m128 fromR = _mm_shuffle_ps(previous, previous, 0x55);
                const __m128 slopeL = _mm_shuffle_ps(rise, rise, 0);
                const __m128 slopeR = _mm_shuffle_ps(rise, rise, 0x55);
                auto four = [&](float* atL, float* atR, const float* ramp) {
                    const __m128 mL = _mm_loadu_ps(atL);
                    const __m128 mR = _mm_loadu_ps(atR);
                    const __m128 w = _mm_loadu_ps(ramp);
                    _mm_storeu_ps(atL, _mm_sub_ps(_mm_add_ps(fromL, _mm_mul_ps(slopeL, w)), _mm_mul_ps(quarter, mL)));
                    _mm_storeu_ps(atR, _mm_sub_ps(_mm_add_ps(fromR, _mm_mul_ps(slopeR, w)), _mm_mul_ps(quarter, mR)));
                    const __m128 lo = _mm_unpacklo_ps(mL, mR);
                    const __m128 hi = _mm_unpackhi_ps(mL, mR);
                    sum = _mm_add_ps(sum, lo);
                    sum = _mm_add_ps(sum, _mm_movehl_ps(lo, lo));
                    sum = _mm_add_ps(sum, hi);
                    sum = _mm_add_ps(sum, _mm_movehl_ps(hi, hi));
                };
                int step = 0;
                // Mostly the 64 steps stay clear of the ring's end: then they
                // run as one stretch of fixed length, unrolled.
                if (index + kRingSteps <= length) {
#pragma GCC unroll 8
                    for (int i = 0; i < kRingSteps; i += 4)
                        four(ringL + index + i, ringR + index + i, kRamp.data() + i);
                    step = kRingSteps;
                    index += kRingSteps;
                    if (index >= length)
                        index = 0;
                }
                while (step < kRingSteps) {
                    const int stretch = std::min(kRingSteps - step, length - index);
                    float* atL = ringL + index;
                    float* atR = ringR + index;
                    const float* ramp = kRamp.data() + step;
                    int i = 0;
                    for (; i + 4 <= stretch; i += 4)
                        four(atL + i, atR + i, ramp + i);
                    for (; i < stretch; ++i) {
                        const __m128 m = tb::pairOf(atL[i], atR[i]);
                        sum = _mm_add_ps(sum, m);
                        const __m128 v = _mm_sub_ps(
                            _mm_add_ps(previous, _mm_mul_ps(rise, _mm_set1_ps(ramp[i]))), _mm_mul_ps(quarter, m));
                        atL[i] = _mm_cvtss_f32(v);
                        atR[i] = tb::laneOne(v);
                    }
                    step += stretch;
                    index += stretch;
                    if (index >= length)
                        index = 0;
                }
            }
            previous = a;
            buffer[k] = tb::flushLanes(
                _mm_add_ps(a, _mm_mul_ps(_mm_mul_ps(sum, _mm_set1_ps(1.0f / kRingSteps)), _mm_set1_ps(0.5f))));
        }
        lanes.previous = previous;
        lanes.index = index;

        const __m128 b0 = lanes.b0, a1 = lanes.a1, a2 = lanes.a2;
        __m128 x1 = lanes.x1, x2 = lanes.x2, y1 = lanes.y1, y2 = lanes.y2;
        for (int k = 0; k < n; ++k) {
            const __m128 in = buffer[k];
            // BiquadSection::lowPass() per lane. Its x1 and y1 only ever hold
            // flushed values, so they move on to x2 and y2 as they are.
            const __m128 y = _mm_sub_ps(
                _mm_sub_ps(_mm_mul_ps(_mm_add_ps(_mm_add_ps(in, _mm_mul_ps(_mm_set1_ps(2.0f), x1)), x2), b0),
                    _mm_mul_ps(a1, y1)),
                _mm_mul_ps(a2, y2));
            x2 = x1;
            x1 = in;
            y2 = y1;
            y1 = tb::flushLanes(y);
            const __m128 out = _mm_mul_ps(y, _mm_set1_ps(0.3f));
            lc[k] = _mm_cvtss_f32(out);
            rc[k] = tb::laneOne(out);
        }
        lanes.x1 = x1;
        lanes.x2 = x2;
        lanes.y1 = y1;
        lanes.y2 = y2;
    }
}
#endif

void ModelStagePair::setSampleRate(double rate)
{
    for (ModelStage& stage : stages_)
        stage.setSampleRate(rate);
#if defined(__SSE2__)
    inLanes_ = false;
#endif
}

void ModelStagePair::setModel(int model)
{
    for (ModelStage& stage : stages_)
        stage.setModel(model);
#if defined(__SSE2__)
    inLanes_ = false;
#endif
}

void ModelStagePair::reset()
{
    for (ModelStage& stage : stages_)
        stage.reset();
#if defined(__SSE2__)
    inLanes_ = false;
#endif
}

void ModelStagePair::process(float* left, float* right, int frames)
{
#if defined(__SSE2__)
    // Nothing that could make the stages unpairable happens while their
    // state is in lanes: every change of model, rate or signal drops them.
    if (inLanes_ && frames >= 1 && left != nullptr && right != nullptr) {
        ModelStage::runPair(lanes_, left, right, frames);
        return;
    }
#endif
    processOtherwise(left, right, frames);
}

void ModelStagePair::processOtherwise(float* left, float* right, int frames)
{
#if defined(__SSE2__)
    if (ModelStage::pairable(stages_[0], left, stages_[1], right, frames)) {
        if (!inLanes_) {
            lanes_.load(stages_[0], stages_[1]);
            inLanes_ = true;
        }
        ModelStage::runPair(lanes_, left, right, frames);
        return;
    }
    if (inLanes_) {
        lanes_.store(stages_[0], stages_[1]);
        inLanes_ = false;
    }
#endif
    stages_[0].processModelStage(left, frames);
    stages_[1].processModelStage(right, frames);
}
