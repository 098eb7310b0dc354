// Random two-connection runs against the model of a server's row locks and transactions (lock_model.h): two
// connections A and B of the driver object, each with the table T open through its access interface as the runtime
// and the command-line host open it, read, seek, lock, release, write (plainly, keeping the lock, and failing on a
// NOT NULL), add, delete, begin, commit and roll back up to two levels deep, close and open the table, disconnect and
// connect again. Every answer, and every record a lock or a read shows, is checked against the model; at the end the
// rows committed are compared with the model's. A run that disagrees is shrunk to the shortest that still disagrees
// at the same kind of step, and printed as a script of the command-line host, which replays it:
//   QZOCI_DATA_SOURCES=HOSTTEST build/dev/bin/qzhost --driver build/dev/bin/qz170ora64.so FILE
// The seeds run by default are fixed; a longer run chooses them in the environment, e.g.
//   QZ_LOCK_MODEL_SEEDS=5000 build/dev/bin/qz_oracle_tests --gtest_filter='OracleLockModel.*'
// (QZ_LOCK_MODEL_FIRST_SEED moves the first seed).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <random>
#include <sstream>

#include "lock_model.h"
#include "oracle_table_fixture.h"
#include "standin/runtime/round_trip.h"

namespace {

using lockmodel::Op;
using lockmodel::Outcome;

// The steps of a run: connections and kinds drawn with weights, keys and values from the seed.
std::vector<Op> Generate(unsigned seed) {
  std::mt19937 random(seed);
  static const char kKinds[] = "ssssrrrrrrRRRRRRllllluuuuummmMMMfFaaaddbbbbccxxxCOODNN";
  std::vector<Op> ops;
  int conn = 0;
  for (int i = 0; i < 36; ++i) {
    if (random() % 3 == 0) conn = 1 - conn;
    const char kind = kKinds[random() % (sizeof kKinds - 1)];
    const int key = kind == 'a' ? 1 + random() % 6 : kind == 's' ? 1 + random() % 5 : "0123222333"[random() % 10] - '0';
    ops.push_back({conn, kind, key, 100 + i});
  }
  return ops;
}

// The kind of the step that disagreed (E: the rows committed at the end) and what the driver did.
struct Disagreement {
  char kind;
  std::string what;
};

class OracleLockModel : public ocitest::OracleTableFixture {
 protected:
  OracleLockModel() : OracleTableFixture("OTMODEL") {}

  struct Side {
    std::unique_ptr<qzrt::ConnectionDescription> description;
    std::unique_ptr<qzrt::OpenTable> table;
  };
  static constexpr const char* kLabel[] = {"T", "TB"};
  static constexpr const char* kName[] = {"A", "B"};

  // The connection opened on the test's data source, T described through it and opened, as the host's connect,
  // describe and open do.
  int Connect(Side& side, int conn) {
    qzrt::DriverSession session(driver);
    side.description = std::make_unique<qzrt::ConnectionDescription>();
    using D = qzrt::ConnectionDescription;
    side.description->SetText(D::kDataSource, source);
    side.description->SetText(D::kUserId, std::u16string(u"SYSTEM"));
    side.description->SetText(D::kPassword, std::u16string(u"manager"));
    side.description->SetText(D::kName, conn ? std::u16string(u"B") : std::u16string(u"A"));
    if (!session.Connect(*side.description)) return 0;
    void* description = session.Describe(*side.description, u"T");
    void* access = description ? session.AccessInterface(*side.description, description) : nullptr;
    if (description) CallSlot<std::uint32_t>(description, 6);
    if (!access) return 0;
    side.table = std::make_unique<qzrt::OpenTable>(access, 1, 10 + nextFile++);
    return side.table->Open();
  }
  // The host closes the connection, then gives its tables back; the description outlives the driver's use of it.
  int Disconnect(Side& side) {
    const int answer = qzrt::DriverSession(driver).Disconnect(*side.description);
    side.table.reset();
    closed.push_back(std::move(side.description));
    return answer;
  }

