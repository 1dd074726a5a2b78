// The sequence search and the aggregations it builds: the length bound,
// the profitability arithmetic, the label rules, the search's decisions
// (which windows are never tried, where nesting stops), the rewritten block
// structure, and the indexed search held against the plain algorithm on
// thousands of generated block lists. The plain algorithm is the oracle of
// the index only: it builds its aggregations with the program's own code,
// so the two agree on whatever that code gets wrong. What proves that a
// rewrite keeps the program is tests/proof, which expands every rewritten
// source back with code of its own and compares the assembled images.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "asm_support.h"
#include "pa_opt_support.h"

namespace {

using namespace pa_words;

class PaSearch : public PaOptTest {
protected:
    // An occurrence list of `n` entries whose window is the whole of `b`.
    static PaOccurrenceList* occurrences_of(PaBlock* b, int32_t n) {
        auto* list = static_cast<PaOccurrenceList*>(pool_zalloc(sizeof(PaOccurrenceList), POOL_RUN));
        for (int32_t i = 0; i < n; ++i) {
            auto* occurrence = static_cast<PaOccurrence*>(pool_zalloc(sizeof(PaOccurrence), POOL_RUN));
            occurrence->first = b->first;
            occurrence->block = b;
            occurrence->length = b->count;
            if (list->tail == nullptr)
                list->head = occurrence;
            else
                list->tail->next = occurrence;
            list->tail = occurrence;
            ++list->count;
        }
        return list;
    }

    struct Rec {
        uint32_t word;
        int32_t size = 1;
    };

    // `n` blocks holding the same records, block i from line 1 + 10 i on.
    std::vector<PaBlock*> copies(int n, const std::vector<Rec>& records) {
        std::vector<PaBlock*> made;
        for (int i = 0; i < n; ++i) {
            PaBlock* b = block();
            int32_t line = 1 + 10 * i;
            for (const Rec& r : records) add(b, r.word, line++, r.size);
            made.push_back(b);
        }
        return made;
    }

    static void search() {
        prepare();
        pa_search_blocks();
    }

