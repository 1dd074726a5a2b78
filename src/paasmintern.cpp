// Interning: texts kept in POOL_RUN, found through an open-address table
// of (hash, index) slots. The table doubles whenever it is half full, so
// that a lookup costs the same with ten names as with a million, and a
// slot holds the hash itself: a text is only touched when its hash
// matches.
#include "paasmintern.h"

#include <cstring>
#include <vector>

#include "paasmpool.h"

namespace {

struct InternSlot {
    uint32_t hash;
    uint32_t index;  // INTERN_FREE when the slot is empty
};
constexpr uint32_t INTERN_FREE = ~uint32_t{0};

std::vector<InternSlot> intern_slots;       // a power of two of slots
std::vector<InternEntry> intern_entries;    // every text, by its index
char* intern_pool_next = nullptr;
char* intern_pool_end = nullptr;
constexpr size_t intern_block_spare = 4096;
uint32_t intern_generation_count = 0;

// The table's hash: every byte of the text counts, eight bytes a step. The
// last byte is added to the mixed hash of the others instead of mixed in,
// so that names that differ only there (L120, L121, ... as a compiler numbers its labels)
// take neighbouring slots: a run of new names then shares cache lines of the
// table instead of each costing a miss.
uint32_t intern_table_hash(const char* text, uint32_t length) {
    constexpr uint64_t multiplier = 0x9E3779B97F4A7C15ull;
    uint32_t last = 0;
    if (length != 0) last = static_cast<unsigned char>(text[--length]);
    uint64_t h = (length + 1) * multiplier;
    uint32_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        std::memcpy(&word, text + i, 8);
        h = (h ^ word) * multiplier;
        h ^= h >> 29;
    }
    uint64_t tail = 0;
    for (uint32_t k = 0; i + k < length; ++k)
        tail |= uint64_t{static_cast<unsigned char>(text[i + k])} << (8 * k);
    h = (h ^ tail) * multiplier;
    h ^= h >> 32;
    h *= multiplier;
    return static_cast<uint32_t>(h >> 32) + last;
}

void intern_place(InternSlot slot) {
    size_t mask = intern_slots.size() - 1;
    size_t at = slot.hash & mask;
    while (intern_slots[at].index != INTERN_FREE) at = (at + 1) & mask;
    intern_slots[at] = slot;
}

// Doubles the slots. The old slots are taken in their order, so that the
// new ones are written in nearly ascending order too (a hash's new slot is
// its old one or that plus the old size), not scattered.
void intern_grow() {
    std::vector<InternSlot> old(intern_slots.size() * 2, InternSlot{0, INTERN_FREE});
    old.swap(intern_slots);
    for (const InternSlot& slot : old) {
        if (slot.index != INTERN_FREE) intern_place(slot);
    }
}

}  // namespace

void intern_init() {
    ++intern_generation_count;
    intern_slots.assign(INTERN_BUCKETS, InternSlot{0, INTERN_FREE});
    intern_entries.clear();
    intern_pool_next = intern_pool_end = nullptr;
}

uint32_t intern_generation() { return intern_generation_count; }

namespace {

// The index of the text, interned first when it is new.
uint32_t intern_entry(const char* text, uint32_t length) {
    if (intern_slots.empty()) intern_slots.assign(INTERN_BUCKETS, InternSlot{0, INTERN_FREE});
    uint32_t hash = intern_table_hash(text, length);
    size_t mask = intern_slots.size() - 1;
    for (size_t at = hash & mask; intern_slots[at].index != INTERN_FREE; at = (at + 1) & mask) {
        if (intern_slots[at].hash != hash) continue;
        const InternEntry& entry = intern_entries[intern_slots[at].index];
        if (entry.length == length && std::memcmp(entry.text, text, length) == 0)
            return intern_slots[at].index;
    }
    // Room for the index, the text, its terminator and one byte to spare.
    const size_t stored = sizeof(uint32_t) + size_t{length} + 1;
    if (intern_pool_next == nullptr || static_cast<size_t>(intern_pool_end - intern_pool_next) <= stored) {
        size_t block = stored + intern_block_spare;
        intern_pool_next = static_cast<char*>(pool_alloc(block, POOL_RUN));
        intern_pool_end = intern_pool_next + block;
    }
    auto index = static_cast<uint32_t>(intern_entries.size());
    std::memcpy(intern_pool_next, &index, sizeof index);
    char* copy = intern_pool_next + sizeof index;
    if (length != 0) std::memcpy(copy, text, length);
    copy[length] = '\0';
    intern_pool_next += stored;

    intern_entries.push_back(InternEntry{copy, length, 0});
    if (intern_entries.size() * 2 > intern_slots.size()) intern_grow();
    intern_place(InternSlot{hash, index});
    return index;
}

}  // namespace

const char* intern_bytes(const char* text, uint32_t length) {
    return intern_entries[intern_entry(text, length)].text;
}

uint32_t intern_index_of(const char* text, uint32_t length) { return intern_entry(text, length); }

const char* intern_text_at(uint32_t index) {
    return index < intern_entries.size() ? intern_entries[index].text : nullptr;
}

uint32_t intern_tag_at(uint32_t index) { return index < intern_entries.size() ? intern_entries[index].tag : 0; }

void intern_set_tag(uint32_t index, uint32_t tag) {
    if (index < intern_entries.size()) intern_entries[index].tag = tag;
}

void intern_clear_tags() {
    for (InternEntry& entry : intern_entries) entry.tag = 0;
}

const char* intern_string(const char* text) {
    return intern_bytes(text, static_cast<uint32_t>(std::strlen(text)));
}
