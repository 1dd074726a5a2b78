// The scanner: words by field, numbers, floating-point constants, strings,
// escapes, character constants, operators, keyword operators and the
// characters that end the run.
#include <gtest/gtest.h>

#include "test_support.h"

#include <cctype>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "paasmdirectives.h"
#include "paasmdriver.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmquodra.h"
#include "paasmsym.h"

namespace {

// A small target: three mnemonics, two registers, two conditions. The
// suffix callback accepts ".b" (suffix code 1) and ".w" (code 2).
const MnemonicEntry test_mnemonics[] = {
    {"ADD", 0x400000, 0, 1, nullptr, 0, 0, 0, 0, 0, 0, 0},
    {"MOV", 0x780000, 0, 2, nullptr, 0, 0, 0, 0, 0, 0, 0},
    {"NOP", 0x000000, 0, 3, nullptr, 0, 0, 0, 0, 0, 0, 0},
};
const RegisterEntry test_registers[] = {
    {"W0", REG_W, 0, 0x1},
    {"W1", REG_W, 1, 0x2},
};
const ConditionEntry test_conditions[] = {
    {"nz", 1},
    {"z", 2},
};

int test_available(int) { return 1; }

const MnemonicEntry* test_suffix(const MnemonicEntry* row, const char* suffix) {
    if (std::strcmp(suffix, ".b") == 0 || std::strcmp(suffix, ".B") == 0) {
        lex_set_token_suffix(1);
        return row;
    }
    if (std::strcmp(suffix, ".w") == 0) {
        lex_set_token_suffix(2);
        return row;
    }
    return nullptr;
}

using test_support::clear_target;

void register_test_target() {
    target_mnemonics = test_mnemonics;
    target_mnemonic_count = 3;
    target_registers = test_registers;
    target_register_count = 2;
    target_conditions = test_conditions;
    target_condition_count = 2;
    target_suffix_hook = test_suffix;
    target_available_hook = test_available;
}

struct Scanned {
    int32_t code;
    Token value;  // the current token's value as the scanner left it
};

class Scan : public testing::Test {
protected:
    void SetUp() override {
        intern_init();
        sym_init();
        clear_target();
        pass_number = 1;
        report_flags = 0;
        scan_flags = 0;
        main_source.name = "prog.s";
        main_source.line = 1;
        main_source.file = nullptr;
    }
    void TearDown() override { clear_target(); }

    // Scans `line` from field state `field` up to its end of statement.
    std::vector<Scanned> scan(const std::string& line, int32_t field = FIELD_LABEL,
                              uint32_t flags = 0) {
        buffer_ = line;
        scan_pointer = buffer_.c_str();
        field_state = field;
        scan_flags = flags;
        std::vector<Scanned> tokens;
        for (int i = 0; i < 100; ++i) {
            Scanned s;
            s.code = lex_scan_token();
            s.value = current_token;
            s.value.code = s.code;
            tokens.push_back(s);
            if (s.code == TOK_END_OF_STATEMENT) break;
        }
        return tokens;
    }

    // The first token of `text` in the operand field.
    Scanned first(const std::string& text, uint32_t flags = 0) {
        return scan(text + "\n", FIELD_OPERAND, flags).front();
    }

    static std::vector<int32_t> codes(const std::vector<Scanned>& tokens) {
        std::vector<int32_t> result;
        for (const Scanned& s : tokens) result.push_back(s.code);
        return result;
    }

    static std::string text_of(const Scanned& s) {
        const char* text = intern_text_at(s.value.value.ref);
        return text != nullptr ? text : "<none>";
    }

