#include "oracle/oracle_connection.h"

#include <string>

#include "foundation/error_holder.h"
#include "foundation/file_paths.h"
#include "foundation/module_errors.h"
#include "foundation/numbers.h"
#include "foundation/text_utils.h"
#include "foundation/x_error.h"
#include "oracle/client/oci_error.h"
#include "oracle/oracle_type_names.h"
#include "platform/profile.h"

namespace {

constexpr char16_t kIniFileName[] = u"qzorains.ini";
constexpr std::uint32_t kModulePathUnits = 522;

}  // namespace

CConnectionOra::CConnectionOra(const char16_t* name, IHostConnectionDescription* description)
    : CConnection(name, description) {
  const char16_t* dataSource = pszGetDataSource();
  if (dataSource && *dataSource) {
    // Case counts: the prefix is the runtime's own "ORA:".
    const char16_t* prefix = nullptr;
    for (const char16_t* p = dataSource; *p && !prefix; ++p) {
      if (p[0] == u'O' && p[1] == u'R' && p[2] == u'A' && p[3] == u':') prefix = p;
    }
    m_strServerSection = prefix ? prefix + 4 : dataSource;
  }
  ReadOldDateFormat();
  ReadLockMode();
  ReadNoWait();
}

void CConnectionOra::ReadOldDateFormat() {
  CTString value;
  if (bGetOption(value, u"OLDDATEFORMAT", 1) && !value.bIsEmpty()) {
    m_nOldDateFormat = static_cast<std::uint32_t>(nWideToInt(value.pszGet()));
    return;
  }
  const char16_t* section = pszGetServerSection();
  if (!section) return;
  char16_t text[8];
  nReadIniString(section, u"OLDDATEFORMAT", u"N", text, 8);
  // Only an upper-case "N" keeps the current format: "n" turns the old one on, as the file has always been read.
  m_nOldDateFormat = text[0] != u'N' ? 1 : 0;
}

void CConnectionOra::ReadLockMode() {
  int found = 0;
  bGetOptionEx(m_strLockMode, found, u"MODELOCK", 1);
  if (!found || m_strLockMode.bIsEmpty()) m_strLockMode = u"MODELOCK_UNDEFINED";
}

void CConnectionOra::ReadNoWait() {
  char16_t text[512];
  nReadIniString(u"OPTIONS", u"NOWAIT", u"Y", text, 512);
  const char16_t first = text[0] >= u'a' && text[0] <= u'z' ? static_cast<char16_t>(text[0] - 0x20) : text[0];
  // "O" for "oui".
  m_nNoWait = first == u'Y' || first == u'O' ? 1 : 0;
}

void CConnectionOra::FindIniFile() {
  if (!m_strIniPath.bIsEmpty()) return;
  CTString program;
  if (bGetModuleFileName(nullptr, program)) {
    CTString drive, directory, baseName, extension;
    SplitPath(program.pszGet(), drive, directory, baseName, extension);
    m_strIniPath = drive;
    m_strIniPath.Append(directory.pszGet());
    m_strIniPath.Append(kIniFileName);
    m_bIniExists = bIsFile(m_strIniPath.pszGet()) ? 1 : 0;
    if (m_bIniExists) return;
  }
  char16_t windows[kModulePathUnits];
  const std::uint32_t length = platform::WindowsDirectory(windows, kModulePathUnits);
  m_strIniPath.AssignN(windows, length < kModulePathUnits ? length : 0);
  AppendBackslash(m_strIniPath);
  m_strIniPath.Append(kIniFileName);
  m_bIniExists = bIsFile(m_strIniPath.pszGet()) ? 1 : 0;
}

std::uint32_t CConnectionOra::nReadIniString(const char16_t* section, const char16_t* key, const char16_t* defaultText,
                                             char16_t* buffer, std::uint32_t size) {
  FindIniFile();
  if (m_bIniExists) return platform::ReadProfileString(section, key, defaultText, buffer, size, m_strIniPath.pszGet());
  if (size == 0) return 0;
  return static_cast<std::uint32_t>(nCopyBoundedNW(buffer, size, defaultText ? defaultText : u"", -1));
}

