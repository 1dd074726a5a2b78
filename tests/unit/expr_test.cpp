// Expressions: the operators on hand-made value records, the relocation
// classes of binary results, and the parser on scanned operand text.
#include <gtest/gtest.h>

#include "test_support.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "paasmdiag.h"
#include "paasmdriver.h"
#include "paasmexpr.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmomf.h"
#include "paasmquodra.h"
#include "paasmsym.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

// ---- Value records made by hand -------------------------------------------------

ExprValue integer(int32_t v, int8_t type = TYPE_INTEGER) {
    ExprValue value;
    value.value_class = CLASS_ABSOLUTE;
    value.value_type = type;
    value.value.raw = static_cast<uint32_t>(v);
    return value;
}

ExprValue boolean(bool truth) { return integer(truth ? 1 : 0, TYPE_BOOLEAN); }

ExprValue real(double d) {
    ExprValue value;
    value.value_class = CLASS_ABSOLUTE;
    value.value_type = TYPE_FLOAT;
    value.value.real = d;
    return value;
}

ExprValue text(const char* s) {
    ExprValue value;
    value.value_class = CLASS_ABSOLUTE;
    value.value_type = TYPE_STRING;
    value.value.text = intern_string(s);
    return value;
}

ExprValue unknown() { return ExprValue{}; }

ExprValue of_class(int8_t cls, int32_t v, Section* section = nullptr, Symbol* symbol = nullptr,
                   int8_t type = TYPE_INTEGER) {
    ExprValue value = integer(v, type);
    value.value_class = cls;
    value.section = section;
    value.symbol = symbol;
    return value;
}

class ExprOps : public testing::Test {
protected:
    void SetUp() override {
        intern_init();
        sym_init();
        main_source.name = "prog.s";
        main_source.line = 4;
        pass_number = 1;
        report_flags = 0;
    }
};

// ---- Unary operators --------------------------------------------------------------

struct UnaryCase {
    int32_t op;
    ExprValue operand;
    int status;
    uint32_t word;  // expected low 32 bits when the status is 0
    int8_t type;
};

TEST_F(ExprOps, UnaryOnAbsoluteValues) {
    const UnaryCase cases[] = {
        {OP_COMPLEMENT, integer(0), 0, 0xFFFFFFFFu, TYPE_COMPLEMENTED},
        {OP_NOT, integer(0), 0, 1, TYPE_INTEGER},
        {OP_NOT, integer(7), 0, 0, TYPE_INTEGER},
        {OP_NOT, integer(0, TYPE_COMPLEMENTED), 0, 1, TYPE_COMPLEMENTED},
        {OP_NEGATE, integer(5), 0, static_cast<uint32_t>(-5), TYPE_INTEGER},
        {OP_NEGATE, integer(-1, TYPE_COMPLEMENTED), 0, 1, TYPE_INTEGER},
        {OP_NEGATE, integer(kMin), 0, static_cast<uint32_t>(kMin), TYPE_INTEGER},
        {OP_PLUS, integer(-9), 0, static_cast<uint32_t>(-9), TYPE_INTEGER},
        {OP_HIGH_BYTE, integer(0x1234), 0, 0x12, TYPE_INTEGER},
        {OP_HIGH_BYTE, integer(-1), 0, 0xFF, TYPE_INTEGER},
        {OP_LOW_BYTE, integer(0x1234), 0, 0x34, TYPE_INTEGER},
        {OP_BOOT, integer(0x12345), 0, 0x2345, TYPE_INTEGER},
        {OP_SECURE, integer(0x12345), 0, 0x2345, TYPE_INTEGER},
        {OP_HANDLE, integer((1 << 16) + 5), 0, 5, TYPE_INTEGER},
        {OP_TBLOFFSET, integer(-1), 0, 0xFFFF, TYPE_INTEGER},
        {OP_DMAOFFSET, integer(0x10001), 0, 1, TYPE_INTEGER},
        {OP_PACKED_LO, integer(0xABCDEF), 0, 0xCDEF, TYPE_INTEGER},
        {OP_EDSOFFSET, integer((3 << 16) + 5), 0, 0x8005, TYPE_INTEGER},
        {OP_PSVOFFSET, integer(0xFFFF), 0, 0xFFFF, TYPE_INTEGER},
        {OP_PSVOFFSET, integer(0x1234), 0, 0x9234, TYPE_INTEGER},
        {OP_EDSPAGE, integer(3 << 16), 0, 3, TYPE_INTEGER},
        {OP_TBLPAGE, integer(-1), 0, 0xFFFF, TYPE_INTEGER},
        {OP_PSVPAGE, integer(0x12345678), 0, 0x1234, TYPE_INTEGER},
        {OP_DMAPAGE, integer(0x00050000), 0, 5, TYPE_INTEGER},
        {OP_PACKED_HI, integer(0xABCDEF), 0, 0xAB, TYPE_INTEGER},
        {OP_PSVPTR, integer(0x123456), 0, 0x123456, TYPE_INTEGER},
        {OP_STARTOF, integer(1), 23, 0, 0},
        {OP_STARTOF_HI, integer(1), 23, 0, 0},
        {OP_SIZEOF, integer(1), 23, 0, 0},
        {OP_SIZEOF_HI, integer(1), 23, 0, 0},
        {OP_ENDOF, integer(1), 23, 0, 0},
        {OP_ENDOF_HI, integer(1), 23, 0, 0},
        {OP_NOT, boolean(false), 0, 1, TYPE_BOOLEAN},
        {OP_NOT, boolean(true), 0, 0, TYPE_BOOLEAN},
        {OP_NEGATE, boolean(true), 23, 0, 0},
        {OP_COMPLEMENT, boolean(true), 23, 0, 0},
        {OP_NEGATE, text("a"), 23, 0, 0},
        {OP_PLUS, text("a"), 23, 0, 0},
        {OP_LOW_BYTE, integer(0x1234, TYPE_REGISTER), 23, 0, 0},
        {OP_PLUS, integer(1, TYPE_SECTION), 23, 0, 0},
    };
    for (const UnaryCase& c : cases) {
        ExprValue v = c.operand;
        int status = expr_apply_unary(c.op, v);
        EXPECT_EQ(status, c.status) << "operator " << c.op << " on " << c.operand.value.word;
        if (status != 0) {
            EXPECT_EQ(v.last_operator, OP_NONE);
            continue;
        }
        EXPECT_EQ(v.value.raw, uint64_t{c.word}) << "operator " << c.op;
        EXPECT_EQ(v.value_type, c.type) << "operator " << c.op;
        EXPECT_EQ(v.value_class, CLASS_ABSOLUTE);
        EXPECT_EQ(v.last_operator, c.op);
    }
}

TEST_F(ExprOps, UnaryOnFloats) {
    ExprValue v = real(1.5);
    EXPECT_EQ(expr_apply_unary(OP_NEGATE, v), 0);
    EXPECT_EQ(v.value.real, -1.5);
    EXPECT_EQ(v.value_type, TYPE_FLOAT);
    EXPECT_EQ(expr_apply_unary(OP_PLUS, v), 0);
    EXPECT_EQ(v.value.real, -1.5);
    for (int32_t op : {OP_COMPLEMENT, OP_NOT, OP_HIGH_BYTE, OP_HANDLE, OP_PSVPAGE}) {
        ExprValue f = real(2.0);
        EXPECT_EQ(expr_apply_unary(op, f), 23) << op;
    }
}

TEST_F(ExprOps, UnaryOnUnknownAndUnrelocatableClasses) {
    // A value not yet known takes every operator without a change.
    for (int32_t op : {OP_NEGATE, OP_COMPLEMENT, OP_HANDLE, OP_STARTOF}) {
        ExprValue v = unknown();
        v.forward_ref = 1;
        EXPECT_EQ(expr_apply_unary(op, v), 0);
        EXPECT_EQ(v.value_class, CLASS_UNKNOWN);
        EXPECT_EQ(v.value_type, TYPE_NONE);
        EXPECT_EQ(v.value.raw, 0u);
        EXPECT_EQ(v.forward_ref, 1);
        EXPECT_EQ(v.last_operator, op);
    }
    for (int8_t cls : {CLASS_DIFFERENCE, CLASS_NEGATED, CLASS_ILLEGAL}) {
        for (int32_t op : {OP_PLUS, OP_HIGH_BYTE, OP_PSVPAGE}) {
            ExprValue v = of_class(cls, 4);
            EXPECT_EQ(expr_apply_unary(op, v), 23) << int{cls} << " " << op;
        }
    }
}

