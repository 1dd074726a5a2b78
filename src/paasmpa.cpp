// Abstraction recording: pass 2 hands every instruction it encodes to this
// recorder, which keeps it in the basic block it belongs to, reduced to the
// encoding that decides whether two instructions are interchangeable. The
// source switches recording on and off with the symbol ___PA___; the
// encoders, labels and .pword end blocks. The records live in the run
// pool, since the abstraction reshapes them in place until the very end.
#include "paasmpa.h"

#include <unordered_set>

#include "paasmdriver.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmpool.h"
#include "paasmsym.h"

PaBlockList basic_block_list;
PaBlockList opened_aggregation_list;
PaBlockList closed_aggregation_list;
PaBlock* recording_block = nullptr;
Symbol* abstraction_switch_symbol = nullptr;

namespace {

// The listing's optimiser mark for the current statement.
void pa_set_mark(char mark) { main_source.marks[3] = mark; }

// Recording is on while the low 32 bits of ___PA___ are not 0.
bool pa_recording_on() { return sym_switch_word(abstraction_switch_symbol) != 0; }

// Instruction-word patterns of the tests below.
bool pa_word_is_skip_or_repeat(uint32_t word) {
    switch (word & 0xFF0000u) {
        case 0xA60000u:  // BTSS, BTSC on a register
        case 0xA70000u:
        case 0xAE0000u:  // BTSS, BTSC on a file register
        case 0xAF0000u:
            return true;
        default:
            break;
    }
    switch (word & 0xFF8000u) {
        case 0x090000u:  // REPEAT #lit
        case 0x098000u:  // REPEAT Wn
        case 0xE40000u:  // INCSZ, INCSNZ, DECSZ, DECSNZ, CPSxx and CPBxx
        case 0xE48000u:
        case 0xE50000u:
        case 0xE58000u:
        case 0xE60000u:
        case 0xE68000u:
        case 0xE70000u:
        case 0xE78000u:
            return true;
        default:
            return false;
    }
}

void pa_reset_list(PaBlockList& list) { list = PaBlockList{}; }

}  // namespace

bool pa_word_is_unconditional_transfer(uint32_t word) {
    switch (word & 0xFF0000u) {
        case 0x040000u:  // GOTO with an address
        case 0x050000u:  // RETLW, PRETLW
        case 0x370000u:  // BRA without a condition
            return true;
        default:
            break;
    }
    switch (word & 0xFFC000u) {
        case 0x014000u:  // GOTO Wn, BRA Wn (default family)
        case 0x060000u:  // RETURN, PRETURN
            return true;
        default:
            break;
    }
    // The register GOTOs of the families 0x60 jump away just the same: left
    // out, a body ending in one would be called and never return.
    if ((word & 0xFFFFF0u) == 0x010400u) return true;  // GOTO Wn (families 0x60)
    return (word & 0xFF87F0u) == 0x018400u;            // GOTO.L Wn
}

bool pa_is_skip_or_repeat(const PaInstruction* record) {
    return pa_word_is_skip_or_repeat(record->encoding.word);
}

bool pa_is_unconditional_transfer(const PaInstruction* record) {
    return pa_word_is_unconditional_transfer(record->encoding.word);
}

namespace {

// The labels that an operand or data in program memory names for its
// address (not as where a transfer goes), in pass 1 and pass 2. Such a
// label inside a replaced sequence would be written again before the call,
// at another address, and the word naming it would change: it ends the
// block instead.
std::unordered_set<const Symbol*> address_named_labels;

}  // namespace

void pa_note_address_label(const Symbol* label) {
    if (label != nullptr && (option_flags & OPT_ABSTRACT) != 0) address_named_labels.insert(label);
}

void pa_begin_pass() {
    if (pass_number == 1) address_named_labels.clear();
    if (pass_number != 2) return;
    // Nothing is recorded before pass 2; records an earlier run in this
    // process left behind are forgotten.
    pa_reset_list(basic_block_list);
    pa_reset_list(opened_aggregation_list);
    pa_reset_list(closed_aggregation_list);
    recording_block = nullptr;
    abstraction_switch_symbol = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, intern_string("___PA___")});
    // Off, as an unset switch is, whatever pass 1 left in it.
    sym_set_absolute_integer(abstraction_switch_symbol, 0);
    pa_watch_line_table_begin();
}

