// The OCI7 call interface over the same engine: logon and cursor data areas with the published layout (SQL function
// type at byte 2, rows processed at byte 4, function code at byte 10, return code at byte 12), parse, bind, define,
// describe, execute, fetch, piecewise transfers, the auto-commit switch, commit and rollback. The stand-in keeps its
// own state per data area address; the areas themselves carry only what the published layout says.
#include <cstring>
#include <functional>
#include <map>
#include <memory>

#include "standin/oci/entry_support.h"
#include "standin/oci/immortal.h"

using namespace qzoci;

namespace {

struct Logon7 {
  std::unique_ptr<Session> session;
  bool autoCommit = false;
  OraError lastError;
};

struct Slot7 {
  std::string name;  // binds: upper case, no colon
  ub4 position = 0;  // defines
  void* buffer = nullptr;
  sb4 size = 0;
  sword type = 0;
  sb2* indicator = nullptr;
  ub2* length = nullptr;
  ub2* code = nullptr;
  sb4 bufferSkip = 0;
  sb4 indicatorSkip = 0;
  sb4 lengthSkip = 0;
  sb4 codeSkip = 0;
  bool piecewise = false;
  std::string pieces;
  bool piecesDone = false;
};

struct Cursor7 {
  void* lda = nullptr;
  std::string sql;
  SqlPlan plan;
  bool parsed = false;
  bool executed = false;
  std::vector<Slot7> binds;
  std::map<ub4, Slot7> defines;
  ResultSet result;
  std::size_t nextRow = 0;
  // Pieces: an input bind waiting (pendingBind) or a dynamic define of the current row (pendingDefine).
  int pendingBind = -1;
  ub4 pendingDefine = 0;
  std::string pieceData;
  std::size_t pieceOffset = 0;
  void* pieceBuffer = nullptr;
  ub4* pieceLength = nullptr;
  std::size_t rowInProgress = 0;
  ub4 defineCursor = 0;
  bool fetching = false;
};

std::map<const void*, Logon7>& Logons() {
  static Immortal<std::map<const void*, Logon7>> logons;
  return *logons;
}
std::map<const void*, Cursor7>& Cursors() {
  static Immortal<std::map<const void*, Cursor7>> cursors;
  return *cursors;
}

void SetRc(void* area, ub2 rc) {
  if (area) std::memcpy(static_cast<char*>(area) + 12, &rc, 2);
}
void SetRpc(void* area, ub4 rows) {
  if (area) std::memcpy(static_cast<char*>(area) + 4, &rows, 4);
}
// The statement's SQL function type goes in the area's function-type word (u16 at byte 2) and in its function-code
// byte (byte 10).
void SetFunctionCode(void* area, ub1 code) {
  if (!area) return;
  const ub2 type = code;
  std::memcpy(static_cast<char*>(area) + 2, &type, 2);
  static_cast<unsigned char*>(area)[10] = code;
  static_cast<unsigned char*>(area)[11] = 0;
}

// Records an error in the area (and the logon's last error) and answers its code as the call's result.
sword Fail7(void* area, void* lda, const OraError& error) {
  SetRc(area, static_cast<ub2>(error.code));
  auto found = Logons().find(lda);
  if (found != Logons().end()) found->second.lastError = error;
  return error.code;
}

sword Ok7(void* area) {
  SetRc(area, 0);
  return 0;
}

std::string Text7(const OraText* text, sb4 length) {
  if (!text) return std::string();
  if (length < 0) return reinterpret_cast<const char*>(text);
  return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
}

ub1 FunctionCodeOf(ub2 statementType, const std::string& word) {
  switch (statementType) {
    case oci::kStmtSelect:
      return 4;
    case oci::kStmtUpdate:
      return 5;
    case oci::kStmtInsert:
      return 3;
    case oci::kStmtDelete:
      return 9;
    case oci::kStmtCreate:
      return 1;
    case oci::kStmtDrop:
      return 8;
    default:
      return word == "ALTER" ? 15 : word == "LOCK" ? 26 : 0;
  }
}

Session* SessionOf(const Cursor7& cursor) {
  auto found = Logons().find(cursor.lda);
  return found == Logons().end() ? nullptr : found->second.session.get();
}

template <typename T>
T* At(T* base, sb4 skip, std::size_t element, std::size_t defaultSkip) {
  if (!base) return nullptr;
  const std::size_t stride = skip > 0 ? static_cast<std::size_t>(skip) : defaultSkip;
  return reinterpret_cast<T*>(reinterpret_cast<char*>(base) + stride * element);
}

std::optional<sword> Enter7(const char* entry, void* area, const std::string& detail) {
  if (auto injected = EnterEntry(entry, detail)) {
    SetRc(area, static_cast<ub2>(injected->oraCode));
    return injected->status;
  }
  return std::nullopt;
}

#define QZOCI7_ENTER(entry, area, detail)                                                      \
  do {                                                                                         \
    if (::qzoci::CallsWatched()) {                                                             \
      if (auto injected_ = Enter7(entry, (area), (detail))) return *injected_;                 \
    }                                                                                          \
  } while (0)

// Runs the parsed statement; for queries the rows wait for ofen.
sword Execute7(void* cda, Cursor7& cursor, bool describeOnly) {
  Session* session = SessionOf(cursor);
  if (!session) return Fail7(cda, cursor.lda, MakeOraError(1012));
  if (!cursor.parsed) return Fail7(cda, cursor.lda, MakeOraError(24337));
  cursor.plan = RewriteSql(cursor.sql, session->MainSchema(), session->SynonymTargets());
  std::vector<BindInput> inputs;
  if (!describeOnly) {
    for (std::size_t k = 0; k < cursor.binds.size(); ++k) {
      Slot7& b = cursor.binds[k];
      bool returning = false;
      for (const std::string& out : cursor.plan.returningInto) returning |= out == b.name;
      if (returning) continue;
      if (b.piecewise && !b.piecesDone) {
        cursor.pendingBind = static_cast<int>(k);
        SetRc(cda, 3129);
        return 3129;
      }
      BindInput input{b.name, 0, Value()};
      OraError error;
      if (b.indicator && *b.indicator == -1) {
        input.value = Value::Null();
      } else {
        const std::string& data = b.piecewise ? b.pieces : std::string();
        const void* source = b.piecewise ? data.data() : b.buffer;
        const std::uint32_t length = b.piecewise ? static_cast<std::uint32_t>(data.size())
                                     : b.length && b.type != oci::kSqltStr ? *b.length
                                                                           : static_cast<std::uint32_t>(b.size);
        input.value = ReadClientValue(static_cast<ub2>(b.piecewise && b.type == oci::kSqltStr ? oci::kSqltChr : b.type),
                                      source, length, kCharsetAl32Utf8, error);
      }
      if (error) return Fail7(cda, cursor.lda, error);
      inputs.push_back(std::move(input));
    }
  }
  for (Slot7& b : cursor.binds) {
    b.piecesDone = false;
    b.pieces.clear();
  }
  cursor.pendingBind = -1;
  ExecOutcome outcome;
  OraError error = session->Execute(cursor.plan, inputs, describeOnly, outcome);
  if (error) return Fail7(cda, cursor.lda, error);
  cursor.executed = true;
  cursor.result = std::move(outcome.result);
  cursor.nextRow = 0;
  cursor.fetching = false;
  SetFunctionCode(cda, FunctionCodeOf(cursor.plan.statementType, cursor.plan.firstWord));
  SetRpc(cda, cursor.plan.statementType == oci::kStmtSelect ? 0 : outcome.rowCount);
  if (!describeOnly && Logons()[cursor.lda].autoCommit) {
    error = session->Commit();
    if (error) return Fail7(cda, cursor.lda, error);
  }
  return Ok7(cda);
}

// Fetches up to `rows` rows (or goes on with the pieces of a dynamic define).
sword Fetch7(void* cda, Cursor7& cursor, sword rows) {
  if (!cursor.executed || cursor.plan.statementType != oci::kStmtSelect) return Fail7(cda, cursor.lda, MakeOraError(1002));
  Session* session = SessionOf(cursor);
  const TextSettings settings = SettingsOf(session);
  if (!cursor.fetching) {
    cursor.rowInProgress = 0;
    cursor.defineCursor = 0;
    cursor.fetching = true;
    cursor.pendingDefine = 0;
  }
  // A dynamic define's next piece goes where osetpi pointed.
  if (cursor.pendingDefine) {
    if (!cursor.pieceBuffer || !cursor.pieceLength) return Fail7(cda, cursor.lda, MakeOraError(24804));
    const std::size_t n = std::min<std::size_t>(*cursor.pieceLength, cursor.pieceData.size() - cursor.pieceOffset);
    std::memcpy(cursor.pieceBuffer, cursor.pieceData.data() + cursor.pieceOffset, n);
    *cursor.pieceLength = static_cast<ub4>(n);
    cursor.pieceOffset += n;
    cursor.pieceBuffer = nullptr;
    if (cursor.pieceOffset < cursor.pieceData.size()) {
      SetRc(cda, 3130);
      return 3130;
    }
    cursor.pendingDefine = 0;
    ++cursor.defineCursor;
  }
  const std::size_t wanted = rows > 0 ? static_cast<std::size_t>(rows) : 1;
  std::vector<Slot7*> defines;
  for (auto& [position, slot] : cursor.defines) defines.push_back(&slot);
  for (; cursor.rowInProgress < wanted; ++cursor.rowInProgress, cursor.defineCursor = 0) {
    const std::size_t row = cursor.nextRow + cursor.rowInProgress;
    if (row >= cursor.result.rows.size()) break;
    const auto& values = cursor.result.rows[row];
    for (; cursor.defineCursor < defines.size(); ++cursor.defineCursor) {
      Slot7& d = *defines[cursor.defineCursor];
      if (d.position < 1 || d.position > values.size()) continue;
      const Value& value = values[d.position - 1];
      const OraColumnType& type = cursor.result.columns[d.position - 1].type;
      const std::size_t e = cursor.rowInProgress;
      sb2* indicator = At(d.indicator, d.indicatorSkip, e, sizeof(sb2));
      if (d.piecewise) {
        if (value.IsNull()) {
          if (indicator) *indicator = -1;
          continue;
        }
        cursor.pieceData = IsTextType(static_cast<ub2>(d.type)) ? TextForm(value, type, settings) : value.s;
        cursor.pieceOffset = 0;
        cursor.pendingDefine = d.position;
        if (indicator) *indicator = 0;
        SetRc(cda, 3130);
        return 3130;
      }
      void* target = At(static_cast<char*>(d.buffer), d.bufferSkip, e, static_cast<std::size_t>(d.size));
      const WriteResult r = WriteClientValue(value, type, static_cast<ub2>(d.type), target,
                                             static_cast<std::uint32_t>(d.size), kCharsetAl32Utf8, settings);
      if (r.code != 0 && r.code != 1406) {
        cursor.fetching = false;
        return Fail7(cda, cursor.lda, MakeOraError(r.code));
      }
      if (indicator) *indicator = r.indicator;
      if (ub2* length = At(d.length, d.lengthSkip, e, sizeof(ub2))) *length = static_cast<ub2>(r.length);
      if (ub2* code = At(d.code, d.codeSkip, e, sizeof(ub2))) *code = static_cast<ub2>(r.code);
      if (value.IsNull() && !indicator) {
        cursor.fetching = false;
        return Fail7(cda, cursor.lda, MakeOraError(1405));
      }
    }
  }
  const std::size_t fetched = cursor.rowInProgress;
  cursor.nextRow += fetched;
  cursor.fetching = false;
  ub4 processed = 0;
  std::memcpy(&processed, static_cast<char*>(cda) + 4, 4);
  SetRpc(cda, processed + static_cast<ub4>(fetched));
  if (fetched < wanted) {
    SetRc(cda, 1403);
    return 1403;
  }
  return Ok7(cda);
}

}  // namespace

