#include "engine/record/column.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/record/table_description.h"
#include "engine/table/table.h"
#include "engine/values/field_value.h"
#include "foundation/clone_map.h"
#include "foundation/error_holder.h"
#include "foundation/flag_list.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "foundation/x_error.h"
#include "host/host_services.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "host/value_file.h"
#include "host/value_operations.h"
#include "sql/connection.h"

namespace {

constexpr std::uint32_t DBMS_ORACLE = 1;

bool bIsTextOrCharType(std::uint32_t type) {
  return type == COLUMN_TYPE_TEXT || type == COLUMN_TYPE_TEXT_MEMO || type == COLUMN_TYPE_WTEXT ||
         type == COLUMN_TYPE_WTEXT_MEMO || type == COLUMN_TYPE_CHAR;
}

bool bIsDateType(std::uint32_t type) {
  return type == COLUMN_TYPE_HOST_DATE || type == COLUMN_TYPE_DATE || type == COLUMN_TYPE_DATETIME;
}

// The bytes of a value as the runtime holds them; false when it has none to
// give.
bool bValueBytes(CHostValue& value, const std::uint8_t*& data, std::size_t& size) {
  const void* pointer = nullptr;
  size = 0;
  if (value.nGetType() == HOST_TYPE_PROXY_HANDLE) {
    // A decimal's bytes are its handle's byte form, not the value's inline storage (which holds the handle).
    IHostProxyHandle* handle = nullptr;
    if (bHostFailed(static_cast<std::uint32_t>(value.nGet(&handle))) || !handle) return false;
    data = static_cast<const std::uint8_t*>(handle->pGetData());
    size = data ? handle->nGetDataSize() : 0;
    return true;
  }
  if (bHostFailed(static_cast<std::uint32_t>(value.nGetDataPointer(&pointer))) ||
      bHostFailed(static_cast<std::uint32_t>(value.nGetDataSize(&size)))) {
    return false;
  }
  data = static_cast<const std::uint8_t*>(pointer);
  if (!data) size = 0;
  return true;
}

const char16_t* CaptionOfFlagItem(const CColumn* item) { return const_cast<CColumn*>(item)->pszGetCaption(); }

void SetNullOfType(CHostValue& value, std::uint16_t type) {
  value.SetType(static_cast<std::uint8_t>(type));
  value.SetNull(true);
}

}  // namespace

CColumn::CColumn(CErrorHolder* holder, CColumnDescriptor* descriptor)
    : m_pDescriptor(descriptor), m_pErrorHolder(holder) {
  // Flag lists hold columns and find them by caption; no list can hold a column before the first one is made.
  gpfnFlagItemCaption = &CaptionOfFlagItem;
  if (m_pDescriptor) m_pDescriptor->AddRef();
  if (m_pErrorHolder) m_pErrorHolder->AddRef();
}

CColumn::~CColumn() {
  if (m_pFieldValue) m_pFieldValue->nRelease();
  if (m_pSecondary) m_pSecondary->nRelease();
  if (m_pDescriptor) m_pDescriptor->nRelease();
  if (m_pErrorHolder) m_pErrorHolder->nRelease();
}

// ---- binding to the table
// ------------------------------------------------------------------------------------------

