// Directives: the table and its lookup, the dispatcher, the non-data
// directives and the data directives. The handlers are checked by
// assembling small sources through the whole driver and looking at the
// symbols, the section images and the diagnostics afterwards.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "build_traits.h"
#include "paasmdiag.h"
#include "paasmdirectives.h"
#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmquodra.h"
#include "paasmsym.h"
#include "asm_support.h"

namespace {

// ---- The table and its lookup -------------------------------------------------

struct ExpectedRow {
    const char* name;
    int32_t elf_code;
    int32_t coff_code;  // 0: the row does not exist in the COFF build
};

// Every directive with its code in each build, in byte order of the names.
const ExpectedRow expected_rows[] = {
    {".2byte", 1, 0},       {".4byte", 2, 0},     {".align", 3, 1},     {".ascii", 4, 2},
    {".asciz", 7, 5},       {".byte", 8, 6},      {".data", 9, 7},      {".def", 10, 8},
    {".dim", 11, 9},        {".double", 12, 10},  {".end", 13, 11},     {".endef", 14, 12},
    {".equ", 15, 13},       {".extern", 16, 14},  {".file", 17, 15},    {".fillupper", 18, 16},
    {".float", 19, 17},     {".global", 20, 18},  {".ident", 21, 19},   {".line", 22, 20},
    {".ln", 22, 20},        {".loc", 23, 0},      {".long", 24, 21},    {".memory", 25, 22},
    {".popsection", 26, 23}, {".pushsection", 27, 24}, {".pword", 28, 25}, {".scl", 29, 26},
    {".section", 30, 27},   {".set", 31, 28},     {".size", 32, 29},    {".skip", 33, 30},
    {".sleb128", 34, 0},    {".space", 35, 31},   {".tag", 36, 32},     {".text", 37, 33},
    {".type", 38, 34},      {".uleb128", 39, 0},  {".val", 40, 35},     {".weak", 20, 18},
    {".word", 41, 36},
};

int32_t expected_code(const ExpectedRow& row) {
    if constexpr (BuildTraits::is_elf)
        return row.elf_code;
    else
        return row.coff_code;
}

TEST(Directives, TableHasTheBuildsRowsInOrderWithTheirCodes) {
    if constexpr (BuildTraits::is_elf)
        ASSERT_EQ(directive_count, 41);
    else
        ASSERT_EQ(directive_count, 36);
    int index = 0;
    for (const ExpectedRow& row : expected_rows) {
        if (expected_code(row) == 0) continue;
        ASSERT_LT(index, directive_count);
        EXPECT_STREQ(directive_table[index].name, row.name);
        EXPECT_EQ(directive_table[index].code, expected_code(row)) << row.name;
        ++index;
    }
    EXPECT_EQ(index, directive_count);
}

TEST(Directives, FindLooksUpEveryRowByItsRowIndex) {
    for (const ExpectedRow& row : expected_rows) {
        const DirectiveEntry* entry = dir_find(row.name);
        if (expected_code(row) == 0) {
            EXPECT_EQ(entry, nullptr) << row.name << " is no directive in this build";
            continue;
        }
        ASSERT_NE(entry, nullptr) << row.name;
        EXPECT_STREQ(entry->name, row.name);
        EXPECT_EQ(entry->code, expected_code(row));
        int index = dir_index_of(entry);
        ASSERT_GE(index, 0);
        EXPECT_EQ(&directive_table[index], entry);
    }
}

TEST(Directives, OnlyTheElfBuildHasItsFiveRows) {
    const char* elf_only[] = {".2byte", ".4byte", ".loc", ".sleb128", ".uleb128"};
    for (const char* name : elf_only) {
        if constexpr (BuildTraits::is_elf)
            EXPECT_NE(dir_find(name), nullptr) << name;
        else
            EXPECT_EQ(dir_find(name), nullptr) << name;
    }
}

TEST(Directives, FindFoldsTheWordsLettersAndNeedsTheWholeName) {
    struct Case {
        const char* word;
        const char* found;  // none: not a directive
    } cases[] = {
        {".TEXT", ".text"},     {".Text", ".text"},       {".PushSection", ".pushsection"},
        {".WORD", ".word"},     {".LN", ".ln"},           {".tex", nullptr},
        {".texts", nullptr},    {"text", nullptr},        {".text.", nullptr},
        {".wordy", nullptr},    {"", nullptr},            {".", nullptr},
        {".zzz", nullptr},      {".a", nullptr},          {".equ#", nullptr},
    };
    for (const Case& c : cases) {
        const DirectiveEntry* entry = dir_find(c.word);
        if (c.found == nullptr) {
            EXPECT_EQ(entry, nullptr) << c.word;
        } else {
            ASSERT_NE(entry, nullptr) << c.word;
            EXPECT_STREQ(entry->name, c.found);
        }
    }
    EXPECT_EQ(dir_find(nullptr), nullptr);
}

TEST(Directives, NamesSharingACodeAreDistinctRows) {
    const DirectiveEntry* global = dir_find(".global");
    const DirectiveEntry* weak = dir_find(".weak");
    const DirectiveEntry* line = dir_find(".line");
    const DirectiveEntry* ln = dir_find(".ln");
    ASSERT_TRUE(global && weak && line && ln);
    EXPECT_NE(global, weak);
    EXPECT_EQ(global->code, weak->code);
    EXPECT_NE(line, ln);
    EXPECT_EQ(line->code, ln->code);
}

TEST(Directives, IndexOfSomethingOutsideTheTableIsMinusOne) {
    DirectiveEntry foreign{".text", directive_table[0].code};
    EXPECT_EQ(dir_index_of(&foreign), -1);
    EXPECT_EQ(dir_index_of(nullptr), -1);
    EXPECT_EQ(dir_index_of(directive_table + directive_count - 1), directive_count - 1);
}

TEST(Directives, DispatchOfACodeWithoutAHandlerIsAnInternalError) {
    // Codes outside the table's range, and the two inside it that no name carries.
    std::vector<int32_t> codes = {0, -1, 1000};
    if constexpr (BuildTraits::is_elf)
        codes.insert(codes.end(), {5, 6, 42});
    else
        codes.insert(codes.end(), {3, 4, 37});
    for (int32_t code : codes) {
        main_source.name = "t.s";
        main_source.line = 12;
        DirectiveEntry entry{".bogus", code};
        testing::internal::CaptureStderr();
        try {
            dir_dispatch(SymbolKey{SYMKIND_ORDINARY, nullptr}, &entry);
            ADD_FAILURE() << "code " << code << " was dispatched";
        } catch (const AsmTrap& trap) {
            EXPECT_EQ(trap.status, 15);
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "t.s: line 0012: PA-F0001 Fatal: Internal error detected (../src/paasmdirectives,306)\n")
            << "code " << code;
    }
}

using Bytes = std::vector<uint8_t>;
using Cells = std::vector<uint32_t>;

// ---- Dispatch: labels and what follows the operands -------------------------------

TEST(Directives, LabelBeforeADataDirectiveAddressesItsFirstByte) {
    AsmRun run = assemble(
        "\t.data\n"
        "\t.byte 1\n"
        "lab:\t.word 0x1234, -1\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    ASSERT_TRUE(defined("lab"));
    EXPECT_EQ(value_of("lab"), 1u);
    EXPECT_EQ(symbol("lab")->section, section(".data"));
    EXPECT_EQ(bytes_of(".data"), (Bytes{0x01, 0x34, 0x12, 0xFF, 0xFF}));
}

TEST(Directives, LabelBeforeOtherDirectivesIsDiscardedWithWarning3) {
    AsmRun run = assemble_warn(
        "lx:\t.equ val, 3\n"
        "ly:\t.text\n"
        "lz:\t.align 3\n"
        "spot:\t.space 2\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, warning_line(1, 3, "Extraneous label discarded") +
                              warning_line(2, 3, "Extraneous label discarded") +
                              warning_line(3, 3, "Extraneous label discarded") +
                              error_line(3, 17, "Alignment operand must be a power of two"));
    EXPECT_FALSE(defined("lx"));
    EXPECT_FALSE(defined("ly"));
    EXPECT_FALSE(defined("lz"));
    EXPECT_TRUE(defined("val"));
    ASSERT_TRUE(defined("spot"));
    EXPECT_EQ(value_of("spot"), 0u);
}

TEST(Directives, ExtraCharactersAfterTheOperandsAreWarning2) {
    AsmRun run = assemble_warn(
        "\t.text junk\n"
        "\t.endef 5\n"
        "\t.popsection .data\n"
        "\t.data\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, warning_line(1, 2, "Extra characters on source statement") +
                              warning_line(2, 2, "Extra characters on source statement") +
                              warning_line(3, 2, "Extra characters on source statement"));
}

// ---- .equ and .set ------------------------------------------------------------

TEST(Directives, EquAndSetRedefinitionRules) {
    AsmRun run = assemble(
        "\t.set alpha, 1\n"
        "\t.set alpha, 2\n"      // .set after .set: accepted
        "\t.equ beta, 5\n"
        "\t.equ beta, 5\n"       // the same absolute integer: accepted
        "\t.equ gamma, 5\n"
        "\t.equ gamma, 6\n"      // error 6
        "\t.equ delta, 5\n"
        "\t.set delta, 6\n"      // error 6
        "\t.set epsilon, 5\n"
        "\t.equ epsilon, 6\n");  // .equ checks even after .set: error 6
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(6, 6, "Label 'gamma' is already defined") +
                              error_line(8, 6, "Label 'delta' is already defined") +
                              error_line(10, 6, "Label 'epsilon' is already defined"));
    struct Expect {
        const char* name;
        int32_t value;
        bool redefinable;
    } expects[] = {{"alpha", 2, true}, {"beta", 5, false}, {"gamma", 5, false}, {"delta", 5, false},
                   {"epsilon", 5, true}};
    for (const Expect& e : expects) {
        Symbol* s = symbol(e.name);
        ASSERT_NE(s, nullptr) << e.name;
        EXPECT_EQ(s->value.integer, e.value) << e.name;
        EXPECT_EQ(s->value_class, CLASS_ABSOLUTE) << e.name;
        EXPECT_EQ(s->value_type, TYPE_INTEGER) << e.name;
        EXPECT_EQ((s->flags & SYM_REDEFINABLE) != 0, e.redefinable) << e.name;
        EXPECT_EQ(s->flags & (SYM_DEFINED_PASS1 | SYM_DEFINED_PASS2), SYM_DEFINED_PASS1 | SYM_DEFINED_PASS2)
            << e.name;
    }
}

TEST(Directives, EquTakesTheExpressionsClassTypeAndSection) {
    AsmRun run = assemble(
        "\t.data\n"
        "\t.byte 0, 0\n"
        "here:\t.byte 0\n"
        "\t.equ where, here + 1\n"
        "\t.equ text, \"ab\"\n"
        "\t.equ ext, nowhere\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(6, 12, "Illegal use of external symbol"));
    Symbol* where = symbol("where");
    ASSERT_NE(where, nullptr);
    EXPECT_EQ(where->value_class, CLASS_RELOCATABLE);
    EXPECT_EQ(where->value.word, 3u);
    EXPECT_EQ(where->section, section(".data"));
    Symbol* text = symbol("text");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->value_class, CLASS_ABSOLUTE);
    EXPECT_EQ(text->value_type, TYPE_STRING);
    EXPECT_STREQ(text->value.text, "ab");
}

TEST(Directives, EquOperandErrors) {
    AsmRun run = assemble(
        "\t.equ 5, 3\n"
        "\t.equ qq 3\n"
        "\t.equ kk, x?\n"
        "\t.equ mm, (1\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(1, 14, "Invalid operand") + error_line(2, 31, "Expected a comma (,)") +
                              error_line(3, 7, "Symbol 'x?' is not defined") +
                              error_line(3, 8, "Symbol 'x?' is not defined or is forward referenced") +
                              error_line(4, 38, "Expected a right parenthesis ')'"));
}

// ---- .global, .weak, .extern ------------------------------------------------

TEST(Directives, GlobalScopeRules) {
    AsmRun run = assemble(
        "\t.global never\n"
        "\t.global early\n"
        "early:\n"
        "late:\n"
        "\t.weak late\n"
        "\t.equ quux, 1\n"
        "\t.extern quux\n"
        "\t.set redo, 1\n"
        "\t.global redo\n"          // a .set symbol stays local: error 9
        "\t.equ str, \"ab\"\n"
        "\t.global str\n"           // a string: error 9
        "\t.global one, two, three\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(9, 9, "Illegal use of symbol 'redo'") +
                              error_line(11, 9, "Illegal use of symbol 'str'"));
    Symbol* never = symbol("never");
    ASSERT_NE(never, nullptr);
    EXPECT_EQ(never->value_class, CLASS_EXTERNAL);
    EXPECT_EQ(never->value_type, TYPE_INTEGER);
    EXPECT_EQ(never->scope, SCOPE_EXTERNAL);
    EXPECT_EQ(never->value.word, 0u);
    struct Expect {
        const char* name;
        uint8_t scope;
    } expects[] = {{"early", SCOPE_GLOBAL}, {"late", SCOPE_GLOBAL}, {"quux", SCOPE_GLOBAL},
                   {"redo", SCOPE_LOCAL},     {"one", SCOPE_EXTERNAL}, {"two", SCOPE_EXTERNAL},
                   {"three", SCOPE_EXTERNAL}};
    for (const Expect& e : expects) {
        ASSERT_NE(symbol(e.name), nullptr) << e.name;
        EXPECT_EQ(symbol(e.name)->scope, e.scope) << e.name;
    }
    EXPECT_EQ(symbol("early")->value_class, CLASS_RELOCATABLE);
}

TEST(Directives, GlobalOperandErrorsStopTheList) {
    AsmRun run = assemble(
        "\t.global alpha, x?, beta\n"
        "\t.global gamma, 5, delta\n"
        "\t.global\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(1, 10, "Local symbol 'x?' can't be made public") +
                              error_line(2, 14, "Invalid operand") + error_line(3, 14, "Invalid operand"));
    ASSERT_NE(symbol("alpha"), nullptr);
    EXPECT_EQ(symbol("alpha")->value_class, CLASS_EXTERNAL);
    ASSERT_NE(symbol("gamma"), nullptr);
    EXPECT_EQ(symbol("gamma")->value_class, CLASS_EXTERNAL);
}

// ---- Sections -----------------------------------------------------------------

TEST(Directives, TextAndDataSwitchTheCurrentSection) {
    AsmRun run = assemble(
        "\t.data\n"
        "\t.byte 1\n"
        "\t.text\n"
        "\t.pword 5\n"
        "\t.DATA\n"
        "\t.byte 2\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(bytes_of(".data"), (Bytes{1, 2}));
    EXPECT_EQ(cells_of(".text"), (Cells{5}));
}

TEST(Directives, PopsectionReturnsToTheSectionBeforeItsPush) {
    AsmRun run = assemble(
        "\t.data\n"
        "\t.byte 1\n"
        "\t.pushsection .mine, code\n"
        "\t.pword 0x123456\n"
        "\t.section .other, data\n"
        "\t.byte 9\n"
        "\t.text\n"
        "\t.popsection\n"
        "\t.byte 2\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(bytes_of(".data"), (Bytes{1, 2}));
    EXPECT_EQ(cells_of(".mine"), (Cells{0x123456}));
    EXPECT_EQ(bytes_of(".other"), (Bytes{9}));
    EXPECT_EQ(dir_section_stack_depth(), 0);
}

TEST(Directives, PopsectionWithAnEmptyStackKeepsTheSection) {
    AsmRun run = assemble(
        "\t.data\n"
        "\t.popsection\n"
        "\t.byte 7\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(bytes_of(".data"), (Bytes{7}));
}

TEST(Directives, NestedPushesPopInReverseOrder) {
    AsmRun run = assemble(
        "\t.data\n"
        "\t.pushsection .a, data\n"
        "\t.pushsection .b, data\n"
        "\t.byte 3\n"
        "\t.popsection\n"
        "\t.byte 2\n"
        "\t.popsection\n"
        "\t.byte 1\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(bytes_of(".b"), (Bytes{3}));
    EXPECT_EQ(bytes_of(".a"), (Bytes{2}));
    EXPECT_EQ(bytes_of(".data"), (Bytes{1}));
}

TEST(Directives, EachPassStartsWithAnEmptySectionStack) {
    // A push without its pop leaves one entry in pass 1; pass 2 does not
    // see it, so only pass 2's own entry is there at the end.
    AsmRun run = assemble(
        "\t.data\n"
        "\t.pushsection .a, data\n"
        "\t.byte 1\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(dir_section_stack_depth(), 1);
}

TEST(Directives, SectionNamedByAnEarlierLabelSelectsTheLabelsSectionInBothPasses) {
    // Pass 1 takes the label's own section; pass 2 reports the second
    // definition but must emit into the same section as pass 1 counted.
    AsmRun run = assemble(
        "\t.data\n"
        "foo:\t.byte 1\n"
        "\t.text\n"
        "\t.section foo\n"
        "\t.byte 2\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(4, 6, "Label 'foo' is already defined"));
    EXPECT_EQ(bytes_of(".data"), (Bytes{1, 2}));
}

TEST(Directives, SectionOperandErrorKeepsTheCurrentSection) {
    AsmRun run = assemble(
        "\t.data\n"
        "\t.section 5\n"
        "\t.byte 1\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(2, 14, "Invalid operand"));
    EXPECT_EQ(bytes_of(".data"), (Bytes{1}));
}

// ---- .space and .skip --------------------------------------------------------

TEST(Directives, SpaceReservesWholeElements) {
    AsmRun run = assemble(
        "\t.data\n"
        "\t.space 5\n"
        "d1:\t.byte 1\n"
        "\t.skip 0\n"
        "d2:\t.skip 2\n"
        "\t.byte 2\n"
        "\t.text\n"
        "\t.space 5\n"            // ceil(5 / 4) = 2 cells, 4 address units
        "t1:\t.pword 7\n"
        "\t.skip 4\n"              // one cell
        "t2:\t.pword 8\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(value_of("d1"), 5u);
    EXPECT_EQ(value_of("d2"), 6u);
    EXPECT_EQ(bytes_of(".data"), (Bytes{0, 0, 0, 0, 0, 1, 0, 0, 2}));
    EXPECT_EQ(value_of("t1"), 4u);
    EXPECT_EQ(value_of("t2"), 8u);
    EXPECT_EQ(cells_of(".text"), (Cells{0, 0, 7, 0, 8}));
}

TEST(Directives, SpaceCountErrors) {
    AsmRun run = assemble(
        "\t.data\n"
        "\t.space -1\n"
        "\t.space \"a\"\n"
        "\t.skip later\n"          // not known yet when pass 1 reaches it
        "\t.space 1.5\n"
        "here:\t.byte 1\n"
        "\t.equ later, 4\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(2, 21, "Operand out of range") +
                              error_line(3, 30, "Expected an absolute integer expression") +
                              error_line(4, 30, "Expected an absolute integer expression") +
                              error_line(5, 30, "Expected an absolute integer expression"));
    EXPECT_EQ(value_of("here"), 0u);
    EXPECT_EQ(bytes_of(".data"), (Bytes{1}));
}

// Nothing reaches past the 24-bit address space: a statement that would
// take the sections of its memory kind (laid out back to back from 0) past
// 0x1000000 address units is error 21, in both passes alike, and does not
// move the counter; one that reaches the limit exactly is accepted. In
// program memory an element is 2 address units (.space counts bytes, 4 to
// an element).
struct ReachCase {
    const char* what;
    const char* source;
    std::string errors;
    const char* label;  // a label alone on its line after the refused step
    uint32_t value;
};

const ReachCase reach_cases[] = {
    {"data .space up to the limit", "\t.data\n\t.space 0x1000000\nend:\n", "", "end", 0x1000000},
    {"data .space one past", "\t.data\n\t.space 0x1000001\nend:\n", error_line(2, 21, "Operand out of range"), "end",
     0},
    {"data .skip far past", "\t.data\n\t.byte 1\n\t.skip 0x40000000\nend:\n",
     error_line(3, 21, "Operand out of range"), "end", 1},
    {"a word that ends at the limit, then bytes", "\t.data\n\t.space 0xFFFFFE\n\t.word 1\n\t.byte 1,2,3\nend:\n",
     error_line(4, 21, "Operand out of range"), "end", 0x1000000},
    {"a long refused whole, the bytes after it fit",
     "\t.data\n\t.space 0xFFFFFE\n\t.long 1\n\t.ascii \"ab\"\nend:\n", error_line(3, 21, "Operand out of range"),
     "end", 0x1000000},
    {"two data sections share the data space",
     "\t.section .nbss,bss\n\t.space 0x800000\n\t.section .ndata,data\n\t.space 0x800001\n\t.space 0x800000\nend:\n",
     error_line(4, 21, "Operand out of range"), "end", 0x800000},
    {"program .space far past", "\t.text\n\t.space 0x7FFFFFFF\nend:\n", error_line(2, 21, "Operand out of range"),
     "end", 0},
    {"an instruction that ends at the limit, then a two-word one",
     "\t.text\n\t.space 0x1FFFFFC\n\tnop\n\tcall 0\n\t.pword 1\nend:\n",
     error_line(4, 21, "Operand out of range") + error_line(5, 21, "Operand out of range"), "end", 0x1000000},
};

TEST(Directives, NothingReachesPastTheAddressSpace) {
    for (const ReachCase& c : reach_cases) {
        SCOPED_TRACE(c.what);
        AsmRun run = assemble(c.source);
        EXPECT_EQ(run.status, c.errors.empty() ? 0 : 1);
        EXPECT_EQ(run.errors, c.errors);
        EXPECT_EQ(value_of(c.label), c.value);
    }
}

// ---- .end, .file, .size, .type and the ignored directives ------------------------

TEST(Directives, EndStopsTheSource) {
    AsmRun run = assemble(
        "\t.data\n"
        "\t.byte 1\n"
        "\t.end\n"
        "\t.byte 2\n"
        "garbage ( that is never read\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(bytes_of(".data"), (Bytes{1}));
}

TEST(Directives, FileTakesAStringWithBackslashesAsWritten) {
    std::string source =
        "\t.file \"dir\\xq.c\"\n"
        "\t.file 5\n"
        "\t.file\n"
        "\t.file 1 \"b.c\"\n";
    AsmRun run = assemble(source);
    EXPECT_EQ(run.status, 1);
    std::string expected = error_line(2, 14, "Invalid operand") + error_line(3, 14, "Invalid operand");
    // Only the ELF build takes a file number before the name.
    if constexpr (BuildTraits::is_coff) expected += error_line(4, 14, "Invalid operand");
    EXPECT_EQ(run.errors, expected);
}

TEST(Directives, SizeAndTypeFormsOfEachBuild) {
    AsmRun run = assemble(
        "func:\n"
        "\t.size func, 10\n"
        "\t.type func, @function\n"
        "\t.size 3\n"
        "\t.type 4\n"
        "\t.size func\n");
    EXPECT_EQ(run.status, 1);
    if constexpr (BuildTraits::is_elf)
        EXPECT_EQ(run.errors, error_line(4, 14, "Invalid operand") + error_line(5, 1, "Syntax error") +
                                  error_line(6, 31, "Expected a comma (,)"));
    else
        // One absolute integer, as .scl: a label is no such value.
        EXPECT_EQ(run.errors, error_line(2, 30, "Expected an absolute integer expression") +
                                  error_line(3, 30, "Expected an absolute integer expression") +
                                  error_line(6, 30, "Expected an absolute integer expression"));
}

TEST(Directives, LocExistsOnlyInTheElfBuild) {
    AsmRun run = assemble("\t.loc 1 2 3 ( + ,\n");
    if constexpr (BuildTraits::is_elf) {
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.errors, "");
    } else {
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.errors, error_line(1, 13, "Unrecognized instruction mnemonic") +
                                  error_line(1, 28, "Expected a machine or assembler instruction"));
    }
}

TEST(Directives, ValidatedAndIgnoredDirectives) {
    AsmRun run = assemble_warn(
        "\t.align\n"                     // line 1
        "\t.align 8\n"
        "\t.align 3\n"                   // 17
        "\t.align 0\n"                   // 17
        "\t.align \"x\"\n"               // 30
        "\t.def _main\n"
        "\t.def 5\n"                     // 14
        "\t.dim 1, 2, 3, 4\n"
        "\t.dim 1, 2, 3, 4, 5\n"         // the fifth is left: warning 2
        "\t.endef\n"                     // line 10
        "\t.fillupper\n"                 // 14
        "\t.fillupper 0x3F\n"
        "\t.ident \"compiler\"\n"
        "\t.ident name\n"                // 14
        "\t.line 0\n"                    // 21
        "\t.line 3\n"
        "\t.ln 3, 4\n"
        "\t.memory anything ( at , all\n"
        "\t.scl 2\n"
        "\t.scl \"x\"\n"                 // line 20: 30
        "\t.tag _struct\n"
        "\t.tag 1\n"                     // 14
        "\t.val 1 + 2\n"
        "\t.val\n");                     // the expression's syntax error
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(3, 17, "Alignment operand must be a power of two") +
                              error_line(4, 17, "Alignment operand must be a power of two") +
                              error_line(5, 30, "Expected an absolute integer expression") +
                              error_line(7, 14, "Invalid operand") +
                              warning_line(9, 2, "Extra characters on source statement") +
                              error_line(11, 14, "Invalid operand") + error_line(14, 14, "Invalid operand") +
                              error_line(15, 21, "Operand out of range") +
                              error_line(20, 30, "Expected an absolute integer expression") +
                              error_line(22, 14, "Invalid operand") + error_line(24, 1, "Syntax error"));
}

// .text is current when a pass begins, and is dropped at pass 2 unless
// pass 1 used it.
TEST(Directives, LineWithoutSecondOperandMarksTheSectionUsed) {
    AsmRun run = assemble("\t.line 5\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(section(".text"), nullptr);
}

TEST(Directives, LineWithSecondOperandLeavesTheSectionUnmarked) {
    AsmRun run = assemble("\t.line 5, 6\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(section(".text"), nullptr);
}

// ---- Integer data ------------------------------------------------------------

TEST(Directives, ByteAndWordRanges) {
    AsmRun run = assemble(
        "\t.data\n"
        "\t.byte 255, -128\n"
        "\t.byte 256, 1, 300\n"              // the first error only; the rest still emits
        "\t.byte ~0xFFFFFF00, ~0xFFFF0000\n"  // complemented 0xFF and 0xFFFF pass
        "\t.byte ~0\n"                       // complemented 0xFFFFFFFF does not
        "\t.word -32768, 65535\n"
        "\t.word 65536\n"
        "\t.word ~0\n");                     // no check for a complemented word
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(3, 21, "Operand out of range") + error_line(5, 21, "Operand out of range") +
                              error_line(7, 21, "Operand out of range"));
    EXPECT_EQ(bytes_of(".data"), (Bytes{0xFF, 0x80, 0x00, 0x01, 0x2C, 0xFF, 0xFF, 0xFF, 0x00, 0x80, 0xFF, 0xFF,
                                        0x00, 0x00, 0xFF, 0xFF}));
}

TEST(Directives, IntegersInDataMemoryAreLittleEndianBytes) {
    AsmRun run = assemble(
        "\t.data\n"
        "\t.long 0x12345678\n"
        "\t.pword 0x123456\n"
        "\t.word \"ab\"\n"
        "\t.long \"c\"\n"
        "\t.byte \"de\", 0x66\n"
        "\t.long -2\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(bytes_of(".data"),
              (Bytes{0x78, 0x56, 0x34, 0x12, 0x56, 0x34, 0x12, 0x00, 0x61, 0x00, 0x62, 0x00, 0x63, 0x00, 0x00,
                     0x00, 0x64, 0x65, 0x66, 0xFE, 0xFF, 0xFF, 0xFF}));
}

TEST(Directives, IntegersInProgramMemoryAreElements) {
    AsmRun run = assemble(
        "\t.text\n"
        "\t.byte 0x1FF & 0xFF, -1\n"      // low 8 bits, zero-extended
        "\t.word 0xBEEF\n"
        "\t.long 0x12345678\n"            // low half, then high half
        "\t.pword 0x00ABCDEF\n"           // one cell
        "\t.byte \"a\\xC1\"\n"            // characters sign-extended
        "\t.long \"b\"\n"
        "\t.pword \"c\"\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(cells_of(".text"), (Cells{0xFF, 0xFF, 0xBEEF, 0x5678, 0x1234, 0xABCDEF, 0x61, 0xFFC1, 0, 0x62, 0,
                                        0x63}));
}

TEST(Directives, RelocatableValuesAreFittedToTheField) {
    AsmRun run = assemble(
        "\t.data\n"
        "\t.space 0x12\n"
        "lab:\t.byte 0\n"
        "\t.word lab\n"
        "\t.byte lab\n"
        "\t.long lab + 0x100\n"
        "\t.word ext\n"
        "\t.section big, data\n"
        "\t.space 0x300\n"
        "far:\t.byte >far, <far\n"
        "\t.byte far\n");                 // too large for 8 bits: error 20, masked
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(11, 20, "Relocatable address expression out of range"));
    Bytes data = bytes_of(".data");
    ASSERT_EQ(data.size(), 0x12u + 1 + 2 + 1 + 4 + 2);
    EXPECT_EQ(Bytes(data.begin() + 0x13, data.end()), (Bytes{0x12, 0x00, 0x12, 0x12, 0x01, 0x00, 0x00, 0x00, 0x00}));
    Bytes big = bytes_of("big");
    ASSERT_EQ(big.size(), 0x303u);
    EXPECT_EQ(Bytes(big.begin() + 0x300, big.end()), (Bytes{0x03, 0x00, 0x00}));
}

TEST(Directives, UndefinedOperandsAreInvalidButStillEmit) {
    AsmRun run = assemble(
        "\t.data\n"
        "\t.byte 1, u?, 2\n"
        "\t.long 1.5\n"
        "end:\t.byte 3\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(2, 7, "Symbol 'u?' is not defined") + error_line(2, 14, "Invalid operand") +
                              error_line(3, 14, "Invalid operand"));
    EXPECT_EQ(value_of("end"), 7u);
    EXPECT_EQ(bytes_of(".data").size(), 8u);
}

TEST(Directives, PwordOutsideProgramMemoryWarns) {
    AsmRun run = assemble_warn(
        "\t.data\n"
        "\t.pword 1\n"
        "\t.text\n"
        "\t.pword 2\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, warning_line(2, 9, "The .pword directive is legal only in code sections"));
    EXPECT_EQ(bytes_of(".data"), (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(cells_of(".text"), (Cells{2}));
}

// ---- Strings -------------------------------------------------------------------

TEST(Directives, StringsInProgramMemoryPackTwoCharacters) {
    AsmRun run = assemble(
        "\t.text\n"
        "\t.ascii \"abc\"\n"             // 0x6162 0x6300
        "\t.asciz \"ab\"\n"              // 0x6162 0x0000
        "\t.ascii \"a\", \"b\"\n"        // 0x6162
        "\t.ascii \"a\"\n"               // 0x6100
        "\t.asciz \"a\", \"b\"\n"        // a 0 b 0: 0x6100 0x6200
        "\t.ascii \"x\", 0x179\n");      // an integer counts as one character
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(cells_of(".text"), (Cells{0x6162, 0x6300, 0x6162, 0x0000, 0x6162, 0x6100, 0x6100, 0x6200, 0x7879}));
}

TEST(Directives, StringsInDataMemory) {
    AsmRun run = assemble_warn(
        "\t.data\n"
        "\t.ascii \"ab\", 0x63\n"
        "\t.ascii \"\"\n"                // warning 5, nothing
        "\t.asciz \"\"\n"                // one 0 byte, no warning
        "\t.asciz \"d\", \"e\"\n"
        "\t.ascii 256, -128, -129\n"     // warnings 6 for 256 and -129
        "\t.byte \"\"\n");               // warning 5
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, warning_line(3, 5, "Zero-length string in data declaration") +
                              warning_line(6, 6, "Operand out of range") + warning_line(6, 6, "Operand out of range") +
                              warning_line(7, 5, "Zero-length string in data declaration"));
    EXPECT_EQ(bytes_of(".data"), (Bytes{0x61, 0x62, 0x63, 0x00, 0x64, 0x00, 0x65, 0x00, 0x00, 0x80, 0x7F}));
}

TEST(Directives, StringOperandErrorsKeepTheElementCount) {
    AsmRun run = assemble(
        "\t.text\n"
        "\t.ascii \"ab\", (\n"       // the failed last operand's character still goes out
        "mid:\n"
        "\t.ascii \"a\", mid\n"      // error 14; the label's low byte completes the element
        "end:\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(2, 1, "Syntax error") + error_line(4, 14, "Invalid operand"));
    EXPECT_EQ(value_of("mid"), 4u);
    EXPECT_EQ(value_of("end"), 6u);
    Cells cells = cells_of(".text");
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[0], 0x6162u);
    EXPECT_EQ(cells[2], 0x6104u);
}

TEST(Directives, StringEquatedFurtherDownIsRefusedInBothPasses) {
    // Pass 1 does not know the string yet and emits one field for it; pass 2
    // must not emit more.
    AsmRun run = assemble(
        "\t.data\n"
        "\t.ascii later_text\n"
        "\t.byte later_text\n"
        "\t.long later_text\n"
        "end:\n"
        "\t.equ later_text, \"abc\"\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(2, 14, "Invalid operand") + error_line(3, 14, "Invalid operand") +
                              error_line(4, 14, "Invalid operand"));
    EXPECT_EQ(value_of("end"), 6u);
    EXPECT_EQ(bytes_of(".data").size(), 6u);
}

// ---- Floating point ------------------------------------------------------------

TEST(Directives, FloatAndDoubleInDataMemory) {
    AsmRun run = assemble(
        "\t.data\n"
        "\t.float 1\n"
        "\t.float -2.5\n"
        "\t.float 16777217\n"            // halfway between two singles: to the even one
        "\t.float 1.0e39\n"              // beyond the singles: infinity
        "\t.double 1\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(bytes_of(".data"), (Bytes{0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x20, 0xC0, 0x00, 0x00, 0x80, 0x4B,
                                        0x00, 0x00, 0x80, 0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F}));
}

TEST(Directives, FloatAndDoubleInProgramMemory) {
    AsmRun run = assemble(
        "\t.text\n"
        "\t.float 1.5\n"
        "\t.double -2.0\n"
        "\t.double 0.1\n");
    EXPECT_EQ(run.status, 0);
    // 0.1 is 0x3FB999999999999A.
    EXPECT_EQ(cells_of(".text"), (Cells{0x3FC00000, 0, 0, 0, 0xC000, 0x999A, 0x9999, 0x9999, 0x3FB9}));
}

TEST(Directives, FloatOperandErrorsEmitZeros) {
    AsmRun run = assemble(
        "\t.data\n"
        "\t.float \"x\", 2\n"
        "\t.double lab\n"
        "lab:\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(2, 42, "Expected a floating-point expression") +
                              error_line(3, 42, "Expected a floating-point expression"));
    EXPECT_EQ(value_of("lab"), 16u);
    EXPECT_EQ(bytes_of(".data"), (Bytes{0, 0, 0, 0, 0x00, 0x00, 0x00, 0x40, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// ---- LEB128 ----------------------------------------------------------------------

TEST(Directives, Leb128InDataMemory) {
    if constexpr (BuildTraits::is_coff) GTEST_SKIP() << "the ELF build's directives";
    AsmRun run = assemble(
        "\t.data\n"
        "\t.uleb128 128\n"               // 80 01
        "\t.sleb128 -128\n"              // 80 7F
        "\t.uleb128 0, 127\n"            // 00 7F
        "\t.sleb128 0, -1, 64, -65\n"    // 00 7F C0 00 BF 7F
        "\t.uleb128 0xFFFFFFFF\n"        // FF FF FF FF 0F
        "\t.sleb128 0x7FFFFFFF\n");      // FF FF FF FF 07
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(bytes_of(".data"), (Bytes{0x80, 0x01, 0x80, 0x7F, 0x00, 0x7F, 0x00, 0x7F, 0xC0, 0x00, 0xBF, 0x7F,
                                        0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0x07}));
}

TEST(Directives, Leb128StopsAtTheFirstFailingOperand) {
    if constexpr (BuildTraits::is_coff) GTEST_SKIP() << "the ELF build's directives";
    AsmRun run = assemble(
        "\t.data\n"
        "lab:\t.byte 9\n"
        "\t.uleb128 1, lab, 2\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(3, 30, "Expected an absolute integer expression"));
    EXPECT_EQ(bytes_of(".data"), (Bytes{0x09, 0x01}));
}

TEST(Directives, Leb128InProgramMemoryTakesOneElementPerByte) {
    if constexpr (BuildTraits::is_coff) GTEST_SKIP() << "the ELF build's directives";
    AsmRun run = assemble(
        "\t.text\n"
        "\t.uleb128 128\n"
        "\t.sleb128 -2\n"
        "end:\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(cells_of(".text"), (Cells{0x80, 0x01, 0x7E}));
    EXPECT_EQ(value_of("end"), 6u);
}

TEST(Directives, Leb128OfAValueDefinedFurtherDownTakesFiveBytes) {
    if constexpr (BuildTraits::is_coff) GTEST_SKIP() << "the ELF build's directives";
    // 300 is 0x12C: the groups 0x2C and 0x02, padded to five bytes.
    AsmRun run = assemble(
        "\t.data\n"
        "\t.uleb128 later_u\n"
        "\t.sleb128 later_s\n"
        "end:\t.byte 1\n"
        "\t.equ later_u, 300\n"
        "\t.equ later_s, -2\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(value_of("end"), 10u);
    EXPECT_EQ(bytes_of(".data"), (Bytes{0xAC, 0x82, 0x80, 0x80, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0x7F, 0x01}));
}

TEST(Directives, Leb128IsNoDirectiveInTheCoffBuild) {
    if constexpr (BuildTraits::is_elf) GTEST_SKIP() << "the COFF build's directive set";
    AsmRun run = assemble(
        "\t.data\n"
        "\t.uleb128 1\n"
        "\t.2byte 1\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(2, 13, "Unrecognized instruction mnemonic") +
                              error_line(2, 28, "Expected a machine or assembler instruction") +
                              error_line(3, 13, "Unrecognized instruction mnemonic") +
                              error_line(3, 28, "Expected a machine or assembler instruction"));
    EXPECT_EQ(bytes_of(".data"), Bytes{});
}

TEST(Directives, TwoByteAndFourByteAreWordAndLong) {
    if constexpr (BuildTraits::is_coff) GTEST_SKIP() << "the ELF build's directives";
    AsmRun run = assemble(
        "\t.data\n"
        "\t.2byte 0x1234, 65536\n"
        "\t.4byte 0x89ABCDEF\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(2, 21, "Operand out of range"));
    EXPECT_EQ(bytes_of(".data"), (Bytes{0x34, 0x12, 0x00, 0x00, 0xEF, 0xCD, 0xAB, 0x89}));
}

// ---- The statement loop ------------------------------------------------------------

// The statement loop with the target's own instructions: NOP has no
// shadow, BTSC may skip the next instruction, REPEAT repeats it, and RETURN
// may not stand in the shadow of a REPEAT.
class StatementLoop : public testing::Test {};

TEST_F(StatementLoop, ShadowRules) {
    struct Case {
        const char* source;
        std::string errors;
        Cells cells;                  // every instruction is encoded, whatever the errors
        const char* label = nullptr;  // a label in a shadow is defined all the same
        uint32_t label_value = 0;
    } cases[] = {
        // The instruction after a REPEAT may not be one that refuses it.
        {"\tREPEAT\t#3\n\tRETURN\n", error_line(2, 27, "Invalid instruction sequence"), {0x090003, 0x060000}},
        // A skip shadow is no repeat shadow.
        {"\tBTSC\tw0,#1\n\tRETURN\n", "", {0xA71000, 0x060000}},
        // An instruction without a shadow ends it.
        {"\tREPEAT\t#3\n\tNOP\n\tRETURN\n", "", {0x090003, 0, 0x060000}},
        // Directives between the two do not end it.
        {"\tREPEAT\t#3\n\t.ident \"x\"\n\tRETURN\n", error_line(3, 27, "Invalid instruction sequence"),
         {0x090003, 0x060000}},
        // A label alone on its line in either shadow.
        {"\tBTSC\tw0,#1\nlab:\n\tNOP\n", error_line(2, 27, "Invalid instruction sequence"), {0xA71000, 0}, "lab",
         2},
        {"\tREPEAT\t#3\nlab:\n\tNOP\n", error_line(2, 27, "Invalid instruction sequence"), {0x090003, 0}, "lab", 2},
        // A skip or REPEAT as the source's last instruction: at the end of
        // the pass, on the last line read.
        {"\tNOP\n\tBTSC\tw0,#1\n", error_line(2, 26, "Unterminated instruction sequence"), {0, 0xA71000}},
        {"\tREPEAT\t#3\n\n; done\n", error_line(3, 26, "Unterminated instruction sequence"), {0x090003}},
    };
    for (const Case& c : cases) {
        AsmRun run = assemble(c.source);
        EXPECT_EQ(run.status, c.errors.empty() ? 0 : 1) << c.source;
        EXPECT_EQ(run.errors, c.errors) << c.source;
        EXPECT_EQ(cells_of(".text"), c.cells) << c.source;
        if (c.label != nullptr) {
            EXPECT_TRUE(defined(c.label)) << c.source;
            EXPECT_EQ(value_of(c.label), c.label_value) << c.source;
        }
    }
}

TEST_F(StatementLoop, LabelAloneIsDefinedLabelBeforeAnInstructionIsNot) {
    AsmRun run = assemble(
        "\tNOP\n"
        "alone:\n"
        "\tNOP\n"
        "with:\tNOP\n"
        "\tNOP\n");
    EXPECT_EQ(run.status, 0);
    ASSERT_TRUE(defined("alone"));
    EXPECT_EQ(value_of("alone"), 2u);
    EXPECT_FALSE(defined("with"));
    EXPECT_EQ(cells_of(".text").size(), 4u);
}

TEST_F(StatementLoop, SecondLabelEndsTheStatement) {
    // The first label is defined; the second and the instruction are not read.
    AsmRun run = assemble(
        "one: two: NOP\n"
        "\tNOP\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(1, 5, "Multiple labels are not permitted"));
    ASSERT_TRUE(defined("one"));
    EXPECT_EQ(value_of("one"), 0u);
    EXPECT_FALSE(defined("two"));
    EXPECT_EQ(cells_of(".text"), (Cells{0}));
}

// The target's register names are what an equate can name.
using EquWithRegisters = StatementLoop;

TEST_F(EquWithRegisters, RegisterEquateIsStoredInPass2) {
    // The scanner records the name as a reference of the .equ line itself;
    // that is no forward reference, so the register is stored.
    AsmRun run = assemble("\t.equ wr, W1\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    Symbol* wr = symbol("wr");
    ASSERT_NE(wr, nullptr);
    EXPECT_EQ(wr->value_class, CLASS_ABSOLUTE);
    EXPECT_EQ(wr->value_type, TYPE_REGISTER);
    ASSERT_NE(wr->value.reg, nullptr);
    EXPECT_STREQ(wr->value.reg->register_name, "W1");
}

}  // namespace
