// Code pages on POSIX: 1252 by its table, 65001 by the backend's UTF-8 codec, every other Windows page through iconv
// under its "CP<n>" name, with descriptors kept open for reuse. Output goes straight into the caller's target, and a
// measuring call only counts. There are no best-fit tables: a character a page lacks always becomes the default
// character, with or without the no-best-fit flag.
#include "platform/code_page.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <type_traits>

#include "platform/last_error.h"
#include "platform/utf8.h"

namespace platform {

namespace {

// Units 0x80-0x9F of page 1252; the five bytes Windows leaves unassigned map to the control code of the same value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Every byte of page 1252 as its unit.
constexpr auto kCp1252ToWide = [] {
  std::array<char16_t, 256> table{};
  for (int b = 0; b < 256; ++b) table[b] = b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
  return table;
}();

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

// UTF-16 in the host's byte order, so that iconv reads and writes char16_t text in place.
constexpr const char* kUtf16Name = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// Open descriptors kept for reuse: opening one costs far more than a short conversion. A slot is claimed for one
// page and direction for good and holds at most one idle descriptor; a caller takes it by exchanging it for null,
// so threads never share a descriptor, and one that finds no idle descriptor opens its own (closing it afterwards
// when every slot of its kind is busy). The table is constant-initialised and trivially destructible, and the
// descriptors are never closed: the library may be called until the process is gone, even from other libraries'
// exit code, so nothing here may be torn down at exit. Every conversion through iconv reads and writes the slots,
// from any thread, with atomic operations only (no lock).
struct DescriptorSlot {
  std::atomic<std::uint64_t> key;  // 0 while unclaimed
  std::atomic<iconv_t> cd;         // null while in use or not yet opened
};
static_assert(std::is_trivially_destructible_v<DescriptorSlot>);
constinit DescriptorSlot gDescriptorSlots[32] = {};

class Descriptor {
 public:
  Descriptor(std::uint32_t codePage, bool toWide) : m_key((std::uint64_t{codePage} << 1 | toWide) + 1) {
    for (DescriptorSlot& slot : gDescriptorSlots) {
      if (slot.key.load(std::memory_order_acquire) != m_key) continue;
      m_cd = slot.cd.exchange(nullptr, std::memory_order_acq_rel);
      if (m_cd) return;
    }
    const std::string page = IconvName(codePage);
    m_cd = toWide ? iconv_open(kUtf16Name, page.c_str()) : iconv_open(page.c_str(), kUtf16Name);
    if (m_cd == reinterpret_cast<iconv_t>(-1)) m_cd = nullptr;
  }
  ~Descriptor() {
    if (!m_cd) return;
    iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state for the next caller
    for (DescriptorSlot& slot : gDescriptorSlots) {
      std::uint64_t key = slot.key.load(std::memory_order_acquire);
      if (key == 0 && slot.key.compare_exchange_strong(key, m_key, std::memory_order_acq_rel)) key = m_key;
      if (key != m_key) continue;
      iconv_t idle = nullptr;
      if (slot.cd.compare_exchange_strong(idle, m_cd, std::memory_order_acq_rel)) return;
    }
    iconv_close(m_cd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  iconv_t Get() const { return m_cd; }

 private:
  std::uint64_t m_key;
  iconv_t m_cd = nullptr;
};

// Where a conversion's output goes: into the caller's target while it fits, then only counted, so that a measuring
// call (no target) writes nothing and a target too small still learns the full size.
template <typename Unit>
class Output {
 public:
  Output(Unit* target, std::size_t capacity) : m_target(target), m_capacity(target ? capacity : 0) {}
  void Put(Unit unit) {
    if (m_count < m_capacity && !m_closed) m_target[m_count] = unit;
    ++m_count;
  }
  std::size_t Count() const { return m_count; }
  bool Overflowed() const { return m_target && m_count > m_capacity; }

  // Room for `most` units written without a check each (null when the target has less), then where they ended.
  Unit* Reserve(std::size_t most) {
    return !m_closed && m_count <= m_capacity && m_capacity - m_count >= most ? m_target + m_count : nullptr;
  }
  void Commit(const Unit* end) { m_count = static_cast<std::size_t>(end - m_target); }

  // iconv writes bytes: the room left in the target, or a scratch area once the target is closed or absent.
  char* Room(std::size_t& bytes) {
    if (m_closed || m_count >= m_capacity) {
      bytes = sizeof m_scratch;
      return m_scratch;
    }
    bytes = (m_capacity - m_count) * sizeof(Unit);
    return reinterpret_cast<char*>(m_target + m_count);
  }
  // Takes account of what iconv wrote into the Room; `cramped` when it stopped for want of room, which closes the
  // target (the rest of its room is too small for the next character, and the call fails for it anyway).
  void Wrote(std::size_t bytes, bool cramped) {
    m_count += bytes / sizeof(Unit);
    if (cramped) m_closed = true;
  }

 private:
  Unit* m_target;
  std::size_t m_capacity;
  std::size_t m_count = 0;
  bool m_closed = false;
  char m_scratch[512];
};

// Writes into a target already known to be large enough.
template <typename Unit>
struct UncheckedOutput {
  Unit* at;
  void Put(Unit unit) { *at++ = unit; }
};

// Runs a conversion loop (given the output to Put to) unchecked when the target holds `most` units, else checked.
template <typename Unit, typename Loop>
void WriteAll(Output<Unit>& out, std::size_t most, Loop loop) {
  if (Unit* start = out.Reserve(most)) {
    UncheckedOutput<Unit> unchecked{start};
    loop(unchecked);
    out.Commit(unchecked.at);
  } else {
    loop(out);
  }
}

// Runs n bytes through a descriptor into out, then flushes its shift state. At a sequence that does not convert,
// `substitute` (given the input position) writes the replacement and answers how many input bytes to pass over.
template <typename Unit, typename Substitute>
void RunIconv(iconv_t cd, const char* in, std::size_t n, Output<Unit>& out, Substitute substitute) {
  char* i = const_cast<char*>(in);
  for (;;) {
    std::size_t room = 0;
    char* o = out.Room(room);
    char* const start = o;
    const bool flushing = n == 0;
    const std::size_t r = flushing ? iconv(cd, nullptr, nullptr, &o, &room) : iconv(cd, &i, &n, &o, &room);
    const bool failed = r == static_cast<std::size_t>(-1);
    const int error = errno;
    out.Wrote(static_cast<std::size_t>(o - start), failed && error == E2BIG);
    if (failed && error == E2BIG) continue;
    if (flushing) return;
    if (!failed) continue;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const std::size_t skip = std::min(n, substitute(i));
    i += skip;
    n -= skip;
  }
}

// Page 1252's byte for a unit; -1 for a unit it lacks.
int Cp1252Byte(char16_t u) {
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return u;
  for (int k = 0; k < 32; ++k) {
    if (kCp1252High[k] == u) return 0x80 + k;
  }
  return -1;
}

template <typename Out>
void PutUtf16(Out& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out.Put(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.Put(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out.Put(static_cast<char16_t>(c));
  }
}

// Decodes n bytes; answers false for an unknown page. `invalid` tells whether a byte had no character.
bool Decode(std::uint32_t codePage, const char* source, std::size_t n, Output<char16_t>& out, bool& invalid) {
  invalid = false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(source);
  if (codePage == kCodePage1252) {
    WriteAll(out, n, [&](auto& to) {
      for (std::size_t i = 0; i < n; ++i) to.Put(kCp1252ToWide[bytes[i]]);
    });
    return true;
  }
  if (codePage == kCodePageUtf8) {
    // Never more units than bytes.
    WriteAll(out, n, [&](auto& to) {
      for (std::size_t i = 0, used = 0; i < n; i += used) {
        const unsigned char b = bytes[i];
        used = 1;
        if (b < 0x80) {
          to.Put(b);
        } else if (b >= 0xC2 && b <= 0xDF && i + 1 < n && (bytes[i + 1] & 0xC0) == 0x80) {
          to.Put(static_cast<char16_t>((b & 0x1F) << 6 | (bytes[i + 1] & 0x3F)));  // the common two-byte form
          used = 2;
        } else {
          char32_t c = DecodeUtf8(source + i, n - i, used);
          if (c == kInvalidCodePoint) {
            invalid = true;
            c = 0xFFFD;
          }
          PutUtf16(to, c);
        }
      }
    });
    return true;
  }
  const Descriptor cd(codePage, true);
  if (!cd.Get()) return false;
  // A byte that starts no character becomes "?" (the pages' usual default) and the walk goes on behind it.
  RunIconv(cd.Get(), source, n, out, [&](const char*) {
    invalid = true;
    out.Put(u'?');
    return std::size_t{1};
  });
  return true;
}

// Encodes n units; answers false for an unknown page. Characters the page lacks become defaultChar; `invalid` tells
// whether an unpaired surrogate was met, `usedDefault` whether the default character was used.
bool Encode(std::uint32_t codePage, const char16_t* source, std::size_t n, char defaultChar, Output<char>& out,
            bool& invalid, bool& usedDefault) {
  invalid = usedDefault = false;
  if (codePage == kCodePageUtf8) {
    // At most three bytes per unit: a surrogate pair, two units, takes four.
    WriteAll(out, 3 * n, [&](auto& to) {
      char bytes[4];
      for (std::size_t i = 0, used = 0; i < n; i += used) {
        used = 1;
        if (source[i] < 0x80) {
          to.Put(static_cast<char>(source[i]));
          continue;
        }
        char32_t c = DecodeUtf16(source + i, n - i, used);
        if (c == kInvalidCodePoint) {
          invalid = true;
          c = 0xFFFD;
        }
        const std::size_t k = EncodeUtf8(c, bytes);
        for (std::size_t b = 0; b < k; ++b) to.Put(bytes[b]);
      }
    });
    return true;
  }
  if (codePage == kCodePage1252) {
    WriteAll(out, n, [&](auto& to) {
      for (std::size_t i = 0; i < n; ++i) {
        const char16_t u = source[i];
        const int byte = Cp1252Byte(u);
        if (byte < 0) {
          usedDefault = true;
          // A valid surrogate pair is one character and takes one default character.
          if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && source[i + 1] >= 0xDC00 && source[i + 1] <= 0xDFFF) ++i;
          to.Put(defaultChar);
        } else {
          to.Put(static_cast<char>(byte));
        }
      }
    });
    return true;
  }
  const Descriptor cd(codePage, false);
  if (!cd.Get()) return false;
  const char* start = reinterpret_cast<const char*>(source);
  RunIconv(cd.Get(), start, n * sizeof(char16_t), out, [&](const char* at) {
    usedDefault = true;
    out.Put(defaultChar);
    const std::size_t unit = static_cast<std::size_t>(at - start) / sizeof(char16_t);
    std::size_t used = 1;
    DecodeUtf16(source + unit, n - unit, used);
    return used * sizeof(char16_t);
  });
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
int Deliver(const Output<Unit>& out) {
  if (out.Count() > static_cast<std::size_t>(INT_MAX)) return Fail(kErrorInvalidParameter);
  if (out.Overflowed()) return Fail(kErrorInsufficientBuffer);
  return static_cast<int>(out.Count());
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
  Output<char16_t> out(target, static_cast<std::size_t>(targetSize));
  bool invalid = false;
  if (!Decode(codePage, source, n, out, invalid)) return Fail(kErrorInvalidParameter);
  if (invalid && (flags & kMbErrInvalidChars)) return Fail(kErrorNoUnicodeTranslation);
  return Deliver(out);
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
  Output<char> out(target, static_cast<std::size_t>(targetSize));
  bool invalid = false;
  bool usedDefault = false;
  if (!Encode(codePage, source, n, defaultChar ? *defaultChar : '?', out, invalid, usedDefault)) {
    return Fail(kErrorInvalidParameter);
  }
  if (invalid && (flags & kWcErrInvalidChars)) return Fail(kErrorNoUnicodeTranslation);
  if (usedDefaultChar) *usedDefaultChar = usedDefault ? 1 : 0;
  return Deliver(out);
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
