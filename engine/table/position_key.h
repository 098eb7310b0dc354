// CPositionKey: the key value of a position (an item of the record description and a value), against which the
// statement object tests whether the row it reached still stands on the key it was positioned on. Embedded in the
// statement object and in saved positions; holds a reference on its item through the item's own counting.
#pragma once

#include <cstdint>

#include "host/host_value.h"

class CColumnDescriptor;
class CTableDescription;

// Flag of Set: compare as a search value (the column need only begin with the value).
inline constexpr std::uint32_t POSITION_KEY_SEARCH = 0x1;

class CPositionKey {
 public:
  CPositionKey() = default;
  CPositionKey(const CPositionKey&) = delete;
  CPositionKey& operator=(const CPositionKey&) = delete;
  virtual ~CPositionKey();

  // Clears, then keeps the item (a reference taken), a copy of the value and the flags.
  void Set(CColumnDescriptor* item, const CHostValue& value, std::uint32_t flags);
  // No item, no value, flags 0.
  void Clear();
  // 1 without an item; else whether the item's column in the column set matches the value on the current row (as
  // a search value with POSITION_KEY_SEARCH). A column set without that column, or none, answers 0: the row cannot
  // be shown to stand on the key.
  int bApply(CTableDescription* columnSet);
  // The other's item, value and flags, or Clear when it has no item.
  void Assign(const CPositionKey& other);

  CColumnDescriptor* pGetItem() const { return m_pItem; }
  const CHostValue& GetValue() const { return m_value; }
  std::uint32_t nGetFlags() const { return m_nFlags; }

 private:
  CHostValue m_value;
  std::uint32_t m_nFlags = 0;
  CColumnDescriptor* m_pItem = nullptr;
};