  Outcome Run(Side& side, const Op& op) {
    qzrt::DriverSession session(driver);
    qzrt::OpenTable* table = side.table.get();
    Outcome got;
    auto set = [&](std::optional<std::string> name) {
      if (op.kind == 'a') table->SetField(u"ID", std::to_string(op.key));
      table->SetField(u"QTY", std::to_string(op.value));
      table->SetField(u"NAME", name);
    };
    switch (op.kind) {
      case 's': {
        CHostValue value;
        std::int32_t key = op.key;
        value.SetType(HOST_TYPE_INT32);
        value.Set(&key);
        got.answer = table->Seek(u"ID", &value);
        break;
      }
      case 'r': case 'R': got.answer = table->Read(u"ID", op.key, op.kind == 'R' ? 2 : 0); break;
      case 'l': case 'u': got.answer = table->LockRecord(op.kind == 'l' ? 2 : 0); break;
      case 'm': case 'M': set("a"), got.answer = table->Write(op.kind == 'M' ? 2 : 0); break;
      case 'f': case 'F': set(std::nullopt), got.answer = table->Write(op.kind == 'F' ? 2 : 0); break;
      case 'a': set("a"), got.answer = table->Add(); break;
      case 'd': got.answer = table->Delete(0); break;
      case 'b': got.answer = session.Begin(*side.description); break;
      case 'c': got.answer = session.Commit(*side.description); break;
      case 'x': got.answer = session.Rollback(*side.description); break;
      case 'C': got.answer = table->Close(); break;
      case 'O': got.answer = table->Open(); break;
      case 'D': got.answer = Disconnect(side); break;
      case 'N': got.answer = Connect(side, op.conn); break;
    }
    const bool onTable = side.table && std::string("bcxDN").find(op.kind) == std::string::npos;
    const qzrt::ErrorReport error = onTable ? side.table->Error() : session.Error();
    if (!got.answer) got.ora = error.Ora().empty() ? "error " + std::to_string(error.code) : error.Ora();
    if (onTable && got.answer) {
      got.pastEnd = std::string("srR").find(op.kind) != std::string::npos && table->OutOfRange(u"ID");
      const auto id = table->Field(u"ID"), qty = table->Field(u"QTY");
      if (id) got.id = std::stoi(*id);
      if (qty) got.qty = std::stoi(*qty);
    }
    return got;
  }

  // The host's lines of a step, on the table or the connection of its side.
  void Print(std::ostringstream& script, std::string& table, std::string& conn, const Op& op) {
    const std::string label = kLabel[op.conn], name = kName[op.conn];
    if (std::string("bcxD").find(op.kind) != std::string::npos) {
      if (op.kind != 'D' && conn != name) script << "with " << name << "\n", conn = name, table.clear();
    } else if (op.kind != 'N' && table != label) {
      script << "use " << label << "\n", table = label, conn = name;
    }
    static const char* const kDirections[] = {"first", "last", "next", "previous"};
    const std::string values = " QTY=" + std::to_string(op.value) + " NAME=";
    switch (op.kind) {
      case 's': script << "seek ID " << op.key << "\n"; break;
      case 'r': case 'R': script << "read " << kDirections[op.key] << (op.kind == 'R' ? " lock" : "") << "\n"; break;
      case 'l': script << "lock\n"; break;
      case 'u': script << "unlock\n"; break;
      case 'm': case 'M': script << "set" << values << "a\nmodify" << (op.kind == 'M' ? " locked" : "") << "\n"; break;
      case 'f': case 'F':
        script << "set" << values << "NULL\nmodify" << (op.kind == 'F' ? " locked" : "") << "\n";
        break;
      case 'a': script << "set ID=" << op.key << values << "a\nadd\n"; break;
      case 'd': script << "delete\n"; break;
      case 'b': script << "begin\n"; break;
      case 'c': script << "commit\n"; break;
      case 'x': script << "rollback\n"; break;
      case 'C': script << "close\n"; break;
      case 'O': script << "open\n"; break;
      case 'D': script << "disconnect " << name << "\n", table.clear(), conn.clear(); break;
      case 'N':
        script << "connect HOSTTEST SYSTEM manager as " << name << "\ndescribe T" << (op.conn ? " as TB" : "")
               << "\nopen\n";
        table = label, conn = name;
        break;
    }
  }

