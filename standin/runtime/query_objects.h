// The runtime's analysis of a query, as the driver reads it by slot number: the analysis itself with its walks of
// files, items, links and entries, its index descriptors, expression trees, and the column and alias lookups, which
// a test can make throw (SlotObject::ThrowAt). Tests build an analysis from these parts and own every one of them;
// references the driver takes are only counted.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
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

// A table of the statement. Spans (positions in the statement's text, start and one past the end) are 0 until set:
// the table reference's and its alias'.
class QZRT_API QueryFile : public CountedPart {
 public:
  enum : std::size_t { kName = 7, kAlias = 8, kTextStart = 9, kTextEnd = 10, kAliasStart = 11, kAliasEnd = 12 };
  QueryFile(const std::u16string& name, const std::u16string& alias);
  virtual const char16_t* pszGetName();    // 7
  virtual const char16_t* pszGetAlias();   // 8
  virtual std::uint32_t nGetTextStart();   // 9
  virtual std::uint32_t nGetTextEnd();     // 10
  virtual std::uint32_t nGetAliasStart();  // 11
  virtual std::uint32_t nGetAliasEnd();    // 12

  QueryFile& Text(std::uint32_t start, std::uint32_t end);
  QueryFile& AliasText(std::uint32_t start, std::uint32_t end);
};

// A sort item of ORDER BY: the result item it keys on (0xFFFFFFFF for none), its direction and its span (0 and 0
// until set).
class QZRT_API KeyLink : public CountedPart {
 public:
  enum : std::size_t { kItemIndex = 7, kDescending = 8, kTextStart = 9, kTextEnd = 10 };
  KeyLink(std::uint32_t itemIndex, bool descending);
  virtual std::uint32_t nGetItemIndex();  // 7
  virtual std::int32_t bIsDescending();   // 8
  virtual std::uint32_t nGetTextStart();  // 9
  virtual std::uint32_t nGetTextEnd();    // 10

  KeyLink& Text(std::uint32_t start, std::uint32_t end);
};

// An index descriptor (a GROUP BY item): texts at slots 0, 2 (the table text), 3 (the column text), 5 and 6, a number
// at 1, a 16-byte identifier written by slot 4, the item's span at 7 and 8 (0 until set).
class QZRT_API IndexDescriptor : public SlotObject {
 public:
  enum : std::size_t { kTextStart = 7, kTextEnd = 8 };
  IndexDescriptor() = default;
  virtual const char16_t* pszGetName();           // 0
  virtual std::uint32_t nGetNumber();             // 1
  virtual const char16_t* pszGetSecondText();     // 2
  virtual const char16_t* pszGetThirdText();      // 3
  virtual void GetIdentifier(std::uint8_t* out);  // 4
  virtual const char16_t* pszGetFifthText();      // 5
  virtual const char16_t* pszGetSixthText();      // 6
  virtual std::uint32_t nGetTextStart();          // 7
  virtual std::uint32_t nGetTextEnd();            // 8

  IndexDescriptor& Text(std::uint32_t start, std::uint32_t end);

  std::array<std::uint8_t, 16> identifier{};
};

// A node of an expression tree: kind 47 an operation or function call, 48 and 49 leaves; its code is the operator or
// function code, 47 for a column reference, 48 for a constant. Spans are positions in the statement's text (start,
// one past the end; 0 and 0 for none); the constant is the address of a 36-byte runtime value the test owns. A
// column reference's table and column texts answer null until set.
class QZRT_API ExpressionNode {
 public:
  ExpressionNode(std::uint32_t kind, std::uint32_t functionCode, std::vector<ExpressionNode*> children = {});
  virtual std::uint32_t nGetKind();                         // 0
  virtual std::uint32_t nGetFunctionCode();                 // 1
  virtual std::uint32_t nGetChildCount();                   // 2
  virtual ExpressionNode* piGetChild(std::uint32_t index);  // 3
  virtual std::uint32_t nGetTextStart();                    // 4
  virtual std::uint32_t nGetTextEnd();                      // 5
  virtual std::uint32_t nGetNameStart();                    // 6
  virtual std::uint32_t nGetNameEnd();                      // 7
  virtual void* pGetConstant();                             // 8
  virtual std::int32_t bHasOuterJoinMark();                 // 9
  virtual char16_t nGetLikeEscape();                        // 10
  virtual const char16_t* pszGetTableName();                // 11
  virtual const char16_t* pszGetColumnName();               // 12

