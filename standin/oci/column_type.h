// The Oracle type of a column, read from the type text SQLite keeps as it was declared ("VARCHAR2(20)",
// "NUMBER(10,2)", "TIMESTAMP WITH TIME ZONE(3)", "NCLOB", ...): the internal type code a describe reports, the
// catalog's DATA_TYPE text and lengths, and whether the column holds national characters.
#pragma once

#include <cstdint>
#include <string>

namespace qzoci {

struct OraColumnType {
  std::uint16_t code = 1;  // OCI_ATTR_DATA_TYPE
  std::string name = "VARCHAR2";
  std::uint32_t dataSize = 4000;  // bytes
  std::uint32_t charSize = 0;     // characters for the text types
  int precision = 0;
  int scale = 0;
  bool hasPrecision = false;
  std::uint8_t charsetForm = 1;  // 2 for NCHAR, NVARCHAR2, NCLOB

  bool IsText() const { return code == 1 || code == 96 || code == 8 || code == 112; }
  bool IsDate() const { return code == 12; }
  bool IsTimestamp() const { return code == 187 || code == 188 || code == 232; }
  bool IsInterval() const { return code == 189 || code == 190; }
  bool IsNumber() const { return code == 2 || code == 4; }
  bool IsLob() const { return code == 112 || code == 113 || code == 114; }
};

// Empty or unknown declared types give a VARCHAR2(4000).
OraColumnType ParseDeclaredType(const std::string& declared);

}  // namespace qzoci
