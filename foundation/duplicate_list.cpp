#include "foundation/duplicate_list.h"

#include "foundation/bplus_tree.h"

#include <cstring>
#include <new>

const SDuplicateListClass gtabDuplicateListClasses[7] = {
    {0, 2}, {1, 4}, {2, 8}, {6, 16}, {9, 32}, {18, 64}, {DUPLICATE_LIST_NESTED_BELOW, 0},
};

namespace {

constexpr std::int32_t LAST_ARRAY_CLASS = 5;

}  // namespace

std::uint64_t CDuplicateList::nItemSize(std::int32_t nClass, std::uint64_t nDataLength) {
  if (nClass == DUPLICATE_LIST_NESTED_CLASS) return NESTED_OFFSET + sizeof(CBPlusTree);
  return sizeof(CDuplicateList) + static_cast<std::uint64_t>(gtabDuplicateListClasses[nClass].nCapacity) * nDataLength;
}

CDuplicateList* CDuplicateList::pCreate(CBPlusTree* pTree, std::int32_t nClass) {
  auto* list = static_cast<CDuplicateList*>(pTree->m_apDuplicatePools[nClass]->pAlloc());
  if (!list) return nullptr;
  list->m_nCount = 0;
  list->m_nClass = static_cast<std::uint16_t>(nClass);
  return list;
}

CDuplicateList* CDuplicateList::pCreatePair(CBPlusTree* pTree, const void* pFirst, const void* pSecond) {
  CDuplicateList* list = pCreate(pTree, 0);
  if (!list) return nullptr;
  std::memcpy(list->pValues(), pFirst, pTree->m_nDataLength);
  std::memcpy(list->pValues() + pTree->m_nDataLength, pSecond, pTree->m_nDataLength);
  list->m_nCount = 2;
  return list;
}

void CDuplicateList::Free(CDuplicateList* pList, CBPlusTree* pTree) {
  const std::int32_t listClass = pList->m_nClass;
  if (pList->bIsNested()) pList->pGetNested()->~CBPlusTree();
  pTree->m_apDuplicatePools[listClass]->Free(pList);
}

std::int32_t CDuplicateList::nGetCount() const {
  if (m_nClass == DUPLICATE_LIST_NESTED_CLASS) {
    return static_cast<std::int32_t>(const_cast<CDuplicateList*>(this)->pGetNested()->m_nKeyCount);
  }
  return m_nCount;
}

void* CDuplicateList::pValueAt(const CBPlusTree* pTree, const CBPlusTreeCursor& c) {
  if (bIsNested()) {
    CBPlusTree* nested = pGetNested();
    const CBPlusTreeCursor inside = pTree->NestedCursor(c, nested);
    if (nested->bIsEnd(inside)) return nullptr;
    return nested->pLeafKey(inside.pLeaf, inside.nSlot);
  }
  if (c.nDupIndex >= m_nCount) return nullptr;
  return pValues() + c.nDupIndex * pTree->m_nDataLength;
}

int CDuplicateList::nSearch(const CBPlusTree* pTree, const void* pValue, bool* pFound) {
  return CBPlusTree::nSearchSorted(pValues(), m_nCount, pTree->m_nDataLength, pValue, pTree->m_pfnDataCompare, pFound);
}

int CDuplicateList::bLocate(const CBPlusTree* pTree, const void* pValue, CBPlusTreeCursor& c) {
  bool found;
  if (bIsNested()) {
    CBPlusTree* nested = pGetNested();
    CBPlusTreeCursor inside{nested, nullptr, 0, nullptr, 0};
    inside.pLeaf = nested->pLocateKey(pValue, &inside.nSlot, &found);
    nested->NormaliseSlot(inside);
    c.pDupLeaf = inside.pLeaf;
    c.nDupIndex = static_cast<std::uint32_t>(inside.nSlot);
  } else {
    c.pDupLeaf = nullptr;
    c.nDupIndex = static_cast<std::uint32_t>(nSearch(pTree, pValue, &found));
  }
  return found ? 1 : 0;
}

