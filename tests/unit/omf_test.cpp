// Sections: the default sections, lookup by name, dropping unused
// defaults, the layout between the passes, the images that pass 2 fills,
// the capture of a data directive and the internal error of a store that
// pass 1 did not count.
#include <gtest/gtest.h>

#include "test_support.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmsym.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

const char* in(const char* text) { return intern_string(text); }

using test_support::begin_pass;
using test_support::section_named;
using test_support::start_run;

// A section as a .section statement makes it: program memory has 4-byte
// elements of 2 address units, everything else 1-byte elements.
Section* make_section(const char* name, uint8_t kind) {
    Symbol* symbol = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, in(name)});
    symbol->value_type = TYPE_SECTION;
    symbol->value_class = CLASS_EXTERNAL;
    symbol->scope = SCOPE_SECTION;
    symbol->flags |= SYM_DEFINED_PASS1;
    Section* section = omf_create_section(kind, 1, symbol, 0);
    symbol->section = section;
    section->bytes_per_element = kind == MEMORY_PROGRAM ? 4 : 1;
    section->units_per_element = kind == MEMORY_PROGRAM ? 2 : 1;
    return section;
}

std::vector<std::string> list_names() {
    std::vector<std::string> names;
    for (const Section* section = section_list; section != nullptr; section = section->next)
        names.push_back(section->symbol->name);
    return names;
}

uint32_t cell(const Section* section, uint32_t index) {
    uint32_t value;
    std::memcpy(&value, section->image + size_t{index} * 4, sizeof value);
    return value;
}

bool in_list(const Section* wanted) {
    for (const Section* section = section_list; section != nullptr; section = section->next)
        if (section == wanted) return true;
    return false;
}

TEST(Omf, BeforePassOneThereIsNoSectionButACurrentOne) {
    start_run();
    EXPECT_EQ(section_list, nullptr);
    ASSERT_NE(current_section, nullptr);
    EXPECT_EQ(current_section->location, 0u);
    EXPECT_STREQ(default_data_name, ".data");
    EXPECT_STREQ(default_text_name, ".text");
    EXPECT_FALSE(capture_active);
    EXPECT_EQ(capture_count, 0u);
}

TEST(Omf, PassOneCreatesTheThreeDefaultSections) {
    start_run();
    begin_pass(1);
    EXPECT_EQ(list_names(), (std::vector<std::string>{".text", ".data", ".bss"}));
    struct Row {
        const char* name;
        int bytes, units;
        uint8_t kind;
    } rows[] = {{".text", 4, 2, MEMORY_PROGRAM}, {".data", 1, 1, MEMORY_DATA}, {".bss", 1, 1, MEMORY_DATA}};
    for (const Row& row : rows) {
        Symbol* symbol = sym_lookup(SymbolKey{SYMKIND_ORDINARY, in(row.name)});
        ASSERT_NE(symbol, nullptr) << row.name;
        Section* section = symbol->section;
        ASSERT_NE(section, nullptr) << row.name;
        EXPECT_EQ(section->symbol, symbol);
        EXPECT_EQ(section->bytes_per_element, row.bytes) << row.name;
        EXPECT_EQ(section->units_per_element, row.units) << row.name;
        EXPECT_EQ(section->memory_kind, row.kind) << row.name;
        EXPECT_EQ(section->section_class, 1) << row.name;
        EXPECT_EQ(section->origin, 0u);
        EXPECT_EQ(section->location, 0u);
        EXPECT_EQ(section->flags, SECT_DEFAULT) << row.name;
        EXPECT_EQ(symbol->scope, SCOPE_SECTION);
        EXPECT_EQ(symbol->value_class, CLASS_EXTERNAL);
        EXPECT_EQ(symbol->value_type, TYPE_SECTION);
        EXPECT_EQ(symbol->value.raw, 0u);
        EXPECT_EQ(symbol->flags & (SYM_DEFINED_PASS1 | SYM_DEFINED_PASS2), SYM_DEFINED_PASS1 | SYM_DEFINED_PASS2);
    }
    EXPECT_EQ(current_section, section_named(".text"));
    EXPECT_EQ(current_section->flags & SECT_USED, 0);  // found without marking
}

