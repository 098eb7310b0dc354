#include "engine/cache/btree_key_index.h"

#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "engine/cache/row_cache.h"
#include "engine/record/column.h"
#include "engine/record/record.h"
#include "foundation/bplus_tree.h"
#include "foundation/sortable_key.h"
#include "host/host_value.h"
#include "host/value_operations.h"

namespace {

constexpr std::int32_t kRankRead = static_cast<std::int32_t>(0x80000001u);  // a move back that reports the rank

// The first byte of a key.
constexpr std::uint8_t kKeyEmptyFirst = 0;
constexpr std::uint8_t kKeyValue = 1;
constexpr std::uint8_t kKeyEmptyLast = 2;

void PutRow(std::uint8_t* data, std::uint32_t row) {
  for (int i = 0; i < 4; ++i) data[i] = static_cast<std::uint8_t>(row >> (24 - 8 * i));
}

std::uint32_t nGetRow(const void* data) {
  if (!data) return ROW_NONE;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
         static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
}

// The tree moves by signed counts; a count past them cannot be made anyway.
std::int32_t nSteps(std::uint32_t count) {
  return count > static_cast<std::uint32_t>(INT32_MAX) ? INT32_MAX : static_cast<std::int32_t>(count);
}

}  // namespace

CBTreeKeyIndex::CBTreeKeyIndex(IKeyIndexOwner* owner, CRowCache* cache, CColumn* keyColumn, CHostValue* searchValue)
    : CKeyIndex(owner, cache, keyColumn, searchValue) {}

CBTreeKeyIndex::~CBTreeKeyIndex() = default;

void CBTreeKeyIndex::Encode(const CHostValue& value) {
  // The encoder turns a NULL value into an empty text in place: the caller's value stays as it was.
  CHostValue copy;
  copy.Assign(value);
  std::memset(m_pKey.get(), 0, m_nKeySize);
  // The first byte places the key: empty keys before or after every value, their other bytes all zero, so that
  // they are equal among themselves and read in row order. Encoded, a NULL number would key as 0 among the zeros.
  if (bIsEmptyKey(copy)) {
    m_pKey[0] = m_bEmptyKeysLast ? kKeyEmptyLast : kKeyEmptyFirst;
    return;
  }
  m_pKey[0] = kKeyValue;
  if (m_nValueSize == 0) return;
  std::uint8_t* buffer = m_pKey.get() + 1;
  // A decimal column's precision counts its whole digits already (the record buffer reads it the same way): the
  // encoder takes whole digits and scale, so nothing is taken off again.
  nEncodeValueSortKey(copy, &buffer, m_nValueSize, static_cast<std::uint8_t>(nGetKeyHostType()),
                      static_cast<std::int32_t>(m_pKeyColumn->nGetPrecision()),
                      static_cast<std::int32_t>(m_pKeyColumn->nGetScale()));
}

int CBTreeKeyIndex::nOutgrowsKey(const CHostValue& value) {
  CHostValue copy;
  copy.Assign(value);
  if (bIsEmptyKey(copy) || m_nValueSize == 0) return 0;
  // Encoded with room to spare, a value that fits the key reads as the key followed by zeros; a longer one (a text
  // past the key column's width) shows its further characters there, or where the key's terminator stood.
  constexpr std::uint32_t kRoom = 8;
  const std::uint32_t size = m_nValueSize + kRoom;
  std::unique_ptr<std::uint8_t[]> whole(new (std::nothrow) std::uint8_t[size]());
  if (!whole) return -1;
  std::uint8_t* buffer = whole.get();
  nEncodeValueSortKey(copy, &buffer, size, static_cast<std::uint8_t>(nGetKeyHostType()),
                      static_cast<std::int32_t>(m_pKeyColumn->nGetPrecision()),
                      static_cast<std::int32_t>(m_pKeyColumn->nGetScale()));
  for (std::uint32_t i = 0; i < size; ++i) {
    if (whole[i] != (i < m_nValueSize ? m_pKey[1 + i] : 0)) return 1;
  }
  return 0;
}

int CBTreeKeyIndex::bEncodeRowKey(std::uint32_t row, CHostValue* keyValue) {
  if (keyValue) {
    Encode(*keyValue);
    return 1;
  }
  CHostValue value;
  if (!bReadRowKey(row, value)) return 0;
  Encode(value);
  return 1;
}

