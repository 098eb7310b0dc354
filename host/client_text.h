// Client texts: a text handed over in one encoding and given out in the other. CClientTextA takes UTF-16 and keeps
// a copy in the client's code page; CClientTextW takes the client's bytes (or UTF-16, code page CODE_PAGE_UTF16)
// and gives them out as UTF-16. The source is not owned and is read only within its counted length; the converted
// copy is a runtime string, owned and released with the object. Without a runtime allocator no copy can be made and
// the texts read as "".
#pragma once

#include <cstdint>

#include "host/host_string.h"

class CClientText {
 public:
  explicit CClientText(std::uint32_t codePage) : m_nCodePage(codePage) {}
  CClientText(const CClientText&) = delete;
  CClientText& operator=(const CClientText&) = delete;
  virtual ~CClientText() = default;

  // The narrow source, up to its counted bytes or a terminator within them, converted to UTF-16 from the code page.
  const char16_t* pszGetWideOfNarrow();

 protected:
  std::uint32_t m_nCodePage;
  const void* m_pSource = nullptr;
  std::uint64_t m_nSourceLength = 0;  // characters for a UTF-16 source, bytes for a narrow one
  CHostString m_narrowCopy;
  CHostWString m_wideCopy;
};

class CClientTextA : public CClientText {
 public:
  // A length of 0xFFFFFFFFFFFFFFFF or 0xFFFFFFFFFFFFFFFE means zero-terminated.
  CClientTextA(std::uint32_t codePage, const char16_t* text, std::uint64_t length);

  // The text in the code page; "" when empty or not converted (UTF-16 code page).
  const char* pszGetNarrow() const { return m_narrowCopy.pszGet() ? m_narrowCopy.pszGet() : ""; }
  std::uint32_t nGetNarrowLength() const { return m_narrowCopy.nGetLength(); }

 protected:
  explicit CClientTextA(std::uint32_t codePage) : CClientText(codePage) {}
};

class CClientTextW : public CClientTextA {
 public:
  explicit CClientTextW(std::uint32_t codePage) : CClientTextA(codePage) {}

  // The client's text: `bytes` bytes (twice the characters for UTF-16).
  void SetSource(const void* source, std::uint64_t bytes);
  // Null when there is no source; else a terminated UTF-16 copy of the source ("" when empty).
  const char16_t* pszGetWide();
};
