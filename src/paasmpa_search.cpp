// Sequence search: from the longest length that can still repeat down to 1,
// every window of every block is tried in a fixed order; the first one whose
// non-overlapping repeats save program words becomes an aggregation at once,
// and its body joins the blocks, so shorter windows are found inside it too.
//
// Done literally, every window would re-scan every later block and walk
// every label. Here the same decisions come from indexes instead: per
// length, the windows of all blocks are sorted by (section, hash of their
// class ids), so a window's repeats are a binary search away and are only
// verified id by id; the label rules are answered by binary search over
// the labels sorted by definition line and over each label's reference
// lines. The visiting order, the slides and the acceptance are exactly the
// plain algorithm's (the unit tests keep that one and compare).
#include <algorithm>
#include <climits>
#include <functional>
#include <unordered_map>
#include <vector>

#include "paasmdriver.h"
#include "paasmomf.h"
#include "paasmpa_opt.h"
#include "paasmpool.h"
#include "paasmsym.h"

namespace {

// ---- Branch-target labels, by definition line -------------------------------

struct LabelIndex {
    std::vector<int32_t> definition;      // per label, in the sorted list's order
    std::vector<int32_t> refs_begin;      // per label: its slice of the arrays below
    std::vector<int32_t> ref_line;        // reference lines, ascending within a label
    std::vector<int32_t> ref_order;       // their place in the label's reference list
    std::vector<int32_t> prefix_first;    // least ref_order up to and including this one
    std::vector<int32_t> suffix_first;    // least ref_order from this one on
    std::vector<std::pair<int32_t, int32_t>> all_refs;  // (line, label), ascending
};

LabelIndex labels;

// ---- Blocks and windows ---------------------------------------------------

// A block's records by position, with prefix sums that give any window's
// hash and whether it holds a negative (never matching) id in constant time.
struct BlockState {
    PaBlock* block = nullptr;
    std::vector<PaInstruction*> records;
    std::vector<uint64_t> prefix_hash;
    std::vector<int32_t> prefix_negative;
    std::vector<int32_t> prefix_words;
};

struct WindowEntry {
    const Section* section;
    uint64_t hash;
    int32_t block;     // index of the block's state, which is its list order
    int32_t position;  // when indexed; the order of survivors never changes
    PaInstruction* record;
};

constexpr uint64_t HASH_BASE = 0x100000001B3ull;

std::vector<BlockState> states;
// Per state, side by side for the length loop's walks: the record count and
// whether the block is searched at all (its level is below the limit).
std::vector<int32_t> state_counts;
std::vector<uint8_t> state_searched;
std::unordered_map<const PaBlock*, int32_t> state_of_block;
// Where each record was last seen: (block state, position). Valid only while
// that state still holds the record at that position.
std::unordered_map<const PaInstruction*, std::pair<int32_t, int32_t>> record_place;
std::vector<WindowEntry> window_index;  // blocks that existed when the length began
std::unordered_map<uint64_t, std::vector<WindowEntry>> late_windows;  // bodies made since
int32_t indexed_length = 0;
uint64_t length_power = 1;  // HASH_BASE to the power indexed_length

// Aggregations by id, for pa_find_aggregation; rebuilt from the two lists
// whenever they have changed since.
struct FiledAggregation {
    PaBlock* block = nullptr;
    bool closed = false;  // found in the closed list
};
std::vector<FiledAggregation> aggregation_by_id;
const PaBlock* indexed_heads[2] = {nullptr, nullptr};
int32_t indexed_counts[2] = {-1, -1};

uint64_t pa_mix_id(int32_t id) { return (static_cast<uint64_t>(static_cast<uint32_t>(id)) + 1) * 0x9E3779B97F4A7C15ull; }

bool pa_entry_before(const WindowEntry& a, const WindowEntry& b) {
    if (a.section != b.section) return std::less<const Section*>()(a.section, b.section);
    if (a.hash != b.hash) return a.hash < b.hash;
    if (a.block != b.block) return a.block < b.block;
    return a.position < b.position;
}

void pa_refresh_state(int32_t index) {
    BlockState& state = states[index];
    PaBlock* block = state.block;
    state.records.clear();
    state.prefix_hash.assign(1, 0);
    state.prefix_negative.assign(1, 0);
    state.prefix_words.assign(1, 0);
    PaInstruction* record = block->first;
    for (int32_t i = 0; i < block->count && record != nullptr; ++i, record = record->next) {
        record_place[record] = {index, i};
        state.records.push_back(record);
        state.prefix_hash.push_back(state.prefix_hash.back() * HASH_BASE + pa_mix_id(record->class_id));
        state.prefix_negative.push_back(state.prefix_negative.back() + (record->class_id < 0 ? 1 : 0));
        state.prefix_words.push_back(state.prefix_words.back() + record->size);
    }
    state_counts[index] = static_cast<int32_t>(state.records.size());
}

int32_t pa_add_state(PaBlock* block) {
    const auto index = static_cast<int32_t>(states.size());
    states.push_back(BlockState{});
    states.back().block = block;
    state_counts.push_back(0);
    state_searched.push_back(block->level < nesting_limit ? 1 : 0);
    state_of_block[block] = index;
    pa_refresh_state(index);
    return index;
}

uint64_t pa_power(int32_t length) {
    uint64_t power = 1;
    for (int32_t i = 0; i < length; ++i) power *= HASH_BASE;
    return power;
}

uint64_t pa_window_hash(const BlockState& state, int32_t position) {
    return state.prefix_hash[position + indexed_length] - state.prefix_hash[position] * length_power;
}

bool pa_window_has_negative(const BlockState& state, int32_t position, int32_t length) {
    return state.prefix_negative[position + length] != state.prefix_negative[position];
}

void pa_index_windows(int32_t index, std::vector<WindowEntry>* into_sorted) {
    const BlockState& state = states[index];
    if (state.block->level >= nesting_limit) return;  // neither searched nor searched in
    const auto count = static_cast<int32_t>(state.records.size());
    for (int32_t p = 0; p + indexed_length <= count; ++p) {
        if (pa_window_has_negative(state, p, indexed_length)) continue;
        WindowEntry entry{state.block->section, pa_window_hash(state, p), index, p, state.records[p]};
        if (into_sorted != nullptr)
            into_sorted->push_back(entry);
        else
            late_windows[entry.hash].push_back(entry);
    }
}

void pa_index_length(int32_t length) {
    indexed_length = length;
    length_power = pa_power(length);
    window_index.clear();
    late_windows.clear();
    for (int32_t i = 0; i < static_cast<int32_t>(states.size()); ++i) pa_index_windows(i, &window_index);
    std::sort(window_index.begin(), window_index.end(), pa_entry_before);
}

// Whether any two windows of `length` among the searched blocks of one
// section may be equal (equal hashes). Holds for every shorter length when
// it holds for one, since the prefixes of equal windows are equal.
bool pa_some_window_repeats(int32_t length) {
    const uint64_t power = pa_power(length);
    std::vector<std::pair<uintptr_t, uint64_t>> keys;
    for (int32_t i = 0; i < static_cast<int32_t>(states.size()); ++i) {
        const BlockState& state = states[i];
        if (state_searched[i] == 0) continue;
        const auto section = reinterpret_cast<uintptr_t>(state.block->section);
        for (int32_t p = 0; p + length <= state_counts[i]; ++p) {
            if (pa_window_has_negative(state, p, length)) continue;
            keys.emplace_back(section, state.prefix_hash[p + length] - state.prefix_hash[p] * power);
        }
    }
    std::sort(keys.begin(), keys.end());
    return std::adjacent_find(keys.begin(), keys.end()) != keys.end();
}

// The longest length up to `bound` at which some window may repeat: the
// lengths above it cannot be accepted, so the search starts there. A long
// block with no long repeat then costs a few sorts instead of one index
// per length.
int32_t pa_longest_repeat(int32_t bound) {
    int32_t low = 0;
    int32_t high = bound;
    while (low < high) {
        const int32_t middle = low + (high - low + 1) / 2;
        if (pa_some_window_repeats(middle))
            low = middle;
        else
            high = middle - 1;
    }
    return low;
}

void pa_search_begin() {
    states.clear();
    state_counts.clear();
    state_searched.clear();
    state_of_block.clear();
    record_place.clear();
    for (PaBlock* block = basic_block_list.head; block != nullptr; block = block->next) pa_add_state(block);
}

void pa_search_end() {
    states = {};
    state_counts = {};
    state_searched = {};
    state_of_block = {};
    record_place = {};
    window_index = {};
    late_windows = {};
}

// ---- Labels ----------------------------------------------------------------

// The first failing label of the window rule over [a, b] (index into the
// label list), or -1.
int32_t pa_first_window_conflict(int32_t a, int32_t b) {
    const auto& definition = labels.definition;
    const auto lo = static_cast<int32_t>(std::lower_bound(definition.begin(), definition.end(), a) - definition.begin());
    const auto hi = static_cast<int32_t>(std::upper_bound(definition.begin(), definition.end(), b) - definition.begin());
    int32_t best = INT_MAX;
    // Labels outside the range referenced from inside it.
    auto ref = std::lower_bound(labels.all_refs.begin(), labels.all_refs.end(), std::make_pair(a, INT_MIN));
    for (; ref != labels.all_refs.end() && ref->first <= b; ++ref) {
        if ((ref->second < lo || ref->second >= hi) && ref->second < best) best = ref->second;
    }
    // Labels inside it referenced from outside; the first one is enough.
    for (int32_t label = lo; label < hi && label < best; ++label) {
        const int32_t begin = labels.refs_begin[label];
        const int32_t end = labels.refs_begin[label + 1];
        if (begin == end) continue;
        if (labels.ref_line[begin] < a || labels.ref_line[end - 1] > b) {
            best = label;
            break;
        }
    }
    return best == INT_MAX ? -1 : best;
}

// Of a label's references, the line of the first in its list that lies
// inside [a, b] (inside = true) or outside it.
int32_t pa_first_reference(int32_t label, int32_t a, int32_t b, bool inside) {
    const int32_t begin = labels.refs_begin[label];
    const int32_t end = labels.refs_begin[label + 1];
    const auto first = labels.ref_line.begin() + begin;
    const auto last = labels.ref_line.begin() + end;
    const auto in_begin = static_cast<int32_t>(std::lower_bound(first, last, a) - labels.ref_line.begin());
    const auto in_end = static_cast<int32_t>(std::upper_bound(first, last, b) - labels.ref_line.begin());
    int32_t best = -1;
    auto consider = [&](int32_t i) {
        if (best < 0 || labels.ref_order[i] < labels.ref_order[best]) best = i;
    };
    if (inside) {
        for (int32_t i = in_begin; i < in_end; ++i) consider(i);
    } else {
        // Least list order below a (prefix minimum) and above b (suffix
        // minimum); each array holds the index of its minimum.
        if (in_begin > begin) consider(labels.prefix_first[in_begin - 1]);
        if (in_end < end) consider(labels.suffix_first[in_end]);
    }
    return best < 0 ? 0 : labels.ref_line[best];
}

bool pa_window_labels_pass(int32_t a, int32_t b, PaLabelConflict* conflict) {
    const int32_t label = pa_first_window_conflict(a, b);
    if (label < 0) return true;
    const int32_t line = labels.definition[label];
    if (line >= a && line <= b)
        *conflict = PaLabelConflict{line, pa_first_reference(label, a, b, false), 0, 0};
    else
        *conflict = PaLabelConflict{0, 0, line, pa_first_reference(label, a, b, true)};
    return false;
}

bool pa_occurrence_labels_pass(int32_t a, int32_t b) {
    const auto& definition = labels.definition;
    auto label = static_cast<int32_t>(std::lower_bound(definition.begin(), definition.end(), a) - definition.begin());
    for (; label < static_cast<int32_t>(definition.size()) && definition[label] <= b; ++label) {
        const int32_t begin = labels.refs_begin[label];
        const int32_t end = labels.refs_begin[label + 1];
        if (begin != end && (labels.ref_line[begin] < a || labels.ref_line[end - 1] > b)) return false;
    }
    return true;
}

// ---- Occurrences -----------------------------------------------------------

PaOccurrenceList* pa_append_occurrence(PaOccurrenceList* list, PaBlock* window_block, PaInstruction* window_first,
                                       PaBlock* block, PaInstruction* first, int32_t length) {
    auto make = [length](PaBlock* in, PaInstruction* at) {
        auto* occurrence = static_cast<PaOccurrence*>(pool_zalloc(sizeof(PaOccurrence), POOL_RUN));
        occurrence->first = at;
        occurrence->block = in;
        occurrence->length = length;
        return occurrence;
    };
    if (list == nullptr) {
        list = static_cast<PaOccurrenceList*>(pool_zalloc(sizeof(PaOccurrenceList), POOL_RUN));
        list->head = list->tail = make(window_block, window_first);
        list->count = 1;
    }
    PaOccurrence* occurrence = make(block, first);
    list->tail->next = occurrence;
    list->tail = occurrence;
    ++list->count;
    return list;
}

bool pa_same_ids(const BlockState& a, int32_t pa, const BlockState& b, int32_t pb, int32_t length) {
    for (int32_t i = 0; i < length; ++i) {
        if (a.records[pa + i]->class_id != b.records[pb + i]->class_id) return false;
    }
    return true;
}

// Every repeat of the window at `position` of `window_state`, in the search's
// order: later in its own block, then in later blocks of its section.
PaOccurrenceList* pa_find_repeats(int32_t window_state, int32_t position, int32_t length, bool opened) {
    const BlockState& window = states[window_state];
    if (pa_window_has_negative(window, position, length)) return nullptr;  // negative ids are unique
    const uint64_t hash = pa_window_hash(window, position);
    const Section* section = window.block->section;
    PaOccurrenceList* list = nullptr;
    int32_t last_block = -1;
    int32_t next_free = 0;

    auto consider = [&](const WindowEntry& entry) {
        if (entry.section != section || entry.hash != hash || entry.block < window_state) return;
        const BlockState& other = states[entry.block];
        if (opened && other.block->level >= 1) return;  // opened bodies only run at level 0
        auto place = record_place.find(entry.record);
        if (place == record_place.end() || place->second.first != entry.block) return;
        const int32_t at = place->second.second;
        if (at >= static_cast<int32_t>(other.records.size()) || other.records[at] != entry.record) return;
        if (entry.block == window_state && at < position + length) return;
        if (at + length > static_cast<int32_t>(other.records.size())) return;
        if (entry.block == last_block && at < next_free) return;  // overlaps the previous one
        if (pa_window_has_negative(other, at, length) || pa_window_hash(other, at) != hash) return;
        if (!pa_same_ids(window, position, other, at, length)) return;
        if (!pa_occurrence_labels_pass(other.records[at]->first_line, other.records[at + length - 1]->last_line))
            return;
        list = pa_append_occurrence(list, window.block, window.records[position], other.block, entry.record, length);
        last_block = entry.block;
        next_free = at + length;
    };

    const WindowEntry key{section, hash, window_state, 0, nullptr};
    for (auto entry = std::lower_bound(window_index.begin(), window_index.end(), key, pa_entry_before);
         entry != window_index.end() && entry->section == section && entry->hash == hash; ++entry)
        consider(*entry);
    if (auto late = late_windows.find(hash); late != late_windows.end()) {
        for (const WindowEntry& entry : late->second) consider(entry);
    }
    return list;
}

// Program words of a call in `section`: the long form beyond 0x7FFF elements.
int32_t pa_call_words(const Section* section) { return section != nullptr && section->size > 0x7FFF ? 2 : 1; }

int32_t pa_window_words(const PaOccurrenceList* list) {
    int32_t words = 0;
    const PaInstruction* record = list->head->first;
    for (int32_t i = 0; i < list->head->length && record != nullptr; ++i, record = record->next) words += record->size;
    return words;
}

// A skip or REPEAT fused with an unconditional transfer: as the end of a
// closed body its transfer would leave the body without returning.
bool pa_is_conditional_transfer_pair(const PaInstruction* record) {
    return record->follower != nullptr && pa_word_is_unconditional_transfer(record->follower->word);
}

void pa_accept(PaBlock* block, PaOccurrenceList* list) {
    PaBlock* aggregation = pa_new_block(basic_block_list, block->section);
    PaCallSite* sites = pa_replace_occurrences(list, aggregation);
    pa_make_aggregation(list, aggregation, sites);
    for (int32_t i = 0; i < list->count; ++i) {
        if (i == 0 || sites[i].block != sites[i - 1].block) pa_refresh_state(state_of_block.at(sites[i].block));
    }
    const int32_t index = pa_add_state(aggregation);
    pa_index_windows(index, nullptr);
}

// Slides the window of `length` at `position` in `state` until `done` holds
// or it no longer fits; at least one step.
template <class Done>
int32_t pa_slide(const BlockState& state, int32_t position, int32_t length, Done done) {
    const auto count = static_cast<int32_t>(state.records.size());
    do {
        ++position;
    } while (position + length <= count && !done(state.records[position], state.records[position + length - 1]));
    return position;
}

int32_t pa_slide_after_conflict(const BlockState& state, int32_t position, int32_t length,
                                const PaLabelConflict& conflict) {
    const PaBlock* block = state.block;
    const int32_t window_line = state.records[position]->first_line;
    auto outside_block = [&](int32_t line) { return line < block->first_line || line > block->last_line; };
    if (conflict.inside_label != 0) {
        const int32_t label = conflict.inside_label;
        const int32_t reference = conflict.outside_reference;
        if (outside_block(reference) || reference < window_line)
            return pa_slide(state, position, length, [&](auto* w, auto*) { return w->first_line > label; });
        return pa_slide(state, position, length,
                        [&](auto* w, auto* e) { return w->first_line > label || e->first_line >= reference; });
    }
    const int32_t label = conflict.outside_label;
    const int32_t reference = conflict.inside_reference;
    if (outside_block(label) || label < window_line)
        return pa_slide(state, position, length, [&](auto* w, auto*) { return w->first_line > reference; });
    return pa_slide(state, position, length,
                    [&](auto* w, auto* e) { return w->first_line > reference || e->first_line >= label; });
}

// The longest window that can still repeat: one block holds it twice, or
// two blocks hold it once each.
struct LengthBound {
    int32_t largest = 0;
    int32_t second = 0;
    void add(int32_t count) {
        if (count > largest) {
            second = largest;
            largest = count;
        } else if (count > second) {
            second = count;
        }
    }
    int32_t bound() const { return std::max(largest / 2, second); }
};

// pa_window_length_bound over the states' counts.
int32_t pa_state_length_bound() {
    LengthBound bound;
    for (int32_t count : state_counts) bound.add(count);
    return bound.bound();
}

void pa_index_aggregations() {
    aggregation_by_id.clear();
    for (const PaBlockList* list : {&closed_aggregation_list, &opened_aggregation_list}) {
        for (PaBlock* block = list->head; block != nullptr; block = block->next) {
            if (block->id >= aggregation_by_id.size()) aggregation_by_id.resize(block->id + 1, FiledAggregation{});
            // The closed list is searched first: its blocks win.
            if (aggregation_by_id[block->id].block == nullptr)
                aggregation_by_id[block->id] = FiledAggregation{block, list == &closed_aggregation_list};
        }
    }
    indexed_heads[0] = closed_aggregation_list.head;
    indexed_heads[1] = opened_aggregation_list.head;
    indexed_counts[0] = closed_aggregation_list.count;
    indexed_counts[1] = opened_aggregation_list.count;
}

// A search files new lists, possibly at the addresses and with the counts of
// an earlier run's in this process: the index is made again.
void pa_forget_aggregation_index() {
    aggregation_by_id.clear();
    indexed_heads[0] = indexed_heads[1] = nullptr;
    indexed_counts[0] = indexed_counts[1] = -1;
}

FiledAggregation pa_lookup_aggregation(uint32_t id) {
    if (indexed_heads[0] != closed_aggregation_list.head || indexed_heads[1] != opened_aggregation_list.head ||
        indexed_counts[0] != closed_aggregation_list.count || indexed_counts[1] != opened_aggregation_list.count)
        pa_index_aggregations();
    FiledAggregation found = id < aggregation_by_id.size() ? aggregation_by_id[id] : FiledAggregation{};
    if (found.block == nullptr || found.block->id == id) return found;
    // The lists were rebuilt in place since (same heads and counts): look again.
    pa_index_aggregations();
    return id < aggregation_by_id.size() ? aggregation_by_id[id] : FiledAggregation{};
}

}  // namespace

