// Symbol tables: labels, equates, section names, externals and the
// instances of numeric local labels.
#pragma once

#include <cstdint>

struct Section;
struct RegisterEntry;
struct ConditionEntry;

enum SymbolKind : uint32_t {
    SYMKIND_NUMERIC = 0,  // instances of numeric local labels
    SYMKIND_SPECIAL = 3,  // names ending in '?' or beginning with '$'
    SYMKIND_ORDINARY = 4, // every other name
};

struct SymbolKey {
    uint32_t kind = SYMKIND_ORDINARY;
    const char* name = nullptr;  // interned; none when there is no label
};

enum SymbolFlag : uint8_t {
    SYM_DEFINED_PASS1 = 0x01,
    SYM_DEFINED_PASS2 = 0x02,
    SYM_REFERENCED_PASS1 = 0x04,
    SYM_REFERENCED_PASS2 = 0x08,
    SYM_LABEL = 0x10,
    SYM_BRANCH_TARGET = 0x20,
    SYM_REDEFINABLE = 0x40,
};

enum SymbolScope : uint8_t {
    SCOPE_EXTERNAL = 0,
    SCOPE_SECTION = 1,
    SCOPE_GLOBAL = 2,
    SCOPE_LOCAL = 4,
};

struct SymbolRefLine {
    SymbolRefLine* next;
    int32_t line;
};

// The 8-byte value shared by symbols and expression values: a 32-bit
// integer in the low half (high half 0), a pointer, or a double.
union Value8 {
    uint8_t bytes[8];
    int32_t integer;
    uint32_t word;
    double real;
    uint64_t raw;
    const char* text;                // interned string
    const RegisterEntry* reg;        // register name
    const ConditionEntry* condition; // condition name
};
static_assert(sizeof(Value8) == 8);

struct Symbol {
    const char* name;
    Symbol* table_next;
    Symbol* section_next;
    Section* section;
    SymbolRefLine* ref_lines;
    Value8 value;
    Symbol* bucket_next;
    SymbolRefLine* ref_tail;    // last entry of ref_lines, where the next line goes
    SymbolRefLine* ref_cursor;  // where the last look-up in ref_lines stopped
    int32_t def_line;
    uint32_t index;  // run-wide index, carried by symbol tokens
    uint8_t flags;
    uint8_t scope;
    uint8_t value_class;
    uint8_t value_type;
    uint8_t ref_order;  // how a line is found in ref_lines (SymbolRefOrder)
};

// How sym_add_reference_line finds out whether a line is in a symbol's
// list: while the lines ascend (as they do within a pass), a cursor that
// moves forward with the lines of the pass finds them; once a pass adds a
// line below the highest, a run-wide set of (symbol, line) pairs does.
enum SymbolRefOrder : uint8_t {
    REF_ASCENDING = 0,
    REF_IN_SET = 1,
    REF_WALK = 2,  // a symbol of no table (the set knows only those): a walk
};

enum SortedList : int { LIST_BY_NAME = 0, LIST_BY_VALUE = 1, LIST_BY_LINE = 2 };

extern Symbol** sorted_symbols[3];
extern uint32_t sorted_symbol_counts[3];

void sym_init();
void sym_begin_pass();
Symbol* sym_lookup(SymbolKey key);
Symbol* sym_lookup_or_create(SymbolKey key);
Symbol* sym_define_label(SymbolKey key);
Symbol* sym_reference(SymbolKey key);
Symbol* sym_resolve_local_label(SymbolKey key);
// Makes the symbol an absolute integer of the given value, whatever it
// held before: class, type, the whole 8-byte value and the section change
// together, so that no reader finds half of an earlier pointer.
void sym_set_absolute_integer(Symbol* symbol, uint32_t value);
// The low 32 bits of a source switch (___PA___, ___BP___): 0 while the
// symbol holds a float, a string, a register or a condition, whose value
// is no number (its bits are a double or an address).
uint32_t sym_switch_word(const Symbol* symbol);

// Whether the symbol is one of the source's switches, ___PA___ or ___BP___,
// which every pass starts as an absolute integer 0.
bool sym_is_switch(const Symbol* symbol);
void sym_insert_in_section(Symbol* symbol, Section* section);
void sym_add_reference_line(Symbol* symbol);
void sym_build_sorted_list(int list, int (*filter)(const Symbol*));
void sym_sort_list(int list);
int sym_compare_sorted(int list, const Symbol* a, const Symbol* b);
int sym_is_branch_target(const Symbol* symbol);
int sym_is_debug_or_nontarget_local(const Symbol* symbol);
int sym_is_line_label(const Symbol* symbol);
int sym_is_debug_label(const char* name);
int sym_is_local_name(const char* name);

// The symbol with a run-wide index, for token references.
Symbol* sym_symbol_at(uint32_t index);
// Head of a table's list of every symbol (newest first).
Symbol* sym_all_symbols(uint32_t kind);
