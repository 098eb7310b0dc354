#include "sql/connection.h"

#include <memory>
#include <new>

#include "foundation/code_pages.h"
#include "foundation/error_holder.h"
#include "foundation/hash_table.h"
#include "foundation/host_locale.h"
#include "foundation/immortal.h"
#include "foundation/module_errors.h"
#include "foundation/numbers.h"
#include "foundation/option_text.h"
#include "foundation/text_utils.h"
#include "foundation/x_error.h"
#include "host/host_objects.h"
#include "host/host_value.h"
#include "host/library_entry.h"
#include "platform/module.h"
#include "platform/path.h"
#include "sql/client_library.h"
#include "sql/driver_services.h"
#include "sql/transaction.h"

namespace {
CImmortal<CTString> gClientVersionText;
}  // namespace
CTString& gstrClientVersionText = gClientVersionText.Get();

namespace {

// Incremented under gcsDriverLock; the first connection gets 1.
std::uint32_t gnConnectionSerial = 0;

enum : std::uint32_t {
  CONNECTION_POINT_NOT_SUPPORTED = 3,
  CONNECTION_POINT_CLIENT_LIBRARY = 17,
  ERROR_CLIENT_LIBRARY_MISMATCH = 74,
};

constexpr std::size_t MAX_PATH_UNITS = 260;

// The path made absolute against the current directory, as the client loader makes a configured directory
// absolute; the path itself when that fails.
CTString AbsolutePath(const char16_t* path) {
  CTString absolute(path);
  for (std::uint32_t size = MAX_PATH_UNITS + 1;;) {
    std::unique_ptr<char16_t[]> full(new (std::nothrow) char16_t[size]());
    const std::uint32_t needed = full ? platform::FullPathName(path, size, full.get()) : 0;
    if (needed > 0 && needed < size) absolute = full.get();
    if (needed < size) break;
    size = needed;
  }
  return absolute;
}

// Whether two paths name one file: case ignored, as the file system does, and either separator taken for the other
// (a configured path may be written with either, the loaded module's path comes with the system's).
bool bSameFilePath(const char16_t* a, const char16_t* b) {
  CTString sides[2];
  const char16_t* paths[2] = {a ? a : u"", b ? b : u""};
  for (int i = 0; i < 2; ++i) {
    std::size_t n = 0;
    for (; paths[i][n]; ++n) sides[i].AppendChar(paths[i][n] == u'/' ? u'\\' : paths[i][n]);
    // A copy memory cut short names no file.
    if (sides[i].nGetLength() != n) return false;
  }
  return sides[0].bEqualsNoCase(sides[1].pszGet()) != 0;
}
constexpr std::uint32_t MODULE_NAME_UNITS = 521;

const char16_t* TextOrNull(const char16_t* text) { return text ? text : u"NULL"; }

// The C runtime's atoi64 rule: blanks, a sign, then leading digits; 0 without digits. A value beyond the 64-bit
// range stops at the bound of its sign, as that rule does, rather than wrapping into an unrelated size.
std::int64_t nParseInt64(const char16_t* text) {
  while (*text == u' ' || *text == u'\t') ++text;
  bool negative = false;
  if (*text == u'-' || *text == u'+') negative = *text++ == u'-';
  // The magnitude of the most negative value is one more than that of the most positive one.
  const std::uint64_t limit = static_cast<std::uint64_t>(INT64_MAX) + (negative ? 1 : 0);
  std::uint64_t value = 0;
  for (; *text >= u'0' && *text <= u'9'; ++text) {
    const auto digit = static_cast<std::uint64_t>(*text - u'0');
    if (value > (limit - digit) / 10) {
      value = limit;
      break;
    }
    value = value * 10 + digit;
  }
  if (!negative) return static_cast<std::int64_t>(value);
  return value == limit ? INT64_MIN : -static_cast<std::int64_t>(value);
}

const char16_t* CodePageText(std::uint32_t codePage, char16_t* buffer) {
  if (codePage == SESSION_CODE_PAGE_UTF16) return u"UTF-16";
  if (codePage == 65001) return u"UTF-8";
  return pszU64ToDecimalW(codePage, buffer);
}

}  // namespace

