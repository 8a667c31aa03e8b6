#include <algorithm>
#include <cmath>

#include "effect/reverb/PlateReverb.h"
#include "effect/reverb/PlateTables.h"

namespace plate {

const int32_t kLeftEarly[kLeftEarlyTaps] = {1102, 2904, 3784, 4873, 5878, 7470, 9062};
const int32_t kRightEarly[kRightEarlyTaps] = {837, 1423, 2865, 3938, 5278, 5978, 7532, 9263};
const float kLeftEarlySign[kLeftEarlyTaps] = {1, 1, -1, 1, 1, 1, 1};
const float kRightEarlySign[kRightEarlyTaps] = {1, -1, 1, 1, -1, 1, 1, -1};

namespace {

    constexpr float kPi = 3.14159265358979f;
    const float kLn1000th = std::log(0.001f);

    float levelGain(int32_t n, bool muted, float scale)
    {
        if (n <= kSilentLevel || muted)
            return 0.0f;
        return scale * std::pow(10.0f, static_cast<float>(n) / 200.0f);
    }

    // One-pole low-pass coefficient for a cut-off in hundreds of hertz; 1 passes
    // everything. The cut-off never goes past half the rate, where it would fold back.
    float onePole(int32_t hundreds, float fs)
    {
        if (hundreds >= kFilterOff)
            return 1.0f;
        const float f = std::min(100.0f * static_cast<float>(hundreds), 0.5f * fs);
        const float q = 2.0f - std::cos(2.0f * kPi * f / fs);
        return 1.0f - q + std::sqrt(q * q - 1.0f);
    }

    // Allpass gain at which a loop of the mean length of two lines dies away by
    // 60 dB in `seconds`.
    float loopGain(const ReverbMemory& m, int a, int b, float seconds, float fs)
    {
        const float meanLength = static_cast<float>(m.line(a).length + m.line(b).length) * 0.5f / fs;
        return std::exp(kLn1000th * meanLength / seconds);
    }

    // tan(pi f / fs) for the first-order filters. The angle stops just short of
    // a quarter turn: at or past half the rate the tangent turns negative and the
    // filter built on it would be unstable (only at rates far below any host's).
    float prewarp(float frequency, float fs)
    {
        const float angle = std::min(frequency * kPi / fs, 1.5697963f);
        return std::tan(angle);
    }

