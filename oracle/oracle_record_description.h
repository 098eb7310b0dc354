// COracleRecordDescription: the record description of an Oracle table, view, synonym or query result. It fills its
// items from Oracle (a describe of the object, a describe of "SELECT * from" it with the OCI7 set, or the select list
// of a statement the caller executed) and completes them from the catalog views: defaults, keys, the object kind
// (OCI7 only) and the column comments. The object kind and a synonym's target travel with every copy.
//
// The describe work lives in two files: oracle_record_description.cpp (describes and columns) and
// oracle_describe_catalog.cpp (the catalog queries).
#pragma once

#include <cstdint>

#include "engine/record/record_description.h"
#include "foundation/t_string.h"

class CHashTable;
class CInternalQuery;

// The object kinds Oracle reports for a described name (0 when not known).
inline constexpr std::uint32_t ORACLE_OBJECT_TABLE = 1;
inline constexpr std::uint32_t ORACLE_OBJECT_VIEW = 2;
inline constexpr std::uint32_t ORACLE_OBJECT_PROCEDURE = 3;
inline constexpr std::uint32_t ORACLE_OBJECT_FUNCTION = 4;
inline constexpr std::uint32_t ORACLE_OBJECT_PACKAGE = 5;
inline constexpr std::uint32_t ORACLE_OBJECT_SYNONYM = 7;
inline constexpr std::uint32_t ORACLE_OBJECT_SEQUENCE = 8;

// How many synonyms a describe follows before it gives up on the chain as a loop.
inline constexpr std::uint32_t SYNONYM_DEPTH_MAX = 16;

class COracleRecordDescription : public CRecordDescription {
 public:
  COracleRecordDescription(CConnection* connection, CErrorHolder* errorHolder);
  COracleRecordDescription();

  CRecordDescription* pCopy(std::uint32_t options) override;                // slot 44
  int CopyFrom(CRecordDescription* source, CHashTable& cloneMap) override;  // slot 45
  CRecordDescription* pClone(CHashTable& cloneMap) override;                // slot 46
  // argument non-zero: the defaults are not read.
  int bLoad(std::uintptr_t argument) override;  // slot 47
  std::int32_t nSlot48() override;              // slot 48: the description kind, 15
  // Clone-map registration, the base copy, the object kind and the synonym target.
  // (Slots 49 and 50 are the base's destructor.)
  virtual int bCopyFrom(COracleRecordDescription* source, CHashTable& cloneMap);  // slot 51

  // The items of a statement the caller has described (its select list), laid out; with reuse, an item already
  // named like a column is kept as it is. 0 when a column cannot be built.
  int bFillFromCursor(void* statement, std::uint32_t reuse);
  // The column comments as the items' alias texts. A comment for a column the description lacks records error 26
  // and the load goes on. 0 when the statement cannot be prepared, defined, executed or fetched.
  int bLoadComments();
  // Defaults of a table's columns from ALL_TAB_COLUMNS; 1 unless the catalog could not be read.
  int bLoadDefaults();
  // Keys from ALL_IND_COLUMNS and ALL_INDEXES; 0 only when the query could not be made.
  int bLoadIndexes(const char16_t* name);

  std::uint32_t nGetObjectKind() const { return m_nObjectKind; }
  void SetObjectKind(std::uint32_t kind) { m_nObjectKind = kind; }
  const char16_t* pszGetSynonymTarget() const { return m_strSynonymTarget.pszGet(); }

 protected:
  ~COracleRecordDescription() override;

 private:
  // What building one column came to: built, the end of the select list (OCI7 only), or a failure in the holder.
  enum class EColumnResult { kBuilt, kEnd, kFailed };

  int bDescribeObject(const char16_t* name, std::uint32_t depth);
  int bReadSynonymTarget(void* parameter);
  int bDescribeBySelect();
  EColumnResult BuildColumn(void* handle, std::uint32_t handleType, std::uint32_t index, bool noTableText,
                            std::uint32_t reuse);
  // OCI7: columns from position 0 until the end of the select list; 1 when at least one was built and none failed.
  int bBuildSelectList(void* statement, bool noTableText, std::uint32_t reuse);
  int bApplyDefaults(const CTString& text, bool* noRow);
  int nLoadObjectKind();
  // The owner to look the description up with in the catalog: its own, else the connection's user.
  const char16_t* pszCatalogOwner();

  std::uint32_t m_nObjectKind;
  CTString m_strSynonymTarget;
};
