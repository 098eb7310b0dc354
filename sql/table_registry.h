// CTableRegistry: the tables of one runtime context, by the runtime's file identifier. The access interface asks it
// for the table of a file handle, creating the table through the driver object's table factory on first use; the
// driver object broadcasts a state word to the tables of one name, closes every table when the context ends and
// deep-copies a whole registry when the runtime duplicates a context.
//
// Counted (CRefCounted): the driver's table-registry map holds one reference. It holds one reference on each of its
// tables and on its error holder, which the tables it creates share. It keeps the driver object that made it (no
// reference) to reach that driver's factories. Its lookups take gcsDriverLock themselves (re-entered by callers that
// already hold it).
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/t_string.h"
#include "host/host_objects.h"
#include "sql/object_hash_map.h"

class CConnection;
class CDriver;
class CErrorHolder;
class IHostFileDescription;
class CTable;
class IHostFileHandle;
class IHostKeyTranslator;

// File identifiers as hash keys: the low 32 bits as hash, plain inequality as compare (0 when equal).
std::uint32_t nHashHandleKey(std::uint64_t key);
int bHandleKeysDiffer(std::uint64_t a, std::uint64_t b);

class CTableRegistry : public CRefCounted {
 public:
  explicit CTableRegistry(CDriver* driver);
  ~CTableRegistry() override;

  virtual std::uint32_t nSlot2();  // answers 2
  virtual std::uint32_t nSlot3();  // answers 2
  virtual void CopyFrom(CTableRegistry* source, CHashTable& cloneMap, IHostKeyTranslator* translator, RuntimeWord a,
                        RuntimeWord b);
  virtual CTableRegistry* pClone(CHashTable& cloneMap, IHostKeyTranslator* translator, RuntimeWord a, RuntimeWord b);
  // 6: the driver's table factory with the record description, the connection and the holder.
  virtual CTable* pCreateTable(CConnection* connection, IHostFileDescription* description, CErrorHolder* holder);

  // The table of the file handle with a reference for the caller, or null.
  CTable* pFind(IHostFileHandle* handle);
  CTable* pFindById(std::uint64_t fileId);
  // The table of the file handle with a reference for the caller, made now (created 1) when there was none; null
  // with the out-of-memory error in the registry's holder when the factory made none.
  CTable* pFindOrCreate(IHostFileHandle* handle, CConnection* connection, IHostFileDescription* description,
                        std::uint32_t* created);
  // Drops the handle's entry and the registry's reference on its table; with a table given, only when the entry
  // holds that very table.
  void Remove(IHostFileHandle* handle, const CTable* table = nullptr);
  // Stores the state in every table of that name; the AND of their answers, 1 when none has the name.
  std::uint32_t nSetStateByName(const char16_t* name, std::uint32_t state);
  // Closes every open table and empties the registry.
  void CloseAllTables();

  CErrorHolder* pGetErrorHolder() const { return m_pErrorHolder; }
  std::uint32_t nGetState() const { return m_nState; }
  std::uint32_t nGetTableCount() const { return m_tables.nGetCount(); }
  std::uint64_t nGetKey() const { return m_nKey; }
  void SetKey(std::uint64_t key) { m_nKey = key; }
  const char16_t* pszGetName() const { return m_strName.pszGet(); }
  void SetName(const char16_t* name) { m_strName = name; }
  CDriver* pGetDriver() const { return m_pDriver; }

 private:
  // Files the table under the key with the registry's own reference and tells it its registry; 0 when the table
  // could not be filed (no memory), the table then left as it was given.
  int bInsert(std::uint64_t fileId, CTable* table);
  CTable* pTakeOut(std::uint64_t fileId);

  CDriver* m_pDriver;
  CErrorHolder* m_pErrorHolder = nullptr;
  std::int64_t m_nReserved = -1;
  std::uint32_t m_nState = 1;
  std::uint32_t m_nReservedWord = 0;
  CObjectHashMap m_tables;
  std::uint64_t m_nKey = 0;  // the runtime's registry key it is filed under
  CTString m_strName;        // given by the runtime (driver slot 32); tables read it as their identifier source
};
