// COracleRecordDescription's catalog reads: column defaults (ALL_TAB_COLUMNS), keys (ALL_IND_COLUMNS with
// ALL_INDEXES), the object kind (ALL_OBJECTS, for the OCI7 describe) and the column comments (ALL_COL_COMMENTS).
// Names go into these texts as literals, each quote doubled so that a name holding one stays one literal, and as
// the server holds what the driver writes for them: a table the program names "plain", created so, is PLAIN there.
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record_factories.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "oracle/client/client_loader.h"
#include "oracle/client/oci_session_calls.h"
#include "oracle/client/oci_wrappers.h"
#include "oracle/oracle_connection.h"
#include "oracle/oracle_describe_support.h"
#include "oracle/oracle_record_description.h"
#include "sql/internal_query.h"

using namespace describe_oci;

namespace {

constexpr std::int32_t HOST_RESULT_FAILED_FROM = 100;
constexpr std::uint32_t READ_FIRST_ROW = 0;
constexpr std::uint32_t READ_NEXT_ROW = 2;
constexpr std::uint16_t KEY_UNIQUE = COLUMN_FLAG_UNIQUE | COLUMN_FLAG_ASCENDING;
constexpr std::uint16_t KEY_DUPLICATES = COLUMN_FLAG_DUPLICATES | COLUMN_FLAG_ASCENDING;
constexpr std::uint32_t COLUMN_TYPE_NATIONAL_TEXT = 29;
// A comment is a VARCHAR2(4000); the narrow buffer leaves room for four bytes a character in the client's code page.
constexpr std::uint32_t COMMENT_UNITS = 4000;
constexpr std::uint32_t COMMENT_NARROW_BYTES = COMMENT_UNITS * 4 + 1;
constexpr std::uint32_t COMMENT_WIDE_BYTES = (COMMENT_UNITS + 1) * 2;

// The name as the body of a quoted literal: each quote doubled.
// False when memory cut the text short.
bool AppendLiteralBody(CTString& out, const char16_t* name) {
  std::size_t expected = out.nGetLength();
  for (const char16_t* p = name ? name : u""; *p; ++p) {
    if (*p == u'\'') {
      out.AppendChar(u'\'');
      ++expected;
    }
    out.AppendChar(*p);
    ++expected;
  }
  return out.nGetLength() == expected;
}

// The same as a LIKE pattern matching the name alone: its own '_', '%' and '\' escaped by '\'.
void AppendLikeBody(CTString& out, const char16_t* name) {
  for (const char16_t* p = name ? name : u""; *p; ++p) {
    if (*p == u'_' || *p == u'%' || *p == u'\\') out.AppendChar(u'\\');
    if (*p == u'\'') out.AppendChar(u'\'');
    out.AppendChar(*p);
  }
}

// The name as the server holds it (see CConnection::nServerHeldName); false when memory refused it.
bool bHeldName(CConnection* connection, const char16_t* name, CTString& held) {
  return connection && connection->nServerHeldName(nullptr, name ? name : u"", held) != 0;
}

// The same in place.
bool bHoldAsServer(CConnection* connection, CTString& name) {
  CTString held;
  if (!connection || !connection->nServerHeldName(nullptr, name.pszGet(), held)) return false;
  name = static_cast<CTString&&>(held);
  return true;
}

// The item of the column the catalog names, by the server's name in its case: two columns whose names differ only
// in case are two items ("a" after "A" is a2), which the items' own rule, blind to case, would take for one.
CColumnDescriptor* pItemOfColumn(CRecordDescription& description, const char16_t* name) {
  const std::u16string_view wanted(name ? name : u"");
  for (std::uint32_t i = 0; i < description.nGetItemCount(); ++i) {
    CColumnDescriptor* item = description.pGetItemAt(i);
    if (item->bHasServerCaption() && wanted == item->pszGetCaption()) return item;
  }
  return nullptr;
}

constexpr const char16_t* DEFAULTS_QUERY_START = u"SELECT COLUMN_NAME, DATA_DEFAULT FROM ALL_TAB_COLUMNS WHERE ";

// False when memory refused a piece. A refused piece empties the string, so the text starts as it should only when
// none was refused: a query cut short would ask for another table's defaults, or fail and leave them out.
bool bFormatDefaultsQuery(CTString& out, const char16_t* owner, const char16_t* table, bool like) {
  out = DEFAULTS_QUERY_START;
  if (like) {
    out.Append(u"OWNER LIKE '");
    AppendLikeBody(out, owner);
    out.Append(u"' ESCAPE '\\' AND TABLE_NAME LIKE '");
    AppendLikeBody(out, table);
    out.Append(u"' ESCAPE '\\'");
  } else {
    out.Append(u"OWNER = '");
    AppendLiteralBody(out, owner);
    out.Append(u"' AND TABLE_NAME = '");
    AppendLiteralBody(out, table);
    out.Append(u"'");
  }
  return out.nFind(DEFAULTS_QUERY_START, 0) == 0;
}

bool bIsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

bool bIsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A signed decimal number with an optional exponent.
bool bIsNumberLiteral(const char16_t* p) {
  if (*p == u'+' || *p == u'-') ++p;
  bool digits = false;
  while (bIsDigit(*p)) ++p, digits = true;
  if (*p == u'.') {
    ++p;
    while (bIsDigit(*p)) ++p, digits = true;
  }
  if (!digits) return false;
  if (*p == u'e' || *p == u'E') {
    ++p;
    if (*p == u'+' || *p == u'-') ++p;
    if (!bIsDigit(*p)) return false;
    while (bIsDigit(*p)) ++p;
  }
  return *p == 0;
}

// The literal of a DATA_DEFAULT: Oracle keeps the text as it was typed, blanks and line ends included, and a default
// may be any expression. Only NULL, a quoted text (national or not) and a number are values; anything else
// (SYSDATE, USER, a function call) is computed by the server at each insert and gives the column no default here.
bool bReadDefaultLiteral(const char16_t* text, CTString& literal) {
  const char16_t* begin = text ? text : u"";
  while (bIsBlank(*begin)) ++begin;
  const char16_t* end = begin;
  for (const char16_t* p = begin; *p; ++p) {
    if (!bIsBlank(*p)) end = p + 1;
  }
  if ((*begin == u'N' || *begin == u'n') && end - begin >= 3 && begin[1] == u'\'') ++begin;
  literal.AssignN(begin, static_cast<std::size_t>(end - begin));
  const std::size_t length = literal.nGetLength();
  // Memory refused the copy: no literal, rather than the NULL an empty one reads as (the caller tells the two apart).
  if (length != static_cast<std::size_t>(end - begin)) return false;
  if (length == 0 || literal.bEqualsNoCase(u"NULL")) return true;
  if (length >= 2 && begin[0] == u'\'' && end[-1] == u'\'') return true;
  return bIsNumberLiteral(literal.pszGet());
}

// A row value as text; empty for NULL or a value that has no text form. False when memory refused the text.
bool ValueText(CHostValue& value, CTString& out) {
  out.Empty();
  if (value.bIsNull() || value.nGetType() == 0) return true;
  const std::int32_t converted = value.nConvert(HOST_TYPE_TEXT);
  if (converted == HOST_ERR_TOO_LONG) return false;
  if (converted >= HOST_RESULT_FAILED_FROM) return true;
  const char16_t* text = nullptr;
  if (value.nGetWideText(&text) != 0 || !text) {
    value.EnsureWideText();
    if (value.nGetWideText(&text) != 0 || !text) return false;
  }
  out = text;
  return out.nGetLength() == std::char_traits<char16_t>::length(text);
}

// The rewriter's own out-of-memory error (a text that could not grow) is memory refused as well as the system's.
bool bMemoryRefused(CErrorHolder* holder) { return holder && bFailedForMemory(holder->pGetEmbeddedObject()); }

// The internal query released however the read ends.
struct SQueryRelease {
  void operator()(CInternalQuery* query) const { query->nRelease(); }
};
using CQueryRef = std::unique_ptr<CInternalQuery, SQueryRelease>;

CQueryRef pRunCatalogQuery(const CTString& text, CErrorHolder* holder, CConnection* connection) {
  CInternalQuery* query = CInternalQuery::pCreate(text.pszGet(), holder, connection);
  if (query) query->AddRef();
  return CQueryRef(query);
}

// A statement handle and its defines, freed however the read ends.
class CCommentStatement {
 public:
  CCommentStatement(COracleConnection* connection, CErrorHolder* holder)
      : m_pConnection(connection), m_pHandle(nOciHandleAlloc(connection, holder, HTYPE_STMT)) {}
  ~CCommentStatement() {
    for (void* define : m_defines) {
      if (define && !gbOci7Mode) nOciHandleFree(m_pConnection, nullptr, define, HTYPE_DEFINE);
    }
    if (m_pHandle) nOciHandleFree(m_pConnection, nullptr, m_pHandle, HTYPE_STMT);
  }
  CCommentStatement(const CCommentStatement&) = delete;
  CCommentStatement& operator=(const CCommentStatement&) = delete;
  void* pGet() const { return m_pHandle; }
  void** pNewDefine() { return &m_defines[m_nDefines++]; }

