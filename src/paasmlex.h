// Source lines, the token file and the scanner.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct Symbol;
struct MnemonicEntry;
struct RegisterEntry;
struct ConditionEntry;
struct DirectiveEntry;

// ---- Source file ----------------------------------------------------------

struct SourceFile {
    FILE* file = nullptr;    // open source handle, none once closed
    int32_t line = 0;        // current line, counted from 1 in every pass
    int32_t line_total = 0;  // lines read in pass 1 (set when pass 2 starts)
    std::string name;        // file name from the command line
    char marks[4] = {' ', ' ', ' ', ' '};  // listing flag column
};

extern SourceFile main_source;
extern SourceFile* current_source;

// ---- Tokens ---------------------------------------------------------------

enum TokenCode : int32_t {
    TOK_END_OF_SOURCE = -1,
    TOK_ERROR = 256,
    TOK_MNEMONIC = 257,
    TOK_DIRECTIVE = 258,
    TOK_REGISTER = 259,
    TOK_CONDITION = 260,
    TOK_LABEL = 261,
    TOK_NAME = 262,
    TOK_LOCAL_LABEL = 263,
    TOK_LOCAL_NAME = 264,
    TOK_NUMERIC_LABEL = 265,
    TOK_NUMERIC_REF = 266,
    TOK_SYMBOL = 267,
    TOK_STRING = 268,
    TOK_INTEGER = 269,
    TOK_FLOAT = 270,
    TOK_END_OF_STATEMENT = 276,
    TOK_LPAREN = 279,
    TOK_RPAREN = 280,
    TOK_LBRACKET = 281,
    TOK_RBRACKET = 282,
    TOK_LBRACE = 283,
    TOK_RBRACE = 284,
    TOK_NOT = 285,
    TOK_LESS = 286,
    TOK_LESS_EQUAL = 287,
    TOK_SHIFT_LEFT = 288,
    TOK_GREATER = 289,
    TOK_GREATER_EQUAL = 290,
    TOK_SHIFT_RIGHT = 291,
    TOK_EQUAL_EQUAL = 292,
    TOK_ASSIGN = 293,
    TOK_NOT_EQUAL = 294,
    TOK_COLON = 295,
    TOK_HASH = 296,
    TOK_LOCATION = 297,
    TOK_PERCENT = 298,
    TOK_AMPERSAND = 299,
    TOK_LOGICAL_AND = 300,
    TOK_STAR = 301,
    TOK_POWER = 302,
    TOK_SLASH = 303,
    TOK_PLUS = 304,
    TOK_INCREMENT = 305,
    TOK_MINUS = 306,
    TOK_DECREMENT = 307,
    TOK_CARET = 308,
    TOK_LOGICAL_XOR = 309,
    TOK_BAR = 310,
    TOK_LOGICAL_OR = 311,
    TOK_TILDE = 312,
    TOK_HANDLE = 317,
    TOK_PSVOFFSET = 318,
    TOK_PSVPTR = 319,
    TOK_BOOT = 320,
    TOK_SECURE = 321,
    TOK_DMAOFFSET = 322,
    TOK_EDSOFFSET = 323,
    TOK_EDSPAGE = 324,
    TOK_PSVPAGE = 325,
    TOK_TBLOFFSET = 326,
    TOK_TBLPAGE = 327,
    TOK_BACKSLASH = 328,
    TOK_COMMA = 329,
    TOK_DMAPAGE = 331,
    TOK_PACKED_LO = 332,
    TOK_PACKED_HI = 333,
    TOK_STARTOF = 334,
    TOK_STARTOF_HI = 335,
    TOK_SIZEOF = 336,
    TOK_SIZEOF_HI = 337,
    TOK_ENDOF = 338,
    TOK_ENDOF_HI = 339,
};

// Character classes that are not token codes.
enum CharClass : int32_t {
    CHAR_INVALID = 0,
    CHAR_BLANK = 272,
    CHAR_NAME = 273,
    CHAR_DIGIT = 274,
    CHAR_POINT = 275,
    CHAR_STRING_QUOTE = 277,
    CHAR_CHAR_QUOTE = 278,
};
extern const int32_t char_class_table[128];

// The token's 8-byte value. References to run-lived objects are 32-bit
// indices into run-wide tables (chosen by the token code), so that the
// token file's records hold them in their 32 value bits:
//   TOK_MNEMONIC   row of target_mnemonics (bytes 4-5: the suffix code)
//   TOK_DIRECTIVE  row of directive_table
//   TOK_REGISTER   row of target_registers
//   TOK_CONDITION  row of target_conditions
//   TOK_SYMBOL     symbol index (sym_symbol_at)
//   words, labels, strings and keyword operators: interned text index
//   (intern_text_at)
struct Token {
    int32_t code = 0;
    union {
        uint8_t bytes[8];
        int32_t integer;
        uint32_t ref;
        double real;
    } value{};
};

