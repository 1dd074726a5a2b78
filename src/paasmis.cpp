// Scheduler recording: with -s, pass 2 hands every encoded instruction to
// this recorder with its two resource pairs, and the recorder cuts the
// program into scheduling blocks at branches and at labels that something
// jumps to. An instruction in the shadow of a skip or REPEAT is merged into
// the record of the instruction before it, so that the pair never splits.
// Every instruction also leaves its hazard definitions with its section, in
// every mode and pass, for the read-after-write check of the next one.
// A block holds the instructions of one section only, and a DO loop's
// first and last instructions each end a block, so that nothing moves out
// of a section or into or out of a loop. An instruction that uses the
// location counter keeps its address: it is a block of its own, a branch
// keeps no slots to fill, and no nop goes where it would move what '.'
// names against the instruction. Data or space in the section ends the
// block too: nothing moves across it, and a skip or REPEAT before it keeps
// its place with the instruction it acts on.
#include "paasmis.h"

#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmintern.h"
#include "paasmis_dag.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmpool.h"
#include "paasmsym.h"

#include <unordered_set>

SchedBlock* schedule_block_list = nullptr;
SchedBlock* schedule_open_block = nullptr;
Symbol* branch_probability_symbol = nullptr;

namespace {

// The last block of schedule_block_list, where the next one is appended.
SchedBlock* schedule_block_tail = nullptr;

// A delayed form that the source wrote, until the next instruction: the
// block that instruction opens begins with its slots.
const SchedInstruction* last_delayed_branch = nullptr;

// The section of the open block's instructions.
const Section* open_block_section = nullptr;

// The labels that DO names as the end of its loop, and whether the
// instruction at such a label, the loop's last, is still to come: it ends
// its block.
std::unordered_set<const Symbol*> loop_end_labels;
bool loop_end_pending = false;

// The last record when the rule that keeps it in place (the loop's last
// instruction, one that DISI holds interrupts off for) has just closed its
// block: the instruction in its skip or REPEAT shadow still joins it.
SchedInstruction* closed_in_place = nullptr;

// The labels that CALL, GOTO or RCALL name, in pass 1 and pass 2.
std::unordered_set<const Symbol*> transfer_targets;

// The labels whose addresses data or instructions in program memory hold,
// in pass 1 and pass 2: moving one would change those words.
std::unordered_set<const Symbol*> data_labels;

// Of those, the labels named for their addresses (not as transfer
// targets), in pass 1 and pass 2: no nop may go before one.
std::unordered_set<const Symbol*> address_labels;

// How many of the next instructions still keep their places (after DISI),
// and the count that the instruction being encoded asked for, which starts
// with the instruction after it.
int32_t kept_in_place = 0;
int32_t keep_in_place_asked = 0;

// The stretch between two block-ending labels: the last block opened
// before it (none for the first), and whether an instruction of it used
// the location counter, so that no block opened after that one adds a
// nop.
SchedBlock* stretch_before = nullptr;
bool location_in_stretch = false;

// The last block of the stretch that an instruction reaching back with the
// location counter has kept from adding a nop: the blocks of the stretch up
// to it are marked already, so that the next such instruction marks only
// the blocks opened since (none for a new stretch).
SchedBlock* reach_fence_through = nullptr;

// The last block that a label named by its address has kept from adding a
// nop: the blocks up to it are marked already.
SchedBlock* nop_fence_through = nullptr;

// A label that an operand or data names by its address: a nop added in any
// block before it would move it, and change the words that name it (a
// file-register operand reads another word then). No block recorded so far
// adds one.
void sched_forbid_nops_so_far() {
    for (SchedBlock* block = nop_fence_through != nullptr ? nop_fence_through->next : schedule_block_list;
         block != nullptr; block = block->next) {
        block->no_nop = 1;
        nop_fence_through = block;
    }
}

// An instruction that uses the location counter was recorded: no nop may
// follow it in its stretch, and when it may reach back, none may come
// before it either. One that takes '.' as a value (a file register, a
// literal) holds its own address, as a word naming a label holds the
// label's: no nop may come before it at all.
void sched_note_location_use() {
    location_in_stretch = true;
    if ((location_counter_uses & LOCATION_AS_ADDRESS) != 0) sched_forbid_nops_so_far();
    if ((location_counter_uses & LOCATION_REACHES_BACK) == 0) return;
    SchedBlock* block = reach_fence_through != nullptr ? reach_fence_through->next
                        : stretch_before != nullptr    ? stretch_before->next
                                                       : schedule_block_list;
    for (; block != nullptr; block = block->next) {
        block->no_nop = 1;
        reach_fence_through = block;
    }
}

// The record just merged or appended last into the open block becomes a
// block of its own, which nothing can reorder.
void sched_isolate_last_record() {
    SchedBlock* block = schedule_open_block;
    if (block == nullptr) return;
    SchedInstruction* record = block->last;
    if (record != block->first) {
        SchedInstruction* before = block->first;
        while (before->next != record) before = before->next;
        before->next = nullptr;
        block->last = before;
        SchedBlock* alone = sched_new_block();
        alone->first = record;
        alone->last = record;
        alone->no_nop = 1;
    }
    sched_end_block();
    closed_in_place = record;
}

void sched_start_keeping_in_place() {
    if (keep_in_place_asked > 0) kept_in_place = keep_in_place_asked;
    keep_in_place_asked = 0;
}

bool sched_recording() { return (option_flags & OPT_SCHEDULE) != 0 && pass_number >= 2; }

// An instruction of another section than the open block's does not join it.
void sched_end_block_of_other_section() {
    if (schedule_open_block != nullptr && open_block_section != current_section) sched_end_block();
}

}  // namespace

