#include "platform/message_format.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/last_error.h"
#include "platform/posix/utf.h"

namespace platform {

namespace {

// The most characters a message's output buffer holds (64 KB of UTF-16 with its terminator). Patterns come from the
// runtime's message callback, so a width or precision is outside input: beyond this it is cut to it.
constexpr int kMaxMessageUnits = 32767;

// How one insert reads its argument.
enum class ArgKind { kNone, kWideText, kNarrowText, kInt32, kInt64, kPointer, kChar };

struct Insert {
  ArgKind kind = ArgKind::kNone;
  std::string flags;      // printf flags ("-+0 #"), without width and precision
  bool hasPrecision = false;
  int precision = 0;
  int width = 0;
  bool leftAlign = false;
  char conversion = 's';
  std::string sizePrefix;  // as the C library spells it ("ll", "" ...)
};

union Argument {
  const char16_t* wide;
  const char* narrow;
  std::int32_t i32;
  std::int64_t i64;  // also pointer-size values
};

// Parses the text between the two '!' of an insert; false for what FormatMessageW rejects.
bool ParseSpec(const std::u16string& spec, Insert& insert) {
  std::size_t i = 0;
  std::string flags;
  while (i < spec.size() && std::strchr("-+0 #", static_cast<char>(spec[i])) && spec[i] < 0x80) {
    if (spec[i] == u'-') insert.leftAlign = true;
    flags += static_cast<char>(spec[i++]);
  }
  const auto readNumber = [&](int& number) {
    for (; i < spec.size() && spec[i] >= u'0' && spec[i] <= u'9'; ++i) {
      number = std::min(number * 10 + (spec[i] - u'0'), kMaxMessageUnits);
    }
  };
  readNumber(insert.width);
  if (i < spec.size() && spec[i] == u'.') {
    ++i;
    insert.hasPrecision = true;
    readNumber(insert.precision);
  }
  insert.flags = flags;
  bool wide64 = false;
  bool pointerSized = false;
  bool shortPrefix = false;
  bool longPrefix = false;
  if (spec.compare(i, 3, u"I64") == 0) {
    wide64 = true;
    i += 3;
  } else if (spec.compare(i, 3, u"I32") == 0) {
    i += 3;
  } else if (spec.compare(i, 2, u"ll") == 0) {
    wide64 = true;
    i += 2;
  } else if (i < spec.size() && spec[i] == u'I') {
    pointerSized = true;
    ++i;
  } else if (i < spec.size() && (spec[i] == u'l' || spec[i] == u'w')) {
    longPrefix = true;
    ++i;
  } else if (i < spec.size() && spec[i] == u'h') {
    shortPrefix = true;
    ++i;
  }
  if (i + 1 != spec.size()) return false;
  const char16_t c = spec[i];
  insert.conversion = static_cast<char>(c);
  switch (c) {
    case u's':
      insert.kind = shortPrefix ? ArgKind::kNarrowText : ArgKind::kWideText;
      return true;
    case u'S':
      insert.kind = longPrefix ? ArgKind::kWideText : ArgKind::kNarrowText;
      return true;
    case u'c':
    case u'C':
      insert.kind = ArgKind::kChar;
      return true;
    case u'd':
    case u'i':
    case u'u':
    case u'x':
    case u'X':
    case u'o':
      insert.kind = wide64 ? ArgKind::kInt64 : pointerSized ? ArgKind::kPointer : ArgKind::kInt32;
      insert.sizePrefix = (wide64 || pointerSized) ? "ll" : "";
      return true;
    case u'p':
      insert.kind = ArgKind::kPointer;
      return true;
    default:
      return false;
  }
}

// Narrow inserts are in the ANSI page, as every other narrow text of the system.
std::u16string FromAnsi(const char* text) {
  const int needed = MultiByteToWide(kCodePageAnsi, 0, text, -1, nullptr, 0);
  if (needed <= 1) return std::u16string();
  std::u16string wide(static_cast<std::size_t>(needed), u'\0');
  const int written = MultiByteToWide(kCodePageAnsi, 0, text, -1, wide.data(), needed);
  wide.resize(written > 0 ? static_cast<std::size_t>(written) - 1 : 0);
  return wide;
}

std::u16string Pad(std::u16string text, const Insert& insert) {
  if (insert.hasPrecision && text.size() > static_cast<std::size_t>(insert.precision)) text.resize(insert.precision);
  if (text.size() < static_cast<std::size_t>(insert.width)) {
    const std::u16string padding(insert.width - text.size(), u' ');
    text = insert.leftAlign ? text + padding : padding + text;
  }
  return text;
}

std::u16string Render(const Insert& insert, const Argument& argument) {
  switch (insert.kind) {
    case ArgKind::kWideText:
      return Pad(argument.wide ? std::u16string(argument.wide) : std::u16string(u"(null)"), insert);
    case ArgKind::kNarrowText:
      return Pad(argument.narrow ? FromAnsi(argument.narrow) : std::u16string(u"(null)"), insert);
    case ArgKind::kChar:
      return Pad(std::u16string(1, static_cast<char16_t>(argument.i32)), insert);
    case ArgKind::kPointer:
      if (insert.conversion == 'p') {
        char buffer[32];
        std::snprintf(buffer, sizeof(buffer), "%0*llX", static_cast<int>(2 * sizeof(void*)),
                      static_cast<unsigned long long>(argument.i64));
        return posix::ToUtf16(buffer);
      }
      [[fallthrough]];
    default: {
      std::string format = "%" + insert.flags;
      if (insert.width) format += std::to_string(insert.width);
      if (insert.hasPrecision) {
        format += '.';
        format += std::to_string(insert.precision);
      }
      format += insert.sizePrefix + insert.conversion;
      // Measured first: a width of thousands of characters is as valid as a short one.
      const auto print = [&](char* buffer, std::size_t size) {
        return insert.kind == ArgKind::kInt32
                   ? std::snprintf(buffer, size, format.c_str(), argument.i32)
                   : std::snprintf(buffer, size, format.c_str(), static_cast<long long>(argument.i64));
      };
      const int length = print(nullptr, 0);
      if (length <= 0) return std::u16string();
      std::string buffer(static_cast<std::size_t>(length) + 1, '\0');
      print(buffer.data(), buffer.size());
      buffer.resize(static_cast<std::size_t>(length));
      return posix::ToUtf16(buffer.c_str());
    }
  }
}

char16_t* CopyOut(const std::u16string& text) {
  auto* out = static_cast<char16_t*>(std::malloc((text.size() + 1) * sizeof(char16_t)));
  if (!out) return nullptr;
  std::memcpy(out, text.data(), text.size() * sizeof(char16_t));
  out[text.size()] = 0;
  return out;
}

struct SystemText {
  std::uint32_t code;
  const char16_t* text;
};

// The system's own wording of the codes the POSIX layer produces.
constexpr SystemText kSystemTexts[] = {
    {2, u"The system cannot find the file specified."},
    {3, u"The system cannot find the path specified."},
    {4, u"The system cannot open the file."},
    {5, u"Access is denied."},
    {6, u"The handle is invalid."},
    {8, u"Not enough memory resources are available to process this command."},
    {14, u"Not enough memory resources are available to complete this operation."},
    {15, u"The system cannot find the drive specified."},
    {32, u"The process cannot access the file because it is being used by another process."},
    {33, u"The process cannot access the file because another process has locked a portion of the file."},
    {38, u"Reached the end of the file."},
    {39, u"The disk is full."},
    {80, u"The file exists."},
    {87, u"The parameter is incorrect."},
    {112, u"There is not enough space on the disk."},
    {122, u"The data area passed to a system call is too small."},
    {123, u"The filename, directory name, or volume label syntax is incorrect."},
    {126, u"The specified module could not be found."},
    {127, u"The specified procedure could not be found."},
    {158, u"The segment is already unlocked."},
    {183, u"Cannot create a file when that file already exists."},
    {206, u"The filename or extension is too long."},
    {267, u"The directory name is invalid."},
};

}  // namespace

static std::uint32_t FormatPattern(const char16_t* pattern, va_list* arguments, char16_t** out) {
  *out = nullptr;
  if (!pattern) {
    SetLastErrorCode(kErrorInvalidParameter);
    return 0;
  }
  // First pass: what each insert number reads, so that the arguments can be taken in order with their own types.
  std::vector<Insert> inserts(100);
  std::u16string text(pattern);
  struct Piece {
    std::u16string literal;
    int insert = 0;  // 0 = literal only
    Insert format;
  };
  std::vector<Piece> pieces;
  std::u16string literal;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'%') {
      literal += text[i];
      continue;
    }
    if (++i >= text.size()) break;
    const char16_t c = text[i];
    if (c >= u'1' && c <= u'9') {
      int number = c - u'0';
      if (i + 1 < text.size() && text[i + 1] >= u'0' && text[i + 1] <= u'9') number = number * 10 + (text[++i] - u'0');
      Insert insert;
      if (i + 1 < text.size() && text[i + 1] == u'!') {
        const std::size_t close = text.find(u'!', i + 2);
        if (close == std::u16string::npos || !ParseSpec(text.substr(i + 2, close - i - 2), insert)) {
          SetLastErrorCode(kErrorInvalidParameter);
          return 0;
        }
        i = close;
      } else {
        insert.kind = ArgKind::kWideText;
      }
      if (inserts[number].kind == ArgKind::kNone) inserts[number] = insert;
      // The argument is read once, as its first use names it. A later use naming another kind shows it as the first
      // use does: the pattern comes from outside, and a number must never be taken for the address of a text.
      if (insert.kind != inserts[number].kind) insert = inserts[number];
      pieces.push_back({literal, number, insert});
      literal.clear();
    } else if (c == u'0') {
      break;
    } else if (c == u'n') {
      literal += u"\r\n";
    } else if (c == u'r') {
      literal += u'\r';
    } else if (c == u't') {
      literal += u'\t';
    } else {
      literal += c;  // %% %. %! %space and any other character stand for themselves
    }
  }
  pieces.push_back({literal, 0, {}});

  int highest = 0;
  for (int n = 1; n < 100; ++n) {
    if (inserts[n].kind != ArgKind::kNone) highest = n;
  }
  std::vector<Argument> values(highest + 1);
  if (highest > 0) {
    if (!arguments) {
      SetLastErrorCode(kErrorInvalidParameter);
      return 0;
    }
    for (int n = 1; n <= highest; ++n) {
      switch (inserts[n].kind) {
        case ArgKind::kWideText: values[n].wide = va_arg(*arguments, const char16_t*); break;
        case ArgKind::kNarrowText: values[n].narrow = va_arg(*arguments, const char*); break;
        case ArgKind::kInt32:
        case ArgKind::kChar: values[n].i32 = va_arg(*arguments, std::int32_t); break;
        case ArgKind::kInt64: values[n].i64 = va_arg(*arguments, std::int64_t); break;
        // A number no insert uses still takes its argument's place, as a pointer-size value.
        case ArgKind::kPointer:
        case ArgKind::kNone: values[n].i64 = va_arg(*arguments, std::intptr_t); break;
      }
    }
  }

  // The whole message fits the same 64 KB buffer as each insert: a pattern of many wide inserts would otherwise ask
  // for thousands of times its own size. Beyond it the call fails as the system's formatter does.
  std::u16string result;
  for (const Piece& piece : pieces) {
    result += piece.literal;
    if (piece.insert) result += Render(piece.format, values[piece.insert]);
    if (result.size() > static_cast<std::size_t>(kMaxMessageUnits)) {
      SetLastErrorCode(kErrorInsufficientBuffer);
      return 0;
    }
  }
  if (result.empty()) {
    SetLastErrorCode(kErrorSuccess);
    return 0;
  }
  *out = CopyOut(result);
  if (!*out) {
    SetLastErrorCode(kErrorNotEnoughMemory);
    return 0;
  }
  return static_cast<std::uint32_t>(result.size());
}

std::uint32_t FormatMessageFromPattern(const char16_t* pattern, va_list* arguments, char16_t** out) {
  // The pieces are worked on in standard containers: memory they cannot get is the same failure as memory for the
  // result, answered with 8, never an exception into a caller that expects 0.
  try {
    return FormatPattern(pattern, arguments, out);
  } catch (const std::bad_alloc&) {
    *out = nullptr;
    SetLastErrorCode(kErrorNotEnoughMemory);
    return 0;
  }
}

std::uint32_t FormatSystemMessage(std::uint32_t code, char16_t** out) {
  *out = nullptr;
  for (const SystemText& entry : kSystemTexts) {
    if (entry.code == code) {
      *out = CopyOut(std::u16string(entry.text) + u"\r\n");
      if (!*out) {
        SetLastErrorCode(kErrorNotEnoughMemory);
        return 0;
      }
      return static_cast<std::uint32_t>(std::char_traits<char16_t>::length(*out));
    }
  }
  constexpr std::uint32_t kErrorMrMidNotFound = 317;  // "the message number was not found"
  SetLastErrorCode(kErrorMrMidNotFound);
  return 0;
}

void FreeMessageText(char16_t* text) { std::free(text); }

}  // namespace platform
