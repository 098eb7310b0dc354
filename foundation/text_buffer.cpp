#include "foundation/text_buffer.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/code_pages.h"
#include "foundation/numbers.h"
#include "platform/code_page.h"

namespace {

template <typename Unit>
std::uint64_t LengthOf(const Unit* text) {
  std::uint64_t n = 0;
  while (text[n]) ++n;
  return n;
}

template <typename Unit>
void Decimal(std::int64_t value, Unit* out) {
  if constexpr (sizeof(Unit) == 1) {
    pszI64ToDecimalA(value, out);
  } else {
    pszI64ToDecimalW(value, out);
  }
}

}  // namespace

template <typename Unit>
CTextBufferT<Unit>::~CTextBufferT() {
  std::free(m_pText);
}

template <typename Unit>
bool CTextBufferT<Unit>::Reserve(std::uint64_t n) {
  const std::uint64_t steps = n / m_nStep + 1;
  if (steps > (SIZE_MAX / sizeof(Unit) - 1) / m_nStep) return false;
  const std::uint64_t capacity = steps * m_nStep;
  if (capacity < m_nLength) return false;
  void* text = std::realloc(m_pText, static_cast<std::size_t>(capacity + 1) * sizeof(Unit));
  if (!text) return false;
  m_pText = static_cast<Unit*>(text);
  m_nCapacity = capacity;
  m_pText[m_nLength] = 0;
  return true;
}

template <typename Unit>
bool CTextBufferT<Unit>::bHolds(const Unit* text) const {
  const auto at = reinterpret_cast<std::uintptr_t>(text);
  const auto start = reinterpret_cast<std::uintptr_t>(m_pText);
  return m_pText && at >= start && at <= start + static_cast<std::size_t>(m_nCapacity) * sizeof(Unit);
}

template <typename Unit>
void CTextBufferT<Unit>::Append(const Unit* text, std::int64_t n) {
  if (!text || n < 1) return;
  // Text taken from the buffer itself would be freed when the buffer grows: it is read by its offset instead.
  const bool own = bHolds(text);
  const std::size_t offset = own ? static_cast<std::size_t>(text - m_pText) : 0;
  if (!bMakeRoom(static_cast<std::uint64_t>(n))) return;
  if (own) text = m_pText + offset;
  std::memmove(m_pText + m_nLength, text, static_cast<std::size_t>(n) * sizeof(Unit));
  SetLength(m_nLength + static_cast<std::uint64_t>(n));
}

template <typename Unit>
void CTextBufferT<Unit>::AppendText(const Unit* text) {
  if (text) Append(text, static_cast<std::int64_t>(LengthOf(text)));
}

template <typename Unit>
const Unit* CTextBufferT<Unit>::pszGetText() const {
  static const Unit kEmpty[1] = {0};
  return m_nLength ? m_pText : kEmpty;
}

template <typename Unit>
void CTextBufferT<Unit>::SetLength(std::uint64_t n) {
  if (!m_pText || n > m_nCapacity) return;
  m_nLength = n;
  m_pText[n] = 0;
}

template <typename Unit>
void CTextBufferT<Unit>::Truncate(std::int64_t n) {
  if (n < 1) {
    SetLength(0);
  } else if (static_cast<std::uint64_t>(n) < m_nLength) {
    SetLength(static_cast<std::uint64_t>(n));
  }
}

template <typename Unit>
std::uint64_t CTextBufferT<Unit>::nFind(const Unit* text, std::uint64_t length, std::uint64_t start) const {
  if (m_nLength == 0 || length == 0 || start >= m_nLength || length > m_nLength - start) return TEXT_BUFFER_NOT_FOUND;
  for (std::uint64_t i = start; i + length <= m_nLength; ++i) {
    if (std::memcmp(m_pText + i, text, static_cast<std::size_t>(length) * sizeof(Unit)) == 0) return i;
  }
  return TEXT_BUFFER_NOT_FOUND;
}

template <typename Unit>
std::uint64_t CTextBufferT<Unit>::nFindText(const Unit* text, std::uint64_t start) const {
  return text ? nFind(text, LengthOf(text), start) : TEXT_BUFFER_NOT_FOUND;
}

template <typename Unit>
void CTextBufferT<Unit>::ReplaceRange(std::uint64_t start, std::int64_t count, const Unit* text, std::uint64_t n) {
  if (m_nLength == 0 || start > m_nLength) return;
  const std::uint64_t removed =
      count < 0 || static_cast<std::uint64_t>(count) > m_nLength - start ? m_nLength - start : count;
  if (!text) n = 0;
  // The text may lie in this buffer, which may move: keep a copy.
  std::vector<Unit> aside;
  if (n && bHolds(text)) {
    aside.assign(text, text + n);
    text = aside.data();
  }
  const std::uint64_t length = m_nLength - removed + n;
  if (length > m_nCapacity && !Reserve(length)) return;
  const std::uint64_t tail = m_nLength - start - removed;
  std::memmove(m_pText + start + n, m_pText + start + removed, static_cast<std::size_t>(tail) * sizeof(Unit));
  if (n) std::memcpy(m_pText + start, text, static_cast<std::size_t>(n) * sizeof(Unit));
  SetLength(length);
}