TEST(Omf, SectionNamesMatchRegardlessOfCaseAndMarkOnlyWhenAsked) {
    start_run();
    begin_pass(1);
    Symbol* text = omf_find_section(".TEXT", 0);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->name, in(".text"));
    EXPECT_EQ(text->section->flags & SECT_USED, 0);
    Symbol* data = omf_find_section(".Data", 1);
    ASSERT_NE(data, nullptr);
    EXPECT_NE(data->section->flags & SECT_USED, 0);
    EXPECT_EQ(omf_find_section(".rodata", 1), nullptr);
    EXPECT_EQ(omf_find_section(".tex", 0), nullptr);
    Section* mine = make_section("Vectors", MEMORY_PROGRAM);
    EXPECT_EQ(omf_find_section("vectors", 0), mine->symbol);
}

// Pass 2 decides on every statement as pass 1 did: a section that pass 1
// made on a later line does not exist yet when pass 2 looks a name up on an
// earlier one; the default sections are there from the start. The writers'
// passes that follow see every section.
TEST(Omf, PassTwoFindsASectionFromTheLineThatMadeItInPassOne) {
    start_run();
    begin_pass(1);
    main_source.line = 3;
    Section* early = make_section("Vectors", MEMORY_PROGRAM);
    main_source.line = 8;
    Section* late = make_section("VECTORS", MEMORY_DATA);  // equal ignoring case: found first from line 8 on
    current_section = early;
    omf_emit_long(0);
    current_section = late;
    omf_emit_byte(0);
    omf_find_section(".text", 1);
    begin_pass(2);
    Section* text = section_named(".text");
    ASSERT_NE(text, nullptr);
    struct Case {
        int32_t line;
        Section* text;
        Section* vectors;
    } cases[] = {{0, text, nullptr}, {2, text, nullptr}, {3, text, early}, {7, text, early},
                 {8, text, early}, {9, text, early}};
    // After the layout the program section comes first in the list, so
    // from its line on it is the one found.
    for (const Case& c : cases) {
        main_source.line = c.line;
        EXPECT_EQ(section_named(".TEXT"), c.text) << "line " << c.line;
        EXPECT_EQ(section_named("vectors"), c.vectors) << "line " << c.line;
    }
    // Before the layout, the newer section comes first once it exists.
    start_run();
    begin_pass(1);
    main_source.line = 3;
    early = make_section("Vectors", MEMORY_PROGRAM);
    main_source.line = 8;
    late = make_section("VECTORS", MEMORY_PROGRAM);
    pass_number = 2;
    for (const Case& c : {Case{2, nullptr, nullptr}, Case{3, nullptr, early}, Case{7, nullptr, early},
                          Case{8, nullptr, late}, Case{20, nullptr, late}}) {
        main_source.line = c.line;
        EXPECT_EQ(section_named("vectors"), c.vectors) << "line " << c.line;
    }
    for (int pass : {1, 3}) {
        pass_number = pass;
        main_source.line = 0;
        EXPECT_EQ(section_named("vectors"), late) << "pass " << pass;
    }
}

TEST(Omf, DefaultSectionsThatPassOneDidNotUseAreDropped) {
    struct Case {
        const char* what;
        std::function<void()> pass_one;
        std::vector<std::string> survivors;
        const char* current;
    } cases[] = {
        {"an instruction in .text", [] { omf_emit_long(0); }, {".text"}, ".text"},
        {"a label in .data",
         [] {
             current_section = section_named(".data");
             sym_define_label(SymbolKey{SYMKIND_ORDINARY, in("buffer")});
         },
         {".data"}, ".data"},
        {"a capture in .bss",
         [] {
             current_section = section_named(".bss");
             omf_begin_capture();
             omf_end_capture();
         },
         {".bss"}, ".bss"},
        {"space in .data and .bss",
         [] {
             current_section = section_named(".data");
             omf_advance_location(5);
             current_section = section_named(".bss");
             omf_advance_location(1);
         },
         {".data", ".bss"}, ".data"},
        {"a .text directive", [] { omf_find_section(".text", 1); }, {".text"}, ".text"},
        {"a section of its own left empty", [] { make_section("extra", MEMORY_PROGRAM); }, {"extra"}, "extra"},
    };
    for (const Case& c : cases) {
        start_run();
        begin_pass(1);
        c.pass_one();
        begin_pass(2);
        EXPECT_EQ(list_names(), c.survivors) << c.what;
        ASSERT_NE(current_section, nullptr) << c.what;
        EXPECT_EQ(current_section, section_named(c.current)) << c.what;
        for (const char* name : {".text", ".data", ".bss"}) {
            bool kept = std::find(c.survivors.begin(), c.survivors.end(), name) != c.survivors.end();
            EXPECT_EQ(section_named(name) != nullptr, kept) << c.what << ": " << name;
        }
    }
}

