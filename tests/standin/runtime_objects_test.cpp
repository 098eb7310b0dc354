// The stand-in's runtime objects as the driver reaches them: by slot number, with the answers a test set, every call
// logged, references counted and faults thrown where asked.
#include "standin/runtime/runtime_objects.h"

#include <gtest/gtest.h>

#include <string>

#include "host/host_objects.h"
#include "standin/runtime/query_objects.h"
#include "standin/runtime/runtime_standin.h"
#include "tests/slot_call.h"
#include "tests/slot_of.h"

namespace {

std::u16string TextAt(void* object, std::size_t slot) {
  const char16_t* text = CallSlot<const char16_t*>(object, slot);
  return text ? std::u16string(text) : u"(null)";
}

TEST(RuntimeObjectsTest, ConnectionDescriptionAnswersBySlot) {
  qzrt::ConnectionDescription description;
  using D = qzrt::ConnectionDescription;
  description.SetText(D::kUserId, u"scott");
  description.SetText(D::kPassword, u"tiger");
  description.SetText(D::kDataSource, u"ORA:PROD");
  description.SetText(D::kProvider, u"prov");
  description.SetText(D::kExtendedInformation, u"QZ Lock Timeout=5");
  description.SetText(D::kName, u"cnx");
  description.SetText(D::kDatabase, u"db");
  description.SetText(D::kLabel, u"label");
  description.SetNumber(D::kReadOnly, 1);
  description.SetNumber(D::kConnectionTimeout, 30);
  description.SetNumber(D::kCommandTimeout, -7);
  description.SetNumber(D::kCursorLocation, 2);
  description.SetNumber(D::kNamedParameterFlag, 1);
  description.SetNumber(D::kCacheSize, 1LL << 40);

  void* object = &description;
  EXPECT_EQ(CallSlot<std::uint32_t>(object, 0), 4u);
  EXPECT_EQ(TextAt(object, 7), u"scott");
  EXPECT_EQ(TextAt(object, 8), u"tiger");
  EXPECT_EQ(TextAt(object, 9), u"ORA:PROD");
  EXPECT_EQ(CallSlot<std::int32_t>(object, 11), 1);
  EXPECT_EQ(TextAt(object, 14), u"prov");
  EXPECT_EQ(CallSlot<std::int32_t>(object, 15), 30);
  EXPECT_EQ(CallSlot<std::int32_t>(object, 16), -7);
  EXPECT_EQ(TextAt(object, 17), u"QZ Lock Timeout=5");
  EXPECT_EQ(TextAt(object, 18), u"cnx");
  EXPECT_EQ(CallSlot<std::uint32_t>(object, 19), 2u);
  EXPECT_EQ(CallSlot<std::int32_t>(object, 20), 1);
  EXPECT_EQ(TextAt(object, 21), u"db");
  EXPECT_EQ(CallSlot<std::int64_t>(object, 22), 1LL << 40);
  EXPECT_EQ(TextAt(object, 25), u"label");
  EXPECT_EQ(description.CalledSlots(),
            (std::vector<std::size_t>{0, 7, 8, 9, 11, 14, 15, 16, 17, 18, 19, 20, 21, 22, 25}));

  description.SetText(D::kProvider, std::nullopt);
  EXPECT_EQ(TextAt(object, 14), u"(null)");
}

TEST(RuntimeObjectsTest, ReferencesAreCountedAndLogged) {
  qzrt::ConnectionDescription description;
  void* object = &description;
  EXPECT_EQ(CallSlot<std::int32_t>(object, 5, 0, 1), 2);
  EXPECT_EQ(description.References(), 2);
  EXPECT_EQ(description.Calls().back(), (qzrt::Call{5, {0, 1}}));
  EXPECT_EQ(CallSlot<std::int32_t>(object, 6), 1);

  qzrt::TableDescription table(u"CUSTOMER");
  EXPECT_EQ(CallSlot<std::int32_t>(&table, 5), 2);
  EXPECT_EQ(CallSlot<std::int32_t>(&table, 6), 1);
  EXPECT_EQ(table.References(), 1);
}

TEST(RuntimeObjectsTest, TableDescriptionKeepsTheFileDescriptionOrder) {
  qzrt::TableDescription table(u"CUSTOMER");
  void* object = &table;
  EXPECT_EQ(CallSlot<std::uint32_t>(object, 0), 6u);
  EXPECT_EQ(CallSlot<std::int32_t>(object, 2), -1);
  EXPECT_EQ(TextAt(object, 7), u"CUSTOMER");
  EXPECT_EQ(TextAt(object, 8), u"CUSTOMER");
  EXPECT_EQ(TextAt(object, 21), u"CUSTOMER");
  table.SetText(qzrt::TableDescription::kSqlTableName, u"APP.CUSTOMER");
  EXPECT_EQ(TextAt(object, 21), u"APP.CUSTOMER");
  EXPECT_EQ(TextAt(object, 7), u"CUSTOMER");
  EXPECT_EQ(CallSlot<void*>(object, 16, 0u), nullptr);
}

TEST(RuntimeObjectsTest, FileHandleAndRegistryKeyGiveTheirIdentifiers) {
  qzrt::FileHandle handle(0x1234567890ull, 0xFEDCBA9876543210ull);
  EXPECT_EQ(CallSlot<std::uint64_t>(&handle, 7), 0xFEDCBA9876543210ull);
  EXPECT_EQ(CallSlot<std::uint64_t>(&handle, 8), 0x1234567890ull);
  handle.SetIdentifiers(1, 2);
  EXPECT_EQ(CallSlot<std::uint64_t>(&handle, 8), 1u);
  EXPECT_EQ(handle.CallCount(8), 2u);
  EXPECT_EQ(CallSlot<std::intptr_t>(&handle, 3), 0);
  EXPECT_EQ(handle.CalledSlots().back(), 3u);

  qzrt::RegistryKey key(77);
  EXPECT_EQ(CallSlot<std::uint64_t>(&key, 8), 77u);
}

TEST(RuntimeObjectsTest, ChosenSlotThrowsAfterLogging) {
  qzrt::RuntimeObject source(u"QRY");
  source.ThrowAt(qzrt::RuntimeObject::kReleaseExternal);
  EXPECT_EQ(TextAt(&source, 7), u"QRY");
  EXPECT_EQ(CallSlot<std::int32_t>(&source, 5), 2);
  try {
    CallSlot<std::int32_t>(&source, 6);
    FAIL() << "no fault thrown";
  } catch (const qzrt::SlotFault& fault) {
    EXPECT_EQ(fault.slot, 6u);
  }
  EXPECT_EQ(source.References(), 1);
  EXPECT_EQ(source.CallCount(6), 1u);
  source.SetNumber(qzrt::RuntimeObject::kPending, 1);
  EXPECT_EQ(CallSlot<std::uint32_t>(&source, 8), 1u);
}

TEST(RuntimeObjectsTest, SqlQueryAnswersTheLibraryQuestion) {
  qzrt::SqlQuery query;
  std::uint32_t version = 0;
  EXPECT_EQ(CallSlot<std::int32_t>(&query, 19, 15, 28, &version), 1);
  EXPECT_EQ(version, 23u);
  query.SetLibraryAnswer(0, 99);
  version = 5;
  EXPECT_EQ(CallSlot<std::int32_t>(&query, 19, 15, 28, &version), 0);
  EXPECT_EQ(version, 5u);
  EXPECT_EQ(query.Calls().front().arguments[0], 15);
  EXPECT_EQ(query.Calls().front().arguments[1], 28);
}

TEST(RuntimeObjectsTest, KeyTranslatorTranslatesOnlyKnownKeys) {
  qzrt::KeyTranslator translator;
  translator.SetTranslation(10, 20);
  std::uint64_t key = 0;
  EXPECT_EQ(CallSlot<std::int32_t>(&translator, 5, std::uint64_t{10}, &key), 1);
  EXPECT_EQ(key, 20u);
  key = 3;
  EXPECT_EQ(CallSlot<std::int32_t>(&translator, 5, std::uint64_t{11}, &key), 0);
  EXPECT_EQ(key, 3u);
}

}  // namespace

