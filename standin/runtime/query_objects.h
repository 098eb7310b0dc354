// The runtime's analysis of a query, as the driver reads it by slot number: the analysis itself with its walks of
// files, items, links and entries, its index descriptors, expression trees, and the column and alias lookups, which
// a test can make throw (SlotObject::ThrowAt). Tests build an analysis from these parts and own every one of them;
// references the driver takes are only counted.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "standin/runtime/runtime_objects.h"

namespace qzrt {

// A counted part of an analysis: a kind-3 or kind-4 entry, or one of the analysis' two further objects.
class QZRT_API CountedPart : public HeaderSlots {
 public:
  enum : std::size_t { kAddRef = 5, kRelease = 6 };
  CountedPart() = default;
  virtual void AddRef();   // 5
  virtual void Release();  // 6
};

class QZRT_API QueryFile : public CountedPart {
 public:
  enum : std::size_t { kName = 7, kAlias = 8 };
  QueryFile(const std::u16string& name, const std::u16string& alias);
  virtual const char16_t* pszGetName();   // 7
  virtual const char16_t* pszGetAlias();  // 8
};

class QZRT_API KeyLink : public CountedPart {
 public:
  enum : std::size_t { kItemIndex = 7, kDescending = 8 };
  KeyLink(std::uint32_t itemIndex, bool descending);
  virtual std::uint32_t nGetItemIndex();  // 7
  virtual std::int32_t bIsDescending();   // 8
};

// An index descriptor: texts at slots 0, 2, 3, 5 and 6, a number at 1, a 16-byte identifier written by slot 4.
class QZRT_API IndexDescriptor : public SlotObject {
 public:
  IndexDescriptor() = default;
  virtual const char16_t* pszGetName();           // 0
  virtual std::uint32_t nGetNumber();             // 1
  virtual const char16_t* pszGetSecondText();     // 2
  virtual const char16_t* pszGetThirdText();      // 3
  virtual void GetIdentifier(std::uint8_t* out);  // 4
  virtual const char16_t* pszGetFifthText();      // 5
  virtual const char16_t* pszGetSixthText();      // 6

  std::array<std::uint8_t, 16> identifier{};
};

// A node of an expression tree: kind 47 a function call with its code, 48 and 49 leaves.
class QZRT_API ExpressionNode {
 public:
  ExpressionNode(std::uint32_t kind, std::uint32_t functionCode, std::vector<ExpressionNode*> children = {});
  virtual std::uint32_t nGetKind();                         // 0
  virtual std::uint32_t nGetFunctionCode();                 // 1
  virtual std::uint32_t nGetChildCount();                   // 2
  virtual ExpressionNode* piGetChild(std::uint32_t index);  // 3

 private:
  std::uint32_t m_kind;
  std::uint32_t m_functionCode;
  std::vector<ExpressionNode*> m_children;
};

class QZRT_API QueryAnalysis : public CountedPart {
 public:
  enum : std::size_t {
    kKind = 7,
    kSqlText = 8,
    kFiles = 9,
    kItems = 10,
    kDescriptorCount = 11,
    kDescriptor = 12,
    kLinks = 13,
    kKind3Entries = 14,
    kKind4Entries = 15,
    kColumnOfItem = 16,
    kResolveAlias = 17,
    kLookupFile = 18,
    kFindItem = 19,
    kFirstExtra = 20,
    kSecondExtra = 21,
  };

  QueryAnalysis() = default;

  virtual std::uint32_t nGetKind();                                   // 7
  virtual const char16_t* pszGetSqlText();                            // 8
  virtual QueryFile* piWalkFiles(std::int32_t first);                 // 9
  virtual ItemDescription* piWalkItems(std::int32_t first);           // 10
  virtual std::uint32_t nGetDescriptorCount();                        // 11
  virtual IndexDescriptor* piGetDescriptor(std::uint32_t index);      // 12
  virtual KeyLink* piWalkLinks(std::int32_t first);                   // 13
  virtual CountedPart* piWalkKind3Entries(std::int32_t first);        // 14
  virtual CountedPart* piWalkKind4Entries(std::int32_t first);        // 15
  virtual ItemDescription* piGetColumnOfItem(ItemDescription* item);  // 16: the column set for it, else null
  virtual const char16_t* pszResolveAlias(const char16_t* name);      // 17: the target set for it, else null
  virtual void* piLookupFile(QueryFile* file);                        // 18: the answer set for it, else null
  virtual void* piFindItem(const char16_t* name);                     // 19: the first item of that name
  virtual CountedPart* piGetFirstExtra();                             // 20
  virtual CountedPart* piGetSecondExtra();                            // 21

  std::vector<QueryFile*> files;
  std::vector<ItemDescription*> items;
  std::vector<IndexDescriptor*> descriptors;
  std::vector<KeyLink*> links;
  std::vector<CountedPart*> kind3Entries;
  std::vector<CountedPart*> kind4Entries;
  std::map<ItemDescription*, ItemDescription*> columns;
  std::map<std::u16string, std::u16string> aliases;
  std::map<QueryFile*, void*> fileAnswers;
  CountedPart* firstExtra = nullptr;
  CountedPart* secondExtra = nullptr;

 private:
  template <typename T>
  T* Walk(std::size_t slot, const std::vector<T*>& list, std::size_t& cursor, std::int32_t first);

  // Before the first walk, "next" answers null.
  std::size_t m_fileCursor = static_cast<std::size_t>(-1);
  std::size_t m_itemCursor = static_cast<std::size_t>(-1);
  std::size_t m_linkCursor = static_cast<std::size_t>(-1);
  std::size_t m_kind3Cursor = static_cast<std::size_t>(-1);
  std::size_t m_kind4Cursor = static_cast<std::size_t>(-1);
};

}  // namespace qzrt
