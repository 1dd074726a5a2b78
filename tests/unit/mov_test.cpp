// The move encoder seen through the two recorders: the resources and slot
// count each form hands the scheduler, and which moves the abstraction
// records (every W15 operand ends its block, except a W15-relative literal
// offset that leaves room for one more call level, outside a skip or
// REPEAT shadow). Each source runs in-process with -s, so that the
// scheduler records too and the abstraction's search leaves the records
// as they were recorded; records are found by their source line.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "asm_support.h"
#include "encoder_test_support.h"
#include "paasmis.h"
#include "paasmpa.h"
#include "paasmquodra.h"

namespace {

// The lines before the first instruction of every source below.
const char* const prologue =
    "\t.section\t.text,code\n"
    "\t.set\t___PA___,1\n"
    "_f:\n";
constexpr int first_line = 4;

struct Records {
    AsmRun run;
    std::map<int, PaInstruction> recorded;       // abstraction records by line
    std::map<int, SchedInstruction> scheduled;   // scheduler records by line
};

Records assemble_moves(const std::vector<std::string>& lines, std::vector<std::string> options = {}) {
    std::string source = prologue;
    for (const std::string& line : lines) source += "\t" + line + "\n";
    options.push_back("-s");
    Records records;
    records.run = assemble(source, options);
    for (PaBlock* block = basic_block_list.head; block != nullptr; block = block->next)
        for (PaInstruction* record = block->first; record != nullptr; record = record->next)
            if (record->size != 0) records.recorded[record->first_line] = *record;
    for (SchedBlock* block = schedule_block_list; block != nullptr; block = block->next)
        for (SchedInstruction* record = block->first; record != nullptr; record = record->next)
            records.scheduled[record->line] = *record;
    return records;
}

// The source lines of a table of cases.
template <typename Case, size_t N>
std::vector<std::string> lines_of(const Case (&cases)[N]) {
    std::vector<std::string> lines;
    for (const Case& c : cases) lines.push_back(c.line);
    return lines;
}

// ---- Resources and slot counts --------------------------------------------------

struct MoveCase {
    const char* line;
    ResourcePair arch;
    ResourcePair hazard;
    int32_t slots;
};

const MoveCase resource_cases[] = {
    {"mov #0x1234,w5", {w(5), 0}, {w(5), 0}, 1},
    {"mov.b #0x12,w3", {w(3), 0}, {w(3), 0}, 1},
    {"mov [w1++],w2", {w(1) | w(2), w(1) | M}, {w(2), w(1)}, 1},
    {"mov [--w1],w2", {w(1) | w(2), w(1) | M}, {w(2), w(1)}, 1},
    {"mov [w1],[w2++]", {w(2) | M, w(1) | M}, {w(2), w(1)}, 1},
    {"mov [w1+w2],[w3]", {M, w(1) | w(2) | w(3) | M}, {0, w(1) | w(2)}, 1},
    {"mov [w14-6],w0", {w(0), w(14) | M}, {w(0), w(14)}, 1},
    {"mov w1,w2", {w(2), w(1)}, {w(2), 0}, 1},
    {"mov w1,[w2]", {M, w(1) | w(2)}, {0, 0}, 1},
    {"mov w1,[w2++]", {w(2) | M, w(1) | w(2)}, {w(2), 0}, 1},
    {"mov w1,[--w2]", {w(2) | M, w(1) | w(2)}, {w(2), 0}, 1},
    {"mov w1,[w2+w3]", {M, w(1) | w(2) | w(3)}, {0, 0}, 1},
    {"mov w1,[w14+4]", {M, w(1) | w(14)}, {0, 0}, 1},
    {"mov w1,0x800", {M, w(1)}, {0, 0}, 1},
    {"mov wreg,0x50", {M, w(0)}, {0, 0}, 1},
    {"mov 0x800,w1", {w(1), M}, {w(1), 0}, 1},
    {"mov 0x50,wreg", {w(0) | S, M}, {w(0), 0}, 1},
    {"mov 0x50", {S, M}, {0, 0}, 1},
    // A double move reads and writes register pairs and takes two slots.
    {"mov.d w0,w2", {w(2) | w(3), w(0) | w(1)}, {w(2) | w(3), 0}, 2},
    {"mov.d [w1],w4", {w(4) | w(5), w(1) | M}, {w(4) | w(5), w(1)}, 2},
    {"mov.d [w1++],w4", {w(1) | w(4) | w(5), w(1) | M}, {w(4) | w(5), w(1)}, 2},
    {"mov.d w2,[w1++]", {w(1) | M, w(1) | w(2) | w(3)}, {w(1), 0}, 2},
    {"mov.d w2,[w1]", {M, w(1) | w(2) | w(3)}, {0, 0}, 2},
    // ".d" that no form honours still counts two slots, and a register
    // source is still read as a pair.
    {"mov.d [w14+4],w0", {w(0), w(14) | M}, {w(0), w(14)}, 2},
    {"mov.d 0x800,w1", {w(1), M}, {w(1), 0}, 2},
    {"mov.d w4,[w1+w2]", {M, w(1) | w(2) | w(4) | w(5)}, {0, 0}, 2},
    {"mov.d w4,0x800", {M, w(4) | w(5)}, {0, 0}, 2},
};

TEST(mov, resources_and_slots_of_each_form) {
    Records records = assemble_moves(lines_of(resource_cases));
    ASSERT_EQ(records.run.status, 0) << records.run.errors;
    int line = first_line;
    for (const MoveCase& c : resource_cases) {
        SCOPED_TRACE(c.line);
        auto found = records.scheduled.find(line++);
        ASSERT_NE(found, records.scheduled.end());
        const SchedInstruction& record = found->second;
        EXPECT_EQ(record.arch.defs, c.arch.defs);
        EXPECT_EQ(record.arch.uses, c.arch.uses);
        EXPECT_EQ(record.hazard.defs, c.hazard.defs);
        EXPECT_EQ(record.hazard.uses, c.hazard.uses);
        EXPECT_EQ(record.slots, c.slots);
    }
}

TEST(mov, movpag_defines_its_page_register) {
    Records records = assemble_moves({"movpag #1,dswpag", "movpag #2,tblpag"}, {"--mcpu=GENERIC-16BIT-EP"});
    ASSERT_EQ(records.run.status, 0) << records.run.errors;
    ASSERT_EQ(records.scheduled.count(first_line), 1u);
    ASSERT_EQ(records.scheduled.count(first_line + 1), 1u);
    const SchedInstruction& dswpag = records.scheduled[first_line];
    EXPECT_EQ(dswpag.arch.defs, static_cast<uint32_t>(RES_DSWPAG));
    EXPECT_EQ(dswpag.hazard.defs, static_cast<uint32_t>(RES_DSWPAG));
    EXPECT_EQ(records.scheduled[first_line + 1].arch.defs, static_cast<uint32_t>(RES_TBLPAG));
    // MOVPAG never ends an abstraction block.
    EXPECT_EQ(records.recorded.count(first_line), 1u);
}

// ---- Which moves the abstraction records ------------------------------------------

struct RecordCase {
    const char* line;
    bool recorded;
};

const RecordCase record_cases[] = {
    // W15-relative literal offsets down to -1020 bytes (word) or -508 (byte).
    {"mov [w15-6],w0", true},
    {"mov [w15-1020],w0", true},
    {"mov [w15-1022],w0", false},
    {"mov.b [w15-508],w0", true},
    {"mov.b [w15-509],w0", false},
    {"mov [w15+100],w0", true},
    {"mov [w15-6],w15", false},
    {"mov w0,[w15-10]", true},
    {"mov w0,[w15-1020]", true},
    {"mov w0,[w15-1022]", false},
    {"mov.b w0,[w15-508]", true},
    {"mov.b w0,[w15-509]", false},
    {"mov w15,[w15-10]", false},
    {"mov w15,[w14+2]", false},
    {"mov [w14-6],w15", false},
    // Every other W15 operand ends the block.
    {"mov [w15],w0", false},
    {"mov [w15++],w0", false},
    {"mov w0,[w15]", false},
    {"mov w0,[--w15]", false},
    {"mov [w1],[w15]", false},
    {"mov [w1+w15],w0", false},
    {"mov w0,[w1+w15]", false},
    {"mov w15,w0", false},
    {"mov w0,w15", false},
    {"mov #1,w15", false},
    {"mov.b #1,w15", false},
    {"mov 0x800,w15", false},
    {"mov w15,0x800", false},
    // A pair that includes W15.
    {"mov.d w14,w0", false},
    {"mov.d w0,w14", false},
    {"mov.d [w1],w14", false},
    {"mov.d w14,[w1]", false},
    {"mov.d w12,w0", true},
    // Moves without W15.
    {"mov [w14-6],w0", true},
    {"mov w0,[w14+2]", true},
    {"mov 0x50,wreg", true},
    {"mov w1,w2", true},
};

TEST(mov, w15_moves_that_stay_in_the_abstraction_block) {
    Records records = assemble_moves(lines_of(record_cases));
    ASSERT_EQ(records.run.status, 0) << records.run.errors;
    int line = first_line;
    for (const RecordCase& c : record_cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(records.recorded.count(line++), c.recorded ? 1u : 0u);
    }
}

TEST(mov, stack_moves_are_recorded_with_their_offset_in_the_word) {
    Records records = assemble_moves({"mov [w15-6],w0", "mov w0,[w15-10]", "mov.b [w15-6],w0"});
    ASSERT_EQ(records.run.status, 0) << records.run.errors;
    ASSERT_EQ(records.recorded.size(), 3u);
    EXPECT_EQ(records.recorded[first_line].encoding.word, 0x97B85Fu);      // offset -3 words
    EXPECT_EQ(records.recorded[first_line + 1].encoding.word, 0x9FBFB0u);  // offset -5 words
    EXPECT_EQ(records.recorded[first_line + 2].encoding.word, 0x97F82Fu);  // offset -6 bytes
}

TEST(mov, stack_moves_in_a_skip_or_repeat_shadow_end_the_block) {
    Records records = assemble_moves({
        "repeat #3",
        "mov [w15-6],w0",  // in the REPEAT's shadow
        "mov [w15-6],w0",
        "btsc w1,#0",
        "mov w0,[w15-4]",  // in the skip's shadow
        "mov w0,[w15-4]",
        "btss w1,#0",
        "mov w0,[w14+4]",  // no W15: the shadow does not matter
    });
    ASSERT_EQ(records.run.status, 0) << records.run.errors;
    EXPECT_EQ(records.recorded.count(first_line + 1), 0u);
    EXPECT_EQ(records.recorded.count(first_line + 2), 1u);
    EXPECT_EQ(records.recorded.count(first_line + 4), 0u);
    EXPECT_EQ(records.recorded.count(first_line + 5), 1u);
    EXPECT_EQ(records.recorded.count(first_line + 7), 1u);
}

TEST(mov, relocation_symbol_is_recorded_with_the_word) {
    std::string source =
        "\t.data\n"
        "_a:\t.word\t0\n"
        "\t.section\t.text,code\n"
        "\t.set\t___PA___,1\n"
        "_f:\n"
        "\tmov\t#_a,w1\n"
        "\tmov\t_a,w2\n"
        "\tmov\t#0,w1\n";
    AsmRun run = assemble(source, {"-s"});
    ASSERT_EQ(run.status, 0) << run.errors;
    std::vector<PaEncoding> encodings;
    for (const PaInstruction* record : recorded_instructions()) encodings.push_back(record->encoding);
    ASSERT_EQ(encodings.size(), 3u);
    Symbol* a = symbol("_a");
    ASSERT_NE(a, nullptr);
    // #_a and #0 have the same word; only the symbol tells them apart.
    EXPECT_EQ(encodings[0].word, 0x200001u);
    EXPECT_EQ(encodings[0].symbol, a);
    EXPECT_EQ(encodings[1].word, 0x800002u);
    EXPECT_EQ(encodings[1].symbol, a);
    EXPECT_EQ(encodings[2].word, 0x200001u);
    EXPECT_EQ(encodings[2].symbol, nullptr);
}

// ---- Read-after-write hazards through the hazard pairs -----------------------------

TEST(mov, pointers_written_by_one_move_and_used_by_the_next_warn) {
    std::string source = std::string(prologue) +
                         "\tmov\tw1,w2\n"
                         "\tmov\t[w2],w3\n"       // W2 as a source pointer
                         "\tmov\t[w4+w3],w5\n"    // the index is one too
                         "\tmov\tw0,[w5]\n"       // a destination pointer is not
                         "\tmov\tw1,w6\n"
                         "\tmov\tw0,[w6++]\n"     // nor a modified one, but it is written
                         "\tmov\t[w1+w6],w0\n";
    AsmRun run = assemble_warn(source);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, warning_line(5, 8, "Use of register 'W2' causes RAW hazard") +
                              warning_line(6, 8, "Use of register 'W3' causes RAW hazard") +
                              warning_line(10, 8, "Use of register 'W6' causes RAW hazard"));
}

}  // namespace

