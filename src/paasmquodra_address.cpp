// Operand parsers for addresses: effective and indexed addresses with the
// resources each addressing mode reads and writes, the source register or
// short literal of the three-operand forms, PC-relative branch targets and
// absolute program addresses.
#include <cstring>

#include "paasmdiag.h"
#include "paasmexpr.h"
#include "paasmis.h"
#include "paasmlex.h"
#include "paasmmatch.h"
#include "paasmomf.h"
#include "paasmquodra.h"
#include "paasmquodra_operand.h"

namespace {

constexpr uint32_t STACK_POINTER = 15;        // W15
constexpr uint32_t LITERAL_OPERAND = 0x60;    // bits 5 and 6: a short literal, not a register
constexpr int SHORT_LITERAL_WIDTH = 5;
constexpr int PROGRAM_ADDRESS_WIDTH = 24;

// ---- Effective addresses ---------------------------------------------------------------

struct AddressOperand {
    uint32_t mode = MODE_DIRECT;
    const RegisterEntry* base = nullptr;   // Wn
    const RegisterEntry* index = nullptr;  // Wb of [Wn+Wb]
};

bool is_stack_pointer(const RegisterEntry* reg) { return reg != nullptr && reg->register_number == STACK_POINTER; }

bool modifies_pointer(uint32_t mode) { return mode >= MODE_POST_DECREMENT && mode <= MODE_PRE_INCREMENT; }

// Reads Wn, [Wn], [Wn--], [Wn++], [--Wn], [++Wn] and, when `indexed`,
// [Wn+Wb].
int parse_address_syntax(AddressOperand& operand, bool indexed) {
    if (current_token.code != TOK_LBRACKET) {
        operand.mode = MODE_DIRECT;
        return tgt_parse_w_register(operand.base);
    }
    lex_next_token();
    int status = 0;
    if (current_token.code == TOK_INCREMENT || current_token.code == TOK_DECREMENT) {
        operand.mode = current_token.code == TOK_INCREMENT ? MODE_PRE_INCREMENT : MODE_PRE_DECREMENT;
        lex_next_token();
        status = tgt_parse_w_register(operand.base);
        if (status != 0) return status;
    } else {
        status = tgt_parse_w_register(operand.base);
        if (status != 0) return status;
        if (current_token.code == TOK_INCREMENT) {
            operand.mode = MODE_POST_INCREMENT;
            lex_next_token();
        } else if (current_token.code == TOK_DECREMENT) {
            operand.mode = MODE_POST_DECREMENT;
            lex_next_token();
        } else if (indexed && current_token.code == TOK_PLUS) {
            lex_next_token();
            operand.mode = MODE_INDEXED;
            status = tgt_parse_w_register(operand.index);
            if (status != 0) return status;
        } else {
            operand.mode = MODE_INDIRECT;
        }
    }
    return match_expect_right_bracket();
}

bool role_writes(int role) { return role == ROLE_DESTINATION || role == ROLE_BOTH; }
bool role_reads(int role) { return role == ROLE_SOURCE || role == ROLE_BOTH; }

// What a plain effective address reads and writes in its role.
void add_address_resources(const AddressOperand& operand, ResourcePair& arch, ResourcePair& hazard, int role) {
    uint32_t wn = operand.base->register_mask;
    if (role_writes(role)) {
        if (operand.mode == MODE_DIRECT) {
            arch.defs |= wn;
            hazard.defs |= wn;
        } else if (operand.mode == MODE_INDIRECT) {
            arch.uses |= wn;
            arch.defs |= RES_DATA_MEMORY;
        } else {
            arch.uses |= wn;
            arch.defs |= RES_DATA_MEMORY | wn;
            hazard.defs |= wn;
        }
    }
    if (role_reads(role)) {
        if (operand.mode == MODE_DIRECT) {
            arch.uses |= wn;
        } else if (operand.mode == MODE_INDIRECT) {
            arch.uses |= wn | RES_DATA_MEMORY;
            hazard.uses |= wn;
        } else {
            arch.uses |= wn | RES_DATA_MEMORY;
            hazard.uses |= wn;
            arch.defs |= wn;
        }
    }
}

// The same for the indexed parser: a modified destination pointer is not
// counted as read, and [Wn+Wb] reads both registers.
void add_indexed_resources(const AddressOperand& operand, ResourcePair& arch, ResourcePair& hazard, int role) {
    uint32_t wn = operand.base->register_mask;
    uint32_t pointers = wn | (operand.mode == MODE_INDEXED ? operand.index->register_mask : 0);
    if (role_writes(role)) {
        if (operand.mode == MODE_DIRECT) {
            arch.defs |= wn;
            hazard.defs |= wn;
        } else if (modifies_pointer(operand.mode)) {
            arch.defs |= RES_DATA_MEMORY | wn;
            hazard.defs |= wn;
        } else {
            arch.defs |= RES_DATA_MEMORY;
            arch.uses |= pointers;
        }
    }
    if (role_reads(role)) {
        if (operand.mode == MODE_DIRECT) {
            arch.uses |= wn;
        } else if (modifies_pointer(operand.mode)) {
            arch.uses |= RES_DATA_MEMORY | wn;
            hazard.uses |= wn;
            arch.defs |= wn;
        } else {
            arch.uses |= RES_DATA_MEMORY | pointers;
            hazard.uses |= pointers;
        }
    }
}

// ---- Branch targets ------------------------------------------------------------------------

// Where a branch keeps its word offset k, and how far it reaches.
struct BranchForm {
    uint32_t mask;        // bits of k kept
    int shift;            // position of the field
    int width;            // the fitted field's width in address units
    int64_t min_offset;   // k of a label
    int64_t max_offset;
    int64_t min_units;    // d of an absolute target, in address units
    int64_t max_units;
};

constexpr BranchForm LONG_BRANCH{0xFFFF, 0, 16, -32768, 32767, -32769, 32768};
constexpr BranchForm COMPARE_BRANCH{0x3F, 4, 6, -32, 31, -33, 32};

// The compare-and-branch rows keep a 6-bit offset at bits 4 to 9.
const BranchForm& branch_form(const char* mnemonic) {
    static const char* const compare_branches[] = {"CPBEQ", "CPBGT", "CPBLT", "CPBNE"};
    if (mnemonic != nullptr) {
        for (const char* name : compare_branches)
            if (std::strcmp(mnemonic, name) == 0) return COMPARE_BRANCH;
    }
    return LONG_BRANCH;
}

uint32_t branch_field(const BranchForm& form, int64_t k) {
    return (static_cast<uint32_t>(k) & form.mask) << form.shift;
}

bool is_integer_type(int8_t type) { return type == TYPE_INTEGER || type == TYPE_COMPLEMENTED; }

}  // namespace

