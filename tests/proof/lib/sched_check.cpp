// The scheduled-source check: lines first (every source line once, in its
// own text or in its delayed form, nothing added but nops), then the order
// of the instructions, judged with a small model of the instruction set
// kept here. The model gives each instruction the registers, data memory
// and status register it writes and reads, by the same masks the
// dependence graph compares (bit n for Wn, 16 and 17 for the accumulators,
// 18 to 20 for the page registers, 30 for data memory, 31 for the status
// register), worked out from the instruction set's operand rules.
#include "sched_check.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace {

// ---------------------------------------------------------------------------
// Lines and statements

// The program's reader takes at most 664 characters a line (a longer line
// goes on as the next line) and a zero byte ends a line's text.
constexpr size_t READ_MOST = 664;

std::vector<std::string> cut_source_lines(std::string_view text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t available = std::min(text.size() - at, READ_MOST);
        const std::string_view window = text.substr(at, available);
        const size_t newline = window.find('\n');
        const size_t taken = newline != std::string_view::npos ? newline + 1 : available;
        std::string_view chunk = text.substr(at, taken);
        at += taken;
        const size_t zero = chunk.find('\0');
        if (zero != std::string_view::npos) chunk = chunk.substr(0, zero);
        if (!chunk.empty() && chunk.back() == '\n') chunk.remove_suffix(1);
        lines.emplace_back(chunk);
    }
    return lines;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool is_word_char(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) != 0 || c == '_' || c == '.' || c == '$' || c == '?' || c == '#';
}

// The statement reader's blanks and word characters: a carriage return
// separates fields as a space does, and a word is letters, digits, '_',
// '?', '@', '.' and '#' ('$' starts a word of its own: `return$` is RETURN
// followed by the location counter; `$$:` and `$name:` are labels).
bool is_field_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool is_statement_word_char(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) != 0 || c == '_' || c == '?' || c == '@' || c == '.' || c == '#';
}

bool is_name_start(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalpha(u) != 0 || c == '_' || c == '.' || c == '$';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && (is_blank(text.front()) || text.front() == '\r')) text.remove_prefix(1);
    while (!text.empty() && (is_blank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// The section name that an operand of .section or .pushsection gives, as
// the scanner reads it: a quoted name whole (quotes and all), else the word
// at its start ('$' words take no '.'). `extra` tells whether anything but
// blanks follows the word before the first comma: then the attributes after
// it are not read either.
std::string section_name_of(std::string_view operand, bool* extra = nullptr) {
    operand = trim(operand);
    if (extra != nullptr) *extra = false;
    if (operand.empty() || operand.front() == '"' || operand.front() == '\'') return std::string(operand);
    const auto name_char = [](char c) {
        return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '?' || c == '@';
    };
    const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    size_t end = 0;
    if (operand.front() == '$') {
        while (end < operand.size() && (name_char(operand[end]) || digit(operand[end]) || operand[end] == '#' ||
                                        operand[end] == '$'))
            ++end;
    } else if (name_char(operand.front()) || operand.front() == '.') {
        while (end < operand.size() && (name_char(operand[end]) || digit(operand[end]) || operand[end] == '.' ||
                                        operand[end] == '#'))
            ++end;
    } else {
        return std::string(operand);
    }
    if (extra != nullptr) *extra = end < operand.size();
    return std::string(operand.substr(0, end));
}

// The text of a line before its comment: ';' ends the statement outside a
// string or a character constant.
std::string_view statement_text(std::string_view line) {
    bool in_string = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (in_string) {
            if (c == '\\') ++i;
            else if (c == '"') in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '\'') {
            if (i + 1 < line.size() && line[i + 1] == '\\') ++i;
            ++i;
            if (i + 1 < line.size() && line[i + 1] == '\'') ++i;
        } else if (c == ';') {
            return line.substr(0, i);
        }
    }
    return line;
}

const std::unordered_set<std::string>& mnemonic_names() {
    static const std::unordered_set<std::string> names = {
        "add",    "addc",   "and",    "asr",    "bclr",   "bra",    "bset",   "bsw",    "btg",    "btsc",
        "btss",   "btst",   "btsts",  "call",   "clr",    "clrwdt", "com",    "cp",     "cp0",    "cpb",
        "cpbeq",  "cpbgt",  "cpblt",  "cpbne",  "cpseq",  "cpsgt",  "cpslt",  "cpsne",  "daw",    "dec",
        "dec2",   "decsnz", "decsz",  "disi",   "div",    "divf",   "do",     "ed",     "edac",   "exch",
        "fbcl",   "ff1l",   "ff1r",   "goto",   "inc",    "inc2",   "incsnz", "incsz",  "ior",    "lac",
        "lnk",    "lsr",    "mac",    "mov",    "movpag", "movsac", "mpy",    "msc",    "mul",    "mulw",
        "neg",    "nop",    "nopr",   "pbra",   "pop",    "pretfie", "pretlw", "preturn", "push",  "pwrsav",
        "rcall",  "repeat", "reset",  "retfie", "retlw",  "return", "rlc",    "rlnc",   "rrc",    "rrnc",
        "sac",    "se",     "setm",   "sftac",  "sl",     "sub",    "subb",   "subbr",  "subr",   "swap",
        "tblrdh", "tblrdl", "tblwth", "tblwtl", "ulnk",   "xor",    "ze"};
    return names;
}

enum class Kind { none, label, directive, instruction, other };

struct Statement {
    Kind kind = Kind::none;
    std::string label;      // a label alone on its line
    std::string mnemonic;   // instruction: lower case, without the suffix
    std::string suffix;     // lower case, without the '.'
    std::string directive;  // lower case, with the '.'
    size_t mnemonic_at = 0;  // offset of the mnemonic (or directive) word in the line
    std::string operand_text;
    std::vector<std::string> operands;
};

std::vector<std::string> split_operands(std::string_view text) {
    std::vector<std::string> out;
    text = trim(text);
    if (text.empty()) return out;
    int depth = 0;
    bool in_string = false;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (in_string) {
            if (c == '\\') ++i;
            else if (c == '"') in_string = false;
            continue;
        }
        if (c == '"') in_string = true;
        else if (c == '[' || c == '(') ++depth;
        else if (c == ']' || c == ')') --depth;
        else if (c == ',' && depth == 0) {
            out.emplace_back(trim(text.substr(start, i - start)));
            start = i + 1;
        }
    }
    out.emplace_back(trim(text.substr(start)));
    return out;
}

Statement parse_statement(std::string_view line) {
    Statement st;
    const std::string_view text = statement_text(line);
    size_t at = 0;
    std::string pending_label;
    auto take_word = [&](size_t from) {
        size_t end = from;
        if (end < text.size() && text[end] == '$') {
            // `$$`, `$name`: a '$' word goes on with '$' but not with '.'.
            ++end;
            while (end < text.size() && (text[end] == '$' || (is_statement_word_char(text[end]) && text[end] != '.')))
                ++end;
            return end;
        }
        while (end < text.size() && is_statement_word_char(text[end])) ++end;
        return end;
    };
    // Only spaces and tabs may stand between a label and its ':'.
    auto past_spaces = [&](size_t from) {
        while (from < text.size() && is_blank(text[from])) ++from;
        return from;
    };
    if (!text.empty() && !is_field_blank(text[0])) {
        // A word in column 1 is a label, with or without ':'.
        const size_t end = take_word(0);
        if (end == 0) {
            st.kind = Kind::other;
            return st;
        }
        pending_label = std::string(text.substr(0, end));
        at = past_spaces(end);
        if (at < text.size() && text[at] == ':') ++at;
    }
    for (;;) {
        while (at < text.size() && is_field_blank(text[at])) ++at;
        if (at >= text.size()) {
            if (!pending_label.empty()) {
                st.kind = Kind::label;
                st.label = pending_label;
            }
            return st;
        }
        const size_t end = take_word(at);
        if (end == at) {
            st.kind = Kind::other;
            return st;
        }
        const size_t after = past_spaces(end);
        const bool colon = after < text.size() && text[after] == ':';
        // "$$" is a label also without its ':'.
        if ((colon || text.substr(at, end - at) == "$$") && pending_label.empty()) {
            pending_label = std::string(text.substr(at, end - at));
            at = colon ? after + 1 : after;
            continue;
        }
        const std::string word = lower(text.substr(at, end - at));
        st.mnemonic_at = at;
        st.operand_text = std::string(trim(text.substr(end)));
        st.operands = split_operands(st.operand_text);
        if (word[0] == '.') {
            st.kind = Kind::directive;
            st.directive = word;
            return st;
        }
        const size_t dot = word.find('.');
        const std::string base = word.substr(0, dot);
        if (mnemonic_names().count(base) == 0) {
            st.kind = Kind::other;
            return st;
        }
        st.kind = Kind::instruction;
        st.mnemonic = base;
        if (dot != std::string::npos) st.suffix = word.substr(dot + 1);
        return st;
    }
}

// ---------------------------------------------------------------------------
// The instruction model

constexpr uint32_t MEM = 1u << 30;
constexpr uint32_t STATUS = 1u << 31;
constexpr uint32_t ACC_A = 1u << 16;
constexpr uint32_t ACC_B = 1u << 17;
constexpr uint32_t ALL_W = 0xFFFFu;
constexpr uint32_t W14 = 1u << 14;
constexpr uint32_t W15 = 1u << 15;

uint32_t wbit(int n) { return 1u << n; }
uint32_t wpair(int n) { return n < 15 ? wbit(n) | wbit(n + 1) : wbit(n); }

struct Resources {
    uint32_t defs = 0;
    uint32_t uses = 0;
};

struct Model {
    Resources res;
};

// What the mnemonic alone tells: how many delay slots the instruction
// fills when it is moved into them (0: it may not be), whether it skips or
// repeats the next instruction, whether nothing may cross it (DO opens a
// loop, PWRSAV stops the processor, DISI holds interrupts off).
struct Traits {
    int slot_size = 1;
    bool shadow = false;
    bool barrier = false;
};

Traits traits_of(const Statement& st) {
    static const std::unordered_set<std::string> no_slot = {
        "cpseq", "cpsgt", "cpslt", "cpsne", "repeat", "bra", "pbra", "cpbeq", "cpbgt", "cpblt", "cpbne", "do",
        "goto", "call", "rcall", "retfie", "pretfie", "return", "preturn", "retlw", "pretlw", "reset"};
    static const std::unordered_set<std::string> shadow = {"btsc",  "btss",  "cpseq",  "cpsgt",  "cpslt", "cpsne",
                                                           "decsnz", "decsz", "incsnz", "incsz", "repeat"};
    Traits t;
    const std::string& m = st.mnemonic;
    if (no_slot.count(m) != 0) t.slot_size = 0;
    else if (m.rfind("tbl", 0) == 0 || (m == "mov" && st.suffix == "d")) t.slot_size = 2;
    t.shadow = shadow.count(m) != 0;
    t.barrier = m == "do" || m == "pwrsav" || m == "disi";
    return t;
}

