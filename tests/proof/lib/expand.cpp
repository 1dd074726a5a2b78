#include "expand.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

using Lines = std::vector<std::string_view>;

// Deeper nesting than this is a rewrite gone round in circles.
constexpr int MAX_DEPTH = 256;

// The lines as the assembler reads them: at most 664 characters at a
// time, so that the rest of a longer line is a line of its own; a zero
// byte ends a line's text.
constexpr size_t LINE_CHARACTERS = 664;

Lines split_lines(std::string_view text)
{
    Lines lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t room = std::min(LINE_CHARACTERS, text.size() - start);
        const size_t newline = text.substr(start, room).find('\n');
        const size_t length = newline == std::string_view::npos ? room : newline;
        std::string_view line = text.substr(start, length);
        start += newline == std::string_view::npos ? length : length + 1;
        const size_t zero = line.find('\0');
        if (zero != std::string_view::npos)
            line = line.substr(0, zero);
        else if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
    }
    return lines;
}

// The assembler's words: a name character (a letter, '_', '?', '@') or '.'
// first, then name characters, digits, '.' and '#'; or a word that '$'
// begins, which takes name characters, digits, '#' and '$' but no '.'.
bool is_name_char(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '?' || c == '@';
}

bool is_ident_start(char c) { return is_name_char(c) || c == '.' || c == '$'; }

bool is_ident(char c) { return is_name_char(c) || std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '#'; }

bool is_dollar_ident(char c)
{
    return is_name_char(c) || std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '#' || c == '$';
}

