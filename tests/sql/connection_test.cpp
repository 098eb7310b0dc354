// The connection's options, connection string, names, server version, client-library check and error details,
// built from the runtime stand-in's connection description.
#include "sql/connection.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/error_holder.h"
#include "host/host_value.h"
#include "oracle/client/client_loader.h"
#include "standin/runtime/runtime_objects.h"
#include "tests/doubles/driver_doubles.h"

namespace {

using D = qzrt::ConnectionDescription;

IHostConnectionDescription* AsHost(qzrt::ConnectionDescription& description) {
  return reinterpret_cast<IHostConnectionDescription*>(&description);
}

class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doubles::EnsureLibrary();
    description.SetText(D::kUserId, u"scott");
    description.SetText(D::kPassword, u"tiger");
    description.SetText(D::kDataSource, u"ORA:PROD");
    description.SetText(D::kProvider, u"prov");
    description.SetNumber(D::kConnectionTimeout, 30);
    description.SetNumber(D::kCommandTimeout, 40);
  }
  doubles::TestConnection* Make(const char16_t* extended) {
    if (extended) description.SetText(D::kExtendedInformation, std::u16string(extended));
    connection = new doubles::TestConnection(u"cnx", AsHost(description));
    connection->AddRef();
    return connection;
  }
  void TearDown() override {
    if (connection) connection->nRelease();
  }

  qzrt::ConnectionDescription description;
  doubles::TestConnection* connection = nullptr;
};

TEST_F(ConnectionTest, OptionsAreReadWithRemovalAndOthersKept) {
  Make(u"QZ Connection Timeout=12;QZ Command Timeout=;Other=1;QZ Lock Timeout=7;QZ Cache Size=5000000000;"
       u"QZ Cursor Location=client;QZ Unicode Support=0;QZ RECORD LOCK=tag;QZ CLIENT VERSION=8;"
       u"QZ CLIENT LIBRARY=oci.dll;Application Name=app;Initial Catalog=cat");
  EXPECT_EQ(connection->nGetConnectionTimeout(), 12);
  EXPECT_EQ(connection->nGetCommandTimeout(), 40);  // present but empty: the description's value
  EXPECT_EQ(connection->nGetLockTimeout(), 7);
  EXPECT_EQ(connection->nGetCacheSize(), 5000000000LL);
  EXPECT_EQ(connection->nGetCursorLocation(), 1u);
  EXPECT_EQ(connection->nGetUnicodeSupport(), 0);
  EXPECT_EQ(std::u16string(connection->pszGetRecordLockOption()), u"tag");
  EXPECT_EQ(std::u16string(connection->pszGetClientVersion()), u"8");
  EXPECT_EQ(std::u16string(connection->pszGetClientLibrary()), u"oci.dll");
  CTString name;
  connection->bGetApplicationName(name);
  EXPECT_EQ(std::u16string(name.pszGet()), u"app");
  // Every consumed key is cut out, the empty command timeout included; the others stay for the subclasses.
  EXPECT_EQ(std::u16string(connection->GetOptionText().pszGet()), u"Other=1;Initial Catalog=cat");
  EXPECT_EQ(std::u16string(connection->pszGetDatabaseName()), u"cat");
}

TEST_F(ConnectionTest, DefaultsComeFromTheDescription) {
  description.SetNumber(D::kCursorLocation, 1);
  description.SetNumber(D::kCacheSize, 77);
  description.SetText(D::kDatabase, u"hostdb");
  Make(nullptr);
  EXPECT_EQ(connection->nGetConnectionTimeout(), 30);
  EXPECT_EQ(connection->nGetCommandTimeout(), 40);
  EXPECT_EQ(connection->nGetLockTimeout(), -1);
  EXPECT_EQ(connection->nGetCacheSize(), 77);
  EXPECT_EQ(connection->nGetCursorLocation(), 2u);  // bit 0: server
  EXPECT_EQ(connection->nGetUnicodeSupport(), 1);
  EXPECT_EQ(std::u16string(connection->pszGetDatabaseName()), u"hostdb");
  EXPECT_EQ(connection->nGetSessionCodePage(), SESSION_CODE_PAGE_UNSET);
  EXPECT_EQ(connection->nGetServerMajor(), -1);
}

TEST_F(ConnectionTest, CursorLocationAndCacheSizeEdges) {
  description.SetNumber(D::kCursorLocation, 1);
  description.SetNumber(D::kInterfaceVersion, 3);
  description.SetNumber(D::kCacheSize, 77);
  Make(u"QZ Cursor Location=anywhere");
  EXPECT_EQ(connection->nGetCursorLocation(), 0u);  // an unknown text does not fall back to the description
  EXPECT_EQ(connection->nGetCacheSize(), -2);       // the description is asked from version 4 only
}

