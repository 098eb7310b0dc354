#include "oracle/client/oci_error.h"

#include "foundation/error_holder.h"
#include "foundation/x_error.h"
#include "oracle/client/oci_call.h"
#include "oracle/client/oci_entries.h"
#include "oracle/client/oci_status.h"

namespace {

// The driver error of each category: the holder code and the error code.
struct SCategoryError {
  std::uint32_t nCategory;
  std::uint32_t nHolderCode;
  std::uint32_t nErrorCode;
};
constexpr SCategoryError gastCategoryErrors[] = {{1, 1, 67}, {3, 3, 69}, {4, 4, 70}, {5, 5, 71}, {8, 8, 72}};
constexpr SCategoryError CATEGORY_OTHER = {0, 0, 22};

struct SOracleNumberCategory {
  std::uint32_t nNativeCode;
  std::uint32_t nCategory;
};
constexpr SOracleNumberCategory gastNumberCategories[] = {
    {54, 1},   {55, 1},   {56, 1},   {57, 1},   {60, 1},   {61, 1},   {62, 1},   {69, 1},   {99, 1},   {104, 1},
    {2049, 1}, {1, 3},    {2299, 3}, {2290, 4}, {2292, 4}, {2293, 4}, {2294, 4}, {2295, 4}, {2296, 4}, {2297, 4},
    {2298, 4}, {1004, 5}, {1005, 5}, {1012, 5}, {1017, 5}, {1040, 5}, {1045, 5}, {1400, 8}};

SCategoryError CategoryError(std::uint32_t category) {
  for (const SCategoryError& entry : gastCategoryErrors) {
    if (entry.nCategory == category) return entry;
  }
  return CATEGORY_OTHER;
}

constexpr std::uint32_t ERROR_TEXT_UNITS = 513;
constexpr std::uint32_t MESSAGE_DISTRIBUTED_FAILURE = 3681;

}  // namespace

std::uint32_t nOracleErrorCategory(std::uint32_t nativeCode) {
  for (const SOracleNumberCategory& entry : gastNumberCategories) {
    if (entry.nNativeCode == nativeCode) return entry.nCategory;
  }
  return 0;
}

void RaiseOciError(COracleConnection* connection, CErrorHolder* holder, std::int32_t status, std::uint32_t unit,
                   std::uint32_t point, void* handle, std::uint32_t handleType) {
  if (!holder) return;
  oci::sb4 native = 0;
  CTString text;
  if (handle) {
    char16_t buffer[ERROR_TEXT_UNITS] = {};
    const std::uint32_t bytes = bClientIsUtf16(connection) ? ERROR_TEXT_UNITS * 2 : ERROR_TEXT_UNITS;
    // A client that cannot even describe its error leaves the number 0 and the text empty: the status still tells.
    try {
      OciEntry<OCI_SLOT_OCIErrorGet>()(handle, 1, nullptr, &native, reinterpret_cast<oci::OraText*>(buffer), bytes,
                                       handleType);
    } catch (...) {
      native = 0;
      buffer[0] = 0;
    }
    ReadClientText(connection, buffer, bytes, text);
  }
  FillErrorRecord(connection, holder, status, static_cast<std::uint32_t>(native), text.pszGet(), unit, point);
}

void RaiseOci7Error(COracleConnection* connection, CErrorHolder* holder, std::int32_t status, std::uint32_t unit,
                    std::uint32_t point, void* area) {
  if (!holder) return;
  RaiseOci7NativeError(connection, holder, status, area ? nOci7ReturnCode(area) : 0, unit, point);
}

void RaiseOci7NativeError(COracleConnection* connection, CErrorHolder* holder, std::int32_t status,
                          std::uint16_t native, std::uint32_t unit, std::uint32_t point) {
  if (!holder) return;
  char16_t buffer[ERROR_TEXT_UNITS] = {};
  CTString text;
  // The message text comes from the logon's data area, whichever area failed: the client looks the number up
  // per logon, and a cursor's area is no logon.
  try {
    OciEntry<OCI_SLOT_oerhms>()(
        pLogonAreaOf(connection), static_cast<oci::sb2>(native), reinterpret_cast<oci::OraText*>(buffer),
        static_cast<oci::sword>(bClientIsUtf16(connection) ? ERROR_TEXT_UNITS * 2 : ERROR_TEXT_UNITS));
    ReadClientText(connection, buffer, ERROR_TEXT_UNITS, text);
  } catch (...) {
    text.Empty();
  }
  FillErrorRecord(connection, holder, status, native, text.pszGet(), unit, point);
}

void FillErrorRecord(COracleConnection* connection, CErrorHolder* holder, std::int32_t status, std::uint32_t nativeCode,
                     const char16_t* text, std::uint32_t unit, std::uint32_t point) {
  CTString lines;
  for (const char16_t* p = text ? text : u""; *p; ++p) {
    if (*p == u'\n') {
      lines.Append(u"\r\n");
    } else {
      lines.AppendChar(*p);
    }
  }
  OraErrorToHostError(connection, holder, nativeCode, lines.pszGet());
  if (nativeCode != 0) holder->SetNativeErrorCode(nativeCode);
  if (!lines.bIsEmpty()) holder->SetNativeErrorMessage(lines.pszGet());
  AddErrorIdentification(*holder->pGetInnermostError(), unit, point);
  CTString name;
  CTString debug(TSTRING_FORMAT, u"Status = %08X (%s)", static_cast<std::uint32_t>(status),
                 pszOciStatusName(name, status));
  holder->AddDebugText(debug.pszGet());
}

void OraErrorToHostError(COracleConnection* connection, CErrorHolder* holder, std::uint32_t nativeCode,
                         const char16_t* text) {
  const std::uint32_t category = connection->nGetErrorCategory(nativeCode);
  const SCategoryError chosen = CategoryError(category);
  holder->RaiseNativeError(chosen.nHolderCode, connection, chosen.nErrorCode, nativeCode, text);
  if (category == 0 && nativeCode == 2041) holder->AddUserMessage(MESSAGE_DISTRIBUTED_FAILURE);
}
