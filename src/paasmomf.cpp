// Sections: the section list, the default sections, location counters,
// the layout between the passes, the section images and the emitters
// that count elements in pass 1 and store them in pass 2.
#include "paasmomf.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmlist.h"
#include "paasmpool.h"
#include "paasmquodra.h"
#include "paasmsym.h"

const DefaultSectionEntry default_section_table[3] = {
    {".bss", 1, 1, 0, MEMORY_DATA, 1},
    {".data", 1, 1, 0, MEMORY_DATA, 1},
    {".text", 4, 2, 0, MEMORY_PROGRAM, 1},
};

Section* current_section = nullptr;
Section* section_list = nullptr;
Section* section_list_tail = nullptr;
const char* default_data_name = nullptr;
const char* default_text_name = nullptr;
bool capture_active = false;
uint32_t capture_count = 0;
uint32_t capture_start = 0;

namespace {

constexpr const char* omf_source_name = "../src/paasmomf";

// The current section of a pass that has no section at all: it accepts
// any address space, reads location 0 and has no image, so a store into
// it is refused like any store beyond a section's size. It is never in
// section_list, never laid out and never written.
Section omf_empty_section;
Symbol omf_empty_symbol;

void omf_reset_empty_section() {
    omf_empty_symbol = Symbol{};
    omf_empty_symbol.name = "";
    omf_empty_symbol.section = &omf_empty_section;
    omf_empty_symbol.scope = SCOPE_SECTION;
    omf_empty_symbol.value_class = CLASS_EXTERNAL;
    omf_empty_symbol.value_type = TYPE_SECTION;
    omf_empty_symbol.flags = SYM_DEFINED_PASS1 | SYM_DEFINED_PASS2;
    omf_empty_symbol.index = UINT32_MAX;  // not a symbol of any table

    omf_empty_section = Section{};
    omf_empty_section.symbol = &omf_empty_symbol;
    omf_empty_section.memory_kind = MEMORY_ANY;
    omf_empty_section.section_class = 1;
    omf_empty_section.bytes_per_element = 1;
    omf_empty_section.units_per_element = 1;
}

// ---- The name index ----------------------------------------------------------
// A .section statement finds its section by name ignoring letter case, and
// a compiler may write one section per function: the sections are found
// through the interned texts rather than by walking section_list. Every
// interned text has an index and a tag; omf_named holds, one after the
// other, the first section made with each name folded to lower case, and
// the tag of the folded name's text is its place there plus 1. The text of
// each name that was looked up in another case gets the same tag, so that
// a name read from the token file, which carries its index, is found with
// no hashing at all. (The tags live in the interned entries, so that a
// program of a section per function keeps no array as long as every name
// of the run for them.) The other sections
// whose names are equal ignoring case follow the first through
// same_name_next, in creation order. Of those, the one that comes first in
// section_list is found, as a walk of the list would find it:
// list_position numbers the list, a new section (pushed at the head) gets
// a smaller number than every other, and the layout numbers the rebuilt
// list afresh. A dropped section keeps its chain place but is never found.
constexpr int64_t OMF_UNLISTED = INT64_MAX;
std::vector<Section*> omf_named;
int64_t omf_head_position = 0;

// The sections come from blocks of their own, so that the walks over
// every section read them one after the other.
constexpr size_t OMF_SECTION_BLOCK = 256;
Section* omf_block_next = nullptr;
Section* omf_block_end = nullptr;

Section* omf_new_section() {
    if (omf_block_next == omf_block_end) {
        omf_block_next = pool_new_array<Section>(OMF_SECTION_BLOCK, POOL_RUN);
        omf_block_end = omf_block_next + OMF_SECTION_BLOCK;
    }
    Section* section = omf_block_next++;
    *section = Section{};
    return section;
}

// Folds each byte with the same tolower as asm_strcmp_nocase (read once
// into a table): two names compare equal ignoring case exactly when their
// folded texts are equal.
const std::array<uint8_t, 256> omf_fold_table = [] {
    std::array<uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) table[static_cast<size_t>(c)] = static_cast<uint8_t>(std::tolower(c));
    return table;
}();

