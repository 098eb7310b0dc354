// The condition tree: its kinds, construction, null-admission lists, the tree writer with its folding, copies and the
// derivation of continuations. The text of one comparison is in condition_text.cpp.
#include "sql/conditions/condition_node.h"

#include <algorithm>
#include <new>

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/query_description.h"
#include "engine/record/table_description.h"
#include "engine/table/table.h"
#include "engine/values/field_value.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/hash_table.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "foundation/t_string.h"
#include "foundation/x_error.h"
#include "host/host_value.h"
#include "sql/conditions/key_condition.h"
#include "sql/conditions/packed_key.h"
#include "sql/connection.h"
#include "sql/driver_services.h"
#include "sql/rewriter/rewriter_clones.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"

namespace {

struct SKindEntry {
  const char16_t* pszText;
  std::int32_t nRewriterCode;
};

constexpr SKindEntry kKinds[] = {
    {u"", -1},                        // COND_EMPTY
    {u" OR ", -1},                    // COND_OR
    {u" AND ", -1},                   // COND_AND
    {u" NOT ", -1},                   // COND_NOT
    {u"=", SQL_NODE_EQ},              // COND_EQ
    {u">", SQL_NODE_GT},              // COND_GT
    {u"<", SQL_NODE_LT},              // COND_LT
    {u">=", SQL_NODE_GE},             // COND_GE
    {u"<=", SQL_NODE_LE},             // COND_LE
    {u"", -1},                        // COND_QUERY
    {u"0=1", -1},                     // COND_FALSE
    {u"1=1", -1},                     // COND_TRUE
    {u"<>", SQL_NODE_NE},             // COND_NE
    {u" IS NULL", SQL_NODE_IS_NULL},  // COND_IS_NULL
    {u"IS NOT NULL", -1},             // COND_IS_NOT_NULL
};
constexpr std::uint32_t kKindCount = sizeof(kKinds) / sizeof(kKinds[0]);

bool bIsBranchKind(std::uint32_t kind) { return kind == COND_OR || kind == COND_AND || kind == COND_NOT; }
bool bIsConstantKind(std::uint32_t kind) { return kind == COND_TRUE || kind == COND_FALSE; }

// The constant that decides a branch of this kind on its own: FALSE under AND, TRUE under OR; 0 for other kinds.
std::uint32_t nDominantConstant(std::uint32_t kind) {
  if (kind == COND_AND) return COND_FALSE;
  if (kind == COND_OR) return COND_TRUE;
  return COND_EMPTY;
}
// The constant a branch of this kind drops as pointless: TRUE under AND, FALSE under OR.
std::uint32_t nNeutralConstant(std::uint32_t kind) {
  if (kind == COND_AND) return COND_TRUE;
  if (kind == COND_OR) return COND_FALSE;
  return COND_EMPTY;
}

bool bIsTextColumnForRules(std::uint16_t hostType) { return bIsTextKeyHostType(hostType & HOST_TYPE_CODE_MASK); }

// The number a boolean value holds; false when it holds none. Only the plain type words of the runtime's numbers
// are read: a NULL value (flag 0x100) has no number, so a NULL boolean never folds.
bool bReadBoolean(CHostValue& value, bool* on) {
  const std::uint16_t word = value.wGetTypeWord();
  if (word != HOST_TYPE_INT32 && word != HOST_TYPE_UINT32 && word != HOST_TYPE_UINT32_RAW) return false;
  std::uint32_t number = 0;
  if (bHostFailed(static_cast<std::uint32_t>(value.nGet(&number)))) return false;
  *on = number != 0;
  return true;
}

// The value a node compares with; unset when the node has none.
void ReadNodeValue(CFieldValue* field, CHostValue& out) {
  if (field) field->bGetValue(&out);
}

template <class T>
void ReleaseField(T*& field) {
  if (field) field->nRelease();
  field = nullptr;
}

// A counted child for a copy: the copy the map holds for it, else its own clone; referenced, null for none. 0 when a
// clone could not be made.
int bCloneNode(CHashTable& map, CConditionNode* source, std::uintptr_t a, std::uintptr_t b, CConditionNode** out) {
  *out = nullptr;
  if (!source) return 1;
  std::uint64_t known = 0;
  CConditionNode* copy = map.bLookup(nCloneKey(source), &known, nullptr) ? reinterpret_cast<CConditionNode*>(known)
                                                                          : source->pClone(map, a, b);
  if (!copy) return 0;
  copy->AddRef();
  *out = copy;
  return 1;
}

int bCloneQuery(CHashTable& map, CQueryDescription* source, CQueryDescription** out) {
  *out = nullptr;
  if (!source) return 1;
  std::uint64_t known = 0;
  if (map.bLookup(nCloneKey(source), &known, nullptr)) {
    *out = reinterpret_cast<CQueryDescription*>(known);
    (*out)->AddRef();
    return 1;
  }
  *out = source->pClone(map);  // already referenced
  return *out != nullptr;
}

}  // namespace