template <typename Unit>
void CTextBufferT<Unit>::ReplaceEvery(const Unit* search, std::uint64_t searchLength, const Unit* replacement,
                                      std::uint64_t n, std::uint64_t start) {
  if (!search || searchLength == 0 || m_nLength == 0 || searchLength > m_nLength) return;
  if (!replacement) n = 0;
  // Search or replacement units taken from this buffer change with the first replacement (or are freed by a
  // growth): both are read from copies made before anything is replaced.
  std::vector<Unit> searchCopy;
  std::vector<Unit> replacementCopy;
  if (bHolds(search)) {
    searchCopy.assign(search, search + searchLength);
    search = searchCopy.data();
  }
  if (n && bHolds(replacement)) {
    replacementCopy.assign(replacement, replacement + n);
    replacement = replacementCopy.data();
  }
  for (std::uint64_t p = nFind(search, searchLength, start); p != TEXT_BUFFER_NOT_FOUND;
       p = nFind(search, searchLength, p + n)) {
    if (searchLength == n) {
      std::memcpy(m_pText + p, replacement, static_cast<std::size_t>(n) * sizeof(Unit));
    } else {
      const std::uint64_t before = m_nLength;
      ReplaceRange(p, static_cast<std::int64_t>(searchLength), replacement, n);
      if (m_nLength == before) return;  // no memory for the longer text: stop rather than loop
    }
  }
}

template <typename Unit>
void CTextBufferT<Unit>::AppendPaddedInt(std::int32_t value, std::uint32_t width) {
  Unit digits[24];
  Decimal(value, digits);
  const std::uint64_t length = LengthOf(digits);
  if (width == TEXT_NO_PADDING || value < 1) {
    Append(digits, static_cast<std::int64_t>(length));
    return;
  }
  // Exactly width units: zeros in front of a shorter number, the first digits of a longer one.
  for (std::uint64_t i = length; i < width; ++i) {
    const Unit zero = static_cast<Unit>('0');
    Append(&zero, 1);
  }
  Append(digits, static_cast<std::int64_t>(length < width ? length : width));
}

template <typename Unit>
void CTextBufferT<Unit>::AppendInt64(std::int64_t value) {
  Unit digits[24];
  Decimal(value, digits);
  AppendText(digits);
}

template class CTextBufferT<char>;
template class CTextBufferT<char16_t>;

// ---- narrow ----------------------------------------------------------------------------------------------------

void CTextBufferA::AppendFromWide(const char16_t* text, std::uint64_t n, std::uint32_t codePage) {
  if (!text || n == 0 || n > INT_MAX / 4 || !Reserve(m_nLength + 4 * n)) return;
  const std::uint64_t room = m_nCapacity - m_nLength;
  const int written = platform::WideToMultiByte(codePage, 0, text, static_cast<int>(n), m_pText + m_nLength,
                                                static_cast<int>(room < INT_MAX ? room : INT_MAX), nullptr, nullptr);
  if (written > 0) SetLength(m_nLength + static_cast<std::uint64_t>(written));
}

void CTextBufferA::AppendTranscoded(const char* bytes, std::uint64_t n, std::uint32_t codePage) {
  if (!bytes || n == 0) return;
  // Bytes of the buffer itself are found again by their offset once the reservation has moved them.
  const bool own = bHolds(bytes);
  const std::size_t offset = own ? static_cast<std::size_t>(bytes - m_pText) : 0;
  if (!Reserve(m_nLength + 4 * n)) return;
  if (own) bytes = m_pText + offset;
  // The copy fills and terminates the room it is given: the reserved tail and the buffer's spare unit.
  const std::size_t written = nCopyFromCodePage(codePage, bytes, static_cast<std::size_t>(n), m_pText + m_nLength,
                                                static_cast<std::size_t>(m_nCapacity - m_nLength + 1));
  SetLength(m_nLength + written);
}

std::uint64_t CTextBufferA::nFindChar(char byte, std::uint64_t start) const { return nFind(&byte, 1, start); }

void CTextBufferA::InsertAtFront(const char* bytes, std::uint64_t n) {
  if (m_nLength == 0) {
    Append(bytes, static_cast<std::int64_t>(n));
  } else {
    ReplaceRange(0, 0, bytes, n);
  }
}

void CTextBufferA::ReplaceAll(const char* search, std::uint64_t searchLength, const char* replacement,
                              std::uint64_t n, std::uint64_t start) {
  ReplaceEvery(search, searchLength, replacement, n, start);
}

// ---- wide ------------------------------------------------------------------------------------------------------

void CTextBufferW::AppendFromCodePage(const char* bytes, std::uint64_t n, std::uint32_t codePage) {
  if (!bytes || n == 0 || n > INT_MAX / 4 || !Reserve(m_nLength + 4 * n)) return;
  const std::uint64_t room = m_nCapacity - m_nLength;
  const int written = platform::MultiByteToWide(codePage, 0, bytes, static_cast<int>(n), m_pText + m_nLength,
                                                static_cast<int>(room < INT_MAX ? room : INT_MAX));
  if (written > 0) SetLength(m_nLength + static_cast<std::uint64_t>(written));
}

void CTextBufferW::AppendBinaryDigits(std::uint8_t byte) {
  char16_t digits[8];
  for (int i = 0; i < 8; ++i) digits[i] = (byte & (0x80 >> i)) ? u'1' : u'0';
  Append(digits, 8);
}

void CTextBufferW::AppendHex8(std::uint32_t value) {
  char16_t digits[8];
  for (int i = 0; i < 8; ++i) digits[i] = u"0123456789ABCDEF"[(value >> (28 - 4 * i)) & 0xF];
  Append(digits, 8);
}

std::uint64_t CTextBufferW::nFindChar(std::uint64_t start) const {
  const char16_t quote = u'\'';
  return nFind(&quote, 1, start);
}

void CTextBufferW::ReplaceAll(char16_t search, const char16_t* replacement, std::uint64_t n, std::uint64_t start) {
  ReplaceEvery(&search, 1, replacement, n, start);
}
