// Numbered diagnostics: fatal errors, errors and warnings.
#pragma once

#include <cstdint>

extern const char* const diag_prefix;  // "PA"
extern const char* const fatal_message_table[16];
extern const char* const error_message_table[53];
extern const char* const warning_message_table[14];

extern uint32_t error_count;
extern uint32_t warning_count;
constexpr uint32_t warning_limit = 500;

// Fatal errors that several components raise.
constexpr int FATAL_INTERNAL = 1;          // an internal consistency check failed
constexpr int FATAL_OPENING_OUTPUT = 10;   // the rewritten source cannot be opened
constexpr int FATAL_WRITING_OUTPUT = 11;   // writing the rewritten source failed

// Reports fatal error `number` and ends the run with exit status 15.
[[noreturn]] void diag_fatal(int number, ...);
// Reports error `number` from pass 2 on; -1 (already reported) does nothing.
void diag_error(int number, ...);
// Reports warning `number` when it is to be printed.
void diag_warning(int number, ...);

#include <cstdarg>
#include <cstdio>
#include <string>

// Formatted output to `file`; when the stream then reports an error, the
// run ends with fatal error `fatal`.
void diag_checked_vfprintf(FILE* file, int fatal, const char* format, va_list arguments);

// printf-style formatting into a string of whatever length it needs.
std::string diag_vformat(const char* format, va_list arguments);
std::string diag_format(const char* format, ...) __attribute__((format(printf, 1, 2)));
