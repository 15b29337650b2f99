#include "main/command_line.h"

#include <gtest/gtest.h>

#include "support/arguments.h"

namespace quennet {
namespace {

// The program sees its arguments as the OS hands them over: NUL-terminated.
Result<Command, Error> parse(const std::vector<std::string>& args) {
  return parse_command_line(test::argv_of(args));
}

Command accepted(std::vector<std::string> args) {
  auto parsed = parse(args);
  EXPECT_TRUE(parsed.ok()) << (parsed.ok() ? "" : parsed.error().message);
  return parsed.ok() ? parsed.value() : Command{};
}

Error rejected(std::vector<std::string> args) {
  auto parsed = parse(args);
  EXPECT_FALSE(parsed.ok());
  return parsed.ok() ? Error{} : parsed.error();
}

TEST(CommandLine, AcceptsIdsInOrderCollapsingOnlyAdjacentRepeats) {
  const Command status = accepted({"status", "7", "7", "8", "7"});
  EXPECT_EQ(status.word, CommandWord::Status);
  EXPECT_EQ(status.ids, (std::vector<WorkshopId>{7, 8, 7}));

  EXPECT_EQ(accepted({"unsubscribe", "5", "5", "6"}).ids, (std::vector<WorkshopId>{5, 6}));
  EXPECT_EQ(accepted({"status", "007", "000000000000000000000000000007"}).ids,
            (std::vector<WorkshopId>{7}));
  EXPECT_EQ(accepted({"status", "18446744073709551615"}).ids,
            (std::vector<WorkshopId>{18446744073709551615u}));

  const Command whoami = accepted({"whoami"});
  EXPECT_EQ(whoami.word, CommandWord::Whoami);
  EXPECT_TRUE(whoami.ids.empty());
}

TEST(CommandLine, TimeoutIsTheLastOneGivenOrTheDefault) {
  const Command plain = accepted({"download", "5"});
  EXPECT_EQ(plain.word, CommandWord::Download);
  EXPECT_EQ(plain.timeout_secs, 1800u);

  const Command mixed = accepted({"download", "--timeout-secs", "10", "5", "--timeout-secs=20", "6"});
  EXPECT_EQ(mixed.ids, (std::vector<WorkshopId>{5, 6}));
  EXPECT_EQ(mixed.timeout_secs, 20u);

  EXPECT_EQ(accepted({"download", "5", "--timeout-secs", "+30"}).timeout_secs, 30u);
  EXPECT_EQ(accepted({"download", "5", "--timeout-secs=0030"}).timeout_secs, 30u);
  EXPECT_EQ(accepted({"download", "5", "--timeout-secs", "18446744073709551615"}).timeout_secs,
            18446744073709551615u);
}

TEST(CommandLine, RejectsMalformedTimeouts) {
  const std::string expected = std::string("--timeout-secs needs a positive integer; ") + USAGE;
  for (const std::string value : {"", "0", "+0", "-5", "++5", " 5", "5 ", "5s", "18446744073709551616",
                                  "--timeout-secs", "0x10"}) {
    const Error error = rejected({"download", "5", "--timeout-secs", value});
    EXPECT_EQ(error.message, expected) << value;
    EXPECT_EQ(error.code, ErrorCode::Unknown);
    EXPECT_FALSE(error.workshopId.has_value());
  }
  EXPECT_EQ(rejected({"download", "5", "--timeout-secs"}).message, expected);
  EXPECT_EQ(rejected({"download", "5", "--timeout-secs="}).message, expected);
}

TEST(CommandLine, UsageErrorsNameTheFirstProblem) {
  struct Row {
    std::vector<std::string> args;
    std::string reason;
  };
  const Row rows[] = {
      {{}, "missing command"},
      {{"status", "--"}, "unknown option --"},
      {{"status", "--5"}, "unknown option --5"},
      // The timeout belongs to download alone.
      {{"status", "--timeout-secs", "10"}, "unknown option --timeout-secs"},
      {{"status", "5", "--timeout-secs", "10"}, "unknown option --timeout-secs"},
      {{"unsubscribe", "5", "--timeout-secs=10"}, "unknown option --timeout-secs=10"},
      {{"download", "5", "--timeout-secsx"}, "unknown option --timeout-secsx"},
      {{"status"}, "status needs at least one workshopId"},
      {{"unsubscribe"}, "unsubscribe needs at least one workshopId"},
      {{"download", "--timeout-secs", "10"}, "download needs at least one workshopId"},
      {{"whoami", "5"}, "whoami takes no arguments"},
      {{"whoami", "5", "5"}, "whoami takes no arguments"},
      // Every argument is scanned before the command word is looked at.
      {{"whoami", "--x"}, "unknown option --x"},
      {{"foo", "--bar"}, "unknown option --bar"},
      {{"Status", "5"}, "unknown command Status"},
      {{"foo", "5"}, "unknown command foo"},
      {{"foo"}, "unknown command foo"},
  };
  for (const Row& row : rows) {
    const Error error = rejected(row.args);
    EXPECT_EQ(error.message, row.reason + "; " + USAGE);
    EXPECT_EQ(error.code, ErrorCode::Unknown) << row.reason;
    EXPECT_FALSE(error.workshopId.has_value()) << row.reason;
  }
}

TEST(CommandLine, RejectsIdsThatAreNotPositive64BitNumbers) {
  for (const std::string arg : {"0", "00", "+5", "-5", "-", "5a", " 5", "", "18446744073709551616",
                                "99999999999999999999", "\xC3\xA9"}) {
    const Error error = rejected({"status", arg});
    EXPECT_EQ(error.code, ErrorCode::ItemInvalid) << arg;
    EXPECT_EQ(error.message, "invalid workshop id " + arg + ": expected a positive integer");
    EXPECT_EQ(error.workshopId, arg);
  }
}

// Parsing stops at the first argument that is no id, whatever follows it and whatever the command.
TEST(CommandLine, TheFirstInvalidIdIsTheOneReported) {
  struct Row {
    std::vector<std::string> args;
    std::string invalid;
  };
  const Row rows[] = {
      {{"status", "5", "-5"}, "-5"},
      {{"status", "5", "abc", "0"}, "abc"},
      {{"whoami", "abc"}, "abc"},
  };
  for (const Row& row : rows) {
    const Error error = rejected(row.args);
    EXPECT_EQ(error.code, ErrorCode::ItemInvalid) << row.invalid;
    EXPECT_EQ(error.message, "invalid workshop id " + row.invalid + ": expected a positive integer");
    EXPECT_EQ(error.workshopId, row.invalid);
  }
}

}  // namespace
}  // namespace quennet
