#include "platform/module.h"

#include <windows.h>

namespace platform {

static_assert(sizeof(char16_t) == sizeof(wchar_t));

namespace {
const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
}  // namespace

ModuleHandle LoadModule(const char16_t* name) { return ::LoadLibraryW(Wide(name)); }

bool UnloadModule(ModuleHandle module) { return ::FreeLibrary(static_cast<HMODULE>(module)) != FALSE; }

void* FindModuleEntry(ModuleHandle module, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

ModuleHandle FindLoadedModule(const char16_t* name) { return ::GetModuleHandleW(Wide(name)); }

ModuleHandle ModuleOfAddress(const void* address) {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(address), &module);
  return module;
}

std::uint32_t ModuleFileName(ModuleHandle module, char16_t* buffer, std::uint32_t size) {
  return ::GetModuleFileNameW(static_cast<HMODULE>(module), reinterpret_cast<wchar_t*>(buffer), size);
}

}  // namespace platform
