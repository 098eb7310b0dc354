// Values between a client's buffers and the stand-in: reading a bound buffer of any scalar external type (text in
// the client's character set, integers, reals, NUMBER bytes, the 7-byte DATE and the OCIDate, raw bytes and their
// length-prefixed forms), and writing a value into a defined or out-bound buffer with Oracle's conversions, lengths
// and truncation. Descriptor types (LOB, timestamp, interval, REF CURSOR) are the entry points' business.
#pragma once

#include <cstdint>
#include <string>

#include "standin/oci/column_type.h"
#include "standin/oci/oci_types.h"
#include "standin/oci/ora_error.h"
#include "standin/oci/value.h"

namespace qzoci {

struct TextSettings {
  std::string dateFormat = "DD-MON-RR";
  std::string timestampFormat = "DD-MON-RR HH.MI.SSXFF AM";
  char decimalMark = '.';
};

// `length` is the value's length in bytes (from the length array or the buffer size).
Value ReadClientValue(ub2 dty, const void* data, std::uint32_t length, ub2 charset, OraError& error);

struct WriteResult {
  std::uint32_t length = 0;  // bytes written (the value's length for the returned-length word)
  sb2 indicator = 0;         // 0, -1 for NULL, the untruncated length when cut
  int code = 0;              // 0, 1406 (truncated, a warning) or an error number
};

// The text form of a value as Oracle converts it implicitly (numbers with the session's decimal mark, dates with
// its date format, raw bytes in hexadecimal).
std::string TextForm(const Value& value, const OraColumnType& type, const TextSettings& settings);

WriteResult WriteClientValue(const Value& value, const OraColumnType& type, ub2 dty, void* data,
                             std::uint32_t size, ub2 charset, const TextSettings& settings);

bool IsTextType(ub2 dty);

struct Decimal;
// A number as the stand-in hands it to SQLite: an integer when it is one that 64 bits hold, a real when its 15
// significant digits or fewer come back from a double unchanged, otherwise its exact text (".5" form), which the
// NUMBER columns keep as it is (see the column spelling in sql_rewrite.cpp).
Value ValueOfNumber(const Decimal& number);

}  // namespace qzoci
