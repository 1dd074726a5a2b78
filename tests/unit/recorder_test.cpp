// The two optimisers' recorders: what pass 2 keeps of the instructions,
// where blocks end, and the listing mark. The first part drives the
// recorders directly, the way the encoders and the statement loop call
// them; the second assembles compiler-style sources through the driver.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmintern.h"
#include "paasmis.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmpa.h"
#include "paasmquodra.h"
#include "paasmsym.h"
#include "asm_support.h"
#include "test_support.h"

namespace {

// ---- Direct calls ------------------------------------------------------------------

// A pass-2 state with its own section and switch symbols.
class RecorderTest : public testing::Test {
protected:
    Section text{};
    Section data{};
    Symbol pa_switch{};
    Symbol bp_switch{};

    void SetUp() override {
        pass_number = 2;
        option_flags = OPT_ABSTRACT;
        pending_shadow = 0;
        lines_read = 0;
        main_source.line = 0;
        main_source.marks[3] = '?';
        text.memory_kind = MEMORY_PROGRAM;
        data.memory_kind = MEMORY_PROGRAM;
        current_section = &text;
        basic_block_list = PaBlockList{};
        opened_aggregation_list = PaBlockList{};
        closed_aggregation_list = PaBlockList{};
        recording_block = nullptr;
        abstraction_switch_symbol = &pa_switch;
        pa_switch.value.word = 1;
        branch_probability_symbol = &bp_switch;
        schedule_open_block = nullptr;
        schedule_block_list = nullptr;
    }

    void TearDown() override {
        current_section = nullptr;
        abstraction_switch_symbol = nullptr;
        branch_probability_symbol = nullptr;
        option_flags = OPT_ABSTRACT;
        pass_number = 0;
    }

    // Moves to source line `line` at address `location`, as the statement
    // loop and the emitters would.
    void at(int32_t line, uint32_t location) {
        lines_read = line;
        main_source.line = line;
        current_section->location = location;
        main_source.marks[3] = ' ';
    }

    static std::vector<const PaBlock*> blocks() {
        std::vector<const PaBlock*> result;
        for (const PaBlock* block = basic_block_list.head; block != nullptr; block = block->next)
            result.push_back(block);
        return result;
    }

    static std::vector<uint32_t> words_of(const PaBlock* block) {
        std::vector<uint32_t> result;
        for (const PaInstruction* record = block->first; record != nullptr; record = record->next)
            result.push_back(record->encoding.word);
        return result;
    }

    static std::vector<const SchedBlock*> sched_blocks() {
        std::vector<const SchedBlock*> result;
        for (const SchedBlock* block = schedule_block_list; block != nullptr; block = block->next)
            result.push_back(block);
        return result;
    }

