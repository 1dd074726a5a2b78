// Operand parsers: suffix appliers, runtime routines, registers, literal
// fields, file registers and data addresses, the hazard check, effective
// and indexed addresses, branch targets and program addresses.
//
// The operand text goes through the scanner in pass 1, which writes its
// tokens to the token file; pass-2 behaviour replays those tokens.
#include <gtest/gtest.h>

#include "asm_support.h"
#include "test_support.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmquodra.h"
#include "paasmsym.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

constexpr uint32_t M = RES_DATA_MEMORY;
constexpr uint32_t W(int n) { return 1u << n; }

const RegisterEntry* reg(const char* name) {
    for (const RegisterEntry& row : register_table)
        if (std::strcmp(row.register_name, name) == 0) return &row;
    return nullptr;
}

std::string error_at(int number, const std::string& text) {
    char head[64];
    std::snprintf(head, sizeof head, "prog.s: line 0012: PA-E%04d Error: ", number);
    return head + text + "\n";
}

std::string warning_at(int number, const std::string& text) {
    char head[64];
    std::snprintf(head, sizeof head, "prog.s: line 0012: PA-W%04d Warning: ", number);
    return head + text + "\n";
}

class Operand : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test_support::start_scanner_run());
        error_count = 0;
        warning_count = 0;
        pending_suffix = 0;

        // The program section being assembled, a second program section
        // and a data section, each with its name symbol.
        make_section(here, here_name, "code", MEMORY_PROGRAM);
        make_section(other, other_name, "elsewhere", MEMORY_PROGRAM);
        make_section(data, data_name, "vars", MEMORY_DATA);
        here.location = 0x20000;
        current_section = &here;
    }
    void TearDown() override {
        test_support::end_scanner_run();
        current_section = nullptr;
        pending_suffix = 0;
    }

    void make_section(Section& section, Symbol& name, const char* text, uint8_t kind) {
        section = Section{};
        name = Symbol{};
        name.name = intern_string(text);
        name.scope = SCOPE_SECTION;
        name.section = &section;
        section.symbol = &name;
        section.memory_kind = kind;
    }

    // A label defined in both passes.
    Symbol* label(const char* name, Section& section, uint32_t value) {
        Symbol* s = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, intern_string(name)});
        s->value_class = CLASS_RELOCATABLE;
        s->value_type = TYPE_INTEGER;
        s->value.raw = value;
        s->section = &section;
        s->scope = SCOPE_LOCAL;
        s->flags = SYM_DEFINED_PASS1 | SYM_DEFINED_PASS2 | SYM_LABEL;
        return s;
    }
    Symbol* external(const char* name) {
        Symbol* s = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, intern_string(name)});
        s->value_class = CLASS_EXTERNAL;
        s->value_type = TYPE_INTEGER;
        s->value.raw = 0;
        s->scope = SCOPE_EXTERNAL;
        s->flags = SYM_DEFINED_PASS1 | SYM_DEFINED_PASS2;
        return s;
    }

    Symbol* symbol_named(const char* name) {
        return sym_lookup(SymbolKey{SYMKIND_ORDINARY, intern_string(name)});
    }

    // Pass 1: the scanner reads the text and writes its tokens.
    void scan(const char* text) {
        test_support::put_operand_line(text);
        std::rewind(token_file);
        lex_next_token();
    }
    // Pass 2: the tokens that pass 1 wrote for `text` come back.
    void replay(const char* text) {
        scan(text);
        while (current_token.code != TOK_END_OF_STATEMENT && current_token.code != TOK_END_OF_SOURCE)
            lex_next_token();
        std::rewind(token_file);
        pass_number = 2;
        scan_flags = 0;
        lex_next_token();
    }

    Section here{}, other{}, data{};
    Symbol here_name{}, other_name{}, data_name{};
};

// ---- Suffixes -------------------------------------------------------------------------

TEST_F(Operand, SizeAndNegateSuffixes) {
    struct Case {
        uint32_t pending;
        uint32_t size_word, size_left;  // after tgt_apply_size_suffix
        uint32_t negate_word, negate_left;  // after tgt_apply_negate_suffix
    } cases[] = {
        {0, 0, 0, 0, 0},
        {SUFFIX_B, 0x4000, 0, 0, SUFFIX_B},
        {SUFFIX_W, 0, 0, 0, SUFFIX_W},
        {SUFFIX_D, 0, SUFFIX_D, 0, SUFFIX_D},            // ".d" stays for the warning
        {SUFFIX_B | SUFFIX_W, 0, SUFFIX_B | SUFFIX_W, 0, SUFFIX_B | SUFFIX_W},
        {SUFFIX_N, 0, SUFFIX_N, 0x4000, 0},
        {SUFFIX_B | SUFFIX_N, 0x4000, SUFFIX_N, 0x4000, SUFFIX_B},
    };
    for (const Case& c : cases) {
        uint32_t word = 0;
        pending_suffix = c.pending;
        tgt_apply_size_suffix(word);
        EXPECT_EQ(word, c.size_word) << c.pending;
        EXPECT_EQ(pending_suffix, c.size_left) << c.pending;
        word = 0;
        pending_suffix = c.pending;
        tgt_apply_negate_suffix(word);
        EXPECT_EQ(word, c.negate_word) << c.pending;
        EXPECT_EQ(pending_suffix, c.negate_left) << c.pending;
    }
}

// ---- Runtime routines -------------------------------------------------------------------

TEST_F(Operand, RuntimeRoutinesAreFoundByExactName) {
    struct Case {
        const char* name;
        int found;
    } cases[] = {
        {"___adddf3", 1}, {"___umodsi3", 1}, {"___mulsi3", 1}, {"___floatsidf", 1},
        {"___MULSI3", 0}, {"___mulsi", 0},   {"___mulsi33", 0}, {"_mulsi3", 0}, {"memcpy", 0}, {"", 0},
    };
    for (const Case& c : cases) {
        Symbol s{};
        s.name = c.name;
        EXPECT_EQ(tgt_is_runtime_helper(&s), c.found) << c.name;
    }
    EXPECT_EQ(tgt_is_runtime_helper(nullptr), 0);
}

// ---- Registers ----------------------------------------------------------------------------

