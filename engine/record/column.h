// CColumn: one column of an open table or query. It binds a column descriptor
// to the table description that holds the table's current record and last-read
// image, and is where the runtime's reads and writes of the column land: a
// plain column reads and writes its field in the current record buffer, a memo
// keeps its value in a field value (stored among the current record's large
// values) and can be linked to a file, and a composite key reads as the
// concatenation of its components.
//
// The column holds references on its descriptors, its error holder, its field
// value and its component columns; the table description holds the column, so
// the column does not count its table description. The driver object's column
// factory makes it (pCreateColumnThroughDriver).
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/t_string.h"

class CColumnDescriptor;
class CConnection;
class CErrorHolder;
class CFieldValue;
class CHashTable;
class CHostValue;
class CQueryDescription;
class CRecordBuffer;
class CTableDescription;

// The prefix search option of bMatchesSearchValue: the column value need only
// begin with the search value.
inline constexpr std::uint32_t SEARCH_PREFIX = 0x1000;
// bIncludeInInsert and bIncludeInUpdate options: memos are written too.
inline constexpr std::uint32_t INCLUDE_MEMO_IN_INSERT = 0x1;
inline constexpr std::uint32_t INCLUDE_MEMO_IN_UPDATE = 0x2;

class CColumn : public CRefCounted {
 public:
  CColumn(CErrorHolder* holder, CColumnDescriptor* descriptor);
  ~CColumn() override;

  // ---- operations, in their order ----
  virtual int bAttach(CTableDescription* tableDescription, CColumnDescriptor* secondary);
  virtual int bPrepareFieldValue(CTableDescription* tableDescription);
  virtual int bSetSecondaryDescriptor(CColumnDescriptor* descriptor);
  virtual int bPrepareValueForTable();
  virtual int bIsSecondaryAutoIdentifier();
  virtual const char16_t* pszGetFurtherText();
  virtual const char16_t* pszGetQualifierText();
  virtual int bGetValue(CHostValue& value, std::int32_t element);
  virtual int bGetImageValue(CHostValue& value, std::int32_t element);
  virtual int bDump(CTString& text, bool labelled);
  virtual int bSetValue(CHostValue& value, std::int32_t element);
  virtual int bIsChanged();
  virtual int bHasValue();
  virtual int bIsImagePresent();
  virtual int bMatchesSearchValue(CHostValue& search, std::uint32_t options);
  virtual int bClearValue();
  virtual int bIsTableStateClear();
  virtual int bLinkMemoFile(const char16_t* fileName);
  virtual int bSaveMemoToFile(const char16_t* fileName);
  virtual int bReadMemoDefault(CHostValue& value);
  virtual int bIncludeInUpdate(std::uint32_t options);
  virtual int bIncludeInInsert(std::uint32_t options);
  virtual CFieldValue* pGetFieldValue();
  virtual CFieldValue* pNewFieldValue();
  virtual int bSetFieldValue(CFieldValue* value);
  virtual int bCopyFromWithMap(CColumn* source, CHashTable& cloneMap);
  virtual CColumn* pClone(CHashTable& cloneMap);

  // ---- the descriptor's answers ----
  CColumnDescriptor* pGetDescriptor();  // with a reference
  CColumnDescriptor* pGetDescriptorNoRef() const { return m_pDescriptor; }
  CColumnDescriptor* pGetSecondaryDescriptor() const { return m_pSecondary; }
  const char16_t* pszGetName();
  const char16_t* pszGetCaption();
  const char16_t* pszGetTableName();
  std::uint32_t nGetPosition();
  std::uint32_t nGetType();
  // The secondary descriptor's type, 0 without one or when the connection
  // ignores its server type.
  std::uint32_t nGetBoundType();
  std::uint16_t nGetHostType();
  std::uint32_t nGetDataLength();
  std::uint32_t nGetPrecision();
  std::uint32_t nGetScale();
  bool bIsMemo();
  bool bIsCompositeKey();
  bool bIsDescending();
  bool bIsBinary();
  bool bIsAutoIdentifier();

  // ---- in the table ----
  std::int32_t nGetIndexInTable();
  bool bIsComponentColumn(CColumn* column);
  bool bIsUniqueKey();
  bool bIsUniqueKeyAny();
  bool bIsIdentifyingKey();
  bool bIsNullAllowed();
  CConnection* pGetConnection();
  CQueryDescription* pGetQueryDescription();
  std::uint32_t nGetAutoIdMode();
  void MarkUnread();
  bool bIsUnread();
  void NotifyRowChanged();
  int AddComponentColumn(CColumn* column);
  std::uint32_t nGetComponentColumnCount() const { return m_components.nGetCount(); }
  CColumn* pGetComponentColumn(std::uint32_t index) const;
  int bBindFieldValue(CRecordBuffer* record, CFieldValue* value, std::uint16_t hostType);
  // The SQL text naming the column: the quoted name with useName, else the
  // (qualified) quoted caption. Each form is made once and kept; null when it
  // could not be made for lack of memory.
  const char16_t* pszGetSqlName(bool useName);
  const char16_t* pszGetQuotedName() const { return m_strQuotedName.pszGet(); }
  // Whether the caption is the server's name of the column, in the server's case: a condition names it so.
  bool bHasServerCaption() const { return m_bServerCaption; }
  const char16_t* pszGetMemoFileName() const { return m_strMemoFileName.pszGet(); }
  std::uint32_t bIsMemoChanged() const { return m_bMemoChanged; }
  // The memo holds what the server holds (read from it, or just written to it): no change is left to write.
  void AcceptMemoValue() { m_bMemoChanged = 0; }
  CTableDescription* pGetTableDescription() const { return m_pTableDescription; }
  CErrorHolder* pGetErrorHolder() const { return m_pErrorHolder; }
  void SetTexts(const char16_t* further, const char16_t* qualifier) {
    m_strFurther = further;
    m_strQualifier = qualifier;
  }

  // Whether a value counts as no value for this column (NULL, or empty where
  // the server stores empty as NULL).
  bool bIsBlankValue(CHostValue& value);

 private:
  // The field from the buffer: NULL of the column's host type when the field's
  // null flag is clear; 0 (out of memory in the holder) when the value could not be made.
  int bGetFromRecordBuffer(CHostValue& value, std::int32_t element, CRecordBuffer* buffer);
  int bBuildCompositeValue(CHostValue& value);
  CRecordBuffer* pCurrentBuffer() const;
  CRecordBuffer* pImageBuffer() const;

  CColumnDescriptor* m_pDescriptor;
  CColumnDescriptor* m_pSecondary = nullptr;
  CErrorHolder* m_pErrorHolder;
  CTString m_strQuotedName;
  CTableDescription* m_pTableDescription = nullptr;
  CRefPtrArray m_components{4};  // CColumn
  CTString m_strFurther;
  CTString m_strQualifier;
  CTString m_strQuotedCaption;
  bool m_bServerCaption = false;
  // One cached text per form of pszGetSqlName: [0] the caption form, [1] the
  // name form.
  CTString m_strSqlName[2];
  bool m_bSqlNameMade[2] = {false, false};
  CFieldValue* m_pFieldValue = nullptr;
  std::uint32_t m_bMemoChanged = 0;
  CTString m_strMemoFileName;
};

// The driver object's column factory (its slot 52); null when the driver makes
// none.
CColumn* pCreateColumnThroughDriver(CErrorHolder* holder, CColumnDescriptor* descriptor);
