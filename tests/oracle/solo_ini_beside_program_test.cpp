// A configuration file next to the host program is the one read, even when the Windows directory holds one too. The
// program runs from a directory of its own (tests/oracle/CMakeLists.txt), so no other test program sees the file.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "oracle/oracle_connection.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/support/file_fixture.h"

namespace {

class BesideProgram : public FileFixture {};

TEST_F(BesideProgram, TheFileNextToTheProgramIsReadFirst) {
  doubles::EnsureLibrary();
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(n, 0);
  std::string beside(self, static_cast<std::size_t>(n));
  beside = beside.substr(0, beside.rfind('/') + 1) + "qzorains.ini";
  std::ofstream(beside) << "[OPTIONS]\nNOWAIT=no\n[PROD]\nOLDDATEFORMAT=Y\nCONN=beside\n";
  Put("qzorains.ini", "[OPTIONS]\nNOWAIT=Y\n[PROD]\nOLDDATEFORMAT=N\nCONN=windows\n");
  ASSERT_EQ(::setenv("QZ_WINDOWS_DIR", m_directory.c_str(), 1), 0);

  qzrt::ConnectionDescription description;
  description.SetText(qzrt::ConnectionDescription::kDataSource, u"ORA:PROD");
  COracleConnection connection(u"cnx", reinterpret_cast<IHostConnectionDescription*>(&description));
  EXPECT_EQ(std::u16string(connection.pszGetIniPath()), std::u16string(beside.begin(), beside.end()));
  EXPECT_EQ(connection.nGetNoWait(), 0);
  EXPECT_EQ(connection.nGetOldDateFormat(), 1u);
  CTString server;
  ASSERT_TRUE(connection.bGetConnectionString(server));
  EXPECT_EQ(std::u16string(server.pszGet()), u"beside");

  std::remove(beside.c_str());
  ::unsetenv("QZ_WINDOWS_DIR");
}

}  // namespace
