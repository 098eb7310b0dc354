// The frame of every request of the driver object: the lock held from the start of the request to its end (so that
// it is left whatever way the request ends, an exception included, which goes on to the caller unchanged), the
// holder cleared or not as the operation's row says, and the references its lookups took, given back at the end.
// Internal to the driver object's implementation.
#pragma once

#include "driver/access_interface.h"
#include "driver/driver.h"
#include "foundation/error_holder.h"
#include "foundation/reference_guard.h"
#include "host/library_entry.h"

// Every request holds the lock: the operations the runtime's table marks as running without it change the
// connection registry too, from any thread. LOCK_NO_CLEAR keeps what the holder holds.
class CDriverRequest {
 public:
  enum EMode { LOCK, LOCK_NO_CLEAR };
  CDriverRequest(CDriver& driver, EMode mode) {
    gcsDriverLock.Enter();
    if (mode == LOCK && driver.pGetErrorHolder()) driver.pGetErrorHolder()->Clear();
  }
  ~CDriverRequest() { gcsDriverLock.Leave(); }
  CDriverRequest(const CDriverRequest&) = delete;
  CDriverRequest& operator=(const CDriverRequest&) = delete;
};

// A connection reference taken by a lookup, given back through the driver (which may drop a connection nothing
// uses any more) when the request ends.
struct SReleaseThroughDriver {
  CDriver* pDriver;
  void operator()(CConnection* connection) const { pDriver->nReleaseConnection(connection); }
};
class CConnectionRef : public CReferenceGuard<CConnection, SReleaseThroughDriver> {
 public:
  CConnectionRef(CDriver& driver, CConnection* connection) : CReferenceGuard(connection, {&driver}) {}
};

// An internal access-interface reference taken by a lookup, dropped when the request ends.
using CInterfaceRef = CReferenceGuard<CAccessInterface>;
