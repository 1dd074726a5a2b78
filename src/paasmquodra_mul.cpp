// The multiply encoder: MUL and MULW. The signedness suffix chooses the
// form: without one the multiply takes WREG and a file register and leaves
// its product in W2 (and W3); with one it takes a base register, a source
// register or short literal, and a destination register pair (or, on the
// families that have them, an accumulator). MULW differs from MUL in bit 7
// of every signed or unsigned word and in its even destination register.
#include "paasmmatch.h"
#include "paasmquodra_misc.h"

namespace {

constexpr uint32_t MUL_SIGNEDNESS_GROUP = 0x0FF8;
constexpr uint32_t MUL_SIGNEDNESS_FORMS = SUFFIX_SS | SUFFIX_SU | SUFFIX_US | SUFFIX_UU;
// The file-register form, word and byte.
constexpr uint32_t MUL_FILE_WORD = 0xBC0000;
constexpr uint32_t MUL_FILE_BYTE_WORD = 0xBC4000;
// An accumulator destination is written as the register number 14 or 15.
constexpr uint32_t MUL_ACCUMULATOR_FIELD = 0xE;
// MULW's destination field holds an even register (bits 8 to 10).
constexpr uint32_t MULW_EVEN_REGISTER = 0xE;
// Bit 7 of the destination field: MULW's own bit, the low bit of MUL's
// register number.
constexpr uint32_t MUL_ODD_REGISTER = 0x1;

// On the families that have MULW and the accumulator destination, MUL's
// destination field is shared: 14 and 15 name accumulators A and B, and a
// field with bit 7 set is a MULW. A register that would encode as one of
// those (W14, W15, an odd register for MUL; W14 or W15, whose even
// register is 14, for MULW) would put a different instruction in the
// word, so it is refused.
bool mul_destination_is_shared(uint32_t number, bool mulw) {
    if ((device_family_flags & MISC_FAMILY_WIDE_FORMS) == 0) return false;
    if ((number & MUL_ACCUMULATOR_FIELD) == MUL_ACCUMULATOR_FIELD) return true;
    return !mulw && (number & MUL_ODD_REGISTER) != 0;
}

struct MulForm {
    uint32_t suffix;
    uint32_t word;  // bit 16: first operand signed; bit 15: second operand signed
};

constexpr MulForm mul_forms[4] = {
    {SUFFIX_SS, 0xB98000},
    {SUFFIX_SU, 0xB90000},
    {SUFFIX_US, 0xB88000},
    {SUFFIX_UU, 0xB80000},
};

// MUL f and MUL.B f: the product of WREG and f.
int mul_file_form(TgtInstruction& ins) {
    uint32_t& word = ins.words[0];
    ins.arch.uses |= MISC_W0;
    uint32_t size = pending_suffix & SUFFIX_SIZE_BITS;
    if (size == SUFFIX_B) {
        word = MUL_FILE_BYTE_WORD;
        ins.arch.defs |= MISC_W2;
        ins.hazard.defs |= MISC_W2;
        pending_suffix &= ~SUFFIX_SIZE_BITS;
    } else {
        // ".d" has no effect here and stays pending for the statement's
        // warning; the multiply is then the word form, never a word
        // without its opcode bits.
        word = MUL_FILE_WORD;
        ins.arch.defs |= MISC_W2 | MISC_W3;
        ins.hazard.defs |= MISC_W2 | MISC_W3;
        if (size != SUFFIX_D) pending_suffix &= ~SUFFIX_SIZE_BITS;
    }
    int status = tgt_parse_file_register(word, &ins.relocation, 0);
    ins.arch.uses |= RES_DATA_MEMORY;
    return status;
}

// The destination of the three-operand form.
int mul_destination(TgtInstruction& ins, bool mulw) {
    uint32_t& word = ins.words[0];
    const RegisterEntry* reg = nullptr;
    if (mulw) {
        if (int status = misc_parse_w_operand(ins, reg)) return status;
        if (mul_destination_is_shared(reg->register_number, mulw)) return 14;
        // The register written is the even one the field names.
        uint32_t even = reg->register_number & MULW_EVEN_REGISTER;
        word |= misc_field_wd(even);
        uint32_t pair = (1u << even) | (1u << (even + 1));
        ins.arch.defs |= pair;
        ins.hazard.defs |= pair;
        return 0;
    }
    int status = tgt_parse_register(reg);
    if (status == -1) return status;
    if (status != 0) return 14;
    if (reg->register_kind == REG_W) {
        tgt_note_stack_pointer(ins, reg);
        if (mul_destination_is_shared(reg->register_number, mulw)) return 14;
        word |= misc_field_wd(reg->register_number);
        ins.arch.defs |= misc_register_pair(reg);
        ins.hazard.defs |= misc_register_pair(reg);
        return 0;
    }
    if (reg->register_kind == REG_ACCUMULATOR && (device_family_flags & MISC_FAMILY_WIDE_FORMS) != 0) {
        word |= misc_field_wd(reg->register_number | MUL_ACCUMULATOR_FIELD);
        ins.arch.defs |= reg->register_mask;
        ins.hazard.defs |= reg->register_mask;
        return 0;
    }
    return 14;
}

// Wb, Ws or #lit5, destination.
int mul_register_form(TgtInstruction& ins, bool mulw) {
    const RegisterEntry* wb = nullptr;
    if (int status = misc_parse_w_operand(ins, wb)) return status;
    ins.arch.uses |= wb->register_mask;
    ins.words[0] |= misc_field_wb(wb->register_number);
    if (int status = match_expect_comma()) return status;
    if (int status = tgt_parse_ws_or_literal(ins.words[0], ins.arch, ins.hazard, ins.ends_block, ROLE_SOURCE))
        return status;
    if (int status = match_expect_comma()) return status;
    return mul_destination(ins, mulw);
}

int mul_operands(TgtInstruction& ins) {
    const bool mulw = ins.row->base_word != 0;
    uint32_t group = pending_suffix & MUL_SIGNEDNESS_GROUP;
    if (group == 0) return mul_file_form(ins);
    // ".sw", ".sd", ".uw", ".ud" and ".l" belong to the divide: nothing is
    // parsed, and the operands and the suffix draw their warnings.
    if ((group & MUL_SIGNEDNESS_FORMS) == 0) return 0;
    for (const MulForm& form : mul_forms)
        if (group == form.suffix) ins.words[0] = form.word | ins.row->base_word;
    pending_suffix &= ~MUL_SIGNEDNESS_GROUP;
    return mul_register_form(ins, mulw);
}

}  // namespace

int tgt_encode_mul(const MnemonicEntry* row) { return tgt_encode_pattern(row, mul_operands); }
