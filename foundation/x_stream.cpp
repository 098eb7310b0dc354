#include "foundation/x_stream.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "foundation/file_paths.h"
#include "foundation/stream_copy.h"
#include "foundation/t_string.h"
#include "foundation/text_utils.h"
#include "foundation/wide_format.h"
#include "platform/error_mode.h"
#include "platform/module.h"
#include "platform/path.h"
#include "platform/volume.h"

// The two system entries found by name use the system's own calling convention, which differs on 32-bit Windows.
#if defined(_WIN32) && !defined(_WIN64)
#define QZ_SYSTEM_ENTRY __stdcall
#else
#define QZ_SYSTEM_ENTRY
#endif

namespace {

constexpr std::uint32_t kTextBufferBytes = 65536;
constexpr std::uint32_t kTextBufferUnits = kTextBufferBytes / sizeof(char16_t);
constexpr std::uint32_t kLinePiece = 80;
constexpr std::uint32_t kFormatUnits = 1024;
constexpr std::uint32_t kShareReadWrite = platform::kFileShareRead | platform::kFileShareWrite;
constexpr std::uint32_t kFileNameInformation = 9;
constexpr std::uint32_t kFileNameInformationSize = 524;
constexpr std::uint32_t kQueriedPathUnits = 258;
constexpr std::uint32_t kDriveStringsUnits = 519;

struct SIoStatusBlock {
  void* pStatus;
  std::uintptr_t nInformation;
};
// Where a line ends in the n units at p: at the first CR, else at the first LF, else n. An LF ends a line only
// where no CR follows it in the same stretch: files written with CR LF line ends may hold bare LFs inside a line.
template <typename T>
std::uint32_t nFindLineEnd(const T* p, std::uint32_t n) {
  std::uint32_t lf = n;
  for (std::uint32_t i = 0; i < n; ++i) {
    if (p[i] == T('\r')) return i;
    if (p[i] == T('\n') && lf == n) lf = i;
  }
  return lf;
}

using PFN_NT_QUERY_INFORMATION_FILE = std::int32_t(QZ_SYSTEM_ENTRY*)(void* file, SIoStatusBlock* status,
                                                                     void* information, std::uint32_t length,
                                                                     std::int32_t informationClass);
using PFN_SET_FILE_VALID_DATA = std::int32_t(QZ_SYSTEM_ENTRY*)(void* file, std::int64_t validLength);

// Looked up once per process; absent where the system has no such entry, and then simply not called.
PFN_SET_FILE_VALID_DATA SetFileValidDataEntry() {
  static const PFN_SET_FILE_VALID_DATA entry = [] {
    platform::ErrorModeScope mode;
    platform::ModuleHandle kernel = platform::FindLoadedModule(u"kernel32.dll");
    return kernel ? reinterpret_cast<PFN_SET_FILE_VALID_DATA>(platform::FindModuleEntry(kernel, "SetFileValidData"))
                  : nullptr;
  }();
  return entry;
}

std::uint32_t Low(std::uint64_t value) { return static_cast<std::uint32_t>(value); }
std::uint32_t High(std::uint64_t value) { return static_cast<std::uint32_t>(value >> 32); }

}  // namespace

IXStream::IXStream() : m_pError(new CModuleError()) { m_pError->AddRef(); }

IXStream::~IXStream() {
  if (bIsOpen()) Close();
  delete[] m_pTextBuffer;
  FreeHeapName();
  m_pError->nRelease();
}

void IXStream::BeginReport(std::uint32_t systemCode) {
  m_pError->SetLevel(ERROR_LEVEL_FATAL);
  m_pError->SetModuleTexts(&gstModuleDescriptor, true);
  m_pError->SetSystemError(systemCode);
  m_pError->AddDebugFormat(u"##(IXStream)-Handle=<%p>##", m_hFile);
}

int IXStream::EndReport(std::uint32_t message, std::uint32_t a, std::int32_t b) {
  // Every message of the stream reads the name as its first insert; the lock messages read the two numbers too.
  if (message != MESSAGE_NONE) m_pError->InsertUserMessage(&gstModuleDescriptor, message, m_pszName, a, b);
  m_pError->SetInfo(ERROR_INFO_PATH, m_pszName);
  return 0;
}

void IXStream::FreeHeapName() {
  if (m_pszName != m_szName) std::free(m_pszName);
  m_pszName = m_szName;
}

