// The runtime's message service: it installs its message-text callback and asks for message texts and attributes by
// number. Texts come from the callback when it has one, else from the library's own message block.
#include <cstdint>

#include "foundation/message_text.h"
#include "foundation/x_error.h"
#include "host/export.h"

namespace {

enum : std::intptr_t {
  COMPONENT_CMD_SET_MESSAGE_CALLBACK = 2,
  COMPONENT_CMD_GET_MESSAGE_TEXT = 3,
  COMPONENT_CMD_GET_MESSAGE_ATTRIBUTE = 4,
};

// The runtime's request for a text; natural alignment (the buffer at 8 and the capacity at 16 on 64-bit builds).
struct SMessageRequest {
  std::uint32_t nUnused;
  std::uint32_t nMessage;
  char16_t* pBuffer;
  std::uint32_t nCapacity;
  std::int32_t nResult;
};

}  // namespace

extern "C" QZ_EXPORT std::intptr_t CommandeComposante(std::intptr_t command, std::intptr_t argument) {
  switch (command) {
    case COMPONENT_CMD_SET_MESSAGE_CALLBACK:
      gpfnHostMessageCallback = reinterpret_cast<PFN_HOST_MESSAGE_CALLBACK>(argument);
      return 1;
    case COMPONENT_CMD_GET_MESSAGE_TEXT: {
      auto* request = reinterpret_cast<SMessageRequest*>(argument);
      if (!request) return 0;
      request->nResult =
          nGetMessageText(&gstModuleDescriptor, request->nMessage, request->pBuffer, request->nCapacity);
      return request->nResult;
    }
    case COMPONENT_CMD_GET_MESSAGE_ATTRIBUTE:
      return nGetMessageAttribute(&gstModuleDescriptor, static_cast<std::uint32_t>(argument));
    default:
      return 0;
  }
}