TEST_F(Operand, RegisterParsersByKind) {
    enum Parser { ANY, WORKING, PAGE };
    struct Case {
        Parser parser;
        const char* text;
        int status;
        const char* entry;   // expected register, none on failure
        int32_t after;       // the token current afterwards
    } cases[] = {
        {ANY, "W3, 1", 0, "W3", TOK_COMMA},
        {ANY, "wreg, 1", 0, "WREG", TOK_COMMA},
        {ANY, "b, 1", 0, "B", TOK_COMMA},
        {ANY, "TBLPAG, 1", 0, "TBLPAG", TOK_COMMA},
        {ANY, "5, 1", 29, nullptr, TOK_INTEGER},      // not a register: left for other forms
        {ANY, "[W1]", 29, nullptr, TOK_LBRACKET},
        {ANY, "later, 1", 29, nullptr, TOK_SYMBOL},  // a name that is no register equate
        {WORKING, "w15, 1", 0, "W15", TOK_COMMA},
        {WORKING, "W0, 1", 0, "W0", TOK_COMMA},
        {WORKING, "WREG, 1", 29, nullptr, TOK_COMMA},  // wrong kind: already consumed
        {WORKING, "A, 1", 29, nullptr, TOK_COMMA},
        {WORKING, "5, 1", 29, nullptr, TOK_INTEGER},
        {PAGE, "DSRPAG, 1", 0, "DSRPAG", TOK_COMMA},
        {PAGE, "dswpag, 1", 0, "DSWPAG", TOK_COMMA},
        {PAGE, "W1, 1", 29, nullptr, TOK_COMMA},
    };
    for (const Case& c : cases) {
        scan(c.text);
        const RegisterEntry* entry = nullptr;
        int status = c.parser == ANY       ? tgt_parse_register(entry)
                     : c.parser == WORKING ? tgt_parse_w_register(entry)
                                           : tgt_parse_page_register(entry);
        EXPECT_EQ(status, c.status) << c.text;
        EXPECT_EQ(entry, c.entry != nullptr ? reg(c.entry) : nullptr) << c.text;
        EXPECT_EQ(current_token.code, c.after) << c.text;
    }
}

TEST_F(Operand, WregAddsTheMaskOfW0ToBothMasks) {
    scan("WREG");
    uint32_t defs = 0x100, hazard = 0;
    EXPECT_EQ(tgt_parse_wreg(defs, hazard), 0);
    EXPECT_EQ(defs, 0x101u);
    EXPECT_EQ(hazard, W(0));

    scan("W0");
    defs = hazard = 0;
    EXPECT_EQ(tgt_parse_wreg(defs, hazard), 29);
    EXPECT_EQ(defs | hazard, 0u);
}

TEST_F(Operand, AccumulatorsSetBit15AndTheirResources) {
    struct Case {
        const char* text;
        int status;
        uint32_t word, mask;
    } cases[] = {
        {"A", 0, 0x0, RES_ACCUMULATOR_A},
        {"B", 0, 0x8000, RES_ACCUMULATOR_B},
        {"W1", 29, 0, 0},
        {"DSRPAG", 29, 0, 0},
    };
    for (const Case& c : cases) {
        scan(c.text);
        const RegisterEntry* entry = nullptr;
        uint32_t word = 0, mask = 0;
        ResourcePair pair;
        EXPECT_EQ(tgt_parse_accumulator(&entry, word, &pair, &mask), c.status) << c.text;
        EXPECT_EQ(word, c.word) << c.text;
        EXPECT_EQ(pair.defs, c.mask) << c.text;
        EXPECT_EQ(pair.uses, c.mask) << c.text;
        EXPECT_EQ(mask, c.mask) << c.text;
        EXPECT_EQ(entry, c.status == 0 ? reg(c.text) : nullptr) << c.text;
    }
    // The entry, pair and mask are each optional.
    scan("B");
    uint32_t word = 0;
    EXPECT_EQ(tgt_parse_accumulator(nullptr, word, nullptr, nullptr), 0);
    EXPECT_EQ(word, 0x8000u);
}

TEST_F(Operand, NamesEquatedToRegisters) {
    Symbol* ptr = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, intern_string("ptr")});
    ptr->value_class = CLASS_ABSOLUTE;
    ptr->value_type = TYPE_REGISTER;
    ptr->value.reg = reg("W3");
    ptr->flags = SYM_DEFINED_PASS1;
    Symbol* number = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, intern_string("number")});
    number->value_class = CLASS_ABSOLUTE;
    number->value_type = TYPE_INTEGER;
    number->flags = SYM_DEFINED_PASS1 | SYM_DEFINED_PASS2;

    // Pass 1, defined: stands for W3 wherever W3 does.
    scan("ptr, 1");
    const RegisterEntry* entry = nullptr;
    EXPECT_EQ(tgt_parse_w_register(entry), 0);
    EXPECT_EQ(entry, reg("W3"));
    EXPECT_EQ(current_token.code, TOK_COMMA);

    // A name equated to a number is no register; the token stays.
    scan("number, 1");
    entry = nullptr;
    EXPECT_EQ(tgt_parse_register(entry), 29);
    EXPECT_EQ(current_token.code, TOK_SYMBOL);

    // Pass 2 before the equate of this pass: error 8, the name consumed.
    replay("ptr, 1");
    entry = nullptr;
    CaptureStderr();
    EXPECT_EQ(tgt_parse_register(entry), -1);
    EXPECT_EQ(GetCapturedStderr(), error_at(8, "Symbol 'ptr' is not defined or is forward referenced"));
    EXPECT_EQ(entry, nullptr);
    EXPECT_EQ(current_token.code, TOK_COMMA);

    // After it, accepted.
    ptr->flags |= SYM_DEFINED_PASS2;
    replay("ptr, 1");
    CaptureStderr();
    EXPECT_EQ(tgt_parse_register(entry), 0);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(entry, reg("W3"));
}

// ---- Literal fields ---------------------------------------------------------------------------

// The field of `v` in `width` bits at `position`.
uint32_t field(int64_t v, int width, int position) {
    return (static_cast<uint32_t>(v) & ((1u << width) - 1u)) << position;
}

