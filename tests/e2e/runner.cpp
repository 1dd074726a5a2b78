// End-to-end test runner: runs the built program on the fixture cases.
//
//   e2e_runner --program <path> --build elf|coff --cases <dir> [gtest flags]
//
// Every `*.case` file of the cases folder (sorted by name) becomes one test
// "e2e.<name>" (the file name without ".case", with every character other
// than a letter, a digit or '_' turned into '_').
//
// Case file format
// ----------------
// A case file has a header and then sections. Header lines:
//
//   # a comment                 (blank lines and lines starting with '#' are
//                               ignored)
//   args: -o out.pa prog.s      the command line after the program name, split
//                               on blanks; "..." quotes an argument with blanks,
//                               or an empty one ("" is an empty argument);
//                               the quotes may stand inside a word (-o"a b").
//                               May be left empty (no arguments). Required.
//   status: 2                   the expected exit status. Required.
//   only: elf                   optional: the case applies to this build only
//                               (elf or coff); the other build skips it.
//   env: NAME=value             optional, repeatable: sets a variable of the
//                               program's environment; "env: NAME" alone
//                               unsets it. Applied in order, after the
//                               defaults below.
//   program-at: a/b/bin         optional: the program is copied into this
//                               folder of the scratch dir and that copy runs.
//
// Sections start with a line beginning with "--- ":
//
//   --- file prog.s             an input file, written into the scratch dir
//                               before the run; its text is the body.
//   --- hexfile a/data.bin      an input file given as hex bytes (one or two
//                               hex digits each) separated by white space;
//                               '#' starts a comment up to the end of the line.
//   --- stderr                  the exact expected standard error, byte for
//                               byte (default: empty).
//   --- stdout                  the exact expected standard output (default:
//                               empty).
//   --- expect out.pa           an output file that must exist after the run
//                               with exactly the body as its content.
//   --- exists out.lst          an output file that must exist; its content is
//                               not checked (no body).
//   --- listing prog.lst        a listing that must be written with exactly
//                               the body as its content, where the body's
//                               @DATE@ stands for the header's date and time
//                               and @SECONDS@ for the run time on the
//                               statistics page.
//   --- hex-words prog.hex      an Intel HEX output file given as the 32-bit
//                               program words it must hold from address 0:
//                               hex numbers separated by white space, '#'
//                               starts a comment. The runner writes the
//                               records (extended address, up to four words
//                               a record, end record) with their checksums.
//   --- noeol                   right after a body: removes that body's final
//                               newline (no body of its own).
//
// A body runs from the line after its section line to the next line that
// begins with "--- ", or to the end of the file. Each line is taken with its
// newline, so a body ends with "\n" unless "--- noeol" follows it (the last
// line of the file counts as ending with a newline even when the file lacks
// one). Paths are relative to the scratch dir, without "..", and not inside
// tmp/.
//
// Substitutions, in every body, in the arguments and in env values:
//   @VERSION@  "1.33 (ELF Build date: Oct  9 2017)" or
//              "1.33 (COFF Build date: Oct  9 2017)", by build
//   @BUILD@    ELF or COFF
//   @SCRATCH@  the absolute path of the scratch dir
//
// A run
// -----
// Each case gets a fresh scratch dir (under the system temporary folder) with
// an empty folder tmp/ in it. The program runs with the scratch dir as its
// working directory, standard input from /dev/null, and the runner's
// environment with TEMP=<scratch>/tmp and TMP removed (env: lines may change
// both). It is started directly (no shell) and killed after 20 seconds.
//
// Then the case checks: the exit status; standard error and standard output
// exactly; the content of every `expect` file; that the files in the scratch
// dir (recursively, apart from the copied program) are exactly the input
// files and the `expect` and `exists` files, with no stray folder; and that
// tmp/ is empty. A passing case removes its scratch dir; a failing one keeps
// it and prints its path.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kTimeoutSeconds = 20;

