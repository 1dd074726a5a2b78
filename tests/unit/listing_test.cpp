// The listing's statement machinery driven directly: the message queue
// and its limits, the value texts of equates, and element widths that do
// not match the section they are printed for.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmlex.h"
#include "paasmlist.h"
#include "paasmomf.h"
#include "paasmquodra.h"
#include "paasmsym.h"
#include "test_support.h"

namespace {

// A listing opened on a fresh file as pass 2 with -l would have it; the
// statement lines are read back after the file is closed.
class ListingTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/zpa-listing-XXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path_ = name;
        test_support::start_run();
        test_support::begin_pass(2);
        option_flags = OPT_LISTING;
        main_source.line = 7;
        std::strcpy(line_buffer, "\tnop\n");
        std::string listing_name = path_;
        lst_open("t.s", listing_name);
        // Past the header block: the lines under test start a page of their own.
        lst_printf("start\n");
    }
    void TearDown() override {
        lst_close(1);
        option_flags = 0;
        std::remove(path_.c_str());
    }
    // The listing text after the line "start".
    std::string body() {
        lst_close(1);
        std::ifstream file(path_, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        std::string all = text.str();
        size_t at = all.find("start\n");
        return at == std::string::npos ? all : all.substr(at + 6);
    }
    std::string path_;
};

const std::string statement_tail = "    " " " "    7 " "\tnop\n";  // marks, line number, text

TEST_F(ListingTest, OnlyTwentyMessagesOfAStatementAreListed) {
    std::string expected = std::string(29, ' ') + statement_tail;
    for (int i = 1; i <= 21; ++i) {
        std::string text = "message " + std::to_string(i) + "\n";
        lst_queue_message(text.c_str());
        if (i <= 20) expected += text;
    }
    lst_end_statement();
    EXPECT_EQ(body(), expected);
}

TEST_F(ListingTest, MessagesThatOverflowTheTextPoolAreDropped) {
    // 100 characters with the newline, 101 bytes with the zero: six fit
    // below byte 666 of the pool (606 bytes), a seventh would end at 707.
    std::string text(99, 'x');
    text += '\n';
    std::string expected = std::string(29, ' ') + statement_tail;
    for (int i = 0; i < 7; ++i) {
        lst_queue_message(text.c_str());
        if (i < 6) expected += text;
    }
    // A short one still fits after them.
    lst_queue_message("tail\n");
    expected += "tail\n";
    lst_end_statement();
    EXPECT_EQ(body(), expected);
}

TEST_F(ListingTest, APercentInAMessageIsText) {
    lst_queue_message("t%s.s: line 0001: %d%n\n");
    lst_end_statement();
    EXPECT_EQ(body(), std::string(29, ' ') + statement_tail + "t%s.s: line 0001: %d%n\n");
}

TEST_F(ListingTest, ValueTextsByType) {
    Symbol symbol{};
    struct Row {
        uint8_t value_class;
        uint8_t value_type;
        Value8 value;
        const char* field;
    };
    Value8 integer{};
    integer.word = 0xFF;
    Value8 real{};
    real.real = 2.5;
    Value8 text{};
    text.text = "a long string value";
    Value8 reg{};
    reg.reg = &register_table[10];  // W13 in table order
    Value8 reloc{};
    reloc.word = 0x1234;
    const Row rows[] = {
        {CLASS_ABSOLUTE, TYPE_INTEGER, integer, "000000FF"},
        {CLASS_ABSOLUTE, TYPE_FLOAT, real, "     2.5"},
        {CLASS_ABSOLUTE, TYPE_STRING, text, "a long s"},
        {CLASS_ABSOLUTE, TYPE_REGISTER, reg, "W13     "},
        {CLASS_RELOCATABLE, TYPE_INTEGER, reloc, "00001234"},
    };
    std::string expected;
    for (const Row& row : rows) {
        symbol.value_class = row.value_class;
        symbol.value_type = row.value_type;
        symbol.value = row.value;
        lst_set_value_text(&symbol);
        lst_end_statement();
        expected += std::string(19, ' ') + row.field + "  " + statement_tail;
    }
    EXPECT_EQ(body(), expected);
}

TEST_F(ListingTest, ElementsArePrintedAtTheSectionsWidth) {
    Section section{};
    current_section = &section;
    auto geometry = [&](int32_t bytes, int32_t units) {
        section.bytes_per_element = bytes;
        section.units_per_element = units;
    };
    // Program memory: 32-bit elements, two a line, addresses two units apart.
    geometry(4, 2);
    const uint32_t words[5] = {0x00FE0000, 0x0D212345, 3, 4, 5};
    lst_set_longs(4, 5, words);
    lst_end_statement();
    // Halfwords: four a line.
    geometry(2, 1);
    const uint16_t values[5] = {0x0001, 0xBEEF, 0x0A0B, 0x7FFF, 0x8000};
    lst_set_words(0x20, 5, values);
    lst_end_statement();
    // A byte section handed 16-bit values prints their low bytes only.
    geometry(1, 1);
    const uint16_t halves[2] = {0x1234, 0xABCD};
    lst_set_words(0x10, 2, halves);
    lst_end_statement();
    std::string expected = "00000004 00FE0000 0D212345   " + statement_tail +
                           "00000008 00000003 00000004      d     7\n" +
                           "0000000C 00000005" + std::string(15, ' ') + "d     7\n" +
                           "00000020 0001 BEEF 0A0B 7FFF " + statement_tail +
                           "00000024 8000" + std::string(16, ' ') + "   d     7\n" +
                           "00000010 34 CD               " + statement_tail;
    EXPECT_EQ(body(), expected);
    current_section = nullptr;
}

}  // namespace

namespace {

// The line builders give what the listing's printf formats give.
TEST(ListingText, BuildersMatchTheirFormats) {
    char expected[64];
    for (uint32_t value : {0u, 0xAu, 0xFFu, 0x1234u, 0xFFFFu, 0x12345u, 0xDEADBEEFu, 0xFFFFFFFFu}) {
        for (int digits : {2, 4, 8}) {
            std::string line = "x";
            lst_append_hex(line, value, digits);
            std::snprintf(expected, sizeof expected, "x%0*lX", digits, static_cast<unsigned long>(value));
            EXPECT_EQ(line, expected) << value << " " << digits;
        }
    }
    for (long value : {0L, 7L, -7L, 99999L, 100000L, 1234567L, -2147483648L, 2147483647L}) {
        std::string line = "x";
        lst_append_number(line, value, 5);
        std::snprintf(expected, sizeof expected, "x%5ld", value);
        EXPECT_EQ(line, expected) << value;
    }
    for (const char* text : {"", "a", "exactly_thirty_two_characters_xx", "a_name_longer_than_thirty_two_characters"}) {
        std::string line = "x";
        lst_append_padded(line, text, 32);
        std::snprintf(expected, sizeof expected, "x%-32.32s", text);
        EXPECT_EQ(line, expected) << text;
    }
}

}  // namespace
