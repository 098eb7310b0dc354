#include "standin/runtime/runtime_objects.h"

#include <algorithm>

namespace qzrt {

// ---- SlotObject -----------------------------------------------------------------------------------------------------

void SlotObject::SetText(std::size_t slot, std::optional<std::u16string> text) {
  std::lock_guard lock(m_mutex);
  m_texts[slot] = std::move(text);
}

void SlotObject::SetNumber(std::size_t slot, std::int64_t value) {
  std::lock_guard lock(m_mutex);
  m_numbers[slot] = value;
}

void SlotObject::SetSpan(std::size_t startSlot, std::uint32_t start, std::uint32_t end) {
  std::lock_guard lock(m_mutex);
  m_numbers[startSlot] = start;
  m_numbers[startSlot + 1] = end;
}

void SlotObject::ThrowAt(std::size_t slot) {
  std::lock_guard lock(m_mutex);
  m_throwAt = slot;
}

std::vector<Call> SlotObject::Calls() const {
  std::lock_guard lock(m_mutex);
  return m_calls;
}

std::vector<std::size_t> SlotObject::CalledSlots() const {
  std::lock_guard lock(m_mutex);
  std::vector<std::size_t> slots;
  slots.reserve(m_calls.size());
  for (const Call& call : m_calls) slots.push_back(call.slot);
  return slots;
}

std::size_t SlotObject::CallCount(std::size_t slot) const {
  std::lock_guard lock(m_mutex);
  return static_cast<std::size_t>(
      std::count_if(m_calls.begin(), m_calls.end(), [slot](const Call& call) { return call.slot == slot; }));
}

void SlotObject::ClearCalls() {
  std::lock_guard lock(m_mutex);
  m_calls.clear();
}

std::int32_t SlotObject::References() const {
  std::lock_guard lock(m_mutex);
  return m_references;
}

void SlotObject::Note(std::size_t slot, std::initializer_list<std::int64_t> arguments) {
  std::lock_guard lock(m_mutex);
  m_calls.push_back(Call{slot, std::vector<std::int64_t>(arguments)});
  if (slot == m_throwAt) throw SlotFault{slot};
}

const char16_t* SlotObject::Text(std::size_t slot) const {
  std::lock_guard lock(m_mutex);
  const auto it = m_texts.find(slot);
  return it != m_texts.end() && it->second ? it->second->c_str() : nullptr;
}

std::int64_t SlotObject::Number(std::size_t slot, std::int64_t fallback) const {
  std::lock_guard lock(m_mutex);
  const auto it = m_numbers.find(slot);
  return it != m_numbers.end() ? it->second : fallback;
}

std::int32_t SlotObject::AddReference() {
  std::lock_guard lock(m_mutex);
  return ++m_references;
}

std::int32_t SlotObject::DropReference() {
  std::lock_guard lock(m_mutex);
  return --m_references;
}

std::intptr_t SlotObject::Unused(std::size_t slot) {
  Note(slot);
  return 0;
}

const char16_t* SlotObject::TextSlot(std::size_t slot) {
  Note(slot);
  return Text(slot);
}

std::int64_t SlotObject::NumberSlot(std::size_t slot, std::int64_t fallback) {
  Note(slot);
  return Number(slot, fallback);
}

// ---- ConnectionDescription ------------------------------------------------------------------------------------------

std::uint32_t ConnectionDescription::nGetInterfaceVersion() {
  return static_cast<std::uint32_t>(NumberSlot(kInterfaceVersion, 4));
}

std::int32_t ConnectionDescription::AddRef(std::int32_t a, std::int32_t b) {
  Note(kAddRef, {a, b});
  return AddReference();
}

std::int32_t ConnectionDescription::nRelease() {
  Note(kRelease);
  return DropReference();
}

const char16_t* ConnectionDescription::pszGetUserId() { return TextSlot(kUserId); }

const char16_t* ConnectionDescription::pszGetPassword() { return TextSlot(kPassword); }

const char16_t* ConnectionDescription::pszGetDataSource() { return TextSlot(kDataSource); }

std::int32_t ConnectionDescription::bIsReadOnly() { return static_cast<std::int32_t>(NumberSlot(kReadOnly, 0)); }

const char16_t* ConnectionDescription::pszGetProvider() { return TextSlot(kProvider); }

std::int32_t ConnectionDescription::nGetConnectionTimeout() {
  return static_cast<std::int32_t>(NumberSlot(kConnectionTimeout, 0));
}

std::int32_t ConnectionDescription::nGetCommandTimeout() {
  return static_cast<std::int32_t>(NumberSlot(kCommandTimeout, 0));
}

const char16_t* ConnectionDescription::pszGetExtendedInformation() { return TextSlot(kExtendedInformation); }

const char16_t* ConnectionDescription::pszGetName() { return TextSlot(kName); }

std::uint32_t ConnectionDescription::nGetCursorLocation() {
  return static_cast<std::uint32_t>(NumberSlot(kCursorLocation, 0));
}

std::int32_t ConnectionDescription::nGetNamedParameterFlag() {
  return static_cast<std::int32_t>(NumberSlot(kNamedParameterFlag, 0));
}

const char16_t* ConnectionDescription::pszGetDatabase() { return TextSlot(kDatabase); }

std::int64_t ConnectionDescription::nGetCacheSize() { return NumberSlot(kCacheSize, 0); }

const char16_t* ConnectionDescription::pszGetLabel() { return TextSlot(kLabel); }

// ---- TableDescription -----------------------------------------------------------------------------------------------

TableDescription::TableDescription(const std::u16string& name) {
  SetText(kName, name);
  SetText(kSqlTableName, name);
}

std::uint32_t TableDescription::nGetInterfaceLevel() {
  return static_cast<std::uint32_t>(NumberSlot(kInterfaceLevel, 6));
}

std::int32_t TableDescription::nReturnOne1() {
  Note(1);
  return 1;
}

std::int32_t TableDescription::nReturnMinusOne2() {
  Note(2);
  return -1;
}

std::int32_t TableDescription::nReturnMinusOne3() {
  Note(3);
  return -1;
}

void TableDescription::DoNothing4() { Note(4); }

std::int32_t TableDescription::AddExternalRef() {
  Note(kAddExternalRef);
  return AddReference();
}

std::int32_t TableDescription::nReleaseExternal() {
  Note(kReleaseExternal);
  return DropReference();
}

const char16_t* TableDescription::pszGetName() { return TextSlot(kName); }

const char16_t* TableDescription::pszGetName2() {
  Note(kName2);
  return Text(kName);
}

const char16_t* TableDescription::pszGetEmptyText() {
  Note(9);
  return u"";
}

std::uint32_t TableDescription::nGetRecordSize() { return static_cast<std::uint32_t>(NumberSlot(kRecordSize, 0)); }

std::uint32_t TableDescription::nGetFullSize() { return static_cast<std::uint32_t>(NumberSlot(kFullSize, 0)); }

std::uint32_t TableDescription::nGetItemCount() {
  return static_cast<std::uint32_t>(NumberSlot(kItemCount, static_cast<std::int64_t>(m_items.size())));
}

std::uint32_t TableDescription::nGetKeyCount() {
  return static_cast<std::uint32_t>(NumberSlot(kKeyCount, static_cast<std::int64_t>(Keys().size())));
}

std::uint32_t TableDescription::nGetLargeItemCount() {
  return static_cast<std::uint32_t>(NumberSlot(kLargeItemCount, static_cast<std::int64_t>(LargeItems().size())));
}

std::uint32_t TableDescription::nGetColumnCount() { return static_cast<std::uint32_t>(NumberSlot(kColumnCount, 0)); }

void* TableDescription::piGetItem(std::uint32_t index) {
  Note(16, {index});
  if (index >= m_items.size()) return nullptr;
  m_items[index]->AddRef();
  return m_items[index];
}

void TableDescription::AddItem(ItemDescription* item) { m_items.push_back(item); }

namespace {

// Item names compare as the runtime compares them: without case (ASCII letters).
bool bSameName(const char16_t* a, const char16_t* b) {
  if (!a || !b) return false;
  auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; };
  for (; *a && *b; ++a, ++b) {
    if (fold(*a) != fold(*b)) return false;
  }
  return *a == *b;
}

void* pHandOut(ItemDescription* item) {
  if (item) item->AddRef();
  return item;
}

}  // namespace

