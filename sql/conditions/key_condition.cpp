// The key condition's stages, searches, writing, copies and equality. The leaf list, construction and destruction
// live in key_condition_leaves.cpp, the construction of conditions from key values in key_condition_build.cpp.
#include "sql/conditions/key_condition.h"

#include <new>
#include <utility>

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/table_description.h"
#include "engine/table/table.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/hash_table.h"
#include "foundation/module_errors.h"
#include "foundation/t_string.h"
#include "sql/connection.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"

namespace {

void ReleaseNode(CConditionNode*& node) {
  if (node) node->nRelease();
  node = nullptr;
}

// The copy of a condition for a new key condition, referenced: the one the map holds, else its own clone.
CConditionNode* pCloneCondition(CHashTable& map, CConditionNode* node, std::uintptr_t a, std::uintptr_t b) {
  if (!node) return nullptr;
  std::uint64_t known = 0;
  CConditionNode* copy =
      map.bLookup(nCloneKey(node), &known, nullptr) ? reinterpret_cast<CConditionNode*>(known) : node->pClone(map, a, b);
  AddRefObject(copy);
  return copy;
}

bool bSameName(const char16_t* a, const char16_t* b) { return CTString(a).bEquals(b ? b : u"") != 0; }

}  // namespace

// ---- state ----

void CKeyCondition::Restart(int firstStage) {
  if (firstStage) {
    SetFirstStage();
  } else {
    Reset();
  }
}

void CKeyCondition::Reset() {
  m_nStage = KEY_STAGE_NONE;
  ReleaseNode(m_pCurrent);
}

int CKeyCondition::bNeedsRebuild(std::uint32_t direction) const {
  if (m_nStage == KEY_STAGE_FIRST) return 1;
  // Only the sense counts: 0 is forward, any other word backward.
  if (m_nStage == KEY_STAGE_CONTINUATION) return (direction != 0) != (m_nDirection != 0) ? 1 : 0;
  return 0;
}

int CKeyCondition::bAdvance(std::uint32_t direction) {
  if (m_nStage == KEY_STAGE_FIRST) {
    m_nStage = KEY_STAGE_CONTINUATION;
    SetCurrent(direction != 0 ? m_pBackward : m_pForward);
  } else {
    m_nStage = KEY_STAGE_FIRST;
    SetCurrent(m_pFirstStage);
  }
  m_nDirection = direction;
  return 1;
}

void CKeyCondition::ReleaseConditions() {
  ReleaseNode(m_pCurrent);
  ReleaseNode(m_pFirstStage);
  ReleaseNode(m_pForward);
  ReleaseNode(m_pBackward);
}

int CKeyCondition::nAbandonSearch() {
  ReleaseConditions();
  m_nStage = KEY_STAGE_NONE;
  return 0;
}

void CKeyCondition::SetCurrent(CConditionNode* condition) {
  AddRefObject(condition);
  ReleaseNode(m_pCurrent);
  m_pCurrent = condition;
}

CColumn* CKeyCondition::pGetPositionKeyColumn(CTableDescription* table) {
  return table ? table->pGetPositionKey() : nullptr;
}

// ---- searches ----

int CKeyCondition::bSetSearch(CTableDescription* table, CColumnDescriptor* item, CHostValue* value,
                              std::uint32_t direction, int exact) {
  return bSetSearchCore(table, item, value, direction, exact ? 0 : KEY_FLAG_PREFIX);
}

int CKeyCondition::bSetRecordSearch(CTableDescription* table, CColumnDescriptor* item, std::uintptr_t,
                                    int noContinuation) {
  std::uint32_t flags = KEY_FLAG_FROM_RECORD | KEY_FLAG_RECORD_VALUES;
  if (noContinuation) flags |= KEY_FLAG_NO_CONTINUATION;
  return bSetSearchCore(table, item, nullptr, 0, flags);
}

