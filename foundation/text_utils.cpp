#include "foundation/text_utils.h"

#include <cstdlib>
#include <cstring>

int bIsBlankChar(char16_t unit) { return unit == 9 || unit == 10 || unit == 13 || unit == 32; }
int bIsDigitW(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

int bIsAllDigitsW(const char16_t* text) {
  for (; text && *text; ++text) {
    if (!bIsDigitW(*text)) return 0;
  }
  return 1;
}

int nDigitValueW(char16_t unit) { return unit - u'0'; }

int bIsWhiteSpaceW(char16_t unit) {
  if ((unit >= 9 && unit <= 13) || unit == 32) return 1;
  if (unit < 0x85) return 0;
  return unit == 0x85 || unit == 0xA0 || unit == 0x1680 || (unit >= 0x2000 && unit <= 0x200A) || unit == 0x2028 ||
         unit == 0x2029 || unit == 0x202F || unit == 0x205F || unit == 0x3000;
}

void TrimRightW(char16_t* text) {
  if (!text) return;
  std::size_t n = nLengthW(text);
  while (n > 0 && bIsWhiteSpaceW(text[n - 1])) --n;
  text[n] = 0;
}

void TrimLeftW(char16_t* text) {
  if (!text) return;
  std::size_t skip = 0;
  while (text[skip] && bIsWhiteSpaceW(text[skip])) ++skip;
  if (skip) std::memmove(text, text + skip, (nLengthW(text + skip) + 1) * sizeof(char16_t));
}

void TrimW(char16_t* text) {
  TrimRightW(text);
  TrimLeftW(text);
}

std::size_t nLengthW(const char16_t* text) {
  std::size_t n = 0;
  if (text) {
    while (text[n]) ++n;
  }
  return n;
}

namespace {

template <typename Unit>
std::size_t BoundedLength(const Unit* text, std::uint64_t n) {
  std::size_t length = 0;
  if (text) {
    while (length < n && text[length]) ++length;
  }
  return length;
}

// Copies the text bounded by n into dst of size units, always terminated when size > 0.
template <typename Unit>
std::size_t CopyBounded(Unit* dst, std::size_t size, const Unit* src, std::uint64_t n) {
  if (size == 0 || !dst) return 0;
  std::size_t length = BoundedLength(src, n);
  if (length > size - 1) length = size - 1;
  if (length) std::memmove(dst, src, length * sizeof(Unit));
  dst[length] = 0;
  return length;
}

template <typename Unit>
Unit* Alloc(std::size_t n) {
  if (n >= SIZE_MAX / sizeof(Unit)) return nullptr;
  return static_cast<Unit*>(std::malloc((n + 1) * sizeof(Unit)));
}

template <typename Unit>
Unit* DupN(std::uint64_t n, const Unit* text) {
  const std::size_t length = BoundedLength(text, n);
  Unit* copy = Alloc<Unit>(length);
  if (copy) {
    if (length) std::memcpy(copy, text, length * sizeof(Unit));
    copy[length] = 0;
  }
  return copy;
}

}  // namespace

std::size_t nBoundedLengthW(const char16_t* text, std::int64_t n) {
  return n <= 0 ? 0 : BoundedLength(text, static_cast<std::uint64_t>(n));
}
std::size_t nBoundedLengthA(const char* text, std::int64_t n) {
  return n <= 0 ? 0 : BoundedLength(text, static_cast<std::uint64_t>(n));
}

std::size_t nCopyBoundedW(char16_t* dst, std::size_t size, const char16_t* src) {
  return CopyBounded(dst, size, src, TEXT_WHOLE);
}
std::size_t nCopyBoundedNW(char16_t* dst, std::size_t size, const char16_t* src, std::uint64_t n) {
  return CopyBounded(dst, size, src, n);
}
std::size_t nCopyBoundedA(char* dst, std::size_t size, const char* src, std::uint64_t n) {
  return CopyBounded(dst, size, src, n);
}

void AppendBoundedNW(char16_t* dst, std::size_t size, const char16_t* src, std::uint64_t n) {
  if (!dst || size == 0) return;
  const std::size_t used = BoundedLength(dst, size - 1);
  CopyBounded(dst + used, size - used, src, n);
}
void AppendBoundedW(char16_t* dst, std::size_t size, const char16_t* src) {
  AppendBoundedNW(dst, size, src, TEXT_WHOLE);
}

std::uint32_t nCopyWideBounded(const char16_t* src, std::uint32_t n, char16_t* dst, std::uint32_t size) {
  if (n == 0xFFFFFFFF) n = static_cast<std::uint32_t>(nLengthW(src) + 1);
  if (size == 0) return n;
  const std::uint32_t count = n < size ? n : size;
  if (count && src && dst) std::memmove(dst, src, count * sizeof(char16_t));
  return src && dst ? count : 0;
}

char16_t* pszAllocW(std::size_t n) { return Alloc<char16_t>(n); }
char* pszAllocA(std::size_t n) { return Alloc<char>(n); }
char16_t* pszDupW(const char16_t* text) { return DupN(TEXT_WHOLE, text); }
char* pszDupA(const char* text) { return DupN(TEXT_WHOLE, text); }
char16_t* pszDupNW(std::size_t n, const char16_t* text) { return DupN(n, text); }
char* pszDupNA(std::size_t n, const char* text) { return DupN(n, text); }

char16_t* pszReallocW(char16_t* text, std::size_t n) {
  if (n >= SIZE_MAX / sizeof(char16_t)) return nullptr;
  return static_cast<char16_t*>(std::realloc(text, (n + 1) * sizeof(char16_t)));
}

void FreeText(void* text) { std::free(text); }
