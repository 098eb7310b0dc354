#include "oracle/oracle_column.h"

#include <new>
#include <string>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/table_description.h"
#include "engine/table/cursor.h"
#include "engine/values/field_value.h"
#include "foundation/clone_map.h"
#include "foundation/code_pages.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "oracle/client/oci_value_calls.h"
#include "oracle/client/oci_wrappers.h"
#include "oracle/oracle_connection.h"
#include "oracle/oracle_field_value.h"
#include "oracle/oracle_table.h"
#include "platform/code_page.h"

namespace {

// Where the Oracle column raises its errors.
constexpr std::uint32_t ERROR_UNIT_ORACLE_COLUMN = 104;
constexpr std::uint32_t COLUMN_POINT_LOCATOR_FREE = 2;

constexpr std::uint8_t LOB_MODE_READ_ONLY = 1;
constexpr std::uint8_t LOB_MODE_READ_WRITE = 2;

constexpr std::uint32_t COLUMN_TYPE_OF_ANSI_MEMO = 15;
constexpr std::uint32_t COLUMN_TYPE_OF_WIDE_MEMO = 30;

bool bIsDateTimeColumnType(std::uint32_t type) { return type == 10 || type == 11 || type == 14 || type == 24; }

// The code page of 8-bit text the client takes: the session's, the connection's ANSI page while the session has none
// or works in UTF-16 (whose text is no 8-bit text).
std::uint32_t nEightBitCodePage(CConnection* connection) {
  if (!connection) return 1252;
  const std::uint32_t page = connection->nGetSessionCodePage();
  return page == SESSION_CODE_PAGE_UNSET || page == CODE_PAGE_UTF16 ? connection->nGetAnsiCodePage() : page;
}

bool bWidenText(const char* text, std::size_t length, std::uint32_t codePage, std::string& out) {
  out.clear();
  if (length == 0) return true;
  const int units = platform::MultiByteToWide(codePage, 0, text, static_cast<int>(length), nullptr, 0);
  if (units <= 0) return false;
  out.resize(static_cast<std::size_t>(units) * 2);
  return platform::MultiByteToWide(codePage, 0, text, static_cast<int>(length), reinterpret_cast<char16_t*>(out.data()),
                                   units) == units;
}

bool bNarrowText(const char16_t* text, std::size_t units, std::uint32_t codePage, std::string& out) {
  out.clear();
  if (units == 0) return true;
  const int bytes =
      platform::WideToMultiByte(codePage, 0, text, static_cast<int>(units), nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return false;
  out.resize(static_cast<std::size_t>(bytes));
  return platform::WideToMultiByte(codePage, 0, text, static_cast<int>(units), out.data(), bytes, nullptr, nullptr) ==
         bytes;
}

}  // namespace

// ---- CColumnOra ----------------------------------------------------------------------------------------------------

int CColumnOra::bPrepareFieldValue(CTableDescription* tableDescription) {
  if (!CColumn::bPrepareFieldValue(tableDescription)) return 0;
  if (bIsMemo()) return 1;
  CConnection* connection = pGetConnection();
  CColumnDescriptor* secondary = pGetSecondaryDescriptor();
  if (connection && connection->nGetDateFormatFlag() && secondary && bIsDateTimeColumnType(secondary->nGetType())) {
    return bApplyDateFormat(connection);
  }
  return 1;
}

int CColumnOra::bSetSecondaryDescriptor(CColumnDescriptor* descriptor) {
  const int result = CColumn::bSetSecondaryDescriptor(descriptor);
  if (CFieldValue* value = pGetFieldValue()) value->SetDescriptors(pGetDescriptorNoRef(), descriptor);
  return result;
}

int CColumnOra::bSetFieldValue(CFieldValue* value) {
  CHostValue held;
  if (value) {
    if (!value->bGetValue(&held)) return 0;
  } else {
    held.SetType(nGetHostType());
    held.SetNull(true);
  }
  // bSetValue also clears a memo's link to its file. The value comes from the row read: no change of the program's
  // for an UPDATE to write back (a NULL read would be written over what another session stored since).
  const int set = bSetValue(held, 0);
  AcceptMemoValue();
  return set;
}

int CColumnOra::bCopyFrom(CColumnOra* source, CHashTable& cloneMap) {
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  return CColumn::bCopyFromWithMap(source, cloneMap);
}

// ---- COracleColumn -------------------------------------------------------------------------------------------------

COracleColumn::COracleColumn(CErrorHolder* holder, CColumnDescriptor* descriptor) : CColumnOra(holder, descriptor) {}

COracleColumn::~COracleColumn() {
  // The table description may be gone before its column (the column does not count it), and with it the way to the
  // connection: the free needs none, a failure is reported without one.
  if (m_pLobLocator) {
    OciDescriptorFreeChecked(nullptr, pHolder(), m_pLobLocator, m_nLobDescriptorType, ERROR_UNIT_ORACLE_COLUMN,
                             COLUMN_POINT_LOCATOR_FREE);
  }
}

COracleFieldValue* COracleColumn::pOracleValue() { return dynamic_cast<COracleFieldValue*>(pGetFieldValue()); }

COracleConnection* COracleColumn::pOracleConnection() { return dynamic_cast<COracleConnection*>(pGetConnection()); }

CErrorHolder* COracleColumn::pHolder() { return pGetErrorHolder(); }

std::uint32_t COracleColumn::nSecondaryNativeType() const {
  CColumnDescriptor* secondary = pGetSecondaryDescriptor();
  return secondary ? secondary->nGetServerTypeCode() : 0;
}

std::uint32_t COracleColumn::nSecondaryColumnType() const {
  CColumnDescriptor* secondary = pGetSecondaryDescriptor();
  return secondary ? secondary->nGetType() : 0;
}

bool COracleColumn::bIsLob() const {
  const std::uint32_t type = nSecondaryNativeType();
  return type == sqlt::CLOB || type == sqlt::BLOB || type == sqlt::BFILE;
}
bool COracleColumn::bIsClob() const { return nSecondaryNativeType() == sqlt::CLOB; }
bool COracleColumn::bIsBfile() const { return nSecondaryNativeType() == sqlt::BFILE; }

bool COracleColumn::bIsFieldValueNull() {
  COracleFieldValue* value = pOracleValue();
  return value ? value->bIsNativeNull(0) != 0 : true;
}

int COracleColumn::bPrepareFieldValue(CTableDescription* tableDescription) {
  if (!CColumnOra::bPrepareFieldValue(tableDescription)) return 0;
  if (!pGetSecondaryDescriptor()) return 1;
  COracleFieldValue* value = pOracleValue();
  return value ? value->bRefreshDateTimeDescriptor() : 1;
}

int COracleColumn::bSetSecondaryDescriptor(CColumnDescriptor* descriptor) {
  if (descriptor == pGetSecondaryDescriptor()) return 1;
  if (!CColumnOra::bSetSecondaryDescriptor(descriptor)) return 0;
  return descriptor ? bSetupDescriptors() : 1;
}

int COracleColumn::bSetupDescriptors() {
  CColumnDescriptor* secondary = pGetSecondaryDescriptor();
  if (!secondary) return 1;
  const std::uint32_t descriptorType = COracleFieldValue::nDescriptorTypeOfSqlt(
      pGetConnection(), nGetType(), static_cast<std::uint16_t>(nSecondaryNativeType()));
  // The field value is made when the column is attached, after its secondary descriptor: until then there is no
  // descriptor to refresh, and bPrepareFieldValue refreshes it.
  COracleFieldValue* value = pOracleValue();
  const int result = value ? value->bRefreshDateTimeDescriptor() : 1;
  if (descriptorType == 0 && bIsLob()) {
    CTableDescription* description = pGetTableDescription();
    if (auto* table = description ? dynamic_cast<COracleTable*>(description->pGetTable()) : nullptr) {
      table->SetHasLob(true);
    }
    m_nLobDescriptorType = bIsBfile() ? LOB_DESCRIPTOR_TYPE_FILE : LOB_DESCRIPTOR_TYPE_LOB;
  }
  return result;
}

int COracleColumn::bIsTableStateClear() { return bIsMemo() && CColumnOra::bIsTableStateClear() ? 1 : 0; }

int COracleColumn::bIncludeInUpdate(std::uint32_t options) {
  // A LOB goes into an UPDATE only when the program changed it (the column marks every value put in): written back
  // as it was read, it would put back over another session's committed value the one read before it, and pass the
  // text through the runtime's 8-bit item on the way.
  if (bIsLob()) return 0;
  return CColumnOra::bIncludeInUpdate(options);
}

int COracleColumn::bIncludeInInsert(std::uint32_t options) {
  return bIsLob() ? 1 : CColumnOra::bIncludeInInsert(options);
}

int COracleColumn::bApplyDateFormat(CConnection* connection) {
  COracleFieldValue* value = pOracleValue();
  if (!value) return 1;
  if (connection && connection->nGetDateFormatFlag()) {
    value->SetDateFormat(connection->nGetOldDateFormat() ? u"DD-MM-YYYY HH24:MI:SS" : u"YYYYMMDD HH24:MI:SS");
  } else {
    value->SetDateMask(u"YYYYMMDDHH24MISS");
  }
  return 1;
}

int COracleColumn::bCopyFrom(COracleColumn* source, CHashTable& cloneMap) {
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  if (!CColumnOra::bCopyFrom(source, cloneMap)) return 0;
  m_nLobDescriptorType = source->m_nLobDescriptorType;
  return 1;
}

CColumn* COracleColumn::pClone(CHashTable& cloneMap) {
  return pCloneUnreferenced(new (std::nothrow) COracleColumn(pGetErrorHolder(), pGetDescriptorNoRef()),
                            pGetErrorHolder(), [&](COracleColumn* copy) { return copy->bCopyFrom(this, cloneMap); });
}

// ---- LOB locators --------------------------------------------------------------------------------------------------

int COracleColumn::bAllocLobLocator(void** locator, COracleConnection* connection) {
  if (*locator) return 1;
  if (!connection) return 0;
  return nOciDescriptorAlloc(connection, pHolder(), connection->m_pEnvironment, locator, m_nLobDescriptorType);
}

void** COracleColumn::pGetLobLocator() {
  bAllocLobLocator(&m_pLobLocator, pOracleConnection());
  return &m_pLobLocator;
}

CFieldValue* COracleColumn::pGetRowLobLocator(COracleConnection* connection) {
  if (!bAllocLobLocator(&m_pLobLocator, connection)) return nullptr;
  CTableDescription* description = pGetTableDescription();
  CFieldValue* value =
      pCreateFieldValueThroughDriver(pHolder(), description ? description->pGetOwner() : connection);
  if (!value) return nullptr;
  value->AddRef();
  if (!value->bAttachExternalBuffer(&m_pLobLocator, sizeof m_pLobLocator)) {
    value->nRelease();
    return nullptr;
  }
  value->SetDescriptors(pGetDescriptorNoRef(), pGetSecondaryDescriptor());
  // The locator is bound as the LOB it stands for, which the client fills in: bound as the column's value (a text,
  // a long binary) it would come back as the value's bytes over the locator's address, and the locator would stay
  // uninitialised. The type is set last: the descriptors set the value's type from the column's.
  value->Value().SetType(HOST_TYPE_PAIR29);
  value->SetNativeTypeCode(nSecondaryNativeType());
  return value;
}

void COracleColumn::FreeLobLocators(void** locator) {
  if (!locator || !*locator) return;
  OciDescriptorFreeChecked(pOracleConnection(), pHolder(), *locator, m_nLobDescriptorType, ERROR_UNIT_ORACLE_COLUMN,
                           COLUMN_POINT_LOCATOR_FREE);
  *locator = nullptr;
}

// ---- LOB contents --------------------------------------------------------------------------------------------------

int COracleColumn::bReadLob() {
  CFieldValue* value = pGetFieldValue();
  COracleConnection* connection = pOracleConnection();
  if (!value || !connection) return 0;
  if (bIsFieldValueNull()) {
    value->SetNull();
    AcceptMemoValue();
    return 1;
  }
  CErrorHolder* holder = pHolder();
  if (!nOciLobOpen(connection, holder, m_pLobLocator, m_nLobDescriptorType, LOB_MODE_READ_ONLY)) return 0;
  const bool unicode = nSecondaryColumnType() == COLUMN_TYPE_OF_WIDE_MEMO;
  const bool clob = bIsClob();
  std::string bytes;
  bool read = true;
  try {
    std::string piece(LOB_READ_PIECE_BYTES, '\0');
    std::uint32_t more = 0;
    do {
      std::uint32_t amount = 0;
      if (!nOciLobRead(connection, holder, m_pLobLocator, &amount, 1 + static_cast<std::uint32_t>(bytes.size()),
                       piece.data(), LOB_READ_PIECE_BYTES, &more, unicode ? 1 : 0)) {
        read = false;
        break;
      }
      // A Unicode CLOB counts its amount in characters of two bytes.
      const std::size_t received = unicode && clob ? std::size_t{amount} * 2 : amount;
      bytes.append(piece.data(), received < piece.size() ? received : piece.size());
    } while (more);
  } catch (const std::bad_alloc&) {
    SetHolderOutOfMemory(holder);
    read = false;
  }
  // A client whose 8-bit text is not in the runtime's page (its environment took another character set) hands the
  // CLOB in its own page, as it does a VARCHAR2: the text is taken into the runtime's page, or straight into UTF-16
  // for a wide item. Characters the runtime's page lacks read as its default character.
  bool wide = unicode;
  if (read && clob && !unicode && nEightBitCodePage(connection) != connection->nGetAnsiCodePage()) {
    try {
      const std::u16string text = WideOfCodePage(bytes.data(), bytes.size(), nEightBitCodePage(connection));
      wide = nGetType() == COLUMN_TYPE_OF_WIDE_MEMO;
      bytes = wide ? std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2)
                   : NarrowOfCodePage(text.data(), text.size(), connection->nGetAnsiCodePage());
    } catch (const std::bad_alloc&) {
      SetHolderOutOfMemory(holder);
      read = false;
    }
  }
  if (read) {
    CHostValue whole;
    if (!clob) {
      whole.SetType(HOST_TYPE_BINARY_BUFFER);
    } else {
      whole.SetType(wide ? HOST_TYPE_WSTRING : HOST_TYPE_TEXT_BUFFER);
    }
    // Anything but done leaves the value without the bytes (the runtime's allocator refuses with a code below the
    // failure codes): an empty value would be read as the large value.
    read = whole.SetFromBuffer(bytes.data(), bytes.size()) == HOST_OK;
    if (read && clob) {
      const std::uint32_t primary = nGetType();
      if (wide && primary == COLUMN_TYPE_OF_ANSI_MEMO) read = !bHostFailed(whole.nConvert(HOST_TYPE_TEXT_BUFFER));
      if (!wide && primary == COLUMN_TYPE_OF_WIDE_MEMO) read = !bHostFailed(whole.nConvert(HOST_TYPE_WSTRING));
    }
    if (!read) {
      SetHolderOutOfMemory(holder);
    } else {
      read = value->bPutValue(whole) != 0;
      if (read) {
        NotifyRowChanged();
        AcceptMemoValue();
      }
    }
  }
  const int closed = nOciLobClose(connection, holder, m_pLobLocator, m_nLobDescriptorType);
  return read && closed ? 1 : 0;
}

