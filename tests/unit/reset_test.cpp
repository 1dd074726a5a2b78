// The driver's reset: after asm_reset_run a process runs the program again
// as if it had just started, whatever the run before it left behind.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "asm_support.h"
#include "paasmdirectives.h"
#include "paasmpool.h"
#include "paasmquodra.h"

namespace {

TEST(Reset, DeviceFamilyOfAnEarlierRunIsForgotten) {
    AsmRun narrow = assemble("\tnop\n", {"--mcpu=GENERIC-16BIT"});
    EXPECT_EQ(narrow.status, 0) << narrow.errors;
    EXPECT_EQ(device_family_flags, 1u);
    asm_reset_run();
    EXPECT_EQ(device_family_flags, 2u);
}

TEST(Reset, OptionsCountersAndSourceAreBackAtTheStart) {
    AsmRun run = assemble("\t.section .text,code\n\tbogus\n", {"-w", "-s", "-b2", "-n3"});
    EXPECT_EQ(run.status, 1);
    asm_reset_run();
    EXPECT_EQ(option_flags, OPT_ABSTRACT);
    EXPECT_EQ(report_flags, 0);
    EXPECT_EQ(delay_slot_level, 0);
    EXPECT_EQ(nesting_limit, 2147483647);
    EXPECT_EQ(pass_number, 0);
    EXPECT_EQ(error_count, 0u);
    EXPECT_EQ(warning_count, 0u);
    EXPECT_EQ(lines_read, 0);
    EXPECT_EQ(line_total, 0);
    EXPECT_TRUE(main_source.name.empty());
    EXPECT_EQ(main_source.file, nullptr);
    EXPECT_EQ(token_file, nullptr);
    EXPECT_EQ(saved_lines, nullptr);
}

TEST(Reset, PoolsAndSectionStackAreEmpty) {
    AsmRun run = assemble("\t.pushsection .a,code\n\t.pushsection .b,data\n\tnop\n");
    ASSERT_NE(run.status, -1);
    asm_reset_run();
    for (int pool : {POOL_RUN, POOL_PASS, POOL_SCRATCH}) EXPECT_EQ(pool_current_free(pool), 0u) << pool;
    EXPECT_EQ(dir_section_stack_depth(), 0);
    EXPECT_EQ(section_list, nullptr);
}

TEST(Reset, SameSourceTwiceGivesTheSameResult) {
    const char* source =
        "\t.section .text,code\n"
        "\t.set ___PA___,1\n"
        "_g:\n"
        "\tmov\tw0,w1\n"
        "\tmov\tw1,w2\n"
        "\tbra\t_g\n"
        "\tundefined_word\n";
    AsmRun first = assemble(source, {"-w"});
    asm_reset_run();
    AsmRun second = assemble(source, {"-w"});
    EXPECT_EQ(first.status, second.status);
    EXPECT_EQ(first.errors, second.errors);
}

// An in-process run works in a directory of its own with TEMP pointing
// there; afterwards the tests that follow find the process as it was.
TEST(Reset, InProcessRunLeavesTheWorkingDirectoryAndTempAsTheyWere) {
    const std::string cwd = std::filesystem::current_path().string();
    for (const char* before : {"/tmp", static_cast<const char*>(nullptr)}) {
        test_support::ScopedEnvironment temp("TEMP", before);
        AsmRun run = assemble("\tnop\n");
        EXPECT_EQ(run.status, 0) << run.errors;
        const char* after = std::getenv("TEMP");
        if (before == nullptr)
            EXPECT_EQ(after, nullptr);
        else
            EXPECT_STREQ(after, before);
        EXPECT_EQ(std::filesystem::current_path().string(), cwd);
    }
}

TEST(Reset, NoTokenFileIsLeftInTheTemporaryDirectory) {
    char dir_template[] = "/tmp/zpa-reset-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    std::string dir = dir_template;
    test_support::ScopedEnvironment temp("TEMP", dir.c_str());
    std::string source = dir + "/s.s";
    {
        std::ofstream file(source);
        file << "\tnop\n";
    }
    std::string program = "zorvel-pa";
    std::vector<char*> argv = {program.data(), source.data(), nullptr};
    asm_reset_run();
    testing::internal::CaptureStderr();
    asm_main(2, argv.data());
    testing::internal::GetCapturedStderr();
    asm_reset_run();
    std::remove(source.c_str());
    int left = 0;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* entry = readdir(d))
            if (entry->d_name[0] != '.') ++left;
        closedir(d);
    }
    EXPECT_EQ(left, 0);
    rmdir(dir.c_str());
}

}  // namespace
