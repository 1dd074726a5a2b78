// The DSP operand lists: the accumulator with its X and Y prefetches and
// the write-back of the other accumulator, and the ED/EDAC operands. Each
// case reads one operand text and checks the fields ORed into the word,
// the two resource pairs and the status.
#include <gtest/gtest.h>

#include "test_support.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "paasmdriver.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmquodra.h"
#include "paasmsym.h"

namespace {

// Resource bits, written out.
constexpr uint32_t W(int n) { return 1u << n; }
constexpr uint32_t ACC_A = 0x10000;
constexpr uint32_t ACC_B = 0x20000;
constexpr uint32_t MEM = 0x40000000;

// The fields of the lists: X destination (bits 12-13), Y destination
// (10-11), X operation (6-9), Y operation (2-5), write-back (0-1).
constexpr uint32_t fields(uint32_t xd, uint32_t yd, uint32_t xop, uint32_t yop, uint32_t wb) {
    return xd << 12 | yd << 10 | xop << 6 | yop << 2 | wb;
}
constexpr uint32_t ACC_B_BIT = 0x8000;  // bit 15: the accumulator B

// A list that fails: the status, and the fields gathered before it.
struct ErrorCase {
    const char* text;
    int status;
    uint32_t word;
};

class Prefetch : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test_support::start_scanner_run());
    }
    void TearDown() override {
        test_support::end_scanner_run();
        test_support::clear_target();
    }
    // A fresh run for the next case of a table.
    void fresh() {
        TearDown();
        SetUp();
    }
    void scan(const char* operand) {
        test_support::put_operand_line(operand);
        std::rewind(token_file);
        lex_next_token();
    }

    // What one parser made of one text, read in a fresh run.
    struct Parsed {
        int status = 0;
        uint32_t word = 0;
        ResourcePair arch;
        ResourcePair hazard;
    };
    Parsed prefetch(const char* text, int read_accumulator, uint32_t write_back) {
        fresh();
        scan(text);
        Parsed p;
        p.status = tgt_parse_prefetch_operands(p.word, p.arch, p.hazard, read_accumulator, write_back);
        return p;
    }
    Parsed ed(const char* text) {
        fresh();
        scan(text);
        Parsed p;
        p.status = tgt_parse_ed_operands(p.word, p.arch, p.hazard);
        return p;
    }
    // Each case read by `parse` (one of the two above).
    template <typename Parse>
    void expect_errors(const std::vector<ErrorCase>& cases, Parse parse) {
        for (const ErrorCase& c : cases) {
            Parsed p = parse(c.text);
            EXPECT_EQ(p.status, c.status) << c.text;
            EXPECT_EQ(p.word, c.word) << c.text;
        }
    }
};

struct Case {
    const char* text;
    int status;
    uint32_t word;
    ResourcePair arch;
    ResourcePair hazard;
};

template <typename Parsed>
void expect_case(const Case& c, const Parsed& p) {
    EXPECT_EQ(p.status, c.status) << c.text;
    EXPECT_EQ(p.word, c.word) << c.text;
    EXPECT_EQ(p.arch.defs, c.arch.defs) << c.text;
    EXPECT_EQ(p.arch.uses, c.arch.uses) << c.text;
    EXPECT_EQ(p.hazard.defs, c.hazard.defs) << c.text;
    EXPECT_EQ(p.hazard.uses, c.hazard.uses) << c.text;
    if (c.status == 0) {
        EXPECT_EQ(current_token.code, TOK_END_OF_STATEMENT) << c.text;
    }
}

// ---- Prefetch lists that read their accumulator -------------------------------------