 private:
  COracleConnection* m_pConnection;
  void* m_pHandle;
  void* m_defines[2] = {nullptr, nullptr};
  std::uint32_t m_nDefines = 0;
};

}  // namespace

const char16_t* COracleRecordDescription::pszCatalogOwner() {
  const char16_t* owner = pszGetOwnerName();
  if ((!owner || !owner[0]) && pGetConnection()) owner = pGetConnection()->pszGetUserId();
  return owner ? owner : u"";
}

int COracleRecordDescription::bLoadDefaults() {
  CTString text;
  CTString owner;
  CTString table;
  bool noRow = false;
  if (bHeldName(pGetConnection(), pszCatalogOwner(), owner) && bHeldName(pGetConnection(), pszGetName(), table) &&
      bFormatDefaultsQuery(text, owner.pszGet(), table.pszGet(), false)) {
    const int result = bApplyDefaults(text, &noRow);
    if (!noRow) return result;
    if (bFormatDefaultsQuery(text, owner.pszGet(), table.pszGet(), true)) return bApplyDefaults(text, &noRow);
  }
  SetHolderOutOfMemory(pGetErrorHolder());
  return 0;
}

int COracleRecordDescription::bApplyDefaults(const CTString& text, bool* noRow) {
  *noRow = false;
  CErrorHolder* holder = pGetErrorHolder();
  // Defaults are a convenience: a catalog that cannot be read leaves the columns without them. Memory refused is
  // another matter: the description would be told whole while a default was lost or read as an empty value.
  CQueryRef query = pRunCatalogQuery(text, holder, pGetConnection());
  if (!query) {
    if (bMemoryRefused(holder)) return 0;
    if (holder) holder->Clear();
    return 1;
  }
  CHostValue values[2];
  CTString name;
  CTString defaultText;
  CTString literal;
  for (std::uint32_t direction = READ_FIRST_ROW;; direction = READ_NEXT_ROW) {
    std::uint32_t end = 0;
    const int read = query->bFetchRow(direction, &end, values, 2);
    if (!read || end) {
      if (!read && bMemoryRefused(holder)) return 0;
      *noRow = read && direction == READ_FIRST_ROW;
      break;
    }
    if (!ValueText(values[0], name) || !ValueText(values[1], defaultText)) {
      SetHolderOutOfMemory(holder);
      return 0;
    }
    CColumnDescriptor* item = pItemOfColumn(*this, name.pszGet());
    if (!item) item = piFindItemByName(name.pszGet(), FIND_ITEM_DEFAULT);
    // A default that is no literal, or one the column cannot take, is passed over: the later columns keep theirs.
    if (!item) continue;
    if (!bReadDefaultLiteral(defaultText.pszGet(), literal)) {
      if (!literal.bIsEmpty() || defaultText.bIsEmpty()) continue;
      SetHolderOutOfMemory(holder);
      return 0;
    }
    CHostValue value;
    if (!pGetConnection()->bParseSqlLiteral(&value, literal.pszGet(), *item, holder)) {
      if (bMemoryRefused(holder)) return 0;
      continue;
    }
    // The allocator refuses with a code below the failure codes; a default the column's type cannot take is kept
    // as read.
    const auto set = static_cast<std::uint32_t>(item->bSetDefaultValue(value));
    if (set != HOST_OK && (!bHostFailed(set) || bMemoryRefused(holder))) {
      SetHolderOutOfMemory(holder);
      return 0;
    }
  }
  if (holder) holder->Clear();
  return 1;
}

