// Symbol tables: three tables by key kind, label definition with the
// phase check between the passes, numeric local labels, reference lines
// and the sorted symbol lists.
#include "paasmsym.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmpool.h"

Symbol** sorted_symbols[3] = {nullptr, nullptr, nullptr};
uint32_t sorted_symbol_counts[3] = {0, 0, 0};

namespace {

constexpr int SYM_BUCKETS = 256;

struct SymbolTable {
    Symbol* buckets[SYM_BUCKETS];
    Symbol* all_symbols;  // newest first
};

SymbolTable numeric_table;
SymbolTable special_table;
SymbolTable ordinary_table;

uint32_t local_label_counters[10];
uint32_t shared_local_label_counter;

// Elements each sorted array can hold, so that a rebuild never writes
// past the array it reuses.
uint32_t sorted_symbol_capacity[3];

// Every symbol of the run by its index (token records carry the index).
std::vector<Symbol*> symbol_index_table;

// Kinds 0 and 3 have their own tables; every other kind is an ordinary name.
SymbolTable& sym_table(uint32_t kind) {
    if (kind == SYMKIND_NUMERIC) return numeric_table;
    if (kind == SYMKIND_SPECIAL) return special_table;
    return ordinary_table;
}

// One interned string always falls in the same bucket: its address decides.
unsigned sym_bucket(const char* name) {
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(name) & (SYM_BUCKETS - 1));
}

void sym_clear_table(SymbolTable& table) {
    for (Symbol*& bucket : table.buckets) bucket = nullptr;
    table.all_symbols = nullptr;
}

Symbol* sym_find_in(const SymbolTable& table, const char* name) {
    for (Symbol* symbol = table.buckets[sym_bucket(name)]; symbol != nullptr;
         symbol = symbol->bucket_next) {
        if (symbol->name == name) return symbol;
    }
    return nullptr;
}

Symbol* sym_find_or_create_in(SymbolTable& table, const char* name) {
    if (Symbol* found = sym_find_in(table, name)) return found;
    auto* symbol = static_cast<Symbol*>(pool_zalloc(sizeof(Symbol), POOL_RUN));
    symbol->name = name;
    symbol->scope = SCOPE_LOCAL;
    symbol->value_class = CLASS_UNKNOWN;
    symbol->value_type = TYPE_NONE;
    symbol->index = static_cast<uint32_t>(symbol_index_table.size());
    symbol_index_table.push_back(symbol);
    symbol->table_next = table.all_symbols;
    table.all_symbols = symbol;
    unsigned bucket = sym_bucket(name);
    symbol->bucket_next = table.buckets[bucket];
    table.buckets[bucket] = symbol;
    return symbol;
}

// The location counter of the current section (0 before any section exists).
uint32_t sym_current_location() { return current_section != nullptr ? current_section->location : 0; }

