#include "platform/module.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <sys/stat.h>

#include "platform/last_error.h"
#include "platform/utf8.h"

namespace platform {

namespace {

bool IsFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string ProgramPath() {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string CurrentDirectory() {
  char buffer[4096];
  return ::getcwd(buffer, sizeof(buffer)) ? std::string(buffer) : std::string(".");
}

// Opens a file that exists; a file that is there but will not load is a bad image, as on Windows.
ModuleHandle OpenExisting(const std::string& path) {
  if (void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
  SetLastErrorCode(kErrorBadExeFormat);
  return nullptr;
}

}  // namespace

ModuleHandle LoadModule(const char16_t* name) {
  std::string path = ToUtf8(name);
  if (path.empty()) {
    SetLastErrorCode(kErrorInvalidParameter);
    return nullptr;
  }
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  const bool hasDirectory = path.find('/') != std::string::npos;
  // Windows adds ".dll" to a name without an extension; a name with one (such as "OCI.DLL") is kept as it is.
  const auto base = path.substr(path.rfind('/') + 1);
  if (base.find('.') == std::string::npos) path += ".dll";

  if (hasDirectory) {
    if (!IsFile(path)) {
      SetLastErrorCode(kErrorModNotFound);
      return nullptr;
    }
    return OpenExisting(path);
  }
  for (const std::string& directory : {DirectoryOf(ProgramPath()), CurrentDirectory()}) {
    const std::string candidate = directory + "/" + path;
    if (IsFile(candidate)) return OpenExisting(candidate);
  }
  // The system search (LD_LIBRARY_PATH, the cache, the default directories) stands for Windows' system folders.
  if (void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
  const char* why = ::dlerror();
  SetLastErrorCode(why && std::strstr(why, "No such file") ? kErrorModNotFound : kErrorBadExeFormat);
  return nullptr;
}

bool UnloadModule(ModuleHandle module) {
  if (!module || ::dlclose(module) != 0) {
    SetLastErrorCode(kErrorInvalidHandle);
    return false;
  }
  return true;
}

void* FindModuleEntry(ModuleHandle module, const char* name) {
  if (!module || !name) {
    SetLastErrorCode(module ? kErrorProcNotFound : kErrorModNotFound);
    return nullptr;
  }
  ::dlerror();
  void* entry = ::dlsym(module, name);
  if (!entry) {
    SetLastErrorCode(kErrorProcNotFound);
    return nullptr;
  }
  // dlsym searches the module's dependencies too; GetProcAddress answers only the module's own exports.
  Dl_info info{};
  link_map* map = nullptr;
  if (::dlinfo(module, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && map->l_name[0] != '\0' &&
      ::dladdr(entry, &info) != 0 && info.dli_fname && std::strcmp(info.dli_fname, map->l_name) != 0) {
    SetLastErrorCode(kErrorProcNotFound);
    return nullptr;
  }
  return entry;
}

ModuleHandle FindLoadedModule(const char16_t* name) {
  if (!name) return ::dlopen(nullptr, RTLD_NOW);
  std::string path = ToUtf8(name);
  if (void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
    // GetModuleHandleW counts no reference.
    ::dlclose(handle);
    return handle;
  }
  SetLastErrorCode(kErrorModNotFound);
  return nullptr;
}

ModuleHandle ModuleOfAddress(const void* address) {
  Dl_info info{};
  if (::dladdr(address, &info) == 0 || !info.dli_fname) {
    SetLastErrorCode(kErrorModNotFound);
    return nullptr;
  }
  void* handle = ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  if (!handle) handle = ::dlopen(nullptr, RTLD_NOW);  // the program itself
  else ::dlclose(handle);                              // no reference is counted, as for an instance handle
  return handle;
}

std::uint32_t ModuleFileName(ModuleHandle module, char16_t* buffer, std::uint32_t size) {
  std::string path;
  link_map* map = nullptr;
  if (!module) {
    path = ProgramPath();
  } else if (::dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map) {
    SetLastErrorCode(kErrorModNotFound);
    return 0;
  } else {
    path = (map->l_name && map->l_name[0]) ? std::string(map->l_name) : ProgramPath();
  }
  if (!path.empty() && path[0] != '/') {
    char resolved[4096];
    if (::realpath(path.c_str(), resolved)) path = resolved;
  }
  const std::u16string wide = ToUtf16(path);
  if (!buffer || size == 0) {
    SetLastErrorCode(kErrorInsufficientBuffer);
    return 0;
  }
  if (wide.size() >= size) {
    std::memcpy(buffer, wide.data(), (size - 1) * sizeof(char16_t));
    buffer[size - 1] = 0;
    SetLastErrorCode(kErrorInsufficientBuffer);
    return size;
  }
  std::memcpy(buffer, wide.data(), wide.size() * sizeof(char16_t));
  buffer[wide.size()] = 0;
  return static_cast<std::uint32_t>(wide.size());
}

}  // namespace platform