TEST_F(ExprOps, UnaryOnRelocatableValuesKeepsTheOffset) {
    Section section{};
    Symbol label{};
    label.name = intern_string("label");
    struct Case {
        int32_t op;
        int8_t type_in;
        int status;
        int8_t type_out;
    } cases[] = {
        {OP_PLUS, TYPE_LOW_WORD, 0, TYPE_LOW_WORD},
        {OP_HIGH_BYTE, TYPE_INTEGER, 0, TYPE_HIGH_BYTE},
        {OP_HIGH_BYTE, TYPE_LOW_BYTE, 23, 0},
        {OP_LOW_BYTE, TYPE_INTEGER, 0, TYPE_LOW_BYTE},
        {OP_LOW_BYTE, TYPE_SECTION, 23, 0},
        {OP_BOOT, TYPE_INTEGER, 0, TYPE_LOW_WORD},
        {OP_SECURE, TYPE_INTEGER, 0, TYPE_LOW_WORD},
        {OP_SECURE, TYPE_SECTION, 23, 0},
        {OP_TBLOFFSET, TYPE_SECTION, 0, TYPE_SECTION},
        {OP_TBLOFFSET, TYPE_INTEGER, 0, TYPE_LOW_WORD},
        {OP_TBLOFFSET, TYPE_HIGH_BYTE, 23, 0},
        {OP_EDSOFFSET, TYPE_INTEGER, 0, TYPE_WINDOW_OFFSET},
        {OP_PSVOFFSET, TYPE_SECTION, 0, TYPE_WINDOW_OFFSET},
        {OP_DMAOFFSET, TYPE_INTEGER, 0, TYPE_WINDOW_OFFSET},
        {OP_PACKED_LO, TYPE_INTEGER, 0, TYPE_WINDOW_OFFSET},
        {OP_PACKED_HI, TYPE_SECTION, 0, TYPE_WINDOW_OFFSET},
        {OP_STARTOF, TYPE_SECTION, 0, TYPE_WINDOW_OFFSET},
        {OP_STARTOF_HI, TYPE_INTEGER, 0, TYPE_WINDOW_OFFSET},
        {OP_SIZEOF, TYPE_SECTION, 0, TYPE_WINDOW_OFFSET},
        {OP_SIZEOF_HI, TYPE_SECTION, 0, TYPE_WINDOW_OFFSET},
        {OP_ENDOF, TYPE_SECTION, 0, TYPE_WINDOW_OFFSET},
        {OP_ENDOF_HI, TYPE_INTEGER, 0, TYPE_WINDOW_OFFSET},
        {OP_ENDOF, TYPE_LOW_WORD, 23, 0},
        {OP_EDSPAGE, TYPE_INTEGER, 0, TYPE_INTEGER},
        {OP_TBLPAGE, TYPE_INTEGER, 0, TYPE_INTEGER},
        {OP_PSVPAGE, TYPE_INTEGER, 0, TYPE_INTEGER},
        {OP_PSVPTR, TYPE_LOW_BYTE, 0, TYPE_LOW_BYTE},
        {OP_DMAPAGE, TYPE_SECTION, 0, TYPE_SECTION},
        {OP_NOT, TYPE_INTEGER, 23, 0},
        {OP_COMPLEMENT, TYPE_INTEGER, 23, 0},
        {OP_NEGATE, TYPE_INTEGER, 23, 0},
    };
    for (int8_t cls : {CLASS_RELOCATABLE, CLASS_EXTERNAL}) {
        for (const Case& c : cases) {
            ExprValue v = of_class(cls, 0x1234, &section, &label, c.type_in);
            int status = expr_apply_unary(c.op, v);
            EXPECT_EQ(status, c.status) << "class " << int{cls} << " operator " << c.op;
            EXPECT_EQ(v.value.raw, 0x1234u);
            EXPECT_EQ(v.value_class, cls);
            EXPECT_EQ(v.section, &section);
            EXPECT_EQ(v.symbol, &label);
            if (status == 0) {
                EXPECT_EQ(v.value_type, c.type_out) << "operator " << c.op;
                EXPECT_EQ(v.last_operator, c.op);
            } else {
                EXPECT_EQ(v.last_operator, OP_NONE);
            }
        }
    }
}

TEST_F(ExprOps, HandleMarksItsSymbolEvenWhenTheTypeIsWrong) {
    Symbol label{};
    ExprValue v = of_class(CLASS_RELOCATABLE, 0x40, nullptr, &label);
    EXPECT_EQ(expr_apply_unary(OP_HANDLE, v), 0);
    EXPECT_EQ(v.value_type, TYPE_LOW_WORD);
    EXPECT_EQ(v.last_operator, OP_HANDLE);
    EXPECT_NE(label.flags & SYM_BRANCH_TARGET, 0);

    Symbol other{};
    ExprValue w = of_class(CLASS_EXTERNAL, 0, nullptr, &other, TYPE_HIGH_BYTE);
    EXPECT_EQ(expr_apply_unary(OP_HANDLE, w), 23);
    EXPECT_NE(other.flags & SYM_BRANCH_TARGET, 0);

    // A page operator does not mark anything.
    Symbol third{};
    ExprValue x = of_class(CLASS_RELOCATABLE, 0, nullptr, &third);
    EXPECT_EQ(expr_apply_unary(OP_PSVPAGE, x), 0);
    EXPECT_EQ(third.flags & SYM_BRANCH_TARGET, 0);
}

// ---- Binary operators: integers -----------------------------------------------------

struct BinaryCase {
    ExprValue left;
    int32_t op;
    ExprValue right;
    int status;
    uint32_t word;
    int8_t type;
};

void check_binary(const BinaryCase& c, int index) {
    ExprValue l = c.left;
    ExprValue r = c.right;
    int status = expr_apply_binary(c.op, l, r);
    EXPECT_EQ(status, c.status) << "case " << index;
    if (status != 0 || c.status != 0) return;
    EXPECT_EQ(l.value.raw, uint64_t{c.word}) << "case " << index;
    EXPECT_EQ(l.value_type, c.type) << "case " << index;
}