TEST_F(Operand, LiteralBoundsOfEveryWidth) {
    struct Case {
        int width;
        int64_t low, high;  // signed low bound, unsigned high bound
    } cases[] = {
        {1, -1, 1},         {4, -8, 15},        {5, -16, 31},       {6, -32, 63},         {8, -128, 255},
        {10, -512, 1023},   {14, -8192, 16383}, {15, -16384, 32767}, {16, -32768, 65535},
    };
    for (const Case& c : cases) {
        for (int position : {0, 4}) {
            struct Probe {
                int64_t v;
                int status;
            } probes[] = {{c.low, 0}, {c.high, 0}, {c.low - 1, 21}, {c.high + 1, 21}};
            for (const Probe& p : probes) {
                std::string text = std::to_string(p.v);
                scan(text.c_str());
                uint32_t word = 0;
                EXPECT_EQ(tgt_parse_literal(word, nullptr, c.width, position), p.status)
                    << text << " in " << c.width << " bits";
                EXPECT_EQ(word, p.status == 0 ? field(p.v, c.width, position) : 0u)
                    << text << " in " << c.width << " bits";
            }
        }
    }
}

TEST_F(Operand, LiteralValues) {
    struct Case {
        const char* text;
        int width, position;
        int status;
        uint32_t word;
    } cases[] = {
        {"31", 5, 0, 0, 0x1F},
        {"-16", 5, 0, 0, 0x10},
        {"32", 5, 0, 21, 0},
        {"-17", 5, 0, 21, 0},
        {"~0", 5, 0, 0, 0x1F},           // complemented: no range check
        {"~0x100", 8, 0, 0, 0xFF},
        {"5", 4, 12, 0, 0x5000},
        {"0x1234", 16, 4, 0, 0x12340},
        {"1.5", 8, 0, 14, 0},
        {"\"a\"", 8, 0, 14, 0},
        {"W1", 8, 0, 14, 0},
        {"1 < 2", 8, 0, 14, 0},
        {"later", 8, 0, 0, 0},           // pass 1: not known yet, nothing inserted
        {"(", 8, 0, -1, 0},              // the evaluator's own error
    };
    for (const Case& c : cases) {
        scan(c.text);
        uint32_t word = 0;
        EXPECT_EQ(tgt_parse_literal(word, nullptr, c.width, c.position), c.status) << c.text;
        EXPECT_EQ(word, c.word) << c.text;
    }
}

TEST_F(Operand, KeywordOperatorsMarkBits24To31) {
    struct Case {
        const char* text;
        uint32_t modifier;
    } cases[] = {
        {"BOOT 0x1234", 19},     {"SECURE 0x1234", 18},   {"HANDLE 0x1234", 17},
        {"EDSOFFSET 0x1234", 16}, {"EDSPAGE 0x1234", 15},  {"TBLOFFSET 0x1234", 14},
        {"TBLPAGE 0x1234", 0},   {"PSVPAGE 0x1234", 13},  {"PSVOFFSET 0x1234", 12},
        {"PSVPTR 0x1234", 11},   {"DMAOFFSET 0x1234", 10}, {"DMAPAGE 0x1234", 9},
        {"PACKED_LO 0x1234", 8}, {"PACKED_HI 0x1234", 7}, {"0x1234", 0},
        {"-(0x1234)", 0},
    };
    for (const Case& c : cases) {
        scan(c.text);
        uint32_t word = 0;
        EXPECT_EQ(tgt_parse_literal(word, nullptr, 16, 0), 0) << c.text;
        EXPECT_EQ(word >> 24, c.modifier) << c.text;
    }

    // Literals that differ only in the page operator differ in the word.
    struct Page {
        const char* text;
        uint32_t word;
    } pages[] = {
        {"psvpage(0x12345)", 0x0D000001}, {"edspage(0x12345)", 0x0F000001}, {"tblpage(0x12345)", 0x00000001}};
    for (const Page& p : pages) {
        scan(p.text);
        uint32_t word = 0;
        EXPECT_EQ(tgt_parse_literal(word, nullptr, 8, 0), 0) << p.text;
        EXPECT_EQ(word, p.word) << p.text;
    }

    // The modifier goes in even when the field is refused.
    scan("handle 0x12345");
    uint32_t word = 0;
    EXPECT_EQ(tgt_parse_literal(word, nullptr, 8, 0), 21);
    EXPECT_EQ(word, 0x11000000u);

    // The byte literal carries none.
    scan("psvpage(0x12345)");
    word = 0;
    EXPECT_EQ(tgt_parse_byte_literal(word, nullptr, 0), 0);
    EXPECT_EQ(word, 1u);
}

TEST_F(Operand, FixedWidthFields) {
    enum Parser { BYTE, FILE_REGISTER, DATA_ADDRESS };
    struct Case {
        Parser parser;
        const char* text;
        int position;
        int status;
        uint32_t word;
    } cases[] = {
        {BYTE, "255", 0, 0, 0xFF},
        {BYTE, "-128", 0, 0, 0x80},
        {BYTE, "256", 0, 21, 0},
        {BYTE, "-129", 0, 21, 0},
        {BYTE, "0xAB", 4, 0, 0xAB0},
        {BYTE, "1.0", 4, 14, 0},
        {FILE_REGISTER, "8191", 0, 0, 0x1FFF},
        {FILE_REGISTER, "-4096", 0, 0, 0x1000},
        {FILE_REGISTER, "8192", 0, 21, 0},
        {FILE_REGISTER, "-4097", 0, 21, 0},
        {FILE_REGISTER, "0x800", 0, 0, 0x800},
        {DATA_ADDRESS, "0x1235", 0, 0, 0x91A},  // the low address bit is dropped
        {DATA_ADDRESS, "0x1235", 4, 0, 0x91A0},
        {DATA_ADDRESS, "0x1235", 1, 0, 0x1234},
        {DATA_ADDRESS, "65535", 0, 0, 0x7FFF},
        {DATA_ADDRESS, "-32768", 0, 0, 0x4000},
        {DATA_ADDRESS, "65536", 0, 21, 0},
        {DATA_ADDRESS, "-32769", 0, 21, 0},
        {DATA_ADDRESS, "W2", 0, 14, 0},
    };
    for (const Case& c : cases) {
        scan(c.text);
        uint32_t word = 0;
        int status = c.parser == BYTE            ? tgt_parse_byte_literal(word, nullptr, c.position)
                     : c.parser == FILE_REGISTER ? tgt_parse_file_register(word, nullptr, c.position)
                                                 : tgt_parse_data_address(word, nullptr, c.position);
        EXPECT_EQ(status, c.status) << c.text;
        EXPECT_EQ(word, c.word) << c.text;
    }
}

