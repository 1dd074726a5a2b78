// Classes without operands or with one simple operand: the no-operand
// instructions, CP0, CLR and SETM, the literal-only DISI and PWRSAV, DAW
// and SWAP on one register, and the unary operations.
#include "paasmexpr.h"
#include "paasmis.h"
#include "paasmlex.h"
#include "paasmmatch.h"
#include "paasmomf.h"
#include "paasmpa.h"
#include "paasmquodra.h"
#include "paasmquodra_alu.h"
#include "paasmquodra_operand.h"
#include "paasmsym.h"

namespace {

constexpr int ERR_SYNTAX = 1;

// Where the operands go in the word: a source address in bits 0 to 6, a
// destination address in bits 7 to 13.
constexpr int SOURCE_POSITION = 0;
constexpr int DESTINATION_POSITION = 7;
constexpr int FILE_REGISTER_POSITION = 0;

constexpr uint32_t CP0_REGISTER_BYTE_BIT = 0x0400;  // bit 10: CP0 of a register in bytes

// The words by which the no-operand class tells its instructions apart.
constexpr uint32_t WORD_RETURN = 0x060000;  // RETURN, PRETURN
constexpr uint32_t WORD_RETFIE = 0x064000;  // RETFIE, PRETFIE
constexpr uint32_t WORD_RESET = 0xFE0000;
constexpr uint32_t DISI_WORD = 0xFC0000;
constexpr uint32_t DISI_COUNT = 0x3FFF;  // the cycles DISI holds interrupts off, bits 0 to 13
constexpr uint32_t WORD_ULNK = 0xFA8000;

constexpr uint32_t W14 = 0x4000;
constexpr uint32_t W15 = 0x8000;

constexpr int32_t CERTAIN = 100;  // taken probability of an unconditional transfer

// Alternate-word slots of these classes.
constexpr int SLOT_FILE_FORM = 0;         // the file-register form (classes 2, 3, 6)
constexpr int SLOT_ACCUMULATOR_FORM = 1;  // CLR A or B
constexpr int SLOT_NEGATE_ACCUMULATOR = 2;  // NEG A or B
constexpr int SLOT_LITERAL_WIDTH = 0;     // class 4: the literal's width in bits


int parse_source(TgtInstruction& ins) {
    return tgt_parse_effective_address(ins.words[0], ins.arch, ins.hazard, SOURCE_POSITION, ins.ends_block,
                                       ROLE_SOURCE);
}

int parse_destination(TgtInstruction& ins, int role) {
    return tgt_parse_effective_address(ins.words[0], ins.arch, ins.hazard, DESTINATION_POSITION, ins.ends_block,
                                       role);
}

// f, in the file-register form of the row, with the byte bit.
int parse_file_form(TgtInstruction& ins, uint32_t extra_bits) {
    ins.words[0] = tgt_alternate_word(ins.row, SLOT_FILE_FORM) | extra_bits;
    tgt_apply_size_suffix(ins.words[0]);
    return tgt_parse_file_register(ins.words[0], &ins.relocation, FILE_REGISTER_POSITION);
}

// ---- CLR and SETM forms ---------------------------------------------------------------

// CLR A or B: the accumulator, then its prefetches and the write-back of
// the other accumulator.
int parse_clear_accumulator(TgtInstruction& ins) {
    uint32_t word = tgt_alternate_word(ins.row, SLOT_ACCUMULATOR_FORM);
    if (word == 0) return ERR_SYNTAX;
    ins.words[0] = word;
    const RegisterEntry* accumulator = nullptr;
    int status = tgt_parse_accumulator(&accumulator, ins.words[0], nullptr, &ins.arch.defs);
    if (status != 0) return status;
    uint32_t write_back = accumulator->register_mask == RES_ACCUMULATOR_A ? RES_ACCUMULATOR_B : RES_ACCUMULATOR_A;
    return tgt_parse_prefetch_operands(ins.words[0], ins.arch, ins.hazard, 0, write_back);
}

int parse_clear_register(TgtInstruction& ins, const RegisterEntry* reg) {
    switch (reg->register_kind) {
    case REG_W: {
        int status = parse_destination(ins, ROLE_DESTINATION);
        if (status != 0) return status;
        tgt_apply_size_suffix(ins.words[0]);
        return 0;
    }
    case REG_WREG:
        // The file form with f 0 and the result in WREG.
        ins.words[0] = tgt_alternate_word(ins.row, SLOT_FILE_FORM);
        tgt_apply_size_suffix(ins.words[0]);
        return tgt_parse_wreg(ins.arch.defs, ins.hazard.defs);
    case REG_ACCUMULATOR:
        return parse_clear_accumulator(ins);
    default:
        return ERR_SYNTAX;
    }
}

// ---- Unary forms ----------------------------------------------------------------------

// Ws or an indirect source, ',' and the destination address.
int parse_source_and_destination(TgtInstruction& ins) {
    int status = parse_source(ins);
    if (status != 0) return status;
    tgt_apply_size_suffix(ins.words[0]);
    status = match_expect_comma();
    if (status != 0) return status;
    return parse_destination(ins, ROLE_DESTINATION);
}

// f, with the result in f, or "f, WREG" with the result in W0.
int parse_unary_file_register(TgtInstruction& ins) {
    if (tgt_alternate_word(ins.row, SLOT_FILE_FORM) == 0) return ERR_SYNTAX;
    int status = parse_file_form(ins, 0);
    if (status != 0) return status;
    // With ", WREG" the memory is only read.
    if (current_token.code == TOK_COMMA) ins.arch.uses |= RES_DATA_MEMORY;
    return tgt_parse_file_result(ins);
}

// NEG A or B; the other unary rows have no accumulator form.
int parse_unary_accumulator(TgtInstruction& ins) {
    uint32_t word = tgt_alternate_word(ins.row, SLOT_NEGATE_ACCUMULATOR);
    if (word == 0) return ERR_SYNTAX;
    ins.words[0] = word;
    return tgt_parse_accumulator(nullptr, ins.words[0], &ins.arch, nullptr);
}

int unary_operands(TgtInstruction& ins) {
    if (const RegisterEntry* reg = tgt_register_ahead()) {
        if (reg->register_kind == REG_W) return parse_source_and_destination(ins);
        if (reg->register_kind == REG_ACCUMULATOR) return parse_unary_accumulator(ins);
        return ERR_SYNTAX;  // WREG or a page register
    }
    if (current_token.code == TOK_LBRACKET) return parse_source_and_destination(ins);
    return parse_unary_file_register(ins);
}

// ---- Operands of classes 2 to 6 ---------------------------------------------------------

// CP0 Ws in any addressing mode, or CP0 f.
int cp0_operands(TgtInstruction& ins) {
    if (!tgt_address_ahead()) {
        ins.arch.uses |= RES_DATA_MEMORY;
        return parse_file_form(ins, 0);
    }
    int status = parse_source(ins);
    if (status != 0) return status;
    // The register form keeps its byte bit in bit 10.
    if (tgt_take_byte_suffix()) ins.words[0] |= CP0_REGISTER_BYTE_BIT;
    return 0;
}

int clr_setm_operands(TgtInstruction& ins) {
    if (const RegisterEntry* reg = tgt_register_ahead()) return parse_clear_register(ins, reg);
    if (current_token.code != TOK_LBRACKET) {
        ins.arch.defs |= RES_DATA_MEMORY;
        return parse_file_form(ins, WORD_RESULT_TO_FILE);
    }
    // An indirect operand is read and written.
    int status = parse_destination(ins, ROLE_BOTH);
    if (status == 0) tgt_apply_size_suffix(ins.words[0]);
    return status;
}

// "#lit" in a field as wide as the row's first alternate word says.
// Nothing may move across the instruction that stops the processor
// (PWRSAV) or that holds interrupts off (DISI), so both end the scheduling
// block; the instructions that run while DISI holds interrupts off keep
// their places (at most one a cycle, one more for the cycle DISI's count
// may leave open).
int literal_only_operands(TgtInstruction& ins) {
    ins.sched_report = SCHED_REPORT_BRANCH;
    int status = match_expect_immediate();
    if (status != 0) return status;
    int width = static_cast<int>(tgt_alternate_word(ins.row, SLOT_LITERAL_WIDTH));
    status = tgt_parse_literal(ins.words[0], &ins.relocation, width, 0);
    if (status == 0 && ins.row->base_word == DISI_WORD)
        sched_keep_in_place(static_cast<int32_t>(ins.words[0] & DISI_COUNT) + 1);
    return status;
}

// One W register, read and written.
int wn_only_operands(TgtInstruction& ins) {
    const RegisterEntry* reg = nullptr;
    int status = tgt_parse_w_register(reg);
    if (status != 0) return status;
    ins.words[0] |= reg->register_number;
    tgt_apply_size_suffix(ins.words[0]);
    ins.arch.defs |= reg->register_mask;
    ins.arch.uses |= reg->register_mask;
    ins.hazard.defs |= reg->register_mask;
    tgt_note_stack_pointer(ins, reg);
    return 0;
}

}  // namespace

