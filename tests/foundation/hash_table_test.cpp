// The hash table across its prime resizes, removal during iteration, shadowed keys, and deep copies through a
// clone map.
#include "foundation/hash_table.h"

#include <gtest/gtest.h>

#include <map>
#include <new>
#include <random>

#include "foundation/clone_map.h"

namespace {

// Every key in one bucket: the chains are as long as they can be.
std::uint32_t CollidingHash(std::uint64_t) { return 5; }

TEST(HashTableTest, PrimeResizes) {
  CHashTable table(7);
  EXPECT_EQ(table.nGetCapacity(), 7u);
  EXPECT_EQ(table.nGetBucketCount(), 17u);
  for (std::uint64_t k = 1; k <= 7; ++k) ASSERT_TRUE(table.bInsert(k, k * 10));
  EXPECT_EQ(table.nGetCapacity(), 7u);
  ASSERT_TRUE(table.bInsert(8, 80));
  EXPECT_EQ(table.nGetCapacity(), 26u);
  EXPECT_EQ(table.nGetBucketCount(), 53u);
  const std::pair<std::uint32_t, std::uint32_t> steps[] = {{48, 97}, {96, 193}, {194, 389}};
  std::uint64_t k = 9;
  for (const auto& [capacity, buckets] : steps) {
    while (table.nGetCount() < table.nGetCapacity()) table.bInsert(k, k * 10), ++k;
    table.bInsert(k, k * 10), ++k;
    EXPECT_EQ(table.nGetCapacity(), capacity);
    EXPECT_EQ(table.nGetBucketCount(), buckets);
  }
  for (std::uint64_t key = 1; key < k; ++key) {
    std::uint64_t value = 0;
    ASSERT_TRUE(table.bLookup(key, &value, nullptr)) << key;
    EXPECT_EQ(value, key * 10);
  }
  EXPECT_EQ(CHashTable(100).nGetBucketCount(), 193u);
  // A capacity chosen at construction that equals half the next prime still grows.
  CHashTable odd(26);
  for (std::uint64_t key = 0; key < 27; ++key) ASSERT_TRUE(odd.bInsert(key, key));
  EXPECT_GT(odd.nGetCapacity(), 26u);
}

TEST(HashTableTest, ShrinksAndCompactsAgainstAModel) {
  for (PFN_HASH hash : {static_cast<PFN_HASH>(nullptr), &CollidingHash}) {
    CHashTable table(7);
    table.SetHashFunction(hash);
    std::map<std::uint64_t, std::uint64_t> model;
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
      const std::uint64_t key = random() % 600;
      if (random() % 3 != 0 && !model.count(key)) {
        ASSERT_TRUE(table.bInsert(key, key + 1));
        model[key] = key + 1;
      } else {
        std::uint64_t value = 0;
        EXPECT_EQ(table.bRemove(key, &value, nullptr), model.erase(key) ? 1 : 0);
      }
      if (round == 2000) {
        // Drain most of it: the table shrinks step by step and keeps every remaining entry reachable.
        for (auto it = model.begin(); it != model.end() && model.size() > 3;) {
          ASSERT_TRUE(table.bRemove(it->first, nullptr, nullptr));
          it = model.erase(it);
        }
        EXPECT_LT(table.nGetCapacity(), 48u);
      }
      ASSERT_EQ(table.nGetCount(), model.size());
    }
    for (const auto& [key, value] : model) {
      std::uint64_t* stored = table.pFindValue(key);
      ASSERT_NE(stored, nullptr);
      EXPECT_EQ(*stored, value);
    }
  }
}

TEST(HashTableTest, IterationAndShadowedKeys) {
  CHashTable table(7);
  for (std::uint64_t k = 0; k < 100; ++k) table.bInsert(k, k);
  const std::uint32_t capacity = table.nGetCapacity();
  std::uint32_t position = 0;
  std::uint64_t key = 0;
  int seen = 0;
  while (table.bIterate(position, 1, nullptr, &key)) ++seen;
  EXPECT_EQ(seen, 100);
  EXPECT_EQ(table.nGetCount(), 0u);
  EXPECT_EQ(table.nGetCapacity(), capacity);  // removing while iterating never shrinks

  // An iteration left early holds shrinking off until it is ended.
  for (std::uint64_t k = 0; k < 100; ++k) table.bInsert(k, k);
  position = 0;
  ASSERT_TRUE(table.bIterate(position, 0, nullptr, nullptr));
  for (std::uint64_t k = 0; k < 99; ++k) table.bRemove(k, nullptr, nullptr);
  EXPECT_EQ(table.nGetCapacity(), capacity);
  table.EndIteration();
  table.bRemove(99, nullptr, nullptr);
  EXPECT_LT(table.nGetCapacity(), capacity);

  table.bInsert(42, 1);
  table.bInsert(42, 2);
  std::uint64_t value = 0;
  table.bLookup(42, &value, nullptr);
  EXPECT_EQ(value, 2u);
  table.bRemove(42, nullptr, nullptr);
  table.bLookup(42, &value, nullptr);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(table.bLookup(43, nullptr, nullptr), 0);

  // The newer entry of a key lies below the older one: it stays first through the growth.
  CHashTable shadow(7);
  for (std::uint64_t k = 0; k < 6; ++k) shadow.bInsert(k, k);
  shadow.bInsert(42, 1), shadow.bRemove(0, nullptr, nullptr), shadow.bInsert(42, 2), shadow.bInsert(7, 7);
  EXPECT_GT(shadow.nGetCapacity(), 7u);
  EXPECT_EQ(*shadow.pFindValue(42), 2u);
}

