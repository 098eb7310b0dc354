#include "platform/system_version.h"

namespace platform {

bool GetSystemVersion(SystemVersion& version) {
  version = {2, 10, 0};
  return true;
}

}  // namespace platform
