#include "sql/rewriter/function_names.h"

#include <iterator>

#include "foundation/t_string.h"

namespace {

// DBMS kinds with a column in the name table.
inline constexpr std::uint32_t kNameKinds[] = {1, 2, 4, 6, 7, 8, 11, 13};
inline constexpr std::size_t kKindColumns = std::size(kNameKinds);

struct SNameRow {
  std::uint32_t nFirstCode;
  std::uint32_t nLastCode;
  const char16_t* apszName[kKindColumns];  // by kNameKinds; null keeps the name
};

// clang-format off
constexpr SNameRow kNames[] = {
    //                 1            2             4              6          7                 8          11             13
    {7, 8,   {nullptr,     nullptr,      nullptr,       nullptr,   nullptr,          nullptr,   u"NVL",        nullptr}},
    {42, 43, {u"SUBSTR",   nullptr,      nullptr,       u"SUBSTR", nullptr,          nullptr,   u"SUBSTR",     u"SUBSTR"}},
    {44, 44, {u"SUBSTR",   u"SUBSTRING", u"SUBSTRING",  nullptr,   u"SYSIBM.SUBSTR", u"SUBSTR", u"SUBSTR",     nullptr}},
    {45, 45, {nullptr,     nullptr,      nullptr,       nullptr,   u"UCASE",         nullptr,   nullptr,       nullptr}},
    {46, 46, {nullptr,     nullptr,      nullptr,       nullptr,   u"LCASE",         nullptr,   nullptr,       nullptr}},
    {50, 50, {nullptr,     u"SUBSTRING", u"SUBSTRING",  nullptr,   u"SYSIBM.SUBSTR", nullptr,   nullptr,       nullptr}},
    {51, 51, {u"SUBSTR",   nullptr,      nullptr,       nullptr,   u"SYSIBM.SUBSTR", nullptr,   u"SUBSTR",     u"SUBSTR"}},
    {52, 53, {nullptr,     nullptr,      nullptr,       nullptr,   nullptr,          nullptr,   u"TRIM",       nullptr}},
    {54, 54, {nullptr,     u"LEN",       u"CHAR_LENGTH", nullptr,  nullptr,          nullptr,   nullptr,       nullptr}},
    {55, 55, {u"LENGTH",   nullptr,      nullptr,       nullptr,   u"LENGTH",        u"LENGTH", u"LENGTH",     u"LENGTH"}},
    {72, 72, {u"CEIL",     nullptr,      nullptr,       nullptr,   nullptr,          nullptr,   nullptr,       nullptr}},
    {75, 76, {u"SUBSTR",   nullptr,      nullptr,       nullptr,   nullptr,          nullptr,   nullptr,       nullptr}},
    {77, 78, {u"LENGTH",   nullptr,      nullptr,       nullptr,   nullptr,          nullptr,   nullptr,       nullptr}},
    {79, 79, {u"LENGTHB",  nullptr,      nullptr,       nullptr,   nullptr,          nullptr,   nullptr,       nullptr}},
    {89, 89, {u"INSTR",    nullptr,      nullptr,       nullptr,   nullptr,          nullptr,   nullptr,       nullptr}},
    {92, 92, {u"TO_CHAR",  nullptr,      nullptr,       nullptr,   nullptr,          nullptr,   u"SUBSTR(HEX", nullptr}},
};
// clang-format on

constexpr const char16_t* kHexFormat = u",'FMXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX'";

bool bIsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
bool bIsNameChar(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
}
char16_t nUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

std::size_t nSkipBlanks(const char16_t* source, std::size_t position) {
  while (source[position] && bIsBlank(source[position])) ++position;
  return position;
}

// Whether the keyword (upper case) stands at the position, case ignored and not followed by a name character.
bool bKeywordAt(const char16_t* source, std::size_t position, const char16_t* keyword) {
  std::size_t i = 0;
  for (; keyword[i]; ++i) {
    if (nUpper(source[position + i]) != keyword[i]) return false;
  }
  return !bIsNameChar(source[position + i]);
}

// The position of the keyword at the first word start from the position on, before the next ")"; npos when none.
std::size_t nFindKeywordBeforeClose(const char16_t* source, std::size_t position, const char16_t* keyword) {
  for (std::size_t i = position; source[i] && source[i] != u')'; ++i) {
    if ((i == 0 || !bIsNameChar(source[i - 1])) && bKeywordAt(source, i, keyword)) return i;
  }
  return static_cast<std::size_t>(-1);
}

std::size_t nKeywordLength(const char16_t* keyword) { return CTString(keyword).nGetLength(); }

EArgumentRewrite nOracleArgument(const SFunctionCall& call, std::uint32_t index, bool before, const char16_t* source,
                                 std::size_t& position, CTString& out) {
  const bool bothArguments = call.nArgumentCount >= 2;
  switch (call.nCode) {
    case 42:
      if (!before && index == 0) out = u",1";
      break;
    case 43:
      if (before) break;
      if (index == 0) {
        out = u" ";
        return ARGUMENT_REWRITE_LEAST_LENGTH;
      }
      if (index == 1) out = u")";
      break;
    case 75:
    case 76: {
      if (before || index > 1) break;
      const std::size_t next = nSkipBlanks(source, position);
      if (index == 0 && bKeywordAt(source, next, u"FROM")) {
        position = next + nKeywordLength(u"FROM");
        out = u",";
        if (call.nArgumentCount < 2) {
          // Start and length are one text here: it is written up to "FOR", which becomes a comma.
          const std::size_t forAt = nFindKeywordBeforeClose(source, position, u"FOR");
          if (forAt != static_cast<std::size_t>(-1)) {
            out.AppendN(source + position, static_cast<std::int64_t>(forAt - position));
            position = forAt + nKeywordLength(u"FOR");
            out.Append(u",");
          }
        }
      } else if (index == 1 && bKeywordAt(source, next, u"FOR")) {
        position = next + nKeywordLength(u"FOR");
        out = u",";
      }
      break;
    }
    case 80:
    case 89:
      if (before && index == 0 && bothArguments) {
        if (call.nCode == 89) return ARGUMENT_REWRITE_SECOND_THEN_COMMA;
        if (call.nSecondEnd > call.nSecondStart) return ARGUMENT_REWRITE_SECOND_THEN_FROM;
      }
      // The second argument was written in front: its text is not copied again.
      if (!before && index == 0 && call.nSecondEnd > position) position = call.nSecondEnd;
      break;
    case 88:
      // (a, b)||(c)||d: the first two arguments stay the program's, every later one is concatenated. The comma
      // goes after the second argument on, never after the first, so a call of two arguments keeps its own.
      if (before && index == 2) out = u")||(";
      if (before && index > 2) out = u"||";
      if (!before && index >= 1) {
        // The blanks around the comma go with it, so that the call reads (a, b)||(c) as written.
        const std::size_t next = nSkipBlanks(source, position);
        if (source[next] == u',') position = nSkipBlanks(source, next + 1);
      }
      break;
    case 92:
      if (!before) out = kHexFormat;
      break;
    default:
      break;
  }
  return ARGUMENT_REWRITE_NONE;
}

}  // namespace

