// OCI entry points of statements: prepare, binds (plain, dynamic, piecewise), defines, execute, fetch (arrays,
// scrolling, LONG pieces), parameter descriptors and OCIDescribeAny.
#include <cstring>

#include "standin/oci/entry_support.h"

using namespace qzoci;

namespace {

ub2 BindCharset(const StmtH& stmt, ub2 charset, ub1 form) {
  if (charset) return charset;
  if (form == oci::kSqlcsNchar) return stmt.env->ncharset;
  return stmt.env->charset;
}

bool IsLobType(ub2 dty) { return dty == oci::kSqltClob || dty == oci::kSqltBlob || dty == oci::kSqltBfilee; }
bool IsTimestampType(ub2 dty) {
  return dty == oci::kSqltTimestamp || dty == oci::kSqltTimestampTz || dty == oci::kSqltTimestampLtz;
}
bool IsIntervalType(ub2 dty) { return dty == oci::kSqltIntervalYM || dty == oci::kSqltIntervalDS; }

// The descriptor pointer held in element `element` of a client's array of descriptor pointers.
void* PointerAt(void* base, std::size_t stride, std::size_t element) {
  if (!base) return nullptr;
  return *reinterpret_cast<void**>(static_cast<char*>(base) + stride * element);
}

// A bind's value for this execution.
bool ReadBind(StmtH& stmt, BindH& b, Value& out, OraError& error) {
  const ub2 charset = BindCharset(stmt, b.charset, b.charsetForm);
  if (b.mode & oci::kDataAtExec) {
    std::string data;
    bool isNull = false;
    if (b.inCallback) {
      ub1 piece = oci::kOnePiece;
      for (int guard = 0; guard < 1000000; ++guard) {
        void* buffer = nullptr;
        ub4 length = 0;
        void* indicator = nullptr;
        piece = guard == 0 ? oci::kFirstPiece : oci::kNextPiece;
        if (b.inCallback(b.inContext, reinterpret_cast<OCIBind*>(&b), 0, 0, &buffer, &length, &piece, &indicator) !=
            oci::kContinue) {
          error = MakeOraError(1008);
          return false;
        }
        if (indicator && *static_cast<sb2*>(indicator) == -1) isNull = true;
        if (buffer && length) data.append(static_cast<const char*>(buffer), length);
        if (piece == oci::kOnePiece || piece == oci::kLastPiece) break;
      }
    } else {
      data = b.pieces;
      isNull = b.pieceNull;
    }
    if (isNull) {
      out = Value::Null();
      return true;
    }
    out = ReadClientValue(b.dty == oci::kSqltStr ? oci::kSqltChr : b.dty, data.data(),
                          static_cast<std::uint32_t>(data.size()), charset, error);
    return !error;
  }
  if (b.indicator && *static_cast<sb2*>(b.indicator) == -1) {
    out = Value::Null();
    return true;
  }
  if (IsLobType(b.dty)) {
    const LobD* lob = AsLob(PointerAt(b.value, 0, 0));
    if (!lob || !lob->initialized) {
      out = Value::Null();
    } else if (lob->isFile) {
      out = Value::Text(lob->directory + "/" + lob->fileName);
    } else {
      out = lob->binary ? Value::Blob(lob->data) : Value::Text(lob->data);
    }
    return true;
  }
  if (IsTimestampType(b.dty)) {
    const DateTimeD* d = AsDateTime(PointerAt(b.value, 0, 0));
    if (!d) {
      error = MakeOraError(932, "timestamp descriptor");
      return false;
    }
    DateTime v = d->value;
    if (b.dty != oci::kSqltTimestampTz) v.hasZone = false;
    out = Value::Text(v.ToTimestampText());
    return true;
  }
  if (IsIntervalType(b.dty)) {
    const IntervalD* d = AsInterval(PointerAt(b.value, 0, 0));
    if (!d) {
      error = MakeOraError(932, "interval descriptor");
      return false;
    }
    out = Value::Text(d->value.ToText());
    return true;
  }
  const std::uint32_t length = b.length && b.dty != oci::kSqltStr ? *b.length : static_cast<std::uint32_t>(b.size);
  out = ReadClientValue(b.dty, b.value, length, charset, error);
  return !error;
}

// Fills a LOB locator from a value.
void FillLocator(LobD* lob, const Value& value, const OraColumnType& type, const RowOrigin& origin) {
  lob->initialized = !value.IsNull();
  lob->data = value.IsNull() ? std::string() : value.s;
  lob->binary = type.code == oci::kSqltBlob || value.kind == Value::Kind::kBlob;
  lob->national = type.charsetForm == oci::kSqlcsNchar;
  lob->origin = origin;
  lob->polling = false;
  lob->open = false;
  if (type.code == oci::kSqltBfilee || lob->isFile) {
    lob->isFile = true;
    lob->binary = true;
    const std::size_t slash = lob->data.find('/');
    lob->directory = slash == std::string::npos ? std::string() : lob->data.substr(0, slash);
    lob->fileName = slash == std::string::npos ? lob->data : lob->data.substr(slash + 1);
  }
}

// Writes one value into element `element` of a define or bind buffer; answers the ORA code (0, 1406, ...).
int PlaceValue(const Value& value, const OraColumnType& type, const RowOrigin& origin, ub2 dty,
               void* base, sb4 size, void* indicatorBase, ub2* lengthBase, ub2* codeBase, ub2 charset,
               std::size_t element, const TextSettings& settings) {
  sb2* indicator = indicatorBase ? static_cast<sb2*>(indicatorBase) + element : nullptr;
  ub2* length = lengthBase ? lengthBase + element : nullptr;
  ub2* code = codeBase ? codeBase + element : nullptr;
  auto finish = [&](sb2 ind, std::uint32_t len, int ora) {
    if (indicator) *indicator = ind;
    if (length) *length = static_cast<ub2>(len);
    if (code) *code = static_cast<ub2>(ora == 1406 || ora == 1405 ? ora : 0);
    if (value.IsNull() && !indicator && !IsLobType(dty)) return 1405;
    return ora;
  };
  const std::size_t stride = static_cast<std::size_t>(size);
  if (IsLobType(dty)) {
    LobD* lob = AsLob(PointerAt(base, stride, element));
    if (!lob) return finish(0, 0, 22275);
    FillLocator(lob, value, type, origin);
    return finish(value.IsNull() ? -1 : 0, value.IsNull() ? 0 : static_cast<std::uint32_t>(sizeof(void*)), 0);
  }
  if (IsTimestampType(dty) || IsIntervalType(dty)) {
    if (value.IsNull()) return finish(-1, 0, 0);
    if (IsTimestampType(dty)) {
      auto* d = AsDateTime(PointerAt(base, stride, element));
      std::optional<DateTime> v = DateTime::FromText(value.kind == Value::Kind::kText ? value.s : std::string());
      if (!d || !v) return finish(0, 0, 932);
      d->value = *v;
    } else {
      auto* d = AsInterval(PointerAt(base, stride, element));
      std::optional<Interval> v = Interval::FromText(value.s, dty == oci::kSqltIntervalYM);
      if (!d || !v) return finish(0, 0, 932);
      d->value = *v;
    }
    return finish(0, static_cast<std::uint32_t>(sizeof(void*)), 0);
  }
  if (!base) return finish(value.IsNull() ? -1 : 0, 0, 0);  // a define without a buffer takes only the indicator
  void* target = static_cast<char*>(base) + stride * element;
  WriteResult r = WriteClientValue(value, type, dty, target, static_cast<std::uint32_t>(size), charset, settings);
  if (r.code != 0 && r.code != 1406) return finish(0, 0, r.code);
  return finish(r.indicator, r.length, r.code);
}

void ResetFetch(StmtH& s) {
  s.fetchPending = false;
  s.pieceDefine = nullptr;
  s.pieceSet = false;
  s.batchTruncated = false;
}

// Continues the fetch of the current batch; answers the status.
sword RunBatch(StmtH& s, OCIError* errhp) {
  // A dynamic define waiting for its pieces comes first.
  if (s.pieceDefine) {
    if (!s.pieceSet || !s.pieceBuffer || !s.pieceLength) return Fail(errhp, 24804);
    const std::size_t room = *s.pieceLength;
    std::size_t n = std::min(room, s.pieceData.size() - s.pieceOffset);
    std::size_t reported = n;
    if (!s.pieceSizes.empty()) {
      const std::size_t k = std::min(s.pieceNumber++, s.pieceSizes.size() - 1);
      // A piece carries at least a byte, or the fetch would never end.
      n = std::min<std::size_t>(n, std::max(1u, s.pieceSizes[k]));
      reported = k < s.pieceOver.size() && s.pieceOver[k] ? room + s.pieceOver[k] : n;
    }
    std::memcpy(s.pieceBuffer, s.pieceData.data() + s.pieceOffset, n);
    *s.pieceLength = static_cast<ub4>(reported);
    s.pieceOffset += n;
    if (s.pieceIndicator) *static_cast<sb2*>(s.pieceIndicator) = 0;
    if (s.pieceReturnCode) *s.pieceReturnCode = 0;
    s.pieceSet = false;
    if (s.pieceOffset < s.pieceData.size()) return oci::kNeedData;
    s.pieceDefine = nullptr;
    ++s.defineCursor;
  }
  // Looked up once per batch or value rather than once per piece: a long value can come in many thousands of them.
  const TextSettings settings = SettingsOf(s.session);
  std::vector<DefineH*> defines;
  for (auto& [position, define] : s.defines) defines.push_back(define.get());
  for (; s.batchElement < s.batchRows; ++s.batchElement, s.defineCursor = 0) {
    const auto& row = s.result.rows[s.batchStart + s.batchElement];
    for (; s.defineCursor < defines.size(); ++s.defineCursor) {
      DefineH* d = defines[s.defineCursor];
      const std::size_t column = d->position - 1;
      if (column >= row.size()) continue;
      const ColumnInfo& info = s.result.columns[column];
      const Value& value = row[column];
      const ub2 charset = BindCharset(s, d->charset, d->charsetForm);
      if (d->mode & oci::kDynamicFetch) {
        std::optional<PieceScript> script = TakePieceScript();
        if (script ? script->null : value.IsNull()) {
          if (d->indicator) static_cast<sb2*>(d->indicator)[s.batchElement] = -1;
          continue;
        }
        if (script) {
          s.pieceData = std::move(script->bytes);
          s.pieceSizes = std::move(script->sizes);
          s.pieceOver = std::move(script->over);
        } else {
          s.pieceData = IsTextType(d->dty) ? EncodeClientText(TextForm(value, info.type, settings), charset)
                                           : value.s;
          s.pieceSizes.clear();
          s.pieceOver.clear();
        }
        s.pieceNumber = 0;
        s.pieceOffset = 0;
        s.pieceDefine = d;
        s.pieceSet = false;
        s.fetchPending = true;
        return oci::kNeedData;
      }
      // A locator names its row where the query could tell it; one without a row cannot be written.
      RowOrigin origin = info.origin;
      const std::size_t rowIndex = s.batchStart + s.batchElement;
      if (info.namesRow && rowIndex < s.result.rowids.size()) {
        origin.rowid = s.result.rowids[rowIndex];
        origin.valid = true;
      }
      const int code = PlaceValue(value, info.type, origin, d->dty, d->value, d->size, d->indicator, d->length,
                                  d->returnCode, charset, s.batchElement, settings);
      if (code == 1406) {
        if (!d->indicator) return Fail(errhp, 1406);
        s.batchTruncated = true;
      } else if (code != 0) {
        ResetFetch(s);
        return Fail(errhp, code, code == 932 ? "column " + std::to_string(d->position) : std::string());
      }
    }
  }
  s.fetchPending = false;
  s.rowsFetched = static_cast<ub4>(s.batchRows);
  s.rowCount += static_cast<ub4>(s.batchRows);
  s.nextRow = s.batchStart + s.batchRows;
  if (s.batchTruncated) {
    s.batchTruncated = false;
    if (OraError* slot = ErrorSlot(errhp)) *slot = MakeOraError(1406);
    return oci::kSuccessWithInfo;
  }
  return oci::kSuccess;
}

sword StartFetch(StmtH& s, OCIError* errhp, ub4 rows, ub2 orientation) {
  if (!s.executed || !s.prepared) return Fail(errhp, 24338);
  if (!Session::IsLive(s.session)) return Fail(errhp, 1012);  // its session has ended
  if (s.plan.statementType != oci::kStmtSelect && !s.fromRefCursor) return Fail(errhp, 24374);
  if (s.fetchPending) return RunBatch(s, errhp);
  const std::size_t total = s.result.rows.size();
  std::size_t start = s.nextRow;
  switch (orientation) {
    case oci::kFetchFirst:
      start = 0;
      break;
    case oci::kFetchLast:
      start = total ? total - 1 : 0;
      rows = 1;
      break;
    case oci::kFetchPrior:
      start = s.nextRow >= 2 ? s.nextRow - 2 : total + 1;
      rows = 1;
      break;
    case oci::kFetchCurrent:
      start = s.nextRow ? s.nextRow - 1 : 0;
      rows = 1;
      break;
    default:
      if (s.endReached) return Fail(errhp, 1002);
      break;
  }
  if (rows == 0) return oci::kSuccess;  // a fetch of no rows only cancels
  const std::size_t available = start < total ? total - start : 0;
  s.batchStart = start;
  s.batchRows = std::min<std::size_t>(rows, available);
  s.batchElement = 0;
  s.defineCursor = 0;
  s.batchTruncated = false;
  s.fetchPending = true;
  sword status = RunBatch(s, errhp);
  if (status == oci::kSuccess || status == oci::kSuccessWithInfo) {
    if (s.batchRows < rows) {
      s.endReached = true;
      if (orientation == oci::kFetchNext || orientation == 0) s.nextRow = total;
      return oci::kNoData;
    }
  }
  return status;
}

// The place in the RETURNING ... INTO list of the marker a bind serves (by name, or by its position among all the
// statement's markers), if it serves one.
std::optional<std::size_t> ReturningItem(const SqlPlan& plan, const BindH& b) {
  for (std::size_t k = 0; k < plan.returningInto.size(); ++k) {
    if (b.name.empty() ? k < plan.returningPositions.size() && plan.returningPositions[k] == b.position
                       : plan.returningInto[k] == b.name) {
      return k;
    }
  }
  return std::nullopt;
}

// One returned value through a dynamic out bind: the callback gives a buffer for row `row`, which takes the value
// in the bind's external type; a text longer than the buffer goes on in further pieces, each in a buffer of its own.
sword PlaceThroughCallback(StmtH& s, BindH& b, OCIError* errhp, const ReturnedValue& rv, ub4 row,
                           const TextSettings& settings) {
  const ub2 charset = BindCharset(s, b.charset, b.charsetForm);
  const bool text = IsTextType(b.dty);
  const std::string bytes = rv.value.IsNull() || !text
                                ? std::string()
                                : EncodeClientText(TextForm(rv.value, rv.column.type, settings), charset);
  std::size_t offset = 0;
  for (int guard = 0; guard < 1000000; ++guard) {
    void* buffer = nullptr;
    ub4* length = nullptr;
    void* indicator = nullptr;
    ub2* code = nullptr;
    ub1 piece = offset == 0 ? oci::kOnePiece : oci::kNextPiece;
    if (b.outCallback(b.outContext, reinterpret_cast<OCIBind*>(&b), 0, row, &buffer, &length, &piece, &indicator,
                      &code) != oci::kContinue) {
      return Fail(errhp, 1008);
    }
    const std::size_t room = length ? *length : 0;
    if (!text) {
      // Numbers, dates, LOB locators and the rest: converted into the buffer as a plain bind's value would be.
      ub2 written = 0;
      const int ora = PlaceValue(rv.value, rv.column.type, rv.origin, b.dty, buffer, static_cast<sb4>(room),
                                 indicator, &written, code, charset, 0, settings);
      if (length) *length = rv.value.IsNull() ? 0 : written;
      if (ora != 0 && ora != 1406) return Fail(errhp, ora);
      return oci::kSuccess;
    }
    const std::size_t n = std::min(room, bytes.size() - offset);
    if (buffer && n) std::memcpy(buffer, bytes.data() + offset, n);
    if (length) *length = static_cast<ub4>(n);
    if (indicator) *static_cast<sb2*>(indicator) = rv.value.IsNull() ? -1 : 0;
    if (code) *code = 0;
    offset += n;
    if (offset >= bytes.size() || room == 0) break;
  }
  return oci::kSuccess;
}

// Sends returned values (RETURNING ... INTO) to their out binds: every row, to a dynamic bind through its callback
// (row by row, as the callback's index), to a plain bind in the successive elements of its arrays.
sword PlaceReturned(StmtH& s, OCIError* errhp, const ExecOutcome& outcome) {
  const TextSettings settings = SettingsOf(s.session);
  for (auto& bind : s.binds) {
    BindH& b = *bind;
    const std::optional<std::size_t> item = ReturningItem(s.plan, b);
    if (!item) continue;
    b.rowsReturned = outcome.returnedRows;
    ub4 delivered = 0;
    const ub4 elements = std::max<ub4>(b.maxElements, 1);
    for (const ReturnedValue& rv : outcome.returned) {
      if (rv.item != *item) continue;
      if (b.outCallback) {
        const sword status = PlaceThroughCallback(s, b, errhp, rv, rv.row, settings);
        if (status != oci::kSuccess) return status;
        continue;
      }
      if (rv.row >= elements) continue;  // the rows past the arrays' end are told by the element count
      const int code = PlaceValue(rv.value, rv.column.type, rv.origin, b.dty, b.value, b.size, b.indicator, b.length,
                                  b.returnCode, BindCharset(s, b.charset, b.charsetForm), rv.row, settings);
      if (code != 0 && code != 1406) return Fail(errhp, code);
      ++delivered;
    }
    if (b.currentElements && !b.outCallback) *b.currentElements = delivered;
  }
  return oci::kSuccess;
}

// Where in the statement's text a failure is: the first whole-word occurrence of the name it is about (any case),
// else its start. Offsets are bytes of the text as the program gave it in UTF-8; the word is ASCII in practice.
ub2 ParseErrorOffset(const std::string& sql, const std::string& token) {
  if (token.empty()) return 0;
  const std::string text = ToUpperAscii(sql);
  const std::string word = ToUpperAscii(token);
  auto isWordChar = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' || c == '#';
  };
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    const bool startsWord = at == 0 || !isWordChar(text[at - 1]);
    const bool endsWord = at + word.size() >= text.size() || !isWordChar(text[at + word.size()]);
    if (startsWord && endsWord) return static_cast<ub2>(std::min<std::size_t>(at, 0xFFFF));
  }
  return 0;
}