struct RunnerOptions {
    std::string program;  // absolute path
    std::string build;    // "elf" or "coff"
    fs::path cases;
};

RunnerOptions g_options;

// ---------------------------------------------------------------------------
// The parsed case

struct EnvSetting {
    std::string name;
    std::optional<std::string> value;  // none: unset
};

struct InputFile {
    std::string path;
    std::string content;
};

struct OutputFile {
    std::string path;
    std::optional<std::string> content;  // none: must only exist
    bool listing = false;                // the date and the run time vary
};

struct Case {
    std::string file;
    std::vector<std::string> args;
    int status = 0;
    std::string only;
    std::vector<EnvSetting> env;
    std::string program_at;
    std::vector<InputFile> inputs;
    std::string expected_stderr;
    std::string expected_stdout;
    std::vector<OutputFile> outputs;
};

std::string trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

bool starts_with(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Splits an args: value on blanks, with "..." quoting.
bool split_arguments(const std::string& text, std::vector<std::string>& args, std::string& error) {
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (i >= text.size()) break;
        std::string word;
        bool quoted = false;
        while (i < text.size() && (quoted || (text[i] != ' ' && text[i] != '\t'))) {
            if (text[i] == '"')
                quoted = !quoted;
            else
                word += text[i];
            ++i;
        }
        if (quoted) {
            error = "unterminated quote in args";
            return false;
        }
        args.push_back(word);
    }
    return true;
}

// A relative path inside the scratch dir, not inside tmp/.
bool valid_case_path(const std::string& text, std::string& error) {
    fs::path path(text);
    if (text.empty() || path.is_absolute()) {
        error = "path '" + text + "' must be relative";
        return false;
    }
    for (const fs::path& part : path) {
        if (part == "..") {
            error = "path '" + text + "' must not contain '..'";
            return false;
        }
    }
    fs::path normal = path.lexically_normal();
    if (normal.empty() || normal == "." || *normal.begin() == "tmp") {
        error = "path '" + text + "' must name a file outside tmp/";
        return false;
    }
    return true;
}

// Program words, as hex numbers in `body`, turned into the Intel HEX text
// of a program memory that holds them from address 0: each word is four
// bytes, low byte first; a record holds up to four words; an extended
// linear address record precedes the first record of each 64 KiB page.
bool hex_words_to_intel_hex(const std::string& body, std::string& hex, std::string& error) {
    std::vector<uint32_t> words;
    std::istringstream lines(body);
    std::string line;
    while (std::getline(lines, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream items(line);
        std::string item;
        while (items >> item) {
            size_t used = 0;
            unsigned long value = 0;
            try {
                value = std::stoul(item, &used, 16);
            } catch (...) {
                used = 0;
            }
            if (used != item.size() || value > 0xFFFFFFFFul) {
                error = "bad program word '" + item + "'";
                return false;
            }
            words.push_back(static_cast<uint32_t>(value));
        }
    }
    char text[64];
    uint32_t upper = 0xFFFFFFFFu;
    for (size_t index = 0; index < words.size(); index += 4) {
        uint32_t address = static_cast<uint32_t>(index * 4);
        if ((address >> 16) != upper) {
            upper = address >> 16;
            uint32_t sum = 2 + 4 + (upper >> 8) + (upper & 0xFF);
            std::snprintf(text, sizeof text, ":02000004%04x%02x\n", upper, (0x100 - (sum & 0xFF)) & 0xFF);
            hex += text;
        }
        size_t n = std::min<size_t>(4, words.size() - index);
        uint32_t low = address & 0xFFFF;
        uint32_t sum = static_cast<uint32_t>(4 * n) + (low >> 8) + (low & 0xFF);
        std::snprintf(text, sizeof text, ":%02x%04x00", static_cast<unsigned>(4 * n), low);
        hex += text;
        for (size_t k = 0; k < n; ++k)
            for (int shift = 0; shift < 32; shift += 8) {
                uint32_t byte = (words[index + k] >> shift) & 0xFF;
                sum += byte;
                std::snprintf(text, sizeof text, "%02x", byte);
                hex += text;
            }
        std::snprintf(text, sizeof text, "%02x\n", (0x100 - (sum & 0xFF)) & 0xFF);
        hex += text;
    }
    hex += ":00000001FF\n";
    return true;
}

bool parse_hex(const std::string& body, std::string& bytes, std::string& error) {
    std::istringstream lines(body);
    std::string line;
    int line_number = 0;
    while (std::getline(lines, line)) {
        ++line_number;
        size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            bool ok = word.size() <= 2;
            for (char c : word) ok = ok && std::isxdigit(static_cast<unsigned char>(c));
            if (!ok) {
                error = "hex body line " + std::to_string(line_number) + ": '" + word +
                        "' is not a hex byte";
                return false;
            }
            bytes += static_cast<char>(std::stoi(word, nullptr, 16));
        }
    }
    return true;
}

