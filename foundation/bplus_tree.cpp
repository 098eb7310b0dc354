#include "foundation/bplus_tree.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

#include "foundation/duplicate_list.h"

namespace {

constexpr std::size_t Align8(std::size_t n) { return (n + 7) & ~static_cast<std::size_t>(7); }

// The bytes at p as a number whose order is their bytewise order: one load, and a byte swap where the machine keeps
// the least significant byte first.
template <typename T>
T ReadOrdered(const unsigned char* p) {
  static_assert(sizeof(T) == 4 || sizeof(T) == 8);
  T value;
  std::memcpy(&value, p, sizeof value);
  if constexpr (std::endian::native == std::endian::little) {
    if constexpr (sizeof(T) == 8) {
      value = __builtin_bswap64(value);
    } else {
      value = __builtin_bswap32(value);
    }
  }
  return value;
}

// How many items a search compares one by one at its end, after the halving steps.
constexpr std::size_t kCountedItems = 8;

// The lower bound of the probe among n sorted items (width bytes apart): the first that is not below it. No branch
// depends on a comparison: halving steps (a conditional move each) narrow the range to at most kCountedItems, then
// a window of exactly that many items is counted, whose comparisons do not wait on each other as the halving steps
// do. The window may begin before the range: the items there are below the probe and count as such. Fewer items
// than that are all counted. `visit` is given every counted item and answers whether it is below the probe.
template <typename Visit>
[[gnu::always_inline]] inline int nLowerBound(const unsigned char* pItems, int nCount, std::size_t nWidth,
                                              Visit visit) {
  const std::size_t count = nCount > 0 ? static_cast<std::size_t>(nCount) : 0;
  if (count < kCountedItems) {
    std::size_t below = 0;
    for (std::size_t i = 0; i < count; ++i) below += visit(pItems + i * nWidth) ? 1 : 0;
    return static_cast<int>(below);
  }
  const unsigned char* base = pItems;
  std::size_t length = count;
  while (length > kCountedItems) {
    const std::size_t half = length / 2;
    base = visit(base + (half - 1) * nWidth) ? base + half * nWidth : base;
    length -= half;
  }
  const unsigned char* window = std::min(base, pItems + (count - kCountedItems) * nWidth);
  std::size_t below = 0;
  for (std::size_t i = 0; i < kCountedItems; ++i) below += visit(window + i * nWidth) ? 1 : 0;
  return static_cast<int>(static_cast<std::size_t>(window - pItems) / nWidth + below);
}

// Items of one width compared as numbers. The items of a node are distinct, so an equal item met among the counted
// ones is the one at the lower bound; the halving steps never pass over an equal item.
template <typename T>
[[gnu::always_inline]] inline int nSearchOrdered(const unsigned char* pItems, int nCount, const void* pItem,
                                                 bool* pFound) {
  const T probe = ReadOrdered<T>(static_cast<const unsigned char*>(pItem));
  bool equal = false;
  const int pos = nLowerBound(pItems, nCount, sizeof(T), [probe, &equal](const unsigned char* p) {
    const T value = ReadOrdered<T>(p);
    equal |= value == probe;
    return value < probe;
  });
  *pFound = equal;
  return pos;
}

// Longer items: their first 8 bytes decide most comparisons, memcmp the rest.
int nSearchLongBytes(const unsigned char* pItems, int nCount, std::size_t nWidth, const void* pItem, bool* pFound) {
  const auto* item = static_cast<const unsigned char*>(pItem);
  const std::uint64_t head = ReadOrdered<std::uint64_t>(item);
  auto below = [&](const unsigned char* p) {
    const std::uint64_t h = ReadOrdered<std::uint64_t>(p);
    return h < head || (h == head && std::memcmp(p + 8, item + 8, nWidth - 8) < 0);
  };
  const int pos = nLowerBound(pItems, nCount, nWidth, below);
  *pFound = pos < nCount && std::memcmp(pItems + static_cast<std::size_t>(pos) * nWidth, item, nWidth) == 0;
  return pos;
}

// Bytewise order, the order of every key index, data value and nested tree, is searched without a call per step.
// -1 for a width that only the comparison itself searches.
int nSearchBytewise(const unsigned char* pItems, int nCount, std::size_t nWidth, const void* pItem, bool* pFound) {
  if (nWidth == 8) return nSearchOrdered<std::uint64_t>(pItems, nCount, pItem, pFound);
  if (nWidth == 4) return nSearchOrdered<std::uint32_t>(pItems, nCount, pItem, pFound);
  if (nWidth > 8) return nSearchLongBytes(pItems, nCount, nWidth, pItem, pFound);
  return -1;
}

}  // namespace

int nCompareBytes(const void* a, const void* b, std::size_t length) { return std::memcmp(a, b, length); }

CBPlusTree::CBPlusTree() : m_Cursor{this, nullptr, 0, nullptr, 0} {}

CBPlusTree::~CBPlusTree() { Destroy(); }

int CBPlusTree::bCreate(std::uint64_t nKeyLength, std::uint64_t nDataLength, PFN_BPLUSTREE_COMPARE pfnCompare,
                        std::int32_t nOrder) {
  Destroy();
  if (nKeyLength == 0 || !pfnCompare) return 0;
  // At order 1 half the order is 0: no leaf would ever be rebalanced, and a deletion could leave an empty leaf in
  // the middle of the chain. 2 is the smallest order the balancing rules hold for.
  m_nOrder = nOrder == 0 ? 32 : (nOrder < 2 ? 2 : nOrder);
  m_nHalfOrder = m_nOrder / 2;
  m_pfnKeyCompare = pfnCompare;
  m_bBytewiseKeys = pfnCompare == nCompareBytes;
  m_pfnDataCompare = nCompareBytes;
  m_nKeyLength = static_cast<std::size_t>(nKeyLength);
  m_nDataLength = static_cast<std::size_t>(nDataLength);
  m_nSlotWidth = m_nDataLength == 0 ? 0 : (m_nDataLength < 8 ? 8 : m_nDataLength);

  const std::size_t order = static_cast<std::size_t>(m_nOrder);
  m_nInnerKeysOffset = Align8(sizeof(SBPlusTreeInner));
  m_nInnerChildrenOffset = Align8(m_nInnerKeysOffset + order * m_nKeyLength);
  const std::size_t innerSize = m_nInnerChildrenOffset + (order + 1) * sizeof(SBPlusTreeNode*);
  m_nLeafKeysOffset = Align8(sizeof(SBPlusTreeLeaf));
  m_nLeafDataOffset = m_nLeafKeysOffset + order * m_nKeyLength;
  m_nLeafBitmapOffset = m_nLeafDataOffset + order * m_nSlotWidth;
  std::size_t leafSize = m_nLeafDataOffset;
  if (m_nDataLength != 0) {
    m_nLeafBitmapOffset = Align8(m_nLeafBitmapOffset);
    leafSize = m_nLeafBitmapOffset + (order + 31) / 32 * sizeof(std::uint32_t);
  }
  try {
    m_InnerPool.emplace(CBlockPool::nItemsPerBlockFor(innerSize), innerSize);
    m_LeafPool.emplace(CBlockPool::nItemsPerBlockFor(leafSize), leafSize);
    m_pScratch = std::make_unique<unsigned char[]>(2 * m_nKeyLength);
    if (m_nDataLength != 0) {
      for (std::int32_t c = 0; c < DUPLICATE_LIST_CLASSES; ++c) {
        const std::uint64_t size = CDuplicateList::nItemSize(c, m_nDataLength);
        m_apDuplicatePools[c] = std::make_unique<CBlockPool>(CBlockPool::nItemsPerBlockFor(size), size);
      }
    }
  } catch (const std::bad_alloc&) {
    Destroy();
    return 0;
  }
  return 1;
}

void CBPlusTree::Destroy() {
  if (m_pRoot) FreeSubtree(reinterpret_cast<SBPlusTreeNode*>(m_pRoot));
  m_pRoot = nullptr;
  for (auto& pool : m_apDuplicatePools) pool.reset();
  m_InnerPool.reset();
  m_LeafPool.reset();
  m_pScratch.reset();
  m_nOrder = m_nHalfOrder = 0;
  m_pfnKeyCompare = m_pfnDataCompare = nullptr;
  m_bBytewiseKeys = false;
  m_nKeyLength = m_nDataLength = m_nSlotWidth = 0;
  m_nKeyCount = 0;
  m_Cursor = CBPlusTreeCursor{this, nullptr, 0, nullptr, 0};
}

