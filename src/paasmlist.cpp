// The listing's pages and statement lines. Every line goes through the
// page accounting: a page holds 58 counted lines under a header block of
// its own. The object data of a statement is kept as 32-bit numbers and
// printed masked to the element width of the section it came from, so a
// setter can never make the printer read past what it was given.
#include "paasmlist.h"

#include <cstdarg>
#include <cstring>
#include <ctime>
#include <vector>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmquodra.h"
#include "paasmsym.h"

FILE* listing_file = nullptr;
int32_t listing_page = 0;
int32_t listing_page_lines = LISTING_NEW_PAGE;
std::string listing_column_heading;

namespace {

// The header line without its page number: title, version, date and time.
// It is printed as text, so a '%' in any part of it stays a '%'.
std::string listing_header_text;

// Object state of the current statement.
bool listing_has_object = false;
int32_t listing_object_count = 0;  // -1 value text, 0 address alone, n elements
uint32_t listing_object_address = 0;
int32_t listing_element_size = 1;
int32_t listing_element_units = 1;
char listing_value_text[32] = "";
std::vector<uint32_t> listing_object_data;

// Messages of the current statement: their texts one after the other in
// a small pool.
const char* listing_messages[listing_message_limit];
int listing_message_count = 0;
char listing_text_pool[listing_text_pool_size];
int listing_text_cursor = 0;

void lst_check_write() {
    if (listing_file != nullptr && std::ferror(listing_file)) diag_fatal(9);
}

// The accounting that comes before every counted line.
void lst_count_line() {
    if (listing_page_lines > listing_page_length) lst_start_page();
    ++listing_page_lines;
}

// How many elements a line shows, and the hexadecimal digits of each: two
// 32-bit words, four halfwords or six bytes, each with a blank after it,
// in a field of 20 characters.
struct ElementLayout {
    uint32_t per_line;
    int digits;
};

ElementLayout lst_element_layout() {
    switch (listing_element_size) {
    case 4: return {2, 8};
    case 2: return {4, 4};
    default: return {6, 2};
    }
}

// The elements of one line from `first`, padded to the field's width.
void lst_element_field(std::string& line, uint32_t first) {
    const uint32_t count = listing_object_count > 0 ? static_cast<uint32_t>(listing_object_count) : 0;
    const ElementLayout layout = lst_element_layout();
    const uint32_t mask = layout.digits == 8 ? 0xFFFFFFFFu : (1u << (4 * layout.digits)) - 1;
    const size_t start = line.size();
    for (uint32_t i = first; i < first + layout.per_line && i < count; ++i) {
        lst_append_hex(line, listing_object_data[i] & mask, layout.digits);
        line += ' ';
    }
    line.resize(start + 20, ' ');
}

// Takes over the elements of one setter call, with the geometry of the
// current section.
template <class T>
void lst_set_elements(uint32_t address, uint32_t count, const T* values) {
    listing_has_object = true;
    listing_element_size = current_section != nullptr ? current_section->bytes_per_element : 1;
    listing_element_units = current_section != nullptr ? current_section->units_per_element : 1;
    listing_object_address = address;
    listing_object_count = static_cast<int32_t>(count);
    listing_object_data.assign(values, values + count);
}

}  // namespace

bool lst_wanted() { return listing_file != nullptr && pass_number == 2 && (option_flags & OPT_LISTING) != 0; }

void lst_open(const std::string&, std::string& listing_name) {
    listing_column_heading = "Location Object              Type  Line Source";
    listing_page_lines = LISTING_NEW_PAGE;
    listing_page = 0;
    listing_has_object = false;
    listing_object_count = 0;
    asm_output_file_name(listing_name, ".lst", 8);
    listing_file = std::fopen(listing_name.c_str(), "w");
    if (listing_file == nullptr) diag_fatal(8, listing_name.c_str());
    listing_message_count = 0;
    listing_text_cursor = 0;

    char date[80] = "";
    std::time_t now = std::time(nullptr);
    std::tm* local = std::localtime(&now);
    size_t length = local != nullptr ? std::strftime(date, sizeof date, "%d-%b-%Y  %H:%M:%S", local) : 0;
    listing_header_text = std::string(program_title) + ".  Version " + version_text + "  " +
                          (length != 0 ? std::string(date) : std::string("DD-MMM-YY  HH:MM:SS "));
}

void lst_close(int aborting) {
    if (listing_file == nullptr) return;
    if (!aborting) lst_write_summary();
    FILE* file = listing_file;
    listing_file = nullptr;
    bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0) failed = true;
    if (failed && !aborting) diag_fatal(9);
}

void lst_new_page(const char* heading) {
    listing_page_lines = LISTING_NEW_PAGE;
    listing_column_heading = heading;
}

void lst_start_page() {
    listing_page_lines = 0;
    if (listing_page > 0) std::fputc('\f', listing_file);
    ++listing_page;
    std::fprintf(listing_file, "%s  Page: %4d\n", listing_header_text.c_str(), static_cast<int>(listing_page));
    std::fputs("\n\n", listing_file);
    std::fprintf(listing_file, "%s\n\n", main_source.name.c_str());
    std::fprintf(listing_file, "%s\n", listing_column_heading.c_str());
    lst_check_write();
}

void lst_printf(const char* format, ...) {
    if (listing_file == nullptr) return;
    lst_count_line();
    va_list arguments;
    va_start(arguments, format);
    diag_checked_vfprintf(listing_file, 9, format, arguments);
    va_end(arguments);
}

