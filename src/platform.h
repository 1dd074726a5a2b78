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

// Opens the fresh, empty file that platform_create_temp_file made, for
// writing from its start, like fopen with "wb" but without truncating it:
// some file systems take a truncation to empty as a file being replaced
// and write all of its data out to the disk when it is closed, which a
// temporary file that is deleted soon after does not need.
FILE* platform_open_fresh_for_writing(const std::string& path);

// True when the two paths name the same existing file (or are equal texts).
bool platform_same_file(const std::string& a, const std::string& b);

// Reads exactly `size` bytes from a stream's buffer (refilling it as
// needed); false on an error or at the end of the file.
bool platform_read_exact(FILE* file, void* bytes, size_t size);

// Writes `size` bytes into a stream's buffer; false on an error.
bool platform_write_all(FILE* file, const void* bytes, size_t size);

// For the short fixed records of the token file, where a library call per
// record costs more than the copy: the next `size` bytes of a reading
// stream's buffer, or none when fewer are buffered (then read them with
// platform_read_exact), and the room for `size` bytes in a writing
// stream's buffer, or none. With the GNU C library the buffer pointers
// are public (its getc and putc macros use them); elsewhere the answer is
// always none. Whoever takes the bytes or the room must pass them with
// platform_stream_advance_*.
inline const unsigned char* platform_stream_peek(FILE* file, size_t size) {
#if defined(__GLIBC__)
    if (file->_IO_read_ptr != nullptr && static_cast<size_t>(file->_IO_read_end - file->_IO_read_ptr) >= size)
        return reinterpret_cast<const unsigned char*>(file->_IO_read_ptr);
#endif
    (void)file;
    (void)size;
    return nullptr;
}

inline void platform_stream_advance_read(FILE* file, size_t size) {
#if defined(__GLIBC__)
    file->_IO_read_ptr += size;
#endif
    (void)file;
    (void)size;
}

inline unsigned char* platform_stream_room(FILE* file, size_t size) {
#if defined(__GLIBC__)
    if (file->_IO_write_ptr != nullptr && static_cast<size_t>(file->_IO_write_end - file->_IO_write_ptr) >= size)
        return reinterpret_cast<unsigned char*>(file->_IO_write_ptr);
#endif
    (void)file;
    (void)size;
    return nullptr;
}

inline void platform_stream_advance_write(FILE* file, size_t size) {
#if defined(__GLIBC__)
    file->_IO_write_ptr += size;
#endif
    (void)file;
    (void)size;
}
