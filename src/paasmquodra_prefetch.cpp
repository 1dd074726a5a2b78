// DSP operand lists: the X and Y prefetches, the accumulator write-back,
// and the operands of ED and EDAC.
#include "paasmquodra.h"

int tgt_parse_prefetch_operands(uint32_t&, ResourcePair&, ResourcePair&, int, uint32_t) { return 14; }
int tgt_parse_ed_operands(uint32_t&, ResourcePair&, ResourcePair&) { return 14; }
