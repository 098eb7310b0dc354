// CSqlElementLists: what a statement rewriter keeps beside its texts for the statement object after the text is
// sent: the parameters (value leaves, with their places in the statement text), the select columns with the field
// values that receive the fetched data, the table references of the statement, and the flag per column that
// conditions set. The rewriter holds one and hands it its statement text where an operation writes into it.
//
// The lists hold a reference on each element; the holder and the connection are the rewriter's and are not counted
// here.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/flag_list.h"
#include "foundation/ref_counted.h"

class CColumn;
class CConnection;
class CErrorHolder;
class CFieldValue;
class CHashTable;
class CHostValue;
class IHostDeclaredParameters;
class CSqlElement;
class CSqlTableRef;
class CTable;
class CTString;
class CValueLeaf;

inline constexpr const char16_t* SQL_COUNT_COLUMN_TEXT = u"COUNT(*) AS QZACCESNATIF_NBENR";
inline constexpr const char16_t* SQL_ROW_ID_COLUMN_TEXT = u"ROWIDTOCHAR(ROWID)";

class CSqlElementLists {
 public:
  CSqlElementLists(CErrorHolder* holder, CConnection* connection);
  CSqlElementLists(const CSqlElementLists&) = delete;
  CSqlElementLists& operator=(const CSqlElementLists&) = delete;
  ~CSqlElementLists();

  // ---- parameters ----
  // A leaf of the driver's making at the position (the statement text's length when it is placed), with the kind,
  // escape character and origin, and the item as its column; appended. 0 when no leaf was made or the list did not
  // grow.
  int bAddParameter(std::uint64_t position, CFieldValue* value, std::uint32_t kind, std::uint32_t flags, CColumn* item,
                    const char16_t* name, char16_t escape, std::uint32_t origin);
  // A value a statement object hands in: no kind, flags, item or name.
  int bAddValueParameter(std::uint64_t position, CFieldValue* value);
  // A field value made for the runtime value (bound to the item when there is one) added as a constant of the text.
  int nAddTextParameter(std::uint64_t position, CHostValue& value, std::uint32_t kind, std::uint32_t flags,
                        CColumn* item, char16_t escape);
  // Releases, from the end, every parameter placed at or after the position.
  void TruncateParameters(std::uint64_t position);
  // A leaf made elsewhere (another rewriter's, or its duplicate) appended with a reference of the list's own.
  int bAddExistingParameter(CValueLeaf* leaf);
  // Every named parameter that is no cursor parameter takes the value the statement declares under its name (one
  // not declared keeps its value); 0 when a value could not be taken (the error in the holder).
  int bLoadParameterValues(IHostDeclaredParameters* declared);
  // One parameter's value from the declared ones: a field of another type takes the declared type first, unless the
  // two are texts of one width or one of them is a text (the assignment converts then).
  int bLoadParameterValue(CValueLeaf* leaf, IHostDeclaredParameters* declared);
  std::uint32_t nGetParameterCount() const { return m_parameters.nGetCount(); }
  CValueLeaf* pGetParameter(std::uint32_t i) const;

  // ---- select columns; the texts grow or the operation answers 0 with error 12 at 10.6 ----
  int bAddSelectColumn(CColumn* item);
  // "," when select columns exist, then the text, into the statement text; the element (text, value) recorded.
  int bAddSelectText(CTString& statement, const char16_t* text, CFieldValue* value);
  // The count column, bound to a new 32-bit integer value.
  int bAddCountColumn(CTString& statement);
  // The row identifier as text, into the extra select text ("," when that is not empty).
  int bAddRowIdColumn(CTString& extraSelect, CFieldValue* value);
  // The column's select name (its name with a non-zero flag, else its caption form), "," first when select columns
  // exist; an element made from the column recorded.
  int bAppendColumn(CTString& statement, CColumn* column, std::uint32_t flag);
  std::uint32_t nGetSelectColumnCount() const { return m_selectColumns.nGetCount(); }
  CSqlElement* pGetSelectColumn(std::uint32_t i) const;
  // The i-th select column becomes an element of the item (its field value as the value); 0 with error 12 at 10.6 when
  // the element cannot be made (the old one stays).
  int bReplaceSelectColumn(std::uint32_t i, CColumn* item);

  // ---- table references ----
  // The 1-based number of a new reference to the table; -1 when it could not be made or the table gave no value
  // object for it.
  std::int32_t nAddTableRef(CTable* table);
  std::uint32_t nGetTableRefCount() const { return m_tableRefs.nGetCount(); }
  CSqlTableRef* pGetTableRef(std::uint32_t i) const;

  // ---- column flags (an item not in the list reads as 1) ----
  int bSetColumnFlag(const CColumn* item, std::uint32_t flag);
  // With a list: every item of it added with its flag (the own list made when missing); without: the own list
  // emptied. 0 with error 12 at 10.10 when the list cannot be made.
  int bCopyColumnFlags(const CFlagList* other);
  // The other list combined into the own one with AND; nothing to do without either list.
  int bCombineColumnFlags(const CFlagList* other);
  std::uint32_t nGetColumnFlag(const CColumn* item) const;
  const CFlagList* pGetColumnFlags() const { return m_pColumnFlags.get(); }

  // Another list's select columns and table references appended, shared (a reference each); 0 when a list could
  // not grow.
  int bAppendSharedElements(const CSqlElementLists& other);

  // ---- life ----
  // The holder and connection of a rewriter that was made empty and takes its source's (CopyFrom).
  void SetOwners(CErrorHolder* holder, CConnection* connection) {
    m_pHolder = holder;
    m_pConnection = connection;
  }
  // Releases the select columns, the parameters (unless kept) and the table references; the column flags stay.
  void Reset(bool keepParameters = false);
  // Parameters cloned through the map (a parameter already cloned is shared) and the column flags copied; the
  // select columns and table references are the statement's own and are not copied. 0 when a clone failed.
  int CopyFrom(const CSqlElementLists& source, CHashTable& cloneMap);

 private:
  int bAppendText(CTString& text, const char16_t* part);
  int bAddElement(CRefPtrArray& list, CRefCounted* element);
  int bEnsureColumnFlags();
  int bFlagListGrew(int grew);

  CErrorHolder* m_pHolder;
  CConnection* m_pConnection;
  CRefPtrArray m_parameters;     // CValueLeaf
  CRefPtrArray m_selectColumns;  // CSqlElement
  CRefPtrArray m_tableRefs;      // CSqlTableRef
  std::unique_ptr<CFlagList> m_pColumnFlags;
};
