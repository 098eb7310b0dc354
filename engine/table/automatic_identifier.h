// CAutomaticIdentifier: the next value of an automatic-identifier column when the database does not make it: the
// column's maximum plus one, asked through an internal query on the table's connection; and the current maximum.
// The Oracle class replaces the next-value text and the error (a sequence instead of MAX).
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"

class CColumn;
class CErrorHolder;
class CHostValue;
class CInternalQuery;
class CTable;
class CTString;

class CAutomaticIdentifier : public CRefCounted {
 public:
  CAutomaticIdentifier() = default;
  ~CAutomaticIdentifier() override;

  virtual int nReserved();  // 0
  virtual int bGetNextValue(CTable* table, CColumn* column, CErrorHolder* holder, CHostValue* value);
  virtual int bGetCurrentMaximum(CTable* table, CColumn* column, CErrorHolder* holder, CHostValue* value);
  virtual int bBuildNextValueText(CTString& text, CTable* table, CColumn* column);
  virtual int bBuildMaxText(CTString& text, CTable* table, CColumn* column);
  virtual void RaiseError(CErrorHolder* holder, CTable* table, CColumn* column);

 protected:
  CInternalQuery* m_pNextValueQuery = nullptr;
  CInternalQuery* m_pMaximumQuery = nullptr;
};
