// Statement matching: lookups in the registered tables, the hand-over to
// the encoder, the .section operand, operand fitting, typed evaluation and
// the expected-token checks.
#include <gtest/gtest.h>

#include "test_support.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmmatch.h"
#include "paasmomf.h"
#include "paasmquodra.h"
#include "paasmsym.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// ---- Small target tables ------------------------------------------------------------

MnemonicEntry row(const char* name, uint16_t family_mask) {
    MnemonicEntry entry{};
    entry.mnemonic_name = name;
    entry.family_mask = family_mask;
    entry.encoder_class = 1;
    return entry;
}

const MnemonicEntry mnemonics[] = {
    row("ADD", 0x4B),    row("ADD", 0x24),    row("CP", 0x6F),     row("CP0", 0x6F),
    row("CPB", 0x6F),    row("CPSEQ", 0x01),  row("CPSEQ", 0x6E),  row("MOV", 0x6F),
    row("MOVPAG", 0x40), row("MOVPAG", 0x20), row("NOP", 0x6F),
};
constexpr int mnemonic_count = 11;

const NamedValue suffixes[] = {{".b", 0x1}, {".c", 0x800}, {".d", 0x4}, {".l", 0x800}, {".w", 0x2}};

uint32_t family = 2;
const MnemonicEntry* suffix_row = nullptr;
std::string suffix_text;

int available(int index) {
    if (index < 0 || index >= mnemonic_count) return 0;
    return (mnemonics[index].family_mask & family) != 0 ? 1 : 0;
}

// Accepts the suffixes of the table above and leaves the bit in the token.
const MnemonicEntry* parse_suffix(const MnemonicEntry* entry, const char* suffix) {
    suffix_row = entry;
    suffix_text = suffix;
    const NamedValue* found = match_find_name(suffix, suffixes, 5);
    if (found == nullptr) return nullptr;
    lex_set_token_suffix(found->value);
    return entry;
}

const SymbolKey* encoded_label = nullptr;
const MnemonicEntry* encoded_row = nullptr;
void encode(const SymbolKey& label, const MnemonicEntry* entry) {
    encoded_label = &label;
    encoded_row = entry;
}

void install_target() {
    target_mnemonics = mnemonics;
    target_mnemonic_count = mnemonic_count;
    target_available_hook = available;
    target_suffix_hook = parse_suffix;
    target_encode_hook = encode;
}

int index_of(const MnemonicEntry* entry) {
    return entry == nullptr ? -1 : static_cast<int>(entry - mnemonics);
}

class Match : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test_support::start_scanner_run());
        // The sections register the real target; these tests install their
        // own tables where they need any.
        test_support::clear_target();
        family = 2;
        suffix_row = nullptr;
        suffix_text.clear();
        encoded_label = nullptr;
        encoded_row = nullptr;
    }
    void TearDown() override {
        test_support::end_scanner_run();
        test_support::clear_target();
    }

    // Puts operand text on the line; in pass 1 the next token read comes
    // from the scanner and is written to the token file.
    void put_line(const char* operand) {
        test_support::put_operand_line(operand);
        std::rewind(token_file);
    }
    void scan(const char* operand) {
        put_line(operand);
        lex_next_token();
    }
    // Pass 2 reads back what pass 1 wrote.
    void begin_replay() {
        std::rewind(token_file);
        pass_number = 2;
        scan_flags = 0;
    }

    Section* section_named(const char* name) {
        Symbol* symbol = omf_find_section(name, 0);
        return symbol != nullptr ? symbol->section : nullptr;
    }
    int section_count() {
        int n = 0;
        for (Section* s = section_list; s != nullptr; s = s->next) ++n;
        return n;
    }
};

// ---- Hand-over ------------------------------------------------------------------------

TEST_F(Match, InstructionsGoToTheEncodeHookUnchanged) {
    SymbolKey label{SYMKIND_ORDINARY, intern_string("here")};
    match_assemble_instruction(label, &mnemonics[7]);  // no hook yet: nothing happens
    EXPECT_EQ(encoded_row, nullptr);
    install_target();
    match_assemble_instruction(label, &mnemonics[7]);
    EXPECT_EQ(encoded_label, &label);
    EXPECT_EQ(encoded_row, &mnemonics[7]);
}

// ---- Mnemonic lookup --------------------------------------------------------------------

TEST_F(Match, WithoutATargetNothingIsFound) {
    lex_set_token_suffix(0x55);
    EXPECT_EQ(match_find_mnemonic("MOV"), nullptr);
    EXPECT_EQ(lex_token_suffix(), 0);
    EXPECT_EQ(match_find_register("W0"), nullptr);
    EXPECT_EQ(match_find_condition("z"), nullptr);
}

