#include "Platter.h"

#include "SortedListing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ovik::faultfs {

namespace {

constexpr std::int64_t kBlock = 4096;  // files begin on a block of the medium

}  // namespace

Platter::Platter(int backing) { Place(backing, ""); }

void Platter::Place(int folder, const std::string& prefix) {
  for (const ListedEntry& entry : SortedListing(folder)) {
    struct stat facts {};
    if (fstatat(folder, entry.name.c_str(), &facts, AT_SYMLINK_NOFOLLOW) != 0) continue;
    const std::string name = prefix + entry.name;
    if (S_ISREG(facts.st_mode)) {
      Append(name, facts.st_size);
    } else if (S_ISDIR(facts.st_mode)) {
      const int child = openat(folder, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (child < 0) continue;
      Place(child, name + "/");
      close(child);
    }
  }
}

std::int64_t Platter::Append(const std::string& name, std::int64_t size) {
  const std::int64_t start = end_;
  starts_[name] = start;
  end_ += (size + kBlock - 1) / kBlock * kBlock;
  return start;
}

std::int64_t Platter::Position(const std::string& name, std::int64_t offset) {
  const auto known = starts_.find(name);
  return (known != starts_.end() ? known->second : Append(name, offset + kBlock)) + offset;
}

}  // namespace ovik::faultfs
