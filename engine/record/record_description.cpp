#include "engine/record/record_description.h"

#include <new>
#include <string>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/query_description.h"
#include "engine/record/record_factories.h"
#include "engine/table/table.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/host_locale.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "foundation/x_error.h"
#include "sql/connection.h"
#include "sql/driver_services.h"

namespace {

constexpr std::uint32_t ERROR_ITEM_NOT_IN_DESCRIPTION = 20;
constexpr std::uint32_t ERROR_ITEM_NOT_FOUND = 26;

bool bIsBlank(char16_t unit) { return unit == u' ' || unit == u'\t' || unit == u'\r' || unit == u'\n'; }

void StripTrailingBlanks(CTString& text) {
  std::size_t n = text.nGetLength();
  while (n > 0 && bIsBlank(text.nGetAt(n - 1))) --n;
  text.Truncate(static_cast<std::int64_t>(n));
}

}  // namespace

// ---- CRecordDescription ----

CRecordDescription::CRecordDescription(CConnection* connection, CErrorHolder* errorHolder)
    : m_pErrorHolder(errorHolder), m_pConnection(connection) {
  if (m_pErrorHolder) m_pErrorHolder->AddRef();
  if (m_pConnection) m_pConnection->AddRef();
}

CRecordDescription::~CRecordDescription() {
  // The connection goes back through the driver, which may close a connection that nothing else uses.
  ReleaseConnectionThroughDriver(m_pConnection);
  m_pConnection = nullptr;
  if (m_pErrorHolder) m_pErrorHolder->nRelease();
  m_pErrorHolder = nullptr;
  SetIdentifyingKey(nullptr);
  m_largeItems.RemoveAll();
  m_keys.RemoveAll();
  m_items.RemoveAll();
}

std::uint32_t CRecordDescription::nGetInterfaceLevel() { return 6; }
std::int32_t CRecordDescription::nSlot1() { return 1; }
std::int32_t CRecordDescription::nSlot2() { return -1; }
std::int32_t CRecordDescription::nSlot3() { return -1; }
void CRecordDescription::Slot4() {}

std::uint32_t CRecordDescription::AddExternalRef() { return ++m_nExternalCount; }

std::uint32_t CRecordDescription::nReleaseExternal() {
  return nDropOneOfTwoCounts(m_nExternalCount, m_nRefCount, [this] { DeletingDestructor(1); });
}

std::uint32_t CRecordDescription::nRelease() {
  return nDropOneOfTwoCounts(m_nRefCount, m_nExternalCount, [this] { DeletingDestructor(1); });
}

const char16_t* CRecordDescription::pszGetName() { return m_strName.pszGet(); }
const char16_t* CRecordDescription::pszGetNameAgain() { return m_strName.pszGet(); }
const char16_t* CRecordDescription::pszGetEmptyText() { return u""; }
std::uint32_t CRecordDescription::nGetRecordSize() { return m_nRecordSize; }
std::uint32_t CRecordDescription::nGetFullSize() { return m_nFullSize; }
std::uint32_t CRecordDescription::nGetItemCount() { return m_items.nGetCount(); }
std::uint32_t CRecordDescription::nGetKeyCount() { return m_keys.nGetCount(); }
std::uint32_t CRecordDescription::nGetLargeItemCount() { return m_largeItems.nGetCount(); }
std::uint32_t CRecordDescription::nGetColumnCount() { return nGetItemCount(); }

namespace {

// An item of a list handed out with a reference; null past the end.
void* pHandOut(const CDescriptorList& list, std::uint32_t index) {
  if (index >= list.nGetCount()) return nullptr;
  CColumnDescriptor* item = list.pGet(index);
  item->AddRef();
  return static_cast<IHostItemDescription*>(item);
}

}  // namespace

void* CRecordDescription::piGetItem(std::uint32_t index) { return pHandOut(m_items, index); }
void* CRecordDescription::piFindItem(const char16_t* name) {
  return static_cast<IHostItemDescription*>(piFindItemEx(name, FIND_ITEM_DEFAULT));
}
void* CRecordDescription::piGetKey(std::uint32_t index) { return pHandOut(m_keys, index); }
void* CRecordDescription::piGetLargeItem(std::uint32_t index) { return pHandOut(m_largeItems, index); }
std::int32_t CRecordDescription::nSlot20() { return 1; }
const char16_t* CRecordDescription::pszGetSqlTableName() { return m_strSqlTableName.pszGet(); }
void* CRecordDescription::piGetIdentifyingKey() {
  if (!m_pIdentifyingKey) SetIdentifyingKey(pChooseIdentifyingKey());
  if (!m_pIdentifyingKey) return nullptr;
  m_pIdentifyingKey->AddRef();
  return static_cast<IHostItemDescription*>(m_pIdentifyingKey);
}