// Parses `text` (the whole case file) into `c`; returns an error text or "".
std::string parse_case(const std::string& text, Case& c) {
    std::vector<std::string> lines;  // each with its newline
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) {
            lines.push_back(text.substr(pos) + "\n");
            break;
        }
        lines.push_back(text.substr(pos, nl - pos + 1));
        pos = nl + 1;
    }
    auto bare = [](const std::string& line) { return line.substr(0, line.size() - 1); };
    auto where = [](size_t index) { return "line " + std::to_string(index + 1) + ": "; };

    bool have_args = false, have_status = false, have_stderr = false, have_stdout = false;
    size_t i = 0;
    for (; i < lines.size() && !starts_with(lines[i], "--- "); ++i) {
        std::string line = trim(bare(lines[i]));
        if (line.empty() || line[0] == '#') continue;
        size_t colon = line.find(':');
        if (colon == std::string::npos) return where(i) + "expected 'key: value'";
        std::string key = trim(line.substr(0, colon));
        std::string value = trim(line.substr(colon + 1));
        if (key == "args") {
            if (have_args) return where(i) + "args given twice";
            have_args = true;
            std::string error;
            if (!split_arguments(value, c.args, error)) return where(i) + error;
        } else if (key == "status") {
            if (have_status) return where(i) + "status given twice";
            have_status = true;
            char* end = nullptr;
            long status = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || status < 0 || status > 255)
                return where(i) + "status must be a number from 0 to 255";
            c.status = static_cast<int>(status);
        } else if (key == "only") {
            if (value != "elf" && value != "coff") return where(i) + "only must be elf or coff";
            c.only = value;
        } else if (key == "env") {
            size_t eq = value.find('=');
            EnvSetting setting;
            setting.name = value.substr(0, eq);
            if (eq != std::string::npos) setting.value = value.substr(eq + 1);
            if (setting.name.empty() || setting.name.find_first_of(" \t") != std::string::npos)
                return where(i) + "env needs a variable name";
            c.env.push_back(setting);
        } else if (key == "program-at") {
            std::string error;
            if (!valid_case_path(value, error)) return where(i) + error;
            c.program_at = value;
        } else {
            return where(i) + "unknown key '" + key + "'";
        }
    }
    if (!have_args) return "missing 'args:' line";
    if (!have_status) return "missing 'status:' line";

    std::set<std::string> paths;
    auto claim = [&](const std::string& path, size_t index) -> std::string {
        std::string error;
        if (!valid_case_path(path, error)) return where(index) + error;
        std::string key = fs::path(path).lexically_normal().generic_string();
        if (!paths.insert(key).second) return where(index) + "file '" + path + "' given twice";
        return "";
    };

    std::string* last_body = nullptr;  // the body a following noeol applies to
    while (i < lines.size()) {
        size_t header = i;
        std::vector<std::string> words;
        std::string error;
        if (!split_arguments(bare(lines[i]).substr(4), words, error) || words.empty())
            return where(i) + "bad section line";
        std::string body;
        for (++i; i < lines.size() && !starts_with(lines[i], "--- "); ++i) body += lines[i];
        const std::string& kind = words[0];
        bool named = kind == "file" || kind == "hexfile" || kind == "expect" || kind == "exists" ||
                     kind == "hex-words" || kind == "listing";
        if (named ? words.size() != 2 : words.size() != 1)
            return where(header) + (named ? "section '" + kind + "' needs one file name"
                                          : "section '" + kind + "' takes no name");
        if (named) {
            std::string claimed = claim(words[1], header);
            if (!claimed.empty()) return claimed;
        }
        if (kind == "noeol") {
            if (last_body == nullptr || last_body->empty() || last_body->back() != '\n')
                return where(header) + "noeol must follow a text body";
            if (!body.empty()) return where(header) + "noeol has no body";
            last_body->pop_back();
            last_body = nullptr;
            continue;
        }
        last_body = nullptr;
        if (kind == "file") {
            c.inputs.push_back({words[1], body});
            last_body = &c.inputs.back().content;
        } else if (kind == "hexfile") {
            std::string bytes;
            if (!parse_hex(body, bytes, error)) return where(header) + error;
            c.inputs.push_back({words[1], bytes});
        } else if (kind == "stderr" || kind == "stdout") {
            bool& seen = kind == "stderr" ? have_stderr : have_stdout;
            if (seen) return where(header) + "section '" + kind + "' given twice";
            seen = true;
            std::string& target = kind == "stderr" ? c.expected_stderr : c.expected_stdout;
            target = body;
            last_body = &target;
        } else if (kind == "expect") {
            c.outputs.push_back({words[1], body});
            last_body = &*c.outputs.back().content;
        } else if (kind == "listing") {
            c.outputs.push_back({words[1], body, true});
            last_body = &*c.outputs.back().content;
        } else if (kind == "hex-words") {
            std::string hex;
            if (!hex_words_to_intel_hex(body, hex, error)) return where(header) + error;
            c.outputs.push_back({words[1], hex});
        } else if (kind == "exists") {
            if (!body.empty()) return where(header) + "section 'exists' has no body";
            c.outputs.push_back({words[1], std::nullopt});
        } else {
            return where(header) + "unknown section '" + kind + "'";
        }
    }
    return "";
}

