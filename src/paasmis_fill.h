// Delay-slot filling: with -b, the instructions that move from their
// scheduled place into the delay slots of a block's closing branch, and the
// counts that the listing's statistics page shows.
#pragma once

#include <cstdint>

struct SchedBlock;
struct SchedInstruction;

extern uint32_t delayed_branch_count;  // branches with delay slots
extern uint32_t delayed_taken_count;   // of those, probably taken
extern uint32_t delayed_filled_count;  // of those, with a slot filled

// Called for every block right after list scheduling.
void sched_fill_delay_slots(SchedBlock* block);
// Over the block's `count` instructions in scheduled order: 1 when every
// delay slot was filled, or one slot and a nop, else 0.
int sched_fill_all_slots(SchedBlock* block, SchedInstruction* const* array, int32_t count);
int sched_fill_one_slot(SchedBlock* block, SchedInstruction* const* array, int32_t count);
