// The expansion of abstraction rewrites, on rewritten texts written by hand
// in the writer's shapes: what each line expands to, worked out from what
// the call sites and bodies mean, and the rewrites it must refuse.
#include "lib/expand.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Two functions that share a four-instruction run reading spills of the
// caller's frame through W15.
const char* const spill_source =
    "\t.section\t.text,code\n"            // 1
    "\t.set\t___PA___,1\n"                // 2
    "\t.global\t_get_a\n"                 // 3
    "_get_a:\n"                           // 4
    "\tmov\t[w15-6],w0\n"                 // 5
    "\tmov\t[w15-8],w1\n"                 // 6
    "\tadd\tw0,w1,w0\n"                   // 7
    "\tmov\tw0,[w2]\n"                    // 8
    "\treturn\n"                          // 9
    "_get_b:\n"                           // 10
    "\tmov\t[w15-6],w0\n"                 // 11
    "\tmov\t[w15-8],w1\n"                 // 12
    "\tadd\tw0,w1,w0\n"                   // 13
    "\tmov\tw0,[w2]\n"                    // 14
    "\treturn\n"                          // 15
    "\t.end\n";                           // 16

struct ExpandCase {
    const char* name;
    const char* original;
    const char* rewritten;
    const char* expanded;
};

const ExpandCase expand_cases[] = {
    {"a closed body's relocated moves run one level deep and get 4 bytes back", spill_source,
     "\t.section\t.text,code\n"
     "\t.set\t___PA___,1\n"
     "\t.global\t_get_a\n"
     "_get_a:\n"
     "\trcall\t.LPA0\t; 5 ... 8\n"
     "\treturn\n"
     "_get_b:\n"
     "\trcall\t.LPA0\t; 11 ... 14\n"
     "\treturn\n"
     "\t.text\n"
     ".LPA0:\t; 5 ... 8 (closed:1)\n"
     ".LPA0.LSB:\n"
     "\tmov.w\t[w15-10],w0\t; reloc(5)\n"
     "\tmov.w\t[w15-12],w1\t; reloc(6)\n"
     "\tadd\tw0,w1,w0\n"
     "\tmov\tw0,[w2]\n"
     "\treturn\n"
     ".LPA0.LSE:\n"
     "\t.end\n",
     // The writer's section line, header, labels and return are gone.
     "\t.section\t.text,code\n"
     "\t.set\t___PA___,1\n"
     "\t.global\t_get_a\n"
     "_get_a:\n"
     "\tmov.w\t[w15-6],w0\n"
     "\tmov.w\t[w15-8],w1\n"
     "\tadd\tw0,w1,w0\n"
     "\tmov\tw0,[w2]\n"
     "\treturn\n"
     "_get_b:\n"
     "\tmov.w\t[w15-6],w0\n"
     "\tmov.w\t[w15-8],w1\n"
     "\tadd\tw0,w1,w0\n"
     "\tmov\tw0,[w2]\n"
     "\treturn\n"
     "\t.end\n"},

    {"only the operands an instruction reads are corrected below a site; extra text after them stays",
     "\t.section\t.text,code\n"               // 1
     "\t.set\t___PA___,1\n"                   // 2
     "\t.global\t_get_a\n"                    // 3
     "_get_a:\n"                              // 4
     "\tmov\t[w15-6],w0\n"                    // 5
     "\tmov.b\t0x8\t[w15-4],w0\n"              // 6: MOV.B 0x8 and extra text
     "\tmov\tw0,0x10[w15-2]\t[w15\x7f\n"             // 7: '[' right after a value, and no ']'
     "\tmov\tw0, [w15-8]\n"                   // 8: a blank after the comma
     "\treturn\n"                             // 9
     "_get_b:\n"                              // 10
     "\tmov\t[w15-6],w0\n"                    // 11
     "\tmov.b\t0x8\t[w15-4],w0\n"              // 12
     "\tmov\tw0,0x10[w15-2]\t[w15\x7f\n"             // 13
     "\tmov\tw0, [w15-8]\n"                   // 14
     "\treturn\n",                            // 15
     "\t.section\t.text,code\n"
     "\t.set\t___PA___,1\n"
     "\t.global\t_get_a\n"
     "_get_a:\n"
     "\trcall\t.LPA0\t; 5 ... 8\n"
     "\treturn\n"
     "_get_b:\n"
     "\trcall\t.LPA0\t; 11 ... 14\n"
     "\treturn\n"
     "\t.text\n"
     ".LPA0:\t; 5 ... 8 (closed:1)\n"
     "\tmov.w\t[w15-10],w0\t; reloc(5)\n"
     "\tmov.b\t0x8\t[w15-4],w0\n"
     "\tmov\tw0,0x10[w15-2]\t[w15\x7f\n"
     "\tmov.w\tw0, [w15-12]\t; reloc(8)\n"
     "\treturn\n",
     "\t.section\t.text,code\n"
     "\t.set\t___PA___,1\n"
     "\t.global\t_get_a\n"
     "_get_a:\n"
     "\tmov.w\t[w15-6],w0\n"
     "\tmov.b\t0x8\t[w15-4],w0\n"
     "\tmov\tw0,0x10[w15-2]\t[w15\x7f\n"
     "\tmov.w\tw0, [w15-8]\n"
     "\treturn\n"
     "_get_b:\n"
     "\tmov.w\t[w15-6],w0\n"
     "\tmov.b\t0x8\t[w15-4],w0\n"
     "\tmov\tw0,0x10[w15-2]\t[w15\x7f\n"
     "\tmov.w\tw0, [w15-8]\n"
     "\treturn\n"},

    {"a nested call runs two levels deep; a tail comment falls into the next body",
     "\t.text\n"                 // 1
     "_f:\n"                     // 2
     "\tmov\tw0,[w14]\n"         // 3
     "\tmov\t[w15-4],w1\n"       // 4
     "\tinc\tw1,w1\n"            // 5
     "\tmov\tw1,[w14+2]\n"       // 6
     "\treturn\n"                // 7
     "_g:\n"                     // 8
     "\tmov\tw0,[w14]\n"         // 9
     "\tmov\t[w15-4],w1\n"       // 10
     "\tinc\tw1,w1\n"            // 11
     "\tmov\tw1,[w14+2]\n"       // 12
     "\treturn\n"                // 13
     "_h:\n"                     // 14
     "\tmov\t[w15-4],w1\n"       // 15
     "\tinc\tw1,w1\n"            // 16
     "\tmov\tw1,[w14+2]\n"       // 17
     "\tnop\n"                   // 18
     "\tmov\t[w15-4],w1\n"       // 19
     "\tinc\tw1,w1\n"            // 20
     "\tmov\tw1,[w14+2]\n"       // 21
     "\treturn\n",               // 22
     "\t.text\n"
     "_f:\n"
     "\trcall\t.LPA0\t; 3 ... 6\n"
     "\treturn\n"
     "_g:\n"
     "\trcall\t.LPA0\t; 9 ... 12\n"
     "\treturn\n"
     "_h:\n"
     "\trcall\t.LPA1\t; 15 ... 17\n"
     "\tnop\n"
     "\trcall\t.LPA1\t; 19 ... 21\n"
     "\treturn\n"
     "\t.text\n"
     ".LPA0:\t; 3 ... 6 (closed:1)\n"
     "\tmov\tw0,[w14]\n"
     "\trcall\t.LPA2\t; 4 ... 6\n"
     "\treturn\n"
     ".LPA2:\t; 4 ... 6 (closed:2)\n"
     "\tmov.w\t[w15-12],w1\t; reloc(4)\n"
     "\tinc\tw1,w1\n"
     "\tmov\tw1,[w14+2]\n"
     "\treturn\n"
     ".LPA1:\t; 15 ... 17 (closed:1)\n"
     "\tmov.w\t[w15-8],w1\t; reloc(15)\n"
     "\t;bra\t.LPA3\t; 16 ... 17\n"
     ".LPA3:\t; 16 ... 17 (closed:1)\n"
     "\tinc\tw1,w1\n"
     "\tmov\tw1,[w14+2]\n"
     "\treturn\n",
     // .LPA2 runs at level 2 (-12 + 8), .LPA1 at level 1 (-8 + 4).
     "\t.text\n"
     "_f:\n"
     "\tmov\tw0,[w14]\n"
     "\tmov.w\t[w15-4],w1\n"
     "\tinc\tw1,w1\n"
     "\tmov\tw1,[w14+2]\n"
     "\treturn\n"
     "_g:\n"
     "\tmov\tw0,[w14]\n"
     "\tmov.w\t[w15-4],w1\n"
     "\tinc\tw1,w1\n"
     "\tmov\tw1,[w14+2]\n"
     "\treturn\n"
     "_h:\n"
     "\tmov.w\t[w15-4],w1\n"
     "\tinc\tw1,w1\n"
     "\tmov\tw1,[w14+2]\n"
     "\tnop\n"
     "\tmov.w\t[w15-4],w1\n"
     "\tinc\tw1,w1\n"
     "\tmov\tw1,[w14+2]\n"
     "\treturn\n"},

    {"closing retlw and jump to a routine go back to a move and a call",
     "\t.text\n"                 // 1
     "_a:\n"                     // 2
     "\tand\tw1,#1,w1\n"         // 3
     "\tmov\t#1,w0\n"            // 4
     "\treturn\n"                // 5
     "_b:\n"                     // 6
     "\tand\tw1,#1,w1\n"         // 7
     "\tmov\t#1,w0\n"            // 8
     "\treturn\n"                // 9
     "_c:\n"                     // 10
     "\tmov\t#0,w3\n"            // 11
     "\trcall\t___mulsi3\n"      // 12
     "\treturn\n"                // 13
     "_d:\n"                     // 14
     "\tmov\t#0,w3\n"            // 15
     "\trcall\t___mulsi3\n"      // 16
     "\treturn\n",               // 17
     "\t.text\n"
     "_a:\n"
     "\trcall\t.LPA0\t; 3 ... 4\n"
     "\treturn\n"
     "_b:\n"
     "\trcall\t.LPA0\t; 7 ... 8\n"
     "\treturn\n"
     "_c:\n"
     "\trcall\t.LPA1\t; 11 ... 12\n"
     "\treturn\n"
     "_d:\n"
     "\trcall\t.LPA1\t; 15 ... 16\n"
     "\treturn\n"
     "\t.text\n"
     ".LPA0:\t; 3 ... 4 (closed:1)\n"
     "\tand\tw1,#1,w1\n"
     "\tretlw\t#1,w0\t; 4 ... 4\n"
     ".LPA1:\t; 11 ... 12 (closed:1)\n"
     "\tmov\t#0,w3\n"
     "\tbra\t___mulsi3\t; 12 ... 12\n",
     "\t.text\n"
     "_a:\n"
     "\tand\tw1,#1,w1\n"
     "\tmov\t#1,w0\n"
     "\treturn\n"
     "_b:\n"
     "\tand\tw1,#1,w1\n"
     "\tmov\t#1,w0\n"
     "\treturn\n"
     "_c:\n"
     "\tmov\t#0,w3\n"
     "\trcall\t___mulsi3\n"
     "\treturn\n"
     "_d:\n"
     "\tmov\t#0,w3\n"
     "\trcall\t___mulsi3\n"
     "\treturn\n"},

    {"a jump into an opened body copies as many instructions as the site held, its labels renamed",
     "\t.text\n"                 // 1
     "_a:\n"                     // 2
     "\tmov\t#3,w1\n"            // 3
     ".L2:\n"                    // 4
     "\tdec\tw1,w1\n"            // 5
     "\tbra\tnz,.L2\n"           // 6
     "\treturn\n"                // 7
     "_b:\n"                     // 8
     "\tmov\t#3,w1\n"            // 9
     ".L5:\n"                    // 10
     "\tdec\tw1,w1\n"            // 11
     "\tbra\tnz,.L5\n"           // 12
     "\treturn\n",               // 13
     "\t.text\n"
     "_a:\n"
     ".LPA0:\t; 3 ... 7 (opencode:0)\n"
     "\tmov\t#3,w1\n"
     ".L2:\n"
     "\tdec\tw1,w1\n"
     "\tbra\tnz,.L2\n"
     "\treturn\n"
     "_b:\n"
     "\tbra\t.LPA0\t; 9 ... 13\n",
     // The copy's own loop label gets a fresh name, and so does its branch.
     "\t.text\n"
     "_a:\n"
     "\tmov\t#3,w1\n"
     ".L2:\n"
     "\tdec\tw1,w1\n"
     "\tbra\tnz,.L2\n"
     "\treturn\n"
     "_b:\n"
     "\tmov\t#3,w1\n"
     ".L2.x1:\n"
     "\tdec\tw1,w1\n"
     "\tbra\tnz,.L2.x1\n"
     "\treturn\n"},

    {"a label the writer wrote again before a call site goes back before the instruction it stood on",
     "\t.text\n"             // 1
     "_f:\n"                 // 2
     "\tmov\tw0,[w14]\n"     // 3
     ".LVL1:\n"              // 4
     "\tmov\t[w14],w1\n"     // 5
     "\tinc\tw1,w1\n"        // 6
     "\treturn\n"            // 7
     "_g:\n"                 // 8
     "\tmov\tw0,[w14]\n"     // 9
     "\tmov\t[w14],w1\n"     // 10
     "\tinc\tw1,w1\n"        // 11
     "\treturn\n",           // 12
     "\t.text\n"
     "_f:\n"
     ".LVL1:\t; [4]\n"
     "\t.loc 1 4 0\n"
     "\trcall\t.LPA0\t; 3 ... 6\n"
     "\treturn\n"
     "_g:\n"
     "\trcall\t.LPA0\t; 9 ... 11\n"
     "\treturn\n"
     "\t.text\n"
     ".LPA0:\t; 3 ... 6 (closed:1)\n"
     "\tmov\tw0,[w14]\n"
     "\tmov\t[w14],w1\n"
     "\tinc\tw1,w1\n"
     "\treturn\n",
     // The directive kept from the site's lines stays before the site; the
     // label goes on the line of the instruction it stood before.
     "\t.text\n"
     "_f:\n"
     "\t.loc 1 4 0\n"
     "\tmov\tw0,[w14]\n"
     ".LVL1:\tmov\t[w14],w1\n"
     "\tinc\tw1,w1\n"
     "\treturn\n"
     "_g:\n"
     "\tmov\tw0,[w14]\n"
     "\tmov\t[w14],w1\n"
     "\tinc\tw1,w1\n"
     "\treturn\n"},

    {"a label spelt like a mnemonic is renamed where it is an operand only",
     "\t.text\n"        // 1
     "_a:\n"            // 2
     "nop\n"            // 3: a word in the first column is a label
     "\tnop\n"          // 4
     "\tbra\tnop\n"     // 5
     "_b:\n"            // 6
     ".L9:\n"           // 7
     "\tnop\n"          // 8
     "\tbra\t.L9\n",    // 9
     "\t.text\n"
     "_a:\n"
     ".LPA0:\t; 3 ... 5 (opencode:0)\n"
     "nop\n"
     "\tnop\n"
     "\tbra\tnop\n"
     "_b:\n"
     "\tbra\t.LPA0\t; 7 ... 9\n",
     "\t.text\n"
     "_a:\n"
     "nop\n"
     "\tnop\n"
     "\tbra\tnop\n"
     "_b:\n"
     "nop.x1:\n"
     "\tnop\n"
     "\tbra\tnop.x1\n"},

    {"a carriage return ends the mnemonic as a tab does; the operand after it is renamed",
     "\t.text\n"        // 1
     "_a:\n"            // 2
     ".L3:\n"           // 3
     "\tnop\n"          // 4
     "\tbra\r.L3\n"     // 5
     "_b:\n"            // 6
     ".L9:\n"           // 7
     "\tnop\n"          // 8
     "\tbra\t.L9\n",    // 9
     "\t.text\n"
     "_a:\n"
     ".LPA0:\t; 3 ... 5 (opencode:0)\n"
     ".L3:\n"
     "\tnop\n"
     "\tbra\r.L3\n"
     "_b:\n"
     "\tbra\t.LPA0\t; 7 ... 9\n",
     // The copy branches to its own label, not back into _a.
     "\t.text\n"
     "_a:\n"
     ".L3:\n"
     "\tnop\n"
     "\tbra\r.L3\n"
     "_b:\n"
     ".L3.x1:\n"
     "\tnop\n"
     "\tbra\r.L3.x1\n"},
};

