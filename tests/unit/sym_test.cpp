// Symbol tables: lookup and creation, label definition in both passes,
// numeric local labels, reference lines, externals at pass 2, the
// section label lists, the sorted lists and the name predicates.
#include <gtest/gtest.h>

#include "test_support.h"

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

SymbolKey key(const char* name, uint32_t kind = SYMKIND_ORDINARY) { return SymbolKey{kind, in(name)}; }

using test_support::begin_pass;
using test_support::section_named;
using test_support::start_run;

std::vector<std::string> sorted_names(int list) {
    std::vector<std::string> names;
    for (uint32_t i = 0; i < sorted_symbol_counts[list]; ++i) names.push_back(sorted_symbols[list][i]->name);
    return names;
}

std::vector<int32_t> reference_lines(const Symbol* symbol) {
    std::vector<int32_t> lines;
    for (const SymbolRefLine* entry = symbol->ref_lines; entry != nullptr; entry = entry->next)
        lines.push_back(entry->line);
    return lines;
}

int labels_only(const Symbol* symbol) { return (symbol->flags & SYM_LABEL) != 0 ? 1 : 0; }

TEST(Sym, LookupCreatesOneZeroedSymbolPerNameAndTable) {
    start_run();
    EXPECT_EQ(sym_lookup(key("alpha")), nullptr);
    Symbol* alpha = sym_lookup_or_create(key("alpha"));
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(sym_lookup_or_create(key("alpha")), alpha);
    EXPECT_EQ(sym_lookup(key("alpha")), alpha);
    EXPECT_EQ(alpha->name, in("alpha"));
    EXPECT_EQ(alpha->scope, SCOPE_LOCAL);
    EXPECT_EQ(alpha->value_class, CLASS_UNKNOWN);
    EXPECT_EQ(alpha->value_type, TYPE_NONE);
    EXPECT_EQ(alpha->flags, 0);
    EXPECT_EQ(alpha->def_line, 0);
    EXPECT_EQ(alpha->value.raw, 0u);
    EXPECT_EQ(alpha->section, nullptr);
    EXPECT_EQ(alpha->ref_lines, nullptr);

    // The same name in the other two tables is another symbol.
    Symbol* special = sym_lookup_or_create(key("alpha", SYMKIND_SPECIAL));
    Symbol* numeric = sym_lookup_or_create(key("alpha", SYMKIND_NUMERIC));
    EXPECT_NE(special, alpha);
    EXPECT_NE(numeric, alpha);
    EXPECT_NE(numeric, special);
    EXPECT_EQ(sym_lookup(key("beta", SYMKIND_SPECIAL)), nullptr);

    // Run-wide indices in creation order, across the tables.
    EXPECT_EQ(alpha->index, 0u);
    EXPECT_EQ(special->index, 1u);
    EXPECT_EQ(numeric->index, 2u);
    EXPECT_EQ(sym_symbol_at(0), alpha);
    EXPECT_EQ(sym_symbol_at(2), numeric);
    EXPECT_EQ(sym_symbol_at(3), nullptr);

    // Each table's list of every symbol, newest first.
    Symbol* beta = sym_lookup_or_create(key("beta"));
    EXPECT_EQ(sym_all_symbols(SYMKIND_ORDINARY), beta);
    EXPECT_EQ(beta->table_next, alpha);
    EXPECT_EQ(alpha->table_next, nullptr);
    EXPECT_EQ(sym_all_symbols(SYMKIND_SPECIAL), special);
    EXPECT_EQ(sym_all_symbols(SYMKIND_NUMERIC), numeric);
}

TEST(Sym, ManyNamesAreAllFoundAgain) {
    start_run();
    std::vector<Symbol*> made;
    for (int i = 0; i < 3000; ++i) made.push_back(sym_lookup_or_create(key(("n" + std::to_string(i)).c_str())));
    for (int i = 0; i < 3000; ++i) {
        Symbol* found = sym_lookup(key(("n" + std::to_string(i)).c_str()));
        ASSERT_EQ(found, made[i]) << i;
        EXPECT_EQ(found->index, static_cast<uint32_t>(i));
    }
    int listed = 0;
    for (Symbol* symbol = sym_all_symbols(SYMKIND_ORDINARY); symbol != nullptr; symbol = symbol->table_next) ++listed;
    EXPECT_EQ(listed, 3000);
}

