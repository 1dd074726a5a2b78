// The mnemonic search over the target's own table: prefixes, words that
// extend a mnemonic, rows by device family and suffixes.
#include <gtest/gtest.h>

#include <string>

#include "paasmlex.h"
#include "paasmmatch.h"
#include "paasmquodra.h"
#include "test_support.h"

namespace {

class MnemonicSearch : public testing::Test {
protected:
    void SetUp() override {
        saved_family = device_family_flags;
        tgt_register_target();
    }
    void TearDown() override {
        device_family_flags = saved_family;
        test_support::clear_target();
    }

    struct Found {
        int row;
        uint16_t suffix;
    };
    static Found find(uint32_t family, const char* word) {
        device_family_flags = family;
        lex_set_token_suffix(0x5555);  // the search clears what an earlier word left
        const MnemonicEntry* row = match_find_mnemonic(word);
        return {row == nullptr ? -1 : static_cast<int>(row - mnemonic_table), lex_token_suffix()};
    }

    uint32_t saved_family = 2;
};

constexpr int NONE = -1;

TEST_F(MnemonicSearch, Rows) {
    struct Case {
        uint32_t family;
        const char* word;
        int row;
    } cases[] = {
        // The default family selects the DSP rows and the register forms.
        {2, "ADD", 0},
        {2, "add", 0},
        {2, "Clr", 15},
        {2, "SUB", 91},
        {2, "CPSEQ", 27},
        {2, "CPSNE", 33},
        {2, "CPBEQ", NONE},
        {2, "MOVPAG", NONE},
        {2, "MULW", NONE},
        {2, "DECSZ", NONE},
        // The families without the accumulator instructions.
        {0x20, "ADD", 1},
        {0x20, "CLR", 16},
        {0x20, "SUB", 92},
        {0x20, "MAC", NONE},
        {0x20, "LAC", NONE},
        {0x20, "SAC", NONE},
        {0x20, "DO", NONE},
        {0x20, "DIVF", NONE},
        {0x20, "ED", NONE},
        {0x20, "EDAC", NONE},
        {0x20, "CPBEQ", 22},
        {0x20, "MULW", 65},
        // Words that extend a shorter mnemonic lie above all its rows.
        {2, "CP", 19},
        {2, "CP0", 20},
        {2, "CPB", 21},
        {2, "DEC2", 36},
        {2, "INC2", 51},
        {2, "FF1R", 48},
        {2, "NOPR", 68},
        {2, "BTSTS", 13},
        {2, "RETFIE", 79},
        // A word that extends a two-row name and matches nothing.
        {2, "ADDA", NONE},
        {2, "ADD1", NONE},
        {0x20, "ADDA", NONE},
        {2, "CLRX", NONE},
        {2, "A", NONE},
        {2, "", NONE},
        {2, "ZZZ", NONE},
        // With the family word 3 both rows of the compare-and-skip
        // mnemonics exist: the search takes the one it meets first.
        {3, "CPSEQ", 26},
        {3, "CPSGT", 28},
        {3, "CPSLT", 31},
        {3, "CPSNE", 32},
        {1, "CPSLT", 30},
        {1, "DECSZ", 38},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(find(c.family, c.word).row, c.row) << std::hex << c.family << " " << c.word;
    }
}

TEST_F(MnemonicSearch, Suffixes) {
    struct Case {
        uint32_t family;
        const char* word;
        int row;
        uint16_t suffix;
    } cases[] = {
        // '.' sorts below digits and letters: the search stops at CP.
        {2, "CP.B", 19, 0x0001},
        {2, "CP0.W", 20, 0x0002},
        {2, "CPB.b", 21, 0x0001},
        {2, "mov.B", 59, 0x0001},
        {2, "ADD.D", 0, 0x0004},
        {0x20, "ADD.b", 1, 0x0001},
        {2, "MUL.SS", 64, 0x0008},
        {2, "MUL.uu", 64, 0x0040},
        // The family decides ".l" in lower case only.
        {2, "CALL.l", NONE, 0},
        {0x40, "CALL.l", 14, 0x0800},
        {0x20, "GOTO.l", 49, 0x0800},
        {2, "CALL.L", 14, 0x0800},
        // No suffix for a mnemonic that takes none, none that the table lacks.
        {2, "NOP.B", NONE, 0},
        {2, "RETURN.w", NONE, 0},
        {2, "MOV.X", NONE, 0},
        {2, "MOV.", NONE, 0},
        // A suffix the row does not take is still found; the entry warns.
        {2, "BCLR.C", 5, 0x0800},
        {2, "SWAP.N", 96, 0x2000},
        // A suffix on a mnemonic of another family finds nothing.
        {2, "MOVPAG.B", NONE, 0},
        {2, "ADDA.B", NONE, 0},
    };
    for (const Case& c : cases) {
        Found found = find(c.family, c.word);
        EXPECT_EQ(found.row, c.row) << std::hex << c.family << " " << c.word;
        if (found.row != NONE) {
            EXPECT_EQ(found.suffix, c.suffix) << c.word;
        }
    }
}

}  // namespace
