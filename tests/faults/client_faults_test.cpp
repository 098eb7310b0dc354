// Client faults with the OCI set.
#define QZ_FAULTS_DATA_SOURCE "FAULTS"
#define QZ_FAULTS_OPTIONS u""
#define QZ_FAULTS_OCI7 false
#include "tests/faults/fault_suite.h"
