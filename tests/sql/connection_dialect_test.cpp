// The connection's dialect fragments by DBMS kind: type names and limits, digit expressions of date/time operands,
// literals of every runtime type (through the runtime stand-in's conversions), type compatibility, default values
// read from SQL literals, and qualified names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "engine/record/column_types.h"
#include "foundation/code_pages.h"
#include "foundation/sql_text_buffer.h"
#include "sql/connection.h"
#include "foundation/like_pattern.h"
#include "tests/engine/field_value_fixture.h"
#include "tests/slot_of.h"
#include "tests/support/column_descriptor_ref.h"

namespace {

// A connection of any dialect, set as the connection's dialect settings leave one.
class DialectConnection : public doubles::TestConnection {
 public:
  explicit DialectConnection(std::uint32_t kind, std::int32_t major = -1) : TestConnection(u"dialect", nullptr) {
    m_nDbmsKind = kind;
    if (major >= 0) {
      SetServerVersionText(std::u16string(std::u16string(u"") + char16_t(u'0' + major / 10) +
                                          char16_t(u'0' + major % 10) + u".2.0")
                               .c_str());
      ParseServerVersion(nullptr);
    }
  }
  void SetBinaryLiterals(const char16_t* prefix, const char16_t* suffix) {
    m_strBinaryLiteralPrefix = prefix;
    m_strBinaryLiteralSuffix = suffix;
  }
  void SetQuotedDates() { m_bQuotedDates = 1; }
};

std::u16string Wide(CSqlTextBuffer& buffer) { return buffer.pszGetWide(); }

class DialectTest : public CFieldValueFixture {
 protected:
  void TearDown() override {
    for (DialectConnection* c : made) c->nRelease();
    CFieldValueFixture::TearDown();
  }
  DialectConnection* Dialect(std::uint32_t kind, std::int32_t major = -1) {
    auto* c = new DialectConnection(kind, major);
    c->AddRef();
    made.push_back(c);
    return c;
  }
  bool HasError() { return holder->pGetEmbeddedObject()->nGetCode() != 0; }
  void ClearError() { holder->Clear(); }

  // A value literal written into a UTF-16 buffer.
  std::u16string Literal(DialectConnection* c, CHostValue& value, std::uint32_t columnType = 0) {
    CSqlTextBuffer out(CODE_PAGE_UTF16, 1252, 64);
    out.Append(u"old", -1);
    EXPECT_TRUE(c->bValueToSqlLiteral(holder, &out, &value, columnType, 0));
    return Wide(out);
  }

