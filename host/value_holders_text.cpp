#include "host/value_holders.h"

namespace holder {

const SHostValueHolderClass* pTextHolderClass(std::uint8_t) { return nullptr; }

}  // namespace holder
