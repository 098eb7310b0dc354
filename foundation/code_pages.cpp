#include "foundation/code_pages.h"

#include <climits>
#include <cstring>
#include <string>

#include "foundation/text_utils.h"
#include "platform/code_page.h"
#include "platform/system_version.h"

namespace {

// UTF-8 and GB18030 take only the fail-on-invalid flag: the precomposed flag would make every conversion fail.
std::uint32_t StrictFlags(std::uint32_t codePage) {
  return codePage == CODE_PAGE_UTF8 || codePage == platform::kCodePageGb18030 ? platform::kMbErrInvalidChars
                                                                   : platform::kMbPrecomposed |
                                                                         platform::kMbErrInvalidChars;
}

bool FitsInt(std::size_t n) { return n <= static_cast<std::size_t>(INT_MAX); }

// Decodes n bytes into a UTF-16 string (flags 0); false when the page cannot convert them.
bool ToWide(std::uint32_t codePage, const char* bytes, std::size_t n, std::u16string& out) {
  out.clear();
  if (n == 0) return true;
  if (!FitsInt(n)) return false;
  out.resize(n);  // never more units than bytes
  const int units = platform::MultiByteToWide(codePage, 0, bytes, static_cast<int>(n), out.data(),
                                              static_cast<int>(n));
  out.resize(static_cast<std::size_t>(units));
  return units > 0;
}

using Transcoder = std::size_t (*)(std::uint32_t, const char*, std::size_t, char*, std::size_t);

// The walk shared by nCopyToCodePage and nCopyFromCodePage: ASCII copied, other runs transcoded as a whole; a run
// goes by whole characters of its page, so that a trail byte in the ASCII range (a double-byte trail, a GB18030
// digit) stays in the run and no character is cut.
std::size_t CopyByRuns(std::uint32_t runPage, std::uint32_t codePage, const char* src, std::size_t n, char* dst,
                       std::size_t size, Transcoder transcode) {
  if (!dst || size == 0) return 0;
  std::size_t out = 0;
  std::size_t i = 0;
  bool failed = false;
  while (i < n && out < size - 1) {
    const auto b = static_cast<unsigned char>(src[i]);
    if (b < 0x80) {
      dst[out++] = static_cast<char>(b);
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < n && static_cast<unsigned char>(src[end]) >= 0x80) {
      end += platform::CharacterLength(runPage, src + end, n - end);
    }
    const std::size_t written = transcode(codePage, src + i, end - i, dst + out, size - 1 - out);
    if (written == 0) {
      failed = true;
      break;
    }
    out += written;
    i = end;
  }
  if (failed) out = 0;
  std::memset(dst + out, 0, size - out);
  return out;
}

}  // namespace

std::uint32_t nCharsetToCodePage(std::uint32_t charset) {
  switch (charset) {
    case 0: return 1252;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return 1252;
    case 54936: return 54936;
    case 65001: return 65001;
    default: return 0;
  }
}

int nCodePageToWideAlloc(const char* bytes, std::size_t n, std::uint32_t codePage, char16_t** text,
                         std::size_t* length) {
  *text = nullptr;
  *length = 0;
  if (!FitsInt(n)) return 0;
  const std::uint32_t flags = StrictFlags(codePage);
  const int needed = platform::MultiByteToWide(codePage, flags, bytes, static_cast<int>(n), nullptr, 0);
  if (needed <= 0) return 0;
  char16_t* out = pszAllocW(static_cast<std::size_t>(needed));
  if (!out) return 0;
  const int units = platform::MultiByteToWide(codePage, flags, bytes, static_cast<int>(n), out, needed);
  if (units <= 0) {
    FreeText(out);
    return 0;
  }
  out[units] = 0;
  *text = out;
  *length = static_cast<std::size_t>(units);
  return 1;
}

int nWideToCodePageAlloc(const char16_t* text, std::size_t, char** out, std::size_t* length,
                         std::uint32_t codePage) {
  *out = nullptr;
  *length = 0;
  const int needed = platform::WideToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return 0;
  char* bytes = pszAllocA(static_cast<std::size_t>(needed));
  if (!bytes) return 0;
  const int written = platform::WideToMultiByte(codePage, 0, text, -1, bytes, needed, nullptr, nullptr);
  if (written <= 0) {
    FreeText(bytes);
    return 0;
  }
  bytes[written] = 0;
  *out = bytes;
  *length = static_cast<std::size_t>(written);
  return 1;
}

