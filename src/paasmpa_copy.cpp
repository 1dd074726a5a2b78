// The abstraction writer's second half: the rest of the source after the
// blocks (the .end line held back, and in the ELF build without the input's
// line table), then every closed aggregation as a subroutine after the
// program. A body's text is copied from the lines of its first occurrence,
// and the source can only be replayed forwards, so the bodies are written
// in sweeps: each sweep replays the source once and writes, in a fixed
// order, every body whose lines still lie ahead.
#include <cstring>
#include <string>
#include <vector>

#include "build_traits.h"
#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmpa_opt.h"
#include "paasmpa_write.h"
#include "paasmpool.h"
#include "paasmsym.h"

namespace {

constexpr int ORDER_INCOMPLETE = 3124;
constexpr int NOT_IN_ORDER = 3255;
constexpr int NOT_A_STACK_MOVE = 3467;

// What pass 2 met around the input's line table (ELF build), which runs
// from its last .section line to the definition of .LELT0: the last line
// up to that definition that put an instruction, data or a label into
// another section (leaving out the table from a line before it would lose
// it), and whether a line after it put one into the table's section
// (without the table's .section line it would land in another). The
// section last seen, and whether it is the table's.
int32_t line_table_end = 0;
int32_t other_section_line = 0;
bool table_used_after_end = false;
const Section* watched_section = nullptr;
bool watched_is_table = false;
// The interned index of the line table's name, looked up once for each
// generation of interned texts: a program of a section per function
// changes section on every function, and the name is then found by its
// index with no hashing.
uint32_t line_table_name_index = 0;
uint32_t line_table_name_generation = 0;

uint32_t pa_line_table_name_index() {
    if (line_table_name_generation != intern_generation() || line_table_name_generation == 0) {
        const char* name = ".debug_line";
        line_table_name_index = intern_index_of(name, static_cast<uint32_t>(std::strlen(name)));
        line_table_name_generation = intern_generation();
    }
    return line_table_name_index;
}

// The closed aggregations in writing order, and each one's place in it by id.
PaBlock** closed_write_order = nullptr;
int32_t closed_write_count = 0;
std::vector<int32_t> order_place_by_id;

// Instruction-word fields of the bodies' last records and moved stack moves.
constexpr uint32_t word_opcode(uint32_t word) { return word & 0xFF0000u; }
constexpr uint32_t OPCODE_RCALL = 0x070000u;
constexpr uint32_t OPCODE_CALL = 0x020000u;
constexpr uint32_t word_top_nibble(uint32_t word) { return (word >> 20) & 0xFu; }
constexpr uint32_t TOP_MOVE_LITERAL = 2;  // MOV #lit16,Wn
constexpr uint32_t move_literal(uint32_t word) { return (word >> 4) & 0xFFFFu; }
constexpr uint32_t RETLW_LITERAL_MAX = 1023;
constexpr uint32_t word_form(uint32_t word) { return (word >> 19) & 0x1Fu; }
constexpr uint32_t FORM_OFFSET_LOAD = 18;   // MOV [Ws+lit],Wd
constexpr uint32_t FORM_OFFSET_STORE = 19;  // MOV Ws,[Wd+lit]
constexpr int32_t field_ws(uint32_t word) { return static_cast<int32_t>(word & 0xFu); }
constexpr int32_t field_wd(uint32_t word) { return static_cast<int32_t>((word >> 7) & 0xFu); }
constexpr bool byte_mode(uint32_t word) { return (word & 0x4000u) != 0; }

bool pa_is_marked(const PaBlock* block) { return (block->flags & BLOCK_MARK) != 0; }
void pa_set_mark(PaBlock* block) { block->flags |= BLOCK_MARK; }
void pa_clear_mark(PaBlock* block) { block->flags &= static_cast<uint8_t>(~BLOCK_MARK); }

// The last record of a body; none for an empty one.
const PaInstruction* pa_last_record(const PaBlock* block) {
    const PaInstruction* last = nullptr;
    int32_t index = 0;
    for (const PaInstruction* record = block->first; record != nullptr && index < block->count;
         record = record->next, ++index)
        last = record;
    return last;
}

// A body's chain ends at its last record: the window's last link was cut
// when the body was made, and a call that replaced the body's tail took
// over that end.
bool pa_is_last_record(const PaInstruction* record) { return record->next == nullptr; }

void pa_append_to_order(PaBlock* block) {
    if (closed_write_count >= closed_aggregation_list.count)
        diag_fatal(FATAL_INTERNAL, pa_source_name, ORDER_INCOMPLETE);
    if (block->id >= order_place_by_id.size()) order_place_by_id.resize(block->id + 1, -1);
    order_place_by_id[block->id] = closed_write_count;
    closed_write_order[closed_write_count++] = block;
}

// The order: chains of tail calls first, in order of discovery, each body
// followed by the one it ends by calling; then every other closed body in
// list order.
void pa_build_write_order() {
    closed_write_order = pool_new_array<PaBlock*>(static_cast<size_t>(closed_aggregation_list.count) + 1, POOL_RUN);
    closed_write_count = 0;
    order_place_by_id.clear();
    for (PaBlock* start = closed_aggregation_list.head; start != nullptr; start = start->next) {
        if (pa_is_marked(start)) continue;
        PaBlock* current = start;
        // Only closed bodies are placed; an opened callee, written in
        // place, ends the chain like a placed one.
        for (PaBlock* callee = pa_find_tail_callee(current);
             callee != nullptr && !pa_is_marked(callee) && (callee->flags & BLOCK_OPENED) == 0;
             callee = pa_find_tail_callee(current)) {
            if (!pa_is_marked(current)) {
                pa_set_mark(current);
                pa_append_to_order(current);
            }
            pa_set_mark(callee);
            pa_append_to_order(callee);
            current = callee;
        }
    }
    for (PaBlock* block = closed_aggregation_list.head; block != nullptr; block = block->next) {
        if (pa_is_marked(block))
            pa_clear_mark(block);
        else
            pa_append_to_order(block);
    }
    if (closed_write_count != closed_aggregation_list.count)
        diag_fatal(FATAL_INTERNAL, pa_source_name, ORDER_INCOMPLETE);
}

// The section line before a body whose section differs from the last one's.
void pa_write_section_line(const PaBlock* block) {
    const Section* section = block->section;
    const Symbol* text = omf_find_section(default_text_name, 0);
    if (section == nullptr || section->symbol == nullptr || section->symbol == text)
        pa_printf("\t.text\n");
    else
        pa_printf("\t.section\t%s,code\n", section->symbol->name);
}

// Copies the body lines before `record`, from the position on.
int32_t pa_copy_lines_before(const PaBlock* aggregation, const PaInstruction* record, int32_t position) {
    return position + pa_copy_body_lines(aggregation, record->first_line - position);
}

// Consumes a rewritten record's lines up to its last one: as comments with
// -d, else silently.
int32_t pa_consume_record_lines(const PaInstruction* record, int32_t position) {
    const int32_t n = record->last_line - position + 1;
    return position + ((option_flags & OPT_DEBUG_LISTING) != 0 ? pa_comment_lines(n) : pa_skip_lines(n));
}

}  // namespace