std::vector<ItemDescription*> TableDescription::Keys() const {
  std::vector<ItemDescription*> keys;
  for (ItemDescription* item : m_items) {
    if (item->bIsKeyed()) keys.push_back(item);
  }
  std::stable_sort(keys.begin(), keys.end(),
                   [](ItemDescription* a, ItemDescription* b) { return a->nGetKeyNumber() < b->nGetKeyNumber(); });
  return keys;
}

std::vector<ItemDescription*> TableDescription::LargeItems() const {
  std::vector<ItemDescription*> large;
  for (ItemDescription* item : m_items) {
    if (item->bIsMemo()) large.push_back(item);
  }
  return large;
}

void* TableDescription::piFindItem(const char16_t* name) {
  Note(17, {Arg(name)});
  for (ItemDescription* item : m_items) {
    if (bSameName(item->pszGetName(), name)) return pHandOut(item);
  }
  return nullptr;
}

void* TableDescription::piGetKey(std::uint32_t index) {
  Note(18, {index});
  const std::vector<ItemDescription*> keys = Keys();
  return index < keys.size() ? pHandOut(keys[index]) : nullptr;
}

void* TableDescription::piGetLargeItem(std::uint32_t index) {
  Note(19, {index});
  const std::vector<ItemDescription*> large = LargeItems();
  return index < large.size() ? pHandOut(large[index]) : nullptr;
}

