// The stand-in's counted objects: what values of types 30, 50 and 65 (counted by the 32-bit word after the table
// pointer, released through slot 1) and of types 108 and 111 (add-reference in slot 0, release in slot 1) refer to.
// One class serves both. The stand-in keeps every object it made until the process ends, so that a test can read
// the count after the last release; a release below zero shows as a wrapped count.
#pragma once

#include <cstdint>

namespace qzrt::services {

class CountedObject {
 public:
  virtual std::uint32_t nAddRef();   // slot 0
  virtual std::uint32_t nRelease();  // slot 1
  std::uint32_t m_nRefCount = 0;
};

CountedObject* NewCountedObject();

}  // namespace qzrt::services