TEST_F(Operand, InsertingAnEvaluatedValue) {
    ExprValue value;
    value.value_class = CLASS_ABSOLUTE;
    value.value_type = TYPE_INTEGER;
    value.value.raw = 0x1235;
    uint32_t word = 0x800000;
    EXPECT_EQ(tgt_insert_data_address_field(value, word, nullptr, 4), 0);
    EXPECT_EQ(word, 0x8091A0u);

    word = 0xBF8000;
    value.value.raw = 0x2000;  // 8192 does not fit 13 bits
    EXPECT_EQ(tgt_insert_file_register_field(value, word, nullptr, 0), 21);
    EXPECT_EQ(word, 0xBF8000u);
    value.value.raw = 0x1FFE;
    EXPECT_EQ(tgt_insert_file_register_field(value, word, nullptr, 0), 0);
    EXPECT_EQ(word, 0xBF9FFEu);

    value.value_type = TYPE_FLOAT;
    EXPECT_EQ(tgt_insert_literal_field(value, word, nullptr, 8, 0), 14);
    value.value_class = CLASS_ILLEGAL;
    value.value_type = TYPE_INTEGER;
    EXPECT_EQ(tgt_insert_literal_field(value, word, nullptr, 8, 0), 14);
}

TEST_F(Operand, ValuesThatReferToSymbolsAreFittedInPassTwo) {
    Symbol* var = label("var", data, 0x1235);
    struct Case {
        const char* text;
        int width;
        int status;
        uint32_t word;
        const char* printed;
    } cases[] = {
        {"var", 16, 0, 0x1235, ""},
        {"var + 2", 16, 0, 0x1237, ""},
        {"<var", 8, 0, 0x35, ""},
        {">var", 8, 0, 0x12, ""},
        // Too wide for the field: the fit reports it and the field is 0.
        {"var", 8, 0, 0, "prog.s: line 0012: PA-E0020 Error: Relocatable address expression out of range\n"},
    };
    for (const Case& c : cases) {
        // Pass 1 inserts nothing and names no symbol.
        scan(c.text);
        uint32_t word = 0;
        Symbol* relocation = nullptr;
        EXPECT_EQ(tgt_parse_literal(word, &relocation, c.width, 0), 0) << c.text;
        EXPECT_EQ(word, 0u) << c.text;
        EXPECT_EQ(relocation, nullptr) << c.text;

        replay(c.text);
        CaptureStderr();
        EXPECT_EQ(tgt_parse_literal(word, &relocation, c.width, 0), c.status) << c.text;
        EXPECT_EQ(GetCapturedStderr(), c.printed) << c.text;
        EXPECT_EQ(word, c.word) << c.text;
        EXPECT_EQ(relocation, var) << c.text;
    }

    // Where no relocation symbol is taken, such a value is invalid in pass 2.
    scan("var");
    uint32_t word = 0;
    EXPECT_EQ(tgt_parse_literal(word, nullptr, 16, 0), 0);
    replay("var");
    EXPECT_EQ(tgt_parse_literal(word, nullptr, 16, 0), 14);
    EXPECT_EQ(word, 0u);

    // A data address of a label: the word address in 15 bits.
    replay("var");
    Symbol* relocation = nullptr;
    EXPECT_EQ(tgt_parse_data_address(word, &relocation, 4), 0);
    EXPECT_EQ(word, 0x91A0u);
    EXPECT_EQ(relocation, var);

    // External symbols are fitted with their own value.
    Symbol* ext = external("ext");
    replay("ext + 6");
    word = 0;
    EXPECT_EQ(tgt_parse_file_register(word, &relocation, 0), 0);
    EXPECT_EQ(word, 6u);
    EXPECT_EQ(relocation, ext);
}

TEST_F(Operand, UndefinedLiteralIsReportedHere) {
    scan("nowhere");
    uint32_t word = 0;
    EXPECT_EQ(tgt_parse_literal(word, nullptr, 8, 0), 0);
    replay("nowhere");
    CaptureStderr();
    EXPECT_EQ(tgt_parse_literal(word, nullptr, 8, 0), 0);
    EXPECT_EQ(GetCapturedStderr(),
              error_at(7, "Symbol 'nowhere' is not defined") + error_at(14, "Invalid operand"));
    EXPECT_EQ(word, 0u);
}

// ---- Read-after-write hazard -------------------------------------------------------------------

TEST_F(Operand, HazardWarningsFollowTheRegisterTableOrder) {
    pass_number = 2;
    report_flags = REPORT_WARNINGS;
    here.last_hazard_defs = 0xFFFFu | RES_ACCUMULATOR_A | RES_ACCUMULATOR_B | RES_TBLPAG;
    CaptureStderr();
    tgt_check_raw_hazard(W(0) | W(1) | W(2) | W(10) | W(15) | RES_ACCUMULATOR_A | RES_TBLPAG | M);
    // WREG shares W0's mask and is never named.
    EXPECT_EQ(GetCapturedStderr(), warning_at(8, "Use of register 'A' causes RAW hazard") +
                                       warning_at(8, "Use of register 'TBLPAG' causes RAW hazard") +
                                       warning_at(8, "Use of register 'W0' causes RAW hazard") +
                                       warning_at(8, "Use of register 'W1' causes RAW hazard") +
                                       warning_at(8, "Use of register 'W10' causes RAW hazard") +
                                       warning_at(8, "Use of register 'W15' causes RAW hazard") +
                                       warning_at(8, "Use of register 'W2' causes RAW hazard"));

    // Only registers both written before and used now.
    here.last_hazard_defs = W(4) | W(3);
    CaptureStderr();
    tgt_check_raw_hazard(W(3) | W(5));
    EXPECT_EQ(GetCapturedStderr(), warning_at(8, "Use of register 'W3' causes RAW hazard"));
    CaptureStderr();
    tgt_check_raw_hazard(W(5));
    EXPECT_EQ(GetCapturedStderr(), "");

    // The check reads the memory of the current section only.
    current_section = &other;
    CaptureStderr();
    tgt_check_raw_hazard(W(3));
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(here.last_hazard_defs, W(4) | W(3));
}

