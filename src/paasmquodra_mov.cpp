// The move instruction.
#include "paasmquodra.h"

int tgt_encode_mov(const MnemonicEntry* row) { tgt_no_encoder(row); }
