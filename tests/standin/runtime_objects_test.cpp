// The stand-in's runtime objects as the driver reaches them: by slot number, with the answers a test set, every call
// logged, references counted and faults thrown where asked.
#include "standin/runtime/runtime_objects.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/slot_call.h"

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
