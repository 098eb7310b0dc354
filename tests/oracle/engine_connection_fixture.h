// A connection of the Oracle driver object on a data source of its own, with a test driver making the engine's
// objects in its place while a test runs (the Oracle driver object makes none yet). Objects kept through Keep are
// released, newest first, before the connection closes.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "client_test_helpers.h"
#include "session_driver_helpers.h"
#include "tests/slot_call.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/host/host_value_fixture.h"

template <class TestDriver>
class COracleEngineFixture : public CHostValueFixture {
 protected:
  explicit COracleEngineFixture(const char* dataSource) : m_dataSource(dataSource) {}
  static void SetUpTestSuite() { doubles::EnsureLibrary(); }

  void SetUp() override {
    CHostValueFixture::SetUp();
    driver = piQueryInterface();
    savedDriver = gpDriver;
    ASSERT_NE(driver, nullptr);
    holder = CallSlot<CErrorHolder*>(driver, ocitest::kDriverHolder);
    connection = ocitest::OpenOnNewDataSource(driver, holder, m_dataSource, description);
    ASSERT_NE(connection, nullptr) << ocitest::Dump(*holder);
    gpDriver = &testDriver;
  }

  void TearDown() override {
    for (auto release = releases.rbegin(); release != releases.rend(); ++release) (*release)();
    gpDriver = savedDriver;
    if (connection) CallSlot<int>(driver, ocitest::kDriverClose, description.get());
    CallSlot<std::int32_t>(driver, ocitest::kDriverRelease);
    CHostValueFixture::TearDown();
  }

  template <class T>
  T* Keep(T* object) {
    object->AddRef();
    releases.push_back([object] { object->nRelease(); });
    return object;
  }

  void* driver = nullptr;
  CErrorHolder* holder = nullptr;
  std::unique_ptr<qzrt::ConnectionDescription> description;
  COracleConnection* connection = nullptr;
  TestDriver testDriver;
  CDriver* savedDriver = nullptr;
  std::vector<std::function<void()>> releases;

 private:
  std::string m_dataSource;
};
