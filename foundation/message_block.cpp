#include "foundation/message_block.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr unsigned kNoShift = 8;
// While table 3 is locked, 38 takes the next byte as it is and 39 a count, then that many bytes.
constexpr unsigned kEscapeByte = 38;
constexpr unsigned kLastSymbol = 39;
constexpr int kPairValues = 40 * 40 * 40;

// Record offsets from the block's start, built from the packed lengths on the first lookup: each record is its
// packed text plus the two number bytes, the attribute and the zero. Never destroyed: the runtime may still raise
// errors from its own exit handlers, after the library's statics would have gone.
const std::vector<std::uint16_t>& MessageOffsets() {
  static const std::vector<std::uint16_t>* const offsets = [] {
    auto* built = new std::vector<std::uint16_t>(gnMessageRecordCount);
    for (std::uint32_t k = 0; k + 1 < gnMessageRecordCount; ++k)
      (*built)[k + 1] = static_cast<std::uint16_t>((*built)[k] + gtabMessageLengths[k] + 4);
    return built;
  }();
  return *offsets;
}

std::uint32_t RecordNumber(const std::uint8_t* pRecord) {
  return (static_cast<std::uint32_t>(pRecord[0]) - 1) * 255 + (static_cast<std::uint32_t>(pRecord[1]) - 1);
}

// Working size for the UTF-8 form of a packed text of n bytes: every pair of packed bytes gives at most three bytes,
// an escape or a lone last byte no more than it takes, and the zero needs one: floor(1.5 n + 2).
std::size_t UnpackedBound(std::size_t nPacked) { return nPacked + nPacked / 2 + 2; }

// One character of UTF-8 at p (n bytes left, n > 0). Answers the code point and the bytes it takes; a byte that
// starts no valid sequence is U+FFFD and takes itself only.
char32_t DecodeUtf8(const std::uint8_t* p, std::size_t n, std::size_t* pnUsed) {
  *pnUsed = 1;
  const std::uint8_t lead = p[0];
  if (lead < 0x80) return lead;
  std::size_t length;
  char32_t code;
  char32_t minimum;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, minimum = 0x10000;
  } else {
    return 0xFFFD;
  }
  if (n < length) return 0xFFFD;
  for (std::size_t k = 1; k < length; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 0xFFFD;
    code = (code << 6) | (p[k] & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0xFFFD;
  *pnUsed = length;
  return code;
}

}  // namespace

// ---- lookup --------------------------------------------------------------------------------------------------------

int nCompareMessageRecords(const void* pKey, const void* pOffset) {
  const auto key = *static_cast<const std::uint16_t*>(pKey);
  const auto offset = *static_cast<const std::uint16_t*>(pOffset);
  return static_cast<int>(key) - static_cast<int>(RecordNumber(gbyMessageBlock + offset) & 0xFFFF);
}

const std::uint8_t* pGetMessageRecord(std::uint32_t nNumber, int bRaw) {
  // The search key is 16 bits: a larger number would otherwise find the record of its low half.
  if (nNumber > 0xFFFF) return nullptr;
  const auto key = static_cast<std::uint16_t>(nNumber);
  const std::vector<std::uint16_t>& offsets = MessageOffsets();
  const void* found = std::bsearch(&key, offsets.data(), offsets.size(), sizeof(std::uint16_t), nCompareMessageRecords);
  if (!found) return nullptr;
  const std::uint8_t* record = gbyMessageBlock + *static_cast<const std::uint16_t*>(found);
  return bRaw ? record : record + 3;
}

// ---- unpacking -----------------------------------------------------------------------------------------------------

MessageUnpacker::MessageUnpacker(const std::uint8_t* pInput, std::uint32_t nInputLength, std::uint8_t* pOutput,
                                 std::uint32_t nCapacity)
    : m_pInput(pInput), m_nInputLength(nInputLength), m_pOutput(pOutput), m_nCapacity(nCapacity) {}

void MessageUnpacker::PutByte(std::uint8_t byValue) {
  // The last byte of the output is kept for the zero; the position runs on regardless, so that it ends at the length
  // of the whole text. A capacity of 0 has no room at all.
  if (m_nCapacity != 0 && m_nPosition < m_nCapacity - 1) m_pOutput[m_nPosition] = byValue;
  ++m_nPosition;
}

void MessageUnpacker::EmitSymbol(unsigned nSymbol) {
  if (nSymbol > kLastSymbol) return;  // no packer makes it: reading past the tables is not an option
  if (nSymbol <= 3) {
    m_nSingleShift = nSymbol;
  } else if (nSymbol <= 7) {
    m_nLockedTable = nSymbol - 4;
    m_nSingleShift = kNoShift;
  } else {
    const unsigned table = m_nSingleShift != kNoShift ? m_nSingleShift : m_nLockedTable;
    m_nSingleShift = kNoShift;
    PutByte(gtabMessageSymbols[table][nSymbol - 8]);
  }
}