int CColumn::bAttach(CTableDescription* tableDescription, CColumnDescriptor* secondary) {
  m_pTableDescription = tableDescription;
  CConnection* connection = pGetConnection();
  if (connection) {
    const char16_t* caption = pszGetCaption();
    // A name the server described is written in its case; a caption the program gave the column is the program's.
    // An item renamed apart from another whose name differs only in case ("a" after "A" is a2) is the column its
    // caption, the server's name, names.
    const bool serverName = m_pDescriptor && m_pDescriptor->bHasServerName();
    m_bServerCaption = m_pDescriptor && m_pDescriptor->bHasServerCaption();
    const bool renamed = m_bServerCaption && !serverName;
    // Quoting fails only for lack of memory.
    if (!connection->nQuoteIdentifier(m_pErrorHolder, renamed ? caption : pszGetName(), m_strQuotedName,
                                      serverName || renamed) ||
        !connection->nQuoteIdentifier(m_pErrorHolder, caption, m_strQuotedCaption, m_bServerCaption)) {
      SetHolderOutOfMemory(m_pErrorHolder);
      return 0;
    }
  } else {
    m_strQuotedName = pszGetName();
    m_strQuotedCaption = pszGetCaption();
  }
  if (secondary) bSetSecondaryDescriptor(secondary);
  if (bIsCompositeKey()) return 1;
  return bPrepareFieldValue(tableDescription);
}

int CColumn::bPrepareFieldValue(CTableDescription* tableDescription) {
  // A memo whose record already holds its value (a copied table description) takes that value as its own.
  CFieldValue* stored = bIsMemo() && tableDescription ? tableDescription->pGetLargeValue(this) : nullptr;
  if (stored) {
    Exchange(m_pFieldValue, stored);
    return 1;
  }
  if (!m_pFieldValue) {
    m_pFieldValue = pCreateFieldValueThroughDriver(m_pErrorHolder, pGetConnection());
    if (!m_pFieldValue) return 0;
    m_pFieldValue->AddRef();
  }
  if (bIsMemo()) {
    m_pFieldValue->InitType(nGetHostType(), 0);
  } else {
    CRecordBuffer* buffer = tableDescription ? tableDescription->pGetCurrentBuffer() : nullptr;
    std::uint8_t* field = buffer ? buffer->pGetFieldData(m_pDescriptor, 0) : nullptr;
    if (!field || !m_pFieldValue->bAttachExternalBuffer(field, m_pDescriptor->nGetSize())) return 0;
  }
  m_pFieldValue->SetDescriptors(m_pDescriptor, m_pSecondary);
  if (!bIsMemo()) return 1;
  // A memo has no value until one is written or read.
  m_pFieldValue->SetNull();
  return tableDescription ? tableDescription->bBindLargeValue(this, m_pFieldValue) : 1;
}

int CColumn::bSetSecondaryDescriptor(CColumnDescriptor* descriptor) {
  Exchange(m_pSecondary, descriptor);
  return 1;
}

int CColumn::bPrepareValueForTable() { return bPrepareFieldValue(m_pTableDescription); }

int CColumn::bIsSecondaryAutoIdentifier() {
  if (!m_pSecondary) return 0;
  const std::uint32_t type = m_pSecondary->nGetType();
  return type == COLUMN_TYPE_AUTO_ID8 || type == COLUMN_TYPE_AUTO_ID4;
}

const char16_t* CColumn::pszGetFurtherText() { return m_strFurther.pszGet(); }
const char16_t* CColumn::pszGetQualifierText() { return m_strQualifier.pszGet(); }

CRecordBuffer* CColumn::pCurrentBuffer() const {
  return m_pTableDescription ? m_pTableDescription->pGetCurrentBuffer() : nullptr;
}
CRecordBuffer* CColumn::pImageBuffer() const {
  return m_pTableDescription ? m_pTableDescription->pGetImageBuffer() : nullptr;
}

// ---- reads
// -----------------------------------------------------------------------------------------------------------

int CColumn::bGetFromRecordBuffer(CHostValue& value, std::int32_t element, CRecordBuffer* buffer) {
  if (!buffer || !buffer->bIsFieldPresent(m_pDescriptor)) {
    SetNullOfType(value, nGetHostType());
    return 1;
  }
  if (buffer->GetFieldValue(value, m_pDescriptor, element)) return 1;
  SetHolderOutOfMemory(m_pErrorHolder);
  return 0;
}