// ---- The rest of the source ------------------------------------------------------

void pa_watch_line_table_begin() {
    const Symbol* end_label = sym_lookup(SymbolKey{SYMKIND_ORDINARY, intern_string(".LELT0")});
    line_table_end = end_label != nullptr ? end_label->def_line : 0;
    other_section_line = 0;
    table_used_after_end = false;
    watched_section = nullptr;
    watched_is_table = false;
}

void pa_watch_line_table() {
    if constexpr (BuildTraits::is_elf) {
        if (pass_number != 2 || current_source == nullptr || current_section == nullptr) return;
        if (current_section != watched_section) {
            watched_section = current_section;
            const Symbol* table = omf_find_section_text(pa_line_table_name_index(), 0);
            watched_is_table = table != nullptr && table->section == current_section;
        }
        const int32_t line = current_source->line;
        if (line <= line_table_end && !watched_is_table && line > other_section_line) other_section_line = line;
        if (line > line_table_end && watched_is_table) table_used_after_end = true;
    }
}

void pa_copy_remaining_source(std::string& held_line) {
    held_line.clear();
    int32_t dropped_first = 1;
    int32_t dropped_last = 0;
    if constexpr (BuildTraits::is_elf) {
        // The input's line table is left out: it describes the input, not
        // the rewritten program. It runs from its .section line to the
        // definition of .LELT0 (found or made); a name never defined leaves
        // nothing out, and so does a table whose leaving out would move
        // other lines into another section or lose them.
        const Symbol* line_table = omf_find_section(".debug_line", 0);
        if (line_table != nullptr && line_table->section != nullptr) {
            dropped_first = line_table->section->section_line;
            dropped_last = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, intern_string(".LELT0")})->def_line;
            if (other_section_line >= dropped_first || table_used_after_end) dropped_last = 0;
        }
    }
    PaLineInfo info;
    for (const char* text = pa_read_line(info); text != nullptr; text = pa_read_line(info)) {
        if ((info.flags & PA_LINE_END) != 0) {
            held_line = text;
            return;
        }
        const int32_t line = current_source->line;
        if (line >= dropped_first && line <= dropped_last) continue;
        pa_printf("%s", text);
    }
}