// Fails a statement's call with the error placed in its text.
sword FailStatement(StmtH& s, OCIError* errhp, OraError error) {
  error.offset = ParseErrorOffset(s.sql, error.token);
  s.parseErrorOffset = error.offset;
  return Fail(errhp, error);
}

void ForgetResult(StmtH& s) {
  s.result = ResultSet();
  s.executed = false;
  s.nextRow = 0;
  s.rowCount = 0;
  s.rowsFetched = 0;
  s.endReached = false;
  ResetFetch(s);
}

}  // namespace

QZOCI_EXPORT sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const OraText* text, ub4 length, ub4 language,
                                  ub4 mode) {
  StmtH* s = As<StmtH>(stmtp, oci::kHtypeStmt);
  const std::string sql = s ? ClientText(text, length, s->env->charset) : std::string();
  QZOCI_ENTER("OCIStmtPrepare", errhp, Detail() << "sql=" << sql << " language=" << language << " mode=" << mode);
  if (!s) return oci::kInvalidHandle;
  if (OraError* slot = ErrorSlot(errhp)) *slot = OraError();
  s->sql = sql;
  s->plan = RewriteSql(sql, std::string());
  s->planUser.clear();
  s->prepared = true;
  s->fromRefCursor = false;
  s->binds.clear();
  s->defines.clear();
  s->columns.clear();
  s->described = false;
  ForgetResult(*s);
  if (s->plan.action == SqlAction::kEmpty) return Fail(errhp, 900);
  return oci::kSuccess;
}

