// Every external type the driver binds and defines, round-tripped through a table, with Oracle's byte layouts,
// indicators, returned lengths, truncation, and the column descriptions of a statement.
#include <gtest/gtest.h>

#include <cstring>

#include "oci_client_helpers.h"

namespace ocitest {
namespace {

class Types : public ::testing::Test {
 protected:
  OciLibrary& lib = OciLibrary::Default();
  OciClient c{lib};
  OCIStmt* stmt = nullptr;

  void SetUp() override {
    ASSERT_EQ(c.Logon(UniqueDataSource("TYPES"), "SYSTEM", "manager"), oci::kSuccess);
    ASSERT_EQ(c.Exec("CREATE TABLE TY (K NUMBER(10) NOT NULL, F NUMBER(12,4), S VARCHAR2(30), D DATE, "
                     "TS TIMESTAMP(3), R RAW(16), IDS INTERVAL DAY(2) TO SECOND(6), IYM INTERVAL YEAR(2) TO MONTH, "
                     "\"nv\" NVARCHAR2(10))"),
              oci::kSuccess)
        << c.ErrorText();
    lib.HandleAlloc(c.env, reinterpret_cast<void**>(&stmt), oci::kHtypeStmt, 0, nullptr);
  }
  void TearDown() override { lib.HandleFree(stmt, oci::kHtypeStmt); }

