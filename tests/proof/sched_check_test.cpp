// The scheduled-source check on outputs written by hand: what it must
// accept as the same program, and what it must refuse.
#include "lib/sched_check.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// A one-slot fill with a nop (-b1) of the BRA before a branch over a
// table: the nop moves the BRA .+4 and its target alike.
const char* over_table =
    "\t.section\t.text,code\n"
    "\t.global\t_f\n"
    "_f:\n"
    "\tmov\tw0,w1\n"
    "\tbra\t.L2\n"
    "\tbra\t.+4\n"
    "\t.pword\t0x123456\n"
    ".L2:\n"
    "\treturn\n";

std::string over_table_filled(const char* skip)
{
    return std::string("\t.section\t.text,code\t; [+:1]\n"
                       "\t.global\t_f\t; [+:2]\n"
                       "_f:\t; [+:3]\n"
                       "\tpbra\t.L2\t; [-:5]\n"
                       "\tnop\n"
                       "\tmov\tw0,w1\t; [-:4]\n"
                       "\tbra\t") +
           skip + "\t; [-:6]\n" +
           "\t.pword\t0x123456\t; [+:7]\n"
           ".L2:\t; [+:8]\n"
           "\treturn\t; [+:9]\n";
}

TEST(SchedCheck, ANopBeforeAForwardLocationReferenceKeepsIt)
{
    std::string why;
    EXPECT_TRUE(proof_check_schedule(over_table, over_table_filled(".+4"), false, why)) << why;
}

TEST(SchedCheck, ANopBeforeABackwardLocationReferenceMovesIt)
{
    std::string original = over_table;
    original.replace(original.find(".+4"), 3, ".-2");
    std::string why;
    EXPECT_FALSE(proof_check_schedule(original, over_table_filled(".-2"), false, why));
    EXPECT_NE(why.find("location counter"), std::string::npos) << why;
}

TEST(SchedCheck, ANopAfterALocationReferenceInItsStretchMovesWhatItReaches)
{
    const char* original =
        "\t.section\t.text,code\n"
        "_f:\n"
        "\tmov\t#.+6,w2\n"
        "\tmov\tw0,w1\n"
        "\tbra\t.L2\n"
        ".L2:\n"
        "\treturn\n";
    const char* scheduled =
        "\t.section\t.text,code\t; [+:1]\n"
        "_f:\t; [+:2]\n"
        "\tmov\t#.+6,w2\t; [+:3]\n"
        "\tpbra\t.L2\t; [-:5]\n"
        "\tnop\n"
        "\tmov\tw0,w1\t; [-:4]\n"
        ".L2:\t; [-:6]\n"
        "\treturn\t; [+:7]\n";
    std::string why;
    EXPECT_FALSE(proof_check_schedule(original, scheduled, false, why));
    EXPECT_NE(why.find("location counter"), std::string::npos) << why;
}

TEST(SchedCheck, ALiteralOfTheLocationCounterUsesIt)
{
    // MOV #.+4,W2 moved one word up: its literal is another value.
    const char* original =
        "\t.section\t.text,code\n"
        "_f:\n"
        "\tmov\tw0,w1\n"
        "\tmov\t#.+4,w2\n";
    const char* scheduled =
        "\t.section\t.text,code\t; [+:1]\n"
        "_f:\t; [+:2]\n"
        "\tmov\t#.+4,w2\t; [-:4]\n"
        "\tmov\tw0,w1\t; [-:3]\n";
    std::string why;
    EXPECT_FALSE(proof_check_schedule(original, scheduled, false, why));
    EXPECT_NE(why.find("location counter"), std::string::npos) << why;
}

// ADD W4,W5,W6 moved up past MOV [W2],W3, which waits for W2, with the
// MOV written after the lines `directive`.
std::string across_section_directive(const std::string& directive, bool scheduled)
{
    const std::string before = "\t.section\t.text,code\n"
                               "\t.global\t_f\n"
                               "_f:\n"
                               "\tmov\tw1,w2\n"
                               "\tmov\t[w2],w3\n";
    const std::string after = "\tadd\tw4,w5,w6\n"
                              "\treturn\n";
    if (!scheduled) return before + directive + after;
    std::string out = "\t.section\t.text,code\t; [+:1]\n"
                      "\t.global\t_f\t; [+:2]\n"
                      "_f:\t; [+:3]\n"
                      "\tmov\tw1,w2\t; [+:4]\n";
    // The directive lines, then the ADD, then the MOV behind them.
    int n = 6;
    size_t start = 0;
    std::string moved;
    while (start < directive.size()) {
        const size_t end = directive.find('\n', start);
        out += directive.substr(start, end - start) + "\t; [" + (n == 6 ? '-' : '+') + ":" + std::to_string(n) + "]\n";
        start = end + 1;
        ++n;
    }
    out += "\tadd\tw4,w5,w6\t; [+:" + std::to_string(n) + "]\n";
    out += "\tmov\t[w2],w3\t; [-:5]\n";
    out += "\treturn\t; [-:" + std::to_string(n + 1) + "]\n";
    return out;
}