    std::string buffer_;
};

// ---- Character classes ---------------------------------------------------------

TEST_F(Scan, CharacterClasses) {
    struct Case {
        int c;
        int32_t cls;
    } cases[] = {
        {0, CHAR_INVALID},        {8, CHAR_INVALID},          {'\t', CHAR_BLANK},
        {'\n', TOK_END_OF_STATEMENT}, {11, CHAR_INVALID},     {12, CHAR_INVALID},
        {'\r', CHAR_BLANK},       {14, CHAR_INVALID},         {31, CHAR_INVALID},
        {' ', CHAR_BLANK},        {'!', TOK_NOT},             {'"', CHAR_STRING_QUOTE},
        {'#', TOK_HASH},          {'$', TOK_LOCATION},        {'%', TOK_PERCENT},
        {'&', TOK_AMPERSAND},     {'\'', CHAR_CHAR_QUOTE},    {'(', TOK_LPAREN},
        {')', TOK_RPAREN},        {'*', TOK_STAR},            {'+', TOK_PLUS},
        {',', TOK_COMMA},         {'-', TOK_MINUS},           {'.', CHAR_POINT},
        {'/', TOK_SLASH},         {'0', CHAR_DIGIT},          {'9', CHAR_DIGIT},
        {':', TOK_COLON},         {';', TOK_END_OF_STATEMENT}, {'<', TOK_LESS},
        {'=', TOK_ASSIGN},        {'>', TOK_GREATER},         {'?', CHAR_NAME},
        {'@', CHAR_NAME},         {'A', CHAR_NAME},           {'Z', CHAR_NAME},
        {'[', TOK_LBRACKET},      {'\\', TOK_BACKSLASH},      {']', TOK_RBRACKET},
        {'^', TOK_CARET},         {'_', CHAR_NAME},           {'`', CHAR_INVALID},
        {'a', CHAR_NAME},         {'z', CHAR_NAME},           {'{', TOK_LBRACE},
        {'|', TOK_BAR},           {'}', TOK_RBRACE},          {'~', TOK_TILDE},
        {127, CHAR_INVALID},      {0x80, CHAR_INVALID},       {0xE9, CHAR_INVALID},
        {0xFF, CHAR_INVALID},
    };
    for (const Case& c : cases)
        EXPECT_EQ(lex_char_class(static_cast<unsigned char>(c.c)), c.cls) << "char " << c.c;
}

// ---- Words by field --------------------------------------------------------------

TEST_F(Scan, LabelInColumnOneWithOrWithoutColon) {
    auto tokens = scan(".L5:\n");
    ASSERT_EQ(codes(tokens), (std::vector<int32_t>{TOK_LABEL, TOK_END_OF_STATEMENT}));
    EXPECT_EQ(text_of(tokens[0]), ".L5");

    tokens = scan("start\n");
    ASSERT_EQ(codes(tokens), (std::vector<int32_t>{TOK_LABEL, TOK_END_OF_STATEMENT}));
    EXPECT_EQ(text_of(tokens[0]), "start");

    // A directive keyword in column 1 is a label of that name.
    tokens = scan(".text\n");
    ASSERT_EQ(tokens[0].code, TOK_LABEL);
    EXPECT_EQ(text_of(tokens[0]), ".text");

    // A word ending in '?' is a local label.
    tokens = scan("loop?:\n");
    ASSERT_EQ(tokens[0].code, TOK_LOCAL_LABEL);
    EXPECT_EQ(text_of(tokens[0]), "loop?");
}

TEST_F(Scan, LabelThenInstructionOnAnIndentedLine) {
    register_test_target();
    auto tokens = scan("   foo: mov.b w0,w1\n");
    ASSERT_EQ(codes(tokens), (std::vector<int32_t>{TOK_LABEL, TOK_MNEMONIC, TOK_REGISTER, TOK_COMMA,
                                                   TOK_REGISTER, TOK_END_OF_STATEMENT}));
    EXPECT_EQ(text_of(tokens[0]), "foo");
    current_token = tokens[1].value;
    EXPECT_EQ(lex_token_mnemonic(), &test_mnemonics[1]);
    EXPECT_EQ(lex_token_suffix(), 1);
    current_token = tokens[2].value;
    EXPECT_EQ(lex_token_register(), &test_registers[0]);
    current_token = tokens[4].value;
    EXPECT_EQ(lex_token_register(), &test_registers[1]);
}

TEST_F(Scan, MnemonicFieldLookups) {
    register_test_target();
    struct Case {
        const char* line;
        int32_t code;
        int32_t error;        // for TOK_ERROR
        const char* row;      // mnemonic name, or directive name
        uint16_t suffix;
    } cases[] = {
        {"\tNOP\n", TOK_MNEMONIC, 0, "NOP", 0},
        {"\tadd.w\n", TOK_MNEMONIC, 0, "ADD", 2},
        {"\tmov.q\n", TOK_ERROR, 13, nullptr, 0},  // the suffix is refused
        {"\tmove\n", TOK_ERROR, 13, nullptr, 0},
        {"\t.text\n", TOK_DIRECTIVE, 0, ".text", 0},
        {"\t.TEXT\n", TOK_DIRECTIVE, 0, ".text", 0},
        {"  .section .foo\n", TOK_DIRECTIVE, 0, ".section", 0},
        {"\t.bogus\n", TOK_ERROR, 13, nullptr, 0},
    };
    for (const Case& c : cases) {
        auto tokens = scan(c.line);
        ASSERT_EQ(tokens[0].code, c.code) << c.line;
        current_token = tokens[0].value;
        if (c.code == TOK_ERROR) {
            EXPECT_EQ(current_token.value.integer, c.error) << c.line;
        } else if (c.code == TOK_MNEMONIC) {
            ASSERT_NE(lex_token_mnemonic(), nullptr) << c.line;
            EXPECT_STREQ(lex_token_mnemonic()->mnemonic_name, c.row) << c.line;
            EXPECT_EQ(lex_token_suffix(), c.suffix) << c.line;
        } else {
            ASSERT_NE(lex_token_directive(), nullptr) << c.line;
            EXPECT_STREQ(lex_token_directive()->name, c.row) << c.line;
        }
    }
}

TEST_F(Scan, WithoutATargetAnIndentedWordIsNoMnemonic) {
    auto tokens = scan("\tmov w0\n");
    ASSERT_EQ(tokens[0].code, TOK_ERROR);
    EXPECT_EQ(tokens[0].value.value.integer, 13);
    // The operand field follows, where w0 is now an ordinary symbol.
    ASSERT_EQ(tokens[1].code, TOK_SYMBOL);
}

TEST_F(Scan, TwoLabelsBeforeTheMnemonicField) {
    auto tokens = scan("foo:bar:\n");
    ASSERT_EQ(codes(tokens), (std::vector<int32_t>{TOK_LABEL, TOK_LABEL, TOK_END_OF_STATEMENT}));
    EXPECT_EQ(text_of(tokens[1]), "bar");
    EXPECT_EQ(field_state, FIELD_MNEMONIC);
}

TEST_F(Scan, DollarWordInTheMnemonicFieldTakesItsSuffix) {
    register_test_target();
    // '.' ends a '$' word; without a blank before it the suffix joins the
    // word, which is then looked up whole.
    auto tokens = scan("\t$x.b\n");
    ASSERT_EQ(codes(tokens), (std::vector<int32_t>{TOK_ERROR, TOK_END_OF_STATEMENT}));
    EXPECT_STREQ(token_text, "$x.b");
}

TEST_F(Scan, OperandWords) {
    register_test_target();
    auto tokens = scan("W1, z,NZ, alpha, skip?, $tmp\n", FIELD_OPERAND);
    ASSERT_EQ(codes(tokens),
              (std::vector<int32_t>{TOK_REGISTER, TOK_COMMA, TOK_CONDITION, TOK_COMMA, TOK_CONDITION,
                                    TOK_COMMA, TOK_SYMBOL, TOK_COMMA, TOK_SYMBOL, TOK_COMMA,
                                    TOK_SYMBOL, TOK_END_OF_STATEMENT}));
    current_token = tokens[0].value;
    EXPECT_EQ(lex_token_register(), &test_registers[1]);
    current_token = tokens[2].value;
    EXPECT_EQ(lex_token_condition(), &test_conditions[1]);
    current_token = tokens[4].value;
    EXPECT_EQ(lex_token_condition(), &test_conditions[0]);

    // Names ending in '?' or starting with '$' are special symbols.
    struct Case {
        size_t token;
        const char* name;
        uint32_t kind;
    } cases[] = {{6, "alpha", SYMKIND_ORDINARY}, {8, "skip?", SYMKIND_SPECIAL}, {10, "$tmp", SYMKIND_SPECIAL}};
    for (const Case& c : cases) {
        current_token = tokens[c.token].value;
        Symbol* symbol = lex_token_symbol();
        ASSERT_NE(symbol, nullptr) << c.name;
        EXPECT_STREQ(symbol->name, c.name);
        EXPECT_EQ(sym_lookup(SymbolKey{c.kind, intern_string(c.name)}), symbol) << c.name;
        uint32_t other = c.kind == SYMKIND_SPECIAL ? SYMKIND_ORDINARY : SYMKIND_SPECIAL;
        EXPECT_EQ(sym_lookup(SymbolKey{other, intern_string(c.name)}), nullptr) << c.name;
    }
    // A register name never becomes a symbol.
    EXPECT_EQ(sym_lookup(SymbolKey{SYMKIND_ORDINARY, intern_string("W1")}), nullptr);
}

TEST_F(Scan, RawNameMode) {
    auto tokens = scan("foo, bar?, $x\n", FIELD_OPERAND, SCAN_RAW_NAMES);
    ASSERT_EQ(codes(tokens), (std::vector<int32_t>{TOK_NAME, TOK_COMMA, TOK_LOCAL_NAME, TOK_COMMA,
                                                   TOK_LOCAL_NAME, TOK_END_OF_STATEMENT}));
    EXPECT_EQ(text_of(tokens[0]), "foo");
    EXPECT_EQ(text_of(tokens[2]), "bar?");
    EXPECT_EQ(text_of(tokens[4]), "$x");
    EXPECT_EQ(sym_lookup(SymbolKey{SYMKIND_ORDINARY, intern_string("foo")}), nullptr);
}

TEST_F(Scan, KeywordOperators) {
    auto tokens = scan("handle(foo)\n", FIELD_OPERAND);
    ASSERT_EQ(codes(tokens), (std::vector<int32_t>{TOK_HANDLE, TOK_LPAREN, TOK_SYMBOL, TOK_RPAREN,
                                                   TOK_END_OF_STATEMENT}));
    EXPECT_EQ(text_of(tokens[0]), "handle");

    tokens = scan("foo\n", FIELD_OPERAND, SCAN_RAW_NAMES);
    EXPECT_EQ(tokens[0].code, TOK_NAME);

    struct Case {
        const char* word;
        int32_t code;
    } cases[] = {
        {".sizeof.", TOK_SIZEOF}, {".SizeOf_Hi.", TOK_SIZEOF_HI}, {"PsvPage", TOK_PSVPAGE},
        {"tblpage", TOK_TBLPAGE}, {"packed_lo", TOK_PACKED_LO},   {"dmaoffset", TOK_DMAOFFSET},
    };
    for (const Case& c : cases) EXPECT_EQ(first(c.word).code, c.code) << c.word;
}

TEST_F(Scan, KeywordOperatorLookup) {
    // Every row is found by its name in any case, so the rows are sorted as
    // the binary search needs.
    for (const KeywordOperator& row : keyword_operator_table) {
        std::string lower = row.name;
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_EQ(lex_find_keyword_operator(row.name, keyword_operator_table, 20), row.code) << row.name;
        EXPECT_EQ(lex_find_keyword_operator(lower.c_str(), keyword_operator_table, 20), row.code)
            << lower;
    }
    EXPECT_EQ(lex_find_keyword_operator("BOOT", keyword_operator_table, 20), 320);
    EXPECT_EQ(lex_find_keyword_operator("secure", keyword_operator_table, 20), 321);
    EXPECT_EQ(lex_find_keyword_operator("edsoffset", keyword_operator_table, 20), 323);
    const char* misses[] = {"HANDL", "HANDLEX", "", ".SIZEOF", "PSV", "ZZZ", "handle "};
    for (const char* word : misses)
        EXPECT_EQ(lex_find_keyword_operator(word, keyword_operator_table, 20), TOK_ERROR) << word;
}

TEST_F(Scan, LongWordKeepsItsFirst665Characters) {
    std::string word = "w" + std::string(699, 'x');
    auto tokens = scan(word + "\n", FIELD_OPERAND, SCAN_RAW_NAMES);
    ASSERT_EQ(codes(tokens), (std::vector<int32_t>{TOK_NAME, TOK_END_OF_STATEMENT}));
    EXPECT_EQ(text_of(tokens[0]), word.substr(0, 665));
}

// ---- Numeric labels and the location counter -------------------------------------

TEST_F(Scan, NumericLabelsReferencesAndTheLocation) {
    struct Case {
        const char* line;
        int32_t field;
        int32_t code;
        const char* text;  // interned value, or none
        int32_t field_after;
    } cases[] = {
        {"1:\n", FIELD_LABEL, TOK_NUMERIC_LABEL, "1$", FIELD_MNEMONIC},
        {"7 \t: nop\n", FIELD_LABEL, TOK_NUMERIC_LABEL, "7$", FIELD_MNEMONIC},
        {"  3:\n", FIELD_LABEL, TOK_NUMERIC_LABEL, "3$", FIELD_MNEMONIC},
        {"$$:\n", FIELD_LABEL, TOK_NUMERIC_LABEL, "$$", FIELD_MNEMONIC},
        {"$$\n", FIELD_OPERAND, TOK_NUMERIC_LABEL, "$$", FIELD_MNEMONIC},
        {"1b\n", FIELD_OPERAND, TOK_NUMERIC_REF, "1b", FIELD_OPERAND},
        {"2F\n", FIELD_OPERAND, TOK_NUMERIC_REF, "2F", FIELD_OPERAND},
        {"0f\n", FIELD_OPERAND, TOK_NUMERIC_REF, "0f", FIELD_OPERAND},
        {"0b \n", FIELD_OPERAND, TOK_NUMERIC_REF, "0b", FIELD_OPERAND},
        {"0B,\n", FIELD_OPERAND, TOK_NUMERIC_REF, "0B", FIELD_OPERAND},
        {"0b2\n", FIELD_OPERAND, TOK_NUMERIC_REF, "0b", FIELD_OPERAND},
        {"$f\n", FIELD_OPERAND, TOK_NUMERIC_REF, "$f", FIELD_OPERAND},
        {"$B\n", FIELD_OPERAND, TOK_NUMERIC_REF, "$B", FIELD_OPERAND},
        {"$\n", FIELD_MNEMONIC, TOK_LOCATION, nullptr, FIELD_OPERAND},
        {".\n", FIELD_LABEL, TOK_LOCATION, nullptr, FIELD_OPERAND},
        {". + 2\n", FIELD_OPERAND, TOK_LOCATION, nullptr, FIELD_OPERAND},
    };
    for (const Case& c : cases) {
        auto tokens = scan(c.line, c.field);
        ASSERT_EQ(tokens[0].code, c.code) << c.line;
        if (c.text != nullptr) {
            EXPECT_EQ(text_of(tokens[0]), c.text) << c.line;
        }
    }
    // The field after the token, scanned alone.
    for (const Case& c : cases) {
        buffer_ = c.line;
        scan_pointer = buffer_.c_str();
        field_state = c.field;
        lex_scan_token();
        EXPECT_EQ(field_state, c.field_after) << c.line;
    }
}

// ---- Numbers -----------------------------------------------------------------------

TEST_F(Scan, Integers) {
    struct Case {
        std::string text;
        int32_t code;
        int32_t value;  // the integer, or the error number
    } cases[] = {
        {"0x1F", TOK_INTEGER, 31},
        {"0XfF", TOK_INTEGER, 255},
        {"017", TOK_INTEGER, 15},
        {"0", TOK_INTEGER, 0},
        {"12345", TOK_INTEGER, 12345},
        {"0b101", TOK_INTEGER, 5},
        {"0B1", TOK_INTEGER, 1},
        {"08", TOK_ERROR, 16},
        {"09", TOK_ERROR, 16},
        {"12ab", TOK_ERROR, 16},
        {"1e3", TOK_ERROR, 16},
        {"0b102", TOK_ERROR, 16},
        {"0b1a", TOK_ERROR, 16},
        {"1b0", TOK_ERROR, 16},
        {"0178", TOK_ERROR, 16},
        {"4294967295", TOK_INTEGER, -1},
        {"4294967296", TOK_ERROR, 51},
        {"42949672950", TOK_ERROR, 51},
        {"2147483647", TOK_INTEGER, 2147483647},
        {"2147483648", TOK_INTEGER, std::numeric_limits<int32_t>::min()},
        {"0xFFFFFFFF", TOK_INTEGER, -1},
        {"0x100000000", TOK_ERROR, 51},
        {"0x0000000000FFFFFFFF", TOK_INTEGER, -1},
        {"037777777777", TOK_INTEGER, -1},
        {"040000000000", TOK_ERROR, 51},
        {"000000000000037777777777", TOK_INTEGER, -1},
        {"0b" + std::string(32, '1'), TOK_INTEGER, -1},
        {"0b" + std::string(33, '1'), TOK_ERROR, 51},
        {"0b" + std::string(10, '0') + std::string(32, '1'), TOK_INTEGER, -1},
        {"0b1" + std::string(31, '0'), TOK_INTEGER, std::numeric_limits<int32_t>::min()},
        {"0b1" + std::string(32, '0'), TOK_ERROR, 51},
        {"0000000004294967295", TOK_ERROR, 16},  // octal: 9 is no octal digit
    };
    for (const Case& c : cases) {
        Scanned s = first(c.text);
        ASSERT_EQ(s.code, c.code) << c.text;
        EXPECT_EQ(s.value.value.integer, c.value) << c.text;
    }
}

TEST_F(Scan, NumbersEndAtTheFirstOtherCharacter) {
    auto tokens = scan("0x1F,017)\n", FIELD_OPERAND);
    ASSERT_EQ(codes(tokens), (std::vector<int32_t>{TOK_INTEGER, TOK_COMMA, TOK_INTEGER, TOK_RPAREN,
                                                   TOK_END_OF_STATEMENT}));
    EXPECT_EQ(tokens[2].value.value.integer, 15);

    // An octal number ends at a '.', which starts the next token.
    tokens = scan("017.5\n", FIELD_OPERAND, SCAN_RAW_NAMES);
    ASSERT_EQ(codes(tokens), (std::vector<int32_t>{TOK_INTEGER, TOK_NAME, TOK_END_OF_STATEMENT}));
    EXPECT_EQ(tokens[0].value.value.integer, 15);
    EXPECT_EQ(text_of(tokens[1]), ".5");

    // After a digit that the radix does not allow the scan goes on behind it.
    tokens = scan("08,1\n", FIELD_OPERAND);
    ASSERT_EQ(codes(tokens), (std::vector<int32_t>{TOK_ERROR, TOK_COMMA, TOK_INTEGER,
                                                   TOK_END_OF_STATEMENT}));

    // An overflow is found once all the digits are read: the number is one
    // token, in every radix, and a later digit that the radix does not allow
    // is still error 16.
    struct Case {
        const char* line;
        int32_t error;
    } cases[] = {
        {"99999999999,1\n", 51},
        {"0x1234567890,1\n", 51},
        {"0777777777777,1\n", 51},
        {"0b111111111111111111111111111111111,1\n", 51},
        {"99999999999a,1\n", 16},
    };
    for (const Case& c : cases) {
        tokens = scan(c.line, FIELD_OPERAND);
        ASSERT_EQ(codes(tokens), (std::vector<int32_t>{TOK_ERROR, TOK_COMMA, TOK_INTEGER,
                                                       TOK_END_OF_STATEMENT}))
            << c.line;
        EXPECT_EQ(tokens[0].value.value.integer, c.error) << c.line;
        EXPECT_EQ(tokens[2].value.value.integer, 1) << c.line;
    }
}

TEST_F(Scan, FloatingPointConstants) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"1.5e3", 1500.0},  {"0.5", 0.5},        {"2.25E-2", 0.0225}, {"1.5e+2", 150.0},
        {"1.", 1.0},        {"3.0e", 3.0},       {"1.1", 1.1},        {"1.0e-999", 0.0},
        {"4.9e-324", std::numeric_limits<double>::denorm_min()},
        // The part before the '.' is not held to 32 bits.
        {"5000000000.0", 5e9}, {"4294967296.5", 4294967296.5},
        {"123456789012345678901234567890.0", 123456789012345678901234567890.0},
    };
    for (const Case& c : cases) {
        Scanned s = first(c.text);
        ASSERT_EQ(s.code, TOK_FLOAT) << c.text;
        EXPECT_EQ(s.value.value.real, c.value) << c.text;
    }
    Scanned overflow = first("1.0e999");
    ASSERT_EQ(overflow.code, TOK_ERROR);
    EXPECT_EQ(overflow.value.value.integer, 50);
    Scanned large_mantissa = first("99999.9e308");
    ASSERT_EQ(large_mantissa.code, TOK_ERROR);
    EXPECT_EQ(large_mantissa.value.value.integer, 50);

    // The 'e' and its sign belong to the constant even without digits after
    // them: only the character that ends the constant starts the next token.
    struct Rest {
        const char* line;
        double value;
        const char* next;  // the name after the constant, or none
    } rests[] = {
        {"3.0e\n", 3.0, nullptr},
        {"1.5e+x\n", 1.5, "x"},
        {"2.5E-y\n", 2.5, "y"},
        {"1.5ex\n", 1.5, "x"},
        {"1.5e3x\n", 1500.0, "x"},
    };
    for (const Rest& r : rests) {
        auto tokens = scan(r.line, FIELD_OPERAND, SCAN_RAW_NAMES);
        std::vector<int32_t> expected{TOK_FLOAT, TOK_END_OF_STATEMENT};
        if (r.next != nullptr) expected.insert(expected.begin() + 1, TOK_NAME);
        ASSERT_EQ(codes(tokens), expected) << r.line;
        EXPECT_EQ(tokens[0].value.value.real, r.value) << r.line;
        if (r.next != nullptr) {
            EXPECT_EQ(text_of(tokens[1]), r.next) << r.line;
        }
    }
}