// ---- life ----

CConditionNode::CConditionNode(CErrorHolder* holder) : m_pHolder(holder) {
  if (m_pHolder) m_pHolder->AddRef();
}

CConditionNode::CConditionNode() = default;

CConditionNode::~CConditionNode() {
  ReleaseField(m_pLeft);
  ReleaseField(m_pRight);
  ReleaseField(m_pColumn);
  ReleaseField(m_pValue);
  ReleaseField(m_pQuery);
  ReleaseField(m_pHolder);
}

CConditionNode* pNewConditionNode(CErrorHolder* holder, CConnection* reporter) {
  auto* node = new (std::nothrow) CConditionNode(holder);
  if (!node) {
    RaiseModuleError(holder, 0, ERROR_UNIT_CONDITIONS, CONDITION_POINT_ELEMENT, reporter, nullptr,
                     CONDITION_ERROR_OUT_OF_MEMORY);
  }
  return node;
}

CConditionNode* CConditionNode::pNewNode() { return pNewConditionNode(m_pHolder, nullptr); }

// ---- kinds ----

const char16_t* CConditionNode::pszGetKindText(std::uint32_t kind) {
  return kind < kKindCount ? kKinds[kind].pszText : u"";
}

std::int32_t CConditionNode::nMapComparisonKind(std::uint32_t kind) {
  return kind < kKindCount ? kKinds[kind].nRewriterCode : -1;
}

std::uint32_t nReverseComparison(std::uint32_t kind) {
  switch (kind) {
    case COND_GT: return COND_LT;
    case COND_LT: return COND_GT;
    case COND_GE: return COND_LE;
    case COND_LE: return COND_GE;
    default: return kind;
  }
}

// ---- construction ----

void CConditionNode::InitBranch(std::uint32_t kind, CConditionNode* left, CConditionNode* right,
                                std::uint32_t flags) {
  m_nKind = kind;
  Exchange(m_pLeft, left);
  Exchange(m_pRight, right);
  ReleaseField(m_pColumn);
  ReleaseField(m_pValue);
  ReleaseField(m_pQuery);
  SetFlags(flags);
}

void CConditionNode::InitComparison(std::uint32_t kind, CColumn* column, CFieldValue* value, std::uint32_t flags) {
  m_nKind = kind;
  Exchange(m_pColumn, column);
  Exchange<CFieldValue>(m_pValue, value);
  ReleaseField(m_pLeft);
  ReleaseField(m_pRight);
  SetFlags(flags);
  Exchange(m_pQuery, column ? column->pGetQueryDescription() : nullptr);
}