// The length of the name's leading run of bytes that folding leaves alone.
size_t omf_lower_prefix(const char* name, size_t length) {
    size_t at = 0;
    while (at < length && omf_fold_table[static_cast<unsigned char>(name[at])] == static_cast<unsigned char>(name[at]))
        ++at;
    return at;
}

// The interned index of the lower-case text of the name, whose own index
// is `own` when it is known; most names are lower case already and are
// their own folded text.
uint32_t omf_folded_index(const char* name, uint32_t own = UINT32_MAX) {
    size_t length = std::strlen(name);
    size_t at = omf_lower_prefix(name, length);
    if (at == length) return own != UINT32_MAX ? own : intern_index_of(name, static_cast<uint32_t>(length));
    std::string folded(name, length);
    for (; at < length; ++at) folded[at] = static_cast<char>(omf_fold_table[static_cast<unsigned char>(folded[at])]);
    return intern_index_of(folded.data(), static_cast<uint32_t>(length));
}

// The last name looked up by its index and not found, and its folded
// index: the section that a .section statement then makes has that name,
// and is indexed without folding it again. Interned texts are unique, so
// the pointer names the text for as long as the intern generation lasts.
const char* omf_missed_text = nullptr;
uint32_t omf_missed_folded = 0;
uint32_t omf_missed_generation = 0;

Section* omf_named_at(uint32_t index) {
    uint32_t tag = intern_tag_at(index);
    return tag != 0 && tag <= omf_named.size() ? omf_named[tag - 1] : nullptr;
}

// The section is the first with the folded name of that index.
void omf_name_first(uint32_t folded, Section* first) {
    omf_named.push_back(first);
    intern_set_tag(folded, static_cast<uint32_t>(omf_named.size()));
}

void omf_index_section(Section* section) {
    section->list_position = --omf_head_position;
    section->same_name_next = nullptr;
    if (section->symbol == nullptr || section->symbol->name == nullptr) return;  // found by no name
    const char* name = section->symbol->name;
    uint32_t folded = name == omf_missed_text && omf_missed_generation == intern_generation() ? omf_missed_folded
                                                                                            : omf_folded_index(name);
    Section* first = omf_named_at(folded);
    if (first == nullptr) {
        omf_name_first(folded, section);
        return;
    }
    Section* last = first;
    while (last->same_name_next != nullptr) last = last->same_name_next;
    last->same_name_next = section;
}

// Pass 2 replays the statements of pass 1, and must decide on every one
// of them as pass 1 did: a section that pass 1 made on a later line did
// not exist yet when pass 1 looked the name up here. (Without this, a
// name that pass 1 refused could select, in pass 2 only, a section that
// a later statement named in another letter case.)
bool omf_section_exists_here(const Section* section) {
    return pass_number != 2 || current_source == nullptr || section->first_line <= current_source->line;
}

uint32_t omf_units(const Section* section) {
    return section->units_per_element > 0 ? static_cast<uint32_t>(section->units_per_element) : 1;
}

uint32_t omf_clamp32(uint64_t value) { return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value); }

// No device of the family addresses more than 24 bits, and the layout puts
// the sections of one memory kind back to back from 0: together they may
// reach OMF_ADDRESS_LIMIT address units, not beyond. omf_kind_extent holds,
// for each layout group, the sum of its sections' location counters; the
// counters start at their origins (0) in both passes and grow by the same
// steps, so a step is refused alike in pass 1 and pass 2, and no image is
// ever sized past the address space.
constexpr uint64_t OMF_ADDRESS_LIMIT = 0x1000000;
uint64_t omf_kind_extent[4];
// Set when an emitter refused a step; the statement loop reports it.
bool omf_statement_overflow = false;

