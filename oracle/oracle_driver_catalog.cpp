// What the Oracle driver object answers from the configuration file and the dictionary: the database list, the native
// type list, the catalog of a connection and the referential links of a table.
#include <memory>
#include <new>
#include <string>

#include "engine/record/column.h"
#include "engine/table/foreign_key_link.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/t_string.h"
#include "foundation/text_buffer.h"
#include "host/host_objects.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "oracle/oracle_catalog_lister.h"
#include "oracle/oracle_driver.h"
#include "platform/profile.h"
#include "sql/connection.h"
#include "sql/internal_query.h"

namespace {

constexpr std::uint32_t DATABASE_LIST_UNITS = 5000;

// The value becomes a text value holding the text, neither NULL nor marked; a text the runtime could not make is
// out of memory, not an empty list.
int bSetText(CErrorHolder* holder, void* value, const char16_t* text) {
  auto* host = static_cast<CHostValue*>(value);
  if (!host) return 1;
  host->SetType(HOST_TYPE_TEXT);
  // A heap text answers its allocator's refusal with a failure code, the runtime's with one of its own below them.
  if (!bHostStored(static_cast<std::uint32_t>(host->Ops().SetFromWideZ(host->pHolder(), text)))) {
    SetHolderOutOfMemory(holder);
    return 0;
  }
  host->SetFlags(0);
  return 1;
}

// The referential-links query, its five parts around the owner and table patterns. The referencing column is joined
// on its own constraint's owner in both halves, so that a foreign key into another schema is listed too.
constexpr const char16_t* Q1 =
    u"-- sélection des contraintes primaires ou uniques P\r\nselect all_r_cons.owner, all_r_cons.constraint_name, "
    u"--constrainte R \r\n\t   all_constraints.owner, -- owner de table P\r\n\t   all_constraints.table_name, --table P "
    u"\r\n\t   p_col.column_name, --colonne P \r\n\t   p_col.position, --position colonne P  \r\n\t   "
    u"all_r_cons.owner, -- owner table R \r\n\t   all_r_cons.table_name,  -- table R \r\n\t   r_col.column_name, "
    u"--colonne R \r\n\t   r_col.position, --position colonne R  \r\n\t   all_r_cons.delete_rule \r\nfrom "
    u"\r\n\tall_constraints, -- constraintes P \r\n\tall_constraints all_r_cons, --contraintes R correspondant aux "
    u"contraintes P \r\n\tall_cons_columns p_col, --colonne P \r\n\tall_cons_columns r_col --colonne R \r\nwhere "
    u"\r\n\tall_constraints.owner like '";
constexpr const char16_t* Q2 = u"' escape '\\' and all_constraints.table_name like '";
constexpr const char16_t* Q3 =
    u"' escape '\\' and all_constraints.constraint_type in ('P','U') --constraintes P \r\n\tand "
    u"all_r_cons.constraint_type='R' "
    u"and all_r_cons.r_constraint_name=all_constraints.constraint_name and "
    u"all_r_cons.r_owner=all_constraints.owner\r\n\tand p_col.constraint_name=all_constraints.constraint_name and "
    u"p_col.table_name=all_constraints.table_name and p_col.owner=all_constraints.owner --colonne P \r\n\tand "
    u"r_col.constraint_name=all_r_cons.constraint_name and r_col.table_name=all_r_cons.table_name and "
    u"r_col.owner=all_r_cons.owner  --colonne R \r\n\tand p_col.position=r_col.position -- une ligne par indice "
    u"\r\nunion \r\n-- sélection des contraintes référentielles R \r\nselect all_r_cons.owner, "
    u"all_r_cons.constraint_name, --nom contrainte R \r\n\t   all_constraints.owner, -- owner de table R \r\n\t   "
    u"all_constraints.table_name, -- table P\t\r\n\t   p_col.column_name, --colonne P \r\n\t   p_col.position, "
    u"--position colonne P  \r\n\t   all_r_cons.owner, -- owner table R \r\n\t   all_r_cons.table_name, --table R "
    u"\r\n\t   r_col.column_name, --colonne R \r\n\t   r_col.position, --position colonne R  \r\n\t   "
    u"all_r_cons.delete_rule \r\nfrom \r\n\t all_constraints, -- contraintes \r\n\t all_constraints all_r_cons, "
    u"--contraintes R \r\n\t all_cons_columns p_col, --colonne P \r\n\t all_cons_columns r_col --colonne R \r\nwhere "
    u"\r\n\tall_r_cons.owner like '";
constexpr const char16_t* Q4 = u"' escape '\\' and all_r_cons.table_name like '";
constexpr const char16_t* Q5 =
    u"' escape '\\' and all_r_cons.constraint_type='R' --contraintes R de la table \r\n\tand "
    u"all_constraints.constraint_type in "
    u"('P','U') and all_constraints.constraint_name=all_r_cons.r_constraint_name and "
    u"all_constraints.owner=all_r_cons.r_owner -- la contrainte P correspondant à la constrainte R ci-dessus \r\n\tand "
    u"p_col.constraint_name=all_constraints.constraint_name and p_col.table_name=all_constraints.table_name and "
    u"p_col.owner=all_constraints.owner --colonne P \r\n\tand r_col.constraint_name=all_r_cons.constraint_name and "
    u"r_col.table_name=all_r_cons.table_name and r_col.owner=all_r_cons.owner  --colonne R \r\n\tand "
    u"p_col.position=r_col.position --une ligne par indice\r\n\torder by 1,2,3,4,6 -- tri par PK : owner, contrainte, "
    u"owner , table, position colonne ";

// A name inside one of the query's quoted patterns: a quote in it is doubled, so the name stays one literal, and its
// '_', '%' and '\' are escaped, so that it matches itself alone (T_1 is no pattern for T11).
void AppendPattern(CTextBufferW& text, const char16_t* name) {
  for (const char16_t* unit = name; *unit; ++unit) {
    if (*unit == u'_' || *unit == u'%' || *unit == u'\\') text.AppendText(u"\\");
    text.Append(unit, 1);
    if (*unit == u'\'') text.Append(unit, 1);
  }
}

std::uint32_t nDeleteRuleCode(const CTString& rule) {
  if (rule.bEquals(u"CASCADE")) return 2020;
  if (rule.bEquals(u"NO ACTION")) return 2022;
  return 0;
}

// One row of the referential-links query.
struct SLinkRow {
  enum : std::uint32_t { kTexts = 9 };
  CTString text[kTexts];  // constraint owner, name, referenced owner, table, column, referencing owner, table,
                          // column, delete rule
  std::int32_t referencedPosition = 0;
  std::int32_t referencingPosition = 0;
};

bool bReadColumnInt(CInternalQuery& rows, std::uint32_t index, std::int32_t& out) {
  out = 0;
  CColumn* column = rows.pGetColumn(index);
  if (!column) return false;
  CHostValue value;
  if (!column->bGetValue(value, 0)) return false;
  if (value.bIsNull()) return true;
  if (value.nConvert(HOST_TYPE_INT32) >= 100) return false;
  return value.nGet(&out) < 100;
}

bool bReadLinkRow(CInternalQuery& rows, SLinkRow& row) {
  // Query columns: 0 constraint owner, 1 constraint name, 2 referenced owner, 3 referenced table, 4 referenced
  // column, 5 its position, 6 referencing owner, 7 referencing table, 8 referencing column, 9 its position, 10 rule.
  static constexpr std::uint32_t kTextColumns[SLinkRow::kTexts] = {0, 1, 2, 3, 4, 6, 7, 8, 10};
  for (std::uint32_t i = 0; i < SLinkRow::kTexts; ++i) {
    if (!rows.bGetColumnText(kTextColumns[i], row.text[i])) return false;
  }
  return bReadColumnInt(rows, 5, row.referencedPosition) && bReadColumnInt(rows, 9, row.referencingPosition);
}

// Memory refused part-way fails the listing: the value is left NULL, as a failed catalog listing leaves it.
int nRefusedListing(CErrorHolder* holder, void* value) {
  SetHolderOutOfMemory(holder);
  if (value) static_cast<CHostValue*>(value)->SetNull(true);
  return 0;
}

}  // namespace

