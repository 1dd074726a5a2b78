// The scanner: turns the text of one source line into tokens, one per
// request, in pass 1. A word means different things by the field of the
// statement it stands in (label, mnemonic, operands), so the scanner keeps
// the field state of the line.
#include <algorithm>
#include <array>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "paasmdiag.h"
#include "paasmdirectives.h"
#include "paasmintern.h"
#include "paasmlex.h"
#include "paasmmatch.h"
#include "paasmquodra.h"
#include "paasmsym.h"

int32_t field_state = FIELD_LABEL;
const char* scan_pointer = line_buffer;
uint32_t scan_flags = 0;
char token_text[TOKEN_TEXT_MAX + 1];

// clang-format off
const int32_t char_class_table[128] = {
    // 0x00 - 0x0F: tab and carriage return are blanks, newline ends the statement
    CHAR_INVALID, CHAR_INVALID, CHAR_INVALID, CHAR_INVALID,
    CHAR_INVALID, CHAR_INVALID, CHAR_INVALID, CHAR_INVALID,
    CHAR_INVALID, CHAR_BLANK, TOK_END_OF_STATEMENT, CHAR_INVALID,
    CHAR_INVALID, CHAR_BLANK, CHAR_INVALID, CHAR_INVALID,
    // 0x10 - 0x1F
    CHAR_INVALID, CHAR_INVALID, CHAR_INVALID, CHAR_INVALID,
    CHAR_INVALID, CHAR_INVALID, CHAR_INVALID, CHAR_INVALID,
    CHAR_INVALID, CHAR_INVALID, CHAR_INVALID, CHAR_INVALID,
    CHAR_INVALID, CHAR_INVALID, CHAR_INVALID, CHAR_INVALID,
    // 0x20 - 0x2F:  space ! " # $ % & ' ( ) * + , - . /
    CHAR_BLANK, TOK_NOT, CHAR_STRING_QUOTE, TOK_HASH,
    TOK_LOCATION, TOK_PERCENT, TOK_AMPERSAND, CHAR_CHAR_QUOTE,
    TOK_LPAREN, TOK_RPAREN, TOK_STAR, TOK_PLUS,
    TOK_COMMA, TOK_MINUS, CHAR_POINT, TOK_SLASH,
    // 0x30 - 0x3F:  0-9 : ; < = > ?
    CHAR_DIGIT, CHAR_DIGIT, CHAR_DIGIT, CHAR_DIGIT,
    CHAR_DIGIT, CHAR_DIGIT, CHAR_DIGIT, CHAR_DIGIT,
    CHAR_DIGIT, CHAR_DIGIT, TOK_COLON, TOK_END_OF_STATEMENT,
    TOK_LESS, TOK_ASSIGN, TOK_GREATER, CHAR_NAME,
    // 0x40 - 0x4F:  @ A-O
    CHAR_NAME, CHAR_NAME, CHAR_NAME, CHAR_NAME,
    CHAR_NAME, CHAR_NAME, CHAR_NAME, CHAR_NAME,
    CHAR_NAME, CHAR_NAME, CHAR_NAME, CHAR_NAME,
    CHAR_NAME, CHAR_NAME, CHAR_NAME, CHAR_NAME,
    // 0x50 - 0x5F:  P-Z [ \ ] ^ _
    CHAR_NAME, CHAR_NAME, CHAR_NAME, CHAR_NAME,
    CHAR_NAME, CHAR_NAME, CHAR_NAME, CHAR_NAME,
    CHAR_NAME, CHAR_NAME, CHAR_NAME, TOK_LBRACKET,
    TOK_BACKSLASH, TOK_RBRACKET, TOK_CARET, CHAR_NAME,
    // 0x60 - 0x6F:  ` a-o
    CHAR_INVALID, CHAR_NAME, CHAR_NAME, CHAR_NAME,
    CHAR_NAME, CHAR_NAME, CHAR_NAME, CHAR_NAME,
    CHAR_NAME, CHAR_NAME, CHAR_NAME, CHAR_NAME,
    CHAR_NAME, CHAR_NAME, CHAR_NAME, CHAR_NAME,
    // 0x70 - 0x7F:  p-z { | } ~ DEL
    CHAR_NAME, CHAR_NAME, CHAR_NAME, CHAR_NAME,
    CHAR_NAME, CHAR_NAME, CHAR_NAME, CHAR_NAME,
    CHAR_NAME, CHAR_NAME, CHAR_NAME, TOK_LBRACE,
    TOK_BAR, TOK_RBRACE, TOK_TILDE, CHAR_INVALID,
};
// clang-format on

