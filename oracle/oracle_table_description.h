// COracleTableDescription: the table or query description the Oracle table makes for its statements. It adds nothing
// to CTableDescription; it is a class of its own so that an Oracle table's descriptions clone as Oracle ones.
#pragma once

#include "engine/record/table_description.h"

class COracleTableDescription final : public CTableDescription {
 public:
  using CTableDescription::CTableDescription;
  // Empty, for pClone.
  COracleTableDescription() : CTableDescription(nullptr, nullptr) {}
  ~COracleTableDescription() override;

  CTableDescription* pClone(CHashTable& cloneMap) override;

  // ---- added ----
  virtual int bCopyFrom(COracleTableDescription* source, CHashTable& cloneMap);
};
