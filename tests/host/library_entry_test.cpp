#include "host/library_entry.h"

#include <gtest/gtest.h>

namespace {

struct HandshakeCase {
  std::int32_t kind;
  std::uint32_t version;
  int answer;
  std::uint32_t out;  // what the driver writes; 0xAAAAAAAA = left untouched
};

TEST(Handshake, AnswersEachKindAndVersion) {
  const HandshakeCase cases[] = {
      {7, 17, 0, 23},          {7, 18, 1, 23},          {7, 0xFFFFFFFF, 1, 23},  {7, 0, 0, 23},
      {28, 22, 0, 28},         {28, 23, 1, 28},         {28, 0x80000000, 1, 28}, {5, 23, 0, 0xAAAAAAAA},
      {0, 100, 0, 0xAAAAAAAA}, {-7, 23, 0, 0xAAAAAAAA}, {29, 23, 0, 0xAAAAAAAA},
  };
  for (const HandshakeCase& c : cases) {
    std::uint32_t out = 0xAAAAAAAA;
    EXPECT_EQ(bDLLCompatible(c.kind, c.version, &out), c.answer) << c.kind << "/" << c.version;
    EXPECT_EQ(out, c.out) << c.kind << "/" << c.version;
  }
}

TEST(Handshake, KeepsTheVersionEvenWhenRefused) {
  std::uint32_t out = 0;
  bDLLCompatible(7, 3, &out);
  bDLLCompatible(28, 4, &out);
  EXPECT_EQ(gnHostVmVersion, 3u);
  EXPECT_EQ(gnHostSqlVersion, 4u);
  bDLLCompatible(5, 99, &out);
  EXPECT_EQ(gnHostVmVersion, 3u);
  EXPECT_EQ(gnHostSqlVersion, 4u);
  // A caller that gives no out word still gets its answer.
  EXPECT_EQ(bDLLCompatible(7, 20, nullptr), 1);
}

}  // namespace
