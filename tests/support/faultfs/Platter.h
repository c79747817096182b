#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace ovik::faultfs {

// Where the files of a folder lie on a virtual platter: one after another,
// in the order a copy writes them and a disc holds them (each folder's
// entries in the order of their names, a sub-folder's files where its name
// comes). A served image file thus keeps its own offsets.
class Platter {
 public:
  // Lays out the regular files below `backing` (an open folder).
  explicit Platter(int backing);

  // Where byte `offset` of `name` (relative to the backing folder) lies; a
  // name the layout did not see is placed after everything else.
  std::int64_t Position(const std::string& name, std::int64_t offset);

 private:
  void Place(int folder, const std::string& prefix);
  std::int64_t Append(const std::string& name, std::int64_t size);

  std::map<std::string, std::int64_t> starts_;
  std::int64_t end_ = 0;
};

}  // namespace ovik::faultfs
