// Preparing the recorded blocks for the search: pruning, welding skips to
// their shadows, classing, cutting out unique instructions, and the
// instruction-word tests and stack-offset rule shared by the optimiser.
#include <gtest/gtest.h>

#include <vector>

#include "pa_opt_support.h"

namespace {

using namespace pa_words;

class PaPrepare : public PaOptTest {};

// ---- Word tests ------------------------------------------------------------

TEST_F(PaPrepare, WordTests) {
    struct Case {
        uint32_t word;
        bool skip;
        bool transfer;
        bool stack_move;
    };
    const Case cases[] = {
        {0xA61000, true, false, false},    // btss w0,#1
        {0xA70000, true, false, false},    // btsc
        {0xAE2000, true, false, false},    // btss f
        {0xAF2000, true, false, false},    // btsc f
        {0x090003, true, false, false},    // repeat #3
        {0x098001, true, false, false},    // repeat w1
        {0xE60001, true, false, false},    // cpseq family pattern
        {0xE78000, true, false, false},
        {0xE00000, false, false, false},
        {0x040000, false, true, false},    // goto address
        {0x050001, false, true, false},    // retlw
        {0x37FFFE, false, true, false},    // bra
        {0x014003, false, true, false},    // goto w3 (default family)
        {0x060000, false, true, false},    // return
        {0x010403, false, true, false},    // goto w3, the other families
        {0x018402, false, true, false},    // goto.l w2
        {0x01840F, false, true, false},
        {0x018412, false, false, false},   // not the GOTO.L pattern (bit 4 set)
        {0x064000, false, false, false},   // retfie is not a transfer
        {0x3A0000, false, false, false},   // bra with a condition
        {0x020000, false, false, false},   // call
        {load_w15(-6), false, false, true},
        {load_w15_byte(-3), false, false, true},
        {store_w15(-6), false, false, true},
        {0x90000E, false, false, false},   // load based on w14
        {0x980700, false, false, false},   // store based on w14
        {PA_CALL_WORD, false, false, false},
        {PA_LABEL_WORD, false, false, false},
    };
    for (const Case& c : cases) {
        PaInstruction record{};
        record.encoding.word = c.word;
        SCOPED_TRACE(testing::Message() << std::hex << c.word);
        EXPECT_EQ(pa_is_skip_or_repeat(&record), c.skip);
        EXPECT_EQ(pa_is_unconditional_transfer(&record), c.transfer);
        EXPECT_EQ(pa_is_stack_relative_move(&record), c.stack_move);
    }
}

// ---- Stack offsets ---------------------------------------------------------

TEST_F(PaPrepare, StackOffsetAdjustment) {
    struct Case {
        uint32_t word;
        int32_t levels;
        uint32_t expected;
        bool fits;
    };
    const Case cases[] = {
        {load_w15(-6), 1, load_w15(-10), true},
        {load_w15(-6), 2, load_w15(-14), true},
        {load_w15(-1018), 1, load_w15(-1022), true},
        {load_w15(-1020), 1, load_w15(-1024), true},
        {load_w15(-1020), 2, load_w15(-1028), false},  // written all the same
        {load_w15(-1018), 2, load_w15(-1026), false},
        {load_w15_byte(-508), 1, load_w15_byte(-512), true},
        {load_w15_byte(-508), 2, load_w15_byte(-516), false},
        {store_w15(-2), 1, store_w15(-6), true},
        {load_w15(8), 1, load_w15(4), true},
    };
    for (const Case& c : cases) {
        PaInstruction record{};
        record.encoding = PaEncoding{c.word, 7, nullptr};
        PaEncoding out{};
        SCOPED_TRACE(testing::Message() << std::hex << c.word << " levels " << c.levels);
        EXPECT_EQ(pa_adjust_stack_offset(&record, c.levels, &out), c.fits);
        EXPECT_EQ(out.word & 0xFFFFFF, c.expected & 0xFFFFFF);
        EXPECT_EQ(out.operand, 7u);
    }
    // Hand-worked: [W15-6] in word mode is field -3 (0x3FD): 1111 in bits
    // 18..15, 111 in 13..11, 101 in 6..4; [W15-10] is field -5 (0x3FB).
    EXPECT_EQ(load_w15(-6), 0x97B85Fu);
    EXPECT_EQ(load_w15(-10), 0x97B83Fu);

    PaInstruction other{};
    other.encoding.word = alu(1);
    PaEncoding out{};
    EXPECT_FALSE(pa_adjust_stack_offset(&other, 1, &out));
    EXPECT_EQ(out.word, alu(1));
}

// ---- Pruning ---------------------------------------------------------------

TEST_F(PaPrepare, PruningKeepsBlocksOfMoreThanOneWord) {
    PaBlock* one_word = block();
    add(one_word, alu(1), 1);
    PaBlock* two_words = block();
    add(two_words, CALL, 2, 2);
    PaBlock* markers = block();
    marker(markers, 3);
    marker(markers, 4);
    PaBlock* pair = block();
    add(pair, alu(1), 5);
    marker(pair, 6);
    add(pair, alu(2), 7);
    pa_prune_blocks(basic_block_list);
    ASSERT_EQ(basic_block_list.head, two_words);
    EXPECT_EQ(two_words->next, pair);
    EXPECT_EQ(pair->next, nullptr);
    // A block appended afterwards still lands at the end.
    PaBlock* later = block();
    EXPECT_EQ(pair->next, later);
}

// ---- Fusing ----------------------------------------------------------------

TEST_F(PaPrepare, SkipIsWeldedToItsShadow) {
    PaBlock* b = block();
    PaInstruction* skip = add(b, BTSS, 1);
    PaInstruction* shadow = add(b, CALL, 2, 2, 0x10);
    add(b, alu(1), 3);
    pa_fuse_skip_pairs(basic_block_list);
    EXPECT_EQ(b->count, 2);
    EXPECT_EQ(skip->follower, &shadow->encoding);
    EXPECT_EQ(skip->size, 3);
    EXPECT_EQ(skip->last_line, 2);
    EXPECT_EQ(skip->next->first_line, 3);
}

TEST_F(PaPrepare, SkipInTheShadowOfASkipIsItsFollower) {
    PaBlock* b = block();
    PaInstruction* first = add(b, BTSS, 1);
    add(b, BTSC, 2);
    PaInstruction* after = add(b, alu(1), 3);
    pa_fuse_skip_pairs(basic_block_list);
    ASSERT_EQ(b->count, 2);
    EXPECT_EQ(first->follower->word, BTSC);
    EXPECT_EQ(first->next, after);
    EXPECT_EQ(after->follower, nullptr);
}

TEST_F(PaPrepare, RepeatAndItsShadowFormOneRecord) {
    PaBlock* b = block();
    add(b, alu(1), 1);
    PaInstruction* repeat = add(b, REPEAT, 2);
    add(b, alu(2), 3);
    pa_fuse_skip_pairs(basic_block_list);
    EXPECT_EQ(b->count, 2);
    EXPECT_EQ(repeat->size, 2);
    EXPECT_EQ(repeat->first_line, 2);
    EXPECT_EQ(repeat->last_line, 3);
    EXPECT_EQ(b->last, repeat);
    EXPECT_EQ(b->last_line, 3);
}

TEST_F(PaPrepare, SkipThatEndsItsBlockIsCutOut) {
    PaBlock* b = block();
    add(b, alu(1), 1);
    add(b, alu(2), 2);
    PaInstruction* skip = add(b, BTSS, 3);
    pa_fuse_skip_pairs(basic_block_list);
    EXPECT_EQ(b->count, 2);
    EXPECT_EQ(b->last_line, 2);
    EXPECT_EQ(b->last->next, nullptr);
    EXPECT_EQ(skip->follower, nullptr);
    EXPECT_EQ(b->next, nullptr);  // nothing followed it: no new piece
}

// ---- Cutting ---------------------------------------------------------------

TEST_F(PaPrepare, CuttingSplitsTheBlock) {
    PaBlock* b = block();
    for (int line = 1; line <= 5; ++line) add(b, alu(line), line);
    PaBlock* after = block();
    add(after, alu(9), 9);
    const int32_t next_id = basic_block_list.next_id;
    pa_cut_block(b, b->first->next->next);  // line 3
    EXPECT_EQ(b->count, 2);
    EXPECT_EQ(b->first_line, 1);
    EXPECT_EQ(b->last_line, 2);
    EXPECT_EQ(b->last->first_line, 2);
    EXPECT_EQ(b->last->next, nullptr);
    PaBlock* piece = b->next;
    ASSERT_NE(piece, after);
    EXPECT_EQ(piece->next, after);
    EXPECT_EQ(piece->count, 2);
    EXPECT_EQ(piece->first_line, 4);
    EXPECT_EQ(piece->last_line, 5);
    EXPECT_EQ(piece->uses, 0);
    EXPECT_EQ(piece->id, static_cast<uint32_t>(next_id));
    EXPECT_EQ(piece->section, &text);
    EXPECT_EQ(basic_block_list.next_id, next_id + 1);
}

TEST_F(PaPrepare, CuttingTheFirstRecordLeavesAnEmptyBlock) {
    PaBlock* b = block();
    add(b, alu(1), 1);
    add(b, alu(2), 2);
    pa_cut_block(b, b->first);
    EXPECT_EQ(b->count, 0);
    EXPECT_EQ(b->first, nullptr);
    EXPECT_EQ(b->last, nullptr);
    EXPECT_EQ(b->first_line, 0);
    ASSERT_NE(b->next, nullptr);
    EXPECT_EQ(b->next->count, 1);
}

TEST_F(PaPrepare, CuttingARecordNotInTheBlockIsAnInternalError) {
    PaBlock* b = block();
    add(b, alu(1), 1);
    PaBlock* other = block();
    PaInstruction* stranger = add(other, alu(2), 2);
    testing::internal::CaptureStderr();
    EXPECT_THROW(pa_cut_block(b, stranger), AsmTrap);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Internal error detected (../src/paasmpa,1228)"),
              std::string::npos);
}

