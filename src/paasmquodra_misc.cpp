// The remaining small encoders: the file-register compare, increment and
// decrement skips, CP and CPB, EXCH, the bit scans and sign or zero
// extension, and BSW. Each builds one word from a short table of forms.
#include "paasmmatch.h"
#include "paasmquodra_misc.h"

namespace {

// CP's byte bit in its register forms (the file-register form uses bit 14).
constexpr uint32_t CP_REGISTER_BYTE_BIT = 0x0400;
// Literal bits 5 to 7 of an 8-bit CP literal go to word bits 7 to 9.
constexpr uint32_t cp_split_literal(uint32_t literal) {
    return (literal & 0x1F) | MISC_LITERAL_FORM | ((literal >> 5) & 0x7) << 7;
}
constexpr uint32_t OPERATOR_MODIFIER_BITS = 0xFF000000;
// BSW: bit 15 set writes the Z flag, clear writes the C flag.
constexpr uint32_t BSW_ZERO_FLAG = 0x8000;

// f, or f,WREG on the rows that take a destination.
int file_skip_operands(TgtInstruction& ins) {
    uint32_t& word = ins.words[0];
    tgt_apply_size_suffix(word);
    int status = tgt_parse_file_register(word, &ins.relocation, 0);
    ins.arch.uses |= RES_DATA_MEMORY;
    if (status != 0) return status;
    if ((tgt_alternate_word(ins.row, 0) & WORD_RESULT_TO_FILE) == 0) return 0;
    return tgt_parse_file_result(ins);
}

// The second operand of CP Wb: a literal (five bits, or eight split in two
// on the wide families) or a source address.
int cp_second_operand(TgtInstruction& ins) {
    uint32_t& word = ins.words[0];
    if (current_token.code != TOK_HASH)
        return tgt_parse_effective_address(word, ins.arch, ins.hazard, 0, ins.ends_block, ROLE_SOURCE);
    lex_next_token();
    if ((device_family_flags & MISC_FAMILY_WIDE_FORMS) == 0) {
        word |= MISC_LITERAL_FORM;
        return tgt_parse_literal(word, nullptr, 5, 0);
    }
    uint32_t literal = 0;
    int status = tgt_parse_literal(literal, nullptr, 8, 0);
    word |= cp_split_literal(literal) | (literal & OPERATOR_MODIFIER_BITS);
    return status;
}

int cp_operands(TgtInstruction& ins) {
    uint32_t& word = ins.words[0];
    if (tgt_register_ahead() == nullptr) {
        // CP f: f against WREG.
        uint32_t field = 0;
        if (int status = tgt_parse_file_register(field, &ins.relocation, 0)) return status;
        ins.arch.uses |= RES_DATA_MEMORY | MISC_W0;
        word = tgt_alternate_word(ins.row, 0) | field;
        tgt_apply_size_suffix(word);
        return 0;
    }
    const RegisterEntry* wb = nullptr;
    if (int status = misc_parse_w_operand(ins, wb)) return status;
    ins.arch.uses |= wb->register_mask;
    if (int status = match_expect_comma()) return status;
    word |= misc_field_wb(wb->register_number);
    // The size suffix as the other forms read it, with the byte bit moved.
    if (tgt_take_byte_suffix()) word |= CP_REGISTER_BYTE_BIT;
    return cp_second_operand(ins);
}

int exch_operands(TgtInstruction& ins) {
    const RegisterEntry* wns = nullptr;
    const RegisterEntry* wnd = nullptr;
    if (int status = misc_parse_w_operand(ins, wns)) return status;
    ins.words[0] |= misc_field_ws(wns->register_number);
    if (int status = match_expect_comma()) return status;
    if (int status = misc_parse_w_operand(ins, wnd)) return status;
    ins.words[0] |= misc_field_wd(wnd->register_number);
    uint32_t both = wns->register_mask | wnd->register_mask;
    ins.arch.defs |= both;
    ins.arch.uses |= both;
    ins.hazard.defs |= both;
    return 0;
}

// Ws, Wnd: the source in any addressing mode, the result in Wnd.
int bit_scan_operands(TgtInstruction& ins) {
    const RegisterEntry* wnd = nullptr;
    if (int status = tgt_parse_effective_address(ins.words[0], ins.arch, ins.hazard, 0, ins.ends_block, ROLE_SOURCE))
        return status;
    if (int status = match_expect_comma()) return status;
    if (int status = misc_parse_w_operand(ins, wnd)) return status;
    ins.words[0] |= misc_field_wd(wnd->register_number);
    ins.arch.defs |= wnd->register_mask;
    ins.hazard.defs |= wnd->register_mask;
    return 0;
}

// Ws, Wb: BSW writes the C or Z flag into bit Wb of Ws, so Ws is read and
// written and the status register is read.
int bsw_operands(TgtInstruction& ins) {
    uint32_t& word = ins.words[0];
    if (pending_suffix & SUFFIX_L) {
        pending_suffix &= ~SUFFIX_L;  // ".c"
    } else {
        pending_suffix &= ~SUFFIX_Z;
        word |= BSW_ZERO_FLAG;
    }
    ins.arch.uses |= RES_STATUS;
    const RegisterEntry* wb = nullptr;
    if (int status = tgt_parse_effective_address(word, ins.arch, ins.hazard, 0, ins.ends_block, ROLE_BOTH))
        return status;
    if (int status = match_expect_comma()) return status;
    if (int status = misc_parse_w_operand(ins, wb)) return status;
    ins.arch.uses |= wb->register_mask;
    word |= misc_field_wb(wb->register_number);
    return 0;
}

}  // namespace

int tgt_encode_file_skip(const MnemonicEntry* row) { return tgt_encode_pattern(row, file_skip_operands); }
int tgt_encode_cp(const MnemonicEntry* row) { return tgt_encode_pattern(row, cp_operands); }
int tgt_encode_exch(const MnemonicEntry* row) { return tgt_encode_pattern(row, exch_operands); }
int tgt_encode_bit_scan_extend(const MnemonicEntry* row) { return tgt_encode_pattern(row, bit_scan_operands); }
int tgt_encode_bsw(const MnemonicEntry* row) { return tgt_encode_pattern(row, bsw_operands); }
