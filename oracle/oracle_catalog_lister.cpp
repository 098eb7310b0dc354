#include "oracle/oracle_catalog_lister.h"

#include <string>

#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/t_string.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "sql/connection.h"
#include "sql/driver_services.h"
#include "sql/internal_query.h"

namespace {

// Units enough for the longest catalog query (every part, each with the schema list, about 2,600 units).
constexpr std::uint64_t CATALOG_QUERY_ROOM = 4096;

constexpr const char16_t* SYSTEM_SCHEMA_LIST =
    u"('AURORA$ORB$UNAUTHENTICATED','AURORA$JIS$UTILITY$','OSE$HTTP$ADMIN','CTXSYS','DBSNMP','DIP','DMSYS',"
    u"'EXFSYS','LBACSYS','MDDATA','MDSYS','MGMT_VIEW','MTSSYS','ODM','ODM_MTR','OLAPSYS','OWBSYS','ORDPLUGINS',"
    u"'ORDSYS','OUTLN','SI_INFORMTN_SCHEMA','SYS','SYSMAN','SYSTEM','TSMSYS','WK_TEST','WKSYS','WKPROXY','WMSYS',"
    u"'XDB')";

void StartPart(CTextBufferW& text) {
  if (text.nGetLength() > 0) text.AppendText(u" UNION ");
}

void AppendSchemaFilter(CTextBufferW& text, const char16_t* clause) {
  text.AppendText(clause);
  text.AppendText(SYSTEM_SCHEMA_LIST);
}

}  // namespace

int bSetWideTextValue(CHostValue* value, const char16_t* text) {
  if (!value) return 1;
  value->SetType(HOST_TYPE_TEXT);
  value->Ops().SetFromWideZ(value->pHolder(), text);
  if (value->nConvert(HOST_TYPE_WSTRING) >= 100) return 0;
  // The runtime's allocator answers a refusal with a code of its own, which reads as no failure: the text made is
  // measured instead, a listing cut short being no listing.
  const char16_t* made = nullptr;
  if (value->nGetWideText(&made) != HOST_OK || std::char_traits<char16_t>::length(made ? made : u"") !=
                                                   std::char_traits<char16_t>::length(text ? text : u"")) {
    return 0;
  }
  value->SetFlags(0);
  return 1;
}

COracleCatalogLister::COracleCatalogLister(CErrorHolder* holder) : m_pErrorHolder(holder) {
  if (m_pErrorHolder) m_pErrorHolder->AddRef();
}

COracleCatalogLister::~COracleCatalogLister() {
  ReleaseConnectionThroughDriver(m_pConnection);
  if (m_pErrorHolder) m_pErrorHolder->nRelease();
}

int COracleCatalogLister::bList(CHostValue* value, CConnection* connection, std::uint32_t flags) {
  if (connection != m_pConnection) {
    if (connection) connection->AddRef();
    ReleaseConnectionThroughDriver(m_pConnection);
    m_pConnection = connection;
  }
  return bRunCatalogQuery(value, flags);
}

void COracleCatalogLister::BuildCatalogQuery(CTextBufferW& text, std::uint32_t flags) {
  if (flags == 0) flags = CATALOG_TABLES;
  const bool tables = (flags & CATALOG_TABLES) != 0;
  const bool system = (flags & CATALOG_SYSTEM_SCHEMAS) != 0;
  if (tables || system) {
    text.AppendText(u"SELECT OWNER,TABLE_NAME,'TABLE' AS TYPE FROM SYS.ALL_TABLES");
    if (!(tables && system)) AppendSchemaFilter(text, tables ? u" WHERE OWNER NOT IN " : u" WHERE OWNER IN ");
  }
  if (flags & CATALOG_VIEWS_AND_SYNONYMS) {
    StartPart(text);
    text.AppendText(u"SELECT OWNER,VIEW_NAME AS TABLE_NAME,'VIEW' AS TYPE FROM SYS.ALL_VIEWS");
    if (!system) AppendSchemaFilter(text, u" WHERE OWNER NOT IN ");
    text.AppendText(u" UNION ");
    text.AppendText(u"SELECT OWNER, SYNONYM_NAME AS TABLE_NAME,'SYNONYM' AS TYPE FROM SYS.ALL_SYNONYMS");
    if (!system) AppendSchemaFilter(text, u" WHERE TABLE_OWNER NOT IN ");
  }
  if (flags & CATALOG_PROCEDURES) {
    StartPart(text);
    text.AppendText(
        u"SELECT OWNER,NAME AS TABLE_NAME, TYPE FROM SYS.ALL_SOURCE WHERE TYPE IN ('PROCEDURE','FUNCTION') "
        u"GROUP BY OWNER,NAME,TYPE");
  }
  if (text.nGetLength() > 0 && (flags & CATALOG_SORTED)) text.AppendText(u" ORDER BY OWNER,TABLE_NAME,TYPE");
}

