#include "foundation/text_list_builder.h"

void CTextListBuilder::AddItem(const char16_t* text) {
  if (m_nCount != 0) m_text.AppendText(u",");
  m_text.AppendText(text);
  ++m_nCount;
}
