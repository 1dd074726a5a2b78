// Operator semantics: the value and type of every unary and binary
// operation, and the relocation class of binary results. Values relative
// to a section or an external keep only their offset; the operators record
// which part of the address is wanted and leave the final address to the
// operand fitting and the data emitters.
#include <cstdint>
#include <cstring>

#include "paasmdiag.h"
#include "paasmexpr.h"
#include "paasmintern.h"
#include "paasmomf.h"
#include "paasmpool.h"
#include "paasmsym.h"

// Result classes indexed by [left class][right class] over the classes
// 0 to 5; an illegal operand has no row or column.
const uint8_t expr_add_class_table[6][6] = {
    {0, 0, 0, 0, 0, 0}, {0, 1, 2, 3, 4, 5}, {0, 2, 6, 6, 6, 6},
    {0, 3, 6, 6, 6, 6}, {0, 4, 6, 6, 6, 6}, {0, 5, 6, 6, 6, 6},
};
const uint8_t expr_subtract_class_table[6][6] = {
    {0, 0, 0, 0, 0, 0}, {0, 1, 5, 5, 4, 5}, {0, 2, 4, 4, 6, 6},
    {0, 3, 4, 4, 6, 6}, {0, 4, 6, 6, 6, 6}, {0, 5, 6, 6, 6, 6},
};
const uint8_t expr_other_class_table[6][6] = {
    {0, 0, 0, 0, 0, 0}, {0, 1, 6, 6, 6, 6}, {0, 6, 6, 6, 6, 6},
    {0, 6, 6, 6, 6, 6}, {0, 6, 6, 6, 6, 6}, {0, 6, 6, 6, 6, 6},
};

