#include "driver/table_lookup_cache.h"

std::uint64_t gnCachedContextId = 0;
std::uint64_t gnCachedFileId = 0;
CTable* gpCachedTable = nullptr;

void ForgetCachedTable(const CTable* table) {
  if (table && gpCachedTable == table) gpCachedTable = nullptr;
}
