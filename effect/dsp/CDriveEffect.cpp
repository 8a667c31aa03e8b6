#include "effect/dsp/CDriveEffect.h"

#include "effect/dsp/ParameterMap.h"
#include "effect/dsp/StoredValue.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "framework/dsp/Lanes.h"

using namespace drive;

namespace {

constexpr float kGainGlide = 0.001f;
constexpr double kHighPassHz = 30.0;
// The loudest input the filters and feedback lines survive. A host may hand
// over anything: one infinite sample would stay in the high-pass and in every
// feedback line until the next reset, and max-float overflows on its way.
constexpr float kInputLimit = 1e6f;

// Normal input passes untouched; anything else is made silence before the
// first recursive state sees it. A finite sample beyond the limit is an
// overflow upstream, not audio: kept at the limit, a delay would echo it at
// +120 dBFS for seconds.
inline float limitInput(float x) { return x >= -kInputLimit && x <= kInputLimit ? x : 0.0f; }

}  // namespace

CDriveEffect::CDriveEffect()
{
    for (BiquadSection& hp : highPass_)
        setHighPass(hp, kHighPassHz, 1.0, sampleRate_);
    loadHighPass();
#if defined(__SSE2__)
    HighPassLanes& h = highPassLanes_;
    h.x1 = h.x2 = h.y1 = h.y2 = _mm_setzero_ps();
#endif
}

void CDriveEffect::loadHighPass()
{
#if defined(__SSE2__)
    const BiquadSection& l = highPass_[0];
    const BiquadSection& r = highPass_[1];
    highPassLanes_.b0 = tb::pairOf(l.b0, r.b0);
    highPassLanes_.a1 = tb::pairOf(l.a1, r.a1);
    highPassLanes_.a2 = tb::pairOf(l.a2, r.a2);
#endif
}

CDriveEffect::~CDriveEffect() = default;

float CDriveEffect::gainForValue(float value)
{
    // A chunk or a host may hold any finite value; beyond 0..1 the law would
    // reach 8.6e36 at 16. The stored value stays as it is.
    value = std::clamp(value, 0.0f, 1.0f);
    return static_cast<float>(std::pow(10.0, (static_cast<double>(value) * 48.0 - 24.0) / 20.0));
}

void CDriveEffect::setEffectParameter(int index, float value)
{
    if (index == kInputLevel || index == kOutputLevel) {
        const float g = gainForValue(value);
        // A target that is not a number would silence the chain for good.
        if (std::isfinite(g))
            (index == kInputLevel ? inputTarget_ : outputTarget_).store(g, std::memory_order_relaxed);
    } else if (index == kEqualiserSwitch) {
        equaliserOn_.store(value != 0.0f, std::memory_order_relaxed);
    } else if (index >= kFirstBand && index < kFirstBand + MasterEqualiser::kBands) {
        equaliser_.setBandValue(index - kFirstBand, value);
    } else if (index == kModel) {
        pendingModel_.store(truncateStored(value, 0, ModelStage::kModels, 0), std::memory_order_release);
    } else if (index >= kFirstKnob && index <= kLastKnob) {
        const int k = index - kFirstKnob;
        boxes_[k / PedalBox::kKnobs].setKnob(k % PedalBox::kKnobs, value);
        boxRequests_.store(true, std::memory_order_release);
    } else if (index >= kFirstEnable && index < kFirstEnable + kBoxes) {
        boxes_[index - kFirstEnable].setEnabled(value);
        boxRequests_.store(true, std::memory_order_release);
    } else if (index >= kFirstType && index < kFirstType + kBoxes) {
        boxes_[index - kFirstType].requestType(value);
        boxRequests_.store(true, std::memory_order_release);
    }
}