// ---- Strings, escapes and character constants -------------------------------------

TEST_F(Scan, Strings) {
    struct Case {
        std::string line;
        uint32_t flags;
        std::string text;
    } cases[] = {
        {"\"a\"\"b\"", 0, "a\"b"},
        {"\"\"", 0, ""},
        {"\"\\x41\\d65\"", 0, "AA"},
        {"\"\\X4a\\D074\"", 0, "JJ"},
        {"\"\\101\\1234\"", 0, "AS4"},
        {"\"\\\"\\'\\\\\"", 0, "\"'\\"},
        {"\"\\a\\b\\f\\n\\r\\t\\v\"", 0, "\a\b\f\n\r\t\v"},
        {"\"\\q\\8\"", 0, "q8"},
        {"\"\\xff\"", 0, "\xff"},
        {"\"caf\xE9\"", 0, "caf\xE9"},
        {"\"a;b\"", 0, "a;b"},
        {"\"a\\b\"", SCAN_RAW_BACKSLASH, "a\\b"},
        {"\"C:\\x41\"", SCAN_RAW_BACKSLASH, "C:\\x41"},
    };
    for (const Case& c : cases) {
        auto tokens = scan(c.line + "\n", FIELD_OPERAND, c.flags);
        ASSERT_EQ(codes(tokens), (std::vector<int32_t>{TOK_STRING, TOK_END_OF_STATEMENT})) << c.line;
        EXPECT_EQ(text_of(tokens[0]), c.text) << c.line;
    }
}

