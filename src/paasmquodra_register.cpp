// The target's registration state, read by the generic lookups and the
// hand-over of instruction statements.
#include "paasmquodra.h"

const MnemonicEntry* target_mnemonics = nullptr;
int target_mnemonic_count = 0;
const RegisterEntry* target_registers = nullptr;
int target_register_count = 0;
const ConditionEntry* target_conditions = nullptr;
int target_condition_count = 0;
TargetEncodeHook target_encode_hook = nullptr;
TargetSuffixHook target_suffix_hook = nullptr;
TargetAvailableHook target_available_hook = nullptr;
