// The Oracle columns: CColumnOra (the Oracle layer's middle class: the date format of date-time values, and the
// field value kept in line with the column's descriptors) and COracleColumn (the final class the driver object's
// column factory makes: the LOB locator of CLOB, BLOB and BFILE columns, their contents read in pieces and written
// in one, the datetime descriptors of timestamp and interval columns).
//
// A COracleColumn owns its LOB locator (freed at destruction); a copy takes the locator's type, never the locator.
#pragma once

#include <cstdint>

#include "engine/record/column.h"

class CCursor;
class COracleConnection;
class COracleFieldValue;

class CColumnOra : public CColumn {
 public:
  using CColumn::CColumn;

  // The base preparation; then, for a date-time column of a connection asking for its own date format, the format.
  int bPrepareFieldValue(CTableDescription* tableDescription) override;
  // The base exchange; the field value takes the new pair of descriptors.
  int bSetSecondaryDescriptor(CColumnDescriptor* descriptor) override;
  // The value the field value holds goes through this column's own bSetValue; none empties the column.
  int bSetFieldValue(CFieldValue* value) override;

  // ---- added behind the base's operations ----
  virtual int bApplyDateFormat(CConnection* connection) = 0;
  virtual int bCopyFrom(CColumnOra* source, CHashTable& cloneMap);
};

// The OCI descriptor types of LOB locators.
inline constexpr std::uint32_t LOB_DESCRIPTOR_TYPE_LOB = 50;
inline constexpr std::uint32_t LOB_DESCRIPTOR_TYPE_FILE = 56;
// The pieces in which LOB contents are read.
inline constexpr std::uint32_t LOB_READ_PIECE_BYTES = 16384;

class COracleColumn final : public CColumnOra {
 public:
  COracleColumn(CErrorHolder* holder, CColumnDescriptor* descriptor);
  ~COracleColumn() override;

  int bPrepareFieldValue(CTableDescription* tableDescription) override;
  int bSetSecondaryDescriptor(CColumnDescriptor* descriptor) override;
  // Oracle numbers identifiers from a sequence: a described column is never an automatic identifier.
  int bIsSecondaryAutoIdentifier() override { return 0; }
  // Only a memo column of a table whose state word is 0 waits to be read.
  int bIsTableStateClear() override;
  // A LOB column always takes part: its statement places the empty LOB whose locator the value is written through.
  int bIncludeInUpdate(std::uint32_t options) override;
  int bIncludeInInsert(std::uint32_t options) override;
  CColumn* pClone(CHashTable& cloneMap) override;
  int bApplyDateFormat(CConnection* connection) override;

  // ---- added ----
  virtual int bCopyFrom(COracleColumn* source, CHashTable& cloneMap);

  // The datetime descriptor of the field value, and, for a LOB column, the table's LOB flag and the locator's type.
  int bSetupDescriptors();
  // The secondary descriptor's SQLT code is CLOB, BLOB or BFILE; CLOB; BFILE.
  bool bIsLob() const;
  bool bIsClob() const;
  bool bIsBfile() const;
  // The field value's row 0 is NULL.
  bool bIsFieldValueNull();
  // 1 when the locator is there already, else one of the column's LOB type in the connection's environment.
  int bAllocLobLocator(void** locator, COracleConnection* connection);
  // The locator member's address, the locator made on first use (the address even when that failed).
  void** pGetLobLocator();
  // A new field value whose external buffer is the locator, for statements that return locators; the caller owns
  // it. Null when the locator or the value cannot be made.
  CFieldValue* pGetRowLobLocator(COracleConnection* connection);
  void FreeLobLocators(void** locator);
  // After a fetch: the LOB's contents in pieces into the field value.
  int bReadLob();
  // After the row was written with an empty LOB and its locator returned: the value into the LOB in one piece.
  // Errors go to the statement's holder (the column's own without one).
  int bWriteLob(CCursor* statement);

  std::uint32_t nGetLobDescriptorType() const { return m_nLobDescriptorType; }
  void* pPeekLobLocator() const { return m_pLobLocator; }

 private:
  COracleFieldValue* pOracleValue();
  COracleConnection* pOracleConnection();
  CErrorHolder* pHolder();
  std::uint32_t nSecondaryNativeType() const;
  std::uint32_t nSecondaryColumnType() const;

  void* m_pLobLocator = nullptr;
  std::uint32_t m_nLobDescriptorType = 0;
};