TEST_F(Scan, StringErrors) {
    struct Case {
        std::string line;
        int32_t error;
    } cases[] = {
        {"\"abc", 36},
        {"\"", 36},
        {"\"\\400\"", 15},
        {"\"\\777\"", 15},
        {"\"\\d256\"", 15},
        {"\"\\d\"", 15},
        {"\"\\x\"", 15},
        {"\"\\xg\"", 15},
        {"\"\\x100\"", 15},
        {"\"\\x100000041\"", 15},   // 2^32 + 'A' must not wrap round to 'A'
        {"\"\\d4294967361\"", 15},  // likewise in decimal
        {"\"\\", 15},
        {"\"\\0\"", 49},
        {"\"ab\\x00\"", 49},
        {"\"\\d0\"", 49},
    };
    for (const Case& c : cases) {
        Scanned s = first(c.line);
        ASSERT_EQ(s.code, TOK_ERROR) << c.line;
        EXPECT_EQ(s.value.value.integer, c.error) << c.line;
    }
    // The newline that ends an open string stays for the end of statement.
    auto tokens = scan("\"abc\n", FIELD_OPERAND);
    EXPECT_EQ(codes(tokens), (std::vector<int32_t>{TOK_ERROR, TOK_END_OF_STATEMENT}));
}

