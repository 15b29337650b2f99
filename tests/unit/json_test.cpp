#include "protocol/json.h"

#include <gtest/gtest.h>

#include <string>

namespace quennet {
namespace {

std::string line_of(const Event& event) {
  std::string line;
  EXPECT_TRUE(serialise_event(event, line));
  return line;
}

TEST(Json, EveryRecordKindHasItsExactBytes) {
  EXPECT_EQ(line_of(Ready{76561198000000001u, "Ann"}),
            R"({"type":"ready","steamId":"76561198000000001","persona":"Ann"})");
  EXPECT_EQ(line_of(State{5, true, true, false, false, std::string("C:\\mods\\5"), 1000, 1700000000}),
            R"({"type":"state","workshopId":"5","subscribed":true,"installed":true,)"
            R"("needsUpdate":false,"downloading":false,"folder":"C:\\mods\\5","sizeOnDisk":1000,)"
            R"("timestamp":1700000000})");
  EXPECT_EQ(line_of(State{7, false, false, false, true, std::nullopt, 0, 0}),
            R"({"type":"state","workshopId":"7","subscribed":false,"installed":false,)"
            R"("needsUpdate":false,"downloading":true,"folder":null,"sizeOnDisk":0,"timestamp":0})");
  EXPECT_EQ(line_of(Progress{9, 0, 18446744073709551615u}),
            R"({"type":"progress","workshopId":"9","bytesDone":0,"bytesTotal":18446744073709551615})");
  EXPECT_EQ(line_of(Installed{18446744073709551615u, ""}),
            R"({"type":"installed","workshopId":"18446744073709551615","folder":""})");
  EXPECT_EQ(line_of(Done{}), R"({"type":"done"})");
  EXPECT_EQ(line_of(Error{ErrorCode::Unknown, "m", std::nullopt}),
            R"({"type":"error","code":"unknown","message":"m","workshopId":null})");
  EXPECT_EQ(line_of(item_error(ErrorCode::Timeout, "t", 12)),
            R"({"type":"error","code":"timeout","message":"t","workshopId":"12"})");
  EXPECT_EQ(line_of(Error{ErrorCode::SteamNotRunning, "", std::string("")}),
            R"({"type":"error","code":"steam_not_running","message":"","workshopId":""})");
  EXPECT_EQ(line_of(Error{ErrorCode::ItemInvalid, "x", std::string("5a")}),
            R"({"type":"error","code":"item_invalid","message":"x","workshopId":"5a"})");
}

TEST(Json, EscapesEveryControlByteAndOnlyTheJsonSpecials) {
  std::string all;
  for (int byte = 0; byte < 0x80; ++byte) all.push_back(static_cast<char>(byte));
  all += "\xC3\xA9\xEF\xBF\xBD";  // non-ASCII passes as raw UTF-8

  std::string expected =
      R"(\u0000\u0001\u0002\u0003\u0004\u0005\u0006\u0007\b\t\n\u000b\f\r\u000e\u000f)"
      R"(\u0010\u0011\u0012\u0013\u0014\u0015\u0016\u0017\u0018\u0019\u001a\u001b\u001c\u001d\u001e\u001f)";
  expected += R"( !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`)";
  expected += "abcdefghijklmnopqrstuvwxyz{|}~\x7F\xC3\xA9\xEF\xBF\xBD";

  EXPECT_EQ(line_of(Ready{0, all}), R"({"type":"ready","steamId":"0","persona":")" + expected + "\"}");
  EXPECT_EQ(line_of(Ready{1, "\x1F"}), R"({"type":"ready","steamId":"1","persona":"\u001f"})");
}

TEST(Json, RefusesEveryStringThatIsNotUtf8) {
  const std::string bad = "a\xFF";
  std::string line;
  EXPECT_FALSE(serialise_event(Ready{1, bad}, line));
  EXPECT_FALSE(serialise_event(State{1, false, false, false, false, bad, 0, 0}, line));
  EXPECT_FALSE(serialise_event(Installed{1, bad}, line));
  EXPECT_FALSE(serialise_event(Error{ErrorCode::Unknown, bad, std::nullopt}, line));
  EXPECT_FALSE(serialise_event(Error{ErrorCode::Unknown, "", bad}, line));
}

TEST(Json, NoRecordEverHoldsALineBreak) {
  std::string line;
  ASSERT_TRUE(serialise_event(Error{ErrorCode::Unknown, "a\r\nb", std::string("\n")}, line));
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_EQ(line.find('\r'), std::string::npos);
}

}  // namespace
}  // namespace quennet