std::uint32_t CBPlusTree::nGetCount() const { return m_pRoot ? m_pRoot->nEntryCount : 0; }

std::uint64_t CBPlusTree::nGetBlockBytes() const {
  std::uint64_t bytes = 0;
  if (m_InnerPool) bytes += m_InnerPool->nGetBlockBytes() + m_LeafPool->nGetBlockBytes();
  for (const auto& pool : m_apDuplicatePools) {
    if (pool) bytes += pool->nGetBlockBytes();
  }
  if (m_pRoot && m_nDataLength != 0) {
    for (SBPlusTreeLeaf* leaf = pFirstLeaf(); leaf; leaf = leaf->pNext) {
      for (int i = 0; i < leaf->nKeyCount; ++i) {
        if (bIsList(leaf, i) && pList(leaf, i)->bIsNested()) bytes += pList(leaf, i)->pGetNested()->nGetBlockBytes();
      }
    }
  }
  return bytes;
}

// ---- layout helpers -----------------------------------------------------------------------------------------------

void CBPlusTree::SetListBit(SBPlusTreeLeaf* pLeaf, int i, bool bSet) const {
  if (m_nDataLength == 0) return;
  std::uint32_t& word = pBitmap(pLeaf)[i >> 5];
  const std::uint32_t bit = 1u << (i & 31);
  word = bSet ? (word | bit) : (word & ~bit);
}

void CBPlusTree::SetList(SBPlusTreeLeaf* pLeaf, int i, CDuplicateList* pList) const {
  std::memcpy(pLeafData(pLeaf, i), &pList, sizeof pList);
}

// A list operation that moved the values to another list leaves the old one to the tree.
void CBPlusTree::ReplaceList(SBPlusTreeLeaf* pLeaf, int i, CDuplicateList* pOld, CDuplicateList* pNew) {
  if (pNew == pOld) return;
  CDuplicateList::Free(pOld, this);
  SetList(pLeaf, i, pNew);
}

std::uint32_t CBPlusTree::nSlotEntries(SBPlusTreeLeaf* pLeaf, int i) const {
  return bIsList(pLeaf, i) ? static_cast<std::uint32_t>(pList(pLeaf, i)->nGetCount()) : 1u;
}

std::uint32_t CBPlusTree::nEntries(SBPlusTreeNode* pNode) {
  return pNode->nKind == BPLUSTREE_NODE_LEAF ? reinterpret_cast<SBPlusTreeLeaf*>(pNode)->nEntryCount
                                             : reinterpret_cast<SBPlusTreeInner*>(pNode)->nEntryCount;
}

// ---- search ------------------------------------------------------------------------------------------------------

int CBPlusTree::nSearchSorted(const unsigned char* pItems, int nCount, std::size_t nWidth, const void* pItem,
                              PFN_BPLUSTREE_COMPARE pfnCompare, bool* pFound) {
  if (pfnCompare == nCompareBytes) {
    const int pos = nSearchBytewise(pItems, nCount, nWidth, pItem, pFound);
    if (pos >= 0) return pos;
  }
  int low = 0;
  int high = nCount - 1;
  while (low <= high) {
    const int middle = (low + high) / 2;
    const int c = pfnCompare(pItem, pItems + static_cast<std::size_t>(middle) * nWidth, nWidth);
    if (c < 0) {
      high = middle - 1;
    } else if (c > 0) {
      low = middle + 1;
    } else {
      *pFound = true;
      return middle;
    }
  }
  *pFound = false;
  return low;
}

int CBPlusTree::nSearch(const unsigned char* pKeys, int nCount, const void* pKey, bool* pFound) const {
  if (m_bBytewiseKeys) {
    const int pos = nSearchBytewise(pKeys, nCount, m_nKeyLength, pKey, pFound);
    if (pos >= 0) return pos;
  }
  return nSearchSorted(pKeys, nCount, m_nKeyLength, pKey, m_pfnKeyCompare, pFound);
}

// Equal keys go right: a separator is the smallest key of the subtree to its right.
int CBPlusTree::nDescend(const void* pKey, SPathStep* pPath, SBPlusTreeLeaf** ppLeaf) const {
  int depth = 0;
  SBPlusTreeNode* node = reinterpret_cast<SBPlusTreeNode*>(m_pRoot);
  while (node->nKind != BPLUSTREE_NODE_LEAF) {
    auto* inner = reinterpret_cast<SBPlusTreeInner*>(node);
    bool found;
    int pos = nSearch(pInnerKey(inner, 0), inner->nKeyCount, pKey, &found);
    if (found) ++pos;
    if (pPath) pPath[depth] = SPathStep{inner, pos};
    ++depth;
    node = Child(inner, pos);
  }
  *ppLeaf = reinterpret_cast<SBPlusTreeLeaf*>(node);
  return depth;
}

SBPlusTreeLeaf* CBPlusTree::pLocateKey(const void* pKey, int* pPos, bool* pFound) const {
  SBPlusTreeLeaf* leaf;
  nDescend(pKey, nullptr, &leaf);
  *pPos = nSearch(pLeafKey(leaf, 0), leaf->nKeyCount, pKey, pFound);
  return leaf;
}

SBPlusTreeLeaf* CBPlusTree::pFirstLeaf() const {
  SBPlusTreeNode* node = reinterpret_cast<SBPlusTreeNode*>(m_pRoot);
  while (node->nKind != BPLUSTREE_NODE_LEAF) node = Child(reinterpret_cast<SBPlusTreeInner*>(node), 0);
  return reinterpret_cast<SBPlusTreeLeaf*>(node);
}

SBPlusTreeLeaf* CBPlusTree::pLastLeaf() const {
  SBPlusTreeNode* node = reinterpret_cast<SBPlusTreeNode*>(m_pRoot);
  while (node->nKind != BPLUSTREE_NODE_LEAF) {
    auto* inner = reinterpret_cast<SBPlusTreeInner*>(node);
    node = Child(inner, inner->nKeyCount);
  }
  return reinterpret_cast<SBPlusTreeLeaf*>(node);
}

void CBPlusTree::LocateRank(std::uint32_t nRank, SBPlusTreeLeaf** ppLeaf, int* pSlot, std::uint32_t* pRest) const {
  SBPlusTreeNode* node = reinterpret_cast<SBPlusTreeNode*>(m_pRoot);
  while (node->nKind != BPLUSTREE_NODE_LEAF) {
    auto* inner = reinterpret_cast<SBPlusTreeInner*>(node);
    int i = 0;
    for (; i < inner->nKeyCount; ++i) {
      const std::uint32_t e = nEntries(Child(inner, i));
      if (nRank < e) break;
      nRank -= e;
    }
    node = Child(inner, i);
  }
  auto* leaf = reinterpret_cast<SBPlusTreeLeaf*>(node);
  int slot = 0;
  for (; slot < leaf->nKeyCount; ++slot) {
    const std::uint32_t e = nSlotEntries(leaf, slot);
    if (nRank < e) break;
    nRank -= e;
  }
  *ppLeaf = leaf;
  *pSlot = slot;
  *pRest = nRank;
}

// ---- slots and keys ----------------------------------------------------------------------------------------------

void CBPlusTree::MoveSlots(SBPlusTreeLeaf* pDst, int nTo, SBPlusTreeLeaf* pSrc, int nFrom, int nCount) const {
  if (nCount <= 0) return;
  const std::size_t n = static_cast<std::size_t>(nCount);
  std::memmove(pLeafKey(pDst, nTo), pLeafKey(pSrc, nFrom), n * m_nKeyLength);
  if (m_nDataLength == 0) return;
  std::memmove(pLeafData(pDst, nTo), pLeafData(pSrc, nFrom), n * m_nSlotWidth);
  if (pDst == pSrc && nTo > nFrom) {
    for (int i = nCount - 1; i >= 0; --i) SetListBit(pDst, nTo + i, bIsList(pSrc, nFrom + i));
  } else {
    for (int i = 0; i < nCount; ++i) SetListBit(pDst, nTo + i, bIsList(pSrc, nFrom + i));
  }
}

void CBPlusTree::OpenSlot(SBPlusTreeLeaf* pLeaf, int nSlot) {
  MoveSlots(pLeaf, nSlot + 1, pLeaf, nSlot, pLeaf->nKeyCount - nSlot);
  ++pLeaf->nKeyCount;
  CursorShift(pLeaf, nSlot, 1);
}

void CBPlusTree::WriteSlot(SBPlusTreeLeaf* pLeaf, int nSlot, const void* pKey, const void* pData) const {
  std::memcpy(pLeafKey(pLeaf, nSlot), pKey, m_nKeyLength);
  if (m_nDataLength == 0) return;
  std::memcpy(pLeafData(pLeaf, nSlot), pData, m_nDataLength);
  SetListBit(pLeaf, nSlot, false);
}

