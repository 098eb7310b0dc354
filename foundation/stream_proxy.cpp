#include "foundation/stream_proxy.h"

#include <new>

#include "foundation/stream_copy.h"

CStreamProxy::~CStreamProxy() { ReleaseInner(); }

void CStreamProxy::SetInner(IXStream* stream) {
  // The new reference first: the stream given may be the one held, whose last reference the release would drop.
  if (stream) stream->AddRef();
  ReleaseInner();
  m_pInner = stream;
}

void CStreamProxy::ReleaseInner() {
  if (m_pInner) m_pInner->nRelease();
  m_pInner = nullptr;
  m_bOpenedHere = 0;
}

IXStream* CStreamProxy::pCreateInner(const char16_t*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {
  try {
    return new IXStream();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int CStreamProxy::bOpen(const char16_t* name, std::uint32_t access, std::uint32_t share, std::uint32_t disposition,
                        std::uint32_t flagsAndAttributes, int* pbCreated) {
  if (!m_pInner) {
    SetInner(pCreateInner(name, access, share, disposition, flagsAndAttributes));
    if (!m_pInner) return 0;
    m_bOpenedHere = 1;
  }
  return m_pInner->bOpen(name, access, share, disposition, flagsAndAttributes, pbCreated);
}

void CStreamProxy::Close() {
  if (!m_pInner) return;
  m_pInner->Close();
  if (!m_bOpenedHere) ReleaseInner();
}

int CStreamProxy::bReopen(std::uint32_t access, std::uint32_t share, std::uint32_t disposition, std::uint32_t flags) {
  return m_pInner->bReopen(access, share, disposition, flags);
}

int CStreamProxy::nWrite(const void* buffer, std::uint32_t count, std::uint32_t* written) {
  return m_pInner->nWrite(buffer, count, written);
}

int CStreamProxy::nWriteAt(std::uint64_t position, const void* buffer, std::uint32_t count, std::uint32_t* written) {
  return m_pInner->nWriteAt(position, buffer, count, written);
}

int CStreamProxy::nRead(void* buffer, std::uint32_t count, std::uint32_t* read) {
  return m_pInner->nRead(buffer, count, read);
}

int CStreamProxy::nReadAt(std::uint64_t position, void* buffer, std::uint32_t count, std::uint32_t* read) {
  return m_pInner->nReadAt(position, buffer, count, read);
}

int CStreamProxy::bSeek(std::int64_t offset, std::uint32_t origin) { return m_pInner->bSeek(offset, origin); }

std::uint64_t CStreamProxy::nGetSize() { return m_pInner->nGetSize(); }

std::uint64_t CStreamProxy::nSeekEnd() { return m_pInner->nSeekEnd(); }

int CStreamProxy::bFlush() { return m_pInner->bFlush(); }

int CStreamProxy::bTruncate(std::int64_t offset, std::uint32_t origin) { return m_pInner->bTruncate(offset, origin); }

int CStreamProxy::bExtend(std::uint64_t count) { return m_pInner->bExtend(count); }

int CStreamProxy::PrintfW(const char16_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int result = VPrintfW(format, arguments);
  va_end(arguments);
  return result;
}

int CStreamProxy::PrintfA(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int result = VPrintfA(format, arguments);
  va_end(arguments);
  return result;
}

int CStreamProxy::VPrintfW(const char16_t* format, va_list arguments) { return m_pInner->VPrintfW(format, arguments); }

int CStreamProxy::VPrintfA(const char* format, va_list arguments) { return m_pInner->VPrintfA(format, arguments); }

int CStreamProxy::bReadLineW(char16_t* buffer, std::uint32_t size, int* pbCut, std::uint32_t flags) {
  return m_pInner->bReadLineW(buffer, size, pbCut, flags);
}

int CStreamProxy::bReadLineA(char* buffer, std::uint32_t size, int* pbCut, std::uint32_t flags) {
  return m_pInner->bReadLineA(buffer, size, pbCut, flags);
}

int CStreamProxy::bCopyTo(CStreamProxy* target, std::int64_t count) {
  bool noMemory;
  return nCopyStreamBlocks(*this, *target, count, &noMemory);
}

int CStreamProxy::bLockRange(std::uint64_t offset, std::uint64_t length) {
  return m_pInner->bLockRange(offset, length);
}

int CStreamProxy::bUnlockRange(std::uint64_t offset, std::uint64_t length) {
  return m_pInner->bUnlockRange(offset, length);
}

int CStreamProxy::bLockFile(std::uint64_t offset, std::uint64_t length) { return m_pInner->bLockFile(offset, length); }

int CStreamProxy::bUnlockFile(std::uint64_t offset, std::uint64_t length) {
  return m_pInner->bUnlockFile(offset, length);
}

const char16_t* CStreamProxy::pszGetNameBuffer() { return m_pInner ? m_pInner->pszGetNameBuffer() : nullptr; }

std::uint64_t CStreamProxy::nGetPosition() { return m_pInner->nGetPosition(); }

int CStreamProxy::bIsOpen() { return m_pInner ? m_pInner->bIsOpen() : 0; }

CXError* CStreamProxy::pGetErrorOrNull() { return m_pInner ? m_pInner->pGetError() : nullptr; }

CXError* CStreamProxy::pGetError() { return m_pInner->pGetError(); }

int CStreamProxy::bReadLineWDefault(char16_t* buffer, std::uint32_t size, int* pbCut) {
  return m_pInner->bReadLineW(buffer, size, pbCut, 0);
}

std::uint32_t CStreamProxy::nGetAccess() { return m_pInner ? m_pInner->nGetAccess() : 0; }
