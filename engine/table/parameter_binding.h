// CParameterBinding: the tie between one result column or one parameter of a statement and its 1-based position in
// the statement. A statement object (CCursor) asks the driver object for one per result column (slot 46) and per
// parameter (slot 47), keeps it with a reference in its binding lists and hands it to its dialect's bind operations;
// the dialect's bindings derive from this class and bind it to the server.
//
// Counted. It holds a reference on its entry: a select column (CSqlElement) or a parameter (CValueLeaf) of the
// statement.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"

class CCursor;
class CFieldValue;
class CHashTable;
class CRecordBuffer;
class CSqlElement;
class CValueLeaf;

class CParameterBinding : public CRefCounted {
 public:
  // The entry kept with a reference (may be null); count 0.
  CParameterBinding(CSqlElement* column, std::uint32_t position);
  CParameterBinding(CValueLeaf* parameter, std::uint32_t position);
  // No entry, position -1: for pClone.
  CParameterBinding();
  ~CParameterBinding() override;

  // ---- operations, in their order after the destructor and the release ----
  // Loads the entry's fetched value with the buffer of the record it lands in; 0 on failure.
  virtual int bTransferValue(CRecordBuffer* buffer);
  // Readies the binding for the statement of that cursor; 1 here, the dialect binds. 0 with the error in the
  // cursor's holder.
  virtual int bPrepare(CCursor* cursor);
  // The source's position, and its entry cloned through the map (a copy the map holds is shared); 0 when the map or
  // the clone failed.
  virtual int bCopyFrom(CParameterBinding* source, CHashTable& cloneMap);
  // A copy with no reference, or null.
  virtual CParameterBinding* pClone(CHashTable& cloneMap);

  // The name of the entry's column ("" without one), its field value (null without one), and whether it is a
  // parameter through which the server hands back a cursor (a result column never is).
  const char16_t* pszGetColumnName() const;
  CFieldValue* pGetFieldValue() const;
  int bIsCursorParameter() const;
  std::uint32_t nGetPosition() const { return m_nPosition; }
  int bIsParameter() const { return m_pParameter != nullptr; }
  // The statement's parameter behind the binding; null for a result column.
  CValueLeaf* pGetParameter() const { return m_pParameter; }
  // The statement's select column behind the binding; null for a parameter.
  CSqlElement* pGetSelectColumn() const { return m_pColumn; }

 private:
  void ReleaseEntry();

  std::uint32_t m_nPosition = 0xFFFFFFFF;
  // One of the two, or neither.
  CSqlElement* m_pColumn = nullptr;
  CValueLeaf* m_pParameter = nullptr;
};
