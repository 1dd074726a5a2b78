// The move instruction: every form of MOV and MOVPAG.
//
// The first operand token chooses the family of forms: '#' a literal
// source, '[' an indirect source, a register, or else a data address; the
// tokens after it choose the form within the family. The words are built
// from the forms' own constants, not from the row. Besides the word, what
// the rest of the program depends on is each form's resources (the
// scheduler's dependences) and which W15 moves may stay in an abstraction
// run: only a move between a W register and a W15-relative literal-offset
// address whose offset leaves room for one more call level.
#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmlex.h"
#include "paasmmatch.h"
#include "paasmquodra.h"
#include "paasmquodra_operand.h"
#include "paasmsym.h"

namespace {

// The words of the forms, before their operand fields.
constexpr uint32_t WORD_LITERAL = 0x200000;          // MOV #lit16,Wnd
constexpr uint32_t WORD_BYTE_LITERAL = 0xB3C000;     // MOV.B #lit8,Wnd
constexpr uint32_t WORD_PAGE_LITERAL = 0xFEC000;     // MOVPAG #lit10,P (also the row's base word)
constexpr uint32_t WORD_MOVE = 0x780000;             // Ws or an indirect source to any destination
constexpr uint32_t WORD_DOUBLE_LOAD = 0xBE0000;      // MOV.D to a register pair
constexpr uint32_t WORD_DOUBLE_STORE = 0xBE8000;     // MOV.D from a register pair to memory
constexpr uint32_t WORD_OFFSET_LOAD = 0x900000;      // MOV [Ws+lit],Wd
constexpr uint32_t WORD_OFFSET_STORE = 0x980000;     // MOV Ws,[Wd+lit]
constexpr uint32_t WORD_ADDRESS_LOAD = 0x800000;     // MOV f,Wnd
constexpr uint32_t WORD_ADDRESS_STORE = 0x880000;    // MOV Ws,f
constexpr uint32_t WORD_WREG_TO_FILE = 0xB7A000;     // MOV WREG,f
constexpr uint32_t WORD_FILE_TO_WREG = 0xBF8000;     // MOV f,WREG
constexpr uint32_t WORD_FILE = 0xBFA000;             // MOV f

// Field positions of the move words.
constexpr int SOURCE_POSITION = 0;        // Ws and its mode, bits 0 to 6
constexpr int DESTINATION_POSITION = 7;   // Wd and its mode, bits 7 to 13
constexpr int INDEX_POSITION = 15;        // Wb of a [W+Wb] operand, bits 15 to 18
constexpr int LITERAL_POSITION = 4;       // #lit16, #lit8 and the data address
constexpr int PAGE_POSITION = 10;         // P of MOVPAG

constexpr uint32_t field_index(uint32_t reg) { return reg << INDEX_POSITION; }
constexpr uint32_t field_source(uint32_t mode, uint32_t reg) { return tgt_field_address(mode, reg, SOURCE_POSITION); }
constexpr uint32_t field_destination(uint32_t mode, uint32_t reg) {
    return tgt_field_address(mode, reg, DESTINATION_POSITION);
}

// A literal offset o (ten bits) scattered over the mode and index fields.
constexpr uint32_t field_offset(int32_t o) {
    uint32_t u = static_cast<uint32_t>(o);
    return (u & 0x7u) << 4 | (u & 0x38u) << 8 | (u & 0x3C0u) << 9;
}

// The literal-offset operand [Wn+lit] or [Wn-lit]; not an addressing mode
// of the hardware's mode field, only of this encoder.
constexpr uint32_t MODE_OFFSET = 7;

// Byte offsets a literal-offset move accepts (a word move encodes half).
// The destination form takes the source form's range too: the field holds a
// signed 10-bit offset, so a wider destination offset (600 bytes, say)
// would be stored as its low ten bits, a different address, without a word
// of warning; it is refused with error 21 instead.
constexpr int32_t BYTE_OFFSET_LOW = -512;
constexpr int32_t BYTE_OFFSET_HIGH = 511;
constexpr int32_t WORD_OFFSET_LOW = -1024;
constexpr int32_t WORD_OFFSET_HIGH = 1022;

// The lowest stack offsets that the abstraction may still lower by one call
// level (4 bytes) inside the field: below them a W15 move ends the block.
constexpr int32_t BYTE_STACK_FLOOR = -508;
constexpr int32_t WORD_STACK_FLOOR = -1020;

constexpr uint32_t STACK_POINTER = 15;

// One bracketed operand as written.
struct MovAddress {
    uint32_t mode = 0;                      // 1 to 5, MODE_INDEXED or MODE_OFFSET
    const RegisterEntry* base = nullptr;    // Wn
    const RegisterEntry* index = nullptr;   // Wb of [Wn+Wb]
    int32_t offset = 0;                     // byte offset of [Wn+lit]
    bool offset_known = true;               // false while a name in it is undefined
    uint32_t byte_bit = 0;                  // of [Wn+lit]: the size suffix, taken before the offset
};

uint32_t number_of(const RegisterEntry* reg) { return reg != nullptr ? reg->register_number : 0; }
uint32_t mask_of(const RegisterEntry* reg) { return reg != nullptr ? reg->register_mask : 0; }
bool is_stack_pointer(const RegisterEntry* reg) { return reg != nullptr && reg->register_number == STACK_POINTER; }

// Wn and Wn+1; W15 has no upper register.
uint32_t pair_mask(const RegisterEntry* reg) {
    uint32_t mask = mask_of(reg);
    return (mask | mask << 1) & 0xFFFFu;
}

// A pair that includes the stack pointer: W14 (W14, W15) or W15.
bool pair_reaches_stack_pointer(const RegisterEntry* reg) { return reg != nullptr && reg->register_number >= 14; }

bool is_modifying_mode(uint32_t mode) { return mode >= MODE_POST_DECREMENT && mode <= MODE_PRE_INCREMENT; }

bool byte_suffix_pending() { return (pending_suffix & SUFFIX_SIZE_BITS) == SUFFIX_B; }

// ".b" pending: consumed, the byte bit; ".w" or none: consumed, 0; ".d"
// stays pending (the statement then warns that it had no effect).
uint32_t take_byte_bit() {
    uint32_t word = 0;
    tgt_apply_size_suffix(word);
    return word;
}

bool double_suffix_pending() { return (pending_suffix & SUFFIX_SIZE_BITS) == SUFFIX_D; }

// ".d" pending: consumed by a form that has a double variant.
bool take_double() {
    if (!double_suffix_pending()) return false;
    pending_suffix &= ~static_cast<uint32_t>(SUFFIX_SIZE_BITS);
    return true;
}

// Whether the current token names a W register, itself or through a name
// equated to one.
bool token_is_w_register() {
    const RegisterEntry* reg = tgt_register_ahead();
    return reg != nullptr && reg->register_kind == REG_W;
}

// The offset of [Wn+lit]: an absolute integer in the move's range.
int parse_offset(MovAddress& address, bool byte_move) {
    ExprValue value;
    int status = expr_evaluate(value);
    if (status != 0) return status;
    if (value.value_class == CLASS_UNKNOWN) {
        // A name defined further down (pass 1): the operand goes on, so
        // that this pass reads the same tokens as the next. The offset is
        // not known, so it is no stack offset the abstraction may move.
        diag_error(14);
        address.offset_known = false;
        return 0;
    }
    // A relocatable offset has no field to be fitted into.
    if (value.value_class != CLASS_ABSOLUTE || value.value_type != TYPE_INTEGER) return 14;
    int32_t v = value.value.integer;
    bool in_range = byte_move ? v >= BYTE_OFFSET_LOW && v <= BYTE_OFFSET_HIGH
                              : v >= WORD_OFFSET_LOW && v <= WORD_OFFSET_HIGH;
    if (!in_range) return 21;
    address.offset = v;
    return 0;
}

// A bracketed operand, from the token after '[' to the ']' (consumed).
int parse_address(MovAddress& address, bool byte_move) {
    if (current_token.code == TOK_INCREMENT || current_token.code == TOK_DECREMENT) {
        address.mode = current_token.code == TOK_INCREMENT ? MODE_PRE_INCREMENT : MODE_PRE_DECREMENT;
        lex_next_token();
        int status = tgt_parse_w_register(address.base);
        if (status != 0) return status;
        return match_expect_right_bracket();
    }
    int status = tgt_parse_w_register(address.base);
    if (status != 0) return status;
    switch (current_token.code) {
        case TOK_RBRACKET:
            address.mode = MODE_INDIRECT;
            break;
        case TOK_INCREMENT:
        case TOK_DECREMENT:
            address.mode = current_token.code == TOK_INCREMENT ? MODE_POST_INCREMENT : MODE_POST_DECREMENT;
            lex_next_token();
            break;
        case TOK_PLUS:
            lex_next_token();
            if (token_is_w_register()) {
                address.mode = MODE_INDEXED;
                status = tgt_parse_w_register(address.index);
                if (status != 0) return status;
                break;
            }
            address.mode = MODE_OFFSET;
            address.byte_bit = take_byte_bit();
            status = parse_offset(address, byte_move);
            if (status != 0) return status;
            break;
        case TOK_MINUS:  // the '-' belongs to the offset: [Wn-6] is offset -6
            address.mode = MODE_OFFSET;
            address.byte_bit = take_byte_bit();
            status = parse_offset(address, byte_move);
            if (status != 0) return status;
            break;
        default:
            return 40;
    }
    return match_expect_right_bracket();
}

// Whether a W15-relative literal-offset move may stay in the abstraction
// run: its offset leaves room for one call level and it stands in no skip
// or REPEAT shadow.
bool stack_offset_relocatable(const MovAddress& address, bool byte_move) {
    int32_t floor = byte_move ? BYTE_STACK_FLOOR : WORD_STACK_FLOOR;
    return address.offset_known && address.offset >= floor && pending_shadow == 0;
}

int32_t encoded_offset(const MovAddress& address, bool byte_move) {
    return byte_move ? address.offset : address.offset / 2;
}

// A W register destination at `position`: written, and a possible pointer
// of the next instruction.
int parse_register_destination(TgtInstruction& ins, int position) {
    const RegisterEntry* reg = nullptr;
    int status = tgt_parse_w_register(reg);
    if (status != 0) return status;
    ins.words[0] |= number_of(reg) << position;
    ins.arch.defs |= mask_of(reg);
    ins.hazard.defs |= mask_of(reg);
    if (is_stack_pointer(reg)) ins.ends_block = 1;
    return 0;
}

// ---- '#': literal sources ------------------------------------------------------

int encode_literal_source(TgtInstruction& ins) {
    lex_next_token();
    uint32_t& word = ins.words[0];
    // ".b" is tested first, so MOVPAG.B is the byte move of a literal.
    bool byte_move = byte_suffix_pending();
    take_byte_bit();
    bool page = !byte_move && ins.row->base_word == WORD_PAGE_LITERAL;
    int status;
    if (byte_move) {
        word = WORD_BYTE_LITERAL;
        status = tgt_parse_byte_literal(word, &ins.relocation, LITERAL_POSITION);
    } else if (page) {
        word = WORD_PAGE_LITERAL;
        status = tgt_parse_literal(word, &ins.relocation, 10, 0);
    } else {
        word = WORD_LITERAL;
        status = tgt_parse_literal(word, &ins.relocation, 16, LITERAL_POSITION);
    }
    if (status == 0) status = match_expect_comma();
    if (status != 0) return status;
    if (!page) return parse_register_destination(ins, 0);
    const RegisterEntry* page_register = nullptr;
    status = tgt_parse_page_register(page_register);
    if (status != 0) return status;
    word |= number_of(page_register) << PAGE_POSITION;
    ins.arch.defs |= mask_of(page_register);
    ins.hazard.defs |= mask_of(page_register);
    return 0;
}

// ---- '[': indirect sources -----------------------------------------------------

// [Ws], [Ws++], [Ws--], [++Ws], [--Ws] to any destination, or to a register
// pair with ".d".
int encode_indirect_load(TgtInstruction& ins, const MovAddress& source) {
    uint32_t& word = ins.words[0];
    if (take_double()) {
        word = WORD_DOUBLE_LOAD | field_source(source.mode, number_of(source.base));
        const RegisterEntry* pair = nullptr;
        int status = tgt_parse_w_register(pair);
        if (status != 0) return status;
        word |= number_of(pair) << DESTINATION_POSITION;
        ins.arch.defs |= pair_mask(pair);
        ins.hazard.defs |= pair_mask(pair);
        if (pair_reaches_stack_pointer(pair)) ins.ends_block = 1;
        return 0;
    }
    word = WORD_MOVE | take_byte_bit() | field_source(source.mode, number_of(source.base));
    return tgt_parse_indexed_address(word, ins.arch, ins.hazard, DESTINATION_POSITION, INDEX_POSITION,
                                     ins.ends_block, ROLE_DESTINATION);
}

// [Ws+Wb] to any destination. Source and destination share one index
// field: a [Wd+Wx] destination must have an index or base in common with
// the source, and the operands are turned around so that the shared
// register is the index.
int encode_indexed_load(TgtInstruction& ins, const MovAddress& source) {
    uint32_t& word = ins.words[0];
    uint32_t byte_bit = take_byte_bit();
    word = WORD_MOVE | byte_bit | field_source(MODE_INDEXED, 0);
    int status = tgt_parse_indexed_address(word, ins.arch, ins.hazard, DESTINATION_POSITION, INDEX_POSITION,
                                           ins.ends_block, ROLE_DESTINATION);
    if (status != 0) return status;
    uint32_t ws = number_of(source.base);
    uint32_t wb = number_of(source.index);
    if (((word >> (DESTINATION_POSITION + 4)) & 0x7u) != MODE_INDEXED) {
        word |= ws | field_index(wb);
        return 0;
    }
    uint32_t wd = (word >> DESTINATION_POSITION) & 0xFu;
    uint32_t wx = (word >> INDEX_POSITION) & 0xFu;
    uint32_t both_indexed = WORD_MOVE | byte_bit | field_destination(MODE_INDEXED, 0) | field_source(MODE_INDEXED, 0);
    if (wb == wx)
        word |= ws;
    else if (wb == wd)  // destination [Wx+Wd]
        word = both_indexed | wx << DESTINATION_POSITION | field_index(wb) | ws;
    else if (ws == wd)  // source [Wb+Ws], destination [Wx+Wd]
        word = both_indexed | wx << DESTINATION_POSITION | wb | field_index(ws);
    else if (ws == wx)  // source [Wb+Ws]
        word = both_indexed | wd << DESTINATION_POSITION | wb | field_index(ws);
    else
        return 14;
    return 0;
}

// [Ws+lit],Wd: the one source form on W15 that may stay in an abstraction
// run. The suffix was taken with the offset (".d" stays pending: the word
// move, with the statement's warning).
int encode_offset_load(TgtInstruction& ins, const MovAddress& source, bool byte_move) {
    uint32_t& word = ins.words[0];
    word |= field_offset(encoded_offset(source, byte_move));
    if (is_stack_pointer(source.base) && stack_offset_relocatable(source, byte_move)) ins.ends_block = 0;
    int status = match_expect_comma();
    if (status != 0) return status;
    return parse_register_destination(ins, DESTINATION_POSITION);
}

int encode_indirect_source(TgtInstruction& ins) {
    lex_next_token();
    bool byte_move = byte_suffix_pending();
    MovAddress source;
    int status = parse_address(source, byte_move);
    if (source.base != nullptr) {
        ins.arch.uses |= mask_of(source.base) | RES_DATA_MEMORY;
        ins.hazard.uses |= mask_of(source.base);
        if (is_modifying_mode(source.mode)) ins.arch.defs |= mask_of(source.base);
        if (is_stack_pointer(source.base)) ins.ends_block = 1;
    }
    if (source.index != nullptr) {
        ins.arch.uses |= mask_of(source.index);
        ins.hazard.uses |= mask_of(source.index);
        if (is_stack_pointer(source.index)) ins.ends_block = 1;
    }
    // The literal-offset form is chosen before its offset is read, so a
    // failing offset still leaves the form's word and its suffix taken.
    if (source.mode == MODE_OFFSET) ins.words[0] = WORD_OFFSET_LOAD | source.byte_bit | number_of(source.base);
    if (status != 0) return status;
    if (source.mode == MODE_OFFSET) return encode_offset_load(ins, source, byte_move);
    status = match_expect_comma();
    if (status != 0) return status;
    if (source.mode == MODE_INDEXED) return encode_indexed_load(ins, source);
    return encode_indirect_load(ins, source);
}

// ---- A W register source ---------------------------------------------------------

// Ws,Wd, or MOV.D Ws,Wd between register pairs.
int encode_register_move(TgtInstruction& ins, const RegisterEntry* ws, const RegisterEntry* wd) {
    uint32_t& word = ins.words[0];
    if (take_double()) {
        word = WORD_DOUBLE_LOAD | number_of(ws) | number_of(wd) << DESTINATION_POSITION;
        ins.arch.defs |= pair_mask(wd);
        ins.hazard.defs |= pair_mask(wd);
        if (pair_reaches_stack_pointer(ws) || pair_reaches_stack_pointer(wd)) ins.ends_block = 1;
        return 0;
    }
    word = WORD_MOVE | take_byte_bit() | number_of(ws) | number_of(wd) << DESTINATION_POSITION;
    ins.arch.defs |= mask_of(wd);
    ins.hazard.defs |= mask_of(wd);
    if (is_stack_pointer(wd)) ins.ends_block = 1;
    return 0;
}

// Ws,[Wd+lit]: the one destination form on W15 that may stay in an
// abstraction run.
int encode_offset_store(TgtInstruction& ins, const MovAddress& destination, bool byte_move) {
    // The suffix was taken with the offset (".d" stays pending: the word
    // move, with the statement's warning).
    ins.words[0] |= field_offset(encoded_offset(destination, byte_move));
    ins.arch.uses |= mask_of(destination.base);
    ins.arch.defs |= RES_DATA_MEMORY;
    if (is_stack_pointer(destination.base) && !stack_offset_relocatable(destination, byte_move)) ins.ends_block = 1;
    return 0;
}

// Ws,[...]: every bracketed destination.
int encode_indirect_store(TgtInstruction& ins, const RegisterEntry* ws) {
    lex_next_token();
    bool byte_move = byte_suffix_pending();
    MovAddress destination;
    int status = parse_address(destination, byte_move);
    if (destination.mode == MODE_OFFSET)
        ins.words[0] = WORD_OFFSET_STORE | destination.byte_bit | number_of(ws) |
                       number_of(destination.base) << DESTINATION_POSITION;
    if (status != 0) {
        // A literal offset that does not evaluate or fit ends the block.
        if (destination.mode == MODE_OFFSET) ins.ends_block = 1;
        return status;
    }
    if (destination.mode == MODE_OFFSET) return encode_offset_store(ins, destination, byte_move);
    uint32_t& word = ins.words[0];
    const RegisterEntry* wd = destination.base;
    ins.arch.uses |= mask_of(wd);
    ins.arch.defs |= RES_DATA_MEMORY;
    if (is_stack_pointer(wd)) ins.ends_block = 1;
    if (destination.mode == MODE_INDEXED) {
        // ".d" stays pending.
        word = WORD_MOVE | take_byte_bit() | number_of(ws) | field_destination(MODE_INDEXED, number_of(wd)) |
               field_index(number_of(destination.index));
        ins.arch.uses |= mask_of(destination.index);
        if (is_stack_pointer(destination.index)) ins.ends_block = 1;
        return 0;
    }
    if (take_double()) {
        word = WORD_DOUBLE_STORE;
        if (pair_reaches_stack_pointer(ws)) ins.ends_block = 1;
    } else {
        word = WORD_MOVE | take_byte_bit();
    }
    word |= number_of(ws) | field_destination(destination.mode, number_of(wd));
    if (is_modifying_mode(destination.mode)) {
        ins.arch.defs |= mask_of(wd);
        ins.hazard.defs |= mask_of(wd);
    }
    return 0;
}

int encode_w_source(TgtInstruction& ins, const RegisterEntry* ws) {
    // With ".d" pending the source is the register pair, whether or not the
    // form turns out to have a double variant.
    ins.arch.uses |= double_suffix_pending() ? pair_mask(ws) : mask_of(ws);
    if (is_stack_pointer(ws)) ins.ends_block = 1;
    int status = match_expect_comma();
    if (status != 0) return status;
    if (current_token.code == TOK_LBRACKET) return encode_indirect_store(ins, ws);
    if (tgt_register_ahead() != nullptr) {
        const RegisterEntry* wd = nullptr;
        status = tgt_parse_register(wd);
        if (status != 0) return status;
        return wd->register_kind == REG_W ? encode_register_move(ins, ws, wd) : 14;
    }
    // Ws,f: a 16-bit data address; the size suffix is not looked at.
    ins.words[0] = WORD_ADDRESS_STORE | number_of(ws);
    status = tgt_parse_data_address(ins.words[0], &ins.relocation, LITERAL_POSITION);
    if (status != 0) return status;
    ins.arch.defs |= RES_DATA_MEMORY;
    return 0;
}

// WREG,f. Only WREG among the other registers has a move to memory: the
// form does not encode the register, so an accumulator or a page register
// there would silently store W0; it is refused with error 14.
int encode_register_source(TgtInstruction& ins, const RegisterEntry* reg) {
    if (reg->register_kind == REG_W) return encode_w_source(ins, reg);
    if (reg->register_kind != REG_WREG) return 14;
    ins.arch.uses |= mask_of(reg);
    int status = match_expect_comma();
    if (status != 0) return status;
    ins.words[0] = WORD_WREG_TO_FILE;
    status = tgt_parse_file_register(ins.words[0], &ins.relocation, 0);
    if (status != 0) return status;
    ins.arch.defs |= RES_DATA_MEMORY;
    ins.words[0] |= take_byte_bit();
    return 0;
}

// ---- Data-address sources ----------------------------------------------------------

// f,Wnd, f,WREG, or f alone.
int encode_address_source(TgtInstruction& ins) {
    ExprValue value;
    int status = expr_evaluate(value);
    if (status != 0) return status;
    uint32_t& word = ins.words[0];
    if (current_token.code != TOK_COMMA) {
        word = WORD_FILE | take_byte_bit();
        ins.arch.defs |= RES_STATUS;
        ins.arch.uses |= RES_DATA_MEMORY;
        return tgt_insert_file_register_field(value, word, &ins.relocation, 0);
    }
    lex_next_token();
    const RegisterEntry* reg = nullptr;
    status = tgt_parse_register(reg);
    if (status != 0) return status;
    if (reg->register_kind == REG_W) {
        // The size suffix is not looked at.
        word = WORD_ADDRESS_LOAD | number_of(reg);
        ins.arch.defs |= mask_of(reg);
        ins.arch.uses |= RES_DATA_MEMORY;
        ins.hazard.defs |= mask_of(reg);
        if (is_stack_pointer(reg)) ins.ends_block = 1;
        return tgt_insert_data_address_field(value, word, &ins.relocation, LITERAL_POSITION);
    }
    if (reg->register_kind != REG_WREG) return 14;
    word = WORD_FILE_TO_WREG | take_byte_bit();
    ins.arch.defs |= mask_of(reg) | RES_STATUS;
    ins.arch.uses |= RES_DATA_MEMORY;
    ins.hazard.defs |= mask_of(reg);
    return tgt_insert_file_register_field(value, word, &ins.relocation, 0);
}

int encode_operands(TgtInstruction& ins) {
    switch (current_token.code) {
        case TOK_HASH:
            return encode_literal_source(ins);
        case TOK_LBRACKET:
            return encode_indirect_source(ins);
        default:
            break;
    }
    // A name that stands for no register is left for the address forms.
    if (tgt_register_ahead() != nullptr) {
        const RegisterEntry* reg = nullptr;
        int status = tgt_parse_register(reg);
        if (status != 0) return status;
        return encode_register_source(ins, reg);
    }
    return encode_address_source(ins);
}

}  // namespace

int tgt_encode_mov(const MnemonicEntry* row) {
    TgtInstruction ins;
    tgt_begin_instruction(ins, row);
    ins.words[0] = 0;
    // A double move takes a second delay slot.
    if (double_suffix_pending() && ins.slot_count >= 0) ins.slot_count += 1;
    ins.status = encode_operands(ins);
    return tgt_finish_instruction(ins);
}
