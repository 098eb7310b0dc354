// CConnection: the DBMS-independent base of every connection. The driver object's connection factory makes one per
// runtime connection description (the final class is COracleConnection over CConnectionOra); it reads the
// connection options once at construction, keeps what later layers ask for (timeouts, cursor location, code pages,
// record-lock option, client version and library, application name, database name, server version), builds the
// connection string, owns the transaction chain (sql/transaction.h) and defines the operations the Oracle classes
// complete.
//
// Counted (CRefCounted): the driver's connection registry holds one reference, an open connection one more, and every
// running operation one for its duration; it keeps one reference on the runtime's connection description. Used under
// gcsDriverLock only.
//
// Two of the dialect questions are named by what they ask: slot 5 whether large values may be ordered
// (bCanOrderLargeValues) and slot 13 whether an INSERT needs the dialect's returning part (bInsertNeedsReturning);
// the Oracle connection answers 0 to the first (LOBs cannot be sorted) and 1 to the second outside OCI7 mode.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/ref_counted.h"
#include "foundation/string_list.h"
#include "foundation/t_string.h"
#include "foundation/text_buffer.h"

class CColumnDescriptor;
class CDriver;
class CErrorHolder;
class CHostValue;
class CSqlTextBuffer;
class CTransaction;
class CTypeNameTable;
class CXError;
class IHostConnectionDescription;

inline constexpr std::uint32_t DBMS_KIND_ORACLE = 1;

// One unit of a bare (unquoted) name as Oracle holds it: the lower-case letters of ASCII and Latin-1 in upper case.
inline char16_t FoldBareNameUnit(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 0x20);
  return c == 0xFF ? char16_t{0x178} : c;
}
inline constexpr std::uint32_t SESSION_CODE_PAGE_UNSET = 0xFFFFFFFF;
inline constexpr std::uint32_t SESSION_CODE_PAGE_UTF16 = 0xFFFFFFFE;

// The client version text of the loaded client library, set by the Oracle session under gcsDriverLock; empty until
// one is loaded. Read when an error is raised, which the runtime may do from its exit handlers: it is never destroyed.
extern CTString& gstrClientVersionText;

class CConnection : public CRefCounted {
 public:
  CConnection(const char16_t* name, IHostConnectionDescription* description);
  ~CConnection() override;

