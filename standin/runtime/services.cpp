#include "standin/runtime/services.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "standin/runtime/runtime_code_page.h"

namespace qzrt::services {

namespace {

constexpr std::size_t kHeaderSize = 16;
// Room for a two-byte terminator after the capacity, unless the no-slack mode is on.
constexpr std::size_t kSlack = 2;

struct Header {
  std::uint32_t flags;
  std::uint32_t references;
  std::uint32_t capacity;
  std::uint32_t length;
};
static_assert(sizeof(Header) == kHeaderSize);

Header* HeaderOf(void* characters) { return reinterpret_cast<Header*>(static_cast<char*>(characters) - kHeaderSize); }

// Base letters of U+00C0..U+017F for the non-spacing-mark folding; '.' keeps the letter (ligatures, strokes and
// letters that carry no separable mark).
constexpr char kBaseLetters[] =
    "AAAAAA.CEEEEIIII.NOOOOO..UUUUY.."
    "aaaaaa.ceeeeiiii.nooooo..uuuuy.y"
    "AaAaAaCcCcCcCcDd..EeEeEeEeEeGgGg"
    "GgGgHh..IiIiIiIiI...JjKk.LlLlLl."
    "...NnNnNn...OoOoOo..RrRrRrSsSsSs"
    "SsTtTt..UuUuUuUuUuUuWwYyYZzZzZz.";
static_assert(sizeof(kBaseLetters) == 0x180 - 0xC0 + 1);

char16_t UpperUnit(char16_t u) {
  if (u >= u'a' && u <= u'z') return static_cast<char16_t>(u - 32);
  if ((u >= 0xE0 && u <= 0xFE && u != 0xF7)) return static_cast<char16_t>(u - 32);
  if (u == 0xFF) return 0x178;
  if (u >= 0x100 && u <= 0x17F) {
    const bool oddUpper = (u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E);
    const bool isLower = oddUpper ? (u % 2 == 0) : (u % 2 == 1);
    if (u == 0x131 || u == 0x138 || u == 0x149 || u == 0x17F) return u;
    return isLower ? static_cast<char16_t>(u - 1) : u;
  }
  if (u >= 0x3B1 && u <= 0x3C9) return u == 0x3C2 ? char16_t{0x3A3} : static_cast<char16_t>(u - 32);
  if (u >= 0x430 && u <= 0x44F) return static_cast<char16_t>(u - 32);
  if (u >= 0x450 && u <= 0x45F) return static_cast<char16_t>(u - 80);
  return u;
}

bool IsNonSpacingMark(char16_t u) { return u >= 0x300 && u <= 0x36F; }

// The folded form of a text under the comparison flags; marks dropped with flag 2.
std::u16string Fold(const char16_t* text, std::int32_t length, std::uint32_t flags) {
  std::u16string out;
  for (std::int32_t i = 0; i < length; ++i) {
    char16_t u = text[i];
    if (flags & 2) {
      if (IsNonSpacingMark(u)) continue;
      if (u >= 0xC0 && u < 0x180 && kBaseLetters[u - 0xC0] != '.') u = static_cast<char16_t>(kBaseLetters[u - 0xC0]);
    }
    out += (flags & 1) ? UpperUnit(u) : u;
  }
  return out;
}

std::int32_t LengthOf(const char16_t* text, std::int32_t length) {
  if (!text) return 0;
  if (length >= 0) return length;
  std::int32_t n = 0;
  while (text[n]) ++n;
  return n;
}

}  // namespace

std::int32_t StateService::nQueryState(std::intptr_t argument) { return StateAnswerFor(argument); }

void LocaleService::Slot0() {}
void LocaleService::Slot1() {}
std::int32_t LocaleService::nGetCharset() { return m_nCharset; }
std::uint32_t LocaleService::nGetCodePageOfText(const char*, std::int64_t) { return RuntimeCodePage(); }
void LocaleService::Slot4() {}
void LocaleService::Slot5() {}
void LocaleService::Slot6() {}

std::int32_t LocaleService::nCompareStrings(std::uint32_t, std::uint32_t flags, const char16_t* a,
                                            std::int32_t lengthA, const char16_t* b, std::int32_t lengthB) {
  const std::u16string x = Fold(a, LengthOf(a, lengthA), flags);
  const std::u16string y = Fold(b, LengthOf(b, lengthB), flags);
  return x == y ? 0 : (x < y ? -1 : 1);
}

void LocaleService::Slot8() {}
void LocaleService::Slot9() {}
void LocaleService::Slot10() {}

std::int32_t LocaleService::nMapString(std::uint32_t mode, const char16_t* source, std::int32_t sourceLength,
                                       char16_t* target, std::int32_t targetSize) {
  const std::int32_t n = LengthOf(source, sourceLength);
  if (!target || targetSize < n) return 0;
  for (std::int32_t i = 0; i < n; ++i) target[i] = mode == 1 ? UpperUnit(source[i]) : source[i];
  return n;
}

void LocaleService::Slot12() {}

std::int32_t LocaleService::nMapStringForLanguage(std::uint32_t, std::uint32_t flags, char16_t* target,
                                                  std::int32_t targetSize, const char16_t* source) {
  const std::u16string folded = Fold(source, LengthOf(source, -1), flags);
  const auto n = static_cast<std::int32_t>(folded.size());
  if (!target || targetSize < n + 1) return 0;
  std::memcpy(target, folded.c_str(), (folded.size() + 1) * sizeof(char16_t));
  return n + 1;
}

void LocaleService::Slot14() {}
std::int32_t LocaleService::nGetLanguageId() { return m_nLanguage; }

void StringAllocator::Slot0() {}

bool StringAllocator::bFailNext() {
  std::int32_t allowed = m_nAllowed.load();
  while (allowed >= 0) {
    if (allowed == 0) return true;
    if (m_nAllowed.compare_exchange_weak(allowed, allowed - 1)) return false;
  }
  return false;
}

std::int32_t StringAllocator::nAllocate(void** string, std::uint32_t capacity, std::uint32_t) {
  if (bFailNext()) return m_nFailureCode;
  const std::size_t slack = m_bNoSlack ? 0 : kSlack;
  auto* block = static_cast<char*>(std::calloc(1, kHeaderSize + capacity + slack));
  if (!block) return 8;
  auto* header = reinterpret_cast<Header*>(block);
  header->references = 1;
  header->capacity = capacity;
  *string = block + kHeaderSize;
  ++m_nLive;
  return 0;
}

std::int32_t StringAllocator::nReallocate(void** string, std::uint32_t capacity) {
  if (!*string) return nAllocate(string, capacity, 0);
  if (bFailNext()) return m_nFailureCode;
  const std::size_t slack = m_bNoSlack ? 0 : kSlack;
  auto* block = static_cast<char*>(std::realloc(HeaderOf(*string), kHeaderSize + capacity + slack));
  if (!block) return 8;
  reinterpret_cast<Header*>(block)->capacity = capacity;
  *string = block + kHeaderSize;
  return 0;
}

void StringAllocator::Free(void* string) {
  if (!string) return;
  std::free(HeaderOf(string));
  --m_nLive;
}

std::int32_t nNewRuntimeString(const void* bytes, std::uint32_t length, void** out) {
  *out = nullptr;
  if (length == 0) return 0;
  void* string = nullptr;
  // The terminator lies inside the capacity, as in the driver's own strings.
  if (const std::int32_t code = TheStringAllocator().nAllocate(&string, length + 2, length); code != 0) return code;
  std::memcpy(string, bytes, length);
  std::memset(static_cast<char*>(string) + length, 0, 2);
  HeaderOf(string)->length = length;
  *out = string;
  return 0;
}

std::uint32_t RuntimeStringLength(const void* string) {
  return string ? HeaderOf(const_cast<void*>(string))->length : 0;
}

void ReleaseRuntimeString(void* string) {
  if (string && __atomic_sub_fetch(&HeaderOf(string)->references, 1, __ATOMIC_ACQ_REL) == 0) {
    TheStringAllocator().Free(string);
  }
}

void MarkRuntimeStringMaximum(void* string, bool filled) {
  if (!string) return;
  Header* header = HeaderOf(string);
  header->flags = filled ? (header->flags | 1u) : (header->flags & ~1u);
}

StateService& TheStateService() {
  static StateService service;
  return service;
}
LocaleService& TheLocaleService() {
  static LocaleService service;
  return service;
}
StringAllocator& TheStringAllocator() {
  static StringAllocator allocator;
  return allocator;
}

}  // namespace qzrt::services
