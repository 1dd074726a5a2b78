// The three message tables and their reporters. A diagnostic line is
// composed once and written unchanged, so a name with '%' in it is safe.
#include "paasmdiag.h"

#include <cstdio>

#include "paasmdriver.h"
#include "paasmlist.h"
#include "paasmlex.h"

const char* const diag_prefix = "PA";

const char* const fatal_message_table[16] = {
    "Internal error detected",
    "Internal error detected (%s,%d)",
    "Out of memory (%s)",
    "Error opening intermediate file '%s'",
    "Error reading intermediate file",
    "Error writing intermediate file",
    "Error reading source file",
    "Source file contains non-ASCII characters",
    "Error opening listing file '%s'",
    "Error writing listing file",
    "Error opening output file '%s'",
    "Error writing output file",
    "Error opening object file '%s'",
    "Error writing object file",
    "ELF line table is invalid",
    nullptr,
};

const char* const error_message_table[53] = {
    "Internal assembler error detected",
    "Syntax error",
    "Phase error between passes (%08lX!=%08lX)",
    "Warning treated as an error: no output file generated",
    "Token contains too many characters",
    "Multiple labels are not permitted",
    "Label '%s' is already defined",
    "Symbol '%s' is not defined",
    "Symbol '%s' is not defined or is forward referenced",
    "Illegal use of symbol '%s'",
    "Local symbol '%s' can't be made public",
    "Forward referenced equate must be an absolute expression",
    "Illegal use of external symbol",
    "Unrecognized instruction mnemonic",
    "Invalid operand",
    "Invalid character escape sequence",
    "Digit conflicts with radix specification",
    "Alignment operand must be a power of two",
    "Illegal relocatable expression operation",
    "Illegal expression type for address operand",
    "Relocatable address expression out of range",
    "Operand out of range",
    "Effective address operand out of range",
    "Expression type mismatch",
    "Expression stack overflow",
    "Scanner stack overflow",
    "Unterminated instruction sequence",
    "Invalid instruction sequence",
    "Expected a machine or assembler instruction",
    "Expected a hardware register operand",
    "Expected an absolute integer expression",
    "Expected a comma (,)",
    "Expected an assignment (=)",
    "Expected addition (+)",
    "Expected multiplication (*)",
    "Expected a single quote (')",
    "Expected a double quote (\")",
    "Expected a left parenthesis '('",
    "Expected a right parenthesis ')'",
    "Expected a left bracket '['",
    "Expected a right bracket ']'",
    "Expected immediate address mode",
    "Expected a floating-point expression",
    "Expected a string or substitution symbol",
    "Symbol '%s' is not a control section name",
    "Division by zero",
    "Shift count is out of range",
    "Exponentiation requires a positive power",
    "Modulus requires integral operands",
    "Null in string",
    "Floating-point constant overflow",
    "Integral constant overflow",
    nullptr,
};

const char* const warning_message_table[14] = {
    "Internal assembler error detected",
    "Too many warnings: further warnings shall be suppressed",
    "Extra characters on source statement",
    "Extraneous label discarded",
    "'%s' address space illegal for this instruction",
    "Zero-length string in data declaration",
    "Operand out of range",
    "Mnemonic suffix has no effect on this instruction",
    "Use of register '%s' causes RAW hazard",
    "The .pword directive is legal only in code sections",
    "Resource version (%s) does not match!",
    "Could not open resource file: %s",
    "Invalid resource resource file",
    nullptr,
};

uint32_t error_count = 0;
uint32_t warning_count = 0;

std::string diag_vformat(const char* format, va_list arguments) {
    va_list again;
    va_copy(again, arguments);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, format, arguments);
    std::string text;
    if (n < 0) {
        text.clear();
    } else if (static_cast<size_t>(n) < sizeof small) {
        text.assign(small, static_cast<size_t>(n));
    } else {
        text.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<size_t>(n));
    }
    va_end(again);
    return text;
}

