// CDateEscapeRewriter: finds the date, time and timestamp escape groups ("{d '...'}", "{t '...'}", "{ts '...'}") in a
// statement text and replaces each one it can read by a literal of the target dialect. The text is owned elsewhere:
// the derived class edits it through ReplaceSpan and re-points m_pszText at it afterwards, since an edit may move it.
// The statement rewriter's own derived class (which edits its source text) lives with the rewriter.
#pragma once

#include <cstddef>
#include <cstdint>

class CDateEscapeRewriter {
 public:
  CDateEscapeRewriter() = default;
  virtual ~CDateEscapeRewriter() = default;
  CDateEscapeRewriter(const CDateEscapeRewriter&) = delete;
  CDateEscapeRewriter& operator=(const CDateEscapeRewriter&) = delete;

  // The literal builders, one per dialect form. Each answers a heap text of at most 200 bytes that the caller frees
  // with FreeText, or null when memory fails.
  // yearDigits: how many digits the year was written with.
  virtual char16_t* pszBuildDateMode1(std::int32_t year, std::int32_t month, std::int32_t day,
                                      std::size_t yearDigits);
  virtual char16_t* pszBuildDateMode2(std::int32_t year, std::int32_t month, std::int32_t day);
  virtual char16_t* pszBuildDateMode3(std::int32_t year, std::int32_t month, std::int32_t day);
  virtual char16_t* pszBuildTimeMode3(std::int32_t hours, std::int32_t minutes);
  virtual char16_t* pszBuildTimestampMode3(std::int32_t year, std::int32_t month, std::int32_t day,
                                           std::int32_t hours, std::int32_t minutes, std::int32_t seconds,
                                           std::int32_t milliseconds);
  virtual char16_t* pszBuildDateMode4(std::int32_t year, std::int32_t month, std::int32_t day);
  // Replaces `count` characters at character `position` of the text by `literal`, then sets m_pszText to the text's
  // address after the edit.
  virtual void ReplaceSpan(std::uint32_t position, std::uint32_t count, const char16_t* literal) = 0;

  // Replaces the escape groups of `text`. The text's address after the last replacement when one was made, else
  // null; a "{" without a closing "}" ends the scan with null, the replacements before it staying in the text.
  char16_t* bRewrite(char16_t* text);

  // 1: Oracle date calls (time and timestamp escapes kept); 2 and 4: other date forms; 3: every escape as digits.
  std::uint32_t nGetMode() const { return m_nMode; }
  void SetMode(std::uint32_t mode) { m_nMode = mode; }
  std::uint32_t bIsChanged() const { return m_bChanged; }
  // The last scan stopped because a copy of a group or token could not be made.
  bool bRanOutOfMemory() const { return m_bFailed; }

 protected:
  char16_t* m_pszText = nullptr;

 private:
  // The literal for the characters between one group's braces, or null when the group stays as written.
  char16_t* pszLiteralForGroup(const char16_t* group);

  char16_t* m_pGroupStart = nullptr;
  char16_t* m_pGroupEnd = nullptr;
  std::uint32_t m_nMode = 1;
  std::uint32_t m_bChanged = 0;
  bool m_bFailed = false;
};