// The stand-in's items are called through the driver's item interface: every operation that both name sits at the same
// slot in both tables.
TEST(RuntimeObjectsTest, ItemsKeepTheItemInterfaceOrder) {
  const std::pair<std::size_t, std::size_t> slots[] = {
      {SlotOf(&qzrt::ItemDescription::nGetInterfaceLevel), SlotOf(&IHostItemDescription::nGetInterfaceLevel)},
      {SlotOf(&qzrt::ItemDescription::AddRef), SlotOf(&IHostItemDescription::AddRef)},
      {SlotOf(&qzrt::ItemDescription::nRelease), SlotOf(&IHostItemDescription::nRelease)},
      {SlotOf(&qzrt::ItemDescription::pszGetName), SlotOf(&IHostItemDescription::pszGetName)},
      {SlotOf(&qzrt::ItemDescription::nGetElementCount), SlotOf(&IHostItemDescription::nGetElementCount)},
      {SlotOf(&qzrt::ItemDescription::nGetSize), SlotOf(&IHostItemDescription::nGetSize)},
      {SlotOf(&qzrt::ItemDescription::nGetDataLength), SlotOf(&IHostItemDescription::nGetDataLength)},
      {SlotOf(&qzrt::ItemDescription::nGetTotalSize), SlotOf(&IHostItemDescription::nGetTotalSize)},
      {SlotOf(&qzrt::ItemDescription::nGetType), SlotOf(&IHostItemDescription::nGetType)},
      {SlotOf(&qzrt::ItemDescription::nGetPosition), SlotOf(&IHostItemDescription::nGetPosition)},
      {SlotOf(&qzrt::ItemDescription::bIsKeyed), SlotOf(&IHostItemDescription::bIsKeyed)},
      {SlotOf(&qzrt::ItemDescription::bIsMemo), SlotOf(&IHostItemDescription::bIsMemo)},
      {SlotOf(&qzrt::ItemDescription::bIsTextMemo), SlotOf(&IHostItemDescription::bIsTextMemo)},
      {SlotOf(&qzrt::ItemDescription::bIsBinaryMemo), SlotOf(&IHostItemDescription::bIsBinaryMemo)},
      {SlotOf(&qzrt::ItemDescription::bIsNumeric), SlotOf(&IHostItemDescription::bIsNumeric)},
      {SlotOf(&qzrt::ItemDescription::bIsText), SlotOf(&IHostItemDescription::bIsText)},
      {SlotOf(&qzrt::ItemDescription::nGetKeyNumber), SlotOf(&IHostItemDescription::nGetKeyNumber)},
      {SlotOf(&qzrt::ItemDescription::nGetComponentCount), SlotOf(&IHostItemDescription::nGetComponentCount)},
      {SlotOf(&qzrt::ItemDescription::bIsPrimaryKey), SlotOf(&IHostItemDescription::bIsPrimaryKey)},
      {SlotOf(&qzrt::ItemDescription::bIsUnique), SlotOf(&IHostItemDescription::bIsUnique)},
      {SlotOf(&qzrt::ItemDescription::bIsKeyWithDuplicates), SlotOf(&IHostItemDescription::bIsKeyWithDuplicates)},
      {SlotOf(&qzrt::ItemDescription::bIsCompositeKey), SlotOf(&IHostItemDescription::bIsCompositeKey)},
      {SlotOf(&qzrt::ItemDescription::bIsAscendingKey), SlotOf(&IHostItemDescription::bIsAscendingKey)},
      {SlotOf(&qzrt::ItemDescription::bIsDescending), SlotOf(&IHostItemDescription::bIsDescending)},
      {SlotOf(&qzrt::ItemDescription::bHasFlag0080), SlotOf(&IHostItemDescription::bHasFlag0080)},
      {SlotOf(&qzrt::ItemDescription::bHasFlag0040), SlotOf(&IHostItemDescription::bHasFlag0040)},
      {SlotOf(&qzrt::ItemDescription::bHasFlag0020), SlotOf(&IHostItemDescription::bHasFlag0020)},
      {SlotOf(&qzrt::ItemDescription::pGetComponent), SlotOf(&IHostItemDescription::pGetComponent)},
      {SlotOf(&qzrt::ItemDescription::nGetElementOffset), SlotOf(&IHostItemDescription::nGetElementOffset)},
      {SlotOf(&qzrt::ItemDescription::nGetNullFlagIndex), SlotOf(&IHostItemDescription::nGetNullFlagIndex)},
      {SlotOf(&qzrt::ItemDescription::pGetDefaultValue), SlotOf(&IHostItemDescription::pGetDefaultValue)},
      {SlotOf(&qzrt::ItemDescription::pszGetSecondName), SlotOf(&IHostItemDescription::pszGetSecondName)},
      {SlotOf(&qzrt::ItemDescription::pszGetAlias), SlotOf(&IHostItemDescription::pszGetAlias)},
      {SlotOf(&qzrt::ItemDescription::pszGetThirdName), SlotOf(&IHostItemDescription::pszGetThirdName)},
      {SlotOf(&qzrt::ItemDescription::nGetItemKind), SlotOf(&IHostItemDescription::nGetItemKind)},
      {SlotOf(&qzrt::ItemDescription::piGetSubDescription), SlotOf(&IHostItemDescription::piGetSubDescription)},
      {SlotOf(&qzrt::ItemDescription::nGetPrecision), SlotOf(&IHostItemDescription::nGetPrecision)},
      {SlotOf(&qzrt::ItemDescription::nGetScale), SlotOf(&IHostItemDescription::nGetScale)},
      {SlotOf(&qzrt::ItemDescription::pszGetCaption), SlotOf(&IHostItemDescription::pszGetCaption)},
      {SlotOf(&qzrt::ItemDescription::pszGetTableName), SlotOf(&IHostItemDescription::pszGetTableName)},
      {SlotOf(&qzrt::ItemDescription::nGetItemTypeCode), SlotOf(&IHostItemDescription::nGetItemTypeCode)},
      {SlotOf(&qzrt::ItemDescription::bIsOption4Clear), SlotOf(&IHostItemDescription::bIsOption4Clear)},
      {SlotOf(&qzrt::ItemDescription::SetOption4), SlotOf(&IHostItemDescription::SetOption4)},
      {SlotOf(&qzrt::ItemDescription::bIsNullAllowed), SlotOf(&IHostItemDescription::bIsNullAllowed)},
      {SlotOf(&qzrt::ItemDescription::DeletingDestructor), SlotOf(&IHostItemDescription::DeletingDestructor)},
      {SlotOf(&qzrt::ItemDescription::SetPrecision), SlotOf(&IHostItemDescription::SetPrecision)},
      {SlotOf(&qzrt::ItemDescription::SetScale), SlotOf(&IHostItemDescription::SetScale)},
      {SlotOf(&qzrt::ItemDescription::pCopyAs), SlotOf(&IHostItemDescription::pCopyAs)},
  };
  for (const auto& [standIn, driver] : slots) EXPECT_EQ(standIn, driver);

  qzrt::ItemDescription item(u"PRICE");
  item.SetNumber(qzrt::ItemDescription::kScale, 2);
  qzrt::ItemDescription part(u"P");
  item.AddComponent(&part);
  auto* seen = AsSeenAcross<IHostItemDescription>(&item);
  EXPECT_EQ(std::u16string(seen->pszGetName()), u"PRICE");
  EXPECT_EQ(seen->nGetScale(), 2u);
  EXPECT_EQ(seen->nGetInterfaceLevel(), 9u);
  EXPECT_EQ(seen->nGetElementCount(), 1u);
  EXPECT_EQ(seen->nGetComponentCount(), 1u);
  EXPECT_EQ(seen->pGetComponent(1), reinterpret_cast<IHostItemDescription*>(&part));
  EXPECT_EQ(part.References(), 2);
  EXPECT_EQ(seen->pGetComponent(2), nullptr);

  qzrt::TableDescription table(u"T");
  table.AddItem(&item);
  EXPECT_EQ(CallSlot<std::uint32_t>(&table, qzrt::TableDescription::kItemCount), 1u);
  EXPECT_EQ(CallSlot<void*>(&table, 16, std::uint32_t{0}), static_cast<void*>(&item));
  EXPECT_EQ(item.References(), 2);
  EXPECT_EQ(CallSlot<void*>(&table, 16, std::uint32_t{1}), nullptr);
}

