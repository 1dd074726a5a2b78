// Expressions: the value record, the parser and the operators.
#pragma once

#include <cstdint>

#include "paasmsym.h"

enum ValueClass : int8_t {
    CLASS_UNKNOWN = 0,
    CLASS_ABSOLUTE = 1,
    CLASS_RELOCATABLE = 2,
    CLASS_EXTERNAL = 3,
    CLASS_DIFFERENCE = 4,
    CLASS_NEGATED = 5,
    CLASS_ILLEGAL = 6,
};

enum ValueType : int8_t {
    TYPE_NONE = 0,
    TYPE_INTEGER = 1,
    TYPE_HIGH_BYTE = 2,
    TYPE_LOW_BYTE = 4,
    TYPE_LOW_WORD = 5,
    TYPE_WINDOW_OFFSET = 6,
    TYPE_COMPLEMENTED = 8,
    TYPE_FLOAT = 10,
    TYPE_STRING = 11,
    TYPE_BOOLEAN = 12,
    TYPE_REGISTER = 13,
    TYPE_CONDITION = 14,
    TYPE_SECTION = 15,
};

enum ExprOperator : int32_t {
    OP_NONE = 0,
    OP_EQ = 2,
    OP_NE = 3,
    OP_LT = 4,
    OP_GT = 5,
    OP_LE = 6,
    OP_GE = 7,
    OP_COMPLEMENT = 10,
    OP_OR = 11,
    OP_XOR = 12,
    OP_AND = 13,
    OP_ADD = 14,
    OP_SUBTRACT = 15,
    OP_POWER = 16,
    OP_MULTIPLY = 17,
    OP_DIVIDE = 18,
    OP_MODULO = 19,
    OP_SHIFT_RIGHT = 20,
    OP_SHIFT_LEFT = 21,
    OP_NOT = 22,
    OP_LOGICAL_AND = 23,
    OP_LOGICAL_OR = 24,
    OP_LOGICAL_XOR = 25,
    OP_NEGATE = 27,
    OP_PLUS = 28,
    OP_HIGH_BYTE = 29,
    OP_LOW_BYTE = 31,
    OP_BOOT = 33,
    OP_SECURE = 34,
    OP_HANDLE = 35,
    OP_EDSOFFSET = 36,
    OP_EDSPAGE = 37,
    OP_TBLOFFSET = 38,
    OP_TBLPAGE = 39,
    OP_PSVPAGE = 40,
    OP_PSVOFFSET = 41,
    OP_PSVPTR = 42,
    OP_DMAOFFSET = 46,
    OP_DMAPAGE = 47,
    OP_PACKED_LO = 48,
    OP_PACKED_HI = 49,
    OP_STARTOF = 50,
    OP_STARTOF_HI = 51,
    OP_SIZEOF = 52,
    OP_SIZEOF_HI = 53,
    OP_ENDOF = 54,
    OP_ENDOF_HI = 55,
};

struct ExprValue {
    Section* section = nullptr;
    Symbol* symbol = nullptr;
    Value8 value{};
    Symbol* subtrahend = nullptr;
    uint8_t subtrahend_valid = 0;
    uint8_t forward_ref = 0;
    int8_t value_class = CLASS_UNKNOWN;
    int8_t value_type = TYPE_NONE;
    int32_t last_operator = OP_NONE;
};

constexpr int EXPR_PAREN_LIMIT = 64;

// Relocation class of a binary result by [left class][right class], over
// the classes 0 to 5: addition, subtraction and every other operator.
extern const uint8_t expr_add_class_table[6][6];
extern const uint8_t expr_subtract_class_table[6][6];
extern const uint8_t expr_other_class_table[6][6];

extern int32_t expression_paren_count;
extern uint8_t address_space_mask;

// How the instruction being assembled used the location counter ('$' or
// '.'): LOCATION_USED for any use, LOCATION_REACHES_BACK when one use is
// not followed by '+' and so may reach behind the instruction,
// LOCATION_AS_ADDRESS when one use is a value of its own (not where a
// transfer goes), which any word added before the instruction changes.
// Cleared at the start of every instruction statement.
constexpr uint32_t LOCATION_USED = 1;
constexpr uint32_t LOCATION_REACHES_BACK = 2;
constexpr uint32_t LOCATION_AS_ADDRESS = 4;
extern uint32_t location_counter_uses;

int expr_evaluate(ExprValue& value);
int expr_evaluate_in_space(ExprValue& value, uint8_t mask);
// The target of a branch, call or jump, in program memory.
int expr_evaluate_transfer_target(ExprValue& value);

int expr_apply_unary(int32_t op, ExprValue& operand);
int expr_apply_binary(int32_t op, ExprValue& left, ExprValue& right);
void expr_combine_reloc_class(int32_t op, ExprValue& left, const ExprValue& right);