const KeywordOperator keyword_operator_table[20] = {
    {".ENDOF.", TOK_ENDOF},
    {".ENDOF_HI.", TOK_ENDOF_HI},
    {".SIZEOF.", TOK_SIZEOF},
    {".SIZEOF_HI.", TOK_SIZEOF_HI},
    {".STARTOF.", TOK_STARTOF},
    {".STARTOF_HI.", TOK_STARTOF_HI},
    {"BOOT", TOK_BOOT},
    {"DMAOFFSET", TOK_DMAOFFSET},
    {"DMAPAGE", TOK_DMAPAGE},
    {"EDSOFFSET", TOK_EDSOFFSET},
    {"EDSPAGE", TOK_EDSPAGE},
    {"HANDLE", TOK_HANDLE},
    {"PACKED_HI", TOK_PACKED_HI},
    {"PACKED_LO", TOK_PACKED_LO},
    {"PSVOFFSET", TOK_PSVOFFSET},
    {"PSVPAGE", TOK_PSVPAGE},
    {"PSVPTR", TOK_PSVPTR},
    {"SECURE", TOK_SECURE},
    {"TBLOFFSET", TOK_TBLOFFSET},
    {"TBLPAGE", TOK_TBLPAGE},
};

int32_t lex_char_class(unsigned char c) { return c < 128 ? char_class_table[c] : CHAR_INVALID; }

bool lex_is_word_char(unsigned char c) {
    int32_t cls = lex_char_class(c);
    return cls == CHAR_NAME || cls == CHAR_DIGIT || cls == CHAR_POINT || c == '#';
}

bool lex_is_dollar_word_char(unsigned char c) {
    int32_t cls = lex_char_class(c);
    return cls == CHAR_NAME || cls == CHAR_DIGIT || c == '#' || c == '$';
}

