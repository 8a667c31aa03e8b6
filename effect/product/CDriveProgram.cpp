#include "effect/product/CDriveProgram.h"

#include "effect/dsp/ParameterMap.h"
#include "effect/dsp/StoredValue.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace drive;

namespace {

constexpr char kNoName[] = "<noname>";
constexpr const char* kModelNames[kModels + 1] = {"Off", "Model A", "Model B", "Model C", "Model D", "Model E"};

// The model's list position as the chain takes it (a stored 0.5 is off).
int modelPosition(float stored) { return truncateStored(stored, 0, kModels, 0); }

void writeText(char* text, const char* format, int a = 0, int b = 0)
{
    if (text != nullptr)
        std::snprintf(text, kParameterTextCapacity, format, a, b);
}

}  // namespace

CDriveProgram::CDriveProgram()
{
    for (auto& v : values_)
        v.store(0.0f, std::memory_order_relaxed);
    reset();
}

void CDriveProgram::setParameter(int32_t index, float value)
{
    if (index >= 0 && index < kStoredCount)
        values_[index].store(value, std::memory_order_relaxed);
}

float CDriveProgram::getParameter(int32_t index)
{
    return (index >= 0 && index < kStoredCount) ? values_[index].load(std::memory_order_relaxed) : 0.0f;
}

float CDriveProgram::getParameterDefault(int32_t index)
{
    return (index >= kFirstEnable && index <= kLastEnable) ? 1.0f : 0.5f;
}

void CDriveProgram::getParameterLabel(int32_t index, char* text) { writeText(text, index == kModel ? "" : "%%"); }

void CDriveProgram::getParameterDisplay(int32_t index, char* text)
{
    if (index == kModel) {
        if (text != nullptr)
            std::snprintf(text, kParameterTextCapacity, "%s", kModelNames[modelPosition(getParameter(index))]);
        return;
    }
    // The product is rounded to float before it is truncated: 0.29 shows as
    // "29" (in double it would be 28.99999 and show as "28").
    const float scaled = getParameter(index) * 100.0f;
    writeText(text, "%d", truncateStored(scaled, 0, 100, 0));
}

void CDriveProgram::getParameterName(int32_t index, char* text)
{
    if (index == 0)
        writeText(text, "Master IN Lvl");
    else if (index == 1)
        writeText(text, "Master OUT Lvl");
    else if (index == 2)
        writeText(text, "EQ Enable");
    else if (index == 11)
        writeText(text, "Amp Model");
    else if (index >= 3 && index <= 10)
        writeText(text, "EQ Band %d", index - 2);
    else if (index >= kFirstKnob && index <= kLastKnob)
        writeText(
            text, "Box%d - Param %d", (index - kFirstKnob) / kKnobsPerBox + 1, (index - kFirstKnob) % kKnobsPerBox + 1);
    else if (index >= kFirstEnable && index <= kLastEnable)
        writeText(text, "Box %d Enable", index - kFirstEnable + 1);
    else
        writeText(text, "unknown");
}

void CDriveProgram::reset()
{
    for (int32_t i = 0; i < kStoredCount; ++i)
        setParameter(i, getParameterDefault(i));
    std::snprintf(name, sizeof name, "%s", kNoName);
}

float CDriveProgram::toHostValue(int32_t index, float stored)
{
    if (index != kModel)
        return stored;
    return static_cast<float>(modelPosition(stored)) / static_cast<float>(kModels);
}

float CDriveProgram::fromHostValue(int32_t index, float value)
{
    if (index != kModel)
        return value;
    // A value that is not finite is off, so every write selects a model.
    if (!std::isfinite(value))
        return 0.0f;
    return std::round(std::clamp(value, 0.0f, 1.0f) * static_cast<float>(kModels));
}