  // The node's spans; a call's name span too.
  ExpressionNode& Text(std::uint32_t start, std::uint32_t end);
  ExpressionNode& Name(std::uint32_t start, std::uint32_t end);
  // A column reference's texts as written.
  ExpressionNode& Column(std::optional<std::u16string> table, std::optional<std::u16string> column);

  std::uint32_t textStart = 0;
  std::uint32_t textEnd = 0;
  std::uint32_t nameStart = 0;
  std::uint32_t nameEnd = 0;
  void* constant = nullptr;
  bool outerJoinMark = false;
  char16_t likeEscape = 0;
  std::optional<std::u16string> tableName;
  std::optional<std::u16string> columnName;

 private:
  std::uint32_t m_kind;
  std::uint32_t m_functionCode;
  std::vector<ExpressionNode*> m_children;
};

// An entry of an UPDATE's assignments (kind 3) or an INSERT's column and value pairs (kind 4): its column node and
// value expression, and the spans of the statement's lists (0 and 0 until set), which every entry may carry.
class QZRT_API Assignment : public CountedPart {
 public:
  enum : std::size_t {
    kColumn = 7,
    kValue = 8,
    kListStart = 9,
    kListEnd = 10,
    kValueListStart = 11,
    kValueListEnd = 12,
  };
  Assignment(ExpressionNode* column, ExpressionNode* value);
  virtual ExpressionNode* piGetColumn();       // 7
  virtual ExpressionNode* piGetValue();        // 8
  virtual std::uint32_t nGetListStart();       // 9
  virtual std::uint32_t nGetListEnd();         // 10
  virtual std::uint32_t nGetValueListStart();  // 11
  virtual std::uint32_t nGetValueListEnd();    // 12

  Assignment& List(std::uint32_t start, std::uint32_t end);
  Assignment& ValueList(std::uint32_t start, std::uint32_t end);

 private:
  ExpressionNode* m_column;
  ExpressionNode* m_value;
};

// A join of a statement: its condition's span and tree.
class QZRT_API StatementJoin : public CountedPart {
 public:
  enum : std::size_t { kConditionStart = 7, kConditionEnd = 8, kCondition = 9 };
  StatementJoin(std::uint32_t start, std::uint32_t end, ExpressionNode* condition);
  virtual std::uint32_t nGetConditionStart();  // 7
  virtual std::uint32_t nGetConditionEnd();    // 8
  virtual ExpressionNode* piGetCondition();    // 9

 private:
  std::uint32_t m_start;
  std::uint32_t m_end;
  ExpressionNode* m_condition;
};

// A parameter marker, or a column reference with its table and column texts as written.
class QZRT_API StatementMark : public CountedPart {
 public:
  enum : std::size_t { kPosition = 7, kLength = 8, kKind = 9, kTableText = 10, kColumnText = 11 };
  StatementMark(std::uint32_t position, std::uint32_t length, std::uint32_t kind, const std::u16string& table = u"",
                const std::u16string& column = u"");
  virtual std::uint32_t nGetPosition();        // 7
  virtual std::uint32_t nGetLength();          // 8
  virtual std::uint32_t nGetKind();            // 9
  virtual const char16_t* pszGetTableText();   // 10
  virtual const char16_t* pszGetColumnText();  // 11
};

// The parameters a statement declares, found by name with ASCII case ignored; each value is the address of a
// 36-byte runtime value the test owns.
class QZRT_API DeclaredParameters : public CountedPart {
 public:
  enum : std::size_t { kFindValue = 7, kCount = 8, kName = 9 };
  DeclaredParameters() = default;
  virtual void* pFindValue(const char16_t* name);        // 7
  virtual std::uint32_t nGetCount();                     // 8
  virtual const char16_t* pszGetName(std::uint32_t i);  // 9: as declared; null past the last

