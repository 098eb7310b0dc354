#include "oracle/oracle_table_description.h"

#include <new>

#include "foundation/clone_map.h"

COracleTableDescription::~COracleTableDescription() = default;

int COracleTableDescription::bCopyFrom(COracleTableDescription* source, CHashTable& cloneMap) {
  if (!bRegisterClone(cloneMap, source, this)) return 0;
  return CTableDescription::bCopyFrom(source, cloneMap);
}

CTableDescription* COracleTableDescription::pClone(CHashTable& cloneMap) {
  return pCloneUnreferenced(new (std::nothrow) COracleTableDescription(), pGetErrorHolder(),
                            [&](COracleTableDescription* copy) { return copy->bCopyFrom(this, cloneMap); });
}
