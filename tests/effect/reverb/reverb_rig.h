#pragma once

#include <memory>
#include <vector>

#include "effect/reverb/vst/fxReverb.h"

// A plate reverb at a chosen rate, set up the way its pedal drives it
// (rate, suspend), with helpers to set natural values and render.
struct ReverbRig {
    explicit ReverbRig(float rate = 44100.0f);

    void set(int index, int natural) { reverb->setNaturalValue(index, natural); }
    // A test setup where nothing but the early reflections sounds: no input
    // filters, no diffusion, largest room, dry and tank muted.
    void earlyOnly();

    // Renders stereo input (right = left when `right` is empty), replacing.
    void render(std::vector<float>& left, std::vector<float>& right, int block = 256);
    // Renders the response to a unit impulse on both channels.
    void impulse(int frames, std::vector<float>& left, std::vector<float>& right);

    std::string display(int index);

    std::unique_ptr<fxReverb> reverb;
};

// Index of the first sample whose magnitude exceeds `threshold`, or -1.
int firstAbove(const std::vector<float>& x, float threshold);
