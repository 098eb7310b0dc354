#include "foundation/clone_map.h"
#include "engine/table/table.h"

#include <memory>
#include <new>

#include "engine/record/column_types.h"
#include "foundation/error_holder.h"
#include "foundation/host_locale.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "host/host_objects.h"
#include "sql/connection.h"
#include "sql/driver_services.h"

namespace {

// Identification points of the table's own raises; point 0 marks an operation of the table engine that is not
// built yet.
enum : std::uint32_t {
  TABLE_POINT_NOT_BUILT = 0,
  TABLE_POINT_LOCK_TABLE = 5,
  TABLE_POINT_TEST_RECORD_LOCK = 7,
  TABLE_POINT_NOT_SUPPORTED_A = 10,
  TABLE_POINT_NOT_SUPPORTED_B = 11,
  TABLE_POINT_NOT_SUPPORTED_C = 13,
};

}  // namespace

CTable::CTable(IHostFileDescription* recordDescription, CConnection* connection, CErrorHolder* errorHolder)
    : m_pErrorHolder(errorHolder), m_pConnection(connection), m_pRecordDescription(recordDescription) {
  if (m_pErrorHolder) m_pErrorHolder->AddRef();
  if (m_pConnection) m_pConnection->AddRef();
  if (m_pRecordDescription) m_pRecordDescription->AddExternalRef();
}

CTable::~CTable() {
  // The access interfaces' lookup cache holds no reference: a destroyed table must not stay reachable through it.
  ForgetCachedTable(this);
  if (m_pRecordDescription) m_pRecordDescription->nReleaseExternal();
  m_pRecordDescription = nullptr;
  ReleaseConnectionThroughDriver(m_pConnection);
  m_pConnection = nullptr;
  if (m_pErrorHolder) m_pErrorHolder->nRelease();
  m_pErrorHolder = nullptr;
}

void CTable::DeletingDestructor(std::uint32_t flags) {
  if (flags & 1) {
    delete this;
  } else {
    this->~CTable();
  }
}

std::uint32_t CTable::nRelease() {
  return nDropOneOfTwoCounts(m_nRefCount, m_nExternalCount, [this] { DeletingDestructor(1); });
}

std::uint32_t CTable::nReleaseExternal() {
  return nDropOneOfTwoCounts(m_nExternalCount, m_nRefCount, [this] { DeletingDestructor(1); });
}

const char16_t* CTable::pszGetName() const { return m_pRecordDescription ? m_pRecordDescription->pszGetName() : u""; }

int CTable::nNotAvailable(std::uint32_t point) {
  RaiseNotAvailable(m_pErrorHolder, ERROR_UNIT_TABLE, point, m_pConnection, pszGetName());
  return 0;
}

int CTable::nSlot1() { return 0; }
std::uint32_t CTable::nGetFlagWord() {
  nNotAvailable(TABLE_POINT_NOT_BUILT);
  return 0;
}
CColumn* CTable::pGetReferenceItem() {
  nNotAvailable(TABLE_POINT_NOT_BUILT);
  return nullptr;
}
CFieldValue* CTable::pGetReferenceValue() {
  nNotAvailable(TABLE_POINT_NOT_BUILT);
  return nullptr;
}

int CTable::bReadLargeValue(std::uint32_t, RuntimeWord) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bWriteLargeValue(std::uint32_t, RuntimeWord) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bCreateAndOpen(RuntimeWord, std::uint32_t) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bDropTable() { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bDeleteAll() { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bOpenOrCreate(std::uint32_t, RuntimeWord) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bOpen(std::uint32_t, RuntimeWord) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }

int CTable::bClose() {
  // No record context, saved position or shared row source is ever made yet, so resetting the state is only
  // closing.
  m_bOpen = 0;
  return 1;
}

int CTable::bSaveRecord(RuntimeWord, std::uint32_t, std::uint32_t) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bDeleteRecord(RuntimeWord, std::uint32_t) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bWriteRecord(RuntimeWord, std::uint32_t, std::uint32_t) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bNotSupportedA(RuntimeWord, std::uint32_t) { return nNotAvailable(TABLE_POINT_NOT_SUPPORTED_A); }
int CTable::bNotSupportedB() { return nNotAvailable(TABLE_POINT_NOT_SUPPORTED_B); }
int CTable::bModifyRecord(RuntimeWord, std::uint32_t, RuntimeWord) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }

int CTable::bRead(const char16_t*, std::uint32_t, std::uint32_t, std::uint32_t, RuntimeWord, std::uint32_t) {
  return nNotAvailable(TABLE_POINT_NOT_BUILT);
}

int CTable::bReadInContext(const char16_t*, std::uint32_t, RuntimeWord, std::uint32_t, std::uint32_t, RuntimeWord,
                           std::uint32_t) {
  return nNotAvailable(TABLE_POINT_NOT_BUILT);
}

int CTable::bSeekOnKey(const char16_t*, RuntimeWord, std::uint32_t, std::uint32_t, std::uint32_t, RuntimeWord,
                       std::uint32_t, std::uint32_t) {
  return nNotAvailable(TABLE_POINT_NOT_BUILT);
}

