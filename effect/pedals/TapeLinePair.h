#pragma once

#include <memory>

#include "effect/pedals/CPedalFX.h"
#include "framework/dsp/CTapeDelay.h"

// The body the flanger and the delay share: two tape lines of one length, one
// per side, their write heads half a lap apart, each line's output added to
// its own channel.
class TapeLinePair : public CPedalFX {
public:
    void process(float* left, float* right, int frames) override;
    void reset() override;

    const CTapeDelay* line(int i) const { return lines_[i].get(); }

protected:
    TapeLinePair() = default;
    ~TapeLinePair() override = default;

    // Drops the old lines and builds two of `length` samples (start 0 and
    // 0.5); a line that finds no memory stays null and the pair stays silent.
    void rebuildLines(int length);

    // Applies f to each line that exists.
    template <class F> void forEachLine(F f)
    {
        for (auto& l : lines_)
            if (l)
                f(*l);
    }

    double sampleRate_ = 44100.0;

private:
    std::unique_ptr<CTapeDelay> lines_[2];
};