TEST(Omf, APassWithNoSectionAtAllStillHasAnEmptyCurrentSection) {
    start_run();
    begin_pass(1);
    begin_pass(2);
    EXPECT_EQ(section_list, nullptr);
    ASSERT_NE(current_section, nullptr);
    EXPECT_FALSE(in_list(current_section));
    EXPECT_EQ(current_section->location, 0u);
    EXPECT_EQ(current_section->size, 0u);
    EXPECT_EQ(current_section->image, nullptr);

    main_source.line = 3;
    CaptureStderr();
    EXPECT_THROW(omf_emit_long(0x123456), AsmTrap);
    EXPECT_EQ(GetCapturedStderr(), "prog.s: line 0003: PA-F0001 Fatal: Internal error detected (../src/paasmomf,941)\n");
}

TEST(Omf, LayoutGroupsByKindAndPlacesEachKindBackToBack) {
    start_run();
    begin_pass(1);
    Section* a = make_section("A", MEMORY_PROGRAM);
    Section* b = make_section("B", MEMORY_PROGRAM);
    Section* d = make_section("D", MEMORY_DATA);
    Section* any = make_section("anywhere", MEMORY_ANY);
    Section* odd = make_section("odd", 8);
    Section* text = section_named(".text");
    Section* data = section_named(".data");
    struct Fill {
        Section* section;
        uint32_t longs, bytes;
    } fills[] = {{a, 3, 0}, {b, 2, 0}, {text, 1, 0}, {data, 0, 5}, {d, 0, 3}, {any, 0, 2}, {odd, 0, 4}};
    for (const Fill& fill : fills) {
        current_section = fill.section;
        for (uint32_t i = 0; i < fill.longs; ++i) omf_emit_long(i);
        for (uint32_t i = 0; i < fill.bytes; ++i) omf_emit_byte(static_cast<uint8_t>(i));
    }
    a->instruction_count = 7;
    EXPECT_EQ(a->location, 6u);  // two address units per program word
    EXPECT_EQ(a->size, 3u);
    EXPECT_EQ(data->location, 5u);

    begin_pass(2);
    EXPECT_EQ(list_names(), (std::vector<std::string>{"B", "A", ".text", "D", ".data", "anywhere", "odd"}));
    EXPECT_EQ(section_list_tail, odd);
    EXPECT_EQ(current_section, text);
    struct Expect {
        Section* section;
        uint32_t high_water, size, placed;
    } expects[] = {
        {b, 4, 2, 0},    {a, 6, 3, 4},   {text, 2, 1, 10}, {d, 3, 3, 0},
        {data, 5, 5, 3}, {any, 2, 2, 0}, {odd, 4, 4, 0},
    };
    for (const Expect& e : expects) {
        const char* name = e.section->symbol->name;
        EXPECT_EQ(e.section->high_water, e.high_water) << name;
        EXPECT_EQ(e.section->size, e.size) << name;
        EXPECT_EQ(e.section->placed_address, e.placed) << name;
        EXPECT_EQ(e.section->location, 0u) << name;
        EXPECT_EQ(e.section->instruction_count, 0) << name;
        ASSERT_NE(e.section->image, nullptr) << name;
        for (uint32_t i = 0; i < e.size * static_cast<uint32_t>(e.section->bytes_per_element); ++i)
            ASSERT_EQ(e.section->image[i], 0) << name << " byte " << i;
    }
}