int CColumn::bBuildCompositeValue(CHostValue& value) {
  std::uint32_t total = 0;
  const std::uint32_t count = m_components.nGetCount();
  for (std::uint32_t i = 0; i < count; ++i) total += pGetComponentColumn(i)->m_pDescriptor->nGetKeyComponentBytes();
  std::unique_ptr<std::uint8_t[]> key(new (std::nothrow) std::uint8_t[total ? total : 1]());
  if (!key) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  std::uint32_t offset = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    CColumn* component = pGetComponentColumn(i);
    // Each component takes the bytes its descriptor counted in the key's size,
    // so the key keeps every component and never outgrows its element.
    const std::uint32_t length = component->m_pDescriptor->nGetKeyComponentBytes();
    CHostValue part;
    if (!component->bGetValue(part, 0)) return 0;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    if (!part.bIsNull() && bValueBytes(part, data, size) && data) {
      std::memcpy(key.get() + offset, data, std::min<std::size_t>(size, length));
    }
    offset += length;
  }
  value.SetType(HOST_TYPE_BINARY_BUFFER);
  return bHostStoredOrOutOfMemory(value.SetFromBuffer(key.get(), total), m_pErrorHolder);
}

int CColumn::bGetValue(CHostValue& value, std::int32_t element) {
  if (bIsMemo()) {
    if (!m_pFieldValue) {
      SetNullOfType(value, nGetHostType());
      return 1;
    }
    if (!m_strMemoFileName.bIsEmpty() && m_pFieldValue->Value().bIsNull() &&
        !m_pFieldValue->bLoadFromFile(m_strMemoFileName.pszGet(), nGetType() == COLUMN_TYPE_BINARY_MEMO)) {
      return 0;
    }
    if (!m_pFieldValue->bGetValue(&value)) SetNullOfType(value, nGetHostType());
    return 1;
  }
  if (bIsCompositeKey()) return bBuildCompositeValue(value);
  return bGetFromRecordBuffer(value, element, pCurrentBuffer());
}

int CColumn::bGetImageValue(CHostValue& value, std::int32_t element) {
  return bGetFromRecordBuffer(value, element, pImageBuffer());
}

int CColumn::bReadMemoDefault(CHostValue& value) { return bGetValue(value, 0); }

// ---- writes
// ----------------------------------------------------------------------------------------------------------

int CColumn::bSetValue(CHostValue& value, std::int32_t element) {
  CRecordBuffer* buffer = pCurrentBuffer();
  if (bIsMemo()) {
    m_strMemoFileName.Empty();
    m_bMemoChanged = 0;
    if (!m_pFieldValue || !m_pFieldValue->bSetValue(value)) return 0;
    if (buffer && !m_pFieldValue->Value().bIsNull()) buffer->SetFieldPresent(m_pDescriptor, true, 0);
    // A memo's bytes are not in the record buffer, so the buffers cannot tell that it changed: a value put in is a
    // change the next UPDATE writes (the reads give their values through bSetFieldValue, which clears the mark).
    m_bMemoChanged = 1;
    return 1;
  }
  if (!buffer) return 0;
  if (!buffer->bSetFieldFromValue(m_pDescriptor, value, element)) {
    // The buffer leaves the field as it was and says nothing: the caller learns
    // why from the column.
    if (m_pFieldValue) {
      CTString text;
      Dump(text, &value, 0);
      m_pFieldValue->RaiseConversionError(value.nGetType(), text.pszGet(), ERROR_UNIT_FIELD_VALUE,
                                          FIELD_POINT_CONVERSION);
    }
    return 0;
  }
  if (m_pFieldValue) {
    if (buffer->bIsFieldPresent(m_pDescriptor)) {
      m_pFieldValue->Value().SetNull(false);
    } else {
      m_pFieldValue->SetNull();
    }
  }
  return 1;
}