TEST(SchedCheck, WhatLiesInAnotherSectionIsNoFence)
{
    // .text with what the reader takes as extra characters (a warning, not
    // an error), the current section named again, stretches of other
    // sections that come back to it, and a pop with nothing pushed (which
    // reads no operand and leaves the section as it is): the MOV stays in
    // .text, at its place among the .text instructions.
    for (const std::string directive :
         {"\t.text \tlnk\t#4\n", "\t.section\t.TEXT,code\n", "\t.pushsection\t.text,code\n\t.popsection\n",
          "\t.data\n\t.text\n", "\t.pushsection\t.const,code\n\t.pword\t0x123456\n\t.popsection\n",
          "\t.popsection\n", "\t.popsection\t.data\n",
          // The scanner reads the name's word: what follows it is extra.
          "\t.section\t.text x\x18\x01,data\n", "\t.section\t.text*t\n", "\t.section\t.text$x\n"}) {
        std::string why;
        EXPECT_TRUE(proof_check_schedule(across_section_directive(directive, false),
                                         across_section_directive(directive, true), false, why))
            << directive << ": " << why;
    }
}

TEST(SchedCheck, AnInstructionStaysInItsSection)
{
    // The MOV would land in .text2, in .data, or in a section the check
    // cannot tell (a quoted name).
    for (const std::string directive : {"\t.section\t.text2,code\n", "\t.data\n", "\t.pushsection\t.c,code\n",
                                        "\t.section\t\".q\",code\n"}) {
        std::string why;
        EXPECT_FALSE(proof_check_schedule(across_section_directive(directive, false),
                                          across_section_directive(directive, true), false, why))
            << directive;
        EXPECT_NE(why.find("another section"), std::string::npos) << directive << ": " << why;
    }
}

TEST(SchedCheck, DataOfItsOwnSectionIsAFence)
{
    std::string why;
    const std::string directive = "\t.pword\t0x123456\n";
    EXPECT_FALSE(proof_check_schedule(across_section_directive(directive, false),
                                      across_section_directive(directive, true), false, why));
    EXPECT_NE(why.find("data"), std::string::npos) << why;
}

// CLR WREG and a DEC with `operand` after it, in their order and swapped.
std::string wreg_pair(const std::string& operand, bool swapped)
{
    const std::string clr = "\tclr\twreg";
    const std::string dec = "\tdec\t" + operand;
    if (!swapped)
        return "\t.section\t.text,code\n"
               "_f:\n" +
               clr + "\n" + dec +
               "\n"
               "\treturn\n";
    return "\t.section\t.text,code\t; [+:1]\n"
           "_f:\t; [+:2]\n" +
           dec + "\t; [-:4]\n" + clr +
           "\t; [-:3]\n"
           "\treturn\t; [-:5]\n";
}

TEST(SchedCheck, AnExpressionEndsTheOperandsItLeavesUnread)
{
    // A number ends at '#': DEC 3#d00, WREG is DEC 3 (the result goes back
    // to 3) with extra characters, and never touches W0; so is DEC 3 D00.
    for (const std::string operand : {"3#d00, wreg", "3 d00, wreg", "(3)#q, wreg", "0x10#1, wreg"}) {
        std::string why;
        EXPECT_TRUE(proof_check_schedule(wreg_pair(operand, false), wreg_pair(operand, true), true, why))
            << operand << ": " << why;
    }
}

TEST(SchedCheck, AFileRegisterIntoWregWritesW0)
{
    // The whole expression read, WREG is the destination; a word that
    // starts with a letter takes its '#' along (_a#b is one name).
    for (const std::string operand : {"3, wreg", "_a#b, wreg", "3+4 , WREG", "handle(_a#b)+1, wreg"}) {
        std::string why;
        EXPECT_FALSE(proof_check_schedule(wreg_pair(operand, false), wreg_pair(operand, true), true, why))
            << operand;
        EXPECT_NE(why.find("through W0"), std::string::npos) << operand << ": " << why;
    }
}