// ---- Effective and indexed addresses -----------------------------------------------------------

struct AddressCase {
    const char* text;
    int role;
    uint32_t word;
    uint32_t arch_defs, arch_uses, hazard_defs, hazard_uses;
};

void expect_address(const AddressCase& c, int status, uint32_t word, const ResourcePair& arch,
                    const ResourcePair& hazard) {
    std::string what = std::string(c.text) + " role " + std::to_string(c.role);
    EXPECT_EQ(status, 0) << what;
    EXPECT_EQ(word, c.word) << what;
    EXPECT_EQ(arch.defs, c.arch_defs) << what;
    EXPECT_EQ(arch.uses, c.arch_uses) << what;
    EXPECT_EQ(hazard.defs, c.hazard_defs) << what;
    EXPECT_EQ(hazard.uses, c.hazard_uses) << what;
}

TEST_F(Operand, EffectiveAddressModesAndResources) {
    const AddressCase cases[] = {
        // text, role, word, A.defs, A.uses, H.defs, H.uses
        {"W2", ROLE_SOURCE, 0x02, 0, W(2), 0, 0},
        {"W2", ROLE_DESTINATION, 0x02, W(2), 0, W(2), 0},
        {"W2", ROLE_BOTH, 0x02, W(2), W(2), W(2), 0},
        {"[W2]", ROLE_SOURCE, 0x12, 0, W(2) | M, 0, W(2)},
        {"[W2]", ROLE_DESTINATION, 0x12, M, W(2), 0, 0},
        {"[W2]", ROLE_BOTH, 0x12, M, W(2) | M, 0, W(2)},
        {"[W2--]", ROLE_SOURCE, 0x22, W(2), W(2) | M, 0, W(2)},
        {"[W2--]", ROLE_DESTINATION, 0x22, W(2) | M, W(2), W(2), 0},
        {"[W2--]", ROLE_BOTH, 0x22, W(2) | M, W(2) | M, W(2), W(2)},
        {"[W2++]", ROLE_SOURCE, 0x32, W(2), W(2) | M, 0, W(2)},
        {"[W2++]", ROLE_DESTINATION, 0x32, W(2) | M, W(2), W(2), 0},
        {"[--W2]", ROLE_SOURCE, 0x42, W(2), W(2) | M, 0, W(2)},
        {"[--W2]", ROLE_DESTINATION, 0x42, W(2) | M, W(2), W(2), 0},
        {"[++W2]", ROLE_SOURCE, 0x52, W(2), W(2) | M, 0, W(2)},
        {"[++W2]", ROLE_DESTINATION, 0x52, W(2) | M, W(2), W(2), 0},
        {"[W2++]", ROLE_NONE, 0x32, 0, 0, 0, 0},
        {"[ W14 ]", ROLE_SOURCE, 0x1E, 0, W(14) | M, 0, W(14)},
    };
    for (const AddressCase& c : cases) {
        scan(c.text);
        uint32_t word = 0;
        ResourcePair arch, hazard;
        int ends_run = 0;
        int status = tgt_parse_effective_address(word, arch, hazard, 0, ends_run, c.role);
        expect_address(c, status, word, arch, hazard);
        EXPECT_EQ(ends_run, 0) << c.text;
        EXPECT_EQ(current_token.code, TOK_END_OF_STATEMENT) << c.text;
    }

    // At a position: the seven bits move together.
    scan("[W3++]");
    uint32_t word = 0;
    ResourcePair arch, hazard;
    int ends_run = 0;
    EXPECT_EQ(tgt_parse_effective_address(word, arch, hazard, 7, ends_run, ROLE_DESTINATION), 0);
    EXPECT_EQ(word, 0x33u << 7);
}

TEST_F(Operand, IndexedAddressModesAndResources) {
    const AddressCase cases[] = {
        // text, role, word (Wb at bit 15), A.defs, A.uses, H.defs, H.uses
        {"W2", ROLE_SOURCE, 0x02, 0, W(2), 0, 0},
        {"W2", ROLE_DESTINATION, 0x02, W(2), 0, W(2), 0},
        {"[W2]", ROLE_SOURCE, 0x12, 0, W(2) | M, 0, W(2)},
        {"[W2]", ROLE_DESTINATION, 0x12, M, W(2), 0, 0},
        {"[W2+W3]", ROLE_SOURCE, 0x62 | (3u << 15), 0, W(2) | W(3) | M, 0, W(2) | W(3)},
        {"[W2+W3]", ROLE_DESTINATION, 0x62 | (3u << 15), M, W(2) | W(3), 0, 0},
        {"[W2+W3]", ROLE_BOTH, 0x62 | (3u << 15), M, W(2) | W(3) | M, 0, W(2) | W(3)},
        {"[W2--]", ROLE_SOURCE, 0x22, W(2), W(2) | M, 0, W(2)},
        // A modified destination pointer is not counted as read here.
        {"[W2--]", ROLE_DESTINATION, 0x22, W(2) | M, 0, W(2), 0},
        {"[W2++]", ROLE_DESTINATION, 0x32, W(2) | M, 0, W(2), 0},
        {"[--W2]", ROLE_DESTINATION, 0x42, W(2) | M, 0, W(2), 0},
        {"[++W2]", ROLE_DESTINATION, 0x52, W(2) | M, 0, W(2), 0},
        {"[++W2]", ROLE_BOTH, 0x52, W(2) | M, W(2) | M, W(2), W(2)},
    };
    for (const AddressCase& c : cases) {
        scan(c.text);
        uint32_t word = 0;
        ResourcePair arch, hazard;
        int ends_run = 0;
        int status = tgt_parse_indexed_address(word, arch, hazard, 0, 15, ends_run, c.role);
        expect_address(c, status, word, arch, hazard);
        EXPECT_EQ(ends_run, 0) << c.text;
        EXPECT_EQ(current_token.code, TOK_END_OF_STATEMENT) << c.text;
    }

    // Wn and Wb at the caller's positions.
    scan("[W4+W9]");
    uint32_t word = 0;
    ResourcePair arch, hazard;
    int ends_run = 0;
    EXPECT_EQ(tgt_parse_indexed_address(word, arch, hazard, 7, 11, ends_run, ROLE_DESTINATION), 0);
    EXPECT_EQ(word, (0x64u << 7) | (9u << 11));
}

