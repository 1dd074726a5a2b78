// The Intel HEX reader of the proof tools, on records worked out by hand.
#include "lib/run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// RETURN (0x060000) after a NOP at address 0, as one record of two words.
const char* two_words = ":080000000000000000000600f2\n:00000001FF\n";

TEST(HexWords, ReadsTheWordsOfOneRecordLeastSignificantByteFirst)
{
    std::vector<uint32_t> words;
    std::string why;
    ASSERT_TRUE(proof_hex_words(two_words, words, why)) << why;
    EXPECT_EQ(words, (std::vector<uint32_t>{0x00000000, 0x00060000}));
}

TEST(HexWords, AWordNoRecordGivesReadsAsErased)
{
    std::vector<uint32_t> words;
    std::string why;
    ASSERT_TRUE(proof_hex_words(":04001000ffeedd0022\n:00000001FF\n", words, why)) << why;
    EXPECT_EQ(words, (std::vector<uint32_t>{0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0x00DDEEFF}));
}

TEST(HexWords, TheExtendedAddressGivesTheUpperSixteenBits)
{
    std::vector<uint32_t> words;
    std::string why;
    ASSERT_TRUE(proof_hex_words(":020000040001f9\n:0400000078563412e8\n:00000001FF\n", words, why)) << why;
    ASSERT_EQ(words.size(), 0x4001u);
    EXPECT_EQ(words[0x4000], 0x12345678u);
    EXPECT_EQ(words[0x3FFF], 0x00FFFFFFu);
}

TEST(HexWords, RefusesABadChecksum)
{
    std::vector<uint32_t> words;
    std::string why;
    EXPECT_FALSE(proof_hex_words(":080000000000000000000600f3\n:00000001FF\n", words, why));
    EXPECT_NE(why.find("line 1"), std::string::npos) << why;
}

TEST(HexWords, RefusesAMissingEndRecordAndDataAfterIt)
{
    std::vector<uint32_t> words;
    std::string why;
    EXPECT_FALSE(proof_hex_words(":080000000000000000000600f2\n", words, why));
    EXPECT_FALSE(proof_hex_words(std::string(two_words) + ":080000000000000000000600f2\n", words, why));
}

TEST(HexWords, RefusesOtherRecordTypesAndPartWords)
{
    std::vector<uint32_t> words;
    std::string why;
    // An extended segment address record (type 02).
    EXPECT_FALSE(proof_hex_words(":020000021000ec\n:00000001FF\n", words, why));
    // Two bytes at address 0: half a program word.
    EXPECT_FALSE(proof_hex_words(":020000000006f8\n:00000001FF\n", words, why));
    // The same word given twice.
    EXPECT_FALSE(proof_hex_words(":0400000000000600f6\n:0400000000000600f6\n:00000001FF\n", words, why));
}

TEST(Run, ReturnsTheExitStatusAndTheStandardError)
{
    std::string errors;
    EXPECT_EQ(proof_run({"/bin/sh", "-c", "echo oops >&2; exit 3"}, &errors), 3);
    EXPECT_EQ(errors, "oops\n");
    EXPECT_EQ(proof_run({"/bin/sh", "-c", "kill -9 $$"}, nullptr), 128 + 9);
    EXPECT_EQ(proof_run({"/nonexistent/program"}, &errors), -1);
}

TEST(Run, TempDirIsFreshAndRemoved)
{
    std::string path;
    {
        ProofTempDir dir;
        ASSERT_TRUE(dir.ok());
        path = dir.path();
        ASSERT_TRUE(proof_write_file(path + "/a", "text"));
        std::string back;
        ASSERT_TRUE(proof_read_file(path + "/a", back));
        EXPECT_EQ(back, "text");
    }
    std::string gone;
    EXPECT_FALSE(proof_read_file(path + "/a", gone));
}

}  // namespace
