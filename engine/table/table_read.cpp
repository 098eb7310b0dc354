// Reading through record contexts: the restart decision, context reuse, the shared row source refilled or built
// again, the continuation into the next key stage, and seeking on a key value.
#include <cstdint>

#include "engine/table/cursor.h"
#include "engine/table/table.h"

int CTable::bRead(const char16_t*, std::uint32_t, std::uint32_t, std::uint32_t, RuntimeWord, std::uint32_t) { return nNotAvailable(0); }

int CTable::bReadInContext(const char16_t*, std::uint32_t, RuntimeWord, std::uint32_t, std::uint32_t, RuntimeWord,
                           std::uint32_t) {
  return nNotAvailable(0);
}

int CTable::bSeekOnKey(const char16_t*, RuntimeWord, std::uint32_t, std::uint32_t, std::uint32_t, RuntimeWord,
                       std::uint32_t, std::uint32_t) {
  return nNotAvailable(0);
}

int CTable::bDoRead(CCursor*, const char16_t*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, RuntimeWord,
                    std::uint32_t, int) {
  return nNotAvailable(0);
}

int CTable::bSeek(const char16_t*, RuntimeWord, RuntimeWord, std::uint32_t, std::uint32_t, std::uint32_t, RuntimeWord,
                  std::uint32_t, std::uint32_t) {
  return nNotAvailable(0);
}

int CTable::bReadFallback(CCursor*, const char16_t*, std::uint32_t, std::uint32_t, RuntimeWord, std::uint32_t) { return 0; }

int CTable::bResetContext(const char16_t*) { return nNotAvailable(0); }

int CTable::bPositionKeepingBuffer(CCursor*, std::uint32_t, std::uint32_t, std::uint32_t) { return nNotAvailable(0); }

int CTable::bCountRecords(std::int64_t* count, std::uint32_t, std::uint32_t, CCursor*, std::int32_t) {
  if (count) *count = 0;
  return nNotAvailable(0);
}
