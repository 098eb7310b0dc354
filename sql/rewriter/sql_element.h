// CSqlElement: a named element of a statement the rewriter keeps after its text is sent: a select-list text with
// the field value that receives the fetched data, or an item (a column) with its field value. CSqlTableRef adds the
// table behind a table reference of the statement and its 1-based place in the statement's table list.
//
// An element holds a reference on its item and its value; a table reference one more on its table.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/t_string.h"

class CColumn;
class CFieldValue;
class CHashTable;
class CTable;

class CSqlElement : public CRefCounted {
 public:
  // The name copied, the value referenced; no item.
  CSqlElement(const char16_t* name, CFieldValue* value);
  // The item referenced, its field value referenced as the value; no name.
  explicit CSqlElement(CColumn* item);
  // Every member empty, for CopyFrom.
  CSqlElement() = default;
  ~CSqlElement() override;

  // ---- operations, in their order after the destructor and the release ----
  virtual int bIsFlag17Set() { return 0; }
  // This element becomes a copy of the source: item and value cloned through the map (a copy the map holds is
  // shared), the name copied; 0 when the map or a clone failed.
  virtual int CopyFrom(CSqlElement* source, CHashTable& cloneMap);
  // A copy with no reference, or null.
  virtual CSqlElement* pClone(CHashTable& cloneMap);

  // The name of the column behind the value; "" without a value.
  const char16_t* pszGetColumnName();
  CColumn* pGetItem() const { return m_pItem; }
  const char16_t* pszGetName() const { return m_strName.pszGet(); }
  CFieldValue* pGetValue() const { return m_pValue; }

 protected:
  // Takes the three members with their references.
  void SetMembers(CColumn* item, const char16_t* name, CFieldValue* value);

 private:
  CColumn* m_pItem = nullptr;
  CTString m_strName;
  CFieldValue* m_pValue = nullptr;
};

class CSqlTableRef : public CSqlElement {
 public:
  // The table referenced; the table's reference item (when it has one) and reference value, and its name.
  CSqlTableRef(std::uint32_t index, CTable* table);
  CSqlTableRef() = default;
  ~CSqlTableRef() override;

  // Bit 17 of the table's flag word; 0 without a table.
  int bIsFlag17Set() override;
  CSqlElement* pClone(CHashTable& cloneMap) override;
  // The index and the table (cloned through the map), then the element's members.
  virtual int CopyTableRefFrom(CSqlTableRef* source, CHashTable& cloneMap);

  CTable* pGetTable() const { return m_pTable; }
  std::uint32_t nGetIndex() const { return m_nIndex; }

 private:
  CTable* m_pTable = nullptr;
  std::uint32_t m_nIndex = 0;
};