int COracleRecordDescription::bLoadIndexes(const char16_t* name) try {
  CTString first;
  CTString owner;
  CTString table;
  // Every piece is checked: a query that memory cut short would name no table, or list another owner's indexes.
  bool whole = pGetConnection()->nSplitQualifiedName(first, owner, table, name) != 0;
  if (owner.bIsEmpty()) {
    const char16_t* user = pGetConnection()->pszGetUserId();
    owner = user;
    whole = whole && owner.nGetLength() == std::char_traits<char16_t>::length(user ? user : u"");
  }
  if (!owner.bIsEmpty()) whole = bHoldAsServer(pGetConnection(), owner) && whole;
  whole = bHoldAsServer(pGetConnection(), table) && whole;
  CTString text(
      u"SELECT ALL_IND_COLUMNS.INDEX_NAME, ALL_IND_COLUMNS.COLUMN_NAME, ALL_IND_COLUMNS.COLUMN_POSITION, "
      u"ALL_INDEXES.UNIQUENESS"
      u" FROM  SYS.ALL_IND_COLUMNS,SYS.ALL_INDEXES WHERE ALL_IND_COLUMNS.INDEX_NAME=ALL_INDEXES.INDEX_NAME AND "
      u"ALL_IND_COLUMNS.INDEX_OWNER=ALL_INDEXES.OWNER ");
  whole = whole && !text.bIsEmpty();
  const auto add = [&text, &whole](const char16_t* piece) {
    const std::size_t before = text.nGetLength();
    text.Append(piece);
    whole = whole && text.nGetLength() == before + std::char_traits<char16_t>::length(piece);
  };
  if (!owner.bIsEmpty()) {
    add(u"AND ALL_IND_COLUMNS.TABLE_OWNER='");
    whole = AppendLiteralBody(text, owner.pszGet()) && whole;
    add(u"' ");
  }
  add(u"AND ALL_IND_COLUMNS.TABLE_NAME='");
  whole = AppendLiteralBody(text, table.pszGet()) && whole;
  add(u"' ORDER BY INDEX_NAME,COLUMN_POSITION DESC");
  CErrorHolder* holder = pGetErrorHolder();
  if (!whole) {
    SetHolderOutOfMemory(holder);
    return 0;
  }
  CQueryRef query = pRunCatalogQuery(text, holder, pGetConnection());
  if (!query) return 0;

  // Rows come index by index, highest position first: the components wait in `pending` (ascending) until the row of
  // position 1 closes their index. A new index name starts afresh, so that an index whose first row never came
  // lends nothing to the next; an index on a column the description lacks (a hidden or function-based one) gives
  // no key at all rather than a shorter, wrong one.
  CHostValue values[4];
  CTString indexName;
  CTString currentIndex;
  CTString columnName;
  CTString uniqueness;
  std::vector<CColumnDescriptor*> pending;
  bool skipIndex = false;
  for (std::uint32_t direction = READ_FIRST_ROW;; direction = READ_NEXT_ROW) {
    std::uint32_t end = 0;
    const int read = query->bFetchRow(direction, &end, values, 4);
    // Memory refused is no end of the keys: the description would be told whole without some of them.
    if (!read && bMemoryRefused(holder)) return 0;
    if (!read || end) break;
    if (!ValueText(values[0], indexName) || !ValueText(values[1], columnName) || !ValueText(values[3], uniqueness)) {
      SetHolderOutOfMemory(holder);
      return 0;
    }
    std::int32_t position = 0;
    if (!values[2].bIsNull() && values[2].nConvert(HOST_TYPE_INT32) < HOST_RESULT_FAILED_FROM) {
      values[2].nGet(&position);
    }
    if (direction == READ_FIRST_ROW || !currentIndex.bEquals(indexName.pszGet())) {
      currentIndex = indexName;
      pending.clear();
      skipIndex = false;
    }
    if (skipIndex) continue;
    CColumnDescriptor* item = pItemOfColumn(*this, columnName.pszGet());
    if (!item) item = piFindItemByName(columnName.pszGet(), FIND_ITEM_DEFAULT);
    if (!item) {
      skipIndex = true;
      pending.clear();
      continue;
    }
    pending.insert(pending.begin(), item);
    if (position != 1) continue;
    const std::uint16_t flags = uniqueness.bEquals(u"UNIQUE") ? KEY_UNIQUE : KEY_DUPLICATES;
    if (pending.size() == 1) {
      item->bSetKeyInfo(nGetKeyCount(), flags);
      if (!bAppendKey(item)) {
        SetHolderOutOfMemory(holder);
        return 0;
      }
    } else {
      CColumnDescriptor* key = pCreateColumnDescriptorThroughDriver(this, 0);
      if (!key) {
        SetHolderOutOfMemory(holder);
        return 0;
      }
      int set = key->bSetAll(indexName.pszGet(), u"", u"", 1, 0, COLUMN_TYPE_BINARY, nGetItemCount(), nGetKeyCount(),
                             static_cast<std::uint16_t>(flags | COLUMN_FLAG_COMPOSITE_KEY), 0, 0);
      // The components are distinct columns of this description: one refused is memory refused.
      for (CColumnDescriptor* component : pending) set = key->bAddComponent(component) && set;
      if (!set || !AddItem(key)) {
        key->DeletingDestructor(1);
        SetHolderOutOfMemory(holder);
        return 0;
      }
    }
    pending.clear();
  }
  return 1;
} catch (const std::bad_alloc&) {
  // The pending components are a standard list: memory it cannot get fails the load as any other shortage does.
  SetHolderOutOfMemory(pGetErrorHolder());
  return 0;
}

