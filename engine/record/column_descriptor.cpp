#include "engine/record/column_descriptor.h"

#include "engine/record/column_types.h"
#include "engine/record/record_description.h"
#include "engine/record/record_factories.h"
#include "host/host_type.h"

#include <string>

namespace {

// Item type codes of the runtime: memos and the decimal.
constexpr std::uint32_t ITEM_CODE_TEXT_MEMO = 29;
constexpr std::uint32_t ITEM_CODE_BINARY_MEMO = 30;
constexpr std::uint32_t ITEM_CODE_WTEXT_MEMO = 40;
constexpr std::uint32_t ITEM_CODE_DECIMAL = 41;

// Server type codes of the Oracle timestamps, whose text form never takes the long date layout.
bool bIsServerTimestamp(std::uint32_t code) { return code == 187 || code == 188 || code == 232; }

}  // namespace

CColumnDescriptor::CColumnDescriptor() : m_components(sizeof(CColumnDescriptor*), 4) {}

CColumnDescriptor::~CColumnDescriptor() {
  for (std::uint32_t i = 0; i < m_components.nGetCount(); ++i) pGetComponentAt(i)->nReleaseComponent();
  m_components.Clear();
}

std::uint32_t CColumnDescriptor::nGetInterfaceLevel() { return 9; }
std::int32_t CColumnDescriptor::nSlot1() { return 1; }
std::int32_t CColumnDescriptor::nSlot2() { return -1; }
std::int32_t CColumnDescriptor::nSlot3() { return -1; }
void CColumnDescriptor::Slot4() {}

std::uint32_t CColumnDescriptor::AddRef() { return ++m_nRefCount; }

std::uint32_t CColumnDescriptor::nRelease() {
  // A release with nothing held is refused rather than wrapping the count and destroying under another owner.
  if (m_nRefCount == 0) return 0;
  const std::uint32_t count = --m_nRefCount;
  DestroyIfUnused();
  return count;
}

std::uint32_t CColumnDescriptor::nReleaseComponent() {
  if (m_nComponentRefCount == 0) return 0;
  const std::uint32_t count = --m_nComponentRefCount;
  DestroyIfUnused();
  return count;
}

void CColumnDescriptor::DestroyIfUnused() {
  if (m_nRefCount == 0 && m_nComponentRefCount == 0) DeletingDestructor(1);
}

const char16_t* CColumnDescriptor::pszGetName() { return m_strName.pszGet(); }
std::uint32_t CColumnDescriptor::nGetElementCount() { return m_nElementCount; }
std::uint32_t CColumnDescriptor::nGetSize() { return m_nElementSize; }

std::uint32_t CColumnDescriptor::nGetDataLength(std::int32_t element) {
  const std::uint32_t count = element == -1 ? m_nElementCount : 1;
  // An element too small for its terminator or length word holds no data: 0, never a wrapped length.
  auto without = [this](std::uint32_t overhead) { return m_nElementSize > overhead ? m_nElementSize - overhead : 0; };
  switch (m_nType) {
    case COLUMN_TYPE_TEXT:
      return without(1) * count;
    case COLUMN_TYPE_WTEXT:
      return without(2) * count / 2;
    case COLUMN_TYPE_BINARY:
      if (!bIsCompositeKey()) return without(2) * count;
      return m_nElementSize * count;
    default:
      return m_nElementSize * count;
  }
}

