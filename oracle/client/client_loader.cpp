#include "oracle/client/client_loader.h"

#include <memory>
#include <new>

#include "foundation/error_holder.h"
#include "foundation/immortal.h"
#include "foundation/module_errors.h"
#include "foundation/x_error.h"
#include "host/library_entry.h"
#include "oracle/client/oci_entries.h"
#include "platform/last_error.h"
#include "platform/path.h"
#include "sql/client_library.h"

const char16_t* gpszClientLibraryPath = nullptr;
const char16_t* gpszClientLibraryRequest = nullptr;
namespace {
CImmortal<CTString> gOciLibraryPath;
CImmortal<CTString> gOciLibraryRequest;
}  // namespace
CTString& gstrOciLibraryPath = gOciLibraryPath.Get();
std::uint32_t gbOci7Mode = 0;
COciLibraryLoader* gpOciLoader = nullptr;

const char16_t* pszLoadedClientLibraryPath() { return gpszClientLibraryPath; }
const char16_t* pszLoadedClientLibraryRequest() { return gpszClientLibraryRequest; }

namespace {

constexpr std::uint32_t PATH_BUFFER = 261;
constexpr std::uint32_t MODULE_PATH_LIMIT = 520;
constexpr std::uint32_t ERROR_CANNOT_LOAD_CLIENT = 27;
constexpr std::uint32_t POINT_LOAD = 1;

// Splits a path into its directory part (drive and directory, separator kept) and its file part, each cut to the
// 261-unit buffers the loader works with.
void SplitPath(const char16_t* path, CTString& directory, CTString& file) {
  std::size_t length = 0;
  std::size_t fileStart = 0;
  for (; path[length] && length < PATH_BUFFER - 1; ++length) {
    if (path[length] == u'\\' || path[length] == u'/' || path[length] == u':') fileStart = length + 1;
  }
  directory.AssignN(path, fileStart);
  file.AssignN(path + fileStart, length - fileStart);
}

void RaiseLoadError(CErrorHolder* holder, const char16_t* libraryName, std::uint32_t systemError) {
  CModuleError error;
  error.SetError(&gstModuleDescriptor, ERROR_CANNOT_LOAD_CLIENT, u"Oracle", libraryName, std::uint32_t{64});
  const std::uint32_t code = ERROR_CANNOT_LOAD_CLIENT;
  error.SetInfo(ERROR_INFO_ERROR_CODE, &code);
  AddErrorIdentification(error, ERROR_UNIT_CLIENT_LOADER, POINT_LOAD);
  error.SetSystemError(systemError);
  if (holder) {
    holder->RecordError(0, error, nullptr);
  } else {
    DiscardIgnoredError(error);
  }
}

}  // namespace

void COciLibraryLoader::Unload() {
  if (!m_hModule) return;
  platform::UnloadModule(m_hModule);
  m_hModule = nullptr;
}

void COciLibraryLoader::LoadFrom(const char16_t* directory, const char16_t* file) {
  if (!directory || !directory[0]) {
    m_hModule = platform::LoadModule(file);
    if (!m_hModule) m_nLoadError = platform::GetLastErrorCode();
    return;
  }
  // The client's own dependencies are found beside it only when its directory is current while it loads. The
  // client itself is named with its directory: a bare name would be looked for in the program's directory before
  // the current one, and a client found there is not the one the directory names.
  // The current directory is put back whatever its length: one longer than the usual buffer is measured first.
  std::unique_ptr<char16_t[]> saved;
  for (std::uint32_t size = PATH_BUFFER;;) {
    saved.reset(new (std::nothrow) char16_t[size]());
    const std::uint32_t needed = saved ? platform::CurrentDirectory(size, saved.get()) : 0;
    if (needed < size) {
      if (needed == 0) saved.reset();
      break;
    }
    size = needed;
  }
  // A relative directory names a place from the current directory: made absolute before that changes, so that the
  // client is loaded from where it points, not from below itself.
  CTString absolute(directory);
  for (std::uint32_t size = PATH_BUFFER;;) {
    std::unique_ptr<char16_t[]> full(new (std::nothrow) char16_t[size]());
    const std::uint32_t needed = full ? platform::FullPathName(directory, size, full.get()) : 0;
    if (needed > 0 && needed < size) absolute = full.get();
    if (needed < size) break;
    size = needed;
  }
  if (!absolute.bIsEmpty()) directory = absolute.pszGet();
  platform::SetCurrentDirectoryPath(directory);
  CTString path(directory);
  const char16_t last = path.nGetLength() ? path.pszGet()[path.nGetLength() - 1] : 0;
  if (last != u'\\' && last != u'/' && last != u':') path.AppendChar(u'\\');
  path.Append(file);
  m_hModule = platform::LoadModule(path.pszGet());
  if (!m_hModule) {
    m_nLoadError = platform::GetLastErrorCode();
  } else {
    m_strDirectory = directory;
  }
  if (saved) platform::SetCurrentDirectoryPath(saved.get());
}

