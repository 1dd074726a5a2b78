// Aggregations: an accepted window's occurrences are each replaced by one
// call pseudo-instruction and the window's own records become the shared
// body. A body that ends in an unconditional transfer is opened (written in
// place, jumped into); any other is closed (called), one call level deeper,
// so its W15-relative moves reach 4 bytes further down the stack. After the
// search the aggregations are filed by level and line for the writers, with
// their sizes expanded through nested calls.
#include <algorithm>
#include <functional>
#include <unordered_map>
#include <vector>

#include "paasmdiag.h"
#include "paasmpa_opt.h"
#include "paasmpool.h"

namespace {

// Relocating a move gives it the class of the first record, in list order,
// with a positive class and the move's new encoding. Only W15-relative
// moves can have such an encoding, so only they are indexed: each one that
// stands in a block of basic_block_list has its place in list order, and
// per encoding the moves that had it with a positive class are kept by
// place. The records change under the index while the search runs
// (occurrences leave their blocks, bodies join the list at its end, moves
// are lowered and reclassed), and every such change updates the places, so
// that the index answers from the records as they are now: an entry counts
// only while its record still stands at that place with that encoding and
// a positive class. An entry that fails once never counts again (places are
// never reused, offsets only go down, a class only goes from positive to 0
// within the relocation of its own record or to a negative id), so failed
// entries at the front are dropped as they are met. Outside a search the
// index is made from the blocks when a body is relocated and dropped after.
struct EncodingKey {
    uint32_t word;
    uint32_t operand;
    const Symbol* symbol;
    bool operator==(const EncodingKey&) const = default;
};
struct EncodingKeyHash {
    size_t operator()(const EncodingKey& key) const {
        return std::hash<uint64_t>()((static_cast<uint64_t>(key.word) << 32) ^ key.operand) ^
               std::hash<const Symbol*>()(key.symbol);
    }
};
struct MovePlace {
    uint64_t place;
    const PaInstruction* record;
};
struct MovesOfEncoding {
    std::vector<MovePlace> entries;  // ascending by place
    size_t front = 0;                // the entries before it no longer count
};

struct MoveIndex {
    bool valid = false;  // holds what the blocks hold now
    bool kept = false;   // a search keeps it up to date between relocations
    uint64_t last_place = 0;
    // Every move that has stood in the blocks: its place, or NOT_PLACED
    // since it left them.
    std::unordered_map<const PaInstruction*, uint64_t> place;
    std::unordered_map<EncodingKey, MovesOfEncoding, EncodingKeyHash> by_encoding;
};

MoveIndex moves;
constexpr uint64_t NOT_PLACED = 0;  // places count from 1

EncodingKey pa_key(const PaEncoding& encoding) { return EncodingKey{encoding.word, encoding.operand, encoding.symbol}; }

void pa_clear_move_index() {
    moves.valid = false;
    moves.last_place = 0;
    moves.place.clear();
    moves.by_encoding.clear();
}

// Files a classed move under its encoding at its place.
void pa_file_move(const PaInstruction* record, uint64_t at) {
    if (record->class_id <= 0) return;
    MovesOfEncoding& list = moves.by_encoding[pa_key(record->encoding)];
    // Only a relocated move of the newest body goes before others: the
    // later moves of that body.
    size_t slot = list.entries.size();
    while (slot > 0 && list.entries[slot - 1].place > at) --slot;
    list.entries.insert(list.entries.begin() + static_cast<std::ptrdiff_t>(slot), MovePlace{at, record});
    list.front = std::min(list.front, slot);
}

// Enters a move at the end of the list order.
void pa_index_move(const PaInstruction* record) {
    const uint64_t at = ++moves.last_place;
    moves.place[record] = at;
    pa_file_move(record, at);
}

bool pa_entry_counts(const MovePlace& entry, const EncodingKey& key) {
    const auto found = moves.place.find(entry.record);
    return found != moves.place.end() && found->second == entry.place && entry.record->class_id > 0 &&
           pa_key(entry.record->encoding) == key;
}

void pa_build_move_index() {
    pa_clear_move_index();
    std::vector<const PaInstruction*> found;
    for (const PaBlock* block = basic_block_list.head; block != nullptr; block = block->next) {
        const PaInstruction* record = block->first;
        for (int32_t i = 0; i < block->count && record != nullptr; ++i, record = record->next)
            if (pa_is_stack_relative_move(record)) found.push_back(record);
    }
    // No other move ever joins: a body is made of records that stood in
    // the blocks.
    moves.place.reserve(found.size());
    for (const PaInstruction* record : found) pa_index_move(record);
    moves.valid = true;
}

// The class of the first move in list order with a positive class and
// this encoding; 0 for none.
int32_t pa_first_class_of(const PaEncoding& encoding) {
    const EncodingKey key = pa_key(encoding);
    const auto found = moves.by_encoding.find(key);
    if (found == moves.by_encoding.end()) return 0;
    MovesOfEncoding& list = found->second;
    while (list.front < list.entries.size() && !pa_entry_counts(list.entries[list.front], key)) ++list.front;
    if (list.front == list.entries.size()) {
        moves.by_encoding.erase(found);
        return 0;
    }
    return list.entries[list.front].record->class_id;
}

bool pa_filed_before(const PaBlock* a, const PaBlock* b) {
    if (a->level != b->level) return a->level < b->level;
    return a->first_line < b->first_line;
}

void pa_file_sorted(PaBlockList& list, std::vector<PaBlock*>& blocks) {
    if (list.head != nullptr) {
        for (PaBlock* block : blocks) pa_insert_aggregation(list, block);
        return;
    }
    // The same order as inserting one by one: stable by (level, first line).
    std::stable_sort(blocks.begin(), blocks.end(), pa_filed_before);
    PaBlock** link = &list.head;
    while (*link != nullptr) link = &(*link)->next;
    for (PaBlock* block : blocks) {
        block->next = nullptr;
        *link = block;
        link = &block->next;
        ++list.count;
    }
    list.tail = nullptr;
}

}  // namespace

