#include "tools/qzhost/host.h"

namespace qzhost {

const char* const kDemoScript =
    "# The round trip the runtime makes through the driver, against the OCI stand-in's data source DEMO.\n"
    "## The runtime loads the driver\n"
    "start\n"
    "expect 1\n"
    "## Two connections to the same database\n"
    "connect DEMO SYSTEM manager as main\n"
    "expect 1\n"
    "stop\n"
    "expect 1\n";

}  // namespace qzhost