int CKeyCondition::bSetSearchCore(CTableDescription* table, CColumnDescriptor* item, CHostValue* value,
                                  std::uint32_t direction, std::uint32_t flags) {
  ReleaseConditions();
  m_nBuildFailures = 0;
  if (value) m_searchValue.Assign(*value);
  m_nReadFlag = 0;
  m_nDirection = direction;
  m_nFlags = flags;
  m_nStage = KEY_STAGE_FIRST;
  SetSearchItem(item);

  CConditionNode* first = nullptr;
  if ((flags & KEY_FLAG_FROM_RECORD) && item && !item->bIsUnique()) {
    CColumn* position = pGetPositionKeyColumn(table);
    if (position) first = pBuildStage(table, position->pGetDescriptorNoRef(), COND_EQ, nullptr, flags);
  }
  // A position condition that could not be made is not replaced by the item's, which would find other records.
  if (!first && !m_nBuildFailures) first = pBuildStage(table, item, COND_EQ, value, flags);
  if (!first) {
    if (m_nBuildFailures) return nAbandonSearch();
    // Nothing to search on (or a condition that selects everything): the search stays unstarted and the caller
    // reads without a key condition.
    m_nStage = KEY_STAGE_NONE;
    return 1;
  }
  first->AddRef();
  m_pFirstStage = first;

  if (!(flags & KEY_FLAG_NO_CONTINUATION)) {
    const bool derive =
        item && !item->bIsCompositeKey() && (!(flags & KEY_FLAG_FROM_RECORD) || CTable::bIsKeyUsable(item));
    for (std::uint32_t kind : {COND_GT, COND_LT}) {
      CConditionNode* continuation = nullptr;
      if (derive) {
        // The copy is held while it is turned: the node that stands in its place may or may not hold it.
        CConditionNode* copy = first->pCopyTree();
        if (copy) {
          copy->AddRef();
          continuation = copy->pDeriveContinuation(table, nullptr, kind);
          AddRefObject(continuation);
          copy->nRelease();
        }
        if (!continuation) NoteBuildFailure();
      } else {
        continuation = pBuildStage(table, item, kind, value, flags);
        AddRefObject(continuation);
      }
      (kind == COND_GT ? m_pForward : m_pBackward) = continuation;
      if (m_nBuildFailures) break;
    }
  }
  // A search missing a piece it asked for would read wrongly: without its first stage every record, without a
  // continuation everything after the first stage (bAdvance makes the missing continuation current). It fails
  // whole instead, unstarted, with the error in the holder; only a piece with nothing to compare is left out.
  if (m_nBuildFailures) return nAbandonSearch();
  SetCurrent(m_pFirstStage);
  return 1;
}

int CKeyCondition::bSetRange(CTableDescription* table, CColumnDescriptor* item, CHostValue* low, int lowInclusive,
                             CHostValue* high, int highInclusive, IHostQueryAnalysis* query, std::uint32_t flags) {
  ReleaseNode(m_pFirstStage);
  ReleaseNode(m_pCurrent);
  m_nBuildFailures = 0;
  flags |= KEY_FLAG_LIMITS;
  SetSearchItem(item);

  if (low && high && item && item->bIsDescending()) {
    // Each bound keeps its own inclusiveness: the range's ends change places, not their kind.
    std::swap(low, high);
    std::swap(lowInclusive, highInclusive);
  }
  const bool recordValues = (flags & KEY_FLAG_RECORD_VALUES) != 0;
  CConditionNode* lower = nullptr;
  CConditionNode* upper = nullptr;
  if (low || recordValues) {
    std::uint32_t kind = lowInclusive ? COND_GE : COND_GT;
    std::int32_t equal = 0;
    if (!recordValues && low && high && !bHostFailed(static_cast<std::uint32_t>(low->nEquals(*high, &equal))) &&
        equal) {
      // Between equal bounds lies the one value only when both ends take it; with an end left out, both bounds
      // stay and select nothing.
      if (lowInclusive && highInclusive) {
        high = nullptr;
        kind = COND_EQ;
      }
    } else if (recordValues && !high) {
      kind = COND_EQ;
    }
    lower = pBuildStage(table, item, kind, low, flags | KEY_FLAG_LOW_BOUND);
  }
  if (high) upper = pBuildStage(table, item, highInclusive ? COND_LE : COND_LT, high, flags | KEY_FLAG_HIGH_BOUND);

  // A bound or a runtime query that could not be made must not vanish from the read (half a range, or every
  // record): the range fails, unstarted (see bSetSearchCore).
  CConditionNode* first = lower && upper ? pJoin(lower, COND_AND, upper) : lower ? lower : upper;
  if (m_nBuildFailures) {
    if (first) first->nRelease();
    return nAbandonSearch();
  }
  if (query) {
    CConditionNode* restriction = pNewNode();
    if (restriction && !restriction->InitQuery(query)) {
      restriction->nRelease();
      restriction = nullptr;
    }
    if (!restriction) {
      if (first) first->nRelease();
      NoteBuildFailure();
      return nAbandonSearch();
    }
    CConditionNode* combined = first ? pJoin(first, COND_AND, restriction) : restriction;
    if (!combined) return nAbandonSearch();
    first = combined;
  }
  if (!lower && !upper && !query) return 1;
  AddRefObject(first);
  m_pFirstStage = first;
  SetCurrent(first);
  return first ? 1 : 0;
}