TEST_F(Scan, StringLengthLimit) {
    std::string longest(665, 's');
    auto tokens = scan("\"" + longest + "\"\n", FIELD_OPERAND);
    ASSERT_EQ(tokens[0].code, TOK_STRING);
    EXPECT_EQ(text_of(tokens[0]), longest);

    // A doubled quote counts as one character of the text.
    tokens = scan("\"" + std::string(664, 's') + "\"\"\"\n", FIELD_OPERAND);
    ASSERT_EQ(tokens[0].code, TOK_STRING);
    EXPECT_EQ(text_of(tokens[0]).size(), 665u);

    Scanned s = first("\"" + std::string(666, 's') + "\"");
    ASSERT_EQ(s.code, TOK_ERROR);
    EXPECT_EQ(s.value.value.integer, 4);
}

TEST_F(Scan, CharacterConstants) {
    struct Case {
        std::string text;
        int32_t code;
        int32_t value;  // the integer, or the error number
    } cases[] = {
        {"'a'", TOK_INTEGER, 97},
        {"' '", TOK_INTEGER, 32},
        {"'\"'", TOK_INTEGER, 34},
        {"'\\0'", TOK_INTEGER, 0},
        {"'\\x41'", TOK_INTEGER, 65},
        {"'\\d255'", TOK_INTEGER, 255},
        {"'\\''", TOK_INTEGER, 39},
        {"'\\n'", TOK_INTEGER, 10},
        {"'\xE9'", TOK_INTEGER, -23},
        {"'\x80'", TOK_INTEGER, -128},
        {"'\xFF'", TOK_INTEGER, -1},
        {"''", TOK_ERROR, 35},
        {"'ab'", TOK_ERROR, 35},
        {"'a", TOK_ERROR, 35},
        {"'", TOK_ERROR, 35},
        {"'\\400'", TOK_ERROR, 15},
        {"'\\x'", TOK_ERROR, 15},
    };
    for (const Case& c : cases) {
        Scanned s = first(c.text);
        ASSERT_EQ(s.code, c.code) << c.text;
        EXPECT_EQ(s.value.value.integer, c.value) << c.text;
    }
    // A character constant in the mnemonic field moves to the operand field.
    auto tokens = scan("'a'\n", FIELD_MNEMONIC);
    EXPECT_EQ(field_state, FIELD_OPERAND);
    EXPECT_EQ(codes(tokens), (std::vector<int32_t>{TOK_INTEGER, TOK_END_OF_STATEMENT}));
}