class Expand : public testing::TestWithParam<ExpandCase> {};

TEST_P(Expand, GivesThePlainCodeBack)
{
    const ExpandCase& c = GetParam();
    std::string expanded;
    std::string why;
    ASSERT_TRUE(proof_expand_abstraction(c.original, c.rewritten, expanded, why)) << c.name << ": " << why;
    EXPECT_EQ(expanded, c.expanded) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Shapes, Expand, testing::ValuesIn(expand_cases));

struct RefusedCase {
    const char* name;
    const char* rewritten;  // of spill_source
    const char* why_part;
};

// A call site in _get_a and _get_b, each standing for lines 5 ... 8, then
// the body text given.
#define SITES                      \
    "\t.text\n"                    \
    "_get_a:\n"                    \
    "\trcall\t.LPA0\t; 5 ... 8\n"  \
    "\treturn\n"                   \
    "_get_b:\n"                    \
    "\trcall\t.LPA0\t; 11 ... 14\n" \
    "\treturn\n"                   \
    "\t.text\n"

const RefusedCase refused_cases[] = {
    {"a skip right before a call site acts on the call",
     "\t.text\n"
     "_get_a:\n"
     "\tbtss\tw3,#0\n"
     "\trcall\t.LPA0\t; 5 ... 8\n"
     "\treturn\n"
     "\t.text\n"
     ".LPA0:\t; 5 ... 8 (closed:1)\n"
     "\tmov\t[w15-10],w0\n\tmov\t[w15-12],w1\n\tadd\tw0,w1,w0\n\tmov\tw0,[w2]\n\treturn\n",
     "skip or REPEAT acts on the call site"},
    {"a skip right before the writer's return acts on the return",
     SITES ".LPA0:\t; 5 ... 8 (closed:1)\n"
           "\tmov\t[w15-10],w0\n\tmov\t[w15-12],w1\n\tadd\tw0,w1,w0\n\tbtss\tw0,#0\n\treturn\n",
     "acts on the return of .LPA0"},
    {"the body leaves by a branch of its own",
     SITES ".LPA0:\t; 5 ... 8 (closed:1)\n"
           "\tmov\t[w15-10],w0\n\tmov\t[w15-12],w1\n\tbra\tz,_get_b\n\tmov\tw0,[w2]\n\treturn\n",
     "control leaves a body"},
    {"the body reads the stack pointer",
     SITES ".LPA0:\t; 5 ... 8 (closed:1)\n"
           "\tmov\tw15,w0\n\tmov\t[w15-12],w1\n\tadd\tw0,w1,w0\n\tmov\tw0,[w2]\n\treturn\n",
     "stack pointer used as a register"},
    {"the body reads a plain [w15]",
     SITES ".LPA0:\t; 5 ... 8 (closed:1)\n"
           "\tmov\t[w15],w0\n\tmov\t[w15-12],w1\n\tadd\tw0,w1,w0\n\tmov\tw0,[w2]\n\treturn\n",
     "plain [w15] below the site"},
    {"the body writes through a plain [w15]: one level down it is the word above the site's",
     SITES ".LPA0:\t; 5 ... 8 (closed:1)\n"
           "\tinc\tw0,[w15]\n\tmov\t[w15-12],w1\n\tadd\tw0,w1,w0\n\tmov\tw0,[w2]\n\treturn\n",
     "plain [w15] below the site"},
    {"the body sets up a frame",
     SITES ".LPA0:\t; 5 ... 8 (closed:1)\n"
           "\tlnk\t#2\n\tmov\t[w15-12],w1\n\tadd\tw0,w1,w0\n\tmov\tw0,[w2]\n\treturn\n",
     "frame set up or dropped"},
    {"a body without the writer's return",
     SITES ".LPA0:\t; 5 ... 8 (closed:1)\n"
           "\tmov\t[w15-10],w0\n\tmov\t[w15-12],w1\n\tadd\tw0,w1,w0\n\tmov\tw0,[w2]\n",
     "does not end in the writer's return"},
    {"a body that holds fewer instructions than its sites stand for",
     SITES ".LPA0:\t; 5 ... 8 (closed:1)\n"
           "\tmov\t[w15-10],w0\n\tmov\t[w15-12],w1\n\tadd\tw0,w1,w0\n\treturn\n",
     "stands for 4 instructions, its expansion holds 3"},
    {"a call of a body that was never written", SITES, ".LPA0 has no body"},
    {"a body that calls itself",
     SITES ".LPA0:\t; 5 ... 8 (closed:1)\n"
           "\tmov\t[w15-10],w0\n\trcall\t.LPA0\t; 6 ... 8\n\treturn\n",
     ".LPA0 reaches itself"},
    {"a body that ends by jumping into an opened body returns from the wrong place",
     "\t.text\n"
     "_get_a:\n"
     ".LPA1:\t; 5 ... 9 (opencode:0)\n"
     "\tmov\t[w15-6],w0\n\tmov\t[w15-8],w1\n\tadd\tw0,w1,w0\n\tmov\tw0,[w2]\n\treturn\n"
     "_get_b:\n"
     "\trcall\t.LPA0\t; 11 ... 15\n"
     "\t.text\n"
     ".LPA0:\t; 11 ... 15 (closed:1)\n"
     "\tbra\t.LPA1\t; 11 ... 15\n",
     "control leaves a body below the site: return"},
    {"a site whose lines are not in the original",
     "\t.text\n_get_a:\n\tbra\t.LPA0\t; 5 ... 99\n", "are not in the original"},
};

