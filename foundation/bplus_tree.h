// An ordered in-memory index of fixed-length keys, each carrying zero or more fixed-length data values; one (key,
// data value) pair is an entry. The tree has one built-in cursor, keeps the entry count of every subtree so that a
// position can be reached by rank, and moves its cursor by counts of keys or of entries. The key indexes of the
// table engine own one tree each; the values of a key with more than 64 of them live in a nested keys-only tree
// (duplicate_list.h). The tree owns its nodes, its duplicate lists and the pools they come from; keys and values
// are copied in, and the pointers it hands out stay valid until the next change of the tree.
// No lock: the owner serialises every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

#include "foundation/block_pool.h"
#include "foundation/duplicate_list.h"

class CBPlusTree;
struct CBPlusTreeProbe;  // the tests' look inside

// Orders two keys (or two data values) of the given length; the sign means what memcmp's does.
using PFN_BPLUSTREE_COMPARE = int (*)(const void* a, const void* b, std::size_t length);

// Bytewise order: the data comparison of every tree, and the key comparison of nested trees and key indexes.
int nCompareBytes(const void* a, const void* b, std::size_t length);

enum : std::uint32_t {
  SEEK_EXACT = 1,  // only the key itself; otherwise the cursor may go to the nearest entry
  SEEK_LAST = 2,   // the last entry of an equal key, or the greatest smaller key
};

enum : std::uint32_t {
  MOVE_BY_KEY = 1,   // steps over keys, landing on a key's first value; otherwise every value is one step
  MOVE_PARTIAL = 2,  // a move that could not go the whole way still succeeds when it moved at all
  MOVE_TO_END = 4,   // the end position (after the last entry) is a valid place to stop
};

struct SBPlusTreeNode {
  std::uint32_t nKind;  // BPLUSTREE_NODE_*
};

// Node kinds. The root is always an inner node, also above a single leaf.
enum : std::uint32_t { BPLUSTREE_NODE_INNER = 1, BPLUSTREE_NODE_LEAF = 2, BPLUSTREE_NODE_ROOT = 3 };

// Followed, in the same pool item, by order key slots and order + 1 child pointers.
struct SBPlusTreeInner {
  std::uint32_t nKind;
  std::int32_t nKeyCount;
  std::uint32_t nEntryCount;  // entries of the whole subtree, duplicates included
};

// Followed by order key slots and, unless the tree has no data, order data slots and a bitmap of ceil(order / 32)
// words telling which data slots hold a duplicate list instead of a single value.
struct SBPlusTreeLeaf {
  std::uint32_t nKind;
  SBPlusTreeLeaf* pPrev;
  SBPlusTreeLeaf* pNext;
  std::int32_t nKeyCount;
  std::uint32_t nEntryCount;
};

// (leaf, slot, duplicate position). With no leaf the cursor has no position. The end position is the last leaf with
// slot = its key count. The duplicate position is the nested tree's leaf and slot when the slot's values live in a
// nested tree, else no leaf and the index in the slot's plain list (0 for a single value).
struct CBPlusTreeCursor {
  CBPlusTree* pTree;
  SBPlusTreeLeaf* pLeaf;
  std::int32_t nSlot;
  SBPlusTreeLeaf* pDupLeaf;
  std::uint32_t nDupIndex;
};

class CBPlusTree {
 public:
  CBPlusTree();
  ~CBPlusTree();
  CBPlusTree(const CBPlusTree&) = delete;
  CBPlusTree& operator=(const CBPlusTree&) = delete;

  // Order 0 means 32. A data length of 0 makes a keys-only tree, where a key is one entry.
  int bCreate(std::uint64_t nKeyLength, std::uint64_t nDataLength, PFN_BPLUSTREE_COMPARE pfnCompare,
              std::int32_t nOrder);
  void Destroy();

