#include "engine/table/foreign_key_link.h"

#include <initializer_list>

void CForeignKeyLink::AddColumn(const char16_t* nameA, const char16_t* nameB, const char16_t* sourceTable,
                                const char16_t* sourceColumn, const char16_t* sourceColumns,
                                std::uint32_t sourceValue, const char16_t* destinationTable,
                                const char16_t* destinationColumn, const char16_t* destinationColumns,
                                std::uint32_t destinationValue, std::uint32_t rule) {
  m_nSourceValue = sourceValue;
  m_nDestinationValue = destinationValue;
  if (bIsGathered()) {
    m_strSourceColumns.AppendChar(u',');
    m_strSourceColumns.Append(sourceColumns);
    m_strDestinationColumns.AppendChar(u',');
    m_strDestinationColumns.Append(destinationColumns);
    return;
  }
  m_strNameA = nameA;
  m_strNameB = nameB;
  m_strSourceTable = sourceTable;
  m_strSourceColumn = sourceColumn;
  m_strSourceColumns = sourceColumns;
  m_strDestinationTable = destinationTable;
  m_strDestinationColumn = destinationColumn;
  m_strDestinationColumns = destinationColumns;
  m_nRule = rule;
}

void CForeignKeyLink::WriteLine(CTextBufferW& buffer, std::uint32_t flags) {
  if (!bIsGathered()) return;
  if (buffer.nGetLength() > 0) buffer.AppendText(u"\r\n");
  for (const char16_t* part :
       {m_strNameA.pszGet(), u"_", m_strNameB.pszGet(), u"\t", m_strSourceTable.pszGet(), u".",
        m_strSourceColumn.pszGet(), u"\t", m_strSourceColumns.pszGet(), u"\t0,N\t", m_strDestinationTable.pszGet(),
        u".", m_strDestinationColumn.pszGet(), u"\t", m_strDestinationColumns.pszGet(), u"\t0,1"}) {
    buffer.AppendText(part);
  }
  if (flags & FOREIGN_KEY_WITH_RULE) {
    buffer.AppendText(u"\t2020\t");
    if (m_nRule != 0) buffer.AppendInt64(m_nRule);
  }
  m_strNameB.Empty();
}
