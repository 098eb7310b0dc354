// What the Oracle field value tests share: the runtime stand-in's values, the client loaded from the OCI stand-in
// with a session of its own (server and client releases chosen by the test), an error holder owning the values,
// and column descriptors of any type.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/record/column_descriptor.h"
#include "engine/record/record_factories.h"
#include "host/library_entry.h"
#include "oci_session_helpers.h"
#include "oracle/client/client_loader.h"
#include "oracle/oracle_field_value.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/host/host_value_fixture.h"

namespace ocitest {

// A column descriptor of a type, with the SQLT code Oracle reported for it and its element count.
class ValueColumn {
 public:
  explicit ValueColumn(std::uint32_t type, std::uint32_t reported = 0, std::uint32_t size = 8,
                       std::uint32_t precision = 0, std::uint32_t scale = 0, std::uint32_t elements = 1)
      : m_pItem(pCreateColumnDescriptorThroughDriver(nullptr, 0)) {
    m_pItem->bSetAll(u"COL", u"T", u"", elements, size, type, 0xFFFFFFFF, 0xFFFFFFFF, 0, precision, scale);
    m_pItem->SetServerTypeCode(reported);
    m_pItem->AddRef();
  }
  ValueColumn(const ValueColumn&) = delete;
  ValueColumn& operator=(const ValueColumn&) = delete;
  ~ValueColumn() { m_pItem->nRelease(); }
  operator CColumnDescriptor*() const { return m_pItem; }

 private:
  CColumnDescriptor* m_pItem;
};

class OracleValueFixture : public CHostValueFixture {
 protected:
  // Loads the OCI set, or the OCI7 set in a solo program that asks for it.
  static void LoadClient(std::uint32_t oci7) {
    doubles::EnsureLibrary();
    if (bIsOracleClientLoaded()) return;
    CErrorHolder loadHolder;
    ASSERT_EQ(bLoadOracleClient(&loadHolder, gstrOciLibraryPath, nullptr, oci7), 1) << Dump(loadHolder);
  }
  static void SetUpTestSuite() { LoadClient(0); }

  void SetUp() override {
    CHostValueFixture::SetUp();
    savedDriver = gpDriver;
    gpDriver = &driver;
    savedClientMajor = gnOciClientMajorVersion;
    gnOciClientMajorVersion = 19;
    holder = new CErrorHolder();
    holder->AddRef();
    connection = new TestConnection();
    connection->AddRef();
    ASSERT_TRUE(connection->Open()) << "session on the stand-in";
    SetVersions(19, 19);
  }
  void TearDown() override {
    EXPECT_EQ(connection->nGetRefCount(), 1u) << "every value gave its connection back";
    connection->nRelease();
    holder->nRelease();
    gnOciClientMajorVersion = savedClientMajor;
    gpDriver = savedDriver;
    CHostValueFixture::TearDown();
  }

  void SetVersions(std::int32_t server, std::int32_t client) {
    connection->SetServerVersionText(CTString(STStringFormat{}, u"%d.2.0.1.0", server).pszGet());
    connection->ParseServerVersion(nullptr);
    gnOciClientMajorVersion = client;
  }

  // A counted value of the fixture's holder and connection; Release gives it back.
  COracleFieldValue* New() {
    auto* value = new COracleFieldValue(holder, connection);
    value->AddRef();
    return value;
  }
  // A parameter value holding a runtime value of the type.
  template <class T>
  COracleFieldValue* NewHolding(std::uint8_t type, const T& native) {
    COracleFieldValue* value = New();
    value->InitType(type, 0);
    CHostValue source;
    source.SetType(type);
    source.Set(&native);
    EXPECT_EQ(value->bSetValue(source), 1) << Dump(*holder);
    return value;
  }
  COracleFieldValue* NewText(std::uint8_t type, const char16_t* text) {
    COracleFieldValue* value = New();
    value->InitType(type, 0);
    CHostValue source;
    source.SetType(HOST_TYPE_TEXT);
    source.Set(text);
    EXPECT_EQ(value->bSetValue(source), 1) << Dump(*holder);
    return value;
  }
  static void Release(CFieldValue* value) { value->nRelease(); }

  // The value's text as the runtime writes it.
  static std::u16string TextOf(CFieldValue* value) {
    CHostValue out;
    value->bGetValue(&out);
    if (out.bIsNull()) return u"<null>";
    EXPECT_EQ(out.nConvert(HOST_TYPE_TEXT), HOST_OK);
    return WideOf(out);
  }
  static std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

  doubles::TestDriver driver;
  CErrorHolder* holder = nullptr;
  TestConnection* connection = nullptr;

 private:
  CDriver* savedDriver = nullptr;
  std::int32_t savedClientMajor = -1;
};

}  // namespace ocitest
