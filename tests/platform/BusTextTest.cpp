#include "platform/desktop/BusConnection.h"

#include <gtest/gtest.h>

namespace ovik {
namespace {

// The bus takes only UTF-8; file names are bytes. What is not UTF-8 turns
// into U+FFFD, one for each byte, and the rest is kept.
TEST(BusText, KeepsUtf8AndReplacesEveryOtherByte) {
  const std::string replaced = "\xEF\xBF\xBD";
  const struct {
    std::string bytes, text;
  } cases[] = {
      {"", ""},
      {"/media/usb/caf\xC3\xA9 \xF0\x9F\x93\x80", "/media/usb/caf\xC3\xA9 \xF0\x9F\x93\x80"},
      {"caf\xE9", "caf" + replaced},                                // Latin-1
      {"\xC0\xAF", replaced + replaced},                           // overlong "/"
      {"\xED\xA0\x80", replaced + replaced + replaced},            // a surrogate
      {"\xF4\x90\x80\x80", replaced + replaced + replaced + replaced},  // past U+10FFFF
      {"ab\xE2\x82", "ab" + replaced + replaced},                  // cut short
      {std::string("a\0b", 3), "a" + replaced + "b"},
  };
  for (const auto& c : cases) EXPECT_EQ(BusText(c.bytes), c.text) << c.bytes;
}

}  // namespace
}  // namespace ovik