int CColumn::bClearValue() {
  if (bIsCompositeKey()) return 1;
  CRecordBuffer* buffer = pCurrentBuffer();
  if (bIsMemo()) {
    if (buffer && buffer->bIsFieldPresent(m_pDescriptor)) {
      buffer->SetFieldPresent(m_pDescriptor, true, 0);
      return 1;
    }
    // Completing the record is no change of the program's: a memo read as NULL, or never read, is not written back
    // as NULL over what another session may have stored since.
    const std::uint32_t changed = m_bMemoChanged;
    CHostValue empty;
    SetNullOfType(empty, nGetHostType());
    const int set = bSetValue(empty, 0);
    m_bMemoChanged = changed;
    return set;
  }
  if (bHasValue()) {
    if (m_pFieldValue && m_pFieldValue->nGetState() == FIELD_STATE_EXTERNAL) m_pFieldValue->Value().SetNull(false);
    return 1;
  }
  CHostValue empty;
  SetNullOfType(empty, nGetHostType());
  return bSetValue(empty, 0);
}

int CColumn::bLinkMemoFile(const char16_t* fileName) {
  m_strMemoFileName = fileName;
  if (m_pFieldValue) m_pFieldValue->SetNull();
  m_bMemoChanged = 1;
  return 1;
}

int CColumn::bSaveMemoToFile(const char16_t* fileName) {
  if (!m_pFieldValue || m_pFieldValue->Value().bIsNull()) {
    CHostValue empty;
    empty.SetType(static_cast<std::uint8_t>(nGetHostType()));
    return bSaveValueToFileImpl(empty, fileName, m_pErrorHolder);
  }
  return bSaveValueToFile(m_pFieldValue, fileName, m_pErrorHolder);
}

CFieldValue* CColumn::pGetFieldValue() { return m_pFieldValue; }
CFieldValue* CColumn::pNewFieldValue() { return m_pFieldValue ? m_pFieldValue->pDuplicate() : nullptr; }

int CColumn::bSetFieldValue(CFieldValue* value) {
  m_bMemoChanged = 0;
  m_strMemoFileName.Empty();
  if (!m_pFieldValue) return 1;
  if (value) {
    m_pFieldValue->bCopyFrom(value);
  } else {
    m_pFieldValue->SetNull();
  }
  return 1;
}

int CColumn::bBindFieldValue(CRecordBuffer*, CFieldValue* value, std::uint16_t hostType) {
  if (!value) return 0;
  value->InitType(hostType ? hostType : nGetHostType(), bIsMemo() ? 0 : m_pDescriptor->nGetSize());
  value->SetDescriptors(m_pDescriptor, m_pSecondary);
  return 1;
}

// ---- tests of the value
// ----------------------------------------------------------------------------------------------

std::uint32_t CColumn::nGetBoundType() {
  if (!m_pSecondary) return 0;
  CConnection* connection = pGetConnection();
  if (connection && connection->bIsUntypedServerType(m_pSecondary->nGetServerTypeCode())) return 0;
  return m_pSecondary->nGetType();
}

bool CColumn::bIsBlankValue(CHostValue& value) {
  if (value.bIsNull()) return true;
  const std::uint32_t own = nGetType();
  const std::uint32_t other = nGetBoundType();
  CConnection* connection = pGetConnection();
  const bool oracle = connection && connection->nGetDbmsKind() == DBMS_ORACLE;
  const bool textTest = bIsDateType(own) || other == COLUMN_TYPE_HOST_DATE || other == COLUMN_TYPE_DATE ||
                        (other == COLUMN_TYPE_DATETIME && own != COLUMN_TYPE_TIME) ||
                        (oracle && (bIsTextOrCharType(own) || bIsTextOrCharType(other)));
  if (textTest) {
    if (value.nGetType() == HOST_TYPE_DATETIME) {
      CHostDateTime dateTime{};
      value.nGet(&dateTime);
      return dateTime.m_nYear == 0 && dateTime.m_nMonth == 0 && dateTime.m_nDay == 0 && dateTime.m_nMillisecond == 0;
    }
    CHostValue text;
    text.Assign(value);
    if (bHostFailed(static_cast<std::uint32_t>(text.nConvert(HOST_TYPE_TEXT)))) return false;
    std::size_t length = 0;
    text.nGetLength(&length);
    if (length > 0) return false;
    // An empty text is a value where the column refuses NULL: the server keeps
    // it as it was given.
    const auto keepsEmpty = [](std::uint32_t type) { return bIsTextOrCharType(type) || type == COLUMN_TYPE_TIME; };
    return bIsNullAllowed() || !(keepsEmpty(own) || keepsEmpty(other));
  }
  if (oracle && (own == COLUMN_TYPE_BINARY || own == COLUMN_TYPE_BINARY_MEMO || other == COLUMN_TYPE_BINARY ||
                 other == COLUMN_TYPE_BINARY_MEMO)) {
    std::size_t size = 0;
    value.nGetDataSize(&size);
    return size == 0;
  }
  return false;
}