// The error holder's questions to a connection (declared by foundation/error_holder.h).
void AddConnectionErrorDetails(CConnection* connection, CXError& error) { connection->AddErrorDetails(error); }
const char16_t* pszConnectionDataSource(CConnection* connection) { return connection->pszGetDataSource(); }

CConnection::CConnection(const char16_t* name, IHostConnectionDescription* description)
    : m_nSerialNumber(++gnConnectionSerial), m_pHostDescription(description), m_strName(name) {
  if (m_pHostDescription) m_pHostDescription->AddRef(0, 1);
  m_nAnsiCodePage = nCharsetToCodePage(nGetHostCharset());

  // The connection string carries the password; it is kept for the session and written nowhere else.
  IHostConnectionDescription* host = m_pHostDescription;
  const char16_t* const parts[] = {
      u"Provider=",      TextOrNull(pszGetProvider()),
      u";ExtendedInformation=", TextOrNull(host ? host->pszGetExtendedInformation() : nullptr),
      u";Data source=",  TextOrNull(pszGetDataSource()),
      u";user id=",      TextOrNull(pszGetUserId()),
      u";password=",     TextOrNull(host ? host->pszGetPassword() : nullptr)};
  m_connectionString.Truncate(0);
  for (const char16_t* part : parts) m_connectionString.AppendText(part);

  if (m_pHostDescription) m_strOptions = m_pHostDescription->pszGetExtendedInformation();
  ReadOptions();
}

CConnection::~CConnection() {
  ReleaseTransaction();
  if (m_pHostDescription) m_pHostDescription->Release();
  m_pHostDescription = nullptr;
}

void CConnection::ReleaseTransaction() {
  if (m_pTransaction) m_pTransaction->nRelease();
  m_pTransaction = nullptr;
}

int CConnection::bReadIntegerOption(const char16_t* key, std::int32_t& out) {
  CTString value;
  int found = 0;
  bGetOptionEx(value, found, key, 1);
  if (!found || value.bIsEmpty()) return 0;
  out = nWideToInt(value.pszGet());
  return 1;
}

void CConnection::ReadOptions() {
  IHostConnectionDescription* host = m_pHostDescription;
  if (!bReadIntegerOption(u"QZ Connection Timeout", m_nConnectionTimeout) && host) {
    m_nConnectionTimeout = host->nGetConnectionTimeout();
  }
  if (!bReadIntegerOption(u"QZ Command Timeout", m_nCommandTimeout) && host) {
    m_nCommandTimeout = host->nGetCommandTimeout();
  }
  bReadIntegerOption(u"QZ Lock Timeout", m_nLockTimeout);

  CTString value;
  int found = 0;
  bGetOptionEx(value, found, u"QZ Cache Size", 1);
  if (found && !value.bIsEmpty()) {
    m_nCacheSize = nParseInt64(value.pszGet());
  } else if (host && host->nGetInterfaceVersion() >= 4) {
    m_nCacheSize = host->nGetCacheSize();
  }

  bGetOptionEx(value, found, u"QZ Cursor Location", 1);
  if (found && !value.bIsEmpty()) {
    // Any other text than the two names gives the default, without falling back to the description.
    m_nCursorLocation = value.bEqualsNoCase(u"SERVER") ? 2 : value.bEqualsNoCase(u"CLIENT") ? 1 : 0;
  } else if (host) {
    const std::uint32_t flags = host->nGetCursorLocationFlags();
    m_nCursorLocation = (flags & 1) ? 2 : (flags & 2) ? 1 : 0;
  }

  bReadIntegerOption(u"QZ Unicode Support", m_nUnicodeSupport);
  bGetOptionEx(m_strRecordLockOption, found, u"QZ RECORD LOCK", 1);
  bGetOptionEx(m_strClientVersion, found, u"QZ CLIENT VERSION", 1);
  bGetOptionEx(m_strClientLibrary, found, u"QZ CLIENT LIBRARY", 1);
  bGetOptionEx(m_strApplicationName, found, u"Application Name", 1);
}

