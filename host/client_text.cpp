#include "host/client_text.h"

#include "foundation/code_pages.h"
#include "foundation/text_utils.h"

CClientTextA::CClientTextA(std::uint32_t codePage, const char16_t* text, std::uint64_t length)
    : CClientText(codePage) {
  if (length >= TEXT_ZERO_TERMINATED) length = nLengthW(text);
  m_pSource = text;
  m_nSourceLength = text && *text ? length : 0;
  if (codePage != CODE_PAGE_UTF16 && m_nSourceLength > 0) {
    m_narrowCopy.nFromWide(text, static_cast<std::int64_t>(m_nSourceLength), 0, codePage);
  }
}

const char16_t* CClientText::pszGetWideOfNarrow() {
  const auto* bytes = static_cast<const char*>(m_pSource);
  const std::size_t length = bytes ? nBoundedLengthA(bytes, static_cast<std::int64_t>(m_nSourceLength)) : 0;
  CHostString::nToWide(m_wideCopy, bytes, static_cast<std::int64_t>(length), 0, m_nCodePage);
  return m_wideCopy.pszGet() ? m_wideCopy.pszGet() : u"";
}

void CClientTextW::SetSource(const void* source, std::uint64_t bytes) {
  m_pSource = source;
  m_nSourceLength = source ? bytes : 0;
}

const char16_t* CClientTextW::pszGetWide() {
  if (!m_pSource) return nullptr;
  if (m_nCodePage != CODE_PAGE_UTF16) return pszGetWideOfNarrow();
  // Always a copy: whether the unit behind the counted ones is a terminator cannot be read safely.
  m_wideCopy.nAssignText(static_cast<const char16_t*>(m_pSource), static_cast<std::int64_t>(m_nSourceLength / 2));
  return m_wideCopy.pszGet() ? m_wideCopy.pszGet() : u"";
}
