// The Oracle table classes: CTableOra (the Oracle layer's middle class: locks and record availability) and
// COracleTable (the final class the driver object's table factory makes). The table engine and the Oracle locks are
// not built yet, so both keep the generic answers of CTable.
#pragma once

#include "engine/table/table.h"

class CTableOra : public CTable {
 public:
  using CTable::CTable;
};

class COracleTable : public CTableOra {
 public:
  using CTableOra::CTableOra;

  // Set by a column of the table's descriptions that Oracle described as a CLOB, BLOB or BFILE: the table's
  // statements carry LOB locators.
  bool bHasLob() const { return m_bHasLob; }
  void SetHasLob(bool hasLob) { m_bHasLob = hasLob; }

 private:
  bool m_bHasLob = false;
};
