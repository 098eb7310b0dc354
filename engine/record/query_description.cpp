#include "engine/record/query_description.h"

#include <cstring>
#include <new>

#include "engine/table/table.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/host_locale.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "sql/rewriter/sql_rewriter.h"

namespace {

bool bSameName(const char16_t* a, const char16_t* b) { return nHostCompareNoCase(a, b) == 0; }

bool bIsExpression(IHostItemDescription* item) { return item->nGetItemKind() != 0; }

constexpr std::uint32_t NODE_FUNCTION_CALL = 47;
constexpr std::uint32_t NODE_LEAF = 48;
constexpr std::uint32_t NODE_OTHER_LEAF = 49;

}  // namespace

// ---- CDescriptorSnapshot ----

CDescriptorSnapshot::CDescriptorSnapshot(IHostIndexDescriptor* source)
    : m_strName(source->pszGetName()),
      m_strSecondText(source->pszGetSecondText()),
      m_strThirdText(source->pszGetThirdText()),
      m_strFifthText(source->pszGetFifthText()),
      m_strSixthText(source->pszGetSixthText()),
      m_nNumber(source->nGetNumber()),
      m_nTextStart(source->nGetTextStart()),
      m_nTextEnd(source->nGetTextEnd()),
      m_abIdentifier{} {
  source->GetIdentifier(m_abIdentifier);
}

const char16_t* CDescriptorSnapshot::pszGetName() { return m_strName.pszGet(); }
std::uint32_t CDescriptorSnapshot::nGetNumber() { return m_nNumber; }
const char16_t* CDescriptorSnapshot::pszGetSecondText() { return m_strSecondText.pszGet(); }
const char16_t* CDescriptorSnapshot::pszGetThirdText() { return m_strThirdText.pszGet(); }
void CDescriptorSnapshot::GetIdentifier(std::uint8_t* out) { std::memcpy(out, m_abIdentifier, sizeof m_abIdentifier); }
const char16_t* CDescriptorSnapshot::pszGetFifthText() { return m_strFifthText.pszGet(); }
const char16_t* CDescriptorSnapshot::pszGetSixthText() { return m_strSixthText.pszGet(); }
std::uint32_t CDescriptorSnapshot::nGetTextStart() { return m_nTextStart; }
std::uint32_t CDescriptorSnapshot::nGetTextEnd() { return m_nTextEnd; }

void CDescriptorSnapshot::DeletingDestructor(std::uint32_t flags) {
  if (flags & 1) {
    delete this;
  } else {
    this->~CDescriptorSnapshot();
  }
}

std::uint32_t CDescriptorSnapshot::nRelease() {
  if (m_nRefCount == 0) return 0;
  if (--m_nRefCount == 0) {
    DeletingDestructor(1);
    return 0;
  }
  return m_nRefCount;
}

// ---- CQueryDescription ----

CQueryDescription::CQueryDescription(CErrorHolder* errorHolder) : m_pErrorHolder(errorHolder) {
  if (m_pErrorHolder) m_pErrorHolder->AddRef();
}

CQueryDescription::CQueryDescription(CErrorHolder* errorHolder, IHostQueryAnalysis* query,
                                     IHostNamedObject* linkedObject, std::uint32_t skipExtras)
    : CQueryDescription(errorHolder) {
  bFill(query, linkedObject, skipExtras);
}

CQueryDescription::~CQueryDescription() {
  Reset();
  SetLinkedObject(nullptr);
  if (m_pErrorHolder) m_pErrorHolder->nRelease();
}

void CQueryDescription::SetQuery(IHostQueryAnalysis* query) {
  if (query) query->AddRef();
  if (m_pQuery) m_pQuery->Release();
  m_pQuery = query;
}

void CQueryDescription::SetExtras(IHostQueryPart* first, IHostQueryPart* second) {
  if (first) first->AddRef();
  if (second) second->AddRef();
  if (m_pFirstExtra) m_pFirstExtra->Release();
  if (m_pSecondExtra) m_pSecondExtra->Release();
  m_pFirstExtra = first;
  m_pSecondExtra = second;
}

