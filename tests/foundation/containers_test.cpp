// Arrays, counted objects, string lists and flag lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/dynamic_array.h"
#include "foundation/flag_list.h"
#include "foundation/ref_counted.h"
#include "foundation/string_list.h"
#include "tests/support/bound_runtime_services.h"

namespace {

std::vector<std::u16string> Texts(const CStringList& list) {
  std::vector<std::u16string> texts;
  for (std::uint32_t i = 0; i < list.nGetCount(); ++i) texts.emplace_back(list.pGetAt(i)->pszGet());
  return texts;
}

TEST(DynamicArrayTest, GrowthSteps) {
  CDynamicArray small(8, 1);
  std::vector<std::uint32_t> capacities;
  for (std::uint64_t v = 0; v < 150; ++v) {
    const std::uint32_t before = small.nGetCapacity();
    ASSERT_EQ(small.Add(&v), 1);
    if (small.nGetCapacity() != before) capacities.push_back(small.nGetCapacity());
  }
  EXPECT_EQ(capacities[100], 101u);
  EXPECT_EQ(capacities[101], 121u);
  EXPECT_EQ(capacities[102], 141u);
  EXPECT_EQ(*static_cast<std::uint64_t*>(small.pGetAt(149)), 149u);

  CDynamicArray large(300, 1);
  std::vector<char> element(300, 'x');
  for (int i = 0; i < 110; ++i) large.Add(element.data());
  EXPECT_EQ(large.nGetCapacity(), 110u);
}

TEST(DynamicArrayTest, InsertRemoveSetAll) {
  CDynamicArray array(4, 2);
  for (std::uint32_t v : {1u, 2u, 4u}) array.Add(&v);
  const std::uint32_t three = 3;
  ASSERT_EQ(array.InsertAt(&three, 2), 1);
  EXPECT_EQ(array.InsertAt(&three, 9), 0);
  const auto at = [&](std::uint32_t i) { return *static_cast<std::uint32_t*>(array.pGetAt(i)); };
  EXPECT_EQ(at(2), 3u);
  EXPECT_EQ(at(3), 4u);
  array.RemoveAt(3);  // the last: only the count falls
  EXPECT_EQ(array.nGetCount(), 3u);
  array.RemoveAt(0);
  EXPECT_EQ(at(0), 2u);
  array.ShrinkToFit();
  EXPECT_EQ(array.nGetCapacity(), 2u);
  const std::uint32_t seven = 7;
  ASSERT_EQ(array.SetAll(&seven, 3), 1);
  EXPECT_EQ(array.nGetCount(), 3u);
  EXPECT_EQ(at(0) + at(1) + at(2), 21u);
  array.Clear();
  array.ShrinkToFit();
  EXPECT_EQ(array.nGetCapacity(), 0u);
}

TEST(DynamicArrayTest, AnElementOfTheArrayItselfIsInsertedWhole) {
  // Growing frees the old memory and the shift moves the tail: the element must be read before either.
  CDynamicArray array(8, 1);
  for (std::uint64_t v : {10ull, 20ull}) array.Add(&v);
  ASSERT_EQ(array.nGetCount(), array.nGetCapacity()) << "the next insert grows the array";
  ASSERT_EQ(array.InsertAt(array.pGetAt(1), 0), 1);
  ASSERT_EQ(array.Add(array.pGetAt(0)), 1);
  const auto at = [&](std::uint32_t i) { return *static_cast<std::uint64_t*>(array.pGetAt(i)); };
  EXPECT_EQ(at(0), 20u);
  EXPECT_EQ(at(1), 10u);
  EXPECT_EQ(at(2), 20u);
  EXPECT_EQ(at(3), 20u);
}

class CProbe : public CRefCounted {
 public:
  explicit CProbe(int* destroyed) : m_pDestroyed(destroyed) {}
  ~CProbe() override { ++*m_pDestroyed; }