enum class OpKind { reg, indirect, literal, other };

// The register words, in lower case.
const std::unordered_set<std::string>& register_words() {
    static const std::unordered_set<std::string> words = {
        "w0", "w1", "w2", "w3", "w4", "w5", "w6", "w7", "w8", "w9", "w10", "w11",
        "w12", "w13", "w14", "w15", "wreg", "a", "b", "dsrpag", "dswpag", "tblpag"};
    return words;
}

// The length of the word a register operand begins with (letters, digits
// and '_').
size_t register_word_length(std::string_view text) {
    size_t word = 0;
    while (word < text.size() && (std::isalnum(static_cast<unsigned char>(text[word])) != 0 || text[word] == '_'))
        ++word;
    return word;
}

struct Operand {
    OpKind kind = OpKind::other;
    std::string text;
    // reg: the register's mask, whether it is a W register (or WREG) and its number
    uint32_t mask = 0;
    bool working = false;
    int number = -1;
    // indirect
    int base = -1;
    int index = -1;        // [Wn+Wb]
    bool modifies = false;  // [Wn++], [Wn--], [++Wn], [--Wn]
    bool offset = false;    // [Wn+lit]
};

class Modeller {
public:
    explicit Modeller(const std::unordered_map<std::string, std::string>& aliases) : aliases_(aliases) {}

    std::optional<Model> model(const Statement& st) const;
    // The operands that the program reads, in their text: an expression
    // that ends before its operand does leaves the rest of the statement
    // unread, and so do the operands after those that the instruction's
    // form takes (the longest leading run that the model reads as a form;
    // all of them when no run is one).
    std::vector<std::string> operands_read(const Statement& st) const;

private:
    const std::unordered_map<std::string, std::string>& aliases_;

    std::optional<Operand> register_named(std::string_view text) const;
    Operand operand(const std::string& text) const;
    std::vector<Operand> read_operands(const std::vector<std::string>& texts) const;
    std::optional<Model> model_operands(const Statement& st) const;
    bool dsp_operands(const Statement& st, size_t first, uint32_t other, Resources& r) const;
};

std::optional<Operand> Modeller::register_named(std::string_view text) const {
    std::string name = lower(trim(text));
    if (auto alias = aliases_.find(name); alias != aliases_.end()) name = alias->second;
    Operand op;
    op.kind = OpKind::reg;
    op.text = name;
    if (name == "wreg") {
        op.mask = wbit(0);
        op.working = true;
        op.number = 0;
        return op;
    }
    if (name.size() >= 2 && name.size() <= 3 && name[0] == 'w' &&
        std::all_of(name.begin() + 1, name.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
        if (name.size() == 3 && name[1] == '0') return std::nullopt;
        const int n = std::stoi(name.substr(1));
        if (n > 15) return std::nullopt;
        op.mask = wbit(n);
        op.working = true;
        op.number = n;
        return op;
    }
    static const std::map<std::string, uint32_t> others = {
        {"a", ACC_A}, {"b", ACC_B}, {"dsrpag", 1u << 18}, {"dswpag", 1u << 19}, {"tblpag", 1u << 20}};
    if (auto other = others.find(name); other != others.end()) {
        op.mask = other->second;
        return op;
    }
    return std::nullopt;
}

Operand Modeller::operand(const std::string& text) const {
    if (auto reg = register_named(text)) {
        reg->text = text;
        return *reg;
    }
    // A register word followed by text that is no part of a word ("w2--",
    // "w14[+6]", "w14(2)"): the register, and extra characters that nothing
    // reads.
    const size_t word = register_word_length(text);
    if (word > 0 && word < text.size() && text[word] != '.' && text[word] != '#' && text[word] != '$') {
        if (auto reg = register_named(text.substr(0, word))) {
            reg->text = text;
            return *reg;
        }
    }
    Operand op;
    op.text = text;
    if (!text.empty() && text[0] == '#') {
        op.kind = OpKind::literal;
        return op;
    }
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
        std::string inner(trim(std::string_view(text).substr(1, text.size() - 2)));
        bool pre = false;
        if (inner.rfind("++", 0) == 0 || inner.rfind("--", 0) == 0) {
            pre = true;
            inner = std::string(trim(std::string_view(inner).substr(2)));
        }
        size_t end = 0;
        while (end < inner.size() && is_word_char(inner[end]) && inner[end] != '#') ++end;
        const auto base = register_named(std::string_view(inner).substr(0, end));
        if (!base || !base->working) return op;  // not an address the model reads
        const std::string rest(trim(std::string_view(inner).substr(end)));
        op.base = base->number;
        if (pre) {
            if (!rest.empty()) return op;
            op.modifies = true;
        } else if (rest == "++" || rest == "--") {
            op.modifies = true;
        } else if (!rest.empty()) {
            if (rest[0] == '+') {
                const auto index = register_named(std::string_view(rest).substr(1));
                if (index && index->working) op.index = index->number;
                else if (index) return op;
                else op.offset = true;
            } else if (rest[0] == '-') {
                op.offset = true;
            } else {
                return op;
            }
        }
        op.kind = OpKind::indirect;
        return op;
    }
    return op;
}

// Effective-address operands: a W register or an indirect address, read,
// written or both.
void add_source(const Operand& op, Resources& r) {
    if (op.kind == OpKind::reg) {
        r.uses |= op.mask;
        return;
    }
    r.uses |= wbit(op.base) | MEM;
    if (op.index >= 0) r.uses |= wbit(op.index);
    if (op.modifies) r.defs |= wbit(op.base);
}

void add_destination(const Operand& op, Resources& r) {
    if (op.kind == OpKind::reg) {
        r.defs |= op.mask;
        return;
    }
    r.uses |= wbit(op.base);
    r.defs |= MEM;
    if (op.index >= 0) r.uses |= wbit(op.index);
    if (op.modifies) r.defs |= wbit(op.base);
}

bool is_ea(const Operand& op) { return (op.kind == OpKind::reg && op.working) || op.kind == OpKind::indirect; }
bool is_plain_ea(const Operand& op) { return is_ea(op) && !op.offset; }
bool is_w(const Operand& op) { return op.kind == OpKind::reg && op.working; }
bool is_acc(const Operand& op) { return op.kind == OpKind::reg && (op.mask == ACC_A || op.mask == ACC_B); }
// Where the reader's expression in `text` ends: the offset of the first
// token that no level of the expression takes (the encoder then sees that
// token, not a comma, and reads no further operand), the text's length when
// the expression takes all of it, or npos when it is no expression the
// model can read. Words run on over letters, digits, '.' and '#' (so a#b is
// one name), but a number ends at the first character that is not a digit
// of it, so 3#d00 is the number 3 followed by '#'.
size_t expression_end(std::string_view text) {
    static const std::unordered_set<std::string> keyword_operators = {
        ".endof.", ".endof_hi.", ".sizeof.", ".sizeof_hi.", ".startof.", ".startof_hi.", "boot",
        "dmaoffset", "dmapage", "edsoffset", "edspage", "handle", "packed_hi", "packed_lo",
        "psvoffset", "psvpage", "psvptr", "secure", "tbloffset", "tblpage"};
    auto name_char = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return std::isalpha(u) != 0 || c == '_' || c == '?' || c == '@';
    };
    auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    auto hex_digit = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    enum class Tok { primary, prefix, binary_or_prefix, binary, open, close, stop };
    size_t at = 0;
    // The next token from `at`: its kind, and `at` moved past it (left
    // where it was for a token that stops the expression).
    auto next = [&]() -> Tok {
        while (at < text.size() && (is_blank(text[at]) || text[at] == '\r')) ++at;
        if (at >= text.size()) return Tok::stop;
        const char c = text[at];
        const char d = at + 1 < text.size() ? text[at + 1] : '\0';
        if (name_char(c) || c == '.') {
            size_t end = at + 1;
            while (end < text.size() && (name_char(text[end]) || digit(text[end]) || text[end] == '.' || text[end] == '#'))
                ++end;
            const std::string word = lower(text.substr(at, end - at));
            at = end;
            return keyword_operators.count(word) != 0 ? Tok::prefix : Tok::primary;
        }
        if (c == '$') {
            ++at;
            while (at < text.size() && (name_char(text[at]) || digit(text[at]) || text[at] == '#' || text[at] == '$'))
                ++at;
            return Tok::primary;
        }
        if (digit(c)) {
            if (d == 'f' || d == 'F' || ((d == 'b' || d == 'B') && !(at + 2 < text.size() && (text[at + 2] == '0' || text[at + 2] == '1')))) {
                at += 2;  // a numeric label reference
                return Tok::primary;
            }
            size_t end = at + 1;
            const bool prefixed = c == '0' && (d == 'x' || d == 'X' || d == 'b' || d == 'B');
            if (prefixed) ++end;
            while (end < text.size() && hex_digit(text[end])) ++end;
            const bool decimal = !prefixed && (c != '0' || end == at + 1);
            if (decimal && end < text.size() && text[end] == '.') {  // a floating-point constant
                ++end;
                while (end < text.size() && digit(text[end])) ++end;
                if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
                    ++end;
                    if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
                    while (end < text.size() && digit(text[end])) ++end;
                }
            }
            at = end;
            return Tok::primary;
        }
        if (c == '"') {
            size_t end = at + 1;
            for (; end < text.size(); ++end) {
                if (text[end] == '\\') ++end;
                else if (text[end] == '"') {
                    if (end + 1 < text.size() && text[end + 1] == '"') ++end;
                    else break;
                }
            }
            if (end >= text.size()) return Tok::stop;
            at = end + 1;
            return Tok::primary;
        }
        if (c == '\'') {
            const size_t close = text.find('\'', at + (d == '\\' ? 3 : 2));
            if (close == std::string_view::npos) return Tok::stop;
            at = close + 1;
            return Tok::primary;
        }
        // "++" and "--" are words of the addressing modes, no operators:
        // an expression ends before them.
        if ((c == '+' || c == '-') && d == c) return Tok::stop;
        static const char* const pairs[] = {"&&", "||", "^^", "<=", ">=", "==", "!=", "<<", ">>",
                                            "**", "^<", "^>", "^&", "^$", "^|"};
        for (const char* pair : pairs)
            if (c == pair[0] && d == pair[1]) {
                at += 2;
                return Tok::binary;
            }
        switch (c) {
        case '<': case '>': case '+': case '-': ++at; return Tok::binary_or_prefix;
        case '!': case '~': ++at; return Tok::prefix;
        case '=': case '|': case '^': case '&': case '*': case '/': case '%': ++at; return Tok::binary;
        case '(': ++at; return Tok::open;
        case ')': ++at; return Tok::close;
        default: return Tok::stop;
        }
    };
    int depth = 0;
    bool operand_next = true;
    for (;;) {
        const size_t start = at;
        const Tok t = next();
        if (operand_next) {
            if (t == Tok::prefix || t == Tok::binary_or_prefix) continue;
            if (t == Tok::open) {
                ++depth;
                continue;
            }
            if (t != Tok::primary) return std::string_view::npos;
            operand_next = false;
            continue;
        }
        if (t == Tok::binary || t == Tok::binary_or_prefix) {
            operand_next = true;
            continue;
        }
        if (t == Tok::close && depth > 0) {
            --depth;
            continue;
        }
        if (depth > 0) return std::string_view::npos;
        return t == Tok::stop && at >= text.size() ? text.size() : start;
    }
}