void CDuplicateList::FollowNestedCursor(CBPlusTreeCursor& cursor, const CBPlusTree* pNested) {
  cursor.pDupLeaf = pNested->m_Cursor.pLeaf;
  cursor.nDupIndex = static_cast<std::uint32_t>(pNested->m_Cursor.nSlot);
}

// The nested tree's own cursor upkeep keeps the outer cursor on its value: the nested cursor starts where the outer
// one stands (nowhere when the outer cursor is on another key) and the outer one follows it after the change.
template <typename Change>
bool CDuplicateList::bOnNested(CBPlusTree* pTree, CBPlusTree* pNested, bool bCursorOnKey, Change change) {
  pNested->m_Cursor =
      bCursorOnKey ? pTree->NestedCursor(pTree->m_Cursor, pNested) : CBPlusTreeCursor{pNested, nullptr, 0, nullptr, 0};
  if (!change(pNested)) return false;
  if (bCursorOnKey) FollowNestedCursor(pTree->m_Cursor, pNested);
  return true;
}

CDuplicateList* CDuplicateList::pInsert(CDuplicateList* pList, CBPlusTree* pTree, const void* pValue,
                                        bool bCursorOnKey) {
  CBPlusTreeCursor& cursor = pTree->m_Cursor;
  if (pList->bIsNested()) {
    const bool inserted = bOnNested(pTree, pList->pGetNested(), bCursorOnKey,
                                    [&](CBPlusTree* nested) { return nested->bInsert(pValue, nullptr); });
    return inserted ? pList : nullptr;
  }
  bool found;
  const int pos = pList->nSearch(pTree, pValue, &found);
  if (found) return nullptr;
  const std::size_t length = pTree->m_nDataLength;
  const int count = pList->m_nCount;
  CDuplicateList* result = pList;
  if (count == gtabDuplicateListClasses[pList->m_nClass].nCapacity) {
    if (pList->m_nClass == LAST_ARRAY_CLASS) return pPromote(pList, pTree, pValue, bCursorOnKey);
    result = pCreate(pTree, pList->m_nClass + 1);
    if (!result) return nullptr;
    std::memcpy(result->pValues(), pList->pValues(), static_cast<std::size_t>(pos) * length);
    std::memcpy(result->pValues() + static_cast<std::size_t>(pos + 1) * length,
                pList->pValues() + static_cast<std::size_t>(pos) * length,
                static_cast<std::size_t>(count - pos) * length);
  } else {
    std::memmove(pList->pValues() + static_cast<std::size_t>(pos + 1) * length,
                 pList->pValues() + static_cast<std::size_t>(pos) * length,
                 static_cast<std::size_t>(count - pos) * length);
  }
  std::memcpy(result->pValues() + static_cast<std::size_t>(pos) * length, pValue, length);
  result->m_nCount = static_cast<std::uint16_t>(count + 1);
  if (bCursorOnKey) {
    cursor.pDupLeaf = nullptr;
    if (cursor.nDupIndex >= static_cast<std::uint32_t>(pos)) ++cursor.nDupIndex;
  }
  return result;
}

// The 65th value: the 64 go into a nested keys-only tree of the same order, then the new one is inserted there.
CDuplicateList* CDuplicateList::pPromote(CDuplicateList* pList, CBPlusTree* pTree, const void* pValue,
                                         bool bCursorOnKey) {
  CDuplicateList* result = pCreate(pTree, DUPLICATE_LIST_NESTED_CLASS);
  if (!result) return nullptr;
  result->m_nCount = DUPLICATE_LIST_NESTED;
  CBPlusTree* nested = new (result->pGetNested()) CBPlusTree();
  const CBPlusTreeCursor saved = pTree->m_Cursor;
  if (nested->bCreate(pTree->m_nDataLength, 0, nCompareBytes, pTree->m_nOrder) &&
      nested->bLoadSorted(pList->pValues(), pList->m_nCount)) {
    if (bCursorOnKey) {
      nested->GoFirst();
      nested->bMove(static_cast<std::int32_t>(pTree->m_Cursor.nDupIndex), nullptr,
                    MOVE_BY_KEY | MOVE_PARTIAL | MOVE_TO_END);
      FollowNestedCursor(pTree->m_Cursor, nested);
    }
    if (pInsert(result, pTree, pValue, bCursorOnKey)) return result;
  }
  pTree->m_Cursor = saved;
  Free(result, pTree);
  return nullptr;
}

