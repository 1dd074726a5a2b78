// The orders that the fast symbol structures must keep: section label
// lists ascending by value with equal values in definition order, however
// the labels arrive; reference lines once each in order of first
// reference, across both passes; the sorted lists with their ties exactly
// as the gap-halving Shell sort leaves them; interned names and symbols
// found again after their tables have grown many times; sections found by
// name in any letter case as the first match of a walk of the section
// list, before and after the layout regroups it; and source lines split
// from blocks exactly as a line-at-a-time read splits them.
#include <gtest/gtest.h>

// Only the whole-run helper of this header is used here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include "asm_support.h"
#pragma GCC diagnostic pop
#include "test_support.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmsym.h"

namespace {

using test_support::begin_pass;
using test_support::start_run;

std::string numbered(const char* prefix, int n) { return std::string(prefix).append(std::to_string(n)); }

SymbolKey key(const std::string& name) { return SymbolKey{SYMKIND_ORDINARY, intern_string(name.c_str())}; }

std::vector<Symbol*> label_list(const Section* section) {
    std::vector<Symbol*> labels;
    for (Symbol* symbol = section->labels; symbol != nullptr; symbol = symbol->section_next)
        labels.push_back(symbol);
    return labels;
}

std::vector<int32_t> reference_lines(const Symbol* symbol) {
    std::vector<int32_t> lines;
    for (const SymbolRefLine* entry = symbol->ref_lines; entry != nullptr; entry = entry->next)
        lines.push_back(entry->line);
    return lines;
}

// Defines labels at the given locations of the current section, one a line,
// and answers them in definition order.
std::vector<Symbol*> define_at(const std::vector<uint32_t>& locations, const std::string& prefix) {
    std::vector<Symbol*> defined;
    for (size_t i = 0; i < locations.size(); ++i) {
        current_section->location = locations[i];
        main_source.line = static_cast<int32_t>(i + 1);
        defined.push_back(sym_define_label(key(prefix + std::to_string(i))));
    }
    return defined;
}

// Definition order, stably sorted by value: the list the section must hold.
std::vector<Symbol*> expected_label_list(std::vector<Symbol*> defined) {
    std::stable_sort(defined.begin(), defined.end(), [](const Symbol* a, const Symbol* b) {
        return a->value.integer < b->value.integer;
    });
    return defined;
}

TEST(PerfOrder, LabelsOutOfOrderKeepTheListAscendingWithTiesInDefinitionOrder) {
    std::mt19937 random(12345);
    std::vector<std::vector<uint32_t>> cases = {
        {10, 20, 20, 5, 30, 15, 20, 5, 40},
        {8, 7, 6, 4, 3, 0},   // every label below the last
        {0, 0, 0, 2, 2, 4},   // every label at or above the last
        {0x90000000u, 4, 0x7FFFFFF0u, 0},  // values compare signed
    };
    std::vector<uint32_t> mixed;
    for (int i = 0; i < 3000; ++i) {
        // Mostly rising, as a source is, with some labels further down.
        uint32_t step = static_cast<uint32_t>(i) * 2;
        mixed.push_back(random() % 8 == 0 ? step - static_cast<uint32_t>(random() % (step + 1)) : step);
    }
    cases.push_back(mixed);
    for (size_t c = 0; c < cases.size(); ++c) {
        SCOPED_TRACE(c);
        start_run();
        begin_pass(1);
        Section* section = current_section;
        std::vector<Symbol*> defined = define_at(cases[c], "l");
        EXPECT_EQ(label_list(section), expected_label_list(defined));
    }
}

TEST(PerfOrder, LabelsOfTwoSectionsInterleavedKeepTheirOwnLists) {
    start_run();
    begin_pass(1);
    Section* text = current_section;
    Section* data = test_support::section_named(".data");
    ASSERT_NE(data, nullptr);
    std::vector<Symbol*> text_labels, data_labels;
    const uint32_t text_at[] = {4, 8, 2, 8, 12};
    const uint32_t data_at[] = {3, 1, 3, 0, 9};
    for (int i = 0; i < 5; ++i) {
        current_section = text;
        text_labels.push_back(define_at({text_at[i]}, numbered("t", i)).front());
        current_section = data;
        data_labels.push_back(define_at({data_at[i]}, numbered("d", i)).front());
    }
    EXPECT_EQ(label_list(text), expected_label_list(text_labels));
    EXPECT_EQ(label_list(data), expected_label_list(data_labels));
}

TEST(PerfOrder, ReferenceLinesAcrossBothPassesAreKeptOnceInFirstReferenceOrder) {
    start_run();
    begin_pass(1);
    const int32_t pass1[] = {3, 3, 5, 9, 9, 12};
    for (int32_t line : pass1) {
        main_source.line = line;
        sym_reference(key("x"));
    }
    begin_pass(2);
    // The same lines again, one new line in between and one before them all.
    const int32_t pass2[] = {3, 5, 7, 9, 12, 2, 7};
    for (int32_t line : pass2) {
        main_source.line = line;
        sym_reference(key("x"));
    }
    EXPECT_EQ(reference_lines(sym_lookup(key("x"))), (std::vector<int32_t>{3, 5, 9, 12, 7, 2}));
}

TEST(PerfOrder, ReferenceLinesOfManySymbolsMatchAPlainList) {
    start_run();
    std::mt19937 random(777);
    const int names = 40;
    std::vector<std::vector<int32_t>> expected(names);
    for (int pass = 1; pass <= 3; ++pass) {
        begin_pass(pass);
        for (int32_t line = 1; line <= 2000; ++line) {
            main_source.line = line;
            for (int k = static_cast<int>(random() % 4); k > 0; --k) {
                int n = static_cast<int>(random() % names);
                sym_reference(key(numbered("n", n)));
                std::vector<int32_t>& lines = expected[n];
                if (std::find(lines.begin(), lines.end(), line) == lines.end()) lines.push_back(line);
            }
        }
    }
    for (int n = 0; n < names; ++n) {
        SCOPED_TRACE(n);
        Symbol* symbol = sym_lookup(key(numbered("n", n)));
        if (expected[n].empty()) {
            EXPECT_EQ(symbol, nullptr);
            continue;
        }
        ASSERT_NE(symbol, nullptr);
        EXPECT_EQ(reference_lines(symbol), expected[n]);
    }
}

TEST(PerfOrder, ReferenceLinesRepeatedByEveryPassAreKeptOnce) {
    // What assembly does: every pass makes the same references again.
    start_run();
    const int names = 8;
    std::vector<std::vector<int32_t>> expected(names);
    for (int pass = 1; pass <= 4; ++pass) {
        begin_pass(pass);
        std::mt19937 random(31);  // the same references in every pass
        for (int32_t line = 1; line <= 500; ++line) {
            main_source.line = line;
            for (int k = static_cast<int>(random() % 3); k > 0; --k) {
                int n = static_cast<int>(random() % names);
                sym_reference(key(numbered("r", n)));
                if (pass == 1 && (expected[n].empty() || expected[n].back() != line)) expected[n].push_back(line);
            }
        }
    }
    for (int n = 0; n < names; ++n) {
        SCOPED_TRACE(n);
        const Symbol* symbol = sym_lookup(key(numbered("r", n)));
        ASSERT_NE(symbol, nullptr);
        EXPECT_EQ(reference_lines(symbol), expected[n]);
    }
}

// The oracle: the gap-halving Shell sort, step by step as specified.
std::vector<Symbol*> literal_shell_sort(int list, std::vector<Symbol*> a) {
    int64_t count = static_cast<int64_t>(a.size());
    for (int64_t gap = count / 2; gap > 0; gap /= 2) {
        for (int64_t i = gap; i < count; ++i) {
            for (int64_t j = i - gap; j >= 0; j -= gap) {
                if (sym_compare_sorted(list, a[j], a[j + gap]) <= 0) break;
                std::swap(a[j], a[j + gap]);
            }
        }
    }
    return a;
}

std::vector<Symbol*> newest_first(int (*filter)(const Symbol*)) {
    std::vector<Symbol*> symbols;
    for (Symbol* symbol = sym_all_symbols(SYMKIND_ORDINARY); symbol != nullptr; symbol = symbol->table_next) {
        if (filter == nullptr || filter(symbol)) symbols.push_back(symbol);
    }
    return symbols;
}

std::vector<Symbol*> built_list(int list) {
    return std::vector<Symbol*>(sorted_symbols[list], sorted_symbols[list] + sorted_symbol_counts[list]);
}

int odd_index(const Symbol* symbol) { return static_cast<int>(symbol->index & 1); }

TEST(PerfOrder, SortedListsTieExactlyAsTheShellSort) {
    std::mt19937 random(4242);
    const size_t sizes[] = {0, 1, 2, 3, 5, 7, 16, 31, 100, 257, 1000, 3001};
    for (size_t size : sizes) {
        // Few distinct lines and values, so that ties are everywhere; names
        // with shared prefixes of different lengths.
        for (int spread : {1, 3, 50}) {
            SCOPED_TRACE(std::to_string(size) + " symbols, spread " + std::to_string(spread));
            start_run();
            for (size_t i = 0; i < size; ++i) {
                std::string name = std::string(random() % 3, 'p') + std::to_string(random() % 100000) + "_" +
                                   std::to_string(i);
                Symbol* symbol = sym_lookup_or_create(key(name));
                symbol->def_line = static_cast<int32_t>(random() % spread);
                symbol->value.integer = static_cast<int32_t>(random() % spread) - spread / 2;
            }
            // Names that agree in their first eight bytes or end within
            // them, and bytes above 0x7F, which order as unsigned.
            if (size >= 16) {
                for (const char* name : {"abcdefgh", "abcdefghi", "abcdefg", "abcdefgh\x80", "abcdefgh!",
                                         "\xC3\xA9t\xC3\xA9", "zzzzzzzzz", "zzzzzzzz\x7F", "a"})
                    sym_lookup_or_create(key(name))->def_line = static_cast<int32_t>(random() % spread);
            }
            for (int list : {LIST_BY_NAME, LIST_BY_VALUE, LIST_BY_LINE}) {
                SCOPED_TRACE(list);
                for (int (*filter)(const Symbol*) : {static_cast<int (*)(const Symbol*)>(nullptr), odd_index}) {
                    std::vector<Symbol*> expected = literal_shell_sort(list, newest_first(filter));
                    sym_build_sorted_list(list, filter);
                    EXPECT_EQ(built_list(list), expected);
                }
            }
        }
    }
}

TEST(PerfOrder, GrownTablesFindEveryNameAgainAndKeepNewestFirst) {
    start_run();
    const int count = 20000;
    std::vector<const char*> texts;
    std::vector<Symbol*> symbols;
    for (int i = 0; i < count; ++i) {
        // Long names that differ only far from their ends as well.
        std::string name = (i % 2 ? "x" : std::string(40, 'q')) + std::to_string(i) + std::string(40, 'z');
        texts.push_back(intern_string(name.c_str()));
        symbols.push_back(sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, texts.back()}));
    }
    for (int i = 0; i < count; ++i) {
        std::string name = (i % 2 ? "x" : std::string(40, 'q')) + std::to_string(i) + std::string(40, 'z');
        ASSERT_EQ(intern_string(name.c_str()), texts[i]) << i;
        ASSERT_EQ(intern_text_at(intern_index_of(name.c_str(), static_cast<uint32_t>(name.size()))), texts[i]);
        ASSERT_EQ(sym_lookup(SymbolKey{SYMKIND_ORDINARY, texts[i]}), symbols[i]) << i;
    }
    std::vector<Symbol*> newest = newest_first(nullptr);
    std::reverse(newest.begin(), newest.end());
    EXPECT_EQ(newest, symbols);
}