bool is_wreg_name(const Operand& op) { return op.kind == OpKind::reg && lower(trim(op.text)) == "wreg"; }
bool is_file(const Operand& op) { return op.kind == OpKind::other && !op.text.empty(); }

// The file-register forms: f (the result goes back to f) or f, WREG (the
// result goes to W0); `reads` is what the form reads besides f.
bool add_file_form(const std::vector<Operand>& ops, uint32_t reads, Resources& r) {
    const size_t n = ops.size();
    r.uses |= MEM | reads;
    if (n == 1) r.defs |= MEM;
    else if (n == 2 && is_wreg_name(ops[1])) r.defs |= wbit(0);
    else return false;
    return true;
}

bool is_condition(const std::string& text) {
    static const std::unordered_set<std::string> names = {"c",  "eq",  "ge", "geu", "gt", "gtu", "le", "leu",
                                                          "lt", "ltu", "n",  "nc",  "neq", "nn", "nov", "nz",
                                                          "oa", "ob",  "ov", "sa",  "sb", "z"};
    return names.count(lower(trim(text))) != 0;
}

// Words the assembler's scanner takes for registers, conditions or
// operators, never for a name: an attribute list cannot begin with one.
bool is_reserved_word(std::string_view word) {
    static const std::unordered_set<std::string> operators = {
        ".endof.", ".endof_hi.", ".sizeof.", ".sizeof_hi.", ".startof.", ".startof_hi.", "boot", "dmaoffset",
        "dmapage", "edsoffset", "edspage", "handle", "packed_hi", "packed_lo", "psvoffset", "psvpage",
        "psvptr", "secure", "tbloffset", "tblpage"};
    const std::string lowered = lower(word);
    return register_words().count(lowered) != 0 || operators.count(lowered) != 0 || is_condition(lowered);
}

std::optional<Model> Modeller::model(const Statement& st) const {
    if (st.kind != Kind::instruction) return std::nullopt;
    return model_operands(st);
}

std::vector<Operand> Modeller::read_operands(const std::vector<std::string>& texts) const {
    std::vector<Operand> ops;
    for (const std::string& text : texts) {
        ops.push_back(operand(text));
        // An expression that ends before its operand does leaves the rest
        // of the statement unread: `dec 3#d00, wreg` is DEC 3, result to 3.
        Operand& op = ops.back();
        if (op.kind != OpKind::other && op.kind != OpKind::literal) continue;
        const size_t skip = op.kind == OpKind::literal ? 1 : 0;
        const size_t end = expression_end(std::string_view(text).substr(skip));
        if (end == std::string_view::npos || skip + end >= text.size()) continue;
        op.text = std::string(trim(std::string_view(text).substr(0, skip + end)));
        break;
    }
    return ops;
}

std::vector<std::string> Modeller::operands_read(const Statement& st) const {
    const std::vector<Operand> ops = read_operands(st.operands);
    size_t taken = ops.size();
    Statement prefix = st;
    for (size_t k = ops.size() + 1; k-- > 0;) {
        prefix.operands.assign(st.operands.begin(), st.operands.begin() + static_cast<std::ptrdiff_t>(k));
        if (model_operands(prefix)) {
            taken = k;
            break;
        }
    }
    // Of a register, only its word is read: what follows it in the
    // operand ("w4*w5", "w2 junk") names no label and no location.
    std::vector<std::string> texts;
    for (size_t k = 0; k < taken; ++k) {
        const std::string& text = ops[k].text;
        const size_t word = ops[k].kind == OpKind::reg ? register_word_length(text) : 0;
        texts.push_back(word > 0 ? text.substr(0, word) : text);
    }
    return texts;
}

