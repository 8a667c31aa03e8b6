#pragma once

#include "effect/dsp/ParameterMap.h"
#include "framework/engine/CProgram.h"

#include <atomic>
#include <cstdint>

// The multi-effect's program: 50 stored values and a name. Values are stored
// unchanged (list positions for the model and the box types, fractions
// elsewhere). The audio thread reads knob values from here when it builds a
// pedal while other threads write, so every value is an atomic.
class CDriveProgram : public CProgram {
public:
    static constexpr int32_t kStoredCount = drive::kStoredCount;
    static constexpr int32_t kPublishedCount = drive::kPublishedCount;

    CDriveProgram();

    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;
    float getParameterDefault(int32_t index) override;
    void getParameterLabel(int32_t index, char* text) override;
    void getParameterDisplay(int32_t index, char* text) override;
    void getParameterName(int32_t index, char* text) override;
    void reset() override;
    // Hosts see the model's list position 0..5 as 0, 0.2 .. 1.0, every other
    // value as it is stored.
    float toHostValue(int32_t index, float stored) override;
    float fromHostValue(int32_t index, float value) override;

private:
    std::atomic<float> values_[kStoredCount];
};