// ---- Closed aggregations ------------------------------------------------------------

PaBlock* pa_find_tail_callee(const PaBlock* aggregation) {
    const PaInstruction* last = pa_last_record(aggregation);
    if (last == nullptr || last->encoding.word != PA_CALL_WORD) return nullptr;
    return pa_find_aggregation(last->encoding.operand);
}

bool pa_callee_follows(const PaBlock* aggregation, const PaBlock* callee) {
    if (callee->section != aggregation->section || pa_is_marked(callee)) return false;
    const int32_t place =
        aggregation->id < order_place_by_id.size() ? order_place_by_id[aggregation->id] : -1;
    if (place < 0 || place >= closed_write_count || closed_write_order[place] != aggregation)
        diag_fatal(FATAL_INTERNAL, pa_source_name, NOT_IN_ORDER);
    if (place + 1 < closed_write_count)
        return closed_write_order[place + 1] == callee && aggregation->last_line < callee->first_line;
    // The last body of the order: the next sweep begins with the first
    // body not yet written.
    for (int32_t i = 0; i < closed_write_count; ++i)
        if (!pa_is_marked(closed_write_order[i])) return closed_write_order[i] == callee;
    return false;
}

void pa_write_closed_aggregations() {
    pa_build_write_order();
    const Section* last_section = nullptr;
    bool first_body = true;
    for (bool wrote = true; wrote;) {
        wrote = false;
        asm_begin_pass();
        int32_t position = 1;
        for (int32_t i = 0; i < closed_write_count; ++i) {
            PaBlock* aggregation = closed_write_order[i];
            if (pa_is_marked(aggregation) || aggregation->first_line < position) continue;
            pa_set_mark(aggregation);
            if (first_body || aggregation->section != last_section) pa_write_section_line(aggregation);
            first_body = false;
            last_section = aggregation->section;
            position = pa_write_closed_aggregation(position, aggregation);
            wrote = true;
        }
    }
}

int32_t pa_write_closed_aggregation(int32_t position, PaBlock* aggregation) {
    position += pa_skip_lines(aggregation->first_line - position);
    if constexpr (BuildTraits::is_elf) pa_clear_line_label_marks();
    pa_printf(".LPA%u:\t; %u ... %u (closed:%d)\n", aggregation->id,
              static_cast<uint32_t>(aggregation->first_line), static_cast<uint32_t>(aggregation->last_line),
              aggregation->level);
    if constexpr (BuildTraits::is_elf) pa_printf(".LPA%u%s:\n", aggregation->id, ".LSB");
    bool return_flag = true;
    int32_t index = 0;
    for (const PaInstruction* record = aggregation->first; record != nullptr && index < aggregation->count;
         record = record->next, ++index) {
        if constexpr (BuildTraits::is_elf) pa_copy_line_labels(aggregation, record);
        if (record->encoding.word == PA_CALL_WORD)
            position = pa_write_nested_call(aggregation, record, position, return_flag);
        else if ((record->flags & PA_INSTRUCTION_STACK_ADJUSTED) != 0)
            position = pa_write_stack_move(aggregation, record, position);
        else
            position = pa_write_body_instruction(aggregation, record, position, return_flag);
    }
    if (return_flag) pa_printf("\treturn\n");
    if constexpr (BuildTraits::is_elf) pa_printf(".LPA%u%s:\n", aggregation->id, ".LSE");
    return position;
}