TEST_F(ExprOps, IntegerArithmeticWrapsAndKeepsTheLeftType) {
    const int8_t I = TYPE_INTEGER, C = TYPE_COMPLEMENTED, B = TYPE_BOOLEAN;
    auto w = [](int32_t v) { return static_cast<uint32_t>(v); };
    const BinaryCase cases[] = {
        {integer(7), OP_DIVIDE, integer(2), 0, 3, I},
        {integer(-7), OP_DIVIDE, integer(2), 0, w(-3), I},
        {integer(7), OP_DIVIDE, integer(-2), 0, w(-3), I},
        {integer(-7), OP_MODULO, integer(2), 0, w(-1), I},
        {integer(7), OP_MODULO, integer(-2), 0, 1, I},
        {integer(1), OP_DIVIDE, integer(0), 45, 0, 0},
        {integer(1), OP_MODULO, integer(0), 45, 0, 0},
        {integer(kMin), OP_DIVIDE, integer(-1), 0, w(kMin), I},
        {integer(kMin), OP_MODULO, integer(-1), 0, 0, I},
        {integer(9), OP_DIVIDE, integer(-1), 0, w(-9), I},
        {integer(kMax), OP_ADD, integer(1), 0, w(kMin), I},
        {integer(kMin), OP_SUBTRACT, integer(1), 0, w(kMax), I},
        {integer(0x10000), OP_MULTIPLY, integer(0x10000), 0, 0, I},
        {integer(-3), OP_MULTIPLY, integer(5), 0, w(-15), I},
        {integer(12), OP_OR, integer(3), 0, 15, I},
        {integer(12), OP_XOR, integer(10), 0, 6, I},
        {integer(12), OP_AND, integer(10), 0, 8, I},
        {integer(1), OP_SHIFT_LEFT, integer(31), 0, w(kMin), I},
        {integer(1), OP_SHIFT_LEFT, integer(32), 46, 0, 0},
        {integer(1), OP_SHIFT_LEFT, integer(-1), 46, 0, 0},
        {integer(-8), OP_SHIFT_RIGHT, integer(1), 0, w(-4), I},
        {integer(kMin), OP_SHIFT_RIGHT, integer(31), 0, w(-1), I},
        {integer(0x40), OP_SHIFT_RIGHT, integer(0), 0, 0x40, I},
        {integer(1), OP_SHIFT_RIGHT, integer(32), 46, 0, 0},
        {integer(1), OP_SHIFT_RIGHT, integer(-2), 46, 0, 0},
        {integer(2), OP_POWER, integer(0), 0, 1, I},
        {integer(0), OP_POWER, integer(0), 0, 1, I},
        {integer(3), OP_POWER, integer(4), 0, 81, I},
        {integer(2), OP_POWER, integer(32), 0, 0, I},
        {integer(2), OP_POWER, integer(31), 0, 0x80000000u, I},
        {integer(3), OP_POWER, integer(21), 0, 1870418611u, I},  // 3^21 mod 2^32
        {integer(-2), OP_POWER, integer(3), 0, w(-8), I},
        {integer(2), OP_POWER, integer(-1), 47, 0, 0},
        {integer(-1), OP_LT, integer(0), 0, 1, B},
        {integer(kMin), OP_GT, integer(kMax), 0, 0, B},
        {integer(5), OP_EQ, integer(5), 0, 1, B},
        {integer(5), OP_NE, integer(5), 0, 0, B},
        {integer(5), OP_LE, integer(5), 0, 1, B},
        {integer(4), OP_GE, integer(5), 0, 0, B},
        {integer(2), OP_LOGICAL_AND, integer(3), 0, 1, B},
        {integer(2), OP_LOGICAL_AND, integer(0), 0, 0, B},
        {integer(0), OP_LOGICAL_OR, integer(-5), 0, 1, B},
        {integer(0), OP_LOGICAL_OR, integer(0), 0, 0, B},
        {integer(4), OP_LOGICAL_XOR, integer(9), 0, 0, B},
        {integer(4), OP_LOGICAL_XOR, integer(0), 0, 1, B},
        // A complemented left operand stays complemented through arithmetic.
        {integer(-1, C), OP_ADD, integer(1), 0, 0, C},
        {integer(-1, C), OP_AND, integer(0xF0), 0, 0xF0, C},
        {integer(-1, C), OP_EQ, integer(-1), 0, 1, B},
        // A complemented right operand does not pass its type on.
        {integer(1), OP_ADD, integer(-1, C), 0, 0, I},
        // A boolean right operand counts as the integer 0 or 1.
        {integer(5), OP_ADD, boolean(true), 0, 6, I},
        {integer(5), OP_MULTIPLY, boolean(false), 0, 0, I},
        // Integers take no string, register, condition or section operand.
        {integer(1), OP_ADD, text("a"), 23, 0, 0},
        {integer(1), OP_ADD, integer(0, TYPE_REGISTER), 23, 0, 0},
        {integer(1), OP_ADD, integer(0, TYPE_CONDITION), 23, 0, 0},
        {integer(1), OP_ADD, integer(0, TYPE_SECTION), 23, 0, 0},
        {integer(1), OP_ADD, integer(0, TYPE_LOW_BYTE), 23, 0, 0},
        // Unary-only operator codes are no binary operators.
        {integer(1), OP_NEGATE, integer(1), 23, 0, 0},
    };
    int index = 0;
    for (const BinaryCase& c : cases) check_binary(c, index++);
}

TEST_F(ExprOps, BooleanOperators) {
    const int8_t B = TYPE_BOOLEAN;
    const BinaryCase cases[] = {
        {boolean(true), OP_LOGICAL_AND, integer(3), 0, 1, B},
        {boolean(true), OP_LOGICAL_AND, boolean(false), 0, 0, B},
        {boolean(false), OP_LOGICAL_OR, integer(0), 0, 0, B},
        {boolean(false), OP_LOGICAL_OR, boolean(true), 0, 1, B},
        {boolean(true), OP_OR, integer(2), 0, 3, B},
        {boolean(true), OP_AND, integer(3), 0, 1, B},
        {boolean(true), OP_AND, integer(2), 0, 0, B},
        {boolean(true), OP_XOR, boolean(true), 0, 0, B},
        {boolean(true), OP_XOR, integer(4), 0, 0, B},
        {boolean(false), OP_XOR, integer(4), 0, 1, B},
        {boolean(false), OP_LOGICAL_XOR, boolean(true), 0, 1, B},
        {boolean(true), OP_ADD, integer(1), 23, 0, 0},
        {boolean(true), OP_LT, boolean(true), 23, 0, 0},
        {boolean(true), OP_SHIFT_LEFT, integer(1), 23, 0, 0},
        {boolean(true), OP_EQ, boolean(true), 23, 0, 0},
        {boolean(true), OP_OR, real(1.0), 23, 0, 0},
        {boolean(true), OP_OR, text("a"), 23, 0, 0},
    };
    int index = 0;
    for (const BinaryCase& c : cases) check_binary(c, index++);
}

// ---- Binary operators: strings ----------------------------------------------------------

TEST_F(ExprOps, StringOperators) {
    const int8_t I = TYPE_INTEGER, B = TYPE_BOOLEAN;
    auto w = [](int32_t v) { return static_cast<uint32_t>(v); };
    const BinaryCase cases[] = {
        {text("b"), OP_SUBTRACT, text("a"), 0, 1, I},
        {text("a"), OP_SUBTRACT, text(""), 0, 97, I},
        {text(""), OP_SUBTRACT, text("a"), 0, w(-97), I},
        {text("\xFF"), OP_SUBTRACT, text(""), 0, w(-1), I},  // characters are signed bytes
        {text("ab"), OP_SUBTRACT, text("a"), 23, 0, 0},
        {text("a"), OP_SUBTRACT, text("ab"), 23, 0, 0},
        {text("a"), OP_ADD, integer(1), 0, 98, I},
        {text("a"), OP_SUBTRACT, integer(1), 0, 96, I},
        {text(""), OP_ADD, integer(5), 0, 5, I},
        {text("ab"), OP_ADD, integer(1), 23, 0, 0},
        {text("a"), OP_MULTIPLY, integer(2), 23, 0, 0},
        {text("a"), OP_ADD, integer(1, TYPE_COMPLEMENTED), 23, 0, 0},
        {text("a"), OP_ADD, real(1.0), 23, 0, 0},
        {text("a"), OP_ADD, boolean(true), 23, 0, 0},
        {text("abc"), OP_LT, text("abd"), 0, 1, B},
        {text("abc"), OP_GT, text("abd"), 0, 0, B},
        {text("ab"), OP_LT, text("abc"), 0, 1, B},
        {text("b"), OP_GE, text("abc"), 0, 1, B},
        {text("b"), OP_LE, text("b"), 0, 1, B},
        {text("\x80"), OP_GT, text("a"), 0, 1, B},  // bytes compare unsigned
        {text("x"), OP_EQ, text("x"), 0, 1, B},
        {text("x"), OP_EQ, text("y"), 0, 0, B},
        {text("x"), OP_NE, text("y"), 0, 1, B},
        {text("x"), OP_MULTIPLY, text("y"), 23, 0, 0},
        {text("x"), OP_LOGICAL_AND, text("y"), 23, 0, 0},
        {integer(1), OP_ADD, text("a"), 23, 0, 0},
    };
    int index = 0;
    for (const BinaryCase& c : cases) check_binary(c, index++);
}

TEST_F(ExprOps, ConcatenationGivesAnInternedString) {
    ExprValue l = text("ab");
    ExprValue r = text("cd");
    ASSERT_EQ(expr_apply_binary(OP_ADD, l, r), 0);
    EXPECT_EQ(l.value_type, TYPE_STRING);
    EXPECT_STREQ(l.value.text, "abcd");
    EXPECT_EQ(l.value.text, intern_string("abcd"));
    ExprValue empty = text("");
    ASSERT_EQ(expr_apply_binary(OP_ADD, l, empty), 0);
    EXPECT_EQ(l.value.text, intern_string("abcd"));
}