namespace {

size_t token_length = 0;  // characters in token_text

// ---- Reading characters ------------------------------------------------------

bool last_read_advanced = false;

// The next character; the end of the text reads as 0 and stays put.
unsigned char scan_read() {
    unsigned char c = static_cast<unsigned char>(*scan_pointer);
    last_read_advanced = c != 0;
    if (last_read_advanced) ++scan_pointer;
    return c;
}

// Gives back the character read last.
void scan_unread() {
    if (last_read_advanced) --scan_pointer;
    last_read_advanced = false;
}

unsigned char scan_peek() { return static_cast<unsigned char>(*scan_pointer); }

bool scan_accept(char wanted) {
    if (scan_peek() != static_cast<unsigned char>(wanted)) return false;
    scan_read();
    return true;
}

// Skips tabs and spaces; true when any were skipped.
bool scan_skip_spaces() {
    bool skipped = false;
    while (scan_peek() == ' ' || scan_peek() == '\t') {
        ++scan_pointer;
        skipped = true;
    }
    return skipped;
}

// Moves to the newline that ends the line (or its end), so that every
// further request on the line gives the end of statement again.
void scan_to_end_of_line() {
    const char* newline = std::strchr(scan_pointer, '\n');
    scan_pointer = newline != nullptr ? newline : scan_pointer + std::strlen(scan_pointer);
}

// ---- token_text ----------------------------------------------------------------

void text_clear() {
    token_length = 0;
    token_text[0] = '\0';
}

// Appends a character; what does not fit is dropped.
void text_append(unsigned char c) {
    if (token_length >= static_cast<size_t>(TOKEN_TEXT_MAX)) return;
    token_text[token_length++] = static_cast<char>(c);
    token_text[token_length] = '\0';
}

// As text_append for each character in turn: what does not fit is dropped.
void text_assign(const char* begin, const char* end) {
    size_t length = static_cast<size_t>(end - begin);
    if (length > static_cast<size_t>(TOKEN_TEXT_MAX)) length = static_cast<size_t>(TOKEN_TEXT_MAX);
    if (length != 0) std::memcpy(token_text, begin, length);
    token_text[length] = '\0';
    token_length = length;
}

bool is_suffix_char(unsigned char c) { return lex_is_word_char(c) || c == '$'; }

int hex_digit_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// ---- Token values --------------------------------------------------------------

int32_t error_token(int number) {
    current_token.value = {};
    current_token.value.integer = number;
    return TOK_ERROR;
}

void set_interned_value(const char* text, size_t length) {
    current_token.value = {};
    current_token.value.ref = intern_index_of(text, static_cast<uint32_t>(length));
}

// A short text of the numeric local-label forms, interned as the value.
int32_t numeric_label_token(int32_t code, const char* text, size_t length) {
    text_assign(text, text + length);
    set_interned_value(text, length);
    field_state = code == TOK_NUMERIC_LABEL ? FIELD_MNEMONIC : FIELD_OPERAND;
    return code;
}

// ---- Words -----------------------------------------------------------------------

// The meaning of the word in token_text by the field it stands in; the
// blanks after it have been skipped (`blank_followed` says whether there
// were any) and the follower is the next character.
int32_t classify_word(int32_t label_code, bool blank_followed) {
    if (field_state == FIELD_LABEL) return lex_make_label_token(label_code);
    if (field_state == FIELD_MNEMONIC) {
        if (scan_peek() == ':') return lex_make_label_token(label_code);
        if (!blank_followed && scan_peek() == '.') {
            // A suffix written after a word that a '.' ended.
            text_append(scan_read());
            while (is_suffix_char(scan_peek())) text_append(scan_read());
            scan_skip_spaces();
        }
        return lex_classify_mnemonic();
    }
    return lex_classify_operand_word(label_code);
}

// Name characters, digits, '.' and '#', by byte value.
const std::array<bool, 256> word_char_table = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c) table[static_cast<size_t>(c)] = lex_is_word_char(static_cast<unsigned char>(c));
    return table;
}();

// A word that begins with a name character or '.'. Its characters are
// taken in one step (the first one was read already).
int32_t scan_word(unsigned char first) {
    const char* begin = scan_pointer - 1;
    const char* end = scan_pointer;
    while (word_char_table[static_cast<unsigned char>(*end)]) ++end;
    scan_pointer = end;
    text_assign(begin, end);
    unsigned char last = static_cast<unsigned char>(end[-1]);
    bool blank_followed = scan_skip_spaces();
    if (token_length == 1 && first == '.') {
        field_state = FIELD_OPERAND;
        return TOK_LOCATION;
    }
    return classify_word(last == '?' ? TOK_LOCAL_LABEL : TOK_LABEL, blank_followed);
}

// A word that begins with '$': the location counter, the numeric local
// label forms, or a local name ('.' ends it).
int32_t scan_dollar_word() {
    text_clear();
    text_append('$');
    while (lex_is_dollar_word_char(scan_peek())) text_append(scan_read());
    bool blank_followed = scan_skip_spaces();
    if (token_length == 1) {
        field_state = FIELD_OPERAND;
        return TOK_LOCATION;
    }
    if (token_length == 2) {
        char second = token_text[1];
        if (second == '$') {
            scan_accept(':');
            return numeric_label_token(TOK_NUMERIC_LABEL, "$$", 2);
        }
        if (second == 'f' || second == 'F' || second == 'b' || second == 'B') {
            char text[2] = {'$', second};
            return numeric_label_token(TOK_NUMERIC_REF, text, 2);
        }
    }
    return classify_word(TOK_LOCAL_LABEL, blank_followed);
}

