#include "steam/library.h"

#include <gtest/gtest.h>

#include "platform/shared_library.h"

namespace quennet {
namespace {

TEST(Library, TheSteamLibraryBesideTheExecutableLoadsWithEveryFunction) {
  // The tests run from the folder where the build puts the simulated Steam library.
  auto api = load_steam_api();
  ASSERT_TRUE(api.ok()) << api.error();
#define QUENNET_EXPECT_RESOLVED(name) EXPECT_NE(api.value().name, nullptr) << #name;
  QUENNET_STEAM_FUNCTIONS(QUENNET_EXPECT_RESOLVED)
#undef QUENNET_EXPECT_RESOLVED
}

TEST(Library, AMissingLibraryIsAnErrorNamingIt) {
  auto library = platform::load_shared_library("no_such_library_here.dll");
  ASSERT_FALSE(library.ok());
  EXPECT_EQ(library.error().rfind("no_such_library_here.dll could not be loaded: ", 0), 0u) << library.error();
  EXPECT_GT(library.error().size(), std::string("no_such_library_here.dll could not be loaded: ").size());
}

}  // namespace
}  // namespace quennet
