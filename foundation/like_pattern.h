// Rewriting of LIKE patterns and SQL literals around one escape character chosen by the caller: normalising escape
// sequences, escaping wildcards, quotes and backslashes for a target dialect, expanding escaped wildcards into a
// dialect's own forms, and undoing quote and backslash doubling when a literal is read back. Every text is
// zero-terminated; heap results come from pszDupW and are freed with FreeText.
#pragma once

class CTString;

// Writes the rewritten pattern into `destination`, which must hold four units per source unit and a terminator.
// `unused` is accepted for the callers' argument order and changes nothing.
void EscapeLikePatternW(const char16_t* source, char16_t* destination, int bDoubleQuotes, int bDoubleBackslashes,
                        int unused, int bEscapePercent, int bEscapeUnderscore, int bEscapeEscapedPercent,
                        int bEscapeEscapedUnderscore, int bDoubleEscapedEscape, char16_t quote, char16_t escape);

// The narrow form with every option off: escape sequences normalised only, at most two units per source unit. The
// options would have no effect here, so the form takes none.
void EscapeLikePatternA(const char* source, char* destination, char escape);

// A heap copy of the pattern in which each escaped "%" becomes percentPrefix percentText percentSuffix and each
// escaped "_" underscorePrefix underscoreText underscoreSuffix; an escaped escape becomes one. Null when memory fails.
char16_t* pszExpandLikePatternW(const char16_t* pattern, const char16_t* percentText, const char16_t* percentPrefix,
                                const char16_t* percentSuffix, const char16_t* underscoreText,
                                const char16_t* underscorePrefix, const char16_t* underscoreSuffix, char16_t escape);

// In place: a quote doubled or preceded by a backslash loses that first unit. The text "''" stays as it is.
void UnescapeQuotesW(char16_t* text);
void UnescapeQuotesA(char* text);
// In place: each pair of backslashes, left to right, becomes one.
void UndoubleBackslashesW(char16_t* text);
// UndoubleBackslashesW, then UnescapeQuotesW.
void UnescapeBackslashQuotesW(char16_t* text);

// A heap copy of the pattern rewritten with every option off (escape sequences normalised only). Null when memory
// fails.
char16_t* pszNormalizeLikePatternW(const char16_t* pattern, char16_t escape);
char* pszNormalizeLikePatternA(const char* pattern, char escape);

enum class ESqlLiteralText { kNull, kEmpty, kText, kRefused };

// An SQL literal as a column default gives it: a null text, "NULL" in any case or, when `emptyIsNull`, an empty text
// reads as NULL; another empty text as empty; a text in single quotes loses them and its quote doubling, and its
// backslash escapes when the dialect has them (`backslashEscapes`); any other text is taken as it is. The text is
// left in `out` for kText; kRefused when memory refused it.
ESqlLiteralText ReadSqlLiteralText(const char16_t* literal, bool emptyIsNull, bool backslashEscapes, CTString& out);