    static int sched_count(const SchedBlock* block) {
        int count = 0;
        for (const SchedInstruction* record = block->first; record != nullptr; record = record->next) ++count;
        return count;
    }
};

TEST_F(RecorderTest, OneWordInstructionIsRecordedWithItsLineAddressAndSize) {
    Symbol target{};
    at(7, 0x24);
    pa_record_one_word(0x780081, &target);
    ASSERT_EQ(blocks().size(), 1u);
    const PaBlock* block = basic_block_list.head;
    EXPECT_EQ(block->section, &text);
    EXPECT_EQ(block->uses, 1);
    EXPECT_EQ(block->id, 0u);
    EXPECT_EQ(block->count, 1);
    EXPECT_EQ(block->first_line, 7);
    EXPECT_EQ(block->last_line, 7);
    EXPECT_EQ(block->level, 0);
    EXPECT_EQ(block->flags, 0);
    const PaInstruction* record = block->first;
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(block->last, record);
    EXPECT_EQ(record->first_line, 7);
    EXPECT_EQ(record->last_line, 7);
    EXPECT_EQ(record->size, 1);
    EXPECT_EQ(record->class_id, 0);
    EXPECT_EQ(record->location, 0x24u);
    EXPECT_EQ(record->encoding.word, 0x780081u);
    EXPECT_EQ(record->encoding.operand, 0u);
    EXPECT_EQ(record->encoding.symbol, &target);
    EXPECT_EQ(record->follower, nullptr);
    EXPECT_EQ(main_source.marks[3], '*');
    EXPECT_EQ(recording_block, block);
}

TEST_F(RecorderTest, TwoWordInstructionKeepsItsSecondWord) {
    at(3, 0x10);
    const uint32_t words[2] = {0x020400, 0x000001};
    pa_record_two_words(words, nullptr);
    const PaInstruction* record = basic_block_list.head->first;
    EXPECT_EQ(record->size, 2);
    EXPECT_EQ(record->encoding.word, 0x020400u);
    EXPECT_EQ(record->encoding.operand, 0x000001u);
    EXPECT_EQ(record->location, 0x10u);
}

// A block holds one section's code: the call that replaces a sequence is
// written in one section.
TEST_F(RecorderTest, AnInstructionOfAnotherSectionOpensANewBlock) {
    at(2, 0);
    pa_record_one_word(0x000001, nullptr);
    current_section = &data;
    at(4, 0x40);
    pa_record_one_word(0x000002, nullptr);
    ASSERT_EQ(blocks().size(), 2u);
    const PaBlock* first = basic_block_list.head;
    const PaBlock* second = first->next;
    EXPECT_EQ(first->section, &text);
    EXPECT_EQ(words_of(first), (std::vector<uint32_t>{1}));
    EXPECT_EQ(first->last_line, 2);
    EXPECT_EQ(second->section, &data);
    EXPECT_EQ(words_of(second), (std::vector<uint32_t>{2}));
    EXPECT_EQ(second->first_line, 4);
    EXPECT_EQ(second->last->location, 0x40u);
}

TEST_F(RecorderTest, EndingABlockTwiceOpensOnlyOneNewBlock) {
    at(1, 0);
    pa_record_one_word(0x000001, nullptr);
    pa_end_block();
    pa_end_block();  // GOTO W15: the register ends it, then the GOTO does
    EXPECT_EQ(recording_block, nullptr);
    at(2, 2);
    pa_record_one_word(0x000002, nullptr);
    auto list = blocks();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(words_of(list[0]), (std::vector<uint32_t>{1}));
    EXPECT_EQ(words_of(list[1]), (std::vector<uint32_t>{2}));
    EXPECT_EQ(list[1]->id, 1u);
    EXPECT_EQ(list[1]->first_line, 2);
    EXPECT_EQ(basic_block_list.count, 2);
    EXPECT_EQ(basic_block_list.next_id, 2);
}

TEST_F(RecorderTest, ZeroSwitchRecordsNothingAndEndsTheBlock) {
    const uint64_t switch_values[] = {0, uint64_t{1} << 32};
    for (uint64_t value : switch_values) {
        SetUp();
        at(1, 0);
        pa_record_one_word(0x000001, nullptr);
        pa_switch.value.raw = value;
        at(2, 2);
        pa_record_one_word(0x000002, nullptr);
        EXPECT_EQ(main_source.marks[3], ' ') << value;
        EXPECT_EQ(recording_block, nullptr) << value;
        pa_switch.value.raw = 5;
        at(3, 4);
        pa_record_one_word(0x000003, nullptr);
        auto list = blocks();
        ASSERT_EQ(list.size(), 2u) << value;
        EXPECT_EQ(words_of(list[0]), (std::vector<uint32_t>{1}));
        EXPECT_EQ(words_of(list[1]), (std::vector<uint32_t>{3}));
    }
}

TEST_F(RecorderTest, PassOneRecordsNothingAndSetsNoMark) {
    pass_number = 1;
    main_source.marks[3] = '?';
    pa_record_one_word(0x000001, nullptr);
    EXPECT_EQ(basic_block_list.head, nullptr);
    EXPECT_EQ(main_source.marks[3], '?');
}

struct WordTest {
    uint32_t word;
    bool skip_or_repeat;
    bool transfer;
    char mark;
    const char* what;
};

const WordTest word_tests[] = {
    {0xA60000, true, false, '+', "BTSS W0,#0"},
    {0xA70000, true, false, '+', "BTSC W0,#0"},
    {0xAE0000, true, false, '+', "BTSS f,#0"},
    {0xAF2000, true, false, '+', "BTSC f,#1"},
    {0x090009, true, false, '+', "REPEAT #9"},
    {0x098003, true, false, '+', "REPEAT W3"},
    {0xE40000, true, false, '+', "DECSZ-family pattern 0xE40000"},
    {0xE78000, true, false, '+', "pattern 0xE78000"},
    {0xE7C000, true, false, '+', "pattern 0xE78000 with bit 14"},
    {0x0D090009, true, false, '+', "REPEAT with an operator modifier"},
    {0x040100, false, true, '-', "GOTO address"},
    {0x054FF0, false, true, '-', "RETLW.B #-1,W0"},
    {0x370005, false, true, '-', "BRA L"},
    {0x014004, false, true, '-', "GOTO W4"},
    {0x016003, false, true, '-', "BRA W3"},
    {0x060000, false, true, '-', "RETURN"},
    {0x010404, false, true, '-', "GOTO W4 on families 0x60"},
    {0x01AC04, false, true, '-', "GOTO.L W4"},
    {0x01FC0E, false, true, '-', "GOTO.L W14"},
    {0x064000, false, false, '*', "RETFIE"},
    {0x019802, false, false, '*', "CALL.L W2"},
    {0x010203, false, false, '*', "RCALL W3 on families 0x60"},
    {0x010603, false, false, '*', "BRA W3 on families 0x60"},
    {0x320005, false, false, '*', "BRA z,L"},
    {0x780081, false, false, '*', "MOV W1,W1"},
    {0x020400, false, false, '*', "CALL address"},
    {PA_LABEL_WORD, false, false, '*', "label marker"},
    {PA_CALL_WORD, false, false, '*', "call pseudo word"},
};

TEST_F(RecorderTest, WordTestsAndListingMarks) {
    for (const WordTest& test : word_tests) {
        PaInstruction record{};
        record.encoding.word = test.word;
        EXPECT_EQ(pa_is_skip_or_repeat(&record), test.skip_or_repeat) << test.what;
        EXPECT_EQ(pa_is_unconditional_transfer(&record), test.transfer) << test.what;
        at(1, 0);
        pa_record_one_word(test.word, nullptr);
        EXPECT_EQ(main_source.marks[3], test.mark) << test.what;
    }
}

struct LabelTest {
    const char* name;
    uint8_t scope;
    uint8_t flags;
    uint32_t switch_value;
    bool block_goes_on;
    bool marker;
    char mark;
    const char* what;
};

const LabelTest label_tests[] = {
    {".L4", SCOPE_LOCAL, SYM_LABEL, 1, true, false, '?', "a label nothing jumps to"},
    {".L4", SCOPE_LOCAL, SYM_LABEL | SYM_BRANCH_TARGET, 1, true, true, '*', "a branch target"},
    {".L4", SCOPE_SECTION, SYM_LABEL | SYM_BRANCH_TARGET, 1, true, true, '*', "a section-scope branch target"},
    {"_f", SCOPE_GLOBAL, SYM_LABEL, 1, false, false, ' ', "a global label"},
    {"_f", SCOPE_GLOBAL, SYM_LABEL | SYM_BRANCH_TARGET, 1, false, false, ' ', "a global branch target"},
    {".L4", SCOPE_LOCAL, SYM_LABEL, 0, false, false, ' ', "any label while recording is off"},
    {".L4", SCOPE_LOCAL, SYM_LABEL | SYM_BRANCH_TARGET, 0, false, false, ' ', "a branch target while off"},
    // A named label that is not global: nothing refers to it, so it neither
    // enters nor ends the block; once something jumps to it, calls it or
    // names it, it ends the block, which keeps it out of every sequence.
    {"_here", SCOPE_LOCAL, SYM_LABEL, 1, true, false, '?', "a named label nothing refers to"},
    {"_here", SCOPE_LOCAL, SYM_LABEL | SYM_BRANCH_TARGET, 1, false, false, '*', "a named branch target"},
    {"_here", SCOPE_LOCAL, SYM_LABEL | SYM_REFERENCED_PASS1, 1, false, false, '?', "a named label called or named"},
};

TEST_F(RecorderTest, LabelsEnterOrEndTheBlock) {
    for (const LabelTest& test : label_tests) {
        SetUp();
        at(1, 0);
        pa_record_one_word(0x000001, nullptr);
        Symbol label{};
        label.name = intern_string(test.name);
        label.scope = test.scope;
        label.flags = test.flags;
        pa_switch.value.word = test.switch_value;
        at(2, 2);
        main_source.marks[3] = '?';
        pa_record_label(&label);
        EXPECT_EQ(main_source.marks[3], test.mark) << test.what;
        EXPECT_EQ(recording_block != nullptr, test.block_goes_on) << test.what;
        const PaBlock* block = basic_block_list.head;
        ASSERT_NE(block, nullptr);
        if (test.marker) {
            ASSERT_EQ(block->count, 2) << test.what;
            const PaInstruction* marker = block->last;
            EXPECT_EQ(marker->encoding.word, PA_LABEL_WORD);
            EXPECT_EQ(marker->encoding.operand, 0u);
            EXPECT_EQ(marker->encoding.symbol, nullptr);
            EXPECT_EQ(marker->size, 0);
            EXPECT_EQ(marker->first_line, 2);
            EXPECT_EQ(marker->location, 2u);
        } else {
            EXPECT_EQ(block->count, 1) << test.what;
        }
    }
}

TEST_F(RecorderTest, LabelsAreLeftToTheSchedulerOutsideTheAbstractionMode) {
    Symbol label{};
    label.scope = SCOPE_GLOBAL;
    at(1, 0);
    pa_record_one_word(0x000001, nullptr);
    option_flags = OPT_SCHEDULE;
    main_source.marks[3] = '?';
    pa_record_label(&label);
    EXPECT_NE(recording_block, nullptr);
    EXPECT_EQ(main_source.marks[3], '?');
    option_flags = OPT_ABSTRACT;
    pass_number = 1;
    pa_record_label(&label);
    EXPECT_NE(recording_block, nullptr);
}

TEST_F(RecorderTest, NewBlocksTakeIdsAndGoToTheEndOfTheList) {
    PaBlockList list;
    PaBlock* a = pa_new_block(list, &text);
    PaBlock* b = pa_new_block(list, &data);
    // A block linked in after the last one by someone else.
    PaBlock inserted{};
    b->next = &inserted;
    PaBlock* c = pa_new_block(list, &text);
    EXPECT_EQ(list.head, a);
    EXPECT_EQ(a->next, b);
    EXPECT_EQ(inserted.next, c);
    EXPECT_EQ(a->id, 0u);
    EXPECT_EQ(b->id, 1u);
    EXPECT_EQ(c->id, 2u);
    EXPECT_EQ(b->section, &data);
    EXPECT_EQ(c->uses, 1);
    EXPECT_EQ(list.next_id, 3);
    // With the end forgotten, the next block finds it from the head.
    list.tail = nullptr;
    PaBlock* d = pa_new_block(list, &text);
    EXPECT_EQ(c->next, d);
}

// What a source may have left in a switch symbol when a pass ends.
struct HeldValue {
    const char* what;
    uint8_t value_class;
    uint8_t value_type;
    uint64_t raw;  // besides the high half of a 32-bit integer, a pointer or a double's bits
    bool in_section;
};

const HeldValue held_values[] = {
    {"integer with a high half", CLASS_ABSOLUTE, TYPE_INTEGER, 0x10000005Aull, false},
    {"string", CLASS_ABSOLUTE, TYPE_STRING, 0x00007F1234567890ull, false},
    {"register", CLASS_ABSOLUTE, TYPE_REGISTER, 0x00005555AAAA0000ull, false},
    {"float 1.5", CLASS_ABSOLUTE, TYPE_FLOAT, 0x3FF8000000000000ull, false},
    {"label", CLASS_RELOCATABLE, TYPE_INTEGER, 0x10ull, true},
};

void hold(Symbol* symbol, const HeldValue& held) {
    symbol->value_class = held.value_class;
    symbol->value_type = held.value_type;
    symbol->value.raw = held.raw;
    symbol->section = held.in_section ? test_support::section_named(".text") : nullptr;
}

// A reset switch is what an unset one is: an absolute integer 0 with no section.
void expect_unset(const Symbol* symbol, const char* what) {
    EXPECT_EQ(symbol->value_class, CLASS_ABSOLUTE) << what;
    EXPECT_EQ(symbol->value_type, TYPE_INTEGER) << what;
    EXPECT_EQ(symbol->value.raw, 0u) << what;
    EXPECT_EQ(symbol->section, nullptr) << what;
}

TEST_F(RecorderTest, SwitchSymbolIsResetWhenPassTwoBegins) {
    for (const HeldValue& held : held_values) {
        test_support::start_run();
        test_support::begin_pass(1);
        abstraction_switch_symbol = nullptr;
        pa_begin_pass();
        EXPECT_EQ(abstraction_switch_symbol, nullptr);  // pass 1 does nothing
        Symbol* symbol = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, intern_string("___PA___")});
        hold(symbol, held);
        test_support::begin_pass(2);
        pa_begin_pass();
        EXPECT_EQ(abstraction_switch_symbol, symbol);
        expect_unset(symbol, held.what);
        hold(symbol, held);
        test_support::begin_pass(3);
        pa_begin_pass();
        EXPECT_EQ(symbol->value.raw, held.raw) << held.what;  // the writers' passes leave it alone
        EXPECT_EQ(symbol->value_type, held.value_type) << held.what;
    }
}

