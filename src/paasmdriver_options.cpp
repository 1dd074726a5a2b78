// The command line: options, the source file, and the usage and help texts.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmlex.h"
#include "paasmquodra.h"
#include "platform.h"

namespace {

const char* const help_lines[] = {
    " -?             Display help\n",
    " -b[<level>]    Enable delayed branch scheduling\n",
    " -d             Write debug info to the listing file\n",
    " -h[<hexfile>]  Generate a hex file [with name <hexfile>]\n",
    " -l[<listfile>] Generate a list file [with name <listfile>]\n",
    " -n<level>      Set maximum nesting depth to <level>\n",
    " -o[<outfile>]  Generate an output file [with name <outputfile>]\n",
    " -s             Enable instruction scheduling\n",
    " -v             Display version info\n",
    " -t             List the symbol table\n",
    " -w             Enable warning messages\n",
    " -W             Treat warnings as errors\n",
    " -x             Produce a symbols cross-reference\n",
};

// A flag option and the bit that records it (also how a repeat is found).
struct FlagOption {
    char letter;
    uint8_t* flags;
    uint8_t bit;
};

const FlagOption flag_options[] = {
    {'d', &option_flags, OPT_DEBUG_LISTING},   {'h', &option_flags, OPT_HEX},
    {'l', &option_flags, OPT_LISTING},         {'o', &option_flags, OPT_OUTPUT},
    {'s', &option_flags, OPT_SCHEDULE},        {'t', &option_flags, OPT_SYMBOL_TABLE},
    {'v', &report_flags, REPORT_BANNER},       {'w', &report_flags, REPORT_WARNINGS},
    {'W', &report_flags, REPORT_WARNINGS_AS_ERRORS}, {'x', &report_flags, REPORT_CROSS_REFERENCE},
    {'b', &option_flags, OPT_DELAY_SLOTS},
};

// Reads a leading decimal integer the way the C library does, clamped to
// 32 bits; false when the text does not begin with a number.
bool read_decimal(const char* text, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    if (end == text) return false;
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    return true;
}

void open_source(const std::string& name) {
    main_source.name = name;
    main_source.file = platform_open_for_reading(name, "r");
    if (main_source.file == nullptr) asm_exit_with_usage("Cannot open '%s'", name.c_str());
    for (char& mark : main_source.marks) mark = ' ';
}

}  // namespace

void asm_reset_options() {
    option_flags = OPT_ABSTRACT;
    report_flags = 0;
    delay_slot_level = 0;
    nesting_limit = 2147483647;
    listing_file_name.clear();
    hex_file_name.clear();
    output_file_name.clear();
    separate_output_name.clear();
}

void asm_exit_with_usage(const char* format, ...) {
    report_flags |= REPORT_BANNER;
    asm_print_banner();
    if (format != nullptr) {
        va_list arguments;
        va_start(arguments, format);
        std::string message = diag_vformat(format, arguments);
        va_end(arguments);
        asm_console_printf("%s\n", message.c_str());
    }
    asm_console_printf(
        "Usage: %s [-?] [-b[<level>]] [-d] [-h[<hexfile>]] [-l[<listfile>]] [-n<level>] "
        "[-o[<outputfile>]] [-s] [-v] [-w] [-W] [-x] ",
        program_name);
    dev_print_option_help(0);
    asm_console_printf("<source>\n");
    if (format == nullptr) {
        for (const char* line : help_lines) asm_console_printf("%s", line);
        dev_print_option_help(1);
    }
    throw AsmTrap{2};
}

void asm_parse_options(int argc, char** argv) {
    asm_reset_options();
    bool have_source = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (argument[0] != '-') {
            if (have_source) asm_exit_with_usage("Extra source file '%s'", argument);
            open_source(argument);
            have_source = true;
            continue;
        }
        char letter = argument[1];
        const char* rest = letter == '\0' ? "" : argument + 2;
        if (letter == '-') {
            if (!dev_parse_mcpu_option(argument + 2))
                asm_exit_with_usage("Invalid option '%s'", argument);
            continue;
        }
        if (letter == '?') asm_exit_with_usage(nullptr);
        if (letter == 'n') {
            while (*rest != '\0' && std::isspace(static_cast<unsigned char>(*rest))) ++rest;
            if (*rest == '\0') {
                if (i + 1 >= argc) asm_exit_with_usage("Option '%c' required a parameter.", 'n');
                rest = argv[++i];
            }
            long value;
            if (read_decimal(rest, value)) nesting_limit = static_cast<int32_t>(value);
            continue;
        }
        const FlagOption* flag = nullptr;
        for (const FlagOption& candidate : flag_options)
            if (candidate.letter == letter) flag = &candidate;
        if (flag == nullptr) {
            char shown = std::isprint(static_cast<unsigned char>(letter)) ? letter : ' ';
            asm_exit_with_usage("Invalid option '%c'", shown);
        }
        if ((*flag->flags & flag->bit) != 0) asm_exit_with_usage("Option '%c' repeated.", letter);
        *flag->flags |= flag->bit;
        switch (letter) {
            case 'b':
                option_flags &= static_cast<uint8_t>(~OPT_ABSTRACT);
                if (*rest != '\0') {
                    long level;
                    if (!read_decimal(rest, level)) level = 0;
                    if (level < 0 || level > 2)
                        asm_exit_with_usage("'%s' is not a valid delay-slot scheduler level.", rest);
                    delay_slot_level = static_cast<int32_t>(level);
                }
                break;
            case 's':
                option_flags &= static_cast<uint8_t>(~OPT_ABSTRACT);
                break;
            case 'h':
                hex_file_name = rest;
                break;
            case 'l':
                listing_file_name = rest;
                break;
            case 'o':
                if (*rest != '\0') {
                    output_file_name = rest;
                } else if (i + 1 < argc && argv[i + 1][0] != '-') {
                    separate_output_name = argv[++i];
                }
                break;
            default:
                break;
        }
    }
    if (!have_source && !separate_output_name.empty()) {
        std::string name = separate_output_name;
        separate_output_name.clear();
        open_source(name);
        have_source = true;
    }
    if (!have_source) asm_exit_with_usage("No source file specified.");
}
