#include "engine/cache/row_cache.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/values/row_keys.h"
#include "engine/values/value_row.h"
#include "foundation/clone_map.h"
#include "foundation/reference_guard.h"
#include "sql/rewriter/sql_rewriter.h"

namespace {

constexpr std::uint32_t kTemplateParts = RECORD_PART_BUFFER | RECORD_PART_KEY;

std::uint64_t nAddress(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// The record's key object, or none when the record is keyed by its whole record.
IRowKey* pOwnKey(CRecord* record) {
  IRowKey* key = record->pGetKey();
  return key && key->nGetKind() != ROW_KEY_RECORD_VALUES ? key : nullptr;
}

std::uint32_t nKindOf(CRecord* record) {
  IRowKey* key = pOwnKey(record);
  return key ? key->nGetKind() : ROW_KEY_RECORD_VALUES;
}

// A record-values key over the record as it stands now: a key object made earlier may describe an older image.
CRecordValuesKey KeyOverRecord(CRecord* record) {
  CRecordBuffer* buffer = record->pGetBuffer();
  return CRecordValuesKey(
      {buffer ? buffer->pGetBlock() : nullptr, buffer ? buffer->nGetTotalLength() : 0u, record->pGetLargeValues()});
}

// Reading rows back is the cache's hot path: rows of 32 bytes or more are copied in 32-byte pieces, the last one
// ending with the row, so that the copy stays inline instead of calling the library for every row.
inline void CopyRowBytes(std::uint8_t* target, const std::uint8_t* source, std::size_t n) {
  constexpr std::size_t kPiece = 32;
  if (n < kPiece) {
    if (n) std::memcpy(target, source, n);
    return;
  }
  for (std::size_t at = 0; at + kPiece < n; at += kPiece) std::memcpy(target + at, source + at, kPiece);
  std::memcpy(target + n - kPiece, source + n - kPiece, kPiece);
}

// Removes the map entry at a 1-based entry index (as bIterate hands positions out).
void RemoveEntryAt(CHashTable& map, std::uint32_t index) {
  std::uint32_t position = index - 1;
  const bool opensIteration = position == 0;
  map.bIterate(position, 1, nullptr, nullptr);
  if (opensIteration) map.EndIteration();
}

}  // namespace

CRowCache::CRowCache(std::uint32_t flags) : m_nFlags(flags) {}

CRowCache::~CRowCache() {
  CRowCache::Reset();
  std::free(m_pWorkBuffer);
  if (m_pTemplate) m_pTemplate->nRelease();
}

// ---- growth and reservation ----------------------------------------------------------------------------------------

void CRowCache::SetGrowth(std::uint32_t rowsPerBlock, std::uint32_t blockBytes) {
  m_rows.SetGrowth(rowsPerBlock, blockBytes);
  m_keys.SetGrowth(rowsPerBlock, blockBytes);
  if (rowsPerBlock) m_values.SetGrowStep(rowsPerBlock);
}

bool CRowCache::bReserveRow() {
  return m_rows.bReserveEntry() && m_keys.bReserveEntry() && m_values.bReserveOne() && m_marks.bReserveOne();
}

bool CRowCache::bWorkBuffer(std::uint64_t size) {
  if (size <= m_nWorkBufferSize && m_pWorkBuffer) return true;
  if (size > SIZE_MAX) return false;
  void* buffer = std::realloc(m_pWorkBuffer, static_cast<std::size_t>(size ? size : 1));
  if (!buffer) return false;
  m_pWorkBuffer = static_cast<std::uint8_t*>(buffer);
  m_nWorkBufferSize = size;
  return true;
}

// ---- binding -------------------------------------------------------------------------------------------------------

bool CRowCache::bBindRecord(CRecord* record, bool& bound) {
  bound = false;
  const std::uint32_t kind = nKindOf(record);
  if (m_pTemplate) return kind == m_nKeyKind;  // keys of two kinds would not compare in one map
  CRecord* copy = record->pDuplicate(kTemplateParts);
  if (!copy) return false;
  copy->AddRef();
  m_pTemplate = copy;
  m_nKeyKind = kind;
  if (IRowKey* key = pOwnKey(record)) {
    key->ConfigureKeyMap(m_keyMap);
  } else {
    CRecordValuesKey({}).ConfigureKeyMap(m_keyMap);
  }
  bound = true;
  return true;
}

void CRowCache::Unbind() {
  if (m_pTemplate) m_pTemplate->nRelease();
  m_pTemplate = nullptr;
  m_nKeyKind = 0;
}

// ---- storing -------------------------------------------------------------------------------------------------------

CValueRow* CRowCache::pValuesAt(std::uint32_t row) const {
  return row < m_values.nGetCount() ? *static_cast<CValueRow**>(m_values.pGetAt(row)) : nullptr;
}

bool CRowCache::bCopyLargeValues(CRecord* record, CValueRow*& values) {
  values = nullptr;
  CValueRow* source = record->pGetLargeValues();
  if (!source || source->nGetCount() == 0) return true;
  auto* copy = new (std::nothrow) CValueRow();
  if (!copy) return false;
  copy->AddRef();
  // Value by value, so that a duplicate that cannot be made fails the store instead of leaving a hole.
  for (std::uint32_t i = 0; i < source->nGetCount(); ++i) {
    if (!copy->SetAt(i, source->pGetAt(i))) {
      copy->nRelease();
      return false;
    }
  }
  values = copy;
  return true;
}

std::uint8_t* CRowCache::pStoreKey(CRecord* record, const std::uint8_t* bytes, std::uint64_t size, CValueRow* values,
                                   SArenaEntry& entry) {
  if (m_nKeyKind == ROW_KEY_RECORD_VALUES) {
    CRecordValuesKey key({bytes, size, values});
    std::uint8_t* place = m_keys.pAllocate(key.nGetSerialSize(), entry);
    if (place) key.Serialise(place);
    return place;
  }
  IRowKey* key = pOwnKey(record);
  std::uint8_t* place = m_keys.pAllocate(key->nGetSerialSize(), entry);
  if (place) key->Serialise(place);
  return place;
}

std::uint32_t CRowCache::nPlaceRecord(CRecord* record, std::uint32_t row) {
  const std::uint32_t count = nGetRowCount();
  if (row > count || count == ROW_NONE - 1 || !bReserveRow()) return ROW_NONE;
  SArenaEntry rowEntry = ARENA_ENTRY_ABSENT;
  SArenaEntry keyEntry = ARENA_ENTRY_ABSENT;
  CValueRow* values = nullptr;
  std::uint32_t mark = ROW_MARK_DELETED;
  if (record) {
    bool bound = false;
    if (!bBindRecord(record, bound)) return ROW_NONE;
    const SArenaMark rowMark = m_rows.Mark();
    const SArenaMark keyMark = m_keys.Mark();
    auto fail = [&] {
      m_rows.Rollback(rowMark);
      m_keys.Rollback(keyMark);
      if (values) values->nRelease();
      if (bound) Unbind();
      return ROW_NONE;
    };
    CRecordBuffer* buffer = record->pGetBuffer();
    std::uint8_t* place = nullptr;
    const std::uint64_t size = buffer ? buffer->nGetTotalLength() : 0;
    if (buffer) {
      place = m_rows.pAllocate(size, rowEntry);
      if (!place) return fail();
      if (size) std::memcpy(place, buffer->pGetBlock(), static_cast<std::size_t>(size));
    }
    if (!bCopyLargeValues(record, values)) return fail();
    std::uint8_t* keyPlace = pStoreKey(record, place, size, values, keyEntry);
    if (!keyPlace) return fail();
    if (row < count) ShiftRowNumbers(row, 1);
    if (!m_keyMap.bInsert(nAddress(keyPlace), row)) {
      if (row < count) ShiftRowNumbers(row + 1, -1);
      return fail();
    }
    mark = record->nGetState();
  }
  // Every array has room: nothing below can fail.
  if (row == count) {
    m_rows.Append(rowEntry);
    m_keys.Append(keyEntry);
    m_values.Add(&values);
    if (values) ++m_nValueRowCount;
    m_marks.Add(&mark);
  } else {
    m_rows.Insert(rowEntry, row);
    m_keys.Insert(keyEntry, row);
    m_values.InsertAt(&values, row);
    if (values) ++m_nValueRowCount;
    m_marks.InsertAt(&mark, row);
  }
  if (mark & ROW_MARK_DELETED) ++m_nDeletedCount;
  return row;
}

std::uint32_t CRowCache::bStoreRecord(CRecord* record) { return nPlaceRecord(record, nGetRowCount()); }

std::uint32_t CRowCache::bAppendRecord(CRecord* record) { return bStoreRecord(record); }

std::uint32_t CRowCache::InsertRecordAt(CRecord* record, std::uint32_t row) { return nPlaceRecord(record, row); }

std::uint32_t CRowCache::StoreRecordAt(CRecord* record, std::uint32_t row) {
  const std::uint32_t count = nGetRowCount();
  // The empty rows made on the way go again when the record cannot be stored: the cache stays as it was.
  auto undo = [&] {
    while (nGetRowCount() > count) CRowCache::RemoveRow(nGetRowCount() - 1);
    return ROW_NONE;
  };
  while (nGetRowCount() < row) {
    if (bAppendRecord(nullptr) == ROW_NONE) return undo();
  }
  const std::uint32_t stored = row == nGetRowCount() ? bAppendRecord(record) : InsertRecordAt(record, row);
  return stored == ROW_NONE ? undo() : stored;
}

// ---- the key map -------------------------------------------------------------------------------------------------

bool CRowCache::bRemoveKeyOfRow(std::uint32_t row) {
  const std::uint8_t* key = m_keys.pGetBytes(row, nullptr);
  if (!key) return false;
  std::uint64_t value = 0;
  // No entry equal to the row's key: the row has none (its own would compare equal).
  if (!m_keyMap.bLookup(nAddress(key), &value, nullptr)) return false;
  if (value == row) return m_keyMap.bRemove(nAddress(key), nullptr, nullptr) != 0;
  // The first equal key belongs to another row (an equal record stored twice, or a row that took this key over
  // since): only this row's own entry may go.
  std::uint32_t position = 0;
  while (m_keyMap.bIterate(position, 0, &value, nullptr)) {
    if (value == row) {
      m_keyMap.EndIteration();
      RemoveEntryAt(m_keyMap, position);
      return true;
    }
  }
  return false;
}

void CRowCache::ShiftRowNumbers(std::uint32_t from, std::int32_t delta) {
  if (m_keyMap.nGetCount() == 0) return;
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  while (m_keyMap.bIterate(position, 0, &value, nullptr)) {
    if (value >= from) m_keyMap.nSetValueAt(position, value + static_cast<std::uint64_t>(std::int64_t{delta}), nullptr);
  }
}

// ---- removing, replacing, resetting ------------------------------------------------------------------------------

void CRowCache::RemoveRow(std::uint32_t row) {
  if (row >= nGetRowCount()) return;
  bRemoveKeyOfRow(row);
  ShiftRowNumbers(row + 1, -1);
  m_rows.Remove(row);
  m_keys.Remove(row);
  if (CValueRow* values = pValuesAt(row)) {
    values->nRelease();
    --m_nValueRowCount;
  }
  m_values.RemoveAt(row);
  if (nGetMark(row) & ROW_MARK_DELETED) --m_nDeletedCount;
  m_marks.RemoveAt(row);
}

int CRowCache::ReplaceRow(std::uint32_t row, CRecord* record) {
  if (row >= nGetRowCount()) return 0;
  auto setValues = [&](CValueRow* values) {
    if (CValueRow* old = pValuesAt(row)) {
      old->nRelease();
      --m_nValueRowCount;
    }
    if (values) ++m_nValueRowCount;
    m_values.SetAt(&values, row);
  };
  if (!record) {
    bRemoveKeyOfRow(row);
    m_rows.Set(row, ARENA_ENTRY_ABSENT);
    m_keys.Set(row, ARENA_ENTRY_ABSENT);
    setValues(nullptr);
    SetMark(row, ROW_MARK_DELETED);
    return 1;
  }
  bool bound = false;
  if (!bBindRecord(record, bound)) return 0;
  const SArenaMark rowMark = m_rows.Mark();
  const SArenaMark keyMark = m_keys.Mark();
  CValueRow* values = nullptr;
  auto fail = [&] {
    m_rows.Rollback(rowMark);
    m_keys.Rollback(keyMark);
    if (values) values->nRelease();
    if (bound) Unbind();
    return 0;
  };
  // Everything that can fail comes first: the row is untouched until the new entries and values exist.
  CRecordBuffer* buffer = record->pGetBuffer();
  const std::uint64_t size = buffer ? buffer->nGetTotalLength() : 0;
  std::uint64_t stored = 0;
  std::uint8_t* place = m_rows.pGetBytes(row, &stored);
  SArenaEntry rowEntry = ARENA_ENTRY_ABSENT;
  bool newRowEntry = !buffer || !place || stored < size;
  if (!buffer) {
    place = nullptr;
  } else if (newRowEntry && !(place = m_rows.pAllocate(size, rowEntry))) {
    return fail();
  }
  if (!bCopyLargeValues(record, values)) return fail();
  IRowKey* ownKey = m_nKeyKind == ROW_KEY_RECORD_VALUES ? nullptr : pOwnKey(record);
  const std::uint64_t keySize = ownKey ? ownKey->nGetSerialSize() : sizeof(SRecordValuesKeyForm);
  std::uint8_t* keyPlace = m_keys.pGetBytes(row, &stored);
  SArenaEntry keyEntry = ARENA_ENTRY_ABSENT;
  const bool newKeyEntry = !keyPlace || stored < keySize;
  if (newKeyEntry && !(keyPlace = m_keys.pAllocate(keySize, keyEntry))) return fail();

  bRemoveKeyOfRow(row);
  if (place && size) std::memcpy(place, buffer->pGetBlock(), static_cast<std::size_t>(size));
  if (newRowEntry) {
    m_rows.Set(row, rowEntry);
  } else {
    m_rows.SetLength(row, size);
  }
  setValues(values);
  if (ownKey) {
    ownKey->Serialise(keyPlace);
  } else {
    CRecordValuesKey({place, size, values}).Serialise(keyPlace);
  }
  if (newKeyEntry) {
    m_keys.Set(row, keyEntry);
  } else {
    m_keys.SetLength(row, keySize);
  }
  // A removal always leaves the map a free entry, so this insert can fail only for a row whose key was no longer
  // mapped (a released row of a keyed cache): that row keeps its new contents but is not found by key.
  if (!m_keyMap.bInsert(nAddress(keyPlace), row)) return 0;
  SetMark(row, record->nGetState());
  return 1;
}

void CRowCache::ReleaseValueRows() {
  for (std::uint32_t i = 0; i < m_values.nGetCount(); ++i) {
    if (CValueRow* values = pValuesAt(i)) values->nRelease();
  }
  m_values.Clear();
  m_nValueRowCount = 0;
}

void CRowCache::Reset() {
  m_nFlags &= ~ROW_CACHE_COMPLETE;
  m_keyMap.Reset(7);
  m_rows.Free();
  m_keys.Free();
  ReleaseValueRows();
  m_marks.Clear();
  m_nDeletedCount = 0;
}

// ---- copying -------------------------------------------------------------------------------------------------------

int CRowCache::bCopyFrom(CRowCache* source, CHashTable& cloneMap) {
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  m_nFlags = source->m_nFlags;
  if (!source->m_pTemplate) return 1;
  CRecord* copy = source->m_pTemplate->pDuplicate(kTemplateParts);
  if (!copy) return 0;
  Exchange(m_pTemplate, copy);
  m_nKeyKind = source->m_nKeyKind;
  if (IRowKey* key = pOwnKey(m_pTemplate)) {
    key->ConfigureKeyMap(m_keyMap);
  } else {
    CRecordValuesKey({}).ConfigureKeyMap(m_keyMap);
  }
  // Each row with its mark: a deleted row stays deleted, and a row without bytes stays one, rows behind it kept.
  for (std::uint32_t row = 0; row < source->nGetRowCount(); ++row) {
    CRecord* record = nullptr;
    if (source->bHasRow(row)) {
      if (!source->bReadRow(m_pTemplate, row)) return 0;
      record = m_pTemplate;
    }
    const std::uint32_t stored = bStoreRecord(record);
    if (stored == ROW_NONE) return 0;
    SetMark(stored, source->nGetMark(row));
  }
  return 1;
}

CRowCache* CRowCache::pNew(CHashTable& cloneMap) {
  auto* copy = new (std::nothrow) CRowCache(0);
  if (!copy) return nullptr;
  copy->AddRef();
  if (!copy->bCopyFrom(this, cloneMap)) {
    copy->nRelease();
    return nullptr;
  }
  --copy->m_nRefCount;
  return copy;
}

// ---- reading and finding -------------------------------------------------------------------------------------------

int CRowCache::bHasRow(std::uint32_t row) const { return m_rows.pGetBytes(row, nullptr) != nullptr; }

int CRowCache::bReadRow(CRecord* record, std::uint32_t row) {
  std::uint64_t length = 0;
  const std::uint8_t* bytes = m_rows.pGetBytes(row, &length);
  if (!bytes || !record) return 0;
  // The common row first: a record with its buffer, keyed by its values, no large values on either side. Nothing
  // on this path calls out, so it costs little more than the copy.
  CRecordBuffer* own = record->pGetBuffer();
  if (own && m_nKeyKind == ROW_KEY_RECORD_VALUES && m_nValueRowCount == 0 && !record->pGetLargeValues()) {
    CopyRowBytes(const_cast<std::uint8_t*>(own->pGetBlock()), bytes,
                 static_cast<std::size_t>(std::min<std::uint64_t>(length, own->nGetTotalLength())));
    return 1;
  }
  return bReadRowWhole(record, row, bytes, length);
}

int CRowCache::bReadRowWhole(CRecord* record, std::uint32_t row, const std::uint8_t* bytes, std::uint64_t length) {
  if (!record->pGetBuffer() && (!m_pTemplate || !record->bCopyFrom(m_pTemplate, kTemplateParts))) return 0;
  CRecordBuffer* buffer = record->pGetBuffer();
  if (!buffer) return 0;
  const std::uint8_t* keyBytes = nullptr;
  std::uint64_t keyLength = 0;
  IRowKey* key = nullptr;
  if (m_nKeyKind != ROW_KEY_RECORD_VALUES) {
    keyBytes = m_keys.pGetBytes(row, &keyLength);
    if (!keyBytes) return 0;
    key = pOwnKey(record);
    if (!key) {
      if (!m_pTemplate || !record->bSetKey(pOwnKey(m_pTemplate))) return 0;
      key = pOwnKey(record);
      if (!key) return 0;
    }
  }
  // The buffer shows its block read-only, but the block is the buffer's own: the row goes back whole, null flags
  // and fields, as it was stored.
  CopyRowBytes(const_cast<std::uint8_t*>(buffer->pGetBlock()), bytes,
               static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer->nGetTotalLength())));
  if (key && !key->bDeserialise(keyBytes, keyLength)) return 0;
  // Neither the row nor the record has large values: nothing to copy (the common case, kept cheap).
  CValueRow* values = m_nValueRowCount ? pValuesAt(row) : nullptr;
  if (values || record->pGetLargeValues()) record->bCopyLargeValuesFrom(values);
  return 1;
}

