// Diagnostics: line formats, pass rules, the warning limit and -W.
#include <gtest/gtest.h>

#include <string>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmlex.h"
#include "platform.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

void at_line(const char* name, int line, int pass) {
    main_source.name = name;
    main_source.line = line;
    pass_number = pass;
}

TEST(Diag, ErrorLineInPassTwo) {
    at_line("prog.s", 12, 2);
    CaptureStderr();
    diag_error(7, "_undefined");
    EXPECT_EQ(GetCapturedStderr(), "prog.s: line 0012: PA-E0007 Error: Symbol '_undefined' is not defined\n");
    EXPECT_EQ(error_count, 1u);
}

TEST(Diag, ErrorsAreSilentBeforePassTwoAndForMinusOne) {
    for (int pass : {0, 1}) {
        at_line("prog.s", 3, pass);
        CaptureStderr();
        diag_error(1);
        EXPECT_EQ(GetCapturedStderr(), "");
    }
    at_line("prog.s", 3, 2);
    CaptureStderr();
    diag_error(-1);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(error_count, 0u);
    at_line("prog.s", 3, 3);  // writer passes report like pass 2
    CaptureStderr();
    diag_error(1);
    EXPECT_EQ(GetCapturedStderr(), "prog.s: line 0003: PA-E0001 Error: Syntax error\n");
}

TEST(Diag, LineNumbersWiderThanFourDigits) {
    at_line("big.s", 123456, 2);
    CaptureStderr();
    diag_error(31);
    EXPECT_EQ(GetCapturedStderr(), "big.s: line 123456: PA-E0031 Error: Expected a comma (,)\n");
}

TEST(Diag, UnknownNumbersReportAsNumberZero) {
    at_line("prog.s", 1, 2);
    report_flags = REPORT_WARNINGS;
    CaptureStderr();
    diag_error(52);
    diag_warning(13);
    EXPECT_EQ(GetCapturedStderr(),
              "prog.s: line 0001: PA-E0000 Error: Internal assembler error detected\n"
              "prog.s: line 0001: PA-W0000 Warning: Internal assembler error detected\n");
}

TEST(Diag, PercentSignsInArgumentsAndNamesAreKept) {
    at_line("dir%s/prog%d.s", 5, 2);
    CaptureStderr();
    diag_error(6, "L%s%d");
    EXPECT_EQ(GetCapturedStderr(),
              "dir%s/prog%d.s: line 0005: PA-E0006 Error: Label 'L%s%d' is already defined\n");
}

TEST(Diag, PhaseErrorNumbersAreThirtyTwoBit) {
    at_line("prog.s", 9, 2);
    CaptureStderr();
    uint32_t pass1 = 0xFFFFFFFEu, pass2 = 0x10u;
    diag_error(2, static_cast<unsigned long>(pass1), static_cast<unsigned long>(pass2));
    EXPECT_EQ(GetCapturedStderr(),
              "prog.s: line 0009: PA-E0002 Error: Phase error between passes (FFFFFFFE!=00000010)\n");
}

TEST(Diag, WarningsNeedMinusWFromPassTwo) {
    at_line("prog.s", 4, 2);
    CaptureStderr();
    diag_warning(3);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(warning_count, 0u);
    report_flags = REPORT_WARNINGS;
    at_line("prog.s", 4, 1);
    CaptureStderr();
    diag_warning(3);
    EXPECT_EQ(GetCapturedStderr(), "");
    at_line("prog.s", 4, 2);
    CaptureStderr();
    diag_warning(3);
    EXPECT_EQ(GetCapturedStderr(), "prog.s: line 0004: PA-W0003 Warning: Extraneous label discarded\n");
    EXPECT_EQ(warning_count, 1u);
}

TEST(Diag, WarningsWhileReadingOptionsUseTheShortForm) {
    at_line("", 0, 0);
    CaptureStderr();
    diag_warning(11, "/opt/rixa_device.info");
    diag_warning(10, "1.05");
    EXPECT_EQ(GetCapturedStderr(),
              "PA-W0011 Warning: Could not open resource file: /opt/rixa_device.info\n"
              "PA-W0010 Warning: Resource version (1.05) does not match!\n");
    EXPECT_EQ(warning_count, 2u);
}

