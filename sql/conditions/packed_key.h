// The packed value of a composite key, as the runtime passes it in a search: the components' bytes one after the
// other, in the key's order, without separators or alignment. SplitPackedKey only measures: it says, component by
// component, which bytes of the value to read and whether the component is whole, cut short by the end of the
// value, a minimum or maximum filler, or left out. It reads nothing outside the value and owns nothing; making
// runtime values of the pieces is bSplitKeyValue's work (key_value_split.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One component of the key, described from its column.
struct SKeyComponent {
  std::uint16_t nHostType;   // the runtime type of the column's values
  std::uint32_t nDataLength;  // the column's data length: bytes, or UTF-16 units for the UTF-16 host types
  bool bBinary;               // a binary column (column type 23): a 2-byte length in host order precedes the data
  std::uint32_t nPrecision;
  std::uint32_t nScale;
};

enum class EKeyPart : std::uint8_t {
  kComplete,  // the component's whole storage lies in the value
  kCut,       // the last component present, shorter than its storage: read from the bytes that remain
  kMinimum,   // the last component present is the minimum filler
  kMaximum,   // ... the maximum filler
  kLeftOut,   // a number cut in the middle: neither this component nor any after it has a value
};

struct SKeyPart {
  std::size_t nStart;    // where the component begins in the value
  std::uint64_t nStorage;  // the bytes the component takes in a whole value
  std::size_t nOffset;   // the bytes to read: [nOffset, nOffset + nLength), inside both the value and the storage
  std::size_t nLength;
  EKeyPart eKind;
};

// The parts of the components present in the value, in order: at most `count`, the last one being the component
// that reaches or passes the end of the value unless every component ends before it. Fillers are looked for only
// with `limits`, only in that last component, and never for host types 2 and 6 (one byte of 0 or 255 is a value).
std::vector<SKeyPart> SplitPackedKey(const SKeyComponent* components, std::size_t count, const void* data,
                                     std::size_t size, bool limits);

// The host types whose characters are UTF-16 units (16, 20, 24, 25, 81, 110), and every text type: those and the
// 8-bit ones (17-19, 21-23, 128, 129, 134).
bool bIsUtf16KeyHostType(std::uint16_t type);
bool bIsTextKeyHostType(std::uint16_t type);