// A digit: a numeric local label, a reference to one, or a number.
int32_t scan_digit(unsigned char digit) {
    unsigned char next = scan_peek();
    if (next == 'f' || next == 'F') {
        scan_read();
        char text[2] = {static_cast<char>(digit), static_cast<char>(next)};
        return numeric_label_token(TOK_NUMERIC_REF, text, 2);
    }
    if (next == 'b' || next == 'B') {
        unsigned char after = static_cast<unsigned char>(scan_pointer[1]);
        if (after != '0' && after != '1') {
            scan_read();
            char text[2] = {static_cast<char>(digit), static_cast<char>(next)};
            return numeric_label_token(TOK_NUMERIC_REF, text, 2);
        }
    }
    const char* colon = scan_pointer;
    while (*colon == ' ' || *colon == '\t') ++colon;
    if (*colon == ':') {
        scan_pointer = colon + 1;
        char text[2] = {static_cast<char>(digit), '$'};
        return numeric_label_token(TOK_NUMERIC_LABEL, text, 2);
    }
    field_state = FIELD_OPERAND;
    return lex_scan_number(static_cast<char>(digit));
}

// Converts the text of a floating-point constant in the C locale's form,
// whatever locale the process runs in.
int32_t convert_float(const char* begin, const char* end) {
    const char* point = std::localeconv()->decimal_point;
    std::string text;
    for (const char* p = begin; p < end; ++p) {
        if (*p == '.')
            text += (point != nullptr && *point != '\0') ? point : ".";
        else
            text += *p;
    }
    errno = 0;
    double value = std::strtod(text.c_str(), nullptr);
    // Only an overflow is an error; an underflow keeps the tiny value.
    if (errno == ERANGE && std::isinf(value)) return error_token(50);
    current_token.value = {};
    current_token.value.real = value;
    return TOK_FLOAT;
}

}  // namespace

// ---- The scanner -------------------------------------------------------------------

int32_t lex_scan_token() {
    current_token.value = {};
    unsigned char c;
    int32_t cls;
    for (;;) {
        c = scan_read();
        if (c == 0) return TOK_END_OF_STATEMENT;  // the end of the line's text
        cls = lex_char_class(c);
        if (cls == CHAR_INVALID) diag_fatal(7);
        if (cls != CHAR_BLANK) break;
        if (field_state == FIELD_LABEL) field_state = FIELD_MNEMONIC;
    }
    if (c == '\n') {
        scan_unread();  // stays the end of statement if asked again
        return TOK_END_OF_STATEMENT;
    }
    if (c == ';') {
        scan_to_end_of_line();  // a comment, never read
        return TOK_END_OF_STATEMENT;
    }
    if (cls == CHAR_NAME || cls == CHAR_POINT) return scan_word(c);
    if (cls == CHAR_DIGIT) return scan_digit(c);
    if (c == '$') return scan_dollar_word();
    if (cls == CHAR_STRING_QUOTE) {
        field_state = FIELD_OPERAND;
        return lex_scan_string();
    }
    if (cls == CHAR_CHAR_QUOTE) {
        field_state = FIELD_OPERAND;
        return lex_scan_char_constant();
    }
    // Operators, which leave the field state as it is.
    switch (c) {
        case '!':
            return scan_accept('=') ? TOK_NOT_EQUAL : TOK_NOT;
        case '<':
            if (scan_accept('<')) return TOK_SHIFT_LEFT;
            return scan_accept('=') ? TOK_LESS_EQUAL : TOK_LESS;
        case '>':
            if (scan_accept('>')) return TOK_SHIFT_RIGHT;
            return scan_accept('=') ? TOK_GREATER_EQUAL : TOK_GREATER;
        case '=':
            return scan_accept('=') ? TOK_EQUAL_EQUAL : TOK_ASSIGN;
        case '&':
            return scan_accept('&') ? TOK_LOGICAL_AND : TOK_AMPERSAND;
        case '*':
            return scan_accept('*') ? TOK_POWER : TOK_STAR;
        case '+':
            return scan_accept('+') ? TOK_INCREMENT : TOK_PLUS;
        case '-':
            return scan_accept('-') ? TOK_DECREMENT : TOK_MINUS;
        case '|':
            return scan_accept('|') ? TOK_LOGICAL_OR : TOK_BAR;
        case '^':
            if (scan_accept('$') || scan_accept('&')) return TOK_AMPERSAND;
            if (scan_accept('<')) return TOK_SHIFT_LEFT;
            if (scan_accept('>')) return TOK_SHIFT_RIGHT;
            if (scan_accept('^')) return TOK_LOGICAL_XOR;
            if (scan_accept('|')) return TOK_BAR;
            return TOK_CARET;
        case '/':
            return TOK_SLASH;
        default:
            break;
    }
    // Every other punctuation character is its own token.
    field_state = FIELD_OPERAND;
    return cls;
}