// ---------------------------------------------------------------------------
// Helpers for the run

// A listing with its varying parts replaced by placeholders: the date and
// time of the page header by @DATE@, the run time of the statistics page
// by @SECONDS@.
std::string mask_listing_variables(const std::string& text) {
    static const std::regex date("[0-9]{2}-[A-Z][a-z]{2}-[0-9]{4}  [0-9]{2}:[0-9]{2}:[0-9]{2}");
    static const std::regex seconds("[ 0-9]*[0-9]\\.[0-9]{3} Elapsed execution time\\.");
    std::string masked = std::regex_replace(text, date, "@DATE@");
    return std::regex_replace(masked, seconds, "@SECONDS@ Elapsed execution time.");
}

std::string substitute(std::string text, const std::string& scratch) {
    const bool elf = g_options.build == "elf";
    const std::pair<std::string, std::string> table[] = {
        {"@VERSION@", elf ? "1.33 (ELF Build date: Oct  9 2017)"
                          : "1.33 (COFF Build date: Oct  9 2017)"},
        {"@BUILD@", elf ? "ELF" : "COFF"},
        {"@SCRATCH@", scratch},
    };
    for (const auto& [from, to] : table) {
        size_t pos = 0;
        while ((pos = text.find(from, pos)) != std::string::npos) {
            text.replace(pos, from.size(), to);
            pos += to.size();
        }
    }
    return text;
}

// One line of text as a C string literal.
std::string escape(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            case '\\': out += "\\\\"; break;
            case '"': out += "\\\""; break;
            default:
                if (c < 0x20 || c >= 0x7F) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
                    out += buffer;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

// The text as escaped lines, one literal per line of the text.
std::string escape_block(const std::string& text) {
    if (text.empty()) return "    (empty)\n";
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        size_t end = nl == std::string::npos ? text.size() : nl + 1;
        out += "    " + escape(text.substr(pos, end - pos)) + "\n";
        pos = end;
    }
    return out;
}

