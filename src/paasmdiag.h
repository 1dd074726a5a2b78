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

// Reports fatal error `number` and ends the run with exit status 15.
[[noreturn]] void diag_fatal(int number, ...);
// Reports error `number` from pass 2 on; -1 (already reported) does nothing.
void diag_error(int number, ...);
// Reports warning `number` when it is to be printed.
void diag_warning(int number, ...);

#include <cstdarg>
#include <string>

// printf-style formatting into a string of whatever length it needs.
std::string diag_vformat(const char* format, va_list arguments);
std::string diag_format(const char* format, ...) __attribute__((format(printf, 1, 2)));