std::optional<Model> Modeller::model_operands(const Statement& st) const {
    const std::string& m = st.mnemonic;
    const std::vector<Operand> ops = read_operands(st.operands);
    const size_t n = ops.size();
    Model out;
    Resources& r = out.res;
    auto none = [&]() -> std::optional<Model> { return std::nullopt; };

    // No operands, no resources.
    if (m == "nop" || m == "nopr" || m == "clrwdt") return n == 0 ? std::optional<Model>(out) : none();
    if (m == "reset") {
        return n == 0 ? std::optional<Model>(out) : none();
    }
    if (m == "disi" || m == "pwrsav") return n == 1 && ops[0].kind == OpKind::literal ? std::optional<Model>(out) : none();

    // Returns and transfers: they may not fill a delay slot.
    if (m == "return" || m == "preturn" || m == "retfie" || m == "pretfie") {
        if (n != 0) return none();
        r.defs = W15 | (m == "retfie" || m == "pretfie" ? STATUS : 0);
        r.uses = W15;
        return out;
    }
    if (m == "retlw" || m == "pretlw") {
        if (n != 2 || ops[0].kind != OpKind::literal || !is_w(ops[1])) return none();
        r.defs = W15 | ops[1].mask;
        r.uses = W15;
        return out;
    }
    if (m == "bra" || m == "pbra") {
        if (n == 1 && is_w(ops[0])) {
            r.uses = ops[0].mask;
            return out;
        }
        if (n == 1 && ops[0].kind == OpKind::other) return out;
        if (n == 2 && is_condition(st.operands[0])) {
            r.uses = STATUS;
            return out;
        }
        return none();
    }
    if (m == "goto") {
        if (n != 1) return none();
        if (is_w(ops[0])) r.uses = ops[0].mask;
        else if (ops[0].kind != OpKind::other) return none();
        return out;
    }
    if (m == "call" || m == "rcall") {
        if (n != 1) return none();
        r.defs = STATUS | MEM | ALL_W;
        r.uses = MEM | ALL_W;
        if (!is_w(ops[0]) && ops[0].kind != OpKind::other) return none();
        return out;
    }
    if (m == "do") {
        if (n != 2 || ops[1].kind != OpKind::other) return none();
        if (is_w(ops[0])) r.uses = ops[0].mask;
        else if (ops[0].kind != OpKind::literal) return none();
        return out;
    }
    if (m == "repeat") {
        if (n != 1) return none();
        if (is_w(ops[0])) r.uses = ops[0].mask;
        else if (ops[0].kind != OpKind::literal) return none();
        return out;
    }

    // Stack frames.
    if (m == "lnk") {
        if (n != 1 || ops[0].kind != OpKind::literal) return none();
        r.defs = r.uses = W14 | W15;
        return out;
    }
    if (m == "ulnk") {
        if (n != 0) return none();
        r.defs = W14 | W15;
        r.uses = W14;
        return out;
    }
    if (m == "push" || m == "pop") {
        if (n != 1) return none();
        const bool push = m == "push";
        if (st.suffix == "s") {
            if (push) r.uses = 0xF | STATUS;
            else r.defs = 0xF | STATUS;
            return out;
        }
        r.defs = r.uses = W15;
        const Operand& op = ops[0];
        if (st.suffix == "d") {
            if (!is_w(op)) return none();
            if (push) r.uses |= wpair(op.number);
            else r.defs |= wpair(op.number);
            return out;
        }
        if (!st.suffix.empty() && st.suffix != "w" && st.suffix != "b") return none();
        if (is_plain_ea(op)) {
            if (push) add_source(op, r);
            else add_destination(op, r);
        } else if (is_file(op)) {
            if (push) r.uses |= MEM;
            else r.defs |= MEM;
        } else {
            return none();
        }
        return out;
    }

    // Moves.
    if (m == "mov") {
        if (n == 1 && is_file(ops[0])) {  // MOV f
            r.uses = MEM;
            r.defs = STATUS;
            return out;
        }
        if (n != 2) return none();
        const Operand& s = ops[0];
        const Operand& d = ops[1];
        const bool dbl = st.suffix == "d";
        if (s.kind == OpKind::literal) {
            if (!is_w(d)) return none();
            r.defs = d.mask;
            return out;
        }
        if (s.kind == OpKind::indirect) {
            add_source(s, r);
            if (s.offset) {
                if (!is_w(d)) return none();
                r.defs |= d.mask;
                return out;
            }
            if (dbl) {
                if (!is_w(d)) return none();
                r.defs |= wpair(d.number);
                return out;
            }
            if (!is_plain_ea(d)) return none();
            add_destination(d, r);
            return out;
        }
        if (is_w(s) && !is_wreg_name(s)) {
            r.uses |= dbl ? wpair(s.number) : s.mask;
            if (is_w(d)) {
                r.defs |= dbl ? wpair(d.number) : d.mask;
                return out;
            }
            if (d.kind == OpKind::indirect) {
                add_destination(d, r);
                return out;
            }
            if (is_file(d)) {
                r.defs |= MEM;
                return out;
            }
            return none();
        }
        if (s.kind == OpKind::reg) {  // WREG, an accumulator or a page register to f
            if (!is_file(d)) return none();
            r.uses |= s.mask;
            r.defs |= MEM;
            return out;
        }
        if (is_file(s)) {
            r.uses |= MEM;
            if (is_wreg_name(d)) {
                r.defs |= wbit(0) | STATUS;
                return out;
            }
            if (is_w(d)) {
                r.defs |= d.mask;
                return out;
            }
        }
        return none();
    }
    if (m == "movpag") {
        if (n != 2 || ops[0].kind != OpKind::literal || ops[1].kind != OpKind::reg || ops[1].working) return none();
        r.defs = ops[1].mask;
        return out;
    }

    // Arithmetic and logic, two or three operands.
    static const std::unordered_set<std::string> alu = {"add", "addc", "and", "ior", "xor",
                                                        "sub", "subb", "subr", "subbr"};
    if (alu.count(m) != 0) {
        r.defs = STATUS;
        if (m == "addc" || m == "subb" || m == "subbr") r.uses = STATUS;
        if (n == 2 && ops[0].kind == OpKind::literal && is_w(ops[1])) {  // #lit, Wn
            r.defs |= ops[1].mask;
            r.uses |= ops[1].mask;
            return out;
        }
        if (n >= 1 && is_w(ops[0]) && !is_wreg_name(ops[0])) {
            const Operand& wb = ops[0];
            r.uses |= wb.mask;
            if (n == 2 && ops[1].kind == OpKind::literal) {  // Wb, #lit
                r.defs |= wb.mask;
                return out;
            }
            if (n == 2 && is_acc(ops[1])) {  // Ws, A
                r.defs |= ops[1].mask;
                return out;
            }
            if (n != 3) return none();
            if (ops[1].kind == OpKind::literal) {
                if (is_acc(ops[2])) r.defs |= ops[2].mask;
                else if (is_plain_ea(ops[2])) add_destination(ops[2], r);
                else return none();
                return out;
            }
            if (!is_plain_ea(ops[1]) || !is_plain_ea(ops[2])) return none();
            add_source(ops[1], r);
            add_destination(ops[2], r);
            return out;
        }
        if (n == 1 && is_acc(ops[0])) {  // ADD A, SUB B
            r.defs |= ops[0].mask;
            return out;
        }
        if (n >= 2 && ops[0].kind == OpKind::indirect && m == "add") {  // [Ws], #slit4, A
            const Operand& acc = ops[n - 1];
            if (!is_acc(acc)) return none();
            add_source(ops[0], r);
            r.defs |= acc.mask;
            r.uses |= acc.mask;
            return out;
        }
        if (n >= 1 && is_file(ops[0])) return add_file_form(ops, wbit(0), r) ? std::optional<Model>(out) : none();
        return none();
    }

    // Shifts.
    if (m == "asr" || m == "lsr" || m == "sl") {
        r.defs = STATUS;
        if (n >= 2 && is_w(ops[0]) && !is_wreg_name(ops[0])) {
            r.uses |= ops[0].mask;
            if (n == 3 && ops[1].kind == OpKind::literal && is_w(ops[2])) {
                r.defs |= ops[2].mask;
                return out;
            }
            if (n == 3 && is_w(ops[1]) && is_w(ops[2])) {
                r.uses |= ops[1].mask;
                r.defs |= ops[2].mask;
                return out;
            }
            if (n == 2 && is_plain_ea(ops[1])) {
                add_destination(ops[1], r);
                return out;
            }
            return none();
        }
        if (n == 2 && ops[0].kind == OpKind::indirect && is_plain_ea(ops[0]) && is_plain_ea(ops[1])) {
            add_source(ops[0], r);
            add_destination(ops[1], r);
            return out;
        }
        if (n >= 1 && is_file(ops[0])) return add_file_form(ops, 0, r) ? std::optional<Model>(out) : none();
        return none();
    }

    // One source, one destination, or a file register.
    static const std::unordered_set<std::string> unary = {"com",  "dec",  "dec2", "inc",    "inc2",   "neg",
                                                          "rlc",  "rlnc", "rrc",  "rrnc",   "tblrdh", "tblrdl",
                                                          "tblwth", "tblwtl"};
    if (unary.count(m) != 0) {
        const bool table = m.rfind("tbl", 0) == 0;
        if (!table) r.defs = STATUS;
        if (m == "rlc" || m == "rrc") r.uses = STATUS;
        if (n == 2 && is_plain_ea(ops[0]) && !is_wreg_name(ops[0]) && is_plain_ea(ops[1])) {
            add_source(ops[0], r);
            add_destination(ops[1], r);
            return out;
        }
        if (table) return none();
        if (m == "neg" && n == 1 && is_acc(ops[0])) {
            r.defs |= ops[0].mask;
            r.uses |= ops[0].mask;
            return out;
        }
        if (n >= 1 && is_file(ops[0])) return add_file_form(ops, 0, r) ? std::optional<Model>(out) : none();
        return none();
    }
    if (m == "clr" && n > 1 && is_acc(ops[0])) {
        r.defs = ops[0].mask;
        if (!dsp_operands(st, 1, ops[0].mask == ACC_A ? ACC_B : ACC_A, r)) return none();
        return out;
    }
    if (m == "clr" || m == "setm") {
        if (n != 1) return none();
        const Operand& op = ops[0];
        if (is_w(op)) r.defs = op.mask;
        else if (m == "clr" && is_acc(op)) r.defs = op.mask;
        else if (op.kind == OpKind::indirect && is_plain_ea(op)) {
            add_destination(op, r);
            add_source(op, r);
        } else if (is_file(op)) r.defs = MEM;
        else return none();
        return out;
    }
    if (m == "daw" || m == "swap") {
        if (n != 1 || !is_w(ops[0]) || is_wreg_name(ops[0])) return none();
        r.defs = r.uses = ops[0].mask;
        if (m == "daw") r.defs |= STATUS;
        return out;
    }

    // Compares.
    if (m == "cp0") {
        if (n != 1) return none();
        r.defs = STATUS;
        if (is_plain_ea(ops[0]) && !is_wreg_name(ops[0])) add_source(ops[0], r);
        else if (is_file(ops[0])) r.uses = MEM;
        else return none();
        return out;
    }
    if (m == "cp" || m == "cpb") {
        r.defs = STATUS;
        if (m == "cpb") r.uses = STATUS;
        if (n == 1 && is_file(ops[0])) {
            r.uses |= MEM | wbit(0);
            return out;
        }
        if (n != 2 || !is_w(ops[0]) || is_wreg_name(ops[0])) return none();
        r.uses |= ops[0].mask;
        if (ops[1].kind == OpKind::literal) return out;
        if (!is_plain_ea(ops[1])) return none();
        add_source(ops[1], r);
        return out;
    }
    if (m == "cpseq" || m == "cpsgt" || m == "cpslt" || m == "cpsne") {
        if (n != 2 || !is_w(ops[0]) || !is_w(ops[1])) return none();
        r.uses = ops[0].mask | ops[1].mask;
        return out;
    }

    // Bits.
    static const std::unordered_set<std::string> bits = {"bclr", "bset", "btg", "btsc", "btss", "btst", "btsts"};
    if (bits.count(m) != 0) {
        const bool modify = m == "bclr" || m == "bset" || m == "btg";
        if (m == "btst" || m == "btsts") r.defs = STATUS;
        if (n != 2) return none();
        if (is_plain_ea(ops[0]) && !is_wreg_name(ops[0])) {
            add_source(ops[0], r);
            if (modify || m == "btsts") add_destination(ops[0], r);
            if (ops[1].kind == OpKind::literal) return out;
            if (m == "btst" && is_w(ops[1])) {
                r.uses |= ops[1].mask;
                return out;
            }
            return none();
        }
        if (is_file(ops[0]) && ops[1].kind == OpKind::literal) {
            r.uses |= MEM;
            // The status register is memory-mapped as _SR: testing a bit of
            // it reads the status register, changing one writes it.
            const bool status_register = lower(trim(ops[0].text)) == "_sr";
            if (status_register) r.uses |= STATUS;
            if (modify) {
                r.defs |= MEM;
                if (status_register) r.defs |= STATUS;
            }
            return out;
        }
        return none();
    }
    if (m == "bsw") {
        if (n != 2 || !is_plain_ea(ops[0]) || !is_w(ops[1])) return none();
        add_source(ops[0], r);
        add_destination(ops[0], r);  // the bit is written into Ws
        r.uses |= ops[1].mask;
        return out;
    }

    // Multiply, divide, exchange, bit scans and extensions.
    if (m == "mul" || m == "mulw") {
        static const std::unordered_set<std::string> signedness = {"ss", "su", "us", "uu"};
        if (signedness.count(st.suffix) != 0) {
            if (n != 3 || !is_w(ops[0]) || !is_plain_ea(ops[1])) return none();
            r.uses |= ops[0].mask;
            add_source(ops[1], r);
            if (is_w(ops[2])) r.defs |= wpair(ops[2].number & (m == "mulw" ? 0xE : 0xF));
            else if (is_acc(ops[2])) r.defs |= ops[2].mask;
            else return none();
            return out;
        }
        // The divide's suffixes (and ".c", the same bit as ".l") choose no
        // form: nothing is parsed, and the word is the row's base word, a
        // NOP for MUL, which touches nothing.
        static const std::unordered_set<std::string> no_form = {"sw", "sd", "uw", "ud", "l", "c"};
        if (no_form.count(st.suffix) != 0) return out;
        if (n != 1 || !is_file(ops[0])) return none();
        r.uses = wbit(0) | MEM;
        r.defs = st.suffix == "b" ? wbit(2) : wbit(2) | wbit(3);
        return out;
    }
    if (m == "div" || m == "divf") {
        if (n != 2 || !is_w(ops[0]) || !is_w(ops[1])) return none();
        r.defs = wbit(0) | wbit(1) | STATUS;
        r.uses = ops[0].mask | ops[1].mask;
        return out;
    }
    if (m == "exch") {
        if (n != 2 || !is_w(ops[0]) || !is_w(ops[1])) return none();
        r.defs = r.uses = ops[0].mask | ops[1].mask;
        return out;
    }
    if (m == "fbcl" || m == "ff1l" || m == "ff1r" || m == "se" || m == "ze") {
        if (n != 2 || !is_plain_ea(ops[0]) || !is_w(ops[1])) return none();
        add_source(ops[0], r);
        r.defs |= ops[1].mask | STATUS;
        return out;
    }
    // The accumulator instructions.
    if (m == "mac" || m == "mpy" || m == "msc" || m == "ed" || m == "edac") {
        if (n < 2 || !is_acc(ops[1])) return none();
        const size_t star = st.operands[0].find('*');
        if (star == std::string::npos) return none();
        const auto wm = register_named(std::string_view(st.operands[0]).substr(0, star));
        const auto wn = register_named(std::string_view(st.operands[0]).substr(star + 1));
        if (!wm || !wn || !wm->working || !wn->working) return none();
        r.defs = STATUS | ops[1].mask;
        r.uses = wm->mask | wn->mask | ops[1].mask;
        if (!dsp_operands(st, 2, ops[1].mask == ACC_A ? ACC_B : ACC_A, r)) return none();
        return out;
    }
    if (m == "movsac") {
        if (n < 1 || !is_acc(ops[0])) return none();
        r.defs = r.uses = ops[0].mask;
        if (!dsp_operands(st, 1, ops[0].mask == ACC_A ? ACC_B : ACC_A, r)) return none();
        return out;
    }
    if (m == "lac") {
        if ((n != 2 && n != 3) || !is_plain_ea(ops[0]) || !is_acc(ops[n - 1])) return none();
        if (n == 3 && ops[1].kind != OpKind::literal) return none();
        add_source(ops[0], r);
        r.defs |= ops[n - 1].mask | STATUS;
        return out;
    }
    if (m == "sac") {
        if ((n != 2 && n != 3) || !is_acc(ops[0]) || !is_plain_ea(ops[n - 1])) return none();
        if (n == 3 && ops[1].kind != OpKind::literal) return none();
        r.uses |= ops[0].mask;
        add_destination(ops[n - 1], r);
        return out;
    }
    if (m == "sftac") {
        if (n != 2 || !is_acc(ops[0])) return none();
        r.defs = r.uses = ops[0].mask;
        r.defs |= STATUS;
        if (is_w(ops[1])) r.uses |= ops[1].mask;
        else if (ops[1].kind != OpKind::literal) return none();
        return out;
    }
    // The compare-and-branch rows are not modelled.
    return none();
}

