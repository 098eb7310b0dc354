// CSavedPosition: where a reader stood in a table or query, so that the program can come back to it: the record
// number, the rows of the table's record store that hold the position's records (pinned while the position lives,
// so they are neither reused nor forgotten), the key value of the position, the condition its statement was built
// with, a name and the statement object that saved it.
//
// The table makes it empty, the statement object fills it (bSave, SetOwner, bSetConditionContext), the table binds
// it to its current record (BindToCache) and names it. Each pin is made in a record store on which the position
// holds a reference of its own, and is given back there: a position may outlive its table's record stores. It also
// holds a reference on its owner; the table is not counted.
#pragma once

#include <cstdint>

#include "engine/table/position_key.h"
#include "foundation/ref_counted.h"
#include "foundation/t_string.h"
#include "sql/conditions/filter_holder.h"

class CHashTable;
class CKeyedRowCache;
class IPositionOwner;
class IPositionTable;

class CSavedPosition : public CRefCounted {
 public:
  CSavedPosition() = default;
  ~CSavedPosition() override;

  // ---- operations, in their order ----
  // The source's words, pins (in the copy of each record store through the map, whose pin counts came with it),
  // key, condition, name, table and owner (both through the map); 0 when a copy cannot be made.
  virtual int bCopyFromWithMap(CSavedPosition* source, CHashTable& cloneMap);
  // A new position copied from this one (no reference counted); null when it cannot be made.
  virtual CSavedPosition* pNew(CHashTable& cloneMap);

  CSavedPosition* pClone(CHashTable& cloneMap) { return pNew(cloneMap); }

  // Marks the position valid, keeps the row, pins the cache row in the table's record store (not for ROW_NONE,
  // nor without a table or store: then no row is pinned), copies the key and keeps the mode. A row pinned by an
  // earlier save is given back. 1.
  int bSave(std::uint32_t row, std::uint32_t cacheRow, const CPositionKey& key, std::uint32_t mode);
  // Takes the table and pins the cache row in its record store as the second pinned row (the one pinned before by
  // this call given back).
  void BindToCache(IPositionTable* table, std::uint32_t cacheRow);
  void ClearRow() { m_nRow = 0xFFFFFFFF; }
  void SetName(const char16_t* name) { m_strName.Assign(name); }
  // The condition reference takes the filter (its previous one given back). 1.
  int bSetConditionContext(CFilterHolder* condition);
  // Holds the owner (a reference) and takes its table as the position's table.
  void SetOwner(IPositionOwner* owner);
  // The owner with a reference added (ReleaseOwnerReference gives it back); null when none.
  IPositionOwner* pGetOwner() const;

  std::uint32_t nGetRow() const { return m_nRow; }
  std::uint32_t nGetPinnedRow() const { return m_pin.nRow; }
  std::uint32_t nGetSecondPinnedRow() const { return m_secondPin.nRow; }
  IPositionTable* pGetTable() const { return m_pTable; }
  const CPositionKey& GetKey() const { return m_key; }
  const CConditionRef& GetCondition() const { return m_condition; }
  const char16_t* pszGetName() const { return m_strName.pszGet(); }
  std::uint32_t bIsValid() const { return m_bValid; }
  std::uint32_t nGetState() const { return m_nState; }
  void SetState(std::uint32_t state) { m_nState = state; }
  std::uint32_t nGetMode() const { return m_nMode; }

 private:
  // A row pinned in a record store, with the position's reference on that store.
  struct SPin {
    std::uint32_t nRow = 0xFFFFFFFF;
    CKeyedRowCache* pStore = nullptr;
  };
  void Pin(SPin& pin, std::uint32_t row);
  static void Unpin(SPin& pin);
  static bool bCopyPin(SPin& pin, const SPin& source, CHashTable& cloneMap);

  std::uint32_t m_nRow = 0xFFFFFFFF;
  SPin m_pin;
  SPin m_secondPin;
  IPositionTable* m_pTable = nullptr;
  CPositionKey m_key;
  CConditionRef m_condition;
  CTString m_strName;
  std::uint32_t m_bValid = 0;
  std::uint32_t m_nState = 0;
  IPositionOwner* m_pOwner = nullptr;
  std::uint32_t m_nMode = 0;
};
