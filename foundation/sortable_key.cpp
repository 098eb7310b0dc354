#include "foundation/sortable_key.h"

#include <algorithm>
#include <cstring>

#include "foundation/currency.h"

PFN_PROXY_SORT_KEY gpfnProxySortKey = nullptr;

namespace {

// The first `width` bytes of the input as an unsigned integer in the runtime's memory order (little-endian); a
// shorter input is zero-extended rather than read past its end.
std::uint64_t ReadLittleEndian(const void* data, std::uint32_t length, std::uint32_t width) {
  std::uint8_t bytes[8] = {};
  if (data) std::memcpy(bytes, data, std::min(length, width));
  std::uint64_t value = 0;
  for (std::uint32_t i = width; i-- > 0;) value = (value << 8) | bytes[i];
  return value;
}

void WriteBigEndian(std::uint8_t* out, std::uint64_t value, std::uint32_t width) {
  for (std::uint32_t i = width; i-- > 0;) {
    out[i] = static_cast<std::uint8_t>(value);
    value >>= 8;
  }
}

// An integer key: the value most significant byte first, with the sign bit flipped for the signed types so that
// negatives come first.
std::uint32_t EncodeInteger(std::uint8_t* buffer, std::uint32_t size, const void* data, std::uint32_t length,
                            std::uint32_t width, bool isSigned) {
  if (size < width) return 0;
  std::uint64_t value = ReadLittleEndian(data, length, width);
  if (isSigned) value ^= std::uint64_t{1} << (width * 8 - 1);
  WriteBigEndian(buffer, value, width);
  return width;
}

// A real key: with the sign set every byte is inverted (larger magnitudes sort first), otherwise only the sign bit
// is set; -0.0 ends just below +0.0.
std::uint32_t EncodeReal(std::uint8_t* buffer, std::uint32_t size, const void* data, std::uint32_t length,
                         std::uint32_t width) {
  if (size < width) return 0;
  std::uint64_t bits = ReadLittleEndian(data, length, width);
  std::uint64_t sign = std::uint64_t{1} << (width * 8 - 1);
  bits = (bits & sign) ? ~bits : (bits | sign);
  WriteBigEndian(buffer, bits, width);
  return width;
}

// Texts: the bytes in a zero-padded field whose last byte is always 0.
std::uint32_t EncodeText(std::uint8_t* buffer, std::uint32_t size, const void* data, std::uint32_t length) {
  if (!data || length == 0 || size == 0) return 0;
  std::uint32_t copied = std::min(length, size);
  std::memcpy(buffer, data, copied);
  std::memset(buffer + copied, 0, size - copied);
  buffer[size - 1] = 0;
  return copied;
}

// UTF-16 texts: as EncodeText, but each unit high byte first, so that the byte order of the keys is the order of
// the units over the whole UTF-16 range (low byte first, U+0100 would sort before "b"). Keys live in memory only, so
// no stored key depends on the old layout. An odd last input byte is a unit whose high byte is missing (zero).
std::uint32_t EncodeWideText(std::uint8_t* buffer, std::uint32_t size, const void* data, std::uint32_t length) {
  if (!data || length == 0 || size == 0) return 0;
  const auto* in = static_cast<const std::uint8_t*>(data);
  std::uint32_t copied = std::min(length, size);
  std::memset(buffer, 0, size);
  for (std::uint32_t i = 0; i < copied; i += 2) {
    if (i + 1 < copied) {
      buffer[i] = in[i + 1];
      buffer[i + 1] = in[i];
    } else if (i + 1 < size) {
      buffer[i + 1] = in[i];
    }
  }
  std::memset(buffer + (size >= 2 ? size - 2 : 0), 0, std::min<std::uint32_t>(size, 2));
  return copied;
}

std::uint32_t EncodeHexadecimal(std::uint8_t* buffer, std::uint32_t size, const void* data, std::uint32_t length) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::uint32_t encoded = data ? std::min(length, size / 2) : 0;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  for (std::uint32_t i = 0; i < encoded; ++i) {
    buffer[2 * i] = static_cast<std::uint8_t>(kDigits[bytes[i] >> 4]);
    buffer[2 * i + 1] = static_cast<std::uint8_t>(kDigits[bytes[i] & 0x0F]);
  }
  std::memset(buffer + 2 * encoded, '0', size - 2 * encoded);
  return 2 * encoded;
}

std::uint32_t EncodeDateTime(std::uint8_t* buffer, std::uint32_t size, const void* data, std::uint32_t length) {
  if (size < 8) return 0;
  std::uint64_t packed = ReadLittleEndian(data, length, 8);  // day, month, year (2), milliseconds (4)
  buffer[0] = static_cast<std::uint8_t>(packed >> 24);       // year, high byte
  buffer[1] = static_cast<std::uint8_t>(packed >> 16);
  buffer[2] = static_cast<std::uint8_t>(packed >> 8);        // month
  buffer[3] = static_cast<std::uint8_t>(packed);             // day
  WriteBigEndian(buffer + 4, packed >> 32, 4);
  return 8;
}