std::int32_t TableDescription::nReturnOne20() {
  Note(20);
  return 1;
}

const char16_t* TableDescription::pszGetSqlTableName() { return TextSlot(kSqlTableName); }

// The primary key, else the first unique key, else the first key; null without keys.
void* TableDescription::piGetIdentifyingKey() {
  Note(22);
  const std::vector<ItemDescription*> keys = Keys();
  for (ItemDescription* key : keys) {
    if (key->bIsPrimaryKey()) return pHandOut(key);
  }
  for (ItemDescription* key : keys) {
    if (key->bIsUnique()) return pHandOut(key);
  }
  return keys.empty() ? nullptr : pHandOut(keys.front());
}

const char16_t* TableDescription::pszGetSecondaryName() { return TextSlot(kSecondaryName); }

const char16_t* TableDescription::pszGetTertiaryName() { return TextSlot(kTertiaryName); }

const char16_t* TableDescription::pszGetOwnerName() { return TextSlot(kOwnerName); }

const char16_t* TableDescription::pszGetDatabaseName() { return TextSlot(kDatabaseName); }

// ---- FileHandle -----------------------------------------------------------------------------------------------------

FileHandle::FileHandle(std::uint64_t contextId, std::uint64_t fileId) { SetIdentifiers(contextId, fileId); }

void FileHandle::SetIdentifiers(std::uint64_t contextId, std::uint64_t fileId) {
  SetNumber(kContextId, static_cast<std::int64_t>(contextId));
  SetNumber(kFileId, static_cast<std::int64_t>(fileId));
}

std::uint64_t FileHandle::nGetFileId() { return static_cast<std::uint64_t>(NumberSlot(kFileId, 0)); }

std::uint64_t FileHandle::nGetContextId() { return static_cast<std::uint64_t>(NumberSlot(kContextId, 0)); }

// ---- RuntimeObject --------------------------------------------------------------------------------------------------

RuntimeObject::RuntimeObject(const std::u16string& name) { SetText(kName, name); }

std::int32_t RuntimeObject::AddExternalRef() {
  Note(kAddExternalRef);
  return AddReference();
}