void sched_begin_pass() {
    if (pass_number == 1) {
        // Records an earlier run in this process left behind are forgotten.
        schedule_block_list = nullptr;
        schedule_block_tail = nullptr;
        schedule_open_block = nullptr;
        loop_end_labels.clear();
        transfer_targets.clear();
        data_labels.clear();
        address_labels.clear();
        branch_probability_symbol = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, intern_string("___BP___")});
    }
    sched_forget_pass_state();
    // No hint, as an unset switch gives, whatever the last pass left in it.
    if (branch_probability_symbol != nullptr) sym_set_absolute_integer(branch_probability_symbol, 0);
}

void sched_forget_pass_state() {
    last_delayed_branch = nullptr;
    open_block_section = nullptr;
    closed_in_place = nullptr;
    sched_forget_stretch();
    nop_fence_through = nullptr;
    loop_end_pending = false;
    kept_in_place = 0;
    keep_in_place_asked = 0;
}

void sched_reset_run() {
    schedule_block_list = nullptr;
    schedule_block_tail = nullptr;
    schedule_open_block = nullptr;
    loop_end_labels.clear();
    transfer_targets.clear();
    data_labels.clear();
    address_labels.clear();
    sched_forget_pass_state();
}

void sched_forget_stretch() {
    stretch_before = nullptr;
    location_in_stretch = false;
    reach_fence_through = nullptr;
}

SchedBlock* sched_new_block() {
    auto* block = static_cast<SchedBlock*>(pool_zalloc(sizeof(SchedBlock), POOL_RUN));
    if (schedule_block_list == nullptr || schedule_block_tail == nullptr)
        schedule_block_list = block;
    else
        schedule_block_tail->next = block;
    schedule_block_tail = block;
    return block;
}

SchedInstruction* sched_new_instruction(int32_t slots, const ResourcePair& arch, const ResourcePair& hazard) {
    auto* record = static_cast<SchedInstruction*>(pool_zalloc(sizeof(SchedInstruction), POOL_RUN));
    record->line = current_source->line;
    record->ordinal = current_section->instruction_count;
    record->slots = slots;
    record->arch = arch;
    record->hazard = hazard;
    return record;
}

SchedInstruction* sched_append_instruction(int32_t slots, const ResourcePair& arch, const ResourcePair& hazard) {
    sched_end_block_of_other_section();
    if (schedule_open_block == nullptr) {
        schedule_open_block = sched_new_block();
        schedule_open_block->delayed_before = last_delayed_branch;
        // A nop added in data memory would move the data after it, which
        // the program's instructions may address.
        const bool data_memory = current_section != nullptr && (current_section->memory_kind & MEMORY_PROGRAM) == 0;
        schedule_open_block->no_nop = location_in_stretch || data_memory ? 1 : 0;
        open_block_section = current_section;
    }
    last_delayed_branch = nullptr;
    SchedInstruction* record = sched_new_instruction(slots, arch, hazard);
    SchedBlock* block = schedule_open_block;
    if (block->last == nullptr)
        block->first = record;
    else
        block->last->next = record;
    block->last = record;
    return record;
}

