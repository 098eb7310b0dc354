#include "foundation/x_error.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "foundation/message_text.h"
#include "foundation/ref_counted.h"
#include "foundation/t_string.h"
#include "platform/last_error.h"
#include "platform/message_format.h"

namespace {

enum class InfoStorage { kNone, kText, kU64, kU32, kObject, kRaw };

InfoStorage StorageOf(std::uint32_t kind) {
  if (kind < 1 || kind > 33) return InfoStorage::kNone;
  switch (kind) {
    case 12: return InfoStorage::kU64;
    case 15:
    case 16:
    case 17:
    case 30: return InfoStorage::kU32;
    case 21: return InfoStorage::kObject;
    case 29: return InfoStorage::kRaw;
    default: return InfoStorage::kText;
  }
}

std::size_t Length(const char16_t* text) { return text ? std::char_traits<char16_t>::length(text) : 0; }

// Whether the text lies inside the field's own characters (which a resize may move or free).
bool InField(char16_t* const* field, const char16_t* text) {
  if (!*field || !text) return false;
  const auto at = reinterpret_cast<std::uintptr_t>(text);
  const auto start = reinterpret_cast<std::uintptr_t>(*field);
  return at >= start && at <= start + Length(*field) * sizeof(char16_t);
}

char16_t* CopyText(const char16_t* text) {
  const std::size_t n = Length(text);
  auto* copy = static_cast<char16_t*>(std::malloc((n + 1) * sizeof(char16_t)));
  if (copy) {
    if (n) std::memcpy(copy, text, n * sizeof(char16_t));
    copy[n] = 0;
  }
  return copy;
}

template <typename T>
T& ElementAt(const CDynamicArray& array, std::uint32_t i) {
  return *static_cast<T*>(array.pGetAt(i));
}

}  // namespace

CXError::CXError(const CModuleDescriptor* module)
    : m_aMessages(sizeof(std::uint32_t), 1), m_aInfoItems(sizeof(CErrorInfoItem), 1) {
  if (module) m_nOwnerNumber = module->nOwnerNumber;
}

CXError::CXError(std::uint32_t ownerNumber, CXError& source, int bMove)
    : m_aMessages(sizeof(std::uint32_t), 1), m_aInfoItems(sizeof(CErrorInfoItem), 1) {
  m_nOwnerNumber = ownerNumber;
  if (bMove) {
    MoveFrom(source);
  } else {
    CopyFrom(source);
  }
}

CXError::~CXError() { Finalize(); }

void CXError::Finalize() {
  Clear();
  m_nOwnerNumber = 0;
  m_aMessages.ShrinkToFit();
  m_aInfoItems.ShrinkToFit();
}

void CXError::Destroy(std::uint32_t flags) {
  if (flags & 1) {
    this->~CXError();
    ::operator delete(this);
  } else {
    Finalize();
  }
}

std::int32_t CXError::nRelease() {
  // A release of an error nobody counted gives nothing back: the count stays at 0 rather than wrapping, and the
  // error (perhaps on its raiser's stack) is left alone.
  if (m_nRefCount == 0) return 0;
  if (--m_nRefCount == 0) {
    Destroy(1);
    return 0;
  }
  return static_cast<std::int32_t>(m_nRefCount);
}

char16_t* CXError::pszDuplicateText(char16_t** field, const char16_t* text) {
  char16_t* copy = CopyText(text);
  if (!copy) return nullptr;  // the field keeps what it had
  std::free(*field);
  *field = copy;
  return copy;
}

char16_t* CXError::pszReallocText(char16_t** field, std::uint32_t length) {
  auto* grown = static_cast<char16_t*>(std::realloc(*field, (static_cast<std::size_t>(length) + 1) * sizeof(char16_t)));
  if (!grown) return nullptr;
  *field = grown;
  return grown;
}

int CXError::bAssignText(char16_t** field, const char16_t* text) {
  if (*field == text) return 1;
  if (!text) {
    FreeText(field);
    return 1;
  }
  const std::size_t n = Length(text);
  if (InField(field, text)) {
    // A tail of the field itself: moved to the front before the shrink cuts it off.
    std::memmove(*field, text, (n + 1) * sizeof(char16_t));
    pszReallocText(field, static_cast<std::uint32_t>(n));  // the larger block stays valid when it fails
    return 1;
  }
  if (!pszReallocText(field, static_cast<std::uint32_t>(n))) return 0;
  std::memcpy(*field, text, (n + 1) * sizeof(char16_t));
  return 1;
}

