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
  std::uint32_t nGetInterfaceLevel() override;              // 0: 6
  std::int32_t nSlot1() override;                           // 1: 1
  std::int32_t nSlot2() override;                           // 2: -1
  std::int32_t nSlot3() override;                           // 3: -1
  void Slot4() override;                                    // 4
  std::uint32_t AddExternalRef() override;                  // 5
  std::uint32_t nReleaseExternal() override;                // 6
  const char16_t* pszGetName() override;                    // 7
  const char16_t* pszGetNameAgain() override;               // 8
  const char16_t* pszGetEmptyText() override;               // 9
  std::uint32_t nGetRecordSize() override;                  // 10
  std::uint32_t nGetFullSize() override;                    // 11
  std::uint32_t nGetItemCount() override;                   // 12
  std::uint32_t nGetKeyCount() override;                    // 13
  std::uint32_t nGetLargeItemCount() override;              // 14
  std::uint32_t nGetColumnCount() override;                 // 15
  void* piGetItem(std::uint32_t index) override;            // 16
  void* piFindItem(const char16_t* name) override;          // 17
  void* piGetKey(std::uint32_t index) override;             // 18
  void* piGetLargeItem(std::uint32_t index) override;       // 19
  std::int32_t nSlot20() override;                          // 20: 1
  const char16_t* pszGetSqlTableName() override;            // 21
  void* piGetIdentifyingKey() override;                     // 22
  const char16_t* pszGetSecondaryName() override;           // 23
  const char16_t* pszGetTertiaryName() override;           // 24
  const char16_t* pszGetOwnerName() override;               // 25
  const char16_t* pszGetDatabaseName() override;            // 26
  virtual std::int32_t nSlot27();                           // 27: 0
  virtual std::int32_t nSlot28();                           // 28: 0
  virtual std::int32_t nSlot29();                           // 29: 1
  virtual void Slot30();                                    // 30 to 39: nothing
  virtual void Slot31();
  virtual void Slot32();
  virtual void Slot33();
  virtual void Slot34();
  virtual void Slot35();
  virtual void Slot36();
  virtual void Slot37();
  virtual void Slot38();
  virtual void Slot39();
  virtual void DeletingDestructor(std::uint32_t flags);    // 40
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
