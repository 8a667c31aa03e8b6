#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "framework/util/CFileStreamer.h"
#include "tests/support/TempFolder.h"

namespace {

TEST(FileStreamer, StartsClosedWithUnknownErrorAndRefusesTransfers)
{
    CFileStreamer s;
    EXPECT_STREQ(s.getErrorText(), "unknown");
    uint8_t b[4];
    EXPECT_FALSE(s.read(b, 4));
    EXPECT_STREQ(s.getErrorText(), "No File Open");
    EXPECT_FALSE(s.seek(0));
    EXPECT_FALSE(s.write(b, 4));
    EXPECT_EQ(s.readInt32(), 0u);
}

TEST(FileStreamer, FullReadThenOneMoreFailsAndSeekToSizeIsRefused)
{
    tbtest::TempFolder tmp;
    std::vector<uint8_t> bytes(460);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    const std::string p = tmp.write("a.tbprg", bytes);

    CFileStreamer s;
    ASSERT_TRUE(s.open(p.c_str(), "rb"));
    EXPECT_EQ(s.getSize(), 460);
    EXPECT_STREQ(s.getFileName(), p.c_str());
    std::vector<uint8_t> got(460);
    EXPECT_TRUE(s.read(got.data(), 460));
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(s.getPosition(), 460);
    uint8_t more[4];
    EXPECT_FALSE(s.read(more, 4));
    EXPECT_STREQ(s.getErrorText(), "Unknown File Error");
    EXPECT_FALSE(s.seek(460));
    EXPECT_STREQ(s.getErrorText(), "Wrong Parameter");
    EXPECT_FALSE(s.seek(-1));
    EXPECT_TRUE(s.seek(459));
    EXPECT_EQ(s.readByte(), static_cast<uint8_t>(459 * 7));
    // Errors stay until the next one, successes do not clear them.
    EXPECT_STREQ(s.getErrorText(), "Wrong Parameter");
}

TEST(FileStreamer, TypedReadsAreLittleEndianAndSkipMovesRelative)
{
    tbtest::TempFolder tmp;
    const std::string p = tmp.write("n.bin", std::vector<uint8_t> {0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xAB, 0xCD});
    CFileStreamer s;
    ASSERT_TRUE(s.open(p.c_str(), "rb"));
    EXPECT_EQ(s.readInt16(), 0x1234);
    EXPECT_EQ(s.readInt32(), 0x12345678u);
    EXPECT_TRUE(s.skip(1));
    EXPECT_EQ(s.readByte(), 0xCD);
    EXPECT_FALSE(s.skip(-100));
    EXPECT_FALSE(s.skip(0x7fffffff));  // must not wrap around to a valid position
    EXPECT_EQ(s.getPosition(), 8);
}

TEST(FileStreamer, WriteThenReadBackAndCloseTwiceIsHarmless)
{
    tbtest::TempFolder tmp;
    const std::string p = tmp.file("w.bin");
    CFileStreamer s;
    ASSERT_TRUE(s.open(p.c_str(), "wb"));
    EXPECT_EQ(s.getSize(), 0);
    const char text[] = "hello";
    EXPECT_TRUE(s.write(text, 5));
    EXPECT_EQ(s.getPosition(), 5);
    s.close();
    s.close();
    EXPECT_STREQ(s.getFileName(), "");
    EXPECT_EQ(tbtest::readAll(p), std::vector<uint8_t>({'h', 'e', 'l', 'l', 'o'}));
}

TEST(FileStreamer, FailedOpenLeavesItClosed)
{
    tbtest::TempFolder tmp;
    const std::string p = tmp.write("x", std::string("abc"));
    CFileStreamer s;
    ASSERT_TRUE(s.open(p.c_str(), "rb"));
    EXPECT_FALSE(s.open(tmp.file("missing").c_str(), "rb"));
    EXPECT_STREQ(s.getErrorText(), "Failed to open the file");
    EXPECT_FALSE(s.isOpen());
    EXPECT_EQ(s.readByte(), 0);
    EXPECT_FALSE(s.open(nullptr, "rb"));
    const std::string tooLong(600, 'a');
    EXPECT_FALSE(s.open(tooLong.c_str(), "rb"));
}

TEST(FileStreamer, NegativeCountsAndNullBuffersAreRefused)
{
    tbtest::TempFolder tmp;
    const std::string p = tmp.write("x", std::string("abcd"));
    CFileStreamer s;
    ASSERT_TRUE(s.open(p.c_str(), "rb"));
    uint8_t b[4];
    EXPECT_FALSE(s.read(b, -1));
    EXPECT_FALSE(s.read(nullptr, 4));
    EXPECT_EQ(s.getPosition(), 0);
}

}  // namespace

