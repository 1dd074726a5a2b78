// Procedural abstraction: what pass 2 records of the program's instructions
// and basic blocks.
#pragma once

#include <cstdint>

struct Symbol;

// What an encoder hands over for one instruction; equal encodings are
// interchangeable instructions.
struct PaEncoding {
    uint32_t word = 0;
    uint32_t operand = 0;
    Symbol* symbol = nullptr;
};

void pa_begin_pass();
void pa_record_one_word(uint32_t word, Symbol* symbol);
void pa_record_two_words(const uint32_t words[2], Symbol* symbol);
void pa_record_label(Symbol* symbol);
void pa_end_block();
