// What the session tests through the exported driver object share: the driver, connection descriptions on data
// sources of the OCI stand-in, and the connection the driver made for a description.
#pragma once

#include <memory>
#include <string>

#include "driver/driver.h"
#include "foundation/error_holder.h"
#include "host/export.h"
#include "host/host_value.h"
#include "oci_session_helpers.h"
#include "oracle/client/client_loader.h"
#include "oracle/oracle_connection.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/slot_call.h"

namespace ocitest {

enum : std::size_t {
  kDriverOpen = 8,
  kDriverClose = 9,
  kDriverHolder = 11,
  kDriverBegin = 18,
  kDriverCommit = 19,
  kDriverRollback = 20,
  kDriverLockTable = 21,
  kDriverRelease = 6,
};

// A runtime connection description; the name keeps two descriptions of one data source apart.
inline std::unique_ptr<qzrt::ConnectionDescription> Description(const std::u16string& name,
                                                                const std::u16string& dataSource,
                                                                const std::u16string& password = u"manager",
                                                                const std::u16string& options = u"") {
  using D = qzrt::ConnectionDescription;
  auto description = std::make_unique<D>();
  description->SetText(D::kName, name);
  description->SetText(D::kDataSource, dataSource);
  description->SetText(D::kUserId, std::u16string(u"SYSTEM"));
  description->SetText(D::kPassword, password);
  description->SetText(D::kExtendedInformation, options);
  return description;
}

inline IHostConnectionDescription* Host(qzrt::ConnectionDescription& description) {
  return reinterpret_cast<IHostConnectionDescription*>(&description);
}

// The connection the driver keeps for an opened description (the driver's registry holds it).
inline COracleConnection* ConnectionOf(void* driver, qzrt::ConnectionDescription& description) {
  CConnection* connection = static_cast<CDriver*>(driver)->pFindConnection(Host(description));
  if (connection) connection->nRelease();
  return static_cast<COracleConnection*>(connection);
}

// Loads the client the way the runtime would, through a first open (which fails: the stand-in's data sources can be
// made only once it is loaded), then makes the data source. True when both happened.
inline bool LoadClientThenMakeDataSource(void* driver, CErrorHolder* holder, const std::string& dataSource,
                                         const std::u16string& options) {
  auto probe = Description(u"probe", std::u16string(dataSource.begin(), dataSource.end()), u"manager", options);
  CallSlot<int>(driver, kDriverOpen, probe.get());
  if (!bIsOracleClientLoaded()) return false;
  holder->Clear();
  return StandIn::Get().CreateDataSource(dataSource.c_str()) == 0;
}

// Loads the client, then opens a description on a data source of its own (the name followed by a number: the tests
// of one program share the process and its stand-in) and answers the connection the driver made for it; null when
// any step failed, the holder telling why.
inline COracleConnection* OpenOnNewDataSource(void* driver, CErrorHolder* holder, const std::string& name,
                                              std::unique_ptr<qzrt::ConnectionDescription>& description) {
  static int counter = 0;
  const std::string dataSource = name + "_" + std::to_string(++counter);
  const std::u16string wide(dataSource.begin(), dataSource.end());
  description = Description(std::u16string(name.begin(), name.end()), wide);
  if (!LoadClientThenMakeDataSource(driver, holder, dataSource, u"")) return nullptr;
  if (CallSlot<int>(driver, kDriverOpen, description.get()) != 1) return nullptr;
  return ConnectionOf(driver, *description);
}

// The first column of the first row, through the connection's own one-value query; "<none>" when no row came.
inline std::u16string FetchText(COracleConnection* connection, CErrorHolder& holder, const char16_t* sql) {
  CHostValue value;
  if (!connection->bExecuteSqlFetch(&holder, &value, 0, sql)) return u"<none>";
  const char16_t* text = nullptr;
  if (value.nGetWideText(&text) != 0 || !text) return u"<bad value>";
  return text;
}

}  // namespace ocitest