std::uint32_t CColumnDescriptor::nGetTotalSize() { return m_nElementSize * m_nElementCount; }
std::uint32_t CColumnDescriptor::nGetType() { return m_nType; }
std::uint32_t CColumnDescriptor::nGetPosition() { return m_nPosition; }
std::int32_t CColumnDescriptor::bIsKeyed() { return m_nFlags >= COLUMN_FLAG_COMPOSITE_KEY; }
std::int32_t CColumnDescriptor::bIsMemo() { return bIsMemoColumnType(m_nType); }
std::int32_t CColumnDescriptor::bIsTextMemo() {
  return m_nType == COLUMN_TYPE_TEXT_MEMO || m_nType == COLUMN_TYPE_WTEXT_MEMO;
}
std::int32_t CColumnDescriptor::bIsBinaryMemo() { return m_nType == COLUMN_TYPE_BINARY_MEMO; }
std::int32_t CColumnDescriptor::bIsNumeric() { return bIsNumericColumnType(m_nType); }
std::int32_t CColumnDescriptor::bIsText() { return m_nType == COLUMN_TYPE_TEXT; }
std::uint32_t CColumnDescriptor::nGetKeyNumber() { return m_nKeyNumber; }
std::uint32_t CColumnDescriptor::nGetComponentCount() { return m_components.nGetCount(); }
std::int32_t CColumnDescriptor::bIsPrimaryKey() { return (m_nFlags & COLUMN_FLAG_PRIMARY_KEY) != 0; }
std::int32_t CColumnDescriptor::bIsUnique() { return (m_nFlags & (COLUMN_FLAG_UNIQUE | COLUMN_FLAG_PRIMARY_KEY)) != 0; }
std::int32_t CColumnDescriptor::bIsKeyWithDuplicates() { return (m_nFlags & COLUMN_FLAG_DUPLICATES) != 0; }
std::int32_t CColumnDescriptor::bIsCompositeKey() { return (m_nFlags & COLUMN_FLAG_COMPOSITE_KEY) != 0; }
std::int32_t CColumnDescriptor::bIsAscendingKey() { return bIsKeyed() && !bIsDescending(); }
std::int32_t CColumnDescriptor::bIsDescending() { return (m_nFlags & COLUMN_FLAG_DESCENDING) != 0; }
std::int32_t CColumnDescriptor::bHasFlag0080() { return (m_nFlags & COLUMN_FLAG_0080) != 0; }
std::int32_t CColumnDescriptor::bHasFlag0040() { return (m_nFlags & COLUMN_FLAG_0040) != 0; }
std::int32_t CColumnDescriptor::bHasFlag0020() { return (m_nFlags & COLUMN_FLAG_0020) != 0; }

IHostItemDescription* CColumnDescriptor::pGetComponent(std::uint32_t index) {
  if (index < 1 || index > m_components.nGetCount()) return nullptr;
  CColumnDescriptor* component = pGetComponentAt(index - 1);
  component->AddRef();
  return component;
}

// Element -1 stands for the whole item, which starts where its first element does.
std::uint32_t CColumnDescriptor::nGetElementOffset(std::int32_t element) {
  return m_nRecordOffset + (element < 0 ? 0 : static_cast<std::uint32_t>(element)) * m_nElementSize;
}
std::uint32_t CColumnDescriptor::nGetNullFlagIndex(std::int32_t element) {
  return m_nNullFlagIndex + (element < 0 ? 0 : static_cast<std::uint32_t>(element));
}

CHostValue* CColumnDescriptor::pGetDefaultValue() { return &m_defaultValue; }
const char16_t* CColumnDescriptor::pszGetSecondName() { return m_strSecondName.pszGet(); }
const char16_t* CColumnDescriptor::pszGetAlias() { return m_strAlias.pszGet(); }
const char16_t* CColumnDescriptor::pszGetThirdName() { return m_strThirdName.pszGet(); }
std::uint32_t CColumnDescriptor::nGetItemKind() { return 0; }
IHostItemDescription* CColumnDescriptor::piGetSubDescription() { return nullptr; }
std::uint32_t CColumnDescriptor::nGetPrecision() { return m_nPrecision; }
std::uint32_t CColumnDescriptor::nGetScale() { return m_nScale; }
const char16_t* CColumnDescriptor::pszGetCaption() { return m_strCaption.pszGet(); }
const char16_t* CColumnDescriptor::pszGetTableName() { return m_strTableName.pszGet(); }
std::uint32_t CColumnDescriptor::nGetItemTypeCode() { return 0; }
void CColumnDescriptor::Slot45() {}
std::int32_t CColumnDescriptor::bIsUpdatable() { return 0; }
void CColumnDescriptor::Slot47() {}
std::int32_t CColumnDescriptor::bIsOption4Clear() { return (m_nOptions & COLUMN_OPTION_4) == 0; }

void CColumnDescriptor::SetOption4(std::int32_t clear) {
  if (clear) {
    m_nOptions &= ~COLUMN_OPTION_4;
  } else {
    m_nOptions |= COLUMN_OPTION_4;
  }
}

const char16_t* CColumnDescriptor::pszGetOrigin() { return nullptr; }
const char16_t* CColumnDescriptor::pszGetFileName() { return nullptr; }
IHostExpressionNode* CColumnDescriptor::piGetExpression() { return nullptr; }
std::int32_t CColumnDescriptor::nSlot53() { return 0; }
std::uint32_t CColumnDescriptor::nGetTextStart() { return 0; }
std::uint32_t CColumnDescriptor::nGetTextEnd() { return 0; }
std::int32_t CColumnDescriptor::bIsNullAllowed() { return (m_nOptions & COLUMN_OPTION_NOT_NULL) == 0; }

