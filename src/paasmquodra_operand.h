// Bit fields and small helpers shared by the operand parsers of the
// target (registers and literals in paasmquodra_operand.cpp, addresses
// and branch targets in paasmquodra_address.cpp).
#pragma once

#include <cstdint>

// Whether values that refer to symbols are fitted into their fields now:
// from pass 2 on; pass 1 leaves such fields 0.
bool tgt_fitting_pass();

// The operator modifier of a literal whose expression ends in a keyword
// operator, already in bits 24 to 31; 0 for every other operator.
uint32_t tgt_operator_modifier(int32_t last_operator);

struct RegisterEntry;
// The register the current token stands for, without consuming it: a
// register token, or a name (symbol token or raw name) equated to a
// register; none otherwise. The forms that fall back to an address when the
// operand is no register decide by this before parsing, so a register of
// the wrong kind is reported as such rather than read again as an address.
const RegisterEntry* tgt_register_ahead();
// Whether the current token starts an effective address: a register or '['.
bool tgt_address_ahead();

struct ExprValue;
// The check of an absolute value for a field of `width` bits: an integer
// must be a signed or an unsigned number of that width (else 21), a
// complemented integer is taken unchecked, any other type is 14.
int tgt_check_absolute_field(const ExprValue& value, int width);

// An accumulator operand: A (0) or B (1) in bit 15.
constexpr uint32_t tgt_field_accumulator(uint32_t number) { return number << 15; }

// An effective address: a 3-bit addressing mode above a 4-bit register
// number, the seven bits placed at the caller's position.
constexpr uint32_t tgt_field_address(uint32_t mode, uint32_t reg, int position) {
    return ((mode << 4) | reg) << position;
}

// Addressing modes of an effective address.
enum AddressMode : uint32_t {
    MODE_DIRECT = 0,          // Wn
    MODE_INDIRECT = 1,        // [Wn]
    MODE_POST_DECREMENT = 2,  // [Wn--]
    MODE_POST_INCREMENT = 3,  // [Wn++]
    MODE_PRE_DECREMENT = 4,   // [--Wn]
    MODE_PRE_INCREMENT = 5,   // [++Wn]
    MODE_INDEXED = 6,         // [Wn+Wb]
};
