// CKeyCondition: a search a table read moves through: the search item (a key's column descriptor), the search value
// and flags, a first-stage condition that finds the starting record and two continuations that read onward in either
// direction, each a CConditionNode tree. Before each read the statement object asks which stage applies and has the
// current condition written, ANDed with its filter's, into its statement rewriter as the WHERE text; the key
// condition keeps the value leaves the text refers to so that the statement can bind them.
//
// The table engine names the searches otherwise; these are the same operations:
// - bSetValueSearch (record source, key, values, flags) is bSetRecordSearch (flags 0x0A, 0x1A without
//   continuations);
// - bBuildFromKey (record source, key, values) is bSetSearchCore on the key and its values, through bSetSearch;
// - the engine's bSetSearch (item, value, text, direction, flags) is this bSetSearch, exact or generic by its flags.
//
// The key condition holds a reference on its holder, connection, conditions and leaves, and one on its search item
// through the item's own counting. key_condition.cpp holds the stages, searches, writing, copies and the leaf list;
// key_condition_build.cpp the construction of conditions from key values.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/ref_counted.h"
#include "host/host_value.h"
#include "sql/conditions/condition_node.h"
#include "sql/conditions/key_value_split.h"

class CColumn;
class CColumnDescriptor;
class CConnection;
class CErrorHolder;
class CFieldValue;
class CFlagList;
class CHashTable;
class CSqlRewriter;
class CTableDescription;
class CValueLeaf;
class IHostNamedObject;
class IHostQueryAnalysis;

// Stages of a search.
enum EKeyStage : std::uint32_t {
  KEY_STAGE_NONE = 0,
  KEY_STAGE_FIRST = 1,
  KEY_STAGE_CONTINUATION = 2,
};

class CKeyCondition : public CRefCounted {
 public:
  CKeyCondition(CErrorHolder* holder, CConnection* connection);
  // For the copy idiom: Init only.
  CKeyCondition();
  ~CKeyCondition() override;

  // ---- operations, in their order after the destructor and the release ----
  virtual int bWriteSql(CSqlRewriter* rewriter, CKeyCondition* filter, IHostNamedObject* linkedObject);
  // A new object of this class (pNew) sharing the holder, connection and four conditions; the leaves referenced,
  // the search value copied; count 0, null when none was made.
  virtual CKeyCondition* pClone();
  // The node factory of the trees built for the searches: nodes share this object's holder.
  virtual CConditionNode* pNewNode();
  virtual int CopyFrom(CKeyCondition* source, CHashTable& cloneMap, std::uintptr_t a, std::uintptr_t b);
  virtual CKeyCondition* pNewWithArgs(CKeyCondition* source, CHashTable& cloneMap, std::uintptr_t a,
                                      std::uintptr_t b);
  virtual CKeyCondition* pNew();

  // ---- state ----
  void Init();
  void Restart(int firstStage);
  void Reset();
  void SetFirstStage() { m_nStage = KEY_STAGE_FIRST; }
  int bIsStarted() const { return m_nStage != KEY_STAGE_NONE; }
  void SetStageFlag() { m_nReadFlag = 1; }
  int bFirstStageOrFlag() const { return m_nStage == KEY_STAGE_FIRST ? 1 : static_cast<int>(m_nReadFlag); }
  int bNeedsRebuild(std::uint32_t direction) const;
  int bAdvance(std::uint32_t direction);

  // ---- searches ----
  int bSetSearch(CTableDescription* table, CColumnDescriptor* item, CHostValue* value, std::uint32_t direction,
                 int exact);
  int bSetRecordSearch(CTableDescription* table, CColumnDescriptor* item, std::uintptr_t ignored,
                       int noContinuation);
  int bSetSearchCore(CTableDescription* table, CColumnDescriptor* item, CHostValue* value, std::uint32_t direction,
                     std::uint32_t flags);
  int bSetRange(CTableDescription* table, CColumnDescriptor* item, CHostValue* low, int lowInclusive,
                CHostValue* high, int highInclusive, IHostQueryAnalysis* query, std::uint32_t flags);

  // ---- leaves ----
  int bIsCompositeSearch() const;
  void ClearLeaves();
  // A leaf of the driver's making for the column, appended with a reference; null when none was made.
  CValueLeaf* pAddLeaf(CColumn* column, CFieldValue* value, std::uint64_t position, std::uint32_t flags);
  // 0 with error 12 at 14.2 when the list cannot grow: a parameter the text names must never go unbound.
  int AddLeaf(CValueLeaf* leaf);
  int AddRewriterParameters(CSqlRewriter* rewriter, std::uint32_t first);
  // From the end, every leaf placed at or after the position; stops at the first null leaf or one before it.
  void DropLeavesFrom(std::uint64_t position);
  std::uint32_t nGetLeafCount() const { return m_leaves.nGetCount(); }
  CValueLeaf* pGetLeaf(std::uint32_t i) const;
  void SetSearchItem(CColumnDescriptor* item);
  CColumn* pGetPositionKeyColumn(CTableDescription* table);

  // ---- comparison ----
  int bEquals(CKeyCondition* other);

