#pragma once
// Programs and a driver for rendering the whole signal chain, shared by the
// golden-render test and the instructions-per-frame benchmark.

#include "effect/dsp/CDriveEffect.h"
#include "effect/product/CDriveProgram.h"
#include "tests/support/SignalGenerators.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace chainbench {

// The 50 stored values of a program; starts at the program's defaults.
struct Values {
    std::string name;
    float v[50];
};

inline Values defaults(const std::string& name)
{
    CDriveProgram p;
    Values out {name, {}};
    for (int i = 0; i < 50; ++i)
        out.v[i] = p.getParameter(i);
    return out;
}

// Distortion, chorus, phaser, delay and reverb, amp model 3, every band moved.
inline Values heavyChain()
{
    Values h = defaults("heavy chain");
    const float types[5] = {1, 2, 4, 6, 5};
    const float knobs[5][5] = {{0.7f, 0.2f, 0.3f, 0.6f, 0.5f}, {0.5f, 0.3f, 0.6f, 0.5f, 0.5f},
        {0.4f, 0.3f, 0.7f, 0.8f, 0.5f}, {0.4f, 0.5f, 0.4f, 0.5f, 0.5f}, {0.8f, 0.4f, 0.5f, 0.5f, 0.5f}};
    for (int b = 0; b < 5; ++b) {
        h.v[45 + b] = types[b];
        for (int j = 0; j < 5; ++j)
            h.v[13 + 5 * b + j] = knobs[b][j];
    }
    h.v[11] = 3.0f;
    for (int band = 0; band < 8; ++band)
        h.v[3 + band] = band % 2 ? 0.62f : 0.41f;
    return h;
}

// Each pedal alone, each amp model alone, the equaliser flat and moved, the
// heavy chain.
inline std::vector<Values> benchmarkPrograms()
{
    std::vector<Values> all;
    all.push_back(defaults("empty, eq flat"));
    Values moved = defaults("eq moved");
    for (int band = 0; band < 8; ++band)
        moved.v[3 + band] = band % 2 ? 0.62f : 0.41f;
    all.push_back(moved);
    for (int type = 1; type <= 10; ++type) {
        Values p = defaults("pedal " + std::to_string(type));
        p.v[45] = static_cast<float>(type);
        p.v[13] = 0.7f;
        p.v[14] = 0.4f;
        all.push_back(p);
    }
    // The distortion's comb shorter than its eight oversampled steps, so a
    // frame reads what it wrote; hard drive.
    Values comb = defaults("distortion short comb");
    comb.v[45] = 1.0f;
    comb.v[13] = 0.9f;
    comb.v[14] = 0.05f;
    all.push_back(comb);
    for (int model = 1; model <= 5; ++model) {
        Values p = defaults("model " + std::to_string(model));
        p.v[11] = static_cast<float>(model);
        all.push_back(p);
    }
    all.push_back(heavyChain());
    return all;
}

// A plucked-string stand-in: decaying harmonics over a little noise.
inline std::vector<float> guitarLike(double rate, int frames)
{
    std::vector<float> x = tbtest::makeSine(110.0, rate, frames, 0.3f);
    const std::vector<float> h2 = tbtest::makeSine(220.0, rate, frames, 0.15f);
    const std::vector<float> h3 = tbtest::makeSine(330.0, rate, frames, 0.08f);
    const std::vector<float> n = tbtest::makeNoise(frames, 9u, 0.01f);
    for (int k = 0; k < frames; ++k)
        x[k] += h2[k] + h3[k] + n[k];
    return x;
}

// The chain loaded with a program the way the engine loads one.
struct Rig {
    CDriveProgram program;
    CDriveEffect chain;

    Rig(const Values& values, double rate)
    {
        for (int i = 0; i < 50; ++i)
            program.setParameter(i, values.v[i]);
        chain.setProgram(&program);
        chain.setSampleRate(rate);
        for (int i = 0; i < 50; ++i)
            chain.setEffectParameter(i, program.getParameter(i));
    }

    // Renders the mono input on both channels in blocks of `block` frames.
    void render(const std::vector<float>& in, int block, std::vector<float>& outL, std::vector<float>& outR)
    {
        const int frames = static_cast<int>(in.size());
        outL.assign(frames, 0.0f);
        outR.assign(frames, 0.0f);
        std::vector<float> l(block), r(block);
        for (int at = 0; at < frames; at += block) {
            const int n = std::min(block, frames - at);
            std::copy(in.begin() + at, in.begin() + at + n, l.begin());
            std::copy(in.begin() + at, in.begin() + at + n, r.begin());
            chain.process(l.data(), r.data(), outL.data() + at, outR.data() + at, n);
        }
    }
};

// The command line of the per-frame drivers: heavy|empty FRAMES [BLOCK], where
// BLOCK (default 256, at most kMaxBlock) is the number of frames per call.
constexpr int kMaxBlock = 1024;
struct FrameRun {
    const char* label;
    Values program;
    long frames;
    int block;
};

// False, with the usage on standard error, when the line is not one.
inline bool parseFrameRun(int argc, char** argv, FrameRun& run)
{
    run.block = argc == 4 ? std::atoi(argv[3]) : 256;
    if ((argc != 3 && argc != 4) || (std::strcmp(argv[1], "heavy") != 0 && std::strcmp(argv[1], "empty") != 0)
        || run.block < 1 || run.block > kMaxBlock) {
        std::fprintf(stderr, "usage: %s heavy|empty FRAMES [BLOCK 1..%d]\n", argv[0], kMaxBlock);
        return false;
    }
    run.label = argv[1];
    run.frames = std::atol(argv[2]);
    run.program = std::strcmp(argv[1], "heavy") == 0 ? heavyChain() : defaults("empty");
    return true;
}

}  // namespace chainbench
