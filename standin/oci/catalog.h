// The Oracle dictionary views a client queries (ALL_TABLES, ALL_VIEWS, ALL_SYNONYMS, ALL_SOURCE, ALL_OBJECTS,
// ALL_TAB_COLUMNS, ALL_INDEXES, ALL_IND_COLUMNS, ALL_CONSTRAINTS, ALL_CONS_COLUMNS, ALL_COL_COMMENTS,
// ALL_TAB_COMMENTS, ALL_SEQUENCES, ALL_USERS, their USER_ forms, NLS_SESSION_PARAMETERS and
// NLS_DATABASE_PARAMETERS), built as temporary tables of the session's connection from SQLite's own schema and the
// database's metadata, afresh before each statement that names one of them.
#pragma once

#include <string>

namespace qzoci {

class Session;

void RefreshCatalog(Session& session, const std::string& sql);

}  // namespace qzoci