void CBPlusTree::CloseSlot(SBPlusTreeLeaf* pLeaf, int nSlot) const {
  MoveSlots(pLeaf, nSlot, pLeaf, nSlot + 1, pLeaf->nKeyCount - nSlot - 1);
  --pLeaf->nKeyCount;
}

std::uint32_t CBPlusTree::nRecountLeaf(SBPlusTreeLeaf* pLeaf) const {
  std::uint32_t total = 0;
  for (int i = 0; i < pLeaf->nKeyCount; ++i) total += nSlotEntries(pLeaf, i);
  return pLeaf->nEntryCount = total;
}

void CBPlusTree::InnerInsert(SBPlusTreeInner* pNode, int i, const void* pKey, SBPlusTreeNode* pChild) const {
  const int k = pNode->nKeyCount;
  std::memmove(pInnerKey(pNode, i + 1), pInnerKey(pNode, i), static_cast<std::size_t>(k - i) * m_nKeyLength);
  std::memmove(&Child(pNode, i + 2), &Child(pNode, i + 1), static_cast<std::size_t>(k - i) * sizeof(SBPlusTreeNode*));
  std::memcpy(pInnerKey(pNode, i), pKey, m_nKeyLength);
  Child(pNode, i + 1) = pChild;
  ++pNode->nKeyCount;
}

void CBPlusTree::InnerRemove(SBPlusTreeInner* pNode, int i) const {
  const int k = pNode->nKeyCount;
  std::memmove(pInnerKey(pNode, i), pInnerKey(pNode, i + 1), static_cast<std::size_t>(k - i - 1) * m_nKeyLength);
  std::memmove(&Child(pNode, i + 1), &Child(pNode, i + 2),
               static_cast<std::size_t>(k - i - 1) * sizeof(SBPlusTreeNode*));
  --pNode->nKeyCount;
}

// The key goes in front of the old child 0 and the child becomes child 0.
void CBPlusTree::InnerPushFront(SBPlusTreeInner* pNode, const void* pKey, SBPlusTreeNode* pChild) const {
  const int k = pNode->nKeyCount;
  std::memmove(pInnerKey(pNode, 1), pInnerKey(pNode, 0), static_cast<std::size_t>(k) * m_nKeyLength);
  std::memmove(&Child(pNode, 1), &Child(pNode, 0), static_cast<std::size_t>(k + 1) * sizeof(SBPlusTreeNode*));
  std::memcpy(pInnerKey(pNode, 0), pKey, m_nKeyLength);
  Child(pNode, 0) = pChild;
  ++pNode->nKeyCount;
}

// Drops child 0 and key 0.
void CBPlusTree::InnerPopFront(SBPlusTreeInner* pNode) const {
  const int k = pNode->nKeyCount;
  std::memmove(pInnerKey(pNode, 0), pInnerKey(pNode, 1), static_cast<std::size_t>(k - 1) * m_nKeyLength);
  std::memmove(&Child(pNode, 0), &Child(pNode, 1), static_cast<std::size_t>(k) * sizeof(SBPlusTreeNode*));
  --pNode->nKeyCount;
}

void CBPlusTree::InnerPushBack(SBPlusTreeInner* pNode, const void* pKey, SBPlusTreeNode* pChild) const {
  const int k = pNode->nKeyCount;
  std::memcpy(pInnerKey(pNode, k), pKey, m_nKeyLength);
  Child(pNode, k + 1) = pChild;
  ++pNode->nKeyCount;
}

// A slot with its entries and the cursor, from one leaf to its neighbour.
void CBPlusTree::MoveFirstSlotToEnd(SBPlusTreeLeaf* pFrom, SBPlusTreeLeaf* pTo) {
  const int end = pTo->nKeyCount;
  MoveSlots(pTo, end, pFrom, 0, 1);
  ++pTo->nKeyCount;
  CursorRelocate(pFrom, 0, 1, pTo, end);
  const std::uint32_t entries = nSlotEntries(pTo, end);
  pTo->nEntryCount += entries;
  pFrom->nEntryCount -= entries;
  CloseSlot(pFrom, 0);
  CursorShift(pFrom, 1, -1);
}

void CBPlusTree::MoveLastSlotToFront(SBPlusTreeLeaf* pFrom, SBPlusTreeLeaf* pTo) {
  const int last = pFrom->nKeyCount - 1;
  OpenSlot(pTo, 0);
  MoveSlots(pTo, 0, pFrom, last, 1);
  CursorRelocate(pFrom, last, 1, pTo, 0);
  --pFrom->nKeyCount;
  const std::uint32_t entries = nSlotEntries(pTo, 0);
  pTo->nEntryCount += entries;
  pFrom->nEntryCount -= entries;
}

// ---- cursor upkeep -----------------------------------------------------------------------------------------------

void CBPlusTree::CursorShift(SBPlusTreeLeaf* pLeaf, int nFrom, int nDelta) {
  if (m_Cursor.pLeaf == pLeaf && m_Cursor.nSlot >= nFrom) m_Cursor.nSlot += nDelta;
}

void CBPlusTree::CursorRelocate(SBPlusTreeLeaf* pSrc, int nFrom, int nCount, SBPlusTreeLeaf* pDst, int nTo) {
  if (m_Cursor.pLeaf == pSrc && m_Cursor.nSlot >= nFrom && m_Cursor.nSlot < nFrom + nCount) {
    m_Cursor.pLeaf = pDst;
    m_Cursor.nSlot = m_Cursor.nSlot - nFrom + nTo;
  }
}

// ---- insertion ---------------------------------------------------------------------------------------------------

int CBPlusTree::bInsert(const void* pKey, const void* pData) {
  if (!m_InnerPool) return 0;
  if (!m_pRoot) return bInsertFirst(pKey, pData);
  SPathStep path[MAX_DEPTH];
  SBPlusTreeLeaf* leaf;
  const int depth = nDescend(pKey, path, &leaf);
  bool found;
  const int pos = nSearch(pLeafKey(leaf, 0), leaf->nKeyCount, pKey, &found);
  if (found) {
    if (m_nDataLength == 0 || !bAddDuplicate(leaf, pos, pData)) return 0;
    ++leaf->nEntryCount;
    for (int d = 0; d < depth; ++d) ++path[d].pNode->nEntryCount;
    return 1;
  }
  // A full leaf may split, and every inner node above it with it, plus a new root: have the items before anything
  // changes, so that running out of memory leaves the tree as it was.
  if (leaf->nKeyCount >= m_nOrder &&
      (!m_LeafPool->bReserve(1) || !m_InnerPool->bReserve(static_cast<std::uint32_t>(depth) + 1))) {
    return 0;
  }
  for (int d = 0; d < depth; ++d) ++path[d].pNode->nEntryCount;
  ++m_nKeyCount;
  if (leaf->nKeyCount < m_nOrder) {
    OpenSlot(leaf, pos);
    WriteSlot(leaf, pos, pKey, pData);
    ++leaf->nEntryCount;
    return 1;
  }
  InsertIntoFullLeaf(path, depth, leaf, pos, pKey, pData);
  return 1;
}

int CBPlusTree::bInsertFirst(const void* pKey, const void* pData) {
  auto* root = static_cast<SBPlusTreeInner*>(m_InnerPool->pAlloc());
  if (!root) return 0;
  auto* leaf = static_cast<SBPlusTreeLeaf*>(m_LeafPool->pAlloc());
  if (!leaf) {
    m_InnerPool->Free(root);
    return 0;
  }
  leaf->nKind = BPLUSTREE_NODE_LEAF;
  leaf->pPrev = leaf->pNext = nullptr;
  leaf->nKeyCount = 1;
  leaf->nEntryCount = 1;
  WriteSlot(leaf, 0, pKey, pData);
  root->nKind = BPLUSTREE_NODE_ROOT;
  root->nKeyCount = 0;
  root->nEntryCount = 1;
  Child(root, 0) = reinterpret_cast<SBPlusTreeNode*>(leaf);
  m_pRoot = root;
  m_nKeyCount = 1;
  m_Cursor = CBPlusTreeCursor{this, leaf, 1, nullptr, 0};
  return 1;
}

