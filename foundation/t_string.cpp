#include "foundation/t_string.h"

#include <cstring>

#include "foundation/code_pages.h"
#include "foundation/host_locale.h"
#include "foundation/text_utils.h"
#include "foundation/wide_format.h"
#include "platform/code_page.h"

namespace {

void CopyUnits(char16_t* dst, const char16_t* src, std::size_t n) {
  if (n) std::memmove(dst, src, n * sizeof(char16_t));
}

}  // namespace

CTString::CTString(const char16_t* text) { Assign(text); }
CTString::CTString(const CTString& other) { Assign(other.m_psz); }
CTString::CTString(CTString&& other) noexcept : m_psz(other.m_psz) { other.m_psz = nullptr; }
CTString::CTString(const char16_t* text, std::size_t n) { AssignBounded(text, n); }

CTString::CTString(STStringFormat, const char16_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  FormatV(format, arguments);
  va_end(arguments);
}

CTString::~CTString() { FreeText(m_psz); }

CTString& CTString::operator=(const CTString& other) {
  if (this != &other) Assign(other.m_psz);
  return *this;
}

CTString& CTString::operator=(CTString&& other) noexcept {
  if (this != &other) {
    FreeText(m_psz);
    m_psz = other.m_psz;
    other.m_psz = nullptr;
  }
  return *this;
}

CTString& CTString::operator=(const char16_t* text) {
  Assign(text);
  return *this;
}

bool CTString::Resize(std::size_t n) {
  char16_t* buffer = pszReallocW(m_psz, n);
  if (!buffer) {
    FreeText(m_psz);
    m_psz = nullptr;
    return false;
  }
  m_psz = buffer;
  return true;
}

void CTString::Assign(const char16_t* text) {
  if (!text || !*text) {
    Empty();
    return;
  }
  if (text == m_psz) return;
  const std::size_t n = nLengthW(text);
  // The text may lie inside this buffer (a tail of it): copy before the buffer moves.
  if (m_psz && text > m_psz && text <= m_psz + nGetLength()) {
    char16_t* copy = pszDupW(text);
    FreeText(m_psz);
    m_psz = copy;
    return;
  }
  if (n != nGetLength() && !Resize(n)) return;
  CopyUnits(m_psz, text, n + 1);
}

void CTString::AssignN(const char16_t* text, std::size_t n) {
  if (!text) {
    Empty();
    return;
  }
  char16_t* buffer = pszAllocW(n);
  if (buffer) {
    CopyUnits(buffer, text, n);
    buffer[n] = 0;
  }
  Attach(buffer);
}

void CTString::AssignBounded(const char16_t* text, std::size_t n) {
  if (!text) {
    Empty();
    return;
  }
  std::size_t length = 0;
  while (length < n && text[length]) ++length;
  AssignN(text, length);
}

void CTString::AssignChar(char16_t unit) {
  if (!unit) {
    Empty();
    return;
  }
  AssignN(&unit, 1);
}

void CTString::AssignFromAnsi(const char* text) {
  if (!text) {
    Empty();
    return;
  }
  Attach(pszCodePageToNewWide(text, TEXT_ZERO_TERMINATED, CODE_PAGE_ANSI));
}

void CTString::SetLength(std::size_t n) {
  const std::size_t old = nGetLength();
  if (!Resize(n)) return;
  if (n > old) std::memset(m_psz + old, 0, (n - old) * sizeof(char16_t));
  m_psz[n] = 0;
}

void CTString::Empty() {
  FreeText(m_psz);
  m_psz = nullptr;
}

std::size_t CTString::nGetLength() const { return nLengthW(m_psz); }

int CTString::bEquals(const char16_t* text) const {
  if (!text) text = u"";
  const char16_t* own = pszGet();
  while (*own && *own == *text) {
    ++own;
    ++text;
  }
  return *own == *text;
}

int CTString::bEqualsNoCase(const char16_t* text) const {
  if (bIsEmpty()) return !text || !*text;
  if (!text || !*text) return 0;
  return nHostCompareNoCase(m_psz, text) == 0;
}

int CTString::bEqualsClientPathNoCase(const char16_t* clientPath) const { return bEqualsNoCase(clientPath); }

std::uint32_t CTString::nFind(const char16_t* text, std::size_t start) const {
  const std::size_t length = nGetLength();
  const std::size_t n = nLengthW(text);
  if (length == 0 || n == 0 || start >= length || n > length - start) return TSTRING_NOT_FOUND;
  for (std::size_t i = start; i + n <= length; ++i) {
    if (std::memcmp(m_psz + i, text, n * sizeof(char16_t)) == 0) return static_cast<std::uint32_t>(i);
  }
  return TSTRING_NOT_FOUND;
}

std::uint32_t CTString::nFindSemicolon(std::size_t start) const { return nFind(u";", start); }