int CConditionNode::InitQuery(IHostQueryAnalysis* query) {
  m_nKind = COND_QUERY;
  ReleaseField(m_pLeft);
  ReleaseField(m_pRight);
  ReleaseField(m_pColumn);
  ReleaseField(m_pValue);
  ReleaseField(m_pQuery);
  SetFlags(0);
  auto* description = new (std::nothrow) CQueryDescription(m_pHolder, query, nullptr, 1);
  if (!description) {
    RaiseModuleError(m_pHolder, 0, ERROR_UNIT_CONDITIONS, CONDITION_POINT_ELEMENT, nullptr, nullptr,
                     CONDITION_ERROR_OUT_OF_MEMORY);
    return 0;
  }
  description->AddRef();
  m_pQuery = description;
  return 1;
}

CConditionNode* CConditionNode::pNewBranch(std::uint32_t kind, CConditionNode* left, CConditionNode* right,
                                           std::uint32_t flags) {
  CConditionNode* node = pNewNode();
  if (node) node->InitBranch(kind, left, right, flags);
  return node;
}

CConditionNode* CConditionNode::pNewComparison(std::uint32_t kind, CColumn* column, CFieldValue* value,
                                               std::uint32_t flags) {
  CConditionNode* node = pNewNode();
  if (node) node->InitComparison(kind, column, value, flags);
  return node;
}

CConditionNode* CConditionNode::pCombine(std::uint32_t kind, CConditionNode* other) {
  return pNewBranch(kind, this, other, m_nFlags);
}

void CConditionNode::SetFlags(std::uint32_t flags) {
  m_nFlags = flags;
  const std::uint32_t both = KEY_FLAG_PREFIX | KEY_FLAG_COMPOSITE_PART;
  if (!m_pColumn || (flags & both) != both) return;
  const std::uint32_t type = m_pColumn->nGetType();
  if (!bIsTextColumnType(type) && type != COLUMN_TYPE_CHAR) return;
  // A component compared with an empty text is not a prefix: "starts with nothing" would drop the components after
  // it from the key order.
  CHostValue text;
  ReadNodeValue(m_pValue, text);
  const char16_t* units = nullptr;
  const bool empty = !m_pValue || text.nGetType() == HOST_TYPE_EMPTY || text.bIsNull() ||
                     bHostFailed(static_cast<std::uint32_t>(text.nConvert(HOST_TYPE_TEXT))) ||
                     bHostFailed(static_cast<std::uint32_t>(text.nGetWideText(&units))) || !units || !units[0];
  if (empty) m_nFlags &= ~KEY_FLAG_PREFIX;
}

// ---- null admission ----

int CConditionNode::bEnsureNullFlags() {
  if (m_pNullFlags) return 1;
  m_pNullFlags.reset(new (std::nothrow) CFlagList());
  if (m_pNullFlags) return 1;
  RaiseModuleError(m_pHolder, 0, ERROR_UNIT_CONDITIONS, CONDITION_POINT_NULL_FLAGS, nullptr, nullptr,
                   CONDITION_ERROR_OUT_OF_MEMORY);
  return 0;
}

int CConditionNode::SetNullFlag(std::uint32_t flag) {
  if (!m_pColumn) return 1;
  return bEnsureNullFlags() && m_pNullFlags->bSetFlag(m_pColumn, flag);
}

int CConditionNode::bCopyNullFlags(CConditionNode* other, int invert) {
  return bEnsureNullFlags() && m_pNullFlags->bAddAll(other ? other->m_pNullFlags.get() : nullptr, invert);
}

int CConditionNode::bMergeNullFlags(CConditionNode* left, CConditionNode* right) {
  return bEnsureNullFlags() && m_pNullFlags->bMerge(m_nKind, left ? left->m_pNullFlags.get() : nullptr,
                                                    right ? right->m_pNullFlags.get() : nullptr);
}

