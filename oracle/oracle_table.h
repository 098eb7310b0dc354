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
};