// ---- Addresses --------------------------------------------------------------------------------

int tgt_parse_effective_address(uint32_t& word, ResourcePair& arch, ResourcePair& hazard, int position,
                                int& ends_run, int role) {
    AddressOperand operand;
    int status = parse_address_syntax(operand, false);
    if (status != 0) return status;
    word |= tgt_field_address(operand.mode, operand.base->register_number, position);
    // Every W15 operand ends the run, a store through a plain [W15] too: in
    // a shared body one call level down, W15 stands 4 bytes higher (the
    // return address), so [W15] would name another slot than at the site.
    if (is_stack_pointer(operand.base)) ends_run = 1;
    add_address_resources(operand, arch, hazard, role);
    return 0;
}

int tgt_parse_indexed_address(uint32_t& word, ResourcePair& arch, ResourcePair& hazard, int position,
                              int index_position, int& ends_run, int role) {
    AddressOperand operand;
    int status = parse_address_syntax(operand, true);
    if (status != 0) return status;
    word |= tgt_field_address(operand.mode, operand.base->register_number, position);
    if (operand.mode == MODE_INDEXED) word |= static_cast<uint32_t>(operand.index->register_number) << index_position;
    if (is_stack_pointer(operand.base) || is_stack_pointer(operand.index)) ends_run = 1;
    add_indexed_resources(operand, arch, hazard, role);
    return 0;
}

