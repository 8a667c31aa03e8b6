#pragma once

#include <bit>
#include <cstddef>
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
    // processBlock() on input that has been through tb::flush() already, so
    // lines fed one signal can share the flush and read it where it lies.
    void processFlushedBlock(const float* in, float* out, int frames);
    // processBlock() adding the output to what out holds (out[k] becomes
    // output + out[k]), which spares a pedal that mixes the line into its
    // input a pass of its own; in and out may be the same.
    void processBlockAdding(const float* in, float* out, int frames);

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
    double writePosition() const { return heads_.position; }
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
    // How a block takes its input and gives its output: processBlock(),
    // processFlushedBlock() and processBlockAdding().
    enum class Feed { Raw, Flushed, Adding };
    template <Feed F> void processAny(const float* in, float* out, int frames);
    template <Feed F> void processUnsettled(const float* in, float* out, int frames);
    // A block of at most one LFO run whose settings match the settled key.
    template <Feed F> void playSettled(const float* in, float* out, int frames);
    template <bool Settled, bool RunChecked, Feed F>
    void run(const float* in, float* out, int frames, const Settings& s);
    template <bool Settled> void makeLfoRun(double depth, double increment, double speed);
    void dropLfoRun();
    void endLap(float w);

    // The lap being read and the one being written, where the heads stand
    // on them and how far the write head may go. A block takes them into
    // locals: stores into the laps could alias the members, which would
    // reload and store them on every sample.
    // The arrays are taken at the laps' entry 0 (index kFirst), and the
    // counts are as wide as a pointer, so the loops index them as they are.
    struct Heads {
        float* readValues;
        double* readPositions;
        std::ptrdiff_t readCount;
        std::ptrdiff_t readIndex;
        float* writeValues;
        double* writePositions;
        std::ptrdiff_t writeCount;
        std::ptrdiff_t writeLimit;
        double position;
    };
    Heads loadHeads() const;
    void storeHeads(const Heads& h);
    // endLap() from inside a block; out of line, so the loop need not keep
    // the line's state at hand for it.
    [[gnu::noinline]] Heads turnLap(double position, std::ptrdiff_t writeCount, std::ptrdiff_t readIndex, float w);
    // The speed and gain glides and their targets, in locals likewise.
    struct Glides {
        double speed;
        float gain;
        float gainTarget;
        double speedTarget;
        double minimum;
    };
    // At most kLfoRun frames, which a lap's buffer always has room for
    // after the lap ends.
    template <bool Settled, bool Adding>
    void play(Heads& h, Glides& g, const float* in, float* out, int frames, const double* steps, float feedbackShare);
    template <bool Settled, bool Adding, bool Watchful>
    void playFrames(
        Heads& h, Glides& g, const float* in, float* out, int frames, const double* steps, float feedbackShare);

    // The LFO does not depend on the signal: its factors (or, with the speed
    // settled, the tape steps) are made for a run of frames ahead, so blocks
    // of 16 frames pay the set-up of the loops that make them once per run.
    // A run serves only while the settings it was made with stand. Played
    // out or dropped, it leaves the phase of the next frame in
    // phases[kLfoRun], so phases[at] is always that phase.
    static constexpr int kLfoRun = 64;
    struct LfoRun {
        alignas(16) double phases[kLfoRun + 1];  // the phase at each frame
        alignas(16) double steps[kLfoRun];  // the factor m, or the step v when settled
        int32_t at = kLfoRun;  // the next frame; kLfoRun = no run
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
    Heads heads_ {};
    int32_t length_ = 4;
    float outputGain_ = 0.0f;
    double speed_ = 0.0;
    double startPosition_ = 0.0;
    double minimumSpeed_ = 0.25;
};