namespace {

sword Bind(StmtH* s, OCIBind** bindp, OCIError* errhp, const std::string& name, ub4 position, void* value,
           sb4 size, ub2 dty, void* indicator, ub2* length, ub2* code, ub4 maxElements, ub4* currentElements,
           ub4 mode) {
  if (!s || !bindp) return oci::kInvalidHandle;
  if (!s->prepared) return Fail(errhp, 24337);
  BindH* b = nullptr;
  for (auto& existing : s->binds) {
    if (existing.get() == reinterpret_cast<BindH*>(*bindp) ||
        (!name.empty() ? existing->name == name : existing->name.empty() && existing->position == position)) {
      b = existing.get();
    }
  }
  if (!b) {
    s->binds.push_back(std::make_unique<BindH>());
    b = s->binds.back().get();
    b->stmt = s;
  }
  b->name = name;
  b->position = position;
  b->value = value;
  b->size = size;
  b->dty = dty;
  b->indicator = indicator;
  b->length = length;
  b->returnCode = code;
  b->mode = mode;
  b->maxElements = maxElements;
  b->currentElements = currentElements;
  b->rowsReturned = 0;
  b->inCallback = nullptr;
  b->outCallback = nullptr;
  b->pieces.clear();
  b->piecesDone = false;
  *bindp = reinterpret_cast<OCIBind*>(b);
  return oci::kSuccess;
}

}  // namespace