  std::vector<DialectConnection*> made;
};

TEST_F(DialectTest, OperationsStandInTheirSlots) {
  const std::size_t before28 = SlotOf(&CConnection::nGetErrorCategory);
  EXPECT_EQ(SlotOf(&CConnection::bValueToSqlLiteral), before28 + 1);
  EXPECT_EQ(SlotOf(&CConnection::bTypesCompatible), before28 + 2);
  EXPECT_EQ(SlotOf(&CConnection::nGetMaxIdentifierLength), before28 + 3);
  EXPECT_EQ(SlotOf(&CConnection::AddErrorDetails), before28 + 4);
  const std::size_t before37 = SlotOf(&CConnection::bExecuteSqlFetch);
  EXPECT_EQ(SlotOf(&CConnection::bTextToSqlLiteral), before37 + 1);
  EXPECT_EQ(SlotOf(&CConnection::bBooleanToSqlLiteral), before37 + 2);
  EXPECT_EQ(SlotOf(&CConnection::bDateTimeToSqlLiteral), before37 + 3);
  EXPECT_EQ(SlotOf(&CConnection::OnLevelEnded), before37 + 4);
}

TEST_F(DialectTest, TypeNamesAndLimitsByKind) {
  const struct {
    std::uint32_t kind;
    std::int32_t major;
    int setA;
    std::int32_t varcharMax, nvarcharMax, identifiers;
    const char16_t *varchar, *longText, *nvarchar, *longNText;
  } cases[] = {
      {1, 10, 1, 4000, 2000, 0x7FFFFFFF, u"VARCHAR2", u"CLOB", u"NVARCHAR2", u"NCLOB"},
      {2, -1, 1, 8000, 4000, 0x7FFFFFFF, u"VARCHAR", u"CLOB", u"NVARCHAR", u"NCLOB"},
      {4, -1, 1, -1, -1, 31, u"VARCHAR", u"CLOB", u"NVARCHAR", u"NCLOB"},
      {5, 3, 0, 255, 255, 0x7FFFFFFF, u"VARCHAR", u"LONGBLOB", u"NVARCHAR", u"LONGBLOB"},
      {5, 5, 0, 255, 255, 0x7FFFFFFF, u"VARCHAR", u"LONGTEXT", u"NVARCHAR", u"LONGTEXT CHARACTER SET ucs2"},
      {3, -1, 0, -1, -1, 0x7FFFFFFF, u"VARCHAR", u"CLOB", u"NVARCHAR", u"NCLOB"},
      {13, -1, 1, -1, -1, 0x7FFFFFFF, u"VARCHAR", u"CLOB", u"NVARCHAR", u"NCLOB"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.kind);
    DialectConnection* c = Dialect(k.kind, k.major);
    EXPECT_EQ(c->bDbmsKindSetA(), k.setA);
    EXPECT_EQ(c->nGetVarcharMax(), k.varcharMax);
    EXPECT_EQ(c->nGetNVarcharMax(), k.nvarcharMax);
    EXPECT_EQ(c->nGetMaxIdentifierLength(), k.identifiers);
    EXPECT_EQ(std::u16string(c->pszGetVarcharTypeName()), k.varchar);
    EXPECT_EQ(std::u16string(c->pszGetLongTextTypeName()), k.longText);
    EXPECT_EQ(std::u16string(c->pszGetNVarcharTypeName()), k.nvarchar);
    EXPECT_EQ(std::u16string(c->pszGetLongNTextTypeName()), k.longNText);
  }
  // Kind 5 writes its decimals itself, bounded to what it accepts.
  DescriptorRef decimal = Column(COLUMN_TYPE_DECIMAL, 8, 20, 6);
  CTString name;
  ASSERT_TRUE(Dialect(5)->pszGetNativeTypeName(holder, *decimal, name));
  EXPECT_EQ(std::u16string(name.pszGet()), u"NUMERIC(26,6)");
}

TEST_F(DialectTest, DigitExpressionsOfDateAndTimeOperands) {
  const struct {
    std::uint32_t kind;
    std::int32_t major;
    std::uint32_t type, size;
    const char16_t* expected;
  } cases[] = {
      // Kind 1 by server version: unknown and 8 concatenate the millisecond zeros, 9 and 10 cast.
      {1, -1, COLUMN_TYPE_DATETIME, 8, u"(TO_CHAR(X,'YYYYMMDDHH24MISS')||'000')"},
      {1, 8, COLUMN_TYPE_DATETIME, 8, u"(TO_CHAR(X,'YYYYMMDDHH24MISS')||'000')"},
      {1, 9, COLUMN_TYPE_DATETIME, 8, u"TO_CHAR( CAST(X AS TIMESTAMP),'YYYYMMDDHH24MISSFF3')"},
      {1, 10, COLUMN_TYPE_DATETIME, 8, u"TO_CHAR( CAST(X AS TIMESTAMP),'YYYYMMDDHH24MISSFF3')"},
      {1, 8, COLUMN_TYPE_TIME, 10, u"(TO_CHAR(X,'HH24MISS')||'000')"},
      {1, -1, COLUMN_TYPE_TIME, 9, u"SUBSTR((TO_CHAR(X,'HH24MISS')||'000'), 1, 8)"},
      {1, 10, COLUMN_TYPE_TIME, 10, u"TO_CHAR( CAST(X AS TIMESTAMP),'HH24MISSFF3')"},
      {1, 9, COLUMN_TYPE_TIME, 8, u"SUBSTR(TO_CHAR( CAST(X AS TIMESTAMP),'HH24MISSFF3'), 1, 7)"},
      {1, 10, COLUMN_TYPE_TIME, 7, u"TO_CHAR(X,'HH24MISS')"},
      {1, 10, COLUMN_TYPE_TIME, 6, u"SUBSTR(TO_CHAR(X,'HH24MISS'), 1, 5)"},
      {1, 10, COLUMN_TYPE_TIME, 5, u"TO_CHAR(X,'HH24MI')"},
      {1, 10, COLUMN_TYPE_DATE, 9, u"TO_CHAR(X,'YYYYMMDD')"},
      {2, -1, COLUMN_TYPE_TIME, 5, u"SUBSTRING(REPLACE(CONVERT(varchar(8),X,108),':',''), 1, 4)"},
      {2, -1, COLUMN_TYPE_TIME, 9, u"SUBSTRING(REPLACE(REPLACE(CONVERT(varchar(12),X,114),':',''),'.',''), 1, 8)"},
      {3, -1, COLUMN_TYPE_TIME, 8, u"(FORMAT(X,'HHmmss') + '0')"},
      {3, -1, COLUMN_TYPE_TIME, 10, u"(FORMAT(X,'HHmmss') + '000')"},
      {4, -1, COLUMN_TYPE_DATE, 9, u"CONVERT(VARCHAR(8),X,112)"},
      {5, -1, COLUMN_TYPE_TIME, 10, u"SUBSTR(TIME_FORMAT(X,'%H%i%S%f'), 1, 9)"},
      {5, -1, COLUMN_TYPE_DATETIME, 8, u"SUBSTR(TIME_FORMAT(X,'%Y%m%d%H%i%S%f'), 1, 17)"},
      {6, -1, COLUMN_TYPE_TIME, 7, u"TO_CHAR(X,'HH24MISS')"},
      {6, -1, COLUMN_TYPE_DATETIME, 8, u"TO_CHAR(X,'YYYYMMDDHH24MISSMS')"},
      {11, -1, COLUMN_TYPE_TIME, 8, u"SUBSTR(TO_CHAR(X,'%H%M%S%F1'), 1, 7)"},
      {11, -1, COLUMN_TYPE_TIME, 10, u"TO_CHAR(X,'%H%M%S%F3')"},
      {13, -1, COLUMN_TYPE_DATE, 9, u"strftime('%Y%m%d',X)"},
      {4, -1, COLUMN_TYPE_DATETIME, 8,
       u"(CONVERT(VARCHAR(8),X,112)+STUFF(STUFF(CONVERT(VARCHAR(8),X,108), 3, 1, NULL), 5, 1, NULL)"
       u"+SUBSTRING(CONVERT(CHAR(4), 1000+DATEPART(ms,X)),2,4))"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << k.kind << " major " << k.major << " type " << k.type << " size "
                                    << k.size);
    TestColumn column(k.type, k.size);
    CSqlTextBuffer out(CODE_PAGE_UTF16, 1252, 64);
    EXPECT_EQ(Dialect(k.kind, k.major)->nDateTimePartExpression(holder, &out, u"X", *column.operator->()), 1);
    EXPECT_EQ(Wide(out), k.expected);
  }
  // Time sizes without a digit form, and other column types, give the operand back.
  for (const auto& [type, size] : {std::pair{COLUMN_TYPE_TIME, 4u}, {COLUMN_TYPE_TIME, 11u}, {COLUMN_TYPE_INT32, 4u}}) {
    TestColumn column(type, size);
    CSqlTextBuffer out(CODE_PAGE_UTF16, 1252, 64);
    EXPECT_EQ(Dialect(1, 10)->nDateTimePartExpression(holder, &out, u"T.C", *column.operator->()), 0);
    EXPECT_EQ(Wide(out), u"T.C");
  }
}

TEST_F(DialectTest, TextLiterals) {
  DialectConnection* oracle = Dialect(1);
  DialectConnection* other = Dialect(3);
  CSqlTextBuffer out(CODE_PAGE_UTF16, 1252, 64);
  const char16_t quoted[] = u"it's\0\0";
  ASSERT_TRUE(oracle->bTextToSqlLiteral(holder, &out, HOST_TYPE_TEXT, quoted, sizeof(quoted)));
  EXPECT_EQ(Wide(out), u"N'it''s'");  // trailing zero units dropped
  ASSERT_TRUE(other->bTextToSqlLiteral(holder, &out, HOST_TYPE_TEXT, quoted, 8));
  EXPECT_EQ(Wide(out), u"'it''s'");
  ASSERT_TRUE(oracle->bTextToSqlLiteral(holder, &out, HOST_TYPE_ASTRING, "it's", 4));
  EXPECT_EQ(Wide(out), u"'it''s'");
  ASSERT_TRUE(oracle->bTextToSqlLiteral(holder, &out, HOST_TYPE_TEXT, u"x", 0));
  EXPECT_EQ(Wide(out), u"''");
  ASSERT_TRUE(oracle->bBooleanToSqlLiteral(holder, &out, 7));
  EXPECT_EQ(Wide(out), u"1");
  ASSERT_TRUE(oracle->bBooleanToSqlLiteral(holder, &out, 0));
  EXPECT_EQ(Wide(out), u"0");

  // Bytes without a terminator are read up to the length given (a heap block of exactly that size, so that a read
  // past it shows under AddressSanitizer); a zero byte within it ends the text.
  std::unique_ptr<char[]> bytes(new char[3]{'a', 'b', 'c'});
  ASSERT_TRUE(oracle->bTextToSqlLiteral(holder, &out, HOST_TYPE_BINARY_BUFFER, bytes.get(), 3));
  EXPECT_EQ(Wide(out), u"'abc'");
  bytes[1] = 0;
  ASSERT_TRUE(oracle->bTextToSqlLiteral(holder, &out, HOST_TYPE_PAIR29, bytes.get(), 3));
  EXPECT_EQ(Wide(out), u"'a'");

  // A UTF-16 literal reaches a narrow statement in that statement's own page.
  for (const auto& [page, expected] : {std::pair<std::uint32_t, std::string>{1252, "N'\xE9'"},
                                       {65001, "N'\xC3\xA9'"}}) {
    CSqlTextBuffer narrow(page, page, 64);
    ASSERT_TRUE(oracle->bTextToSqlLiteral(holder, &narrow, HOST_TYPE_TEXT, u"\u00e9", 2));
    EXPECT_EQ(std::string(narrow.pszGetNarrow()), expected);
  }
}

TEST_F(DialectTest, ValueLiteralsByRuntimeType) {
  DialectConnection* oracle = Dialect(1);
  CHostValue value;
  Make(value, HOST_TYPE_INT32, std::int32_t{-42});
  EXPECT_EQ(Literal(oracle, value), u"-42");
  value.SetNull(true);
  EXPECT_EQ(Literal(oracle, value), u"NULL");
  value.SetType(HOST_TYPE_EMPTY);
  EXPECT_EQ(Literal(oracle, value), u"NULL");
  Make(value, HOST_TYPE_UINT32_RAW, std::uint32_t{3});
  EXPECT_EQ(Literal(oracle, value), u"1");
  Make(value, HOST_TYPE_INT64, std::int64_t{12345678901});
  EXPECT_EQ(Literal(oracle, value), u"12345678901");

  // Reals: a point whatever the program's separator; a 4-byte real is cast.
  qzrt::SetDecimalComma(true);
  Make(value, HOST_TYPE_DOUBLE, 2.5);
  EXPECT_EQ(Literal(oracle, value), u"2.5");
  Make(value, HOST_TYPE_FLOAT, 0.25f);
  EXPECT_EQ(Literal(oracle, value), u"CAST(0.25 AS REAL)");
  qzrt::SetDecimalComma(false);

  MakeWide(value, u"l'\u00e9t\u00e9");
  EXPECT_EQ(Literal(oracle, value), u"N'l''\u00e9t\u00e9'");
  EXPECT_EQ(Literal(Dialect(4), value), u"'l''\u00e9t\u00e9'");
  value.SetType(HOST_TYPE_ASTRING);
  value.Ops().SetFromNarrowZ(value.pHolder(), "a'b");
  EXPECT_EQ(Literal(oracle, value), u"'a''b'");
  Make(value, HOST_TYPE_WCHAR, char16_t{0});
  EXPECT_EQ(Literal(oracle, value), u"''");
  Make(value, HOST_TYPE_ACHAR, 'z');
  EXPECT_EQ(Literal(oracle, value), u"'z'");

  // Binary values: hexadecimal only in a dialect with a binary prefix; Oracle writes their bytes as text.
  value.SetType(HOST_TYPE_BINARY_BUFFER);
  value.SetFromBuffer("A\0\xFF", 3);
  DialectConnection* hex = Dialect(2);
  hex->SetBinaryLiterals(u"0x", u"");
  EXPECT_EQ(Literal(hex, value), u"0x4100FF");
  EXPECT_EQ(Literal(hex, value, COLUMN_TYPE_BINARY), u"0x4100FF");
  EXPECT_EQ(Literal(oracle, value), u"'A'");
  value.SetFromBuffer("", 0);
  DialectConnection* kind4 = Dialect(4);
  kind4->SetBinaryLiterals(u"0x", u"");
  EXPECT_EQ(Literal(kind4, value), u"''");
  EXPECT_EQ(Literal(hex, value), u"0x");

  // With a column type the value is first given the column's type when it takes it.
  Make(value, HOST_TYPE_INT32, std::int32_t{7});
  EXPECT_EQ(Literal(oracle, value, COLUMN_TYPE_WTEXT), u"N'7'");
  MakeWide(value, u"x7");
  EXPECT_EQ(Literal(oracle, value, COLUMN_TYPE_INT32), u"N'x7'");  // not a number: written as given
  EXPECT_FALSE(HasError());
}

TEST_F(DialectTest, DateAndTimeLiteralsByKind) {
  CHostDateTime stamp{};
  stamp.m_nYear = 2024;
  stamp.m_nMonth = 3;
  stamp.m_nDay = 15;
  stamp.m_nMillisecond = ((10 * 60 + 20) * 60 + 30) * 1000 + 45;
  const struct {
    std::uint32_t kind;
    std::uint8_t type;
    const char* digits;  // null: the date-time above
    std::uint32_t columnType;
    const char16_t* expected;
  } cases[] = {
      {1, HOST_TYPE_ADATE, "20240315", 0, u"'2024-03-15'"},
      {7, HOST_TYPE_ADATE, "20240315", 0, u"{d '2024-03-15'}"},
      {11, HOST_TYPE_ADATE, "20240315", 0, u"MDY(03,15,2024)"},
      {5, HOST_TYPE_ADATE, "00000000", 0, u"'0000-00-00'"},
      {1, HOST_TYPE_ATIME, "102030045", 0, u"'10:20:30.045'"},
      {8, HOST_TYPE_ATIME, "102030045", 0, u"{t '10:20:30'}"},
      {11, HOST_TYPE_ATIME, "102030045", 0, u"DATETIME(10:20) HOUR TO MINUTE"},
      {1, HOST_TYPE_DATETIME, nullptr, 0, u"'2024-03-15 10:20:30.045'"},
      {7, HOST_TYPE_DATETIME, nullptr, 0, u"{ts '2024-03-15 10:20:30.045'}"},
      {11, HOST_TYPE_DATETIME, nullptr, 0, u"DATETIME(2024-03-15 10:20:30.045) YEAR TO FRACTION"},
      {1, HOST_TYPE_DATETIME, nullptr, COLUMN_TYPE_TIME, u"'10:20:30.045'"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << k.kind << " type " << int(k.type));
    CHostValue value;
    if (k.digits) {
      value.SetType(k.type);
      value.Ops().SetFromNarrowZ(value.pHolder(), k.digits);
    } else {
      Make(value, HOST_TYPE_DATETIME, stamp);
    }
    CSqlTextBuffer out(CODE_PAGE_UTF16, 1252, 64);
    ASSERT_TRUE(Dialect(k.kind)->bDateTimeToSqlLiteral(holder, &out, &value, k.columnType));
    EXPECT_EQ(Wide(out), k.expected);
  }
  // Kind 5's zero date keeps its time with a five-zero year.
  CHostDateTime zero{};
  zero.m_nMillisecond = 1000;
  CHostValue value;
  Make(value, HOST_TYPE_DATETIME, zero);
  CSqlTextBuffer out(CODE_PAGE_UTF16, 1252, 64);
  ASSERT_TRUE(Dialect(5)->bDateTimeToSqlLiteral(holder, &out, &value, 0));
  EXPECT_EQ(Wide(out), u"'00000-00-00 00:00:01.000'");
  DialectConnection* quoted = Dialect(11);
  quoted->SetQuotedDates();
  value.SetType(HOST_TYPE_ADATE);
  value.Ops().SetFromNarrowZ(value.pHolder(), "20240315");
  ASSERT_TRUE(quoted->bDateTimeToSqlLiteral(holder, &out, &value, 0));
  EXPECT_EQ(Wide(out), u"'20240315'");

  // No date gives NULL; other types leave the buffer as it is.
  value.SetType(HOST_TYPE_EMPTY);
  value.SetType(HOST_TYPE_ADATE);
  ASSERT_TRUE(Dialect(1)->bDateTimeToSqlLiteral(holder, &out, &value, 0));
  EXPECT_EQ(Wide(out), u"NULL");
  Make(value, HOST_TYPE_INT32, std::int32_t{1});
  ASSERT_TRUE(Dialect(1)->bDateTimeToSqlLiteral(holder, &out, &value, 0));
  EXPECT_EQ(Wide(out), u"NULL");
  EXPECT_FALSE(HasError());

  // A value the runtime cannot give as text is a failure, not a NULL.
  value.SetType(HOST_TYPE_EMPTY);
  value.SetType(HOST_TYPE_ADATE);
  value.Ops().SetFromNarrowZ(value.pHolder(), "20240315");
  qzrt::FailStringAllocations(0);
  EXPECT_FALSE(Dialect(1)->bDateTimeToSqlLiteral(holder, &out, &value, 0));
  qzrt::FailStringAllocations(-1);
  EXPECT_TRUE(doubles::HasIdentification(holder, 1, 16));
  ClearError();

  // Digits that are no date or time: error 43 in the caller's holder.
  for (const auto& [type, digits, point] :
       {std::tuple{HOST_TYPE_ADATE, "2024031x", 8u}, {HOST_TYPE_ATIME, "12", 9u}}) {
    ClearError();
    value.SetType(HOST_TYPE_EMPTY);
    value.SetType(type);
    value.Ops().SetFromNarrowZ(value.pHolder(), digits);
    EXPECT_FALSE(Dialect(1)->bDateTimeToSqlLiteral(holder, &out, &value, 0));
    EXPECT_EQ(holder->pGetEmbeddedObject()->nGetCode(), 43u);
    EXPECT_TRUE(doubles::HasIdentification(holder, 1, point));
  }
}

TEST_F(DialectTest, TypeCompatibility) {
  DialectConnection* c = Dialect(1);
  CHostValue value;
  // Kept as they are.
  value.SetType(HOST_TYPE_ASTRING);
  EXPECT_TRUE(c->bTypesCompatible(holder, &value, COLUMN_TYPE_TEXT, 0, 1));
  EXPECT_EQ(value.nGetType(), HOST_TYPE_ASTRING);
  value.SetType(HOST_TYPE_BINARY_BUFFER);
  EXPECT_TRUE(c->bTypesCompatible(holder, &value, COLUMN_TYPE_INT32, 0, 1));
  EXPECT_EQ(value.nGetType(), HOST_TYPE_BINARY_BUFFER);

  // A 64-bit value for a 32-bit column: kept at or beyond the bounds without the strict flag, converted inside them.
  Make(value, HOST_TYPE_INT64, std::int64_t{3000000000});
  EXPECT_TRUE(c->bTypesCompatible(holder, &value, COLUMN_TYPE_INT32, 0, 0));
  EXPECT_EQ(value.nGetType(), HOST_TYPE_INT64);
  Make(value, HOST_TYPE_INT64, std::int64_t{2147483647});
  EXPECT_TRUE(c->bTypesCompatible(holder, &value, COLUMN_TYPE_INT32, 0, 0));
  EXPECT_EQ(value.nGetType(), HOST_TYPE_INT64);
  Make(value, HOST_TYPE_INT64, std::int64_t{5});
  EXPECT_TRUE(c->bTypesCompatible(holder, &value, COLUMN_TYPE_INT32, 0, 0));
  EXPECT_EQ(value.nGetType(), HOST_TYPE_INT32);
  Make(value, HOST_TYPE_INT32, std::int32_t{5});
  EXPECT_TRUE(c->bTypesCompatible(holder, &value, COLUMN_TYPE_REAL4, 0, 0));
  EXPECT_EQ(value.nGetType(), HOST_TYPE_INT32);
  EXPECT_TRUE(c->bTypesCompatible(holder, &value, COLUMN_TYPE_REAL4, 0, 1));
  EXPECT_EQ(value.nGetType(), HOST_TYPE_FLOAT);
  EXPECT_FALSE(HasError());
  Make(value, HOST_TYPE_INT64, std::int64_t{3000000000});
  EXPECT_FALSE(c->bTypesCompatible(holder, &value, COLUMN_TYPE_INT32, 0, 1));
  EXPECT_TRUE(doubles::HasIdentification(holder, 1, 16));

  // Date and time columns.
  ClearError();
  value.SetType(HOST_TYPE_ATIME);
  value.Ops().SetFromNarrowZ(value.pHolder(), "1230");
  EXPECT_TRUE(c->bTypesCompatible(holder, &value, COLUMN_TYPE_DATE, 0, 1));
  EXPECT_EQ(value.nGetType(), HOST_TYPE_ADATE);
  EXPECT_EQ(NarrowOf(value), "");
  value.SetType(HOST_TYPE_ASTRING);
  value.Ops().SetFromNarrowZ(value.pHolder(), "123000");
  EXPECT_TRUE(c->bTypesCompatible(holder, &value, COLUMN_TYPE_DATETIME, COLUMN_TYPE_TIME, 1));
  EXPECT_EQ(value.nGetType(), HOST_TYPE_ATIME);
  EXPECT_EQ(NarrowOf(value), "123000000");
  value.SetType(HOST_TYPE_ASTRING);
  value.Ops().SetFromNarrowZ(value.pHolder(), "20240315");
  EXPECT_TRUE(c->bTypesCompatible(holder, &value, COLUMN_TYPE_DATE, 0, 1));
  EXPECT_EQ(value.nGetType(), HOST_TYPE_ADATE);
  EXPECT_FALSE(HasError());
  value.SetType(HOST_TYPE_ASTRING);
  value.Ops().SetFromNarrowZ(value.pHolder(), "no date");
  EXPECT_FALSE(c->bTypesCompatible(holder, &value, COLUMN_TYPE_DATE, 0, 1));
  EXPECT_TRUE(doubles::HasIdentification(holder, 1, 15));
  ClearError();
  value.SetType(HOST_TYPE_ASTRING);
  value.Ops().SetFromNarrowZ(value.pHolder(), "9x");
  EXPECT_FALSE(c->bTypesCompatible(holder, &value, COLUMN_TYPE_DATETIME, COLUMN_TYPE_TIME, 1));
  EXPECT_TRUE(doubles::HasIdentification(holder, 1, 14));
}

TEST_F(DialectTest, DefaultValuesFromSqlLiterals) {
  const struct {
    const char16_t* literal;
    bool emptyIsNull;
    bool backslashes;
    ESqlLiteralText kind;
    const char16_t* text;
  } cases[] = {
      {nullptr, false, true, ESqlLiteralText::kNull, u""},
      {u"null", false, true, ESqlLiteralText::kNull, u""},
      {u"NuLL", true, false, ESqlLiteralText::kNull, u""},
      {u"", true, false, ESqlLiteralText::kNull, u""},
      {u"", false, true, ESqlLiteralText::kEmpty, u""},
      {u"'it''s'", false, true, ESqlLiteralText::kText, u"it's"},
      {u"'a\\\\b\\'c'", false, true, ESqlLiteralText::kText, u"a\\b'c"},
      // Oracle has no backslash escapes: only the doubled quote is undone.
      {u"'a\\\\b'", true, false, ESqlLiteralText::kText, u"a\\\\b"},
      {u"'it\\''s'", true, false, ESqlLiteralText::kText, u"it\\'s"},
      {u"'NULL'", false, true, ESqlLiteralText::kText, u"NULL"},
      {u"'", false, true, ESqlLiteralText::kText, u"'"},
      {u"42", false, true, ESqlLiteralText::kText, u"42"},
  };
  for (const auto& k : cases) {
    CTString out;
    EXPECT_EQ(ReadSqlLiteralText(k.literal, k.emptyIsNull, k.backslashes, out), k.kind);
    if (k.kind == ESqlLiteralText::kText) {
      EXPECT_EQ(std::u16string(out.pszGet()), k.text);
    }
  }

  // Through the column's field value.
  TestColumn text(COLUMN_TYPE_WTEXT, 20);
  TestColumn number(COLUMN_TYPE_INT32, 4);
  CHostValue value;
  ASSERT_TRUE(Dialect(1)->bParseSqlLiteral(&value, u"'l''\u00e9t\u00e9'", *text.operator->(), holder));
  EXPECT_FALSE(value.bIsNull());
  EXPECT_EQ(WideOf(value), u"l'\u00e9t\u00e9");
  // An integer column stores a fraction rounded half away from zero.
  for (const auto& [literal, stored] : {std::pair{u"42", 42}, {u"2.5", 3}, {u"-2.5", -3}, {u"-2.49", -2},
                                        {u"9.5", 10}, {u".5", 1}, {u"'2.5'", 3}}) {
    ASSERT_TRUE(Dialect(1)->bParseSqlLiteral(&value, literal, *number.operator->(), holder));
    EXPECT_EQ(value.nGetType(), HOST_TYPE_INT32);
    std::int32_t read = 0;
    value.nGet(&read);
    EXPECT_EQ(read, stored) << std::u16string(literal).size();
  }
  ASSERT_TRUE(Dialect(1)->bParseSqlLiteral(&value, u"", *text.operator->(), holder));
  EXPECT_TRUE(value.bIsNull());
  ASSERT_TRUE(Dialect(2)->bParseSqlLiteral(&value, u"", *text.operator->(), holder));
  EXPECT_FALSE(value.bIsNull());
  EXPECT_EQ(value.nGetType(), HOST_TYPE_WSTRING);
}

TEST_F(DialectTest, QualifiedNamesSplit) {
  const struct {
    const char16_t *name, *first, *second, *third;
  } cases[] = {
      {u"T ", u"", u"", u"T"},
      {u"S .T", u"", u"S", u"T"},
      {u"A.B.C.D ", u"A", u"B", u"C.D"},
      {u"A..C", u"A", u"", u"C"},
      {u"S.\"T.X\"", u"", u"S", u"\"T.X\""},
      {u"", u"", u"", u""},
  };
  DialectConnection* c = Dialect(1);
  for (const auto& k : cases) {
    CTString first(u"x"), second(u"y"), third(u"z");
    c->nSplitQualifiedName(first, second, third, k.name);
    EXPECT_EQ(std::u16string(first.pszGet()), k.first);
    EXPECT_EQ(std::u16string(second.pszGet()), k.second);
    EXPECT_EQ(std::u16string(third.pszGet()), k.third);
  }
}

}  // namespace