// A table description finds its items by name without case, lists its keys by key number and its memos, and names
// the key that identifies a row; each item handed out with a reference.
TEST(RuntimeObjectsTest, TableDescriptionLooksItemsUp) {
  using I = qzrt::ItemDescription;
  I plain(u"A"), memo(u"M"), unique(u"U"), primary(u"P");
  memo.SetNumber(I::kMemo, 1);
  unique.SetNumber(I::kKeyed, 1);
  unique.SetNumber(I::kUnique, 1);
  unique.SetNumber(I::kKeyNumber, 2);
  primary.SetNumber(I::kKeyed, 1);
  primary.SetNumber(I::kPrimaryKey, 1);
  primary.SetNumber(I::kKeyNumber, 1);
  qzrt::TableDescription table(u"T");
  for (I* item : {&plain, &memo, &unique}) table.AddItem(item);
  EXPECT_EQ(CallSlot<void*>(&table, 22), static_cast<void*>(&unique)) << "no primary key: the unique one";
  table.AddItem(&primary);

  EXPECT_EQ(CallSlot<void*>(&table, 17, u"m"), static_cast<void*>(&memo));
  EXPECT_EQ(CallSlot<void*>(&table, 17, u"Z"), nullptr);
  EXPECT_EQ(CallSlot<void*>(&table, 18, std::uint32_t{0}), static_cast<void*>(&primary));
  EXPECT_EQ(CallSlot<void*>(&table, 18, std::uint32_t{1}), static_cast<void*>(&unique));
  EXPECT_EQ(CallSlot<void*>(&table, 18, std::uint32_t{2}), nullptr);
  EXPECT_EQ(CallSlot<void*>(&table, 19, std::uint32_t{0}), static_cast<void*>(&memo));
  EXPECT_EQ(CallSlot<void*>(&table, 19, std::uint32_t{1}), nullptr);
  EXPECT_EQ(CallSlot<void*>(&table, 22), static_cast<void*>(&primary));
  EXPECT_EQ(CallSlot<std::uint32_t>(&table, qzrt::TableDescription::kKeyCount), 2u);
  EXPECT_EQ(CallSlot<std::uint32_t>(&table, qzrt::TableDescription::kLargeItemCount), 1u);
  EXPECT_EQ(memo.References(), 3);
  EXPECT_EQ(primary.References(), 3);
  EXPECT_EQ(unique.References(), 3);
}

