#include "tests/host_ardour/probe/RenderMeasure.h"
#include "tests/host_ardour/probe/WavFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using namespace ardourprobe;

namespace {

void put32(std::vector<uint8_t>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void put16(std::vector<uint8_t>& b, uint16_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

// A WAV file as Ardour writes its float renders: a "bext" chunk before the
// format, an extensible format record when asked, then the data.
std::vector<uint8_t> wavFile(const std::vector<std::vector<float>>& channels, bool extensible, bool oddChunk = true)
{
    std::vector<uint8_t> body;
    body.insert(body.end(), {'W', 'A', 'V', 'E'});
    if (oddChunk) {
        body.insert(body.end(), {'b', 'e', 'x', 't'});
        put32(body, 3);
        body.insert(body.end(), {1, 2, 3, 0});  // three bytes and the pad byte
    }
    body.insert(body.end(), {'f', 'm', 't', ' '});
    put32(body, extensible ? 40 : 16);
    put16(body, extensible ? 0xFFFE : 3);
    put16(body, static_cast<uint16_t>(channels.size()));
    put32(body, 48000);
    put32(body, static_cast<uint32_t>(48000 * 4 * channels.size()));
    put16(body, static_cast<uint16_t>(4 * channels.size()));
    put16(body, 32);
    if (extensible) {
        put16(body, 22);
        put16(body, 32);
        put32(body, 3);
        put16(body, 3);  // float sub-format
        for (int i = 0; i < 14; ++i)
            body.push_back(0);
    }
    body.insert(body.end(), {'d', 'a', 't', 'a'});
    const size_t frames = channels.front().size();
    put32(body, static_cast<uint32_t>(frames * channels.size() * 4));
    for (size_t i = 0; i < frames; ++i)
        for (const auto& c : channels) {
            uint32_t u;
            std::memcpy(&u, &c[i], 4);
            put32(body, u);
        }
    std::vector<uint8_t> file {'R', 'I', 'F', 'F'};
    put32(file, static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

std::vector<float> sine(float amplitude, int frames)
{
    std::vector<float> x(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        x[static_cast<size_t>(i)] = amplitude * static_cast<float>(std::sin(2.0 * M_PI * 440.0 * i / 48000.0));
    return x;
}

}  // namespace

TEST(ArdourRenderProbe, ReadsFloatRendersInBothFormatRecords)
{
    const std::vector<float> left = sine(0.5f, 4800), right = sine(0.25f, 4800);
    for (bool extensible : {false, true}) {
        WavData wav;
        std::string error;
        ASSERT_TRUE(parseWav(wavFile({left, right}, extensible), wav, error)) << error;
        EXPECT_TRUE(wav.isFloat);
        EXPECT_EQ(wav.channels, 2);
        EXPECT_EQ(wav.rate, 48000);
        ASSERT_EQ(wav.frames(), 4800);
        EXPECT_EQ(wav.samples[0], left);
        EXPECT_EQ(wav.samples[1], right);

        const RenderStats s = measureRender(wav);
        EXPECT_EQ(s.nonFinite, 0);
        EXPECT_NEAR(s.peakDb, 20.0 * std::log10(0.5), 0.01);
        // rms over both channels: sqrt((0.5^2 + 0.25^2) / 4)
        EXPECT_NEAR(s.rmsDb, 20.0 * std::log10(std::sqrt((0.25 + 0.0625) / 4.0)), 0.01);
    }
}

TEST(ArdourRenderProbe, BrokenFilesAreRefusedNotReadPastTheirEnd)
{
    const std::vector<uint8_t> good = wavFile({sine(0.5f, 100), sine(0.5f, 100)}, false);
    WavData wav;
    std::string error;
    for (size_t cut : {size_t(0), size_t(11), size_t(20), size_t(40)}) {
        const std::vector<uint8_t> part(good.begin(), good.begin() + static_cast<long>(cut));
        EXPECT_FALSE(parseWav(part, wav, error)) << cut;
    }
    std::vector<uint8_t> huge = good;
    huge[16] = 0xFF;  // the "bext" chunk claims more bytes than the file holds
    huge[17] = 0xFF;
    EXPECT_FALSE(parseWav(huge, wav, error));
    EXPECT_NE(error.find("past the end"), std::string::npos);
}

TEST(ArdourRenderProbe, CountsBrokenSamplesAndComparesRenders)
{
    std::vector<float> a = sine(0.5f, 48000), b = a;
    WavData wa, wb;
    std::string error;
    ASSERT_TRUE(parseWav(wavFile({a, a}, false), wa, error));
    ASSERT_TRUE(parseWav(wavFile({b, b}, false), wb, error));
    EXPECT_EQ(differenceDb(wa, wb), kSilenceDb);

    for (float& v : b)
        v *= 0.5f;  // half the level: the difference is half the reference, -6 dB
    ASSERT_TRUE(parseWav(wavFile({b, b}, false), wb, error));
    EXPECT_NEAR(differenceDb(wa, wb), -6.02, 0.01);

    // A change confined to the skipped start does not count.
    std::vector<float> c = a;
    c[10] = 1.0f;
    ASSERT_TRUE(parseWav(wavFile({c, c}, false), wb, error));
    EXPECT_GT(differenceDb(wa, wb), kSilenceDb);
    EXPECT_EQ(differenceDb(wa, wb, 100), kSilenceDb);

    c[20] = std::numeric_limits<float>::quiet_NaN();
    c[30] = std::numeric_limits<float>::infinity();
    ASSERT_TRUE(parseWav(wavFile({c, a}, false), wb, error));
    EXPECT_EQ(measureRender(wb).nonFinite, 2);
    EXPECT_EQ(differenceDb(wa, wb), -kSilenceDb) << "a broken render never passes as alike";
}