namespace {

constexpr int kTypeMismatch = 23;
constexpr int kDivisionByZero = 45;
constexpr int kShiftRange = 46;
constexpr int kNegativePower = 47;
constexpr int kModulusIntegral = 48;

bool is_integer_type(int type) { return type == TYPE_INTEGER || type == TYPE_COMPLEMENTED; }

// Stores a 32-bit result with the high half of the value cleared.
void set_word(ExprValue& value, uint32_t word) { value.value.raw = word; }

void set_boolean(ExprValue& value, bool truth) {
    set_word(value, truth ? 1u : 0u);
    value.value_type = TYPE_BOOLEAN;
}

int32_t as_signed(uint32_t word) { return static_cast<int32_t>(word); }

// ---- Unary ------------------------------------------------------------------

int unary_absolute_integer(int32_t op, ExprValue& operand) {
    uint32_t v = operand.value.word;
    switch (op) {
    case OP_COMPLEMENT:
        set_word(operand, ~v);
        operand.value_type = TYPE_COMPLEMENTED;
        return 0;
    case OP_NOT:
        set_word(operand, v == 0 ? 1u : 0u);
        return 0;
    case OP_NEGATE:
        set_word(operand, 0u - v);
        operand.value_type = TYPE_INTEGER;
        return 0;
    case OP_PLUS:
    case OP_PSVPTR:
        return 0;
    case OP_HIGH_BYTE:
        set_word(operand, (v >> 8) & 0xFFu);
        return 0;
    case OP_LOW_BYTE:
        set_word(operand, v & 0xFFu);
        return 0;
    case OP_BOOT:
    case OP_SECURE:
    case OP_HANDLE:
    case OP_TBLOFFSET:
    case OP_DMAOFFSET:
    case OP_PACKED_LO:
        set_word(operand, v & 0xFFFFu);
        return 0;
    case OP_EDSOFFSET:
    case OP_PSVOFFSET:
        set_word(operand, (v & 0x7FFFu) | 0x8000u);
        return 0;
    case OP_EDSPAGE:
    case OP_TBLPAGE:
    case OP_PSVPAGE:
    case OP_DMAPAGE:
    case OP_PACKED_HI:
        set_word(operand, v >> 16);
        return 0;
    default:  // the section-bound operators and anything not unary
        return kTypeMismatch;
    }
}

int unary_absolute(int32_t op, ExprValue& operand) {
    switch (operand.value_type) {
    case TYPE_INTEGER:
    case TYPE_COMPLEMENTED:
        return unary_absolute_integer(op, operand);
    case TYPE_FLOAT:
        if (op == OP_NEGATE) {
            operand.value.real = -operand.value.real;
            return 0;
        }
        return op == OP_PLUS ? 0 : kTypeMismatch;
    case TYPE_BOOLEAN:
        if (op != OP_NOT) return kTypeMismatch;
        set_word(operand, operand.value.word == 0 ? 1u : 0u);
        return 0;
    default:
        return kTypeMismatch;
    }
}

// Relocatable and external values: the offset stays; only the type and
// the operator record tell the consumer which part of the address to take.
int unary_relocatable(int32_t op, ExprValue& operand) {
    int type = operand.value_type;
    auto retype_integer = [&](int8_t result) {
        if (type != TYPE_INTEGER) return kTypeMismatch;
        operand.value_type = result;
        return 0;
    };
    switch (op) {
    case OP_PLUS:
    case OP_EDSPAGE:
    case OP_TBLPAGE:
    case OP_PSVPAGE:
    case OP_PSVPTR:
    case OP_DMAPAGE:
        return 0;
    case OP_HIGH_BYTE:
        return retype_integer(TYPE_HIGH_BYTE);
    case OP_LOW_BYTE:
        return retype_integer(TYPE_LOW_BYTE);
    case OP_BOOT:
    case OP_SECURE:
        return retype_integer(TYPE_LOW_WORD);
    case OP_HANDLE:
        // The operand is marked as a branch target even if the type
        // then turns out to be wrong.
        if (operand.symbol != nullptr) operand.symbol->flags |= SYM_BRANCH_TARGET;
        return retype_integer(TYPE_LOW_WORD);
    case OP_TBLOFFSET:
        if (type == TYPE_SECTION) return 0;
        return retype_integer(TYPE_LOW_WORD);
    case OP_EDSOFFSET:
    case OP_PSVOFFSET:
    case OP_DMAOFFSET:
    case OP_PACKED_LO:
    case OP_PACKED_HI:
    case OP_STARTOF:
    case OP_STARTOF_HI:
    case OP_SIZEOF:
    case OP_SIZEOF_HI:
    case OP_ENDOF:
    case OP_ENDOF_HI:
        if (type != TYPE_INTEGER && type != TYPE_SECTION) return kTypeMismatch;
        operand.value_type = TYPE_WINDOW_OFFSET;
        return 0;
    default:  // OP_NOT, OP_COMPLEMENT, OP_NEGATE and anything not unary
        return kTypeMismatch;
    }
}

// ---- Binary -----------------------------------------------------------------

uint32_t power_word(uint32_t base, uint32_t exponent) {
    uint32_t result = 1;
    while (exponent != 0) {
        if ((exponent & 1u) != 0) result *= base;
        base *= base;
        exponent >>= 1;
    }
    return result;
}

// Integer left, integer or boolean right. Arithmetic wraps modulo 2^32.
int binary_integer(int32_t op, ExprValue& left, const ExprValue& right) {
    uint32_t a = left.value.word;
    uint32_t b = right.value.word;
    int32_t sa = as_signed(a);
    int32_t sb = as_signed(b);
    switch (op) {
    case OP_EQ: set_boolean(left, sa == sb); return 0;
    case OP_NE: set_boolean(left, sa != sb); return 0;
    case OP_LT: set_boolean(left, sa < sb); return 0;
    case OP_GT: set_boolean(left, sa > sb); return 0;
    case OP_LE: set_boolean(left, sa <= sb); return 0;
    case OP_GE: set_boolean(left, sa >= sb); return 0;
    case OP_OR: set_word(left, a | b); return 0;
    case OP_XOR: set_word(left, a ^ b); return 0;
    case OP_AND: set_word(left, a & b); return 0;
    case OP_ADD: set_word(left, a + b); return 0;
    case OP_SUBTRACT: set_word(left, a - b); return 0;
    case OP_MULTIPLY: set_word(left, a * b); return 0;
    case OP_DIVIDE:
        if (sb == 0) return kDivisionByZero;
        // The most negative value divided by -1 wraps to itself.
        set_word(left, sb == -1 ? 0u - a : static_cast<uint32_t>(sa / sb));
        return 0;
    case OP_MODULO:
        if (sb == 0) return kDivisionByZero;
        set_word(left, sb == -1 ? 0u : static_cast<uint32_t>(sa % sb));
        return 0;
    case OP_SHIFT_RIGHT:
        if (sb < 0 || sb > 31) return kShiftRange;
        set_word(left, static_cast<uint32_t>(sa >> sb));
        return 0;
    case OP_SHIFT_LEFT:
        if (sb < 0 || sb > 31) return kShiftRange;
        set_word(left, a << sb);
        return 0;
    case OP_POWER:
        if (sb < 0) return kNegativePower;
        set_word(left, power_word(a, b));
        return 0;
    case OP_LOGICAL_AND: set_boolean(left, a != 0 && b != 0); return 0;
    case OP_LOGICAL_OR: set_boolean(left, a != 0 || b != 0); return 0;
    case OP_LOGICAL_XOR: set_boolean(left, (a != 0) != (b != 0)); return 0;
    default: return kTypeMismatch;
    }
}

// Double arithmetic and comparisons; `comparisons` says whether the
// comparison operators are taken (they are only between two floats).
// Every other operator is a mismatch, the modulus its own one.
int binary_float(int32_t op, ExprValue& left, double a, double b, bool comparisons) {
    switch (op) {
    case OP_ADD: left.value.real = a + b; break;
    case OP_SUBTRACT: left.value.real = a - b; break;
    case OP_MULTIPLY: left.value.real = a * b; break;
    case OP_DIVIDE:
        if (b == 0.0) return kDivisionByZero;
        left.value.real = a / b;
        break;
    case OP_MODULO:
        return kModulusIntegral;
    case OP_EQ:
    case OP_NE:
    case OP_LT:
    case OP_GT:
    case OP_LE:
    case OP_GE: {
        if (!comparisons) return kTypeMismatch;
        // An unordered pair is unequal and neither less nor greater.
        bool truth = op == OP_EQ   ? a == b
                     : op == OP_NE ? a != b
                     : op == OP_LT ? a < b
                     : op == OP_GT ? a > b
                     : op == OP_LE ? a <= b
                                   : a >= b;
        set_boolean(left, truth);
        return 0;
    }
    default:
        return kTypeMismatch;
    }
    left.value_type = TYPE_FLOAT;
    return 0;
}

// The character value of a string of at most one character: its first
// character as a signed 8-bit code, 0 when empty.
int32_t string_character(const char* text) { return static_cast<signed char>(text[0]); }

int binary_string(int32_t op, ExprValue& left, const ExprValue& right) {
    const char* a = left.value.text;
    size_t length_a = std::strlen(a);
    if (right.value_type == TYPE_STRING) {
        const char* b = right.value.text;
        size_t length_b = std::strlen(b);
        switch (op) {
        case OP_ADD: {
            char* joined = static_cast<char*>(pool_alloc(length_a + length_b + 1, POOL_SCRATCH));
            std::memcpy(joined, a, length_a);
            std::memcpy(joined + length_a, b, length_b + 1);
            left.value.raw = 0;
            left.value.text = intern_bytes(joined, static_cast<uint32_t>(length_a + length_b));
            return 0;
        }
        case OP_SUBTRACT:
            if (length_a > 1 || length_b > 1) return kTypeMismatch;
            set_word(left, static_cast<uint32_t>(string_character(a) - string_character(b)));
            left.value_type = TYPE_INTEGER;
            return 0;
        case OP_EQ: set_boolean(left, a == b); return 0;  // interned: identity is equality
        case OP_NE: set_boolean(left, a != b); return 0;
        case OP_LT: set_boolean(left, std::strcmp(a, b) < 0); return 0;
        case OP_GT: set_boolean(left, std::strcmp(a, b) > 0); return 0;
        case OP_LE: set_boolean(left, std::strcmp(a, b) <= 0); return 0;
        case OP_GE: set_boolean(left, std::strcmp(a, b) >= 0); return 0;
        default: return kTypeMismatch;
        }
    }
    if (right.value_type == TYPE_INTEGER) {
        if (op != OP_ADD && op != OP_SUBTRACT) return kTypeMismatch;
        if (length_a > 1) return kTypeMismatch;
        uint32_t c = static_cast<uint32_t>(string_character(a));
        uint32_t b = right.value.word;
        set_word(left, op == OP_ADD ? c + b : c - b);
        left.value_type = TYPE_INTEGER;
        return 0;
    }
    if (right.value_type == TYPE_NONE) {
        diag_error(kTypeMismatch);
        return 0;
    }
    return kTypeMismatch;
}

int binary_boolean(int32_t op, ExprValue& left, const ExprValue& right) {
    uint32_t a = left.value.word;
    uint32_t b = right.value.word;
    switch (op) {
    case OP_OR: set_word(left, a | b); return 0;
    case OP_AND: set_word(left, a & b); return 0;
    case OP_XOR:
    case OP_LOGICAL_XOR: set_word(left, (a != 0) != (b != 0) ? 1u : 0u); return 0;
    case OP_LOGICAL_AND: set_word(left, a != 0 && b != 0 ? 1u : 0u); return 0;
    case OP_LOGICAL_OR: set_word(left, a != 0 || b != 0 ? 1u : 0u); return 0;
    default: return kTypeMismatch;
    }
}

uint32_t section_origin(const Section* section) { return section != nullptr ? section->origin : 0; }

}  // namespace

