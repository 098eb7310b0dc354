#include <cstring>
#include <set>
#include <sstream>

#include "foundation/duplicate_list.h"
#include "tests/foundation/bplus_tree_probe.h"

struct CBPlusTreeProbe::SWalk {
  const CBPlusTree& tree;
  std::ostringstream problems;
  std::vector<SBPlusTreeLeaf*> leaves;
  std::set<const void*> leafSet;
  int leafDepth = -1;
  std::uint32_t innerNodes = 0;
  std::uint32_t lists[7] = {};
};

namespace {

std::string Hex(const void* p, std::size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char b = static_cast<const unsigned char*>(p)[i];
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s;
}

}  // namespace

std::string CBPlusTreeProbe::Check(const CBPlusTree& tree) { return CheckTree(tree, false); }

// A nested tree's cursor is scratch, loaded from the outer cursor whenever it is used: only its nodes count.
std::string CBPlusTreeProbe::CheckTree(const CBPlusTree& tree, bool nested) {
  SWalk w{tree, {}, {}, {}, -1, 0, {}};
  const CBPlusTree& t = tree;
  if (!t.m_pRoot) {
    if (t.m_nKeyCount != 0) w.problems << "empty tree with key count " << t.m_nKeyCount << "; ";
    if (t.m_Cursor.pLeaf && !nested) w.problems << "empty tree with a cursor position; ";
    if (t.m_InnerPool && (t.m_InnerPool->nGetItemsInUse() || t.m_LeafPool->nGetItemsInUse())) {
      w.problems << "empty tree holds pool items; ";
    }
    return w.problems.str();
  }
  if (t.m_pRoot->nKind != BPLUSTREE_NODE_ROOT) w.problems << "root kind " << t.m_pRoot->nKind << "; ";
  const unsigned char* smallest = nullptr;
  const std::uint32_t entries =
      CheckNode(w, reinterpret_cast<SBPlusTreeNode*>(t.m_pRoot), 0, nullptr, nullptr, &smallest, true);
  if (entries != t.nGetCount()) w.problems << "root counts " << t.nGetCount() << ", leaves hold " << entries << "; ";
  if (t.m_pRoot->nKeyCount == 0 && t.Child(t.m_pRoot, 0)->nKind != BPLUSTREE_NODE_LEAF) {
    w.problems << "keyless root above an inner node; ";
  }
  // Chain.
  std::uint32_t keys = 0;
  for (std::size_t i = 0; i < w.leaves.size(); ++i) {
    SBPlusTreeLeaf* leaf = w.leaves[i];
    keys += static_cast<std::uint32_t>(leaf->nKeyCount);
    if (leaf->pPrev != (i ? w.leaves[i - 1] : nullptr)) w.problems << "leaf " << i << " prev link; ";
    if (leaf->pNext != (i + 1 < w.leaves.size() ? w.leaves[i + 1] : nullptr)) w.problems << "leaf " << i << " next; ";
    if (i > 0 && leaf->nKeyCount > 0 && w.leaves[i - 1]->nKeyCount > 0 &&
        t.m_pfnKeyCompare(t.pLeafKey(w.leaves[i - 1], w.leaves[i - 1]->nKeyCount - 1), t.pLeafKey(leaf, 0),
                          t.m_nKeyLength) >= 0) {
      w.problems << "leaf " << i << " not above its predecessor; ";
    }
  }
  if (keys != t.m_nKeyCount) w.problems << "key count " << t.m_nKeyCount << ", leaves hold " << keys << "; ";
  // Pools hold exactly the nodes and lists.
  if (t.m_InnerPool->nGetItemsInUse() != w.innerNodes) w.problems << "inner pool items; ";
  if (t.m_LeafPool->nGetItemsInUse() != w.leaves.size()) w.problems << "leaf pool items; ";
  for (int c = 0; c < 7; ++c) {
    if (t.m_apDuplicatePools[c] && t.m_apDuplicatePools[c]->nGetItemsInUse() != w.lists[c]) {
      w.problems << "list pool " << c << " items " << t.m_apDuplicatePools[c]->nGetItemsInUse() << " for " << w.lists[c]
                 << " lists; ";
    }
  }
  // Cursor: on a live leaf, normalised, its duplicate position inside the list.
  const CBPlusTreeCursor& c = t.m_Cursor;
  if (c.pTree != &t) w.problems << "cursor of another tree; ";
  if (nested) return w.problems.str();
  if (!c.pLeaf) {
    w.problems << "no cursor position in a non-empty tree; ";
  } else if (!w.leafSet.count(c.pLeaf)) {
    w.problems << "cursor on a dead leaf; ";
  } else if (c.nSlot < 0 || c.nSlot > c.pLeaf->nKeyCount) {
    w.problems << "cursor slot " << c.nSlot << " of " << c.pLeaf->nKeyCount << "; ";
  } else if (c.nSlot == c.pLeaf->nKeyCount) {
    if (c.pLeaf->pNext) w.problems << "cursor past a leaf that has a next one; ";
  } else if (t.bIsList(c.pLeaf, c.nSlot)) {
    CDuplicateList* list = t.pList(c.pLeaf, c.nSlot);
    if (list->bIsNested()) {
      CBPlusTree* nested = list->pGetNested();
      const CBPlusTreeCursor inside = t.NestedCursor(c, nested);
      if (!inside.pLeaf || inside.nSlot < 0 || inside.nSlot >= inside.pLeaf->nKeyCount) {
        w.problems << "cursor outside its nested list; ";
      }
    } else if (c.nDupIndex >= static_cast<std::uint32_t>(list->nGetCount())) {
      w.problems << "cursor index " << c.nDupIndex << " past a list of " << list->nGetCount() << "; ";
    }
  } else if (c.nDupIndex != 0 || c.pDupLeaf) {
    w.problems << "duplicate position on a single value; ";
  }
  return w.problems.str();
}

