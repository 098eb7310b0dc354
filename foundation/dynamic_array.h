// CDynamicArray: the growable array of fixed-size elements under every list of the system. Elements are copied in
// and out byte for byte; the array never runs element constructors or destructors. When memory cannot be obtained
// the array stays as it was and the adding call answers 0.
#pragma once

#include <cstdint>

class CDynamicArray {
 public:
  CDynamicArray(std::uint32_t elementSize, std::uint32_t growStep);
  CDynamicArray(const CDynamicArray&) = delete;
  CDynamicArray& operator=(const CDynamicArray&) = delete;

  virtual int Grow();                                                  // slot 0: 1, or 0 when memory fails
  virtual ~CDynamicArray();                                            // slot 1
  virtual int SetAll(const void* element, std::uint32_t n);            // slot 2: n copies of one element
  virtual void ShrinkToFit();                                          // slot 3
  virtual int SetFromBuffer(const void* element, std::uint32_t n);     // slot 4: as slot 2

  int Add(const void* element);
  int InsertAt(const void* element, std::uint32_t i);
  void SetAt(const void* element, std::uint32_t i);
  void RemoveAt(std::uint32_t i);
  void Clear() { m_nCount = 0; }  // count 0, memory kept

  std::uint32_t nGetCount() const { return m_nCount; }
  std::uint32_t nGetCapacity() const { return m_nCapacity; }
  std::uint32_t nGetElementSize() const { return m_nElementSize; }
  void* pGetAt(std::uint32_t i) const { return m_pElements + static_cast<std::size_t>(i) * m_nElementSize; }

 protected:
  std::uint32_t m_nElementSize;
  std::uint32_t m_nCount = 0;
  std::uint32_t m_nCapacity = 0;
  std::uint32_t m_nGrowStep;
  std::uint32_t m_nReserved = 30;
  unsigned char* m_pElements = nullptr;
};
