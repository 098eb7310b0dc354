#include "oracle/client/oci_call.h"

#include <cstring>
#include <string>

#include "driver/driver.h"
#include "foundation/code_pages.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/text_utils.h"
#include "host/library_entry.h"
#include "platform/code_page.h"

std::uint32_t gbOciClientFailed = 0;

void OnMissingOciEntry(COracleConnection* connection, CErrorHolder* holder, std::uint32_t point,
                       const CTString& entry) {
  RaiseModuleError(holder, 0, ERROR_UNIT_ORACLE_CALL, point, connection, nullptr, ERROR_MISSING_CLIENT_ENTRY,
                   entry.pszGet());
}

void OnOciClientFault(COracleConnection* connection, CErrorHolder* holder, std::uint32_t point) {
  CErrorHolder* target = holder ? holder : (gpDriver ? gpDriver->pGetErrorHolder() : nullptr);
  RaiseModuleError(target, 0, ERROR_UNIT_ORACLE_CALL, point, connection, nullptr, ERROR_CLIENT_FAULT, u"Oracle");
  if (gpDriver) gpDriver->OnClientLibraryFault(target, connection);
  gbOciClientFailed = 1;
}

void InsertWrapperMessage(CErrorHolder* holder, std::uint32_t message) {
  if (holder) holder->InsertUserMessage(message);
}

std::uint32_t nClientCodePage(COracleConnection* connection) {
  const std::uint32_t sqlCodePage = connection->nGetSessionCodePage();
  return sqlCodePage != SESSION_CODE_PAGE_UNSET ? sqlCodePage : connection->nGetAnsiCodePage();
}

bool bClientIsUtf16(COracleConnection* connection) { return nClientCodePage(connection) == CODE_PAGE_UTF16; }

COciText::COciText(COracleConnection* connection, const char16_t* text) { Encode(connection, text); }

void COciText::Encode(COracleConnection* connection, const char16_t* text) {
  if (!text) text = u"";
  if (bClientIsUtf16(connection)) {
    std::size_t units = 0;
    while (text[units]) ++units;
    m_pBytes = reinterpret_cast<oci::OraText*>(const_cast<char16_t*>(text));
    m_nBytes = static_cast<std::uint32_t>(units * 2);
    return;
  }
  std::size_t length = 0;
  if (nWideToCodePageAlloc(text, 0, &m_pOwned, &length, nClientCodePage(connection)) && m_pOwned) {
    m_pBytes = reinterpret_cast<oci::OraText*>(m_pOwned);
    m_nBytes = static_cast<std::uint32_t>(length > 0 ? length - 1 : 0);
  } else {
    // A text the code page cannot hold goes as an empty text: the client then reports what it misses. One the
    // code page holds failed for memory, which the caller reports instead of sending an empty text.
    m_pBytes = reinterpret_cast<oci::OraText*>(const_cast<char*>(""));
    m_nBytes = 0;
    m_bRefused = text[0] && platform::WideToMultiByte(nClientCodePage(connection), 0, text, -1, nullptr, 0, nullptr,
                                                      nullptr) > 0;
  }
}

bool bOciTextsMade(CErrorHolder* holder, std::initializer_list<const COciText*> texts) {
  for (const COciText* text : texts) {
    if (text->bRefused()) {
      SetHolderOutOfMemory(holder);
      return false;
    }
  }
  return true;
}

COciText::COciText(COracleConnection* connection, const char16_t* text, std::uint32_t units) {
  if (text && bClientIsUtf16(connection)) {
    // The client reads the units in place: no copy per call (a number's mask goes with every value fetched).
    std::uint32_t n = 0;
    while (n < units && text[n]) ++n;
    m_pBytes = reinterpret_cast<oci::OraText*>(const_cast<char16_t*>(text));
    m_nBytes = n * 2;
    return;
  }
  const CTString copy(text ? text : u"", text ? units : 0);
  Encode(connection, copy.pszGet());
  if (copy.bIsEmpty() && text && units > 0 && text[0]) m_bRefused = true;
}

COciText::~COciText() {
  if (m_pOwned) FreeText(m_pOwned);
}

bool ReadClientText(COracleConnection* connection, const void* text, std::uint32_t bytes, CTString& out) {
  if (bClientIsUtf16(connection)) {
    const char16_t* units = static_cast<const char16_t*>(text);
    std::size_t n = 0;
    while (n < bytes / 2 && units[n]) ++n;
    out.AssignN(units, n);
    return out.nGetLength() == n;
  }
  const char* narrow = static_cast<const char*>(text);
  std::size_t n = 0;
  while (n < bytes && narrow[n]) ++n;
  char16_t* wide = pszCodePageToNewWide(narrow, n, nClientCodePage(connection));
  out = wide ? wide : u"";
  const bool whole = n == 0 || (wide && out.nGetLength() == std::char_traits<char16_t>::length(wide));
  if (wide) FreeText(wide);
  return whole;
}

std::uint16_t nOci7ReturnCode(const void* area) {
  std::uint16_t code = 0;
  std::memcpy(&code, static_cast<const char*>(area) + oci::OCI7_RETURN_CODE_OFFSET, sizeof code);
  return code;
}

std::uint32_t nOci7RowsProcessed(const void* area) {
  std::uint32_t rows = 0;
  std::memcpy(&rows, static_cast<const char*>(area) + oci::OCI7_ROWS_PROCESSED_OFFSET, sizeof rows);
  return rows;
}