void CDriveEffect::applyBoxRequests()
{
    // Lowered before the boxes are looked at: a request stored after this
    // point raises it again and is taken at the next block.
    boxRequests_.exchange(false, std::memory_order_acquire);
    CProgram* program = program_.load(std::memory_order_acquire);
    CPedalFX* running[kBoxes];
    int count = 0;
    for (int b = 0; b < kBoxes; ++b) {
        PedalBox& box = boxes_[b];
        if (box.hasRequests())
            box.applyRequests(sampleRate_, program, b);
        if (box.running() != nullptr)
            running[count++] = box.running();
    }
    // The list ends at the last entry, where process() falls through to.
    for (int i = 0; i < kBoxes; ++i)
        running_[i] = i < kBoxes - count ? nullptr : running[i - (kBoxes - count)];
    runningCount_ = count;
}

void CDriveEffect::applyPendingModel()
{
    // A plain load first: a model change is rare, and the exchange is a
    // locked operation that every block would pay.
    if (pendingModel_.load(std::memory_order_relaxed) < 0)
        return;
    const int32_t m = pendingModel_.exchange(-1, std::memory_order_acquire);
    if (m < 0)
        return;
    models_.setModel(m);
}

#if defined(__SSE2__)
namespace {

// flush(limitInput(x)) per lane, both tests on |x|: a sample stays where
// kFlushLimit <= |x| <= kInputLimit, anything else (NaN too) becomes +0.
inline __m128 limitAndFlushLanes(__m128 x)
{
    const __m128 magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0f), x);
    const __m128 keep = _mm_and_ps(
        _mm_cmple_ps(magnitude, _mm_set1_ps(kInputLimit)), _mm_cmpge_ps(magnitude, _mm_set1_ps(tb::kFlushLimit)));
    return _mm_and_ps(keep, x);
}

}  // namespace
#endif

namespace {

// One glide step of the input and output gains.
inline float glideStep(float g, float target) { return g + (target - g) * kGainGlide; }

// A glide that has come to rest stays there: the step is a function of g
// alone, so once a step gives the same bits back every later one does too,
// and a block can use the gain as it is. That is the usual case: the level
// knobs rarely move.
inline bool atRest(float g, float target)
{
    return std::bit_cast<uint32_t>(glideStep(g, target)) == std::bit_cast<uint32_t>(g);
}

// The frames from k on, one at a time: out = in * g with g gliding, and the
// peak of |left + right| taken along.
inline float glideFrames(const float* left, const float* right, float* outL, float* outR, int k, int n, float& gain,
    float target, float peak)
{
    float g = gain;
    for (; k < n; ++k) {
        const float l = left[k] * g;
        const float r = right[k] * g;
        outL[k] = l;
        outR[k] = r;
        peak = std::max(peak, std::fabs(l + r));
        g = glideStep(g, target);
    }
    gain = g;
    return peak;
}

#if defined(__SSE2__)
// The next four gains of a glide at g, which moves on past them.
template <bool AtRest> inline __m128 nextGains(float& g, float target)
{
    if constexpr (AtRest) {
        return _mm_set1_ps(g);
    } else {
        const float g0 = g, g1 = glideStep(g0, target), g2 = glideStep(g1, target), g3 = glideStep(g2, target);
        g = glideStep(g3, target);
        return _mm_setr_ps(g0, g1, g2, g3);
    }
}

// The peak is a maximum, which no order changes; std::max(peak, v) keeps
// peak where v is not a number, as maxps does.
inline __m128 peakLanes(__m128 peaks, __m128 l, __m128 r)
{
    return _mm_max_ps(_mm_andnot_ps(_mm_set1_ps(-0.0f), _mm_add_ps(l, r)), peaks);
}

inline float largestLane(__m128 v)
{
    v = _mm_max_ps(v, _mm_movehl_ps(v, v));
    return _mm_cvtss_f32(_mm_max_ss(v, _mm_shuffle_ps(v, v, 1)));
}

template <bool AtRest>
float glideLanes(const float* left, const float* right, float* outL, float* outR, int n, float& gain, float target)
{
    float g = gain;
    __m128 peaks = _mm_setzero_ps();
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m128 gv = nextGains<AtRest>(g, target);
        const __m128 l = _mm_mul_ps(_mm_loadu_ps(left + k), gv);
        const __m128 r = _mm_mul_ps(_mm_loadu_ps(right + k), gv);
        _mm_storeu_ps(outL + k, l);
        _mm_storeu_ps(outR + k, r);
        peaks = peakLanes(peaks, l, r);
    }
    gain = g;
    return glideFrames(left, right, outL, outR, k, n, gain, target, largestLane(peaks));
}
#endif

