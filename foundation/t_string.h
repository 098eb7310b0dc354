// CTString: the system's owning UTF-16 string. One pointer to a heap buffer of units, zero-terminated; a null
// buffer is the empty string and the length is counted on demand. The buffer fits the text and its terminator
// exactly and is reallocated by every change of length. A failed allocation leaves the string empty (null).
// It is also what the client entry-point stubs throw, so copying and destroying it have no side effects.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

inline constexpr std::uint32_t TSTRING_NOT_FOUND = 0xFFFFFFFF;

// Marks the formatting constructor, which would otherwise read like the (text, n) one. It carries a byte: MinGW's
// 64-bit GCC gives an empty class argument a slot at the call but none where the variadic callee starts its list,
// so each formatted argument was read from the slot before its own.
struct STStringFormat {
  char unused = 0;
};
inline constexpr STStringFormat TSTRING_FORMAT{};

class CTString {
 public:
  CTString() = default;
  CTString(const char16_t* text);  // NOLINT(google-explicit-constructor): texts convert as literals do
  CTString(const CTString& other);
  CTString(CTString&& other) noexcept;
  CTString(const char16_t* text, std::size_t n);
  CTString(STStringFormat, const char16_t* format, ...);
  ~CTString();

  CTString& operator=(const CTString& other);
  CTString& operator=(CTString&& other) noexcept;
  CTString& operator=(const char16_t* text);

  void Assign(const char16_t* text);
  void AssignN(const char16_t* text, std::size_t n);
  void AssignBounded(const char16_t* text, std::size_t n);
  void AssignChar(char16_t unit);
  void AssignFromAnsi(const char* text);
  void SetLength(std::size_t n);  // contents kept up to the old length; new units are zero; terminated at n
  void Empty();

  const char16_t* pszGet() const { return m_psz ? m_psz : u""; }
  int bIsEmpty() const { return !m_psz || !m_psz[0]; }
  std::size_t nGetLength() const;
  char16_t nGetAt(std::size_t i) const { return m_psz ? m_psz[i] : 0; }
  int bEquals(const char16_t* text) const;
  int bEqualsNoCase(const char16_t* text) const;
  int bEqualsClientPathNoCase(const char16_t* clientPath) const;
  std::uint32_t nFind(const char16_t* text, std::size_t start) const;
  std::uint32_t nFindSemicolon(std::size_t start) const;
  std::uint32_t nCountDots() const;

  void Append(const char16_t* text);
  void AppendN(const char16_t* text, std::int64_t n);
  void AppendChar(char16_t unit);
  void Truncate(std::int64_t n);
  void TrimRight();
  void Trim();
  void FoldCase();
  void Delete(std::size_t start, std::size_t count);
  void PadWithNines(std::size_t n);

  void Mid(CTString& out, std::size_t start, std::size_t count) const;
  void MidToEnd(CTString& out, std::size_t start) const;
  void Left(CTString& out, std::size_t n) const { Mid(out, 0, n); }
  int bGetToken(CTString& out, std::size_t n, const char16_t* separator) const;
  int bGetDottedPart(CTString& out, std::size_t n) const;

  void FormatV(const char16_t* format, va_list arguments);
  void Format(const char16_t* format, ...);

  // Takes over a buffer from pszAllocW/pszDupW (the old one is freed), or hands its own over and is left null.
  void Attach(char16_t* buffer);
  char16_t* Detach();

 private:
  // Resizes the buffer to n units plus the terminator, keeping its contents; false (buffer freed) when it fails.
  bool Resize(std::size_t n);

  char16_t* m_psz = nullptr;
};
