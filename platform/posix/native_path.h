// Windows-style file names as the POSIX calls take them. Callers write Windows paths; POSIX has one file tree, so a
// backslash separates like '/', and a drive prefix names that tree: "C:\data\x" is "/data/x", and "C:x" (relative to
// the drive's current directory) is "x" in the current directory. No UNC form: "\\host\share" is "//host/share".
#pragma once

#include <string>
#include <string_view>

namespace platform::posix {

// True for "X:" at the start of a name (X a letter).
bool HasDrivePrefix(std::u16string_view name);

// The name as a UTF-8 POSIX path; null reads as empty.
std::string NativePath(const char16_t* name);

}  // namespace platform::posix
