// The target's constant tables: mnemonics, registers, condition codes,
// mnemonic suffixes and the compiler's runtime routines. Every table is
// sorted by name in byte order, as the binary searches over them need.
#include "paasmquodra.h"

namespace {

// Mnemonic flags and resource masks of the rows, by short names so that
// each row stays on one line.
constexpr uint32_t ENDS = MNEMONIC_ENDS_RUN;
constexpr uint32_t FILLS = MNEMONIC_FILLS_SLOT;
constexpr uint32_t ST = RES_STATUS;
constexpr uint32_t W14 = 0x00004000u;
constexpr uint32_t W15 = 0x00008000u;
constexpr uint32_t W14_W15 = W14 | W15;
constexpr uint32_t ALL_W = 0x0000FFFFu;
// Divides write W0, W1 and the status register.
constexpr uint32_t DIV_DEFS = ST | 0x3u;
// A call may clobber every W register, data memory and the status, and
// may read every W register and data memory.
constexpr uint32_t CALL_DEFS = ST | RES_DATA_MEMORY | ALL_W;
constexpr uint32_t CALL_USES = RES_DATA_MEMORY | ALL_W;
constexpr uint32_t RETFIE_DEFS = ST | W15;

// Alternate words of the rows; what each slot means is up to the class
// encoder, and a zero word is a form the row does not have.
constexpr uint32_t alt_add_4b[] = {0xB00000, 0xB40000, 0xCB0000, 0xC90000};
constexpr uint32_t alt_add_24[] = {0xB00000, 0xB40000, 0, 0};
constexpr uint32_t alt_addc[] = {0xB08000, 0xB48000};
constexpr uint32_t alt_and[] = {0xB20000, 0xB60000};
constexpr uint32_t alt_asr[] = {0xDE8000, 0xD58000};
constexpr uint32_t alt_bclr[] = {0xA90000, 0};
constexpr uint32_t alt_bra[] = {0x016000, 0x010600};
constexpr uint32_t alt_bset[] = {0xA80000, 0};
constexpr uint32_t alt_btg[] = {0xAA0000, 0};
constexpr uint32_t alt_btsc[] = {0xAF0000, 0};
constexpr uint32_t alt_btss[] = {0xAE0000, 0};
constexpr uint32_t alt_btst[] = {0xAB0000, 0xA50000};
constexpr uint32_t alt_btsts[] = {0xAC0000, 0};
constexpr uint32_t alt_call[] = {0x010000, 0x018000};
constexpr uint32_t alt_clr_4b[] = {0xEF0000, 0xC30000};
constexpr uint32_t alt_clr_24[] = {0xEF0000, 0};
constexpr uint32_t alt_com[] = {0xEE8000};
constexpr uint32_t alt_cp[] = {0xE30000};
constexpr uint32_t alt_cp0[] = {0xE20000};
constexpr uint32_t alt_cpb[] = {0xE38000};
constexpr uint32_t alt_dec[] = {0xED0000};
constexpr uint32_t alt_dec2[] = {0xED8000};
constexpr uint32_t alt_decsnz[] = {0x002000};
constexpr uint32_t alt_decsz[] = {0x002000};
constexpr uint32_t alt_disi[] = {0x00000E};
constexpr uint32_t alt_do[] = {0x088000};
constexpr uint32_t alt_goto[] = {0x014000, 0x018400, 0x010400};
constexpr uint32_t alt_inc[] = {0xEC0000};
constexpr uint32_t alt_inc2[] = {0xEC8000};
constexpr uint32_t alt_incsnz[] = {0x002000};
constexpr uint32_t alt_incsz[] = {0x002000};
constexpr uint32_t alt_ior[] = {0xB30000, 0xB70000};
constexpr uint32_t alt_lsr[] = {0xDE0000, 0xD50000};
constexpr uint32_t alt_mac[] = {0xF00000};
constexpr uint32_t alt_mpy[] = {0xF00001};
constexpr uint32_t alt_neg[] = {0xEE0000, 0, 0xCB1000};
constexpr uint32_t alt_pbra[] = {0x016000, 0x010600};
constexpr uint32_t alt_pop[] = {0xFE8000};
constexpr uint32_t alt_push[] = {0xFEA000};
constexpr uint32_t alt_pwrsav[] = {0x000001};
constexpr uint32_t alt_rcall[] = {0x012000, 0x010200};
constexpr uint32_t alt_repeat[] = {0x098000};
constexpr uint32_t alt_rlc[] = {0xD68000};
constexpr uint32_t alt_rlnc[] = {0xD60000};
constexpr uint32_t alt_rrc[] = {0xD78000};
constexpr uint32_t alt_rrnc[] = {0xD70000};
constexpr uint32_t alt_setm[] = {0xEF8000, 0};
constexpr uint32_t alt_sl[] = {0xDD0000, 0xD40000};
constexpr uint32_t alt_sub_4b[] = {0xB10000, 0xB50000, 0xCB3000, 0};
constexpr uint32_t alt_sub_24[] = {0xB10000, 0xB50000, 0, 0};
constexpr uint32_t alt_subb[] = {0xB18000, 0xB58000};
constexpr uint32_t alt_subbr[] = {0, 0xBD8000};
constexpr uint32_t alt_subr[] = {0, 0xBD0000};
constexpr uint32_t alt_xor[] = {0xB28000, 0xB68000};

}  // namespace