std::uint32_t CConnectionOra::nReadIniInt(const char16_t* section, const char16_t* key, std::int32_t defaultValue) {
  FindIniFile();
  if (!m_bIniExists) return static_cast<std::uint32_t>(defaultValue);
  return platform::ReadProfileInt(section, key, defaultValue, m_strIniPath.pszGet());
}

const char16_t* CConnectionOra::pszGetLockModeName() const {
  return m_strLockMode.bEquals(u"MODELOCK_UNDEFINED") ? u"EXCLUSIVE" : m_strLockMode.pszGet();
}

const char16_t* CConnectionOra::pszGetNoWaitSuffix() const {
  const std::int32_t timeout = nGetLockTimeout();
  return timeout == -2 || (timeout == -1 && m_nNoWait == 1) ? u" NOWAIT" : u"";
}

void CConnectionOra::FormatLockTableText(CTString& out, const char16_t* tables, const char16_t* mode,
                                         const char16_t* suffix) {
  out = u"LOCK TABLE ";
  std::size_t expected = 11;
  for (const char16_t* piece : {tables, u" IN ", mode, u" MODE ", suffix}) {
    out.Append(piece);
    expected += piece ? std::char_traits<char16_t>::length(piece) : 0;
  }
  // A piece that memory refused would leave another statement: the text is empty instead.
  if (out.nGetLength() != expected) out.Empty();
}

const char16_t* CConnectionOra::pszGetServerSection() const {
  return m_strServerSection.bIsEmpty() ? nullptr : m_strServerSection.pszGet();
}

int CConnectionOra::bGetConnectionString(CTString& out) {
  const char16_t* section = pszGetServerSection();
  if (!section) return 0;
  char16_t text[100];
  if (nReadIniString(section, u"CONN", u"", text, 100) == 0) return 0;
  out = text;
  return 1;
}

int CConnectionOra::bLockTables(CErrorHolder* holder, std::uintptr_t tableList, std::uint32_t mode) {
  if (mode == 0 || mode == 1) return 1;
  // Inside an open level the lock lives in that level's transaction and ends with it; only outside one does it begin
  // a level of its own, for its unlock to end.
  const bool own = !bIsTransactionOpen();
  if (own) {
    if (!bBeginTableLockLevel(holder)) return 0;
    m_lockedTables.RemoveAll();
  }
  // The tables whose unlock ends the lock's level, kept by name: the table's handle may be closed and opened again,
  // or its lock mode set anew, while its lock holds. Kept before the lock is taken, so that no lock holds that no
  // unlock can end.
  const auto* tables = reinterpret_cast<const char16_t*>(tableList);
  bool named = false;
  if (bInTableLockLevel() && m_lockedTables.nFind(tables, 0, 0) == STRING_LIST_NOT_FOUND) {
    if (!m_lockedTables.nAdd(tables)) {
      SetHolderOutOfMemory(holder);
      if (own) bRollbackNestedTransaction(nullptr, nullptr, 0);
      return 0;
    }
    named = true;
  }
  if (bLockTable(holder, tableList)) return 1;
  if (named) m_lockedTables.RemoveAt(m_lockedTables.nGetCount() - 1);
  // The refused lock did no work of the program's: only a level of its own goes.
  if (own) bRollbackNestedTransaction(holder, nullptr, 0);
  return 0;
}

int CConnectionOra::bUnlockTables(CErrorHolder* holder, std::uintptr_t tableList) {
  // A lock taken inside the program's level, or one whose level has ended since (a commit or rollback, or a begin of
  // the program's that took the level over), is no longer the unlock's to end: the level open now may be the
  // program's own, whose work the unlock must not commit.
  const auto* tables = reinterpret_cast<const char16_t*>(tableList);
  if (!bInTableLockLevel() || m_lockedTables.nFind(tables, 0, 0) == STRING_LIST_NOT_FOUND) return 1;
  return bCommitNestedTransaction(holder, nullptr, 0);
}

int COracleConnection::bCanOrderLargeValues() { return 0; }