void pa_index_labels() {
    labels = LabelIndex{};
    const uint32_t count = sorted_symbols[LIST_BY_LINE] != nullptr ? sorted_symbol_counts[LIST_BY_LINE] : 0;
    labels.refs_begin.push_back(0);
    for (uint32_t i = 0; i < count; ++i) {
        const Symbol* symbol = sorted_symbols[LIST_BY_LINE][i];
        const auto label = static_cast<int32_t>(labels.definition.size());
        labels.definition.push_back(symbol->def_line);
        const auto begin = static_cast<int32_t>(labels.ref_line.size());
        std::vector<std::pair<int32_t, int32_t>> refs;
        int32_t order = 0;
        for (const SymbolRefLine* ref = symbol->ref_lines; ref != nullptr; ref = ref->next) refs.emplace_back(ref->line, order++);
        std::sort(refs.begin(), refs.end());
        for (const auto& [line, place] : refs) {
            labels.ref_line.push_back(line);
            labels.ref_order.push_back(place);
            labels.all_refs.emplace_back(line, label);
        }
        const auto end = static_cast<int32_t>(labels.ref_line.size());
        labels.prefix_first.resize(end);
        labels.suffix_first.resize(end);
        for (int32_t k = begin; k < end; ++k) {
            const bool better = k == begin || labels.ref_order[k] < labels.ref_order[labels.prefix_first[k - 1]];
            labels.prefix_first[k] = better ? k : labels.prefix_first[k - 1];
        }
        for (int32_t k = end - 1; k >= begin; --k) {
            const bool better = k == end - 1 || labels.ref_order[k] < labels.ref_order[labels.suffix_first[k + 1]];
            labels.suffix_first[k] = better ? k : labels.suffix_first[k + 1];
        }
        labels.refs_begin.push_back(end);
    }
    std::sort(labels.all_refs.begin(), labels.all_refs.end());
}

