// The abstraction writer's output pass: the source replayed once more (its
// lines from the copies pass 2 stored, its tokens from the token file, so
// every line is classified by its own tokens), with every replaced
// sequence turned into one call or jump line and every opened body written
// in place under its label at its first occurrence. The closed bodies and
// the rest of the source follow in paasmpa_copy.cpp.
//
// The ELF build also puts the compiler's debug labels of every replaced
// sequence back at its call site, and copies line-number labels, under
// names of their own, into the bodies. Both look-ups are binary searches
// over the sorted symbol lists, and the aggregations are found by id
// through the search's index (pa_find_aggregation), so no line's cost
// grows with the source.
#include "paasmpa_write.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <vector>

#include "build_traits.h"
#include "paasmdiag.h"
#include "paasmdirectives.h"
#include "paasmdriver.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmpa_opt.h"
#include "paasmsym.h"

FILE* optimized_output_file = nullptr;

namespace {

constexpr int MISSING_STORED_LINE = 3711;
constexpr int MISSING_AGGREGATION = 3640;  // a call of an aggregation that was never filed

// A section of more than this many elements needs the long call and jump.
constexpr uint32_t SHORT_FORM_ELEMENTS = 0x7FFF;

// The .end directive's row, to tell the .end line from other directives.
const DirectiveEntry* end_directive = nullptr;

// Line labels already copied into the body being written, by their place
// in the sorted list of line labels, and the places marked since the last
// clearing. A mark of the writer's own: the symbols' flags stay as the
// listing that follows expects them.
std::vector<uint8_t> line_label_copied;
std::vector<uint32_t> line_label_marked;

// The low 32 bits of a symbol's value, as the value-sorted list orders them.
int32_t pa_symbol_value(const Symbol* symbol) { return symbol->value.integer; }

// ELF build: the re-emission list (row 2) and the line labels (row 1).
void pa_build_label_lists() {
    sym_build_sorted_list(LIST_BY_LINE, sym_is_debug_or_nontarget_local);
    sym_build_sorted_list(LIST_BY_VALUE, sym_is_line_label);
    line_label_copied.assign(sorted_symbol_counts[LIST_BY_VALUE], 0);
    line_label_marked.clear();
}

// The line label that stands on the counterpart at address `h` of a record
// of `size` words: the first label at h or above when it lies on that
// record, else the last one below h.
int32_t pa_find_line_label(uint32_t h, int32_t size) {
    Symbol** labels = sorted_symbols[LIST_BY_VALUE];
    const uint32_t count = sorted_symbol_counts[LIST_BY_VALUE];
    const int64_t address = static_cast<int32_t>(h);
    Symbol** at = std::lower_bound(labels, labels + count, address, [](const Symbol* label, int64_t value) {
        return pa_symbol_value(label) < value;
    });
    const uint32_t index = static_cast<uint32_t>(at - labels);
    if (index < count && pa_symbol_value(*at) < address + 2 * static_cast<int64_t>(size))
        return static_cast<int32_t>(index);
    return index > 0 ? static_cast<int32_t>(index - 1) : -1;
}

void pa_mark_line_label(uint32_t index) {
    line_label_copied[index] = 1;
    line_label_marked.push_back(index);
}

// Reads up to n lines; `keep` decides which of them are written.
template <class Keep>
int32_t pa_read_lines(int32_t n, Keep keep) {
    int32_t count = 0;
    PaLineInfo info;
    for (; count < n; ++count) {
        const char* text = pa_read_line(info);
        if (text == nullptr) break;
        if (keep(info)) pa_printf("%s", text);
    }
    return count;
}

}  // namespace

// ---- Output ---------------------------------------------------------------

void pa_printf(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    diag_checked_vfprintf(optimized_output_file, FATAL_WRITING_OUTPUT, format, arguments);
    va_end(arguments);
}

void pa_open_output(const std::string&, std::string& output_name) {
    pa_close_output();
    if (output_name == "stdout") {
        optimized_output_file = stdout;
        return;
    }
    asm_output_file_name(output_name, ".pa", FATAL_OPENING_OUTPUT);
    optimized_output_file = std::fopen(output_name.c_str(), "w");
    if (optimized_output_file == nullptr) diag_fatal(FATAL_OPENING_OUTPUT, output_name.c_str());
}

void pa_close_output() {
    if (optimized_output_file == nullptr) return;
    FILE* file = optimized_output_file;
    optimized_output_file = nullptr;
    // The standard output stays open for whatever the program prints later;
    // it is only flushed.
    const int status = file == stdout ? std::fflush(file) : std::fclose(file);
    if (status != 0) diag_fatal(FATAL_WRITING_OUTPUT);
}

