// Renders a number of frames through the whole chain and prints the time per
// frame; tests/bench/instructions_per_frame.sh runs it under callgrind twice
// with different lengths and subtracts, which leaves the cost per frame alone.
// Usage: chain_frames heavy|empty FRAMES [BLOCK]; BLOCK (default 256, at most
// 1024) is the number of frames handed to the chain per call, so hosts at low
// latency can be measured too.
#include "tests/bench/chain_programs.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    chainbench::FrameRun run {};
    if (!chainbench::parseFrameRun(argc, argv, run))
        return 2;
    const long frames = run.frames;
    const int block = run.block;
    constexpr int kMaxBlock = chainbench::kMaxBlock;
    constexpr double kRate = 48000.0;
    const chainbench::Values& program = run.program;
    chainbench::Rig rig(program, kRate);
    // One second of input, played round and round: its making costs the same
    // in every run and drops out of the difference.
    const std::vector<float> in = chainbench::guitarLike(kRate, 48000);
    float l[kMaxBlock], r[kMaxBlock], ol[kMaxBlock], orr[kMaxBlock];
    float sink = 0.0f;
    long at = 0;
    const auto start = std::chrono::steady_clock::now();
    for (long done = 0; done < frames; done += block) {
        const int n = static_cast<int>(std::min<long>(block, frames - done));
        for (int k = 0; k < n; ++k) {
            l[k] = in[static_cast<size_t>(at)];
            r[k] = l[k];
            at = at + 1 == static_cast<long>(in.size()) ? 0 : at + 1;
        }
        rig.chain.process(l, r, ol, orr, n);
        sink += ol[0] + orr[n - 1];
    }
    const auto ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %ld frames in blocks of %d, %.1f ns per frame (checksum %g)\n", run.label, frames, block,
        frames ? ns / frames : 0.0, static_cast<double>(sink));
    return 0;
}
