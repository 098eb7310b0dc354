// Record slots, saved positions and positioning: positions stored, recalled, compared and released by identifier,
// a context put on a record by key values or per mille, and where a context stands.
#include <cstdint>
#include <memory>

#include "engine/cache/keyed_row_cache.h"
#include "engine/cache/saved_position.h"
#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/record.h"
#include "engine/record/record_description.h"
#include "engine/record/table_description.h"
#include "engine/table/cursor.h"
#include "engine/table/table.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "sql/conditions/key_condition.h"

namespace {

enum : std::uint32_t {
  TABLE_ERROR_NO_RECORD = 7,
  TABLE_ERROR_NO_POSITION = 11,
  TABLE_ERROR_UNKNOWN_CONTEXT = 5,
  TABLE_ERROR_NO_KEY = 17,
  TABLE_POINT_PER_MILLE = 1,
  TABLE_POINT_RECALL = 2,
  TABLE_POINT_STORE = 3,
  TABLE_POINT_NO_KEY = 9,
  TABLE_POINT_OUT_OF_RANGE = 17,
  TABLE_POINT_RECORD_STATE = 18,
  TABLE_POINT_FIRST_POSITION = 19,
  TABLE_POINT_SECOND_POSITION = 20,
  TABLE_POINT_NOT_EXACT = 23,
};

constexpr std::uint32_t READ_ABSOLUTE = 4;
constexpr std::uint32_t COUNT_RECORDS = 16;
constexpr std::uint32_t COUNT_FROM_CACHE = 0x4000;
constexpr std::uint32_t ROW_UNKNOWN = 0xFFFFFFFF;
constexpr std::size_t RECALLED_NAME_UNITS = 255;

// The identifier of the next stored position, for every table of the process. Written by bStorePosition, read by
// nothing else; every caller holds gcsDriverLock.
std::uint32_t gnNextPositionIdentifier = 1;

CSavedPosition* AsPosition(std::uint64_t value) {
  return reinterpret_cast<CSavedPosition*>(static_cast<std::uintptr_t>(value));
}

// The slot a position stands for: the table's record it was bound to, else the context's own.
std::uint32_t nPositionSlot(CSavedPosition* position) {
  const std::uint32_t bound = position->nGetSecondPinnedRow();
  return bound != SLOT_NONE ? bound : position->nGetPinnedRow();
}

struct SRecordRelease {
  void operator()(CRecord* record) const { record->nRelease(); }
};
using RecordHold = std::unique_ptr<CRecord, SRecordRelease>;

RecordHold HoldDuplicate(CRecord* record) {
  CRecord* copy = record ? record->pDuplicate(RECORD_PARTS_ALL) : nullptr;
  if (copy) copy->AddRef();
  return RecordHold(copy);
}

}  // namespace

// ---- what saved positions ask of the table ----

CKeyedRowCache* CTable::CPositionLink::pGetRecordStore() { return m_pTable->pGetRecordStore(); }

IPositionTable* CTable::CPositionLink::pCloneThroughMap(CHashTable& cloneMap) {
  CTable* copy = pTableCopyInMap(cloneMap, m_pTable);
  return copy ? copy->pGetPositionTable() : nullptr;
}

IPositionTable* CTable::pGetPositionTable() { return m_pRecordStore ? &m_positionLink : nullptr; }

CColumnDescriptor* CTable::pGetIdentifyingItem() {
  CRecordDescription* description = pGetDriverDescription();
  if (!description) return nullptr;
  // Asking chooses the key; the description keeps it, so the reference the question took goes back at once.
  if (IHostItemDescription* item = static_cast<IHostItemDescription*>(description->piGetIdentifyingKey())) {
    item->nRelease();
  }
  return description->pGetIdentifyingKeyMember();
}

// ---- saved positions ----

CSavedPosition* CTable::pLookupPosition(std::uint32_t identifier) {
  std::uint64_t value = 0;
  return m_savedPositions.bLookup(identifier, &value, nullptr) ? AsPosition(value) : nullptr;
}