int COracleColumn::bWriteLob(CCursor* statement) {
  CFieldValue* value = pGetFieldValue();
  COracleConnection* connection = pOracleConnection();
  CErrorHolder* holder = statement && statement->pGetErrorHolder() ? statement->pGetErrorHolder() : pHolder();
  if (!value || !connection) return 0;
  const char16_t* fileName = pszGetMemoFileName();
  if (fileName && fileName[0] && value->Value().bIsNull()) {
    // A linked file that cannot be read fails the write with the read's error: the row would otherwise keep the
    // empty LOB its statement placed and the write would report success.
    if (!value->bLoadFromFile(fileName, nGetType() == COLUMN_TYPE_BINARY_MEMO)) return 0;
  }
  if (!nOciLobLocatorIsInit(connection, holder, m_pLobLocator)) return 0;
  if (value->Value().bIsNull()) return 1;
  if (!nOciLobOpen(connection, holder, m_pLobLocator, m_nLobDescriptorType, LOB_MODE_READ_WRITE)) return 0;
  const bool unicode = nSecondaryColumnType() == COLUMN_TYPE_OF_WIDE_MEMO;
  const auto* data = static_cast<const char*>(value->pGetData());
  std::size_t length = data ? static_cast<std::size_t>(value->nGetDataSize()) : 0;
  std::string converted;
  bool ready = true;
  const std::uint32_t primary = nGetType();
  if (unicode && primary == COLUMN_TYPE_OF_ANSI_MEMO) {
    // The item's 8-bit text is the runtime's, whatever page the client takes its own 8-bit text in.
    ready = bWidenText(data, length, connection->nGetAnsiCodePage(), converted);
    data = converted.data();
    length = converted.size();
  } else if (!unicode && primary == COLUMN_TYPE_OF_WIDE_MEMO) {
    ready = bNarrowText(reinterpret_cast<const char16_t*>(data), length / 2, nEightBitCodePage(connection), converted);
    data = converted.data();
    length = converted.size();
  } else if (!unicode && bIsClob() && nEightBitCodePage(connection) != connection->nGetAnsiCodePage()) {
    // The client takes 8-bit text in its own page (bReadLob): the runtime's text goes to it converted, the amount
    // then counting the converted bytes. A character that page lacks is written as its default character.
    std::string text;
    ready = bWidenText(data, length, connection->nGetAnsiCodePage(), text) &&
            bNarrowText(reinterpret_cast<const char16_t*>(text.data()), text.size() / 2, nEightBitCodePage(connection),
                        converted);
    data = converted.data();
    length = converted.size();
  }
  int written = 0;
  if (!ready) {
    value->RaiseTextNotConverted(unicode ? HOST_TYPE_TEXT_BUFFER : HOST_TYPE_WSTRING);
  } else {
    const std::size_t unit = unicode ? 2 : 1;
    // A CLOB's text may carry its terminator: that one unit is dropped, but only when it is one. A unit that is a
    // character is the text's last and is written.
    if (bIsClob() && length >= unit) {
      bool terminator = true;
      for (std::size_t i = length - unit; i < length; ++i) terminator = terminator && data[i] == 0;
      if (terminator) length -= unit;
    }
    // An empty value is already stored: the INSERT or UPDATE placed an empty LOB, and a LOB of length 0 cannot be
    // written (a terminator written instead would be stored as a character or a byte of the value).
    std::uint32_t amount = static_cast<std::uint32_t>(unicode ? length / 2 : length);
    written = length == 0 || nOciLobWrite(connection, holder, m_pLobLocator, &amount, 1, const_cast<char*>(data),
                                          static_cast<std::uint32_t>(length), 0, unicode ? 1 : 0);
  }
  const int closed = nOciLobClose(connection, holder, m_pLobLocator, m_nLobDescriptorType);
  return written && closed ? 1 : 0;
}
