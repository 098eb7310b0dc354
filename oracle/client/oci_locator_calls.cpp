#include "oracle/client/oci_locator_calls.h"

#include "driver/driver.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "host/library_entry.h"
#include "oracle/client/oci_call.h"
#include "oracle/client/oci_entries.h"

using namespace oci;

int nOciFreeDescriptorAt(COracleConnection* connection, CErrorHolder* holder, void* descriptor, std::uint32_t type,
                         std::uint32_t unit, std::uint32_t point) {
  try {
    OciEntry<OCI_SLOT_OCIDescriptorFree>()(descriptor, type);
    return 1;
  } catch (const CTString& entry) {
    RaiseModuleError(holder, 0, unit, point, connection, nullptr, ERROR_MISSING_CLIENT_ENTRY, entry.pszGet());
  } catch (...) {
    CErrorHolder* target = holder ? holder : (gpDriver ? gpDriver->pGetErrorHolder() : nullptr);
    RaiseModuleError(target, 0, unit, point, connection, nullptr, ERROR_CLIENT_FAULT, u"Oracle");
    if (gpDriver) gpDriver->OnClientLibraryFault(target, connection);
    gbOciClientFailed = 1;
  }
  return 0;
}