void pa_write_output(const std::string& source_name, std::string& output_name) {
    pa_open_output(source_name, output_name);
    asm_begin_pass();
    end_directive = dir_find(".end");
    if constexpr (BuildTraits::is_elf) pa_build_label_lists();
    if (basic_block_list.head != nullptr) pa_write_blocks();
    std::string held_line;
    pa_copy_remaining_source(held_line);
    if (closed_aggregation_list.head != nullptr) pa_write_closed_aggregations();
    if (!held_line.empty()) pa_printf("%s", held_line.c_str());
    pa_close_output();
}

// ---- Lines ------------------------------------------------------------------

const char* pa_read_line(PaLineInfo& info) {
    info = PaLineInfo{};
    lex_next_line();
    if (end_of_source) return nullptr;
    const int32_t line = current_source->line;
    while (current_token.code != TOK_END_OF_STATEMENT && current_token.code != TOK_END_OF_SOURCE) {
        if (current_token.code == TOK_DIRECTIVE) {
            info.flags |= PA_LINE_DIRECTIVE;
            if (end_directive != nullptr && lex_token_directive() == end_directive) info.flags |= PA_LINE_END;
        } else if (current_token.code == TOK_LABEL) {
            // Only a label the line really defined makes it a label line: a
            // label in front of an instruction was dropped with a warning,
            // and the instruction is what the line holds.
            const char* name = lex_token_text();
            const Symbol* symbol = sym_lookup(SymbolKey{SYMKIND_ORDINARY, name});
            if (symbol != nullptr && (symbol->flags & SYM_DEFINED_PASS2) != 0 && symbol->def_line == line) {
                info.flags |= PA_LINE_LABEL;
                info.label = name;
            }
        }
        lex_next_token();
    }
    return line_buffer;
}

int32_t pa_copy_lines(int32_t n) {
    return pa_read_lines(n, [](const PaLineInfo&) { return true; });
}

int32_t pa_skip_lines_keep_directives(int32_t n) {
    return pa_read_lines(n, [](const PaLineInfo& info) { return (info.flags & PA_LINE_DIRECTIVE) != 0; });
}

// Skipped lines write nothing and leave nothing behind but the position:
// all but the last are passed over without being read, and the last is
// read as usual, so that the pass stands exactly where reading them all
// would have left it.
int32_t pa_skip_lines(int32_t n) {
    auto nothing = [](const PaLineInfo&) { return false; };
    int32_t count = 0;
    // The first line of a pass is read: it sets up the pass's streams.
    if (n > 1 && pass_line_count == 0) {
        count = pa_read_lines(1, nothing);
        if (count == 0) return 0;  // the source has no lines
    }
    count += lex_skip_saved_lines(n - count - 1);
    return count + pa_read_lines(n - count, nothing);
}

int32_t pa_comment_lines(int32_t n) {
    int32_t count = 0;
    PaLineInfo info;
    for (; count < n; ++count) {
        const char* text = pa_read_line(info);
        if (text == nullptr) break;
        if ((info.flags & PA_LINE_DIRECTIVE) == 0) pa_printf(";%s", text);
    }
    return count;
}

// ---- Blocks and call sites ------------------------------------------------------

const char* pa_call_word(const PaBlock* block, bool jump) {
    const bool long_form = block->section != nullptr && block->section->size > SHORT_FORM_ELEMENTS;
    if (jump) return long_form ? "goto" : "bra";
    return long_form ? "call" : "rcall";
}

void pa_write_blocks() {
    int32_t position = 1;
    for (PaBlock* block = basic_block_list.head; block != nullptr; block = block->next)
        position = pa_write_block(position, block);
}

