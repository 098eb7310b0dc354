// CTableDescription: the working set of an open table or query: its columns
// built from the record description, the key columns that identify one row in
// statements, the memo columns, the composite unique keys, the
// automatic-identifier and unique columns, a template record buffer and two
// records, the current record and the last-read image, between which reads,
// edits, cancels and writes move.
//
// The table owns its table description and is not counted by it; the
// description holds references on its columns, records, template buffer, holder
// and connection (given back through the driver object).
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"

class CColumn;
class CColumnDescriptor;
class CConnection;
class CErrorHolder;
class CFieldValue;
class CHashTable;
class CRecord;
class CRecordBuffer;
class CRecordDescription;
class CTable;
class CTString;

// The state the current record is given by MarkCurrentRecord.
inline constexpr std::uint32_t RECORD_STATE_MARKED = 128;

class CTableDescription : public CRefCounted {
 public:
  CTableDescription(CErrorHolder* holder, CTable* table);
  ~CTableDescription() override;

  // ---- operations, in their order ----
  virtual CColumn* pFindColumnByName(const char16_t* name);
  virtual int bBuild(CRecordDescription* description, CRecordDescription* secondary, CConnection* connection);
  virtual void MarkCurrentRecord();
  virtual int bCopyFrom(CTableDescription* source, CHashTable& cloneMap);
  virtual CTableDescription* pClone(CHashTable& cloneMap);
  // The driver object's column factory; null when it makes none.
  virtual CColumn* pNewColumn(CErrorHolder* holder, CColumnDescriptor* descriptor);

  int bAddColumn(CColumnDescriptor* item, CColumnDescriptor* secondary);
  CColumn* pFindColumn(CColumnDescriptor* descriptor);
  CColumn* pGetColumn(std::uint32_t index) const;
  std::uint32_t nGetColumnCount() const { return m_columns.nGetCount(); }
  std::int32_t nIndexOfColumn(CColumn* column) const;
  CColumn* pGetKey(std::uint32_t index) const;
  std::uint32_t nGetKeyCount() const { return m_keys.nGetCount(); }
  const CRefPtrArray& GetMemoColumns() const { return m_memos; }
  bool bFindCompositeKey(CColumn* const* columns, std::uint32_t count, const std::uint32_t* flags);
  CColumn* pGetPositionKey();
  CColumn* pGetAutoIdentifierColumn() const { return m_pAutoIdentifier; }
  CColumn* pGetUniqueColumn() const { return m_pUnique; }

  CRecordBuffer* pGetCurrentBuffer() const;
  CRecordBuffer* pGetImageBuffer() const;
  CRecord* pGetCurrentRecord() const { return m_pCurrent; }
  CRecord* pGetImageRecord() const { return m_pImage; }
  int bLoadCurrentBuffer(CRecordBuffer* buffer);
  int bAcceptCurrent();
  int bRestoreCurrent();
  // After a write: every memo holds what the server holds, so that the next UPDATE leaves it out unless changed.
  void AcceptMemoValues();
  // Large values are not compared.
  int bIsCurrentEqual(CRecord* record);
  int bBindLargeValue(CColumn* column, CFieldValue* value);
  // The current record's large value of a memo column, null when it holds none.
  CFieldValue* pGetLargeValue(CColumn* column) const;
  int bRebuildRecords(CRecordDescription* description);
  void DumpRecord(CTString& text);

  void SetConnection(CConnection* connection);
  CConnection* pGetOwner() const { return m_pConnection; }
  CTable* pGetTable() const { return m_pTable; }
  CErrorHolder* pGetErrorHolder() const { return m_pErrorHolder; }
  std::uint32_t nGetAccepted() const { return m_nAccepted; }
  // Put back after a read that handed out no record of its caller's (the query's rows brought in for a seek).
  void SetAccepted(std::uint32_t accepted) { m_nAccepted = accepted; }

 private:
  int bMakeRecords(CRecordDescription* description);
  void ReleaseRecords();
  void ChooseKeyColumns();
  // Adds the column (a composite key: its components) to the key list, within
  // the connection's limit.
  void AddKeyColumn(CColumn* column);
  bool bIsKeyColumn(CColumn* column) const;
  // A unique column that does not allow nulls becomes the key alone (true: the
  // choice is made); others are added.
  bool bTakeUniqueKey(CColumn* column);
  std::int32_t nMemoIndex(CColumn* column) const;

  CErrorHolder* m_pErrorHolder;
  CTable* m_pTable;
  CConnection* m_pConnection = nullptr;
  CRefPtrArray m_columns{16};  // CColumn, in item order
  CColumn* m_pAutoIdentifier = nullptr;
  CColumn* m_pUnique = nullptr;
  CRecordBuffer* m_pTemplate = nullptr;
  CRecord* m_pImage = nullptr;
  CRecord* m_pCurrent = nullptr;
  std::uint32_t m_nAccepted = 0;
  std::uint32_t m_nSecondFlag = 0;
  CRefPtrArray m_keys{4};
  CRefPtrArray m_memos{4};
  CRefPtrArray m_compositeUniqueKeys{2};
};
