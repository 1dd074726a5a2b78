// Memory pools: every allocation of the program comes from one of three
// pools and is given back only by releasing the whole pool.
#pragma once

#include <cstddef>
#include <cstdint>

enum PoolIndex : int {
    POOL_RUN = 0,      // lives for the whole run
    POOL_PASS = 1,     // released once, when pass 2 is set up
    POOL_SCRATCH = 2,  // released after every source line and optimiser step
};

constexpr int POOL_COUNT = 3;
constexpr size_t POOL_CHUNK_SPARE = 32768;  // data bytes a new chunk has beyond the request

// The poisoned gap that follows every allocation when the pools poison the
// memory they have not handed out (ZORVEL_POOL_POISON); none otherwise.
#ifdef ZORVEL_POOL_POISON
constexpr size_t POOL_REDZONE = 16;
#else
constexpr size_t POOL_REDZONE = 0;
#endif

// The header of one block of pool memory; its data follows it directly.
struct alignas(8) PoolChunk {
    PoolChunk* next;   // next chunk of the pool, or of the free list
    uint8_t in_use;    // bit 0: allocated from since the last release
    uint8_t* end;      // one past the last data byte
    uint8_t* current;  // next free data byte
};

void* pool_alloc(size_t size, int pool);
void* pool_zalloc(size_t size, int pool);
void* pool_alloc_array(size_t count, size_t element_size, int pool);
void pool_release(int pool);
// Gives every chunk of every pool, and the free list, back to the system.
void pool_reset();

// Free data bytes left in the pool's current chunk (0 while it holds none).
size_t pool_current_free(int pool);

template <class T>
T* pool_new_array(size_t count, int pool) {
    return static_cast<T*>(pool_alloc_array(count, sizeof(T), pool));
}
