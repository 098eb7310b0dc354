#include "standin/oci/column_type.h"

#include <cstdio>
#include <cstdlib>

#include "standin/oci/text_codec.h"

namespace qzoci {

namespace {

bool Has(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }

// The numbers between the first parentheses: "(20)" or "(10,2)".
int ReadArgs(const std::string& text, int& a, int& b) {
  const std::size_t open = text.find('(');
  if (open == std::string::npos) return 0;
  return std::sscanf(text.c_str() + open, "(%d , %d", &a, &b);
}

}  // namespace

OraColumnType ParseDeclaredType(const std::string& declared) {
  std::string t = ToUpperAscii(declared);
  // The stand-in's spellings of NUMBER and RAW columns (see MapDdlTypes): the word that gives their storage goes.
  for (const char* word : {" QZ_TEXT", " QZ_BLOB"}) {
    const std::size_t marker = t.find(word);
    if (marker != std::string::npos) t.erase(marker, 8);
  }
  OraColumnType c;
  int a = 0;
  int b = 0;
  const int args = ReadArgs(t, a, b);
  auto text = [&](std::uint16_t code, const char* name, std::uint8_t form) {
    c.code = code;
    c.name = name;
    c.charsetForm = form;
    c.charSize = args >= 1 ? static_cast<std::uint32_t>(a) : (code == 96 ? 1 : 4000);
    c.dataSize = c.charSize;
  };
  if (t.empty()) {
    text(1, "VARCHAR2", 1);
    return c;
  }
  if (t.rfind("XMLTYPE", 0) == 0) {
    // An object type: described as Oracle describes it (SQLT_NTY), its values are never fetched here.
    c.code = 108;
    c.name = "XMLTYPE";
    c.dataSize = 2000;
    return c;
  }
  if (Has(t, "INTERVAL")) {
    c.code = Has(t, "YEAR") ? 189 : 190;
    c.name = c.code == 189 ? "INTERVAL YEAR(2) TO MONTH" : "INTERVAL DAY(2) TO SECOND(6)";
    c.dataSize = c.code == 189 ? 5 : 11;
    c.scale = c.code == 190 ? (args >= 1 ? a : 6) : 0;
    return c;
  }
  if (Has(t, "TIMESTAMP")) {
    const bool local = Has(t, "LOCAL");
    const bool zone = Has(t, "ZONE");
    c.code = local ? 232 : zone ? 188 : 187;
    c.scale = args >= 1 ? a : 6;
    c.name = "TIMESTAMP(" + std::to_string(c.scale) + ")" +
             (local ? " WITH LOCAL TIME ZONE" : zone ? " WITH TIME ZONE" : "");
    c.dataSize = zone && !local ? 13 : 11;
    return c;
  }
  if (t.rfind("DATE", 0) == 0) {
    c.code = 12;
    c.name = "DATE";
    c.dataSize = 7;
    return c;
  }
  if (Has(t, "NCLOB")) {
    text(112, "NCLOB", 2);
    c.dataSize = 4000;
    return c;
  }
  if (Has(t, "CLOB")) {
    text(112, "CLOB", 1);
    c.dataSize = 4000;
    return c;
  }
  if (Has(t, "BLOB")) {
    c.code = 113;
    c.name = "BLOB";
    c.dataSize = 4000;
    return c;
  }
  if (Has(t, "BFILE")) {
    c.code = 114;
    c.name = "BFILE";
    c.dataSize = 530;
    return c;
  }
  if (Has(t, "LONG") && Has(t, "RAW")) {
    c.code = 24;
    c.name = "LONG RAW";
    c.dataSize = 0;
    return c;
  }
  if (t.rfind("RAW", 0) == 0) {
    c.code = 23;
    c.name = "RAW";
    c.dataSize = args >= 1 ? static_cast<std::uint32_t>(a) : 2000;
    return c;
  }
  if (t.rfind("LONG", 0) == 0) {
    c.code = 8;
    c.name = "LONG";
    c.dataSize = 0;
    return c;
  }
  if (t.rfind("NVARCHAR", 0) == 0) {
    text(1, "NVARCHAR2", 2);
    return c;
  }
  if (t.rfind("NCHAR", 0) == 0) {
    text(96, "NCHAR", 2);
    return c;
  }
  if (Has(t, "VARCHAR") || Has(t, "TEXT") || Has(t, "STRING")) {
    text(1, "VARCHAR2", 1);
    return c;
  }
  if (t.rfind("CHAR", 0) == 0) {
    text(96, "CHAR", 1);
    return c;
  }
  if (t.rfind("ROWID", 0) == 0) {
    text(1, "VARCHAR2", 1);
    c.charSize = c.dataSize = 18;
    return c;
  }
  if (t.rfind("FLOAT", 0) == 0 || t.rfind("DOUBLE", 0) == 0 || t.rfind("REAL", 0) == 0) {
    c.code = 4;
    c.name = "FLOAT";
    c.dataSize = 22;
    c.precision = args >= 1 ? a : 126;
    c.hasPrecision = true;
    return c;
  }
  if (Has(t, "INT")) {
    c.code = 2;
    c.name = "NUMBER";
    c.dataSize = 22;
    c.precision = 38;
    c.scale = 0;
    c.hasPrecision = true;
    return c;
  }
  if (Has(t, "NUM") || Has(t, "DEC")) {
    c.code = 2;
    c.name = "NUMBER";
    c.dataSize = 22;
    if (args >= 1) {
      c.precision = a;
      c.scale = args >= 2 ? b : 0;
      c.hasPrecision = true;
    }
    return c;
  }
  text(1, "VARCHAR2", 1);
  return c;
}

}  // namespace qzoci