namespace {

Slot7 MakeSlot(void* buffer, sb4 size, sword type, sb2* indicator, ub2* length, ub2* code, sb4 bufferSkip,
               sb4 indicatorSkip, sb4 lengthSkip, sb4 codeSkip, ub1 opcode) {
  Slot7 slot;
  slot.buffer = buffer;
  slot.size = size;
  slot.type = type;
  slot.indicator = indicator;
  slot.length = length;
  slot.code = code;
  slot.bufferSkip = bufferSkip;
  slot.indicatorSkip = indicatorSkip;
  slot.lengthSkip = lengthSkip;
  slot.codeSkip = codeSkip;
  slot.piecewise = opcode == 0;  // opcode 0: the value comes or goes in pieces
  return slot;
}

}  // namespace

QZOCI_EXPORT sword olog(void* lda, ub1* hda, OraText* user, sword userLength, OraText* password, sword passwordLength,
                        OraText* connect, sword connectLength, ub4 mode) {
  std::string name = Text7(user, userLength);
  std::string secret = Text7(password, passwordLength);
  std::string dataSource = Text7(connect, connectLength);
  // "user/password@connect" in the user text, as OCI7 allows.
  if (secret.empty() && name.find('/') != std::string::npos) {
    const std::size_t slash = name.find('/');
    secret = name.substr(slash + 1);
    name.erase(slash);
    const std::size_t at = secret.find('@');
    if (at != std::string::npos) {
      dataSource = secret.substr(at + 1);
      secret.erase(at);
    }
  }
  QZOCI7_ENTER("olog", lda, Detail() << "user=" << name << " connect=" << dataSource << " mode=" << mode);
  (void)hda;
  OraError error;
  std::shared_ptr<Database> db = Database::Open(dataSource, error);
  if (!db) return Fail7(lda, lda, error);
  if (!db->CheckUser(name, secret)) return Fail7(lda, lda, MakeOraError(1017));
  Logon7 logon;
  logon.session = Session::Open(db, name, error);
  if (!logon.session) return Fail7(lda, lda, error);
  Logons()[lda] = std::move(logon);
  return Ok7(lda);
}

