// What the condition tests share: a driver object making generic columns, a table keying its records by their
// values, the Oracle-like connection and rewriter the Oracle classes' conditions meet, the items of the table T, and
// a statement text read with a "?" where each of the rewriter's parameters stands.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/record/record_description.h"
#include "engine/table/table.h"
#include "engine/values/row_keys.h"
#include "sql/connection.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/doubles/table_doubles.h"

namespace conditions {

using ColumnMakingDriver = doubles::ColumnMakingDriver;
using RecordKeyedTable = doubles::ValueKeyedTable;

// NULL sorts last.
class OracleLikeConnection : public doubles::TestConnection {
 public:
  OracleLikeConnection() : TestConnection(u"oracle", nullptr) { m_nDbmsKind = DBMS_KIND_ORACLE; }
  int bNullsSortFirst() override { return 0; }
};

// Slots 12 and 16 as the Oracle rewriter answers them: dates compared as text, and its ESCAPE clause, whose bound
// types it notes.
class OracleLikeRewriter : public CSqlRewriter {
 public:
  using CSqlRewriter::CSqlRewriter;
  std::uint32_t nGetDateTimeOperandMode(std::uint32_t, std::uint32_t type, std::uint32_t,
                                        IHostExpressionNode*) override {
    return type == COLUMN_TYPE_DATE || type == COLUMN_TYPE_DATETIME ? std::uint32_t{COLUMN_TYPE_TEXT} : 0u;
  }
  void WriteDialectEscape(CValueLeaf*, std::uint32_t type) override {
    escapeTypes.push_back(type);
    nAppendText(u" ESCAPE '\\'");
  }
  std::vector<std::uint32_t> escapeTypes;
};

// An item of the table T as the builders set one, and a composite key over items; the description holds them.
inline CColumnDescriptor* pNewItem(const char16_t* name, std::uint32_t type, std::uint32_t size, std::uint16_t flags) {
  CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
  item->bSetAll(name, u"T", u"", 1, size, type, 0xFFFFFFFF, 0xFFFFFFFF, flags, 0, 0);
  return item;
}
inline CColumnDescriptor* AddItem(CRecordDescription* description, const char16_t* name, std::uint32_t type,
                                  std::uint32_t size, std::uint16_t flags = 0) {
  CColumnDescriptor* item = pNewItem(name, type, size, flags);
  EXPECT_TRUE(description->AddItem(item));
  return item;
}
inline CColumnDescriptor* AddCompositeKey(CRecordDescription* description, const char16_t* name,
                                          const std::vector<CColumnDescriptor*>& components, std::uint16_t flags) {
  CColumnDescriptor* key = pNewItem(name, COLUMN_TYPE_BINARY, 0, COLUMN_FLAG_COMPOSITE_KEY | flags);
  for (CColumnDescriptor* component : components) key->bAddComponent(component);
  EXPECT_TRUE(description->AddItem(key));
  return key;
}

// The statement text with "?" where each parameter stands.
inline std::u16string MarkedText(CSqlRewriter* rewriter) {
  const std::u16string statement = rewriter->GetStatementText().pszGet();
  std::u16string text;
  std::size_t from = 0;
  for (std::uint32_t i = 0; i < rewriter->nGetParameterCount(); ++i) {
    const std::size_t at = rewriter->pGetParameter(i)->nGetPosition();
    text.append(statement, from, at - from).push_back(u'?');
    from = at;
  }
  return text.append(statement, from);
}

}  // namespace conditions