// name, base word, family mask, class, alternate words, suffix mask, slot count, flags, shadow kind,
// not-repeatable kind, implicit defs, implicit uses, number of alternate words
const MnemonicEntry mnemonic_table[104] = {
    {"ADD",     0x400000, 0x4B, 8,  alt_add_4b, 0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         4}, // 0
    {"ADD",     0x400000, 0x24, 8,  alt_add_24, 0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         4}, // 1
    {"ADDC",    0x480000, 0x6F, 8,  alt_addc,   0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          ST,        2}, // 2
    {"AND",     0x600000, 0x6F, 8,  alt_and,    0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         2}, // 3
    {"ASR",     0xD18000, 0x6F, 9,  alt_asr,    0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         2}, // 4
    {"BCLR",    0xA10000, 0x6F, 10, alt_bclr,   0x0007, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         2}, // 5
    {"BRA",     0x370000, 0x6F, 27, alt_bra,    0x0000, 1, 0,            SHADOW_NONE,   2, 0,           0,         2}, // 6
    {"BSET",    0xA00000, 0x6F, 10, alt_bset,   0x0007, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         2}, // 7
    {"BSW",     0xAD0000, 0x6F, 21, nullptr,    0x1800, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         0}, // 8
    {"BTG",     0xA20000, 0x6F, 10, alt_btg,    0x0007, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         2}, // 9
    {"BTSC",    0xA70000, 0x6F, 11, alt_btsc,   0x0007, 1, FILLS,        SHADOW_SKIP,   2, 0,           0,         2}, // 10
    {"BTSS",    0xA60000, 0x6F, 11, alt_btss,   0x0007, 1, FILLS,        SHADOW_SKIP,   2, 0,           0,         2}, // 11
    {"BTST",    0xA30000, 0x6F, 11, alt_btst,   0x1807, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         2}, // 12
    {"BTSTS",   0xA40000, 0x6F, 11, alt_btsts,  0x1807, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         2}, // 13
    {"CALL",    0x020000, 0x6F, 23, alt_call,   0x0FF8, 1, ENDS,         SHADOW_NONE,   2, CALL_DEFS,   CALL_USES, 2}, // 14
    {"CLR",     0xEB0000, 0x4B, 3,  alt_clr_4b, 0x0007, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         2}, // 15
    {"CLR",     0xEB0000, 0x24, 3,  alt_clr_24, 0x0007, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         2}, // 16
    {"CLRWDT",  0xFE6000, 0x6F, 1,  nullptr,    0x0000, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         0}, // 17
    {"COM",     0xEA8000, 0x6F, 6,  alt_com,    0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         1}, // 18
    {"CP",      0xE10000, 0x6F, 26, alt_cp,     0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         1}, // 19
    {"CP0",     0xE00000, 0x6F, 2,  alt_cp0,    0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         1}, // 20
    {"CPB",     0xE18000, 0x6F, 26, alt_cpb,    0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          ST,        1}, // 21
    {"CPBEQ",   0xE78000, 0x60, 7,  nullptr,    0x0007, 1, 0,            SHADOW_NONE,   2, 0,           0,         0}, // 22
    {"CPBGT",   0xE60000, 0x60, 7,  nullptr,    0x0007, 1, 0,            SHADOW_NONE,   2, 0,           0,         0}, // 23
    {"CPBLT",   0xE68000, 0x60, 7,  nullptr,    0x0007, 1, 0,            SHADOW_NONE,   2, 0,           0,         0}, // 24
    {"CPBNE",   0xE70000, 0x60, 7,  nullptr,    0x0007, 1, 0,            SHADOW_NONE,   2, 0,           0,         0}, // 25
    {"CPSEQ",   0xE78000, 0x01, 25, nullptr,    0x0007, 1, 0,            SHADOW_SKIP,   2, 0,           0,         0}, // 26
    {"CPSEQ",   0xE78000, 0x6E, 7,  nullptr,    0x0007, 1, 0,            SHADOW_SKIP,   2, 0,           0,         0}, // 27
    {"CPSGT",   0xE60000, 0x01, 25, nullptr,    0x0007, 1, 0,            SHADOW_SKIP,   2, 0,           0,         0}, // 28
    {"CPSGT",   0xE60000, 0x6E, 7,  nullptr,    0x0007, 1, 0,            SHADOW_SKIP,   2, 0,           0,         0}, // 29
    {"CPSLT",   0xE68000, 0x01, 25, nullptr,    0x0007, 1, 0,            SHADOW_SKIP,   2, 0,           0,         0}, // 30
    {"CPSLT",   0xE68000, 0x6E, 7,  nullptr,    0x0007, 1, 0,            SHADOW_SKIP,   2, 0,           0,         0}, // 31
    {"CPSNE",   0xE70000, 0x01, 25, nullptr,    0x0007, 1, 0,            SHADOW_SKIP,   2, 0,           0,         0}, // 32
    {"CPSNE",   0xE70000, 0x6E, 7,  nullptr,    0x0007, 1, 0,            SHADOW_SKIP,   2, 0,           0,         0}, // 33
    {"DAW",     0xFD4000, 0x6F, 5,  nullptr,    0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         0}, // 34
    {"DEC",     0xE90000, 0x6F, 6,  alt_dec,    0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         1}, // 35
    {"DEC2",    0xE98000, 0x6F, 6,  alt_dec2,   0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         1}, // 36
    {"DECSNZ",  0xE58000, 0x01, 25, alt_decsnz, 0x0007, 1, FILLS,        SHADOW_SKIP,   2, 0,           0,         1}, // 37
    {"DECSZ",   0xE50000, 0x01, 25, alt_decsz,  0x0007, 1, FILLS,        SHADOW_SKIP,   2, 0,           0,         1}, // 38
    {"DISI",    0xFC0000, 0x6F, 4,  alt_disi,   0x0000, 1, FILLS,        SHADOW_NONE,   2, 0,           0,         1}, // 39
    {"DIV",     0xD80000, 0x6F, 13, nullptr,    0x0FF8, 1, FILLS,        SHADOW_NONE,   0, DIV_DEFS,    0,         0}, // 40
    {"DIVF",    0xD90000, 0x4B, 14, nullptr,    0x0000, 1, FILLS,        SHADOW_NONE,   0, DIV_DEFS,    0,         0}, // 41
    {"DO",      0x080000, 0x4B, 28, alt_do,     0x0000, 1, 0,            SHADOW_NONE,   2, 0,           0,         1}, // 42
    {"ED",      0xF04003, 0x4B, 30, nullptr,    0x0000, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         0}, // 43
    {"EDAC",    0xF04002, 0x4B, 30, nullptr,    0x0000, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         0}, // 44
    {"EXCH",    0xFD0000, 0x6F, 19, nullptr,    0x0000, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         0}, // 45
    {"FBCL",    0xDF0000, 0x6F, 20, nullptr,    0x0000, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         0}, // 46
    {"FF1L",    0xCF8000, 0x6F, 20, nullptr,    0x0000, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         0}, // 47
    {"FF1R",    0xCF0000, 0x6F, 20, nullptr,    0x0000, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         0}, // 48
    {"GOTO",    0x040000, 0x6F, 23, alt_goto,   0x0FF8, 1, 0,            SHADOW_NONE,   2, 0,           0,         3}, // 49
    {"INC",     0xE80000, 0x6F, 6,  alt_inc,    0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         1}, // 50
    {"INC2",    0xE88000, 0x6F, 6,  alt_inc2,   0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         1}, // 51
    {"INCSNZ",  0xE48000, 0x01, 25, alt_incsnz, 0x0007, 1, FILLS,        SHADOW_SKIP,   2, 0,           0,         1}, // 52
    {"INCSZ",   0xE40000, 0x01, 25, alt_incsz,  0x0007, 1, FILLS,        SHADOW_SKIP,   2, 0,           0,         1}, // 53
    {"IOR",     0x700000, 0x6F, 8,  alt_ior,    0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         2}, // 54
    {"LAC",     0xCA0000, 0x4B, 33, nullptr,    0x0000, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         0}, // 55
    {"LNK",     0xFA0000, 0x6F, 16, nullptr,    0x0000, 1, ENDS | FILLS, SHADOW_NONE,   2, W14_W15,     W14_W15,   0}, // 56
    {"LSR",     0xD10000, 0x6F, 9,  alt_lsr,    0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         2}, // 57
    {"MAC",     0xC00000, 0x4B, 29, alt_mac,    0x0000, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         1}, // 58
    {"MOV",     0x780000, 0x6F, 12, nullptr,    0x0007, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         0}, // 59
    {"MOVPAG",  0xFEC000, 0x60, 12, nullptr,    0x0007, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         0}, // 60
    {"MOVSAC",  0xC70000, 0x4B, 31, nullptr,    0x0000, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         0}, // 61
    {"MPY",     0xC00003, 0x4B, 29, alt_mpy,    0x2000, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         1}, // 62
    {"MSC",     0xC04000, 0x4B, 29, nullptr,    0x0000, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         0}, // 63
    {"MUL",     0x000000, 0x6F, 15, nullptr,    0x0FFF, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         0}, // 64
    {"MULW",    0x000080, 0x60, 15, nullptr,    0x0FFF, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         0}, // 65
    {"NEG",     0xEA0000, 0x6F, 6,  alt_neg,    0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         3}, // 66
    {"NOP",     0x000000, 0x6F, 1,  nullptr,    0x0000, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         0}, // 67
    {"NOPR",    0xFF0000, 0x6F, 1,  nullptr,    0x0000, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         0}, // 68
    {"PBRA",    0x370000, 0x6F, 27, alt_pbra,   0x0000, 1, 0,            SHADOW_NONE,   2, 0,           0,         2}, // 69
    {"POP",     0xF90000, 0x6F, 24, alt_pop,    0x8007, 1, ENDS | FILLS, SHADOW_NONE,   0, 0,           0,         1}, // 70
    {"PRETFIE", 0x064000, 0x6F, 1,  nullptr,    0x0000, 1, ENDS,         SHADOW_NONE,   2, RETFIE_DEFS, W15,       0}, // 71
    {"PRETLW",  0x050000, 0x6F, 18, nullptr,    0x0007, 1, 0,            SHADOW_NONE,   2, W15,         W15,       0}, // 72
    {"PRETURN", 0x060000, 0x6F, 1,  nullptr,    0x0000, 1, 0,            SHADOW_NONE,   2, W15,         W15,       0}, // 73
    {"PUSH",    0xF80000, 0x6F, 24, alt_push,   0x8007, 1, ENDS | FILLS, SHADOW_NONE,   0, 0,           0,         1}, // 74
    {"PWRSAV",  0xFE4000, 0x6F, 4,  alt_pwrsav, 0x0000, 1, FILLS,        SHADOW_NONE,   2, 0,           0,         1}, // 75
    {"RCALL",   0x070000, 0x6F, 22, alt_rcall,  0x0000, 1, ENDS,         SHADOW_NONE,   2, CALL_DEFS,   CALL_USES, 2}, // 76
    {"REPEAT",  0x090000, 0x6F, 17, alt_repeat, 0x0000, 1, 0,            SHADOW_REPEAT, 2, 0,           0,         1}, // 77
    {"RESET",   0xFE0000, 0x6F, 1,  nullptr,    0x0000, 1, 0,            SHADOW_NONE,   0, 0,           0,         0}, // 78
    {"RETFIE",  0x064000, 0x6F, 1,  nullptr,    0x0000, 1, ENDS,         SHADOW_NONE,   2, RETFIE_DEFS, W15,       0}, // 79
    {"RETLW",   0x050000, 0x6F, 18, nullptr,    0x0007, 1, 0,            SHADOW_NONE,   2, W15,         W15,       0}, // 80
    {"RETURN",  0x060000, 0x6F, 1,  nullptr,    0x0000, 1, 0,            SHADOW_NONE,   2, W15,         W15,       0}, // 81
    {"RLC",     0xD28000, 0x6F, 6,  alt_rlc,    0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          ST,        1}, // 82
    {"RLNC",    0xD20000, 0x6F, 6,  alt_rlnc,   0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         1}, // 83
    {"RRC",     0xD38000, 0x6F, 6,  alt_rrc,    0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          ST,        1}, // 84
    {"RRNC",    0xD30000, 0x6F, 6,  alt_rrnc,   0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         1}, // 85
    {"SAC",     0xCC0000, 0x4B, 34, nullptr,    0x4000, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         0}, // 86
    {"SE",      0xFB0000, 0x6F, 20, nullptr,    0x0000, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         0}, // 87
    {"SETM",    0xEB8000, 0x6F, 3,  alt_setm,   0x0007, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         2}, // 88
    {"SFTAC",   0xC80000, 0x4B, 32, nullptr,    0x0000, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         0}, // 89
    {"SL",      0xD00000, 0x6F, 9,  alt_sl,     0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         2}, // 90
    {"SUB",     0x500000, 0x4B, 8,  alt_sub_4b, 0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         4}, // 91
    {"SUB",     0x500000, 0x24, 8,  alt_sub_24, 0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         4}, // 92
    {"SUBB",    0x580000, 0x6F, 8,  alt_subb,   0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          ST,        2}, // 93
    {"SUBBR",   0x180000, 0x6F, 8,  alt_subbr,  0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          ST,        2}, // 94
    {"SUBR",    0x100000, 0x6F, 8,  alt_subr,   0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         2}, // 95
    {"SWAP",    0xFD8000, 0x6F, 5,  nullptr,    0x0007, 1, FILLS,        SHADOW_NONE,   0, 0,           0,         0}, // 96
    {"TBLRDH",  0xBA8000, 0x6F, 6,  nullptr,    0x0007, 2, FILLS,        SHADOW_NONE,   0, 0,           0,         0}, // 97
    {"TBLRDL",  0xBA0000, 0x6F, 6,  nullptr,    0x0007, 2, FILLS,        SHADOW_NONE,   0, 0,           0,         0}, // 98
    {"TBLWTH",  0xBB8000, 0x6F, 6,  nullptr,    0x0007, 2, FILLS,        SHADOW_NONE,   0, 0,           0,         0}, // 99
    {"TBLWTL",  0xBB0000, 0x6F, 6,  nullptr,    0x0007, 2, FILLS,        SHADOW_NONE,   0, 0,           0,         0}, // 100
    {"ULNK",    0xFA8000, 0x6F, 1,  nullptr,    0x0000, 1, ENDS | FILLS, SHADOW_NONE,   2, W14_W15,     W14,       0}, // 101
    {"XOR",     0x680000, 0x6F, 8,  alt_xor,    0x0007, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         2}, // 102
    {"ZE",      0xFB8000, 0x6F, 20, nullptr,    0x0000, 1, FILLS,        SHADOW_NONE,   0, ST,          0,         0}, // 103
};

