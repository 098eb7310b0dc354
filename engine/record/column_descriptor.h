// CColumnDescriptor: one item (column) of a record description as the driver sees it and shows it to the runtime:
// names, type, sizes, key role, default value and the place of the item in a record buffer. It implements the
// runtime's item-description interface, so the runtime reads the driver's columns with the operations the driver
// uses on the runtime's own items. A composite key is a descriptor whose components are other descriptors of the
// same description.
//
// Two counts: references (slots 5 and 6, what the runtime and the columns take) and component references (what the
// lists of record descriptions and of composite keys take); the descriptor goes when both reach 0. The driver
// object's factory (slot 59) makes it.
#pragma once

#include <cstdint>

#include "foundation/dynamic_array.h"
#include "foundation/t_string.h"
#include "host/host_objects.h"
#include "host/host_value.h"

class CRecordDescription;

inline constexpr std::uint16_t COLUMN_FLAG_PRIMARY_KEY = 0x8000;
inline constexpr std::uint16_t COLUMN_FLAG_UNIQUE = 0x4000;
inline constexpr std::uint16_t COLUMN_FLAG_DUPLICATES = 0x2000;
inline constexpr std::uint16_t COLUMN_FLAG_COMPOSITE_KEY = 0x1000;
inline constexpr std::uint16_t COLUMN_FLAG_ASCENDING = 0x0800;
inline constexpr std::uint16_t COLUMN_FLAG_DESCENDING = 0x0400;
inline constexpr std::uint16_t COLUMN_FLAG_0080 = 0x0080;
inline constexpr std::uint16_t COLUMN_FLAG_0040 = 0x0040;
inline constexpr std::uint16_t COLUMN_FLAG_0020 = 0x0020;

inline constexpr std::uint32_t COLUMN_OPTION_AUTOMATIC = 0x1;
inline constexpr std::uint32_t COLUMN_OPTION_NOT_NULL = 0x2;
inline constexpr std::uint32_t COLUMN_OPTION_4 = 0x4;

// pCopyAs options: give plain items an ascending key with duplicates; turn reals and dates into text; dates as text
// of 20 characters rather than 18.
inline constexpr std::uint32_t COPY_AS_KEY_EVERY_ITEM = 0x1;
inline constexpr std::uint32_t COPY_AS_TEXT = 0x2;
inline constexpr std::uint32_t COPY_AS_LONG_DATE_TEXT = 0x4;

inline constexpr std::uint32_t NOT_LAID_OUT = 0xFFFFFFFF;

class CColumnDescriptor : public IHostItemDescription {
 public:
  CColumnDescriptor();
  CColumnDescriptor(const CColumnDescriptor&) = delete;
  CColumnDescriptor& operator=(const CColumnDescriptor&) = delete;

