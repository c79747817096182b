#pragma once

#include <atomic>
#include <cstdint>

namespace ovik {

// Sleeping on a 32-bit word until it may have changed, and waking those
// asleep on it. Unlike the standard library's atomic waits, a wait goes to
// sleep at once instead of spinning first, which matters when many threads
// wait and only few of them have work.
void SleepWhileEquals(const std::atomic<std::uint32_t>& word, std::uint32_t value);
void WakeOne(std::atomic<std::uint32_t>& word);
void WakeAll(std::atomic<std::uint32_t>& word);

}  // namespace ovik
