#include "tests/faults/fault_helpers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "driver/driver.h"
#include "host/export.h"
#include "host/library_entry.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_entries.h"
#include "platform/module.h"
#include "platform/utf8.h"
#include "tests/e2e/round_trip_script.h"
#include "tests/slot_call.h"

namespace faults {

namespace {

using qzrt::kReadFirst;
using qzrt::kReadLast;
using qzrt::kReadNext;
using qzrt::kReadPrevious;

constexpr int kOraFault = 3113;  // the ORA error an injected status carries
constexpr int kStatusError = -1;
constexpr int kStatusInvalidHandle = -2;

void* gpDriverObject = nullptr;

const std::string kUnreadable = "<the other connection cannot read the table> ";

// The entries whose failure carries no Oracle text: those called without an error handle, and those that read it.
const std::set<std::string> kWithoutOracleText = {"OCIInitialize",      "OCIHandleAlloc", "OCIHandleFree",
                                                  "OCIDescriptorAlloc", "OCIDescriptorFree", "OCIErrorGet", "oerhms"};

template <typename F>
F ClientEntry(const char* name) {
  return reinterpret_cast<F>(platform::FindModuleEntry(hGetOracleClientModule(), name));
}

Rows With(Rows rows, const std::string& row) {
  rows.push_back(row);
  std::sort(rows.begin(), rows.end(), [](const std::string& a, const std::string& b) {
    return std::atoi(a.c_str()) < std::atoi(b.c_str());
  });
  return rows;
}

Rows Without(Rows rows, const std::string& id) {
  rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const std::string& r) { return r.rfind(id + ":", 0) == 0; }),
             rows.end());
  return rows;
}

Rows Replaced(const Rows& rows, const std::string& id, const std::string& row) { return With(Without(rows, id), row); }

std::vector<Rows> Either(const Rows& a, const Rows& b) { return {a, b}; }

// An operation that reads: the records stay, and the record read must be the one asked for.
Operation Read(const char* name, std::uint32_t direction, std::uint32_t before, const char* id) {
  Operation op;
  op.name = name;
  op.prepare = [before](World& w) { return before == 0xFFFFFFFF || w.Table().Read(u"ID", before) == 1; };
  op.run = [direction](World& w) { return w.Table().Read(u"ID", direction); };
  op.rightResult = [id](World& w, std::string& why) {
    const qzrt::FieldText read = w.Table().Field(u"ID");
    why = "read ID " + read.value_or("<none>");
    return read == std::string(id);
  };
  return op;
}

// The runtime's write of the current record (an UPDATE of the record read), which releases its lock.
int Write(qzrt::OpenTable& table) {
  return CallSlot<std::int32_t>(table.AccessInterface(), 22, &table.Handle(), std::uintptr_t{0}, std::uint32_t{0},
                                std::uint32_t{0});
}

// A new record added with the fields, committed when it answers 1.
bool AddRecord(World& w, int id, bool memo = false) {
  const std::string text = std::to_string(id);
  if (!World::Fill(w.Table(), {{"ID", text}, {"NAME", "r" + text}, {"QTY", text}})) return false;
  if (memo) {
    auto value = e2e::Text(World::Memo());
    if (!w.Table().WriteLarge(0, value.get())) return false;
  }
  return w.Table().Add() == 1;
}

// Whether the client lacks an entry (the missing-entry runs): what needs it can be neither done again nor read back.
bool EntryHidden() { return std::getenv("QZOCI_HIDDEN_ENTRIES") != nullptr; }

// The table QZ_FX (described by the server, not by the runtime) opened through the connection.
bool OpenDescriptorTable(World& w, qzrt::ConnectionDescription& connection, std::unique_ptr<qzrt::OpenTable>& table) {
  void* described = w.Session().Describe(connection, u"QZ_FX");
  if (!described) return false;
  table = std::make_unique<qzrt::OpenTable>(w.Session().AccessInterface(connection, described), 1, 30);
  CallSlot<std::uint32_t>(described, 6);
  return table->Open() == 1;
}