int32_t lex_skip_line() {
    current_token.value = {};
    for (;;) {
        unsigned char c = scan_read();
        if (c == 0) return TOK_END_OF_STATEMENT;
        int32_t cls = lex_char_class(c);
        if (cls == CHAR_BLANK) continue;
        if (c == '\n') {
            scan_unread();
            return TOK_END_OF_STATEMENT;
        }
        if (cls == CHAR_INVALID) diag_fatal(7);
        scan_to_end_of_line();
        return TOK_END_OF_STATEMENT;
    }
}

int32_t lex_find_keyword_operator(const char* word, const KeywordOperator* table, int count) {
    int low = 0;
    int high = count - 1;
    while (low <= high) {
        int mid = low + (high - low) / 2;
        const unsigned char* a = reinterpret_cast<const unsigned char*>(word);
        const unsigned char* b = reinterpret_cast<const unsigned char*>(table[mid].name);
        int difference;
        for (;; ++a, ++b) {
            int ca = (*a >= 'a' && *a <= 'z') ? *a - 'a' + 'A' : *a;
            difference = ca - *b;
            if (difference != 0 || *b == 0) break;
        }
        if (difference == 0) return table[mid].code;
        if (difference < 0)
            high = mid - 1;
        else
            low = mid + 1;
    }
    return TOK_ERROR;
}

// ---- Literals ----------------------------------------------------------------------

int32_t lex_scan_number(char first_digit) {
    const char* start = scan_pointer - 1;  // the first digit
    const char* p = scan_pointer;
    uint32_t radix = 10;
    if (first_digit == '0' && (*p == 'x' || *p == 'X')) {
        radix = 16;
        ++p;
    } else if (first_digit == '0' && (*p == 'b' || *p == 'B')) {
        radix = 2;
        ++p;
    } else if (first_digit == '0' && *p == '.') {
        p = start;
    } else if (first_digit == '0') {
        radix = 8;
        p = start;
    } else {
        p = start;
    }

    // The digits first: a digit that the radix does not allow ends the
    // token just after it. The value is gathered on the way; an overflow
    // counts only once the digits are known to make an integer.
    const uint32_t limit = radix == 16 ? 0x0FFFFFFFu : radix == 8 ? 0x1FFFFFFFu : radix == 2 ? 0x7FFFFFFFu : 0;
    uint32_t value = 0;
    bool overflow = false;
    for (int digit; (digit = hex_digit_value(static_cast<unsigned char>(*p))) >= 0; ++p) {
        uint32_t d = static_cast<uint32_t>(digit);
        if (d >= radix) {
            scan_pointer = p + 1;
            text_assign(start, scan_pointer);
            return error_token(16);
        }
        // Every radix holds exactly 0 to 0xFFFFFFFF.
        bool room = radix == 10 ? value <= (4294967295u - d) / 10u : value <= limit;
        if (!room) overflow = true;
        if (!overflow) value = value * radix + d;
    }

    if (radix == 10 && *p == '.') {
        // A floating-point constant; its integral part is not held to 32
        // bits. An 'e' and its sign belong to it even when no digit follows.
        const char* end = p + 1;
        while (*end >= '0' && *end <= '9') ++end;
        if (*end == 'e' || *end == 'E') {
            ++end;
            if (*end == '+' || *end == '-') ++end;
            while (*end >= '0' && *end <= '9') ++end;
        }
        scan_pointer = end;
        text_assign(start, end);
        return convert_float(start, end);
    }

    // An integer; an overflow is one error token for the whole number.
    scan_pointer = p;
    text_assign(start, p);
    if (overflow) return error_token(51);

    current_token.value = {};
    current_token.value.ref = value;
    return TOK_INTEGER;
}

