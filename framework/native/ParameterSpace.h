#pragma once
// The parameter numbering the native host sees: the plug-in's own published
// parameters first, then MIDI controllers 0..127, then channel aftertouch.
// Values cross the protocol as whole numbers 0..256 for 0.0..1.0.
#include <cmath>
#include <cstdint>

class ParameterSpace {
public:
    static constexpr int32_t kControllers = 128;
    static constexpr int32_t kExtra = kControllers + 1;  // controllers and aftertouch
    static constexpr int32_t kAftertouch = kControllers;  // controller slot of aftertouch
    static constexpr int32_t kScale = 256;

    explicit ParameterSpace(int32_t published)
        : own_(published > 0 ? published : 0)
    {
    }

    int32_t ownCount() const { return own_; }
    int32_t size() const { return own_ + kExtra; }
    bool contains(int32_t index) const { return index >= 0 && index < size(); }
    bool isOwn(int32_t index) const { return index >= 0 && index < own_; }
    // Controller slot (0..128) of an index past the own parameters.
    int32_t controllerSlot(int32_t index) const { return index - own_; }

    // trunc(fraction x 256). Drop-down parameters hold item indices, so the
    // result may exceed 256; a value that is not finite reads as 0.
    static int32_t toProtocol(double fraction)
    {
        const double scaled = fraction * kScale;
        if (!(scaled > -2147483648.0 && scaled < 2147483647.0))
            return 0;
        return static_cast<int32_t>(scaled);
    }
    // value / 256, clamped to 0..1.
    static float fromProtocol(int32_t value)
    {
        const float f = static_cast<float>(value) / static_cast<float>(kScale);
        return f < 0.0f ? 0.0f : (f > 1.0f ? 1.0f : f);
    }
    // A value on the 16-bit scale brought down to 0..256: trunc(value x 256)
    // shifted right by 16, in 64 bits so that no large value overflows.
    static int32_t reduceWide(int32_t value)
    {
        return static_cast<int32_t>((static_cast<int64_t>(value) * kScale) >> 16);
    }

private:
    int32_t own_;
};