QZOCI_EXPORT sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, const OraText* placeholder,
                                 sb4 placeholderLength, void* value, sb4 size, ub2 dty, void* indicator, ub2* length,
                                 ub2* code, ub4 maxElements, ub4* currentElements, ub4 mode) {
  StmtH* s = As<StmtH>(stmtp, oci::kHtypeStmt);
  std::string name = s ? ClientText(placeholder, static_cast<std::size_t>(std::max(placeholderLength, 0)),
                                    s->env->charset)
                       : std::string();
  QZOCI_ENTER("OCIBindByName", errhp,
              Detail() << "name=" << name << " dty=" << dty << " size=" << size << " mode=" << mode);
  if (!name.empty() && name[0] == ':') name.erase(0, 1);
  if (name.empty()) return Fail(errhp, 1036);
  return Bind(s, bindp, errhp, ToUpperAscii(name), 0, value, size, dty, indicator, length, code, maxElements,
              currentElements, mode);
}

QZOCI_EXPORT sword OCIBindByPos(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, ub4 position, void* value,
                                sb4 size, ub2 dty, void* indicator, ub2* length, ub2* code, ub4 maxElements,
                                ub4* currentElements, ub4 mode) {
  QZOCI_ENTER("OCIBindByPos", errhp,
              Detail() << "position=" << position << " dty=" << dty << " size=" << size << " mode=" << mode);
  return Bind(As<StmtH>(stmtp, oci::kHtypeStmt), bindp, errhp, std::string(), position, value, size, dty, indicator,
              length, code, maxElements, currentElements, mode);
}

