// The key condition's life and its leaf list: the value leaves its last written text refers to, in text order, so
// that the statement can bind them; the search item it keeps; the node factory of its trees.
#include <new>

#include "engine/record/column_descriptor.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "foundation/x_error.h"
#include "sql/conditions/key_condition.h"
#include "sql/connection.h"
#include "sql/driver_services.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"

namespace {

template <class T>
void ReleaseMember(T*& member) {
  if (member) member->nRelease();
  member = nullptr;
}

}  // namespace

CKeyCondition::CKeyCondition(CErrorHolder* holder, CConnection* connection) {
  Init();
  Exchange(m_pHolder, holder);
  Exchange(m_pConnection, connection);
}

CKeyCondition::CKeyCondition() { Init(); }

CKeyCondition::~CKeyCondition() {
  Init();
  ReleaseMember(m_pConnection);
  ReleaseMember(m_pHolder);
}

// Called on a live object too, so what it held is given back rather than forgotten; the holder and connection stay
// (they are null only while the first constructor runs).
void CKeyCondition::Init() {
  m_nStage = KEY_STAGE_NONE;
  m_nDirection = 4;
  m_nReadFlag = 0;
  m_bEmptyTextIsNull = 0;
  m_nFlags = 0;
  ReleaseMember(m_pFirstStage);
  ReleaseMember(m_pForward);
  ReleaseMember(m_pBackward);
  ReleaseMember(m_pCurrent);
  SetSearchItem(nullptr);
  ClearLeaves();
  m_searchValue.SetType(HOST_TYPE_EMPTY);
}

CConditionNode* CKeyCondition::pNewNode() {
  CConditionNode* node = pNewConditionNode(m_pHolder, m_pConnection);
  if (!node) NoteBuildFailure();
  return node;
}

int CKeyCondition::bIsCompositeSearch() const {
  if ((m_nFlags & KEY_FLAG_FROM_RECORD) != 0 || !m_pSearchItem) return 0;
  return m_pSearchItem->bIsCompositeKey() ? 1 : 0;
}

void CKeyCondition::ClearLeaves() {
  while (m_leaves.nGetCount() > 0) {
    const std::uint32_t last = m_leaves.nGetCount() - 1;
    CRefCounted* leaf = m_leaves.pGetObject(last);
    m_leaves.RemoveAt(last);
    ReleaseArrayElement(&m_leaves, leaf);
  }
}

CValueLeaf* CKeyCondition::pAddLeaf(CColumn* column, CFieldValue* value, std::uint64_t position,
                                    std::uint32_t flags) {
  CValueLeaf* leaf = pCreateValueLeafForThroughDriver(column, value, position, flags);
  if (!leaf) {
    RaiseModuleError(m_pHolder, 0, ERROR_UNIT_CONDITIONS, CONDITION_POINT_ELEMENT, m_pConnection, nullptr,
                     CONDITION_ERROR_OUT_OF_MEMORY);
    return nullptr;
  }
  // The list's reference keeps the leaf alive; a leaf the list could not take goes at once.
  leaf->AddRef();
  CReferenceGuard<CValueLeaf> made(leaf);
  return AddLeaf(leaf) ? leaf : nullptr;
}

int CKeyCondition::AddLeaf(CValueLeaf* leaf) {
  if (!leaf) return 1;
  leaf->AddRef();
  if (m_leaves.Add(leaf)) return 1;
  leaf->nRelease();
  RaiseModuleError(m_pHolder, 0, ERROR_UNIT_CONDITIONS, CONDITION_POINT_ELEMENT, m_pConnection, nullptr,
                   CONDITION_ERROR_OUT_OF_MEMORY);
  return 0;
}

int CKeyCondition::AddRewriterParameters(CSqlRewriter* rewriter, std::uint32_t first) {
  for (std::uint32_t i = first; i < rewriter->nGetParameterCount(); ++i) {
    if (!AddLeaf(rewriter->pGetParameter(i))) return 0;
  }
  return 1;
}

void CKeyCondition::DropLeavesFrom(std::uint64_t position) {
  while (m_leaves.nGetCount() > 0) {
    const std::uint32_t last = m_leaves.nGetCount() - 1;
    CValueLeaf* leaf = pGetLeaf(last);
    if (!leaf || leaf->nGetPosition() < position) return;
    m_leaves.RemoveAt(last);
    leaf->nRelease();
  }
}

CValueLeaf* CKeyCondition::pGetLeaf(std::uint32_t i) const {
  return i < m_leaves.nGetCount() ? static_cast<CValueLeaf*>(m_leaves.pGetObject(i)) : nullptr;
}

void CKeyCondition::SetSearchItem(CColumnDescriptor* item) {
  if (item == m_pSearchItem) return;
  if (item) item->AddRef();
  CColumnDescriptor* old = m_pSearchItem;
  m_pSearchItem = item;
  if (old) old->nRelease();
}