int expr_apply_unary(int32_t op, ExprValue& operand) {
    operand.last_operator = OP_NONE;
    int status;
    switch (operand.value_class) {
    case CLASS_UNKNOWN:
        status = 0;  // a value not yet known flows through unchanged
        break;
    case CLASS_ABSOLUTE:
        status = unary_absolute(op, operand);
        break;
    case CLASS_RELOCATABLE:
    case CLASS_EXTERNAL:
        status = unary_relocatable(op, operand);
        break;
    default:
        status = kTypeMismatch;
        break;
    }
    if (status == 0) operand.last_operator = op;
    return status;
}

int expr_apply_binary(int32_t op, ExprValue& left, ExprValue& right) {
    int lt = left.value_type;
    int rt = right.value_type;
    if (is_integer_type(lt)) {
        if (is_integer_type(rt) || rt == TYPE_BOOLEAN) return binary_integer(op, left, right);
        if (rt == TYPE_NONE) {
            diag_error(kTypeMismatch);
            return 0;
        }
        if (rt == TYPE_FLOAT) {
            double a = static_cast<double>(as_signed(left.value.word));
            if (op == OP_ADD || op == OP_SUBTRACT || op == OP_MULTIPLY || op == OP_DIVIDE)
                return binary_float(op, left, a, right.value.real, false);
            return op == OP_MODULO ? kModulusIntegral : kTypeMismatch;
        }
        return kTypeMismatch;
    }
    switch (lt) {
    case TYPE_FLOAT:
        if (rt == TYPE_FLOAT) return binary_float(op, left, left.value.real, right.value.real, true);
        if (is_integer_type(rt))
            return binary_float(op, left, left.value.real,
                                static_cast<double>(as_signed(right.value.word)), false);
        return kTypeMismatch;
    case TYPE_STRING:
        return binary_string(op, left, right);
    case TYPE_BOOLEAN:
        if (rt == TYPE_INTEGER || rt == TYPE_BOOLEAN) return binary_boolean(op, left, right);
        return kTypeMismatch;
    default:
        // Values of no type or of an address-part, register, condition or
        // section type: reported, and the evaluation goes on with the left
        // value unchanged.
        diag_error(kTypeMismatch);
        return 0;
    }
}

