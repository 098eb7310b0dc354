// What the field value and row key tests share: the runtime stand-in's services and value entry points bound, an
// error holder owning the values, a connection in the code page a test asks for, and a driver object whose field
// value factory the duplicates go through. Every reference a test takes must come back.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/record/column_descriptor.h"
#include "engine/record/record_factories.h"
#include "engine/values/field_value.h"
#include "foundation/error_holder.h"
#include "host/host_services.h"
#include "host/library_entry.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/host/host_value_fixture.h"

// A column descriptor made by the current driver's factory and filled as the builders fill one. The holder keeps
// one reference of its own, so nOthers() is what the values under test still hold.
class TestColumn {
 public:
  TestColumn(std::uint32_t type, std::uint32_t size, const char16_t* name = u"", const char16_t* tableName = u"")
      : m_pItem(pCreateColumnDescriptorThroughDriver(nullptr, 0)) {
    m_pItem->bSetAll(name, tableName, u"", 1, size, type, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
    m_pItem->AddRef();
  }
  TestColumn(const TestColumn&) = delete;
  TestColumn& operator=(const TestColumn&) = delete;
  ~TestColumn() { m_pItem->nRelease(); }
  operator CColumnDescriptor*() const { return m_pItem; }
  CColumnDescriptor* operator->() const { return m_pItem; }
  std::uint32_t nOthers() const { return m_pItem->nGetRefCount() - 1; }

 private:
  CColumnDescriptor* m_pItem;
};

class CFieldValueFixture : public CHostValueFixture {
 protected:
  void SetUp() override {
    CHostValueFixture::SetUp();
    doubles::EnsureLibrary();
    m_savedDriver = gpDriver;
    gpDriver = &driver;
    holder = new CErrorHolder();
    holder->AddRef();
    UseCodePage(0);
  }
  void TearDown() override {
    if (connection) {
      EXPECT_EQ(connection->nGetRefCount(), 1u) << "every value gave its connection back";
      connection->nRelease();
    }
    EXPECT_EQ(holder->nGetRefCount(), 1u) << "every value gave its owner back";
    holder->nRelease();
    gpDriver = m_savedDriver;
    qzrt::SetCodePage(1252);
    CHostValueFixture::TearDown();
  }

  // A connection whose client code page follows the runtime's character set (0: 1252, 65001: UTF-8).
  void UseCodePage(std::int32_t charset) {
    if (connection) connection->nRelease();
    qzrt::SetLocaleCharset(charset);
    connection = new doubles::TestConnection(u"cnx", nullptr);
    connection->AddRef();
  }

  // A connection of a runtime whose own page is this one (932, 54936, 65001...).
  void UseRuntimePage(std::uint32_t page) {
    if (connection) connection->nRelease();
    qzrt::SetCodePage(page);
    connection = new doubles::TestConnection(u"cnx", nullptr);
    connection->AddRef();
  }

  template <class T>
  static void Make(CHostValue& value, std::uint8_t type, const T& native) {
    value.SetType(type);
    value.Set(&native);
  }
  static void MakeWide(CHostValue& value, const char16_t* text) {
    value.SetType(HOST_TYPE_TEXT);
    value.Set(text);
  }

  doubles::TestDriver driver;
  CErrorHolder* holder = nullptr;
  doubles::TestConnection* connection = nullptr;

 private:
  CDriver* m_savedDriver = nullptr;
};
