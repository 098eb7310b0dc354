// Client texts in both directions, reading their source only within its counted length.
#include "host/client_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "foundation/code_pages.h"
#include "tests/support/bound_runtime_services.h"

namespace {

TEST(ClientTextTest, WideToClientPage) {
  CBoundRuntimeServices services;
  qzrt::SetStringAllocatorNoSlack(true);
  CClientTextA text(1252, u"caf\u00e9 au lait", 4);
  EXPECT_EQ(std::string(text.pszGetNarrow()), "caf\xe9");
  EXPECT_EQ(text.nGetNarrowLength(), 4u);
  CClientTextA whole(65001, u"\u00e9", TEXT_ZERO_TERMINATED);
  EXPECT_EQ(std::string(whole.pszGetNarrow()), "\xc3\xa9");
  CClientTextA unconverted(CODE_PAGE_UTF16, u"abc", 3);
  EXPECT_EQ(std::string(unconverted.pszGetNarrow()), "");
  CClientTextA empty(1252, nullptr, 0xFFFFFFFFFFFFFFFFull);
  EXPECT_EQ(std::string(empty.pszGetNarrow()), "");
}

TEST(ClientTextTest, ClientPageToWideStaysInsideTheSource) {
  CBoundRuntimeServices services;
  qzrt::SetStringAllocatorNoSlack(true);
  CClientTextW none(1252);
  EXPECT_EQ(none.pszGetWide(), nullptr);

  // Sources in blocks of exactly their counted size: a read past them shows under the sanitizer.
  auto units = std::make_unique<char16_t[]>(3);
  units[0] = u'a';
  units[1] = u'b';
  units[2] = u'c';
  CClientTextW wide(CODE_PAGE_UTF16);
  wide.SetSource(units.get(), 6);
  EXPECT_EQ(std::u16string(wide.pszGetWide()), u"abc");
  wide.SetSource(units.get(), 4);
  EXPECT_EQ(std::u16string(wide.pszGetWide()), u"ab");

  auto bytes = std::make_unique<char[]>(4);
  std::memcpy(bytes.get(), "\x83\x41\x93\xfa", 4);
  CClientTextW narrow(932);
  narrow.SetSource(bytes.get(), 4);
  EXPECT_EQ(std::u16string(narrow.pszGetWide()), u"\u30a2\u65e5");
  EXPECT_EQ(std::u16string(narrow.pszGetWideOfNarrow()), u"\u30a2\u65e5");
  narrow.SetSource(bytes.get(), 0);
  EXPECT_EQ(std::u16string(narrow.pszGetWide()), u"");
}

TEST(ClientTextTest, WithoutARuntimeAllocator) {
  CBoundRuntimeServices services(false);
  CClientTextA text(1252, u"abc", 3);
  EXPECT_EQ(std::string(text.pszGetNarrow()), "");
  CClientTextW wide(CODE_PAGE_UTF16);
  wide.SetSource(u"abc", 6);
  EXPECT_EQ(std::u16string(wide.pszGetWide()), u"");
}

}  // namespace