    // Everything the search decided, in list order.
    static std::string describe() {
        std::ostringstream out;
        for (const PaBlock* b = basic_block_list.head; b != nullptr; b = b->next) {
            out << "block " << b->id << " uses " << b->uses << " level " << b->level << " flags " << int(b->flags)
                << " count " << b->count << " lines " << b->first_line << '-' << b->last_line << ':';
            for (const PaInstruction* r = b->first; r != nullptr; r = r->next)
                out << ' ' << r->first_line << '-' << r->last_line << '/' << std::hex << r->encoding.word << '.'
                    << r->encoding.operand << std::dec << (r->class_id < 0 ? "-" : "+") << r->flags;
            for (int32_t i = 0; b->uses >= 2 && i < b->uses; ++i)
                out << " site " << b->call_sites[i].call->first_line << '@' << b->call_sites[i].block->id;
            out << '\n';
        }
        return out.str();
    }
};

// ---- Length bound ----------------------------------------------------------

TEST_F(PaSearch, LengthBound) {
    struct Case {
        std::vector<int32_t> counts;
        int32_t bound;
    };
    const Case cases[] = {
        {{}, 0},
        {{7}, 3},
        {{5, 10, 8}, 8},
        {{6, 6}, 6},
        {{20, 3}, 10},
        {{1, 1}, 1},
    };
    for (const Case& c : cases) {
        reset_lists();
        int32_t line = 1;
        for (int32_t count : c.counts) {
            PaBlock* b = block();
            for (int32_t i = 0; i < count; ++i) add(b, alu(1), line++);
        }
        EXPECT_EQ(pa_window_length_bound(), c.bound) << testing::PrintToString(c.counts);
    }
}

// ---- Profitability ---------------------------------------------------------

TEST_F(PaSearch, Profitability) {
    struct Record {
        uint32_t word;
        int32_t size;
    };
    struct Case {
        const char* what;
        std::vector<Record> window;
        int32_t n;
        uint32_t section_size;
        bool profitable;
    };
    const Case cases[] = {
        // s = 2, n = 3, c = 1, r = 1: 6 - (2 + 3 + 1) = 0.
        {"two-word window three times", {{DO, 2}}, 3, 100, false},
        {"two-word window four times", {{DO, 2}}, 4, 100, true},                 // 8 - 7 = 1
        {"opened, two words", {{alu(1), 1}, {RETURN, 1}}, 2, 100, true},        // (2-1)(2-1) = 1
        {"opened, large section", {{alu(1), 1}, {RETURN, 1}}, 2, 0x8000, false},  // c = 2
        {"opened, at the size limit", {{alu(1), 1}, {RETURN, 1}}, 2, 0x7FFF, true},
        {"ends in a call", {{alu(1), 1}, {CALL, 2}}, 2, 100, true},              // 6 - (3 + 2 + 0) = 1
        {"ends in another two-word", {{alu(1), 1}, {DO, 2}}, 2, 100, false},     // 6 - (3 + 2 + 1) = 0
        {"ends in rcall, twice", {{alu(1), 1}, {RCALL, 1}}, 2, 100, false},      // 4 - (2 + 2 + 0) = 0
        {"ends in rcall, three times", {{alu(1), 1}, {RCALL, 1}}, 3, 100, true},  // 6 - (2 + 3) = 1
        {"marker counts nothing", {{PA_LABEL_WORD, 0}, {alu(1), 1}, {alu(2), 1}}, 3, 100, false},
        {"marker, four times", {{PA_LABEL_WORD, 0}, {alu(1), 1}, {alu(2), 1}}, 4, 100, true},
        {"a call of an aggregation counts one", {{PA_CALL_WORD, 1}, {DO, 2}}, 4, 100, true},  // 12 - (3+4+1)
        {"closed, large section", {{DO, 2}, {DO, 2}}, 2, 0x8000, false},       // 8 - (4 + 4 + 1)
    };
    for (const Case& c : cases) {
        reset_lists();
        Section section{};
        section.size = c.section_size;
        PaBlock* b = block(&section);
        int32_t line = 1;
        for (const Record& r : c.window) add(b, r.word, line++, r.size);
        EXPECT_EQ(pa_is_profitable(occurrences_of(b, c.n), b->count), c.profitable) << c.what;
    }
    EXPECT_FALSE(pa_is_profitable(nullptr, 1));
}

// ---- Label rules -----------------------------------------------------------

TEST_F(PaSearch, WindowRuleReportsTheFirstConflict) {
    struct Label {
        int32_t definition;
        std::vector<int32_t> references;
    };
    struct Case {
        const char* what;
        std::vector<Label> labels;
        int32_t from;  // the window's lines, within records on lines 10 to 14
        int32_t to;
        PaLabelConflict conflict;
    };
    const Case cases[] = {
        {"inside, used from outside: the first such reference in its list",
         {{11, {30, 5, 12}}}, 10, 12, {11, 30, 0, 0}},
        {"the same label outside the window, used from inside", {{11, {30, 5, 12}}}, 12, 12, {0, 0, 11, 12}},
        {"outside, used from inside twice: the first in its list", {{50, {40, 13, 11}}}, 10, 14, {0, 0, 50, 13}},
        {"the first label by definition line wins",
         {{60, {12}}, {3, {13}}, {11, {12, 100}}}, 10, 14, {0, 0, 3, 13}},
    };
    for (const Case& c : cases) {
        reset_lists();
        forget_labels();
        for (const Label& l : c.labels) label(l.definition, l.references);
        PaBlock* b = block();
        for (int32_t line = 10; line <= 14; ++line) add(b, alu(line), line);
        PaLabelConflict conflict{};
        ASSERT_FALSE(pa_check_window_labels(pa_nth_instruction(b->first, c.from - 10), c.to - c.from + 1, &conflict))
            << c.what;
        EXPECT_EQ(conflict.inside_label, c.conflict.inside_label) << c.what;
        EXPECT_EQ(conflict.outside_reference, c.conflict.outside_reference) << c.what;
        EXPECT_EQ(conflict.outside_label, c.conflict.outside_label) << c.what;
        EXPECT_EQ(conflict.inside_reference, c.conflict.inside_reference) << c.what;
    }
}

TEST_F(PaSearch, LabelRules) {
    PaBlock* b = block();
    for (int32_t line = 1; line <= 6; ++line) add(b, alu(line), line);
    label(2, {4});   // a loop inside lines 1..4
    label(20, {5});  // referred to from line 5
    PaLabelConflict conflict{};
    EXPECT_TRUE(pa_check_window_labels(b->first, 4, &conflict));
    EXPECT_FALSE(pa_check_window_labels(b->first, 5, &conflict));    // line 5 refers outside
    EXPECT_TRUE(pa_check_occurrence_labels(b->first, 5));            // allowed for a candidate
    EXPECT_FALSE(pa_check_window_labels(b->first->next->next, 2, &conflict));  // 3..4: the reference leaves its label
    EXPECT_TRUE(pa_check_occurrence_labels(b->first->next->next, 2));          // 3..4 defines nothing
    EXPECT_FALSE(pa_check_occurrence_labels(b->first->next, 2));               // 2..3 defines 2, used on 4
}

// ---- Whole searches --------------------------------------------------------

TEST_F(PaSearch, ClosedAggregationReplacesEveryOccurrence) {
    PaBlock* blocks[3];
    int32_t line = 1;
    for (int i = 0; i < 3; ++i) {
        PaBlock* b = blocks[i] = block();
        add(b, alu(1), line++);
        add(b, alu(2), line++);
        add(b, alu(3), line++);
        add(b, load_w15(-6), line++);
        add(b, alu(10 + i), line++);  // unique: cut out
        line += 5;
    }
    PaInstruction* body_first = blocks[0]->first;
    search();
    const auto made = aggregations();
    ASSERT_EQ(made.size(), 1u);
    const PaBlock* aggregation = made[0];
    EXPECT_EQ(aggregation->id, 0u);
    EXPECT_EQ(aggregation->uses, 3);
    EXPECT_EQ(aggregation->count, 4);
    EXPECT_EQ(aggregation->level, 1);
    EXPECT_EQ(aggregation->flags, BLOCK_STACK_MOVES);
    EXPECT_EQ(aggregation->first, body_first);
    EXPECT_EQ(aggregation->last->next, nullptr);
    EXPECT_EQ(aggregation->first_line, 1);
    EXPECT_EQ(aggregation->last_line, 4);
    EXPECT_EQ(aggregation->last->encoding.word, load_w15(-10));
    EXPECT_EQ(aggregation->last->flags, PA_INSTRUCTION_STACK_ADJUSTED);
    for (int i = 0; i < 3; ++i) {
        const PaCallSite& site = aggregation->call_sites[i];
        EXPECT_EQ(site.block, blocks[i]);
        EXPECT_EQ(site.call, blocks[i]->first);
        EXPECT_EQ(site.call->encoding.word, PA_CALL_WORD);
        EXPECT_EQ(site.call->encoding.operand, 0u);
        EXPECT_EQ(site.call->size, 1);
        EXPECT_LT(site.call->class_id, 0);
        EXPECT_EQ(site.call->first_line, 1 + 10 * i);
        EXPECT_EQ(site.call->last_line, 4 + 10 * i);
        EXPECT_EQ(site.call->location, static_cast<uint32_t>(2 * (1 + 10 * i)));
        EXPECT_EQ(blocks[i]->count, 1);
        EXPECT_EQ(site.call->next, nullptr);
    }
}

TEST_F(PaSearch, OccurrenceThatEndsItsBlockLeavesTheCallLast) {
    PaBlock* a = block();
    add(a, DO, 1, 2);
    add(a, DO, 2, 2);
    PaBlock* b = block();
    add(b, alu(1), 11);
    add(b, alu(1), 12);
    add(b, DO, 13, 2);
    add(b, DO, 14, 2);
    search();
    ASSERT_EQ(aggregations().size(), 1u);
    EXPECT_EQ(b->count, 3);
    EXPECT_EQ(b->last->encoding.word, PA_CALL_WORD);
    EXPECT_EQ(b->last->next, nullptr);
}

TEST_F(PaSearch, OpenedAggregationKeepsItsLevelAndMoves) {
    copies(2, {{alu(1)}, {load_w15(-6)}, {RETURN}});
    search();
    const auto made = aggregations();
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0]->flags, BLOCK_OPENED);
    EXPECT_EQ(made[0]->level, 0);
    EXPECT_EQ(made[0]->count, 3);
    EXPECT_EQ(made[0]->first->next->encoding.word, load_w15(-6));
    EXPECT_EQ(made[0]->first->next->flags, 0u);
}