CColumnDescriptor* CRecordDescription::pChooseIdentifyingKey() {
  if (m_items.nGetCount() == 0) return nullptr;
  if (m_keys.nGetCount() == 0) {
    for (std::uint32_t i = 0; i < m_items.nGetCount(); ++i) {
      if (!m_items.pGet(i)->bIsMemo()) return m_items.pGet(i);
    }
    return m_items.pGet(0);
  }
  CColumnDescriptor* candidate = nullptr;
  for (std::uint32_t i = 0; i < m_keys.nGetCount(); ++i) {
    CColumnDescriptor* key = m_keys.pGet(i);
    if (key->bIsPrimaryKey()) return key;
    if (!candidate) {
      if (key->bIsUnique()) candidate = key;
    } else if (!CTable::bIsKeyUsable(candidate) && CTable::bIsKeyUsable(key)) {
      candidate = key;
    }
  }
  return candidate ? candidate : m_keys.pGet(0);
}
const char16_t* CRecordDescription::pszGetSecondaryName() { return m_strSecondaryName.pszGet(); }
const char16_t* CRecordDescription::pszGetTertiaryName() { return m_strTertiaryName.pszGet(); }
const char16_t* CRecordDescription::pszGetOwnerName() { return m_strOwnerName.pszGet(); }

const char16_t* CRecordDescription::pszGetDatabaseName() {
  return m_pConnection ? m_pConnection->pszGetDatabaseName() : u"";
}

std::int32_t CRecordDescription::nSlot27() { return 0; }
std::int32_t CRecordDescription::nSlot28() { return 0; }
std::int32_t CRecordDescription::nSlot29() { return 1; }
void CRecordDescription::Slot30() {}
void CRecordDescription::Slot31() {}
void CRecordDescription::Slot32() {}
void CRecordDescription::Slot33() {}
void CRecordDescription::Slot34() {}
void CRecordDescription::Slot35() {}
void CRecordDescription::Slot36() {}
void CRecordDescription::Slot37() {}
void CRecordDescription::Slot38() {}
void CRecordDescription::Slot39() {}

void CRecordDescription::DeletingDestructor(std::uint32_t flags) {
  if (flags & 1) {
    delete this;
  } else {
    this->~CRecordDescription();
  }
}

CColumnDescriptor* CRecordDescription::piFindItemEx(const char16_t* name, std::uint32_t mode) {
  CColumnDescriptor* item = piFindItemByName(name, mode);
  if (item) item->AddRef();
  return item;
}

int CRecordDescription::bCompare(IHostFileDescription* other) {
  const std::uint32_t count = other->nGetItemCount();
  for (std::uint32_t i = 0; i < count; ++i) {
    auto* item = static_cast<IHostItemDescription*>(other->piGetItem(i));
    if (!item) continue;
    const bool missing = !piFindItemByName(item->pszGetName(), FIND_ITEM_DEFAULT | FIND_ITEM_IGNORE_TRAILING_BLANKS) &&
                         !item->bIsCompositeKey();
    if (missing && m_pErrorHolder) {
      m_pErrorHolder->RaiseError(ERROR_ITEM_NOT_IN_DESCRIPTION, ERROR_UNIT_RECORD_DESCRIPTION, 1, m_pConnection,
                                 ERROR_ITEM_NOT_IN_DESCRIPTION, m_strName.pszGet(), item->pszGetName());
      m_pErrorHolder->SetFileAndItem(m_strName.pszGet(), item->pszGetName());
    }
    item->nRelease();
    if (missing) return 0;
  }
  return 1;
}

void CRecordDescription::AppendItemText(CTString& out, const char16_t* text, std::int32_t n) {
  out.Format(u"%s%d", text ? text : u"", n);
}

