// The backend's names for the one UTF-8 codec (platform/utf8.h), for the files that pass names to the C library.
#pragma once

#include "platform/utf8.h"

namespace platform::posix {

using platform::ToUtf16;
using platform::ToUtf8;

}  // namespace platform::posix
