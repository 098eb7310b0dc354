// Row keys: how a cached row is found again. IRowKey tells its kind, compares, hashes, serialises itself into the
// row cache's key arena and back, and installs the hash and compare functions of the cache's key map, which stores
// the address of each serialised key. CRecordValuesKey keys a row by its whole record (bytes and large values);
// CHostValueKey by one field value, on which it holds a reference.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"

class CFieldValue;
class CHashTable;
class CTString;
class CValueRow;

inline constexpr std::uint32_t ROW_KEY_RECORD_VALUES = 1;
inline constexpr std::uint32_t ROW_KEY_HOST_VALUE = 3;

// What a key reads of a record: its buffer's bytes (not owned) and the row's large values (not counted).
struct SRecordImage {
  const std::uint8_t* pBytes = nullptr;
  std::uint64_t nByteCount = 0;
  CValueRow* pLargeValues = nullptr;
};

class IRowKey : public CRefCounted {
 public:
  virtual std::uint32_t nGetKind() = 0;
  // A new key of the same kind for the record (count 0); null when it cannot be made.
  virtual IRowKey* pNewFor(const SRecordImage& record) = 0;
  virtual int bEquals(IRowKey* other) = 0;
  virtual int bAssign(const SRecordImage& record, IRowKey* other) = 0;
  virtual std::uint64_t nGetSerialSize() = 0;
  // Writes exactly nGetSerialSize() bytes.
  virtual void Serialise(std::uint8_t* out) = 0;
  virtual int bDeserialise(const std::uint8_t* bytes, std::uint64_t length) = 0;
  virtual std::uint32_t nGetHash() = 0;
  virtual void Dump(CTString& out, const char16_t* prefix) = 0;
  virtual void ConfigureKeyMap(CHashTable& map) = 0;
};

#pragma pack(push, 1)
// The serialised form of a record-values key, the same in 32-bit builds.
struct SRecordValuesKeyForm {
  std::uint32_t nHash;
  std::uint64_t nByteCount;
  std::uint64_t nBytesAddress;
  std::uint64_t nValueRowAddress;
};
#pragma pack(pop)
static_assert(sizeof(SRecordValuesKeyForm) == 28);

class CRecordValuesKey : public IRowKey {
 public:
  explicit CRecordValuesKey(const SRecordImage& record) : m_record(record) {}

  std::uint32_t nGetKind() override { return ROW_KEY_RECORD_VALUES; }
  IRowKey* pNewFor(const SRecordImage& record) override;
  int bEquals(IRowKey* other) override;
  int bAssign(const SRecordImage& record, IRowKey* other) override;
  std::uint64_t nGetSerialSize() override { return sizeof(SRecordValuesKeyForm); }
  void Serialise(std::uint8_t* out) override;
  int bDeserialise(const std::uint8_t* bytes, std::uint64_t length) override;
  std::uint32_t nGetHash() override;
  void Dump(CTString& out, const char16_t* prefix) override;
  void ConfigureKeyMap(CHashTable& map) override;

  const SRecordImage& Record() const { return m_record; }

 private:
  SRecordImage m_record;
};

class CHostValueKey : public IRowKey {
 public:
  explicit CHostValueKey(CFieldValue* value);
  ~CHostValueKey() override;

  std::uint32_t nGetKind() override { return ROW_KEY_HOST_VALUE; }
  IRowKey* pNewFor(const SRecordImage& record) override;
  int bEquals(IRowKey* other) override;
  int bAssign(const SRecordImage& record, IRowKey* other) override;
  std::uint64_t nGetSerialSize() override;
  void Serialise(std::uint8_t* out) override;
  int bDeserialise(const std::uint8_t* bytes, std::uint64_t length) override;
  std::uint32_t nGetHash() override;
  void Dump(CTString& out, const char16_t* prefix) override;
  void ConfigureKeyMap(CHashTable& map) override;

  CFieldValue* pGetValue() const { return m_pValue; }

 private:
  CFieldValue* m_pValue;
};

// Orders two pointers to elements by the elements' u64 position, ascending.
template <class T>
int nCompareByPosition(const T* const* a, const T* const* b) {
  if ((*a)->m_nPosition > (*b)->m_nPosition) return 1;
  return (*a)->m_nPosition < (*b)->m_nPosition ? -1 : 0;
}
