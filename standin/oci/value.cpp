#include "standin/oci/value.h"

#include <sqlite3.h>

namespace qzoci {

namespace {

Value FromParts(int type, sqlite3_int64 i, double r, const void* text, int bytes, bool blob) {
  switch (type) {
    case SQLITE_INTEGER:
      return Value::Int(i);
    case SQLITE_FLOAT:
      return Value::Real(r);
    case SQLITE_NULL:
      return Value::Null();
    default: {
      std::string data = text ? std::string(static_cast<const char*>(text), static_cast<std::size_t>(bytes)) : "";
      return blob ? Value::Blob(std::move(data)) : Value::Text(std::move(data));
    }
  }
}

}  // namespace

Value Value::FromColumn(sqlite3_stmt* statement, int column) {
  const int type = sqlite3_column_type(statement, column);
  if (type == SQLITE_BLOB) {
    const void* data = sqlite3_column_blob(statement, column);
    return FromParts(type, 0, 0, data, sqlite3_column_bytes(statement, column), true);
  }
  if (type == SQLITE_TEXT) {
    const unsigned char* data = sqlite3_column_text(statement, column);
    return FromParts(type, 0, 0, data, sqlite3_column_bytes(statement, column), false);
  }
  return FromParts(type, sqlite3_column_int64(statement, column), sqlite3_column_double(statement, column), nullptr,
                   0, false);
}

Value Value::FromSqlite(sqlite3_value* value) {
  const int type = sqlite3_value_type(value);
  if (type == SQLITE_BLOB) {
    return FromParts(type, 0, 0, sqlite3_value_blob(value), sqlite3_value_bytes(value), true);
  }
  if (type == SQLITE_TEXT) {
    return FromParts(type, 0, 0, sqlite3_value_text(value), sqlite3_value_bytes(value), false);
  }
  return FromParts(type, sqlite3_value_int64(value), sqlite3_value_double(value), nullptr, 0, false);
}

int Value::Bind(sqlite3_stmt* statement, int index) const {
  switch (kind) {
    case Kind::kNull:
      return sqlite3_bind_null(statement, index);
    case Kind::kInt:
      return sqlite3_bind_int64(statement, index, i);
    case Kind::kReal:
      return sqlite3_bind_double(statement, index, r);
    case Kind::kText:
      return sqlite3_bind_text(statement, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    case Kind::kBlob:
      return sqlite3_bind_blob(statement, index, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
  }
  return SQLITE_MISUSE;
}

void Value::Result(sqlite3_context* context) const {
  switch (kind) {
    case Kind::kNull:
      sqlite3_result_null(context);
      break;
    case Kind::kInt:
      sqlite3_result_int64(context, i);
      break;
    case Kind::kReal:
      sqlite3_result_double(context, r);
      break;
    case Kind::kText:
      sqlite3_result_text(context, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
      break;
    case Kind::kBlob:
      sqlite3_result_blob(context, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
      break;
  }
}

}  // namespace qzoci
