// The Oracle functions SQLite lacks or spells otherwise, registered on each session's connection: NVL, NVL2,
// DECODE, SUBSTR, INSTR, LPAD, RPAD, TO_CHAR, TO_DATE, TO_TIMESTAMP, TO_NUMBER, TRUNC, ADD_MONTHS, LAST_DAY,
// SYS_CONTEXT, EMPTY_CLOB, EMPTY_BLOB, ROWIDTOCHAR, CONCAT, GREATEST, LEAST, CHR, ASCII, MOD, BFILENAME, and the
// stand-in's own helpers that the rewrite writes (qz_sysdate, qz_systimestamp, qz_user, qz_rowid, qz_nextval,
// qz_currval). Failures surface as the ORA error their text begins with.
#pragma once

#include <cstdint>
#include <string>

struct sqlite3;

namespace qzoci {

class Session;

void RegisterOracleFunctions(sqlite3* connection, Session* session);

// The stable 18-character text that stands for a row's rowid.
std::string RowidText(std::int64_t rowid);

}  // namespace qzoci
