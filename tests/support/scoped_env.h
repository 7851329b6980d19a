#pragma once
// An environment variable changed for a test and put back as it was when the
// guard goes, so one test's driver choice never reaches the next test.
#include <stdlib.h>

#include <optional>
#include <string>

namespace testsupport {

class ScopedEnv {
 public:
  // Sets name to value (null unsets it). With overwrite false a value already
  // there stays, as for a driver the caller chose.
  ScopedEnv(const char* name, const char* value, bool overwrite = true) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    if (overwrite || !old_) Set(value);
  }
  ~ScopedEnv() { Set(old_ ? old_->c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  // Changes the value again; the destructor still puts back the first one.
  void Set(const char* value) const {
    if (value)
      ::setenv(name_.c_str(), value, 1);
    else
      ::unsetenv(name_.c_str());
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace testsupport