  // ---- members ----
  CErrorHolder* pGetErrorHolder() const { return m_pHolder; }
  CConnection* pGetConnection() const { return m_pConnection; }
  std::uint32_t nGetStage() const { return m_nStage; }
  std::uint32_t nGetDirection() const { return m_nDirection; }
  std::uint32_t nGetFlags() const { return m_nFlags; }
  // An empty text compares as NULL: the Oracle classes set it in their constructors; Init clears it, Reset never.
  std::uint32_t bEmptyTextIsNull() const { return m_bEmptyTextIsNull; }
  void SetEmptyTextIsNull(std::uint32_t on) { m_bEmptyTextIsNull = on; }
  CConditionNode* pGetFirstStage() const { return m_pFirstStage; }
  CConditionNode* pGetForward() const { return m_pForward; }
  CConditionNode* pGetBackward() const { return m_pBackward; }
  CConditionNode* pGetCurrent() const { return m_pCurrent; }
  CColumnDescriptor* pGetSearchItem() const { return m_pSearchItem; }
  CHostValue& SearchValue() { return m_searchValue; }

 protected:
  // ---- construction of conditions (key_condition_build.cpp) ----
  CConditionNode* pBuildStage(CTableDescription* table, CColumnDescriptor* item, std::uint32_t kind,
                              CHostValue* value, std::uint32_t flags);
  CConditionNode* pBuildSingle(CTableDescription* table, CColumn* column, std::uint32_t kind, CHostValue* value,
                               std::uint32_t flags);
  CConditionNode* pBuildMulti(CTableDescription* table, CColumn* column, std::uint32_t kind, CHostValue* value,
                              std::uint32_t flags);

  // The columns a multi-column condition compares, in order (not referenced: the table description holds them for
  // the whole build), and their values, value i for column i; the values may stop short of the columns.
  using KeyColumns = std::vector<CColumn*>;
  // The null admission known so far for the columns of an expansion, and its flags by column position as
  // CTableDescription::bFindCompositeKey reads them (made at the expansion's full size before any node is built).
  struct SExpansionNulls;

  CConditionNode* pBuildEquality(CTableDescription* table, const KeyColumns& columns, CKeyValueList& values,
                                 std::uint32_t flags);
  CConditionNode* pBuildOrderedFromKey(CTableDescription* table, const KeyColumns& columns, CKeyValueList& values,
                                       CColumn* composite, std::uint32_t kind, bool isMin, bool isMax,
                                       std::uint32_t flags);
  CConditionNode* pBuildOrderedFromRecord(CTableDescription* table, const KeyColumns& columns, CKeyValueList& values,
                                          std::uint32_t kind);
  CConditionNode* pBuildOrdered(CTableDescription* table, const KeyColumns& columns, CKeyValueList& values,
                                CColumn* composite, std::uint32_t count, std::uint32_t kind, std::uint32_t flags);
  CConditionNode* pExpand(std::uint32_t index, CTableDescription* table, const KeyColumns& columns,
                          CKeyValueList& values, CColumn* composite, std::uint32_t count, std::uint32_t kind,
                          std::uint32_t flags, SExpansionNulls* nulls);
  CConditionNode* pBuildLastTerm(CTableDescription* table, const KeyColumns& columns, CKeyValueList& values,
                                 CColumn* composite, std::uint32_t index, std::uint32_t kind, std::uint32_t flags);
  CConditionNode* pBuildComparisons(CTableDescription* table, const KeyColumns& columns, CKeyValueList& values,
                                    CColumn* composite, std::uint32_t from, std::uint32_t to, std::uint32_t kind,
                                    std::uint32_t flags, std::uint32_t connector);
  // The packed value of a composite key split over its component columns (bSplitKeyValue).
  void SplitKeyValue(const KeyColumns& columns, CHostValue* value, CKeyValueList& values, bool& isMin,
                            bool& isMax, bool limits);
  static bool ClassifySearchValue(CColumn* column, CHostValue& value, bool& use, bool& isMin, bool& isMax);
  void CollectRecordKeys(CTableDescription* table, CColumn* column, KeyColumns& out);
  static void AddRecordValues(const KeyColumns& columns, CKeyValueList& values);

  // left KIND right, or null (both dropped when unheld) when either is missing or the branch cannot be made.
  CConditionNode* pJoin(CConditionNode* left, std::uint32_t kind, CConditionNode* right);
  // A piece of a condition that could not be made (a node, a bound value, a working value or list, a copy, a
  // continuation): counted, so that the search it belongs to fails instead of reading with what is left; error 12
  // at 14.2 unless the holder already says why.
  void NoteBuildFailure();
  // The search that met a build failure goes whole: unstarted, no conditions; answers 0.
  int nAbandonSearch();

  void ReleaseConditions();
  void SetCurrent(CConditionNode* condition);
  // The new empty object `copy` filled from the source through the map: handed out with no reference, or null (the
  // object destroyed) when it was not made, its copy failed or threw.
  CKeyCondition* pCopyInto(CKeyCondition* copy, CKeyCondition* source, CHashTable& cloneMap, std::uintptr_t a,
                           std::uintptr_t b);

  CErrorHolder* m_pHolder = nullptr;
  std::uint32_t m_nStage = KEY_STAGE_NONE;
  std::uint32_t m_nDirection = 4;
  std::uint32_t m_nReadFlag = 0;
  std::uint32_t m_bEmptyTextIsNull = 0;
  std::uint32_t m_nFlags = 0;
  CConditionNode* m_pFirstStage = nullptr;
  CConditionNode* m_pForward = nullptr;
  CConditionNode* m_pBackward = nullptr;
  CConditionNode* m_pCurrent = nullptr;
  CRefPtrArray m_leaves{1};  // CValueLeaf, in text order
  CHostValue m_searchValue;
  CColumnDescriptor* m_pSearchItem = nullptr;
  CConnection* m_pConnection = nullptr;
  // Build failures since the current search began (see NoteBuildFailure); never copied.
  std::uint32_t m_nBuildFailures = 0;
};