std::uint32_t CConditionNode::nGetNullFlag(CColumn* column) {
  if (m_pNullFlags) return m_pNullFlags->nGetFlag(column);
  if (!column || column != m_pColumn || column->bIsCompositeKey()) return 1;
  if (m_nKind != COND_EQ && m_nKind != COND_GT && m_nKind != COND_LT && m_nKind != COND_NE) return 1;
  CHostValue value;
  ReadNodeValue(m_pValue, value);
  const std::uint32_t blank = value.nGetType() == HOST_TYPE_EMPTY || column->bIsBlankValue(value) ? 1 : 0;
  CConnection* connection = column->pGetConnection();
  const bool nullsFirst = connection && connection->bNullsSortFirst();
  switch (m_nKind) {
    case COND_EQ: return blank;
    case COND_NE: return 1 - blank;
    case COND_LT: return nullsFirst ? 1 - blank : blank;
    default: return nullsFirst ? blank : 1 - blank;  // COND_GT
  }
}

// ---- the rules that decide a comparison before it is written ----

int bIsTriviallyTrue(std::uint32_t kind, CConnection* connection, CHostValue* value) {
  if (!value || (kind != COND_GE && kind != COND_LE)) return 0;
  const std::uint8_t type = value->nGetType();
  if (type == HOST_TYPE_UINT32_RAW) {
    bool on = false;
    if (!bReadBoolean(*value, &on)) return 0;
    return kind == COND_LE ? on : !on;
  }
  if (!bIsTextKeyHostType(type)) return 0;
  const bool nullsFirst = connection && connection->bNullsSortFirst();
  if (value->bIsNull()) return kind == COND_GE ? nullsFirst : !nullsFirst;
  if (bIsUtf16KeyHostType(type)) {
    const char16_t* text = nullptr;
    if (bHostFailed(static_cast<std::uint32_t>(value->nGetWideText(&text)))) text = nullptr;
    if (kind == COND_GE) return !text || !text[0];
    return text && text[0] == 0xFFFF;
  }
  const char* text = nullptr;
  if (bHostFailed(static_cast<std::uint32_t>(value->nGetNarrowText(&text)))) text = nullptr;
  if (kind == COND_GE) return !text || !text[0];
  return text && static_cast<unsigned char>(text[0]) == 0xFF && text[1] == 0;
}

namespace {

// The boolean rule: an order comparison with true or false is an equality, an inequality or a constant.
std::uint32_t nBooleanKind(std::uint32_t kind, bool on) {
  switch (kind) {
    case COND_GT: return on ? COND_FALSE : COND_NE;
    case COND_LT: return on ? COND_NE : COND_FALSE;
    case COND_GE: return on ? COND_EQ : COND_TRUE;
    case COND_LE: return on ? COND_TRUE : COND_EQ;
    default: return kind;
  }
}

void ApplyValueRules(CConditionNode* node) {
  CColumn* column = node->pGetColumn();
  const std::uint16_t hostType = column->nGetHostType();
  const std::uint32_t kind = node->nGetKind();
  if (kind != COND_GT && kind != COND_LT && kind != COND_GE && kind != COND_LE) return;
  CHostValue value;
  ReadNodeValue(node->pGetValue(), value);
  if ((hostType & HOST_TYPE_CODE_MASK) == HOST_TYPE_UINT32_RAW) {
    bool on = false;
    if (bReadBoolean(value, &on)) node->SetKind(nBooleanKind(kind, on));
  } else if (bIsTextColumnForRules(hostType) && bIsTriviallyTrue(kind, column->pGetConnection(), &value)) {
    node->SetKind(COND_TRUE);
  }
}

// The statement text's length, the rewriter's parameter count and the key condition's leaf count where a branch
// or its right side started.
struct STextMark {
  std::uint64_t nPosition;
  std::uint32_t nParameters;
  std::uint32_t nLeaves;
};

STextMark Mark(CSqlRewriter* rewriter, CKeyCondition* key) {
  return {rewriter->GetStatementText().nGetLength(), rewriter->nGetParameterCount(), key ? key->nGetLeafCount() : 0};
}

// Back to the mark: the text after it goes, with the parameters and leaves placed since. A parameter placed before
// the mark stays even when it sits right at it (a comparison's value ends the text it was written with), though the
// rewriter's cut takes every parameter at or after the position: it is put back. The leaves are counted rather than
// the parameters, which a cut-back inside the branch has already taken.
int CutBack(CSqlRewriter* rewriter, CKeyCondition* key, const STextMark& mark) {
  const std::uint32_t before = std::min(mark.nParameters, rewriter->nGetParameterCount());
  std::uint32_t first = before;
  while (first > 0 && rewriter->pGetParameter(first - 1)->nGetPosition() >= mark.nPosition) --first;
  CRefPtrArray kept(4);
  for (std::uint32_t i = first; i < before; ++i) {
    CValueLeaf* leaf = rewriter->pGetParameter(i);
    leaf->AddRef();
    if (!kept.Add(leaf)) {
      leaf->nRelease();
      return rewriter->bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
    }
  }
  rewriter->TruncateText(mark.nPosition);
  for (std::uint32_t i = 0; i < kept.nGetCount(); ++i) {
    if (!rewriter->Lists().bAddExistingParameter(static_cast<CValueLeaf*>(kept.pGetObject(i)))) return 0;
  }
  if (key && key->nGetLeafCount() > mark.nLeaves) key->DropLeavesFrom(key->pGetLeaf(mark.nLeaves)->nGetPosition());
  return 1;
}

}  // namespace