// The prefetch and write-back operands of the accumulator instructions,
// from operand `first` on: [Wp] (or [Wp]+=k, [Wp]-=k, [Wp+W12]) with the
// register it loads, then [W13]+=2 or W13 for the write-back of the other
// accumulator. A prefetch reads data memory and a modification writes its
// pointer.
bool Modeller::dsp_operands(const Statement& st, size_t first, uint32_t other, Resources& r) const {
    const std::vector<std::string>& ops = st.operands;
    // Extra text after the accumulator, before any comma, ends the list:
    // what follows is read by nothing.
    if (first > 0 && !register_named(ops[first - 1])) return true;
    for (size_t k = first; k < ops.size(); ++k) {
        const std::string& text = ops[k];
        if (text.empty()) return false;
        if (text[0] != '[') {
            const auto reg = register_named(text);
            if (!reg || !reg->working) return false;
            r.defs |= reg->mask;  // register write-back
            r.uses |= other;
            continue;
        }
        const size_t close = text.find(']');
        if (close == std::string::npos) return false;
        std::string inner(trim(std::string_view(text).substr(1, close - 1)));
        const std::string after(trim(std::string_view(text).substr(close + 1)));
        int index = -1;
        if (const size_t plus = inner.find('+'); plus != std::string::npos) {
            const auto reg = register_named(std::string_view(inner).substr(plus + 1));
            if (!reg || !reg->working) return false;
            index = reg->number;
            inner = inner.substr(0, plus);
        }
        const auto pointer = register_named(inner);
        if (!pointer || !pointer->working) return false;
        const bool modified = !after.empty();
        if (modified && after.size() < 3) return false;
        if (modified && (after[0] != '+' && after[0] != '-')) return false;
        r.uses |= pointer->mask;
        if (modified) r.defs |= pointer->mask;
        if (pointer->number == 13) {  // memory write-back
            r.uses |= other;
            r.defs |= MEM;
            continue;
        }
        r.uses |= MEM;
        if (index >= 0) r.uses |= wbit(index);
        if (k + 1 >= ops.size()) return false;
        const auto destination = register_named(ops[++k]);
        if (!destination || !destination->working) return false;
        r.defs |= destination->mask;
    }
    return true;
}

// ---------------------------------------------------------------------------
// The scheduled text

struct OutputLine {
    bool nop = false;
    int line = 0;
    char mark = 0;
    std::string text;
};

std::string annotation_error(size_t k) { return "scheduled line " + std::to_string(k + 1) + ": "; }

// Whether the line ends in a note "\t; [+:n]" or "\t; [-:n]" (the text
// before it may hold such characters too).
bool ends_in_annotation(const std::string& line) {
    const size_t p = line.rfind("\t; [");
    if (p == std::string::npos || line.size() < p + 8 || line.back() != ']') return false;
    if ((line[p + 4] != '+' && line[p + 4] != '-') || line[p + 5] != ':') return false;
    return std::all_of(line.begin() + static_cast<std::ptrdiff_t>(p + 6), line.end() - 1,
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

bool read_output(std::string_view scheduled, std::vector<OutputLine>& out, std::string& why) {
    if (!scheduled.empty() && scheduled.back() != '\n') {
        why = "the scheduled source does not end with a newline";
        return false;
    }
    size_t at = 0;
    for (size_t k = 0; at < scheduled.size(); ++k) {
        const size_t end = scheduled.find('\n', at);
        std::string line(scheduled.substr(at, end - at));
        at = end + 1;
        // A line too long for its note carries it on the next line alone.
        if (!ends_in_annotation(line) && at < scheduled.size() && scheduled.substr(at, 4) == "\t; [") {
            const size_t next = scheduled.find('\n', at);
            line += scheduled.substr(at, next - at);
            at = next + 1;
            ++k;
        }
        OutputLine o;
        if (line == "\tnop") {
            o.nop = true;
            out.push_back(o);
            continue;
        }
        const size_t p = line.rfind("\t; [");
        if (p == std::string_view::npos || line.size() < p + 8 || line.back() != ']' ||
            (line[p + 4] != '+' && line[p + 4] != '-') || line[p + 5] != ':') {
            why = annotation_error(k) + "no line annotation: " + std::string(line);
            return false;
        }
        const std::string_view digits = std::string_view(line).substr(p + 6, line.size() - 1 - (p + 6));
        if (digits.empty() || digits.size() > 9 || digits[0] == '0' ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
            why = annotation_error(k) + "bad line number in annotation: " + std::string(line);
            return false;
        }
        o.line = std::stoi(std::string(digits));
        o.mark = line[p + 4];
        o.text = std::string(line.substr(0, p));
        out.push_back(o);
    }
    return true;
}

bool is_delayable(const std::string& mnemonic) {
    return mnemonic == "bra" || mnemonic == "return" || mnemonic == "retfie" || mnemonic == "retlw";
}

bool is_delayed(const std::string& mnemonic) {
    return mnemonic == "pbra" || mnemonic == "preturn" || mnemonic == "pretfie" || mnemonic == "pretlw";
}

// The line written as the delayed form of its branch: 'p' before the
// mnemonic, 'P' when the mnemonic (its suffix aside) has no lower-case
// letter.
std::optional<std::string> delayed_text(const std::string& line, const Statement& st) {
    if (st.kind != Kind::instruction || !is_delayable(st.mnemonic)) return std::nullopt;
    const std::string_view written = std::string_view(line).substr(st.mnemonic_at, st.mnemonic.size());
    const bool lower_case = std::any_of(written.begin(), written.end(),
                                        [](char c) { return std::islower(static_cast<unsigned char>(c)) != 0; });
    const char letter = lower_case ? 'p' : 'P';
    std::string out = line;
    out.insert(out.begin() + static_cast<std::ptrdiff_t>(st.mnemonic_at), letter);
    return out;
}

bool depends(const Resources& a, const Resources& b, uint32_t mask) {
    return ((a.defs & b.uses & mask) | (a.uses & b.defs & mask) | (a.defs & b.defs & mask)) != 0;
}

std::string resource_names(uint32_t bits) {
    std::string out;
    auto add = [&](const std::string& name) { out += (out.empty() ? "" : ",") + name; };
    for (int n = 0; n < 16; ++n)
        if ((bits & wbit(n)) != 0) add("W" + std::to_string(n));
    if ((bits & ACC_A) != 0) add("A");
    if ((bits & ACC_B) != 0) add("B");
    if ((bits & (1u << 18)) != 0) add("DSRPAG");
    if ((bits & (1u << 19)) != 0) add("DSWPAG");
    if ((bits & (1u << 20)) != 0) add("TBLPAG");
    if ((bits & MEM) != 0) add("memory");
    if ((bits & STATUS) != 0) add("status");
    return out;
}

uint32_t shared_resources(const Resources& a, const Resources& b) {
    return (a.defs & b.uses) | (a.uses & b.defs) | (a.defs & b.defs);
}

// The words an instruction takes: two for a CALL or GOTO to an address
// and for DO, one for every other.
int word_count(const Statement& st) {
    if (st.mnemonic == "do") return 2;
    if ((st.mnemonic == "call" || st.mnemonic == "goto") && st.operands.size() == 1) {
        const std::string reg = lower(trim(st.operands[0]));
        const bool w = reg.size() >= 2 && reg.size() <= 3 && reg[0] == 'w' &&
                       std::all_of(reg.begin() + 1, reg.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
        return w ? 1 : 2;
    }
    return 1;
}

// Is text[i] a '.' that stands alone, the location counter? A literal's
// '#' before it does not make it part of a name.
bool is_location_at(const std::string& text, size_t i) {
    if (text[i] != '.') return false;
    const bool before = i > 0 && text[i - 1] != '#' && is_word_char(text[i - 1]);
    const bool after = i + 1 < text.size() && is_word_char(text[i + 1]);
    return !before && !after;
}

// Does an operand that the program reads mention the location counter?
bool uses_location(const std::vector<std::string>& operands) {
    for (const std::string& text : operands)
        for (size_t i = 0; i < text.size(); ++i)
            if (is_location_at(text, i)) return true;
    return false;
}

// Is every '.' standing alone in these operands followed by '+' (after
// blanks), a reference ahead of the instruction?
bool location_ahead_only(const std::vector<std::string>& operands) {
    for (const std::string& text : operands)
        for (size_t i = 0; i < text.size(); ++i) {
            if (!is_location_at(text, i)) continue;
            size_t k = i + 1;
            while (k < text.size() && is_blank(text[k])) ++k;
            if (k >= text.size() || text[k] != '+') return false;
        }
    return true;
}

// Directives that put something at the location counter: an instruction
// moved across one would change its address and what runs.
const std::unordered_set<std::string>& data_directives() {
    static const std::unordered_set<std::string> names = {
        ".2byte", ".4byte", ".align", ".ascii", ".asciz", ".byte", ".double", ".float",
        ".long",  ".pword", ".skip",  ".space", ".word",  ".sleb128", ".uleb128"};
    return names;
}

bool is_numeric_label(const std::string& name) {
    return name == "$$" || (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
                                return std::isdigit(static_cast<unsigned char>(c));
                            }));
}

// The names an operand's expression mentions. The expression ends where a
// value (a name, a number, a string or a closing parenthesis) is followed
// by anything but an operator: what comes after it is extra text that
// nothing reads.
void collect_names(std::string_view text, std::unordered_set<std::string>& names) {
    size_t i = 0;
    bool after_value = false;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t') {
            ++i;
            continue;
        }
        if (after_value && std::string_view("+-*/%&|^<>=!(").find(text[i]) == std::string_view::npos &&
            text[i] != ')')
            return;
        after_value = false;
        if (text[i] == ')') {
            after_value = true;
            ++i;
            continue;
        }
        if (std::isdigit(static_cast<unsigned char>(text[i])) != 0) {
            while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) != 0 || text[i] == '.')) ++i;
            after_value = true;
            continue;
        }
        if (text[i] == '\'') {
            i += 3;
            after_value = true;
            continue;
        }
        if (text[i] == '"') {
            ++i;
            while (i < text.size() && text[i] != '"') i += text[i] == '\\' ? 2 : 1;
            ++i;
            after_value = true;
            continue;
        }
        if (is_name_start(text[i])) {
            size_t end = i;
            while (end < text.size() && is_word_char(text[end]) && text[end] != '#') ++end;
            // A register, condition or operator word names no label.
            if (!is_reserved_word(text.substr(i, end - i))) names.insert(std::string(text.substr(i, end - i)));
            i = end;
            after_value = true;
            continue;
        }
        ++i;
    }
}