int CXError::bAppendText(char16_t** field, const char16_t* text) {
  if (!*field) return pszDuplicateText(field, text) ? 1 : 0;
  const std::size_t old = Length(*field);
  const std::size_t n = Length(text);
  // Text of the field itself is found again by its offset once the resize has moved it.
  const bool own = InField(field, text);
  const std::size_t offset = own ? static_cast<std::size_t>(text - *field) : 0;
  if (!pszReallocText(field, static_cast<std::uint32_t>(old + n))) return 0;
  if (own) text = *field + offset;
  std::memcpy(*field + old, text ? text : u"", n * sizeof(char16_t));
  (*field)[old + n] = 0;
  return 1;
}

void CXError::FreeText(char16_t** field) {
  std::free(*field);
  *field = nullptr;
}

void CXError::AddNestedError(CXError* source, int bMove, int bKeepUserMessage) {
  if (!source) return;
  // The list and its room are obtained before the source is read, so that memory failing loses no moved error.
  // An error moved into its own list takes its old list along: this error then starts a new one.
  std::unique_ptr<CDynamicArray> list;
  if (!m_pNested || (bMove && source == this)) list.reset(new (std::nothrow) CDynamicArray(sizeof(CXError*), 10));
  CDynamicArray* target = list ? list.get() : m_pNested;
  if (!target || (target->nGetCount() == target->nGetCapacity() && !target->Grow())) return;
  CXError* nested = new (std::nothrow) CXError(m_nOwnerNumber, *source, bMove);
  if (!nested) return;
  if (list) {
    FreeNestedErrors();  // nothing left when this error moved into its own list
    m_pNested = list.release();
  }
  if (!m_pNested->Add(&nested)) {  // no room to keep it: it goes now rather than leak
    nested->Destroy(1);
    return;
  }
  if (!bKeepUserMessage && m_pNested->nGetCount() == 1) AppendUserText(nested->pszGetUserMessage());
}

void CXError::FreeNestedErrors() {
  if (!m_pNested) return;
  for (std::uint32_t i = 0; i < m_pNested->nGetCount(); ++i) ElementAt<CXError*>(*m_pNested, i)->Destroy(1);
  delete m_pNested;
  m_pNested = nullptr;
}

std::array<char16_t**, 8> CXError::TextFields() {
  return {&m_pszUserMessage,   &m_pszDebugText,     &m_pszReserved1, &m_pszModuleName,
          &m_pszModuleVersion, &m_pszSystemMessage, &m_pszReserved2, &m_pszReserved3};
}

void CXError::FreeContents() {
  for (char16_t** field : TextFields()) FreeText(field);
  m_aMessages.Clear();
  FreeInfoItems();
  FreeNestedErrors();
}

void CXError::Clear() {
  FreeContents();
  m_nLevel = ERROR_LEVEL_NONE;
  m_nCode = 0;
  m_bReserved = 0;
  m_nNumberShown = 0;
  m_nSystemCode = 0;
  m_anReserved[0] = m_anReserved[1] = 0;
  m_nReservedNumber = 0;
}

bool CXError::bIsClear() const {
  for (char16_t** field : const_cast<CXError*>(this)->TextFields()) {
    if (*field) return false;
  }
  return m_aMessages.nGetCount() == 0 && m_aInfoItems.nGetCount() == 0 && !m_pNested &&
         m_nLevel == ERROR_LEVEL_NONE && m_nCode == 0 && m_bReserved == 0 && m_nNumberShown == 0 &&
         m_nSystemCode == 0 && m_anReserved[0] == 0 && m_anReserved[1] == 0 && m_nReservedNumber == 0;
}

void CXError::SetLevel(std::uint32_t level) {
  if (level == m_nLevel) return;
  if (level == ERROR_LEVEL_NONE) {
    Clear();
  } else {
    m_nLevel = level;
  }
}

void CXError::SetModuleTexts(const CModuleDescriptor* module, bool always) {
  if (!module || (!always && m_pszModuleName)) return;
  bAssignText(&m_pszModuleName, module->pszFileName);
  bAssignText(&m_pszModuleVersion, module->pszVersion);
}

