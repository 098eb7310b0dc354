// The runtime may raise errors from its own exit handlers, after the library's static objects would have been
// destroyed: message lookups must still work then. The handler is registered before the first lookup, so that it
// runs after anything the lookup registers for destruction.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "foundation/message_block.h"

namespace {

const std::uint8_t* gpFirstRecord = nullptr;

void LookUpAtExit() {
  // No test framework any more: a wrong answer ends the process with a failure status.
  if (pGetMessageRecord(25193, 1) != gpFirstRecord) std::_Exit(3);
}

TEST(ExitMessageTest, LookupsWorkAfterStaticsWouldHaveGone) {
  ASSERT_EQ(std::atexit(LookUpAtExit), 0);
  gpFirstRecord = pGetMessageRecord(25193, 1);
  ASSERT_NE(gpFirstRecord, nullptr);
}

}  // namespace