int32_t lex_scan_escape() {
    unsigned char c = scan_read();
    switch (c) {
        case '"': return 34;
        case '\'': return 39;
        case '\\': return 92;
        case 'a': return 7;
        case 'b': return 8;
        case 'f': return 12;
        case 'n': return 10;
        case 'r': return 13;
        case 't': return 9;
        case 'v': return 11;
        case '\n':
        case 0:
            scan_unread();  // the line's end stays for the next token
            return -1;
        default: break;
    }
    if (c >= '0' && c <= '7') {
        int32_t value = c - '0';
        for (int more = 0; more < 2 && scan_peek() >= '0' && scan_peek() <= '7'; ++more)
            value = value * 8 + (scan_read() - '0');
        return value > 255 ? -1 : value;
    }
    uint32_t radix = 0;
    if (c == 'd' || c == 'D') radix = 10;
    if (c == 'x' || c == 'X') radix = 16;
    if (radix == 0) return c;  // any other character stands for itself
    // The value saturates above 255, so that no run of digits wraps round
    // into a valid code.
    uint32_t value = 0;
    int digits = 0;
    for (;;) {
        int digit = hex_digit_value(scan_peek());
        if (digit < 0 || static_cast<uint32_t>(digit) >= radix) break;
        scan_read();
        ++digits;
        value = value > 255 ? 256 : value * radix + static_cast<uint32_t>(digit);
    }
    if (digits == 0 || value > 255) return -1;
    return static_cast<int32_t>(value);
}

int32_t lex_scan_string() {
    text_clear();
    for (;;) {
        unsigned char c = scan_read();
        if (c == '\n' || c == 0) {
            scan_unread();
            return error_token(36);
        }
        if (c == '"') {
            if (!scan_accept('"')) break;  // a doubled quote stands for one
        } else if (c == '\\' && (scan_flags & SCAN_RAW_BACKSLASH) == 0) {
            int32_t value = lex_scan_escape();
            if (value < 0) return error_token(15);
            if (value == 0) return error_token(49);
            c = static_cast<unsigned char>(value);
        }
        if (token_length >= static_cast<size_t>(TOKEN_TEXT_MAX)) return error_token(4);
        text_append(c);
    }
    set_interned_value(token_text, token_length);
    return TOK_STRING;
}

int32_t lex_scan_char_constant() {
    const char* start = scan_pointer;
    unsigned char c = scan_read();
    if (c == '\n' || c == 0) {
        scan_unread();
        return error_token(35);
    }
    if (c == '\'') return error_token(35);
    int32_t value;
    if (c == '\\') {
        value = lex_scan_escape();
        if (value < 0) return error_token(15);
    } else {
        value = c >= 0x80 ? static_cast<int32_t>(c) - 256 : c;  // a signed 8-bit code
    }
    text_assign(start, scan_pointer);
    c = scan_read();
    if (c == '\n' || c == 0) {
        scan_unread();
        return error_token(35);
    }
    if (c != '\'') return error_token(35);
    current_token.value = {};
    current_token.value.integer = value;
    return TOK_INTEGER;
}

// ---- Word lookups ------------------------------------------------------------------

namespace {

// What the words of the mnemonic field were found to be, by their text: a
// source repeats a few dozen mnemonics and directives over and over. A
// direct-mapped cache; a word that shares a slot replaces the one there.
// The answers hold while the stamp below stays the same.
constexpr size_t MNEMONIC_CACHE_SLOTS = 256;  // a power of two
constexpr size_t MNEMONIC_CACHE_TEXT = 24;    // longer words are not kept
struct MnemonicCacheSlot {
    char text[MNEMONIC_CACHE_TEXT];
    uint8_t length;      // 0: the slot is empty
    int32_t code;        // TOK_MNEMONIC or TOK_DIRECTIVE
    decltype(Token::value) value;  // the token's value, suffix included
};
MnemonicCacheSlot mnemonic_cache[MNEMONIC_CACHE_SLOTS];

MnemonicCacheSlot& mnemonic_cache_slot(const char* text, size_t length) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < length; ++i) h = (h ^ static_cast<unsigned char>(text[i])) * 16777619u;
    return mnemonic_cache[(h ^ (h >> 16)) & (MNEMONIC_CACHE_SLOTS - 1)];
}

