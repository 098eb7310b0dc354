// Runtime strings: CHostString (narrow: bytes in a code page, or UTF-8) and CHostWString (UTF-16), allocated by the
// runtime's string allocator (gpHostStringAllocator) so that either side can free them. A runtime string is one
// pointer to its first character; a null pointer is the empty string. A 16-byte header lies before the characters:
// flags, a reference count changed only atomically, the capacity and the length in bytes (the length is what
// counts). Strings are shared on copy and unshared before a write. Each object owns one reference: its destructor
// releases it.
//
// Operations answer 0 or a result code: HOST_ERR_TOO_LONG for a request of 0x7fffff00 units or more (checked before
// anything is allocated), HOST_ERR_CANNOT_CONVERT when a conversion yields nothing, HOST_ERR_NOT_SUPPORTED when no
// runtime allocator is bound, and any other code as the allocator answered it. The two-byte terminator that some
// operations write always lies inside the capacity: they ask the allocator for the room.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/host_result_codes.h"

inline constexpr std::uint32_t HOST_STRING_LIMIT = 0x7fffff00;
inline constexpr std::uint64_t HOST_TEXT_ZERO_TERMINATED = 0xFFFFFFFFFFFFFFFEull;

struct SHostStringHeader {
  std::uint32_t flags;  // HOST_STRING_FLAG_*: set by the runtime
  std::uint32_t references;
  std::uint32_t capacity;
  std::uint32_t length;
};
static_assert(sizeof(SHostStringHeader) == 16);
// A key value the runtime filled up to the highest value of its key (a range's upper end).
inline constexpr std::uint32_t HOST_STRING_FLAG_MAXIMUM = 0x1;

class CHostWString;

class CHostString {
 public:
  CHostString() = default;
  explicit CHostString(const char* text);
  CHostString(const CHostString& other) { Share(m_p, other.m_p); }
  CHostString& operator=(const CHostString& other) {
    Assign(m_p, other.m_p);
    return *this;
  }
  ~CHostString() { Release(m_p); }

  // On any runtime string pointer (narrow or wide).
  static void Release(void*& string);
  static void* Share(void*& target, void* source);
  static void Assign(void*& target, void* source);
  static SHostStringHeader* pHeader(void* string);

  std::int32_t nAllocate(std::uint32_t capacity, const void* data, std::uint32_t length);
  void SetData(const void* data, std::uint32_t n, std::uint32_t offset);
  std::int32_t nAssignBytes(const void* data, std::uint32_t n);
  std::int32_t nAppend(const void* data, std::uint32_t n);
  std::int32_t nSetLength(std::uint32_t n);
  std::int32_t nFromWide(const char16_t* text, std::int64_t length, std::uint32_t unused, std::uint32_t codePage);
  std::int32_t nFromCodePage(const char* bytes, std::int64_t length, std::uint32_t codePage);
  static std::int32_t nToWide(CHostWString& target, const char* bytes, std::int64_t length, std::uint32_t unused,
                              std::uint32_t codePage);

  std::int32_t nAllocateCopy(std::uint32_t capacity, const void* data, std::uint32_t length);
  std::int32_t nGrow(std::uint32_t n);
  std::int32_t nEnsureCapacity(std::uint32_t n);
  void SetByteLength(std::uint32_t n);
  std::int32_t nAssignText(const char* text, std::uint64_t n);

  char* pszGet() const { return static_cast<char*>(m_p); }
  std::uint32_t nGetLength() const;  // bytes
  void*& Pointer() { return m_p; }

 private:
  void* m_p = nullptr;
};

class CHostWString {
 public:
  CHostWString() = default;
  explicit CHostWString(const char16_t* text);
  CHostWString(const char16_t* data, std::uint32_t n);
  CHostWString(const CHostWString& other) { CHostString::Share(m_p, other.m_p); }
  CHostWString& operator=(const CHostWString& other) {
    CHostString::Assign(m_p, other.m_p);
    return *this;
  }
  ~CHostWString() { CHostString::Release(m_p); }

  std::int32_t nAllocateCopy(std::uint32_t n, const char16_t* data, std::uint32_t count);
  void SetData(const char16_t* data, std::uint32_t count, std::uint32_t offset);
  std::int32_t nAssignText(const char16_t* text, std::int64_t count);
  std::int32_t nAppendN(const char16_t* text, std::uint32_t count);
  std::int32_t nAssignWide(const char16_t* text, std::int64_t count);
  std::int32_t nGrow(std::uint32_t n);
  std::int32_t nEnsureCapacity(std::uint32_t n);
  void SetCharLength(std::uint32_t n);

  char16_t* pszGet() const { return static_cast<char16_t*>(m_p); }
  std::uint32_t nGetLength() const;  // characters
  void*& Pointer() { return m_p; }

 private:
  void* m_p = nullptr;
};