  // ---- operations, in their order (slot 1 is the count's release) ----
  virtual int bOpen(CErrorHolder* holder, const char16_t* name) = 0;  // connect the session
  virtual int bIsConnected() = 0;
  virtual void Close(CErrorHolder* holder) = 0;
  // 5: 0; whether a large value (memo, LOB) may stand in an ORDER BY: a memo key is then no sort column and no
  // completion of a read's order
  virtual int bCanOrderLargeValues();
  // 6: 1; the ORDER BY writer names an expression item by its position in the select list rather than its text
  virtual int bOrdersByPosition();
  // 7: 0; when non-zero, the driver releases the tables of the connection after a commit or before a rollback
  virtual int bReleasesTablesAtLevelEnd();
  // 8: 1; comparisons of a date or time with an empty value are rewritten as NULL tests
  virtual int bRewritesEmptyComparisons();
  virtual int bIsDbmsKind2();
  virtual int bTimeOperandFlag();  // answers 0
  virtual int nFlag11();           // answers 0
  virtual int bNullsSortFirst();   // answers 1
  // 13: 0; whether an INSERT or UPDATE the statement object writes needs the dialect's returning part (the Oracle
  // connection's RETURNING ROWID and LOB locators)
  virtual int bInsertNeedsReturning();
  virtual int nFlag14();           // answers 1
  // 15: 0; 1 when index names of composite keys are qualified by the table name
  virtual int bQualifiesIndexNames();
  virtual int bOpenAgain(CErrorHolder* holder, const char16_t* name);  // bOpen again
  virtual const char16_t* pszGetRecordLockOption();
  virtual int bBeginTransaction(CErrorHolder* holder);     // "BEGIN"
  virtual int bCommitTransaction(CErrorHolder* holder);    // "COMMIT"
  virtual int bRollbackTransaction(CErrorHolder* holder);  // "ROLLBACK"
  virtual CTransaction* pNewTransaction();
  virtual int bLockRows(CErrorHolder* holder, std::uintptr_t lockArgument);  // answers 0
  virtual int bLockTable(CErrorHolder* holder, std::uintptr_t tableName);    // "LOCK TABLE <name>"
  virtual int bSelectForUpdate(CErrorHolder* holder, const char16_t* statement);
  // 25: error 8 naming the file (the third argument); the second and fourth are not read
  virtual int bReportNotSupported(CErrorHolder* holder, std::uintptr_t ignored, std::uintptr_t file,
                                  std::uintptr_t extra);
  virtual int nReserved26();                                          // answers 0
  virtual std::uint32_t nGetErrorCategory(std::uint32_t nativeCode);  // answers 0
  // 28 to 30: dialect fragments (connection_dialect.cpp). Out buffers are emptied first; column types 0 = none.
  virtual int bValueToSqlLiteral(CErrorHolder* holder, CSqlTextBuffer* out, CHostValue* value,
                                 std::uint32_t columnType, std::uint32_t secondColumnType);
  // Converts the value in place to the column type's host type when the two do not fit as they are.
  virtual int bTypesCompatible(CErrorHolder* holder, CHostValue* value, std::uint32_t columnType,
                               std::uint32_t secondColumnType, int bStrict);
  // The most ORDER BY items and the most key columns a table keeps: 31 for DBMS kind 4, else no limit.
  virtual std::int32_t nGetMaxIdentifierLength();
  virtual void AddErrorDetails(CXError& error);
  virtual int nFlag32();                                                    // answers 0
  virtual int bIsUntypedServerType(std::uint32_t serverType);               // answers 0
  virtual int bExecuteSql(CErrorHolder* holder, const char16_t* text);      // answers 0
  virtual int bExecuteLockSql(CErrorHolder* holder, const char16_t* text);  // as bExecuteSql
  virtual int bExecuteSqlFetch(CErrorHolder* holder, void* value, std::uint32_t flag,
                               const char16_t* text);  // answers 0
  // 37 to 39: literals (connection_dialect.cpp). `length` is in bytes.
  virtual int bTextToSqlLiteral(CErrorHolder* holder, CSqlTextBuffer* out, std::uint32_t hostType,
                                const void* text, std::uint64_t length);
  virtual int bBooleanToSqlLiteral(CErrorHolder* holder, CSqlTextBuffer* out, std::uint32_t value);
  virtual int bDateTimeToSqlLiteral(CErrorHolder* holder, CSqlTextBuffer* out, CHostValue* value,
                                    std::uint32_t columnType);
  virtual void OnLevelEnded(CTransaction* transaction);  // nothing
  virtual void FillTypeNameTable(CTypeNameTable* table) = 0;
  virtual int ParseServerVersion(void* unused);

  // ---- the runtime description's texts ----
  const char16_t* pszGetUserId();
  const char16_t* pszGetDataSource();
  const char16_t* pszGetHostDatabase();
  const char16_t* pszGetConnectionLabel();
  const char16_t* pszGetProvider();
  IHostConnectionDescription* pGetHostDescription() const { return m_pHostDescription; }
  // "Initial Catalog" of the options, else of the provider text, else the description's database; computed once.
  const char16_t* pszGetDatabaseName();

