#include <windows.h>

#include <gtest/gtest.h>

#include "platform/output.h"
#include "platform/wide_text.h"
#include "protocol/emit.h"

namespace quennet {
namespace {

TEST(WideText, Utf16ArgumentsBecomeUtf8) {
  EXPECT_EQ(platform::utf8_from_utf16(L""), "");
  EXPECT_EQ(platform::utf8_from_utf16(L"5\u00e9"), "5\xC3\xA9");
  EXPECT_EQ(platform::utf8_from_utf16(L"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(WideText, AnUnpairedSurrogateIsNotAnArgument) {
  EXPECT_FALSE(platform::utf8_from_utf16(std::wstring(1, static_cast<wchar_t>(0xD800))).has_value());
  EXPECT_FALSE(platform::utf8_from_utf16(L"a" + std::wstring(1, static_cast<wchar_t>(0xDC00))).has_value());
}

TEST(WideText, TextWeOnlyShowOrHandOnReplacesWhatIsNotUnicode) {
  const std::wstring lone = L"a" + std::wstring(1, static_cast<wchar_t>(0xD800)) + L"b";
  EXPECT_EQ(platform::utf8_from_utf16_lossy(lone), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(platform::utf8_from_utf16_lossy(L""), "");
  EXPECT_EQ(platform::utf16_from_utf8("5\xC3\xA9\xF0\x9F\x98\x80"), L"5\u00e9\U0001F600");
  EXPECT_EQ(platform::utf16_from_utf8("a\xFF" "b"), L"a\uFFFDb");
  EXPECT_EQ(platform::utf16_from_utf8(""), L"");
}

TEST(Output, AMissingStandardOutputIsAFailedWriteNotACrash) {
  HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(platform::write_stdout("lost\n"));
  emit(Done{});
  SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
  EXPECT_FALSE(platform::write_stdout("lost\n"));
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
}

TEST(Output, AFileGetsLineFeedsUnchanged) {
  wchar_t folder[MAX_PATH];
  wchar_t path[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
  ASSERT_NE(GetTempFileNameW(folder, L"qnt", 0, path), 0u);
  HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, file);
  emit(Done{});
  SetStdHandle(STD_OUTPUT_HANDLE, saved);

  char bytes[64] = {};
  DWORD read = 0;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  ASSERT_TRUE(ReadFile(file, bytes, sizeof bytes, &read, nullptr));
  CloseHandle(file);
  EXPECT_EQ(std::string(bytes, read), "{\"type\":\"done\"}\n");
}

}  // namespace
}  // namespace quennet
