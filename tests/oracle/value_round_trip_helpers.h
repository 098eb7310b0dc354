// Values of every Oracle type written through a bound parameter and read back through a defined column, on a
// connection of the OCI stand-in opened with the given options (UTF-16 or ANSI session, OCI or OCI7 set): the table
// of cases and the fixture each session's program runs it in.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "oracle/client/client_loader.h"
#include "oracle_statement_helpers.h"
#include "session_driver_helpers.h"
#include "tests/host/host_value_fixture.h"

namespace ocitest {

// One Oracle type: its DDL, the column the runtime reads it into (type, element size) as Oracle describes it (its
// column type and SQLT code), the host type the value is bound with, the value as text and as it reads back.
struct RoundTripCase {
  const char16_t* ddl;
  std::uint32_t columnType;
  std::uint32_t size;
  std::uint32_t describedSqlt;
  std::uint8_t hostType;
  std::u16string written;
  std::u16string read;
  std::u16string oci7Read = read;
  std::uint32_t precision = 0;
  std::uint32_t scale = 0;
};

// The OCI7 set has no Unicode columns (a client older than 9 refuses them) and no intervals, and carries dates
// without fractions: its reading is the last text, empty where the type is not run.
inline const std::vector<RoundTripCase>& RoundTripCases() {
  static const std::vector<RoundTripCase> cases = {
      {u"VARCHAR2(20)", COLUMN_TYPE_TEXT, 21, 1, HOST_TYPE_TEXT_BUFFER, u"plain text", u"plain text"},
      {u"NVARCHAR2(20)", COLUMN_TYPE_WTEXT, 42, 1, HOST_TYPE_WSTRING, u"wide \u00e9t\u00e9", u"wide \u00e9t\u00e9",
       u""},
      {u"NVARCHAR2(20)", COLUMN_TYPE_WTEXT, 42, 1, HOST_TYPE_TEXT_BUFFER, u"ansi text", u"ansi text", u""},
      {u"NUMBER(9)", COLUMN_TYPE_INT32, 4, 2, HOST_TYPE_INT32, u"-123456789", u"-123456789"},
      {u"NUMBER(19)", COLUMN_TYPE_INT64, 8, 2, HOST_TYPE_INT64, u"-9123456789012345678", u"-9123456789012345678"},
      {u"NUMBER(5)", COLUMN_TYPE_INT16, 2, 2, HOST_TYPE_INT16, u"-32768", u"-32768"},
      {u"NUMBER", COLUMN_TYPE_REAL8, 8, 2, HOST_TYPE_DOUBLE, u"2.5", u"2.5"},
      {u"NUMBER(12,4)", COLUMN_TYPE_DECIMAL, 16, 2, HOST_TYPE_PROXY_HANDLE, u"-12345678.1234", u"-12345678.1234"},
      {u"NUMBER(30,30)", COLUMN_TYPE_DECIMAL, 16, 2, HOST_TYPE_PROXY_HANDLE, u"0." + std::u16string(30, u'9'),
       u"0." + std::u16string(30, u'9'), u"0." + std::u16string(30, u'9'), 0, 30},
      {u"DATE", COLUMN_TYPE_DATETIME, 8, 12, HOST_TYPE_DATETIME, u"20240131123456000", u"20240131123456000"},
      {u"TIMESTAMP", COLUMN_TYPE_DATETIME, 8, 187, HOST_TYPE_DATETIME, u"20240131123456789", u"20240131123456789",
       u"20240131123456000"},
      {u"INTERVAL DAY TO SECOND", COLUMN_TYPE_VALUE8, 8, 190, HOST_TYPE_VALUE8, u"93603500", u"93603500", u""},
      {u"INTERVAL YEAR TO MONTH", COLUMN_TYPE_VALUE8, 8, 189, HOST_TYPE_VALUE8, u"34128000000", u"34128000000", u""},
      {u"RAW(8)", COLUMN_TYPE_BINARY, 8, 23, HOST_TYPE_BINARY_BUFFER, u"raw\x01\x02", u"raw\x01\x02"},
      // Refused reads ("<read failed: " and what the error must name): a text longer than its item, whatever the
      // set; a number beyond a 2- or 4-byte item, or negative for an unsigned one, not its low 16 bits nor the
      // client's refusal.
      {u"VARCHAR2(20)", COLUMN_TYPE_TEXT, 6, 1, HOST_TYPE_TEXT_BUFFER, u"abcdefghij", u"<read failed: |1406"},
      {u"NUMBER(9)", COLUMN_TYPE_INT16, 2, 2, HOST_TYPE_INT32, u"70000", u"<read failed: |IEQZORA=105.2"},
      {u"NUMBER(10)", COLUMN_TYPE_INT32, 4, 2, HOST_TYPE_INT64, u"5000000000", u"<read failed: |IEQZORA=105.2"},
      {u"NUMBER(5)", COLUMN_TYPE_UINT8, 1, 2, HOST_TYPE_INT32, u"-1", u"<read failed: |IEQZORA=105.2"},
      {u"NUMBER(5)", COLUMN_TYPE_UINT16, 2, 2, HOST_TYPE_INT32, u"-2", u"<read failed: |IEQZORA=105.2"},
      {u"NUMBER(10)", COLUMN_TYPE_UINT32, 4, 2, HOST_TYPE_INT64, u"-3", u"<read failed: |IEQZORA=105.2"},
      // Refused writes: a real no number holds.
      {u"NUMBER", COLUMN_TYPE_REAL8, 8, 2, HOST_TYPE_DOUBLE, u"inf", u"<insert failed: |IEQZORA=105.3"},
      {u"NUMBER", COLUMN_TYPE_REAL8, 8, 2, HOST_TYPE_DOUBLE, u"nan", u"<insert failed: |IEQZORA=105.3"},
  };
  return cases;
}

// The smallest 38-digit decimal, read into a field of the 16 bytes the column-type table gives 38 digits.
inline const RoundTripCase& ThirtyEightDigitCase() {
  static const RoundTripCase c{u"NUMBER(38)", COLUMN_TYPE_DECIMAL, 16, 2, HOST_TYPE_PROXY_HANDLE,
                               u"-99999999999999999999999999999999999999", u"-99999999999999999999999999999999999999",
                               u"-99999999999999999999999999999999999999", 38};
  return c;
}

class OracleRoundTrip : public CHostValueFixture {
 protected:
  OracleRoundTrip(const char* dataSource, const char16_t* options) : m_dataSource(dataSource), m_options(options) {}
  static void SetUpTestSuite() { doubles::EnsureLibrary(); }