int CTable::bResetContext(const char16_t*) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }

int CTable::bLockTable(std::uint32_t, RuntimeWord) {
  nNotAvailable(TABLE_POINT_LOCK_TABLE);
  if (m_pErrorHolder) m_pErrorHolder->MarkNonFatal();
  return 0;
}

int CTable::bUnlockTable() { return 1; }

int CTable::bTestRecordLock(RuntimeWord, std::uint32_t, RuntimeWord) {
  nNotAvailable(TABLE_POINT_TEST_RECORD_LOCK);
  if (m_pErrorHolder) m_pErrorHolder->MarkNonFatal();
  return 0;
}

int CTable::bTestRecordLockDefault(RuntimeWord) { return 1; }

int CTable::bGoToRecord(const char16_t*, RuntimeWord, std::uint32_t, RuntimeWord, std::uint32_t, RuntimeWord) {
  return nNotAvailable(TABLE_POINT_NOT_BUILT);
}

int CTable::bIsReadOnly(RuntimeWord out) {
  if (out) *reinterpret_cast<std::uint32_t*>(out) = 0;
  return 1;
}

int CTable::bSupportsTransactions(RuntimeWord out, RuntimeWord) {
  if (out) *reinterpret_cast<std::uint32_t*>(out) = 1;
  return 1;
}

int CTable::bGetRecordFlags(RuntimeWord, RuntimeWord) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bNotSupportedC(RuntimeWord, RuntimeWord, std::uint32_t, RuntimeWord) {
  return nNotAvailable(TABLE_POINT_NOT_SUPPORTED_C);
}

int CTable::bExecuteQuery(std::uint32_t* hasRows, const char16_t*, RuntimeWord, std::uint32_t, RuntimeWord) {
  if (hasRows) *hasRows = 0;
  return nNotAvailable(TABLE_POINT_NOT_BUILT);
}

int CTable::bRestorePosition(RuntimeWord, std::uint32_t) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
void CTable::SetIdentifierSource(void* source) { m_pIdentifierSource = source; }
int CTable::bUnlockRecord(IHostConnectionDescription*, RuntimeWord) { return 1; }

CTable* CTable::pClone(CHashTable&, RuntimeWord, RuntimeWord) {
  nNotAvailable(TABLE_POINT_NOT_BUILT);
  return nullptr;
}

int CTable::bCreate() { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bClearRecord(std::uint32_t, std::uint32_t) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bDeleteRecordChecked(RuntimeWord, RuntimeWord) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bMarkContextRecord(const char16_t*) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bResetContextMark(const char16_t*) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bSavePosition(std::uint32_t) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bReadCurrentContext(RuntimeWord, std::uint32_t, std::uint32_t) {
  return nNotAvailable(TABLE_POINT_NOT_BUILT);
}
int CTable::bGetPositionPerMille(std::uint32_t* out, const char16_t*, std::uint32_t) {
  if (out) *out = 0xFFFFFFFF;
  return nNotAvailable(TABLE_POINT_NOT_BUILT);
}
int CTable::bSetPositionPerMille(const char16_t*, std::uint32_t, std::uint32_t, std::uint32_t) {
  return nNotAvailable(TABLE_POINT_NOT_BUILT);
}
int CTable::bCallLargeValueSlot(std::uint32_t, RuntimeWord) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
std::uint32_t CTable::nGetLargeValueState(std::uint32_t, RuntimeWord) {
  return static_cast<std::uint32_t>(nNotAvailable(TABLE_POINT_NOT_BUILT));
}
int CTable::bGetRecordBuffer(RuntimeWord) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bSetRecordBuffer(RuntimeWord) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bCompareSavedPositions(std::uint32_t, std::uint32_t, RuntimeWord) {
  return nNotAvailable(TABLE_POINT_NOT_BUILT);
}
int CTable::bGetOutOfRange(const char16_t*, RuntimeWord) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bGetRecordState(const char16_t*, std::uint32_t*, std::uint32_t*) {
  return nNotAvailable(TABLE_POINT_NOT_BUILT);
}
int CTable::bSetLockMode(std::uint32_t) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }

IHostFileDescription* CTable::pGetWorkingDescription() {
  if (m_pRecordDescription) m_pRecordDescription->AddExternalRef();
  return m_pRecordDescription;
}

std::uint32_t CTable::nHashName(const char16_t* name) {
  if (!name) name = u"";
  std::size_t length = 0;
  while (name[length]) ++length;
  // Folding keeps one unit per unit; the stack serves names below 1024 bytes, the heap the others.
  const std::size_t size = length + 1;
  char16_t stackBuffer[512];
  std::unique_ptr<char16_t[]> heapBuffer;
  char16_t* folded = stackBuffer;
  if (size * sizeof(char16_t) >= sizeof(stackBuffer)) {
    heapBuffer.reset(new (std::nothrow) char16_t[size]);
    if (!heapBuffer) return 0;
    folded = heapBuffer.get();
  }
  const std::int32_t written = HostMapStringFrench(0, folded, static_cast<std::int32_t>(size), name);
  std::uint32_t sum = 0;
  for (std::int32_t i = 0; i < written && folded[i]; ++i) sum += folded[i];
  return sum;
}

