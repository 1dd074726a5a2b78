// What the fuzz targets share: a private scratch directory, the program's
// standard error stream caught in memory, and the checks that turn a quiet
// misbehaviour (a token file left behind, an output file after an error,
// an internal error) into a crash the fuzzer reports.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sanitizer/allocator_interface.h>

#include <ctime>

#include "paasmdriver.h"

namespace fuzz {

// The scratch directory (where the inputs and outputs of every run lie)
// and its tmp/ folder, which TEMP names, so that the token file lands
// there. The working directory stays the fuzzer's.
inline std::string& scratch_dir() {
    static std::string dir;
    return dir;
}

inline void make_scratch_dir() {
    char dir_template[] = "/tmp/zorvel-fuzz-XXXXXX";
    if (mkdtemp(dir_template) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    scratch_dir() = dir_template;
    std::string tmp = scratch_dir() + "/tmp";
    if (mkdir(tmp.c_str(), 0700) != 0) {
        std::perror("scratch dir");
        std::abort();
    }
    setenv("TEMP", tmp.c_str(), 1);
    unsetenv("TMP");
}

inline void write_file(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || (size != 0 && std::fwrite(data, 1, size, file) != size)) std::abort();
    std::fclose(file);
}

// The whole file, empty when it cannot be read.
inline std::string read_file(const std::string& path) {
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char chunk[8192];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
        std::fclose(file);
    }
    return text;
}

// A path in the scratch directory.
inline std::string in_scratch(const std::string& name) { return scratch_dir() + "/" + name; }

inline bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// Names left in the directory (without . and ..).
inline std::vector<std::string> entries_of(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* entry = readdir(d))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.push_back(entry->d_name);
        closedir(d);
    }
    return names;
}

[[noreturn]] inline void finding(const char* what, const std::string& detail) {
    std::fprintf(stderr, "==zorvel-fuzz== FINDING: %s\n%s\n", what, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

struct Run {
    int status = 0;
    std::string errors;  // what the program wrote to its standard error stream
};

// Limits of one run of the program on one input: processor time (the
// fuzzer's own -timeout is only the backstop for a hang) and the heap the
// run holds at its end, which is where the pools have grown to. A run may
// write large files from a small input (a .space up to the top of the
// address space fills a HEX file of 46 MB), and writing takes its time:
// each `OUTPUT_BYTES_PER_SECOND` it wrote earn it one second more.
constexpr double RUN_SECONDS = 1.0;
constexpr size_t RUN_BYTES = size_t{256} << 20;
constexpr double OUTPUT_BYTES_PER_SECOND = 16.0 * (1 << 20);

inline off_t file_size(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_size : 0;
}

inline void check_limits(clock_t start, size_t heap_before, const std::vector<std::string>& outputs) {
    double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    double allowed = RUN_SECONDS;
    for (const std::string& path : outputs) allowed += static_cast<double>(file_size(path)) / OUTPUT_BYTES_PER_SECOND;
    if (seconds > allowed) finding("slow input", std::to_string(seconds) + " s of processor time");
    size_t heap = __sanitizer_get_current_allocated_bytes();
    if (heap > heap_before && heap - heap_before > RUN_BYTES)
        finding("input needs too much memory", std::to_string((heap - heap_before) >> 20) + " MiB");
}

// Runs the driver once from its start state on the given command line,
// with the standard error stream caught, and puts the program back into
// its start state afterwards. `outputs` are the files the run may write,
// whose sizes add to its time limit.
inline Run run_driver(std::vector<std::string> words, const std::vector<std::string>& outputs = {}) {
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    Run run;
    char* buffer = nullptr;
    size_t length = 0;
    FILE* caught = open_memstream(&buffer, &length);
    if (caught == nullptr) std::abort();
    FILE* saved = stderr;
    stderr = caught;
    asm_reset_run();
    const size_t heap_before = __sanitizer_get_current_allocated_bytes();
    const clock_t start = std::clock();
    run.status = asm_main(static_cast<int>(argv.size() - 1), argv.data());
    stderr = saved;
    check_limits(start, heap_before, outputs);
    stderr = caught;
    asm_reset_run();
    stderr = saved;
    std::fclose(caught);
    run.errors.assign(buffer, length);
    std::free(buffer);
    return run;
}

// An internal error is never the user's fault, whatever the input.
inline void check_no_internal_error(const Run& run) {
    for (const char* mark : {"-F0000 ", "-F0001 ", "-F0002 ", "-E0000 "})
        if (run.errors.find(mark) != std::string::npos) finding("internal error", run.errors);
}

}  // namespace fuzz