TEST(ProgramMemory, AFilledBranchKeepsItsOpcodeButNotItsOffset)
{
    std::string why;
    // MOV W0,W1 then BRA; filled, the BRA comes first with another offset.
    EXPECT_TRUE(proof_check_program_memory({0x780080, 0x370000}, {0x370003, 0x780080}, 0, why)) << why;
    // A conditional BRA is not the unconditional one.
    EXPECT_FALSE(proof_check_program_memory({0x780080, 0x370000}, {0x320003, 0x780080}, 0, why));
    // Any other word must come back exactly.
    EXPECT_FALSE(proof_check_program_memory({0x780080, 0x370000}, {0x370000, 0x780081}, 0, why));
}

}  // namespace

namespace {

// MUL.UU W1,[W2++],W10 then MUL f with a suffix, in either order.
std::string mul_pair(const std::string& suffix, bool swapped)
{
    const std::string first = "\tmul.uu\tw1,[w2++],w10";
    const std::string second = "\tmul" + suffix + "\t0x800";
    const std::string head = "\t.section\t.text,code\n_f:\n";
    if (!swapped) return head + first + "\n" + second + "\n\treturn\n";
    return "\t.section\t.text,code\t; [+:1]\n_f:\t; [+:2]\n" + second + "\t; [-:4]\n" + first + "\t; [-:3]\n" +
           "\treturn\t; [-:5]\n";
}

TEST(SchedCheck, AMultiplyWithADivideSuffixIsANop)
{
    // The divide's suffixes choose no form of MUL: the word is its base
    // word, a NOP, which may move across anything.
    for (const std::string suffix : {".sw", ".ud", ".l", ".c"}) {
        std::string why;
        EXPECT_TRUE(proof_check_schedule(mul_pair(suffix, false), mul_pair(suffix, true), true, why))
            << suffix << ": " << why;
    }
    // MUL f and MUL.D f (the word form) write W3:W2, which the other one
    // moves on.
    for (const std::string suffix : {"", ".w", ".b", ".d"}) {
        std::string why;
        EXPECT_FALSE(proof_check_schedule(mul_pair(suffix, false), mul_pair(suffix, true), true, why)) << suffix;
    }
}

}  // namespace

namespace {

TEST(SchedCheck, TextAfterABranchTargetNamesNoLabel)
{
    // "bra zone ,.L2" branches to zone; ".L2" after it is extra text, so
    // nothing jumps to .L2 and an instruction may move across it.
    const std::string original = "\t.section\t.text,code\n_f:\n\tbra\tzone ,.L2\n\tmov\tw0,w1\n.L2:\n\tmov\tw2,w3\n"
                                 "\treturn\nzone:\n\treturn\n";
    const std::string scheduled = "\t.section\t.text,code\t; [+:1]\n_f:\t; [+:2]\n\tbra\tzone ,.L2\t; [+:3]\n"
                                  "\tmov\tw2,w3\t; [-:6]\n\tmov\tw0,w1\t; [-:4]\n.L2:\t; [+:5]\n"
                                  "\treturn\t; [-:7]\nzone:\t; [+:8]\n\treturn\t; [+:9]\n";
    std::string why;
    EXPECT_TRUE(proof_check_schedule(original, scheduled, false, why)) << why;
    // With a condition first, .L2 is the target and a fence.
    std::string conditional = original;
    conditional.replace(conditional.find("zone ,"), 6, "z,");
    std::string moved = scheduled;
    moved.replace(moved.find("zone ,"), 6, "z,");
    EXPECT_FALSE(proof_check_schedule(conditional, moved, false, why));
}

}  // namespace

namespace {

TEST(SchedCheck, ExtraTextAfterAnExpressionNamesNoLabel)
{
    // "mov w4,5 bra .L2": the expression 5 ends at the blank, so .L2 is
    // named by nothing and an instruction may move across it; with an
    // operator the name belongs to the expression and the label is a fence.
    const auto pair = [](const std::string& operand, bool swapped) {
        const std::string head = "\t.section\t.text,code\n_f:\n";
        const std::string move = "\tmov\tw4," + operand;
        if (!swapped) return head + move + "\n\tmov\tw0,w1\n.L2:\n\tmov\tw2,w3\n\treturn\n";
        return std::string("\t.section\t.text,code\t; [+:1]\n_f:\t; [+:2]\n\tmov\tw2,w3\t; [-:6]\n") + move +
               "\t; [-:3]\n\tmov\tw0,w1\t; [+:4]\n.L2:\t; [+:5]\n\treturn\t; [-:7]\n";
    };
    // Operands after one whose expression ended early are extra text as
    // well, and so is what follows a register word.
    for (const std::string operand : {"5\tbra\t.L2", "_x .L2", "0x10 #bra .L2", "5\tmv,.L2", "w5\tx,.L2",
                                      "_x\tmv,.L2"}) {
        std::string why;
        EXPECT_TRUE(proof_check_schedule(pair(operand, false), pair(operand, true), false, why)) << operand << ": " << why;
    }
    for (const std::string operand : {"5+.L2", "handle(.L2)", "(.L2-_x)"}) {
        std::string why;
        EXPECT_FALSE(proof_check_schedule(pair(operand, false), pair(operand, true), false, why)) << operand;
    }
}

}  // namespace

