#include "oracle/oracle_automatic_identifier.h"

#include "engine/record/column.h"
#include "engine/table/table.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/t_string.h"
#include "foundation/x_error.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_wrappers.h"
#include "oracle/oracle_connection.h"

namespace {

constexpr std::uint32_t HTYPE_DESCRIBE = 7;
constexpr std::uint8_t PTYPE_SEQUENCE = 8;
constexpr std::uint32_t MESSAGE_NOT_FROM_SEQUENCE = 25860;
constexpr std::uint32_t MESSAGE_SEQUENCE_IN_TRANSACTION = 25879;
// Unit 14 is the automatic identifier's; point 1 is the generic maximum's.
constexpr std::uint32_t IDENTIFIER_UNIT = 14;
constexpr std::uint32_t IDENTIFIER_POINT_SEQUENCE_IN_TRANSACTION = 3;
constexpr const char16_t* kCatalogProbe =
    u"SELECT SEQUENCE_NAME FROM USER_SEQUENCES WHERE SEQUENCE_NAME = 'QUORVIX_SEQ'";

// Whether statements on the main session run inside the runtime's open transaction: with the OCI7 set, or without
// distributed transactions, the connection has that one session; otherwise transactions run on the lock session.
bool bMainSessionHoldsTransaction(COracleConnection* connection) {
  return connection->bIsTransactionOpen() && (gbOci7Mode || connection->m_bNoDistributedTransactions);
}

}  // namespace

int COracleAutomaticIdentifier::bEnsureSequence(CTable* table) {
  auto* connection = dynamic_cast<COracleConnection*>(table ? table->pGetConnection() : nullptr);
  CErrorHolder* holder = table ? table->pGetErrorHolder() : nullptr;
  if (!connection) {
    RaiseNotAvailable(holder, IDENTIFIER_UNIT, IDENTIFIER_POINT_SEQUENCE_IN_TRANSACTION, nullptr, nullptr);
    return 0;
  }
  void* describe = nOciHandleAlloc(connection, holder, HTYPE_DESCRIBE);
  if (!describe) return 0;
  int ready = 0;
  if (!gbOci7Mode) {
    // A missing sequence is what the probe is for, not an error of the request: its answer stays in a holder of
    // its own, so that nothing is left behind once the sequence is made and later errors do not nest under it.
    // Its answer is read, never shown: it takes none of the connection's details (nor their NLS queries).
    CErrorHolder probe;
    probe.SetNoDetails(1);
    ready = nOciDescribeAny(connection, &probe, ORACLE_SEQUENCE_NAME, PTYPE_SEQUENCE, describe);
  }
  if (!ready) {
    if (bMainSessionHoldsTransaction(connection)) {
      // CREATE SEQUENCE is DDL: on the session of the runtime's open transaction it would commit the caller's work
      // half-way. The catalog tells, without committing, whether the sequence is there; when it is not, the
      // identifier is refused rather than the transaction committed: the program can create it outside one.
      CErrorHolder quiet;
      quiet.SetNoDetails(1);
      ready = connection->bExecuteSqlFetch(&quiet, nullptr, 0, kCatalogProbe);
    }
    if (!ready && bMainSessionHoldsTransaction(connection)) {
      RaiseModuleError(holder, RECORDED_NOT_AVAILABLE, IDENTIFIER_UNIT, IDENTIFIER_POINT_SEQUENCE_IN_TRANSACTION,
                       connection, table->pszGetName(), ERROR_NOT_AVAILABLE);
      if (holder) holder->AddUserMessage(MESSAGE_SEQUENCE_IN_TRANSACTION, ORACLE_SEQUENCE_NAME);
    } else if (!ready) {
      void* previous = connection->RestoreMainSession(holder);
      const CTString create(TSTRING_FORMAT, u"CREATE SEQUENCE %s", ORACLE_SEQUENCE_NAME);
      if (gbOci7Mode) {
        // The OCI7 set cannot describe a sequence: CREATE is how it is found, and "already exists" is no error.
        CErrorHolder quiet;
        quiet.SetNoDetails(1);
        connection->bExecuteSql(&quiet, create.pszGet());
        ready = 1;
      } else {
        ready = connection->bExecuteSql(holder, create.pszGet());
      }
      if (previous) connection->SelectSession(holder, previous);
    }
  }
  m_bSequenceReady = ready ? 1 : 0;
  nOciHandleFree(connection, nullptr, describe, HTYPE_DESCRIBE);
  return ready;
}

int COracleAutomaticIdentifier::bBuildNextValueText(CTString& text, CTable* table, CColumn*) {
  if (!m_bSequenceReady && !bEnsureSequence(table)) return 0;
  text = u"SELECT ";
  text.Append(ORACLE_SEQUENCE_NAME);
  text.Append(u".NEXTVAL");
  text.Append(u" FROM DUAL");
  return 1;
}

void COracleAutomaticIdentifier::RaiseError(CErrorHolder* holder, CTable* table, CColumn* column) {
  if (holder) {
    holder->AddUserMessage(MESSAGE_NOT_FROM_SEQUENCE, table ? table->pszGetName() : u"",
                           column ? column->pszGetName() : u"", ORACLE_SEQUENCE_NAME);
  }
}