// The layout group of a memory kind: program, data, any, and the rest.
int omf_group(uint8_t memory_kind) {
    return memory_kind == MEMORY_PROGRAM ? 0 : memory_kind == MEMORY_DATA ? 1 : memory_kind == MEMORY_ANY ? 2 : 3;
}

// The extents at the start of a pass, from the counters as they then are.
void omf_measure_extents() {
    for (uint64_t& extent : omf_kind_extent) extent = 0;
    for (const Section* section = section_list; section != nullptr; section = section->next)
        omf_kind_extent[omf_group(section->memory_kind)] += section->location;
}

// Moves the current section's counter on by `units`, unless that would
// take its memory kind past the address space; then nothing moves.
bool omf_step(uint64_t units) {
    uint64_t& extent = omf_kind_extent[omf_group(current_section->memory_kind)];
    if (extent + units > OMF_ADDRESS_LIMIT) return false;
    extent += units;
    current_section->location += static_cast<uint32_t>(units);
    return true;
}

bool omf_step_fits(uint64_t units) {
    return omf_kind_extent[omf_group(current_section->memory_kind)] + units <= OMF_ADDRESS_LIMIT;
}

// Pass 1: the elements are only counted.
void omf_count(Section* section, uint32_t count) {
    section->size = omf_clamp32(uint64_t{section->size} + count);
    section->flags |= SECT_USED;
}

// A pass-2 store must fall inside what pass 1 counted.
void omf_check_index(const Section* section, uint64_t index, int line) {
    if (section->image == nullptr || index >= section->size) diag_fatal(1, omf_source_name, line);
}

// One element of the section's width: a 32-bit cell in host order in
// 4-byte sections, the low byte of the value in 1-byte sections.
void omf_store_element(Section* section, uint64_t index, uint32_t value) {
    size_t width = section->bytes_per_element > 0 ? static_cast<size_t>(section->bytes_per_element) : 1;
    uint8_t* cell = section->image + static_cast<size_t>(index) * width;
    if (width >= 4)
        std::memcpy(cell, &value, sizeof value);
    else
        *cell = static_cast<uint8_t>(value);
}

// The byte emitters index the image by location counter, whatever the
// section's geometry; the bound is the element count, which never exceeds
// the image's bytes.
void omf_emit_byte_run(uint32_t count, const uint8_t* values, int line) {
    Section* section = current_section;
    if (!omf_step_fits(count)) {
        omf_statement_overflow = true;
        return;
    }
    if (pass_number <= 1) {
        omf_count(section, count);
    } else {
        if (!capture_active && lst_wanted()) {
            if (count == 1)
                lst_set_byte(section->location, values[0]);
            else
                lst_set_bytes(section->location, count, values);
        }
        for (uint32_t i = 0; i < count; ++i) {
            uint64_t index = uint64_t{section->location} + i;
            omf_check_index(section, index, line);
            section->image[index] = values[i];
        }
    }
    if (capture_active) capture_count += count;
    omf_step(count);
}

// The 16-bit and 32-bit emitters store whole elements from the element
// index of the location counter.
// Hands one emitter call's 16-bit or 32-bit elements to the listing.
void lst_take_elements(uint32_t address, uint32_t count, const uint16_t* values) {
    if (count == 1)
        lst_set_word(address, values[0]);
    else
        lst_set_words(address, count, values);
}
void lst_take_elements(uint32_t address, uint32_t count, const uint32_t* values) {
    if (count == 1)
        lst_set_long(address, values[0]);
    else
        lst_set_longs(address, count, values);
}

