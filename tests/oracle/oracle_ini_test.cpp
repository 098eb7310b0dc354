// The configuration file of the Oracle connections and the order of their settings: the connection's options, then
// the file, then the defaults. The file lies in a Windows directory of the test's own (QZ_WINDOWS_DIR); none lies
// next to the test program.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "foundation/t_string.h"
#include "oracle/oracle_connection.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/support/file_fixture.h"

namespace {

class OracleIniFile : public FileFixture {
 protected:
  void SetUp() override {
    FileFixture::SetUp();
    doubles::EnsureLibrary();
    ASSERT_EQ(::setenv("QZ_WINDOWS_DIR", m_directory.c_str(), 1), 0);
  }
  void TearDown() override {
    ::unsetenv("QZ_WINDOWS_DIR");
    FileFixture::TearDown();
  }

  std::unique_ptr<COracleConnection> Connect(const std::optional<std::u16string>& dataSource,
                                             const char16_t* options = u"") {
    description.SetText(qzrt::ConnectionDescription::kDataSource, dataSource);
    description.SetText(qzrt::ConnectionDescription::kExtendedInformation, std::u16string(options));
    return std::make_unique<COracleConnection>(u"cnx", reinterpret_cast<IHostConnectionDescription*>(&description));
  }

  // The file in place (none when null), then a connection to ORA:PROD with the options.
  std::unique_ptr<COracleConnection> ConnectWithFile(const char* file, const char16_t* options) {
    std::remove(Path("qzorains.ini").c_str());
    if (file) Put("qzorains.ini", file);
    return Connect(u"ORA:PROD", options);
  }

