// What the sequence tests share: a table of the Oracle driver's making on a connection (only its name, holder and
// connection matter to the identifier), the identifier the driver makes, and the statements the stand-in was sent.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "engine/record/record_description.h"
#include "oracle/oracle_automatic_identifier.h"
#include "oracle/oracle_table.h"
#include "session_driver_helpers.h"
#include "sql/driver_services.h"

namespace ocitest {

inline CTable* NewTable(void* driver, COracleConnection* connection, CErrorHolder* holder) {
  CRecordDescription* description = static_cast<CDriver*>(driver)->pCreateDescription(connection, holder);
  description->AddRef();
  description->SetName(u"T");
  description->SetSqlTableName(u"T");
  auto* table = new COracleTable(description, connection, holder);
  table->AddRef();
  description->nRelease();
  return table;
}

inline COracleAutomaticIdentifier* NewIdentifier() {
  auto* identifier = dynamic_cast<COracleAutomaticIdentifier*>(
      static_cast<CAutomaticIdentifier*>(pCreateAutomaticIdentifierThroughDriver()));
  if (identifier) identifier->AddRef();
  return identifier;
}

// The texts of the statements prepared since the log was cleared that name the sequence.
inline std::vector<std::string> SequenceStatements() {
  std::vector<std::string> texts;
  for (const std::string& line : StandIn::Get().CallLog()) {
    const std::size_t at = line.find("QUORVIX_SEQ");
    const bool prepared = line.rfind("OCIStmtPrepare", 0) == 0 || line.rfind("oparse", 0) == 0;
    if (prepared && at != std::string::npos) {
      const std::size_t start = line.find("CREATE") != std::string::npos ? line.find("CREATE") : line.find("SELECT");
      // The entry's own details follow the text (the OCI set's language and mode, OCI7's flags).
      const std::size_t end = std::min(line.find(" language="), line.find(" defflg="));
      texts.push_back(line.substr(start, end - start));
    }
  }
  return texts;
}

}  // namespace ocitest