// The assembler's blanks: space, tab and carriage return.
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && is_space(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && is_space(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The statement part of a line: everything before a ';' that is not inside
// a string or character literal.
std::string_view code_part(std::string_view line)
{
    char quote = 0;
    for (size_t k = 0; k < line.size(); ++k) {
        const char c = line[k];
        if (quote != 0) {
            if (c == '\\')
                ++k;
            else if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            return line.substr(0, k);
        }
    }
    return line;
}

// One line of either text, cut as the assembler sees it: its labels, then
// an empty rest, a directive or an instruction.
enum class Kind { empty, directive, instruction };

struct Statement {
    std::vector<std::string_view> labels;
    std::string_view rest;  // the code after the labels, trimmed
    Kind kind = Kind::empty;
    std::string mnemonic;   // lower case, without its size suffix
};

// The end of the word that starts at `at` (a name, a '$' word, or a
// numeric label's digits); `at` when no word starts there.
size_t word_end(std::string_view s, size_t at)
{
    size_t n = at;
    if (n < s.size() && s[n] == '$') {
        while (n < s.size() && is_dollar_ident(s[n]))
            ++n;
    } else if (n < s.size() && (is_ident_start(s[n]) || std::isdigit(static_cast<unsigned char>(s[n])) != 0)) {
        while (n < s.size() && is_ident(s[n]))
            ++n;
    }
    return n;
}

// The word at the start of `s`.
size_t word_length(std::string_view s) { return word_end(s, 0); }

// A word in the first column is a label, with or without a ':'; further
// on, a word followed by ':' is one.
Statement read_statement(std::string_view line)
{
    Statement st;
    std::string_view code = code_part(line);
    bool first_column = true;
    for (;;) {
        std::string_view s = code;
        while (!s.empty() && is_space(s.front()))
            s.remove_prefix(1);
        if (s.size() != code.size())
            first_column = false;
        const size_t n = word_length(s);
        std::string_view after = s.substr(n);
        while (!after.empty() && is_space(after.front()))
            after.remove_prefix(1);
        const bool colon = !after.empty() && after.front() == ':';
        const bool numeric = n > 0 && std::isdigit(static_cast<unsigned char>(s[0])) != 0;
        if (n == 0 || !(colon || (first_column && !numeric)))
            break;
        st.labels.push_back(s.substr(0, n));
        code = colon ? after.substr(1) : after;
        first_column = false;
    }
    st.rest = trim(code);
    if (st.rest.empty())
        return st;
    // The mnemonic field's word, as the scanner cuts it; a statement that
    // begins with anything else (the '=' of an equate) is no instruction.
    const size_t n = word_length(st.rest);
    std::string_view word = st.rest.substr(0, n);
    if (n == 0 || word.front() == '.' || std::isdigit(static_cast<unsigned char>(word.front())) != 0) {
        st.kind = Kind::directive;
        return st;
    }
    st.kind = Kind::instruction;
    st.mnemonic = lower(word.substr(0, word.find('.')));
    return st;
}

// Numeric labels may be defined again and again; only names get fresh
// ones in a copy.
bool is_name(std::string_view label) { return !label.empty() && std::isdigit(static_cast<unsigned char>(label[0])) == 0; }

// ---- The writer's own lines ------------------------------------------------------

bool take(std::string_view& s, std::string_view prefix)
{
    if (s.substr(0, prefix.size()) != prefix)
        return false;
    s.remove_prefix(prefix.size());
    return true;
}

bool take_number(std::string_view& s, long& value)
{
    bool negative = take(s, "-");
    size_t n = 0;
    long v = 0;
    while (n < s.size() && n < 10 && std::isdigit(static_cast<unsigned char>(s[n])) != 0)
        v = v * 10 + (s[n++] - '0');
    if (n == 0 || (n < s.size() && std::isdigit(static_cast<unsigned char>(s[n])) != 0))
        return false;
    s.remove_prefix(n);
    value = negative ? -v : v;
    return true;
}

// "A ... B"
bool take_range(std::string_view& s, long& first, long& last)
{
    return take_number(s, first) && take(s, " ... ") && take_number(s, last);
}

// "\trcall\t.LPA3\t; 10 ... 14", with call, bra, goto and the comment forms
// ";bra", ";goto" of a tail call that falls into the next body.
struct Site {
    bool comment = false;
    bool jump = false;
    long id = 0;
    long first = 0;
    long last = 0;
};

bool read_site(std::string_view s, Site& site)
{
    if (!take(s, "\t"))
        return false;
    site.comment = take(s, ";");
    if (take(s, "rcall\t") || take(s, "call\t"))
        site.jump = false;
    else if (take(s, "bra\t") || take(s, "goto\t"))
        site.jump = true;
    else
        return false;
    if (site.comment && !site.jump)
        return false;
    return take(s, ".LPA") && take_number(s, site.id) && site.id >= 0 && take(s, "\t; ") &&
           take_range(s, site.first, site.last) && s.empty();
}

// ".LPA3:\t; 10 ... 14 (closed:1)" or "(opencode:0)".
bool read_header(std::string_view s, std::string_view kind, long& id, long& first, long& last)
{
    long level = 0;
    return take(s, ".LPA") && take_number(s, id) && id >= 0 && take(s, ":\t; ") && take_range(s, first, last) &&
           take(s, " (") && take(s, kind) && take(s, ":") && take_number(s, level) && take(s, ")") && s.empty();
}

// "\tretlw\t#K,wN\t; A ... B": a closing move and return in one.
bool read_retlw(std::string_view s, std::string& move)
{
    long literal = 0;
    long reg = 0;
    long first = 0;
    long last = 0;
    if (!(take(s, "\tretlw\t#") && take_number(s, literal) && literal >= 0 && take(s, ",w") &&
          take_number(s, reg) && reg >= 0 && reg <= 15 && take(s, "\t; ") && take_range(s, first, last) &&
          s.empty()))
        return false;
    move = "\tmov\t#" + std::to_string(literal) + ",w" + std::to_string(reg);
    return true;
}

// "\tbra\troutine\t; A ... B": a closing call of a routine turned into a jump.
bool read_closing_jump(std::string_view s, std::string& call)
{
    std::string_view word;
    if (take(s, "\tbra\t"))
        word = "rcall";
    else if (take(s, "\tgoto\t"))
        word = "call";
    else
        return false;
    size_t tab = s.find('\t');
    if (tab == std::string_view::npos || tab == 0)
        return false;
    std::string_view target = s.substr(0, tab);
    s.remove_prefix(tab);
    long first = 0;
    long last = 0;
    if (target.substr(0, 4) == ".LPA" || !take(s, "\t; ") || !take_range(s, first, last) || !s.empty())
        return false;
    for (char c : target)
        if (!is_ident(c))
            return false;
    call = "\t" + std::string(word) + "\t" + std::string(target);
    return true;
}

bool is_section_line(std::string_view s)
{
    return s == "\t.text" || (s.substr(0, 10) == "\t.section\t" && s.size() > 15 && s.substr(s.size() - 5) == ",code");
}

bool is_writer_label(std::string_view label) { return label.substr(0, 4) == ".LPA"; }

// "<source line>\t; [N]": a label line of the source that the writer wrote
// again before a call site, N being its line in the source.
bool read_reemitted(std::string_view s, std::string_view& text, long& line)
{
    if (s.empty() || s.back() != ']')
        return false;
    const size_t mark = s.rfind("\t; [");
    if (mark == std::string_view::npos)
        return false;
    std::string_view number = s.substr(mark + 4, s.size() - mark - 5);
    if (!take_number(number, line) || !number.empty() || line < 1)
        return false;
    text = s.substr(0, mark);
    return true;
}

// Instructions that act on the one after them.
bool is_skip_or_repeat(const std::string& m)
{
    static const std::unordered_set<std::string> names = {"btsc",  "btss",  "cpseq", "cpsne", "cpsgt", "cpslt",
                                                          "decsz", "decsnz", "incsz", "incsnz", "repeat"};
    return names.count(m) != 0;
}

bool is_transfer(const std::string& m)
{
    static const std::unordered_set<std::string> names = {"bra",   "goto",  "return", "retfie", "retlw",
                                                          "reset", "cpbeq", "cpbne",  "cpbgt",  "cpblt"};
    return names.count(m) != 0;
}

// Replaces every identifier of `code` found in `names`.
std::string rename_identifiers(std::string_view code, const std::unordered_map<std::string, std::string>& names)
{
    std::string out;
    char quote = 0;
    for (size_t k = 0; k < code.size();) {
        const char c = code[k];
        if (quote != 0) {
            out += c;
            if (c == '\\' && k + 1 < code.size())
                out += code[++k];
            else if (c == quote)
                quote = 0;
            ++k;
        } else if (c == '"' || c == '\'') {
            quote = c;
            out += c;
            ++k;
        } else if (is_ident_start(c) && (k == 0 || !is_ident(code[k - 1]))) {
            const size_t n = word_end(code, k);
            std::string word(code.substr(k, n - k));
            auto found = names.find(word);
            out += found != names.end() ? found->second : word;
            k = n;
        } else {
            out += c;
            ++k;
        }
    }
    return out;
}

bool parse_offset(std::string_view s, long& value, size_t& used)
{
    size_t n = 0;
    long v = 0;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        n = 2;
        while (n < s.size() && n < 10 && std::isxdigit(static_cast<unsigned char>(s[n])) != 0) {
            const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[n++])));
            v = v * 16 + (c <= '9' ? c - '0' : c - 'a' + 10);
        }
        if (n == 2)
            return false;
    } else {
        while (n < s.size() && n < 9 && std::isdigit(static_cast<unsigned char>(s[n])) != 0)
            v = v * 10 + (s[n++] - '0');
        if (n == 0)
            return false;
    }
    value = v;
    used = n;
    return true;
}