void CXError::SetError(const CModuleDescriptor* module, std::uint32_t code, ...) {
  va_list arguments;
  va_start(arguments, code);
  SetErrorV(module, code, arguments);
  va_end(arguments);
}

void CXError::SetErrorV(std::uint32_t code, va_list arguments) { SetErrorV(&gstModuleDescriptor, code, arguments); }

void CXError::SetErrorV(const CModuleDescriptor* module, std::uint32_t code, va_list arguments) {
  Clear();
  SetModuleTexts(module, true);
  const CErrorDefinition* row = nullptr;
  if (module) {
    for (std::uint32_t i = 0; i < module->nDefinitionCount && !row; ++i) {
      if (module->pDefinitions[i].nCode == code) row = &module->pDefinitions[i];
    }
  }
  if (!row) {
    m_nLevel = ERROR_LEVEL_FATAL;
    AddDebugFormat(u"##(CXError)-Pas de définition d'erreur dans gstErrorDef pour l'identifiant <%u>##", code);
    return;
  }
  m_nCode = code;
  PutUserMessage(module, row->nMessage, arguments, true);
  m_nNumberShown = row->nShown;
  m_nLevel = row->nLevel;
}

void CXError::SetStatusError(const CModuleDescriptor* module, std::uint32_t status, std::uint32_t a,
                             std::uint32_t b) {
  switch (status) {
    case 0: Clear(); return;
    case 1: SetError(module, 65, a, b); return;
    case 100: SetOutOfMemory(); return;
    case 101: SetError(module, 61, a); return;
    case 104: SetError(module, 66, a, b); return;
    case 105: SetError(module, 60, a); return;
    case 106: SetError(module, 64, a, b); return;
    case 107: SetError(module, 63, a); return;
    default: break;
  }
  // Every code of 100 or more is a failure: one without a mapping of its own still leaves an error with a text,
  // never the empty error of a success.
  if (status >= 100) {
    SetError(module, 62, a, b);
    AddDebugFormat(u"##(CXError)-Code de retour <%u> sans correspondance##", status);
  }
}

void CXError::SetOutOfMemory() {
  Clear();
  InsertUserMessage(&gstModuleDescriptor, 25193);
  SetSystemError(14);
  // A failed operation must show a failure: the empty level would read as "no error".
  m_nLevel = ERROR_LEVEL_FATAL;
}

bool CXError::LoadMessage(const CModuleDescriptor* module, std::uint32_t message, va_list arguments, CTString& text) {
  if (!nLoadMessageText(module, message, text, arguments)) {
    AddDebugFormat(u"##(CXError)-Ressource <%u> non chargée##", message);
    return false;
  }
  if (text.bIsEmpty()) {
    AddDebugFormat(u"##(CXError)-Ressource <%u> vide. LastError = <%u>##", message, platform::GetLastErrorCode());
    return false;
  }
  return true;
}

void CXError::PutUserMessage(const CModuleDescriptor* module, std::uint32_t message, va_list arguments, bool insert) {
  SetModuleTexts(module, false);
  if (insert) {
    m_aMessages.InsertAt(&message, 0);
  } else {
    m_aMessages.Add(&message);
  }
  CTString text;
  if (!LoadMessage(module, message, arguments, text)) return;
  if (insert) {
    if (m_pszUserMessage && m_pszUserMessage[0]) {
      CTString joined(text);
      joined.Append(u"\r\n");
      joined.Append(m_pszUserMessage);
      bAssignText(&m_pszUserMessage, joined.pszGet());
    } else {
      bAssignText(&m_pszUserMessage, text.pszGet());
    }
  } else {
    AppendUserText(text.pszGet());
  }
}

void CXError::InsertUserMessage(const CModuleDescriptor* module, std::uint32_t message, ...) {
  va_list arguments;
  va_start(arguments, message);
  PutUserMessage(module, message, arguments, true);
  va_end(arguments);
}

void CXError::AddUserMessage(const CModuleDescriptor* module, std::uint32_t message, ...) {
  va_list arguments;
  va_start(arguments, message);
  PutUserMessage(module, message, arguments, false);
  va_end(arguments);
}

void CXError::InsertUserMessageV(const CModuleDescriptor* module, std::uint32_t message, va_list arguments) {
  PutUserMessage(module, message, arguments, true);
}

