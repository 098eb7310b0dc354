// CCountedList: the lists of the record classes, each element a counted object held by one reference that the list
// takes when the element comes in and gives back when it goes (how is the element kind's own: a component
// reference for the items of a description, the runtime's count for the parts of its query analysis), with a
// walking cursor. The cursor starts before the first element; a walk answers the element at the cursor and moves
// on, from the first when reset is set, and answers null past the end.
#pragma once

#include <cstdint>

#include "foundation/dynamic_array.h"

template <typename T, void (*Retain)(T*), void (*GiveBack)(T*)>
class CCountedList {
 public:
  CCountedList() : m_array(sizeof(T*), 8) {}
  ~CCountedList() { RemoveAll(); }
  CCountedList(const CCountedList&) = delete;
  CCountedList& operator=(const CCountedList&) = delete;

  std::uint32_t nGetCount() const { return m_array.nGetCount(); }
  // Null past the end.
  T* pGet(std::uint32_t i) const { return i < nGetCount() ? *static_cast<T**>(m_array.pGetAt(i)) : nullptr; }

  // Both take a reference; 0 when memory runs out (nothing taken then).
  int bAdd(T* element) { return bInsertAt(element, nGetCount()); }
  int bInsertAt(T* element, std::uint32_t i) {
    if (!m_array.InsertAt(&element, i)) return 0;
    Retain(element);
    return 1;
  }
  // Takes the element out when present and gives its reference back.
  void Remove(T* element) {
    const std::uint32_t i = nIndexOf(element);
    if (i == NOT_FOUND) return;
    m_array.RemoveAt(i);
    GiveBack(element);
  }
  // Emptied from the end, each element out of the list before its reference goes, so that an element that goes
  // is never found in a list that still names it.
  void RemoveAll() {
    for (std::uint32_t i = nGetCount(); i > 0; --i) {
      T* element = pGet(i - 1);
      m_array.RemoveAt(i - 1);
      GiveBack(element);
    }
    m_nCursor = -1;
  }
  std::uint32_t nIndexOf(const T* element) const {
    for (std::uint32_t i = 0; i < nGetCount(); ++i) {
      if (pGet(i) == element) return i;
    }
    return NOT_FOUND;
  }

  T* pNext(bool reset) {
    if (reset) m_nCursor = 0;
    if (m_nCursor < 0 || m_nCursor >= static_cast<std::int64_t>(nGetCount())) return nullptr;
    return pGet(static_cast<std::uint32_t>(m_nCursor++));
  }

  // The other's elements (references taken) and cursor; 0 when memory runs out.
  int bCopyFrom(const CCountedList& other) {
    RemoveAll();
    for (std::uint32_t i = 0; i < other.nGetCount(); ++i) {
      if (!bAdd(other.pGet(i))) return 0;
    }
    m_nCursor = other.m_nCursor;
    return 1;
  }

  static constexpr std::uint32_t NOT_FOUND = 0xFFFFFFFF;

 private:
  CDynamicArray m_array;
  std::int64_t m_nCursor = -1;
};
