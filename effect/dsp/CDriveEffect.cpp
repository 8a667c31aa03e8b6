#include "effect/dsp/CDriveEffect.h"

#include "effect/dsp/ParameterMap.h"
#include "effect/dsp/StoredValue.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace drive;

namespace {

constexpr float kGainGlide = 0.001f;
constexpr double kHighPassHz = 30.0;
// The loudest input the filters and feedback lines survive. A host may hand
// over anything: one infinite sample would stay in the high-pass and in every
// feedback line until the next reset, and max-float overflows on its way.
constexpr float kInputLimit = 1e6f;

// Normal input passes untouched; anything else is made safe before the
// first recursive state sees it: not a number or infinite becomes silence,
// a huge finite sample the limit.
inline float limitInput(float x)
{
    if (x >= -kInputLimit && x <= kInputLimit)
        return x;
    if (!std::isfinite(x))
        return 0.0f;
    return x > 0.0f ? kInputLimit : -kInputLimit;
}

}  // namespace

CDriveEffect::CDriveEffect()
{
    for (BiquadSection& hp : highPass_)
        setHighPass(hp, kHighPassHz, 1.0, sampleRate_);
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
    } else if (index >= kFirstEnable && index < kFirstEnable + kBoxes) {
        boxes_[index - kFirstEnable].setEnabled(value);
    } else if (index >= kFirstType && index < kFirstType + kBoxes) {
        boxes_[index - kFirstType].requestType(value);
    }
}

void CDriveEffect::applyPendingModel()
{
    const int32_t m = pendingModel_.exchange(-1, std::memory_order_acquire);
    if (m < 0)
        return;
    for (ModelStage& stage : models_)
        stage.setModel(m);
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

    float inPeak = 0.0f;
    const float inTarget = inputTarget_.load(std::memory_order_relaxed);
    for (int k = 0; k < n; ++k) {
        const float g = inputGain_;
        const float l = highPass_[0].highPass(limitInput(left[k])) * g;
        const float r = highPass_[1].highPass(limitInput(right[k])) * g;
        left[k] = l;
        right[k] = r;
        inPeak = std::max(inPeak, std::fabs(l + r));
        inputGain_ = g + (inTarget - g) * kGainGlide;
    }

    CProgram* program = program_.load(std::memory_order_acquire);
    for (int b = 0; b < kBoxes; ++b)
        boxes_[b].run(left, right, n, sampleRate_, program, b);

    ModelStage::processPair(models_[0], left, models_[1], right, n);

    if (equaliserOn_.load(std::memory_order_relaxed))
        equaliser_.process(left, right, n);

    float outPeak = 0.0f;
    const float outTarget = outputTarget_.load(std::memory_order_relaxed);
    for (int k = 0; k < n; ++k) {
        const float g = outputGain_;
        outL[k] = left[k] * g;
        outR[k] = right[k] * g;
        outPeak = std::max(outPeak, std::fabs(outL[k] + outR[k]));
        outputGain_ = g + (outTarget - g) * kGainGlide;
    }
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
    equaliser_.reset();
    for (ModelStage& stage : models_)
        stage.reset();
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
    equaliser_.setSampleRate(rate);
    for (ModelStage& stage : models_)
        stage.setSampleRate(rate);
    reset();
}