// ---- Binary operators: floats ---------------------------------------------------------

TEST_F(ExprOps, FloatArithmetic) {
    struct Case {
        ExprValue left;
        int32_t op;
        ExprValue right;
        double result;
    } cases[] = {
        {real(1.5), OP_MULTIPLY, integer(2), 3.0},
        {integer(2), OP_MULTIPLY, real(1.5), 3.0},
        {real(1.5), OP_ADD, real(2.25), 3.75},
        {real(1.5), OP_SUBTRACT, integer(4), -2.5},
        {integer(-1), OP_SUBTRACT, real(0.5), -1.5},
        {integer(3), OP_DIVIDE, real(2.0), 1.5},
        {real(3.0), OP_DIVIDE, integer(-2), -1.5},
        {real(1.0), OP_DIVIDE, real(4.0), 0.25},
        {integer(-1, TYPE_COMPLEMENTED), OP_ADD, real(0.5), -0.5},
    };
    for (const Case& c : cases) {
        ExprValue l = c.left;
        ExprValue r = c.right;
        ASSERT_EQ(expr_apply_binary(c.op, l, r), 0) << c.result;
        EXPECT_EQ(l.value_type, TYPE_FLOAT);
        EXPECT_EQ(l.value.real, c.result);
    }
}

TEST_F(ExprOps, FloatErrors) {
    const BinaryCase cases[] = {
        {real(1.5), OP_DIVIDE, integer(0), 45, 0, 0},
        {real(1.5), OP_DIVIDE, real(0.0), 45, 0, 0},
        {real(1.5), OP_DIVIDE, real(-0.0), 45, 0, 0},
        {integer(1), OP_DIVIDE, real(0.0), 45, 0, 0},
        {integer(5), OP_MODULO, real(2.0), 48, 0, 0},
        {real(5.0), OP_MODULO, real(2.0), 48, 0, 0},
        {real(5.0), OP_MODULO, integer(2), 48, 0, 0},
        // Operators that floats do not take are mismatches.
        {real(1.0), OP_OR, real(1.0), 23, 0, 0},
        {real(1.0), OP_XOR, real(1.0), 23, 0, 0},
        {real(1.0), OP_AND, real(1.0), 23, 0, 0},
        {real(2.0), OP_POWER, real(2.0), 23, 0, 0},
        {real(2.0), OP_SHIFT_LEFT, real(1.0), 23, 0, 0},
        {real(2.0), OP_SHIFT_RIGHT, real(1.0), 23, 0, 0},
        {real(1.0), OP_LOGICAL_AND, real(1.0), 23, 0, 0},
        {real(1.0), OP_LOGICAL_OR, real(1.0), 23, 0, 0},
        {real(1.0), OP_LOGICAL_XOR, real(1.0), 23, 0, 0},
        {real(2.0), OP_POWER, integer(2), 23, 0, 0},
        {real(2.0), OP_SHIFT_LEFT, integer(1), 23, 0, 0},
        {real(2.0), OP_OR, integer(1), 23, 0, 0},
        {real(2.0), OP_LOGICAL_AND, integer(1), 23, 0, 0},
        {real(1.5), OP_LT, integer(2), 23, 0, 0},
        {real(2.0), OP_EQ, integer(2), 23, 0, 0},
        {integer(2), OP_EQ, real(2.0), 23, 0, 0},
        {integer(2), OP_POWER, real(2.0), 23, 0, 0},
        {integer(2), OP_OR, real(2.0), 23, 0, 0},
        {real(1.0), OP_ADD, boolean(true), 23, 0, 0},
        {real(1.0), OP_ADD, text("a"), 23, 0, 0},
        {real(1.0), OP_ADD, unknown(), 23, 0, 0},
    };
    int index = 0;
    for (const BinaryCase& c : cases) check_binary(c, index++);
}

TEST_F(ExprOps, FloatComparisons) {
    const double nan = std::nan("");
    struct Case {
        double a;
        int32_t op;
        double b;
        uint32_t truth;
    } cases[] = {
        {1.5, OP_LT, 2.5, 1}, {2.5, OP_LT, 1.5, 0}, {1.5, OP_GT, -2.0, 1}, {1.5, OP_LE, 1.5, 1},
        {1.5, OP_GE, 1.6, 0}, {0.0, OP_EQ, -0.0, 1}, {1.0, OP_NE, 1.0, 0},
        // An unordered pair is unequal and neither less nor greater.
        {nan, OP_EQ, nan, 0}, {nan, OP_NE, nan, 1}, {nan, OP_LT, 1.0, 0}, {1.0, OP_GT, nan, 0},
        {nan, OP_LE, nan, 0}, {1.0, OP_GE, nan, 0},
    };
    for (const Case& c : cases) {
        ExprValue l = real(c.a);
        ExprValue r = real(c.b);
        ASSERT_EQ(expr_apply_binary(c.op, l, r), 0);
        EXPECT_EQ(l.value_type, TYPE_BOOLEAN);
        EXPECT_EQ(l.value.raw, uint64_t{c.truth}) << c.a << " op " << c.op << " " << c.b;
    }
}

// ---- Mismatches reported at once ----------------------------------------------------------

TEST_F(ExprOps, MismatchesReportedAtOnceLeaveTheLeftValue) {
    const char* const line = "prog.s: line 0004: PA-E0023 Error: Expression type mismatch\n";
    struct Case {
        ExprValue left;
        ExprValue right;
    } cases[] = {
        {integer(5), unknown()},
        {integer(5, TYPE_COMPLEMENTED), unknown()},
        {text("a"), unknown()},
        {unknown(), integer(1)},
        {integer(5, TYPE_HIGH_BYTE), integer(1)},
        {integer(5, TYPE_LOW_BYTE), integer(1)},
        {integer(5, TYPE_LOW_WORD), integer(1)},
        {integer(5, TYPE_WINDOW_OFFSET), integer(1)},
        {integer(5, TYPE_REGISTER), integer(1)},
        {integer(5, TYPE_CONDITION), integer(1)},
        {integer(5, TYPE_SECTION), real(1.0)},
    };
    pass_number = 2;
    for (const Case& c : cases) {
        ExprValue l = c.left;
        ExprValue r = c.right;
        CaptureStderr();
        EXPECT_EQ(expr_apply_binary(OP_ADD, l, r), 0);
        EXPECT_EQ(GetCapturedStderr(), line);
        EXPECT_EQ(l.value.raw, c.left.value.raw);
        EXPECT_EQ(l.value_type, c.left.value_type);
    }
    // Pass 1 prints nothing: a value not yet defined flows on silently.
    pass_number = 1;
    ExprValue l = unknown();
    ExprValue r = integer(1);
    CaptureStderr();
    EXPECT_EQ(expr_apply_binary(OP_ADD, l, r), 0);
    expr_combine_reloc_class(OP_ADD, l, r);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(l.value_class, CLASS_UNKNOWN);
}

// ---- Relocation classes -----------------------------------------------------------------

TEST_F(ExprOps, ClassTablesForAddSubtractAndTheRest) {
    // Rows are the left class, columns the right class.
    const uint8_t add[6][6] = {{0, 0, 0, 0, 0, 0}, {0, 1, 2, 3, 4, 5}, {0, 2, 6, 6, 6, 6},
                               {0, 3, 6, 6, 6, 6}, {0, 4, 6, 6, 6, 6}, {0, 5, 6, 6, 6, 6}};
    const uint8_t subtract[6][6] = {{0, 0, 0, 0, 0, 0}, {0, 1, 5, 5, 4, 5}, {0, 2, 4, 4, 6, 6},
                                    {0, 3, 4, 4, 6, 6}, {0, 4, 6, 6, 6, 6}, {0, 5, 6, 6, 6, 6}};
    Section left_section{};
    Section right_section{};
    Symbol left_symbol{};
    Symbol right_symbol{};
    for (int lc = 0; lc < 6; ++lc) {
        for (int rc = 0; rc < 6; ++rc) {
            for (int32_t op : {OP_ADD, OP_SUBTRACT, OP_MULTIPLY, OP_SHIFT_LEFT, OP_LT}) {
                // Different sections on both sides, so no same-section rule applies.
                ExprValue l = of_class(static_cast<int8_t>(lc), 1, &left_section, &left_symbol);
                ExprValue r = of_class(static_cast<int8_t>(rc), 1, &right_section, &right_symbol);
                expr_combine_reloc_class(op, l, r);
                int expected = op == OP_ADD        ? add[lc][rc]
                               : op == OP_SUBTRACT ? subtract[lc][rc]
                               : (lc == 0 || rc == 0) ? 0
                               : (lc == 1 && rc == 1) ? 1
                                                      : 6;
                EXPECT_EQ(l.value_class, expected) << lc << " op " << op << " " << rc;
            }
        }
    }
}