int CBTreeKeyIndex::bBuild() {
  m_pTree.reset(new (std::nothrow) CBPlusTree());
  m_bCurrentRemoved = 0;
  // A type without a key has only the first byte: every value keys alike, in row order.
  m_nValueSize = nGetSortKeySize(nGetKeyHostType(), m_pKeyColumn->nGetDataLength());
  // The tree compares keys of 4 and 8 bytes as numbers, in a few steps without a call; other short widths took a
  // call per step and made a seek twice as slow. The first byte makes a 32-bit integer's key 5 bytes: it takes 8.
  m_nKeySize = 1 + m_nValueSize;
  if (m_nKeySize < 8) m_nKeySize = m_nKeySize <= 4 ? 4 : 8;
  m_pKey.reset(new (std::nothrow) std::uint8_t[m_nKeySize]);
  if (!m_pTree || !m_pKey || !m_pTree->bCreate(m_nKeySize, 4, nCompareBytes, 0)) {
    m_pTree.reset();
    RaiseOutOfMemory();
    return 0;
  }
  const std::uint32_t rows = m_pCache->nGetRowCount();
  for (std::uint32_t row = 0; row < rows; ++row) {
    // A row fetched but not converted still has its place in the key's order (reading it fails there).
    const std::uint32_t mark = m_pCache->nGetMark(row);
    if (mark != 0 && mark != ROW_MARK_UNCONVERTED) continue;
    if (!bAddRecord(row, nullptr)) return 0;
  }
  return 1;
}

int CBTreeKeyIndex::bAddRecord(std::uint32_t row, CHostValue* keyValue) {
  if (!m_pTree || !bEncodeRowKey(row, keyValue)) return 0;
  std::uint8_t data[4];
  PutRow(data, row);
  if (m_pTree->bInsert(m_pKey.get(), data)) return 1;
  // The tree refuses a pair it holds already, which adding the row again asks for; anything else is memory.
  if (m_pTree->bLookup(m_pKey.get(), data)) return 1;
  RaiseOutOfMemory();
  return 0;
}

int CBTreeKeyIndex::bRemoveRecord(std::uint32_t row, CHostValue* keyValue) {
  if (!m_pTree || !bEncodeRowKey(row, keyValue)) return 0;
  std::uint8_t data[4];
  PutRow(data, row);
  const void* key = m_pTree->pGetCurrentKey();
  const bool current =
      key && nGetRow(m_pTree->pGetCurrentData()) == row && std::memcmp(key, m_pKey.get(), m_nKeySize) == 0;
  if (m_pTree->bDelete(m_pKey.get(), data) && current) m_bCurrentRemoved = 1;
  return 1;
}

int CBTreeKeyIndex::bMove(std::uint32_t direction, std::uint32_t count, std::uint32_t* row,
                          std::uint32_t* duplicatePosition) {
  *row = ROW_NONE;
  if (duplicatePosition) *duplicatePosition = 0;
  if (!m_pTree || m_pTree->nGetCount() == 0) return 1;
  const bool removed = m_bCurrentRemoved != 0;
  m_bCurrentRemoved = 0;
  // First and last count the row they land on as the first step.
  const std::int32_t further = count == 0 ? -1 : nSteps(count - 1);
  bool moved = true;
  switch (direction) {
    case ROW_MOVE_FIRST:
      if (bHasSearchValue()) {
        Encode(*pGetSearchValue());
        moved = m_pTree->bSeek(m_pKey.get(), 0) != nullptr;
        // The key holds the search value cut to the column's width: the rows keyed as that cut value all lie before
        // the whole value, so the first row not before it follows them.
        // Not knowing would land on a row before the value: the move fails instead.
        const int outgrows = moved ? nOutgrowsKey(*pGetSearchValue()) : 0;
        if (outgrows < 0) {
          RaiseOutOfMemory();
          return 0;
        }
        if (outgrows) {
          while (moved && std::memcmp(m_pTree->pGetCurrentKey(), m_pKey.get(), m_nKeySize) == 0) {
            moved = m_pTree->bMove(1, nullptr, 0) != 0;
          }
        }
      } else {
        m_pTree->GoFirst();
      }
      if (moved && further != 0) moved = m_pTree->bMove(further, nullptr, 0) != 0;
      break;
    case ROW_MOVE_LAST:
      if (bHasSearchValue()) {
        Encode(*pGetSearchValue());
        moved = m_pTree->bSeek(m_pKey.get(), SEEK_LAST) != nullptr;
      } else {
        m_pTree->GoToRank(m_pTree->nGetCount() - 1);
      }
      if (moved && further != 0) moved = m_pTree->bMove(-further, nullptr, 0) != 0;
      break;
    case ROW_MOVE_NEXT:
      // After a removal of the current row the cursor stands on the row that followed it already: a reader deleting
      // each row as it reads must not skip every other one.
      moved = m_pTree->bMove(nSteps(removed && count > 0 ? count - 1 : count), nullptr, 0) != 0;
      break;
    case ROW_MOVE_PREVIOUS:
      moved = m_pTree->bMove(-nSteps(count), nullptr, 0) != 0;
      break;
    default:
      // Staying where the removed row was reaches no row, as in the sorted index.
      if (removed) {
        m_bCurrentRemoved = 1;
        return 1;
      }
      break;
  }
  if (!moved) {
    // A step that could not be made leaves the cursor where it was.
    if (direction == ROW_MOVE_NEXT || direction == ROW_MOVE_PREVIOUS) m_bCurrentRemoved = removed;
    return 1;
  }
  *row = nGetRow(m_pTree->pGetCurrentData());
  if (duplicatePosition && *row != ROW_NONE && m_pTree->nGetDuplicateCount() > 1) {
    *duplicatePosition = nDuplicatePosition();
  }
  return 1;
}

