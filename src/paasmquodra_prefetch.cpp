// DSP operand lists: the X and Y prefetches, the accumulator write-back,
// and the operands of ED and EDAC.
//
// An accumulator instruction may read one operand through W8 or W9 (X)
// and one through W10 or W11 (Y) while it computes, each into one of W4 to
// W7, and may store the other accumulator through W13. The parsers here
// read those lists in their one accepted order, gather the fields in a
// small record and OR them into the word once at the end, so that a list
// that fails half way still leaves the fields it had gathered. Besides the
// pointers, each prefetch is a read of data memory, a pointer moved by
// "+=" or "-=" is written, and the "[W13]+=2" write-back writes data memory
// and W13: the scheduler orders memory operations by these resources.
#include "paasmdiag.h"
#include "paasmexpr.h"
#include "paasmlex.h"
#include "paasmmatch.h"
#include "paasmquodra.h"

namespace {

// ---- Fields of the word -------------------------------------------------------

constexpr uint32_t field_x_destination(uint32_t n) { return n << 12; }
constexpr uint32_t field_y_destination(uint32_t n) { return n << 10; }
constexpr uint32_t field_x_prefetch(uint32_t code) { return code << 6; }
constexpr uint32_t field_y_prefetch(uint32_t code) { return code << 2; }

constexpr uint32_t PREFETCH_NONE = 4;      // the operation code of an absent prefetch
constexpr uint32_t PREFETCH_INDEXED = 12;  // [W9+W12], [W11+W12]

constexpr uint32_t WRITE_BACK_REGISTER = 0;  // W13
constexpr uint32_t WRITE_BACK_MEMORY = 1;    // [W13]+=2
constexpr uint32_t WRITE_BACK_NONE = 2;

// The registers with a fixed place in these lists.
constexpr uint16_t REG_X_FIRST = 8;   // W8, W9
constexpr uint16_t REG_Y_FIRST = 10;  // W10, W11
constexpr uint16_t REG_INDEX = 12;
constexpr uint16_t REG_WRITE_BACK = 13;
constexpr uint16_t REG_DESTINATION_FIRST = 4;  // W4 to W7
constexpr uint16_t REG_DESTINATION_LAST = 7;

struct PrefetchFields {
    uint32_t x_destination = 0;
    uint32_t y_destination = 0;
    uint32_t x_code = PREFETCH_NONE;
    uint32_t y_code = PREFETCH_NONE;
    uint32_t write_back = 0;
};

// One operand list being read: the pairs it adds to and the mask of the
// accumulator it may write back (0 when the instruction allows none).
struct PrefetchList {
    ResourcePair& arch;
    ResourcePair& hazard;
    uint32_t write_back = 0;
    PrefetchFields fields;
};

// What a prefetch pointer that is followed by neither ']' nor '+' means.
enum OtherFollower { FOLLOWER_IS_INDEX, FOLLOWER_ENDS_PREFETCH, FOLLOWER_IS_INVALID };

bool token_is(int32_t code) { return current_token.code == code; }

bool is_x_pointer(const RegisterEntry* r) {
    return r->register_number == REG_X_FIRST || r->register_number == REG_X_FIRST + 1;
}
bool is_y_pointer(const RegisterEntry* r) {
    return r->register_number == REG_Y_FIRST || r->register_number == REG_Y_FIRST + 1;
}

// W8 and W10 have the codes 0 to 7, W9 and W11 the codes 8 to 15.
uint32_t pointer_base(const RegisterEntry* r) { return (r->register_number & 1u) != 0 ? 8u : 0u; }

// The code offset of a net pointer change, or 0 for a change that has none.
uint32_t modification_offset(int64_t change) {
    switch (change) {
        case 2:
            return 1;
        case 4:
            return 2;
        case 6:
            return 3;
        case -6:
            return 5;
        case -4:
            return 6;
        case -2:
            return 7;
        default:
            return 0;
    }
}

// The amount of a pointer change or of the write-back: an absolute integer
// (status 30 otherwise). An amount not known yet (a name defined further
// on, in pass 1) is reported as error 30 and clears `known`, and the list
// goes on without a further error: were it cut short here, pass 1 would
// record fewer operand tokens than pass 2, which knows the value, goes on
// to read.
int parse_amount(int32_t& amount, bool& known) {
    amount = 0;
    known = false;
    ExprValue value;
    int status = expr_evaluate(value);
    if (status != 0) return status;
    if (value.value_class == CLASS_UNKNOWN) {
        diag_error(30);
        return 0;
    }
    if (value.value_class != CLASS_ABSOLUTE ||
        (value.value_type != TYPE_INTEGER && value.value_type != TYPE_COMPLEMENTED))
        return 30;
    amount = static_cast<int32_t>(value.value.integer);
    known = true;
    return 0;
}

// A W register right after '[': the instruction reads it as an address.
int parse_pointer(PrefetchList& list, const RegisterEntry*& pointer) {
    int status = tgt_parse_w_register(pointer);
    if (status != 0) return status;
    list.arch.uses |= pointer->register_mask;
    list.hazard.uses |= pointer->register_mask;
    return 0;
}

// The ']' after a pointer, then an optional "+=" or "-=" with 2, 4 or 6.
int parse_modification(PrefetchList& list, const RegisterEntry* pointer, uint32_t& code) {
    lex_next_token();
    if (!token_is(TOK_PLUS) && !token_is(TOK_MINUS)) return 0;
    bool negative = token_is(TOK_MINUS);
    lex_next_token();
    int status = match_expect_assign();
    if (status != 0) return status;
    int32_t amount = 0;
    bool known = false;
    status = parse_amount(amount, known);
    if (status != 0 || !known) return status;
    uint32_t offset = modification_offset(negative ? -int64_t{amount} : int64_t{amount});
    if (offset == 0) return 14;
    code += offset;
    list.arch.defs |= pointer->register_mask;
    return 0;
}

// "+W12]" after W9 or W11.
int parse_index(PrefetchList& list, const RegisterEntry* pointer, uint32_t& code) {
    int status = match_expect_plus();
    if (status != 0) return status;
    const RegisterEntry* index = nullptr;
    status = tgt_parse_w_register(index);
    if (status != 0) return status;
    list.arch.uses |= index->register_mask;
    list.hazard.uses |= index->register_mask;
    if (index->register_number != REG_INDEX || pointer_base(pointer) == 0) return 14;
    code = PREFETCH_INDEXED;
    return match_expect_right_bracket();
}

// The operation of one prefetch whose pointer has just been read.
int parse_operation(PrefetchList& list, const RegisterEntry* pointer, uint32_t& code, OtherFollower other) {
    code = pointer_base(pointer);
    list.arch.uses |= RES_DATA_MEMORY;
    if (token_is(TOK_RBRACKET)) return parse_modification(list, pointer, code);
    if (token_is(TOK_PLUS) || other == FOLLOWER_IS_INDEX) return parse_index(list, pointer, code);
    return other == FOLLOWER_IS_INVALID ? 14 : 0;
}

// ", Wn" with Wn one of W4 to W7, the register a prefetch loads.
int parse_destination(PrefetchList& list, uint32_t& destination) {
    int status = match_expect_comma();
    if (status != 0) return status;
    const RegisterEntry* r = nullptr;
    status = tgt_parse_w_register(r);
    if (status != 0) return status;
    if (r->register_number < REG_DESTINATION_FIRST || r->register_number > REG_DESTINATION_LAST) return 14;
    destination = r->register_number - REG_DESTINATION_FIRST;
    list.arch.defs |= r->register_mask;
    list.hazard.defs |= r->register_mask;
    return 0;
}

// The other accumulator stored into W13.
int parse_register_write_back(PrefetchList& list) {
    const RegisterEntry* r = nullptr;
    int status = tgt_parse_w_register(r);
    if (status != 0) return status;
    list.arch.defs |= r->register_mask;
    list.hazard.defs |= r->register_mask;
    list.arch.uses |= list.write_back;
    if (list.write_back == 0 || r->register_number != REG_WRITE_BACK) return 14;
    list.fields.write_back = WRITE_BACK_REGISTER;
    return 0;
}

// The other accumulator stored through W13, which then moves on by 2; the
// '[' and W13 have been read.
int parse_memory_write_back(PrefetchList& list, const RegisterEntry* w13) {
    list.arch.uses |= w13->register_mask | list.write_back;
    list.arch.defs |= w13->register_mask | RES_DATA_MEMORY;
    list.hazard.defs |= w13->register_mask;
    list.hazard.uses |= w13->register_mask;
    if (list.write_back == 0) return 14;
    list.fields.write_back = WRITE_BACK_MEMORY;
    int status = match_expect_right_bracket();
    if (status == 0) status = match_expect_plus();
    if (status == 0) status = match_expect_assign();
    if (status != 0) return status;
    int32_t amount = 0;
    bool known = false;
    status = parse_amount(amount, known);
    if (status != 0 || !known) return status;
    return amount == 2 ? 0 : 14;
}

// How far a list has come: what may still follow the next ','.
enum ListStage { AFTER_ACCUMULATOR, AFTER_X_PREFETCH, AFTER_Y_PREFETCH };

int parse_list_rest(PrefetchList& list, ListStage stage);

// The X or Y prefetch whose pointer has been read, its destination, and
// what may follow them.
int parse_prefetch_on(PrefetchList& list, const RegisterEntry* pointer) {
    bool x = is_x_pointer(pointer);
    int status = x ? parse_operation(list, pointer, list.fields.x_code, FOLLOWER_IS_INDEX)
                   : parse_operation(list, pointer, list.fields.y_code, FOLLOWER_ENDS_PREFETCH);
    if (status == 0) status = parse_destination(list, x ? list.fields.x_destination : list.fields.y_destination);
    if (status != 0) return status;
    return parse_list_rest(list, x ? AFTER_X_PREFETCH : AFTER_Y_PREFETCH);
}

// The list after the accumulator or a prefetch: [, X prefetch] [, Y
// prefetch] [, write-back], the parts before `stage` already read.
int parse_list_rest(PrefetchList& list, ListStage stage) {
    if (!token_is(TOK_COMMA)) return 0;
    lex_next_token();
    if (!token_is(TOK_LBRACKET)) return parse_register_write_back(list);
    lex_next_token();
    const RegisterEntry* pointer = nullptr;
    int status = parse_pointer(list, pointer);
    if (status != 0) return status;
    if ((stage == AFTER_ACCUMULATOR && is_x_pointer(pointer)) || (stage != AFTER_Y_PREFETCH && is_y_pointer(pointer)))
        return parse_prefetch_on(list, pointer);
    if (pointer->register_number == REG_WRITE_BACK) return parse_memory_write_back(list, pointer);
    return 14;
}

// ED and EDAC: A|B, [X prefetch], [Y prefetch], Wxd.
int parse_ed_list(PrefetchList& list, uint32_t& word) {
    int status = tgt_parse_accumulator(nullptr, word, &list.arch, &list.hazard.defs);
    if (status == 0) status = match_expect_comma();
    if (status == 0) status = match_expect_left_bracket();
    if (status != 0) return status;
    const RegisterEntry* pointer = nullptr;
    status = parse_pointer(list, pointer);
    if (status != 0) return status;
    if (!is_x_pointer(pointer)) return 14;
    status = parse_operation(list, pointer, list.fields.x_code, FOLLOWER_IS_INDEX);
    if (status == 0) status = match_expect_comma();
    if (status == 0) status = match_expect_left_bracket();
    if (status == 0) status = parse_pointer(list, pointer);
    if (status != 0) return status;
    if (!is_y_pointer(pointer)) return 14;
    status = parse_operation(list, pointer, list.fields.y_code, FOLLOWER_IS_INVALID);
    if (status != 0) return status;
    return parse_destination(list, list.fields.x_destination);
}

uint32_t other_accumulator(const RegisterEntry* accumulator) {
    return accumulator->register_number == 0 ? RES_ACCUMULATOR_B : RES_ACCUMULATOR_A;
}

}  // namespace

