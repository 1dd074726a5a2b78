// The Intel HEX writer: records of program memory, extended linear
// address records, the end record, file names and write failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmsym.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

const char* in(const char* text) { return intern_string(text); }

class Hex : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "hex_test_XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        ASSERT_NE(mkdtemp(buffer.data()), nullptr);
        dir = buffer.data();
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    // Runs both passes over `emit`, which assembles the same statements
    // in each, with the source named `source` in the temporary directory.
    void assemble(const std::function<void()>& emit, const char* source = "prog.s") {
        main_source.name = dir + "/" + source;
        main_source.line = 0;
        pass_number = 0;
        omf_init();
        intern_init();
        sym_init();
        for (int pass : {1, 2}) {
            pass_number = pass;
            main_source.line = 0;
            omf_begin_pass(pass);
            sym_begin_pass();
            emit();
        }
    }

    std::string read(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    std::string write(std::string name = "") {
        omf_write_hex_file(main_source.name, name);
        written_name = name;
        return read(name);
    }

    std::string dir;
    std::string written_name;
};

Section* section_named(const char* name) {
    Symbol* symbol = omf_find_section(name, 0);
    return symbol != nullptr ? symbol->section : nullptr;
}

Section* make_section(const char* name, uint8_t kind) {
    Symbol* symbol = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, in(name)});
    symbol->value_type = TYPE_SECTION;
    symbol->flags |= SYM_DEFINED_PASS1;
    Section* section = omf_create_section(kind, 1, symbol, 0);
    symbol->section = section;
    section->bytes_per_element = kind == MEMORY_PROGRAM ? 4 : 1;
    section->units_per_element = kind == MEMORY_PROGRAM ? 2 : 1;
    return section;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

TEST_F(Hex, OneInstructionWordAtAddressZero) {
    assemble([] { omf_emit_long(0x040000); });
    EXPECT_EQ(write(), ":020000040000fa\n:0400000000000400f8\n:00000001FF\n");
    EXPECT_EQ(written_name, dir + "/prog.hex");
}

TEST_F(Hex, SevenWordsGiveRecordsOfSixteenAndTwelveBytes) {
    assemble([] {
        const uint32_t words[] = {0x123456, 0xABCDEF, 0x000000, 0xFFFFFF, 0x05000001, 0x0F8000, 0x000102};
        for (uint32_t word : words) omf_emit_long(word);
    });
    EXPECT_EQ(write(),
              ":020000040000fa\n"
              ":1000000056341200efcdab0000000000ffffff00f0\n"
              ":0c0010000100000500800f00020100004c\n"
              ":00000001FF\n");
}

TEST_F(Hex, SectionPlacedAt8000StartsInTheSecond64KBlock) {
    // A section made by .section comes before .text and reserves 0x8000
    // address units, so .text is placed at 0x8000, byte address 0x10000.
    assemble([] {
        if (pass_number == 1) make_section("vectors", MEMORY_PROGRAM);
        current_section = section_named("vectors");
        omf_advance_location(0x8000);
        current_section = section_named(".text");
        omf_emit_long(0x040000);
    });
    ASSERT_EQ(section_named(".text")->placed_address, 0x8000u);
    std::vector<std::string> lines = lines_of(write());
    ASSERT_EQ(lines.size(), 1u + 4096u + 3u);
    EXPECT_EQ(lines[0], ":020000040000fa");
    EXPECT_EQ(lines[1], ":1000000000000000000000000000000000000000f0");
    EXPECT_EQ(lines[4096], ":10fff0000000000000000000000000000000000001");
    EXPECT_EQ(lines[4097], ":020000040001f9");
    EXPECT_EQ(lines[4098], ":0400000000000400f8");
    EXPECT_EQ(lines[4099], ":00000001FF");
}

TEST_F(Hex, ARecordIsNeverSplitAtA64KBoundary) {
    assemble([] {
        for (uint32_t word = 1; word <= 5; ++word) omf_emit_long(word);
    });
    section_named(".text")->placed_address = 0x7FFC;  // byte address 0xFFF8
    EXPECT_EQ(write(),
              ":020000040000fa\n"
              ":10fff80001000000020000000300000004000000ef\n"
              ":020000040001f9\n"
              ":0400080005000000ef\n"
              ":00000001FF\n");
}

