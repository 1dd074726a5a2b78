// Branches, calls, loops and returns: RCALL, BRA and PBRA, DO, CALL and
// GOTO, REPEAT, RETLW and PRETLW. What sets these encoders apart is what
// they tell the two optimisers: which of them end a scheduling block (with
// how many delay slots and which taken probability), and which may stay
// inside an abstracted sequence, end it, or close it as its last
// instruction. Their hazard pair always stays empty.
#include <cstring>

#include "paasmis.h"
#include "paasmlex.h"
#include "paasmmatch.h"
#include "paasmquodra.h"
#include "paasmquodra_alu.h"
#include "paasmsym.h"

namespace {

// The families whose register forms of RCALL, BRA and GOTO, whose CALL.L
// and GOTO.L, and whose 15-bit DO and REPEAT counts differ.
constexpr uint32_t FAMILY_EXTENDED_BRANCHES = 0x60;
// The families without the accumulator-saturation conditions of BRA.
constexpr uint32_t FAMILY_NO_ACCUMULATOR_CONDITIONS = 0x04;

constexpr uint32_t GOTO_BASE_WORD = 0x040000;
constexpr uint32_t RETLW_BYTE_BIT = 0x4000;
// Bit 14 of a conditional BRA: set for a backward branch of up to 16,384
// words (and for a forward one of 16,384 words or more).
constexpr uint32_t BRA_BACKWARD_BIT = 0x4000;
constexpr int RETLW_LITERAL_POSITION = 4;
constexpr int RETLW_LITERAL_WIDTH = 10;

constexpr int32_t BRA_DELAY_SLOTS = 2;
constexpr int32_t RETLW_DELAY_SLOTS = 1;
constexpr int32_t PROBABILITY_ALWAYS = 100;
constexpr int32_t PROBABILITY_LIKELY = 75;    // a conditional branch that jumps back
constexpr int32_t PROBABILITY_UNLIKELY = 25;  // one that jumps forward

// Offsets of a relative target: from the instruction after a one-word
// branch, and from the instruction after the two-word DO.
constexpr int32_t NEXT_AFTER_ONE_WORD = 2;
constexpr int32_t NEXT_AFTER_DO = 4;

constexpr int MARK_BRANCH_TARGET = 1;
constexpr int MARK_LOOP_END = 2;  // a branch target that is also DO's loop end
constexpr int LEAVE_TARGET_UNMARKED = 0;

bool family_has(uint32_t bits) { return (device_family_flags & bits) != 0; }

// Width of the loop count of DO and REPEAT.
int count_width() { return family_has(FAMILY_EXTENDED_BRANCHES) ? 15 : 14; }

// The register-pair field of CALL.L and GOTO.L: the upper register of the
// pair in bits 11 to 14.
uint32_t field_upper_register(uint32_t n) { return n << 11; }

// The condition of a conditional BRA in bits 16 to 23.
uint32_t field_condition(uint32_t code) { return code << 16; }

bool is_setjmp(const Symbol* symbol) { return symbol != nullptr && std::strcmp(symbol->name, "_setjmp") == 0; }

bool is_runtime_routine(const Symbol* symbol) { return symbol != nullptr && tgt_is_runtime_helper(symbol) != 0; }

// The conditions "oa", "ob", "sa" and "sb".
bool is_accumulator_condition(const ConditionEntry* condition) {
    const char* name = condition->condition_name;
    return (name[0] == 'o' || name[0] == 's') && (name[1] == 'a' || name[1] == 'b') && name[2] == '\0';
}

void report_branch(TgtInstruction& ins, int32_t slots, int32_t probability) {
    ins.sched_report = SCHED_REPORT_BRANCH;
    ins.branch_slots = slots;
    ins.branch_probability = probability;
}

// The taken probability the source gives with ___BP___, 0 for none.
int32_t source_probability() {
    return static_cast<int32_t>(sym_switch_word(branch_probability_symbol));
}

// Tries a working register operand, which the instruction then reads;
// when none parses, the operand is taken as a target instead.
bool try_w_register(TgtInstruction& ins, const RegisterEntry*& reg) {
    if (tgt_parse_w_register(reg) != 0) return false;
    ins.arch.uses |= reg->register_mask;
    return true;
}

// The register forms of RCALL and BRA: the target is in Wn, the word
// depends on the family, and the abstraction block ends.
bool try_register_transfer(TgtInstruction& ins, const MnemonicEntry* row) {
    const RegisterEntry* reg = nullptr;
    if (!try_w_register(ins, reg)) return false;
    ins.words[0] = row->alternate_words[family_has(FAMILY_EXTENDED_BRANCHES) ? 1 : 0] | reg->register_number;
    ins.ends_block = 1;
    return true;
}

// The register forms of DO and REPEAT: the count is read from Wn.
int parse_count_register(TgtInstruction& ins, const MnemonicEntry* row) {
    const RegisterEntry* reg = nullptr;
    int status = tgt_parse_w_register(reg);
    if (status == 0) {
        ins.words[0] = row->alternate_words[0] | reg->register_number;
        ins.arch.uses |= reg->register_mask;
        tgt_note_stack_pointer(ins, reg);
    }
    return status;
}

}  // namespace