namespace {

TEST(CodeSections, TheAttributesOfANewSectionTellCodeFromData)
{
    struct Row {
        const char* operand;
        bool code;
    };
    const Row rows[] = {
        {"text_b", true},                       // no attributes
        {"text_b,code", true},
        {"aux_b,auxflash", true},
        {"aux_c,auxpsv", true},
        {"tbl,psv", false},
        {"buf,bss", false},
        {"vars,data,near", false},
        {"place,address(0x800),code", true},    // a group is skipped
        {"place,address(f(1)),code", true},
        {"keep,data,code", true},               // any entry
        {"up,CODE", false},                     // compared as written
        {"up,codes", false},
        {"up,data extra,code", false},          // the list ends at the extra word
        {"fl,\"x\"", true},
        {"fl,\"xr\"", true},
        {"fl,\"ax\"", false},
        {"fl,\"\"", false},
        {"odd,5", true},                        // neither word nor string
        {"\"quoted\",data", false},
        // A register, condition or operator word is no name to the
        // scanner: no attribute list begins with it.
        {"f3,c", true},
        {"f3,c\x1a" "de", true},
        {"f3,W0,data", true},
        {"f3,handle", true},
        {"f3,TblPag", true},
        {"f3,data,c", false},
        {"f3,cde", false},
        // Text after the name's word ends the operand: the attributes
        // after it are not read.
        {".tex*t,data", true},
        {"..section .text,code_ x,data", true},
        {".foo$x,data", true},
        {".foo#x?y@z,data", false},
    };
    for (const Row& row : rows) EXPECT_EQ(proof_new_section_is_code(row.operand), row.code) << row.operand;
}

TEST(CodeSections, OnlyNopsInCodeSectionsAreCounted)
{
    const std::string head = "\t.section\t.text,code\t; [+:1]\n\tpbra\t.L2\t; [+:2]\n";
    EXPECT_EQ(proof_count_added_nops(head + "\tnop\n"), 1u);
    // A data section made here, then selected again by its name alone.
    EXPECT_EQ(proof_count_added_nops(head + "\t.section\ttbl,psv\t; [+:3]\n\tnop\n"
                                            "\t.text\t; [+:4]\n\tnop\n"
                                            "\t.section\tTBL\t; [+:5]\n\tnop\n"),
              1u);
    // The default data sections, whatever a later statement names for them.
    EXPECT_EQ(proof_count_added_nops(head + "\t.data\t; [+:3]\n\tnop\n\t.section\t.bss,code\t; [+:4]\n\tnop\n"
                                            "\t.section\t.data\t; [+:5]\n\tnop\n"),
              0u);
    // A new section without attributes is code; a pop returns to data.
    EXPECT_EQ(proof_count_added_nops(head + "\t.data\t; [+:3]\n\t.pushsection\ttext_c\t; [+:4]\n\tnop\n"
                                            "\t.popsection\t; [+:5]\n\tnop\n"),
              1u);
}

}  // namespace

