// Word fields and operand helpers shared by the divide, multiply, stack,
// compare, exchange, byte-swap and bit-scan encoders. Everything here has
// internal linkage, so that other encoder families may name their own
// helpers alike without clashing at link time.
#pragma once

#include <cstdint>

#include "paasmexpr.h"
#include "paasmlex.h"
#include "paasmquodra.h"
#include "paasmquodra_alu.h"
#include "paasmquodra_operand.h"
#include "paasmsym.h"

// Register fields of the instruction word: the source register in bits 0
// to 3, the destination register in bits 7 to 10, the base register in
// bits 11 to 14.
static constexpr uint32_t misc_field_ws(uint32_t n) { return n; }
static constexpr uint32_t misc_field_wd(uint32_t n) { return n << 7; }
static constexpr uint32_t misc_field_wb(uint32_t n) { return n << 11; }

// Bits 5 and 6: the operand is a short literal, not an address.
static constexpr uint32_t MISC_LITERAL_FORM = 0x60;

static constexpr uint32_t MISC_W0 = 0x0001;
static constexpr uint32_t MISC_W1 = 0x0002;
static constexpr uint32_t MISC_W2 = 0x0004;
static constexpr uint32_t MISC_W3 = 0x0008;
static constexpr uint32_t MISC_W14 = 0x4000;
static constexpr uint32_t MISC_W15 = 0x8000;
static constexpr uint32_t MISC_STACK_POINTER_NUMBER = 15;

// The device families whose multiply can target an accumulator and whose
// CP takes an 8-bit literal.
static constexpr uint32_t MISC_FAMILY_WIDE_FORMS = 0x60;

// A working register and the register after it, the pair that holds a
// 32-bit value. W15 has no successor among the working registers: its
// pair is W15 alone, never reaching into the accumulator bits above.
static inline uint32_t misc_register_pair(const RegisterEntry* reg) {
    uint32_t mask = reg->register_mask;
    if (reg->register_kind == REG_W && reg->register_number < MISC_STACK_POINTER_NUMBER) mask |= mask << 1;
    return mask;
}

// A working register operand on its own; W15 ends the abstraction block.
static inline int misc_parse_w_operand(TgtInstruction& ins, const RegisterEntry*& reg) {
    int status = tgt_parse_w_register(reg);
    if (status == 0) tgt_note_stack_pointer(ins, reg);
    return status;
}