// ---- Class 1 ------------------------------------------------------------------------------

int tgt_encode_no_operand(const MnemonicEntry* row) {
    TgtInstruction ins;
    tgt_begin_instruction(ins, row);
    const uint32_t word = ins.words[0];

    // The abstraction hears of the instruction before it is emitted: it
    // takes the address from the location counter.
    if (ins.ends_block != 0) {
        pa_end_block();
    } else {
        pa_record_one_word(word, nullptr);
        if (word == WORD_RETURN) pa_end_block();
    }
    if (word == WORD_ULNK) {
        ins.hazard.uses = W14;
        ins.hazard.defs = W14 | W15;
    }
    omf_emit_long(word);
    tgt_check_raw_hazard(ins.hazard.uses);
    if (word == WORD_RETURN || word == WORD_RETFIE)
        sched_record_branch(1, CERTAIN, ins.arch, ins.hazard);
    else if (word == WORD_RESET)
        sched_record_branch(0, CERTAIN, ins.arch, ins.hazard);
    else
        sched_record_instruction(ins.slot_count, ins.arch, ins.hazard);
    return 0;
}

// ---- Classes 2 to 6 -------------------------------------------------------------------------

int tgt_encode_cp0(const MnemonicEntry* row) { return tgt_encode_pattern(row, cp0_operands); }
int tgt_encode_clr_setm(const MnemonicEntry* row) { return tgt_encode_pattern(row, clr_setm_operands); }
int tgt_encode_literal_only(const MnemonicEntry* row) { return tgt_encode_pattern(row, literal_only_operands); }
int tgt_encode_wn_only(const MnemonicEntry* row) { return tgt_encode_pattern(row, wn_only_operands); }
int tgt_encode_unary(const MnemonicEntry* row) { return tgt_encode_pattern(row, unary_operands); }