std::vector<Operation> MakeOperations() {
  std::vector<Operation> ops;
  auto add = [&ops](Operation op) { ops.push_back(std::move(op)); };
  {
    // A connection of its own, which no table holds: its open begins a session and its close ends it.
    Operation op;
    op.name = "open connection";
    op.run = [](World& w) { return w.Session().Connect(w.Third()); };
    op.after = [](World& w, int answer) {
      if (!answer) {
        EXPECT_EQ(w.Session().Connect(w.Third()), 1) << "opened again: " << w.Session().Error().message;
      }
      w.Session().Disconnect(w.Third());
    };
    op.driverHolder = true;
    add(op);
  }
  {
    Operation op;
    op.name = "close connection";
    op.prepare = [](World& w) { return w.Session().Connect(w.Third()) == 1; };
    op.run = [](World& w) { return w.Session().Disconnect(w.Third()); };
    op.after = [](World& w, int) {
      EXPECT_EQ(w.Session().Connect(w.Third()), 1) << "opened again: " << w.Session().Error().message;
      w.Session().Disconnect(w.Third());
    };
    op.driverHolder = true;
    add(op);
  }
  {
    Operation op;
    op.name = "open table";
    op.prepare = [](World& w) { return w.Table().Close() == 1; };
    op.run = [](World& w) { return w.Table().Open(); };
    op.after = [](World& w, int answer) {
      if (!answer) w.Table().Open();
    };
    add(op);
  }
  {
    Operation op;
    op.name = "close table";
    op.run = [](World& w) { return w.Table().Close(); };
    op.after = [](World& w, int) { w.Table().Open(); };
    add(op);
  }
  for (const bool named : {false, true}) {
    // A named parameter of a text type is bound by pieces, sent at execution.
    Operation op;
    op.name = named ? "statement with a named text parameter" : "statement";
    op.run = [named](World& w) {
      qzrt::DeclaredParameters declared;
      // A narrow text: the OCI7 set binds no UTF-16.
      CHostValue name;
      name.SetType(HOST_TYPE_TEXT_BUFFER);
      name.SetFromBuffer("renamed", 7);
      declared.Declare(u"N", &name);
      qzrt::QueryAnalysis query;
      query.declaredParameters = named ? &declared : nullptr;
      return w.RunSql(named ? u"UPDATE QZ_F SET QTY = QTY + 1, NAME = :N WHERE ID = 2"
                            : u"UPDATE QZ_F SET QTY = QTY + 1 WHERE ID = 2",
                      &query)
                 ? 1
                 : 0;
    };
    op.onSuccess = [](const Rows& rows) { return Replaced(rows, "2", "2:3"); };
    op.driverHolder = true;
    op.onFailure = [](const Rows& rows) { return Either(rows, Replaced(rows, "2", "2:3")); };
    add(op);
  }
  add(Read("read first", kReadFirst, 0xFFFFFFFF, "1"));
  add(Read("read last", kReadLast, 0xFFFFFFFF, "3"));
  add(Read("read next", kReadNext, kReadFirst, "2"));
  add(Read("read previous", kReadPrevious, kReadLast, "2"));
  {
    Operation op;
    op.name = "seek";
    op.run = [](World& w) {
      auto two = e2e::Number(2);
      return w.Table().Seek(u"ID", two.get());
    };
    op.rightResult = [](World& w, std::string& why) {
      const qzrt::FieldText read = w.Table().Field(u"ID");
      why = "sought ID " + read.value_or("<none>");
      return read == std::string("2");
    };
    add(op);
  }
  {
    Operation op;
    op.name = "add";
    op.run = [](World& w) { return AddRecord(w, 10) ? 1 : 0; };
    op.onSuccess = [](const Rows& rows) { return With(rows, "10:10"); };
    op.onFailure = [](const Rows& rows) { return Either(rows, With(rows, "10:10")); };
    add(op);
  }
  {
    Operation op;
    op.name = "add a duplicate key";
    op.run = [](World& w) {
      return World::Fill(w.Table(), {{"ID", "2"}, {"NAME", "twin"}, {"QTY", "9"}}) ? w.Table().Add() : 0;
    };
    op.normal = 0;
    add(op);
  }
  {
    Operation op;
    op.name = "modify";
    op.prepare = [](World& w) { return w.Table().Read(u"ID", kReadFirst) == 1; };
    op.run = [](World& w) { return World::Fill(w.Table(), {{"QTY", "11"}}) ? Write(w.Table()) : 0; };
    op.onSuccess = [](const Rows& rows) { return Replaced(rows, "1", "1:11"); };
    op.onFailure = [](const Rows& rows) { return Either(rows, Replaced(rows, "1", "1:11")); };
    add(op);
  }
  {
    Operation op;
    op.name = "delete";
    op.prepare = [](World& w) { return w.Table().Read(u"ID", kReadFirst) == 1; };
    op.run = [](World& w) { return w.Table().Delete(0); };
    op.onSuccess = [](const Rows& rows) { return Without(rows, "1"); };
    op.onFailure = [](const Rows& rows) { return Either(rows, Without(rows, "1")); };
    add(op);
  }
  {
    Operation op;
    op.name = "write large value";
    op.run = [](World& w) { return AddRecord(w, 11, true) ? 1 : 0; };
    op.onSuccess = [](const Rows& rows) { return With(rows, "11:11"); };
    op.onFailure = [](const Rows& rows) { return Either(rows, With(rows, "11:11")); };
    add(op);
  }
  {
    Operation op;
    op.name = "read large value";
    op.prepare = [](World& w) { return w.Table().Read(u"ID", kReadFirst) == 1; };
    auto memo = std::make_shared<std::unique_ptr<CHostValue>>();
    op.run = [memo](World& w) {
      *memo = std::make_unique<CHostValue>();
      return w.Table().ReadLarge(0, memo->get());
    };
    op.rightResult = [memo](World&, std::string& why) {
      const std::u16string text = e2e::TextOf(**memo);
      why = "memo of " + std::to_string(text.size()) + " characters read";
      return text == World::Memo();
    };
    op.after = [memo](World&, int) { memo->reset(); };
    add(op);
  }
  auto readTable = std::make_shared<std::unique_ptr<qzrt::OpenTable>>();
  {
    // A table of the types read through descriptors: a TIMESTAMP, both INTERVAL kinds (read, then written) and a
    // BFILE, its file read whole. The OCI7 set has no interval descriptors: its table has no intervals.
    Operation op;
    op.name = "read a timestamp an interval and a file";
    auto table = readTable;
    auto file = std::make_shared<std::unique_ptr<CHostValue>>();
    op.prepare = [table](World& w) {
      table->reset();
      w.RunSql(u"DROP TABLE QZ_FX");
      char root[512] = {};
      ClientEntry<unsigned (*)(const char*, char*, unsigned)>("qzociDataSourceFolder")(w.DataSource(), root, 512);
      const std::filesystem::path folder = std::filesystem::path(root) / "QZDIR";
      std::filesystem::create_directories(folder);
      std::ofstream(folder / "f.txt") << "in the file";
      void* described = nullptr;
      const std::u16string intervals = gbOci7Mode ? u"" : u", IV INTERVAL DAY TO SECOND, IY INTERVAL YEAR TO MONTH";
      const std::u16string values = gbOci7Mode ? u"" : u", '+01 02:00:03.500000000', '+01-01'";
      if (!w.RunSql((u"CREATE TABLE QZ_FX (ID NUMBER(10), TS TIMESTAMP(3), BF BFILE" + intervals + u")").c_str()) ||
          !w.RunSql((u"INSERT INTO QZ_FX VALUES (1, TO_TIMESTAMP('2024-01-31 10:20:30', 'YYYY-MM-DD HH24:MI:SS'), "
                     u"BFILENAME('QZDIR', 'f.txt')" + values + u")").c_str()) ||
          !(described = w.Session().Describe(w.Main(), u"QZ_FX"))) {
        return false;
      }
      *table = std::make_unique<qzrt::OpenTable>(w.Session().AccessInterface(w.Main(), described), 1, 30);
      CallSlot<std::uint32_t>(described, 6);
      return (*table)->Open() == 1;
    };
    op.run = [table, file](World&) {
      *file = std::make_unique<CHostValue>();
      qzrt::OpenTable& t = **table;
      // Each step only after the last succeeded: the next would clear the error the last one left.
      if (t.Read(u"ID", kReadFirst) != 1 || t.ReadLarge(0, file->get()) != 1) return 0;
      if (gbOci7Mode) return 1;
      if (t.Modify(0) != 1 || !t.SetField(u"IV", "-93603500") || !t.SetField(u"IY", "31536000000")) return 0;
      return t.Write(0);
    };
    op.rightResult = [table, file](World&, std::string& why) {
      // The OCI7 set reads no LOB: a BFILE comes as the name of its file.
      why = "file " + platform::ToUtf8(e2e::TextOf(**file)) + ", intervals as written";
      if (e2e::TextOf(**file) != (gbOci7Mode ? u"QZDIR/f.txt" : u"in the file")) return false;
      qzrt::OpenTable& t = **table;
      return gbOci7Mode || (t.Read(u"ID", kReadFirst) == 1 && t.Field(u"IV") == "-93603500" &&
                            t.Field(u"IY") == "31536000000");
    };
    // The access interface goes with the case: kept, it would outlive the driver's connections.
    op.after = [table, file](World&, int) {
      (*table)->Close();
      table->reset();
      file->reset();
    };
    op.error = [table](World&) { return (*table)->Error(); };
    add(op);
  }
  {
    // A date-time written into the TIMESTAMP column: the other connection reads the row added, and after a failure
    // the same table adds it.
    Operation op;
    op.name = "write a timestamp";
    // The table the read above makes and opens: the two never run at once.
    auto table = readTable;
    static const char* const kMoment = "2024-02-29T23:59:58.000";
    op.prepare = ops.back().prepare;
    op.run = [table](World&) {
      return World::Fill(**table, {{"ID", "2"}, {"TS", kMoment}}) ? (*table)->Add() : 0;
    };
    op.rightResult = [](World& w, std::string& why) {
      std::unique_ptr<qzrt::OpenTable> other;
      const bool read = OpenDescriptorTable(w, w.Other(), other) && other->Read(u"ID", kReadLast) == 1;
      why = "the other connection read TS " + (read ? other->Field(u"TS").value_or("NULL") : "<nothing>");
      const bool right = read && other->Field(u"ID") == std::string("2") && other->Field(u"TS") == std::string(kMoment);
      if (other) other->Close();
      return right || (!read && EntryHidden());
    };
    op.after = [table](World&, int answer) {
      if (!answer && !EntryHidden()) {
        EXPECT_EQ(World::Fill(**table, {{"ID", "2"}, {"TS", kMoment}}) ? (*table)->Add() : 0, 1)
            << "added again: " << (*table)->Error().message;
      }
      (*table)->Close();
      table->reset();
    };
    op.error = [table](World&) { return (*table)->Error(); };
    add(op);
  }
  {
    Operation op;
    op.name = "describe";
    auto columns = std::make_shared<std::string>();
    op.run = [columns](World& w) {
      auto* described = static_cast<CRecordDescription*>(w.Session().Describe(w.Main(), u"QZ_F"));
      columns->clear();
      for (std::uint32_t i = 0; described && i < described->nGetItemCount(); ++i) {
        CColumnDescriptor* item = described->pGetItemAt(i);
        *columns += platform::ToUtf8(item->pszGetName()) + ":" + std::to_string(item->nGetType()) + " ";
      }
      if (described) CallSlot<std::uint32_t>(described, 6);
      return described ? 1 : 0;
    };
    op.rightResult = [columns](World&, std::string& why) {
      why = "described " + *columns;
      return *columns == "ID:19 NAME:2 QTY:19 NOTES:15 ";
    };
    op.driverHolder = true;
    add(op);
  }
  {
    Operation op;
    op.name = "catalog";
    auto catalog = std::make_shared<std::unique_ptr<CHostValue>>();
    // A listing that failed answers 1 with a NULL value, the error in the holder.
    op.run = [catalog](World& w) {
      *catalog = std::make_unique<CHostValue>();
      return w.Session().ListCatalog(w.Main(), catalog->get(), 4 | 16) == 1 && !(*catalog)->bIsNull() ? 1 : 0;
    };
    op.rightResult = [catalog](World&, std::string& why) {
      const std::u16string text = e2e::TextOf(**catalog);
      why = "catalog " + platform::ToUtf8(text);
      return text.find(u"QZ_F") != std::u16string::npos;
    };
    op.after = [catalog](World&, int) { catalog->reset(); };
    op.driverHolder = true;
    add(op);
  }
  {
    // Whatever the begin answered, the record added after it is kept once the program commits.
    Operation op;
    op.name = "begin";
    op.run = [](World& w) { return w.Session().Begin(w.Main()); };
    op.after = [](World& w, int answer) {
      AddRecord(w, 12);
      if (answer) w.Session().Commit(w.Main());
    };
    op.onSuccess = [](const Rows& rows) { return With(rows, "12:12"); };
    op.onFailure = [](const Rows& rows) { return std::vector<Rows>{With(rows, "12:12")}; };
    op.driverHolder = true;
    add(op);
  }
  {
    // A commit that failed is followed by the program's rollback: nothing is kept unless the server took the commit.
    Operation op;
    op.name = "commit";
    op.prepare = [](World& w) { return w.Session().Begin(w.Main()) == 1 && AddRecord(w, 13); };
    op.run = [](World& w) { return w.Session().Commit(w.Main()); };
    op.after = [](World& w, int answer) {
      if (!answer) w.Session().Rollback(w.Main());
    };
    op.onSuccess = [](const Rows& rows) { return With(rows, "13:13"); };
    op.onFailure = [](const Rows& rows) { return Either(rows, With(rows, "13:13")); };
    op.driverHolder = true;
    add(op);
  }
  {
    Operation op;
    op.name = "rollback";
    op.prepare = [](World& w) { return w.Session().Begin(w.Main()) == 1 && AddRecord(w, 14); };
    op.run = [](World& w) { return w.Session().Rollback(w.Main()); };
    op.after = [](World& w, int answer) {
      if (!answer) w.Session().Rollback(w.Main());
    };
    op.onFailure = [](const Rows& rows) { return std::vector<Rows>{rows}; };
    op.driverHolder = true;
    add(op);
  }
  for (const bool commit : {true, false}) {
    // A commit or rollback that failed at any call keeps nothing of its level, one answered as made has ended it:
    // a write outside any transaction after it is committed at once, and takes nothing of the level's with it.
    Operation op;
    op.name = commit ? "commit then a write outside" : "rollback then a write outside";
    op.prepare = [](World& w) { return w.Session().Begin(w.Main()) == 1 && AddRecord(w, 14); };
    op.run = [commit](World& w) { return commit ? w.Session().Commit(w.Main()) : w.Session().Rollback(w.Main()); };
    op.after = [](World& w, int answer) {
      if (!answer) w.Session().Rollback(w.Main());
      EXPECT_TRUE(w.Table().Read(u"ID", kReadFirst) == 1 && World::Fill(w.Table(), {{"QTY", "31"}}) &&
                  Write(w.Table()) == 1)
          << w.Table().Error().message;
    };
    op.onSuccess = [commit](const Rows& rows) {
      return commit ? With(Replaced(rows, "1", "1:31"), "14:14") : Replaced(rows, "1", "1:31");
    };
    op.onFailure = [](const Rows& rows) { return std::vector<Rows>{Replaced(rows, "1", "1:31")}; };
    op.driverHolder = true;
    op.everyCall = true;
    add(op);
  }
  {
    Operation op;
    op.name = "lock record";
    op.prepare = [](World& w) { return w.Table().Read(u"ID", kReadFirst) == 1; };
    op.run = [](World& w) { return w.Table().LockRecord(2); };
    op.rightResult = [](World& w, std::string& why) {
      qzrt::OpenTable& other = w.OtherTable();
      const int refused = other.Open() == 1 && other.Read(u"ID", kReadFirst, 2) == 0;
      why = refused ? "" : "the other connection locked the record too";
      other.Close();
      return refused;
    };
    op.after = [](World& w, int) { w.Table().LockRecord(0); };
    add(op);
  }
  {
    // An unlock that failed is followed by the table's close, which lets every lock go.
    Operation op;
    op.name = "unlock record";
    op.prepare = [](World& w) { return w.Table().Read(u"ID", kReadFirst) == 1 && w.Table().LockRecord(2) == 1; };
    op.run = [](World& w) { return w.Table().LockRecord(0); };
    op.after = [](World& w, int answer) {
      if (!answer && w.Table().Close()) w.Table().Open();
    };
    add(op);
  }
  {
    Operation op;
    op.name = "modify under a record lock";
    op.prepare = [](World& w) { return w.Table().Read(u"ID", kReadFirst, 2) == 1; };
    op.run = [](World& w) { return World::Fill(w.Table(), {{"QTY", "21"}}) ? Write(w.Table()) : 0; };
    op.after = [](World& w, int answer) {
      if (!answer && w.Table().Close()) w.Table().Open();
    };
    op.onSuccess = [](const Rows& rows) { return Replaced(rows, "1", "1:21"); };
    op.onFailure = [](const Rows& rows) { return Either(rows, Replaced(rows, "1", "1:21")); };
    add(op);
  }
  {
    // Whatever a write kept under its lock met, the lock's transaction leaves the session: a record added outside
    // any transaction after it is committed at once, and takes nothing of the lock's with it.
    Operation op;
    op.name = "modify keeping a record lock then add";
    op.prepare = [](World& w) { return w.Table().Read(u"ID", kReadFirst, 2) == 1; };
    op.run = [](World& w) { return World::Fill(w.Table(), {{"QTY", "21"}}) ? w.Table().Write(2) : 0; };
    op.after = [](World& w, int) {
      // A client without the detach keeps the lock's branch attached: the add is refused until the release.
      const char* hidden = std::getenv("QZOCI_HIDDEN_ENTRIES");
      const bool detaches = !(hidden && std::string(hidden).find("OCITransDetach") != std::string::npos);
      EXPECT_TRUE(AddRecord(w, 17) || !detaches) << w.Table().Error().message;
      if (w.Table().Close()) w.Table().Open();
      if (!detaches) AddRecord(w, 17);
    };
    op.onSuccess = [](const Rows& rows) { return With(Replaced(rows, "1", "1:21"), "17:17"); };
    op.onFailure = [](const Rows& rows) {
      return Either(With(rows, "17:17"), With(Replaced(rows, "1", "1:21"), "17:17"));
    };
    add(op);
  }
  {
    // Whatever the lock's transaction met, a write outside any transaction after it commits at once.
    Operation op;
    op.name = "lock a locked record again";
    op.prepare = [](World& w) { return w.Table().Read(u"ID", kReadFirst, 2) == 1; };
    op.run = [](World& w) { return w.Table().LockRecord(2); };
    op.after = [](World& w, int) {
      EXPECT_TRUE(w.RunSql(u"UPDATE QZ_F SET QTY = 32 WHERE ID = 3")) << w.Session().Error().message;
      // The OCI7 set has one transaction, which the lock keeps open, and a client without the detach keeps the
      // lock's branch attached: there the write goes with the lock's release.
      const char* hidden = std::getenv("QZOCI_HIDDEN_ENTRIES");
      if (!gbOci7Mode && !(hidden && std::string(hidden).find("OCITransDetach") != std::string::npos)) {
        EXPECT_THAT(w.Committed(), ::testing::Contains("3:32")) << "the write was not committed at once";
      }
      if (w.Table().Close()) w.Table().Open();
    };
    op.onSuccess = [](const Rows& rows) { return Replaced(rows, "3", "3:32"); };
    op.onFailure = [](const Rows& rows) { return std::vector<Rows>{Replaced(rows, "3", "3:32")}; };
    add(op);
  }
  {
    // Inside the program's transaction a write, and the add before it, stay the program's to roll back, whatever
    // the client failed at. The record is locked first, so that the write's own statement is all it runs.
    Operation op;
    op.name = "modify in a transaction";
    op.prepare = [](World& w) {
      return w.Session().Begin(w.Main()) == 1 && AddRecord(w, 15) && w.Table().Read(u"ID", kReadFirst) == 1 &&
             w.Table().LockRecord(2) == 1;
    };
    op.run = [](World& w) { return World::Fill(w.Table(), {{"QTY", "11"}}) ? Write(w.Table()) : 0; };
    op.after = [](World& w, int) { w.Session().Rollback(w.Main()); };
    add(op);
  }
  {
    // DDL inside a transaction runs apart from it, or not at all: the program's adds before and after it are rolled
    // back with the transaction. The OCI7 set has no transaction to run it apart from: there it runs outside one.
    Operation op;
    op.name = "create a table in a transaction";
    op.prepare = [](World& w) {
      w.RunSql(u"DROP TABLE QZ_FC");
      return gbOci7Mode || (w.Session().Begin(w.Main()) == 1 && AddRecord(w, 15));
    };
    op.run = [](World& w) { return w.RunSql(u"CREATE TABLE QZ_FC (ID NUMBER(10))") ? 1 : 0; };
    op.after = [](World& w, int) {
      if (gbOci7Mode) return;
      AddRecord(w, 16);
      w.Session().Rollback(w.Main());
    };
    op.driverHolder = true;
    add(op);
  }
  return ops;
}

}  // namespace

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::Status:
      return "error status";
    case Fault::InvalidHandle:
      return "OCI_INVALID_HANDLE";
    case Fault::Throw:
      return "exception";
    case Fault::Missing:
      return "entry missing";
  }
  return "";
}