TEST(Sym, LabelDefinedInPassOneTakesTheLocation) {
    start_run();
    begin_pass(1);
    Section* text = current_section;
    omf_emit_long(0);
    omf_emit_long(0);
    main_source.line = 5;
    Symbol* start = sym_define_label(key("start"));
    EXPECT_EQ(start->flags, SYM_DEFINED_PASS1 | SYM_LABEL);
    EXPECT_EQ(start->value_class, CLASS_RELOCATABLE);
    EXPECT_EQ(start->value_type, TYPE_INTEGER);
    EXPECT_EQ(start->section, text);
    EXPECT_EQ(start->value.raw, 4u);  // two program words, high half 0
    EXPECT_EQ(start->def_line, 5);
    EXPECT_EQ(start->scope, SCOPE_LOCAL);
    EXPECT_EQ(text->labels, start);

    // A label alone marks its section used.
    Section* data = section_named(".data");
    EXPECT_EQ(data->flags & SECT_USED, 0);
    current_section = data;
    main_source.line = 6;
    Symbol* buffer = sym_define_label(key("buffer"));
    EXPECT_EQ(buffer->section, data);
    EXPECT_EQ(buffer->value.raw, 0u);
    EXPECT_NE(data->flags & SECT_USED, 0);

    // Declared external before its label: the label becomes global.
    Symbol* entry = sym_lookup_or_create(key("entry"));
    entry->value_class = CLASS_EXTERNAL;
    Symbol* defined = sym_define_label(key("entry"));
    EXPECT_EQ(defined, entry);
    EXPECT_EQ(entry->scope, SCOPE_GLOBAL);
    EXPECT_EQ(entry->value_class, CLASS_RELOCATABLE);
}

TEST(Sym, SecondDefinitionAndMovedLabelReportedInPassTwo) {
    start_run();
    begin_pass(1);
    CaptureStderr();
    main_source.line = 2;
    sym_define_label(key("twice"));
    omf_advance_location(2);
    main_source.line = 4;
    Symbol* twice = sym_define_label(key("twice"));
    Symbol* moved = sym_define_label(key("moved"));
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(twice->value.word, 0u);  // the first definition stands
    EXPECT_EQ(twice->def_line, 2);
    EXPECT_EQ(moved->value.word, 2u);

    begin_pass(2);
    uint32_t errors_before = error_count;
    CaptureStderr();
    main_source.line = 2;
    sym_define_label(key("twice"));
    omf_advance_location(4);  // the reservation grew between the passes
    main_source.line = 4;
    sym_define_label(key("twice"));
    sym_define_label(key("moved"));
    EXPECT_EQ(GetCapturedStderr(),
              "prog.s: line 0004: PA-E0006 Error: Label 'twice' is already defined\n"
              "prog.s: line 0004: PA-E0002 Error: Phase error between passes (00000002!=00000004)\n");
    EXPECT_EQ(error_count - errors_before, 2u);
    EXPECT_EQ(moved->value.word, 2u);
    EXPECT_EQ(moved->def_line, 4);
    EXPECT_NE(moved->flags & SYM_DEFINED_PASS2, 0);
    EXPECT_EQ(twice->value.word, 0u);
}

TEST(Sym, LabelsAtTheSameLocationInBothPassesAreSilent) {
    start_run();
    uint32_t errors_before = error_count;
    for (int pass : {1, 2}) {
        begin_pass(pass);
        CaptureStderr();
        main_source.line = 1;
        sym_define_label(key("first"));
        omf_emit_long(0x123456);
        main_source.line = 2;
        sym_define_label(key("second"));
        EXPECT_EQ(GetCapturedStderr(), "") << pass;
    }
    EXPECT_EQ(sym_lookup(key("second"))->value.word, 2u);
    EXPECT_EQ(error_count, errors_before);
}

TEST(Sym, UndefinedOrdinaryNamesBecomeExternalWhenPassTwoStarts) {
    start_run();
    begin_pass(1);
    main_source.line = 3;
    Symbol* callee = sym_reference(key("_undefined_fn"));
    Symbol* declared = sym_reference(key("_declared"));
    declared->scope = SCOPE_GLOBAL;
    Symbol* special = sym_reference(key("tmp?", SYMKIND_SPECIAL));
    Symbol* instance = sym_reference(key("1f", SYMKIND_NUMERIC));
    Symbol* label = sym_define_label(key("here"));
    EXPECT_EQ(callee->value_class, CLASS_UNKNOWN);

    CaptureStderr();
    begin_pass(2);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(callee->value_class, CLASS_EXTERNAL);
    EXPECT_EQ(callee->value_type, TYPE_INTEGER);
    EXPECT_EQ(callee->value.raw, 0u);
    EXPECT_EQ(callee->scope, SCOPE_LOCAL);
    EXPECT_EQ(declared->value_class, CLASS_EXTERNAL);
    EXPECT_EQ(declared->scope, SCOPE_GLOBAL);
    EXPECT_EQ(special->value_class, CLASS_UNKNOWN);
    EXPECT_EQ(instance->value_class, CLASS_UNKNOWN);
    EXPECT_EQ(label->value_class, CLASS_RELOCATABLE);

    // Only the start of pass 2 converts.
    Symbol* late = sym_reference(key("late"));
    begin_pass(3);
    EXPECT_EQ(late->value_class, CLASS_UNKNOWN);
}