int CColumn::bHasValue() {
  if (bIsCompositeKey()) {
    for (std::uint32_t i = 0; i < m_components.nGetCount(); ++i) {
      if (pGetComponentColumn(i)->bHasValue()) return 1;
    }
    return 0;
  }
  if (bIsMemo()) {
    if (!m_strMemoFileName.bIsEmpty()) return 1;
    return m_pFieldValue && !m_pFieldValue->Value().bIsNull();
  }
  CRecordBuffer* buffer = pCurrentBuffer();
  if (!buffer || !buffer->bIsFieldPresent(m_pDescriptor)) return 0;
  if (!m_strMemoFileName.bIsEmpty()) return 1;
  CHostValue value;
  // A field that is present but cannot be read now (memory refused its runtime value) still holds a value: taken
  // as none, a write would leave it out of the row and answer done.
  if (!bGetValue(value, 0)) return 1;
  return bIsBlankValue(value) ? 0 : 1;
}

int CColumn::bIsImagePresent() {
  CRecordBuffer* image = pImageBuffer();
  return image && image->bIsFieldPresent(m_pDescriptor) ? 1 : 0;
}

int CColumn::bIsChanged() {
  if (bIsCompositeKey()) {
    for (std::uint32_t i = 0; i < m_components.nGetCount(); ++i) {
      if (pGetComponentColumn(i)->bIsChanged()) return 1;
    }
    return 0;
  }
  if (bIsMemo()) return m_bMemoChanged ? 1 : 0;
  if ((bHasValue() != 0) != (bIsImagePresent() != 0)) return 1;
  CRecordBuffer* current = pCurrentBuffer();
  CRecordBuffer* image = pImageBuffer();
  const std::uint8_t* a = current ? current->pGetFieldData(m_pDescriptor, -1) : nullptr;
  const std::uint8_t* b = image ? image->pGetFieldData(m_pDescriptor, -1) : nullptr;
  if (!a || !b) return a != b;
  return std::memcmp(a, b, m_pDescriptor->nGetTotalSize()) != 0 ? 1 : 0;
}

int CColumn::bMatchesSearchValue(CHostValue& search, std::uint32_t options) {
  if (!bIsCompositeKey() && !bHasValue()) return search.bIsNull() ? 1 : 0;
  CHostValue value;
  // A value that cannot be read matches nothing: a match would land the reader on a record it never compared.
  if (!bGetValue(value, 0)) return 0;
  const std::uint8_t own = value.nGetType();
  const std::uint8_t other = search.nGetType();
  const bool sameFamily = own == other || (bIsNarrowTextHostType(own) && bIsNarrowTextHostType(other)) ||
                          (bIsWideTextHostType(own) && bIsWideTextHostType(other));
  if (!sameFamily || own == HOST_TYPE_PROXY_HANDLE) {
    std::int32_t equal = 0;
    if (bHostFailed(static_cast<std::uint32_t>(value.nEquals(search, &equal)))) return 0;
    return equal ? 1 : 0;
  }
  const std::uint8_t* data = nullptr;
  const std::uint8_t* wanted = nullptr;
  std::size_t size = 0;
  std::size_t wantedSize = 0;
  if (!bValueBytes(value, data, size) || !bValueBytes(search, wanted, wantedSize)) return 0;
  if (wantedSize > size) return 0;
  if (wantedSize && std::memcmp(data, wanted, wantedSize) != 0) return 0;
  if (options & SEARCH_PREFIX) return 1;
  for (std::size_t i = wantedSize; i < size; ++i) {
    if (data[i] != 0) return 0;
  }
  return 1;
}

