// Loading shared modules and finding their entries, with the rules of the Windows loader that the driver relies on:
// a bare name is searched in the program's directory, then the current directory, then the system's own search; a
// failed call answers null and leaves a Windows error code in the last-error value (126 module not found, 127 entry
// not found, 193 not a loadable module, 122 buffer too small).
#pragma once

#include <cstdint>

namespace platform {

// A module handle: an HMODULE on Windows, the handle dlopen answers on POSIX (so that a module handed over by a
// program written elsewhere can be searched for entries as it is).
using ModuleHandle = void*;

// LoadLibraryW. The module stays loaded until as many UnloadModule calls as loads.
ModuleHandle LoadModule(const char16_t* name);

// FreeLibrary.
bool UnloadModule(ModuleHandle module);

// GetProcAddress by name.
void* FindModuleEntry(ModuleHandle module, const char* name);

// GetModuleHandleW: a module already loaded, without loading it or counting a reference; null name = the program.
ModuleHandle FindLoadedModule(const char16_t* name);

// The module that holds the given code or data address (the instance handle a module's entry receives on Windows).
ModuleHandle ModuleOfAddress(const void* address);

// GetModuleFileNameW: copies the full path of the module (null = the program) and answers its length without the
// terminator. When the buffer is too small the path is cut to size - 1 units and terminated, the answer is size and
// the last error is 122. An unknown module answers 0 with 126.
std::uint32_t ModuleFileName(ModuleHandle module, char16_t* buffer, std::uint32_t size);

}  // namespace platform