// A second value turns the slot into a list; the cursor keeps standing on the value it stood on.
int CBPlusTree::bAddDuplicate(SBPlusTreeLeaf* pLeaf, int nSlot, const void* pData) {
  const bool onKey = m_Cursor.pLeaf == pLeaf && m_Cursor.nSlot == nSlot;
  if (!bIsList(pLeaf, nSlot)) {
    const unsigned char* old = pLeafData(pLeaf, nSlot);
    const int c = m_pfnDataCompare(pData, old, m_nDataLength);
    if (c == 0) return 0;
    CDuplicateList* list =
        c < 0 ? CDuplicateList::pCreatePair(this, pData, old) : CDuplicateList::pCreatePair(this, old, pData);
    if (!list) return 0;
    SetList(pLeaf, nSlot, list);
    SetListBit(pLeaf, nSlot, true);
    if (onKey) {
      m_Cursor.pDupLeaf = nullptr;
      m_Cursor.nDupIndex = c < 0 ? 1 : 0;
    }
    return 1;
  }
  CDuplicateList* list = pList(pLeaf, nSlot);
  CDuplicateList* result = CDuplicateList::pInsert(list, this, pData, onKey);
  if (!result) return 0;
  ReplaceList(pLeaf, nSlot, list, result);
  return 1;
}

void CBPlusTree::InsertIntoFullLeaf(SPathStep* pPath, int nDepth, SBPlusTreeLeaf* pLeaf, int nPos, const void* pKey,
                                    const void* pData) {
  SBPlusTreeInner* parent = pPath[nDepth - 1].pNode;
  const int ci = pPath[nDepth - 1].nChild;
  const int count = pLeaf->nKeyCount;

  // A sibling under the same parent with room takes a slot, which spares a split.
  if (ci < parent->nKeyCount) {
    auto* right = reinterpret_cast<SBPlusTreeLeaf*>(Child(parent, ci + 1));
    if (right->nKeyCount < m_nOrder) {
      if (nPos == count) {
        OpenSlot(right, 0);
        WriteSlot(right, 0, pKey, pData);
        ++right->nEntryCount;
        std::memcpy(pInnerKey(parent, ci), pKey, m_nKeyLength);
        return;
      }
      MoveLastSlotToFront(pLeaf, right);
      std::memcpy(pInnerKey(parent, ci), pLeafKey(right, 0), m_nKeyLength);
      OpenSlot(pLeaf, nPos);
      WriteSlot(pLeaf, nPos, pKey, pData);
      ++pLeaf->nEntryCount;
      return;
    }
  }
  // nPos is at least 1 here: the key is not below the separator in front of the leaf, which is its first key.
  if (ci > 0 && nPos > 0) {
    auto* left = reinterpret_cast<SBPlusTreeLeaf*>(Child(parent, ci - 1));
    if (left->nKeyCount < m_nOrder) {
      MoveFirstSlotToEnd(pLeaf, left);
      std::memcpy(pInnerKey(parent, ci - 1), pLeafKey(pLeaf, 0), m_nKeyLength);
      OpenSlot(pLeaf, nPos - 1);
      WriteSlot(pLeaf, nPos - 1, pKey, pData);
      ++pLeaf->nEntryCount;
      if (nPos - 1 == 0) std::memcpy(pInnerKey(parent, ci - 1), pKey, m_nKeyLength);
      return;
    }
  }

  auto* fresh = static_cast<SBPlusTreeLeaf*>(m_LeafPool->pAlloc());  // reserved by the caller
  fresh->nKind = BPLUSTREE_NODE_LEAF;
  fresh->pPrev = pLeaf;
  fresh->pNext = pLeaf->pNext;
  if (pLeaf->pNext) pLeaf->pNext->pPrev = fresh;
  pLeaf->pNext = fresh;
  const int kept = (count + 1) / 2;
  MoveSlots(fresh, 0, pLeaf, kept, count - kept);
  fresh->nKeyCount = count - kept;
  pLeaf->nKeyCount = kept;
  // Slots from kept on, and the end position when the leaf was the last one, go with the new leaf.
  CursorRelocate(pLeaf, kept, count - kept + 1, fresh, 0);
  nRecountLeaf(pLeaf);
  nRecountLeaf(fresh);
  if (nPos <= kept) {
    OpenSlot(pLeaf, nPos);
    WriteSlot(pLeaf, nPos, pKey, pData);
    ++pLeaf->nEntryCount;
  } else {
    OpenSlot(fresh, nPos - kept);
    WriteSlot(fresh, nPos - kept, pKey, pData);
    ++fresh->nEntryCount;
  }
  InsertIntoInner(pPath, nDepth - 1, pLeafKey(fresh, 0), reinterpret_cast<SBPlusTreeNode*>(fresh));
}

// Hands (separator, new child) to the inner node at pPath[nLevel], the new child going right of the child on the
// path; up the path as long as nodes split.
void CBPlusTree::InsertIntoInner(SPathStep* pPath, int nLevel, const void* pSeparator, SBPlusTreeNode* pNewChild) {
  for (;;) {
    SBPlusTreeInner* node = pPath[nLevel].pNode;
    const int i = pPath[nLevel].nChild;
    if (node->nKeyCount < m_nOrder) {
      InnerInsert(node, i, pSeparator, pNewChild);
      return;
    }
    if (nLevel > 0) {
      SBPlusTreeInner* parent = pPath[nLevel - 1].pNode;
      const int gi = pPath[nLevel - 1].nChild;
      if (gi < parent->nKeyCount) {
        auto* right = reinterpret_cast<SBPlusTreeInner*>(Child(parent, gi + 1));
        if (right->nKeyCount < m_nOrder) {
          SBPlusTreeNode* moved = pNewChild;
          if (i != node->nKeyCount) moved = Child(node, node->nKeyCount);
          const std::uint32_t e = nEntries(moved);
          InnerPushFront(right, pInnerKey(parent, gi), moved);
          right->nEntryCount += e;
          node->nEntryCount -= e;
          if (moved == pNewChild) {
            std::memcpy(pInnerKey(parent, gi), pSeparator, m_nKeyLength);
          } else {
            std::memcpy(pInnerKey(parent, gi), pInnerKey(node, node->nKeyCount - 1), m_nKeyLength);
            --node->nKeyCount;
            InnerInsert(node, i, pSeparator, pNewChild);
          }
          return;
        }
      }
      if (gi > 0) {
        auto* left = reinterpret_cast<SBPlusTreeInner*>(Child(parent, gi - 1));
        if (left->nKeyCount < m_nOrder) {
          SBPlusTreeNode* first = Child(node, 0);
          const std::uint32_t e = nEntries(first);
          InnerPushBack(left, pInnerKey(parent, gi - 1), first);
          left->nEntryCount += e;
          node->nEntryCount -= e;
          if (i == 0) {
            Child(node, 0) = pNewChild;
            std::memcpy(pInnerKey(parent, gi - 1), pSeparator, m_nKeyLength);
          } else {
            std::memcpy(pInnerKey(parent, gi - 1), pInnerKey(node, 0), m_nKeyLength);
            InnerPopFront(node);
            InnerInsert(node, i - 1, pSeparator, pNewChild);
          }
          return;
        }
      }
    }

    // Split. The key that goes up is copied out first: the node's own keys are about to move.
    auto* fresh = static_cast<SBPlusTreeInner*>(m_InnerPool->pAlloc());  // reserved by bInsert
    fresh->nKind = BPLUSTREE_NODE_INNER;
    const int count = node->nKeyCount;
    const int kept = (count + 1) / 2;
    const std::uint32_t total = node->nEntryCount;
    // The separator may sit in one half of the scratch (copied out by the level below): use the other half.
    unsigned char* buffer = m_pScratch.get();
    if (pSeparator == buffer) buffer += m_nKeyLength;
    const void* up;
    if (i == kept) {
      up = pSeparator;
      std::memcpy(pInnerKey(fresh, 0), pInnerKey(node, kept), static_cast<std::size_t>(count - kept) * m_nKeyLength);
      Child(fresh, 0) = pNewChild;
      std::memcpy(&Child(fresh, 1), &Child(node, kept + 1),
                  static_cast<std::size_t>(count - kept) * sizeof(SBPlusTreeNode*));
      fresh->nKeyCount = count - kept;
      node->nKeyCount = kept;
    } else if (i > kept) {
      std::memcpy(buffer, pInnerKey(node, kept), m_nKeyLength);
      up = buffer;
      const int before = i - 1 - kept;  // keys kept + 1 .. i - 1
      std::memcpy(pInnerKey(fresh, 0), pInnerKey(node, kept + 1), static_cast<std::size_t>(before) * m_nKeyLength);
      std::memcpy(pInnerKey(fresh, before), pSeparator, m_nKeyLength);
      std::memcpy(pInnerKey(fresh, before + 1), pInnerKey(node, i), static_cast<std::size_t>(count - i) * m_nKeyLength);
      std::memcpy(&Child(fresh, 0), &Child(node, kept + 1),
                  static_cast<std::size_t>(i - kept) * sizeof(SBPlusTreeNode*));
      Child(fresh, i - kept) = pNewChild;
      std::memcpy(&Child(fresh, i - kept + 1), &Child(node, i + 1),
                  static_cast<std::size_t>(count - i) * sizeof(SBPlusTreeNode*));
      fresh->nKeyCount = count - kept;
      node->nKeyCount = kept;
    } else {
      std::memcpy(buffer, pInnerKey(node, kept - 1), m_nKeyLength);
      up = buffer;
      std::memcpy(pInnerKey(fresh, 0), pInnerKey(node, kept), static_cast<std::size_t>(count - kept) * m_nKeyLength);
      std::memcpy(&Child(fresh, 0), &Child(node, kept),
                  static_cast<std::size_t>(count - kept + 1) * sizeof(SBPlusTreeNode*));
      fresh->nKeyCount = count - kept;
      node->nKeyCount = kept - 1;
      InnerInsert(node, i, pSeparator, pNewChild);
    }
    std::uint32_t keptEntries = 0;
    for (int c = 0; c <= node->nKeyCount; ++c) keptEntries += nEntries(Child(node, c));
    node->nEntryCount = keptEntries;
    fresh->nEntryCount = total - keptEntries;

    if (nLevel == 0) {
      auto* root = static_cast<SBPlusTreeInner*>(m_InnerPool->pAlloc());  // reserved by bInsert
      root->nKind = BPLUSTREE_NODE_ROOT;
      root->nKeyCount = 1;
      root->nEntryCount = total;
      std::memcpy(pInnerKey(root, 0), up, m_nKeyLength);
      Child(root, 0) = reinterpret_cast<SBPlusTreeNode*>(node);
      Child(root, 1) = reinterpret_cast<SBPlusTreeNode*>(fresh);
      node->nKind = BPLUSTREE_NODE_INNER;
      m_pRoot = root;
      return;
    }
    pSeparator = up;
    pNewChild = reinterpret_cast<SBPlusTreeNode*>(fresh);
    --nLevel;
  }
}