TEST_F(ConnectionTest, CacheSizeStopsAtThe64BitBounds) {
  struct Case {
    const char16_t* text;
    std::int64_t expected;
  } cases[] = {
      {u"-9223372036854775808", INT64_MIN},
      {u"9223372036854775807", INT64_MAX},
      {u"99999999999999999999", INT64_MAX},     // beyond the range: the bound, never a wrapped value
      {u"-99999999999999999999", INT64_MIN},
      {u" -12x", -12},
  };
  for (const Case& c : cases) {
    description.SetText(D::kExtendedInformation, u"QZ Cache Size=" + std::u16string(c.text));
    doubles::TestConnection probe(u"p", AsHost(description));
    EXPECT_EQ(probe.nGetCacheSize(), c.expected);
  }
}

TEST_F(ConnectionTest, DatabaseNameFromTheProviderText) {
  description.SetText(D::kProvider, u"OraOLEDB;Initial Catalog=fromprovider");
  description.SetText(D::kDatabase, u"hostdb");
  Make(u"x=1");
  EXPECT_EQ(std::u16string(connection->pszGetDatabaseName()), u"fromprovider");
}

TEST_F(ConnectionTest, ConnectionStringWritesMissingValuesAsNull) {
  description.SetText(D::kPassword, std::nullopt);
  Make(u"a=b");
  EXPECT_EQ(std::u16string(connection->pszGetConnectionString()),
            u"Provider=prov;ExtendedInformation=a=b;Data source=ORA:PROD;user id=scott;password=NULL");
  EXPECT_EQ(description.References(), 2);  // the connection holds one
}

TEST_F(ConnectionTest, SerialNumbersCountUp) {
  Make(nullptr);
  doubles::TestConnection second(u"other", AsHost(description));
  EXPECT_EQ(second.nGetSerialNumber(), connection->nGetSerialNumber() + 1);
}

TEST_F(ConnectionTest, ServerVersionIsParsedFromItsDottedText) {
  Make(nullptr);
  connection->SetServerVersionText(u"11.2.0.1.0");
  EXPECT_EQ(connection->ParseServerVersion(nullptr), 1);
  EXPECT_EQ(connection->nGetServerMajor(), 11);
  EXPECT_EQ(connection->nGetServerMinor(), 2);
  EXPECT_EQ(connection->nGetServerRelease(), 0);

  doubles::TestConnection single(u"one", AsHost(description));
  single.SetServerVersionText(u"9");
  single.ParseServerVersion(nullptr);
  EXPECT_EQ(single.nGetServerMajor(), 9);
  EXPECT_EQ(single.nGetServerMinor(), 0);
  EXPECT_EQ(single.nGetServerRelease(), 0);
}

TEST_F(ConnectionTest, ClientLibraryCheck) {
  const char16_t* saved = gpszClientLibraryPath;
  const char16_t* savedRequest = gpszClientLibraryRequest;
  gpszClientLibraryPath = u"C:\\oracle\\bin\\OCI.DLL";
  gpszClientLibraryRequest = u"bin\\OCI.DLL";
  struct Case {
    const char16_t* option;
    int expected;
  } cases[] = {
      {u"", 1},
      {u"oci.dll", 1},                      // a bare file name matches from any directory, in any case
      {u"c:\\ORACLE\\bin\\oci.dll", 1},     // a path matches as a whole
      {u"D:\\other\\oci.dll", 0},           // a path in another directory does not
      {u"ociw32.dll", 0},
      {u"BIN\\oci.dll", 1},                // the relative text it was loaded by, from any current directory
  };
  for (const Case& c : cases) {
    description.SetText(D::kExtendedInformation, u"QZ CLIENT LIBRARY=" + std::u16string(c.option));
    doubles::TestConnection probe(u"p", AsHost(description));
    CErrorHolder holder;
    EXPECT_EQ(probe.bCheckClientLibrary(&holder), c.expected);
    if (!c.expected) {
      EXPECT_EQ(holder.nGetErrorCode(), 74u);
      EXPECT_TRUE(doubles::HasIdentification(&holder, 1, 17));
    }
  }
  gpszClientLibraryPath = saved;
  gpszClientLibraryRequest = savedRequest;
}

TEST_F(ConnectionTest, ReportNotSupportedNamesTheFile) {
  Make(nullptr);
  CErrorHolder holder;
  EXPECT_EQ(connection->bReportNotSupported(&holder, 0, reinterpret_cast<std::uintptr_t>(u"FILE"), 0), 0);
  EXPECT_EQ(holder.nGetErrorCode(), 8u);
  EXPECT_EQ(holder.nGetRecordedCode(), 7u);
  EXPECT_EQ(std::u16string(holder.pszGetFileName()), u"FILE");
  EXPECT_TRUE(doubles::HasIdentification(&holder, 1, 3));
}