TEST_F(Prefetch, ListsWithWriteBackAllowed) {
    const Case cases[] = {
        // The accumulator alone: no prefetch (4, 4), no write-back (2).
        {"A", 0, fields(0, 0, 4, 4, 2), {ACC_A, ACC_A}, {ACC_A, 0}},
        {"B", 0, ACC_B_BIT | fields(0, 0, 4, 4, 2), {ACC_B, ACC_B}, {ACC_B, 0}},
        // Both prefetches with moved pointers and the register write-back of B.
        {"A, [W8]+=2, W4, [W10]-=2, W5, W13", 0, fields(0, 1, 1, 7, 0),
         {ACC_A | W(4) | W(5) | W(8) | W(10) | W(13), ACC_A | ACC_B | W(8) | W(10) | MEM},
         {ACC_A | W(4) | W(5) | W(13), W(8) | W(10)}},
        // Both indexed, and the write-back of A through memory.
        {"B, [W9+W12], W7, [W11+W12], W6, [W13]+=2", 0, ACC_B_BIT | fields(3, 2, 12, 12, 1),
         {ACC_B | W(6) | W(7) | W(13) | MEM, ACC_A | ACC_B | W(9) | W(11) | W(12) | W(13) | MEM},
         {ACC_B | W(6) | W(7) | W(13), W(9) | W(11) | W(12) | W(13)}},
        // A plain X prefetch: the pointer is read, not written.
        {"A, [W8], W4", 0, fields(0, 0, 0, 4, 2), {ACC_A | W(4), ACC_A | W(8) | MEM}, {ACC_A | W(4), W(8)}},
        {"A, [W9], W6", 0, fields(2, 0, 8, 4, 2), {ACC_A | W(6), ACC_A | W(9) | MEM}, {ACC_A | W(6), W(9)}},
        // A Y prefetch alone leaves the X operation at 4.
        {"A, [W10], W6", 0, fields(0, 2, 4, 0, 2), {ACC_A | W(6), ACC_A | W(10) | MEM}, {ACC_A | W(6), W(10)}},
        {"B, [W11]+=6, W7", 0, ACC_B_BIT | fields(0, 3, 4, 11, 2),
         {ACC_B | W(7) | W(11), ACC_B | W(11) | MEM}, {ACC_B | W(7), W(11)}},
        // A write-back alone, after an X prefetch, after a Y prefetch.
        {"A, W13", 0, fields(0, 0, 4, 4, 0), {ACC_A | W(13), ACC_A | ACC_B}, {ACC_A | W(13), 0}},
        {"B, [W13]+=2", 0, ACC_B_BIT | fields(0, 0, 4, 4, 1), {ACC_B | W(13) | MEM, ACC_A | ACC_B | W(13)},
         {ACC_B | W(13), W(13)}},
        {"A, [W8]-=4, W5, W13", 0, fields(1, 0, 6, 4, 0),
         {ACC_A | W(5) | W(8) | W(13), ACC_A | ACC_B | W(8) | MEM}, {ACC_A | W(5) | W(13), W(8)}},
        {"A, [W8], W4, [W13]+=2", 0, fields(0, 0, 0, 4, 1),
         {ACC_A | W(4) | W(13) | MEM, ACC_A | ACC_B | W(8) | W(13) | MEM}, {ACC_A | W(4) | W(13), W(8) | W(13)}},
        {"A, [W10]+=4, W5, [W13]+=2", 0, fields(0, 1, 4, 2, 1),
         {ACC_A | W(5) | W(10) | W(13) | MEM, ACC_A | ACC_B | W(10) | W(13) | MEM},
         {ACC_A | W(5) | W(13), W(10) | W(13)}},
        {"A, [W11], W4, W13", 0, fields(0, 0, 4, 8, 0), {ACC_A | W(4) | W(13), ACC_A | ACC_B | W(11) | MEM},
         {ACC_A | W(4) | W(13), W(11)}},
    };
    for (const Case& c : cases) expect_case(c, prefetch(c.text, 1, 1));
}