  std::uint32_t nGetCount() const;
  // 0 when refused: the key is present (keys-only tree), the pair is present, or memory ran out; the tree is then
  // unchanged.
  int bInsert(const void* pKey, const void* pData);
  // A null data value removes the key with all its entries. 0 when the key or pair is absent.
  int bDelete(const void* pKey, const void* pData);
  // Puts the cursor on the pair (or on the key's first value without a data value); 1 when it is there.
  int bFind(const void* pKey, const void* pData);
  // The same answer as bFind with the cursor left where it stands: for callers that only ask whether a key or a pair
  // is in the tree while a reader's place in it must hold.
  int bLookup(const void* pKey, const void* pData) const;
  void* bSeek(const void* pKey, std::uint32_t nMode);
  void GoFirst();
  void GoToEnd();
  void GoToRank(std::uint32_t nRank);
  // A step of one key or entry costs little more than an index increment: it is answered here, inline, inside the
  // cursor's leaf or onto a neighbouring leaf, inside a key's value list (a plain list, or the nested tree's current
  // leaf) and onto a neighbouring slot's list; every other move walks.
  int bMove(std::int32_t nCount, std::int32_t* pMoved, std::uint32_t nFlags) {
    CBPlusTreeCursor& c = m_Cursor;
    if (c.pLeaf && (nCount == 1 || nCount == -1)) {
      const bool byKey = (nFlags & MOVE_BY_KEY) != 0;
      // On the slot's last value for a step forward, its first for a step back (or on a plain slot, or the end).
      bool atEdge = true;
      if (!byKey && c.nSlot < c.pLeaf->nKeyCount && bIsList(c.pLeaf, c.nSlot)) {
        const CDuplicateList* list = pList(c.pLeaf, c.nSlot);
        const bool nested = list->bIsNested();
        const std::uint32_t count = !nested ? list->nGetArrayCount()
                                    : c.pDupLeaf ? static_cast<std::uint32_t>(c.pDupLeaf->nKeyCount)
                                                 : 0;
        if (nCount > 0 ? c.nDupIndex + 1 < count : (c.nDupIndex > 0 && c.nDupIndex < count)) {
          c.nDupIndex = nCount > 0 ? c.nDupIndex + 1 : c.nDupIndex - 1;
          if (pMoved) *pMoved = nCount;
          return 1;
        }
        // Off the nested leaf's end, onto its neighbour in the nested tree's chain.
        SBPlusTreeLeaf* const next = !nested || count == 0 ? nullptr
                                     : nCount > 0          ? (c.nDupIndex + 1 == count ? c.pDupLeaf->pNext : nullptr)
                                                           : (c.nDupIndex == 0 ? c.pDupLeaf->pPrev : nullptr);
        if (next && next->nKeyCount > 0) {
          c.pDupLeaf = next;
          c.nDupIndex = nCount > 0 ? 0 : static_cast<std::uint32_t>(next->nKeyCount - 1);
          if (pMoved) *pMoved = nCount;
          return 1;
        }
        // The last nested leaf's end, and a place outside the list, are the walk's.
        atEdge = !nested && count > 0 && (nCount > 0 ? c.nDupIndex + 1 == count : c.nDupIndex == 0);
      }
      // A step off the leaf's last slot or first slot goes on in the neighbouring leaf (never empty in the chain).
      SBPlusTreeLeaf* leaf = c.pLeaf;
      int to = c.nSlot + nCount;
      if (nCount > 0 && to == leaf->nKeyCount && leaf->pNext) {
        leaf = leaf->pNext;
        to = 0;
      } else if (to < 0 && leaf->pPrev) {
        leaf = leaf->pPrev;
        to = leaf->nKeyCount - 1;
      }
      if (atEdge && to >= 0 && to < leaf->nKeyCount) {
        c.pLeaf = leaf;
        c.nSlot = to;
        c.pDupLeaf = nullptr;
        c.nDupIndex = 0;
        if (bIsList(leaf, to)) {
          // A step forward, or any step by key, lands on the list's first value; a step back by value on its last.
          const CDuplicateList* list = pList(leaf, to);
          const bool first = nCount > 0 || byKey;
          if (list->bIsNested()) {
            first ? SetFirstDuplicate(c) : SetLastDuplicate(c);
          } else if (!first) {
            c.nDupIndex = list->nGetArrayCount() - 1;
          }
        }
        if (pMoved) *pMoved = nCount;
        return 1;
      }
    }
    return bWalk(nCount, pMoved, nFlags);
  }
  void* pGetCurrentData() const {
    const CBPlusTreeCursor& c = m_Cursor;
    if (c.pLeaf && c.nSlot < c.pLeaf->nKeyCount && m_nDataLength != 0) {
      if (!bIsList(c.pLeaf, c.nSlot)) return pLeafData(c.pLeaf, c.nSlot);
      CDuplicateList* list = pList(c.pLeaf, c.nSlot);
      if (!list->bIsNested()) {
        return c.nDupIndex < list->nGetArrayCount() ? list->pValues() + c.nDupIndex * m_nDataLength : nullptr;
      }
      // A nested tree's keys are this tree's data values.
      if (c.pDupLeaf && c.nDupIndex < static_cast<std::uint32_t>(c.pDupLeaf->nKeyCount)) {
        return list->pGetNested()->pLeafKey(c.pDupLeaf, static_cast<int>(c.nDupIndex));
      }
    }
    return pDataAt(c);
  }
  void* pGetCurrentKey() const;
  std::int32_t nGetDuplicateCount() const;
  // n records of key then data, ascending; only into an empty tree.
  int bLoadSorted(const void* pRecords, std::int32_t nRecords);