// ---- Operators and punctuation ----------------------------------------------------

TEST_F(Scan, OperatorsLeaveTheFieldAlone) {
    struct Case {
        const char* text;
        int32_t code;
    } cases[] = {
        {"!", TOK_NOT},          {"!=", TOK_NOT_EQUAL},   {"<", TOK_LESS},
        {"<=", TOK_LESS_EQUAL},  {"<<", TOK_SHIFT_LEFT},  {">", TOK_GREATER},
        {">=", TOK_GREATER_EQUAL}, {">>", TOK_SHIFT_RIGHT}, {"==", TOK_EQUAL_EQUAL},
        {"=", TOK_ASSIGN},       {"&", TOK_AMPERSAND},    {"&&", TOK_LOGICAL_AND},
        {"*", TOK_STAR},         {"**", TOK_POWER},       {"+", TOK_PLUS},
        {"++", TOK_INCREMENT},   {"-", TOK_MINUS},        {"--", TOK_DECREMENT},
        {"|", TOK_BAR},          {"||", TOK_LOGICAL_OR},  {"^", TOK_CARET},
        {"^<", TOK_SHIFT_LEFT},  {"^>", TOK_SHIFT_RIGHT}, {"^$", TOK_AMPERSAND},
        {"^&", TOK_AMPERSAND},   {"^^", TOK_LOGICAL_XOR}, {"^|", TOK_BAR},
        {"/", TOK_SLASH},
    };
    for (const Case& c : cases) {
        auto tokens = scan(std::string(c.text) + "\n", FIELD_LABEL);
        ASSERT_EQ(codes(tokens), (std::vector<int32_t>{c.code, TOK_END_OF_STATEMENT})) << c.text;
        buffer_ = std::string(c.text) + "\n";
        scan_pointer = buffer_.c_str();
        field_state = FIELD_LABEL;
        lex_scan_token();
        EXPECT_EQ(field_state, FIELD_LABEL) << c.text;
    }
    // A second character that does not combine starts the next token.
    auto tokens = scan("<-!~\n", FIELD_OPERAND);
    EXPECT_EQ(codes(tokens), (std::vector<int32_t>{TOK_LESS, TOK_MINUS, TOK_NOT, TOK_TILDE,
                                                   TOK_END_OF_STATEMENT}));
    tokens = scan("a^b\n", FIELD_OPERAND);
    EXPECT_EQ(codes(tokens), (std::vector<int32_t>{TOK_SYMBOL, TOK_CARET, TOK_SYMBOL,
                                                   TOK_END_OF_STATEMENT}));
}

