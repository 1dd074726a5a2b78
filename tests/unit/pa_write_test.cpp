// The rewritten source of the default mode. The first part checks, for
// every end-to-end case that rewrites a compiler-style source, that the
// expected output assembles again without an error and takes exactly the
// program words the input takes, less those that the profitability
// arithmetic counted for its aggregations (plus what the writer saves
// beyond that: a tail call written as a jump or a comment, a retlw). The
// second part runs the writer on sources of its own for the endings of
// closed bodies and their writing order.
#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "asm_support.h"
#include "build_traits.h"

namespace {

// ---- The end-to-end fixtures ----------------------------------------------------

// Program words saved by each case's rewriting: counted + written beyond.
struct Saving {
    int counted;
    int beyond;  // what the writer saves that the arithmetic did not count
};

// Worked out from the profitability rules: closed n x s - (s + n x c + r),
// opened (n - 1) x (s - c), summed over the aggregations made.
const std::map<std::string, Saving> savings = {
    {"pa-closed-called-twice", {1, 0}},          // 2 x 4 - (4 + 2 + 1)
    {"pa-opened-body-jumped-into", {2, 0}},      // (2 - 1) x (3 - 1)
    {"pa-opened-body-repeat-pair-line-labels", {2, 0}},  // (2 - 1) x (3 - 1)
    {"pa-block-ends-at-section-change", {0, 0}},  // 2 x 2 - (2 + 2 + 1): none made
    {"pa-called-label-ends-block", {1, 0}},       // 2 x 4 - (4 + 2 + 1)
    {"pa-profit-zero-unchanged", {0, 0}},        // 2 x 3 - (3 + 2 + 1): none made
    {"pa-label-named-by-code-data-ends-block", {0, 0}},  // 2 x 3 - (3 + 2 + 1): none made
    {"pa-data-in-code-ends-block", {0, 0}},      // 2 x 3 - (3 + 2 + 1): none made
    {"pa-plain-stack-store-ends-run", {0, 0}},   // 2 x 3 - (3 + 2 + 1): none made
    {"pa-plain-stack-store-splits-run", {8, 0}}, // 3 x 5 - (5 + 3 + 1), 3 x 3 - (3 + 3 + 1)
    {"pa-nested-tail-call", {9, 2}},             // 5 + 4; ;bra drops the call and the return
    {"pa-nested-limit-one", {6, 0}},             // 5 + (2 x 4 - (4 + 2 + 1))
    {"pa-nested-limit-zero", {0, 0}},            // nothing searched
    {"pa-helper-tail", {2, 0}},                  // 2 x 4 - (4 + 2 + 0)
    {"pa-retlw-ending", {1, 1}},                 // retlw: move and return in one
    {"pa-stack-move-relocated", {1, 0}},         // 2 x 4 - (4 + 2 + 1)
    {"pa-debug-keeps-rewritten-lines", {2, 1}},  // 2 x 5 - (5 + 2 + 1), and retlw
    {"pa-label-inside-window", {1, 0}},
    {"pa-plain-label-in-body", {1, 0}},
    {"pa-elf-body-labels", {1, 0}},
    {"pa-elf-line-label-copies", {1, 0}},
    {"pa-bundled-example", {4, 0}},      // 3 x 4 - (4 + 3 + 1)
    {"pa-long-forms-opened", {1, 0}},    // (2 - 1) x (3 - 2)
    {"pa-long-forms-nested", {4, 3}},    // 3 + 1; ;goto drops the 2-word call and the return
    // 2 x 5 - (5 + 2 + 1); the head of _f3 and _f4 alone: 2 x 3 - (3 + 2 + 1)
    {"pa-lowered-spill-is-another-instruction", {2, 0}},
};

std::string cases_folder() {
    std::string here = __FILE__;
    return here.substr(0, here.rfind('/')) + "/../e2e/cases";
}

// The body of section `head` (a line "--- file prog.s" or "--- expect
// out.pa") of a case file, or empty when it has none.
std::string case_section(const std::string& text, const std::string& head) {
    size_t at = text.find("\n" + head + "\n");
    if (at == std::string::npos) return "";
    at += head.size() + 2;
    size_t end = text.find("\n--- ", at - 1);
    return text.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at);
}

bool case_applies(const std::string& text) {
    if (text.find("\nonly: elf\n") != std::string::npos) return BuildTraits::is_elf;
    if (text.find("\nonly: coff\n") != std::string::npos) return BuildTraits::is_coff;
    return true;
}

// The case's name without the build's twin suffix.
std::string base_name(std::string name) {
    const std::string suffix = "-coff";
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        name.erase(name.size() - suffix.size());
    return name;
}

