// The split of a packed composite key value over any components and bytes. The first byte gives the number of
// components (its low three bits, plus one) and the limits flag (bit 7); each component then takes three bytes: the
// host type (low five bits choose one of kHostTypes, bit 7 makes it a binary column) and the data length (16 bits,
// little-endian; bit 15 set puts the length near 2^32 instead, to reach storages larger than any value). The rest is
// the value, copied to a block of exactly its size. Each part must lie in the value and in its component's storage,
// the parts must follow each other in order, and only the last one may be cut, a filler or left out.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "sql/conditions/packed_key.h"

namespace {

constexpr std::uint16_t kHostTypes[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,  12,  13, 14,
                                        16, 17, 18, 19, 24, 25, 26, 27, 28, 81, 110, 128, 129, 20};
constexpr std::size_t kComponentBytes = 3;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t count = (data[0] & 7u) + 1;
  const bool limits = (data[0] & 0x80u) != 0;
  if (size < 1 + count * kComponentBytes) return 0;
  std::vector<SKeyComponent> components(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* bytes = data + 1 + i * kComponentBytes;
    const bool binary = (bytes[0] & 0x80u) != 0;
    std::uint32_t length = bytes[1] | ((bytes[2] & 0x7Fu) << 8);
    if (bytes[2] & 0x80u) length |= 0xFFFF0000u;
    components[i] = SKeyComponent{binary ? std::uint16_t{28} : kHostTypes[(bytes[0] & 0x1Fu) % std::size(kHostTypes)],
                                  length, binary, 0, 0};
  }
  const std::size_t valueSize = size - 1 - count * kComponentBytes;
  std::unique_ptr<std::uint8_t[]> value(new std::uint8_t[valueSize > 0 ? valueSize : 1]);
  std::memcpy(value.get(), data + 1 + count * kComponentBytes, valueSize);

  const std::vector<SKeyPart> parts = SplitPackedKey(components.data(), count, value.get(), valueSize, limits);
  Check(parts.size() <= count);
  std::size_t start = 0;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const SKeyPart& part = parts[i];
    Check(part.nStart == start && part.nStart < valueSize);
    Check(part.nOffset >= part.nStart && part.nOffset <= valueSize && part.nLength <= valueSize - part.nOffset);
    Check(part.nOffset - part.nStart + part.nLength <= part.nStorage);
    if (part.eKind != EKeyPart::kComplete) Check(i + 1 == parts.size());
    if (part.eKind == EKeyPart::kMinimum || part.eKind == EKeyPart::kMaximum) {
      Check(limits && components[i].nHostType != 2 && components[i].nHostType != 6);
    }
    if (part.eKind == EKeyPart::kLeftOut) Check(part.nLength == 0);
    start += static_cast<std::size_t>(part.nStorage);
  }
  return 0;
}