  void SetUp() override {
    CHostValueFixture::SetUp();
    driver = piQueryInterface();
    savedDriver = gpDriver;
    holder = CallSlot<CErrorHolder*>(driver, kDriverHolder);
    static int counter = 0;
    const std::string dataSource = m_dataSource + "_" + std::to_string(++counter);
    dataSourceName.assign(dataSource.begin(), dataSource.end());
    ASSERT_TRUE(LoadClientThenMakeDataSource(driver, holder, dataSource, m_options)) << Dump(*holder);
    description = Description(u"trip", dataSourceName, u"manager", m_options);
    ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, description.get()), 1) << Dump(*holder);
    connection = ConnectionOf(driver, *description);
    otherDescription = Description(u"trip2", dataSourceName, u"manager", m_options);
    ASSERT_EQ(CallSlot<int>(driver, kDriverOpen, otherDescription.get()), 1) << Dump(*holder);
    other = ConnectionOf(driver, *otherDescription);
    gpDriver = &testDriver;
  }
  void TearDown() override {
    gpDriver = savedDriver;
    if (other) CallSlot<int>(driver, kDriverClose, otherDescription.get());
    if (connection) CallSlot<int>(driver, kDriverClose, description.get());
    CallSlot<std::int32_t>(driver, kDriverRelease);
    CHostValueFixture::TearDown();
  }

  // A host value of the type holding the text (NULL for a null text).
  static void MakeValue(CHostValue& value, std::uint8_t type, const std::u16string* text) {
    if (!text) {
      value.SetType(type);
      value.SetNull(true);
      return;
    }
    if (type == HOST_TYPE_DOUBLE || type == HOST_TYPE_FLOAT) {  // infinities and NaN too, unlike the runtime
      const double number = std::strtod(std::string(text->begin(), text->end()).c_str(), nullptr);
      const float narrow = static_cast<float>(number);
      value.SetType(type), value.Set(type == HOST_TYPE_DOUBLE ? static_cast<const void*>(&number) : &narrow);
      return;
    }
    if (type == HOST_TYPE_BINARY_BUFFER) {
      std::string bytes(text->begin(), text->end());
      value.SetType(type);
      value.SetFromBuffer(bytes.data(), bytes.size());
      return;
    }
    value.SetType(HOST_TYPE_TEXT);
    value.SetFromBuffer(text->data(), text->size() * 2);
    EXPECT_EQ(value.nConvert(type), HOST_OK);
  }

  // Writes the value (null: NULL) into a new table of that type and reads it back: its text, "<NULL>", or what
  // failed. Through the writer and the reader when given, else the fixture's connection.
  std::u16string RoundTrip(const RoundTripCase& c, const std::u16string* value, COracleConnection* writer = nullptr,
                           COracleConnection* reader = nullptr) {
    if (!writer) writer = connection;
    const int number = m_tables++;
    const std::u16string table = u"RT" + std::u16string(1, char16_t(u'A' + number % 26)) +
                                 std::u16string(1, char16_t(u'A' + number / 26));
    if (!writer->bExecuteSql(holder, (u"CREATE TABLE " + table + u" (V " + c.ddl + u")").c_str())) {
      return u"<create failed>";
    }
    {
      auto insert = Hold(new OciTestStatement(writer, holder));
      auto field = Hold(new COracleFieldValue(holder, writer));
      CHostValue written;
      MakeValue(written, c.hostType, value);
      field->InitType(c.hostType, 0);
      auto parameter = Hold(new COracleParameter(new CValueLeaf(field.get(), 1, 0, u"V"), 1));
      // A duration goes to an INTERVAL column through the column's descriptors, as a table's column sends it.
      std::unique_ptr<OracleColumns> columns;
      if (c.columnType == COLUMN_TYPE_VALUE8) {
        columns.reset(new OracleColumns(writer, holder, {{u"V", c.columnType, c.size, c.columnType, c.describedSqlt}}));
        CColumn* column = columns->Column(u"V");
        field->SetDescriptors(column->pGetDescriptorNoRef(), column->pGetSecondaryDescriptor());
      }
      if (!field->bSetValue(written) || !insert->Prepare(u"INSERT INTO " + table + u" VALUES (:V)") ||
          !parameter->bBind(holder, insert->pGetOciStatement(), writer) || !insert->Execute(3)) {
        return u"<insert failed: " + Text(*holder) + u">";
      }
    }
    return ReadBack(c, table, reader ? reader : writer);
  }

  // The one value of the table read through the connection into a column of the case's type.
  std::u16string ReadBack(const RoundTripCase& c, const std::u16string& table, COracleConnection* reader) {
    OracleColumns columns(reader, holder, {{u"V", c.columnType, c.size, c.columnType, c.describedSqlt, c.precision, c.scale}});
    CColumn* column = columns.Column(u"V");
    auto select = Hold(new OciTestStatement(reader, holder));
    auto binding = Hold(new COracleParameterBinding(new CSqlElement(column), 1));
    CHostValue read;
    if (!columns.bBuilt() || !select->Prepare(u"SELECT V FROM " + table) || !binding->bPrepare(select.get()) ||
        !select->Execute(1) || !select->Fetch() ||
        !binding->bTransferValue(columns.Description()->pGetCurrentBuffer()) || !column->bGetValue(read, 0)) {
      return u"<read failed: " + Text(*holder) + u">";
    }
    if (read.bIsNull()) return u"<NULL>";
    if (read.nGetType() == HOST_TYPE_BINARY_BUFFER) {
      const void* data = nullptr;
      std::size_t size = 0;
      read.nGetDataPointer(&data);
      read.nGetDataSize(&size);
      const std::string bytes(static_cast<const char*>(data), size);
      return std::u16string(bytes.begin(), bytes.end());
    }
    return read.nConvert(HOST_TYPE_TEXT) == HOST_OK ? WideOf(read) : u"<not text>";
  }

  void RunAll() {
    for (const RoundTripCase& c : RoundTripCases()) {
      SCOPED_TRACE(std::string(c.written.begin(), c.written.end()));
      const std::u16string& expected = gbOci7Mode ? c.oci7Read : c.read;
      if (expected.empty()) continue;
      const std::size_t bar = expected.find(u'|');
      // Read back by another session: what it reads is what was stored, not what the writer kept.
      const std::u16string read = RoundTrip(c, &c.written, connection, other);
      if (bar == std::u16string::npos) {
        EXPECT_EQ(read, expected);
      } else {
        EXPECT_EQ(read.substr(0, bar), expected.substr(0, bar));
        EXPECT_NE(read.find(expected.substr(bar + 1)), std::u16string::npos) << std::string(read.begin(), read.end());
      }
      EXPECT_EQ(RoundTrip(c, nullptr, connection, other), u"<NULL>");
      holder->Clear();
    }
  }

  // The 38-digit case: the client keeps every digit, so what comes back is the driver's doing.
  void RunThirtyEightDigits() {
    const RoundTripCase& c = ThirtyEightDigitCase();
    ASSERT_EQ(FetchText(connection, *holder, (u"SELECT " + c.written + u" FROM DUAL").c_str()), c.written);
    EXPECT_EQ(RoundTrip(c, &c.written), c.read);
  }

  void* driver = nullptr;
  CErrorHolder* holder = nullptr;
  std::u16string dataSourceName;
  std::unique_ptr<qzrt::ConnectionDescription> description;
  COracleConnection* connection = nullptr;
  std::unique_ptr<qzrt::ConnectionDescription> otherDescription;
  COracleConnection* other = nullptr;
  OracleObjectsDriver testDriver;
  CDriver* savedDriver = nullptr;

 private:
  std::string m_dataSource;
  std::u16string m_options;
  int m_tables = 0;
};

}  // namespace ocitest