  // Heap bytes held in pool blocks, nested lists included: what the index costs, for measurements.
  std::uint64_t nGetBlockBytes() const;

 private:
  friend class CDuplicateList;
  friend struct CBPlusTreeProbe;

  static constexpr int MAX_DEPTH = 64;
  struct SPathStep {
    SBPlusTreeInner* pNode;
    int nChild;
  };

  // Layout of the pool items.
  unsigned char* pInnerKey(SBPlusTreeInner* pNode, int i) const {
    return reinterpret_cast<unsigned char*>(pNode) + m_nInnerKeysOffset + static_cast<std::size_t>(i) * m_nKeyLength;
  }
  SBPlusTreeNode*& Child(SBPlusTreeInner* pNode, int i) const {
    return reinterpret_cast<SBPlusTreeNode**>(reinterpret_cast<unsigned char*>(pNode) + m_nInnerChildrenOffset)[i];
  }
  unsigned char* pLeafKey(SBPlusTreeLeaf* pLeaf, int i) const {
    return reinterpret_cast<unsigned char*>(pLeaf) + m_nLeafKeysOffset + static_cast<std::size_t>(i) * m_nKeyLength;
  }
  unsigned char* pLeafData(SBPlusTreeLeaf* pLeaf, int i) const {
    return reinterpret_cast<unsigned char*>(pLeaf) + m_nLeafDataOffset + static_cast<std::size_t>(i) * m_nSlotWidth;
  }
  std::uint32_t* pBitmap(SBPlusTreeLeaf* pLeaf) const {
    return reinterpret_cast<std::uint32_t*>(reinterpret_cast<unsigned char*>(pLeaf) + m_nLeafBitmapOffset);
  }
  bool bIsList(SBPlusTreeLeaf* pLeaf, int i) const {
    return m_nDataLength != 0 && ((pBitmap(pLeaf)[i >> 5] >> (i & 31)) & 1u) != 0;
  }
  void SetListBit(SBPlusTreeLeaf* pLeaf, int i, bool bSet) const;
  CDuplicateList* pList(SBPlusTreeLeaf* pLeaf, int i) const {
    CDuplicateList* list;
    std::memcpy(&list, pLeafData(pLeaf, i), sizeof list);
    return list;
  }
  void SetList(SBPlusTreeLeaf* pLeaf, int i, CDuplicateList* pList) const;
  void ReplaceList(SBPlusTreeLeaf* pLeaf, int i, CDuplicateList* pOld, CDuplicateList* pNew);
  std::uint32_t nSlotEntries(SBPlusTreeLeaf* pLeaf, int i) const;
  static std::uint32_t nEntries(SBPlusTreeNode* pNode);

  // Search and descent.
  static int nSearchSorted(const unsigned char* pItems, int nCount, std::size_t nWidth, const void* pItem,
                           PFN_BPLUSTREE_COMPARE pfnCompare, bool* pFound);
  int nSearch(const unsigned char* pKeys, int nCount, const void* pKey, bool* pFound) const;
  int nDescend(const void* pKey, SPathStep* pPath, SBPlusTreeLeaf** ppLeaf) const;
  SBPlusTreeLeaf* pLocateKey(const void* pKey, int* pPos, bool* pFound) const;  // the leaf and place of a key
  SBPlusTreeLeaf* pFirstLeaf() const;
  SBPlusTreeLeaf* pLastLeaf() const;
  void LocateRank(std::uint32_t nRank, SBPlusTreeLeaf** ppLeaf, int* pSlot, std::uint32_t* pRest) const;

