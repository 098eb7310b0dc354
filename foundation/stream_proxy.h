// CStreamProxy: the handle through which code uses a file, usually a local variable. It makes its IXStream on the
// first open, forwards every file operation to it and releases it when the proxy goes. A stream made by the proxy's
// open stays with the proxy after a close (closed, its error still readable) and is reused by the next open.
//
// The proxy holds one counted reference on its stream; it is not counted itself. The forwarding operations without
// a stated fall-back need a stream: callers use them after an open.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "foundation/x_stream.h"

class CStreamProxy {
 public:
  CStreamProxy() = default;
  virtual ~CStreamProxy();
  CStreamProxy(const CStreamProxy&) = delete;
  CStreamProxy& operator=(const CStreamProxy&) = delete;

  virtual int bOpen(const char16_t* name, std::uint32_t access, std::uint32_t share, std::uint32_t disposition,
                    std::uint32_t flagsAndAttributes, int* pbCreated);
  virtual void Close();
  virtual int bReopen(std::uint32_t access, std::uint32_t share, std::uint32_t disposition, std::uint32_t flags);
  virtual int nWrite(const void* buffer, std::uint32_t count, std::uint32_t* written);
  virtual int nWriteAt(std::uint64_t position, const void* buffer, std::uint32_t count, std::uint32_t* written);
  virtual int nRead(void* buffer, std::uint32_t count, std::uint32_t* read);
  virtual int nReadAt(std::uint64_t position, void* buffer, std::uint32_t count, std::uint32_t* read);
  virtual int bSeek(std::int64_t offset, std::uint32_t origin);
  virtual std::uint64_t nGetSize();
  virtual std::uint64_t nSeekEnd();
  virtual int bFlush();
  virtual int bTruncate(std::int64_t offset, std::uint32_t origin);
  virtual int bExtend(std::uint64_t count);
  virtual int PrintfW(const char16_t* format, ...);
  virtual int PrintfA(const char* format, ...);
  virtual int VPrintfW(const char16_t* format, va_list arguments);
  virtual int VPrintfA(const char* format, va_list arguments);
  virtual int bReadLineW(char16_t* buffer, std::uint32_t size, int* pbCut, std::uint32_t flags);
  virtual int bReadLineA(char* buffer, std::uint32_t size, int* pbCut, std::uint32_t flags);
  // The copy runs on the proxies' own operations, so that a derived proxy's reads and writes take part.
  virtual int bCopyTo(CStreamProxy* target, std::int64_t count);
  virtual int bLockRange(std::uint64_t offset, std::uint64_t length);
  virtual int bUnlockRange(std::uint64_t offset, std::uint64_t length);
  virtual int bLockFile(std::uint64_t offset, std::uint64_t length);
  virtual int bUnlockFile(std::uint64_t offset, std::uint64_t length);
  virtual const char16_t* pszGetNameBuffer();  // null without a stream
  virtual std::uint64_t nGetPosition();
  virtual int bIsOpen();                       // 0 without a stream
  virtual CXError* pGetErrorOrNull();          // null without a stream
  virtual void ReleaseInner();
  // A new stream (the arguments are those of the open); null when it cannot be made.
  virtual IXStream* pCreateInner(const char16_t* name, std::uint32_t access, std::uint32_t share,
                                 std::uint32_t disposition, std::uint32_t flagsAndAttributes);
  virtual CXError* pGetError();
  virtual int bReadLineWDefault(char16_t* buffer, std::uint32_t size, int* pbCut);
  virtual std::uint32_t nGetAccess();  // 0 without a stream

  // Releases the current stream and keeps this one with a reference of its own (null leaves the proxy empty).
  void SetInner(IXStream* stream);
  IXStream* pGetInner() const { return m_pInner; }

 private:
  IXStream* m_pInner = nullptr;
  std::uint32_t m_bOpenedHere = 0;
};
