// String interning: every name and string value is stored once per run,
// so equal texts have equal addresses and compare by pointer.
#pragma once

#include <cstdint>
#include <cstring>

// One interned text, kept by its run-wide index.
struct InternEntry {
    const char* text;  // zero-terminated copy
    uint32_t length;   // bytes, without the terminator
    // A number that one client keeps with the text, 0 until it sets one
    // (the sections' name index: it takes the room the entry has anyway).
    uint32_t tag;
};

// Slots of the table when it is set up; it doubles whenever it is half
// full, so a lookup costs the same with ten names as with a million.
constexpr int INTERN_BUCKETS = 1024;

void intern_init();
// Counts the calls of intern_init: indices of one generation mean nothing
// in another.
uint32_t intern_generation();
const char* intern_bytes(const char* text, uint32_t length);
const char* intern_string(const char* text);

// The run-wide index of an interned text (interning it first), and back.
// Token records carry these indices in place of pointers.
uint32_t intern_index_of(const char* text, uint32_t length);
const char* intern_text_at(uint32_t index);
// The tag of the text of that index (0 for an index of no text), and
// setting it; intern_clear_tags sets every tag to 0 again.
uint32_t intern_tag_at(uint32_t index);
void intern_set_tag(uint32_t index, uint32_t tag);
void intern_clear_tags();

// The run-wide index of a text that intern_* returned (not of any other
// text): the interner keeps it in the four bytes before the text.
inline uint32_t intern_index_of_text(const char* interned) {
    uint32_t index;
    std::memcpy(&index, interned - sizeof index, sizeof index);
    return index;
}