// ---- Classing --------------------------------------------------------------

TEST_F(PaPrepare, EqualEncodingsShareAClassAndUniqueOnesAreCut) {
    PaBlock* first = block();
    PaInstruction* a1 = add(first, alu(1), 1);
    PaInstruction* a2 = add(first, alu(2), 2);
    PaInstruction* unique = add(first, alu(3), 3);
    add(first, alu(1), 4);
    add(first, alu(2), 5);
    pa_classify_instructions(basic_block_list);
    EXPECT_GT(a1->class_id, 0);
    EXPECT_GT(a2->class_id, 0);
    EXPECT_NE(a1->class_id, a2->class_id);
    EXPECT_EQ(unique->class_id, 0);
    EXPECT_EQ(first->next->first->class_id, a1->class_id);
    EXPECT_EQ(counts(), (std::vector<int32_t>{2, 2}));
}

TEST_F(PaPrepare, FollowersAndSymbolsTakePartInTheClass) {
    Symbol s1{};
    Symbol s2{};
    PaBlock* b = block();
    PaInstruction* skip_a = add(b, BTSS, 1);
    add(b, alu(1), 2);
    PaInstruction* skip_b = add(b, BTSS, 3);
    add(b, alu(2), 4);
    PaInstruction* skip_c = add(b, BTSS, 5);
    add(b, alu(1), 6);
    PaInstruction* call_1 = add(b, CALL, 7, 2, 0, &s1);
    PaInstruction* call_2 = add(b, CALL, 8, 2, 0, &s2);
    PaInstruction* call_3 = add(b, CALL, 9, 2, 0, &s1);
    pa_fuse_skip_pairs(basic_block_list);
    pa_classify_instructions(basic_block_list);
    EXPECT_GT(skip_a->class_id, 0);
    EXPECT_EQ(skip_a->class_id, skip_c->class_id);
    EXPECT_EQ(skip_b->class_id, 0);
    EXPECT_GT(call_1->class_id, 0);
    EXPECT_EQ(call_1->class_id, call_3->class_id);
    EXPECT_EQ(call_2->class_id, 0);
}