CRecordDescription* CRecordDescription::pCopy(std::uint32_t options) {
  CRecordDescription* copy = pCreateDescriptionThroughDriver(m_pConnection, m_pErrorHolder);
  if (!copy) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return nullptr;
  }
  copy->AddRef();
  copy->m_strName = m_strName;
  copy->m_strSqlTableName = m_strSqlTableName;
  copy->m_strSecondaryName = m_strSecondaryName;
  copy->m_strTertiaryName = m_strTertiaryName;
  copy->m_strOwnerName = m_strOwnerName;
  copy->m_nRecordSize = m_nRecordSize;
  copy->m_nFullSize = m_nFullSize;
  copy->m_nNullFlagCount = m_nNullFlagCount;
  for (std::uint32_t i = 0; i < m_items.nGetCount(); ++i) {
    auto* item = static_cast<CColumnDescriptor*>(m_items.pGet(i)->pCopyAs(copy, options));
    // pCopyAs has said why when a component was missing; otherwise memory ran out.
    if (!item && m_pErrorHolder && m_pErrorHolder->nGetErrorCode() == 0) SetHolderOutOfMemory(m_pErrorHolder);
    if (item && !copy->AddItem(item)) {
      item->DeletingDestructor(1);
      SetHolderOutOfMemory(m_pErrorHolder);
      item = nullptr;
    }
    if (!item) {
      copy->nRelease();
      return nullptr;
    }
  }
  // Only a key the source chose is looked for again: a source that never chose one has nothing to find, and a
  // lookup of an empty name would fail the copy.
  if (m_pIdentifyingKey) {
    CColumnDescriptor* key = copy->piFindItemOrRaise(m_pIdentifyingKey->pszGetName());
    if (!key) {
      copy->nRelease();
      return nullptr;
    }
    copy->SetIdentifyingKey(key);
    key->nRelease();
  }
  if (!copy->LayoutItems()) {
    copy->nRelease();
    return nullptr;
  }
  return copy;
}

int CRecordDescription::CopyFrom(CRecordDescription* source, CHashTable& cloneMap) {
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  if (source->m_pErrorHolder != m_pErrorHolder) {
    Exchange(m_pErrorHolder, source->m_pErrorHolder);
  }
  if (source->m_pConnection != m_pConnection) {
    if (source->m_pConnection) source->m_pConnection->AddRef();
    ReleaseConnectionThroughDriver(m_pConnection);
    m_pConnection = source->m_pConnection;
  }
  m_strName = source->m_strName;
  m_strSqlTableName = source->m_strSqlTableName;
  m_strSecondaryName = source->m_strSecondaryName;
  m_strTertiaryName = source->m_strTertiaryName;
  m_strOwnerName = source->m_strOwnerName;
  m_nRecordSize = source->m_nRecordSize;
  m_nFullSize = source->m_nFullSize;
  m_nNullFlagCount = source->m_nNullFlagCount;
  m_nOrigin = source->m_nOrigin;
  // The items are shared, not cloned: the copy's lists hold the same descriptors.
  if (!m_items.bCopyFrom(source->m_items) || !m_keys.bCopyFrom(source->m_keys) ||
      !m_largeItems.bCopyFrom(source->m_largeItems)) {
    return 0;
  }
  SetIdentifyingKey(source->m_pIdentifyingKey);
  return 1;
}

CRecordDescription* CRecordDescription::pClone(CHashTable& cloneMap) {
  return pCloneByCopy(this, cloneMap, [] { return new (std::nothrow) CRecordDescription(nullptr, nullptr); });
}

int CRecordDescription::bLoad(std::uintptr_t) { return 0; }

std::int32_t CRecordDescription::nSlot48() { return 1; }