  // ---- the runtime's item-description interface ----
  std::uint32_t nGetInterfaceLevel() override;                        // slot 0: 9
  std::int32_t nSlot1() override;                                     // slot 1: 1
  std::int32_t nSlot2() override;                                     // slot 2: -1
  std::int32_t nSlot3() override;                                     // slot 3: -1
  void Slot4() override;                                              // slot 4
  std::uint32_t AddRef() override;                                    // slot 5
  std::uint32_t nRelease() override;                                  // slot 6
  const char16_t* pszGetName() override;                              // slot 7
  std::uint32_t nGetElementCount() override;                          // slot 8
  std::uint32_t nGetSize() override;                                  // slot 9
  std::uint32_t nGetDataLength(std::int32_t element) override;        // slot 10
  std::uint32_t nGetTotalSize() override;                             // slot 11
  std::uint32_t nGetType() override;                                  // slot 12
  std::uint32_t nGetPosition() override;                              // slot 13
  std::int32_t bIsKeyed() override;                                   // slot 14
  std::int32_t bIsMemo() override;                                    // slot 15
  std::int32_t bIsTextMemo() override;                                // slot 16
  std::int32_t bIsBinaryMemo() override;                              // slot 17
  std::int32_t bIsNumeric() override;                                 // slot 18
  std::int32_t bIsText() override;                                    // slot 19
  std::uint32_t nGetKeyNumber() override;                             // slot 20
  std::uint32_t nGetComponentCount() override;                        // slot 21
  std::int32_t bIsPrimaryKey() override;                              // slot 22
  std::int32_t bIsUnique() override;                                  // slot 23
  std::int32_t bIsKeyWithDuplicates() override;                       // slot 24
  std::int32_t bIsCompositeKey() override;                            // slot 25
  std::int32_t bIsAscendingKey() override;                            // slot 26
  std::int32_t bIsDescending() override;                              // slot 27
  std::int32_t bHasFlag0080() override;                               // slot 28
  std::int32_t bHasFlag0040() override;                               // slot 29
  std::int32_t bHasFlag0020() override;                               // slot 30
  IHostItemDescription* pGetComponent(std::uint32_t index) override;  // slot 31
  std::uint32_t nGetElementOffset(std::int32_t element) override;     // slot 32
  std::uint32_t nGetNullFlagIndex(std::int32_t element) override;     // slot 33
  CHostValue* pGetDefaultValue() override;                            // slot 34
  const char16_t* pszGetSecondName() override;                        // slot 35
  const char16_t* pszGetAlias() override;                             // slot 36
  const char16_t* pszGetThirdName() override;                         // slot 37
  std::uint32_t nGetItemKind() override;                              // slot 38: 0
  IHostItemDescription* piGetSubDescription() override;               // slot 39: none
  std::uint32_t nGetPrecision() override;                             // slot 40
  std::uint32_t nGetScale() override;                                 // slot 41
  const char16_t* pszGetCaption() override;                           // slot 42
  const char16_t* pszGetTableName() override;                         // slot 43
  std::uint32_t nGetItemTypeCode() override;                          // slot 44: 0
  void Slot45() override;                                             // slot 45
  std::int32_t bIsUpdatable() override;                               // slot 46: 0
  void Slot47() override;                                             // slot 47
  std::int32_t bIsOption4Clear() override;                            // slot 48
  void SetOption4(std::int32_t clear) override;                       // slot 49
  const char16_t* pszGetOrigin() override;                            // slot 50: 0
  const char16_t* pszGetFileName() override;                          // slot 51: 0
  IHostExpressionNode* piGetExpression() override;                    // slot 52: 0
  std::int32_t nSlot53() override;                                    // slot 53: 0
  std::int32_t bIsNullAllowed() override;                             // slot 54
  void DeletingDestructor(std::uint32_t flags) override;              // slot 55
  void SetPrecision(std::uint32_t precision) override;                // slot 56
  void SetScale(std::uint32_t scale) override;                        // slot 57
  // The description must be a CRecordDescription: only the driver copies its own descriptors into its own
  // descriptions. Null when the factory gives nothing or a component is missing from the target (error 8.2 there).
  IHostItemDescription* pCopyAs(IHostFileDescription* description, std::uint32_t options) override;  // slot 58
  std::uint32_t nGetTextStart() override;  // slot 59: 0, a table's column has no place in a statement's text
  std::uint32_t nGetTextEnd() override;    // slot 60: 0

  // Whether this column takes the values of the source column without loss; with fold, UTF-16 text types are compared
  // as their ANSI forms. Defined with the column types.
  bool bCanHold(CColumnDescriptor& source, bool fold);

