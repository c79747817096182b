#pragma once

#include <clocale>
#include <string>

namespace ovik::testing {

// Switches one locale category for the life of the object and restores the
// previous setting afterwards. ok() is false when the locale is not installed.
class ScopedLocale {
 public:
  ScopedLocale(int category, const char* name)
      : category_(category), saved_(std::setlocale(category, nullptr)) {
    ok_ = std::setlocale(category, name) != nullptr;
  }
  ~ScopedLocale() { std::setlocale(category_, saved_.c_str()); }
  ScopedLocale(const ScopedLocale&) = delete;
  ScopedLocale& operator=(const ScopedLocale&) = delete;
  bool ok() const { return ok_; }

 private:
  int category_;
  std::string saved_;
  bool ok_ = false;
};

}  // namespace ovik::testing