int CTable::bStorePosition(RuntimeWord identifier, const char16_t* contextName, std::uint32_t) {
  if (!contextName) contextName = u"";
  CSavedPosition* position = pNewSavedPosition();
  if (!position) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  position->AddRef();
  position->SetName(contextName);
  CCursor* context = pFindContext(contextName);
  if (!context) {
    // Made for the position without becoming the context of the last read.
    CCursor* current = m_pCurrentContext;
    context = pSelectContext(contextName, READ_FIRST, 0);
    m_pCurrentContext = current;
  }
  if (!context) {
    position->nRelease();
    return bRaise(TABLE_ERROR_NO_RECORD, TABLE_POINT_STORE, contextName);
  }
  int answer = context->bSavePosition(position);
  if (answer && m_nCurrentRecordSlot != SLOT_NONE) position->BindToCache(pGetPositionTable(), m_nCurrentRecordSlot);
  const std::uint32_t made = gnNextPositionIdentifier;
  if (answer && !m_savedPositions.bInsert(made, reinterpret_cast<std::uintptr_t>(position))) {
    SetHolderOutOfMemory(m_pErrorHolder);
    answer = 0;
  }
  if (!answer) {
    position->nRelease();
    return 0;
  }
  // From here the table's entry holds the position's reference.
  if (!context->RegisterSavedPosition(position, made)) {
    m_savedPositions.bRemove(made, nullptr, nullptr);
    position->nRelease();
    return 0;
  }
  ++gnNextPositionIdentifier;
  if (identifier) *reinterpret_cast<std::uint32_t*>(identifier) = made;
  return 1;
}

int CTable::bHoldsContext(CCursor* context) {
  std::uint32_t place = 0;
  std::uint64_t value = 0;
  while (m_contexts.bIterate(place, 0, &value, nullptr)) {
    if (reinterpret_cast<CCursor*>(static_cast<std::uintptr_t>(value)) == context) {
      m_contexts.EndIteration();
      return 1;
    }
  }
  return 0;
}

int CTable::bRecallPosition(std::uint32_t identifier, RuntimeWord contextName, std::uint32_t keep,
                            std::uint32_t flags) {
  CSavedPosition* position = pLookupPosition(identifier);
  if (!position) return bRaise(TABLE_ERROR_NO_POSITION, TABLE_POINT_RECALL);
  if (contextName) {
    // The runtime's buffer takes 255 units and the terminator.
    auto* out = reinterpret_cast<char16_t*>(contextName);
    const char16_t* name = position->pszGetName();
    std::size_t i = 0;
    for (; i < RECALLED_NAME_UNITS && name[i]; ++i) out[i] = name[i];
    out[i] = 0;
  }
  IPositionOwner* owner = position->pGetOwner();
  auto* context = static_cast<CCursor*>(owner);
  // A context the table no longer holds (re-filed under a taken name) cannot become the current one: the table
  // would point at it after the position let it go.
  int answer = context && bHoldsContext(context);
  if (answer) {
    m_pCurrentContext = context;
    answer = context->bRestorePosition(position, flags);
  } else {
    bRaise(TABLE_ERROR_NO_POSITION, TABLE_POINT_RECALL);
  }
  if (answer) {
    const std::uint32_t slot = nPositionSlot(position);
    if (slot != SLOT_NONE) {
      CRecord* current = m_pTableDescription ? m_pTableDescription->pGetCurrentRecord() : nullptr;
      if (current) current->SetState(0);
      UnpinRecordSlot(m_nCurrentRecordSlot);
      m_nCurrentRecordSlot = slot;
      PinRecordSlot(slot);
      if (bReadSlotIntoImage(slot)) CopyImageToCurrent();
      // The record was deleted since it was stored: the table description marks the current record so.
      if (m_pTableDescription && bIsStoredRecordDeleted(slot)) m_pTableDescription->MarkCurrentRecord();
    }
  }
  if (owner) owner->ReleaseOwnerReference();
  if (!keep) bReleasePosition(identifier);
  return answer;
}