int IXStream::bOpen(const char16_t* name, std::uint32_t access, std::uint32_t share, std::uint32_t disposition,
                    std::uint32_t flagsAndAttributes, int* pbCreated) {
  // A second open would lose the handle the stream still holds.
  if (bIsOpen()) Close();
  ClearError();
  if (pbCreated) *pbCreated = 0;
  bool created = false;
  platform::FileHandle file = platform::InvalidFileHandle();
  {
    platform::ErrorModeScope mode;
    bool named = true;
    if (name != m_szName) {
      const std::uint32_t length = platform::FullPathName(name, XSTREAM_NAME_SIZE, m_szName);
      if (length == 0 || length >= XSTREAM_NAME_SIZE) {
        // The buffer still holds the last open's path: opening it would reach another file. The name as given
        // (cut to the buffer) is what the message shows.
        const std::uint32_t code = length == 0 ? platform::GetLastErrorCode() : platform::kErrorFilenameExcedRange;
        std::uint32_t i = 0;
        for (; name && name[i] && i < XSTREAM_NAME_SIZE - 1; ++i) m_szName[i] = name[i];
        m_szName[i] = 0;
        platform::SetLastErrorCode(code);
        named = false;
      }
    }
    m_nAccess = access;
    if (named && disposition != platform::kOpenAlways) {
      file = platform::CreateFileHandle(m_szName, access, share, disposition, flagsAndAttributes);
    } else if (named) {
      // Two steps, so that the caller learns whether the file was made here.
      file = platform::CreateFileHandle(m_szName, access, share, platform::kOpenExisting, flagsAndAttributes);
      if (file != platform::InvalidFileHandle()) {
        platform::SetLastErrorCode(platform::kErrorAlreadyExists);
      } else {
        file = platform::CreateFileHandle(m_szName, access, share, platform::kOpenAlways, flagsAndAttributes);
        created = file != platform::InvalidFileHandle();
      }
    }
  }
  const std::uint32_t code = platform::GetLastErrorCode();
  if (file != platform::InvalidFileHandle()) {
    m_hFile = file;
    m_nPosition = 0;
    if (disposition == platform::kCreateAlways) created = true;
    if (pbCreated) *pbCreated = created ? 1 : 0;
    return 1;
  }
  std::uint32_t message = MESSAGE_NONE;
  switch (disposition) {
    case platform::kCreateAlways: message = 28140; break;
    case platform::kOpenExisting: message = 28139; break;
    case platform::kOpenAlways: message = 28002; break;
    default: break;
  }
  BeginReport(code);
  EndReport(message);
  platform::SetLastErrorCode(code);
  return 0;
}

void IXStream::Close() {
  if (!bIsOpen()) return;
  {
    platform::ErrorModeScope mode;
    if (!platform::CloseFileHandle(m_hFile)) return;
  }
  m_hFile = platform::InvalidFileHandle();
  m_nPosition = 0;
  m_nAccess = 0;
  FreeHeapName();
  // Text read ahead belongs to the file just closed.
  delete[] m_pTextBuffer;
  m_pTextBuffer = nullptr;
  m_nTextRead = m_nTextUnits = 0;
}

int IXStream::bReopen(std::uint32_t access, std::uint32_t share, std::uint32_t disposition, std::uint32_t flags) {
  Close();
  return bOpen(m_szName, access, share, disposition, flags, nullptr);
}

int IXStream::nWrite(const void* buffer, std::uint32_t count, std::uint32_t* written) {
  ClearError();
  if (count == 0) {
    if (written) *written = 0;
    return 1;
  }
  std::uint32_t done = 0;
  bool ok;
  {
    platform::ErrorModeScope mode;
    ok = platform::WriteFileHandle(m_hFile, buffer, count, &done);
  }
  m_nPosition += done;
  if (written) *written = done;
  if (ok) return 1;
  BeginReport(platform::GetLastErrorCode());
  m_pError->AddDebugFormat(u"##(IXStream)-Access=<%x>##", m_nAccess);
  return EndReport(28008);
}

int IXStream::nWriteAt(std::uint64_t position, const void* buffer, std::uint32_t count, std::uint32_t* written) {
  if (position != m_nPosition && !bSeek(static_cast<std::int64_t>(position), platform::kFileBegin)) return 0;
  return nWrite(buffer, count, written);
}