TEST_F(RecorderTest, ProbabilitySymbolIsMadeInPassOneAndResetEveryPass) {
    for (const HeldValue& held : held_values) {
        test_support::start_run();
        test_support::begin_pass(1);
        branch_probability_symbol = nullptr;
        sched_begin_pass();
        Symbol* symbol = sym_lookup(SymbolKey{SYMKIND_ORDINARY, intern_string("___BP___")});
        ASSERT_NE(symbol, nullptr);
        EXPECT_EQ(branch_probability_symbol, symbol);
        expect_unset(symbol, held.what);
        for (int pass : {2, 3}) {
            hold(symbol, held);
            test_support::begin_pass(pass);
            sched_begin_pass();
            EXPECT_EQ(branch_probability_symbol, symbol);
            expect_unset(symbol, held.what);
        }
    }
}

// ---- Scheduler recorder, direct calls ---------------------------------------------

const ResourcePair btss_arch{RES_STATUS, 0x0001};
const ResourcePair btss_hazard{0, 0};
const ResourcePair add_arch{RES_STATUS | 0x0008, 0x0006};
const ResourcePair add_hazard{0x0008, 0};
const ResourcePair mov_arch{RES_DATA_MEMORY | 0x0006, RES_DATA_MEMORY | 0x0006};
const ResourcePair mov_hazard{0x0004, 0x0006};
const ResourcePair none{0, 0};

