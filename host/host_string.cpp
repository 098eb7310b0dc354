#include <algorithm>
#include "host/host_string.h"

#include <atomic>
#include <cstring>
#include <vector>

#include "foundation/code_pages.h"
#include "foundation/text_utils.h"
#include "host/host_services.h"
#include "platform/code_page.h"

namespace {

constexpr std::uint32_t kTerminatorBytes = 2;

SHostStringHeader* Header(void* string) {
  return reinterpret_cast<SHostStringHeader*>(static_cast<char*>(string) - sizeof(SHostStringHeader));
}

std::atomic_ref<std::uint32_t> References(void* string) {
  return std::atomic_ref<std::uint32_t>(Header(string)->references);
}

bool IsShared(void* string) { return References(string).load() >= 2; }

std::int32_t Allocate(void*& string, std::uint32_t capacity, std::uint32_t sizeWord) {
  if (!gpHostStringAllocator) return HOST_ERR_NOT_SUPPORTED;
  void* fresh = nullptr;
  const std::int32_t result = gpHostStringAllocator->nAllocate(&fresh, capacity, sizeWord);
  if (result != HOST_OK) return result;
  Header(fresh)->length = 0;
  string = fresh;
  return HOST_OK;
}

std::int32_t Reallocate(void*& string, std::uint32_t capacity) {
  if (!gpHostStringAllocator) return HOST_ERR_NOT_SUPPORTED;
  return gpHostStringAllocator->nReallocate(&string, capacity);
}

// The two zero bytes behind the data, as far as the capacity holds them (the callers ask for the room).
void WriteTerminator(void* string) {
  SHostStringHeader* header = Header(string);
  for (std::uint32_t i = 0; i < kTerminatorBytes && header->length + i < header->capacity; ++i) {
    static_cast<char*>(string)[header->length + i] = 0;
  }
}

// Copies bytes to a byte offset and sets the length behind them; nothing when they would pass the capacity.
bool CopyAt(void* string, const void* data, std::uint64_t offset, std::uint64_t bytes) {
  if (!data || !string) return false;
  SHostStringHeader* header = Header(string);
  if (offset + bytes > header->capacity) return false;
  std::memmove(static_cast<char*>(string) + offset, data, static_cast<std::size_t>(bytes));
  header->length = static_cast<std::uint32_t>(offset + bytes);
  return true;
}

// Data that lies in the string's own buffer moves when the buffer does: such data is copied aside first.
const void* Stable(void* string, const void* data, std::uint32_t bytes, std::vector<char>& aside) {
  if (!string || !data) return data;
  const char* begin = static_cast<const char*>(string);
  const auto* p = static_cast<const char*>(data);
  if (p < begin || p >= begin + Header(string)->capacity) return data;
  aside.assign(p, p + bytes);
  return aside.data();
}

// The allocator's size word counts the units of the string being made: bytes for a narrow string, characters for
// a wide one.
constexpr std::uint32_t kNarrowUnit = 1;
constexpr std::uint32_t kWideUnit = 2;

// Makes the string hold at least `bytes` bytes for this holder alone: an unshared string is resized when too
// small; a shared one is replaced by a new one holding min(bytes, length) of its bytes and its flags.
std::int32_t GrowBytes(void*& string, std::uint32_t bytes, std::uint32_t unit) {
  if (!string) return Allocate(string, bytes, 0);
  if (!IsShared(string)) {
    return Header(string)->capacity < bytes ? Reallocate(string, bytes) : std::int32_t{HOST_OK};
  }
  SHostStringHeader* old = Header(string);
  const std::uint32_t keep = old->length < bytes ? old->length : bytes;
  void* fresh = nullptr;
  const std::int32_t result = Allocate(fresh, bytes, keep / unit);
  if (result != HOST_OK) return result;
  std::memcpy(fresh, string, keep);
  Header(fresh)->flags = old->flags;
  Header(fresh)->length = keep;
  CHostString::Release(string);
  string = fresh;
  return HOST_OK;
}

// Replaces the content with `bytes` bytes of data: an unshared buffer is reused (resized when too small), a shared
// one released and a new one allocated.
std::int32_t AssignBytes(void*& string, const void* data, std::uint32_t bytes, bool terminate, std::uint32_t unit) {
  std::vector<char> aside;
  data = Stable(string, data, bytes, aside);
  const std::uint32_t room = bytes + (terminate ? kTerminatorBytes : 0);
  if (string && IsShared(string)) CHostString::Release(string);
  std::int32_t result = HOST_OK;
  if (!string) {
    result = Allocate(string, room, bytes / unit);
  } else if (Header(string)->capacity < room) {
    result = Reallocate(string, room);
  }
  if (result != HOST_OK) return result;
  if (bytes) std::memcpy(string, data, bytes);
  Header(string)->length = bytes;
  if (terminate) WriteTerminator(string);
  return HOST_OK;
}

}  // namespace

