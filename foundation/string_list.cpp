#include "foundation/string_list.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>

#include "foundation/text_utils.h"
#include "platform/code_page.h"

namespace {

// A new string holding the text; null when the object or its buffer cannot be allocated.
CTString* pNewString(const char16_t* text, std::size_t bound = SIZE_MAX) {
  std::unique_ptr<CTString> string(new (std::nothrow) CTString());
  if (!string) return nullptr;
  string->AssignBounded(text, bound);
  if (text && *text && bound && string->bIsEmpty()) return nullptr;
  return string.release();
}

int Compare(const CTString* a, const CTString* b) {
  const char16_t* x = a->pszGet();
  const char16_t* y = b->pszGet();
  while (*x && *x == *y) {
    ++x;
    ++y;
  }
  return *x == *y ? 0 : (*x < *y ? -1 : 1);
}

}  // namespace

CStringList::~CStringList() { RemoveAll(); }

int CStringList::bStore(CTString* string, std::uint32_t i, bool replace) {
  if (!string) return 0;
  if (replace) {
    if (i >= nGetCount()) {
      delete string;
      return 0;
    }
    // The string that was there is freed, not left behind.
    delete pGetAt(i);
    CDynamicArray::SetAt(&string, i);
    return 1;
  }
  if (!CDynamicArray::InsertAt(&string, i)) {
    delete string;
    return 0;
  }
  return 1;
}

void CStringList::AddAll(const CStringList& other) {
  // The count is taken once: a list added to itself doubles instead of never ending.
  const std::uint32_t count = other.nGetCount();
  for (std::uint32_t i = 0; i < count; ++i) nAddString(*other.pGetAt(i));
}

int CStringList::nAdd(const char16_t* text) { return bStore(pNewString(text), nGetCount(), false); }
int CStringList::nAddString(const CTString& text) { return nAdd(text.pszGet()); }
int CStringList::nAddN(const char16_t* text, std::size_t n) { return bStore(pNewString(text, n), nGetCount(), false); }

int CStringList::AddOwned(CTString& text) {
  CTString* string = new (std::nothrow) CTString();
  if (!string) return 0;
  string->Attach(text.Detach());
  return bStore(string, nGetCount(), false);
}

int CStringList::InsertAt(const char16_t* text, std::uint32_t i) { return bStore(pNewString(text), i, false); }
int CStringList::InsertStringAt(const CTString& text, std::uint32_t i) { return InsertAt(text.pszGet(), i); }
int CStringList::SetAt(const char16_t* text, std::uint32_t i) { return bStore(pNewString(text), i, true); }
int CStringList::SetStringAt(const CTString& text, std::uint32_t i) { return SetAt(text.pszGet(), i); }

void CStringList::RemoveAt(std::uint32_t i) {
  if (i >= nGetCount()) return;
  delete pGetAt(i);
  CDynamicArray::RemoveAt(i);
}

void CStringList::RemoveAll() {
  for (std::uint32_t i = 0; i < nGetCount(); ++i) delete pGetAt(i);
  Clear();
}

CTString* CStringList::pGetAt(std::uint32_t i) const {
  return *static_cast<CTString**>(CDynamicArray::pGetAt(i));
}

std::uint32_t CStringList::nFind(const char16_t* text, int bCaseSensitive, std::uint32_t start) const {
  if (!text) text = u"";
  for (std::uint32_t i = start; i < nGetCount(); ++i) {
    const CTString* string = pGetAt(i);
    if (bCaseSensitive ? string->bEquals(text) : string->bEqualsNoCase(text)) return i;
  }
  return STRING_LIST_NOT_FOUND;
}

void CStringList::Sort() {
  auto** first = static_cast<CTString**>(CDynamicArray::pGetAt(0));
  std::sort(first, first + nGetCount(), [](const CTString* a, const CTString* b) { return Compare(a, b) < 0; });
}

void CStringList::SortNoCase() {
  auto** first = static_cast<CTString**>(CDynamicArray::pGetAt(0));
  std::sort(first, first + nGetCount(), [](const CTString* a, const CTString* b) {
    return platform::CompareTextNoCase(a->pszGet(), b->pszGet()) < 0;
  });
}

void CStringList::SortDescending() {
  auto** first = static_cast<CTString**>(CDynamicArray::pGetAt(0));
  std::sort(first, first + nGetCount(), [](const CTString* a, const CTString* b) { return Compare(a, b) > 0; });
}

int CStringList::bJoin(CTString& out, const char16_t* separator) const {
  if (nGetCount() == 0) return 1;
  const std::size_t separatorLength = nLengthW(separator);
  std::size_t total = separatorLength * (nGetCount() - 1);
  for (std::uint32_t i = 0; i < nGetCount(); ++i) total += pGetAt(i)->nGetLength();
  char16_t* buffer = pszAllocW(total);
  if (!buffer) return 0;
  char16_t* p = buffer;
  for (std::uint32_t i = 0; i < nGetCount(); ++i) {
    if (i > 0) p += nCopyBoundedW(p, separatorLength + 1, separator);
    const CTString* string = pGetAt(i);
    p += nCopyBoundedW(p, string->nGetLength() + 1, string->pszGet());
  }
  *p = 0;
  out.Attach(buffer);
  return 1;
}

void CStringList::SplitText(const char16_t* text, const char16_t* separator) { Split(CTString(text), separator); }

void CStringList::Split(const CTString& text, const char16_t* separator) {
  // The text or the separator may be a string of this very list: the old strings are set aside and freed only
  // once the new ones are made.
  unsigned char* oldElements = m_pElements;
  const std::uint32_t oldCount = m_nCount;
  m_pElements = nullptr;
  m_nCount = m_nCapacity = 0;
  CTString part;
  for (std::uint32_t i = 0; text.bGetToken(part, i, separator); ++i) {
    if (!nAddString(part)) break;
  }
  for (std::uint32_t i = 0; i < oldCount; ++i) {
    delete *reinterpret_cast<CTString**>(oldElements + static_cast<std::size_t>(i) * m_nElementSize);
  }
  std::free(oldElements);
}

void CStringList::AddRepeated(const char16_t* text, std::uint32_t n) {
  for (std::uint32_t i = 0; i < n; ++i) nAdd(text);
}