namespace {

// The table's entry is out already; the context's list lets go too: a released position pins no record of the
// store any more.
void LetPositionGo(CSavedPosition* position, std::uint32_t identifier) {
  if (IPositionOwner* owner = position->pGetOwner()) {
    static_cast<CCursor*>(owner)->bUnregisterSavedPosition(identifier);
    owner->ReleaseOwnerReference();
  }
  position->nRelease();
}

}  // namespace

int CTable::bReleasePosition(std::uint32_t identifier) {
  std::uint64_t value = 0;
  if (!m_savedPositions.bRemove(identifier, &value, nullptr)) return 1;
  LetPositionGo(AsPosition(value), identifier);
  return 1;
}

void CTable::ReleaseSavedPositions() {
  std::uint32_t place = 0;
  std::uint64_t value = 0;
  std::uint64_t identifier = 0;
  while (m_savedPositions.bIterate(place, 1, &value, &identifier)) {
    LetPositionGo(AsPosition(value), static_cast<std::uint32_t>(identifier));
  }
}

int CTable::bCompareSavedPositions(std::uint32_t a, std::uint32_t b, RuntimeWord outEqual) {
  auto* equal = reinterpret_cast<std::uint32_t*>(outEqual);
  std::uint32_t scratch = 0;
  if (!equal) equal = &scratch;
  if (a == b) {
    *equal = 1;
    return 1;
  }
  CSavedPosition* first = pLookupPosition(a);
  if (!first) return bRaise(TABLE_ERROR_NO_POSITION, TABLE_POINT_FIRST_POSITION);
  CSavedPosition* second = pLookupPosition(b);
  if (!second) return bRaise(TABLE_ERROR_NO_POSITION, TABLE_POINT_SECOND_POSITION);
  return bCompareRecords(first, second, equal);
}

int CTable::bCompareRecords(CSavedPosition* a, CSavedPosition* b, std::uint32_t* equal) {
  *equal = 0;
  IPositionOwner* ownerA = a->pGetOwner();
  IPositionOwner* ownerB = b->pGetOwner();
  const bool sameOwner = ownerA && ownerA == ownerB;
  if (ownerA) ownerA->ReleaseOwnerReference();
  if (ownerB) ownerB->ReleaseOwnerReference();
  if (!sameOwner) {
    bComparePositions(a, b, equal);
  } else if (a->nGetRow() != ROW_UNKNOWN && b->nGetRow() != ROW_UNKNOWN) {
    *equal = a->nGetRow() == b->nGetRow();
  } else if (!bComparePositions(a, b, equal)) {
    bCompareOther(a, b, equal);
  }
  return 1;
}

int CTable::bComparePositions(CSavedPosition* a, CSavedPosition* b, std::uint32_t* equal) {
  const std::uint32_t slotA = nPositionSlot(a);
  const std::uint32_t slotB = nPositionSlot(b);
  if (slotA == SLOT_NONE || slotB == SLOT_NONE) return 0;
  if (slotA == slotB) {
    *equal = 1;
    return 1;
  }
  CColumnDescriptor* key = pGetIdentifyingItem();
  if (!key || !key->bIsUnique() || !m_pTableDescription) return 0;
  RecordHold recordA = HoldDuplicate(m_pTableDescription->pGetCurrentRecord());
  RecordHold recordB = HoldDuplicate(m_pTableDescription->pGetCurrentRecord());
  if (!recordA || !recordB || !bReadRecordSlot(slotA, recordA.get()) || !bReadRecordSlot(slotB, recordB.get())) {
    return 0;
  }
  CHostValue valueA;
  CHostValue valueB;
  recordA->GetFieldValue(valueA, key);
  recordB->GetFieldValue(valueB, key);
  if (valueA.bIsNull() && valueB.bIsNull()) return 0;
  if (valueA.bIsNull() || valueB.bIsNull()) {
    *equal = 0;
    return 1;
  }
  std::int32_t same = 0;
  if (valueA.nEquals(valueB, &same) != 0) return 0;
  *equal = same != 0;
  return 1;
}

int CTable::bCompareOther(CSavedPosition*, CSavedPosition*, std::uint32_t*) { return 0; }

