// The divide, multiply, stack, file-skip, compare, link, exchange, byte
// swap and bit scan encoders seen through the two recorders: the resource
// pairs and slot counts the scheduler gets (with -s), and the words,
// relocation symbols and block ends the abstraction gets.
#include <cstdint>
#include <string>
#include <vector>

#include "asm_support.h"
#include "encoder_test_support.h"
#include "paasmis.h"
#include "paasmpa.h"
#include "paasmquodra.h"

namespace {

constexpr uint32_t w0_to_w3 = 0xF;

const char* const misc_head = "\t.section\t.text,code\n\t.set\t___PA___,1\n_f:\n";

// Assembles the source on a family: the default one unless named.
AsmRun misc_assemble(const std::string& source, const char* family, std::vector<std::string> options) {
    if (family != nullptr) options.push_back(std::string("--mcpu=") + family);
    return assemble(source, std::move(options));
}

// Every scheduler record in source order, over all blocks.
std::vector<const SchedInstruction*> misc_sched_records() {
    std::vector<const SchedInstruction*> out;
    for (const SchedBlock* block = schedule_block_list; block != nullptr; block = block->next) {
        for (const SchedInstruction* i = block->first; i != nullptr; i = i->next) out.push_back(i);
        if (block->branch != nullptr) out.push_back(block->branch);
    }
    return out;
}

struct PairCase {
    const char* line;
    const char* family;  // none: the default family
    uint32_t arch_defs;
    uint32_t arch_uses;
    uint32_t hazard_defs;
    uint32_t hazard_uses;
};

const PairCase pair_cases[] = {
    // DIV writes W0, W1 and the status; a double dividend reads the pair.
    {"div\tw2,w4", nullptr, S | w(0) | w(1), w(2) | w(4), w(0) | w(1), 0},
    {"div.sd\tw2,w4", nullptr, S | w(0) | w(1), w(2) | w(3) | w(4), w(0) | w(1), 0},
    {"div.ud\tw14,w0", nullptr, S | w(0) | w(1), w(14) | w(15) | w(0), w(0) | w(1), 0},
    {"div.uw\tw14,w0", nullptr, S | w(0) | w(1), w(14) | w(0), w(0) | w(1), 0},
    {"divf\tw2,w4", nullptr, S | w(0) | w(1), w(2) | w(4), w(0) | w(1), 0},
    // PUSH writes the stack, POP reads it; both move W15.
    {"push\tw1", nullptr, w(15) | M, w(15) | w(1), w(15), 0},
    {"push\t[w3]", nullptr, w(15) | M, w(15) | w(3) | M, w(15), w(3)},
    {"push\t[w2+w3]", nullptr, w(15) | M, w(15) | w(2) | w(3) | M, w(15), w(2) | w(3)},
    {"push\t0x1234", nullptr, w(15) | M, w(15) | M, w(15), 0},
    {"push.d\tw4", nullptr, w(15) | M, w(15) | w(4) | w(5), w(15), 0},
    {"push.d\tw15", nullptr, w(15) | M, w(15), w(15), 0},
    {"push.s", nullptr, 0, w0_to_w3 | S, 0, 0},
    {"pop.s", nullptr, w0_to_w3 | S, 0, w0_to_w3 | S, 0},
    {"pop\tw2", nullptr, w(15) | w(2), w(15) | M, w(2), w(15)},
    {"pop\t[w5]", nullptr, w(15) | M, w(15) | w(5) | M, 0, w(15)},
    {"pop\t0x800", nullptr, w(15) | M, w(15) | M, 0, w(15)},
    {"pop.d\tw6", nullptr, w(15) | w(6) | w(7), w(15) | M, w(6) | w(7), w(15)},
    {"pop.d\tw15", nullptr, w(15), w(15) | M, w(15), w(15)},
    // The file-register skips of family 0x01.
    {"decsz\t0x800", "GENERIC-16BIT", M, M, 0, 0},
    {"incsnz\t0x800,wreg", "GENERIC-16BIT", w(0), M, w(0), 0},
    {"cpseq\t0x800", "GENERIC-16BIT", 0, M, 0, 0},
    // CP reads; CPB reads the status too.
    {"cp\tw1,#5", nullptr, S, w(1), 0, 0},
    {"cp\tw1,[w2++]", nullptr, S | w(2), w(1) | w(2) | M, 0, w(2)},
    {"cp\t0x800", nullptr, S, M | w(0), 0, 0},
    {"cpb\tw1,w2", nullptr, S, S | w(1) | w(2), 0, 0},
    {"cp\tw1,#0x80", "GENERIC-16BIT-EP", S, w(1), 0, 0},
    // MUL writes its destination pair; W15's pair is W15 alone.
    {"mul.ss\tw2,w3,w4", nullptr, w(4) | w(5), w(2) | w(3), w(4) | w(5), 0},
    {"mul.su\tw2,[w3],w6", nullptr, w(6) | w(7), w(2) | w(3) | M, w(6) | w(7), w(3)},
    {"mul.uu\tw3,w4,w15", nullptr, w(15), w(3) | w(4), w(15), 0},
    {"mul\t0x800", nullptr, w(2) | w(3), w(0) | M, w(2) | w(3), 0},
    {"mul.b\t0x800", nullptr, w(2), w(0) | M, w(2), 0},
    {"mul.us\tw2,#7,a", "GENERIC-16BIT-EP", A, w(2), A, 0},
    {"mul.ss\tw2,w3,b", "GENERIC-16BIT-EP", B, w(2) | w(3), B, 0},
    {"mulw.ss\tw2,w3,w4", "GENERIC-16BIT-EP", w(4) | w(5), w(2) | w(3), w(4) | w(5), 0},
    // MULW writes the even register its field names.
    {"mulw.uu\tw0,w1,w5", "GENERIC-16BIT-EP", w(4) | w(5), w(0) | w(1), w(4) | w(5), 0},
    {"mulw.ss\tw2,w3,w13", "GENERIC-16BIT-EP", w(12) | w(13), w(2) | w(3), w(12) | w(13), 0},
    // ".d" has no effect on MUL f: the word form, which writes W2 and W3.
    {"mul.d\t0x800", nullptr, w(2) | w(3), w(0) | M, w(2) | w(3), 0},
    {"mulw.d\t0x800", "GENERIC-16BIT-EP", w(2) | w(3), w(0) | M, w(2) | w(3), 0},
    // LNK, EXCH, the bit scans, BSW.
    {"lnk\t#8", nullptr, w(14) | w(15), w(14) | w(15), w(14) | w(15), w(15)},
    {"exch\tw1,w2", nullptr, w(1) | w(2), w(1) | w(2), w(1) | w(2), 0},
    {"se\t[w1],w2", nullptr, S | w(2), w(1) | M, w(2), w(1)},
    {"ff1r\tw3,w4", nullptr, S | w(4), w(3), w(4), 0},
    // BSW writes a flag into its first operand and reads the flag.
    {"bsw.c\tw4,w5", nullptr, w(4), S | w(4) | w(5), w(4), 0},
    {"bsw\t[w2],w3", nullptr, M, S | w(2) | w(3) | M, 0, w(2)},
};

TEST(MiscEncoders, ResourcePairsByForm) {
    for (const PairCase& c : pair_cases) {
        SCOPED_TRACE(c.line);
        AsmRun run = misc_assemble(std::string(misc_head) + "\t" + c.line + "\n\treturn\n", c.family, {"-s"});
        ASSERT_EQ(run.status, 0) << run.errors;
        std::vector<const SchedInstruction*> records = misc_sched_records();
        ASSERT_EQ(records.size(), 2u);  // the instruction and the return
        EXPECT_EQ(records[0]->arch.defs, c.arch_defs);
        EXPECT_EQ(records[0]->arch.uses, c.arch_uses);
        EXPECT_EQ(records[0]->hazard.defs, c.hazard_defs);
        EXPECT_EQ(records[0]->hazard.uses, c.hazard_uses);
    }
}

// Every row here may fill a delay slot. (The skips are merged with the
// instruction in their shadow, so their own counts do not show here.)
TEST(MiscEncoders, SlotCounts) {
    AsmRun run = misc_assemble(std::string(misc_head) +
                                   "\tdiv\tw2,w4\n\tdivf\tw2,w4\n\tpush\tw1\n\tpop.s\n\tcp\tw1,w2\n\tmul\t0x800\n"
                                   "\tlnk\t#2\n\texch\tw1,w2\n\tse\tw1,w2\n\tbsw\tw1,w2\n\treturn\n",
                               nullptr, {"-s"});
    ASSERT_EQ(run.status, 0) << run.errors;
    std::vector<const SchedInstruction*> records = misc_sched_records();
    ASSERT_EQ(records.size(), 11u);
    for (size_t i = 0; i + 1 < records.size(); ++i) EXPECT_EQ(records[i]->slots, 1) << "record " << i;
}

struct BlockCase {
    const char* middle;  // between two DIVs, which never end a block
    const char* family;
    std::vector<std::vector<uint32_t>> blocks;
};

constexpr uint32_t DIV_W2_W4 = 0xD80104;

// Every PUSH, POP and LNK ends the abstraction block without being
// recorded; so does a W15 operand; the file skips and everything else are
// recorded and the block goes on.
const BlockCase block_cases[] = {
    {"push\tw1", nullptr, {{DIV_W2_W4}, {DIV_W2_W4}}},
    {"push.s", nullptr, {{DIV_W2_W4}, {DIV_W2_W4}}},
    {"pop.d\tw4", nullptr, {{DIV_W2_W4}, {DIV_W2_W4}}},
    {"pop\t0x800", nullptr, {{DIV_W2_W4}, {DIV_W2_W4}}},
    {"lnk\t#4", nullptr, {{DIV_W2_W4}, {DIV_W2_W4}}},
    {"div\tw15,w1", nullptr, {{DIV_W2_W4}, {DIV_W2_W4}}},
    {"divf\tw1,w15", nullptr, {{DIV_W2_W4}, {DIV_W2_W4}}},
    {"exch\tw15,w0", nullptr, {{DIV_W2_W4}, {DIV_W2_W4}}},
    {"mul.uu\tw3,w4,w15", nullptr, {{DIV_W2_W4}, {DIV_W2_W4}}},
    {"mul.ss\tw2,[w15],w4", nullptr, {{DIV_W2_W4}, {DIV_W2_W4}}},
    {"cp\tw15,[w1]", nullptr, {{DIV_W2_W4}, {DIV_W2_W4}}},
    {"cp\tw1,[w15]", nullptr, {{DIV_W2_W4}, {DIV_W2_W4}}},
    {"se\t[w15],w1", nullptr, {{DIV_W2_W4}, {DIV_W2_W4}}},
    {"ze\tw1,w15", nullptr, {{DIV_W2_W4}, {DIV_W2_W4}}},
    {"bsw\t[w15],w1", nullptr, {{DIV_W2_W4}, {DIV_W2_W4}}},
    {"bsw\tw1,w15", nullptr, {{DIV_W2_W4}, {DIV_W2_W4}}},
    {"div.ud\tw14,w0", nullptr, {{DIV_W2_W4, 0xD8FF40, DIV_W2_W4}}},
    {"mul.ss\tw0,w1,w14", nullptr, {{DIV_W2_W4, 0xB98701, DIV_W2_W4}}},
    {"exch\tw1,w2", nullptr, {{DIV_W2_W4, 0xFD0101, DIV_W2_W4}}},
    {"decsz\t0x800", "GENERIC-16BIT", {{DIV_W2_W4, 0xE52800, DIV_W2_W4}}},
    {"cpseq\t0x800", "GENERIC-16BIT", {{DIV_W2_W4, 0xE78800, DIV_W2_W4}}},
};

TEST(MiscEncoders, AbstractionBlocks) {
    for (const BlockCase& c : block_cases) {
        SCOPED_TRACE(c.middle);
        // -b: the records as recorded, with no optimiser run over them.
        AsmRun run = misc_assemble(std::string(misc_head) + "\tdiv\tw2,w4\n\t" + c.middle + "\n\tdiv\tw2,w4\n",
                                   c.family, {"-b"});
        ASSERT_EQ(run.status, 0) << run.errors;
        EXPECT_EQ(recorded_block_words(), c.blocks);
    }
}

// MUL's destination field by family. Where the family has MULW and the
// accumulator destination, field 14 is A, 15 is B and bit 7 is MULW's own
// bit, so W14, W15 and an odd register (for MULW, W14 and W15) would encode
// a different instruction: error 14, and the word keeps the fields before
// the destination. Elsewhere every working register is a destination.
struct MulDestinationCase {
    const char* line;
    const char* family;
    bool refused;
    uint32_t word;
};

// Fields: 0xB98000 ".ss" (0xB80000 ".uu"), Wb << 11, Ws, Wd << 7; MULW
// adds bit 7.
const MulDestinationCase mul_destination_cases[] = {
    {"mul.ss\tw2,w3,w14", "GENERIC-16BIT-EP", true, 0xB98000 | 2 << 11 | 3},
    {"mul.ss\tw2,w3,w15", "GENERIC-16BIT-EP", true, 0xB98000 | 2 << 11 | 3},
    {"mul.uu\tw2,w3,w5", "GENERIC-16BIT-EP", true, 0xB80000 | 2 << 11 | 3},
    {"mul.ss\tw2,w3,w14", "GENERIC-16DSP-CH", true, 0xB98000 | 2 << 11 | 3},
    {"mulw.ss\tw2,w3,w14", "GENERIC-16BIT-EP", true, 0xB98080 | 2 << 11 | 3},
    {"mulw.ss\tw2,w3,w15", "GENERIC-16BIT-EP", true, 0xB98080 | 2 << 11 | 3},
    {"mul.ss\tw2,w3,w12", "GENERIC-16BIT-EP", false, 0xB98000 | 2 << 11 | 3 | 12 << 7},
    {"mul.ss\tw2,w3,a", "GENERIC-16BIT-EP", false, 0xB98000 | 2 << 11 | 3 | 14 << 7},
    {"mul.ss\tw2,w3,b", "GENERIC-16BIT-EP", false, 0xB98000 | 2 << 11 | 3 | 15 << 7},
    {"mulw.ss\tw2,w3,w12", "GENERIC-16BIT-EP", false, 0xB98080 | 2 << 11 | 3 | 12 << 7},
    {"mulw.ss\tw2,w3,w13", "GENERIC-16BIT-EP", false, 0xB98080 | 2 << 11 | 3 | 12 << 7},
    {"mul.ss\tw2,w3,w14", nullptr, false, 0xB98000 | 2 << 11 | 3 | 14 << 7},
    {"mul.ss\tw2,w3,w15", "GENERIC-16BIT", false, 0xB98000 | 2 << 11 | 3 | 15 << 7},
    {"mul.uu\tw2,w3,w5", "GENERIC-16BIT-DA", false, 0xB80000 | 2 << 11 | 3 | 5 << 7},
};

TEST(MiscEncoders, MulDestinationsThatWouldEncodeAnotherInstruction) {
    for (const MulDestinationCase& c : mul_destination_cases) {
        SCOPED_TRACE(std::string(c.line) + " " + (c.family != nullptr ? c.family : "default"));
        AsmRun run = misc_assemble(std::string(misc_head) + "\t" + c.line + "\n\treturn\n", c.family, {"-w"});
        EXPECT_EQ(run.status, c.refused ? 1 : 0);
        EXPECT_EQ(run.errors, c.refused ? error_line(4, 14, "Invalid operand") : "");
        std::vector<uint32_t> cells = cells_of(".text");
        ASSERT_EQ(cells.size(), 2u);
        EXPECT_EQ(cells[0], c.word);
    }
}

// A file register or data address that names a label goes with the word
// as its relocation symbol.
TEST(MiscEncoders, RelocationSymbolIsRecorded) {
    AsmRun run = misc_assemble(std::string("\t.section\t.nbss,bss\n_count:\t.space\t2\n") + misc_head +
                                   "\tdecsz\t_count\n\tcp\t_count\n\tmul.b\t_count\n\tcpseq\t_count\n\tcp.b\t_count\n",
                               "GENERIC-16BIT", {"-b"});
    ASSERT_EQ(run.status, 0) << run.errors;
    std::vector<const PaInstruction*> records = recorded_instructions();
    ASSERT_EQ(records.size(), 5u);
    for (const PaInstruction* record : records) EXPECT_EQ(record->encoding.symbol, symbol("_count"));
}

// A double dividend in W15 has no upper register: an error, and the
// statement keeps its one word, so the next label stays where pass 1 put it.
// The pair of a multiply into W15 is W15 alone: the next pointer use of
// W15 is a hazard, and nothing else is.
TEST(MiscEncoders, RegisterPairsAtTheLastRegister) {
    AsmRun run = misc_assemble(std::string(misc_head) + "\tdiv.sd\tw15,w0\n_next:\n\tdiv\tw2,w4\n", nullptr, {});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(4, 14, "Invalid operand"));
    EXPECT_EQ(value_of("_next"), 2u);

    run = misc_assemble(std::string(misc_head) + "\tmul.uu\tw3,w4,w15\n\tse\t[w15],w1\n\treturn\n", nullptr, {"-w"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, warning_line(5, 8, "Use of register 'W15' causes RAW hazard"));
}

}  // namespace