TEST_F(PaSearch, GotoRegisterFormsAreTransfers) {
    for (uint32_t jump : {0x010403u, 0x018402u, 0x014003u}) {
        reset_lists();
        copies(2, {{alu(1)}, {alu(2)}, {jump}});
        search();
        const auto made = aggregations();
        ASSERT_EQ(made.size(), 1u) << std::hex << jump;
        EXPECT_EQ(made[0]->flags, BLOCK_OPENED) << std::hex << jump;
        EXPECT_EQ(made[0]->count, 3);
    }
}

TEST_F(PaSearch, SkipFusedWithATransferNeverEndsAClosedBody) {
    copies(2, {{DO, 2}, {DO, 2}, {BTSS}, {RETURN}});
    search();
    const auto made = aggregations();
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0]->count, 2);  // the two DOs; the conditional return stays
    EXPECT_EQ(made[0]->last_line, 2);
    EXPECT_EQ(made[0]->last->follower, nullptr);
    EXPECT_EQ(basic_block_list.head->count, 2);
    EXPECT_EQ(basic_block_list.head->last->follower->word, RETURN);
}

TEST_F(PaSearch, SkipFusedWithAnOrdinaryInstructionMayEndABody) {
    copies(2, {{DO, 2}, {DO, 2}, {BTSS}, {alu(1)}});
    search();
    const auto made = aggregations();
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0]->count, 3);
}

TEST_F(PaSearch, OpenedWindowsOnlyAtLevelZero) {
    // The same jump-ended sequence in a level-0 and a level-1 block: it is
    // not made an opened body; the closed part before the jump is taken.
    PaBlock* low = block();
    add(low, DO, 1, 2);
    add(low, DO, 2, 2);
    add(low, BRA, 3);
    PaBlock* high = block(&text, 1);
    add(high, DO, 11, 2);
    add(high, DO, 12, 2);
    add(high, BRA, 13);
    search();
    const auto made = aggregations();
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0]->flags & BLOCK_OPENED, 0);
    EXPECT_EQ(made[0]->count, 2);
    EXPECT_EQ(made[0]->level, 2);

    // Both at level 0: the whole sequence becomes an opened body.
    reset_lists();
    low = block();
    add(low, DO, 1, 2);
    add(low, DO, 2, 2);
    add(low, BRA, 3);
    high = block();
    add(high, DO, 11, 2);
    add(high, DO, 12, 2);
    add(high, BRA, 13);
    search();
    ASSERT_EQ(aggregations().size(), 1u);
    EXPECT_EQ(aggregations()[0]->flags, BLOCK_OPENED);
}

TEST_F(PaSearch, OverlappingCopiesGiveTheLeftmostOnes) {
    PaBlock* a = block();
    add(a, DO, 1, 2);
    add(a, CALL, 2, 2, 0);  // not last: an ordinary two-word instruction here
    add(a, DO, 3, 2);
    add(a, alu(9), 4);
    PaBlock* b = block();
    add(b, alu(9), 10);
    add(b, DO, 11, 2);
    add(b, CALL, 12, 2, 0);
    add(b, DO, 13, 2);
    add(b, CALL, 14, 2, 0);
    add(b, DO, 15, 2);
    search();
    const auto made = aggregations();
    ASSERT_GE(made.size(), 1u);
    // DO CALL DO occurs at line 11 and, overlapping, at 13: only 11 counts.
    // (Its body later loses CALL DO to a nested aggregation.)
    EXPECT_EQ(made[0]->first_line, 1);
    EXPECT_EQ(made[0]->last_line, 3);
    EXPECT_EQ(made[0]->uses, 2);
    EXPECT_EQ(made[0]->call_sites[1].call->first_line, 11);
    EXPECT_EQ(made[0]->call_sites[1].call->last_line, 13);
}

TEST_F(PaSearch, OtherSectionsAreNeverSearched) {
    int32_t line = 1;
    for (Section* section : {&text, &data_text, &text}) {
        PaBlock* b = block(section);
        add(b, DO, line++, 2);
        add(b, DO, line++, 2);
        add(b, alu(1), line++);
    }
    search();
    const auto made = aggregations();
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0]->uses, 2);
    EXPECT_EQ(made[0]->call_sites[1].call->first_line, 7);
    EXPECT_EQ(made[0]->section, &text);
}

// Two level-0 blocks share five records; a third holds three of them, which
// then also occur inside the first aggregation's body.
class PaNesting : public PaSearch {
protected:
    PaBlock* x1 = nullptr;
    PaBlock* x2 = nullptr;
    PaBlock* y = nullptr;
    void build() {
        x1 = block();
        add(x1, alu(1), 1);
        add(x1, DO, 2, 2);
        add(x1, CALL, 3, 2);
        add(x1, DO, 4, 2);
        add(x1, alu(2), 5);
        x2 = block();
        add(x2, alu(1), 11);
        add(x2, DO, 12, 2);
        add(x2, CALL, 13, 2);
        add(x2, DO, 14, 2);
        add(x2, alu(2), 15);
        y = block();
        add(y, DO, 21, 2);
        add(y, CALL, 22, 2);
        add(y, DO, 23, 2);
        add(y, alu(3), 24);
        add(y, alu(3), 25);
    }
};

