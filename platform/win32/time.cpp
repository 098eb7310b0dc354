#include "platform/time.h"

#include <windows.h>

namespace platform {

static_assert(sizeof(SystemTime) == sizeof(SYSTEMTIME));

SystemTime LocalTime() {
  SYSTEMTIME local{};
  ::GetLocalTime(&local);
  SystemTime result{};
  result.year = local.wYear;
  result.month = local.wMonth;
  result.dayOfWeek = local.wDayOfWeek;
  result.day = local.wDay;
  result.hour = local.wHour;
  result.minute = local.wMinute;
  result.second = local.wSecond;
  result.milliseconds = local.wMilliseconds;
  return result;
}

}  // namespace platform
