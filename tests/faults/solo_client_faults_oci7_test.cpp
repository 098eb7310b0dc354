// Client faults with the OCI7 set, which fixes the API set for the whole process.
#define QZ_FAULTS_DATA_SOURCE "FAULTS7"
#define QZ_FAULTS_OPTIONS u"QZ CLIENT VERSION=7"
#define QZ_FAULTS_OCI7 true
#include "tests/faults/fault_suite.h"
