// The listing: pages with a header, one line per source line of pass 2
// with its object code, marks, line number and text, the messages of each
// statement below it, and the end pages (symbol table, cross-reference,
// statistics).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct Symbol;

extern FILE* listing_file;
extern int32_t listing_page;
extern int32_t listing_page_lines;
constexpr int32_t listing_page_length = 57;
// Forces a new page before the next line.
constexpr int32_t LISTING_NEW_PAGE = 2147483647;
extern std::string listing_column_heading;

constexpr int listing_message_limit = 20;
constexpr int listing_text_pool_size = 666;

void lst_open(const std::string& source_name, std::string& listing_name);
void lst_close(int aborting);
void lst_end_statement();
void lst_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void lst_start_page();
// The next line starts a new page, under `heading`.
void lst_new_page(const char* heading);
void lst_print_statement();
void lst_flush_messages();
void lst_queue_message(const char* text);

void lst_set_address(uint32_t address);
void lst_set_value_text(const Symbol* symbol);
void lst_set_byte(uint32_t address, uint8_t value);
void lst_set_bytes(uint32_t address, uint32_t count, const uint8_t* values);
void lst_set_word(uint32_t address, uint16_t value);
void lst_set_words(uint32_t address, uint32_t count, const uint16_t* values);
void lst_set_long(uint32_t address, uint32_t value);
void lst_set_longs(uint32_t address, uint32_t count, const uint32_t* values);

// Line building without a format string per field, for the lines that
// are written once per statement or symbol: hexadecimal in capitals with
// `digits` places (as "%0*lX"), a number right-aligned in `width` places
// (as "%*ld"), and a text cut or padded to exactly `width` places (as
// "%-*.*s").
void lst_append_hex(std::string& line, uint32_t value, int digits);
void lst_append_number(std::string& line, long value, int width);
void lst_append_padded(std::string& line, const char* text, size_t width);
// Writes one counted line (its text ends with the newline) as it is.
void lst_put_line(const std::string& line);

// Whether the emitters and directives hand their object data over: pass 2
// with -l.
bool lst_wanted();

// The end pages.
void lst_write_summary();
void lst_write_symbol_table();
void lst_write_cross_reference();