TEST_F(ExprOps, IllegalOperandsGiveUnknownWithoutAFurtherError) {
    pass_number = 2;
    for (int other = 0; other <= 6; ++other) {
        for (int32_t op : {OP_ADD, OP_SUBTRACT, OP_MULTIPLY}) {
            ExprValue l = of_class(CLASS_ILLEGAL, 1);
            ExprValue r = of_class(static_cast<int8_t>(other), 1);
            ExprValue l2 = of_class(static_cast<int8_t>(other), 1);
            ExprValue r2 = of_class(CLASS_ILLEGAL, 1);
            CaptureStderr();
            expr_combine_reloc_class(op, l, r);
            expr_combine_reloc_class(op, l2, r2);
            EXPECT_EQ(GetCapturedStderr(), "");
            EXPECT_EQ(l.value_class, CLASS_UNKNOWN);
            EXPECT_EQ(l2.value_class, CLASS_UNKNOWN);
        }
    }
}

TEST_F(ExprOps, IllegalCombinationReportsErrorEighteen) {
    Section text_section{};
    Symbol a{}, b{};
    pass_number = 2;
    main_source.line = 31;
    ExprValue l = of_class(CLASS_RELOCATABLE, 4, &text_section, &a);
    ExprValue r = of_class(CLASS_RELOCATABLE, 6, &text_section, &b);
    CaptureStderr();
    ASSERT_EQ(expr_apply_binary(OP_ADD, l, r), 0);
    expr_combine_reloc_class(OP_ADD, l, r);
    EXPECT_EQ(GetCapturedStderr(),
              "prog.s: line 0031: PA-E0018 Error: Illegal relocatable expression operation\n");
    EXPECT_EQ(l.value_class, CLASS_ILLEGAL);
    EXPECT_EQ(l.value.raw, 10u);

    ExprValue m = of_class(CLASS_RELOCATABLE, 4, &text_section, &a);
    ExprValue two = integer(2);
    CaptureStderr();
    ASSERT_EQ(expr_apply_binary(OP_MULTIPLY, m, two), 0);
    expr_combine_reloc_class(OP_MULTIPLY, m, two);
    EXPECT_EQ(GetCapturedStderr(),
              "prog.s: line 0031: PA-E0018 Error: Illegal relocatable expression operation\n");
    EXPECT_EQ(m.value_class, CLASS_ILLEGAL);
}

TEST_F(ExprOps, SubtractionWithinOneSectionIsAbsolute) {
    Section text_section{};
    Symbol a{}, b{};
    a.value_class = CLASS_RELOCATABLE;
    b.value_class = CLASS_RELOCATABLE;
    ExprValue l = of_class(CLASS_RELOCATABLE, 0x30, &text_section, &a);
    ExprValue r = of_class(CLASS_RELOCATABLE, 0x10, &text_section, &b);
    ASSERT_EQ(expr_apply_binary(OP_SUBTRACT, l, r), 0);
    expr_combine_reloc_class(OP_SUBTRACT, l, r);
    EXPECT_EQ(l.value_class, CLASS_ABSOLUTE);
    EXPECT_EQ(l.value.raw, 0x20u);
    EXPECT_EQ(l.section, nullptr);
    EXPECT_EQ(l.symbol, &a);  // the symbol stays
    EXPECT_EQ(l.subtrahend_valid, 0);
}

TEST_F(ExprOps, SectionNameAndLabelOfOneSectionAdjustByTheOrigin) {
    Section section{};
    section.origin = 0x100;
    Symbol name{}, label{};
    name.value_class = CLASS_EXTERNAL;
    // section name - label: lowered by the origin of the right operand's section.
    ExprValue l = of_class(CLASS_EXTERNAL, 0x10, &section, &name);
    ExprValue r = of_class(CLASS_RELOCATABLE, 0, &section, &label);
    expr_combine_reloc_class(OP_SUBTRACT, l, r);
    EXPECT_EQ(l.value_class, CLASS_ABSOLUTE);
    EXPECT_EQ(l.value.raw, 0xFFFFFF10u);
    // label - section name: raised by it.
    ExprValue l2 = of_class(CLASS_RELOCATABLE, 0x10, &section, &label);
    ExprValue r2 = of_class(CLASS_EXTERNAL, 0, &section, &name);
    expr_combine_reloc_class(OP_SUBTRACT, l2, r2);
    EXPECT_EQ(l2.value_class, CLASS_ABSOLUTE);
    EXPECT_EQ(l2.value.raw, 0x110u);
    EXPECT_EQ(l2.section, nullptr);
}

TEST_F(ExprOps, DifferencesAcrossSectionsKeepTheSubtrahend) {
    Section one{}, two{};
    Symbol a{}, b{}, ext{};
    a.value_class = CLASS_RELOCATABLE;
    b.value_class = CLASS_RELOCATABLE;
    ext.value_class = CLASS_EXTERNAL;
    ExprValue l = of_class(CLASS_RELOCATABLE, 8, &one, &a);
    ExprValue r = of_class(CLASS_RELOCATABLE, 2, &two, &b);
    ASSERT_EQ(expr_apply_binary(OP_SUBTRACT, l, r), 0);
    expr_combine_reloc_class(OP_SUBTRACT, l, r);
    EXPECT_EQ(l.value_class, CLASS_DIFFERENCE);
    EXPECT_EQ(l.value.raw, 6u);
    EXPECT_EQ(l.symbol, &a);
    EXPECT_EQ(l.section, &one);
    EXPECT_EQ(l.subtrahend, &b);
    EXPECT_EQ(l.subtrahend_valid, 1);

    // A label minus an external is a difference too.
    ExprValue l2 = of_class(CLASS_RELOCATABLE, 8, &one, &a);
    ExprValue r2 = of_class(CLASS_EXTERNAL, 0, nullptr, &ext);
    expr_combine_reloc_class(OP_SUBTRACT, l2, r2);
    EXPECT_EQ(l2.value_class, CLASS_DIFFERENCE);
    EXPECT_EQ(l2.subtrahend, &ext);

    // A difference minus an absolute stays a difference with its subtrahend.
    ExprValue three = integer(3);
    expr_combine_reloc_class(OP_SUBTRACT, l, three);
    EXPECT_EQ(l.value_class, CLASS_DIFFERENCE);
    EXPECT_EQ(l.subtrahend, &b);

    // An absolute minus a difference takes the difference's symbol as subtrahend.
    ExprValue abs = integer(3);
    ExprValue diff = of_class(CLASS_DIFFERENCE, 1, &one, &a);
    expr_combine_reloc_class(OP_SUBTRACT, abs, diff);
    EXPECT_EQ(abs.value_class, CLASS_DIFFERENCE);
    EXPECT_EQ(abs.subtrahend, &a);
    EXPECT_EQ(abs.subtrahend_valid, 1);
}

TEST_F(ExprOps, AbsoluteMinusRelocatableIsNegated) {
    Section one{};
    Symbol a{};
    ExprValue l = integer(4);
    ExprValue r = of_class(CLASS_RELOCATABLE, 1, &one, &a);
    ASSERT_EQ(expr_apply_binary(OP_SUBTRACT, l, r), 0);
    expr_combine_reloc_class(OP_SUBTRACT, l, r);
    EXPECT_EQ(l.value_class, CLASS_NEGATED);
    EXPECT_EQ(l.value.raw, 3u);
    EXPECT_EQ(l.section, &one);
    EXPECT_EQ(l.symbol, &a);
    EXPECT_EQ(l.subtrahend_valid, 0);
}