void CQueryDescription::Reset() {
  m_pIdentifyingItem = m_pAutomaticIdentifierItem = m_pUniqueKeyItem = m_pKeyItem = m_pFirstLinkItem = nullptr;
  m_kind3Entries.RemoveAll();
  m_kind4Entries.RemoveAll();
  m_links.RemoveAll();
  m_descriptors.RemoveAll();
  m_items.RemoveAll();
  m_files.RemoveAll();
  SetExtras(nullptr, nullptr);
  SetQuery(nullptr);
  m_nKind = 0;
  m_bHasAggregate = 0;
  m_bHasNonUpdatableItem = 0;
}

void CQueryDescription::ClassifyItem(IHostItemDescription* item) {
  if (!m_bHasAggregate && bIsExpression(item)) {
    IHostItemDescription* sub = item->piGetSubDescription();
    if (sub && bIsAggregateKind(sub->nGetItemKind())) m_bHasAggregate = 1;
  }
  if (!item->bIsUpdatable()) m_bHasNonUpdatableItem = 1;
  // Keys and automatic identifiers come from the columns of a query over one table only.
  if (m_files.nGetCount() != 1 || bIsExpression(item) || m_pAutomaticIdentifierItem) return;
  IHostItemDescription* column = pFindTableColumn(item);
  if (!column) return;
  if (!column->bIsCompositeKey() && CTable::bIsKeyUsable(column)) {
    m_pAutomaticIdentifierItem = m_pUniqueKeyItem = m_pKeyItem = item;
  } else if (!m_pUniqueKeyItem && column->bIsUnique()) {
    m_pUniqueKeyItem = m_pKeyItem = item;
  } else if (!m_pKeyItem && column->bIsKeyWithDuplicates()) {
    m_pKeyItem = item;
  }
}

int CQueryDescription::bFill(IHostQueryAnalysis* query, IHostNamedObject* linkedObject, std::uint32_t skipExtras) {
  Reset();
  if (!query) return 1;
  SetQuery(query);
  int result = 1;
  for (IHostQueryFile* file = query->piWalkFiles(1); file && result; file = query->piWalkFiles(0)) {
    result = m_files.bAdd(file);
  }
  for (IHostItemDescription* item = query->piWalkItems(1); item && result; item = query->piWalkItems(0)) {
    result = m_items.bAdd(item);
    if (result) ClassifyItem(item);
  }
  if (result && !skipExtras) {
    const std::uint32_t count = query->nGetDescriptorCount();
    for (std::uint32_t i = 0; i < count && result; ++i) {
      IHostIndexDescriptor* source = query->piGetDescriptor(i);
      if (!source) continue;
      auto* snapshot = new (std::nothrow) CDescriptorSnapshot(source);
      result = snapshot && m_descriptors.bAdd(snapshot);
      if (snapshot && !result) snapshot->DeletingDestructor(1);
    }
    for (IHostKeyLink* link = query->piWalkLinks(1); link && result; link = query->piWalkLinks(0)) {
      result = m_links.bAdd(link);
      if (result && m_links.nGetCount() == 1)
        m_pFirstLinkItem = m_pIdentifyingItem = m_items.pGet(link->nGetItemIndex());
    }
  }
  if (!m_pIdentifyingItem && m_items.nGetCount() > 0) {
    m_pIdentifyingItem = m_pAutomaticIdentifierItem ? m_pAutomaticIdentifierItem
                         : m_pUniqueKeyItem         ? m_pUniqueKeyItem
                         : m_pKeyItem               ? m_pKeyItem
                                                    : m_items.pGet(0);
  }
  const std::uint32_t kind = query->nGetKind();
  if (result && kind == 3) {
    for (IHostQueryPart* entry = query->piWalkKind3Entries(1); entry && result; entry = query->piWalkKind3Entries(0)) {
      result = m_kind3Entries.bAdd(entry);
    }
  } else if (result && kind == 4) {
    for (IHostQueryPart* entry = query->piWalkKind4Entries(1); entry && result; entry = query->piWalkKind4Entries(0)) {
      result = m_kind4Entries.bAdd(entry);
    }
  }
  m_nKind = kind;
  IHostQueryPart* first = query->piGetFirstExtra();
  SetExtras(first, skipExtras ? nullptr : query->piGetSecondExtra());
  SetLinkedObject(linkedObject);
  if (!result) SetHolderOutOfMemory(m_pErrorHolder);
  return result;
}