// ---- deletion ----------------------------------------------------------------------------------------------------

int CBPlusTree::bDelete(const void* pKey, const void* pData) {
  if (!m_pRoot) return 0;
  SPathStep path[MAX_DEPTH];
  SBPlusTreeLeaf* leaf;
  const int depth = nDescend(pKey, path, &leaf);
  bool found;
  const int pos = nSearch(pLeafKey(leaf, 0), leaf->nKeyCount, pKey, &found);
  if (!found) return 0;
  if (pData && bIsList(leaf, pos)) {
    const bool onKey = m_Cursor.pLeaf == leaf && m_Cursor.nSlot == pos;
    CDuplicateList* list = pList(leaf, pos);
    CDuplicateList* result = CDuplicateList::pRemove(list, this, pData, onKey);
    if (!result) return 0;
    ReplaceList(leaf, pos, list, result);
    --leaf->nEntryCount;
    for (int d = 0; d < depth; ++d) --path[d].pNode->nEntryCount;
    if (onKey) {
      CBPlusTreeCursor c = m_Cursor;
      if (!pDataAt(c)) StepPastList(c);  // the cursor stood on the last value, which is gone
      m_Cursor = c;
    }
    if (result->nGetCount() == 1) {
      // A key back to one value keeps it in the slot.
      // (A nested list gets here only when memory ran out each time it should have become an array.)
      const void* last = result->bIsNested() ? result->pValueAt(this, CBPlusTreeCursor{this, leaf, pos, nullptr, 0})
                                             : result->pValues();
      std::memcpy(pLeafData(leaf, pos), last, m_nDataLength);
      SetListBit(leaf, pos, false);
      CDuplicateList::Free(result, this);
      if (m_Cursor.pLeaf == leaf && m_Cursor.nSlot == pos) {
        m_Cursor.pDupLeaf = nullptr;
        m_Cursor.nDupIndex = 0;
      }
    }
    return 1;
  }
  if (pData && m_nDataLength != 0 && !bIsList(leaf, pos) &&
      m_pfnDataCompare(pLeafData(leaf, pos), pData, m_nDataLength) != 0) {
    return 0;
  }
  const std::uint32_t removed = nSlotEntries(leaf, pos);
  FreeSlotList(leaf, pos);
  RemoveSlot(path, depth, leaf, pos, removed);
  return 1;
}

void CBPlusTree::FreeSlotList(SBPlusTreeLeaf* pLeaf, int nSlot) {
  if (!bIsList(pLeaf, nSlot)) return;
  CDuplicateList::Free(pList(pLeaf, nSlot), this);
  SetListBit(pLeaf, nSlot, false);
}

void CBPlusTree::FreeSubtree(SBPlusTreeNode* pNode) {
  if (pNode->nKind == BPLUSTREE_NODE_LEAF) {
    auto* leaf = reinterpret_cast<SBPlusTreeLeaf*>(pNode);
    for (int i = 0; i < leaf->nKeyCount; ++i) FreeSlotList(leaf, i);
    m_LeafPool->Free(leaf);
    return;
  }
  auto* inner = reinterpret_cast<SBPlusTreeInner*>(pNode);
  for (int i = 0; i <= inner->nKeyCount; ++i) FreeSubtree(Child(inner, i));
  m_InnerPool->Free(inner);
}

void CBPlusTree::RemoveSlot(SPathStep* pPath, int nDepth, SBPlusTreeLeaf* pLeaf, int nPos, std::uint32_t nRemoved) {
  for (int d = 0; d < nDepth; ++d) pPath[d].pNode->nEntryCount -= nRemoved;
  pLeaf->nEntryCount -= nRemoved;
  --m_nKeyCount;
  const bool onSlot = m_Cursor.pLeaf == pLeaf && m_Cursor.nSlot == nPos;
  CloseSlot(pLeaf, nPos);
  CursorShift(pLeaf, nPos + 1, -1);
  if (m_pRoot->nEntryCount == 0) {
    FreeSubtree(reinterpret_cast<SBPlusTreeNode*>(m_pRoot));
    m_pRoot = nullptr;
    m_nKeyCount = 0;
    m_Cursor = CBPlusTreeCursor{this, nullptr, 0, nullptr, 0};
    return;
  }
  if (onSlot) {
    // The cursor goes on to the entry that followed: the new occupant of the slot, or the next leaf's first one.
    CBPlusTreeCursor c{this, pLeaf, nPos, nullptr, 0};
    NormaliseSlot(c);
    SetFirstDuplicate(c);
    m_Cursor = c;
  }

  // The leaf under half the order merges with a sibling when both fit in one leaf, else borrows a slot.
  SBPlusTreeInner* parent = pPath[nDepth - 1].pNode;
  const int ci = pPath[nDepth - 1].nChild;
  bool lost = false;            // the parent lost a child
  bool firstKeyPlaced = false;  // the leaf went into its left sibling or took that sibling's last slot
  if (pLeaf->nKeyCount < m_nHalfOrder && parent->nKeyCount > 0) {
    auto* left = ci > 0 ? reinterpret_cast<SBPlusTreeLeaf*>(Child(parent, ci - 1)) : nullptr;
    auto* right = ci < parent->nKeyCount ? reinterpret_cast<SBPlusTreeLeaf*>(Child(parent, ci + 1)) : nullptr;
    SBPlusTreeLeaf* partner = (left && (!right || left->nKeyCount < right->nKeyCount)) ? left : right;
    if (pLeaf->nKeyCount + partner->nKeyCount <= m_nOrder) {
      if (partner == left) {
        MergeLeaves(left, pLeaf);
        InnerRemove(parent, ci - 1);
        firstKeyPlaced = true;
      } else {
        MergeLeaves(pLeaf, right);
        InnerRemove(parent, ci);
      }
      lost = true;
    } else if (right && right->nKeyCount > m_nHalfOrder) {
      MoveFirstSlotToEnd(right, pLeaf);
      std::memcpy(pInnerKey(parent, ci), pLeafKey(right, 0), m_nKeyLength);
    } else if (left && left->nKeyCount > m_nHalfOrder) {
      MoveLastSlotToFront(left, pLeaf);
      std::memcpy(pInnerKey(parent, ci - 1), pLeafKey(pLeaf, 0), m_nKeyLength);
      firstKeyPlaced = true;
    }
  }

  // A leaf that lost its first key hands the new one up to the separator in front of it, which may sit in any
  // ancestor: the first one reached through a child other than child 0. Whether it still has keys is asked after the
  // rebalancing: a leaf emptied and then filled from its right sibling has a new first key too, and a separator left
  // on the deleted key would send a later insert below the first key of the leaf it leads to.
  const unsigned char* pending = nullptr;
  if (nPos == 0 && !firstKeyPlaced && pLeaf->nKeyCount > 0) pending = pLeafKey(pLeaf, 0);
  if (pending && ci > 0) {
    std::memcpy(pInnerKey(parent, ci - 1), pending, m_nKeyLength);
    pending = nullptr;
  }
  for (int level = nDepth - 2; level >= 0; --level) {
    SBPlusTreeInner* node = pPath[level].pNode;
    const int xi = pPath[level].nChild;
    // Placing the key before rebalancing is what makes a separator that comes down from here the right one.
    if (pending && xi > 0) {
      std::memcpy(pInnerKey(node, xi - 1), pending, m_nKeyLength);
      pending = nullptr;
    }
    lost = lost && bRebalanceInner(node, xi);
  }
  while (m_pRoot->nKeyCount == 0 && Child(m_pRoot, 0)->nKind != BPLUSTREE_NODE_LEAF) {
    auto* child = reinterpret_cast<SBPlusTreeInner*>(Child(m_pRoot, 0));
    m_InnerPool->Free(m_pRoot);
    child->nKind = BPLUSTREE_NODE_ROOT;
    m_pRoot = child;
  }
}

