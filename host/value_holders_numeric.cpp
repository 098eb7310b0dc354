// Fixed-width holders: the integers, reals, currency, the packed date-time and the 8-byte value. Each keeps its
// native value inline, in the runtime's memory form.
#include <cmath>
#include <cstdint>
#include <limits>

#include "foundation/currency.h"
#include "foundation/date_time.h"
#include "host/value_holders.h"

namespace holder {
namespace {

enum class EStep { kNone, kRange, kWrapOnly, kNever, kFloat, kDouble, kCurrency };

template <std::uint8_t Code, class T, EStep Kind, bool Signed>
struct TFixed : TInlineHolder<Code, sizeof(T)> {
  static std::int32_t Step(CHostValueHolder* self, int delta) {
    const T value = Load<T>(self);
    if constexpr (Kind == EStep::kRange) {
      const std::int64_t exact = static_cast<std::int64_t>(value) + delta;
      Store<T>(self, static_cast<T>(exact));
      return exact < static_cast<std::int64_t>(std::numeric_limits<T>::min()) ||
                     exact > static_cast<std::int64_t>(std::numeric_limits<T>::max())
                 ? 1
                 : 0;
    } else if constexpr (Kind == EStep::kWrapOnly || Kind == EStep::kNever) {
      // Computed unsigned: the step wraps instead of overflowing.
      using U = std::make_unsigned_t<T>;
      const U next = static_cast<U>(static_cast<U>(value) + static_cast<U>(delta));
      Store<T>(self, static_cast<T>(next));
      if constexpr (Kind == EStep::kNever) return 0;
      return delta > 0 ? (next == 0 ? 1 : 0) : (value == 0 ? 1 : 0);
    } else if constexpr (Kind == EStep::kFloat) {
      const double exact = static_cast<double>(value) + delta;
      constexpr double kLimit = 3.4028234663852886e38;
      Store<T>(self, static_cast<T>(exact));
      return (exact < -kLimit || exact > kLimit) ? 1 : 0;
    } else if constexpr (Kind == EStep::kDouble) {
      Store<T>(self, static_cast<T>(value + delta));
      return 0;
    } else {
      // Exact in the 80 bits: a detour through a double would lose the low millionths of large values.
      CCurrency next = value;
      const int inRange = next.bAddUnits(delta);
      Store<T>(self, next);
      return inRange ? 0 : 1;
    }
  }
};

// The steps and the sign test are replaced only by the types that have them.
template <std::uint8_t Code, class T, EStep Kind, bool Signed>
struct TNumber : TFixed<Code, T, Kind, Signed> {
  using Base = TFixed<Code, T, Kind, Signed>;
  static std::int32_t QZ_HOLDER_CALL nIncrement(CHostValueHolder* self) { return Base::Step(self, 1); }
  static std::int32_t QZ_HOLDER_CALL nDecrement(CHostValueHolder* self) { return Base::Step(self, -1); }
  static std::int32_t QZ_HOLDER_CALL bIsNonNegative(CHostValueHolder* self) {
    if constexpr (!Signed) {
      return 1;
    } else if constexpr (std::is_same_v<T, CCurrency>) {
      return Load<T>(self).bIsNegative() ? 0 : 1;
    } else {
      return Load<T>(self) >= 0 ? 1 : 0;
    }
  }
};

using CUInt32RawHolder = TFixed<HOST_TYPE_UINT32_RAW, std::uint32_t, EStep::kNone, false>;
using CUInt8Holder = TNumber<HOST_TYPE_UINT8, std::uint8_t, EStep::kRange, false>;
using CUInt16Holder = TNumber<HOST_TYPE_UINT16, std::uint16_t, EStep::kRange, false>;
using CUInt32Holder = TNumber<HOST_TYPE_UINT32, std::uint32_t, EStep::kRange, false>;
using CUInt64Holder = TNumber<HOST_TYPE_UINT64, std::uint64_t, EStep::kWrapOnly, false>;
using CInt8Holder = TNumber<HOST_TYPE_INT8, std::int8_t, EStep::kRange, true>;
using CInt16Holder = TNumber<HOST_TYPE_INT16, std::int16_t, EStep::kRange, true>;
using CInt32Holder = TNumber<HOST_TYPE_INT32, std::int32_t, EStep::kRange, true>;
using CInt64Holder = TNumber<HOST_TYPE_INT64, std::int64_t, EStep::kNever, true>;
using CCurrencyHolder = TNumber<HOST_TYPE_CURRENCY, CCurrency, EStep::kCurrency, true>;
using CFloatHolder = TNumber<HOST_TYPE_FLOAT, float, EStep::kFloat, true>;
using CDoubleHolder = TNumber<HOST_TYPE_DOUBLE, double, EStep::kDouble, true>;
// The second 8-byte integer: it steps like the first but is not tested for its sign.
using CInt64AltHolder = TNumber<HOST_TYPE_INT64_ALT, std::int64_t, EStep::kNever, false>;
using CDateTimeHolder = TFixed<HOST_TYPE_DATETIME, CHostDateTime, EStep::kNone, false>;
using CValue8Holder = TFixed<HOST_TYPE_VALUE8, std::int64_t, EStep::kNone, false>;

}  // namespace

const SHostValueHolderClass* pNumericHolderClass(std::uint8_t type) {
  switch (type) {
    case HOST_TYPE_UINT32_RAW: return &THolderClass<CUInt32RawHolder>::kClass;
    case HOST_TYPE_UINT8: return &THolderClass<CUInt8Holder>::kClass;
    case HOST_TYPE_UINT16: return &THolderClass<CUInt16Holder>::kClass;
    case HOST_TYPE_UINT32: return &THolderClass<CUInt32Holder>::kClass;
    case HOST_TYPE_UINT64: return &THolderClass<CUInt64Holder>::kClass;
    case HOST_TYPE_INT8: return &THolderClass<CInt8Holder>::kClass;
    case HOST_TYPE_INT16: return &THolderClass<CInt16Holder>::kClass;
    case HOST_TYPE_INT32: return &THolderClass<CInt32Holder>::kClass;
    case HOST_TYPE_INT64: return &THolderClass<CInt64Holder>::kClass;
    case HOST_TYPE_CURRENCY: return &THolderClass<CCurrencyHolder>::kClass;
    case HOST_TYPE_FLOAT: return &THolderClass<CFloatHolder>::kClass;
    case HOST_TYPE_DOUBLE: return &THolderClass<CDoubleHolder>::kClass;
    case HOST_TYPE_INT64_ALT: return &THolderClass<CInt64AltHolder>::kClass;
    case HOST_TYPE_DATETIME: return &THolderClass<CDateTimeHolder>::kClass;
    case HOST_TYPE_VALUE8: return &THolderClass<CValue8Holder>::kClass;
    default: return nullptr;
  }
}

}  // namespace holder
