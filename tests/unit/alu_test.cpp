// The ALU, shift, compare and bit encoders seen through what they hand to
// the two recorders: the resource pairs the scheduler gets (with -s), the
// words, relocation symbols and block ends the abstraction gets, and the
// read-after-write warnings their hazard pairs cause.
#include <cstdint>
#include <string>
#include <vector>

#include "encoder_test_support.h"

namespace {

const char* const text_head = "\t.section\t.text,code\n\t.set\t___PA___,1\n";

// What each form reads and writes: the row's status bits, registers and
// data memory by operand role, accumulators, WREG as W0.
const ResourceCase resource_cases[] = {
    {"add\t#5,w2", S | w(2), w(2), w(2), 0},
    {"addc\t#5,w2", S | w(2), S | w(2), w(2), 0},
    {"add\tw2,#5", S | w(2), w(2), w(2), 0},
    {"add\tw1,#3,w2", S | w(2), w(1), w(2), 0},
    {"add\tw1,w2,w3", S | w(3), w(1) | w(2), w(3), 0},
    {"add\tw1,[w2],w3", S | w(3), w(1) | w(2) | M, w(3), w(2)},
    {"add\tw1,[w2++],[w3--]", S | w(2) | w(3) | M, w(1) | w(2) | w(3) | M, w(3), w(2)},
    {"sub\tw1,#3,[w4]", S | M, w(1) | w(4), 0, 0},
    {"add\ta", S | A, 0, A, 0},
    {"sub\tb", S | B, 0, B, 0},
    {"add\tw1,#2,b", S | B, w(1), B, 0},
    {"add\tw1,a", S | A, w(1), A, 0},
    {"add\t[w2+w3],b", S | B, w(2) | w(3) | M | B, B, w(2) | w(3)},
    {"add\t[w4++],#1,a", S | A | w(4), w(4) | M | A, A, w(4)},
    {"add\t0x10", S | M, M | w(0), 0, 0},
    {"add\t0x10,wreg", S | w(0), M | w(0), w(0), 0},
    {"subbr\t0x10,wreg", S | w(0), S | M | w(0), w(0), 0},
    {"asr\tw1,#3,w2", S | w(2), w(1), w(2), 0},
    {"asr\tw1,w3,w2", S | w(2), w(1) | w(3), w(2), 0},
    {"asr\tw1,w2", S | w(2), w(1), w(2), 0},
    {"asr\tw1,[w2++]", S | M | w(2), w(1) | w(2), w(2), 0},
    {"lsr\t[w1],[w2]", S | M, w(1) | w(2) | M, 0, w(1)},
    {"sl\t0x20", S | M, M, 0, 0},
    {"sl\t0x20,wreg", S | w(0), M, w(0), 0},
    {"cpseq\tw1,w2", 0, w(1) | w(2), 0, 0},
    {"cpsne\tw15,w14", 0, w(14) | w(15), 0, 0},
    {"bset\tw2,#5", w(2), w(2), w(2), 0},
    {"bset\t[w2],#5", M, w(2) | M, 0, w(2)},
    {"bclr\t[w2++],#5", M | w(2), w(2) | M, w(2), w(2)},
    {"btst\t[w1],#0", S, w(1) | M, 0, w(1)},
    {"btsts\t[w1],#0", S | M, w(1) | M, 0, w(1)},
    {"btst\tw1,w2", S, w(1) | w(2), 0, 0},
    {"btsc\tw3,#1", 0, w(3), 0, 0},
    {"bset\t0x20,#3", M, M, 0, 0},
    {"btsc\t0x20,#3", 0, M, 0, 0},
    {"btst\t0x20,#3", S, M, 0, 0},
};

TEST(AluEncoders, ResourcePairsByForm) {
    for (const ResourceCase& c : resource_cases) {
        SCOPED_TRACE(c.line);
        AsmRun run = assemble(std::string(text_head) + "\t" + c.line + "\n\treturn\n", {"-s"});
        ASSERT_EQ(run.status, 0) << run.errors;
        std::vector<const SchedInstruction*> records = first_block_records();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0]->arch.defs, c.arch_defs);
        EXPECT_EQ(records[0]->arch.uses, c.arch_uses);
        EXPECT_EQ(records[0]->hazard.defs, c.hazard_defs);
        EXPECT_EQ(records[0]->hazard.uses, c.hazard_uses);
    }
}