TEST(Omf, SpaceOnlyGivesAZeroImageAndAnEmptySectionNone) {
    start_run();
    begin_pass(1);
    Section* reserved = make_section("reserved", MEMORY_DATA);
    Section* unused = make_section("unused", MEMORY_DATA);
    Section* stack = make_section("stack", MEMORY_PROGRAM);
    current_section = reserved;
    omf_advance_location(6);
    current_section = stack;
    omf_advance_location(8);  // four program words
    begin_pass(2);
    EXPECT_EQ(list_names(), (std::vector<std::string>{"stack", "unused", "reserved"}));
    EXPECT_EQ(stack->size, 4u);
    ASSERT_NE(stack->image, nullptr);
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(cell(stack, i), 0u);
    EXPECT_EQ(reserved->size, 6u);
    ASSERT_NE(reserved->image, nullptr);
    for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(reserved->image[i], 0);
    EXPECT_EQ(unused->size, 0u);
    EXPECT_EQ(unused->image, nullptr);
    EXPECT_EQ(unused->placed_address, 0u);
    EXPECT_EQ(reserved->placed_address, 0u);  // the empty section adds nothing before it
}

TEST(Omf, PassTwoStoresWhatPassOneCounted) {
    const uint32_t longs[] = {1, 0xFFFFFFFFu};
    const uint16_t words[] = {0x1234, 0x8000};
    const uint8_t bytes[] = {1, 2, 0xFE};
    start_run();
    for (int pass : {1, 2}) {
        begin_pass(pass);
        Section* text = section_named(".text");
        Section* data = section_named(".data");
        current_section = text;
        omf_emit_long(0x05AB1234u);  // a modifier in the top byte stays
        EXPECT_EQ(text->location, 2u);
        omf_emit_word(0xBEEF);
        EXPECT_EQ(text->location, 4u);
        omf_emit_longs(2, longs);
        EXPECT_EQ(text->location, 8u);
        omf_emit_words(2, words);
        EXPECT_EQ(text->location, 12u);
        current_section = data;
        omf_emit_byte(0x7F);
        EXPECT_EQ(data->location, 1u);
        omf_emit_bytes(3, bytes);
        EXPECT_EQ(data->location, 4u);
        EXPECT_EQ(text->size, 6u) << pass;
        EXPECT_EQ(data->size, 4u) << pass;
    }
    Section* text = section_named(".text");
    const uint32_t expected_cells[] = {0x05AB1234u, 0x0000BEEFu, 1, 0xFFFFFFFFu, 0x1234, 0x8000};
    for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(cell(text, i), expected_cells[i]) << i;
    Section* data = section_named(".data");
    const uint8_t expected_bytes[] = {0x7F, 1, 2, 0xFE};
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(data->image[i], expected_bytes[i]) << i;
}

TEST(Omf, WordsAndLongsInAByteSectionStayInsideTheImage) {
    start_run();
    for (int pass : {1, 2}) {
        begin_pass(pass);
        current_section = section_named(".data");
        omf_emit_long(0x11223344u);
        omf_emit_word(0xAABB);
        EXPECT_EQ(current_section->location, 2u);
    }
    Section* data = section_named(".data");
    ASSERT_EQ(data->size, 2u);
    EXPECT_EQ(data->image[0], 0x44);
    EXPECT_EQ(data->image[1], 0xBB);
}

TEST(Omf, AStoreThatPassOneDidNotCountIsAnInternalError) {
    static const uint8_t bytes[] = {1, 2};
    static const uint16_t words[] = {1, 2};
    static const uint32_t longs[] = {1, 2};
    struct Case {
        const char* emitter;
        const char* section;
        std::function<void()> emit;
        int line;
    } cases[] = {
        {"byte", ".data", [] { omf_emit_byte(1); }, 779},
        {"bytes", ".data", [] { omf_emit_bytes(2, bytes); }, 821},
        {"word", ".text", [] { omf_emit_word(1); }, 860},
        {"words", ".text", [] { omf_emit_words(2, words); }, 902},
        {"long", ".text", [] { omf_emit_long(1); }, 941},
        {"longs", ".text", [] { omf_emit_longs(2, longs); }, 983},
    };
    for (const Case& c : cases) {
        start_run();
        begin_pass(1);
        omf_find_section(c.section, 1);  // used, but nothing counted
        begin_pass(2);
        current_section = section_named(c.section);
        main_source.line = 17;
        CaptureStderr();
        EXPECT_THROW(c.emit(), AsmTrap) << c.emitter;
        EXPECT_EQ(GetCapturedStderr(), "prog.s: line 0017: PA-F0001 Fatal: Internal error detected (../src/paasmomf," +
                                           std::to_string(c.line) + ")\n")
            << c.emitter;
    }
}

