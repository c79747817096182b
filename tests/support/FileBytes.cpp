#include "support/FileBytes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace ovik::testing {

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.is_open()) << "cannot read " << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace ovik::testing