TEST(Diag, FiveHundredthWarningIsTheLimitMessage) {
    at_line("prog.s", 7, 2);
    report_flags = REPORT_WARNINGS;
    CaptureStderr();
    for (int i = 0; i < 600; ++i) diag_warning(2);
    std::string out = GetCapturedStderr();
    const std::string extra = "prog.s: line 0007: PA-W0002 Warning: Extra characters on source statement\n";
    const std::string limit =
        "prog.s: line 0007: PA-W0001 Warning: Too many warnings: further warnings shall be suppressed\n";
    std::string expected;
    for (int i = 0; i < 499; ++i) expected += extra;
    expected += limit;
    EXPECT_EQ(out, expected);
    EXPECT_EQ(warning_count, 500u);
}

TEST(Diag, WarningsAsErrorsRaisesErrorThreeOnce) {
    at_line("prog.s", 8, 2);
    report_flags = REPORT_WARNINGS | REPORT_WARNINGS_AS_ERRORS;
    CaptureStderr();
    diag_warning(5);
    diag_warning(5);
    EXPECT_EQ(GetCapturedStderr(),
              "prog.s: line 0008: PA-W0005 Warning: Zero-length string in data declaration\n"
              "prog.s: line 0008: PA-E0003 Error: Warning treated as an error: no output file generated\n"
              "prog.s: line 0008: PA-W0005 Warning: Zero-length string in data declaration\n");
    EXPECT_EQ(error_count, 1u);
    EXPECT_EQ(report_flags & REPORT_WARNINGS_AS_ERRORS, 0);
}

TEST(Diag, WarningsAsErrorsWithoutMinusWDoesNothing) {
    at_line("prog.s", 8, 2);
    report_flags = REPORT_WARNINGS_AS_ERRORS;
    CaptureStderr();
    diag_warning(5);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(error_count, 0u);
}

TEST(Diag, OptionWarningLeavesWarningsAsErrorsArmed) {
    at_line("", 0, 0);
    report_flags = REPORT_WARNINGS_AS_ERRORS;
    CaptureStderr();
    diag_warning(10, "1.05");
    GetCapturedStderr();
    EXPECT_NE(report_flags & REPORT_WARNINGS_AS_ERRORS, 0);
    EXPECT_EQ(error_count, 0u);
}

TEST(Diag, FatalErrorEndsTheRunAndDeletesTheTokenFile) {
    ASSERT_TRUE(asm_make_temp_name(token_file_name));
    token_file = std::fopen(token_file_name.c_str(), "wb");
    ASSERT_NE(token_file, nullptr);
    uint64_t size;
    ASSERT_TRUE(platform_file_size(token_file_name, size));
    at_line("prog.s", 21, 1);
    CaptureStderr();
    try {
        diag_fatal(7);
        FAIL() << "diag_fatal returned";
    } catch (const AsmTrap& trap) {
        EXPECT_EQ(trap.status, 15);
    }
    EXPECT_EQ(GetCapturedStderr(), "prog.s: line 0021: PA-F0007 Fatal: Source file contains non-ASCII characters\n");
    EXPECT_EQ(token_file, nullptr);
    EXPECT_FALSE(platform_file_size(token_file_name, size));
    EXPECT_EQ(error_count, 1u);
    asm_cleanup_files();  // a second clean-up is harmless
}

TEST(Diag, FatalErrorWithoutSourceUsesTheShortForm) {
    at_line("", 0, 0);
    CaptureStderr();
    EXPECT_THROW(diag_fatal(1, "../src/paasmdirectives", 812), AsmTrap);
    EXPECT_EQ(GetCapturedStderr(), "PA-F0001 Fatal: Internal error detected (../src/paasmdirectives,812)\n");
}

TEST(Diag, TablesHaveTheirSizesAndEndSlots) {
    EXPECT_STREQ(fatal_message_table[14], "ELF line table is invalid");
    EXPECT_EQ(fatal_message_table[15], nullptr);
    EXPECT_STREQ(error_message_table[51], "Integral constant overflow");
    EXPECT_STREQ(error_message_table[36], "Expected a double quote (\")");
    EXPECT_EQ(error_message_table[52], nullptr);
    EXPECT_STREQ(warning_message_table[12], "Invalid resource resource file");
    EXPECT_EQ(warning_message_table[13], nullptr);
}

}  // namespace
