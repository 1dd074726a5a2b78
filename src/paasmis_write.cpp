// The scheduled-source writer: the source again, line for line from the
// copies that pass 2 stored, with the instructions of every block in their
// scheduled order and each filled branch in its delayed form followed by
// its slot instructions. Every line carries its source line number and a
// mark that says whether it follows the line written before it.
//
// A cursor runs over the source lines: the lines it passes come out where
// they stand, except the instructions of the current block, which wait for
// their place in the schedule. Which block a line belongs to is looked up
// in a table by line number, built once before writing.
#include <cctype>
#include <cstdarg>
#include <cstring>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmis_dag.h"
#include "paasmlex.h"
#include "paasmpool.h"

FILE* scheduled_output_file = nullptr;
int32_t last_printed_line = 0;

namespace {

constexpr int MISSING_LINE_PLACE = 1568;

// The block each instruction line belongs to (its line or merged line),
// indexed by line number; none for every other line.
const SchedBlock** line_owner = nullptr;
int32_t line_owner_size = 0;

void index_block_lines() {
    line_owner_size = line_total + 1;
    line_owner = pool_new_array<const SchedBlock*>(static_cast<size_t>(line_owner_size), POOL_RUN);
    for (int32_t line = 0; line < line_owner_size; ++line) line_owner[line] = nullptr;
    for (const SchedBlock* block = schedule_block_list; block != nullptr; block = block->next) {
        for (const SchedInstruction* item = block->first; item != nullptr; item = item->next) {
            if (item->line > 0 && item->line < line_owner_size) line_owner[item->line] = block;
            if (item->merged_line > 0 && item->merged_line < line_owner_size) line_owner[item->merged_line] = block;
        }
    }
}

// The lines are split into label and mnemonic the way the scanner reads
// them: its blanks are space, tab and carriage return; after a word it
// looks past spaces and tabs only for the ':' that makes the word a label.
bool is_blank(char c) { return lex_char_class(static_cast<unsigned char>(c)) == CHAR_BLANK; }

bool is_space(char c) { return c == ' ' || c == '\t'; }

// The end of the word that starts at `at`: a label or a mnemonic with its
// suffix. A word that begins with '$' runs on over '$' and stops at '.'.
size_t word_end(const char* line, size_t at) {
    const bool dollar = line[at] == '$';
    if (dollar) ++at;
    while (line[at] != '\0') {
        const auto c = static_cast<unsigned char>(line[at]);
        if (dollar ? !lex_is_dollar_word_char(c) : !lex_is_word_char(c)) break;
        ++at;
    }
    return at;
}

size_t skip_blanks(const char* line, size_t at) {
    while (is_blank(line[at])) ++at;
    return at;
}

// The end of the mnemonic (without its suffix) that starts at `at`, where
// the scanner ends the word: `return$` is RETURN and a location counter.
size_t mnemonic_end(const char* line, size_t at) {
    while (lex_is_word_char(static_cast<unsigned char>(line[at])) && line[at] != '.') ++at;
    return at;
}

size_t skip_spaces(const char* line, size_t at) {
    while (is_space(line[at])) ++at;
    return at;
}

// 'P' before a mnemonic written in capitals, else 'p'.
char delayed_letter(const char* mnemonic) {
    bool upper = false;
    for (size_t i = mnemonic_end(mnemonic, 0), k = 0; k < i; ++k) {
        unsigned char c = static_cast<unsigned char>(mnemonic[k]);
        if (std::islower(c)) return 'p';
        if (std::isupper(c)) upper = true;
    }
    return upper ? 'P' : 'p';
}

}  // namespace

size_t sched_mnemonic_offset(const char* line) {
    size_t at = 0;
    // A word in column 1 is a label, with or without its ':'.
    if (line[0] != '\0' && !is_blank(line[0]) && line[0] != ';' && line[0] != '\n') {
        at = skip_spaces(line, word_end(line, 0));
        if (line[at] == ':') ++at;
    }
    for (;;) {
        at = skip_blanks(line, at);
        size_t end = word_end(line, at);
        size_t after = skip_spaces(line, end);
        // A word followed by ':' is a label too, and so is "$$" without it.
        if (end > at && (line[after] == ':' || (end - at == 2 && line[at] == '$' && line[at + 1] == '$'))) {
            at = line[after] == ':' ? after + 1 : after;
            continue;
        }
        if (end == at) return std::strlen(line);
        return at;
    }
}

bool sched_line_has_delayed_form(const char* line) {
    static const char* const delayed_forms[] = {"PBRA", "PRETFIE", "PRETLW", "PRETURN"};
    const size_t at = sched_mnemonic_offset(line);
    const size_t end = mnemonic_end(line, at);
    for (const char* form : delayed_forms) {
        size_t length = std::strlen(form);
        if (end - at != length) continue;
        size_t k = 0;
        while (k < length && std::toupper(static_cast<unsigned char>(line[at + k])) == form[k]) ++k;
        if (k == length) return true;
    }
    return false;
}