QZOCI_EXPORT sword ologof(void* lda) {
  QZOCI7_ENTER("ologof", lda, std::string());
  if (!Logons().erase(lda)) return Fail7(lda, lda, MakeOraError(1012));
  return Ok7(lda);
}

namespace {

sword OnLogon(const char* entry, void* lda, const std::function<OraError(Logon7&)>& action) {
  QZOCI7_ENTER(entry, lda, std::string());
  auto found = Logons().find(lda);
  if (found == Logons().end()) return Fail7(lda, lda, MakeOraError(1012));
  OraError error = action(found->second);
  return error ? Fail7(lda, lda, error) : Ok7(lda);
}

}  // namespace

QZOCI_EXPORT sword ocon(void* lda) {
  return OnLogon("ocon", lda, [](Logon7& l) {
    l.autoCommit = true;
    return OraError();
  });
}
QZOCI_EXPORT sword ocof(void* lda) {
  return OnLogon("ocof", lda, [](Logon7& l) {
    l.autoCommit = false;
    return OraError();
  });
}
QZOCI_EXPORT sword ocom(void* lda) { return OnLogon("ocom", lda, [](Logon7& l) { return l.session->Commit(); }); }
QZOCI_EXPORT sword orol(void* lda) { return OnLogon("orol", lda, [](Logon7& l) { return l.session->Rollback(); }); }

