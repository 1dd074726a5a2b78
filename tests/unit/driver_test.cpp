// Driver services: default output names, the guard that keeps a writer
// off the source, case-insensitive comparison and temporary files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>
#include <string>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmlex.h"
#include "platform.h"
#include "process_support.h"

namespace {

TEST(Driver, DefaultNamesReplaceTheTextFromTheLastDot) {
    struct Case {
        const char* source;
        const char* extension;
        const char* expected;
    } cases[] = {
        {"prog.s", ".pa", "prog.pa"},      {"prog", ".lst", "prog.lst"},
        {"prog", ".hex", "prog.hex"},      {"dir.old/prog", ".lst", "dir.lst"},
        {"a.b.c", ".is", "a.b.is"},        {"prog.", ".pa", "prog.pa"},
        {"dir\\prog.asm", ".hex", "dir\\prog.hex"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(asm_default_file_name(c.source, c.extension), c.expected) << c.source;
}

TEST(Driver, OutputNameFilledFromTheSource) {
    main_source.name = "firmware/main.s";
    std::string name;
    asm_output_file_name(name, ".lst", 8);
    EXPECT_EQ(name, "firmware/main.lst");
    std::string given = "other.lst";
    asm_output_file_name(given, ".lst", 8);
    EXPECT_EQ(given, "other.lst");
}

TEST(Driver, OutputNameThatIsTheSourceIsRefused) {
    struct Case {
        const char* source;
        const char* given;
        const char* extension;
        int fatal;
        const char* line;
    } cases[] = {
        {"prog.hex", "", ".hex", 12, "prog.hex: line 0000: PA-F0012 Fatal: Error opening object file 'prog.hex'\n"},
        {"prog.lst", "", ".lst", 8, "prog.lst: line 0000: PA-F0008 Fatal: Error opening listing file 'prog.lst'\n"},
        {"prog.s", "prog.s", ".pa", 10, "prog.s: line 0000: PA-F0010 Fatal: Error opening output file 'prog.s'\n"},
    };
    for (const Case& c : cases) {
        main_source.name = c.source;
        main_source.line = 0;
        std::string name = c.given;
        testing::internal::CaptureStderr();
        EXPECT_THROW(asm_output_file_name(name, c.extension, c.fatal), AsmTrap);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.line);
    }
}

TEST(Driver, CaseInsensitiveComparison) {
    EXPECT_EQ(asm_strcmp_nocase(".TEXT", ".text"), 0);
    EXPECT_EQ(asm_strcmp_nocase("", ""), 0);
    EXPECT_LT(asm_strcmp_nocase("ab", "abc"), 0);
    EXPECT_GT(asm_strcmp_nocase("abc", "AB"), 0);
    EXPECT_EQ(asm_strcmp_nocase("abd", "ABC"), 'd' - 'c');
    EXPECT_EQ(asm_strcmp_nocase("A", "b"), 'a' - 'b');
}

TEST(Driver, TemporaryFileIsFreshInTemp) {
    char dir_template[] = "/tmp/zpa-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    std::string dir = dir_template;
    test_support::ScopedEnvironment temp("TEMP", dir.c_str());
    test_support::ScopedEnvironment tmp("TMP", nullptr);
    std::string a, b;
    ASSERT_TRUE(asm_make_temp_name(a));
    ASSERT_TRUE(platform_create_temp_file(platform_temp_directory(), b));
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind(dir + "/", 0), 0u);
    uint64_t size = 1;
    EXPECT_TRUE(platform_file_size(a, size));
    EXPECT_EQ(size, 0u);
    std::remove(a.c_str());
    std::remove(b.c_str());
    temp.set(nullptr);
    tmp.set(dir.c_str());
    EXPECT_EQ(platform_temp_directory(), dir);
    tmp.set(nullptr);
    EXPECT_EQ(platform_temp_directory(), "/tmp");
    rmdir(dir.c_str());
}

// The token file is written from its start into the file that was just
// made for it; a path with no file behind it cannot be opened so.
TEST(Driver, FreshTemporaryFileIsOpenedForWriting) {
    std::string path;
    ASSERT_TRUE(platform_create_temp_file("/tmp", path));
    FILE* file = platform_open_fresh_for_writing(path);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(platform_write_all(file, "tokens", 6));
    std::fclose(file);
    uint64_t size = 0;
    EXPECT_TRUE(platform_file_size(path, size));
    EXPECT_EQ(size, 6u);
    std::remove(path.c_str());
    EXPECT_EQ(platform_open_fresh_for_writing(path), nullptr);
}

TEST(Driver, TemporaryFileInMissingDirectoryNamesThePathTried) {
    std::string path;
    EXPECT_FALSE(platform_create_temp_file("/nonexistent-zpa-dir", path));
    EXPECT_EQ(path, "/nonexistent-zpa-dir/XXXXXX");
    EXPECT_FALSE(platform_create_temp_file("/nonexistent-zpa-dir/", path));
    EXPECT_EQ(path, "/nonexistent-zpa-dir/XXXXXX");
}

}  // namespace