IHostItemDescription* CQueryDescription::pFindItem(const char16_t* name) {
  for (std::uint32_t i = 0; i < m_items.nGetCount(); ++i) {
    if (bSameName(m_items.pGet(i)->pszGetName(), name)) return m_items.pGet(i);
  }
  return nullptr;
}

int CQueryDescription::pFindFile(const char16_t* name, void** out) {
  for (std::uint32_t i = 0; i < m_files.nGetCount(); ++i) {
    IHostQueryFile* file = m_files.pGet(i);
    if (!bSameName(file->pszGetName(), name)) continue;
    const int aliased = !bSameName(file->pszGetAlias(), file->pszGetName());
    if (!aliased && out) *out = m_pQuery->piLookupFile(file);
    return aliased;
  }
  if (out) *out = pFindHostItem(name);
  return 0;
}

void* CQueryDescription::pFindHostItem(const char16_t* name) { return m_pQuery ? m_pQuery->piFindItem(name) : nullptr; }

IHostItemDescription* CQueryDescription::pFindItemFile(IHostItemDescription* column) {
  for (std::uint32_t i = 0; i < m_items.nGetCount(); ++i) {
    IHostItemDescription* item = m_items.pGet(i);
    if (!bSameName(item->pszGetName(), column->pszGetName())) continue;
    if (!bSameName(item->pszGetOrigin(), column->pszGetCaption())) continue;
    const char16_t* file = pResolveAlias(item->pszGetFileName());
    if (bSameName(file ? file : item->pszGetFileName(), column->pszGetTableName())) return item;
  }
  return nullptr;
}

const char16_t* CQueryDescription::pResolveAlias(const char16_t* name) { return pResolveHostName(name, m_pQuery); }

const char16_t* CQueryDescription::pResolveHostName(const char16_t* name, IHostQueryAnalysis* statement) {
  if (!statement || !name || !name[0]) return nullptr;
  // The runtime's lookup may throw anything; a name it cannot resolve is simply not resolved.
  try {
    return statement->pszResolveAlias(name);
  } catch (...) {
    return nullptr;
  }
}

IHostItemDescription* CQueryDescription::pFindTableColumn(IHostItemDescription* item) {
  if (!m_pQuery || !item || bIsExpression(item)) return nullptr;
  try {
    return m_pQuery->piGetColumnOfItem(item);
  } catch (...) {
    return nullptr;
  }
}

int CQueryDescription::bIsAutomaticIdentifierItem(IHostItemDescription* item) {
  if (item == m_pAutomaticIdentifierItem) return 1;
  IHostItemDescription* column = pFindTableColumn(item);
  return column && CTable::bIsKeyUsable(column);
}

int CQueryDescription::bIsUniqueKeyItem(IHostItemDescription* item) {
  if (item == m_pUniqueKeyItem) return 1;
  IHostItemDescription* column = pFindTableColumn(item);
  return column && column->bIsUnique();
}

int CQueryDescription::bItemHasAggregate(IHostItemDescription* column) {
  IHostItemDescription* item = pFindItem(column->pszGetName());
  if (!item) return 0;
  if (!bIsExpression(item)) return column->bIsMemo();
  IHostExpressionNode* tree = item->piGetExpression();
  return tree && bHasAggregate(tree);
}