QZOCI_EXPORT sword OCIBindDynamic(OCIBind* bindp, OCIError* errhp, void* inContext, OCICallbackInBind inCallback,
                                  void* outContext, OCICallbackOutBind outCallback) {
  QZOCI_ENTER("OCIBindDynamic", errhp, std::string());
  BindH* b = As<BindH>(bindp, oci::kHtypeBind);
  if (!b) return oci::kInvalidHandle;
  b->inContext = inContext;
  b->inCallback = inCallback;
  b->outContext = outContext;
  b->outCallback = outCallback;
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIBindArrayOfStruct(OCIBind* bindp, OCIError* errhp, ub4, ub4, ub4, ub4) {
  QZOCI_ENTER("OCIBindArrayOfStruct", errhp, std::string());
  return As<BindH>(bindp, oci::kHtypeBind) ? oci::kSuccess : oci::kInvalidHandle;
}

QZOCI_EXPORT sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** definep, OCIError* errhp, ub4 position, void* value,
                                  sb4 size, ub2 dty, void* indicator, ub2* length, ub2* code, ub4 mode) {
  QZOCI_ENTER("OCIDefineByPos", errhp,
              Detail() << "position=" << position << " dty=" << dty << " size=" << size << " mode=" << mode);
  StmtH* s = As<StmtH>(stmtp, oci::kHtypeStmt);
  if (!s) return oci::kInvalidHandle;
  if (position == 0) return Fail(errhp, 24334);
  auto& slot = s->defines[position];
  if (!slot) {
    slot = std::make_unique<DefineH>();
    slot->stmt = s;
    slot->position = position;
  }
  DefineH* d = slot.get();
  d->value = value;
  d->size = size;
  d->dty = dty;
  d->indicator = indicator;
  d->length = length;
  d->returnCode = code;
  d->mode = mode;
  if (definep) *definep = reinterpret_cast<OCIDefine*>(d);
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIDefineArrayOfStruct(OCIDefine* definep, OCIError* errhp, ub4, ub4, ub4, ub4) {
  QZOCI_ENTER("OCIDefineArrayOfStruct", errhp, std::string());
  return As<DefineH>(definep, oci::kHtypeDefine) ? oci::kSuccess : oci::kInvalidHandle;
}

QZOCI_EXPORT sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4 /*rowoff*/,
                                  const OCISnapshot*, OCISnapshot*, ub4 mode) {
  StmtH* s = As<StmtH>(stmtp, oci::kHtypeStmt);
  QZOCI_ENTER("OCIStmtExecute", errhp,
              Detail() << "iters=" << iters << " mode=0x" << std::hex << mode << std::dec
                       << " sql=" << (s ? s->sql : std::string()));
  SvcCtxH* svc = As<SvcCtxH>(svchp, oci::kHtypeSvcCtx);
  if (!s || !svc) return oci::kInvalidHandle;
  if (OraError* slot = ErrorSlot(errhp)) *slot = OraError();
  s->parseErrorOffset = 0;
  if (s->fromRefCursor) return oci::kSuccess;  // opened by the block that bound it: already run and described
  if (!s->prepared) return Fail(errhp, 24337);
  Session* session = SessionOfService(svc);
  if (!session) return Fail(errhp, 1012);
  if (s->planUser != session->MainSchema()) {
    s->plan = RewriteSql(s->sql, session->MainSchema(), session->SynonymTargets());
    s->planUser = session->MainSchema();
  }
  const bool parseOnly = (mode & oci::kParseOnly) != 0;
  const bool describeOnly = (mode & oci::kDescribeOnly) != 0 || parseOnly;
  const bool query = s->plan.statementType == oci::kStmtSelect;
  // Each execution applies a statement once: a DML statement asked to run for an array of rows is refused before
  // anything runs, rather than applied to its first row alone as if it had done them all.
  if (!describeOnly && !query && iters > 1) {
    return Fail(errhp, 3001, "array execution (iters " + std::to_string(iters) + ") of DML; the limit is 1");
  }
  // Parsing without executing: queries and DML are checked against the schema; any other statement (DDL, session
  // and transaction control, blocks) would act when run, so it is only taken as parsed.
  if (parseOnly && s->plan.action != SqlAction::kRun) return oci::kSuccess;
  // Piecewise input: every data-at-execution bind without callbacks sends its pieces first.
  if (!describeOnly) {
    for (std::size_t k = 0; k < s->binds.size(); ++k) {
      BindH& b = *s->binds[k];
      if ((b.mode & oci::kDataAtExec) && !b.inCallback && !b.piecesDone) {
        if (ReturningItem(s->plan, b)) continue;
        s->needInput = true;
        s->pendingBind = k;
        return oci::kNeedData;
      }
    }
  }
  s->needInput = false;
  std::vector<BindInput> inputs;
  for (auto& bind : s->binds) {
    BindH& b = *bind;
    if (b.dty == oci::kSqltRset) continue;
    if (ReturningItem(s->plan, b)) continue;
    BindInput input{b.name, b.position, Value()};
    OraError error;
    if (!describeOnly && !ReadBind(*s, b, input.value, error)) return Fail(errhp, error);
    inputs.push_back(std::move(input));
  }
  for (auto& bind : s->binds) {
    bind->piecesDone = false;
    bind->pieces.clear();
  }
  ForgetResult(*s);
  s->session = session;
  s->svc = svc;
  ExecOutcome outcome;
  OraError error = session->Execute(s->plan, inputs, describeOnly, outcome);
  if (error) return FailStatement(*s, errhp, error);
  s->executed = true;
  if (s->plan.action == SqlAction::kOpenCursor) {
    // The query's rows go to the statement handle bound as the REF CURSOR.
    for (auto& bind : s->binds) {
      if (bind->dty != oci::kSqltRset || bind->name != s->plan.objectName || !bind->value) continue;
      StmtH* cursor = As<StmtH>(*static_cast<void**>(bind->value), oci::kHtypeStmt);
      if (!cursor) return Fail(errhp, 1008);
      ForgetResult(*cursor);
      cursor->sql = s->plan.text;
      cursor->plan = RewriteSql(s->plan.text, session->MainSchema(), session->SynonymTargets());
      cursor->planUser = session->MainSchema();
      cursor->prepared = true;
      cursor->executed = true;
      cursor->fromRefCursor = true;
      cursor->session = session;
      cursor->svc = svc;
      cursor->result = std::move(outcome.result);
      DescribeColumns(*cursor);
      if (bind->indicator) *static_cast<sb2*>(bind->indicator) = 0;
    }
    return oci::kSuccess;
  }
  if (query) {
    s->result = std::move(outcome.result);
    DescribeColumns(*s);
  } else if (!describeOnly) {
    s->rowCount = outcome.rowCount;
    const sword placed = PlaceReturned(*s, errhp, outcome);
    if (placed != oci::kSuccess) return placed;
  }
  if (describeOnly) return oci::kSuccess;
  if ((mode & oci::kCommitOnSuccess) && !(svc->trans && svc->trans->started && !svc->trans->detached &&
                                          s->plan.statementType == oci::kStmtSelect)) {
    error = session->Commit();
    if (error) return Fail(errhp, error);
  }
  if (s->plan.statementType == oci::kStmtSelect && iters > 0) return StartFetch(*s, errhp, iters, oci::kFetchNext);
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 rows, ub2 orientation, ub4 mode) {
  QZOCI_ENTER("OCIStmtFetch", errhp, Detail() << "rows=" << rows << " orientation=" << orientation << " mode=" << mode);
  StmtH* s = As<StmtH>(stmtp, oci::kHtypeStmt);
  if (!s) return oci::kInvalidHandle;
  if (OraError* slot = ErrorSlot(errhp)) *slot = OraError();
  return StartFetch(*s, errhp, rows, orientation);
}

