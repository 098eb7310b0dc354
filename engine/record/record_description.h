// CRecordDescription: the driver's description of one record layout (a table's columns or a query's result
// columns), which the runtime reads through its file-description interface. Its items are CColumnDescriptor objects
// in three lists (all items in position order, the keys in key-number order, the memos), laid out one after the
// other for record buffers; one key identifies a row. The driver's factories make it (the Oracle class in practice,
// which loads it from the catalog through bLoad); tables, cursors and the runtime hold it with two counts: internal
// references (AddRef, nRelease) and the runtime's external ones (slots 5 and 6); it goes when both are 0.
//
// The lists hold a component reference on each item (the items' second count); items handed out through the
// interface carry a reference (slot 5 of the item) that the caller gives back.
#pragma once

#include <cstdint>

#include "engine/record/column_descriptor.h"
#include "engine/record/counted_list.h"
#include "foundation/t_string.h"
#include "host/host_objects.h"

class CConnection;
class CErrorHolder;
class CHashTable;
class CQueryDescription;

// Item lookups by name: mode bit 0x1 ignores trailing white space on both sides.
inline constexpr std::uint32_t FIND_ITEM_IGNORE_TRAILING_BLANKS = 0x1;
inline constexpr std::uint32_t FIND_ITEM_DEFAULT = 2;

// The items of a description, each held by a component reference.
inline void AddItemReference(CColumnDescriptor* item) { item->AddComponentRef(); }
inline void ReleaseItemReference(CColumnDescriptor* item) { item->nReleaseComponent(); }
using CDescriptorList = CCountedList<CColumnDescriptor, &AddItemReference, &ReleaseItemReference>;

class CRecordDescription : public IHostFileDescription {
 public:
  CRecordDescription(CConnection* connection, CErrorHolder* errorHolder);
  CRecordDescription(const CRecordDescription&) = delete;
  CRecordDescription& operator=(const CRecordDescription&) = delete;

  // ---- the runtime's file-description interface ----
  std::uint32_t nGetInterfaceLevel() override;           // slot 0: 6
  std::int32_t nSlot1() override;                        // slot 1: 1
  std::int32_t nSlot2() override;                        // slot 2: -1
  std::int32_t nSlot3() override;                        // slot 3: -1
  void Slot4() override;                                 // slot 4
  std::uint32_t AddExternalRef() override;               // slot 5
  std::uint32_t nReleaseExternal() override;             // slot 6
  const char16_t* pszGetName() override;                 // slot 7
  const char16_t* pszGetNameAgain() override;            // slot 8
  const char16_t* pszGetEmptyText() override;            // slot 9
  std::uint32_t nGetRecordSize() override;               // slot 10
  std::uint32_t nGetFullSize() override;                 // slot 11
  std::uint32_t nGetItemCount() override;                // slot 12
  std::uint32_t nGetKeyCount() override;                 // slot 13
  std::uint32_t nGetLargeItemCount() override;           // slot 14
  std::uint32_t nGetColumnCount() override;              // slot 15
  void* piGetItem(std::uint32_t index) override;         // slot 16
  void* piFindItem(const char16_t* name) override;       // slot 17
  void* piGetKey(std::uint32_t index) override;          // slot 18
  void* piGetLargeItem(std::uint32_t index) override;    // slot 19
  std::int32_t nSlot20() override;                       // slot 20: 1
  const char16_t* pszGetSqlTableName() override;         // slot 21
  void* piGetIdentifyingKey() override;                  // slot 22
  const char16_t* pszGetSecondaryName() override;        // slot 23
  const char16_t* pszGetTertiaryName() override;         // slot 24
  const char16_t* pszGetOwnerName() override;            // slot 25
  const char16_t* pszGetDatabaseName() override;         // slot 26
  virtual std::int32_t nSlot27();                        // slot 27: 0
  virtual std::int32_t nSlot28();                        // slot 28: 0
  virtual std::int32_t nSlot29();                        // slot 29: 1
  virtual void Slot30();                                 // slot 30: nothing, as 31 to 39
  virtual void Slot31();                                 // slot 31
  virtual void Slot32();                                 // slot 32
  virtual void Slot33();                                 // slot 33
  virtual void Slot34();                                 // slot 34
  virtual void Slot35();                                 // slot 35
  virtual void Slot36();                                 // slot 36
  virtual void Slot37();                                 // slot 37
  virtual void Slot38();                                 // slot 38
  virtual void Slot39();                                 // slot 39
  virtual void DeletingDestructor(std::uint32_t flags);  // slot 40
  // The item of that name with a reference, null when none.
  virtual CColumnDescriptor* piFindItemEx(const char16_t* name, std::uint32_t mode);  // slot 41
  // Every item of the other description that is not a composite key has one of its name here (trailing blanks
  // ignored); error 8.1 names the first that has none.
  virtual int bCompare(IHostFileDescription* other);                                 // slot 42
  virtual void AppendItemText(CTString& out, const char16_t* text, std::int32_t n);  // slot 43
  // A new description of copied items (pCopyAs with the options) with a reference, or null.
  virtual CRecordDescription* pCopy(std::uint32_t options);  // slot 44
  // Shares the source's holder, connection and items; 0 when the clone map cannot grow or memory runs out.
  virtual int CopyFrom(CRecordDescription* source, CHashTable& cloneMap);  // slot 45
  virtual CRecordDescription* pClone(CHashTable& cloneMap);                // slot 46
  // The Oracle class loads the description from the catalog; the generic one cannot and answers 0.
  virtual int bLoad(std::uintptr_t argument);  // slot 47
  virtual std::int32_t nSlot48();              // slot 48: 1

