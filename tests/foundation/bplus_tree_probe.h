// A look inside CBPlusTree for the tests: the tree's invariants, its entries in order read straight from the leaves,
// and the classes of its duplicate lists.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "foundation/bplus_tree.h"

struct CBPlusTreeProbe {
  // Empty when every invariant holds, else what broke.
  static std::string Check(const CBPlusTree& tree);
  // (key, value) pairs in tree order; the value is empty in a keys-only tree.
  static std::vector<std::pair<std::string, std::string>> Entries(const CBPlusTree& tree);
  // Class of the duplicate list of a key (-1 for a single value, -2 for an absent key).
  static int ListClass(const CBPlusTree& tree, const void* key);
  static std::uint32_t LeafCount(const CBPlusTree& tree);
  static int Height(const CBPlusTree& tree);

 private:
  static std::string CheckTree(const CBPlusTree& tree, bool nested);
  struct SWalk;
  static std::uint32_t CheckNode(SWalk& w, SBPlusTreeNode* node, int depth, const unsigned char* low,
                                 const unsigned char* high, const unsigned char** smallest, bool isRoot);
};
