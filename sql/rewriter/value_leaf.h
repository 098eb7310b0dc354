// CValueLeaf: one value a statement sends to the server as a parameter (a constant of the program's SQL, a named
// parameter, a value a statement object hands in, a bound value of a key or filter condition): the field value that
// carries the data, the length of the statement text where its text belongs, its flags, and the column it is compared
// with. The rewriter's parameter list, a key condition's leaf list and the statement's bindings hold it; the driver
// object's value-leaf factory makes every leaf, so that the Oracle driver could hand out its own class.
//
// The leaf holds a reference on its field value, its column and its column descriptor.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/t_string.h"

class CColumn;
class CColumnDescriptor;
class CFieldValue;
class CHashTable;
class CHostValue;

// The field value holds a file name; the file's content is the value.
inline constexpr std::uint32_t LEAF_FLAG_FILE_VALUE = 0x1;
// With LEAF_FLAG_FILE_VALUE: the file is read as text.
inline constexpr std::uint32_t LEAF_FLAG_FILE_AS_TEXT = 0x10;
// A named parameter of the statement: its value comes from the statement's declared parameter of that name. An
// output parameter bound at execution is one of these.
inline constexpr std::uint32_t LEAF_FLAG_NAMED = 0x10000;
// A cursor parameter: the server hands a cursor back through it.
inline constexpr std::uint32_t LEAF_FLAG_CURSOR_PARAMETER = 0x20000;
// Written by the rewriter's LIKE-pattern value writer.
inline constexpr std::uint32_t LEAF_FLAG_PATTERN_VALUE = 0x40000;
// A constant taken from the statement's text.
inline constexpr std::uint32_t LEAF_FLAG_TEXT_CONSTANT = 0x80000;

// Where a leaf's value comes from.
inline constexpr std::uint32_t LEAF_ORIGIN_STATEMENT_TEXT = 1;
inline constexpr std::uint32_t LEAF_ORIGIN_NAMED_PARAMETER = 3;
inline constexpr std::uint32_t LEAF_ORIGIN_HANDED_IN = 4;

inline constexpr std::uint32_t LEAF_KIND_NONE = 0xFFFFFFFF;

class CValueLeaf : public CRefCounted {
 public:
  // The field value referenced (may be null), the name copied (null reads as empty); count 0.
  CValueLeaf(CFieldValue* value, std::uint64_t position, std::uint32_t flags, const char16_t* name);
  // Every member empty, for CopyFrom.
  CValueLeaf() = default;
  ~CValueLeaf() override;

  // ---- operations, in their order after the destructor and the release ----
  // A new leaf of the driver's making with this leaf's field value (shared), position, flags, name, column,
  // descriptor and escape character, referenced once; its kind and origin are a new leaf's. Null when the factory
  // made none.
  virtual CValueLeaf* pDuplicate();
  // This leaf becomes a copy of the source: field value and column cloned through the map (a copy already made is
  // shared), the descriptor shared; 0 when the map or a clone failed.
  virtual int CopyFrom(CValueLeaf* source, CHashTable& cloneMap);
  // A copy with no reference, or null (what CopyFrom threw or failed is not passed on).
  virtual CValueLeaf* pClone(CHashTable& cloneMap);

  void SetColumn(CColumn* column);
  void SetDescriptor(CColumnDescriptor* descriptor);
  // The field value's assignment; its result code (below 100 is a success).
  int nSetValue(CHostValue& value);
  // The field value's data names a file whose content becomes the value; LEAF_FLAG_FILE_VALUE is cleared when that
  // worked. The load's result.
  int bLoadFileValue();
  // The bound type and the column type: the column's, else the field value's secondary and primary column types;
  // without a column 1 only when one of those is known.
  int bGetTypes(std::uint32_t* boundType, std::uint32_t* columnType);
  // The kind is not compared: the same value at the same place is the same parameter whatever node it came from.
  int bEquals(CValueLeaf* other);

  CFieldValue* pGetFieldValue() const { return m_pFieldValue; }
  std::uint64_t nGetPosition() const { return m_nPosition; }
  void SetPosition(std::uint64_t position) { m_nPosition = position; }
  std::uint32_t nGetFlags() const { return m_nFlags; }
  void SetFlags(std::uint32_t flags) { m_nFlags = flags; }
  CColumn* pGetColumn() const { return m_pColumn; }
  const char16_t* pszGetName() const { return m_strName.pszGet(); }
  CColumnDescriptor* pGetDescriptor() const { return m_pDescriptor; }
  // 0 stands for "\".
  char16_t nGetEscapeChar() const { return m_nEscapeChar; }
  void SetEscapeChar(char16_t escape) { m_nEscapeChar = escape; }
  std::uint32_t nGetKind() const { return m_nKind; }
  void SetKind(std::uint32_t kind) { m_nKind = kind; }
  std::uint32_t nGetOrigin() const { return m_nOrigin; }
  void SetOrigin(std::uint32_t origin) { m_nOrigin = origin; }
  bool bIsNamed() const { return (m_nFlags & LEAF_FLAG_NAMED) != 0; }
  bool bIsCursorParameter() const { return (m_nFlags & LEAF_FLAG_CURSOR_PARAMETER) != 0; }

 private:
  CFieldValue* m_pFieldValue = nullptr;
  std::uint64_t m_nPosition = 0;
  std::uint32_t m_nFlags = 0;
  CColumn* m_pColumn = nullptr;
  CTString m_strName;
  CColumnDescriptor* m_pDescriptor = nullptr;
  char16_t m_nEscapeChar = 0;
  std::uint32_t m_nKind = 0;
  std::uint32_t m_nOrigin = LEAF_ORIGIN_STATEMENT_TEXT;
};
