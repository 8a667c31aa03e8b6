#include "framework/engine/CPatternPlayer.h"

#include <algorithm>
#include <cmath>

#include "framework/engine/CSynthesizer.h"
#include "framework/engine/Random.h"

namespace {
// Absurd swing values can make the step lengths cancel out in floating point;
// bounding the catch-up keeps the audio thread from spinning.
constexpr int kMaxStepsPerAdvance = 4096;
}

CPatternPlayer::CPatternPlayer(CSynthesizer* engine_)
    : engine(engine_)
{
    for (int8_t& note : soundingNotes)
        note = -1;
    for (PatternStep& step : steps) {
        for (int slot = 0; slot < kSlots; ++slot) {
            step.notes[slot] = PatternStep::kRest;
            step.velocities[slot] = 1.0f;
        }
        step.key = nullptr;
    }
}

void CPatternPlayer::restart()
{
    phase = 0.0;
    position = -2;
    swingParity = 0;
    stepDue = 1;
    movingUp = 1;
    for (int8_t& note : soundingNotes)
        note = -1;
}

void CPatternPlayer::stop()
{
    if (stopped)
        return;
    stopped = 1;
    for (int8_t note : soundingNotes) {
        if (note >= 0 && engine != nullptr)
            engine->playVoiceNote(note, 0);
    }
    restart();
}

void CPatternPlayer::rebuildFromKeys(KeyRecord* keys)
{
    int32_t held[CSynthesizer::kKeys];
    int32_t count = 0;
    for (int32_t note = 0; note < CSynthesizer::kKeys; ++note) {
        if (keys[note].velocity != 0)
            held[count++] = note;
    }
    if (count == 0) {
        stop();
        return;
    }
    if (stopped) {
        stopped = 0;
        restart();
    }
    for (int32_t octave = 0; octave < octaves; ++octave) {
        for (int32_t n = 0; n < count; ++n) {
            PatternStep& step = steps[std::clamp(n + octave * count, 0, kMaxSteps - 1)];
            step.notes[0] = held[n] + 12 * octave;
            step.velocities[0] = keys[held[n]].velocity / 127.0f;
            step.key = &keys[held[n]];
        }
    }
    length = std::clamp(static_cast<int32_t>(octaves) * count, 1, kMaxSteps);
}

int32_t CPatternPlayer::fixPosition()
{
    switch (direction) {
    case Up:
        if (position < 0 || position >= length)
            position = 0;
        break;
    case Down:
        if (position < 0)
            position = length - 1;
        break;
    case UpDown:
        if (position < -1) {
            position = 0;
            movingUp = 1;
        } else if (position == -1) {
            position = 1;
            movingUp = 1;
        }
        if (position >= length) {
            movingUp = 0;
            position = length - 2;
        }
        position = std::clamp(position, 0, length - 1);
        break;
    default:  // random
        position = std::clamp(static_cast<int32_t>(std::floor(length * nextRandom())), 0, length - 1);
        break;
    }
    return std::clamp(position, 0, kMaxSteps - 1);
}

void CPatternPlayer::playStep()
{
    const PatternStep& step = steps[fixPosition()];
    for (int slot = 0; slot < kSlots; ++slot) {
        const int32_t raw = step.notes[slot];
        if (raw == PatternStep::kTie)
            continue;
        const int32_t n = std::min(raw, 127);
        const float scaled = velocityScale * step.velocities[slot] * 127.0f;
        const int32_t velocity = !(scaled >= 1.0f) ? 1 : (scaled >= 127.0f ? 127 : static_cast<int32_t>(scaled));

        if (soundingNotes[slot] >= 0)
            engine->playVoiceNote(soundingNotes[slot], 0);
        soundingNotes[slot] = static_cast<int8_t>(std::max(n, -1));
        if (n < 0)
            continue;
        engine->playVoiceNote(static_cast<int8_t>(n), static_cast<int8_t>(velocity));
        if (step.key != nullptr) {
            for (CSynthVoice* voice = engine->getFirstVoice(); voice != nullptr; voice = voice->next) {
                if (voice->note == n)
                    voice->key = step.key;
            }
        }
    }
    switch (direction) {
    case Up: ++position; break;
    case Down: --position; break;
    case UpDown: position += movingUp ? 1 : -1; break;
    default: break;
    }
}

void CPatternPlayer::advance(double sampleRate, double tempo, int32_t frames)
{
    if (stopped || engine == nullptr || length < 1)
        return;
    if (stepDue) {
        stepDue = 0;
        playStep();
    }
    const double increment = tempo / (rate * 15.0) / sampleRate * frames;
    if (!std::isfinite(increment))
        return;
    phase += increment;
    for (int i = 0; i < kMaxStepsPerAdvance; ++i) {
        const double stepLength = swingParity ? 1.0 - swing : 1.0 + swing;
        if (!(phase >= stepLength))
            break;
        phase -= stepLength;
        swingParity ^= 1;
        stepDue = 1;
    }
}