void CXError::AddUserMessageV(const CModuleDescriptor* module, std::uint32_t message, va_list arguments) {
  PutUserMessage(module, message, arguments, false);
}

void CXError::AddDebugText(const char16_t* text) {
  if (!text || !text[0]) return;
  AppendLine(&m_pszDebugText, text);
}

void CXError::AppendLine(char16_t** field, const char16_t* text) {
  // The line break changes the field first: a text of the field itself is copied before it.
  CTString own;
  if (InField(field, text)) {
    own.Assign(text);
    text = own.pszGet();
  }
  // Without its line break the text would run into the one before: it is left out instead.
  if (*field && (*field)[0] && !bAppendText(field, u"\r\n")) return;
  bAppendText(field, text);
}

void CXError::InsertDebugText(const char16_t* text) {
  if (!text || !text[0]) return;
  CTString joined(text);
  joined.Append(u"\r\n");
  joined.Append(m_pszDebugText);
  bAssignText(&m_pszDebugText, joined.pszGet());
}

void CXError::AddDebugMessage(const CModuleDescriptor* module, std::uint32_t message, ...) {
  if (message == MESSAGE_NONE) return;
  va_list arguments;
  va_start(arguments, message);
  CTString text;
  if (LoadMessage(module, message, arguments, text)) AddDebugText(text.pszGet());
  va_end(arguments);
}

void CXError::AddDebugFormat(const char16_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  CTString text;
  text.FormatV(format, arguments);
  va_end(arguments);
  AddDebugText(text.pszGet());
}

void CXError::SetSystemError(std::uint32_t code) {
  m_nSystemCode = code;
  char16_t* text = nullptr;
  if (code != 0 && platform::FormatSystemMessage(code, &text) && text) {
    bAssignText(&m_pszSystemMessage, text);
    platform::FreeMessageText(text);
  } else {
    FreeText(&m_pszSystemMessage);
  }
}

void CXError::SetSystemText(const char16_t* text) {
  m_nSystemCode = 0;
  bAssignText(&m_pszSystemMessage, text);
}

void CXError::AppendUserText(const char16_t* text) { AppendLine(&m_pszUserMessage, text); }

CErrorInfoItem* CXError::FindInfo(std::uint32_t kind) const {
  for (std::uint32_t i = 0; i < m_aInfoItems.nGetCount(); ++i) {
    CErrorInfoItem& item = ElementAt<CErrorInfoItem>(m_aInfoItems, i);
    if (item.nKind == kind) return &item;
  }
  return nullptr;
}

void CXError::ReleaseInfoValue(CErrorInfoItem& item) {
  switch (StorageOf(item.nKind)) {
    case InfoStorage::kText:
      std::free(reinterpret_cast<char16_t*>(static_cast<std::uintptr_t>(item.nValue)));
      break;
    case InfoStorage::kObject:
      if (auto* object = reinterpret_cast<CRefCounted*>(static_cast<std::uintptr_t>(item.nValue))) object->nRelease();
      break;
    default:
      break;
  }
  item.nValue = 0;
}

void CXError::FreeInfoItems() {
  for (std::uint32_t i = 0; i < m_aInfoItems.nGetCount(); ++i) ReleaseInfoValue(ElementAt<CErrorInfoItem>(m_aInfoItems, i));
  m_aInfoItems.Clear();
}

void CXError::SetInfo(std::uint32_t kind, const void* value) {
  const InfoStorage storage = StorageOf(kind);
  if (storage == InfoStorage::kNone || !value) return;
  std::uint64_t stored = 0;
  switch (storage) {
    case InfoStorage::kText: {
      char16_t* copy = CopyText(static_cast<const char16_t*>(value));
      if (!copy) return;  // the item stays as it was, or absent
      stored = reinterpret_cast<std::uintptr_t>(copy);
      break;
    }
    case InfoStorage::kU64: stored = *static_cast<const std::uint64_t*>(value); break;
    case InfoStorage::kU32: stored = *static_cast<const std::uint32_t*>(value); break;
    case InfoStorage::kObject:
    case InfoStorage::kRaw: stored = reinterpret_cast<std::uintptr_t>(value); break;
    case InfoStorage::kNone: return;
  }
  if (CErrorInfoItem* item = FindInfo(kind)) {
    if (storage == InfoStorage::kObject && item->nValue == stored) return;
    ReleaseInfoValue(*item);
    item->nValue = stored;
  } else {
    const CErrorInfoItem added{kind, stored};
    if (!m_aInfoItems.Add(&added)) {  // no room for the item: its copy goes, and an object takes no reference
      if (storage == InfoStorage::kText) std::free(reinterpret_cast<char16_t*>(static_cast<std::uintptr_t>(stored)));
      return;
    }
  }
  if (storage == InfoStorage::kObject) AddRefObject(static_cast<CRefCounted*>(const_cast<void*>(value)));
}

