#pragma once

#include <utility>

namespace ovik {

// Runs `f` on every way out of a scope, an exception included, before the
// exception travels on.
template <typename F>
class OnScopeExit {
 public:
  explicit OnScopeExit(F f) : f_(std::move(f)) {}
  ~OnScopeExit() { f_(); }
  OnScopeExit(const OnScopeExit&) = delete;
  OnScopeExit& operator=(const OnScopeExit&) = delete;

 private:
  F f_;
};

}  // namespace ovik