  // Slots of leaves and keys of inner nodes.
  void MoveSlots(SBPlusTreeLeaf* pDst, int nTo, SBPlusTreeLeaf* pSrc, int nFrom, int nCount) const;
  void OpenSlot(SBPlusTreeLeaf* pLeaf, int nSlot);
  void WriteSlot(SBPlusTreeLeaf* pLeaf, int nSlot, const void* pKey, const void* pData) const;
  void CloseSlot(SBPlusTreeLeaf* pLeaf, int nSlot) const;
  void MoveFirstSlotToEnd(SBPlusTreeLeaf* pFrom, SBPlusTreeLeaf* pTo);
  void MoveLastSlotToFront(SBPlusTreeLeaf* pFrom, SBPlusTreeLeaf* pTo);
  std::uint32_t nRecountLeaf(SBPlusTreeLeaf* pLeaf) const;
  void InnerInsert(SBPlusTreeInner* pNode, int i, const void* pKey, SBPlusTreeNode* pChild) const;
  void InnerRemove(SBPlusTreeInner* pNode, int i) const;
  void InnerPushFront(SBPlusTreeInner* pNode, const void* pKey, SBPlusTreeNode* pChild) const;
  void InnerPopFront(SBPlusTreeInner* pNode) const;
  void InnerPushBack(SBPlusTreeInner* pNode, const void* pKey, SBPlusTreeNode* pChild) const;

  // Cursor upkeep when slots move.
  void CursorShift(SBPlusTreeLeaf* pLeaf, int nFrom, int nDelta);
  void CursorRelocate(SBPlusTreeLeaf* pSrc, int nFrom, int nCount, SBPlusTreeLeaf* pDst, int nTo);

  // Insertion.
  int bInsertFirst(const void* pKey, const void* pData);
  int bAddDuplicate(SBPlusTreeLeaf* pLeaf, int nSlot, const void* pData);
  void InsertIntoFullLeaf(SPathStep* pPath, int nDepth, SBPlusTreeLeaf* pLeaf, int nPos, const void* pKey,
                          const void* pData);
  void InsertIntoInner(SPathStep* pPath, int nLevel, const void* pSeparator, SBPlusTreeNode* pNewChild);

  // Deletion.
  void RemoveSlot(SPathStep* pPath, int nDepth, SBPlusTreeLeaf* pLeaf, int nPos, std::uint32_t nRemoved);
  void MergeLeaves(SBPlusTreeLeaf* pLeft, SBPlusTreeLeaf* pRight);
  bool bRebalanceInner(SBPlusTreeInner* pParent, int nChild);
  void FreeSubtree(SBPlusTreeNode* pNode);
  void FreeSlotList(SBPlusTreeLeaf* pLeaf, int nSlot);

  // Positions.
  int bWalk(std::int32_t nCount, std::int32_t* pMoved, std::uint32_t nFlags);
  bool bIsEnd(const CBPlusTreeCursor& c) const { return c.pLeaf && c.nSlot >= c.pLeaf->nKeyCount; }
  void SetFirstDuplicate(CBPlusTreeCursor& c) const;
  void SetLastDuplicate(CBPlusTreeCursor& c) const;
  void SetDuplicateRank(CBPlusTreeCursor& c, std::uint32_t nRank) const;
  void NormaliseSlot(CBPlusTreeCursor& c) const;
  void StepPastList(CBPlusTreeCursor& c) const;
  CBPlusTreeCursor NestedCursor(const CBPlusTreeCursor& c, CBPlusTree* pNested) const;
  std::uint32_t nWalkForward(CBPlusTreeCursor& c, std::uint32_t n, bool bByKey) const;
  std::uint32_t nWalkBackward(CBPlusTreeCursor& c, std::uint32_t n, bool bByKey) const;
  void* pDataAt(const CBPlusTreeCursor& c) const;

  std::optional<CBlockPool> m_InnerPool;
  std::optional<CBlockPool> m_LeafPool;
  std::int32_t m_nOrder = 0;
  std::int32_t m_nHalfOrder = 0;
  PFN_BPLUSTREE_COMPARE m_pfnKeyCompare = nullptr;
  PFN_BPLUSTREE_COMPARE m_pfnDataCompare = nullptr;
  bool m_bBytewiseKeys = false;  // the key comparison is nCompareBytes: searched without calling it
  std::size_t m_nKeyLength = 0;
  std::size_t m_nDataLength = 0;
  std::size_t m_nSlotWidth = 0;
  std::unique_ptr<CBlockPool> m_apDuplicatePools[7];
  SBPlusTreeInner* m_pRoot = nullptr;
  std::uint32_t m_nKeyCount = 0;
  CBPlusTreeCursor m_Cursor;

  // Derived by bCreate.
  std::size_t m_nInnerKeysOffset = 0;
  std::size_t m_nInnerChildrenOffset = 0;
  std::size_t m_nLeafKeysOffset = 0;
  std::size_t m_nLeafDataOffset = 0;
  std::size_t m_nLeafBitmapOffset = 0;
  std::unique_ptr<unsigned char[]> m_pScratch;  // two keys: separators on their way up
};