TEST_F(PaNesting, ClosedAggregationInsideABodyHasLevelTwo) {
    build();
    search();
    const auto made = aggregations();
    ASSERT_EQ(made.size(), 2u);
    const PaBlock* outer = made[0];
    const PaBlock* inner = made[1];
    EXPECT_EQ(outer->level, 1);
    EXPECT_EQ(outer->count, 3);  // alu(1), the call of the inner body, alu(2)
    EXPECT_EQ(inner->id, 1u);
    EXPECT_EQ(inner->level, 2);
    EXPECT_EQ(inner->uses, 2);
    EXPECT_EQ(inner->call_sites[0].block, y);
    EXPECT_EQ(inner->call_sites[1].block, outer);
    EXPECT_EQ(outer->first->next->encoding.word, PA_CALL_WORD);
    EXPECT_EQ(outer->first->next->encoding.operand, 1u);

    pa_collect_aggregations();
    pa_compute_total_sizes();
    EXPECT_EQ(closed_aggregation_list.count, 2);
    EXPECT_EQ(closed_aggregation_list.head, outer);
    EXPECT_EQ(outer->total_size, 1 + 6 + 1);
    EXPECT_EQ(inner->total_size, 6);
    EXPECT_EQ(pa_find_aggregation(1), inner);
    EXPECT_EQ(pa_find_closed_aggregation(0), outer);
    EXPECT_EQ(pa_find_opened_aggregation(0), nullptr);
    EXPECT_EQ(pa_find_aggregation(7), nullptr);
    // What stays in the block list is the plain blocks, in order.
    EXPECT_EQ(basic_block_list.head, x1);
    EXPECT_EQ(x1->next, x2);
    EXPECT_EQ(x2->next, y);
    EXPECT_EQ(y->next, nullptr);
}

TEST_F(PaNesting, LimitOneKeepsClosedBodiesAtLevelOne) {
    nesting_limit = 1;
    build();
    search();
    const auto made = aggregations();
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0]->level, 1);
    EXPECT_EQ(made[0]->count, 5);
}

TEST_F(PaNesting, LimitZeroMakesNoAggregation) {
    nesting_limit = 0;
    build();
    search();
    EXPECT_TRUE(aggregations().empty());
}

TEST_F(PaSearch, LoopInsideAWindowPasses) {
    int32_t line = 1;
    for (int i = 0; i < 2; ++i) {
        PaBlock* b = block();
        marker(b, line);
        label(line, {line + 3});
        add(b, DO, line + 1, 2);
        add(b, DO, line + 2, 2);
        add(b, BRA, line + 3);
        line += 10;
    }
    search();
    const auto made = aggregations();
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0]->flags, BLOCK_OPENED);
    EXPECT_EQ(made[0]->count, 4);
}

TEST_F(PaSearch, BranchLeavingTheWindowSlidesIt) {
    int32_t line = 1;
    for (int i = 0; i < 2; ++i) {
        PaBlock* b = block();
        add(b, DO, line, 2);
        add(b, DO, line + 1, 2);
        add(b, alu(5), line + 2);
        label(50 + i, {line + 2});  // line + 2 refers to a label far away
        add(b, DO, line + 3, 2);
        line += 10;
    }
    search();
    const auto made = aggregations();
    ASSERT_GE(made.size(), 1u);
    EXPECT_EQ(made[0]->first_line, 1);
    EXPECT_EQ(made[0]->last_line, 2);
}

TEST_F(PaSearch, CandidatesAndTheirLabels) {
    // Four copies of [label, DO, DO]; the window is the first. The second
    // defines a label used from outside and is left; the fourth refers to
    // a label outside it, which a candidate may.
    const int32_t starts[] = {1, 11, 21, 31};
    for (int32_t start : starts) {
        PaBlock* b = block();
        marker(b, start);
        add(b, DO, start + 1, 2);
        add(b, DO, start + 2, 2);
    }
    label(1, {});
    label(11, {40});
    label(21, {22});
    label(31, {});
    label(80, {32});
    search();
    const auto made = aggregations();
    ASSERT_GE(made.size(), 1u);
    ASSERT_EQ(made[0]->uses, 3);
    EXPECT_EQ(made[0]->call_sites[0].call->first_line, 1);
    EXPECT_EQ(made[0]->call_sites[1].call->first_line, 21);
    EXPECT_EQ(made[0]->call_sites[2].call->first_line, 31);
}

TEST_F(PaSearch, ZeroProfitChangesNothing) {
    // [DO, ADD] twice: 6 - (3 + 2 + 1) = 0; DO alone: 4 - (2 + 2 + 1) < 0.
    copies(2, {{DO, 2}, {alu(1)}});
    search();
    EXPECT_TRUE(aggregations().empty());
    EXPECT_EQ(counts(), (std::vector<int32_t>{2, 2}));
}

// ---- Aggregations: relocated moves, filing ---------------------------------

TEST_F(PaSearch, RelocatedMoveThatCannotGoDeeperGetsAUniqueClass) {
    copies(2, {{DO, 2}, {load_w15(-1018)}, {alu(1)}});
    search();
    const auto made = aggregations();
    ASSERT_EQ(made.size(), 1u);
    const PaInstruction* move = made[0]->first->next;
    EXPECT_EQ(move->encoding.word, load_w15(-1022));
    EXPECT_LT(move->class_id, 0);
    EXPECT_EQ(made[0]->flags, BLOCK_STACK_MOVES);
}

TEST_F(PaSearch, RelocatedMoveSharesTheClassOfItsNewEncoding) {
    PaBlock* a = block();
    add(a, DO, 1, 2);
    add(a, load_w15(-6), 2);
    add(a, DO, 3, 2);
    PaBlock* b = block();
    add(b, DO, 11, 2);
    add(b, load_w15(-6), 12);
    add(b, DO, 13, 2);
    PaBlock* c = block();
    add(c, alu(1), 21);
    PaInstruction* deeper = add(c, load_w15(-10), 22);
    add(c, alu(1), 23);
    add(c, load_w15(-10), 24);
    prepare();
    PaInstruction* moved = a->first->next;
    pa_search_blocks();
    ASSERT_FALSE(aggregations().empty());
    EXPECT_EQ(moved->encoding.word, load_w15(-10));
    EXPECT_GT(moved->class_id, 0);
    EXPECT_EQ(moved->class_id, deeper->class_id);
}

