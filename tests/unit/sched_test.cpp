// The scheduler after pass 2: the dependence graph of a block (edges,
// latencies, heights), the list scheduler's choices, the delay-slot filler,
// and where the writer finds a line's mnemonic. Blocks are built here by
// hand from resource masks, the way the recorder leaves them.
//
// The last part holds the scheduler and the filler once more, written step
// by step the plain way (every list walked, every test repeated), and
// compares both on generated blocks: the program's versions keep counts
// instead of walking, and must still give the same schedule and the same
// fill.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "paasmdriver.h"
#include "paasmis.h"
#include "paasmis_dag.h"
#include "paasmis_fill.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmpool.h"
#include "paasmquodra.h"

namespace {

constexpr uint32_t W(int n) { return 1u << n; }
constexpr uint32_t DATA = 1u << 30;
constexpr uint32_t SR = 1u << 31;

// One instruction as the recorder keeps it.
struct Insn {
    int32_t line;
    uint32_t defs;
    uint32_t uses;
    uint32_t hazard_defs = 0;
    uint32_t hazard_uses = 0;
    int32_t slots = 1;
    int32_t ordinal = -1;  // the line's order when not given
};

class SchedTest : public testing::Test {
protected:
    std::deque<SchedInstruction> records;
    std::deque<SchedBlock> blocks;

    void SetUp() override {
        option_flags = OPT_SCHEDULE;
        delay_slot_level = 0;
        delayed_branch_count = 0;
        delayed_taken_count = 0;
        delayed_filled_count = 0;
        schedule_block_list = nullptr;
    }

    void TearDown() override {
        option_flags = OPT_ABSTRACT;
        delay_slot_level = 0;
        schedule_block_list = nullptr;
        pool_release(POOL_SCRATCH);
    }

    SchedInstruction* record(const Insn& insn) {
        SchedInstruction& r = records.emplace_back();
        r = SchedInstruction{};
        r.line = insn.line;
        r.ordinal = insn.ordinal >= 0 ? insn.ordinal : insn.line;
        r.slots = insn.slots;
        r.arch = ResourcePair{insn.defs, insn.uses};
        r.hazard = ResourcePair{insn.hazard_defs, insn.hazard_uses};
        return &r;
    }

    SchedBlock* block(const std::vector<Insn>& insns) {
        SchedBlock& b = blocks.emplace_back();
        b = SchedBlock{};
        for (const Insn& insn : insns) {
            SchedInstruction* r = record(insn);
            if (b.last == nullptr)
                b.first = r;
            else
                b.last->next = r;
            b.last = r;
        }
        return &b;
    }

    SchedBlock* block_with_branch(const std::vector<Insn>& insns, const Insn& branch, int32_t probability) {
        SchedBlock* b = block(insns);
        b->branch = record(branch);
        b->probability = probability;
        return b;
    }

    static std::vector<int32_t> lines_of(const SchedPtrList& list) {
        std::vector<int32_t> lines;
        for (const SchedPtrItem* item = list.head; item != nullptr; item = item->next)
            lines.push_back(item->pointer->instruction->line);
        return lines;
    }

    static std::vector<int32_t> heights(const SchedDag* dag) {
        std::vector<int32_t> result;
        for (const SchedNode* node = dag->nodes.head; node != nullptr; node = node->next)
            result.push_back(node->height);
        return result;
    }

    // "from->to@latency" for every edge, node by node in program order.
    static std::vector<std::string> edges(const SchedDag* dag) {
        std::vector<std::string> result;
        for (const SchedNode* node = dag->nodes.head; node != nullptr; node = node->next)
            for (const SchedEdge* edge = node->edges.head; edge != nullptr; edge = edge->next)
                result.push_back(std::to_string(edge->from->instruction->line) + "->" +
                                 std::to_string(edge->to->instruction->line) + "@" +
                                 std::to_string(edge->latency));
        return result;
    }

    static std::vector<int32_t> scheduled(SchedBlock* b) {
        SchedDag* dag = sched_build_dag(b);
        b->dag = dag;
        sched_list_schedule(dag);
        return lines_of(dag->schedule);
    }

    // Schedules the block and runs the filler on it.
    static void schedule_and_fill(SchedBlock* b) {
        scheduled(b);
        sched_fill_delay_slots(b);
    }

    static int32_t line_of(const SchedInstruction* r) { return r != nullptr ? r->line : 0; }

