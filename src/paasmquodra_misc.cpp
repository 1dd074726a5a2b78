// Divide, multiply, stack, file skip, compare, link, exchange, byte swap and bit scan encoders.
#include "paasmquodra.h"

int tgt_encode_div(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_divf(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_mul(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_lnk(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_exch(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_bit_scan_extend(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_bsw(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_push_pop(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_file_skip(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_cp(const MnemonicEntry* row) { tgt_no_encoder(row); }