// Relocating one body on its own: each move takes the class of the first
// record in list order (the body included, as it is at that moment) whose
// class is positive and whose encoding is the move's new one, else a new
// id. The same with the index a search keeps and with none.
TEST_F(PaSearch, RelocatedMoveTakesTheClassOfTheFirstRecordWithItsNewEncoding) {
    struct Held {
        uint32_t word;
        int32_t class_id;
    };
    struct Case {
        const char* what;
        std::vector<std::vector<Held>> blocks;  // in list order, before the body
        std::vector<Held> body;
        std::vector<int32_t> classes;  // of the body's records afterwards; new ids count from 101
    };
    const Case cases[] = {
        {"its old encoding's class is not its own any more",
         {{{load_w15(-6), 5}, {alu(1), 6}}, {{load_w15(-6), 5}}},
         {{load_w15(-6), 5}, {alu(1), 6}},
         {101, 6}},
        {"the first block in list order gives the class",
         {{{load_w15(-10), 7}}, {{load_w15(-10), 9}}},
         {{load_w15(-6), 5}},
         {7}},
        {"records of class 0 or a negative one are passed over",
         {{{load_w15(-10), 0}, {load_w15(-10), -3}}, {{load_w15(-10), 9}}},
         {{load_w15(-6), 5}},
         {9}},
        {"a word of another mode or direction is another encoding",
         {{{load_w15_byte(-10), 7}, {store_w15(-10), 8}}},
         {{load_w15(-6), 5}},
         {101}},
        {"a later move of the body still has its old encoding",
         {},
         {{load_w15(-6), 5}, {load_w15(-10), 8}},
         {8, 101}},
        {"an earlier move of the body already has its new one",
         {{{load_w15(-14), 4}}},
         {{load_w15(-10), 8}, {load_w15(-6), 5}},
         {4, 101}},
        {"a move that could not go deeper again is unique",
         {{{load_w15(-1022), 7}}},
         {{load_w15(-1018), 5}},
         {-101}},
    };
    for (const bool kept : {false, true}) {
        for (const Case& c : cases) {
            reset_lists();
            int32_t line = 1;
            for (const auto& records : c.blocks) {
                PaBlock* b = block();
                for (const Held& h : records) add(b, h.word, line++)->class_id = h.class_id;
            }
            PaBlock* body = block();
            body->uses = 2;
            for (const Held& h : c.body) add(body, h.word, line++)->class_id = h.class_id;
            last_class_id = 100;
            if (kept) pa_keep_move_index();
            pa_relocate_stack_moves(body);
            pa_forget_move_index();
            std::vector<int32_t> classes;
            for (const PaInstruction* r = body->first; r != nullptr; r = r->next) classes.push_back(r->class_id);
            EXPECT_EQ(classes, c.classes) << c.what << (kept ? ", index kept" : "");
        }
    }
}

// The head of two level-0 blocks also stands at the head of a closed body
// made from two longer ones; in the body its move is lowered, so the head
// is only found twice, which does not pay. Were the lowered move taken for
// the unlowered one, the head would become a level-2 body called from the
// first one, with its offset lowered once for two levels.
TEST_F(PaSearch, LoweredMoveIsNotFoundWhereItStoodUnlowered) {
    const Rec longer[] = {{alu(1)}, {store_w15(-12)}, {alu(2)}, {load_w15_byte(-9)}, {alu(3)}};
    const Rec head[] = {{alu(1)}, {store_w15(-12)}, {alu(2)}};
    copies(2, {std::begin(longer), std::end(longer)});
    std::vector<PaBlock*> heads = copies(2, {std::begin(head), std::end(head)});
    search();
    const auto made = aggregations();
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0]->level, 1);
    const PaInstruction* lowered = made[0]->first->next;
    EXPECT_EQ(lowered->encoding.word, store_w15(-16));
    EXPECT_GT(lowered->class_id, 0);
    EXPECT_NE(lowered->class_id, heads[0]->first->next->class_id);
    EXPECT_EQ(heads[0]->count, 3);
    EXPECT_EQ(heads[1]->count, 3);
}

// A move whose records have all left the blocks (dropped with their
// occurrence, or lowered in a body) gives its class to nobody: a move
// lowered to that encoding later gets a new one. A first, longer body
// relocates a move while those records are still there.
TEST_F(PaSearch, MovesThatLeftTheBlocksGiveNoClass) {
    const Rec longest[] = {{alu(5)}, {load_w15(-20)}, {alu(6)}, {alu(7)}};
    const Rec first[] = {{DO, 2}, {load_w15(-10)}, {CALL, 2}};
    const Rec second[] = {{alu(4)}, {DO, 2}, {load_w15(-6)}};
    copies(2, {std::begin(longest), std::end(longest)});
    std::vector<PaBlock*> left = copies(2, {std::begin(first), std::end(first)});
    std::vector<PaBlock*> later = copies(3, {std::begin(second), std::end(second)});
    prepare();
    const PaInstruction* dropped = left[1]->first->next;
    const int32_t old_class = dropped->class_id;
    PaInstruction* moved = later[0]->first->next->next;
    pa_search_blocks();
    const auto made = aggregations();
    ASSERT_EQ(made.size(), 3u);
    EXPECT_EQ(made[0]->first->next->encoding.word, load_w15(-24));
    EXPECT_EQ(made[1]->first->next->encoding.word, load_w15(-14));
    EXPECT_EQ(moved->encoding.word, load_w15(-10));
    EXPECT_GT(moved->class_id, 0);
    EXPECT_NE(moved->class_id, old_class);
    EXPECT_EQ(dropped->class_id, old_class);  // the dropped record itself is left as it was
}

