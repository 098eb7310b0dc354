// Doubles for tests that build table descriptions over generic columns: a driver object whose column factory makes
// the record engine's own columns, and a table whose records are keyed by their values, as the table engine keys
// them, read without a runtime query.
#pragma once

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/table/table.h"
#include "engine/values/row_keys.h"
#include "tests/doubles/driver_doubles.h"

namespace doubles {

class ColumnMakingDriver : public TestDriver {
 public:
  void* pCreateColumnBinding(RuntimeWord holder, RuntimeWord descriptor) override {
    return new CColumn(reinterpret_cast<CErrorHolder*>(holder), reinterpret_cast<CColumnDescriptor*>(descriptor));
  }
};

class ValueKeyedTable : public CTable {
 public:
  ValueKeyedTable(CConnection* connection, CErrorHolder* holder) : CTable(nullptr, connection, holder) {}
  CQueryDescription* pGetQueryDescription() override { return nullptr; }
  IRowKey* pNewRecordKey(CRecord* record) override {
    SRecordImage image;
    image.pBytes = record->pGetBuffer()->pGetBlock();
    image.nByteCount = record->pGetBuffer()->nGetTotalLength();
    return new CRecordValuesKey(image);
  }
};

}  // namespace doubles