// A section as .section makes it, with the memory kind's geometry.
Section* new_section(const std::string& name, uint8_t kind) {
    Symbol* symbol = sym_lookup_or_create(key(name));
    symbol->value_type = TYPE_SECTION;
    symbol->value_class = CLASS_EXTERNAL;
    symbol->scope = SCOPE_SECTION;
    symbol->flags |= SYM_DEFINED_PASS1 | SYM_DEFINED_PASS2;
    Section* section = omf_create_section(kind, 1, symbol, 0);
    symbol->section = section;
    section->bytes_per_element = kind == MEMORY_PROGRAM ? 4 : 1;
    section->units_per_element = kind == MEMORY_PROGRAM ? 2 : 1;
    return section;
}

std::string folded(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string in_case(const std::string& name, unsigned pattern) {
    std::string text = name;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        bool upper = ((pattern >> (i % 16)) & 1u) != 0;
        if (upper && c >= 'a' && c <= 'z') text[i] = static_cast<char>(c - 'a' + 'A');
        if (!upper && c >= 'A' && c <= 'Z') text[i] = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The oracle: a walk of the list that keeps, for every name folded to
// lower case letter by letter, the first section that bears it.
std::map<std::string, Section*> first_in_list() {
    std::map<std::string, Section*> first;
    for (Section* section = section_list; section != nullptr; section = section->next)
        first.emplace(folded(section->symbol->name), section);
    return first;
}

Section* found(const std::string& name) {
    Symbol* symbol = omf_find_section(name.c_str(), 0);
    return symbol != nullptr ? symbol->section : nullptr;
}

TEST(PerfOrder, SectionsAreFoundInAnyLetterCaseAsTheFirstMatchOfTheList) {
    start_run();
    begin_pass(1);
    omf_find_section(".text", 1);  // used, as a .section statement's template
    // Per-function sections, some of them again under a name that differs
    // only in letter case, of the other memory kind (a pair that the layout
    // puts the other way round), and a few with the default names.
    std::mt19937 random(17);
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i) names.push_back(numbered(".text._func", i));
    names.push_back("Vectors");
    std::vector<std::string> asked;
    for (size_t i = 0; i < names.size(); ++i) {
        new_section(in_case(names[i], static_cast<unsigned>(random())), MEMORY_PROGRAM);
        if (i % 7 == 0) new_section(in_case(names[i], static_cast<unsigned>(random())), MEMORY_DATA);
        asked.push_back(in_case(names[i], static_cast<unsigned>(random())));
    }
    new_section(".DATA", MEMORY_PROGRAM);
    new_section(".Text", MEMORY_DATA);
    for (const char* name : {".data", ".TEXT", ".bss", "no such section", "", ".text._func", ".text._func30000"})
        asked.push_back(name);

    auto check = [&](const char* when) {
        std::map<std::string, Section*> first = first_in_list();
        for (const std::string& name : asked) {
            auto entry = first.find(folded(name));
            ASSERT_EQ(found(name), entry != first.end() ? entry->second : nullptr) << when << ": " << name;
        }
    };
    check("pass 1");
    // The layout regroups the list: program memory first, then data.
    begin_pass(2);
    main_source.line = 1;
    check("pass 2");
    EXPECT_EQ(found(".bss"), nullptr) << "an unused default section is dropped";
    EXPECT_EQ(found(".text")->memory_kind, MEMORY_PROGRAM) << "the program section of the name comes first now";
}

// The oracle: lines as read one at a time, at most 664 characters, cut at
// a zero byte, completed with the newline they lack.
std::vector<std::string> lines_read_one_at_a_time(const std::string& source) {
    char path[] = "/tmp/zpa-perf-lines-XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    FILE* file = fdopen(fd, "w+b");
    std::fwrite(source.data(), 1, source.size(), file);
    std::rewind(file);
    std::vector<std::string> lines;
    char buffer[666];
    while (std::fgets(buffer, 665, file) != nullptr) {
        std::string line(buffer, std::strlen(buffer));
        if (line.empty() || line.back() != '\n') line += '\n';
        lines.push_back(line);
    }
    std::fclose(file);
    std::remove(path);
    return lines;
}

TEST(PerfOrder, SourceLinesAcrossReadBlocksAreSplitAsOneAtATime) {
    std::mt19937 random(99);
    std::string source;
    // Well over several read blocks: comment lines of every length around
    // the 664-character cut, zero bytes, carriage returns, empty lines.
    while (source.size() < 400000) {
        size_t length = random() % 8 == 0 ? 660 + random() % 10 : random() % 120;
        std::string line = ";";
        for (size_t i = 1; i < length; ++i) line += static_cast<char>('a' + random() % 26);
        if (random() % 50 == 0) line[line.size() / 2] = '\0';
        if (random() % 40 == 0) line += '\r';
        if (random() % 30 == 0) line.clear();
        source += line + "\n";
    }
    source += "; the last line has no newline";
    std::vector<std::string> expected = lines_read_one_at_a_time(source);
    // The lines are kept for the writer's pass, so an output file is named.
    const std::string output = testing::TempDir() + "zpa-perf-order-out.s";
    AsmRun run = assemble(source, {"-o", output});
    std::remove(output.c_str());
    ASSERT_EQ(line_total, static_cast<int32_t>(expected.size()));
    for (int32_t i = 0; i < line_total; ++i) ASSERT_EQ(std::string(saved_lines[i]), expected[i]) << i;
}

}  // namespace