CDuplicateList* CDuplicateList::pRemove(CDuplicateList* pList, CBPlusTree* pTree, const void* pValue,
                                        bool bCursorOnKey) {
  CBPlusTreeCursor& cursor = pTree->m_Cursor;
  const std::size_t length = pTree->m_nDataLength;
  if (pList->bIsNested()) {
    CBPlusTree* nested = pList->pGetNested();
    if (!bOnNested(pTree, nested, bCursorOnKey, [&](CBPlusTree* tree) { return tree->bDelete(pValue, nullptr); })) {
      return nullptr;
    }
    const std::int32_t count = static_cast<std::int32_t>(nested->m_nKeyCount);
    if (count >= DUPLICATE_LIST_NESTED_BELOW) return pList;
    std::int32_t target = 0;
    for (std::int32_t c = LAST_ARRAY_CLASS; c >= 1; --c) {
      if (gtabDuplicateListClasses[c].nShrinkThreshold < count && count <= gtabDuplicateListClasses[c].nCapacity) {
        target = c;
        break;
      }
    }
    // Without memory for the array the values simply stay in the nested tree.
    CDuplicateList* result = pCreate(pTree, target);
    if (!result) return pList;
    unsigned char* out = result->pValues();
    for (SBPlusTreeLeaf* leaf = nested->pFirstLeaf(); leaf; leaf = leaf->pNext) {
      std::memcpy(out, nested->pLeafKey(leaf, 0), static_cast<std::size_t>(leaf->nKeyCount) * length);
      out += static_cast<std::size_t>(leaf->nKeyCount) * length;
    }
    result->m_nCount = static_cast<std::uint16_t>(count);
    if (bCursorOnKey) {
      CBPlusTreeCursor inside = nested->m_Cursor;
      cursor.pDupLeaf = nullptr;
      cursor.nDupIndex = nested->nWalkBackward(inside, 0xFFFFFFFFu, true);
    }
    return result;
  }
  bool found;
  const int pos = pList->nSearch(pTree, pValue, &found);
  if (!found) return nullptr;
  const int count = pList->m_nCount;
  CDuplicateList* result = pList;
  if (count <= gtabDuplicateListClasses[pList->m_nClass].nShrinkThreshold && pList->m_nClass > 0) {
    // Without memory for the smaller list the value goes from this one, which has room all the same.
    CDuplicateList* smaller = pCreate(pTree, pList->m_nClass - 1);
    if (smaller) {
      std::memcpy(smaller->pValues(), pList->pValues(), static_cast<std::size_t>(pos) * length);
      std::memcpy(smaller->pValues() + static_cast<std::size_t>(pos) * length,
                  pList->pValues() + static_cast<std::size_t>(pos + 1) * length,
                  static_cast<std::size_t>(count - pos - 1) * length);
      result = smaller;
    }
  }
  if (result == pList) {
    std::memmove(pList->pValues() + static_cast<std::size_t>(pos) * length,
                 pList->pValues() + static_cast<std::size_t>(pos + 1) * length,
                 static_cast<std::size_t>(count - pos - 1) * length);
  }
  result->m_nCount = static_cast<std::uint16_t>(count - 1);
  if (bCursorOnKey) {
    cursor.pDupLeaf = nullptr;
    if (cursor.nDupIndex > static_cast<std::uint32_t>(pos)) --cursor.nDupIndex;
  }
  return result;
}