// ---- writing ----

int CKeyCondition::bWriteSql(CSqlRewriter* rewriter, CKeyCondition* filter, IHostNamedObject* linkedObject) {
  rewriter->Reset(0);
  // The rewriter's reset keeps its column flags, and copying flags appends to them: the flags of a condition written
  // into it before would stay in front of this one's and answer for it. They go with the text they described.
  rewriter->Lists().bCopyColumnFlags(nullptr);
  ClearLeaves();

  const bool filterApplies = filter && filter->bIsStarted() && filter->pGetFirstStage();
  CConditionNode* tree = m_pCurrent;
  if (filterApplies && m_pCurrent) {
    tree = pNewNode();
    if (!tree) return 0;
    tree->InitBranch(COND_AND, filter->pGetFirstStage(), m_pCurrent, bIsCompositeSearch() ? KEY_FLAG_COMPOSITE_PART : 0);
  } else if (filterApplies) {
    tree = filter->pGetFirstStage();
  }
  if (!tree) return 1;

  tree->AddRef();
  int folded = 0;
  int result = tree->bWriteTree(rewriter, COND_EMPTY, this, &folded, linkedObject);
  if (tree->nGetKind() == COND_FALSE && rewriter->GetStatementText().bIsEmpty()) {
    int constant = 0;
    result = tree->bWriteSql(rewriter, this, &constant);
  }
  // A write that failed half way leaves a WHERE text that selects the wrong rows: its failure is the answer, and
  // the column flags are handed on only for a complete text.
  if (!folded && result) result = rewriter->Lists().bCopyColumnFlags(tree->pGetNullFlags());
  tree->nRelease();
  return result;
}

// ---- copies ----

CKeyCondition* CKeyCondition::pNew() { return new (std::nothrow) CKeyCondition(); }

CKeyCondition* CKeyCondition::pClone() {
  CKeyCondition* copy = pNew();
  if (!copy) {
    SetHolderOutOfMemory(m_pHolder);
    return nullptr;
  }
  if (m_pHolder) m_pHolder->AddRef();
  copy->m_pHolder = m_pHolder;
  AddRefObject(m_pConnection);
  copy->m_pConnection = m_pConnection;
  CConditionNode* CKeyCondition::*const conditions[] = {&CKeyCondition::m_pFirstStage, &CKeyCondition::m_pForward,
                                                        &CKeyCondition::m_pBackward, &CKeyCondition::m_pCurrent};
  for (CConditionNode* CKeyCondition::*member : conditions) {
    AddRefObject(this->*member);
    copy->*member = this->*member;
  }
  copy->m_nStage = m_nStage;
  copy->m_nDirection = m_nDirection;
  copy->m_nReadFlag = m_nReadFlag;
  copy->m_nFlags = m_nFlags;
  copy->ClearLeaves();
  for (std::uint32_t i = 0; i < nGetLeafCount(); ++i) {
    // A clone short of a leaf would bind fewer values than its text names: there is no clone instead.
    if (!copy->AddLeaf(pGetLeaf(i))) {
      copy->AddRef();
      copy->nRelease();
      return nullptr;
    }
  }
  copy->m_searchValue.Assign(m_searchValue);
  return copy;
}

