// COracleRecordDescription: the record description the Oracle driver's factories make; it loads a table's
// description from the Oracle catalog. The catalog queries are not built yet: loading records error 8 (operation
// not available) in the description's holder and answers 0.
#pragma once

#include "engine/record/record_description.h"

class COracleRecordDescription : public CRecordDescription {
 public:
  using CRecordDescription::CRecordDescription;
  int bLoad(std::uintptr_t argument) override;
};
