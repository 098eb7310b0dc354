// CParameterBinding: the tie between one result column or one parameter of a statement and the buffer its value
// travels through. A statement object (CCursor) asks the driver object for one per result column (slot 46) and per
// parameter (slot 47), keeps it with a reference in its binding lists and hands it to its dialect's bind operations;
// the dialect's bindings derive from this class. Only what the statement object calls is declared here.
#pragma once

#include "foundation/ref_counted.h"

class CCursor;
class CRecordBuffer;

class CParameterBinding : public CRefCounted {
 public:
  // Readies the binding for the statement of that cursor; 0 with the error in the cursor's holder.
  virtual int bPrepare(CCursor* cursor) = 0;
  // Hands the binding the buffer of the record its value lands in; 0 on failure.
  virtual int bTransferValue(CRecordBuffer* buffer) = 0;
};
