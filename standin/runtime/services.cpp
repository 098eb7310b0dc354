#include "standin/runtime/services.h"

#include <cstdlib>
#include <cstring>

namespace qzrt::services {

namespace {

constexpr std::size_t kHeaderSize = 16;
// Room for the two-byte terminator the driver writes after a string's data.
constexpr std::size_t kSlack = 2;

struct Header {
  std::uint32_t flags;
  std::uint32_t references;
  std::uint32_t capacity;
  std::uint32_t length;
};
static_assert(sizeof(Header) == kHeaderSize);

Header* HeaderOf(void* characters) { return reinterpret_cast<Header*>(static_cast<char*>(characters) - kHeaderSize); }

char16_t FoldUnit(char16_t unit) { return (unit >= u'a' && unit <= u'z') ? static_cast<char16_t>(unit - 32) : unit; }

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
std::int32_t LocaleService::nGetCharset() { return 0; }
void LocaleService::Slot3() {}
void LocaleService::Slot4() {}
void LocaleService::Slot5() {}
void LocaleService::Slot6() {}

std::int32_t LocaleService::nCompareStrings(std::uint32_t, std::uint32_t flags, const char16_t* a,
                                            std::int32_t lengthA, const char16_t* b, std::int32_t lengthB) {
  const std::int32_t na = LengthOf(a, lengthA);
  const std::int32_t nb = LengthOf(b, lengthB);
  const bool ignoreCase = (flags & 1) != 0;
  for (std::int32_t i = 0; i < na && i < nb; ++i) {
    const char16_t x = ignoreCase ? FoldUnit(a[i]) : a[i];
    const char16_t y = ignoreCase ? FoldUnit(b[i]) : b[i];
    if (x != y) return x < y ? -1 : 1;
  }
  return na == nb ? 0 : (na < nb ? -1 : 1);
}

void LocaleService::Slot8() {}
void LocaleService::Slot9() {}
void LocaleService::Slot10() {}

std::int32_t LocaleService::nMapString(std::uint32_t, const char16_t* source, std::int32_t sourceLength,
                                       char16_t* target, std::int32_t targetSize) {
  const std::int32_t n = LengthOf(source, sourceLength);
  if (!target || targetSize < n) return 0;
  for (std::int32_t i = 0; i < n; ++i) target[i] = FoldUnit(source[i]);
  return n;
}

void LocaleService::Slot12() {}

std::int32_t LocaleService::nMapStringForLanguage(std::uint32_t, std::uint32_t, char16_t* target,
                                                  std::int32_t targetSize, const char16_t* source) {
  const std::int32_t n = LengthOf(source, -1);
  if (!target || targetSize < n + 1) return 0;
  for (std::int32_t i = 0; i < n; ++i) target[i] = FoldUnit(source[i]);
  target[n] = 0;
  return n + 1;
}

void LocaleService::Slot14() {}
std::int32_t LocaleService::nGetLanguageId() { return 1036; }

void StringAllocator::Slot0() {}

std::int32_t StringAllocator::nAllocate(void** string, std::uint32_t capacity, std::uint32_t) {
  auto* block = static_cast<char*>(std::calloc(1, kHeaderSize + capacity + kSlack));
  if (!block) return 8;
  auto* header = reinterpret_cast<Header*>(block);
  header->references = 1;
  header->capacity = capacity;
  *string = block + kHeaderSize;
  return 0;
}

std::int32_t StringAllocator::nReallocate(void** string, std::uint32_t capacity) {
  if (!*string) return nAllocate(string, capacity, 0);
  auto* block = static_cast<char*>(std::realloc(HeaderOf(*string), kHeaderSize + capacity + kSlack));
  if (!block) return 8;
  reinterpret_cast<Header*>(block)->capacity = capacity;
  *string = block + kHeaderSize;
  return 0;
}

void StringAllocator::Free(void* string) {
  if (string) std::free(HeaderOf(string));
}

void* NewRuntimeString(const void* bytes, std::uint32_t length) {
  void* string = nullptr;
  if (length == 0 || TheStringAllocator().nAllocate(&string, length, length) != 0) return nullptr;
  std::memcpy(string, bytes, length);
  HeaderOf(string)->length = length;
  std::memset(static_cast<char*>(string) + length, 0, kSlack);
  return string;
}

std::uint32_t RuntimeStringLength(const void* string) {
  return string ? HeaderOf(const_cast<void*>(string))->length : 0;
}

void ReleaseRuntimeString(void* string) {
  if (string && __atomic_sub_fetch(&HeaderOf(string)->references, 1, __ATOMIC_ACQ_REL) == 0) {
    TheStringAllocator().Free(string);
  }
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
