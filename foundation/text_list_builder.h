// CTextListBuilder: builds a comma-separated list in a wide text buffer (step 1024), counting its items.
#pragma once

#include <cstdint>

#include "foundation/text_buffer.h"

class CTextListBuilder {
 public:
  CTextListBuilder() : m_text(1024) {}

  // "," first unless this is the first item; then the text (null or empty adds nothing); the count grows in every
  // case.
  void AddItem(const char16_t* text);

  const char16_t* pszGetText() const { return m_text.pszGetText(); }
  std::uint32_t nGetCount() const { return m_nCount; }

 private:
  CTextBufferW m_text;
  std::uint32_t m_nCount = 0;
};
