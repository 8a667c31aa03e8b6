#include "effect/reverb/ReverbParameters.h"

#include <cmath>
#include <cstdio>

namespace plate {
namespace {

    enum class Text { Level, LowCut, Kilohertz, Whole, Tenths, Switch };

    struct ParamInfo {
        const char* name;
        const char* label;
        float k;
        float b;
        int32_t lo;
        int32_t hi;
        Text text;
        float defaultValue;
    };

    // The defaults are the normalised values that land on round natural values.
    constexpr ParamInfo kInfo[kParamCount] = {
        {"Input", "dB", 421.0f, -360.5f, -361, 60, Text::Level, 0.8574822f},
        {"LowCut", "Hz", 2981.0f, 19.5f, 19, 3000, Text::LowCut, 0.018785642f},
        {"HighCut", "kHz", 216.0f, 5.5f, 5, 221, Text::Kilohertz, 0.16203703f},
        {"Predelay", "ms", 250.0f, 0.5f, 0, 250, Text::Whole, 0.0f},
        {"RoomSize", "", 99.0f, 1.5f, 1, 100, Text::Whole, 0.4949495f},
        {"Diffusion", "%", 100.0f, 0.5f, 0, 100, Text::Whole, 1.0f},
        {"BassMultiplier", "x", 28.0f, 2.5f, 2, 30, Text::Tenths, 0.2857143f},
        {"Crossover", "Hz", 1975.0f, 25.5f, 25, 2000, Text::Whole, 0.24050634f},
        {"Decay", "s", 199.0f, 1.5f, 1, 200, Text::Tenths, 0.07035176f},
        {"HighDamping", "kHz", 216.0f, 5.5f, 5, 221, Text::Kilohertz, 0.16203703f},
        {"Dry", "dB", 421.0f, -360.5f, -361, 60, Text::Level, 0.8574822f},
        {"ER", "dB", 421.0f, -360.5f, -361, 60, Text::Level, 0.77434677f},
        {"Reverb", "dB", 421.0f, -360.5f, -361, 60, Text::Level, 0.5724466f},
        {"Width", "%", 200.0f, 0.5f, 0, 200, Text::Whole, 0.5f},
        {"MuteInput", "", 1.0f, 0.5f, 0, 1, Text::Switch, 0.0f},
        {"MuteDry", "", 1.0f, 0.5f, 0, 1, Text::Switch, 0.0f},
        {"MuteER", "", 1.0f, 0.5f, 0, 1, Text::Switch, 0.0f},
        {"MuteReverb", "", 1.0f, 0.5f, 0, 1, Text::Switch, 0.0f},
    };

    int32_t clampNatural(int32_t index, int32_t n)
    {
        const ParamInfo& p = kInfo[index];
        return n < p.lo ? p.lo : (n > p.hi ? p.hi : n);
    }

    void tenths(char* out, int32_t n)
    {
        // The sign is written by hand so that -5 reads "-0.5", not "0.5".
        const int32_t a = n < 0 ? -n : n;
        std::snprintf(
            out, kParamTextSize, "%s%d.%d", n < 0 ? "-" : "", static_cast<int>(a / 10), static_cast<int>(a % 10));
    }

}  // namespace

float clampNormalised(float v)
{
    if (!(v >= 0.0f))
        return 0.0f;  // NaN lands here too
    return v > 1.0f ? 1.0f : v;
}

int32_t naturalFromNormalised(int32_t index, float v)
{
    if (!validParam(index))
        return 0;
    const ParamInfo& p = kInfo[index];
    const float product = p.k * clampNormalised(v);
    const float sum = product + p.b;
    return clampNatural(index, static_cast<int32_t>(std::floor(sum)));
}

float normalisedFromNatural(int32_t index, int32_t n)
{
    if (!validParam(index))
        return 0.0f;
    const ParamInfo& p = kInfo[index];
    n = clampNatural(index, n);
    if (p.text == Text::Switch)
        return static_cast<float>(n);
    return static_cast<float>(n - p.lo) / static_cast<float>(p.hi - p.lo);
}

int32_t naturalMin(int32_t index) { return validParam(index) ? kInfo[index].lo : 0; }
int32_t naturalMax(int32_t index) { return validParam(index) ? kInfo[index].hi : 0; }
float defaultNormalised(int32_t index) { return validParam(index) ? kInfo[index].defaultValue : 0.0f; }

void copyText(char* out, const char* text, std::size_t size)
{
    if (out == nullptr || size == 0)
        return;
    std::size_t i = 0;
    if (text != nullptr) {
        for (; i + 1 < size && text[i] != '\0'; ++i)
            out[i] = text[i];
    }
    out[i] = '\0';
}

void paramName(int32_t index, char* out)
{
    if (validParam(index))
        copyText(out, kInfo[index].name, kParamTextSize);
}

void paramLabel(int32_t index, char* out)
{
    if (validParam(index))
        copyText(out, kInfo[index].label, kParamTextSize);
}

void paramDisplay(int32_t index, int32_t n, char* out)
{
    if (!validParam(index) || out == nullptr)
        return;
    switch (kInfo[index].text) {
    case Text::Level:
        if (n <= kSilentLevel)
            copyText(out, "-Inf", kParamTextSize);
        else
            tenths(out, n);
        break;
    case Text::LowCut:
        if (n <= kLowCutOff)
            copyText(out, "OFF", kParamTextSize);
        else
            std::snprintf(out, kParamTextSize, "%d", static_cast<int>(n));
        break;
    case Text::Kilohertz:
        if (n < kFilterOff)
            tenths(out, n);
        else
            copyText(out, "OFF", kParamTextSize);
        break;
    case Text::Whole: std::snprintf(out, kParamTextSize, "%d", static_cast<int>(n)); break;
    case Text::Tenths: tenths(out, n); break;
    case Text::Switch: copyText(out, n != 0 ? "On" : "Off", kParamTextSize); break;
    }
}

}  // namespace plate
