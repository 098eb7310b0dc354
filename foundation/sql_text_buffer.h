// CSqlTextBuffer: SQL text built either in a client code page (UTF-8 included) or in UTF-16 (mode CODE_PAGE_UTF16),
// so that one builder serves an ANSI and a Unicode client session. The buffer of the mode holds the text; the other
// form is a cache converted on demand and dropped by every change. The conversion code page produces the narrow
// form in UTF-16 mode and reads code-page text given without a page.
//
// Positions and counts are UTF-16 units of the text in both modes, as nGetCharAt reads them; in a narrow mode they
// are mapped onto whole characters of the narrow text, so no operation cuts a multi-byte character or leaves its
// buffer.
#pragma once

#include <cstdint>

#include "foundation/text_buffer.h"

class CSqlTextBuffer {
 public:
  CSqlTextBuffer(std::uint32_t mode, std::uint32_t conversionCodePage, std::uint64_t step);

  void Append(const char16_t* text, std::int64_t n);  // n -1: zero-terminated
  void AppendCodePageText(const char* bytes, std::int64_t n, std::uint32_t codePage);
  void AppendPaddedInt(std::int32_t value, std::uint32_t width);
  void AppendInt64(std::int64_t value);
  const char16_t* pszGetWide(std::uint64_t* length = nullptr);
  const char* pszGetNarrow(std::uint64_t* length = nullptr);
  char16_t nGetCharAt(std::uint64_t i);
  int bIsSpaceAt(std::uint64_t i) { return nGetCharAt(i) == u' '; }
  void InsertAtFront(const char16_t* text, std::int64_t n);
  void ReplaceRange(std::uint64_t start, std::int64_t count, const char16_t* text, std::int64_t n);
  void ReplaceAll(char16_t search, const char16_t* replacement, std::int64_t n, std::uint64_t start);
  void Truncate(std::int64_t n);
  void DeleteRange(std::int64_t start, std::int64_t count);
  std::uint64_t nFindQuote(std::uint64_t start);
  std::uint64_t nFindEscapeKeyword(std::uint64_t start);
  // Empties the text and takes another mode and conversion page (a copy takes its source's pages).
  void Reopen(std::uint32_t mode, std::uint32_t conversionCodePage);
  // Appends the other buffer's text: its bytes as they are when both share a narrow mode, else its UTF-16 form.
  void AssignKeepCodePage(CSqlTextBuffer& other);

  std::uint32_t nGetMode() const { return m_nMode; }
  std::uint32_t nGetConversionCodePage() const { return m_nConversionCodePage; }

 private:
  bool bNarrow() const { return m_nMode != 0xFFFFFFFE; }
  void TextChanged();  // drops the cache of the other form
  std::uint64_t nWideLength();
  // Byte offset in the narrow text of the character at UTF-16 position `unit` (the start of a character that spans
  // it; the end of the text past it).
  std::uint64_t nByteOffset(std::uint64_t unit) const;
  // Cuts the text of the mode at UTF-16 position n.
  void CutAt(std::uint64_t n);

  std::uint32_t m_nMode;
  std::uint32_t m_nConversionCodePage;
  CTextBufferA m_narrow;
  CTextBufferW m_wide;
};