// How much of an operand field the instruction reads. The operands end
// where a value (a word, a number, a string, a bracketed address) is
// followed, after blanks, by anything but a comma, an operator or a
// closing bracket, or right away by '[': the rest is extra text that
// nothing reads ("mov.b 0x8 [w15-4]" is MOV.B 0x8). It reads on whenever
// in doubt, so that every operand the instruction reads is corrected
// below a site.
size_t read_extent(std::string_view field)
{
    const std::string_view operators = "+-*/%&|^<>=!~,()]";
    bool value_next = true;
    size_t k = 0;
    while (k < field.size()) {
        if (value_next) {
            const char c = field[k];
            if (is_space(c) || c == '#' || operators.find(c) != std::string_view::npos) {
                ++k;
            } else if (c == '[') {
                const size_t close = field.find(']', k);
                if (close == std::string_view::npos)
                    return field.size();
                k = close + 1;
                value_next = false;
            } else if (c == '"' || c == '\'') {
                size_t n = k + 1;
                while (n < field.size() && field[n] != c)
                    n += field[n] == '\\' ? 2 : 1;
                k = std::min(field.size(), n + 1);
                value_next = false;
            } else {
                const size_t n = word_end(field, k);
                k = n > k ? n : k + 1;
                value_next = false;
            }
            continue;
        }
        // After a value: an operator or comma goes on, and so does
        // anything stuck to it; after a blank, anything else ends it.
        const size_t value_end = k;
        while (k < field.size() && is_space(field[k]))
            ++k;
        if (k == field.size())
            return value_end;
        const char c = field[k];
        if (c == ')' || c == ']') {
            ++k;
        } else if (operators.find(c) != std::string_view::npos) {
            ++k;
            value_next = true;
        } else if (k == value_end && c != '[') {
            // '[' is never part of a word, so the value ended before it.
            value_next = true;
        } else {
            return value_end;
        }
    }
    return field.size();
}

