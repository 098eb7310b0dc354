// Placeholders while the key conditions' stages, searches and construction are being written; each answers
// failure.
#include "sql/conditions/key_condition.h"

int CKeyCondition::bWriteSql(CSqlRewriter*, CKeyCondition*, IHostNamedObject*) { return 0; }
CKeyCondition* CKeyCondition::pClone() { return nullptr; }
int CKeyCondition::CopyFrom(CKeyCondition*, CHashTable&, std::uintptr_t, std::uintptr_t) { return 0; }
CKeyCondition* CKeyCondition::pNewWithArgs(CKeyCondition*, CHashTable&, std::uintptr_t, std::uintptr_t) {
  return nullptr;
}
CKeyCondition* CKeyCondition::pNew() { return nullptr; }
void CKeyCondition::Restart(int) {}
void CKeyCondition::Reset() {}
int CKeyCondition::bNeedsRebuild(std::uint32_t) const { return 0; }
int CKeyCondition::bAdvance(std::uint32_t) { return 0; }
int CKeyCondition::bSetSearch(CTableDescription*, CColumnDescriptor*, CHostValue*, std::uint32_t, int) { return 0; }
int CKeyCondition::bSetRecordSearch(CTableDescription*, CColumnDescriptor*, std::uintptr_t, int) { return 0; }
int CKeyCondition::bSetSearchCore(CTableDescription*, CColumnDescriptor*, CHostValue*, std::uint32_t,
                                  std::uint32_t) {
  return 0;
}
int CKeyCondition::bSetRange(CTableDescription*, CColumnDescriptor*, CHostValue*, int, CHostValue*, int,
                             IHostQueryAnalysis*, std::uint32_t) {
  return 0;
}
CColumn* CKeyCondition::pGetPositionKeyColumn(CTableDescription*) { return nullptr; }
int CKeyCondition::bEquals(CKeyCondition*) { return 0; }
CConditionNode* CKeyCondition::pBuildStage(CTableDescription*, CColumnDescriptor*, std::uint32_t, CHostValue*,
                                           std::uint32_t) {
  return nullptr;
}
CConditionNode* CKeyCondition::pBuildSingle(CTableDescription*, CColumn*, std::uint32_t, CHostValue*, std::uint32_t) {
  return nullptr;
}
CConditionNode* CKeyCondition::pBuildMulti(CTableDescription*, CColumn*, std::uint32_t, CHostValue*, std::uint32_t) {
  return nullptr;
}
void CKeyCondition::ReleaseConditions() {}
void CKeyCondition::SetCurrent(CConditionNode*) {}