int tgt_parse_prefetch_operands(uint32_t& word, ResourcePair& arch, ResourcePair& hazard, int read_accumulator,
                                uint32_t write_back) {
    PrefetchList list{arch, hazard, 0, {}};
    list.fields.write_back = write_back != 0 ? WRITE_BACK_NONE : 0;
    int status = 0;
    if (read_accumulator != 0) {
        const RegisterEntry* accumulator = nullptr;
        status = tgt_parse_accumulator(&accumulator, word, &arch, &hazard.defs);
        if (status == 0 && write_back != 0) list.write_back = other_accumulator(accumulator);
    } else {
        list.write_back = write_back;
    }
    if (status == 0) status = parse_list_rest(list, AFTER_ACCUMULATOR);
    const PrefetchFields& f = list.fields;
    word |= field_x_destination(f.x_destination) | field_y_destination(f.y_destination) | field_x_prefetch(f.x_code) |
            field_y_prefetch(f.y_code) | f.write_back;
    return status;
}

int tgt_parse_ed_operands(uint32_t& word, ResourcePair& arch, ResourcePair& hazard) {
    PrefetchList list{arch, hazard, 0, {}};
    int status = parse_ed_list(list, word);
    const PrefetchFields& f = list.fields;
    word |= field_x_destination(f.x_destination) | field_x_prefetch(f.x_code) | field_y_prefetch(f.y_code);
    return status;
}
