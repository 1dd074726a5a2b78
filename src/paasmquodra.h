// Target instruction set and device database.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// ---- Device family and the device database -------------------------------

// The selected device family; 2 unless --mcpu selects another.
extern uint32_t device_family_flags;

struct GenericDevice {
    const char* name;
    uint32_t family;
};
extern const GenericDevice generic_device_table[4];

struct DeviceSelection {
    std::string name;
    uint32_t family = 0;
};

// The header of the open device database.
struct DeviceFileHeader {
    std::string ident;  // unscrambled
    char build = 0;
    uint16_t major = 0;
    uint16_t minor = 0;
    uint32_t field_count = 0;
    std::vector<uint32_t> field_sizes;
};

enum DeviceFieldKind : int {
    DEV_FIELD_STRING = 1,
    DEV_FIELD_BYTE = 2,
    DEV_FIELD_U16_PAIR = 3,
    DEV_FIELD_U32 = 4,
};

// One field as read, tagged with the kind it was read as.
struct DeviceField {
    int kind = 0;
    std::string text;
    uint8_t byte = 0;
    uint16_t pair[2] = {0, 0};
    uint32_t u32 = 0;
};

constexpr const char* dev_database_file = "rixa_device.info";
constexpr uint16_t dev_expected_major = 1;
constexpr uint16_t dev_expected_minor = 33;

int dev_parse_mcpu_option(const char* text);
bool dev_select_device(const char* name, DeviceSelection& result);
// The same with the database path given (the executable's directory,
// a separator and "rixa_device.info").
bool dev_select_device_at(const std::string& database_path, const char* name,
                          DeviceSelection& result);
// Opens the database (or the per-device file for `name`); `path` is left
// as the path last tried. Returns none when nothing could be opened.
DeviceFileHeader* dev_open_database(std::string& path, const char* name);
void dev_close_database();
int dev_seek_record(uint32_t index);
int dev_read_field(int kind, DeviceField& destination);
int dev_read_byte(uint8_t& value);
int dev_read_u16(uint16_t& value);
int dev_read_u32(uint32_t& value);
int dev_align_field_cursor();
uint64_t dev_field_size(int kind);
uint8_t dev_scramble_byte(uint8_t byte);
void dev_unscramble_string(char* text);
// Moves the file name of `path` one directory up.
void dev_strip_path(std::string& path);
void dev_print_option_help(int help);

// ---- Target tables --------------------------------------------------------

enum MnemonicFlag : uint32_t {
    MNEMONIC_ENDS_RUN = 0x1,
    MNEMONIC_FILLS_SLOT = 0x2,
};

enum ShadowKind : int32_t {
    SHADOW_NONE = 0,
    SHADOW_SKIP = 1,
    SHADOW_REPEAT = 2,
};

struct MnemonicEntry {
    const char* mnemonic_name;
    uint32_t base_word;
    uint16_t family_mask;
    uint16_t encoder_class;
    const uint32_t* alternate_words;
    uint16_t suffix_mask;
    int32_t slot_count;
    uint32_t mnemonic_flags;
    int32_t shadow_kind;
    int32_t not_repeatable_kind;
    uint32_t implicit_defs;
    uint32_t implicit_uses;
};

enum RegisterKind : uint16_t {
    REG_W = 0,
    REG_WREG = 1,
    REG_ACCUMULATOR = 2,
    REG_PAGE = 3,
};

struct RegisterEntry {
    const char* register_name;
    uint16_t register_kind;
    uint16_t register_number;
    uint32_t register_mask;
};

struct ConditionEntry {
    const char* condition_name;
    uint32_t condition_code;
};

struct SuffixEntry {
    const char* suffix_text;
    uint16_t suffix_bit;
};

struct SymbolKey;

// What the target installs into the generic assembler. Until a target is
// registered the tables are empty and the hooks are none.
using TargetEncodeHook = void (*)(const SymbolKey& label, const MnemonicEntry* row);
using TargetSuffixHook = const MnemonicEntry* (*)(const MnemonicEntry* row, const char* suffix);
using TargetAvailableHook = int (*)(int row);

extern const MnemonicEntry* target_mnemonics;
extern int target_mnemonic_count;
extern const RegisterEntry* target_registers;
extern int target_register_count;
extern const ConditionEntry* target_conditions;
extern int target_condition_count;
extern TargetEncodeHook target_encode_hook;
extern TargetSuffixHook target_suffix_hook;
extern TargetAvailableHook target_available_hook;
