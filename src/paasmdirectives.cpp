// Directives: the directive table, the lookup, the dispatcher and every
// directive that emits no data (the data directives live in
// paasmdirectives_data.cpp).
#include "paasmdirectives.h"

#include <array>
#include <cstdlib>
#include <functional>
#include <unordered_map>

#include "build_traits.h"
#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmis.h"
#include "paasmlex.h"
#include "paasmlist.h"
#include "paasmmatch.h"
#include "paasmomf.h"
#include "paasmpa.h"

namespace {

// For each symbol that an equate defined first in pass 1, the line of that
// equate. Pass 1 counts an equate as a definition once its expression is
// read, also when the value is not known yet; pass 2 can fail the same
// expression (a division by a name that is now an external of value 0) or
// find it external. It still counts the statement as pass 1 did, or a later
// equate or label of the name would be judged apart in the two passes and
// everything after it would move.
std::unordered_map<const Symbol*, int32_t> first_equate_line;

// What a directive code runs. Several names may share one kind.
enum class DirKind : uint8_t {
    unassigned,
    byte2,
    byte4,
    align,
    ascii,
    asciz,
    byte,
    data,
    def,
    dim,
    double_float,
    end,
    endef,
    equ,
    global,  // .global, .weak and .extern
    file,
    fillupper,
    single_float,
    ident,
    line,  // .line and .ln
    loc,
    long_word,
    memory,
    popsection,
    pushsection,
    pword,
    scl,
    section,
    set,
    size,
    skip,
    sleb128,
    space,
    tag,
    text,
    type,
    uleb128,
    val,
    word,
};

// One name with its code in each build (0: the name does not exist in
// that build) and whether the directive defines a label standing before it.
struct DirectiveRow {
    const char* name;
    int32_t elf_code;
    int32_t coff_code;
    DirKind kind;
    bool takes_label;
};

constexpr DirectiveRow directive_rows[] = {
    {".2byte", 1, 0, DirKind::byte2, true},
    {".4byte", 2, 0, DirKind::byte4, true},
    {".align", 3, 1, DirKind::align, false},
    {".ascii", 4, 2, DirKind::ascii, true},
    {".asciz", 7, 5, DirKind::asciz, true},
    {".byte", 8, 6, DirKind::byte, true},
    {".data", 9, 7, DirKind::data, false},
    {".def", 10, 8, DirKind::def, false},
    {".dim", 11, 9, DirKind::dim, false},
    {".double", 12, 10, DirKind::double_float, true},
    {".end", 13, 11, DirKind::end, false},
    {".endef", 14, 12, DirKind::endef, false},
    {".equ", 15, 13, DirKind::equ, false},
    {".extern", 16, 14, DirKind::global, false},
    {".file", 17, 15, DirKind::file, false},
    {".fillupper", 18, 16, DirKind::fillupper, false},
    {".float", 19, 17, DirKind::single_float, true},
    {".global", 20, 18, DirKind::global, false},
    {".ident", 21, 19, DirKind::ident, false},
    {".line", 22, 20, DirKind::line, false},
    {".ln", 22, 20, DirKind::line, false},
    {".loc", 23, 0, DirKind::loc, false},
    {".long", 24, 21, DirKind::long_word, true},
    {".memory", 25, 22, DirKind::memory, false},
    {".popsection", 26, 23, DirKind::popsection, false},
    {".pushsection", 27, 24, DirKind::pushsection, false},
    {".pword", 28, 25, DirKind::pword, true},
    {".scl", 29, 26, DirKind::scl, false},
    {".section", 30, 27, DirKind::section, false},
    {".set", 31, 28, DirKind::set, false},
    {".size", 32, 29, DirKind::size, false},
    {".skip", 33, 30, DirKind::skip, true},
    {".sleb128", 34, 0, DirKind::sleb128, true},
    {".space", 35, 31, DirKind::space, true},
    {".tag", 36, 32, DirKind::tag, false},
    {".text", 37, 33, DirKind::text, false},
    {".type", 38, 34, DirKind::type, false},
    {".uleb128", 39, 0, DirKind::uleb128, true},
    {".val", 40, 35, DirKind::val, false},
    {".weak", 20, 18, DirKind::global, false},
    {".word", 41, 36, DirKind::word, true},
};

constexpr int32_t dir_row_code(const DirectiveRow& row, bool elf) {
    return elf ? row.elf_code : row.coff_code;
}

constexpr int dir_row_count(bool elf) {
    int count = 0;
    for (const DirectiveRow& row : directive_rows)
        if (dir_row_code(row, elf) != 0) ++count;
    return count;
}

constexpr int32_t dir_highest_code(bool elf) {
    int32_t highest = 0;
    for (const DirectiveRow& row : directive_rows)
        if (dir_row_code(row, elf) > highest) highest = dir_row_code(row, elf);
    return highest;
}

template <bool Elf>
constexpr std::array<DirectiveEntry, dir_row_count(Elf)> dir_build_table() {
    std::array<DirectiveEntry, dir_row_count(Elf)> table{};
    size_t next = 0;
    for (const DirectiveRow& row : directive_rows)
        if (dir_row_code(row, Elf) != 0) table[next++] = DirectiveEntry{row.name, dir_row_code(row, Elf)};
    return table;
}

// The row of each code of one build; codes that no name carries stay
// unassigned.
template <bool Elf>
constexpr std::array<const DirectiveRow*, dir_highest_code(Elf) + 1> dir_build_code_rows() {
    std::array<const DirectiveRow*, dir_highest_code(Elf) + 1> rows{};
    for (const DirectiveRow& row : directive_rows)
        if (dir_row_code(row, Elf) != 0) rows[static_cast<size_t>(dir_row_code(row, Elf))] = &row;
    return rows;
}

// The one place where the build chooses its directive set.
constexpr auto build_table = dir_build_table<BuildTraits::is_elf>();
constexpr auto build_code_rows = dir_build_code_rows<BuildTraits::is_elf>();

constexpr int dir_compare_bytes(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char ca = static_cast<unsigned char>(*a);
        unsigned char cb = static_cast<unsigned char>(*b);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

constexpr bool dir_table_is_sorted() {
    for (size_t i = 1; i < build_table.size(); ++i)
        if (dir_compare_bytes(build_table[i - 1].name, build_table[i].name) >= 0) return false;
    return true;
}

static_assert(build_table.size() == (BuildTraits::is_elf ? 41u : 36u));
static_assert(build_code_rows.size() == (BuildTraits::is_elf ? 42u : 37u));
static_assert(dir_table_is_sorted(), "the binary search needs the names in byte order");

// The word's letters A to Z compare as lower case; nothing else is folded.
int dir_compare_folded(const char* word, const char* name) {
    for (;; ++word, ++name) {
        unsigned char cw = static_cast<unsigned char>(*word);
        if (cw >= 'A' && cw <= 'Z') cw = static_cast<unsigned char>(cw - 'A' + 'a');
        unsigned char cn = static_cast<unsigned char>(*name);
        if (cw != cn) return cw < cn ? -1 : 1;
        if (cw == 0) return 0;
    }
}

const DirectiveRow* dir_row_of(const DirectiveEntry* entry) {
    if (entry == nullptr || entry->code < 1 || static_cast<size_t>(entry->code) >= build_code_rows.size())
        return nullptr;
    return build_code_rows[static_cast<size_t>(entry->code)];
}

// The .pushsection stack: entries from the heap, released when popped or
// when a pass empties the stack.
struct SectionStackEntry {
    Section* saved;
    SectionStackEntry* next;
};

SectionStackEntry* section_stack = nullptr;

bool dir_pass1() { return pass_number <= 1; }

bool dir_at_statement_end() {
    return current_token.code == TOK_END_OF_STATEMENT || current_token.code == TOK_END_OF_SOURCE;
}

void dir_skip_to_statement_end() {
    while (!dir_at_statement_end()) lex_next_token();
}

uint8_t dir_flag_set(uint8_t flags, uint8_t flag) { return static_cast<uint8_t>(flags | flag); }

uint8_t dir_flag_clear(uint8_t flags, uint8_t flag) {
    return static_cast<uint8_t>(flags & static_cast<uint8_t>(~flag));
}

// A name operand read in raw-name mode: a plain name or a local name.
bool dir_token_is_raw_name() {
    return current_token.code == TOK_NAME || current_token.code == TOK_LOCAL_NAME;
}

// One operand that must be an absolute integer; the value is not kept.
int dir_ignored_integer() {
    int32_t value = 0;
    return match_eval_absolute_integer(value);
}

}  // namespace

const DirectiveEntry* const directive_table = build_table.data();
const int directive_count = static_cast<int>(build_table.size());

const DirectiveEntry* dir_find(const char* word) {
    if (word == nullptr) return nullptr;
    int low = 0;
    int high = directive_count - 1;
    while (low <= high) {
        int probe = low + (high - low) / 2;
        int difference = dir_compare_folded(word, directive_table[probe].name);
        if (difference == 0) return &directive_table[probe];
        if (difference > 0)
            low = probe + 1;
        else
            high = probe - 1;
    }
    return nullptr;
}

int dir_index_of(const DirectiveEntry* entry) {
    std::less<const DirectiveEntry*> before;
    if (entry == nullptr || before(entry, directive_table) ||
        !before(entry, directive_table + directive_count))
        return -1;
    return static_cast<int>(entry - directive_table);
}

void dir_begin_pass() {
    if (pass_number <= 1) first_equate_line.clear();
    while (section_stack != nullptr) {
        SectionStackEntry* entry = section_stack;
        section_stack = entry->next;
        std::free(entry);
    }
}

int dir_section_stack_depth() {
    int depth = 0;
    for (const SectionStackEntry* entry = section_stack; entry != nullptr; entry = entry->next) ++depth;
    return depth;
}

void dir_dispatch(const SymbolKey& label, const DirectiveEntry* entry) {
    const DirectiveRow* row = dir_row_of(entry);
    if (row == nullptr) diag_fatal(1, "../src/paasmdirectives", 306);

    // What puts something at the location counter is a fence for the
    // scheduler and for the abstraction in the section it goes into.
    if (row->takes_label || row->kind == DirKind::align) {
        sched_record_data();
        pa_record_data();
    }

    int result = 0;
    switch (row->kind) {
        case DirKind::byte2: result = dir_2byte(label); break;
        case DirKind::byte4: result = dir_4byte(label); break;
        case DirKind::align: result = dir_align(); break;
        case DirKind::ascii: result = dir_ascii(label, false); break;
        case DirKind::asciz: result = dir_ascii(label, true); break;
        case DirKind::byte: result = dir_byte(label); break;
        case DirKind::data: result = dir_data(); break;
        case DirKind::def: result = dir_def(); break;
        case DirKind::dim: result = dir_dim(); break;
        case DirKind::double_float: result = dir_double(label); break;
        case DirKind::end: result = dir_end(); break;
        case DirKind::endef: result = dir_endef(); break;
        case DirKind::equ: result = dir_equ(false); break;
        case DirKind::global: result = dir_global(); break;
        case DirKind::file: result = dir_file(); break;
        case DirKind::fillupper: result = dir_fillupper(); break;
        case DirKind::single_float: result = dir_float(label); break;
        case DirKind::ident: result = dir_ident(); break;
        case DirKind::line: result = dir_line(); break;
        case DirKind::loc: result = dir_loc(); break;
        case DirKind::long_word: result = dir_long(label); break;
        case DirKind::memory: result = dir_memory(); break;
        case DirKind::popsection: result = dir_section_pop(); break;
        case DirKind::pushsection: result = dir_section_push(); break;
        case DirKind::pword: result = dir_pword(label); break;
        case DirKind::scl: result = dir_scl(); break;
        case DirKind::section: result = dir_section_select(); break;
        case DirKind::set: result = dir_equ(true); break;
        case DirKind::size:
            if constexpr (BuildTraits::is_elf)
                result = dir_size();
            else
                result = dir_scl();
            break;
        case DirKind::skip: result = dir_skip(label); break;
        case DirKind::sleb128: result = dir_sleb128(label); break;
        case DirKind::space: result = dir_space(label); break;
        case DirKind::tag: result = dir_tag(); break;
        case DirKind::text: result = dir_text(); break;
        case DirKind::type:
            if constexpr (BuildTraits::is_elf)
                result = dir_type();
            else
                result = dir_scl();
            break;
        case DirKind::uleb128: result = dir_uleb128(label); break;
        case DirKind::val: result = dir_val(); break;
        case DirKind::word: result = dir_word(label); break;
        case DirKind::unassigned: diag_fatal(1, "../src/paasmdirectives", 306);
    }

    // Only the data directives, .skip and .space define a label that stands
    // before them; for every other directive it is dropped.
    if (label.name != nullptr && !row->takes_label) diag_warning(3);

    if (result != 0)
        diag_error(result);
    else if (!dir_at_statement_end())
        diag_warning(2);
}

// ---- .equ and .set --------------------------------------------------------

int dir_check_redefinition(Symbol* symbol, const ExprValue& value) {
    bool same = value.value_class == static_cast<int8_t>(symbol->value_class) &&
                value.value_type == static_cast<int8_t>(symbol->value_type) &&
                value.value_class == CLASS_ABSOLUTE && value.value_type == TYPE_INTEGER &&
                value.value.word == symbol->value.word;
    if (same) return 0;
    diag_error(6, symbol->name);
    return -1;
}

namespace {

// Pass 2: the statement failed before marking its symbol; marks it when
// pass 1 counted this very statement as the symbol's definition.
void dir_mark_as_pass1_did(Symbol* symbol) {
    if (dir_pass1() || (symbol->flags & SYM_DEFINED_PASS2) != 0) return;
    auto found = first_equate_line.find(symbol);
    if (found != first_equate_line.end() && found->second == main_source.line)
        symbol->flags = dir_flag_set(symbol->flags, SYM_DEFINED_PASS2);
}

bool dir_referenced_before_this_line(const Symbol* symbol) {
    return (symbol->flags & SYM_REFERENCED_PASS1) != 0 && symbol->ref_lines != nullptr &&
           symbol->ref_lines->line < main_source.line;
}

// The equate after its symbol has been read.
int dir_equ_symbol(Symbol* symbol, bool redefinable) {
    lex_next_token();
    int status = match_expect_comma();
    if (status != 0) return status;
    ExprValue value;
    if (expr_evaluate(value) != 0) {
        dir_mark_as_pass1_did(symbol);
        return -1;
    }
    if (value.value_class == CLASS_EXTERNAL || value.value_class == CLASS_DIFFERENCE ||
        value.value_class == CLASS_NEGATED) {
        // A name that no statement declares or defines is external only
        // from pass 2 on: pass 1 found it unknown and counted the equate's
        // symbol as defined here all the same.
        dir_mark_as_pass1_did(symbol);
        return 12;
    }

    // A redefinition is checked unless both this statement and the
    // symbol's earlier definition are .set.
    bool check_again = !redefinable || (symbol->flags & SYM_REDEFINABLE) == 0;
    bool register_value = value.value_class == CLASS_ABSOLUTE && value.value_type == TYPE_REGISTER;
    int error = 0;
    if (dir_pass1()) {
        if ((symbol->flags & SYM_DEFINED_PASS1) != 0 && check_again)
            error = dir_check_redefinition(symbol, value);
        // The scanner has recorded the equate's own name as a reference of
        // this line; only a use on an earlier line makes the register
        // equate a forward reference. Counting its own name would refuse
        // every register equate in pass 1, and the instructions using it
        // would then read fewer operands in pass 1 than in pass 2.
        if (register_value && dir_referenced_before_this_line(symbol)) error = 11;
        if (value.value_class == CLASS_UNKNOWN && value.symbol != nullptr) {
            diag_error(8, value.symbol->name);
            error = -1;
        }
        if (symbol->scope == SCOPE_EXTERNAL) symbol->scope = SCOPE_GLOBAL;
        if ((symbol->flags & SYM_DEFINED_PASS1) == 0) first_equate_line.emplace(symbol, main_source.line);
        symbol->flags = dir_flag_set(symbol->flags, SYM_DEFINED_PASS1);
    } else {
        // A section's name counts as defined from pass 1 on, also before
        // pass 2 selects the section again: pass 1 refused the equate, and
        // so must pass 2, or the section would lose its name in pass 2 only.
        bool defined = (symbol->flags & SYM_DEFINED_PASS2) != 0 || symbol->value_type == TYPE_SECTION;
        if (defined && check_again) error = dir_check_redefinition(symbol, value);
        // Pass 2 replays symbol tokens without referencing them again, so
        // a use on an earlier line is judged by the lines pass 1 recorded.
        if (register_value &&
            ((symbol->flags & SYM_REFERENCED_PASS2) != 0 || dir_referenced_before_this_line(symbol)))
            error = 11;
        if ((value.value_class == CLASS_UNKNOWN || value.value_class == CLASS_ILLEGAL) &&
            value.symbol != nullptr && (value.symbol->flags & SYM_DEFINED_PASS2) == 0) {
            diag_error(8, value.symbol->name);
            error = -1;
        }
        symbol->flags = dir_flag_set(symbol->flags, SYM_DEFINED_PASS2);
    }

    if (error == 0) {
        symbol->flags = redefinable ? dir_flag_set(symbol->flags, SYM_REDEFINABLE)
                                    : dir_flag_clear(symbol->flags, SYM_REDEFINABLE);
        symbol->value_class = static_cast<uint8_t>(value.value_class);
        symbol->value_type = static_cast<uint8_t>(value.value_type);
        symbol->value = value.value;
        symbol->section = value.section;
    }
    return error;
}

}  // namespace

// The listing line of an equate shows the symbol's value, whatever the
// outcome, once the symbol has been read.
int dir_equ(bool redefinable) {
    lex_next_token();
    if (current_token.code != TOK_SYMBOL) return 14;
    Symbol* symbol = lex_token_symbol();
    int result = dir_equ_symbol(symbol, redefinable);
    if (lst_wanted()) lst_set_value_text(symbol);
    return result;
}

// ---- .global, .weak, .extern ------------------------------------------------

int dir_global() {
    scan_flags |= SCAN_RAW_NAMES;
    lex_next_token();
    int result = 0;
    for (;;) {
        if (current_token.code == TOK_LOCAL_NAME) {
            diag_error(10, lex_token_text());
            result = -1;
            break;
        }
        if (current_token.code != TOK_NAME) {
            result = 14;
            break;
        }
        Symbol* symbol = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, lex_token_text()});
        if (dir_pass1()) {
            if ((symbol->flags & SYM_DEFINED_PASS1) == 0) {
                symbol->value_class = CLASS_EXTERNAL;
                symbol->value_type = TYPE_INTEGER;
                symbol->scope = SCOPE_EXTERNAL;
                symbol->value.raw = 0;
            }
            switch (symbol->value_class) {
                case CLASS_UNKNOWN:
                    symbol->value.raw = 0;
                    symbol->scope = SCOPE_GLOBAL;
                    break;
                case CLASS_RELOCATABLE: symbol->scope = SCOPE_GLOBAL; break;
                case CLASS_ABSOLUTE:
                    if ((symbol->flags & SYM_REDEFINABLE) == 0) symbol->scope = SCOPE_GLOBAL;
                    break;
                default: break;
            }
        } else {
            if (symbol->value_class == CLASS_ABSOLUTE &&
                (symbol->value_type == TYPE_STRING || symbol->value_type == TYPE_REGISTER)) {
                diag_error(9, symbol->name);
                result = -1;
            }
            if (symbol->scope != SCOPE_EXTERNAL && symbol->scope != SCOPE_SECTION &&
                symbol->scope != SCOPE_GLOBAL) {
                diag_error(9, symbol->name);
                result = -1;
            }
        }
        lex_next_token();
        if (current_token.code != TOK_COMMA) break;
        lex_next_token();
    }
    scan_flags &= ~static_cast<uint32_t>(SCAN_RAW_NAMES);
    return result;
}