TEST_F(Prefetch, ModificationAmounts) {
    struct Amount {
        const char* text;
        uint32_t x_operation;
    } amounts[] = {
        {"A, [W8]+=2, W4", 1},  {"A, [W8]+=4, W4", 2},  {"A, [W8]+=6, W4", 3},  {"A, [W8]-=6, W4", 5},
        {"A, [W8]-=4, W4", 6},  {"A, [W8]-=2, W4", 7},  {"A, [W9]+=2, W4", 9},  {"A, [W9]+=4, W4", 10},
        {"A, [W9]+=6, W4", 11}, {"A, [W9]-=6, W4", 13}, {"A, [W9]-=4, W4", 14}, {"A, [W9]-=2, W4", 15},
        // The net change decides: a negative amount turns the sign round.
        {"A, [W8]+=-2, W4", 7}, {"A, [W8]-=-2, W4", 1}, {"A, [W9]-=-6, W4", 11},
        // The amount is an expression.
        {"A, [W8]+=1+1, W4", 1}, {"A, [W9]-=(3*2), W4", 13},
    };
    for (const Amount& a : amounts) {
        Parsed p = prefetch(a.text, 1, 1);
        EXPECT_EQ(p.status, 0) << a.text;
        EXPECT_EQ(p.word, fields(0, 0, a.x_operation, 4, 2)) << a.text;
        uint32_t pointer = a.x_operation < 8 ? W(8) : W(9);
        EXPECT_EQ(p.arch.defs, ACC_A | W(4) | pointer) << a.text;  // the moved pointer is written
    }
}

TEST_F(Prefetch, WriteBackNotAllowed) {
    const Case cases[] = {
        // The field stays 0 when the instruction allows no write-back.
        {"A", 0, fields(0, 0, 4, 4, 0), {ACC_A, ACC_A}, {ACC_A, 0}},
        {"A, [W8], W4", 0, fields(0, 0, 0, 4, 0), {ACC_A | W(4), ACC_A | W(8) | MEM}, {ACC_A | W(4), W(8)}},
        {"A, W13", 14, fields(0, 0, 4, 4, 0), {ACC_A | W(13), ACC_A}, {ACC_A | W(13), 0}},
        {"B, [W13]+=2", 14, ACC_B_BIT | fields(0, 0, 4, 4, 0), {ACC_B | W(13) | MEM, ACC_B | W(13)},
         {ACC_B | W(13), W(13)}},
        {"A, [W8], W4, [W10], W5, W13", 14, fields(0, 1, 0, 0, 0),
         {ACC_A | W(4) | W(5) | W(13), ACC_A | W(8) | W(10) | MEM}, {ACC_A | W(4) | W(5) | W(13), W(8) | W(10)}},
    };
    for (const Case& c : cases) expect_case(c, prefetch(c.text, 1, 0));
}

// The caller has read the accumulator already (CLR A, ...) and passes the
// mask of the accumulator to write back, or 0.
TEST_F(Prefetch, AccumulatorReadByTheCaller) {
    struct CallerCase {
        Case c;
        uint32_t write_back;
    } cases[] = {
        {{"", 0, fields(0, 0, 4, 4, 2), {0, 0}, {0, 0}}, ACC_B},
        {{"", 0, fields(0, 0, 4, 4, 0), {0, 0}, {0, 0}}, 0},
        {{", [W8]+=2, W4, W13", 0, fields(0, 0, 1, 4, 0), {W(4) | W(8) | W(13), ACC_B | W(8) | MEM},
          {W(4) | W(13), W(8)}},
         ACC_B},
        {{", [W13]+=2", 0, fields(0, 0, 4, 4, 1), {W(13) | MEM, ACC_A | W(13)}, {W(13), W(13)}}, ACC_A},
        {{", W13", 14, fields(0, 0, 4, 4, 0), {W(13), 0}, {W(13), 0}}, 0},
    };
    for (const CallerCase& k : cases) expect_case(k.c, prefetch(k.c.text, 0, k.write_back));
}

