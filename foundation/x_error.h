// CXError: the one error object of the system. Every failure, from a file stream to an Oracle call, is described by
// one: a level, a code from the definition table, the user message built from message numbers and their arguments, a
// debug text for support, the Windows system error, typed information items and nested errors. CModuleError is an
// error bound to this module's descriptor; every raiser fills one and hands it to a CErrorHolder. The runtime reads
// the error through the holder by slot and field, so the slot order and the field order below are fixed.
//
// Texts are plain heap buffers owned by the error (null reads as ""); nested errors and copies belong to their parent.
#pragma once

#include <array>
#include <cstdarg>
#include <cstdint>

#include "foundation/dynamic_array.h"
#include "foundation/message_block.h"

class CTString;

enum : std::uint32_t {
  ERROR_LEVEL_NONE = 1,
  ERROR_LEVEL_NONFATAL = 2,
  ERROR_LEVEL_FATAL = 3,
};

// Kinds of information items with a fixed use in this system.
enum : std::uint32_t {
  ERROR_INFO_PATH = 1,
  ERROR_INFO_FILE = 6,
  ERROR_INFO_ITEM = 7,
  ERROR_INFO_NATIVE_CODE = 15,
  ERROR_INFO_ERROR_CODE = 16,
  ERROR_INFO_NATIVE_MESSAGE = 18,
  ERROR_INFO_OBJECT = 21,
  ERROR_INFO_CLIENT_VERSION = 22,
  ERROR_INFO_SERVER_VERSION = 23,
  ERROR_INFO_RAW = 29,
};

// Units of the identification record: which component raised an error.
enum : std::uint32_t {
  ERROR_UNIT_CONNECTION = 1,
  ERROR_UNIT_TRANSACTION = 2,
  ERROR_UNIT_TABLE = 3,
  ERROR_UNIT_CURSOR = 4,
  ERROR_UNIT_DRIVER = 5,
  ERROR_UNIT_ACCESS_INTERFACE = 6,
  ERROR_UNIT_VALUE_FILES = 7,
  ERROR_UNIT_RECORD_DESCRIPTION = 8,
  ERROR_UNIT_CLIENT_LOADER = 9,
  ERROR_UNIT_REWRITER = 10,
  ERROR_UNIT_TABLE_DESCRIPTION = 11,
  ERROR_UNIT_FIELD_VALUE = 12,
  ERROR_UNIT_CONDITIONS = 14,
  ERROR_UNIT_ORACLE_CALL = 100,
  ERROR_UNIT_ORACLE_DESCRIPTION = 101,
  ERROR_UNIT_ORACLE_CURSOR = 102,
  ERROR_UNIT_ORACLE_FIELD_VALUE = 105,
  ERROR_UNIT_ORACLE_PARAMETER = 107,
};

inline constexpr std::uint32_t ERROR_OWNER_NUMBER = 15;
inline constexpr std::uint32_t MESSAGE_NONE = 0xFFFFFFFF;

// One row of the definition table.
struct CErrorDefinition {
  std::uint32_t nCode;
  std::uint32_t nMessage;
  std::uint32_t nShown;
  std::uint32_t nLevel;
};

// The module's constant record.
struct CModuleDescriptor {
  const CErrorDefinition* pDefinitions;
  std::uint32_t nDefinitionCount;
  std::uint32_t nOwnerNumber;
  const char16_t* pszFileName;
  const char16_t* pszVersion;
  PFN_GET_MESSAGE_RECORD pfnGetMessageRecord;
};

extern const CErrorDefinition gstErrorDef[];
extern const std::uint32_t gnErrorDefCount;
extern const CModuleDescriptor gstModuleDescriptor;

// One information item: a kind and its value (a text pointer, a number, an object or a raw value).
struct CErrorInfoItem {
  std::uint32_t nKind;
  std::uint64_t nValue;
};

class CXError {
 public:
  explicit CXError(const CModuleDescriptor* module);
  // Builds with the given owner number, then moves or deep-copies the source.
  CXError(std::uint32_t ownerNumber, CXError& source, int bMove);
  ~CXError();
  CXError(const CXError&) = delete;
  CXError& operator=(const CXError&) = delete;

  // ---- slots 0 to 8 ----
  virtual void Destroy(std::uint32_t flags);                                      // slot 0
  virtual std::int32_t nRelease();                                                // slot 1
  virtual char16_t* pszDuplicateText(char16_t** field, const char16_t* text);     // slot 2
  virtual char16_t* pszReallocText(char16_t** field, std::uint32_t length);       // slot 3
  virtual int bAssignText(char16_t** field, const char16_t* text);                // slot 4
  virtual int bAppendText(char16_t** field, const char16_t* text);                // slot 5
  virtual void FreeText(char16_t** field);                                        // slot 6
  virtual void AddNestedError(CXError* source, int bMove, int bKeepUserMessage);  // slot 7
  virtual void FreeNestedErrors();                                                // slot 8

