// The case-file reader of the proof tools: only what a run on the case's
// input needs.
#include "e2e_case.h"

#include <cctype>
#include <cstdlib>

namespace {

std::string_view strip(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

// Blank-separated words; "..." groups blanks into one word and may stand
// inside a word; "" is an empty word.
bool split_words(std::string_view text, std::vector<std::string>& words, std::string& why)
{
    words.clear();
    size_t k = 0;
    while (k < text.size()) {
        if (text[k] == ' ' || text[k] == '\t') {
            ++k;
            continue;
        }
        std::string word;
        while (k < text.size() && text[k] != ' ' && text[k] != '\t') {
            if (text[k] != '"') {
                word += text[k++];
                continue;
            }
            size_t close = text.find('"', k + 1);
            if (close == std::string_view::npos) {
                why = "unclosed quote";
                return false;
            }
            word.append(text.substr(k + 1, close - k - 1));
            k = close + 1;
        }
        words.push_back(word);
    }
    return true;
}

bool hex_bytes(std::string_view body, std::string& bytes, std::string& why)
{
    size_t at = 0;
    while (at < body.size()) {
        size_t end = body.find('\n', at);
        if (end == std::string_view::npos) end = body.size();
        std::string_view line = body.substr(at, end - at);
        at = end + 1;
        line = line.substr(0, line.find('#'));
        std::vector<std::string> words;
        if (!split_words(line, words, why)) return false;
        for (const std::string& w : words) {
            char* stop = nullptr;
            long value = std::strtol(w.c_str(), &stop, 16);
            if (w.empty() || w.size() > 2 || *stop != '\0' || !std::isxdigit(static_cast<unsigned char>(w[0]))) {
                why = "'" + w + "' is not a hex byte";
                return false;
            }
            bytes += char(value);
        }
    }
    return true;
}

void replace_all(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

}  // namespace

bool proof_read_case(const std::string& text, ProofCase& c, std::string& why)
{
    c = ProofCase{};
    why.clear();
    std::vector<std::string> lines;  // each with its newline
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(at, end - at) + "\n");
        at = end + 1;
    }
    auto is_section = [](const std::string& line) { return line.compare(0, 4, "--- ") == 0; };

    size_t i = 0;
    bool have_args = false;
    for (; i < lines.size() && !is_section(lines[i]); ++i) {
        std::string_view line = strip(lines[i]);
        if (line.empty() || line[0] == '#') continue;
        size_t colon = line.find(':');
        const std::string where = "line " + std::to_string(i + 1) + ": ";
        if (colon == std::string_view::npos) {
            why = where + "expected 'key: value'";
            return false;
        }
        std::string_view key = strip(line.substr(0, colon));
        std::string value(strip(line.substr(colon + 1)));
        if (key == "args") {
            have_args = true;
            if (!split_words(value, c.args, why)) {
                why = where + why;
                return false;
            }
        } else if (key == "status") {
            char* stop = nullptr;
            long status = std::strtol(value.c_str(), &stop, 10);
            if (value.empty() || *stop != '\0' || status < 0 || status > 255) {
                why = where + "bad status";
                return false;
            }
            c.status = int(status);
        } else if (key == "only") {
            c.only = value;
        } else if (key == "env") {
            c.has_env = true;
        } else if (key == "program-at") {
            c.has_program_at = true;
        } else {
            why = where + "unknown key '" + std::string(key) + "'";
            return false;
        }
    }
    if (!have_args || c.status < 0) {
        why = "no args: or no status: line";
        return false;
    }

    std::string* last_text = nullptr;
    while (i < lines.size()) {
        const size_t header = i;
        std::vector<std::string> words;
        std::string_view title(lines[i]);
        title = title.substr(4, title.size() - 5);
        if (!split_words(title, words, why) || words.empty()) {
            why = "line " + std::to_string(header + 1) + ": bad section line";
            return false;
        }
        std::string body;
        for (++i; i < lines.size() && !is_section(lines[i]); ++i) body += lines[i];
        if (words[0] == "noeol") {
            if (last_text != nullptr && !last_text->empty() && last_text->back() == '\n') last_text->pop_back();
            last_text = nullptr;
            continue;
        }
        last_text = nullptr;
        if (words.size() != 2 && (words[0] == "file" || words[0] == "hexfile")) {
            why = "line " + std::to_string(header + 1) + ": section needs one file name";
            return false;
        }
        if (words[0] == "file") {
            c.files.push_back({words[1], body});
            last_text = &c.files.back().content;
        } else if (words[0] == "hexfile") {
            std::string bytes;
            if (!hex_bytes(body, bytes, why)) {
                why = "line " + std::to_string(header + 1) + ": " + why;
                return false;
            }
            c.files.push_back({words[1], bytes});
        }
    }
    return true;
}

std::vector<std::string> proof_case_args(const ProofCase& c, const std::string& scratch, const std::string& build)
{
    const std::string upper = build == "coff" ? "COFF" : "ELF";
    std::vector<std::string> args = c.args;
    for (std::string& a : args) {
        replace_all(a, "@SCRATCH@", scratch);
        replace_all(a, "@BUILD@", upper);
        replace_all(a, "@VERSION@", "1.33 (" + upper + " Build date: Oct  9 2017)");
    }
    return args;
}

std::vector<std::string> proof_case_program_options(const std::vector<std::string>& args,
                                                    std::vector<std::string>& sources)
{
    std::vector<std::string> kept;
    sources.clear();
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (a.size() < 2 || a[0] != '-') {
            sources.push_back(a);
            continue;
        }
        const char letter = a[1];
        if (letter == 'o') {
            // The output name is attached or, when it does not begin with
            // '-', the next argument.
            if (a.size() == 2 && k + 1 < args.size() && !args[k + 1].empty() && args[k + 1][0] != '-') ++k;
        } else if (letter == 'n') {
            kept.push_back(a);
            if (a.size() == 2 && k + 1 < args.size()) kept.push_back(args[++k]);
        } else if (letter == 'h' || letter == 'l' || letter == 'd' || letter == 't' || letter == 'x' ||
                   letter == 's' || letter == 'b') {
            // outputs, listing pages and the rewrite mode: the proof sets them
        } else {
            kept.push_back(a);
        }
    }
    return kept;
}