// A body's moves are found where the body stands, at the end of the list:
// a move lowered later to the encoding that a move of an earlier body was
// lowered to shares its class, so the two can be abstracted together.
TEST_F(PaSearch, MovesLoweredInTwoBodiesShareTheirNewClass) {
    const Rec first[] = {{DO, 2}, {load_w15(-6)}, {CALL, 2}};
    const Rec second[] = {{alu(4)}, {DO, 2}, {load_w15(-6)}};
    copies(2, {std::begin(first), std::end(first)});
    copies(2, {std::begin(second), std::end(second)});
    search();
    const auto made = aggregations();
    ASSERT_EQ(made.size(), 2u);
    const PaInstruction* earlier = made[0]->first->next;
    const PaInstruction* later = made[1]->first->next->next;
    EXPECT_EQ(earlier->encoding.word, load_w15(-10));
    EXPECT_EQ(later->encoding.word, load_w15(-10));
    EXPECT_GT(earlier->class_id, 0);
    EXPECT_EQ(later->class_id, earlier->class_id);
}

TEST_F(PaSearch, ReplacingAnOccurrenceNotInItsBlockIsAnInternalError) {
    PaBlock* a = block();
    add(a, alu(1), 1);
    PaBlock* b = block();
    add(b, alu(1), 2);
    PaOccurrenceList* list = occurrences_of(a, 2);
    list->tail->block = b;  // its record is in a
    PaBlock* aggregation = pa_new_block(basic_block_list, &text);
    testing::internal::CaptureStderr();
    EXPECT_THROW(pa_replace_occurrences(list, aggregation), AsmTrap);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Internal error detected (../src/paasmpa,1503)"),
              std::string::npos);
}

TEST_F(PaSearch, FilingByLevelThenFirstLine) {
    struct Made {
        int32_t level;
        int32_t first_line;
        bool opened;
    };
    const Made made[] = {{2, 5, false}, {1, 9, false}, {1, 3, false}, {0, 7, true}, {1, 3, false}, {0, 2, true}};
    std::vector<PaBlock*> blocks;
    for (const Made& m : made) {
        PaBlock* b = block();
        b->uses = 2;
        b->level = m.level;
        b->first_line = m.first_line;
        b->flags = m.opened ? BLOCK_OPENED : 0;
        blocks.push_back(b);
    }
    PaBlock* plain = block();
    pa_collect_aggregations();
    EXPECT_EQ(basic_block_list.head, plain);
    EXPECT_EQ(plain->next, nullptr);
    std::vector<PaBlock*> closed;
    for (PaBlock* b = closed_aggregation_list.head; b != nullptr; b = b->next) closed.push_back(b);
    EXPECT_EQ(closed, (std::vector<PaBlock*>{blocks[2], blocks[4], blocks[1], blocks[0]}));
    EXPECT_EQ(closed_aggregation_list.count, 4);
    EXPECT_EQ(opened_aggregation_list.head, blocks[5]);
    EXPECT_EQ(blocks[5]->next, blocks[3]);
    EXPECT_EQ(opened_aggregation_list.count, 2);
    // One more with the same level and line goes after those filed.
    PaBlock* late = pa_new_block(basic_block_list, &text);
    late->level = 1;
    late->first_line = 3;
    pa_insert_aggregation(closed_aggregation_list, late);
    EXPECT_EQ(blocks[4]->next, late);
    EXPECT_EQ(late->next, blocks[1]);
    EXPECT_EQ(closed_aggregation_list.count, 5);
}

// ---- The plain algorithm, kept as the oracle -------------------------------

namespace literal {

bool window_labels(int32_t a, int32_t b, PaLabelConflict* conflict) {
    for (uint32_t i = 0; i < sorted_symbol_counts[LIST_BY_LINE]; ++i) {
        const Symbol* symbol = sorted_symbols[LIST_BY_LINE][i];
        const int32_t c = symbol->def_line;
        const bool inside = c >= a && c <= b;
        for (const SymbolRefLine* ref = symbol->ref_lines; ref != nullptr; ref = ref->next) {
            const bool ref_inside = ref->line >= a && ref->line <= b;
            if (!inside && ref_inside) {
                *conflict = PaLabelConflict{0, 0, c, ref->line};
                return false;
            }
            if (inside && !ref_inside) {
                *conflict = PaLabelConflict{c, ref->line, 0, 0};
                return false;
            }
        }
    }
    return true;
}

bool occurrence_labels(int32_t a, int32_t b) {
    for (uint32_t i = 0; i < sorted_symbol_counts[LIST_BY_LINE]; ++i) {
        const Symbol* symbol = sorted_symbols[LIST_BY_LINE][i];
        if (symbol->def_line < a || symbol->def_line > b) continue;
        for (const SymbolRefLine* ref = symbol->ref_lines; ref != nullptr; ref = ref->next)
            if (ref->line < a || ref->line > b) return false;
    }
    return true;
}

PaOccurrenceList* collect(PaOccurrenceList* list, PaBlock* window_block, PaInstruction* window, PaBlock* block,
                          PaInstruction* start, int32_t length) {
    PaInstruction* s = start;
    while (s != nullptr) {
        const PaInstruction* w = window;
        const PaInstruction* t = s;
        const PaInstruction* last = s;
        int32_t matched = 0;
        while (matched < length && t != nullptr && w->class_id == t->class_id) {
            last = t;
            w = w->next;
            t = t->next;
            ++matched;
        }
        if (matched == length && occurrence_labels(s->first_line, last->last_line)) {
            auto make = [length](PaBlock* in, PaInstruction* at) {
                auto* o = static_cast<PaOccurrence*>(pool_zalloc(sizeof(PaOccurrence), POOL_RUN));
                o->first = at;
                o->block = in;
                o->length = length;
                return o;
            };
            if (list == nullptr) {
                list = static_cast<PaOccurrenceList*>(pool_zalloc(sizeof(PaOccurrenceList), POOL_RUN));
                list->head = list->tail = make(window_block, window);
                list->count = 1;
            }
            list->tail->next = make(block, s);
            list->tail = list->tail->next;
            ++list->count;
            s = pa_nth_instruction(s, length);
        } else {
            s = s->next;
        }
    }
    return list;
}

bool transfer_pair(const PaInstruction* record) {
    return record->follower != nullptr && pa_word_is_unconditional_transfer(record->follower->word);
}

int32_t try_window(PaBlock* b, int32_t p, int32_t length) {
    PaInstruction* w = pa_nth_instruction(b->first, p);
    PaInstruction* e = pa_nth_instruction(w, length - 1);
    auto step = [&] {
        ++p;
        w = w->next;
        e = e != nullptr ? e->next : nullptr;
    };
    while (p + length <= b->count) {
        const bool opened = pa_is_unconditional_transfer(e);
        if (w->class_id < 0 || (length == 1 && w->size <= 1) || (opened && b->level >= 1) || transfer_pair(e)) {
            step();
            continue;
        }
        PaLabelConflict c{};
        if (!window_labels(w->first_line, e->last_line, &c)) {
            const int32_t window_line = w->first_line;
            auto outside = [&](int32_t line) { return line < b->first_line || line > b->last_line; };
            auto slide_until = [&](auto done) {
                do {
                    step();
                } while (p + length <= b->count && !done());
            };
            if (c.inside_label != 0) {
                if (outside(c.outside_reference) || c.outside_reference < window_line)
                    slide_until([&] { return w->first_line > c.inside_label; });
                else
                    slide_until([&] { return w->first_line > c.inside_label || e->first_line >= c.outside_reference; });
            } else {
                if (outside(c.outside_label) || c.outside_label < window_line)
                    slide_until([&] { return w->first_line > c.inside_reference; });
                else
                    slide_until([&] { return w->first_line > c.inside_reference || e->first_line >= c.outside_label; });
            }
            continue;
        }
        PaOccurrenceList* list = nullptr;
        if (b->count - p >= 2 * length) list = collect(list, b, w, b, e->next, length);
        for (PaBlock* o = b->next; o != nullptr; o = o->next) {
            if (o->section != b->section || o->level >= nesting_limit || o->count < length) continue;
            if (opened && o->level >= 1) continue;
            list = collect(list, b, w, o, o->first, length);
        }
        if (list != nullptr && pa_is_profitable(list, length)) {
            PaBlock* aggregation = pa_new_block(basic_block_list, b->section);
            PaCallSite* sites = pa_replace_occurrences(list, aggregation);
            pa_make_aggregation(list, aggregation, sites);
            return p + 1;
        }
        step();
    }
    return p;
}

void search() {
    basic_block_list.next_id = 0;
    pa_forget_move_index();
    int32_t length = pa_window_length_bound();
    while (length > 0) {
        for (PaBlock* b = basic_block_list.head; b != nullptr; b = b->next) {
            if (b->level >= nesting_limit) continue;
            int32_t p = 0;
            while (p + length <= b->count) p = try_window(b, p, length);
        }
        length = std::min(length - 1, pa_window_length_bound());
    }
}

}  // namespace literal