void CBPlusTree::MergeLeaves(SBPlusTreeLeaf* pLeft, SBPlusTreeLeaf* pRight) {
  const int end = pLeft->nKeyCount;
  MoveSlots(pLeft, end, pRight, 0, pRight->nKeyCount);
  CursorRelocate(pRight, 0, pRight->nKeyCount + 1, pLeft, end);
  pLeft->nKeyCount += pRight->nKeyCount;
  pLeft->nEntryCount += pRight->nEntryCount;
  pLeft->pNext = pRight->pNext;
  if (pRight->pNext) pRight->pNext->pPrev = pLeft;
  m_LeafPool->Free(pRight);
}

// The child on the path lost a child of its own; under half the order it merges with or borrows from a sibling
// through the parent's separator. True when the parent lost a child in turn.
bool CBPlusTree::bRebalanceInner(SBPlusTreeInner* pParent, int nChild) {
  auto* node = reinterpret_cast<SBPlusTreeInner*>(Child(pParent, nChild));
  if (node->nKeyCount >= m_nHalfOrder || pParent->nKeyCount == 0) return false;
  auto* left = nChild > 0 ? reinterpret_cast<SBPlusTreeInner*>(Child(pParent, nChild - 1)) : nullptr;
  auto* right = nChild < pParent->nKeyCount ? reinterpret_cast<SBPlusTreeInner*>(Child(pParent, nChild + 1)) : nullptr;
  SBPlusTreeInner* partner = (left && (!right || left->nKeyCount < right->nKeyCount)) ? left : right;
  if (node->nKeyCount + partner->nKeyCount + 1 <= m_nOrder) {
    SBPlusTreeInner* a = partner == left ? left : node;
    SBPlusTreeInner* b = partner == left ? node : right;
    const int bi = partner == left ? nChild : nChild + 1;
    const int end = a->nKeyCount;
    std::memcpy(pInnerKey(a, end), pInnerKey(pParent, bi - 1), m_nKeyLength);
    std::memcpy(pInnerKey(a, end + 1), pInnerKey(b, 0), static_cast<std::size_t>(b->nKeyCount) * m_nKeyLength);
    std::memcpy(&Child(a, end + 1), &Child(b, 0), static_cast<std::size_t>(b->nKeyCount + 1) * sizeof(SBPlusTreeNode*));
    a->nKeyCount += b->nKeyCount + 1;
    a->nEntryCount += b->nEntryCount;
    InnerRemove(pParent, bi - 1);
    m_InnerPool->Free(b);
    return true;
  }
  if (right && right->nKeyCount > m_nHalfOrder) {
    SBPlusTreeNode* moved = Child(right, 0);
    const std::uint32_t e = nEntries(moved);
    InnerPushBack(node, pInnerKey(pParent, nChild), moved);
    std::memcpy(pInnerKey(pParent, nChild), pInnerKey(right, 0), m_nKeyLength);
    InnerPopFront(right);
    node->nEntryCount += e;
    right->nEntryCount -= e;
  } else if (left && left->nKeyCount > m_nHalfOrder) {
    SBPlusTreeNode* moved = Child(left, left->nKeyCount);
    const std::uint32_t e = nEntries(moved);
    InnerPushFront(node, pInnerKey(pParent, nChild - 1), moved);
    std::memcpy(pInnerKey(pParent, nChild - 1), pInnerKey(left, left->nKeyCount - 1), m_nKeyLength);
    --left->nKeyCount;
    node->nEntryCount += e;
    left->nEntryCount -= e;
  }
  return false;
}

// ---- positions ---------------------------------------------------------------------------------------------------

// A slot past the last key of a leaf that has a next leaf is the next leaf's first slot.
void CBPlusTree::NormaliseSlot(CBPlusTreeCursor& c) const {
  if (c.nSlot >= c.pLeaf->nKeyCount && c.pLeaf->pNext) {
    c.pLeaf = c.pLeaf->pNext;
    c.nSlot = 0;
  }
}

// Rank 0 without the rank walk: every find lands here.
void CBPlusTree::SetFirstDuplicate(CBPlusTreeCursor& c) const {
  c.pDupLeaf = nullptr;
  c.nDupIndex = 0;
  if (bIsEnd(c) || !bIsList(c.pLeaf, c.nSlot)) return;
  CDuplicateList* list = pList(c.pLeaf, c.nSlot);
  if (list->bIsNested()) c.pDupLeaf = list->pGetNested()->pFirstLeaf();
}

void CBPlusTree::SetLastDuplicate(CBPlusTreeCursor& c) const {
  c.pDupLeaf = nullptr;
  c.nDupIndex = 0;
  if (bIsEnd(c) || !bIsList(c.pLeaf, c.nSlot)) return;
  CDuplicateList* list = pList(c.pLeaf, c.nSlot);
  if (list->bIsNested()) {
    SBPlusTreeLeaf* last = list->pGetNested()->pLastLeaf();
    c.pDupLeaf = last;
    c.nDupIndex = static_cast<std::uint32_t>(last->nKeyCount - 1);
  } else {
    c.nDupIndex = static_cast<std::uint32_t>(list->nGetCount() - 1);
  }
}

void CBPlusTree::SetDuplicateRank(CBPlusTreeCursor& c, std::uint32_t nRank) const {
  c.pDupLeaf = nullptr;
  c.nDupIndex = 0;
  if (bIsEnd(c) || !bIsList(c.pLeaf, c.nSlot)) return;
  CDuplicateList* list = pList(c.pLeaf, c.nSlot);
  if (list->bIsNested()) {
    CBPlusTree* nested = list->pGetNested();
    int slot;
    std::uint32_t rest;
    nested->LocateRank(nRank, &c.pDupLeaf, &slot, &rest);
    c.nDupIndex = static_cast<std::uint32_t>(slot);
  } else {
    c.nDupIndex = nRank;
  }
}

// From a place past the values of a list to the next slot's first value.
void CBPlusTree::StepPastList(CBPlusTreeCursor& c) const {
  ++c.nSlot;
  NormaliseSlot(c);
  SetFirstDuplicate(c);
}

// The nested tree's position that the outer cursor's duplicate fields stand for; without a nested leaf the index is
// a rank.
CBPlusTreeCursor CBPlusTree::NestedCursor(const CBPlusTreeCursor& c, CBPlusTree* pNested) const {
  CBPlusTreeCursor nested{pNested, c.pDupLeaf, static_cast<std::int32_t>(c.nDupIndex), nullptr, 0};
  if (!c.pDupLeaf) {
    std::uint32_t rest;
    pNested->LocateRank(c.nDupIndex, &nested.pLeaf, &nested.nSlot, &rest);
  }
  return nested;
}

void* CBPlusTree::pDataAt(const CBPlusTreeCursor& c) const {
  if (!c.pLeaf || bIsEnd(c) || m_nDataLength == 0) return nullptr;
  if (bIsList(c.pLeaf, c.nSlot)) return pList(c.pLeaf, c.nSlot)->pValueAt(this, c);
  return pLeafData(c.pLeaf, c.nSlot);
}