int CRecordDescription::AddItem(CColumnDescriptor* item) {
  if (item->pszGetName()[0] == 0) {
    // The count of null flags moves only with the layout, so unnamed items added between two layouts share a
    // number and the later ones take suffixes like any other repeated name (Expr1000, then Expr10002).
    CTString name;
    name.Format(u"%s%d", u"Expr", static_cast<std::int32_t>(m_nNullFlagCount + 1000));
    item->SetName(name.pszGet());
  }
  if (piFindItemByName(item->pszGetName(), FIND_ITEM_DEFAULT)) {
    const CTString base(item->pszGetName());
    CTString name;
    for (std::int32_t n = 2; n > 0; ++n) {
      AppendItemText(name, base.pszGet(), n);
      if (!piFindItemByName(name.pszGet(), FIND_ITEM_DEFAULT)) break;
    }
    item->SetNameApart(name.pszGet());
  }
  if (!bPlaceInList(m_items, item, false)) return 0;
  // A list that memory refused undoes the others; the item goes back to the caller as it came, which destroys it,
  // instead of being destroyed by the last list it leaves.
  const auto undo = [this, item] {
    item->AddComponentRef();
    m_keys.Remove(item);
    m_items.Remove(item);
    item->DropKeepingComponentRef();
    return 0;
  };
  if (item->bIsKeyed() && !bPlaceInList(m_keys, item, true)) return undo();
  if (item->bIsMemo() && !m_largeItems.bAdd(item)) return undo();
  return 1;
}

int CRecordDescription::bPlaceInList(CDescriptorList& list, CColumnDescriptor* item, bool byKeyNumber) {
  const std::uint32_t number = byKeyNumber ? item->nGetKeyNumber() : item->nGetPosition();
  auto renumber = [byKeyNumber](CColumnDescriptor* entry, std::uint32_t n) {
    if (byKeyNumber) {
      entry->SetKeyNumber(n);
    } else {
      entry->SetPosition(n);
    }
  };
  if (number == 0xFFFFFFFF) {
    renumber(item, list.nGetCount());
    return list.bAdd(item);
  }
  if (number == 0 && list.nGetCount() > 0) {
    if (!list.bInsertAt(item, 0)) return 0;
    for (std::uint32_t i = 1; i < list.nGetCount(); ++i) renumber(list.pGet(i), i);
    return 1;
  }
  return list.bAdd(item);
}

int CRecordDescription::LayoutItems() {
  // Summed in 64 bits: an item of many large elements, or many large items, must not wrap a 32-bit offset and
  // put two fields on the same bytes. A layout whose record (null flags and fields) does not fit in 32 bits is
  // refused, and so is a binary element too large for its u16 length word; the items keep their old places.
  std::uint64_t offset = 0;
  std::uint64_t recordSize = 0;
  std::uint64_t nullFlagCount = 0;
  CColumnDescriptor* refused = nullptr;
  for (std::uint32_t i = 0; i < m_items.nGetCount() && !refused; ++i) {
    CColumnDescriptor* item = m_items.pGet(i);
    const std::uint64_t size = std::uint64_t{item->nGetSize()} * item->nGetElementCount();
    offset += size;
    if (!item->bIsCompositeKey()) recordSize += size;
    nullFlagCount += item->nGetElementCount();
    const bool binaryTooLarge = item->nGetType() == COLUMN_TYPE_BINARY && !item->bIsCompositeKey() &&
                                item->nGetSize() > BINARY_ELEMENT_SIZE_MAX;
    if (binaryTooLarge || nullFlagCount > 0xFFFFFFFFu || offset + nullFlagCount / 8 + 1 > 0xFFFFFFFFu) refused = item;
  }
  if (refused) {
    if (m_pErrorHolder) {
      m_pErrorHolder->RaiseError(0, ERROR_UNIT_RECORD_DESCRIPTION, 3, m_pConnection, ERROR_INVALID_ARGUMENT);
      m_pErrorHolder->SetFileAndItem(m_strName.pszGet(), refused->pszGetName());
    }
    return 0;
  }
  std::uint32_t at = 0;
  std::uint32_t flags = 0;
  for (std::uint32_t i = 0; i < m_items.nGetCount(); ++i) {
    CColumnDescriptor* item = m_items.pGet(i);
    item->SetLayout(at, flags);
    at += item->nGetTotalSize();
    flags += item->nGetElementCount();
  }
  m_nFullSize = static_cast<std::uint32_t>(offset);
  m_nRecordSize = static_cast<std::uint32_t>(recordSize);
  m_nNullFlagCount = static_cast<std::uint32_t>(nullFlagCount);
  return 1;
}

void CRecordDescription::SetIdentifyingKey(CColumnDescriptor* item) {
  if (item) item->AddRef();
  if (m_pIdentifyingKey) m_pIdentifyingKey->nRelease();
  m_pIdentifyingKey = item;
}

