// What a saved position asks of the objects around it, kept to these few questions so that positions stand before
// the table object and the statement object do: the table object answers IPositionTable, the statement object
// IPositionOwner (each directly or through a member that speaks for it). Neither interface is counted or destroyed
// through itself.
#pragma once

class CHashTable;
class CKeyedRowCache;

class IPositionTable {
 public:
  // The record store whose rows positions pin (no reference added); null when the table has none.
  virtual CKeyedRowCache* pGetRecordStore() = 0;
  // The table's copy through the clone map: the copy the map holds already, else a new clone registered in it,
  // whose record store is cloned through the same map. No reference is counted for the caller; null on failure.
  virtual IPositionTable* pCloneThroughMap(CHashTable& cloneMap) = 0;

 protected:
  ~IPositionTable() = default;
};

class IPositionOwner {
 public:
  virtual void AddOwnerReference() = 0;
  virtual void ReleaseOwnerReference() = 0;
  // The table the owner reads (no reference); null when none.
  virtual IPositionTable* pGetOwnerTable() = 0;
  // As IPositionTable::pCloneThroughMap, for the owner.
  virtual IPositionOwner* pCloneThroughMap(CHashTable& cloneMap) = 0;

 protected:
  ~IPositionOwner() = default;
};
