#include "platform/WaitWord.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>

namespace ovik {
namespace {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));

long Futex(const std::atomic<std::uint32_t>& word, int operation, std::uint32_t value) {
  return syscall(SYS_futex, reinterpret_cast<const std::uint32_t*>(&word), operation | FUTEX_PRIVATE_FLAG, value,
                 nullptr, nullptr, 0);
}

}  // namespace

// Returns early when the word differs already, on a signal, or spuriously:
// callers test their condition again.
void SleepWhileEquals(const std::atomic<std::uint32_t>& word, std::uint32_t value) {
  Futex(word, FUTEX_WAIT, value);
}

void WakeOne(std::atomic<std::uint32_t>& word) { Futex(word, FUTEX_WAKE, 1); }

void WakeAll(std::atomic<std::uint32_t>& word) { Futex(word, FUTEX_WAKE, INT_MAX); }

}  // namespace ovik