TEST_F(RecorderTest, WithoutScheduleNothingIsRecordedButHazardDefsAreKept) {
    for (int pass : {1, 2}) {
        pass_number = pass;
        option_flags = pass == 1 ? OPT_SCHEDULE : OPT_ABSTRACT;
        text.last_hazard_defs = 0xFFFF;
        sched_record_instruction(1, add_arch, add_hazard);
        EXPECT_EQ(text.last_hazard_defs, 0x0008u);
        sched_record_branch(2, 100, none, none);
        EXPECT_EQ(text.last_hazard_defs, 0u);
        EXPECT_EQ(schedule_block_list, nullptr);
        EXPECT_EQ(schedule_open_block, nullptr);
    }
}

TEST_F(RecorderTest, InstructionsAreRecordedWithLineOrdinalSlotsAndPairs) {
    option_flags = OPT_SCHEDULE;
    text.instruction_count = 4;
    at(9, 8);
    sched_record_instruction(2, mov_arch, mov_hazard);
    ASSERT_EQ(sched_blocks().size(), 1u);
    const SchedInstruction* record = schedule_block_list->first;
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(schedule_block_list->last, record);
    EXPECT_EQ(record->line, 9);
    EXPECT_EQ(record->ordinal, 4);
    EXPECT_EQ(record->slots, 2);
    EXPECT_EQ(record->merged_line, 0);
    EXPECT_EQ(record->arch.defs, mov_arch.defs);
    EXPECT_EQ(record->arch.uses, mov_arch.uses);
    EXPECT_EQ(record->hazard.defs, mov_hazard.defs);
    EXPECT_EQ(record->hazard.uses, mov_hazard.uses);
    EXPECT_EQ(schedule_block_list->branch, nullptr);
    EXPECT_EQ(schedule_open_block, schedule_block_list);
}

// BTSS W0,#1 then ADD W1,W2,W3; REPEAT #9 then MOV [W1++],[W2++].
TEST_F(RecorderTest, ShadowInstructionMergesIntoItsSkipOrRepeat) {
    struct Case {
        int32_t shadow;
        ResourcePair first_arch, first_hazard, second_arch, second_hazard;
    };
    const Case cases[] = {
        {SHADOW_SKIP, btss_arch, btss_hazard, add_arch, add_hazard},
        {SHADOW_REPEAT, none, none, mov_arch, mov_hazard},
    };
    for (const Case& test : cases) {
        SetUp();
        option_flags = OPT_SCHEDULE;
        ResourcePair first_hazard = test.first_hazard;
        first_hazard.uses = 0x0100;  // stays the first instruction's
        text.instruction_count = 0;
        at(3, 0);
        sched_record_instruction(1, test.first_arch, first_hazard);
        pending_shadow = test.shadow;
        text.instruction_count = 1;
        at(4, 2);
        sched_record_instruction(1, test.second_arch, test.second_hazard);
        pending_shadow = 0;
        ASSERT_EQ(sched_blocks().size(), 1u);
        ASSERT_EQ(sched_count(schedule_block_list), 1);
        const SchedInstruction* pair = schedule_block_list->first;
        EXPECT_EQ(pair->line, 3);
        EXPECT_EQ(pair->merged_line, 4);
        EXPECT_EQ(pair->ordinal, 0);
        EXPECT_EQ(pair->merged_ordinal, 1);
        EXPECT_EQ(pair->slots, 0);
        EXPECT_EQ(pair->arch.defs, test.first_arch.defs | test.second_arch.defs);
        EXPECT_EQ(pair->arch.uses, test.first_arch.uses | test.second_arch.uses);
        EXPECT_EQ(pair->hazard.defs, test.second_hazard.defs);
        EXPECT_EQ(pair->hazard.uses, 0x0100u);
        EXPECT_EQ(text.last_hazard_defs, test.second_hazard.defs);
    }
}

