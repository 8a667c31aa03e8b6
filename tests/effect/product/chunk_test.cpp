#include "tests/effect/product/product_rig.h"

#include "effect/product/CDriveProgram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using namespace producttest;

namespace {

struct ChunkEngine : ::testing::Test {
    DataRoot root;
    RecordingWrapper wrapper;
    CDrive engine {&wrapper};
};

}  // namespace

TEST_F(ChunkEngine, DefaultChunkHasMagicValuesAndPaddedName)
{
    EXPECT_EQ(engine.getProgramChunk(nullptr), 460);
    const std::vector<uint8_t> bytes = chunkOf(engine);
    EXPECT_EQ(bytes[0], '1');
    EXPECT_EQ(bytes[1], 'R');
    EXPECT_EQ(bytes[2], 'B');
    EXPECT_EQ(bytes[3], 'T');
    for (int i = 0; i < 50; ++i) {
        float v;
        std::memcpy(&v, &bytes[4 + 4 * i], 4);
        EXPECT_EQ(v, (i >= 39 && i <= 43) ? 1.0f : 0.5f) << i;
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[204])), "<noname>");
    for (int i = 204 + 8; i < 460; ++i)
        ASSERT_EQ(bytes[i], 0) << i;

    std::vector<uint8_t> bank(460, 0xEE);
    EXPECT_EQ(engine.getBankChunk(bank.data()), 460);
    EXPECT_EQ(bank, bytes);
}

TEST_F(ChunkEngine, RandomValuesSurviveARoundTrip)
{
    std::mt19937 random(3u);
    std::uniform_real_distribution<float> any(-2.0f, 12.0f);
    float values[50];
    for (float& v : values)
        v = any(random);
    const std::vector<uint8_t> in = makeChunk(values, "Round Trip");
    EXPECT_EQ(engine.setProgramChunk(in.data(), 460), 460);
    EXPECT_EQ(chunkOf(engine), in);
    EXPECT_STREQ(engine.getCurrentProgram()->name, "Round Trip");
    // The switch pushed every stored value to the host.
    ASSERT_EQ(wrapper.changes.size(), 50u);
    EXPECT_EQ(wrapper.changes[7].second, values[7]);
}

TEST_F(ChunkEngine, RefusedChunksChangeNothing)
{
    float values[50];
    defaultValues(values);
    values[0] = 0.9f;
    const std::vector<uint8_t> good = makeChunk(values, "Good");
    const std::vector<uint8_t> before = chunkOf(engine);

    std::vector<uint8_t> bigEndian = good;
    std::memcpy(bigEndian.data(), "TBR1", 4);
    std::vector<uint8_t> nan = good;
    const float bad = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(&nan[4 + 4 * 20], &bad, 4);
    std::vector<uint8_t> inf = good;
    const float huge = std::numeric_limits<float>::infinity();
    std::memcpy(&inf[4 + 4 * 49], &huge, 4);

    EXPECT_EQ(engine.setProgramChunk(nullptr, 460), 0);
    EXPECT_EQ(engine.setProgramChunk(good.data(), 0), 0);
    EXPECT_EQ(engine.setProgramChunk(good.data(), -460), 0);
    EXPECT_EQ(engine.setProgramChunk(good.data(), 3), 0);
    EXPECT_EQ(engine.setProgramChunk(nan.data(), 100), 0) << "value 20 is present";
    EXPECT_EQ(engine.setProgramChunk(bigEndian.data(), 460), 0);
    EXPECT_EQ(engine.setProgramChunk(nan.data(), 460), 0);
    EXPECT_EQ(engine.setBankChunk(inf.data(), 460), 0);
    EXPECT_EQ(chunkOf(engine), before);
    EXPECT_TRUE(wrapper.changes.empty());
}

TEST_F(ChunkEngine, ValuesOnlyChunkKeepsTheNameAndSelects)
{
    float values[50];
    defaultValues(values);
    values[12] = 0.25f;
    const std::vector<uint8_t> chunk = makeChunk(values, "Ignored");
    EXPECT_EQ(engine.setProgramChunk(chunk.data(), 204), 204);
    EXPECT_EQ(engine.getParameter(12), 0.25f);
    EXPECT_STREQ(engine.getCurrentProgram()->name, "<noname>");
    EXPECT_EQ(wrapper.changes.size(), 50u);
    EXPECT_EQ(engine.setProgramChunk(chunk.data(), 459), 204);
    EXPECT_EQ(engine.setProgramChunk(chunk.data(), 600), 460);
    EXPECT_STREQ(engine.getCurrentProgram()->name, "Ignored");
}

// Chunks of other versions may end early: the whole values present are set,
// without a switch and without the name.
TEST_F(ChunkEngine, ShortChunkSetsTheValuesPresentWithoutSelecting)
{
    float values[50];
    for (int i = 0; i < 50; ++i)
        values[i] = 0.01f * static_cast<float>(i);
    std::vector<uint8_t> chunk = makeChunk(values, "Short");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(&chunk[4 + 4 * 30], &nan, 4);
    EXPECT_EQ(engine.setProgramChunk(chunk.data(), 4), 4);
    EXPECT_EQ(engine.getParameter(0), 0.5f);
    EXPECT_EQ(engine.setProgramChunk(chunk.data(), 103), 100) << "a NaN beyond the end is not read";
    EXPECT_EQ(engine.getParameter(23), values[23]);
    EXPECT_EQ(engine.getParameter(24), 0.5f);
    EXPECT_STREQ(engine.getCurrentProgram()->name, "<noname>");
    EXPECT_TRUE(wrapper.changes.empty());
    EXPECT_EQ(engine.setProgramChunk(chunk.data(), 203), 0);
    EXPECT_EQ(engine.getParameter(24), 0.5f);
}

TEST_F(ChunkEngine, NameWithoutTerminatorIsCutTo255Characters)
{
    float values[50];
    defaultValues(values);
    std::vector<uint8_t> chunk = makeChunk(values, "");
    std::memset(&chunk[204], 'x', 256);
    EXPECT_EQ(engine.setProgramChunk(chunk.data(), 460), 460);
    EXPECT_EQ(std::strlen(engine.getCurrentProgram()->name), 255u);
    const std::vector<uint8_t> out = chunkOf(engine);
    EXPECT_EQ(out[204 + 254], 'x');
    EXPECT_EQ(out[204 + 255], 0);
}

TEST(ProgramChunkLayout, NameIsPaddedWithNulsAndCut)
{
    float values[50] = {};
    std::vector<uint8_t> out(460, 0xEE);
    const std::string longName(300, 'n');
    programchunk::write(values, longName.c_str(), out.data());
    EXPECT_EQ(out[204 + 254], 'n');
    EXPECT_EQ(out[459], 0);
    programchunk::write(values, "ab", out.data());
    for (int i = 206; i < 460; ++i)
        ASSERT_EQ(out[i], 0);
    const programchunk::Parsed p = programchunk::read(out.data(), 460);
    EXPECT_EQ(p.consumed, 460);
    EXPECT_STREQ(p.name, "ab");
}
