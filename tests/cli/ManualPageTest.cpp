// The manual page of ovik-verify is written by hand; these tests catch it
// falling behind the program when an option, a result or an exit status changes.

#include "cli/CliOptions.h"
#include "cli/VerifyCommandLine.h"
#include "common/SkippedFolders.h"
#include "engine/VerifyEngine.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace ovik {
namespace {

// The page's source with the roff escapes that matter here removed, so that
// "\-\-cached" reads "--cached" and "\fB!\fP" reads "!".
std::string ReadManualPageText() {
  std::ifstream in(OVIK_SOURCE_DIR "/packaging/ovik-verify.1.in");
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string text = buffer.str();
  text = std::regex_replace(text, std::regex(R"(\\f[BIRP])"), "");
  text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
  return text;
}

// The text between the heading ".SH name" and the next heading.
std::string Section(const std::string& page, const std::string& name) {
  const std::string heading = ".SH " + name + "\n";
  const auto start = page.find(heading);
  if (start == std::string::npos) return {};
  const auto end = page.find("\n.SH ", start + heading.size());
  return page.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// The long options ("--quiet") and one-letter options ("-q", "-H") named in
// `text`.
std::set<std::string> OptionsOf(const std::string& text) {
  std::set<std::string> options;
  const std::regex option(R"((^|[^A-Za-z0-9-])(--[a-z][a-z-]*|-[A-Za-z])(?![A-Za-z]))");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
    options.insert((*it)[2].str());
  return options;
}

// The options that head an entry of the OPTIONS section (".B --quiet",
// ".BR -h \", \" --help", ".BI --csv \" FILE\"").
std::set<std::string> DescribedOptions() {
  std::istringstream options(Section(ReadManualPageText(), "OPTIONS"));
  std::set<std::string> described;
  std::string line;
  while (std::getline(options, line))
    if (line.rfind(".B", 0) == 0) described.merge(OptionsOf(line));
  return described;
}

TEST(ManualPage, DescribesEveryOptionOfTheHelp) {
  const std::set<std::string> described = DescribedOptions();
  ASSERT_FALSE(described.empty()) << "no options described";
  for (const std::string& option : OptionsOf(kCliUsage))
    EXPECT_TRUE(described.count(option)) << option << " is not described";
}

TEST(ManualPage, DescribesOnlyOptionsTheProgramAccepts) {
  for (const std::string& option : DescribedOptions()) {
    std::string error;
    // An option that takes a value is given one; a rejected option names itself.
    ParseCliOptions({option, "value", "source", "destination"}, error);
    EXPECT_EQ(error.find("unknown option"), std::string::npos) << option << ": " << error;
  }
}

TEST(ManualPage, ListsTheExitStatuses) {
  const std::string statuses = Section(ReadManualPageText(), "EXIT STATUS");
  for (int status : {kExitVerifiedOk, kExitErrors, kExitNoSourceFiles, kExitAborted, kExitUsage})
    EXPECT_NE(statuses.find(".B " + std::to_string(status) + "\n"), std::string::npos) << status;
}

TEST(ManualPage, NamesTheResultsAndVerdictsAsPrinted) {
  const std::string output = Section(ReadManualPageText(), "OUTPUT");
  ASSERT_FALSE(output.empty()) << "no OUTPUT section";
  const std::vector<std::string_view> texts = {
      kPrefixOk,          kPrefixDstMissing,      kPrefixSrcReadError,        kPrefixDstReadError,
      kPrefixDstIsSource, kPrefixSizeMismatch,    kPrefixContentMismatch,     kPrefixHiddenFolderSkipped,
      kPrefixSystemFolderSkipped, kPrefixSpecialFileSkipped, kPrefixFolderMissing, kPrefixLinkToFolderAboveSkipped, kPrefixChecksumMismatch, kPrefixBadChecksumLine, kStatusVerifiedOk, kStatusErrors,
      kStatusNoSourceFiles, kStatusAborted};
  for (std::string_view text : texts)
    EXPECT_NE(output.find(text), std::string::npos) << '"' << text << '"';
}

}  // namespace
}  // namespace ovik
