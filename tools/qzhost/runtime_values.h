// The runtime values (the 36-byte containers of host_value.h) that the host hands the driver: a seek value, a large
// value to write, a value the driver fills. The host plays the runtime, so its values are built with the value class
// that the runtime and the driver share, bound to the runtime stand-in's services and conversions as the runtime's
// own values are; the driver itself is only ever reached through the module it loaded.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CHostValue;

namespace qzhost {

// Binds the values' services and conversions to the runtime stand-in; once, before the first value.
bool BindRuntimeValues();

struct ValueDeleter {
  void operator()(CHostValue* value) const;
};
using Value = std::unique_ptr<CHostValue, ValueDeleter>;

Value NewEmptyValue();
Value NewTextValue(const std::u16string& text);
Value NewNumberValue(std::int32_t number);
// The value as UTF-16 text (converted by the runtime when it holds another type); false for NULL or no value.
bool ValueText(CHostValue& value, std::u16string& text);

}  // namespace qzhost
