// Every operation run on a client that lacks one entry, named by QZOCI_HIDDEN_ENTRIES: the stand-in hides it from the
// loader, which binds the client once per process, so each entry has a run of this program of its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "oracle/client/oci_entries.h"
#include "tests/faults/fault_helpers.h"

namespace faults {
namespace {

TEST_F(FaultFixture, EveryOperationFailsCleanlyWithoutTheEntry) {
  const char* hidden = std::getenv("QZOCI_HIDDEN_ENTRIES");
  ASSERT_NE(hidden, nullptr) << "QZOCI_HIDDEN_ENTRIES names the entry";
  const std::string entry(hidden);
  std::uint32_t slot = 0;
  while (slot < OCI_SLOT_COUNT && entry != gapszOciEntryNames[slot]) ++slot;
  ASSERT_LT(slot, OCI_SLOT_COUNT) << entry << " is no entry of the driver's table";
  const bool oci7 = slot >= OCI7_SET_FIRST_SLOT;
  World world(oci7 ? "MISSING7" : "MISSING", oci7 ? u"QZ CLIENT VERSION=7" : u"");
  for (const Operation& op : Operations()) {
    if (const char* why = KnownFault(op, Fault::Missing, entry)) {
      std::printf("left out: %s, a fault not mended yet: %s\n", op.name, why);
      continue;
    }
    RunCase(world, op, Fault::Missing, entry, 0);
  }
}

}  // namespace
}  // namespace faults
