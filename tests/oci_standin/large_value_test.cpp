// LOB locators read by polling and written in one piece, LONG values fetched and sent piece by piece, and the
// dynamic bind callbacks that send and receive values at execution time.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "oci_client_helpers.h"
#include "standin/oci/text_codec.h"

namespace ocitest {
namespace {

class LargeValues : public ::testing::Test {
 protected:
  OciLibrary& lib = OciLibrary::Default();
  OciClient c{lib};
  OCIStmt* stmt = nullptr;

  void SetUp() override {
    ASSERT_EQ(c.Logon(UniqueDataSource("LOBS"), "SYSTEM", "manager"), oci::kSuccess);
    ASSERT_EQ(c.Exec("CREATE TABLE L (ID NUMBER(10), M CLOB, B BLOB, LG LONG, N NCLOB)"), oci::kSuccess) << c.ErrorText();
    lib.HandleAlloc(c.env, reinterpret_cast<void**>(&stmt), oci::kHtypeStmt, 0, nullptr);
  }
  void TearDown() override { lib.HandleFree(stmt, oci::kHtypeStmt); }

  void Prepare(const std::string& sql) {
    ASSERT_EQ(lib.StmtPrepare(stmt, c.err, reinterpret_cast<const OraText*>(sql.data()), static_cast<ub4>(sql.size()),
                              1, 0),
              oci::kSuccess);
  }
  OCIBind* BindName(const char* name, void* value, sb4 size, ub2 dty, ub4 mode = 0, sb2* indicator = nullptr) {
    OCIBind* bind = nullptr;
    EXPECT_EQ(lib.BindByName(stmt, &bind, c.err, reinterpret_cast<const OraText*>(name),
                             static_cast<sb4>(std::strlen(name)), value, size, dty, indicator, nullptr, nullptr, 0,
                             nullptr, mode),
              oci::kSuccess);
    return bind;
  }
  OCILobLocator* NewLocator() {
    OCILobLocator* lob = nullptr;
    lib.DescriptorAlloc(c.env, reinterpret_cast<void**>(&lob), oci::kDtypeLob, 0, nullptr);
    return lob;
  }
  // Writes a value through the locator that INSERT ... RETURNING hands back, in one piece.
  void InsertLob(const char* column, const std::string& value, ub2 csid = 0) {
    const std::string sql = std::string("INSERT INTO L (ID, ") + column + ") VALUES (1, " +
                            (std::strcmp(column, "M") == 0 ? "EMPTY_CLOB()" : "EMPTY_BLOB()") + ") RETURNING " +
                            column + " INTO :LOC";
    Prepare(sql);
    OCILobLocator* lob = NewLocator();
    BindName(":LOC", &lob, sizeof lob, std::strcmp(column, "M") == 0 ? oci::kSqltClob : oci::kSqltBlob);
    ASSERT_EQ(lib.StmtExecute(c.svc, stmt, c.err, 1, 0, nullptr, nullptr, 0), oci::kSuccess) << c.ErrorText();
    boolean initialized = 0;
    ASSERT_EQ(lib.LobLocatorIsInit(c.env, c.err, lob, &initialized), oci::kSuccess);
    ASSERT_TRUE(initialized);
    ASSERT_EQ(lib.LobOpen(c.svc, c.err, lob, oci::kLobReadWrite), oci::kSuccess);
    ub4 amount = static_cast<ub4>(value.size());
    ASSERT_EQ(lib.LobWrite(c.svc, c.err, lob, &amount, 1, const_cast<char*>(value.data()),
                           static_cast<ub4>(value.size()), oci::kOnePiece, nullptr, nullptr, csid, 1),
              oci::kSuccess)
        << c.ErrorText();
    ASSERT_EQ(lib.LobClose(c.svc, c.err, lob), oci::kSuccess);
    ASSERT_EQ(lib.TransCommit(c.svc, c.err, 0), oci::kSuccess);
    lib.DescriptorFree(lob, oci::kDtypeLob);
  }
  // Reads a LOB column by polling, 16384 bytes at a time from the offset read so far; answers the pieces' sizes.
  std::vector<ub4> ReadLob(const std::string& sql, ub2 dty, std::string& value, ub2 csid = 0) {
    std::vector<ub4> pieces;
    Prepare(sql);
    EXPECT_EQ(lib.StmtExecute(c.svc, stmt, c.err, 0, 0, nullptr, nullptr, 0), oci::kSuccess);
    OCILobLocator* lob = NewLocator();
    OCIDefine* define = nullptr;
    lib.DefineByPos(stmt, &define, c.err, 1, &lob, sizeof lob, dty, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(lib.StmtFetch(stmt, c.err, 1, oci::kFetchNext, 0), oci::kSuccess) << c.ErrorText();
    EXPECT_EQ(lib.LobOpen(c.svc, c.err, lob, oci::kLobReadOnly), oci::kSuccess);
    std::vector<char> buffer(16384);
    sword status = oci::kNeedData;
    while (status == oci::kNeedData) {
      ub4 amount = 0;
      status = lib.LobRead(c.svc, c.err, lob, &amount, static_cast<ub4>(1 + value.size()), buffer.data(), 16384,
                           nullptr, nullptr, csid, 1);
      EXPECT_TRUE(status == oci::kSuccess || status == oci::kNeedData) << c.ErrorText();
      pieces.push_back(amount);
      value.append(buffer.data(), csid == oci::kUtf16Id ? amount * 2 : amount);
    }
    lib.LobClose(c.svc, c.err, lob);
    lib.DescriptorFree(lob, oci::kDtypeLob);
    return pieces;
  }
};

TEST_F(LargeValues, ClobWrittenInOnePieceIsReadInPiecesOf16k) {
  std::string text;
  for (int k = 0; text.size() < 40000; ++k) text += "line " + std::to_string(k) + "\n";
  text.resize(40000);
  InsertLob("M", text);
  std::string back;
  EXPECT_EQ(ReadLob("SELECT M FROM L", oci::kSqltClob, back), (std::vector<ub4>{16384, 16384, 7232}));
  EXPECT_EQ(back, text);

  // In UTF-16 the amounts count characters: 8192 characters fill a 16384-byte buffer.
  std::string wide;
  const std::vector<ub4> pieces = ReadLob("SELECT M FROM L", oci::kSqltClob, wide, oci::kUtf16Id);
  EXPECT_EQ(pieces, (std::vector<ub4>{8192, 8192, 8192, 8192, 7232}));
  EXPECT_EQ(wide.size(), 80000u);
  EXPECT_EQ(wide.substr(0, 4), std::string("l\0i\0", 4));

  // An NCLOB's amounts count UTF-16 code units: a character beyond the Basic Multilingual Plane is two.
  std::string faces;
  for (int k = 0; k < 10; ++k) faces += "\xF0\x9F\x98\x80";
  ASSERT_EQ(c.Exec("INSERT INTO L (ID, N) VALUES (3, N'" + faces + "')"), oci::kSuccess) << c.ErrorText();
  std::string national;
  EXPECT_EQ(ReadLob("SELECT N FROM L WHERE ID = 3", oci::kSqltClob, national, oci::kUtf16Id), (std::vector<ub4>{20}));
  EXPECT_EQ(national, qzoci::EncodeClientText(faces, oci::kUtf16Id));

  // A client set of varying width is told the bytes it received, not the characters.
  ASSERT_EQ(c.Exec("INSERT INTO L (ID, M) VALUES (4, '\xC3\xA9\xC3\xBF\xC3\xA9\xC3\xBF')"), oci::kSuccess);
  std::string utf8;
  EXPECT_EQ(ReadLob("SELECT M FROM L WHERE ID = 4", oci::kSqltClob, utf8, qzoci::kCharsetAl32Utf8),
            (std::vector<ub4>{8}));
  EXPECT_EQ(utf8, "\xC3\xA9\xC3\xBF\xC3\xA9\xC3\xBF");
  // A code page lacking such a character hands one replacement for it, as its amount counts it once.
  ASSERT_EQ(c.Exec("INSERT INTO L (ID, M) VALUES (5, '" + faces + "end')"), oci::kSuccess) << c.ErrorText();
  std::string western;
  EXPECT_EQ(ReadLob("SELECT M FROM L WHERE ID = 5", oci::kSqltClob, western, 178), (std::vector<ub4>{13}));
  EXPECT_EQ(western, "??????????end");
}

TEST_F(LargeValues, BlobAndEmptyLobs) {
  std::string bytes(20000, '\0');
  for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>(k * 7);
  InsertLob("B", bytes);
  std::string back;
  EXPECT_EQ(ReadLob("SELECT B FROM L", oci::kSqltBlob, back), (std::vector<ub4>{16384, 3616}));
  EXPECT_EQ(back, bytes);

  // Read through a callback from the fifth byte on: the pieces come first, then last, whatever the offset.
  {
    Prepare("SELECT B FROM L");
    ASSERT_EQ(lib.StmtExecute(c.svc, stmt, c.err, 0, 0, nullptr, nullptr, 0), oci::kSuccess);
    OCILobLocator* lob = NewLocator();
    OCIDefine* define = nullptr;
    lib.DefineByPos(stmt, &define, c.err, 1, &lob, sizeof lob, oci::kSqltBlob, nullptr, nullptr, nullptr, 0);
    ASSERT_EQ(lib.StmtFetch(stmt, c.err, 1, oci::kFetchNext, 0), oci::kSuccess);
    struct Pieces {
      std::vector<std::pair<int, ub4>> seen;
      std::string data;
    } pieces;
    auto callback = [](void* context, const void* buffer, ub4 length, ub1 piece) -> sb4 {
      auto* p = static_cast<Pieces*>(context);
      p->seen.emplace_back(piece, length);
      p->data.append(static_cast<const char*>(buffer), length);
      return oci::kContinue;
    };
    std::vector<char> buffer(16384);
    ub4 amount = 0;
    ASSERT_EQ(lib.LobRead(c.svc, c.err, lob, &amount, 5, buffer.data(), 16384, &pieces, callback, 0, 1),
              oci::kSuccess);
    EXPECT_EQ(pieces.seen, (std::vector<std::pair<int, ub4>>{{oci::kFirstPiece, 16384}, {oci::kLastPiece, 3612}}));
    EXPECT_EQ(pieces.data, bytes.substr(4));
    lib.DescriptorFree(lob, oci::kDtypeLob);
  }

  ASSERT_EQ(c.Exec("INSERT INTO L (ID, M) VALUES (2, EMPTY_CLOB())"), oci::kSuccess);
  std::string empty;
  EXPECT_EQ(ReadLob("SELECT M FROM L WHERE ID = 2", oci::kSqltClob, empty), (std::vector<ub4>{0}));
  EXPECT_TRUE(empty.empty());

  // A NULL LOB leaves the locator uninitialised.
  Prepare("SELECT M FROM L WHERE ID = 1");
  ASSERT_EQ(lib.StmtExecute(c.svc, stmt, c.err, 0, 0, nullptr, nullptr, 0), oci::kSuccess);
  OCILobLocator* lob = NewLocator();
  sb2 indicator = 0;
  OCIDefine* define = nullptr;
  lib.DefineByPos(stmt, &define, c.err, 1, &lob, sizeof lob, oci::kSqltClob, &indicator, nullptr, nullptr, 0);
  ASSERT_EQ(lib.StmtFetch(stmt, c.err, 1, oci::kFetchNext, 0), oci::kSuccess);
  EXPECT_EQ(indicator, -1);
  boolean initialized = 1;
  lib.LobLocatorIsInit(c.env, c.err, lob, &initialized);
  EXPECT_FALSE(initialized);
  ub4 amount = 0;
  char buffer[16];
  EXPECT_EQ(lib.LobRead(c.svc, c.err, lob, &amount, 1, buffer, sizeof buffer, nullptr, nullptr, 0, 1), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 22275);
  lib.DescriptorFree(lob, oci::kDtypeLob);
}

TEST_F(LargeValues, LongFetchedAndSentPieceByPiece) {
  std::string text(40000, 'x');
  for (std::size_t k = 0; k < text.size(); k += 100) text[k] = static_cast<char>('a' + (k / 100) % 26);

  // Sending: data at execution time, one piece after OCI_NEED_DATA.
  Prepare("INSERT INTO L (ID, LG) VALUES (7, :LG)");
  OCIBind* bind = BindName(":LG", nullptr, 0x7fffffff, oci::kSqltChr, oci::kDataAtExec);
  ASSERT_EQ(lib.StmtExecute(c.svc, stmt, c.err, 1, 0, nullptr, nullptr, oci::kCommitOnSuccess), oci::kNeedData);
  void* handle = nullptr;
  ub4 type = 0;
  ub1 inOut = 9;
  ub4 iteration = 0;
  ub4 index = 0;
  ub1 piece = 9;
  ASSERT_EQ(lib.StmtGetPieceInfo(stmt, c.err, &handle, &type, &inOut, &iteration, &index, &piece), oci::kSuccess);
  EXPECT_EQ(handle, static_cast<void*>(bind));
  EXPECT_EQ(type, oci::kHtypeBind);
  EXPECT_EQ(piece, oci::kFirstPiece);
  ub4 length = static_cast<ub4>(text.size());
  sb2 indicator = 0;
  ub2 code = 0;
  ASSERT_EQ(lib.StmtSetPieceInfo(handle, type, c.err, text.data(), &length, oci::kOnePiece, &indicator, &code),
            oci::kSuccess);
  ASSERT_EQ(lib.StmtExecute(c.svc, stmt, c.err, 1, 0, nullptr, nullptr, oci::kCommitOnSuccess), oci::kSuccess)
      << c.ErrorText();

  // Fetching: a dynamic define asks for its pieces.
  Prepare("SELECT LG FROM L WHERE ID = 7");
  ASSERT_EQ(lib.StmtExecute(c.svc, stmt, c.err, 0, 0, nullptr, nullptr, 0), oci::kSuccess);
  OCIDefine* define = nullptr;
  lib.DefineByPos(stmt, &define, c.err, 1, nullptr, 0x7fffffff, oci::kSqltChr, nullptr, nullptr, nullptr,
                  oci::kDynamicFetch);
  sword status = lib.StmtFetch(stmt, c.err, 1, oci::kFetchNext, 0);
  std::string back;
  std::vector<char> buffer(16384);
  std::vector<ub1> pieceCodes;
  while (status == oci::kNeedData) {
    ASSERT_EQ(lib.StmtGetPieceInfo(stmt, c.err, &handle, &type, &inOut, &iteration, &index, &piece), oci::kSuccess);
    EXPECT_EQ(handle, static_cast<void*>(define));
    EXPECT_EQ(type, oci::kHtypeDefine);
    pieceCodes.push_back(piece);
    length = 16384;
    lib.StmtSetPieceInfo(handle, type, c.err, buffer.data(), &length, piece, &indicator, &code);
    status = lib.StmtFetch(stmt, c.err, 1, oci::kFetchNext, 0);
    back.append(buffer.data(), length);
  }
  EXPECT_EQ(status, oci::kSuccess) << c.ErrorText();
  EXPECT_EQ(pieceCodes, (std::vector<ub1>{oci::kFirstPiece, oci::kNextPiece, oci::kNextPiece}));
  EXPECT_EQ(back, text);
}

// The driver's callbacks: the value given whole at execution, a returned value taken in pieces of 1024 bytes.
struct DynamicValue {
  std::string in;
  std::string out;
  ub4 pieceLength = 0;
  sb2 indicator = 0;
  ub2 code = 0;
  int outCalls = 0;
};

sb4 InValue(void* context, OCIBind*, ub4, ub4, void** buffer, ub4* length, ub1* piece, void** indicator) {
  auto* v = static_cast<DynamicValue*>(context);
  *buffer = v->in.data();
  *length = static_cast<ub4>(v->in.size());
  *piece = oci::kOnePiece;
  *indicator = &v->indicator;
  return oci::kContinue;
}

sb4 OutPieces(void* context, OCIBind*, ub4, ub4, void** buffer, ub4** length, ub1* piece, void** indicator,
              ub2** code) {
  auto* v = static_cast<DynamicValue*>(context);
  if (*piece == oci::kOnePiece || *piece == oci::kFirstPiece) {
    v->out.clear();
  } else {
    v->out.resize(v->out.size() - 1024 + v->pieceLength);
  }
  const std::size_t used = v->out.size();
  v->out.resize(used + 1024);
  v->pieceLength = 1024;
  *buffer = v->out.data() + used;
  *length = &v->pieceLength;
  *indicator = &v->indicator;
  *code = &v->code;
  *piece = *piece == oci::kOnePiece ? oci::kFirstPiece : oci::kNextPiece;
  ++v->outCalls;
  return oci::kContinue;
}

TEST_F(LargeValues, DynamicBindsSendAndReceiveAtExecution) {
  ASSERT_EQ(c.Exec("CREATE TABLE TXT (ID NUMBER(10), T VARCHAR2(4000))"), oci::kSuccess);
  DynamicValue v;
  v.in = std::string(3000, 'q') + "!";
  Prepare("INSERT INTO TXT (ID, T) VALUES (1, :T) RETURNING T INTO :R");
  OCIBind* in = BindName(":T", nullptr, 8002, oci::kSqltChr, oci::kDataAtExec);
  OCIBind* out = BindName(":R", nullptr, 8002, oci::kSqltChr, oci::kDataAtExec);
  ASSERT_EQ(lib.BindDynamic(in, c.err, &v, InValue, &v, OutPieces), oci::kSuccess);
  ASSERT_EQ(lib.BindDynamic(out, c.err, &v, InValue, &v, OutPieces), oci::kSuccess);
  ASSERT_EQ(lib.StmtExecute(c.svc, stmt, c.err, 1, 0, nullptr, nullptr, oci::kCommitOnSuccess), oci::kSuccess)
      << c.ErrorText();
  EXPECT_EQ(v.outCalls, 3);
  v.out.resize(v.out.size() - 1024 + v.pieceLength);
  EXPECT_EQ(v.out, v.in);
  EXPECT_EQ(c.Query("SELECT LENGTH(T) FROM TXT"), (Rows{{"3001"}}));
}

}  // namespace
}  // namespace ocitest

namespace ocitest {
namespace {

TEST_F(LargeValues, UpdateReturningALocatorRewritesTheValue) {
  InsertLob("M", "first");
  const Rows ids = c.Query("SELECT ROWIDTOCHAR(ROWID) FROM L");
  ASSERT_EQ(ids.size(), 1u);
  char rowid[19] = {};
  std::memcpy(rowid, ids[0][0].data(), std::min<std::size_t>(ids[0][0].size(), 18));

  Prepare("UPDATE L SET M = EMPTY_CLOB() WHERE ROWID = :1 RETURNING M INTO :2");
  OCILobLocator* lob = NewLocator();
  BindName(":1", rowid, sizeof rowid, oci::kSqltStr);
  BindName(":2", &lob, sizeof lob, oci::kSqltClob);
  ASSERT_EQ(lib.StmtExecute(c.svc, stmt, c.err, 1, 0, nullptr, nullptr, 0), oci::kSuccess) << c.ErrorText();
  std::string value = "second, longer";
  ub4 amount = static_cast<ub4>(value.size());
  ASSERT_EQ(lib.LobWrite(c.svc, c.err, lob, &amount, 1, value.data(), amount, oci::kOnePiece, nullptr, nullptr, 0, 1),
            oci::kSuccess)
      << c.ErrorText();
  ASSERT_EQ(lib.TransCommit(c.svc, c.err, 0), oci::kSuccess);
  EXPECT_EQ(c.Query("SELECT M FROM L"), (Rows{{"second, longer"}}));
  lib.DescriptorFree(lob, oci::kDtypeLob);
}

}  // namespace
}  // namespace ocitest

namespace ocitest {
namespace {

TEST(Files, BfileLocatorReadsTheFileBesideTheDatabase) {
  OciLibrary& lib = OciLibrary::Default();
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("qzoci_bfile_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "DOCS");
  std::ofstream(dir / "DOCS" / "note.txt") << "stored outside";
  lib.SetDataDirectory(dir.c_str());
  ASSERT_EQ(lib.CreateDataSource("FILES"), 0);
  {
    OciClient c(lib);
    ASSERT_EQ(c.Logon("FILES", "SYSTEM", "manager"), oci::kSuccess);
    ASSERT_EQ(c.Exec("CREATE TABLE F (ID NUMBER(3), DOC BFILE)"), oci::kSuccess);
    ASSERT_EQ(c.Exec("INSERT INTO F VALUES (1, BFILENAME('DOCS', 'note.txt'))"), oci::kSuccess) << c.ErrorText();
    ASSERT_EQ(c.Exec("INSERT INTO F VALUES (2, BFILENAME('DOCS', 'missing.txt'))"), oci::kSuccess);
    OCIStmt* stmt = nullptr;
    lib.HandleAlloc(c.env, reinterpret_cast<void**>(&stmt), oci::kHtypeStmt, 0, nullptr);
    const std::string sql = "SELECT DOC FROM F ORDER BY ID";
    lib.StmtPrepare(stmt, c.err, reinterpret_cast<const OraText*>(sql.data()), static_cast<ub4>(sql.size()), 1, 0);
    ASSERT_EQ(lib.StmtExecute(c.svc, stmt, c.err, 0, 0, nullptr, nullptr, 0), oci::kSuccess);
    OCILobLocator* file = nullptr;
    lib.DescriptorAlloc(c.env, reinterpret_cast<void**>(&file), oci::kDtypeFile, 0, nullptr);
    OCIDefine* define = nullptr;
    lib.DefineByPos(stmt, &define, c.err, 1, &file, sizeof file, oci::kSqltBfilee, nullptr, nullptr, nullptr, 0);
    ASSERT_EQ(lib.StmtFetch(stmt, c.err, 1, oci::kFetchNext, 0), oci::kSuccess);
    char buffer[64] = {};
    ub4 amount = 0;
    EXPECT_EQ(lib.LobRead(c.svc, c.err, file, &amount, 1, buffer, sizeof buffer, nullptr, nullptr, 0, 1), oci::kError);
    EXPECT_EQ(c.ErrorCode(), 22289);  // not opened
    auto fileOpen = reinterpret_cast<sword (*)(OCISvcCtx*, OCIError*, OCILobLocator*, ub1)>(lib.Entry("OCILobFileOpen"));
    auto fileClose = reinterpret_cast<sword (*)(OCISvcCtx*, OCIError*, OCILobLocator*)>(lib.Entry("OCILobFileClose"));
    ASSERT_EQ(fileOpen(c.svc, c.err, file, oci::kLobReadOnly), oci::kSuccess) << c.ErrorText();
    ASSERT_EQ(lib.LobRead(c.svc, c.err, file, &amount, 1, buffer, sizeof buffer, nullptr, nullptr, 0, 1), oci::kSuccess);
    EXPECT_EQ(std::string(buffer, amount), "stored outside");
    EXPECT_EQ(fileClose(c.svc, c.err, file), oci::kSuccess);
    ASSERT_EQ(lib.StmtFetch(stmt, c.err, 1, oci::kFetchNext, 0), oci::kSuccess);
    EXPECT_EQ(fileOpen(c.svc, c.err, file, oci::kLobReadOnly), oci::kError);
    EXPECT_EQ(c.ErrorCode(), 22288);
    lib.DescriptorFree(file, oci::kDtypeFile);
    lib.HandleFree(stmt, oci::kHtypeStmt);
  }
  lib.CloseDatabases();
  lib.SetDataDirectory("");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ocitest