std::uint32_t CBPlusTreeProbe::CheckNode(SWalk& w, SBPlusTreeNode* node, int depth, const unsigned char* low,
                                         const unsigned char* high, const unsigned char** smallest, bool isRoot) {
  const CBPlusTree& t = w.tree;
  const std::size_t kl = t.m_nKeyLength;
  auto inRange = [&](const unsigned char* key) {
    return (!low || t.m_pfnKeyCompare(key, low, kl) >= 0) && (!high || t.m_pfnKeyCompare(key, high, kl) < 0);
  };
  if (node->nKind == BPLUSTREE_NODE_LEAF) {
    auto* leaf = reinterpret_cast<SBPlusTreeLeaf*>(node);
    w.leaves.push_back(leaf);
    w.leafSet.insert(leaf);
    if (w.leafDepth < 0) w.leafDepth = depth;
    if (depth != w.leafDepth) w.problems << "leaves at depths " << w.leafDepth << " and " << depth << "; ";
    const bool alone = t.m_pRoot->nKeyCount == 0;
    if (leaf->nKeyCount > t.m_nOrder || leaf->nKeyCount < (alone ? 1 : t.m_nHalfOrder)) {
      w.problems << "leaf with " << leaf->nKeyCount << " keys; ";
    }
    std::uint32_t entries = 0;
    for (int i = 0; i < leaf->nKeyCount; ++i) {
      const unsigned char* key = t.pLeafKey(leaf, i);
      if (!inRange(key)) w.problems << "leaf key " << Hex(key, kl) << " outside its separators; ";
      if (i > 0 && t.m_pfnKeyCompare(t.pLeafKey(leaf, i - 1), key, kl) >= 0) w.problems << "leaf keys unordered; ";
      if (t.bIsList(leaf, i)) {
        CDuplicateList* list = t.pList(leaf, i);
        const int cls = list->nGetClass();
        ++w.lists[cls];
        const std::int32_t count = list->nGetCount();
        if (count < 2) w.problems << "list of " << count << " values; ";
        if (list->bIsNested()) {
          const std::string inner = CheckTree(*list->pGetNested(), true);
          if (!inner.empty()) w.problems << "nested: " << inner;
        } else {
          if (count > gtabDuplicateListClasses[cls].nCapacity) w.problems << "list over capacity; ";
          for (int v = 1; v < count; ++v) {
            if (std::memcmp(list->pValues() + (v - 1) * t.m_nDataLength, list->pValues() + v * t.m_nDataLength,
                            t.m_nDataLength) >= 0) {
              w.problems << "list values unordered; ";
            }
          }
        }
        entries += static_cast<std::uint32_t>(count);
      } else {
        ++entries;
      }
    }
    if (entries != leaf->nEntryCount)
      w.problems << "leaf entry count " << leaf->nEntryCount << " for " << entries << "; ";
    *smallest = leaf->nKeyCount ? t.pLeafKey(leaf, 0) : nullptr;
    return entries;
  }
  auto* inner = reinterpret_cast<SBPlusTreeInner*>(node);
  ++w.innerNodes;
  if (!isRoot && inner->nKind != BPLUSTREE_NODE_INNER) w.problems << "inner kind " << inner->nKind << "; ";
  const int k = inner->nKeyCount;
  if (k > t.m_nOrder || k < 0 || (!isRoot && k < 1)) w.problems << "inner node with " << k << " keys; ";
  std::uint32_t entries = 0;
  for (int i = 0; i <= k; ++i) {
    const unsigned char* childLow = i == 0 ? low : t.pInnerKey(inner, i - 1);
    const unsigned char* childHigh = i == k ? high : t.pInnerKey(inner, i);
    if (i > 0 && !inRange(t.pInnerKey(inner, i - 1))) w.problems << "separator outside its range; ";
    const unsigned char* childSmallest = nullptr;
    SBPlusTreeNode* child = t.Child(inner, i);
    const std::uint32_t e = CheckNode(w, child, depth + 1, childLow, childHigh, &childSmallest, false);
    if (e != CBPlusTree::nEntries(child)) w.problems << "child entry count; ";
    entries += e;
    if (i == 0) *smallest = childSmallest;
    if (i > 0 && (!childSmallest || t.m_pfnKeyCompare(childSmallest, t.pInnerKey(inner, i - 1), kl) != 0)) {
      w.problems << "separator " << Hex(t.pInnerKey(inner, i - 1), kl) << " is not the smallest key to its right ("
                 << (childSmallest ? Hex(childSmallest, kl) : "none") << "); ";
    }
  }
  if (entries != inner->nEntryCount)
    w.problems << "inner entry count " << inner->nEntryCount << " for " << entries << "; ";
  return entries;
}

