// Full path names and the process's current directory (GetFullPathNameW, GetCurrentDirectoryW,
// SetCurrentDirectoryW), with Windows' buffer rules: an answer that fits gives its length without the terminator, one
// that does not fit leaves the buffer alone and gives the size it needs, terminator included.
#pragma once

#include <cstdint>

namespace platform {

// GetFullPathNameW without the file-part pointer: the name made absolute against the current directory, "." and
// ".." taken out by the text alone (the file system is not asked). An empty name fails with 123.
std::uint32_t FullPathName(const char16_t* name, std::uint32_t size, char16_t* buffer);

// GetCurrentDirectoryW.
std::uint32_t CurrentDirectory(std::uint32_t size, char16_t* buffer);

// SetCurrentDirectoryW: 2 or 3 for a missing directory, 267 for a file.
bool SetCurrentDirectoryPath(const char16_t* path);

}  // namespace platform