// ---- The whole preparation -------------------------------------------------

TEST_F(PaPrepare, PairWithAUniqueInstructionIsPrunedAfterCutting) {
    PaBlock* pair = block();
    add(pair, alu(1), 1);
    add(pair, alu(2), 2);  // unique
    PaBlock* other = block();
    add(other, alu(1), 4);
    add(other, alu(3), 5);
    add(other, alu(1), 6);
    add(other, alu(3), 7);
    prepare();
    // The pair loses line 2 and its one-word rest goes; the other keeps all.
    ASSERT_EQ(basic_block_list.head, other);
    EXPECT_EQ(other->next, nullptr);
    EXPECT_EQ(other->count, 4);
}

TEST_F(PaPrepare, LoneBranchTargetMarkerIsCutOut) {
    PaBlock* b = block();
    add(b, alu(1), 1);
    add(b, alu(2), 2);
    marker(b, 3);
    add(b, alu(1), 4);
    add(b, alu(2), 5);
    prepare();
    EXPECT_EQ(counts(), (std::vector<int32_t>{2, 2}));
    EXPECT_EQ(lines_of(basic_block_list.head), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(lines_of(basic_block_list.head->next), (std::vector<int32_t>{4, 5}));
}

TEST_F(PaPrepare, TwoMarkersShareAClass) {
    PaBlock* b = block();
    PaInstruction* m1 = marker(b, 1);
    add(b, alu(1), 2);
    add(b, alu(2), 3);
    PaInstruction* m2 = marker(b, 4);
    add(b, alu(1), 5);
    add(b, alu(2), 6);
    prepare();
    EXPECT_GT(m1->class_id, 0);
    EXPECT_EQ(m1->class_id, m2->class_id);
    EXPECT_EQ(counts(), (std::vector<int32_t>{6}));
}

TEST_F(PaPrepare, UniqueInstructionSplitsTheBlock) {
    // The unique instruction on line 5 is cut out; the pieces on both
    // sides hold only repeated instructions and stay.
    PaBlock* b = block();
    add(b, alu(1), 3);
    add(b, alu(2), 4);
    add(b, alu(7), 5);
    add(b, alu(1), 6);
    add(b, alu(2), 7);
    add(b, RETURN, 8);
    PaBlock* c = block();
    add(c, alu(1), 10);
    add(c, alu(2), 11);
    add(c, RETURN, 12);
    prepare();
    EXPECT_EQ(counts(), (std::vector<int32_t>{2, 3, 3}));
}

}  // namespace
