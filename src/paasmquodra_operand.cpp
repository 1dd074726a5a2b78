// Operand parsers for registers and literal fields, the suffix appliers,
// the runtime-routine test and the read-after-write hazard check.
//
// The parsers only OR bits into the word they are given and add to the
// resource masks; they keep no state. The same tokens arrive in every pass,
// but a value that refers to a symbol is fitted (and its relocation symbol
// named) only from pass 2 on, so pass 1 counts the same sizes with zero
// fields.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmlex.h"
#include "paasmmatch.h"
#include "paasmomf.h"
#include "paasmquodra.h"
#include "paasmquodra_operand.h"

namespace {

constexpr uint32_t BYTE_BIT = 0x4000;  // bit 14: the byte form, or the ".n" form

// The modifier number that a literal ending in a keyword operator carries
// in bits 24 to 31, indexed by operator code - OP_BOOT. TBLPAGE and the
// codes between PSVPTR and DMAOFFSET carry none.
constexpr uint8_t operator_modifiers[OP_ENDOF_HI - OP_BOOT + 1] = {
    19,  // BOOT
    18,  // SECURE
    17,  // HANDLE
    16,  // EDSOFFSET
    15,  // EDSPAGE
    14,  // TBLOFFSET
    0,   // TBLPAGE
    13,  // PSVPAGE
    12,  // PSVOFFSET
    11,  // PSVPTR
    0,   // 43
    0,   // 44
    0,   // 45
    10,  // DMAOFFSET
    9,   // DMAPAGE
    8,   // PACKED_LO
    7,   // PACKED_HI
    6,   // .STARTOF.
    5,   // .STARTOF_HI.
    4,   // .SIZEOF.
    3,   // .SIZEOF_HI.
    2,   // .ENDOF.
    1,   // .ENDOF_HI.
};


// How a literal-like field places its value.
struct LiteralField {
    int width;        // bits of the value that are checked and kept
    int drop_low;     // low bits dropped before placing (1 for data addresses)
};

// The checks and the insertion shared by every literal-like field: an
// absolute integer must be a signed or an unsigned `width`-bit number; a
// value that refers to a symbol is fitted from pass 2 on.
int insert_field(ExprValue& value, uint32_t& word, Symbol** relocation, LiteralField field, int position) {
    uint32_t mask = field.width >= 32 ? 0xFFFFFFFFu : (1u << field.width) - 1u;
    uint32_t v = 0;
    switch (value.value_class) {
    case CLASS_UNKNOWN:
        // Usually a forward reference in pass 1, where errors are not shown.
        diag_error(14);
        return 0;
    case CLASS_ABSOLUTE: {
        int status = tgt_check_absolute_field(value, field.width);
        if (status != 0) return status;
        v = value.value.word;
        break;
    }
    case CLASS_RELOCATABLE:
    case CLASS_EXTERNAL:
    case CLASS_DIFFERENCE:
    case CLASS_NEGATED:
        if (!tgt_fitting_pass()) return 0;
        if (relocation == nullptr) return 14;
        // Errors 19 and 20 are reported by the fit; the (zeroed) field is
        // placed all the same.
        match_fit_operand(value, *relocation, field.width);
        v = value.value.word;
        break;
    default:
        return 14;
    }
    word |= ((v & mask) >> field.drop_low) << position;
    return 0;
}

constexpr LiteralField FILE_REGISTER_FIELD{13, 0};
constexpr LiteralField DATA_ADDRESS_FIELD{16, 1};
constexpr LiteralField BYTE_LITERAL_FIELD{8, 0};

// Evaluates the operand and places it as `field` says.
int parse_field(uint32_t& word, Symbol** relocation, LiteralField field, int position) {
    ExprValue value;
    int status = expr_evaluate(value);
    if (status != 0) return status;
    return insert_field(value, word, relocation, field, position);
}

// Parses a register and requires its kind.
int parse_register_of_kind(const RegisterEntry*& entry, uint16_t kind) {
    const RegisterEntry* found = nullptr;
    int status = tgt_parse_register(found);
    if (status != 0) return status;
    if (found->register_kind != kind) return 29;
    entry = found;
    return 0;
}

}  // namespace

const RegisterEntry* tgt_register_ahead() {
    if (current_token.code == TOK_REGISTER) return lex_token_register();
    const Symbol* symbol = nullptr;
    if (current_token.code == TOK_SYMBOL)
        symbol = lex_token_symbol();
    else if (current_token.code == TOK_NAME)
        symbol = sym_lookup(SymbolKey{SYMKIND_ORDINARY, lex_token_text()});
    if (symbol != nullptr && symbol->value_class == CLASS_ABSOLUTE && symbol->value_type == TYPE_REGISTER)
        return symbol->value.reg;
    return nullptr;
}

bool tgt_address_ahead() { return tgt_register_ahead() != nullptr || current_token.code == TOK_LBRACKET; }

uint32_t tgt_operator_modifier(int32_t last_operator) {
    if (last_operator < OP_BOOT || last_operator > OP_ENDOF_HI) return 0;
    return uint32_t{operator_modifiers[last_operator - OP_BOOT]} << 24;
}

bool tgt_fitting_pass() { return pass_number >= 2; }

int tgt_check_absolute_field(const ExprValue& value, int width) {
    if (value.value_type == TYPE_COMPLEMENTED) return 0;  // made with '~': taken as it is
    if (value.value_type != TYPE_INTEGER) return 14;
    int64_t n = value.value.integer;
    int64_t low = -(int64_t{1} << (width - 1));
    int64_t high = (int64_t{1} << width) - 1;
    return n < low || n > high ? 21 : 0;
}

