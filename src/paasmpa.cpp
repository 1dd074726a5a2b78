// Abstraction recording.
#include "paasmpa.h"

void pa_begin_pass() {}
void pa_record_one_word(uint32_t, Symbol*) {}
void pa_record_two_words(const uint32_t[2], Symbol*) {}
void pa_record_label(Symbol*) {}
void pa_end_block() {}