#undef SITES

class ExpandRefuses : public testing::TestWithParam<RefusedCase> {};

TEST_P(ExpandRefuses, SaysWhy)
{
    const RefusedCase& c = GetParam();
    std::string expanded;
    std::string why;
    EXPECT_FALSE(proof_expand_abstraction(spill_source, c.rewritten, expanded, why)) << c.name;
    EXPECT_NE(why.find(c.why_part), std::string::npos) << c.name << ": " << why;
}

INSTANTIATE_TEST_SUITE_P(Rules, ExpandRefuses, testing::ValuesIn(refused_cases));

}  // namespace

namespace {

// The assembler reads each line as a C string, so a zero byte ends it: a
// label after one is no label, and the line holds no instruction.
TEST(Expand, AZeroByteEndsTheLine)
{
    using namespace std::string_literals;
    const std::string original = "\t.text\n"        // 1
                                 "_a:\n"            // 2
                                 "\tmov\tw0,w1\n"   // 3
                                 "\tmov\tw1,w2\n"   // 4
                                 "\treturn\n"       // 5
                                 "_b:\n"            // 6
                                 "\tmov\tw0,w1\n"   // 7
                                 "\0\0.LBB3:\n"s    // 8
                                 "\tmov\tw1,w2\n"   // 9
                                 "\treturn\n";      // 10
    const std::string rewritten = "\t.text\n"
                                  "_a:\n"
                                  ".LPA0:\t; 3 ... 5 (opencode:0)\n"
                                  "\tmov\tw0,w1\n"
                                  "\tmov\tw1,w2\n"
                                  "\treturn\n"
                                  "_b:\n"
                                  "\tbra\t.LPA0\t; 7 ... 10\n";
    std::string expanded;
    std::string why;
    ASSERT_TRUE(proof_expand_abstraction(original, rewritten, expanded, why)) << why;
    EXPECT_EQ(expanded, "\t.text\n_a:\n\tmov\tw0,w1\n\tmov\tw1,w2\n\treturn\n_b:\n"
                        "\tmov\tw0,w1\n\tmov\tw1,w2\n\treturn\n");
}

}  // namespace