// The parts of an analysed query sit where the driver's query interfaces call them.
TEST(RuntimeObjectsTest, QueryPartsKeepTheQueryInterfacesOrder) {
  const std::pair<std::size_t, std::size_t> slots[] = {
      {SlotOf(&qzrt::QueryAnalysis::AddRef), SlotOf(&IHostQueryAnalysis::AddRef)},
      {SlotOf(&qzrt::QueryAnalysis::Release), SlotOf(&IHostQueryAnalysis::Release)},
      {SlotOf(&qzrt::QueryAnalysis::nGetKind), SlotOf(&IHostQueryAnalysis::nGetKind)},
      {SlotOf(&qzrt::QueryAnalysis::pszGetSqlText), SlotOf(&IHostQueryAnalysis::pszGetSqlText)},
      {SlotOf(&qzrt::QueryAnalysis::piWalkFiles), SlotOf(&IHostQueryAnalysis::piWalkFiles)},
      {SlotOf(&qzrt::QueryAnalysis::piWalkItems), SlotOf(&IHostQueryAnalysis::piWalkItems)},
      {SlotOf(&qzrt::QueryAnalysis::nGetDescriptorCount), SlotOf(&IHostQueryAnalysis::nGetDescriptorCount)},
      {SlotOf(&qzrt::QueryAnalysis::piGetDescriptor), SlotOf(&IHostQueryAnalysis::piGetDescriptor)},
      {SlotOf(&qzrt::QueryAnalysis::piWalkLinks), SlotOf(&IHostQueryAnalysis::piWalkLinks)},
      {SlotOf(&qzrt::QueryAnalysis::piWalkKind3Entries), SlotOf(&IHostQueryAnalysis::piWalkKind3Entries)},
      {SlotOf(&qzrt::QueryAnalysis::piWalkKind4Entries), SlotOf(&IHostQueryAnalysis::piWalkKind4Entries)},
      {SlotOf(&qzrt::QueryAnalysis::piGetColumnOfItem), SlotOf(&IHostQueryAnalysis::piGetColumnOfItem)},
      {SlotOf(&qzrt::QueryAnalysis::pszResolveAlias), SlotOf(&IHostQueryAnalysis::pszResolveAlias)},
      {SlotOf(&qzrt::QueryAnalysis::piLookupFile), SlotOf(&IHostQueryAnalysis::piLookupFile)},
      {SlotOf(&qzrt::QueryAnalysis::piFindItem), SlotOf(&IHostQueryAnalysis::piFindItem)},
      {SlotOf(&qzrt::QueryAnalysis::piGetFirstExtra), SlotOf(&IHostQueryAnalysis::piGetFirstExtra)},
      {SlotOf(&qzrt::QueryAnalysis::piGetSecondExtra), SlotOf(&IHostQueryAnalysis::piGetSecondExtra)},
      {SlotOf(&qzrt::QueryFile::AddRef), SlotOf(&IHostQueryFile::AddRef)},
      {SlotOf(&qzrt::QueryFile::Release), SlotOf(&IHostQueryFile::Release)},
      {SlotOf(&qzrt::QueryFile::pszGetName), SlotOf(&IHostQueryFile::pszGetName)},
      {SlotOf(&qzrt::QueryFile::pszGetAlias), SlotOf(&IHostQueryFile::pszGetAlias)},
      {SlotOf(&qzrt::KeyLink::nGetItemIndex), SlotOf(&IHostKeyLink::nGetItemIndex)},
      {SlotOf(&qzrt::KeyLink::bIsDescending), SlotOf(&IHostKeyLink::bIsDescending)},
      {SlotOf(&qzrt::IndexDescriptor::pszGetName), SlotOf(&IHostIndexDescriptor::pszGetName)},
      {SlotOf(&qzrt::IndexDescriptor::nGetNumber), SlotOf(&IHostIndexDescriptor::nGetNumber)},
      {SlotOf(&qzrt::IndexDescriptor::pszGetSecondText), SlotOf(&IHostIndexDescriptor::pszGetSecondText)},
      {SlotOf(&qzrt::IndexDescriptor::pszGetThirdText), SlotOf(&IHostIndexDescriptor::pszGetThirdText)},
      {SlotOf(&qzrt::IndexDescriptor::GetIdentifier), SlotOf(&IHostIndexDescriptor::GetIdentifier)},
      {SlotOf(&qzrt::IndexDescriptor::pszGetFifthText), SlotOf(&IHostIndexDescriptor::pszGetFifthText)},
      {SlotOf(&qzrt::IndexDescriptor::pszGetSixthText), SlotOf(&IHostIndexDescriptor::pszGetSixthText)},
      {SlotOf(&qzrt::ExpressionNode::nGetKind), SlotOf(&IHostExpressionNode::nGetKind)},
      {SlotOf(&qzrt::ExpressionNode::nGetFunctionCode), SlotOf(&IHostExpressionNode::nGetFunctionCode)},
      {SlotOf(&qzrt::ExpressionNode::nGetChildCount), SlotOf(&IHostExpressionNode::nGetChildCount)},
      {SlotOf(&qzrt::ExpressionNode::piGetChild), SlotOf(&IHostExpressionNode::piGetChild)},
  };
  for (const auto& [standIn, driver] : slots) EXPECT_EQ(standIn, driver);

  qzrt::QueryAnalysis analysis;
  qzrt::QueryFile a(u"A", u"A"), b(u"B", u"X");
  analysis.files = {&a, &b};
  auto* seen = AsSeenAcross<IHostQueryAnalysis>(&analysis);
  EXPECT_EQ(seen->piWalkFiles(0), nullptr);  // no walk started
  EXPECT_EQ(seen->piWalkFiles(1), reinterpret_cast<IHostQueryFile*>(&a));
  EXPECT_EQ(std::u16string(seen->piWalkFiles(0)->pszGetAlias()), u"X");
  EXPECT_EQ(seen->piWalkFiles(0), nullptr);
  analysis.ThrowAt(qzrt::QueryAnalysis::kResolveAlias);
  EXPECT_THROW(seen->pszResolveAlias(u"X"), qzrt::SlotFault);
}

namespace {

// The runtime page a test sets is the one its locale service tells the driver: the character set (slot 2) whose
// page it is, and the page of every text (slot 3).
TEST(RuntimeCodePageTest, TheLocaleServiceTellsTheRuntimesPage) {
  struct Case {
    std::uint32_t page;
    std::int32_t charset;
  };
  for (const Case c : {Case{932, 128}, Case{54936, 54936}, Case{65001, 65001}, Case{1252, 0}}) {
    qzrt::SetCodePage(c.page);
    EXPECT_EQ(CallSlot<std::int32_t>(qzrt::LocaleService(), 2), c.charset) << c.page;
    EXPECT_EQ(CallSlot<std::uint32_t>(qzrt::LocaleService(), 3, "abc", std::int64_t{3}), c.page);
  }
}

}  // namespace