// out = in * g with g gliding toward target frame by frame, as the input and
// output gains do; returns the largest |left + right| of the result.
float glideGain(const float* left, const float* right, float* outL, float* outR, int n, float& gain, float target)
{
#if defined(__SSE2__)
    return atRest(gain, target) ? glideLanes<true>(left, right, outL, outR, n, gain, target)
                                : glideLanes<false>(left, right, outL, outR, n, gain, target);
#else
    return glideFrames(left, right, outL, outR, 0, n, gain, target, 0.0f);
#endif
}

}  // namespace

#if defined(__SSE2__)
template <bool AtRest> float CDriveEffect::inputLanes(float* left, float* right, int n, float target)
{
    // The high-pass, left and right side by side, each lane doing
    // highPass()'s operations in its order. highPass() flushes the states it
    // keeps, so they stay flushed and need no flush as they move. Four frames
    // at a time are limited, flushed and paired in one go; the upper lanes
    // then filter whatever the pairing left there, which no output reads.
    // The gain follows frame by frame, as it would on the filtered block.
    HighPassLanes& h = highPassLanes_;
    const __m128 b0 = h.b0, a1 = h.a1, a2 = h.a2;
    const __m128 two = _mm_set1_ps(2.0f);
    __m128 x1 = h.x1, x2 = h.x2, y1 = h.y1, y2 = h.y2;
    auto step = [&](__m128 x) {
        const __m128 y = _mm_sub_ps(
            _mm_sub_ps(_mm_mul_ps(_mm_add_ps(_mm_sub_ps(x, _mm_mul_ps(two, x1)), x2), b0), _mm_mul_ps(a1, y1)),
            _mm_mul_ps(a2, y2));
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = tb::flushLanes(y);
        return y;
    };
    float g = inputGain_;
    __m128 peaks = _mm_setzero_ps();
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m128 l = limitAndFlushLanes(_mm_loadu_ps(left + k));
        const __m128 r = limitAndFlushLanes(_mm_loadu_ps(right + k));
        const __m128 lo = _mm_unpacklo_ps(l, r), hi = _mm_unpackhi_ps(l, r);
        const __m128 o0 = step(lo);
        const __m128 o1 = step(_mm_movehl_ps(lo, lo));
        const __m128 o2 = step(hi);
        const __m128 o3 = step(_mm_movehl_ps(hi, hi));
        const __m128 first = _mm_unpacklo_ps(o0, o1), second = _mm_unpacklo_ps(o2, o3);
        const __m128 gv = nextGains<AtRest>(g, target);
        const __m128 gl = _mm_mul_ps(_mm_movelh_ps(first, second), gv);
        const __m128 gr = _mm_mul_ps(_mm_movehl_ps(second, first), gv);
        _mm_storeu_ps(left + k, gl);
        _mm_storeu_ps(right + k, gr);
        peaks = peakLanes(peaks, gl, gr);
    }
    for (int j = k; j < n; ++j) {
        const __m128 y = step(tb::pairOf(tb::flush(limitInput(left[j])), tb::flush(limitInput(right[j]))));
        _mm_store_ss(left + j, y);
        _mm_store_ss(right + j, _mm_shuffle_ps(y, y, 1));
    }
    h.x1 = x1;
    h.x2 = x2;
    h.y1 = y1;
    h.y2 = y2;
    inputGain_ = g;
    return glideFrames(left, right, left, right, k, n, inputGain_, target, largestLane(peaks));
}
#endif

