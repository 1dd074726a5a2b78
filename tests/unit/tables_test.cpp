// The target's constant tables, their registration and the availability
// and suffix callbacks.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmquodra.h"

namespace {

std::set<std::string> names_of_rows_where(bool (*test)(const MnemonicEntry&)) {
    std::set<std::string> names;
    for (const MnemonicEntry& row : mnemonic_table)
        if (test(row)) names.insert(row.mnemonic_name);
    return names;
}

std::set<std::string> words(const char* text) {
    std::istringstream in(text);
    std::set<std::string> result;
    for (std::string w; in >> w;) result.insert(w);
    return result;
}

// ---- Order -------------------------------------------------------------------------------

template <class Row, class NameOf>
void expect_byte_order(const Row* rows, int count, NameOf name_of, bool strict) {
    for (int i = 1; i < count; ++i) {
        int difference = std::strcmp(name_of(rows[i - 1]), name_of(rows[i]));
        if (strict)
            EXPECT_LT(difference, 0) << name_of(rows[i - 1]) << " / " << name_of(rows[i]);
        else
            EXPECT_LE(difference, 0) << name_of(rows[i - 1]) << " / " << name_of(rows[i]);
    }
}

TEST(Tables, EveryTableIsInByteOrder) {
    expect_byte_order(mnemonic_table, 104, [](const MnemonicEntry& r) { return r.mnemonic_name; }, false);
    expect_byte_order(register_table, 22, [](const RegisterEntry& r) { return r.register_name; }, true);
    expect_byte_order(condition_code_table, 22, [](const ConditionEntry& r) { return r.condition_name; }, true);
    expect_byte_order(suffix_table, 17, [](const SuffixEntry& r) { return r.suffix_text; }, true);
    expect_byte_order(runtime_helper_table, 58, [](const char* name) { return name; }, true);
}

TEST(Tables, RowsOfOneMnemonicAreAdjacent) {
    std::set<std::string> seen;
    for (int i = 0; i < 104; ++i) {
        const char* name = mnemonic_table[i].mnemonic_name;
        if (i > 0 && std::strcmp(name, mnemonic_table[i - 1].mnemonic_name) == 0) continue;
        EXPECT_TRUE(seen.insert(name).second) << name;
    }
    EXPECT_EQ(seen.size(), 97u);  // ADD, CLR, SUB and the four CPSxx have two rows
}

// ---- Mnemonic rows -----------------------------------------------------------------------

TEST(Tables, EveryMnemonicHasItsEncoderClass) {
    const std::map<std::string, int> classes = {
        {"ADD", 8},     {"ADDC", 8},    {"AND", 8},      {"ASR", 9},     {"BCLR", 10},   {"BRA", 27},
        {"BSET", 10},   {"BSW", 21},    {"BTG", 10},     {"BTSC", 11},   {"BTSS", 11},   {"BTST", 11},
        {"BTSTS", 11},  {"CALL", 23},   {"CLR", 3},      {"CLRWDT", 1},  {"COM", 6},     {"CP", 26},
        {"CP0", 2},     {"CPB", 26},    {"CPBEQ", 7},    {"CPBGT", 7},   {"CPBLT", 7},   {"CPBNE", 7},
        {"DAW", 5},     {"DEC", 6},     {"DEC2", 6},     {"DECSNZ", 25}, {"DECSZ", 25},  {"DISI", 4},
        {"DIV", 13},    {"DIVF", 14},   {"DO", 28},      {"ED", 30},     {"EDAC", 30},   {"EXCH", 19},
        {"FBCL", 20},   {"FF1L", 20},   {"FF1R", 20},    {"GOTO", 23},   {"INC", 6},     {"INC2", 6},
        {"INCSNZ", 25}, {"INCSZ", 25},  {"IOR", 8},      {"LAC", 33},    {"LNK", 16},    {"LSR", 9},
        {"MAC", 29},    {"MOV", 12},    {"MOVPAG", 12},  {"MOVSAC", 31}, {"MPY", 29},    {"MSC", 29},
        {"MUL", 15},    {"MULW", 15},   {"NEG", 6},      {"NOP", 1},     {"NOPR", 1},    {"PBRA", 27},
        {"POP", 24},    {"PRETFIE", 1}, {"PRETLW", 18},  {"PRETURN", 1}, {"PUSH", 24},   {"PWRSAV", 4},
        {"RCALL", 22},  {"REPEAT", 17}, {"RESET", 1},    {"RETFIE", 1},  {"RETLW", 18},  {"RETURN", 1},
        {"RLC", 6},     {"RLNC", 6},    {"RRC", 6},      {"RRNC", 6},    {"SAC", 34},    {"SE", 20},
        {"SETM", 3},    {"SFTAC", 32},  {"SL", 9},       {"SUB", 8},     {"SUBB", 8},    {"SUBBR", 8},
        {"SUBR", 8},    {"SWAP", 5},    {"TBLRDH", 6},   {"TBLRDL", 6},  {"TBLWTH", 6},  {"TBLWTL", 6},
        {"ULNK", 1},    {"XOR", 8},     {"ZE", 20},
    };
    for (const MnemonicEntry& row : mnemonic_table) {
        std::string name = row.mnemonic_name;
        // The file-register forms of the compare-and-skip rows have a class of their own.
        int expected = name.rfind("CPS", 0) == 0 ? (row.family_mask == 0x01 ? 25 : 7) : classes.at(name);
        EXPECT_EQ(row.encoder_class, expected) << name;
    }
}

TEST(Tables, RowsInFull) {
    struct Case {
        int index;
        const char* name;
        uint32_t base;
        uint16_t family;
        uint16_t encoder_class;
        std::vector<uint32_t> alternates;
        uint16_t suffixes;
        int32_t slots;
        uint32_t flags;
        int32_t shadow;
        int32_t not_repeatable;
        uint32_t defs;
        uint32_t uses;
    } cases[] = {
        {0, "ADD", 0x400000, 0x4B, 8, {0xB00000, 0xB40000, 0xCB0000, 0xC90000}, 0x7, 1, 0x2, 0, 0, 0x80000000, 0},
        {1, "ADD", 0x400000, 0x24, 8, {0xB00000, 0xB40000, 0, 0}, 0x7, 1, 0x2, 0, 0, 0x80000000, 0},
        {12, "BTST", 0xA30000, 0x6F, 11, {0xAB0000, 0xA50000}, 0x1807, 1, 0x2, 0, 0, 0x80000000, 0},
        {14, "CALL", 0x020000, 0x6F, 23, {0x010000, 0x018000}, 0x0FF8, 1, 0x1, 0, 2, 0xC000FFFF, 0x4000FFFF},
        {15, "CLR", 0xEB0000, 0x4B, 3, {0xEF0000, 0xC30000}, 0x7, 1, 0x2, 0, 0, 0, 0},
        {16, "CLR", 0xEB0000, 0x24, 3, {0xEF0000, 0}, 0x7, 1, 0x2, 0, 0, 0, 0},
        {21, "CPB", 0xE18000, 0x6F, 26, {0xE38000}, 0x7, 1, 0x2, 0, 0, 0x80000000, 0x80000000},
        {26, "CPSEQ", 0xE78000, 0x01, 25, {}, 0x7, 1, 0, 1, 2, 0, 0},
        {27, "CPSEQ", 0xE78000, 0x6E, 7, {}, 0x7, 1, 0, 1, 2, 0, 0},
        {39, "DISI", 0xFC0000, 0x6F, 4, {14}, 0, 1, 0x2, 0, 2, 0, 0},
        {40, "DIV", 0xD80000, 0x6F, 13, {}, 0x0FF8, 1, 0x2, 0, 0, 0x80000003, 0},
        {49, "GOTO", 0x040000, 0x6F, 23, {0x014000, 0x018400, 0x010400}, 0x0FF8, 1, 0, 0, 2, 0, 0},
        {56, "LNK", 0xFA0000, 0x6F, 16, {}, 0, 1, 0x3, 0, 2, 0xC000, 0xC000},
        {62, "MPY", 0xC00003, 0x4B, 29, {0xF00001}, 0x2000, 1, 0x2, 0, 0, 0x80000000, 0},
        {65, "MULW", 0x000080, 0x60, 15, {}, 0x0FFF, 1, 0x2, 0, 0, 0, 0},
        {66, "NEG", 0xEA0000, 0x6F, 6, {0xEE0000, 0, 0xCB1000}, 0x7, 1, 0x2, 0, 0, 0x80000000, 0},
        {70, "POP", 0xF90000, 0x6F, 24, {0xFE8000}, 0x8007, 1, 0x3, 0, 0, 0, 0},
        {71, "PRETFIE", 0x064000, 0x6F, 1, {}, 0, 1, 0x1, 0, 2, 0x80008000, 0x8000},
        {75, "PWRSAV", 0xFE4000, 0x6F, 4, {1}, 0, 1, 0x2, 0, 2, 0, 0},
        {77, "REPEAT", 0x090000, 0x6F, 17, {0x098000}, 0, 1, 0, 2, 2, 0, 0},
        {78, "RESET", 0xFE0000, 0x6F, 1, {}, 0, 1, 0, 0, 0, 0, 0},
        {81, "RETURN", 0x060000, 0x6F, 1, {}, 0, 1, 0, 0, 2, 0x8000, 0x8000},
        {86, "SAC", 0xCC0000, 0x4B, 34, {}, 0x4000, 1, 0x2, 0, 0, 0, 0},
        {89, "SFTAC", 0xC80000, 0x4B, 32, {}, 0, 1, 0x2, 0, 0, 0x80000000, 0},
        {94, "SUBBR", 0x180000, 0x6F, 8, {0, 0xBD8000}, 0x7, 1, 0x2, 0, 0, 0x80000000, 0x80000000},
        {97, "TBLRDH", 0xBA8000, 0x6F, 6, {}, 0x7, 2, 0x2, 0, 0, 0, 0},
        {101, "ULNK", 0xFA8000, 0x6F, 1, {}, 0, 1, 0x3, 0, 2, 0xC000, 0x4000},
        {103, "ZE", 0xFB8000, 0x6F, 20, {}, 0, 1, 0x2, 0, 0, 0x80000000, 0},
    };
    for (const Case& c : cases) {
        const MnemonicEntry& row = mnemonic_table[c.index];
        SCOPED_TRACE(c.index);
        EXPECT_STREQ(row.mnemonic_name, c.name);
        EXPECT_EQ(row.base_word, c.base);
        EXPECT_EQ(row.family_mask, c.family);
        EXPECT_EQ(row.encoder_class, c.encoder_class);
        EXPECT_EQ(row.alternate_count, c.alternates.size());
        for (size_t i = 0; i < c.alternates.size(); ++i)
            EXPECT_EQ(tgt_alternate_word(&row, static_cast<int>(i)), c.alternates[i]) << i;
        EXPECT_EQ(row.suffix_mask, c.suffixes);
        EXPECT_EQ(row.slot_count, c.slots);
        EXPECT_EQ(row.mnemonic_flags, c.flags);
        EXPECT_EQ(row.shadow_kind, c.shadow);
        EXPECT_EQ(row.not_repeatable_kind, c.not_repeatable);
        EXPECT_EQ(row.implicit_defs, c.defs);
        EXPECT_EQ(row.implicit_uses, c.uses);
    }
}

TEST(Tables, AlternateWordsPastTheRowsOwnAreZero) {
    for (const MnemonicEntry& row : mnemonic_table) {
        EXPECT_EQ(row.alternate_words == nullptr, row.alternate_count == 0) << row.mnemonic_name;
        EXPECT_EQ(tgt_alternate_word(&row, row.alternate_count), 0u) << row.mnemonic_name;
        EXPECT_EQ(tgt_alternate_word(&row, -1), 0u) << row.mnemonic_name;
    }
    EXPECT_EQ(tgt_alternate_word(&mnemonic_table[18], 2), 0u);  // COM has no accumulator form
    EXPECT_EQ(tgt_alternate_word(nullptr, 0), 0u);
}

TEST(Tables, SchedulingGroups) {
    EXPECT_EQ(names_of_rows_where([](const MnemonicEntry& r) { return (r.mnemonic_flags & MNEMONIC_ENDS_RUN) != 0; }),
              words("CALL LNK POP PRETFIE PUSH RCALL RETFIE ULNK"));
    EXPECT_EQ(names_of_rows_where([](const MnemonicEntry& r) { return r.shadow_kind == SHADOW_SKIP; }),
              words("BTSC BTSS CPSEQ CPSGT CPSLT CPSNE DECSNZ DECSZ INCSNZ INCSZ"));
    EXPECT_EQ(names_of_rows_where([](const MnemonicEntry& r) { return r.shadow_kind == SHADOW_REPEAT; }),
              words("REPEAT"));
    // Every branch, call, return and skip may not stand in a REPEAT's shadow.
    EXPECT_EQ(names_of_rows_where([](const MnemonicEntry& r) { return r.not_repeatable_kind == 2; }),
              words("BRA BTSC BTSS CALL CPBEQ CPBGT CPBLT CPBNE CPSEQ CPSGT CPSLT CPSNE DECSNZ DECSZ DISI DO "
                    "GOTO INCSNZ INCSZ LNK PBRA PRETFIE PRETLW PRETURN PWRSAV RCALL REPEAT RETFIE RETLW RETURN "
                    "ULNK"));
    EXPECT_EQ(names_of_rows_where([](const MnemonicEntry& r) { return (r.mnemonic_flags & MNEMONIC_FILLS_SLOT) == 0; }),
              words("BRA CALL CPBEQ CPBGT CPBLT CPBNE CPSEQ CPSGT CPSLT CPSNE DO GOTO PBRA PRETFIE PRETLW "
                    "PRETURN RCALL REPEAT RESET RETFIE RETLW RETURN"));
    EXPECT_EQ(names_of_rows_where([](const MnemonicEntry& r) { return r.slot_count != 1; }),
              words("TBLRDH TBLRDL TBLWTH TBLWTL"));
    // Rows that carry over the status flag read it.
    EXPECT_EQ(names_of_rows_where([](const MnemonicEntry& r) { return r.implicit_uses == RES_STATUS; }),
              words("ADDC CPB RLC RRC SUBB SUBBR"));
}

// ---- The other tables ------------------------------------------------------------------

TEST(Tables, Registers) {
    for (const RegisterEntry& reg : register_table) {
        std::string name = reg.register_name;
        SCOPED_TRACE(name);
        if (name[0] == 'W' && name != "WREG") {
            int n = std::stoi(name.substr(1));
            EXPECT_EQ(reg.register_kind, REG_W);
            EXPECT_EQ(reg.register_number, n);
            EXPECT_EQ(reg.register_mask, 1u << n);
        }
    }
    struct Case {
        int index;
        const char* name;
        uint16_t kind;
        uint16_t number;
        uint32_t mask;
    } cases[] = {
        {0, "A", 2, 0, 0x10000},      {1, "B", 2, 1, 0x20000},       {2, "DSRPAG", 3, 0, 0x40000},
        {3, "DSWPAG", 3, 1, 0x80000}, {4, "TBLPAG", 3, 2, 0x100000}, {5, "W0", 0, 0, 0x1},
        {12, "W15", 0, 15, 0x8000},   {13, "W2", 0, 2, 0x4},         {21, "WREG", 1, 0, 0x1},
    };
    for (const Case& c : cases) {
        const RegisterEntry& reg = register_table[c.index];
        EXPECT_STREQ(reg.register_name, c.name);
        EXPECT_EQ(reg.register_kind, c.kind) << c.name;
        EXPECT_EQ(reg.register_number, c.number) << c.name;
        EXPECT_EQ(reg.register_mask, c.mask) << c.name;
    }
}

TEST(Tables, ConditionCodes) {
    const std::map<std::string, uint32_t> codes = {
        {"c", 0x31},  {"eq", 0x32}, {"ge", 0x3D},  {"geu", 0x31}, {"gt", 0x3C}, {"gtu", 0x3E}, {"le", 0x34},
        {"leu", 0x36}, {"lt", 0x35}, {"ltu", 0x39}, {"n", 0x33},   {"nc", 0x39}, {"neq", 0x3A}, {"nn", 0x3B},
        {"nov", 0x38}, {"nz", 0x3A}, {"oa", 0x0C},  {"ob", 0x0D},  {"ov", 0x30}, {"sa", 0x0E},  {"sb", 0x0F},
        {"z", 0x32},
    };
    std::map<std::string, uint32_t> table;
    for (const ConditionEntry& c : condition_code_table) table[c.condition_name] = c.condition_code;
    EXPECT_EQ(table, codes);
}

TEST(Tables, SuffixesAndRuntimeRoutines) {
    const std::map<std::string, uint16_t> bits = {
        {".b", 0x0001},  {".c", 0x0800},  {".d", 0x0004},  {".l", 0x0800},  {".n", 0x2000},  {".r", 0x4000},
        {".s", 0x8000},  {".sd", 0x0100}, {".ss", 0x0008}, {".su", 0x0010}, {".sw", 0x0080}, {".ud", 0x0400},
        {".us", 0x0020}, {".uu", 0x0040}, {".uw", 0x0200}, {".w", 0x0002},  {".z", 0x1000},
    };
    std::map<std::string, uint16_t> table;
    for (const SuffixEntry& s : suffix_table) table[s.suffix_text] = s.suffix_bit;
    EXPECT_EQ(table, bits);

    EXPECT_STREQ(runtime_helper_table[0], "___adddf3");
    EXPECT_STREQ(runtime_helper_table[14], "___extendsfdf2");
    EXPECT_STREQ(runtime_helper_table[51], "___truncdfsf2");
    EXPECT_STREQ(runtime_helper_table[57], "___umodsi3");
}

// ---- Registration and the callbacks --------------------------------------------------------

class TablesTarget : public testing::Test {
protected:
    void SetUp() override { saved_family = device_family_flags; }
    void TearDown() override { device_family_flags = saved_family; }
    uint32_t saved_family = 2;
};

TEST_F(TablesTarget, InitialisingTheSectionsRegistersTheTarget) {
    omf_init();
    EXPECT_EQ(target_mnemonics, mnemonic_table);
    EXPECT_EQ(target_mnemonic_count, 104);
    EXPECT_EQ(target_registers, register_table);
    EXPECT_EQ(target_register_count, 22);
    EXPECT_EQ(target_conditions, condition_code_table);
    EXPECT_EQ(target_condition_count, 22);
    EXPECT_EQ(target_encode_hook, &tgt_assemble_instruction);
    EXPECT_EQ(target_suffix_hook, &tgt_parse_suffix);
    EXPECT_EQ(target_available_hook, &tgt_is_mnemonic_available);
}

TEST_F(TablesTarget, AvailabilityByFamilyWord) {
    struct Case {
        uint32_t family;
        int row;
        int available;
    } cases[] = {
        {2, 0, 1},     {2, 1, 0},    {0x20, 0, 0},  {0x20, 1, 1},  {2, 22, 0},   {0x40, 22, 1},
        {2, 26, 0},    {2, 27, 1},   {1, 26, 1},    {1, 27, 0},    {0x24, 16, 1}, {0x4B, 15, 1},
        {0x80, 67, 0},  // a family bit that no row carries
        {2, 104, 0},   {2, -1, 0},   {0x6F, 1000, 0},
    };
    for (const Case& c : cases) {
        device_family_flags = c.family;
        EXPECT_EQ(tgt_is_mnemonic_available(c.row), c.available) << std::hex << c.family << " row " << std::dec << c.row;
    }
}

TEST_F(TablesTarget, SuffixCallback) {
    struct Case {
        uint32_t family;
        int row;
        const char* suffix;
        bool accepted;
        uint16_t bit;
    } cases[] = {
        {2, 59, ".b", true, 0x0001},     // MOV.B
        {2, 59, ".B", true, 0x0001},     // letters fold to lower case
        {2, 59, ".x", false, 0},         // not a suffix at all
        {2, 59, ".bb", false, 0},        // the whole text must match
        {2, 67, ".b", false, 0},         // NOP takes no suffix
        {2, 14, ".l", false, 0},         // CALL.L needs a family with the long forms
        {0x40, 14, ".l", true, 0x0800},
        {0x20, 14, ".l", true, 0x0800},
        {2, 14, ".L", true, 0x0800},     // only the lower-case text is held to the family
        {2, 5, ".c", true, 0x0800},      // BCLR.C: returned; the entry warns about it
        {2, 96, ".n", true, 0x2000},     // SWAP.N likewise
    };
    for (const Case& c : cases) {
        device_family_flags = c.family;
        lex_set_token_suffix(0);
        const MnemonicEntry* row = &mnemonic_table[c.row];
        const MnemonicEntry* result = tgt_parse_suffix(row, c.suffix);
        SCOPED_TRACE(std::string(row->mnemonic_name) + c.suffix);
        EXPECT_EQ(result, c.accepted ? row : nullptr);
        EXPECT_EQ(lex_token_suffix(), c.bit);
    }
}

}  // namespace