int CTable::bRestorePosition(RuntimeWord contextName, std::uint32_t) {
  const auto* name = reinterpret_cast<const char16_t*>(contextName);
  CCursor* current = m_pCurrentContext ? m_pCurrentContext : pGetDefaultContext();
  if (!current) return 0;
  CCursor* named = pSelectContext(name, READ_ABSOLUTE, 0);
  if (!named) return 0;
  if (named == current && m_nCurrentRecordSlot == SLOT_NONE) return 1;
  if (m_nCurrentRecordSlot != SLOT_NONE) {
    named->bSetRecordSlot(SLOT_STATE_READ, m_nCurrentRecordSlot);
    return bResetRecordBuffer(1);
  }
  if (current->nGetRecordSlotState() != SLOT_STATE_NONE) {
    const std::uint32_t slot = current->nGetRecordSlot();
    named->bSetRecordSlot(SLOT_STATE_PINNED, slot);
    if (bReadSlotIntoImage(slot)) CopyImageToCurrent();
    return 1;
  }
  const std::uint32_t slot = nStoreContextRecord(nullptr);
  if (slot != SLOT_NONE) named->bSetRecordSlot(SLOT_STATE_PINNED, slot);
  return 1;
}

// ---- going to a record ----

int CTable::bGoToRecord(const char16_t* contextName, RuntimeWord keyValue, std::uint32_t, RuntimeWord, std::uint32_t,
                        RuntimeWord) {
  CCursor* context = pSelectContext(contextName, READ_FIRST, 0);
  if (!context) return 0;
  CColumn* column = m_pTableDescription ? m_pTableDescription->pFindColumnByName(context->pszGetSearchItem()) : nullptr;
  // The context reads through a key of the table or there is nothing to go to.
  if (!column) return bRaise(TABLE_ERROR_NO_KEY, TABLE_POINT_NO_KEY, contextName);
  CKeyCondition* condition = context->pGetConditionNode();
  if (!condition || condition->nGetRefCount() > 1) {
    condition = context->pNewConditionNode(m_pErrorHolder);
    if (!condition) return 0;
    context->SetConditionNode(condition);
  }
  // With a value the key goes to that value; without one (the items form) to the values the program put in the
  // current record.
  auto* value = reinterpret_cast<CHostValue*>(keyValue);
  const int built = value ? condition->bSetSearch(m_pTableDescription, column->pGetDescriptorNoRef(), value, READ_FIRST, 1)
                          : condition->bSetRecordSearch(m_pTableDescription, column->pGetDescriptorNoRef(), 0, 1);
  if (!built) return 0;
  std::uint32_t place = 0;
  std::uint64_t entry = 0;
  while (m_contexts.bIterate(place, 0, &entry, nullptr)) {
    CKeyCondition* other = reinterpret_cast<CCursor*>(static_cast<std::uintptr_t>(entry))->pGetConditionNode();
    if (other) other->Reset();
  }
  condition->SetFirstStage();
  SetKeyCondition(condition);
  return 1;
}

int CTable::bGoToRecordByItems(RuntimeWord items, RuntimeWord keyName) {
  CRecordDescription* description = pGetDriverDescription();
  CColumnDescriptor* unique = nullptr;
  CColumnDescriptor* duplicates = nullptr;
  CColumnDescriptor* plain = nullptr;
  // The runtime's items: an array of values ended by one without a type; the texts among them name items of the
  // file, qualified or not.
  auto* values = reinterpret_cast<CHostValue*>(items);
  for (std::uint32_t i = 0; values && description && values[i].nGetType() != 0; ++i) {
    CHostValue& item = values[i];
    if (item.nGetType() != HOST_TYPE_TEXT || item.bIsNull()) continue;
    const char16_t* text = nullptr;
    if (item.nGetWideText(&text) != 0 || !text) continue;
    const char16_t* name = text;
    for (const char16_t* p = text; *p; ++p) {
      if (*p == u'.') name = p + 1;
    }
    CColumnDescriptor* found = description->piFindItemByName(name, FIND_ITEM_DEFAULT);
    if (!found) continue;
    if (found->bIsPrimaryKey() || found->bIsUnique()) {
      if (!unique) unique = found;
    } else if (found->bIsKeyWithDuplicates()) {
      if (!duplicates) duplicates = found;
    } else if (!found->bIsMemo() && !plain) {
      plain = found;
    }
  }
  CColumnDescriptor* key = unique ? unique : duplicates ? duplicates : plain;
  if (!key) key = pGetIdentifyingItem();
  if (!key) return bRaise(TABLE_ERROR_NO_KEY, TABLE_POINT_NO_KEY);
  if (keyName) {
    auto* out = reinterpret_cast<char16_t*>(keyName);
    const char16_t* name = key->pszGetName();
    std::size_t i = 0;
    for (; i < RECALLED_NAME_UNITS && name[i]; ++i) out[i] = name[i];
    out[i] = 0;
  }
  return bGoToRecord(key->pszGetName(), 0, 0, 0, 0, items);
}