void sched_printf(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    diag_checked_vfprintf(scheduled_output_file, FATAL_WRITING_OUTPUT, format, arguments);
    va_end(arguments);
}

void sched_open_output(const std::string&, std::string& output_name) {
    asm_output_file_name(output_name, ".is", FATAL_OPENING_OUTPUT);
    scheduled_output_file = std::fopen(output_name.c_str(), "w");
    if (scheduled_output_file == nullptr) diag_fatal(FATAL_OPENING_OUTPUT, output_name.c_str());
}

void sched_close_output() {
    if (scheduled_output_file == nullptr) return;
    FILE* file = scheduled_output_file;
    scheduled_output_file = nullptr;
    if (std::fclose(file) != 0) diag_fatal(FATAL_WRITING_OUTPUT);
}

void sched_write_source_line(int32_t line, char prefix) {
    if (!lex_fetch_saved_line(line - 1)) diag_fatal(FATAL_INTERNAL, "../src/paasmis", MISSING_LINE_PLACE);
    size_t length = std::strlen(line_buffer);
    if (length > 0 && line_buffer[length - 1] == '\n') line_buffer[--length] = '\0';
    const char mark = line == last_printed_line + 1 ? '+' : '-';
    char note[24];
    std::snprintf(note, sizeof note, "\t; [%c:%d]", mark, line);
    length = lex_fit_line_for_note(line_buffer, length, std::strlen(note) + (prefix != 0 ? 1 : 0));
    line_buffer[length] = '\0';
    const char* rest = line_buffer;
    if (prefix != 0) {
        // The delayed form's letter goes directly before the mnemonic, past
        // any blanks and labels.
        size_t at = sched_mnemonic_offset(line_buffer);
        sched_printf("%.*s%c", static_cast<int>(at), line_buffer, delayed_letter(line_buffer + at));
        rest = line_buffer + at;
    }
    // A line that the note would still make too long to be read back whole
    // gets the note on a line of its own after it. A longer line's first
    // part (664 characters, all the reader takes at a time) is written
    // without a newline: the reader ends it there anyway, and a newline
    // would be read as an empty line that the source does not have.
    const size_t written = length + (prefix != 0 ? 1 : 0);
    const bool note_apart = written + std::strlen(note) > LINE_WHOLE_MOST;
    const bool ended_by_reader = written >= LINE_WHOLE_MOST + 1;
    sched_printf(note_apart && !ended_by_reader ? "%s\n%s\n" : "%s%s\n", rest, note);
    last_printed_line = line;
}

int sched_is_scheduled_line(int32_t line, const SchedBlock* block) {
    return line > 0 && line < line_owner_size && line_owner[line] == block ? 1 : 0;
}

int32_t sched_write_lines_through(int32_t cursor, char prefix, const SchedBlock* block, int32_t line) {
    for (; cursor < line; ++cursor)
        if (sched_is_scheduled_line(cursor, block) == 0) sched_write_source_line(cursor, 0);
    sched_write_source_line(line, prefix);
    if (cursor <= line) cursor = line + 1;
    return cursor;
}

int32_t sched_write_instruction(int32_t cursor, char prefix, const SchedBlock* block,
                                const SchedInstruction* instruction) {
    cursor = sched_write_lines_through(cursor, prefix, block, instruction->line);
    if (instruction->merged_line != 0)
        cursor = sched_write_lines_through(cursor, prefix, block, instruction->merged_line);
    return cursor;
}

void sched_write_blocks() {
    index_block_lines();
    int32_t cursor = 1;
    for (const SchedBlock* block = schedule_block_list; block != nullptr; block = block->next) {
        if (block->dag != nullptr) {
            for (const SchedPtrItem* item = block->dag->schedule.head; item != nullptr; item = item->next) {
                const SchedInstruction* instruction = item->pointer->instruction;
                if (instruction == block->first_slot || instruction == block->second_slot) continue;
                cursor = sched_write_instruction(cursor, 0, block, instruction);
            }
        }
        if (block->branch != nullptr && block->first_slot != nullptr)
            cursor = sched_write_instruction(cursor, 'p', block, block->branch);
        for (int32_t i = 0; i < block->nop_count; ++i) sched_printf("\tnop\n");
        if (block->first_slot != nullptr) cursor = sched_write_instruction(cursor, 0, block, block->first_slot);
        if (block->second_slot != nullptr) cursor = sched_write_instruction(cursor, 0, block, block->second_slot);
    }
    for (; cursor <= line_total; ++cursor) sched_write_source_line(cursor, 0);
    line_owner = nullptr;
    line_owner_size = 0;
}

void sched_write_output(const std::string& source_name, std::string& output_name) {
    sched_open_output(source_name, output_name);
    asm_begin_pass();
    last_printed_line = 0;
    sched_write_blocks();
    sched_close_output();
}
