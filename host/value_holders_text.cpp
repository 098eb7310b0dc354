// Text holders: single characters (17, 81), the fixed digit texts of dates and times (24, 25, 128, 129), heap texts
// the value owns (18, 110) and references on the runtime's reference-counted strings (16, 19, 28). 8-bit text is in
// code page 1252 unless a code page is given. The inline storage may sit at any address, so texts kept in it are
// moved through local copies; the text pointers handed out are the runtime's contract.
#include <cstdlib>
#include <cstring>

#include "foundation/code_pages.h"
#include "foundation/text_utils.h"
#include "host/execution.h"
#include "host/host_string.h"
#include "host/value_holders.h"

namespace holder {
namespace {

template <class Unit>
std::size_t LengthOf(const Unit* text) {
  std::size_t n = 0;
  if (text) {
    while (text[n]) ++n;
  }
  return n;
}

// A length of -1 (or any negative one) reads up to the terminator.
template <class Unit>
std::size_t MeasuredLength(const Unit* text, std::ptrdiff_t length) {
  if (!text) return 0;
  return length < 0 ? LengthOf(text) : static_cast<std::size_t>(length);
}

template <class T>
void WritePointer(void* out, T* pointer) {
  std::memcpy(out, &pointer, sizeof(pointer));
}

// ---- 17, 81: one character and a terminator -------------------------------------------------------------------
template <std::uint8_t Code, class Unit>
struct TCharHolder : TInlineHolder<Code, sizeof(Unit)> {
  // The terminator after the character is zeroed once and never written again.
  static void Construct(CHostValueHolder* self) { std::memset(Storage(self), 0, 2 * sizeof(Unit)); }
  static void Put(CHostValueHolder* self, Unit unit) { Store<Unit>(self, unit); }
  static std::int32_t QZ_HOLDER_CALL nGetLength(CHostValueHolder*, std::size_t* out) { return Answer(out, 1); }
};

struct CACharHolder : TCharHolder<HOST_TYPE_ACHAR, char> {
  static std::int32_t QZ_HOLDER_CALL nGetNarrowText(CHostValueHolder* self, const char** out) {
    *out = static_cast<const char*>(Storage(self));
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL SetFromWideZCp(CHostValueHolder* self, std::uint32_t codePage,
                                                    const char16_t* text) {
    Put(self, text && text[0] ? chWideToCodePage(text[0], codePage) : '\0');
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL SetFromWideZ(CHostValueHolder* self, const char16_t* text) {
    return SetFromWideZCp(self, CODE_PAGE_ANSI, text);
  }
  static std::int32_t QZ_HOLDER_CALL SetFromWideCp(CHostValueHolder* self, std::uint32_t codePage,
                                                   const char16_t* text, std::ptrdiff_t size) {
    return SetFromWideZCp(self, codePage, size >= 2 || size < 0 ? text : nullptr);
  }
};

struct CWCharHolder : TCharHolder<HOST_TYPE_WCHAR, char16_t> {
  static std::int32_t QZ_HOLDER_CALL nGetWideText(CHostValueHolder* self, const char16_t** out) {
    *out = static_cast<const char16_t*>(Storage(self));
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL SetFromNarrowCp(CHostValueHolder* self, std::uint32_t codePage, const char* text,
                                                     std::ptrdiff_t length) {
    Put(self, MeasuredLength(text, length) > 0 && text[0] ? chCodePageToWide(text[0], codePage) : u'\0');
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL SetFromNarrowZCp(CHostValueHolder* self, std::uint32_t codePage,
                                                      const char* text) {
    return SetFromNarrowCp(self, codePage, text, -1);
  }
  static std::int32_t QZ_HOLDER_CALL SetFromNarrow(CHostValueHolder* self, const char* text, std::ptrdiff_t length) {
    return SetFromNarrowCp(self, CODE_PAGE_ANSI, text, length);
  }
  static std::int32_t QZ_HOLDER_CALL SetFromNarrowZ(CHostValueHolder* self, const char* text) {
    return SetFromNarrowCp(self, CODE_PAGE_ANSI, text, -1);
  }
};

// ---- 24, 25, 128, 129: the digits of a date (8) or a time (9) and a terminator --------------------------------
template <std::uint8_t Code, class Unit, std::size_t Digits, bool TimeDigits>
struct TDigitsHolder {
  static constexpr std::uint8_t kType = Code;
  static constexpr std::size_t kUnits = Digits + 1;
  struct SText {
    Unit units[kUnits];
  };

  static SText Text(const CHostValueHolder* self) { return Load<SText>(self); }
  // At most Digits units of the text, stopping at its terminator, then a terminator.
  static void Put(CHostValueHolder* self, const Unit* text, std::size_t limit) {
    SText value{};
    for (std::size_t i = 0; text && i < limit && i < Digits && text[i]; ++i) value.units[i] = text[i];
    Store(self, value);
  }
  static void Construct(CHostValueHolder* self) {
    SText value{};
    // A new time reads as midnight, a new date as no date.
    if (TimeDigits) {
      for (std::size_t i = 0; i < Digits; ++i) value.units[i] = Unit{'0'};
    }
    Store(self, value);
  }
  static std::int32_t QZ_HOLDER_CALL CopyTo(CHostValueHolder* self, CHostValue* target) {
    const SText text = Text(self);
    return CopyNativeTo(self, target, text.units);
  }
  static std::int32_t QZ_HOLDER_CALL nGetStorageSize(CHostValueHolder*, std::size_t* out) {
    return Answer(out, Digits * sizeof(Unit));
  }
  static std::int32_t QZ_HOLDER_CALL nGetSizeWithTerminator(CHostValueHolder*, std::size_t* out) {
    return Answer(out, kUnits * sizeof(Unit));
  }
  // Dates always report their eight digits; times what they hold.
  static std::int32_t QZ_HOLDER_CALL nGetDataSize(CHostValueHolder* self, std::size_t* out) {
    return Answer(out, (TimeDigits ? LengthOf(Text(self).units) : Digits) * sizeof(Unit));
  }
  // The digits are where a key or a column reads them from, so the storage is their data.
  static std::int32_t QZ_HOLDER_CALL nGetStorageAddress(CHostValueHolder* self, void** out) {
    *out = Storage(self);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nGetDataPointer(CHostValueHolder* self, const void** out) {
    *out = Storage(self);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nGet(CHostValueHolder* self, void* out) {
    std::memcpy(out, Storage(self), Digits * sizeof(Unit));
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nCopyWithTerminator(CHostValueHolder* self, void* destination) {
    const SText text = Text(self);
    std::memcpy(destination, text.units, (LengthOf(text.units) + 1) * sizeof(Unit));
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nCopyData(CHostValueHolder* self, void* destination) {
    return nCopyWithTerminator(self, destination);
  }
  static std::int32_t QZ_HOLDER_CALL Set(CHostValueHolder* self, const void* native) {
    Put(self, static_cast<const Unit*>(native), Digits);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL SetFromBuffer(CHostValueHolder* self, const void* data, std::size_t size) {
    Put(self, static_cast<const Unit*>(data), size / sizeof(Unit));
    return HOST_OK;
  }
};

template <std::uint8_t Code, bool TimeDigits>
struct TWideDigitsHolder : TDigitsHolder<Code, char16_t, TimeDigits ? 9 : 8, TimeDigits> {
  using Base = TDigitsHolder<Code, char16_t, TimeDigits ? 9 : 8, TimeDigits>;
  static std::int32_t QZ_HOLDER_CALL nGetWideText(CHostValueHolder* self, const char16_t** out) {
    *out = static_cast<const char16_t*>(Storage(self));
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL SetFromNarrow(CHostValueHolder* self, const char* text, std::ptrdiff_t length) {
    char16_t units[Base::kUnits] = {};
    const std::size_t n = MeasuredLength(text, length);
    for (std::size_t i = 0; i < n && i < Base::kUnits - 1; ++i) units[i] = chCodePageToWide(text[i], CODE_PAGE_ANSI);
    Base::Put(self, units, Base::kUnits - 1);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL SetFromNarrowZ(CHostValueHolder* self, const char* text) {
    return SetFromNarrow(self, text, -1);
  }
};

template <std::uint8_t Code, bool TimeDigits>
struct TNarrowDigitsHolder : TDigitsHolder<Code, char, TimeDigits ? 9 : 8, TimeDigits> {
  using Base = TDigitsHolder<Code, char, TimeDigits ? 9 : 8, TimeDigits>;
  static std::int32_t QZ_HOLDER_CALL nGetNarrowText(CHostValueHolder* self, const char** out) {
    *out = static_cast<const char*>(Storage(self));
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL SetFromWideZ(CHostValueHolder* self, const char16_t* text) {
    char bytes[Base::kUnits] = {};
    const std::size_t n = LengthOf(text);
    for (std::size_t i = 0; i < n && i < Base::kUnits - 1; ++i) bytes[i] = chWideToCodePage(text[i], CODE_PAGE_ANSI);
    Base::Put(self, bytes, Base::kUnits - 1);
    return HOST_OK;
  }
};

// ---- 18, 110: a zero-terminated text on the heap, owned by the value ----------------------------------------
template <std::uint8_t Code, class Unit>
struct THeapTextHolder {
  static constexpr std::uint8_t kType = Code;
  static constexpr Unit kEmpty[1] = {Unit{0}};

  static Unit* Text(const CHostValueHolder* self) { return Load<Unit*>(self); }
  static const Unit* TextOrEmpty(const CHostValueHolder* self) {
    const Unit* text = Text(self);
    return text ? text : kEmpty;
  }
  // The new text is in place before the old one is freed, so a value can be set from its own text.
  static void Replace(CHostValueHolder* self, Unit* text) {
    Unit* old = Text(self);
    Store<Unit*>(self, text);
    ::FreeText(old);
  }
  static Unit* Duplicate(std::size_t n, const Unit* text) {
    if constexpr (sizeof(Unit) == 1) {
      return pszDupNA(n, text);
    } else {
      return pszDupNW(n, text);
    }
  }

  static void Construct(CHostValueHolder* self) { Store<Unit*>(self, nullptr); }
  static void QZ_HOLDER_CALL Destroy(CHostValueHolder* self, std::uint32_t) {
    ::FreeText(Text(self));
    ResetToBase(self);
  }
  static std::int32_t QZ_HOLDER_CALL CopyTo(CHostValueHolder* self, CHostValue* target) {
    return CopyNativeTo(self, target, Text(self));
  }
  // Null for a missing or empty text. A copy that cannot be made keeps the old text and answers 108.
  static std::int32_t QZ_HOLDER_CALL SetOwnedCopyN(CHostValueHolder* self, const void* data, std::size_t length) {
    const auto* text = static_cast<const Unit*>(data);
    Unit* copy = nullptr;
    if (length > 0 && text && text[0]) {  // a text of no characters is not read
      copy = Duplicate(length, text);
      if (!copy) return HOST_ERR_TOO_LONG;
    }
    Replace(self, copy);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL SetOwnedCopy(CHostValueHolder* self, const void* text) {
    return SetOwnedCopyN(self, text, LengthOf(static_cast<const Unit*>(text)));
  }
  static void QZ_HOLDER_CALL FreeText(CHostValueHolder* self) { Replace(self, nullptr); }
  static std::int32_t QZ_HOLDER_CALL Set(CHostValueHolder* self, const void* native) {
    return SetOwnedCopy(self, native);
  }
  static std::int32_t QZ_HOLDER_CALL SetFromBuffer(CHostValueHolder* self, const void* data, std::size_t size) {
    return SetOwnedCopyN(self, data, size / sizeof(Unit));
  }
  // Flag bit 0 reserves a zeroed text of `length` characters and copies what fits of the given one into it.
  static std::int32_t QZ_HOLDER_CALL SetFromTextEx(CHostValueHolder* self, const void* data, std::ptrdiff_t length,
                                                   std::uint32_t flags) {
    const std::size_t n = length > 0 ? static_cast<std::size_t>(length) : 0;
    if (!(flags & 1)) return SetOwnedCopyN(self, data, n);
    Unit* reserved = static_cast<Unit*>(std::calloc(n + 1, sizeof(Unit)));
    if (!reserved) return HOST_ERR_TOO_LONG;
    const auto* text = static_cast<const Unit*>(data);
    for (std::size_t i = 0; text && i < n && text[i]; ++i) reserved[i] = text[i];
    Replace(self, reserved);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nGet(CHostValueHolder* self, void* out) {
    WritePointer(out, TextOrEmpty(self));
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nGetDataPointer(CHostValueHolder* self, const void** out) {
    *out = TextOrEmpty(self);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nGetLength(CHostValueHolder* self, std::size_t* out) {
    return Answer(out, LengthOf(Text(self)));
  }
  static std::int32_t QZ_HOLDER_CALL nGetDataSize(CHostValueHolder* self, std::size_t* out) {
    return Answer(out, LengthOf(Text(self)) * sizeof(Unit));
  }
  static std::int32_t QZ_HOLDER_CALL nGetSizeWithTerminator(CHostValueHolder* self, std::size_t* out) {
    return Answer(out, (LengthOf(Text(self)) + 1) * sizeof(Unit));
  }
  static std::int32_t QZ_HOLDER_CALL nCopyWithTerminator(CHostValueHolder* self, void* destination) {
    const Unit* text = TextOrEmpty(self);
    std::memcpy(destination, text, (LengthOf(text) + 1) * sizeof(Unit));
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nCopyData(CHostValueHolder* self, void* destination) {
    if (const Unit* text = Text(self)) std::memcpy(destination, text, LengthOf(text) * sizeof(Unit));
    return HOST_OK;
  }
};

struct CNarrowTextHolder : THeapTextHolder<HOST_TYPE_ASTRING, char> {
  static std::int32_t QZ_HOLDER_CALL nGetNarrowText(CHostValueHolder* self, const char** out) {
    *out = TextOrEmpty(self);
    return HOST_OK;
  }
};

struct CWideTextHolder : THeapTextHolder<HOST_TYPE_TEXT, char16_t> {
  static std::int32_t QZ_HOLDER_CALL nGetWideText(CHostValueHolder* self, const char16_t** out) {
    *out = TextOrEmpty(self);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL SetFromNarrowCp(CHostValueHolder* self, std::uint32_t codePage, const char* text,
                                                     std::ptrdiff_t length) {
    const std::size_t n = MeasuredLength(text, length);
    if (n == 0) {
      Replace(self, nullptr);
      return HOST_OK;
    }
    char16_t* converted = pszCodePageToNewWide(text, n, codePage);
    if (!converted) return HOST_ERR_CANNOT_CONVERT;
    Replace(self, converted);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL SetFromNarrow(CHostValueHolder* self, const char* text, std::ptrdiff_t length) {
    return SetFromNarrowCp(self, CODE_PAGE_ANSI, text, length);
  }
  static std::int32_t QZ_HOLDER_CALL SetFromNarrowZ(CHostValueHolder* self, const char* text) {
    return SetFromNarrowCp(self, CODE_PAGE_ANSI, text, -1);
  }
  static std::int32_t QZ_HOLDER_CALL SetFromNarrowZCp(CHostValueHolder* self, std::uint32_t codePage,
                                                      const char* text) {
    return SetFromNarrowCp(self, codePage, text, -1);
  }
};

// ---- 16, 19, 28: a reference on a runtime string ------------------------------------------------------------
template <std::uint8_t Code>
struct TRuntimeStringHolder {
  static constexpr std::uint8_t kType = Code;

  static void* String(const CHostValueHolder* self) { return Load<void*>(self); }
  static std::uint32_t ByteLength(const CHostValueHolder* self) {
    void* string = String(self);
    return string ? CHostString::pHeader(string)->length : 0;
  }
  // Runs a string operation on the value's reference, which the string object borrows meanwhile.
  template <class S, class F>
  static std::int32_t Edit(CHostValueHolder* self, F operation) {
    S string;
    string.Pointer() = String(self);
    const std::int32_t code = operation(string);
    Store<void*>(self, string.Pointer());
    string.Pointer() = nullptr;
    return code;
  }

  static void Construct(CHostValueHolder* self) { Store<void*>(self, nullptr); }
  static void QZ_HOLDER_CALL Destroy(CHostValueHolder* self, std::uint32_t) {
    void* string = String(self);
    CHostString::Release(string);
    ResetToBase(self);
  }
  static std::int32_t QZ_HOLDER_CALL CopyTo(CHostValueHolder* self, CHostValue* target) {
    void* string = String(self);
    return CopyNativeTo(self, target, &string);
  }
  // The native value is the address of another string pointer: this value shares that string.
  static std::int32_t QZ_HOLDER_CALL Set(CHostValueHolder* self, const void* native) {
    void* source = nullptr;
    if (native) std::memcpy(&source, native, sizeof(source));
    void* string = String(self);
    CHostString::Assign(string, source);
    Store<void*>(self, string);
    return HOST_OK;
  }
  // The string pointer given by address lets go of what it held and shares this string.
  static std::int32_t QZ_HOLDER_CALL nGet(CHostValueHolder* self, void* out) {
    void* target = nullptr;
    std::memcpy(&target, out, sizeof(target));
    CHostString::Release(target);
    CHostString::Share(target, String(self));
    std::memcpy(out, &target, sizeof(target));
    return HOST_OK;
  }
};

struct CWStringHolder : TRuntimeStringHolder<HOST_TYPE_WSTRING> {
  static std::int32_t QZ_HOLDER_CALL SetFromBuffer(CHostValueHolder* self, const void* data, std::size_t size) {
    return Edit<CHostWString>(self, [&](CHostWString& string) {
      return string.nAssignText(static_cast<const char16_t*>(data), static_cast<std::int64_t>(size / 2));
    });
  }
  static std::int32_t QZ_HOLDER_CALL SetFromNarrowCp(CHostValueHolder* self, std::uint32_t codePage, const char* text,
                                                     std::ptrdiff_t length) {
    return Edit<CHostWString>(self, [&](CHostWString& string) {
      return CHostString::nToWide(string, text, length < 0 ? -1 : length, 0, codePage);
    });
  }
  // Without a code page, the runtime says which one the text is in.
  static std::int32_t QZ_HOLDER_CALL SetFromNarrow(CHostValueHolder* self, const char* text, std::ptrdiff_t length) {
    const std::uint32_t codePage = gpHostLocale ? gpHostLocale->nGetCodePageOfText(text, length) : CODE_PAGE_ANSI;
    return SetFromNarrowCp(self, codePage, text, length);
  }
  static std::int32_t QZ_HOLDER_CALL SetFromNarrowZ(CHostValueHolder* self, const char* text) {
    return SetFromNarrow(self, text, static_cast<std::ptrdiff_t>(LengthOf(text)));
  }
  static std::int32_t QZ_HOLDER_CALL SetFromNarrowZCp(CHostValueHolder* self, std::uint32_t codePage,
                                                      const char* text) {
    return SetFromNarrowCp(self, codePage, text, static_cast<std::ptrdiff_t>(LengthOf(text)));
  }
  static const char16_t* Characters(const CHostValueHolder* self) {
    const void* string = String(self);
    return string ? static_cast<const char16_t*>(string) : u"";
  }
  static std::int32_t QZ_HOLDER_CALL nGetWideText(CHostValueHolder* self, const char16_t** out) {
    *out = Characters(self);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nGetDataPointer(CHostValueHolder* self, const void** out) {
    *out = Characters(self);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nGetLength(CHostValueHolder* self, std::size_t* out) {
    return Answer(out, ByteLength(self) / 2);
  }
  static std::int32_t QZ_HOLDER_CALL nGetDataSize(CHostValueHolder* self, std::size_t* out) {
    return Answer(out, ByteLength(self));
  }
  static std::int32_t QZ_HOLDER_CALL nGetSizeWithTerminator(CHostValueHolder* self, std::size_t* out) {
    return Answer(out, ByteLength(self) + 2);
  }
};

struct CTextBufferHolder : TRuntimeStringHolder<HOST_TYPE_TEXT_BUFFER> {
  static std::int32_t QZ_HOLDER_CALL SetFromBuffer(CHostValueHolder* self, const void* data, std::size_t size) {
    return Edit<CHostString>(self, [&](CHostString& string) {
      return string.nAssignText(static_cast<const char*>(data), size);
    });
  }
  static std::int32_t QZ_HOLDER_CALL SetFromNarrow(CHostValueHolder* self, const char* text, std::ptrdiff_t length) {
    return SetFromBuffer(self, text, MeasuredLength(text, length));
  }
  static const char* Bytes(const CHostValueHolder* self) {
    const void* string = String(self);
    return string ? static_cast<const char*>(string) : "";
  }
  static std::int32_t QZ_HOLDER_CALL nGetNarrowText(CHostValueHolder* self, const char** out) {
    *out = Bytes(self);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nGetDataPointer(CHostValueHolder* self, const void** out) {
    *out = Bytes(self);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nGetLength(CHostValueHolder* self, std::size_t* out) {
    return Answer(out, ByteLength(self));
  }
  static std::int32_t QZ_HOLDER_CALL nGetDataSize(CHostValueHolder* self, std::size_t* out) {
    return Answer(out, ByteLength(self));
  }
  static std::int32_t QZ_HOLDER_CALL nGetSizeWithTerminator(CHostValueHolder* self, std::size_t* out) {
    return Answer(out, ByteLength(self) + 1);
  }
};

struct CBinaryBufferHolder : TRuntimeStringHolder<HOST_TYPE_BINARY_BUFFER> {
  static std::int32_t QZ_HOLDER_CALL SetFromBuffer(CHostValueHolder* self, const void* data, std::size_t size) {
    if (size >= HOST_STRING_LIMIT) return HOST_ERR_TOO_LONG;
    return Edit<CHostString>(self, [&](CHostString& string) {
      return string.nAssignBytes(data, static_cast<std::uint32_t>(size));
    });
  }
  static std::int32_t QZ_HOLDER_CALL SetFromNarrow(CHostValueHolder* self, const char* text, std::ptrdiff_t length) {
    return SetFromBuffer(self, text, MeasuredLength(text, length));
  }
  static std::int32_t QZ_HOLDER_CALL nGetDataPointer(CHostValueHolder* self, const void** out) {
    *out = String(self);
    return HOST_OK;
  }
  static std::int32_t QZ_HOLDER_CALL nGetDataSize(CHostValueHolder* self, std::size_t* out) {
    return Answer(out, ByteLength(self));
  }
  static std::int32_t QZ_HOLDER_CALL nGetSizeWithTerminator(CHostValueHolder* self, std::size_t* out) {
    return Answer(out, ByteLength(self));
  }
};

}  // namespace

const SHostValueHolderClass* pTextHolderClass(std::uint8_t type) {
  switch (type) {
    case HOST_TYPE_WSTRING: return &THolderClass<CWStringHolder>::kClass;
    case HOST_TYPE_ACHAR: return &THolderClass<CACharHolder>::kClass;
    case HOST_TYPE_ASTRING: return &THolderClass<CNarrowTextHolder>::kClass;
    case HOST_TYPE_TEXT_BUFFER: return &THolderClass<CTextBufferHolder>::kClass;
    case HOST_TYPE_WDATE: return &THolderClass<TWideDigitsHolder<HOST_TYPE_WDATE, false>>::kClass;
    case HOST_TYPE_WTIME: return &THolderClass<TWideDigitsHolder<HOST_TYPE_WTIME, true>>::kClass;
    case HOST_TYPE_BINARY_BUFFER: return &THolderClass<CBinaryBufferHolder>::kClass;
    case HOST_TYPE_WCHAR: return &THolderClass<CWCharHolder>::kClass;
    case HOST_TYPE_TEXT: return &THolderClass<CWideTextHolder>::kClass;
    case HOST_TYPE_ADATE: return &THolderClass<TNarrowDigitsHolder<HOST_TYPE_ADATE, false>>::kClass;
    case HOST_TYPE_ATIME: return &THolderClass<TNarrowDigitsHolder<HOST_TYPE_ATIME, true>>::kClass;
    default: return nullptr;
  }
}

}  // namespace holder
