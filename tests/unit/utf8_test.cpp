#include "protocol/utf8.h"

#include <gtest/gtest.h>

namespace quennet {
namespace {

const std::string R = "\xEF\xBF\xBD";  // U+FFFD

TEST(Utf8, WellFormedTextPassesUnchanged) {
  for (const std::string text : {"", "plain", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
                                 "\xF4\x8F\xBF\xBF", "\xED\x9F\xBF", "\xEE\x80\x80", "\x7F"}) {
    EXPECT_TRUE(is_valid_utf8(text)) << text;
    EXPECT_EQ(decode_utf8_lossy(text), text);
  }
}

TEST(Utf8, EachMaximalIllFormedSubsequenceBecomesOneReplacement) {
  struct Case {
    std::string bytes;
    std::string decoded;
  };
  const Case cases[] = {
      {"A\xFF" "B", "A" + R + "B"},
      {"\xC3", R},                              // truncated two-byte sequence
      {"\xE2\x82", R},                          // truncated three-byte sequence: one replacement
      {"\xF0\x9F\x98", R},                      // truncated four-byte sequence
      {"\xE2\x82" "A", R + "A"},
      {"\xC0\xAF", R + R},                      // overlong slash
      {"\xC1\xBF", R + R},
      {"\xE0\x80\xAF", R + R + R},              // overlong: E0 wants A0 to BF next
      {"\xF0\x80\x80\xAF", R + R + R + R},      // overlong: F0 wants 90 to BF next
      {"\xED\xA0\x80", R + R + R},              // encoded surrogate U+D800
      {"\xED\xBF\xBF", R + R + R},              // encoded surrogate U+DFFF
      {"\xF4\x90\x80\x80", R + R + R + R},      // above U+10FFFF
      {"\xF5\x80", R + R},
      {"\xF8", R},
      {"\xFE\xFF", R + R},
      {"\x80\xBF", R + R},                      // lone continuation bytes
      {"\xE2\x28\xA1", R + "(" + R},
      {"\xF0\x9F\x98\xC3\xA9", R + "\xC3\xA9"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(is_valid_utf8(c.bytes)) << testing::PrintToString(c.bytes);
    EXPECT_EQ(decode_utf8_lossy(c.bytes), c.decoded) << testing::PrintToString(c.bytes);
    EXPECT_TRUE(is_valid_utf8(decode_utf8_lossy(c.bytes)));
  }
  for (int byte = 0xF5; byte <= 0xFF; ++byte) {
    EXPECT_EQ(decode_utf8_lossy(std::string(1, static_cast<char>(byte))), R) << byte;
  }
}

}  // namespace
}  // namespace quennet
