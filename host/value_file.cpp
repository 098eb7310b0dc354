#include "host/value_file.h"

#include <cstdlib>
#include <memory>

#include "foundation/error_holder.h"
#include "foundation/stream_proxy.h"
#include "host/host_string.h"
#include "host/value_item.h"

namespace {

constexpr std::uint32_t kErrorNoWorkArea = 12;
constexpr std::uint32_t kErrorFile = 15;
constexpr std::uint32_t kErrorTypeNotHandled = 61;
constexpr std::uint32_t kShareReadWrite = platform::kFileShareRead | platform::kFileShareWrite;

// The error of a file that could not be opened, read or written: error 15 with the file name and the system's
// text, the code as item 16, and the stream's own error (message, path, system code) nested beneath.
void RecordFileError(CStreamProxy& file, const char16_t* fileName, CErrorHolder* holder) {
  if (!holder) return;
  CXError* cause = file.pGetErrorOrNull();
  CModuleError error;
  error.SetError(&gstModuleDescriptor, kErrorFile, fileName, cause ? cause->pszGetSystemMessage() : u"");
  const std::uint32_t code = kErrorFile;
  error.SetInfo(ERROR_INFO_ERROR_CODE, &code);
  if (cause) {
    error.SetSystemError(cause->nGetSystemCode());
    error.AddNestedError(cause, 0, 1);
  }
  holder->RecordError(kErrorFile, error, nullptr);
}

void RecordOutOfMemory(CErrorHolder* holder) {
  if (!holder) return;
  CModuleError error;
  error.SetOutOfMemory();
  holder->RecordError(0, error, nullptr);
}

void RecordNoWorkArea(CErrorHolder* holder) {
  if (holder) {
    holder->RaiseError(kErrorNoWorkArea, ERROR_UNIT_VALUE_FILES, 0, nullptr, kErrorNoWorkArea);
    return;
  }
  CModuleError error;
  error.SetError(&gstModuleDescriptor, kErrorNoWorkArea);
  AddErrorIdentification(error, ERROR_UNIT_VALUE_FILES, 0);
  DiscardIgnoredError(error);
}

struct SFree {
  void operator()(void* p) const { std::free(p); }
};

}  // namespace

int bLoadValueFromFileImpl(CHostValue& value, const char16_t* fileName, CErrorHolder* holder, int binary) {
  CStreamProxy file;
  if (!file.bOpen(fileName, platform::kGenericRead, kShareReadWrite, platform::kOpenExisting,
                  platform::kFileFlagRandomAccess, nullptr)) {
    RecordFileError(file, fileName, holder);
    return 0;
  }
  const std::uint64_t size = file.nGetSize();
  if (size == XSTREAM_SIZE_FAILED) {
    RecordFileError(file, fileName, holder);
    return 0;
  }
  const std::uint8_t type = binary ? HOST_TYPE_BINARY_BUFFER : HOST_TYPE_TEXT_BUFFER;
  CHostString buffer;
  // An empty file is an empty value: there is nothing to size, which is no lack of memory.
  if (size > 0 && (size >= HOST_STRING_LIMIT ||
                   buffer.nAllocateCopy(static_cast<std::uint32_t>(size), nullptr, 0) != HOST_OK)) {
    RecordOutOfMemory(holder);
    return 0;
  }
  std::unique_ptr<std::uint8_t[], SFree> block(static_cast<std::uint8_t*>(std::malloc(VALUE_FILE_BLOCK_SIZE)));
  if (!block) {
    RecordNoWorkArea(holder);
    return 0;
  }
  for (;;) {
    std::uint32_t got = 0;
    if (!file.nRead(block.get(), VALUE_FILE_BLOCK_SIZE, &got)) {
      RecordFileError(file, fileName, holder);
      return 0;
    }
    if (got == 0) break;
    if (buffer.nAppend(block.get(), got) != HOST_OK) {
      RecordOutOfMemory(holder);
      return 0;
    }
  }
  value.SetType(type);
  // The value keeps a copy of its own: one that memory refused would pass an empty value for the file's text.
  const std::int32_t set =
      binary ? value.Set(&buffer.Pointer()) : value.SetFromBuffer(buffer.pszGet(), buffer.nGetLength());
  if (!bHostStored(set)) {
    value.SetType(HOST_TYPE_EMPTY);
    RecordOutOfMemory(holder);
    return 0;
  }
  value.SetFlags(0);
  file.Close();
  return 1;
}

int bSaveValueToFileImpl(CHostValue& value, const char16_t* fileName, CErrorHolder* holder) {
  // The value is measured before the file is touched: creating the file first would empty an existing one for a
  // value that has nothing to save.
  const void* data = nullptr;
  std::size_t size = 0;
  if (bHostFailed(value.nGetDataPointer(&data)) || bHostFailed(value.nGetSizeWithTerminator(&size)) ||
      size > UINT32_MAX || (size > 0 && !data)) {
    if (holder) {
      holder->RaiseError(kErrorTypeNotHandled, ERROR_UNIT_VALUE_FILES, 1, nullptr, kErrorTypeNotHandled,
                         static_cast<std::uint32_t>(value.nGetType()));
    }
    return 0;
  }
  CStreamProxy file;
  if (!file.bOpen(fileName, platform::kGenericRead | platform::kGenericWrite, platform::kFileShareRead,
                  platform::kCreateAlways, platform::kFileFlagRandomAccess, nullptr)) {
    RecordFileError(file, fileName, holder);
    return 0;
  }
  if (!file.nWriteAt(0, data, static_cast<std::uint32_t>(size), nullptr)) {
    RecordFileError(file, fileName, holder);
    return 0;
  }
  file.Close();
  return 1;
}

int bLoadValueFromFile(CValueItem* item, const char16_t* fileName, CErrorHolder* holder, int binary) {
  return bLoadValueFromFileImpl(item->Value(), fileName, holder, binary);
}

int bSaveValueToFile(CValueItem* item, const char16_t* fileName, CErrorHolder* holder) {
  return bSaveValueToFileImpl(item->Value(), fileName, holder);
}