namespace {

// The last line of the `length` records from `first` (the list's end when
// it is shorter).
int32_t pa_range_end(const PaInstruction* first, int32_t length) {
    const PaInstruction* last = first;
    for (int32_t i = 1; i < length && last->next != nullptr; ++i) last = last->next;
    return last->last_line;
}

}  // namespace

bool pa_check_window_labels(const PaInstruction* first, int32_t length, PaLabelConflict* conflict) {
    return pa_window_labels_pass(first->first_line, pa_range_end(first, length), conflict);
}

bool pa_check_occurrence_labels(const PaInstruction* first, int32_t length) {
    return pa_occurrence_labels_pass(first->first_line, pa_range_end(first, length));
}

PaInstruction* pa_nth_instruction(PaInstruction* record, int32_t n) {
    for (int32_t i = 0; i < n && record != nullptr; ++i) record = record->next;
    return record;
}

bool pa_is_profitable(const PaOccurrenceList* list, int32_t length) {
    if (list == nullptr || list->count < 2) return false;
    const int32_t n = list->count;
    const int32_t s = pa_window_words(list);
    const int32_t c = pa_call_words(list->head->block->section);
    const PaInstruction* last = pa_nth_instruction(list->head->first, length - 1);
    if (last == nullptr) return false;
    if (pa_is_unconditional_transfer(last)) return (n - 1) * (s - c) > 0;
    const uint32_t opcode = last->encoding.word & 0xFF0000u;
    const int32_t r = opcode == 0x020000u || opcode == 0x070000u ? 0 : 1;  // CALL, RCALL become the jump out
    return n * s - (s + n * c + r) > 0;
}

