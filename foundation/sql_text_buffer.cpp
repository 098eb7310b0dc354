#include "foundation/sql_text_buffer.h"

#include <cstring>

#include "foundation/code_pages.h"
#include "foundation/text_utils.h"

CSqlTextBuffer::CSqlTextBuffer(std::uint32_t mode, std::uint32_t conversionCodePage, std::uint64_t step)
    : m_nMode(mode), m_nConversionCodePage(conversionCodePage), m_narrow(step), m_wide(step) {}

void CSqlTextBuffer::Reopen(std::uint32_t mode, std::uint32_t conversionCodePage) {
  m_narrow.Truncate(0);
  m_wide.Truncate(0);
  m_nMode = mode;
  m_nConversionCodePage = conversionCodePage;
}

void CSqlTextBuffer::TextChanged() {
  if (bNarrow()) {
    m_wide.Truncate(0);
  } else {
    m_narrow.Truncate(0);
  }
}

void CSqlTextBuffer::Append(const char16_t* text, std::int64_t n) {
  if (!text) return;
  if (n == -1) n = static_cast<std::int64_t>(nLengthW(text));
  if (n < 1) return;
  if (bNarrow()) {
    m_narrow.AppendFromWide(text, static_cast<std::uint64_t>(n), m_nMode);
  } else {
    m_wide.Append(text, n);
  }
  TextChanged();
}

void CSqlTextBuffer::AppendCodePageText(const char* bytes, std::int64_t n, std::uint32_t codePage) {
  if (!bytes || n < 1) return;
  if (codePage == 0xFFFFFFFE || codePage == 0xFFFFFFFF) codePage = m_nConversionCodePage;
  const auto count = static_cast<std::uint64_t>(n);
  if (!bNarrow()) {
    m_wide.AppendFromCodePage(bytes, count, codePage);
  } else if (codePage == m_nMode) {
    m_narrow.Append(bytes, n);
  } else if (m_nMode == CODE_PAGE_UTF8) {
    m_narrow.AppendTranscoded(bytes, count, codePage);
  } else {
    CTextBufferW wide(count + 1);
    wide.AppendFromCodePage(bytes, count, codePage);
    m_narrow.AppendFromWide(wide.pszGetText(), wide.nGetLength(), m_nMode);
  }
  TextChanged();
}

void CSqlTextBuffer::AppendPaddedInt(std::int32_t value, std::uint32_t width) {
  if (bNarrow()) {
    m_narrow.AppendPaddedInt(value, width);
  } else {
    m_wide.AppendPaddedInt(value, width);
  }
  TextChanged();
}

void CSqlTextBuffer::AppendInt64(std::int64_t value) {
  if (bNarrow()) {
    m_narrow.AppendInt64(value);
  } else {
    m_wide.AppendInt64(value);
  }
  TextChanged();
}

const char16_t* CSqlTextBuffer::pszGetWide(std::uint64_t* length) {
  if (bNarrow() && m_wide.nGetLength() == 0 && m_narrow.nGetLength() > 0) {
    m_wide.AppendFromCodePage(m_narrow.pszGetText(), m_narrow.nGetLength(), m_nMode);
  }
  if (length) *length = m_wide.nGetLength();
  return m_wide.pszGetText();
}

const char* CSqlTextBuffer::pszGetNarrow(std::uint64_t* length) {
  if (!bNarrow() && m_narrow.nGetLength() == 0 && m_wide.nGetLength() > 0) {
    m_narrow.AppendFromWide(m_wide.pszGetText(), m_wide.nGetLength(), m_nConversionCodePage);
  }
  if (length) *length = m_narrow.nGetLength();
  return m_narrow.pszGetText();
}

std::uint64_t CSqlTextBuffer::nWideLength() {
  std::uint64_t length = 0;
  pszGetWide(&length);
  return length;
}

char16_t CSqlTextBuffer::nGetCharAt(std::uint64_t i) {
  std::uint64_t length = 0;
  const char16_t* text = pszGetWide(&length);
  return i < length ? text[i] : 0;
}

std::uint64_t CSqlTextBuffer::nByteOffset(std::uint64_t unit) const {
  const char* text = m_narrow.pszGetText();
  const std::uint64_t length = m_narrow.nGetLength();
  std::uint64_t offset = 0;
  for (std::uint64_t units = 0; offset < length && units < unit;) {
    std::size_t width = 1;
    const std::size_t bytes =
        nCharacterBytes(m_nMode, text + offset, static_cast<std::size_t>(length - offset), &width);
    if (units + width > unit) break;  // the position falls inside this character: keep it whole
    offset += bytes;
    units += width;
  }
  return offset;
}

void CSqlTextBuffer::CutAt(std::uint64_t n) {
  if (bNarrow()) {
    m_narrow.Truncate(static_cast<std::int64_t>(nByteOffset(n)));
  } else {
    m_wide.Truncate(static_cast<std::int64_t>(n));
  }
  TextChanged();
}

void CSqlTextBuffer::Truncate(std::int64_t n) {
  if (n < 1) {
    CutAt(0);
  } else if (static_cast<std::uint64_t>(n) <= nWideLength()) {
    CutAt(static_cast<std::uint64_t>(n));
  }
}

