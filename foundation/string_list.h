// CStringList: a list of owned CTString pointers with split, join, search and sort. The list creates and frees its
// strings; callers get pointers that stay valid until the entry is replaced or removed.
#pragma once

#include <cstdint>

#include "foundation/dynamic_array.h"
#include "foundation/t_string.h"

inline constexpr std::uint32_t STRING_LIST_NOT_FOUND = 0xFFFFFFFF;

class CStringList : public CDynamicArray {
 public:
  explicit CStringList(std::uint32_t growStep = 10) : CDynamicArray(sizeof(CTString*), growStep) {}
  ~CStringList() override;  // slot 1

  virtual void AddAll(const CStringList& other);                                          // slot 5
  virtual int nAdd(const char16_t* text);                                                 // slot 6: 0 on failure
  virtual int nAddString(const CTString& text);                                           // slot 7
  virtual int InsertAt(const char16_t* text, std::uint32_t i);                            // slot 8
  virtual int InsertStringAt(const CTString& text, std::uint32_t i);                      // slot 9
  virtual int SetAt(const char16_t* text, std::uint32_t i);                               // slot 10
  virtual int SetStringAt(const CTString& text, std::uint32_t i);                         // slot 11
  virtual void RemoveAt(std::uint32_t i);                                                 // slot 12
  virtual void RemoveAll();                                                               // slot 13
  virtual CTString* pGetAt(std::uint32_t i) const;                                        // slot 14
  virtual std::uint32_t nFind(const char16_t* text, int bCaseSensitive, std::uint32_t start) const;  // slot 15
  virtual void Sort();                                                                    // slot 16
  virtual void SortNoCase();                                                              // slot 17
  virtual void SortDescending();                                                          // slot 18
  virtual int bJoin(CTString& out, const char16_t* separator) const;                      // slot 19
  virtual void SplitText(const char16_t* text, const char16_t* separator);                // slot 20
  virtual void Split(const CTString& text, const char16_t* separator);                    // slot 21
  virtual void AddRepeated(const char16_t* text, std::uint32_t n);                        // slot 22
  virtual int nAddN(const char16_t* text, std::size_t n);                                 // slot 23

  // Appends a new string that takes over the argument's buffer (the argument is left empty).
  int AddOwned(CTString& text);

 private:
  // Stores a new string at i (inserted, or replacing the one there); 0 when memory fails.
  int bStore(CTString* string, std::uint32_t i, bool replace);
};
