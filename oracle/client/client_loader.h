// The client loader: loads the Oracle client library at run time, on the first connection, binds one entry set of
// gtabOciEntries by name and keeps where the library came from. The client is loaded once per process and never
// unloaded: the loader lives until the process ends.
#pragma once

#include <cstdint>

#include "foundation/t_string.h"
#include "platform/module.h"

class CErrorHolder;

// The path of the loaded client library; null until a library is loaded. Written by the loader when it loads the
// library, under gcsDriverLock; read by the connection layer (sql/client_library.h) under the same lock. It points
// at gstrOciLibraryPath.
extern const char16_t* gpszClientLibraryPath;
// The name the loaded library was asked for, as configured (a relative directory kept relative); null until a library
// is loaded. Written by the loader with gpszClientLibraryPath, read by the connection layer, under gcsDriverLock.
extern const char16_t* gpszClientLibraryRequest;

// The full path of the loaded client module; empty until a load succeeds. Written by the loader, read by the
// connection (path checks, information dump), under gcsDriverLock. Never destroyed: errors raised from the runtime's
// exit handlers still name it.
extern CTString& gstrOciLibraryPath;

// 1 once the connection has bound the OCI7 set; never reset. Written by the connection's first open, read by every
// call wrapper, under gcsDriverLock.
extern std::uint32_t gbOci7Mode;

class COciLibraryLoader {
 public:
  COciLibraryLoader() = default;
  COciLibraryLoader(const COciLibraryLoader&) = delete;
  COciLibraryLoader& operator=(const COciLibraryLoader&) = delete;

  // Releases the directory text; the library stays loaded.
  virtual ~COciLibraryLoader() = default;
  // Unloads the library when one is held. Nothing calls it: the client stays loaded for the process.
  virtual void Unload();
  virtual const char16_t* pszDefaultLibraryName() { return u"OCI.DLL"; }

  // Loads the library (the name may carry a directory) and binds the set; 0 with error 27 in the holder on failure.
  int bLoad(CErrorHolder* holder, const char16_t* libraryName, std::uint32_t bOci7);

  platform::ModuleHandle hGetModule() const { return m_hModule; }
  const CTString& GetDirectory() const { return m_strDirectory; }

 private:
  // LoadLibraryW of the file from the directory, made current for the one call; a plain load without a directory.
  void LoadFrom(const char16_t* directory, const char16_t* file);
  void BindSet(std::uint32_t bOci7);

  platform::ModuleHandle m_hModule = nullptr;
  CTString m_strDirectory;
  std::uint32_t m_nLoadError = 0;
};

// The one loader of the process; null until the first load creates it. Written by that load and read by the
// loader's functions, under gcsDriverLock; never destroyed before the process ends.
extern COciLibraryLoader* gpOciLoader;

// Loads and binds the client; the path out is always gstrOciLibraryPath. Called only while no client is loaded.
int bLoadOracleClient(CErrorHolder* holder, CTString& pathOut, const char16_t* libraryName, std::uint32_t bOci7);
int bIsOracleClientLoaded();
platform::ModuleHandle hGetOracleClientModule();
int bCreateOciLoader(CErrorHolder* holder);
// "OCIW32.DLL" for the OCI7 set, else "OCI.DLL".
const char16_t* pszDefaultOciLibraryName(std::uint32_t bOci7, CTString& out);
