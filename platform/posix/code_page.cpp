// Code pages on POSIX: 1252 by its table, 65001 by the backend's UTF-8 codec, every other Windows page through iconv
// under its "CP<n>" name. There are no best-fit tables: a character a page lacks always becomes the default
// character, with or without the no-best-fit flag.
#include "platform/code_page.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "platform/last_error.h"
#include "platform/utf8.h"

namespace platform {

namespace {

// Units 0x80-0x9F of page 1252; the five bytes Windows leaves unassigned map to the control code of the same value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int Fail(std::uint32_t code) {
  SetLastErrorCode(code);
  return 0;
}

std::uint32_t Resolve(std::uint32_t codePage) {
  switch (codePage) {
    case 0:  // CP_ACP
    case 3:  // CP_THREAD_ACP
      return kCodePage1252;
    case 1:  // CP_OEMCP
      return 437;
    case 2:  // CP_MACCP
      return 10000;
    default:
      return codePage;
  }
}

bool IsUtf8Like(std::uint32_t codePage) { return codePage == kCodePageUtf8 || codePage == kCodePageGb18030; }

std::string IconvName(std::uint32_t codePage) {
  if (codePage == 10000) return "MACINTOSH";
  if (codePage == 20127) return "ASCII";
  if (codePage == kCodePageGb18030) return "GB18030";  // iconv knows it by name only
  return "CP" + std::to_string(codePage);
}

// An open iconv descriptor for one call; an unknown page leaves it invalid.
class Converter {
 public:
  Converter(const std::string& to, const std::string& from) : m_cd(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (Valid()) iconv_close(m_cd);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
  // Converts as much as it can; answers false at a sequence it cannot convert (errno EILSEQ or EINVAL).
  bool Run(const char*& in, std::size_t& inLeft, std::string& out) {
    char buffer[1024];
    while (inLeft > 0) {
      char* o = buffer;
      std::size_t oLeft = sizeof buffer;
      char* i = const_cast<char*>(in);
      const std::size_t r = iconv(m_cd, &i, &inLeft, &o, &oLeft);
      in = i;
      out.append(buffer, static_cast<std::size_t>(o - buffer));
      if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        return false;
      }
    }
    char* o = buffer;
    std::size_t oLeft = sizeof buffer;
    iconv(m_cd, nullptr, nullptr, &o, &oLeft);
    out.append(buffer, static_cast<std::size_t>(o - buffer));
    return true;
  }

 private:
  iconv_t m_cd;
};

// Decodes n bytes; answers false for an unknown page. `invalid` tells whether a byte had no character.
bool Decode(std::uint32_t codePage, const char* source, std::size_t n, std::u16string& out, bool& invalid) {
  invalid = false;
  if (codePage == kCodePage1252) {
    for (std::size_t i = 0; i < n; ++i) {
      const auto b = static_cast<unsigned char>(source[i]);
      out += (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
    }
    return true;
  }
  if (codePage == kCodePageUtf8) {
    for (std::size_t i = 0, used = 0; i < n; i += used) {
      char32_t c = DecodeUtf8(source + i, n - i, used);
      if (c == kInvalidCodePoint) {
        invalid = true;
        c = 0xFFFD;
      }
      AppendUtf16(out, c);
    }
    return true;
  }
  Converter converter("UTF-16LE", IconvName(codePage));
  if (!converter.Valid()) return false;
  std::string bytes;
  const char* in = source;
  std::size_t left = n;
  // A byte that starts no character becomes "?" (the pages' usual default) and the walk goes on behind it.
  while (!converter.Run(in, left, bytes)) {
    invalid = true;
    bytes += "?";
    bytes += '\0';
    ++in;
    --left;
  }
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return true;
}

// Encodes n units; answers false for an unknown page. Characters the page lacks become defaultChar; `invalid` tells
// whether an unpaired surrogate was met, `usedDefault` whether the default character was used.
bool Encode(std::uint32_t codePage, const char16_t* source, std::size_t n, char defaultChar, std::string& out,
            bool& invalid, bool& usedDefault) {
  invalid = usedDefault = false;
  if (codePage == kCodePageUtf8) {
    char bytes[4];
    for (std::size_t i = 0, used = 0; i < n; i += used) {
      char32_t c = DecodeUtf16(source + i, n - i, used);
      if (c == kInvalidCodePoint) {
        invalid = true;
        c = 0xFFFD;
      }
      out.append(bytes, EncodeUtf8(c, bytes));
    }
    return true;
  }
  if (codePage == kCodePage1252) {
    for (std::size_t i = 0; i < n; ++i) {
      const char16_t u = source[i];
      int byte = (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) ? u : -1;
      for (int k = 0; byte < 0 && k < 32; ++k) {
        if (kCp1252High[k] == u) byte = 0x80 + k;
      }
      if (byte < 0) {
        usedDefault = true;
        // A valid surrogate pair is one character and takes one default character.
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && source[i + 1] >= 0xDC00 && source[i + 1] <= 0xDFFF) ++i;
        out += defaultChar;
      } else {
        out += static_cast<char>(byte);
      }
    }
    return true;
  }
  Converter converter(IconvName(codePage), "UTF-16LE");
  if (!converter.Valid()) return false;
  std::string units;
  units.reserve(2 * n);
  for (std::size_t i = 0; i < n; ++i) {
    units += static_cast<char>(source[i] & 0xFF);
    units += static_cast<char>(source[i] >> 8);
  }
  const char* in = units.data();
  std::size_t left = units.size();
  while (!converter.Run(in, left, out)) {
    usedDefault = true;
    out += defaultChar;
    std::size_t used = 1;
    const std::size_t at = static_cast<std::size_t>(in - units.data()) / 2;
    DecodeUtf16(source + at, n - at, used);
    in += 2 * used;
    left -= 2 * used;
  }
  return true;
}

bool MbFlagsValid(std::uint32_t codePage, std::uint32_t flags) {
  if (IsUtf8Like(codePage)) return (flags & ~kMbErrInvalidChars) == 0;
  // MB_PRECOMPOSED, MB_COMPOSITE, MB_USEGLYPHCHARS, MB_ERR_INVALID_CHARS; precomposed and composite exclude each other.
  return (flags & ~0xFu) == 0 && (flags & 0x3) != 0x3;
}

bool WcFlagsValid(std::uint32_t codePage, std::uint32_t flags) {
  if (IsUtf8Like(codePage)) return (flags & ~kWcErrInvalidChars) == 0;
  // WC_DISCARDNS, WC_SEPCHARS, WC_DEFAULTCHAR, WC_COMPOSITECHECK, WC_NO_BEST_FIT_CHARS.
  return (flags & ~0x670u) == 0;
}

template <typename Unit>
int Deliver(const std::basic_string<Unit>& out, Unit* target, int targetSize) {
  if (out.size() > static_cast<std::size_t>(INT_MAX)) return Fail(kErrorInvalidParameter);
  const int size = static_cast<int>(out.size());
  if (targetSize == 0) return size;
  if (size > targetSize) return Fail(kErrorInsufficientBuffer);
  std::memcpy(target, out.data(), out.size() * sizeof(Unit));
  return size;
}

}  // namespace