namespace {

// A two-instruction function, and the same with its second instruction
// moved up before the first.
std::string moved_up(const std::string& before, const std::string& instruction, bool swapped)
{
    const std::string head = "\t.section\t.text,code\n_f:\n";
    if (!swapped) return head + "\t" + before + "\n\t" + instruction + "\n";
    return "\t.section\t.text,code\t; [+:1]\n_f:\t; [+:2]\n\t" + instruction + "\t; [-:4]\n\t" + before +
           "\t; [-:3]\n";
}

TEST(SchedCheck, OnlyALocationCounterTheProgramReadsIsUsed)
{
    // The instruction moved one word up past MOV W2,W3. A '.' that stands
    // after the expression has ended, or after the operands its form takes,
    // is extra text that nothing reads; a word that begins with '.' is a
    // name. Only a '.' that the operands read gives another value there.
    const auto pair = [](const std::string& instruction, bool swapped) {
        return moved_up("mov\tw2,w3", instruction, swapped);
    };
    for (const std::string unread : {"xor\t.global\t.", "xor\t.global\t._x\t.[y\tw-F6,w0", "inc\tx,wreg,.",
                                     "mov.d\t0x50MMon\t.,0x800", "xor\t..x", "mov\tw4,x\t.+2",
                                     "mul.ss\tw2,w6,w4\t.\x7f\x01weak", "mov\tw4\t.,w5",
                                     "mov\tw6,x-y++\t\xa3.", "mov\tw6,x--.+2"}) {
        std::string why;
        EXPECT_TRUE(proof_check_schedule(pair(unread, false), pair(unread, true), false, why)) << unread << ": " << why;
    }
    for (const std::string read : {"xor\t.", "inc\t.,wreg", "mov\t.+2,w4", "xor\t(.)", "mov\tw4,x-.", "mov\t#x-.,w4"}) {
        std::string why;
        EXPECT_FALSE(proof_check_schedule(pair(read, false), pair(read, true), false, why)) << read;
        EXPECT_NE(why.find("location counter"), std::string::npos) << read << ": " << why;
    }
}

TEST(SchedCheck, ABracketAfterARegisterIsTextNothingReads)
{
    // MOV W0,[W15-12] and a MOV into W14 swapped. "w14[+6]" and "w14(2)" are
    // the register W14 and extra characters: the two share nothing. With
    // the brackets around the register, the second writes the memory the
    // first writes.
    const auto pair = [](const std::string& mov, bool swapped) { return moved_up("mov\tw0,[w15-12]", mov, swapped); };
    for (const std::string unread : {"mov\tw3,w14[+6]", "mov\tw3,w14(2)", "mov\tw3,w14[w15-12]"}) {
        std::string why;
        EXPECT_TRUE(proof_check_schedule(pair(unread, false), pair(unread, true), true, why)) << unread << ": " << why;
    }
    for (const std::string read : {"mov\tw3,[w14+6]", "mov\tw3,[w15-12]"}) {
        std::string why;
        EXPECT_FALSE(proof_check_schedule(pair(read, false), pair(read, true), true, why)) << read;
        EXPECT_NE(why.find("through memory"), std::string::npos) << read << ": " << why;
    }
}

TEST(SchedCheck, TextAfterTheAccumulatorEndsThePrefetches)
{
    // CLR [W3] and the accumulator CLR swapped. Text after the accumulator
    // before a comma ends its operands: the prefetch after it is not read,
    // and the two share nothing; with the comma the prefetch reads the
    // memory that CLR [W3] writes.
    const auto pair = [](const std::string& clr, bool swapped) { return moved_up("clr\t[w3]", clr, swapped); };
    for (const std::string unread : {"clr\ta\t.2byte , [w8]+=2, w4", "clr\ta x, [w8]+=2, w4", "mac\tw4*w5, a junk, [w8], w6"}) {
        std::string why;
        EXPECT_TRUE(proof_check_schedule(pair(unread, false), pair(unread, true), true, why)) << unread << ": " << why;
    }
    for (const std::string read : {"clr\ta, [w8]+=2, w4", "clr\ta\t, [w8]+=2, w4", "mac\tw4*w5, a, [w8], w6"}) {
        std::string why;
        EXPECT_FALSE(proof_check_schedule(pair(read, false), pair(read, true), true, why)) << read;
        EXPECT_NE(why.find("through memory"), std::string::npos) << read << ": " << why;
    }
}

}  // namespace

