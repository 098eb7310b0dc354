// CColumnDescriptor: one column of a record description as the driver sees it. Only what the column-type functions read
// of a descriptor is declared here (its type, sizes, precision and scale, and whether it is a composite key), with the
// set operation that fills those; the item-description interface, the names, keys, layout, default value and copies
// belong to the record engine's full class.
//
// Counted: the count starts at 0; the release that brings it back to 0 destroys the descriptor.
#pragma once

#include <cstdint>

inline constexpr std::uint16_t COLUMN_FLAG_COMPOSITE_KEY = 0x1000;

class CColumnDescriptor {
 public:
  CColumnDescriptor() = default;
  CColumnDescriptor(const CColumnDescriptor&) = delete;
  CColumnDescriptor& operator=(const CColumnDescriptor&) = delete;

  std::uint32_t AddRef() { return ++m_nRefCount; }
  std::uint32_t nRelease();

  std::uint32_t nGetElementCount() const { return m_nElementCount; }
  std::uint32_t nGetSize() const { return m_nElementSize; }
  // The data of one element (element 0 and up) or of all of them (-1): text without its terminator, UTF-16 text in
  // characters, binary without its length word.
  std::uint32_t nGetDataLength(std::int32_t element) const;
  std::uint32_t nGetType() const { return m_nColumnType; }
  std::uint32_t nGetPrecision() const { return m_nPrecision; }
  std::uint32_t nGetScale() const { return m_nScale; }
  bool bIsCompositeKey() const { return (m_nFlags & COLUMN_FLAG_COMPOSITE_KEY) != 0; }

  // Sets every member given; a decimal whose digits no decimal holds becomes an 8-byte real, a memo keeps 8 bytes. The
  // names, position and key number are not kept by this declaration.
  int bSetAll(const char16_t* name, const char16_t* tableName, const char16_t* caption, std::uint32_t elementCount,
              std::uint32_t elementSize, std::uint32_t type, std::uint32_t position, std::uint32_t keyNumber,
              std::uint16_t flags, std::uint32_t precision, std::uint32_t scale);

  // Whether this column takes the values of the source column without loss; with fold, UTF-16 text types are compared
  // as their ANSI forms. Defined with the column types.
  bool bCanHold(const CColumnDescriptor& source, bool fold) const;

 private:
  std::uint32_t m_nElementCount = 0;
  std::uint32_t m_nElementSize = 0;
  std::uint32_t m_nColumnType = 0;
  std::uint16_t m_nFlags = 0;
  std::uint32_t m_nRefCount = 0;
  std::uint32_t m_nPrecision = 0;
  std::uint32_t m_nScale = 0;
};
