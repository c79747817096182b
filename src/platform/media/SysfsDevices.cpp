#include "platform/media/SysfsDevices.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <vector>

namespace ovik {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> ReadLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  return line;
}

std::optional<std::uint32_t> ReadNumber(const fs::path& file) {
  const std::optional<std::string> line = ReadLine(file);
  if (!line) return std::nullopt;
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(line->data(), line->data() + line->size(), value);
  if (error != std::errc() || end == line->data()) return std::nullopt;
  return value;
}

MediumInfo UnknownMedium(std::string description) {
  MediumInfo info;
  info.description = std::move(description);
  return info;
}

MediumInfo AfterStep(const std::string& step, MediumInfo info) {
  info.description = step + info.description;
  return info;
}

std::string KernelWords(std::optional<std::uint32_t> rotational, std::optional<std::uint32_t> readAhead,
                        std::optional<std::uint32_t> maxRequest) {
  std::vector<std::string> words;
  if (rotational) words.push_back("rotational " + std::to_string(*rotational));
  if (readAhead) words.push_back("read-ahead " + std::to_string(*readAhead) + " KiB");
  if (maxRequest) words.push_back("max request " + std::to_string(*maxRequest) + " KiB");
  if (words.empty()) return "the kernel says nothing";
  std::string text = words.front();
  for (std::size_t i = 1; i < words.size(); ++i) text += ", " + words[i];
  return text;
}

// What the kernel says of a whole disk in its queue folder.
MediumInfo DescribeDisk(const fs::path& disk, const std::string& majorMinor) {
  const fs::path queue = disk / "queue";
  const std::optional<std::uint32_t> rotational = ReadNumber(queue / "rotational");
  const std::optional<std::uint32_t> readAhead = ReadNumber(queue / "read_ahead_kb");
  const std::optional<std::uint32_t> maxRequest = ReadNumber(queue / "max_sectors_kb");
  MediumInfo info;
  info.id = majorMinor;
  if (rotational) info.kernelSays = *rotational != 0 ? MediumKind::Rotational : MediumKind::NonRotational;
  info.readAheadKiB = readAhead.value_or(0);
  info.maxRequestKiB = maxRequest.value_or(0);
  info.description =
      disk.filename().string() + " (" + majorMinor + "): " + KernelWords(rotational, readAhead, maxRequest);
  return info;
}

// Higher is slower to read out of order: a head that seeks, then a medium
// nothing is known of, then flash, then memory.
int Slowness(MediumKind kind) {
  switch (kind) {
    case MediumKind::Rotational: return 3;
    case MediumKind::Unknown: return 2;
    case MediumKind::NonRotational: return 1;
    case MediumKind::Memory: return 0;
  }
  return 2;
}

std::uint32_t SmallestKnown(std::uint32_t a, std::uint32_t b) {
  if (a == 0) return b;
  if (b == 0) return a;
  return std::min(a, b);
}

std::string Joined(const std::vector<std::string>& parts, const std::string& separator) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
  return text;
}

// The members' media as one: the slowest kind, the smallest read-ahead and
// request that any member takes, the distinct disks' ids joined.
MediumInfo CombineMembers(const std::vector<MediumInfo>& members) {
  MediumInfo combined = members.front();
  std::set<std::string> ids;
  std::vector<std::string> descriptions;
  for (const MediumInfo& member : members) {
    if (Slowness(member.kernelSays) > Slowness(combined.kernelSays)) combined.kernelSays = member.kernelSays;
    combined.readAheadKiB = SmallestKnown(combined.readAheadKiB, member.readAheadKiB);
    combined.maxRequestKiB = SmallestKnown(combined.maxRequestKiB, member.maxRequestKiB);
    if (!member.id.empty()) ids.insert(member.id);
    if (std::find(descriptions.begin(), descriptions.end(), member.description) == descriptions.end())
      descriptions.push_back(member.description);
  }
  combined.id = Joined({ids.begin(), ids.end()}, "+");
  combined.description = Joined(descriptions, "; ");
  return combined;
}

std::vector<std::string> MemberNumbers(const fs::path& device) {
  std::vector<fs::path> members;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(device / "slaves", error))
    members.push_back(entry.path());
  std::sort(members.begin(), members.end());
  std::vector<std::string> numbers;
  for (const fs::path& member : members) numbers.push_back(ReadLine(member / "dev").value_or(""));
  return numbers;
}

std::string DeviceName(const fs::path& device) {
  const std::string name = device.filename().string();
  const std::optional<std::string> mapperName = ReadLine(device / "dm" / "name");
  return mapperName && !mapperName->empty() ? name + " (" + *mapperName + ")" : name;
}

}  // namespace

MediumInfo DescribeBlockDevice(const std::string& majorMinor, const std::string& sysfsRoot,
                               const FileMedium& fileMedium, int depthLeft) {
  if (depthLeft <= 0) return UnknownMedium(majorMinor + ": too long a chain of devices");
  std::error_code error;
  const fs::path device = fs::canonical(fs::path(sysfsRoot) / "dev" / "block" / majorMinor, error);
  if (error) return UnknownMedium(majorMinor + ": not a block device in sysfs");
  const std::string name = device.filename().string();

  if (fs::exists(device / "partition", error)) {
    const std::optional<std::string> disk = ReadLine(device.parent_path() / "dev");
    if (!disk) return UnknownMedium(name + ": a partition of a disk sysfs does not show");
    return AfterStep(name + " → ", DescribeBlockDevice(*disk, sysfsRoot, fileMedium, depthLeft - 1));
  }
  if (fs::exists(device / "loop", error)) {
    const std::optional<std::string> backingFile = ReadLine(device / "loop" / "backing_file");
    if (!backingFile || backingFile->empty()) return UnknownMedium(name + ": a loop device without a backing file");
    return AfterStep(name + " → file on ", fileMedium(*backingFile, depthLeft - 1));
  }
  const std::vector<std::string> members = MemberNumbers(device);
  if (!members.empty()) {
    std::vector<MediumInfo> media;
    for (const std::string& member : members)
      media.push_back(member.empty() ? UnknownMedium("a member sysfs does not number")
                                     : DescribeBlockDevice(member, sysfsRoot, fileMedium, depthLeft - 1));
    return AfterStep(DeviceName(device) + " → ", CombineMembers(media));
  }
  return DescribeDisk(device, majorMinor);
}

}  // namespace ovik
