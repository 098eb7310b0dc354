#include "engine/table/table.h"

#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "engine/cache/keyed_row_cache.h"
#include "engine/cache/saved_position.h"
#include "engine/cache/shared_row_source.h"
#include "engine/record/column_types.h"
#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/record/record_description.h"
#include "engine/record/query_description.h"
#include "engine/record/record_factories.h"
#include "engine/record/table_description.h"
#include "engine/table/cursor.h"
#include "engine/values/row_keys.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/host_locale.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "host/host_objects.h"
#include "sql/conditions/key_condition.h"
#include "sql/connection.h"
#include "sql/driver_services.h"

namespace {

// Identification points of the table's own refusals.
enum : std::uint32_t {
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
  MakeStores();
}

CTable::CTable() { MakeStores(); }

namespace {

// Context names are owned copies: the key of an entry is the copy's address.
std::uint32_t HashContextName(std::uint64_t key) {
  return CTable::nHashName(reinterpret_cast<const char16_t*>(static_cast<std::uintptr_t>(key)));
}
int CompareContextNames(std::uint64_t a, std::uint64_t b) {
  return CTable::nCompareNames(reinterpret_cast<const char16_t*>(static_cast<std::uintptr_t>(a)),
                               reinterpret_cast<const char16_t*>(static_cast<std::uintptr_t>(b)));
}
template <typename T>
void ReleaseCounted(T*& object) {
  if (object) object->nRelease();
  object = nullptr;
}

std::uint64_t NameKey(const char16_t* name) { return reinterpret_cast<std::uintptr_t>(name); }
template <typename T>
T* AsPointer(std::uint64_t value) {
  return reinterpret_cast<T*>(static_cast<std::uintptr_t>(value));
}

char16_t* pCopyName(const char16_t* name) {
  std::size_t length = 0;
  while (name[length]) ++length;
  auto* copy = new (std::nothrow) char16_t[length + 1];
  if (copy) std::memcpy(copy, name, (length + 1) * sizeof(char16_t));
  return copy;
}

std::uint32_t HashIdentifier(std::uint64_t key) { return static_cast<std::uint32_t>(key); }
int CompareIdentifiers(std::uint64_t a, std::uint64_t b) { return a != b; }

}  // namespace

void CTable::MakeStores() {
  m_contexts.SetHashFunction(&HashContextName);
  m_contexts.SetCompareFunction(&CompareContextNames);
  m_savedPositions.SetHashFunction(&HashIdentifier);
  m_savedPositions.SetCompareFunction(&CompareIdentifiers);
  // A store that cannot be made leaves the table without one: pGetPositionTable answers null and slots are never
  // taken, so the table still reads and writes.
  for (CKeyedRowCache** store : {&m_pRecordStore, &m_pSecondRecordStore}) {
    *store = new (std::nothrow) CKeyedRowCache();
    if (!*store) continue;
    (*store)->AddRef();
    (*store)->SetGrowth(50, 0);
  }
}

CTable::~CTable() {
  // The access interfaces' lookup cache holds no reference: a destroyed table must not stay reachable through it.
  ForgetCachedTable(this);
  ResetState();
  ReleaseCounted(m_pRecordStore);
  ReleaseCounted(m_pSecondRecordStore);
  ReleaseCounted(m_pTableDescription);
  ReleaseCounted(m_pAttachedDescription);
  ReleaseCounted(m_pParsedQuery);
  ReleaseCounted(m_pKeyCondition);
  if (m_pWorkingDescription) m_pWorkingDescription->nReleaseExternal();
  m_pWorkingDescription = nullptr;
  if (m_pRecordDescription) m_pRecordDescription->nReleaseExternal();
  m_pRecordDescription = nullptr;
  ReleaseConnectionThroughDriver(m_pConnection);
  m_pConnection = nullptr;
  ReleaseCounted(m_pErrorHolder);
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

CRecordDescription* CTable::pGetDriverDescription() const {
  return static_cast<CRecordDescription*>(m_pRecordDescription);
}

int CTable::nNotAvailable(std::uint32_t point) {
  RaiseNotAvailable(m_pErrorHolder, ERROR_UNIT_TABLE, point, m_pConnection, pszGetName());
  return 0;
}

int CTable::bRaiseNoColumn() {
  return bRaise(m_pTableDescription ? TABLE_ERROR_NO_SUCH_ITEM : TABLE_ERROR_TABLE_NOT_OPEN, TABLE_POINT_MISSING_PART);
}

int CTable::bRaise(std::uint32_t errorCode, std::uint32_t point, const char16_t* item, std::uint32_t recordedState) {
  const char16_t* name = pszGetName();
  RaiseModuleError(m_pErrorHolder, recordedState, ERROR_UNIT_TABLE, point, m_pConnection, name, errorCode, name);
  if (item && m_pErrorHolder) m_pErrorHolder->SetFileAndItem(name, item);
  return 0;
}

int CTable::bFailNonFatal() {
  if (m_pErrorHolder) m_pErrorHolder->MarkNonFatal();
  return 0;
}

int CTable::nSlot1() { return 0; }

// ---- refusals: the Oracle table supplies table and record locks ----

int CTable::bNotSupportedA(RuntimeWord, std::uint32_t) { return nNotAvailable(TABLE_POINT_NOT_SUPPORTED_A); }
int CTable::bNotSupportedB() { return nNotAvailable(TABLE_POINT_NOT_SUPPORTED_B); }
int CTable::bNotSupportedC(RuntimeWord, RuntimeWord, std::uint32_t, RuntimeWord) {
  return nNotAvailable(TABLE_POINT_NOT_SUPPORTED_C);
}

int CTable::bLockTable(std::uint32_t, RuntimeWord) {
  nNotAvailable(TABLE_POINT_LOCK_TABLE);
  return bFailNonFatal();
}

int CTable::bUnlockTable() { return 1; }

int CTable::bTestRecordLock(RuntimeWord, std::uint32_t, RuntimeWord) {
  nNotAvailable(TABLE_POINT_TEST_RECORD_LOCK);
  return bFailNonFatal();
}

int CTable::bTestRecordLockDefault(RuntimeWord) { return 1; }

// ---- factories ----

CCursor* CTable::pNewContext() {
  return static_cast<CCursor*>(pCreateCursorThroughDriver(this, m_pErrorHolder));
}

CTableDescription* CTable::pNewTableDescription() { return new (std::nothrow) CTableDescription(m_pErrorHolder, this); }

CSavedPosition* CTable::pNewSavedPosition() { return new (std::nothrow) CSavedPosition(); }

CSharedRowSource* CTable::pNewSharedRowSource() {
  CSharedRowSource* source = new (std::nothrow) CSharedRowSource(m_pErrorHolder, this);
  if (source) Exchange(m_pSharedRowSource, source);
  return source;
}

CAutomaticIdentifier* CTable::pNewAutomaticIdentifier() {
  return static_cast<CAutomaticIdentifier*>(pCreateAutomaticIdentifierThroughDriver());
}

CRecordDescription* CTable::pNewRecordDescription(const char16_t*) {
  return pCreateDescriptionThroughDriver(m_pConnection, m_pErrorHolder);
}

CSqlRewriter* CTable::pNewSqlStatement() { return pCreateSqlRewriterThroughDriver(m_pErrorHolder, m_pConnection); }

// ---- contexts ----

CCursor* CTable::pFindContext(const char16_t* name) {
  if (!name) name = u"";
  // The runtime names a context the same way read after read: the same text answers without the locale's compare.
  if (m_pLastContextName && (std::u16string_view(m_pLastContextName) == name || nCompareNames(m_pLastContextName, name) == 0)) {
    return m_pLastContext;
  }
  std::uint64_t value = 0;
  std::uint64_t key = 0;
  if (!m_contexts.bLookup(NameKey(name), &value, &key)) return nullptr;
  m_pLastContextName = AsPointer<const char16_t>(key);
  m_pLastContext = AsPointer<CCursor>(value);
  return m_pLastContext;
}

int CTable::bStoreContext(const char16_t* name, CCursor* context) {
  char16_t* copy = pCopyName(name ? name : u"");
  if (!copy || !m_contexts.bInsert(NameKey(copy), reinterpret_cast<std::uintptr_t>(context))) {
    delete[] copy;
    return 0;
  }
  return 1;
}

CCursor* CTable::pSelectContext(const char16_t* name, std::uint32_t, std::uint32_t flags) {
  if (!name) name = u"";
  CCursor* previous = m_pCurrentContext;
  CCursor* context = pFindContext(name);
  if (!context) {
    context = pNewContext();
    if (!context) {
      SetHolderOutOfMemory(m_pErrorHolder);
      return nullptr;
    }
    context->AddRef();
    if (!bStoreContext(name, context)) {
      context->nRelease();
      SetHolderOutOfMemory(m_pErrorHolder);
      return nullptr;
    }
    context->SetSearchItem(name);
    context->SetRequestedSearchItem(name);
  }
  // A read that carries the key condition on: the context reads on from where the condition stands.
  if ((flags & READ_FLAG_CARRY_CONDITION) && previous && previous != context) {
    CKeyCondition* condition = previous->pGetConditionNode();
    if (condition && condition->bIsStarted()) context->SetConditionNode(condition);
  }
  m_pCurrentContext = context;
  return context;
}

CCursor* CTable::pGetDefaultContext() {
  CCursor* context = pFindContext(u"");
  if (context) return context;
  CCursor* current = m_pCurrentContext;
  context = pSelectContext(u"", READ_FIRST, 0);
  // Writes and counts run on the default context without making it the context of the last read.
  m_pCurrentContext = current;
  return context;
}

int CTable::bRenameContext(CCursor* context, const char16_t* name) {
  if (!context || !name) return 0;
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  std::uint64_t key = 0;
  while (m_contexts.bIterate(position, 0, &value, &key)) {
    if (AsPointer<CCursor>(value) != context) continue;
    m_contexts.EndIteration();
    const char16_t* oldName = AsPointer<const char16_t>(key);
    if (nCompareNames(oldName, name) != 0) {
      // Another context of the new name gives its place: one name, one context.
      std::uint64_t otherValue = 0;
      std::uint64_t otherKey = 0;
      if (m_contexts.bRemove(NameKey(name), &otherValue, &otherKey)) {
        if (m_pCurrentContext == AsPointer<CCursor>(otherValue)) m_pCurrentContext = nullptr;
        delete[] AsPointer<char16_t>(otherKey);
        // Closed as every context the table lets go: its saved positions hold it, and it holds them, until then.
        AsPointer<CCursor>(otherValue)->bClose();
        AsPointer<CCursor>(otherValue)->nRelease();
      }
      // The new entry first: when it cannot be had the context stays under its old name.
      if (!bStoreContext(name, context)) {
        SetHolderOutOfMemory(m_pErrorHolder);
        return 0;
      }
      m_contexts.bRemove(key, nullptr, nullptr);
      delete[] AsPointer<char16_t>(key);
    }
    m_pLastContextName = nullptr;
    m_pLastContext = nullptr;
    context->SetSearchItem(name);
    context->SetRequestedSearchItem(name);
    return 1;
  }
  return 0;
}

void CTable::ReleaseAllContexts() {
  m_pLastContextName = nullptr;
  m_pLastContext = nullptr;
  m_pCurrentContext = nullptr;
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  std::uint64_t key = 0;
  while (m_contexts.bIterate(position, 1, &value, &key)) {
    delete[] AsPointer<char16_t>(key);
    CCursor* context = AsPointer<CCursor>(value);
    context->bClose();
    context->nRelease();
  }
}

void CTable::RereadFromContexts() {
  // A value the rolled-back write stored is still in the image: set again by the program it compares equal there,
  // and an UPDATE that left it out would store nothing for it while answering done.
  m_bImageUnconfirmed = 1;
  // A query's rows are the statement's as it ran, read on in its own order: they stay.
  if (!m_bOpen || bIsQueryMode()) return;
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  while (m_contexts.bIterate(position, 0, &value, nullptr)) AsPointer<CCursor>(value)->LeaveHeldRows();
}

void CTable::InitContextLockState(CCursor* context) {
  std::uint32_t outOfRange = 1;
  if (context) context->GetOutOfRange(&outOfRange);
  if (context && !outOfRange && context->nGetRecordSlot() == SLOT_NONE)
    context->bTakeRecordSlot(SLOT_STATE_READ);
}

void CTable::InitAllContextLockStates() {
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  while (m_contexts.bIterate(position, 0, &value, nullptr)) InitContextLockState(AsPointer<CCursor>(value));
}

// ---- record store ----

std::uint32_t CTable::nStoreRecord(CRecord* record) {
  if (!m_pRecordStore || !record) return SLOT_NONE;
  return m_pRecordStore->nStoreKeyed(record);
}

std::uint32_t CTable::nStoreCurrentRecord() {
  return m_pTableDescription ? nStoreRecord(m_pTableDescription->pGetCurrentRecord()) : SLOT_NONE;
}

std::uint32_t CTable::nStoreContextRecord(CCursor* context) {
  if (!context) return m_pTableDescription ? nStoreRecord(m_pTableDescription->pGetImageRecord()) : SLOT_NONE;
  return nStoreRecord(context->pGetSavedRecord());
}

void CTable::PinRecordSlot(std::uint32_t slot) {
  if (m_pRecordStore && slot != SLOT_NONE) m_pRecordStore->Pin(slot);
}

void CTable::UnpinRecordSlot(std::uint32_t slot) {
  if (m_pRecordStore && slot != SLOT_NONE) m_pRecordStore->nReleaseRow(slot);
}

std::uint32_t CTable::nGetNextRecordSlot(std::uint32_t slot) {
  if (!m_pRecordStore) return SLOT_NONE;
  const std::uint32_t next = slot == SLOT_NONE ? 0 : slot + 1;
  return next < m_pRecordStore->nGetRowCount() ? next : SLOT_NONE;
}

int CTable::bReadRecordSlot(std::uint32_t slot, CRecord* record) {
  return m_pRecordStore && record && slot != SLOT_NONE && m_pRecordStore->bReadRow(record, slot);
}

int CTable::bReadSlotIntoImage(std::uint32_t slot) {
  return m_pTableDescription && bReadRecordSlot(slot, m_pTableDescription->pGetImageRecord());
}

int CTable::bIsStoredRecordDeleted(std::uint32_t slot) {
  return m_pRecordStore && slot != SLOT_NONE && slot < m_pRecordStore->nGetRowCount() &&
         m_pRecordStore->bIsRowDeleted(slot);
}

IRowKey* CTable::pNewRecordKey(CRecord* record) {
  if (!record || !record->pGetBuffer()) return nullptr;
  SRecordImage image;
  image.pBytes = record->pGetBuffer()->pGetBlock();
  image.nByteCount = record->pGetBuffer()->nGetTotalLength();
  return new (std::nothrow) CRecordValuesKey(image);
}

// ---- plain answers ----

CTableDescription* CTable::pGetTableDescription() { return m_pTableDescription; }
CQueryDescription* CTable::pGetQueryDescription() { return m_pParsedQuery; }
std::uint32_t CTable::nGetColumnQualification() { return static_cast<std::uint32_t>(bIsQueryMode()); }
std::uint32_t CTable::nGetStateWord() { return m_nState; }
int CTable::bIsQueryMode() { return m_bQueryMode != 0; }
int CTable::bIsSqlQuery() { return m_bQueryMode && (m_nQueryFlags & QUERY_FLAG_SQL_TEXT); }
std::uint32_t CTable::nGetTranslationOptions() { return m_nQueryFlags; }
CSharedRowSource* CTable::pGetSharedRowSource() { return m_pSharedRowSource; }
void CTable::SetKeyCondition(CKeyCondition* condition) { Exchange(m_pKeyCondition, condition); }
void CTable::SetIdentifierSource(void* source) { m_pIdentifierSource = source; }
int CTable::bUnlockRecord(IHostConnectionDescription*, RuntimeWord) { return 1; }
int CTable::bIsReadOnly(RuntimeWord out) {
  if (out) *reinterpret_cast<std::uint32_t*>(out) = 0;
  return 1;
}
int CTable::bSupportsTransactions(RuntimeWord out, RuntimeWord) {
  if (out) *reinterpret_cast<std::uint32_t*>(out) = 1;
  return 1;
}
int CTable::bHasAttachedDescription() { return m_pRecordDescription != nullptr; }

const char16_t* CTable::pszGetSqlName() {
  if (!m_bSqlNameMade && m_pRecordDescription && m_pConnection) {
    m_bSqlNameMade =
        m_pConnection->nQuoteDottedName(m_pErrorHolder, m_pRecordDescription->pszGetSqlTableName(), m_strSqlName);
  }
  return m_bSqlNameMade ? m_strSqlName.pszGet() : pszGetName();
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

CTable* pTableCopyInMap(CHashTable& cloneMap, CTable* table) {
  std::uint64_t known = 0;
  if (cloneMap.bLookup(nCloneKey(table), &known, nullptr)) return reinterpret_cast<CTable*>(known);
  return table->pClone(cloneMap, 0, 0);
}
