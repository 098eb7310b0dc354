// What every client call wrapper shares: the guarded region around one client call, the client-fault flag, the
// connection's session fields in the client's types, and texts in the form the client takes and gives.
//
// A guarded region catches what comes out of the client: a fall-back stub's CTString becomes error 1040 naming the
// entry, any other C++ exception error 23 ("Oracle") with the client-fault steps. Hardware faults inside the client
// (access violations and the like) are not caught: our compilers have no structured exception handling, so such a
// fault ends the process as it would without the driver.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

#include "foundation/t_string.h"
#include "oracle/client/oci_declarations.h"
#include "oracle/oracle_connection.h"

class CErrorHolder;

// 1 after the first exception other than a stub's came out of the client; cleared by the connection when it frees
// its server and session handles. Written by the wrappers and the connection, read by the connection's error
// details, all under gcsDriverLock.
extern std::uint32_t gbOciClientFailed;

inline constexpr std::uint32_t ERROR_MISSING_CLIENT_ENTRY = 1040;
inline constexpr std::uint32_t ERROR_CLIENT_FAULT = 23;

// The two handlers of a guarded region. Each records its error at 100.point (a stub's without a holder is dumped
// and dropped; a fault's goes to the driver object's holder then).
void OnMissingOciEntry(COracleConnection* connection, CErrorHolder* holder, std::uint32_t point, const CTString& entry);
void OnOciClientFault(COracleConnection* connection, CErrorHolder* holder, std::uint32_t point);

// Runs one client call; true when it returned, false after an exception (recorded by the handlers).
template <typename Call>
bool bOciGuarded(COracleConnection* connection, CErrorHolder* holder, std::uint32_t point, Call&& call) {
  try {
    call();
    return true;
  } catch (const CTString& entry) {
    OnMissingOciEntry(connection, holder, point, entry);
  } catch (...) {
    OnOciClientFault(connection, holder, point);
  }
  return false;
}

// The wrapper's message put in front of the holder's innermost error after a failure; nothing without a holder.
void InsertWrapperMessage(CErrorHolder* holder, std::uint32_t message);

// The connection's session fields in the client's types.
inline oci::OCIEnv* pEnvOf(COracleConnection* c) { return static_cast<oci::OCIEnv*>(c->m_pEnvironment); }
inline oci::OCIError* pErrorOf(COracleConnection* c) { return static_cast<oci::OCIError*>(c->m_pErrorHandle); }
inline oci::OCISvcCtx* pServiceOf(COracleConnection* c) { return static_cast<oci::OCISvcCtx*>(c->m_pServiceContext); }
inline oci::Oci7DataArea* pLogonAreaOf(COracleConnection* c) {
  return reinterpret_cast<oci::Oci7DataArea*>(c->m_abOci7LogonData);
}
// The code page texts go to the client in: that of the session's SQL text (CODE_PAGE_UTF16 when the client works in
// UTF-16), the connection's ANSI code page while the session has not chosen one.
std::uint32_t nClientCodePage(COracleConnection* connection);
bool bClientIsUtf16(COracleConnection* connection);

// A UTF-16 text in the client's form: the text itself in UTF-16 (which must outlive this object), else a copy in
// the client code page, owned here.
class COciText {
 public:
  COciText(COracleConnection* connection, const char16_t* text);
  // The first `units` units of a text that need not end there.
  COciText(COracleConnection* connection, const char16_t* text, std::uint32_t units);
  ~COciText();
  COciText(const COciText&) = delete;
  COciText& operator=(const COciText&) = delete;

  oci::OraText* pGet() const { return m_pBytes; }
  std::uint32_t nGetBytes() const { return m_nBytes; }
  // Whether memory refused the client's form: the text then stands empty and must not go to the client.
  bool bRefused() const { return m_bRefused; }

 private:
  void Encode(COracleConnection* connection, const char16_t* text);  // a terminated text

  oci::OraText* m_pBytes = nullptr;
  std::uint32_t m_nBytes = 0;
  char* m_pOwned = nullptr;
  bool m_bRefused = false;
};

// A text sent unchanged with every call of a kind (a mask, NLS parameters): its client form is made once per
// connection and kept there, where the client reads it in place. A connection that cannot keep one more (memory, or
// already a few dozen of them) lends the text a form of its own for this call, as COciText does.
class CConstantOciText {
 public:
  CConstantOciText(COracleConnection* connection, const char16_t* text, std::uint32_t units);
  oci::OraText* pGet() const;
  std::uint32_t nGetBytes() const;
  bool bRefused() const { return m_own && m_own->bRefused(); }

 private:
  const std::string* m_pKept = nullptr;
  std::optional<COciText> m_own;  // made when the connection keeps no form
};

// True when every text has its client form; else false with out of memory in the holder.
bool bOciTextsMade(CErrorHolder* holder, std::initializer_list<const COciText*> texts);

// A client text of at most `bytes` bytes (a terminator ends it sooner) into UTF-16, from the client's form.
// False when memory did not allow the whole text.
bool ReadClientText(COracleConnection* connection, const void* text, std::uint32_t bytes, CTString& out);

// The OCI7 data area fields the wrappers read.
std::uint16_t nOci7ReturnCode(const void* area);
std::uint32_t nOci7RowsProcessed(const void* area);
