// What the server describes of a table, handed to the Oracle record description: column names, types, sizes,
// precision and scale. A table is made on a session of the OCI stand-in from the input, which then describes it as
// the server would (its sizes cut to 16 bits, its precision and scale as declared), and the driver loads its
// description by name.
//
// The first byte is the count of columns (1 to 8); each column takes four bytes (its type, a size or precision in
// two bytes, a scale) and a name of 1 to 30 characters that ends at the next zero byte; a type byte's high bits say
// whether the type is given a size and a scale.
//
// Properties: nothing is read or written outside its buffers; a table the stand-in made is described whole, one
// item per column, in the table's order and under its names, each item of a known column type with storage.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/record/column_descriptor.h"
#include "fuzz/oracle_session.h"
#include "oracle/oracle_record_description.h"

namespace {

// The types the server describes, as a table's columns declare them.
const char16_t* const kTypes[] = {u"VARCHAR2", u"NVARCHAR2", u"CHAR", u"NCHAR", u"NUMBER", u"FLOAT", u"RAW",
                                  u"DATE", u"TIMESTAMP", u"TIMESTAMP WITH TIME ZONE", u"INTERVAL YEAR TO MONTH",
                                  u"INTERVAL DAY TO SECOND", u"LONG", u"LONG RAW", u"CLOB", u"NCLOB", u"BLOB",
                                  u"BFILE", u"INTEGER", u"ROWID", u"DECIMAL"};

// A name's character from an input byte: letters, digits and the underscore, so that a name needs no quoting rule.
char16_t NameCharacter(std::uint8_t byte) {
  static const char kAllowed[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
  return static_cast<char16_t>(kAllowed[byte % (sizeof kAllowed - 1)]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t count = 1 + data[0] % 8;
  std::size_t at = 1;
  std::u16string sql = u"CREATE TABLE DF (";
  std::vector<std::u16string> names;
  for (std::size_t i = 0; i < count; ++i) {
    if (at + 4 > size) return 0;
    const std::uint8_t type = data[at];
    const unsigned digits = data[at + 1] | data[at + 2] << 8;
    const unsigned scale = data[at + 3];
    at += 4;
    std::u16string name;
    for (; at < size && data[at] != 0 && name.size() < 30; ++at) name += NameCharacter(data[at]);
    if (at < size && data[at] == 0) ++at;
    if (name.empty()) return 0;
    names.push_back(name);
    sql += (i ? u", \"" : u"\"") + name + u"\" " + kTypes[(type & 0x3F) % std::size(kTypes)];
    if (type & 0x40) {
      const std::string number = std::to_string(digits) + ((type & 0x80) ? "," + std::to_string(scale) : "");
      sql += u"(" + std::u16string(number.begin(), number.end()) + u")";
    }
  }
  sql += u")";

  SOracleSession& s = OracleSession();
  if (s.connection->bExecuteSql(s.holder, sql.c_str()) == 1) {
    auto* description = new COracleRecordDescription(s.connection, s.holder);
    description->AddRef();
    if (description->bLoadByName(u"DF", u"DF", 0) == 1) {
      Check(description->nGetItemCount() == count);
      for (std::uint32_t i = 0; i < count; ++i) {
        CColumnDescriptor* item = description->pGetItemAt(i);
        Check(item != nullptr && std::u16string(item->pszGetName()) == names[i]);
        Check(item->nGetType() != 0 && item->nGetTotalSize() > 0);
      }
    }
    description->nRelease();
    Check(s.connection->bExecuteSql(s.holder, u"DROP TABLE DF") == 1);
  }
  s.holder->Clear();
  return 0;
}