int IXStream::nRead(void* buffer, std::uint32_t count, std::uint32_t* read) {
  ClearError();
  std::uint32_t total = 0;
  bool ok;
  std::uint32_t code = 0;
  {
    platform::ErrorModeScope mode;
    auto* next = static_cast<std::uint8_t*>(buffer);
    std::uint32_t remaining = count;
    for (;;) {
      std::uint32_t got = 0;
      ok = platform::ReadFileHandle(m_hFile, next, remaining, &got);
      total += got;
      if (ok) break;
      code = platform::GetLastErrorCode();
      // An interrupted read goes on with what is left.
      constexpr std::uint32_t kIoPending = 997, kSignalPending = 162;
      if ((code != kIoPending && code != kSignalPending) || got >= remaining) break;
      next += got;
      remaining -= got;
    }
  }
  m_nPosition += total;
  if (read) *read = total;
  if (ok && (read || total == count)) return 1;
  BeginReport(ok ? 0 : code);
  m_pError->AddDebugFormat(u"##(IXStream)-bExact=<%d>##", read ? 0 : 1);
  m_pError->AddDebugFormat(u"##(IXStream)-A lire=<%u>, lu=<%u>##", count, total);
  return EndReport(28003);
}

int IXStream::nReadAt(std::uint64_t position, void* buffer, std::uint32_t count, std::uint32_t* read) {
  if (position != m_nPosition && !bSeek(static_cast<std::int64_t>(position), platform::kFileBegin)) return 0;
  return nRead(buffer, count, read);
}

int IXStream::bSeek(std::int64_t offset, std::uint32_t origin) {
  ClearError();
  const auto value = static_cast<std::uint64_t>(offset);
  std::int32_t high = static_cast<std::int32_t>(High(value));
  std::uint32_t low;
  std::uint32_t code;
  {
    platform::ErrorModeScope mode;
    low = platform::SetFilePosition(m_hFile, static_cast<std::int32_t>(Low(value)), &high, origin);
    code = platform::GetLastErrorCode();
  }
  if (low == platform::kInvalidSetFilePointer && code != 0) {
    BeginReport(code);
    return EndReport(28005);
  }
  m_nPosition = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) | low;
  return 1;
}

std::uint64_t IXStream::nGetSize() {
  const std::uint64_t kept = m_nPosition;
  if (!bSeek(0, platform::kFileEnd)) return XSTREAM_SIZE_FAILED;
  const std::uint64_t size = m_nPosition;
  if (!bSeek(static_cast<std::int64_t>(kept), platform::kFileBegin)) return XSTREAM_SIZE_FAILED;
  return size;
}

std::uint64_t IXStream::nSeekEnd() { return bSeek(0, platform::kFileEnd) ? m_nPosition : XSTREAM_SIZE_FAILED; }

int IXStream::bFlush() {
  ClearError();
  bool ok;
  {
    platform::ErrorModeScope mode;
    ok = platform::FlushFileHandle(m_hFile);
  }
  return ok ? 1 : Report(28001);
}

int IXStream::bTruncate(std::int64_t offset, std::uint32_t origin) {
  ClearError();
  if (origin != 0 && origin != 1) {
    // Refused before anything moves; the error says why rather than staying empty.
    BeginReport(platform::kErrorInvalidParameter);
    return EndReport(28004);
  }
  if (!bSeek(offset, origin == 0 ? platform::kFileBegin : platform::kFileEnd)) return 0;
  bool ok;
  {
    platform::ErrorModeScope mode;
    ok = platform::SetFileEnd(m_hFile);
  }
  return ok ? 1 : Report(28004);
}

int IXStream::bExtend(std::uint64_t count) {
  // Growing by nothing would overwrite the last byte of the file with a zero.
  if (count == 0) return 1;
  if (!bSeek(static_cast<std::int64_t>(count - 1), platform::kFileEnd)) return 0;
  const std::uint8_t zero = 0;
  return nWrite(&zero, 1, nullptr);
}

int IXStream::bSetSize(std::uint64_t size) {
  const std::uint64_t before = nGetSize();
  if (!bTruncate(static_cast<std::int64_t>(size), 0) || size == 0) return 0;
  if (PFN_SET_FILE_VALID_DATA setValidData = SetFileValidDataEntry()) {
    platform::ErrorModeScope mode;
    setValidData(m_hFile, static_cast<std::int64_t>(size));
  }
  // The zero byte at the end makes the system allocate the grown file; a byte the file already had is kept.
  if (before != XSTREAM_SIZE_FAILED && before >= size) return 1;
  const std::uint8_t zero = 0;
  return nWriteAt(size - 1, &zero, 1, nullptr);
}

int IXStream::PrintfW(const char16_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int result = VPrintfW(format, arguments);
  va_end(arguments);
  return result;
}