void expr_combine_reloc_class(int32_t op, ExprValue& left, const ExprValue& right) {
    int lc = left.value_class;
    int rc = right.value_class;
    int r;
    if (lc < 0 || lc > 5 || rc < 0 || rc > 5) {
        r = CLASS_UNKNOWN;  // an illegal operand ends in the unknown class, silently
    } else if (op == OP_ADD) {
        r = expr_add_class_table[lc][rc];
    } else if (op == OP_SUBTRACT) {
        if (left.section == right.section) {
            uint32_t origin = section_origin(right.section);
            if (lc == CLASS_EXTERNAL && rc == CLASS_RELOCATABLE) {
                left.value.raw = static_cast<uint32_t>(left.value.word - origin);
                r = CLASS_ABSOLUTE;
            } else if (lc == CLASS_RELOCATABLE && rc == CLASS_EXTERNAL) {
                left.value.raw = static_cast<uint32_t>(left.value.word + origin);
                r = CLASS_ABSOLUTE;
            } else if (lc == CLASS_RELOCATABLE && rc == CLASS_RELOCATABLE) {
                r = CLASS_ABSOLUTE;
            } else {
                r = expr_subtract_class_table[lc][rc];
            }
        } else {
            r = expr_subtract_class_table[lc][rc];
        }
        if (r == CLASS_DIFFERENCE && lc != CLASS_DIFFERENCE) {
            left.subtrahend = right.symbol;
            left.subtrahend_valid = 1;
        }
    } else {
        r = expr_other_class_table[lc][rc];
    }
    if (left.section == nullptr) left.section = right.section;
    if (left.symbol == nullptr) left.symbol = right.symbol;
    left.value_class = static_cast<int8_t>(r);
    if (r == CLASS_ABSOLUTE) left.section = nullptr;
    if (r == CLASS_EXTERNAL && right.symbol != nullptr && right.symbol->value_class == CLASS_EXTERNAL)
        left.symbol = right.symbol;
    left.forward_ref = (left.forward_ref | right.forward_ref) ? 1 : 0;
    if (r == CLASS_ILLEGAL) diag_error(18);
}
