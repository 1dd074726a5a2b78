// DSP accumulator encoders.
#include "paasmquodra.h"

int tgt_encode_mac(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_ed(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_movsac(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_sftac(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_lac(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_sac(const MnemonicEntry* row) { tgt_no_encoder(row); }
