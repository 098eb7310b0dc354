// One SQL value as the stand-in moves it between SQLite and a client's buffers: null, integer, real, text (UTF-8)
// or bytes. Dates and timestamps are texts in their canonical form (see ora_datetime.h).
#pragma once

#include <cstdint>
#include <string>

struct sqlite3_stmt;
struct sqlite3_value;
struct sqlite3_context;

namespace qzoci {

struct Value {
  enum class Kind { kNull, kInt, kReal, kText, kBlob };
  Kind kind = Kind::kNull;
  std::int64_t i = 0;
  double r = 0.0;
  std::string s;  // text or bytes

  static Value Null() { return Value(); }
  static Value Int(std::int64_t v) {
    Value x;
    x.kind = Kind::kInt;
    x.i = v;
    return x;
  }
  static Value Real(double v) {
    Value x;
    x.kind = Kind::kReal;
    x.r = v;
    return x;
  }
  static Value Text(std::string v) {
    Value x;
    x.kind = Kind::kText;
    x.s = std::move(v);
    return x;
  }
  static Value Blob(std::string v) {
    Value x;
    x.kind = Kind::kBlob;
    x.s = std::move(v);
    return x;
  }
  bool IsNull() const { return kind == Kind::kNull; }

  static Value FromColumn(sqlite3_stmt* statement, int column);
  static Value FromSqlite(sqlite3_value* value);
  // Binds at a 1-based parameter index; answers the SQLite result code.
  int Bind(sqlite3_stmt* statement, int index) const;
  void Result(sqlite3_context* context) const;
};

}  // namespace qzoci
