// Delay-slot filling: the counts that the listing's statistics page shows.
#pragma once

#include <cstdint>

extern uint32_t delayed_branch_count;  // branches with delay slots
extern uint32_t delayed_taken_count;   // of those, probably taken
extern uint32_t delayed_filled_count;  // of those, with a slot filled