// Errors stop the list at the failing operand; what was gathered before is
// still in the word.
TEST_F(Prefetch, ListErrors) {
    expect_errors({
        // Not an accumulator, not a W register where one is needed.
        {"W4, [W8], W4", 29, fields(0, 0, 4, 4, 2)},
        {"A, [#2], W4", 29, fields(0, 0, 4, 4, 2)},
        {"A, [W8], #4", 29, fields(0, 0, 0, 4, 2)},
        {"A, [W8], B", 29, fields(0, 0, 0, 4, 2)},
        {"A, #5", 29, fields(0, 0, 4, 4, 2)},
        // Pointers, index and destinations of the wrong number.
        {"A, [W12], W4", 14, fields(0, 0, 4, 4, 2)},
        {"A, [W7], W4", 14, fields(0, 0, 4, 4, 2)},
        {"A, [W8+W12], W4", 14, fields(0, 0, 0, 4, 2)},
        {"A, [W9+W11], W4", 14, fields(0, 0, 8, 4, 2)},
        {"A, [W11+W10], W4", 14, fields(0, 0, 4, 8, 2)},
        {"A, [W8]+=2, W3", 14, fields(0, 0, 1, 4, 2)},
        {"A, [W10], W8", 14, fields(0, 0, 4, 0, 2)},
        {"A, [W8], W4, [W8], W5", 14, fields(0, 0, 0, 4, 2)},
        {"A, [W10], W6, [W8], W4", 14, fields(0, 2, 4, 0, 2)},
        {"A, [W10], W6, [W11], W5", 14, fields(0, 2, 4, 0, 2)},
        {"A, [W8], W4, [W10], W5, [W12]+=2", 14, fields(0, 1, 0, 0, 2)},
        {"A, W12", 14, fields(0, 0, 4, 4, 2)},
        {"A, [W8], W4, W5", 14, fields(0, 0, 0, 4, 2)},
        // Amounts other than 2, 4 or 6; a write-back amount other than 2.
        {"A, [W8]+=3, W4", 14, fields(0, 0, 0, 4, 2)},
        {"A, [W8]+=8, W4", 14, fields(0, 0, 0, 4, 2)},
        {"A, [W9]-=0, W4", 14, fields(0, 0, 8, 4, 2)},
        {"A, [W13]+=4", 14, fields(0, 0, 4, 4, 1)},
        // An amount that is no absolute integer.
        {"A, [W8]+=2.0, W4", 30, fields(0, 0, 0, 4, 2)},
        {"A, [W8]+=\"ab\", W4", 30, fields(0, 0, 0, 4, 2)},
        // Missing punctuation.
        {"A, [W8]+=2 W4", 31, fields(0, 0, 1, 4, 2)},
        {"A, [W10 W4], W5", 31, fields(0, 0, 4, 0, 2)},
        {"A, [W8]+2, W4", 32, fields(0, 0, 0, 4, 2)},
        {"A, [W13]+2", 32, fields(0, 0, 4, 4, 1)},
        {"A, [W9 W12], W4", 33, fields(0, 0, 8, 4, 2)},
        {"A, [W8, W4", 33, fields(0, 0, 0, 4, 2)},
        {"A, [W13]-=2", 33, fields(0, 0, 4, 4, 1)},
        {"A, [W13]", 33, fields(0, 0, 4, 4, 1)},
        {"A, [W9+W12, W4", 40, fields(0, 0, 12, 4, 2)},
        {"A, [W13+=2", 40, fields(0, 0, 4, 4, 1)},
    }, [this](const char* text) { return prefetch(text, 1, 1); });
}

// Without a ',' after the accumulator the list ends there; what follows is
// left for the statement (extra characters).
TEST_F(Prefetch, ListEndsWithoutAComma) {
    Parsed p = prefetch("A [W8], W4", 1, 1);
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(p.word, fields(0, 0, 4, 4, 2));
    EXPECT_EQ(current_token.code, TOK_LBRACKET);
}

// An amount not known yet (pass 1 before its equate) leaves the pointer
// plain and the list goes on, so that pass 1 reads every operand that
// pass 2 will read.
TEST_F(Prefetch, AmountNotYetKnownKeepsTheListGoing) {
    const Case cases[] = {
        {"A, [W8]+=later, W4, [W10]-=2, W5, W13", 0, fields(0, 1, 0, 7, 0),
         {ACC_A | W(4) | W(5) | W(10) | W(13), ACC_A | ACC_B | W(8) | W(10) | MEM},
         {ACC_A | W(4) | W(5) | W(13), W(8) | W(10)}},
        {"B, [W13]+=later", 0, ACC_B_BIT | fields(0, 0, 4, 4, 1), {ACC_B | W(13) | MEM, ACC_A | ACC_B | W(13)},
         {ACC_B | W(13), W(13)}},
    };
    for (const Case& c : cases) expect_case(c, prefetch(c.text, 1, 1));
    Parsed p = ed("A, [W9]-=later, [W11]+=later, W7");
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(p.word, fields(3, 0, 8, 8, 0));
    EXPECT_EQ(current_token.code, TOK_END_OF_STATEMENT);
}

