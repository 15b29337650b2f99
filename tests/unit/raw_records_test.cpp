#include "steam/raw_records.h"

#include <gtest/gtest.h>

namespace quennet {
namespace {

TEST(RawRecords, UntilNulStopsAtTheFirstZeroOrTheBufferEnd) {
  const char with_nul[8] = {'a', 'b', 0, 'c', 0, 0, 0, 0};
  EXPECT_EQ(until_nul(with_nul, sizeof with_nul), "ab");
  const char full[3] = {'x', 'y', 'z'};
  EXPECT_EQ(until_nul(full, sizeof full), "xyz");
  EXPECT_EQ(until_nul(nullptr, 10), "");
}

}  // namespace
}  // namespace quennet