  // Plays the steps on a new T through both connections, the script of the host beside; the first disagreement.
  std::optional<Disagreement> Play(const std::vector<Op>& given, std::ostringstream& script) {
    // A data source of its own: what one run leaves locked meets no other.
    const std::string name = "LOCKMODEL_" + std::to_string(++runs);
    ocitest::StandIn::Get().CreateDataSource(name.c_str());
    source.assign(name.begin(), name.end());
    auto checking = ocitest::Description(u"C", source);
    CallSlot<int>(driver, ocitest::kDriverOpen, checking.get());
    COracleConnection* checker = ocitest::ConnectionOf(driver, *checking);
    auto sql = [&](const std::u16string& text) { return checker && checker->bExecuteSql(holder, text.c_str()); };
    std::string table, conn;
    script << "start\nconnect HOSTTEST SYSTEM manager as C\nsql DROP TABLE T\n";
    std::vector<std::u16string> setup = {
        u"CREATE TABLE T (ID NUMBER(10) NOT NULL, QTY NUMBER(10), NAME VARCHAR2(10) NOT NULL)",
        u"CREATE UNIQUE INDEX T_ID ON T (ID)"};
    for (int k = 1; k <= lockmodel::Model::kRows; ++k) {
      setup.push_back(u"INSERT INTO T VALUES (" + Text(k) + u", " + Text(k) + u", 'a')");
    }
    setup.push_back(u"COMMIT");
    for (const std::u16string& text : setup) {
      EXPECT_TRUE(sql(text)) << ocitest::Dump(*holder);
      script << "sql " << std::string(text.begin(), text.end()) << "\n";
    }
    Side sides[2];
    lockmodel::Model model;
    std::vector<Op> ops = given;
    // Every level still open rolled back and both tables closed, so that every session sees what was committed.
    for (int c = 0; c < 2; ++c) {
      for (int level = 0; level < 2; ++level) ops.push_back({c, 'x'});
      ops.push_back({c, 'C'});
    }
    std::optional<Disagreement> found;
    for (int c = 0; c < 2; ++c) {
      if (Connect(sides[c], c) != 1) {
        found = Disagreement{'N', "cannot connect: " + qzrt::DriverSession(driver).Error().message};
      }
      Print(script, table, conn, {c, 'N'});
    }
    for (std::size_t i = 0; i < ops.size() && !found; ++i) {
      const Op& op = ops[i];
      if (!model.Applies(op) || (i >= given.size() && op.kind == 'x' && !model.Depth(op.conn)) ||
          (i >= given.size() && op.kind == 'C' && !model.Open(op.conn))) {
        continue;
      }
      Print(script, table, conn, op);
      const Outcome got = Run(sides[op.conn], op);
      const std::string wrong = model.Step(op, got);
      if (model.Answer() >= 0) script << "expect " << model.Answer() << "\n";
      if (model.Shown() && got.answer && !got.pastEnd) script << "expect QTY=" << *model.Shown() << "\n";
      if (!wrong.empty()) {
        script << "# the driver " << wrong << "\n";
        found = Disagreement{op.kind, wrong};
      }
    }
    if (!found) {
      std::string rows, expected;
      script << "with C\nquery Q SELECT ID, QTY FROM T ORDER BY ID\n";
      const char* move = "first";
      for (const auto& [k, qty] : model.Committed()) {
        script << "read " << move << "\nexpect ID=" << k << " QTY=" << qty << "\n";
        move = "next";
        expected += " " + std::to_string(k) + "=" + std::to_string(qty);
      }
      for (int k = 1; k <= 6; ++k) {
        const std::u16string query = u"SELECT QTY FROM T WHERE ID = " + Text(k);
        const std::u16string qty = ocitest::FetchText(checker, *holder, query.c_str());
        if (qty != u"<none>") rows += " " + std::to_string(k) + "=" + std::string(qty.begin(), qty.end());
      }
      if (rows != expected) found = Disagreement{'E', "commits" + rows + " where a server commits" + expected};
    }
    // The runtime's context goes with its tables, which keep their connection's sessions, then the connections.
    qzrt::DriverSession(driver).CloseRegistry(1);
    for (Side& side : sides) {
      if (side.description) Disconnect(side);
    }
    CallSlot<int>(driver, ocitest::kDriverClose, checking.get());
    closed.push_back(std::move(checking));
    // Thousands of runs would hold as many databases open.
    ocitest::StandIn::Get().CloseDatabases();
    script << "stop\n";
    return found;
  }

  // The shortest run found, removing steps in halves, then quarters, ..., that disagrees at the same kind of step.
  std::vector<Op> Shrink(std::vector<Op> ops, char kind) {
    auto fails = [&](const std::vector<Op>& candidate) {
      std::ostringstream ignored;
      const auto found = Play(candidate, ignored);
      return found && found->kind == kind;
    };
    for (std::size_t chunk = ops.size() / 2; chunk >= 1; chunk /= 2) {
      for (std::size_t at = 0; at + chunk <= ops.size();) {
        std::vector<Op> candidate = ops;
        candidate.erase(candidate.begin() + at, candidate.begin() + at + chunk);
        if (fails(candidate)) {
          ops = std::move(candidate);
        } else {
          at += chunk;
        }
      }
    }
    return ops;
  }

  std::uint64_t nextFile = 0;
  int runs = 0;
  std::u16string source;
  std::vector<std::unique_ptr<qzrt::ConnectionDescription>> closed;
};

TEST_F(OracleLockModel, EveryStepOfTwoConnectionsIsOneAServerWouldAnswer) {
  const char* count = std::getenv("QZ_LOCK_MODEL_SEEDS");
  const char* first = std::getenv("QZ_LOCK_MODEL_FIRST_SEED");
  const unsigned from = first ? std::strtoul(first, nullptr, 10) : 1;
  const unsigned seeds = count ? std::strtoul(count, nullptr, 10) : 60;
  std::map<std::string, unsigned> failures;  // the kind of step and what the driver did, with how many seeds
  for (unsigned seed = from; seed < from + seeds; ++seed) {
    std::ostringstream script;
    const std::vector<Op> ops = Generate(seed);
    const auto found = Play(ops, script);
    if (!found) continue;
    std::string key = std::string(1, found->kind) + ": " + found->what;
    key.erase(std::remove_if(key.begin(), key.end(), [](char c) { return std::isdigit(c) != 0; }), key.end());
    if (failures[key]++ > 0) continue;  // one script for each kind of disagreement
    std::ostringstream shrunk;
    Play(Shrink(ops, found->kind), shrunk);
    ADD_FAILURE() << "seed " << seed << ": the driver " << found->what << "; shrunk to\n" << shrunk.str();
  }
  std::string summary;
  for (const auto& [kind, n] : failures) summary += "\n  " + std::to_string(n) + " at " + kind;
  EXPECT_TRUE(failures.empty()) << "seeds that disagree:" << summary;
}

}  // namespace