// Slot counts: the ALU, shift and bit rows may fill a delay slot, the
// compare rows may not.
TEST(AluEncoders, SlotCounts) {
    AsmRun run = assemble(
        std::string(text_head) + "\tadd\tw1,w2,w3\n\tasr\tw1,w2\n\tbset\tw1,#1\n\tcpseq\tw1,w2\n\treturn\n",
        {"-s"});
    ASSERT_EQ(run.status, 0) << run.errors;
    std::vector<const SchedInstruction*> records = first_block_records();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0]->slots, 1);
    EXPECT_EQ(records[1]->slots, 1);
    EXPECT_EQ(records[2]->slots, 1);
    EXPECT_EQ(records[3]->slots, -1);
}

// A compare-and-branch ends the scheduling block as a branch with no delay
// slot and probability 0; a compare-and-skip does not end it.
TEST(AluEncoders, CompareAndBranchEndsTheSchedulingBlock) {
    AsmRun run =
        assemble(std::string(text_head) + ".L1:\n\tadd\tw1,w2,w3\n\tcpbeq\tw1,w2,.L1\n\tadd\tw4,w5,w6\n",
                           {"-s", "--mcpu=GENERIC-16BIT-EP"});
    ASSERT_EQ(run.status, 0) << run.errors;
    ASSERT_NE(schedule_block_list, nullptr);
    const SchedBlock* block = schedule_block_list;
    ASSERT_NE(block->branch, nullptr);
    EXPECT_EQ(block->branch->slots, 0);
    EXPECT_EQ(block->probability, 0);
    EXPECT_EQ(block->branch->arch.uses, w(1) | w(2));
    ASSERT_NE(block->first, nullptr);
    EXPECT_EQ(block->first->next, nullptr);
    ASSERT_NE(block->next, nullptr);
    EXPECT_EQ(block->next->branch, nullptr);

    run =
        assemble(std::string(text_head) + "\tadd\tw1,w2,w3\n\tcpseq\tw1,w2\n\tadd\tw4,w5,w6\n", {"-s"});
    ASSERT_EQ(run.status, 0) << run.errors;
    ASSERT_NE(schedule_block_list, nullptr);
    EXPECT_EQ(schedule_block_list->branch, nullptr);
    EXPECT_EQ(schedule_block_list->next, nullptr);
}

struct BlockCase {
    const char* middle;  // between two instructions that never end a block
    std::vector<std::vector<uint32_t>> blocks;
};

// W15 ends the abstraction block wherever it stands (in a body one call
// level down it holds 4 more than at the site); the instruction that ends
// the block is not recorded.
// clang-format off
const BlockCase block_cases[] = {
    {"cpseq\tw15,w1", {{0x408182}, {0x408182}}},
    {"cpsgt\tw1,w15", {{0x408182}, {0x408182}}},
    {"add\tw15,w1,w2", {{0x408182}, {0x408182}}},
    {"add\tw1,w2,w15", {{0x408182}, {0x408182}}},
    {"add\t#4,w15", {{0x408182}, {0x408182}}},
    {"add\tw1,#1,[w15]", {{0x408182}, {0x408182}}},
    {"add\tw1,#1,[w15++]", {{0x408182}, {0x408182}}},
    {"asr\tw1,w15,w2", {{0x408182}, {0x408182}}},
    {"asr\tw1,#1,w15", {{0x408182}, {0x408182}}},
    {"bset\t[w15],#1", {{0x408182}, {0x408182}}},
    {"btst\tw1,w15", {{0x408182}, {0x408182}}},
    {"bset\t[w14],#1", {{0x408182, 0xA0101E, 0x408182}}},
};
// clang-format on

TEST(AluEncoders, StackPointerEndsTheAbstractionBlock) {
    for (const BlockCase& c : block_cases) {
        SCOPED_TRACE(c.middle);
        AsmRun run = assemble(
            std::string(text_head) + "\tadd\tw1,w2,w3\n\t" + c.middle + "\n\tadd\tw1,w2,w3\n", {"-b"});
        ASSERT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(recorded_block_words(), c.blocks);
    }
}

