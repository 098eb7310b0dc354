// CFlagList: columns with a 0/1 flag, combined by AND (mode 2) or OR (any other mode). A column that is not in the
// list reads as flag 1. The list never owns its columns. Captions come from the table and record engine through
// gpfnFlagItemCaption, which that layer sets; while it is unset, lookups by name find nothing.
#pragma once

#include <cstdint>

#include "foundation/dynamic_array.h"

class CColumn;

inline constexpr std::uint32_t FLAG_LIST_NOT_FOUND = 0xFFFFFFFF;
inline constexpr std::uint32_t FLAG_COMBINE_AND = 2;

using PFN_FLAG_ITEM_CAPTION = const char16_t* (*)(const CColumn* item);
// Written by the column constructor (engine/record/column.cpp), read by the lookups by name; set once, before any
// list can hold a column, under the driver lock that every column is made under.
extern PFN_FLAG_ITEM_CAPTION gpfnFlagItemCaption;

class CFlagList {
 public:
  CFlagList();

  int bSetFlag(const CColumn* item, std::uint32_t flag);
  int bAddAll(const CFlagList* other, int bInvert);
  int bMerge(std::uint32_t mode, const CFlagList* first, const CFlagList* second);
  int bCombine(std::uint32_t mode, const CFlagList* other);
  int bCombineItem(std::uint32_t mode, const CColumn* item, std::uint32_t flag);
  std::uint32_t nGetFlag(const CColumn* item) const;
  std::uint32_t nFindItem(const CColumn* item) const;
  std::uint32_t nGetFlagByName(const char16_t* name) const;
  std::uint32_t nFindByName(const char16_t* name) const;
  void RemoveAll();

  std::uint32_t nGetCount() const { return m_items.nGetCount(); }
  const CColumn* pGetItem(std::uint32_t i) const { return *static_cast<const CColumn**>(m_items.pGetAt(i)); }
  std::uint32_t nGetFlagAt(std::uint32_t i) const { return *static_cast<std::uint32_t*>(m_flags.pGetAt(i)); }

 private:
  int bAppend(const CColumn* item, std::uint32_t flag);

  CDynamicArray m_items;
  CDynamicArray m_flags;
};