// The code of a statement that runs `depth` call levels below its site,
// with every W15-relative offset given back the return addresses pushed on
// the way. False when the statement uses W15 in a way that no offset can
// correct: as a register, or as a plain [W15], which one call level down
// is the word 4 bytes above the site's and has no form with an offset in
// most instructions (a rewrite that puts one in a body changes the
// program).
bool relocate_stack_operands(std::string_view code, int depth, std::string& out, std::string& why)
{
    out.clear();
    const long shift = 4L * depth;
    for (size_t k = 0; k < code.size();) {
        const bool token = (code[k] == 'w' || code[k] == 'W') && code.substr(k + 1, 2) == "15" &&
                           (k == 0 || !is_ident(code[k - 1])) && (k + 3 >= code.size() || !is_ident(code[k + 3]));
        if (!token) {
            out += code[k++];
            continue;
        }
        const bool bracket = k > 0 && code[k - 1] == '[';
        std::string_view after = code.substr(k + 3);
        const bool pre_modified = k >= 3 && (code.substr(k - 3, 3) == "[--" || code.substr(k - 3, 3) == "[++");
        if (pre_modified && !after.empty() && after.front() == ']') {
            out += code.substr(k, 3);
            k += 3;
            continue;
        }
        if (!bracket) {
            why = "the stack pointer used as a register below the site: " + std::string(trim(code));
            return false;
        }
        if (!after.empty() && after.front() == ']') {
            why = "a plain [w15] below the site, another word than at the site: " + std::string(trim(code));
            return false;
        }
        if (after.substr(0, 3) == "++]" || after.substr(0, 3) == "--]") {
            out += code.substr(k, 3);
            k += 3;
            continue;
        }
        long offset = 0;
        size_t used = 0;
        if (!after.empty() && (after.front() == '+' || after.front() == '-') &&
                   parse_offset(after.substr(1), offset, used) && after.substr(1 + used, 1) == "]") {
            if (after.front() == '-')
                offset = -offset;
            used += 1;
        } else {
            why = "a stack operand that no offset can correct below the site: " + std::string(trim(code));
            return false;
        }
        const long value = offset + shift;
        out += std::string(code.substr(k, 3)) + (value < 0 ? "-" : "+") + std::to_string(value < 0 ? -value : value);
        k += 3 + used;
    }
    return true;
}

struct Body {
    long first = 0;
    long last = 0;
    size_t begin = 0;  // the line after the header
    size_t end = 0;    // one past its last line
    std::unordered_set<std::string> labels;
    int copies = 0;
};

class Expander {
public:
    Expander(std::string_view original, std::string_view rewritten, std::string& out, std::string& why)
        : out_(out), why_(why), lines_(split_lines(rewritten))
    {
        const Lines source = split_lines(original);
        counts_.assign(source.size() + 1, 0);
        for (size_t k = 0; k < source.size(); ++k)
            counts_[k + 1] = counts_[k] + (read_statement(source[k]).kind == Kind::instruction ? 1 : 0);
    }

    bool run()
    {
        if (!find_bodies())
            return false;
        bool skip_before = false;
        for (size_t k = 0; k < lines_.size(); ++k) {
            if (k == region_begin_) {
                k = region_end_ - 1;
                continue;
            }
            if (!main_line(k, skip_before))
                return false;
        }
        flush_waiting();
        return true;
    }

private:
    bool fail(std::string text)
    {
        why_ = std::move(text);
        return false;
    }

