// Host services on a POSIX system.
#include "platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

bool platform_is_separator(char c) { return c == '/' || c == '\\'; }

std::string platform_temp_directory() {
    for (const char* variable : {"TEMP", "TMP"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0') return value;
    }
    return "/tmp";
}

bool platform_create_temp_file(const std::string& dir, std::string& path) {
    path = dir;
    if (path.empty() || !platform_is_separator(path.back())) path += '/';
    path += "XXXXXX";
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) return false;  // path keeps the template that was tried
    close(fd);
    path.assign(name.data());
    return true;
}

std::string platform_executable_dir() {
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return ".";
        if (static_cast<size_t>(n) < buffer.size()) {
            std::string path(buffer.data(), static_cast<size_t>(n));
            size_t cut = path.find_last_of("/\\");
            if (cut == std::string::npos) return ".";
            if (cut == 0) return "/";
            return path.substr(0, cut);
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool platform_file_size(const std::string& path, uint64_t& size) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return false;
    size = static_cast<uint64_t>(status.st_size);
    return true;
}

FILE* platform_open_for_reading(const std::string& path, const char* mode) {
    FILE* file = std::fopen(path.c_str(), mode);
    if (file == nullptr) return nullptr;
    struct stat status;
    if (fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

FILE* platform_open_fresh_for_writing(const std::string& path) {
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    FILE* file = fdopen(fd, "wb");
    if (file == nullptr) close(fd);
    return file;
}

bool platform_same_file(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa, sb;
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool platform_read_exact(FILE* file, void* bytes, size_t size) {
    auto* out = static_cast<unsigned char*>(bytes);
    if (const unsigned char* buffered = platform_stream_peek(file, size)) {
        std::memcpy(out, buffered, size);
        platform_stream_advance_read(file, size);
        return true;
    }
    for (size_t i = 0; i < size; ++i) {
        int c = getc_unlocked(file);
        if (c == EOF) return false;
        out[i] = static_cast<unsigned char>(c);
    }
    return true;
}

bool platform_write_all(FILE* file, const void* bytes, size_t size) {
    const auto* in = static_cast<const unsigned char*>(bytes);
    if (unsigned char* room = platform_stream_room(file, size)) {
        std::memcpy(room, in, size);
        platform_stream_advance_write(file, size);
        return true;
    }
    for (size_t i = 0; i < size; ++i) {
        if (putc_unlocked(in[i], file) == EOF) return false;
    }
    return true;
}