int tgt_encode_rcall(const MnemonicEntry* row) {
    TgtInstruction ins;
    tgt_begin_instruction(ins, row);
    if (!try_register_transfer(ins, row)) {
        ins.status = tgt_parse_branch_target(ins.words[0], NEXT_AFTER_ONE_WORD, ins.ends_block, ins.relocation,
                                             LEAVE_TARGET_UNMARKED, row->mnemonic_name);
        // A call of a runtime routine stays inside an abstraction run.
        if (ins.ends_block != 0 && is_runtime_routine(ins.relocation)) ins.ends_block = 0;
    }
    // A call to a known routine continues the scheduling block; one whose
    // target is unknown, or that may come back twice, ends it.
    if (ins.relocation == nullptr || is_setjmp(ins.relocation)) report_branch(ins, 0, 0);
    return tgt_finish_instruction(ins);
}

namespace {

// Whether a branch target stays where it is when the branch moves: a
// label, an address or a symbol of elsewhere, as opposed to a place in the
// section that no label names (the parser ends the block for an address or
// an outside target, and hands back the label otherwise).
bool names_its_target(const TgtInstruction& ins) { return ins.relocation != nullptr || ins.ends_block != 0; }

}  // namespace

int tgt_encode_bra(const MnemonicEntry* row) {
    TgtInstruction ins;
    tgt_begin_instruction(ins, row);
    int32_t probability = PROBABILITY_ALWAYS;
    bool to_label = false;
    if (current_token.code == TOK_CONDITION) {
        const ConditionEntry* condition = lex_token_condition();
        probability = source_probability();
        ins.arch.uses |= RES_STATUS;
        if (family_has(FAMILY_NO_ACCUMULATOR_CONDITIONS) && is_accumulator_condition(condition)) {
            ins.status = 13;
        } else {
            lex_next_token();
            ins.words[0] = field_condition(condition->condition_code);
            ins.status = match_expect_comma();
            if (ins.status == 0) {
                ins.status = tgt_parse_branch_target(ins.words[0], NEXT_AFTER_ONE_WORD, ins.ends_block,
                                                     ins.relocation, MARK_BRANCH_TARGET, row->mnemonic_name);
                if (probability == 0)
                    probability = (ins.words[0] & BRA_BACKWARD_BIT) != 0 ? PROBABILITY_LIKELY : PROBABILITY_UNLIKELY;
                to_label = names_its_target(ins);
            }
        }
    } else if (try_register_transfer(ins, row)) {
        to_label = true;  // the register holds the target, wherever the branch stands
    } else {
        ins.status = tgt_parse_branch_target(ins.words[0], NEXT_AFTER_ONE_WORD, ins.ends_block, ins.relocation,
                                             MARK_BRANCH_TARGET, row->mnemonic_name);
        to_label = names_its_target(ins);
        // A jump to a runtime routine closes the abstraction block as its
        // last instruction.
        if (ins.ends_block != 0 && is_runtime_routine(ins.relocation)) {
            ins.ends_block = 0;
            ins.record_then_end = 1;
        }
    }
    // Filling the delay slots moves the branch up; a target that names no
    // label (BRA .+4 over a table, an offset from the branch itself) would
    // then be reached from elsewhere, so such a branch keeps no slots to
    // fill.
    report_branch(ins, to_label || ins.status != 0 ? BRA_DELAY_SLOTS : 0, probability);
    return tgt_finish_instruction(ins);
}

