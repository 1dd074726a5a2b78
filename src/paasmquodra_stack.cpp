// The stack encoders: PUSH and POP, which are moves through the stack
// pointer W15 (to [W15++] and from [--W15]), the shadow-register forms
// PUSH.S and POP.S, and LNK, which builds a stack frame. None of them ever
// joins an abstraction run: their rows end it.
#include <cstring>

#include "paasmmatch.h"
#include "paasmquodra_misc.h"

namespace {

// The words of the forms that are not the row's own.
constexpr uint32_t PUSH_DOUBLE_WORD = 0xBE9F80;  // double move Wns to [W15++]
constexpr uint32_t POP_DOUBLE_WORD = 0xBE004F;   // double move [--W15] to Wnd
constexpr uint32_t PUSH_MOVE_WORD = 0x781F80;    // move to [W15++]
constexpr uint32_t POP_MOVE_WORD = 0x78004F;     // move from [--W15]
// The registers the shadow forms save and restore.
constexpr uint32_t SHADOW_REGISTERS = MISC_W0 | MISC_W1 | MISC_W2 | MISC_W3 | RES_STATUS;

// The move forms: an effective address, [Ws+Wb] included, or else a data
// address, which sits in bits 1 to 15 of the row's base word.
int stack_move_operand(TgtInstruction& ins, bool push) {
    uint32_t& word = ins.words[0];
    if (tgt_address_ahead()) {
        word = push ? PUSH_MOVE_WORD : POP_MOVE_WORD;
        int status = push ? tgt_parse_indexed_address(word, ins.arch, ins.hazard, 0, 15, ins.ends_block, ROLE_SOURCE)
                          : tgt_parse_indexed_address(word, ins.arch, ins.hazard, 7, 15, ins.ends_block,
                                                      ROLE_DESTINATION);
        if (status == 0) (push ? ins.hazard.defs : ins.hazard.uses) |= MISC_W15;
        return status;
    }
    word = ins.row->base_word;
    if (push) {
        ins.arch.uses |= RES_DATA_MEMORY;
        ins.hazard.defs |= MISC_W15;
    } else {
        ins.arch.defs |= RES_DATA_MEMORY;
        ins.hazard.uses |= MISC_W15;
    }
    return tgt_parse_data_address(word, &ins.relocation, 1);
}

// PUSH.D Wns and POP.D Wnd move the register pair Wn, Wn+1.
int stack_double_operand(TgtInstruction& ins, bool push) {
    const RegisterEntry* reg = nullptr;
    pending_suffix &= ~SUFFIX_D;
    ins.words[0] = push ? PUSH_DOUBLE_WORD : POP_DOUBLE_WORD;
    if (push)
        ins.hazard.defs |= MISC_W15;
    else
        ins.hazard.uses |= MISC_W15;
    if (int status = misc_parse_w_operand(ins, reg)) return status;
    uint32_t pair = misc_register_pair(reg);
    if (push) {
        ins.words[0] |= misc_field_ws(reg->register_number);
        ins.arch.uses |= pair;
    } else {
        ins.words[0] |= misc_field_wd(reg->register_number);
        ins.arch.defs |= pair;
        ins.hazard.defs |= pair;
    }
    return 0;
}

int stack_operands(TgtInstruction& ins) {
    const bool push = std::strcmp(ins.row->mnemonic_name, "PUSH") == 0;
    if (pending_suffix & SUFFIX_S) {
        // The shadow registers: no operand, no stack memory.
        pending_suffix &= ~SUFFIX_S;
        ins.words[0] = tgt_alternate_word(ins.row, 0);
        if (push) {
            ins.arch.uses |= SHADOW_REGISTERS;
        } else {
            ins.arch.defs |= SHADOW_REGISTERS;
            ins.hazard.defs |= SHADOW_REGISTERS;
        }
        return 0;
    }
    // Every other form moves the stack pointer and writes or reads the stack.
    ins.arch.defs |= MISC_W15;
    ins.arch.uses |= MISC_W15;
    (push ? ins.arch.defs : ins.arch.uses) |= RES_DATA_MEMORY;
    if (pending_suffix & SUFFIX_D) return stack_double_operand(ins, push);
    // ".w" is the move itself; ".b" stays pending, the move has no byte form.
    pending_suffix &= ~SUFFIX_W;
    return stack_move_operand(ins, push);
}

// LNK #lit14: the frame size. LNK pushes W14, copies W15 to it and moves W15.
int lnk_operands(TgtInstruction& ins) {
    ins.hazard.defs = MISC_W14 | MISC_W15;
    ins.hazard.uses = MISC_W15;
    if (int status = match_expect_immediate()) return status;
    return tgt_parse_literal(ins.words[0], &ins.relocation, 14, 0);
}

}  // namespace

int tgt_encode_push_pop(const MnemonicEntry* row) { return tgt_encode_pattern(row, stack_operands); }

int tgt_encode_lnk(const MnemonicEntry* row) { return tgt_encode_pattern(row, lnk_operands); }