std::int32_t RuntimeObject::nReleaseExternal() {
  // The reference goes even when the release then throws: the runtime has given it up either way.
  const std::int32_t references = DropReference();
  Note(kReleaseExternal);
  return references;
}

const char16_t* RuntimeObject::pszGetName() { return TextSlot(kName); }

std::uint32_t RuntimeObject::nGetPending() { return static_cast<std::uint32_t>(NumberSlot(kPending, 0)); }

// ---- SqlQuery -------------------------------------------------------------------------------------------------------

std::int32_t SqlQuery::nQueryLibrary(std::int32_t question, std::int32_t library, std::uint32_t* version) {
  Note(kLibraryQuestion, {question, library, Arg(version)});
  auto lock = Lock();
  if (m_libraryAnswer != 0 && version) *version = m_libraryVersion;
  return m_libraryAnswer;
}

void SqlQuery::SetLibraryAnswer(std::int32_t answer, std::uint32_t version) {
  auto lock = Lock();
  m_libraryAnswer = answer;
  m_libraryVersion = version;
}

// ---- KeyTranslator --------------------------------------------------------------------------------------------------

std::int32_t KeyTranslator::bTranslateKey(std::uint64_t oldKey, std::uint64_t* newKey) {
  Note(kTranslate, {static_cast<std::int64_t>(oldKey), Arg(newKey)});
  auto lock = Lock();
  const auto it = m_translations.find(oldKey);
  if (it == m_translations.end()) return 0;
  if (newKey) *newKey = it->second;
  return 1;
}

void KeyTranslator::SetTranslation(std::uint64_t oldKey, std::uint64_t newKey) {
  auto lock = Lock();
  m_translations[oldKey] = newKey;
}

// ---- ItemDescription
// -------------------------------------------------------------------------------------------------

ItemDescription::ItemDescription(const std::u16string& name) { SetText(kName, name); }

std::uint32_t ItemDescription::nGetInterfaceLevel() { return Unsigned(kInterfaceLevel, 9); }
std::int32_t ItemDescription::nReturnOne1() {
  Note(1);
  return 1;
}
std::int32_t ItemDescription::nReturnMinusOne2() {
  Note(2);
  return -1;
}
std::int32_t ItemDescription::nReturnMinusOne3() {
  Note(3);
  return -1;
}
void ItemDescription::DoNothing4() { Note(4); }
std::uint32_t ItemDescription::AddRef() {
  Note(kAddRef);
  return static_cast<std::uint32_t>(AddReference());
}
std::uint32_t ItemDescription::nRelease() {
  Note(kRelease);
  return static_cast<std::uint32_t>(DropReference());
}
const char16_t* ItemDescription::pszGetName() { return TextSlot(kName); }
std::uint32_t ItemDescription::nGetElementCount() { return Unsigned(kElementCount, 1); }
std::uint32_t ItemDescription::nGetSize() { return Unsigned(kSize); }
std::uint32_t ItemDescription::nGetDataLength(std::int32_t) { return Unsigned(kDataLength); }
std::uint32_t ItemDescription::nGetTotalSize() { return Unsigned(kTotalSize); }
std::uint32_t ItemDescription::nGetType() { return Unsigned(kType); }
std::uint32_t ItemDescription::nGetPosition() { return Unsigned(kPosition); }
std::int32_t ItemDescription::bIsKeyed() { return Signed(kKeyed); }
std::int32_t ItemDescription::bIsMemo() { return Signed(kMemo); }
std::int32_t ItemDescription::bIsTextMemo() { return Signed(kTextMemo); }
std::int32_t ItemDescription::bIsBinaryMemo() { return Signed(kBinaryMemo); }
std::int32_t ItemDescription::bIsNumeric() { return Signed(kNumeric); }
std::int32_t ItemDescription::bIsText() { return Signed(kText); }
std::uint32_t ItemDescription::nGetKeyNumber() { return Unsigned(kKeyNumber); }
std::uint32_t ItemDescription::nGetComponentCount() {
  return Unsigned(kComponentCount, static_cast<std::int64_t>(m_components.size()));
}
std::int32_t ItemDescription::bIsPrimaryKey() { return Signed(kPrimaryKey); }
std::int32_t ItemDescription::bIsUnique() { return Signed(kUnique); }
std::int32_t ItemDescription::bIsKeyWithDuplicates() { return Signed(kKeyWithDuplicates); }
std::int32_t ItemDescription::bIsCompositeKey() { return Signed(kCompositeKey); }
std::int32_t ItemDescription::bIsAscendingKey() { return Signed(kAscendingKey); }
std::int32_t ItemDescription::bIsDescending() { return Signed(kDescending); }
std::int32_t ItemDescription::bHasFlag0080() { return Signed(kFlag0080); }
std::int32_t ItemDescription::bHasFlag0040() { return Signed(kFlag0040); }
std::int32_t ItemDescription::bHasFlag0020() { return Signed(kFlag0020); }

