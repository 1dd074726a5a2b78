// The divide encoders: DIV with its signedness and width suffixes, and the
// fractional DIVF. Both write the quotient and remainder to W0 and W1,
// which is why their hazard definitions are fixed whatever the operands.
#include "paasmmatch.h"
#include "paasmquodra_misc.h"

namespace {

constexpr uint32_t DIV_SUFFIX_GROUP = 0x0FF8;
// Bit 6: a 32-bit dividend in the pair Wm, Wm+1; bit 15: unsigned.
constexpr uint32_t DIV_DOUBLE = 0x0040;
constexpr uint32_t DIV_UNSIGNED = 0x8000;
// The upper register of the dividend pair, bits 11 to 14.
constexpr uint32_t div_field_pair(uint32_t m) { return (m + 1) << 11; }

struct DivForm {
    uint32_t suffix;
    uint32_t bits;
};

// The suffixes DIV honours; ".sw" and no suffix give the base word.
constexpr DivForm div_forms[4] = {
    {SUFFIX_SW, 0},
    {SUFFIX_SD, DIV_DOUBLE},
    {SUFFIX_UW, DIV_UNSIGNED},
    {SUFFIX_UD, DIV_UNSIGNED | DIV_DOUBLE},
};

// The word bits of the pending suffix, consuming it when DIV honours it.
// Any other suffix of the group stays pending and draws the warning that
// it has no effect.
uint32_t div_take_suffix() {
    uint32_t group = pending_suffix & DIV_SUFFIX_GROUP;
    for (const DivForm& form : div_forms)
        if (group == form.suffix) {
            pending_suffix &= ~DIV_SUFFIX_GROUP;
            return form.bits;
        }
    return 0;
}

// Wm, Wn for DIV; a double dividend also reads Wm+1, so W15 cannot hold one.
int div_operands(TgtInstruction& ins) {
    uint32_t& word = ins.words[0];
    ins.hazard.defs = MISC_W0 | MISC_W1;
    word |= div_take_suffix();
    const RegisterEntry* wm = nullptr;
    const RegisterEntry* wn = nullptr;
    if (int status = misc_parse_w_operand(ins, wm)) return status;
    ins.arch.uses |= wm->register_mask;
    word |= misc_field_wd(wm->register_number);
    if (word & DIV_DOUBLE) {
        if (wm->register_number == MISC_STACK_POINTER_NUMBER) return 14;
        ins.arch.uses |= misc_register_pair(wm);
        word |= div_field_pair(wm->register_number);
    }
    if (int status = match_expect_comma()) return status;
    if (int status = misc_parse_w_operand(ins, wn)) return status;
    ins.arch.uses |= wn->register_mask;
    word |= misc_field_ws(wn->register_number);
    return 0;
}

// Wm, Wn for DIVF: the dividend register sits in bits 11 to 14.
int divf_operands(TgtInstruction& ins) {
    ins.hazard.defs = MISC_W0 | MISC_W1;
    const RegisterEntry* wm = nullptr;
    const RegisterEntry* wn = nullptr;
    if (int status = misc_parse_w_operand(ins, wm)) return status;
    ins.arch.uses |= wm->register_mask;
    ins.words[0] |= misc_field_wb(wm->register_number);
    if (int status = match_expect_comma()) return status;
    if (int status = misc_parse_w_operand(ins, wn)) return status;
    ins.arch.uses |= wn->register_mask;
    ins.words[0] |= misc_field_ws(wn->register_number);
    return 0;
}

}  // namespace

int tgt_encode_div(const MnemonicEntry* row) { return tgt_encode_pattern(row, div_operands); }
int tgt_encode_divf(const MnemonicEntry* row) { return tgt_encode_pattern(row, divf_operands); }