TEST_F(RecorderTest, BranchInAShadowGetsNoSlotsAndEndsTheBlock) {
    option_flags = OPT_SCHEDULE;
    at(3, 0);
    sched_record_instruction(1, btss_arch, btss_hazard);
    pending_shadow = SHADOW_SKIP;
    at(4, 2);
    sched_record_branch(2, 25, none, none);
    pending_shadow = 0;
    ASSERT_EQ(sched_blocks().size(), 1u);
    const SchedBlock* block = schedule_block_list;
    EXPECT_EQ(sched_count(block), 1);
    EXPECT_EQ(block->first->slots, 1);  // the skip stays an ordinary record
    ASSERT_NE(block->branch, nullptr);
    EXPECT_EQ(block->branch->slots, 0);
    EXPECT_EQ(block->branch->line, 4);
    EXPECT_EQ(block->probability, 25);
    EXPECT_EQ(schedule_open_block, nullptr);
}

TEST_F(RecorderTest, BranchWithNoOpenBlockIsNotRecorded) {
    option_flags = OPT_SCHEDULE;
    at(1, 0);
    sched_record_instruction(1, add_arch, add_hazard);
    sched_record_branch(2, 100, none, none);
    sched_record_branch(1, 100, none, none);  // a second transfer in a row
    ASSERT_EQ(sched_blocks().size(), 1u);
    EXPECT_EQ(schedule_block_list->branch->slots, 2);
    at(3, 4);
    sched_record_instruction(1, add_arch, add_hazard);
    ASSERT_EQ(sched_blocks().size(), 2u);
    EXPECT_EQ(sched_blocks()[1]->branch, nullptr);
}

TEST_F(RecorderTest, SchedulerLabelsEndBlocksOnlyWhenGlobalOrBranchTargets) {
    struct Case {
        uint8_t scope;
        uint8_t flags;
        bool ends;
        char mark;
    };
    const Case cases[] = {
        {SCOPE_LOCAL, SYM_LABEL, false, '*'},
        {SCOPE_LOCAL, SYM_LABEL | SYM_BRANCH_TARGET, true, ' '},
        {SCOPE_GLOBAL, SYM_LABEL, true, ' '},
    };
    for (const Case& test : cases) {
        SetUp();
        option_flags = OPT_SCHEDULE;
        at(1, 0);
        sched_record_instruction(1, add_arch, add_hazard);
        Symbol label{};
        label.scope = test.scope;
        label.flags = test.flags;
        main_source.marks[3] = '?';
        sched_record_label(&label);
        EXPECT_EQ(main_source.marks[3], test.mark);
        at(3, 2);
        sched_record_instruction(1, add_arch, add_hazard);
        EXPECT_EQ(sched_blocks().size(), test.ends ? 2u : 1u);
    }
    // Without -s, and in pass 1, the hook does nothing.
    for (int pass : {1, 2}) {
        SetUp();
        pass_number = pass;
        option_flags = pass == 1 ? OPT_SCHEDULE : OPT_ABSTRACT;
        Symbol label{};
        main_source.marks[3] = '?';
        sched_record_label(&label);
        EXPECT_EQ(main_source.marks[3], '?');
    }
}

// ---- Through the encoders ---------------------------------------------------------

using Cells = std::vector<uint32_t>;

const char* const head = "\t.section\t.text,code\n\t.set\t___PA___,1\n";  // two lines

// Assembles `body` after the head on the given device family.
AsmRun assemble_body(uint32_t family, const std::string& body, std::vector<std::string> options = {}) {
    return assemble_with_family(family, head + body, std::move(options));
}

constexpr uint32_t DEFAULT = 2;      // the family word without --mcpu
constexpr uint32_t EP = 0x40;        // GENERIC-16BIT-EP
constexpr uint32_t FAMILY_20 = 0x20; // the other family with the extended forms
constexpr uint32_t FAMILY_04 = 0x04; // no accumulator conditions

struct EncodeCase {
    uint32_t family;
    const char* body;
    Cells cells;
    std::string errors;
};