  sword Prepare(const std::string& sql) {
    return lib.StmtPrepare(stmt, c.err, reinterpret_cast<const OraText*>(sql.data()), static_cast<ub4>(sql.size()),
                           oci::kNtvSyntax, 0);
  }
  sword BindName(const char* name, void* value, sb4 size, ub2 dty, sb2* indicator = nullptr) {
    OCIBind* bind = nullptr;
    return lib.BindByName(stmt, &bind, c.err, reinterpret_cast<const OraText*>(name),
                          static_cast<sb4>(std::strlen(name)), value, size, dty, indicator, nullptr, nullptr, 0,
                          nullptr, 0);
  }
  sword Define(ub4 position, void* value, sb4 size, ub2 dty, sb2* indicator = nullptr, ub2* length = nullptr,
               ub2* code = nullptr) {
    OCIDefine* define = nullptr;
    return lib.DefineByPos(stmt, &define, c.err, position, value, size, dty, indicator, length, code, 0);
  }
  sword Execute(ub4 iters, ub4 mode = oci::kCommitOnSuccess) {
    return lib.StmtExecute(c.svc, stmt, c.err, iters, 0, nullptr, nullptr, mode);
  }
  sword Fetch() { return lib.StmtFetch(stmt, c.err, 1, oci::kFetchNext, 0); }
  // Runs a one-row, one-column query and defines it as given.
  sword FetchOne(const std::string& sql, void* value, sb4 size, ub2 dty, sb2* indicator = nullptr,
                 ub2* length = nullptr) {
    EXPECT_EQ(Prepare(sql), oci::kSuccess);
    EXPECT_EQ(Execute(0), oci::kSuccess) << c.ErrorText();
    EXPECT_EQ(Define(1, value, size, dty, indicator, length), oci::kSuccess);
    return Fetch();
  }
};

TEST_F(Types, NumbersCrossInOraclesByteFormat) {
  ASSERT_EQ(Prepare("INSERT INTO TY (K, F) VALUES (:K, :F)"), oci::kSuccess);
  std::int32_t k = -42;
  double f = 123.45;
  ASSERT_EQ(BindName(":K", &k, 4, oci::kSqltInt), oci::kSuccess);
  ASSERT_EQ(BindName(":F", &f, 8, oci::kSqltFlt), oci::kSuccess);
  ASSERT_EQ(Execute(1), oci::kSuccess) << c.ErrorText();

  OCINumber vnu{};
  ASSERT_EQ(FetchOne("SELECT K FROM TY", &vnu, sizeof vnu, oci::kSqltVnu), oci::kSuccess);
  EXPECT_EQ(std::vector<int>(vnu.OCINumberPart, vnu.OCINumberPart + 4), (std::vector<int>{3, 0x3E, 0x3B, 0x66}));
  ASSERT_EQ(FetchOne("SELECT F FROM TY", &vnu, sizeof vnu, oci::kSqltVnu), oci::kSuccess);
  EXPECT_EQ(std::vector<int>(vnu.OCINumberPart, vnu.OCINumberPart + 5), (std::vector<int>{4, 0xC2, 0x02, 0x18, 0x2E}));

  // A NUMBER bound in Oracle's own bytes reads back as a double, an unsigned and text.
  const unsigned char half[] = {2, 0xC0, 0x33};  // 0.5
  ASSERT_EQ(Prepare("UPDATE TY SET F = :F"), oci::kSuccess);
  ASSERT_EQ(BindName(":F", const_cast<unsigned char*>(half), sizeof half, oci::kSqltVnu), oci::kSuccess);
  ASSERT_EQ(Execute(1), oci::kSuccess) << c.ErrorText();
  double back = 0;
  ASSERT_EQ(FetchOne("SELECT F FROM TY", &back, 8, oci::kSqltFlt), oci::kSuccess);
  EXPECT_EQ(back, 0.5);
  char text[32] = {};
  ASSERT_EQ(FetchOne("SELECT F FROM TY", text, sizeof text, oci::kSqltStr), oci::kSuccess);
  EXPECT_STREQ(text, ".5");
  std::uint32_t unsignedValue = 0;
  ASSERT_EQ(FetchOne("SELECT 4000000000 FROM DUAL", &unsignedValue, 4, oci::kSqltUin), oci::kSuccess);
  EXPECT_EQ(unsignedValue, 4000000000u);
  std::int16_t tooSmall = 0;
  FetchOne("SELECT 70000 FROM DUAL", &tooSmall, 2, oci::kSqltInt);
  EXPECT_EQ(c.ErrorCode(), 1455);

  // The edges of the byte format: the smallest positive magnitude (exponent byte 0x80 followed by digits) is not
  // zero; a value above the largest magnitude is an overflow, not an empty NUMBER; a length byte that claims more
  // than the buffer holds is an invalid number.
  const unsigned char smallest[] = {0x80, 0x02};  // 1e-130
  ASSERT_EQ(Prepare("SELECT :N FROM DUAL"), oci::kSuccess);
  ASSERT_EQ(BindName(":N", const_cast<unsigned char*>(smallest), sizeof smallest, oci::kSqltNum), oci::kSuccess);
  ASSERT_EQ(Execute(0), oci::kSuccess) << c.ErrorText();
  ASSERT_EQ(Define(1, &back, 8, oci::kSqltFlt), oci::kSuccess);
  ASSERT_EQ(Fetch(), oci::kSuccess) << c.ErrorText();
  EXPECT_DOUBLE_EQ(back, 1e-130);
  EXPECT_EQ(FetchOne("SELECT 1e130 FROM DUAL", &vnu, sizeof vnu, oci::kSqltVnu), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 1426);
  const unsigned char overlong[] = {30, 0xC1, 0x02};
  ASSERT_EQ(Prepare("UPDATE TY SET F = :F"), oci::kSuccess);
  ASSERT_EQ(BindName(":F", const_cast<unsigned char*>(overlong), sizeof overlong, oci::kSqltVnu), oci::kSuccess);
  EXPECT_EQ(Execute(1), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 1722);
}

TEST_F(Types, DatesInBothLayoutsAndAsText) {
  unsigned char dat[7] = {120, 124, 2, 29, 14, 15, 16};  // 2024-02-29 13:14:15
  ASSERT_EQ(Prepare("INSERT INTO TY (K, D) VALUES (1, :D)"), oci::kSuccess);
  ASSERT_EQ(BindName(":D", dat, 7, oci::kSqltDat), oci::kSuccess);
  ASSERT_EQ(Execute(1), oci::kSuccess) << c.ErrorText();
  OCIDate od{};
  ASSERT_EQ(FetchOne("SELECT D FROM TY", &od, sizeof od, oci::kSqltOdt), oci::kSuccess);
  EXPECT_EQ(od.OCIDateYYYY, 2024);
  EXPECT_EQ(od.OCIDateMM, 2);
  EXPECT_EQ(od.OCIDateDD, 29);
  EXPECT_EQ(od.OCIDateTime.OCITimeHH, 13);
  EXPECT_EQ(od.OCIDateTime.OCITimeMI, 14);
  EXPECT_EQ(od.OCIDateTime.OCITimeSS, 15);

  od.OCIDateYYYY = 1999;
  od.OCIDateMM = 12;
  od.OCIDateDD = 31;
  ASSERT_EQ(Prepare("UPDATE TY SET D = :D"), oci::kSuccess);
  ASSERT_EQ(BindName(":D", &od, sizeof od, oci::kSqltOdt), oci::kSuccess);
  ASSERT_EQ(Execute(1), oci::kSuccess) << c.ErrorText();
  unsigned char back[7] = {};
  ASSERT_EQ(FetchOne("SELECT D FROM TY", back, 7, oci::kSqltDat), oci::kSuccess);
  EXPECT_EQ(std::vector<int>(back, back + 7), (std::vector<int>{119, 199, 12, 31, 14, 15, 16}));
  // An OCIDate bound with fewer bytes than the structure has is refused, not read past its buffer.
  ASSERT_EQ(Prepare("UPDATE TY SET D = :D"), oci::kSuccess);
  ASSERT_EQ(BindName(":D", back, 7, oci::kSqltOdt), oci::kSuccess);
  EXPECT_EQ(Execute(1), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 1840);

  ASSERT_EQ(c.Exec("ALTER SESSION SET NLS_DATE_FORMAT='YYYYMMDDHH24MISS'"), oci::kSuccess);
  EXPECT_EQ(c.Query("SELECT D FROM TY"), (Rows{{"19991231131415"}}));
  EXPECT_EQ(c.Query("SELECT COUNT(*) FROM TY WHERE D > TO_DATE('19991231', 'YYYYMMDD') AND D < SYSDATE"),
            (Rows{{"1"}}));
}

TEST_F(Types, TextAndRawWithLengthsIndicatorsAndTruncation) {
  ASSERT_EQ(c.Exec("INSERT INTO TY (K, S) VALUES (1, 'abcdefghij')"), oci::kSuccess);
  const unsigned char raw[3] = {0, 1, 255};
  ASSERT_EQ(Prepare("UPDATE TY SET R = :R"), oci::kSuccess);
  OCIBind* bind = nullptr;
  ASSERT_EQ(lib.BindByName(stmt, &bind, c.err, reinterpret_cast<const OraText*>(":R"), 2, const_cast<unsigned char*>(raw),
                           3, oci::kSqltBin, nullptr, nullptr, nullptr, 0, nullptr, 0),
            oci::kSuccess);
  // OCI_ATTR_MAXDATA_SIZE (33) is taken on a bind; it changes nothing here.
  ub4 maxData = 100;
  EXPECT_EQ(lib.AttrSet(bind, oci::kHtypeBind, &maxData, sizeof maxData, 33, c.err), oci::kSuccess);
  ASSERT_EQ(Execute(1), oci::kSuccess) << c.ErrorText();

  unsigned char vbi[10] = {};
  ASSERT_EQ(FetchOne("SELECT R FROM TY", vbi, sizeof vbi, oci::kSqltVbi), oci::kSuccess);
  EXPECT_EQ(std::vector<int>(vbi, vbi + 5), (std::vector<int>{3, 0, 0, 1, 255}));
  EXPECT_EQ(c.Query("SELECT R FROM TY"), (Rows{{"0001FF"}}));

  char small[5] = {};
  sb2 indicator = 0;
  ub2 length = 0;
  EXPECT_EQ(FetchOne("SELECT S FROM TY", small, sizeof small, oci::kSqltStr, &indicator, &length),
            oci::kSuccessWithInfo);
  EXPECT_STREQ(small, "abcd");
  EXPECT_EQ(indicator, 10);
  EXPECT_EQ(c.ErrorCode(), 1406);

  // A length-prefixed define with no room for its length word is refused, not written past its buffer.
  unsigned char tiny[2] = {};
  EXPECT_EQ(FetchOne("SELECT S FROM TY", tiny, sizeof tiny, oci::kSqltLvc, &indicator), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 1459);
  EXPECT_EQ(FetchOne("SELECT R FROM TY", tiny, 1, oci::kSqltVbi, &indicator), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 1459);

  char chr[20] = {};
  EXPECT_EQ(FetchOne("SELECT S FROM TY", chr, sizeof chr, oci::kSqltChr, &indicator, &length), oci::kSuccess);
  EXPECT_EQ(length, 10);
  EXPECT_EQ(std::string(chr, length), "abcdefghij");

  EXPECT_EQ(FetchOne("SELECT F FROM TY", chr, sizeof chr, oci::kSqltStr, &indicator), oci::kSuccess);
  EXPECT_EQ(indicator, -1);
  EXPECT_EQ(FetchOne("SELECT F FROM TY", chr, sizeof chr, oci::kSqltStr), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 1405);

  // A NULL indicator on a bind stores NULL; an empty text is NULL too.
  sb2 nullIndicator = -1;
  char value[] = "ignored";
  ASSERT_EQ(Prepare("UPDATE TY SET S = :S"), oci::kSuccess);
  ASSERT_EQ(BindName(":S", value, sizeof value, oci::kSqltStr, &nullIndicator), oci::kSuccess);
  ASSERT_EQ(Execute(1), oci::kSuccess);
  EXPECT_EQ(c.Query("SELECT NVL(S, 'null') FROM TY"), (Rows{{"null"}}));
  EXPECT_EQ(c.Exec("UPDATE TY SET S = :S", {{"S", ""}}), oci::kSuccess);
  EXPECT_EQ(c.Query("SELECT COUNT(*) FROM TY WHERE S IS NULL"), (Rows{{"1"}}));
}

TEST_F(Types, TimestampsAndIntervalsThroughDescriptors) {
  OCIDateTime* ts = nullptr;
  OCIInterval* ds = nullptr;
  OCIInterval* ym = nullptr;
  ASSERT_EQ(lib.DescriptorAlloc(c.env, reinterpret_cast<void**>(&ts), oci::kDtypeTimestamp, 0, nullptr), oci::kSuccess);
  ASSERT_EQ(lib.DescriptorAlloc(c.env, reinterpret_cast<void**>(&ds), oci::kDtypeIntervalDS, 0, nullptr), oci::kSuccess);
  ASSERT_EQ(lib.DescriptorAlloc(c.env, reinterpret_cast<void**>(&ym), oci::kDtypeIntervalYM, 0, nullptr), oci::kSuccess);
  ASSERT_EQ(lib.DateTimeConstruct(c.env, c.err, ts, 2024, 1, 2, 3, 4, 5, 123000000, nullptr, 0), oci::kSuccess);
  ASSERT_EQ(lib.IntervalSetDaySecond(c.env, c.err, 1, 2, 0, 3, 500000000, ds), oci::kSuccess);
  ASSERT_EQ(lib.IntervalSetYearMonth(c.env, c.err, 1, 1, ym), oci::kSuccess);

  ASSERT_EQ(Prepare("INSERT INTO TY (K, TS, IDS, IYM) VALUES (1, :T, :D, :Y)"), oci::kSuccess);
  ASSERT_EQ(BindName(":T", &ts, sizeof ts, oci::kSqltTimestamp), oci::kSuccess);
  ASSERT_EQ(BindName(":D", &ds, sizeof ds, oci::kSqltIntervalDS), oci::kSuccess);
  ASSERT_EQ(BindName(":Y", &ym, sizeof ym, oci::kSqltIntervalYM), oci::kSuccess);
  ASSERT_EQ(Execute(1), oci::kSuccess) << c.ErrorText();

  OCIDateTime* tsBack = nullptr;
  OCIInterval* dsBack = nullptr;
  OCIInterval* ymBack = nullptr;
  lib.DescriptorAlloc(c.env, reinterpret_cast<void**>(&tsBack), oci::kDtypeTimestamp, 0, nullptr);
  lib.DescriptorAlloc(c.env, reinterpret_cast<void**>(&dsBack), oci::kDtypeIntervalDS, 0, nullptr);
  lib.DescriptorAlloc(c.env, reinterpret_cast<void**>(&ymBack), oci::kDtypeIntervalYM, 0, nullptr);
  ASSERT_EQ(Prepare("SELECT TS, IDS, IYM FROM TY"), oci::kSuccess);
  ASSERT_EQ(Execute(0), oci::kSuccess);
  ASSERT_EQ(Define(1, &tsBack, sizeof tsBack, oci::kSqltTimestamp), oci::kSuccess);
  ASSERT_EQ(Define(2, &dsBack, sizeof dsBack, oci::kSqltIntervalDS), oci::kSuccess);
  ASSERT_EQ(Define(3, &ymBack, sizeof ymBack, oci::kSqltIntervalYM), oci::kSuccess);
  ASSERT_EQ(Fetch(), oci::kSuccess) << c.ErrorText();

  char text[64] = {};
  ub4 size = sizeof text;
  const char mask[] = "YYYYMMDDHH24MISSFF";
  ASSERT_EQ(lib.DateTimeToText(c.env, c.err, tsBack, reinterpret_cast<const OraText*>(mask), 18, 3, nullptr, 0,
                               &size, reinterpret_cast<OraText*>(text)),
            oci::kSuccess);
  EXPECT_EQ(std::string(text, size), "20240102030405123");
  sb4 d = 0, h = 0, m = 0, s = 0, f = 0, y = 0, mo = 0;
  ASSERT_EQ(lib.IntervalGetDaySecond(c.env, c.err, &d, &h, &m, &s, &f, dsBack), oci::kSuccess);
  EXPECT_EQ(std::vector<sb4>({d, h, m, s, f}), (std::vector<sb4>{1, 2, 0, 3, 500000000}));
  ASSERT_EQ(lib.IntervalGetYearMonth(c.env, c.err, &y, &mo, ymBack), oci::kSuccess);
  EXPECT_EQ(y, 1);
  EXPECT_EQ(mo, 1);
  for (void* desc : {static_cast<void*>(ts), static_cast<void*>(tsBack)}) lib.DescriptorFree(desc, oci::kDtypeTimestamp);
  for (void* desc : {static_cast<void*>(ds), static_cast<void*>(dsBack)}) lib.DescriptorFree(desc, oci::kDtypeIntervalDS);
  for (void* desc : {static_cast<void*>(ym), static_cast<void*>(ymBack)}) lib.DescriptorFree(desc, oci::kDtypeIntervalYM);
}

// A descriptor of another kind than the call or the external type wants is refused and left as it was.
TEST_F(Types, DescriptorsOfAnotherKindAreRefused) {
  OCIDateTime* ts = nullptr;
  OCIInterval* ds = nullptr;
  ASSERT_EQ(lib.DescriptorAlloc(c.env, reinterpret_cast<void**>(&ts), oci::kDtypeTimestamp, 0, nullptr), oci::kSuccess);
  ASSERT_EQ(lib.DescriptorAlloc(c.env, reinterpret_cast<void**>(&ds), oci::kDtypeIntervalDS, 0, nullptr), oci::kSuccess);
  ASSERT_EQ(lib.IntervalSetDaySecond(c.env, c.err, 4, 5, 6, 7, 0, ds), oci::kSuccess);
  auto* asDateTime = reinterpret_cast<OCIDateTime*>(ds);
  EXPECT_EQ(lib.DateTimeConstruct(c.env, c.err, asDateTime, 2024, 1, 2, 3, 4, 5, 0, nullptr, 0), oci::kInvalidHandle);
  char text[64] = {};
  ub4 size = sizeof text;
  EXPECT_EQ(lib.DateTimeToText(c.env, c.err, asDateTime, nullptr, 0, 0, nullptr, 0, &size,
                               reinterpret_cast<OraText*>(text)),
            oci::kInvalidHandle);
  using FnLobGetLength = sword (*)(OCISvcCtx*, OCIError*, OCILobLocator*, ub4*);
  ub4 length = 0;
  EXPECT_EQ(reinterpret_cast<FnLobGetLength>(lib.Entry("OCILobGetLength"))(
                c.svc, c.err, reinterpret_cast<OCILobLocator*>(ts), &length),
            oci::kInvalidHandle);

  ASSERT_EQ(c.Exec("INSERT INTO TY (K, TS, S) VALUES (1, TO_TIMESTAMP('2024-01-02 03:04:05', 'YYYY-MM-DD HH24:MI:SS'), 'x')"), oci::kSuccess)
      << c.ErrorText();
  ASSERT_EQ(Prepare("SELECT TS, S FROM TY"), oci::kSuccess);
  ASSERT_EQ(Execute(0), oci::kSuccess) << c.ErrorText();
  ASSERT_EQ(Define(1, &ds, sizeof ds, oci::kSqltTimestamp), oci::kSuccess);
  EXPECT_EQ(Fetch(), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 932);
  ASSERT_EQ(Prepare("SELECT TS, S FROM TY"), oci::kSuccess);
  ASSERT_EQ(Execute(0), oci::kSuccess) << c.ErrorText();
  ASSERT_EQ(Define(2, &ts, sizeof ts, oci::kSqltClob), oci::kSuccess);
  EXPECT_EQ(Fetch(), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 22275);

  sb4 d = 0, h = 0, m = 0, s = 0, f = 0;
  ASSERT_EQ(lib.IntervalGetDaySecond(c.env, c.err, &d, &h, &m, &s, &f, ds), oci::kSuccess);
  EXPECT_EQ(std::vector<sb4>({d, h, m, s, f}), (std::vector<sb4>{4, 5, 6, 7, 0}));
  lib.DescriptorFree(ts, oci::kDtypeTimestamp);
  lib.DescriptorFree(ds, oci::kDtypeIntervalDS);
}

TEST_F(Types, NumberTextMasksOfTheNumberCalls) {
  const char nls[] = "NLS_NUMERIC_CHARACTERS='. '";
  const char decimalMask[] = "99999999999999999999D999999";
  const char integerMask[] = "99999999999999999999";
  auto fromText = [&](const char* text, const char* mask, OCINumber& out) {
    return lib.NumberFromText(c.err, reinterpret_cast<const OraText*>(text), static_cast<ub4>(std::strlen(text)),
                              reinterpret_cast<const OraText*>(mask), static_cast<ub4>(std::strlen(mask)),
                              reinterpret_cast<const OraText*>(nls), 26, &out);
  };
  auto toText = [&](const OCINumber& n, const char* mask) {
    char buffer[64] = {};
    ub4 size = sizeof buffer;
    EXPECT_EQ(lib.NumberToText(c.err, &n, reinterpret_cast<const OraText*>(mask), static_cast<ub4>(std::strlen(mask)),
                               reinterpret_cast<const OraText*>(nls), 26, &size, reinterpret_cast<OraText*>(buffer)),
              oci::kSuccess);
    return std::string(buffer, size);
  };
  OCINumber n{};
  ASSERT_EQ(fromText("1234.5", decimalMask, n), oci::kSuccess);
  EXPECT_EQ(toText(n, decimalMask), std::string(16, ' ') + " 1234.500000");
  EXPECT_EQ(toText(n, integerMask), std::string(16, ' ') + " 1235");
  ASSERT_EQ(fromText("-0.125", "9D999", n), oci::kSuccess);
  EXPECT_EQ(toText(n, "9D999"), " -.125");  // one place for the sign, as wide as the mask
  EXPECT_EQ(fromText("12.3456", "99D99", n), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 1722);
  // A length byte beyond the structure's 21 number bytes is refused, not read past the structure.
  n.OCINumberPart[0] = 200;
  char buffer[64] = {};
  ub4 size = sizeof buffer;
  EXPECT_EQ(lib.NumberToText(c.err, &n, nullptr, 0, nullptr, 0, &size, reinterpret_cast<OraText*>(buffer)),
            oci::kError);
  EXPECT_EQ(c.ErrorCode(), 1722);
}

TEST_F(Types, StatementDescribesItsColumns) {
  ASSERT_EQ(c.Exec("INSERT INTO TY (K, D) VALUES (1, SYSDATE)"), oci::kSuccess);
  ASSERT_EQ(Prepare("SELECT K, F, S, D, TS, R, IDS, IYM, COUNT(*) OVER () AS N, \"nv\", SUBSTR(\"nv\", 1, 2) SN, "
                    "NVL(TO_CHAR(D, 'YYYY-MM-DD HH24:MI:SS'), S) DS FROM TY"),
            oci::kSuccess);
  ub2 type = 0;
  lib.AttrGet(stmt, oci::kHtypeStmt, &type, nullptr, oci::kAttrStmtType, c.err);
  EXPECT_EQ(type, oci::kStmtSelect);
  ASSERT_EQ(Execute(0, oci::kDescribeOnly), oci::kSuccess) << c.ErrorText();
  ub4 count = 0;
  lib.AttrGet(stmt, oci::kHtypeStmt, &count, nullptr, oci::kAttrParamCount, c.err);
  ASSERT_EQ(count, 12u);
  struct Expected {
    const char* name;
    ub2 type;
    sb2 precision;
    sb1 scale;
    ub1 nullable;
    ub1 form;  // 0: not text
  } expected[] = {{"K", 2, 10, 0, 0, 0},    {"F", 2, 12, 4, 1, 0},    {"S", 1, 0, 0, 1, 1},
                  {"D", 12, 0, 0, 1, 0},    {"TS", 187, 0, 3, 1, 0},  {"R", 23, 0, 0, 1, 0},
                  {"IDS", 190, 0, 6, 1, 0}, {"IYM", 189, 0, 0, 1, 0}, {"N", 2, 0, 0, 1, 0},
                  {"nv", 1, 0, 0, 1, 2},    {"SN", 1, 0, 0, 1, 2},    {"DS", 1, 0, 0, 1, 1}};
  for (ub4 k = 0; k < count; ++k) {
    void* param = nullptr;
    ASSERT_EQ(lib.ParamGet(stmt, oci::kHtypeStmt, c.err, &param, k + 1), oci::kSuccess);
    ub2 dataType = 0;
    const char* name = nullptr;
    ub4 nameLength = 0;
    sb2 precision = -1;
    sb1 scale = -1;
    ub1 nullable = 9;
    lib.AttrGet(param, oci::kDtypeParam, &dataType, nullptr, oci::kAttrDataType, c.err);
    lib.AttrGet(param, oci::kDtypeParam, &name, &nameLength, oci::kAttrName, c.err);
    lib.AttrGet(param, oci::kDtypeParam, &precision, nullptr, oci::kAttrPrecision, c.err);
    lib.AttrGet(param, oci::kDtypeParam, &scale, nullptr, oci::kAttrScale, c.err);
    lib.AttrGet(param, oci::kDtypeParam, &nullable, nullptr, oci::kAttrIsNull, c.err);
    EXPECT_EQ(std::string(name, nameLength), expected[k].name);
    EXPECT_EQ(dataType, expected[k].type) << expected[k].name;
    EXPECT_EQ(precision, expected[k].precision) << expected[k].name;
    EXPECT_EQ(scale, expected[k].scale) << expected[k].name;
    EXPECT_EQ(nullable, expected[k].nullable) << expected[k].name;
    ub1 form = 0;
    if (expected[k].form) lib.AttrGet(param, oci::kDtypeParam, &form, nullptr, oci::kAttrCharsetForm, c.err);
    EXPECT_EQ(form, expected[k].form) << expected[k].name;
  }
  void* param = nullptr;
  EXPECT_EQ(lib.ParamGet(stmt, oci::kHtypeStmt, c.err, &param, 13), oci::kError);
}

}  // namespace
}  // namespace ocitest

