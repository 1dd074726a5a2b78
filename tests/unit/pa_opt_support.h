// Building the abstraction's records directly, the way pass 2 leaves them,
// for the tests of the preparation, the search and the aggregations:
// blocks of instruction words on given lines, sections of a given size and
// branch-target labels with their reference lines.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

#include "paasmdriver.h"
#include "paasmomf.h"
#include "paasmpa_opt.h"
#include "paasmpool.h"
#include "paasmsym.h"

// Instruction words of the tests, worked from the bit layouts.
namespace pa_words {
constexpr uint32_t alu(uint32_t k) { return 0x400000u | k; }  // ADD forms, distinct per k
constexpr uint32_t RETURN = 0x060000u;
constexpr uint32_t RETFIE = 0x064000u;
constexpr uint32_t BRA = 0x370000u;
constexpr uint32_t GOTO = 0x040000u;  // two words
constexpr uint32_t CALL = 0x020000u;  // two words
constexpr uint32_t RCALL = 0x070000u;
constexpr uint32_t DO = 0x080000u;    // two words, not a call
constexpr uint32_t BTSS = 0xA60000u;
constexpr uint32_t BTSC = 0xA70000u;
constexpr uint32_t REPEAT = 0x090003u;
// MOV [W15+offset],W0 (load) and MOV W0,[W15+offset] (store): the 10-bit
// offset field spread over word bits 18..15, 13..11 and 6..4; bit 14 byte
// mode; byte offsets in word mode are twice the field.
constexpr uint32_t offset_bits(int32_t field) {
    const uint32_t f = static_cast<uint32_t>(field) & 0x3FFu;
    return ((f >> 6) << 15) | (((f >> 3) & 7u) << 11) | ((f & 7u) << 4);
}
constexpr uint32_t load_w15(int32_t bytes) { return 0x900000u | offset_bits(bytes / 2) | 15u; }
constexpr uint32_t load_w15_byte(int32_t bytes) { return 0x904000u | offset_bits(bytes) | 15u; }
constexpr uint32_t store_w15(int32_t bytes) { return 0x980000u | offset_bits(bytes / 2) | (15u << 7); }
}  // namespace pa_words

class PaOptTest : public testing::Test {
protected:
    Section text{};
    Section data_text{};  // a second program section
    std::deque<Symbol> label_symbols;
    std::deque<SymbolRefLine> label_refs;
    std::vector<Symbol*> label_order;
    Symbol** saved_sorted = nullptr;
    uint32_t saved_sorted_count = 0;
    int32_t saved_nesting = 0;
    uint8_t saved_options = 0;

    void SetUp() override {
        pass_number = 2;
        saved_options = option_flags;
        option_flags = OPT_ABSTRACT;
        saved_nesting = nesting_limit;
        nesting_limit = 0x7FFFFFFF;
        text.size = 100;
        data_text.size = 100;
        reset_lists();
        saved_sorted = sorted_symbols[LIST_BY_LINE];
        saved_sorted_count = sorted_symbol_counts[LIST_BY_LINE];
        use_labels();
    }

    void TearDown() override {
        sorted_symbols[LIST_BY_LINE] = saved_sorted;
        sorted_symbol_counts[LIST_BY_LINE] = saved_sorted_count;
        reset_lists();
        nesting_limit = saved_nesting;
        option_flags = saved_options;
        pass_number = 0;
    }

    static void reset_lists() {
        basic_block_list = PaBlockList{};
        opened_aggregation_list = PaBlockList{};
        closed_aggregation_list = PaBlockList{};
        recording_block = nullptr;
    }

    PaBlock* block(Section* section = nullptr, int32_t level = 0) {
        PaBlock* made = pa_new_block(basic_block_list, section != nullptr ? section : &text);
        made->level = level;
        return made;
    }

    // Appends one record on `line` (size 0 for a label marker).
    static PaInstruction* add(PaBlock* to, uint32_t word, int32_t line, int32_t size = 1, uint32_t operand = 0,
                              Symbol* symbol = nullptr) {
        auto* record = static_cast<PaInstruction*>(pool_zalloc(sizeof(PaInstruction), POOL_RUN));
        record->first_line = line;
        record->last_line = line;
        record->size = size;
        record->location = static_cast<uint32_t>(2 * line);
        record->encoding = PaEncoding{word, operand, symbol};
        if (to->last == nullptr) {
            to->first = record;
            to->first_line = line;
        } else {
            to->last->next = record;
        }
        to->last = record;
        ++to->count;
        to->last_line = line;
        return record;
    }

    static PaInstruction* marker(PaBlock* to, int32_t line) { return add(to, PA_LABEL_WORD, line, 0); }

    // A branch-target label defined on `definition` and referred to from
    // `references`, in that order (the order of first reference).
    Symbol* label(int32_t definition, const std::vector<int32_t>& references) {
        Symbol& symbol = label_symbols.emplace_back();
        symbol.name = "label";
        symbol.def_line = definition;
        symbol.flags = SYM_BRANCH_TARGET | SYM_LABEL;
        SymbolRefLine** link = &symbol.ref_lines;
        for (int32_t line : references) {
            SymbolRefLine& ref = label_refs.emplace_back();
            ref.line = line;
            *link = &ref;
            link = &ref.next;
        }
        label_order.push_back(&symbol);
        use_labels();
        return &symbol;
    }

    void forget_labels() {
        label_order.clear();
        label_symbols.clear();
        label_refs.clear();
        use_labels();
    }

    // Hands the labels, by definition line, to the search.
    void use_labels() {
        std::stable_sort(label_order.begin(), label_order.end(),
                         [](const Symbol* a, const Symbol* b) { return a->def_line < b->def_line; });
        sorted_symbols[LIST_BY_LINE] = label_order.data();
        sorted_symbol_counts[LIST_BY_LINE] = static_cast<uint32_t>(label_order.size());
        pa_index_labels();
    }

    // Preparation without the sorted-list rebuild (the labels are the
    // test's own).
    static void prepare() {
        pa_prune_blocks(basic_block_list);
        pa_fuse_skip_pairs(basic_block_list);
        pa_classify_instructions(basic_block_list);
        pa_prune_blocks(basic_block_list);
    }

    static std::vector<int32_t> counts() {
        std::vector<int32_t> result;
        for (const PaBlock* b = basic_block_list.head; b != nullptr; b = b->next) result.push_back(b->count);
        return result;
    }

    static std::vector<const PaBlock*> aggregations() {
        std::vector<const PaBlock*> result;
        for (const PaBlock* b = basic_block_list.head; b != nullptr; b = b->next)
            if (b->uses >= 2) result.push_back(b);
        return result;
    }

    // The first lines of the records of a block.
    static std::vector<int32_t> lines_of(const PaBlock* b) {
        std::vector<int32_t> result;
        for (const PaInstruction* r = b->first; r != nullptr; r = r->next) result.push_back(r->first_line);
        return result;
    }
};
