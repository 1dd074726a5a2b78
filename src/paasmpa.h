// Procedural abstraction: what pass 2 records of the program's instructions
// and basic blocks.
#pragma once

#include <cstdint>

struct Symbol;
struct Section;
struct PaCallSite;

// Pseudo words above the 24 instruction bits: the abstraction's own
// records, never instructions of the source.
constexpr uint32_t PA_CALL_WORD = 0xF0000000u;   // a call of an aggregation
constexpr uint32_t PA_LABEL_WORD = 0xF1000000u;  // a branch-target label

// What an encoder hands over for one instruction; equal encodings are
// interchangeable instructions.
struct PaEncoding {
    uint32_t word = 0;
    uint32_t operand = 0;  // the second word of a two-word instruction, else 0
    Symbol* symbol = nullptr;  // the relocation symbol, compared by identity
};

// One recorded instruction (or label marker, or call of an aggregation).
struct PaInstruction {
    PaInstruction* next;
    int32_t first_line;
    int32_t last_line;
    int32_t size;      // program words: 1 or 2, 0 for a label marker
    int32_t class_id;  // 0 until the records are classed
    uint32_t location; // the instruction's address in address units
    uint32_t flags;
    PaEncoding encoding;
    const PaEncoding* follower;  // the instruction fused into a skip or REPEAT
};

// Bit of PaInstruction::flags: a W15-relative move whose stack offset was
// lowered for a closed aggregation.
constexpr uint32_t PA_INSTRUCTION_STACK_ADJUSTED = 0x1;

enum PaBlockFlag : uint8_t {
    BLOCK_OPENED = 0x01,       // the body ends with an unconditional transfer
    BLOCK_STACK_MOVES = 0x02,  // the body holds relocated W15-relative moves
    BLOCK_MARK = 0x04,         // scratch mark of the writers
};

// One basic block, later also one aggregation.
struct PaBlock {
    PaBlock* next;
    PaInstruction* first;
    PaInstruction* last;
    Section* section;
    PaCallSite* call_sites;
    int32_t uses;  // 1 as recorded, 0 when cut off, the occurrences of an aggregation
    uint32_t id;
    int32_t level;
    int32_t total_size;
    int32_t count;
    int32_t first_line;
    int32_t last_line;
    uint8_t flags;
};

struct PaBlockList {
    PaBlock* head = nullptr;
    int32_t count = 0;
    int32_t next_id = 0;
    // Where pa_new_block looks for the end of the list first; blocks linked
    // in after it are found by walking on from it. Whoever unlinks blocks
    // from the list sets it to none, and the next new block finds the end
    // from the head again.
    PaBlock* tail = nullptr;
};

extern PaBlockList basic_block_list;
extern PaBlockList opened_aggregation_list;
extern PaBlockList closed_aggregation_list;

// The block that receives the next recorded instruction; none between blocks.
extern PaBlock* recording_block;
// The symbol ___PA___: recording is on while the low 32 bits of its value
// are not 0.
extern Symbol* abstraction_switch_symbol;

void pa_begin_pass();
void pa_record_one_word(uint32_t word, Symbol* symbol);
void pa_record_two_words(const uint32_t words[2], Symbol* symbol);
void pa_record_instruction(int32_t size, const PaEncoding& encoding);
void pa_record_label(Symbol* symbol);
// Ends the current block; harmless when none is open.
// Data or space in the current section: the block of its instructions ends.
void pa_record_data();
// A label of program memory that an operand or data in program memory
// names for its address.
void pa_note_address_label(const Symbol* label);
void pa_end_block();
// Pass 2 watches whether the input's line table can be left out (ELF build):
// the start of the pass, then every instruction, data statement and label.
void pa_watch_line_table_begin();
void pa_watch_line_table();
PaInstruction* pa_append_instruction(int32_t size, const PaEncoding& encoding);
PaBlock* pa_new_block(PaBlockList& list, Section* section);

// Tests on a record's instruction word (its follower is not looked at).
bool pa_is_skip_or_repeat(const PaInstruction* record);
bool pa_is_unconditional_transfer(const PaInstruction* record);
// The same test on an instruction word, e.g. a fused follower's.
bool pa_word_is_unconditional_transfer(uint32_t word);