int CDriverOra::bListDatabases(void* value) {
  // The runtime passes no prefix flag: every name is listed with its "ORA:" prefix. The bare file name is looked for
  // in the Windows directory only, never beside the program.
  auto names = std::unique_ptr<char16_t[]>(new (std::nothrow) char16_t[DATABASE_LIST_UNITS]);
  if (!names) {
    SetHolderOutOfMemory(pGetErrorHolder());
    return 0;
  }
  const std::uint32_t length =
      platform::ReadProfileString(u"BASE", nullptr, u"", names.get(), DATABASE_LIST_UNITS, u"qzorains.ini");
  CTextBufferW list(256);
  for (std::uint32_t at = 0; at < length && names[at];) {
    const char16_t* name = &names[at];
    std::uint32_t n = 0;
    while (at + n < length && name[n]) ++n;
    if (list.nGetLength() > 0) list.AppendText(u"\r\n");
    list.AppendText(u"ORA:");
    list.Append(name, n);
    at += n + 1;
  }
  return bSetText(pGetErrorHolder(), value, list.pszGetText());
}

int COracleDriver::bGetNativeTypeList(void* value) {
  return bSetText(pGetErrorHolder(), value,
                  u"CHAR\t9\r\nVARCHAR2\t20\r\nRAW\t6\r\nLONG\t7\r\nLONG RAW\t4\r\n"
                  u"FLOAT\t14\r\nNUMERIC\t10\r\nDATE\t17\r\n");
}

int COracleDriver::bListCatalog(void* value, CConnection* connection, std::uint32_t flags) {
  if (!connection || !connection->bOpen(pGetErrorHolder(), nullptr)) return 0;
  COracleCatalogLister lister(pGetErrorHolder());
  // A failed listing shows as a NULL value and the error in the holder; the request itself answers 1.
  lister.bList(static_cast<CHostValue*>(value), connection, flags);
  return 1;
}

