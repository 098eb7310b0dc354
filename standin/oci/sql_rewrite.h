// The thin rewrite that lets SQLite run the Oracle SQL a client sends: it classifies a statement (the statement
// type OCI reports after prepare), turns the statements SQLite has no form for into actions the engine carries out
// itself (LOCK TABLE, ALTER SESSION, sequences, comments, synonyms, users, COMMIT and ROLLBACK), takes the clauses
// SQLite lacks off the text (FOR UPDATE, RETURNING ... INTO) and maps the pseudo-columns and names it does not know
// (ROWID, SYSDATE, USER, NEXTVAL and CURRVAL, SYS. views, the session's own schema) to the stand-in's functions.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qzoci {

enum class SqlAction {
  kRun,             // the rewritten text runs on SQLite
  kLockTable,       // LOCK TABLE ... IN mode MODE [NOWAIT]
  kAlterSession,    // ALTER SESSION SET name = value ...
  kCreateSequence,  // CREATE SEQUENCE
  kDropSequence,
  kComment,         // COMMENT ON TABLE / COLUMN
  kCreateSynonym,
  kDropSynonym,
  kCreateUser,
  kDropUser,
  kIgnored,  // GRANT, REVOKE, and the like: accepted, nothing to do
  kCommit,
  kRollback,
  kOpenCursor,  // BEGIN OPEN :c FOR SELECT ...; END; -- a REF CURSOR opened on a query
  kPlsql,       // any other anonymous block: SQLite cannot run it
  kEmpty,
};

struct SqlPlan {
  SqlAction action = SqlAction::kRun;
  std::uint16_t statementType = 0;  // OCI_STMT_*
  std::string sql;                  // for kRun: the text for SQLite
  std::string firstWord;            // upper case

  // SELECT ... FOR UPDATE: the clause was taken off; `lockTarget` is the first table of the FROM list, the select
  // list gained one last column, its rowid, which the engine uses for the row locks and drops from the result.
  bool forUpdate = false;
  bool noWait = false;
  std::string lockTarget;
  // FOR UPDATE of a sub-query of one table: the select list is left as it is, and this text gives the rowids of
  // the rows to lock, binding the same markers.
  std::string lockSql;
  // A plain select of one table's rows: the same text with that table's rowid as one last column, and the table,
  // run instead when the rows give out LOB locators, which must name their row to be written.
  std::string rowidSql;
  std::string rowidTable;

  // A query's select-list items as written (none when the list has a "*"), and its FROM clause onwards as SQLite
  // runs it: what the types of computed columns are worked out from (TypeOfExpression).
  std::vector<std::string> selectItems;
  std::string fromClause;

  // INSERT/UPDATE/DELETE: the target table, and the WHERE text of UPDATE and DELETE.
  std::string dmlTable;
  std::string dmlWhere;
  // RETURNING e1, e2 INTO :b1, :b2 (taken off the text).
  std::vector<std::string> returning;
  std::vector<std::string> returningInto;
  // The place of each INTO marker among all the statement's markers (1-based), for binds by position.
  std::vector<std::uint32_t> returningPositions;

  // LOCK TABLE: the tables and the mode ("ROW SHARE", "EXCLUSIVE", ...).
  std::vector<std::pair<std::string, std::string>> lockTables;  // owner (empty: the session's) and table
  std::string lockMode;

  // ALTER SESSION SET: the pairs, names in upper case, values unquoted.
  std::vector<std::pair<std::string, std::string>> settings;

  // Sequences, synonyms, users and comments: the object's name (possibly owner-qualified) and its details; DROP
  // TABLE: the table.
  std::string objectName;
  std::string targetName;  // synonym target, comment's column, user's password
  std::string text;        // comment text; the query of a REF CURSOR
  bool commentOnColumn = false;
  bool publicSynonym = false;
  long long seqStart = 1;
  long long seqIncrement = 1;
  long long seqMin = 1;
  long long seqMax = 0;  // 0: none
  bool seqCycle = false;

  // The syntax error the rewrite found itself (ORA number), 0 when none.
  int error = 0;
};

// SQLite compares names without regard to ASCII case, where Oracle keeps the case of a quoted name: "t1" and "T1"
// are two tables, and the unquoted MIXEDCASE does not find "mixedCase". A name reaches SQLite with each lower-case
// ASCII letter written as kLowerMark and its capital, so that no two Oracle names meet; an unquoted name, which Oracle
// reads in upper case, is left as written and finds only the capitals. The mark is a control character no client
// puts in a name.
constexpr char kLowerMark = '\x01';
std::string SqliteName(const std::string& oracleName);
// The Oracle name of a name (or a column's expression text) as SQLite keeps it: marked letters in lower case, the
// others in upper case.
std::string OracleName(const std::string& sqliteName);

// A key or reference a CREATE TABLE text declares: its name as given (empty when none), kind ('P' primary key, 'U'
// unique, 'R' reference) and columns, names as written in the text.
struct DeclaredConstraint {
  std::string name;
  char kind = 'P';
  std::vector<std::string> columns;
};
std::vector<DeclaredConstraint> DeclaredConstraints(const std::string& createTable);

// What the type of a computed select-list item is, from the expression alone: a type of its own, as a column declares
// one (`declared`), or that of one of its operands (`operand`, a column or expression, as written), with
// `textOfOperand` when the result is text in the operand's character set (SUBSTR of an NVARCHAR2 is national) and
// `dateOrNumber` when it is the operand's type if that is a date, else a NUMBER (ROUND, TRUNC). Both empty when the
// expression tells nothing.
struct ExpressionType {
  std::string declared;
  std::string operand;
  bool textOfOperand = false;
  bool dateOrNumber = false;
  bool column = false;  // the item is the column `operand` itself
};
ExpressionType TypeOfExpression(const std::string& item);

// `user` is the session's schema: "USER.TABLE" is read as the session's own table. `synonyms` maps the names of the
// synonyms the session sees unqualified to their tables ("OWNER.TABLE"): a synonym in a table's place is read, written
// and locked as that table.
SqlPlan RewriteSql(const std::string& oracleSql, const std::string& user,
                   const std::map<std::string, std::string>& synonyms = {});

// Gives back the Oracle spelling of what the rewrite mapped ("qz_rowid(rowid)" -> "ROWID", "qz_sysdate()" ->
// "SYSDATE", ...), for column names and default texts that SQLite reports.
std::string RestoreOracleNames(const std::string& text);

// Maps the Oracle pseudo-columns and names of an expression (a RETURNING item) the same way.
std::string RewriteExpression(const std::string& expression, const std::string& user);

}  // namespace qzoci