TEST_F(ConnectionTest, ErrorDetailsAreAddedWhenTheHolderRecordsForTheConnection) {
  auto* driver = new doubles::TestDriver();
  driver->AddRef();
  CDriver* saved = gpDriver;
  gpDriver = driver;
  description.SetNumber(D::kCommandTimeout, -1);  // not set: no line for it
  Make(u"QZ Lock Timeout=9;QZ RECORD LOCK=tag");
  connection->SetServerVersionText(u"19.3");
  CErrorHolder holder;
  holder.RaiseError(0, 1, 1, connection, 8u);
  const std::u16string debug = holder.pGetEmbeddedObject()->pszGetDebugText();
  gpDriver = saved;
  driver->nRelease();
  EXPECT_NE(debug.find(u"Utilisateur :  scott"), std::u16string::npos);
  EXPECT_NE(debug.find(u"DataSource :  ORA:PROD"), std::u16string::npos);
  EXPECT_NE(debug.find(u"Connexion Timeout :  30"), std::u16string::npos);
  EXPECT_NE(debug.find(u"Lock Timeout :  9"), std::u16string::npos);
  EXPECT_NE(debug.find(u"Lock Tag :  tag"), std::u16string::npos);
  EXPECT_EQ(debug.find(u"Command Timeout"), std::u16string::npos);
  EXPECT_EQ(debug.find(u"tiger"), std::u16string::npos);  // never the password
  EXPECT_EQ(std::u16string(holder.pGetEmbeddedObject()->pszGetInfoText(ERROR_INFO_SERVER_VERSION)), u"19.3");
}

TEST_F(ConnectionTest, CurrentSchemaComesFromOneQuery) {
  Make(nullptr);
  connection->fetchAnswer = [](CHostValue* value) {
    value->SetType(HOST_TYPE_TEXT);
    value->Ops().SetFromWideZ(value->pHolder(), u"SCOTT");
  };
  CErrorHolder holder;
  CTString schema(u"before");
  EXPECT_EQ(connection->bQueryCurrentSchema(&holder, schema), 1);
  EXPECT_EQ(std::u16string(schema.pszGet()), u"SCOTT");
  EXPECT_EQ(connection->statements,
            (std::vector<std::u16string>{u"SELECT SYS_CONTEXT('USERENV','CURRENT_SCHEMA') FROM DUAL"}));
  // A NULL answer leaves the text as it was.
  connection->fetchAnswer = [](CHostValue* value) {
    value->SetType(HOST_TYPE_TEXT);
    value->SetNull(true);
  };
  EXPECT_EQ(connection->bQueryCurrentSchema(&holder, schema), 1);
  EXPECT_EQ(std::u16string(schema.pszGet()), u"SCOTT");
}

TEST(SplitPathTest, Parts) {
  CTString drive, directory, base, extension;
  SplitPath(u"C:\\dir\\sub\\name.ext.dll", drive, directory, base, extension);
  EXPECT_EQ(std::u16string(drive.pszGet()), u"C:");
  EXPECT_EQ(std::u16string(directory.pszGet()), u"\\dir\\sub\\");
  EXPECT_EQ(std::u16string(base.pszGet()), u"name.ext");
  EXPECT_EQ(std::u16string(extension.pszGet()), u".dll");
  SplitPath(u"\\\\server\\share\\x\\f", drive, directory, base, extension);
  EXPECT_EQ(std::u16string(drive.pszGet()), u"\\\\server\\share");
  EXPECT_EQ(std::u16string(directory.pszGet()), u"\\x\\");
  EXPECT_EQ(std::u16string(base.pszGet()), u"f");
  EXPECT_TRUE(extension.bIsEmpty());
  SplitPath(std::u16string(261, u'a').c_str(), drive, directory, base, extension);
  EXPECT_TRUE(base.bIsEmpty());
}

// A connection of a dialect with quotes of the given kind, as the dialect settings leave one.
class QuotingConnection : public doubles::TestConnection {
 public:
  QuotingConnection(std::uint32_t kind, const char16_t* opening, const char16_t* closing)
      : TestConnection(u"quoting", nullptr) {
    m_nDbmsKind = kind;
    m_strOpeningQuote = opening;
    m_nOpeningQuoteLength = static_cast<std::uint32_t>(std::char_traits<char16_t>::length(opening));
    m_strClosingQuote = closing;
    m_nClosingQuoteLength = static_cast<std::uint32_t>(std::char_traits<char16_t>::length(closing));
  }
};

