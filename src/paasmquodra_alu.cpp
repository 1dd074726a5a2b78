// ALU, shift and compare-and-skip/branch encoders.
#include "paasmquodra.h"

int tgt_encode_compare_skip_branch(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_alu(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_shift(const MnemonicEntry* row) { tgt_no_encoder(row); }
