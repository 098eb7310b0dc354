#include "standin/oci/ora_error.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "standin/oci/sql_rewrite.h"
#include "standin/oci/text_codec.h"

namespace qzoci {

namespace {

struct Message {
  int code;
  const char* text;  // %s stands for the detail
};

const Message kMessages[] = {
    {1, "unique constraint (%s) violated"},
    {54, "resource busy and acquire with NOWAIT specified or timeout expired"},
    {60, "deadlock detected while waiting for resource"},
    {600, "internal error code, arguments: [%s]"},
    {900, "invalid SQL statement"},
    {901, "invalid CREATE command"},
    {903, "invalid table name"},
    {904, "%s: invalid identifier"},
    {905, "missing keyword"},
    {907, "missing right parenthesis"},
    {910, "specified length too long for its datatype"},
    {911, "invalid character"},
    {917, "missing comma"},
    {918, "column ambiguously defined"},
    {922, "missing or invalid option"},
    {923, "FROM keyword not found where expected"},
    {932, "inconsistent datatypes: %s"},
    {933, "SQL command not properly ended"},
    {936, "missing expression"},
    {942, "table or view does not exist"},
    {955, "name is already used by an existing object"},
    {969, "missing ON keyword"},
    {1002, "fetch out of sequence"},
    {1007, "variable not in select list"},
    {1008, "not all variables bound"},
    {3001, "unimplemented feature: %s"},
    {1036, "illegal variable name/number"},
    {1012, "not logged on"},
    {1017, "invalid username/password; logon denied"},
    {1400, "cannot insert NULL into (%s)"},
    {1435, "user does not exist"},
    {12705, "Cannot access NLS data files or invalid environment specified"},
    {1403, "no data found"},
    {1405, "fetched column value is NULL"},
    {1406, "fetched column value was truncated"},
    {1407, "cannot update (%s) to NULL"},
    {1722, "invalid number"},
    {1727, "numeric precision specifier is out of range (1 to 38)"},
    {2014, "cannot select FOR UPDATE from view with DISTINCT, GROUP BY, etc."},
    {1830, "date format picture ends before converting entire input string"},
    {1840, "input value not long enough for date format"},
    {1841, "(full) year must be between -4713 and +9999, and not be 0"},
    {1843, "not a valid month"},
    {1858, "a non-numeric character was found where a numeric was expected"},
    {1918, "user '%s' does not exist"},
    {1920, "user name '%s' conflicts with another user or role name"},
    {2289, "sequence does not exist"},
    {2290, "check constraint (%s) violated"},
    {2291, "integrity constraint (%s) violated - parent key not found"},
    {2292, "integrity constraint (%s) violated - child record found"},
    {2049, "timeout: distributed transaction waiting for lock"},
    {3113, "end-of-file on communication channel"},
    {4043, "object %s does not exist"},
    {6550, "line 1, column 1:\nPLS-00103: anonymous blocks are not run by this client"},
    {8002, "sequence %s.CURRVAL is not yet defined in this session"},
    {8004, "sequence %s.NEXTVAL exceeds MAXVALUE and cannot be instantiated"},
    {12154, "TNS:could not resolve the connect identifier specified"},
    {24315, "illegal attribute type"},
    {24334, "no descriptor for this position"},
    {24337, "statement handle not prepared"},
    {24338, "statement handle not executed"},
    {24347, "Warning of a NULL column in an aggregate function"},
    {24374, "define not done before fetch or execute and fetch"},
    {24804, "Lob read/write functions called while another OCI LOB read/write streaming is in progress"},
    {22275, "invalid LOB locator specified"},
    {22289, "cannot perform operation on an unopened file or LOB"},
    {22288, "file or LOB operation FILEOPEN failed\n%s"},
    {3106, "fatal two-task communication protocol error"},
    {24757, "duplicate transaction identifier"},
    {24767, "transaction branch prepare returns read-only"},
    {24776, "cannot start a new transaction"},
    {22293, "LOB already opened in the same transaction"},
    {24431, "Statement does not exist in the cache"},
    {1455, "converting column overflows integer datatype"},
    {1459, "invalid length for variable character string"},
    {1426, "numeric overflow"},
    {1438, "value larger than specified precision allowed for this column"},
    {1873, "the leading precision of the interval is too small"},
    {1465, "invalid hex number"},
    {1480, "trailing null missing from STR bind value"},
    {1461, "can bind a LONG value only for insert into a LONG column"},
};

}  // namespace

OraError MakeOraError(int code, const std::string& detail) {
  const char* pattern = "unknown error";
  for (const Message& m : kMessages) {
    if (m.code == code) {
      pattern = m.text;
      break;
    }
  }
  std::string body = pattern;
  const std::size_t at = body.find("%s");
  if (at != std::string::npos) body.replace(at, 2, detail);
  char head[16];
  std::snprintf(head, sizeof head, "ORA-%05d: ", code);
  return OraError{code, head + body, std::string(), 0};
}

OraError OraErrorFromSqlite(sqlite3* connection, int resultCode, int statementType, const std::string& owner) {
  const std::string message = connection ? sqlite3_errmsg(connection) : "";
  const int primary = resultCode & 0xFF;
  auto after = [&](const char* prefix) {
    const std::size_t at = message.find(prefix);
    return at == std::string::npos ? std::string() : message.substr(at + std::strlen(prefix));
  };
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) return MakeOraError(54);
  // The stand-in's own functions fail with the Oracle error already worded.
  if (message.rfind("ORA-", 0) == 0) return OraError{std::atoi(message.c_str() + 4), message, std::string(), 0};
  if (resultCode == SQLITE_CONSTRAINT_UNIQUE || resultCode == SQLITE_CONSTRAINT_PRIMARYKEY) {
    return MakeOraError(1, owner + "." + OracleName(after(": ")));
  }
  if (resultCode == SQLITE_CONSTRAINT_NOTNULL) {
    // "NOT NULL constraint failed: T.C" -> ("OWNER"."T"."C")
    std::string target = OracleName(after(": "));
    const std::size_t dot = target.find('.');
    std::string quoted = "\"" + owner + "\".\"";
    quoted += dot == std::string::npos ? target : target.substr(0, dot) + "\".\"" + target.substr(dot + 1);
    quoted += "\"";
    return MakeOraError(statementType == 2 ? 1407 : 1400, quoted);
  }
  if (resultCode == SQLITE_CONSTRAINT_FOREIGNKEY) {
    return MakeOraError(statementType == 3 ? 2292 : 2291, owner + ".FOREIGN_KEY");
  }
  if (resultCode == SQLITE_CONSTRAINT_CHECK) return MakeOraError(2290, owner + "." + OracleName(after(": ")));
  if (message.rfind("no such table", 0) == 0 || message.rfind("no such view", 0) == 0) {
    OraError error = MakeOraError(942);
    error.token = OracleName(after(": "));
    const std::size_t dot = error.token.rfind('.');
    if (dot != std::string::npos) error.token.erase(0, dot + 1);
    return error;
  }
  if (message.find("not authorized") != std::string::npos || message.find("is prohibited") != std::string::npos) {
    return MakeOraError(942);
  }
  if (message.rfind("no such column", 0) == 0) {
    std::string quoted(1, '"');
    std::string column = OracleName(after(": "));
    const std::size_t dot = column.rfind('.');
    if (dot != std::string::npos) column.erase(0, dot + 1);
    quoted.append(OracleName(after(": "))).push_back('"');
    OraError error = MakeOraError(904, quoted);
    error.token = column;
    return error;
  }
  if (message.find("already exists") != std::string::npos) return MakeOraError(955);
  if (message.find("ambiguous column") != std::string::npos) return MakeOraError(918);
  if (message.find("syntax error") != std::string::npos || message.find("incomplete input") != std::string::npos) {
    OraError error = MakeOraError(933);
    // "near "X": syntax error"
    const std::size_t open = message.find("near \"");
    const std::size_t close = open == std::string::npos ? open : message.find('"', open + 6);
    if (close != std::string::npos) error.token = message.substr(open + 6, close - open - 6);
    return error;
  }
  if (message.find("no such function") != std::string::npos) return MakeOraError(904, OracleName(after(": ")));
  if (primary == SQLITE_RANGE) return MakeOraError(1008);
  return MakeOraError(600, "qzoci], [" + message);
}

}  // namespace qzoci