const char16_t* pszDialectFunctionName(std::uint32_t code, std::uint32_t dbmsKind) {
  std::size_t column = kKindColumns;
  for (std::size_t i = 0; i < kKindColumns; ++i) {
    if (kNameKinds[i] == dbmsKind) column = i;
  }
  if (column == kKindColumns) return nullptr;
  for (const SNameRow& row : kNames) {
    if (code >= row.nFirstCode && code <= row.nLastCode) return row.apszName[column];
  }
  return nullptr;
}

EArgumentRewrite nStringFunctionArgument(std::uint32_t dbmsKind, const SFunctionCall& call, std::uint32_t index,
                                         bool before, const char16_t* source, std::size_t& position, CTString& out) {
  out.Empty();
  if (dbmsKind == 1) return nOracleArgument(call, index, before, source, position, out);
  const bool shortensFromEnd = dbmsKind == 6 || dbmsKind == 11 || dbmsKind == 13;
  switch (call.nCode) {
    case 42:
      if (shortensFromEnd && !before && index == 0) out = u",1";
      break;
    case 43:
      if (shortensFromEnd && !before && index == 0) {
        out = u" ";
        return ARGUMENT_REWRITE_NEGATED_COUNT;
      }
      break;
    case 52:
    case 53:
      if (dbmsKind == 11 && before) out = call.nCode == 52 ? u"LEADING FROM " : u"TRAILING FROM ";
      break;
    case 92:
      if (dbmsKind == 11 && !before && index == 0) out = u"),3";
      break;
    default:
      break;
  }
  return ARGUMENT_REWRITE_NONE;
}

std::size_t nSkippedNodePrefix(const char16_t* nodeText) {
  return nodeText && nodeText[0] == u'u' && nodeText[1] == u't' && nodeText[2] == u'f' && nodeText[3] == u'8' ? 4 : 0;
}

std::size_t nSkipFunctionName(const char16_t* source, std::size_t position) {
  while (source[position] && bIsNameChar(source[position])) ++position;
  return position;
}
