#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/environment.h"

namespace quennet {
namespace {

TEST(Environment, SetsTheProcessEnvironment) {
  platform::set_environment_variable("QUENNET_TEST_VARIABLE", "221100");
  ASSERT_NE(std::getenv("QUENNET_TEST_VARIABLE"), nullptr);
  EXPECT_STREQ(std::getenv("QUENNET_TEST_VARIABLE"), "221100");
}

TEST(EnvironmentDeathTest, AVariableThatCannotBeSetIsAnInternalErrorNamingIt) {
  EXPECT_EXIT(platform::set_environment_variable("A=B", "221100"), testing::ExitedWithCode(1),
              "cannot set environment variable A=B to 221100: ");
}

}  // namespace
}  // namespace quennet
