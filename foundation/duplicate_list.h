// The data values of one key of a B+tree when the key has more than one: a sorted array in six growing size classes
// (2 to 64 values), then a nested keys-only CBPlusTree. A list is an item of the owning tree's pool for its class;
// the tree owns it, and an operation that moves the values to another class hands back the new list, leaving the
// old one for the tree to free. The operations keep the tree's cursor on its value when the cursor stands on the
// list's key.
#pragma once

#include <cstddef>
#include <cstdint>

// The tree includes this header, so that its inline cursor steps read a list's count in place.
class CBPlusTree;
struct CBPlusTreeCursor;

struct SDuplicateListClass {
  std::int32_t nShrinkThreshold;  // a removal from a list of at most this many values moves it one class down
  std::int32_t nCapacity;         // 0 for the nested tree
};
extern const SDuplicateListClass gtabDuplicateListClasses[7];

enum : std::uint16_t { DUPLICATE_LIST_NESTED = 0xFFFF };  // the count of a list kept in a nested tree
enum : std::int32_t {
  DUPLICATE_LIST_CLASSES = 7,
  DUPLICATE_LIST_NESTED_CLASS = 6,
  DUPLICATE_LIST_NESTED_BELOW = 56,  // a nested list under this many values goes back to an array
};

class CDuplicateList {
 public:
  // Bytes of an item of the class for values of the given length.
  static std::uint64_t nItemSize(std::int32_t nClass, std::uint64_t nDataLength);

  // A list of class 0 holding two different values.
  static CDuplicateList* pCreatePair(CBPlusTree* pTree, const void* pFirst, const void* pSecond);
  // The same list or its replacement; null when the value is present, or absent for pRemove (the list unchanged).
  static CDuplicateList* pInsert(CDuplicateList* pList, CBPlusTree* pTree, const void* pValue, bool bCursorOnKey);
  static CDuplicateList* pRemove(CDuplicateList* pList, CBPlusTree* pTree, const void* pValue, bool bCursorOnKey);
  static void Free(CDuplicateList* pList, CBPlusTree* pTree);

  std::int32_t nGetCount() const;
  // The count of a list kept as an array (not nested).
  std::uint32_t nGetArrayCount() const { return m_nCount; }
  bool bIsNested() const { return m_nClass == DUPLICATE_LIST_NESTED_CLASS; }
  std::int32_t nGetClass() const { return m_nClass; }
  CBPlusTree* pGetNested() {
    return reinterpret_cast<CBPlusTree*>(reinterpret_cast<unsigned char*>(this) + NESTED_OFFSET);
  }
  unsigned char* pValues() { return reinterpret_cast<unsigned char*>(this) + sizeof(CDuplicateList); }
  // The value at a duplicate position (index, or nested leaf and slot); null past the list.
  void* pValueAt(const CBPlusTree* pTree, const CBPlusTreeCursor& c);
  // Where a value stands or would stand: the index, or the nested leaf and slot (the nested end position when it
  // would come after every value). 1 when it is there.
  int bLocate(const CBPlusTree* pTree, const void* pValue, CBPlusTreeCursor& c);

 private:
  static CDuplicateList* pCreate(CBPlusTree* pTree, std::int32_t nClass);
  static CDuplicateList* pPromote(CDuplicateList* pList, CBPlusTree* pTree, const void* pValue, bool bCursorOnKey);
  int nSearch(const CBPlusTree* pTree, const void* pValue, bool* pFound);
  // The outer cursor on the nested cursor's place.
  static void FollowNestedCursor(CBPlusTreeCursor& cursor, const CBPlusTree* pNested);
  // A change of the nested tree (insert or delete) with the outer cursor kept on its value; its result.
  template <typename Change>
  static bool bOnNested(CBPlusTree* pTree, CBPlusTree* pNested, bool bCursorOnKey, Change change);

  // The nested tree sits on an 8-byte boundary after the count and the class.
  static constexpr std::size_t NESTED_OFFSET = 8;

  std::uint16_t m_nCount;
  std::uint16_t m_nClass;
};
