// Target instruction set and device database.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ExprValue;
struct Symbol;

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
    // How many words alternate_words holds (0 with none); read them with
    // tgt_alternate_word, which answers 0 past the end.
    uint16_t alternate_count = 0;
};

// Alternate word `slot` of the row, or 0 (a form the row does not have)
// when the row has fewer words.
uint32_t tgt_alternate_word(const MnemonicEntry* row, int slot);

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

// ---- The target's own tables ------------------------------------------------

extern const MnemonicEntry mnemonic_table[104];
extern const RegisterEntry register_table[22];
extern const ConditionEntry condition_code_table[22];
extern const SuffixEntry suffix_table[17];
extern const char* const runtime_helper_table[58];

// Installs the tables and the three callbacks into the generic assembler.
void tgt_register_target();
int tgt_is_mnemonic_available(int row);
const MnemonicEntry* tgt_parse_suffix(const MnemonicEntry* row, const char* suffix);

// ---- Resources ----------------------------------------------------------------

// Bits of a resource mask: W0..W15 are bits 0..15, the accumulators, the
// page registers, data memory as one resource and the status register.
enum ResourceBit : uint32_t {
    RES_ACCUMULATOR_A = 0x00010000u,
    RES_ACCUMULATOR_B = 0x00020000u,
    RES_DSRPAG = 0x00040000u,
    RES_DSWPAG = 0x00080000u,
    RES_TBLPAG = 0x00100000u,
    RES_DATA_MEMORY = 0x40000000u,
    RES_STATUS = 0x80000000u,
};

struct ResourcePair {
    uint32_t defs = 0;  // resources written
    uint32_t uses = 0;  // resources read
};

// Roles of an effective-address operand.
enum OperandRole : int {
    ROLE_NONE = 0,
    ROLE_SOURCE = 1,
    ROLE_DESTINATION = 2,
    ROLE_BOTH = 3,
};

// The suffix of the statement being encoded (suffix-table bits); 0
// between statements. An encoder that honours a suffix clears its bits.
extern uint32_t pending_suffix;

enum SuffixBit : uint32_t {
    SUFFIX_B = 0x0001,
    SUFFIX_W = 0x0002,
    SUFFIX_D = 0x0004,
    SUFFIX_SIZE_BITS = 0x0007,
    SUFFIX_SS = 0x0008,
    SUFFIX_SU = 0x0010,
    SUFFIX_US = 0x0020,
    SUFFIX_UU = 0x0040,
    SUFFIX_SW = 0x0080,
    SUFFIX_SD = 0x0100,
    SUFFIX_UW = 0x0200,
    SUFFIX_UD = 0x0400,
    SUFFIX_L = 0x0800,  // also ".c"
    SUFFIX_Z = 0x1000,
    SUFFIX_N = 0x2000,
    SUFFIX_R = 0x4000,
    SUFFIX_S = 0x8000,
};

// ---- The working state of one instruction -------------------------------------

// What an encoder gathers for one statement. Every encoder of classes 2 to
// 34 starts it with tgt_begin_instruction, fills it while parsing the
// operands, and ends with tgt_finish_instruction, which runs the hazard
// check, the scheduler report, the abstraction report and the emission in
// that order.
enum SchedReport : int {
    SCHED_REPORT_INSTRUCTION = 0,  // the instruction continues the scheduling block
    SCHED_REPORT_BRANCH = 1,       // it ends the block (branch_slots, branch_probability)
};

struct TgtInstruction {
    const MnemonicEntry* row = nullptr;
    uint32_t words[2] = {0, 0};  // words[0] starts as the row's base word
    int word_count = 1;          // 1 or 2
    ResourcePair arch;           // starts as the row's implicit defs and uses
    ResourcePair hazard;
    int ends_block = 0;          // starts as the row's MNEMONIC_ENDS_RUN
    int record_then_end = 0;     // record the instruction, then end the block
    int32_t slot_count = -1;     // row's slot count when it may fill a slot
    int sched_report = SCHED_REPORT_INSTRUCTION;
    int32_t branch_slots = 0;
    int32_t branch_probability = 0;
    Symbol* relocation = nullptr;
    int status = 0;
};

// Step 1 and 2 of the pattern: sets up the state from the row and advances
// past the mnemonic.
void tgt_begin_instruction(TgtInstruction& ins, const MnemonicEntry* row);
// Steps 4 to 8: hazard check, scheduler report, abstraction report,
// emission; returns the status.
int tgt_finish_instruction(TgtInstruction& ins);
// The whole pattern around one class's operand parser: the working state
// is set up, `operands` parses (its result is the status), and the
// instruction is finished.
using TgtOperandParser = int (*)(TgtInstruction& ins);
int tgt_encode_pattern(const MnemonicEntry* row, TgtOperandParser operands);

// The statement entry installed as the encode callback.
void tgt_assemble_instruction(const SymbolKey& label, const MnemonicEntry* row);

// ---- Operand parsers ------------------------------------------------------------
// Each returns 0, an error number for the caller to report, or -1 when the
// error has been reported already. `relocation` may be none where noted.