TEST_F(Match, MnemonicsByDeviceFamily) {
    install_target();
    struct Case {
        uint32_t family;
        const char* word;
        int row;  // -1: none
    } cases[] = {
        {2, "mov", 7},       {2, "MOV", 7},      {2, "Nop", 10},
        // Words that extend a shorter mnemonic are found past it.
        {2, "CP", 2},        {2, "cp0", 3},      {2, "CPB", 4},
        // Rows of one name by family: the first available one the search reaches.
        {2, "ADD", 0},       {0x20, "add", 1},   {2, "CPSEQ", 6},
        {1, "CPSEQ", 5},     {3, "CPSEQ", 5},
        // A row of that name exists, but not on the device.
        {2, "MOVPAG", -1},   {0x20, "movpag", 9}, {0x40, "MOVPAG", 8},
        {0x20, "CP0", 3},
        // Words that extend a name and match nothing end the search.
        {2, "ADDA", -1},     {2, "ADD1", -1},    {0x20, "ADDA", -1},
        {2, "NOPE", -1},     {2, "MO", -1},      {2, "ZZZ", -1},
        {2, "", -1},
    };
    for (const Case& c : cases) {
        family = c.family;
        EXPECT_EQ(index_of(match_find_mnemonic(c.word)), c.row) << c.word << " family " << c.family;
    }
}

TEST_F(Match, MnemonicSuffixes) {
    install_target();
    lex_set_token_suffix(0x55);
    EXPECT_EQ(index_of(match_find_mnemonic("mov.b")), 7);
    EXPECT_EQ(suffix_row, &mnemonics[7]);
    EXPECT_EQ(suffix_text, ".b");
    EXPECT_EQ(lex_token_suffix(), 0x1);

    // Suffixes are matched whatever their case.
    EXPECT_EQ(index_of(match_find_mnemonic("MOV.W")), 7);
    EXPECT_EQ(lex_token_suffix(), 0x2);

    // A suffix after a mnemonic that longer names extend stops at it.
    EXPECT_EQ(index_of(match_find_mnemonic("CP.d")), 2);
    EXPECT_EQ(lex_token_suffix(), 0x4);

    // A suffix the hook refuses: nothing, and no suffix left over.
    lex_set_token_suffix(0x55);
    EXPECT_EQ(match_find_mnemonic("MOV.q"), nullptr);
    EXPECT_EQ(lex_token_suffix(), 0);

    // A suffix on a name whose rows are all on other devices: nothing,
    // although the hook was asked with the highest row of that name.
    EXPECT_EQ(match_find_mnemonic("MOVPAG.b"), nullptr);
    EXPECT_EQ(suffix_row, &mnemonics[9]);

    // With the device's row found below the one the search met.
    EXPECT_EQ(index_of(match_find_mnemonic("ADD.w")), 0);
    EXPECT_EQ(suffix_row, &mnemonics[0]);
}

TEST_F(Match, SuffixWithoutASuffixHookIsNotAMnemonic) {
    install_target();
    target_suffix_hook = nullptr;
    EXPECT_EQ(match_find_mnemonic("MOV.b"), nullptr);
    EXPECT_EQ(index_of(match_find_mnemonic("MOV")), 7);
}

// ---- Name, condition and register lookups -------------------------------------------------

TEST_F(Match, NameLookupFoldsToLowerCaseAndMatchesWholeText) {
    struct Case {
        const char* text;
        int row;
    } cases[] = {
        {".b", 0}, {".B", 0}, {".c", 1}, {".L", 3}, {".w", 4},
        {".x", -1}, {".bb", -1}, {".", -1}, {"", -1}, {"b", -1},
    };
    for (const Case& c : cases) {
        const NamedValue* found = match_find_name(c.text, suffixes, 5);
        EXPECT_EQ(found == nullptr ? -1 : static_cast<int>(found - suffixes), c.row) << c.text;
    }
    EXPECT_EQ(match_find_name(".b", nullptr, 0), nullptr);
}

