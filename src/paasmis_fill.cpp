// Delay-slot filling: after a block is scheduled, instructions from its end
// move behind a probably taken branch into the branch's delay slots, where
// they run before the transfer takes effect. The schedule itself does not
// change; the block records which instructions moved, and whether a nop
// stands in for a slot that only a partial fill leaves empty.
//
// An instruction may move when nothing scheduled after it depends on it
// (moving it behind the branch puts all of those before it) and it does
// not touch what the branch reads or writes, the status register aside.
// These tests run once per position before the search, in one backward walk
// that counts per resource the later instructions touching and writing it:
// for each position whether no, one (and which) or several later
// instructions depend on it, how many of the instructions from it on the
// branch depends on, and where the next possible partner for the last slot
// stands. Every question of the search is then a look-up.
#include "paasmis_fill.h"

#include <algorithm>

#include "paasmdriver.h"
#include "paasmis_dag.h"
#include "paasmpool.h"

uint32_t delayed_branch_count = 0;
uint32_t delayed_taken_count = 0;
uint32_t delayed_filled_count = 0;

namespace {

constexpr int32_t PROBABLY_TAKEN = 50;

constexpr int32_t NO_DEPENDENT = -1;
constexpr int32_t MANY_DEPENDENTS = -2;

// The per-position answers over one block's schedule.
struct SlotSearch {
    SchedInstruction* const* array;
    int32_t count;
    const SchedInstruction* branch;
    // At i: NO_DEPENDENT when nothing after i depends on the instruction,
    // the position of the one instruction that does, or MANY_DEPENDENTS.
    int32_t* dependent;
    int32_t* branch_dependents;  // at i: positions from i on the branch depends on
    uint8_t* conflicts;          // at i: touches the branch's resources
    // At i: the first position from i on that could take the last slot
    // with `size` slots (index size-1), or count for none.
    int32_t** next_partner;
    int32_t partner_sizes;
    // The positions before it hold slot instructions of a branch the source
    // delayed itself: they never move.
    int32_t first_movable;
};

// Walking the schedule backwards, per resource: how many of the
// instructions seen so far (capped at 2) touch it and write it, and the
// last of them.
struct LaterUse {
    uint8_t touching[SCHED_RESOURCE_COUNT] = {};
    uint8_t writing[SCHED_RESOURCE_COUNT] = {};
    int32_t touched_at[SCHED_RESOURCE_COUNT] = {};
    int32_t written_at[SCHED_RESOURCE_COUNT] = {};
};

void note_dependents(int32_t& dependent, uint8_t count, int32_t at) {
    if (count == 0 || dependent == MANY_DEPENDENTS) return;
    if (count > 1 || (dependent != NO_DEPENDENT && dependent != at))
        dependent = MANY_DEPENDENTS;
    else
        dependent = at;
}

SlotSearch sched_prepare_search(const SchedBlock* block, SchedInstruction* const* array, int32_t count) {
    SlotSearch search{array, count, block->branch, nullptr, nullptr, nullptr, nullptr, 0, 0};
    if (block->dag != nullptr) search.first_movable = std::min(block->dag->pinned, count);
    const size_t size = static_cast<size_t>(count) + 1;
    search.dependent = pool_new_array<int32_t>(size, POOL_SCRATCH);
    search.branch_dependents = pool_new_array<int32_t>(size, POOL_SCRATCH);
    search.conflicts = pool_new_array<uint8_t>(size, POOL_SCRATCH);
    search.branch_dependents[count] = 0;
    LaterUse later;
    for (int32_t i = count - 1; i >= 0; --i) {
        const SchedInstruction* x = array[i];
        // Whatever touches what x writes, or writes what x reads.
        int32_t dependent = NO_DEPENDENT;
        for (int r = 0; r < SCHED_RESOURCE_COUNT; ++r) {
            const uint32_t bit = 1u << r;
            if ((x->arch.defs & bit) != 0) note_dependents(dependent, later.touching[r], later.touched_at[r]);
            if ((x->arch.uses & bit) != 0) note_dependents(dependent, later.writing[r], later.written_at[r]);
        }
        search.dependent[i] = dependent;
        for (int r = 0; r < SCHED_RESOURCE_COUNT; ++r) {
            const uint32_t bit = 1u << r;
            if (((x->arch.defs | x->arch.uses) & bit) != 0) {
                if (later.touching[r] < 2) later.touching[r] += 1;
                later.touched_at[r] = i;
            }
            if ((x->arch.defs & bit) != 0) {
                if (later.writing[r] < 2) later.writing[r] += 1;
                later.written_at[r] = i;
            }
        }
        search.branch_dependents[i] = search.branch_dependents[i + 1] + sched_depends(search.branch, x);
        search.conflicts[i] = static_cast<uint8_t>(sched_depends_except_flags(x, search.branch));
    }
    // A partner takes the rest of the slots: 1 to S-1 of them.
    search.partner_sizes = search.branch->slots > 1 ? search.branch->slots - 1 : 0;
    search.next_partner = pool_new_array<int32_t*>(static_cast<size_t>(search.partner_sizes) + 1, POOL_SCRATCH);
    for (int32_t s = 1; s <= search.partner_sizes; ++s) {
        int32_t* next = pool_new_array<int32_t>(size, POOL_SCRATCH);
        next[count] = count;
        for (int32_t k = count - 1; k >= 0; --k) {
            const bool fits = array[k]->slots == s && search.conflicts[k] == 0 && search.dependent[k] == NO_DEPENDENT;
            next[k] = fits ? k : next[k + 1];
        }
        search.next_partner[s - 1] = next;
    }
    return search;
}

// Whether the instruction at i is free after i, except position `except`
// (-1 for none).
bool free_after(const SlotSearch& search, int32_t i, int32_t except) {
    return search.dependent[i] == NO_DEPENDENT || (except >= 0 && search.dependent[i] == except);
}

// The branch reads the status register and nothing else, and the
// instruction that ends up in the last slot writes it: the status the
// branch tests then comes from the slot, whatever the branch depends on
// before it.
bool status_exception(const SlotSearch& search, const SchedInstruction* last_slot) {
    return search.branch->arch.uses == RES_STATUS && (last_slot->arch.defs & RES_STATUS) != 0;
}

// Whether the branch depends on an instruction at the positions from..to.
bool branch_depends_between(const SlotSearch& search, int32_t from, int32_t to) {
    if (from > to) return false;
    return search.branch_dependents[from] - search.branch_dependents[to + 1] != 0;
}

// The first position after i whose instruction can take the slots that the
// one at i leaves: it fills exactly the rest, leaves the branch's resources
// alone, nothing after it depends on it, and the one at i depends on
// nothing after i but it. -1 for none.
int32_t first_partner(const SlotSearch& search, int32_t i, int32_t rest) {
    if (rest < 1 || rest > search.partner_sizes) return -1;
    const int32_t dependent = search.dependent[i];
    if (dependent == MANY_DEPENDENTS) return -1;
    const int32_t* next = search.next_partner[rest - 1];
    if (dependent == NO_DEPENDENT) return next[i + 1] < search.count ? next[i + 1] : -1;
    return next[dependent] == dependent ? dependent : -1;
}

int fill_all(SchedBlock* block, const SlotSearch& search) {
    const int32_t slots = search.branch->slots;
    for (int32_t i = search.count - 1; i >= search.first_movable; --i) {
        SchedInstruction* first = search.array[i];
        if (first->slots <= 0 || first->slots > slots || search.conflicts[i] != 0) continue;
        if (first->slots == slots) {
            if (!free_after(search, i, -1)) continue;
            block->first_slot = first;
            return 1;
        }
        const int32_t partner = first_partner(search, i, slots - first->slots);
        if (partner < 0) continue;
        SchedInstruction* second = search.array[partner];
        if (!status_exception(search, second) && branch_depends_between(search, i + 1, partner - 1)) continue;
        block->first_slot = first;
        block->second_slot = second;
        return 1;
    }
    return 0;
}

int fill_one(SchedBlock* block, const SlotSearch& search) {
    const int32_t slots = search.branch->slots;
    for (int32_t i = search.count - 1; i >= search.first_movable; --i) {
        SchedInstruction* first = search.array[i];
        if (first->slots <= 0 || first->slots >= slots || search.conflicts[i] != 0) continue;
        if (!free_after(search, i, -1)) continue;
        if (!status_exception(search, first) && branch_depends_between(search, i + 1, search.count - 1)) continue;
        block->first_slot = first;
        block->nop_count = 1;
        return 1;
    }
    return 0;
}

}  // namespace