template <class T>
void omf_emit_element_run(uint32_t count, const T* values, int line) {
    Section* section = current_section;
    uint32_t units = omf_units(section);
    uint64_t step = uint64_t{count} * units;
    if (!omf_step_fits(step)) {
        omf_statement_overflow = true;
        return;
    }
    if (pass_number <= 1) {
        omf_count(section, count);
    } else {
        if (!capture_active && lst_wanted()) lst_take_elements(section->location, count, values);
        uint64_t first = section->location / units;
        for (uint32_t i = 0; i < count; ++i) {
            omf_check_index(section, first + i, line);
            omf_store_element(section, first + i, static_cast<uint32_t>(values[i]));
        }
    }
    if (capture_active) capture_count += count;
    omf_step(step);
}

// A default section that nothing used: dropped from the list before the
// layout.
bool omf_unused_default(const Section* section) {
    return (section->flags & SECT_DEFAULT) != 0 && (section->flags & SECT_USED) == 0;
}

void omf_lay_out(bool drop_and_allocate);

}  // namespace

void omf_init() {
    hex_upper_address = HEX_NO_UPPER_ADDRESS;
    capture_active = false;
    capture_count = 0;
    capture_start = 0;
    default_data_name = ".data";
    default_text_name = ".text";
    section_list = nullptr;
    section_list_tail = nullptr;
    omf_named.clear();
    intern_clear_tags();
    omf_missed_text = nullptr;
    omf_block_next = omf_block_end = nullptr;
    omf_head_position = 0;
    omf_reset_empty_section();
    current_section = &omf_empty_section;
    omf_measure_extents();
    omf_statement_overflow = false;
    tgt_register_target();
}

void omf_begin_pass(int32_t pass) {
    // The read-after-write check compares with the previous instruction of
    // the same pass only: the last instruction of the pass before is no
    // predecessor of the first one of this pass. Pass 1 makes its sections
    // afresh, the image allocation clears them for pass 2 in the walk it
    // makes anyway, and the writers' passes assemble nothing: no pass walks
    // the sections only for this.
    omf_empty_section.last_hazard_defs = 0;
    if (pass == 1) {
        omf_create_default_sections();
    } else if (pass == 2) {
        // The unused default sections are dropped, the others laid out and
        // given their images, in one walk (see omf_lay_out).
        pool_release(POOL_PASS);
        omf_lay_out(true);
    }
}

namespace {

// Of the sections whose names are equal ignoring case to the first's, the
// one that a walk of section_list would meet first.
Symbol* omf_find_in_chain(Section* first, int mark, bool skip_unused_defaults = false) {
    Section* found = nullptr;
    for (Section* section = first; section != nullptr; section = section->same_name_next) {
        if (section->list_position == OMF_UNLISTED || !omf_section_exists_here(section)) continue;
        if (skip_unused_defaults && omf_unused_default(section)) continue;
        if (found == nullptr || section->list_position < found->list_position) found = section;
    }
    if (found == nullptr) return nullptr;
    if (mark != 0) found->flags |= SECT_USED;
    return found->symbol;
}

}  // namespace

Symbol* omf_find_section(const char* name, int mark) {
    if (name == nullptr || omf_named.empty()) return nullptr;
    return omf_find_in_chain(omf_named_at(omf_folded_index(name)), mark);
}

Symbol* omf_find_section_text(uint32_t text_index, int mark) {
    if (Section* first = omf_named_at(text_index)) return omf_find_in_chain(first, mark);
    const char* name = intern_text_at(text_index);
    if (name == nullptr || omf_named.empty()) return nullptr;
    uint32_t folded = omf_folded_index(name, text_index);
    Section* first = omf_named_at(folded);
    // Found again by its own index from now on.
    if (first != nullptr) {
        intern_set_tag(text_index, intern_tag_at(folded));
    } else {
        omf_missed_text = name;
        omf_missed_folded = folded;
        omf_missed_generation = intern_generation();
    }
    return omf_find_in_chain(first, mark);
}

