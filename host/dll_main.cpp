// The module entry. It is linked into the product only: a test program that links the driver's code must decide
// itself when the library is first initialised.
#include "host/library_entry.h"

#if defined(_WIN32)
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  return DllProcessAttach(instance, reason, reserved);
}
#else
namespace {
// Stands for DllMain's process attach: runs once when the loader maps the library, with the library's own handle.
__attribute__((constructor)) void OnProcessAttach() {
  static const int marker = 0;
  DllProcessAttach(platform::ModuleOfAddress(&marker), 1, nullptr);
}
}  // namespace
#endif