// ---- writing ----

int CConditionNode::bWriteTree(CSqlRewriter* rewriter, std::uint32_t parentKind, CKeyCondition* key, int* folded,
                               IHostNamedObject* linkedObject) {
  *folded = 0;
  CConditionNode* node = this;
  for (;;) {
    if (node->m_pNullFlags) node->m_pNullFlags->RemoveAll();
    if (node->m_nKind == COND_EMPTY) return 1;
    if (node->m_pColumn) ApplyValueRules(node);
    const std::uint32_t neutral = nNeutralConstant(node->m_nKind);
    CConditionNode* next = nullptr;
    if (neutral != COND_EMPTY && node->m_pLeft && node->m_pLeft->m_nKind == neutral) {
      next = node->m_pRight;
    } else if (neutral != COND_EMPTY && node->m_pRight && node->m_pRight->m_nKind == neutral) {
      next = node->m_pLeft;
    } else {
      break;
    }
    if (!next) return 1;
    node = next;
  }
  const int written = node->bWriteNode(rewriter, parentKind, key, folded, linkedObject);
  // A branch whose neutral side folded on an earlier write stands for its other side: when that side is a constant
  // now, so is the branch, so that its parent (or the key condition at the top, which writes "0=1" for FALSE) reads
  // the same answer as on the first write.
  if (written && *folded && node != this) m_nKind = node->m_nKind;
  return written;
}