int CTable::nCompareNames(const char16_t* a, const char16_t* b) {
  return nHostCompareNoCase(a ? a : u"", b ? b : u"") != 0;
}

int CTable::bIsKeyUsable(IHostItemDescription* item) {
  if (item->bIsPrimaryKey()) return 1;
  if (!item->bIsUnique()) return 0;
  if (item->nGetInterfaceLevel() >= 9) return !item->bIsNullAllowed();
  const std::uint32_t type = item->nGetType();
  return type == COLUMN_TYPE_AUTO_ID8 || type == COLUMN_TYPE_AUTO_ID4;
}

IRowKey* CTable::pNewRecordKey(CRecord*) {
  nNotAvailable(TABLE_POINT_NOT_BUILT);
  return nullptr;
}
std::uint32_t CTable::nGetColumnQualification() { return static_cast<std::uint32_t>(bIsQueryMode()); }
std::uint32_t CTable::nGetStateWord() { return m_nState; }
CQueryDescription* CTable::pGetQueryDescription() {
  nNotAvailable(TABLE_POINT_NOT_BUILT);
  return nullptr;
}

// ---- what a statement object asks of its table ----

int CTable::bStorePosition(RuntimeWord, const char16_t*, std::uint32_t) {
  return nNotAvailable(TABLE_POINT_NOT_BUILT);
}
int CTable::bRecallPosition(std::uint32_t, RuntimeWord, std::uint32_t, std::uint32_t) {
  return nNotAvailable(TABLE_POINT_NOT_BUILT);
}
// The table description is made when the table is opened; the table engine opens none yet.
CTableDescription* CTable::pGetTableDescription() { return nullptr; }

const char16_t* CTable::pszGetSqlName() {
  if (!m_bSqlNameMade && m_pRecordDescription && m_pConnection) {
    m_bSqlNameMade =
        m_pConnection->nQuoteDottedName(m_pErrorHolder, m_pRecordDescription->pszGetSqlTableName(), m_strSqlName);
  }
  return m_bSqlNameMade ? m_strSqlName.pszGet() : pszGetName();
}

int CTable::bIsQueryMode() { return 0; }
int CTable::bIsSqlQuery() { return 0; }
std::uint32_t CTable::nGetTranslationOptions() { return 0; }
CSqlRewriter* CTable::pNewSqlStatement() { return pCreateSqlRewriterThroughDriver(m_pErrorHolder, m_pConnection); }
// The runtime's description of the table describes its rows until query mode attaches one of its own.
int CTable::bHasAttachedDescription() { return m_pRecordDescription != nullptr; }
CRecordDescription* CTable::pNewRecordDescription(const char16_t*) {
  nNotAvailable(TABLE_POINT_NOT_BUILT);
  return nullptr;
}
int CTable::bAttachDescription(CRecordDescription*) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bPositionKeepingBuffer(CCursor*, std::uint32_t, std::uint32_t, std::uint32_t) {
  return nNotAvailable(TABLE_POINT_NOT_BUILT);
}
int CTable::bResetRecordBuffer(std::uint32_t) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
void CTable::CopyImageToCurrent() { nNotAvailable(TABLE_POINT_NOT_BUILT); }
std::uint32_t CTable::nStoreContextRecord(CCursor*) { return 0xFFFFFFFF; }  // no record store yet: no slot
void CTable::PinRecordSlot(std::uint32_t) {}
void CTable::UnpinRecordSlot(std::uint32_t) {}
std::uint32_t CTable::nGetNextRecordSlot(std::uint32_t) { return 0xFFFFFFFF; }
int CTable::bReadSlotIntoImage(std::uint32_t) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
int CTable::bIsStoredRecordDeleted(std::uint32_t) { return 0; }
int CTable::bComputeNextIdentifier(CColumn*) { return nNotAvailable(TABLE_POINT_NOT_BUILT); }
CSharedRowSource* CTable::pGetSharedRowSource() { return nullptr; }
int CTable::bDropSharedRowSource() { return 1; }  // there is never a shared row source to drop yet
void CTable::SetKeyCondition(CKeyCondition*) {}
IPositionTable* CTable::pGetPositionTable() { return nullptr; }  // no record store yet
CCursor* CTable::pGetDefaultContext() {
  nNotAvailable(TABLE_POINT_NOT_BUILT);
  return nullptr;
}
int CTable::bCountRecords(std::int64_t* count, std::uint32_t, std::uint32_t, CCursor*, std::int32_t) {
  if (count) *count = 0;
  return nNotAvailable(TABLE_POINT_NOT_BUILT);
}

CTable* pTableCopyInMap(CHashTable& cloneMap, CTable* table) {
  std::uint64_t known = 0;
  if (cloneMap.bLookup(nCloneKey(table), &known, nullptr)) return reinterpret_cast<CTable*>(known);
  return table->pClone(cloneMap, 0, 0);
}