// ---- positioning on a key ----

int CTable::bPositionOnKey(std::uint32_t mode, CCursor* context, std::uint32_t a, std::uint32_t direction,
                           std::uint32_t count) {
  CColumn* column =
      m_pTableDescription && context ? m_pTableDescription->pFindColumnByName(context->pszGetSearchItem()) : nullptr;
  if (!column) return 1;
  CRecord* current = m_pTableDescription->pGetCurrentRecord();
  CRecord* image = m_pTableDescription->pGetImageRecord();
  RecordHold keptCurrent = HoldDuplicate(current);
  RecordHold keptImage = HoldDuplicate(image);
  if (!keptCurrent || !keptImage || !current->bCopyFrom(image, RECORD_PARTS_ALL)) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  const int answer = bPositionOnIdentifyingKey(context, column, a, direction, count);
  std::uint32_t outOfRange = 1;
  context->GetOutOfRange(&outOfRange);
  if (!answer || outOfRange || mode) {
    current->bCopyFrom(keptCurrent.get(), RECORD_PARTS_ALL);
    image->bCopyFrom(keptImage.get(), RECORD_PARTS_ALL);
  }
  if (!answer || outOfRange) {
    const std::uint32_t slot = nStoreContextRecord(nullptr);
    if (slot != SLOT_NONE) context->bSetRecordSlot(SLOT_STATE_PINNED, slot);
  }
  return answer;
}

