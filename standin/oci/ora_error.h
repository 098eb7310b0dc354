// Oracle errors as the client reports them: an ORA number with its text worded as Oracle words it, and the map
// from SQLite's failures to the numbers a program expects.
#pragma once

#include <string>

#include "standin/oci/oci_types.h"

struct sqlite3;

namespace qzoci {

struct OraError {
  int code = 0;
  std::string text;  // "ORA-00942: table or view does not exist"
  std::string token;  // the name or word the failure is about, where one is known: it places the parse offset
  ub2 offset = 0;     // where in the client's statement text the failure is (OCI_ATTR_PARSE_ERROR_OFFSET)

  explicit operator bool() const { return code != 0; }
};

// The error of an ORA number; `detail` fills the number's placeholder (a constraint, a column, a name).
OraError MakeOraError(int code, const std::string& detail = std::string());

// SQLite's last failure on a connection as an Oracle error. `statementType` (OCI_STMT_*) tells a foreign-key
// failure of a DELETE (child record found) from one of an INSERT or UPDATE (parent key not found).
OraError OraErrorFromSqlite(sqlite3* connection, int resultCode, int statementType, const std::string& owner);

}  // namespace qzoci