std::uint32_t CRowCache::nFindKeyChecked(IRowKey* key, bool& failed) {
  failed = false;
  if (!key || m_nKeyKind == 0 || key->nGetKind() != m_nKeyKind) return ROW_NONE;
  if (!bWorkBuffer(key->nGetSerialSize())) {
    failed = true;
    return ROW_NONE;
  }
  key->Serialise(m_pWorkBuffer);
  std::uint64_t row = 0;
  return m_keyMap.bLookup(nAddress(m_pWorkBuffer), &row, nullptr) ? static_cast<std::uint32_t>(row) : ROW_NONE;
}

std::uint32_t CRowCache::nFindKey(IRowKey* key) {
  bool failed = false;
  return nFindKeyChecked(key, failed);  // a key that cannot be looked up is found nowhere
}

std::uint32_t CRowCache::nFindRecordChecked(CRecord* record, bool& failed) {
  failed = false;
  if (!record) return ROW_NONE;
  if (IRowKey* key = pOwnKey(record)) return nFindKeyChecked(key, failed);
  CRecordValuesKey key = KeyOverRecord(record);
  return nFindKeyChecked(&key, failed);
}

std::uint32_t CRowCache::nFindRecord(CRecord* record) {
  bool failed = false;
  return nFindRecordChecked(record, failed);
}

