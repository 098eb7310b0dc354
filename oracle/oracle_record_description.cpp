#include "oracle/oracle_record_description.h"

#include "foundation/module_errors.h"
#include "foundation/x_error.h"

int COracleRecordDescription::bLoad(std::uintptr_t) {
  RaiseNotAvailable(pGetErrorHolder(), ERROR_UNIT_ORACLE_DESCRIPTION, 0, pGetConnection(), pszGetName());
  return 0;
}