int IXStream::PrintfA(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int result = VPrintfA(format, arguments);
  va_end(arguments);
  return result;
}

int IXStream::VPrintfW(const char16_t* format, va_list arguments) {
  char16_t text[kFormatUnits + 1];
  const std::size_t units = nFormatWideV(text, kFormatUnits + 1, format, arguments);
  return nWrite(text, static_cast<std::uint32_t>(units * sizeof(char16_t)), nullptr);
}

int IXStream::VPrintfA(const char* format, va_list arguments) {
  char text[kFormatUnits + 1];
  const int needed = std::vsnprintf(text, sizeof(text), format, arguments);
  const std::uint32_t bytes = needed < 0 ? 0 : needed > static_cast<int>(kFormatUnits) ? kFormatUnits : needed;
  return nWrite(text, bytes, nullptr);
}

template <typename T>
int IXStream::ReadLine(T* buffer, std::uint32_t size, int* pbCut, std::uint32_t flags) {
  if (pbCut) *pbCut = 0;
  if (!buffer || size == 0) return 0;
  buffer[0] = 0;
  std::uint32_t length = 0;
  T piece[kLinePiece];
  for (;;) {
    const std::uint64_t start = m_nPosition;
    std::uint32_t got = 0;
    if (!nRead(piece, kLinePiece * sizeof(T), &got)) return 0;
    std::uint32_t n = got / sizeof(T);
    // A last full piece without a line end has been gathered already: it is the last line, not the end.
    if (n == 0) return length > 0 ? 1 : 0;
    const bool full = n == kLinePiece;
    // A CR that closes a full piece is decided by what follows it: it is left to begin the next piece.
    const std::uint32_t scan = full && piece[n - 1] == T('\r') ? n - 1 : n;
    std::uint32_t endAt = scan;
    std::uint32_t endLength = 0;
    auto crlfAt = [&](std::uint32_t i) { return piece[i] == T('\r') && i + 1 < n && piece[i + 1] == T('\n'); };
    if (flags & XSTREAM_LINE_CRLF_ONLY) {
      for (std::uint32_t i = 0; i < scan && endLength == 0; ++i) {
        if (crlfAt(i)) {
          endAt = i;
          endLength = 2;
        }
      }
    } else {
      // A CR closing a full piece is found here too, so that an LF before it is not taken for the end; the line
      // then goes on into the next piece, which begins with that CR. A lone CR is a one-character end: the
      // character after it is the next line's.
      const std::uint32_t at = nFindLineEnd(piece, n);
      if (at < scan) {
        endAt = at;
        endLength = crlfAt(at) ? 2 : 1;
      }
    }
    if (length + endAt >= size) {
      const std::uint32_t keep = size - 1 - length;
      std::memcpy(buffer + length, piece, keep * sizeof(T));
      buffer[size - 1] = 0;
      if (pbCut) *pbCut = 1;
      return bSeek(static_cast<std::int64_t>(start + keep * sizeof(T)), platform::kFileBegin);
    }
    std::memcpy(buffer + length, piece, endAt * sizeof(T));
    length += endAt;
    buffer[length] = 0;
    if (endLength) {
      return bSeek(static_cast<std::int64_t>(start + (endAt + endLength) * sizeof(T)), platform::kFileBegin);
    }
    if (!full) return 1;
    if (scan < n && !bSeek(static_cast<std::int64_t>(start + scan * sizeof(T)), platform::kFileBegin)) return 0;
  }
}

int IXStream::bReadLineW(char16_t* buffer, std::uint32_t size, int* pbCut, std::uint32_t flags) {
  return ReadLine(buffer, size, pbCut, flags);
}

int IXStream::bReadLineA(char* buffer, std::uint32_t size, int* pbCut, std::uint32_t flags) {
  return ReadLine(buffer, size, pbCut, flags);
}

int IXStream::bFillTextBuffer() {
  std::uint32_t got = 0;
  // An odd byte at the very end is no character and is dropped.
  if (!nRead(m_pTextBuffer, kTextBufferBytes, &got) || got < sizeof(char16_t)) return 0;
  m_nTextUnits = got / sizeof(char16_t);
  m_pTextBuffer[m_nTextUnits] = 0;
  m_nTextRead = 0;
  return 1;
}

