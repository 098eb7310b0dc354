// The connection's dialect fragments (type names and limits, literals, digit expressions of date/time operands,
// quoting) are operations of CConnection, declared in sql/connection.h and defined in connection_dialect.cpp. This
// header holds what they are built from that stands alone.
#pragma once

#include "foundation/t_string.h"

enum class ESqlLiteralText { kNull, kEmpty, kText };

// The text path of CConnection::bParseSqlLiteral: a null text, "NULL" in any case or, when `emptyIsNull`, an empty
// text reads as NULL; another empty text as empty; a text in single quotes loses them and its quote and backslash
// doubling; any other text is taken as it is. The text is left in `out` for kText.
ESqlLiteralText ReadSqlLiteralText(const char16_t* literal, bool emptyIsNull, CTString& out);