void CColumnDescriptor::DeletingDestructor(std::uint32_t flags) {
  if (flags & 1) {
    delete this;
  } else {
    this->~CColumnDescriptor();
  }
}

void CColumnDescriptor::SetPrecision(std::uint32_t precision) { m_nPrecision = precision; }
void CColumnDescriptor::SetScale(std::uint32_t scale) { m_nScale = scale; }

IHostItemDescription* CColumnDescriptor::pCopyAs(IHostFileDescription* description, std::uint32_t options) {
  auto* target = static_cast<CRecordDescription*>(description);
  CColumnDescriptor* copy = pCreateColumnDescriptorThroughDriver(target, options);
  if (!copy) return nullptr;
  copy->m_strName = m_strName;
  copy->m_strSecondName = m_strSecondName;
  copy->m_strAlias = m_strAlias;
  copy->m_strThirdName = m_strThirdName;
  copy->m_nServerTypeCode = m_nServerTypeCode;
  copy->m_nElementCount = m_nElementCount;
  copy->m_nElementSize = m_nElementSize;
  copy->m_nType = m_nType;
  copy->m_nPosition = m_nPosition;
  copy->m_nFurther = m_nFurther;
  copy->m_nFlags = m_nFlags;
  copy->m_nRecordOffset = m_nRecordOffset;
  copy->m_nNullFlagIndex = m_nNullFlagIndex;
  copy->m_defaultValue.Assign(m_defaultValue);
  copy->m_nPrecision = m_nPrecision;
  copy->m_nScale = m_nScale;
  copy->m_strTableName = m_strTableName;
  copy->m_strCaption = m_strCaption;
  copy->m_strOriginName = m_strOriginName;
  copy->m_nItemKind = m_nItemKind;
  copy->m_nOptions = m_nOptions;
  copy->m_bServerName = m_bServerName;
  copy->m_bServerCaption = m_bServerCaption;
  // The copy follows the keys the target already has.
  copy->m_nKeyNumber = target->nGetKeyCount();

  if ((options & COPY_AS_KEY_EVERY_ITEM) && copy->m_nFlags == 0 && !copy->bIsTextMemo()) {
    copy->m_nFlags = COLUMN_FLAG_DUPLICATES | COLUMN_FLAG_ASCENDING;
  }
  if (options & COPY_AS_TEXT) {
    const std::uint32_t oldType = copy->m_nType;
    if (oldType == COLUMN_TYPE_REAL4 || oldType == COLUMN_TYPE_REAL8) {
      copy->m_nType = COLUMN_TYPE_TEXT;
      copy->m_nElementSize = 48;
    } else if (oldType == COLUMN_TYPE_DATE || oldType == COLUMN_TYPE_DATETIME) {
      copy->m_nType = COLUMN_TYPE_TEXT;
      const bool longText = (options & COPY_AS_LONG_DATE_TEXT) && !bIsServerTimestamp(m_nServerTypeCode);
      copy->m_nElementSize = longText ? 20 : 18;
    }
    if (copy->m_nType != oldType) {
      copy->m_defaultValue.SetType(HOST_TYPE_ASTRING);
      copy->m_defaultValue.SetFromBuffer("", 0);
      copy->m_defaultValue.SetFlags(0);
    }
  }
  // The components are the target's own items of the same names, not this description's; the element size was
  // copied with them counted, so they are attached without growing it again.
  for (std::uint32_t i = 0; i < m_components.nGetCount(); ++i) {
    CColumnDescriptor* found = target->piFindItemOrRaise(pGetComponentAt(i)->pszGetName());
    if (!found) {
      copy->DeletingDestructor(1);
      return nullptr;
    }
    found->AddComponentRef();
    found->nRelease();
    if (!copy->m_components.Add(&found)) {
      found->nReleaseComponent();
      copy->DeletingDestructor(1);
      return nullptr;
    }
  }
  return copy;
}

