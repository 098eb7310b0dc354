#include "sql/rewriter/value_leaf.h"

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/values/field_value.h"
#include "host/host_result_codes.h"
#include "sql/rewriter/rewriter_clones.h"
#include "sql/connection.h"
#include "sql/driver_services.h"

namespace {

bool bSameText(const char16_t* a, const char16_t* b) { return CTString(a).bEquals(b ? b : u"") != 0; }

// The bound type of a column: its secondary descriptor's type, unless the connection refuses that server type.
std::uint32_t nBoundTypeOf(CColumn* column) {
  CColumnDescriptor* secondary = column->pGetSecondaryDescriptor();
  if (!secondary) return 0;
  CConnection* connection = column->pGetConnection();
  if (connection && connection->bIsUntypedServerType(secondary->nGetServerTypeCode())) return 0;
  return secondary->nGetType();
}

}  // namespace

CValueLeaf::CValueLeaf(CFieldValue* value, std::uint64_t position, std::uint32_t flags, const char16_t* name)
    : m_pFieldValue(value), m_nPosition(position), m_nFlags(flags), m_strName(name ? name : u""),
      m_nKind(LEAF_KIND_NONE) {
  AddRefObject(m_pFieldValue);
}

CValueLeaf::~CValueLeaf() {
  // A field value with its keep-alive word set outlives its last holder.
  ReleaseArrayElement(nullptr, m_pFieldValue);
  if (m_pColumn) m_pColumn->nRelease();
  if (m_pDescriptor) m_pDescriptor->nRelease();
}

void CValueLeaf::SetDescriptor(CColumnDescriptor* descriptor) {
  if (descriptor) descriptor->AddRef();
  if (m_pDescriptor) m_pDescriptor->nRelease();
  m_pDescriptor = descriptor;
}

void CValueLeaf::SetColumn(CColumn* column) {
  AddRefObject(column);
  if (m_pColumn) m_pColumn->nRelease();
  m_pColumn = column;
  SetDescriptor(column ? column->pGetDescriptorNoRef() : nullptr);
}

int CValueLeaf::nSetValue(CHostValue& value) {
  // The field value answers 1 or 0; the leaf's callers read a result code, a refusal being a failure code.
  if (m_pFieldValue && m_pFieldValue->bSetValue(value)) return HOST_OK;
  return HOST_ERR_CANNOT_CONVERT;
}

int CValueLeaf::bLoadFileValue() {
  if (!m_pFieldValue) return 0;
  CTString fileName;
  if (const void* data = m_pFieldValue->pGetData()) {
    if (m_pFieldValue->bIsWideText()) {
      fileName = static_cast<const char16_t*>(data);
    } else {
      fileName.AssignFromAnsi(static_cast<const char*>(data));
    }
  }
  const bool asText = (m_nFlags & (LEAF_FLAG_FILE_VALUE | LEAF_FLAG_FILE_AS_TEXT)) ==
                      (LEAF_FLAG_FILE_VALUE | LEAF_FLAG_FILE_AS_TEXT);
  const int loaded = m_pFieldValue->bLoadFromFile(fileName.pszGet(), asText ? 0 : 1);
  if (loaded) m_nFlags &= ~LEAF_FLAG_FILE_VALUE;
  return loaded;
}

int CValueLeaf::bGetTypes(std::uint32_t* boundType, std::uint32_t* columnType) {
  if (m_pColumn) {
    *boundType = nBoundTypeOf(m_pColumn);
    *columnType = m_pColumn->nGetType();
    return 1;
  }
  *boundType = m_pFieldValue ? m_pFieldValue->nGetSecondaryTypeChecked() : 0;
  CColumnDescriptor* primary = m_pFieldValue ? m_pFieldValue->pGetPrimary() : nullptr;
  *columnType = primary ? primary->nGetType() : 0;
  return *boundType || *columnType ? 1 : 0;
}

int CValueLeaf::bEquals(CValueLeaf* other) {
  if (other == this) return 1;
  if (!other) return 0;
  if (m_nPosition != other->m_nPosition || m_nFlags != other->m_nFlags || m_nEscapeChar != other->m_nEscapeChar ||
      m_nOrigin != other->m_nOrigin) {
    return 0;
  }
  if (m_pFieldValue != other->m_pFieldValue) {
    if (!m_pFieldValue || !other->m_pFieldValue || !m_pFieldValue->bEquals(other->m_pFieldValue)) return 0;
  }
  if (!m_pColumn != !other->m_pColumn) return 0;
  if (m_pColumn && !bSameText(m_pColumn->pszGetName(), other->m_pColumn->pszGetName())) return 0;
  if (!m_pDescriptor != !other->m_pDescriptor) return 0;
  if (m_pDescriptor && !bSameText(m_pDescriptor->pszGetName(), other->m_pDescriptor->pszGetName())) return 0;
  return 1;
}

CValueLeaf* CValueLeaf::pDuplicate() {
  CValueLeaf* copy = pCreateValueLeafThroughDriver(m_pFieldValue, m_nPosition, m_nFlags, m_strName.pszGet());
  if (!copy) return nullptr;
  copy->AddRef();
  copy->SetColumn(m_pColumn);
  copy->SetDescriptor(m_pDescriptor);
  copy->m_nEscapeChar = m_nEscapeChar;
  return copy;
}

int CValueLeaf::CopyFrom(CValueLeaf* source, CHashTable& cloneMap) {
  if (source == this) return 1;  // a copy of itself is what it already is
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  if (source->m_pFieldValue) {
    CFieldValue* copy = pCloneFieldValue(cloneMap, source->m_pFieldValue);
    if (!copy) return 0;
    ReleaseArrayElement(nullptr, m_pFieldValue);
    m_pFieldValue = copy;
  }
  if (source->m_pColumn) {
    CColumn* column = pCloneChild(cloneMap, source->m_pColumn);
    if (!column) return 0;
    if (m_pColumn) m_pColumn->nRelease();
    m_pColumn = column;
  }
  m_nPosition = source->m_nPosition;
  m_nFlags = source->m_nFlags;
  m_strName = source->m_strName;
  m_nEscapeChar = source->m_nEscapeChar;
  m_nKind = source->m_nKind;
  m_nOrigin = source->m_nOrigin;
  SetDescriptor(source->m_pDescriptor);
  return 1;
}

CValueLeaf* CValueLeaf::pClone(CHashTable& cloneMap) {
  return pCloneCaught<CValueLeaf>([&](CValueLeaf* copy) { return copy->CopyFrom(this, cloneMap); });
}