    std::string where(size_t k) const { return "line " + std::to_string(k + 1) + " of the rewritten source"; }

    // The number of instructions in the original's lines first..last.
    bool original_count(long first, long last, long& count)
    {
        if (first < 1 || last < first || static_cast<size_t>(last) >= counts_.size())
            return false;
        count = counts_[last] - counts_[first - 1];
        return true;
    }

    bool find_bodies()
    {
        long id = 0;
        long first = 0;
        long last = 0;
        region_begin_ = region_end_ = lines_.size();
        for (size_t k = 0; k < lines_.size(); ++k) {
            if (read_header(lines_[k], "opencode", id, first, last)) {
                if (!opened_.emplace(id, k).second)
                    return fail(".LPA" + std::to_string(id) + " is written twice (" + where(k) + ")");
                continue;
            }
            if (!read_header(lines_[k], "closed", id, first, last))
                continue;
            if (region_begin_ == lines_.size())
                region_begin_ = k > 0 && is_section_line(lines_[k - 1]) ? k - 1 : k;
            else if (k != region_end_)
                return fail("a closed body after the end of the bodies (" + where(k) + ")");
            // The body runs to the next header, section line or directive.
            Body body;
            body.first = first;
            body.last = last;
            body.begin = k + 1;
            size_t e = k + 1;
            long other = 0;
            while (e < lines_.size() && !is_section_line(lines_[e]) &&
                   !read_header(lines_[e], "closed", other, first, last) &&
                   read_statement(lines_[e]).kind != Kind::directive)
                ++e;
            body.end = e;
            for (size_t j = body.begin; j < body.end; ++j)
                for (std::string_view label : read_statement(lines_[j]).labels)
                    if (!is_writer_label(label))
                        body.labels.emplace(label);
            if (!closed_.emplace(id, std::move(body)).second)
                return fail(".LPA" + std::to_string(id) + " is written twice (" + where(k) + ")");
            region_end_ = e;
            k = e - 1;
            if (e < lines_.size() && is_section_line(lines_[e]))
                region_end_ = e + 1;  // a section line between bodies; the next header follows
        }
        for (const auto& entry : opened_)
            if (entry.second >= region_begin_ && entry.second < region_end_)
                return fail("an opened body among the closed ones (" + where(entry.second) + ")");
        return true;
    }

    // A line of the program's own text, outside the bodies, at call level 0.
    // The labels the writer wrote again before a call site wait for it: the
    // expansion puts each back before the instruction it stood on.
    bool main_line(size_t k, bool& skip_before)
    {
        std::string_view line = lines_[k];
        Site site;
        if (read_site(line, site)) {
            if (site.comment)
                return fail("a fall-through into a body outside the bodies (" + where(k) + ")");
            long emitted = 0;
            emit_waiting_directives();
            const size_t start = out_.size();
            instruction_ends_.clear();
            if (!expand_site(site, 0, skip_before, k, emitted))
                return false;
            place_reemitted(site, start);
            skip_before = false;
            return true;
        }
        std::string_view text;
        long source_line = 0;
        const Statement st0 = read_statement(line);
        if (read_reemitted(line, text, source_line) && st0.kind == Kind::empty && !st0.labels.empty()) {
            waiting_.push_back({std::string(text), source_line, true});
            return true;
        }
        // The directives the writer kept from a site's lines stand between
        // the labels and the call.
        if (!waiting_.empty() && st0.kind == Kind::directive) {
            waiting_.push_back({std::string(line), 0, false});
            return true;
        }
        flush_waiting();
        long id = 0;
        long first = 0;
        long last = 0;
        if (read_header(line, "opencode", id, first, last))
            return true;
        const Statement st = read_statement(line);
        size_t writer_labels = 0;
        for (std::string_view label : st.labels)
            writer_labels += is_writer_label(label) ? 1 : 0;
        if (writer_labels > 0) {
            if (writer_labels != st.labels.size() || st.kind != Kind::empty)
                return fail("a writer's label shares its line (" + where(k) + ")");
            return true;
        }
        out_.append(line).append("\n");
        if (st.kind == Kind::instruction)
            skip_before = is_skip_or_repeat(st.mnemonic);
        return true;
    }