void pa_keep_move_index() {
    pa_build_move_index();
    moves.kept = true;
}

void pa_forget_move_index() {
    pa_clear_move_index();
    moves.kept = false;
}

PaCallSite* pa_replace_occurrences(PaOccurrenceList* list, PaBlock* aggregation) {
    auto* sites = pool_new_array<PaCallSite>(static_cast<size_t>(list->count), POOL_RUN);
    int32_t i = 0;
    for (PaOccurrence* occurrence = list->head; occurrence != nullptr; occurrence = occurrence->next, ++i) {
        PaBlock* block = occurrence->block;
        PaInstruction** link = &block->first;
        while (*link != nullptr && *link != occurrence->first) link = &(*link)->next;
        if (*link == nullptr) diag_fatal(1, pa_source_name, 1503);
        PaInstruction* last = pa_nth_instruction(occurrence->first, occurrence->length - 1);
        if (last == nullptr) diag_fatal(1, pa_source_name, 1503);
        // The occurrence's records leave the block (the window's join the
        // body at the end of the list, pa_make_aggregation).
        if (moves.valid) {
            const PaInstruction* record = occurrence->first;
            for (int32_t k = 0; k < occurrence->length && record != nullptr; ++k, record = record->next)
                if (pa_is_stack_relative_move(record))
                    if (const auto found = moves.place.find(record); found != moves.place.end())
                        found->second = NOT_PLACED;
        }

        auto* call = static_cast<PaInstruction*>(pool_zalloc(sizeof(PaInstruction), POOL_RUN));
        call->encoding = PaEncoding{PA_CALL_WORD, aggregation->id, nullptr};
        call->size = 1;
        call->class_id = -(++last_class_id);
        call->location = occurrence->first->location;
        call->first_line = occurrence->first->first_line;
        call->last_line = last->last_line;
        call->next = last->next;
        *link = call;
        if (call->next == nullptr) block->last = call;
        block->count = block->count - occurrence->length + 1;
        sites[i] = PaCallSite{call, block};
    }
    return sites;
}

void pa_make_aggregation(PaOccurrenceList* list, PaBlock* aggregation, PaCallSite* call_sites) {
    const PaOccurrence* window = list->head;
    PaInstruction* last = pa_nth_instruction(window->first, window->length - 1);
    if (last == nullptr) diag_fatal(1, pa_source_name, 1503);
    last->next = nullptr;
    aggregation->first = window->first;
    aggregation->last = last;
    aggregation->count = window->length;
    aggregation->first_line = window->first->first_line;
    aggregation->last_line = last->last_line;
    aggregation->uses = list->count;
    aggregation->call_sites = call_sites;
    if (moves.valid) {
        // A new body is the last block of the list; one put anywhere else
        // has its place found when the index is next made from the blocks.
        if (basic_block_list.tail != aggregation || aggregation->next != nullptr) {
            moves.valid = false;
        } else {
            const PaInstruction* record = aggregation->first;
            for (int32_t k = 0; k < aggregation->count && record != nullptr; ++k, record = record->next)
                if (pa_is_stack_relative_move(record)) pa_index_move(record);
        }
    }
    const bool opened = pa_is_unconditional_transfer(last);
    if (opened) aggregation->flags |= BLOCK_OPENED;
    int32_t level = window->block->level;
    for (int32_t i = 0; i < list->count; ++i) level = std::max(level, call_sites[i].block->level);
    aggregation->level = opened ? level : level + 1;
    if (!opened) pa_relocate_stack_moves(aggregation);
}

