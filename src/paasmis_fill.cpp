// Delay-slot filling.
#include "paasmis_fill.h"

uint32_t delayed_branch_count = 0;
uint32_t delayed_taken_count = 0;
uint32_t delayed_filled_count = 0;