namespace {

// The assembler reads at most 664 characters of a line at a time: the rest
// of a longer line is a line of its own, with its own number, and the site
// comments count it.
TEST(Expand, ALongLineIsTwoLines)
{
    const std::string data = "\t.pword\t1" + std::string(700, ' ') + "\n";  // lines 5 and 6
    const std::string original = "\t.text\n"        // 1
                                 "_a:\n"            // 2
                                 "\tmov\tw0,w1\n"   // 3
                                 "\treturn\n" +     // 4
                                 data +
                                 "_b:\n"            // 7
                                 "\tmov\tw0,w1\n"   // 8
                                 "\treturn\n";      // 9
    const std::string rewritten = "\t.text\n"
                                  "_a:\n"
                                  ".LPA0:\t; 3 ... 4 (opencode:0)\n"
                                  "\tmov\tw0,w1\n"
                                  "\treturn\n" +
                                  data +
                                  "_b:\n"
                                  "\tbra\t.LPA0\t; 8 ... 9\n";
    std::string expanded;
    std::string why;
    ASSERT_TRUE(proof_expand_abstraction(original, rewritten, expanded, why)) << why;
    EXPECT_EQ(expanded, "\t.text\n_a:\n\tmov\tw0,w1\n\treturn\n" + data.substr(0, 664) + "\n" + data.substr(664) +
                            "_b:\n\tmov\tw0,w1\n\treturn\n");
}

}  // namespace