int32_t pa_write_block(int32_t position, PaBlock* block) {
    const bool in_place_body = block->uses > 1;
    int32_t index = 0;
    for (const PaInstruction* record = block->first; record != nullptr && index < block->count;
         record = record->next, ++index) {
        if (record->encoding.word != PA_CALL_WORD) {
            if constexpr (BuildTraits::is_elf) {
                // The copies go before the record's first line: a fused
                // skip or REPEAT pair spans two lines, and a label between
                // them would stand in the shadow, which is an error.
                if (in_place_body) {
                    position += pa_copy_lines(record->first_line - position);
                    pa_copy_line_labels(block, record);
                }
            }
            position += pa_copy_lines(record->last_line - position);
            continue;
        }
        PaBlock* aggregation = pa_find_aggregation(record->encoding.operand);
        if (aggregation == nullptr) diag_fatal(FATAL_INTERNAL, pa_source_name, MISSING_AGGREGATION);
        position += pa_copy_lines(record->first_line - position);
        if constexpr (BuildTraits::is_elf) {
            if (in_place_body) pa_copy_line_labels(block, record);
            pa_reemit_occurrence_labels(aggregation, record);
        }
        const bool opened = (aggregation->flags & BLOCK_OPENED) != 0;
        if (!opened || (aggregation->flags & BLOCK_MARK) != 0 || position != aggregation->first_line) {
            position += pa_skip_lines_keep_directives(record->last_line - position + 1);
            pa_printf("\t%s\t.LPA%u\t; %d ... %d\n", pa_call_word(block, opened), aggregation->id,
                      record->first_line, record->last_line);
            continue;
        }
        // The first occurrence of an opened aggregation: its body, written
        // in place, is this very occurrence's records.
        aggregation->flags |= BLOCK_MARK;
        if constexpr (BuildTraits::is_elf) pa_clear_line_label_marks();
        pa_printf(".LPA%u:\t; %u ... %u (opencode:%d)\n", aggregation->id,
                  static_cast<uint32_t>(aggregation->first_line), static_cast<uint32_t>(aggregation->last_line),
                  aggregation->level);
        position = pa_write_block(position, aggregation);
    }
    return position;
}

// ---- ELF build: debug labels at the call sites ----------------------------------------

void pa_write_source_line(int32_t line) {
    if (!lex_fetch_saved_line(line - 1)) diag_fatal(FATAL_INTERNAL, pa_source_name, MISSING_STORED_LINE);
    size_t length = std::strlen(line_buffer);
    if (length > 0 && line_buffer[length - 1] == '\n') line_buffer[--length] = '\0';
    char note[24];
    std::snprintf(note, sizeof note, "\t; [%d]", line);
    length = lex_fit_line_for_note(line_buffer, length, std::strlen(note));
    pa_printf("%.*s%s\n", static_cast<int>(length), line_buffer, note);
}

void pa_reemit_occurrence_labels(const PaBlock* aggregation, const PaInstruction* call) {
    if (aggregation->level <= 0 && call->first_line == aggregation->first_line) return;
    Symbol** labels = sorted_symbols[LIST_BY_LINE];
    const uint32_t count = sorted_symbol_counts[LIST_BY_LINE];
    Symbol** at = std::lower_bound(labels, labels + count, call->first_line,
                                   [](const Symbol* label, int32_t line) { return label->def_line < line; });
    // The stored line is written over line_buffer; the replay of the
    // current line is done with it by now.
    for (; at != labels + count && (*at)->def_line <= call->last_line; ++at) {
        // Only labels: an equate of such a name stays where its directive
        // line is kept, and must not be defined a second time.
        if (((*at)->flags & SYM_LABEL) == 0) continue;
        pa_write_source_line((*at)->def_line);
    }
}

// ---- ELF build: line-label copies -------------------------------------------------------

void pa_clear_line_label_marks() {
    for (uint32_t index : line_label_marked) line_label_copied[index] = 0;
    line_label_marked.clear();
}

void pa_copy_line_labels(const PaBlock* aggregation, const PaInstruction* record) {
    if (aggregation->first == nullptr) return;
    const uint32_t offset = record->location - aggregation->first->location;
    int32_t size = record->size;
    if (record->encoding.word == PA_CALL_WORD) {
        const PaBlock* callee = pa_find_aggregation(record->encoding.operand);
        size = callee != nullptr ? callee->total_size : record->size;
    }
    pa_copy_site_line_labels(aggregation, aggregation, -1, size, offset, 0);
}

void pa_copy_site_line_labels(const PaBlock* searched, const PaBlock* written, int32_t first_index, int32_t size,
                              uint32_t offset, uint32_t extra_offset) {
    int32_t copy_index = first_index < 0 ? 0 : first_index;
    if (searched->call_sites == nullptr) return;
    for (int32_t site = 0; site < searched->uses; ++site) {
        const PaCallSite& call_site = searched->call_sites[site];
        if (call_site.call == nullptr) continue;
        const uint32_t h = offset + extra_offset + call_site.call->location;
        const int32_t label = pa_find_line_label(h, size);
        if (label >= 0 && line_label_copied[static_cast<uint32_t>(label)] == 0) {
            pa_printf(".LPA%d%s:\t; {%d}\n", static_cast<int32_t>(written->id),
                      sorted_symbols[LIST_BY_VALUE][label]->name, copy_index);
            pa_mark_line_label(static_cast<uint32_t>(label));
            ++copy_index;
        }
        const PaBlock* holder = call_site.block;
        if (holder != nullptr && holder->call_sites != nullptr && holder->first != nullptr)
            pa_copy_site_line_labels(holder, written, copy_index, size, offset,
                                     extra_offset + (call_site.call->location - holder->first->location));
    }
}