    int32_t scaled(int64_t scale, int32_t base, int64_t divisor)
    {
        return static_cast<int32_t>(scale * base / divisor);
    }

}  // namespace

void PlateReverb::setOutputTaps(int64_t scale)
{
    for (int i = 0; i < kOutputTaps; ++i) {
        const DelayLine& l = memory_.line(kLeftTaps[i].line);
        const DelayLine& r = memory_.line(kRightTaps[i].line);
        // A tap never reaches past its line, however short the line has become.
        tapL_[i] = std::min(scaled(scale, kLeftTaps[i].base, 20000), l.length);
        tapR_[i] = std::min(scaled(scale, kRightTaps[i].base, 20000), r.length);
    }
}

void PlateReverb::update(const int32_t n[kParamCount])
{
    // The gains come first so that the dry path works even without memory.
    k_.inputGain = levelGain(n[kInput], n[kMuteInput] != 0, 1.0f);
    k_.dryGain = levelGain(n[kDry], n[kMuteDry] != 0, 1.0f);
    k_.earlyGain = levelGain(n[kEarly], n[kMuteEarly] != 0, 0.5f);
    k_.reverbTarget = levelGain(n[kReverb], n[kMuteReverb] != 0, 0.3f);
    k_.width = static_cast<float>(n[kWidth]) * 0.01f;
    if (!memory_.ready())
        return;
    const float fs = rate_;
    const int64_t c = memory_.rate();

    if (n[kLowCut] > kLowCutOff) {
        const float t = prewarp(std::min(0.5f * fs, static_cast<float>(n[kLowCut])), fs);
        k_.lowCut = (t - 1.0f) / (t + 1.0f);
    } else {
        k_.lowCut = 0.0f;
    }
    k_.highCut = onePole(n[kHighCut], fs);

    DelayLine& pre = memory_.line(kPredelayLine);
    pre.length = static_cast<int32_t>(std::clamp<int64_t>(c * n[kPredelay] / 1000, 1, pre.allocated));
    pre.position %= pre.length;

    const int64_t room = c * (n[kRoomSize] + 15) / 115;
    for (int i = 0; i < kTankLineCount; ++i) {
        DelayLine& l = memory_.line(i);
        l.length = static_cast<int32_t>(std::clamp<int64_t>(room * kBaseLength[i] / 20000, 1, l.allocated));
        l.position %= l.length;
    }
    setOutputTaps(room);

    const float area = static_cast<float>(c * (n[kRoomSize] + 3) / 103);
    for (int i = 0; i < kLeftEarlyTaps; ++i)
        erOffL_[i] = static_cast<int32_t>(static_cast<float>(kLeftEarly[i]) * 1.5f * area / 44100.0f);
    for (int i = 0; i < kRightEarlyTaps; ++i)
        erOffR_[i] = static_cast<int32_t>(static_cast<float>(kRightEarly[i]) * 1.5f * area / 44100.0f);
    const float first = static_cast<float>(std::min(erOffL_[0], erOffR_[0]));
    // At absurdly low rates an offset can round to 0; such a tap stays silent
    // instead of dividing by zero.
    for (int i = 0; i < kLeftEarlyTaps; ++i)
        erGainL_[i] = erOffL_[i] > 0 ? kLeftEarlySign[i] * (0.5f * first / static_cast<float>(erOffL_[i])) : 0.0f;
    for (int i = 0; i < kRightEarlyTaps; ++i)
        erGainR_[i] = erOffR_[i] > 0 ? kRightEarlySign[i] * (0.36f * first / static_cast<float>(erOffR_[i])) : 0.0f;

    if (n[kRoomSize] != lastRoomSize_) {
        // Old material at new lengths would replay as a burst of garbage.
        lastRoomSize_ = n[kRoomSize];
        for (int i = 0; i < kTankLineCount; ++i) {
            DelayLine& l = memory_.line(i);
            std::fill(l.data, l.data + l.length, 0.0f);
        }
        DelayLine& ring = memory_.line(kEarlyRingLine);
        std::fill(ring.data, ring.data + ring.allocated, 0.0f);
    }

    const float diffusion = static_cast<float>(n[kDiffusion]) / 100.0f;
    if (diffusion == 0.0f) {
        k_.g1 = k_.g2 = k_.g3 = k_.g4 = 0.0f;
    } else {
        k_.g1 = loopGain(memory_, 0, 1, 0.07f * diffusion, fs);
        k_.g2 = loopGain(memory_, 2, 3, 0.11f * diffusion, fs);
        k_.g3 = loopGain(memory_, 4, 8, 0.35f * diffusion, fs);
        k_.g4 = loopGain(memory_, 6, 10, 0.51f * diffusion, fs);
    }

    const float decaySeconds = static_cast<float>(n[kDecay]) / 10.0f;
    const float loop = static_cast<float>(memory_.line(5).length + memory_.line(7).length + memory_.line(9).length
                           + memory_.line(11).length)
        / fs;
    // The decay is applied four times per round trip through both halves.
    k_.decay = std::pow(std::exp(kLn1000th * loop / decaySeconds), 0.25f);
    const float bassSeconds = decaySeconds * static_cast<float>(n[kBassMultiplier]) / 10.0f;
    const float lowDecay = std::pow(std::exp(kLn1000th * loop / bassSeconds), 0.25f);

    const float z = lowDecay / k_.decay;
    k_.shelf = (z - 1.0f) * 0.5f;
    const float zc = std::min(z, 1.0f);
    const float t = prewarp(static_cast<float>(n[kCrossover]), fs);
    k_.crossover = (t - zc) / (t + zc);

    k_.highDamping = onePole(n[kHighDamping], fs);
    planChunks();
}

}  // namespace plate