int CXError::nGetInfo(std::uint32_t kind, void* out) const {
  const CErrorInfoItem* item = FindInfo(kind);
  if (!item || !out) return item ? 1 : 0;
  switch (StorageOf(kind)) {
    case InfoStorage::kU32: *static_cast<std::uint32_t*>(out) = static_cast<std::uint32_t>(item->nValue); break;
    case InfoStorage::kU64: **static_cast<std::uint64_t**>(out) = item->nValue; break;
    default: *static_cast<std::uint64_t*>(out) = item->nValue; break;
  }
  return 1;
}

const char16_t* CXError::pszGetInfoText(std::uint32_t kind) const {
  const CErrorInfoItem* item = StorageOf(kind) == InfoStorage::kText ? FindInfo(kind) : nullptr;
  return item ? reinterpret_cast<const char16_t*>(static_cast<std::uintptr_t>(item->nValue)) : nullptr;
}

std::uint32_t CXError::nGetMessageCount() const { return m_aMessages.nGetCount(); }
std::uint32_t CXError::nGetMessageAt(std::uint32_t i) const { return ElementAt<std::uint32_t>(m_aMessages, i); }

void CXError::CopyTexts(const CXError& source) {
  bAssignText(&m_pszUserMessage, source.m_pszUserMessage);
  bAssignText(&m_pszDebugText, source.m_pszDebugText);
  bAssignText(&m_pszReserved1, source.m_pszReserved1);
  bAssignText(&m_pszModuleName, source.m_pszModuleName);
  bAssignText(&m_pszModuleVersion, source.m_pszModuleVersion);
  bAssignText(&m_pszSystemMessage, source.m_pszSystemMessage);
  bAssignText(&m_pszReserved2, source.m_pszReserved2);
  bAssignText(&m_pszReserved3, source.m_pszReserved3);
}

void CXError::CopyFrom(const CXError& source) {
  if (&source == this) return;
  m_nLevel = source.m_nLevel;
  m_nCode = source.m_nCode;
  m_nReservedNumber = source.m_nReservedNumber;
  CopyTexts(source);
  m_nSystemCode = source.m_nSystemCode;
  m_nNumberShown = source.m_nNumberShown;
  m_bReserved = source.m_bReserved;
  m_anReserved[0] = source.m_anReserved[0];
  m_anReserved[1] = source.m_anReserved[1];

  m_aMessages.Clear();
  for (std::uint32_t i = 0; i < source.nGetMessageCount(); ++i) {
    const std::uint32_t message = source.nGetMessageAt(i);
    m_aMessages.Add(&message);
  }
  FreeInfoItems();
  for (std::uint32_t i = 0; i < source.m_aInfoItems.nGetCount(); ++i) {
    const CErrorInfoItem& item = ElementAt<CErrorInfoItem>(source.m_aInfoItems, i);
    const InfoStorage storage = StorageOf(item.nKind);
    // An object belongs to its owner's world: an error of another owner does not share it.
    if (storage == InfoStorage::kObject && source.m_nOwnerNumber != m_nOwnerNumber) continue;
    const std::uint32_t narrow = static_cast<std::uint32_t>(item.nValue);
    const void* value = storage == InfoStorage::kU64   ? static_cast<const void*>(&item.nValue)
                        : storage == InfoStorage::kU32 ? static_cast<const void*>(&narrow)
                                                       : reinterpret_cast<const void*>(static_cast<std::uintptr_t>(item.nValue));
    SetInfo(item.nKind, value);
  }
  for (std::uint32_t i = 0; i < source.nGetNestedCount(); ++i) AddNestedError(source.pGetNestedError(i), 0, 1);
}

