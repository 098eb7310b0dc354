// The Oracle bindings of a statement: COracleParameterBinding defines one result column's output buffer (a LOB
// column's locator, a LONG column piece by piece) and moves a fetched LOB into its column; COracleParameter binds one
// statement parameter by name, with a plain buffer or at execution time through the client's dynamic-bind
// callbacks, and a REF CURSOR parameter with a statement handle of its own.
//
// The buffers belong to the field values; the define and bind handles to the client's statement handle. A parameter
// owns its REF CURSOR handle (made on the first bind, reused after, freed with the parameter).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/table/parameter_binding.h"

class CColumn;
class CErrorHolder;
class COracleColumn;
class COracleConnection;
class COracleFieldValue;

// What a statement object of the Oracle layer shows its bindings: the client's statement handle (null before its
// first prepare) and the connection it runs on. The Oracle cursor implements it; so can a test's statement.
class IOracleStatementHandle {
 public:
  virtual void* pGetOciStatement() = 0;
  virtual COracleConnection* pGetOciConnection() = 0;

 protected:
  ~IOracleStatementHandle() = default;
};

// The error a Unicode column or parameter gives with a client older than version 9.
inline constexpr std::uint32_t ERROR_UNICODE_NEEDS_CLIENT_9 = 1047;
// The client's REF CURSOR external type, and the size of the pieces of an output bound at execution.
inline constexpr std::uint16_t SQLT_REF_CURSOR = 116;
inline constexpr std::uint32_t OUTPUT_PIECE_BYTES = 1024;

class COracleParameterBinding : public CParameterBinding {
 public:
  using CParameterBinding::CParameterBinding;
  ~COracleParameterBinding() override;

  // After a fetch: a LOB is read now, or marked unread for the table to read on demand; any other value loads.
  int bTransferValue(CRecordBuffer* buffer) override;
  // Defines the result column on the statement's handle.
  int bPrepare(CCursor* cursor) override;
  CParameterBinding* pClone(CHashTable& cloneMap) override;

  // ---- added ----
  // The dynamic flag and the return code; the define handle is the copy's statement's own.
  virtual int bCopyFrom(COracleParameterBinding* source, CHashTable& cloneMap);

  std::uint16_t* pGetIndicators();
  COracleFieldValue* pGetOracleValue() const;
  // The Oracle column of a result column, null for a parameter or another kind of column.
  COracleColumn* pGetOracleColumn() const;
  std::uint32_t bIsDynamic() const { return m_bDynamic; }
  // The define handle of a result column, null before it is defined.
  void* pGetDefine() const { return m_pDefine; }
  std::uint16_t nGetReturnCode() const { return m_nReturnCode; }

 protected:
  // Error 1047 for a column or parameter of a Unicode type when the client is older than version 9; true when none.
  static int bCheckUnicodeClient(COracleFieldValue* value, CErrorHolder* holder);

  void* m_pDefine = nullptr;
  std::uint32_t m_bDynamic = 0;
  // Whether the define holds the column's LOB locator: a value prepared before the server's column type was known
  // is defined as text and arrives with its contents, not as a locator to read.
  std::uint32_t m_bLocatorDefined = 0;
  std::uint16_t m_nReturnCode = 0;
};

class COracleParameter final : public COracleParameterBinding {
 public:
  COracleParameter(CValueLeaf* parameter, std::uint32_t position);
  COracleParameter();
  // Frees the REF CURSOR handle, errors not recorded.
  ~COracleParameter() override;

  CParameterBinding* pClone(CHashTable& cloneMap) override;

  // ---- added ----
  virtual int bCopyFrom(COracleParameter* source, CHashTable& cloneMap);

  const char16_t* pszGetName() const;
  // Whether the parameter goes at execution time.
  int bPrepareBindMode();
  // Binds the parameter on the statement handle; errors to the owner's holder.
  int bBind(CErrorHolder* owner, void* statement, COracleConnection* connection);
  void* pGetCursorHandle() const { return m_pCursor; }
  // The handle passes to whoever takes it (the statement reading the cursor): the parameter no longer frees it.
  void* pTakeCursorHandle();

  // After an execution that handed a named output back in pieces: the value takes every piece, the last one's length
  // included (the client tells it after its last call). 1 when there was nothing to complete.
  int bCompleteOutput();
  // What the parameter sends as its value when the client asks for it at execution: its buffer and byte length, a
  // text without its terminator (which would otherwise be a character of the value).
  void GetInputBytes(void** buffer, std::uint32_t* length);

  // The client's dynamic-bind callbacks, with its published signatures (the context is the parameter). Each answers
  // OCI_CONTINUE.
  static std::int32_t nInBindCallback(void* context, void* bind, std::uint32_t iteration, std::uint32_t index,
                                      void** buffer, std::uint32_t* length, std::uint8_t* piece, void** indicator);
  static std::int32_t nInBindValueCallback(void* context, void* bind, std::uint32_t iteration, std::uint32_t index,
                                           void** buffer, std::uint32_t* length, std::uint8_t* piece,
                                           void** indicator);
  static std::int32_t nOutBindCallback(void* context, void* bind, std::uint32_t iteration, std::uint32_t index,
                                       void** buffer, std::uint32_t** length, std::uint8_t* piece, void** indicator,
                                       std::uint16_t** returnCode);
  static std::int32_t nOutBindPieceCallback(void* context, void* bind, std::uint32_t iteration, std::uint32_t index,
                                            void** buffer, std::uint32_t** length, std::uint8_t* piece,
                                            void** indicator, std::uint16_t** returnCode);

 private:
  // The value (as far as it came) from the output received so far; false, the holder told, when memory refused it.
  bool bSetOutputValue(std::size_t bytes);

  void* m_pBind = nullptr;
  void* m_pCursor = nullptr;
  COracleConnection* m_pCursorConnection = nullptr;
  std::uint16_t m_nCursorIndicator = 0;
  // The pieces of a named output bound at execution, and how many bytes of them came before the current piece.
  std::string m_output;
  std::size_t m_nReceived = 0;
};
