#include "oracle/client/oci_status.h"

#include "oracle/client/oci_declarations.h"

const char16_t* pszOciStatusName(CTString& out, std::int32_t status) {
  switch (status) {
    case oci::OCI_SUCCESS: out = u"OCI_SUCCESS"; break;
    case oci::OCI_SUCCESS_WITH_INFO: out = u"OCI_SUCCESS_WITH_INFO"; break;
    case oci::OCI_NEED_DATA: out = u"OCI_NEED_DATA"; break;
    case oci::OCI_NO_DATA: out = u"OCI_NO_DATA"; break;
    case oci::OCI_ERROR: out = u"OCI_ERROR"; break;
    case oci::OCI_INVALID_HANDLE: out = u"OCI_INVALID_HANDLE"; break;
    case oci::OCI_STILL_EXECUTING: out = u"OCI_STILL_EXECUTING"; break;
    case oci::OCI_CONTINUE: out = u"OCI_CONTINUE"; break;
    default: out.Format(u"Unknown status : %d", status); break;
  }
  return out.pszGet();
}
