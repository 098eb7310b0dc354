#include "oracle/client/oci_error.h"

#include "foundation/error_holder.h"
#include "foundation/x_error.h"
#include "oracle/client/oci_call.h"
#include "oracle/client/oci_entries.h"
#include "oracle/client/oci_status.h"

namespace {

struct SCategoryError {
  std::uint32_t nHolderCode;
  std::uint32_t nErrorCode;
};

SCategoryError CategoryError(std::uint32_t category) {
  switch (category) {
    case 1: return {1, 67};
    case 3: return {3, 69};
    case 4: return {4, 70};
    case 5: return {5, 71};
    case 8: return {8, 72};
    default: return {0, 22};
  }
}

constexpr std::uint32_t ERROR_TEXT_UNITS = 513;
constexpr std::uint32_t MESSAGE_DISTRIBUTED_FAILURE = 3681;

}  // namespace

std::uint32_t nOracleErrorCategory(std::uint32_t nativeCode) {
  switch (nativeCode) {
    case 54: case 55: case 56: case 57: case 60: case 61: case 62: case 69: case 99: case 104: case 2049:
      return 1;
    case 1: case 2299:
      return 3;
    case 2290: case 2292: case 2293: case 2294: case 2295: case 2296: case 2297: case 2298:
      return 4;
    case 1004: case 1005: case 1012: case 1017: case 1040: case 1045:
      return 5;
    case 1400:
      return 8;
    default:
      return 0;
  }
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
  const std::uint16_t native = area ? nOci7ReturnCode(area) : 0;
  char16_t buffer[ERROR_TEXT_UNITS] = {};
  CTString text;
  try {
    OciEntry<OCI_SLOT_oerhms>()(pLogonAreaOf(connection), static_cast<oci::sb2>(native),
                                reinterpret_cast<oci::OraText*>(buffer),
                                static_cast<oci::sword>(bClientIsUtf16(connection) ? ERROR_TEXT_UNITS * 2
                                                                                    : ERROR_TEXT_UNITS));
    ReadClientText(connection, buffer, ERROR_TEXT_UNITS, text);
  } catch (...) {
    text.Empty();
  }
  FillErrorRecord(connection, holder, status, native, text.pszGet(), unit, point);
}

void FillErrorRecord(COracleConnection* connection, CErrorHolder* holder, std::int32_t status,
                     std::uint32_t nativeCode, const char16_t* text, std::uint32_t unit, std::uint32_t point) {
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
