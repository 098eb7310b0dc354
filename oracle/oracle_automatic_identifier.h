// COracleAutomaticIdentifier: automatic-identifier values from the Oracle sequence QUORVIX_SEQ instead of the
// column's maximum plus one. The sequence is shared by every table and column of the database user; the identifier
// looks for it once (and creates it when it is missing, on the connection's main session), then only asks for its
// next value. A check or a creation that failed is tried again on the next call.
#pragma once

#include <cstdint>

#include "engine/table/automatic_identifier.h"

inline constexpr const char16_t* ORACLE_SEQUENCE_NAME = u"QUORVIX_SEQ";

class COracleAutomaticIdentifier : public CAutomaticIdentifier {
 public:
  COracleAutomaticIdentifier() = default;

  // "SELECT QUORVIX_SEQ.NEXTVAL FROM DUAL" once the sequence is known to exist; 0 (the error in the table's
  // holder, the text untouched) when it is missing and cannot be made.
  int bBuildNextValueText(CTString& text, CTable* table, CColumn* column) override;
  // Message 25860 with the table, the column and the sequence.
  void RaiseError(CErrorHolder* holder, CTable* table, CColumn* column) override;

  std::uint32_t bIsSequenceReady() const { return m_bSequenceReady; }

 private:
  int bEnsureSequence(CTable* table);

  std::uint32_t m_bSequenceReady = 0;
};
