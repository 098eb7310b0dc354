#include "foundation/dynamic_array.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

CDynamicArray::CDynamicArray(std::uint32_t elementSize, std::uint32_t growStep)
    : m_nElementSize(elementSize), m_nGrowStep(growStep ? growStep : 1) {}

CDynamicArray::~CDynamicArray() {
  std::free(m_pElements);
  m_pElements = nullptr;
  m_nCount = m_nCapacity = 0;
}

int CDynamicArray::Grow() {
  std::uint32_t step = m_nGrowStep;
  // Small elements added one at a time would reallocate on every add: past 100 they come twenty at a time.
  if (step == 1 && m_nCapacity >= 101 && m_nElementSize < 257) step = 20;
  const std::uint64_t capacity = static_cast<std::uint64_t>(m_nCapacity) + step;
  if (capacity > UINT32_MAX) return 0;
  void* elements = std::realloc(m_pElements, static_cast<std::size_t>(capacity * m_nElementSize));
  if (!elements) return 0;
  m_pElements = static_cast<unsigned char*>(elements);
  m_nCapacity = static_cast<std::uint32_t>(capacity);
  return 1;
}

int CDynamicArray::SetAll(const void* element, std::uint32_t n) {
  // The new elements are filled before the old memory is freed: the element may be one of the array's own, and
  // when memory fails the array keeps what it had.
  unsigned char* elements = nullptr;
  if (n > 0) {
    elements = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(n) * m_nElementSize));
    if (!elements) return 0;
    for (std::uint32_t i = 0; i < n; ++i) {
      std::memcpy(elements + static_cast<std::size_t>(i) * m_nElementSize, element, m_nElementSize);
    }
  }
  std::free(m_pElements);
  m_pElements = elements;
  m_nCount = m_nCapacity = n;
  return 1;
}

int CDynamicArray::SetFromBuffer(const void* element, std::uint32_t n) { return SetAll(element, n); }

void CDynamicArray::ShrinkToFit() {
  if (m_nCount == 0) {
    std::free(m_pElements);
    m_pElements = nullptr;
  } else if (void* elements = std::realloc(m_pElements, static_cast<std::size_t>(m_nCount) * m_nElementSize)) {
    m_pElements = static_cast<unsigned char*>(elements);
  } else {
    return;  // the larger block stays valid
  }
  m_nCapacity = m_nCount;
}

int CDynamicArray::Add(const void* element) { return InsertAt(element, m_nCount); }

int CDynamicArray::InsertAt(const void* element, std::uint32_t i) {
  if (i > m_nCount) return 0;
  // An element that lies in the array itself would be freed by the growth or moved by the shift: insert a copy.
  std::unique_ptr<unsigned char[]> copy;
  const auto at = reinterpret_cast<std::uintptr_t>(element);
  const auto start = reinterpret_cast<std::uintptr_t>(m_pElements);
  if (m_pElements && at >= start && at < start + static_cast<std::size_t>(m_nCapacity) * m_nElementSize) {
    copy.reset(new (std::nothrow) unsigned char[m_nElementSize]);
    if (!copy) return 0;
    std::memcpy(copy.get(), element, m_nElementSize);
    element = copy.get();
  }
  if (m_nCount == m_nCapacity && !Grow()) return 0;
  if (i < m_nCount) {
    std::memmove(pGetAt(i + 1), pGetAt(i), static_cast<std::size_t>(m_nCount - i) * m_nElementSize);
  }
  std::memcpy(pGetAt(i), element, m_nElementSize);
  ++m_nCount;
  return 1;
}

void CDynamicArray::SetAt(const void* element, std::uint32_t i) {
  if (i < m_nCount) std::memcpy(pGetAt(i), element, m_nElementSize);
}

void CDynamicArray::RemoveAt(std::uint32_t i) {
  if (i >= m_nCount) return;
  if (i + 1 < m_nCount) {
    std::memmove(pGetAt(i), pGetAt(i + 1), static_cast<std::size_t>(m_nCount - i - 1) * m_nElementSize);
  }
  --m_nCount;
}
