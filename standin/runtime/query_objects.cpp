#include "standin/runtime/query_objects.h"

#include <cstring>

namespace qzrt {

void CountedPart::AddRef() {
  Note(kAddRef);
  AddReference();
}

void CountedPart::Release() {
  Note(kRelease);
  DropReference();
}

QueryFile::QueryFile(const std::u16string& name, const std::u16string& alias) {
  SetText(kName, name);
  SetText(kAlias, alias);
}
const char16_t* QueryFile::pszGetName() { return TextSlot(kName); }
const char16_t* QueryFile::pszGetAlias() { return TextSlot(kAlias); }
std::uint32_t QueryFile::nGetTextStart() { return static_cast<std::uint32_t>(NumberSlot(kTextStart)); }
std::uint32_t QueryFile::nGetTextEnd() { return static_cast<std::uint32_t>(NumberSlot(kTextEnd)); }
std::uint32_t QueryFile::nGetAliasStart() { return static_cast<std::uint32_t>(NumberSlot(kAliasStart)); }
std::uint32_t QueryFile::nGetAliasEnd() { return static_cast<std::uint32_t>(NumberSlot(kAliasEnd)); }
QueryFile& QueryFile::Text(std::uint32_t start, std::uint32_t end) {
  SetSpan(kTextStart, start, end);
  return *this;
}
QueryFile& QueryFile::AliasText(std::uint32_t start, std::uint32_t end) {
  SetSpan(kAliasStart, start, end);
  return *this;
}

KeyLink::KeyLink(std::uint32_t itemIndex, bool descending) {
  SetNumber(kItemIndex, itemIndex);
  SetNumber(kDescending, descending ? 1 : 0);
}
std::uint32_t KeyLink::nGetItemIndex() { return static_cast<std::uint32_t>(NumberSlot(kItemIndex)); }
std::int32_t KeyLink::bIsDescending() { return static_cast<std::int32_t>(NumberSlot(kDescending)); }
std::uint32_t KeyLink::nGetTextStart() { return static_cast<std::uint32_t>(NumberSlot(kTextStart)); }
std::uint32_t KeyLink::nGetTextEnd() { return static_cast<std::uint32_t>(NumberSlot(kTextEnd)); }
KeyLink& KeyLink::Text(std::uint32_t start, std::uint32_t end) {
  SetSpan(kTextStart, start, end);
  return *this;
}

const char16_t* IndexDescriptor::pszGetName() { return TextSlot(0); }
std::uint32_t IndexDescriptor::nGetNumber() { return static_cast<std::uint32_t>(NumberSlot(1)); }
const char16_t* IndexDescriptor::pszGetSecondText() { return TextSlot(2); }
const char16_t* IndexDescriptor::pszGetThirdText() { return TextSlot(3); }
void IndexDescriptor::GetIdentifier(std::uint8_t* out) {
  Note(4, {Arg(out)});
  std::memcpy(out, identifier.data(), identifier.size());
}
const char16_t* IndexDescriptor::pszGetFifthText() { return TextSlot(5); }
const char16_t* IndexDescriptor::pszGetSixthText() { return TextSlot(6); }
std::uint32_t IndexDescriptor::nGetTextStart() { return static_cast<std::uint32_t>(NumberSlot(kTextStart)); }
std::uint32_t IndexDescriptor::nGetTextEnd() { return static_cast<std::uint32_t>(NumberSlot(kTextEnd)); }
IndexDescriptor& IndexDescriptor::Text(std::uint32_t start, std::uint32_t end) {
  SetSpan(kTextStart, start, end);
  return *this;
}

ExpressionNode::ExpressionNode(std::uint32_t kind, std::uint32_t functionCode, std::vector<ExpressionNode*> children)
    : m_kind(kind), m_functionCode(functionCode), m_children(std::move(children)) {}
std::uint32_t ExpressionNode::nGetKind() { return m_kind; }
std::uint32_t ExpressionNode::nGetFunctionCode() { return m_functionCode; }
std::uint32_t ExpressionNode::nGetChildCount() { return static_cast<std::uint32_t>(m_children.size()); }
ExpressionNode* ExpressionNode::piGetChild(std::uint32_t index) {
  return index < m_children.size() ? m_children[index] : nullptr;
}
std::uint32_t ExpressionNode::nGetTextStart() { return textStart; }
std::uint32_t ExpressionNode::nGetTextEnd() { return textEnd; }
std::uint32_t ExpressionNode::nGetNameStart() { return nameStart; }
std::uint32_t ExpressionNode::nGetNameEnd() { return nameEnd; }
void* ExpressionNode::pGetConstant() { return constant; }
std::int32_t ExpressionNode::bHasOuterJoinMark() { return outerJoinMark ? 1 : 0; }
char16_t ExpressionNode::nGetLikeEscape() { return likeEscape; }
const char16_t* ExpressionNode::pszGetTableName() { return tableName ? tableName->c_str() : nullptr; }
const char16_t* ExpressionNode::pszGetColumnName() { return columnName ? columnName->c_str() : nullptr; }
ExpressionNode& ExpressionNode::Text(std::uint32_t start, std::uint32_t end) {
  textStart = start;
  textEnd = end;
  return *this;
}
ExpressionNode& ExpressionNode::Name(std::uint32_t start, std::uint32_t end) {
  nameStart = start;
  nameEnd = end;
  return *this;
}
ExpressionNode& ExpressionNode::Column(std::optional<std::u16string> table, std::optional<std::u16string> column) {
  tableName = std::move(table);
  columnName = std::move(column);
  return *this;
}

Assignment::Assignment(ExpressionNode* column, ExpressionNode* value) : m_column(column), m_value(value) {}
ExpressionNode* Assignment::piGetColumn() {
  Note(kColumn);
  return m_column;
}
ExpressionNode* Assignment::piGetValue() {
  Note(kValue);
  return m_value;
}
std::uint32_t Assignment::nGetListStart() { return static_cast<std::uint32_t>(NumberSlot(kListStart)); }
std::uint32_t Assignment::nGetListEnd() { return static_cast<std::uint32_t>(NumberSlot(kListEnd)); }
std::uint32_t Assignment::nGetValueListStart() { return static_cast<std::uint32_t>(NumberSlot(kValueListStart)); }
std::uint32_t Assignment::nGetValueListEnd() { return static_cast<std::uint32_t>(NumberSlot(kValueListEnd)); }
Assignment& Assignment::List(std::uint32_t start, std::uint32_t end) {
  SetSpan(kListStart, start, end);
  return *this;
}
Assignment& Assignment::ValueList(std::uint32_t start, std::uint32_t end) {
  SetSpan(kValueListStart, start, end);
  return *this;
}

StatementJoin::StatementJoin(std::uint32_t start, std::uint32_t end, ExpressionNode* condition)
    : m_start(start), m_end(end), m_condition(condition) {}
std::uint32_t StatementJoin::nGetConditionStart() {
  Note(kConditionStart);
  return m_start;
}
std::uint32_t StatementJoin::nGetConditionEnd() {
  Note(kConditionEnd);
  return m_end;
}
ExpressionNode* StatementJoin::piGetCondition() {
  Note(kCondition);
  return m_condition;
}

StatementMark::StatementMark(std::uint32_t position, std::uint32_t length, std::uint32_t kind,
                             const std::u16string& table, const std::u16string& column) {
  SetNumber(kPosition, position);
  SetNumber(kLength, length);
  SetNumber(kKind, kind);
  SetText(kTableText, table);
  SetText(kColumnText, column);
}
std::uint32_t StatementMark::nGetPosition() { return static_cast<std::uint32_t>(NumberSlot(kPosition)); }
std::uint32_t StatementMark::nGetLength() { return static_cast<std::uint32_t>(NumberSlot(kLength)); }
std::uint32_t StatementMark::nGetKind() { return static_cast<std::uint32_t>(NumberSlot(kKind)); }
const char16_t* StatementMark::pszGetTableText() { return TextSlot(kTableText); }
const char16_t* StatementMark::pszGetColumnText() { return TextSlot(kColumnText); }

namespace {
std::u16string Upper(const char16_t* text) {
  std::u16string upper = text ? text : u"";
  for (char16_t& c : upper) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return upper;
}
}  // namespace

void DeclaredParameters::Declare(const std::u16string& name, void* value) {
  if (m_values.find(Upper(name.c_str())) == m_values.end()) m_names.push_back(name);
  m_values[Upper(name.c_str())] = value;
}
std::uint32_t DeclaredParameters::nGetCount() {
  Note(kCount);
  return static_cast<std::uint32_t>(m_names.size());
}
const char16_t* DeclaredParameters::pszGetName(std::uint32_t i) {
  Note(kName, {static_cast<std::int64_t>(i)});
  return i < m_names.size() ? m_names[i].c_str() : nullptr;
}
void* DeclaredParameters::pFindValue(const char16_t* name) {
  Note(kFindValue, {Arg(name)});
  const auto it = m_values.find(Upper(name));
  return it != m_values.end() ? it->second : nullptr;
}

template <typename T>
T* QueryAnalysis::Walk(std::size_t slot, const std::vector<T*>& list, std::size_t& cursor, std::int32_t first) {
  Note(slot, {first});
  if (first) cursor = 0;
  return cursor < list.size() ? list[cursor++] : nullptr;
}

std::uint32_t QueryAnalysis::nGetKind() { return static_cast<std::uint32_t>(NumberSlot(kKind)); }
const char16_t* QueryAnalysis::pszGetSqlText() { return TextSlot(kSqlText); }
QueryFile* QueryAnalysis::piWalkFiles(std::int32_t first) { return Walk(kFiles, files, m_fileCursor, first); }
ItemDescription* QueryAnalysis::piWalkItems(std::int32_t first) { return Walk(kItems, items, m_itemCursor, first); }
std::uint32_t QueryAnalysis::nGetDescriptorCount() {
  Note(kDescriptorCount);
  return static_cast<std::uint32_t>(descriptors.size());
}
IndexDescriptor* QueryAnalysis::piGetDescriptor(std::uint32_t index) {
  Note(kDescriptor, {index});
  return index < descriptors.size() ? descriptors[index] : nullptr;
}
KeyLink* QueryAnalysis::piWalkLinks(std::int32_t first) { return Walk(kLinks, links, m_linkCursor, first); }
CountedPart* QueryAnalysis::piWalkKind3Entries(std::int32_t first) {
  return Walk(kKind3Entries, kind3Entries, m_kind3Cursor, first);
}
CountedPart* QueryAnalysis::piWalkKind4Entries(std::int32_t first) {
  return Walk(kKind4Entries, kind4Entries, m_kind4Cursor, first);
}

ItemDescription* QueryAnalysis::piGetColumnOfItem(ItemDescription* item) {
  Note(kColumnOfItem, {Arg(item)});
  const auto it = columns.find(item);
  return it != columns.end() ? it->second : nullptr;
}

const char16_t* QueryAnalysis::pszResolveAlias(const char16_t* name) {
  Note(kResolveAlias, {Arg(name)});
  const auto it = aliases.find(name ? name : u"");
  return it != aliases.end() ? it->second.c_str() : nullptr;
}

void* QueryAnalysis::piLookupFile(QueryFile* file) {
  Note(kLookupFile, {Arg(file)});
  const auto it = fileAnswers.find(file);
  return it != fileAnswers.end() ? it->second : nullptr;
}

void* QueryAnalysis::piFindItem(const char16_t* name, std::int32_t library, std::uint32_t* version) {
  if (static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(name)) == 15 && library == 28) {
    if (version) *version = 23;
    return reinterpret_cast<void*>(std::uintptr_t{1});
  }
  Note(kFindItem, {Arg(name)});
  for (ItemDescription* item : items) {
    const char16_t* itemName = item->pszGetName();
    if (name && itemName && std::u16string(itemName) == name) return item;
  }
  return nullptr;
}

