// Instruction scheduling: what pass 2 records of the program's instructions
// and scheduling blocks.
#pragma once

#include <cstdint>

#include "paasmquodra.h"

struct Symbol;

// The symbol ___BP___: while non-zero, the taken probability of conditional branches.
extern Symbol* branch_probability_symbol;

void sched_begin_pass();
void sched_record_instruction(int32_t slots, const ResourcePair& arch, const ResourcePair& hazard);
void sched_record_branch(int32_t slots, int32_t probability, const ResourcePair& arch, const ResourcePair& hazard);
void sched_record_label(Symbol* symbol);
void sched_end_block();
