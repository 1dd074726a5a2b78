// Block preparation: the recorded blocks become the search's input. Blocks
// too small to gain anything are dropped, every skip or REPEAT is welded to
// the instruction in its shadow so that no sequence splits the pair, every
// record gets a class id (equal ids for interchangeable instructions, so the
// search compares integers), and every instruction that occurs once in the
// whole program is cut out, since no repeated sequence can hold it. The
// W15-relative move tests and their re-encoding one call level deeper live
// here too, shared by the search, the aggregation builder and the writers.
#include <algorithm>
#include <tuple>
#include <vector>

#include "paasmdiag.h"
#include "paasmpa_opt.h"
#include "paasmpool.h"
#include "paasmsym.h"

int32_t last_class_id = 0;

namespace {

// Bits 23..19 of a move word: 18 loads from [Ws+Slit10], 19 stores to
// [Wd+Slit10]; the base register sits in bits 3..0 or 10..7.
constexpr uint32_t move_opcode(uint32_t word) { return (word >> 19) & 0x1Fu; }
constexpr uint32_t MOVE_LOAD_OFFSET = 18;
constexpr uint32_t MOVE_STORE_OFFSET = 19;
constexpr uint32_t move_load_base(uint32_t word) { return word & 0xFu; }
constexpr uint32_t move_store_base(uint32_t word) { return (word >> 7) & 0xFu; }
constexpr uint32_t STACK_POINTER = 15;
constexpr uint32_t MOVE_BYTE_MODE = 1u << 14;

// The 10-bit signed offset is spread over the word: field bits 9..6 in word
// bits 18..15, 5..3 in 13..11, 2..0 in 6..4.
constexpr uint32_t MOVE_OFFSET_MASK = (0xFu << 15) | (0x7u << 11) | (0x7u << 4);
constexpr int32_t move_offset_field(uint32_t word) {
    const uint32_t field = (((word >> 15) & 0xFu) << 6) | (((word >> 11) & 0x7u) << 3) | ((word >> 4) & 0x7u);
    return field > 511 ? static_cast<int32_t>(field) - 1024 : static_cast<int32_t>(field);
}
constexpr uint32_t move_with_offset_field(uint32_t word, int32_t field) {
    const uint32_t bits = static_cast<uint32_t>(field) & 0x3FFu;
    return (word & ~MOVE_OFFSET_MASK) | (((bits >> 6) & 0xFu) << 15) | (((bits >> 3) & 0x7u) << 11) |
           ((bits & 0x7u) << 4);
}

int32_t pa_new_positive_id() { return ++last_class_id; }

void pa_refresh_block_lines(PaBlock* block) {
    block->first_line = block->first != nullptr ? block->first->first_line : 0;
    block->last_line = block->last != nullptr ? block->last->last_line : 0;
}

}  // namespace

int32_t pa_move_offset_bytes(uint32_t word) {
    const int32_t field = move_offset_field(word);
    return (word & MOVE_BYTE_MODE) != 0 ? field : 2 * field;
}

bool pa_is_stack_relative_move(const PaInstruction* record) {
    const uint32_t word = record->encoding.word;
    if (move_opcode(word) == MOVE_LOAD_OFFSET) return move_load_base(word) == STACK_POINTER;
    if (move_opcode(word) == MOVE_STORE_OFFSET) return move_store_base(word) == STACK_POINTER;
    return false;
}

bool pa_adjust_stack_offset(const PaInstruction* record, int32_t levels, PaEncoding* out) {
    *out = record->encoding;
    const uint32_t word = out->word;
    if (move_opcode(word) != MOVE_LOAD_OFFSET && move_opcode(word) != MOVE_STORE_OFFSET) return false;
    const int32_t field = move_offset_field(word);
    int32_t new_field = 0;
    bool fits = false;
    if ((word & MOVE_BYTE_MODE) != 0) {
        new_field = field - 4 * levels;
        fits = new_field >= -512;
    } else {
        const int32_t bytes = 2 * field - 4 * levels;
        fits = bytes >= -1024;
        new_field = bytes / 2;
    }
    out->word = move_with_offset_field(word, new_field);
    return fits;
}

void pa_prune_blocks(PaBlockList& list) {
    PaBlock** link = &list.head;
    while (PaBlock* block = *link) {
        int32_t words = 0;
        const PaInstruction* record = block->first;
        for (int32_t i = 0; i < block->count && record != nullptr; ++i, record = record->next) words += record->size;
        if (words <= 1) {
            *link = block->next;
            list.tail = nullptr;  // the end is found from the head again
        } else {
            link = &block->next;
        }
    }
}