    // Labels written again before `site`, put back where they stood among
    // its instructions; those of other lines stay where the writer put them.
    void place_reemitted(const Site& site, size_t start)
    {
        std::vector<std::pair<size_t, std::string>> inserts;
        for (const Waiting& w : waiting_) {
            long before = 0;
            size_t at = start;
            if (w.line >= site.first && w.line <= site.last && original_count(site.first, w.line, before)) {
                // The instructions of the site above the label.
                if (original_has_instruction(w.line))
                    --before;
                if (before > 0 && static_cast<size_t>(before) <= instruction_ends_.size())
                    at = instruction_ends_[before - 1];
            }
            inserts.emplace_back(at, w.text);
        }
        waiting_.clear();
        // Before an instruction line that has no label yet, the label goes
        // on that line (it may be the instruction a skip or REPEAT acts on);
        // anywhere else on a line of its own.
        for (auto it = inserts.rbegin(); it != inserts.rend(); ++it) {
            const std::vector<std::string_view> labels = read_statement(it->second).labels;
            if (labels.size() == 1 && it->first < out_.size() && out_[it->first] == '\t')
                out_.insert(it->first, std::string(labels.front()) + ":");
            else
                out_.insert(it->first, it->second + "\n");
        }
    }

    bool original_has_instruction(long line) const
    {
        return line >= 1 && static_cast<size_t>(line) < counts_.size() && counts_[line] != counts_[line - 1];
    }

    // The waiting directives, before the site they came before; the
    // labels stay waiting.
    void emit_waiting_directives()
    {
        std::vector<Waiting> labels;
        for (Waiting& w : waiting_) {
            if (w.label)
                labels.push_back(std::move(w));
            else
                out_.append(w.text).append("\n");
        }
        waiting_ = std::move(labels);
    }

    void flush_waiting()
    {
        for (const Waiting& w : waiting_)
            out_.append(w.text).append("\n");
        waiting_.clear();
    }

    // Expands one call or jump to .LPAn. `depth` is the call level of the
    // code the site is in; `emitted` counts the instructions written.
    bool expand_site(const Site& site, int depth, bool skip_before, size_t k, long& emitted)
    {
        long expected = 0;
        if (!original_count(site.first, site.last, expected))
            return fail("the source lines " + std::to_string(site.first) + " ... " + std::to_string(site.last) +
                        " of " + where(k) + " are not in the original");
        if (skip_before && !site.comment)
            return fail("a skip or REPEAT acts on the call site at " + where(k));
        auto closed = closed_.find(site.id);
        auto opened = opened_.find(site.id);
        long count = 0;
        if (closed != closed_.end()) {
            if (site.jump && depth == 0)
                return fail("a jump into closed body .LPA" + std::to_string(site.id) + " from level 0 (" +
                            where(k) + ")");
            // A call runs the body one level deeper; a tail jump at the
            // level of the body it ends.
            if (!expand_closed(site.id, closed->second, site.jump ? depth : depth + 1,
                               site.comment && skip_before, count))
                return false;
        } else if (opened != opened_.end()) {
            if (!site.jump)
                return fail("a call of opened body .LPA" + std::to_string(site.id) + " (" + where(k) + ")");
            if (!copy_opened(site.id, opened->second, expected, depth, count))
                return false;
        } else {
            return fail(".LPA" + std::to_string(site.id) + " has no body (" + where(k) + ")");
        }
        if (count != expected)
            return fail("the site at " + where(k) + " stands for " + std::to_string(expected) +
                        " instructions, its expansion holds " + std::to_string(count));
        emitted += count;
        return true;
    }

