#include "support/media/SpinningMedium.h"

#include <fstream>
#include <sstream>

namespace ovik::testing {

namespace {

std::vector<std::string> SpinOptions(SpinModel model, double timeScale, const std::string& countsFile,
                                     const std::vector<std::string>& faults) {
  std::ostringstream scale;
  scale << timeScale;
  std::vector<std::string> options{model == SpinModel::Disc ? "--spin=disc" : "--spin=hdd",
                                   "--spin-time-scale=" + scale.str(), "--spin-counts=" + countsFile};
  options.insert(options.end(), faults.begin(), faults.end());
  return options;
}

}  // namespace

SpinningMedium::SpinningMedium(const std::string& content, SpinModel model, double timeScale,
                               const std::vector<std::string>& faults)
    : medium_(std::make_unique<TestMedium>(MediumKind::Fuse, content,
                                           SpinOptions(model, timeScale, work_.Path("head.counts"), faults))) {}

HeadCounts SpinningMedium::Counts() const {
  std::ifstream in(work_.Path("head.counts"));
  std::string label;
  HeadCounts counts;
  in >> label >> counts.reads >> label >> counts.bytes >> label >> counts.seeks;
  return counts;
}

HeadCounts CountHeadWork(const std::string& content, const std::function<void(const std::string& root)>& work,
                         SpinModel model, double timeScale, const std::vector<std::string>& faults) {
  SpinningMedium medium(content, model, timeScale, faults);
  EXPECT_EQ(medium.error(), "");
  if (!medium.error().empty()) return {};
  const HeadCounts before = medium.Counts();
  work(medium.root());
  const HeadCounts after = medium.Counts();
  return {after.reads - before.reads, after.bytes - before.bytes, after.seeks - before.seeks};
}

}  // namespace ovik::testing