namespace ocitest {
namespace {

TEST_F(Types, ArrayFetchesScrollingAndFetchOutOfSequence) {
  for (int k = 1; k <= 5; ++k) {
    ASSERT_EQ(c.Exec("INSERT INTO TY (K, S) VALUES (:K, :S)", {{"K", std::to_string(k)}, {"S", k == 3 ? "" : "s" + std::to_string(k)}}),
              oci::kSuccess);
  }
  ASSERT_EQ(Prepare("SELECT K, S FROM TY ORDER BY K"), oci::kSuccess);
  ASSERT_EQ(Execute(0), oci::kSuccess);
  std::int32_t keys[3] = {};
  char texts[3][8] = {};
  sb2 indicators[3] = {};
  ub2 lengths[3] = {};
  ASSERT_EQ(Define(1, keys, 4, oci::kSqltInt), oci::kSuccess);
  ASSERT_EQ(Define(2, texts, 8, oci::kSqltStr, indicators, lengths), oci::kSuccess);
  ASSERT_EQ(lib.StmtFetch(stmt, c.err, 3, oci::kFetchNext, 0), oci::kSuccess);
  EXPECT_EQ(std::vector<int>(keys, keys + 3), (std::vector<int>{1, 2, 3}));
  EXPECT_STREQ(texts[1], "s2");
  EXPECT_EQ(indicators[2], -1);  // the empty text was stored as NULL
  ub4 fetched = 0;
  ub4 rowCount = 0;
  // Two rows are left: a fetch of three brings them and answers OCI_NO_DATA; one more is out of sequence.
  EXPECT_EQ(lib.StmtFetch(stmt, c.err, 3, oci::kFetchNext, 0), oci::kNoData);
  lib.AttrGet(stmt, oci::kHtypeStmt, &fetched, nullptr, oci::kAttrRowsFetched, c.err);
  lib.AttrGet(stmt, oci::kHtypeStmt, &rowCount, nullptr, oci::kAttrRowCount, c.err);
  EXPECT_EQ(fetched, 2u);
  EXPECT_EQ(rowCount, 5u);
  EXPECT_EQ(std::vector<int>(keys, keys + 2), (std::vector<int>{4, 5}));
  EXPECT_EQ(lib.StmtFetch(stmt, c.err, 1, oci::kFetchNext, 0), oci::kError);
  EXPECT_EQ(c.ErrorCode(), 1002);
  EXPECT_EQ(lib.StmtFetch(stmt, c.err, 1, oci::kFetchFirst, 0), oci::kSuccess);
  EXPECT_EQ(keys[0], 1);
  EXPECT_EQ(lib.StmtFetch(stmt, c.err, 1, oci::kFetchLast, 0), oci::kSuccess);
  EXPECT_EQ(keys[0], 5);
  EXPECT_EQ(lib.StmtFetch(stmt, c.err, 1, oci::kFetchPrior, 0), oci::kSuccess);
  EXPECT_EQ(keys[0], 4);
}

}  // namespace
}  // namespace ocitest