// ---- Suffixes -------------------------------------------------------------------

void tgt_apply_size_suffix(uint32_t& word) {
    uint32_t size = pending_suffix & SUFFIX_SIZE_BITS;
    if (size == SUFFIX_B) {
        word |= BYTE_BIT;
        pending_suffix &= ~SUFFIX_SIZE_BITS;
    } else if (size == 0 || size == SUFFIX_W) {
        pending_suffix &= ~SUFFIX_SIZE_BITS;
    }
    // ".d" (or two size bits) stays pending: the statement warns about it.
}

void tgt_apply_negate_suffix(uint32_t& word) {
    if ((pending_suffix & SUFFIX_N) != 0) word |= BYTE_BIT;
    pending_suffix &= ~static_cast<uint32_t>(SUFFIX_N);
}

// ---- Runtime routines -------------------------------------------------------------

// The names are sorted in byte order and compared exactly, case and all.
int tgt_is_runtime_helper(const Symbol* symbol) {
    if (symbol == nullptr || symbol->name == nullptr) return 0;
    auto before = [](const char* a, const char* b) { return std::strcmp(a, b) < 0; };
    return std::binary_search(std::begin(runtime_helper_table), std::end(runtime_helper_table), symbol->name, before)
               ? 1
               : 0;
}

// ---- Registers ----------------------------------------------------------------------

int tgt_parse_register(const RegisterEntry*& entry) {
    if (current_token.code == TOK_REGISTER) {
        entry = lex_token_register();
        lex_next_token();
        return 0;
    }
    Symbol* symbol = nullptr;
    if (current_token.code == TOK_SYMBOL) {
        symbol = lex_token_symbol();
    } else if (current_token.code == TOK_NAME) {
        symbol = sym_reference(SymbolKey{SYMKIND_ORDINARY, lex_token_text()});
    }
    // Only a name equated to a register stands for one; anything else is
    // left for the caller's other forms.
    if (symbol == nullptr || symbol->value_class != CLASS_ABSOLUTE || symbol->value_type != TYPE_REGISTER ||
        symbol->value.reg == nullptr)
        return 29;
    uint8_t defined = pass_number <= 1 ? SYM_DEFINED_PASS1 : SYM_DEFINED_PASS2;
    lex_next_token();
    if ((symbol->flags & defined) == 0) {
        diag_error(8, symbol->name);
        return -1;
    }
    entry = symbol->value.reg;
    return 0;
}

int tgt_parse_w_register(const RegisterEntry*& entry) { return parse_register_of_kind(entry, REG_W); }

int tgt_parse_wreg(uint32_t& mask1, uint32_t& mask2) {
    const RegisterEntry* entry = nullptr;
    int status = parse_register_of_kind(entry, REG_WREG);
    if (status != 0) return status;
    mask1 |= entry->register_mask;
    mask2 |= entry->register_mask;
    return 0;
}

int tgt_parse_accumulator(const RegisterEntry** entry, uint32_t& word, ResourcePair* pair, uint32_t* mask) {
    const RegisterEntry* found = nullptr;
    int status = parse_register_of_kind(found, REG_ACCUMULATOR);
    if (status != 0) return status;
    if (entry != nullptr) *entry = found;
    word |= tgt_field_accumulator(found->register_number);
    if (pair != nullptr) {
        pair->defs |= found->register_mask;
        pair->uses |= found->register_mask;
    }
    if (mask != nullptr) *mask |= found->register_mask;
    return 0;
}

int tgt_parse_page_register(const RegisterEntry*& entry) { return parse_register_of_kind(entry, REG_PAGE); }

// ---- Literal fields ----------------------------------------------------------------------

int tgt_insert_literal_field(ExprValue& value, uint32_t& word, Symbol** relocation, int width, int position) {
    return insert_field(value, word, relocation, LiteralField{width, 0}, position);
}

int tgt_parse_literal(uint32_t& word, Symbol** relocation, int width, int position) {
    ExprValue value;
    int status = expr_evaluate(value);
    if (status == 0) status = tgt_insert_literal_field(value, word, relocation, width, position);
    // The modifier goes in whatever became of the field, so that literals
    // that differ only in such an operator never encode alike.
    word |= tgt_operator_modifier(value.last_operator);
    return status;
}

int tgt_parse_byte_literal(uint32_t& word, Symbol** relocation, int position) {
    return parse_field(word, relocation, BYTE_LITERAL_FIELD, position);
}

int tgt_insert_file_register_field(ExprValue& value, uint32_t& word, Symbol** relocation, int position) {
    return insert_field(value, word, relocation, FILE_REGISTER_FIELD, position);
}

int tgt_parse_file_register(uint32_t& word, Symbol** relocation, int position) {
    return parse_field(word, relocation, FILE_REGISTER_FIELD, position);
}

int tgt_insert_data_address_field(ExprValue& value, uint32_t& word, Symbol** relocation, int position) {
    return insert_field(value, word, relocation, DATA_ADDRESS_FIELD, position);
}

int tgt_parse_data_address(uint32_t& word, Symbol** relocation, int position) {
    return parse_field(word, relocation, DATA_ADDRESS_FIELD, position);
}

// ---- Read-after-write hazard ---------------------------------------------------------------

void tgt_check_raw_hazard(uint32_t hazard_uses) {
    if (current_section == nullptr) return;
    uint32_t written = current_section->last_hazard_defs & hazard_uses;
    if (written == 0) return;
    // Table order decides the order of the warnings; WREG only repeats W0.
    for (const RegisterEntry& row : register_table) {
        if ((row.register_mask & written) == 0 || row.register_kind == REG_WREG) continue;
        diag_warning(8, row.register_name);
    }
}
