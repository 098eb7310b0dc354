#include "engine/cache/sorted_key_index.h"

#include <algorithm>
#include <cstring>

#include "foundation/sortable_key.h"
#include "host/host_value.h"

// A key's bytes, kept alive by the value that holds them.
struct CSortedKeyIndex::SKey {
  CHostValue value;
  const void* data = nullptr;
  std::size_t size = 0;
};

namespace {

// An empty key comes before every other (after every other when they stand last) and equals another empty key;
// other keys compare over the shorter length, the shorter first when those are equal. Wide text compares by code
// unit, as the server orders it: its bytes in memory are little-endian, where a byte comparison would put U+0101
// before 'a'.
int nCompareKeys(const void* a, std::size_t aSize, const void* b, std::size_t bSize, bool emptyLast, bool wide) {
  if (aSize == 0 || bSize == 0) return aSize == bSize ? 0 : ((aSize == 0) != emptyLast ? -1 : 1);
  const std::size_t common = std::min(aSize, bSize);
  if (wide) {
    const auto* left = static_cast<const unsigned char*>(a);
    const auto* right = static_cast<const unsigned char*>(b);
    for (std::size_t i = 0; i + 1 < common; i += 2) {
      char16_t l = 0, r = 0;
      std::memcpy(&l, left + i, 2);
      std::memcpy(&r, right + i, 2);
      if (l != r) return l < r ? -1 : 1;
    }
  } else if (const int c = std::memcmp(a, b, common); c != 0) {
    return c;
  }
  return aSize < bSize ? -1 : (aSize > bSize ? 1 : 0);
}

}  // namespace

CSortedKeyIndex::CSortedKeyIndex(IKeyIndexOwner* owner, CRowCache* cache, CColumn* keyColumn,
                                 CHostValue* searchValue)
    : CKeyIndex(owner, cache, keyColumn, searchValue) {}

CSortedKeyIndex::~CSortedKeyIndex() = default;

std::uint32_t CSortedKeyIndex::nRowAt(std::uint32_t position) const {
  return *static_cast<const std::uint32_t*>(m_rows.pGetAt(position));
}

bool CSortedKeyIndex::bWideKey() const {
  const int category = nHostTypeCategory(nGetKeyHostType());
  return category == SORT_KEY_WSTRING || category == SORT_KEY_HEAP_WTEXT;
}

bool CSortedKeyIndex::bKeyOf(CHostValue& value, SKey& key) {
  key.data = nullptr;
  key.size = 0;
  // A search value given in another type (a narrow text for a wide memo) is compared in the column's form.
  const auto type = static_cast<std::uint8_t>(nGetKeyHostType());
  if (&value != &key.value) key.value.Assign(value);
  if (key.value.nGetType() == 0 || key.value.bIsNull()) return true;
  if (type != 0 && key.value.nGetType() != type && key.value.nConvert(type) >= 100) return false;
  if (key.value.nGetDataPointer(&key.data) >= 100 || key.value.nGetDataSize(&key.size) >= 100 || !key.data) {
    key.data = nullptr;
    key.size = 0;
  }
  return true;
}

int CSortedKeyIndex::bBound(const SKey& key, bool bAfter, std::uint32_t* position) {
  std::uint32_t low = 0;
  std::uint32_t high = m_rows.nGetCount();
  SKey probe;
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    if (!bReadRowKey(nRowAt(middle), probe.value) || !bKeyOf(probe.value, probe)) return 0;
    const int c = nCompareKeys(probe.data, probe.size, key.data, key.size, m_bEmptyKeysLast, bWideKey());
    if (c < 0 || (bAfter && c == 0)) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  *position = low;
  return 1;
}

int CSortedKeyIndex::bBuild() {
  // A build starts over, as the tree index's does with a new tree.
  m_rows.Clear();
  m_nCurrent = ROW_NONE;
  m_nLastEmpty = ROW_NONE;
  m_bCurrentRemoved = 0;
  const std::uint32_t rows = m_pCache->nGetRowCount();
  for (std::uint32_t row = 0; row < rows; ++row) {
    // A row fetched but not converted still has its place in the key's order (reading it fails there).
    const std::uint32_t mark = m_pCache->nGetMark(row);
    if (mark != 0 && mark != ROW_MARK_UNCONVERTED) continue;
    if (!bAddRecord(row, nullptr)) return 0;
  }
  return 1;
}

int CSortedKeyIndex::bAddRecord(std::uint32_t row, CHostValue* keyValue) {
  SKey key;
  if (keyValue ? !bKeyOf(*keyValue, key) : !bReadRowKey(row, key.value) || !bKeyOf(key.value, key)) return 0;
  std::uint32_t position = 0;
  // Empty keys standing first are counted, so that one is placed behind them without reading a row; standing
  // last, one goes behind every row.
  const bool emptyFirst = key.size == 0 && !m_bEmptyKeysLast;
  if (emptyFirst) {
    position = m_nLastEmpty == ROW_NONE ? 0 : m_nLastEmpty + 1;
  } else if (key.size == 0) {
    position = m_rows.nGetCount();
  } else if (!bBound(key, true, &position)) {
    return 0;
  }
  if (!m_rows.InsertAt(&row, position)) {
    RaiseOutOfMemory();
    return 0;
  }
  if (emptyFirst) m_nLastEmpty = position;
  // No position stays none: only a position that exists moves with the rows.
  if (m_nCurrent != ROW_NONE && position <= m_nCurrent) ++m_nCurrent;
  return 1;
}