// ---- common to both kinds ------------------------------------------------------------------------------------

SHostStringHeader* CHostString::pHeader(void* string) { return string ? Header(string) : nullptr; }

void CHostString::Release(void*& string) {
  if (!string) return;
  if (References(string).fetch_sub(1) == 1) {
    // Without an allocator nothing could have made the string; one the runtime handed over is then left to it.
    if (gpHostStringAllocator) gpHostStringAllocator->Free(string);
  }
  string = nullptr;
}

void* CHostString::Share(void*& target, void* source) {
  if (source) {
    target = source;
    References(source).fetch_add(1);
  }
  return target;
}

void CHostString::Assign(void*& target, void* source) {
  if (target == source) return;
  Release(target);
  Share(target, source);
}

// ---- CHostString ---------------------------------------------------------------------------------------------

CHostString::CHostString(const char* text) { nAssignText(text, HOST_TEXT_ZERO_TERMINATED); }

std::uint32_t CHostString::nGetLength() const { return m_p ? Header(m_p)->length : 0; }

std::int32_t CHostString::nAllocate(std::uint32_t capacity, const void* data, std::uint32_t length) {
  if (capacity == 0) return HOST_OK;
  if (capacity >= HOST_STRING_LIMIT || length >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
  Release(m_p);
  // The data always fits: a capacity below the length would be written past.
  const std::int32_t result = Allocate(m_p, capacity > length ? capacity : length, length);
  if (result != HOST_OK) return result;
  SetData(data, length, 0);
  return HOST_OK;
}

void CHostString::SetData(const void* data, std::uint32_t n, std::uint32_t offset) { CopyAt(m_p, data, offset, n); }

std::int32_t CHostString::nAssignBytes(const void* data, std::uint32_t n) {
  if (n == 0) {
    Release(m_p);
    return HOST_OK;
  }
  if (n >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
  return AssignBytes(m_p, data, n, false, kNarrowUnit);
}

std::int32_t CHostString::nAppend(const void* data, std::uint32_t n) {
  if (n == 0) return HOST_OK;
  if (!m_p) return nAssignBytes(data, n);
  const std::uint32_t old = Header(m_p)->length;
  if (static_cast<std::uint64_t>(old) + n >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
  std::vector<char> aside;
  data = Stable(m_p, data, n, aside);
  const std::int32_t result = GrowBytes(m_p, old + n, kNarrowUnit);
  if (result != HOST_OK) return result;
  SetData(data, n, old);
  return HOST_OK;
}

std::int32_t CHostString::nSetLength(std::uint32_t n) {
  if (n >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
  if (!m_p && n == 0) return HOST_OK;
  const std::int32_t result = GrowBytes(m_p, n, kNarrowUnit);
  if (result != HOST_OK) return result;
  Header(m_p)->length = n;
  return HOST_OK;
}

std::int32_t CHostString::nAllocateCopy(std::uint32_t capacity, const void* data, std::uint32_t length) {
  if (capacity == 0) return HOST_OK;
  if (capacity >= HOST_STRING_LIMIT || length >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
  Release(m_p);
  // Room for the data and its terminator, whatever capacity was asked.
  const std::uint32_t room = length + kTerminatorBytes > capacity ? length + kTerminatorBytes : capacity;
  const std::int32_t result = Allocate(m_p, room, length);
  if (result != HOST_OK) return result;
  if (data && length) std::memcpy(m_p, data, length);
  Header(m_p)->length = length;
  WriteTerminator(m_p);
  return HOST_OK;
}

std::int32_t CHostString::nGrow(std::uint32_t n) {
  if (n >= HOST_STRING_LIMIT && (!m_p || IsShared(m_p) || Header(m_p)->capacity < n)) return HOST_ERR_TOO_LONG;
  return GrowBytes(m_p, n, kNarrowUnit);
}

std::int32_t CHostString::nEnsureCapacity(std::uint32_t n) {
  if (m_p) return nGrow(n);
  if (n == 0) return HOST_OK;
  if (n >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
  return Allocate(m_p, n, 0);
}

void CHostString::SetByteLength(std::uint32_t n) {
  if (!m_p) return;
  if (n == 0) {
    Release(m_p);
    return;
  }
  SHostStringHeader* header = Header(m_p);
  header->length = n < header->capacity ? n : header->capacity;
  WriteTerminator(m_p);
}

std::int32_t CHostString::nAssignText(const char* text, std::uint64_t n) {
  if (n >= HOST_TEXT_ZERO_TERMINATED) n = text ? std::strlen(text) : 0;
  if (!text || n == 0) {
    Release(m_p);
    return HOST_OK;
  }
  if (n >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
  // A text is read up to its terminator (and keyed and saved with it): a reused buffer holds older bytes there.
  return AssignBytes(m_p, text, static_cast<std::uint32_t>(n), true, kNarrowUnit);
}

std::int32_t CHostString::nFromWide(const char16_t* text, std::int64_t length, std::uint32_t, std::uint32_t codePage) {
  Release(m_p);
  if (length == -1) length = static_cast<std::int64_t>(nLengthW(text));
  if (!text || length < 1) return HOST_OK;
  if (length >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
  const int n = static_cast<int>(length);
  const int measured = platform::WideToMultiByte(codePage, 0, text, n, nullptr, 0, nullptr, nullptr);
  if (measured <= 0) return HOST_ERR_CANNOT_CONVERT;
  const std::int32_t result = nAllocateCopy(static_cast<std::uint32_t>(measured) + 1, nullptr, 0);
  if (result != HOST_OK) return result;
  const int converted = platform::WideToMultiByte(codePage, 0, text, n, pszGet(), measured, nullptr, nullptr);
  if (converted <= 0) {
    Release(m_p);
    return HOST_ERR_CANNOT_CONVERT;
  }
  Header(m_p)->length = static_cast<std::uint32_t>(converted);
  WriteTerminator(m_p);
  return HOST_OK;
}

std::int32_t CHostString::nFromCodePage(const char* bytes, std::int64_t length, std::uint32_t codePage) {
  Release(m_p);
  if (length == -1) length = bytes ? static_cast<std::int64_t>(std::strlen(bytes)) : 0;
  if (!bytes || length < 1) return HOST_OK;
  if (length >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
  if (codePage == CODE_PAGE_UTF8) return nAssignText(bytes, static_cast<std::uint64_t>(length));
  const auto n = static_cast<std::uint32_t>(length);
  // A two-byte UTF-8 character can take four bytes in GB18030 ("ñ" is one of them): room for twice the bytes, so
  // that a valid text converts whole instead of being refused for want of room.
  const std::uint64_t room = std::min<std::uint64_t>(2ull * n, HOST_STRING_LIMIT - 1) + 1;
  const std::int32_t result = nAllocateCopy(static_cast<std::uint32_t>(room), nullptr, 0);
  if (result != HOST_OK) return result;
  const std::size_t copied = nCopyToCodePage(codePage, bytes, n, pszGet(), static_cast<std::size_t>(room));
  if (copied == 0) {
    Release(m_p);
    return HOST_ERR_CANNOT_CONVERT;
  }
  Header(m_p)->length = static_cast<std::uint32_t>(copied);
  WriteTerminator(m_p);
  return HOST_OK;
}

std::int32_t CHostString::nToWide(CHostWString& target, const char* bytes, std::int64_t length, std::uint32_t,
                                  std::uint32_t codePage) {
  Release(target.Pointer());
  if (length == -1) length = bytes ? static_cast<std::int64_t>(std::strlen(bytes)) : 0;
  if (!bytes || length < 1) return HOST_OK;
  if (length >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
  const int n = static_cast<int>(length);
  const int measured = platform::MultiByteToWide(codePage, 0, bytes, n, nullptr, 0);
  if (measured <= 0) return HOST_ERR_CANNOT_CONVERT;
  const std::int32_t result = target.nAllocateCopy(static_cast<std::uint32_t>(measured) + 1, nullptr, 0);
  if (result != HOST_OK) return result;
  const int converted = platform::MultiByteToWide(codePage, 0, bytes, n, target.pszGet(), measured);
  if (converted <= 0) {
    Release(target.Pointer());
    return HOST_ERR_CANNOT_CONVERT;
  }
  target.SetCharLength(static_cast<std::uint32_t>(converted));
  return HOST_OK;
}

// ---- CHostWString --------------------------------------------------------------------------------------------

CHostWString::CHostWString(const char16_t* text) { nAssignText(text, -1); }
CHostWString::CHostWString(const char16_t* data, std::uint32_t n) { nAssignText(data, n); }

std::uint32_t CHostWString::nGetLength() const { return m_p ? Header(m_p)->length / 2 : 0; }

std::int32_t CHostWString::nAllocateCopy(std::uint32_t n, const char16_t* data, std::uint32_t count) {
  if (n == 0) return HOST_OK;
  if (n >= HOST_STRING_LIMIT || count >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
  CHostString::Release(m_p);
  // The characters and their terminator always fit, whatever capacity was asked.
  const std::uint32_t characters = count + 1 > n ? count + 1 : n;
  const std::int32_t result = Allocate(m_p, 2 * characters, count);
  if (result != HOST_OK) return result;
  SetData(data, count, 0);
  return HOST_OK;
}

void CHostWString::SetData(const char16_t* data, std::uint32_t count, std::uint32_t offset) {
  if (CopyAt(m_p, data, 2ull * offset, 2ull * count)) WriteTerminator(m_p);
}

std::int32_t CHostWString::nAssignText(const char16_t* text, std::int64_t count) {
  if (count == -1) count = static_cast<std::int64_t>(nLengthW(text));
  if (!text || count <= 0) {
    CHostString::Release(m_p);
    return HOST_OK;
  }
  if (count >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
  return AssignBytes(m_p, text, 2 * static_cast<std::uint32_t>(count), true, kWideUnit);
}

std::int32_t CHostWString::nAppendN(const char16_t* text, std::uint32_t count) {
  if (count == 0 || !text) return HOST_OK;
  if (!m_p) return nAssignText(text, count);
  const std::uint32_t old = nGetLength();
  if (static_cast<std::uint64_t>(old) + count >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
  std::vector<char> aside;
  text = static_cast<const char16_t*>(Stable(m_p, text, 2 * count, aside));
  // One character more than the text for the terminator.
  const std::int32_t result = nGrow(old + count + 1);
  if (result != HOST_OK) return result;
  // Cleared once the string is this holder's alone, so that a sharing holder keeps its flags.
  Header(m_p)->flags &= ~1u;
  SetData(text, count, old);
  return HOST_OK;
}

std::int32_t CHostWString::nAssignWide(const char16_t* text, std::int64_t count) {
  CHostString::Release(m_p);
  if (!text || count < 1) return HOST_OK;
  if (count >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
  const auto n = static_cast<std::uint32_t>(count);
  const std::int32_t result = nAllocateCopy(n + 1, nullptr, 0);
  if (result != HOST_OK) return result;
  const std::uint32_t copied = nCopyWideBounded(text, n, pszGet(), n + 1);
  if (copied == 0) {
    CHostString::Release(m_p);
    return HOST_ERR_CANNOT_CONVERT;
  }
  SetCharLength(copied);
  return HOST_OK;
}

std::int32_t CHostWString::nGrow(std::uint32_t n) {
  if (n >= HOST_STRING_LIMIT && (!m_p || IsShared(m_p) || Header(m_p)->capacity < 2ull * n)) {
    return HOST_ERR_TOO_LONG;
  }
  return GrowBytes(m_p, 2 * n, kWideUnit);
}

std::int32_t CHostWString::nEnsureCapacity(std::uint32_t n) {
  if (m_p) return nGrow(n);
  if (n == 0) return HOST_OK;
  if (n >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
  return Allocate(m_p, 2 * n, 0);
}

void CHostWString::SetCharLength(std::uint32_t n) {
  if (!m_p) return;
  if (n == 0) {
    CHostString::Release(m_p);
    return;
  }
  SHostStringHeader* header = Header(m_p);
  const std::uint64_t bytes = 2ull * n;
  header->length = static_cast<std::uint32_t>(bytes < header->capacity ? bytes : header->capacity & ~1u);
  WriteTerminator(m_p);
}