TEST_F(Match, ConditionsAndRegisters) {
    static const ConditionEntry conditions[] = {
        {"c", 0x31}, {"eq", 0x32}, {"ge", 0x3D}, {"geu", 0x31}, {"gt", 0x3C}, {"z", 0x32}};
    static const RegisterEntry registers[] = {{"A", REG_ACCUMULATOR, 0, 0x10000},
                                              {"B", REG_ACCUMULATOR, 1, 0x20000},
                                              {"W0", REG_W, 0, 0x1},
                                              {"W1", REG_W, 1, 0x2},
                                              {"W10", REG_W, 10, 0x400},
                                              {"WREG", REG_WREG, 0, 0x1}};
    target_conditions = conditions;
    target_condition_count = 6;
    target_registers = registers;
    target_register_count = 6;

    struct Case {
        const char* text;
        int row;
    } condition_cases[] = {{"GEU", 3}, {"Ge", 2}, {"c", 0}, {"Z", 5}, {"eq", 1},
                           {"g", -1},  {"geux", -1}, {"n", -1}, {"", -1}},
      register_cases[] = {{"w10", 4}, {"w1", 3}, {"W0", 2}, {"wreg", 5}, {"a", 0}, {"B", 1},
                          {"W", -1},  {"W100", -1}, {"W2", -1}, {"", -1}};
    for (const Case& c : condition_cases) {
        const ConditionEntry* found = match_find_condition(c.text);
        EXPECT_EQ(found == nullptr ? -1 : static_cast<int>(found - conditions), c.row) << c.text;
    }
    for (const Case& c : register_cases) {
        const RegisterEntry* found = match_find_register(c.text);
        EXPECT_EQ(found == nullptr ? -1 : static_cast<int>(found - registers), c.row) << c.text;
    }
}

// ---- The section operand ------------------------------------------------------------------

class MatchSection : public Match {
protected:
    void SetUp() override {
        Match::SetUp();
        omf_create_default_sections();
    }
    int parse(const char* operand, Symbol*& result) {
        put_line(operand);
        return match_parse_section_operand(result);
    }
    // Parses in pass 1, then again from the token file in pass 2, and
    // answers what pass 2 printed.
    std::string both_passes(const char* operand, Symbol*& result, int& first, int& second) {
        first = parse(operand, result);
        begin_replay();
        CaptureStderr();
        second = match_parse_section_operand(result);
        return GetCapturedStderr();
    }
};

TEST_F(MatchSection, NewSectionsTakeTheirGeometryFromTheAttributes) {
    struct Case {
        const char* operand;
        const char* name;
        bool code;
        int32_t stop;  // the current token afterwards
    } cases[] = {
        {"*,code", "*_12", true, TOK_END_OF_STATEMENT},
        {"*foo", "*_foo", true, TOK_END_OF_STATEMENT},
        {"plain", "plain", true, TOK_END_OF_STATEMENT},
        {"\"quoted\"", "quoted", true, TOK_END_OF_STATEMENT},
        {"\"_q2\", data", "_q2", false, TOK_END_OF_STATEMENT},
        {"mixed, code, data", "mixed", true, TOK_END_OF_STATEMENT},
        {"flash, auxflash", "flash", true, TOK_END_OF_STATEMENT},
        {"psv, auxpsv", "psv", true, TOK_END_OF_STATEMENT},
        {"upper, CODE", "upper", false, TOK_END_OF_STATEMENT},
        {"var, data(2)", "var", false, TOK_END_OF_STATEMENT},
        {"nest, data(1, (2)), code", "nest", true, TOK_END_OF_STATEMENT},
        {"strx, \"xr\"", "strx", true, TOK_END_OF_STATEMENT},
        {"strd, \"rw\"", "strd", false, TOK_END_OF_STATEMENT},
        {"later, data, \"code\"", "later", true, TOK_END_OF_STATEMENT},
        {"num, data, 5", "num", false, TOK_END_OF_STATEMENT},
        {"first, 5", "first", true, TOK_INTEGER},
        {"open, data(2", "open", false, TOK_END_OF_STATEMENT},
        {"trail, data,", "trail", false, TOK_END_OF_STATEMENT},
    };
    for (const Case& c : cases) {
        int before = section_count();
        Symbol* result = nullptr;
        ASSERT_EQ(parse(c.operand, result), 0) << c.operand;
        ASSERT_NE(result, nullptr) << c.operand;
        EXPECT_STREQ(result->name, c.name);
        EXPECT_EQ(result->name, intern_string(c.name)) << "names are interned";
        EXPECT_EQ(current_token.code, c.stop) << c.operand;
        EXPECT_EQ(section_count(), before + 1) << c.operand;
        Section* section = result->section;
        ASSERT_NE(section, nullptr);
        EXPECT_EQ(section, section_list) << "new sections go to the head of the list";
        EXPECT_EQ(section->symbol, result);
        EXPECT_EQ(section->memory_kind, c.code ? MEMORY_PROGRAM : MEMORY_DATA) << c.operand;
        EXPECT_EQ(section->bytes_per_element, c.code ? 4 : 1) << c.operand;
        EXPECT_EQ(section->units_per_element, c.code ? 2 : 1) << c.operand;
        EXPECT_EQ(section->section_class, 1);
        EXPECT_EQ(section->origin, 0u);
        EXPECT_EQ(section->section_line, 12);
        EXPECT_EQ(result->value_type, TYPE_SECTION);
        EXPECT_EQ(result->value_class, CLASS_EXTERNAL);
        EXPECT_EQ(result->scope, SCOPE_SECTION);
        EXPECT_EQ(result->value.raw, 0u);
        EXPECT_NE(result->flags & SYM_DEFINED_PASS1, 0);
    }
}