  // ---- filling ----
  // A name set here is no longer the one the server described.
  void SetName(const char16_t* name) {
    m_strName = name;
    m_bServerName = m_bServerCaption = false;
  }
  // The same for an item renamed apart from one whose name differs only in case ("a" after "A" becomes a2): its
  // caption still names the server's column.
  void SetNameApart(const char16_t* name) {
    m_strName = name;
    m_bServerName = false;
  }
  // The name (and the caption made from it) is the server's, in the case the server holds it in: the SQL the
  // driver writes names the column in that case, quoted where the server would not read it unquoted.
  void SetServerName() { m_bServerName = m_bServerCaption = true; }
  bool bHasServerName() const { return m_bServerName; }
  bool bHasServerCaption() const { return m_bServerCaption; }
  // 0 when memory refused one of the three texts (the rest is set all the same).
  int bSetAll(const char16_t* name, const char16_t* tableName, const char16_t* caption, std::uint32_t elementCount,
              std::uint32_t elementSize, std::uint32_t type, std::uint32_t position, std::uint32_t keyNumber,
              std::uint16_t flags, std::uint32_t precision, std::uint32_t scale);
  int bSetKeyInfo(std::uint32_t keyNumber, std::uint16_t flags);
  int SetKeyNumber(std::uint32_t keyNumber);
  void SetKeyDirection(bool descending);
  // Takes a component reference; a composite key grows by the component's data length over all its elements. 0
  // for no component and for this descriptor or one made of it: a key is never its own component.
  int bAddComponent(CColumnDescriptor* component);
  // Whether the item is this descriptor or one of its components at any depth.
  bool bHasComponent(const CColumnDescriptor* item) const;
  // The bytes this item takes as a component of a composite key: its data without terminator or length word.
  std::uint32_t nGetKeyComponentBytes();
  void AddComponentRef() { ++m_nComponentRefCount; }
  // Gives back a component reference taken only to keep the item through an undone step: the item stays its
  // owner's even when nothing else holds it.
  void DropKeepingComponentRef() {
    if (m_nComponentRefCount > 0) --m_nComponentRefCount;
  }
  std::uint32_t nReleaseComponent();
  int bSetFromItem(IHostItemDescription* item, std::uint32_t keepAutomatic);
  int bSetFromHostItem(IHostItemDescription* item, std::uint32_t keep, std::uint32_t keyNumber);
  void UpdateFromCatalogItem(CColumnDescriptor* item);
  int bAdjustToHostItem(IHostItemDescription* item);
  void SetNullAllowed(bool allowed);
  // The value converted to the column's host type: the conversion's code, 0 when done.
  std::int32_t bSetDefaultValue(const CHostValue& value);
  std::uint16_t nGetHostType();

  // ---- for the record description ----
  void SetPosition(std::uint32_t position) { m_nPosition = position; }
  void SetLayout(std::uint32_t recordOffset, std::uint32_t nullFlagIndex) {
    m_nRecordOffset = recordOffset;
    m_nNullFlagIndex = nullFlagIndex;
  }
  void SetTexts(const char16_t* secondName, const char16_t* alias, const char16_t* thirdName) {
    m_strSecondName = secondName;
    m_strAlias = alias;
    m_strThirdName = thirdName;
  }
  void SetOriginName(const char16_t* name) { m_strOriginName = name; }
  const char16_t* pszGetOriginName() const { return m_strOriginName.pszGet(); }
  void SetItemKind(std::uint32_t kind) { m_nItemKind = kind; }
  std::uint32_t nGetStoredItemKind() const { return m_nItemKind; }
  void SetServerTypeCode(std::uint32_t code) { m_nServerTypeCode = code; }
  std::uint32_t nGetServerTypeCode() const { return m_nServerTypeCode; }
  std::uint16_t nGetFlags() const { return m_nFlags; }
  std::uint32_t nGetOptions() const { return m_nOptions; }
  std::uint32_t nGetRefCount() const { return m_nRefCount; }
  std::uint32_t nGetComponentRefCount() const { return m_nComponentRefCount; }
  CColumnDescriptor* pGetComponentAt(std::uint32_t index) const {
    return *static_cast<CColumnDescriptor**>(m_components.pGetAt(index));
  }

 protected:
  virtual ~CColumnDescriptor();

 private:
  void DestroyIfUnused();
  // The default value retyped (emptied) to the column's host type when it cannot be converted to it.
  void FitDefaultValue();

  CTString m_strName;
  CTString m_strSecondName;
  CTString m_strAlias;
  CTString m_strThirdName;
  std::uint32_t m_nServerTypeCode = 0;
  std::uint32_t m_nElementCount = 0;
  std::uint32_t m_nElementSize = 0;
  std::uint32_t m_nKeyNumber = 0;
  std::uint32_t m_nType = 0;
  std::uint32_t m_nPosition = 0;
  std::uint32_t m_nFurther = 0xFFFFFFFF;
  std::uint16_t m_nFlags = 0;
  std::uint32_t m_nComponentRefCount = 0;
  std::uint32_t m_nRefCount = 0;
  std::uint32_t m_nRecordOffset = NOT_LAID_OUT;
  std::uint32_t m_nNullFlagIndex = NOT_LAID_OUT;
  CHostValue m_defaultValue;
  std::uint32_t m_nPrecision = 0;
  std::uint32_t m_nScale = 0;
  CTString m_strTableName;
  CTString m_strCaption;
  CTString m_strOriginName;
  std::uint32_t m_nItemKind = 0;
  std::uint32_t m_nOptions = 0;
  bool m_bServerName = false;
  bool m_bServerCaption = false;
  CDynamicArray m_components;  // CColumnDescriptor*, each with a component reference
};