// ---- flags and defaults ----

int CConnection::bCanOrderLargeValues() { return 0; }
int CConnection::bOrdersByPosition() { return 1; }
int CConnection::bReleasesTablesAtLevelEnd() { return 0; }
int CConnection::bRewritesEmptyComparisons() { return 1; }
int CConnection::bIsDbmsKind2() { return m_nDbmsKind == 2; }
int CConnection::bTimeOperandFlag() { return 0; }
int CConnection::nFlag11() { return 0; }
int CConnection::bNullsSortFirst() { return 1; }
int CConnection::bInsertNeedsReturning() { return 0; }
int CConnection::nFlag14() { return 1; }
int CConnection::bQualifiesIndexNames() { return 0; }
int CConnection::bOpenAgain(CErrorHolder* holder, const char16_t* name) { return bOpen(holder, name); }
const char16_t* CConnection::pszGetRecordLockOption() { return m_strRecordLockOption.pszGet(); }
int CConnection::bLockRows(CErrorHolder*, std::uintptr_t) { return 0; }
int CConnection::nReserved26() { return 0; }
std::uint32_t CConnection::nGetErrorCategory(std::uint32_t) { return 0; }
int CConnection::nFlag32() { return 0; }
int CConnection::bIsUntypedServerType(std::uint32_t) { return 0; }
int CConnection::bExecuteSql(CErrorHolder*, const char16_t*) { return 0; }
int CConnection::bExecuteLockSql(CErrorHolder* holder, const char16_t* text) { return bExecuteSql(holder, text); }
int CConnection::bExecuteSqlFetch(CErrorHolder*, void*, std::uint32_t, const char16_t*) { return 0; }
void CConnection::OnLevelEnded(CTransaction*) {}

int CConnection::bReportNotSupported(CErrorHolder* holder, std::uintptr_t, std::uintptr_t file, std::uintptr_t) {
  RaiseModuleError(holder, RECORDED_NOT_AVAILABLE, ERROR_UNIT_CONNECTION, CONNECTION_POINT_NOT_SUPPORTED, this,
                   reinterpret_cast<const char16_t*>(file), ERROR_NOT_AVAILABLE);
  return 0;
}

int CConnection::ParseServerVersion(void*) {
  std::int32_t* parts[3] = {&m_nServerMajor, &m_nServerMinor, &m_nServerRelease};
  CTString part;
  for (std::size_t i = 0; i < 3; ++i) {
    if (!m_strServerVersion.bGetToken(part, i, u".")) break;
    if (part.bIsEmpty() || !bIsDigitW(part.nGetAt(0))) continue;
    *parts[i] = nWideToInt(part.pszGet());
  }
  return 1;
}

// ---- the description's texts ----

const char16_t* CConnection::pszGetUserId() {
  return m_pHostDescription ? m_pHostDescription->pszGetUserId() : nullptr;
}
const char16_t* CConnection::pszGetDataSource() {
  return m_pHostDescription ? m_pHostDescription->pszGetDataSource() : nullptr;
}
const char16_t* CConnection::pszGetHostDatabase() {
  return m_pHostDescription ? m_pHostDescription->pszGetDatabase() : nullptr;
}
const char16_t* CConnection::pszGetConnectionLabel() {
  return m_pHostDescription ? m_pHostDescription->pszGetLabel() : nullptr;
}
const char16_t* CConnection::pszGetProvider() {
  return m_pHostDescription ? m_pHostDescription->pszGetProvider() : nullptr;
}