int CColumnDescriptor::bSetAll(const char16_t* name, const char16_t* tableName, const char16_t* caption,
                               std::uint32_t elementCount, std::uint32_t elementSize, std::uint32_t type,
                               std::uint32_t position, std::uint32_t keyNumber, std::uint16_t flags,
                               std::uint32_t precision, std::uint32_t scale) {
  m_strName = name;
  m_strTableName = tableName;
  m_strCaption = caption;
  m_nElementCount = elementCount;
  m_nElementSize = elementSize;
  m_nType = type;
  m_nPosition = position;
  m_nKeyNumber = keyNumber;
  m_nFlags = flags;
  if (type == COLUMN_TYPE_TIME || type == COLUMN_TYPE_DATETIME) m_nScale = scale;
  if (type == COLUMN_TYPE_DECIMAL) {
    std::uint32_t numberType = 0;
    std::uint32_t numberSize = 0;
    ColumnTypeForNumber(static_cast<std::int32_t>(precision), static_cast<std::int32_t>(scale), numberType, numberSize);
    if (numberType == COLUMN_TYPE_REAL8) {
      m_nType = COLUMN_TYPE_REAL8;
      m_nElementSize = numberSize;
    } else {
      m_nPrecision = precision;
      m_nScale = scale;
    }
  }
  if (bIsMemo()) m_nElementSize = 8;
  if (m_nType == COLUMN_TYPE_AUTO_ID8 || m_nType == COLUMN_TYPE_AUTO_ID4) {
    m_nOptions = COLUMN_OPTION_AUTOMATIC | COLUMN_OPTION_NOT_NULL;
  }
  m_defaultValue.SetType(nGetHostType());
  m_defaultValue.SetNull(true);
  // A name memory cut short would be an item the runtime finds under no name, or another's.
  const auto kept = [](const CTString& held, const char16_t* text) {
    return held.nGetLength() == (text ? std::char_traits<char16_t>::length(text) : 0);
  };
  return kept(m_strName, name) && kept(m_strTableName, tableName) && kept(m_strCaption, caption) ? 1 : 0;
}

int CColumnDescriptor::bSetKeyInfo(std::uint32_t keyNumber, std::uint16_t flags) {
  m_nKeyNumber = keyNumber;
  m_nFlags = flags;
  return 1;
}

int CColumnDescriptor::SetKeyNumber(std::uint32_t keyNumber) {
  m_nKeyNumber = keyNumber;
  return 1;
}

void CColumnDescriptor::SetKeyDirection(bool descending) {
  if (descending) {
    m_nFlags = static_cast<std::uint16_t>((m_nFlags | COLUMN_FLAG_DESCENDING) & ~COLUMN_FLAG_ASCENDING);
  } else {
    m_nFlags = static_cast<std::uint16_t>((m_nFlags | COLUMN_FLAG_ASCENDING) & ~COLUMN_FLAG_DESCENDING);
  }
}

int CColumnDescriptor::bAddComponent(CColumnDescriptor* component) {
  // A key made of itself, at any depth, would hold itself by its own count and never go.
  if (!component || component->bHasComponent(this)) return 0;
  if (!m_components.Add(&component)) return 0;
  component->AddComponentRef();
  if (bIsCompositeKey()) m_nElementSize += component->nGetKeyComponentBytes();
  return 1;
}

bool CColumnDescriptor::bHasComponent(const CColumnDescriptor* item) const {
  if (item == this) return true;
  for (std::uint32_t i = 0; i < m_components.nGetCount(); ++i) {
    if (pGetComponentAt(i)->bHasComponent(item)) return true;
  }
  return false;
}

std::uint32_t CColumnDescriptor::nGetKeyComponentBytes() {
  const std::uint32_t length = nGetDataLength(-1);
  return m_nType == COLUMN_TYPE_WTEXT ? length * 2 : length;
}

void CColumnDescriptor::FitDefaultValue() {
  const std::uint16_t hostType = nGetHostType();
  if (bHostFailed(m_defaultValue.nConvert(static_cast<std::uint8_t>(hostType)))) m_defaultValue.SetType(hostType);
}

int CColumnDescriptor::bSetFromItem(IHostItemDescription* item, std::uint32_t keepAutomatic) {
  m_nElementCount = item->nGetElementCount();
  m_nElementSize = item->nGetSize();
  m_nType = item->nGetType();
  m_strThirdName = item->pszGetThirdName();
  m_nServerTypeCode = 0;
  if (!keepAutomatic) {
    if (m_nType == COLUMN_TYPE_AUTO_ID8) m_nType = COLUMN_TYPE_INT64;
    if (m_nType == COLUMN_TYPE_AUTO_ID4) m_nType = COLUMN_TYPE_INT32;
  }
  if (m_nType == COLUMN_TYPE_DECIMAL) {
    m_nPrecision = item->nGetPrecision();
    m_nScale = item->nGetScale();
  } else if (m_nType == COLUMN_TYPE_TIME || m_nType == COLUMN_TYPE_DATETIME) {
    m_nScale = item->nGetScale();
  } else {
    m_nPrecision = 0;
    m_nScale = 0;
  }
  FitDefaultValue();
  return 1;
}

