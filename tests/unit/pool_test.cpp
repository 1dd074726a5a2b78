// Pools: rounding, chunk sizes, release and reuse order.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "paasmdriver.h"
#include "paasmpool.h"

namespace {

uintptr_t address(void* p) { return reinterpret_cast<uintptr_t>(p); }

// Where the pools poison what they have not handed out, every allocation
// is followed by a poisoned gap; the distances below count it.
constexpr uintptr_t gap = POOL_REDZONE;

TEST(Pool, SmallRequestsAreRoundedToEightBytes) {
    std::vector<uintptr_t> got;
    for (int i = 0; i < 8; ++i) got.push_back(address(pool_alloc(1, POOL_RUN)));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(got[i] % 8, 0u);
    for (int i = 1; i < 8; ++i) EXPECT_EQ(got[i] - got[i - 1], 8u + gap);
    uintptr_t a = address(pool_alloc(8, POOL_RUN));
    uintptr_t b = address(pool_alloc(9, POOL_RUN));
    uintptr_t c = address(pool_alloc(1, POOL_RUN));
    EXPECT_EQ(b - a, 8u + gap);   // a multiple of 8 is not raised
    EXPECT_EQ(c - b, 16u + gap);  // 9 becomes 16
}

TEST(Pool, NewChunkHasTheRequestPlusThirtyTwoKilobytes) {
    pool_alloc(40000, POOL_PASS);
    EXPECT_EQ(pool_current_free(POOL_PASS), 32768u);
    // A request that does not fit moves on to a fresh chunk sized for it.
    pool_alloc(32769, POOL_PASS);
    EXPECT_EQ(pool_current_free(POOL_PASS), 32768u);
}

TEST(Pool, ZeroByteRequestReservesNothing) {
    uintptr_t a = address(pool_alloc(8, POOL_SCRATCH));
    pool_alloc(0, POOL_SCRATCH);
    uintptr_t b = address(pool_alloc(8, POOL_SCRATCH));
    EXPECT_EQ(b - a, 8u + gap);
}

TEST(Pool, ZeroByteRequestFromAPoolWithNothingInItIsStillAnAddress) {
    for (int pool : {POOL_RUN, POOL_PASS, POOL_SCRATCH}) {
        pool_release(pool);  // back to the empty head, whatever came before
        EXPECT_NE(pool_alloc(0, pool), nullptr) << pool;
        EXPECT_NE(pool_zalloc(0, pool), nullptr) << pool;
        EXPECT_NE(pool_alloc_array(0, 16, pool), nullptr) << pool;
        EXPECT_EQ(pool_current_free(pool), 0u) << pool;  // and it took no chunk
    }
}

TEST(Pool, ZallocClearsTheBytes) {
    auto* dirty = static_cast<unsigned char*>(pool_alloc(64, POOL_SCRATCH));
    for (int i = 0; i < 64; ++i) dirty[i] = 0xAB;
    pool_release(POOL_SCRATCH);
    auto* clean = static_cast<unsigned char*>(pool_zalloc(64, POOL_SCRATCH));
    ASSERT_EQ(clean, dirty);  // the released chunk is reused
    for (int i = 0; i < 64; ++i) EXPECT_EQ(clean[i], 0);
}

TEST(Pool, ReleasedChunksAreReusedInTheirFormerOrder) {
    // Three chunks of the scratch pool, each filled by one large request.
    std::vector<void*> first;
    for (int i = 0; i < 3; ++i) first.push_back(pool_alloc(60000, POOL_SCRATCH));
    pool_release(POOL_SCRATCH);
    std::vector<void*> second;
    for (int i = 0; i < 3; ++i) second.push_back(pool_alloc(60000, POOL_SCRATCH));
    EXPECT_EQ(first, second);
    // Another pool takes released chunks too, before asking the system.
    pool_release(POOL_SCRATCH);
    EXPECT_EQ(pool_alloc(100, POOL_PASS), first[0]);
}

TEST(Pool, TooSmallFreeChunkStaysEmptyAndTheNextIsTaken) {
    void* small_chunk = pool_alloc(100, POOL_SCRATCH);      // chunk of 32768 + 104
    void* large_chunk = pool_alloc(100000, POOL_SCRATCH);   // chunk of 32768 + 100000
    pool_release(POOL_SCRATCH);
    // 40000 bytes do not fit the first free chunk: it is skipped, the second serves.
    EXPECT_EQ(pool_alloc(40000, POOL_SCRATCH), large_chunk);
    EXPECT_NE(large_chunk, small_chunk);
}

TEST(Pool, ReleasingTwiceOrAnUnusedPoolChangesNothing) {
    void* a = pool_alloc(16, POOL_SCRATCH);
    pool_release(POOL_SCRATCH);
    pool_release(POOL_SCRATCH);
    pool_release(POOL_PASS);  // never allocated from
    EXPECT_EQ(pool_alloc(16, POOL_SCRATCH), a);
    void* b = pool_alloc(16, POOL_PASS);  // next chunk from the system
    EXPECT_NE(b, a);
}

TEST(Pool, SizeOverflowIsOutOfMemory) {
    testing::internal::CaptureStderr();
    try {
        pool_alloc_array(SIZE_MAX / 2, 4, POOL_SCRATCH);
        FAIL() << "no fatal error";
    } catch (const AsmTrap& trap) {
        EXPECT_EQ(trap.status, 15);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "PA-F0002 Fatal: Out of memory (allocate)\n");
    testing::internal::CaptureStderr();
    EXPECT_THROW(pool_alloc(SIZE_MAX - 3, POOL_SCRATCH), AsmTrap);
    EXPECT_THROW(pool_alloc(SIZE_MAX - 32790, POOL_SCRATCH), AsmTrap);  // chunk size would wrap
    testing::internal::GetCapturedStderr();
}

// A write or read outside what a pool handed out, though inside one of its
// chunks, ends the run with the sanitizer's report where the pools poison.
struct StrayAccess {
    const char* what;
    void (*access)();
};

const StrayAccess stray_accesses[] = {
    {"write just past an allocation",
     [] {
         auto* bytes = static_cast<volatile unsigned char*>(pool_alloc(8, POOL_SCRATCH));
         pool_alloc(8, POOL_SCRATCH);  // the chunk goes on behind the gap
         bytes[8] = 1;
     }},
    {"read in the free part of the chunk",
     [] {
         auto* bytes = static_cast<volatile unsigned char*>(pool_alloc(8, POOL_SCRATCH));
         (void)bytes[100];
     }},
    {"read after the pool is released",
     [] {
         auto* bytes = static_cast<volatile unsigned char*>(pool_zalloc(8, POOL_SCRATCH));
         pool_release(POOL_SCRATCH);
         (void)bytes[0];
     }},
};

TEST(PoolDeathTest, StrayAccessInsideAChunkIsReported) {
    if (POOL_REDZONE == 0) GTEST_SKIP() << "the pools do not poison in this build";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const StrayAccess& stray : stray_accesses)
        EXPECT_DEATH(stray.access(), "AddressSanitizer: use-after-poison") << stray.what;
}

TEST(PoolDeathTest, AccessInsideAnAllocationIsNotReported) {
    if (POOL_REDZONE == 0) GTEST_SKIP() << "the pools do not poison in this build";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The same program, within bounds, runs to its end.
    EXPECT_EXIT(
        {
            auto* bytes = static_cast<volatile unsigned char*>(pool_alloc(5, POOL_SCRATCH));
            pool_alloc(8, POOL_SCRATCH);
            for (int i = 0; i < 5; ++i) bytes[i] = static_cast<unsigned char>(i);
            pool_release(POOL_SCRATCH);
            auto* again = static_cast<volatile unsigned char*>(pool_zalloc(5, POOL_SCRATCH));
            std::exit(again[4] == 0 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
