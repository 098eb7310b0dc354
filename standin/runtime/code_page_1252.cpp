#include "standin/runtime/code_page_1252.h"

#include "platform/code_page.h"

namespace qzrt {

std::u16string Widen1252(const char* bytes, std::size_t length) {
  std::u16string out(length, u'\0');
  if (length == 0) return out;
  const int n = platform::MultiByteToWide(platform::kCodePage1252, 0, bytes, static_cast<int>(length), out.data(),
                                          static_cast<int>(length));
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

std::string Narrow1252(std::u16string_view text) {
  std::string out(text.size(), '\0');
  if (text.empty()) return out;
  const int n = platform::WideToMultiByte(platform::kCodePage1252, 0, text.data(), static_cast<int>(text.size()),
                                          out.data(), static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

}  // namespace qzrt