TEST(HashTableTest, ResetAndEntryAccess) {
  CHashTable table(7);
  table.Reset(50);
  EXPECT_EQ(table.nGetCapacity(), 7u);  // an empty table keeps its size
  table.bInsert(1, 10);
  table.Reset(0);
  EXPECT_EQ(table.nGetCount(), 0u);
  EXPECT_EQ(table.nGetCapacity(), 7u);
  table.bInsert(3, 30);
  std::uint64_t old = 0;
  std::uint32_t position = 0;
  ASSERT_TRUE(table.bIterate(position, 0, nullptr, nullptr));
  table.EndIteration();
  EXPECT_EQ(table.nSetValueAt(position, 31, &old), 1);
  EXPECT_EQ(old, 30u);
  EXPECT_EQ(*table.pFindValue(3), 31u);
  EXPECT_EQ(table.nSetValueAt(0, 1, nullptr), 0);
  EXPECT_EQ(table.nSetKeyAt(8, 1, nullptr), 0);
}

// A counted node with children that may be shared, copied through a clone map.
class CNode : public CRefCounted {
 public:
  ~CNode() override {
    for (CNode* child : m_children) {
      if (child) child->nRelease();
    }
    ++gnDestroyed;
  }

  int bCopyFrom(const CNode& source, CHashTable& map) {
    if (!bRegisterClone(map, &source, this)) return 0;
    m_value = source.m_value;
    for (int i = 0; i < 2; ++i) m_children[i] = pCloneChild(map, source.m_children[i]);
    return 1;
  }

  CNode* pClone(CHashTable& map) const {
    auto* copy = new (std::nothrow) CNode();
    if (copy && !copy->bCopyFrom(*this, map)) {
      delete copy;
      return nullptr;
    }
    ++gnCloned;
    return copy;
  }

  int m_value = 0;
  CNode* m_children[2] = {};
  static inline int gnCloned = 0;
  static inline int gnDestroyed = 0;
};

TEST(CloneMapTest, SharedChildrenAreCopiedOnce) {
  auto* shared = new CNode();
  shared->m_value = 7;
  auto* root = new CNode();
  for (CNode*& child : root->m_children) {
    child = shared;
    AddRefObject(shared);
  }
  AddRefObject(root);
  CNode::gnCloned = CNode::gnDestroyed = 0;

  CHashTable map(7);
  CNode* copy = pCloneChild(map, root);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(CNode::gnCloned, 2);  // the root and its one shared child
  EXPECT_NE(copy->m_children[0], shared);
  EXPECT_EQ(copy->m_children[0], copy->m_children[1]);
  EXPECT_EQ(copy->m_children[0]->m_value, 7);
  EXPECT_EQ(copy->m_children[0]->nGetRefCount(), 2u);
  EXPECT_EQ(map.nGetCount(), 2u);

  copy->nRelease();
  root->nRelease();
  EXPECT_EQ(CNode::gnDestroyed, 4);
}

// A clone whose copy fails or throws goes again: null for a failure, the exception passed on unchanged.
TEST(CloneMapTest, AFailedOrThrowingCopyTakesItsCloneWithIt) {
  CNode::gnDestroyed = 0;
  EXPECT_EQ(pCloneUnreferenced(new CNode(), nullptr, [](CNode*) { return 0; }), nullptr);
  EXPECT_EQ(CNode::gnDestroyed, 1);
  EXPECT_THROW(pCloneUnreferenced(new CNode(), nullptr, [](CNode*) -> int { throw 42; }), int);
  EXPECT_EQ(CNode::gnDestroyed, 2);
}

}  // namespace