void* ItemDescription::pGetComponent(std::uint32_t index) {
  Note(kComponent, {index});
  if (index < 1 || index > m_components.size()) return nullptr;
  m_components[index - 1]->AddRef();
  return m_components[index - 1];
}

std::uint32_t ItemDescription::nGetElementOffset(std::int32_t) { return Unsigned(kElementOffset); }
std::uint32_t ItemDescription::nGetNullFlagIndex(std::int32_t) { return Unsigned(kNullFlagIndex); }
void* ItemDescription::pGetDefaultValue() {
  Note(kDefaultValue);
  return nullptr;
}
const char16_t* ItemDescription::pszGetSecondName() { return TextSlot(kSecondName); }
const char16_t* ItemDescription::pszGetAlias() { return TextSlot(kAlias); }
const char16_t* ItemDescription::pszGetThirdName() { return TextSlot(kThirdName); }
std::uint32_t ItemDescription::nGetItemKind() { return Unsigned(kItemKind); }
void* ItemDescription::piGetSubDescription() {
  Note(kSubDescription);
  return m_pSubDescription;
}
std::uint32_t ItemDescription::nGetPrecision() { return Unsigned(kPrecision); }
std::uint32_t ItemDescription::nGetScale() { return Unsigned(kScale); }
const char16_t* ItemDescription::pszGetCaption() { return TextSlot(kCaption); }
const char16_t* ItemDescription::pszGetTableName() { return TextSlot(kTableName); }
std::uint32_t ItemDescription::nGetItemTypeCode() { return Unsigned(kItemTypeCode); }
std::int32_t ItemDescription::bIsUpdatable() { return Signed(kUpdatable, 1); }
const char16_t* ItemDescription::pszGetOrigin() { return TextSlot(kOrigin); }
const char16_t* ItemDescription::pszGetFileName() { return TextSlot(kFileName); }
void* ItemDescription::piGetExpression() {
  Note(kExpression);
  return m_pExpression;
}
std::int32_t ItemDescription::bIsOption4Clear() { return Signed(kOption4Clear, 1); }
void ItemDescription::SetOption4(std::int32_t clear) { Note(kSetOption4, {clear}); }
std::int32_t ItemDescription::bIsNullAllowed() { return Signed(kNullAllowed, 1); }
void ItemDescription::DeletingDestructor(std::uint32_t flags) { Note(kDestroy, {flags}); }
void ItemDescription::SetPrecision(std::uint32_t precision) { Note(kSetPrecision, {precision}); }
void ItemDescription::SetScale(std::uint32_t scale) { Note(kSetScale, {scale}); }
void* ItemDescription::pCopyAs(void* description, std::uint32_t options) {
  Note(kCopyAs, {Arg(description), options});
  return nullptr;
}
std::uint32_t ItemDescription::nGetTextStart() { return Unsigned(kTextStart); }
std::uint32_t ItemDescription::nGetTextEnd() { return Unsigned(kTextEnd); }

void ItemDescription::AddComponent(ItemDescription* component) { m_components.push_back(component); }
void ItemDescription::SetSubDescription(ItemDescription* sub) { m_pSubDescription = sub; }

}  // namespace qzrt
