// Source lines and the token file: line reading and splitting, the records
// that pass 1 writes, their replay in pass 2 and the writers' passes, the
// per-line token offsets, and the fatal errors of the files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmpool.h"
#include "paasmquodra.h"
#include "paasmsym.h"

namespace {

const MnemonicEntry test_mnemonics[] = {
    {"ADD", 0x400000, 0, 1, nullptr, 0, 0, 0, 0, 0, 0, 0},
    {"MOV", 0x780000, 0, 2, nullptr, 0, 0, 0, 0, 0, 0, 0},
};
const RegisterEntry test_registers[] = {
    {"W0", REG_W, 0, 0x1},
    {"W1", REG_W, 1, 0x2},
};

int test_available(int) { return 1; }

// ".b" is suffix code 1, ".w" code 0x0102 (both bytes of the code matter).
const MnemonicEntry* test_suffix(const MnemonicEntry* row, const char* suffix) {
    if (std::strcmp(suffix, ".b") == 0) {
        lex_set_token_suffix(1);
        return row;
    }
    if (std::strcmp(suffix, ".w") == 0) {
        lex_set_token_suffix(0x0102);
        return row;
    }
    return nullptr;
}

void set_target(bool registered) {
    target_mnemonics = registered ? test_mnemonics : nullptr;
    target_mnemonic_count = registered ? 2 : 0;
    target_registers = registered ? test_registers : nullptr;
    target_register_count = registered ? 2 : 0;
    target_conditions = nullptr;
    target_condition_count = 0;
    target_suffix_hook = registered ? test_suffix : nullptr;
    target_available_hook = registered ? test_available : nullptr;
}

std::vector<uint8_t> read_file(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    int c;
    while ((c = std::fgetc(file)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(file);
    return bytes;
}

void write_file(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

class Lex : public testing::Test {
protected:
    void SetUp() override {
        char dir_template[] = "/tmp/zpa-lex-XXXXXX";
        ASSERT_NE(mkdtemp(dir_template), nullptr);
        dir_ = dir_template;
        source_path_ = dir_ + "/prog.s";
        token_path_ = dir_ + "/tokens.tmp";
        intern_init();
        sym_init();
        omf_init();  // for the section hooks that start every pass
        lex_reset();
        set_target(false);
        pass_number = 0;
        report_flags = 0;
        option_flags = OPT_OUTPUT;  // an output file: the writers' passes follow
        error_count = 0;
        line_total = 0;
        lines_read = 0;
        saved_lines = nullptr;
        main_source.file = nullptr;
        main_source.name = "prog.s";
        main_source.line = 0;
        main_source.line_total = 0;
        token_file = nullptr;
    }

    void TearDown() override {
        if (main_source.file != nullptr) std::fclose(main_source.file);
        main_source.file = nullptr;
        if (token_file != nullptr) std::fclose(token_file);
        token_file = nullptr;
        option_flags = 0;
        set_target(false);
        std::remove(source_path_.c_str());
        std::remove(token_path_.c_str());
        rmdir(dir_.c_str());
    }

    void begin_pass1(const std::string& source) {
        write_file(source_path_, source);
        main_source.file = std::fopen(source_path_.c_str(), "rb");
        token_file = std::fopen(token_path_.c_str(), "wb");
        ASSERT_NE(main_source.file, nullptr);
        ASSERT_NE(token_file, nullptr);
        asm_begin_pass();
        ASSERT_EQ(pass_number, 1);
    }

    // Closes the token file as written and reopens it for reading.
    void begin_pass2() {
        std::fclose(token_file);
        token_file = std::fopen(token_path_.c_str(), "rb");
        ASSERT_NE(token_file, nullptr);
        asm_begin_pass();
        ASSERT_EQ(pass_number, 2);
    }

    // Every line of the source in pass 1, then in pass 2.
    void read_both_passes(const std::string& source) {
        begin_pass1(source);
        do take_line();
        while (!end_of_source);
        begin_pass2();
        do take_line();
        while (!end_of_source);
    }

    std::vector<uint8_t> token_bytes() {
        if (token_file != nullptr) std::fflush(token_file);
        return read_file(token_path_);
    }

    // Starts the next line and takes its tokens: at most `limit` of them,
    // and none after the end of statement or of the source.
    std::vector<Token> take_line(size_t limit = 100) {
        lex_next_line();
        std::vector<Token> tokens{current_token};
        while (tokens.size() < limit && current_token.code != TOK_END_OF_STATEMENT &&
               current_token.code != TOK_END_OF_SOURCE) {
            lex_next_token();
            tokens.push_back(current_token);
        }
        return tokens;
    }

    static std::vector<int32_t> codes(const std::vector<Token>& tokens) {
        std::vector<int32_t> result;
        for (const Token& t : tokens) result.push_back(t.code);
        return result;
    }

    std::string dir_;
    std::string source_path_;
    std::string token_path_;
};

// ---- Reading lines ------------------------------------------------------------------

TEST_F(Lex, LinesAreSplitAndCompletedAsRead) {
    struct Case {
        std::string source;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"abc", {"abc\n"}},
        {"a\nb", {"a\n", "b\n"}},
        {std::string(700, 'a') + "\nnext\n",
         {std::string(664, 'a') + "\n", std::string(36, 'a') + "\n", "next\n"}},
        {std::string(664, 'b') + "\nx\n", {std::string(664, 'b') + "\n", "\n", "x\n"}},
        {std::string(663, 'c') + "\nx\n", {std::string(663, 'c') + "\n", "x\n"}},
        {std::string("\0xyz\nabc\n", 9), {"\n", "abc\n"}},
        {"\n\n", {"\n", "\n"}},
        {"a\r\n", {"a\r\n"}},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(index++);
        TearDown();
        SetUp();
        begin_pass1(c.source);
        std::vector<std::string> pass1_lines;
        for (;;) {
            auto tokens = take_line();
            if (end_of_source) break;
            pass1_lines.push_back(line_buffer);
            EXPECT_EQ(main_source.line, static_cast<int32_t>(pass1_lines.size()));
        }
        EXPECT_EQ(pass1_lines, c.lines);
        EXPECT_EQ(lines_read, static_cast<int32_t>(c.lines.size()));

        // Pass 2 reads the same lines, with the same numbers, and keeps them.
        begin_pass2();
        EXPECT_EQ(line_total, static_cast<int32_t>(c.lines.size()));
        EXPECT_EQ(main_source.line_total, static_cast<int32_t>(c.lines.size()));
        std::vector<std::string> pass2_lines;
        for (;;) {
            take_line();
            if (end_of_source) break;
            pass2_lines.push_back(line_buffer);
            EXPECT_EQ(main_source.line, static_cast<int32_t>(pass2_lines.size()));
        }
        EXPECT_EQ(pass2_lines, c.lines);
        for (size_t i = 0; i < c.lines.size(); ++i) EXPECT_EQ(std::string(saved_lines[i]), c.lines[i]);

        // Later passes take the saved copies.
        asm_begin_pass();
        std::vector<std::string> pass3_lines;
        for (;;) {
            take_line();
            if (end_of_source) break;
            pass3_lines.push_back(line_buffer);
            EXPECT_EQ(main_source.line, static_cast<int32_t>(pass3_lines.size()));
        }
        EXPECT_EQ(pass3_lines, c.lines);
        EXPECT_EQ(current_token.code, TOK_END_OF_SOURCE);
    }
}

TEST_F(Lex, EmptySource) {
    begin_pass1("");
    lex_next_line();
    EXPECT_TRUE(end_of_source);
    EXPECT_EQ(current_token.code, TOK_END_OF_SOURCE);
    EXPECT_EQ(current_token.value.bytes[0], 0xFF);
    EXPECT_EQ(current_token.value.bytes[1], 0xFF);
    auto bytes = token_bytes();
    ASSERT_EQ(bytes.size(), 6u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFF);
    EXPECT_EQ(bytes[2], 0xFF);
    EXPECT_EQ(bytes[3], 0xFF);

    begin_pass2();
    EXPECT_EQ(saved_lines, nullptr);
    lex_next_line();
    EXPECT_EQ(current_token.code, TOK_END_OF_SOURCE);

    asm_begin_pass();
    EXPECT_FALSE(lex_fetch_saved_line(0));
    lex_next_line();
    EXPECT_TRUE(end_of_source);
    EXPECT_EQ(current_token.code, TOK_END_OF_SOURCE);
}

TEST_F(Lex, MarkThreeIsResetAtEveryLine) {
    begin_pass1("a\n");
    main_source.marks[2] = 'X';
    main_source.marks[3] = '*';
    lex_next_line();
    EXPECT_EQ(main_source.marks[2], ' ');
    EXPECT_EQ(main_source.marks[3], '*');
}

TEST_F(Lex, ScratchPoolIsReleasedForEveryLine) {
    begin_pass1("a\nb\n");
    pool_alloc(100, POOL_SCRATCH);
    ASSERT_GT(pool_current_free(POOL_SCRATCH), 0u);
    lex_next_line();
    EXPECT_EQ(pool_current_free(POOL_SCRATCH), 0u);
}

TEST_F(Lex, SavedLinesOutOfRange) {
    read_both_passes("one\ntwo\n");
    EXPECT_TRUE(lex_fetch_saved_line(1));
    EXPECT_STREQ(line_buffer, "two\n");
    EXPECT_TRUE(lex_fetch_saved_line(0));
    EXPECT_STREQ(line_buffer, "one\n");
    EXPECT_FALSE(lex_fetch_saved_line(2));
    EXPECT_FALSE(lex_fetch_saved_line(-1));
    EXPECT_STREQ(line_buffer, "one\n");
}

// Only the writers' passes read the saved lines, and they run only with an
// output file: without one pass 2 keeps no copies, and a source that grew
// since pass 1 is refused all the same.
TEST_F(Lex, NoSavedLinesWithoutAnOutputFile) {
    option_flags = 0;
    read_both_passes("one\ntwo\n");
    EXPECT_EQ(saved_lines, nullptr);
    EXPECT_FALSE(lex_fetch_saved_line(0));
    EXPECT_EQ(lines_read, 2);
}

// ---- The records of pass 1 -------------------------------------------------------

TEST_F(Lex, RecordSizesAndLayout) {
    set_target(true);
    begin_pass1("lab 1.5, 7\n  \"s\", foo\n\tmov.w w1\n");
    EXPECT_EQ(codes(take_line()), (std::vector<int32_t>{TOK_LABEL, TOK_FLOAT, TOK_COMMA, TOK_INTEGER,
                                                        TOK_END_OF_STATEMENT}));
    EXPECT_EQ(codes(take_line()),
              (std::vector<int32_t>{TOK_STRING, TOK_COMMA, TOK_SYMBOL, TOK_END_OF_STATEMENT}));
    EXPECT_EQ(codes(take_line()),
              (std::vector<int32_t>{TOK_MNEMONIC, TOK_REGISTER, TOK_END_OF_STATEMENT}));
    take_line();
    ASSERT_EQ(current_token.code, TOK_END_OF_SOURCE);

    // 6 + 10 + 6 + 6 + 6, then 6 * 4, then 8 + 6 + 6, then the end record.
    auto bytes = token_bytes();
    ASSERT_EQ(bytes.size(), 34u + 24u + 20u + 6u);

    auto record = [&](size_t offset, size_t size) {
        return std::vector<uint8_t>(bytes.begin() + static_cast<long>(offset),
                                    bytes.begin() + static_cast<long>(offset + size));
    };
    uint32_t lab = intern_index_of("lab", 3);
    EXPECT_EQ(record(0, 6), (std::vector<uint8_t>{0x05, 0x01, static_cast<uint8_t>(lab & 0xFF),
                                                  static_cast<uint8_t>(lab >> 8), 0, 0}));
    // The float carries all 8 bytes of 1.5 (0x3FF8000000000000).
    EXPECT_EQ(record(6, 10), (std::vector<uint8_t>{0x0E, 0x01, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}));
    EXPECT_EQ(record(16, 6), (std::vector<uint8_t>{0x49, 0x01, 0, 0, 0, 0}));
    EXPECT_EQ(record(22, 6), (std::vector<uint8_t>{0x0D, 0x01, 7, 0, 0, 0}));
    EXPECT_EQ(record(28, 6), (std::vector<uint8_t>{0x14, 0x01, 0, 0, 0, 0}));
    // The mnemonic: row 1, then the suffix code in value bytes 4 and 5.
    EXPECT_EQ(record(58, 8), (std::vector<uint8_t>{0x01, 0x01, 1, 0, 0, 0, 0x02, 0x01}));
    EXPECT_EQ(record(66, 6), (std::vector<uint8_t>{0x03, 0x01, 1, 0, 0, 0}));
    std::vector<uint8_t> end = record(78, 6);
    EXPECT_EQ(std::vector<uint8_t>(end.begin(), end.begin() + 4),
              (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
}

// A word seen again is the same token as the first time, suffix included,
// and becomes something else as soon as the tables or the device say so.
TEST_F(Lex, RepeatedWordsFollowTheTables) {
    set_target(true);
    begin_pass1("\tmov.w w1\n\tmov.b w1\n\tmov.w w1\n\tmov.w w1\n\tmov.w w1\n\tmov.w w1\n");
    auto mnemonic_and_operand = [&](uint16_t suffix, int32_t operand) {
        std::vector<Token> tokens = take_line();
        ASSERT_EQ(tokens.size(), 3u);
        EXPECT_EQ(tokens[0].code, TOK_MNEMONIC);
        EXPECT_EQ(tokens[0].value.ref & 0xFFFF, 1u);  // MOV
        EXPECT_EQ(tokens[0].value.bytes[4] | tokens[0].value.bytes[5] << 8, suffix);
        EXPECT_EQ(tokens[1].code, operand);
        if (operand == TOK_REGISTER) {
            EXPECT_EQ(tokens[1].value.ref, 1u);  // W1
        }
    };
    mnemonic_and_operand(0x0102, TOK_REGISTER);
    mnemonic_and_operand(1, TOK_REGISTER);
    mnemonic_and_operand(0x0102, TOK_REGISTER);

    // W1 leaves the register table: the word is a name from now on.
    target_register_count = 1;
    mnemonic_and_operand(0x0102, TOK_SYMBOL);
    target_register_count = 2;
    mnemonic_and_operand(0x0102, TOK_REGISTER);

    // No instruction is available on the device any more.
    target_available_hook = [](int) { return 0; };
    std::vector<Token> tokens = take_line(1);
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].code, TOK_ERROR);
}

TEST_F(Lex, EndRecordIsWrittenOnce) {
    begin_pass1("a\n");
    take_line();
    lex_next_line();
    ASSERT_EQ(current_token.code, TOK_END_OF_SOURCE);
    size_t size = token_bytes().size();
    EXPECT_EQ(size, 18u);
    lex_next_token();
    EXPECT_EQ(current_token.code, TOK_END_OF_SOURCE);
    lex_next_line();
    EXPECT_EQ(current_token.code, TOK_END_OF_SOURCE);
    lex_next_token();
    EXPECT_EQ(token_bytes().size(), size);

    // Pass 2 finds the end at the same place and keeps it.
    begin_pass2();
    take_line();
    lex_next_line();
    EXPECT_EQ(current_token.code, TOK_END_OF_SOURCE);
    lex_next_token();
    EXPECT_EQ(current_token.code, TOK_END_OF_SOURCE);
}

// ---- Replay --------------------------------------------------------------------

TEST_F(Lex, PassTwoReplaysValuesExactly) {
    set_target(true);
    begin_pass1("x 1.1, 4294967295, 2147483648, \"txt\", sym, 2.5e-3\n\tmov.w w1\n");
    auto pass1_first = take_line();
    auto pass1_second = take_line();
    take_line();

    begin_pass2();
    auto first = take_line();
    ASSERT_EQ(codes(first), codes(pass1_first));
    ASSERT_EQ(codes(first),
              (std::vector<int32_t>{TOK_LABEL, TOK_FLOAT, TOK_COMMA, TOK_INTEGER, TOK_COMMA,
                                    TOK_INTEGER, TOK_COMMA, TOK_STRING, TOK_COMMA, TOK_SYMBOL,
                                    TOK_COMMA, TOK_FLOAT, TOK_END_OF_STATEMENT}));
    double expected = 1.1;
    EXPECT_EQ(std::memcmp(first[1].value.bytes, &expected, 8), 0);
    EXPECT_EQ(first[3].value.integer, -1);
    EXPECT_EQ(first[5].value.integer, std::numeric_limits<int32_t>::min());
    current_token = first[0];
    EXPECT_STREQ(lex_token_text(), "x");
    current_token = first[7];
    EXPECT_STREQ(lex_token_text(), "txt");
    current_token = first[9];
    ASSERT_NE(lex_token_symbol(), nullptr);
    EXPECT_STREQ(lex_token_symbol()->name, "sym");
    expected = 0.0025;
    EXPECT_EQ(std::memcmp(first[11].value.bytes, &expected, 8), 0);

    auto second = take_line();
    ASSERT_EQ(codes(second), codes(pass1_second));
    current_token = second[0];
    EXPECT_EQ(lex_token_mnemonic(), &test_mnemonics[1]);
    EXPECT_EQ(lex_token_suffix(), 0x0102);
    current_token = second[1];
    EXPECT_EQ(lex_token_register(), &test_registers[1]);
}

TEST_F(Lex, ErrorTokenIsReportedOnceInPassTwo) {
    begin_pass1("ok\nx 08, \"open\n");
    testing::internal::CaptureStderr();
    take_line();
    auto tokens = take_line();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(codes(tokens), (std::vector<int32_t>{TOK_LABEL, TOK_ERROR, TOK_COMMA, TOK_ERROR,
                                                   TOK_END_OF_STATEMENT}));
    EXPECT_EQ(tokens[1].value.integer, -1);  // already handled for whoever reads it
    take_line();
    // The file keeps the error numbers.
    auto bytes = token_bytes();
    ASSERT_GE(bytes.size(), 24u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 18, bytes.begin() + 24),
              (std::vector<uint8_t>{0x00, 0x01, 16, 0, 0, 0}));
    EXPECT_EQ(error_count, 0u);

    begin_pass2();
    take_line();
    testing::internal::CaptureStderr();
    tokens = take_line();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "prog.s: line 0002: PA-E0016 Error: Digit conflicts with radix specification\n"
              "prog.s: line 0002: PA-E0036 Error: Expected a double quote (\")\n");
    EXPECT_EQ(tokens[1].value.integer, -1);
    EXPECT_EQ(tokens[3].value.integer, -1);
    EXPECT_EQ(error_count, 2u);
}

TEST_F(Lex, LaterPassesKeepStepLineByLine) {
    begin_pass1("a 1, 2, 3\nb 4, 5\nc 6\n");
    // Pass 1 reads line 1 whole, only the label of line 2, line 3 whole.
    EXPECT_EQ(take_line().size(), 7u);
    EXPECT_EQ(take_line(1).size(), 1u);
    EXPECT_EQ(take_line().size(), 3u);
    take_line();
    ASSERT_EQ(current_token.code, TOK_END_OF_SOURCE);
    EXPECT_EQ(token_bytes().size(), 6u * (7 + 1 + 3 + 1));

    for (int pass = 2; pass <= 3; ++pass) {
        SCOPED_TRACE(pass);
        if (pass == 2)
            begin_pass2();
        else
            asm_begin_pass();
        // Fewer tokens on line 1 than pass 1 took.
        auto tokens = take_line(2);
        EXPECT_EQ(codes(tokens), (std::vector<int32_t>{TOK_LABEL, TOK_INTEGER}));
        // More tokens on line 2 than pass 1 took: its statement ends there.
        tokens = take_line();
        EXPECT_EQ(codes(tokens), (std::vector<int32_t>{TOK_LABEL, TOK_END_OF_STATEMENT}));
        current_token = tokens[0];
        EXPECT_STREQ(lex_token_text(), "b");
        lex_next_token();
        EXPECT_EQ(current_token.code, TOK_END_OF_STATEMENT);
        // Line 3 is read from its own records.
        tokens = take_line();
        ASSERT_EQ(codes(tokens),
                  (std::vector<int32_t>{TOK_LABEL, TOK_INTEGER, TOK_END_OF_STATEMENT}));
        EXPECT_EQ(tokens[1].value.integer, 6);
        EXPECT_EQ(main_source.line, 3);
        take_line();
        EXPECT_EQ(current_token.code, TOK_END_OF_SOURCE);
    }
}

// A writer's pass passes over lines it skips without reading them; the
// line after them is read with its own text and tokens, and the count
// stops at the last saved line.
TEST_F(Lex, LaterPassesPassOverSkippedLines) {
    read_both_passes("a 1\nb 2\nc 3\nd 4\n");
    asm_begin_pass();  // pass 3
    EXPECT_EQ(lex_skip_saved_lines(2), 0);  // not before the pass's first line
    take_line();
    EXPECT_EQ(lex_skip_saved_lines(0), 0);
    EXPECT_EQ(lex_skip_saved_lines(1), 1);
    std::vector<Token> tokens = take_line();
    EXPECT_EQ(main_source.line, 3);
    EXPECT_STREQ(line_buffer, "c 3\n");
    ASSERT_EQ(codes(tokens), (std::vector<int32_t>{TOK_LABEL, TOK_INTEGER, TOK_END_OF_STATEMENT}));
    EXPECT_EQ(tokens[1].value.integer, 3);
    EXPECT_EQ(lex_skip_saved_lines(5), 1);  // only line 4 is left
    EXPECT_EQ(main_source.line, 4);
    take_line();
    EXPECT_TRUE(end_of_source);
    EXPECT_EQ(current_token.code, TOK_END_OF_SOURCE);
}

TEST_F(Lex, LinesAfterTheEndGiveOneEndOfStatement) {
    begin_pass1("a\n\tmov \"open, 08\nb 1\n");
    take_line();
    report_flags |= REPORT_END_SEEN;
    EXPECT_EQ(codes(take_line()), (std::vector<int32_t>{TOK_END_OF_STATEMENT}));
    EXPECT_EQ(codes(take_line()), (std::vector<int32_t>{TOK_END_OF_STATEMENT}));
    take_line();
    ASSERT_EQ(current_token.code, TOK_END_OF_SOURCE);
    EXPECT_EQ(token_bytes().size(), 6u * (2 + 1 + 1 + 1));

    begin_pass2();
    EXPECT_EQ(report_flags & REPORT_END_SEEN, 0);
    testing::internal::CaptureStderr();
    take_line();
    EXPECT_EQ(codes(take_line()), (std::vector<int32_t>{TOK_END_OF_STATEMENT}));
    EXPECT_EQ(codes(take_line()), (std::vector<int32_t>{TOK_END_OF_STATEMENT}));
    take_line();
    EXPECT_EQ(current_token.code, TOK_END_OF_SOURCE);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// ---- Fatal errors --------------------------------------------------------------------

TEST_F(Lex, InvalidCharacterInPassOne) {
    begin_pass1("ok\n\f\n");
    take_line();
    testing::internal::CaptureStderr();
    try {
        lex_next_line();
        ADD_FAILURE() << "no fatal error";
    } catch (const AsmTrap& trap) {
        EXPECT_EQ(trap.status, 15);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "prog.s: line 0002: PA-F0007 Fatal: Source file contains non-ASCII characters\n");
}

TEST_F(Lex, FileFailures) {
    struct Case {
        const char* name;
        const char* message;
    } cases[] = {
        {"truncated record", "prog.s: line 0001: PA-F0004 Fatal: Error reading intermediate file\n"},
        {"truncated mnemonic", "prog.s: line 0000: PA-F0004 Fatal: Error reading intermediate file\n"},
        {"write", "prog.s: line 0001: PA-F0005 Fatal: Error writing intermediate file\n"},
        {"source read", "prog.s: line 0000: PA-F0006 Fatal: Error reading source file\n"},
        {"source grew", "prog.s: line 0001: PA-F0006 Fatal: Error reading source file\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        std::string which = c.name;
        if (which == "truncated record") {
            begin_pass1("a\n");
            take_line();
            take_line();
            begin_pass2();
            std::fclose(token_file);
            write_file(token_path_, std::string("\x05\x01\x00", 3));
            token_file = std::fopen(token_path_.c_str(), "rb");
        } else if (which == "truncated mnemonic") {
            write_file(token_path_, std::string("\x01\x01\x00\x00\x00\x00\x02", 7));
            token_file = std::fopen(token_path_.c_str(), "rb");
            pass_number = 1;
            asm_begin_pass();
        } else if (which == "write") {
            write_file(source_path_, "a\n");
            write_file(token_path_, "");
            main_source.file = std::fopen(source_path_.c_str(), "rb");
            token_file = std::fopen(token_path_.c_str(), "rb");  // cannot be written
            asm_begin_pass();
        } else if (which == "source read") {
            main_source.file = std::fopen(dir_.c_str(), "rb");  // a directory reads with an error
            ASSERT_NE(main_source.file, nullptr);
            token_file = std::fopen(token_path_.c_str(), "wb");
            asm_begin_pass();
        } else {
            begin_pass1("a\n");
            take_line();
            take_line();
            write_file(source_path_, "a\nb\n");
            begin_pass2();
            take_line();
        }
        testing::internal::CaptureStderr();
        try {
            if (which == "truncated mnemonic")
                lex_read_token();
            else
                lex_next_line();
            ADD_FAILURE() << "no fatal error";
        } catch (const AsmTrap& trap) {
            EXPECT_EQ(trap.status, 15);
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    }
}

}  // namespace
