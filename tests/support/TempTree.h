#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ovik::testing {

// A temporary folder that is removed with everything in it when the object
// goes; helpers create files and folders below it by relative path.
class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& root() const { return root_; }
  std::string Path(const std::string& relative) const;

  // Creates the parents as needed.
  void WriteFile(const std::string& relative, const std::string& bytes) const;
  void WriteFile(const std::string& relative, const std::vector<unsigned char>& bytes) const;
  void MakeFolder(const std::string& relative) const;
  // Creates the file and its parents one folder at a time, so that neither
  // the depth nor the length of the path meets a limit.
  void WriteDeepFile(const std::string& relative, const std::string& bytes) const;

 private:
  static void RemoveWithSystemTools(const std::string& root);

  std::string root_;
};

// Deterministic bytes for file contents.
std::string PatternBytes(std::size_t size, unsigned seed = 1);

}  // namespace ovik::testing
