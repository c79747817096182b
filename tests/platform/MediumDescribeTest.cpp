// The medium under folders on real media: loop images lead to the medium of
// their image file, memory is memory, FUSE and overlays have no device.

#include "platform/media/Medium.h"

#include "support/media/TestMedia.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace ovik {
namespace {

enum class Expect { ImageFilesMedium, Memory, Unknown };

struct MediumCase {
  testing::MediumKind kind;
  Expect expect;
};
void PrintTo(const MediumCase& c, std::ostream* out) { *out << testing::MediumName(c.kind); }

class MediumDescribe : public ::testing::TestWithParam<MediumCase> {};

TEST_P(MediumDescribe, TwoFoldersOfOneMediumAreDescribedAlike) {
  const auto [kind, expect] = GetParam();
  OVIK_REQUIRE_MEDIUM(kind);
  testing::TempTree content;
  content.WriteFile("a/x", "x");
  content.WriteFile("b/c/y", "y");
  testing::TestMedium medium(kind, content.root());
  ASSERT_EQ(medium.error(), "");

  const MediumInfo info = DescribeMedium(medium.root() + "/a");
  const MediumInfo other = DescribeMedium(medium.root() + "/b/c");
  EXPECT_EQ(other.id, info.id);
  EXPECT_EQ(other.kernelSays, info.kernelSays);
  EXPECT_EQ(other.description, info.description);

  switch (expect) {
    case Expect::ImageFilesMedium: {
      // The image file lies in the folder that holds the mount point.
      const MediumInfo image = DescribeMedium(std::filesystem::path(medium.root()).parent_path());
      EXPECT_EQ(info.id, image.id);
      EXPECT_EQ(info.kernelSays, image.kernelSays);
      EXPECT_EQ(info.readAheadKiB, image.readAheadKiB);
      const std::size_t step = info.description.find(" → file on ");
      ASSERT_NE(step, std::string::npos) << info.description;
      EXPECT_TRUE(std::regex_match(info.description.substr(0, step), std::regex("(btrfs on )?loop[0-9]+")))
          << info.description;
      EXPECT_EQ(info.description.substr(step + std::string(" → file on ").size()), image.description);
      break;
    }
    case Expect::Memory:
      EXPECT_EQ(info.id, "");
      EXPECT_EQ(info.kernelSays, MediumKind::Memory);
      EXPECT_EQ(info.description, "tmpfs: in memory");
      break;
    case Expect::Unknown:
      EXPECT_EQ(info.id, "");
      EXPECT_EQ(info.kernelSays, MediumKind::Unknown);
      EXPECT_TRUE(info.description.ends_with("): no block device")) << info.description;
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(Media, MediumDescribe,
                         ::testing::Values(MediumCase{testing::MediumKind::Ext4, Expect::ImageFilesMedium},
                                           MediumCase{testing::MediumKind::Btrfs, Expect::ImageFilesMedium},
                                           MediumCase{testing::MediumKind::Squashfs, Expect::ImageFilesMedium},
                                           MediumCase{testing::MediumKind::Tmpfs, Expect::Memory},
                                           MediumCase{testing::MediumKind::Overlay, Expect::Unknown},
                                           MediumCase{testing::MediumKind::Fuse, Expect::Unknown}),
                         [](const ::testing::TestParamInfo<MediumCase>& info) {
                           return std::string(testing::MediumName(info.param.kind));
                         });

TEST(MediumDescribe, AFolderThatIsNotThereIsUnknown) {
  const MediumInfo info = DescribeMedium("/nonexistent/ovik-medium-test");
  EXPECT_EQ(info.id, "");
  EXPECT_EQ(info.kernelSays, MediumKind::Unknown);
  EXPECT_EQ(info.description, "cannot look at it: No such file or directory");
}

}  // namespace
}  // namespace ovik