std::string diag_format(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = diag_vformat(format, arguments);
    va_end(arguments);
    return text;
}

namespace {

enum class DiagKind { fatal, error, warning };

// A number without a text in its table is reported as number 0.
template <size_t N>
int diag_known(const char* const (&)[N], int number) {
    return (number < 0 || static_cast<size_t>(number) >= N - 1) ? 0 : number;
}

bool diag_has_position() { return current_source != nullptr && !current_source->name.empty(); }

std::string diag_compose(DiagKind kind, bool long_form, int number, const char* text,
                         va_list arguments) {
    static const char* const long_formats[] = {"%s: line %04d: %s-F%04d Fatal: ",
                                               "%s: line %04d: %s-E%04d Error: ",
                                               "%s: line %04d: %s-W%04d Warning: "};
    static const char* const short_formats[] = {"%s-F%04d Fatal: ", "%s-E%04d Error: ",
                                                "%s-W%04d Warning: "};
    int k = static_cast<int>(kind);
    std::string line =
        long_form ? diag_format(long_formats[k], current_source->name.c_str(),
                                static_cast<int>(current_source->line), diag_prefix, number)
                  : diag_format(short_formats[k], diag_prefix, number);
    line += diag_vformat(text, arguments);
    line += '\n';
    return line;
}

void diag_report_warning(int number, va_list arguments) {
    if (pass_number == 1) return;
    bool long_form = pass_number >= 2;
    if (long_form && ((report_flags & REPORT_WARNINGS) == 0 || warning_count >= warning_limit))
        return;
    number = diag_known(warning_message_table, number);
    std::string line = diag_compose(DiagKind::warning, long_form, number,
                                    warning_message_table[number], arguments);
    asm_console_printf("%s", line.c_str());
    if ((option_flags & OPT_LISTING) != 0) lst_queue_message(line.c_str());
    ++warning_count;
}

void diag_warning_no_arguments(int number, ...) {
    va_list arguments;
    va_start(arguments, number);
    diag_report_warning(number, arguments);
    va_end(arguments);
}

}  // namespace

void diag_fatal(int number, ...) {
    number = diag_known(fatal_message_table, number);
    va_list arguments;
    va_start(arguments, number);
    std::string line = diag_compose(DiagKind::fatal, diag_has_position(), number,
                                    fatal_message_table[number], arguments);
    va_end(arguments);
    asm_console_printf("%s", line.c_str());
    ++error_count;
    asm_cleanup_files();
    throw AsmTrap{15};
}

void diag_error(int number, ...) {
    if (pass_number <= 1 || number == -1) return;
    number = diag_known(error_message_table, number);
    va_list arguments;
    va_start(arguments, number);
    std::string line = diag_compose(DiagKind::error, true, number, error_message_table[number],
                                    arguments);
    va_end(arguments);
    asm_console_printf("%s", line.c_str());
    if ((option_flags & OPT_LISTING) != 0) lst_queue_message(line.c_str());
    ++error_count;
}

void diag_warning(int number, ...) {
    uint32_t before = warning_count;
    va_list arguments;
    va_start(arguments, number);
    diag_report_warning(number, arguments);
    va_end(arguments);
    if (warning_count == before) return;  // not printed
    if (warning_count == warning_limit - 1) diag_warning_no_arguments(1);
    // Warnings raised while the options are read cannot become errors
    // (errors count from pass 2 on), so -W stays armed for the source.
    if (pass_number >= 2 && (report_flags & REPORT_WARNINGS_AS_ERRORS) != 0) {
        report_flags &= static_cast<uint8_t>(~REPORT_WARNINGS_AS_ERRORS);
        diag_error(3);
    }
}

void diag_checked_vfprintf(FILE* file, int fatal, const char* format, va_list arguments) {
    std::vfprintf(file, format, arguments);
    if (std::ferror(file)) diag_fatal(fatal);
}
