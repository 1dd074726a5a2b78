// The instruction statement entry and the finish every encoder shares:
// label and suffix warnings, the class dispatch, error reporting, the
// instruction count, the hazard check against the previous instruction
// and what the two optimisers' recorders are told.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "asm_support.h"
#include "paasmis.h"
#include "paasmpa.h"
#include "paasmquodra.h"
#include "test_support.h"

namespace {

const char* const head = "\t.section\t.text,code\n";

using Cells = std::vector<uint32_t>;

// ---- Dispatch ---------------------------------------------------------------------------------

TEST(Entry, AClassWithoutAnEncoderIsAnInternalError) {
    for (uint16_t encoder_class : {uint16_t{0}, uint16_t{35}, uint16_t{0xFFFF}}) {
        test_support::start_run();
        main_source.line = 12;
        pass_number = 1;
        lex_reset();
        MnemonicEntry row{"FAKE", 0x123456, 0x6F, encoder_class, nullptr, 0, 1, 0, 0, 0, 0, 0};
        testing::internal::CaptureStderr();
        try {
            tgt_assemble_instruction(SymbolKey{}, &row);
            ADD_FAILURE() << "no fatal error for class " << encoder_class;
        } catch (const AsmTrap& trap) {
            EXPECT_EQ(trap.status, 15);
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "prog.s: line 0012: PA-F0001 Fatal: Internal error detected (../src/paasmquodra,1430)\n")
            << encoder_class;
        EXPECT_EQ(current_section->location, 0u);  // nothing was emitted
    }
}

// ---- Warnings and errors of the entry ---------------------------------------------------------

TEST(Entry, WarningsAndErrors) {
    struct Case {
        const char* body;
        std::string messages;  // with -w
        Cells cells;
    } cases[] = {
        // A label before an instruction is dropped; the instruction is encoded.
        {"L1:\tnop\n", warning_line(2, 3, "Extraneous label discarded"), {0x000000}},
        // An operand where none belongs.
        {"\tnop\tw1\n", warning_line(2, 2, "Extra characters on source statement"), {0x000000}},
        {"\tdisi\t#5, 3\n", warning_line(2, 2, "Extra characters on source statement"), {0xFC0005}},
        // A suffix the row refuses is dropped before encoding: one warning.
        {"\tswap.n\tw3\n", warning_line(2, 7, "Mnemonic suffix has no effect on this instruction"), {0xFD8003}},
        // A suffix the row takes but no form consumes: one warning afterwards.
        {"\tswap.d\tw3\n", warning_line(2, 7, "Mnemonic suffix has no effect on this instruction"), {0xFD8003}},
        {"\tcp0.d\tw1\n", warning_line(2, 7, "Mnemonic suffix has no effect on this instruction"), {0xE00001}},
        {"\tswap.b\tw3\n", "", {0xFDC003}},
        {"\tswap.w\tw3\n", "", {0xFD8003}},
        // Both warnings of the entry on one statement, label first.
        {"L2:\tswap.n\tw3, w4\n",
         warning_line(2, 3, "Extraneous label discarded") +
             warning_line(2, 7, "Mnemonic suffix has no effect on this instruction") +
             warning_line(2, 2, "Extra characters on source statement"),
         {0xFD8003}},
        // A failed operand is reported and not followed by warning 2; a
        // suffix left over still draws warning 7.
        {"\tdisi\t5\n", error_line(2, 41, "Expected immediate address mode"), {0xFC0000}},
        {"\tswap.d\t[w1]\n",
         error_line(2, 29, "Expected a hardware register operand") +
             warning_line(2, 7, "Mnemonic suffix has no effect on this instruction"),
         {0xFD8000}},
    };
    for (const Case& c : cases) {
        std::string source = std::string(head) + c.body;
        AsmRun quiet = assemble(source);
        bool failed = c.messages.find("Error") != std::string::npos;
        EXPECT_EQ(quiet.status, failed ? 1 : 0) << c.body;
        // Without -w only the errors print.
        std::string errors_only;
        for (size_t at = 0; at < c.messages.size();) {
            size_t end = c.messages.find('\n', at) + 1;
            std::string line = c.messages.substr(at, end - at);
            if (line.find("Error") != std::string::npos) errors_only += line;
            at = end;
        }
        EXPECT_EQ(quiet.errors, errors_only) << c.body;
        AsmRun loud = assemble_warn(source);
        EXPECT_EQ(loud.errors, c.messages) << c.body;
        EXPECT_EQ(cells_of(".text"), c.cells) << c.body;
        EXPECT_EQ(pending_suffix, 0u) << c.body;
    }
}

TEST(Entry, FailingInstructionsKeepTheirPlaceAndAreCounted) {
    AsmRun run = assemble(std::string(head) +
                          "\tnop\n"
                          "\tdisi\t5\n"    // error 41
                          "\tcom\ta\n"     // error 1
                          "\tinc\t0x100, w1\n"  // error 29
                          "after:\n"
                          "\tnop\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(3, 41, "Expected immediate address mode") + error_line(4, 1, "Syntax error") +
                              error_line(5, 29, "Expected a hardware register operand"));
    EXPECT_EQ(cells_of(".text"), (Cells{0x000000, 0xFC0000, 0xEA8000, 0xEC0100, 0x000000}));
    EXPECT_EQ(value_of("after"), 8u);
    EXPECT_EQ(section(".text")->instruction_count, 5);
}

// ---- The hazard check ------------------------------------------------------------------------

TEST(Entry, HazardCheckComparesWithThePreviousInstructionOfThisPass) {
    struct Case {
        const char* body;
        std::string warnings;
    } cases[] = {
        {"\tinc\tw0, w1\n\tinc\t[w1], w2\n", warning_line(3, 8, "Use of register 'W1' causes RAW hazard")},
        // An instruction is not compared with itself: the check runs
        // before its own definitions are remembered.
        {"\tinc\tw0, w2\n\tinc\t[w1], w1\n", ""},
        // The last instruction of pass 1 is no predecessor of the first
        // one of pass 2.
        {"\tinc\t[w1], w2\n\tinc\tw0, w1\n", ""},
        {"\tswap\tw5\n\tcp0\t[w5++]\n\tinc\t[w1], w2\n\tswap\tw1\n",
         warning_line(3, 8, "Use of register 'W5' causes RAW hazard")},
    };
    for (const Case& c : cases) {
        AsmRun run = assemble_warn(std::string(head) + c.body);
        EXPECT_EQ(run.status, 0) << c.body;
        EXPECT_EQ(run.errors, c.warnings) << c.body;
    }
}

// ---- What the recorders are told --------------------------------------------------------------

std::vector<Cells> abstraction_blocks() {
    std::vector<Cells> blocks;
    for (PaBlock* block = basic_block_list.head; block != nullptr; block = block->next) {
        Cells words;
        for (PaInstruction* i = block->first; i != nullptr; i = i->next) {
            words.push_back(i->encoding.word);
            if (i == block->last) break;
        }
        blocks.push_back(words);
    }
    return blocks;
}

TEST(Entry, AbstractionBlocks) {
    AsmRun run = assemble(std::string(head) +
                          "\t.set\t___PA___,1\n"
                          "\tnop\n"
                          "\treturn\n"      // recorded, then the block ends
                          "\tswap\tw1\n"
                          "\tretfie\n"      // ends the block unrecorded
                          "\tswap\tw2\n"
                          "\treset\n"       // an ordinary instruction here
                          "\tclrwdt\n"
                          "\tulnk\n"        // ends the block unrecorded
                          "\tinc\tw0, [w15]\n"  // a plain [W15] destination ends it too
                          "\tswap\tw15\n"   // W15 ends the block
                          "\tpreturn\n"
                          "\tinc\t[w15++], w0\n"
                          "\tcom\tw3, w4\n"
                          "\tclr\t[w15]\n"  // read and written: ends the block
                          "\tdec\tw4, w5\n"
                          "\tpretfie\n",
                          {"-b"});  // the records as recorded: no optimiser runs
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(abstraction_blocks(), (std::vector<Cells>{{0x000000, 0x060000},
                                                         {0xFD8001},
                                                         {0xFD8002, 0xFE0000, 0xFE6000},
                                                         {0x060000},
                                                         {0xEA8203},
                                                         {0xE90284}}));
}

struct SchedSummary {
    std::vector<int32_t> slots;  // the instructions' slot counts
    int32_t branch_slots = -99;  // no branch
    int32_t probability = 0;
    bool operator==(const SchedSummary&) const = default;
};

std::ostream& operator<<(std::ostream& out, const SchedSummary& s) {
    out << "{";
    for (int32_t n : s.slots) out << n << " ";
    return out << "| " << s.branch_slots << " " << s.probability << "}";
}

std::vector<SchedSummary> scheduling_blocks() {
    std::vector<SchedSummary> blocks;
    for (SchedBlock* block = schedule_block_list; block != nullptr; block = block->next) {
        SchedSummary summary;
        for (SchedInstruction* i = block->first; i != nullptr; i = i->next) summary.slots.push_back(i->slots);
        if (block->branch != nullptr) {
            summary.branch_slots = block->branch->slots;
            summary.probability = block->probability;
        }
        blocks.push_back(summary);
    }
    return blocks;
}

TEST(Entry, SchedulingBlocks) {
    AsmRun run = assemble(std::string(head) +
                          "\tnop\n"
                          "\ttblrdl\t[w1], w2\n"  // two slots
                          "\tswap\tw3\n"
                          "\treturn\n"            // one delay slot, certain
                          "\tclrwdt\n"
                          "\treset\n"             // no delay slot
                          "\tdisi\t#7\n"       // ends a block, and what it holds off stands alone
                          "\tulnk\n"
                          "\tretfie\n",
                          {"-s"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(scheduling_blocks(),
              (std::vector<SchedSummary>{{{1, 2, 1}, 1, 100}, {{1}, 0, 100}, {{1}, -99, 0}}));
}

TEST(Entry, ResourcePairsOfTheSimpleClasses) {
    AsmRun run = assemble(std::string(head) +
                          "\tswap\tw3\n"
                          "\tinc\t0x100, wreg\n"
                          "\tcom\t0x100\n"
                          "\tneg\tb\n"
                          "\tclr\t[w2++]\n"
                          "\tulnk\n"
                          "\tdaw\tw1\n"
                          "\tcp0\t0x22\n"
                          "\tsetm\twreg\n",
                          {"-s"});
    ASSERT_EQ(run.status, 0);
    ASSERT_NE(schedule_block_list, nullptr);
    struct Pairs {
        uint32_t arch_defs, arch_uses, hazard_defs, hazard_uses;
    } expected[] = {
        {0x8, 0x8, 0x8, 0},                         // swap w3
        {0x80000001, 0x40000000, 0x1, 0},           // inc f, wreg
        {0xC0000000, 0, 0, 0},                      // com f
        {0x80020000, 0x20000, 0, 0},                // neg b
        {0x40000004, 0x40000004, 0x4, 0x4},         // clr [w2++]: read and written
        {0xC000, 0x4000, 0xC000, 0x4000},           // ulnk
        {0x80000002, 0x2, 0x2, 0},                  // daw w1
        {0x80000000, 0x40000000, 0, 0},             // cp0 f
        {0x1, 0, 0x1, 0},                           // setm wreg
    };
    SchedInstruction* i = schedule_block_list->first;
    for (const Pairs& p : expected) {
        ASSERT_NE(i, nullptr);
        SCOPED_TRACE(i->line);
        EXPECT_EQ(i->arch.defs, p.arch_defs);
        EXPECT_EQ(i->arch.uses, p.arch_uses);
        EXPECT_EQ(i->hazard.defs, p.hazard_defs);
        EXPECT_EQ(i->hazard.uses, p.hazard_uses);
        i = i->next;
    }
    EXPECT_EQ(i, nullptr);
}

}  // namespace