void pa_cut_block(PaBlock* block, PaInstruction* record) {
    PaInstruction* previous = nullptr;
    int32_t k = 0;
    PaInstruction* walk = block->first;
    while (walk != nullptr && walk != record && k < block->count) {
        previous = walk;
        walk = walk->next;
        ++k;
    }
    if (walk != record || record == nullptr) diag_fatal(1, pa_source_name, 1228);
    const int32_t old_count = block->count;
    PaInstruction* rest = record->next;
    if (previous == nullptr)
        block->first = nullptr;
    else
        previous->next = nullptr;
    block->count = k;
    block->last = previous;
    pa_refresh_block_lines(block);
    record->next = nullptr;
    if (rest == nullptr) return;

    auto* piece = static_cast<PaBlock*>(pool_zalloc(sizeof(PaBlock), POOL_RUN));
    piece->section = block->section;
    piece->next = block->next;
    piece->id = static_cast<uint32_t>(basic_block_list.next_id++);
    piece->count = old_count - k - 1;
    piece->first = rest;
    PaInstruction* last = rest;
    for (int32_t i = 1; i < piece->count && last->next != nullptr; ++i) last = last->next;
    piece->last = last;
    pa_refresh_block_lines(piece);
    block->next = piece;
}

void pa_fuse_skip_pairs(PaBlockList& list) {
    for (PaBlock* block = list.head; block != nullptr; block = block->next) {
        PaInstruction* record = block->first;
        while (record != nullptr) {
            if (!pa_is_skip_or_repeat(record)) {
                record = record->next;
                continue;
            }
            PaInstruction* shadow = record->next;
            if (shadow == nullptr) {
                // A skip that ends its block has nothing to weld; it takes
                // part in nothing.
                pa_cut_block(block, record);
                break;
            }
            record->follower = &shadow->encoding;
            record->last_line = shadow->last_line;
            record->size += shadow->size;
            record->next = shadow->next;
            --block->count;
            if (block->last == shadow) block->last = record;
            record = record->next;
        }
        pa_refresh_block_lines(block);
    }
}

void pa_classify_instructions(PaBlockList& list) {
    size_t total = 0;
    for (const PaBlock* block = list.head; block != nullptr; block = block->next) total += block->count;
    if (total == 0) return;

    // Any order that keeps equal records together serves: the records are
    // sorted once and every run of two or more equal ones shares a new id,
    // which is what merging classes pairwise during the sort comes to.
    // The sort works on copies of the compared fields, side by side, rather
    // than on the records themselves.
    struct Key {
        uint32_t word;
        uint32_t operand;
        uintptr_t symbol;
        uint32_t has_follower;
        uint32_t follower_word;
        uint32_t follower_operand;
        uintptr_t follower_symbol;
        PaInstruction* record;
        auto fields() const {
            return std::tie(word, operand, symbol, has_follower, follower_word, follower_operand, follower_symbol);
        }
    };
    std::vector<Key> keys;
    keys.reserve(total);
    for (const PaBlock* block = list.head; block != nullptr; block = block->next) {
        PaInstruction* record = block->first;
        for (int32_t i = 0; i < block->count && record != nullptr; ++i, record = record->next) {
            const PaEncoding& e = record->encoding;
            const PaEncoding none{};
            const PaEncoding& f = record->follower != nullptr ? *record->follower : none;
            keys.push_back(Key{e.word, e.operand, reinterpret_cast<uintptr_t>(e.symbol), record->follower != nullptr,
                               f.word, f.operand, reinterpret_cast<uintptr_t>(f.symbol), record});
        }
    }
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) { return a.fields() < b.fields(); });
    for (size_t i = 0; i < keys.size();) {
        size_t end = i + 1;
        while (end < keys.size() && keys[end].fields() == keys[i].fields()) ++end;
        if (end - i >= 2) {
            int32_t id = 0;
            for (size_t j = i; j < end && id == 0; ++j) id = keys[j].record->class_id;
            if (id == 0) id = pa_new_positive_id();
            for (size_t j = i; j < end; ++j) keys[j].record->class_id = id;
        }
        i = end;
    }

    for (PaBlock* block = list.head; block != nullptr; block = block->next) {
        PaInstruction* record = block->first;
        for (int32_t i = 0; i < block->count && record != nullptr; ++i, record = record->next) {
            if (record->class_id == 0) {
                pa_cut_block(block, record);
                break;
            }
        }
    }
}

void pa_prepare_blocks() {
    sym_build_sorted_list(LIST_BY_LINE, sym_is_branch_target);
    pa_prune_blocks(basic_block_list);
    pa_fuse_skip_pairs(basic_block_list);
    pa_classify_instructions(basic_block_list);
    pa_prune_blocks(basic_block_list);
}