// ---- Sections ---------------------------------------------------------------

int dir_section_select() {
    Symbol* symbol = nullptr;
    int status = match_parse_section_operand(symbol);
    if (symbol != nullptr && symbol->section != nullptr) {
        // Also when the operand reported an error but still named a section:
        // pass 1 selected it, and both passes must emit into the same place.
        current_section = symbol->section;
        return status;
    }
    if (status != 0) return status;
    // A name that pass 1 defined as something other than a section or label
    // (an absolute equate) names no section: the current section stays.
    return 14;
}

int dir_section_push() {
    SectionStackEntry* entry = static_cast<SectionStackEntry*>(std::malloc(sizeof(SectionStackEntry)));
    if (entry == nullptr) diag_fatal(2, "allocate");
    entry->saved = current_section;
    entry->next = section_stack;
    section_stack = entry;
    return dir_section_select();
}

int dir_section_pop() {
    // An empty stack leaves the current section as it is.
    if (section_stack != nullptr) {
        SectionStackEntry* entry = section_stack;
        section_stack = entry->next;
        current_section = entry->saved;
        std::free(entry);
    }
    lex_next_token();
    return 0;
}

int dir_text() {
    lex_next_token();
    Symbol* symbol = omf_find_section(default_text_name, 1);
    if (symbol == nullptr || symbol->section == nullptr) diag_fatal(1, "../src/paasmdirectives", 1718);
    current_section = symbol->section;
    return 0;
}

