#pragma once

#include "effect/dsp/ParameterMap.h"
#include "effect/pedals/CPedalFX.h"
#include "effect/pedals/PedalFactory.h"

#include <atomic>
#include <cstdint>

class CProgram;

// One of the chain's five effect boxes. Its pedal belongs to the audio thread:
// other threads only leave requests here (a pending type, knob values with a
// pending-knob mask, the enable state and a reset request), and the audio
// thread carries them out at the start of a block.
class PedalBox {
public:
    static constexpr int kKnobs = drive::kKnobsPerBox;

    PedalBox();
    ~PedalBox();
    PedalBox(const PedalBox&) = delete;
    PedalBox& operator=(const PedalBox&) = delete;

    // --- any thread ---
    // A stored type value: truncated, below 0 means "no change", 11 and above 10.
    void requestType(float storedValue);
    void setKnob(int knob, float value);
    // Every write requests a reset of the pedal, even when the state stays.
    void setEnabled(float storedValue);

    // --- audio thread ---
    // Whether a request waits: one plain load for all of them.
    bool hasRequests() const { return requested_.load(std::memory_order_relaxed); }
    // Carries out the waiting requests: a pending type change (building the
    // pedal from the program's knob values of this box), pending knobs, a
    // reset request and the enable state.
    void applyRequests(double rate, CProgram* program, int boxIndex);
    // The pedal to run in place, null when there is none or the box is
    // bypassed; it changes only in applyRequests().
    CPedalFX* running() const { return running_; }

    // --- under the engine's handshake (no block renders) ---
    void setSampleRate(double rate);
    void reset();

    CPedalFX* pedal() const { return pedal_; }
    int32_t currentType() const { return currentType_; }
    int32_t pendingType() const { return pendingType_.load(std::memory_order_relaxed); }
    bool bypassed() const { return bypass_.load(std::memory_order_relaxed); }

private:
    void applyPendingType(double rate, CProgram* program, int boxIndex);
    void applyPendingKnobs();
    // Raised after every request, so the audio thread looks at one flag
    // instead of each request's own atomic.
    void raiseRequest() { requested_.store(true, std::memory_order_release); }

    CPedalFX* pedal_ = nullptr;
    CPedalFX* running_ = nullptr;
    int32_t currentType_ = kPedalNone;
    std::atomic<bool> requested_ {false};
    std::atomic<int32_t> pendingType_ {-1};
    std::atomic<bool> bypass_ {false};
    std::atomic<bool> resetRequest_ {false};
    std::atomic<float> knobs_[kKnobs];
    std::atomic<uint32_t> pendingKnobs_ {0};
};