std::string describe_mismatch(const std::string& what, const std::string& expected,
                              const std::string& actual) {
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    size_t line = 1 + static_cast<size_t>(std::count(expected.begin(), expected.begin() + at, '\n'));
    std::ostringstream out;
    out << what << " differs (first difference at byte " << at << ", line " << line << ")\n"
        << "  expected:\n"
        << escape_block(expected) << "  actual:\n"
        << escape_block(actual);
    return out.str();
}

bool read_file(const fs::path& path, std::string& content) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    content = buffer.str();
    return true;
}

bool write_file(const fs::path& path, const std::string& content) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out.flush());
}

struct RunResult {
    std::string error;  // the run could not be made
    bool timed_out = false;
    bool exited = false;
    int status = -1;
    int signal = 0;
    std::string out;
    std::string err;
};

RunResult run_program(const std::string& exe, const std::vector<std::string>& args,
                      const std::vector<std::string>& env, const std::string& cwd) {
    RunResult result;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : env) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);

    int out_pipe[2], err_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0) {
        result.error = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    if (pipe2(err_pipe, O_CLOEXEC) != 0) {
        result.error = std::string("pipe: ") + std::strerror(errno);
        close(out_pipe[0]);
        close(out_pipe[1]);
        return result;
    }
    pid_t pid = fork();
    if (pid < 0) {
        result.error = std::string("fork: ") + std::strerror(errno);
        for (int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
        return result;
    }
    if (pid == 0) {
        setpgid(0, 0);
        int null_fd = open("/dev/null", O_RDONLY);
        if (null_fd < 0 || dup2(null_fd, 0) < 0 || dup2(out_pipe[1], 1) < 0 ||
            dup2(err_pipe[1], 2) < 0 || chdir(cwd.c_str()) != 0) {
            _exit(126);
        }
        execve(exe.c_str(), argv.data(), envp.data());
        const char message[] = "e2e_runner: execve failed\n";
        ssize_t ignored = write(2, message, sizeof message - 1);
        (void)ignored;
        _exit(127);
    }
    setpgid(pid, pid);  // also from here, whichever runs first
    close(out_pipe[1]);
    close(err_pipe[1]);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kTimeoutSeconds);
    auto remaining_ms = [&]() {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        return std::max<long long>(0, left.count());
    };

    int fds[2] = {out_pipe[0], err_pipe[0]};
    std::string* sinks[2] = {&result.out, &result.err};
    while (fds[0] >= 0 || fds[1] >= 0) {
        long long left = remaining_ms();
        if (left == 0) {
            result.timed_out = true;
            break;
        }
        pollfd polls[2];
        nfds_t count = 0;
        int which[2];
        for (int k = 0; k < 2; ++k) {
            if (fds[k] < 0) continue;
            polls[count] = {fds[k], POLLIN, 0};
            which[count++] = k;
        }
        int ready = poll(polls, count, static_cast<int>(std::min<long long>(left, 1000)));
        if (ready < 0) {
            if (errno == EINTR) continue;
            result.error = std::string("poll: ") + std::strerror(errno);
            result.timed_out = true;  // kill it below
            break;
        }
        for (nfds_t n = 0; n < count; ++n) {
            if (polls[n].revents == 0) continue;
            int k = which[n];
            char buffer[65536];
            ssize_t got = read(fds[k], buffer, sizeof buffer);
            if (got > 0) {
                sinks[k]->append(buffer, static_cast<size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                close(fds[k]);
                fds[k] = -1;
            }
        }
    }
    for (int fd : fds)
        if (fd >= 0) close(fd);

    int wait_status = 0;
    bool reaped = false;
    while (!result.timed_out) {
        pid_t done = waitpid(pid, &wait_status, WNOHANG);
        if (done == pid) {
            reaped = true;
            break;
        }
        if (done < 0 && errno != EINTR) {
            result.error = std::string("waitpid: ") + std::strerror(errno);
            return result;
        }
        if (remaining_ms() == 0) {
            result.timed_out = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!reaped) {
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
        while (waitpid(pid, &wait_status, 0) < 0 && errno == EINTR) {
        }
        return result;
    }
    if (WIFEXITED(wait_status)) {
        result.exited = true;
        result.status = WEXITSTATUS(wait_status);
    } else if (WIFSIGNALED(wait_status)) {
        result.signal = WTERMSIG(wait_status);
    }
    return result;
}

std::vector<std::string> build_environment(const Case& c, const std::string& scratch) {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text(*entry);
        size_t eq = text.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        variables[text.substr(0, eq)] = text.substr(eq + 1);
    }
    variables["TEMP"] = scratch + "/tmp";
    variables.erase("TMP");
    for (const EnvSetting& setting : c.env) {
        if (setting.value)
            variables[setting.name] = substitute(*setting.value, scratch);
        else
            variables.erase(setting.name);
    }
    std::vector<std::string> env;
    for (const auto& [name, value] : variables) env.push_back(name + "=" + value);
    return env;
}

std::string command_text(const std::string& exe, const std::vector<std::string>& args) {
    std::string text = exe;
    for (const std::string& arg : args) {
        bool plain = !arg.empty() && arg.find_first_of(" \t\"\\'") == std::string::npos;
        text += " " + (plain ? arg : escape(arg));
    }
    return text;
}

// ---------------------------------------------------------------------------
// The test

class CaseTest : public testing::Test {
public:
    CaseTest(Case c, std::string parse_error)
        : case_(std::move(c)), parse_error_(std::move(parse_error)) {}

    void TestBody() override {
        if (!parse_error_.empty()) {
            ADD_FAILURE() << case_.file << ": " << parse_error_;
            return;
        }
        if (!case_.only.empty() && case_.only != g_options.build) {
            GTEST_SKIP() << "only for the " << case_.only << " build";
        }
        std::string scratch;
        if (!make_scratch(scratch)) return;
        run_in(scratch);
        if (HasFailure()) {
            std::cout << "  case file:   " << case_.file << "\n"
                      << "  scratch dir: " << scratch << " (kept)\n";
        } else {
            std::error_code ec;
            fs::remove_all(scratch, ec);
        }
    }

private:
    bool make_scratch(std::string& scratch) {
        std::error_code ec;
        fs::path base = fs::temp_directory_path(ec);
        if (ec) base = "/tmp";
        std::string pattern = (base / "zorvel-e2e-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp " << pattern << ": " << std::strerror(errno);
            return false;
        }
        // The real path, so that it matches what the program finds for itself.
        fs::path real = fs::canonical(buffer.data(), ec);
        scratch = ec ? std::string(buffer.data()) : real.string();
        if (!fs::create_directory(fs::path(scratch) / "tmp", ec)) {
            ADD_FAILURE() << "cannot create " << scratch << "/tmp";
            return false;
        }
        return true;
    }

    void run_in(const std::string& scratch) {
        const fs::path root(scratch);
        for (const InputFile& input : case_.inputs) {
            if (!write_file(root / input.path, substitute(input.content, scratch))) {
                ADD_FAILURE() << "cannot write input file " << input.path;
                return;
            }
        }
        std::string exe = g_options.program;
        std::string program_copy;  // relative to the scratch dir
        if (!case_.program_at.empty()) {
            fs::path relative = fs::path(case_.program_at) / fs::path(g_options.program).filename();
            program_copy = relative.lexically_normal().generic_string();
            std::error_code ec;
            fs::create_directories(root / case_.program_at, ec);
            fs::copy_file(g_options.program, root / relative, fs::copy_options::overwrite_existing,
                          ec);
            if (ec) {
                ADD_FAILURE() << "cannot copy the program to " << (root / relative) << ": "
                              << ec.message();
                return;
            }
            fs::permissions(root / relative, fs::perms::owner_all | fs::perms::group_read |
                                                 fs::perms::group_exec | fs::perms::others_read |
                                                 fs::perms::others_exec,
                            ec);
            exe = (root / relative).string();
        }

        std::vector<std::string> args;
        for (const std::string& arg : case_.args) args.push_back(substitute(arg, scratch));
        std::vector<std::string> env = build_environment(case_, scratch);
        RunResult run = run_program(exe, args, env, scratch);
        const std::string command = command_text(exe, args);

        if (!run.error.empty()) ADD_FAILURE() << "cannot run " << command << ": " << run.error;
        if (run.timed_out) {
            ADD_FAILURE() << command << "\n  did not end within " << kTimeoutSeconds
                          << " s and was killed";
        } else if (!run.exited) {
            ADD_FAILURE() << command << "\n  was ended by signal " << run.signal;
        } else if (run.status != case_.status) {
            ADD_FAILURE() << command << "\n  exit status " << run.status << ", expected "
                          << case_.status;
        }
        std::string expected_err = substitute(case_.expected_stderr, scratch);
        std::string expected_out = substitute(case_.expected_stdout, scratch);
        if (run.err != expected_err) ADD_FAILURE() << describe_mismatch("stderr", expected_err, run.err);
        if (run.out != expected_out) ADD_FAILURE() << describe_mismatch("stdout", expected_out, run.out);

        check_outputs(root, scratch);
        check_inputs_unchanged(root, scratch);
        check_file_set(root, program_copy);
        if (HasFailure()) {
            std::cout << "  command:     " << command << "\n";
            if (run.exited) std::cout << "  exit status: " << run.status << "\n";
        }
    }

    void check_outputs(const fs::path& root, const std::string& scratch) {
        for (const OutputFile& output : case_.outputs) {
            fs::path path = root / output.path;
            std::error_code ec;
            if (!fs::is_regular_file(fs::symlink_status(path, ec))) {
                ADD_FAILURE() << "output file " << output.path << " was not written";
                continue;
            }
            if (!output.content) continue;
            std::string actual;
            if (!read_file(path, actual)) {
                ADD_FAILURE() << "cannot read output file " << output.path;
                continue;
            }
            std::string expected = substitute(*output.content, scratch);
            if (output.listing) actual = mask_listing_variables(actual);
            if (actual != expected)
                ADD_FAILURE() << describe_mismatch("output file " + output.path, expected, actual);
        }
    }

    // The program must never change or destroy a file it was given.
    void check_inputs_unchanged(const fs::path& root, const std::string& scratch) {
        for (const InputFile& input : case_.inputs) {
            std::string actual;
            if (!read_file(root / input.path, actual)) continue;  // reported as missing
            if (actual != substitute(input.content, scratch))
                ADD_FAILURE() << "input file " << input.path << " was changed";
        }
    }

    void check_file_set(const fs::path& root, const std::string& program_copy) {
        std::set<std::string> expected_files;
        for (const InputFile& input : case_.inputs)
            expected_files.insert(fs::path(input.path).lexically_normal().generic_string());
        for (const OutputFile& output : case_.outputs)
            expected_files.insert(fs::path(output.path).lexically_normal().generic_string());

        std::set<std::string> allowed_dirs = {"tmp"};
        auto allow_parents = [&](const std::string& file) {
            for (fs::path dir = fs::path(file).parent_path(); !dir.empty(); dir = dir.parent_path())
                allowed_dirs.insert(dir.generic_string());
        };
        for (const std::string& file : expected_files) allow_parents(file);
        if (!program_copy.empty()) allow_parents(program_copy);

        std::set<std::string> actual_files, actual_dirs, tmp_entries;
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(root, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            std::string relative = fs::relative(it->path(), root, ec).generic_string();
            if (starts_with(relative, "tmp/")) {
                tmp_entries.insert(relative);
                continue;
            }
            if (it->symlink_status(ec).type() == fs::file_type::directory)
                actual_dirs.insert(relative);
            else if (relative != program_copy)
                actual_files.insert(relative);
        }
        if (ec) ADD_FAILURE() << "cannot list the scratch dir: " << ec.message();

        if (!fs::is_directory(fs::symlink_status(root / "tmp", ec)))
            ADD_FAILURE() << "the folder tmp/ is gone";
        for (const std::string& entry : tmp_entries)
            ADD_FAILURE() << "left in tmp/ (temporary file not deleted): " << entry;
        for (const std::string& file : actual_files)
            if (!expected_files.count(file)) ADD_FAILURE() << "stray file written: " << file;
        for (const std::string& file : expected_files)
            if (!actual_files.count(file)) ADD_FAILURE() << "file missing afterwards: " << file;
        for (const std::string& dir : actual_dirs)
            if (!allowed_dirs.count(dir)) ADD_FAILURE() << "stray folder made: " << dir << "/";
    }

    Case case_;
    std::string parse_error_;
};

class NoCasesTest : public testing::Test {
public:
    explicit NoCasesTest(std::string message) : message_(std::move(message)) {}
    void TestBody() override { ADD_FAILURE() << message_; }

private:
    std::string message_;
};

std::string test_name(const std::string& stem) {
    std::string name = stem;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') c = '_';
    return name;
}

void register_cases() {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(g_options.cases, ec))
        if (entry.path().extension() == ".case" && entry.is_regular_file(ec))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::string message = "no *.case files in " + g_options.cases.string();
        testing::RegisterTest("e2e", "no_cases", nullptr, nullptr, __FILE__, __LINE__,
                              [message]() -> testing::Test* { return new NoCasesTest(message); });
        return;
    }
    for (const fs::path& file : files) {
        Case c;
        c.file = file.string();
        std::string text, error;
        if (!read_file(file, text))
            error = "cannot read the case file";
        else
            error = parse_case(text, c);
        std::string name = test_name(file.stem().string());
        testing::RegisterTest("e2e", name.c_str(), nullptr, nullptr, c.file.c_str(), 1,
                              [c, error]() -> testing::Test* { return new CaseTest(c, error); });
    }
}

