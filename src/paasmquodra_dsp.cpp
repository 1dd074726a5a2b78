// DSP accumulator encoders: MAC, MPY and MSC; ED and EDAC; MOVSAC; SFTAC;
// LAC; SAC.
//
// Each follows the shape of every encoder: begin the instruction, parse
// the operands into its word and resource pairs, finish it (hazard check,
// both recorders, emission). The multiplier operands Wm*Wn are read here;
// the accumulator with its prefetch and write-back list, and the ED list,
// are read by the parsers of paasmquodra_prefetch.cpp.
#include "paasmlex.h"
#include "paasmmatch.h"
#include "paasmquodra.h"
#include "paasmquodra_alu.h"

namespace {

// ---- Fields of the word -------------------------------------------------------

constexpr uint32_t field_multiplier(uint32_t code) { return code << 16; }  // bits 16-18
constexpr uint32_t field_shift_register(uint32_t n) { return n; }          // SFTAC Wb: bits 0-3
constexpr int field_address_position = 0;             // LAC Ws, SAC Wd: bits 0-6
constexpr int field_index_register_position = 11;     // Wb of [Wn+Wb]: bits 11-14
constexpr int field_shift_literal_position = 0;       // SFTAC #Slit6: bits 0-5
constexpr int field_shift_literal_width = 6;
constexpr int field_accumulator_shift_position = 7;   // LAC/SAC #Slit4: bits 7-10
constexpr int field_accumulator_shift_width = 4;

constexpr uint32_t SFTAC_LITERAL_FORM = 0x40;  // bit 6: #Slit6 rather than Wb
constexpr uint32_t SAC_ROUND = 0x10000;        // bit 16: SAC.R

// The working registers a multiplier may name.
constexpr uint16_t REG_MULTIPLIER_FIRST = 4;  // W4
constexpr uint16_t REG_MULTIPLIER_LAST = 7;   // W7

// The multiplier field of Wm*Wn for two different registers, Wm the lower,
// indexed by Wm - 4 and Wn - 4; squares use their own word and Wm - 4.
constexpr int8_t NO_PAIR = -1;
constexpr int8_t multiplier_pair_field[4][4] = {
    {NO_PAIR, 0, 1, 2},
    {NO_PAIR, NO_PAIR, 4, 5},
    {NO_PAIR, NO_PAIR, NO_PAIR, 6},
    {NO_PAIR, NO_PAIR, NO_PAIR, NO_PAIR},
};

bool token_is(int32_t code) { return current_token.code == code; }

bool is_multiplier_register(const RegisterEntry* r) {
    return r->register_number >= REG_MULTIPLIER_FIRST && r->register_number <= REG_MULTIPLIER_LAST;
}

// "Wm*Wn": two W registers and the '*', ordered so that Wm is the lower;
// the instruction reads both.
int parse_multiplier_registers(TgtInstruction& ins, const RegisterEntry*& wm, const RegisterEntry*& wn) {
    int status = tgt_parse_w_register(wm);
    if (status == 0) status = match_expect_star();
    if (status == 0) status = tgt_parse_w_register(wn);
    if (status != 0) return status;
    if (wn->register_number < wm->register_number) {
        const RegisterEntry* lower = wn;
        wn = wm;
        wm = lower;
    }
    ins.arch.uses |= wm->register_mask | wn->register_mask;
    return 0;
}

// MAC, MPY, MSC: the multiplier operands and whether the form allows the
// accumulator write-back (the squares do not).
int parse_mac_multiplier(TgtInstruction& ins, int& write_back) {
    const RegisterEntry* wm = nullptr;
    const RegisterEntry* wn = nullptr;
    int status = parse_multiplier_registers(ins, wm, wn);
    if (status != 0) return status;
    if (!is_multiplier_register(wm) || !is_multiplier_register(wn)) return 14;
    uint32_t m = wm->register_number - REG_MULTIPLIER_FIRST;
    uint32_t n = wn->register_number - REG_MULTIPLIER_FIRST;
    if (m == n) {
        uint32_t square = tgt_alternate_word(ins.row, 0);  // 0: the row has no square form
        if (square == 0) return 14;
        ins.words[0] = square | field_multiplier(m);
        write_back = 0;
        return 0;
    }
    ins.words[0] |= field_multiplier(static_cast<uint32_t>(multiplier_pair_field[m][n]));
    tgt_apply_negate_suffix(ins.words[0]);
    return 0;
}

int parse_mac_operands(TgtInstruction& ins) {
    int write_back = 1;
    int status = parse_mac_multiplier(ins, write_back);
    if (status == 0) status = match_expect_comma();
    if (status != 0) return status;
    return tgt_parse_prefetch_operands(ins.words[0], ins.arch, ins.hazard, 1, static_cast<uint32_t>(write_back));
}

// ED, EDAC: one register squared, then the ED list.
int parse_ed_operands(TgtInstruction& ins) {
    const RegisterEntry* wm = nullptr;
    const RegisterEntry* wn = nullptr;
    int status = parse_multiplier_registers(ins, wm, wn);
    if (status != 0) return status;
    if (wm->register_number != wn->register_number || !is_multiplier_register(wm)) return 14;
    ins.words[0] |= field_multiplier(wm->register_number - REG_MULTIPLIER_FIRST);
    status = match_expect_comma();
    if (status != 0) return status;
    return tgt_parse_ed_operands(ins.words[0], ins.arch, ins.hazard);
}

// An accumulator operand: bit 15; written, read, and a hazard definition.
int parse_accumulator(TgtInstruction& ins) {
    return tgt_parse_accumulator(nullptr, ins.words[0], &ins.arch, &ins.hazard.defs);
}

// An optional "#Slit4," shift before or after the accumulator of LAC and SAC.
int parse_optional_shift(TgtInstruction& ins) {
    if (!token_is(TOK_HASH)) return 0;
    lex_next_token();
    int status = tgt_parse_literal(ins.words[0], &ins.relocation, field_accumulator_shift_width,
                                   field_accumulator_shift_position);
    if (status != 0) return status;
    return match_expect_comma();
}

int parse_sftac_operands(TgtInstruction& ins) {
    int status = parse_accumulator(ins);
    if (status == 0) status = match_expect_comma();
    if (status != 0) return status;
    if (token_is(TOK_HASH)) {
        lex_next_token();
        ins.words[0] |= SFTAC_LITERAL_FORM;
        return tgt_parse_literal(ins.words[0], &ins.relocation, field_shift_literal_width,
                                 field_shift_literal_position);
    }
    const RegisterEntry* wb = nullptr;
    status = tgt_parse_w_register(wb);
    if (status != 0) return status;
    ins.words[0] |= field_shift_register(wb->register_number);
    ins.arch.uses |= wb->register_mask;
    tgt_note_stack_pointer(ins, wb);
    return 0;
}

// SAC.R (and LAC.R, should a row ever accept it): round the stored value.
void apply_round_suffix(uint32_t& word) {
    if ((pending_suffix & SUFFIX_R) == 0) return;
    word |= SAC_ROUND;
    pending_suffix &= ~static_cast<uint32_t>(SUFFIX_R);
}

int parse_lac_operands(TgtInstruction& ins) {
    apply_round_suffix(ins.words[0]);
    int status = tgt_parse_indexed_address(ins.words[0], ins.arch, ins.hazard, field_address_position,
                                           field_index_register_position, ins.ends_block, ROLE_SOURCE);
    if (status == 0) status = match_expect_comma();
    if (status == 0) status = parse_optional_shift(ins);
    if (status != 0) return status;
    return parse_accumulator(ins);
}

int parse_sac_operands(TgtInstruction& ins) {
    apply_round_suffix(ins.words[0]);
    int status = parse_accumulator(ins);
    if (status == 0) status = match_expect_comma();
    if (status == 0) status = parse_optional_shift(ins);
    if (status != 0) return status;
    return tgt_parse_indexed_address(ins.words[0], ins.arch, ins.hazard, field_address_position,
                                     field_index_register_position, ins.ends_block, ROLE_DESTINATION);
}

int parse_movsac_operands(TgtInstruction& ins) {
    return tgt_parse_prefetch_operands(ins.words[0], ins.arch, ins.hazard, 1, 1);
}

}  // namespace