std::vector<std::string> CalledEntries(bool oci7) {
  std::vector<std::string> names;
#define QZ_FAULT_CALLED(name, result, parameters)                                   \
  if ((OCI_SLOT_##name >= OCI7_SET_FIRST_SLOT) == oci7) names.push_back(#name);
#define QZ_FAULT_UNCALLED(name)
  QZ_OCI_ENTRIES(QZ_FAULT_CALLED, QZ_FAULT_UNCALLED)
#undef QZ_FAULT_CALLED
#undef QZ_FAULT_UNCALLED
  return names;
}

const std::vector<Operation>& Operations() {
  static const std::vector<Operation> ops = MakeOperations();
  return ops;
}

const Operation* FindOperation(const std::string& name) {
  for (const Operation& op : Operations()) {
    if (name == op.name) return &op;
  }
  return nullptr;
}

// ---- World ----------------------------------------------------------------------------------------------------------

World::World(const char* dataSource, const char16_t* options) {
  if (!gpDriverObject) {
    ::setenv("QZOCI_DATA_SOURCES", dataSource, 1);
    bInitLibrary(nullptr);
    gpDriverObject = piQueryInterface();
  }
  m_session = std::make_unique<qzrt::DriverSession>(gpDriverObject);
  m_dataSource = dataSource;
  const std::string& source = m_dataSource;
  auto connection = [&](const char16_t* name) {
    using D = qzrt::ConnectionDescription;
    auto description = std::make_unique<D>();
    description->SetText(D::kName, std::u16string(name));
    description->SetText(D::kDataSource, std::u16string(source.begin(), source.end()));
    description->SetText(D::kUserId, std::u16string(u"SYSTEM"));
    description->SetText(D::kPassword, std::u16string(u"manager"));
    description->SetText(D::kExtendedInformation, std::u16string(options));
    return description;
  };
  m_main = connection(u"main");
  m_other = connection(u"other");
  m_third = connection(u"third");
}

World::~World() { Teardown(true); }

const std::u16string& World::Memo() {
  static const std::u16string text = [] {
    std::u16string t;
    for (int i = 0; t.size() < 20000; ++i) t += static_cast<char16_t>(u'a' + i % 26);
    return t;
  }();
  return text;
}

bool World::Fill(qzrt::OpenTable& table, const qzrt::Fields& fields) {
  for (const auto& [name, value] : fields) {
    const std::u16string wide(name.begin(), name.end());
    if (!table.SetField(wide.c_str(), value)) return false;
  }
  return true;
}

bool World::Setup(std::string& why) {
  auto fail = [&why](const std::string& step, const qzrt::ErrorReport& error) {
    why = step + ": " + error.message;
    return false;
  };
  if (!m_table && !Connect(why)) {
    Teardown(true);
    return false;
  }
  // The table is made once per connection; a case after another leaves it in place and replaces its records.
  m_resetBySql = m_created;
  if (m_created) {
    if (m_table->Open() != 1) return fail("open", m_table->Error());
    if (!RunSql(u"DELETE FROM QZ_F")) return fail("delete", m_session->Error());
  } else {
    if (m_table->Create() != 1) return fail("create", m_table->Error());
    m_created = true;
  }
  for (int id : {1, 2, 3}) {
    if (!AddRecord(*this, id, id == 1)) return fail("add " + std::to_string(id), m_table->Error());
  }
  return true;
}

bool World::RunSql(const char16_t* text, qzrt::QueryAnalysis* analysis) {
  qzrt::FileHandle handle(1, 91);
  qzrt::QueryAnalysis plain;
  qzrt::QueryAnalysis& query = analysis ? *analysis : plain;
  query.SetText(qzrt::QueryAnalysis::kSqlText, std::u16string(text));
  int answer = 0;
  void* access = m_session->RunQuery(*m_main, handle, u"SQL", &query, 4, &answer);
  if (access) qzrt::OpenTable(access, 1, 91).Close();
  return answer == 1;
}

bool World::Connect(std::string& why) {
  auto fail = [&why](const std::string& step, const qzrt::ErrorReport& error) {
    why = step + ": " + error.message;
    return false;
  };
  if (m_session->Connect(*m_main) != 1) return fail("connect", m_session->Error());
  if (m_session->Connect(*m_other) != 1) return fail("connect the other", m_session->Error());
  CDriver* driver = static_cast<CDriver*>(gpDriverObject);
  CConnection* connection = driver->pFindConnection(reinterpret_cast<IHostConnectionDescription*>(m_main.get()));
  if (!connection) return fail("find the connection", m_session->Error());
  connection->nRelease();
  m_description = e2e::MakeDescription(gpDriverObject, connection, u"QZ_F",
                                       {{u"ID", 5, 4, COLUMN_FLAG_UNIQUE, false},
                                        {u"NAME", 2, 21, COLUMN_FLAG_DUPLICATES},
                                        {u"QTY", 5, 4},
                                        {u"NOTES", 15, 8}});
  void* access = m_session->AccessInterface(*m_main, m_description);
  // The other connection reads the records without their memo: it checks what was kept, not the large values.
  CConnection* other = driver->pFindConnection(reinterpret_cast<IHostConnectionDescription*>(m_other.get()));
  if (!other) return fail("find the other connection", m_session->Error());
  other->nRelease();
  m_otherDescription = e2e::MakeDescription(gpDriverObject, other, u"QZ_F",
                                            {{u"ID", 5, 4, COLUMN_FLAG_UNIQUE, false},
                                             {u"NAME", 2, 21, COLUMN_FLAG_DUPLICATES},
                                             {u"QTY", 5, 4}});
  void* otherAccess = m_session->AccessInterface(*m_other, m_otherDescription);
  if (!access || !otherAccess) return fail("access interfaces", m_session->Error());
  m_table = std::make_unique<qzrt::OpenTable>(access, 1, 10);
  m_otherTable = std::make_unique<qzrt::OpenTable>(otherAccess, 1, 20);
  return true;
}

void World::Teardown(bool disconnect) {
  if (m_table) m_table->Close();
  if (!disconnect) return;
  m_table.reset();
  m_otherTable.reset();
  m_created = false;
  for (CRecordDescription** description : {&m_description, &m_otherDescription}) {
    if (*description) (*description)->nReleaseExternal();
    *description = nullptr;
  }
  m_session->CloseRegistry(1);
  m_session->Disconnect(*m_main);
  m_session->Disconnect(*m_other);
}

Rows World::Committed() {
  Rows rows;
  qzrt::OpenTable& t = *m_otherTable;
  if (t.Open() != 1) return {kUnreadable + t.Error().message};
  const int first = t.Read(u"ID", kReadFirst, 0, 0x2000);
  if (!first) {
    const std::string why = t.Error().message;
    t.Close();
    return {kUnreadable + why};
  }
  // A read past the last record answers 1 and leaves the context out of range.
  const auto inRange = [&t] {
    std::uint32_t out = 1;
    CallSlot<std::int32_t>(t.AccessInterface(), 32, &t.Handle(), u"ID", reinterpret_cast<std::uintptr_t>(&out));
    return out == 0;
  };
  for (int answer = first; answer == 1 && inRange() && rows.size() < 50; answer = t.Read(u"ID", kReadNext)) {
    rows.push_back(t.Field(u"ID").value_or("?") + ":" + t.Field(u"QTY").value_or("null"));
  }
  t.Close();
  return rows;
}

void World::ResetClient() {
  if (auto reset = ClientEntry<void (*)()>("qzociReset")) reset();
}

void World::InjectStatus(const std::string& entry, unsigned nth, int status, int oraCode) {
  ClientEntry<void (*)(const char*, unsigned, int, int)>("qzociInjectStatus")(entry.c_str(), nth, status, oraCode);
}

void World::InjectThrow(const std::string& entry, unsigned nth) {
  ClientEntry<void (*)(const char*, unsigned)>("qzociInjectThrow")(entry.c_str(), nth);
}

std::vector<std::string> World::CallLog() { return e2e::ClientCallLog(); }

// ---- Discovery and cases --------------------------------------------------------------------------------------------

std::map<std::string, OperationCalls> Discover(World& world, const char* only) {
  std::map<std::string, OperationCalls> calls;
  for (const Operation& op : Operations()) {
    if (only && op.name != std::string(only)) continue;
    std::string why;
    if (!world.Setup(why) || (op.prepare && !op.prepare(world))) {
      ADD_FAILURE() << op.name << ": the world could not be made: " << why;
      world.Teardown(true);
      continue;
    }
    world.ResetClient();
    const int answer = op.run(world);
    EXPECT_EQ(answer, op.normal) << op.name << " with no fault";
    std::string what;
    EXPECT_TRUE(answer != 1 || !op.rightResult || op.rightResult(world, what)) << op.name << " with no fault: " << what;
    // QZ_FAULTS_LOG=<operation> shows the client calls the operation makes.
    const char* shown = std::getenv("QZ_FAULTS_LOG");
    std::string previous;
    for (const std::string& line : world.CallLog()) {
      EntryCalls& entry = calls[op.name][line.substr(0, line.find(' '))];
      const std::string call = previous + "\n" + line;
      if (entry.count++ == 0) entry.first = call;
      entry.last = call;
      previous = line;
      if (shown && op.name == std::string(shown)) std::printf("  %s\n", line.c_str());
    }
    if (op.after) op.after(world, answer);
    world.Teardown(false);
  }
  return calls;
}

std::vector<unsigned> CallsToFault(const EntryCalls& calls) {
  return calls.count > 1 && calls.first != calls.last ? std::vector<unsigned>{1, calls.count}
                                                      : std::vector<unsigned>{1};
}

unsigned RunFaults(World& world, const Operation& op, const OperationCalls& calls, const std::set<std::string>* only) {
  unsigned cases = 0;
  for (const auto& [entry, count] : calls) {
    if (only && !only->count(entry)) continue;
    std::vector<unsigned> nths = CallsToFault(count);
    if (op.everyCall) {
      nths.clear();
      for (unsigned nth = 1; nth <= count.count; ++nth) nths.push_back(nth);
    }
    for (Fault fault : {Fault::Status, Fault::InvalidHandle, Fault::Throw}) {
      for (unsigned nth : nths) {
        RunCase(world, op, fault, entry, nth);
        ++cases;
      }
    }
  }
  return cases;
}

bool WriteCalls(const std::string& path, const std::map<std::string, OperationCalls>& calls) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (!file) return false;
  for (const auto& [op, entries] : calls) {
    for (const auto& [entry, call] : entries) std::fprintf(file, "%s\t%s\t%u\n", op.c_str(), entry.c_str(), call.count);
  }
  return std::fclose(file) == 0;
}

std::map<std::string, OperationCalls> ReadCalls(const std::string& path) {
  std::map<std::string, OperationCalls> calls;
  FILE* file = std::fopen(path.c_str(), "r");
  if (!file) return calls;
  char line[512];
  while (std::fgets(line, sizeof line, file)) {
    const std::string text(line);
    const std::size_t tab = text.find('\t');
    const std::size_t tab2 = text.find('\t', tab + 1);
    if (tab2 == std::string::npos) continue;
    calls[text.substr(0, tab)][text.substr(tab + 1, tab2 - tab - 1)].count =
        static_cast<unsigned>(std::atoi(text.c_str() + tab2 + 1));
  }
  std::fclose(file);
  return calls;
}

void RunCase(World& world, const Operation& op, Fault fault, const std::string& entry, unsigned nth) {
  SCOPED_TRACE(std::string(op.name) + ", " + FaultName(fault) + " at call " + std::to_string(nth) + " of " + entry);
  // The connections stay open from case to case while every check holds; after a failure they are opened afresh.
  const auto teardown = [&world] { world.Teardown(::testing::Test::HasFailure()); };
  std::string why;
  if (!world.Setup(why)) {
    // With the entry missing, the connection may be what cannot be made: it says which entry it lacks.
    if (fault == Fault::Missing) {
      EXPECT_THAT(why, ::testing::HasSubstr(entry));
    } else {
      ADD_FAILURE() << "the world could not be made: " << why;
    }
    teardown();
    return;
  }
  if (op.prepare && !op.prepare(world)) {
    if (fault != Fault::Missing) ADD_FAILURE() << "could not be prepared";
    teardown();
    return;
  }
  // What Setup committed; no preparation commits anything.
  const Rows before = {"1:1", "2:2", "3:3"};
  // A client without an entry every read needs leaves nothing to check the records with: the operation's error is
  // all there is to see.
  bool readable = true;
  if (fault == Fault::Missing) {
    const Rows read = world.Committed();
    readable = read.empty() || read[0].rfind(kUnreadable, 0) != 0;
    if (!readable) {
      EXPECT_THAT(read[0], ::testing::HasSubstr(entry));
    }
  }
  world.ResetClient();
  if (fault == Fault::Status) world.InjectStatus(entry, nth, kStatusError, kOraFault);
  if (fault == Fault::InvalidHandle) world.InjectStatus(entry, nth, kStatusInvalidHandle, 0);
  if (fault == Fault::Throw) world.InjectThrow(entry, nth);

  const int answer = op.run(world);
  const qzrt::ErrorReport error =
      op.error ? op.error(world) : op.driverHolder ? world.Session().Error() : world.Table().Error();
  world.ResetClient();  // a fault not met stays out of what follows

  // The error the runtime is given names what failed.
  if (answer == 0 && op.normal == 1) {
    EXPECT_NE(error.code, 0u) << error.message;
    switch (fault) {
      case Fault::Status:
        if (kWithoutOracleText.count(entry)) {
          EXPECT_FALSE(error.message.empty());
        } else {
          EXPECT_EQ(error.Ora(), "ORA-03113") << error.message;
          EXPECT_THAT(error.message, ::testing::HasSubstr("end-of-file on communication channel"));
        }
        break;
      case Fault::InvalidHandle:
      case Fault::Throw:
        EXPECT_FALSE(error.message.empty());
        break;
      case Fault::Missing:
        EXPECT_THAT(error.message, ::testing::HasSubstr(entry));
        break;
    }
  }
  if (answer == 1 && op.normal == 0) ADD_FAILURE() << "a failing operation answered success";
  if (answer == 1 && op.normal == 1 && op.rightResult) {
    std::string what;
    EXPECT_TRUE(op.rightResult(world, what)) << "answered success with a wrong result: " << what;
  }
  if (op.after) op.after(world, answer);
  if (!readable) {
    teardown();
    return;
  }

  // Nothing committed lost, nothing uncommitted kept.
  const Rows after = world.Committed();
  if (answer == op.normal || answer == 1) {
    const Rows expected = op.onSuccess && answer == 1 ? op.onSuccess(before) : before;
    EXPECT_EQ(after, expected) << "after the answer " << answer;
  } else {
    const std::vector<Rows> expected = op.onFailure ? op.onFailure(before) : std::vector<Rows>{before};
    EXPECT_THAT(expected, ::testing::Contains(after)) << "after a failure";
  }

  // The connection goes on: a record added is there for the other session, and no record lock is left held.
  const Rows& kept = after;
  world.Table().Read(u"ID", kReadFirst);
  const int added = AddRecord(world, 90);
  if (added) {
    EXPECT_EQ(world.Committed(), With(kept, "90:90")) << "an add answered success after the fault";
  } else {
    ADD_FAILURE() << "the connection is not usable after the fault: " << world.Table().Error().message;
  }
  qzrt::OpenTable& other = world.OtherTable();
  if (other.Open() == 1) {
    EXPECT_EQ(other.Read(u"ID", kReadFirst, 2), 1) << "the other connection locks a record: " << other.Error().message;
    other.LockRecord(0);
    other.Close();
  }
  teardown();
}

}  // namespace faults