std::uint32_t EncodeCurrency(std::uint8_t* buffer, std::uint32_t size, const void* data, std::uint32_t length) {
  if (size < CCurrency::kSortKeySize) return 0;
  CCurrency value{};
  if (data) std::memcpy(&value, data, std::min<std::uint32_t>(length, sizeof value));
  value.EncodeSortKey(buffer);
  return CCurrency::kSortKeySize;
}

}  // namespace

int nHostTypeCategory(std::uint32_t typeCode) {
  // A whole type word may come in: its flags do not change what the value is.
  switch (typeCode & 0xFFu) {
    case 18: case 19: case 21: case 22: case 23: case 24: case 25: case 128: case 129:
      return SORT_KEY_TEXT;
    case 6: return SORT_KEY_INT8;
    case 7: return SORT_KEY_INT16;
    case 9: return SORT_KEY_INT64;
    case 11: return SORT_KEY_FLOAT;
    case 12: return SORT_KEY_DOUBLE;
    case 2: return SORT_KEY_UINT8;
    case 3: return SORT_KEY_UINT16;
    case 4: return SORT_KEY_UINT32;
    case 5: return SORT_KEY_UINT64;
    case 29: return SORT_KEY_BUFFER_REF;
    case 10: return SORT_KEY_CURRENCY;
    case 26: return SORT_KEY_DATETIME;
    case 27: return SORT_KEY_VALUE8;
    case 28: return SORT_KEY_BINARY;
    case 17: return SORT_KEY_ACHAR;
    case 1: return SORT_KEY_UINT32_RAW;
    case 110: return SORT_KEY_HEAP_WTEXT;
    case 16: return SORT_KEY_WSTRING;
    case 13: return SORT_KEY_PROXY;
    default: return SORT_KEY_INT32;  // 8, 14 and every code not listed
  }
}

std::uint32_t nEncodeSortKey(std::uint8_t* buffer, std::uint32_t size, const void* data, std::uint32_t length,
                             int keyType, std::uint32_t /*workSize*/, std::int32_t a, std::int32_t b) {
  switch (keyType) {
    case SORT_KEY_TEXT:
    case SORT_KEY_TEXT_PLAIN:
      return EncodeText(buffer, size, data, length);
    case SORT_KEY_HEAP_WTEXT:
    case SORT_KEY_WSTRING:
      return EncodeWideText(buffer, size, data, length);
    case SORT_KEY_INT8: return EncodeInteger(buffer, size, data, length, 1, true);
    case SORT_KEY_INT16: return EncodeInteger(buffer, size, data, length, 2, true);
    case SORT_KEY_INT32: return EncodeInteger(buffer, size, data, length, 4, true);
    case SORT_KEY_INT64:
    case SORT_KEY_VALUE8:
      return EncodeInteger(buffer, size, data, length, 8, true);
    case SORT_KEY_UINT8:
    case SORT_KEY_ACHAR:
      return EncodeInteger(buffer, size, data, length, 1, false);
    case SORT_KEY_UINT16: return EncodeInteger(buffer, size, data, length, 2, false);
    case SORT_KEY_UINT32: return EncodeInteger(buffer, size, data, length, 4, false);
    case SORT_KEY_UINT64: return EncodeInteger(buffer, size, data, length, 8, false);
    case SORT_KEY_UINT32_RAW: return EncodeInteger(buffer, size, data, length, 1, true);
    case SORT_KEY_FLOAT: return EncodeReal(buffer, size, data, length, 4);
    case SORT_KEY_DOUBLE: return EncodeReal(buffer, size, data, length, 8);
    case SORT_KEY_CURRENCY: return EncodeCurrency(buffer, size, data, length);
    case SORT_KEY_DATETIME: return EncodeDateTime(buffer, size, data, length);
    case SORT_KEY_BINARY: return EncodeHexadecimal(buffer, size, data, length);
    case SORT_KEY_PROXY:
      if (!gpfnProxySortKey || size < kProxySortKeySize) return 0;
      gpfnProxySortKey(buffer, data, a, b);
      return kProxySortKeySize;
    default:  // SORT_KEY_BUFFER_REF and unknown key types have no key
      return 0;
  }
}

std::uint32_t nGetSortKeySizeForKeyType(int keyType, std::uint32_t length) {
  switch (keyType) {
    case SORT_KEY_TEXT:
    case SORT_KEY_TEXT_PLAIN:
      return length + 1;
    case SORT_KEY_BINARY:
      return length * 2;
    case SORT_KEY_HEAP_WTEXT:
    case SORT_KEY_WSTRING:
      return (length + 1) * 2;
    case SORT_KEY_PROXY:
      return kProxySortKeySize;
    default:
      return length;
  }
}

std::uint32_t nGetSortKeySize(std::uint32_t typeCode, std::uint32_t length) {
  return nGetSortKeySizeForKeyType(nHostTypeCategory(typeCode), length);
}
