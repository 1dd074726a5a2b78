// Instruction scheduling: what pass 2 records of the program's instructions
// and scheduling blocks.
#pragma once

#include <cstdint>

#include "paasmquodra.h"

struct Symbol;
struct SchedDag;

// One recorded instruction: a node of its block, or the branch that ends it.
struct SchedInstruction {
    SchedInstruction* next;
    int32_t line;
    int32_t merged_line;     // the line of the shadow instruction merged in, or 0
    int32_t ordinal;         // the section's instruction count when recorded
    int32_t merged_ordinal;
    int32_t slots;           // delay slots it fills, or those after a branch
    ResourcePair arch;
    ResourcePair hazard;
    // A branch: the shadow kind of the skip or REPEAT it stands after (0
    // for none), and 1 when the source wrote its delayed form already.
    int32_t shadow;
    int32_t delayed_form;
};

// One scheduling block: the instructions up to a branch or a label that
// ends it.
struct SchedBlock {
    SchedBlock* next;
    SchedInstruction* first;
    SchedInstruction* last;
    SchedDag* dag;
    int32_t probability;  // taken probability of the branch, percent
    int32_t nop_count;
    SchedInstruction* branch;
    SchedInstruction* first_slot;
    SchedInstruction* second_slot;
    // The branch that the source wrote in its delayed form right before the
    // block's first instruction, recorded or not: the block begins with its
    // slot instructions. None for every other block.
    const SchedInstruction* delayed_before;
    // 1 when no nop may follow the branch: an instruction that uses the
    // location counter comes before it, or one that may reach back comes
    // after it, between the same two block-ending labels. The nop would
    // move what the location counter names against the instruction.
    int32_t no_nop;
};

// Every block in source order, and the block that receives instructions.
extern SchedBlock* schedule_block_list;
extern SchedBlock* schedule_open_block;

// The symbol ___BP___: while non-zero, the taken probability of conditional branches.
extern Symbol* branch_probability_symbol;

void sched_begin_pass();
// Forgets the recorder's state of the stretch between block-ending labels,
// for a new run in the same process.
void sched_forget_stretch();
// The rules pending between instructions (the open block's section, the
// instruction kept in place, a loop end or DISI count still to come),
// forgotten at the start of every pass.
void sched_forget_pass_state();
// Everything a run of the scheduler's recorder leaves behind, forgotten
// before the next run in this process.
void sched_reset_run();
void sched_record_instruction(int32_t slots, const ResourcePair& arch, const ResourcePair& hazard);
void sched_record_branch(int32_t slots, int32_t probability, const ResourcePair& arch, const ResourcePair& hazard);
void sched_record_label(Symbol* symbol);
// Data or space in the current section: the block of its instructions ends.
void sched_record_data();
void sched_end_block();
// DO names the label of its loop's last instruction.
void sched_note_loop_end(const Symbol* label);
// The next `count` instructions each end their block, so that none moves.
void sched_keep_in_place(int32_t count);
// A call or jump names the label by its address (CALL, GOTO, RCALL): like a
// branch target, the label ends the scheduling block.
void sched_note_transfer_target(const Symbol* label);
// Data or an instruction in program memory holds the label's address: the
// label, too, ends the scheduling block, so that it keeps its place.
void sched_note_data_label(const Symbol* label);
// A label of program memory that an operand or data names for its address.
void sched_note_address_label(const Symbol* label);
SchedInstruction* sched_append_instruction(int32_t slots, const ResourcePair& arch, const ResourcePair& hazard);
SchedInstruction* sched_new_instruction(int32_t slots, const ResourcePair& arch, const ResourcePair& hazard);
SchedBlock* sched_new_block();