struct Program {
    std::vector<std::string> lines;       // stored text, index 0 is line 1
    std::vector<Statement> statements;    // per line
    std::vector<std::string> sections;    // per line, the section current after it
    std::unordered_map<std::string, std::string> aliases;  // names equated to registers
    std::unordered_set<std::string> entry_labels;          // labels jumped to or global
    std::unordered_set<std::string> loop_ends;             // labels named as a DO loop's end
    std::unordered_set<std::string> operand_names;         // names the instructions mention
};

// The section each line leaves current, by name in lower case, from
// ".text" at the start of the pass. A section the check cannot tell (an
// operand it cannot read) gets a name of its own, "?" and the line number,
// which equals no other.
class SectionTracker {
public:
    const std::string& after(const Statement& st, int line) {
        if (st.kind != Kind::directive) return current_;
        const std::string unknown = "?" + std::to_string(line);
        if (st.directive == ".text") {
            current_ = ".text";
        } else if (st.directive == ".data") {
            current_ = ".data";
        } else if (st.directive == ".section" || st.directive == ".pushsection") {
            if (st.directive == ".pushsection") stack_.push_back(current_);
            current_ = st.operands.empty() ? unknown : lower(section_name_of(st.operands[0]));
            if (current_.find_first_of("\"'") != std::string::npos) current_ = unknown;
        } else if (st.directive == ".popsection") {
            // A pop with nothing pushed leaves the section as it is.
            if (!stack_.empty()) {
                current_ = stack_.back();
                stack_.pop_back();
            }
        }
        return current_;
    }

private:
    std::string current_ = ".text";
    std::vector<std::string> stack_;
};

Program read_program(std::string_view original) {
    Program p;
    SectionTracker sections;
    p.lines = cut_source_lines(original);
    bool ended = false;
    std::unordered_set<std::string> referenced;
    std::unordered_set<std::string>& operand_names = p.operand_names;
    for (const std::string& line : p.lines) {
        Statement st = ended ? Statement{} : parse_statement(line);
        if (st.kind == Kind::directive) {
            if (st.directive == ".end") ended = true;
            if ((st.directive == ".equ" || st.directive == ".set") && st.operands.size() == 2) {
                const std::string value = lower(st.operands[1]);
                if (register_words().count(value) != 0) p.aliases[lower(st.operands[0])] = value;
            }
            if (st.directive == ".global" || st.directive == ".weak")
                for (const std::string& name : st.operands) referenced.insert(name);
        }
        if (st.kind == Kind::instruction && st.mnemonic == "do" && st.operands.size() == 2)
            p.loop_ends.insert(st.operands[1]);
        p.sections.push_back(sections.after(st, static_cast<int>(p.statements.size()) + 1));
        p.statements.push_back(std::move(st));
    }
    // Only the operands the instruction reads name anything: extra
    // characters after them (a BRA's second operand when its first is no
    // condition, what follows an expression or a register) are read by
    // nothing.
    const Modeller modeller(p.aliases);
    for (const Statement& st : p.statements)
        if (st.kind == Kind::instruction)
            for (const std::string& operand : modeller.operands_read(st)) collect_names(operand, operand_names);
    referenced.insert(operand_names.begin(), operand_names.end());
    // A numeric label is named as "<digits>b" or "<digits>f"; one that no
    // statement names so (in any operand, read or not) is named by nothing.
    // "$$" counts as named always.
    std::unordered_set<std::string> numeric_named;
    for (const Statement& st : p.statements) {
        const std::string& text = st.operand_text;
        for (size_t i = 0; i < text.size();) {
            if (std::isdigit(static_cast<unsigned char>(text[i])) == 0 || (i > 0 && is_word_char(text[i - 1]) && text[i - 1] != '#')) {
                ++i;
                continue;
            }
            size_t end = i;
            while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])) != 0) ++end;
            const char suffix = end < text.size() ? static_cast<char>(std::tolower(static_cast<unsigned char>(text[end]))) : 0;
            if ((suffix == 'b' || suffix == 'f') && (end + 1 >= text.size() || !is_word_char(text[end + 1])))
                numeric_named.insert(text.substr(i, end - i));
            i = end;
        }
    }
    for (const Statement& st : p.statements)
        if (st.kind == Kind::label &&
            (referenced.count(st.label) != 0 || st.label == "$$" ||
             (is_numeric_label(st.label) && numeric_named.count(st.label) != 0)))
            p.entry_labels.insert(st.label);
    return p;
}

// Does this line start a new stretch of its section that no instruction
// of the section may leave: a label that is jumped to, or data? What lies
// in another section does not move an instruction, so a change of section
// is no fence: an instruction must only stay in its own.
bool is_fence(const Program& p, int line) {
    const Statement& st = p.statements[static_cast<size_t>(line - 1)];
    if (st.kind == Kind::label) return p.entry_labels.count(st.label) != 0;
    return st.kind == Kind::directive && data_directives().count(st.directive) != 0;
}

std::string describe(const Program& p, int line) {
    return "line " + std::to_string(line) + " (" + std::string(trim(p.lines[static_cast<size_t>(line - 1)])) + ")";
}

class Checker {
public:
    Checker(const Program& program, bool strict) : p_(program), strict_(strict), modeller_(program.aliases) {}

    bool run(const std::vector<OutputLine>& output, std::string& why);

private:
    const Program& p_;
    bool strict_;
    Modeller modeller_;
    std::vector<std::optional<Model>> models_;  // per line
    std::vector<Traits> traits_;                // per line
    std::vector<char> filled_;                  // per line: written in delayed form by the scheduler

    bool check_lines(const std::vector<OutputLine>& output, std::string& why);
    bool check_models(std::string& why);
    const std::optional<Model>& model_of(int line) const { return models_[static_cast<size_t>(line)]; }
    const Traits& traits(int line) const { return traits_[static_cast<size_t>(line)]; }
    const Statement& statement_of(int line) const { return p_.statements[static_cast<size_t>(line - 1)]; }
    bool slot_region(const std::vector<int>& seq, size_t at, std::vector<int>& region, std::string& why) const;
};

bool Checker::check_lines(const std::vector<OutputLine>& output, std::string& why) {
    const int total = static_cast<int>(p_.lines.size());
    std::vector<char> seen(static_cast<size_t>(total) + 1, 0);
    filled_.assign(static_cast<size_t>(total) + 1, 0);
    int last = 0;
    for (size_t k = 0; k < output.size(); ++k) {
        const OutputLine& o = output[k];
        if (o.nop) {
            const bool after_filled_bra = k > 0 && !output[k - 1].nop && filled_[static_cast<size_t>(output[k - 1].line)] != 0 &&
                                          statement_of(output[k - 1].line).mnemonic == "bra";
            if (!after_filled_bra) {
                why = annotation_error(k) + "nop added where no filled two-slot branch stands before it";
                return false;
            }
            continue;
        }
        if (o.line > total) {
            why = annotation_error(k) + "line " + std::to_string(o.line) + " is not a line of the source";
            return false;
        }
        if (seen[static_cast<size_t>(o.line)] != 0) {
            why = annotation_error(k) + "line " + std::to_string(o.line) + " written twice";
            return false;
        }
        seen[static_cast<size_t>(o.line)] = 1;
        std::string source = p_.lines[static_cast<size_t>(o.line - 1)];
        // A line that its note ("\t; [+:" and the line number and "]")
        // would take past 663 characters, the most the reader takes whole
        // with its newline, is written without its trailing blanks.
        const size_t note = 7 + std::to_string(o.line).size();
        if (o.text != source && source.size() + note > 663) {
            std::string trimmed = source;
            while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t'))
                trimmed.pop_back();
            if (o.text == trimmed || o.text.size() == trimmed.size() + 1) source = trimmed;
        }
        if (o.text != source) {
            const auto delayed = delayed_text(source, statement_of(o.line));
            if (!delayed || o.text != *delayed) {
                why = annotation_error(k) + "line " + std::to_string(o.line) + " is written as '" + o.text +
                      "', the source has '" + source + "'";
                return false;
            }
            filled_[static_cast<size_t>(o.line)] = 1;
        }
        const char mark = o.line == last + 1 ? '+' : '-';
        if (o.mark != mark) {
            why = annotation_error(k) + "line " + std::to_string(o.line) + " is marked '" + o.mark + "', not '" +
                  mark + "'";
            return false;
        }
        last = o.line;
    }
    for (int n = 1; n <= total; ++n)
        if (seen[static_cast<size_t>(n)] == 0) {
            why = describe(p_, n) + " is missing from the scheduled source";
            return false;
        }
    return true;
}

