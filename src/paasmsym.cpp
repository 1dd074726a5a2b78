// Symbol tables: three tables by key kind, label definition with the
// phase check between the passes, numeric local labels, reference lines
// and the sorted symbol lists.
#include "paasmsym.h"

#include <cstdint>
#include <cstdio>
#include <algorithm>
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

// Chain heads a table starts with; a table doubles them whenever it holds
// more symbols than heads, so that a chain stays short at any size.
constexpr size_t SYM_BUCKETS = 256;

struct SymbolTable {
    std::vector<Symbol*> buckets;  // a power of two of chain heads
    size_t count;
    Symbol* all_symbols;  // newest first
    // The same symbols oldest first: the walks over the whole table read
    // it from its end, which gives the order of all_symbols without
    // chasing one pointer after the other.
    std::vector<Symbol*> in_order;
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


// The (symbol index, line) pairs of the reference lists whose lines no
// longer ascend: an open-address set, so that a line is found in such a
// list without walking it.
std::vector<uint64_t> ref_line_set;
size_t ref_line_set_count = 0;
constexpr uint64_t REF_SET_EMPTY = ~uint64_t{0};

// Kinds 0 and 3 have their own tables; every other kind is an ordinary name.
SymbolTable& sym_table(uint32_t kind) {
    if (kind == SYMKIND_NUMERIC) return numeric_table;
    if (kind == SYMKIND_SPECIAL) return special_table;
    return ordinary_table;
}

uint64_t sym_mix(uint64_t key) {
    key *= 0x9E3779B97F4A7C15ull;
    return key ^ (key >> 31);
}

// One interned string always falls in the same bucket: its run-wide index
// decides, which the interner keeps in front of the text. The indices
// are dense and given in interning order, so names interned one after the
// other (as a source defines and uses them) take neighbouring buckets, and
// a new name finds its bucket empty rather than holding older symbols
// (whose reading would cost a miss each) until the indices wrap round.
size_t sym_bucket(const SymbolTable& table, const char* name) {
    return name != nullptr ? intern_index_of_text(name) & (table.buckets.size() - 1) : 0;
}

void sym_clear_table(SymbolTable& table) {
    table.buckets.assign(SYM_BUCKETS, nullptr);
    table.count = 0;
    table.all_symbols = nullptr;
    table.in_order.clear();
}

// Doubles the chain heads and relinks every symbol of the table.
void sym_grow_table(SymbolTable& table) {
    table.buckets.assign(table.buckets.size() * 2, nullptr);
    for (Symbol* symbol = table.all_symbols; symbol != nullptr; symbol = symbol->table_next) {
        Symbol*& bucket = table.buckets[sym_bucket(table, symbol->name)];
        symbol->bucket_next = bucket;
        bucket = symbol;
    }
}

Symbol* sym_find_in(const SymbolTable& table, const char* name) {
    if (table.buckets.empty()) return nullptr;
    for (Symbol* symbol = table.buckets[sym_bucket(table, name)]; symbol != nullptr;
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
    if (table.buckets.empty()) table.buckets.assign(SYM_BUCKETS, nullptr);
    if (++table.count > table.buckets.size()) sym_grow_table(table);
    symbol->table_next = table.all_symbols;
    table.all_symbols = symbol;
    table.in_order.push_back(symbol);
    Symbol*& bucket = table.buckets[sym_bucket(table, name)];
    symbol->bucket_next = bucket;
    bucket = symbol;
    return symbol;
}

// Whether the pair (index, line) was in the set; it is in it afterwards.
bool sym_ref_set_insert(uint32_t index, int32_t line) {
    uint64_t key = (uint64_t{index} << 32) | static_cast<uint32_t>(line);
    if ((ref_line_set_count + 1) * 2 > ref_line_set.size()) {
        std::vector<uint64_t> old(std::max<size_t>(1024, ref_line_set.size() * 2), REF_SET_EMPTY);
        old.swap(ref_line_set);
        size_t mask = ref_line_set.size() - 1;
        for (uint64_t entry : old) {
            if (entry == REF_SET_EMPTY) continue;
            size_t slot = sym_mix(entry) & mask;
            while (ref_line_set[slot] != REF_SET_EMPTY) slot = (slot + 1) & mask;
            ref_line_set[slot] = entry;
        }
    }
    size_t mask = ref_line_set.size() - 1;
    for (size_t slot = sym_mix(key) & mask;; slot = (slot + 1) & mask) {
        if (ref_line_set[slot] == key) return true;
        if (ref_line_set[slot] == REF_SET_EMPTY) {
            ref_line_set[slot] = key;
            ++ref_line_set_count;
            return false;
        }
    }
}

void sym_remember_label_tail(Section* section, Symbol* tail) {
    section->labels_tail = tail;
    section->labels_tail_head = section->labels;
}

// The last label of a section's list, found again by a walk when the list
// is not the one the remembered tail belongs to (a list changed behind our
// back).
Symbol* sym_label_tail(Section* section) {
    if (section->labels == nullptr) return nullptr;
    if (section->labels_tail != nullptr && section->labels_tail_head == section->labels &&
        section->labels_tail->section_next == nullptr)
        return section->labels_tail;
    Symbol* tail = section->labels;
    while (tail->section_next != nullptr) tail = tail->section_next;
    sym_remember_label_tail(section, tail);
    return tail;
}

// The location counter of the current section (0 before any section exists).
uint32_t sym_current_location() { return current_section != nullptr ? current_section->location : 0; }

// Byte by byte: the filters over every symbol ask it several times a
// symbol, and most names differ from the prefix in their first bytes.
bool sym_has_prefix(const char* name, const char* prefix) {
    if (name == nullptr) return false;
    for (; *prefix != '\0'; ++name, ++prefix)
        if (*name != *prefix) return false;
    return true;
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
    ref_line_set.clear();
    ref_line_set_count = 0;
}

void sym_begin_pass() {
    for (uint32_t& counter : local_label_counters) counter = 0;
    shared_local_label_counter = 0;
    if (pass_number != 2) return;
    // A name that pass 1 saw but never defined is an external from now on.
    for (auto at = ordinary_table.in_order.rbegin(); at != ordinary_table.in_order.rend(); ++at) {
        Symbol* symbol = *at;
        if (symbol->value_class == CLASS_UNKNOWN) {
            symbol->value_class = CLASS_EXTERNAL;
            symbol->value_type = TYPE_INTEGER;
        }
    }
}

void sym_set_absolute_integer(Symbol* symbol, uint32_t value) {
    symbol->value_class = CLASS_ABSOLUTE;
    symbol->value_type = TYPE_INTEGER;
    symbol->value.raw = value;
    symbol->section = nullptr;
}

uint32_t sym_switch_word(const Symbol* symbol) {
    if (symbol == nullptr) return 0;
    switch (symbol->value_type) {
        case TYPE_FLOAT:
        case TYPE_STRING:
        case TYPE_REGISTER:
        case TYPE_CONDITION:
            return 0;
        default:
            return symbol->value.word;
    }
}

bool sym_is_switch(const Symbol* symbol) {
    // Both names begin with "___": most names are told apart by their
    // first byte.
    return symbol != nullptr && symbol->name != nullptr && symbol->name[0] == '_' &&
           (std::strcmp(symbol->name, "___PA___") == 0 || std::strcmp(symbol->name, "___BP___") == 0);
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

namespace {

// Puts every line of the symbol's list into the set (once, when its lines
// stop ascending), or marks it for walks when the set cannot know it.
void sym_ref_lines_to_set(Symbol* symbol) {
    if (sym_symbol_at(symbol->index) != symbol) {
        symbol->ref_order = REF_WALK;
        return;
    }
    for (const SymbolRefLine* entry = symbol->ref_lines; entry != nullptr; entry = entry->next)
        sym_ref_set_insert(symbol->index, entry->line);
    symbol->ref_order = REF_IN_SET;
}

// Whether `line` is in the symbol's non-empty list, whose last entry is
// `tail` and does not hold the line.
bool sym_ref_line_present(Symbol* symbol, const SymbolRefLine* tail, int32_t line) {
    switch (symbol->ref_order) {
    case REF_ASCENDING: {
        if (line > tail->line) return false;
        SymbolRefLine* cursor = symbol->ref_cursor;
        if (cursor == nullptr || cursor->line > line) cursor = symbol->ref_lines;
        while (cursor->line < line) cursor = cursor->next;  // the tail's line is greater
        symbol->ref_cursor = cursor;
        if (cursor->line == line) return true;
        sym_ref_lines_to_set(symbol);  // the new line will break the ascent
        return false;
    }
    case REF_IN_SET:
        return sym_ref_set_insert(symbol->index, line);
    default:
        for (const SymbolRefLine* entry = symbol->ref_lines; entry != nullptr; entry = entry->next) {
            if (entry->line == line) return true;
        }
        return false;
    }
}

}  // namespace

void sym_add_reference_line(Symbol* symbol) {
    int32_t line = main_source.line;
    SymbolRefLine* tail = symbol->ref_tail;
    if (symbol->ref_lines == nullptr) {
        tail = nullptr;
        symbol->ref_order = REF_ASCENDING;
        symbol->ref_cursor = nullptr;
    } else if (tail == nullptr || tail->next != nullptr) {
        // A list put together elsewhere: find its end once, and walk it.
        tail = symbol->ref_lines;
        while (tail->next != nullptr) tail = tail->next;
        symbol->ref_order = REF_WALK;
        symbol->ref_cursor = nullptr;
    }
    if (tail != nullptr) {
        if (tail->line == line) return;  // the same line again
        if (sym_ref_line_present(symbol, tail, line)) {
            symbol->ref_tail = tail;
            return;
        }
    }
    auto* entry = static_cast<SymbolRefLine*>(pool_zalloc(sizeof(SymbolRefLine), POOL_RUN));
    entry->line = line;
    if (tail != nullptr)
        tail->next = entry;
    else
        symbol->ref_lines = entry;
    symbol->ref_tail = entry;
    if (symbol->ref_order == REF_IN_SET) sym_ref_set_insert(symbol->index, line);
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
    Symbol* tail = sym_label_tail(section);
    if (tail == nullptr || tail->value.integer <= value) {
        // At or above the highest label: the new end of the list.
        symbol->section_next = nullptr;
        if (tail != nullptr)
            tail->section_next = symbol;
        else
            section->labels = symbol;
        sym_remember_label_tail(section, symbol);
        return;
    }
    Symbol** link = &section->labels;
    while (*link != nullptr && (*link)->value.integer <= value) link = &(*link)->section_next;
    symbol->section_next = *link;
    *link = symbol;
    sym_remember_label_tail(section, tail);
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

namespace {

// The first sixteen bytes of a name as two numbers whose order is the
// order of the bytes (zeros after the end of a shorter name). Sixteen, not
// eight: the names of a section per function share eight bytes or more
// (".text._f"), and with eight their sort reads every name it compares.
struct SymNameKey {
    uint64_t high;
    uint64_t low;
};

SymNameKey sym_name_key(const char* name) {
    SymNameKey key{0, 0};
    int i = 0;
    for (; i < 16 && name[i] != '\0'; ++i) {
        uint64_t& half = i < 8 ? key.high : key.low;
        half |= static_cast<uint64_t>(static_cast<unsigned char>(name[i])) << (8 * (7 - i % 8));
    }
    return key;
}

// Sorts symbols into the order of sym_compare_names. The names' first
// bytes travel with the symbols as numbers, so that most comparisons of a
// large table touch neither a symbol nor its name.
void sym_sort_by_name(std::vector<Symbol*>& symbols) {
    struct Keyed {
        SymNameKey key;
        Symbol* symbol;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(symbols.size());
    for (Symbol* symbol : symbols) keyed.push_back({sym_name_key(symbol->name), symbol});
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& x, const Keyed& y) {
        if (x.key.high != y.key.high) return x.key.high < y.key.high;
        if (x.key.low != y.key.low) return x.key.low < y.key.low;
        // Equal keys: both names have the same first sixteen bytes, or are
        // the same shorter name (its zeros end it within the key).
        if ((x.key.low & 0xFF) == 0) return false;
        return sym_compare_names(x.symbol->name + 16, y.symbol->name + 16) < 0;
    });
    for (size_t i = 0; i < keyed.size(); ++i) symbols[i] = keyed[i].symbol;
}

}  // namespace

// The Shell sort with the gaps count/2, count/4, ... 1 is, for each gap,
// an insertion sort of every chain of elements that gap apart; an
// insertion sort that moves an element only past greater ones leaves
// equal elements in the order it found them, which is what a stable sort
// gives. So each chain is sorted stably on its own: equal elements end
// in exactly the order of the gap-by-gap procedure, at O(n log n) per gap
// (O(n log n) in all when no two elements are equal).
void sym_sort_list(int list) {
    if (list < 0 || list > 2) diag_fatal(1, "../src/paasmsym", 786);
    Symbol** a = sorted_symbols[list];
    size_t count = sorted_symbol_counts[list];
    auto before = [list](const Symbol* x, const Symbol* y) {
        return sym_compare_sorted(list, x, y) < 0;
    };
    if (count < 2) return;
    // Without equal elements the result is the one sorted order, whatever
    // the procedure (the name list never has any: names are unique).
    std::vector<Symbol*> chain(a, a + count);
    if (list == LIST_BY_NAME)
        sym_sort_by_name(chain);
    else
        std::sort(chain.begin(), chain.end(), before);
    bool ties = false;
    for (size_t i = 1; i < count && !ties; ++i) ties = !before(chain[i - 1], chain[i]);
    if (!ties) {
        std::copy(chain.begin(), chain.end(), a);
        return;
    }
    for (size_t gap = count / 2; gap > 0; gap /= 2) {
        for (size_t start = 0; start < gap; ++start) {
            chain.clear();
            for (size_t i = start; i < count; i += gap) chain.push_back(a[i]);
            if (std::is_sorted(chain.begin(), chain.end(), before)) continue;
            std::stable_sort(chain.begin(), chain.end(), before);
            size_t k = 0;
            for (size_t i = start; i < count; i += gap) a[i] = chain[k++];
        }
    }
}

void sym_build_sorted_list(int list, int (*filter)(const Symbol*)) {
    if (list < 0 || list > 2) diag_fatal(1, "../src/paasmsym", 786);
    auto total = static_cast<uint32_t>(ordinary_table.in_order.size());
    // The array is made once and reused; should the table have grown since,
    // a larger one takes its place rather than being overrun.
    if (total > sorted_symbol_capacity[list]) {
        sorted_symbols[list] = pool_new_array<Symbol*>(total, POOL_RUN);
        sorted_symbol_capacity[list] = total;
    }
    uint32_t count = 0;
    // Newest first. A filter reads each symbol and its name, which lie
    // wherever the run put them: both are fetched some symbols ahead, so
    // that a table of a million symbols is not read one miss at a time.
    constexpr uint32_t ahead = 8;
    Symbol* const* order = ordinary_table.in_order.data();
    for (uint32_t left = total; left-- > 0;) {
        if (filter != nullptr && left >= 2 * ahead) {
            __builtin_prefetch(order[left - 2 * ahead]);
            __builtin_prefetch(order[left - ahead]->name);
        }
        Symbol* symbol = order[left];
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