void* CBPlusTree::pGetCurrentKey() const {
  if (!m_Cursor.pLeaf || bIsEnd(m_Cursor)) return nullptr;
  return pLeafKey(m_Cursor.pLeaf, m_Cursor.nSlot);
}

std::int32_t CBPlusTree::nGetDuplicateCount() const {
  if (!m_Cursor.pLeaf || bIsEnd(m_Cursor)) return 0;
  return static_cast<std::int32_t>(nSlotEntries(m_Cursor.pLeaf, m_Cursor.nSlot));
}

void CBPlusTree::GoFirst() {
  if (!m_pRoot) return;
  CBPlusTreeCursor c{this, pFirstLeaf(), 0, nullptr, 0};
  SetFirstDuplicate(c);
  m_Cursor = c;
}

void CBPlusTree::GoToEnd() {
  if (!m_pRoot) return;
  SBPlusTreeLeaf* last = pLastLeaf();
  m_Cursor = CBPlusTreeCursor{this, last, last->nKeyCount, nullptr, 0};
}

void CBPlusTree::GoToRank(std::uint32_t nRank) {
  if (!m_pRoot) return;
  if (nRank == 0) return GoFirst();
  if (nRank >= nGetCount()) return GoToEnd();
  CBPlusTreeCursor c{this, nullptr, 0, nullptr, 0};
  std::uint32_t rest;
  LocateRank(nRank, &c.pLeaf, &c.nSlot, &rest);
  SetDuplicateRank(c, rest);
  m_Cursor = c;
}

void* CBPlusTree::bSeek(const void* pKey, std::uint32_t nMode) {
  if (!m_pRoot) return nullptr;
  bool found;
  int pos;
  SBPlusTreeLeaf* leaf = pLocateKey(pKey, &pos, &found);
  if (found && !(nMode & SEEK_LAST)) {
    // The common find, to the key's first value as the general path below would go; worked on the cursor itself,
    // as a copy of a cursor just written field by field stalls the copy's wide load.
    m_Cursor.pLeaf = leaf;
    m_Cursor.nSlot = pos;
    SetFirstDuplicate(m_Cursor);
    return pDataAt(m_Cursor);
  }
  CBPlusTreeCursor c{this, leaf, pos, nullptr, 0};
  if (!found && (nMode & SEEK_LAST)) {
    if (pos == 0) {
      // Below every key of the leaf. The first leaf's case, the one that can happen: nothing is smaller.
      if (!leaf->pPrev) return nullptr;
      c.pLeaf = leaf->pPrev;
      c.nSlot = c.pLeaf->nKeyCount - 1;
    } else {
      c.nSlot = pos - 1;
    }
  } else {
    NormaliseSlot(c);
  }
  if (nMode & SEEK_LAST) {
    SetLastDuplicate(c);
  } else {
    SetFirstDuplicate(c);
  }
  if ((nMode & SEEK_EXACT) && !found) return nullptr;
  if (bIsEnd(c)) return nullptr;
  m_Cursor = c;
  return pDataAt(c);
}

int CBPlusTree::bFind(const void* pKey, const void* pData) {
  if (!m_pRoot) return 0;
  bool found;
  int pos;
  SBPlusTreeLeaf* leaf = pLocateKey(pKey, &pos, &found);
  CBPlusTreeCursor c{this, leaf, pos, nullptr, 0};
  NormaliseSlot(c);
  SetFirstDuplicate(c);
  int result = found ? 1 : 0;
  if (found && pData && m_nDataLength != 0) {
    if (bIsList(leaf, pos)) {
      CDuplicateList* list = pList(leaf, pos);
      result = list->bLocate(this, pData, c);
      // A value above every value of the list leaves the cursor on the entry that follows, never past the list.
      if (!pDataAt(c)) StepPastList(c);
    } else {
      result = m_pfnDataCompare(pLeafData(leaf, pos), pData, m_nDataLength) == 0 ? 1 : 0;
    }
  }
  m_Cursor = c;
  return result;
}

int CBPlusTree::bLookup(const void* pKey, const void* pData) const {
  if (!m_pRoot) return 0;
  bool found;
  int pos;
  SBPlusTreeLeaf* leaf = pLocateKey(pKey, &pos, &found);
  if (!found) return 0;
  if (!pData || m_nDataLength == 0) return 1;
  if (!bIsList(leaf, pos)) return m_pfnDataCompare(pLeafData(leaf, pos), pData, m_nDataLength) == 0 ? 1 : 0;
  // The list answers into a cursor of our own; the tree's stays untouched.
  CBPlusTreeCursor place{const_cast<CBPlusTree*>(this), leaf, pos, nullptr, 0};
  return pList(leaf, pos)->bLocate(this, pData, place);
}

// ---- counted moves -----------------------------------------------------------------------------------------------

// Walks n steps forward, crossing whole leaves by their counts, and stops on the end position when the tree runs
// out. The steps taken, the step onto the end position included.
std::uint32_t CBPlusTree::nWalkForward(CBPlusTreeCursor& c, std::uint32_t n, bool bByKey) const {
  SBPlusTreeLeaf* leaf = c.pLeaf;
  int slot = c.nSlot;
  if (n == 0 || slot >= leaf->nKeyCount) return 0;
  std::uint32_t moved;
  if (!bByKey && bIsList(leaf, slot)) {
    CDuplicateList* list = pList(leaf, slot);
    if (list->bIsNested()) {
      CBPlusTree* nested = list->pGetNested();
      CBPlusTreeCursor inside = NestedCursor(c, nested);
      moved = nested->nWalkForward(inside, n, true);
      if (!nested->bIsEnd(inside)) {
        c.pDupLeaf = inside.pLeaf;
        c.nDupIndex = static_cast<std::uint32_t>(inside.nSlot);
        return moved;
      }
    } else {
      const std::uint32_t left = static_cast<std::uint32_t>(list->nGetCount()) - c.nDupIndex;
      if (n < left) {
        c.nDupIndex += n;
        return n;
      }
      moved = left;
    }
  } else {
    moved = 1;
  }
  n -= moved;
  ++slot;
  for (;;) {
    if (slot >= leaf->nKeyCount) {
      if (!leaf->pNext) {
        slot = leaf->nKeyCount;
        break;
      }
      leaf = leaf->pNext;
      slot = 0;
    }
    if (n == 0) break;
    if (slot == 0) {
      const std::uint32_t whole = bByKey ? static_cast<std::uint32_t>(leaf->nKeyCount) : leaf->nEntryCount;
      if (n >= whole) {
        n -= whole;
        moved += whole;
        slot = leaf->nKeyCount;
        continue;
      }
    }
    const std::uint32_t e = bByKey ? 1 : nSlotEntries(leaf, slot);
    if (n < e) {
      c.pLeaf = leaf;
      c.nSlot = slot;
      SetDuplicateRank(c, n);
      return moved + n;
    }
    n -= e;
    moved += e;
    ++slot;
  }
  c.pLeaf = leaf;
  c.nSlot = slot;
  SetFirstDuplicate(c);
  return moved;
}

// Walks n steps back and stops on the first entry when the tree runs out. The steps taken.
std::uint32_t CBPlusTree::nWalkBackward(CBPlusTreeCursor& c, std::uint32_t n, bool bByKey) const {
  SBPlusTreeLeaf* leaf = c.pLeaf;
  int slot = c.nSlot;
  if (n == 0) return 0;
  std::uint32_t moved = 0;
  if (!bByKey && slot < leaf->nKeyCount && bIsList(leaf, slot)) {
    CDuplicateList* list = pList(leaf, slot);
    if (list->bIsNested()) {
      CBPlusTree* nested = list->pGetNested();
      CBPlusTreeCursor inside = NestedCursor(c, nested);
      moved = nested->nWalkBackward(inside, n, true);
      if (moved == n) {
        c.pDupLeaf = inside.pLeaf;
        c.nDupIndex = static_cast<std::uint32_t>(inside.nSlot);
        return moved;
      }
    } else {
      if (n <= c.nDupIndex) {
        c.nDupIndex -= n;
        return n;
      }
      moved = c.nDupIndex;
    }
    n -= moved;
  }
  while (n > 0) {
    if (slot == 0) {
      if (!leaf->pPrev) break;
      leaf = leaf->pPrev;
      slot = leaf->nKeyCount;
      const std::uint32_t whole = bByKey ? static_cast<std::uint32_t>(leaf->nKeyCount) : leaf->nEntryCount;
      if (n >= whole) {
        n -= whole;
        moved += whole;
        slot = 0;
        continue;
      }
    }
    const std::uint32_t e = bByKey ? 1 : nSlotEntries(leaf, slot - 1);
    --slot;
    if (n <= e) {
      c.pLeaf = leaf;
      c.nSlot = slot;
      SetDuplicateRank(c, e - n);
      return moved + n;
    }
    n -= e;
    moved += e;
  }
  c.pLeaf = leaf;
  c.nSlot = slot;
  SetFirstDuplicate(c);
  return moved;
}

