#include "standin/runtime/runtime_code_page.h"

#include <atomic>

#include "platform/code_page.h"

namespace qzrt {

namespace {

// Set by tests between runs, read by every conversion of 8-bit text.
std::atomic<std::uint32_t> gCodePage{platform::kCodePage1252};

}  // namespace

std::uint32_t RuntimeCodePage() { return gCodePage.load(); }
void SetRuntimeCodePage(std::uint32_t codePage) { gCodePage = codePage; }

// Never more units than bytes in any page, so one pass into a buffer of the byte count does.
std::u16string WidenRuntime(const char* bytes, std::size_t length) {
  std::u16string out(length, u'\0');
  if (length == 0) return out;
  const int n = platform::MultiByteToWide(RuntimeCodePage(), 0, bytes, static_cast<int>(length), out.data(),
                                          static_cast<int>(length));
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

// Measured first: a unit takes up to three bytes in UTF-8, four per pair in GB18030, two in a double-byte page.
std::string NarrowRuntime(std::u16string_view text) {
  if (text.empty()) return {};
  const std::uint32_t page = RuntimeCodePage();
  const int size = static_cast<int>(text.size());
  const int needed = platform::WideToMultiByte(page, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string out(static_cast<std::size_t>(needed), '\0');
  const int n = platform::WideToMultiByte(page, 0, text.data(), size, out.data(), needed, nullptr, nullptr);
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

}  // namespace qzrt
