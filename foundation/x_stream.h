// IXStream: the system's file object. One file handle with the position the stream keeps itself, the access of the
// last open, the full path it was opened under and an error object of its own: every failing operation answers 0
// (all bits set for the sizes) and leaves a complete CXError (level, system code and text, debug lines, a message
// with the file name, the path as information item 1) that the caller reads through pGetError. Every file-system call
// runs with critical-error boxes off, the previous error mode and the last-error value restored afterwards.
//
// Reference counted (CStreamProxy holds one reference); the stream owns its handle, its error object, its text
// buffer and a name set by SetName. Used by one thread at a time.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/x_error.h"
#include "platform/file.h"
#include "platform/last_error.h"

class CTString;

inline constexpr std::uint32_t XSTREAM_NAME_SIZE = 260;
inline constexpr std::uint64_t XSTREAM_SIZE_FAILED = ~std::uint64_t{0};  // what the size functions answer on failure
// bReadLineA/W read pieces of 80 characters. A line ends at its first CR (with the LF after it, if any); an LF ends
// one only in a piece that holds no CR. With this flag a line ends only at CR LF.
inline constexpr std::uint32_t XSTREAM_LINE_CRLF_ONLY = 0x1;

class IXStream : public CRefCounted {
 public:
  // Throws std::bad_alloc when its error object cannot be made: a stream never exists without one.
  IXStream();
  ~IXStream() override;

  virtual int bOpen(const char16_t* name, std::uint32_t access, std::uint32_t share, std::uint32_t disposition,
                    std::uint32_t flagsAndAttributes, int* pbCreated);
  virtual void Close();
  virtual int bReopen(std::uint32_t access, std::uint32_t share, std::uint32_t disposition, std::uint32_t flags);
  virtual int nWrite(const void* buffer, std::uint32_t count, std::uint32_t* written);
  virtual int nWriteAt(std::uint64_t position, const void* buffer, std::uint32_t count, std::uint32_t* written);
  // A null read count makes the read exact: fewer bytes than asked is a failure.
  virtual int nRead(void* buffer, std::uint32_t count, std::uint32_t* read);
  virtual int nReadAt(std::uint64_t position, void* buffer, std::uint32_t count, std::uint32_t* read);
  virtual int bSeek(std::int64_t offset, std::uint32_t origin);
  virtual std::uint64_t nGetSize();
  virtual std::uint64_t nSeekEnd();
  virtual int bFlush();
  // origin 0: offset from the start; 1: from the end.
  virtual int bTruncate(std::int64_t offset, std::uint32_t origin);
  virtual int bExtend(std::uint64_t count);
  virtual int PrintfW(const char16_t* format, ...);
  virtual int PrintfA(const char* format, ...);
  virtual int VPrintfW(const char16_t* format, va_list arguments);
  virtual int VPrintfA(const char* format, va_list arguments);
  virtual int bReadLineW(char16_t* buffer, std::uint32_t size, int* pbCut, std::uint32_t flags);
  virtual int bReadLineA(char* buffer, std::uint32_t size, int* pbCut, std::uint32_t flags);
  // count < 0: up to the end of this stream.
  virtual int bCopyTo(IXStream* target, std::int64_t count);
  virtual int bLockRange(std::uint64_t offset, std::uint64_t length);
  virtual int bUnlockRange(std::uint64_t offset, std::uint64_t length);
  virtual int bLockFile(std::uint64_t offset, std::uint64_t length);
  virtual int bUnlockFile(std::uint64_t offset, std::uint64_t length);
  virtual const char16_t* pszGetNameBuffer();
  virtual std::uint64_t nGetPosition();
  virtual int bIsOpen();
  virtual CXError* pGetError();
  // The name used in messages; null puts it back on the full path.
  virtual int SetName(const char16_t* name);
  virtual std::uint32_t nGetAccess();
  // The file's path on its local fixed drive ("C:" and the path on that volume), out of XSTREAM_NAME_SIZE + 1 units.
  virtual int bQueryFileName(char16_t* out);
  // A lock of the file's first bytes that waits until granted: exclusive (2 bytes) or shared (1 byte).
  virtual int bLockWhole(int bLock, int bExclusive);
  // UTF-16 text lines read through a 64 KiB buffer: the line in buffer when it fits, else in text; null at the end.
  virtual const char16_t* pszReadTextW(char16_t* buffer, std::uint32_t size, CTString* text,
                                       const char16_t* separator);
  virtual int bSetSize(std::uint64_t size);
  virtual int bCopyToNewFile(const char16_t* path, std::uint64_t position, std::int64_t count);
  virtual int bCopyFromFile(const char16_t* path, std::uint64_t offset, std::int64_t count);
  virtual const char16_t* pszGetName();

 private:
  // The error report: level 3, module texts, the system code, the handle line. Debug lines may follow, then
  // EndReport puts the message (MESSAGE_NONE: none) with the name and the two numbers, and the path item.
  void BeginReport(std::uint32_t systemCode);
  int EndReport(std::uint32_t message, std::uint32_t a = 0, std::int32_t b = 0);
  int Report(std::uint32_t message) {
    BeginReport(platform::GetLastErrorCode());
    return EndReport(message);
  }
  void ClearError() { m_pError->SetLevel(ERROR_LEVEL_NONE); }
  void FreeHeapName();
  template <typename T>
  int ReadLine(T* buffer, std::uint32_t size, int* pbCut, std::uint32_t flags);
  int bFillTextBuffer();

  CXError* m_pError = nullptr;
  char16_t m_szName[XSTREAM_NAME_SIZE] = {};
  platform::FileHandle m_hFile = platform::InvalidFileHandle();
  std::uint64_t m_nPosition = 0;
  char16_t* m_pTextBuffer = nullptr;   // XSTREAM_TEXT_UNITS + 1 units
  std::uint32_t m_nTextRead = 0;       // next unit to hand out
  std::uint32_t m_nTextUnits = 0;      // units read into the text buffer
  std::uint32_t m_nAccess = 0;
  char16_t* m_pszName = m_szName;
};