int CQueryDescription::bAllowsRowIdentity() {
  if (m_bHasAggregate || m_descriptors.nGetCount() > 0 || m_bHasNonUpdatableItem) return 0;
  // DISTINCT as a keyword in any case, whatever separates it from its neighbours (a tab, a parenthesis); inside a
  // literal or a quoted name it is a value or a name and allows the row identity.
  const char16_t* text = nGetHostQueryKind();
  return nFindKeywordBackward(text ? text : u"", -1, u"DISTINCT", -1, u"\"", u"\"") < 0 ? 1 : 0;
}

void CQueryDescription::SetLinkedObject(IHostNamedObject* object) {
  if (object) object->AddExternalRef();
  if (m_pLinkedObject) m_pLinkedObject->ReleaseExternalRef();
  m_pLinkedObject = object;
}

std::uint32_t CQueryDescription::nGetLinkedObjectValue() { return m_pLinkedObject ? m_pLinkedObject->nIsPending() : 0; }

IHostQueryAnalysis* CQueryDescription::pGetHostDescription() {
  if (m_pQuery) m_pQuery->AddRef();
  return m_pQuery;
}

const char16_t* CQueryDescription::nGetHostQueryKind() { return m_pQuery ? m_pQuery->pszGetSqlText() : nullptr; }

int CQueryDescription::CopyFrom(CQueryDescription* source, CHashTable& cloneMap) {
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  Exchange(m_pErrorHolder, source->m_pErrorHolder);
  SetQuery(source->m_pQuery);
  // A copy answers as its source does: the non-updatable flag and the kind-3 and kind-4 entries go with the rest,
  // so that a copy never allows a row identity its source refused.
  if (!m_files.bCopyFrom(source->m_files) || !m_items.bCopyFrom(source->m_items) ||
      !m_descriptors.bCopyFrom(source->m_descriptors) || !m_links.bCopyFrom(source->m_links) ||
      !m_kind3Entries.bCopyFrom(source->m_kind3Entries) || !m_kind4Entries.bCopyFrom(source->m_kind4Entries)) {
    return 0;
  }
  m_nKind = source->m_nKind;
  m_bHasAggregate = source->m_bHasAggregate;
  m_bHasNonUpdatableItem = source->m_bHasNonUpdatableItem;
  m_pIdentifyingItem = source->m_pIdentifyingItem;
  m_pAutomaticIdentifierItem = source->m_pAutomaticIdentifierItem;
  m_pUniqueKeyItem = source->m_pUniqueKeyItem;
  m_pKeyItem = source->m_pKeyItem;
  m_pFirstLinkItem = source->m_pFirstLinkItem;
  SetExtras(source->m_pFirstExtra, source->m_pSecondExtra);
  // The linked object is the runtime's: a copy shares it.
  SetLinkedObject(source->m_pLinkedObject);
  return 1;
}

CQueryDescription* CQueryDescription::pClone(CHashTable& cloneMap) {
  return pCloneByCopy(this, cloneMap, [] { return new (std::nothrow) CQueryDescription(nullptr); });
}

int bHasAggregate(IHostExpressionNode* node) {
  const std::uint32_t kind = node->nGetKind();
  if (kind == NODE_FUNCTION_CALL) {
    const std::uint32_t code = node->nGetFunctionCode();
    if (code == 15 || code == 16 || code == 29 || code == 30 || code == 40) return 1;
  } else if (kind == NODE_LEAF || kind == NODE_OTHER_LEAF) {
    return 0;
  }
  const std::uint32_t count = node->nGetChildCount();
  for (std::uint32_t i = 0; i < count; ++i) {
    IHostExpressionNode* child = node->piGetChild(i);
    if (child && bHasAggregate(child)) return 1;
  }
  return 0;
}

int bIsAggregateKind(std::uint32_t kind) { return kind >= 27 && kind <= 31; }

int nIsFunctionExpressionCode(std::uint32_t code) {
  struct Range {
    std::uint32_t first, last;
  };
  static constexpr Range kRanges[] = {{6, 8}, {27, 31}, {34, 46}, {50, 57}, {59, 66}, {68, 72}, {74, 95}, {97, 103}};
  for (const Range& range : kRanges) {
    if (code >= range.first && code <= range.last) return 1;
  }
  return 0;
}