TEST_F(ExprOps, ExternalResultsNameTheExternal) {
    Symbol kept{}, ext{};
    ext.value_class = CLASS_EXTERNAL;
    // An absolute value that still names a symbol (a difference within one
    // section), plus an external: the external becomes the symbol.
    ExprValue l = integer(2);
    l.symbol = &kept;
    ExprValue r = of_class(CLASS_EXTERNAL, 0, nullptr, &ext);
    expr_combine_reloc_class(OP_ADD, l, r);
    EXPECT_EQ(l.value_class, CLASS_EXTERNAL);
    EXPECT_EQ(l.symbol, &ext);

    // A right operand whose own symbol is not of the external class leaves
    // the left symbol.
    Symbol plain{};
    plain.value_class = CLASS_RELOCATABLE;
    ExprValue l2 = integer(2);
    l2.symbol = &kept;
    ExprValue r2 = of_class(CLASS_EXTERNAL, 0, nullptr, &plain);
    expr_combine_reloc_class(OP_ADD, l2, r2);
    EXPECT_EQ(l2.value_class, CLASS_EXTERNAL);
    EXPECT_EQ(l2.symbol, &kept);
}

TEST_F(ExprOps, CombinationTakesMissingSectionAndSymbolAndOrsForwardReferences) {
    Section one{};
    Symbol a{};
    ExprValue l = integer(1);
    ExprValue r = of_class(CLASS_RELOCATABLE, 0x20, &one, &a);
    r.forward_ref = 1;
    ASSERT_EQ(expr_apply_binary(OP_ADD, l, r), 0);
    expr_combine_reloc_class(OP_ADD, l, r);
    EXPECT_EQ(l.value_class, CLASS_RELOCATABLE);
    EXPECT_EQ(l.value.raw, 0x21u);
    EXPECT_EQ(l.section, &one);
    EXPECT_EQ(l.symbol, &a);
    EXPECT_EQ(l.forward_ref, 1);

    ExprValue x = of_class(CLASS_RELOCATABLE, 0x20, &one, &a);
    x.forward_ref = 1;
    ExprValue y = integer(1);
    expr_combine_reloc_class(OP_ADD, x, y);
    EXPECT_EQ(x.forward_ref, 1);
    ExprValue p = integer(1);
    ExprValue q = integer(2);
    expr_combine_reloc_class(OP_ADD, p, q);
    EXPECT_EQ(p.forward_ref, 0);
}

// ---- The parser ----------------------------------------------------------------------------

// Scans operand text: pass 1 takes its tokens from the scanner and writes
// them to the token file; `replay` then reads the same tokens back as
// pass 2 does.
class ExprParser : public ExprOps {
protected:
    void SetUp() override {
        ExprOps::SetUp();
        lex_reset();
        token_file = std::tmpfile();
        ASSERT_NE(token_file, nullptr);
        section_symbol.name = intern_string(".text");
        section_symbol.section = &text_section;
        text_section.symbol = &section_symbol;
        text_section.memory_kind = MEMORY_PROGRAM;
        text_section.location = 0x40;
        current_section = &text_section;
    }
    void TearDown() override {
        if (token_file != nullptr) std::fclose(token_file);
        token_file = nullptr;
        current_section = nullptr;
    }

    void scan(const char* operand) {
        test_support::put_operand_line(operand);
        std::rewind(token_file);
        lex_next_token();
    }

    void replay() {
        std::rewind(token_file);
        pass_number = 2;
        sym_begin_pass();
        lex_next_token();
    }

    // Evaluates in pass 1, then again from the token file in pass 2, and
    // answers what pass 2 printed.
    std::string both_passes(const char* operand, ExprValue& value, int& status) {
        scan(operand);
        int first = expr_evaluate(value);
        CaptureStderr();
        replay();
        status = expr_evaluate(value);
        std::string printed = GetCapturedStderr();
        EXPECT_EQ(first, status) << operand;
        return printed;
    }

    Symbol* label(const char* name, Section* section, uint32_t value) {
        Symbol* symbol = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, intern_string(name)});
        symbol->value_class = CLASS_RELOCATABLE;
        symbol->value_type = TYPE_INTEGER;
        symbol->section = section;
        symbol->value.raw = value;
        symbol->flags |= SYM_DEFINED_PASS1 | SYM_DEFINED_PASS2;
        return symbol;
    }

    Section text_section{};
    Symbol section_symbol{};
};

TEST_F(ExprParser, PrecedenceAndAssociativity) {
    const int8_t I = TYPE_INTEGER, B = TYPE_BOOLEAN, C = TYPE_COMPLEMENTED;
    struct Case {
        const char* text;
        int32_t value;
        int8_t type;
    } cases[] = {
        {"1 + 2 * 3", 7, I},
        {"(1 + 2) * 3", 9, I},
        {"2 ** 3 ** 2", 64, I},
        {"-2 ** 2", 4, I},
        {"1 | 2 & 3", 3, I},
        {"6 & 3 | 8", 10, I},
        {"1 ^ 3 | 4", 6, I},
        {"10 - 3 - 2", 5, I},
        {"100 / 10 / 5", 2, I},
        {"1 << 2 + 1", 5, I},  // shifts bind like '*'
        {"1 + 2 << 3", 17, I},
        {"7 % 4 * 2", 6, I},
        {"1 + 2 < 4", 1, B},
        {"3 = 3", 1, B},
        {"3 == 3", 1, B},
        {"3 != 3", 0, B},
        {"2 <= 2 && 1 >= 2", 0, B},
        {"0 || 5", 1, B},
        {"1 ^^ 1", 0, B},
        {"- - 3", 3, I},
        {"~ -1", 0, C},
        {"~0 + 1", 0, C},
        {"-(~0)", 1, I},
        {"!0", 1, I},
        {"> 0x1234", 0x12, I},
        {"< 0x1234 + 1", 0x35, I},
        {"HANDLE ((1 << 16) + 5)", 5, I},
        {"EDSPAGE (3 << 16)", 3, I},
        {"EDSOFFSET ((3 << 16) + 5)", 0x8005, I},
        {"psvpage 0x123456", 0x12, I},
        {"'a' + 1", 98, I},
    };
    for (const Case& c : cases) {
        scan(c.text);
        ExprValue v;
        ASSERT_EQ(expr_evaluate(v), 0) << c.text;
        EXPECT_EQ(v.value_class, CLASS_ABSOLUTE) << c.text;
        EXPECT_EQ(v.value.raw, uint64_t{static_cast<uint32_t>(c.value)}) << c.text;
        EXPECT_EQ(v.value_type, c.type) << c.text;
        EXPECT_EQ(current_token.code, TOK_END_OF_STATEMENT) << c.text;
    }
}

TEST_F(ExprParser, LastOperatorComesFromTheLeftOperand) {
    struct Case {
        const char* text;
        int32_t last;
    } cases[] = {
        {"HANDLE (0x10005) + 1", OP_HANDLE},
        {"1 + HANDLE (0x10005)", OP_NONE},
        {"(PSVPAGE 0x20000)", OP_PSVPAGE},
        {"-(~3)", OP_NEGATE},
        {"7", OP_NONE},
    };
    for (const Case& c : cases) {
        scan(c.text);
        ExprValue v;
        ASSERT_EQ(expr_evaluate(v), 0) << c.text;
        EXPECT_EQ(v.last_operator, c.last) << c.text;
    }
}

TEST_F(ExprParser, StopsAtTheFirstTokenNoLevelTakes) {
    struct Case {
        const char* text;
        int32_t stop;
        int32_t value;
    } cases[] = {
        {"1 + 2, 3", TOK_COMMA, 3},
        {"4 ]", TOK_RBRACKET, 4},
        {"5 )", TOK_RPAREN, 5},
        {"6 [w0]", TOK_LBRACKET, 6},
        {"2 # 3", TOK_HASH, 2},
    };
    for (const Case& c : cases) {
        scan(c.text);
        ExprValue v;
        ASSERT_EQ(expr_evaluate(v), 0) << c.text;
        EXPECT_EQ(v.value.integer, c.value) << c.text;
        EXPECT_EQ(current_token.code, c.stop) << c.text;
    }
}