TEST(Sym, NumericLocalLabelsNameTheNearestDefinitionInBothPasses) {
    struct Step {
        const char* name;
        bool definition;
        const char* instance;
    } steps[] = {
        {"1b", false, "$10000"},  // before any definition: never defined
        {"1f", false, "$10001"}, {"1$", true, "$10001"},  {"1b", false, "$10001"},
        {"1f", false, "$10002"}, {"2$", true, "$20001"},  {"1$", true, "$10002"},
        {"1B", false, "$10002"}, {"1F", false, "$10003"}, {"2b", false, "$20001"},
        {"$$", true, "$$0001"},  {"$f", false, "$$0002"}, {"$$", true, "$$0002"},
        {"$B", false, "$$0002"}, {"1$", true, "$10003"},  {"1b", false, "$10003"},
    };
    start_run();
    std::vector<Symbol*> pass_one;
    for (int pass : {1, 2}) {
        begin_pass(pass);
        CaptureStderr();
        size_t i = 0;
        for (const Step& step : steps) {
            main_source.line = static_cast<int32_t>(i + 1);
            Symbol* symbol = step.definition ? sym_define_label(key(step.name, SYMKIND_NUMERIC))
                                             : sym_reference(key(step.name, SYMKIND_NUMERIC));
            EXPECT_EQ(symbol->name, in(step.instance)) << pass << ": step " << i << " " << step.name;
            EXPECT_EQ(sym_lookup(key(step.instance, SYMKIND_NUMERIC)), symbol);
            if (pass == 1)
                pass_one.push_back(symbol);
            else
                EXPECT_EQ(symbol, pass_one[i]) << "step " << i;
            ++i;
        }
        EXPECT_EQ(GetCapturedStderr(), "") << pass;
    }
    EXPECT_EQ(sym_lookup(key("$10000", SYMKIND_NUMERIC))->flags & SYM_DEFINED_PASS1, 0);
    EXPECT_EQ(sym_lookup(key("$10004", SYMKIND_NUMERIC)), nullptr);
    // Instances are no ordinary names.
    EXPECT_EQ(sym_lookup(key("$10001")), nullptr);
}

TEST(Sym, NumericLocalLabelInstanceNumbersGrowPastFourDigits) {
    start_run();
    begin_pass(1);
    Symbol* last = nullptr;
    for (int i = 0; i < 10000; ++i) last = sym_define_label(key("7$", SYMKIND_NUMERIC));
    EXPECT_EQ(last->name, in("$710000"));
    EXPECT_EQ(sym_reference(key("7f", SYMKIND_NUMERIC))->name, in("$710001"));
}

TEST(Sym, NumericNameOfAnotherFormIsUsedUnchanged) {
    start_run();
    begin_pass(1);
    Symbol* odd = sym_resolve_local_label(key("1x", SYMKIND_NUMERIC));
    EXPECT_EQ(odd->name, in("1x"));
    EXPECT_EQ(sym_lookup(key("1x", SYMKIND_NUMERIC)), odd);
    // No counter moved.
    EXPECT_EQ(sym_define_label(key("1$", SYMKIND_NUMERIC))->name, in("$10001"));
}

TEST(Sym, ReferenceLinesAreKeptOncePerLineInFirstReferenceOrder) {
    start_run();
    begin_pass(1);
    main_source.line = 5;
    Symbol* x = sym_reference(key("x"));
    sym_reference(key("x"));
    sym_reference(key("x"));
    main_source.line = 9;
    sym_reference(key("x"));
    Symbol* y = sym_reference(key("y"));
    main_source.line = 5;
    sym_reference(key("y"));
    main_source.line = 9;
    sym_reference(key("y"));
    EXPECT_EQ(reference_lines(x), (std::vector<int32_t>{5, 9}));
    EXPECT_EQ(reference_lines(y), (std::vector<int32_t>{9, 5}));
    EXPECT_EQ(x->flags, SYM_REFERENCED_PASS1);

    begin_pass(2);
    main_source.line = 5;
    sym_reference(key("x"));
    main_source.line = 12;
    sym_reference(key("x"));
    EXPECT_EQ(reference_lines(x), (std::vector<int32_t>{5, 9, 12}));
    EXPECT_EQ(x->flags, SYM_REFERENCED_PASS1 | SYM_REFERENCED_PASS2);

    begin_pass(3);
    Symbol* z = sym_reference(key("z"));
    EXPECT_EQ(z->flags, SYM_REFERENCED_PASS2);
}

