// Branches, calls, loops and returns.
#include "paasmquodra.h"

int tgt_encode_repeat(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_retlw(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_rcall(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_call_goto(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_bra(const MnemonicEntry* row) { tgt_no_encoder(row); }
int tgt_encode_do(const MnemonicEntry* row) { tgt_no_encoder(row); }
