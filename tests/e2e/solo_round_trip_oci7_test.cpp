// The round trip with the OCI7 set of the client, which fixes the API set for the whole process.
#define QZ_E2E_DATA_SOURCE "E2E7"
#define QZ_E2E_OPTIONS u"QZ CLIENT VERSION=7"
#include "tests/e2e/round_trip_script.h"
