#include "steam/result_codes.h"

#include <array>
#include <string_view>

#include "platform/fatal.h"

namespace quennet {

namespace {

// The codes that the protocol classifies; every other failed code is ErrorCode::Unknown.
enum ClassifiedResult : std::int32_t {
  RESULT_NO_CONNECTION = 3,
  RESULT_INVALID_PARAM = 8,
  RESULT_FILE_NOT_FOUND = 9,
  RESULT_TIMEOUT = 16,
  RESULT_SERVICE_UNAVAILABLE = 20,
  RESULT_NOT_LOGGED_ON = 21,
  RESULT_ACCESS_REVOKED = 26,
};

struct Entry {
  std::int32_t code;
  std::string_view message;
};

// Steam's own texts, spelling included: hosts match on them.
constexpr Entry TABLE[] = {
    {2, "a generic failure from the steamworks API"},
    {3, "there isn't a network connection to steam or it failed to connect"},
    {5, "password or ticket is invalid"},
    {6, "user logged in elsewhere"},
    {7, "the protocol version is incorrect"},
    {8, "a parameter is invalid"},
    {9, "a file was not found"},
    {10, "method busy"},
    {11, "object in invalid state"},
    {12, "name is invalid"},
    {13, "email is invalid"},
    {14, "name is not unique"},
    {15, "access denied"},
    {16, "operation timed out"},
    {17, "VAC2 banned"},
    {18, "account not found"},
    {19, "steamID is invalid"},
    {20, "requested service is unavailable"},
    {21, "user not logged on"},
    {22, "request is pending"},
    {23, "encryption/decryption failed"},
    {24, "insufficient privilege"},
    {25, "limit exceeded"},
    {26, "access revoked"},
    {27, "access expired"},
    {28, "licence/guest pass already redeemed"},
    {29, "request is a duplicate"},
    {30, "all games requested already owned"},
    {31, "ip address not found"},
    {32, "failed to write change"},
    {33, "failed to acquire access lock"},
    {34, "logon session replaced"},
    {35, "connect failed"},
    {36, "handshake failed"},
    {37, "IO failure"},
    {38, "remote disconnect"},
    {39, "failed to find the requested shopping cart"},
    {40, "action blocked"},
    {41, "target is ignoring sender"},
    {42, "no matches found"},
    {43, "account disabled"},
    {44, "service is read only"},
    {45, "account not featured"},
    {46, "administrator ok"},
    {47, "version mismatch with transmitted content"},
    {48, "CM cannot service user"},
    {49, "user already logged in, cached login failed"},
    {50, "user already logged in, please wait"},
    {51, "operation suspended/paused"},
    {52, "operation cancelled"},
    {53, "operation cancelled due to data corruption"},
    {54, "operation cancelled due to the disk being full"},
    {55, "remote/IPC call failed"},
    {56, "cannot verify unset password"},
    {57, "external account not linked to steam"},
    {58, "PSN ticket invalid"},
    {59, "external account already linked"},
    {60, "sync conflict between remote and local files"},
    {61, "new password is illegal"},
    {62, "new value is the same as old value"},
    {63, "2nd factor authentication failed"},
    {64, "cannot use old password"},
    {65, "invalid login auth code"},
    {66, "no email for 2nd factor authentication"},
    {67, "hardware not capable of IPT"},
    {68, "IPT init error"},
    {69, "restricted due to parental controls"},
    {70, "facebook query failed"},
    {71, "login denied due to exipred auth code"},
    {72, "IP login restriction failed"},
    {73, "account locked down"},
    {74, "account logon denied verified email required"},
    {75, "no matching URL"},
    {76, "bad response"},
    {77, "password re-entry required"},
    {78, "value is out of range"},
    {79, "unexpected error"},
    {80, "service disabled"},
    {81, "submitted files to CEG are invalid"},
    {82, "device is restricted from action"},
    {83, "region restrictions prevented action"},
    {84, "temporary rate limit exceeded"},
    {85, "two-factor authetication required for login"},
    {86, "item deleted"},
    {87, "account login denied, throttled"},
    {88, "two-factor code mismatched"},
    {89, "two-factor activation code mismatched"},
    {90, "account associated to multiple partners"},
    {91, "data not modified"},
    {92, "no mobile device associated with account"},
    {93, "time not synced correctly"},
    {94, "sms code validation failed"},
    {95, "account limit exceeded for resource"},
    {96, "account activity limit exceeded"},
    {97, "phone activity limited exceeded"},
    {98, "must refund to wallet instead of payment method"},
    {99, "email sending failed"},
    {100, "action cannot be performed until payment has settled"},
    {101, "valid captcha required"},
    {102, "game server login token has been banned"},
    {103, "game server owner denied"},
    {104, "invalid item type"},
    {105, "IP banned from action"},
    {106, "game server login token expired"},
    {107, "insufficient wallet funds for action"},
    {108, "too many actions pending"},
    {109, "no site licenses found"},
    {110, "WG network send size exceeded"},
    {111, "the user is not mutually friends"},
    {112, "the user is limited"},
    {113, "item can't be removed"},
    {114, "account has been deleted"},
    {115, "A license for this already exists, but cancelled"},
    {116, "access is denied because of a community cooldown (probably from support profile data resets)"},
    {117, "No launcher was specified, but a launcher was needed to choose correct realm for operation."},
    {118, "User must agree to china SSA or global SSA before login"},
    {119, "The specified launcher type is no longer supported; the user should be directed elsewhere"},
    {120, "The user's realm does not match the realm of the requested resource"},
    {121, "signature check did not match"},
    {122, "Failed to parse input"},
    {123, "account does not have a verified phone number"},
    {124, "user device doesn't have enough battery charge currently to complete the action"},
    {125, "The operation requires a charger to be plugged in, which wasn't present"},
    {126, "Cached credential was invalid - user must reauthenticate"},
    {128, "The data being accessed is not supported by this API"},
    {129, "Reached the maximum size of the family"},
    {130, "The local data for the offline mode cache is insufficient to login"},
    {131, "retry the operation later"},
};

constexpr std::int32_t LAST_CODE = 131;

constexpr auto MESSAGES = [] {
  std::array<std::string_view, LAST_CODE + 1> messages{};
  for (const Entry& entry : TABLE) messages[static_cast<std::size_t>(entry.code)] = entry.message;
  return messages;
}();

std::string_view table_message(std::int32_t code) {
  if (code < 0 || code > LAST_CODE) return {};
  return MESSAGES[static_cast<std::size_t>(code)];
}

}  // namespace

SteamError SteamError::from_eresult(std::int32_t code) {
  if (code == STEAM_RESULT_OK) platform::fatal_error("EResult::k_EResultOK isn't an error");
  return SteamError(code);
}

std::string SteamError::message() const {
  const std::string_view text = table_message(code_);
  if (text.empty()) return "unknown result code " + std::to_string(code_);
  return std::string(text);
}

ErrorCode SteamError::error_code() const {
  switch (code_) {
    case RESULT_NO_CONNECTION:
    case RESULT_SERVICE_UNAVAILABLE:
    case RESULT_NOT_LOGGED_ON:
      return ErrorCode::SteamNotRunning;
    case RESULT_INVALID_PARAM:
    case RESULT_FILE_NOT_FOUND:
    case RESULT_ACCESS_REVOKED:
      return ErrorCode::ItemInvalid;
    case RESULT_TIMEOUT:
      return ErrorCode::Timeout;
    default:
      return ErrorCode::Unknown;
  }
}

SteamFailure steam_failure(const SteamError& error) {
  return SteamFailure{error.error_code(), "Steam returned: " + error.message()};
}

}  // namespace quennet