// Words worked out from the fields: condition << 16 | word offset from the
// next instruction; register forms from the alternate words | n.
const EncodeCase encode_cases[] = {
    // BRA z,L with L eight words before it: k = (0 - 0x12) / 2 = -9.
    {DEFAULT, ".L1:\n\tnop\n\tnop\n\tnop\n\tnop\n\tnop\n\tnop\n\tnop\n\tnop\n\tbra\tz,.L1\n",
     {0, 0, 0, 0, 0, 0, 0, 0, 0x32FFF7}, ""},
    {DEFAULT, "\tbra\tz,.L2\n\tnop\n.L2:\n\tnop\n", {0x320001, 0, 0}, ""},
    {DEFAULT, "\tbra\tnz,.L2\n.L2:\n", {0x3A0000}, ""},
    {DEFAULT, "\tbra\t.L2\n\tnop\n\tnop\n.L2:\n", {0x370002, 0, 0}, ""},
    {DEFAULT, "\tpbra\t.L2\n.L2:\n", {0x370000}, ""},
    {DEFAULT, "\tbra\tz\n", {0x320000}, error_line(3, 31, "Expected a comma (,)")},
    {DEFAULT, "\tbra\toa,.L2\n.L2:\n", {0x0C0000}, ""},
    {FAMILY_04, "\tbra\tov,.L2\n.L2:\n", {0x300000}, ""},
    {FAMILY_04, "\tbra\toa,.L2\n.L2:\n", {0x370000}, error_line(3, 13, "Unrecognized instruction mnemonic")},
    {FAMILY_04, "\tbra\tsb,.L2\n.L2:\n", {0x370000}, error_line(3, 13, "Unrecognized instruction mnemonic")},
    {DEFAULT, "\tbra\tw3\n", {0x016003}, ""},
    {EP, "\tbra\tw3\n", {0x010603}, ""},
    {DEFAULT, "\trcall\tw3\n", {0x012003}, ""},
    {EP, "\trcall\tw3\n", {0x010203}, ""},
    {FAMILY_20, "\trcall\tw3\n", {0x010203}, ""},
    {DEFAULT, "\trcall\t.L2\n\tnop\n.L2:\n", {0x070001, 0}, ""},
    {DEFAULT, "\tgoto\tw3\n", {0x014003}, ""},
    {EP, "\tgoto\tw3\n", {0x010403}, ""},
    {DEFAULT, "\tcall\tw3\n", {0x010003}, ""},
    {EP, "\tcall\tw3\n", {0x010003}, ""},
    {EP, "\tgoto.l\tw4\n", {0x01AC04}, ""},
    {EP, "\tcall.l\tw2\n", {0x019802}, ""},
    {EP, "\tgoto.l\tw5\n", {0}, error_line(3, 14, "Invalid operand")},
    {DEFAULT, "\tcall\t0x123456\n", {0x023456, 0x000012}, ""},
    {DEFAULT, "\tgoto\t0x123456\n", {0x043456, 0x000012}, ""},
    {DEFAULT, "\tgoto\t.L2\n.L2:\n", {0x040004, 0}, ""},
    {DEFAULT, "\tcall\t0x1000000\n", {0x020000, 0}, error_line(3, 21, "Operand out of range")},
    // DO: the loop end counted from the address after the two words.
    {DEFAULT, "\tdo\t#100,.L3\n\tnop\n.L3:\n\tnop\n", {0x080064, 0x000001, 0, 0}, ""},
    {DEFAULT, "\tdo\tw2,.L3\n.L3:\n", {0x088002, 0}, ""},
    {DEFAULT, "\tdo\t#16383,.L3\n.L3:\n", {0x083FFF, 0}, ""},
    {DEFAULT, "\tdo\t#16384,.L3\n.L3:\n", {0x080000, 0}, error_line(3, 21, "Operand out of range")},
    {EP, "\tdo\t#32767,.L3\n.L3:\n", {0x087FFF, 0}, ""},
    {EP, "\tdo\t#32768,.L3\n.L3:\n", {0x080000, 0}, error_line(3, 21, "Operand out of range")},
    {DEFAULT, "\tdo\t#1\n", {0x080001, 0}, error_line(3, 31, "Expected a comma (,)")},
    {DEFAULT, "\trepeat\t#9\n\tnop\n", {0x090009, 0}, ""},
    {DEFAULT, "\trepeat\tw3\n\tnop\n", {0x098003, 0}, ""},
    {DEFAULT, "\trepeat\t#16384\n\tnop\n", {0x090000, 0}, error_line(3, 21, "Operand out of range")},
    {EP, "\trepeat\t#16384\n\tnop\n", {0x094000, 0}, ""},
    // RETLW: the literal in bits 4 to 13 (bits 4 to 11 and bit 14 for .b).
    {DEFAULT, "\tretlw.b\t#-1,w0\n", {0x054FF0}, ""},
    {DEFAULT, "\tretlw\t#5,w2\n", {0x050052}, ""},
    {DEFAULT, "\tpretlw.w\t#1023,w1\n", {0x053FF1}, ""},
    {DEFAULT, "\tretlw\t#1024,w1\n", {0x050000}, error_line(3, 21, "Operand out of range")},
    {DEFAULT, "\tretlw.b\t#256,w1\n", {0x054000}, error_line(3, 21, "Operand out of range")},
    {DEFAULT, "\tretlw\t5,w2\n", {0x050000}, error_line(3, 41, "Expected immediate address mode")},
};

TEST(BranchEncoders, Words) {
    for (const EncodeCase& test : encode_cases) {
        AsmRun run = assemble_body(test.family, test.body);
        EXPECT_EQ(run.errors, test.errors) << test.body;
        EXPECT_EQ(run.status, test.errors.empty() ? 0 : 1) << test.body;
        EXPECT_EQ(cells_of(".text"), test.cells) << test.body;
    }
}

TEST(BranchEncoders, SuffixWarnings) {
    // .d has no RETLW form: encoded as the word form, and warned about;
    // .l is consumed by the register pair forms only.
    AsmRun run = assemble_body(DEFAULT, "\tretlw.d\t#1,w0\n", {"-w"});
    EXPECT_EQ(run.errors, warning_line(3, 7, "Mnemonic suffix has no effect on this instruction"));
    EXPECT_EQ(cells_of(".text"), (Cells{0x050010}));
    run = assemble_body(EP, "\tgoto.l\tw4\n\tcall.l\t0x100\n", {"-w"});
    EXPECT_EQ(run.errors, warning_line(4, 7, "Mnemonic suffix has no effect on this instruction"));
    EXPECT_EQ(cells_of(".text"), (Cells{0x01AC04, 0x020100, 0}));
}