namespace {

// A return whose one slot takes the MOV before it: the branch line as the
// source writes it, and as the scheduled source writes it filled.
TEST(SchedCheck, TheDelayedLetterStandsBeforeTheMnemonicInItsCase)
{
    struct Row {
        const char* branch;
        const char* filled;
        bool same;
    };
    const Row rows[] = {
        {"\treturn", "\tpreturn", true},
        {"\treturn$", "\tpreturn$", true},       // '$' is no part of the mnemonic
        {"\treturn$", "\treturnp$", false},
        {"\tReturn", "\tpReturn", true},         // a lower-case letter: 'p'
        {"\tReturn", "\tPReturn", false},
        {"\tRETURN", "\tPRETURN", true},         // no lower-case letter: 'P'
        {"\tRETURN", "\tpRETURN", false},
        {"\tRETLW.b\t#0,w0", "\tPRETLW.b\t#0,w0", true},  // the suffix aside
        {"\rreturn", "\rpreturn", true},         // a carriage return is a blank
        {"\rreturn", "\rreturnp", false},
        {"\rreturn", "p\rreturn", false},
        {"\r.L9:\rreturn", "\r.L9:\rpreturn", true},
        {"\r.L9:\rreturn", "\r.L9:p\rreturn", false},
        {"$$:\rreturn", "$$:\rpreturn", true},     // a '$' word is a label too
        {"$$:\treturn", "$$:p\treturn", false},
    };
    for (const Row& row : rows) {
        const std::string original = std::string("\t.section\t.text,code\n"
                                                 "\t.global\t_f\n"
                                                 "_f:\n"
                                                 "\tmov\tw1,w2\n") +
                                     row.branch + "\n";
        const std::string scheduled = std::string("\t.section\t.text,code\t; [+:1]\n"
                                                  "\t.global\t_f\t; [+:2]\n"
                                                  "_f:\t; [+:3]\n") +
                                      row.filled + "\t; [-:5]\n" + "\tmov\tw1,w2\t; [-:4]\n";
        std::string why;
        EXPECT_EQ(proof_check_schedule(original, scheduled, false, why), row.same) << row.filled << ": " << why;
        if (!row.same) {
            EXPECT_NE(why.find("is written as"), std::string::npos) << row.filled << ": " << why;
        }
    }
}

}  // namespace

namespace {

// A return or branch whose first delay slot takes the MOV before it: the
// branch line comes back in `delayed`, the slot after it (a BRA, with two
// slots, gets a nop for its second one before it).
std::pair<std::string, std::string> filled_branch(const std::string& branch, const std::string& delayed)
{
    const bool two_slots = branch.find(".L3") != std::string::npos;
    const std::string original = "\t.section\t.text,code\n_f:\n\tmov\tw1,w2\n\tmov\t[w2],w3\n" + branch +
                                 "\n.L3:\n\treturn\n";
    const std::string scheduled = "\t.section\t.text,code\t; [+:1]\n_f:\t; [+:2]\n\tmov\tw1,w2\t; [+:3]\n" + delayed +
                                  "\t; [-:5]\n" + (two_slots ? "\tnop\n" : "") +
                                  "\tmov\t[w2],w3\t; [-:4]\n.L3:\t; [-:6]\n\treturn\t; [+:7]\n";
    return {original, scheduled};
}

TEST(SchedCheck, TheDelayLetterFollowsTheLabelsTheAssemblerReads)
{
    struct Row {
        const char* branch;
        const char* right;  // the delayed form
        const char* wrong;  // a letter in another place or case
    };
    const Row rows[] = {
        // 'p' before a mnemonic with any small letter.
        {"\treTURN", "\tpreTURN", "\tPreTURN"},
        {"\tBra\t.L3", "\tpBra\t.L3", "\tPBra\t.L3"},
        // A carriage return is a blank, also in column 1.
        {"\rbra\t.L3", "\rpbra\t.L3", "\rbra\tp.L3"},
        {"_g:\rreturn", "_g:\rpreturn", "_g:p\rreturn"},
        // Spaces may stand between a label and its ':'.
        {"L1 :\treturn", "L1 :\tpreturn", "pL1 :\treturn"},
        // "$$" is a label with or without its ':'.
        {"\t$$ return", "\t$$ preturn", "\tp$$ return"},
        {"$$:\treturn", "$$:\tpreturn", "p$$:\treturn"},
        // A suffix belongs to the mnemonic word.
        {"\tretlw.b\t#0,w0", "\tpretlw.b\t#0,w0", "\tretlw.pb\t#0,w0"},
    };
    for (const Row& row : rows) {
        std::string why;
        const auto right = filled_branch(row.branch, row.right);
        EXPECT_TRUE(proof_check_schedule(right.first, right.second, false, why)) << row.branch << ": " << why;
        const auto wrong = filled_branch(row.branch, row.wrong);
        EXPECT_FALSE(proof_check_schedule(wrong.first, wrong.second, false, why)) << row.branch;
        EXPECT_NE(why.find("is written as"), std::string::npos) << row.branch << ": " << why;
    }
}

}  // namespace

