// Delay-slot filling: with -b, the instructions that move from their
// scheduled place into the delay slots of a block's closing branch, and the
// counts that the listing's statistics page shows.
#pragma once

#include <cstdint>

struct SchedBlock;

extern uint32_t delayed_branch_count;  // branches with delay slots
extern uint32_t delayed_taken_count;   // of those, probably taken
extern uint32_t delayed_filled_count;  // of those, with a slot filled

// Called for every block right after list scheduling.
void sched_fill_delay_slots(SchedBlock* block);
