#include "oracle/oracle_driver.h"

#include <new>

#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "host/export.h"
#include "host/library_entry.h"
#include "oracle/oracle_automatic_identifier.h"
#include "oracle/oracle_binding.h"
#include "oracle/oracle_column.h"
#include "oracle/oracle_connection.h"
#include "oracle/oracle_cursor.h"
#include "oracle/oracle_field_value.h"
#include "oracle/oracle_record_description.h"
#include "oracle/oracle_sql_rewriter.h"
#include "oracle/oracle_table.h"

namespace {

constexpr std::uint64_t NATIVE_TEXT_VALUE_BYTES = 24;

}  // namespace

void* COracleDriver::pCreateFieldValue(CErrorHolder* holder, CConnection* connection) {
  CErrorHolder* owner = holder ? holder : pGetErrorHolder();
  auto* value = new (std::nothrow) COracleFieldValue(owner, connection);
  if (!value) SetHolderOutOfMemory(owner);
  return value;
}

void* COracleDriver::pCreateNativeTextValue(CErrorHolder* holder, RuntimeWord connection) {
  auto* value = static_cast<COracleFieldValue*>(pCreateFieldValue(holder, reinterpret_cast<CConnection*>(connection)));
  if (!value) return nullptr;
  value->AddRef();
  const int made = value->bAllocateNativeBuffer(HOST_TYPE_ASTRING, NATIVE_TEXT_VALUE_BYTES);
  if (!made) {
    value->nRelease();
    return nullptr;
  }
  value->SetDataLength(0);
  --value->m_nRefCount;
  return value;
}

// A result column's binding: the statement's select column (a CSqlElement) at its 1-based position.
void* COracleDriver::pCreateParameterBinding(RuntimeWord entry, RuntimeWord position) {
  auto* binding = new (std::nothrow)
      COracleParameterBinding(reinterpret_cast<CSqlElement*>(entry), static_cast<std::uint32_t>(position));
  if (!binding) SetHolderOutOfMemory(pGetErrorHolder());
  return binding;
}

// A parameter's binding: the statement's parameter (a CValueLeaf) at its position.
void* COracleDriver::pCreateParameter(RuntimeWord entry, RuntimeWord position) {
  auto* parameter = new (std::nothrow)
      COracleParameter(reinterpret_cast<CValueLeaf*>(entry), static_cast<std::uint32_t>(position));
  if (!parameter) SetHolderOutOfMemory(pGetErrorHolder());
  return parameter;
}

CRecordDescription* COracleDriver::pCreateDescription(CConnection* connection, CErrorHolder* holder) {
  return new (std::nothrow) COracleRecordDescription(connection, holder);
}

CTable* COracleDriver::pCreateTable(IHostFileDescription* description, CConnection* connection,
                                    CErrorHolder* holder) {
  return new (std::nothrow) COracleTable(description, connection, holder);
}

void* COracleDriver::pCreateCursor(RuntimeWord table, RuntimeWord holder) {
  auto* errors = reinterpret_cast<CErrorHolder*>(holder);
  auto* cursor = new (std::nothrow) COracleCursor(reinterpret_cast<CTable*>(table), errors);
  if (!cursor) SetHolderOutOfMemory(errors ? errors : pGetErrorHolder());
  return static_cast<CCursor*>(cursor);
}

// A table's column: (error holder, column descriptor).
void* COracleDriver::pCreateColumnBinding(RuntimeWord holder, RuntimeWord descriptor) {
  auto* column = new (std::nothrow)
      COracleColumn(reinterpret_cast<CErrorHolder*>(holder), reinterpret_cast<CColumnDescriptor*>(descriptor));
  if (!column) SetHolderOutOfMemory(holder ? reinterpret_cast<CErrorHolder*>(holder) : pGetErrorHolder());
  return column;
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
  CRecordDescription* description = CDriver::pCreateDescriptionFor(name, connection);
  // The comments complete a description that stands without them: one that cannot be read leaves its error in the
  // holder and the description is still given.
  if (auto* oracle = dynamic_cast<COracleRecordDescription*>(description)) oracle->bLoadComments();
  return description;
}

CConnection* COracleDriver::pCreateConnection(const char16_t* text, IHostConnectionDescription* description) {
  return new (std::nothrow) COracleConnection(text, description);
}

int COracleDriver::bDescribeTable(std::uint32_t* found, const char16_t* name, CConnection* connection) {
  if (found) *found = 0;
  if (!connection || !connection->bOpen(pGetErrorHolder(), nullptr)) return 0;
  CRecordDescription* description = CDriver::pCreateDescriptionFor(name, connection);
  if (found) *found = description ? 1 : 0;
  if (description) description->nRelease();
  return 1;
}

// ---- the export ----

extern "C" QZ_EXPORT void* piQueryInterface() {
  auto* driver = new (std::nothrow) COracleDriver();
  if (!driver) return nullptr;
  // Oracle statements fetch forwards only (OCI_FETCH_NEXT): the last and previous records are read in the reverse
  // order.
  driver->SetReadsBackwards(0);
  // Each call makes a new driver object; an earlier one stays with whoever holds it. Other threads read gpDriver
  // under the lock while they give connections back.
  platform::CriticalSectionGuard lock(gcsDriverLock);
  gpDriver = driver;
  driver->AddRef();
  driver->SetErrorHolder(driver->pCreateErrorHolder());
  return driver;
}
