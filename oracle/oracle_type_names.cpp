#include "oracle/oracle_type_names.h"

#include <iterator>

#include "engine/record/column_types.h"
#include "foundation/code_pages.h"
#include "foundation/t_string.h"

namespace {

struct OracleType {
  std::uint32_t type;
  const char16_t* pattern;
  bool hasSize;
};

// The entries that depend on nothing; the number type of a money-valued 8-byte column (25) comes last.
constexpr OracleType kFixedTypes[] = {
    {1, u"NUMERIC(19,0)", false},  {19, u"NUMERIC(19,0)", false}, {5, u"NUMERIC(10,0)", false},
    {22, u"NUMERIC(10,0)", false}, {28, u"NUMERIC(10,0)", false}, {4, u"NUMERIC(3,0)", false},
    {12, u"NUMERIC(3,0)", false},  {27, u"NUMERIC(3,0)", false},  {3, u"NUMERIC(5,0)", false},
    {9, u"NUMERIC(5,0)", false},   {20, u"NUMERIC(20,0)", false}, {2, u"VARCHAR2(%d)", true},
    {29, u"NVARCHAR2(%d)", true},  {23, u"RAW(%d)", true},        {10, u"DATE", false},
    {14, u"DATE", false},          {25, u"NUMERIC(19,0)", false},
};

struct Locale {
  std::uint16_t lcid;
  const char16_t* language;
  const char16_t* territory;
};

// Territory names go into ALTER SESSION as they stand, so they are the server's own spellings; the server takes
// "Panama" and "Nicaragua" without regard to case.
constexpr Locale kLocales[] = {
    {0x0409, u"AMERICAN", u"AMERICA"},
    {0x0401, u"ARABIC", u"SAUDI ARABIA"},
    {0x0801, u"ARABIC", u"IRAQ"},
    {0x1001, u"ARABIC", u"LIBYA"},
    {0x1401, u"ARABIC", u"ALGERIA"},
    {0x1801, u"ARABIC", u"MOROCCO"},
    {0x1c01, u"ARABIC", u"TUNISIA"},
    {0x2001, u"ARABIC", u"OMAN"},
    {0x2401, u"ARABIC", u"YEMEN"},
    {0x2801, u"ARABIC", u"SYRIA"},
    {0x2c01, u"ARABIC", u"JORDAN"},
    {0x3001, u"ARABIC", u"LEBANON"},
    {0x3401, u"ARABIC", u"KUWAIT"},
    {0x3801, u"ARABIC", u"UNITED ARAB EMIRATES"},
    {0x3c01, u"ARABIC", u"BAHRAIN"},
    {0x4001, u"ARABIC", u"QATAR"},
    {0x0445, u"BANGLA", u"BANGLADESH"},
    {0x0416, u"BRAZILIAN PORTUGUESE", u"BRAZIL"},
    {0x0402, u"BULGARIAN", u"BULGARIA"},
    {0x0c0c, u"CANADIAN FRENCH", u"CANADA"},
    {0x0403, u"CATALAN", u"CATALONIA"},
    {0x041a, u"CROATIAN", u"CROATIA"},
    {0x101a, u"CROATIAN", u"CROATIA"},
    {0x043f, u"CYRILLIC KAZAKH", u"KAZAKHSTAN"},
    {0x081a, u"CYRILLIC SERBIAN", u"SERBIA AND MONTENEGRO"},
    {0x0c1a, u"CYRILLIC SERBIAN", u"SERBIA AND MONTENEGRO"},
    {0x181a, u"CYRILLIC SERBIAN", u"SERBIA AND MONTENEGRO"},
    {0x1c1a, u"CYRILLIC SERBIAN", u"SERBIA AND MONTENEGRO"},
    {0x0405, u"CZECH", u"CZECH REPUBLIC"},
    {0x0406, u"DANISH", u"DENMARK"},
    {0x0413, u"DUTCH", u"THE NETHERLANDS"},
    {0x0813, u"DUTCH", u"BELGIUM"},
    {0x0c01, u"EGYPTIAN", u"EGYPT"},
    {0x0436, u"ENGLISH", u"SOUTH AFRICA"},
    {0x044e, u"ENGLISH", u"INDIA"},
    {0x0c09, u"ENGLISH", u"AUSTRALIA"},
    {0x1009, u"ENGLISH", u"CANADA"},
    {0x1409, u"ENGLISH", u"NEW ZEALAND"},
    {0x1809, u"ENGLISH", u"IRELAND"},
    {0x1c09, u"ENGLISH", u"SOUTH AFRICA"},
    {0x3409, u"ENGLISH", u"PHILIPPINES"},
    {0x0420, u"ENGLISH", u"UNITED KINGDOM"},
    {0x0429, u"ENGLISH", u"UNITED KINGDOM"},
    {0x0435, u"ENGLISH", u"UNITED KINGDOM"},
    {0x0438, u"ENGLISH", u"UNITED KINGDOM"},
    {0x043a, u"ENGLISH", u"UNITED KINGDOM"},
    {0x0809, u"ENGLISH", u"UNITED KINGDOM"},
    {0x2009, u"ENGLISH", u"UNITED KINGDOM"},
    {0x2409, u"ENGLISH", u"UNITED KINGDOM"},
    {0x2809, u"ENGLISH", u"UNITED KINGDOM"},
    {0x2c09, u"ENGLISH", u"UNITED KINGDOM"},
    {0x3009, u"ENGLISH", u"UNITED KINGDOM"},
    {0x0425, u"ESTONIAN", u"ESTONIA"},
    {0x040b, u"FINNISH", u"FINLAND"},
    {0x040c, u"FRENCH", u"FRANCE"},
    {0x042d, u"FRENCH", u"FRANCE"},
    {0x080c, u"FRENCH", u"BELGIUM"},
    {0x100c, u"FRENCH", u"SWITZERLAND"},
    {0x140c, u"FRENCH", u"LUXEMBOURG"},
    {0x180c, u"FRENCH", u"FRANCE"},
    {0x0407, u"GERMAN", u"GERMANY"},
    {0x0807, u"GERMAN", u"SWITZERLAND"},
    {0x0c07, u"GERMAN", u"AUSTRIA"},
    {0x1007, u"GERMAN", u"LUXEMBOURG"},
    {0x1407, u"GERMAN", u"GERMANY"},
    {0x0408, u"GREEK", u"GREECE"},
    {0x0447, u"GUJARATI", u"INDIA"},
    {0x040d, u"HEBREW", u"ISRAEL"},
    {0x0439, u"HINDI", u"INDIA"},
    {0x040e, u"HUNGARIAN", u"HUNGARY"},
    {0x040f, u"ICELANDIC", u"ICELAND"},
    {0x0421, u"INDONESIAN", u"INDONESIA"},
    {0x0410, u"ITALIAN", u"ITALY"},
    {0x0810, u"ITALIAN", u"SWITZERLAND"},
    {0x0411, u"JAPANESE", u"JAPAN"},
    {0x044b, u"KANNADA", u"INDIA"},
    {0x0412, u"KOREAN", u"KOREA"},
    {0x0457, u"KOREAN", u"KOREA"},
    {0x040a, u"LATIN AMERICAN SPANISH", u"SPAIN"},
    {0x0c0a, u"LATIN AMERICAN SPANISH", u"SPAIN"},
    {0x100a, u"LATIN AMERICAN SPANISH", u"GUATEMALA"},
    {0x140a, u"LATIN AMERICAN SPANISH", u"COSTA RICA"},
    {0x180a, u"LATIN AMERICAN SPANISH", u"Panama"},
    {0x1c0a, u"LATIN AMERICAN SPANISH", u"PUERTO RICO"},
    {0x200a, u"LATIN AMERICAN SPANISH", u"VENEZUELA"},
    {0x240a, u"LATIN AMERICAN SPANISH", u"COLOMBIA"},
    {0x280a, u"LATIN AMERICAN SPANISH", u"PERU"},
    {0x2c0a, u"LATIN AMERICAN SPANISH", u"ARGENTINA"},
    {0x300a, u"LATIN AMERICAN SPANISH", u"ECUADOR"},
    {0x340a, u"LATIN AMERICAN SPANISH", u"CHILE"},
    {0x380a, u"LATIN AMERICAN SPANISH", u"ARGENTINA"},
    {0x3c0a, u"LATIN AMERICAN SPANISH", u"ARGENTINA"},
    {0x400a, u"LATIN AMERICAN SPANISH", u"ARGENTINA"},
    {0x440a, u"LATIN AMERICAN SPANISH", u"EL SALVADOR"},
    {0x480a, u"LATIN AMERICAN SPANISH", u"GUATEMALA"},
    {0x4c0a, u"LATIN AMERICAN SPANISH", u"Nicaragua"},
    {0x500a, u"LATIN AMERICAN SPANISH", u"PUERTO RICO"},
    {0x0443, u"LATIN UZBEK", u"UZBEKISTAN"},
    {0x0843, u"LATIN UZBEK", u"UZBEKISTAN"},
    {0x0426, u"LATVIAN", u"LATVIA"},
    {0x0427, u"LITHUANIAN", u"LITHUANIA"},
    {0x042f, u"MACEDONIAN", u"FYR MACEDONIA"},
    {0x043e, u"MALAY", u"MALAYSIA"},
    {0x044c, u"MALAYALAM", u"INDIA"},
    {0x080a, u"MEXICAN SPANISH", u"MEXICO"},
    {0x0414, u"NORWEGIAN", u"NORWAY"},
    {0x0814, u"NORWEGIAN", u"NORWAY"},
    {0x0415, u"POLISH", u"POLAND"},
    {0x0816, u"PORTUGUESE", u"PORTUGAL"},
    {0x0446, u"PUNJABI", u"INDIA"},
    {0x0418, u"ROMANIAN", u"ROMANIA"},
    {0x0419, u"RUSSIAN", u"RUSSIA"},
    {0x0423, u"RUSSIAN", u"RUSSIA"},
    {0x0440, u"RUSSIAN", u"RUSSIA"},
    {0x0804, u"SIMPLIFIED CHINESE", u"CHINA"},
    {0x1004, u"SIMPLIFIED CHINESE", u"SINGAPORE"},
    {0x041b, u"SLOVAK", u"SLOVAKIA"},
    {0x0424, u"SLOVENIAN", u"SLOVENIA"},
    {0x0456, u"SPANISH", u"SPAIN"},
    {0x041d, u"SWEDISH", u"SWEDEN"},
    {0x081d, u"SWEDISH", u"FINLAND"},
    {0x0449, u"TAMIL", u"INDIA"},
    {0x044a, u"TELUGU", u"INDIA"},
    {0x041e, u"THAI", u"THAILAND"},
    {0x0404, u"TRADITIONAL CHINESE", u"TAIWAN"},
    {0x0c04, u"TRADITIONAL CHINESE", u"HONG KONG"},
    {0x1404, u"TRADITIONAL CHINESE", u"HONG KONG"},
    {0x041f, u"TURKISH", u"TURKEY"},
    {0x0422, u"UKRAINIAN", u"UKRAINE"},
    {0x042a, u"VIETNAMESE", u"VIETNAM"},
};
static_assert(std::size(kLocales) == 130);

}  // namespace