CountedPart* QueryAnalysis::piGetFirstExtra() {
  Note(kFirstExtra);
  return firstExtra;
}

CountedPart* QueryAnalysis::piGetSecondExtra() {
  Note(kSecondExtra);
  return secondExtra;
}

}  // namespace qzrt

namespace qzrt {

std::uint32_t QueryAnalysis::nGetWhereStart() { return whereStart; }
std::uint32_t QueryAnalysis::nGetWhereEnd() { return whereEnd; }
std::uint32_t QueryAnalysis::nGetHavingStart() { return havingStart; }
std::uint32_t QueryAnalysis::nGetHavingEnd() { return havingEnd; }
std::uint32_t QueryAnalysis::nGetOrderByStart() { return orderByStart; }
std::uint32_t QueryAnalysis::nGetSelectListEnd() { return selectListEnd; }
ExpressionNode* QueryAnalysis::piGetWhereTree() { return whereTree; }
ExpressionNode* QueryAnalysis::piGetHavingTree() { return havingTree; }
StatementJoin* QueryAnalysis::piWalkJoins(std::int32_t first) { return Walk(kJoins, joins, m_joinCursor, first); }
StatementMark* QueryAnalysis::piWalkMarkers(std::int32_t first) {
  return Walk(kMarkers, markers, m_markerCursor, first);
}
StatementMark* QueryAnalysis::piWalkColumnReferences(std::int32_t first) {
  return Walk(kColumnReferences, columnReferences, m_referenceCursor, first);
}
DeclaredParameters* QueryAnalysis::piGetDeclaredParameters() {
  Note(kDeclaredParameters);
  if (declaredParameters) declaredParameters->AddRef();
  return declaredParameters;
}

}  // namespace qzrt
