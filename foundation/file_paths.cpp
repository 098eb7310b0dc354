#include "foundation/file_paths.h"

#include "foundation/t_string.h"
#include "foundation/text_utils.h"
#include "foundation/x_error.h"
#include "platform/error_mode.h"
#include "platform/file.h"
#include "platform/module.h"
#include "platform/path.h"
#include "platform/volume.h"

namespace {

// The failure of a path call in the caller's error: the message comes after what the error already says.
void ReportPathError(CXError* error, std::uint32_t systemCode, std::uint32_t message, std::uint32_t attributes,
                     const char16_t* path) {
  error->SetLevel(ERROR_LEVEL_FATAL);
  error->SetSystemError(systemCode);
  error->SetModuleTexts(&gstModuleDescriptor, true);
  // 28130 names the attribute value first and the path second; 28123 reads the path as its first insert.
  if (message == 28130) {
    error->AddUserMessage(&gstModuleDescriptor, message, attributes, path);
  } else {
    error->AddUserMessage(&gstModuleDescriptor, message, path);
  }
  error->SetInfo(ERROR_INFO_PATH, path);
}

}  // namespace

int bGetFileAttributes(std::uint32_t* attributes, const char16_t* path, CXError* error) {
  if (error) error->SetLevel(ERROR_LEVEL_NONE);
  std::uint32_t value;
  {
    platform::ErrorModeScope mode;
    value = platform::FileAttributes(path);
  }
  if (attributes) *attributes = value;
  if (value != platform::kInvalidFileAttributes) return 1;
  if (error) ReportPathError(error, platform::GetLastErrorCode(), 28130, value, path);
  return 0;
}

int bFileExists(const char16_t* path) {
  std::uint32_t attributes;
  return bGetFileAttributes(&attributes, path, nullptr);
}

int bIsFile(const char16_t* path) {
  std::uint32_t attributes;
  if (!path || !bGetFileAttributes(&attributes, path, nullptr)) return 0;
  return (attributes & platform::kFileAttributeDirectory) ? 0 : 1;
}

int bDeleteFile(const char16_t* path, CXError* error) {
  if (error) error->SetLevel(ERROR_LEVEL_NONE);
  bool deleted;
  {
    platform::ErrorModeScope mode;
    deleted = platform::DeleteFilePath(path);
  }
  if (!deleted && error) ReportPathError(error, platform::GetLastErrorCode(), 28123, 0, path);
  return deleted ? 1 : 0;
}

void AppendBackslash(CTString& path) {
  const std::size_t n = path.nGetLength();
  if (n > 0 && path.nGetAt(n - 1) != u'\\') path.AppendChar(u'\\');
}

void MakeDllPath(CTString& out, const char16_t* directory, const char16_t* name) {
  out.Assign(directory);
  const std::size_t n = out.nGetLength();
  if (n > 0 && out.nGetAt(n - 1) != u'\\' && out.nGetAt(n - 1) != u'/') out.AppendChar(u'\\');
  out.Append(name);
  out.Append(u".dll");
}

int bGetModuleFileName(void* module, CTString& out) {
  char16_t path[522];
  const std::uint32_t length = platform::ModuleFileName(module, path, 522);
  if (length == 0 || length > 520) return 0;
  out.Assign(path);
  return 1;
}

int nGetCurrentDirectory(char16_t* out) {
  std::uint32_t length;
  {
    platform::ErrorModeScope mode;
    length = platform::CurrentDirectory(CURRENT_DIRECTORY_SIZE, out);
  }
  return length >= 1 && length <= CURRENT_DIRECTORY_SIZE - 1 ? 1 : 0;
}

std::uint32_t nGetDriveType(const char16_t* root) {
  if (!root) {
    platform::ErrorModeScope mode;
    return platform::DriveType(nullptr);
  }
  char16_t copy[CURRENT_DIRECTORY_SIZE + 1] = {};
  for (std::uint32_t i = 0; i < CURRENT_DIRECTORY_SIZE - 1 && root[i]; ++i) copy[i] = root[i];
  TrimRightW(copy);
  const std::size_t n = nLengthW(copy);
  if (n > 0 && copy[n - 1] != u'\\') {
    copy[n] = u'\\';
    copy[n + 1] = 0;  // the trimmed blanks are still behind the terminator
  }
  platform::ErrorModeScope mode;
  return platform::DriveType(copy);
}

int bIsUncPath(const char16_t* name) {
  if (!name || name[0] != u'\\' || name[1] != u'\\') return 0;
  for (const char16_t* p = name + 2; *p; ++p) {
    if (*p == u'\\') return 1;
  }
  return 0;
}