QZOCI_EXPORT sword OCIStmtFetch2(OCIStmt* stmtp, OCIError* errhp, ub4 rows, ub2 orientation, sb4, ub4 mode) {
  return OCIStmtFetch(stmtp, errhp, rows, orientation, mode);
}

QZOCI_EXPORT sword OCIStmtGetPieceInfo(OCIStmt* stmtp, OCIError* errhp, void** handle, ub4* type, ub1* inOut,
                                       ub4* iteration, ub4* index, ub1* piece) {
  QZOCI_ENTER("OCIStmtGetPieceInfo", errhp, std::string());
  StmtH* s = As<StmtH>(stmtp, oci::kHtypeStmt);
  if (!s) return oci::kInvalidHandle;
  if (iteration) *iteration = 0;
  if (index) *index = 0;
  if (s->needInput && s->pendingBind < s->binds.size()) {
    BindH* b = s->binds[s->pendingBind].get();
    if (handle) *handle = b;
    if (type) *type = oci::kHtypeBind;
    if (inOut) *inOut = 0;  // OCI_PARAM_IN
    if (piece) *piece = b->pieces.empty() ? oci::kFirstPiece : oci::kNextPiece;
    return oci::kSuccess;
  }
  if (s->fetchPending && s->pieceDefine) {
    if (handle) *handle = s->pieceDefine;
    if (type) *type = oci::kHtypeDefine;
    if (inOut) *inOut = 1;  // OCI_PARAM_OUT
    if (iteration) *iteration = static_cast<ub4>(s->batchElement);
    if (piece) *piece = s->pieceOffset == 0 ? oci::kFirstPiece : oci::kNextPiece;
    return oci::kSuccess;
  }
  return Fail(errhp, 24804);
}