TEST(BranchEncoders, TargetsOfBraAndDoBecomeBranchTargetsButNotOfRcall) {
    assemble_body(DEFAULT,
                  ".L1:\n\tbra\t.L1\n.L2:\n\tbra\tz,.L2\n.L3:\n\trcall\t.L3\n\tdo\t#1,.L4\n.L4:\n\tnop\n");
    for (const char* name : {".L1", ".L2", ".L4"}) {
        Symbol* s = symbol(name);
        ASSERT_NE(s, nullptr) << name;
        EXPECT_NE(s->flags & SYM_BRANCH_TARGET, 0) << name;
    }
    ASSERT_NE(symbol(".L3"), nullptr);
    EXPECT_EQ(symbol(".L3")->flags & SYM_BRANCH_TARGET, 0);
}

// ---- What the encoders report to the scheduler (-s) ---------------------------

// The first block that a branch ended, or none.
const SchedBlock* first_branch_block() {
    for (const SchedBlock* block = schedule_block_list; block != nullptr; block = block->next)
        if (block->branch != nullptr) return block;
    return nullptr;
}

struct SchedCase {
    const char* body;
    bool branch;
    int32_t slots;
    int32_t probability;
    int status = 0;
};

// Each body stands between two nops; _helper is an external routine.
const SchedCase sched_cases[] = {
    {"\trcall\t_helper\n", false, -1, 0},
    {"\trcall\t_setjmp\n", true, 0, 0},
    {"\trcall\t0x100\n", true, 0, 0},
    {"\trcall\tw3\n", true, 0, 0},
    {"\tbra\t_helper\n", true, 2, 100},
    {"\tbra\tw3\n", true, 2, 100},
    {"\tbra\tz,.L5\n\tnop\n.L5:\n", true, 2, 25},
    {".L5:\n\tnop\n\tbra\tz,.L5\n", true, 2, 75},
    {"\t.set\t___BP___,90\n\tbra\tz,.L5\n.L5:\n", true, 2, 90},
    {"\t.set\t___BP___,90\n\tbra\t.L5\n.L5:\n", true, 2, 100},
    {"\t.set\t___BP___,90\n\tbra\tz\n", true, 2, 90, 1},  // no ',': still the source's value
    // A value that is no number gives no hint: its bits are an address or a double.
    {"\t.set\t___BP___,\"x\"\n\tbra\tz,.L5\n.L5:\n", true, 2, 25},
    {"\t.set\t___BP___,w3\n\tbra\tz,.L5\n.L5:\n", true, 2, 25},
    {"\t.set\t___BP___,1.5\n\tbra\tz,.L5\n.L5:\n", true, 2, 25},
    {"\tcall\t_helper\n", false, -1, 0},
    {"\tcall\t0x100\n", false, -1, 0},
    {"\tcall\t_setjmp\n", true, 0, 0},
    {"\tcall\tw3\n", true, 0, 0},
    {"\tgoto\t_helper\n", true, 0, 0},
    {"\tgoto\tw3\n", true, 0, 0},
    {"\tdo\t#3,.L6\n\tnop\n.L6:\n", true, 0, 0},  // nothing moves into or out of the loop
    {"\trepeat\t#3\n", false, 0, 0},  // merged with the nop after it
    {"\tretlw\t#1,w0\n", true, 1, 100},
    {"\tpretlw\t#1,w15\n", true, 1, 100},
};

TEST(BranchEncoders, SchedulerReports) {
    for (const SchedCase& test : sched_cases) {
        AsmRun run = assemble_body(DEFAULT, std::string("\tnop\n") + test.body + "\tnop\n", {"-s"});
        ASSERT_EQ(run.status, test.status) << test.body << run.errors;
        const SchedBlock* block = first_branch_block();
        if (test.branch) {
            ASSERT_NE(block, nullptr) << test.body;
            EXPECT_EQ(block->branch->slots, test.slots) << test.body;
            EXPECT_EQ(block->probability, test.probability) << test.body;
            // The hazard pair of these encoders stays empty.
            EXPECT_EQ(block->branch->hazard.defs, 0u) << test.body;
            EXPECT_EQ(block->branch->hazard.uses, 0u) << test.body;
        } else {
            EXPECT_EQ(block, nullptr) << test.body;
            ASSERT_NE(schedule_block_list, nullptr);
            const SchedInstruction* record = schedule_block_list->first->next;
            ASSERT_NE(record, nullptr) << test.body;
            EXPECT_EQ(record->slots, test.slots) << test.body;
        }
    }
}

TEST(BranchEncoders, ConditionalBranchReadsTheStatusAndRegisterFormsTheirRegister) {
    assemble_body(DEFAULT, "\tnop\n\tbra\tz,.L5\n.L5:\n\tnop\n\tbra\tw7\n", {"-s"});
    const SchedBlock* block = first_branch_block();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->branch->arch.uses, static_cast<uint32_t>(RES_STATUS));
    block = block->next;
    ASSERT_NE(block, nullptr);
    ASSERT_NE(block->branch, nullptr);
    EXPECT_EQ(block->branch->arch.uses, 1u << 7);
}

TEST(BranchEncoders, ShadowsMergeThroughTheEncoders) {
    // Lines 3 and 4: BTSS and the ADD it may skip; 5 and 6: REPEAT and MOV.
    assemble_body(DEFAULT, "\tbtss\tw0,#1\n\tadd\tw1,w2,w3\n\trepeat\t#9\n\tmov\t[w1++],[w2++]\n\treturn\n", {"-s"});
    ASSERT_NE(schedule_block_list, nullptr);
    const SchedInstruction* skip = schedule_block_list->first;
    ASSERT_NE(skip, nullptr);
    EXPECT_EQ(skip->line, 3);
    EXPECT_EQ(skip->merged_line, 4);
    EXPECT_EQ(skip->slots, 0);
    EXPECT_EQ(skip->hazard.defs, 1u << 3);  // the ADD's destination
    const SchedInstruction* repeat = skip->next;
    ASSERT_NE(repeat, nullptr);
    EXPECT_EQ(repeat->line, 5);
    EXPECT_EQ(repeat->merged_line, 6);
    EXPECT_EQ(repeat->slots, 0);
    EXPECT_EQ(repeat->next, nullptr);
    // A branch in the shadow: the skip stays an ordinary record, the branch
    // gets no slots.
    assemble_body(DEFAULT, "\tbtss\tw0,#1\n\tbra\t.L1\n.L1:\n\treturn\n", {"-s"});
    const SchedBlock* block = first_branch_block();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->branch->slots, 0);
    ASSERT_NE(block->first, nullptr);
    EXPECT_EQ(block->first->merged_line, 0);
}