int MultiByteToWide(std::uint32_t codePage, std::uint32_t flags, const char* source, int sourceLength,
                    char16_t* target, int targetSize) {
  if (!source || sourceLength == 0 || sourceLength < -1 || targetSize < 0 || (targetSize > 0 && !target)) {
    return Fail(kErrorInvalidParameter);
  }
  codePage = Resolve(codePage);
  if (!MbFlagsValid(codePage, flags)) return Fail(kErrorInvalidFlags);
  const std::size_t n = sourceLength == -1 ? std::strlen(source) + 1 : static_cast<std::size_t>(sourceLength);
  std::u16string out;
  bool invalid = false;
  if (!Decode(codePage, source, n, out, invalid)) return Fail(kErrorInvalidParameter);
  if (invalid && (flags & kMbErrInvalidChars)) return Fail(kErrorNoUnicodeTranslation);
  return Deliver(out, target, targetSize);
}

int WideToMultiByte(std::uint32_t codePage, std::uint32_t flags, const char16_t* source, int sourceLength,
                    char* target, int targetSize, const char* defaultChar, int* usedDefaultChar) {
  if (!source || sourceLength == 0 || sourceLength < -1 || targetSize < 0 || (targetSize > 0 && !target)) {
    return Fail(kErrorInvalidParameter);
  }
  codePage = Resolve(codePage);
  if (!WcFlagsValid(codePage, flags)) return Fail(kErrorInvalidFlags);
  if (IsUtf8Like(codePage) && (defaultChar || usedDefaultChar)) return Fail(kErrorInvalidParameter);
  std::size_t n = 0;
  if (sourceLength == -1) {
    while (source[n]) ++n;
    ++n;
  } else {
    n = static_cast<std::size_t>(sourceLength);
  }
  std::string out;
  bool invalid = false;
  bool usedDefault = false;
  if (!Encode(codePage, source, n, defaultChar ? *defaultChar : '?', out, invalid, usedDefault)) {
    return Fail(kErrorInvalidParameter);
  }
  if (invalid && (flags & kWcErrInvalidChars)) return Fail(kErrorNoUnicodeTranslation);
  if (usedDefaultChar) *usedDefaultChar = usedDefault ? 1 : 0;
  return Deliver(out, target, targetSize);
}

namespace detail {

char16_t LowerCaseUnit(char16_t unit) {
  // The C locale maps only ASCII; the built-in UTF-8 locale carries the simple mappings of the whole repertoire.
  static const locale_t sLocale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  if (unit >= 0xD800 && unit <= 0xDFFF) return unit;
  if (!sLocale) return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + 32) : unit;
  const wint_t lower = towlower_l(unit, sLocale);
  return lower <= 0xFFFF ? static_cast<char16_t>(lower) : unit;
}

}  // namespace detail

}  // namespace platform