TEST_F(ConnectionTest, IdentifiersAreQuotedWhenTheDialectNeedsIt) {
  const struct {
    std::uint32_t kind;
    const char16_t* opening;
    const char16_t* name;
    const char16_t* quoted;
    const char16_t* dotted;
    const char16_t* exact = nullptr;  // the name as the server gave it, in its case
    const char16_t* held = nullptr;   // the name as the server holds what is written for it
  } cases[] = {
      {0, u"", u"a b", u"a b", u"a b"},  // a dialect without quotes
      {0, u"[", u"plain", u"[plain]", u"[plain]"},
      {0, u"[", u"[done]", u"[done]", u"[done]"},
      {0, u"[", u"s.t", u"[s.t]", u"[s].[t]"},
      // Oracle quotes only what it could not read unquoted.
      {1, u"\"", u"ORDERS", u"ORDERS", u"ORDERS", u"ORDERS"},
      {1, u"\"", u"plain", u"plain", u"plain", nullptr, u"PLAIN"},
      {1, u"\"", u"order lines", u"\"order lines\"", u"\"order lines\"", nullptr, u"order lines"},
      {1, u"\"", u"s._x", u"s._x", u"s.\"_x\""},
      {1, u"\"", u"s.T%1", u"\"s.T%1\"", u"s.\"T%1\""},
      {1, u"\"", u"_X", u"\"_X\"", u"\"_X\""},
      {1, u"\"", u"a-b.c d", u"\"a-b.c d\"", u"\"a-b\".\"c d\""},
      {1, u"\"", u"\"Q\"", u"\"Q\"", u"\"Q\"", nullptr, u"Q"},
      {1, u"\"", u"[Q-1]", u"[Q-1]", u"[Q-1]"},
      // A closing quote inside the name is doubled, or it would end the name there.
      {1, u"\"", u"A\" B", u"\"A\"\" B\"", u"\"A\"\" B\"", nullptr, u"A\" B"},
      {0, u"[", u"a]b", u"[a]]b]", u"[a]]b]"},
      // Nor could it read a reserved word (in the case it folded it to) or a double quote inside a name.
      {1, u"\"", u"order", u"\"ORDER\"", u"\"ORDER\"", u"\"order\"", u"ORDER"},
      // The server's own name is read back unquoted only as a plain upper-case name; a pseudo-column's name is a
      // real column's there, and a quote opening it is part of it.
      {1, u"\"", u"LEVEL", u"LEVEL", u"LEVEL", u"\"LEVEL\""},
      {1, u"\"", u"Mixed", u"Mixed", u"Mixed", u"\"Mixed\""},
      {1, u"\"", u"A$1#", u"A$1#", u"A$1#", u"A$1#"},
      {1, u"\"", u"1A", u"1A", u"1A", u"\"1A\""},
      {1, u"\"", u"\"Q\"", u"\"Q\"", u"\"Q\"", u"\"\"\"Q\"\"\""},
      {1, u"\"", u"\u00C9T\u00C9", u"\u00C9T\u00C9", u"\u00C9T\u00C9", u"\u00C9T\u00C9"},
      {1, u"\"", u"\u00E9t\u00E9", u"\u00E9t\u00E9", u"\u00E9t\u00E9", u"\"\u00E9t\u00E9\"", u"\u00C9T\u00C9"},
      {1, u"\"", u"ca\u00FF", u"ca\u00FF", u"ca\u00FF", nullptr, u"CA\u0178"},  // y diaeresis folds out of Latin-1
      {1, u"\"", u"s.Varchar2", u"s.Varchar2", u"s.\"VARCHAR2\""},
      {1, u"\"", u"A\"B", u"\"A\"\"B\"", u"\"A\"\"B\""},
      {0, u"[", u"order", u"[order]", u"[order]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)));
    auto* quoting = new QuotingConnection(c.kind, c.opening, c.kind == 1 ? u"\"" : (c.opening[0] ? u"]" : u""));
    quoting->AddRef();
    CTString out(u"old");
    EXPECT_TRUE(quoting->nQuoteIdentifier(nullptr, c.name, out));
    EXPECT_EQ(std::u16string(out.pszGet()), c.quoted);
    EXPECT_TRUE(quoting->nQuoteDottedName(nullptr, c.name, out));
    EXPECT_EQ(std::u16string(out.pszGet()), c.dotted);
    if (c.exact) {
      EXPECT_TRUE(quoting->nQuoteIdentifier(nullptr, c.name, out, true));
      EXPECT_EQ(std::u16string(out.pszGet()), c.exact);
    }
    if (c.held) {
      EXPECT_TRUE(quoting->nServerHeldName(nullptr, c.name, out));
      EXPECT_EQ(std::u16string(out.pszGet()), c.held);
    }
    quoting->nRelease();
  }
}

}  // namespace