int COracleDriver::bGetReferentialLinks(CConnection* connection, RuntimeWord second, RuntimeWord third, void* value,
                                        std::uint32_t flags) {
  auto* naming = reinterpret_cast<IHostNamedObject*>(third);
  const char16_t* name = naming ? naming->pszGetName() : reinterpret_cast<const char16_t*>(second);
  if (!name) name = u"";
  const std::size_t length = std::char_traits<char16_t>::length(name);
  // The owner ends at the first period outside double quotes: a quoted table name may hold one ("T.X").
  const char16_t* dot = nullptr;
  bool quoted = false;
  for (const char16_t* unit = name; *unit && !dot; ++unit) {
    if (*unit == u'"') quoted = !quoted;
    if (*unit == u'.' && !quoted) dot = unit;
  }
  const std::size_t ownerLength = dot ? static_cast<std::size_t>(dot - name) : 0;
  CTString owner;
  CTString table;
  owner.AssignN(name, ownerLength);
  table = dot ? dot + 1 : name;
  // A name memory cut short would list the links of every table, or of none.
  if (owner.nGetLength() != ownerLength || table.nGetLength() != length - (dot ? ownerLength + 1 : 0)) {
    return nRefusedListing(pGetErrorHolder(), value);
  }
  // The dictionary holds each name as the server holds what the driver writes for it: "fruit" is FRUIT there.
  CTString heldOwner;
  CTString heldTable;
  if (connection && ((!owner.bIsEmpty() && !connection->nServerHeldName(nullptr, owner.pszGet(), heldOwner)) ||
                     !connection->nServerHeldName(nullptr, table.pszGet(), heldTable))) {
    return nRefusedListing(pGetErrorHolder(), value);
  }
  if (connection) {
    owner = static_cast<CTString&&>(heldOwner);
    table = static_cast<CTString&&>(heldTable);
  }
  return bListReferentialLinks(owner.pszGet(), table.pszGet(), connection, flags, value);
}

int COracleDriver::bListReferentialLinks(const char16_t* owner, const char16_t* table, CConnection* connection,
                                         std::uint32_t flags, void* value) {
  if (!connection || !connection->bOpen(pGetErrorHolder(), nullptr)) return 0;
  // No owner is every owner: the only pattern written as one.
  const bool anyOwner = !owner || !*owner;
  if (!table) table = u"";
  // Memory refused anywhere is the listing's failure: a listing short of a link, or a query cut short, is no answer.
  auto outOfMemory = [this, value] { return nRefusedListing(pGetErrorHolder(), value); };
  // Room for the whole query first (each quote of a name doubled at most), so that no piece can be refused half-way.
  std::uint64_t room = 2 + 4 * ((anyOwner ? 0 : std::char_traits<char16_t>::length(owner)) +
                                std::char_traits<char16_t>::length(table));
  for (const char16_t* part : {Q1, Q2, Q3, Q4, Q5}) room += std::char_traits<char16_t>::length(part);
  CTextBufferW query(4096);
  if (room > query.nGetCapacity() && !query.Reserve(room)) return outOfMemory();
  query.AppendText(Q1);
  if (anyOwner) {
    query.AppendText(u"%");
  } else {
    AppendPattern(query, owner);
  }
  query.AppendText(Q2);
  AppendPattern(query, table);
  query.AppendText(Q3);
  if (anyOwner) {
    query.AppendText(u"%");
  } else {
    AppendPattern(query, owner);
  }
  query.AppendText(Q4);
  AppendPattern(query, table);
  query.AppendText(Q5);
  CInternalQuery* rows = CInternalQuery::pCreate(query.pszGetText(), pGetErrorHolder(), connection);
  if (!rows) return 0;
  rows->AddRef();
  CTextBufferW list(1024);
  CForeignKeyLink link;
  SLinkRow row;
  std::uint32_t end = 0;
  bool refused = false;
  int answer = rows->bRead(0, &end);
  while (answer && !end) {
    if (!bReadLinkRow(*rows, row)) {
      answer = 0;
      break;
    }
    // A row past the first column pair continues the link; any other ends the one gathered and starts the next.
    // The referencing side is the source, the referenced side the destination; the constraint's owner and name
    // name the link.
    refused = (row.referencedPosition <= 1 && row.referencingPosition <= 1 && !link.bWriteLine(list, flags)) ||
              !link.bAddColumn(row.text[0].pszGet(), row.text[1].pszGet(), row.text[6].pszGet(),
                               row.text[7].pszGet(), row.text[7].pszGet(),
                               static_cast<std::uint32_t>(row.referencingPosition), row.text[3].pszGet(),
                               row.text[4].pszGet(), row.text[4].pszGet(),
                               static_cast<std::uint32_t>(row.referencedPosition), nDeleteRuleCode(row.text[8]));
    if (refused) break;
    answer = rows->bRead(2, &end);
  }
  rows->nRelease();
  if (refused || (answer && !link.bWriteLine(list, flags))) return outOfMemory();
  if (!answer) return 0;
  if (!bSetWideTextValue(static_cast<CHostValue*>(value), list.pszGetText())) return outOfMemory();
  return 1;
}
