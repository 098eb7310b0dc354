#include "platform/system_version.h"

#include <windows.h>

namespace platform {

bool GetSystemVersion(SystemVersion& version) {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!::GetVersionExW(&info)) return false;
  version = {info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
  return true;
}

}  // namespace platform
