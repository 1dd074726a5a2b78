// The expression parser: recursive descent over the current token, one
// function per precedence level, each working on a value record held by
// the caller. The operators themselves are applied in paasmexpr_ops.
#include "paasmexpr.h"

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmis.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmpa.h"
#include "paasmsym.h"

// Nesting depth of the parentheses open in the current evaluation.
int32_t expression_paren_count = 0;
// Memory kinds that symbol operands must lie in; MEMORY_ANY between
// evaluations.
uint8_t address_space_mask = MEMORY_ANY;
uint32_t location_counter_uses = 0;

namespace {

int expr_parse_logical(ExprValue& value, bool have_left = false);

// A value record as every primary starts it.
void expr_clear(ExprValue& value) { value = ExprValue{}; }

// Applies a binary operator to the accumulated left value; the class is
// combined only when the value could be computed.
int expr_apply(int32_t op, ExprValue& left, ExprValue& right) {
    int status = expr_apply_binary(op, left, right);
    if (status != 0) return status;
    expr_combine_reloc_class(op, left, right);
    return 0;
}

// Warns when a symbol operand lies outside the memory kinds that the
// current evaluation asks for; the value is used all the same.
void expr_check_address_space(const Section* section, const char* name) {
    if (address_space_mask == MEMORY_ANY || section == nullptr) return;
    if (section->memory_kind == MEMORY_ANY) return;
    if ((section->memory_kind & address_space_mask) != 0) return;
    diag_warning(4, name);
}

namespace {

// Set while the target of a branch, call or jump is evaluated: a label
// named there moves with the code it stands for.
bool evaluating_transfer_target = false;

}  // namespace

void expr_take_symbol(ExprValue& value, Symbol* symbol) {
    value.value_class = static_cast<int8_t>(symbol->value_class);
    value.value_type = static_cast<int8_t>(symbol->value_type);
    value.value = symbol->value;
    if (symbol->value_class != CLASS_ABSOLUTE) {
        value.symbol = symbol;
        value.section = symbol->section;
    }
    // What program memory holds changes when a label of program memory
    // that it names moves: the scheduler keeps such a label in place.
    const bool in_program = current_section != nullptr && (current_section->memory_kind & MEMORY_PROGRAM) != 0;
    if (in_program && symbol->section != nullptr && (symbol->section->memory_kind & MEMORY_PROGRAM) != 0) {
        sched_note_data_label(symbol);
        // Named for its address, not as where a transfer goes: a nop
        // added before it would change the word that holds the address.
        if (!evaluating_transfer_target) sched_note_address_label(symbol);
    }
    // A label among instructions of a data-memory section moves with them
    // as well, and changes the program word that holds its address.
    if (in_program && symbol->section != nullptr && !evaluating_transfer_target) pa_note_address_label(symbol);
    uint8_t defined = pass_number <= 1 ? SYM_DEFINED_PASS1 : SYM_DEFINED_PASS2;
    value.forward_ref = (symbol->flags & defined) == 0 ? 1 : 0;
    if (pass_number >= 2 && symbol->value_class == CLASS_UNKNOWN) diag_error(7, symbol->name);
    lex_next_token();
    expr_check_address_space(symbol->section, symbol->name);
}

// '$' (or '.'): the address at which the statement began. Inside the
// operand list of a data directive the location counter has already moved
// past the elements emitted so far, so the directive's start address is
// taken from the capture instead.
void expr_take_location(ExprValue& value) {
    value.value_class = CLASS_RELOCATABLE;
    value.value_type = TYPE_INTEGER;
    Section* section = current_section;
    uint32_t location = 0;
    if (section != nullptr) {
        value.section = section;
        value.symbol = section->symbol;
        location = capture_active ? capture_start : section->location;
    }
    value.value.raw = location;
    lex_next_token();
    location_counter_uses |= LOCATION_USED;
    if (current_token.code != TOK_PLUS) location_counter_uses |= LOCATION_REACHES_BACK;
    if (!evaluating_transfer_target) location_counter_uses |= LOCATION_AS_ADDRESS;
    expr_check_address_space(section, "$");
}

int expr_parse_parenthesised(ExprValue& value) {
    lex_next_token();
    if (++expression_paren_count > EXPR_PAREN_LIMIT) return 24;
    int status = expr_parse_logical(value);
    if (status != 0) return status;
    if (current_token.code != TOK_RPAREN) return 38;
    lex_next_token();
    --expression_paren_count;
    return 0;
}

int expr_parse_primary(ExprValue& value) {
    expr_clear(value);
    switch (current_token.code) {
    case TOK_ERROR:
        return -1;  // the scanner's error was reported when the token was taken
    case TOK_REGISTER:
        value.value_class = CLASS_ABSOLUTE;
        value.value_type = TYPE_REGISTER;
        value.value.reg = lex_token_register();
        lex_next_token();
        return 0;
    case TOK_CONDITION:
        value.value_class = CLASS_ABSOLUTE;
        value.value_type = TYPE_CONDITION;
        value.value.condition = lex_token_condition();
        lex_next_token();
        return 0;
    case TOK_NAME:
    case TOK_LOCAL_NAME:
    case TOK_NUMERIC_REF: {
        SymbolKey key;
        key.kind = current_token.code == TOK_NAME         ? SYMKIND_ORDINARY
                   : current_token.code == TOK_LOCAL_NAME ? SYMKIND_SPECIAL
                                                          : SYMKIND_NUMERIC;
        key.name = lex_token_text();
        expr_take_symbol(value, sym_reference(key));
        return 0;
    }
    case TOK_SYMBOL:
        expr_take_symbol(value, lex_token_symbol());
        return 0;
    case TOK_STRING:
        value.value_class = CLASS_ABSOLUTE;
        value.value_type = TYPE_STRING;
        value.value.text = lex_token_text();
        lex_next_token();
        return 0;
    case TOK_INTEGER:
        value.value_class = CLASS_ABSOLUTE;
        value.value_type = TYPE_INTEGER;
        value.value.raw = static_cast<uint32_t>(current_token.value.integer);
        lex_next_token();
        return 0;
    case TOK_FLOAT:
        value.value_class = CLASS_ABSOLUTE;
        value.value_type = TYPE_FLOAT;
        value.value.real = current_token.value.real;
        lex_next_token();
        return 0;
    case TOK_LPAREN:
        return expr_parse_parenthesised(value);
    case TOK_LOCATION:
        expr_take_location(value);
        return 0;
    default:
        return 1;
    }
}

// The operator code of a prefix token, or OP_NONE.
int32_t expr_prefix_operator(int32_t token) {
    switch (token) {
    case TOK_NOT: return OP_NOT;
    case TOK_LESS: return OP_LOW_BYTE;
    case TOK_GREATER: return OP_HIGH_BYTE;
    case TOK_PLUS: return OP_PLUS;
    case TOK_MINUS: return OP_NEGATE;
    case TOK_TILDE: return OP_COMPLEMENT;
    case TOK_HANDLE: return OP_HANDLE;
    case TOK_PSVOFFSET: return OP_PSVOFFSET;
    case TOK_PSVPTR: return OP_PSVPTR;
    case TOK_BOOT: return OP_BOOT;
    case TOK_SECURE: return OP_SECURE;
    case TOK_DMAOFFSET: return OP_DMAOFFSET;
    case TOK_EDSOFFSET: return OP_EDSOFFSET;
    case TOK_EDSPAGE: return OP_EDSPAGE;
    case TOK_PSVPAGE: return OP_PSVPAGE;
    case TOK_TBLOFFSET: return OP_TBLOFFSET;
    case TOK_TBLPAGE: return OP_TBLPAGE;
    case TOK_DMAPAGE: return OP_DMAPAGE;
    case TOK_PACKED_LO: return OP_PACKED_LO;
    case TOK_PACKED_HI: return OP_PACKED_HI;
    case TOK_STARTOF: return OP_STARTOF;
    case TOK_STARTOF_HI: return OP_STARTOF_HI;
    case TOK_SIZEOF: return OP_SIZEOF;
    case TOK_SIZEOF_HI: return OP_SIZEOF_HI;
    case TOK_ENDOF: return OP_ENDOF;
    case TOK_ENDOF_HI: return OP_ENDOF_HI;
    default: return OP_NONE;
    }
}

int expr_parse_unary(ExprValue& value) {
    int32_t op = expr_prefix_operator(current_token.code);
    if (op == OP_NONE) return expr_parse_primary(value);
    lex_next_token();
    int status = expr_parse_unary(value);
    if (status != 0) return status;
    return expr_apply_unary(op, value);
}

// Every level takes `have_left` when its first operand has already been
// parsed into `value` (as a lone unary operand, by expr_evaluate): the
// levels then only go on with the operators that follow it.
int expr_parse_power(ExprValue& value, bool have_left = false) {
    int status = have_left ? 0 : expr_parse_unary(value);
    while (status == 0 && current_token.code == TOK_POWER) {
        lex_next_token();
        ExprValue right;
        status = expr_parse_unary(right);
        if (status == 0) status = expr_apply(OP_POWER, value, right);
    }
    return status;
}

int32_t expr_multiplicative_operator(int32_t token) {
    switch (token) {
    case TOK_STAR: return OP_MULTIPLY;
    case TOK_SLASH: return OP_DIVIDE;
    case TOK_PERCENT: return OP_MODULO;
    case TOK_SHIFT_RIGHT: return OP_SHIFT_RIGHT;
    case TOK_SHIFT_LEFT: return OP_SHIFT_LEFT;
    default: return OP_NONE;
    }
}

int expr_parse_multiplicative(ExprValue& value, bool have_left = false) {
    int status = expr_parse_power(value, have_left);
    int32_t op;
    while (status == 0 && (op = expr_multiplicative_operator(current_token.code)) != OP_NONE) {
        lex_next_token();
        ExprValue right;
        status = expr_parse_power(right);
        if (status == 0) status = expr_apply(op, value, right);
    }
    return status;
}

int32_t expr_additive_operator(int32_t token) {
    switch (token) {
    case TOK_PLUS: return OP_ADD;
    case TOK_MINUS: return OP_SUBTRACT;
    default: return OP_NONE;
    }
}

int expr_parse_additive(ExprValue& value, bool have_left = false) {
    int status = expr_parse_multiplicative(value, have_left);
    int32_t op;
    while (status == 0 && (op = expr_additive_operator(current_token.code)) != OP_NONE) {
        lex_next_token();
        ExprValue right;
        status = expr_parse_multiplicative(right);
        if (status == 0) status = expr_apply(op, value, right);
    }
    return status;
}

int32_t expr_bitwise_operator(int32_t token) {
    switch (token) {
    case TOK_BAR: return OP_OR;
    case TOK_CARET: return OP_XOR;
    case TOK_AMPERSAND: return OP_AND;
    default: return OP_NONE;
    }
}

int expr_parse_bitwise(ExprValue& value, bool have_left = false) {
    int status = expr_parse_additive(value, have_left);
    int32_t op;
    while (status == 0 && (op = expr_bitwise_operator(current_token.code)) != OP_NONE) {
        lex_next_token();
        ExprValue right;
        status = expr_parse_additive(right);
        if (status == 0) status = expr_apply(op, value, right);
    }
    return status;
}

int32_t expr_relational_operator(int32_t token) {
    switch (token) {
    case TOK_LESS: return OP_LT;
    case TOK_GREATER: return OP_GT;
    case TOK_LESS_EQUAL: return OP_LE;
    case TOK_GREATER_EQUAL: return OP_GE;
    case TOK_EQUAL_EQUAL:
    case TOK_ASSIGN: return OP_EQ;
    case TOK_NOT_EQUAL: return OP_NE;
    default: return OP_NONE;
    }
}

int expr_parse_relational(ExprValue& value, bool have_left = false) {
    int status = expr_parse_bitwise(value, have_left);
    int32_t op;
    while (status == 0 && (op = expr_relational_operator(current_token.code)) != OP_NONE) {
        lex_next_token();
        ExprValue right;
        status = expr_parse_bitwise(right);
        if (status == 0) status = expr_apply(op, value, right);
    }
    return status;
}

int32_t expr_logical_operator(int32_t token) {
    switch (token) {
    case TOK_LOGICAL_AND: return OP_LOGICAL_AND;
    case TOK_LOGICAL_OR: return OP_LOGICAL_OR;
    case TOK_LOGICAL_XOR: return OP_LOGICAL_XOR;
    default: return OP_NONE;
    }
}

// Both operands of the logical operators are always evaluated: there is
// no short circuit, so every message and side effect of the right operand
// happens whatever the left one is.
int expr_parse_logical(ExprValue& value, bool have_left) {
    int status = expr_parse_relational(value, have_left);
    int32_t op;
    while (status == 0 && (op = expr_logical_operator(current_token.code)) != OP_NONE) {
        lex_next_token();
        ExprValue right;
        status = expr_parse_relational(right);
        if (status == 0) status = expr_apply(op, value, right);
    }
    return status;
}

// True when the token is a binary operator of any level.
bool expr_binary_operator_follows(int32_t token) {
    return token == TOK_POWER || expr_multiplicative_operator(token) != OP_NONE ||
           expr_additive_operator(token) != OP_NONE || expr_bitwise_operator(token) != OP_NONE ||
           expr_relational_operator(token) != OP_NONE || expr_logical_operator(token) != OP_NONE;
}

}  // namespace

// Most operands are one number or one name: the first operand is parsed
// on its own, and the levels of the binary operators are entered only when
// one follows it. This evaluates exactly as the descent through every
// level would, which parses that operand first all the same.
int expr_evaluate(ExprValue& value) {
    expression_paren_count = 0;
    expr_clear(value);
    int status = expr_parse_unary(value);
    if (status == 0 && expr_binary_operator_follows(current_token.code)) status = expr_parse_logical(value, true);
    if (status == 0) return 0;
    diag_error(status);
    return -1;
}

int expr_evaluate_in_space(ExprValue& value, uint8_t mask) {
    address_space_mask = mask;
    int status = expr_evaluate(value);
    address_space_mask = MEMORY_ANY;
    return status;
}

int expr_evaluate_transfer_target(ExprValue& value) {
    // Cleared also when a fatal error ends the run inside the evaluation.
    struct Scope {
        Scope() { evaluating_transfer_target = true; }
        ~Scope() { evaluating_transfer_target = false; }
    } scope;
    return expr_evaluate_in_space(value, MEMORY_PROGRAM);
}
