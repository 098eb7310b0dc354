#include "oracle/client/oci_call.h"

#include <cstring>
#include <new>
#include <string>
#include <string_view>

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

namespace {

// The texts a connection keeps: a few masks and parameter lists. Room for all of them is taken at once, so that
// keeping one more never moves those kept before (a call may hold two of them).
constexpr std::size_t kMostConstantTexts = 32;

}  // namespace

CConstantOciText::CConstantOciText(COracleConnection* connection, const char16_t* text, std::uint32_t units) {
  std::uint32_t n = 0;
  while (text && n < units && text[n]) ++n;
  // A UTF-16 client reads the caller's text in place: nothing to keep.
  if (text && !bClientIsUtf16(connection)) {
    const std::u16string_view wanted(text, n);
    auto& kept = connection->m_constantClientTexts;
    const std::uint32_t codePage = nClientCodePage(connection);
    if (connection->m_nConstantTextsCodePage != codePage) {
      kept.clear();
      connection->m_nConstantTextsCodePage = codePage;
    }
    for (const auto& [wide, bytes] : kept) {
      if (wide == wanted) {
        m_pKept = &bytes;
        return;
      }
    }
    if (kept.size() < kMostConstantTexts) {
      const COciText made(connection, text, n);
      if (!made.bRefused()) {
        try {
          kept.reserve(kMostConstantTexts);
          kept.emplace_back(std::u16string(wanted),
                            std::string(reinterpret_cast<const char*>(made.pGet()), made.nGetBytes()));
          m_pKept = &kept.back().second;
          return;
        } catch (const std::bad_alloc&) {
          // Not kept: the text goes in a form of its own below.
        }
      }
    }
  }
  m_own.emplace(connection, text, n);
}

oci::OraText* CConstantOciText::pGet() const {
  if (!m_pKept) return m_own->pGet();
  return reinterpret_cast<oci::OraText*>(const_cast<char*>(m_pKept->data()));
}

std::uint32_t CConstantOciText::nGetBytes() const {
  return m_pKept ? static_cast<std::uint32_t>(m_pKept->size()) : m_own->nGetBytes();
}

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
  // The short texts of every value read (numbers, dates) are converted straight into the result.
  constexpr std::size_t kInPlace = 256;
  if (n > 0 && n <= kInPlace) {
    char16_t units[kInPlace];
    const int made = platform::MultiByteToWide(nClientCodePage(connection), 0, narrow, static_cast<int>(n), units,
                                               static_cast<int>(n));
    if (made <= 0) {
      out = u"";
      return false;
    }
    out.AssignN(units, static_cast<std::size_t>(made));
    return out.nGetLength() == static_cast<std::size_t>(made);
  }
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