PaBlock* pa_new_block(PaBlockList& list, Section* section) {
    auto* block = static_cast<PaBlock*>(pool_zalloc(sizeof(PaBlock), POOL_RUN));
    block->section = section;
    block->uses = 1;
    block->id = static_cast<uint32_t>(list.next_id++);
    PaBlock* end = list.tail != nullptr ? list.tail : list.head;
    if (end == nullptr) {
        list.head = block;
    } else {
        while (end->next != nullptr) end = end->next;
        end->next = block;
    }
    list.tail = block;
    ++list.count;
    return block;
}

PaInstruction* pa_append_instruction(int32_t size, const PaEncoding& encoding) {
    // A block holds one section's code: a sequence that went on in another
    // section would be replaced by a call written in the wrong one.
    if (recording_block != nullptr && recording_block->section != current_section) pa_end_block();
    if (recording_block == nullptr) {
        recording_block = pa_new_block(basic_block_list, current_section);
        recording_block->first_line = lines_read;
    }
    auto* record = static_cast<PaInstruction*>(pool_zalloc(sizeof(PaInstruction), POOL_RUN));
    record->first_line = lines_read;
    record->last_line = lines_read;
    record->size = size;
    record->location = current_section->location;
    record->encoding = encoding;
    PaBlock* block = recording_block;
    if (block->last == nullptr)
        block->first = record;
    else
        block->last->next = record;
    block->last = record;
    ++block->count;
    block->last_line = lines_read;
    return record;
}

void pa_record_instruction(int32_t size, const PaEncoding& encoding) {
    if (pass_number < 2) return;
    pa_watch_line_table();
    if (!pa_recording_on()) {
        pa_set_mark(' ');
        pa_end_block();
        return;
    }
    PaInstruction* record = pa_append_instruction(size, encoding);
    if (pa_is_skip_or_repeat(record))
        pa_set_mark('+');
    else if (pa_is_unconditional_transfer(record))
        pa_set_mark('-');
    else
        pa_set_mark('*');
}

void pa_record_one_word(uint32_t word, Symbol* symbol) { pa_record_instruction(1, PaEncoding{word, 0, symbol}); }

void pa_record_two_words(const uint32_t words[2], Symbol* symbol) {
    pa_record_instruction(2, PaEncoding{words[0], words[1], symbol});
}

void pa_record_label(Symbol* symbol) {
    if (symbol == nullptr) return;
    if ((option_flags & OPT_ABSTRACT) == 0) return;
    if (pass_number < 2) return;
    pa_watch_line_table();
    if (symbol->scope == SCOPE_GLOBAL || !pa_recording_on()) {
        pa_set_mark(' ');
        pa_end_block();
        return;
    }
    // One of data memory counts only among the instructions of its own
    // section.
    if (address_named_labels.count(symbol) != 0 &&
        ((symbol->section != nullptr && (symbol->section->memory_kind & MEMORY_PROGRAM) != 0) ||
         (recording_block != nullptr && recording_block->section == symbol->section))) {
        pa_end_block();
        return;
    }
    if (sym_is_local_name(symbol->name) == 0 && (symbol->flags & (SYM_BRANCH_TARGET | SYM_REFERENCED_PASS1)) != 0) {
        // A named label that something refers to (a call, a jump, a table
        // entry): inside a replaced sequence only the first occurrence's
        // label would stay, and what refers to another would lose it. It
        // ends the block instead; the listing marks a branch target as
        // before.
        pa_end_block();
        if ((symbol->flags & SYM_BRANCH_TARGET) != 0) pa_set_mark('*');
        return;
    }
    if ((symbol->flags & SYM_BRANCH_TARGET) != 0) {
        pa_record_instruction(0, PaEncoding{PA_LABEL_WORD, 0, nullptr});
        pa_set_mark('*');
    }
}

// Data or space put into the section of the block being recorded ends the
// block: a rewrite of a sequence around it would write it before the call
// and move it, and every address after it, against the instructions.
void pa_record_data() {
    if (pass_number < 2) return;
    pa_watch_line_table();
    if (recording_block != nullptr && recording_block->section == current_section) pa_end_block();
}

void pa_end_block() { recording_block = nullptr; }
