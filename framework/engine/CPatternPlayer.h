#pragma once
#include <cstdint>

#include "framework/engine/CSynthVoice.h"

class CSynthesizer;

// One step of the pattern: up to eight notes sounding together.
struct PatternStep {
    static constexpr int32_t kRest = -1;
    static constexpr int32_t kTie = -2;
    int32_t notes[8];
    float velocities[8];
    KeyRecord* key = nullptr;
};

// Step sequencer that plays the held keys one after another, in sixteenth
// notes scaled by rate. Owned by the engine; runs on the thread that decodes
// MIDI and renders (the audio thread) and in the engine's reset.
class CPatternPlayer {
public:
    static constexpr int32_t kMaxSteps = 128;
    static constexpr int32_t kSlots = 8;

    enum Direction : uint8_t { Up = 0, Down = 1, UpDown = 2, Random = 3 };

    explicit CPatternPlayer(CSynthesizer* engine);

    // Rebuilds the steps from the sounding keys, in ascending note order,
    // repeated over the octaves; starts the player, or stops it when no key
    // sounds.
    void rebuildFromKeys(KeyRecord* keys);
    // Ends sounding notes and returns to the start state, stopped.
    void stop();
    // Advances by frames; a step that falls due sounds at the start of the next call.
    void advance(double sampleRate, double tempo, int32_t frames);

    bool isStopped() const { return stopped != 0; }

    CSynthesizer* engine;
    double rate = 1.0;
    int32_t length = 0;
    uint8_t direction = Up;
    float velocityScale = 1.0f;
    uint8_t octaves = 1;
    double swing = 0.0;
    uint8_t stopped = 1;
    double phase = 0.0;
    uint8_t swingParity = 0;
    uint8_t stepDue = 1;
    int32_t position = -2;
    uint8_t movingUp = 1;
    int8_t soundingNotes[kSlots];
    PatternStep steps[kMaxSteps];

private:
    void restart();
    void playStep();
    int32_t fixPosition();
};