TEST_F(MatchSection, TemplatesAreMarkedUsed) {
    Section* text = section_named(".text");
    Section* data = section_named(".data");
    Symbol* result = nullptr;
    ASSERT_EQ(parse("alpha", result), 0);
    EXPECT_NE(text->flags & SECT_USED, 0);
    EXPECT_EQ(data->flags & SECT_USED, 0);
    ASSERT_EQ(parse("beta, data", result), 0);
    EXPECT_NE(data->flags & SECT_USED, 0);
    EXPECT_EQ(section_named(".bss")->flags & SECT_USED, 0);
}

TEST_F(MatchSection, TheDefaultTemplateIsMarkedEvenWhenTheNameFails) {
    Symbol* result = nullptr;
    EXPECT_EQ(parse("*", result), 14);
    EXPECT_NE(section_named(".text")->flags & SECT_USED, 0);
}

TEST_F(MatchSection, UnusableNames) {
    for (const char* operand : {"*", "* 5", "5", "\"1abc\"", "\"\"", "\" x\"", "", ", code"}) {
        int before = section_count();
        Symbol* result = reinterpret_cast<Symbol*>(1);
        EXPECT_EQ(parse(operand, result), 14) << operand;
        EXPECT_EQ(result, nullptr) << operand;
        EXPECT_EQ(section_count(), before) << operand;
    }
}

TEST_F(MatchSection, AnonymousNameAfterAStarComesFromTheLineNumber) {
    main_source.line = 1234;
    Symbol* result = nullptr;
    ASSERT_EQ(parse("*, data", result), 0);
    EXPECT_STREQ(result->name, "*_1234");
    EXPECT_EQ(result->section->memory_kind, MEMORY_DATA);
}

TEST_F(MatchSection, ExistingSectionsAreFoundWhateverTheCase) {
    int before = section_count();
    Symbol* result = nullptr;
    ASSERT_EQ(parse(".TEXT", result), 0);
    EXPECT_EQ(result, omf_find_section(".text", 0));
    EXPECT_EQ(section_count(), before);
    EXPECT_EQ(result->section->section_line, 12);
    EXPECT_NE(result->section->flags & SECT_USED, 0);

    // Attributes do not change a section that exists.
    main_source.line = 13;
    ASSERT_EQ(parse(".data, code", result), 0);
    EXPECT_EQ(result, omf_find_section(".data", 0));
    EXPECT_EQ(result->section->memory_kind, MEMORY_DATA);
    EXPECT_EQ(result->section->section_line, 13);
}

TEST_F(MatchSection, PassTwoFindsTheSectionThatPassOneMade) {
    Symbol* result = nullptr;
    int first = 0, second = 0;
    EXPECT_EQ(both_passes("*,code", result, first, second), "");
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 0);
    Symbol* made = omf_find_section("*_12", 0);
    EXPECT_EQ(result, made);
    int count = section_count();
    begin_replay();
    EXPECT_EQ(match_parse_section_operand(result), 0);
    EXPECT_EQ(section_count(), count);
}

TEST_F(MatchSection, ANameThatIsALabelSelectsTheLabelsSection) {
    Section* data = section_named(".data");
    Symbol* label = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, intern_string("buf")});
    label->value_class = CLASS_RELOCATABLE;
    label->value_type = TYPE_INTEGER;
    label->section = data;
    label->flags = SYM_DEFINED_PASS1 | SYM_LABEL;

    int before = section_count();
    Symbol* result = nullptr;
    int first = 0, second = 0;
    // The label's pass-2 definition has not been reached yet: no error.
    EXPECT_EQ(both_passes("buf", result, first, second), "");
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(result, label);
    EXPECT_EQ(result->section, data);
    EXPECT_NE(label->flags & SYM_DEFINED_PASS2, 0);
    EXPECT_EQ(section_count(), before);

    // Once pass 2 has defined it, naming it again is a double definition.
    begin_replay();
    CaptureStderr();
    EXPECT_EQ(match_parse_section_operand(result), -1);
    EXPECT_EQ(GetCapturedStderr(), "prog.s: line 0012: PA-E0006 Error: Label 'buf' is already defined\n");
}