extern Token current_token;

// Shorthands that resolve the current token's reference.
const char* lex_token_text();  // interned word, label, name or string
Symbol* lex_token_symbol();
const MnemonicEntry* lex_token_mnemonic();
uint16_t lex_token_suffix();
void lex_set_token_suffix(uint16_t suffix);
const DirectiveEntry* lex_token_directive();
const RegisterEntry* lex_token_register();
const ConditionEntry* lex_token_condition();

// ---- Line state -------------------------------------------------------------

constexpr int LINE_BUFFER_SIZE = 666;  // 665 characters with the newline, and a zero byte
constexpr int TOKEN_TEXT_MAX = 665;

extern char line_buffer[LINE_BUFFER_SIZE];
extern int32_t pass_line_count;  // lines started in the current pass
extern int32_t lines_read;       // lines read from the file in this pass
extern int32_t line_total;       // lines of pass 1
extern char** saved_lines;       // pass-2 copies, one per line of pass 1
extern bool end_of_source;

// Scanner state.
enum ScanFlag : uint32_t {
    SCAN_RAW_BACKSLASH = 0x02,
    SCAN_RAW_NAMES = 0x08,
};
enum FieldState : int32_t { FIELD_LABEL = 0, FIELD_MNEMONIC = 1, FIELD_OPERAND = 2 };
extern int32_t field_state;
extern const char* scan_pointer;
extern uint32_t scan_flags;
extern char token_text[TOKEN_TEXT_MAX + 1];

// ---- Interfaces -------------------------------------------------------------

void lex_next_token();
void lex_next_line();
bool lex_fetch_saved_line(int32_t index);

// The most characters a written line may hold before its newline and be
// read back as one line: the reader takes 664 characters at a time, so a
// line of 664 or more is read as its first 664 and a line after them.
constexpr size_t LINE_WHOLE_MOST = LINE_BUFFER_SIZE - 3;

// The writers put a note after a copied line ("\t; [n]"). When the line
// and a note of `note_length` characters would be longer than a line that
// is read back whole, the line's trailing blanks are dropped so that the
// note stays on it; returns the length of what is kept.
size_t lex_fit_line_for_note(const char* text, size_t length, size_t note_length);
// In passes 3 and later, once the pass has read its first line: passes
// over up to `n` of the saved lines that follow without fetching them or
// reading their tokens, as if each had been read to its end. Answers how
// many were passed (fewer at the end of the saved lines; the line after
// them is read as usual).
int32_t lex_skip_saved_lines(int32_t n);
void lex_write_token();
void lex_read_token();
// Forgets the per-line token offsets of an earlier run (tests).
void lex_reset();

// The scanner (pass 1 only).
int32_t lex_scan_token();
int32_t lex_skip_line();

struct KeywordOperator {
    const char* name;
    int32_t code;
};
extern const KeywordOperator keyword_operator_table[20];
int32_t lex_find_keyword_operator(const char* word, const KeywordOperator* table, int count);

// The class of a character (bytes 0x80 to 0xFF are invalid).
int32_t lex_char_class(unsigned char c);
// A character a word goes on with: a name character, a digit, '.' or '#'
// ('$' is not one).
bool lex_is_word_char(unsigned char c);
// The characters after the '$' that begins a word: name characters,
// digits, '#' and '$' ('.' ends such a word).
bool lex_is_dollar_word_char(unsigned char c);

// The scanning operations. Each starts at `scan_pointer` (just after the
// character that selected it), returns a token code and sets the current
// token's value; the literal scanners collect into `token_text`.
int32_t lex_scan_number(char first_digit);
int32_t lex_scan_string();
int32_t lex_scan_char_constant();
// The value of the escape after a backslash (0 to 255), or -1 when it is
// invalid.
int32_t lex_scan_escape();
// The word in `token_text` in the mnemonic field: TOK_MNEMONIC,
// TOK_DIRECTIVE or TOK_ERROR (13).
int32_t lex_classify_mnemonic();
// TOK_REGISTER or TOK_CONDITION for a register or condition name, else 0
// (the value is then left alone).
int32_t lex_classify_register(const char* word);
// The word in `token_text` in the operand field; `label_code` is
// TOK_LABEL or TOK_LOCAL_LABEL.
int32_t lex_classify_operand_word(int32_t label_code);
// The word in `token_text` as a label: interned, a ':' after it consumed,
// the mnemonic field next.
int32_t lex_make_label_token(int32_t label_code);
// The symbol of an interned name, found or created.
int32_t lex_make_symbol_token(int32_t label_code, const char* name);