std::vector<std::pair<std::string, std::string>> CBPlusTreeProbe::Entries(const CBPlusTree& t) {
  std::vector<std::pair<std::string, std::string>> out;
  if (!t.m_pRoot) return out;
  for (SBPlusTreeLeaf* leaf = t.pFirstLeaf(); leaf; leaf = leaf->pNext) {
    for (int i = 0; i < leaf->nKeyCount; ++i) {
      const std::string key(reinterpret_cast<const char*>(t.pLeafKey(leaf, i)), t.m_nKeyLength);
      if (t.m_nDataLength == 0) {
        out.emplace_back(key, std::string());
      } else if (!t.bIsList(leaf, i)) {
        out.emplace_back(key, std::string(reinterpret_cast<const char*>(t.pLeafData(leaf, i)), t.m_nDataLength));
      } else {
        CDuplicateList* list = t.pList(leaf, i);
        if (list->bIsNested()) {
          for (const auto& value : Entries(*list->pGetNested())) out.emplace_back(key, value.first);
        } else {
          for (int v = 0; v < list->nGetCount(); ++v) {
            out.emplace_back(key, std::string(reinterpret_cast<const char*>(list->pValues()) + v * t.m_nDataLength,
                                              t.m_nDataLength));
          }
        }
      }
    }
  }
  return out;
}

int CBPlusTreeProbe::ListClass(const CBPlusTree& t, const void* key) {
  if (!t.m_pRoot) return -2;
  bool found;
  int pos;
  SBPlusTreeLeaf* leaf = t.pLocateKey(key, &pos, &found);
  if (!found) return -2;
  return t.bIsList(leaf, pos) ? t.pList(leaf, pos)->nGetClass() : -1;
}

std::uint32_t CBPlusTreeProbe::LeafCount(const CBPlusTree& t) {
  return t.m_LeafPool ? t.m_LeafPool->nGetItemsInUse() : 0;
}

int CBPlusTreeProbe::Height(const CBPlusTree& t) {
  if (!t.m_pRoot) return 0;
  int height = 1;
  for (SBPlusTreeNode* node = reinterpret_cast<SBPlusTreeNode*>(t.m_pRoot); node->nKind != BPLUSTREE_NODE_LEAF;
       node = t.Child(reinterpret_cast<SBPlusTreeInner*>(node), 0)) {
    ++height;
  }
  return height;
}