int dir_data() {
    lex_next_token();
    Symbol* symbol = omf_find_section(default_data_name, 1);
    if (symbol == nullptr || symbol->section == nullptr) diag_fatal(1, "../src/paasmdirectives", 512);
    current_section = symbol->section;
    return 0;
}

// ---- .space and .skip -------------------------------------------------------

namespace {

int dir_reserve(const SymbolKey& label, bool show_address) {
    if (label.name != nullptr) sym_define_label(label);
    lex_next_token();
    if (show_address) lst_set_address(current_section->location);
    ExprValue value;
    if (expr_evaluate(value) != 0) return -1;
    // A count that is not known yet when the statement is reached (pass 1
    // sees 0 then) would move everything after it between the passes: it
    // is refused in both passes and reserves nothing.
    if (value.value_class == CLASS_UNKNOWN || value.forward_ref) return 30;
    if (value.value_class != CLASS_ABSOLUTE ||
        (value.value_type != TYPE_INTEGER && value.value_type != TYPE_COMPLEMENTED))
        return 30;
    int32_t count = value.value.integer;
    if (count < 0) return 21;
    if (count == 0) return 0;
    uint64_t bits = static_cast<uint64_t>(count) * 8u;
    uint64_t element_bits = static_cast<uint64_t>(current_section->bytes_per_element) * 8u;
    uint64_t elements = bits / element_bits + ((bits & (element_bits - 1)) != 0 ? 1u : 0u);
    uint64_t units = elements * static_cast<uint64_t>(current_section->units_per_element);
    // A count that would reach past the address space reserves nothing.
    if (!omf_advance_location(units)) return 21;
    return 0;
}

}  // namespace