void pa_relocate_stack_moves(PaBlock* aggregation) {
    if (!moves.valid) pa_build_move_index();
    for (PaInstruction* record = aggregation->first; record != nullptr; record = record->next) {
        if (!pa_is_stack_relative_move(record)) continue;
        aggregation->flags |= BLOCK_STACK_MOVES;
        record->flags |= PA_INSTRUCTION_STACK_ADJUSTED;
        PaEncoding lowered{};
        const bool shareable = pa_adjust_stack_offset(record, 2, &lowered);
        if (!pa_adjust_stack_offset(record, 1, &lowered)) diag_fatal(1, pa_source_name, 1620);
        // Its entry under the old encoding no longer counts; it is filed
        // again at the same place once it has its new class.
        record->encoding = lowered;
        record->class_id = 0;
        // A move that can go one level deeper again may be abstracted with
        // the moves that already have its new encoding; any other is never
        // moved into a further closed body.
        if (shareable) {
            const int32_t shared = pa_first_class_of(lowered);
            record->class_id = shared > 0 ? shared : ++last_class_id;
        } else {
            record->class_id = -(++last_class_id);
        }
        if (const auto found = moves.place.find(record); found != moves.place.end() && found->second != NOT_PLACED)
            pa_file_move(record, found->second);
    }
    if (!moves.kept) pa_clear_move_index();
}

void pa_insert_aggregation(PaBlockList& list, PaBlock* aggregation) {
    ++list.count;
    PaBlock** link = &list.head;
    while (*link != nullptr && !pa_filed_before(aggregation, *link)) link = &(*link)->next;
    aggregation->next = *link;
    *link = aggregation;
    list.tail = nullptr;
}

void pa_collect_aggregations() {
    std::vector<PaBlock*> opened;
    std::vector<PaBlock*> closed;
    PaBlock** link = &basic_block_list.head;
    while (PaBlock* block = *link) {
        if (block->uses >= 2) {
            *link = block->next;
            ((block->flags & BLOCK_OPENED) != 0 ? opened : closed).push_back(block);
        } else {
            link = &block->next;
        }
    }
    basic_block_list.tail = nullptr;
    pa_file_sorted(opened_aggregation_list, opened);
    pa_file_sorted(closed_aggregation_list, closed);
}

namespace {

// A callee is always younger than its caller (its window lay in the
// caller's body), so the calls form no cycle; sizes already worked out are
// kept so that shared callees are expanded once.
int32_t pa_expanded_size(PaBlock* aggregation, std::unordered_map<const PaBlock*, int32_t>& known) {
    if (auto found = known.find(aggregation); found != known.end()) return found->second;
    known[aggregation] = 0;  // a malformed self-call counts nothing
    int32_t total = 0;
    for (const PaInstruction* record = aggregation->first; record != nullptr; record = record->next) {
        if (record->encoding.word == PA_CALL_WORD) {
            if (PaBlock* callee = pa_find_aggregation(record->encoding.operand); callee != nullptr)
                total += pa_expanded_size(callee, known);
        } else {
            total += record->size;
        }
    }
    known[aggregation] = total;
    return total;
}

}  // namespace

int32_t pa_compute_total_size(PaBlock* aggregation) {
    std::unordered_map<const PaBlock*, int32_t> known;
    return pa_expanded_size(aggregation, known);
}

void pa_compute_total_sizes() {
    std::unordered_map<const PaBlock*, int32_t> known;
    for (PaBlock* block = opened_aggregation_list.head; block != nullptr; block = block->next)
        block->total_size = pa_expanded_size(block, known);
    for (PaBlock* block = closed_aggregation_list.head; block != nullptr; block = block->next)
        block->total_size = pa_expanded_size(block, known);
}
