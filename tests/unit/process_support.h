// Process state that a test changes for itself (an environment variable,
// the working directory) and gives back when it ends, so that the tests
// that come after it in the same process see the process as it was.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace test_support {

// Sets an environment variable, or removes it when `value` is null, for
// the life of the object; the former value (or its absence) comes back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        set(value);
    }
    ~ScopedEnvironment() { set(old_ ? old_->c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    void set(const char* value) {
        if (value != nullptr)
            setenv(name_.c_str(), value, 1);
        else
            unsetenv(name_.c_str());
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Works in `dir` for the life of the object, then in the former directory.
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(const std::string& dir) : old_(std::filesystem::current_path(error_)) {
        if (!error_) std::filesystem::current_path(dir, error_);
    }
    ~ScopedWorkingDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(old_, ignored);
    }
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

    bool ok() const { return !error_; }

private:
    std::error_code error_;  // before old_: it is filled while old_ is made
    std::filesystem::path old_;
};

}  // namespace test_support
