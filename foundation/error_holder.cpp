#include "foundation/error_holder.h"

#include <new>

#include "foundation/clone_map.h"

CErrorHolder::CErrorHolder() = default;

std::int32_t CErrorHolder::nSlot0() { return 1; }
std::int32_t CErrorHolder::nSlot1() { return 1; }
std::int32_t CErrorHolder::nSlot2() { return -1; }
std::int32_t CErrorHolder::nSlot3() { return -1; }
void CErrorHolder::Slot4() {}
const char16_t* CErrorHolder::pszGetUserMessage() { return m_error.pszGetUserMessage(); }

std::uint32_t CErrorHolder::nGetErrorCode() {
  return nGetLevel() == ERROR_LEVEL_NONE ? 0 : m_error.nGetCode();
}

std::uint32_t CErrorHolder::nGetRecordedCode() { return m_nRecordedCode; }
const char16_t* CErrorHolder::pszGetFileName() { return m_error.pszGetInfoText(ERROR_INFO_FILE); }
const char16_t* CErrorHolder::pszGetItemName() { return m_error.pszGetInfoText(ERROR_INFO_ITEM); }
CXError* CErrorHolder::pGetEmbeddedObject() { return &m_error; }
std::uint32_t CErrorHolder::nGetLevel() { return m_error.nGetLevel(); }
void CErrorHolder::Slot12() {}
void CErrorHolder::Slot13() {}
void CErrorHolder::Slot14() {}
void CErrorHolder::Slot15() {}
void CErrorHolder::Slot16() {}

void CErrorHolder::Destroy(std::uint32_t flags) {
  if (flags & 1) {
    this->~CErrorHolder();
    ::operator delete(this);
  } else {
    m_error.Destroy(0);
  }
}

void CErrorHolder::Clear() {
  // Every operation clears its holder first, most of them a holder with nothing in it: no walk over empty fields.
  if (m_nRecordedCode == ERROR_CODE_NONE_RECORDED && m_error.bIsClear()) return;
  m_error.Clear();
  m_nRecordedCode = ERROR_CODE_NONE_RECORDED;
}

void CErrorHolder::CopyFrom(CErrorHolder* source, CHashTable& cloneMap) {
  if (!source) return;
  bRegisterClone(cloneMap, source, this);
  m_nRecordedCode = source->m_nRecordedCode;
  m_error.CopyFrom(source->m_error);
  m_nNoDetails = source->m_nNoDetails;
}

CErrorHolder* CErrorHolder::pClone(CHashTable& cloneMap) {
  auto* copy = new (std::nothrow) CErrorHolder();
  if (!copy) return nullptr;
  try {
    copy->CopyFrom(this, cloneMap);
  } catch (...) {
    copy->Destroy(1);
    return nullptr;
  }
  return copy;
}

std::uint32_t CErrorHolder::nRelease() {
  // A release nobody's reference stands for leaves the count at 0 instead of wrapping it (and destroys nothing).
  if (m_nRefCount == 0) return 0;
  if (--m_nRefCount == 0) {
    Destroy(1);
    return 0;
  }
  return m_nRefCount;
}

void CErrorHolder::AddDetails(CConnection* connection) {
  if (connection && !m_nNoDetails) AddConnectionErrorDetails(connection, m_error);
}

void CErrorHolder::RecordError(std::uint32_t code, CXError& error, CConnection* connection) {
  if (!bHasError()) {
    m_nRecordedCode = code;
    m_error.CopyFrom(error);
    AddDetails(connection);
  } else {
    m_error.AddNestedError(&error, 0, 0);
  }
}

void CErrorHolder::FillRaisedError(CXError& error, std::uint32_t unit, std::uint32_t point, std::uint32_t errorCode,
                                   va_list arguments) {
  error.SetErrorV(errorCode, arguments);
  error.SetInfo(ERROR_INFO_ERROR_CODE, &errorCode);
  if (!m_nNoDetails) AddErrorIdentification(error, unit, point);
}

void CErrorHolder::RaiseErrorV(std::uint32_t code, std::uint32_t unit, std::uint32_t point, CConnection* connection,
                               std::uint32_t errorCode, va_list arguments) {
  if (!bHasError()) {
    m_nRecordedCode = code;
    FillRaisedError(m_error, unit, point, errorCode, arguments);
    AddDetails(connection);
    return;
  }
  CModuleError error;
  FillRaisedError(error, unit, point, errorCode, arguments);
  RecordError(code, error, nullptr);
}

void CErrorHolder::RaiseError(std::uint32_t code, std::uint32_t unit, std::uint32_t point, CConnection* connection,
                              std::uint32_t errorCode, ...) {
  va_list arguments;
  va_start(arguments, errorCode);
  RaiseErrorV(code, unit, point, connection, errorCode, arguments);
  va_end(arguments);
}

