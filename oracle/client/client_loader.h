// The client loader: loads the Oracle client library at run time and keeps its path. Only the loader itself is not
// built yet; what the generic layers read of it is the path.
#pragma once

// The path of the loaded client library; null until a library is loaded. Written by the loader when it loads or
// unloads the library, under gcsDriverLock; read by the connection layer (sql/client_library.h) under the same lock.
extern const char16_t* gpszClientLibraryPath;