TEST_F(Hex, UpperAddressBitsFFFFGetTheirRecordToo) {
    assemble([] { omf_emit_long(0x040000); });
    section_named(".text")->placed_address = 0x7FFF8000u;  // byte address 0xFFFF0000
    EXPECT_EQ(write(), ":02000004fffffc\n:0400000000000400f8\n:00000001FF\n");
}

TEST_F(Hex, ProgramSectionsAreWrittenInListOrder) {
    assemble([] {
        if (pass_number == 1) make_section("boot", MEMORY_PROGRAM);
        current_section = section_named(".text");
        omf_emit_long(0x000002);
        current_section = section_named("boot");
        omf_emit_long(0x000001);
    });
    // boot is placed at 0, .text after it at address 2, byte address 4.
    EXPECT_EQ(write(),
              ":020000040000fa\n"
              ":0400000001000000fb\n"
              ":0400040002000000f6\n"
              ":00000001FF\n");
}

TEST_F(Hex, DataMemoryIsNeverWritten) {
    assemble([] {
        if (pass_number == 1) make_section("buffers", MEMORY_DATA);
        current_section = section_named("buffers");
        omf_emit_byte(0x55);
        current_section = section_named(".data");
        omf_emit_byte(0x66);
        current_section = section_named(".bss");
        omf_advance_location(4);
        current_section = section_named(".text");
        omf_emit_long(0x040000);
    });
    EXPECT_EQ(write(), ":020000040000fa\n:0400000000000400f8\n:00000001FF\n");
}

TEST_F(Hex, NoProgramMemoryGivesTheEndRecordAlone) {
    assemble([] {
        current_section = section_named(".data");
        omf_emit_byte(1);
    });
    EXPECT_EQ(write(), ":00000001FF\n");
}

TEST_F(Hex, DefaultNameAppendsTheExtensionWithoutADot) {
    if (dir.find('.') != std::string::npos) GTEST_SKIP() << "temporary directory has a '.'";
    assemble([] { omf_emit_long(0x040000); }, "firmware");
    write();
    EXPECT_EQ(written_name, dir + "/firmware.hex");
}

TEST_F(Hex, AGivenNameIsUsedAsIs) {
    assemble([] { omf_emit_long(0x040000); });
    std::string given = dir + "/out.ihx";
    EXPECT_EQ(write(given), ":020000040000fa\n:0400000000000400f8\n:00000001FF\n");
    EXPECT_EQ(written_name, given);
}

TEST_F(Hex, AFileThatCannotBeOpenedIsFatal) {
    assemble([] { omf_emit_long(0x040000); });
    std::string name = dir + "/missing/prog.hex";
    CaptureStderr();
    try {
        omf_write_hex_file(main_source.name, name);
        ADD_FAILURE() << "no fatal error";
    } catch (const AsmTrap& trap) {
        EXPECT_EQ(trap.status, 15);
    }
    EXPECT_EQ(GetCapturedStderr(),
              main_source.name + ": line 0000: PA-F0012 Fatal: Error opening object file '" + name + "'\n");
    EXPECT_EQ(hex_file, nullptr);
}

TEST_F(Hex, TheSourceIsNeverOverwritten) {
    assemble([] { omf_emit_long(0x040000); }, "prog.hex");
    {
        std::ofstream source(main_source.name);
        source << "\tnop\n";
    }
    std::string name;
    CaptureStderr();
    EXPECT_THROW(omf_write_hex_file(main_source.name, name), AsmTrap);
    EXPECT_EQ(GetCapturedStderr(), main_source.name + ": line 0000: PA-F0012 Fatal: Error opening object file '" +
                                       main_source.name + "'\n");
    EXPECT_EQ(read(main_source.name), "\tnop\n");
}

TEST_F(Hex, AFailedWriteIsFatal) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    assemble([] { omf_emit_long(0x040000); });
    std::string name = "/dev/full";
    CaptureStderr();
    EXPECT_THROW(omf_write_hex_file(main_source.name, name), AsmTrap);
    EXPECT_EQ(GetCapturedStderr(), main_source.name + ": line 0000: PA-F0013 Fatal: Error writing object file\n");
    EXPECT_EQ(hex_file, nullptr);
}

}  // namespace