const char16_t* IXStream::pszReadTextW(char16_t* buffer, std::uint32_t size, CTString* text,
                                       const char16_t* separator) {
  if (buffer && size) buffer[0] = 0;
  if (!m_pTextBuffer) {
    m_pTextBuffer = new (std::nothrow) char16_t[kTextBufferUnits + 1];
    if (!m_pTextBuffer) {
      m_pError->SetOutOfMemory();
      return nullptr;
    }
    m_nTextRead = m_nTextUnits = 0;
    if (!bFillTextBuffer()) return nullptr;
  } else if (m_nTextRead >= m_nTextUnits) {
    if (m_nPosition >= nGetSize() || !bFillTextBuffer()) return nullptr;
  }
  const std::size_t separatorLength = separator ? nLengthW(separator) : 0;
  // The line is gathered whole, so that one running past the text buffer continues with the next fill.
  std::u16string line;
  for (;;) {
    if (m_nTextRead >= m_nTextUnits && !bFillTextBuffer()) break;
    if (separatorLength) {
      line.push_back(m_pTextBuffer[m_nTextRead++]);
      if (line.size() >= separatorLength &&
          line.compare(line.size() - separatorLength, separatorLength, separator) == 0) {
        line.resize(line.size() - separatorLength);
        break;
      }
      continue;
    }
    // The stretch searched is what the text buffer holds: a line without an end in it goes on into the next fill.
    const char16_t* rest = m_pTextBuffer + m_nTextRead;
    const std::uint32_t available = m_nTextUnits - m_nTextRead;
    const std::uint32_t at = nFindLineEnd(rest, available);
    line.append(rest, at);
    m_nTextRead += at;
    if (at == available) continue;
    ++m_nTextRead;
    if (rest[at] == u'\r' && (m_nTextRead < m_nTextUnits || bFillTextBuffer()) &&
        m_pTextBuffer[m_nTextRead] == u'\n') {
      ++m_nTextRead;
    }
    break;
  }
  if (buffer && line.size() < size) {
    std::memcpy(buffer, line.data(), line.size() * sizeof(char16_t));
    buffer[line.size()] = 0;
    return buffer;
  }
  if (text) {
    text->AssignN(line.data(), line.size());
    return text->pszGet();
  }
  // No text object to take a long line: the buffer keeps what fits.
  if (!buffer || size == 0) return nullptr;
  std::memcpy(buffer, line.data(), (size - 1) * sizeof(char16_t));
  buffer[size - 1] = 0;
  return buffer;
}

int IXStream::bCopyTo(IXStream* target, std::int64_t count) {
  bool noMemory;
  const int copied = nCopyStreamBlocks(*this, *target, count, &noMemory);
  if (noMemory) m_pError->SetOutOfMemory();
  return copied;
}

int IXStream::bCopyToNewFile(const char16_t* path, std::uint64_t position, std::int64_t count) {
  if (!bSeek(static_cast<std::int64_t>(position), platform::kFileBegin)) return 0;
  IXStream target;
  if (!target.bOpen(path, platform::kGenericWrite, kShareReadWrite, platform::kCreateAlways,
                    platform::kFileFlagRandomAccess, nullptr)) {
    return 0;
  }
  const int copied = bCopyTo(&target, count);
  if (!copied) {
    target.Close();
    bDeleteFile(path, nullptr);
  }
  return copied;
}

int IXStream::bCopyFromFile(const char16_t* path, std::uint64_t offset, std::int64_t count) {
  if (nSeekEnd() == XSTREAM_SIZE_FAILED) return 0;
  IXStream source;
  if (!source.bOpen(path, platform::kGenericRead, kShareReadWrite, platform::kOpenExisting,
                    platform::kFileFlagRandomAccess, nullptr) ||
      !source.bSeek(static_cast<std::int64_t>(offset), platform::kFileBegin)) {
    // The source goes with this call: its error is the one the caller can read.
    m_pError->CopyFrom(*source.pGetError());
    return 0;
  }
  const int copied = source.bCopyTo(this, count);
  if (!copied) {
    if (source.pGetError()->nGetLevel() != ERROR_LEVEL_NONE) m_pError->CopyFrom(*source.pGetError());
    source.Close();
  }
  return copied;
}

int IXStream::bLockFile(std::uint64_t offset, std::uint64_t length) {
  platform::ErrorModeScope mode;
  return platform::LockFileRange(m_hFile, Low(offset), High(offset), Low(length), High(length)) ? 1 : 0;
}

int IXStream::bUnlockFile(std::uint64_t offset, std::uint64_t length) {
  platform::ErrorModeScope mode;
  return platform::UnlockFileRange(m_hFile, Low(offset), High(offset), Low(length), High(length)) ? 1 : 0;
}

