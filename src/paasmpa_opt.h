// Procedural abstraction's optimiser: preparing the recorded blocks,
// searching repeated instruction sequences, and turning the accepted ones
// into aggregations (shared bodies) that the writers put into the output.
#pragma once

#include <cstdint>

#include "paasmpa.h"

// One occurrence of an aggregation: the call pseudo-instruction that replaced
// it and the block that holds that call (possibly another aggregation body).
struct PaCallSite {
    PaInstruction* call;
    PaBlock* block;
};

// One occurrence of a candidate sequence.
struct PaOccurrence {
    PaOccurrence* next;
    PaInstruction* first;
    PaBlock* block;
    int32_t length;  // records of the window
};

// The occurrences of a window; the window itself is always the first.
struct PaOccurrenceList {
    PaOccurrence* head;
    PaOccurrence* tail;
    int32_t count;
};

// Why a window failed the label rule: a label inside it referenced from
// outside (inside_label, outside_reference), or a label outside it
// referenced from inside (outside_label, inside_reference). Lines; 0 when
// the conflict is of the other kind.
struct PaLabelConflict {
    int32_t inside_label;
    int32_t outside_reference;
    int32_t outside_label;
    int32_t inside_reference;
};

// The source named by the internal-error checks of the optimiser and the
// writer.
inline constexpr const char* pa_source_name = "../src/paasmpa";

// The class id counter: a new positive id is the counter after incrementing
// it, a new negative id its negation.
extern int32_t last_class_id;

// ---- Block preparation ----
void pa_prepare_blocks();
void pa_prune_blocks(PaBlockList& list);
void pa_fuse_skip_pairs(PaBlockList& list);
void pa_classify_instructions(PaBlockList& list);
void pa_cut_block(PaBlock* block, PaInstruction* record);
bool pa_is_stack_relative_move(const PaInstruction* record);
// The offset of a [Wn+Slit10] move word in bytes: its signed 10-bit field,
// doubled in word mode.
int32_t pa_move_offset_bytes(uint32_t word);
// The record's encoding with the W15 offset lowered by 4 bytes per level;
// returns whether the new offset still fits. Writes `out` even when not.
bool pa_adjust_stack_offset(const PaInstruction* record, int32_t levels, PaEncoding* out);

// ---- Sequence search ----
void pa_optimize();
// The length loop alone, on the prepared blocks (pa_optimize without the
// preparation, the filing and the dumps).
void pa_search_blocks();
// Reads the sorted branch-target list (by definition line) into the label
// index that the label rules consult; the search does it itself.
void pa_index_labels();
int32_t pa_window_length_bound();
int32_t pa_try_window(PaBlock* block, int32_t position, int32_t length);
bool pa_check_window_labels(const PaInstruction* first, int32_t length, PaLabelConflict* conflict);
bool pa_check_occurrence_labels(const PaInstruction* first, int32_t length);
bool pa_is_profitable(const PaOccurrenceList* list, int32_t length);
PaBlock* pa_find_aggregation(uint32_t id);
PaBlock* pa_find_closed_aggregation(uint32_t id);
PaBlock* pa_find_opened_aggregation(uint32_t id);
PaInstruction* pa_nth_instruction(PaInstruction* record, int32_t n);

// ---- Aggregations ----
PaCallSite* pa_replace_occurrences(PaOccurrenceList* list, PaBlock* aggregation);
void pa_make_aggregation(PaOccurrenceList* list, PaBlock* aggregation, PaCallSite* call_sites);
void pa_relocate_stack_moves(PaBlock* aggregation);
void pa_collect_aggregations();
void pa_insert_aggregation(PaBlockList& list, PaBlock* aggregation);
void pa_compute_total_sizes();
// The index by which relocated moves find their class: made from the
// blocks and kept up to date through the search's changes to them, then
// dropped. Without it each relocation makes one from the blocks.
void pa_keep_move_index();
void pa_forget_move_index();
int32_t pa_compute_total_size(PaBlock* aggregation);

// ---- Debug listing ----
// One page listing the blocks of `list` under the heading `title`.
void lst_dump_blocks(const PaBlockList& list, const char* title);