int CTable::bPositionOnIdentifyingKey(CCursor* context, CColumn* keyColumn, std::uint32_t a, std::uint32_t direction,
                                      std::uint32_t count) {
  CColumnDescriptor* identifying = pGetIdentifyingItem();
  CColumn* identifyingColumn = identifying ? m_pTableDescription->pFindColumn(identifying) : nullptr;
  bool counted = false;
  if (identifyingColumn && identifying->bIsUnique()) {
    CHostValue value;
    counted = identifyingColumn->bGetValue(value, 0) && value.nGetType() != 0 && !value.bIsNull();
  }
  CKeyCondition* condition = context->pGetConditionNode();
  if (!condition) {
    condition = context->pNewConditionNode(m_pErrorHolder);
    if (!condition) return 0;
    context->SetConditionNode(condition);
  }
  if (!condition->bSetRecordSearch(m_pTableDescription, keyColumn->pGetDescriptorNoRef(), 0, 0)) return 0;

  // In 64 bits: the moves below are differences of u32 counts.
  std::int64_t move = count;
  CColumnDescriptor* keyItem = keyColumn->pGetDescriptorNoRef();
  // A key with duplicates starts its search at the record's own position key: that stage, too, is the record alone,
  // and the stage after it holds the records after it in the key's order, its duplicates ordered by that position
  // key. Counted by the value alone, the records after it would count none of its duplicates, and the move would
  // land on the record again.
  const bool ownStage = keyItem && (keyItem->bIsUnique() || keyItem->bIsPrimaryKey() ||
                                    m_pTableDescription->pGetPositionKey());
  if (counted && ownStage && a == 0 && (direction == READ_NEXT || direction == READ_PREVIOUS)) {
    // The search starts at the record itself and reads no further stage here: a move on goes straight to the
    // records after (before) it, counted from the first of them. Counting them first and reading the record's own
    // stage by that count would run off it, or land on the record itself again.
    if (condition->nGetStage() == KEY_STAGE_FIRST) condition->bAdvance(direction == READ_NEXT ? 0 : 1);
  } else if (counted) {
    std::int64_t after = 0;
    if (!bCountRecords(&after, COUNT_RECORDS, 0, context, 4)) return 0;
    const std::int64_t a1 = static_cast<std::int64_t>(a) + 1;
    if (direction == READ_NEXT) {
      if (after >= move + a1) {
        direction = READ_ABSOLUTE;
        move += a1;
      } else if (after >= a1) {
        move = move - after + a1;
      }
    } else if (direction == READ_PREVIOUS) {
      if (a1 > move && after > move) {
        direction = READ_ABSOLUTE;
        move = a1 - move;
      } else {
        // Further back than the key's rows reach: the move stops at the first of them, never wraps.
        move = move - a1 + 1;
        if (move < 0) move = 0;
      }
    } else if (direction == READ_ABSOLUTE) {
      if (after >= a1) {
        move = a1;
      } else if (after >= 1) {
        move = after;
      }
    }
  }
  const std::uint32_t read = direction == READ_LAST || direction == READ_PREVIOUS ? READ_LAST : READ_FIRST;
  if (direction == READ_ABSOLUTE && move < 1) move = 1;
  const std::uint32_t flags = context->nGetOpenFlags() | READ_FLAG_RESTART | READ_FLAG_POSITIONING;
  if (!bDoRead(context, context->pszGetSearchItem(), read, static_cast<std::uint32_t>(move), a, m_nPositioningLockMode,
               0, flags, 1)) {
    return 0;
  }
  std::uint32_t outOfRange = 1;
  context->GetOutOfRange(&outOfRange);
  if (direction == READ_ABSOLUTE && outOfRange) {
    return bRaise(CURSOR_ERROR_NOT_FOUND, TABLE_POINT_NOT_EXACT, context->pszGetSearchItem(),
                  CURSOR_RECORDED_NOT_FOUND);
  }
  return 1;
}

// ---- where a context stands ----

int CTable::bRaiseUnknownContext(const char16_t* contextName, std::uint32_t point) {
  const char16_t* name = contextName ? contextName : u"";
  RaiseModuleError(m_pErrorHolder, 0, ERROR_UNIT_TABLE, point, m_pConnection, pszGetName(),
                   TABLE_ERROR_UNKNOWN_CONTEXT, name);
  if (m_pErrorHolder) m_pErrorHolder->SetFileAndItem(pszGetName(), name);
  return 0;
}

int CTable::bGetOutOfRange(const char16_t* contextName, RuntimeWord out) {
  CCursor* context = pFindContext(contextName);
  if (!context) return bRaiseUnknownContext(contextName, TABLE_POINT_OUT_OF_RANGE);
  std::uint32_t flag = 1;
  context->GetOutOfRange(&flag);
  if (out) *reinterpret_cast<std::uint32_t*>(out) = flag;
  return 1;
}

int CTable::bGetRecordState(const char16_t* contextName, std::uint32_t* word, std::uint32_t* found) {
  CCursor* context = pFindContext(contextName);
  if (!context) return bRaiseUnknownContext(contextName, TABLE_POINT_RECORD_STATE);
  std::uint32_t outOfRange = 1;
  context->GetOutOfRange(&outOfRange);
  // The state word handed out is the statement's (prepared 1, executed 2): what the runtime can tell of the
  // context beyond whether it stands on a record.
  if (word) *word = context->nGetStatementState();
  if (found) *found = outOfRange ? 0 : 1;
  return 1;
}

int CTable::bMarkContextRecord(const char16_t* contextName) {
  if (m_pKeyCondition) m_pKeyCondition->Restart(1);
  CCursor* context = pFindContext(contextName);
  // Nothing to mark on a context that was never read: the mark is a request, not a read.
  if (!context) return 1;
  std::uint32_t outOfRange = 1;
  context->GetOutOfRange(&outOfRange);
  if (!outOfRange && context->nGetRecordSlotState() == SLOT_STATE_NONE) {
    return context->bTakeRecordSlot(SLOT_STATE_PINNED);
  }
  return 1;
}