  qzrt::ConnectionDescription description;
};

TEST_F(OracleIniFile, SettingsComeFromTheOptionsThenTheFileThenTheDefaults) {
  struct Case {
    const char* file;  // null: no file
    const char16_t* options;
    std::uint32_t oldDateFormat;
    const char16_t* lockMode;
    std::int32_t noWait;
  } cases[] = {
      {nullptr, u"", 0, u"MODELOCK_UNDEFINED", 1},
      {"[OPTIONS]\nNOWAIT=oui\n[PROD]\nOLDDATEFORMAT=n\n", u"", 1, u"MODELOCK_UNDEFINED", 1},
      {"[OPTIONS]\nNOWAIT=no\n[PROD]\nOLDDATEFORMAT=N\n", u"", 0, u"MODELOCK_UNDEFINED", 0},
      {"[options]\nnowait=Yes\n[prod]\nolddateformat=Yes\n", u"", 1, u"MODELOCK_UNDEFINED", 1},
      {"[OPTIONS]\nNOWAIT=\n[PROD]\nOLDDATEFORMAT=\n", u"", 1, u"MODELOCK_UNDEFINED", 0},
      {"[OPTIONS]\n[PROD]\n", u"", 0, u"MODELOCK_UNDEFINED", 1},
      // The data source's own section is not the server's.
      {"[ORA:PROD]\nOLDDATEFORMAT=Y\n", u"", 0, u"MODELOCK_UNDEFINED", 1},
      // An option wins over the file; an empty one does not count.
      {"[PROD]\nOLDDATEFORMAT=Y\n", u"OLDDATEFORMAT=0", 0, u"MODELOCK_UNDEFINED", 1},
      {"[PROD]\nOLDDATEFORMAT=N\n", u"OLDDATEFORMAT=1;MODELOCK=ROW SHARE", 1, u"ROW SHARE", 1},
      {"[PROD]\nOLDDATEFORMAT=Y\n", u"OLDDATEFORMAT=;MODELOCK=", 1, u"MODELOCK_UNDEFINED", 1},
  };
  for (const Case& c : cases) {
    const auto connection = ConnectWithFile(c.file, c.options);
    const std::string label = c.file ? c.file : "(no file)";
    EXPECT_EQ(connection->nGetOldDateFormat(), c.oldDateFormat) << label;
    EXPECT_EQ(std::u16string(connection->pszGetLockMode()), c.lockMode) << label;
    EXPECT_EQ(connection->nGetNoWait(), c.noWait) << label;
    EXPECT_EQ(connection->bIniFileExists(), c.file ? 1u : 0u);
  }
}

TEST_F(OracleIniFile, SessionSettingsComeFromTheDataSourceSection) {
  struct Case {
    const char* file;
    const char16_t* options;
    std::uint32_t prefetchRows;
    std::uint32_t prefetchMemory;
    const char16_t* dateFormat;
    std::uint32_t noDistributed;
  } cases[] = {
      {nullptr, u"", 1000, 0xA00000, u"YYYYMMDDHH24MISS", 0},
      // The data source's section keeps its "ORA:"; the server's section is not read for these.
      {"[ORA:PROD]\nPREFETCHROW=50\nPREFETCHMEMORY=4096\nNLS_DATE_FORMAT=DD/MM/YYYY\nNODTS=1\n", u"", 50, 4096,
       u"DD/MM/YYYY", 1},
      {"[PROD]\nPREFETCHROW=50\nNODTS=1\n", u"", 1000, 0xA00000, u"YYYYMMDDHH24MISS", 0},
      // A template's placeholder sends no format.
      {"[ORA:PROD]\nNLS_DATE_FORMAT=<format>\n", u"", 1000, 0xA00000, u"", 0},
      {"[ORA:PROD]\nPREFETCHROW=50\nNODTS=1\n", u"PREFETCHROW=7;DTS=yes;NLS_DATE_FORMAT=YYYY", 7, 0xA00000,
       u"YYYY", 0},
      {nullptr, u"DTS=no", 1000, 0xA00000, u"YYYYMMDDHH24MISS", 1},
      {nullptr, u"DTS=0", 1000, 0xA00000, u"YYYYMMDDHH24MISS", 1},
  };
  for (const Case& c : cases) {
    const auto connection = ConnectWithFile(c.file, c.options);
    const std::string label = c.file ? c.file : "(no file)";
    EXPECT_EQ(connection->m_nPrefetchRows, c.prefetchRows) << label;
    EXPECT_EQ(connection->m_nPrefetchMemory, c.prefetchMemory) << label;
    EXPECT_EQ(std::u16string(connection->m_strNlsDateFormat.pszGet()), c.dateFormat) << label;
    EXPECT_EQ(connection->m_bNoDistributedTransactions, c.noDistributed) << label;
  }
}

TEST_F(OracleIniFile, SectionsOfTheDataSourceAndOfTheServer) {
  Put("qzorains.ini",
      "[ORA:PROD]\nPREFETCHROW=50\nNLS_DATE_FORMAT=DD/MM/YYYY\n"
      "[PROD]\nCONN=prod.example:1521/SVC\nOLDDATEFORMAT=Y\n"
      "[TEST]\nPREFETCHROW=7\n");
  const auto prod = Connect(u"ORA:PROD");
  EXPECT_EQ(std::u16string(prod->pszGetServerSection()), u"PROD");
  EXPECT_EQ(prod->nReadIniInt(prod->pszGetDataSource(), u"PREFETCHROW", 1000), 50u);
  EXPECT_EQ(prod->nReadIniInt(prod->pszGetDataSource(), u"PREFETCHMEMORY", 0xA00000), 0xA00000u);
  char16_t text[510];
  EXPECT_EQ(prod->nReadIniString(prod->pszGetDataSource(), u"NLS_DATE_FORMAT", u"YYYYMMDDHH24MISS", text, 510), 10u);
  EXPECT_EQ(std::u16string(text), u"DD/MM/YYYY");
  CTString server(u"unchanged");
  ASSERT_TRUE(prod->bGetConnectionString(server));
  EXPECT_EQ(std::u16string(server.pszGet()), u"prod.example:1521/SVC");

  // Without "ORA:" the whole name is the server's section; the prefix is taken up to its first occurrence.
  const auto test = Connect(u"TEST");
  EXPECT_EQ(std::u16string(test->pszGetServerSection()), u"TEST");
  EXPECT_EQ(test->nReadIniInt(test->pszGetDataSource(), u"PREFETCHROW", 1000), 7u);
  server = u"unchanged";
  EXPECT_FALSE(test->bGetConnectionString(server));
  EXPECT_EQ(std::u16string(server.pszGet()), u"unchanged");
  EXPECT_EQ(std::u16string(Connect(u"X ORA:ORA:PROD")->pszGetServerSection()), u"ORA:PROD");

  // No data source: no server section, and its keys are not read.
  for (const std::optional<std::u16string>& none : {std::optional<std::u16string>(), std::optional(std::u16string())}) {
    const auto nameless = Connect(none);
    EXPECT_EQ(nameless->pszGetServerSection(), nullptr);
    EXPECT_EQ(nameless->nGetOldDateFormat(), 0u);
    EXPECT_FALSE(nameless->bGetConnectionString(server));
  }
}

TEST_F(OracleIniFile, WithoutAFileEveryReadGivesItsDefault) {
  const auto connection = Connect(u"ORA:PROD");
  EXPECT_EQ(connection->bIniFileExists(), 0u);
  const std::string expected = m_directory + "\\qzorains.ini";
  EXPECT_EQ(std::u16string(connection->pszGetIniPath()), std::u16string(expected.begin(), expected.end()));
  char16_t text[8];
  EXPECT_EQ(connection->nReadIniString(u"PROD", u"CONN", u"default text", text, 8), 7u);
  EXPECT_EQ(std::u16string(text), u"default");
  EXPECT_EQ(connection->nReadIniInt(u"OPTIONS", u"LOADORACLE8CLIENT", 1), 1u);
  // The file is located once per connection: one made later is not seen.
  Put("qzorains.ini", "[OPTIONS]\nLOADORACLE8CLIENT=0\n");
  EXPECT_EQ(connection->nReadIniInt(u"OPTIONS", u"LOADORACLE8CLIENT", 1), 1u);
  EXPECT_EQ(Connect(u"ORA:PROD")->nReadIniInt(u"OPTIONS", u"LOADORACLE8CLIENT", 1), 0u);
}

TEST_F(OracleIniFile, LockTextsFollowTheLockModeTheTimeOutAndTheNoWaitFlag) {
  struct Case {
    const char* file;
    const char16_t* options;
    const char16_t* text;
  } cases[] = {
      // No file: no-wait on, no mode configured.
      {nullptr, u"", u"LOCK TABLE EMP, DEPT IN EXCLUSIVE MODE  NOWAIT"},
      {"[OPTIONS]\nNOWAIT=N\n", u"MODELOCK=ROW SHARE", u"LOCK TABLE EMP, DEPT IN ROW SHARE MODE "},
      // A time-out of -2 asks for no wait whatever the file says; any other given time-out never does.
      {"[OPTIONS]\nNOWAIT=N\n", u"QZ Lock Timeout=-2", u"LOCK TABLE EMP, DEPT IN EXCLUSIVE MODE  NOWAIT"},
      {nullptr, u"QZ Lock Timeout=30", u"LOCK TABLE EMP, DEPT IN EXCLUSIVE MODE "},
      // Only the exact placeholder text means "none configured".
      {nullptr, u"MODELOCK=modelock_undefined", u"LOCK TABLE EMP, DEPT IN modelock_undefined MODE  NOWAIT"},
  };
  for (const Case& c : cases) {
    std::remove(Path("qzorains.ini").c_str());
    if (c.file) Put("qzorains.ini", c.file);
    const auto connection = Connect(u"ORA:PROD", c.options);
    CTString text;
    CConnectionOra::FormatLockTableText(text, u"EMP, DEPT", connection->pszGetLockModeName(),
                                        connection->pszGetNoWaitSuffix());
    EXPECT_EQ(std::u16string(text.pszGet()), c.text);
  }
}

}  // namespace
