#include "foundation/flag_list.h"

#include "platform/code_page.h"

PFN_FLAG_ITEM_CAPTION gpfnFlagItemCaption = nullptr;

CFlagList::CFlagList() : m_items(sizeof(const CColumn*), 10), m_flags(sizeof(std::uint32_t), 10) {}

int CFlagList::bAppend(const CColumn* item, std::uint32_t flag) {
  if (!m_items.Add(&item)) return 0;
  if (!m_flags.Add(&flag)) {
    m_items.RemoveAt(m_items.nGetCount() - 1);  // the two arrays stay parallel
    return 0;
  }
  return 1;
}

int CFlagList::bSetFlag(const CColumn* item, std::uint32_t flag) {
  if (!item) return 1;
  const std::uint32_t i = nFindItem(item);
  if (i == FLAG_LIST_NOT_FOUND) return bAppend(item, flag);
  m_flags.SetAt(&flag, i);
  return 1;
}

int CFlagList::bAddAll(const CFlagList* other, int bInvert) {
  if (!other) return 1;
  // The count is taken once: adding a list to itself doubles it instead of never ending.
  const std::uint32_t count = other->nGetCount();
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t flag = other->nGetFlagAt(i);
    if (!bAppend(other->pGetItem(i), bInvert ? (flag == 0 ? 1u : 0u) : flag)) return 0;
  }
  return 1;
}

int CFlagList::bCombineItem(std::uint32_t mode, const CColumn* item, std::uint32_t flag) {
  const std::uint32_t i = nFindItem(item);
  if (i == FLAG_LIST_NOT_FOUND) {
    // An absent item counts as 1: only AND with 0 changes it.
    return mode == FLAG_COMBINE_AND && flag == 0 ? bAppend(item, 0) : 1;
  }
  const bool current = nGetFlagAt(i) != 0;
  const std::uint32_t combined = (mode == FLAG_COMBINE_AND ? (current && flag) : (current || flag)) ? 1 : 0;
  m_flags.SetAt(&combined, i);
  return 1;
}

int CFlagList::bCombine(std::uint32_t mode, const CFlagList* other) {
  if (!other) {
    if (mode == 1) RemoveAll();
    return 1;
  }
  for (std::uint32_t i = 0; i < other->nGetCount(); ++i) {
    if (!bCombineItem(mode, other->pGetItem(i), other->nGetFlagAt(i))) return 0;
  }
  return 1;
}

int CFlagList::bMerge(std::uint32_t mode, const CFlagList* first, const CFlagList* second) {
  if (!first && !second) return 1;
  if (mode == 1 && (!first || !second)) return 1;
  if (!bAddAll(first, 0)) return 0;
  if (!second) return 1;
  return first ? bCombine(mode, second) : bAddAll(second, 0);
}

std::uint32_t CFlagList::nGetFlag(const CColumn* item) const {
  const std::uint32_t i = nFindItem(item);
  return i == FLAG_LIST_NOT_FOUND ? 1 : nGetFlagAt(i);
}

std::uint32_t CFlagList::nFindItem(const CColumn* item) const {
  for (std::uint32_t i = 0; i < nGetCount(); ++i) {
    if (pGetItem(i) == item) return i;
  }
  return FLAG_LIST_NOT_FOUND;
}

std::uint32_t CFlagList::nFindByName(const char16_t* name) const {
  if (!gpfnFlagItemCaption) return FLAG_LIST_NOT_FOUND;
  for (std::uint32_t i = 0; i < nGetCount(); ++i) {
    if (platform::CompareTextNoCase(gpfnFlagItemCaption(pGetItem(i)), name) == 0) return i;
  }
  return FLAG_LIST_NOT_FOUND;
}

std::uint32_t CFlagList::nGetFlagByName(const char16_t* name) const {
  const std::uint32_t i = nFindByName(name);
  return i == FLAG_LIST_NOT_FOUND ? 1 : nGetFlagAt(i);
}

void CFlagList::RemoveAll() {
  m_items.Clear();
  m_flags.Clear();
}
