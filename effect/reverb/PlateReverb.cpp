#include "effect/reverb/PlateReverb.h"

#include "effect/reverb/PlateTables.h"

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

    // Output gain a, store gain b: they differ on two of the input diffusers.
    inline float allpass(DelayLine& l, float x, float a, float b)
    {
        const float s = l.current();
        const float y = s - a * x;
        l.store(x + b * y);
        l.step();
        return y;
    }

    inline float delay(DelayLine& l, float x)
    {
        const float s = l.current();
        l.store(x);
        l.step();
        return s;
    }

    inline float tapWeight(const OutputTap& t, float d) { return t.blend < 0.0f ? 1.0f : d + t.blend * (1.0f - d); }

}  // namespace

bool PlateReverb::setSampleRate(float rate)
{
    // Coefficients use the rate as given; only rates no host can mean are replaced.
    const bool usable = rate >= 1.0f && rate <= static_cast<float>(ReverbMemory::kMaxRate);
    rate_ = usable ? rate : static_cast<float>(ReverbMemory::wholeRate(rate));
    const bool ok = memory_.allocate(rate_);
    if (ok)
        setOutputTaps(memory_.rate());
    return ok;
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
    clearStates();
    smoothedReverb_ = kGainUnset;
}

void PlateReverb::process(const float* inL, const float* inR, float* outL, float* outR, int32_t frames, bool accumulate)
{
    if (frames <= 0 || !inL || !inR || !outL || !outR)
        return;
    if (!memory_.ready()) {
        // Without memory there is no reverb; the dry path still works.
        for (int32_t i = 0; i < frames; ++i) {
            const float l = inL[i] * k_.inputGain * k_.dryGain;
            const float r = inR[i] * k_.inputGain * k_.dryGain;
            outL[i] = accumulate ? outL[i] + l : l;
            outR[i] = accumulate ? outR[i] + r : r;
        }
        return;
    }
    if (accumulate)
        run<true>(inL, inR, outL, outR, frames);
    else
        run<false>(inL, inR, outL, outR, frames);
}

template <bool Accumulate>
void PlateReverb::run(const float* inL, const float* inR, float* outL, float* outR, int32_t frames)
{
    const Coefficients k = k_;
    DelayLine* line[kLineCount];
    for (int i = 0; i < kLineCount; ++i)
        line[i] = &memory_.line(i);
    DelayLine& ring = *line[kEarlyRingLine];
    const int32_t mask = memory_.ringMask();
    const float d = k.decay;

    float weightL[kOutputTaps], weightR[kOutputTaps];
    for (int i = 0; i < kOutputTaps; ++i) {
        weightL[i] = kLeftTaps[i].sign * tapWeight(kLeftTaps[i], d);
        weightR[i] = kRightTaps[i].sign * tapWeight(kRightTaps[i], d);
    }

    for (int32_t n = 0; n < frames; ++n) {
        const float xl = inL[n] * k.inputGain;
        const float xr = inR[n] * k.inputGain;
        const float mono = 0.5f * (xl + xr) + kInputBias;

        highCutState_ += (mono - highCutState_) * k.highCut;
        float x = highCutState_;
        if (k.lowCut != 0.0f) {
            const float ap = k.lowCut * (x - lowCutOut_) + lowCutIn_;
            lowCutOut_ = ap;
            lowCutIn_ = x;
            x = (x - ap) * 0.5f + kInputBias;
        }

        float earlyL = 0.0f, earlyR = 0.0f;
        if (k.earlyGain != 0.0f) {
            for (int i = 0; i < kLeftEarlyTaps; ++i)
                earlyL += erGainL_[i] * ring.data[(ring.position + erOffL_[i]) & mask];
            for (int i = 0; i < kRightEarlyTaps; ++i)
                earlyR += erGainR_[i] * ring.data[(ring.position + erOffR_[i]) & mask];
        }

        // The early reflections tap the first diffuser, ahead of the predelay.
        const float a0 = allpass(*line[0], x, k.g1, k.g1);
        ring.store(a0);
        ring.position = (ring.position - 1) & mask;
        const float a1 = allpass(*line[1], a0, k.g2, k.g1);
        const float a2 = allpass(*line[2], a1, k.g1, k.g1);
        const float a3 = allpass(*line[3], a2, k.g2, k.g1);
        const float p = delay(*line[kPredelayLine], a3) + kTankBias;

        // Left half, fed by the end of the right half.
        float f = line[11]->current() * d;
        float h = k.crossover * (f - crossOutL_) + crossInL_;
        crossOutL_ = h;
        crossInL_ = f;
        dampL_ += (p + f + k.shelf * (f + h) - dampL_) * k.highDamping;
        float t = allpass(*line[4], dampL_, k.g3, k.g3);
        t = delay(*line[5], t) * d;
        t = allpass(*line[6], t, k.g4, k.g4);
        line[7]->store(t);
        line[7]->step();

        // Right half, fed by the end of the left half.
        f = line[7]->current() * d;
        h = k.crossover * (f - crossOutR_) + crossInR_;
        crossOutR_ = h;
        crossInR_ = f;
        dampR_ += (p + f + k.shelf * (f + h) - dampR_) * k.highDamping;
        t = allpass(*line[8], dampR_, k.g3, k.g3);
        t = delay(*line[9], t) * d;
        t = allpass(*line[10], t, k.g4, k.g4);
        line[11]->store(t);
        line[11]->step();

        float tankL = 0.0f, tankR = 0.0f;
        for (int i = 0; i < kOutputTaps; ++i)
            tankL += weightL[i] * line[kLeftTaps[i].line]->tap(tapL_[i]);
        for (int i = 0; i < kOutputTaps; ++i)
            tankR += weightR[i] * line[kRightTaps[i].line]->tap(tapR_[i]);

        if (smoothedReverb_ < kGainUnsetBelow)
            smoothedReverb_ = k.reverbTarget;
        smoothedReverb_ += (k.reverbTarget - smoothedReverb_) * 0.001f;

        const float wl = k.earlyGain * earlyL + smoothedReverb_ * tankL;
        const float wr = k.earlyGain * earlyR + smoothedReverb_ * tankR;
        const float e = k.width * (wl - wr);
        const float left = wl + wr + e + xl * k.dryGain;
        const float right = wl + wr - e + xr * k.dryGain;
        if constexpr (Accumulate) {
            outL[n] += left;
            outR[n] += right;
        } else {
            outL[n] = left;
            outR[n] = right;
        }
    }
}

}  // namespace plate