class PaOracle : public PaSearch {
protected:
    // A random block list: a few sections' worth of blocks of ids from a
    // small alphabet, label markers with labels referenced from anywhere,
    // transfers at block ends, skips, stack moves and two-word instructions.
    void generate(uint32_t seed) {
        reset_lists();
        forget_labels();
        std::mt19937 random(seed);
        auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
        text.size = pick(8) == 0 ? 0x8000 : 100;
        data_text.size = 100;
        const int alphabet = 2 + pick(4);
        const int blocks = 1 + pick(8);
        int32_t line = 1;
        std::vector<int32_t> marker_lines;
        for (int i = 0; i < blocks; ++i) {
            PaBlock* b = block(pick(4) == 0 ? &data_text : &text);
            const int records = pick(40) == 0 ? 60 + pick(80) : 1 + pick(14);  // now and then a long one
            for (int k = 0; k < records; ++k) {
                const int kind = pick(20);
                if (kind < 10) {
                    add(b, alu(static_cast<uint32_t>(pick(alphabet))), line);
                } else if (kind < 12) {
                    add(b, DO, line, 2, static_cast<uint32_t>(pick(2)));
                } else if (kind < 14) {
                    marker(b, line);
                    marker_lines.push_back(line);
                } else if (kind < 15) {
                    add(b, BTSS, line);
                } else if (kind < 16) {
                    add(b, REPEAT, line);
                } else if (kind < 17) {
                    // -6 lowered once meets the -10 moves already there.
                    const int32_t offsets[] = {-6, -10, -1018};
                    add(b, load_w15(offsets[pick(3)]), line);
                } else if (kind < 18) {
                    add(b, store_w15(-10 + 4 * pick(2)), line);
                } else {
                    add(b, CALL, line, 2, static_cast<uint32_t>(pick(2)));
                }
                ++line;
            }
            const int end = pick(6);
            if (end == 0) add(b, RETURN, line++);
            if (end == 1) add(b, BRA, line++);
            if (end == 2) add(b, GOTO, line++, 2);
            line += pick(3);
        }
        for (int32_t at : marker_lines) {
            std::vector<int32_t> refs;
            for (int r = pick(6); r > 0; --r) refs.push_back(1 + pick(line + 3));
            label(at, refs);
        }
        for (int extra = pick(3); extra > 0; --extra) label(1 + pick(line + 3), {1 + pick(line + 3)});
        const int32_t limits[] = {0, 1, 2, 3, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF};
        nesting_limit = limits[pick(8)];
        prepare();
    }

};

TEST_F(PaOracle, IndexedSearchMatchesThePlainOne) {
    int accepted = 0;
    int nested = 0;
    for (uint32_t seed = 1; seed <= 3000; ++seed) {
        generate(seed);
        pa_search_blocks();
        const std::string fast = describe();
        accepted += static_cast<int>(aggregations().size());
        for (const PaBlock* b : aggregations()) nested += b->level >= 2 ? 1 : 0;
        generate(seed);
        literal::search();
        const std::string plain = describe();
        ASSERT_EQ(fast, plain) << "seed " << seed;
    }
    // The generated lists exercise the search, nesting included.
    EXPECT_GT(accepted, 1000);
    EXPECT_GT(nested, 10);
}

}  // namespace

// ---- Through the driver ----------------------------------------------------

