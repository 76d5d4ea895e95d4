#pragma once
// Sets the TZ variable for a scope, so that local times are written and read
// in a zone of the test's choosing (a POSIX rule needs no zone files).
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace quorvane::testing {

class ScopedZone {
 public:
  explicit ScopedZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ScopedZone() {
    if (old_) ::setenv("TZ", old_->c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
  }
  ScopedZone(const ScopedZone&) = delete;
  ScopedZone& operator=(const ScopedZone&) = delete;

 private:
  std::optional<std::string> old_;
};

}  // namespace quorvane::testing
