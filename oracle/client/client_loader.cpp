#include "oracle/client/client_loader.h"

#include "sql/client_library.h"

const char16_t* gpszClientLibraryPath = nullptr;

const char16_t* pszLoadedClientLibraryPath() { return gpszClientLibraryPath; }
