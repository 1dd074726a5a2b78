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

// The class of every W15-relative move encoding seen so far: relocating a
// move looks for an instruction with its new encoding here instead of
// walking all blocks. Built from the blocks at the first relocation of a
// search; an id found here is one that only records of that encoding carry.
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
std::unordered_map<EncodingKey, int32_t, EncodingKeyHash> class_of_encoding;
bool class_of_encoding_built = false;
const PaBlock* class_of_encoding_head = nullptr;

EncodingKey pa_key(const PaEncoding& encoding) { return EncodingKey{encoding.word, encoding.operand, encoding.symbol}; }

void pa_build_class_lookup() {
    class_of_encoding.clear();
    for (const PaBlock* block = basic_block_list.head; block != nullptr; block = block->next) {
        const PaInstruction* record = block->first;
        for (int32_t i = 0; i < block->count && record != nullptr; ++i, record = record->next) {
            // The first record in list order gives the class.
            if (record->class_id > 0) class_of_encoding.emplace(pa_key(record->encoding), record->class_id);
        }
    }
    class_of_encoding_built = true;
    class_of_encoding_head = basic_block_list.head;
}

int32_t pa_shared_class(const PaEncoding& encoding) {
    if (!class_of_encoding_built || class_of_encoding_head != basic_block_list.head) pa_build_class_lookup();
    auto [entry, added] = class_of_encoding.emplace(pa_key(encoding), 0);
    if (added) entry->second = ++last_class_id;
    return entry->second;
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

void pa_forget_class_lookup() {
    class_of_encoding.clear();
    class_of_encoding_built = false;
    class_of_encoding_head = nullptr;
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
    const bool opened = pa_is_unconditional_transfer(last);
    if (opened) aggregation->flags |= BLOCK_OPENED;
    int32_t level = window->block->level;
    for (int32_t i = 0; i < list->count; ++i) level = std::max(level, call_sites[i].block->level);
    aggregation->level = opened ? level : level + 1;
    if (!opened) pa_relocate_stack_moves(aggregation);
}

void pa_relocate_stack_moves(PaBlock* aggregation) {
    for (PaInstruction* record = aggregation->first; record != nullptr; record = record->next) {
        if (!pa_is_stack_relative_move(record)) continue;
        aggregation->flags |= BLOCK_STACK_MOVES;
        record->flags |= PA_INSTRUCTION_STACK_ADJUSTED;
        PaEncoding lowered{};
        const bool shareable = pa_adjust_stack_offset(record, 2, &lowered);
        if (!pa_adjust_stack_offset(record, 1, &lowered)) diag_fatal(1, pa_source_name, 1620);
        record->encoding = lowered;
        // A move that can go one level deeper again may be abstracted with
        // the moves that already have its new encoding; any other is never
        // moved into a further closed body.
        record->class_id = shareable ? pa_shared_class(lowered) : -(++last_class_id);
    }
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