void CErrorHolder::RaiseErrorOnTop(std::uint32_t code, std::uint32_t unit, std::uint32_t point,
                                   CConnection* connection, std::uint32_t errorCode, ...) {
  va_list arguments;
  va_start(arguments, errorCode);
  if (!bHasError()) {
    RaiseErrorV(code, unit, point, connection, errorCode, arguments);
  } else {
    m_nRecordedCode = code;
    CModuleError previous;
    previous.CopyFrom(m_error);
    m_error.Clear();
    FillRaisedError(m_error, unit, point, errorCode, arguments);
    RecordError(code, previous, nullptr);
  }
  va_end(arguments);
}

void CErrorHolder::AddStatusError(std::uint32_t status, std::uint32_t a, std::uint32_t b, std::uint32_t unit,
                                  std::uint32_t point, CConnection* connection, const char16_t* file,
                                  const char16_t* item) {
  const bool first = !bHasError();
  CModuleError nested;
  CXError& error = first ? static_cast<CXError&>(m_error) : nested;
  if (first) m_nRecordedCode = 0;
  error.SetStatusError(&gstModuleDescriptor, status, a, b);
  if (!m_nNoDetails) {
    SetErrorFileAndItem(error, file, item);
    AddErrorIdentification(error, unit, point);
  }
  if (first) {
    AddDetails(connection);
  } else {
    m_error.AddNestedError(&nested, 0, 0);
  }
}

void CErrorHolder::RaiseNativeError(std::uint32_t code, CConnection* connection, std::uint32_t errorCode,
                                    std::uint32_t nativeCode, const char16_t* nativeMessage) {
  const char16_t* dataSource = connection ? pszConnectionDataSource(connection) : nullptr;
  const bool first = !bHasError();
  CModuleError nested;
  CXError& error = first ? static_cast<CXError&>(m_error) : nested;
  error.SetError(&gstModuleDescriptor, errorCode, dataSource ? dataSource : u"", nativeCode);
  if (nativeMessage && nativeMessage[0]) {
    error.AppendUserText(nativeMessage);
    error.SetSystemText(nativeMessage);
  }
  if (nativeCode != 0) error.SetInfo(ERROR_INFO_NATIVE_CODE, &nativeCode);
  if (first) {
    m_nRecordedCode = code;
    AddDetails(connection);
  } else {
    m_error.AddNestedError(&nested, 0, 0);
  }
}

void CErrorHolder::InsertUserMessage(std::uint32_t message, ...) {
  va_list arguments;
  va_start(arguments, message);
  pGetInnermostError()->InsertUserMessageV(&gstModuleDescriptor, message, arguments);
  va_end(arguments);
}

void CErrorHolder::AddUserMessage(std::uint32_t message, ...) {
  va_list arguments;
  va_start(arguments, message);
  pGetInnermostError()->AddUserMessageV(&gstModuleDescriptor, message, arguments);
  va_end(arguments);
}

void CErrorHolder::InsertDebugText(const char16_t* text) { pGetInnermostError()->InsertDebugText(text); }
void CErrorHolder::AddDebugText(const char16_t* text) { pGetInnermostError()->AddDebugText(text); }

void CErrorHolder::AddClientIdentification(std::uint32_t point) {
  AddErrorIdentification(*pGetInnermostError(), ERROR_UNIT_ORACLE_CALL, point);
}

void CErrorHolder::SetNativeErrorCode(std::uint32_t code) { pGetInnermostError()->SetInfo(ERROR_INFO_NATIVE_CODE, &code); }

std::uint32_t CErrorHolder::nGetNativeErrorCode() {
  std::uint32_t code = 0;
  return pGetInnermostError()->nGetInfo(ERROR_INFO_NATIVE_CODE, &code) ? code : 0;
}

void CErrorHolder::SetNativeErrorMessage(const char16_t* text) {
  pGetInnermostError()->SetInfo(ERROR_INFO_NATIVE_MESSAGE, text);
}

void CErrorHolder::MarkNonFatal() { m_error.SetLevel(ERROR_LEVEL_NONFATAL); }
CXError* CErrorHolder::pGetInnermostError() { return m_error.pGetInnermostError(); }
void CErrorHolder::SetFileAndItem(const char16_t* file, const char16_t* item) { SetErrorFileAndItem(m_error, file, item); }

void CErrorHolder::CopyErrorFrom(CErrorHolder* other) {
  if (!other || other == this) return;
  m_nRecordedCode = other->nGetRecordedCode();
  m_error.CopyFrom(*other->pGetEmbeddedObject());
}
