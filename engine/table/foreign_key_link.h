// One referential link (foreign key) gathered from the catalog's rows, one row per column pair, and written as one
// line of the list the runtime reads: name, source side, "0,N", destination side, "0,1" and, when asked, the rule.
#pragma once

#include <cstdint>

#include "foundation/t_string.h"
#include "foundation/text_buffer.h"

// The rule written after "\t2020\t" only with this flag.
inline constexpr std::uint32_t FOREIGN_KEY_WITH_RULE = 32;

class CForeignKeyLink {
 public:
  // A new link when none is gathered (name part b empty): every field from its argument. Otherwise a further column
  // pair of the gathered link: the two numbers replaced and both column lists continued after ",". False when memory
  // refused a text: the link would be listed short.
  bool bAddColumn(const char16_t* nameA, const char16_t* nameB, const char16_t* sourceTable,
                 const char16_t* sourceColumn, const char16_t* sourceColumns, std::uint32_t sourceValue,
                 const char16_t* destinationTable, const char16_t* destinationColumn,
                 const char16_t* destinationColumns, std::uint32_t destinationValue, std::uint32_t rule);
  // Appends the gathered link's line ("\r\n" first when the buffer holds text) and forgets the link; nothing when
  // none is gathered. False, the buffer as it was, when memory refused the room for the line.
  bool bWriteLine(CTextBufferW& buffer, std::uint32_t flags);
  bool bIsGathered() const { return !m_strNameB.bIsEmpty(); }

 private:
  CTString m_strNameA;
  CTString m_strNameB;
  CTString m_strSourceTable;
  CTString m_strSourceColumn;
  CTString m_strSourceColumns;
  std::uint32_t m_nSourceValue = 0;
  CTString m_strDestinationTable;
  CTString m_strDestinationColumn;
  CTString m_strDestinationColumns;
  std::uint32_t m_nDestinationValue = 0;
  std::uint32_t m_nRule = 0;
};
