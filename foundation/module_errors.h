// Raising this module's errors from the driver object, the connection layer and the tables: the error code with its
// message arguments, the file name (when given and not empty), information item 16 with the code, and the
// identification record "IEQZORA=<unit>.<point>". The error goes to the holder under the recorded code with the
// reporter (a connection adds its details); without a holder it is dumped as an ignored error and dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

class CConnection;
class CErrorHolder;
class CXError;

// A message insert: a UTF-16 text (null reads as empty) or a 32-bit number, as the message's inserts say. Anything
// else (a narrow text, a 64-bit or floating number) would be read from the wrong place, so it does not compile.
template <typename T>
concept ModuleErrorInsert = std::is_same_v<T, const char16_t*> || std::is_same_v<T, char16_t*> ||
    std::is_same_v<T, std::nullptr_t> ||
    ((std::is_integral_v<T> || std::is_enum_v<T>)&&!std::is_same_v<T, bool> && sizeof(T) == 4);

namespace module_errors_detail {
// The inserts as the message formatter reads them from the argument list: texts as pointers, numbers as 32 bits.
template <typename T>
auto InsertWord(T insert) {
  if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
    return static_cast<std::uint32_t>(insert);
  } else {
    return static_cast<const char16_t*>(insert);
  }
}
void RaiseWithInserts(CErrorHolder* holder, std::uint32_t recordedCode, std::uint32_t unit, std::uint32_t point,
                      CConnection* reporter, const char16_t* file, std::uint32_t errorCode, ...);
}  // namespace module_errors_detail

template <ModuleErrorInsert... Inserts>
void RaiseModuleError(CErrorHolder* holder, std::uint32_t recordedCode, std::uint32_t unit, std::uint32_t point,
                      CConnection* reporter, const char16_t* file, std::uint32_t errorCode, Inserts... inserts) {
  module_errors_detail::RaiseWithInserts(holder, recordedCode, unit, point, reporter, file, errorCode,
                                         module_errors_detail::InsertWord(inserts)...);
}

// Error 8 (operation not available) recorded with code 7: what an object answers for an operation whose work it
// cannot do (an access-interface position with no operation behind it, a kind of object that has no such work).
inline constexpr std::uint32_t ERROR_NOT_AVAILABLE = 8;
inline constexpr std::uint32_t RECORDED_NOT_AVAILABLE = 7;
void RaiseNotAvailable(CErrorHolder* holder, std::uint32_t unit, std::uint32_t point, CConnection* reporter,
                       const char16_t* file);

// The out-of-memory error in the holder's error; null holder ignored.
void SetHolderOutOfMemory(CErrorHolder* holder);

// Whether the error is memory refused, here or nested: the out-of-memory error (system code 14) or a work area that
// could not be allocated (error 12).
bool bFailedForMemory(const CXError* error);