namespace {

using namespace pa_words;

// Three functions whose bodies are the same four instructions, the first
// a stack-relative load, as a compiler writes them.
const char* const three_functions =
    "\t.section\t.text,code\n"
    "\t.set\t___PA___,1\n"
    "\t.global\t_f\n"
    "_f:\n"
    "\tmov\t[w15-6],w0\n"
    "\tadd\tw1,w2,w3\n"
    "\tmov\t[w1++],[w2++]\n"
    "\tinc\tw4,w4\n"
    "\t.global\t_g\n"
    "_g:\n"
    "\tmov\t[w15-6],w0\n"
    "\tadd\tw1,w2,w3\n"
    "\tmov\t[w1++],[w2++]\n"
    "\tinc\tw4,w4\n"
    "\t.global\t_h\n"
    "_h:\n"
    "\tmov\t[w15-6],w0\n"
    "\tadd\tw1,w2,w3\n"
    "\tmov\t[w1++],[w2++]\n"
    "\tinc\tw4,w4\n";

TEST(PaDriver, DebugListingRunsTheSearch) {
    const AsmRun run = assemble(three_functions, {"-d", "-l/dev/null"});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    ASSERT_NE(closed_aggregation_list.head, nullptr);
    const PaBlock* body = closed_aggregation_list.head;
    EXPECT_EQ(closed_aggregation_list.count, 1);
    EXPECT_EQ(opened_aggregation_list.head, nullptr);
    EXPECT_EQ(body->uses, 3);
    EXPECT_EQ(body->level, 1);
    EXPECT_EQ(body->count, 4);
    EXPECT_EQ(body->first_line, 5);
    EXPECT_EQ(body->total_size, 4);
    EXPECT_EQ(body->flags, BLOCK_STACK_MOVES);
    // MOV [W15-6],W0 becomes MOV [W15-10],W0 one call level deeper.
    EXPECT_EQ(body->first->encoding.word, load_w15(-10));
    EXPECT_EQ(body->first->flags, PA_INSTRUCTION_STACK_ADJUSTED);
    // The program image is pass 2's, unchanged.
    const std::vector<uint32_t> words = cells_of(".text");
    ASSERT_EQ(words.size(), 12u);
    EXPECT_EQ(words[0], load_w15(-6));
    EXPECT_EQ(words[4], load_w15(-6));
    int blocks = 0;
    for (const PaBlock* b = basic_block_list.head; b != nullptr; b = b->next) {
        ++blocks;
        EXPECT_EQ(b->count, 1);
        EXPECT_EQ(b->first->encoding.word, PA_CALL_WORD);
    }
    EXPECT_EQ(blocks, 3);
}

TEST(PaDriver, WithoutOutputOrDebugPagesTheRecordsStay) {
    const AsmRun run = assemble(three_functions);
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(closed_aggregation_list.head, nullptr);
    int blocks = 0;
    for (const PaBlock* b = basic_block_list.head; b != nullptr; b = b->next) {
        ++blocks;
        EXPECT_EQ(b->count, 4);
        EXPECT_EQ(b->first->encoding.word, load_w15(-6));
    }
    EXPECT_EQ(blocks, 3);
}

TEST(PaDriver, BlockPagesOfNestedAggregations) {
    // Two functions share eight instructions (a closed body); four of them
    // recur in a third function, which takes them out of that body into a
    // body of level 2. The estimates: the outer body saves its five words
    // plus the inner body's four once, less 2 calls and its return: 6;
    // the inner one 4 - 2 - 1 = 1; together 7.
    const std::string eight =
        "\tadd\tw1,w2,w3\n\tsub\tw1,w2,w3\n\tand\tw1,w2,w3\n\tior\tw1,w2,w3\n"
        "\txor\tw1,w2,w3\n\tinc\tw1,w1\n\tdec\tw1,w1\n\tinc\tw2,w2\n";
    const std::string source = "\t.section\t.text,code\n\t.set\t___PA___,1\n"
                               "\t.global\t_f\n_f:\n" + eight +
                               "\t.global\t_g\n_g:\n" + eight +
                               "\t.global\t_h\n_h:\n"
                               "\tand\tw1,w2,w3\n\tior\tw1,w2,w3\n\txor\tw1,w2,w3\n\tinc\tw1,w1\n"
                               "\tinc\tw5,w5\n";
    char name[] = "/tmp/zpa-pa-pages-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    const AsmRun run = assemble(source, {"-d", std::string("-l") + name});
    ASSERT_EQ(run.status, 0) << run.errors;
    std::ifstream file(name, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    std::remove(name);
    // The block lines of every page, in order, and the pages' headings.
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(text, line)) {
        if (line.rfind("Basic Blocks: ", 0) == 0 || line.rfind("[ ", 0) == 0 || line.find("~") != std::string::npos)
            lines.push_back(line);
    }
    const std::vector<std::string> expected = {
        "Basic Blocks: Pre-Pruning",
        "[   0] Lines (    5 ...    12)\t    8 opcodes",
        "[   1] Lines (   15 ...    22)\t    8 opcodes",
        "[   2] Lines (   25 ...    29)\t    5 opcodes",
        "Basic Blocks: Pre-Optimization",
        "[   0] Lines (    5 ...    12)\t    8 opcodes",
        "[   1] Lines (   15 ...    22)\t    8 opcodes",
        "[   2] Lines (   25 ...    28)\t    4 opcodes",
        "Basic Blocks: Post-Optimization",
        "[   0] Lines (    5 ...    12)\t    1 opcodes",
        "[   1] Lines (   15 ...    22)\t    1 opcodes",
        "[   2] Lines (   25 ...    28)\t    1 opcodes",
        "Basic Blocks: Closed Aggregations",
        "[   0] Lines (    5 ...    12)\t    5 opcodes,     2 uses, ~    6 words saved",
        "[   1] Lines (   25 ...    28)\t    4 opcodes,     2 uses, ~    1 words saved",
        std::string(58, ' ') + " ~    7 words saved",
    };
    EXPECT_EQ(lines, expected);
}

TEST(PaDriver, ErrorsStopTheSearch) {
    const AsmRun run = assemble(std::string(three_functions) + "\tbogus\tw0\n", {"-d", "-l/dev/null"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(closed_aggregation_list.head, nullptr);
}

}  // namespace