// Class 29: MAC, MPY, MSC  Wm*Wn, A|B [, X prefetch] [, Y prefetch] [, write-back].
int tgt_encode_mac(const MnemonicEntry* row) { return tgt_encode_pattern(row, parse_mac_operands); }

// Class 30: ED, EDAC  Wm*Wm, A|B, [W8|W9 ...], [W10|W11 ...], Wxd.
int tgt_encode_ed(const MnemonicEntry* row) { return tgt_encode_pattern(row, parse_ed_operands); }

// Class 31: MOVSAC  A|B [, X prefetch] [, Y prefetch] [, write-back].
int tgt_encode_movsac(const MnemonicEntry* row) { return tgt_encode_pattern(row, parse_movsac_operands); }

// Class 32: SFTAC  A|B, #Slit6  or  A|B, Wb.
int tgt_encode_sftac(const MnemonicEntry* row) { return tgt_encode_pattern(row, parse_sftac_operands); }

// Class 33: LAC  Ws, [#Slit4,] A|B.
int tgt_encode_lac(const MnemonicEntry* row) { return tgt_encode_pattern(row, parse_lac_operands); }

// Class 34: SAC  A|B, [#Slit4,] Wd.
int tgt_encode_sac(const MnemonicEntry* row) { return tgt_encode_pattern(row, parse_sac_operands); }