void lst_append_hex(std::string& line, uint32_t value, int digits) {
    static const char hex_digits[] = "0123456789ABCDEF";
    char text[8];
    int places = digits < 1 ? 1 : digits > 8 ? 8 : digits;
    // The places asked for, and more when the value needs them.
    while (places < 8 && (value >> (4 * places)) != 0) ++places;
    for (int i = places - 1; i >= 0; --i) {
        text[i] = hex_digits[value & 0xF];
        value >>= 4;
    }
    line.append(text, static_cast<size_t>(places));
}

void lst_append_number(std::string& line, long value, int width) {
    char text[24];
    int length = 0;
    unsigned long magnitude = value < 0 ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
        text[sizeof text - 1 - length++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) text[sizeof text - 1 - length++] = '-';
    if (length < width) line.append(static_cast<size_t>(width - length), ' ');
    line.append(text + sizeof text - length, static_cast<size_t>(length));
}

void lst_append_padded(std::string& line, const char* text, size_t width) {
    size_t length = text != nullptr ? strnlen(text, width) : 0;
    line.append(text != nullptr ? text : "", length);
    line.append(width - length, ' ');
}

void lst_put_line(const std::string& line) {
    if (listing_file == nullptr) return;
    lst_count_line();
    std::fwrite(line.data(), 1, line.size(), listing_file);
    lst_check_write();
}

void lst_print_statement() {
    if (listing_file == nullptr) return;
    lst_count_line();
    // One buffer for every line, so that a statement costs no allocation.
    static std::string line;
    line.clear();
    if (!listing_has_object) {
        line.assign(29, ' ');
    } else if (listing_object_count < 0) {
        // The value text right-aligned in 8 places, cut to 8.
        size_t length = strnlen(listing_value_text, 8);
        line.assign(19 + 8 - length, ' ');
        line.append(listing_value_text, length);
        line += "  ";
    } else {
        lst_append_hex(line, listing_object_address, 8);
        line += ' ';
        lst_element_field(line, 0);
    }
    line.append(main_source.marks, 4);
    line += ' ';
    lst_append_number(line, main_source.line, 5);
    line += ' ';
    line += line_buffer;
    if (line.back() != '\n') line += '\n';
    std::fwrite(line.data(), 1, line.size(), listing_file);

    if (listing_has_object && listing_object_count > 0) {
        uint32_t per_line = lst_element_layout().per_line;
        for (uint32_t first = per_line; first < static_cast<uint32_t>(listing_object_count); first += per_line) {
            lst_count_line();
            uint64_t address = uint64_t{listing_object_address} + uint64_t{first} * listing_element_units;
            line.clear();
            lst_append_hex(line, static_cast<uint32_t>(address & 0xFFFFFFFFu), 8);
            line += ' ';
            lst_element_field(line, first);
            line.append(main_source.marks, 3);
            line += "d ";
            lst_append_number(line, main_source.line, 5);
            line += '\n';
            std::fwrite(line.data(), 1, line.size(), listing_file);
        }
    }
    lst_check_write();
}

void lst_queue_message(const char* text) {
    if (!lst_wanted()) return;
    size_t length = std::strlen(text);
    if (listing_message_count >= listing_message_limit) return;
    if (listing_text_cursor + length + 1 >= sizeof listing_text_pool) return;
    std::memcpy(listing_text_pool + listing_text_cursor, text, length + 1);
    listing_messages[listing_message_count++] = listing_text_pool + listing_text_cursor;
    listing_text_cursor += static_cast<int>(length + 1);
}

void lst_flush_messages() {
    for (int i = 0; i < listing_message_count; ++i) lst_printf("%s", listing_messages[i]);
    listing_message_count = 0;
    listing_text_cursor = 0;
}

void lst_end_statement() {
    lst_print_statement();
    listing_has_object = false;
    listing_object_count = 0;
    lst_flush_messages();
}

// ---- The object setters -------------------------------------------------------

void lst_set_address(uint32_t address) {
    if (!lst_wanted()) return;
    listing_has_object = true;
    listing_object_address = address;
    listing_object_count = 0;
}

void lst_set_value_text(const Symbol* symbol) {
    listing_has_object = true;
    listing_object_count = -1;
    std::snprintf(listing_value_text, sizeof listing_value_text, "%08lX",
                  static_cast<unsigned long>(symbol->value.word));
    if (symbol->value_class != CLASS_ABSOLUTE) return;
    switch (symbol->value_type) {
    case TYPE_FLOAT:
        std::snprintf(listing_value_text, sizeof listing_value_text, "%g", symbol->value.real);
        break;
    case TYPE_STRING:
        std::snprintf(listing_value_text, sizeof listing_value_text, "%.31s",
                      symbol->value.text != nullptr ? symbol->value.text : "");
        break;
    case TYPE_REGISTER:
        std::snprintf(listing_value_text, sizeof listing_value_text, "%-8.8s",
                      symbol->value.reg != nullptr ? symbol->value.reg->register_name : "");
        break;
    default:
        break;
    }
}

void lst_set_byte(uint32_t address, uint8_t value) { lst_set_elements(address, 1, &value); }
void lst_set_bytes(uint32_t address, uint32_t count, const uint8_t* values) { lst_set_elements(address, count, values); }
void lst_set_word(uint32_t address, uint16_t value) { lst_set_elements(address, 1, &value); }
void lst_set_words(uint32_t address, uint32_t count, const uint16_t* values) {
    lst_set_elements(address, count, values);
}
void lst_set_long(uint32_t address, uint32_t value) { lst_set_elements(address, 1, &value); }
void lst_set_longs(uint32_t address, uint32_t count, const uint32_t* values) {
    lst_set_elements(address, count, values);
}
