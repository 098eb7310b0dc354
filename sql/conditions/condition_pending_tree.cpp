// Placeholders while the condition trees and their text are being written; each answers failure.
#include "sql/conditions/condition_node.h"
#include "sql/conditions/key_condition.h"

CConditionNode::CConditionNode(CErrorHolder*) {}
CConditionNode::CConditionNode() = default;
CConditionNode::~CConditionNode() = default;
CConditionNode* CConditionNode::pNewNode() { return nullptr; }
int CConditionNode::CopyFrom(CConditionNode*, CHashTable&, std::uintptr_t, std::uintptr_t) { return 0; }
CConditionNode* CConditionNode::pClone(CHashTable&, std::uintptr_t, std::uintptr_t) { return nullptr; }
int CConditionNode::bWriteSql(CSqlRewriter*, CKeyCondition*, int*) { return 0; }
const char16_t* CConditionNode::pszGetKindText(std::uint32_t) { return u""; }
std::int32_t CConditionNode::nMapComparisonKind(std::uint32_t) { return -1; }
void CConditionNode::InitBranch(std::uint32_t, CConditionNode*, CConditionNode*, std::uint32_t) {}
void CConditionNode::InitComparison(std::uint32_t, CColumn*, CFieldValue*, std::uint32_t) {}
int CConditionNode::InitQuery(IHostQueryAnalysis*) { return 0; }
CConditionNode* CConditionNode::pNewBranch(std::uint32_t, CConditionNode*, CConditionNode*, std::uint32_t) {
  return nullptr;
}
CConditionNode* CConditionNode::pNewComparison(std::uint32_t, CColumn*, CFieldValue*, std::uint32_t) {
  return nullptr;
}
CConditionNode* CConditionNode::pCombine(std::uint32_t, CConditionNode*) { return nullptr; }
void CConditionNode::SetFlags(std::uint32_t) {}
int CConditionNode::bEnsureNullFlags() { return 0; }
int CConditionNode::SetNullFlag(std::uint32_t) { return 0; }
int CConditionNode::bCopyNullFlags(CConditionNode*, int) { return 0; }
int CConditionNode::bMergeNullFlags(CConditionNode*, CConditionNode*) { return 0; }
std::uint32_t CConditionNode::nGetNullFlag(CColumn*) { return 1; }
int CConditionNode::bWriteTree(CSqlRewriter*, std::uint32_t, CKeyCondition*, int*, IHostNamedObject*) { return 0; }
int CConditionNode::bWriteQuery(CSqlRewriter*, CKeyCondition*, IHostNamedObject*) { return 0; }
CConditionNode* CConditionNode::pCopyTree() { return nullptr; }
CConditionNode* CConditionNode::pDeriveContinuation(CTableDescription*, CConditionNode*, std::uint32_t) {
  return nullptr;
}
void CConditionNode::ReplaceChild(CConditionNode*, CConditionNode*) {}
std::uint32_t nReverseComparison(std::uint32_t kind) { return kind; }
int bIsDescendingInTable(CTableDescription*, CColumn*) { return 0; }
int bIsTriviallyTrue(std::uint32_t, CConnection*, CHostValue*) { return 0; }
int bGetPrefixRange(std::uint32_t, CHostValue&, CHostValue&, CHostValue&) { return 0; }
int bGetPrefixLowBound(std::uint32_t, CHostValue&, CHostValue&) { return 0; }
int bGetPrefixHighBound(std::uint32_t, CHostValue&, CHostValue&) { return 0; }

CKeyCondition::CKeyCondition(CErrorHolder*, CConnection*) {}
CKeyCondition::CKeyCondition() = default;
CKeyCondition::~CKeyCondition() = default;
void CKeyCondition::Init() {}
int CKeyCondition::bIsCompositeSearch() const { return 0; }
void CKeyCondition::ClearLeaves() {}
CValueLeaf* CKeyCondition::pAddLeaf(CColumn*, CFieldValue*, std::uint64_t, std::uint32_t) { return nullptr; }
void CKeyCondition::AddLeaf(CValueLeaf*) {}
void CKeyCondition::AddRewriterParameters(CSqlRewriter*, std::uint32_t) {}
void CKeyCondition::DropLeavesFrom(std::uint64_t) {}
CValueLeaf* CKeyCondition::pGetLeaf(std::uint32_t) const { return nullptr; }
void CKeyCondition::SetSearchItem(CColumnDescriptor*) {}
CConditionNode* CKeyCondition::pNewNode() { return nullptr; }
