// Bit modify and bit test encoders.
#include "paasmquodra.h"

int tgt_encode_bit_modify(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_bit_test(const MnemonicEntry* row) { tgt_no_encoder(row); }
