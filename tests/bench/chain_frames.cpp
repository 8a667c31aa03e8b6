// Renders a number of frames through the whole chain and prints the time per
// frame; tests/bench/instructions_per_frame.sh runs it under callgrind twice
// with different lengths and subtracts, which leaves the cost per frame alone.
// Usage: chain_frames heavy|empty FRAMES
#include "tests/bench/chain_programs.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[1], "heavy") != 0 && std::strcmp(argv[1], "empty") != 0)) {
        std::fprintf(stderr, "usage: %s heavy|empty FRAMES\n", argv[0]);
        return 2;
    }
    const long frames = std::atol(argv[2]);
    constexpr double kRate = 48000.0;
    constexpr int kBlock = 256;
    const chainbench::Values program
        = std::strcmp(argv[1], "heavy") == 0 ? chainbench::heavyChain() : chainbench::defaults("empty");
    chainbench::Rig rig(program, kRate);
    // One second of input, played round and round: its making costs the same
    // in every run and drops out of the difference.
    const std::vector<float> in = chainbench::guitarLike(kRate, 48000);
    float l[kBlock], r[kBlock], ol[kBlock], orr[kBlock];
    float sink = 0.0f;
    long at = 0;
    const auto start = std::chrono::steady_clock::now();
    for (long done = 0; done < frames; done += kBlock) {
        const int n = static_cast<int>(std::min<long>(kBlock, frames - done));
        for (int k = 0; k < n; ++k) {
            l[k] = in[static_cast<size_t>(at)];
            r[k] = l[k];
            at = at + 1 == static_cast<long>(in.size()) ? 0 : at + 1;
        }
        rig.chain.process(l, r, ol, orr, n);
        sink += ol[0] + orr[n - 1];
    }
    const auto ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %ld frames, %.1f ns per frame (checksum %g)\n", argv[1], frames, frames ? ns / frames : 0.0,
        static_cast<double>(sink));
    return 0;
}