QZOCI_EXPORT sword oopen(void* cda, void* lda, OraText*, sword, sword, OraText*, sword) {
  QZOCI7_ENTER("oopen", cda, std::string());
  if (!Logons().count(lda)) return Fail7(cda, lda, MakeOraError(1012));
  Cursor7 cursor;
  cursor.lda = lda;
  Cursors()[cda] = std::move(cursor);
  SetRpc(cda, 0);
  return Ok7(cda);
}

QZOCI_EXPORT sword oclose(void* cda) {
  QZOCI7_ENTER("oclose", cda, std::string());
  Cursors().erase(cda);
  return Ok7(cda);
}

QZOCI_EXPORT sword oparse(void* cda, OraText* sql, sb4 length, sword deferred, ub4 behaviour) {
  const std::string text = Text7(sql, length);
  QZOCI7_ENTER("oparse", cda, Detail() << "sql=" << text << " defflg=" << deferred << " lngflg=" << behaviour);
  auto found = Cursors().find(cda);
  if (found == Cursors().end()) return Fail7(cda, nullptr, MakeOraError(1012));
  Cursor7& cursor = found->second;
  cursor.sql = text;
  cursor.plan = RewriteSql(text, std::string());
  cursor.parsed = cursor.plan.action != SqlAction::kEmpty;
  cursor.executed = false;
  cursor.binds.clear();
  cursor.defines.clear();
  SetFunctionCode(cda, FunctionCodeOf(cursor.plan.statementType, cursor.plan.firstWord));
  if (!cursor.parsed) return Fail7(cda, cursor.lda, MakeOraError(900));
  return Ok7(cda);
}

