// CValueItem: a counted object that owns one runtime value (CHostValue). It is the base of the field value of a
// column or bind parameter, which replaces the operations that say whether the field holds a value and where its
// data lies; it is the form in which values are copied between records, compared, tested and dumped. Beside it, the
// value helpers that work on items: emptiness and zero tests, equality with the NULL rules, a byte checksum and the
// sizes of the held value. The item owns its value and destroys it with itself.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"
#include "host/host_value.h"

class CHashTable;
class CHostWString;
class CTString;

class CValueItem : public CRefCounted {
 public:
  CValueItem() = default;
  ~CValueItem() override = default;

  // In place to another type code; 1 when the conversion answered a success. `extra` is for field values.
  virtual int bConvertTo(std::uint16_t type, std::uint32_t extra);
  // The held value assigned to out (type, value and flags); 1.
  virtual int bGetValue(CHostValue* out);
  // 1 when the item holds no value at all (type code 0).
  virtual int bIsUnset();
  // The held value's data, null when unset or when its type has none.
  virtual const void* pGetValueData();
  // The held value's size with its terminator, 0 when its type has none.
  virtual std::uint64_t nGetSize();
  // This item becomes a copy of the source, registered in the clone map (source -> this) when not there yet.
  virtual void CopyFrom(CValueItem* source, CHashTable& cloneMap);
  // A new item copied from this one; the caller owns it (count 0).
  virtual CValueItem* pClone(CHashTable& cloneMap);
  // 1 when this item's value equals the other's; neither is NULL. A field value, whose value may live in a buffer
  // and not in the held runtime value, replaces it with its own equality.
  virtual int bEqualsItem(CValueItem* other);

  // The column type that holds the value's type code (0 when none).
  std::uint32_t nNativeTypeOfValue();
  // Converts the value to the runtime type of a column type; `extra` goes to bConvertTo.
  void SetTypeFromNative(std::uint32_t columnType, std::uint32_t extra);

  int bSetValue(const CHostValue& value);
  int bGetValuePointer(CHostValue** out);
  // With a source, its value; without, the same type code made NULL with its initial value.
  int bSetValueOrNull(CValueItem* source);

  CHostValue& Value() { return m_value; }

 private:
  std::uint32_t m_nReserved = 0;
  CHostValue m_value;
};

// 1 when the value is NULL or unset, or a text (UTF-16 or 8-bit) whose first character is 0.
int bHostValueIsEmpty(CValueItem* item);
// 1 when the value is NULL or unset, or a number (type codes 1-14) that equals 0 as a double.
int bHostValueIsZero(CValueItem* item);
int bHostValueIsEmptyOrZero(CValueItem* item);

// The held value's data pointer, size with terminator and data size; 0 when its type has none.
std::uintptr_t nHostValueDataPointer(CValueItem* item);
std::uint64_t nHostValueSizeWithTerminator(CValueItem* item);
std::uint64_t nHostValueDataSize(CValueItem* item);

// Equality with the NULL rules: a NULL or unset value equals only a NULL or unset value.
int nValueItemsEqual(CValueItem* a, CHostValue& b);
int bValueItemsEqual(CValueItem* a, CValueItem* b);
// Equality of two field values, either of which may be absent: absent and NULL are alike and equal each other only;
// two items that hold no value, or the same item, are equal; otherwise their values compare.
int nValueItemsEqualFor(CValueItem* a, CValueItem* b);

// The dump of the item's value (nDumpTextFull) into a runtime string, after the prefix; its result code.
std::int32_t nHostValueToText(CValueItem* item, CHostWString& out, const char16_t* prefix, int details);
// The same dump, without details, into a CTString (empty when there is no text).
void HostValueToCTString(CValueItem* item, CTString& out, const char16_t* prefix);
// Releases the runtime string a slot points to and clears the slot.
void ReleaseHostString(void** slot);

// The two words that describe the binary form of the value's proxy handle (its operations 21 and 22): the value's own
// handle for a type 13 value, else the handle of a copy converted to type 13. Both outs start at 0; 0 when no handle
// could be had.
int bHostValueBinaryInfo(CValueItem* item, std::intptr_t* first, std::intptr_t* second);

// The sum of the item's data read as little-endian 32-bit words, then the bytes that remain.
std::uint64_t nBufferChecksum(CValueItem* item);
// The same sum over any bytes; 0 for none.
std::uint64_t nBytesChecksum(const void* data, std::uint64_t size);
