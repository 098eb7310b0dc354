// The round trip with the OCI set of the client.
#define QZ_E2E_DATA_SOURCE "E2E"
#define QZ_E2E_OPTIONS u""
#include "tests/e2e/round_trip_script.h"