int32_t pa_window_length_bound() {
    LengthBound bound;
    for (const PaBlock* block = basic_block_list.head; block != nullptr; block = block->next) bound.add(block->count);
    return bound.bound();
}

int32_t pa_try_window(PaBlock* block, int32_t position, int32_t length) {
    if (length != indexed_length) pa_index_length(length);
    const int32_t index = state_of_block.count(block) != 0 ? state_of_block.at(block) : pa_add_state(block);
    while (position + length <= block->count) {
        const BlockState& state = states[index];
        PaInstruction* first = state.records[position];
        PaInstruction* last = state.records[position + length - 1];
        const bool opened = pa_is_unconditional_transfer(last);
        // A window never starts with a call or an unrelocatable move; a
        // one-record window must be two words; a window that would become
        // an opened body is not taken from code that is itself called; a
        // skip fused with a transfer never ends a closed body.
        if (first->class_id < 0 || (length == 1 && first->size <= 1) || (opened && block->level >= 1) ||
            pa_is_conditional_transfer_pair(last)) {
            ++position;
            continue;
        }
        PaLabelConflict conflict{};
        if (!pa_window_labels_pass(first->first_line, last->last_line, &conflict)) {
            position = pa_slide_after_conflict(state, position, length, conflict);
            continue;
        }
        // A window no larger than a call never pays, however often it
        // occurs: its repeats need not be looked for.
        const int32_t words = state.prefix_words[position + length] - state.prefix_words[position];
        if (words <= pa_call_words(block->section)) {
            ++position;
            continue;
        }
        PaOccurrenceList* list = pa_find_repeats(index, position, length, opened);
        if (list != nullptr && pa_is_profitable(list, length)) {
            pa_accept(block, list);
            return position + 1;
        }
        ++position;
    }
    return position;
}

