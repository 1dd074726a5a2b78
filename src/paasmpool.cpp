// Memory pools built of chunks; released chunks go to one free list that
// all pools share and are reused before the system is asked for more.
#include "paasmpool.h"

#include <cstdlib>
#include <cstring>

#include "paasmdiag.h"

// With ZORVEL_POOL_POISON (the sanitizer and fuzz builds, both with
// AddressSanitizer) the free part of every chunk is poisoned and each
// allocation is followed by a poisoned gap of POOL_REDZONE bytes, so that a
// read or write past the end of a pool allocation, or into a released
// pool, is reported like one past a heap block.
#ifdef ZORVEL_POOL_POISON
#include <sanitizer/asan_interface.h>
#define POOL_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define POOL_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define POOL_POISON(address, size) ((void)(address), (void)(size))
#define POOL_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace {

// The empty heads of the pool chains. Their data position is a real
// address with no room behind it, so that a request for 0 bytes from a
// pool that holds nothing yet still gets an address, never none.
alignas(8) uint8_t pool_anchor_data[8];
PoolChunk pool_anchor[POOL_COUNT] = {
    {nullptr, 0, pool_anchor_data, pool_anchor_data},
    {nullptr, 0, pool_anchor_data, pool_anchor_data},
    {nullptr, 0, pool_anchor_data, pool_anchor_data},
};
PoolChunk* pool_current[POOL_COUNT] = {&pool_anchor[0], &pool_anchor[1], &pool_anchor[2]};
PoolChunk* pool_free_list = nullptr;

uint8_t* chunk_data(PoolChunk* chunk) { return reinterpret_cast<uint8_t*>(chunk + 1); }

[[noreturn]] void pool_out_of_memory() { diag_fatal(2, "allocate"); }

PoolChunk* pool_new_chunk(size_t size) {
    if (size > SIZE_MAX - POOL_CHUNK_SPARE - sizeof(PoolChunk)) pool_out_of_memory();
    size_t data = POOL_CHUNK_SPARE + size;
    void* memory = std::malloc(sizeof(PoolChunk) + data);
    if (memory == nullptr) pool_out_of_memory();
    PoolChunk* chunk = static_cast<PoolChunk*>(memory);
    chunk->end = chunk_data(chunk) + data;
    return chunk;
}

}  // namespace

void* pool_alloc(size_t size, int pool) {
    PoolChunk* current = pool_current[pool];
    current->in_use |= 1;
    if (size > SIZE_MAX - 7 - POOL_REDZONE) pool_out_of_memory();
    const size_t asked = size;
    // A request for 0 bytes reserves nothing, not even a gap: nothing may
    // be stored at its address.
    size = size == 0 ? 0 : ((size + 7) & ~static_cast<size_t>(7)) + POOL_REDZONE;
    while (static_cast<size_t>(current->end - current->current) < size) {
        PoolChunk* chunk;
        if (pool_free_list != nullptr) {
            chunk = pool_free_list;
            pool_free_list = chunk->next;
        } else {
            chunk = pool_new_chunk(size);
        }
        current->next = chunk;
        chunk->current = chunk_data(chunk);
        POOL_POISON(chunk->current, static_cast<size_t>(chunk->end - chunk->current));
        chunk->next = nullptr;
        chunk->in_use = current->in_use;
        current = chunk;
        pool_current[pool] = chunk;
    }
    void* result = current->current;
    current->current += size;
    POOL_UNPOISON(result, asked);
    return result;
}

void* pool_zalloc(size_t size, int pool) {
    void* result = pool_alloc(size, pool);
    if (size != 0) std::memset(result, 0, size);
    return result;
}

void* pool_alloc_array(size_t count, size_t element_size, int pool) {
    if (element_size != 0 && count > SIZE_MAX / element_size) pool_out_of_memory();
    return pool_alloc(count * element_size, pool);
}

void pool_release(int pool) {
    PoolChunk* current = pool_current[pool];
    if ((current->in_use & 1) == 0) return;
    current->in_use = 0;
    PoolChunk* anchor = &pool_anchor[pool];
    PoolChunk* first = anchor->next;
#ifdef ZORVEL_POOL_POISON
    for (PoolChunk* chunk = first; chunk != nullptr && chunk != current->next; chunk = chunk->next)
        POOL_POISON(chunk_data(chunk), static_cast<size_t>(chunk->end - chunk_data(chunk)));
#endif
    if (first != nullptr) {
        current->next = pool_free_list;
        pool_free_list = first;
    }
    anchor->next = nullptr;
    anchor->in_use = 0;
    pool_current[pool] = anchor;
}

size_t pool_current_free(int pool) {
    const PoolChunk* current = pool_current[pool];
    return static_cast<size_t>(current->end - current->current);
}

void pool_reset() {
    for (int pool = 0; pool < POOL_COUNT; ++pool) pool_release(pool);
    while (pool_free_list != nullptr) {
        PoolChunk* chunk = pool_free_list;
        pool_free_list = chunk->next;
        POOL_UNPOISON(chunk_data(chunk), static_cast<size_t>(chunk->end - chunk_data(chunk)));
        std::free(chunk);
    }
}
