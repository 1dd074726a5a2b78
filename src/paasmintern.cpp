// Interning: a hash table of chains over texts kept in POOL_RUN. The
// table starts at 1024 chains and doubles as it fills, so a lookup costs
// the same with ten names as with a million.
#include "paasmintern.h"

#include <cstring>
#include <vector>

#include "paasmpool.h"

uint32_t intern_byte_table[256];

namespace {

std::vector<InternEntry*> intern_buckets;  // a power of two of chain heads
uint32_t intern_entry_count = 0;
char* intern_pool_next = nullptr;
char* intern_pool_end = nullptr;
constexpr size_t intern_block_spare = 4096;
std::vector<const char*> intern_index_table;  // text of each index

// The table's hash: every byte of the text counts (the weighted byte hash
// forgets all but the last 32 bytes), eight bytes a step.
uint32_t intern_table_hash(const char* text, uint32_t length) {
    constexpr uint64_t multiplier = 0x9E3779B97F4A7C15ull;
    uint64_t h = length * multiplier;
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
    return static_cast<uint32_t>(h >> 32);
}

size_t intern_bucket_of(uint32_t hash) { return hash & (intern_buckets.size() - 1); }

// Doubles the chain heads and relinks every entry; the order within a
// chain is of no consequence, since a chain holds each text once.
void intern_grow() {
    std::vector<InternEntry*> old(intern_buckets.size() * 2, nullptr);
    old.swap(intern_buckets);
    for (InternEntry* chain : old) {
        while (chain != nullptr) {
            InternEntry* next = chain->next;
            InternEntry*& bucket = intern_buckets[intern_bucket_of(chain->hash)];
            chain->next = bucket;
            bucket = chain;
            chain = next;
        }
    }
}

}  // namespace

void intern_init() {
    uint32_t weight = 31415;
    for (auto& entry : intern_byte_table) {
        entry = weight;
        weight = weight * 1909u + 221571u;
    }
    intern_buckets.assign(INTERN_BUCKETS, nullptr);
    intern_entry_count = 0;
    intern_pool_next = intern_pool_end = nullptr;
    intern_index_table.clear();
}

uint32_t intern_hash(const char* text, uint32_t length) {
    uint32_t h = 0;
    for (uint32_t i = 0; i < length; ++i)
        h = 2u * h + intern_byte_table[static_cast<unsigned char>(text[i])];
    return h;
}

namespace {

InternEntry* intern_entry(const char* text, uint32_t length) {
    if (intern_buckets.empty()) intern_buckets.assign(INTERN_BUCKETS, nullptr);
    uint32_t hash = intern_table_hash(text, length);
    for (InternEntry* entry = intern_buckets[intern_bucket_of(hash)]; entry != nullptr;
         entry = entry->next) {
        if (entry->hash == hash && entry->length == length &&
            std::memcmp(entry->text, text, length) == 0)
            return entry;
    }
    // Room for the text, its terminator and one byte to spare.
    if (intern_pool_next == nullptr ||
        static_cast<size_t>(intern_pool_end - intern_pool_next) <= size_t{length} + 1) {
        size_t block = size_t{length} + intern_block_spare;
        intern_pool_next = static_cast<char*>(pool_alloc(block, POOL_RUN));
        intern_pool_end = intern_pool_next + block;
    }
    char* copy = intern_pool_next;
    if (length != 0) std::memcpy(copy, text, length);
    copy[length] = '\0';
    intern_pool_next += size_t{length} + 1;

    auto* entry = static_cast<InternEntry*>(pool_zalloc(sizeof(InternEntry), POOL_RUN));
    entry->text = copy;
    entry->length = length;
    entry->hash = hash;
    entry->index = static_cast<uint32_t>(intern_index_table.size());
    intern_index_table.push_back(copy);
    if (++intern_entry_count > intern_buckets.size()) intern_grow();
    InternEntry*& bucket = intern_buckets[intern_bucket_of(hash)];
    entry->next = bucket;
    bucket = entry;
    return entry;
}

}  // namespace

const char* intern_bytes(const char* text, uint32_t length) { return intern_entry(text, length)->text; }

uint32_t intern_index_of(const char* text, uint32_t length) { return intern_entry(text, length)->index; }

const char* intern_text_at(uint32_t index) {
    return index < intern_index_table.size() ? intern_index_table[index] : nullptr;
}

const char* intern_string(const char* text) {
    return intern_bytes(text, static_cast<uint32_t>(std::strlen(text)));
}