 private:
  int* m_pDestroyed;
};

TEST(RefCountedTest, ReleaseRules) {
  int destroyed = 0;
  auto* probe = new CProbe(&destroyed);
  AddRefObject(probe);
  AddRefObject(probe);
  AddRefObject(nullptr);
  EXPECT_EQ(probe->nRelease(), 1u);
  EXPECT_EQ(probe->nRelease(), 0u);
  EXPECT_EQ(destroyed, 1);

  CProbe fixed(&destroyed);
  fixed.m_bStatic = 1;
  AddRefObject(&fixed);
  ReleaseArrayElement(nullptr, &fixed);  // a static object is never destroyed by a release
  EXPECT_EQ(fixed.nGetRefCount(), 0u);
  ReleaseArrayElement(nullptr, &fixed);  // a count of 0 is left alone
  EXPECT_EQ(fixed.nGetRefCount(), 0u);
  EXPECT_EQ(destroyed, 1);

  CRefCounted* kept = nullptr;
  {
    CRefPtrArray array;
    for (int i = 0; i < 3; ++i) {
      auto* element = new CProbe(&destroyed);
      AddRefObject(element);
      array.Add(element);
    }
    kept = array.pGetObject(1);
    AddRefObject(kept);  // kept alive by a second holder
  }
  EXPECT_EQ(destroyed, 3);
  EXPECT_EQ(kept->nRelease(), 0u);
  EXPECT_EQ(destroyed, 4);
}

TEST(StringListTest, AddFindRemove) {
  CBoundRuntimeServices services;
  CStringList list;
  ASSERT_TRUE(list.nAdd(u"alpha"));
  list.nAddN(u"betamax", 4);
  list.InsertAt(u"zero", 0);
  list.nAdd(nullptr);
  EXPECT_EQ(Texts(list), (std::vector<std::u16string>{u"zero", u"alpha", u"beta", u""}));
  EXPECT_EQ(list.nFind(u"ALPHA", 1, 0), STRING_LIST_NOT_FOUND);
  EXPECT_EQ(list.nFind(u"ALPHA", 0, 0), 1u);
  EXPECT_EQ(list.nFind(nullptr, 1, 0), 3u);
  EXPECT_EQ(list.nFind(u"zero", 1, list.nGetCount()), STRING_LIST_NOT_FOUND);
  list.SetAt(u"ALPHA", 1);  // the replaced string is freed (the sanitizer build checks)
  EXPECT_EQ(*list.pGetAt(1)->pszGet(), u'A');
  EXPECT_EQ(list.SetAt(u"x", 9), 0);
  list.RemoveAt(0);
  EXPECT_EQ(list.nGetCount(), 3u);
  CTString owned(u"taken");
  list.AddOwned(owned);
  EXPECT_TRUE(owned.bIsEmpty());
  EXPECT_EQ(std::u16string(list.pGetAt(3)->pszGet()), u"taken");
  CStringList copy;
  copy.AddAll(list);
  copy.AddRepeated(u"r", 2);
  EXPECT_EQ(copy.nGetCount(), 6u);
  list.RemoveAll();
  EXPECT_EQ(list.nGetCount(), 0u);
}

TEST(StringListTest, SplitJoinSort) {
  CStringList list;
  list.SplitText(u"b;a;;C", u";");
  EXPECT_EQ(Texts(list), (std::vector<std::u16string>{u"b", u"a", u"", u"C"}));
  CTString joined(u"unchanged");
  CStringList().bJoin(joined, u",");
  EXPECT_EQ(std::u16string(joined.pszGet()), u"unchanged");
  ASSERT_EQ(list.bJoin(joined, u", "), 1);
  EXPECT_EQ(std::u16string(joined.pszGet()), u"b, a, , C");
  list.Sort();
  EXPECT_EQ(Texts(list), (std::vector<std::u16string>{u"", u"C", u"a", u"b"}));
  list.SortNoCase();
  EXPECT_EQ(Texts(list), (std::vector<std::u16string>{u"", u"a", u"b", u"C"}));
  list.SortDescending();
  EXPECT_EQ(Texts(list), (std::vector<std::u16string>{u"b", u"a", u"C", u""}));

  CStringList one;
  one.nAdd(u"only");
  one.bJoin(joined, u";");
  EXPECT_EQ(std::u16string(joined.pszGet()), u"only");
  list.Split(CTString(), u";");
  EXPECT_EQ(list.nGetCount(), 0u);
  list.SplitText(u"a.b", nullptr);
  EXPECT_EQ(Texts(list), (std::vector<std::u16string>{u"a.b"}));
}

TEST(StringListTest, AListFedItsOwnStrings) {
  CStringList list;
  list.SplitText(u"a,b;c,d", u";");
  list.AddAll(list);  // ends, with each string once more
  EXPECT_EQ(Texts(list), (std::vector<std::u16string>{u"a,b", u"c,d", u"a,b", u"c,d"}));
  list.Split(*list.pGetAt(1), u",");  // the string split is one the split frees
  EXPECT_EQ(Texts(list), (std::vector<std::u16string>{u"c", u"d"}));
  list.nAdd(u"x");
  list.nAdd(u"1x2x3");
  list.Split(*list.pGetAt(3), list.pGetAt(2)->pszGet());  // the separator too
  EXPECT_EQ(Texts(list), (std::vector<std::u16string>{u"1", u"2", u"3"}));
}

TEST(DynamicArrayTest, SetAllFromAnElementOfItsOwn) {
  CDynamicArray array(8, 4);
  for (std::uint64_t v : {5ull, 6ull, 7ull}) array.Add(&v);
  ASSERT_EQ(array.SetAll(array.pGetAt(1), 9), 1);
  ASSERT_EQ(array.nGetCount(), 9u);
  for (std::uint32_t i = 0; i < 9; ++i) EXPECT_EQ(*static_cast<std::uint64_t*>(array.pGetAt(i)), 6u) << i;
  ASSERT_EQ(array.SetFromBuffer(array.pGetAt(8), 2), 1);
  EXPECT_EQ(array.nGetCount(), 2u);
  EXPECT_EQ(*static_cast<std::uint64_t*>(array.pGetAt(1)), 6u);
}

// Flag-list items are opaque column pointers; captions come through the engine's hook.
struct SFakeColumn {
  const char16_t* caption;
};
const CColumn* Column(const SFakeColumn& column) { return reinterpret_cast<const CColumn*>(&column); }
const char16_t* FakeCaption(const CColumn* item) { return reinterpret_cast<const SFakeColumn*>(item)->caption; }

TEST(FlagListTest, CombineAndMerge) {
  const SFakeColumn a{u"Name"}, b{u"Town"}, c{u"Zip"};
  CFlagList list;
  EXPECT_EQ(list.nGetFlag(Column(a)), 1u);
  list.bCombineItem(1, Column(a), 0);  // OR with 0 on an absent item: stays absent
  EXPECT_EQ(list.nFindItem(Column(a)), FLAG_LIST_NOT_FOUND);
  list.bCombineItem(FLAG_COMBINE_AND, Column(a), 0);
  EXPECT_EQ(list.nGetFlag(Column(a)), 0u);
  list.bSetFlag(Column(b), 1);
  list.bSetFlag(nullptr, 0);
  EXPECT_EQ(list.nGetCount(), 2u);

  CFlagList other;
  other.bSetFlag(Column(a), 1);
  other.bSetFlag(Column(b), 0);
  other.bSetFlag(Column(c), 0);
  CFlagList orList;
  orList.bAddAll(&list, 0);
  orList.bCombine(1, &other);
  EXPECT_EQ(orList.nGetFlag(Column(a)), 1u);
  EXPECT_EQ(orList.nGetFlag(Column(b)), 1u);
  EXPECT_EQ(orList.nFindItem(Column(c)), FLAG_LIST_NOT_FOUND);
  CFlagList andList;
  andList.bMerge(FLAG_COMBINE_AND, &list, &other);
  EXPECT_EQ(andList.nGetFlag(Column(a)), 0u);
  EXPECT_EQ(andList.nGetFlag(Column(b)), 0u);
  EXPECT_EQ(andList.nGetFlag(Column(c)), 0u);
  CFlagList doubled;
  doubled.bAddAll(&other, 0);
  ASSERT_EQ(doubled.bAddAll(&doubled, 0), 1) << "a list added to itself ends";
  EXPECT_EQ(doubled.nGetCount(), 6u);
  CFlagList inverted;
  inverted.bAddAll(&other, 1);
  EXPECT_EQ(inverted.nGetFlag(Column(a)), 0u);
  EXPECT_EQ(inverted.nGetFlag(Column(c)), 1u);
  CFlagList untouched;
  untouched.bMerge(1, &list, nullptr);
  EXPECT_EQ(untouched.nGetCount(), 0u);
  orList.bCombine(1, nullptr);
  EXPECT_EQ(orList.nGetCount(), 0u);

  EXPECT_EQ(list.nFindByName(u"town"), FLAG_LIST_NOT_FOUND);  // no caption source yet
  gpfnFlagItemCaption = FakeCaption;
  EXPECT_EQ(list.nFindByName(u"town"), 1u);
  EXPECT_EQ(list.nGetFlagByName(u"NAME"), 0u);
  EXPECT_EQ(list.nGetFlagByName(u"absent"), 1u);
  gpfnFlagItemCaption = nullptr;
}

}  // namespace