void tgt_apply_size_suffix(uint32_t& word);
void tgt_apply_negate_suffix(uint32_t& word);
int tgt_is_runtime_helper(const Symbol* symbol);
int tgt_parse_register(const RegisterEntry*& entry);
int tgt_parse_w_register(const RegisterEntry*& entry);
int tgt_parse_wreg(uint32_t& mask1, uint32_t& mask2);
int tgt_parse_accumulator(const RegisterEntry** entry, uint32_t& word, ResourcePair* pair, uint32_t* mask);
int tgt_parse_page_register(const RegisterEntry*& entry);
int tgt_parse_literal(uint32_t& word, Symbol** relocation, int width, int position);
int tgt_parse_byte_literal(uint32_t& word, Symbol** relocation, int position);
int tgt_insert_literal_field(ExprValue& value, uint32_t& word, Symbol** relocation, int width, int position);
int tgt_parse_file_register(uint32_t& word, Symbol** relocation, int position);
int tgt_insert_file_register_field(ExprValue& value, uint32_t& word, Symbol** relocation, int position);
int tgt_parse_data_address(uint32_t& word, Symbol** relocation, int position);
int tgt_insert_data_address_field(ExprValue& value, uint32_t& word, Symbol** relocation, int position);
void tgt_check_raw_hazard(uint32_t hazard_uses);
int tgt_parse_branch_target(uint32_t& word, int32_t adjustment, int& ends_run, Symbol*& target, int mark,
                            const char* mnemonic);
int tgt_parse_program_address(uint32_t& lo, uint32_t& hi, Symbol** relocation);
int tgt_parse_ws_or_literal(uint32_t& word, ResourcePair& arch, ResourcePair& hazard, int& ends_run, int role);
int tgt_parse_effective_address(uint32_t& word, ResourcePair& arch, ResourcePair& hazard, int position,
                                int& ends_run, int role);
int tgt_parse_indexed_address(uint32_t& word, ResourcePair& arch, ResourcePair& hazard, int position,
                              int index_position, int& ends_run, int role);

// DSP operand lists: prefetches and write-back, and the ED/EDAC operands.
int tgt_parse_prefetch_operands(uint32_t& word, ResourcePair& arch, ResourcePair& hazard, int read_accumulator,
                                uint32_t write_back);
int tgt_parse_ed_operands(uint32_t& word, ResourcePair& arch, ResourcePair& hazard);

// ---- The class encoders (the row's encoder class selects one) --------------------

using TgtEncoder = int (*)(const MnemonicEntry* row);

int tgt_encode_no_operand(const MnemonicEntry* row);           // 1
int tgt_encode_cp0(const MnemonicEntry* row);                  // 2
int tgt_encode_clr_setm(const MnemonicEntry* row);             // 3
int tgt_encode_literal_only(const MnemonicEntry* row);         // 4
int tgt_encode_wn_only(const MnemonicEntry* row);              // 5
int tgt_encode_unary(const MnemonicEntry* row);                // 6
int tgt_encode_compare_skip_branch(const MnemonicEntry* row);  // 7
int tgt_encode_alu(const MnemonicEntry* row);                  // 8
int tgt_encode_shift(const MnemonicEntry* row);                // 9
int tgt_encode_bit_modify(const MnemonicEntry* row);           // 10
int tgt_encode_bit_test(const MnemonicEntry* row);             // 11
int tgt_encode_mov(const MnemonicEntry* row);                  // 12
int tgt_encode_div(const MnemonicEntry* row);                  // 13
int tgt_encode_divf(const MnemonicEntry* row);                 // 14
int tgt_encode_mul(const MnemonicEntry* row);                  // 15
int tgt_encode_lnk(const MnemonicEntry* row);                  // 16
int tgt_encode_repeat(const MnemonicEntry* row);               // 17
int tgt_encode_retlw(const MnemonicEntry* row);                // 18
int tgt_encode_exch(const MnemonicEntry* row);                 // 19
int tgt_encode_bit_scan_extend(const MnemonicEntry* row);      // 20
int tgt_encode_bsw(const MnemonicEntry* row);                  // 21
int tgt_encode_rcall(const MnemonicEntry* row);                // 22
int tgt_encode_call_goto(const MnemonicEntry* row);            // 23
int tgt_encode_push_pop(const MnemonicEntry* row);             // 24
int tgt_encode_file_skip(const MnemonicEntry* row);            // 25
int tgt_encode_cp(const MnemonicEntry* row);                   // 26
int tgt_encode_bra(const MnemonicEntry* row);                  // 27
int tgt_encode_do(const MnemonicEntry* row);                   // 28
int tgt_encode_mac(const MnemonicEntry* row);                  // 29
int tgt_encode_ed(const MnemonicEntry* row);                   // 30
int tgt_encode_movsac(const MnemonicEntry* row);               // 31
int tgt_encode_sftac(const MnemonicEntry* row);                // 32
int tgt_encode_lac(const MnemonicEntry* row);                  // 33
int tgt_encode_sac(const MnemonicEntry* row);                  // 34