bool sym_has_prefix(const char* name, const char* prefix) {
    return name != nullptr && std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

int sym_compare_int(int64_t a, int64_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

int sym_compare_names(const char* a, const char* b) {
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    for (;; ++x, ++y) {
        if (*x != *y) return *x < *y ? -1 : 1;
        if (*x == 0) return 0;
    }
}

}  // namespace

void sym_init() {
    sym_clear_table(numeric_table);
    sym_clear_table(special_table);
    sym_clear_table(ordinary_table);
    for (uint32_t& counter : local_label_counters) counter = 0;
    shared_local_label_counter = 0;
    for (int list = 0; list < 3; ++list) {
        sorted_symbols[list] = nullptr;
        sorted_symbol_counts[list] = 0;
        sorted_symbol_capacity[list] = 0;
    }
    symbol_index_table.clear();
}

void sym_begin_pass() {
    for (uint32_t& counter : local_label_counters) counter = 0;
    shared_local_label_counter = 0;
    if (pass_number != 2) return;
    // A name that pass 1 saw but never defined is an external from now on.
    for (Symbol* symbol = ordinary_table.all_symbols; symbol != nullptr;
         symbol = symbol->table_next) {
        if (symbol->value_class == CLASS_UNKNOWN) {
            symbol->value_class = CLASS_EXTERNAL;
            symbol->value_type = TYPE_INTEGER;
        }
    }
}

Symbol* sym_lookup(SymbolKey key) { return sym_find_in(sym_table(key.kind), key.name); }

Symbol* sym_lookup_or_create(SymbolKey key) {
    return sym_find_or_create_in(sym_table(key.kind), key.name);
}

Symbol* sym_resolve_local_label(SymbolKey key) {
    const char* name = key.name != nullptr ? key.name : "";
    char first = name[0];
    char second = first != '\0' ? name[1] : '\0';
    uint32_t& counter = (first >= '0' && first <= '9')
                            ? local_label_counters[first - '0']
                            : shared_local_label_counter;
    uint32_t instance;
    switch (second) {
    case '$':  // a definition: the next instance
        instance = ++counter;
        break;
    case 'f':
    case 'F':  // the next definition
        instance = counter + 1;
        break;
    case 'b':
    case 'B':  // the most recent definition
        instance = counter;
        break;
    default:
        return sym_find_or_create_in(numeric_table, key.name);
    }
    char text[24];
    std::snprintf(text, sizeof text, "$%c%04u", first, static_cast<unsigned>(instance));
    return sym_find_or_create_in(numeric_table, intern_string(text));
}

void sym_add_reference_line(Symbol* symbol) {
    int32_t line = main_source.line;
    SymbolRefLine** link = &symbol->ref_lines;
    for (; *link != nullptr; link = &(*link)->next) {
        if ((*link)->line == line) return;
    }
    auto* entry = static_cast<SymbolRefLine*>(pool_zalloc(sizeof(SymbolRefLine), POOL_RUN));
    entry->line = line;
    *link = entry;
}

Symbol* sym_reference(SymbolKey key) {
    Symbol* symbol = key.kind == SYMKIND_NUMERIC ? sym_resolve_local_label(key)
                                                 : sym_lookup_or_create(key);
    sym_add_reference_line(symbol);
    symbol->flags |= pass_number <= 1 ? SYM_REFERENCED_PASS1 : SYM_REFERENCED_PASS2;
    return symbol;
}

void sym_insert_in_section(Symbol* symbol, Section* section) {
    int32_t value = symbol->value.integer;
    Symbol** link = &section->labels;
    while (*link != nullptr && (*link)->value.integer <= value) link = &(*link)->section_next;
    symbol->section_next = *link;
    *link = symbol;
}

Symbol* sym_define_label(SymbolKey key) {
    Symbol* symbol = key.kind == SYMKIND_NUMERIC ? sym_resolve_local_label(key)
                                                 : sym_lookup_or_create(key);
    uint32_t location = sym_current_location();
    if (pass_number >= 2) {
        // The pass-1 definition stands; this pass only confirms it.
        if (symbol->flags & SYM_DEFINED_PASS2) {
            diag_error(6, key.name);
        } else if (symbol->value.word != location) {
            diag_error(2, static_cast<unsigned long>(symbol->value.word),
                       static_cast<unsigned long>(location));
        }
        symbol->flags |= SYM_DEFINED_PASS2;
        return symbol;
    }
    if (symbol->flags & SYM_DEFINED_PASS1) return symbol;  // the first definition stands
    symbol->flags |= SYM_DEFINED_PASS1 | SYM_LABEL;
    // Declared .global, .weak or .extern before its definition.
    if (symbol->value_class == CLASS_EXTERNAL) symbol->scope = SCOPE_GLOBAL;
    symbol->value_class = CLASS_RELOCATABLE;
    symbol->value_type = TYPE_INTEGER;
    symbol->section = current_section;
    symbol->value.raw = 0;
    symbol->value.word = location;
    symbol->def_line = main_source.line;
    if (current_section != nullptr) {
        current_section->flags |= SECT_USED;
        sym_insert_in_section(symbol, current_section);
    }
    return symbol;
}

int sym_compare_sorted(int list, const Symbol* a, const Symbol* b) {
    switch (list) {
    case LIST_BY_NAME:
        return sym_compare_names(a->name, b->name);
    case LIST_BY_VALUE:
        if (int order = sym_compare_int(a->value.integer, b->value.integer)) return order;
        return sym_compare_int(a->def_line, b->def_line);
    case LIST_BY_LINE:
        return sym_compare_int(a->def_line, b->def_line);
    default:
        diag_fatal(1, "../src/paasmsym", 786);
    }
}

void sym_sort_list(int list) {
    if (list < 0 || list > 2) diag_fatal(1, "../src/paasmsym", 786);
    Symbol** a = sorted_symbols[list];
    int64_t count = sorted_symbol_counts[list];
    for (int64_t gap = count / 2; gap > 0; gap /= 2) {
        for (int64_t i = gap; i < count; ++i) {
            for (int64_t j = i - gap; j >= 0; j -= gap) {
                if (sym_compare_sorted(list, a[j], a[j + gap]) <= 0) break;
                Symbol* swap = a[j];
                a[j] = a[j + gap];
                a[j + gap] = swap;
            }
        }
    }
}

void sym_build_sorted_list(int list, int (*filter)(const Symbol*)) {
    if (list < 0 || list > 2) diag_fatal(1, "../src/paasmsym", 786);
    uint32_t total = 0;
    for (const Symbol* symbol = ordinary_table.all_symbols; symbol != nullptr;
         symbol = symbol->table_next)
        ++total;
    // The array is made once and reused; should the table have grown since,
    // a larger one takes its place rather than being overrun.
    if (total > sorted_symbol_capacity[list]) {
        sorted_symbols[list] = pool_new_array<Symbol*>(total, POOL_RUN);
        sorted_symbol_capacity[list] = total;
    }
    uint32_t count = 0;
    for (Symbol* symbol = ordinary_table.all_symbols; symbol != nullptr;
         symbol = symbol->table_next) {
        if (filter == nullptr || filter(symbol)) sorted_symbols[list][count++] = symbol;
    }
    sorted_symbol_counts[list] = count;
    sym_sort_list(list);
}

int sym_is_branch_target(const Symbol* symbol) { return symbol->flags & SYM_BRANCH_TARGET; }

int sym_is_debug_label(const char* name) {
    static const char* const prefixes[] = {".LBB", ".LBE", ".LCFI", ".LFB", ".LFE", ".LM", ".LSM"};
    for (const char* prefix : prefixes) {
        if (sym_has_prefix(name, prefix)) return 1;
    }
    return 0;
}

int sym_is_local_name(const char* name) { return sym_has_prefix(name, ".L") ? 1 : 0; }

int sym_is_line_label(const Symbol* symbol) {
    return sym_has_prefix(symbol->name, ".LM") || sym_has_prefix(symbol->name, ".LSM") ? 1 : 0;
}

int sym_is_debug_or_nontarget_local(const Symbol* symbol) {
    if (sym_is_debug_label(symbol->name)) return 1;
    return sym_is_local_name(symbol->name) && (symbol->flags & SYM_BRANCH_TARGET) == 0 ? 1 : 0;
}

Symbol* sym_symbol_at(uint32_t index) {
    return index < symbol_index_table.size() ? symbol_index_table[index] : nullptr;
}

Symbol* sym_all_symbols(uint32_t kind) { return sym_table(kind).all_symbols; }
