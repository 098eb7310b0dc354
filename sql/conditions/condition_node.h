// CConditionNode: one node of a condition the driver builds itself from key values, ranges and filters: a branch
// (OR, AND, NOT) over its children, a comparison of one column with one value, a condition given as a runtime query,
// or a constant. A tree writes itself into a statement rewriter as WHERE text with its values as parameters, folding
// comparisons whose result is known in advance into "1=1" and "0=1" and dropping the branches they make pointless,
// and keeps per column whether rows whose column is NULL can satisfy what it wrote.
//
// Children, column, value and query description are shared by reference count; a node never owns a child
// exclusively. Writing changes the tree it writes (folded kinds, rewritten comparisons, rebuilt null lists), and a
// tree may be shared by clones of the key condition that made it.
//
// condition_node.cpp holds the tree; condition_text.cpp the text of one comparison.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/flag_list.h"
#include "foundation/ref_counted.h"

class CColumn;
class CConnection;
class CErrorHolder;
class CFieldValue;
class CHashTable;
class CHostValue;
class CKeyCondition;
class CQueryDescription;
class CSqlRewriter;
class CTableDescription;
class CTString;
class IHostNamedObject;
class IHostQueryAnalysis;

enum EConditionKind : std::uint32_t {
  COND_EMPTY = 0,
  COND_OR = 1,
  COND_AND = 2,
  COND_NOT = 3,
  COND_EQ = 4,
  COND_GT = 5,
  COND_LT = 6,
  COND_GE = 7,
  COND_LE = 8,
  COND_QUERY = 9,
  COND_FALSE = 10,
  COND_TRUE = 11,
  COND_NE = 12,
  COND_IS_NULL = 13,
  COND_IS_NOT_NULL = 14,
};

// Search flags of a key condition; the nodes built for a search carry them and test the ones marked "node".
inline constexpr std::uint32_t KEY_FLAG_PREFIX = 0x1;            // node: the value is a prefix (starts-with)
inline constexpr std::uint32_t KEY_FLAG_FROM_RECORD = 0x2;       // identify the current record
inline constexpr std::uint32_t KEY_FLAG_LIMITS = 0x4;            // the key value may end with a filler
inline constexpr std::uint32_t KEY_FLAG_RECORD_VALUES = 0x8;     // values from the current record
inline constexpr std::uint32_t KEY_FLAG_NO_CONTINUATION = 0x10;  // no continuation conditions
inline constexpr std::uint32_t KEY_FLAG_LOW_BOUND = 0x40;        // node: lower bound of a range
inline constexpr std::uint32_t KEY_FLAG_HIGH_BOUND = 0x80;       // node: upper bound of a range
inline constexpr std::uint32_t KEY_FLAG_COMPOSITE_PART = 0x100;  // node: one component of a composite key

// Error points of the conditions (unit 14); both raise error 12, memory that could not be obtained.
inline constexpr std::uint32_t CONDITION_ERROR_OUT_OF_MEMORY = 12;
inline constexpr std::uint32_t CONDITION_POINT_NULL_FLAGS = 1;  // a null-admission list
inline constexpr std::uint32_t CONDITION_POINT_ELEMENT = 2;     // a node, a bound value or a leaf, or the leaf list

class CConditionNode : public CRefCounted {
 public:
  // Kind 0, nothing attached; the holder referenced.
  explicit CConditionNode(CErrorHolder* holder);
  // No holder, for the copy idiom.
  CConditionNode();
  ~CConditionNode() override;

  // ---- operations, in their order after the destructor and the release ----
  // A new empty node sharing this node's holder; null when memory is exhausted.
  virtual CConditionNode* pNewNode();
  virtual int CopyFrom(CConditionNode* source, CHashTable& cloneMap, std::uintptr_t a, std::uintptr_t b);
  // A copy with no reference, or null.
  virtual CConditionNode* pClone(CHashTable& cloneMap, std::uintptr_t a, std::uintptr_t b);
  // One comparison node or a constant; *folded is 1 when the node became a constant and wrote nothing.
  virtual int bWriteSql(CSqlRewriter* rewriter, CKeyCondition* key, int* folded);

  // ---- kinds ----
  static const char16_t* pszGetKindText(std::uint32_t kind);
  // The rewriter's comparison code of a kind; -1 for none.
  static std::int32_t nMapComparisonKind(std::uint32_t kind);

  // ---- construction ----
  void InitBranch(std::uint32_t kind, CConditionNode* left, CConditionNode* right, std::uint32_t flags);
  void InitComparison(std::uint32_t kind, CColumn* column, CFieldValue* value, std::uint32_t flags);
  // COND_QUERY over a query description made for the runtime query; 0 when none could be made.
  int InitQuery(IHostQueryAnalysis* query);
  // pNewNode, then the matching Init; null when no node was made. Count 0.
  CConditionNode* pNewBranch(std::uint32_t kind, CConditionNode* left, CConditionNode* right, std::uint32_t flags);
  CConditionNode* pNewComparison(std::uint32_t kind, CColumn* column, CFieldValue* value, std::uint32_t flags);
  CConditionNode* pCombine(std::uint32_t kind, CConditionNode* other);
  void SetFlags(std::uint32_t flags);
  bool bIsPrefixSearch() const { return (m_nFlags & KEY_FLAG_PREFIX) != 0; }