namespace {

// The mnemonic is the scanner's word: "return-=.align 2" is a RETURN with
// extra characters after it (a warning), not an equate.
TEST(Expand, AnInstructionWithExtraCharactersIsOne)
{
    const std::string original = "\t.text\n"                   // 1
                                 "_a:\n"                       // 2
                                 "\tsub\tw0,#1,w0\n"           // 3
                                 "\treturn-=.align\t2\n"       // 4
                                 "_b:\n"                       // 5
                                 "\tsub\tw0,#1,w0\n"           // 6
                                 "\treturn\n"                  // 7
                                 "\tnop\n";                    // 8
    const std::string rewritten = "\t.text\n"
                                  "_a:\n"
                                  ".LPA0:\t; 3 ... 4 (opencode:0)\n"
                                  "\tsub\tw0,#1,w0\n"
                                  "\treturn-=.align\t2\n"
                                  "_b:\n"
                                  "\tbra\t.LPA0\t; 6 ... 7\n"
                                  "\tnop\n";
    std::string expanded;
    std::string why;
    ASSERT_TRUE(proof_expand_abstraction(original, rewritten, expanded, why)) << why;
    EXPECT_EQ(expanded, "\t.text\n_a:\n\tsub\tw0,#1,w0\n\treturn-=.align\t2\n_b:\n"
                        "\tsub\tw0,#1,w0\n\treturn-=.align\t2\n\tnop\n");
}

}  // namespace