bool Checker::check_models(std::string& why) {
    models_.assign(p_.lines.size() + 1, std::nullopt);
    traits_.assign(p_.lines.size() + 1, Traits{});
    for (size_t i = 0; i < p_.statements.size(); ++i) {
        if (p_.statements[i].kind != Kind::instruction) continue;
        traits_[i + 1] = traits_of(p_.statements[i]);
        models_[i + 1] = modeller_.model(p_.statements[i]);
        if (!models_[i + 1] && strict_) {
            why = "unmodelled instruction: " + std::string(trim(p_.lines[i])) + " (line " + std::to_string(i + 1) + ")";
            return false;
        }
    }
    return true;
}

// The instructions in the delay slots of the delayed branch at seq[at]
// (0 stands for an added nop).
bool Checker::slot_region(const std::vector<int>& seq, size_t at, std::vector<int>& region, std::string& why) const {
    const int branch = seq[at];
    const std::string& m = statement_of(branch).mnemonic;
    const int slots = m == "bra" || m == "pbra" ? 2 : 1;
    int filled = 0;
    for (size_t k = at + 1; k < seq.size() && filled < slots; ++k) {
        region.push_back(seq[k]);
        if (seq[k] == 0) {
            ++filled;
            continue;
        }
        const Traits& t = traits(seq[k]);
        if (t.slot_size == 0) {
            if (filled_[static_cast<size_t>(branch)] != 0) {
                why = describe(p_, seq[k]) + " stands in a delay slot of " + describe(p_, branch) +
                      " but may not fill one";
                return false;
            }
            ++filled;  // the source put it there; its own effect is not judged here
            continue;
        }
        filled += t.slot_size;
    }
    if (filled != slots && filled_[static_cast<size_t>(branch)] != 0) {
        why = "the delay slots of " + describe(p_, branch) + " hold " + std::to_string(filled) + " cycles, not " +
              std::to_string(slots);
        return false;
    }
    return true;
}

bool Checker::run(const std::vector<OutputLine>& output, std::string& why) {
    if (!check_lines(output, why)) return false;
    if (!check_models(why)) return false;

    // The instructions in source order and in written order (0: added nop).
    std::vector<int> source_seq;
    for (size_t i = 0; i < p_.statements.size(); ++i)
        if (p_.statements[i].kind == Kind::instruction) source_seq.push_back(static_cast<int>(i + 1));
    std::vector<int> out_seq;
    for (const OutputLine& o : output)
        if (o.nop) out_seq.push_back(0);
        else if (statement_of(o.line).kind == Kind::instruction) out_seq.push_back(o.line);
    std::vector<size_t> out_pos(p_.lines.size() + 1, 0);
    for (size_t k = 0; k < out_seq.size(); ++k)
        if (out_seq[k] != 0) out_pos[static_cast<size_t>(out_seq[k])] = k;
    std::vector<size_t> source_pos(p_.lines.size() + 1, 0);
    for (size_t k = 0; k < source_seq.size(); ++k) source_pos[static_cast<size_t>(source_seq[k])] = k;

    // Filled branches were written without their 'p' in the source.
    for (size_t n = 1; n < filled_.size(); ++n)
        if (filled_[n] != 0 && is_delayed(statement_of(static_cast<int>(n)).mnemonic)) {
            why = describe(p_, static_cast<int>(n)) + " is already delayed in the source";
            return false;
        }

    // Delay slots. slot_of[x] is the filled branch whose slot x was moved into.
    std::vector<int> slot_of(p_.lines.size() + 1, 0);
    for (size_t k = 0; k < out_seq.size(); ++k) {
        const int line = out_seq[k];
        if (line == 0) continue;
        const Statement& st = statement_of(line);
        const bool filled = filled_[static_cast<size_t>(line)] != 0;
        if (!filled && !is_delayed(st.mnemonic)) continue;
        std::vector<int> region;
        if (!slot_region(out_seq, k, region, why)) return false;
        if (filled) {
            for (int x : region) {
                if (x == 0) continue;
                if (x > line) {
                    why = describe(p_, x) + " fills a delay slot of " + describe(p_, line) +
                          " but came after it in the source";
                    return false;
                }
                const size_t at = source_pos[static_cast<size_t>(x)];
                const bool shadowed = at > 0 && traits(source_seq[at - 1]).shadow;
                if (traits(x).shadow || shadowed) {
                    why = describe(p_, x) + " fills a delay slot of " + describe(p_, line) +
                          " but is a skip or REPEAT pair";
                    return false;
                }
                slot_of[static_cast<size_t>(x)] = line;
            }
        } else {
            // A delayed form that the source wrote keeps its slots.
            std::vector<int> before;
            std::string ignored;
            slot_region(source_seq, source_pos[static_cast<size_t>(line)], before, ignored);
            if (before != region) {
                why = "the delay slots of " + describe(p_, line) + " no longer hold what the source put there";
                return false;
            }
        }
    }

    // A skip or REPEAT keeps the instruction it acts on right after it.
    for (size_t k = 0; k + 1 < source_seq.size(); ++k) {
        if (!traits(source_seq[k]).shadow) continue;
        const size_t at = out_pos[static_cast<size_t>(source_seq[k])];
        if (at + 1 >= out_seq.size() || out_seq[at + 1] != source_seq[k + 1]) {
            why = describe(p_, source_seq[k + 1]) + " no longer follows the skip or REPEAT at " +
                  describe(p_, source_seq[k]);
            return false;
        }
    }

    // The instruction at a DO loop's end label is the loop's last one: it
    // stays the first instruction after that label.
    {
        int pending = 0;  // the loop-end label line whose first instruction is due
        std::vector<int> last_of_loop(p_.lines.size() + 1, 0);
        for (int n = 1; n <= static_cast<int>(p_.lines.size()); ++n) {
            const Statement& st = statement_of(n);
            if (st.kind == Kind::label && p_.loop_ends.count(st.label) != 0) pending = n;
            if (st.kind == Kind::instruction && pending != 0) {
                last_of_loop[static_cast<size_t>(pending)] = n;
                pending = 0;
            }
        }
        pending = 0;
        for (const OutputLine& o : output) {
            if (!o.nop && last_of_loop[static_cast<size_t>(o.line)] != 0) {
                pending = o.line;
                continue;
            }
            if (pending == 0 || (!o.nop && statement_of(o.line).kind != Kind::instruction)) continue;
            const int expected = last_of_loop[static_cast<size_t>(pending)];
            if (o.nop || o.line != expected) {
                why = describe(p_, expected) + " is no longer the last instruction of the loop ending at " +
                      describe(p_, pending);
                return false;
            }
            pending = 0;
        }
    }

    // The instructions that run while DISI #k holds interrupts off, at most
    // k + 1 (one a cycle, and the cycle the count may leave open), stay the
    // ones right after it. A nop added among them takes a cycle of its own;
    // a later DISI sets the count anew.
    for (size_t k = 0; k < source_seq.size(); ++k) {
        const Statement& st = statement_of(source_seq[k]);
        if (st.mnemonic != "disi" || st.operands.size() != 1) continue;
        char* end = nullptr;
        const std::string count_text(trim(std::string_view(st.operands[0]).substr(1)));
        const unsigned long count = std::strtoul(count_text.c_str(), &end, 0);
        if (count_text.empty() || *end != '\0') continue;  // not a plain number: not judged
        // A later DISI sets the count anew: this one's window ends with it.
        size_t next = k + 1;
        while (next < source_seq.size() && statement_of(source_seq[next]).mnemonic != "disi") ++next;
        const size_t held = std::min<size_t>({count + 1, source_seq.size() - k - 1, next - k});
        std::vector<int> before(source_seq.begin() + static_cast<std::ptrdiff_t>(k) + 1,
                                source_seq.begin() + static_cast<std::ptrdiff_t>(k + 1 + held));
        const size_t at = out_pos[static_cast<size_t>(source_seq[k])];
        std::vector<int> after;
        const size_t window = std::min<size_t>(count, out_seq.size()) + 1;
        for (size_t j = at + 1; j < out_seq.size() && j - at <= window; ++j) {
            if (out_seq[j] != 0) after.push_back(out_seq[j]);
            if (next < source_seq.size() && out_seq[j] == source_seq[next]) break;
        }
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        if (before != after) {
            why = "the instructions that run while " + describe(p_, source_seq[k]) +
                  " holds interrupts off are not the ones the source put there";
            return false;
        }
    }

    // An instruction sees the value of each name it uses that it saw in the
    // source: it does not cross a .set or .equ of that name. A name given
    // its value once has that value everywhere (a use before it reads the
    // value the first pass found), so only names given one more than once
    // count.
    {
        std::unordered_map<std::string, int> assignments;  // name: assignments in the source
        for (const Statement& st : p_.statements)
            if (st.kind == Kind::directive && (st.directive == ".set" || st.directive == ".equ") &&
                !st.operands.empty())
                ++assignments[st.operands[0]];
        std::unordered_map<std::string, int> assigned;  // name: assignments passed so far
        std::vector<std::vector<std::pair<std::string, int>>> seen(p_.lines.size() + 1);
        auto walk = [&](int line, bool record) {
            const Statement& st = statement_of(line);
            if (st.kind == Kind::directive && (st.directive == ".set" || st.directive == ".equ") &&
                !st.operands.empty() && p_.operand_names.count(st.operands[0]) != 0 &&
                assignments[st.operands[0]] > 1)
                ++assigned[st.operands[0]];
            if (st.kind != Kind::instruction) return true;
            std::unordered_set<std::string> names;
            for (const std::string& operand : modeller_.operands_read(st)) collect_names(operand, names);
            std::vector<std::pair<std::string, int>> values;
            for (const std::string& name : names)
                if (auto at = assigned.find(name); at != assigned.end()) values.emplace_back(name, at->second);
            std::sort(values.begin(), values.end());
            if (record) {
                seen[static_cast<size_t>(line)] = values;
                return true;
            }
            return values == seen[static_cast<size_t>(line)];
        };
        for (int n = 1; n <= static_cast<int>(p_.lines.size()); ++n) walk(n, true);
        assigned.clear();
        for (const OutputLine& o : output)
            if (!o.nop && !walk(o.line, false)) {
                why = describe(p_, o.line) + " was moved across a new value of a name it uses";
                return false;
            }
    }

    // No instruction leaves its section or crosses a label of it that is
    // jumped to or its data; what lies in another section moves nothing.
    // One that uses the location counter '.' keeps its place in words among
    // the instructions of its section after the last such label or data,
    // and no nop is added after it before the next one, so that what '.'
    // reaches ahead is where it was. A nop added before it moves it and all
    // that follows alike: that keeps a forward reference ('.+4' over a
    // table) but not a backward one, so only an instruction whose every '.'
    // is followed by '+' may have one. Only instructions move, so the
    // section directives come out in their order and each line of them
    // leaves the section it left in the source.
    {
        struct Stretch {
            int count = 0;
            int words = 0;
            int nops_before = 0;    // nops added in this stretch so far
            int location_line = 0;  // an instruction of this stretch that uses '.'
        };
        std::vector<int> stretch(p_.lines.size() + 1, 0);
        std::vector<int> offset(p_.lines.size() + 1, 0);
        std::unordered_map<std::string, Stretch> at;
        for (int n = 1; n <= static_cast<int>(p_.lines.size()); ++n) {
            Stretch& here = at[p_.sections[static_cast<size_t>(n - 1)]];
            if (is_fence(p_, n)) ++here.count, here.words = 0;
            stretch[static_cast<size_t>(n)] = here.count;
            offset[static_cast<size_t>(n)] = here.words;
            if (statement_of(n).kind == Kind::instruction) here.words += word_count(statement_of(n));
        }
        at.clear();
        std::string section = ".text";
        for (const OutputLine& o : output) {
            if (!o.nop && statement_of(o.line).kind != Kind::instruction)
                section = p_.sections[static_cast<size_t>(o.line - 1)];
            Stretch& here = at[section];
            if (o.nop) {
                if (here.location_line != 0) {
                    why = "a nop was added after " + describe(p_, here.location_line) +
                          ", which uses the location counter, before the next label that is jumped to";
                    return false;
                }
                ++here.nops_before;
                continue;
            }
            if (is_fence(p_, o.line)) here = Stretch{here.count + 1, 0, 0, 0};
            const Statement& st = statement_of(o.line);
            if (st.kind != Kind::instruction) continue;
            if (p_.sections[static_cast<size_t>(o.line - 1)] != section) {
                why = describe(p_, o.line) + " was moved into another section";
                return false;
            }
            if (stretch[static_cast<size_t>(o.line)] != here.count) {
                why = describe(p_, o.line) + " was moved across a label that is jumped to or data";
                return false;
            }
            const std::vector<std::string> read = modeller_.operands_read(st);
            if (uses_location(read)) {
                if (offset[static_cast<size_t>(o.line)] != here.words ||
                    (here.nops_before > 0 && !location_ahead_only(read))) {
                    why = describe(p_, o.line) + " uses the location counter but was moved to another address";
                    return false;
                }
                here.location_line = o.line;
            }
            here.words += word_count(st);
        }
    }

    // Instructions whose order changed must not depend on each other.
    for (size_t i = 0; i < source_seq.size(); ++i) {
        const int a = source_seq[i];
        for (size_t j = i + 1; j < source_seq.size(); ++j) {
            const int b = source_seq[j];
            if (out_pos[static_cast<size_t>(a)] < out_pos[static_cast<size_t>(b)]) continue;
            if (traits(a).barrier || traits(b).barrier) {
                why = describe(p_, a) + " and " + describe(p_, b) + " changed order across a DO, PWRSAV or DISI";
                return false;
            }
            const auto& ma = model_of(a);
            const auto& mb = model_of(b);
            if (!ma || !mb) continue;
            const bool into_slot = slot_of[static_cast<size_t>(a)] == b;
            const uint32_t mask = into_slot ? ~STATUS : ~0u;
            if (depends(ma->res, mb->res, mask)) {
                why = describe(p_, a) + " and " + describe(p_, b) + " changed order but depend on each other through " +
                      resource_names(shared_resources(ma->res, mb->res) & mask);
                return false;
            }
        }
    }
    return true;
}