QZOCI_EXPORT sword OCIStmtSetPieceInfo(void* handle, ub4 type, OCIError* errhp, const void* buffer, ub4* length,
                                       ub1 piece, const void* indicator, ub2* code) {
  QZOCI_ENTER("OCIStmtSetPieceInfo", errhp,
              Detail() << "type=" << type << " piece=" << static_cast<int>(piece) << " length=" << (length ? *length : 0));
  if (type == oci::kHtypeBind) {
    BindH* b = As<BindH>(handle, oci::kHtypeBind);
    if (!b) return oci::kInvalidHandle;
    if (indicator && *static_cast<const sb2*>(indicator) == -1) b->pieceNull = true;
    if (buffer && length && *length) b->pieces.append(static_cast<const char*>(buffer), *length);
    if (piece == oci::kOnePiece || piece == oci::kLastPiece) {
      b->piecesDone = true;
      if (b->pieces.empty() && !indicator) b->pieceNull = true;
    }
    return oci::kSuccess;
  }
  if (type == oci::kHtypeDefine) {
    DefineH* d = As<DefineH>(handle, oci::kHtypeDefine);
    if (!d || !d->stmt) return oci::kInvalidHandle;
    StmtH* s = d->stmt;
    s->pieceBuffer = const_cast<void*>(buffer);
    s->pieceLength = length;
    s->pieceIndicator = const_cast<void*>(indicator);
    s->pieceReturnCode = code;
    s->pieceSet = true;
    return oci::kSuccess;
  }
  return oci::kInvalidHandle;
}

QZOCI_EXPORT sword OCIParamGet(const void* handle, ub4 type, OCIError* errhp, void** parameter, ub4 position) {
  QZOCI_ENTER("OCIParamGet", errhp, Detail() << "htype=" << type << " position=" << position);
  if (!parameter) return oci::kInvalidHandle;
  if (const StmtH* s = As<StmtH>(handle, oci::kHtypeStmt); s && type == oci::kHtypeStmt) {
    if (!s->described) return Fail(const_cast<OCIError*>(errhp), 24338);
    if (position < 1 || position > s->columns.size()) return Fail(errhp, 24334);
    *parameter = s->columns[position - 1].get();
    return oci::kSuccess;
  }
  if (const ParamD* p = As<ParamD>(handle, oci::kDtypeParam); p && type == oci::kDtypeParam) {
    const ParamD* list = p->list ? p->list : p;
    if (position < 1 || position > list->children.size()) return Fail(errhp, 24334);
    *parameter = list->children[position - 1].get();
    return oci::kSuccess;
  }
  return oci::kInvalidHandle;
}