TEST_F(Operand, StackPointerOperandsEndTheRun) {
    struct Case {
        bool indexed;
        const char* text;
        int role;
        int ends_run;
    } cases[] = {
        {false, "W15", ROLE_SOURCE, 1},
        {false, "W15", ROLE_DESTINATION, 1},
        {false, "[W15]", ROLE_DESTINATION, 1},  // a plain store: one call level down it names another slot
        {false, "[W15]", ROLE_SOURCE, 1},
        {false, "[W15]", ROLE_BOTH, 1},
        {false, "[W15++]", ROLE_DESTINATION, 1},
        {false, "[--W15]", ROLE_SOURCE, 1},
        {false, "[W14]", ROLE_SOURCE, 0},
        {true, "[W15]", ROLE_DESTINATION, 1},  // and so in the indexed parser
        {true, "[W15+W2]", ROLE_SOURCE, 1},
        {true, "[W2+W15]", ROLE_DESTINATION, 1},
        {true, "W15", ROLE_SOURCE, 1},
        {true, "[W2+W3]", ROLE_SOURCE, 0},
    };
    for (const Case& c : cases) {
        scan(c.text);
        uint32_t word = 0;
        ResourcePair arch, hazard;
        int ends_run = 0;
        int status = c.indexed ? tgt_parse_indexed_address(word, arch, hazard, 0, 15, ends_run, c.role)
                               : tgt_parse_effective_address(word, arch, hazard, 0, ends_run, c.role);
        EXPECT_EQ(status, 0) << c.text;
        EXPECT_EQ(ends_run, c.ends_run) << c.text << (c.indexed ? " indexed" : "") << " role " << c.role;
    }
    // The flag is never cleared.
    scan("W2");
    uint32_t word = 0;
    ResourcePair arch, hazard;
    int ends_run = 1;
    EXPECT_EQ(tgt_parse_effective_address(word, arch, hazard, 0, ends_run, ROLE_SOURCE), 0);
    EXPECT_EQ(ends_run, 1);
}

TEST_F(Operand, AddressSyntaxErrors) {
    struct Case {
        bool indexed;
        const char* text;
        int status;
    } cases[] = {
        {false, "[W2", 40},     {false, "[W2+W3]", 40}, {false, "[A]", 29},   {false, "5", 29},
        {false, "[WREG]", 29},  {false, "[++5]", 29},   {false, "[W2++", 40}, {false, "DSRPAG", 29},
        {true, "[W2+5]", 29},   {true, "[W2+W3", 40},   {true, "[W2+A]", 29},
    };
    for (const Case& c : cases) {
        scan(c.text);
        uint32_t word = 0;
        ResourcePair arch, hazard;
        int ends_run = 0;
        int status = c.indexed ? tgt_parse_indexed_address(word, arch, hazard, 0, 15, ends_run, ROLE_SOURCE)
                               : tgt_parse_effective_address(word, arch, hazard, 0, ends_run, ROLE_SOURCE);
        EXPECT_EQ(status, c.status) << c.text;
        EXPECT_EQ(arch.defs | arch.uses | hazard.defs | hazard.uses, 0u) << c.text;
    }
}

TEST_F(Operand, SourceRegisterOrShortLiteral) {
    struct Case {
        const char* text;
        int status;
        uint32_t word;
        uint32_t arch_uses, hazard_uses;
    } cases[] = {
        {"#31", 0, 0x7F, 0, 0},
        {"#-16", 0, 0x70, 0, 0},
        {"#~0", 0, 0x7F, 0, 0},
        {"#32", 21, 0, 0, 0},
        {"#-17", 21, 0, 0, 0},
        {"[W3]", 0, 0x13, W(3) | M, W(3)},
        {"W3", 0, 0x03, W(3), 0},
    };
    for (const Case& c : cases) {
        scan(c.text);
        uint32_t word = 0;
        ResourcePair arch, hazard;
        int ends_run = 0;
        EXPECT_EQ(tgt_parse_ws_or_literal(word, arch, hazard, ends_run, ROLE_SOURCE), c.status) << c.text;
        EXPECT_EQ(word, c.word) << c.text;
        EXPECT_EQ(arch.uses, c.arch_uses) << c.text;
        EXPECT_EQ(hazard.uses, c.hazard_uses) << c.text;
    }
    // A literal that refers to a symbol cannot be relocated here.
    label("var", data, 4);
    replay("#var");
    uint32_t word = 0;
    ResourcePair arch, hazard;
    int ends_run = 0;
    EXPECT_EQ(tgt_parse_ws_or_literal(word, arch, hazard, ends_run, ROLE_SOURCE), 14);
    EXPECT_EQ(word, 0u);
}

// ---- Branch targets -------------------------------------------------------------------------------

struct BranchResult {
    int status = 0;
    uint32_t word = 0;
    int ends_run = 0;
    Symbol* target = nullptr;
};

class Branch : public Operand {
protected:
    // The current operand as the target of `mnemonic` (offset from the
    // next instruction: adjustment 2).
    BranchResult branch(const char* mnemonic, int mark, uint32_t word) {
        BranchResult r;
        r.word = word;
        r.status = tgt_parse_branch_target(r.word, 2, r.ends_run, r.target, mark, mnemonic);
        return r;
    }
    BranchResult pass1(const char* text, const char* mnemonic = "BRA", int mark = 1, uint32_t word = 0) {
        scan(text);
        return branch(mnemonic, mark, word);
    }
    BranchResult pass2(const char* text, const char* mnemonic = "BRA", int mark = 1, uint32_t word = 0) {
        replay(text);
        return branch(mnemonic, mark, word);
    }
};

