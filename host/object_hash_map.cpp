#include "host/object_hash_map.h"

#include "engine/table.h"
#include "foundation/text_utils.h"

std::uint32_t nHashTextKey(std::uint64_t key) { return CTable::nHashName(pszOfTextKey(key)); }
int nCompareTextKeys(std::uint64_t a, std::uint64_t b) { return CTable::nCompareNames(pszOfTextKey(a), pszOfTextKey(b)); }

CObjectHashMap::CObjectHashMap(EKeyKind keyKind, PFN_RELEASE_VALUE release, std::uint32_t initialSize)
    : CHashTable(initialSize), m_keyKind(keyKind), m_pfnRelease(release) {
  if (m_keyKind == KEYS_ARE_TEXTS) {
    SetHashFunction(nHashTextKey);
    SetCompareFunction(nCompareTextKeys);
  }
}

CObjectHashMap::~CObjectHashMap() { ReleaseAll(); }

void CObjectHashMap::ReleaseAll() {
  std::uint32_t position = 0;
  std::uint64_t value = 0;
  std::uint64_t key = 0;
  while (bIterate(position, 1, &value, &key)) {
    if (m_keyKind == KEYS_ARE_TEXTS) FreeText(reinterpret_cast<void*>(static_cast<std::uintptr_t>(key)));
    if (m_pfnRelease && value) m_pfnRelease(value);
  }
}