const char16_t* CConnection::pszGetDatabaseName() {
  if (m_strDatabaseName.bIsEmpty()) {
    int found = 0;
    bGetOptionEx(m_strDatabaseName, found, u"Initial Catalog", 0);
    if (m_strDatabaseName.bIsEmpty()) {
      CTString provider(pszGetProvider());
      bExtractOption(m_strDatabaseName, found, provider, u"Initial Catalog", 0);
    }
    if (m_strDatabaseName.bIsEmpty()) m_strDatabaseName = pszGetHostDatabase();
  }
  return m_strDatabaseName.pszGet();
}

int CConnection::bGetOption(CTString& out, const char16_t* key, int bRemove) {
  int found = 0;
  return bExtractOption(out, found, m_strOptions, key, bRemove);
}

int CConnection::bGetOptionEx(CTString& out, int& bFound, const char16_t* key, int bRemove) {
  return bExtractOption(out, bFound, m_strOptions, key, bRemove);
}

int CConnection::bCanBeReleased() const { return m_bReleasable && !bIsTransactionOpen(); }

int CConnection::bIsTransactionOpen() const { return m_pTransaction ? m_pTransaction->bIsActive() : 0; }

int CConnection::bGetApplicationName(CTString& out) {
  if (m_strApplicationName.bIsEmpty()) {
    char16_t path[MODULE_NAME_UNITS + 1] = {};
    const std::uint32_t length = platform::ModuleFileName(nullptr, path, MODULE_NAME_UNITS);
    if (length > 0 && length < MODULE_NAME_UNITS) {
      CTString drive, directory, baseName, extension;
      SplitPath(path, drive, directory, baseName, extension);
      m_strApplicationName = baseName;
    }
    if (m_strApplicationName.bIsEmpty()) m_strApplicationName = u"HALVORN Quorvix";
  }
  out = m_strApplicationName;
  return 1;
}

int CConnection::bCheckClientLibrary(CErrorHolder* holder) {
  if (m_strClientLibrary.bIsEmpty()) return 1;
  const char16_t* loaded = pszLoadedClientLibraryPath() ? pszLoadedClientLibraryPath() : u"";
  if (m_strClientLibrary.bEqualsNoCase(loaded)) return 1;
  // The text the library was loaded by names it for the process: a relative directory was read from the current
  // directory of that first load, which the program may have left since.
  const char16_t* asked = pszLoadedClientLibraryRequest();
  if (asked && m_strClientLibrary.bEqualsNoCase(asked)) return 1;
  CTString drive, directory, baseName, extension;
  SplitPath(m_strClientLibrary.pszGet(), drive, directory, baseName, extension);
  if (drive.bIsEmpty() && directory.bIsEmpty()) {
    CTString loadedDrive, loadedDirectory, loadedBase, loadedExtension;
    SplitPath(loaded, loadedDrive, loadedDirectory, loadedBase, loadedExtension);
    baseName.Append(extension.pszGet());
    loadedBase.Append(loadedExtension.pszGet());
    if (baseName.bEqualsNoCase(loadedBase.pszGet())) return 1;
  } else if (bSameFilePath(AbsolutePath(m_strClientLibrary.pszGet()).pszGet(), loaded)) {
    // A relative directory names the client from the current directory, as the loader read it when it loaded it:
    // every connection configured with the same text then asks for the library loaded.
    return 1;
  }
  RaiseModuleError(holder, 0, ERROR_UNIT_CONNECTION, CONNECTION_POINT_CLIENT_LIBRARY, this, nullptr,
                   ERROR_CLIENT_LIBRARY_MISMATCH, u"Oracle", loaded, m_strClientLibrary.pszGet());
  return 0;
}