namespace {

// The scanner takes a carriage return for a blank: a line that begins with
// one holds an instruction, not a label, and counts in the body.
TEST(Expand, ACarriageReturnInTheFirstColumnIsABlank)
{
    const std::string original = "\t.text\n"               // 1
                                 "_a:\n"                   // 2
                                 "\tmov\tw0,w1\n"          // 3
                                 "\rmov\tw1,w2\n"          // 4
                                 "\tadd\tw1,w2,w3\n"       // 5
                                 "\treturn\n"              // 6
                                 "_b:\n"                   // 7
                                 "\tmov\tw0,w1\n"          // 8
                                 "\rmov\tw1,w2\n"          // 9
                                 "\tadd\tw1,w2,w3\n"       // 10
                                 "\treturn\n";             // 11
    const std::string rewritten = "\t.text\n"
                                  "_a:\n"
                                  "\trcall\t.LPA0\t; 3 ... 5\n"
                                  "\treturn\n"
                                  "_b:\n"
                                  "\trcall\t.LPA0\t; 8 ... 10\n"
                                  "\treturn\n"
                                  "\t.text\n"
                                  ".LPA0:\t; 3 ... 5 (closed:1)\n"
                                  ".LPA0.LSB:\n"
                                  "\tmov\tw0,w1\n"
                                  "\rmov\tw1,w2\n"
                                  "\tadd\tw1,w2,w3\n"
                                  "\treturn\n"
                                  ".LPA0.LSE:\n";
    std::string expanded;
    std::string why;
    ASSERT_TRUE(proof_expand_abstraction(original, rewritten, expanded, why)) << why;
    // A copy's instruction is written after a tab, as every copied one.
    EXPECT_EQ(expanded, "\t.text\n_a:\n\tmov\tw0,w1\n\tmov\tw1,w2\n\tadd\tw1,w2,w3\n\treturn\n"
                        "_b:\n\tmov\tw0,w1\n\tmov\tw1,w2\n\tadd\tw1,w2,w3\n\treturn\n");
}

}  // namespace

