#include "standin/runtime/proxy.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <map>
#include <memory>
#include <mutex>

namespace qzrt::services {

namespace {

struct Handles {
  std::mutex mutex;
  std::map<DecimalHandle*, std::unique_ptr<DecimalHandle>> live;
};

Handles& TheHandles() {
  static Handles handles;
  return handles;
}

constexpr std::size_t kSortKeySize = 32;

}  // namespace

const void* DecimalHandle::pGetData() {
  m_value.ToBytes(m_abBytes);
  return m_abBytes;
}
std::uint32_t DecimalHandle::nGetDataSize() { return Decimal::kByteFormSize; }

// The packed digits of a field or a key: a signed integer of as many bytes as the precision's digits need, at the
// given scale. Without a precision the data is a whole byte form, which states its own scale.
void DecimalHandle::SetFromKeyInput(std::int32_t precision, std::int32_t scale, const void* data) {
  if (precision >= 1 && precision <= Decimal::kMaxDigits) {
    m_value = Decimal::FromInteger(data, Decimal::IntegerBytesFor(precision), scale);
  } else {
    m_value = Decimal::FromBytes(data);
  }
  SetPrecision(precision, scale);
}

std::int32_t DecimalHandle::nCopyWithTerminator(void* destination) {
  m_value.ToBytes(static_cast<std::uint8_t*>(destination));
  return 0;
}

std::int32_t DecimalHandle::nSetFromBuffer(const void* data, std::size_t size) {
  if (!data || size < Decimal::kByteFormSize) return 105;
  m_value = Decimal::FromBytes(data);
  return 0;
}

// Sign first (0x7F below 0x80), then the magnitude at the handle's scale most significant byte first, inverted for
// negatives so that larger magnitudes come first; the rest is zero.
void DecimalHandle::WriteSortKey(std::uint8_t* buffer) {
  Decimal value = m_value;
  value.Rescale(m_scale);
  std::uint8_t bytes[Decimal::kIntegerBytes];
  value.MagnitudeBytes(bytes);
  std::memset(buffer, 0, kSortKeySize);
  const bool negative = value.IsNegative();
  buffer[0] = negative ? 0x7F : 0x80;
  for (std::size_t i = 0; i < Decimal::kIntegerBytes; ++i) {
    const std::uint8_t byte = bytes[Decimal::kIntegerBytes - 1 - i];
    buffer[1 + i] = negative ? static_cast<std::uint8_t>(~byte) : byte;
  }
}

std::int32_t DecimalHandle::nSet(const DecimalHandle* source) {
  if (!source) return 105;
  m_value = source->m_value;
  m_precision = source->m_precision;
  m_scale = source->m_scale;
  return 0;
}

std::int32_t DecimalHandle::bIsNegative() { return m_value.IsNegative() ? 1 : 0; }

void DecimalHandle::SetPrecision(std::int32_t precision, std::int32_t scale) {
  m_precision = precision;
  m_scale = scale;
  m_value.Rescale(scale);
}

// The largest magnitude the handle's digits hold: all nines, `scale` of them after the point; a handle of any
// precision (0) takes every digit a decimal has.
void DecimalHandle::SetLimit(bool negative) {
  const int digits = m_precision > 0 && m_precision < Decimal::kMaxDigits ? m_precision : Decimal::kMaxDigits;
  const int scale = std::clamp(m_scale, 0, digits);
  std::u16string text = negative ? u"-" : u"";
  text.append(static_cast<std::size_t>(digits - scale), u'9');
  if (scale > 0) text.append(1, u'.').append(static_cast<std::size_t>(scale), u'9');
  Decimal::Parse(text, m_value);
}

void DecimalHandle::SetMinimum() { SetLimit(true); }
void DecimalHandle::SetMaximum() { SetLimit(false); }
void DecimalHandle::Slot8() {}
void DecimalHandle::Slot10() {}
void DecimalHandle::Slot11() {}
void DecimalHandle::Slot12() {}
void DecimalHandle::Slot13() {}
void DecimalHandle::Slot14() {}
void DecimalHandle::Slot15() {}
void DecimalHandle::Slot16() {}
void DecimalHandle::Slot17() {}
void DecimalHandle::Slot18() {}
void DecimalHandle::Slot19() {}
void DecimalHandle::Slot20() {}
std::intptr_t DecimalHandle::nGetBinaryInfoFirst() { return m_precision; }
std::intptr_t DecimalHandle::nGetBinaryInfoSecond() { return m_scale; }

DecimalHandle* Proxy::pCreateHandle(std::int32_t kind, std::int32_t precision, std::int32_t scale) {
  if (kind != 0) return nullptr;
  auto handle = std::make_unique<DecimalHandle>(precision, scale);
  DecimalHandle* pointer = handle.get();
  std::lock_guard lock(TheHandles().mutex);
  TheHandles().live.emplace(pointer, std::move(handle));
  return pointer;
}

// A handle given back twice, or never made here, is ignored rather than freed.
void Proxy::ReleaseHandle(DecimalHandle* handle) {
  std::lock_guard lock(TheHandles().mutex);
  TheHandles().live.erase(handle);
}

Proxy& TheProxy() {
  static Proxy proxy;
  return proxy;
}

std::size_t LiveHandleCount() {
  std::lock_guard lock(TheHandles().mutex);
  return TheHandles().live.size();
}

}  // namespace qzrt::services
