// Voice allocation of the engine: polyphonic stealing with unison, detune and
// glide, and the mono/legato line.
#include <cmath>

#include "framework/engine/CSynthesizer.h"
#include "framework/engine/Random.h"

namespace {
bool glidesFromNearestHeld(uint8_t mode) { return mode == 1 || mode == 3; }

bool glideRateByDistance(uint8_t mode) { return mode == 2 || mode == 3; }
}

uint32_t CSynthesizer::nextVoiceAge()
{
    // The counter wraps instead of overflowing after 2^32 note starts.
    const uint32_t age = static_cast<uint32_t>(voiceAgeCounter);
    voiceAgeCounter = static_cast<int32_t>(age + 1u);
    return age;
}

int8_t CSynthesizer::nearestHeldNote(int32_t note) const
{
    for (int32_t distance = 1; distance < kKeys; ++distance) {
        const int32_t below = note - distance;
        const int32_t above = note + distance;
        if (below >= 0 && noteVelocities[below] != 0)
            return static_cast<int8_t>(below);
        if (above < kKeys && noteVelocities[above] != 0)
            return static_cast<int8_t>(above);
        if (below < 0 && above >= kKeys)
            break;
    }
    return -1;
}

double CSynthesizer::glideRateFor(int32_t note, double start) const
{
    if (glideRateByDistance(glideMode))
        return std::fabs(note - start) / (sampleRate * glideTime);
    return 12.0 / (sampleRate * glideTime);
}

CSynthVoice* CSynthesizer::pickVoice()
{
    CSynthVoice* released = nullptr;
    CSynthVoice* oldest = nullptr;
    int32_t index = 0;
    for (CSynthVoice* voice = voiceList; voice != nullptr && index < voiceCount; voice = voice->next, ++index) {
        if (voice->note < 0)
            return voice;
        if (voice->released && (released == nullptr || voice->age < released->age))
            released = voice;
        if (oldest == nullptr || voice->age < oldest->age)
            oldest = voice;
    }
    return released != nullptr ? released : oldest;
}

void CSynthesizer::playVoiceNote(int8_t note, int8_t velocity)
{
    if (note < 0)
        return;
    noteVelocities[note] = velocity > 0 ? static_cast<uint8_t>(velocity) : 0;
    if (voiceList == nullptr || voiceCount <= 0)
        return;
    if (monoMode) {
        playMonoNote(note, velocity);
        return;
    }

    if (velocity <= 0) {
        for (CSynthVoice* voice = voiceList; voice != nullptr; voice = voice->next) {
            if (voice->note == note) {
                voice->released = 1;
                voice->release();
            }
        }
        return;
    }

    const double detune = (nextRandom() - 1.0) * 2.0 * detuneAmount;
    int32_t source = note;
    if (glidesFromNearestHeld(glideMode)) {
        const int8_t nearest = nearestHeldNote(note);
        if (nearest >= 0)
            source = nearest;
    } else if (lastNote >= 0) {
        source = lastNote;
    }
    const double start = glideTime < 0.001 ? static_cast<double>(note) : static_cast<double>(source);
    const double gain = std::pow(velocity * 0.0078125, static_cast<double>(velocityCurve));

    for (int32_t u = 0; u < unisonCount; ++u) {
        CSynthVoice* voice = pickVoice();
        if (voice == nullptr)
            break;
        voice->age = nextVoiceAge();
        voice->note = note;
        voice->key = &keys[note];
        voice->unisonIndex = static_cast<uint8_t>(u);
        voice->detune = detune;
        voice->unisonCount = static_cast<uint8_t>(unisonCount);
        voice->velocityGain = gain;
        voice->glideStartPitch = start;
        voice->released = 0;
        voice->glideRate = glideRateFor(note, start);
        voice->start();
    }
    lastNote = note;
}

void CSynthesizer::playMonoNote(int8_t note, int8_t velocity)
{
    if (note < 0 || voiceList == nullptr)
        return;

    if (velocity > 0) {
        const double detune = (nextRandom() - 1.0) * 2.0 * detuneAmount;
        const bool firstIdle = voiceList->note < 0 || voiceList->released != 0;
        double start = lastNote >= 0 ? static_cast<double>(lastNote) : static_cast<double>(note);
        if (glideTime < 0.001 || (glidesFromNearestHeld(glideMode) && firstIdle))
            start = note;
        const double gain = std::pow(velocity * 0.0078125, static_cast<double>(velocityCurve));
        const int32_t count = unisonCount < voiceCount ? unisonCount : voiceCount;

        CSynthVoice* voice = voiceList;
        for (int32_t u = 0; u < count && voice != nullptr; ++u, voice = voice->next) {
            const bool idle = voice->note < 0 || voice->released != 0;
            voice->age = nextVoiceAge();
            voice->note = note;
            voice->key = &keys[note];
            voice->detune = detune;
            voice->unisonIndex = static_cast<uint8_t>(u);
            voice->unisonCount = static_cast<uint8_t>(unisonCount);
            voice->glideRate = glideRateFor(note, start);
            if (idle) {
                voice->velocityGain = gain;
                voice->glideStartPitch = start;
                voice->released = 0;
                voice->start();
            }
        }
        lastNote = note;
        return;
    }

    // A released key hands the line to the nearest key still held, if any.
    const int8_t target = nearestHeldNote(note);
    for (CSynthVoice* voice = voiceList; voice != nullptr; voice = voice->next) {
        if (voice->note != note)
            continue;
        if (target >= 0) {
            voice->age = nextVoiceAge();
            voice->note = target;
            voice->key = &keys[target];
            voice->glideRate = 12.0 / (sampleRate * glideTime);
            lastNote = target;
        } else {
            voice->released = 1;
            voice->release();
        }
    }
}