TEST_F(ExprParser, SyntaxErrorsArePrintedOnceInPassTwo) {
    main_source.line = 9;
    struct Case {
        const char* text;
        const char* printed;
        int32_t current;
    } cases[] = {
        {"(1 + 2", "prog.s: line 0009: PA-E0038 Error: Expected a right parenthesis ')'\n",
         TOK_END_OF_STATEMENT},
        {"+", "prog.s: line 0009: PA-E0001 Error: Syntax error\n", TOK_END_OF_STATEMENT},
        {"", "prog.s: line 0009: PA-E0001 Error: Syntax error\n", TOK_END_OF_STATEMENT},
        {"1 + , 2", "prog.s: line 0009: PA-E0001 Error: Syntax error\n", TOK_COMMA},
        {"1 / 0", "prog.s: line 0009: PA-E0045 Error: Division by zero\n", TOK_END_OF_STATEMENT},
        {"1 % (2 - 2)", "prog.s: line 0009: PA-E0045 Error: Division by zero\n",
         TOK_END_OF_STATEMENT},
        {"1 << 32", "prog.s: line 0009: PA-E0046 Error: Shift count is out of range\n",
         TOK_END_OF_STATEMENT},
        {"2 ** -1", "prog.s: line 0009: PA-E0047 Error: Exponentiation requires a positive power\n",
         TOK_END_OF_STATEMENT},
        {"5 % 2.0", "prog.s: line 0009: PA-E0048 Error: Modulus requires integral operands\n",
         TOK_END_OF_STATEMENT},
        {"1 < 2 < 3", "prog.s: line 0009: PA-E0023 Error: Expression type mismatch\n",
         TOK_END_OF_STATEMENT},
        {"(1 < 2) + 1", "prog.s: line 0009: PA-E0023 Error: Expression type mismatch\n",
         TOK_END_OF_STATEMENT},
        {"\"ab\" + 1", "prog.s: line 0009: PA-E0023 Error: Expression type mismatch\n",
         TOK_END_OF_STATEMENT},
    };
    for (const Case& c : cases) {
        ExprValue v;
        int status = 0;
        EXPECT_EQ(both_passes(c.text, v, status), c.printed) << c.text;
        EXPECT_EQ(status, -1) << c.text;
        EXPECT_EQ(current_token.code, c.current) << c.text;
    }
}

TEST_F(ExprParser, ScannerErrorTokenFailsWithNothingMoreReported) {
    main_source.line = 2;
    ExprValue v;
    int status = 0;
    // 08 is no octal number: the scanner's error is printed when pass 2
    // takes the token, and the evaluation adds nothing.
    EXPECT_EQ(both_passes("08 + 1", v, status),
              "prog.s: line 0002: PA-E0016 Error: Digit conflicts with radix specification\n");
    EXPECT_EQ(status, -1);
    EXPECT_EQ(current_token.code, TOK_ERROR);
}

TEST_F(ExprParser, ParenthesisLimitIsOnTheNestingDepth) {
    auto nested = [](int depth) {
        return std::string(static_cast<size_t>(depth), '(') + "1" +
               std::string(static_cast<size_t>(depth), ')');
    };
    ExprValue v;
    scan(nested(64).c_str());
    EXPECT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value.integer, 1);

    int status = 0;
    EXPECT_EQ(both_passes(nested(65).c_str(), v, status),
              "prog.s: line 0004: PA-E0024 Error: Expression stack overflow\n");
    EXPECT_EQ(status, -1);

    // Sixty-five groups side by side never nest deeper than one.
    std::string groups = "(1)";
    for (int i = 1; i < 65; ++i) groups += "+(1)";
    scan(groups.c_str());
    EXPECT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value.integer, 65);
}

TEST_F(ExprParser, PrimariesOfEveryKind) {
    scan("\"ab\" + \"cd\"");
    ExprValue v;
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value_type, TYPE_STRING);
    EXPECT_EQ(v.value.text, intern_string("abcd"));

    scan("\"x\" == \"x\"");
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value_type, TYPE_BOOLEAN);
    EXPECT_EQ(v.value.integer, 1);

    scan("1.5 * 2");
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value_type, TYPE_FLOAT);
    EXPECT_EQ(v.value.real, 3.0);

    scan("0xFFFFFFFF");
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value.raw, 0xFFFFFFFFu);  // the high half stays 0
    EXPECT_EQ(v.value.integer, -1);
}

TEST_F(ExprParser, RegisterAndConditionNames) {
    static const RegisterEntry registers[] = {
        {"W0", REG_W, 0, 0x1}, {"W1", REG_W, 1, 0x2}, {"WREG", REG_WREG, 0, 0x1}};
    static const ConditionEntry conditions[] = {{"eq", 0x32}, {"z", 0x32}};
    target_registers = registers;
    target_register_count = 3;
    target_conditions = conditions;
    target_condition_count = 2;

    scan("w1");
    ExprValue v;
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value_class, CLASS_ABSOLUTE);
    EXPECT_EQ(v.value_type, TYPE_REGISTER);
    EXPECT_EQ(v.value.reg, &registers[1]);

    scan("Z");
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value_type, TYPE_CONDITION);
    EXPECT_EQ(v.value.condition, &conditions[1]);

    // A register takes no arithmetic.
    ExprValue r;
    int status = 0;
    main_source.line = 4;
    EXPECT_EQ(both_passes("-W0", r, status),
              "prog.s: line 0004: PA-E0023 Error: Expression type mismatch\n");
    EXPECT_EQ(status, -1);
}

TEST_F(ExprParser, SymbolOperands) {
    Section data{};
    data.memory_kind = MEMORY_DATA;
    Symbol* start = label("start", &text_section, 0x10);
    label("finish", &text_section, 0x18);
    Symbol* buffer = label("buffer", &data, 0x200);

    scan("start + 4");
    ExprValue v;
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value_class, CLASS_RELOCATABLE);
    EXPECT_EQ(v.value_type, TYPE_INTEGER);
    EXPECT_EQ(v.value.raw, 0x14u);
    EXPECT_EQ(v.symbol, start);
    EXPECT_EQ(v.section, &text_section);
    EXPECT_EQ(v.forward_ref, 0);

    scan("finish - start");
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value_class, CLASS_ABSOLUTE);
    EXPECT_EQ(v.value.raw, 8u);

    scan("buffer - start");
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value_class, CLASS_DIFFERENCE);
    EXPECT_EQ(v.symbol, buffer);
    EXPECT_EQ(v.subtrahend, start);

    scan("4 - start");
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value_class, CLASS_NEGATED);

    scan("> start");
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value_type, TYPE_HIGH_BYTE);
    EXPECT_EQ(v.value.raw, 0x10u);

    scan("handle start");
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value_type, TYPE_LOW_WORD);
    EXPECT_NE(start->flags & SYM_BRANCH_TARGET, 0);

    scan("-start");
    EXPECT_EQ(expr_evaluate(v), -1);

    // An absolute equate leaves section and symbol empty.
    Symbol* size = sym_lookup_or_create(SymbolKey{SYMKIND_ORDINARY, intern_string("size")});
    size->value_class = CLASS_ABSOLUTE;
    size->value_type = TYPE_INTEGER;
    size->value.raw = 12;
    size->flags |= SYM_DEFINED_PASS1;
    scan("size * 2");
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value_class, CLASS_ABSOLUTE);
    EXPECT_EQ(v.value.raw, 24u);
    EXPECT_EQ(v.symbol, nullptr);
    EXPECT_EQ(v.section, nullptr);
}

TEST_F(ExprParser, RelocatableArithmeticThatIsIllegal) {
    label("first", &text_section, 0x10);
    label("second", &text_section, 0x18);
    main_source.line = 7;
    const char* const illegal = "prog.s: line 0007: PA-E0018 Error: Illegal relocatable expression operation\n";
    for (const char* text : {"first + second", "first * 2", "first << 1", "first < second"}) {
        ExprValue v;
        int status = 0;
        EXPECT_EQ(both_passes(text, v, status), illegal) << text;
        EXPECT_EQ(status, 0) << text;
        EXPECT_EQ(v.value_class, CLASS_ILLEGAL) << text;
    }
    // A later operator that meets the illegal value yields class 0 silently.
    ExprValue v;
    int status = 0;
    EXPECT_EQ(both_passes("first * 2 + 1", v, status), illegal);
    EXPECT_EQ(v.value_class, CLASS_UNKNOWN);
}

