#include "oracle/client/oci_status.h"

#include "oracle/client/oci_declarations.h"

namespace {

struct SStatusName {
  std::int32_t nStatus;
  const char16_t* pszName;
};

constexpr SStatusName gastStatusNames[] = {
    {oci::OCI_SUCCESS, u"OCI_SUCCESS"},
    {oci::OCI_SUCCESS_WITH_INFO, u"OCI_SUCCESS_WITH_INFO"},
    {oci::OCI_NEED_DATA, u"OCI_NEED_DATA"},
    {oci::OCI_NO_DATA, u"OCI_NO_DATA"},
    {oci::OCI_ERROR, u"OCI_ERROR"},
    {oci::OCI_INVALID_HANDLE, u"OCI_INVALID_HANDLE"},
    {oci::OCI_STILL_EXECUTING, u"OCI_STILL_EXECUTING"},
    {oci::OCI_CONTINUE, u"OCI_CONTINUE"},
};

}  // namespace

const char16_t* pszOciStatusName(CTString& out, std::int32_t status) {
  for (const SStatusName& entry : gastStatusNames) {
    if (entry.nStatus == status) {
      out = entry.pszName;
      return out.pszGet();
    }
  }
  out.Format(u"Unknown status : %d", status);
  return out.pszGet();
}
