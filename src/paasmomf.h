// Sections, location counters, section images, the emitters and the
// Intel HEX writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct Symbol;

enum MemoryKind : uint8_t {
    MEMORY_PROGRAM = 1,
    MEMORY_DATA = 2,
    MEMORY_ANY = 4,
};

enum SectionFlag : uint8_t {
    SECT_DEFAULT = 0x01,
    SECT_USED = 0x02,
};

struct Section {
    // What the walks over every section read and write (the layout, the
    // image allocation, the HEX writer) comes first, in 64 bytes.
    Section* next;             // next of section_list
    uint32_t location;         // location counter, in address units
    uint32_t high_water;
    uint32_t origin;
    uint32_t size;             // elements (counted in pass 1, then laid out)
    uint32_t placed_address;   // address units
    uint8_t memory_kind;
    uint8_t section_class;
    uint8_t flags;
    int16_t bytes_per_element; // 1 or 4
    int16_t units_per_element; // 1 or 2
    int32_t instruction_count;
    uint32_t last_hazard_defs;
    // Kept by the name index (paasmomf): the order of section_list as a
    // number (the smaller comes first).
    int64_t list_position;
    uint8_t* image;            // size * bytes_per_element bytes, from pass 2
    Symbol* symbol;            // the section's name symbol
    Symbol* labels;            // labels in ascending value order
    // The last label of `labels`, remembered for the list whose head was
    // `labels_tail_head` (paasmsym): a label at or above it is appended
    // without a walk.
    Symbol* labels_tail;
    Symbol* labels_tail_head;
    // Also kept by the name index: the next section whose name is equal
    // ignoring letter case, and the source line of the statement that made
    // the section in pass 1 (0 for the default sections).
    Section* same_name_next;
    int32_t first_line;
    int32_t section_line;      // line of the last .section naming it
};

struct DefaultSectionEntry {
    const char* name;
    int16_t bytes_per_element;
    int16_t units_per_element;
    uint32_t origin;
    uint8_t memory_kind;
    uint8_t section_class;
};
extern const DefaultSectionEntry default_section_table[3];

// Never null once pass 1 has begun: a pass with no section at all works on
// an empty stand-in section that is never laid out or written.
extern Section* current_section;
extern Section* section_list;
extern Section* section_list_tail;
extern const char* default_data_name;
extern const char* default_text_name;
extern bool capture_active;
extern uint32_t capture_count;
extern uint32_t capture_start;
extern uint32_t hex_upper_address;  // no extended address record yet: above 0xFFFF
// The value of hex_upper_address before the first extended address record:
// no upper address bits can equal it.
constexpr uint32_t HEX_NO_UPPER_ADDRESS = 0xFFFFFFFFu;
extern FILE* hex_file;

void omf_init();
void omf_begin_pass(int32_t pass);
Symbol* omf_find_section(const char* name, int mark);
// The same for a name given by its interned index (as tokens carry it).
Symbol* omf_find_section_text(uint32_t text_index, int mark);
Section* omf_create_section(uint8_t memory_kind, uint8_t section_class, Symbol* symbol, uint32_t origin);
void omf_create_default_sections();
void omf_drop_unused_sections();
void omf_layout_sections();
// Moves the current section's counter on by `units` (.space); false, and
// nothing moves, when that would take the section's memory kind past the
// 24-bit address space.
bool omf_advance_location(uint64_t units);
// Ends a statement of passes 1 and 2: an emission that was refused because
// it would have passed the address space is error 21 on the statement.
void omf_end_statement();
void omf_begin_capture();
void omf_end_capture();

void omf_emit_byte(uint8_t value);
void omf_emit_bytes(uint32_t count, const uint8_t* values);
void omf_emit_word(uint16_t value);
void omf_emit_words(uint32_t count, const uint16_t* values);
void omf_emit_long(uint32_t value);
void omf_emit_longs(uint32_t count, const uint32_t* values);

// Intel HEX.
void omf_write_hex_file(const std::string& source_name, std::string& hex_name);
FILE* omf_open_object_file(const std::string& source_name, std::string& name, const char* mode,
                           const char* extension);
void omf_write_hex_records();
void omf_write_hex_section(const Section* section);
void omf_write_hex_data(const uint8_t* image, uint32_t count, uint32_t byte_address);
void omf_write_hex_data_record(const uint8_t* elements, uint32_t count, uint32_t byte_address);
void omf_write_hex_extended_address(uint32_t upper);
void omf_write_hex_end_record();
void omf_hex_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
