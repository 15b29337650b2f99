#include "steam/result_codes.h"

#include <gtest/gtest.h>

namespace quennet {
namespace {

SteamFailure failure_of(std::int32_t code) { return steam_failure(SteamError::from_eresult(code)); }

TEST(ResultCodes, MessagesAndClassesOfTheCodesTheProgramDependsOn) {
  struct Row {
    std::int32_t code;
    ErrorCode class_;
    std::string message;
  };
  const Row rows[] = {
      {2, ErrorCode::Unknown, "a generic failure from the steamworks API"},
      {3, ErrorCode::SteamNotRunning, "there isn't a network connection to steam or it failed to connect"},
      {5, ErrorCode::Unknown, "password or ticket is invalid"},
      {8, ErrorCode::ItemInvalid, "a parameter is invalid"},
      {9, ErrorCode::ItemInvalid, "a file was not found"},
      {16, ErrorCode::Timeout, "operation timed out"},
      {20, ErrorCode::SteamNotRunning, "requested service is unavailable"},
      {21, ErrorCode::SteamNotRunning, "user not logged on"},
      {26, ErrorCode::ItemInvalid, "access revoked"},
      {37, ErrorCode::Unknown, "IO failure"},
      {71, ErrorCode::Unknown, "login denied due to exipred auth code"},
      {114, ErrorCode::Unknown, "account has been deleted"},
      {116, ErrorCode::Unknown,
       "access is denied because of a community cooldown (probably from support profile data resets)"},
      {117, ErrorCode::Unknown,
       "No launcher was specified, but a launcher was needed to choose correct realm for operation."},
      {126, ErrorCode::Unknown, "Cached credential was invalid - user must reauthenticate"},
      {128, ErrorCode::Unknown, "The data being accessed is not supported by this API"},
      {131, ErrorCode::Unknown, "retry the operation later"},
  };
  for (const Row& row : rows) {
    const SteamFailure failure = failure_of(row.code);
    EXPECT_EQ(failure.code, row.class_) << row.code;
    EXPECT_EQ(failure.message, "Steam returned: " + row.message) << row.code;
  }
}

TEST(ResultCodes, EveryCodeFromTwoTo131ButFourAnd127HasItsOwnMessage) {
  for (std::int32_t code = 2; code <= 131; ++code) {
    const std::string message = SteamError::from_eresult(code).message();
    const bool listed = code != 4 && code != 127;
    EXPECT_EQ(message.rfind("unknown result code", 0) != 0, listed) << code << ": " << message;
  }
}

TEST(ResultCodes, CodesWithoutAnEntryAreUnknownFailuresThatNameTheCode) {
  for (const std::int32_t code : {0, 4, 127, -1, 132, 500, INT32_MIN, INT32_MAX}) {
    const SteamFailure failure = failure_of(code);
    EXPECT_EQ(failure.code, ErrorCode::Unknown);
    EXPECT_EQ(failure.message, "Steam returned: unknown result code " + std::to_string(code));
  }
}

}  // namespace
}  // namespace quennet