int CConditionNode::bWriteNode(CSqlRewriter* rewriter, std::uint32_t parentKind, CKeyCondition* key, int* folded,
                               IHostNamedObject* linkedObject) {
  const std::uint32_t dominant = nDominantConstant(m_nKind);
  if (dominant != COND_EMPTY && ((m_pLeft && m_pLeft->m_nKind == dominant) ||
                                 (m_pRight && m_pRight->m_nKind == dominant))) {
    m_nKind = dominant;
    *folded = 1;
    return 1;
  }
  if (!bIsBranchKind(m_nKind)) {
    // A constant leaf has no text of its own inside a tree: it reports itself folded and its parent decides.
    // (The key condition writes a constant left at the top through bWriteSql.)
    if (bIsConstantKind(m_nKind)) {
      *folded = 1;
      return 1;
    }
    if (m_nKind != COND_QUERY) return bWriteSql(rewriter, key, folded);
    const std::uint64_t before = rewriter->GetStatementText().nGetLength();
    if (!bWriteQuery(rewriter, key, linkedObject)) return 0;
    // A query without a condition restricts nothing; left as it is it would leave a dangling " AND ".
    if (rewriter->GetStatementText().nGetLength() == before) {
      m_nKind = COND_TRUE;
      *folded = 1;
    }
    return 1;
  }
  if (!m_pRight) return bWriteUnary(rewriter, key, folded, linkedObject);
  const STextMark start = Mark(rewriter, key);

  bool open = parentKind != COND_EMPTY && parentKind != COND_OR;
  if (open && !rewriter->nAppendText(u"(")) return 0;
  int leftFolded = 0;
  int rightFolded = 0;
  if (!m_pLeft->bWriteTree(rewriter, m_nKind, key, &leftFolded, linkedObject)) return 0;
  STextMark afterLeft = start;
  if (leftFolded) {
    if (!CutBack(rewriter, key, start)) return 0;
    open = false;
    if (m_pLeft->m_nKind == dominant) {
      m_nKind = dominant;
      *folded = 1;
    } else if (!m_pRight->bWriteTree(rewriter, parentKind, key, &rightFolded, linkedObject)) {
      return 0;
    }
  } else {
    afterLeft = Mark(rewriter, key);
    if (!rewriter->nAppendText(pszGetKindText(m_nKind)) ||
        !m_pRight->bWriteTree(rewriter, m_nKind, key, &rightFolded, linkedObject)) {
      return 0;
    }
  }
  if (rightFolded && !*folded) {
    if (leftFolded) {
      m_nKind = m_pRight->m_nKind;
      *folded = 1;
    } else if (m_pRight->m_nKind == dominant) {
      m_nKind = dominant;
      *folded = 1;
    }
    if (!CutBack(rewriter, key, afterLeft)) return 0;
  }
  if (*folded) return CutBack(rewriter, key, start);
  if (leftFolded) {
    bCopyNullFlags(m_pRight, 0);
  } else if (rightFolded) {
    bCopyNullFlags(m_pLeft, 0);
  } else {
    bMergeNullFlags(m_pLeft, m_pRight);
  }
  return !open || rewriter->nAppendText(u")");
}

int CConditionNode::bWriteUnary(CSqlRewriter* rewriter, CKeyCondition* key, int* folded,
                                IHostNamedObject* linkedObject) {
  if (!m_pLeft) return 1;
  const STextMark start = Mark(rewriter, key);
  int childFolded = 0;
  if (!rewriter->nAppendText(pszGetKindText(m_nKind)) || !rewriter->nAppendText(u"(") ||
      !m_pLeft->bWriteTree(rewriter, m_nKind, key, &childFolded, linkedObject)) {
    return 0;
  }
  if (!childFolded) {
    // The negation admits the NULL rows its comparison kept out, as its null flags say: NULL starts with no prefix,
    // and the order comparison beside it decides where those rows belong. SQL's NOT of an unknown stays unknown, so
    // the comparison is made false for them instead.
    CColumn* column = m_pLeft->m_pColumn;
    if (column && !column->bIsIdentifyingKey() && m_pLeft->nGetNullFlag(column) == 0) {
      CTString reference;
      if (!m_pLeft->bBuildColumnReference(rewriter, SQL_NODE_IS_NULL, reference) ||
          !rewriter->nAppendText(u" AND ") || !rewriter->nAppendText(reference.pszGet()) ||
          !rewriter->nAppendText(u" IS NOT NULL")) {
        return 0;
      }
    }
    if (!rewriter->nAppendText(u")")) return 0;
    bCopyNullFlags(m_pLeft, 1);
    return 1;
  }
  *folded = 1;
  m_nKind = m_pLeft->m_nKind == COND_FALSE ? COND_TRUE : COND_FALSE;
  return CutBack(rewriter, key, start);
}