int CColumn::bIsTableStateClear() {
  CTable* table = m_pTableDescription ? m_pTableDescription->pGetTable() : nullptr;
  return table && table->nGetStateWord() == 0 ? 1 : 0;
}

int CColumn::bIncludeInUpdate(std::uint32_t options) {
  if (bIsCompositeKey()) return 0;
  return !bIsMemo() || (options & INCLUDE_MEMO_IN_UPDATE) ? 1 : 0;
}

int CColumn::bIncludeInInsert(std::uint32_t options) {
  if (nGetAutoIdMode() != 0 || bIsCompositeKey()) return 0;
  return !bIsMemo() || (options & INCLUDE_MEMO_IN_INSERT) ? 1 : 0;
}

// ---- dump
// ------------------------------------------------------------------------------------------------------------

int CColumn::bDump(CTString& text, bool labelled) {
  text.Empty();
  if (labelled) {
    text.Append(u"<");
    text.Append(pszGetName());
    text.Append(u"> = <");
  }
  int result = 1;
  if (bIsUnread()) {
    text.Append(u"UNREAD YET");
  } else {
    CHostValue value;
    result = bGetValue(value, 0);
    if (!result) {
      // The read failure's text closes its own label.
      if (labelled) text.Append(u"ERROR RETRIEVING VALUE>");
      return 0;
    }
    if (value.bIsNull()) {
      if (labelled) text.Append(u"NULL");
    } else if (value.nGetType() == HOST_TYPE_BINARY_BUFFER && labelled) {
      CTString dump;
      Dump(dump, &value, 0);
      text.Append(dump.pszGet());
    } else {
      CHostValue converted;
      converted.Assign(value);
      const char16_t* wide = nullptr;
      if (!bHostFailed(static_cast<std::uint32_t>(converted.nConvert(HOST_TYPE_TEXT))) &&
          !bHostFailed(static_cast<std::uint32_t>(converted.nGetWideText(&wide)))) {
        text.Append(wide ? wide : u"");
      } else if (labelled) {
        std::size_t size = 0;
        value.nGetDataSize(&size);
        CTString detail(TSTRING_FORMAT, u"IMPOSSIBLE TEXT CONVERSION (KX Type=%d, Data Size=%d)",
                        static_cast<int>(value.nGetType()), static_cast<int>(size));
        text.Append(detail.pszGet());
      }
    }
  }
  if (labelled) text.Append(u">");
  return result;
}

// ---- copies
// ----------------------------------------------------------------------------------------------------------