int dir_space(const SymbolKey& label) { return dir_reserve(label, true); }

int dir_skip(const SymbolKey& label) { return dir_reserve(label, false); }

// ---- .end, .file, .size, .type ----------------------------------------------

int dir_end() {
    lex_next_token();
    report_flags = static_cast<uint8_t>(report_flags | REPORT_END_SEEN);
    return 0;
}

int dir_file() {
    scan_flags |= SCAN_RAW_BACKSLASH;
    lex_next_token();
    if constexpr (BuildTraits::is_elf) {
        if (current_token.code == TOK_INTEGER) lex_next_token();  // the file number
    }
    int result = 0;
    if (current_token.code == TOK_STRING)
        lex_next_token();
    else
        result = 14;
    scan_flags &= ~static_cast<uint32_t>(SCAN_RAW_BACKSLASH);
    return result;
}

int dir_size() {
    lex_next_token();
    if (current_token.code != TOK_SYMBOL) return 14;
    lex_next_token();
    int status = match_expect_comma();
    if (status != 0) return status;
    ExprValue value;
    return expr_evaluate(value) != 0 ? -1 : 0;
}

int dir_type() {
    scan_flags |= SCAN_RAW_NAMES;
    lex_next_token();
    int result = 0;
    if (current_token.code != TOK_NAME) {
        result = 1;
    } else {
        lex_next_token();
        if (current_token.code == TOK_COMMA) {
            lex_next_token();
            if (current_token.code != TOK_NAME)
                result = 1;
            else
                lex_next_token();
        }
    }
    scan_flags &= ~static_cast<uint32_t>(SCAN_RAW_NAMES);
    return result;
}