TEST_F(MatchSection, AnAbsoluteEquateCannotBeASection) {
    Symbol* size = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, intern_string("size")});
    size->value_class = CLASS_ABSOLUTE;
    size->value_type = TYPE_INTEGER;
    size->value.raw = 8;
    size->flags = SYM_DEFINED_PASS1;
    int before = section_count();
    Symbol* result = nullptr;
    int first = 0, second = 0;
    // Reported by the directive from the status, not here.
    EXPECT_EQ(both_passes("size", result, first, second), "");
    EXPECT_EQ(first, 14);
    EXPECT_EQ(second, 14);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(section_count(), before);
    EXPECT_EQ(size->value_class, CLASS_ABSOLUTE);
    EXPECT_EQ(size->flags, SYM_DEFINED_PASS1);
}

TEST_F(MatchSection, NamesArriveAsTextAndCreateNoSymbols) {
    Symbol* result = nullptr;
    ASSERT_EQ(parse("sect, code", result), 0);
    EXPECT_EQ(sym_lookup(SymbolKey{SYMKIND_ORDINARY, intern_string("code")}), nullptr);
}

TEST(MatchTemplate, AMissingTemplateIsAnInternalError) {
    intern_init();
    sym_init();
    omf_init();  // no default section exists
    main_source.name = "prog.s";
    main_source.line = 12;
    pass_number = 1;
    lex_reset();
    token_file = std::tmpfile();
    ASSERT_NE(token_file, nullptr);
    std::memcpy(line_buffer, "fresh\n", 7);
    scan_pointer = line_buffer;
    field_state = FIELD_OPERAND;
    Symbol* result = nullptr;
    CaptureStderr();
    try {
        match_parse_section_operand(result);
        ADD_FAILURE() << "no fatal error";
    } catch (const AsmTrap& trap) {
        EXPECT_EQ(trap.status, 15);
    }
    EXPECT_EQ(GetCapturedStderr(),
              "prog.s: line 0012: PA-F0001 Fatal: Internal error detected (../src/paasmmatch,169)\n");
    if (token_file != nullptr) std::fclose(token_file);
    token_file = nullptr;
}

// ---- Operand fitting --------------------------------------------------------------------

ExprValue value_of(int8_t cls, int8_t type, uint32_t v, Section* section = nullptr,
                   Symbol* symbol = nullptr, int32_t last = OP_NONE) {
    ExprValue value;
    value.value_class = cls;
    value.value_type = type;
    value.value.raw = v;
    value.section = section;
    value.symbol = symbol;
    value.last_operator = last;
    return value;
}

class MatchFit : public testing::Test {
protected:
    void SetUp() override {
        main_source.name = "prog.s";
        main_source.line = 5;
        pass_number = 2;
        here_symbol.name = "here";
        here.symbol = &here_symbol;
        here.location = 0x100;
        here.memory_kind = MEMORY_PROGRAM;
        here_symbol.section = &here;
        current_section = &here;
        other_symbol.name = "other";
        other.symbol = &other_symbol;
        other_symbol.section = &other;
    }
    void TearDown() override { current_section = nullptr; }

    Section here{}, other{};
    Symbol here_symbol{}, other_symbol{}, label{}, ext{}, sub{};
};

const char* const range_error = "prog.s: line 0005: PA-E0020 Error: Relocatable address expression out of range\n";
const char* const type_error = "prog.s: line 0005: PA-E0019 Error: Illegal expression type for address operand\n";