QZOCI_EXPORT sword obindps(void* cda, ub1 opcode, OraText* name, sb4 nameLength, ub1* buffer, sb4 size, sword type,
                           sword, sb2* indicator, ub2* length, ub2* code, sb4 bufferSkip, sb4 indicatorSkip,
                           sb4 lengthSkip, sb4 codeSkip, ub4, ub4*, OraText*, sb4, sword) {
  std::string placeholder = Text7(name, nameLength);
  QZOCI7_ENTER("obindps", cda, Detail() << "name=" << placeholder << " type=" << type << " size=" << size
                                        << " opcode=" << static_cast<int>(opcode));
  auto found = Cursors().find(cda);
  if (found == Cursors().end()) return Fail7(cda, nullptr, MakeOraError(1012));
  if (!placeholder.empty() && placeholder[0] == ':') placeholder.erase(0, 1);
  Slot7 slot = MakeSlot(buffer, size, type, indicator, length, code, bufferSkip, indicatorSkip, lengthSkip, codeSkip,
                        opcode);
  slot.name = ToUpperAscii(placeholder);
  auto& binds = found->second.binds;
  for (Slot7& existing : binds) {
    if (existing.name == slot.name) {
      existing = slot;
      return Ok7(cda);
    }
  }
  binds.push_back(slot);
  return Ok7(cda);
}

QZOCI_EXPORT sword odefinps(void* cda, ub1 opcode, sword position, ub1* buffer, sb4 size, sword type, sword,
                            sb2* indicator, OraText*, sb4, sword, ub2* length, ub2* code, sb4 bufferSkip,
                            sb4 indicatorSkip, sb4 lengthSkip, sb4 codeSkip) {
  QZOCI7_ENTER("odefinps", cda, Detail() << "position=" << position << " type=" << type << " size=" << size
                                         << " opcode=" << static_cast<int>(opcode));
  auto found = Cursors().find(cda);
  if (found == Cursors().end()) return Fail7(cda, nullptr, MakeOraError(1012));
  if (position < 1) return Fail7(cda, found->second.lda, MakeOraError(1007));
  Slot7 slot = MakeSlot(buffer, size, type, indicator, length, code, bufferSkip, indicatorSkip, lengthSkip, codeSkip,
                        opcode);
  slot.position = static_cast<ub4>(position);
  found->second.defines[slot.position] = slot;
  return Ok7(cda);
}