  // ---- internal ----
  void AddRef() { ++m_nRefCount; }
  // 0 on a count of 0 (nothing happens); destroys the description when the count reaches 0 while the external
  // count is 0; else the new count.
  std::uint32_t nRelease();
  std::uint32_t nGetRefCount() const { return m_nRefCount; }
  std::uint32_t nGetExternalCount() const { return m_nExternalCount; }

  // Sets both names, marks the description as loaded and loads it (bLoad); the load's result, its error in the
  // description's holder.
  int bLoadByName(const char16_t* name, const char16_t* sqlTableName, std::uintptr_t argument);
  void SetName(const char16_t* name) { m_strName = name; }
  void SetSqlTableName(const char16_t* name) { m_strSqlTableName = name; }
  void SetOwnerName(const char16_t* name) { m_strOwnerName = name; }

  // Names the item when it has no name or a taken one, places it by its position and key number and takes a
  // component reference in each list it joins; the layout is left to LayoutItems. 0 when memory runs out.
  int AddItem(CColumnDescriptor* item);
  // An item already in the description that has become a key joins the end of the key list; 0 when memory runs out.
  int bAppendKey(CColumnDescriptor* item) { return m_keys.bAdd(item); }
  // The items of a query the runtime analysed: existing items are updated, new ones made from the table column
  // behind them or from the runtime's item; the first key link names the identifying key; then the layout. Keys and
  // automatic identifiers are kept only for a query over one table. The result of the last item handled (the walk
  // stops at the first that fails).
  int bBuildFromQuery(CQueryDescription* query);
  // Record offsets and null-flag indexes of every item, and the three totals. 0 with error 4 in the holder (the
  // items left where they were) when the record would not fit in 32 bits or a binary element is too large for its
  // length word.
  int LayoutItems();
  void SetIdentifyingKey(CColumnDescriptor* item);
  CColumnDescriptor* pGetIdentifyingKeyMember() const { return m_pIdentifyingKey; }
  // The first item of that name, without a reference; null when none.
  CColumnDescriptor* piFindItemByName(const char16_t* name, std::uint32_t mode);
  // piFindItemEx (name, 2) with a reference; error 8.2 and null when there is none.
  CColumnDescriptor* piFindItemOrRaise(const char16_t* name);
  CColumnDescriptor* pGetItemAt(std::uint32_t index) const { return m_items.pGet(index); }
  CColumnDescriptor* pGetKeyAt(std::uint32_t index) const { return m_keys.pGet(index); }
  std::uint32_t nGetNullFlagCount() const { return m_nNullFlagCount; }
  std::uint32_t nGetOrigin() const { return m_nOrigin; }
  CErrorHolder* pGetErrorHolder() const { return m_pErrorHolder; }
  CConnection* pGetConnection() const { return m_pConnection; }

 protected:
  virtual ~CRecordDescription();

 private:
  void DestroyIfUnused();
  // Places the item in a list by its number: -1 appends and takes the count as number, 0 with items present
  // inserts at the front and renumbers the rest, any other number appends.
  int bPlaceInList(CDescriptorList& list, CColumnDescriptor* item, bool byKeyNumber);
  CColumnDescriptor* pChooseIdentifyingKey();
  int bNewItemFromHost(IHostItemDescription* item);
  int bNewItemFromColumn(IHostItemDescription* column, CQueryDescription* query, IHostItemDescription* item,
                         std::uint32_t keep);
  int bUpdateItemFromHost(CQueryDescription* query, std::uint32_t keep, IHostItemDescription* item, std::uint32_t index,
                          IHostItemDescription* column);
  // The fourth text of a descriptor made for a query item: the column the item comes from.
  void ResolveOriginName(CColumnDescriptor* descriptor, CQueryDescription* query, IHostItemDescription* item);
  // A new descriptor from the driver's factory, or null with the out-of-memory error.
  CColumnDescriptor* pNewDescriptor();

  CErrorHolder* m_pErrorHolder;
  std::uint32_t m_nRefCount = 0;
  std::uint32_t m_nExternalCount = 0;
  CConnection* m_pConnection;
  CTString m_strName;
  CTString m_strSqlTableName;
  CTString m_strSecondaryName;
  CTString m_strTertiaryName;
  CTString m_strOwnerName;
  std::uint32_t m_nRecordSize = 0;
  std::uint32_t m_nFullSize = 0;
  std::uint32_t m_nNullFlagCount = 0;
  CDescriptorList m_items;
  CDescriptorList m_keys;
  CDescriptorList m_largeItems;
  CColumnDescriptor* m_pIdentifyingKey = nullptr;  // with a reference
  std::uint32_t m_nOrigin = 0;                     // 0 neither loaded nor built, 1 loaded by name, 2 built from a query
};