// Zero only when memory was refused: a kind the catalog does not give leaves the object a table, as described.
int COracleRecordDescription::nLoadObjectKind() {
  static constexpr char16_t kStart[] = u"SELECT  OWNER,OBJECT_NAME,OBJECT_TYPE FROM ALL_OBJECTS WHERE OBJECT_NAME='";
  CErrorHolder* holder = pGetErrorHolder();
  CTString text(kStart);
  CTString table;
  CTString owner;
  bool whole = bHeldName(pGetConnection(), pszGetName(), table) && bHeldName(pGetConnection(), pszCatalogOwner(), owner);
  whole = AppendLiteralBody(text, table.pszGet()) && whole;
  // The printf form's "%%" is one '%' on the wire.
  text.Append(u"' AND OBJECT_TYPE NOT LIKE 'INDEX%' ");
  if (!owner.bIsEmpty()) {
    text.Append(u"AND OWNER='");
    whole = AppendLiteralBody(text, owner.pszGet()) && whole;
    text.Append(u"' ");
  }
  // A refused piece empties the text: the query would fail, or read a kind that is not this object's.
  if (!whole || text.nFind(kStart, 0) != 0) {
    SetHolderOutOfMemory(holder);
    return 0;
  }
  CQueryRef query = pRunCatalogQuery(text, holder, pGetConnection());
  if (!query) return bMemoryRefused(holder) ? 0 : 1;
  CHostValue values[3];
  std::uint32_t end = 0;
  if (!query->bFetchRow(READ_FIRST_ROW, &end, values, 3)) return bMemoryRefused(holder) ? 0 : 1;
  if (end) return 1;
  CTString type;
  // A type memory refused would read as no kind known, and the table would lose its defaults.
  if (!ValueText(values[2], type)) {
    SetHolderOutOfMemory(holder);
    return 0;
  }
  static const struct {
    const char16_t* name;
    std::uint32_t kind;
  } kKinds[] = {{u"TABLE", ORACLE_OBJECT_TABLE},         {u"VIEW", ORACLE_OBJECT_VIEW},
                {u"PROCEDURE", ORACLE_OBJECT_PROCEDURE}, {u"FUNCTION", ORACLE_OBJECT_FUNCTION},
                {u"PACKAGE", ORACLE_OBJECT_PACKAGE},     {u"SEQUENCE", ORACLE_OBJECT_SEQUENCE},
                {u"SYNONYM", ORACLE_OBJECT_SYNONYM}};
  m_nObjectKind = 0;
  for (const auto& entry : kKinds) {
    if (type.bEquals(entry.name)) m_nObjectKind = entry.kind;
  }
  return 1;
}

