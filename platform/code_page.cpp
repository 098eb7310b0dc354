#include "platform/code_page.h"

namespace platform {

int CompareTextNoCase(const char16_t* a, const char16_t* b) {
  if (!a) a = u"";
  if (!b) b = u"";
  for (;; ++a, ++b) {
    const char16_t x = detail::LowerCaseUnit(*a);
    const char16_t y = detail::LowerCaseUnit(*b);
    if (x != y) return x < y ? -1 : 1;
    if (!x) return 0;
  }
}

}  // namespace platform