int CConditionNode::bWriteQuery(CSqlRewriter* rewriter, CKeyCondition* key, IHostNamedObject* linkedObject) {
  if (!m_pQuery) return 0;
  if (!m_pQuery->pGetLinkedObject()) m_pQuery->SetLinkedObject(linkedObject);
  const std::uint32_t first = rewriter->nGetParameterCount();
  if (!rewriter->bAppendQueryCondition(m_pQuery)) return 0;
  return !key || key->AddRewriterParameters(rewriter, first);
}

// ---- tree operations ----

CConditionNode* CConditionNode::pCopyTree() {
  if (bIsBranchKind(m_nKind)) {
    CConditionNode* left = m_pLeft ? m_pLeft->pCopyTree() : nullptr;
    CConditionNode* right = m_pRight ? m_pRight->pCopyTree() : nullptr;
    CConditionNode* copy = nullptr;
    if ((left || !m_pLeft) && (right || !m_pRight)) copy = pNewBranch(m_nKind, left, right, m_nFlags);
    // The copies of the children were made with no reference: a branch that failed leaves them to go now.
    if (!copy) {
      if (left) left->nRelease();
      if (right) right->nRelease();
    }
    return copy;
  }
  CConditionNode* copy = pNewComparison(m_nKind, m_pColumn, m_pValue, m_nFlags);
  if (copy) Exchange(copy->m_pQuery, m_pQuery);
  return copy;
}

int bIsDescendingInTable(CTableDescription* table, CColumn* column) {
  CTable* owner = table ? table->pGetTable() : nullptr;
  if (!owner || !column || owner->nGetColumnQualification() == 0 || owner->bIsSqlQuery()) return 0;
  CQueryDescription* query = owner->pGetQueryDescription();
  IHostItemDescription* entry = query ? query->pFindItemFile(column->pGetDescriptorNoRef()) : nullptr;
  return entry && entry->bIsDescending() ? 1 : 0;
}

CConditionNode* CConditionNode::pDeriveContinuation(CTableDescription* table, CConditionNode* parent,
                                                    std::uint32_t newKind) {
  if (bIsBranchKind(m_nKind)) {
    if (m_pLeft && !m_pLeft->pDeriveContinuation(table, this, newKind)) return nullptr;
    if (m_pRight && !m_pRight->pDeriveContinuation(table, this, newKind)) return nullptr;
    return this;
  }
  if (m_nKind != COND_EQ) return this;
  const std::uint32_t type = m_pColumn ? m_pColumn->nGetType() : COLUMN_TYPE_NONE;
  CHostValue value;
  ReadNodeValue(m_pValue, value);
  // A column the query orders descending is read the other way: beyond a value there lies below it.
  const bool descending = m_pColumn && bIsDescendingInTable(table, m_pColumn);
  const std::uint32_t kind = descending ? nReverseComparison(newKind) : newKind;
  if (bIsTextColumnType(type) && bIsPrefixSearch() && m_pValue && !value.bIsNull()) {
    // Made before the parent lets go of this node, so that the NOT holds it first. The records that start with the
    // prefix lie together in the key order; past them, in the direction read, come the values on that side of it.
    CConditionNode* negated = pNewBranch(COND_NOT, this, nullptr, m_nFlags);
    CConditionNode* beyond = negated ? pNewComparison(kind, m_pColumn, m_pValue, m_nFlags) : nullptr;
    CConditionNode* both = beyond ? negated->pCombine(COND_AND, beyond) : nullptr;
    if (!both) {
      if (negated) negated->nRelease();
      if (beyond) beyond->nRelease();
      return nullptr;
    }
    if (parent) parent->ReplaceChild(this, both);
    return both;
  }
  CHostValue low;
  CHostValue high;
  if ((type == COLUMN_TYPE_TIME || type == COLUMN_TYPE_DATE || type == COLUMN_TYPE_DATETIME) && bIsPrefixSearch() &&
      m_pValue && !value.bIsNull() && bGetPrefixRange(type, value, low, high)) {
    // A partial date or time stands for every value that starts with it, as a text prefix does: beyond it lies what
    // comes after that range, before it what precedes the range's start. Compared with the partial text itself, a
    // date read as text ("20240315" > "2024") would read the first stage's records again.
    CFieldValue* bound =
        pCreateBoundItemThroughDriver(m_pHolder, m_pColumn->pGetConnection(), m_pColumn, kind == COND_GT ? high : low);
    if (!bound) return nullptr;
    bound->AddRef();
    CReferenceGuard<CFieldValue> guard(bound);
    CConditionNode* beyond =
        pNewComparison(kind == COND_GT ? COND_GE : COND_LT, m_pColumn, bound, m_nFlags & ~KEY_FLAG_PREFIX);
    if (beyond && parent) parent->ReplaceChild(this, beyond);
    return beyond;
  }
  m_nKind = kind;
  return this;
}

