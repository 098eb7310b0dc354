#include "engine/table/foreign_key_link.h"

#include <initializer_list>
#include <string>
#include <utility>

namespace {

std::size_t nLengthOf(const char16_t* text) { return text ? std::char_traits<char16_t>::length(text) : 0; }

// Continues a column list after ","; false when memory refused the longer list.
bool bContinue(CTString& list, const char16_t* columns) {
  const std::size_t expected = list.nGetLength() + 1 + nLengthOf(columns);
  list.AppendChar(u',');
  list.Append(columns);
  return list.nGetLength() == expected;
}

}  // namespace

bool CForeignKeyLink::bAddColumn(const char16_t* nameA, const char16_t* nameB, const char16_t* sourceTable,
                                const char16_t* sourceColumn, const char16_t* sourceColumns,
                                std::uint32_t sourceValue, const char16_t* destinationTable,
                                const char16_t* destinationColumn, const char16_t* destinationColumns,
                                std::uint32_t destinationValue, std::uint32_t rule) {
  m_nSourceValue = sourceValue;
  m_nDestinationValue = destinationValue;
  if (bIsGathered()) {
    return bContinue(m_strSourceColumns, sourceColumns) && bContinue(m_strDestinationColumns, destinationColumns);
  }
  m_nRule = rule;
  bool made = true;
  for (auto [field, text] : {std::pair{&m_strNameA, nameA}, {&m_strNameB, nameB}, {&m_strSourceTable, sourceTable},
                             {&m_strSourceColumn, sourceColumn}, {&m_strSourceColumns, sourceColumns},
                             {&m_strDestinationTable, destinationTable}, {&m_strDestinationColumn, destinationColumn},
                             {&m_strDestinationColumns, destinationColumns}}) {
    *field = text;
    made = made && field->nGetLength() == nLengthOf(text);
  }
  return made;
}

bool CForeignKeyLink::bWriteLine(CTextBufferW& buffer, std::uint32_t flags) {
  if (!bIsGathered()) return true;
  const std::initializer_list<const char16_t*> parts = {
      m_strNameA.pszGet(), u"_", m_strNameB.pszGet(), u"\t", m_strSourceTable.pszGet(), u".",
      m_strSourceColumn.pszGet(), u"\t", m_strSourceColumns.pszGet(), u"\t0,N\t", m_strDestinationTable.pszGet(),
      u".", m_strDestinationColumn.pszGet(), u"\t", m_strDestinationColumns.pszGet(), u"\t0,1"};
  // Room for the whole line first (the rule's number has 20 digits at most), so that no part can be refused
  // half-way: a line cut short would be listed as a link.
  std::uint64_t room = buffer.nGetLength() + 2 + 6 + 20;
  for (const char16_t* part : parts) room += nLengthOf(part);
  if (room > buffer.nGetCapacity() && !buffer.Reserve(room)) return false;
  if (buffer.nGetLength() > 0) buffer.AppendText(u"\r\n");
  for (const char16_t* part : parts) buffer.AppendText(part);
  if (flags & FOREIGN_KEY_WITH_RULE) {
    buffer.AppendText(u"\t2020\t");
    if (m_nRule != 0) buffer.AppendInt64(m_nRule);
  }
  m_strNameB.Empty();
  return true;
}
