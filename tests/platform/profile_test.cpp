// Profile files read with Windows' rules, the Windows directory a bare file name is looked for in, and the process id.
// The Windows directory is set per test process through QZ_WINDOWS_DIR.
#include "platform/profile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/last_error.h"
#include "tests/support/file_fixture.h"

namespace {

constexpr char kProfile[] =
    "; a comment line\n"
    "Orphan=before any section\n"
    "[Options]\r\n"
    "  NoWait  =  oui  \r\n"
    "Quoted=\"  two blanks  \"\n"
    "Half=\"open\n"
    "Count=42abc\n"
    "Negative=-7\n"
    "Empty=\n"
    "Letters=x12\n"
    "Bare line\n"
    "nowait=second\n"
    "[ ora:prod ]\n"
    "Conn=PRODSERVER\n";

class Profile : public FileFixture {
 protected:
  void SetUp() override {
    FileFixture::SetUp();
    Put("test.ini", kProfile);
    m_file = WidePath("test.ini");
  }

  std::u16string Read(const char16_t* section, const char16_t* key, const char16_t* fallback = u"dflt",
                      std::uint32_t size = 64) {
    char16_t buffer[64];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    m_answer = platform::ReadProfileString(section, key, fallback, buffer, size, m_file.c_str());
    return std::u16string(buffer, buffer + m_answer);
  }
  // The list answered for a null section or key, with each NUL shown as '|', closing NULs included.
  std::u16string List(const char16_t* section, std::uint32_t size) {
    std::fill(std::begin(m_list), std::end(m_list), u'#');
    m_answer = platform::ReadProfileString(section, nullptr, u"dflt", m_list, size, m_file.c_str());
    std::u16string shown(m_list, m_list + m_answer + 1);
    for (char16_t& c : shown) {
      if (c == 0) c = u'|';
    }
    EXPECT_EQ(m_list[m_answer], 0);
    return shown;
  }

