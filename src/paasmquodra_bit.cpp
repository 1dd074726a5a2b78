// Bit modify and bit test encoders (classes 10 and 11).
//
// Both classes take the bit in a register operand (any addressing mode,
// bit number as a literal, or for BTST in a W register) or in a file
// register (bit number of the byte or word at f). The first operand decides:
// anything that is neither a register (or a name equated to one) nor '[' is
// a file register.
#include <cstring>

#include "paasmdriver.h"
#include "paasmlex.h"
#include "paasmmatch.h"
#include "paasmquodra_alu.h"
#include "paasmquodra_operand.h"
#include "paasmsym.h"

namespace {

// ---- Bit fields ---------------------------------------------------------------------

constexpr int BIT_NUMBER_POSITION = 12;  // #bit4 of the register form, bits 12-15
constexpr int BIT_NUMBER_WIDTH = 4;
constexpr uint32_t field_wb(uint32_t n) { return n << 11; }        // BTST Ws,Wb: bits 11-14
constexpr uint32_t field_file_bit(uint32_t n) { return n << 13; }  // file form: bits 13-15

constexpr uint32_t WORD_BYTE_BIT10 = 0x0400;  // class 10 register form: .b
constexpr uint32_t WORD_ODD_BYTE = 0x0001;    // file form: bits 8-15 of the word at f
constexpr uint32_t WORD_Z_LITERAL = 0x0800;   // BTST/BTSTS #bit4: Z rather than C
constexpr uint32_t WORD_Z_REGISTER = 0x8000;  // BTST Ws,Wb: Z rather than C
constexpr uint32_t OPCODE_BITS = 0xFF0000;    // what the register-bit word replaces

constexpr uint32_t FAMILY_BYTE_TESTS = 0x01;  // the family whose bit tests take .b
constexpr int32_t BYTE_BIT_LIMIT = 7;
constexpr int32_t WORD_BIT_LIMIT = 15;

// The status register's address; setting or clearing a bit there writes
// the status register.
constexpr const char* STATUS_REGISTER_NAME = "_SR";

// The test rows read their operand; BTSTS also writes it back.
int register_role(const MnemonicEntry* row, bool modify) {
    return modify || std::strcmp(row->mnemonic_name, "BTSTS") == 0 ? ROLE_BOTH : ROLE_SOURCE;
}

// The size suffix of the register form.
void bit_register_size(TgtInstruction& ins, bool modify) {
    if (modify) {
        if (tgt_take_byte_suffix()) ins.words[0] |= WORD_BYTE_BIT10;
        return;
    }
    // A bit test reads the whole word; ".b" is merely accepted where the
    // family writes it.
    if ((pending_suffix & SUFFIX_SIZE_BITS) != SUFFIX_B)
        tgt_take_byte_suffix();
    else if ((device_family_flags & FAMILY_BYTE_TESTS) != 0)
        pending_suffix &= ~SUFFIX_SIZE_BITS;
}

// ".c" clears the flag bit, ".z" sets it; with neither, Z is the default on
// the rows that accept both.
void bit_flag_suffix(TgtInstruction& ins, uint32_t z_bit) {
    if ((pending_suffix & SUFFIX_L) != 0) {
        pending_suffix &= ~SUFFIX_L;
        return;
    }
    if ((pending_suffix & SUFFIX_Z) != 0) {
        pending_suffix &= ~SUFFIX_Z;
        ins.words[0] |= z_bit;
        return;
    }
    if ((ins.row->suffix_mask & (SUFFIX_L | SUFFIX_Z)) == (SUFFIX_L | SUFFIX_Z)) ins.words[0] |= z_bit;
}

// Ws,#bit4 and BTST Ws,Wb, the source address already parsed.
int bit_register_form(TgtInstruction& ins, bool modify) {
    uint32_t& word = ins.words[0];
    bit_register_size(ins, modify);
    int status = match_expect_comma();
    if (status != 0) return status;
    if (current_token.code == TOK_HASH) {
        lex_next_token();
        if (!modify) bit_flag_suffix(ins, WORD_Z_LITERAL);
        return tgt_parse_literal(word, &ins.relocation, BIT_NUMBER_WIDTH, BIT_NUMBER_POSITION);
    }
    uint32_t register_bit_word = tgt_alternate_word(ins.row, 1);
    if (modify || register_bit_word == 0) return 1;
    word = (word & ~OPCODE_BITS) | (register_bit_word & OPCODE_BITS);
    bit_flag_suffix(ins, WORD_Z_REGISTER);
    const RegisterEntry* wb = nullptr;
    status = tgt_parse_w_register(wb);
    if (status != 0) return status;
    word |= field_wb(wb->register_number);
    ins.arch.uses |= wb->register_mask;
    tgt_note_stack_pointer(ins, wb);
    return 0;
}

// f,#bit: the bit of the byte at f, or of the word at f.
int bit_file_form(TgtInstruction& ins, bool modify) {
    uint32_t& word = ins.words[0];
    word = tgt_alternate_word(ins.row, 0);
    int status = tgt_parse_file_register(word, &ins.relocation, 0);
    ins.arch.uses |= RES_DATA_MEMORY;
    if (modify) ins.arch.defs |= RES_DATA_MEMORY;
    if (status == 0) status = match_expect_comma();
    if (status == 0) status = match_expect_immediate();
    int32_t bit = 0;
    if (status == 0) status = match_eval_absolute_integer(bit);
    if (status != 0) return status;
    int32_t limit = tgt_take_byte_suffix() ? BYTE_BIT_LIMIT : WORD_BIT_LIMIT;
    if (bit < 0 || bit > limit) return 21;
    word |= field_file_bit(static_cast<uint32_t>(bit) & 7u);
    if (bit > BYTE_BIT_LIMIT) word |= WORD_ODD_BYTE;
    // Only the modifying rows write the status register through its address.
    if (modify && pass_number >= 2 && ins.relocation != nullptr &&
        std::strcmp(ins.relocation->name, STATUS_REGISTER_NAME) == 0) {
        ins.arch.defs |= RES_STATUS;
        ins.arch.uses |= RES_STATUS;
    }
    return 0;
}

int bit_operands(TgtInstruction& ins, bool modify) {
    // A first operand that is no register at all is a file register; a
    // register of another kind is reported as such.
    if (!tgt_address_ahead()) return bit_file_form(ins, modify);
    int status = tgt_parse_effective_address(ins.words[0], ins.arch, ins.hazard, 0, ins.ends_block,
                                             register_role(ins.row, modify));
    if (status != 0) return status;
    return bit_register_form(ins, modify);
}

int bit_modify_operands(TgtInstruction& ins) { return bit_operands(ins, true); }
int bit_test_operands(TgtInstruction& ins) { return bit_operands(ins, false); }

}  // namespace

int tgt_encode_bit_modify(const MnemonicEntry* row) { return tgt_encode_pattern(row, bit_modify_operands); }

int tgt_encode_bit_test(const MnemonicEntry* row) { return tgt_encode_pattern(row, bit_test_operands); }