// Takes --program, --build and --cases (as "--flag value" or "--flag=value")
// out of argv; the rest is left for gtest.
bool parse_runner_flags(int& argc, char** argv) {
    std::map<std::string, std::string*> flags;
    std::string cases;
    flags["--program"] = &g_options.program;
    flags["--build"] = &g_options.build;
    flags["--cases"] = &cases;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool taken = false;
        for (auto& [flag, target] : flags) {
            if (arg == flag) {
                if (i + 1 >= argc) {
                    std::cerr << "e2e_runner: " << flag << " needs a value\n";
                    return false;
                }
                *target = argv[++i];
                taken = true;
            } else if (starts_with(arg, flag + "=")) {
                *target = arg.substr(flag.size() + 1);
                taken = true;
            }
            if (taken) break;
        }
        if (!taken) argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
    if (g_options.program.empty() || cases.empty() ||
        (g_options.build != "elf" && g_options.build != "coff")) {
        std::cerr << "usage: e2e_runner --program <path> --build elf|coff --cases <dir> "
                     "[gtest flags]\n";
        return false;
    }
    std::error_code ec;
    g_options.program = fs::absolute(g_options.program, ec).lexically_normal().string();
    if (access(g_options.program.c_str(), X_OK) != 0) {
        std::cerr << "e2e_runner: cannot execute " << g_options.program << "\n";
        return false;
    }
    g_options.cases = fs::absolute(cases, ec);
    if (!fs::is_directory(g_options.cases, ec)) {
        std::cerr << "e2e_runner: no cases folder " << g_options.cases << "\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (!parse_runner_flags(argc, argv)) return 2;
    testing::InitGoogleTest(&argc, argv);
    register_cases();
    return RUN_ALL_TESTS();
}
