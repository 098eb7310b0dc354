#include "engine/record/record_description.h"

#include <new>

#include "foundation/error_holder.h"
#include "foundation/reference_guard.h"
#include "sql/connection.h"
#include "sql/driver_services.h"

CRecordDescription::CRecordDescription(CConnection* connection, CErrorHolder* errorHolder)
    : m_pErrorHolder(errorHolder), m_pConnection(connection) {
  if (m_pErrorHolder) m_pErrorHolder->AddRef();
  if (m_pConnection) m_pConnection->AddRef();
}

CRecordDescription::~CRecordDescription() {
  // The connection goes back through the driver, which may close a connection that nothing else uses.
  ReleaseConnectionThroughDriver(m_pConnection);
  m_pConnection = nullptr;
  if (m_pErrorHolder) m_pErrorHolder->nRelease();
  m_pErrorHolder = nullptr;
}

std::uint32_t CRecordDescription::nGetInterfaceLevel() { return 6; }
std::int32_t CRecordDescription::nSlot1() { return 1; }
std::int32_t CRecordDescription::nSlot2() { return -1; }
std::int32_t CRecordDescription::nSlot3() { return -1; }
void CRecordDescription::Slot4() {}

std::uint32_t CRecordDescription::AddExternalRef() { return ++m_nExternalCount; }

std::uint32_t CRecordDescription::nReleaseExternal() {
  return nDropOneOfTwoCounts(m_nExternalCount, m_nRefCount, [this] { DeletingDestructor(1); });
}

std::uint32_t CRecordDescription::nRelease() {
  return nDropOneOfTwoCounts(m_nRefCount, m_nExternalCount, [this] { DeletingDestructor(1); });
}

const char16_t* CRecordDescription::pszGetName() { return m_strName.pszGet(); }
const char16_t* CRecordDescription::pszGetNameAgain() { return m_strName.pszGet(); }
const char16_t* CRecordDescription::pszGetEmptyText() { return u""; }
std::uint32_t CRecordDescription::nGetRecordSize() { return 0; }
std::uint32_t CRecordDescription::nGetFullSize() { return 0; }
std::uint32_t CRecordDescription::nGetItemCount() { return 0; }
std::uint32_t CRecordDescription::nGetKeyCount() { return 0; }
std::uint32_t CRecordDescription::nGetLargeItemCount() { return 0; }
std::uint32_t CRecordDescription::nGetColumnCount() { return nGetItemCount(); }
void* CRecordDescription::piGetItem(std::uint32_t) { return nullptr; }
void* CRecordDescription::piFindItem(const char16_t*) { return nullptr; }
void* CRecordDescription::piGetKey(std::uint32_t) { return nullptr; }
void* CRecordDescription::piGetLargeItem(std::uint32_t) { return nullptr; }
std::int32_t CRecordDescription::nSlot20() { return 1; }
const char16_t* CRecordDescription::pszGetSqlTableName() { return m_strSqlTableName.pszGet(); }
void* CRecordDescription::piGetIdentifyingKey() { return nullptr; }
const char16_t* CRecordDescription::pszGetSecondaryName() { return m_strSecondaryName.pszGet(); }
const char16_t* CRecordDescription::pszGetTertiaryName() { return m_strTertiaryName.pszGet(); }
const char16_t* CRecordDescription::pszGetOwnerName() { return m_strOwnerName.pszGet(); }

const char16_t* CRecordDescription::pszGetDatabaseName() {
  return m_pConnection ? m_pConnection->pszGetDatabaseName() : u"";
}

std::int32_t CRecordDescription::nSlot27() { return 0; }
std::int32_t CRecordDescription::nSlot28() { return 0; }
std::int32_t CRecordDescription::nSlot29() { return 1; }
void CRecordDescription::Slot30() {}
void CRecordDescription::Slot31() {}
void CRecordDescription::Slot32() {}
void CRecordDescription::Slot33() {}
void CRecordDescription::Slot34() {}
void CRecordDescription::Slot35() {}
void CRecordDescription::Slot36() {}
void CRecordDescription::Slot37() {}
void CRecordDescription::Slot38() {}
void CRecordDescription::Slot39() {}

void CRecordDescription::DeletingDestructor(std::uint32_t flags) {
  if (flags & 1) {
    delete this;
  } else {
    this->~CRecordDescription();
  }
}

int CRecordDescription::bLoad(std::uintptr_t) { return 0; }

int CRecordDescription::bLoadByName(const char16_t* name, const char16_t* sqlTableName, std::uintptr_t argument) {
  m_strName = name;
  m_strSqlTableName = sqlTableName;
  m_nOrigin = 1;
  return bLoad(argument);
}