int CTable::bResetContextMark(const char16_t* contextName) {
  CCursor* context = pFindContext(contextName);
  CKeyCondition* condition = context ? context->pGetConditionNode() : nullptr;
  if (condition && condition->bIsStarted()) condition->Reset();
  return 1;
}

// ---- counts and per mille ----

int CTable::bCountCurrentContext(RuntimeWord value, std::uint32_t flags, std::uint32_t flags2) {
  std::int64_t count = 0;
  CCursor* context = m_pCurrentContext ? m_pCurrentContext : pGetDefaultContext();
  if (!context) return 0;
  const int answer = bCountRecords(&count, flags, flags2, context, -1);
  // The runtime's value takes the count as a 64-bit integer.
  if (answer && value) *reinterpret_cast<std::int64_t*>(value) = count;
  return answer;
}

int CTable::bGetPositionPerMille(std::uint32_t* out, const char16_t* contextName, std::uint32_t) {
  std::uint32_t scratch = 0;
  if (!out) out = &scratch;
  CCursor* context = pFindContext(contextName);
  std::uint32_t outOfRange = 1;
  if (context) context->GetOutOfRange(&outOfRange);
  // Before a query's first record a context may stand on a row it brought in (a record N past the last read them
  // all): no record is current, so none has a place.
  if (bIsSqlQuery() && m_pSharedRowSource && !m_bRecordHandedOut) outOfRange = 1;
  // The place of a query's shared rows asked of a context that read before another did, or never did, is the
  // current record's in the context's order: where a move through it goes on from.
  if (context && bIsSqlQuery() && m_pSharedRowSource && m_bRecordHandedOut && !bStandsOnCurrentRecord(context)) {
    // A current record the rows no longer hold has no place among them.
    if (!context->bPlaceOnRecord(m_pTableDescription->pGetImageRecord(), false)) return 0;
    outOfRange = context->pGetSavedRecord() ? 0 : 1;
  }
  if (!context || outOfRange) {
    *out = 0xFFFFFFFF;
    return bRaise(TABLE_ERROR_NO_RECORD, TABLE_POINT_PER_MILLE, contextName);
  }
  return context->nGetPositionPerMille(out, contextName);
}

int CTable::bSetPositionPerMille(const char16_t* contextName, std::uint32_t perMille, std::uint32_t,
                                 std::uint32_t flags) {
  CCursor* context = pFindContext(contextName);
  if (!context) return 1;
  std::int64_t count = 0;
  // The move reads from the first of all the key's records: they are what the target is counted among, not the
  // range a seek left. A query given as SQL text counts the rows it moves through, its shared ones, after a seek
  // too (its seeks look through them): counted on the server, rows committed since would be counted, not reached.
  const int fromCache = !context->bHasConditionNode() || bIsSqlQuery();
  if (!bCountRecords(&count, COUNT_RECORDS, fromCache ? COUNT_FROM_CACHE : 0, context, -1)) return 0;
  // In 64 bits: per mille times more than 4,294,967 rows does not fit 32.
  std::int64_t target = static_cast<std::int64_t>(perMille) * count / 1000;
  if (target < 1) target = 1;
  // A move that fails part-way (its statement refused) leaves the context where it stood: found again by the
  // record it stood on, so the next move goes on from there.
  CSavedPosition* before = pNewSavedPosition();
  if (!before) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  before->AddRef();
  int answer = context->bSavePosition(before) &&
               bReadInContext(contextName, READ_FIRST, static_cast<RuntimeWord>(target), 1, 0, 0,
                              flags | READ_FLAG_RESTART);
  if (!answer && before->nGetPinnedRow() != SLOT_NONE) {
    // Its cached row may belong to the statement the move replaced: the record is what finds the place again.
    before->SetState(1);
    context->bRestorePosition(before, 0);
  }
  before->nRelease();
  return answer && bResetRecordBuffer(0);
}
