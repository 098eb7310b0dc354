// Windows profile files (GetPrivateProfileStringW, GetPrivateProfileIntW) and the Windows directory in which a bare
// profile name is looked for. The driver reads its configuration file only through these, and relies on Windows' rules:
// sections and keys compared without case, blanks around names and values dropped, a value between matching quotes
// given without them, a default copied when the key is absent, an answer cut at size - 1 characters, and the
// NUL-separated name list (ending with a second NUL) of a null section or a null key. Files are never written.
#pragma once

#include <cstdint>

namespace platform {

// GetPrivateProfileStringW. A file name without a directory is looked for in the Windows directory. Answers the
// characters written without the terminator: a value that does not fit is cut to size - 1 characters (answer size - 1),
// a name list that does not fit is cut and ended by two NULs (answer size - 2). A missing file gives the default with
// last error 2. A null default reads as empty; trailing blanks of the default are dropped.
std::uint32_t ReadProfileString(const char16_t* section, const char16_t* key, const char16_t* defaultText,
                                char16_t* buffer, std::uint32_t size, const char16_t* fileName);

// GetPrivateProfileIntW: the value's leading decimal number (an optional sign, then digits; 0 when it starts with
// none); the default when the key is absent or its value empty.
std::uint32_t ReadProfileInt(const char16_t* section, const char16_t* key, std::int32_t defaultValue,
                             const char16_t* fileName);

// GetWindowsDirectoryW: the length without the terminator when it fits in size characters, else the size needed,
// terminator included, with the buffer left alone. On POSIX the folder named by the environment variable
// QZ_WINDOWS_DIR, "/etc" when it is not set.
std::uint32_t WindowsDirectory(char16_t* buffer, std::uint32_t size);

// GetCurrentProcessId.
std::uint32_t CurrentProcessId();

}  // namespace platform
