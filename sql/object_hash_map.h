// CObjectHashMap: a CHashTable whose values are counted objects. Storing a value hands the map one reference (the
// caller takes it), and the map drops the reference of every value it still holds when it is emptied or destroyed.
// Keys are either heap copies of UTF-16 texts (freed with their entry) or plain numbers, fixed at construction.
// The driver's registries and the access interface's table set are such maps.
#pragma once

#include <cstdint>

#include "foundation/hash_table.h"

class CObjectHashMap : public CHashTable {
 public:
  enum EKeyKind { KEYS_ARE_TEXTS, KEYS_ARE_NUMBERS };
  using PFN_RELEASE_VALUE = void (*)(std::uint64_t value);

  CObjectHashMap(EKeyKind keyKind, PFN_RELEASE_VALUE release, std::uint32_t initialSize = 7);
  ~CObjectHashMap() override;

  // Drops every entry: each value's reference released, text keys freed; the map keeps its size.
  void ReleaseAll();
  EKeyKind GetKeyKind() const { return m_keyKind; }

  // ---- text keys with a one-entry cache of the last lookup (the driver's registries) ----
  // The value under the text (the cached one when the cached key compares equal), 0 when absent; no reference.
  std::uint64_t nFindText(const char16_t* text);
  // Files the value under a heap copy of the text; the caller's reference becomes the map's. 0 when memory fails
  // (nothing filed, the reference still the caller's).
  int bInsertText(const char16_t* text, std::uint64_t value);
  // Takes out the entry of that text when it holds this very value (the map's reference goes to the caller), frees
  // its key and empties the cache when it held that entry; 1 when it was there.
  int bRemoveTextEntry(const char16_t* text, std::uint64_t value);

 private:
  EKeyKind m_keyKind;
  PFN_RELEASE_VALUE m_pfnRelease;
  const char16_t* m_pszCachedKey = nullptr;  // the stored key of the cached entry
  std::uint64_t m_nCachedValue = 0;
};

// Text keys: a heap copy of the text as the key, hashed as table names are (the runtime's folding, case and
// non-spacing marks ignored) and compared as the server tells its objects apart (see nCompareTextKeys).
std::uint32_t nHashTextKey(std::uint64_t key);
int nCompareTextKeys(std::uint64_t a, std::uint64_t b);
inline std::uint64_t nTextKey(const char16_t* text) { return reinterpret_cast<std::uintptr_t>(text); }
inline const char16_t* pszOfTextKey(std::uint64_t key) { return reinterpret_cast<const char16_t*>(key); }
