// What the encoder tests look at after a whole source has been assembled:
// the scheduler's records (with -s) and the abstraction's blocks, and the
// resource bits they are checked against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "asm_support.h"
#include "paasmis.h"
#include "paasmpa.h"
#include "paasmquodra.h"

// Short names for the resource bits, so that tables of pairs read like the
// pairs: S status register, M data memory, A and B accumulators, w(n) Wn.
constexpr uint32_t S = RES_STATUS;
constexpr uint32_t M = RES_DATA_MEMORY;
constexpr uint32_t A = RES_ACCUMULATOR_A;
constexpr uint32_t B = RES_ACCUMULATOR_B;
constexpr uint32_t w(int n) { return 1u << n; }

// One form and the two resource pairs it must hand to the scheduler.
struct ResourceCase {
    const char* line;
    uint32_t arch_defs;
    uint32_t arch_uses;
    uint32_t hazard_defs;
    uint32_t hazard_uses;
};

// The scheduler's records of the first block, in order, without the branch
// that ends it.
inline std::vector<const SchedInstruction*> first_block_records() {
    std::vector<const SchedInstruction*> records;
    if (schedule_block_list == nullptr) return records;
    for (const SchedInstruction* i = schedule_block_list->first; i != nullptr; i = i->next) records.push_back(i);
    return records;
}

// The abstraction's blocks as the instruction words of their records
// (label markers left out); run with -b so that no optimiser reshapes them.
inline std::vector<std::vector<uint32_t>> recorded_block_words() {
    std::vector<std::vector<uint32_t>> blocks;
    for (const PaBlock* b = basic_block_list.head; b != nullptr; b = b->next) {
        std::vector<uint32_t> words;
        for (const PaInstruction* i = b->first; i != nullptr; i = i->next)
            if (i->size != 0) words.push_back(i->encoding.word);
        blocks.push_back(words);
    }
    return blocks;
}

// Every instruction the abstraction recorded, over all blocks.
inline std::vector<const PaInstruction*> recorded_instructions() {
    std::vector<const PaInstruction*> records;
    for (const PaBlock* b = basic_block_list.head; b != nullptr; b = b->next)
        for (const PaInstruction* i = b->first; i != nullptr; i = i->next)
            if (i->size != 0) records.push_back(i);
    return records;
}

