#include "platform/desktop/BusConnection.h"

#include <systemd/sd-bus.h>

#include <poll.h>

#include <cstdint>

namespace ovik {
namespace {

using Clock = std::chrono::steady_clock;

std::uint64_t Microseconds(Clock::duration duration) {
  const auto count = std::chrono::duration_cast<std::chrono::microseconds>(duration).count();
  return count > 0 ? static_cast<std::uint64_t>(count) : 0;
}

struct AwaitedReply {
  BusMessage reply;
  bool done = false;
};

int TakeReply(sd_bus_message* message, void* userdata, sd_bus_error*) {
  auto& awaited = *static_cast<AwaitedReply*>(userdata);
  awaited.done = true;
  if (!sd_bus_message_is_method_error(message, nullptr)) awaited.reply.reset(sd_bus_message_ref(message));
  return 0;
}

// What a UTF-8 sequence that begins with `lead` is: its length (0 when
// none begins so) and the range of its second byte, which rules out
// overlong forms, surrogates and code points past U+10FFFF.
struct Utf8Lead {
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;
};

Utf8Lead LeadOf(unsigned char lead) {
  if (lead < 0x80) return {1};
  if (lead >= 0xC2 && lead <= 0xDF) return {2};
  if (lead == 0xE0) return {3, 0xA0};
  if (lead == 0xED) return {3, 0x80, 0x9F};
  if (lead >= 0xE1 && lead <= 0xEF) return {3};
  if (lead == 0xF0) return {4, 0x90};
  if (lead >= 0xF1 && lead <= 0xF3) return {4};
  if (lead == 0xF4) return {4, 0x80, 0x8F};
  return {0};
}

// The length of the UTF-8 sequence at `text[at]`, or 0 when none is there.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const Utf8Lead lead = LeadOf(byte(at));
  if (lead.length == 0 || at + lead.length > text.size()) return 0;
  if (lead.length == 1) return 1;
  if (byte(at + 1) < lead.low || byte(at + 1) > lead.high) return 0;
  for (std::size_t i = 2; i < lead.length; ++i)
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  return lead.length;
}

}  // namespace

void BusMessageUnref::operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }

BusConnection::BusConnection(BusKind kind) {
  // Opening only starts the connection; the handshake goes on with the
  // first call, under its timeout.
  const int result = kind == BusKind::System ? sd_bus_open_system(&bus_) : sd_bus_open_user(&bus_);
  if (result < 0) bus_ = nullptr;
}

BusConnection::~BusConnection() { sd_bus_unref(bus_); }

bool BusConnection::IsOpen() const { return bus_ != nullptr && sd_bus_is_open(bus_) > 0; }

BusMessage BusConnection::NewMethodCall(const char* service, const char* path, const char* interface,
                                        const char* member) const {
  sd_bus_message* call = nullptr;
  if (bus_ == nullptr || sd_bus_message_new_method_call(bus_, &call, service, path, interface, member) < 0) return {};
  return BusMessage(call);
}

BusMessage BusConnection::Call(const BusMessage& call, std::chrono::milliseconds timeout) const {
  if (bus_ == nullptr || call == nullptr) return {};
  const auto deadline = Clock::now() + timeout;
  AwaitedReply awaited;
  sd_bus_slot* slot = nullptr;
  if (sd_bus_call_async(bus_, &slot, call.get(), TakeReply, &awaited, Microseconds(timeout)) < 0) return {};
  while (!awaited.done) {
    const int processed = sd_bus_process(bus_, nullptr);
    if (processed < 0) break;
    if (processed > 0) continue;
    const auto now = Clock::now();
    if (now >= deadline || sd_bus_wait(bus_, Microseconds(deadline - now)) < 0) break;
  }
  sd_bus_slot_unref(slot);
  return std::move(awaited.reply);
}

void BusConnection::ProcessPending() const {
  if (bus_ == nullptr) return;
  while (sd_bus_process(bus_, nullptr) > 0) {
  }
}

bool BusConnection::HasPendingWork() const {
  if (bus_ == nullptr) return false;
  std::uint64_t timeout = UINT64_MAX;
  const int events = sd_bus_get_events(bus_);
  return (events > 0 && (events & POLLOUT) != 0) || (sd_bus_get_timeout(bus_, &timeout) >= 0 && timeout != UINT64_MAX);
}

int BusConnection::Descriptor() const { return bus_ == nullptr ? -1 : sd_bus_get_fd(bus_); }

void BusConnection::Drain(std::chrono::milliseconds timeout) const {
  if (bus_ == nullptr) return;
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    ProcessPending();
    const int events = sd_bus_get_events(bus_);
    const auto now = Clock::now();
    if (events <= 0 || (events & POLLOUT) == 0 || now >= deadline) return;
    if (sd_bus_wait(bus_, Microseconds(deadline - now)) < 0) return;
  }
}

std::string BusText(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, at);
    if (length == 0 || text[at] == '\0') {
      valid += "\xEF\xBF\xBD";
      ++at;
    } else {
      valid.append(text, at, length);
      at += length;
    }
  }
  return valid;
}

}  // namespace ovik
