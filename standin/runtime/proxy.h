// The stand-in's proxy interface (what pQueryProxy(102) answers) and the handles it makes: runtime decimals with a
// precision (total digits, 0 for any) and a scale. Both are called by slot number, so their operations are declared
// in the runtime's slot order. The proxy owns every handle it made until the handle is given back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "standin/runtime/decimal.h"

namespace qzrt::services {

class DecimalHandle final {
 public:
  DecimalHandle(std::int32_t precision, std::int32_t scale) : m_precision(precision), m_scale(scale) {}

  virtual const void* pGetData();                                                                 // slot 0
  virtual std::uint32_t nGetDataSize();                                                           // slot 1
  virtual void SetFromKeyInput(std::int32_t precision, std::int32_t scale, const void* data);     // slot 2
  virtual void SetMinimum();  // slot 3
  virtual void SetMaximum();  // slot 4
  virtual std::int32_t nCopyWithTerminator(void* destination);                                   // slot 5
  virtual std::int32_t nSetFromBuffer(const void* data, std::size_t size);                       // slot 6
  virtual void WriteSortKey(std::uint8_t* buffer);                                                // slot 7
  virtual void Slot8();
  virtual std::int32_t nSet(const DecimalHandle* source);                                        // slot 9
  virtual void Slot10();
  virtual void Slot11();
  virtual void Slot12();
  virtual void Slot13();
  virtual void Slot14();
  virtual void Slot15();
  virtual void Slot16();
  virtual void Slot17();
  virtual void Slot18();
  virtual void Slot19();
  virtual void Slot20();
  virtual std::intptr_t nGetBinaryInfoFirst();   // slot 21: the precision
  virtual std::intptr_t nGetBinaryInfoSecond();  // slot 22: the scale
  virtual std::int32_t bIsNegative();                                                             // slot 23
  virtual void SetPrecision(std::int32_t precision, std::int32_t scale);                          // slot 24

  // The stand-in's own access, for its conversions.
  const Decimal& Value() const { return m_value; }
  void SetValue(const Decimal& value) { m_value = value; }
  std::int32_t Precision() const { return m_precision; }

 private:
  void SetLimit(bool negative);

  Decimal m_value;
  std::int32_t m_precision;
  std::int32_t m_scale;
  std::uint8_t m_abBytes[Decimal::kByteFormSize] = {};
};

class Proxy {
 public:
  // Kind 0 makes a decimal of that precision and scale; other kinds make nothing.
  virtual DecimalHandle* pCreateHandle(std::int32_t kind, std::int32_t precision, std::int32_t scale);  // slot 0
  virtual void ReleaseHandle(DecimalHandle* handle);                                                   // slot 1
};

Proxy& TheProxy();
// Handles made and not yet given back.
std::size_t LiveHandleCount();

}  // namespace qzrt::services