std::uint32_t CTString::nCountDots() const {
  std::uint32_t dots = 0;
  for (const char16_t* p = pszGet(); *p; ++p) dots += *p == u'.';
  return dots;
}

void CTString::Append(const char16_t* text) {
  if (text) AppendN(text, static_cast<std::int64_t>(nLengthW(text)));
}

void CTString::AppendN(const char16_t* text, std::int64_t n) {
  if (!text || n < 1) return;
  std::size_t count = static_cast<std::size_t>(n);
  if (text[count - 1] == 0) --count;
  if (bIsEmpty()) {
    AssignN(text, count);
    return;
  }
  const std::size_t length = nGetLength();
  // The text may be part of this string: keep a copy while the buffer moves.
  const bool inside = text >= m_psz && text <= m_psz + length;
  char16_t* copy = inside ? pszDupNW(count, text) : nullptr;
  if (inside && !copy) return;
  if (Resize(length + count)) {
    CopyUnits(m_psz + length, inside ? copy : text, count);
    m_psz[length + count] = 0;
  }
  FreeText(copy);
}

void CTString::AppendChar(char16_t unit) {
  if (bIsEmpty()) {
    AssignChar(unit);
  } else if (unit) {
    AppendN(&unit, 1);
  }
}

void CTString::Truncate(std::int64_t n) {
  if (n < 0 || static_cast<std::size_t>(n) > nGetLength() || !m_psz) return;
  m_psz[n] = 0;
}

void CTString::TrimRight() {
  if (!m_psz) return;
  std::size_t n = nGetLength();
  while (n > 0 && m_psz[n - 1] == u' ') --n;
  m_psz[n] = 0;
}

void CTString::Trim() { TrimW(m_psz); }

void CTString::FoldCase() { MapCharsThroughHost(m_psz); }

void CTString::Delete(std::size_t start, std::size_t count) {
  const std::size_t length = nGetLength();
  if (start >= length || count == 0) return;
  if (count > length - start) count = length - start;
  const std::size_t n = length - count;
  char16_t* buffer = pszAllocW(n);
  if (buffer) {
    CopyUnits(buffer, m_psz, start);
    CopyUnits(buffer + start, m_psz + start + count, length - start - count);
    buffer[n] = 0;
  }
  Attach(buffer);
}

void CTString::PadWithNines(std::size_t n) {
  const std::size_t old = nGetLength();
  if (!Resize(n)) return;
  for (std::size_t i = old; i < n; ++i) m_psz[i] = u'9';
  m_psz[n] = 0;
}

void CTString::Mid(CTString& out, std::size_t start, std::size_t count) const {
  const std::size_t length = nGetLength();
  if (start >= length) {
    out.Empty();
    return;
  }
  if (count > length - start) count = length - start;
  // out may be this string: build the part before replacing anything.
  CTString part;
  part.AssignN(m_psz + start, count);
  out = static_cast<CTString&&>(part);
}

void CTString::MidToEnd(CTString& out, std::size_t start) const { Mid(out, start, nGetLength()); }

int CTString::bGetToken(CTString& out, std::size_t n, const char16_t* separator) const {
  if (!m_psz) return 0;
  const std::size_t step = nLengthW(separator);
  std::size_t start = 0;
  // Without a separator the whole string is the only part (searching "" would never move on).
  std::uint32_t next = step ? nFind(separator, 0) : TSTRING_NOT_FOUND;
  for (std::size_t i = 0; i < n; ++i) {
    if (next == TSTRING_NOT_FOUND) return 0;
    start = next + step;
    next = nFind(separator, start);
  }
  if (next == TSTRING_NOT_FOUND) {
    MidToEnd(out, start);
  } else {
    Mid(out, start, next - start);
  }
  return 1;
}

int CTString::bGetDottedPart(CTString& out, std::size_t n) const {
  if (bIsEmpty()) return 0;
  return bGetToken(out, n, u".");
}

void CTString::FormatV(const char16_t* format, va_list arguments) {
  const std::uint64_t estimate = nEstimateFormatLength(format, arguments);
  char16_t* buffer = estimate < SIZE_MAX / 4 ? pszAllocW(static_cast<std::size_t>(estimate)) : nullptr;
  if (!buffer) {
    Empty();
    return;
  }
  const std::size_t written = nFormatWideV(buffer, static_cast<std::size_t>(estimate) + 1, format, arguments);
  // The estimate is generous (512 units for a number with a point): give back what was not used.
  if (char16_t* fitted = pszReallocW(buffer, written)) buffer = fitted;
  Attach(buffer);
}

void CTString::Format(const char16_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  FormatV(format, arguments);
  va_end(arguments);
}

void CTString::Attach(char16_t* buffer) {
  if (buffer == m_psz) return;
  FreeText(m_psz);
  m_psz = buffer;
}

char16_t* CTString::Detach() {
  char16_t* buffer = m_psz;
  m_psz = nullptr;
  return buffer;
}
