// ALU, shift and compare-and-skip/branch encoders (classes 8, 9 and 7).
//
// Each encoder reads as the list of its operand forms: the current token
// picks the form, the form ORs its fields into the word and adds what it
// reads and writes to the two resource pairs, and the shared finishing step
// does the hazard check, the two recorders and the emission. The
// register-first ALU forms cannot know the width of their literal until the
// operand after it is seen (Wb,#lit5,Wd against Wb,#lit10 against
// Ws,#Slit4,A), so they keep the evaluated literal and place it once the
// form is known.
#include "paasmquodra_alu.h"

#include <cstring>

#include "paasmexpr.h"
#include "paasmlex.h"
#include "paasmmatch.h"
#include "paasmquodra_operand.h"

namespace {

// ---- Bit fields of the words of these classes ------------------------------

constexpr uint32_t field_ws(uint32_t n) { return n; }              // bits 0-3
constexpr uint32_t field_wd(uint32_t n) { return n << 7; }         // bits 7-10
constexpr uint32_t field_wb_shift(uint32_t n) { return n << 11; }  // bits 11-14 (shift, compare)
constexpr uint32_t field_wb_alu(uint32_t n) { return n << 15; }    // bits 15-18 (ALU)

constexpr uint32_t WORD_BYTE = 0x4000;            // the byte bit of .b
constexpr uint32_t WORD_COMPARE_BYTE = 0x0400;    // the byte bit of the compare rows
constexpr uint32_t WORD_LITERAL_SOURCE = 0x0060;  // bits 5-6: the source is a 5-bit literal
constexpr uint32_t WORD_SHIFT_BY_LITERAL = 0x0040;
constexpr uint32_t WORD_SKIP_NEW_FAMILY = 0x0010;  // compare-and-skip on families 0x20 and 0x40

constexpr uint32_t FAMILY_NEW_COMPARE = 0x60;  // the families with the new compare encoding
constexpr uint32_t W0_MASK = 0x1;
constexpr uint32_t W15_MASK = 0x8000;

// Literal fields: widths and positions.
constexpr int LITERAL10_WIDTH = 10;
constexpr int LITERAL8_WIDTH = 8;
constexpr int LITERAL_WIDE_POSITION = 4;  // #lit10 and #lit8 in bits 4 up
constexpr int LITERAL5_WIDTH = 5;
constexpr int LITERAL4_WIDTH = 4;
constexpr int SLIT4_POSITION = 7;  // the accumulate forms' shift, bits 7-10
constexpr int WN_POSITION = 0;
constexpr int WD_POSITION = 7;
constexpr int DESTINATION_POSITION = 7;
constexpr int INDEX_POSITION = 11;

// The branch offset counts from the instruction after the compare.
constexpr int32_t BRANCH_ADJUSTMENT = 2;

// Places a literal evaluated before its form was known; every field but the
// 8-bit byte literal carries the operator modifier.
int alu_place_literal(ExprValue& value, uint32_t& word, Symbol** relocation, int width, int position) {
    int status = tgt_insert_literal_field(value, word, relocation, width, position);
    if (width != LITERAL8_WIDTH) word |= tgt_operator_modifier(value.last_operator);
    return status;
}

// ---- Rows -------------------------------------------------------------------------

// The alternate words of an ALU row by meaning; 0 where the row lacks the form.
struct AluWords {
    uint32_t literal;      // #lit10,Wn
    uint32_t file;         // f and f,WREG
    uint32_t accumulator;  // ADD A, SUB B
    uint32_t accumulate;   // ADD [Ws],#Slit4,A and ADD Ws,#Slit4,A
};

// The row's alternate words by meaning; slots a row lacks read as 0.
AluWords alu_words(const MnemonicEntry* row) {
    return AluWords{tgt_alternate_word(row, 0), tgt_alternate_word(row, 1), tgt_alternate_word(row, 2),
                    tgt_alternate_word(row, 3)};
}

bool token_is(int32_t code) { return current_token.code == code; }

// A register the instruction writes directly: architectural and hazard defs.
void alu_define(TgtInstruction& ins, uint32_t mask) {
    ins.arch.defs |= mask;
    ins.hazard.defs |= mask;
}

// A W register the instruction writes directly: Wn of #lit10,Wn (bits 0-3,
// also read) or Wd and Wnd (bits 7-10).
int alu_parse_written_w(TgtInstruction& ins, int position, bool also_read) {
    const RegisterEntry* reg = nullptr;
    int status = tgt_parse_w_register(reg);
    if (status != 0) return status;
    ins.words[0] |= static_cast<uint32_t>(reg->register_number) << position;
    tgt_note_stack_pointer(ins, reg);
    if (also_read) ins.arch.uses |= reg->register_mask;
    alu_define(ins, reg->register_mask);
    return 0;
}

int alu_parse_destination(TgtInstruction& ins) {
    return tgt_parse_effective_address(ins.words[0], ins.arch, ins.hazard, DESTINATION_POSITION, ins.ends_block,
                                       ROLE_DESTINATION);
}

int alu_parse_source(TgtInstruction& ins) {
    return tgt_parse_effective_address(ins.words[0], ins.arch, ins.hazard, 0, ins.ends_block, ROLE_SOURCE);
}

// f or f,WREG (ALU and shift): the result goes to f, or to WREG after a comma.
int alu_file_register(TgtInstruction& ins, uint32_t file_word, uint32_t uses) {
    uint32_t& word = ins.words[0];
    word = file_word;
    ins.arch.uses |= uses;
    int status = tgt_parse_file_register(word, &ins.relocation, 0);
    if (status != 0) return status;
    tgt_apply_size_suffix(word);
    return tgt_parse_file_result(ins);
}

// ---- Class 8 ----------------------------------------------------------------------

// #lit10,Wn (#lit8,Wn with .b).
int alu_literal_to_register(TgtInstruction& ins, uint32_t literal_word) {
    uint32_t& word = ins.words[0];
    word = literal_word;
    lex_next_token();  // '#'
    tgt_apply_size_suffix(word);
    int status = (word & WORD_BYTE) != 0
                     ? tgt_parse_byte_literal(word, &ins.relocation, LITERAL_WIDE_POSITION)
                     : tgt_parse_literal(word, &ins.relocation, LITERAL10_WIDTH, LITERAL_WIDE_POSITION);
    if (status == 0) status = match_expect_comma();
    if (status == 0) status = alu_parse_written_w(ins, WN_POSITION, true);
    return status;
}

// [Ws],#Slit4,A and the other source modes, with the shift optional.
int alu_accumulate_memory(TgtInstruction& ins, uint32_t accumulate_word) {
    uint32_t& word = ins.words[0];
    word = accumulate_word;
    int status =
        tgt_parse_indexed_address(word, ins.arch, ins.hazard, 0, INDEX_POSITION, ins.ends_block, ROLE_SOURCE);
    if (status == 0) status = match_expect_comma();
    if (status == 0 && token_is(TOK_HASH)) {
        lex_next_token();
        status = tgt_parse_literal(word, nullptr, LITERAL4_WIDTH, SLIT4_POSITION);
        if (status == 0) status = match_expect_comma();
    }
    if (status == 0) status = tgt_parse_accumulator(nullptr, word, &ins.arch, &ins.hazard.defs);
    return status;
}

// Ws,#Slit4,A and Ws,A: the accumulate word with Ws register direct.
void alu_accumulate_register(TgtInstruction& ins, uint32_t accumulate_word, const RegisterEntry* ws,
                             const RegisterEntry* accumulator) {
    ins.words[0] =
        accumulate_word | field_ws(ws->register_number) | tgt_field_accumulator(accumulator->register_number);
    alu_define(ins, accumulator->register_mask);
}

// Wb,#lit written last: the literal-to-register form written register first.
int alu_register_literal(TgtInstruction& ins, uint32_t literal_word, const RegisterEntry* wb, ExprValue& literal,
                         bool byte) {
    if (literal_word == 0) return 1;
    uint32_t& word = ins.words[0];
    word = literal_word | field_ws(wb->register_number) | (byte ? WORD_BYTE : 0);
    alu_define(ins, wb->register_mask);
    int width = byte ? LITERAL8_WIDTH : LITERAL10_WIDTH;
    return alu_place_literal(literal, word, &ins.relocation, width, LITERAL_WIDE_POSITION);
}

// Wb,#lit,<third>: Wd, an accumulator, or any destination address.
int alu_literal_three(TgtInstruction& ins, uint32_t accumulate_word, const RegisterEntry* wb, ExprValue& literal) {
    uint32_t& word = ins.words[0];
    if (token_is(TOK_LBRACKET)) {
        word |= WORD_LITERAL_SOURCE;
        int status = alu_place_literal(literal, word, nullptr, LITERAL5_WIDTH, 0);
        if (status == 0) status = alu_parse_destination(ins);
        return status;
    }
    const RegisterEntry* third = nullptr;
    int status = tgt_parse_register(third);
    if (status != 0) return status;
    if (third->register_kind == REG_W) {
        word |= WORD_LITERAL_SOURCE | field_wd(third->register_number);
        tgt_note_stack_pointer(ins, third);
        alu_define(ins, third->register_mask);
        return alu_place_literal(literal, word, nullptr, LITERAL5_WIDTH, 0);
    }
    // An accumulator only where the row accumulates; a literal form has no
    // accumulator destination otherwise.
    if (third->register_kind == REG_ACCUMULATOR) {
        if (accumulate_word == 0) return 1;
        alu_accumulate_register(ins, accumulate_word, wb, third);
        return alu_place_literal(literal, word, nullptr, LITERAL4_WIDTH, SLIT4_POSITION);
    }
    return 29;
}

// Wb,... : everything that starts with a W register.
int alu_register_operands(TgtInstruction& ins, const AluWords& words, const RegisterEntry* wb) {
    uint32_t& word = ins.words[0];
    tgt_note_stack_pointer(ins, wb);
    ins.arch.uses |= wb->register_mask;
    tgt_apply_size_suffix(word);
    bool byte = (word & WORD_BYTE) != 0;
    word |= field_wb_alu(wb->register_number);
    int status = match_expect_comma();
    if (status != 0) return status;

    if (token_is(TOK_HASH)) {
        lex_next_token();
        ExprValue literal;
        status = expr_evaluate(literal);
        if (status != 0) return status;
        if (!token_is(TOK_COMMA)) return alu_register_literal(ins, words.literal, wb, literal, byte);
        lex_next_token();
        return alu_literal_three(ins, words.accumulate, wb, literal);
    }
    if (token_is(TOK_LBRACKET)) {
        status = alu_parse_source(ins);
        if (status == 0) status = match_expect_comma();
        if (status == 0) status = alu_parse_destination(ins);
        return status;
    }
    const RegisterEntry* ws = nullptr;
    status = tgt_parse_register(ws);
    if (status != 0) return status;
    if (ws->register_kind == REG_W) {
        word |= field_ws(ws->register_number);
        tgt_note_stack_pointer(ins, ws);
        ins.arch.uses |= ws->register_mask;
        status = match_expect_comma();
        if (status == 0) status = alu_parse_destination(ins);
        return status;
    }
    if (ws->register_kind == REG_ACCUMULATOR && words.accumulate != 0) {
        alu_accumulate_register(ins, words.accumulate, wb, ws);
        return 0;
    }
    return 1;
}

int alu_operands(TgtInstruction& ins) {
    const AluWords words = alu_words(ins.row);
    if (words.literal != 0 && token_is(TOK_HASH)) return alu_literal_to_register(ins, words.literal);
    if (words.accumulate != 0 && token_is(TOK_LBRACKET)) return alu_accumulate_memory(ins, words.accumulate);
    const RegisterEntry* first = nullptr;
    int status = tgt_parse_register(first);
    if (status == 0 && first->register_kind == REG_W) return alu_register_operands(ins, words, first);
    if (status == 0 && first->register_kind == REG_ACCUMULATOR && words.accumulator != 0) {
        ins.words[0] = words.accumulator | tgt_field_accumulator(first->register_number);
        alu_define(ins, first->register_mask);
        return 0;
    }
    // Not a register (nothing taken), or a register of another kind (taken,
    // so that f is read from what follows it and fails there).
    if (status == 0 || status == 29) return alu_file_register(ins, words.file, RES_DATA_MEMORY | W0_MASK);
    return status;
}

// ---- Class 9 ----------------------------------------------------------------------

// Wb,... : shift by a literal, by a register, or by one.
int shift_register_operands(TgtInstruction& ins, uint32_t shift_word, const RegisterEntry* wb) {
    uint32_t& word = ins.words[0];
    tgt_note_stack_pointer(ins, wb);
    ins.arch.uses |= wb->register_mask;
    int status = match_expect_comma();
    if (status != 0) return status;

    if (token_is(TOK_HASH)) {
        lex_next_token();
        word = shift_word | WORD_SHIFT_BY_LITERAL | field_wb_shift(wb->register_number);
        status = tgt_parse_literal(word, nullptr, LITERAL4_WIDTH, 0);
        if (status == 0) status = match_expect_comma();
        if (status == 0) status = alu_parse_written_w(ins, WD_POSITION, false);
        return status;
    }
    if (token_is(TOK_LBRACKET)) {
        tgt_apply_size_suffix(word);
        word |= field_ws(wb->register_number);
        return alu_parse_destination(ins);
    }
    const RegisterEntry* second = nullptr;
    status = tgt_parse_w_register(second);
    if (status != 0) return status;
    tgt_note_stack_pointer(ins, second);
    if (token_is(TOK_COMMA)) {
        lex_next_token();
        word = shift_word | field_wb_shift(wb->register_number) | field_ws(second->register_number);
        ins.arch.uses |= second->register_mask;
        return alu_parse_written_w(ins, WD_POSITION, false);
    }
    tgt_apply_size_suffix(word);
    word |= field_ws(wb->register_number) | field_wd(second->register_number);
    alu_define(ins, second->register_mask);
    return 0;
}

int shift_operands(TgtInstruction& ins) {
    uint32_t shift_word = tgt_alternate_word(ins.row, 0);
    uint32_t file_word = tgt_alternate_word(ins.row, 1);
    const RegisterEntry* first = nullptr;
    int status = tgt_parse_register(first);
    if (status == 0) return first->register_kind == REG_W ? shift_register_operands(ins, shift_word, first) : 29;
    if (status != 29) return status;
    if (token_is(TOK_LBRACKET)) {
        status = alu_parse_source(ins);
        if (status != 0) return status;
        tgt_apply_size_suffix(ins.words[0]);
        status = match_expect_comma();
        if (status == 0) status = alu_parse_destination(ins);
        return status;
    }
    return alu_file_register(ins, file_word, RES_DATA_MEMORY);
}

// ---- Class 7 ----------------------------------------------------------------------

// CPBEQ, CPBGT, CPBLT and CPBNE branch; the CPSxx rows of this class skip.
bool is_compare_branch(const MnemonicEntry* row) { return std::strncmp(row->mnemonic_name, "CPB", 3) == 0; }

int compare_operands(TgtInstruction& ins) {
    uint32_t& word = ins.words[0];
    bool branch = is_compare_branch(ins.row);
    if (!branch && (device_family_flags & FAMILY_NEW_COMPARE) != 0) word |= WORD_SKIP_NEW_FAMILY;
    if (branch) {
        // A conditional branch ends the scheduling block (no delay slot, no
        // taken probability of its own). Recorded as an ordinary instruction
        // it would leave the block open, and the list scheduler would be free
        // to move an instruction that follows it, which runs only when the
        // branch falls through, up before it.
        ins.sched_report = SCHED_REPORT_BRANCH;
        ins.branch_slots = 0;
        ins.branch_probability = 0;
    }
    const RegisterEntry* wb = nullptr;
    int status = tgt_parse_w_register(wb);
    if (status != 0) return status;
    // Bit 14 is Wb's top bit here, so the byte bit is bit 10, as for CP.
    if (tgt_take_byte_suffix()) word |= WORD_COMPARE_BYTE;
    word |= field_wb_shift(wb->register_number);
    ins.arch.uses |= wb->register_mask;
    // Compared one call level down, W15 would hold 4 more than at the site.
    tgt_note_stack_pointer(ins, wb);
    status = match_expect_comma();
    const RegisterEntry* wn = nullptr;
    if (status == 0) status = tgt_parse_w_register(wn);
    if (status != 0) return status;
    word |= field_ws(wn->register_number);
    ins.arch.uses |= wn->register_mask;
    tgt_note_stack_pointer(ins, wn);
    if (!branch) return 0;
    status = match_expect_comma();
    if (status == 0)
        status = tgt_parse_branch_target(word, BRANCH_ADJUSTMENT, ins.ends_block, ins.relocation, 1,
                                         ins.row->mnemonic_name);
    return status;
}

}  // namespace

bool tgt_take_byte_suffix() {
    uint32_t probe = 0;
    tgt_apply_size_suffix(probe);
    return (probe & WORD_BYTE) != 0;
}

void tgt_note_stack_pointer(TgtInstruction& ins, const RegisterEntry* reg) {
    if (reg->register_kind == REG_W && reg->register_mask == W15_MASK) ins.ends_block = 1;
}

int tgt_parse_file_result(TgtInstruction& ins) {
    if (token_is(TOK_COMMA)) {
        lex_next_token();
        return tgt_parse_wreg(ins.arch.defs, ins.hazard.defs);
    }
    ins.words[0] |= WORD_RESULT_TO_FILE;
    ins.arch.defs |= RES_DATA_MEMORY;
    return 0;
}

int tgt_encode_compare_skip_branch(const MnemonicEntry* row) { return tgt_encode_pattern(row, compare_operands); }

int tgt_encode_alu(const MnemonicEntry* row) { return tgt_encode_pattern(row, alu_operands); }

int tgt_encode_shift(const MnemonicEntry* row) { return tgt_encode_pattern(row, shift_operands); }