TEST(Sym, SectionLabelListAscendsBySignedValueKeepingDefinitionOrderOfTies) {
    start_run();
    Section section{};
    struct Label {
        const char* name;
        uint32_t value;
    } labels[] = {{"a4", 4}, {"b0", 0}, {"c4", 4}, {"dminus", 0xFFFFFFFFu}, {"e2", 2}, {"f0", 0}};
    for (const Label& label : labels) {
        Symbol* symbol = sym_lookup_or_create(key(label.name));
        symbol->value.word = label.value;
        sym_insert_in_section(symbol, &section);
    }
    std::vector<std::string> order;
    for (const Symbol* symbol = section.labels; symbol != nullptr; symbol = symbol->section_next)
        order.push_back(symbol->name);
    EXPECT_EQ(order, (std::vector<std::string>{"dminus", "b0", "f0", "e2", "a4", "c4"}));
}

TEST(Sym, ListByNameComparesUnsignedBytes) {
    start_run();
    for (const char* name : {"beta", "alpha", "Alpha", "al", "\xE9t\xE9", "_x"}) sym_lookup_or_create(key(name));
    sym_build_sorted_list(LIST_BY_NAME, nullptr);
    EXPECT_EQ(sorted_names(LIST_BY_NAME),
              (std::vector<std::string>{"Alpha", "_x", "al", "alpha", "beta", "\xE9t\xE9"}));
}

TEST(Sym, ListByNameOrdersNamesThatShareLongBeginnings) {
    // Names that agree in their first 7, 8, 9, 15, 16 and 17 bytes and differ
    // only after, by a high byte, or by one being the other's beginning.
    start_run();
    const char* names[] = {
        ".text._f10",           ".text._f1",           ".text._f",           ".text._",
        ".text._f123456789",    ".text._f12345678",    ".text._f1234567",    ".text._f123456780",
        ".text._f12345678\xE9", ".text._f1234567\xE9", ".text._f\xE9",        ".text._fA",
        ".text._f12345678zzzzb", ".text._f12345678zzzza", ".text._f12345670"};
    for (const char* name : names) sym_lookup_or_create(key(name));
    sym_build_sorted_list(LIST_BY_NAME, nullptr);
    EXPECT_EQ(sorted_names(LIST_BY_NAME),
              (std::vector<std::string>{
                  ".text._",           ".text._f",          ".text._f1",         ".text._f10",
                  ".text._f1234567",   ".text._f12345670",  ".text._f12345678",  ".text._f123456780",
                  ".text._f123456789", ".text._f12345678zzzza", ".text._f12345678zzzzb",
                  ".text._f12345678\xE9", ".text._f1234567\xE9", ".text._fA", ".text._f\xE9"}));
}

TEST(Sym, ShellSortOrdersTiesByItsOwnSteps) {
    // Created d, c, b, a, so the newest-first input reads a(4) b(4) c(3) d(9).
    // Gap 2 swaps a and c; gap 1 leaves b before a: c b a d.
    start_run();
    begin_pass(1);
    struct Def {
        const char* name;
        int32_t line;
    } defs[] = {{"d", 9}, {"c", 3}, {"b", 4}, {"a", 4}};
    for (const Def& def : defs) {
        main_source.line = def.line;
        sym_define_label(key(def.name));
    }
    sym_build_sorted_list(LIST_BY_LINE, labels_only);
    EXPECT_EQ(sorted_names(LIST_BY_LINE), (std::vector<std::string>{"c", "b", "a", "d"}));
}

TEST(Sym, ListByValueBreaksTiesByDefinitionLine) {
    start_run();
    begin_pass(1);
    main_source.line = 1;
    sym_reference(key(".LM2"));  // created before .LM3
    sym_define_label(key("main"));
    omf_advance_location(4);
    main_source.line = 6;
    sym_define_label(key(".LM2"));
    main_source.line = 7;
    sym_define_label(key(".LM3"));
    current_section = section_named(".data");
    omf_advance_location(2);
    main_source.line = 8;
    sym_define_label(key(".LSM1"));
    sym_build_sorted_list(LIST_BY_VALUE, sym_is_line_label);
    EXPECT_EQ(sorted_names(LIST_BY_VALUE), (std::vector<std::string>{".LSM1", ".LM2", ".LM3"}));
}

