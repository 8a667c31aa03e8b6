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
// thread carries them out at the box's turn in the chain.
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
    // Applies a pending type change (building the pedal from the program's
    // knob values of this box), pending knobs and a reset request, then runs
    // the pedal in place unless bypassed.
    void run(float* left, float* right, int frames, double rate, CProgram* program, int boxIndex);

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

    CPedalFX* pedal_ = nullptr;
    int32_t currentType_ = kPedalNone;
    std::atomic<int32_t> pendingType_ {-1};
    std::atomic<bool> bypass_ {false};
    std::atomic<bool> resetRequest_ {false};
    std::atomic<float> knobs_[kKnobs];
    std::atomic<uint32_t> pendingKnobs_ {0};
};

// Inline: the chain runs five boxes per block, and a call apiece is a fair
// share of a 16-frame block when nothing is asked for.
inline void PedalBox::run(float* left, float* right, int frames, double rate, CProgram* program, int boxIndex)
{
    // Requests are rare: a plain load finds that none is waiting, where an
    // exchange would be a locked operation and a call on every block. A
    // request stored after the load is taken at the next block, as one
    // stored after the exchange would be.
    if (pendingType_.load(std::memory_order_relaxed) >= 0)
        applyPendingType(rate, program, boxIndex);
    if (pendingKnobs_.load(std::memory_order_relaxed) != 0)
        applyPendingKnobs();
    if (pedal_ == nullptr)
        return;
    if (resetRequest_.load(std::memory_order_relaxed) && resetRequest_.exchange(false, std::memory_order_acquire))
        pedal_->reset();
    if (!bypass_.load(std::memory_order_relaxed))
        pedal_->process(left, right, frames);
}