int CColumn::bCopyFromWithMap(CColumn* source, CHashTable& cloneMap) {
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  Exchange(m_pErrorHolder, source->m_pErrorHolder);
  Exchange(m_pDescriptor, source->m_pDescriptor);
  Exchange(m_pSecondary, source->m_pSecondary);
  m_strQuotedName = source->m_strQuotedName;
  // The copy belongs to the copy of its table description when that copy is
  // being made (the table description copies its columns); a column copied on
  // its own would be the only holder of a new table description, which holds
  // its columns, so it is left unattached instead, for bAttach.
  std::uint64_t description = 0;
  m_pTableDescription =
      source->m_pTableDescription && cloneMap.bLookup(nCloneKey(source->m_pTableDescription), &description, nullptr)
          ? reinterpret_cast<CTableDescription*>(description)
          : nullptr;
  for (std::uint32_t i = 0; i < source->m_components.nGetCount(); ++i) {
    CColumn* component = pCloneChild(cloneMap, source->pGetComponentColumn(i));
    if (!component) return 0;
    if (!m_components.Add(component)) {
      component->nRelease();
      return 0;
    }
  }
  m_strFurther = source->m_strFurther;
  m_strQualifier = source->m_strQualifier;
  m_strQuotedCaption = source->m_strQuotedCaption;
  m_bServerCaption = source->m_bServerCaption;
  m_bMemoChanged = source->m_bMemoChanged;
  m_strMemoFileName = source->m_strMemoFileName;
  return 1;
}

CColumn* CColumn::pClone(CHashTable& cloneMap) {
  return pCloneUnreferenced(new (std::nothrow) CColumn(m_pErrorHolder, m_pDescriptor), m_pErrorHolder,
                            [&](CColumn* copy) { return copy->bCopyFromWithMap(this, cloneMap); });
}

// ---- the descriptor's answers
// ----------------------------------------------------------------------------------------

CColumnDescriptor* CColumn::pGetDescriptor() {
  if (m_pDescriptor) m_pDescriptor->AddRef();
  return m_pDescriptor;
}
const char16_t* CColumn::pszGetName() { return m_pDescriptor->pszGetName(); }
const char16_t* CColumn::pszGetCaption() {
  const char16_t* caption = m_pDescriptor->pszGetCaption();
  return caption && caption[0] ? caption : pszGetName();
}
const char16_t* CColumn::pszGetTableName() { return m_pDescriptor->pszGetTableName(); }
std::uint32_t CColumn::nGetPosition() { return m_pDescriptor->nGetPosition(); }
std::uint32_t CColumn::nGetType() { return m_pDescriptor->nGetType(); }
std::uint16_t CColumn::nGetHostType() { return m_pDescriptor->nGetHostType(); }
std::uint32_t CColumn::nGetDataLength() { return m_pDescriptor->nGetDataLength(0); }
std::uint32_t CColumn::nGetPrecision() { return m_pDescriptor->nGetPrecision(); }
std::uint32_t CColumn::nGetScale() { return m_pDescriptor->nGetScale(); }
bool CColumn::bIsMemo() { return m_pDescriptor->bIsMemo() != 0; }
bool CColumn::bIsCompositeKey() { return m_pDescriptor->bIsCompositeKey() != 0; }
bool CColumn::bIsDescending() { return m_pDescriptor->bIsDescending() != 0; }
bool CColumn::bIsBinary() { return nGetType() == COLUMN_TYPE_BINARY; }
bool CColumn::bIsAutoIdentifier() {
  const std::uint32_t type = nGetType();
  return type == COLUMN_TYPE_AUTO_ID8 || type == COLUMN_TYPE_AUTO_ID4;
}

// ---- in the table
// ----------------------------------------------------------------------------------------------------

std::int32_t CColumn::nGetIndexInTable() {
  return m_pTableDescription ? m_pTableDescription->nIndexOfColumn(this) : -1;
}

bool CColumn::bIsComponentColumn(CColumn* column) {
  if (!m_pTableDescription) return false;
  for (std::uint32_t i = 0; i < m_pDescriptor->nGetComponentCount(); ++i) {
    if (m_pTableDescription->pFindColumn(m_pDescriptor->pGetComponentAt(i)) == column) return true;
  }
  return false;
}

bool CColumn::bIsUniqueKey() {
  if (m_pDescriptor->bIsUnique()) return true;
  return m_pSecondary && m_pSecondary->bIsUnique();
}
bool CColumn::bIsUniqueKeyAny() { return bIsUniqueKey(); }

