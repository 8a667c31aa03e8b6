#pragma once

#include <atomic>
#include <cstdint>

#include "effect/reverb/PlateReverb.h"
#include "effect/reverb/ReverbParameters.h"
#include "framework/dsp/Relaxed.h"

namespace plate {

// The one program of the reverb: 18 normalised values and a name.
struct ReverbProgram {
    static constexpr int kNameSize = 24;
    float values[kParamCount];
    char name[kNameSize];
};

// The plate reverb as a whole effect with one program and 18 parameters, free
// of any plug-in format: the reverb pedal drives it directly and fxReverb
// puts it behind AudioEffect. Parameter changes are stored and flagged; the
// coefficients follow at the start of the next processing call, never in the
// middle of a block.
class PlateEffect {
public:
    // Runs at 44100 Hz, suspended, on the default program.
    PlateEffect();
    ~PlateEffect();
    PlateEffect(const PlateEffect&) = delete;
    PlateEffect& operator=(const PlateEffect&) = delete;

    void suspend() { plate_.suspend(); }
    void resume() { stale_.store(true); }
    void setSampleRate(float rate) { plate_.setSampleRate(rate); }
    // Renders in place or apart; `accumulate` adds to the outputs instead of
    // replacing them. Null buffers or no frames do nothing.
    // In the header, so that a caller's checks and constant `accumulate`
    // meet the plate's own: hosts at low latency call every 16 frames.
    void process(
        const float* inLeft, const float* inRight, float* outLeft, float* outRight, int32_t frames, bool accumulate)
    {
        if (!inLeft || !inRight || !outLeft || !outRight || frames <= 0)
            return;
        // A plain load first: changes are rare, and the exchange is a locked
        // operation that every block would pay.
        if (stale_.load(std::memory_order_relaxed))
            takeChanges();
        plate_.process(inLeft, inRight, outLeft, outRight, frames, accumulate);
    }

    void setParameter(int32_t index, float value);
    float getParameter(int32_t index) const;
    // The inverse of setParameter: sets a parameter by its natural value.
    void setNaturalValue(int32_t index, int32_t natural);
    int32_t naturalValue(int32_t index) const;

    // Sets every parameter from the program record.
    void loadProgram();
    void setProgramName(const char* name);
    const char* programName() const;

    // Texts are at most kParamTextSize bytes, terminator included; an invalid
    // index leaves `text` as it is.
    void getParameterLabel(int32_t index, char* label) const;
    void getParameterDisplay(int32_t index, char* text) const;
    void getParameterName(int32_t index, char* text) const;

    const PlateReverb& plate() const { return plate_; }

private:
    void store(int32_t index, float normalised, int32_t natural);
    void takeChanges();

    tb::Relaxed<float> values_[kParamCount];
    tb::Relaxed<int32_t> natural_[kParamCount];
    std::atomic<bool> stale_ {true};
    ReverbProgram* program_ = nullptr;
    PlateReverb plate_;
};

}  // namespace plate