void COciLibraryLoader::BindSet(std::uint32_t bOci7) {
  const std::uint32_t first = bOci7 ? OCI7_SET_FIRST_SLOT : OCI_SET_FIRST_SLOT;
  const std::uint32_t end = bOci7 ? OCI_SLOT_COUNT : OCI7_SET_FIRST_SLOT;
  for (std::uint32_t slot = first; slot < end; ++slot) {
    void* entry = platform::FindModuleEntry(m_hModule, gapszOciEntryNames[slot]);
    gtabOciEntries[slot] = entry ? entry : pOciFallbackStub(slot);
  }
}

int COciLibraryLoader::bLoad(CErrorHolder* holder, const char16_t* libraryName, std::uint32_t bOci7) {
  CTString name;
  if (!libraryName || !libraryName[0]) {
    pszDefaultOciLibraryName(bOci7, name);
  } else {
    name = libraryName;
  }
  m_nLoadError = 0;
  CTString directory;
  CTString file;
  SplitPath(name.pszGet(), directory, file);
  if (directory.bIsEmpty()) {
    // The driver's own directory first, then the system's normal search with the current directory left alone.
    char16_t ownPath[PATH_BUFFER] = {};
    const std::uint32_t ownLength = platform::ModuleFileName(ghInstance, ownPath, PATH_BUFFER);
    if (ownLength > 0 && ownLength < PATH_BUFFER) {
      CTString ownDirectory;
      CTString ownFile;
      SplitPath(ownPath, ownDirectory, ownFile);
      LoadFrom(ownDirectory.pszGet(), file.pszGet());
    }
    if (!m_hModule) LoadFrom(nullptr, file.pszGet());
  } else {
    LoadFrom(directory.pszGet(), file.pszGet());
  }
  if (!m_hModule) {
    RaiseLoadError(holder, name.pszGet(), m_nLoadError);
    return 0;
  }
  char16_t modulePath[MODULE_PATH_LIMIT + 1] = {};
  const std::uint32_t pathLength = platform::ModuleFileName(m_hModule, modulePath, MODULE_PATH_LIMIT + 1);
  if (pathLength > 0 && pathLength <= MODULE_PATH_LIMIT) gstrOciLibraryPath = modulePath;
  gpszClientLibraryPath = gstrOciLibraryPath.pszGet();
  gOciLibraryRequest.Get() = name;
  gpszClientLibraryRequest = gOciLibraryRequest.Get().pszGet();
  BindSet(bOci7);
  return 1;
}

int bCreateOciLoader(CErrorHolder* holder) {
  // Never destroyed: the client stays loaded for the process, and the runtime may still open or close connections
  // from its exit handlers, after a static owner would have freed the loader.
  COciLibraryLoader* loader = new (std::nothrow) COciLibraryLoader();
  if (!loader) {
    SetHolderOutOfMemory(holder);
    return 0;
  }
  gpOciLoader = loader;
  return 1;
}

int bLoadOracleClient(CErrorHolder* holder, CTString& pathOut, const char16_t* libraryName, std::uint32_t bOci7) {
  if (!gpOciLoader && !bCreateOciLoader(holder)) return 0;
  if (!gpOciLoader->bLoad(holder, libraryName, bOci7)) return 0;
  if (&pathOut != &gstrOciLibraryPath) pathOut = gstrOciLibraryPath;
  return 1;
}

int bIsOracleClientLoaded() { return gpOciLoader && gpOciLoader->hGetModule() ? 1 : 0; }

platform::ModuleHandle hGetOracleClientModule() { return gpOciLoader ? gpOciLoader->hGetModule() : nullptr; }

const char16_t* pszDefaultOciLibraryName(std::uint32_t bOci7, CTString& out) {
  out = bOci7 ? u"OCIW32.DLL" : u"OCI.DLL";
  return out.pszGet();
}
