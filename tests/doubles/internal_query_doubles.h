// Doubles of what an internal query runs on: a hidden table whose "$QZInternal" context is a scripted cursor over the
// rows the driver was given (described by the record description the test chose), and a driver whose table factory
// makes it. The table records the texts it was asked to run and can fail them.
#pragma once

#include <string>
#include <vector>

#include "engine/record/record_factories.h"
#include "engine/record/table_description.h"
#include "engine/table/table.h"
#include "foundation/module_errors.h"
#include "sql/rewriter/sql_rewriter.h"
#include "tests/doubles/cursor_doubles.h"

namespace doubles {

struct InternalScript {
  std::vector<std::u16string> texts;
  bool failRuns = false;
  int tablesMade = 0;
};

class InternalTable : public CTable {
 public:
  InternalTable(IHostFileDescription* description, CConnection* connection, CErrorHolder* holder,
                InternalScript& script)
      : CTable(description, connection, holder), m_script(script) {
    ++m_script.tablesMade;
  }
  // Runs the text as a SELECT on the context; the context is handed out only when the server has rows.
  CCursor* pRunInternalQuery(RuntimeWord, const char16_t* text) override {
    m_script.texts.emplace_back(text);
    if (m_script.failRuns) {
      RaiseNotAvailable(pGetErrorHolder(), ERROR_UNIT_TABLE, 98, nullptr, u"run");
      return nullptr;
    }
    if (!bEnsureTableDescription()) return nullptr;
    auto* context = static_cast<ScriptedCursor*>(pSelectContext(u"$QZInternal", READ_FIRST, 0));
    CSqlRewriter* statement = context ? pNewSqlStatement() : nullptr;
    if (!statement) return nullptr;
    statement->AddRef();
    statement->nAppendText(text);
    statement->SetStatementKind(1);
    const int opened = context->bSetStatement(statement) && context->bOpen(0, 0);
    statement->nRelease();
    if (!opened || context->rows.empty()) return nullptr;
    context->AddRef();
    return context;
  }
  // What the reads ask of their table: the record made the last-read image, and no row beyond the server's.
  int bResetRecordBuffer(std::uint32_t) override { return pGetTableDescription()->bAcceptCurrent(); }
  void CopyImageToCurrent() override { pGetTableDescription()->bRestoreCurrent(); }
  int bPositionKeepingBuffer(CCursor*, std::uint32_t, std::uint32_t, std::uint32_t) override { return 1; }

 private:
  InternalScript& m_script;
};

// Rows with NULLs: a key of 0 reads as every column NULL, a negative key -k as K = k and the other columns NULL.
class NullableCursor : public ScriptedCursor {
 public:
  using ScriptedCursor::ScriptedCursor;
  int bFetch(std::uint32_t direction, std::uint32_t loadRecord, std::uint32_t* outOfRange, std::uint32_t count,
             void* context) override {
    const int answer = ScriptedCursor::bFetch(direction, loadRecord, outOfRange, count, context);
    if (!answer || *outOfRange) return answer;
    const std::int32_t key = rows[static_cast<std::size_t>(position)];
    if (key > 0) return answer;
    if (key < 0) SetInt(u"K", -key);
    CTableDescription* columns = pGetColumnSet();
    for (std::uint32_t i = key < 0 ? 1 : 0; i < columns->nGetColumnCount(); ++i) {
      CHostValue null;
      null.SetType(HOST_TYPE_INT32);
      null.SetNull(true);
      columns->pGetColumn(i)->bSetValue(null, 0);
    }
    return answer;
  }
};

class InternalQueryDriver : public CursorDriver {
 public:
  void* pCreateCursor(RuntimeWord table, RuntimeWord holder) override {
    auto* cursor = new NullableCursor(reinterpret_cast<CTable*>(table), reinterpret_cast<CErrorHolder*>(holder));
    cursor->rows = rows;
    cursor->failAtFetch = failAtFetch;
    return cursor;
  }
  CTable* pCreateTable(IHostFileDescription*, CConnection* connection, CErrorHolder* holder) override {
    return new InternalTable(resultDescription, connection, holder, script);
  }
  IHostFileDescription* resultDescription = nullptr;
  InternalScript script;
  int failAtFetch = 0;
};

}  // namespace doubles