int32_t pa_write_nested_call(const PaBlock* aggregation, const PaInstruction* record, int32_t position,
                             bool& return_flag) {
    position = pa_copy_lines_before(aggregation, record, position);
    const PaBlock* callee = pa_find_aggregation(record->encoding.operand);
    if (callee == nullptr) diag_fatal(FATAL_INTERNAL, pa_source_name, NOT_IN_ORDER);
    const char* comment = "";
    const char* word;
    if (!pa_is_last_record(record) || (callee->flags & BLOCK_STACK_MOVES) != 0) {
        word = pa_call_word(aggregation, (callee->flags & BLOCK_OPENED) != 0);
    } else {
        // A tail call: a jump, or only a comment when the callee's body is
        // written right after this one.
        word = pa_call_word(aggregation, true);
        if (pa_callee_follows(aggregation, callee)) comment = ";";
        return_flag = false;
    }
    pa_printf("\t%s%s\t.LPA%u\t; %d ... %d\n", comment, word, callee->id, record->first_line,
              record->last_line);
    return position + pa_skip_lines(record->last_line - record->first_line + 1);
}

int32_t pa_write_stack_move(const PaBlock* aggregation, const PaInstruction* record, int32_t position) {
    position = pa_copy_lines_before(aggregation, record, position);
    const uint32_t word = record->encoding.word;
    const int32_t offset = pa_move_offset_bytes(word);
    const char mode = byte_mode(word) ? 'b' : 'w';
    if (word_form(word) == FORM_OFFSET_LOAD)
        pa_printf("\tmov.%c\t[w%d%+d],w%d\t; reloc(%d)\n", mode, field_ws(word), offset, field_wd(word),
                  record->first_line);
    else if (word_form(word) == FORM_OFFSET_STORE)
        pa_printf("\tmov.%c\tw%d,[w%d%+d]\t; reloc(%d)\n", mode, field_ws(word), field_wd(word), offset,
                  record->first_line);
    else
        diag_fatal(FATAL_INTERNAL, pa_source_name, NOT_A_STACK_MOVE);
    return pa_consume_record_lines(record, position);
}

int32_t pa_write_body_instruction(const PaBlock* aggregation, const PaInstruction* record, int32_t position,
                                  bool& return_flag) {
    const uint32_t word = record->encoding.word;
    const bool last = pa_is_last_record(record);
    const uint32_t opcode = word_opcode(word);
    if (last && (opcode == OPCODE_RCALL || opcode == OPCODE_CALL) && record->encoding.symbol != nullptr) {
        // A body that ends by calling a routine jumps to it instead; the
        // routine's return is the body's.
        position = pa_copy_lines_before(aggregation, record, position);
        pa_printf("\t%s\t%s\t; %d ... %d\n", opcode == OPCODE_RCALL ? "bra" : "goto",
                  record->encoding.symbol->name, record->first_line, record->last_line);
        return_flag = false;
        return position + pa_skip_lines(record->last_line - position + 1);
    }
    if (last && word_top_nibble(word) == TOP_MOVE_LITERAL && move_literal(word) <= RETLW_LITERAL_MAX &&
        record->encoding.symbol == nullptr) {
        // The move and the return become one RETLW.
        position = pa_copy_lines_before(aggregation, record, position);
        pa_printf("\t%s\t#%u,w%d\t; %d ... %d\n", "retlw", move_literal(word), field_ws(word), record->first_line,
                  record->last_line);
        return_flag = false;
        return pa_consume_record_lines(record, position);
    }
    return position + pa_copy_body_lines(aggregation, record->last_line - position + 1);
}

int32_t pa_copy_body_lines(const PaBlock*, int32_t n) {
    int32_t count = 0;
    PaLineInfo info;
    for (; count < n; ++count) {
        const char* text = pa_read_line(info);
        if (text == nullptr) break;
        bool keep;
        if constexpr (BuildTraits::is_elf) {
            if ((info.flags & PA_LINE_LABEL) != 0) {
                // Debug labels and plain local labels are written again at the
                // call site; branch targets and every other label stay here.
                const Symbol* symbol = sym_lookup(SymbolKey{SYMKIND_ORDINARY, info.label});
                keep = symbol == nullptr || sym_is_debug_or_nontarget_local(symbol) == 0;
            } else {
                keep = (info.flags & PA_LINE_DIRECTIVE) == 0;
            }
        } else {
            keep = (info.flags & PA_LINE_DIRECTIVE) == 0;
        }
        if (keep) pa_printf("%s", text);
    }
    return count;
}
