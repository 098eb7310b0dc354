#include "platform/message_format.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/last_error.h"

namespace {

// Formats through a real variable argument list, as the message loader does.
std::u16string Format(const char16_t* pattern, ...) {
  va_list arguments;
  va_start(arguments, pattern);
  char16_t* out = nullptr;
  const std::uint32_t n = platform::FormatMessageFromPattern(pattern, &arguments, &out);
  va_end(arguments);
  std::u16string text = out ? std::u16string(out) : std::u16string(u"<null>");
  EXPECT_EQ(n, out ? text.size() : 0u);
  platform::FreeMessageText(out);
  return text;
}

TEST(MessageFormat, InsertsTakeTheirArgumentsInNumberOrderWithTheirOwnTypes) {
  EXPECT_EQ(Format(u"File <%1> not found", u"a.txt"), u"File <a.txt> not found");
  // %2 appears first in the text but is still the second argument; the 64-bit insert reads a whole 64-bit value.
  EXPECT_EQ(Format(u"%2!u! rows in %1 (%3!I64d!)", u"T", 7u, std::int64_t{-5000000000}),
            u"7 rows in T (-5000000000)");
  EXPECT_EQ(Format(u"%1!S!/%2!04X!/%1!S!", "narrow", 0xBEu), u"narrow/00BE/narrow");
  EXPECT_EQ(Format(u"[%1!-5s!][%2!5s!][%3!.2s!]", u"ab", u"cd", u"efgh"), u"[ab   ][   cd][ef]");
  EXPECT_EQ(Format(u"null %1", static_cast<const char16_t*>(nullptr)), u"null (null)");
  // A later use of an insert naming another kind shows the argument as its first use read it: a number is never
  // taken for the address of a text.
  EXPECT_EQ(Format(u"%1!u!/%1!s!/%1!S!/%1", 42u), u"42/42/42/42");
  EXPECT_EQ(Format(u"%1/%1!d!", u"abc"), u"abc/abc");
}

TEST(MessageFormat, WidthsAndPrecisionsAreCutToTheOutputBuffer) {
  // Ten digits overflow a 32-bit number while read; 2147483647 would build a 4 GB text.
  const std::u16string wide = Format(u"%1!2147483647s!", u"x");
  ASSERT_EQ(wide.size(), 32767u);
  EXPECT_EQ(wide.substr(32765), u" x");
  EXPECT_EQ(Format(u"%1!99999999999d!", 7).back(), u'7');
  // The whole message has the same bound: two inserts that fill it each, or one and a character, fail whole.
  EXPECT_EQ(Format(u"%1!2147483647s!|%2!99999999999d!", u"x", 7), u"<null>");
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInsufficientBuffer);
  EXPECT_EQ(Format(u"%1!32767s!.", u"x"), u"<null>");
  EXPECT_EQ(Format(u"%1!.4294967297s!", u"abc"), u"abc") << "a precision that wraps to 1 would cut the text";
  const std::u16string zeros = Format(u"%1!.40000u!", 5u);
  ASSERT_EQ(zeros.size(), 32767u);
  EXPECT_EQ(zeros.substr(32765), u"05");
  // Numbers wider than a small fixed buffer are padded whole.
  EXPECT_EQ(Format(u"%1!300d!", -12), std::u16string(297, u' ') + u"-12");
}

TEST(MessageFormat, NarrowInsertsAreInTheAnsiPage) {
  EXPECT_EQ(Format(u"%1!S!", "caf\xe9 \x80"), u"caf\u00e9 \u20ac");
  EXPECT_EQ(Format(u"%1!hs!", "\xe9"), u"\u00e9");
}

TEST(MessageFormat, EscapesAndEnd) {
  EXPECT_EQ(Format(u"a%nb%tc%rd%%e%.f%!g% h"), u"a\r\nb\tc\rd%e.f!g h");
  EXPECT_EQ(Format(u"kept%0dropped"), u"kept");
  EXPECT_EQ(Format(u"line1\r\nline2"), u"line1\r\nline2");
}

TEST(MessageFormat, MalformedOrEmptyPatternsFail) {
  char16_t* out = reinterpret_cast<char16_t*>(1);
  EXPECT_EQ(platform::FormatMessageFromPattern(u"%1!", nullptr, &out), 0u);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorInvalidParameter);
  EXPECT_EQ(platform::FormatMessageFromPattern(u"%1!f!", nullptr, &out), 0u);
  EXPECT_EQ(Format(u""), u"<null>");
  EXPECT_EQ(Format(u"%0"), u"<null>");
}

TEST(MessageFormat, SystemTexts) {
  char16_t* out = nullptr;
  const std::uint32_t n = platform::FormatSystemMessage(32, &out);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(std::u16string(out), u"The process cannot access the file because it is being used by another process.\r\n");
  EXPECT_EQ(n, std::u16string(out).size());
  platform::FreeMessageText(out);
  EXPECT_EQ(platform::FormatSystemMessage(0x7FFF1234, &out), 0u);
  EXPECT_EQ(out, nullptr);
}

}  // namespace