int MessageUnpacker::nUnpack(std::uint32_t* pnLength) {
  m_nPosition = 0;
  m_nLockedTable = 0;
  m_nSingleShift = kNoShift;
  const std::uint32_t length = m_nInputLength;
  std::uint32_t i = 0;
  while (i + 1 < length) {
    const int value = m_pInput[i] * 255 + m_pInput[i + 1] - 256;
    if (value < 0 || value >= kPairValues) {  // a pair no packer makes (a zero byte, or digits past 39)
      i += 2;
      continue;
    }
    const unsigned a = value / 1600, b = (value % 1600) / 40, c = value % 40;
    unsigned escape = 0;
    if (m_nLockedTable == 3 && a >= kEscapeByte) {
      escape = a;
    } else {
      EmitSymbol(a);
      // A character right behind a single shift to table 0, 1 or 2 is always a character.
      if (m_nLockedTable == 3 && a > 2 && b >= kEscapeByte) {
        escape = b;
      } else {
        EmitSymbol(b);
        if (m_nLockedTable == 3 && c >= kEscapeByte)
          escape = c;
        else
          EmitSymbol(c);
      }
    }
    if (escape == 0) {
      i += 2;
    } else if (escape == kEscapeByte) {
      if (i + 2 < length) PutByte(m_pInput[i + 2]);
      i += 3;
    } else {  // a run: the count and the bytes never reach past the input, whatever the count says
      std::uint32_t count = i + 2 < length ? m_pInput[i + 2] : 0;
      i += 3;
      if (i > length) break;
      if (count > length - i) count = length - i;
      for (; count > 0; --count) PutByte(m_pInput[i++]);
    }
  }
  if (length > 0 && i == length - 1) EmitSymbol(static_cast<std::uint8_t>(m_pInput[i] - 1));

  if (pnLength) *pnLength = m_nPosition;
  if (m_nPosition >= m_nCapacity) {
    if (m_nCapacity != 0) m_pOutput[m_nCapacity - 1] = 0;
    return MESSAGE_UNPACK_CUT;
  }
  m_pOutput[m_nPosition] = 0;
  return MESSAGE_UNPACK_DONE;
}

int nUnpackMessage(char16_t* pszBuffer, std::uint32_t* pnCapacity, const std::uint8_t* pPacked) {
  // The whole UTF-8 form goes to a working copy first, so that the cut is made in whole UTF-16 characters against
  // the caller's capacity, and the length answered is the text's length in UTF-16 units, not in bytes.
  const std::size_t packedLength = std::strlen(reinterpret_cast<const char*>(pPacked));
  const std::size_t bound = UnpackedBound(packedLength);
  std::unique_ptr<std::uint8_t[]> utf8(new (std::nothrow) std::uint8_t[bound]);
  if (!utf8) return MESSAGE_UNPACK_NO_MEMORY;
  std::uint32_t byteLength = 0;
  MessageUnpacker(pPacked, static_cast<std::uint32_t>(packedLength), utf8.get(), static_cast<std::uint32_t>(bound))
      .nUnpack(&byteLength);

  const std::uint32_t capacity = *pnCapacity;
  std::uint32_t units = 0;    // of the whole text
  std::uint32_t written = 0;  // into the buffer
  bool fits = true;
  for (std::size_t i = 0; i < byteLength;) {
    std::size_t used;
    const char32_t code = DecodeUtf8(utf8.get() + i, byteLength - i, &used);
    i += used;
    const std::uint32_t width = code > 0xFFFF ? 2 : 1;
    // Room for the character and, behind it, the zero; once a character is refused, nothing after it is taken.
    fits = fits && capacity != 0 && written + width <= capacity - 1;
    if (fits) {
      if (width == 2) {
        pszBuffer[written++] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
        pszBuffer[written++] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
      } else {
        pszBuffer[written++] = static_cast<char16_t>(code);
      }
    }
    units += width;
  }
  *pnCapacity = units;
  if (capacity != 0) pszBuffer[written] = 0;
  return units < capacity ? MESSAGE_UNPACK_DONE : MESSAGE_UNPACK_CUT;
}

std::unique_ptr<char16_t[]> pszUnpackMessage(const std::uint8_t* pPacked) {
  // A text never has more UTF-16 units than UTF-8 bytes, so the UTF-8 bound is always enough.
  const std::size_t size = UnpackedBound(std::strlen(reinterpret_cast<const char*>(pPacked)));
  std::unique_ptr<char16_t[]> text(new (std::nothrow) char16_t[size]);
  if (!text) return nullptr;
  auto capacity = static_cast<std::uint32_t>(size);
  if (nUnpackMessage(text.get(), &capacity, pPacked) != MESSAGE_UNPACK_DONE) return nullptr;
  return text;
}