bool COracleCatalogLister::AppendCatalogEntry(CTextBufferW& list, const char16_t* owner, const char16_t* name,
                                              const char16_t*, std::uint32_t flags) {
  std::uint64_t expected = list.nGetLength();
  const auto add = [&list, &expected](const char16_t* piece) {
    list.AppendText(piece);
    expected += piece ? std::char_traits<char16_t>::length(piece) : 0;
  };
  if (list.nGetLength() > 0) add(u"\r\n");
  if (owner && *owner) {
    add(owner);
    add(u".");
  }
  add(name);
  if (flags & CATALOG_WITH_FIELDS) {
    add(u"\t");
    add(name);
    add(u"\t\t");
  }
  return list.nGetLength() == expected;
}

int COracleCatalogLister::bRunCatalogQuery(CHostValue* value, std::uint32_t flags) {
  if (!m_pConnection || !m_pConnection->bOpen(m_pErrorHolder, nullptr)) return 0;
  CTextBufferW query(256);
  // The query's pieces are appended unchecked: room for the longest of them is had first, so that none can be
  // refused half-way (a query without its SELECT would be sent).
  if (!query.Reserve(CATALOG_QUERY_ROOM)) {
    SetHolderOutOfMemory(m_pErrorHolder);
    if (value) value->SetNull(true);
    return 0;
  }
  BuildCatalogQuery(query, flags);
  if (query.nGetLength() == 0) {
    return bSetWideTextValue(value, u"");
  }
  CInternalQuery* rows = CInternalQuery::pCreate(query.pszGetText(), m_pErrorHolder, m_pConnection);
  if (!rows) {
    if (value) value->SetNull(true);
    return 0;
  }
  rows->AddRef();
  CTextBufferW list(1024);
  CTString ownerText, nameText, typeText, quotedOwner, quotedName;
  std::uint32_t end = 0;
  int answer = rows->bRead(0, &end);
  while (answer && !end) {
    answer = rows->bGetColumnText(0, ownerText) && rows->bGetColumnText(1, nameText) &&
             rows->bGetColumnText(2, typeText);
    if (answer && !nameText.bIsEmpty()) {
      // Quoting and the list fail only for lack of memory: a list short of an entry is no answer.
      // Owner and name are each one identifier, a period in them included, in the case the catalog keeps.
      answer = m_pConnection->nQuoteIdentifier(m_pErrorHolder, ownerText.pszGet(), quotedOwner, true) &&
               m_pConnection->nQuoteIdentifier(m_pErrorHolder, nameText.pszGet(), quotedName, true) &&
               AppendCatalogEntry(list, quotedOwner.pszGet(), quotedName.pszGet(), typeText.pszGet(), flags);
      if (!answer) SetHolderOutOfMemory(m_pErrorHolder);
    }
    if (answer) answer = rows->bRead(2, &end);
  }
  rows->nRelease();
  if (!value) return answer;
  if (!answer) {
    value->SetNull(true);
    return 0;
  }
  if (bSetWideTextValue(value, list.pszGetText())) return 1;
  SetHolderOutOfMemory(m_pErrorHolder);
  value->SetNull(true);
  return 0;
}
