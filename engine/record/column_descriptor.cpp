#include "engine/record/column_descriptor.h"

#include "engine/record/column_types.h"

std::uint32_t CColumnDescriptor::nRelease() {
  if (m_nRefCount > 1) return --m_nRefCount;
  delete this;
  return 0;
}

std::uint32_t CColumnDescriptor::nGetDataLength(std::int32_t element) const {
  const std::uint32_t count = element == -1 ? m_nElementCount : 1;
  switch (m_nColumnType) {
    case COLUMN_TYPE_TEXT:
      return (m_nElementSize - 1) * count;
    case COLUMN_TYPE_WTEXT:
      return (m_nElementSize - 2) * count / 2;
    case COLUMN_TYPE_BINARY:
      if (!bIsCompositeKey()) return (m_nElementSize - 2) * count;
      break;
    default:
      break;
  }
  return m_nElementSize * count;
}

int CColumnDescriptor::bSetAll(const char16_t*, const char16_t*, const char16_t*, std::uint32_t elementCount,
                               std::uint32_t elementSize, std::uint32_t type, std::uint32_t, std::uint32_t,
                               std::uint16_t flags, std::uint32_t precision, std::uint32_t scale) {
  m_nElementCount = elementCount;
  m_nElementSize = elementSize;
  m_nColumnType = type;
  m_nFlags = flags;
  m_nPrecision = 0;
  m_nScale = 0;
  if (type == COLUMN_TYPE_TIME || type == COLUMN_TYPE_DATETIME) m_nScale = scale;
  if (type == COLUMN_TYPE_DECIMAL) {
    std::uint32_t answer = 0;
    std::uint32_t size = 0;
    ColumnTypeForNumber(static_cast<std::int32_t>(precision), static_cast<std::int32_t>(scale), answer, size);
    if (answer == COLUMN_TYPE_REAL8) {
      m_nColumnType = COLUMN_TYPE_REAL8;
      m_nElementSize = size;
    } else {
      m_nPrecision = precision;
      m_nScale = scale;
    }
  }
  if (bIsMemoColumnType(m_nColumnType)) m_nElementSize = 8;
  return 1;
}