  // ---- dialect fragments (connection_dialect.cpp) ----
  int bDbmsKindSetA() const;
  std::int32_t nGetVarcharMax() const;
  const char16_t* pszGetVarcharTypeName() const;
  const char16_t* pszGetLongTextTypeName() const;
  std::int32_t nGetNVarcharMax() const;
  const char16_t* pszGetNVarcharTypeName() const;
  const char16_t* pszGetLongNTextTypeName() const;
  // The column's value read from an SQL literal (a column default): NULL, empty, or the unquoted text written into a
  // field value of the column and read back.
  int bParseSqlLiteral(CHostValue* out, const char16_t* literal, CColumnDescriptor& column, CErrorHolder* holder);
  // The operand as a digit string for comparisons of a date, time or date-time column; 0 with the operand copied
  // when the column has no digit form.
  int nDateTimePartExpression(CErrorHolder* holder, CSqlTextBuffer* out, const char16_t* operand,
                              CColumnDescriptor& column);
  // The name between the dialect's quotes when the dialect quotes and the name needs it, else as it is; 1. A name
  // the program gave keeps the quoting rule, a reserved word written in upper case, as the server folded it. A name
  // the server gave (bExactCase: its description or catalog, in the case it holds the name in) is written so that
  // the server reads it back as itself: quoted, in that case, whenever it would not be read unquoted.
  int nQuoteIdentifier(CErrorHolder* holder, const char16_t* name, CTString& out, bool bExactCase = false);
  // Each "."-separated part quoted as nQuoteIdentifier quotes it; a name needing no quotes is copied whole; 1.
  int nQuoteDottedName(CErrorHolder* holder, const char16_t* name, CTString& out);
  // One name as the server holds what nQuoteIdentifier writes for it, for the catalog's columns: written quoted it
  // keeps its case (its doubled quotes read as one); written bare, Oracle holds it in upper case. 0 when memory
  // refused it (out left empty).
  int nServerHeldName(CErrorHolder* holder, const char16_t* name, CTString& out);
  // The dialect's identifier quotes (empty when it quotes nothing), for scanners that skip quoted names.
  const char16_t* pszGetOpeningQuote() const { return m_strOpeningQuote.pszGet(); }
  const char16_t* pszGetClosingQuote() const { return m_strClosingQuote.pszGet(); }
  // "A" to third; "A.B" to second and third; "A.B.C..." to first, second and the rest; each right-trimmed. 0 when
  // memory refused a piece (left short or empty).
  int nSplitQualifiedName(CTString& first, CTString& second, CTString& third, const char16_t* name);

  // ---- options (the ExtendedInformation text, reduced by every read with removal) ----
  int bGetOption(CTString& out, const char16_t* key, int bRemove);
  int bGetOptionEx(CTString& out, int& bFound, const char16_t* key, int bRemove);
  const CTString& GetOptionText() const { return m_strOptions; }

  // ---- state ----
  const char16_t* pszGetName() const { return m_strName.pszGet(); }
  const char16_t* pszGetConnectionString() const { return m_connectionString.pszGetText(); }
  std::uint32_t nGetSerialNumber() const { return m_nSerialNumber; }
  std::uint32_t bIsReleasable() const { return m_bReleasable; }
  void SetReleasable(std::uint32_t flag) { m_bReleasable = flag; }
  // The driver's opens of the connection not closed yet; each holds one reference of the connection.
  std::uint32_t nGetOpenCount() const { return m_nOpenCount; }
  void AddOpen() { ++m_nOpenCount; }
  // One open less; 0 (and nothing changed) when no open is left to end.
  int bDropOpen() {
    if (m_nOpenCount == 0) return 0;
    --m_nOpenCount;
    return 1;
  }
  // The driver object whose registry holds the connection (null once it left it): the one that made the tables and
  // descriptions over it, and the one they give it back through.
  CDriver* pGetRegistrar() const { return m_pRegistrar; }
  void SetRegistrar(CDriver* driver) { m_pRegistrar = driver; }
  // The releasable flag is on and no transaction level is active.
  int bCanBeReleased() const;
  int bIsTransactionOpen() const;
  CTransaction* pGetTransaction() const { return m_pTransaction; }
  std::uint32_t nGetNestedMode() const { return m_nNestedMode; }
  std::uint32_t nGetFlatDepth() const { return m_nFlatDepth; }
  std::uint32_t nGetDbmsKind() const { return m_nDbmsKind; }
  std::int32_t nGetConnectionTimeout() const { return m_nConnectionTimeout; }
  std::int32_t nGetCommandTimeout() const { return m_nCommandTimeout; }
  std::int32_t nGetLockTimeout() const { return m_nLockTimeout; }
  std::int64_t nGetCacheSize() const { return m_nCacheSize; }
  std::uint32_t nGetCursorLocation() const { return m_nCursorLocation; }
  std::int32_t nGetUnicodeSupport() const { return m_nUnicodeSupport; }
  std::uint32_t nGetAnsiCodePage() const { return m_nAnsiCodePage; }
  std::uint32_t nGetSessionCodePage() const { return m_nSessionCodePage; }
  void SetSessionCodePage(std::uint32_t codePage) { m_nSessionCodePage = codePage; }
  const char16_t* pszGetClientVersion() const { return m_strClientVersion.pszGet(); }
  const char16_t* pszGetClientLibrary() const { return m_strClientLibrary.pszGet(); }
  // One flag, set by the Oracle logon when the runtime's description asks for it (its slot 20), with two readers: the
  // rewriter does not scan pass-through statements for named parameters, and the Oracle column takes its date-time
  // format from it.
  std::uint32_t nGetNamedParameterSwitch() const { return m_nNamedParameterSwitch; }
  std::uint32_t nGetDateFormatFlag() const { return m_nNamedParameterSwitch; }
  void SetNamedParameterSwitch(std::uint32_t flag) { m_nNamedParameterSwitch = flag; }
  std::uint32_t nGetOldDateFormat() const { return m_nOldDateFormat; }
  void SetServerVersionText(const char16_t* text) { m_strServerVersion = text; }
  const char16_t* pszGetServerVersionText() const { return m_strServerVersion.pszGet(); }
  std::int32_t nGetServerMajor() const { return m_nServerMajor; }
  std::int32_t nGetServerMinor() const { return m_nServerMinor; }
  std::int32_t nGetServerRelease() const { return m_nServerRelease; }

