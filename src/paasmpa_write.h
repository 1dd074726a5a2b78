// The abstraction writer: the rewritten source. The input comes out line by
// line with every replaced sequence turned into a call or jump line and the
// opened bodies in place at their first occurrence; then the rest of the
// source, the closed bodies as subroutines after the program, and the held
// back .end line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "paasmpa.h"

// The open output stream (a file or the standard output); none when closed.
extern FILE* optimized_output_file;

// What pa_read_line found on the line it has just read.
enum PaLineFlag : uint8_t {
    PA_LINE_DIRECTIVE = 0x01,  // the line holds a directive
    PA_LINE_LABEL = 0x02,      // the line defines a label (really defined there)
    PA_LINE_END = 0x04,        // the directive is .end
};

struct PaLineInfo {
    uint8_t flags = 0;
    const char* label = nullptr;  // interned name of the line's label, with PA_LINE_LABEL
};

// ---- Output pass, blocks and call sites ----
void pa_write_output(const std::string& source_name, std::string& output_name);
void pa_open_output(const std::string& source_name, std::string& output_name);
void pa_close_output();
void pa_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Makes the next source line current and reads its tokens to the end of the
// statement; the line's text (with its newline), or none at the end.
const char* pa_read_line(PaLineInfo& info);
int32_t pa_copy_lines(int32_t n);
int32_t pa_skip_lines_keep_directives(int32_t n);
void pa_write_blocks();
int32_t pa_write_block(int32_t position, PaBlock* block);
// The "call"/"rcall" or "goto"/"bra" word for code in `block`'s section.
const char* pa_call_word(const PaBlock* block, bool jump);

// ELF build: debug labels and line-label copies.
void pa_reemit_occurrence_labels(const PaBlock* aggregation, const PaInstruction* call);
void pa_write_source_line(int32_t line);
void pa_clear_line_label_marks();
void pa_copy_line_labels(const PaBlock* aggregation, const PaInstruction* record);
void pa_copy_site_line_labels(const PaBlock* searched, const PaBlock* written, int32_t first_index, int32_t size,
                              uint32_t offset, uint32_t extra_offset);

// ---- Closed aggregations and line copying ----
// Copies the rest of the source; `held_line` receives the .end line's text.
void pa_copy_remaining_source(std::string& held_line);
void pa_write_closed_aggregations();
PaBlock* pa_find_tail_callee(const PaBlock* aggregation);
bool pa_callee_follows(const PaBlock* aggregation, const PaBlock* callee);
int32_t pa_write_closed_aggregation(int32_t position, PaBlock* aggregation);
int32_t pa_write_nested_call(const PaBlock* aggregation, const PaInstruction* record, int32_t position,
                             bool& return_flag);
int32_t pa_write_body_instruction(const PaBlock* aggregation, const PaInstruction* record, int32_t position,
                                  bool& return_flag);
int32_t pa_write_stack_move(const PaBlock* aggregation, const PaInstruction* record, int32_t position);
int32_t pa_skip_lines(int32_t n);
int32_t pa_comment_lines(int32_t n);
int32_t pa_copy_body_lines(const PaBlock* aggregation, int32_t n);
