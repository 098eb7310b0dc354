// What a test sets of the client and server before the client is used (the client version, the server banner),
// and the NLS names ALTER SESSION accepts.
#include <gtest/gtest.h>

#include <cstdlib>

#include "oci_client_helpers.h"

namespace ocitest {
namespace {

// Sets an environment variable for the scope of a test and takes it away afterwards.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) { setenv(name, value, 1); }
  ~ScopedVariable() { unsetenv(name_); }

 private:
  const char* name_;
};

TEST(ClientSettings, VersionAndBannerAsSet) {
  OciLibrary& lib = OciLibrary::Default();
  sword v[5] = {};
  lib.ClientVersion(&v[0], &v[1], &v[2], &v[3], &v[4]);
  EXPECT_EQ(v[0], 19);
  EXPECT_EQ(v[1], 3);
  {
    ScopedVariable version("QZOCI_CLIENT_VERSION", "10.2.0.3");
    lib.ClientVersion(&v[0], &v[1], &v[2], &v[3], &v[4]);
    EXPECT_EQ((std::vector<sword>{v[0], v[1], v[2], v[3], v[4]}), (std::vector<sword>{10, 2, 0, 3, 0}));
  }

  ScopedVariable banner("QZOCI_SERVER_BANNER", "Server Release 9.2.0.1.0 - Production");
  const std::string ds = UniqueDataSource("BANNER");
  OciClient c(lib);
  ASSERT_EQ(c.Logon(ds, "SYSTEM", "manager"), oci::kSuccess) << c.ErrorText();
  OraText text[256] = {};
  ASSERT_EQ(lib.ServerVersion(c.svc, c.err, text, sizeof text, oci::kHtypeSvcCtx), oci::kSuccess);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(text)), "Server Release 9.2.0.1.0 - Production");
}

TEST(NlsSettings, UnknownLanguageOrTerritoryIsRefused) {
  OciLibrary& lib = OciLibrary::Default();
  const std::string ds = UniqueDataSource("NLS");
  OciClient c(lib);
  ASSERT_EQ(c.Logon(ds, "SYSTEM", "manager"), oci::kSuccess) << c.ErrorText();
  for (const char* accepted :
       {"NLS_TERRITORY='FRANCE' NLS_LANGUAGE='FRENCH'", "NLS_TERRITORY='lebanon'",
        "NLS_TERRITORY='Panama' NLS_LANGUAGE='latin american spanish'", "NLS_TERRITORY='PUERTO RICO'",
        "NLS_TERRITORY='COLOMBIA'", "NLS_TERRITORY='ECUADOR'", "NLS_TERRITORY='LITHUANIA' NLS_LANGUAGE='LITHUANIAN'"}) {
    EXPECT_EQ(c.Exec(std::string("ALTER SESSION SET ") + accepted), oci::kSuccess) << accepted << c.ErrorText();
  }
  EXPECT_EQ(c.Query("SELECT VALUE FROM NLS_SESSION_PARAMETERS WHERE PARAMETER = 'NLS_TERRITORY'"),
            (Rows{{"LITHUANIA"}}));
  for (const char* refused : {"NLS_TERRITORY='LEBANNON'", "NLS_TERRITORY='COLUMBIA'", "NLS_TERRITORY='ECUDOR'",
                              "NLS_TERRITORY='PEURTO RICO'", "NLS_TERRITORY='LITHUANIANA'", "NLS_LANGUAGE='KLINGON'"}) {
    EXPECT_EQ(c.Exec(std::string("ALTER SESSION SET ") + refused), oci::kError) << refused;
    EXPECT_EQ(c.ErrorCode(), 12705) << refused;
  }
  // A refused setting changes nothing.
  EXPECT_EQ(c.Query("SELECT VALUE FROM NLS_SESSION_PARAMETERS WHERE PARAMETER = 'NLS_TERRITORY'"),
            (Rows{{"LITHUANIA"}}));
}

}  // namespace
}  // namespace ocitest