int IXStream::bLockRange(std::uint64_t offset, std::uint64_t length) {
  ClearError();
  if (bLockFile(offset, length)) return 1;
  BeginReport(platform::GetLastErrorCode());
  return EndReport(28145, Low(offset), static_cast<std::int32_t>(length));
}

int IXStream::bUnlockRange(std::uint64_t offset, std::uint64_t length) {
  ClearError();
  if (bUnlockFile(offset, length)) return 1;
  BeginReport(platform::GetLastErrorCode());
  return EndReport(28146, Low(offset), static_cast<std::int32_t>(length));
}

int IXStream::bLockWhole(int bLock, int bExclusive) {
  // An exclusive lock covers two bytes and a shared one the first: shared holders never block each other, and an
  // exclusive request waits for all of them.
  const std::uint64_t length = bExclusive ? 2 : 1;
  platform::ErrorModeScope mode;
  if (!bLock) {
    platform::UnlockFileRangeEx(m_hFile, 0, length);
    return 1;
  }
  const std::uint32_t kind = bExclusive ? std::uint32_t{platform::kLockfileExclusiveLock} : 0u;
  const bool ok = platform::LockFileRangeEx(m_hFile, kind, 0, length);
  if (ok) return 1;
  BeginReport(platform::GetLastErrorCode());
  return EndReport(28145, 0, 1);
}

const char16_t* IXStream::pszGetNameBuffer() { return m_szName; }

std::uint64_t IXStream::nGetPosition() { return m_nPosition; }

int IXStream::bIsOpen() { return m_hFile != platform::InvalidFileHandle() ? 1 : 0; }

CXError* IXStream::pGetError() { return m_pError; }

int IXStream::SetName(const char16_t* name) {
  FreeHeapName();
  if (!name) return 1;
  const std::size_t bytes = (nLengthW(name) + 1) * sizeof(char16_t);
  auto* copy = static_cast<char16_t*>(std::malloc(bytes));
  if (!copy) return 0;
  std::memcpy(copy, name, bytes);
  m_pszName = copy;
  return 1;
}

std::uint32_t IXStream::nGetAccess() { return m_nAccess; }

int IXStream::bQueryFileName(char16_t* out) {
  if (bIsUncPath(m_szName)) return 0;
  platform::ErrorModeScope mode;
  platform::ModuleHandle ntdll = platform::LoadModule(u"NTDLL.dll");
  if (!ntdll) return 0;
  auto query = reinterpret_cast<PFN_NT_QUERY_INFORMATION_FILE>(
      platform::FindModuleEntry(ntdll, "NtQueryInformationFile"));
  alignas(8) std::uint8_t information[kFileNameInformationSize];
  SIoStatusBlock status{};
  const bool named = query && query(m_hFile, &status, information, sizeof(information),
                                    static_cast<std::int32_t>(kFileNameInformation)) >= 0;
  platform::UnloadModule(ntdll);
  platform::FileInformation file{};
  if (!named || !platform::GetFileInformation(m_hFile, &file)) return 0;
  char16_t roots[kDriveStringsUnits + 1] = {};
  const std::uint32_t units = platform::LogicalDriveStrings(kDriveStringsUnits, roots);
  if (units == 0 || units > kDriveStringsUnits) return 0;
  for (const char16_t* root = roots; *root; root += nLengthW(root) + 1) {
    const char16_t letter = root[0];
    if (letter == u'A' || letter == u'a' || letter == u'B' || letter == u'b') continue;
    if (nGetDriveType(root) != platform::kDriveFixed) continue;
    const char16_t drive[] = {letter, u':', u'\\', 0};
    std::uint32_t serial = 0;
    if (!platform::VolumeInformation(drive, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0) ||
        serial != file.volumeSerialNumber) {
      continue;
    }
    // The name information: a length in bytes, then the path on the volume (not terminated).
    std::uint32_t nameBytes;
    std::memcpy(&nameBytes, information, sizeof(nameBytes));
    std::uint32_t n = nameBytes / sizeof(char16_t);
    if (n > kQueriedPathUnits) n = kQueriedPathUnits;
    out[0] = letter;
    out[1] = u':';
    std::memcpy(out + 2, information + sizeof(nameBytes), n * sizeof(char16_t));
    out[2 + n] = 0;
    return 1;
  }
  return 0;
}

const char16_t* IXStream::pszGetName() { return pszGetNameBuffer(); }