char16_t* pszCodePageToNewWide(const char* bytes, std::uint64_t n, std::uint32_t codePage) {
  if (n >= TEXT_ZERO_TERMINATED) n = bytes ? std::strlen(bytes) : 0;
  if (!bytes) n = 0;
  if (!FitsInt(n)) return nullptr;
  char16_t* out = pszAllocW(n);
  if (!out) return nullptr;
  int units = 0;
  if (n > 0) {
    units = platform::MultiByteToWide(codePage, 0, bytes, static_cast<int>(n), out, static_cast<int>(n));
    if (units <= 0) {
      FreeText(out);
      return nullptr;
    }
  }
  // Terminated behind what was converted: a multi-byte page gives fewer units than bytes.
  out[units] = 0;
  return out;
}

char16_t chCodePageToWide(char byte, std::uint32_t codePage) {
  char16_t unit = 0;
  return platform::MultiByteToWide(codePage, 0, &byte, 1, &unit, 1) == 1 ? unit : 0;
}

char chWideToCodePage(char16_t unit, std::uint32_t codePage) {
  char bytes[4] = {};
  return platform::WideToMultiByte(codePage, 0, &unit, 1, bytes, sizeof bytes, nullptr, nullptr) == 1 ? bytes[0]
                                                                                                      : 0;
}

namespace {

// From one page to another through UTF-16; the bytes written, 0 on failure.
std::size_t Transcode(std::uint32_t from, std::uint32_t to, const char* bytes, std::size_t n, char* dst,
                      std::size_t size) {
  std::u16string wide;
  if (n == 0 || size == 0 || !FitsInt(size) || !ToWide(from, bytes, n, wide)) return 0;
  const int written = platform::WideToMultiByte(to, 0, wide.data(), static_cast<int>(wide.size()), dst,
                                                static_cast<int>(size), nullptr, nullptr);
  return written > 0 ? static_cast<std::size_t>(written) : 0;
}

}  // namespace

std::size_t nTranscodeUtf8ToCodePage(std::uint32_t codePage, const char* utf8, std::size_t n, char* dst,
                                     std::size_t size) {
  return Transcode(CODE_PAGE_UTF8, codePage, utf8, n, dst, size);
}

std::size_t nTranscodeCodePageToUtf8(std::uint32_t codePage, const char* bytes, std::size_t n, char* dst,
                                     std::size_t size) {
  return Transcode(codePage, CODE_PAGE_UTF8, bytes, n, dst, size);
}

std::size_t nCopyToCodePage(std::uint32_t codePage, const char* utf8, std::size_t n, char* dst, std::size_t size) {
  if (codePage == CODE_PAGE_UTF8) {
    if (!dst || size == 0) return 0;
    std::size_t copied = n >= size ? size - 1 : n;
    // A cut goes back to the start of the character it fell in: half a character is no text in any reader.
    if (copied < n) {
      while (copied > 0 && (static_cast<unsigned char>(utf8[copied]) & 0xC0) == 0x80) --copied;
    }
    if (copied) std::memcpy(dst, utf8, copied);
    std::memset(dst + copied, 0, size - copied);
    return copied;
  }
  return CopyByRuns(CODE_PAGE_UTF8, codePage, utf8, n, dst, size, nTranscodeUtf8ToCodePage);
}

std::size_t nCopyFromCodePage(std::uint32_t codePage, const char* bytes, std::size_t n, char* dst,
                              std::size_t size) {
  if (codePage == CODE_PAGE_UTF8) return nCopyToCodePage(CODE_PAGE_UTF8, bytes, n, dst, size);
  return CopyByRuns(codePage, codePage, bytes, n, dst, size, nTranscodeCodePageToUtf8);
}