// What the operand words were found to be, by their interned index: 0 not
// looked at yet, 1 none of the kinds below, else 2 plus the index of the
// (token code, table row) pair in operand_word_kinds: a register, a
// condition or a keyword operator. The few such pairs are kept once, so
// that every interned word costs two bytes here.
struct OperandWordKind {
    int32_t code;
    uint32_t ref;
};
constexpr uint16_t OPERAND_WORD_UNKNOWN = 0;
constexpr uint16_t OPERAND_WORD_PLAIN = 1;
std::vector<uint16_t> operand_word_classes;
std::vector<OperandWordKind> operand_word_kinds;

// The class number of a (code, row) pair, the pair added when new; unknown
// when the numbers have run out (the word is then looked up every time).
uint16_t operand_word_kind_number(int32_t code, uint32_t ref) {
    for (size_t k = 0; k < operand_word_kinds.size(); ++k)
        if (operand_word_kinds[k].code == code && operand_word_kinds[k].ref == ref) return static_cast<uint16_t>(k + 2);
    if (operand_word_kinds.size() + 2 > UINT16_MAX) return OPERAND_WORD_UNKNOWN;
    operand_word_kinds.push_back(OperandWordKind{code, ref});
    return static_cast<uint16_t>(operand_word_kinds.size() + 1);
}

// What the answers of both caches depend on besides the words: the tables,
// the hooks, the selected device and the interned indices. A cache made
// under other ones is emptied before it is used.
struct WordCacheStamp {
    const MnemonicEntry* mnemonics;
    int mnemonic_count;
    const RegisterEntry* registers;
    int register_count;
    const ConditionEntry* conditions;
    int condition_count;
    TargetSuffixHook suffix_hook;
    TargetAvailableHook available_hook;
    uint32_t family;
    uint32_t interning;
    bool operator==(const WordCacheStamp&) const = default;
};
WordCacheStamp word_cache_stamp{};
// The length of the longest register or condition name of the tables of
// the stamp: a longer word names neither, and is not looked up (a program
// of a section per function has a new long name on every .section line).
size_t longest_register_word = 0;

size_t lex_longest_register_word() {
    size_t longest = 0;
    for (int row = 0; target_registers != nullptr && row < target_register_count; ++row)
        if (const char* name = target_registers[row].register_name) longest = std::max(longest, std::strlen(name));
    for (int row = 0; target_conditions != nullptr && row < target_condition_count; ++row)
        if (const char* name = target_conditions[row].condition_name) longest = std::max(longest, std::strlen(name));
    return longest;
}

// Whether the text has at most `limit` bytes.
bool lex_word_fits(const char* text, size_t limit) {
    for (size_t at = 0; at <= limit; ++at)
        if (text[at] == '\0') return true;
    return false;
}

void lex_check_word_caches() {
    WordCacheStamp now{target_mnemonics,   target_mnemonic_count, target_registers,      target_register_count,
                       target_conditions,  target_condition_count, target_suffix_hook,   target_available_hook,
                       device_family_flags, intern_generation()};
    if (now == word_cache_stamp) return;
    for (MnemonicCacheSlot& slot : mnemonic_cache) slot.length = 0;
    operand_word_classes.clear();
    operand_word_kinds.clear();
    longest_register_word = lex_longest_register_word();
    word_cache_stamp = now;
}

}  // namespace