void CXError::MoveFrom(CXError& source) {
  if (&source == this) return;
  if (bHoldsNested(source)) {
    // The source is freed with this error's nested errors below: it is taken out whole first.
    CXError taken(m_nOwnerNumber, source, 1);
    MoveFrom(taken);
    return;
  }
  FreeContents();

  m_nLevel = source.m_nLevel;
  m_nCode = source.m_nCode;
  m_nReservedNumber = source.m_nReservedNumber;
  m_nSystemCode = source.m_nSystemCode;
  m_nNumberShown = source.m_nNumberShown;
  m_bReserved = source.m_bReserved;
  m_anReserved[0] = source.m_anReserved[0];
  m_anReserved[1] = source.m_anReserved[1];
  const std::array<char16_t**, 8> from = source.TextFields();
  const std::array<char16_t**, 8> to = TextFields();
  for (std::size_t i = 0; i < from.size(); ++i) {
    *to[i] = *from[i];
    *from[i] = nullptr;
  }
  for (std::uint32_t i = 0; i < source.nGetMessageCount(); ++i) {
    const std::uint32_t message = source.nGetMessageAt(i);
    m_aMessages.Add(&message);
  }
  for (std::uint32_t i = 0; i < source.m_aInfoItems.nGetCount(); ++i) {
    CErrorInfoItem& item = ElementAt<CErrorInfoItem>(source.m_aInfoItems, i);
    if (StorageOf(item.nKind) == InfoStorage::kObject && source.m_nOwnerNumber != m_nOwnerNumber) {
      ReleaseInfoValue(item);
      continue;
    }
    m_aInfoItems.Add(&item);
  }
  source.m_aMessages.Clear();
  source.m_aInfoItems.Clear();
  m_pNested = source.m_pNested;
  source.m_pNested = nullptr;
  source.Clear();
}

bool CXError::bHoldsNested(const CXError& error) const {
  for (std::uint32_t i = 0; i < nGetNestedCount(); ++i) {
    const CXError* nested = pGetNestedError(i);
    if (nested == &error || nested->bHoldsNested(error)) return true;
  }
  return false;
}

std::uint32_t CXError::nGetNestedCount() const { return m_pNested ? m_pNested->nGetCount() : 0; }

CXError* CXError::pGetNestedError(std::uint32_t index) const {
  return index < nGetNestedCount() ? ElementAt<CXError*>(*m_pNested, index) : nullptr;
}

CXError* CXError::pGetInnermostError() {
  const std::uint32_t n = nGetNestedCount();
  return n ? pGetNestedError(n - 1) : this;
}

void CModuleError::Destroy(std::uint32_t flags) { CXError::Destroy(flags); }

void AddErrorIdentification(CXError& error, std::uint32_t unit, std::uint32_t point) {
  error.AddDebugFormat(u"IE%s=%u.%u\r\nModule=<%s>\r\nVersion=<%s>", u"QZORA", unit, point, u"QZORA", u"17.0.65.0");
}

void SetErrorFileAndItem(CXError& error, const char16_t* file, const char16_t* item) {
  if (!file || !file[0]) return;
  error.SetInfo(ERROR_INFO_FILE, file);
  if (item && item[0]) error.SetInfo(ERROR_INFO_ITEM, item);
}

void BuildIgnoredErrorDump(const CXError& error, CTString& out) {
  const char16_t* file = error.pszGetInfoText(ERROR_INFO_FILE);
  const char16_t* item = error.pszGetInfoText(ERROR_INFO_ITEM);
  out.Empty();
  for (const char16_t* piece :
       {u"Message d'erreur ignoré :", u"Dump du CXError\r\n", u"fichier <", file, u">, rubrique <", item, u">\r\n",
        u"Message d'erreur utilisateur : \r\n", error.pszGetUserMessage(), u"\r\nMessage d'erreur système : \r\n",
        error.pszGetSystemMessage(), u"\r\nInformations de debug : \r\n", error.pszGetDebugText()}) {
    out.Append(piece);
  }
  constexpr std::uint32_t kDumpLimit = 1000;
  if (out.nGetLength() > kDumpLimit) out.Truncate(kDumpLimit);
}

void DiscardIgnoredError(const CXError& error) {
  CTString dump;
  BuildIgnoredErrorDump(error, dump);
}
