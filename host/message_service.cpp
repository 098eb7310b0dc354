// The runtime's message service. Until the message table is built, every command answers "nothing".
#include <cstdint>

#include "host/export.h"

extern "C" QZ_EXPORT std::intptr_t CommandeComposante(std::intptr_t /*command*/, std::intptr_t /*argument*/) {
  return 0;
}
