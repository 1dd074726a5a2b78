// The target's constant tables.
#include "paasmquodra.h"

const MnemonicEntry mnemonic_table[104] = {};
const RegisterEntry register_table[22] = {};
const ConditionEntry condition_code_table[22] = {};
const SuffixEntry suffix_table[17] = {};
const char* const runtime_helper_table[58] = {};

void tgt_register_target() {}
int tgt_is_mnemonic_available(int) { return 0; }
const MnemonicEntry* tgt_parse_suffix(const MnemonicEntry*, const char*) { return nullptr; }
