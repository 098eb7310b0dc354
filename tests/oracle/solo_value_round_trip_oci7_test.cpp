// Values of every Oracle type round-trip between runtime values and the stand-in's OCI7 set, NULLs included: numbers
// cross as VARNUM, dates as the 7-byte date.
#include "value_round_trip_helpers.h"

namespace {

using namespace ocitest;

class Oci7RoundTrip : public OracleRoundTrip {
 protected:
  Oci7RoundTrip() : OracleRoundTrip("TRIP7", u"QZ CLIENT VERSION=7") {}
};

TEST_F(Oci7RoundTrip, EveryTypeAndNull) {
  ASSERT_TRUE(gbOci7Mode);
  RunAll();
}

}  // namespace