const RegisterEntry register_table[22] = {
    {"A",      REG_ACCUMULATOR, 0,  RES_ACCUMULATOR_A},
    {"B",      REG_ACCUMULATOR, 1,  RES_ACCUMULATOR_B},
    {"DSRPAG", REG_PAGE,        0,  RES_DSRPAG},
    {"DSWPAG", REG_PAGE,        1,  RES_DSWPAG},
    {"TBLPAG", REG_PAGE,        2,  RES_TBLPAG},
    {"W0",     REG_W,           0,  0x0001},
    {"W1",     REG_W,           1,  0x0002},
    {"W10",    REG_W,           10, 0x0400},
    {"W11",    REG_W,           11, 0x0800},
    {"W12",    REG_W,           12, 0x1000},
    {"W13",    REG_W,           13, 0x2000},
    {"W14",    REG_W,           14, 0x4000},
    {"W15",    REG_W,           15, 0x8000},
    {"W2",     REG_W,           2,  0x0004},
    {"W3",     REG_W,           3,  0x0008},
    {"W4",     REG_W,           4,  0x0010},
    {"W5",     REG_W,           5,  0x0020},
    {"W6",     REG_W,           6,  0x0040},
    {"W7",     REG_W,           7,  0x0080},
    {"W8",     REG_W,           8,  0x0100},
    {"W9",     REG_W,           9,  0x0200},
    {"WREG",   REG_WREG,        0,  0x0001},  // the alias of W0
};