void CConnection::AddErrorDetails(CXError& error) {
  if (!gstrClientVersionText.bIsEmpty()) error.SetInfo(ERROR_INFO_CLIENT_VERSION, gstrClientVersionText.pszGet());
  if (!m_strServerVersion.bIsEmpty()) error.SetInfo(ERROR_INFO_SERVER_VERSION, m_strServerVersion.pszGet());

  auto label = pszCurrentDriverLabel;
  auto line = [&error, &label](std::uint32_t index, const char16_t* value) {
    CTString text(label(index));
    text.Append(value);
    error.AddDebugText(text.pszGet());
  };
  char16_t number[24];
  if (const char16_t* library = pszLoadedClientLibraryPath(); library && library[0]) line(28, library);
  if (pszGetProvider() && pszGetProvider()[0]) line(14, pszGetProvider());
  line(15, pszGetUserId() ? pszGetUserId() : u"");
  line(13, pszGetDataSource() ? pszGetDataSource() : u"");
  line(16, pszGetDatabaseName());
  if (m_nConnectionTimeout != -1) line(17, pszI64ToDecimalW(m_nConnectionTimeout, number));
  if (m_nCommandTimeout != -1) line(18, pszI64ToDecimalW(m_nCommandTimeout, number));
  if (m_nLockTimeout != -1) line(19, pszI64ToDecimalW(m_nLockTimeout, number));
  if (m_nCursorLocation != 0) {
    static const char16_t* const names[] = {u"Default", u"Client", u"Server"};
    line(20, m_nCursorLocation < 3 ? names[m_nCursorLocation] : u"Unknown");
  }
  line(21, pszI64ToDecimalW(m_nUnicodeSupport, number));
  if (m_nAnsiCodePage != SESSION_CODE_PAGE_UNSET) line(26, CodePageText(m_nAnsiCodePage, number));
  if (m_nSessionCodePage != SESSION_CODE_PAGE_UNSET) line(27, CodePageText(m_nSessionCodePage, number));
  if (!m_strRecordLockOption.bIsEmpty()) line(22, m_strRecordLockOption.pszGet());
}

int CConnection::bQueryCurrentSchema(CErrorHolder* holder, CTString& out) {
  CHostValue value;
  const int result = bExecuteSqlFetch(holder, &value, 0, u"SELECT SYS_CONTEXT('USERENV','CURRENT_SCHEMA') FROM DUAL");
  const char16_t* text = nullptr;
  if (!bHostFailed(value.nConvert(HOST_TYPE_TEXT)) && !value.bIsNull() && value.nGet(&text) == HOST_OK) out = text;
  return result;
}

void CConnection::AddErrorDetailsTo(CErrorHolder* holder) {
  if (holder && holder->bHasError()) AddErrorDetails(*holder->pGetEmbeddedObject());
}

void SplitPath(const char16_t* path, CTString& drive, CTString& directory, CTString& baseName, CTString& extension) {
  drive.Empty();
  directory.Empty();
  baseName.Empty();
  extension.Empty();
  if (!path) return;
  const std::size_t length = nLengthW(path);
  if (length > MAX_PATH_UNITS) return;
  auto isSeparator = [](char16_t c) { return c == u'\\' || c == u'/'; };
  std::size_t start = 0;
  if (length >= 2 && path[1] == u':' &&
      ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'))) {
    start = 2;
  } else if (length >= 2 && isSeparator(path[0]) && path[0] == path[1]) {
    // UNC: the server and the share, up to the separator after the share.
    std::size_t i = 2;
    while (i < length && !isSeparator(path[i])) ++i;
    if (i < length) ++i;
    while (i < length && !isSeparator(path[i])) ++i;
    start = i;
  }
  drive.AssignN(path, start);
  std::size_t lastSeparator = start;
  bool hasSeparator = false;
  for (std::size_t i = start; i < length; ++i) {
    if (isSeparator(path[i])) {
      lastSeparator = i;
      hasSeparator = true;
    }
  }
  const std::size_t nameStart = hasSeparator ? lastSeparator + 1 : start;
  directory.AssignN(path + start, nameStart - start);
  std::size_t dot = length;
  for (std::size_t i = nameStart; i < length; ++i) {
    if (path[i] == u'.') dot = i;
  }
  baseName.AssignN(path + nameStart, dot - nameStart);
  extension.AssignN(path + dot, length - dot);
}