int tgt_parse_ws_or_literal(uint32_t& word, ResourcePair& arch, ResourcePair& hazard, int& ends_run, int role) {
    if (current_token.code != TOK_HASH) return tgt_parse_effective_address(word, arch, hazard, 0, ends_run, role);
    lex_next_token();
    int status = tgt_parse_literal(word, nullptr, SHORT_LITERAL_WIDTH, 0);
    if (status == 0) word |= LITERAL_OPERAND;
    return status;
}

// ---- Branch targets ------------------------------------------------------------------------------

int tgt_parse_branch_target(uint32_t& word, int32_t adjustment, int& ends_run, Symbol*& target, int mark,
                            const char* mnemonic) {
    const BranchForm& form = branch_form(mnemonic);
    ExprValue value;
    int status = expr_evaluate_transfer_target(value);
    if (status != 0) return status;
    // d counts in address units from the instruction after the branch (or
    // as far as the caller's adjustment says).
    int64_t from = static_cast<int64_t>(current_section != nullptr ? current_section->location : 0) + adjustment;
    int64_t d = static_cast<int64_t>(value.value.integer) - from;
    Symbol* marked = nullptr;
    switch (value.value_class) {
    case CLASS_ABSOLUTE:
        ends_run = 1;
        if (!is_integer_type(value.value_type)) return 14;
        if (d < form.min_units || d > form.max_units) return 22;
        word |= branch_field(form, d >> 1);
        return 0;
    case CLASS_RELOCATABLE:
        if (value.section == current_section) {
            int64_t k = d >> 1;
            if (k < form.min_offset || k > form.max_offset) return 22;
            word |= branch_field(form, k);
            if (value.symbol != nullptr && value.symbol->scope != SCOPE_SECTION) target = value.symbol;
            // A branch within the section may stay in an abstraction run.
            marked = value.symbol;
            break;
        }
        [[fallthrough]];
    case CLASS_EXTERNAL:
    case CLASS_DIFFERENCE:
    case CLASS_NEGATED:
        ends_run = 1;
        marked = value.symbol;
        if (tgt_fitting_pass()) {
            // Fitted without masking, so that the word offset is taken from
            // the signed displacement: a backward target keeps its sign
            // bit. The range is still judged at the field's own width.
            Symbol* fitted = nullptr;
            match_fit_pc_relative(value, fitted, 32, adjustment);
            int32_t v = value.value.integer;
            if (is_integer_type(value.value_type) && v >= (int32_t{1} << form.width)) {
                diag_error(20);
                v = 0;
            }
            word |= branch_field(form, v >> 1);
            target = fitted;
            marked = fitted;
        }
        break;
    default:
        return 14;
    }
    if (mark >= 1 && marked != nullptr) marked->flags |= SYM_BRANCH_TARGET;
    // DO's loop end is noted in every pass, also when it lies in another
    // section and is only fitted in pass 2: a label defined before the DO
    // must be known as a loop end when pass 2 reaches it.
    if (mark == 2) sched_note_loop_end(marked);
    if (mark == 0) sched_note_transfer_target(marked);  // RCALL's target
    return 0;
}

// ---- Program addresses ------------------------------------------------------------------------------

int tgt_parse_program_address(uint32_t& lo, uint32_t& hi, Symbol** relocation) {
    ExprValue value;
    int status = expr_evaluate_transfer_target(value);
    if (status != 0) return status;
    switch (value.value_class) {
    case CLASS_UNKNOWN:
        diag_error(14);
        return 0;
    case CLASS_ABSOLUTE:
        status = tgt_check_absolute_field(value, PROGRAM_ADDRESS_WIDTH);
        if (status != 0) return status;
        break;
    case CLASS_RELOCATABLE:
    case CLASS_EXTERNAL:
    case CLASS_DIFFERENCE:
    case CLASS_NEGATED: {
        sched_note_transfer_target(value.symbol);  // CALL's or GOTO's target, from pass 1 on
        if (!tgt_fitting_pass()) return 0;
        Symbol* fitted = nullptr;
        match_fit_operand(value, fitted, PROGRAM_ADDRESS_WIDTH);
        if (relocation != nullptr) *relocation = fitted;
        break;
    }
    default:
        return 14;
    }
    uint32_t v = value.value.word;
    lo = v & 0xFFFFu;
    hi = (v >> 16) & 0xFFFFu;
    return 0;
}
