// Classes without operands or with one simple operand.
#include "paasmquodra.h"

int tgt_encode_no_operand(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_cp0(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_clr_setm(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_literal_only(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_wn_only(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_unary(const MnemonicEntry* row) { tgt_no_encoder(row); }
