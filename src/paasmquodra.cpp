// The target's entry for one instruction statement: the label and suffix
// checks, the dispatch on the row's encoder class, and the shared start and
// finish of every encoder.
#include "paasmquodra.h"

#include <iterator>

#include "paasmdiag.h"
#include "paasmexpr.h"
#include "paasmis.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmpa.h"
#include "paasmsym.h"

uint32_t pending_suffix = 0;

namespace {

// The encoder of class n is entry n - 1.
constexpr TgtEncoder class_encoders[34] = {
    tgt_encode_no_operand,           // 1
    tgt_encode_cp0,                  // 2
    tgt_encode_clr_setm,             // 3
    tgt_encode_literal_only,         // 4
    tgt_encode_wn_only,              // 5
    tgt_encode_unary,                // 6
    tgt_encode_compare_skip_branch,  // 7
    tgt_encode_alu,                  // 8
    tgt_encode_shift,                // 9
    tgt_encode_bit_modify,           // 10
    tgt_encode_bit_test,             // 11
    tgt_encode_mov,                  // 12
    tgt_encode_div,                  // 13
    tgt_encode_divf,                 // 14
    tgt_encode_mul,                  // 15
    tgt_encode_lnk,                  // 16
    tgt_encode_repeat,               // 17
    tgt_encode_retlw,                // 18
    tgt_encode_exch,                 // 19
    tgt_encode_bit_scan_extend,      // 20
    tgt_encode_bsw,                  // 21
    tgt_encode_rcall,                // 22
    tgt_encode_call_goto,            // 23
    tgt_encode_push_pop,             // 24
    tgt_encode_file_skip,            // 25
    tgt_encode_cp,                   // 26
    tgt_encode_bra,                  // 27
    tgt_encode_do,                   // 28
    tgt_encode_mac,                  // 29
    tgt_encode_ed,                   // 30
    tgt_encode_movsac,               // 31
    tgt_encode_sftac,                // 32
    tgt_encode_lac,                  // 33
    tgt_encode_sac,                  // 34
};

// Where the internal error of a row without an encoder is reported from.
constexpr const char* tgt_source_name = "../src/paasmquodra";
constexpr int tgt_dispatch_line = 1430;

constexpr int WARN_EXTRA_CHARACTERS = 2;
constexpr int WARN_LABEL_DISCARDED = 3;
constexpr int WARN_SUFFIX_NO_EFFECT = 7;

bool at_statement_end() {
    return current_token.code == TOK_END_OF_STATEMENT || current_token.code == TOK_END_OF_SOURCE;
}

TgtEncoder encoder_of(const MnemonicEntry* row) {
    unsigned int encoder_class = row->encoder_class;
    if (encoder_class < 1 || encoder_class > std::size(class_encoders))
        diag_fatal(1, tgt_source_name, tgt_dispatch_line);
    return class_encoders[encoder_class - 1];
}

}  // namespace


void tgt_begin_instruction(TgtInstruction& ins, const MnemonicEntry* row) {
    ins = TgtInstruction{};
    ins.row = row;
    ins.ends_block = (row->mnemonic_flags & MNEMONIC_ENDS_RUN) != 0 ? 1 : 0;
    ins.slot_count = (row->mnemonic_flags & MNEMONIC_FILLS_SLOT) != 0 ? row->slot_count : -1;
    ins.arch.defs = row->implicit_defs;
    ins.arch.uses = row->implicit_uses;
    ins.words[0] = row->base_word;
    location_counter_uses = 0;
    lex_next_token();
}

int tgt_finish_instruction(TgtInstruction& ins) {
    // The hazard check reads the section's last hazard definitions, which
    // the scheduler's recorder then replaces with this instruction's.
    tgt_check_raw_hazard(ins.hazard.uses);
    if (ins.sched_report == SCHED_REPORT_BRANCH)
        sched_record_branch(ins.branch_slots, ins.branch_probability, ins.arch, ins.hazard);
    else
        sched_record_instruction(ins.slot_count, ins.arch, ins.hazard);
    // The abstraction recorder takes the address from the location
    // counter, so it runs before the words are emitted.
    if (ins.ends_block != 0) {
        pa_watch_line_table();
        pa_end_block();
    } else {
        if (ins.word_count == 2)
            pa_record_two_words(ins.words, ins.relocation);
        else
            pa_record_one_word(ins.words[0], ins.relocation);
        if (ins.record_then_end != 0) pa_end_block();
    }
    if (ins.word_count == 2)
        omf_emit_longs(2, ins.words);
    else
        omf_emit_long(ins.words[0]);
    return ins.status;
}

int tgt_encode_pattern(const MnemonicEntry* row, TgtOperandParser operands) {
    TgtInstruction ins;
    tgt_begin_instruction(ins, row);
    ins.status = operands(ins);
    return tgt_finish_instruction(ins);
}

void tgt_assemble_instruction(const SymbolKey& label, const MnemonicEntry* row) {
    if (label.name != nullptr) diag_warning(WARN_LABEL_DISCARDED);

    // The suffix of this statement only, whatever an earlier statement
    // that ended in a fatal error may have left.
    pending_suffix = lex_token_suffix();
    if ((pending_suffix & ~static_cast<uint32_t>(row->suffix_mask)) != 0) {
        diag_warning(WARN_SUFFIX_NO_EFFECT);
        pending_suffix = 0;
    }

    int status = encoder_of(row)(row);

    if (status != 0)
        diag_error(status);
    else if (!at_statement_end())
        diag_warning(WARN_EXTRA_CHARACTERS);

    // A suffix that no form consumed has had no effect.
    if (pending_suffix != 0) diag_warning(WARN_SUFFIX_NO_EFFECT);
    pending_suffix = 0;

    current_section->instruction_count += 1;
}
