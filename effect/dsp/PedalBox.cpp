#include "effect/dsp/PedalBox.h"

#include "effect/dsp/StoredValue.h"
#include "effect/pedals/CPedalFX.h"
#include "framework/engine/CProgram.h"

PedalBox::PedalBox()
{
    for (auto& k : knobs_)
        k.store(0.5f, std::memory_order_relaxed);
}

PedalBox::~PedalBox()
{
    if (pedal_ != nullptr)
        pedal_->destroy();
}

void PedalBox::requestType(float storedValue)
{
    // NaN asks for no change, like any negative value.
    pendingType_.store(truncateStored(storedValue, -1, kPedalTypeCount - 1, -1), std::memory_order_release);
    raiseRequest();
}

void PedalBox::setKnob(int knob, float value)
{
    if (knob < 0 || knob >= kKnobs)
        return;
    knobs_[knob].store(value, std::memory_order_relaxed);
    pendingKnobs_.fetch_or(1u << knob, std::memory_order_release);
    raiseRequest();
}

void PedalBox::setEnabled(float storedValue)
{
    bypass_.store(storedValue == 0.0f, std::memory_order_relaxed);
    resetRequest_.store(true, std::memory_order_release);
    raiseRequest();
}

void PedalBox::applyRequests(double rate, CProgram* program, int boxIndex)
{
    // Lowered before the requests are read: one stored after this point
    // raises it again and is taken at the next block.
    requested_.exchange(false, std::memory_order_acquire);
    if (pendingType_.load(std::memory_order_relaxed) >= 0)
        applyPendingType(rate, program, boxIndex);
    if (pendingKnobs_.load(std::memory_order_relaxed) != 0)
        applyPendingKnobs();
    running_ = nullptr;
    // Without a pedal a reset request waits for the next one; a pedal only
    // comes with a type request, which raises the flag again.
    if (pedal_ == nullptr)
        return;
    if (resetRequest_.load(std::memory_order_relaxed) && resetRequest_.exchange(false, std::memory_order_acquire))
        pedal_->reset();
    if (!bypass_.load(std::memory_order_relaxed))
        running_ = pedal_;
}

void PedalBox::applyPendingType(double rate, CProgram* program, int boxIndex)
{
    const int32_t pending = pendingType_.exchange(-1, std::memory_order_acquire);
    if (pending < 0 || pending == currentType_)
        return;
    CPedalFX* old = pedal_;
    currentType_ = pending;
    pedal_ = nullptr;
    if (old != nullptr)
        old->destroy();
    CPedalFX* built = createPedal(pending);
    if (built == nullptr)
        return;
    // The program already holds every knob value written so far; knob
    // requests from before this point are covered by reading it now.
    pendingKnobs_.exchange(0, std::memory_order_acquire);
    built->setSampleRate(rate);
    for (int j = 0; j < kKnobs; ++j) {
        const float v = program != nullptr ? program->getParameter(drive::knobIndex(boxIndex, j)) : 0.5f;
        built->setParameter(j, v);
    }
    built->reset();
    pedal_ = built;
}

void PedalBox::applyPendingKnobs()
{
    uint32_t mask = pendingKnobs_.exchange(0, std::memory_order_acquire);
    if (pedal_ == nullptr)
        return;
    for (int j = 0; mask != 0; ++j, mask >>= 1)
        if (mask & 1u)
            pedal_->setParameter(j, knobs_[j].load(std::memory_order_relaxed));
}

void PedalBox::setSampleRate(double rate)
{
    if (pedal_ != nullptr)
        pedal_->setSampleRate(rate);
}

void PedalBox::reset()
{
    if (pedal_ != nullptr)
        pedal_->reset();
}
