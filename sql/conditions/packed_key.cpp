#include "sql/conditions/packed_key.h"

#include <algorithm>
#include <cstring>

#include "host/host_type.h"

namespace {

constexpr std::size_t kBinaryLengthSize = 2;
// The storage of a runtime decimal's byte form: a cut one still reads as the digits that remain.
constexpr std::uint64_t kDecimalFormSize = 18;
// The digits of a date (YYYYMMDD) or of a time (HHMMSSmmm).
constexpr std::size_t kDigitTextMax = 9;

std::uint64_t nStorageOf(const SKeyComponent& component) {
  std::uint64_t bytes = component.nDataLength;
  if (bIsUtf16KeyHostType(component.nHostType)) bytes *= 2;
  if (component.bBinary) bytes += kBinaryLengthSize;
  return bytes;
}

// The bytes of a text up to its first zero unit; date and time digits lose their trailing zeros and keep 9 digits.
std::size_t nTextBytes(std::uint16_t type, const std::uint8_t* bytes, std::size_t n) {
  if (type == HOST_TYPE_ADATE || type == HOST_TYPE_ATIME) {
    while (n > 0 && bytes[n - 1] == 0) --n;
    return std::min(n, kDigitTextMax);
  }
  if (bIsUtf16KeyHostType(type)) {
    std::size_t units = 0;
    while (units < n / 2 && (bytes[2 * units] != 0 || bytes[2 * units + 1] != 0)) ++units;
    return 2 * units;
  }
  const void* zero = std::memchr(bytes, 0, n);
  return zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - bytes) : n;
}

// What to read of a component that has `available` bytes at part.nStart (its storage, or what remains of the
// value). A binary component's length field is the runtime's: it is believed only as far as the column's data
// length and the bytes present, and a field cut by the end of the value reads as 0.
void ReadRange(const SKeyComponent& component, const std::uint8_t* value, std::size_t available, SKeyPart& part) {
  const std::uint8_t* bytes = value + part.nStart;
  part.nOffset = part.nStart;
  if (component.bBinary) {
    part.nOffset = part.nStart + std::min(available, kBinaryLengthSize);
    if (available < kBinaryLengthSize) {
      part.nLength = 0;
      return;
    }
    std::uint16_t stored = 0;
    std::memcpy(&stored, bytes, sizeof stored);
    part.nLength = std::min<std::size_t>({stored, component.nDataLength, available - kBinaryLengthSize});
  } else if (bIsTextKeyHostType(component.nHostType)) {
    part.nLength = nTextBytes(component.nHostType, bytes, available);
  } else {
    part.nLength = available;
  }
}

// The filler that the runtime puts in place of the last component of a range's ends: one byte 0 (two for a UTF-16
// column) for the minimum, a first byte 255 (a UTF-16 unit U+FFFF) for the maximum.
EKeyPart eFillerOf(const SKeyComponent& component, const std::uint8_t* bytes, std::size_t remain) {
  if (component.nHostType == HOST_TYPE_UINT8 || component.nHostType == HOST_TYPE_INT8) return EKeyPart::kComplete;
  if (bIsUtf16KeyHostType(component.nHostType)) {
    if (remain != 2) return EKeyPart::kComplete;
    std::uint16_t unit = 0;
    std::memcpy(&unit, bytes, sizeof unit);
    if (unit == 0) return EKeyPart::kMinimum;
    return unit == 0xFFFF ? EKeyPart::kMaximum : EKeyPart::kComplete;
  }
  if (remain == 1 && bytes[0] == 0) return EKeyPart::kMinimum;
  return bytes[0] == 0xFF ? EKeyPart::kMaximum : EKeyPart::kComplete;
}

// A component cut short by the end of the value. Texts keep what remains, and so do binary values (a byte string
// cut like a text, whose length the bytes present bound). A number cut in the middle has no value, except the 32-bit
// raw value from its first byte and a decimal of the full byte form, which reads the digits that remain.
EKeyPart eCutKindOf(const SKeyComponent& component, std::uint64_t storage, std::size_t remain) {
  if (bIsTextKeyHostType(component.nHostType) || component.bBinary) return EKeyPart::kCut;
  if (component.nHostType == HOST_TYPE_UINT32_RAW && remain == 1) return EKeyPart::kCut;
  if (component.nHostType == HOST_TYPE_PROXY_HANDLE && storage == kDecimalFormSize) return EKeyPart::kCut;
  return EKeyPart::kLeftOut;
}

}  // namespace

bool bIsUtf16KeyHostType(std::uint16_t type) {
  return type == 16 || type == 20 || type == 24 || type == 25 || type == 81 || type == 110;
}

bool bIsTextKeyHostType(std::uint16_t type) {
  return (type >= 16 && type <= 25) || type == 81 || type == 110 || type == 128 || type == 129 || type == 134;
}

std::vector<SKeyPart> SplitPackedKey(const SKeyComponent* components, std::size_t count, const void* data,
                                     std::size_t size, bool limits) {
  std::vector<SKeyPart> parts;
  const auto* value = static_cast<const std::uint8_t*>(data);
  if (!value || !components) return parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i < count && start < size; ++i) {
    const SKeyComponent& component = components[i];
    const std::uint64_t storage = nStorageOf(component);
    const std::size_t remain = size - start;
    SKeyPart part{start, storage, start, 0, EKeyPart::kComplete};
    // Whole only when it ends strictly before the end of the value; the one that reaches the end is the last.
    if (storage < remain) {
      ReadRange(component, value, static_cast<std::size_t>(storage), part);
      parts.push_back(part);
      start += static_cast<std::size_t>(storage);
      continue;
    }
    if (limits) part.eKind = eFillerOf(component, value + start, remain);
    if (part.eKind == EKeyPart::kComplete && remain < storage) part.eKind = eCutKindOf(component, storage, remain);
    if (part.eKind != EKeyPart::kLeftOut) ReadRange(component, value, remain, part);
    parts.push_back(part);
    break;
  }
  return parts;
}
