// The driver's column type codes (EColumnType) and everything decided by the code alone: the bytes a column takes in
// a record buffer, the runtime value type its values cross the interface in (and back), its type class, the column
// type of a decimal number, whether one column can take another's values, and the DDL type table (CTypeNameTable)
// that a connection keeps per dialect: one counted CDdlTypeEntry per column type, released by the table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/t_string.h"
#include "host/column_type_map.h"

class CColumnDescriptor;
class CTypeNameTable;

enum EColumnType : std::uint32_t {
  COLUMN_TYPE_NONE = 0,
  COLUMN_TYPE_AUTO_ID8 = 1,
  COLUMN_TYPE_TEXT = 2,
  COLUMN_TYPE_INT16 = 3,
  COLUMN_TYPE_INT8 = 4,
  COLUMN_TYPE_INT32 = 5,
  COLUMN_TYPE_REAL4 = 6,
  COLUMN_TYPE_REAL8 = 7,
  COLUMN_TYPE_UINT16 = 9,
  COLUMN_TYPE_HOST_DATE = 10,
  COLUMN_TYPE_TIME = 11,
  COLUMN_TYPE_UINT8 = 12,
  COLUMN_TYPE_HOST_REAL = 13,
  COLUMN_TYPE_DATE = 14,
  COLUMN_TYPE_TEXT_MEMO = 15,
  COLUMN_TYPE_LONG_BINARY = 16,
  COLUMN_TYPE_CURRENCY = 17,
  COLUMN_TYPE_BINARY_MEMO = 18,
  COLUMN_TYPE_INT64 = 19,
  COLUMN_TYPE_UINT64 = 20,
  COLUMN_TYPE_FIXED_TEXT = 21,
  COLUMN_TYPE_UINT32 = 22,
  COLUMN_TYPE_BINARY = 23,
  COLUMN_TYPE_DATETIME = 24,
  COLUMN_TYPE_VALUE8 = 25,
  COLUMN_TYPE_CHAR = 26,
  COLUMN_TYPE_ONE_DIGIT = 27,
  COLUMN_TYPE_AUTO_ID4 = 28,
  COLUMN_TYPE_WTEXT = 29,
  COLUMN_TYPE_WTEXT_MEMO = 30,
  COLUMN_TYPE_DECIMAL = 31,
};

// The bytes that hold a signed integer of 0 to 38 decimal digits.
// A binary element is a u16 length and its bytes: the largest element whose length word holds every length.
inline constexpr std::uint32_t BINARY_ELEMENT_SIZE_MAX = 0xFFFF + 2;

// Errors of the records and values: an argument the operation cannot take (a layout too large for a record, a key
// made of itself) and a value longer than the place it must go in.
inline constexpr std::uint32_t ERROR_INVALID_ARGUMENT = 4;
inline constexpr std::uint32_t ERROR_VALUE_TOO_LONG = 56;

inline constexpr std::uint32_t DECIMAL_DIGITS_MAX = 38;
extern const std::uint8_t gtabDecimalByteCount[DECIMAL_DIGITS_MAX + 1];

// A runtime decimal's byte form opens with the signed integer of its digits, little-endian, as wide as the widest
// decimal's (38 digits); a field keeps the low bytes its column's digits need.
inline constexpr std::size_t DECIMAL_INTEGER_BYTES = 16;

// Whether a runtime decimal's byte form keeps its value cut to `room` bytes: what lies past them in its integer must
// be the sign of what they keep (0x00 or 0xFF bytes, the top bit of the last kept byte).
bool bDecimalFormFits(const void* form, std::size_t size, std::size_t room);
// A field's decimal bytes widened back into the integer of a byte form of `size` bytes: the sign of the last field
// byte fills the rest of the integer, the rest of the form is zero. The runtime then reads the digits it needs.
void WidenDecimalField(std::uint8_t* form, std::size_t size, const void* field, std::size_t length);

// The bytes one element takes in a record buffer. length: the declared length (characters for text, bytes for
// binary); third: the fraction digits of a time (type 11), the total digits of a decimal (type 31).
std::uint32_t nStorageSizeOfColumnType(std::uint32_t type, std::uint32_t length, std::int32_t third);

std::uint16_t nHostTypeOfDescriptor(CColumnDescriptor& descriptor);
// The column type of one of the runtime's own item type codes (its item descriptions); unknown codes give a text
// memo (15).
std::uint32_t nHostTypeToInternalType(std::uint32_t itemCode);
// The decimal digits a numeric runtime type holds; false (precision untouched, scale 0) for another type.
bool bNumericPrecisionOfHostType(std::uint16_t hostType, std::uint32_t& precision, std::uint32_t& scale);
// The column type and element size for a decimal of integerDigits + fractionDigits digits.
void ColumnTypeForNumber(std::int32_t integerDigits, std::int32_t fractionDigits, std::uint32_t& type,
                         std::uint32_t& size);

// Type classes.
bool bIsNumericColumnType(std::uint32_t type);
bool bIsUnicodeColumnType(std::uint32_t type);   // 29, 30
bool bIsAnsiTextColumnType(std::uint32_t type);  // 2, 15
bool bIsTextColumnType(std::uint32_t type);      // 2, 15, 29, 30
bool bIsMemoColumnType(std::uint32_t type);      // 15, 18, 30: kept outside the record
bool bIsTextMemoColumnType(std::uint32_t type);  // 15, 30
// UTF-16 text as its ANSI form: 29 becomes 2 with half the size, 30 becomes 15.
void FoldUnicodeColumnType(std::uint32_t& type, std::uint32_t& size);

// One DDL type of a dialect: the text written in CREATE TABLE, a printf pattern when it takes the column's size.
class CDdlTypeEntry : public CRefCounted {
 public:
  CDdlTypeEntry(const char16_t* pattern, bool hasSize) : m_strPattern(pattern), m_bHasSize(hasSize ? 1 : 0) {}

  CTString m_strPattern;
  std::uint32_t m_bHasSize;
};

// Adds the entry of a type, replacing (and releasing) the one already there; 0 when memory fails.
int AddDdlType(CTypeNameTable* table, std::uint32_t type, const char16_t* pattern, bool hasSize);
// The DDL text of one column from its type's entry.
void FormatDdlType(const CDdlTypeEntry& entry, CColumnDescriptor& descriptor, CTString& out);
// The DDL text of the column's type; false, out unchanged, when the table has no entry for it.
bool bGetDdlTypeText(const CTypeNameTable* table, CColumnDescriptor& descriptor, CTString& out);
// The generic DDL texts of every type that has one; 0 when memory fails.
int FillGenericDdlTypes(CTypeNameTable* table);