void CSqlTextBuffer::DeleteRange(std::int64_t start, std::int64_t count) {
  const std::uint64_t length = nWideLength();
  if (start > 0 && static_cast<std::uint64_t>(start) > length) return;
  const std::uint64_t from = start < 0 ? 0 : static_cast<std::uint64_t>(start);
  if (count < 0 || from + static_cast<std::uint64_t>(count) >= length) {
    CutAt(from);
  } else if (count > 0) {
    ReplaceRange(from, count, nullptr, 0);
  }
}

void CSqlTextBuffer::ReplaceRange(std::uint64_t start, std::int64_t count, const char16_t* text, std::int64_t n) {
  if (n == -1 && text) n = static_cast<std::int64_t>(nLengthW(text));
  if (!text || n < 0) n = 0;
  if (!bNarrow()) {
    m_wide.ReplaceRange(start, count, text, static_cast<std::uint64_t>(n));
    TextChanged();
    return;
  }
  if (m_narrow.nGetLength() == 0) return;
  const std::uint64_t from = nByteOffset(start);
  // A start past the text's end changes nothing, as in the UTF-16 modes: the narrow offset stops at the end, where
  // the replacement would be appended.
  if (from == m_narrow.nGetLength()) {
    const char* narrow = m_narrow.pszGetText();
    std::uint64_t units = 0;
    for (std::uint64_t offset = 0; offset < from;) {
      std::size_t width = 1;
      offset += nCharacterBytes(m_nMode, narrow + offset, static_cast<std::size_t>(from - offset), &width);
      units += width;
    }
    if (start > units) return;
  }
  CTextBufferA replacement(static_cast<std::uint64_t>(n) * 4 + 1);
  replacement.AppendFromWide(text, static_cast<std::uint64_t>(n), m_nMode);
  const std::int64_t bytes =
      count < 0 ? -1 : static_cast<std::int64_t>(nByteOffset(start + static_cast<std::uint64_t>(count)) - from);
  m_narrow.ReplaceRange(from, bytes, replacement.pszGetText(), replacement.nGetLength());
  TextChanged();
}

void CSqlTextBuffer::InsertAtFront(const char16_t* text, std::int64_t n) {
  if (!text) return;
  if (n == -1) n = static_cast<std::int64_t>(nLengthW(text));
  if (n < 1) return;
  if (bNarrow()) {
    CTextBufferA front(static_cast<std::uint64_t>(n) * 4 + 1);
    front.AppendFromWide(text, static_cast<std::uint64_t>(n), m_nMode);
    m_narrow.InsertAtFront(front.pszGetText(), front.nGetLength());
  } else if (m_wide.nGetLength() == 0) {
    m_wide.Append(text, n);
  } else {
    m_wide.ReplaceRange(0, 0, text, static_cast<std::uint64_t>(n));
  }
  TextChanged();
}

void CSqlTextBuffer::ReplaceAll(char16_t search, const char16_t* replacement, std::int64_t n, std::uint64_t start) {
  if (n == -1 && replacement) n = static_cast<std::int64_t>(nLengthW(replacement));
  if (!replacement || n < 0) n = 0;
  if (!bNarrow()) {
    m_wide.ReplaceAll(search, replacement, static_cast<std::uint64_t>(n), start);
    TextChanged();
    return;
  }
  const std::uint64_t length = m_narrow.nGetLength();
  CTextBufferA pattern(8);
  pattern.AppendFromWide(&search, 1, m_nMode);
  if (length == 0 || pattern.nGetLength() == 0) return;
  CTextBufferA with(static_cast<std::uint64_t>(n) * 4 + 1);
  with.AppendFromWide(replacement, static_cast<std::uint64_t>(n), m_nMode);
  // Compared character by character, so that a byte inside a double-byte character never matches.
  const char* text = m_narrow.pszGetText();
  CTextBufferA result(length + 1);
  std::uint64_t offset = nByteOffset(start);
  result.Append(text, static_cast<std::int64_t>(offset));
  while (offset < length) {
    const std::size_t bytes =
        nCharacterBytes(m_nMode, text + offset, static_cast<std::size_t>(length - offset), nullptr);
    if (bytes == pattern.nGetLength() && std::memcmp(text + offset, pattern.pszGetText(), bytes) == 0) {
      result.Append(with.pszGetText(), static_cast<std::int64_t>(with.nGetLength()));
    } else {
      result.Append(text + offset, static_cast<std::int64_t>(bytes));
    }
    offset += bytes;
  }
  m_narrow.Truncate(0);
  m_narrow.Append(result.pszGetText(), static_cast<std::int64_t>(result.nGetLength()));
  TextChanged();
}

std::uint64_t CSqlTextBuffer::nFindQuote(std::uint64_t start) {
  pszGetWide();
  return m_wide.nFindChar(start);
}

std::uint64_t CSqlTextBuffer::nFindEscapeKeyword(std::uint64_t start) {
  pszGetWide();
  return m_wide.nFindText(u"ESCAPE", start);
}

void CSqlTextBuffer::AssignKeepCodePage(CSqlTextBuffer& other) {
  if (bNarrow() && other.m_nMode == m_nMode) {
    m_narrow.Append(other.m_narrow.pszGetText(), static_cast<std::int64_t>(other.m_narrow.nGetLength()));
    TextChanged();
    return;
  }
  std::uint64_t length = 0;
  const char16_t* text = other.pszGetWide(&length);
  Append(text, static_cast<std::int64_t>(length));
}
