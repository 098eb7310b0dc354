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

std::uint32_t TableDescription::nGetItemCount() { return static_cast<std::uint32_t>(NumberSlot(kItemCount, 0)); }

std::uint32_t TableDescription::nGetKeyCount() { return static_cast<std::uint32_t>(NumberSlot(kKeyCount, 0)); }

std::uint32_t TableDescription::nGetLargeItemCount() {
  return static_cast<std::uint32_t>(NumberSlot(kLargeItemCount, 0));
}

std::uint32_t TableDescription::nGetColumnCount() { return static_cast<std::uint32_t>(NumberSlot(kColumnCount, 0)); }

void* TableDescription::piGetItem(std::uint32_t index) {
  Note(16, {index});
  return nullptr;
}

void* TableDescription::piFindItem(const char16_t* name) {
  Note(17, {Arg(name)});
  return nullptr;
}

void* TableDescription::piGetKey(std::uint32_t index) {
  Note(18, {index});
  return nullptr;
}

void* TableDescription::piGetLargeItem(std::uint32_t index) {
  Note(19, {index});
  return nullptr;
}

std::int32_t TableDescription::nReturnOne20() {
  Note(20);
  return 1;
}

const char16_t* TableDescription::pszGetSqlTableName() { return TextSlot(kSqlTableName); }

void* TableDescription::piGetIdentifyingKey() {
  Note(22);
  return nullptr;
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

}  // namespace qzrt
