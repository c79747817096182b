#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace ovik::testing {

namespace fs = std::filesystem;

TempTree::TempTree() {
  std::string pattern = (fs::temp_directory_path() / "ovik-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

TempTree::~TempTree() {
  std::error_code ignored;
  // Folders made unreadable by a test must be made readable again first.
  for (auto it = fs::recursive_directory_iterator(root_, fs::directory_options::skip_permission_denied, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(root_, ignored);
  // Trees deeper than the open-file limit or with paths beyond PATH_MAX are
  // left to the system's tools, which walk any depth.
  if (fs::exists(fs::symlink_status(root_, ignored))) RemoveWithSystemTools(root_);
}

void TempTree::RemoveWithSystemTools(const std::string& root) {
  const char* const argv[] = {"sh", "-c", "chmod -R u+rwx -- \"$1\"; rm -rf -- \"$1\"", "sh", root.c_str(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, "sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) == 0)
    waitpid(child, nullptr, 0);
}

void TempTree::WriteDeepFile(const std::string& relative, const std::string& bytes) const {
  int folder = open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::size_t start = 0;
  for (std::size_t slash; folder >= 0 && (slash = relative.find('/', start)) != std::string::npos; start = slash + 1) {
    const std::string name = relative.substr(start, slash - start);
    mkdirat(folder, name.c_str(), 0755);
    const int inner = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(folder);
    folder = inner;
  }
  if (folder < 0) throw std::runtime_error("cannot make the folders of a deep file");
  const int file = openat(folder, relative.substr(start).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  close(folder);
  const bool written = file >= 0 && write(file, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  if (file >= 0) close(file);
  if (!written) throw std::runtime_error("cannot write a deep file");
}

std::string TempTree::Path(const std::string& relative) const { return root_ + "/" + relative; }

void TempTree::MakeFolder(const std::string& relative) const { fs::create_directories(Path(relative)); }

void TempTree::WriteFile(const std::string& relative, const std::string& bytes) const {
  const fs::path path = Path(relative);
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void TempTree::WriteFile(const std::string& relative, const std::vector<unsigned char>& bytes) const {
  WriteFile(relative, std::string(bytes.begin(), bytes.end()));
}

std::string PatternBytes(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (char& c : bytes) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>(state >> 24);
  }
  return bytes;
}

}  // namespace ovik::testing
