// The bash completion script of ovik-verify, loaded by bash with Debian's
// bash-completion as an interactive shell would load it.

#include "cli/CliOptions.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>

namespace ovik {
namespace {

using testing::TempTree;
using Words = std::vector<std::string>;

constexpr const char* kBashCompletion = "/usr/share/bash-completion/bash_completion";

// Completes the last word of the line (empty after a trailing space) with
// the word splitting of a plain command line, in `folder`.
constexpr const char* kCompleteScript = R"(
source "$1" && source "$2" || exit 1
COMP_LINE=$3
COMP_POINT=${#COMP_LINE}
read -ra COMP_WORDS <<<"$COMP_LINE"
[[ $COMP_LINE == *' ' ]] && COMP_WORDS+=('')
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
function=$(complete -p ovik-verify | sed -n 's/.* -F \([^ ]*\) .*/\1/p')
"$function" ovik-verify "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
printf '%s\n' "${COMPREPLY[@]}"
)";

Words Complete(const TempTree& tree, const std::string& line) {
  tree.WriteFile("complete.sh", kCompleteScript);
  const std::string command = "cd '" + tree.Path("folders") + "' && bash --norc --noprofile '" +
                              tree.Path("complete.sh") + "' " + kBashCompletion + " '" OVIK_SOURCE_DIR
                              "/packaging/ovik-verify.bash-completion' '" + line + "' 2>&1";
  Words words;
  if (std::FILE* output = popen(command.c_str(), "r")) {
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, output)) {
      std::string word(buffer);
      if (!word.empty() && word.back() == '\n') word.pop_back();
      if (!word.empty()) words.push_back(word);
    }
    pclose(output);
  }
  std::sort(words.begin(), words.end());
  return words;
}

class ShellCompletion : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access(kBashCompletion, R_OK) != 0)
      GTEST_SKIP() << kBashCompletion << " is missing (apt-get install bash-completion)";
    tree_.MakeFolder("folders/photos");
    tree_.MakeFolder("folders/-dashed");
    tree_.WriteFile("folders/photos.txt", "");
  }

  TempTree tree_;
};

TEST_F(ShellCompletion, CompletesOptionsFoldersAndReportFiles) {
  const struct {
    std::string line;
    Words candidates;
  } cases[] = {
      {"ovik-verify --e", {"--errors-only", "--explain"}},
      {"ovik-verify -q --pro", {"--progress"}},
      {"ovik-verify ph", {"photos"}},
      {"ovik-verify photos ph", {"photos"}},
      {"ovik-verify photos photos ", {}},
      {"ovik-verify --report ph", {"photos", "photos.txt"}},
      {"ovik-verify --csv out ph", {"photos"}},
      {"ovik-verify -- -", {"-dashed"}},
      {"ovik-verify --help ", {}},
      {"ovik-verify -c ph", {"photos", "photos.txt"}},
      {"ovik-verify --write-sums ph", {"photos", "photos.txt"}},
      {"ovik-verify --check photos.txt ph", {"photos"}},
      {"ovik-verify -c photos.txt photos ", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Complete(tree_, c.line), c.candidates) << c.line;
}

TEST_F(ShellCompletion, OffersEveryLongOptionOfTheHelp) {
  std::set<std::string> helpOptions{"--"};
  const std::string usage = kCliUsage;
  const std::regex option(R"(--[a-z][a-z-]*)");
  for (auto it = std::sregex_iterator(usage.begin(), usage.end(), option); it != std::sregex_iterator(); ++it)
    helpOptions.insert(it->str());
  const Words offered = Complete(tree_, "ovik-verify --");
  EXPECT_EQ(std::set<std::string>(offered.begin(), offered.end()), helpOptions);
}

}  // namespace
}  // namespace ovik
