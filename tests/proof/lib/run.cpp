// Process runs, files, scratch folders and the HEX reader of the proof
// tools.
#include "run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

int status_of(int wait_status)
{
    if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
    return -1;
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

int proof_run(const std::vector<std::string>& argv, std::string* stderr_text, const std::string& directory,
              unsigned timeout_seconds)
{
    if (stderr_text != nullptr) stderr_text->clear();
    auto fail = [&](const std::string& what, int error) {
        if (stderr_text != nullptr) *stderr_text = what + ": " + std::strerror(error) + "\n";
        return -1;
    };
    if (argv.empty()) return fail("nothing to run", EINVAL);

    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) return fail("pipe", errno);

    SpawnActions actions;
    posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(actions.get(), 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(actions.get(), pipe_ends[1], 2);
    if (!directory.empty()) posix_spawn_file_actions_addchdir_np(actions.get(), directory.c_str());

    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    pid_t pid = 0;
    int spawned = posix_spawn(&pid, argv[0].c_str(), actions.get(), nullptr, args.data(), environ);
    close(pipe_ends[1]);
    if (spawned != 0) {
        close(pipe_ends[0]);
        return fail("cannot run " + argv[0], spawned);
    }

    // The standard error is read until the child closes it; then the child
    // is waited for, both within the time it is given.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
    auto left_ms = [&]() {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        return left.count() > 0 ? int(left.count()) : 0;
    };
    bool timed_out = false;
    std::string captured;
    for (;;) {
        pollfd fd = {pipe_ends[0], POLLIN, 0};
        int ready = poll(&fd, 1, left_ms());
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            timed_out = ready == 0;
            break;
        }
        char buffer[4096];
        ssize_t got = read(pipe_ends[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        captured.append(buffer, size_t(got));
    }
    close(pipe_ends[0]);

    int wait_status = 0;
    for (;;) {
        pid_t done = timed_out ? 0 : waitpid(pid, &wait_status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return fail("waitpid", errno);
        if (timed_out || left_ms() == 0) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &wait_status, 0) < 0 && errno == EINTR) {
            }
            captured += "killed after " + std::to_string(timeout_seconds) + " seconds\n";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (stderr_text != nullptr) *stderr_text = captured;
    return status_of(wait_status);
}

bool proof_read_file(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) return false;
    text = buffer.str();
    return true;
}

bool proof_write_file(const std::string& path, std::string_view text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(text.data(), std::streamsize(text.size()));
    out.close();
    return !out.fail();
}

bool proof_hex_words(std::string_view hex_text, std::vector<uint32_t>& words, std::string& why)
{
    words.clear();
    why.clear();
    std::map<uint64_t, uint32_t> given;  // word index -> word
    uint64_t upper = 0;
    bool ended = false;
    size_t line_number = 0;
    size_t at = 0;
    while (at < hex_text.size()) {
        size_t end = hex_text.find('\n', at);
        if (end == std::string_view::npos) end = hex_text.size();
        std::string_view line = hex_text.substr(at, end - at);
        at = end + 1;
        ++line_number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::string where = "line " + std::to_string(line_number) + ": ";
        if (line.empty()) {
            why = where + "empty line";
            return false;
        }
        if (ended) {
            why = where + "record after the end-of-file record";
            return false;
        }
        if (line[0] != ':' || line.size() < 11 || line.size() % 2 == 0) {
            why = where + "not an Intel HEX record";
            return false;
        }
        std::vector<unsigned> bytes;
        for (size_t k = 1; k < line.size(); k += 2) {
            int high = hex_digit(line[k]);
            int low = hex_digit(line[k + 1]);
            if (high < 0 || low < 0) {
                why = where + "not a hex digit";
                return false;
            }
            bytes.push_back(unsigned(high * 16 + low));
        }
        const unsigned count = bytes[0];
        if (bytes.size() != count + 5u) {
            why = where + "byte count " + std::to_string(count) + " does not match the record's length";
            return false;
        }
        unsigned sum = 0;
        for (unsigned b : bytes) sum += b;
        if ((sum & 0xFF) != 0) {
            why = where + "bad checksum";
            return false;
        }
        const unsigned offset = bytes[1] * 256u + bytes[2];
        const unsigned type = bytes[3];
        if (type == 0x01) {
            if (count != 0) {
                why = where + "end-of-file record with data";
                return false;
            }
            ended = true;
        } else if (type == 0x04) {
            if (count != 2) {
                why = where + "extended linear address record without two bytes";
                return false;
            }
            upper = bytes[4] * 256u + bytes[5];
        } else if (type == 0x00) {
            const uint64_t address = (upper << 16) + offset;
            if (address % 4 != 0 || count % 4 != 0) {
                why = where + "data record does not hold whole program words";
                return false;
            }
            for (unsigned k = 0; k < count; k += 4) {
                uint32_t word = uint32_t(bytes[4 + k]) | uint32_t(bytes[5 + k]) << 8 | uint32_t(bytes[6 + k]) << 16 |
                                uint32_t(bytes[7 + k]) << 24;
                if (!given.emplace((address + k) / 4, word).second) {
                    why = where + "program word at byte address " + std::to_string(address + k) + " given twice";
                    return false;
                }
            }
        } else {
            why = where + "record type " + std::to_string(type) + " is not read";
            return false;
        }
    }
    if (!ended) {
        why = "no end-of-file record";
        return false;
    }
    if (!given.empty()) {
        const uint64_t last = given.rbegin()->first;
        if (last >= (uint64_t{1} << 24)) {
            why = "program word beyond program address 0x2000000";
            return false;
        }
        words.assign(size_t(last + 1), proof_erased_word);
        for (const auto& [index, word] : given) words[size_t(index)] = word;
    }
    return true;
}

std::string proof_temp_dir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/zorvel-proof-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) return {};
    return std::string(buffer.data());
}

bool proof_remove_tree(const std::string& path)
{
    std::error_code error;
    std::filesystem::remove_all(path, error);
    return !error;
}
