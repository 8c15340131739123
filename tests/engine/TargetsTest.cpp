#include <gtest/gtest.h>

#include "engine/Targets.h"

namespace wavorax {
namespace {

TEST(Targets, Extensions) {
  EXPECT_EQ(ExtensionOfTarget(kTargetM4b), ".m4b");
  EXPECT_EQ(ExtensionOfTarget(kTargetAac), ".aac");
  EXPECT_EQ(ExtensionOfTarget(1001), "");
}

}  // namespace
}  // namespace wavorax