int FillOracleTypeNames(CTypeNameTable* table, bool oci7ApiSet, std::int32_t serverMajor) {
  for (const OracleType& entry : kFixedTypes) {
    if (!AddDdlType(table, entry.type, entry.pattern, entry.hasSize)) return 0;
  }
  // The OCI7 calls know no LOB locators: large values are LONG and LONG RAW columns there.
  const bool lobs = !oci7ApiSet;
  // Servers before 9 have no TIMESTAMP.
  const bool timestamps = serverMajor > 8;
  const OracleType variable[] = {
      {15, lobs ? u"CLOB" : u"LONG", false},
      {30, lobs ? u"NCLOB" : u"LONG", false},
      {16, lobs ? u"BLOB" : u"LONG RAW", false},
      {18, lobs ? u"BLOB" : u"LONG RAW", false},
      {24, timestamps ? u"TIMESTAMP(3)" : u"DATE", false},
      {11, timestamps ? u"TIMESTAMP(%d)" : u"DATE", timestamps},
  };
  for (const OracleType& entry : variable) {
    if (!AddDdlType(table, entry.type, entry.pattern, entry.hasSize)) return 0;
  }
  return 1;
}

namespace {

struct SCharset {
  std::uint32_t codePage;
  std::int32_t id;
  const char16_t* name;
};
constexpr SCharset kCharsets[] = {
    {949, 846, u"KO16MSWIN949"},   {950, 867, u"ZHT16MSWIN950"}, {1250, 170, u"EE8MSWIN1250"},
    {1251, 171, u"CL8MSWIN1251"},  {1252, 178, u"WE8MSWIN1252"}, {1253, 174, u"EL8MSWIN1253"},
    {1254, 177, u"TR8MSWIN1254"},  {1255, 175, u"IW8MSWIN1255"}, {1256, 560, u"AR8MSWIN1256"},
    {1257, 179, u"BLT8MSWIN1257"}, {1258, 45, u"VN8MSWIN1258"},
};
constexpr std::int32_t ORACLE_CHARSET_AL32UTF8 = 873;

}  // namespace

std::int32_t nCodePageToOracleCharset(std::uint32_t codePage) {
  for (const SCharset& entry : kCharsets) {
    if (entry.codePage == codePage) return entry.id;
  }
  return -1;
}

std::uint32_t nOracleCharsetToCodePage(std::int32_t charset) {
  if (charset == ORACLE_CHARSET_AL32UTF8) return CODE_PAGE_UTF8;
  for (const SCharset& entry : kCharsets) {
    if (entry.id == charset) return entry.codePage;
  }
  return 0;
}

std::uint32_t nOracleCharsetNameToCodePage(const char16_t* name) {
  const std::u16string_view text = name ? name : u"";
  if (text == u"AL32UTF8" || text == u"UTF8") return CODE_PAGE_UTF8;
  for (const SCharset& entry : kCharsets) {
    if (text == entry.name) return entry.codePage;
  }
  return 0;
}

int bLcidToNlsNames(std::uint32_t lcid, CTString& language, CTString& territory) {
  for (const Locale& entry : kLocales) {
    if (entry.lcid == lcid) {
      language = entry.language;
      territory = entry.territory;
      return 1;
    }
  }
  return 0;
}
