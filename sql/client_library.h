// The client library the Oracle layer loaded, as the connection layer compares it with the one a connection asks for
// and names it in error details. The Oracle client loader defines it.
#pragma once

// The loaded library's path; null until a library is loaded.
const char16_t* pszLoadedClientLibraryPath();
// The name the loaded library was asked for, as it was configured; null until a library is loaded.
const char16_t* pszLoadedClientLibraryRequest();
