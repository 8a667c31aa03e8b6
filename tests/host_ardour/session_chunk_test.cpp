#include "tests/host_ardour/probe/SessionChunk.h"

#include "effect/product/ProgramChunk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ardourprobe;

namespace {

const int32_t kId = static_cast<int32_t>(programchunk::kMagic);

std::string sessionWith(const std::string& chunkText, const std::string& more = "")
{
    return "<Session>\n<Routes>\n"
           "<Processor id=\"9\" name=\"Other\" type=\"lxvst\" unique-id=\"42\">\n"
           "<lxvst><chunk program=\"0\">AAAA</chunk></lxvst>\n</Processor>\n"
        + more + "<Processor id=\"10\" name=\"Tambrell\" type=\"lxvst\" unique-id=\"" + std::to_string(kId)
        + "\" count=\"1\">\n<lxvst last-preset-uri=\"\">\n<chunk program=\"0\">" + chunkText
        + "</chunk>\n</lxvst>\n</Processor>\n</Routes>\n</Session>\n";
}

}  // namespace

TEST(ArdourSessionChunk, Base64RoundTripsEveryLengthAndRejectsBrokenText)
{
    std::vector<uint8_t> bytes;
    for (int n = 0; n < 300; ++n) {
        const std::string text = base64Encode(bytes);
        EXPECT_EQ(text.size() % 4, 0u);
        std::vector<uint8_t> back;
        ASSERT_TRUE(base64Decode(text, back)) << n;
        EXPECT_EQ(back, bytes) << n;
        bytes.push_back(static_cast<uint8_t>(n * 37 + 11));
    }
    std::vector<uint8_t> out;
    EXPECT_TRUE(base64Decode("TWFu\n TQ==\r\n", out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "ManM");
    EXPECT_FALSE(base64Decode("TWF", out));  // not a whole group
    EXPECT_FALSE(base64Decode("TW*u", out));  // outside the alphabet
    EXPECT_FALSE(base64Decode("TQ==TWFu", out));  // text after the padding
}

TEST(ArdourSessionChunk, FindsAndRewritesOnlyTheTambrellChunk)
{
    std::vector<uint8_t> chunk(programchunk::kSize);
    float values[programchunk::kValueCount] = {};
    values[45] = 3.0f;
    programchunk::write(values, "Stored", chunk.data());
    std::string session = sessionWith(base64Encode(chunk));

    std::vector<uint8_t> read;
    std::string error;
    ASSERT_TRUE(readSessionChunk(session, kId, read, error)) << error;
    EXPECT_EQ(read, chunk);

    values[45] = 1.0f;
    programchunk::write(values, "Edited", chunk.data());
    ASSERT_TRUE(replaceSessionChunk(session, kId, chunk, error)) << error;
    ASSERT_TRUE(readSessionChunk(session, kId, read, error)) << error;
    EXPECT_EQ(read, chunk);
    // The other plug-in's chunk and the surrounding text stay as they were.
    EXPECT_NE(session.find("unique-id=\"42\">\n<lxvst><chunk program=\"0\">AAAA</chunk>"), std::string::npos);
    EXPECT_NE(session.find("</chunk>\n</lxvst>\n</Processor>\n</Routes>"), std::string::npos);
}

TEST(ArdourSessionChunk, MissingDuplicateOrBrokenChunksAreReported)
{
    std::vector<uint8_t> read;
    std::string error;
    EXPECT_FALSE(readSessionChunk("<Session/>", kId, read, error));
    EXPECT_FALSE(error.empty());

    const std::string twice = sessionWith(
        "AAAA", "<Processor id=\"11\" type=\"lxvst\" unique-id=\"" + std::to_string(kId) + "\">\n</Processor>\n");
    EXPECT_FALSE(readSessionChunk(twice, kId, read, error));

    const std::string noChunk = "<Processor id=\"1\" type=\"lxvst\" unique-id=\"" + std::to_string(kId)
        + "\">\n</Processor>\n<Processor id=\"2\" type=\"lxvst\" unique-id=\"7\"><chunk>AAAA</chunk></Processor>";
    EXPECT_FALSE(readSessionChunk(noChunk, kId, read, error)) << "must not take another processor's chunk";

    EXPECT_FALSE(readSessionChunk(sessionWith("not base64!"), kId, read, error));
    std::string unterminated = sessionWith("AAAA");
    unterminated.erase(unterminated.find("</chunk>\n</lxvst>"));
    EXPECT_FALSE(readSessionChunk(unterminated, kId, read, error));
}
