// The driver: command line, the sequence of passes, console output and
// the clean-up that runs on every way out of the program.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

enum OptionFlag : uint8_t {
    OPT_ABSTRACT = 0x01,
    OPT_SCHEDULE = 0x02,
    OPT_DELAY_SLOTS = 0x04,
    OPT_OUTPUT = 0x08,
    OPT_LISTING = 0x10,
    OPT_HEX = 0x20,
    OPT_DEBUG_LISTING = 0x40,
    OPT_SYMBOL_TABLE = 0x80,
};

enum ReportFlag : uint8_t {
    REPORT_CROSS_REFERENCE = 0x01,
    REPORT_BANNER = 0x02,
    REPORT_WARNINGS = 0x04,
    REPORT_WARNINGS_AS_ERRORS = 0x08,
    REPORT_END_SEEN = 0x20,
};

extern uint8_t option_flags;
extern uint8_t report_flags;
extern int32_t delay_slot_level;
extern int32_t nesting_limit;
extern int32_t pass_number;

extern std::string listing_file_name;
extern std::string hex_file_name;
extern std::string output_file_name;
extern std::string separate_output_name;
extern std::string token_file_name;
extern FILE* token_file;
extern clock_t start_clock;

extern const char* const program_name;
extern const char* const program_title;
extern const char* const version_text;

// The error trap: thrown by the fatal-error reporter (status 15) and the
// usage printer (status 2), caught in asm_main.
struct AsmTrap {
    int status;
};

int asm_main(int argc, char** argv);
int asm_run(int argc, char** argv);
void asm_parse_options(int argc, char** argv);
[[noreturn]] void asm_exit_with_usage(const char* format, ...);
void asm_print_banner();
void asm_console_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void asm_cleanup_files();
int asm_strcmp_nocase(const char* a, const char* b);
bool asm_make_temp_name(std::string& path);
void asm_begin_pass();

// Puts the defaults back as they are before the options are read.
void asm_reset_options();

// Puts the whole program back into its start state: files closed (the
// token file deleted), every pool given back, every table and counter
// emptied, the options at their defaults. A process may then run
// asm_main again as if it had just started.
void asm_reset_run();

// Fills an empty output name with the default built from the source name
// (text from the last '.' replaced by `extension`, or `extension`
// appended) and refuses, with fatal error `open_fatal`, a name that
// would overwrite the source itself.
void asm_output_file_name(std::string& name, const char* extension, int open_fatal);

// The default name alone: `source` with its extension replaced.
std::string asm_default_file_name(const std::string& source, const char* extension);

// ---- Statement loop ---------------------------------------------------------

struct SymbolKey;

extern int32_t pending_shadow;

void asm_run_pass();
void asm_process_statement();
