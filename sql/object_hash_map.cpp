#include "sql/object_hash_map.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "engine/table/table.h"
#include "foundation/text_utils.h"
#include "sql/connection.h"

namespace {

// Where the password of a connection text stands: from its first ";password=" to the last ";access=" (a wider span
// only compares more of the text exactly); npos when the text names none.
std::pair<std::size_t, std::size_t> PasswordSpan(std::u16string_view text) {
  const std::size_t start = text.find(u";password=");
  const std::size_t end = text.rfind(u";access=");
  if (start == text.npos || end == text.npos || end < start) return {text.npos, text.npos};
  return {start, end};
}

}  // namespace

std::uint32_t nHashTextKey(std::uint64_t key) { return CTable::nHashName(pszOfTextKey(key)); }

// Keys that name different server objects never compare equal. A bare name is folded as the server folds it, so
// "emp" and "EMP" are one table, but "RÉSUMÉ" is not "RESUME" and a name written quoted keeps its case; a password
// is compared as the server checks it, exactly, so another one is another connection whose logon the server judges.
// Equal keys stay equal for the runtime's folding, which the hash follows.
int nCompareTextKeys(std::uint64_t a, std::uint64_t b) {
  const std::u16string_view left(pszOfTextKey(a) ? pszOfTextKey(a) : u"");
  const std::u16string_view right(pszOfTextKey(b) ? pszOfTextKey(b) : u"");
  if (left.size() != right.size()) return 1;
  const auto [leftStart, leftEnd] = PasswordSpan(left);
  const auto [rightStart, rightEnd] = PasswordSpan(right);
  const std::size_t exactStart = std::min(leftStart, rightStart);
  const std::size_t exactEnd =
      leftEnd == left.npos ? rightEnd : (rightEnd == right.npos ? leftEnd : std::max(leftEnd, rightEnd));
  bool quoted = false;
  for (std::size_t i = 0; i < left.size(); ++i) {
    const bool exact = quoted || (exactStart != left.npos && i >= exactStart && i < exactEnd);
    if (exact ? left[i] != right[i] : FoldBareNameUnit(left[i]) != FoldBareNameUnit(right[i])) return 1;
    if (left[i] == u'"') quoted = !quoted;
  }
  return 0;
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
  if (m_pszCachedKey && nCompareTextKeys(nTextKey(m_pszCachedKey), nTextKey(text)) == 0) return m_nCachedValue;
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
