// The Intel HEX writer: program memory as data records of at most four
// elements, extended linear address records and the end-of-file record.
#include <cstdarg>
#include <cstring>
#include <string>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmomf.h"
#include "platform.h"

uint32_t hex_upper_address = HEX_NO_UPPER_ADDRESS;
FILE* hex_file = nullptr;

namespace {

// Closes the file before the fatal error ends the run, so that nothing is
// left open behind it.
[[noreturn]] void omf_hex_write_failed() {
    if (hex_file != nullptr) {
        std::fclose(hex_file);
        hex_file = nullptr;
    }
    diag_fatal(13);
}

uint32_t omf_hex_checksum(uint32_t sum) { return (0x100u - (sum & 0xFFu)) & 0xFFu; }

}  // namespace

void omf_hex_printf(const char* format, ...) {
    if (hex_file == nullptr) omf_hex_write_failed();
    va_list arguments;
    va_start(arguments, format);
    int written = std::vfprintf(hex_file, format, arguments);
    va_end(arguments);
    if (written < 0 || std::ferror(hex_file)) omf_hex_write_failed();
}

FILE* omf_open_object_file(const std::string& source_name, std::string& name, const char* mode,
                           const char* extension) {
    if (name.empty()) name = asm_default_file_name(source_name, extension);
    // Refuses a name that would overwrite the source.
    asm_output_file_name(name, extension, 12);
    FILE* file = std::fopen(name.c_str(), mode);
    if (file == nullptr) diag_fatal(12, name.c_str());
    return file;
}

void omf_write_hex_extended_address(uint32_t upper) {
    upper &= 0xFFFFu;
    uint32_t sum = 2u + 4u + (upper >> 8) + (upper & 0xFFu);
    omf_hex_printf(":02000004%04x%02x\n", static_cast<unsigned>(upper),
                   static_cast<unsigned>(omf_hex_checksum(sum)));
}

namespace {

// Writes a finished line, with the same checks as omf_hex_printf: into the
// stream's buffer where it has room (a program of many small sections
// writes a record for each), else through the library.
void omf_hex_write(const char* text, size_t length) {
    if (hex_file == nullptr) omf_hex_write_failed();
    if (unsigned char* room = platform_stream_room(hex_file, length)) {
        std::memcpy(room, text, length);
        platform_stream_advance_write(hex_file, length);
        return;
    }
    if (std::fwrite(text, 1, length, hex_file) != length || std::ferror(hex_file)) omf_hex_write_failed();
}

// Two lower-case hex digits of the byte's value.
char* omf_hex_put_byte(char* at, uint32_t byte) {
    static const char digits[] = "0123456789abcdef";
    at[0] = digits[(byte >> 4) & 0xFu];
    at[1] = digits[byte & 0xFu];
    return at + 2;
}

}  // namespace

// A record a program section has for every four elements: composed in
// place rather than through a format, as ":%02x%04x00" with the data bytes
// and the checksum in the same lower-case digits.
void omf_write_hex_data_record(const uint8_t* elements, uint32_t count, uint32_t byte_address) {
    uint32_t byte_count = (4u * count) & 0xFFu;
    uint32_t address = byte_address & 0xFFFFu;
    uint32_t sum = byte_count + (address >> 8) + (address & 0xFFu);
    // The record: ':', count, address, type, the data, checksum, newline;
    // a longer call is written in more than one piece.
    char line[64];
    char* at = line;
    *at++ = ':';
    at = omf_hex_put_byte(at, byte_count);
    at = omf_hex_put_byte(at, address >> 8);
    at = omf_hex_put_byte(at, address & 0xFFu);
    at = omf_hex_put_byte(at, 0);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t element;
        std::memcpy(&element, elements + size_t{i} * 4, sizeof element);
        // Least significant byte first; the top byte is written too.
        for (int shift = 0; shift < 32; shift += 8) {
            uint32_t byte = (element >> shift) & 0xFFu;
            sum += byte;
            at = omf_hex_put_byte(at, byte);
        }
        if (at > line + sizeof line - 12) {
            omf_hex_write(line, static_cast<size_t>(at - line));
            at = line;
        }
    }
    at = omf_hex_put_byte(at, omf_hex_checksum(sum));
    *at++ = '\n';
    omf_hex_write(line, static_cast<size_t>(at - line));
}

void omf_write_hex_data(const uint8_t* image, uint32_t count, uint32_t byte_address) {
    uint64_t address = byte_address;
    for (uint32_t index = 0; index < count;) {
        uint32_t n = count - index < 4 ? count - index : 4;
        // The upper address bits are compared once per record: a record is
        // never split at a 64 KB boundary.
        uint32_t upper = static_cast<uint32_t>((address >> 16) & 0xFFFFu);
        if (upper != hex_upper_address) {
            omf_write_hex_extended_address(upper);
            hex_upper_address = upper;
        }
        omf_write_hex_data_record(image + size_t{index} * 4, n, static_cast<uint32_t>(address));
        address += 4u * n;
        index += n;
    }
}

void omf_write_hex_section(const Section* section) {
    if (section->bytes_per_element != 4 || section->memory_kind == MEMORY_DATA) return;
    if (section->size == 0 || section->image == nullptr) return;
    // A program word's file address is twice its target address; the
    // file's address space is 32 bits wide.
    uint64_t byte_address = 2u * uint64_t{section->placed_address};
    omf_write_hex_data(section->image, section->size, static_cast<uint32_t>(byte_address));
}

void omf_write_hex_end_record() {
    uint32_t sum = 1u;
    omf_hex_printf(":00%04lx01%02X\n", 0UL, static_cast<unsigned>(omf_hex_checksum(sum)));
}

void omf_write_hex_records() {
    // Program memory only: data-memory sections have 1-byte elements.
    for (const Section* section = section_list; section != nullptr; section = section->next)
        omf_write_hex_section(section);
    omf_write_hex_end_record();
}

void omf_write_hex_file(const std::string& source_name, std::string& hex_name) {
    hex_file = omf_open_object_file(source_name, hex_name, "w", ".hex");
    omf_write_hex_records();
    if (std::fflush(hex_file) != 0 || std::ferror(hex_file)) omf_hex_write_failed();
    FILE* file = hex_file;
    hex_file = nullptr;
    if (std::fclose(file) != 0) diag_fatal(13);
}
