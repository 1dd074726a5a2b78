// The few services of the host system that the program needs beyond the
// C and C++ standard libraries: temporary files, the location of the
// running executable and file status.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// True for both path separators, '/' and '\'.
bool platform_is_separator(char c);

// The directory named by TEMP, else by TMP, else the system's temporary
// directory. An empty value counts as not set.
std::string platform_temp_directory();

// Creates a fresh, empty file in `dir` (exclusively: never an existing
// file) and sets `path` to it. On failure `path` names the path that was
// tried and the result is false.
bool platform_create_temp_file(const std::string& dir, std::string& path);

// The directory that holds the running executable, without a trailing
// separator ("." when it cannot be found).
std::string platform_executable_dir();

// File status: true when `path` names something that exists; `size`
// receives its size in bytes.
bool platform_file_size(const std::string& path, uint64_t& size);

// Opens `path` for reading like fopen, but refuses a directory, which
// cannot be read as a file (some systems open it all the same).
FILE* platform_open_for_reading(const std::string& path, const char* mode);

// True when the two paths name the same existing file (or are equal texts).
bool platform_same_file(const std::string& a, const std::string& b);