TEST_F(MatchFit, FitOperand) {
    struct Case {
        ExprValue value;
        int width;
        uint32_t field;
        int status;
        Symbol* symbol;
        const char* printed;
    } cases[] = {
        {value_of(CLASS_RELOCATABLE, TYPE_LOW_BYTE, 0x1234, &other, &label), 8, 0x34, 0, &label, ""},
        {value_of(CLASS_RELOCATABLE, TYPE_INTEGER, 0x1234, &other, &label), 8, 0, -1, &label, range_error},
        {value_of(CLASS_RELOCATABLE, TYPE_HIGH_BYTE, 0x1234, &other, &label), 8, 0x12, 0, &label, ""},
        {value_of(CLASS_RELOCATABLE, TYPE_HIGH_BYTE, 0xFFFF8000u, &other, &label), 8, 0x80, 0, &label, ""},
        {value_of(CLASS_RELOCATABLE, TYPE_LOW_WORD, 0x12345, &other, &label), 16, 0x2345, 0, &label, ""},
        {value_of(CLASS_RELOCATABLE, TYPE_WINDOW_OFFSET, 0x12345, &other, &label), 16, 0xA345, 0, &label, ""},
        // After EDSOFFSET or EDSPAGE the value goes in as it is, masked.
        {value_of(CLASS_RELOCATABLE, TYPE_WINDOW_OFFSET, 0x12345, &other, &label, OP_EDSOFFSET), 24,
         0x12345, 0, &label, ""},
        {value_of(CLASS_EXTERNAL, TYPE_INTEGER, 0x1234, nullptr, &ext, OP_EDSPAGE), 8, 0x34, 0, &ext, ""},
        // Without a symbol a relocatable value refers to its section.
        {value_of(CLASS_RELOCATABLE, TYPE_INTEGER, 0x10, &other, nullptr), 16, 0x10, 0, &other_symbol, ""},
        {value_of(CLASS_EXTERNAL, TYPE_INTEGER, 0, nullptr, &ext), 16, 0, 0, &ext, ""},
        {value_of(CLASS_NEGATED, TYPE_INTEGER, 4, &other, &label), 16, 4, 0, &label, ""},
        {value_of(CLASS_DIFFERENCE, TYPE_INTEGER, 6, &other, &label), 16, 6, 0, &label, ""},
        {value_of(CLASS_DIFFERENCE, TYPE_INTEGER, 6, &other, nullptr), 16, 6, 0, &other_symbol, ""},
        // Absolute values: no symbol; negative values pass the range test.
        {value_of(CLASS_ABSOLUTE, TYPE_INTEGER, static_cast<uint32_t>(-2)), 8, 0xFE, 0, nullptr, ""},
        {value_of(CLASS_ABSOLUTE, TYPE_INTEGER, 255), 8, 255, 0, nullptr, ""},
        {value_of(CLASS_ABSOLUTE, TYPE_COMPLEMENTED, 256), 8, 0, -1, nullptr, range_error},
        {value_of(CLASS_ABSOLUTE, TYPE_INTEGER, 0x7FFFFFFF), 32, 0x7FFFFFFF, 0, nullptr, ""},
        {value_of(CLASS_ABSOLUTE, TYPE_INTEGER, 0xFFFFFFFFu), 32, 0xFFFFFFFFu, 0, nullptr, ""},
        {value_of(CLASS_UNKNOWN, TYPE_NONE, 3), 16, 0, -1, nullptr, type_error},
        {value_of(CLASS_ILLEGAL, TYPE_INTEGER, 3, &other, &label), 16, 0, -1, nullptr, type_error},
    };
    int index = 0;
    for (const Case& c : cases) {
        ExprValue v = c.value;
        Symbol* symbol = reinterpret_cast<Symbol*>(1);
        CaptureStderr();
        int status = match_fit_operand(v, symbol, c.width);
        EXPECT_EQ(GetCapturedStderr(), c.printed) << "case " << index;
        EXPECT_EQ(status, c.status) << "case " << index;
        EXPECT_EQ(v.value.raw, uint64_t{c.field}) << "case " << index;
        EXPECT_EQ(symbol, c.symbol) << "case " << index;
        ++index;
    }
}

TEST_F(MatchFit, FitOperandAddsTheOriginOfTheValuesSection) {
    other.origin = 0x100;
    ExprValue v = value_of(CLASS_RELOCATABLE, TYPE_INTEGER, 0x10, &other, &label);
    Symbol* symbol = nullptr;
    EXPECT_EQ(match_fit_operand(v, symbol, 16), 0);
    EXPECT_EQ(v.value.raw, 0x110u);
    ExprValue e = value_of(CLASS_EXTERNAL, TYPE_INTEGER, 0x10, &other, &ext);
    EXPECT_EQ(match_fit_operand(e, symbol, 16), 0);
    EXPECT_EQ(e.value.raw, 0x10u);
}