CColumnDescriptor* CRecordDescription::piFindItemByName(const char16_t* name, std::uint32_t mode) {
  // Names compared as they are need no copies: a copy that memory refused would find no item where there is one.
  if (!(mode & FIND_ITEM_IGNORE_TRAILING_BLANKS)) {
    for (std::uint32_t i = 0; i < m_items.nGetCount(); ++i) {
      CColumnDescriptor* item = m_items.pGet(i);
      if (nHostCompareNoCase(item->pszGetName(), name ? name : u"") == 0) return item;
    }
    return nullptr;
  }
  CTString wanted(name);
  if (mode & FIND_ITEM_IGNORE_TRAILING_BLANKS) StripTrailingBlanks(wanted);
  for (std::uint32_t i = 0; i < m_items.nGetCount(); ++i) {
    CColumnDescriptor* item = m_items.pGet(i);
    CTString itemName(item->pszGetName());
    if (mode & FIND_ITEM_IGNORE_TRAILING_BLANKS) StripTrailingBlanks(itemName);
    if (nHostCompareNoCase(itemName.pszGet(), wanted.pszGet()) == 0) return item;
  }
  return nullptr;
}

CColumnDescriptor* CRecordDescription::piFindItemOrRaise(const char16_t* name) {
  CColumnDescriptor* item = piFindItemEx(name, FIND_ITEM_DEFAULT);
  if (!item && m_pErrorHolder) {
    m_pErrorHolder->RaiseError(ERROR_ITEM_NOT_FOUND, ERROR_UNIT_RECORD_DESCRIPTION, 2, m_pConnection,
                               ERROR_ITEM_NOT_FOUND, m_strSqlTableName.pszGet(), name ? name : u"");
    m_pErrorHolder->SetFileAndItem(m_strSqlTableName.pszGet(), name);
  }
  return item;
}

int CRecordDescription::bLoadByName(const char16_t* name, const char16_t* sqlTableName, std::uintptr_t argument) {
  m_strName = name;
  m_strSqlTableName = sqlTableName;
  // A name that could not be copied would describe another object (or none): the load fails for lack of memory.
  if (m_strName.nGetLength() != std::char_traits<char16_t>::length(name ? name : u"") ||
      m_strSqlTableName.nGetLength() != std::char_traits<char16_t>::length(sqlTableName ? sqlTableName : u"")) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  m_nOrigin = 1;
  return bLoad(argument);
}

CColumnDescriptor* CRecordDescription::pNewDescriptor() {
  CColumnDescriptor* descriptor = pCreateColumnDescriptorThroughDriver(this, 0);
  if (!descriptor) SetHolderOutOfMemory(m_pErrorHolder);
  return descriptor;
}

int CRecordDescription::bBuildFromQuery(CQueryDescription* query) {
  m_nOrigin = 2;
  const std::uint32_t keep = query->nGetFileCount() <= 1 ? 1 : 0;
  int result = 1;
  std::uint32_t index = 0;
  for (IHostItemDescription* item = query->pNextItem(true); item; item = query->pNextItem(false), ++index) {
    IHostItemDescription* column = item->nGetItemKind() == 0 ? query->pFindTableColumn(item) : nullptr;
    if (index < m_items.nGetCount()) {
      result = bUpdateItemFromHost(query, keep, item, index, column);
    } else if (column) {
      if (!column->bIsCompositeKey()) result = bNewItemFromColumn(column, query, item, keep);
    } else {
      result = bNewItemFromHost(item);
    }
    if (!result) break;
  }
  bool first = true;
  for (IHostKeyLink* link = query->pNextLink(true); link; link = query->pNextLink(false)) {
    const std::uint32_t at = link->nGetItemIndex();
    if (at >= m_items.nGetCount()) continue;
    CColumnDescriptor* keyed = m_items.pGet(at);
    if (first) SetIdentifyingKey(keyed);
    first = false;
    keyed->SetKeyDirection(link->bIsDescending() != 0);
  }
  return LayoutItems() ? result : 0;
}

