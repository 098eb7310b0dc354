#include "sql/object_hash_map.h"

#include "engine/table/table.h"
#include "foundation/text_utils.h"

std::uint32_t nHashTextKey(std::uint64_t key) { return CTable::nHashName(pszOfTextKey(key)); }
int nCompareTextKeys(std::uint64_t a, std::uint64_t b) {
  return CTable::nCompareNames(pszOfTextKey(a), pszOfTextKey(b));
}

CObjectHashMap::CObjectHashMap(EKeyKind keyKind, PFN_RELEASE_VALUE release, std::uint32_t initialSize)
    : CHashTable(initialSize), m_keyKind(keyKind), m_pfnRelease(release) {
  if (m_keyKind == KEYS_ARE_TEXTS) {
    SetHashFunction(nHashTextKey);
    SetCompareFunction(nCompareTextKeys);
  }
}

CObjectHashMap::~CObjectHashMap() { ReleaseAll(); }

void CObjectHashMap::ReleaseAll() {
  m_pszCachedKey = nullptr;
  m_nCachedValue = 0;
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  std::uint64_t key = 0;
  while (bIterate(position, 1, &value, &key)) {
    if (m_keyKind == KEYS_ARE_TEXTS) FreeText(reinterpret_cast<void*>(static_cast<std::uintptr_t>(key)));
    if (m_pfnRelease && value) m_pfnRelease(value);
  }
}

std::uint64_t CObjectHashMap::nFindText(const char16_t* text) {
  if (m_pszCachedKey && CTable::nCompareNames(m_pszCachedKey, text) == 0) return m_nCachedValue;
  std::uint64_t value = 0;
  std::uint64_t storedKey = 0;
  if (!bLookup(nTextKey(text), &value, &storedKey)) return 0;
  m_pszCachedKey = pszOfTextKey(storedKey);
  m_nCachedValue = value;
  return value;
}

int CObjectHashMap::bInsertText(const char16_t* text, std::uint64_t value) {
  char16_t* copy = pszDupW(text);
  if (!copy) return 0;
  if (!bInsert(nTextKey(copy), value)) {
    FreeText(copy);
    return 0;
  }
  return 1;
}

int CObjectHashMap::bRemoveTextEntry(const char16_t* text, std::uint64_t value) {
  std::uint64_t stored = 0;
  std::uint64_t storedKey = 0;
  // Only this very value leaves: another object may bear an equal key (another driver's, or an unregistered one).
  if (!bLookup(nTextKey(text), &stored, &storedKey) || stored != value) return 0;
  bRemove(nTextKey(text), nullptr, nullptr);
  if (m_pszCachedKey == pszOfTextKey(storedKey)) {
    m_pszCachedKey = nullptr;
    m_nCachedValue = 0;
  }
  FreeText(reinterpret_cast<void*>(static_cast<std::uintptr_t>(storedKey)));
  return 1;
}
