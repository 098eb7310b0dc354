// CRecordBuffer: one row of a record description as a single block of bytes, a bitmap of null flags (item i: byte
// i / 8, bit 7 - i % 8; a set bit means the field has a value) followed by the fields at the offsets the description
// gave its items. Tables, cursors, records and row caches keep rows in such buffers, move whole rows by copying the
// block, and put and get field values through it, converting runtime values to each column's storage and back.
//
// Every element written or read lies inside the block: an element the layout places beyond the field area (a
// composite key, whose bytes the record size leaves out) is neither written nor read, and text is measured within
// its element. The buffer owns its block; the descriptors it is handed belong to the description.
#pragma once

#include <cstdint>
#include <memory>


class CColumnDescriptor;
class CHashTable;
class CHostValue;
class CRecordDescription;

// The buffer's operations are declared in the order of their binary slots: the runtime gets a buffer by position 50
// and calls them by number. So the buffer keeps its own count rather than the counted base's virtual destructor pair
// and release ahead of them, and its layout is one table pointer, the count words, then the row's members.
class CRecordBuffer final {
 public:
  CRecordBuffer() = default;
  ~CRecordBuffer() = default;
  CRecordBuffer(const CRecordBuffer&) = delete;
  CRecordBuffer& operator=(const CRecordBuffer&) = delete;

  // The destructor, then the memory when bit 0 of the flags is set.
  virtual void DeletingDestructor(std::uint32_t flags);  // slot 0
  // A new buffer of the same layout and bytes, with no reference taken; null when memory runs out.
  virtual CRecordBuffer* pClone();  // slot 1
  // Copies the bytes (as many as the field area holds) over the fields and marks every field present.
  virtual void SetData(const void* bytes, std::uint32_t length);  // slot 2
  // The element's address (element -1: the first element); null when it lies outside the block.
  virtual std::uint8_t* pGetFieldData(CColumnDescriptor* item, std::int32_t element);  // slot 3
  virtual std::uint8_t* pGetFieldDataAgain(CColumnDescriptor* item, std::int32_t element);  // slot 4
  // The value converted to the column's storage. A value without a type or NULL makes the field NULL. 0 when the
  // conversion fails (the field is left as it was) or the element lies outside the block.
  virtual int bSetFieldFromValue(CColumnDescriptor* item, CHostValue& value, std::int32_t element);  // slot 5
  virtual int bSetFieldBytes(CColumnDescriptor* item, const void* bytes, std::uint32_t length,
                             std::int32_t element);  // slot 6
  // The element's bytes (every element's for -1) copied to the target, which holds that many.
  virtual void CopyFieldTo(void* target, CColumnDescriptor* item, std::int32_t element);  // slot 7
  // The stored value in the column's host type, not looking at the null flag; NULL and marked cleared. 0 when the
  // runtime value could not take it (memory refused): an empty value would read as the field's.
  virtual int GetFieldValue(CHostValue& value, CColumnDescriptor* item, std::int32_t element);  // slot 8
  virtual void SetFieldPresent(CColumnDescriptor* item, bool present, std::int32_t element);  // slot 9
  virtual int bIsFieldPresent(CColumnDescriptor* item);  // slot 10
  virtual int bCopyFrom(const CRecordBuffer* source, CHashTable& cloneMap);  // slot 11
  virtual CRecordBuffer* pCloneWithMap(CHashTable& cloneMap);  // slot 12

  void AddRef() { ++m_nRefCount; }
  // One reference less; at 0 the buffer is destroyed and 0 answered. A release of a buffer never referenced (count 0)
  // destroys it too rather than wrapping the count.
  std::uint32_t nRelease();
  std::uint32_t nGetRefCount() const { return m_nRefCount; }

  // The block for the description's items, zeroed, then every plain item's default value (or NULL); 0 when the
  // block cannot be had.
  int bBuildLayout(CRecordDescription* description);
  // The other's bytes over this block, as many as both hold.
  void CopyBlockFrom(const CRecordBuffer* other);
  int bEquals(const CRecordBuffer* other) const;
  int bCopyLayoutAndData(const CRecordBuffer* other);

  std::uint32_t nGetTotalLength() const { return m_nTotalLength; }
  std::uint32_t nGetNullAreaSize() const { return m_nNullAreaSize; }
  std::uint32_t nGetNullFlagCount() const { return m_nNullFlagCount; }
  const std::uint8_t* pGetBlock() const { return m_pBlock.get(); }
  std::uint8_t* pGetData() const { return m_pData; }

 private:
  // A zeroed block of that many null-area and total bytes; false when memory runs out (the buffer unchanged).
  bool bAllocate(std::uint32_t nullAreaSize, std::uint32_t totalLength);
  // The element's place and size (element -1: the whole item); null when any of it lies outside the field area.
  std::uint8_t* pLocateField(CColumnDescriptor* item, std::int32_t element, std::uint32_t& size) const;
  bool PutFieldBytes(CColumnDescriptor* item, const void* bytes, std::uint32_t length, std::int32_t element);
  int bPutConvertedValue(CColumnDescriptor* item, CHostValue& value, std::int32_t element);
  void ApplyDefaultValues(CColumnDescriptor* item);
  std::uint32_t nFieldAreaSize() const { return m_nTotalLength - m_nNullAreaSize; }

  std::uint32_t m_nRefCount = 0;
  // The word after the count, as every counted object has it; a buffer is never static, so it stays 0.
  [[maybe_unused]] std::uint32_t m_bStatic = 0;
  std::uint32_t m_nTotalLength = 0;
  std::unique_ptr<std::uint8_t[]> m_pBlock;
  std::uint32_t m_nNullFlagCount = 0;
  std::uint8_t* m_pData = nullptr;
  std::uint32_t m_nNullAreaSize = 0;
  std::uint8_t* m_pNullFlags = nullptr;
};