PaBlock* pa_find_closed_aggregation(uint32_t id) {
    const FiledAggregation found = pa_lookup_aggregation(id);
    return found.closed ? found.block : nullptr;
}

PaBlock* pa_find_opened_aggregation(uint32_t id) {
    const FiledAggregation found = pa_lookup_aggregation(id);
    return found.closed ? nullptr : found.block;
}

PaBlock* pa_find_aggregation(uint32_t id) { return pa_lookup_aggregation(id).block; }

void pa_search_blocks() {
    basic_block_list.next_id = 0;
    pa_keep_move_index();
    pa_forget_aggregation_index();
    pa_index_labels();
    pa_search_begin();
    indexed_length = 0;
    // The states are the blocks in list order, and bodies made during the
    // loop are appended to both: walking the states is walking the list.
    int32_t length = pa_longest_repeat(pa_state_length_bound());
    while (length > 0) {
        pa_index_length(length);
        for (size_t i = 0; i < states.size(); ++i) {
            if (state_searched[i] == 0 || state_counts[i] < length) continue;
            PaBlock* block = states[i].block;
            int32_t position = 0;
            while (position + length <= block->count) position = pa_try_window(block, position, length);
        }
        length = std::min(length - 1, pa_state_length_bound());
    }
    pa_search_end();
    pa_forget_move_index();
    indexed_length = 0;
}

void pa_optimize() {
    const bool dump = (option_flags & OPT_DEBUG_LISTING) != 0 && (option_flags & OPT_LISTING) != 0;
    if (dump) lst_dump_blocks(basic_block_list, "Basic Blocks: Pre-Pruning");
    pa_prepare_blocks();
    if (dump) lst_dump_blocks(basic_block_list, "Basic Blocks: Pre-Optimization");
    pa_search_blocks();
    pa_collect_aggregations();
    pa_compute_total_sizes();
    if (dump) {
        lst_dump_blocks(basic_block_list, "Basic Blocks: Post-Optimization");
        lst_dump_blocks(closed_aggregation_list, "Basic Blocks: Closed Aggregations");
        lst_dump_blocks(opened_aggregation_list, "Basic Blocks: Opened Aggregations");
    }
}