TEST_F(ExprParser, ForwardReferencesFlowSilentlyInPassOne) {
    scan("later + 1");
    ExprValue v;
    CaptureStderr();
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(v.value_class, CLASS_UNKNOWN);
    EXPECT_EQ(v.value_type, TYPE_NONE);
    EXPECT_EQ(v.forward_ref, 1);

    // By pass 2 a name the source never defines is an external, without error.
    replay();
    CaptureStderr();
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(v.value_class, CLASS_EXTERNAL);
    EXPECT_EQ(v.forward_ref, 1);
    EXPECT_STREQ(v.symbol->name, "later");
}

TEST_F(ExprParser, ForwardFlagFollowsTheDefinitionOfTheCurrentPass) {
    Symbol* defined_late = label("late", &text_section, 0x10);
    defined_late->flags = SYM_DEFINED_PASS1;  // pass 2 has not reached its definition yet
    ExprValue v;
    int status = 0;
    EXPECT_EQ(both_passes("late", v, status), "");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(v.forward_ref, 1);
    defined_late->flags |= SYM_DEFINED_PASS2;
    std::rewind(token_file);
    lex_next_token();
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.forward_ref, 0);
}

TEST_F(ExprParser, UndefinedNumericLabelIsAnErrorInPassTwoOnly) {
    main_source.line = 15;
    scan("1f + 2");
    ExprValue v;
    CaptureStderr();
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(v.value_class, CLASS_UNKNOWN);

    replay();
    CaptureStderr();
    ASSERT_EQ(expr_evaluate(v), 0);
    // The first forward reference to label 1 names its first instance; the
    // class-0 value then meets '+', which reports the mismatch at once.
    EXPECT_EQ(GetCapturedStderr(),
              "prog.s: line 0015: PA-E0007 Error: Symbol '$10001' is not defined\n"
              "prog.s: line 0015: PA-E0023 Error: Expression type mismatch\n");
    EXPECT_EQ(v.value_class, CLASS_UNKNOWN);
}

TEST_F(ExprParser, LocationCounter) {
    scan("$ + 2");
    ExprValue v;
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value_class, CLASS_RELOCATABLE);
    EXPECT_EQ(v.value_type, TYPE_INTEGER);
    EXPECT_EQ(v.value.raw, 0x42u);
    EXPECT_EQ(v.section, &text_section);
    EXPECT_EQ(v.symbol, &section_symbol);

    scan(".");
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value.raw, 0x40u);

    // Inside a data directive '$' is where the directive began, even after
    // its first elements moved the location counter on.
    capture_active = true;
    capture_start = 0x40;
    text_section.location = 0x46;
    scan("$");
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value.raw, 0x40u);
    capture_active = false;
    capture_start = 0;
}

TEST_F(ExprParser, AddressSpaceWarningsForProgramOperands) {
    Section data{};
    data.memory_kind = MEMORY_DATA;
    Section anywhere{};
    anywhere.memory_kind = MEMORY_ANY;
    label("buffer", &data, 0x10);
    label("code", &text_section, 0x10);
    label("free", &anywhere, 0x10);
    report_flags = REPORT_WARNINGS;
    main_source.line = 21;

    struct Case {
        const char* text;
        const char* printed;
    } cases[] = {
        {"buffer", "prog.s: line 0021: PA-W0004 Warning: 'buffer' address space illegal for this instruction\n"},
        {"code", ""},
        {"free", ""},
        {"12", ""},
    };
    for (const Case& c : cases) {
        scan(c.text);
        ExprValue v;
        ASSERT_EQ(expr_evaluate_in_space(v, MEMORY_PROGRAM), 0);
        replay();
        CaptureStderr();
        ASSERT_EQ(expr_evaluate_in_space(v, MEMORY_PROGRAM), 0) << c.text;
        EXPECT_EQ(GetCapturedStderr(), c.printed) << c.text;
        EXPECT_EQ(address_space_mask, MEMORY_ANY);
    }

    // '$' in a data section, for a program operand.
    current_section = &data;
    scan("$");
    ExprValue v;
    ASSERT_EQ(expr_evaluate_in_space(v, MEMORY_PROGRAM), 0);
    replay();
    CaptureStderr();
    ASSERT_EQ(expr_evaluate_in_space(v, MEMORY_PROGRAM), 0);
    EXPECT_EQ(GetCapturedStderr(),
              "prog.s: line 0021: PA-W0004 Warning: '$' address space illegal for this instruction\n");

    // Without the mask nothing is checked.
    scan("buffer");
    ASSERT_EQ(expr_evaluate(v), 0);
    replay();
    CaptureStderr();
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(GetCapturedStderr(), "");
}

TEST_F(ExprParser, HandleOfALabelDefinedFurtherDownMarksItInPassTwoOnly) {
    scan("handle later");
    ExprValue v;
    ASSERT_EQ(expr_evaluate(v), 0);
    Symbol* later = sym_lookup(SymbolKey{SYMKIND_ORDINARY, intern_string("later")});
    ASSERT_NE(later, nullptr);
    // Not defined yet in pass 1: the operator passes the unknown value on.
    EXPECT_EQ(v.value_class, CLASS_UNKNOWN);
    EXPECT_EQ(v.last_operator, OP_HANDLE);
    EXPECT_EQ(later->flags & SYM_BRANCH_TARGET, 0);

    // Pass 1 then defines it further down.
    later->value_class = CLASS_RELOCATABLE;
    later->value_type = TYPE_INTEGER;
    later->section = &text_section;
    later->value.raw = 0x30;
    later->flags |= SYM_DEFINED_PASS1;
    replay();
    ASSERT_EQ(expr_evaluate(v), 0);
    EXPECT_EQ(v.value_class, CLASS_RELOCATABLE);
    EXPECT_EQ(v.value_type, TYPE_LOW_WORD);
    EXPECT_NE(later->flags & SYM_BRANCH_TARGET, 0);
}

TEST_F(ExprParser, RawNamesAreLookedUpByTheirKindOfName) {
    Symbol* start = label("start", &text_section, 0x10);
    Symbol* special = sym_lookup_or_create(SymbolKey{SYMKIND_SPECIAL, intern_string("count?")});
    special->value_class = CLASS_ABSOLUTE;
    special->value_type = TYPE_INTEGER;
    special->value.raw = 5;
    special->flags |= SYM_DEFINED_PASS1;
    struct Case {
        const char* text;
        int8_t cls;
        uint32_t value;
        Symbol* symbol;
    } cases[] = {
        {"start + 2", CLASS_RELOCATABLE, 0x12, start},
        {"count? * 3", CLASS_ABSOLUTE, 15, nullptr},
    };
    for (const Case& c : cases) {
        test_support::put_operand_line(c.text);
        scan_flags = SCAN_RAW_NAMES;
        std::rewind(token_file);
        lex_next_token();
        ASSERT_TRUE(current_token.code == TOK_NAME || current_token.code == TOK_LOCAL_NAME) << c.text;
        ExprValue v;
        ASSERT_EQ(expr_evaluate(v), 0) << c.text;
        EXPECT_EQ(v.value_class, c.cls) << c.text;
        EXPECT_EQ(v.value.raw, uint64_t{c.value}) << c.text;
        EXPECT_EQ(v.symbol, c.symbol) << c.text;
    }
}

TEST_F(ExprParser, NoShortCircuitInLogicalOperators) {
    label("target", &text_section, 0x10);
    scan("0 && HANDLE target");
    ExprValue v;
    // The right operand is a relocatable low word, which no integer
    // operator takes; HANDLE has marked the label all the same.
    ASSERT_EQ(expr_evaluate(v), -1);
    Symbol* target = sym_lookup(SymbolKey{SYMKIND_ORDINARY, intern_string("target")});
    EXPECT_NE(target->flags & SYM_BRANCH_TARGET, 0);
}

}  // namespace