int CKeyCondition::CopyFrom(CKeyCondition* source, CHashTable& cloneMap, std::uintptr_t a, std::uintptr_t b) {
  if (source == this) return 1;  // a copy of itself is what it already is: clearing its leaves first lost them
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  if (source->m_pHolder) source->m_pHolder->AddRef();
  if (m_pHolder) m_pHolder->nRelease();
  m_pHolder = source->m_pHolder;
  m_nStage = source->m_nStage;
  m_nDirection = source->m_nDirection;
  m_nReadFlag = source->m_nReadFlag;
  m_bEmptyTextIsNull = source->m_bEmptyTextIsNull;
  m_nFlags = source->m_nFlags;

  CConditionNode* CKeyCondition::*const conditions[] = {&CKeyCondition::m_pFirstStage, &CKeyCondition::m_pForward,
                                                        &CKeyCondition::m_pBackward, &CKeyCondition::m_pCurrent};
  for (CConditionNode* CKeyCondition::*member : conditions) {
    CConditionNode* original = source->*member;
    CConditionNode* copy = pCloneCondition(cloneMap, original, a, b);
    if (original && !copy) return 0;
    ReleaseNode(this->*member);
    this->*member = copy;
  }
  ClearLeaves();
  for (std::uint32_t i = 0; i < source->nGetLeafCount(); ++i) {
    CValueLeaf* original = source->pGetLeaf(i);
    CValueLeaf* copy = pCloneChild(cloneMap, original);
    if (original && !copy) return 0;
    const int added = AddLeaf(copy);
    if (copy) copy->nRelease();  // AddLeaf took its own reference
    if (!added) return 0;
  }
  m_searchValue.Assign(source->m_searchValue);
  SetSearchItem(source->m_pSearchItem);
  AddRefObject(source->m_pConnection);
  if (m_pConnection) m_pConnection->nRelease();
  m_pConnection = source->m_pConnection;
  return 1;
}

CKeyCondition* CKeyCondition::pCopyInto(CKeyCondition* copy, CKeyCondition* source, CHashTable& cloneMap,
                                        std::uintptr_t a, std::uintptr_t b) {
  if (!copy) {
    SetHolderOutOfMemory(m_pHolder);
    return nullptr;
  }
  copy->AddRef();
  int copied = 0;
  try {
    copied = copy->CopyFrom(source, cloneMap, a, b);
  } catch (...) {
    copied = 0;
  }
  // A half-made copy is no copy: it goes like one whose copy threw. Its pieces fail only for memory, some of them
  // without a word: the caller still learns why there is none.
  if (!copied) {
    copy->nRelease();
    if (m_pHolder && !m_pHolder->bHasError()) SetHolderOutOfMemory(m_pHolder);
    return nullptr;
  }
  --copy->m_nRefCount;
  return copy;
}

CKeyCondition* CKeyCondition::pNewWithArgs(CKeyCondition* source, CHashTable& cloneMap, std::uintptr_t a,
                                           std::uintptr_t b) {
  return pCopyInto(pNew(), source, cloneMap, a, b);
}

// ---- comparison ----

int CKeyCondition::bEquals(CKeyCondition* other) {
  if (other == this) return 1;
  if (!other) return 0;
  if (m_nStage != other->m_nStage || m_nDirection != other->m_nDirection || m_nFlags != other->m_nFlags) return 0;
  if (!m_pSearchItem != !other->m_pSearchItem) return 0;
  if (m_pSearchItem && !bSameName(m_pSearchItem->pszGetName(), other->m_pSearchItem->pszGetName())) return 0;
  CHostValue& mine = m_searchValue;
  CHostValue& theirs = other->m_searchValue;
  // Two searches without a search value (a range, a record search) have the same one; a NULL value never equals.
  const bool bothAbsent = mine.wGetTypeWord() == HOST_TYPE_EMPTY && theirs.wGetTypeWord() == HOST_TYPE_EMPTY;
  if (!bothAbsent) {
    std::int32_t equal = 0;
    if (mine.nEquals(theirs, &equal) != HOST_OK || !equal) return 0;
  }
  // The conditions carry what the search value does not: a range's bounds, a record search's record values.
  if (!CConditionNode::bSameCondition(m_pFirstStage, other->m_pFirstStage) ||
      !CConditionNode::bSameCondition(m_pCurrent, other->m_pCurrent)) {
    return 0;
  }
  if (nGetLeafCount() != other->nGetLeafCount()) return 0;
  for (std::uint32_t i = 0; i < nGetLeafCount(); ++i) {
    CValueLeaf* leaf = pGetLeaf(i);
    CValueLeaf* theirLeaf = other->pGetLeaf(i);
    if (leaf != theirLeaf && (!leaf || !leaf->bEquals(theirLeaf))) return 0;
  }
  return 1;
}