bool CColumn::bIsIdentifyingKey() {
  return CTable::bIsKeyUsable(m_pDescriptor) || (m_pSecondary && CTable::bIsKeyUsable(m_pSecondary));
}

bool CColumn::bIsNullAllowed() {
  if (m_pSecondary) return (m_pSecondary->nGetOptions() & COLUMN_OPTION_NOT_NULL) == 0;
  if (m_pDescriptor->nGetInterfaceLevel() >= 9) return m_pDescriptor->bIsNullAllowed() != 0;
  return !m_pDescriptor->bIsPrimaryKey() && !bIsAutoIdentifier();
}

CConnection* CColumn::pGetConnection() { return m_pTableDescription ? m_pTableDescription->pGetOwner() : nullptr; }

CQueryDescription* CColumn::pGetQueryDescription() {
  CTable* table = m_pTableDescription ? m_pTableDescription->pGetTable() : nullptr;
  return table ? table->pGetQueryDescription() : nullptr;
}

std::uint32_t CColumn::nGetAutoIdMode() {
  CTable* table = m_pTableDescription ? m_pTableDescription->pGetTable() : nullptr;
  if (!table || table->nGetColumnQualification() == 0) return 0;
  return m_pDescriptor->nGetStoredItemKind();
}

void CColumn::MarkUnread() {
  if (m_pFieldValue) {
    m_pFieldValue->SetNull();
    m_pFieldValue->SetState(FIELD_STATE_NULL);
  }
  if (bIsMemo()) {
    m_strMemoFileName.Empty();
    m_bMemoChanged = 0;
  }
  NotifyRowChanged();
}

bool CColumn::bIsUnread() { return m_pFieldValue && m_pFieldValue->nGetState() == FIELD_STATE_NULL; }

void CColumn::NotifyRowChanged() {
  if (CRecordBuffer* buffer = pCurrentBuffer()) buffer->SetFieldPresent(m_pDescriptor, true, 0);
}

int CColumn::AddComponentColumn(CColumn* column) {
  column->AddRef();
  if (!m_components.Add(column)) {
    column->nRelease();
    return 0;
  }
  return 1;
}

CColumn* CColumn::pGetComponentColumn(std::uint32_t index) const {
  return static_cast<CColumn*>(m_components.pGetObject(index));
}

const char16_t* CColumn::pszGetSqlName(bool useName) {
  const int form = useName ? 1 : 0;
  if (m_bSqlNameMade[form]) return m_strSqlName[form].pszGet();
  CTString& name = m_strSqlName[form];
  // The length the text must reach: a piece that could not be copied leaves it short.
  std::size_t expected = 0;
  bool whole = true;
  if (useName) {
    name = m_strQuotedName;
    expected = m_strQuotedName.nGetLength();
  } else {
    name.Empty();
    CTable* table = m_pTableDescription ? m_pTableDescription->pGetTable() : nullptr;
    if (table && table->nGetColumnQualification() != 0) {
      const char16_t* tableName = pszGetTableName();
      if (!m_strQualifier.bIsEmpty()) {
        name = m_strQualifier;
        expected = m_strQualifier.nGetLength();
      } else if (tableName && tableName[0]) {
        CConnection* connection = pGetConnection();
        if (connection) {
          whole = connection->nQuoteDottedName(m_pErrorHolder, tableName, name) != 0;
        } else {
          name = tableName;
        }
        expected = (name.bIsEmpty() ? std::char_traits<char16_t>::length(tableName) : name.nGetLength()) + 1;
        name.Append(u".");
      }
    }
    name.Append(m_strQuotedCaption.pszGet());
    expected += m_strQuotedCaption.nGetLength();
  }
  if (!whole || name.nGetLength() != expected) {
    // Out of memory: nothing is kept, so that the next statement asks again.
    name.Empty();
    return nullptr;
  }
  m_bSqlNameMade[form] = true;
  return name.pszGet();
}