// (The abstraction tests run with -b, which records the blocks but runs no
// optimiser over them.)

// The relocation symbol goes with the word: a file register, a branch
// target in the same section.
TEST(AluEncoders, RelocationSymbolIsRecorded) {
    AsmRun run = assemble(std::string("\t.section\t.nbss,bss\n_flag:\t.space\t2\n") + text_head +
                                        ".L1:\n\tadd\t_flag\n\tbset\t_flag,#1\n\tcpbne\tw1,w2,.L1\n",
                                    {"-b", "--mcpu=GENERIC-16BIT-EP"});
    ASSERT_EQ(run.status, 0) << run.errors;
    std::vector<const PaInstruction*> records = recorded_instructions();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0]->encoding.symbol, symbol("_flag"));
    EXPECT_EQ(records[1]->encoding.symbol, symbol("_flag"));
    EXPECT_EQ(records[2]->encoding.symbol, symbol(".L1"));
    EXPECT_EQ(records[2]->encoding.word, 0xE70BD2u);  // k = (0 - 6) / 2 = -3
}

// A far or absolute compare-and-branch target ends the abstraction block.
TEST(AluEncoders, AbsoluteBranchTargetEndsTheAbstractionBlock) {
    AsmRun run =
        assemble(std::string(text_head) + "\tadd\tw1,w2,w3\n\tcpbeq\tw1,w2,10\n\tadd\tw1,w2,w3\n",
                           {"-b", "--mcpu=GENERIC-16BIT-EP"});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(recorded_block_words(), (std::vector<std::vector<uint32_t>>{{0x408182}, {0x408182}}));
}

// Setting or clearing a bit of _SR writes the status register; testing one
// does not count as reading it.
TEST(AluEncoders, StatusRegisterByItsAddress) {
    const struct {
        const char* line;
        uint32_t defs;
        uint32_t uses;
    } cases[] = {
        {"bclr\t_SR,#0", M | S, M | S}, {"bset\t_SR,#1", M | S, M | S}, {"btg\t_other,#1", M, M},
        {"btsc\t_SR,#0", 0, M},         {"btst\t_SR,#0", S, M},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        AsmRun run =
            assemble(std::string("\t.section\t.nbss,bss\n_SR:\t.space\t2\n_other:\t.space\t2\n") +
                                   text_head + "\t" + c.line + "\n\treturn\n",
                               {"-s"});
        ASSERT_EQ(run.status, 0) << run.errors;
        std::vector<const SchedInstruction*> records = first_block_records();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0]->arch.defs, c.defs);
        EXPECT_EQ(records[0]->arch.uses, c.uses);
    }
}

// The hazard pairs meet: a register written (or a pointer modified) by one
// instruction and used as an address pointer by the next draws warning 8.
TEST(AluEncoders, ReadAfterWriteHazards) {
    const struct {
        const char* lines;
        std::string errors;
    } cases[] = {
        {"\tadd\tw1,w2,w3\n\tadd\tw1,[w3],w4\n", warning_line(4, 8, "Use of register 'W3' causes RAW hazard")},
        {"\tasr\tw1,[w2++]\n\tbset\t[w2],#1\n", warning_line(4, 8, "Use of register 'W2' causes RAW hazard")},
        {"\tadd\t#1,w5\n\tbtst\t[w5],#1\n", warning_line(4, 8, "Use of register 'W5' causes RAW hazard")},
        {"\tadd\t0x10,wreg\n\tsl\t[w0],[w1]\n", warning_line(4, 8, "Use of register 'W0' causes RAW hazard")},
        {"\tadd\tw1,#1,[w2]\n\tadd\tw1,[w2],w3\n", ""},
        {"\tcpseq\tw1,w2\n\tadd\tw1,[w2],w3\n", ""},
        {"\tadd\tw1,[w2],w3\n\tadd\tw1,[w2],w3\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        AsmRun run = assemble(std::string(text_head) + c.lines, {"-w"});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.errors, c.errors);
    }
}

}  // namespace
