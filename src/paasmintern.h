// String interning: every name and string value is stored once per run,
// so equal texts have equal addresses and compare by pointer.
#pragma once

#include <cstdint>

struct InternEntry {
    const char* text;   // zero-terminated copy
    uint32_t length;    // bytes, without the terminator
    uint32_t hash;      // the table's hash of the text, kept for growing the table
    InternEntry* next;  // next entry of the same bucket
    uint32_t index;     // position in the run-wide text index
};

// Buckets of the table when it is set up; it doubles whenever it holds
// more entries than buckets, so a chain stays short however many names
// a source has.
constexpr int INTERN_BUCKETS = 1024;

extern uint32_t intern_byte_table[256];

void intern_init();
// The weighted byte hash of a text (2h + weight of each byte).
uint32_t intern_hash(const char* text, uint32_t length);
const char* intern_bytes(const char* text, uint32_t length);
const char* intern_string(const char* text);

// The run-wide index of an interned text (interning it first), and back.
// Token records carry these indices in place of pointers.
uint32_t intern_index_of(const char* text, uint32_t length);
const char* intern_text_at(uint32_t index);
