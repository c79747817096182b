#include "FaultOptions.h"

#include "SpinningDrive.h"

#include <cerrno>
#include <charconv>

namespace ovik::faultfs {

const char* const kUsage =
    "usage: ovik-test-faultfs [OPTION]... BACKING MOUNTPOINT\n"
    "Serves BACKING read-only at MOUNTPOINT in the foreground, with faults:\n"
    "  --direct-io                   serve every file with direct_io (no page cache)\n"
    "  --no-async-dio                no asynchronous direct reads, as with libfuse 2 servers\n"
    "  --fail-read=REL:OFFSET[:ERRNO] a read covering byte OFFSET of REL fails (EIO)\n"
    "  --fail-open=REL[:ERRNO]       opening REL fails (EIO)\n"
    "  --stall-read=REL:OFFSET       a read covering OFFSET of REL never returns\n"
    "  --stall-list=REL              a listing of the folder REL never returns\n"
    "  --stall-open=REL              opening REL never returns\n"
    "  --late-open=REL:MS            opening REL answers after MS milliseconds\n"
    "  --stall-stat=REL              a stat of REL after its first lookup never returns (no\n"
    "                                attributes are cached then); with --fail-open=REL, only\n"
    "                                once an open of REL failed\n"
    "  --slow-read=MS                every read sleeps MS milliseconds first\n"
    "  --read-piece=BYTES            every read returns at most BYTES bytes\n"
    "  --fail-after-reads=N          after N reads every operation fails with EIO\n"
    "  --log=FILE                    note every lookup, open and read with its result\n"
    "  --spin=hdd|disc               serve reads one at a time at the pace of one head of a\n"
    "                                hard disk or a disc drive, the files lying one after\n"
    "                                another in name order; folders list in name order\n"
    "  --spin-time-scale=FACTOR      wait FACTOR times the head's time (1; 0 only counts)\n"
    "  --spin-counts=FILE            after every read write the head's counts to FILE:\n"
    "                                \"reads R bytes B seeks S busy_us U\"\n"
    "REL is relative to BACKING; give ERRNO when REL itself ends in ':' and digits.\n";

namespace {

std::optional<std::int64_t> Number(const std::string& text) {
  std::int64_t value = 0;
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (problem != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

std::optional<double> Factor(const std::string& text) {
  double value = 0;
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (problem != std::errc() || end != text.data() + text.size() || !(value >= 0)) return std::nullopt;
  return value;
}

// Splits off the last ":NUMBER" of `text`; the number, or nothing when
// `text` does not end in one.
std::optional<std::int64_t> TakeTrailingNumber(std::string& text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return std::nullopt;
  const std::optional<std::int64_t> number = Number(text.substr(colon + 1));
  if (number) text.erase(colon);
  return number;
}

bool StartsWith(const std::string& text, const std::string& head) { return text.compare(0, head.size(), head) == 0; }

// REL:OFFSET[:ERRNO]; with two trailing numbers the last is the error.
bool ParseReadFault(std::string text, std::string& name, ReadFault& fault) {
  const std::optional<std::int64_t> last = TakeTrailingNumber(text);
  if (!last) return false;
  std::string shorter = text;
  const std::optional<std::int64_t> beforeLast = TakeTrailingNumber(shorter);
  if (beforeLast && !shorter.empty()) {
    fault = {*beforeLast, static_cast<int>(*last)};
    name = shorter;
  } else {
    fault = {*last, EIO};
    name = text;
  }
  return !name.empty();
}

}  // namespace

std::optional<FaultOptions> ParseFaultOptions(const std::vector<std::string>& arguments, std::string& error) {
  FaultOptions options;
  std::vector<std::string> folders;
  for (const std::string& argument : arguments) {
    const std::size_t equals = argument.find('=');
    const std::string value = equals == std::string::npos ? std::string() : argument.substr(equals + 1);
    std::string name;
    if (argument == "--direct-io") {
      options.directIo = true;
    } else if (argument == "--no-async-dio") {
      options.asyncDirectIo = false;
    } else if (StartsWith(argument, "--fail-read=")) {
      ReadFault fault;
      if (!ParseReadFault(value, name, fault)) return error = "bad " + argument, std::nullopt;
      options.failedReads.emplace(name, fault);
    } else if (StartsWith(argument, "--fail-open=")) {
      name = value;
      const std::optional<std::int64_t> number = TakeTrailingNumber(name);
      if (name.empty()) return error = "bad " + argument, std::nullopt;
      options.failedOpens[name] = number ? static_cast<int>(*number) : EIO;
    } else if (StartsWith(argument, "--stall-read=")) {
      name = value;
      const std::optional<std::int64_t> offset = TakeTrailingNumber(name);
      if (!offset || name.empty()) return error = "bad " + argument, std::nullopt;
      options.stalledReads.emplace(name, *offset);
    } else if (StartsWith(argument, "--stall-list=")) {
      if (value.empty()) return error = "bad " + argument, std::nullopt;
      options.stalledListings.insert(value);
    } else if (StartsWith(argument, "--stall-open=")) {
      if (value.empty()) return error = "bad " + argument, std::nullopt;
      options.stalledOpens.insert(value);
    } else if (StartsWith(argument, "--late-open=")) {
      name = value;
      const std::optional<std::int64_t> ms = TakeTrailingNumber(name);
      if (!ms || name.empty()) return error = "bad " + argument, std::nullopt;
      options.lateOpens[name] = static_cast<int>(*ms);
    } else if (StartsWith(argument, "--stall-stat=")) {
      if (value.empty() || value == ".") return error = "bad " + argument, std::nullopt;
      options.stalledStats.insert(value);
    } else if (StartsWith(argument, "--slow-read=")) {
      const std::optional<std::int64_t> ms = Number(value);
      if (!ms) return error = "bad " + argument, std::nullopt;
      options.slowReadMs = static_cast<int>(*ms);
    } else if (StartsWith(argument, "--read-piece=")) {
      const std::optional<std::int64_t> bytes = Number(value);
      if (!bytes) return error = "bad " + argument, std::nullopt;
      options.readPiece = *bytes;
    } else if (StartsWith(argument, "--fail-after-reads=")) {
      options.readsBeforePull = Number(value);
      if (!options.readsBeforePull) return error = "bad " + argument, std::nullopt;
    } else if (StartsWith(argument, "--log=")) {
      options.logFile = value;
    } else if (StartsWith(argument, "--spin=")) {
      if (!NamedDriveModel(value)) return error = "bad " + argument, std::nullopt;
      options.spin = value;
    } else if (StartsWith(argument, "--spin-time-scale=")) {
      const std::optional<double> scale = Factor(value);
      if (!scale) return error = "bad " + argument, std::nullopt;
      options.spinTimeScale = *scale;
    } else if (StartsWith(argument, "--spin-counts=")) {
      if (value.empty()) return error = "bad " + argument, std::nullopt;
      options.spinCounts = value;
    } else if (StartsWith(argument, "--")) {
      return error = "unknown option " + argument, std::nullopt;
    } else {
      folders.push_back(argument);
    }
  }
  if (folders.size() != 2) return error = "needs BACKING and MOUNTPOINT", std::nullopt;
  if (options.spin.empty() && !options.spinCounts.empty()) return error = "--spin-counts needs --spin", std::nullopt;
  options.backing = folders[0];
  options.mountPoint = folders[1];
  return options;
}

}  // namespace ovik::faultfs
