// Test double of the column descriptor: only what the field values read of one (type, element size, digit counts,
// names, server type code and the two counts), with every answer settable. The record engine's own class replaces
// it; the build takes this file only while engine/record/column_descriptor.h does not exist.
#pragma once

#include <cstdint>

class CColumnDescriptor {
 public:
  CColumnDescriptor() = default;
  CColumnDescriptor(std::uint32_t type, std::uint32_t size) : m_nType(type), m_nSize(size) {}

  std::uint32_t AddRef() { return ++m_nRefCount; }
  // Never deletes: tests keep their descriptors and check the count comes back.
  std::uint32_t nRelease() { return m_nRefCount ? --m_nRefCount : 0; }
  std::uint32_t nGetType() { return m_nType; }
  std::uint32_t nGetSize() { return m_nSize; }
  std::uint32_t nGetPrecision() { return m_nPrecision; }
  std::uint32_t nGetScale() { return m_nScale; }
  std::uint32_t nGetServerTypeCode() { return m_nServerTypeCode; }
  const char16_t* pszGetName() { return m_pszName; }
  const char16_t* pszGetTableName() { return m_pszTableName; }

  std::uint32_t m_nType = 0;
  std::uint32_t m_nSize = 0;
  std::uint32_t m_nPrecision = 0;
  std::uint32_t m_nScale = 0;
  std::uint32_t m_nServerTypeCode = 0;
  const char16_t* m_pszName = u"";
  const char16_t* m_pszTableName = u"";
  std::uint32_t m_nRefCount = 0;
};