int CRowCache::bRowEquals(std::uint32_t row, CRecord* record) {
  return m_pTemplate && record && bReadRow(m_pTemplate, row) && m_pTemplate->bEquals(record, true);
}

// ---- modifications and marks -------------------------------------------------------------------------------------

std::uint32_t CRowCache::nApplyModification(std::uint32_t statementKind, CRecord* record, CRecord* keyRecord,
                                            int atFront) {
  switch (statementKind) {
    case SQL_STATEMENT_INSERT:
      if (atFront) return StoreRecordAt(record, 0) == ROW_NONE ? ROW_NONE : 0;
      return bAppendRecord(record);
    case SQL_STATEMENT_UPDATE: {
      const std::uint32_t row = nFindRecord(keyRecord);
      return row != ROW_NONE && ReplaceRow(row, record) ? row : ROW_NONE;
    }
    case SQL_STATEMENT_DELETE: {
      const std::uint32_t row = nFindRecord(keyRecord);
      if (row != ROW_NONE && !bIsRowDeleted(row)) SetMark(row, ROW_MARK_DELETED);
      return row;
    }
    default:
      return ROW_NONE;
  }
}

std::uint32_t CRowCache::nMarkDeleted(CRecord* record) {
  const std::uint32_t row = nFindRecord(record);
  if (row != ROW_NONE) SetMark(row, ROW_MARK_DELETED);
  return row;
}

