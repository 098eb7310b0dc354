// CRecord: one row of a table: a record buffer, the row's large values (one
// field value per memo column) and an optional row key. A table description
// keeps two, the current record and the last-read image, and moves rows between
// them. The record holds a reference on each of its parts and on its error
// holder.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"

class CColumnDescriptor;
class CErrorHolder;
class CFieldValue;
class CHashTable;
class CHostValue;
class CRecordBuffer;
class CValueRow;
class IRowKey;

inline constexpr std::uint32_t RECORD_PART_BUFFER = 0x1;
inline constexpr std::uint32_t RECORD_PART_LARGE_VALUES = 0x2;
inline constexpr std::uint32_t RECORD_PART_KEY = 0x4;
inline constexpr std::uint32_t RECORD_PARTS_ALL = 0xFFFFFFFF;

class CRecord : public CRefCounted {
 public:
  // Without a holder the driver object supplies a new one.
  explicit CRecord(CErrorHolder* holder);
  ~CRecord() override;

  virtual int bCopyFromWithMap(CRecord* source, CHashTable& cloneMap);
  virtual CRecord* pClone(CHashTable& cloneMap);

  // A record without a buffer takes a duplicate of this one, else copies its
  // bytes; 0 (out of memory) when the duplicate cannot be made.
  int SetBuffer(CRecordBuffer* buffer);
  // Without a key the source makes one for this record; with one, the key
  // updates itself from the source.
  int bSetKey(IRowKey* source);
  int SetKey(IRowKey* key);
  int bSetLargeValue(std::uint32_t index, CFieldValue* value);
  int bCopyLargeValuesFrom(CValueRow* values);
  int bCopyFrom(CRecord* source, std::uint32_t parts);
  // A new record (count 0) with the same holder filled by bCopyFrom; null when
  // that fails.
  CRecord* pDuplicate(std::uint32_t parts);
  int bEquals(CRecord* other, bool withLargeValues);
  // Both answer 0 when the value is there but could not be handed over (memory refused); a missing one is NULL.
  int GetFieldValue(CHostValue& value, CColumnDescriptor* descriptor);
  int GetLargeValue(CHostValue& value, std::uint32_t index);

  CRecordBuffer* pGetBuffer() const { return m_pBuffer; }
  CValueRow* pGetLargeValues() const { return m_pLargeValues; }
  IRowKey* pGetKey() const { return m_pKey; }
  CErrorHolder* pGetErrorHolder() const { return m_pErrorHolder; }
  std::uint32_t nGetState() const { return m_nState; }
  void SetState(std::uint32_t state) { m_nState = state; }

 private:
  int bEnsureLargeValues();

  CErrorHolder* m_pErrorHolder;
  CRecordBuffer* m_pBuffer = nullptr;
  CValueRow* m_pLargeValues = nullptr;
  IRowKey* m_pKey = nullptr;
  std::uint32_t m_nState = 0;
};