int CColumnDescriptor::bSetFromHostItem(IHostItemDescription* item, std::uint32_t keep, std::uint32_t keyNumber) {
  const int result = bSetFromItem(item, keep);
  m_strSecondName = item->pszGetSecondName();
  m_strAlias = item->pszGetAlias();
  if (item->bIsKeyed()) {
    std::uint16_t flags = 0;
    if (item->bIsAscendingKey()) flags |= COLUMN_FLAG_ASCENDING;
    if (item->bIsDescending()) flags |= COLUMN_FLAG_DESCENDING;
    if (item->bHasFlag0080()) flags |= COLUMN_FLAG_0080;
    if (item->bHasFlag0040()) flags |= COLUMN_FLAG_0040;
    if (item->bHasFlag0020()) flags |= COLUMN_FLAG_0020;
    flags |= (keep && item->bIsUnique()) ? COLUMN_FLAG_UNIQUE : COLUMN_FLAG_DUPLICATES;
    if (item->bIsPrimaryKey()) flags |= COLUMN_FLAG_PRIMARY_KEY;
    m_nFlags = flags;
    m_nKeyNumber = keyNumber;
  }
  m_strCaption = item->pszGetCaption();
  m_bServerCaption = false;
  m_strTableName = item->pszGetTableName();
  return result;
}

void CColumnDescriptor::UpdateFromCatalogItem(CColumnDescriptor* item) {
  bSetFromItem(item, 0);
  m_nServerTypeCode = item->m_nServerTypeCode;
}

int CColumnDescriptor::bAdjustToHostItem(IHostItemDescription* item) {
  m_strCaption = m_strName;
  m_bServerCaption = m_bServerName;
  m_strTableName.Empty();
  m_nItemKind = item->nGetItemKind();
  const std::uint32_t code = item->nGetItemTypeCode();
  if (code == 0 || code == ITEM_CODE_DECIMAL) return 1;
  if (IHostItemDescription* sub = item->piGetSubDescription()) {
    const std::uint32_t kind = sub->nGetItemKind();
    if (kind == 95 || kind == 96) {
      if (m_nType == COLUMN_TYPE_WTEXT) {
        m_nType = COLUMN_TYPE_TEXT;
        m_nElementSize /= 2;
      } else if (m_nType == COLUMN_TYPE_WTEXT_MEMO) {
        m_nType = COLUMN_TYPE_TEXT_MEMO;
      }
      m_defaultValue.SetType(HOST_TYPE_TEXT);
      return 1;
    }
  }
  if ((m_nType == COLUMN_TYPE_TEXT && code == ITEM_CODE_TEXT_MEMO) ||
      (m_nType == COLUMN_TYPE_WTEXT && code == ITEM_CODE_WTEXT_MEMO) ||
      (m_nType == COLUMN_TYPE_BINARY && code == ITEM_CODE_BINARY_MEMO)) {
    return 1;
  }
  const bool memo = code == ITEM_CODE_TEXT_MEMO || code == ITEM_CODE_WTEXT_MEMO || code == ITEM_CODE_BINARY_MEMO;
  m_nElementSize = memo ? 8 : item->nGetSize();
  const std::uint32_t oldType = m_nType;
  m_nType = nHostTypeToInternalType(code);
  if (oldType == COLUMN_TYPE_DECIMAL && m_nType != COLUMN_TYPE_DECIMAL) {
    m_nPrecision = 0;
    m_nScale = 0;
  }
  FitDefaultValue();
  return 1;
}

void CColumnDescriptor::SetNullAllowed(bool allowed) {
  if (allowed) {
    m_nOptions &= ~COLUMN_OPTION_NOT_NULL;
  } else {
    m_nOptions |= COLUMN_OPTION_NOT_NULL;
  }
}

std::int32_t CColumnDescriptor::bSetDefaultValue(const CHostValue& value) {
  // A copy the allocator refused is answered as it comes: the default would be kept empty.
  const std::int32_t copied = m_defaultValue.Assign(value);
  if (copied != 0) return copied;
  return m_defaultValue.nConvert(static_cast<std::uint8_t>(nGetHostType()));
}

std::uint16_t CColumnDescriptor::nGetHostType() { return nHostTypeOfColumnType(m_nType, 0); }