void sched_record_instruction(int32_t slots, const ResourcePair& arch, const ResourcePair& hazard) {
    current_section->last_hazard_defs = hazard.defs;
    if (!sched_recording()) return;
    const bool uses_location = (location_counter_uses & LOCATION_USED) != 0;
    if (uses_location) sched_note_location_use();
    SchedInstruction* pair = nullptr;
    if (pending_shadow != 0 && open_block_section == current_section)
        pair = schedule_open_block != nullptr ? schedule_open_block->last : closed_in_place;
    closed_in_place = nullptr;
    if (pair != nullptr) {
        // The instruction in a skip or REPEAT shadow joins its predecessor,
        // also when that one ended its block to keep its place.
        pair->arch.uses |= arch.uses;
        pair->arch.defs |= arch.defs;
        pair->hazard.defs = hazard.defs;
        pair->merged_line = current_source->line;
        pair->merged_ordinal = current_section->instruction_count;
        pair->slots = 0;
        // A pair that uses the location counter leaves its block.
        if (uses_location) sched_isolate_last_record();
        return;
    }
    if (uses_location) sched_end_block();
    SchedInstruction* record = sched_append_instruction(slots, arch, hazard);
    if (uses_location) sched_isolate_last_record();
    if (kept_in_place > 0) {
        --kept_in_place;
        sched_end_block();
        closed_in_place = record;
    }
    if (loop_end_pending) {
        loop_end_pending = false;
        sched_end_block();
        closed_in_place = record;
    }
    sched_start_keeping_in_place();
}

void sched_record_branch(int32_t slots, int32_t probability, const ResourcePair& arch, const ResourcePair& hazard) {
    current_section->last_hazard_defs = hazard.defs;
    if (sched_recording()) {
        closed_in_place = nullptr;
        sched_end_block_of_other_section();
        loop_end_pending = false;
        if (kept_in_place > 0) --kept_in_place;
        // Filling the slots would move the branch up, and what '.' names
        // with it.
        if ((location_counter_uses & LOCATION_USED) != 0) {
            sched_note_location_use();
            slots = 0;
        }
        // A delayed form keeps the slots the source gave it, also when it
        // comes with no open block and so is not the branch of any block.
        const bool delayed = sched_line_has_delayed_form(line_buffer);
        SchedInstruction* branch = nullptr;
        if (schedule_open_block != nullptr || delayed) {
            if (pending_shadow != 0) slots = 0;
            branch = sched_new_instruction(slots, arch, hazard);
            branch->shadow = pending_shadow;
            branch->delayed_form = delayed ? 1 : 0;
        }
        if (schedule_open_block != nullptr) {
            schedule_open_block->probability = probability;
            schedule_open_block->branch = branch;
        }
        last_delayed_branch = delayed ? branch : nullptr;
        sched_start_keeping_in_place();
    }
    sched_end_block();
}

void sched_record_label(Symbol* symbol) {
    if (symbol == nullptr) return;
    if (!sched_recording()) return;
    closed_in_place = nullptr;
    if (symbol->scope == SCOPE_GLOBAL || (symbol->flags & SYM_BRANCH_TARGET) != 0 ||
        transfer_targets.count(symbol) != 0 || data_labels.count(symbol) != 0) {
        main_source.marks[3] = ' ';
        sched_end_block();
        stretch_before = schedule_block_tail;
        location_in_stretch = false;
        reach_fence_through = nullptr;
        if (address_labels.count(symbol) != 0) sched_forbid_nops_so_far();
        if (loop_end_labels.count(symbol) != 0) loop_end_pending = true;
    } else {
        main_source.marks[3] = '*';
    }
}

// Data, or space, put into the section of the instructions being recorded
// ends their block and their stretch, as a label that is jumped to does:
// what runs into it may be instructions written as data, which nothing may
// cross, and an instruction moved across it would move it.
// Data between a skip or REPEAT and the instruction it acts on leaves that
// instruction its shadow, whether or not the data takes words: the skip
// keeps its place as a block of its own and the instruction still joins it.
void sched_record_data() {
    if (!sched_recording() || open_block_section != current_section) return;
    if (pending_shadow != 0) sched_isolate_last_record();
    sched_end_block();
    stretch_before = schedule_block_tail;
    location_in_stretch = false;
    reach_fence_through = nullptr;
}

void sched_end_block() { schedule_open_block = nullptr; }

void sched_keep_in_place(int32_t count) {
    if (sched_recording()) keep_in_place_asked = count;
}

void sched_note_transfer_target(const Symbol* label) {
    if (label != nullptr && (option_flags & OPT_SCHEDULE) != 0) transfer_targets.insert(label);
}

void sched_note_data_label(const Symbol* label) {
    if (label != nullptr && (option_flags & OPT_SCHEDULE) != 0) data_labels.insert(label);
}

void sched_note_address_label(const Symbol* label) {
    if (label != nullptr && (option_flags & OPT_SCHEDULE) != 0) address_labels.insert(label);
}

void sched_note_loop_end(const Symbol* label) {
    if (label != nullptr) loop_end_labels.insert(label);
}
