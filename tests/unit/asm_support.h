// Assembling a whole source in-process through the driver, for the tests
// that look at symbols, section images and diagnostics afterwards.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>  // rmdir

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmquodra.h"
#include "paasmsym.h"
#include "process_support.h"

struct AsmRun {
    int status = -1;
    std::string errors;  // the standard error stream
};

// Assembles `source` as the file t.s in a fresh directory (which is also
// the working directory and TEMP while it runs), with the given options
// before it. The program starts from its start state, as a new process
// would, but with the device family word `family` when one is given (the
// families that no --mcpu name selects are reached so). What the run
// leaves (symbols, sections, images) stays for the test to look at.
inline AsmRun assemble_with_family(std::optional<uint32_t> family, const std::string& source,
                                   std::vector<std::string> options) {
    asm_reset_run();
    if (family) device_family_flags = *family;
    char dir_template[] = "/tmp/zpa-directives-XXXXXX";
    if (mkdtemp(dir_template) == nullptr) {
        ADD_FAILURE() << "no temporary directory";
        return {};
    }
    std::string dir = dir_template;
    AsmRun run;
    {
        test_support::ScopedWorkingDirectory in_dir(dir);
        if (!in_dir.ok()) ADD_FAILURE() << "cannot work in " << dir;
        test_support::ScopedEnvironment temp("TEMP", dir.c_str());
        {
            std::ofstream file("t.s", std::ios::binary);
            file << source;
        }
        std::vector<std::string> words = {"zorvel-pa"};
        words.insert(words.end(), options.begin(), options.end());
        words.push_back("t.s");
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        testing::internal::CaptureStderr();
        run.status = asm_main(static_cast<int>(words.size()), argv.data());
        run.errors = testing::internal::GetCapturedStderr();
    }
    std::remove((dir + "/t.s").c_str());
    rmdir(dir.c_str());
    return run;
}

inline AsmRun assemble(const std::string& source, std::vector<std::string> options = {}) {
    return assemble_with_family(std::nullopt, source, std::move(options));
}

inline AsmRun assemble_warn(const std::string& source) { return assemble(source, {"-w"}); }

inline std::string error_line(int line, int number, const std::string& text) {
    char head[64];
    std::snprintf(head, sizeof head, "t.s: line %04d: PA-E%04d Error: ", line, number);
    return head + text + "\n";
}

inline std::string warning_line(int line, int number, const std::string& text) {
    char head[64];
    std::snprintf(head, sizeof head, "t.s: line %04d: PA-W%04d Warning: ", line, number);
    return head + text + "\n";
}

inline Symbol* symbol(const char* name) { return sym_lookup(SymbolKey{SYMKIND_ORDINARY, intern_string(name)}); }

// The low 32 bits of a symbol's value; a missing symbol fails the test.
inline uint32_t value_of(const char* name) {
    Symbol* s = symbol(name);
    if (s == nullptr) {
        ADD_FAILURE() << "no symbol " << name;
        return 0xDEADBEEFu;
    }
    return s->value.word;
}

inline bool defined(const char* name) {
    Symbol* s = symbol(name);
    return s != nullptr && (s->flags & SYM_DEFINED_PASS1) != 0;
}

inline Section* section(const char* name) {
    Symbol* s = omf_find_section(name, 0);
    return s != nullptr ? s->section : nullptr;
}

// The bytes of a data-memory section.
inline std::vector<uint8_t> bytes_of(const char* name) {
    Section* s = section(name);
    if (s == nullptr || s->bytes_per_element != 1) {
        ADD_FAILURE() << name << " is no data section";
        return {};
    }
    if (s->size == 0) return {};
    return std::vector<uint8_t>(s->image, s->image + s->size);
}

// The 32-bit cells of a program-memory section.
inline std::vector<uint32_t> cells_of(const char* name) {
    Section* s = section(name);
    if (s == nullptr || s->bytes_per_element != 4) {
        ADD_FAILURE() << name << " is no program section";
        return {};
    }
    std::vector<uint32_t> cells(s->size);
    if (s->size != 0) std::memcpy(cells.data(), s->image, s->size * 4u);
    return cells;
}

