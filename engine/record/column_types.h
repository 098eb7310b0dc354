// The driver's column type codes (EColumnType) and the maps between them and the runtime's value type codes: which
// runtime type a column's values cross the interface in, and which column type holds a runtime type.
#pragma once

#include <cstdint>

#include "host/column_type_map.h"

enum EColumnType : std::uint32_t {
  COLUMN_TYPE_NONE = 0,
  COLUMN_TYPE_AUTO_ID8 = 1,
  COLUMN_TYPE_TEXT = 2,
  COLUMN_TYPE_INT16 = 3,
  COLUMN_TYPE_INT8 = 4,
  COLUMN_TYPE_INT32 = 5,
  COLUMN_TYPE_REAL4 = 6,
  COLUMN_TYPE_REAL8 = 7,
  COLUMN_TYPE_UINT16 = 9,
  COLUMN_TYPE_HOST_DATE = 10,
  COLUMN_TYPE_TIME = 11,
  COLUMN_TYPE_UINT8 = 12,
  COLUMN_TYPE_HOST_REAL = 13,
  COLUMN_TYPE_DATE = 14,
  COLUMN_TYPE_TEXT_MEMO = 15,
  COLUMN_TYPE_LONG_BINARY = 16,
  COLUMN_TYPE_CURRENCY = 17,
  COLUMN_TYPE_BINARY_MEMO = 18,
  COLUMN_TYPE_INT64 = 19,
  COLUMN_TYPE_UINT64 = 20,
  COLUMN_TYPE_FIXED_TEXT = 21,
  COLUMN_TYPE_UINT32 = 22,
  COLUMN_TYPE_BINARY = 23,
  COLUMN_TYPE_DATETIME = 24,
  COLUMN_TYPE_VALUE8 = 25,
  COLUMN_TYPE_CHAR = 26,
  COLUMN_TYPE_ONE_DIGIT = 27,
  COLUMN_TYPE_AUTO_ID4 = 28,
  COLUMN_TYPE_WTEXT = 29,
  COLUMN_TYPE_WTEXT_MEMO = 30,
  COLUMN_TYPE_DECIMAL = 31,
};
