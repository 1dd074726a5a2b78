// The target's entry for one instruction statement: the label and suffix
// checks, the dispatch on the row's encoder class, and the shared start and
// finish of every encoder.
#include "paasmquodra.h"

#include "paasmdiag.h"

uint32_t pending_suffix = 0;

void tgt_no_encoder(const MnemonicEntry*) { diag_fatal(1, "paasmquodra", 1430); }

void tgt_begin_instruction(TgtInstruction& ins, const MnemonicEntry* row) { ins.row = row; }
int tgt_finish_instruction(TgtInstruction& ins) { return ins.status; }
void tgt_assemble_instruction(const SymbolKey&, const MnemonicEntry* row) { tgt_no_encoder(row); }
