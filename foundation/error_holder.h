// CErrorHolder: the outcome of an object's last operation, handed to the runtime, which reads it by slot after an
// operation answered 0. It keeps the code under which the first failure was recorded and the error that describes
// it; later failures of the same operation nest inside that error. Raisers go through it so that every error gets
// its identification record and, for a connection, the connection's details.
//
// Reference counted; destroyed through slot 17. Used under the process-wide driver lock only.
#pragma once

#include <cstdint>

#include "foundation/x_error.h"

class CConnection;
class CHashTable;

// What the holder asks of the connection an error is recorded for, defined by the connection layer (sql/), which
// the foundation cannot include: its details appended to the error, and its data source text. Never called with null.
void AddConnectionErrorDetails(CConnection* connection, CXError& error);
const char16_t* pszConnectionDataSource(CConnection* connection);

inline constexpr std::uint32_t ERROR_CODE_NONE_RECORDED = 0xFFFFFFFF;

class CErrorHolder {
 public:
  CErrorHolder();
  ~CErrorHolder() = default;
  CErrorHolder(const CErrorHolder&) = delete;
  CErrorHolder& operator=(const CErrorHolder&) = delete;

  // ---- the runtime's slots ----
  virtual std::int32_t nSlot0();                              // slot 0: 1
  virtual std::int32_t nSlot1();                              // slot 1: 1
  virtual std::int32_t nSlot2();                              // slot 2: -1
  virtual std::int32_t nSlot3();                              // slot 3: -1
  virtual void Slot4();                                       // slot 4
  virtual const char16_t* pszGetUserMessage();                // slot 5
  virtual std::uint32_t nGetErrorCode();                      // slot 6
  virtual std::uint32_t nGetRecordedCode();                   // slot 7
  virtual const char16_t* pszGetFileName();                   // slot 8
  virtual const char16_t* pszGetItemName();                   // slot 9
  virtual CXError* pGetEmbeddedObject();                      // slot 10
  virtual std::uint32_t nGetLevel();                          // slot 11
  virtual void Slot12();                                      // slot 12
  virtual void Slot13();                                      // slot 13
  virtual void Slot14();                                      // slot 14
  virtual void Slot15();                                      // slot 15
  virtual void Slot16();                                      // slot 16
  virtual void Destroy(std::uint32_t flags);                  // slot 17
  virtual void Clear();                                       // slot 18
  virtual void CopyFrom(CErrorHolder* source, CHashTable& cloneMap);  // slot 19
  virtual CErrorHolder* pClone(CHashTable& cloneMap);         // slot 20

  void AddRef() { ++m_nRefCount; }
  std::uint32_t nRelease();
  std::uint32_t nGetRefCount() const { return m_nRefCount; }

  void RecordError(std::uint32_t code, CXError& error, CConnection* connection);
  void RaiseError(std::uint32_t code, std::uint32_t unit, std::uint32_t point, CConnection* connection,
                  std::uint32_t errorCode, ...);
  void RaiseErrorV(std::uint32_t code, std::uint32_t unit, std::uint32_t point, CConnection* connection,
                   std::uint32_t errorCode, va_list arguments);
  void RaiseErrorOnTop(std::uint32_t code, std::uint32_t unit, std::uint32_t point, CConnection* connection,
                       std::uint32_t errorCode, ...);
  void AddStatusError(std::uint32_t status, std::uint32_t a, std::uint32_t b, std::uint32_t unit,
                      std::uint32_t point, CConnection* connection, const char16_t* file, const char16_t* item);
  void RaiseNativeError(std::uint32_t code, CConnection* connection, std::uint32_t errorCode, std::uint32_t nativeCode,
                        const char16_t* nativeMessage);
  void InsertUserMessage(std::uint32_t message, ...);
  void AddUserMessage(std::uint32_t message, ...);
  void InsertDebugText(const char16_t* text);
  void AddDebugText(const char16_t* text);
  void AddClientIdentification(std::uint32_t point);
  void SetNativeErrorCode(std::uint32_t code);
  std::uint32_t nGetNativeErrorCode();
  void SetNativeErrorMessage(const char16_t* text);
  void MarkNonFatal();
  CXError* pGetInnermostError();
  void SetFileAndItem(const char16_t* file, const char16_t* item);
  // The state the runtime reads of a held error, changed after the error was classified.
  void SetRecordedCode(std::uint32_t code) { m_nRecordedCode = code; }
  void CopyErrorFrom(CErrorHolder* other);

  void SetNoDetails(std::uint32_t flag) { m_nNoDetails = flag; }
  std::uint32_t nGetNoDetails() const { return m_nNoDetails; }
  bool bHasError() const { return m_nRecordedCode != ERROR_CODE_NONE_RECORDED; }

 private:
  void AddDetails(CConnection* connection);
  void FillRaisedError(CXError& error, std::uint32_t unit, std::uint32_t point, std::uint32_t errorCode,
                       va_list arguments);

  std::uint32_t m_nRefCount = 0;
  std::uint32_t m_nRecordedCode = ERROR_CODE_NONE_RECORDED;
  CModuleError m_error;
  std::uint32_t m_nNoDetails = 0;
};