// Synonyms share a code: c and geu, nc and ltu, eq and z, neq and nz.
const ConditionEntry condition_code_table[22] = {
    {"c",   0x31}, {"eq",  0x32}, {"ge",  0x3D}, {"geu", 0x31}, {"gt",  0x3C}, {"gtu", 0x3E},
    {"le",  0x34}, {"leu", 0x36}, {"lt",  0x35}, {"ltu", 0x39}, {"n",   0x33}, {"nc",  0x39},
    {"neq", 0x3A}, {"nn",  0x3B}, {"nov", 0x38}, {"nz",  0x3A}, {"oa",  0x0C}, {"ob",  0x0D},
    {"ov",  0x30}, {"sa",  0x0E}, {"sb",  0x0F}, {"z",   0x32},
};

// ".c" and ".l" share one bit; the encoder that honours it decides which
// it means.
const SuffixEntry suffix_table[17] = {
    {".b",  SUFFIX_B},  {".c",  SUFFIX_L},  {".d",  SUFFIX_D},  {".l",  SUFFIX_L},  {".n",  SUFFIX_N},
    {".r",  SUFFIX_R},  {".s",  SUFFIX_S},  {".sd", SUFFIX_SD}, {".ss", SUFFIX_SS}, {".su", SUFFIX_SU},
    {".sw", SUFFIX_SW}, {".ud", SUFFIX_UD}, {".us", SUFFIX_US}, {".uu", SUFFIX_UU}, {".uw", SUFFIX_UW},
    {".w",  SUFFIX_W},  {".z",  SUFFIX_Z},
};

