// The driver object's side of sql/driver_services.h.
#include "sql/driver_services.h"

#include "driver/access_interface.h"
#include "driver/driver.h"
#include "engine/record/column.h"
#include "engine/record/record_factories.h"
#include "engine/values/field_value.h"
#include "host/library_entry.h"

bool bCurrentDriverReadsBackwards() { return !gpDriver || gpDriver->bReadsBackwards() != 0; }

const char16_t* pszCurrentDriverLabel(std::uint32_t index) {
  if (!gpDriver) return u"";
  gpDriver->FillDumpLabels();
  return gpDriver->pszGetLabel(index);
}

CErrorHolder* pCreateErrorHolderThrough(CDriver* driver) { return driver ? driver->pCreateErrorHolder() : nullptr; }

CTable* pCreateTableThrough(CDriver* driver, IHostFileDescription* description, CConnection* connection,
                            CErrorHolder* holder) {
  return driver ? driver->pCreateTable(description, connection, holder) : nullptr;
}

CColumnDescriptor* pCreateColumnDescriptorThroughDriver(CRecordDescription* description, std::uint32_t options) {
  return gpDriver ? gpDriver->pCreateColumnDescriptor(description, options) : nullptr;
}

CRecordDescription* pCreateDescriptionThroughDriver(CConnection* connection, CErrorHolder* holder) {
  return gpDriver ? gpDriver->pCreateDescription(connection, holder) : nullptr;
}

void* pCreateCursorThroughDriver(CTable* table, CErrorHolder* holder) {
  return gpDriver ? gpDriver->pCreateCursor(reinterpret_cast<RuntimeWord>(table), reinterpret_cast<RuntimeWord>(holder))
                  : nullptr;
}

void* pCreateAutomaticIdentifierThroughDriver() { return gpDriver ? gpDriver->pCreateAutomaticIdentifier() : nullptr; }

CTable* pCreateTableThroughDriver(IHostFileDescription* description, CConnection* connection, CErrorHolder* holder) {
  return pCreateTableThrough(gpDriver, description, connection, holder);
}

CFieldValue* pCreateFieldValueThroughDriver(CErrorHolder* owner, CConnection* connection) {
  return gpDriver ? static_cast<CFieldValue*>(gpDriver->pCreateFieldValue(owner, connection)) : nullptr;
}

CColumn* pCreateColumnThroughDriver(CErrorHolder* holder, CColumnDescriptor* descriptor) {
  if (!gpDriver) return nullptr;
  return static_cast<CColumn*>(
      gpDriver->pCreateColumnBinding(reinterpret_cast<RuntimeWord>(holder), reinterpret_cast<RuntimeWord>(descriptor)));
}

CValueLeaf* pCreateValueLeafThroughDriver(CFieldValue* value, std::uint64_t position, std::uint32_t flags,
                                          const char16_t* name) {
  return gpDriver ? gpDriver->pCreateValueLeaf(value, position, flags, name) : nullptr;
}

CSqlRewriter* pCreateSqlRewriterThroughDriver(CErrorHolder* holder, CConnection* connection) {
  return gpDriver ? gpDriver->pCreateSqlRewriter(holder, connection) : nullptr;
}

CValueLeaf* pCreateValueLeafForThroughDriver(CColumn* column, CFieldValue* value, std::uint64_t position,
                                             std::uint32_t flags) {
  return gpDriver ? gpDriver->pCreateValueLeafFor(column, value, position, flags) : nullptr;
}

CFieldValue* pCreateItemForValueThroughDriver(CErrorHolder* holder, CConnection* connection, CColumn* column,
                                              std::uint16_t hostType) {
  return gpDriver ? gpDriver->pCreateItemForValue(holder, connection, column, hostType) : nullptr;
}

CFieldValue* pCreateBoundItemThroughDriver(CErrorHolder* holder, CConnection* connection, CColumn* column,
                                           CHostValue& value) {
  return gpDriver ? gpDriver->pCreateBoundItem(holder, connection, column, value) : nullptr;
}

CParameterBinding* pCreateResultBindingThroughDriver(void* entry, std::uint32_t index) {
  if (!gpDriver) return nullptr;
  return static_cast<CParameterBinding*>(
      gpDriver->pCreateParameterBinding(reinterpret_cast<RuntimeWord>(entry), static_cast<RuntimeWord>(index)));
}

CParameterBinding* pCreateParameterBindingThroughDriver(void* entry, std::uint32_t index) {
  if (!gpDriver) return nullptr;
  return static_cast<CParameterBinding*>(
      gpDriver->pCreateParameter(reinterpret_cast<RuntimeWord>(entry), static_cast<RuntimeWord>(index)));
}

void NotifyTablesOfOwner(CAccessInterface* owner, CTable* skip, std::uint32_t kind, CCursor* context,
                         std::uint32_t flags) {
  if (owner) owner->NotifyTablesExcept(skip, kind, context, flags);
}

void RegisterTableWithOwner(CAccessInterface* owner, CTable* table) {
  if (owner) owner->RegisterTable(table);
}

IHostNamedObject* pGetOwnerQuerySource(CAccessInterface* owner) { return owner ? owner->pGetQuerySource() : nullptr; }