namespace {

// A label on the instruction that a REPEAT acts on stays on that line in
// every copy: a label line of its own there would be a statement between
// the REPEAT and its instruction, which the assembler refuses.
TEST(Expand, ALabelOnARepeatedInstructionStaysOnItsLine)
{
    const std::string original = "\t.text\n"               // 1
                                 "_a:\n"                   // 2
                                 "\tmov.b\tw7,[w14+10]\n"  // 3
                                 "\trepeat\t#17\n"         // 4
                                 "k\tdiv.sw\tw8,w9\n"       // 5
                                 "\tmov\tw0,[w2]\n"        // 6
                                 "\tmov.b\tw7,[w14+10]\n"  // 7
                                 "\trepeat\t#17\n"         // 8
                                 "\tdiv.sw\tw8,w9\n"       // 9
                                 "\tmov\tw0,[w2]\n"        // 10
                                 "\treturn\n";             // 11
    const std::string rewritten = "\t.text\n"
                                  "_a:\n"
                                  "\trcall\t.LPA0\t; 3 ... 6\n"
                                  "\trcall\t.LPA0\t; 7 ... 10\n"
                                  "\treturn\n"
                                  "\t.text\n"
                                  ".LPA0:\t; 3 ... 6 (closed:1)\n"
                                  ".LPA0.LSB:\n"
                                  "\tmov.b\tw7,[w14+10]\n"
                                  "\trepeat\t#17\n"
                                  "k\tdiv.sw\tw8,w9\n"
                                  "\tmov\tw0,[w2]\n"
                                  "\treturn\n"
                                  ".LPA0.LSE:\n";
    std::string expanded;
    std::string why;
    ASSERT_TRUE(proof_expand_abstraction(original, rewritten, expanded, why)) << why;
    // The second copy's label gets a name of its own.
    EXPECT_EQ(expanded, "\t.text\n_a:\n"
                        "\tmov.b\tw7,[w14+10]\n\trepeat\t#17\nk:\tdiv.sw\tw8,w9\n\tmov\tw0,[w2]\n"
                        "\tmov.b\tw7,[w14+10]\n\trepeat\t#17\nk.x1:\tdiv.sw\tw8,w9\n\tmov\tw0,[w2]\n"
                        "\treturn\n");
}

}  // namespace
