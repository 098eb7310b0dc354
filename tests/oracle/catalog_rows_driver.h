// A driver whose internal queries answer catalog rows of texts: each query's text is recorded, and the rows the test
// gave for the first text that begins with a given prefix come back, column by column, as text values (a null entry
// is NULL). Queries the test gave no rows for find none. Descriptors and tables are the engine's own.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record_description.h"
#include "engine/record/record_factories.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "oracle/oracle_record_description.h"
#include "tests/doubles/internal_query_doubles.h"

namespace ocitest {

using CatalogRow = std::vector<std::optional<std::u16string>>;

class CatalogRowsCursor : public doubles::ScriptedCursor {
 public:
  using ScriptedCursor::ScriptedCursor;
  int bFetch(std::uint32_t direction, std::uint32_t loadRecord, std::uint32_t* outOfRange, std::uint32_t count,
             void* context) override {
    const int answer = ScriptedCursor::bFetch(direction, loadRecord, outOfRange, count, context);
    if (!answer || *outOfRange) return answer;
    const CatalogRow& row = textRows[static_cast<std::size_t>(position)];
    CTableDescription* columns = pGetColumnSet();
    for (std::uint32_t i = 0; i < columns->nGetColumnCount() && i < row.size(); ++i) {
      CHostValue value;
      value.SetType(HOST_TYPE_TEXT);
      if (row[i]) {
        value.Ops().SetFromWideZ(value.pHolder(), row[i]->c_str());
      } else {
        value.SetNull(true);
      }
      columns->pGetColumn(i)->bSetValue(value, 0);
    }
    return answer;
  }
  std::vector<CatalogRow> textRows;
};

class CatalogRowsDriver : public doubles::InternalQueryDriver {
 public:
  // The hidden table's columns: four UTF-16 texts (no code page between them and the test), enough for every
  // catalog query the description sends.
  void MakeResultDescription(CConnection* connection, CErrorHolder* holder) {
    auto* result = new CRecordDescription(connection, holder);
    result->AddRef();
    result->SetName(u"CATALOG");
    result->SetSqlTableName(u"CATALOG");
    for (const char16_t* name : {u"C1", u"C2", u"C3", u"C4"}) {
      CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
      item->bSetAll(name, u"CATALOG", u"", 1, 8002, COLUMN_TYPE_WTEXT, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
      result->AddItem(item);
    }
    result->LayoutItems();
    resultDescription = result;
  }
  void ReleaseResultDescription() {
    if (resultDescription) static_cast<CRecordDescription*>(resultDescription)->nRelease();
    resultDescription = nullptr;
  }
  // The cursor of the query just recorded, with the rows given for its text's prefix.
  void* pCreateCursor(RuntimeWord table, RuntimeWord holder) override {
    auto* cursor = new CatalogRowsCursor(reinterpret_cast<CTable*>(table), reinterpret_cast<CErrorHolder*>(holder));
    const std::u16string text = script.texts.empty() ? u"" : script.texts.back();
    for (const auto& [prefix, rows] : answers) {
      if (text.rfind(prefix, 0) != 0) continue;
      cursor->textRows = rows;
      break;
    }
    for (std::size_t i = 0; i < cursor->textRows.size(); ++i) cursor->rows.push_back(static_cast<std::int32_t>(i + 1));
    return cursor;
  }
  // Descriptions are the Oracle ones, as the Oracle driver object makes them (copies come through here).
  CRecordDescription* pCreateDescription(CConnection* connection, CErrorHolder* holder) override {
    return new COracleRecordDescription(connection, holder);
  }
  std::map<std::u16string, std::vector<CatalogRow>> answers;
};

}  // namespace ocitest