// Words whose value does not move when addresses do: anything but the
// transfers, the literal moves (which may carry an address) and the
// second words of two-word instructions (all below 0x400000).
bool carries_no_address(uint32_t word) {
    const uint32_t top = (word >> 16) & 0xFF;
    return top >= 0x40 && top != 0xE6 && top != 0xE7;
}

// A word's value with the offset of a relative transfer cleared: BRA (both
// forms), RCALL and the accumulator branches hold it in the low 16 bits,
// the compare-and-branch instructions in bits 4 to 9. A transfer that
// moves (a branch written before the instructions of its delay slots)
// keeps its target but not its offset, so only the rest is compared.
uint32_t without_branch_offset(uint32_t word) {
    const uint32_t top = (word >> 16) & 0xFF;
    if (top == 0x07 || (top >= 0x0C && top <= 0x0F) || (top >= 0x30 && top <= 0x3F)) return word & 0xFFFF0000u;
    if (top == 0xE6 || top == 0xE7) return word & ~uint32_t{0x3F0};
    return word;
}

}  // namespace

bool proof_check_schedule(std::string_view original, std::string_view scheduled, bool strict_model,
                          std::string& why) {
    why.clear();
    const Program program = read_program(original);
    std::vector<OutputLine> output;
    if (!read_output(scheduled, output, why)) return false;
    Checker checker(program, strict_model);
    return checker.run(output, why);
}

namespace {

// Which sections hold program memory: the default ones by name, and every
// other by the attributes of the statement that made it, since a later
// statement that names a section only selects it. Names compare ignoring
// letter case.
class CodeSections {
public:
    // The current section holds program memory.
    bool code() const { return current_; }

    void after(const Statement& st) {
        if (st.kind != Kind::directive) return;
        if (st.directive == ".text") {
            current_ = true;
        } else if (st.directive == ".data") {
            current_ = false;
        } else if (st.directive == ".section" || st.directive == ".pushsection") {
            if (st.directive == ".pushsection") stack_.push_back(current_);
            if (!st.operands.empty()) current_ = select(st.operand_text);
        } else if (st.directive == ".popsection" && !stack_.empty()) {
            current_ = stack_.back();
            stack_.pop_back();
        }
    }

private:
    bool select(const std::string& operand_text) {
        const std::vector<std::string> operands = split_operands(operand_text);
        std::string name = lower(section_name_of(operands[0]));
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
        if (name == "*") return proof_new_section_is_code(operand_text);  // a name of its own, never again
        const auto known = kinds_.find(name);
        if (known != kinds_.end()) return known->second;
        const bool code = proof_new_section_is_code(operand_text);
        kinds_.emplace(name, code);
        return code;
    }

    bool current_ = true;
    std::vector<bool> stack_;
    std::unordered_map<std::string, bool> kinds_ = {{".text", true}, {".data", false}, {".bss", false}};
};

}  // namespace

bool proof_new_section_is_code(std::string_view operand_text) {
    const std::vector<std::string> operands = split_operands(operand_text);
    bool extra = false;
    if (!operands.empty()) section_name_of(operands[0], &extra);
    if (operands.size() < 2 || extra) return true;
    const std::string_view first = operands[1];
    if (!first.empty() && first.front() == '"') return first.size() > 1 && first[1] == 'x';
    if (first.empty() || !is_name_start(first.front())) return true;
    {
        size_t end = 0;
        while (end < first.size() && is_word_char(first[end]) && first[end] != '#' && first[end] != '?') ++end;
        if (is_reserved_word(first.substr(0, end))) return true;
    }
    // A list of attribute words, each perhaps with a parenthesised group;
    // anything else after an entry ends the list.
    for (size_t k = 1; k < operands.size(); ++k) {
        const std::string_view entry = operands[k];
        size_t end = 0;
        while (end < entry.size() && is_word_char(entry[end]) && entry[end] != '#' && entry[end] != '?') ++end;
        const std::string_view word = entry.substr(0, end);
        if (word == "code" || word == "auxflash" || word == "auxpsv") return true;
        std::string_view rest = trim(entry.substr(end));
        if (!rest.empty() && rest.front() == '(') {
            int depth = 0;
            size_t at = 0;
            for (; at < rest.size(); ++at) {
                if (rest[at] == '(') ++depth;
                else if (rest[at] == ')' && --depth == 0) break;
            }
            rest = at < rest.size() ? trim(rest.substr(at + 1)) : std::string_view();
        }
        if (!rest.empty()) break;
    }
    return false;
}

size_t proof_count_added_nops(std::string_view scheduled) {
    size_t count = 0;
    size_t at = 0;
    CodeSections sections;
    while (at < scheduled.size()) {
        size_t end = scheduled.find('\n', at);
        if (end == std::string_view::npos) end = scheduled.size();
        const std::string_view line = scheduled.substr(at, end - at);
        at = end + 1;
        if (line == "\tnop") {
            if (sections.code()) ++count;
            continue;
        }
        const size_t note = line.rfind("\t; [");
        sections.after(parse_statement(note == std::string_view::npos ? line : line.substr(0, note)));
    }
    return count;
}

bool proof_check_program_memory(const std::vector<uint32_t>& original_words,
                                const std::vector<uint32_t>& scheduled_words, size_t added_nops,
                                std::string& why) {
    why.clear();
    if (scheduled_words.size() != original_words.size() + added_nops) {
        why = "program memory holds " + std::to_string(scheduled_words.size()) + " words after scheduling, " +
              std::to_string(original_words.size()) + " before, with " + std::to_string(added_nops) + " nops added";
        return false;
    }
    // Without added nops no label moves and every word must come back, a
    // relative transfer but for its offset; with them only the words that carry no address are compared, and the
    // others must be exactly the nops more.
    std::multiset<uint32_t> before;
    std::multiset<uint32_t> after;
    size_t before_moving = 0;
    size_t after_moving = 0;
    for (uint32_t w : original_words)
        if (added_nops == 0) before.insert(without_branch_offset(w));
        else if (carries_no_address(w)) before.insert(w);
        else ++before_moving;
    for (uint32_t w : scheduled_words)
        if (added_nops == 0) after.insert(without_branch_offset(w));
        else if (carries_no_address(w)) after.insert(w);
        else ++after_moving;
    if (after_moving != before_moving + added_nops) {
        why = "program memory holds " + std::to_string(after_moving) + " transfer, literal or second words after " +
              "scheduling, " + std::to_string(before_moving) + " before, with " + std::to_string(added_nops) +
              " nops added";
        return false;
    }
    if (before != after) {
        std::vector<uint32_t> only_before;
        std::vector<uint32_t> only_after;
        std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(only_before));
        std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(only_after));
        auto hex = [](uint32_t w) {
            char text[16];
            std::snprintf(text, sizeof text, "%06X", w);
            return std::string(text);
        };
        why = "the program words differ:";
        for (size_t k = 0; k < only_before.size() && k < 4; ++k) why += " " + hex(only_before[k]) + " only before;";
        for (size_t k = 0; k < only_after.size() && k < 4; ++k) why += " " + hex(only_after[k]) + " only after;";
        return false;
    }
    return true;
}