QZOCI_EXPORT sword oexec(void* cda) {
  auto found = Cursors().find(cda);
  QZOCI7_ENTER("oexec", cda, Detail() << "sql=" << (found == Cursors().end() ? std::string() : found->second.sql));
  if (found == Cursors().end()) return Fail7(cda, nullptr, MakeOraError(1012));
  return Execute7(cda, found->second, false);
}

QZOCI_EXPORT sword oexn(void* cda, sword, sword) { return oexec(cda); }

QZOCI_EXPORT sword ofen(void* cda, sword rows) {
  QZOCI7_ENTER("ofen", cda, Detail() << "rows=" << rows);
  auto found = Cursors().find(cda);
  if (found == Cursors().end()) return Fail7(cda, nullptr, MakeOraError(1012));
  return Fetch7(cda, found->second, rows);
}

QZOCI_EXPORT sword ofetch(void* cda) { return ofen(cda, 1); }

QZOCI_EXPORT sword oexfet(void* cda, ub4 rows, sword, sword) {
  const sword status = oexec(cda);
  return status ? status : ofen(cda, static_cast<sword>(rows));
}

QZOCI_EXPORT sword odescr(void* cda, sword position, sb4* dbsize, sb2* dbtype, sb1* name, sb4* nameLength,
                          sb4* displaySize, sb2* precision, sb2* scale, sb2* nullOk) {
  QZOCI7_ENTER("odescr", cda, Detail() << "position=" << position);
  auto found = Cursors().find(cda);
  if (found == Cursors().end()) return Fail7(cda, nullptr, MakeOraError(1012));
  Cursor7& cursor = found->second;
  if (!cursor.executed) {
    const sword status = Execute7(cda, cursor, true);
    if (status) return status;
  }
  if (position < 1 || static_cast<std::size_t>(position) > cursor.result.columns.size()) {
    return Fail7(cda, cursor.lda, MakeOraError(1007));
  }
  const ColumnInfo& column = cursor.result.columns[static_cast<std::size_t>(position) - 1];
  if (dbsize) *dbsize = static_cast<sb4>(column.type.dataSize);
  if (dbtype) *dbtype = static_cast<sb2>(column.type.code);
  if (displaySize) *displaySize = static_cast<sb4>(column.type.dataSize);
  if (precision) *precision = static_cast<sb2>(column.type.hasPrecision ? column.type.precision : 0);
  if (scale) *scale = static_cast<sb2>(column.type.scale);
  if (nullOk) *nullOk = column.nullable ? 1 : 0;
  if (name && nameLength) {
    const std::size_t n = std::min<std::size_t>(column.name.size(), static_cast<std::size_t>(std::max(*nameLength, 0)));
    std::memcpy(name, column.name.data(), n);
    *nameLength = static_cast<sb4>(n);
  }
  return Ok7(cda);
}

QZOCI_EXPORT sword oerhms(void* lda, sb2 code, OraText* buffer, sword size) {
  QZOCI7_ENTER("oerhms", lda, Detail() << "rcode=" << code);
  auto found = Logons().find(lda);
  std::string text = MakeOraError(code).text;
  if (found != Logons().end() && found->second.lastError.code == code) text = found->second.lastError.text;
  CopyOut(text + "\n", buffer, static_cast<std::size_t>(std::max(size, 0)), kCharsetAl32Utf8);
  return 0;
}

QZOCI_EXPORT sword ogetpi(void* cda, ub1* piece, void** context, ub4* iteration, ub4* index) {
  QZOCI7_ENTER("ogetpi", cda, std::string());
  auto found = Cursors().find(cda);
  if (found == Cursors().end()) return Fail7(cda, nullptr, MakeOraError(1012));
  Cursor7& cursor = found->second;
  if (iteration) *iteration = 0;
  if (index) *index = 0;
  if (cursor.pendingBind >= 0) {
    Slot7& b = cursor.binds[static_cast<std::size_t>(cursor.pendingBind)];
    if (piece) *piece = b.pieces.empty() ? oci::kFirstPiece : oci::kNextPiece;
    if (context) *context = b.buffer;
    return Ok7(cda);
  }
  if (cursor.pendingDefine) {
    if (piece) *piece = cursor.pieceOffset == 0 ? oci::kFirstPiece : oci::kNextPiece;
    if (context) *context = cursor.defines[cursor.pendingDefine].buffer;
    if (iteration) *iteration = static_cast<ub4>(cursor.rowInProgress);
    return Ok7(cda);
  }
  return Fail7(cda, cursor.lda, MakeOraError(24804));
}