    // The code of one instruction line of a body or copy, at `depth`, with
    // labels renamed; checked for what may run below a site.
    bool emit_instruction(const Statement& st, int depth, const std::unordered_map<std::string, std::string>& names,
                          const std::unordered_set<std::string>& own_labels, size_t k)
    {
        // Only the operands name labels; the mnemonic keeps its word even
        // when a label of the copy is spelt the same.
        const size_t blank = st.rest.find_first_of(" \t\r");
        std::string code = blank == std::string_view::npos
                               ? std::string(st.rest)
                               : std::string(st.rest.substr(0, blank)) +
                                     rename_identifiers(st.rest.substr(blank), names);
        if (depth > 0) {
            if (st.mnemonic == "lnk" || st.mnemonic == "ulnk")
                return fail("a frame set up or dropped below the site: " + code + " (" + where(k) + ")");
            if (is_transfer(st.mnemonic)) {
                // Only a branch to a label of the same copy stays inside it.
                const size_t blank = st.rest.find_first_of(" \t\r");
                std::string_view operands = blank == std::string_view::npos ? std::string_view() : trim(st.rest.substr(blank));
                operands = trim(operands.substr(0, read_extent(operands)));
                const size_t comma = operands.rfind(',');
                const std::string target(trim(comma == std::string_view::npos ? operands : operands.substr(comma + 1)));
                if (st.mnemonic == "return" || st.mnemonic == "retfie" || st.mnemonic == "retlw" ||
                    st.mnemonic == "reset" || own_labels.count(target) == 0)
                    return fail("control leaves a body below the site: " + code + " (" + where(k) + ")");
            }
            // Only the operands it reads are corrected; extra text after
            // them stays as it is.
            const size_t field = code.find_first_of(" \t\r");
            const size_t read = field == std::string::npos ? code.size() : field + read_extent(std::string_view(code).substr(field));
            std::string moved;
            if (!relocate_stack_operands(std::string_view(code).substr(0, read), depth, moved, why_)) {
                why_ += " (" + where(k) + ")";
                return false;
            }
            code = moved + code.substr(read);
        }
        out_.append("\t").append(code).append("\n");
        instruction_ends_.push_back(out_.size());
        return true;
    }

    std::unordered_map<std::string, std::string> fresh_names(const std::unordered_set<std::string>& labels)
    {
        std::unordered_map<std::string, std::string> names;
        ++copy_serial_;
        for (const std::string& label : labels)
            if (is_name(label) && label != "$$")
                names.emplace(label, label + ".x" + std::to_string(copy_serial_));
        return names;
    }

    // The labels of a copied line. Those of an instruction stay on its
    // line: a label line of its own between a skip or REPEAT and the
    // instruction it acts on would be a statement between the two.
    bool emit_labels(const Statement& st, const std::unordered_map<std::string, std::string>& names)
    {
        std::vector<std::string> kept;
        for (std::string_view label : st.labels) {
            if (is_writer_label(label))
                continue;
            auto found = names.find(std::string(label));
            kept.push_back(found != names.end() ? found->second : std::string(label));
        }
        // A line holds one label at most: any others go on lines before it.
        for (size_t n = 0; n < kept.size(); ++n)
            out_.append(kept[n]).append(n + 1 == kept.size() && st.kind == Kind::instruction ? ":" : ":\n");
        return true;
    }

    bool expand_closed(long id, Body& body, int depth, bool skip_before, long& count)
    {
        if (depth > MAX_DEPTH || !active_.insert(id).second)
            return fail(".LPA" + std::to_string(id) + " reaches itself");
        // The copy's last statement: the writer's return, or an ending that
        // takes its place.
        size_t ending = body.end;
        for (size_t j = body.begin; j < body.end; ++j) {
            Site site;
            std::string text;
            if (read_site(lines_[j], site) || read_retlw(lines_[j], text) || read_closing_jump(lines_[j], text) ||
                read_statement(lines_[j]).kind != Kind::empty)
                ending = j;
        }
        if (ending == body.end)
            return fail("closed body .LPA" + std::to_string(id) + " is empty");
        std::unordered_map<std::string, std::string> names;
        if (body.copies++ > 0)
            names = fresh_names(body.labels);
        for (size_t j = body.begin; j < body.end; ++j) {
            std::string_view line = lines_[j];
            Site site;
            std::string text;
            const bool last = j == ending;
            if (read_site(line, site)) {
                if (site.jump && !last)
                    return fail("a jump before the end of body .LPA" + std::to_string(id) + " (" + where(j) + ")");
                if (!expand_site(site, depth, skip_before, j, count))
                    return false;
                skip_before = false;
                continue;
            }
            if (read_retlw(line, text) || read_closing_jump(line, text)) {
                if (!last)
                    return fail("a closing statement before the end of body .LPA" + std::to_string(id) + " (" +
                                where(j) + ")");
                if (skip_before)
                    return fail("a skip or REPEAT acts on the ending of .LPA" + std::to_string(id));
                out_.append(text).append("\n");
                instruction_ends_.push_back(out_.size());
                ++count;
                continue;
            }
            const Statement st = read_statement(line);
            if (last && line == "\treturn") {
                if (skip_before)
                    return fail("a skip or REPEAT acts on the return of .LPA" + std::to_string(id));
                continue;
            }
            if (last)
                return fail("closed body .LPA" + std::to_string(id) + " does not end in the writer's return (" +
                            where(j) + ")");
            emit_labels(st, names);
            if (st.kind == Kind::directive)
                return fail("a directive in closed body .LPA" + std::to_string(id) + " (" + where(j) + ")");
            if (st.kind != Kind::instruction)
                continue;
            if (!emit_instruction(st, depth, names, body.labels, j))
                return false;
            ++count;
            skip_before = is_skip_or_repeat(st.mnemonic);
        }
        active_.erase(id);
        return true;
    }

