// What the proof tools share for running the program and reading what it
// wrote: starting a process, whole-file reads and writes, fresh scratch
// folders, and the program words of an Intel HEX image. None of it uses the
// program's own code, so that a check built on it proves something.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Runs argv[0] (a path; no PATH search, no shell) with the arguments that
// follow, standard input from /dev/null and standard output thrown away.
// With a non-null `stderr_text` the standard error is captured into it,
// otherwise it is thrown away too. A non-empty `directory` is the child's
// working directory. The run is killed after `timeout_seconds`.
//
// Returns the exit status, 128 + the signal number when a signal ended the
// child (SIGKILL, so 137, after a timeout), or -1 when it could not be
// started (the reason is then in `stderr_text`).
int proof_run(const std::vector<std::string>& argv, std::string* stderr_text, const std::string& directory = {},
              unsigned timeout_seconds = 60);

// Whole-file read and write, binary; false on any error.
bool proof_read_file(const std::string& path, std::string& text);
bool proof_write_file(const std::string& path, std::string_view text);

// Parses an Intel HEX image as the program writes it into program words.
//
// Records of type 00 (data), 01 (end of file) and 04 (extended linear
// address) are read; any other type, a bad checksum, a line that is not a
// record, data after the end record or a missing end record is an error.
// The byte address of a data record is (upper << 16) + its offset. Every
// 4 bytes at a byte address divisible by 4 are one program word, least
// significant byte first: the 24-bit instruction word and the phantom top
// byte, so word k sits at byte address 4k (program address 2k). A record
// must hold whole words at such an address, and no word may be given twice.
//
// `words` gets the words from address 0 up to the highest word given. A
// word that lies in a gap (no record gives it) reads as erased program
// memory, 0x00FFFFFF. On failure `why` says which line broke which rule.
bool proof_hex_words(std::string_view hex_text, std::vector<uint32_t>& words, std::string& why);

// The value a program word that no record gives reads as.
constexpr uint32_t proof_erased_word = 0x00FFFFFFu;

// A fresh, empty folder in the system temporary folder (TMPDIR, else
// /tmp), made with mkdtemp; empty text when it could not be made.
std::string proof_temp_dir();

// Removes a folder and everything in it; false when something stayed.
bool proof_remove_tree(const std::string& path);

// Removes the folder it holds when it goes out of scope, unless kept.
class ProofTempDir {
public:
    ProofTempDir() : path_(proof_temp_dir()) {}
    ~ProofTempDir()
    {
        if (!path_.empty() && !keep_) proof_remove_tree(path_);
    }
    ProofTempDir(const ProofTempDir&) = delete;
    ProofTempDir& operator=(const ProofTempDir&) = delete;

    const std::string& path() const { return path_; }
    bool ok() const { return !path_.empty(); }
    void keep() { keep_ = true; }

private:
    std::string path_;
    bool keep_ = false;
};
