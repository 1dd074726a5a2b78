// Three operand steps that the ALU, compare and bit encoders share with the
// other encoder families.
#pragma once

#include <cstdint>

#include "paasmquodra.h"

// Applies the size-suffix rule to nothing but itself and says whether ".b"
// was consumed: for the forms whose byte bit is bit 10 rather than bit 14.
// ".w" and no suffix are consumed as usual; ".d" stays pending.
bool tgt_take_byte_suffix();

// Marks the block's end when the register is the stack pointer W15.
void tgt_note_stack_pointer(TgtInstruction& ins, const RegisterEntry* reg);

// File-register forms: bit 13 set sends the result back to f.
constexpr uint32_t WORD_RESULT_TO_FILE = 0x2000;

// Where a file-register form puts its result, after f: ", WREG" sends it
// to W0 (bit 13 clear); nothing more sends it back to f (bit 13 set).
int tgt_parse_file_result(TgtInstruction& ins);
