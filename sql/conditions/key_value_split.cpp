#include "sql/conditions/key_value_split.h"

#include <algorithm>
#include <cstring>

#include "engine/record/column_types.h"
#include "host/host_services.h"
#include "sql/conditions/key_limits.h"

namespace {

// Holders read their native value from the bytes they are given, up to a terminator or their width (up to the 18
// bytes of a decimal's byte form): the component's bytes go into a zeroed area at least that large, so that a short
// component is never read past.
constexpr std::size_t kNativeAreaSize = 32;

bool bAssignComponent(CHostValue& value, const SKeyComponent& component, const std::uint8_t* bytes,
                      std::size_t length) {
  std::vector<std::uint8_t> area(std::max(length, kNativeAreaSize) + sizeof(char16_t), 0);
  if (length > 0) std::memcpy(area.data(), bytes, length);
  if (component.nHostType != HOST_TYPE_PROXY_HANDLE) return bHostStored(value.SetFromBuffer(area.data(), length));
  // The runtime's decimal reads its packed digits itself, a signed integer whose sign the area carries on.
  WidenDecimalField(area.data(), area.size(), bytes, length);
  IHostProxyHandle* decimal = nullptr;
  if (bHostFailed(value.nGet(&decimal)) || !decimal) return false;
  decimal->SetFromKeyInput(static_cast<std::int32_t>(component.nPrecision + component.nScale),
                           static_cast<std::int32_t>(component.nScale), area.data());
  return true;
}

}  // namespace

bool bSplitKeyValue(const SKeyComponent* components, std::size_t count, CHostValue& packed, CKeyValueList& values,
                    bool& isMin, bool& isMax, bool limits) {
  isMin = false;
  isMax = false;
  const void* data = nullptr;
  std::size_t size = 0;
  if (packed.bIsNull() || bHostFailed(packed.nGetDataPointer(&data)) || !data ||
      bHostFailed(packed.nGetSizeWithTerminator(&size))) {
    return true;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  const std::vector<SKeyPart> parts = SplitPackedKey(components, count, data, size, limits);
  for (std::size_t i = 0; i < parts.size() && parts[i].eKind != EKeyPart::kLeftOut; ++i) {
    const SKeyComponent& component = components[i];
    const SKeyPart& part = parts[i];
    auto value = std::make_unique<CHostValue>();
    value->SetType(component.nHostType);
    const bool filler = part.eKind == EKeyPart::kMinimum || part.eKind == EKeyPart::kMaximum;
    isMin = isMin || part.eKind == EKeyPart::kMinimum;
    isMax = isMax || part.eKind == EKeyPart::kMaximum;
    if (filler && !bIsTextKeyHostType(component.nHostType)) {
      if (part.eKind == EKeyPart::kMinimum) {
        SetTypeMinimum(*value);
      } else {
        SetTypeMaximum(*value);
      }
    } else if (!bAssignComponent(*value, component, bytes + part.nOffset, part.nLength)) {
      return false;
    }
    values.push_back(std::move(value));
  }
  return true;
}
