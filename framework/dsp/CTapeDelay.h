#pragma once

#include <cstdint>

#include "framework/dsp/Relaxed.h"

// A modulated delay line modelled on a tape loop of length 1.0. A write head
// moves along the loop at a variable speed and records (value, position)
// pairs; the read head sits where the write head was one lap earlier, so the
// delay is the time one lap takes (about 1 / speed samples). Changing the
// speed bends the pitch the way a tape machine does instead of clicking.
//
// Pedals own their lines and drive them by writing the five public settings
// below directly, from whichever thread turns the knob; everything else
// belongs to the audio thread, which calls process() and reset().
class CTapeDelay {
public:
    // length: the longest delay in samples (raised to at least 4).
    // start: where the write head stands after every reset, 0..1.
    CTapeDelay(int length, double start);
    virtual ~CTapeDelay();

    CTapeDelay(const CTapeDelay&) = delete;
    CTapeDelay& operator=(const CTapeDelay&) = delete;

    // One sample in, one sample out.
    float process(float x);
    // process() on each sample of a block (in and out may be the same);
    // the settings are read once for the block.
    void processBlock(const float* in, float* out, int frames);

    // Silences the tape; the output then fades in from 0 toward targetGain.
    void reset();

    // --- settings the pedals write ---------------------------------------
    tb::Relaxed<double> lfoIncrement;  // LFO phase advance per sample
    tb::Relaxed<double> targetSpeed;  // tape per sample; the speed glides toward it
    tb::Relaxed<float> feedback;  // share of the delayed signal recorded again
    tb::Relaxed<float> targetGain;  // the output gain glides toward it
    tb::Relaxed<float> lfoDepth;  // the LFO only ever speeds the tape up

    // --- read-only views, for tests and diagnostics ----------------------
    int length() const { return length_; }
    double minimumSpeed() const { return minimumSpeed_; }
    double speed() const { return speed_; }
    float outputGain() const { return outputGain_; }
    double writePosition() const { return writePosition_; }
    bool valid() const { return lapA_.values && lapB_.values; }

    // The bounds of the tape speed, in tape per sample.
    static constexpr double kMaximumSpeed = 0.2;

private:
    // One lap of tape. Entry e of the lap lives at index e + kFirst; the three
    // slots below it hold the last entries of the previous lap (positions
    // shifted down by 1.0) so the read head can interpolate across the seam,
    // and index count + kFirst holds the lap's closing entry.
    struct Lap {
        float* values = nullptr;
        double* positions = nullptr;
        int32_t count = 0;
        int32_t readIndex = 0;
        int32_t capacity = 0;

        bool allocate(int32_t size);
        void release();
        void clear();
    };
    static constexpr int32_t kFirst = 10;

    float readTape(double writePosition);
    // The settings as one block reads them.
    struct Settings {
        float depth;
        double increment;
        float feedback;
        float gain;
        double speed;
    };
    template <bool Settled, bool RunChecked> void run(const float* in, float* out, int frames, const Settings& s);
    template <bool Settled> void makeLfoRun(double depth, double increment, double speed);
    void endLap(float w);

    // The LFO does not depend on the signal: its factors (or, with the speed
    // settled, the tape steps) are made for a run of frames ahead, so blocks
    // of 16 frames pay the set-up of the loops that make them once per run.
    // A run serves only while the settings it was made with stand, and
    // lfoPhase_ always holds the phase of the next frame to be played.
    static constexpr int kLfoRun = 64;
    struct LfoRun {
        alignas(16) double phases[kLfoRun];  // the phase at each frame
        alignas(16) double steps[kLfoRun];  // the factor m, or the step v when settled
        double end = 0.0;  // the phase after the run
        int32_t at = 0;
        int32_t left = 0;  // frames not yet played; 0 = no run
        bool settled = false;
        uint64_t depth = 0, increment = 0, speed = 0;  // bits of the settings used
    };
    LfoRun lfo_;

    // The targets and LFO settings of the last settled block. While they
    // stand and nothing else moved the speed or the gain, the next block is
    // settled as well and the LFO run still fits it, so a block of 16 frames
    // need not work either out again. process() and reset() drop it.
    struct SettledKey {
        uint64_t increment = 0, speed = 0;
        uint32_t depth = 0, gain = 0;
        bool valid = false;
    };
    SettledKey settled_;

    Lap lapA_;
    Lap lapB_;
    Lap* writeLap_ = &lapA_;
    Lap* readLap_ = &lapB_;
    int32_t length_ = 4;
    double lfoPhase_ = 0.0;
    float outputGain_ = 0.0f;
    double speed_ = 0.0;
    double writePosition_ = 0.0;
    double startPosition_ = 0.0;
    double minimumSpeed_ = 0.25;
};