TEST(Sym, RebuiltListsFollowTheirFilterAndTheTable) {
    start_run();
    Symbol* target = sym_lookup_or_create(key(".L5"));
    target->flags |= SYM_BRANCH_TARGET;
    target->def_line = 20;
    Symbol* other = sym_lookup_or_create(key(".L6"));
    other->def_line = 10;
    Symbol* debug = sym_lookup_or_create(key(".LBB3"));
    debug->flags |= SYM_BRANCH_TARGET;
    debug->def_line = 15;

    sym_build_sorted_list(LIST_BY_LINE, sym_is_branch_target);
    EXPECT_EQ(sorted_names(LIST_BY_LINE), (std::vector<std::string>{".LBB3", ".L5"}));
    sym_build_sorted_list(LIST_BY_LINE, sym_is_debug_or_nontarget_local);
    EXPECT_EQ(sorted_names(LIST_BY_LINE), (std::vector<std::string>{".L6", ".LBB3"}));
    sym_build_sorted_list(LIST_BY_LINE, [](const Symbol*) { return 0; });
    EXPECT_EQ(sorted_symbol_counts[LIST_BY_LINE], 0u);

    // The table grew after the first build: the rebuild holds every name.
    sym_build_sorted_list(LIST_BY_NAME, nullptr);
    EXPECT_EQ(sorted_symbol_counts[LIST_BY_NAME], 3u);
    for (const char* name : {"z1", "a1", "m1", "b1"}) sym_lookup_or_create(key(name));
    sym_build_sorted_list(LIST_BY_NAME, nullptr);
    EXPECT_EQ(sorted_names(LIST_BY_NAME),
              (std::vector<std::string>{".L5", ".L6", ".LBB3", "a1", "b1", "m1", "z1"}));
}

TEST(Sym, EmptyTableGivesEmptyList) {
    start_run();
    sym_build_sorted_list(LIST_BY_NAME, nullptr);
    EXPECT_EQ(sorted_symbol_counts[LIST_BY_NAME], 0u);
}

TEST(Sym, UnknownSortedListIsAnInternalError) {
    start_run();
    Symbol* a = sym_lookup_or_create(key("a"));
    Symbol* b = sym_lookup_or_create(key("b"));
    const std::string fatal = "prog.s: line 0000: PA-F0001 Fatal: Internal error detected (../src/paasmsym,786)\n";
    CaptureStderr();
    try {
        sym_compare_sorted(3, a, b);
        ADD_FAILURE() << "no fatal error";
    } catch (const AsmTrap& trap) {
        EXPECT_EQ(trap.status, 15);
    }
    EXPECT_EQ(GetCapturedStderr(), fatal);
    CaptureStderr();
    EXPECT_THROW(sym_build_sorted_list(-1, nullptr), AsmTrap);
    EXPECT_EQ(GetCapturedStderr(), fatal);
}

TEST(Sym, NamePredicates) {
    struct Case {
        const char* name;
        int debug, line, local;
    } cases[] = {
        {".LBB2", 1, 0, 1}, {".LBE", 1, 0, 1},  {".LCFI0", 1, 0, 1}, {".LFB1", 1, 0, 1},
        {".LFE12", 1, 0, 1}, {".LM", 1, 1, 1},  {".LM34", 1, 1, 1},  {".LSM7", 1, 1, 1},
        {".LC0", 0, 0, 1},  {".LF", 0, 0, 1},   {".L", 0, 0, 1},     {".LB", 0, 0, 1},
        {".lm1", 0, 0, 0},  {"LM1", 0, 0, 0},   {"_main", 0, 0, 0},  {".", 0, 0, 0},
        {"", 0, 0, 0},
    };
    start_run();
    for (const Case& c : cases) {
        EXPECT_EQ(sym_is_debug_label(c.name), c.debug) << c.name;
        EXPECT_EQ(sym_is_local_name(c.name), c.local) << c.name;
        Symbol* symbol = sym_lookup_or_create(key(c.name));
        EXPECT_EQ(sym_is_line_label(symbol), c.line) << c.name;
        EXPECT_EQ(sym_is_debug_or_nontarget_local(symbol), c.local) << c.name;  // no branch target
        symbol->flags |= SYM_BRANCH_TARGET;
        EXPECT_NE(sym_is_branch_target(symbol), 0) << c.name;
        EXPECT_EQ(sym_is_debug_or_nontarget_local(symbol), c.debug) << c.name;
        symbol->flags = 0;
        EXPECT_EQ(sym_is_branch_target(symbol), 0) << c.name;
    }
}

}  // namespace