size_t count_of(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

TEST(PaWriteFixtures, RewrittenSourcesAssembleAgainSmallerByTheCountedWords) {
    DIR* folder = opendir(cases_folder().c_str());
    ASSERT_NE(folder, nullptr) << cases_folder();
    std::vector<std::string> names;
    while (dirent* entry = readdir(folder)) {
        std::string name = entry->d_name;
        if (name.rfind("pa-", 0) == 0 && name.size() > 5 && name.substr(name.size() - 5) == ".case")
            names.push_back(name.substr(0, name.size() - 5));
    }
    closedir(folder);
    int checked = 0;
    for (const std::string& name : names) {
        std::ifstream file(cases_folder() + "/" + name + ".case", std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        const std::string input = case_section(text.str(), "--- file prog.s");
        const std::string output = case_section(text.str(), "--- expect out.pa");
        if (input.empty() || output.empty() || !case_applies(text.str())) continue;
        SCOPED_TRACE(name);
        auto saving = savings.find(base_name(name));
        ASSERT_NE(saving, savings.end()) << "no saving worked out for " << name;

        AsmRun before = assemble(input, {"-w"});
        ASSERT_EQ(before.status, 0) << before.errors;
        const size_t words_before = cells_of(".text").size();
        AsmRun after = assemble(output, {"-w"});
        ASSERT_EQ(after.status, 0) << after.errors;
        const size_t words_after = cells_of(".text").size();
        // No error; at most the input's warnings (a label in front of an
        // instruction keeps its warning where its line is kept).
        EXPECT_EQ(count_of(after.errors, "PA-E"), 0u) << after.errors;
        EXPECT_LE(count_of(after.errors, "PA-"), count_of(before.errors, "PA-")) << after.errors;
        EXPECT_EQ(static_cast<int>(words_before - words_after), saving->second.counted + saving->second.beyond);
        ++checked;
    }
    EXPECT_GE(checked, 12);
}

// ---- The writer on sources of its own ------------------------------------------------

// Runs the default mode on `source` with the rewritten source on the
// standard output, and returns that output.
std::string rewrite(const std::string& source, std::vector<std::string> options = {}) {
    options.push_back("-ostdout");
    testing::internal::CaptureStdout();
    AsmRun run = assemble(source, options);
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    return output;
}

// The body markers of the ELF build.
std::string body_start(int id) { return BuildTraits::is_elf ? ".LPA" + std::to_string(id) + ".LSB:\n" : ""; }
std::string body_end(int id) { return BuildTraits::is_elf ? ".LPA" + std::to_string(id) + ".LSE:\n" : ""; }

// Two functions sharing four instructions after a first one that differs;
// `last` is the shared sequence's last instruction. No .end: the closed
// bodies come after every line of the source.
std::string two_functions(const std::string& last, const std::string& extra = "") {
    return "\t.section\t.text,code\n"       // 1
           "\t.set\t___PA___,1\n"           // 2
           "\t.global\t_f\n"                // 3
           "_f:\n"                          // 4
           "\tlnk\t#2\n"                    // 5
           "\tmov\tw0,[w14]\n"              // 6
           "\tmov\t[w14],w1\n"              // 7
           "\tadd\tw1,w1,w1\n"              // 8
           "\tmov\tw1,[w14]\n"              // 9
           "\t" + last + "\n"               // 10
           "\tulnk\n"                       // 11
           "\treturn\n"                     // 12
           "\t.global\t_g\n"                // 13
           "_g:\n"                          // 14
           "\tlnk\t#2\n"                    // 15
           "\tmov\tw2,[w14]\n"              // 16
           "\tmov\t[w14],w1\n"              // 17
           "\tadd\tw1,w1,w1\n"              // 18
           "\tmov\tw1,[w14]\n"              // 19
           "\t" + last + "\n"               // 20
           "\tulnk\n"                       // 21
           "\treturn\n" +                   // 22
           extra;
}

// What two_functions becomes: both sequences (lines 7 to 10 and 17 to 20)
// call body 0, written after the program with `ending` after its first
// three instructions.
std::string two_functions_rewritten(const std::string& extra, const std::string& ending) {
    return "\t.section\t.text,code\n"
           "\t.set\t___PA___,1\n"
           "\t.global\t_f\n"
           "_f:\n"
           "\tlnk\t#2\n"
           "\tmov\tw0,[w14]\n"
           "\trcall\t.LPA0\t; 7 ... 10\n"
           "\tulnk\n"
           "\treturn\n"
           "\t.global\t_g\n"
           "_g:\n"
           "\tlnk\t#2\n"
           "\tmov\tw2,[w14]\n"
           "\trcall\t.LPA0\t; 17 ... 20\n"
           "\tulnk\n"
           "\treturn\n" +
           extra +
           "\t.text\n"
           ".LPA0:\t; 7 ... 10 (closed:1)\n" +
           body_start(0) +
           "\tmov\t[w14],w1\n"
           "\tadd\tw1,w1,w1\n"
           "\tmov\tw1,[w14]\n" +
           ending + body_end(0);
}

TEST(PaWrite, ClosedBodyEndings) {
    struct Row {
        const char* what;
        std::string last;   // the shared sequence's last instruction
        std::string extra;  // lines after the two functions
        std::string ending; // the body's end
    };
    const std::vector<Row> rows = {
        // A literal of at most 1023 without a symbol: move and return
        // become one retlw.
        {"retlw", "mov\t#1023,w0", "", "\tretlw\t#1023,w0\t; 10 ... 10\n"},
        // 1024 is too large for retlw: the move stays, and the return.
        {"large literal", "mov\t#1024,w0", "", "\tmov\t#1024,w0\n\treturn\n"},
        // A literal that is an address: the move stays, and the return.
        {"literal with a symbol", "mov\t#_buffer,w0", "\t.section\t.nbss,bss\n_buffer:\n\t.space\t2\n",
         "\tmov\t#_buffer,w0\n\treturn\n"},
        // A two-word call of a runtime routine: the body jumps to it, and
        // the routine's return is the body's.
        {"runtime routine call", "call\t___divsi3", "", "\tgoto\t___divsi3\t; 10 ... 10\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(rewrite(two_functions(row.last, row.extra)),
                  two_functions_rewritten(row.extra, row.ending));
    }
}

// Body 1's first occurrence comes before body 0's in the source, and body 0
// ends by calling body 1. The tail call is a real jump: body 1's lines have
// been passed when body 0 is written, so body 1 waits for the next sweep.
TEST(PaWrite, TailCallIntoABodyWrittenInALaterSweepIsAJump) {
    const std::string y = "\tmov\tw2,[w14]\n\tmov\t[w14+2],w3\n\tsub\tw2,w3,w0\n\tmov\tw0,[w14+2]\n";
    const std::string x = "\tmov\tw0,[w14]\n\tmov\tw1,[w14+2]\n\tmov\t[w14],w2\n\tadd\tw2,w1,w2\n";
    const std::string source = "\t.section\t.text,code\n\t.set\t___PA___,1\n"                  // 1-2
                               "\t.global\t_mix_c\n_mix_c:\n\tlnk\t#4\n" + y +                  // 3-5, 6-9
                               "\tmov\t[w14+2],w0\n\tulnk\n\treturn\n"                          // 10-12
                               "\t.global\t_mix_d\n_mix_d:\n\tlnk\t#4\n" + y +                  // 13-15, 16-19
                               "\tulnk\n\treturn\n"                                             // 20-21
                               "\t.global\t_mix_a\n_mix_a:\n\tlnk\t#4\n" + x + y +              // 22-24, 25-32
                               "\tulnk\n\treturn\n"                                             // 33-34
                               "\t.global\t_mix_b\n_mix_b:\n\tlnk\t#4\n" + x + y +              // 35-37, 38-45
                               "\tulnk\n\treturn\n\t.end\n";                                    // 46-48
    const std::string expected =
        "\t.section\t.text,code\n\t.set\t___PA___,1\n"
        "\t.global\t_mix_c\n_mix_c:\n\tlnk\t#4\n"
        "\trcall\t.LPA1\t; 6 ... 9\n"
        "\tmov\t[w14+2],w0\n\tulnk\n\treturn\n"
        "\t.global\t_mix_d\n_mix_d:\n\tlnk\t#4\n"
        "\trcall\t.LPA1\t; 16 ... 19\n"
        "\tulnk\n\treturn\n"
        "\t.global\t_mix_a\n_mix_a:\n\tlnk\t#4\n"
        "\trcall\t.LPA0\t; 25 ... 32\n"
        "\tulnk\n\treturn\n"
        "\t.global\t_mix_b\n_mix_b:\n\tlnk\t#4\n"
        "\trcall\t.LPA0\t; 38 ... 45\n"
        "\tulnk\n\treturn\n"
        "\t.text\n"
        ".LPA0:\t; 25 ... 32 (closed:1)\n" + body_start(0) + x +
        "\tbra\t.LPA1\t; 29 ... 32\n" + body_end(0) +
        ".LPA1:\t; 6 ... 9 (closed:2)\n" + body_start(1) + y + "\treturn\n" + body_end(1) +
        "\t.end\n";
    EXPECT_EQ(rewrite(source), expected);
}

// ELF build: the end of the input's line table is the symbol .LELT0, taken
// as found or made, so a source that never defines it leaves that symbol
// behind (undefined, on the symbol-table page) and drops nothing. The COFF
// build never looks for it.
TEST(PaWrite, LineTableEndLabelIsFoundOrMade) {
    const std::string source = "\t.section\t.text,code\n_idle:\n\tnop\n\treturn\n"
                               "\t.section\t.debug_line,info\n.Ldebug_line0:\n\t.word\t0x2\n"
                               "\t.section\t.text,code\n\t.end\n";
    EXPECT_EQ(rewrite(source), source);
    const Symbol* end_label = symbol(".LELT0");
    if (BuildTraits::is_elf) {
        ASSERT_NE(end_label, nullptr);
        EXPECT_EQ(end_label->def_line, 0);
    } else {
        EXPECT_EQ(end_label, nullptr);
    }
}

}  // namespace