std::uint32_t CRowCache::nGetMark(std::uint32_t row) const {
  return row < m_marks.nGetCount() ? *static_cast<const std::uint32_t*>(m_marks.pGetAt(row)) : 0;
}

void CRowCache::SetMark(std::uint32_t row, std::uint32_t mark) {
  if (row >= m_marks.nGetCount()) return;
  const bool was = (nGetMark(row) & ROW_MARK_DELETED) != 0;
  const bool is = (mark & ROW_MARK_DELETED) != 0;
  if (was && !is) --m_nDeletedCount;
  if (!was && is) ++m_nDeletedCount;
  m_marks.SetAt(&mark, row);
}

// ---- moving --------------------------------------------------------------------------------------------------------

std::int32_t CRowCache::nMoveRowCounted(std::int32_t from, std::uint32_t direction, std::uint32_t count) const {
  const std::int64_t rows = nGetRowCount();
  std::int64_t start = -1;
  bool forward = true;
  switch (direction) {
    case ROW_MOVE_NEXT:
      start = from;
      break;
    case ROW_MOVE_LAST:
      start = rows;
      forward = false;
      break;
    case ROW_MOVE_PREVIOUS:
      start = from;
      forward = false;
      break;
    default:  // first, and any other direction
      break;
  }
  if (forward && start < -1) start = -1;  // nothing lies before row 0
  std::int64_t at = start;
  if (m_nDeletedCount == 0) {
    at = forward ? start + count : start - count;
  } else if (forward) {
    std::int64_t left = count;
    while (left > 0 && at + 1 < rows) {
      ++at;
      if (!bIsRowDeleted(static_cast<std::uint32_t>(at))) --left;
    }
    at += left;  // past the last row every row counts
  } else {
    std::int64_t left = count;
    while (left > 0 && at >= 0) {
      --at;
      if (at >= rows || (at >= 0 && !bIsRowDeleted(static_cast<std::uint32_t>(at)))) --left;
    }
  }
  if (at < 0) return -1;
  return at > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(at);
}

int CRowCache::bMustFetchRow(std::int32_t row) const {
  if (!(m_nFlags & ROW_CACHE_ACTIVE)) return 1;
  if (row < 0 || bHasRow(static_cast<std::uint32_t>(row))) return 0;
  return (m_nFlags & ROW_CACHE_COMPLETE) ? 0 : 1;
}

void CRowCache::SetComplete() {
  if (m_nFlags & ROW_CACHE_ACTIVE) m_nFlags |= ROW_CACHE_COMPLETE;
}

std::uint64_t CRowCache::nGetBytesHeld() const {
  return m_rows.nGetBytesHeld() + m_keys.nGetBytesHeld() +
         static_cast<std::uint64_t>(m_values.nGetCapacity()) * sizeof(CValueRow*) +
         static_cast<std::uint64_t>(m_marks.nGetCapacity()) * sizeof(std::uint32_t) +
         static_cast<std::uint64_t>(m_keyMap.nGetCapacity()) * sizeof(CHashTable::SEntry) +
         static_cast<std::uint64_t>(m_keyMap.nGetBucketCount()) * sizeof(std::uint32_t);
}