int CBPlusTree::bWalk(std::int32_t nCount, std::int32_t* pMoved, std::uint32_t nFlags) {
  if (pMoved) *pMoved = 0;
  // One step that stays in the cursor's leaf, where a list is at either end of it: the next or previous value in the
  // list itself (a plain list, or the nested tree's current leaf), else the neighbouring slot's first or last value.
  CBPlusTreeCursor& here = m_Cursor;
  if ((nCount == 1 || nCount == -1) && !(nFlags & MOVE_BY_KEY) && here.pLeaf) {
    bool first = true;  // at the first value of the slot (and for a step forward, at its last)
    bool last = true;
    if (!bIsEnd(here) && bIsList(here.pLeaf, here.nSlot)) {
      CDuplicateList* list = pList(here.pLeaf, here.nSlot);
      const bool nested = list->bIsNested();
      const std::uint32_t count = !nested ? static_cast<std::uint32_t>(list->nGetCount())
                                  : here.pDupLeaf ? static_cast<std::uint32_t>(here.pDupLeaf->nKeyCount)
                                                  : 0;
      first = count > 0 && here.nDupIndex == 0 && (!nested || !here.pDupLeaf->pPrev);
      last = count > 0 && here.nDupIndex + 1 == count && (!nested || !here.pDupLeaf->pNext);
      if (count > 0 && (nCount > 0 ? here.nDupIndex + 1 < count : here.nDupIndex > 0)) {
        here.nDupIndex = nCount > 0 ? here.nDupIndex + 1 : here.nDupIndex - 1;
        if (pMoved) *pMoved = nCount;
        return 1;
      }
    }
    if (nCount > 0 && last && here.nSlot + 1 < here.pLeaf->nKeyCount) {
      ++here.nSlot;
      SetFirstDuplicate(here);
      if (pMoved) *pMoved = 1;
      return 1;
    }
    if (nCount < 0 && first && here.nSlot > 0 && here.nSlot <= here.pLeaf->nKeyCount) {
      --here.nSlot;
      SetLastDuplicate(here);
      if (pMoved) *pMoved = -1;
      return 1;
    }
  }
  if (!m_pRoot || !m_Cursor.pLeaf) return 0;
  const bool byKey = (nFlags & MOVE_BY_KEY) != 0;
  if (nCount == 0) return (!bIsEnd(m_Cursor) || (nFlags & MOVE_TO_END)) ? 1 : 0;
  CBPlusTreeCursor c = m_Cursor;
  std::int64_t moved;
  if (nCount > 0) {
    std::uint32_t steps = nWalkForward(c, static_cast<std::uint32_t>(nCount), byKey);
    if (bIsEnd(c) && !(nFlags & MOVE_TO_END) && steps >= 1) {
      // The end position is no place to stop: one step less, back onto the last key or entry.
      --steps;
      if (steps >= 1) nWalkBackward(c, 1, byKey);
    }
    moved = steps;
  } else {
    moved = -static_cast<std::int64_t>(
        nWalkBackward(c, static_cast<std::uint32_t>(-static_cast<std::int64_t>(nCount)), byKey));
  }
  if (pMoved) *pMoved = static_cast<std::int32_t>(moved);
  const std::int64_t wanted = nCount < 0 ? -static_cast<std::int64_t>(nCount) : nCount;
  const std::int64_t got = moved < 0 ? -moved : moved;
  if (got != wanted && (!(nFlags & MOVE_PARTIAL) || got == 0)) return 0;
  m_Cursor = c;
  return 1;
}

// ---- bulk load ---------------------------------------------------------------------------------------------------

int CBPlusTree::bLoadSorted(const void* pRecords, std::int32_t nRecords) {
  if (nRecords < 1) return 1;
  if (!m_InnerPool || m_pRoot) return 0;
  const auto* records = static_cast<const unsigned char*>(pRecords);
  const std::size_t stride = m_nKeyLength + m_nDataLength;
  const std::size_t n = static_cast<std::size_t>(nRecords);

  // Distinct keys; input out of order, or a key repeated in a keys-only tree, is refused before anything is built.
  std::size_t keys = 1;
  for (std::size_t r = 1; r < n; ++r) {
    const int c = m_pfnKeyCompare(records + r * stride, records + (r - 1) * stride, m_nKeyLength);
    if (c < 0 || (c == 0 && m_nDataLength == 0)) return 0;
    if (c > 0) ++keys;
  }
  const std::size_t order = static_cast<std::size_t>(m_nOrder);
  const std::size_t fanOut = order < 3 ? order + 1 : order;
  const std::size_t leaves = (keys - 1) / order + 1;
  std::size_t inner = 0;
  for (std::size_t m = leaves;;) {
    m = (m - 1) / fanOut + 1;
    inner += m;
    if (m == 1) break;
  }
  std::vector<SBPlusTreeNode*> level;
  std::vector<const unsigned char*> smallest;
  try {
    level.reserve(leaves);
    smallest.reserve(leaves);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (leaves > 0xFFFFFFFFu || !m_LeafPool->bReserve(static_cast<std::uint32_t>(leaves)) ||
      !m_InnerPool->bReserve(static_cast<std::uint32_t>(inner))) {
    return 0;
  }

  SBPlusTreeLeaf* previous = nullptr;
  std::size_t r = 0;
  for (std::size_t l = 0; l < leaves; ++l) {
    const int quota = static_cast<int>(keys / leaves + (l < keys % leaves ? 1 : 0));
    auto* leaf = static_cast<SBPlusTreeLeaf*>(m_LeafPool->pAlloc());
    leaf->nKind = BPLUSTREE_NODE_LEAF;
    leaf->pPrev = previous;
    leaf->pNext = nullptr;
    leaf->nKeyCount = 0;
    leaf->nEntryCount = 0;
    if (previous) previous->pNext = leaf;
    previous = leaf;
    level.push_back(reinterpret_cast<SBPlusTreeNode*>(leaf));
    for (; r < n; ++r) {
      const unsigned char* key = records + r * stride;
      const int last = leaf->nKeyCount - 1;
      if (last >= 0 && m_pfnKeyCompare(key, pLeafKey(leaf, last), m_nKeyLength) == 0) {
        if (!bAddDuplicate(leaf, last, key + m_nKeyLength)) {
          // A repeated pair, or no memory for a list: nothing of the load stays.
          for (SBPlusTreeNode* built : level) FreeSubtree(built);
          return 0;
        }
      } else {
        if (leaf->nKeyCount == quota) break;
        WriteSlot(leaf, leaf->nKeyCount, key, key + m_nKeyLength);
        ++leaf->nKeyCount;
      }
      ++leaf->nEntryCount;
    }
    smallest.push_back(pLeafKey(leaf, 0));
  }

  // Inner levels, built in place over the level below: node j reads its children from positions j and up.
  std::size_t m = level.size();
  do {
    const std::size_t nodes = (m - 1) / fanOut + 1;
    std::size_t next = 0;
    for (std::size_t j = 0; j < nodes; ++j) {
      const std::size_t children = m / nodes + (j < m % nodes ? 1 : 0);
      auto* node = static_cast<SBPlusTreeInner*>(m_InnerPool->pAlloc());
      node->nKind = BPLUSTREE_NODE_INNER;
      node->nKeyCount = static_cast<std::int32_t>(children - 1);
      node->nEntryCount = 0;
      for (std::size_t c = 0; c < children; ++c) {
        Child(node, static_cast<int>(c)) = level[next + c];
        node->nEntryCount += nEntries(level[next + c]);
        if (c > 0) std::memcpy(pInnerKey(node, static_cast<int>(c - 1)), smallest[next + c], m_nKeyLength);
      }
      level[j] = reinterpret_cast<SBPlusTreeNode*>(node);
      smallest[j] = smallest[next];
      next += children;
    }
    m = nodes;
  } while (m > 1);
  m_pRoot = reinterpret_cast<SBPlusTreeInner*>(level[0]);
  m_pRoot->nKind = BPLUSTREE_NODE_ROOT;
  m_nKeyCount = static_cast<std::uint32_t>(keys);
  GoToEnd();
  return 1;
}