bool CBTreeKeyIndex::bCursorMatches(CRecord* record) {
  const void* key = m_pTree->pGetCurrentKey();
  return key && record && std::memcmp(key, m_pKey.get(), m_nKeySize) == 0 &&
         m_pCache->bRowEquals(nGetRow(m_pTree->pGetCurrentData()), record);
}

std::uint32_t CBTreeKeyIndex::nDuplicatePosition() {
  std::memcpy(m_pKey.get(), m_pTree->pGetCurrentKey(), m_nKeySize);
  CRecord* record = pWorkRecord();
  if (!record || !m_pCache->bReadRow(record, nGetRow(m_pTree->pGetCurrentData()))) return 0;
  std::uint32_t same = 0;
  std::int32_t steps = 0;
  while (m_pTree->bMove(-1, nullptr, 0)) {
    ++steps;
    if (!bCursorMatches(record)) break;
    ++same;
  }
  if (steps) m_pTree->bMove(steps, nullptr, 0);
  return same;
}

std::uint32_t CBTreeKeyIndex::nGetCurrentRecord() {
  return m_pTree && !m_bCurrentRemoved ? nGetRow(m_pTree->pGetCurrentData()) : ROW_NONE;
}

std::uint64_t CBTreeKeyIndex::nGetBytesHeld() const {
  return m_pTree ? m_pTree->nGetBlockBytes() + sizeof(CBPlusTree) + m_nKeySize : 0;
}

std::uint32_t CBTreeKeyIndex::nGetCount() { return m_pTree ? m_pTree->nGetCount() : 0; }

std::uint32_t CBTreeKeyIndex::nGetCurrentRank() {
  if (!m_pTree) return 0;
  std::int32_t moved = 0;
  m_pTree->bMove(kRankRead, &moved, 0);
  return static_cast<std::uint32_t>(-static_cast<std::int64_t>(moved));
}

int CBTreeKeyIndex::bSeek(std::uint32_t rank, std::uint32_t count, int* found) {
  *found = 0;
  CHostValue image;
  if (!m_pTree || !bReadImageKey(image)) return 0;
  Encode(image);
  if (rank != ROW_NONE) {
    *found = m_pTree->bLookup(m_pKey.get(), nullptr);
    return 1;
  }
  if (!m_pTree->bSeek(m_pKey.get(), SEEK_EXACT)) {
    // A key past every key leaves the cursor where it was.
    if (m_pTree->bSeek(m_pKey.get(), 0)) m_bCurrentRemoved = 0;
    return 1;
  }
  m_bCurrentRemoved = 0;
  *found = 1;
  CRecord* current = pGetCurrentRecord();
  const std::int32_t entries = m_pTree->nGetDuplicateCount();
  if (entries > 1) {
    // The row the table stands on, among the rows of its key.
    bool match = bCursorMatches(current);
    for (std::int32_t i = 1; !match && i < entries && m_pTree->bMove(1, nullptr, 0); ++i) {
      match = bCursorMatches(current);
    }
    if (!match) {
      *found = 0;
      m_pTree->bSeek(m_pKey.get(), SEEK_EXACT);
      return 1;
    }
  }
  // The count-th further copy of that row, when there are that many; else the first.
  std::int32_t steps = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!m_pTree->bMove(1, nullptr, 0)) {
      m_pTree->bMove(-steps, nullptr, 0);
      break;
    }
    ++steps;
    if (!bCursorMatches(current)) {
      m_pTree->bMove(-steps, nullptr, 0);
      break;
    }
  }
  return 1;
}