Section* omf_create_section(uint8_t memory_kind, uint8_t section_class, Symbol* symbol, uint32_t origin) {
    Section* section = omf_new_section();
    section->memory_kind = memory_kind;
    section->section_class = section_class;
    section->symbol = symbol;
    section->origin = origin;
    section->location = origin;
    section->first_line = current_source != nullptr ? current_source->line : 0;
    section->next = section_list;
    if (section_list == nullptr) section_list_tail = section;
    section_list = section;
    omf_index_section(section);
    return section;
}

void omf_create_default_sections() {
    for (const DefaultSectionEntry& row : default_section_table) {
        Symbol* symbol = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, intern_string(row.name)});
        symbol->scope = SCOPE_SECTION;
        symbol->value_class = CLASS_EXTERNAL;
        symbol->value_type = TYPE_SECTION;
        symbol->value.raw = 0;
        symbol->flags |= SYM_DEFINED_PASS1 | SYM_DEFINED_PASS2;
        Section* section = omf_create_section(row.memory_kind, row.section_class, symbol, row.origin);
        symbol->section = section;
        section->first_line = 0;  // there from the start of every pass
        section->flags |= SECT_DEFAULT;
        section->bytes_per_element = row.bytes_per_element;
        section->units_per_element = row.units_per_element;
    }
    Symbol* text = omf_find_section(default_section_table[2].name, 0);
    current_section = text != nullptr && text->section != nullptr ? text->section : &omf_empty_section;
    omf_measure_extents();
}

void omf_drop_unused_sections() {
    Section** link = &section_list;
    section_list_tail = nullptr;
    while (*link != nullptr) {
        Section* section = *link;
        if (omf_unused_default(section)) {
            *link = section->next;
            section->next = nullptr;
            section->list_position = OMF_UNLISTED;
        } else {
            section_list_tail = section;
            link = &section->next;
        }
    }
}

void omf_layout_sections() { omf_lay_out(false); }

namespace {

// The image of a laid-out section, cleared, from the pass-2 pool.
void omf_allocate_image(Section* section) {
    section->instruction_count = 0;
    section->last_hazard_defs = 0;
    section->image = nullptr;
    if (section->size == 0 || section->bytes_per_element <= 0) return;
    size_t bytes_per_element = static_cast<size_t>(section->bytes_per_element);
    section->image = static_cast<uint8_t*>(pool_alloc_array(section->size, bytes_per_element, POOL_PASS));
    std::memset(section->image, 0, size_t{section->size} * bytes_per_element);
}

// The layout between the passes. With `drop_and_allocate` it also does in
// the same walk what omf_drop_unused_sections does before a layout, and
// gives each laid-out section its image, so that a program of a section
// per function reads its sections once rather than three times: the
// current section is then chosen as it would have been after the drop.
void omf_lay_out(bool drop_and_allocate) {
    omf_reset_empty_section();
    Symbol* text = nullptr;
    if (!omf_named.empty()) {
        uint32_t folded = omf_folded_index(default_section_table[2].name);
        text = omf_find_in_chain(omf_named_at(folded), 0, drop_and_allocate);
    }
    // The head of the list as the drop leaves it: its first section kept.
    Section* first_kept = nullptr;
    // One walk: each section is sized, rewound, numbered for the name index
    // and placed, and appended to the group of its memory kind, keeping list
    // order within a group; then the groups are joined. The sections of one
    // memory kind lie back to back in list order, and the number (the group
    // in the high half, the place within it in the low half) grows along
    // the joined list. The extents of pass 2 start from the rewound counters.
    Section* heads[4] = {nullptr, nullptr, nullptr, nullptr};
    Section* tails[4] = {nullptr, nullptr, nullptr, nullptr};
    int64_t positions[4] = {0, int64_t{1} << 32, int64_t{2} << 32, int64_t{3} << 32};
    uint64_t sums[3] = {0, 0, 0};
    for (uint64_t& extent : omf_kind_extent) extent = 0;
    for (Section* section = section_list; section != nullptr;) {
        Section* next = section->next;
        if (drop_and_allocate && omf_unused_default(section)) {
            section->next = nullptr;
            section->list_position = OMF_UNLISTED;
            section = next;
            continue;
        }
        if (first_kept == nullptr) first_kept = section;
        uint64_t end = uint64_t{section->origin} + section->size;
        if (end > section->location) section->location = omf_clamp32(end);
        int group = omf_group(section->memory_kind);
        section->next = nullptr;
        if (tails[group] != nullptr)
            tails[group]->next = section;
        else
            heads[group] = section;
        tails[group] = section;

        if (section->location > section->high_water) section->high_water = section->location;
        section->location = section->origin;
        omf_kind_extent[group] += section->location;
        section->list_position = positions[group]++;
        uint32_t span = section->high_water >= section->origin ? section->high_water - section->origin : 0;
        section->size = span / omf_units(section);
        if (group < 3 && section->high_water != 0) {
            section->placed_address = omf_clamp32(sums[group]);
            sums[group] += section->high_water;
        }
        if (drop_and_allocate) omf_allocate_image(section);
        section = next;
    }
    section_list = nullptr;
    section_list_tail = nullptr;
    for (int group = 0; group < 4; ++group) {
        if (heads[group] == nullptr) continue;
        if (section_list_tail != nullptr)
            section_list_tail->next = heads[group];
        else
            section_list = heads[group];
        section_list_tail = tails[group];
    }
    omf_head_position = 0;
    if (drop_and_allocate) omf_empty_section.instruction_count = 0;
    if (text != nullptr && text->section != nullptr)
        current_section = text->section;
    else if (first_kept != nullptr)
        current_section = first_kept;
    else
        current_section = &omf_empty_section;
}

}  // namespace