QZOCI_EXPORT sword osetpi(void* cda, ub1 piece, void* buffer, ub4* length) {
  QZOCI7_ENTER("osetpi", cda, Detail() << "piece=" << static_cast<int>(piece) << " length=" << (length ? *length : 0));
  auto found = Cursors().find(cda);
  if (found == Cursors().end()) return Fail7(cda, nullptr, MakeOraError(1012));
  Cursor7& cursor = found->second;
  if (cursor.pendingBind >= 0) {
    Slot7& b = cursor.binds[static_cast<std::size_t>(cursor.pendingBind)];
    if (buffer && length) b.pieces.append(static_cast<const char*>(buffer), *length);
    if (piece == oci::kOnePiece || piece == oci::kLastPiece) b.piecesDone = true;
    return Ok7(cda);
  }
  if (cursor.pendingDefine) {
    cursor.pieceBuffer = buffer;
    cursor.pieceLength = length;
    return Ok7(cda);
  }
  return Fail7(cda, cursor.lda, MakeOraError(24804));
}

// Calls the driver binds but never makes, answered as a client that has nothing to do for them.
QZOCI_EXPORT sword obreak(void* lda) {
  QZOCI7_ENTER("obreak", lda, std::string());
  return Ok7(lda);
}
QZOCI_EXPORT sword ocan(void* cda) {
  QZOCI7_ENTER("ocan", cda, std::string());
  auto found = Cursors().find(cda);
  if (found != Cursors().end()) found->second.executed = false;
  return Ok7(cda);
}
QZOCI_EXPORT sword odessp(void* lda, OraText*, size_t, ub1*, size_t, ub1*, size_t, ub2*, ub2*, ub1*, ub1*, ub1*,
                          ub4*, sb2*, sb2*, ub1*, ub1*, ub1*, ub4*) {
  QZOCI7_ENTER("odessp", lda, std::string());
  return Fail7(lda, lda, MakeOraError(4043, "procedure"));
}
QZOCI_EXPORT sword oermsg(sb2 code, OraText* buffer) {
  EnterEntry("oermsg", std::string());
  if (buffer) std::strcpy(reinterpret_cast<char*>(buffer), MakeOraError(code).text.substr(0, 70).c_str());
  return 0;
}
QZOCI_EXPORT sword oflng(void* cda, sword, ub1*, sb4, sword, ub4*, sb4) {
  QZOCI7_ENTER("oflng", cda, std::string());
  return Fail7(cda, nullptr, MakeOraError(1002));
}
QZOCI_EXPORT sword oopt(void* cda, sword, sword) {
  QZOCI7_ENTER("oopt", cda, std::string());
  return Ok7(cda);
}
QZOCI_EXPORT sword opinit(ub4) {
  EnterEntry("opinit", std::string());
  return 0;
}
QZOCI_EXPORT sword onbset(void* lda) {
  QZOCI7_ENTER("onbset", lda, std::string());
  return Ok7(lda);
}
QZOCI_EXPORT sword onbtst(void* lda) {
  QZOCI7_ENTER("onbtst", lda, std::string());
  return Ok7(lda);
}
QZOCI_EXPORT sword onbclr(void* lda) {
  QZOCI7_ENTER("onbclr", lda, std::string());
  return Ok7(lda);
}
QZOCI_EXPORT sword ognfd(void* lda, void* fd) {
  QZOCI7_ENTER("ognfd", lda, std::string());
  if (fd) std::memset(fd, 0, sizeof(int));
  return Ok7(lda);
}