int tgt_encode_do(const MnemonicEntry* row) {
    TgtInstruction ins;
    tgt_begin_instruction(ins, row);
    ins.word_count = 2;
    ins.words[1] = 0;
    if (current_token.code == TOK_HASH) {
        lex_next_token();
        ins.status = tgt_parse_literal(ins.words[0], &ins.relocation, count_width(), 0);
    } else {
        ins.status = parse_count_register(ins, row);
    }
    if (ins.status == 0) ins.status = match_expect_comma();
    if (ins.status == 0) {
        Symbol* loop_end = nullptr;
        ins.status = tgt_parse_branch_target(ins.words[1], NEXT_AFTER_DO, ins.ends_block, loop_end,
                                             MARK_LOOP_END, row->mnemonic_name);
        if (loop_end != nullptr) ins.relocation = loop_end;
    }
    // The loop's body repeats: no instruction may move into it or out of
    // it, so DO ends the scheduling block like a branch without slots.
    report_branch(ins, 0, 0);
    return tgt_finish_instruction(ins);
}

int tgt_encode_call_goto(const MnemonicEntry* row) {
    TgtInstruction ins;
    tgt_begin_instruction(ins, row);
    const bool is_goto = row->base_word == GOTO_BASE_WORD;
    const bool extended = family_has(FAMILY_EXTENDED_BRANCHES);
    const RegisterEntry* reg = nullptr;
    if (try_w_register(ins, reg)) {
        const uint32_t n = reg->register_number;
        tgt_note_stack_pointer(ins, reg);
        if (extended && (pending_suffix & 0x0FF8) == SUFFIX_L) {
            // CALL.L and GOTO.L take an even-odd register pair.
            if ((n & 1) != 0) {
                ins.status = 14;
                ins.words[0] = 0;
            } else {
                ins.words[0] = row->alternate_words[1] | n | field_upper_register(n + 1);
            }
            pending_suffix &= ~SUFFIX_L;
        } else if (is_goto && extended) {
            ins.words[0] = row->alternate_words[2] | n;
        } else {
            ins.words[0] = row->alternate_words[0] | n;
        }
        report_branch(ins, 0, 0);
    } else {
        ins.word_count = 2;
        uint32_t lo = 0;
        uint32_t hi = 0;
        ins.status = tgt_parse_program_address(lo, hi, &ins.relocation);
        ins.words[0] = lo | row->base_word;
        ins.words[1] = hi;
        if (is_goto || is_setjmp(ins.relocation)) report_branch(ins, 0, 0);
        // A call of a runtime routine is recorded inside the run.
        if (!is_goto && is_runtime_routine(ins.relocation)) ins.ends_block = 0;
    }
    // A GOTO is the last instruction of its abstraction block.
    if (is_goto) ins.record_then_end = 1;
    return tgt_finish_instruction(ins);
}

int tgt_encode_repeat(const MnemonicEntry* row) {
    TgtInstruction ins;
    tgt_begin_instruction(ins, row);
    if (current_token.code == TOK_HASH) {
        ins.status = match_expect_immediate();
        if (ins.status == 0) ins.status = tgt_parse_literal(ins.words[0], &ins.relocation, count_width(), 0);
    } else {
        ins.status = parse_count_register(ins, row);
    }
    return tgt_finish_instruction(ins);
}

int tgt_encode_retlw(const MnemonicEntry* row) {
    TgtInstruction ins;
    tgt_begin_instruction(ins, row);
    ins.status = match_expect_immediate();
    if (ins.status == 0) {
        const uint32_t size = pending_suffix & SUFFIX_SIZE_BITS;
        if (size == SUFFIX_B) {
            pending_suffix &= ~SUFFIX_SIZE_BITS;
            ins.words[0] |= RETLW_BYTE_BIT;
            ins.status = tgt_parse_byte_literal(ins.words[0], &ins.relocation, RETLW_LITERAL_POSITION);
        } else {
            // ".d" has no form here and stays pending, to be warned about.
            if (size != SUFFIX_D) pending_suffix &= ~SUFFIX_SIZE_BITS;
            ins.status = tgt_parse_literal(ins.words[0], &ins.relocation, RETLW_LITERAL_WIDTH, RETLW_LITERAL_POSITION);
        }
    }
    if (ins.status == 0) ins.status = match_expect_comma();
    if (ins.status == 0) {
        const RegisterEntry* reg = nullptr;
        ins.status = tgt_parse_w_register(reg);
        if (ins.status == 0) {
            ins.words[0] |= reg->register_number;
            ins.arch.defs |= reg->register_mask;
            tgt_note_stack_pointer(ins, reg);
        }
    }
    report_branch(ins, RETLW_DELAY_SLOTS, PROBABILITY_ALWAYS);
    // The return closes its abstraction block as the last instruction.
    ins.record_then_end = 1;
    return tgt_finish_instruction(ins);
}