TEST_F(MatchFit, FitPcRelative) {
    // The location is the current section's counter 0x100 plus the
    // adjustment 2: every offset below is taken from 0x102.
    ExprValue with_subtrahend = value_of(CLASS_DIFFERENCE, TYPE_INTEGER, 0x200, &other, &label);
    with_subtrahend.subtrahend = &sub;
    with_subtrahend.subtrahend_valid = 1;
    struct Case {
        ExprValue value;
        int width;
        uint32_t field;
        int status;
        Symbol* symbol;
        const char* printed;
    } cases[] = {
        {value_of(CLASS_ABSOLUTE, TYPE_INTEGER, 0x200), 16, 0xFE, 0, &here_symbol, ""},
        {value_of(CLASS_RELOCATABLE, TYPE_INTEGER, 0x80, &here, &label), 16, 0xFF7E, 0, &label, ""},
        {value_of(CLASS_RELOCATABLE, TYPE_INTEGER, 0x80, &here, nullptr), 16, 0xFF7E, 0, &here_symbol, ""},
        {value_of(CLASS_RELOCATABLE, TYPE_INTEGER, 0x201, &here, &label), 8, 0xFF, 0, &label, ""},
        {value_of(CLASS_RELOCATABLE, TYPE_INTEGER, 0x202, &here, &label), 8, 0, -1, &label, range_error},
        {value_of(CLASS_EXTERNAL, TYPE_INTEGER, 0x10, nullptr, &ext), 16, 0x10, 0, &ext, ""},
        {value_of(CLASS_NEGATED, TYPE_INTEGER, 0x10, &other, &label), 16, 0x10, 0, &label, ""},
        {with_subtrahend, 16, 0xFE, 0, &sub, ""},
        {value_of(CLASS_DIFFERENCE, TYPE_INTEGER, 0x200, &other, &label), 16, 0xFE, 0, &other_symbol, ""},
        // Low words and window offsets are not reduced; byte parts are, and
        // EDSOFFSET makes no exception here.
        {value_of(CLASS_RELOCATABLE, TYPE_LOW_WORD, 0x12345, &here, &label), 16, 0x2243, 0, &label, ""},
        {value_of(CLASS_RELOCATABLE, TYPE_WINDOW_OFFSET, 0x12345, &here, &label), 24, 0x12243, 0, &label, ""},
        {value_of(CLASS_RELOCATABLE, TYPE_HIGH_BYTE, 0x1234, &here, &label, OP_EDSOFFSET), 8, 0x11, 0, &label, ""},
        {value_of(CLASS_RELOCATABLE, TYPE_LOW_BYTE, 0x1234, &here, &label), 8, 0x32, 0, &label, ""},
        {value_of(CLASS_UNKNOWN, TYPE_NONE, 0x200), 16, 0, -1, nullptr, type_error},
    };
    int index = 0;
    for (const Case& c : cases) {
        ExprValue v = c.value;
        Symbol* symbol = reinterpret_cast<Symbol*>(1);
        CaptureStderr();
        int status = match_fit_pc_relative(v, symbol, c.width, 2);
        EXPECT_EQ(GetCapturedStderr(), c.printed) << "case " << index;
        EXPECT_EQ(status, c.status) << "case " << index;
        EXPECT_EQ(v.value.raw, uint64_t{c.field}) << "case " << index;
        EXPECT_EQ(symbol, c.symbol) << "case " << index;
        ++index;
    }
    EXPECT_EQ(here.location, 0x100u);
}

TEST_F(MatchFit, FitPcRelativeCountsBothOrigins) {
    here.origin = 0x10;
    other.origin = 0x40;
    ExprValue v = value_of(CLASS_RELOCATABLE, TYPE_INTEGER, 0x200, &other, &label);
    Symbol* symbol = nullptr;
    EXPECT_EQ(match_fit_pc_relative(v, symbol, 16, 0), 0);
    EXPECT_EQ(v.value.raw, uint64_t{0x200 + 0x40 - (0x100 + 0x10)});
}

TEST_F(MatchFit, FitDataValue) {
    struct Case {
        ExprValue value;
        int width;
        uint32_t field;
        int status;
        const char* printed;
    } cases[] = {
        // Out of range is reported, and the masked value is still stored.
        {value_of(CLASS_RELOCATABLE, TYPE_INTEGER, 0x1234, &other, &label), 8, 0x34, -1, range_error},
        {value_of(CLASS_RELOCATABLE, TYPE_INTEGER, 0x1234, &other, &label), 16, 0x1234, 0, ""},
        {value_of(CLASS_RELOCATABLE, TYPE_INTEGER, 0x12345678, &other, &label), 32, 0x12345678, 0, ""},
        {value_of(CLASS_RELOCATABLE, TYPE_HIGH_BYTE, 0x1234, &other, &label), 8, 0x12, 0, ""},
        {value_of(CLASS_RELOCATABLE, TYPE_LOW_BYTE, 0x1234, &other, &label), 8, 0x34, 0, ""},
        {value_of(CLASS_EXTERNAL, TYPE_LOW_WORD, 0x12345, nullptr, &ext), 16, 0x2345, 0, ""},
        {value_of(CLASS_DIFFERENCE, TYPE_INTEGER, static_cast<uint32_t>(-1), &other, &label), 16,
         0xFFFF, 0, ""},
        {value_of(CLASS_NEGATED, TYPE_COMPLEMENTED, 0x10000, &other, &label), 16, 0, -1, range_error},
    };
    int index = 0;
    for (const Case& c : cases) {
        ExprValue v = c.value;
        CaptureStderr();
        int status = match_fit_data_value(v, c.width);
        EXPECT_EQ(GetCapturedStderr(), c.printed) << "case " << index;
        EXPECT_EQ(status, c.status) << "case " << index;
        EXPECT_EQ(v.value.raw, uint64_t{c.field}) << "case " << index;
        ++index;
    }
}

