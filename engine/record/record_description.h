// CRecordDescription: the driver's description of one record layout (a table's columns or a query's result
// columns), which the runtime reads through its file-description interface. The driver's factories make it (the
// Oracle class in practice); tables, cursors and the runtime hold it with two counts: internal references (AddRef,
// nRelease) and the runtime's external ones (slots 5 and 6); it goes when both are 0.
//
// What the connection layer and the driver object need of it is here: the counts, the names, loading by name and
// the database name. The item lists, their layout and the building from a query belong to the table engine and are
// not built yet: the lists are empty, so every count answers 0 and every item lookup null.
#pragma once

#include <cstdint>

#include "foundation/t_string.h"
#include "host/host_objects.h"

class CConnection;
class CErrorHolder;

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
  // The Oracle class loads the description from the catalog; the generic one cannot and answers 0.
  virtual int bLoad(std::uintptr_t argument);

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
  CErrorHolder* pGetErrorHolder() const { return m_pErrorHolder; }
  CConnection* pGetConnection() const { return m_pConnection; }

 protected:
  virtual ~CRecordDescription();

 private:
  void DestroyIfUnused();

  CErrorHolder* m_pErrorHolder;
  std::uint32_t m_nRefCount = 0;
  std::uint32_t m_nExternalCount = 0;
  CConnection* m_pConnection;
  CTString m_strName;
  CTString m_strSqlTableName;
  CTString m_strSecondaryName;
  CTString m_strTertiaryName;
  CTString m_strOwnerName;
  std::uint32_t m_nOrigin = 0;  // 0 neither loaded nor built, 1 loaded by name, 2 built from a query
};