bool omf_advance_location(uint64_t units) {
    // A section that only reserves space is still used: it keeps its size.
    current_section->flags |= SECT_USED;
    return omf_step(units);
}

void omf_end_statement() {
    if (omf_statement_overflow) diag_error(21);
    omf_statement_overflow = false;
}

void omf_begin_capture() {
    capture_active = true;
    capture_count = 0;
    capture_start = current_section->location;
    current_section->flags |= SECT_USED;
}

void omf_end_capture() {
    // In pass 2 with a listing, the captured elements go to the listing as
    // one object field.
    Section* section = current_section;
    // The emitters checked every stored index, so the captured run lies in
    // the image; the bound is checked again rather than trusted.
    uint64_t units = omf_units(section);
    uint64_t end = section->bytes_per_element == 1 ? uint64_t{capture_start} + capture_count
                                                   : uint64_t{capture_start} / units + capture_count;
    if (lst_wanted() && section->image != nullptr && end <= section->size) {
        if (section->bytes_per_element == 1) {
            lst_set_bytes(capture_start, capture_count, section->image + capture_start);
        } else if (section->bytes_per_element == 4) {
            uint64_t first = capture_start / units;
            std::vector<uint32_t> elements(capture_count);
            if (capture_count != 0)
                std::memcpy(elements.data(), section->image + first * 4u, size_t{capture_count} * 4u);
            lst_set_longs(capture_start, capture_count, elements.data());
        }
    }
    capture_active = false;
    capture_count = 0;
}

void omf_emit_byte(uint8_t value) { omf_emit_byte_run(1, &value, 779); }

void omf_emit_bytes(uint32_t count, const uint8_t* values) { omf_emit_byte_run(count, values, 821); }

void omf_emit_word(uint16_t value) { omf_emit_element_run(1, &value, 860); }

void omf_emit_words(uint32_t count, const uint16_t* values) { omf_emit_element_run(count, values, 902); }

void omf_emit_long(uint32_t value) { omf_emit_element_run(1, &value, 941); }

void omf_emit_longs(uint32_t count, const uint32_t* values) { omf_emit_element_run(count, values, 983); }
