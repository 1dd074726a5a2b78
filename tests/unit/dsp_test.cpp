// The accumulator encoders seen through what they hand to the recorders:
// the resource pairs the scheduler gets (with -s) for every form, and the
// words, relocation symbols and block ends the abstraction gets.
#include <cstdint>
#include <string>
#include <vector>

#include "asm_support.h"
#include "encoder_test_support.h"
#include "paasmis.h"
#include "paasmpa.h"
#include "paasmquodra.h"

namespace {

const char* const dsp_head = "\t.section\t.text,code\n\t.set\t___PA___,1\n_f:\n";

// Tests that look at the abstraction's records as recorded give -b, which
// runs no optimiser over them.
AsmRun assemble_dsp(const std::string& body, std::vector<std::string> options = {}) {
    return assemble(dsp_head + body, std::move(options));
}

// The rows' status bits (all but MOVSAC and SAC), the multiplier
// registers, the accumulator (written and read), the prefetch pointers and
// destinations, the write-back, and LAC/SAC addresses by role.
const ResourceCase resource_cases[] = {
    {"mac\tw4*w5, a", S | A, A | w(4) | w(5), A, 0},
    {"mac\tw4*w6, a, [w8]+=2, w4, [w10]+=2, w5, w13", S | A | w(4) | w(5) | w(8) | w(10) | w(13),
     A | B | w(4) | w(6) | w(8) | w(10) | M, A | w(4) | w(5) | w(13), w(8) | w(10)},
    {"mpy\tw7*w7, b", S | B, B | w(7), B, 0},
    {"msc\tw4*w5, b, [w13]+=2", S | B | w(13) | M, A | B | w(4) | w(5) | w(13), B | w(13), w(13)},
    {"ed\tw5*w5, a, [w9]+=2, [w11+w12], w6", S | A | w(6) | w(9), A | w(5) | w(9) | w(11) | w(12) | M,
     A | w(6), w(9) | w(11) | w(12)},
    {"edac\tw4*w4, b, [w8], [w10], w4", S | B | w(4), B | w(4) | w(8) | w(10) | M, B | w(4), w(8) | w(10)},
    {"movsac\tb, [w8], w7, w13", B | w(7) | w(13), A | B | w(8) | M, B | w(7) | w(13), w(8)},
    {"sftac\ta, #3", S | A, A, A, 0},
    {"sftac\tb, w2", S | B, B | w(2), B, 0},
    {"lac\t[w2++], #3, a", S | A | w(2), A | w(2) | M, A, w(2)},
    {"lac\t[w2+w3], b", S | B, B | w(2) | w(3) | M, B, w(2) | w(3)},
    {"lac\tw6, a", S | A, A | w(6), A, 0},
    {"sac\ta, [w2]", A | M, A | w(2), A, 0},
    {"sac.r\tb, #1, [w3--]", B | M | w(3), B, B | w(3), 0},
    {"sac\ta, w5", A | w(5), A, A | w(5), 0},
};

TEST(DspEncoders, ResourcesHandedToTheScheduler) {
    for (const ResourceCase& c : resource_cases) {
        AsmRun run = assemble_dsp(std::string("\t") + c.line + "\n", {"-s"});
        ASSERT_EQ(run.status, 0) << c.line << "\n" << run.errors;
        ASSERT_NE(schedule_block_list, nullptr) << c.line;
        const SchedInstruction* record = schedule_block_list->first;
        ASSERT_NE(record, nullptr) << c.line;
        EXPECT_EQ(record->slots, 1) << c.line;  // each may fill one delay slot
        EXPECT_EQ(record->arch.defs, c.arch_defs) << c.line;
        EXPECT_EQ(record->arch.uses, c.arch_uses) << c.line;
        EXPECT_EQ(record->hazard.defs, c.hazard_defs) << c.line;
        EXPECT_EQ(record->hazard.uses, c.hazard_uses) << c.line;
    }
}

// None of these instructions ends a block by itself; W15 as SFTAC's shift
// register or in either register of a LAC or SAC address does, and the
// instruction is then not recorded.
TEST(DspEncoders, StackPointerOperandsEndTheAbstractionBlock) {
    AsmRun run = assemble_dsp(
        "\tsftac\ta, w14\n"
        "\tsftac\ta, w15\n"
        "\tlac\t[w1], a\n"
        "\tmovsac\tb\n"
        "\tlac\t[w15], a\n"
        "\tsac\ta, [w2+w15]\n"
        "\tmac\tw4*w5, a, [w8], w4\n"
        "\tsac\ta, [w15++]\n"
        "\ted\tw4*w4, a, [w8], [w10], w4\n"
        "\treturn\n",
        {"-b"});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(recorded_block_words(), (std::vector<std::vector<uint32_t>>{
                                    {0xC8000E},
                                    {0xCA0011, 0xC78112},
                                    {0xC00012},
                                    {0xF04003, 0x060000},
                                }));
}

// A literal that refers to a symbol goes to the abstraction with it.
TEST(DspEncoders, LiteralSymbolsAreRecorded) {
    AsmRun run = assemble_dsp(
        "\tsftac\ta, #_shift\n"
        "\tlac\t[w1], #_scale, a\n"
        "\tsac\ta, #_scale, [w1]\n"
        "\tmovsac\ta\n"
        "\treturn\n",
        {"-b"});
    ASSERT_EQ(run.status, 0) << run.errors;
    std::vector<const PaInstruction*> records = recorded_instructions();
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0]->encoding.symbol, symbol("_shift"));
    EXPECT_EQ(records[0]->encoding.word, 0xC80040u);  // bit 6 with the field 0
    EXPECT_EQ(records[1]->encoding.symbol, symbol("_scale"));
    EXPECT_EQ(records[2]->encoding.symbol, symbol("_scale"));
    EXPECT_EQ(records[3]->encoding.symbol, nullptr);
}

}  // namespace