namespace {

// A literal-offset move takes its size suffix before the offset: an offset
// that fails is the statement's only message, and the word is the form's,
// with the registers read before the failure. ".d" is never taken there.
struct OffsetErrorCase {
    const char* line;
    bool suffix_warning;
    uint32_t word;
};

const OffsetErrorCase offset_error_cases[] = {
    {"mov.b [w1+512],w0", false, 0x904000 | 1},
    {"mov.b [w1+600],w0", false, 0x904000 | 1},
    {"mov [w1+1024],w0", false, 0x900000 | 1},
    {"mov.b w0,[w1+600]", false, 0x984000 | 1 << 7},
    {"mov.w w2,[w3-1026]", false, 0x980000 | 2 | 3 << 7},
    {"mov.d [w1+2000],w0", true, 0x900000 | 1},
};

TEST(mov, offset_errors_leave_no_suffix_unused) {
    for (const OffsetErrorCase& c : offset_error_cases) {
        SCOPED_TRACE(c.line);
        AsmRun run = assemble(std::string(prologue) + "\t" + c.line + "\n", {"-w"});
        EXPECT_EQ(run.status, 1);
        std::string expected = error_line(first_line, 21, "Operand out of range");
        if (c.suffix_warning) expected += warning_line(first_line, 7, "Mnemonic suffix has no effect on this instruction");
        EXPECT_EQ(run.errors, expected);
        std::vector<uint32_t> cells = cells_of(".text");
        ASSERT_EQ(cells.size(), 1u);
        EXPECT_EQ(cells[0], c.word);
    }
}

}  // namespace
