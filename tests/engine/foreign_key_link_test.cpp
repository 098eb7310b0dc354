// Referential links gathered from catalog rows and written as lines of the runtime's list.
#include "engine/table/foreign_key_link.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void Pair(CForeignKeyLink& link, const char16_t* nameB, const char16_t* sourceColumn, const char16_t* destination,
          std::uint32_t rule = 0) {
  link.bAddColumn(u"HR", nameB, u"EMP", sourceColumn, sourceColumn, 1, u"DEPT", destination, destination, 2, rule);
}

TEST(ForeignKeyLinkTest, LinksAreGatheredPairByPairAndWrittenOnceAsLines) {
  CForeignKeyLink link;
  CTextBufferW list(64);
  link.bWriteLine(list, 0);
  EXPECT_EQ(list.nGetLength(), 0u) << "nothing gathered, nothing written";

  Pair(link, u"FK_DEPT", u"DEPT_ID", u"ID", 2020);
  Pair(link, u"ignored", u"DEPT_SITE", u"SITE");  // a further pair of the same link: names, tables and rule stay
  link.bWriteLine(list, 0);
  link.bWriteLine(list, 0);
  EXPECT_EQ(std::u16string(list.pszGetText()), u"HR_FK_DEPT\tEMP.DEPT_ID\tDEPT_ID,DEPT_SITE\t0,N\tDEPT.ID\tID,SITE\t0,1");

  // Further lines follow after "\r\n"; the rule only with flag 32, and rule 0 writes none after the marker.
  const struct {
    std::uint32_t rule, flags;
    const char16_t* tail;
  } rows[] = {{2022, FOREIGN_KEY_WITH_RULE, u"\t0,1\t2020\t2022"}, {0, FOREIGN_KEY_WITH_RULE, u"\t0,1\t2020\t"},
              {2020, 0, u"\t0,1"}};
  for (const auto& row : rows) {
    CTextBufferW more(64);
    more.AppendText(u"before");
    Pair(link, u"FK_BOSS", u"BOSS", u"ID", row.rule);
    link.bWriteLine(more, row.flags);
    const std::u16string text = more.pszGetText();
    EXPECT_EQ(text.rfind(u"before\r\nHR_FK_BOSS\t", 0), 0u) << row.rule;
    EXPECT_EQ(text.substr(text.size() - std::u16string(row.tail).size()), row.tail) << row.rule;
  }
}

}  // namespace
