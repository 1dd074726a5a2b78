// Interning: a hash table of 1024 chains over texts kept in POOL_RUN.
#include "paasmintern.h"

#include <cstring>
#include <vector>

#include "paasmpool.h"

uint32_t intern_byte_table[256];

namespace {

InternEntry* intern_buckets[INTERN_BUCKETS];
char* intern_pool_next = nullptr;
char* intern_pool_end = nullptr;
constexpr size_t intern_block_spare = 4096;
std::vector<const char*> intern_index_table;  // text of each index


}  // namespace

void intern_init() {
    uint32_t weight = 31415;
    for (auto& entry : intern_byte_table) {
        entry = weight;
        weight = weight * 1909u + 221571u;
    }
    for (auto& bucket : intern_buckets) bucket = nullptr;
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
    InternEntry*& bucket = intern_buckets[intern_hash(text, length) & 0x3FF];
    for (InternEntry* entry = bucket; entry != nullptr; entry = entry->next) {
        if (entry->length == length && std::memcmp(entry->text, text, length) == 0)
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
    entry->next = bucket;
    entry->index = static_cast<uint32_t>(intern_index_table.size());
    intern_index_table.push_back(copy);
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
