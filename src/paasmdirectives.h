// Directives: the table, the dispatcher and the handlers.
#pragma once

#include <cstdint>

#include "paasmexpr.h"
#include "paasmsym.h"

struct DirectiveEntry {
    const char* name;  // lower case
    int32_t code;
};

// Sorted by name; the ELF build has 41 rows, the COFF build 36.
extern const DirectiveEntry* const directive_table;
extern const int directive_count;

const DirectiveEntry* dir_find(const char* word);
void dir_dispatch(const SymbolKey& label, const DirectiveEntry* entry);
// The row index of an entry, for token references; -1 for anything that
// is not a row of directive_table.
int dir_index_of(const DirectiveEntry* entry);
// Start of every pass: empties the .pushsection stack, so each pass starts
// with the same (empty) stack.
void dir_begin_pass();
// Entries on the .pushsection stack (for checks).
int dir_section_stack_depth();

// Non-data directives.
int dir_equ(bool redefinable);
int dir_check_redefinition(Symbol* symbol, const ExprValue& value);
int dir_global();
int dir_section_select();
int dir_section_push();
int dir_section_pop();
int dir_text();
int dir_data();
int dir_space(const SymbolKey& label);
int dir_skip(const SymbolKey& label);
int dir_end();
int dir_file();
int dir_size();
int dir_type();
int dir_scl();
int dir_align();
int dir_def();
int dir_dim();
int dir_endef();
int dir_fillupper();
int dir_ident();
int dir_line();
int dir_loc();
int dir_memory();
int dir_tag();
int dir_val();

// Data directives.
int dir_ascii(const SymbolKey& label, bool zero_terminated);
int dir_byte(const SymbolKey& label);
int dir_word(const SymbolKey& label);
int dir_2byte(const SymbolKey& label);
int dir_long(const SymbolKey& label);
int dir_4byte(const SymbolKey& label);
int dir_pword(const SymbolKey& label);
int dir_float(const SymbolKey& label);
int dir_double(const SymbolKey& label);
int dir_sleb128(const SymbolKey& label);
int dir_uleb128(const SymbolKey& label);

int dir_emit_string_operand(bool zero_terminated, uint16_t& pending, bool& pending_set);
int dir_emit_byte_operand();
int dir_emit_word_operand();
int dir_emit_long_operand();
int dir_emit_pword_operand();
int dir_emit_float_operand();
int dir_emit_double_operand();