  // The program's base file name, else "HALVORN Quorvix"; computed once.
  int bGetApplicationName(CTString& out);
  // The DDL type of a column for CREATE TABLE, from the connection's type-name table: built on first use with the
  // generic texts, then the dialect's own (FillTypeNameTable). 0 for a type without a text, for a UTF-16 column
  // where they are not allowed (error 46) and when memory fails.
  int pszGetNativeTypeName(CErrorHolder* holder, CColumnDescriptor& column, CTString& out);

  // 1 when the configured client library is empty or is the loaded one; else error 74 and 0.
  int bCheckClientLibrary(CErrorHolder* holder);
  // The session's current schema, through slot 36 and the runtime's text type; slot 36's result.
  int bQueryCurrentSchema(CErrorHolder* holder, CTString& out);
  // Slot 31 with the error held by the holder, when it holds one.
  void AddErrorDetailsTo(CErrorHolder* holder);

  // ---- transaction levels (sql/transaction.h) ----
  int bBeginLevel(CErrorHolder* holder, const char16_t* name);
  int bCommitLevel(CErrorHolder* holder, const char16_t* name);
  int bRollbackLevel(CErrorHolder* holder, const char16_t* name);
  // A level of the driver's own around one operation (name or none). Mode 0 counts levels flat whatever the
  // connection's setting, so that only the outermost begin, commit or rollback reaches the server; another mode
  // follows the connection's setting.
  int bBeginNestedTransaction(CErrorHolder* holder, const char16_t* name, std::uint32_t mode);
  int bCommitNestedTransaction(CErrorHolder* holder, const char16_t* name, std::uint32_t mode);
  int bRollbackNestedTransaction(CErrorHolder* holder, const char16_t* name, std::uint32_t mode);
  // Every active level rolled back and the depth cleared, answering nothing: the program's last close of the
  // connection, as the session's end would roll its work back.
  void RollbackAllLevels();
  // A table lock holds the server's transaction until that ends: taken while no level is open, it begins one of its
  // own, kept apart from the program's levels. The program's begin takes that level over as its own (its commit or
  // rollback then ends the lock with its work); its commit or rollback ends it too.
  int bBeginTableLockLevel(CErrorHolder* holder);
  // 1 while the open level is the one a table lock began and no begin of the program's took it over.
  int bInTableLockLevel() const;