// The instruction is at 0x20000; offsets count from 0x20002.
TEST_F(Branch, LabelsOfTheSameSection) {
    label("self", here, 0x20000);
    label("fwd_max", here, 0x20002 + 2 * 32767);
    label("fwd_over", here, 0x20002 + 2 * 32768);
    label("back_max", here, 0x20002 - 2 * 32768);
    label("back_over", here, 0x20002 - 2 * 32769);
    label("cpb_fwd_max", here, 0x20002 + 2 * 31);
    label("cpb_fwd_over", here, 0x20002 + 2 * 32);
    label("cpb_back_max", here, 0x20002 - 2 * 32);
    label("cpb_back_over", here, 0x20002 - 2 * 33);
    struct Case {
        const char* text;
        const char* mnemonic;
        int status;
        uint32_t word;
    } cases[] = {
        {"self", "BRA", 0, 0xFFFF},
        {"fwd_max", "BRA", 0, 0x7FFF},
        {"fwd_over", "BRA", 22, 0},
        {"back_max", "BRA", 0, 0x8000},
        {"back_over", "BRA", 22, 0},
        {"self", "RCALL", 0, 0xFFFF},
        {"self", "CPBEQ", 0, 0x3F0},
        {"cpb_fwd_max", "CPBGT", 0, 0x1F0},
        {"cpb_fwd_over", "CPBLT", 22, 0},
        {"cpb_back_max", "CPBNE", 0, 0x200},
        {"cpb_back_over", "CPBEQ", 22, 0},
        {"cpb_fwd_over", "BRA", 0, 0x20},
    };
    for (int pass : {1, 2}) {
        for (const Case& c : cases) {
            BranchResult r = pass == 1 ? pass1(c.text, c.mnemonic) : pass2(c.text, c.mnemonic);
            std::string what = std::string(c.mnemonic) + " " + c.text + " pass " + std::to_string(pass);
            EXPECT_EQ(r.status, c.status) << what;
            EXPECT_EQ(r.word, c.word) << what;
            EXPECT_EQ(r.ends_run, 0) << what;  // a branch within the section may stay in a run
            Symbol* expected = c.status == 0 ? symbol_named(c.text) : nullptr;
            EXPECT_EQ(r.target, expected) << what;
        }
    }
}

TEST_F(Branch, CompareBranchFieldLeavesTheOtherBitsAlone) {
    label("self", here, 0x20000);
    BranchResult r = pass1("self", "CPBEQ", 1, 0xE7FC0F);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.word, 0xE7FC0Fu | 0x3F0u);
}

TEST_F(Branch, TheAdjustmentSetsWhereOffsetsCountFrom) {
    // DO counts from two words on: its own end label at 0x20000 is k = -2.
    label("loop_end", here, 0x20000);
    scan("loop_end");
    uint32_t word = 0;
    int ends_run = 0;
    Symbol* target = nullptr;
    EXPECT_EQ(tgt_parse_branch_target(word, 4, ends_run, target, 1, "DO"), 0);
    EXPECT_EQ(word, 0xFFFEu);
    EXPECT_EQ(target, symbol_named("loop_end"));
}

TEST_F(Branch, BranchTargetsAreMarked) {
    Symbol* bra_target = label("bra_target", here, 0x20010);
    Symbol* call_target = label("call_target", here, 0x20020);
    Symbol* far_target = label("far_target", other, 0x100);
    EXPECT_EQ(pass1("bra_target").status, 0);
    EXPECT_NE(bra_target->flags & SYM_BRANCH_TARGET, 0);
    EXPECT_EQ(pass1("call_target", "RCALL", 0).status, 0);
    EXPECT_EQ(call_target->flags & SYM_BRANCH_TARGET, 0);
    EXPECT_EQ(pass1("far_target").status, 0);
    EXPECT_NE(far_target->flags & SYM_BRANCH_TARGET, 0);
}

TEST_F(Branch, AbsoluteTargets) {
    struct Case {
        const char* text;
        const char* mnemonic;
        int status;
        uint32_t word;
    } cases[] = {
        // d runs from -32769 to 32768 address units (CPB: -33 to 32).
        {"0x28002", "BRA", 0, 0x4000},
        {"0x28003", "BRA", 22, 0},
        {"0x18001", "BRA", 0, 0xBFFF},
        {"0x18000", "BRA", 22, 0},
        {"0x20022", "CPBEQ", 0, 0x100},
        {"0x20023", "CPBEQ", 22, 0},
        {"0x1FFE1", "CPBEQ", 0, 0x2F0},
        {"0x1FFE0", "CPBEQ", 22, 0},
        {"~0", "BRA", 22, 0},
        {"1.5", "BRA", 14, 0},
        {"\"x\"", "BRA", 14, 0},
    };
    for (const Case& c : cases) {
        BranchResult r = pass1(c.text, c.mnemonic);
        EXPECT_EQ(r.status, c.status) << c.text;
        EXPECT_EQ(r.word, c.word) << c.text;
        EXPECT_EQ(r.ends_run, 1) << c.text;  // an absolute target always ends the run
        EXPECT_EQ(r.target, nullptr) << c.text;
    }
}

TEST_F(Branch, FarTargetsAreFittedInPassTwo) {
    Symbol* back = label("back", other, 0x20002 - 0x102);  // d = -0x102: k = -0x81
    Symbol* ahead = label("ahead", other, 0x20002 + 0xFE);
    Symbol* reach = label("reach", other, 0x20002 + 0xFFFE);
    Symbol* beyond = label("beyond", other, 0x20002 + 0x10000);
    Symbol* cpb_back = label("cpb_back", other, 0x20002 - 0x12);  // k = -9
    Symbol* ext = external("ext");
    const std::string range_error =
        error_at(20, "Relocatable address expression out of range");
    struct Case {
        const char* text;
        const char* mnemonic;
        uint32_t word;
        Symbol* target;
        std::string printed;
    } cases[] = {
        // A backward target keeps its sign in the word offset.
        {"back", "BRA", 0xFF7F, back, ""},
        {"ahead", "BRA", 0x007F, ahead, ""},
        {"reach", "BRA", 0x7FFF, reach, ""},
        {"beyond", "BRA", 0, beyond, range_error},
        {"cpb_back", "CPBNE", 0x370, cpb_back, ""},
        {"ext", "BRA", 0, ext, ""},
        {"ext + 8", "BRA", 0x4, ext, ""},
    };
    for (const Case& c : cases) {
        BranchResult r = pass1(c.text, c.mnemonic);
        EXPECT_EQ(r.status, 0) << c.text;
        EXPECT_EQ(r.word, 0u) << c.text << ": pass 1 leaves the field 0";
        EXPECT_EQ(r.ends_run, 1) << c.text;
        EXPECT_EQ(r.target, nullptr) << c.text;

        CaptureStderr();
        r = pass2(c.text, c.mnemonic);
        EXPECT_EQ(GetCapturedStderr(), c.printed) << c.text;
        EXPECT_EQ(r.status, 0) << c.text;
        EXPECT_EQ(r.word, c.word) << c.text;
        EXPECT_EQ(r.ends_run, 1) << c.text;
        EXPECT_EQ(r.target, c.target) << c.text;
        EXPECT_NE(c.target->flags & SYM_BRANCH_TARGET, 0) << c.text;
    }
}