void CConditionNode::ReplaceChild(CConditionNode* old, CConditionNode* replacement) {
  if (m_pLeft == old) {
    Exchange(m_pLeft, replacement);
  } else if (m_pRight == old) {
    Exchange(m_pRight, replacement);
  }
}

int CConditionNode::bSameCondition(CConditionNode* a, CConditionNode* b) {
  if (a == b) return 1;
  if (!a || !b || a->m_nKind != b->m_nKind || a->m_nFlags != b->m_nFlags) return 0;
  // A comparison's query description is its column's; a query node is its query.
  if (a->m_nKind == COND_QUERY && a->m_pQuery != b->m_pQuery) return 0;
  if (!a->m_pColumn != !b->m_pColumn || !a->m_pValue != !b->m_pValue) return 0;
  if (a->m_pColumn && a->m_pColumn != b->m_pColumn &&
      !CTString(a->m_pColumn->pszGetName()).bEquals(b->m_pColumn->pszGetName() ? b->m_pColumn->pszGetName() : u"")) {
    return 0;
  }
  if (a->m_pValue && a->m_pValue != b->m_pValue && !a->m_pValue->bEquals(b->m_pValue)) return 0;
  return bSameCondition(a->m_pLeft, b->m_pLeft) && bSameCondition(a->m_pRight, b->m_pRight);
}

// ---- copies ----

int CConditionNode::CopyFrom(CConditionNode* source, CHashTable& cloneMap, std::uintptr_t a, std::uintptr_t b) {
  if (source == this) return 1;  // a copy of itself is what it already is
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  Exchange(m_pHolder, source->m_pHolder);
  m_nKind = source->m_nKind;
  m_nFlags = source->m_nFlags;
  CConditionNode* left = nullptr;
  CConditionNode* right = nullptr;
  CQueryDescription* query = nullptr;
  const int copied = bCloneNode(cloneMap, source->m_pLeft, a, b, &left) &&
                     bCloneNode(cloneMap, source->m_pRight, a, b, &right) &&
                     bCloneQuery(cloneMap, source->m_pQuery, &query);
  ReleaseField(m_pLeft);
  ReleaseField(m_pRight);
  ReleaseField(m_pQuery);
  m_pLeft = left;
  m_pRight = right;
  m_pQuery = query;
  if (!copied) return 0;
  CColumn* column = pCloneChild(cloneMap, source->m_pColumn);
  ReleaseField(m_pColumn);
  m_pColumn = column;
  if (source->m_pColumn && !column) return 0;
  CFieldValue* value = pCloneFieldValue(cloneMap, source->m_pValue);
  ReleaseField(m_pValue);
  m_pValue = value;
  if (source->m_pValue && !value) return 0;
  if (m_pNullFlags) m_pNullFlags->RemoveAll();
  return !source->m_pNullFlags || bCopyNullFlags(source, 0);
}

CConditionNode* CConditionNode::pClone(CHashTable& cloneMap, std::uintptr_t a, std::uintptr_t b) {
  return pCloneCaught<CConditionNode>([&](CConditionNode* copy) { return copy->CopyFrom(this, cloneMap, a, b); });
}
