// Data directives: characters, strings, integers, program words,
// floating-point values and LEB128 numbers, laid out by the geometry of the
// current section. Every operand emits the same number of elements in both
// passes, whatever errors it has, so that pass 2 stores exactly what pass 1
// counted.
#include <cmath>
#include <cstring>
#include <limits>

#include "paasmdiag.h"
#include "paasmdirectives.h"
#include "paasmdriver.h"
#include "paasmlex.h"
#include "paasmmatch.h"
#include "paasmomf.h"
#include "paasmpa.h"

namespace {

bool data_pass1() { return pass_number <= 1; }

// Data memory lays out bytes; program memory takes 16-bit and 32-bit
// elements.
bool data_byte_section() { return current_section->bytes_per_element == 1; }

bool data_absolute(const ExprValue& value, int8_t type) {
    return value.value_class == CLASS_ABSOLUTE && value.value_type == type;
}

bool data_relocatable(const ExprValue& value) {
    return value.value_class >= CLASS_RELOCATABLE && value.value_class <= CLASS_NEGATED;
}

// The integer bits that a value of any kind leaves for its field: the low
// 32 bits where the value is a number, 0 where it is a pointer or a double
// (those bits would differ from run to run).
uint32_t data_plain_bits(const ExprValue& value) {
    switch (value.value_type) {
        case TYPE_FLOAT:
        case TYPE_STRING:
        case TYPE_REGISTER:
        case TYPE_CONDITION: return 0;
        default: return value.value.word;
    }
}

uint16_t data_sign_extend_char(unsigned char c) {
    return static_cast<uint16_t>(static_cast<int16_t>(static_cast<int8_t>(c)));
}

void data_emit_le_bytes(uint64_t value, uint32_t count) {
    uint8_t bytes[8];
    for (uint32_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    omf_emit_bytes(count, bytes);
}

// ---- Integer fields: .byte, .word, .long, .pword ----------------------------

enum class DataField { byte, word, long_word, pword };

int data_field_width(DataField field) {
    switch (field) {
        case DataField::byte: return 8;
        case DataField::word: return 16;
        default: return 32;
    }
}

void data_emit_field_value(DataField field, uint32_t value) {
    if (data_byte_section()) {
        switch (field) {
            case DataField::byte: omf_emit_byte(static_cast<uint8_t>(value)); break;
            case DataField::word: data_emit_le_bytes(value, 2); break;
            default: data_emit_le_bytes(value, 4); break;
        }
        return;
    }
    switch (field) {
        case DataField::byte: omf_emit_word(static_cast<uint16_t>(value & 0xFFu)); break;
        case DataField::word: omf_emit_word(static_cast<uint16_t>(value)); break;
        case DataField::long_word: {
            uint16_t halves[2] = {static_cast<uint16_t>(value), static_cast<uint16_t>(value >> 16)};
            omf_emit_words(2, halves);
            break;
        }
        case DataField::pword: omf_emit_long(value); break;
    }
}

void data_emit_field_char(DataField field, unsigned char c) {
    if (data_byte_section()) {
        switch (field) {
            case DataField::byte: omf_emit_byte(c); break;
            case DataField::word: data_emit_le_bytes(c, 2); break;
            default: data_emit_le_bytes(c, 4); break;
        }
        return;
    }
    if (field == DataField::byte || field == DataField::word) {
        omf_emit_word(data_sign_extend_char(c));
    } else {
        uint16_t pieces[2] = {0, data_sign_extend_char(c)};
        omf_emit_words(2, pieces);
    }
}

int data_emit_field_operand(DataField field) {
    ExprValue value;
    int status = field == DataField::pword ? expr_evaluate_in_space(value, MEMORY_PROGRAM)
                                           : expr_evaluate(value);
    if (status != 0) {
        data_emit_field_value(field, data_plain_bits(value));
        return -1;
    }

    int32_t number = value.value.integer;
    uint32_t bits = value.value.word;
    if (data_absolute(value, TYPE_INTEGER)) {
        int result = 0;
        if (field == DataField::byte && (number < -128 || number > 255)) result = 21;
        if (field == DataField::word && (number < -32768 || number > 65535)) result = 21;
        data_emit_field_value(field, bits);
        return result;
    }
    if (data_absolute(value, TYPE_COMPLEMENTED)) {
        int result = field == DataField::byte && bits > 0xFFFFu ? 21 : 0;
        data_emit_field_value(field, bits);
        return result;
    }
    if (data_absolute(value, TYPE_STRING)) {
        // A string that is defined only further down was not known in pass
        // 1, which emitted one field for it: it is refused in both passes.
        if (value.forward_ref) {
            data_emit_field_value(field, 0);
            return 14;
        }
        const char* text = value.value.text != nullptr ? value.value.text : "";
        size_t length = std::strlen(text);
        if (length == 0) diag_warning(5);
        for (size_t i = 0; i < length; ++i) data_emit_field_char(field, static_cast<unsigned char>(text[i]));
        return 0;
    }
    if (data_relocatable(value)) {
        int result = 0;
        if (!data_pass1()) result = match_fit_data_value(value, data_field_width(field));
        data_emit_field_value(field, value.value.word);
        return result;
    }
    if (value.value_class == CLASS_UNKNOWN) {
        data_emit_field_value(field, data_plain_bits(value));
        if (field == DataField::byte || field == DataField::word) {
            diag_error(14);
            return -1;
        }
        return data_pass1() ? 0 : 14;
    }
    data_emit_field_value(field, data_plain_bits(value));
    return 14;
}

// Label, operand list and capture of the integer and floating-point
// directives.
int data_run_list(const SymbolKey& label, int (*emit_operand)()) {
    if (label.name != nullptr) sym_define_label(label);
    lex_next_token();
    omf_begin_capture();
    int first = 0;
    for (;;) {
        int result = emit_operand();
        if (first == 0) first = result;
        if (current_token.code != TOK_COMMA) break;
        lex_next_token();
    }
    omf_end_capture();
    return first;
}

// ---- Floating point -----------------------------------------------------------

// The nearest single (ties to even), with overflow to infinity done here so
// that no conversion leaves the float range.
uint32_t data_single_bits(double value) {
    float single;
    if (std::isnan(value)) {
        single = std::numeric_limits<float>::quiet_NaN();
    } else {
        // Halfway between the largest single and 2^128: at and above it the
        // nearest single is infinity.
        const double overflow = std::ldexp(1.0, 128) - std::ldexp(1.0, 103);
        if (std::fabs(value) >= overflow)
            single = std::signbit(value) ? -std::numeric_limits<float>::infinity()
                                         : std::numeric_limits<float>::infinity();
        else
            single = static_cast<float>(value);
    }
    uint32_t bits;
    std::memcpy(&bits, &single, sizeof bits);
    return bits;
}

uint64_t data_double_bits(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// ---- LEB128 -------------------------------------------------------------------

constexpr uint32_t leb_padded_length = 5;  // enough for any 32-bit value

void data_emit_leb_byte(uint8_t byte) {
    // The byte emitter serves only sections of 1-byte elements; in program
    // memory each byte takes one 16-bit element, which both passes count
    // alike.
    if (data_byte_section())
        omf_emit_byte(byte);
    else
        omf_emit_word(byte);
}

uint32_t data_encode_uleb(uint32_t value, uint8_t* out) {
    uint32_t length = 0;
    do {
        uint8_t byte = static_cast<uint8_t>(value & 0x7Fu);
        value >>= 7;
        if (value != 0) byte = static_cast<uint8_t>(byte | 0x80u);
        out[length++] = byte;
    } while (value != 0);
    return length;
}

uint32_t data_encode_sleb(int32_t value, uint8_t* out) {
    uint32_t length = 0;
    for (;;) {
        uint8_t byte = static_cast<uint8_t>(static_cast<uint32_t>(value) & 0x7Fu);
        value >>= 7;  // arithmetic shift (defined for negative values since C++20)
        bool last = (value == 0 && (byte & 0x40u) == 0) || (value == -1 && (byte & 0x40u) != 0);
        if (!last) byte = static_cast<uint8_t>(byte | 0x80u);
        out[length++] = byte;
        if (last) return length;
    }
}

// The five-byte form: every group of 7 bits with the continuation bit,
// the last group sign- or zero-filled.
uint32_t data_encode_leb_padded(int32_t value, bool is_signed, uint8_t* out) {
    uint32_t bits = static_cast<uint32_t>(value);
    for (uint32_t i = 0; i < leb_padded_length - 1; ++i)
        out[i] = static_cast<uint8_t>(((bits >> (7 * i)) & 0x7Fu) | 0x80u);
    uint32_t top = is_signed ? static_cast<uint32_t>(value >> 28) : bits >> 28;
    out[leb_padded_length - 1] = static_cast<uint8_t>(top & 0x7Fu);
    return leb_padded_length;
}

int data_run_leb(const SymbolKey& label, bool is_signed) {
    if (label.name != nullptr) sym_define_label(label);
    lex_next_token();
    omf_begin_capture();
    int result = 0;
    for (;;) {
        ExprValue value;
        if (expr_evaluate(value) != 0) {
            result = -1;
            break;
        }
        int32_t number = 0;
        if (value.value_class == CLASS_UNKNOWN) {
            diag_error(30);  // counts as 0
        } else if (value.value_class == CLASS_ABSOLUTE &&
                   (value.value_type == TYPE_INTEGER || value.value_type == TYPE_COMPLEMENTED)) {
            number = value.value.integer;
        } else {
            result = 30;
            break;
        }
        // A value that is defined only further down is 0 in pass 1 but known
        // in pass 2; its encoding would change length between the passes, so
        // it always takes the padded five-byte form.
        uint8_t bytes[leb_padded_length];
        uint32_t length;
        if (value.forward_ref)
            length = data_encode_leb_padded(number, is_signed, bytes);
        else if (is_signed)
            length = data_encode_sleb(number, bytes);
        else
            length = data_encode_uleb(static_cast<uint32_t>(number), bytes);
        for (uint32_t i = 0; i < length; ++i) data_emit_leb_byte(bytes[i]);
        if (current_token.code != TOK_COMMA) break;
        lex_next_token();
    }
    omf_end_capture();
    return result;
}

}  // namespace

// ---- Operand emitters -----------------------------------------------------------

int dir_emit_string_operand(bool zero_terminated, uint16_t& pending, bool& pending_set) {
    // In program memory characters pair up into 16-bit elements, the first
    // of a pair in the high byte.
    auto put = [&](unsigned char c) {
        if (data_byte_section()) {
            omf_emit_byte(c);
        } else if (!pending_set) {
            pending = static_cast<uint16_t>(c << 8);
            pending_set = true;
        } else {
            omf_emit_word(static_cast<uint16_t>(pending | c));
            pending = 0;
            pending_set = false;
        }
    };

    ExprValue value;
    if (expr_evaluate(value) != 0) {
        put(static_cast<unsigned char>(data_plain_bits(value)));
        return -1;
    }
    int32_t number = value.value.integer;
    uint32_t bits = value.value.word;
    if (data_absolute(value, TYPE_INTEGER)) {
        if (number < -128 || number > 255) diag_warning(6);
        put(static_cast<unsigned char>(bits));
        return 0;
    }
    if (data_absolute(value, TYPE_COMPLEMENTED)) {
        if (bits > 0xFFFFu) diag_warning(6);
        put(static_cast<unsigned char>(bits));
        return 0;
    }
    if (data_absolute(value, TYPE_STRING) && !value.forward_ref) {
        const char* text = value.value.text != nullptr ? value.value.text : "";
        size_t length = std::strlen(text);
        if (length == 0 && !zero_terminated) diag_warning(5);
        for (size_t i = 0; i < length; ++i) put(static_cast<unsigned char>(text[i]));
        if (zero_terminated) put(0);
        return 0;
    }
    // Not a character or string (a string defined only further down
    // included: pass 1 emitted one character for it).
    put(static_cast<unsigned char>(data_plain_bits(value)));
    return 14;
}

int dir_emit_byte_operand() { return data_emit_field_operand(DataField::byte); }

int dir_emit_word_operand() { return data_emit_field_operand(DataField::word); }

int dir_emit_long_operand() { return data_emit_field_operand(DataField::long_word); }

int dir_emit_pword_operand() { return data_emit_field_operand(DataField::pword); }

int dir_emit_float_operand() {
    double number = 0.0;
    int status = match_eval_float(number);
    uint32_t bits = status == 0 ? data_single_bits(number) : 0;  // zeros when it fails
    if (data_byte_section())
        data_emit_le_bytes(bits, 4);
    else
        omf_emit_long(bits);
    return status;
}

int dir_emit_double_operand() {
    double number = 0.0;
    int status = match_eval_float(number);
    uint64_t bits = status == 0 ? data_double_bits(number) : 0;  // zeros when it fails
    if (data_byte_section()) {
        data_emit_le_bytes(bits, 8);
    } else {
        uint16_t pieces[4];
        for (int i = 0; i < 4; ++i) pieces[i] = static_cast<uint16_t>(bits >> (16 * i));
        omf_emit_words(4, pieces);
    }
    return status;
}

// ---- Handlers -------------------------------------------------------------------

int dir_ascii(const SymbolKey& label, bool zero_terminated) {
    if (label.name != nullptr) sym_define_label(label);
    lex_next_token();
    omf_begin_capture();
    uint16_t pending = 0;
    bool pending_set = false;
    int first = 0;
    for (;;) {
        int result = dir_emit_string_operand(zero_terminated, pending, pending_set);
        if (first == 0) first = result;
        if (current_token.code != TOK_COMMA) break;
        lex_next_token();
    }
    // The half-filled last element goes out whatever the last operand gave,
    // so that both passes count alike.
    if (pending_set) omf_emit_word(pending);
    omf_end_capture();
    return first;
}

int dir_byte(const SymbolKey& label) { return data_run_list(label, dir_emit_byte_operand); }

int dir_word(const SymbolKey& label) { return data_run_list(label, dir_emit_word_operand); }

int dir_2byte(const SymbolKey& label) { return data_run_list(label, dir_emit_word_operand); }

int dir_long(const SymbolKey& label) { return data_run_list(label, dir_emit_long_operand); }

int dir_4byte(const SymbolKey& label) { return data_run_list(label, dir_emit_long_operand); }

int dir_pword(const SymbolKey& label) {
    if (label.name != nullptr) sym_define_label(label);
    lex_next_token();
    // Program words written as data are no instructions: an abstracted
    // sequence never runs across them.
    pa_end_block();
    if ((current_section->memory_kind & MEMORY_PROGRAM) == 0) diag_warning(9);
    omf_begin_capture();
    int first = 0;
    for (;;) {
        int result = dir_emit_pword_operand();
        if (first == 0) first = result;
        if (current_token.code != TOK_COMMA) break;
        lex_next_token();
    }
    omf_end_capture();
    return first;
}

int dir_float(const SymbolKey& label) { return data_run_list(label, dir_emit_float_operand); }

int dir_double(const SymbolKey& label) { return data_run_list(label, dir_emit_double_operand); }

int dir_sleb128(const SymbolKey& label) { return data_run_leb(label, true); }

int dir_uleb128(const SymbolKey& label) { return data_run_leb(label, false); }