TEST_F(Scan, PunctuationSetsTheOperandField) {
    struct Case {
        const char* text;
        int32_t code;
    } cases[] = {
        {"(", TOK_LPAREN},   {")", TOK_RPAREN}, {"[", TOK_LBRACKET}, {"]", TOK_RBRACKET},
        {"{", TOK_LBRACE},   {"}", TOK_RBRACE}, {":", TOK_COLON},    {"#", TOK_HASH},
        {"%", TOK_PERCENT},  {"~", TOK_TILDE},  {",", TOK_COMMA},    {"\\", TOK_BACKSLASH},
    };
    for (const Case& c : cases) {
        buffer_ = std::string(c.text) + "\n";
        scan_pointer = buffer_.c_str();
        field_state = FIELD_LABEL;
        EXPECT_EQ(lex_scan_token(), c.code) << c.text;
        EXPECT_EQ(field_state, FIELD_OPERAND) << c.text;
    }
}

// ---- Blanks, comments and invalid characters --------------------------------------

TEST_F(Scan, BlanksAndComments) {
    // A carriage return is a blank.
    auto tokens = scan("foo\r\n");
    EXPECT_EQ(codes(tokens), (std::vector<int32_t>{TOK_LABEL, TOK_END_OF_STATEMENT}));
    tokens = scan("\r\t.text\r\n");
    EXPECT_EQ(codes(tokens), (std::vector<int32_t>{TOK_DIRECTIVE, TOK_END_OF_STATEMENT}));

    // Nothing after ';' is read, not even a byte outside the character set.
    tokens = scan("foo ; caf\xE9 \f\n");
    EXPECT_EQ(codes(tokens), (std::vector<int32_t>{TOK_LABEL, TOK_END_OF_STATEMENT}));
    EXPECT_EQ(lex_scan_token(), TOK_END_OF_STATEMENT);  // and it stays at the end

    // A blank line is one end of statement.
    tokens = scan("  \t \n");
    EXPECT_EQ(codes(tokens), (std::vector<int32_t>{TOK_END_OF_STATEMENT}));
    EXPECT_EQ(field_state, FIELD_MNEMONIC);
}

