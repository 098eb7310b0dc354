// The Oracle field value on the OCI stand-in: the external type of every host and column type, buffer sizes, the
// small integer and float buffers, indicators, datetime descriptors (their own per value, freed with a missing entry
// reported), fetched text held in the value, and the driver object's two field-value factories.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/record/column_types.h"
#include "foundation/clone_map.h"
#include "foundation/hash_table.h"
#include "host/export.h"
#include "oracle/client/oci_call.h"
#include "oracle/client/oci_entries.h"
#include "oracle/oracle_driver.h"
#include "oracle_value_fixture.h"
#include "session_driver_helpers.h"

namespace {

using ocitest::StandIn;
using ocitest::ValueColumn;

class OracleFieldValue : public ocitest::OracleValueFixture {};

TEST_F(OracleFieldValue, HostTypesChooseTheirExternalType) {
  const struct {
    std::uint32_t hostType;
    std::int32_t server, client;
    std::uint16_t sqlt;
  } cases[] = {
      {1, 19, 19, sqlt::INT},        {4, 19, 19, sqlt::INT},          {5, 19, 19, sqlt::VNU},
      {27, 19, 19, sqlt::VNU},  // milliseconds are written as a number: bound as one
      {12, 19, 19, sqlt::FLT},       {110, 19, 19, sqlt::STR},        {17, 19, 19, sqlt::CHR},
      {128, 19, 19, sqlt::ODT},      {26, 19, 19, sqlt::TIMESTAMP},   {26, 9, 8, sqlt::ODT},
      {26, 8, 19, sqlt::ODT},        {28, 19, 19, sqlt::BIN},         {0, 19, 19, 0},
      {15, 19, 19, 0},               {111, 19, 19, 0},                {130, 19, 19, 0},
  };
  for (const auto& c : cases) {
    SetVersions(c.server, c.client);
    EXPECT_EQ(COracleFieldValue::nHostTypeToSqlt(c.hostType, connection), c.sqlt)
        << "host type " << c.hostType << " server " << c.server << " client " << c.client;
  }
}

TEST_F(OracleFieldValue, ColumnTypesChooseTheirExternalType) {
  const struct {
    std::uint32_t columnType, reported;
    std::int32_t client;
    std::uint16_t sqlt;
  } cases[] = {
      {1, 0, 19, sqlt::VNU},         {31, 2, 19, sqlt::VNU},          {2, 112, 19, sqlt::CLOB},
      {29, 1, 19, sqlt::STR},        {5, 0, 19, sqlt::INT},           {7, 0, 19, sqlt::FLT},
      {12, 0, 19, sqlt::INT},        {14, 12, 19, sqlt::ODT},         {11, 188, 19, sqlt::TIMESTAMP_TZ},
      {11, 188, 8, sqlt::ODT},       {24, 190, 19, sqlt::INTERVAL_DS}, {24, 96, 19, sqlt::ODT},
      // A duration the server keeps as an INTERVAL goes through its descriptor; one kept as a NUMBER stays a number.
      {25, 190, 19, sqlt::INTERVAL_DS}, {25, 189, 19, sqlt::INTERVAL_YM}, {25, 189, 8, sqlt::VNU}, {25, 2, 19, sqlt::VNU},
      {16, 113, 19, sqlt::BLOB},     {16, 0, 19, sqlt::LBI},
      {18, 114, 19, sqlt::BFILE},  // a BFILE keeps its file locator
      {23, 0, 19, sqlt::VBI},        {26, 96, 19, sqlt::CHR},
  };
  for (const auto& c : cases) {
    SetVersions(19, c.client);
    ValueColumn column(c.columnType, c.reported, 8, c.columnType == 31 ? 10 : 0, c.columnType == 31 ? 2 : 0);
    std::uint16_t code = 0xFFFF;
    EXPECT_EQ(COracleFieldValue::nColumnTypeToSqlt(holder, &code, column, column, connection), 1);
    EXPECT_EQ(code, c.sqlt) << "column type " << c.columnType << " reported " << c.reported;
  }
  EXPECT_EQ(holder->nGetErrorCode(), 0u) << ocitest::Dump(*holder);

  for (std::uint32_t refused : {8u, 13u, 0u, 32u}) {
    holder->Clear();
    ValueColumn column(refused);
    std::uint16_t code = 0xFFFF;
    EXPECT_EQ(COracleFieldValue::nColumnTypeToSqlt(holder, &code, column, column, connection), 0);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(holder->nGetErrorCode(), 54u) << "column type " << refused;
  }
}

TEST_F(OracleFieldValue, BuffersAreSizedByHostAndColumnType) {
  const struct {
    std::uint8_t hostType;
    std::uint32_t preparation;
    std::uint64_t bytes;
  } parameters[] = {
      {1, FIELD_PREPARED_CONVERTED, 4},  {7, FIELD_PREPARED_CONVERTED, 8},  {8, FIELD_PREPARED_IN_PLACE, 0},
      {9, FIELD_PREPARED_CONVERTED, 22}, {27, FIELD_PREPARED_CONVERTED, 22}, {11, FIELD_PREPARED_CONVERTED, 8},
      {24, FIELD_PREPARED_CONVERTED, 8}, {110, FIELD_PREPARED_IN_PLACE, 0},
  };
  for (const auto& p : parameters) {
    COracleFieldValue* value = ocitest::OracleValueFixture::NewHolding<std::uint64_t>(p.hostType, 0);
    ASSERT_EQ(value->bEnsurePrepared(), 1) << ocitest::Dump(*holder);
    EXPECT_EQ(value->nGetPreparation(), p.preparation) << "host type " << int(p.hostType);
    if (p.bytes) {
      EXPECT_EQ(value->nGetConversionSize(), p.bytes) << "host type " << int(p.hostType);
    }
    Release(value);
  }

  const struct {
    std::uint32_t columnType;
    int prepared;
    std::uint64_t bytes;
  } externals[] = {{1, 1, 22}, {3, 1, 8}, {6, 1, 8}, {10, 1, 8}, {5, 1, 8}, {16, 0, 0}, {21, 0, 0},
                   // A duration is fetched as a number: the number's whole buffer, not a date's.
                   {25, 1, 22}, {27, 1, 4}};
  for (const auto& e : externals) {
    holder->Clear();
    std::uint8_t buffer[64] = {};
    ValueColumn column(e.columnType);
    COracleFieldValue* value = New();
    value->bAttachExternalBuffer(buffer, sizeof buffer);
    value->SetDescriptors(column, column);
    EXPECT_EQ(value->bEnsurePrepared(), e.prepared) << "column type " << e.columnType;
    if (e.bytes) {
      EXPECT_EQ(value->nGetConversionSize(), e.bytes) << "column type " << e.columnType;
    }
    if (!e.prepared) {
      EXPECT_EQ(holder->nGetErrorCode(), 0u) << ocitest::Dump(*holder);
    }
    Release(value);
  }
}

TEST_F(OracleFieldValue, SmallIntegersAndFloatsCrossTheirBuffers) {
  const struct {
    std::uint8_t hostType;
    std::uint64_t native;
    std::int64_t bound;
  } cases[] = {
      {1, 1, 1},          {2, 200, 200},  // unsigned bytes are bound without a sign
      {6, 0xC8, -56},     {3, 60000, 60000}, {7, 0xFFFE, -2},
  };
  for (const auto& c : cases) {
    COracleFieldValue* value = NewHolding(c.hostType, c.native);
    ASSERT_EQ(value->bSyncToNative(), 1) << ocitest::Dump(*holder);
    std::int64_t word = 0;
    std::memcpy(&word, value->pGetConversionBuffer(), value->nGetConversionSize() < 8 ? 4 : 8);
    EXPECT_EQ(word, c.bound) << "host type " << int(c.hostType);
    const std::u16string written = TextOf(value);
    value->SetNull();
    ASSERT_EQ(value->bReadNative(), 1) << "host type " << int(c.hostType) << ocitest::Dump(*holder);
    EXPECT_EQ(TextOf(value), written) << "host type " << int(c.hostType) << " read back";
    Release(value);
  }
  // A fetched number the item cannot hold is refused (the runtime's 105: error 60), the value kept.
  const struct {
    std::uint8_t hostType;
    std::int64_t fetched;
  } overflows[] = {{7, 70000}, {7, -32769}, {3, 70000}, {3, -1}, {2, 300}, {2, 256}, {6, 200}, {6, -129}};
  for (const auto& o : overflows) {
    holder->Clear();
    COracleFieldValue* value = NewHolding<std::uint64_t>(o.hostType, 1);
    ASSERT_EQ(value->bSyncToNative(), 1) << ocitest::Dump(*holder);
    std::memcpy(value->pGetConversionBuffer(), &o.fetched, 8);
    EXPECT_EQ(value->bReadNative(), 0) << "host type " << int(o.hostType) << " fetched " << o.fetched;
    EXPECT_EQ(holder->nGetErrorCode(), 60u) << ocitest::Dump(*holder);
    EXPECT_EQ(TextOf(value), u"1");
    Release(value);
  }
  holder->Clear();
  COracleFieldValue* real = NewHolding(HOST_TYPE_FLOAT, 1.5f);
  ASSERT_EQ(real->bSyncToNative(), 1);
  double wide = 0;
  std::memcpy(&wide, real->pGetConversionBuffer(), 8);
  EXPECT_EQ(wide, 1.5);
  wide = -2.25;
  std::memcpy(real->pGetConversionBuffer(), &wide, 8);
  ASSERT_EQ(real->bReadNative(), 1);
  EXPECT_EQ(TextOf(real), u"-2.25");
  wide = 1e300;
  std::memcpy(real->pGetConversionBuffer(), &wide, 8);
  EXPECT_EQ(real->bReadNative(), 0) << "beyond a float's range";
  EXPECT_EQ(holder->nGetErrorCode(), 60u) << ocitest::Dump(*holder);
  EXPECT_EQ(TextOf(real), u"-2.25");
  Release(real);
}

TEST_F(OracleFieldValue, IndicatorsSayNullAboveMinusTwo) {
  COracleFieldValue* value = New();
  *value->pGetIndicatorArray() = 0xFFFF;
  EXPECT_EQ(value->bIsNativeNull(), 1);
  *value->pGetIndicatorArray() = 0xFFFE;
  EXPECT_EQ(value->bIsNativeNull(), 0);

  ValueColumn rows(COLUMN_TYPE_INT32, 0, 4, 0, 0, 3);
  value->SetDescriptors(nullptr, rows);
  EXPECT_EQ(value->nGetRowCount(), 3u);
  std::uint16_t* indicators = value->pGetIndicatorArray();
  ASSERT_NE(indicators, nullptr);
  indicators[1] = 0xFFFF;
  indicators[2] = 0xFFFE;
  EXPECT_EQ(value->bIsNativeNull(0), 0);
  EXPECT_EQ(value->bIsNativeNull(1), 1);
  EXPECT_EQ(value->bIsNativeNull(2), 0);
  value->ClearIndicators();
  EXPECT_EQ(value->bIsNativeNull(1), 0);
  Release(value);

  // A fetched NULL leaves the buffer as it was: nothing is read from it.
  COracleFieldValue* number = NewText(HOST_TYPE_INT64, u"12");
  ASSERT_EQ(number->bEnsurePrepared(), 1);
  std::memset(number->pGetConversionBuffer(), 0xEE, number->nGetConversionSize());
  number->SetSingleIndicator(0xFFFF);
  EXPECT_EQ(number->bLoadFetched(nullptr), 1) << ocitest::Dump(*holder);
  EXPECT_EQ(TextOf(number), u"<null>");
  EXPECT_EQ(holder->nGetErrorCode(), 0u);
  Release(number);
}

TEST_F(OracleFieldValue, EachValueKeepsItsOwnDateTimeDescriptor) {
  CHostDateTime moment{5, 3, 2024, 37230456};
  COracleFieldValue* value = NewHolding(HOST_TYPE_DATETIME, moment);
  ASSERT_EQ(value->bSyncToNative(), 1) << ocitest::Dump(*holder);
  EXPECT_EQ(value->nGetNativeTypeCode(), sqlt::TIMESTAMP);
  ASSERT_NE(value->pGetDateTimeDescriptor(), nullptr);
  EXPECT_EQ(value->nGetDateTimeDescriptorType(), datetime_dtype::TIMESTAMP);
  void* address = nullptr;
  std::memcpy(&address, value->pGetConversionBuffer(), sizeof address);
  EXPECT_EQ(address, value->pGetDateTimeDescriptor()) << "the client reads the descriptor's address";
  EXPECT_NE(StandIn::Get().LastCall("OCIDateTimeConstruct").find("2024-3-5 10:20:30.456000000"), std::string::npos)
      << StandIn::Get().LastCall("OCIDateTimeConstruct");
  value->SetNull();
  ASSERT_EQ(value->bReadNative(), 1) << ocitest::Dump(*holder);
  EXPECT_EQ(TextOf(value), u"20240305102030456");

  value->SetPieceLength(7);
  value->SetSingleIndicator(0xFFFF);
  CHashTable map;
  auto* copy = static_cast<COracleFieldValue*>(value->pClone(map));
  copy->AddRef();
  EXPECT_EQ(copy->pGetDateTimeDescriptor(), nullptr) << "a copy makes its own";
  EXPECT_EQ(copy->nGetPieceLength(), 7u);
  EXPECT_EQ(copy->nGetSingleIndicator(), 0xFFFF);
  Release(copy);

  const unsigned frees = StandIn::Get().EntryCount("OCIDescriptorFree");
  Release(value);
  EXPECT_EQ(StandIn::Get().EntryCount("OCIDescriptorFree"), frees + 1) << "freed with its value";
}

TEST_F(OracleFieldValue, DescriptorFreeFailuresAreRecordedAndTheDescriptorDropped) {
  const std::uint32_t slot = OCI_SLOT_OCIDescriptorFree;
  void* const entry = gtabOciEntries[slot];
  struct {
    bool missing;
    std::uint32_t code;
  } cases[] = {{true, 1040u}, {false, 23u}};
  for (const auto& c : cases) {
    holder->Clear();
    COracleFieldValue* value = NewHolding(HOST_TYPE_DATETIME, CHostDateTime{1, 1, 2024, 0});
    ASSERT_EQ(value->bEnsurePrepared(), 1) << ocitest::Dump(*holder);
    void* descriptor = value->pGetDateTimeDescriptor();
    ASSERT_NE(descriptor, nullptr);
    if (c.missing) {
      gtabOciEntries[slot] = pOciFallbackStub(slot);
    } else {
      StandIn::Get().InjectThrow("OCIDescriptorFree", 1);
    }
    value->FreeDescriptor();
    gtabOciEntries[slot] = entry;
    EXPECT_EQ(value->pGetDateTimeDescriptor(), nullptr);
    EXPECT_EQ(holder->nGetErrorCode(), c.code);
    EXPECT_TRUE(ocitest::HasPoint(*holder, 6, 105)) << ocitest::Dump(*holder);
    if (c.missing) OciEntry<OCI_SLOT_OCIDescriptorFree>()(descriptor, datetime_dtype::TIMESTAMP);
    Release(value);
  }
  gbOciClientFailed = 0;
}

TEST_F(OracleFieldValue, FetchedAnsiTextHeldInTheValueIsConverted) {
  ValueColumn ansi(COLUMN_TYPE_TEXT, sqlt::STR, 16);
  ValueColumn unicode(COLUMN_TYPE_WTEXT, sqlt::STR, 32);
  COracleFieldValue* value = New();
  value->InitType(HOST_TYPE_TEXT, 0);
  value->SetDescriptors(ansi, unicode);
  value->Value().SetType(HOST_TYPE_TEXT);
  value->Value().Set(u"0123456789");
  ASSERT_EQ(value->bEnsurePrepared(), 1) << ocitest::Dump(*holder);
  ASSERT_EQ(value->nGetPreparation(), FIELD_PREPARED_CONVERTED);
  std::memset(value->pGetConversionBuffer(), 0, value->nGetConversionSize());
  std::memcpy(value->pGetConversionBuffer(), "caf\xE9", 4);
  ASSERT_EQ(value->bReadNative(), 1);
  EXPECT_EQ(TextOf(value), u"caf\u00E9") << "8-bit text read in the connection's code page";

  // Its text refused by the runtime's allocator (its own code): out of memory, never an empty text.
  std::memcpy(value->pGetConversionBuffer(), "longer text", 12);
  qzrt::FailStringAllocations(0);
  EXPECT_EQ(value->bReadNative(), 0);
  qzrt::FailStringAllocations(-1);
  EXPECT_EQ(holder->pGetEmbeddedObject()->nGetSystemCode(), 14u) << ocitest::Dump(*holder);
  holder->Clear();
  Release(value);
}

TEST_F(OracleFieldValue, DriverObjectMakesOracleFieldValues) {
  CDriver* saved = gpDriver;
  void* object = piQueryInterface();
  ASSERT_NE(object, nullptr);
  auto* oracle = static_cast<COracleDriver*>(static_cast<CDriver*>(object));
  auto* field = static_cast<CFieldValue*>(oracle->pCreateFieldValue(holder, connection));
  ASSERT_NE(dynamic_cast<COracleFieldValue*>(field), nullptr);
  field->AddRef();
  Release(field);
  auto* text = static_cast<CFieldValue*>(
      oracle->pCreateNativeTextValue(holder, reinterpret_cast<RuntimeWord>(static_cast<CConnection*>(connection))));
  ASSERT_NE(dynamic_cast<COracleFieldValue*>(text), nullptr);
  text->AddRef();
  EXPECT_EQ(text->nGetState(), FIELD_STATE_OWNED);
  EXPECT_EQ(text->Value().nGetType(), HOST_TYPE_ASTRING);
  EXPECT_EQ(text->nGetBufferSize(), 24u);
  EXPECT_EQ(text->nGetDataLength(), 0u);
  Release(text);
  CallSlot<std::int32_t>(object, ocitest::kDriverRelease);
  gpDriver = saved;
}

}  // namespace