// ---- ED and EDAC ---------------------------------------------------------------------------

TEST_F(Prefetch, EdOperands) {
    const Case cases[] = {
        {"A, [W8]+=2, [W10]-=2, W4", 0, fields(0, 0, 1, 7, 0),
         {ACC_A | W(4) | W(8) | W(10), ACC_A | W(8) | W(10) | MEM}, {ACC_A | W(4), W(8) | W(10)}},
        {"B, [W9+W12], [W11+W12], W7", 0, ACC_B_BIT | fields(3, 0, 12, 12, 0),
         {ACC_B | W(7), ACC_B | W(9) | W(11) | W(12) | MEM}, {ACC_B | W(7), W(9) | W(11) | W(12)}},
        {"A, [W9], [W11], W5", 0, fields(1, 0, 8, 8, 0), {ACC_A | W(5), ACC_A | W(9) | W(11) | MEM},
         {ACC_A | W(5), W(9) | W(11)}},
        {"A, [W8]+=6, [W11]-=4, W6", 0, fields(2, 0, 3, 14, 0),
         {ACC_A | W(6) | W(8) | W(11), ACC_A | W(8) | W(11) | MEM}, {ACC_A | W(6), W(8) | W(11)}},
    };
    for (const Case& c : cases) expect_case(c, ed(c.text));
}

// The words hold no write-back field and no Y destination in these lists.
TEST_F(Prefetch, EdErrors) {
    expect_errors({
        {"W4, [W8], [W10], W4", 29, fields(0, 0, 4, 4, 0)},
        {"A, [W8], [W10], [W4]", 29, fields(0, 0, 0, 0, 0)},
        {"A, [W8], [W10], #4", 29, fields(0, 0, 0, 0, 0)},
        {"A [W8], [W10], W4", 31, fields(0, 0, 4, 4, 0)},
        {"A, [W8] [W10], W4", 31, fields(0, 0, 0, 4, 0)},
        {"A, [W8], [W10] W4", 31, fields(0, 0, 0, 0, 0)},
        {"A, [W8], [W10]", 31, fields(0, 0, 0, 0, 0)},
        {"A, W8, [W10], W4", 39, fields(0, 0, 4, 4, 0)},
        {"A, [W8], W10, W4", 39, fields(0, 0, 0, 4, 0)},
        {"A, [W10], [W10], W4", 14, fields(0, 0, 4, 4, 0)},
        {"A, [W8], [W8], W4", 14, fields(0, 0, 0, 4, 0)},
        {"A, [W8], [W13], W4", 14, fields(0, 0, 0, 4, 0)},
        {"A, [W8+W12], [W10], W4", 14, fields(0, 0, 0, 4, 0)},
        {"A, [W8], [W10+W12], W4", 14, fields(0, 0, 0, 0, 0)},
        // A Y pointer followed by neither ']' nor '+'.
        {"A, [W8], [W11 W4], W4", 14, fields(0, 0, 0, 8, 0)},
        {"A, [W8], [W10], W3", 14, fields(0, 0, 0, 0, 0)},
        {"A, [W8]+=5, [W10], W4", 14, fields(0, 0, 0, 4, 0)},
        {"A, [W8]+2, [W10], W4", 32, fields(0, 0, 0, 4, 0)},
        {"A, [W9 W12], [W10], W4", 33, fields(0, 0, 8, 4, 0)},
        {"A, [W9+W12, [W10], W4", 40, fields(0, 0, 12, 4, 0)},
        {"A, [W8]+=1.5, [W10], W4", 30, fields(0, 0, 0, 4, 0)},
    }, [this](const char* text) { return ed(text); });
}

}  // namespace