int CSortedKeyIndex::bRemoveRecord(std::uint32_t row, CHostValue*) {
  const std::uint32_t count = m_rows.nGetCount();
  std::uint32_t position = 0;
  while (position < count && nRowAt(position) != row) ++position;
  if (position == count) return 1;
  m_rows.RemoveAt(position);
  // The empty keys stand first: removing one of them brings the last one a place nearer.
  if (m_nLastEmpty != ROW_NONE && position <= m_nLastEmpty) {
    m_nLastEmpty = m_nLastEmpty == 0 ? ROW_NONE : m_nLastEmpty - 1;
  }
  if (m_nCurrent != ROW_NONE) {
    if (position < m_nCurrent) {
      --m_nCurrent;
    } else if (position == m_nCurrent) {
      m_bCurrentRemoved = 1;
    }
  }
  return 1;
}

int CSortedKeyIndex::bMove(std::uint32_t direction, std::uint32_t count, std::uint32_t* row,
                           std::uint32_t* duplicatePosition) {
  *row = ROW_NONE;
  if (duplicatePosition) *duplicatePosition = 0;
  const std::int64_t rows = m_rows.nGetCount();
  if (rows == 0) return 1;
  const std::int64_t current = m_nCurrent == ROW_NONE ? -1 : static_cast<std::int64_t>(m_nCurrent);
  const std::int64_t n = count;
  std::int64_t target = -1;
  switch (direction) {
    case ROW_MOVE_FIRST:
    case ROW_MOVE_LAST:
      if (bHasSearchValue()) {
        SKey key;
        std::uint32_t bound = 0;
        // First: the first key not below the search value, the first of equal keys as the tree index reads them.
        // Last: the last key not above it. With no such key the move cannot be made.
        if (!bKeyOf(*pGetSearchValue(), key) || !bBound(key, direction == ROW_MOVE_LAST, &bound)) return 0;
        if (direction == ROW_MOVE_FIRST) {
          target = bound < rows ? bound + n - 1 : -1;
        } else {
          target = bound > 0 ? bound - 1 + 1 - n : -1;
        }
      } else {
        target = direction == ROW_MOVE_FIRST ? n - 1 : rows - n;
      }
      break;
    case ROW_MOVE_NEXT:
      // The row that followed a removed current row has taken its place: one step less reaches it, so that a reader
      // deleting each row as it reads does not skip every other one.
      target = current + n - (m_bCurrentRemoved && n > 0 ? 1 : 0);
      break;
    case ROW_MOVE_PREVIOUS:
      target = current - n;
      break;
    default:
      target = m_bCurrentRemoved ? -1 : current;
      break;
  }
  if (target < 0 || target >= rows) return 1;
  m_nCurrent = static_cast<std::uint32_t>(target);
  m_bCurrentRemoved = 0;
  *row = nRowAt(m_nCurrent);
  return 1;
}

std::uint32_t CSortedKeyIndex::nGetCurrentRecord() {
  if (m_bCurrentRemoved || m_nCurrent == ROW_NONE || m_nCurrent >= m_rows.nGetCount()) return ROW_NONE;
  return nRowAt(m_nCurrent);
}

std::uint32_t CSortedKeyIndex::nGetCount() { return m_rows.nGetCount(); }

std::uint32_t CSortedKeyIndex::nGetCurrentRank() { return m_nCurrent; }

int CSortedKeyIndex::bSeek(std::uint32_t rank, std::uint32_t, int* found) {
  *found = 0;
  const std::uint32_t rows = m_rows.nGetCount();
  if (rank != ROW_NONE) {
    if (rank >= rows) return 0;
    m_nCurrent = rank;
    m_bCurrentRemoved = 0;
    return 1;
  }
  SKey key;
  std::uint32_t after = 0;
  if (!bReadImageKey(key.value) || !bKeyOf(key.value, key) || !bBound(key, true, &after)) return 0;
  // The last of the equal keys when there is one, else the first greater key, else past the end.
  std::uint32_t position = after;
  if (after > 0) {
    SKey before;
    if (!bReadRowKey(nRowAt(after - 1), before.value) || !bKeyOf(before.value, before)) return 0;
    if (nCompareKeys(before.data, before.size, key.data, key.size, m_bEmptyKeysLast, bWideKey()) == 0) {
      *found = 1;
      position = after - 1;
    }
  }
  m_nCurrent = position;
  m_bCurrentRemoved = 0;
  return 1;
}
