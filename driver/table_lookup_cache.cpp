#include "driver/table_lookup_cache.h"

std::uint64_t gnCachedContextId = 0;
std::uint64_t gnCachedFileId = 0;
CTable* gpCachedTable = nullptr;
CTableRegistry* gpCachedRegistry = nullptr;

void ForgetCachedTable(const CTable* table) {
  if (table && gpCachedTable == table) {
    gpCachedTable = nullptr;
    gpCachedRegistry = nullptr;
  }
}

void ForgetCachedRegistry(const CTableRegistry* registry) {
  if (registry && gpCachedRegistry == registry) {
    gpCachedTable = nullptr;
    gpCachedRegistry = nullptr;
  }
}