    // The three statistics counts: with delay slots, probably taken, filled.
    static void expect_counts(uint32_t branches, uint32_t taken, uint32_t filled) {
        EXPECT_EQ(delayed_branch_count, branches);
        EXPECT_EQ(delayed_taken_count, taken);
        EXPECT_EQ(delayed_filled_count, filled);
    }
};

// The three instructions of the textbook case: MOV W1,W2 writes the
// pointer that MOV [W2],W3 reads, ADD W4,W5,W6 touches neither.
const Insn mov_w1_w2{1, W(2), W(1), W(2), 0};
const Insn mov_ind_w2_w3{2, W(3), W(2) | DATA, W(3), W(2)};
const Insn add_w4_w5_w6{3, W(6) | SR, W(4) | W(5), W(6), 0};

// ---- Dependence tests ----------------------------------------------------------------

TEST_F(SchedTest, DependenceTestsCoverReadAfterWriteWriteAfterReadAndWriteAfterWrite) {
    struct Row {
        Insn a, b;
        int depends, except_flags, latency;
    };
    const Row rows[] = {
        {{1, W(2), W(1)}, {2, W(3), W(2)}, 1, 1, 0},                    // read after write
        {{1, W(3), W(2)}, {2, W(2), W(1)}, 1, 1, 0},                    // write after read
        {{1, W(2), 0}, {2, W(2), 0}, 1, 1, 0},                          // write after write
        {{1, W(2), W(1)}, {2, W(4), W(3)}, 0, 0, 0},                    // nothing shared
        {{1, W(1), W(1)}, {2, W(4), W(1)}, 1, 1, 0},                    // W1 written, then read
        {{1, W(2), W(1)}, {2, W(4), W(1)}, 0, 0, 0},                    // both only read W1
        {{1, W(2) | SR, W(1)}, {2, W(4) | SR, W(3)}, 1, 0, 0},          // the status register alone
        {{1, W(2) | SR, W(1)}, {2, W(4), W(3) | SR}, 1, 0, 0},          // status read after write
        {{1, W(2), W(1), W(2), 0}, {2, W(3), W(2), W(3), W(2)}, 1, 1, 1},  // pointer written, then used
        {{1, W(2), W(1), W(2), 0}, {2, W(3), W(4), W(3), W(4)}, 0, 0, 0},  // other pointer
    };
    for (const Row& row : rows) {
        SchedInstruction* a = record(row.a);
        SchedInstruction* b = record(row.b);
        EXPECT_EQ(sched_depends(a, b), row.depends) << row.a.defs << " " << row.b.uses;
        EXPECT_EQ(sched_depends(b, a), row.depends);
        EXPECT_EQ(sched_depends_except_flags(a, b), row.except_flags);
        EXPECT_EQ(sched_edge_latency(a, b), row.latency);
    }
}

// ---- Graph ---------------------------------------------------------------------------

TEST_F(SchedTest, OneInstructionIsOneRootOfHeightOne) {
    SchedBlock* b = block({{7, W(1), W(2)}});
    EXPECT_EQ(scheduled(b), (std::vector<int32_t>{7}));
    EXPECT_EQ(lines_of(b->dag->roots), (std::vector<int32_t>{7}));
    EXPECT_EQ(heights(b->dag), (std::vector<int32_t>{1}));
    EXPECT_EQ(b->dag->counter, 1);
}

TEST_F(SchedTest, PointerWrittenThenUsedCostsACycleAndTheIndependentInstructionMovesUp) {
    SchedBlock* b = block({mov_w1_w2, mov_ind_w2_w3, add_w4_w5_w6});
    SchedDag* dag = sched_build_dag(b);
    sched_build_edges(dag);
    EXPECT_EQ(edges(dag), (std::vector<std::string>{"1->2@1"}));
    EXPECT_EQ(lines_of(dag->roots), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(lines_of(dag->nodes.head->successors), (std::vector<int32_t>{2}));
    EXPECT_EQ(lines_of(dag->nodes.head->next->predecessors), (std::vector<int32_t>{1}));
    // Reverse program order, the order in which heights are computed.
    std::vector<int32_t> order;
    for (int32_t i = 0; i < dag->nodes.count; ++i) order.push_back(dag->node_array[i]->instruction->line);
    EXPECT_EQ(order, (std::vector<int32_t>{3, 2, 1}));
    sched_list_schedule(dag);
    EXPECT_EQ(heights(dag), (std::vector<int32_t>{2, 1, 1}));
    EXPECT_EQ(lines_of(dag->schedule), (std::vector<int32_t>{1, 3, 2}));
    EXPECT_EQ(dag->counter, 3);
}

TEST_F(SchedTest, IndependentInstructionsAreAllRootsAndKeepTheirOrder) {
    SchedBlock* b = block({{1, W(1), W(0)}, {2, W(3), W(2)}, {3, W(5), W(4)}, {4, W(7), W(6)}});
    EXPECT_EQ(scheduled(b), (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(lines_of(b->dag->roots), (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(heights(b->dag), (std::vector<int32_t>{1, 1, 1, 1}));
    sched_build_edges(b->dag);
    EXPECT_TRUE(edges(b->dag).empty());
}

TEST_F(SchedTest, DataChainKeepsHeightOneAndItsOrderWithTransitiveEdges) {
    // X writes W1 and the status; Y reads W1, writes W2 and the status; Z
    // reads W2 and writes the status: Z also depends on X.
    SchedBlock* b = block({{1, W(1) | SR, W(0)}, {2, W(2) | SR, W(1)}, {3, W(3) | SR, W(2)}});
    EXPECT_EQ(scheduled(b), (std::vector<int32_t>{1, 2, 3}));
    sched_build_edges(b->dag);
    EXPECT_EQ(edges(b->dag), (std::vector<std::string>{"1->2@0", "1->3@0", "2->3@0"}));
    EXPECT_EQ(heights(b->dag), (std::vector<int32_t>{1, 1, 1}));
    EXPECT_EQ(lines_of(b->dag->nodes.tail->predecessors), (std::vector<int32_t>{1, 2}));
}

TEST_F(SchedTest, HeightIsTheLongestLatencyChainBelow) {
    // 1 -> 2 (latency 1) -> 3 (latency 1), and 1 -> 4 (latency 0).
    SchedBlock* b = block({{1, W(1), 0, W(1), 0},
                           {2, W(2), W(1), W(2), W(1)},
                           {3, W(3), W(2), 0, W(2)},
                           {4, W(4), W(1)}});
    scheduled(b);
    sched_build_edges(b->dag);
    EXPECT_EQ(edges(b->dag), (std::vector<std::string>{"1->2@1", "1->4@0", "2->3@1"}));
    EXPECT_EQ(heights(b->dag), (std::vector<int32_t>{3, 2, 1, 1}));
}

TEST_F(SchedTest, HazardPairOutsideTheArchitecturalPairStillCountsOnlyOnAnEdge) {
    // 1 names W1 as a hazard definition without writing it architecturally;
    // 2 uses W1 as a pointer but shares no architectural resource with 1,
    // so there is no edge and no latency between them. 3 reads the W4 that
    // 1 writes: an edge without latency.
    SchedBlock* b = block({{1, W(4), W(0), W(1), 0}, {2, W(2), W(1) | W(5), 0, W(1)}, {3, W(3), W(4), 0, W(4)}});
    SchedDag* dag = sched_build_dag(b);
    sched_list_schedule(dag);
    EXPECT_EQ(heights(dag), (std::vector<int32_t>{1, 1, 1}));
    EXPECT_EQ(edges(dag), (std::vector<std::string>{"1->3@0"}));
    EXPECT_EQ(lines_of(dag->schedule), (std::vector<int32_t>{1, 2, 3}));
}

// ---- Choices --------------------------------------------------------------------------

TEST_F(SchedTest, OfTwoWaitingNodesOfTheGreatestHeightTheLowerOrdinalGoesFirst) {
    // 1 and 2 write the pointers that 4 and 3 use. 1 and 2 (height 2) go
    // first; then 4 (earliest cycle 2) is available and 3 (earliest 3) is
    // not, so 4 goes before 3 although 3 has the lower ordinal.
    SchedBlock* b = block({{1, W(1), 0, W(1), 0, 1, 10},
                           {2, W(2), 0, W(2), 0, 1, 11},
                           {3, W(3), W(2), 0, W(2), 1, 12},
                           {4, W(4), W(1), 0, W(1), 1, 13}});
    EXPECT_EQ(scheduled(b), (std::vector<int32_t>{1, 2, 4, 3}));

    // Now neither waiting node is available: both depend with latency on
    // the last scheduled node, and the lower ordinal wins.
    SchedBlock* c = block({{1, W(1), 0, W(1), 0, 1, 20},
                           {2, W(2), W(1), 0, W(1), 1, 22},
                           {3, W(3), W(1), 0, W(1), 1, 21}});
    EXPECT_EQ(scheduled(c), (std::vector<int32_t>{1, 3, 2}));
}

TEST_F(SchedTest, GreatestHeightGoesFirstEvenWhenNotAvailable) {
    // 1 writes W1 used as pointer by 2, which writes W2 used as pointer by
    // 3: after 1, node 2 (height 2) is not yet available but is alone at
    // the greatest height, so it is taken before the available 4.
    SchedBlock* b = block({{1, W(1), 0, W(1), 0},
                           {2, W(2), W(1), W(2), W(1)},
                           {3, W(3), W(2), 0, W(2)},
                           {4, W(5), W(4)}});
    EXPECT_EQ(scheduled(b), (std::vector<int32_t>{1, 2, 4, 3}));
}

TEST_F(SchedTest, EqualOrdinalsFromTwoSectionsGoInReadyListOrder) {
    // Ordinals count per section: 2 and 3 both have ordinal 0, 1 has 1.
    SchedBlock* b = block({{1, W(1), 0, 0, 0, 1, 1}, {2, W(2), 0, 0, 0, 1, 0}, {3, W(3), 0, 0, 0, 1, 0}});
    EXPECT_EQ(scheduled(b), (std::vector<int32_t>{2, 3, 1}));
}

TEST_F(SchedTest, SkipBeforeABranchInItsShadowStaysLast) {
    // 1 writes the pointer of 2; the skip (3) reads W0 only. Without the
    // hold the skip, available at cycle 1, would go before 2.
    SchedBlock* b = block_with_branch({{1, W(1), 0, W(1), 0}, {2, W(2), W(1), 0, W(1)}, {3, 0, W(0)}},
                                      {4, 0, 0, 0, 0, 0}, 100);
    b->branch->shadow = SHADOW_SKIP;
    EXPECT_EQ(scheduled(b), (std::vector<int32_t>{1, 2, 3}));

    // The same block with the branch outside a shadow: the skip moves up.
    SchedBlock* c = block_with_branch({{1, W(1), 0, W(1), 0}, {2, W(2), W(1), 0, W(1)}, {3, 0, W(0)}},
                                      {4, 0, 0, 0, 0, 0}, 100);
    EXPECT_EQ(scheduled(c), (std::vector<int32_t>{1, 3, 2}));

    // A skip that is the block's only instruction is still scheduled.
    SchedBlock* d = block_with_branch({{1, 0, W(0)}}, {2, 0, 0, 0, 0, 0}, 100);
    d->branch->shadow = SHADOW_SKIP;
    EXPECT_EQ(scheduled(d), (std::vector<int32_t>{1}));
}

// ---- Delay slots ----------------------------------------------------------------------

const Insn return_branch{9, W(15), W(15), 0, 0, 1};
const Insn bra_label{9, 0, 0, 0, 0, 2};         // unconditional BRA to a label
const Insn bra_conditional{9, 0, SR, 0, 0, 2};  // BRA Z, label
const Insn bra_register{9, 0, W(8), 0, 0, 2};   // BRA W8

TEST_F(SchedTest, NothingIsFilledOrCountedWithoutDelaySlotFilling) {
    SchedBlock* b = block_with_branch({{1, W(0) | SR, W(1)}, {2, W(3), W(2)}}, return_branch, 100);
    schedule_and_fill(b);
    EXPECT_EQ(b->first_slot, nullptr);
    expect_counts(0, 0, 0);
}

TEST_F(SchedTest, ReturnSlotTakesTheLastFreeInstructionThatLeavesW15Alone) {
    option_flags |= OPT_DELAY_SLOTS;
    SchedBlock* b = block_with_branch({{1, W(0) | SR, W(1)}, {2, W(3), W(2)}}, return_branch, 100);
    schedule_and_fill(b);
    EXPECT_EQ(line_of(b->first_slot), 2);
    EXPECT_EQ(b->second_slot, nullptr);
    EXPECT_EQ(b->nop_count, 0);

    // An instruction that touches W15 never fills a return's slot.
    SchedBlock* c = block_with_branch({{1, W(0) | SR, W(1)}, {2, W(15) | DATA, W(15) | W(2)}}, return_branch, 100);
    schedule_and_fill(c);
    EXPECT_EQ(line_of(c->first_slot), 1);
    SchedBlock* d = block_with_branch({{1, W(15), W(15)}}, return_branch, 100);
    schedule_and_fill(d);
    EXPECT_EQ(d->first_slot, nullptr);
    expect_counts(3, 3, 2);
}

TEST_F(SchedTest, InstructionThatALaterOneDependsOnStaysInPlace) {
    option_flags |= OPT_DELAY_SLOTS;
    // 2 reads what 1 writes: 1 may not move behind 2, and 2 touches W15.
    SchedBlock* b = block_with_branch({{1, W(3), W(2)}, {2, W(15), W(3) | W(15)}}, return_branch, 100);
    schedule_and_fill(b);
    EXPECT_EQ(b->first_slot, nullptr);
    expect_counts(1, 1, 0);
}

TEST_F(SchedTest, TwoIndependentInstructionsFillBothSlotsInScheduleOrder) {
    option_flags |= OPT_DELAY_SLOTS;
    SchedBlock* b = block_with_branch({{1, W(0), W(0)}, {2, W(1), W(2)}, {3, W(3), W(4)}}, bra_label, 100);
    schedule_and_fill(b);
    EXPECT_EQ(line_of(b->first_slot), 2);
    EXPECT_EQ(line_of(b->second_slot), 3);
    EXPECT_EQ(b->nop_count, 0);
}

TEST_F(SchedTest, TableInstructionFillsBothSlotsAlone) {
    option_flags |= OPT_DELAY_SLOTS;
    // TBLRDL [W1],W2 (slots 2) and an independent single-slot instruction
    // after it, which finds no partner behind it: the table read alone
    // fills both slots.
    SchedBlock* b = block_with_branch({{1, W(2), W(1) | DATA, 0, W(1), 2}, {2, W(4), W(3)}}, bra_label, 100);
    schedule_and_fill(b);
    EXPECT_EQ(line_of(b->first_slot), 1);
    EXPECT_EQ(b->second_slot, nullptr);
    EXPECT_EQ(b->nop_count, 0);
}

TEST_F(SchedTest, PartialFillOnlyAtLevelOneOrForABranchThatReadsNothing) {
    option_flags |= OPT_DELAY_SLOTS;
    // Only the last instruction may move (the first's row may fill no slot).
    const std::vector<Insn> body = {{1, W(3), W(2), 0, 0, -1}, {2, W(4), W(5)}};
    struct Row {
        int level;
        Insn branch;
        int32_t filled_line;
        int32_t nops;
    };
    const Row rows[] = {
        {0, bra_label, 0, 0},       {1, bra_label, 2, 1},       {2, bra_label, 2, 1},
        {1, bra_conditional, 2, 1}, {2, bra_conditional, 0, 0}, {2, bra_register, 0, 0},
        {1, bra_register, 2, 1},
    };
    for (const Row& row : rows) {
        delay_slot_level = row.level;
        SchedBlock* b = block_with_branch(body, row.branch, 100);
        schedule_and_fill(b);
        EXPECT_EQ(line_of(b->first_slot), row.filled_line) << "level " << row.level << " uses " << row.branch.uses;
        EXPECT_EQ(b->nop_count, row.nops) << "level " << row.level << " uses " << row.branch.uses;
        EXPECT_EQ(b->second_slot, nullptr);
    }
}

TEST_F(SchedTest, MergedSkipPairAndRowsThatMayNotFillNeverMove) {
    option_flags |= OPT_DELAY_SLOTS;
    delay_slot_level = 1;
    SchedBlock* b = block_with_branch({{1, W(3), W(2), 0, 0, 0}, {2, W(4), W(5), 0, 0, -1}}, bra_label, 100);
    schedule_and_fill(b);
    EXPECT_EQ(b->first_slot, nullptr);
    expect_counts(1, 1, 0);
}

TEST_F(SchedTest, UnlikelyBranchIsCountedButNotFilled) {
    option_flags |= OPT_DELAY_SLOTS;
    SchedBlock* b = block_with_branch({{1, W(1), W(2)}, {2, W(3), W(4)}}, bra_conditional, 25);
    schedule_and_fill(b);
    EXPECT_EQ(b->first_slot, nullptr);
    expect_counts(1, 0, 0);
    // A branch without delay slots is not counted at all.
    SchedBlock* c = block_with_branch({{1, W(1), W(2)}}, {9, 0, 0, 0, 0, 0}, 100);
    schedule_and_fill(c);
    expect_counts(1, 0, 0);
}

TEST_F(SchedTest, BranchAlreadyInItsDelayedFormIsNotFilledAgain) {
    option_flags |= OPT_DELAY_SLOTS;
    SchedBlock* b = block_with_branch({{1, W(1), W(2)}, {2, W(3), W(4)}}, bra_label, 100);
    b->branch->delayed_form = 1;
    schedule_and_fill(b);
    EXPECT_EQ(b->first_slot, nullptr);
    expect_counts(1, 1, 0);
}

TEST_F(SchedTest, PairIsRefusedWhenTheBranchDependsOnAnInstructionBetweenThem) {
    option_flags |= OPT_DELAY_SLOTS;
    // BRA W8: 2 writes W8 and must stay before the branch; 1 and 3 are free.
    SchedBlock* b = block_with_branch({{1, W(1), W(2)}, {2, W(8), W(9)}, {3, W(3), W(4)}}, bra_register, 100);
    schedule_and_fill(b);
    // From the end: 3 finds no partner after it; 2 conflicts with the
    // branch; 1 pairs with 3, but the branch depends on 2 between them.
    EXPECT_EQ(b->first_slot, nullptr);
    EXPECT_EQ(b->second_slot, nullptr);
}

TEST_F(SchedTest, StatusRegisterExceptionLetsTheLastSlotSetTheTestedStatus) {
    option_flags |= OPT_DELAY_SLOTS;
    // BRA Z: 2 sets the status and stands between 1 and 3.
    const std::vector<Insn> body = {{1, W(1), W(2)}, {2, W(5) | SR, W(6)}, {3, W(3) | SR, W(4)}};
    // 3 writes the status: the exception applies and 1 pairs with 3.
    SchedBlock* b = block_with_branch(body, bra_conditional, 100);
    schedule_and_fill(b);
    // From the end: 3 has no partner behind it; 2 pairs with 3, which
    // depends on it through the status only, and nothing lies between.
    EXPECT_EQ(line_of(b->first_slot), 2);
    EXPECT_EQ(line_of(b->second_slot), 3);
}

TEST_F(SchedTest, ExceptionAppliesOnlyWhenTheBranchReadsTheStatusAlone) {
    option_flags |= OPT_DELAY_SLOTS;
    // 1 and 3 are free; 2 writes the status and is bound to 4, which no
    // slot may take (slots -1). The pair (1, 3) has 2 between it, which
    // sets the status the branch tests; 3 sets it again in the last slot.
    const std::vector<Insn> body = {
        {1, W(1), W(2)}, {2, W(5) | SR, W(6)}, {3, W(3) | SR, W(4)}, {4, W(7), W(5), 0, 0, -1}};
    SchedBlock* b = block_with_branch(body, bra_conditional, 100);
    schedule_and_fill(b);
    EXPECT_EQ(line_of(b->first_slot), 1);
    EXPECT_EQ(line_of(b->second_slot), 3);

    // A branch that reads the status and W8 gets no exception.
    SchedBlock* c = block_with_branch(body, {9, 0, SR | W(8), 0, 0, 2}, 100);
    schedule_and_fill(c);
    EXPECT_EQ(c->first_slot, nullptr);

    // Nor does a second slot that leaves the status alone.
    const std::vector<Insn> plain = {
        {1, W(1), W(2)}, {2, W(5) | SR, W(6)}, {3, W(3), W(4)}, {4, W(7), W(5), 0, 0, -1}};
    SchedBlock* d = block_with_branch(plain, bra_conditional, 100);
    schedule_and_fill(d);
    EXPECT_EQ(d->first_slot, nullptr);
}

TEST_F(SchedTest, OneSlotFillNeedsNoLaterInstructionTheBranchDependsOn) {
    option_flags |= OPT_DELAY_SLOTS;
    delay_slot_level = 1;
    // BRA W8 after "1: W1 <- W2; 2: W8 <- W9": 1 is free, but the branch
    // depends on 2 after it; 2 conflicts with the branch.
    SchedBlock* b = block_with_branch({{1, W(1), W(2)}, {2, W(8), W(9)}}, bra_register, 100);
    schedule_and_fill(b);
    EXPECT_EQ(b->first_slot, nullptr);
    EXPECT_EQ(b->nop_count, 0);
}

// ---- What the recorder notes of a branch -----------------------------------------------

TEST_F(SchedTest, RecordedBranchKnowsItsShadowAndWhetherTheSourceDelayedIt) {
    Section text{};
    current_section = &text;
    current_source = &main_source;
    pass_number = 2;
    pending_shadow = 0;
    struct Row {
        const char* line;
        int32_t shadow;
        int32_t delayed_form;
    };
    const Row rows[] = {
        {"\treturn\n", 0, 0},
        {"\tpbra\t.L2\n", 0, 1},
        {"L1:\tPRETURN\n", 0, 1},
        {"\treturn\n", SHADOW_SKIP, 0},
    };
    for (const Row& row : rows) {
        schedule_open_block = nullptr;
        main_source.line = 4;
        sched_record_instruction(1, ResourcePair{W(1), W(2)}, ResourcePair{});
        std::snprintf(line_buffer, sizeof line_buffer, "%s", row.line);
        pending_shadow = row.shadow;
        main_source.line = 5;
        SchedBlock* b = schedule_open_block;
        ASSERT_NE(b, nullptr);
        sched_record_branch(2, 100, ResourcePair{}, ResourcePair{});
        pending_shadow = 0;
        ASSERT_NE(b->branch, nullptr);
        EXPECT_EQ(b->branch->shadow, row.shadow) << row.line;
        EXPECT_EQ(b->branch->delayed_form, row.delayed_form) << row.line;
        EXPECT_EQ(sched_branch_in_shadow(b), row.shadow != 0) << row.line;
        // The next instruction opens a block that begins with the slots of
        // a delayed form.
        main_source.line = 6;
        sched_record_instruction(1, ResourcePair{W(3), W(4)}, ResourcePair{});
        EXPECT_EQ(schedule_open_block->delayed_before, row.delayed_form != 0 ? b->branch : nullptr) << row.line;
    }

    // A delayed form with no open block belongs to no block, and still
    // begins the next block with its two slots.
    schedule_open_block = nullptr;
    std::snprintf(line_buffer, sizeof line_buffer, "%s", "\tpbra\t.L2\n");
    main_source.line = 8;
    text.instruction_count = 3;
    sched_record_branch(2, 100, ResourcePair{}, ResourcePair{});
    EXPECT_EQ(schedule_open_block, nullptr);
    for (int32_t line : {9, 10, 11}) {
        main_source.line = line;
        text.instruction_count += 1;
        sched_record_instruction(1, ResourcePair{W(line - 8), 0}, ResourcePair{});
    }
    SchedBlock* after = schedule_open_block;
    ASSERT_NE(after->delayed_before, nullptr);
    EXPECT_EQ(after->delayed_before->line, 8);
    EXPECT_EQ(sched_source_slot_count(after), 2);
    current_section = nullptr;
    pass_number = 0;
}

// ---- Where the delayed form's letter goes ---------------------------------------------

TEST(SchedLineTest, MnemonicOffsetSkipsBlanksAndLabels) {
    struct Row {
        const char* line;
        size_t offset;
    };
    const Row rows[] = {
        {"\treturn\n", 1},
        {"    bra\t.L5\n", 4},
        {"L1:\treturn\n", 4},
        {"L1 return\n", 3},
        {"L1 :  bra L2\n", 6},
        {"\t.L3: bra\t.L3\n", 6},
        {"1:\tretlw #0,w0\n", 3},
        {"\tbra\tz, .L2 ; comment\n", 1},
        {"\n", 1},
        {"\rreturn\n", 1},
        {"\r\tbra\t.L3\n", 2},
        {"L1:\r bra\t.L3\n", 5},
        {"\rbra\t.L3\n", 1},
        {"_g:\rbra\t.L3\n", 4},
        {"\r_g: bra\t.L3\n", 5},
        {"\t$$ bra\t.L3\n", 4},
        {"$$ bra\t.L3\n", 3},
        {"\treturn$\n", 1},
    };
    for (const Row& row : rows) EXPECT_EQ(sched_mnemonic_offset(row.line), row.offset) << row.line;
}

TEST(SchedLineTest, DelayedFormsAreRecognisedInAnyCase) {
    EXPECT_TRUE(sched_line_has_delayed_form("\tpbra\t.L2\n"));
    EXPECT_TRUE(sched_line_has_delayed_form("\tPRETURN\n"));
    EXPECT_TRUE(sched_line_has_delayed_form("L1:\tPretfie\n"));
    EXPECT_TRUE(sched_line_has_delayed_form("\tpretlw.b #1,w0\n"));
    EXPECT_FALSE(sched_line_has_delayed_form("\tbra\t.L2\n"));
    EXPECT_FALSE(sched_line_has_delayed_form("\treturn\n"));
    EXPECT_FALSE(sched_line_has_delayed_form("\tpbrax\n"));
    EXPECT_FALSE(sched_line_has_delayed_form("pbra:\treturn\n"));
    EXPECT_TRUE(sched_line_has_delayed_form("\rpreturn\n"));
    EXPECT_TRUE(sched_line_has_delayed_form("\tpreturn$\n"));
    EXPECT_TRUE(sched_line_has_delayed_form("\tPBRA+2\n"));
    EXPECT_FALSE(sched_line_has_delayed_form("\rreturn\n"));
    EXPECT_TRUE(sched_line_has_delayed_form("\tpbra$+2\n"));
    EXPECT_TRUE(sched_line_has_delayed_form("\tpbra\r.L2\n"));
    EXPECT_FALSE(sched_line_has_delayed_form("\rreturnp\n"));
}

// ---- The plain algorithms, as the oracle ---------------------------------------------

struct PlainNode {
    SchedInstruction* instruction;
    std::vector<int> successors;  // edge targets in creation order
    std::vector<int> predecessors;
    int height = 0;
    int earliest = 0;
};

// What the plain algorithm leaves of the graph, by source line: the roots,
// every edge as "from->to@latency" node by node, each node's
// predecessors, and the heights in program order.
struct PlainGraph {
    std::vector<int32_t> roots;
    std::vector<std::string> edges;
    std::vector<std::vector<int32_t>> predecessors;
    std::vector<int32_t> heights;
};

// Builds the graph and schedules it the literal way: every earlier node
// compared, predecessor lists found by searching every node's successors,
// readiness found by looking each predecessor up in the schedule.
std::vector<SchedInstruction*> plain_schedule(const SchedBlock* block, int pinned, PlainGraph& graph) {
    std::vector<PlainNode> nodes;
    std::vector<int> roots;
    for (SchedInstruction* r = block->first; r != nullptr; r = r->next) {
        int n = static_cast<int>(nodes.size());
        nodes.push_back({r, {}, {}});
        bool any = false;
        for (int e = 0; e < n; ++e)
            if (sched_depends(nodes[e].instruction, r)) {
                nodes[e].successors.push_back(n);
                any = true;
            }
        if (!any) roots.push_back(n);
    }
    const int count = static_cast<int>(nodes.size());
    for (int n = 0; n < count; ++n)
        for (int m = 0; m < count; ++m)
            if (std::find(nodes[m].successors.begin(), nodes[m].successors.end(), n) != nodes[m].successors.end())
                nodes[n].predecessors.push_back(m);
    for (int n = count - 1; n >= 0; --n) {
        int height = 1;
        bool any = false;
        for (int s : nodes[n].successors) {
            int through = sched_edge_latency(nodes[n].instruction, nodes[s].instruction) + nodes[s].height;
            if (!any || through > height) height = through;
            any = true;
        }
        nodes[n].height = height;
    }
    int held = -1;
    if (sched_branch_in_shadow(block) && count > 0 && nodes[count - 1].instruction == block->last) held = count - 1;

    auto lowest_ordinal = [&](const std::vector<int>& list) {
        int found = -1;
        for (int n : list)
            if (found < 0 || nodes[n].instruction->ordinal < nodes[found].instruction->ordinal) found = n;
        return found;
    };
    std::vector<int> ready = roots;
    std::vector<int> schedule;
    int counter = 0;
    while (!ready.empty()) {
        std::vector<int> candidates;
        for (int n : ready)
            if (n != held || ready.size() == 1) candidates.push_back(n);
        int max = nodes[candidates[0]].height;
        for (int n : candidates) max = std::max(max, nodes[n].height);
        std::vector<int> best, available;
        for (int n : candidates)
            if (nodes[n].height == max) best.push_back(n);
        for (int n : best)
            if (nodes[n].earliest <= counter) available.push_back(n);
        int chosen;
        if (counter < pinned)
            chosen = counter;
        else if (best.size() == 1)
            chosen = best[0];
        else if (available.size() == 1)
            chosen = available[0];
        else if (available.size() > 1)
            chosen = lowest_ordinal(available);
        else
            chosen = lowest_ordinal(best);
        schedule.push_back(chosen);
        ready.erase(std::find(ready.begin(), ready.end(), chosen));
        counter += 1;
        for (int s : nodes[chosen].successors) {
            bool all = true;
            for (int p : nodes[s].predecessors)
                if (std::find(schedule.begin(), schedule.end(), p) == schedule.end()) all = false;
            if (all && std::find(ready.begin(), ready.end(), s) == ready.end()) ready.push_back(s);
            int earliest = counter + sched_edge_latency(nodes[chosen].instruction, nodes[s].instruction);
            nodes[s].earliest = nodes[chosen].earliest > earliest ? nodes[chosen].earliest : earliest;
        }
    }
    std::vector<SchedInstruction*> result;
    for (int n : schedule) result.push_back(nodes[n].instruction);
    for (int r : roots) graph.roots.push_back(nodes[r].instruction->line);
    for (const PlainNode& node : nodes) {
        for (int s : node.successors)
            graph.edges.push_back(std::to_string(node.instruction->line) + "->" +
                                  std::to_string(nodes[s].instruction->line) + "@" +
                                  std::to_string(sched_edge_latency(node.instruction, nodes[s].instruction)));
        std::vector<int32_t> lines;
        for (int p : node.predecessors) lines.push_back(nodes[p].instruction->line);
        graph.predecessors.push_back(lines);
        graph.heights.push_back(node.height);
    }
    return result;
}

struct PlainFill {
    const SchedInstruction* first = nullptr;
    const SchedInstruction* second = nullptr;
    int nops = 0;
};

bool plain_free_after(const std::vector<SchedInstruction*>& a, int i, int except) {
    for (int j = i + 1; j < static_cast<int>(a.size()); ++j)
        if (j != except && sched_depends(a[i], a[j])) return false;
    return true;
}

bool plain_exception(const SchedInstruction* branch, const SchedInstruction* x) {
    return branch->arch.uses == SR && (x->arch.defs & SR) != 0;
}

// The filler the literal way, over the schedule array.
PlainFill plain_fill(const SchedBlock* block, const std::vector<SchedInstruction*>& a) {
    PlainFill fill;
    const SchedInstruction* branch = block->branch;
    if ((option_flags & OPT_DELAY_SLOTS) == 0 || branch == nullptr || branch->slots <= 0) return fill;
    if (block->probability < 50 || branch->delayed_form != 0) return fill;
    const int n = static_cast<int>(a.size());
    const int s = branch->slots;
    const int pinned = block->dag->pinned;
    for (int i = n - 1; i >= pinned; --i) {
        const SchedInstruction* p = a[i];
        if (!(p->slots > 0 && p->slots <= s) || sched_depends_except_flags(p, branch)) continue;
        if (p->slots == s) {
            if (plain_free_after(a, i, -1)) {
                fill.first = p;
                return fill;
            }
            continue;
        }
        int partner = -1;
        for (int k = i + 1; k < n; ++k) {
            const SchedInstruction* q = a[k];
            if (q->slots > 0 && p->slots + q->slots == s && !sched_depends_except_flags(q, branch) &&
                plain_free_after(a, k, -1) && plain_free_after(a, i, k)) {
                partner = k;
                break;
            }
        }
        if (partner < 0) continue;
        bool refused = false;
        if (!plain_exception(branch, a[partner]))
            for (int y = i + 1; y < partner; ++y)
                if (sched_depends(branch, a[y])) refused = true;
        if (refused) continue;
        fill.first = p;
        fill.second = a[partner];
        return fill;
    }
    if (!(s > 1 && (delay_slot_level == 1 || (delay_slot_level == 2 && branch->arch.uses == 0)))) return fill;
    for (int i = n - 1; i >= pinned; --i) {
        const SchedInstruction* p = a[i];
        if (!(p->slots > 0 && p->slots < s) || sched_depends_except_flags(p, branch)) continue;
        if (!plain_free_after(a, i, -1)) continue;
        bool blocked = false;
        if (!plain_exception(branch, p))
            for (int y = i + 1; y < n; ++y)
                if (sched_depends(branch, a[y])) blocked = true;
        if (blocked) continue;
        fill.first = p;
        fill.nops = 1;
        return fill;
    }
    return fill;
}

// Resource masks drawn from few registers, so that dependences are dense.
uint32_t random_mask(std::mt19937& random, int bits) {
    static const uint32_t pool[] = {W(0), W(1), W(2), W(3), W(4), W(15), DATA, SR};
    uint32_t mask = 0;
    for (int i = 0; i < bits; ++i) mask |= pool[random() % 8];
    return mask;
}

TEST_F(SchedTest, CountingSchedulerAndFillerAgreeWithThePlainAlgorithms) {
    std::mt19937 random(20261210);
    const int32_t slot_choices[] = {-1, 0, 1, 1, 1, 1, 2};
    const uint32_t branch_uses[] = {0, SR, SR, W(15), W(2), SR | W(1)};
    int filled = 0, paired = 0, partial = 0, reordered = 0;
    for (int round = 0; round < 4000; ++round) {
        option_flags = static_cast<uint8_t>(OPT_SCHEDULE | OPT_DELAY_SLOTS);
        delay_slot_level = static_cast<int32_t>(random() % 3);
        const int size = 1 + static_cast<int>(random() % (round % 50 == 0 ? 300 : round % 10 == 0 ? 40 : 12));
        std::vector<Insn> insns;
        for (int i = 0; i < size; ++i) {
            Insn insn{i + 1, random_mask(random, 1 + random() % 2), random_mask(random, random() % 3)};
            insn.hazard_defs = insn.defs & 0xFFFFu & random_mask(random, 2);
            insn.hazard_uses = insn.uses & 0xFFFFu & random_mask(random, 2);
            // Now and then a hazard pair that names other registers.
            if (round % 7 == 3 && random() % 4 == 0) insn.hazard_defs |= random_mask(random, 1) & 0xFFFFu;
            if (round % 7 == 3 && random() % 4 == 0) insn.hazard_uses |= random_mask(random, 1) & 0xFFFFu;
            insn.slots = slot_choices[random() % 7];
            // Mostly rising ordinals; now and then a second section's.
            insn.ordinal = random() % 5 == 0 ? static_cast<int32_t>(random() % 4) : i + 10;
            insns.push_back(insn);
        }
        Insn branch{size + 1, random() % 3 == 0 ? W(15) : 0, branch_uses[random() % 6], 0, 0,
                    static_cast<int32_t>(random() % 3)};
        SchedBlock* b = block_with_branch(insns, branch, random() % 4 == 0 ? 25 : 100);
        if (random() % 6 == 0) b->branch->shadow = SHADOW_SKIP;

        // Now and then the first instructions are the slots of a branch the
        // source delayed itself.
        const int pinned = round % 8 == 5 ? std::min(size, 1 + static_cast<int>(random() % 2)) : 0;
        PlainGraph graph;
        std::vector<SchedInstruction*> expected = plain_schedule(b, pinned, graph);
        SchedDag* dag = sched_build_dag(b);
        b->dag = dag;
        dag->pinned = pinned;
        sched_list_schedule(dag);
        std::vector<SchedInstruction*> actual;
        for (const SchedPtrItem* item = dag->schedule.head; item != nullptr; item = item->next)
            actual.push_back(item->pointer->instruction);
        ASSERT_EQ(actual, expected) << "round " << round;
        std::vector<int> actual_heights;
        for (const SchedNode* node = dag->nodes.head; node != nullptr; node = node->next)
            actual_heights.push_back(node->height);
        ASSERT_EQ(actual_heights, graph.heights) << "round " << round;
        // The lists the debug page shows.
        ASSERT_EQ(lines_of(dag->roots), graph.roots) << "round " << round;
        sched_build_edges(dag);
        ASSERT_EQ(edges(dag), graph.edges) << "round " << round;
        std::vector<std::vector<int32_t>> actual_predecessors;
        for (const SchedNode* node = dag->nodes.head; node != nullptr; node = node->next) {
            actual_predecessors.push_back(lines_of(node->predecessors));
            std::vector<int32_t> targets;
            for (const SchedEdge* edge = node->edges.head; edge != nullptr; edge = edge->next)
                targets.push_back(edge->to->instruction->line);
            ASSERT_EQ(lines_of(node->successors), targets) << "round " << round;
        }
        ASSERT_EQ(actual_predecessors, graph.predecessors) << "round " << round;
        for (size_t i = 0; i < actual.size(); ++i)
            if (actual[i]->line != static_cast<int32_t>(i) + 1) {
                reordered += 1;
                break;
            }

        PlainFill plain = plain_fill(b, expected);
        sched_fill_delay_slots(b);
        ASSERT_EQ(b->first_slot, plain.first) << "round " << round;
        ASSERT_EQ(b->second_slot, plain.second) << "round " << round;
        ASSERT_EQ(b->nop_count, plain.nops) << "round " << round;
        filled += plain.first != nullptr;
        paired += plain.second != nullptr;
        partial += plain.nops;
        pool_release(POOL_SCRATCH);
    }
    // The generated blocks reach every kind of outcome.
    EXPECT_GT(reordered, 100);
    EXPECT_GT(filled, 100);
    EXPECT_GT(paired, 50);
    EXPECT_GT(partial, 20);
}

}  // namespace