void sched_fill_delay_slots(SchedBlock* block) {
    if ((option_flags & OPT_DELAY_SLOTS) == 0) return;
    const SchedInstruction* branch = block->branch;
    if (branch == nullptr || branch->slots <= 0) return;
    delayed_branch_count += 1;
    if (block->probability < PROBABLY_TAKEN) return;
    delayed_taken_count += 1;
    // A branch the source wrote in its delayed form has its slots already.
    if (sched_branch_is_delayed_form(block) || block->dag == nullptr) return;

    // The schedule as an array, positions 0 to n-1.
    const int32_t count = block->dag->schedule.count;
    auto* array = pool_new_array<SchedInstruction*>(static_cast<size_t>(count) + 1, POOL_SCRATCH);
    int32_t position = 0;
    for (SchedPtrItem* item = block->dag->schedule.head; item != nullptr; item = item->next)
        array[position++] = item->pointer->instruction;

    const SlotSearch search = sched_prepare_search(block, array, count);
    if (fill_all(block, search) != 0) {
        delayed_filled_count += 1;
        return;
    }
    const bool partial_allowed =
        delay_slot_level == 1 || (delay_slot_level == 2 && branch->arch.uses == 0);
    if (branch->slots > 1 && partial_allowed && block->no_nop == 0 && fill_one(block, search) != 0)
        delayed_filled_count += 1;
}