TEST_F(Scan, InvalidCharactersEndTheRun) {
    const char* lines[] = {"\f\n", "\tmov \xE9\n", "a`b\n", "\x7F\n", "x \x01\n", "\x80\n"};
    for (const char* line : lines) {
        buffer_ = line;
        scan_pointer = buffer_.c_str();
        field_state = FIELD_LABEL;
        main_source.line = 3;
        testing::internal::CaptureStderr();
        try {
            for (int i = 0; i < 4; ++i) lex_scan_token();
            ADD_FAILURE() << "no fatal error for " << line;
        } catch (const AsmTrap& trap) {
            EXPECT_EQ(trap.status, 15);
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "prog.s: line 0003: PA-F0007 Fatal: Source file contains non-ASCII characters\n")
            << line;
    }
}

TEST_F(Scan, SkipLineAfterTheEnd) {
    const char* lines[] = {"\n", "   anything at all, 08, \"open\n", "\t.text\n", "a\xE9\x01\n",
                           "; comment\n"};
    for (const char* line : lines) {
        buffer_ = line;
        scan_pointer = buffer_.c_str();
        EXPECT_EQ(lex_skip_line(), TOK_END_OF_STATEMENT) << line;
        EXPECT_EQ(lex_skip_line(), TOK_END_OF_STATEMENT) << line;
        EXPECT_EQ(*scan_pointer, '\n') << line;
    }
    const char* invalid[] = {"\f\n", "  \xE9\n"};
    for (const char* line : invalid) {
        buffer_ = line;
        scan_pointer = buffer_.c_str();
        testing::internal::CaptureStderr();
        EXPECT_THROW(lex_skip_line(), AsmTrap) << line;
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "prog.s: line 0001: PA-F0007 Fatal: Source file contains non-ASCII characters\n");
    }
}

}  // namespace
