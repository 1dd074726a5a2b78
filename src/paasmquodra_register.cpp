// The target's registration state, read by the generic lookups and the
// hand-over of instruction statements, and the two callbacks through which
// the lookups ask the target about device availability and suffixes.
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "paasmlex.h"
#include "paasmmatch.h"
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

namespace {

constexpr int mnemonic_count = static_cast<int>(std::size(mnemonic_table));
constexpr int suffix_count = static_cast<int>(std::size(suffix_table));

// The suffix table is searched as a table of {text, value} rows; the two
// records must keep the same layout for that.
static_assert(std::is_standard_layout_v<SuffixEntry> && std::is_standard_layout_v<NamedValue>);
static_assert(sizeof(SuffixEntry) == sizeof(NamedValue));
static_assert(offsetof(SuffixEntry, suffix_text) == offsetof(NamedValue, name));
static_assert(offsetof(SuffixEntry, suffix_bit) == offsetof(NamedValue, value));

// Only the families with the long call and jump forms know ".l".
constexpr uint32_t LONG_FORM_FAMILIES = 0x20u | 0x40u;

}  // namespace

void tgt_register_target() {
    target_conditions = condition_code_table;
    target_condition_count = static_cast<int>(std::size(condition_code_table));
    target_registers = register_table;
    target_register_count = static_cast<int>(std::size(register_table));
    target_mnemonics = mnemonic_table;
    target_mnemonic_count = mnemonic_count;
    target_encode_hook = tgt_assemble_instruction;
    target_suffix_hook = tgt_parse_suffix;
    target_available_hook = tgt_is_mnemonic_available;
}

int tgt_is_mnemonic_available(int row) {
    if (row < 0 || row >= mnemonic_count) return 0;
    return (mnemonic_table[row].family_mask & device_family_flags) != 0 ? 1 : 0;
}

const MnemonicEntry* tgt_parse_suffix(const MnemonicEntry* row, const char* suffix) {
    if (row == nullptr || suffix == nullptr) return nullptr;
    if (std::strcmp(suffix, ".l") == 0 && (device_family_flags & LONG_FORM_FAMILIES) == 0) return nullptr;
    if (row->suffix_mask == 0) return nullptr;
    const NamedValue* found =
        match_find_name(suffix, reinterpret_cast<const NamedValue*>(suffix_table), suffix_count);
    if (found == nullptr) return nullptr;
    // A suffix the row does not accept still comes back; the statement
    // entry warns that it has no effect.
    lex_set_token_suffix(found->value);
    return row;
}
