// What the OCI entry points share: where a call's error goes (an error handle, or the environment for the calls
// that take one instead), the client text of a handle's environment, the call-log and injection step every entry
// begins with, the session a service context speaks for, and the parameter descriptors of statement columns.
#pragma once

#include <sstream>
#include <string>

#include "standin/oci/control.h"
#include "standin/oci/handles.h"
#include "standin/oci/text_codec.h"
#include "standin/oci/value_transfer.h"

namespace qzoci {

// The error slot of an error or environment handle; null for anything else.
OraError* ErrorSlot(void* handle);
// The descriptor at `p` when it is live and of the family, null otherwise: LOB and file locators; dates and
// timestamps; intervals. A descriptor of another kind must be refused, never read as this one.
LobD* AsLob(const void* p);
DateTimeD* AsDateTime(const void* p);
IntervalD* AsInterval(const void* p);

// The environment of any handle or descriptor we made that has one.
EnvH* EnvOf(const void* handle);
ub2 CharsetOf(const void* handle);

// Records the error in the handle and answers OCI_ERROR.
sword Fail(void* errorHandle, const OraError& error);
sword Fail(void* errorHandle, int oraCode, const std::string& detail = std::string());
sword Injected(void* errorHandle, const Injection& injection);

std::string ClientText(const void* text, std::size_t bytes, ub2 charset);
// Copies a text into a client buffer of `size` bytes with a terminator, in the charset; answers the bytes copied.
std::size_t CopyOut(const std::string& utf8, void* buffer, std::size_t size, ub2 charset);

// The logged-on session of a service context, or null.
Session* SessionOfService(SvcCtxH* svc);
// The owner of the branch that the service context's transaction handle names on the session (attached or
// detached), else the session's current owner; and the handle's branch ended.
std::uint64_t BranchOwner(SvcCtxH* svc, Session* session);
void EndBranch(SvcCtxH* svc);
TextSettings SettingsOf(const Session* session);

// Parameter descriptors of a statement's result columns.
void DescribeColumns(StmtH& stmt);
std::unique_ptr<ParamD> ColumnParam(const std::string& name, const OraColumnType& type, bool nullable,
                                    bool explicitDescribe);

// Log detail builder: Detail() << "sql=" << text.
class Detail {
 public:
  template <typename T>
  Detail& operator<<(const T& value) {
    out_ << value;
    return *this;
  }
  operator std::string() const { return out_.str(); }  // NOLINT: reads as the text it built

 private:
  std::ostringstream out_;
};

}  // namespace qzoci

// Every entry starts with this: the call is logged and an injected status or exception takes effect. The detail
// text is built only while calls are watched.
#define QZOCI_ENTER(entry, errorHandle, detail)                                                         \
  do {                                                                                                  \
    if (::qzoci::CallsWatched()) {                                                                      \
      if (auto injected_ = ::qzoci::EnterEntry(entry, (detail)))                                        \
        return ::qzoci::Injected(const_cast<void*>(static_cast<const void*>(errorHandle)), *injected_); \
    }                                                                                                   \
  } while (0)