  std::u16string m_file;
  std::uint32_t m_answer = 0;
  char16_t m_list[128];
};

TEST_F(Profile, ValuesAreFoundWithoutCaseAndTrimmed) {
  struct Case {
    const char16_t* section;
    const char16_t* key;
    const char16_t* expected;
  } cases[] = {
      {u"OPTIONS", u"NOWAIT", u"oui"},             // case-blind, blanks around key and value dropped
      {u"options", u" nowait ", u"oui"},           // the first of two equal keys wins
      {u"Options", u"Quoted", u"  two blanks  "},  // matching quotes go, what they enclose stays
      {u"Options", u"Half", u"\"open"},            // a lone quote stays
      {u"Options", u"Empty", u""},                 // present but empty: no default
      {u"ORA:PROD", u"conn", u"PRODSERVER"},       // blanks inside the brackets dropped
      {u"Options", u"Orphan", u"dflt"},            // lines before any section belong to none
      {u"Options", u"Bare line", u"dflt"},         // a line without "=" has no value
      {u"Missing", u"NoWait", u"dflt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Read(c.section, c.key), c.expected) << std::string(c.key, c.key + 3);
  }
}

TEST_F(Profile, DefaultsAndAnswersAreCutAtSizeMinusOne) {
  EXPECT_EQ(Read(u"Options", u"NoWait", u"dflt", 3), u"ou");
  EXPECT_EQ(m_answer, 2u);
  EXPECT_EQ(Read(u"Options", u"Absent", u"default  ", 64),
            u"default");  // trailing blanks of the default go
  EXPECT_EQ(Read(u"Options", u"Absent", u"default", 4), u"def");
  EXPECT_EQ(Read(u"Options", u"Absent", nullptr), u"");
  char16_t one[1] = {u'#'};
  EXPECT_EQ(platform::ReadProfileString(u"Options", u"NoWait", u"d", one, 1, m_file.c_str()), 0u);
  EXPECT_EQ(one[0], 0);
}

TEST_F(Profile, NullKeyAndNullSectionListNames) {
  EXPECT_EQ(List(u"ORA:PROD", 128), u"Conn||");
  EXPECT_EQ(List(u"options", 128), u"NoWait|Quoted|Half|Count|Negative|Empty|Letters|Bare line|nowait||");
  EXPECT_EQ(List(nullptr, 128), u"Options|ora:prod||");
  // Cut short, a list keeps two closing NULs and answers size - 2.
  EXPECT_EQ(List(u"options", 10), u"NoWait|Q|");
  EXPECT_EQ(m_answer, 8u);
  EXPECT_EQ(m_list[9], 0);
  // A section that is not there (or has no key) gives the default.
  EXPECT_EQ(List(u"Missing", 128), u"dflt|");
}

TEST_F(Profile, IntegersReadTheLeadingNumber) {
  const std::u16string& file = m_file;
  EXPECT_EQ(platform::ReadProfileInt(u"Options", u"Count", 5, file.c_str()), 42u);
  EXPECT_EQ(platform::ReadProfileInt(u"Options", u"Negative", 5, file.c_str()), static_cast<std::uint32_t>(-7));
  EXPECT_EQ(platform::ReadProfileInt(u"Options", u"Letters", 5, file.c_str()), 0u);
  EXPECT_EQ(platform::ReadProfileInt(u"Options", u"Empty", 5, file.c_str()), 5u);
  EXPECT_EQ(platform::ReadProfileInt(u"Options", u"Absent", 1000, file.c_str()), 1000u);
  EXPECT_EQ(platform::ReadProfileInt(u"Options", nullptr, 9, file.c_str()), 9u);
}

TEST_F(Profile, UnicodeFilesAndMissingFiles) {
  // UTF-16 with its byte-order mark, and UTF-8 with one.
  const std::string utf16("\xFF\xFE[\0s\0]\0\n\0k\0=\0\xE9\0\n\0", 18);
  Put("wide.ini", utf16);
  Put("bom.ini", "\xEF\xBB\xBF[s]\nk=\xC3\xA9t\xC3\xA9\n");
  char16_t buffer[16];
  EXPECT_EQ(platform::ReadProfileString(u"S", u"K", u"", buffer, 16, WidePath("wide.ini").c_str()), 1u);
  EXPECT_EQ(std::u16string(buffer), u"\u00E9");
  EXPECT_EQ(platform::ReadProfileString(u"S", u"K", u"", buffer, 16, WidePath("bom.ini").c_str()), 3u);
  EXPECT_EQ(std::u16string(buffer), u"\u00E9t\u00E9");

  platform::SetLastErrorCode(0);
  EXPECT_EQ(platform::ReadProfileString(u"s", u"k", u"none", buffer, 16, WidePath("absent.ini").c_str()), 4u);
  EXPECT_EQ(std::u16string(buffer), u"none");
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorFileNotFound);
  EXPECT_EQ(platform::ReadProfileInt(u"s", u"k", 3, WidePath("absent.ini").c_str()), 3u);
}

TEST_F(Profile, ABareNameIsLookedForInTheWindowsDirectory) {
  ASSERT_EQ(::setenv("QZ_WINDOWS_DIR", m_directory.c_str(), 1), 0);
  char16_t buffer[512];
  const std::uint32_t length = platform::WindowsDirectory(buffer, 512);
  EXPECT_EQ(std::u16string(buffer, length), std::u16string(m_directory.begin(), m_directory.end()));
  // Too small: the size needed with its terminator, the buffer left alone.
  buffer[0] = u'#';
  EXPECT_EQ(platform::WindowsDirectory(buffer, length), length + 1);
  EXPECT_EQ(buffer[0], u'#');

  EXPECT_EQ(platform::ReadProfileString(u"ora:prod", u"CONN", u"", buffer, 512, u"test.ini"), 10u);
  EXPECT_EQ(std::u16string(buffer), u"PRODSERVER");
  // A name with a directory is not looked for there.
  EXPECT_EQ(platform::ReadProfileString(u"ora:prod", u"CONN", u"", buffer, 512, u".\\test.ini"), 0u);
  ::unsetenv("QZ_WINDOWS_DIR");
}

TEST(ProcessId, IsTheProcesssOwn) { EXPECT_EQ(platform::CurrentProcessId(), static_cast<std::uint32_t>(::getpid())); }

}  // namespace