  void Declare(const std::u16string& name, void* value);

 private:
  std::map<std::u16string, void*> m_values;  // by upper-cased name
  std::vector<std::u16string> m_names;       // as declared, each once
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
    kWhereStart = 22,
    kWhereEnd = 23,
    kHavingStart = 24,
    kHavingEnd = 25,
    kOrderByStart = 26,
    kSelectListEnd = 27,
    kWhereTree = 28,
    kHavingTree = 29,
    kJoins = 30,
    kMarkers = 31,
    kColumnReferences = 32,
    kDeclaredParameters = 33,
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
  // 19: the first item of that name. The runtime hands the same object to a query run, where the driver asks this
  // slot the SQL query object's library question (15, 28, the version's address): the analysis answers it as
  // SqlQuery does, version 23. A name is never at an odd address, so the question cannot be taken for one.
  virtual void* piFindItem(const char16_t* name, std::int32_t library = 0, std::uint32_t* version = nullptr);
  virtual CountedPart* piGetFirstExtra();                             // 20
  virtual CountedPart* piGetSecondExtra();                            // 21
  virtual std::uint32_t nGetWhereStart();                             // 22
  virtual std::uint32_t nGetWhereEnd();                               // 23
  virtual std::uint32_t nGetHavingStart();                            // 24
  virtual std::uint32_t nGetHavingEnd();                              // 25
  virtual std::uint32_t nGetOrderByStart();                           // 26
  virtual std::uint32_t nGetSelectListEnd();                          // 27
  virtual ExpressionNode* piGetWhereTree();                           // 28
  virtual ExpressionNode* piGetHavingTree();                          // 29
  virtual StatementJoin* piWalkJoins(std::int32_t first);             // 30
  virtual StatementMark* piWalkMarkers(std::int32_t first);           // 31
  virtual StatementMark* piWalkColumnReferences(std::int32_t first);  // 32
  virtual DeclaredParameters* piGetDeclaredParameters();              // 33: with a reference

  std::vector<QueryFile*> files;
  std::vector<ItemDescription*> items;
  std::vector<IndexDescriptor*> descriptors;
  std::vector<KeyLink*> links;
  // Assignment objects, walked as plain parts as the runtime hands them.
  std::vector<CountedPart*> kind3Entries;
  std::vector<CountedPart*> kind4Entries;
  std::map<ItemDescription*, ItemDescription*> columns;
  std::map<std::u16string, std::u16string> aliases;
  std::map<QueryFile*, void*> fileAnswers;
  CountedPart* firstExtra = nullptr;
  CountedPart* secondExtra = nullptr;
  // The clauses as positions in the text, 0 when absent.
  std::uint32_t whereStart = 0;
  std::uint32_t whereEnd = 0;
  std::uint32_t havingStart = 0;
  std::uint32_t havingEnd = 0;
  std::uint32_t orderByStart = 0;
  std::uint32_t selectListEnd = 0;
  ExpressionNode* whereTree = nullptr;
  ExpressionNode* havingTree = nullptr;
  std::vector<StatementJoin*> joins;
  std::vector<StatementMark*> markers;
  std::vector<StatementMark*> columnReferences;
  DeclaredParameters* declaredParameters = nullptr;

 private:
  template <typename T>
  T* Walk(std::size_t slot, const std::vector<T*>& list, std::size_t& cursor, std::int32_t first);

  // Before the first walk, "next" answers null.
  std::size_t m_fileCursor = static_cast<std::size_t>(-1);
  std::size_t m_itemCursor = static_cast<std::size_t>(-1);
  std::size_t m_linkCursor = static_cast<std::size_t>(-1);
  std::size_t m_kind3Cursor = static_cast<std::size_t>(-1);
  std::size_t m_kind4Cursor = static_cast<std::size_t>(-1);
  std::size_t m_joinCursor = static_cast<std::size_t>(-1);
  std::size_t m_markerCursor = static_cast<std::size_t>(-1);
  std::size_t m_referenceCursor = static_cast<std::size_t>(-1);
};

}  // namespace qzrt
