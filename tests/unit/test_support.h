// Set-up shared by the unit tests of the assembler's components.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "paasmdriver.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmquodra.h"
#include "paasmsym.h"

namespace test_support {

// The state of a fresh run before pass 1, with prog.s as the source.
inline void start_run() {
    main_source.name = "prog.s";
    main_source.line = 0;
    pass_number = 0;
    omf_init();
    intern_init();
    sym_init();
}

// The per-pass hooks of the sections and the symbols.
inline void begin_pass(int pass) {
    pass_number = pass;
    main_source.line = 0;
    omf_begin_pass(pass);
    sym_begin_pass();
}

inline Section* section_named(const char* name) {
    Symbol* symbol = omf_find_section(name, 0);
    return symbol != nullptr ? symbol->section : nullptr;
}

// Puts operand text on the current line for the pass-1 scanner; the next
// token read comes from it.
inline void put_operand_line(const char* operand) {
    std::string line = std::string(operand) + "\n";
    ASSERT_LT(line.size(), sizeof line_buffer);
    std::memcpy(line_buffer, line.c_str(), line.size() + 1);
    scan_pointer = line_buffer;
    field_state = FIELD_OPERAND;
    scan_flags = 0;
    pass_number = 1;
}

// A fresh run in pass 1 on line 12 of prog.s with an open token file, for
// tests that feed operand text to the scanner; false when no token file
// could be made.
inline bool start_scanner_run() {
    intern_init();
    sym_init();
    omf_init();
    main_source.name = "prog.s";
    main_source.line = 12;
    pass_number = 1;
    report_flags = 0;
    lex_reset();
    token_file = std::tmpfile();
    return token_file != nullptr;
}

inline void end_scanner_run() {
    if (token_file != nullptr) std::fclose(token_file);
    token_file = nullptr;
}

// Removes a test's own target tables and hooks again.
inline void clear_target() {
    target_mnemonics = nullptr;
    target_mnemonic_count = 0;
    target_registers = nullptr;
    target_register_count = 0;
    target_conditions = nullptr;
    target_condition_count = 0;
    target_encode_hook = nullptr;
    target_suffix_hook = nullptr;
    target_available_hook = nullptr;
}

}  // namespace test_support