int bIsRepresentableByRoundTrip(const char16_t* text, std::uint32_t codePage) {
  if (!text || !*text) return 1;
  char* narrow = nullptr;
  std::size_t narrowLength = 0;
  if (!nWideToCodePageAlloc(text, 0, &narrow, &narrowLength, codePage)) return 0;
  char16_t* back = nullptr;
  std::size_t backLength = 0;
  // The narrow length counts its terminator, which converts back to the wide one.
  const int converted = nCodePageToWideAlloc(narrow, narrowLength, codePage, &back, &backLength);
  FreeText(narrow);
  int same = 0;
  if (converted) {
    const std::size_t length = nLengthW(text);
    same = backLength == length + 1 && std::memcmp(back, text, length * sizeof(char16_t)) == 0;
    FreeText(back);
  }
  return same;
}

int bIsRepresentableInCodePage(const char16_t* text, std::uint32_t codePage) {
  if (!text || !*text) return 1;
  // UTF-8 and GB18030 hold every character; they refuse the no-best-fit flag, so only unpaired surrogates count.
  if (codePage == CODE_PAGE_UTF8 || codePage == platform::kCodePageGb18030) {
    return platform::WideToMultiByte(codePage, platform::kWcErrInvalidChars, text, -1, nullptr, 0, nullptr,
                                     nullptr) > 0;
  }
  if (!bIsNt51OrLaterCached()) return bIsRepresentableByRoundTrip(text, codePage);
  int usedDefault = 0;
  const int needed = platform::WideToMultiByte(codePage, platform::kWcNoBestFitChars, text, -1, nullptr, 0, nullptr,
                                               &usedDefault);
  return needed > 0 && !usedDefault;
}

std::size_t nCharacterBytes(std::uint32_t codePage, const char* text, std::size_t n, std::size_t* units) {
  const std::size_t used = platform::CharacterLength(codePage, text, n);
  std::size_t count = 1;
  // Characters beyond U+FFFF take a surrogate pair: four-byte UTF-8, and the GB18030 four-byte range from 0x90.
  if (used == 4 && (codePage == CODE_PAGE_UTF8 || static_cast<unsigned char>(text[0]) >= 0x90)) count = 2;
  if (units) *units = count;
  return used;
}

int bIsNt51OrLater() {
  platform::SystemVersion version{};
  if (!platform::GetSystemVersion(version)) return 0;
  return version.platformId == 2 &&
         ((version.major >= 5 && version.minor != 0) || version.major >= 6);
}

int bIsNt51OrLaterCached() {
  static const int answer = bIsNt51OrLater();
  return answer;
}

std::size_t nWholeCharacterPrefix(std::uint32_t codePage, const char* text, std::size_t n, std::size_t limit) {
  if (n <= limit) return n;
  std::size_t taken = 0;
  while (taken < limit) {
    const std::size_t step = platform::CharacterLength(codePage, text + taken, n - taken);
    if (step == 0 || taken + step > limit) break;
    taken += step;
  }
  return taken;
}

std::size_t nWholeUnitPrefix(const char16_t* text, std::size_t n, std::size_t limit) {
  if (n <= limit) return n;
  std::size_t taken = limit;
  if (taken > 0 && text[taken - 1] >= 0xD800 && text[taken - 1] < 0xDC00) --taken;
  return taken;
}

namespace {
int nClampUnits(std::uint64_t n) { return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(n); }
}  // namespace

std::u16string WideOfCodePage(const char* bytes, std::uint64_t n, std::uint32_t codePage) {
  std::u16string out;
  if (n == 0) return out;
  const int needed = platform::MultiByteToWide(codePage, 0, bytes, nClampUnits(n), nullptr, 0);
  if (needed <= 0) return out;
  out.resize(static_cast<std::size_t>(needed));
  platform::MultiByteToWide(codePage, 0, bytes, nClampUnits(n), out.data(), needed);
  return out;
}

std::string NarrowOfCodePage(const char16_t* text, std::uint64_t n, std::uint32_t codePage) {
  std::string out;
  if (n == 0) return out;
  const int needed = platform::WideToMultiByte(codePage, 0, text, nClampUnits(n), nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return out;
  out.resize(static_cast<std::size_t>(needed));
  platform::WideToMultiByte(codePage, 0, text, nClampUnits(n), out.data(), needed, nullptr, nullptr);
  return out;
}