namespace {

// A line that the note would make too long gets the note on the next line
// alone, also when the line's own text holds "\t; [" (in a comment): only
// a note at the line's end is its note.
TEST(SchedCheck, ANoteOnTheNextLineFollowsALineWhoseTextLooksLikeOne)
{
    const std::string comment = "\t; [x" + std::string(650, 'y');  // 655 characters
    const std::string original = "\t.text\n"
                                 "\tmov\tw0,w1\n" +
                                 comment + "\n" +
                                 "\treturn\n";
    const std::string scheduled = "\t.text\t; [+:1]\n"
                                  "\tmov\tw0,w1\t; [+:2]\n" +
                                  comment + "\n\t; [+:3]\n" +
                                  "\treturn\t; [+:4]\n";
    std::string why;
    EXPECT_TRUE(proof_check_schedule(original, scheduled, true, why)) << why;
}

}  // namespace

namespace {

TEST(SchedCheck, ANopInADisiWindowTakesACycle)
{
    // The BRA's two slots take MOV W0,W1 and a nop. DISI #10 holds
    // interrupts off for all four instructions after it either way; DISI #3
    // holds four cycles, and the nop pushes MOV W2,W3... out of them.
    const auto pair = [](const std::string& count, bool scheduled) {
        if (!scheduled)
            return "\t.section\t.text,code\n_f:\n\tdisi\t#" + count +
                   "\n\tmov\tw0,w1\n\tbra\t.L2\n\tmov\tw2,w3\n.L2:\n\treturn\n";
        return "\t.section\t.text,code\t; [+:1]\n_f:\t; [+:2]\n\tdisi\t#" + count +
               "\t; [+:3]\n\tpbra\t.L2\t; [-:5]\n\tnop\n\tmov\tw0,w1\t; [-:4]\n\tmov\tw2,w3\t; [-:6]\n"
               ".L2:\t; [+:7]\n\treturn\t; [+:8]\n";
    };
    std::string why;
    EXPECT_TRUE(proof_check_schedule(pair("10", false), pair("10", true), false, why)) << why;
    EXPECT_FALSE(proof_check_schedule(pair("3", false), pair("3", true), false, why));
    EXPECT_NE(why.find("holds interrupts off"), std::string::npos) << why;
}

TEST(SchedCheck, ALaterDisiSetsTheCountAnew)
{
    // DISI #4, then DISI #0: from the second one on only its own count
    // holds, so the BRA's slots may take the MOV before it and a nop,
    // which would push the MOV out of the first DISI's five cycles.
    const std::string original = "\t.section\t.text,code\n_f:\n\tdisi\t#4\n\tmov\tw4,w5\n\tdisi\t#0\n"
                                 "\tmov\tw6,w7\n\tmov\tw0,w1\n\tbra\t.L2\n.L2:\n\treturn\n";
    const std::string scheduled = "\t.section\t.text,code\t; [+:1]\n_f:\t; [+:2]\n\tdisi\t#4\t; [+:3]\n"
                                  "\tmov\tw4,w5\t; [+:4]\n\tdisi\t#0\t; [+:5]\n\tmov\tw6,w7\t; [+:6]\n"
                                  "\tpbra\t.L2\t; [-:8]\n\tnop\n\tmov\tw0,w1\t; [-:7]\n.L2:\t; [-:9]\n"
                                  "\treturn\t; [+:10]\n";
    std::string why;
    EXPECT_TRUE(proof_check_schedule(original, scheduled, false, why)) << why;
    // With a nop in place of the second DISI, the first one's window
    // ends with the nop the BRA's slot added, before the MOV.
    std::string one = original;
    one.replace(one.find("\tdisi\t#0\n"), 9, "\tnop\n");
    std::string one_scheduled = scheduled;
    one_scheduled.replace(one_scheduled.find("\tdisi\t#0\t"), 9, "\tnop\t");
    EXPECT_FALSE(proof_check_schedule(one, one_scheduled, false, why));
}

}  // namespace

namespace {

TEST(SchedCheck, ARegisterWordNamesNoLabel)
{
    // A label spelt like a register is named by no operand: "w2" in
    // "mov [w2],w4" is the register. The MOV may move up across it.
    for (const std::string moved : {"mov\t[w2],w4", "mov\tw2,w4"}) {
        const std::string original =
            "\t.section\t.text,code\n_f:\n\tmov\tw0,w1\nw2:\n\t" + moved + "\n\treturn\n";
        const std::string scheduled = "\t.section\t.text,code\t; [+:1]\n_f:\t; [+:2]\n\t" + moved +
                                      "\t; [-:5]\n\tmov\tw0,w1\t; [-:3]\nw2:\t; [+:4]\n\treturn\t; [-:6]\n";
        std::string why;
        EXPECT_TRUE(proof_check_schedule(original, scheduled, false, why)) << moved << ": " << why;
    }
}

}  // namespace