TEST_F(MatchFit, FitDataValueAddsTheOriginOfRelocatableValuesOnly) {
    other.origin = 0x100;
    ExprValue v = value_of(CLASS_RELOCATABLE, TYPE_INTEGER, 0x1234, &other, &label);
    EXPECT_EQ(match_fit_data_value(v, 32), 0);
    EXPECT_EQ(v.value.raw, 0x1334u);
    ExprValue e = value_of(CLASS_EXTERNAL, TYPE_INTEGER, 0x1234, &other, &ext);
    EXPECT_EQ(match_fit_data_value(e, 32), 0);
    EXPECT_EQ(e.value.raw, 0x1234u);
}

// ---- Typed evaluation -----------------------------------------------------------------------

TEST_F(Match, AbsoluteIntegers) {
    Symbol* start = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, intern_string("start")});
    start->value_class = CLASS_RELOCATABLE;
    start->value_type = TYPE_INTEGER;
    start->flags = SYM_DEFINED_PASS1;
    struct Case {
        const char* text;
        int status;
        int32_t result;
    } cases[] = {
        {"3 * 4", 0, 12},
        {"~0", 0, -1},
        {"-5", 0, -5},
        {"not_yet", 0, 0},  // pass 1: not defined yet, counts as 0
        {"\"a\"", 30, 0},
        {"1.5", 30, 0},
        {"start", 30, 0},
        {"1 < 2", 30, 0},
        {"(", -1, 0},
    };
    for (const Case& c : cases) {
        scan(c.text);
        int32_t result = 77;
        EXPECT_EQ(match_eval_absolute_integer(result), c.status) << c.text;
        if (c.status == 0) {
            EXPECT_EQ(result, c.result) << c.text;
        }
    }
}

TEST_F(Match, UndefinedValueIsReportedAsNotAbsolute) {
    main_source.line = 8;
    scan("2f");
    int32_t result = 77;
    EXPECT_EQ(match_eval_absolute_integer(result), 0);
    EXPECT_EQ(result, 0);
    begin_replay();
    CaptureStderr();
    lex_next_token();
    result = 77;
    EXPECT_EQ(match_eval_absolute_integer(result), 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(GetCapturedStderr(),
              "prog.s: line 0008: PA-E0007 Error: Symbol '$20001' is not defined\n"
              "prog.s: line 0008: PA-E0030 Error: Expected an absolute integer expression\n");

    // Other wrong kinds are the caller's to report.
    scan("\"ab\"");
    begin_replay();
    CaptureStderr();
    lex_next_token();
    EXPECT_EQ(match_eval_absolute_integer(result), 30);
    EXPECT_EQ(GetCapturedStderr(), "");
}

TEST_F(Match, FloatingPointValues) {
    struct Case {
        const char* text;
        int status;
        double result;
    } cases[] = {
        {"1.5", 0, 1.5},    {"3", 0, 3.0},       {"-2", 0, -2.0},   {"1.5 * 2", 0, 3.0},
        {"~0", 42, 0},      {"\"a\"", 42, 0},    {"later", 42, 0},  {"1 == 1", 42, 0},
        {"1.5 / 0", -1, 0},
    };
    for (const Case& c : cases) {
        scan(c.text);
        double result = 7.0;
        EXPECT_EQ(match_eval_float(result), c.status) << c.text;
        if (c.status == 0) {
            EXPECT_EQ(result, c.result) << c.text;
        }
    }
}

// ---- Expected tokens ----------------------------------------------------------------------

TEST_F(Match, ExpectedTokens) {
    struct Case {
        int (*check)();
        const char* match;
        int error;
    } cases[] = {
        {match_expect_comma, ", 5", 31},       {match_expect_assign, "= 5", 32},
        {match_expect_plus, "+ 5", 33},        {match_expect_star, "* 5", 34},
        {match_expect_immediate, "# 5", 41},   {match_expect_left_bracket, "[ 5", 39},
        {match_expect_right_bracket, "] 5", 40},
    };
    for (const Case& c : cases) {
        scan(c.match);
        EXPECT_EQ(c.check(), 0) << c.match;
        EXPECT_EQ(current_token.code, TOK_INTEGER) << "the token is taken: " << c.match;
        // Any other token is left current and answered with the error.
        EXPECT_EQ(c.check(), c.error) << c.match;
        EXPECT_EQ(current_token.code, TOK_INTEGER) << c.match;
    }
    scan("==");
    EXPECT_EQ(match_expect_assign(), 32);
    EXPECT_EQ(current_token.code, TOK_EQUAL_EQUAL);
}

}  // namespace