TEST(Omf, OnlyTheElementBeyondTheCountFails) {
    start_run();
    begin_pass(1);
    omf_emit_long(0);
    begin_pass(2);
    const uint32_t two[] = {0xAAAAAA, 0xBBBBBB};
    CaptureStderr();
    EXPECT_THROW(omf_emit_longs(2, two), AsmTrap);
    EXPECT_EQ(GetCapturedStderr(), "prog.s: line 0000: PA-F0001 Fatal: Internal error detected (../src/paasmomf,983)\n");
    EXPECT_EQ(cell(section_named(".text"), 0), 0xAAAAAAu);
}

TEST(Omf, CaptureCountsTheElementsOfOneDirective) {
    start_run();
    for (int pass : {1, 2}) {
        begin_pass(pass);
        Section* data = section_named(".data");
        current_section = data;
        omf_emit_byte(9);
        omf_begin_capture();
        EXPECT_TRUE(capture_active);
        EXPECT_EQ(capture_start, 1u);
        EXPECT_EQ(capture_count, 0u);
        const uint8_t three[] = {1, 2, 3};
        omf_emit_bytes(3, three);
        omf_emit_byte(4);
        EXPECT_EQ(capture_count, 4u) << pass;
        omf_end_capture();
        EXPECT_FALSE(capture_active);
        EXPECT_EQ(capture_count, 0u);

        // In program memory the count is in elements, the location in units.
        current_section = section_named(".text");
        omf_emit_long(0);
        omf_begin_capture();
        EXPECT_EQ(capture_start, 2u);
        const uint16_t pair[] = {0x6162, 0x6300};
        omf_emit_words(2, pair);
        EXPECT_EQ(capture_count, 2u) << pass;
        EXPECT_EQ(current_section->location, 6u);
        omf_end_capture();
        omf_emit_long(1);  // outside a capture: not counted
        EXPECT_EQ(capture_count, 0u);

        if (pass == 1) {
            // A capture alone marks the section used.
            current_section = section_named(".bss");
            omf_begin_capture();
            omf_end_capture();
        }
    }
    EXPECT_EQ(list_names(), (std::vector<std::string>{".text", ".data", ".bss"}));
    EXPECT_EQ(section_named(".bss")->size, 0u);
    EXPECT_EQ(section_named(".bss")->image, nullptr);
    const uint8_t expected[] = {9, 1, 2, 3, 4};
    for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(section_named(".data")->image[i], expected[i]);
}

TEST(Omf, PlacedAddressesBeyondThirtyTwoBitsDoNotWrapToZero) {
    start_run();
    begin_pass(1);
    Section* first = make_section("first", MEMORY_DATA);
    Section* second = make_section("second", MEMORY_DATA);
    Section* third = make_section("third", MEMORY_DATA);
    // No statement moves a counter past the 24-bit address space; the
    // counters are set here to check the layout's own arithmetic.
    for (Section* section : {first, second, third}) section->location = 0x80000000u;
    // The layout alone: images of this size are not wanted here.
    pass_number = 2;
    omf_drop_unused_sections();
    omf_layout_sections();
    EXPECT_EQ(list_names(), (std::vector<std::string>{"third", "second", "first"}));
    EXPECT_EQ(third->placed_address, 0u);
    EXPECT_EQ(second->placed_address, 0x80000000u);
    EXPECT_EQ(first->placed_address, 0xFFFFFFFFu);
    EXPECT_EQ(first->size, 0x80000000u);
}

TEST(Omf, LaterPassesNeitherLayOutNorReset) {
    start_run();
    begin_pass(1);
    omf_emit_long(0x40000);
    begin_pass(2);
    omf_emit_long(0x40000);
    Section* text = section_named(".text");
    uint8_t* image = text->image;
    begin_pass(3);
    EXPECT_EQ(text->image, image);
    EXPECT_EQ(text->size, 1u);
    EXPECT_EQ(text->location, 2u);
    EXPECT_EQ(cell(text, 0), 0x40000u);
}

}  // namespace