  // ---- null admission (a column the list does not hold admits NULL) ----
  int bEnsureNullFlags();
  int SetNullFlag(std::uint32_t flag);
  int bCopyNullFlags(CConditionNode* other, int invert);
  int bMergeNullFlags(CConditionNode* left, CConditionNode* right);
  std::uint32_t nGetNullFlag(CColumn* column);
  const CFlagList* pGetNullFlags() const { return m_pNullFlags.get(); }

  // ---- writing ----
  int bWriteTree(CSqlRewriter* rewriter, std::uint32_t parentKind, CKeyCondition* key, int* folded,
                 IHostNamedObject* linkedObject);
  int bWriteQuery(CSqlRewriter* rewriter, CKeyCondition* key, IHostNamedObject* linkedObject);

  // ---- tree operations ----
  // A tree of the same shape sharing columns and values, count 0; null when a node could not be made.
  CConditionNode* pCopyTree();
  // The continuation of this subtree in the new kind (COND_GT or COND_LT); the node that stands in its place.
  CConditionNode* pDeriveContinuation(CTableDescription* table, CConditionNode* parent, std::uint32_t newKind);
  void ReplaceChild(CConditionNode* old, CConditionNode* replacement);
  // Whether two trees state the same condition: the same shape, kinds and flags, columns of the same name, equal
  // values and the same query; two null trees are the same.
  static int bSameCondition(CConditionNode* a, CConditionNode* b);

  // ---- members ----
  CErrorHolder* pGetErrorHolder() const { return m_pHolder; }
  std::uint32_t nGetKind() const { return m_nKind; }
  void SetKind(std::uint32_t kind) { m_nKind = kind; }
  CConditionNode* pGetLeft() const { return m_pLeft; }
  CConditionNode* pGetRight() const { return m_pRight; }
  CColumn* pGetColumn() const { return m_pColumn; }
  CFieldValue* pGetValue() const { return m_pValue; }
  std::uint32_t nGetFlags() const { return m_nFlags; }
  CQueryDescription* pGetQueryDescription() const { return m_pQuery; }

 protected:
  // ---- the tree writer's steps after the pre-folding ----
  int bWriteNode(CSqlRewriter* rewriter, std::uint32_t parentKind, CKeyCondition* key, int* folded,
                 IHostNamedObject* linkedObject);
  int bWriteUnary(CSqlRewriter* rewriter, CKeyCondition* key, int* folded, IHostNamedObject* linkedObject);

  // ---- the comparison writers (condition_text.cpp) ----
  int bWriteNullComparison(const CTString& column, CSqlRewriter* rewriter, int* folded);
  int bWriteTextComparison(const CTString& column, CSqlRewriter* rewriter, CKeyCondition* key, int alternative,
                           int* folded);
  // The general writer: the operator (or a LIKE with prefix 1) and the value as a leaf.
  int bWriteComparison(const CTString& column, CSqlRewriter* rewriter, CKeyCondition* key, int prefix,
                       int alternative);
  // *escaped is 1 when the value's text went through the LIKE escaping (its pattern then needs the dialect's ESCAPE).
  int bWriteLikeOperand(CFieldValue* value, CSqlRewriter* rewriter, int* escaped);
  int bWriteDateTimeComparison(const CTString& column, CSqlRewriter* rewriter, CKeyCondition* key, int alternative);
  // A UTF-16 text ending in the first half of a surrogate pair, compared as the characters that half begins: an
  // order comparison from or below the value's first text, a prefix as the range of the texts that start with it.
  int bWriteHalfCharacterComparison(const CTString& column, CSqlRewriter* rewriter, CKeyCondition* key,
                                    int alternative, const std::u16string& text);
  // With the NULL alternative, its " OR <column> IS NULL)"; then the null flag the comparison leaves.
  int bEndComparison(CSqlRewriter* rewriter, int alternative);
  // The column's reference as the rewriter's operand writer writes it for the rewriter code.
  int bBuildColumnReference(CSqlRewriter* rewriter, std::int32_t rewriterCode, CTString& out);

  CErrorHolder* m_pHolder = nullptr;
  std::uint32_t m_nKind = COND_EMPTY;
  CConditionNode* m_pLeft = nullptr;
  CConditionNode* m_pRight = nullptr;
  CColumn* m_pColumn = nullptr;
  CFieldValue* m_pValue = nullptr;
  std::uint32_t m_nFlags = 0;
  CQueryDescription* m_pQuery = nullptr;
  std::unique_ptr<CFlagList> m_pNullFlags;
};

// A new empty node sharing the holder, count 0; null, with error 12 at 14.2 in the holder (naming the reporter's
// connection), when memory is exhausted.
CConditionNode* pNewConditionNode(CErrorHolder* holder, CConnection* reporter);
// COND_GT and COND_LT exchanged, COND_GE and COND_LE exchanged, any other kind unchanged.
std::uint32_t nReverseComparison(std::uint32_t kind);
// The column is ordered descending in the query of a query-mode table (not given as SQL text).
int bIsDescendingInTable(CTableDescription* table, CColumn* column);
// The comparison selects every row: >= the empty text, <= a maximum-filled text, the boolean and NULL cases.
int bIsTriviallyTrue(std::uint32_t kind, CConnection* connection, CHostValue* value);

// The range [low, high) of the date, time or date-time values that start with a partial text; 0 for an empty text
// or one above which no value exists. The out value may be the input value itself.
int bGetPrefixRange(std::uint32_t columnType, CHostValue& text, CHostValue& low, CHostValue& high);
int bGetPrefixLowBound(std::uint32_t columnType, CHostValue& text, CHostValue& out);
int bGetPrefixHighBound(std::uint32_t columnType, CHostValue& text, CHostValue& out);
