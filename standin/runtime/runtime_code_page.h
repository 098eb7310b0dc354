// 8-bit text of the stand-in runtime: the runtime's own code page, 1252 unless a test sets another (932, 54936 for
// GB18030, 65001 for UTF-8), through the platform layer. A character the page lacks becomes '?'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qzrt {

std::uint32_t RuntimeCodePage();
void SetRuntimeCodePage(std::uint32_t codePage);

std::u16string WidenRuntime(const char* bytes, std::size_t length);
std::string NarrowRuntime(std::u16string_view text);

}  // namespace qzrt
