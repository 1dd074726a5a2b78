// Statement matching: the lookups through the tables that the target
// registered, the hand-over of instruction statements to the target's
// encoder, the operand of .section and .pushsection, the fitting of
// evaluated values into fields, typed evaluation and the expected-token
// checks. Nothing here keeps state between calls.
#include "paasmmatch.h"

#include <cstring>
#include <string>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmomf.h"

namespace {

char fold_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char fold_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int char_difference(char a, char b) {
    return static_cast<int>(static_cast<signed char>(a)) - static_cast<int>(static_cast<signed char>(b));
}

// Binary search for an exact, whole-text match of `text`, whose characters
// are folded by `fold` before they are compared with the rows' names.
template <class Row, class NameOf, class Fold>
const Row* match_find_exact(const char* text, const Row* rows, int count, NameOf name_of, Fold fold) {
    if (text == nullptr || rows == nullptr) return nullptr;
    int lo = 0;
    int hi = count - 1;
    while (hi >= lo) {
        int mid = lo + (hi - lo) / 2;
        const char* name = name_of(rows[mid]);
        int difference = 0;
        for (size_t i = 0;; ++i) {
            char c = fold(text[i]);
            difference = char_difference(c, name[i]);
            if (difference != 0 || c == '\0') break;
        }
        if (difference == 0) return &rows[mid];
        if (difference < 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return nullptr;
}

bool mnemonic_available(int row) {
    // Without an availability callback every row of the table counts.
    return target_available_hook == nullptr || target_available_hook(row) == 1;
}

bool same_name(int row, const char* name) {
    return std::strcmp(target_mnemonics[row].mnemonic_name, name) == 0;
}

bool is_name_token(int32_t code) { return code == TOK_NAME || code == TOK_LOCAL_NAME; }

bool is_statement_end(int32_t code) {
    return code == TOK_END_OF_STATEMENT || code == TOK_END_OF_SOURCE;
}

// Reads the next token with words coming back as plain names.
void next_raw_token() {
    scan_flags |= SCAN_RAW_NAMES;
    lex_next_token();
    scan_flags &= ~static_cast<uint32_t>(SCAN_RAW_NAMES);
}

bool is_code_attribute(const char* text) {
    return std::strcmp(text, "code") == 0 || std::strcmp(text, "auxflash") == 0 ||
           std::strcmp(text, "auxpsv") == 0;
}

// Skips a balanced parenthesised group; the current token is its '('.
// The group ends at the end of the statement at the latest, which stays
// current.
void skip_parenthesised_group() {
    int depth = 1;
    while (depth > 0) {
        lex_next_token();
        if (current_token.code == TOK_LPAREN)
            ++depth;
        else if (current_token.code == TOK_RPAREN)
            --depth;
        else if (is_statement_end(current_token.code))
            return;
    }
    lex_next_token();
}

// Walks the comma-separated attribute list whose first entry is current;
// answers whether any entry names a code attribute.
bool scan_attribute_list() {
    bool code = false;
    for (;;) {
        if (is_statement_end(current_token.code)) break;
        if (is_name_token(current_token.code) || current_token.code == TOK_STRING) {
            if (is_code_attribute(lex_token_text())) code = true;
        }
        lex_next_token();
        if (current_token.code == TOK_LPAREN) skip_parenthesised_group();
        if (current_token.code != TOK_COMMA) break;
        lex_next_token();
    }
    return code;
}

Symbol* section_symbol(const Section* section) { return section != nullptr ? section->symbol : nullptr; }
uint32_t section_origin(const Section* section) { return section != nullptr ? section->origin : 0; }

// The low 32 bits of a field value: the whole value for fields of 32 bits
// or more, else its low `width` bits.
uint32_t mask_field(uint32_t v, int width) {
    if (width >= 32) return v;
    return v & ((1u << width) - 1u);
}

// Whether a signed value does not fit below 2^width.
bool exceeds_field(int32_t v, int width) {
    if (width >= 32) return false;
    return static_cast<int64_t>(v) >= (static_cast<int64_t>(1) << width);
}

// Reduces a PC-relative or data field value by its type: the byte parts of
// an address are cut out, and an integer must fit the field (error 20,
// reported here; the value becomes 0 when `zero_when_out_of_range`).
int reduce_by_type(uint32_t& v, int8_t type, int width, bool zero_when_out_of_range) {
    switch (type) {
    case TYPE_INTEGER:
    case TYPE_COMPLEMENTED:
        if (exceeds_field(static_cast<int32_t>(v), width)) {
            diag_error(20);
            if (zero_when_out_of_range) v = 0;
            return -1;
        }
        return 0;
    case TYPE_HIGH_BYTE:
        v = (v >> 8) & 0xFFu;
        return 0;
    case TYPE_LOW_BYTE:
        v &= 0xFFu;
        return 0;
    default:
        return 0;
    }
}

int expect_token(int32_t code, int error) {
    if (current_token.code != code) return error;
    lex_next_token();
    return 0;
}

}  // namespace

// ---- Hand-over and lookups ----------------------------------------------------

void match_assemble_instruction(const SymbolKey& label, const MnemonicEntry* row) {
    if (target_encode_hook != nullptr) target_encode_hook(label, row);
}

const MnemonicEntry* match_find_mnemonic(const char* word) {
    lex_set_token_suffix(0);
    if (word == nullptr || target_mnemonics == nullptr) return nullptr;
    const int count = target_mnemonic_count;
    int lo = 0;
    int hi = count - 1;
    while (hi >= lo) {
        int mid = lo + (hi - lo) / 2;
        const char* name = target_mnemonics[mid].mnemonic_name;
        // Compare up to the end of the row's name; a name that ends with no
        // difference is a prefix of the word.
        size_t length = 0;
        int difference = 0;
        for (; name[length] != '\0'; ++length) {
            difference = char_difference(fold_upper(word[length]), name[length]);
            if (difference != 0) break;
        }
        if (difference < 0) {
            hi = mid - 1;
            continue;
        }
        if (difference > 0) {
            lo = mid + 1;
            continue;
        }
        char follower = fold_upper(word[length]);

        // Prefix match: take the first row of this name available on the
        // device, looking downward first and then upward.
        int found = -1;
        int stand_in = mid;
        if (mnemonic_available(mid)) {
            found = mid;
        } else {
            for (int row = mid - 1; row >= 0 && same_name(row, name); --row) {
                if (mnemonic_available(row)) {
                    found = row;
                    break;
                }
            }
            if (found < 0) {
                for (int row = mid + 1; row < count && same_name(row, name); ++row) {
                    stand_in = row;
                    if (mnemonic_available(row)) {
                        found = row;
                        break;
                    }
                }
            }
        }
        const MnemonicEntry* row = &target_mnemonics[found >= 0 ? found : stand_in];

        if (follower == '\0' && found >= 0) return row;
        if (follower == '.' && target_suffix_hook != nullptr) {
            const MnemonicEntry* result = target_suffix_hook(row, word + length);
            return found >= 0 ? result : nullptr;
        }
        // The word extends this name: a match can only lie above all the
        // rows that bear it.
        int highest = mid;
        while (highest + 1 < count && same_name(highest + 1, name)) ++highest;
        lo = highest + 1;
    }
    return nullptr;
}

const NamedValue* match_find_name(const char* text, const NamedValue* table, int count) {
    return match_find_exact(
        text, table, count, [](const NamedValue& row) { return row.name; }, fold_lower);
}

const ConditionEntry* match_find_condition(const char* text) {
    return match_find_exact(
        text, target_conditions, target_condition_count,
        [](const ConditionEntry& row) { return row.condition_name; }, fold_lower);
}

const RegisterEntry* match_find_register(const char* text) {
    return match_find_exact(
        text, target_registers, target_register_count,
        [](const RegisterEntry& row) { return row.register_name; }, fold_upper);
}

// ---- The section operand -------------------------------------------------------

namespace {

// An anonymous section's name, interned; its index goes to `index`.
const char* intern_section_name(const std::string& text, uint32_t& index) {
    index = intern_index_of(text.data(), static_cast<uint32_t>(text.size()));
    return intern_text_at(index);
}

}  // namespace

int match_parse_section_operand(Symbol*& result) {
    result = nullptr;
    int status = 0;
    const char* name = nullptr;
    uint32_t name_index = 0;  // the name's interned index

    // The name, read as text so that it creates no symbol.
    next_raw_token();
    switch (current_token.code) {
    case TOK_STRING: {
        const char* text = lex_token_text();
        int32_t cls = lex_char_class(static_cast<unsigned char>(text[0]));
        if (text[0] != '\0' && (cls == CHAR_NAME || cls == CHAR_POINT)) {
            name = text;
            name_index = current_token.value.ref;
        } else
            status = 14;
        lex_next_token();
        break;
    }
    case TOK_STAR:
        // An anonymous section: "*_" with the line number, or with the
        // name that follows the star.
        next_raw_token();
        if (current_token.code == TOK_COMMA) {
            name = intern_section_name(diag_format("*_%d", static_cast<int>(current_source->line)), name_index);
        } else if (is_name_token(current_token.code)) {
            name = intern_section_name(diag_format("*_%s", lex_token_text()), name_index);
            lex_next_token();
        } else {
            status = 14;
        }
        break;
    case TOK_NAME:
    case TOK_LOCAL_NAME:
        name = lex_token_text();
        name_index = current_token.value.ref;
        lex_next_token();
        break;
    default:
        status = 14;
        break;
    }

    // The template whose geometry a new section copies: ".text" unless the
    // attributes make it a data section. Looking it up marks it used.
    Symbol* template_symbol = omf_find_section(default_text_name, 1);
    if (status == 0 && current_token.code == TOK_COMMA) {
        scan_flags |= SCAN_RAW_NAMES;  // stays on to the end of the line
        lex_next_token();
        if (is_name_token(current_token.code)) {
            if (!scan_attribute_list()) template_symbol = omf_find_section(default_data_name, 1);
        } else if (current_token.code == TOK_STRING) {
            if (lex_token_text()[0] != 'x') template_symbol = omf_find_section(default_data_name, 1);
            lex_next_token();
        }
    }
    if (status != 0) return status;

    Symbol* symbol = omf_find_section_text(name_index, 1);
    if (symbol == nullptr) {
        SymbolKey key;
        key.kind = SYMKIND_ORDINARY;
        key.name = name;
        symbol = sym_lookup_or_create(key);
        // A switch is made an integer again when a pass starts, so it can
        // name no section in either pass.
        if (sym_is_switch(symbol)) return 14;
        if ((symbol->flags & SYM_DEFINED_PASS1) != 0 && ((symbol->flags & SYM_LABEL) == 0 || symbol->section == nullptr)) {
            // A name that pass 1 defined as something other than a label
            // (an equate) selects no section: the current section stays.
            // An equate's section can change between the passes (a value
            // that pass 1 could not work out yet), a label's cannot.
            return 14;
        }
        if (pass_number == 2) {
            if ((symbol->flags & SYM_DEFINED_PASS2) != 0) {
                diag_error(6, name);
                status = -1;
            }
            symbol->flags |= SYM_DEFINED_PASS2;
        } else if ((symbol->flags & SYM_DEFINED_PASS1) == 0) {
            if (template_symbol == nullptr || template_symbol->section == nullptr)
                diag_fatal(1, "../src/paasmmatch", 169);
            const Section* model = template_symbol->section;
            symbol->value_type = TYPE_SECTION;
            // Defined for pass 2 as well, like the default sections' names:
            // a label of the same name further down is defined twice, in
            // pass 2 as in pass 1.
            symbol->flags |= SYM_DEFINED_PASS1 | SYM_DEFINED_PASS2;
            symbol->scope = SCOPE_SECTION;
            symbol->value_class = CLASS_EXTERNAL;
            symbol->value.raw = 0;
            Section* section = omf_create_section(model->memory_kind, 1, symbol, 0);
            symbol->section = section;
            section->bytes_per_element = model->bytes_per_element;
            section->units_per_element = model->units_per_element;
        }
        // A label of that name defined earlier is taken as it is: its own
        // section is used.
    }
    if (symbol->section == nullptr) return status != 0 ? status : 14;
    result = symbol;
    symbol->section->section_line = current_source->line;
    return status;
}

// ---- Operand fitting ----------------------------------------------------------

int match_fit_operand(ExprValue& value, Symbol*& symbol, int width) {
    uint32_t v = value.value.word;
    symbol = nullptr;
    switch (value.value_class) {
    case CLASS_ABSOLUTE:
        break;
    case CLASS_RELOCATABLE:
        v += section_origin(value.section);
        symbol = value.symbol != nullptr ? value.symbol : section_symbol(value.section);
        break;
    case CLASS_EXTERNAL:
    case CLASS_NEGATED:
        symbol = value.symbol;
        break;
    case CLASS_DIFFERENCE:
        symbol = value.symbol != nullptr ? value.symbol : section_symbol(value.section);
        break;
    default:
        diag_error(19);
        value.value.raw = 0;
        return -1;
    }
    int status = 0;
    if (value.last_operator != OP_EDSOFFSET && value.last_operator != OP_EDSPAGE) {
        switch (value.value_type) {
        case TYPE_HIGH_BYTE:
            v = (v >> 8) & 0xFFu;
            break;
        case TYPE_LOW_BYTE:
            v &= 0xFFu;
            break;
        case TYPE_LOW_WORD:
            v &= 0xFFFFu;
            break;
        case TYPE_WINDOW_OFFSET:
            v = (v & 0x7FFFu) | 0x8000u;
            break;
        case TYPE_INTEGER:
        case TYPE_COMPLEMENTED:
            if (exceeds_field(static_cast<int32_t>(v), width)) {
                diag_error(20);
                v = 0;
                status = -1;
            }
            break;
        default:
            break;
        }
    }
    value.value.raw = mask_field(v, width);
    return status;
}

int match_fit_pc_relative(ExprValue& value, Symbol*& symbol, int width, int32_t adjustment) {
    const Section* here = current_section;
    uint32_t location = (here != nullptr ? here->location : 0) + static_cast<uint32_t>(adjustment);
    uint32_t base = location + section_origin(here);
    uint32_t v = value.value.word;
    symbol = nullptr;
    switch (value.value_class) {
    case CLASS_ABSOLUTE:
        v -= base;
        symbol = section_symbol(here);
        break;
    case CLASS_RELOCATABLE:
        v = v + section_origin(value.section) - base;
        symbol = value.symbol != nullptr ? value.symbol : section_symbol(value.section);
        break;
    case CLASS_EXTERNAL:
    case CLASS_NEGATED:
        symbol = value.symbol;
        break;
    case CLASS_DIFFERENCE:
        v -= base;
        symbol = value.subtrahend != nullptr ? value.subtrahend : section_symbol(value.section);
        break;
    default:
        diag_error(19);
        value.value.raw = 0;
        return -1;
    }
    int status = reduce_by_type(v, value.value_type, width, true);
    value.value.raw = mask_field(v, width);
    return status;
}

int match_fit_data_value(ExprValue& value, int width) {
    uint32_t v = value.value.word;
    if (value.value_class == CLASS_RELOCATABLE) v += section_origin(value.section);
    if (width == 32) {
        value.value.raw = v;
        return 0;
    }
    // A data value out of range is still stored, masked.
    int status = reduce_by_type(v, value.value_type, width, false);
    value.value.raw = mask_field(v, width);
    return status;
}

// ---- Typed evaluation ---------------------------------------------------------

int match_eval_absolute_integer(int32_t& result) {
    result = 0;
    ExprValue value;
    int status = expr_evaluate(value);
    if (status != 0) return status;
    if (value.value_class == CLASS_UNKNOWN) {
        // Not known yet (or never): the caller goes on with 0.
        diag_error(30);
        return 0;
    }
    if (value.value_class == CLASS_ABSOLUTE &&
        (value.value_type == TYPE_INTEGER || value.value_type == TYPE_COMPLEMENTED)) {
        result = value.value.integer;
        return 0;
    }
    return 30;
}

int match_eval_float(double& result) {
    result = 0.0;
    ExprValue value;
    int status = expr_evaluate(value);
    if (status != 0) return status;
    if (value.value_class == CLASS_ABSOLUTE && value.value_type == TYPE_INTEGER) {
        result = static_cast<double>(value.value.integer);
        return 0;
    }
    if (value.value_class == CLASS_ABSOLUTE && value.value_type == TYPE_FLOAT) {
        result = value.value.real;
        return 0;
    }
    return 42;
}

// ---- Expected tokens ----------------------------------------------------------

int match_expect_comma() { return expect_token(TOK_COMMA, 31); }
int match_expect_assign() { return expect_token(TOK_ASSIGN, 32); }
int match_expect_plus() { return expect_token(TOK_PLUS, 33); }
int match_expect_star() { return expect_token(TOK_STAR, 34); }
int match_expect_immediate() { return expect_token(TOK_HASH, 41); }
int match_expect_left_bracket() { return expect_token(TOK_LBRACKET, 39); }
int match_expect_right_bracket() { return expect_token(TOK_RBRACKET, 40); }
