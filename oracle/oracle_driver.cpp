#include "oracle/oracle_driver.h"

#include <new>

#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "host/export.h"
#include "host/library_entry.h"
#include "oracle/oracle_automatic_identifier.h"
#include "oracle/oracle_connection.h"
#include "oracle/oracle_record_description.h"
#include "oracle/oracle_sql_rewriter.h"
#include "oracle/oracle_table.h"

namespace {

// Point 0 of the Oracle driver's raises: an operation whose Oracle work is not built yet.
constexpr std::uint32_t ORACLE_DRIVER_POINT_NOT_BUILT = 0;

// The runtime calls these two without any request frame; the holder is shared with the access interfaces, so the
// error goes into it under the lock.
int RaiseNotBuiltLocked(CErrorHolder* holder) {
  platform::CriticalSectionGuard lock(gcsDriverLock);
  RaiseNotAvailable(holder, ERROR_UNIT_DRIVER, ORACLE_DRIVER_POINT_NOT_BUILT, nullptr, nullptr);
  return 0;
}

}  // namespace

int CDriverOra::bListDatabases(void*) { return RaiseNotBuiltLocked(pGetErrorHolder()); }

int COracleDriver::bGetNativeTypeList(void*) { return RaiseNotBuiltLocked(pGetErrorHolder()); }

void* COracleDriver::pCreateNativeTextValue(CErrorHolder* holder, RuntimeWord) {
  RaiseNotAvailable(holder ? holder : pGetErrorHolder(), ERROR_UNIT_DRIVER, ORACLE_DRIVER_POINT_NOT_BUILT, nullptr,
                    nullptr);
  return nullptr;
}

void* COracleDriver::pCreateParameterBinding(RuntimeWord, RuntimeWord) {
  RaiseNotAvailable(pGetErrorHolder(), ERROR_UNIT_DRIVER, ORACLE_DRIVER_POINT_NOT_BUILT, nullptr, nullptr);
  return nullptr;
}

void* COracleDriver::pCreateParameter(RuntimeWord, RuntimeWord) {
  RaiseNotAvailable(pGetErrorHolder(), ERROR_UNIT_DRIVER, ORACLE_DRIVER_POINT_NOT_BUILT, nullptr, nullptr);
  return nullptr;
}

CRecordDescription* COracleDriver::pCreateDescription(CConnection* connection, CErrorHolder* holder) {
  return new (std::nothrow) COracleRecordDescription(connection, holder);
}

CTable* COracleDriver::pCreateTable(IHostFileDescription* description, CConnection* connection,
                                    CErrorHolder* holder) {
  return new (std::nothrow) COracleTable(description, connection, holder);
}

void* COracleDriver::pCreateColumnBinding(RuntimeWord, RuntimeWord) {
  RaiseNotAvailable(pGetErrorHolder(), ERROR_UNIT_DRIVER, ORACLE_DRIVER_POINT_NOT_BUILT, nullptr, nullptr);
  return nullptr;
}

CSqlRewriter* COracleDriver::pCreateSqlRewriter(CErrorHolder* holder, CConnection* connection) {
  auto* rewriter = new (std::nothrow) COracleSqlRewriter(holder, connection);
  if (!rewriter) SetHolderOutOfMemory(holder ? holder : pGetErrorHolder());
  return rewriter;
}

void* COracleDriver::pCreateAutomaticIdentifier() {
  auto* identifier = new (std::nothrow) COracleAutomaticIdentifier();
  if (!identifier) SetHolderOutOfMemory(pGetErrorHolder());
  return identifier;
}

CRecordDescription* COracleDriver::pCreateDescriptionFor(const char16_t* name, CConnection* connection) {
  if (!connection || !connection->bOpen(pGetErrorHolder(), nullptr)) return nullptr;
  // (the column comments are loaded with the catalog queries, not built yet)
  return CDriver::pCreateDescriptionFor(name, connection);
}

CConnection* COracleDriver::pCreateConnection(const char16_t* text, IHostConnectionDescription* description) {
  return new (std::nothrow) COracleConnection(text, description);
}

int COracleDriver::bListCatalog(void*, CConnection* connection, std::uint32_t) {
  if (!connection || !connection->bOpen(pGetErrorHolder(), nullptr)) return 0;
  RaiseNotAvailable(pGetErrorHolder(), ERROR_UNIT_DRIVER, ORACLE_DRIVER_POINT_NOT_BUILT, connection, nullptr);
  return 0;
}

int COracleDriver::bDescribeTable(std::uint32_t* found, const char16_t* name, CConnection* connection) {
  if (found) *found = 0;
  if (!connection || !connection->bOpen(pGetErrorHolder(), nullptr)) return 0;
  CRecordDescription* description = CDriver::pCreateDescriptionFor(name, connection);
  if (found) *found = description ? 1 : 0;
  if (description) description->nRelease();
  return 1;
}

int COracleDriver::bGetReferentialLinks(CConnection* connection, RuntimeWord, RuntimeWord, void*, std::uint32_t) {
  if (!connection || !connection->bOpen(pGetErrorHolder(), nullptr)) return 0;
  RaiseNotAvailable(pGetErrorHolder(), ERROR_UNIT_DRIVER, ORACLE_DRIVER_POINT_NOT_BUILT, connection, nullptr);
  return 0;
}

// ---- the export ----

extern "C" QZ_EXPORT void* piQueryInterface() {
  auto* driver = new (std::nothrow) COracleDriver();
  if (!driver) return nullptr;
  // Each call makes a new driver object; an earlier one stays with whoever holds it. Other threads read gpDriver
  // under the lock while they give connections back.
  platform::CriticalSectionGuard lock(gcsDriverLock);
  gpDriver = driver;
  driver->AddRef();
  driver->SetErrorHolder(driver->pCreateErrorHolder());
  return driver;
}