namespace {

TEST(FileStreamer, OnlyRegularFilesAreOpened)
{
    // Regression: a fifo named like a preset blocked the caller forever in open.
    tbtest::TempFolder tmp;
    const std::string fifo = tmp.file("pipe.tbprg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    CFileStreamer s;
    EXPECT_FALSE(s.open(fifo.c_str(), "rb"));
    EXPECT_FALSE(s.open(fifo.c_str(), "wb"));
    EXPECT_FALSE(s.open(tmp.path().c_str(), "rb"));
    EXPECT_STREQ(s.getErrorText(), "Failed to open the file");
    // Writing truncates an existing file.
    const std::string p = tmp.write("old", std::string("0123456789"));
    ASSERT_TRUE(s.open(p.c_str(), "wb"));
    EXPECT_TRUE(s.write("ab", 2));
    s.close();
    EXPECT_EQ(tbtest::readAll(p).size(), 2u);
}

}  // namespace

namespace {

TEST(FileStreamer, ReadExactRefusesAShortTransferThatReadCountsAsSuccess)
{
    // Regression: the picture readers took a row cut short by a shrinking file or
    // an I/O error for data, since read counts any non-empty transfer. The file
    // is larger than the stream's buffer, so the cut is really read from disk.
    tbtest::TempFolder tmp;
    std::vector<uint8_t> bytes(20000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i);
    const std::string p = tmp.write("shrinks.bmp", bytes);
    CFileStreamer s;
    ASSERT_TRUE(s.open(p.c_str(), "rb"));
    ASSERT_EQ(::truncate(p.c_str(), 100), 0);
    std::vector<uint8_t> b(bytes.size());
    EXPECT_FALSE(s.readExact(b.data(), 20000));
    EXPECT_STREQ(s.getErrorText(), "Unknown File Error");
    EXPECT_EQ(s.getPosition(), 100);
    ASSERT_TRUE(s.seek(0));
    EXPECT_TRUE(s.read(b.data(), 20000));
    EXPECT_EQ(s.getPosition(), 20000);
    ASSERT_TRUE(s.seek(2));
    EXPECT_TRUE(s.readExact(b.data(), 4));
    EXPECT_EQ(b[0], 2);
    EXPECT_EQ(b[3], 5);
    s.close();
    EXPECT_FALSE(s.readExact(b.data(), 1));
    EXPECT_STREQ(s.getErrorText(), "No File Open");
}

TEST(FileStreamer, PathLongerThanItsRememberedNameStillOpens)
{
    // Regression: a path of 512 characters or more was refused, so presets
    // saved into a deep presets folder were listed but never loaded.
    tbtest::TempFolder tmp;
    const std::string leaf(200, 'd');
    const std::string p = tmp.makeFolder(leaf + "/" + leaf + "/" + leaf) + "/deep.tbprg";
    CFileStreamer s;
    ASSERT_TRUE(s.open(p.c_str(), "wb"));
    EXPECT_TRUE(s.write("abcd", 4));
    ASSERT_TRUE(s.open(p.c_str(), "rb"));
    EXPECT_EQ(s.readInt32(), 0x64636261u);
    EXPECT_STREQ(s.getFileName(), "");
}

}  // namespace
