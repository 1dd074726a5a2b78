// Scheduler recording.
#include "paasmis.h"

Symbol* branch_probability_symbol = nullptr;

void sched_begin_pass() {}
void sched_record_instruction(int32_t, const ResourcePair&, const ResourcePair&) {}
void sched_record_branch(int32_t, int32_t, const ResourcePair&, const ResourcePair&) {}
void sched_record_label(Symbol*) {}
void sched_end_block() {}
