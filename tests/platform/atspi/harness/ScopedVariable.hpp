#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace talvori::testing {

// Sets an environment variable until it goes, then puts the old value back: a program spawned
// meanwhile takes it with the rest of the test's environment.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* before = std::getenv(name)) previous_ = before;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() {
        if (previous_) {
            ::setenv(name_, previous_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    const char* name_;
    std::optional<std::string> previous_;
};

}  // namespace talvori::testing