namespace ocitest {
namespace {

TEST_F(Types, TimestampWithTimeZoneKeepsItsOffset) {
  ASSERT_EQ(c.Exec("CREATE TABLE TZ (T TIMESTAMP(6) WITH TIME ZONE)"), oci::kSuccess) << c.ErrorText();
  OCIDateTime* in = nullptr;
  OCIDateTime* out = nullptr;
  lib.DescriptorAlloc(c.env, reinterpret_cast<void**>(&in), oci::kDtypeTimestampTz, 0, nullptr);
  lib.DescriptorAlloc(c.env, reinterpret_cast<void**>(&out), oci::kDtypeTimestampTz, 0, nullptr);
  char zone[] = "-05:30";
  ASSERT_EQ(lib.DateTimeConstruct(c.env, c.err, in, 2023, 12, 31, 23, 59, 58, 250000000,
                                  reinterpret_cast<OraText*>(zone), 6),
            oci::kSuccess);
  ASSERT_EQ(Prepare("INSERT INTO TZ VALUES (:T)"), oci::kSuccess);
  ASSERT_EQ(BindName(":T", &in, sizeof in, oci::kSqltTimestampTz), oci::kSuccess);
  ASSERT_EQ(Execute(1), oci::kSuccess) << c.ErrorText();
  ASSERT_EQ(FetchOne("SELECT T FROM TZ", &out, sizeof out, oci::kSqltTimestampTz), oci::kSuccess);
  char text[64] = {};
  ub4 size = sizeof text;
  const char mask[] = "YYYY-MM-DD HH24:MI:SS.FF TZH:TZM";
  ASSERT_EQ(lib.DateTimeToText(c.env, c.err, out, reinterpret_cast<const OraText*>(mask), sizeof mask - 1, 3, nullptr,
                               0, &size, reinterpret_cast<OraText*>(text)),
            oci::kSuccess);
  EXPECT_EQ(std::string(text, size), "2023-12-31 23:59:58.250 -05:30");
  lib.DescriptorFree(in, oci::kDtypeTimestampTz);
  lib.DescriptorFree(out, oci::kDtypeTimestampTz);
}

}  // namespace
}  // namespace ocitest
