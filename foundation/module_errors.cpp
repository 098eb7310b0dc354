#include "foundation/module_errors.h"

#include <cstdarg>

#include "foundation/error_holder.h"
#include "foundation/x_error.h"

void module_errors_detail::RaiseWithInserts(CErrorHolder* holder, std::uint32_t recordedCode, std::uint32_t unit,
                                            std::uint32_t point, CConnection* reporter, const char16_t* file,
                                            std::uint32_t errorCode, ...) {
  CModuleError error;
  va_list arguments;
  va_start(arguments, errorCode);
  error.SetErrorV(&gstModuleDescriptor, errorCode, arguments);
  va_end(arguments);
  if (file && file[0]) SetErrorFileAndItem(error, file, nullptr);
  error.SetInfo(ERROR_INFO_ERROR_CODE, &errorCode);
  AddErrorIdentification(error, unit, point);
  if (holder) {
    holder->RecordError(recordedCode, error, reporter);
  } else {
    DiscardIgnoredError(error);
  }
}

void RaiseNotAvailable(CErrorHolder* holder, std::uint32_t unit, std::uint32_t point, CConnection* reporter,
                       const char16_t* file) {
  RaiseModuleError(holder, RECORDED_NOT_AVAILABLE, unit, point, reporter, file, ERROR_NOT_AVAILABLE);
}

void SetHolderOutOfMemory(CErrorHolder* holder) {
  if (holder) holder->pGetEmbeddedObject()->SetOutOfMemory();
}

bool bFailedForMemory(const CXError* error) {
  if (!error) return false;
  if (error->nGetSystemCode() == 14 || error->nGetCode() == 12) return true;
  for (std::uint32_t i = 0; i < error->nGetNestedCount(); ++i) {
    if (bFailedForMemory(error->pGetNestedError(i))) return true;
  }
  return false;
}