 protected:
  // Drops the connection's reference to its transaction chain: a final class whose levels need its session calls it
  // before closing that session.
  void ReleaseTransaction();

  std::uint32_t m_nNestedMode = 1;
  std::uint32_t m_nDbmsKind = 0;
  std::uint32_t m_nSessionCodePage = SESSION_CODE_PAGE_UNSET;
  std::uint32_t m_nOldDateFormat = 0;
  CTString m_strOpeningQuote;
  std::uint32_t m_nOpeningQuoteLength = 0;
  CTString m_strClosingQuote;
  std::uint32_t m_nClosingQuoteLength = 0;
  // No class of the driver clears it; a dialect without UTF-16 columns would.
  std::uint32_t m_bUnicodeColumnsAllowed = 1;
  // Binary values are written as literals only in a dialect with these (Oracle has none).
  CTString m_strBinaryLiteralPrefix;
  CTString m_strBinaryLiteralSuffix;
  // DBMS kind 11: dates as quoted digits rather than MDY(...).
  std::uint32_t m_bQuotedDates = 0;

 private:
  // Whether the dialect quotes this name (a name the program gave already opening with the quote is taken as
  // quoted).
  bool bNeedsQuotes(const char16_t* name, bool exactCase = false) const;
  // programs: the program's own begin, which takes over a level a table lock began.
  int bBeginLevelOf(CErrorHolder* holder, const char16_t* name, bool programs);
  // markUndone: a rollback the program asked for, which in flat mode marks the transaction rollback-only.
  int bEndLevel(CErrorHolder* holder, const char16_t* name, bool commit, bool markUndone = false);
  // Flat mode: whether an open level bears the name (the outermost, or one of the counted ones inside it).
  bool bFlatLevelNamed(const char16_t* name) const;
  // Flat mode back to no level: the depth, the doomed mark, the counted levels' names and the table lock's level.
  void ClearFlatLevels();
  void ReadOptions();
  int bReadIntegerOption(const char16_t* key, std::int32_t& out);

  std::uint32_t m_nSerialNumber;
  IHostConnectionDescription* m_pHostDescription;
  CTString m_strName;
  CTextBufferW m_connectionString{1024};
  std::uint32_t m_bReleasable = 1;
  std::uint32_t m_nOpenCount = 0;
  CDriver* m_pRegistrar = nullptr;
  CTransaction* m_pTransaction = nullptr;
  std::uint32_t m_nNamedParameterSwitch = 0;
  CTString m_strDatabaseName;
  std::int64_t m_nCacheSize = -2;
  std::uint32_t m_nCursorLocation = 0;
  std::uint32_t m_nFlatDepth = 0;
  // Flat mode: an inner level was rolled back, so the outermost commit rolls the transaction back.
  bool m_bRollbackOnly = false;
  // Flat mode: the names of the counted levels inside the outermost, outermost first (an unnamed level's is empty).
  CStringList m_flatLevelNames{64};
  // The open outermost level was begun by a table lock, not by the program.
  bool m_bTableLockLevel = false;
  CTString m_strOptions;
  std::int32_t m_nConnectionTimeout = -1;
  std::int32_t m_nCommandTimeout = -1;
  std::int32_t m_nLockTimeout = -1;
  CTString m_strRecordLockOption;
  std::unique_ptr<CTypeNameTable> m_pTypeNameTable;
  std::int32_t m_nUnicodeSupport = 1;
  std::uint32_t m_nAnsiCodePage = 0;
  CTString m_strClientVersion;
  CTString m_strClientLibrary;
  CTString m_strApplicationName;
  CTString m_strServerVersion;
  std::int32_t m_nServerMajor = -1;
  std::int32_t m_nServerMinor = 0;
  std::int32_t m_nServerRelease = 0;
};

// The parts of a path: drive (a letter and ":" or a UNC server and share), directory (up to the last separator),
// base name and extension (from the last "."). A path of more than 260 characters gives empty parts.
void SplitPath(const char16_t* path, CTString& drive, CTString& directory, CTString& baseName, CTString& extension);
