// The catalog query the lister builds for each request and the entries it writes.
#include "oracle/oracle_catalog_lister.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

std::u16string Query(std::uint32_t flags) {
  CTextBufferW text(64);
  COracleCatalogLister::BuildCatalogQuery(text, flags);
  return text.pszGetText();
}

const std::u16string kTables = u"SELECT OWNER,TABLE_NAME,'TABLE' AS TYPE FROM SYS.ALL_TABLES";
const std::u16string kViews = u"SELECT OWNER,VIEW_NAME AS TABLE_NAME,'VIEW' AS TYPE FROM SYS.ALL_VIEWS";
const std::u16string kSynonyms = u"SELECT OWNER, SYNONYM_NAME AS TABLE_NAME,'SYNONYM' AS TYPE FROM SYS.ALL_SYNONYMS";
const std::u16string kSource =
    u"SELECT OWNER,NAME AS TABLE_NAME, TYPE FROM SYS.ALL_SOURCE WHERE TYPE IN ('PROCEDURE','FUNCTION') GROUP BY "
    u"OWNER,NAME,TYPE";
const std::u16string kList =
    u"('AURORA$ORB$UNAUTHENTICATED','AURORA$JIS$UTILITY$','OSE$HTTP$ADMIN','CTXSYS','DBSNMP','DIP','DMSYS','EXFSYS',"
    u"'LBACSYS','MDDATA','MDSYS','MGMT_VIEW','MTSSYS','ODM','ODM_MTR','OLAPSYS','OWBSYS','ORDPLUGINS','ORDSYS','OUTLN',"
    u"'SI_INFORMTN_SCHEMA','SYS','SYSMAN','SYSTEM','TSMSYS','WK_TEST','WKSYS','WKPROXY','WMSYS','XDB')";

TEST(CatalogListerTest, TheQueryFollowsTheRequestsBits) {
  const struct {
    std::uint32_t flags;
    std::u16string query;
  } rows[] = {
      {0, kTables + u" WHERE OWNER NOT IN " + kList},
      {1, kTables + u" WHERE OWNER NOT IN " + kList},
      {4, kTables + u" WHERE OWNER IN " + kList},
      {5, kTables},
      {2, kViews + u" WHERE OWNER NOT IN " + kList + u" UNION " + kSynonyms + u" WHERE TABLE_OWNER NOT IN " + kList},
      {6, kTables + u" WHERE OWNER IN " + kList + u" UNION " + kViews + u" UNION " + kSynonyms},
      {8 | 16, kSource + u" ORDER BY OWNER,TABLE_NAME,TYPE"},
      {1 | 8, kTables + u" WHERE OWNER NOT IN " + kList + u" UNION " + kSource},
      {16 | 32, u""},
  };
  for (const auto& row : rows) EXPECT_EQ(Query(row.flags), row.query) << row.flags;
  EXPECT_EQ(std::count(kList.begin(), kList.end(), u','), 29) << "30 schemas";
}

TEST(CatalogListerTest, EntriesAreOwnerDotNameOnLinesAndCarryTheirFieldsWhenAsked) {
  CTextBufferW list(16);
  COracleCatalogLister::AppendCatalogEntry(list, u"HR", u"EMP", u"TABLE", 1);
  COracleCatalogLister::AppendCatalogEntry(list, u"", u"DUAL", u"SYNONYM", 1);
  COracleCatalogLister::AppendCatalogEntry(list, u"HR", u"V", u"VIEW", 33);
  EXPECT_EQ(std::u16string(list.pszGetText()), u"HR.EMP\r\nDUAL\r\nHR.V\tV\t\t");
}

}  // namespace
