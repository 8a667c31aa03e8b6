// Golden renders: every factory program and the benchmark programs at three
// rates and four block sizes, checked bit for bit against checksums recorded
// before any optimisation of the signal path. An optimisation that changes one
// output bit fails here. TB_GOLDEN_WRITE=<file> writes the table anew instead.
#include "effect/product/ProgramChunk.h"
#include "tests/bench/chain_programs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Golden {
    const char* program;
    int rate;
    int block;
    uint64_t hash;
};

const Golden kGolden[] = {
#include "tests/effect/product/golden_renders.inc"
};

constexpr int kFrames = 16384;
constexpr int kRates[] = {44100, 48000, 96000};
constexpr int kBlocks[] = {1, 64, 256, 1000};

uint64_t fnv1a(const std::vector<float>& x, uint64_t h)
{
    for (float f : x) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        for (int i = 0; i < 4; ++i) {
            h ^= (bits >> (8 * i)) & 0xffu;
            h *= 0x100000001b3ull;
        }
    }
    return h;
}

std::vector<chainbench::Values> factoryPrograms()
{
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(std::string(TB_MODULE_DIR) + "/Presets"))
        if (e.path().extension() == ".tbprg")
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    std::vector<chainbench::Values> out;
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const programchunk::Parsed p = programchunk::read(bytes.data(), static_cast<int64_t>(bytes.size()));
        EXPECT_NE(p.consumed, 0) << f;
        chainbench::Values v {"factory " + f.stem().string(), {}};
        std::copy(std::begin(p.values), std::end(p.values), v.v);
        out.push_back(v);
    }
    return out;
}

}  // namespace

TEST(GoldenRender, EveryProgramRateAndBlockSizeRendersTheRecordedBits)
{
    std::vector<chainbench::Values> programs = factoryPrograms();
    ASSERT_GE(programs.size(), 9u) << "the factory programs are missing from " << TB_MODULE_DIR;
    for (const chainbench::Values& b : chainbench::benchmarkPrograms())
        programs.push_back(b);

    const char* writeTo = std::getenv("TB_GOLDEN_WRITE");
    std::string table;
    int checked = 0;
    for (const chainbench::Values& program : programs) {
        for (int rate : kRates) {
            const std::vector<float> in = chainbench::guitarLike(rate, kFrames);
            for (int block : kBlocks) {
                chainbench::Rig rig(program, rate);
                std::vector<float> l, r;
                rig.render(in, block, l, r);
                const uint64_t hash = fnv1a(r, fnv1a(l, 0xcbf29ce484222325ull));
                char line[160];
                std::snprintf(line, sizeof line, "{\"%s\", %d, %d, 0x%016llxull},\n", program.name.c_str(), rate, block,
                    static_cast<unsigned long long>(hash));
                table += line;
                if (writeTo)
                    continue;
                const Golden* g = std::find_if(std::begin(kGolden), std::end(kGolden),
                    [&](const Golden& k) { return program.name == k.program && k.rate == rate && k.block == block; });
                ASSERT_NE(g, std::end(kGolden)) << "no recorded render for " << line;
                EXPECT_EQ(hash, g->hash) << program.name << " at " << rate << " Hz in blocks of " << block
                                         << " no longer renders the recorded bits";
                ++checked;
            }
        }
    }
    if (writeTo) {
        std::ofstream(writeTo) << table;
        GTEST_SKIP() << "wrote " << writeTo;
    }
    EXPECT_EQ(checked, static_cast<int>(std::size(kGolden)));
}

// The recorded block sizes are all one frame or multiples of four; the four-
// frame paths of the stages must hand their states over to the odd frames
// at the end of a block and back without a seam.
TEST(GoldenRender, BlocksOfEveryLengthRenderTheBitsOfEvenBlocks)
{
    const std::vector<float> in = chainbench::guitarLike(44100, kFrames);
    chainbench::Rig even(chainbench::heavyChain(), 44100);
    std::vector<float> wantL, wantR;
    even.render(in, 64, wantL, wantR);

    chainbench::Rig odd(chainbench::heavyChain(), 44100);
    std::vector<float> l(in), r(in), outL(kFrames), outR(kFrames);
    for (int at = 0, n = 1; at < kFrames; at += n, n = n % 7 + 1) {
        n = std::min(n, kFrames - at);
        odd.chain.process(l.data() + at, r.data() + at, outL.data() + at, outR.data() + at, n);
    }
    EXPECT_EQ(outL, wantL);
    EXPECT_EQ(outR, wantR);
}
