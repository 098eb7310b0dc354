// 8-bit text of the stand-in runtime: Windows code page 1252, through the platform layer. A
// character the page lacks becomes '?'.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qzrt {

std::u16string Widen1252(const char* bytes, std::size_t length);
std::string Narrow1252(std::u16string_view text);

}  // namespace qzrt