// ---- Directives that are validated and otherwise ignored ---------------------

int dir_scl() {
    lex_next_token();
    return dir_ignored_integer();
}

int dir_align() {
    lex_next_token();
    if (dir_at_statement_end()) return 0;
    int32_t alignment = 0;
    int status = match_eval_absolute_integer(alignment);
    if (status != 0) return status;
    uint32_t bits = static_cast<uint32_t>(alignment);
    if (alignment <= 0 || (bits & (bits - 1)) != 0) return 17;
    return 0;
}

namespace {

// One name operand, read as text so that it creates no symbol.
int dir_raw_name_operand() {
    scan_flags |= SCAN_RAW_NAMES;
    lex_next_token();
    int result = 0;
    if (dir_token_is_raw_name())
        lex_next_token();
    else
        result = 14;
    scan_flags &= ~static_cast<uint32_t>(SCAN_RAW_NAMES);
    return result;
}

}  // namespace

int dir_def() { return dir_raw_name_operand(); }

int dir_dim() {
    lex_next_token();
    if (dir_at_statement_end()) return 0;
    for (int index = 0; index < 4; ++index) {
        int status = dir_ignored_integer();
        if (status != 0) return status;
        // A comma after the fourth value stays unread.
        if (index == 3 || current_token.code != TOK_COMMA) break;
        lex_next_token();
    }
    return 0;
}

int dir_endef() {
    lex_next_token();
    return 0;
}

int dir_fillupper() {
    lex_next_token();
    if (dir_at_statement_end()) return 14;
    return dir_ignored_integer();
}

int dir_ident() {
    lex_next_token();
    if (current_token.code != TOK_STRING) return 14;
    lex_next_token();
    return 0;
}

int dir_line() {
    lex_next_token();
    int32_t first = 0;
    int status = match_eval_absolute_integer(first);
    if (status != 0) return status;
    if (first == 0) return 21;
    if (current_token.code == TOK_COMMA) {
        lex_next_token();
        return dir_ignored_integer();
    }
    current_section->flags = dir_flag_set(current_section->flags, SECT_USED);
    return 0;
}

int dir_loc() {
    lex_next_token();
    dir_skip_to_statement_end();
    return 0;
}

int dir_memory() {
    lex_next_token();
    dir_skip_to_statement_end();
    return 0;
}

int dir_tag() { return dir_raw_name_operand(); }

int dir_val() {
    lex_next_token();
    ExprValue value;
    return expr_evaluate(value) != 0 ? -1 : 0;
}