TEST_F(Branch, TheSectionItselfIsNoTargetSymbol) {
    // '$' is the instruction's own address, relative to the section.
    BranchResult r = pass1("$", "BRA");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.word, 0xFFFFu);
    EXPECT_EQ(r.target, nullptr);
    EXPECT_EQ(r.ends_run, 0);
}

// ---- Program addresses ------------------------------------------------------------------------------

TEST_F(Operand, ProgramAddresses) {
    struct Case {
        const char* text;
        int status;
        uint32_t lo, hi;
    } cases[] = {
        {"0x123456", 0, 0x3456, 0x12},
        {"0xFFFFFF", 0, 0xFFFF, 0xFF},
        {"0x1000000", 21, 7, 7},
        {"-0x800000", 0, 0x0000, 0xFF80},
        {"-0x800001", 21, 7, 7},
        {"-1", 0, 0xFFFF, 0xFFFF},
        {"~0", 0, 0xFFFF, 0xFFFF},
        {"1.5", 14, 7, 7},
        {"W1", 14, 7, 7},
        {"nowhere", 0, 7, 7},  // pass 1: not known yet
    };
    for (const Case& c : cases) {
        scan(c.text);
        uint32_t lo = 7, hi = 7;
        Symbol* relocation = nullptr;
        EXPECT_EQ(tgt_parse_program_address(lo, hi, &relocation), c.status) << c.text;
        EXPECT_EQ(lo, c.lo) << c.text;
        EXPECT_EQ(hi, c.hi) << c.text;
        EXPECT_EQ(relocation, nullptr) << c.text;
    }

    Symbol* start = label("start", other, 0x12344);
    scan("start");
    uint32_t lo = 7, hi = 7;
    Symbol* relocation = nullptr;
    EXPECT_EQ(tgt_parse_program_address(lo, hi, &relocation), 0);
    EXPECT_EQ(lo, 7u);
    EXPECT_EQ(hi, 7u);
    replay("start");
    EXPECT_EQ(tgt_parse_program_address(lo, hi, &relocation), 0);
    EXPECT_EQ(lo, 0x2344u);
    EXPECT_EQ(hi, 0x1u);
    EXPECT_EQ(relocation, start);

    replay("nowhere");
    lo = hi = 7;
    CaptureStderr();
    EXPECT_EQ(tgt_parse_program_address(lo, hi, &relocation), 0);
    EXPECT_EQ(GetCapturedStderr(),
              error_at(7, "Symbol 'nowhere' is not defined") + error_at(14, "Invalid operand"));
    EXPECT_EQ(lo, 7u);
    EXPECT_EQ(hi, 7u);
}


// ---- Whole sources ------------------------------------------------------------------------------------

TEST(OperandSource, RegisterEquates) {
    // Defined before its use, the name stands for W3 (SWAP W3 is 0xFD8003).
    AsmRun run = assemble("\t.section .text,code\n\t.equ\tptr, w3\n\tswap\tptr\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(cells_of(".text"), std::vector<uint32_t>{0xFD8003});

    // Used before it: a forward reference, so the equate is refused
    // (error 11) and the name is no register at either use.
    run = assemble("\t.section .text,code\n\tswap\tptr\n\t.equ\tptr, w3\n\tswap\tptr\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, error_line(2, 29, "Expected a hardware register operand") +
                              error_line(3, 11, "Forward referenced equate must be an absolute expression") +
                              error_line(4, 29, "Expected a hardware register operand"));
    EXPECT_EQ(cells_of(".text"), (std::vector<uint32_t>{0xFD8000, 0xFD8000}));
}

TEST(OperandSource, HazardsBetweenInstructions) {
    const std::string source =
        "\t.section .text,code\n"
        "\tinc\tw1, w2\n"         // writes W2
        "\tinc\t[w2], w3\n"       // W2 as a pointer: hazard
        "\tswap\tw3\n"            // writes W3
        "\tmov\t[w2+w3], w4\n"    // both index registers are pointers: hazard on W3
        "\tmov\tw4, w5\n";        // W4 read directly: no hazard
    AsmRun run = assemble_warn(source);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, warning_line(3, 8, "Use of register 'W2' causes RAW hazard") +
                              warning_line(5, 8, "Use of register 'W3' causes RAW hazard"));
    // Without -w nothing is printed.
    run = assemble(source);
    EXPECT_EQ(run.errors, "");
}

TEST(OperandSource, BranchesToAnotherSectionKeepTheirSign) {
    // .other holds nop and return; far is at its offset 2. The BRA at .text
    // offset 12 counts from 14: d = -12, k = -6.
    AsmRun run = assemble(
        "\t.section .text,code\n"
        "\tnop\n\tnop\n\tnop\n\tnop\n\tnop\n\tnop\n"
        "\tbra\tfar\n"
        "\tbra\t$\n"
        "\tbra\tnext\n"
        "next:\n"
        "\t.section .other,code\n"
        "\tnop\n"
        "far:\n"
        "\treturn\n"
        "\tbra\tnext\n");  // forward into .text: d = 18 - 6 = 12, k = 6
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(cells_of(".text"),
              (std::vector<uint32_t>{0, 0, 0, 0, 0, 0, 0x37FFFA, 0x37FFFF, 0x370000}));
    EXPECT_EQ(cells_of(".other"), (std::vector<uint32_t>{0, 0x060000, 0x370006}));
}

}  // namespace