int CRecordDescription::bNewItemFromHost(IHostItemDescription* item) {
  CColumnDescriptor* descriptor = pNewDescriptor();
  if (!descriptor) return 0;
  const int set = descriptor->bSetAll(item->pszGetName(), u"", u"", 1, item->nGetSize(),
                                      nHostTypeToInternalType(item->nGetItemTypeCode()), m_items.nGetCount(),
                                      0xFFFFFFFF, 0, 0, 0);
  descriptor->SetItemKind(item->nGetItemKind());
  if (!set || !AddItem(descriptor)) {
    descriptor->DeletingDestructor(1);
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  return 1;
}

int CRecordDescription::bNewItemFromColumn(IHostItemDescription* column, CQueryDescription* query,
                                           IHostItemDescription* item, std::uint32_t keep) {
  CColumnDescriptor* descriptor = pNewDescriptor();
  if (!descriptor) return 0;
  std::uint16_t flags = 0;
  std::uint32_t keyNumber = 0xFFFFFFFF;
  if (column->bIsKeyed()) {
    keyNumber = m_keys.nGetCount();
    if (keep && column->bIsPrimaryKey()) flags |= COLUMN_FLAG_PRIMARY_KEY;
    if (column->bIsUnique()) flags |= keep ? COLUMN_FLAG_UNIQUE : COLUMN_FLAG_DUPLICATES;
    if (column->bIsKeyWithDuplicates()) flags |= COLUMN_FLAG_DUPLICATES;
    if (column->bIsCompositeKey()) flags |= COLUMN_FLAG_COMPOSITE_KEY;
    if (column->bIsAscendingKey()) flags |= COLUMN_FLAG_ASCENDING;
    if (column->bIsDescending()) flags |= COLUMN_FLAG_DESCENDING;
    if (column->bHasFlag0080()) flags |= COLUMN_FLAG_0080;
    if (column->bHasFlag0040()) flags |= COLUMN_FLAG_0040;
    if (column->bHasFlag0020()) flags |= COLUMN_FLAG_0020;
  }
  const char16_t* name = item->pszGetName();
  const int set = descriptor->bSetAll(name && name[0] ? name : column->pszGetName(), column->pszGetTableName(),
                                      column->pszGetCaption(), column->nGetElementCount(), column->nGetSize(),
                                      column->nGetType(), m_items.nGetCount(), keyNumber, flags,
                                      column->nGetPrecision(), column->nGetScale());
  ResolveOriginName(descriptor, query, item);
  if (!set || !AddItem(descriptor)) {
    descriptor->DeletingDestructor(1);
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  return 1;
}

int CRecordDescription::bUpdateItemFromHost(CQueryDescription* query, std::uint32_t keep, IHostItemDescription* item,
                                            std::uint32_t index, IHostItemDescription* column) {
  CColumnDescriptor* descriptor = m_items.pGet(index);
  const bool wasKey = descriptor->bIsKeyed();
  const bool wasMemo = descriptor->bIsMemo();
  descriptor->SetItemKind(item->nGetItemKind());
  if (column) {
    descriptor->bSetFromHostItem(column, keep, m_keys.nGetCount());
  } else if (item->nGetItemKind() == 1) {
    descriptor->bAdjustToHostItem(item);
  }
  // An item that stops being a key leaves the key list; the keys behind it keep their numbers.
  int result = 1;
  if (!wasKey && descriptor->bIsKeyed()) result = m_keys.bAdd(descriptor);
  if (wasKey && !descriptor->bIsKeyed()) m_keys.Remove(descriptor);
  if (result && !wasMemo && descriptor->bIsMemo()) result = m_largeItems.bAdd(descriptor);
  if (wasMemo && !descriptor->bIsMemo()) m_largeItems.Remove(descriptor);
  if (!result) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  ResolveOriginName(descriptor, query, item);
  return 1;
}

void CRecordDescription::ResolveOriginName(CColumnDescriptor* descriptor, CQueryDescription* query,
                                           IHostItemDescription* item) {
  if (item->nGetItemKind() != 0) return;
  const char16_t* name = item->pszGetName();
  const char16_t* second = item->pszGetSecondName();
  const char16_t* origin = nullptr;
  if (second && second[0] && nHostCompareNoCase(name, second) != 0) {
    origin = query->pResolveAlias(second);
    if (!origin) {
      IHostItemDescription* named = query->pFindItem(name);
      origin = named ? named->pszGetSecondName() : nullptr;
    }
  }
  descriptor->SetOriginName(origin && origin[0] ? origin : name);
}
