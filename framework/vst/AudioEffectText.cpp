// Value-to-text helpers of AudioEffect. Nothing in the product shows these
// texts; they exist for effects that want the customary formats.

#include <cmath>
#include <cstdio>
#include <cstring>

#include "framework/vst/AudioEffect.h"
#include "framework/vst/VstText.h"

namespace {

void writeBounded(char* text, const char* src, VstInt32 maxLen)
{
    if (text && maxLen >= 0)
        vstCopyText(text, src, static_cast<std::size_t>(maxLen));
}

}  // namespace

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen)
{
    if (value <= 0.0f)
        writeBounded(text, "-oo", maxLen);
    else
        float2string(20.0f * std::log10(value), text, maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen)
{
    const float hz = samples == 0.0f ? 0.0f : sampleRate / samples;
    float2string(hz, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen)
{
    float2string(samples * 1000.0f / sampleRate, text, maxLen);
}

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen)
{
    if (!text || maxLen < 0)
        return;
    if (value > 99999999.0f || value < -9999999.0f) {
        writeBounded(text, "Huge!", maxLen);
        return;
    }
    // As many decimals as the room allows, at most six.
    char buffer[64];
    for (int decimals = 6; decimals >= 0; --decimals) {
        const int n = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, static_cast<double>(value));
        if (n >= 0 && n <= maxLen)
            break;
    }
    writeBounded(text, buffer, maxLen);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen)
{
    if (!text || maxLen < 0)
        return;
    if (value > 99999999) {
        writeBounded(text, "Huge!", maxLen);
        return;
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(value));
    writeBounded(text, buffer, maxLen);
}