    // A jump into an opened body: the first `wanted` instructions of the
    // text written in place under its label.
    bool copy_opened(long id, size_t header, long wanted, int depth, long& count)
    {
        if (depth > MAX_DEPTH || !active_.insert(-1 - id).second)
            return fail(".LPA" + std::to_string(id) + " reaches itself");
        // Where the copy ends, and the labels inside it.
        std::unordered_set<std::string> labels;
        long held = 0;
        size_t end = header + 1;
        for (; end < lines_.size() && held < wanted; ++end) {
            if (end == region_begin_)
                break;
            Site site;
            long n = 0;
            if (read_site(lines_[end], site)) {
                if (!original_count(site.first, site.last, n))
                    return fail("the source lines of " + where(end) + " are not in the original");
                held += n;
                continue;
            }
            const Statement st = read_statement(lines_[end]);
            for (std::string_view label : st.labels)
                if (!is_writer_label(label))
                    labels.emplace(label);
            if (st.kind == Kind::instruction)
                ++held;
        }
        if (held != wanted)
            return fail("opened body .LPA" + std::to_string(id) + " holds no " + std::to_string(wanted) +
                        " instructions from its label on");
        const auto names = fresh_names(labels);
        bool skip_before = false;
        long local = 0;
        for (size_t j = header + 1; j < end; ++j) {
            Site site;
            if (read_site(lines_[j], site)) {
                if (site.comment)
                    return fail("a fall-through into a body outside the bodies (" + where(j) + ")");
                if (!expand_site(site, depth, skip_before, j, local))
                    return false;
                skip_before = false;
                continue;
            }
            long other = 0;
            long first = 0;
            long last = 0;
            if (read_header(lines_[j], "opencode", other, first, last))
                continue;
            const Statement st = read_statement(lines_[j]);
            emit_labels(st, names);
            if (st.kind != Kind::instruction)
                continue;
            if (!emit_instruction(st, depth, names, labels, j))
                return false;
            ++local;
            skip_before = is_skip_or_repeat(st.mnemonic);
        }
        count += local;
        active_.erase(-1 - id);
        return true;
    }

    std::string& out_;
    std::string& why_;
    Lines lines_;
    std::vector<long> counts_;
    std::unordered_map<long, Body> closed_;
    std::unordered_map<long, size_t> opened_;
    std::unordered_set<long> active_;
    size_t region_begin_ = 0;
    size_t region_end_ = 0;
    long copy_serial_ = 0;
    struct Waiting {
        std::string text;
        long line;   // of the source, for a label
        bool label;  // else a directive kept from a site's lines
    };
    std::vector<Waiting> waiting_;           // labels written again before a site
    std::vector<size_t> instruction_ends_;  // where each instruction of the site ends in out_
};

}  // namespace

bool proof_expand_abstraction(std::string_view original, std::string_view rewritten, std::string& expanded,
                              std::string& why)
{
    expanded.clear();
    why.clear();
    Expander expander(original, rewritten, expanded, why);
    return expander.run();
}