const char* const runtime_helper_table[58] = {
    "___adddf3", "___addsf3", "___ashldi3", "___ashlsi3", "___ashrdi3", "___ashrsi3", "___cmpdi2", "___cmpsi2",
    "___divdf3", "___divdi3", "___divsf3", "___divsi3", "___eqdf2", "___eqsf2", "___extendsfdf2", "___fixdfdi",
    "___fixdfsi", "___fixsfdi", "___fixsfsi", "___fixunsdfdi", "___fixunsdfsi", "___fixunssfdi",
    "___fixunssfsi", "___floatdidf", "___floatdisf", "___floatsidf", "___floatsisf", "___gedf2", "___gesf2",
    "___gtdf2", "___gtsf2", "___ledf2", "___lesf2", "___lshrdi3", "___lshrsi3", "___ltdf2", "___ltsf2",
    "___moddi3", "___modsi3", "___muldf3", "___muldi3", "___mulsf3", "___mulsi3", "___nedf2", "___negdf2",
    "___negdi2", "___negsf2", "___negsi2", "___nesf2", "___subdf3", "___subsf3", "___truncdfsf2", "___ucmpdi2",
    "___ucmpsi2", "___udivdi3", "___udivsi3", "___umoddi3", "___umodsi3",
};

uint32_t tgt_alternate_word(const MnemonicEntry* row, int slot) {
    if (row == nullptr || row->alternate_words == nullptr || slot < 0 || slot >= row->alternate_count) return 0;
    return row->alternate_words[slot];
}
