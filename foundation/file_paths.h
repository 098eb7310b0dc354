// Path functions beside the file stream: attribute and existence tests, deleting, the current directory, drive
// types and path texts. Each runs its file-system call with critical-error boxes off and restores the previous
// error mode and the last-error value afterwards. An error object passed in is cleared, and filled on failure with
// the system code, the message with the path and the path as information item 1.
#pragma once

#include <cstdint>

class CTString;
class CXError;

inline constexpr std::uint32_t CURRENT_DIRECTORY_SIZE = 261;

int bGetFileAttributes(std::uint32_t* attributes, const char16_t* path, CXError* error);
// A file or a directory is there.
int bFileExists(const char16_t* path);
// A file, not a directory, is there; null path: 0.
int bIsFile(const char16_t* path);
int bDeleteFile(const char16_t* path, CXError* error);
// A backslash after a non-empty path that does not end with one.
void AppendBackslash(CTString& path);
// directory\name.dll (no drive).
void MakeDllPath(CTString& out, const char16_t* directory, const char16_t* name);
// The full path of a module (null = the program) into out; 0, out unchanged, when the path is not known or longer
// than 520 characters.
int bGetModuleFileName(void* module, CTString& out);
// The current directory into out (CURRENT_DIRECTORY_SIZE units); 1 when it fits.
int nGetCurrentDirectory(char16_t* out);
// The drive type of a root given with or without its backslash, trailing blanks ignored.
std::uint32_t nGetDriveType(const char16_t* root);
// \\server\share...
int bIsUncPath(const char16_t* name);