  void AddRef() { ++m_nRefCount; }
  void Clear();
  // Whether Clear would change nothing: no text, message, information item or nested error, and every number of
  // the error at its cleared value.
  bool bIsClear() const;
  void SetLevel(std::uint32_t level);
  void SetError(const CModuleDescriptor* module, std::uint32_t code, ...);
  void SetErrorV(std::uint32_t code, va_list arguments);
  void SetErrorV(const CModuleDescriptor* module, std::uint32_t code, va_list arguments);
  void SetStatusError(const CModuleDescriptor* module, std::uint32_t status, std::uint32_t a, std::uint32_t b);
  void SetOutOfMemory();
  void InsertUserMessage(const CModuleDescriptor* module, std::uint32_t message, ...);
  void AddUserMessage(const CModuleDescriptor* module, std::uint32_t message, ...);
  void InsertUserMessageV(const CModuleDescriptor* module, std::uint32_t message, va_list arguments);
  void AddUserMessageV(const CModuleDescriptor* module, std::uint32_t message, va_list arguments);
  void AddDebugText(const char16_t* text);
  void InsertDebugText(const char16_t* text);
  void AddDebugMessage(const CModuleDescriptor* module, std::uint32_t message, ...);
  void AddDebugFormat(const char16_t* format, ...);
  void SetSystemError(std::uint32_t code);
  // The module's name and version; without always, only when the error has none yet.
  void SetModuleTexts(const CModuleDescriptor* module, bool always);
  void SetSystemText(const char16_t* text);
  void AppendUserText(const char16_t* text);
  // value: a text, a pointer to a u64 (kind 12), a pointer to a u32 (kinds 15-17, 30), a counted object (kind 21)
  // or the raw value itself (kind 29). Null changes nothing.
  void SetInfo(std::uint32_t kind, const void* value);
  // 0 when absent; else 1 with the value written to out as the kind says.
  int nGetInfo(std::uint32_t kind, void* out) const;
  const char16_t* pszGetInfoText(std::uint32_t kind) const;  // a text item, or null

  std::uint32_t nGetLevel() const { return m_nLevel; }
  std::uint32_t nGetCode() const { return m_nCode; }
  std::uint32_t nGetNumberShown() const { return m_nNumberShown; }
  std::uint32_t nGetSystemCode() const { return m_nSystemCode; }
  std::uint32_t nGetOwnerNumber() const { return m_nOwnerNumber; }
  const char16_t* pszGetUserMessage() const { return Text(m_pszUserMessage); }
  const char16_t* pszGetDebugText() const { return Text(m_pszDebugText); }
  const char16_t* pszGetSystemMessage() const { return Text(m_pszSystemMessage); }
  const char16_t* pszGetModuleName() const { return Text(m_pszModuleName); }
  const char16_t* pszGetModuleVersion() const { return Text(m_pszModuleVersion); }
  std::uint32_t nGetMessageCount() const;
  std::uint32_t nGetMessageAt(std::uint32_t i) const;

  void CopyFrom(const CXError& source);
  void MoveFrom(CXError& source);
  // Whether the error is one of this error's nested errors, at any depth.
  bool bHoldsNested(const CXError& error) const;
  std::uint32_t nGetNestedCount() const;
  CXError* pGetNestedError(std::uint32_t index) const;
  // The last nested error, or this error when it has none.
  CXError* pGetInnermostError();

 protected:
  void Finalize();

 private:
  static const char16_t* Text(const char16_t* field) { return field ? field : u""; }
  void PutUserMessage(const CModuleDescriptor* module, std::uint32_t message, va_list arguments, bool insert);
  // Appends "\r\n" (when the field is not empty) and the text, which may be the field's own.
  void AppendLine(char16_t** field, const char16_t* text);
  bool LoadMessage(const CModuleDescriptor* module, std::uint32_t message, va_list arguments, CTString& text);
  CErrorInfoItem* FindInfo(std::uint32_t kind) const;
  void ReleaseInfoValue(CErrorInfoItem& item);
  void FreeInfoItems();
  void CopyTexts(const CXError& source);
  // The eight text fields, in field order.
  std::array<char16_t**, 8> TextFields();
  // Frees what the error owns (texts, messages, information items, nested errors); the numbers stay.
  void FreeContents();

  // Field order is the shape the runtime reads.
  std::uint32_t m_nRefCount = 0;
  std::uint32_t m_nLevel = ERROR_LEVEL_NONE;
  std::uint32_t m_nCode = 0;
  char16_t* m_pszUserMessage = nullptr;
  char16_t* m_pszDebugText = nullptr;
  char16_t* m_pszReserved1 = nullptr;
  char16_t* m_pszModuleName = nullptr;
  char16_t* m_pszModuleVersion = nullptr;
  std::uint8_t m_bReserved = 0;
  std::uint32_t m_nNumberShown = 0;
  CDynamicArray m_aMessages;
  CDynamicArray m_aInfoItems;
  std::uint32_t m_nSystemCode = 0;
  char16_t* m_pszSystemMessage = nullptr;
  char16_t* m_pszReserved2 = nullptr;
  std::uint16_t m_anReserved[2] = {0, 0};
  CDynamicArray* m_pNested = nullptr;
  char16_t* m_pszReserved3 = nullptr;
  std::uint32_t m_nOwnerNumber = ERROR_OWNER_NUMBER;
  std::uint32_t m_nReservedNumber = 0;
};

// The error of this module: a CXError bound to gstModuleDescriptor.
class CModuleError : public CXError {
 public:
  CModuleError() : CXError(&gstModuleDescriptor) {}
  void Destroy(std::uint32_t flags) override;
};

// Appends "IEQZORA=<unit>.<point>" with the module and version as a debug line.
void AddErrorIdentification(CXError& error, std::uint32_t unit, std::uint32_t point);
// Items 6 and 7: the file (table or query) name, then the item (column) name; nothing without a file.
void SetErrorFileAndItem(CXError& error, const char16_t* file, const char16_t* item);
// The dump of an error that has no holder to go to, cut at 1000 characters.
void BuildIgnoredErrorDump(const CXError& error, CTString& out);
// Builds the dump and drops it: the error has no destination.
void DiscardIgnoredError(const CXError& error);