namespace {

TEST(SchedCheck, ANumericLabelIsAFenceOnlyWhenNamed)
{
    // MOV W2,W3 moved up across "1:". Nothing names 1 (a number "1" or
    // "10b" is no name of it): it is no fence. "1b" or "1f" anywhere (a literal too) names
    // it, and then it is one.
    const auto pair = [](const std::string& tail, bool scheduled) {
        if (!scheduled) return "\t.section\t.text,code\n_f:\n\tmov\tw0,w1\n1:\n\tmov\tw2,w3\n" + tail + "\treturn\n";
        return "\t.section\t.text,code\t; [+:1]\n_f:\t; [+:2]\n\tmov\tw2,w3\t; [-:5]\n\tmov\tw0,w1\t; [-:3]\n"
               "1:\t; [+:4]\n" + tail.substr(0, tail.size() - 1) + "\t; [-:6]\n\treturn\t; [+:7]\n";
    };
    for (const std::string tail : {"\tadd\tw4,#1,w4\n", "\tmov\t#10b,w4\n"}) {
        std::string why;
        EXPECT_TRUE(proof_check_schedule(pair(tail, false), pair(tail, true), false, why)) << tail << why;
    }
    for (const std::string tail : {"\tbra\tz,1b\n", "\tmov\t#1B,w4\n"}) {
        std::string why;
        EXPECT_FALSE(proof_check_schedule(pair(tail, false), pair(tail, true), false, why)) << tail;
        EXPECT_NE(why.find("jumped to"), std::string::npos) << tail << ": " << why;
    }
}

}  // namespace

namespace {

TEST(SchedCheck, TheNoteOfALongLineCountsTheDigitsOfItsNumber)
{
    // Line 100 holds 654 characters: with its note "\t; [+:100]" it would
    // take 664, one more than the reader takes whole, so it is written
    // without its trailing blanks. Line 9 of the same length takes 663 with
    // its note and is written as it is.
    const auto source = [](int long_line) {
        std::string text = "\t.section\t.text,code\n";
        for (int n = 2; n <= 100; ++n) text += n == long_line ? "\tnop" + std::string(650, ' ') + "\n" : "\tnop\n";
        return text;
    };
    const auto scheduled = [](int long_line, bool trimmed) {
        std::string text = "\t.section\t.text,code\t; [+:1]\n";
        for (int n = 2; n <= 100; ++n) {
            const std::string line = n == long_line && !trimmed ? "\tnop" + std::string(650, ' ') : "\tnop";
            text += line + "\t; [+:" + std::to_string(n) + "]\n";
        }
        return text;
    };
    std::string why;
    EXPECT_TRUE(proof_check_schedule(source(100), scheduled(100, true), false, why)) << why;
    EXPECT_TRUE(proof_check_schedule(source(9), scheduled(9, false), false, why)) << why;
    EXPECT_FALSE(proof_check_schedule(source(9), scheduled(9, true), false, why));
}

}  // namespace

namespace {

TEST(SchedCheck, ANameGivenItsValueOnceHasItEverywhere)
{
    // MOV #K,W0 moved up across the .equ of K. Given once, K has that
    // value before its .equ too; given twice, the MOV would see the other.
    const auto pair = [](const std::string& head, bool scheduled) {
        const std::string first = "\t.section\t.text,code\n" + head + "_f:\n";
        if (!scheduled) return first + "\tmov\tw2,w3\n\t.equ\tK,4\n\tmov\t#K,w0\n\treturn\n";
        const int base = head.empty() ? 0 : 1;
        const auto note = [base](const char* mark, int n) {
            return std::string("\t; [") + mark + ":" + std::to_string(n + base) + "]\n";
        };
        return "\t.section\t.text,code\t; [+:1]\n" + (head.empty() ? "" : head.substr(0, head.size() - 1) + note("+", 1)) +
               "_f:" + note("+", 2) + "\tmov\t#K,w0" + note("-", 5) + "\tmov\tw2,w3" + note("-", 3) + "\t.equ\tK,4" +
               note("+", 4) + "\treturn" + note("-", 6);
    };
    std::string why;
    EXPECT_TRUE(proof_check_schedule(pair("", false), pair("", true), false, why)) << why;
    EXPECT_FALSE(proof_check_schedule(pair("\t.set\tK,3\n", false), pair("\t.set\tK,3\n", true), false, why));
    EXPECT_NE(why.find("new value of a name"), std::string::npos) << why;
}

}  // namespace