float CDriveEffect::inputStage(float* left, float* right, int n, float target)
{
#if defined(__SSE2__)
    return atRest(inputGain_, target) ? inputLanes<true>(left, right, n, target)
                                      : inputLanes<false>(left, right, n, target);
#else
    for (int k = 0; k < n; ++k) {
        left[k] = highPass_[0].highPass(limitInput(left[k]));
        right[k] = highPass_[1].highPass(limitInput(right[k]));
    }
    return glideGain(left, right, left, right, n, inputGain_, target);
#endif
}

float CDriveEffect::outputStage(const float* left, const float* right, float* outL, float* outR, int n, float target)
{
    return glideGain(left, right, outL, outR, n, outputGain_, target);
}

void CDriveEffect::process(float* inL, float* inR, float* outL, float* outR, int32_t frames)
{
    const int n = std::max<int32_t>(frames, 0);
    // Without an input the chain works on silence in the mix buffers.
    float* left = inL != nullptr ? inL : outL;
    float* right = inR != nullptr ? inR : outR;
    if (left == nullptr || right == nullptr || outL == nullptr || outR == nullptr)
        return;
    if (inL == nullptr)
        std::fill(left, left + n, 0.0f);
    if (inR == nullptr)
        std::fill(right, right + n, 0.0f);

    equaliser_.applyPending(sampleRate_);
    applyPendingModel();

    const float inTarget = inputTarget_.load(std::memory_order_relaxed);
    const float inPeak = inputStage(left, right, n, inTarget);

    // A plain load first: requests are rare, and the exchange is a locked
    // operation that every block would pay.
    if (boxRequests_.load(std::memory_order_relaxed))
        applyBoxRequests();
    // Written out, falling through: a loop round five calls costs a fair
    // share of what the calls cost.
    static_assert(kBoxes == 5);
    switch (runningCount_) {
    case 5: running_[0]->process(left, right, n); [[fallthrough]];
    case 4: running_[1]->process(left, right, n); [[fallthrough]];
    case 3: running_[2]->process(left, right, n); [[fallthrough]];
    case 2: running_[3]->process(left, right, n); [[fallthrough]];
    case 1: running_[4]->process(left, right, n); break;
    default: break;
    }

    models_.process(left, right, n);

    if (equaliserOn_.load(std::memory_order_relaxed))
        equaliser_.process(left, right, n);

    const float outTarget = outputTarget_.load(std::memory_order_relaxed);
    const float outPeak = outputStage(left, right, outL, outR, n, outTarget);
    inputPeak_.store(inPeak, std::memory_order_relaxed);
    outputPeak_.store(outPeak, std::memory_order_relaxed);
}

void CDriveEffect::reset()
{
    for (PedalBox& box : boxes_)
        box.reset();
    inputGain_ = 0.0f;
    outputGain_ = 0.0f;
    for (BiquadSection& hp : highPass_)
        hp.clearState();
#if defined(__SSE2__)
    HighPassLanes& h = highPassLanes_;
    h.x1 = h.x2 = h.y1 = h.y2 = _mm_setzero_ps();
#endif
    equaliser_.reset();
    models_.reset();
}

void CDriveEffect::setSampleRate(double rate)
{
    // A rate that is not a positive number would turn every filter into NaN.
    if (!(rate > 0.0) || !std::isfinite(rate))
        return;
    sampleRate_ = rate;
    for (PedalBox& box : boxes_)
        box.setSampleRate(rate);
    for (BiquadSection& hp : highPass_)
        setHighPass(hp, kHighPassHz, 1.0, rate);
    loadHighPass();
    equaliser_.setSampleRate(rate);
    models_.setSampleRate(rate);
    reset();
}