int32_t lex_classify_mnemonic() {
    field_state = FIELD_OPERAND;
    lex_check_word_caches();
    const bool cacheable = token_length != 0 && token_length < MNEMONIC_CACHE_TEXT;
    MnemonicCacheSlot* slot = cacheable ? &mnemonic_cache_slot(token_text, token_length) : nullptr;
    if (slot != nullptr && slot->length == token_length &&
        std::memcmp(slot->text, token_text, token_length) == 0) {
        current_token.value = slot->value;
        return slot->code;
    }
    current_token.value = {};
    int32_t code;
    // The lookup may set the suffix in value bytes 4 and 5; the row goes
    // into bytes 0 to 3.
    if (const MnemonicEntry* row = match_find_mnemonic(token_text)) {
        current_token.value.ref = static_cast<uint32_t>(row - target_mnemonics);
        code = TOK_MNEMONIC;
    } else if (const DirectiveEntry* entry = dir_find(token_text)) {
        current_token.value = {};
        current_token.value.ref = static_cast<uint32_t>(dir_index_of(entry));
        code = TOK_DIRECTIVE;
    } else {
        return error_token(13);
    }
    if (slot != nullptr) {
        std::memcpy(slot->text, token_text, token_length);
        slot->length = static_cast<uint8_t>(token_length);
        slot->code = code;
        slot->value = current_token.value;
    }
    return code;
}

int32_t lex_classify_register(const char* word) {
    if (const RegisterEntry* reg = match_find_register(word)) {
        current_token.value = {};
        current_token.value.ref = static_cast<uint32_t>(reg - target_registers);
        return TOK_REGISTER;
    }
    if (const ConditionEntry* condition = match_find_condition(word)) {
        current_token.value = {};
        current_token.value.ref = static_cast<uint32_t>(condition - target_conditions);
        return TOK_CONDITION;
    }
    return 0;
}

int32_t lex_classify_operand_word(int32_t label_code) {
    uint32_t index = intern_index_of(token_text, static_cast<uint32_t>(token_length));
    const char* name = intern_text_at(index);
    lex_check_word_caches();
    if (index >= operand_word_classes.size()) {
        size_t size = operand_word_classes.size() < 1024 ? 1024 : operand_word_classes.size();
        while (size <= index) size *= 2;
        operand_word_classes.resize(size, OPERAND_WORD_UNKNOWN);
    }
    uint16_t& number = operand_word_classes[index];
    OperandWordKind kind{0, 0};
    if (number >= 2) {
        kind = operand_word_kinds[number - 2];
    } else if (number == OPERAND_WORD_UNKNOWN) {
        // The register and condition tables first, then the keyword operators.
        kind.code = lex_word_fits(name, longest_register_word) ? lex_classify_register(name) : 0;
        kind.ref = kind.code != 0 ? current_token.value.ref : 0;
        if (kind.code == 0) {
            int32_t keyword = lex_find_keyword_operator(name, keyword_operator_table, 20);
            if (keyword != TOK_ERROR) kind.code = keyword;
        }
        number = kind.code == 0 ? OPERAND_WORD_PLAIN : operand_word_kind_number(kind.code, kind.ref);
    }
    current_token.value = {};
    if (kind.code == TOK_REGISTER || kind.code == TOK_CONDITION) {
        current_token.value.ref = kind.ref;
        return kind.code;
    }
    current_token.value.ref = index;
    if (kind.code != 0) return kind.code;
    if ((scan_flags & SCAN_RAW_NAMES) != 0)
        return label_code == TOK_LOCAL_LABEL ? TOK_LOCAL_NAME : TOK_NAME;
    return lex_make_symbol_token(label_code, name);
}

int32_t lex_make_label_token(int32_t label_code) {
    set_interned_value(token_text, token_length);
    scan_accept(':');
    field_state = FIELD_MNEMONIC;
    return label_code;
}

int32_t lex_make_symbol_token(int32_t label_code, const char* name) {
    SymbolKey key;
    key.kind = label_code == TOK_LOCAL_LABEL ? SYMKIND_SPECIAL : SYMKIND_ORDINARY;
    key.name = name;
    Symbol* symbol = sym_reference(key);
    if (symbol == nullptr) return error_token(0);
    current_token.value = {};
    current_token.value.ref = symbol->index;
    return TOK_SYMBOL;
}
