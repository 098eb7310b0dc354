// The frame of every request of the driver object: the lock held from the start of the request to its end (so that
// it is left whatever way the request ends, an exception included, which goes on to the caller unchanged), the
// holder cleared or not as the operation's row says, and the references its lookups took, given back at the end.
// Internal to the driver object's implementation.
#pragma once

#include "foundation/error_holder.h"
#include "driver/access_interface.h"
#include "driver/driver.h"
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

// A connection reference taken by a lookup, given back through the driver when the request ends.
class CConnectionRef {
 public:
  CConnectionRef(CDriver& driver, CConnection* connection) : m_driver(driver), m_pConnection(connection) {}
  ~CConnectionRef() {
    if (m_pConnection) m_driver.nReleaseConnection(m_pConnection);
  }
  CConnectionRef(const CConnectionRef&) = delete;
  CConnectionRef& operator=(const CConnectionRef&) = delete;
  CConnection* operator->() const { return m_pConnection; }
  CConnection* Get() const { return m_pConnection; }
  explicit operator bool() const { return m_pConnection != nullptr; }

 private:
  CDriver& m_driver;
  CConnection* m_pConnection;
};

// An internal access-interface reference taken by a lookup, dropped when the request ends.
class CInterfaceRef {
 public:
  explicit CInterfaceRef(CAccessInterface* accessInterface) : m_p(accessInterface) {}
  ~CInterfaceRef() {
    if (m_p) m_p->nRelease();
  }
  CInterfaceRef(const CInterfaceRef&) = delete;
  CInterfaceRef& operator=(const CInterfaceRef&) = delete;
  CAccessInterface* operator->() const { return m_p; }
  CAccessInterface* Get() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }

 private:
  CAccessInterface* m_p;
};