int COracleRecordDescription::bLoadComments() try {
  COracleConnection* connection = pOracleConnectionOf(*this);
  if (!connection) return 0;
  CErrorHolder* holder = pGetErrorHolder();
  CTString text(u"SELECT COLUMN_NAME, COMMENTS FROM SYS.ALL_COL_COMMENTS WHERE COMMENTS IS NOT NULL AND TABLE_NAME='");
  CTString owner;
  CTString table;
  if (m_nObjectKind == ORACLE_OBJECT_SYNONYM) {
    // The target's pieces are the server's own names.
    CTString first;
    connection->nSplitQualifiedName(first, owner, table, m_strSynonymTarget.pszGet());
    if (!first.bIsEmpty()) return 1;
  } else if (!bHeldName(connection, pszGetName(), table) || !bHeldName(connection, pszCatalogOwner(), owner)) {
    SetHolderOutOfMemory(holder);
    return 0;
  }
  AppendLiteralBody(text, table.pszGet());
  text.Append(u"' ");
  if (!owner.bIsEmpty()) {
    text.Append(u"AND OWNER='");
    AppendLiteralBody(text, owner.pszGet());
    text.Append(u"' ");
  }

  const bool utf16 = bSessionIsUtf16(connection);
  const std::uint32_t bytes = utf16 ? COMMENT_WIDE_BYTES : COMMENT_NARROW_BYTES;
  // Two buffers of char16_t units, so that a UTF-16 client's text is aligned.
  std::vector<char16_t> columnBuffer((bytes + 1) / 2 + 1, 0);
  std::vector<char16_t> commentBuffer((bytes + 1) / 2 + 1, 0);
  std::uint16_t lengths[2] = {0, 0};
  std::int16_t indicators[2] = {0, 0};
  std::uint16_t codes[2] = {0, 0};
  const std::uint32_t columnType = utf16 ? COLUMN_TYPE_NATIONAL_TEXT : 0;
  CCommentStatement statement(connection, holder);
  if (!statement.pGet() || !nOciStmtPrepare(connection, holder, statement.pGet(), text.pszGet()) ||
      !nOciDefineByPos(connection, holder, statement.pGet(), statement.pNewDefine(), 1, columnBuffer.data(), bytes,
                       &lengths[0], SQLT_STR, &indicators[0], &codes[0], 0, columnType) ||
      !nOciDefineByPos(connection, holder, statement.pGet(), statement.pNewDefine(), 2, commentBuffer.data(), bytes,
                       &lengths[1], SQLT_STR, &indicators[1], &codes[1], 0, columnType) ||
      !nOciStmtExecute(connection, holder, statement.pGet(), text.pszGet(), 1, 0, nullptr, 0)) {
    return 0;
  }
  CTString column;
  CTString comment;
  for (;;) {
    std::uint32_t end = 0;
    if (!nOciStmtFetch(connection, holder, statement.pGet(), 1, FETCH_NEXT, &end, nullptr)) return 0;
    if (end) break;
    if (indicators[1] == -1) continue;
    // A comment or a column name memory cut short would be kept as the column's, or looked for in vain.
    if (!bReadSessionText(connection, commentBuffer.data(), bytes, comment) ||
        (!comment.bIsEmpty() && !bReadSessionText(connection, columnBuffer.data(), bytes, column))) {
      SetHolderOutOfMemory(holder);
      return 0;
    }
    if (comment.bIsEmpty()) continue;
    CColumnDescriptor* exact = pItemOfColumn(*this, column.pszGet());
    CColumnDescriptor* item = exact ? exact : piFindItemOrRaise(column.pszGet());
    if (!item) continue;
    const CTString second(item->pszGetSecondName());
    const CTString third(item->pszGetThirdName());
    item->SetTexts(second.pszGet(), comment.pszGet(), third.pszGet());
    if (!exact) item->nRelease();
  }
  return 1;
} catch (const std::bad_alloc&) {
  // The fetch buffers are standard vectors: memory they cannot get fails the comments, not the program.
  SetHolderOutOfMemory(pGetErrorHolder());
  return 0;
}