// ---- What the encoders report to the abstraction ------------------------------------

// The numbers of records of the recorded blocks, in order.
std::vector<int> block_counts() {
    std::vector<int> counts;
    for (const PaBlock* block = basic_block_list.head; block != nullptr; block = block->next)
        counts.push_back(block->count);
    return counts;
}

struct AbstractionCase {
    const char* body;
    std::vector<int> counts;  // records per block
};

// Each body stands between two nops. With -b the abstraction does not run,
// so the blocks stay as recorded (and labels do not enter them).
const AbstractionCase abstraction_cases[] = {
    {"\trcall\t_helper\n", {1, 1}},
    {"\trcall\t___divsi3\n", {3}},
    {"\trcall\tw3\n", {1, 1}},
    {"\tbra\t.L7\n.L7:\n", {3}},
    {"\tbra\tz,.L7\n.L7:\n", {3}},
    {"\tbra\t_helper\n", {1, 1}},
    {"\tbra\tz,_helper\n", {1, 1}},
    {"\tbra\t___divsi3\n", {2, 1}},
    {"\tbra\tw3\n", {1, 1}},
    {"\tcall\t_helper\n", {1, 1}},
    {"\tcall\t___divsi3\n", {3}},
    {"\tcall\t_setjmp\n", {1, 1}},
    {"\tcall\tw3\n", {1, 1}},
    {"\tgoto\t_helper\n", {2, 1}},
    {"\tgoto\tw3\n", {2, 1}},
    {"\tgoto\tw15\n", {1, 1}},
    {"\tdo\t#3,.L7\n.L7:\n", {3}},
    {"\tdo\tw15,.L7\n.L7:\n", {1, 1}},
    {"\tdo\t#3,_helper\n", {1, 1}},
    {"\trepeat\t#3\n", {3}},
    {"\trepeat\tw15\n", {1, 1}},
    {"\tretlw\t#1,w0\n", {2, 1}},
    {"\tretlw\t#5,w15\n", {1, 1}},
};

TEST(BranchEncoders, AbstractionReports) {
    for (const AbstractionCase& test : abstraction_cases) {
        AsmRun run = assemble_body(DEFAULT, std::string("\tnop\n") + test.body + "\tnop\n", {"-b"});
        ASSERT_EQ(run.status, 0) << test.body << run.errors;
        EXPECT_EQ(block_counts(), test.counts) << test.body;
    }
}

TEST(BranchEncoders, TwoWordRecordsKeepTheirSecondWordAndSymbol) {
    assemble_body(DEFAULT, "\tcall\t___divsi3\n\tdo\t#3,.L7\n\tnop\n.L7:\n\tgoto\t0x123456\n", {"-b"});
    ASSERT_NE(basic_block_list.head, nullptr);
    const PaInstruction* call = basic_block_list.head->first;
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->size, 2);
    ASSERT_NE(call->encoding.symbol, nullptr);
    EXPECT_STREQ(call->encoding.symbol->name, "___divsi3");
    const PaInstruction* loop = call->next;
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->encoding.word, 0x080003u);
    EXPECT_EQ(loop->encoding.operand, 0x000001u);  // (0xA - (4 + 4)) / 2
    EXPECT_EQ(loop->location, 4u);
    EXPECT_EQ(loop->first_line, 4);
    const PaInstruction* jump = basic_block_list.head->last;
    EXPECT_EQ(jump->encoding.word, 0x043456u);
    EXPECT_EQ(jump->encoding.operand, 0x000012u);
    EXPECT_EQ(jump->size, 2);
}

TEST(BranchEncoders, RecordingFollowsTheSwitchStatementByStatement) {
    AsmRun run = assemble("\t.section\t.text,code\n\tnop\n\t.set\t___PA___,1\n\tnop\n\tnop\n"
                          "\t.set\t___PA___,0\n\tnop\n\t.set\t___PA___,1\n\tnop\n",
                          {"-b"});
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(block_counts(), (std::vector<int>{2, 1}));
    // Without any assignment nothing is recorded.
    assemble("\t.section\t.text,code\n\tnop\n\tnop\n", {"-b"});
    EXPECT_EQ(basic_block_list.head, nullptr);
    // Nor with a value that is no number: a string, a register, a float.
    for (const char* value : {"\"on\"", "w1", "2.0"}) {
        assemble(std::string("\t.section\t.text,code\n\t.set\t___PA___,") + value + "\n\tnop\n\tnop\n", {"-b"});
        EXPECT_EQ(basic_block_list.head, nullptr) << value;
    }
}

TEST(BranchEncoders, PwordEndsTheBlock) {
    assemble_body(DEFAULT, "\tnop\n\t.pword\t0x123456\n\tnop\n", {"-b"});
    EXPECT_EQ(block_counts(), (std::vector<int>{1, 1}));
}

TEST(BranchEncoders, NoSchedulerRecordsWithoutDashS) {
    assemble_body(DEFAULT, "\tnop\n\tbra\tw3\n\tnop\n");
    EXPECT_EQ(schedule_block_list, nullptr);
}

}  // namespace
