#include "oracle/client/oci_value_calls.h"

#include "driver/driver.h"
#include "foundation/date_time.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "host/library_entry.h"
#include "oracle/client/oci_call.h"
#include "oracle/client/oci_entries.h"
#include "oracle/client/oci_error.h"

using namespace oci;

namespace {

constexpr std::uint32_t MESSAGE_VALUE_CONVERSION = 2482;
constexpr ub4 NUMBER_TEXT_UNITS = 42;
constexpr ub4 DATETIME_TEXT_UNITS = 256;
constexpr ub1 TIMESTAMP_FRACTION_DIGITS = 3;
constexpr std::uint16_t SQLT_INTERVAL_YM = 189;
constexpr std::int64_t MS_PER_SECOND = 1000;
constexpr std::int64_t MS_PER_MINUTE = 60000;
constexpr std::int64_t MS_PER_HOUR = 3600000;
constexpr std::int64_t MS_PER_DAY = 86400000;

// Status path of every call here: the client's error, then the conversion message in front of it.
int nFailed(COracleConnection* c, CErrorHolder* h, sword status, std::uint32_t point) {
  RaiseOciError(c, h, status, ERROR_UNIT_ORACLE_CALL, point, pErrorOf(c));
  InsertWrapperMessage(h, MESSAGE_VALUE_CONVERSION);
  return 0;
}

}  // namespace

int nNumberToText(COracleConnection* c, CErrorHolder* h, const void* number, const char16_t* mask,
                  std::uint32_t maskLength, CTString& out) {
  // Both go unchanged with every value read: their client forms are kept on the connection.
  const CConstantOciText format(c, mask, maskLength);
  const CConstantOciText nls(c, NUMBER_NLS_PARAMETERS, UINT32_MAX);
  if (format.bRefused() || nls.bRefused()) {
    SetHolderOutOfMemory(h);
    return 0;
  }
  // Room for the output units in either form the client writes (UTF-16 takes two bytes a unit).
  char16_t buffer[NUMBER_TEXT_UNITS + 1] = {};
  ub4 size = bClientIsUtf16(c) ? NUMBER_TEXT_UNITS * 2 : NUMBER_TEXT_UNITS;
  sword status = OCI_SUCCESS;
  if (!bOciGuarded(c, h, 131, [&] {
        status = OciEntry<OCI_SLOT_OCINumberToText>()(pErrorOf(c), static_cast<const OCINumber*>(number),
                                                       format.pGet(), format.nGetBytes(), nls.pGet(), nls.nGetBytes(),
                                                       &size, reinterpret_cast<OraText*>(buffer));
      })) {
    return 0;
  }
  if (status != OCI_SUCCESS) return nFailed(c, h, status, 132);
  const ub4 limit = NUMBER_TEXT_UNITS * 2;
  if (!ReadClientText(c, buffer, size < limit ? size : limit, out)) {
    SetHolderOutOfMemory(h);
    return 0;
  }
  return 1;
}

int nOciNumberFromText(COracleConnection* c, CErrorHolder* h, void* number, const char16_t* text,
                       const char16_t* mask, std::uint32_t maskLength) {
  const CTString maskText(mask, maskLength);
  const COciText value(c, text);
  const COciText format(c, maskText.pszGet());
  const COciText nls(c, NUMBER_NLS_PARAMETERS);
  if (!bOciTextsMade(h, {&value, &format, &nls})) return 0;
  sword status = OCI_SUCCESS;
  if (!bOciGuarded(c, h, 139, [&] {
        status = OciEntry<OCI_SLOT_OCINumberFromText>()(pErrorOf(c), value.pGet(), value.nGetBytes(), format.pGet(),
                                                         format.nGetBytes(), nls.pGet(), nls.nGetBytes(),
                                                         static_cast<OCINumber*>(number));
      })) {
    return 0;
  }
  return status == OCI_SUCCESS ? 1 : nFailed(c, h, status, 140);
}

int nOciDateTimeToText(COracleConnection* c, CErrorHolder* h, const void* dateTime, CTString& out) {
  const COciText format(c, TIMESTAMP_TEXT_MASK);
  if (!bOciTextsMade(h, {&format})) return 0;
  char16_t buffer[DATETIME_TEXT_UNITS + 1] = {};
  ub4 size = bClientIsUtf16(c) ? DATETIME_TEXT_UNITS * 2 : DATETIME_TEXT_UNITS;
  sword status = OCI_SUCCESS;
  if (!bOciGuarded(c, h, 133, [&] {
        status = OciEntry<OCI_SLOT_OCIDateTimeToText>()(
            pEnvOf(c), pErrorOf(c), static_cast<const OCIDateTime*>(dateTime), format.pGet(),
            static_cast<ub1>(format.nGetBytes()), TIMESTAMP_FRACTION_DIGITS, nullptr, 0, &size,
            reinterpret_cast<OraText*>(buffer));
      })) {
    return 0;
  }
  if (status != OCI_SUCCESS) return nFailed(c, h, status, 134);
  const ub4 limit = DATETIME_TEXT_UNITS * 2;
  if (!ReadClientText(c, buffer, size < limit ? size : limit, out)) {
    SetHolderOutOfMemory(h);
    return 0;
  }
  return 1;
}

int nOciDateTimeConstruct(COracleConnection* c, CErrorHolder* h, void* dateTime, const CDateTime& value) {
  sword status = OCI_SUCCESS;
  if (!bOciGuarded(c, h, 141, [&] {
        status = OciEntry<OCI_SLOT_OCIDateTimeConstruct>()(
            pEnvOf(c), pErrorOf(c), static_cast<OCIDateTime*>(dateTime), static_cast<sb2>(value.m_nYear + 1900),
            static_cast<ub1>(value.m_nMonth + 1), static_cast<ub1>(value.m_nDay), static_cast<ub1>(value.m_nHour),
            static_cast<ub1>(value.m_nMinute), static_cast<ub1>(value.m_nSecond),
            static_cast<ub4>(value.m_nMillisecond) * 1000000u, nullptr, 0);
      })) {
    return 0;
  }
  return status == OCI_SUCCESS ? 1 : nFailed(c, h, status, 142);
}

std::int64_t nIntervalMilliseconds(std::int64_t years, std::int64_t months, std::int64_t days, std::int64_t hours,
                                   std::int64_t minutes, std::int64_t seconds, std::int64_t nanoseconds) {
  std::int64_t total = (nanoseconds / 1000000) % MS_PER_SECOND;
  total = (total + MS_PER_SECOND * seconds) % MS_PER_MINUTE;
  total = (total + MS_PER_MINUTE * minutes) % MS_PER_HOUR;
  total = (total + MS_PER_HOUR * hours) % MS_PER_DAY;
  return total + MS_PER_DAY * (days + 365 * years + 30 * months);
}

SIntervalParts IntervalPartsOf(std::int64_t milliseconds, bool yearMonth) {
  SIntervalParts parts;
  const std::int64_t days = milliseconds / MS_PER_DAY;
  if (yearMonth) {
    // At the ends of 64 bits the years number some 292 million: their days are counted in 64 bits too.
    parts.years = static_cast<std::int32_t>(days / 365);
    parts.months = static_cast<std::int32_t>((days - 365 * std::int64_t{parts.years}) / 30);
    return parts;
  }
  parts.days = static_cast<std::int32_t>(days);
  parts.hours = static_cast<std::int32_t>(milliseconds % MS_PER_DAY / MS_PER_HOUR);
  parts.minutes = static_cast<std::int32_t>(milliseconds % MS_PER_HOUR / MS_PER_MINUTE);
  parts.seconds = static_cast<std::int32_t>(milliseconds % MS_PER_MINUTE / MS_PER_SECOND);
  parts.nanoseconds = static_cast<std::int32_t>(milliseconds % MS_PER_SECOND * 1000000);
  return parts;
}

int nOciIntervalGet(COracleConnection* c, CErrorHolder* h, const void* interval, std::uint16_t sqltCode,
                    std::int64_t* milliseconds) {
  const bool yearMonth = sqltCode == SQLT_INTERVAL_YM;
  sb4 years = 0, months = 0, days = 0, hours = 0, minutes = 0, seconds = 0, nanoseconds = 0;
  const auto* source = static_cast<const OCIInterval*>(interval);
  sword status = OCI_SUCCESS;
  if (!bOciGuarded(c, h, yearMonth ? 135 : 137, [&] {
        status = yearMonth ? OciEntry<OCI_SLOT_OCIIntervalGetYearMonth>()(pEnvOf(c), pErrorOf(c), &years, &months,
                                                                          source)
                           : OciEntry<OCI_SLOT_OCIIntervalGetDaySecond>()(pEnvOf(c), pErrorOf(c), &days, &hours,
                                                                          &minutes, &seconds, &nanoseconds, source);
      })) {
    return 0;
  }
  if (status != OCI_SUCCESS) return nFailed(c, h, status, yearMonth ? 136 : 138);
  // A year-month interval reaches a billion years; past some 292 million its milliseconds leave 64 bits.
  const std::int64_t dayCount = std::int64_t{days} + 365 * std::int64_t{years} + 30 * std::int64_t{months};
  if (dayCount >= INT64_MAX / MS_PER_DAY || dayCount <= INT64_MIN / MS_PER_DAY) return -1;
  *milliseconds = nIntervalMilliseconds(years, months, days, hours, minutes, seconds, nanoseconds);
  return 1;
}

int nOciIntervalSet(COracleConnection* c, CErrorHolder* h, void* interval, std::uint16_t sqltCode,
                    std::int64_t milliseconds) {
  const bool yearMonth = sqltCode == SQLT_INTERVAL_YM;
  const SIntervalParts p = IntervalPartsOf(milliseconds, yearMonth);
  auto* target = static_cast<OCIInterval*>(interval);
  sword status = OCI_SUCCESS;
  if (!bOciGuarded(c, h, yearMonth ? 143 : 145, [&] {
        status = yearMonth ? OciEntry<OCI_SLOT_OCIIntervalSetYearMonth>()(pEnvOf(c), pErrorOf(c), p.years, p.months,
                                                                          target)
                           : OciEntry<OCI_SLOT_OCIIntervalSetDaySecond>()(pEnvOf(c), pErrorOf(c), p.days, p.hours,
                                                                          p.minutes, p.seconds, p.nanoseconds,
                                                                          target);
      })) {
    return 0;
  }
  return status == OCI_SUCCESS ? 1 : nFailed(c, h, status, yearMonth ? 144 : 146);
}

void OciDescriptorFreeChecked(COracleConnection* c, CErrorHolder* h, void* descriptor, std::uint32_t type,
                              std::uint32_t unit, std::uint32_t point) {
  try {
    OciEntry<OCI_SLOT_OCIDescriptorFree>()(descriptor, type);
  } catch (const CTString& entry) {
    RaiseModuleError(h, 0, unit, point, c, nullptr, ERROR_MISSING_CLIENT_ENTRY, entry.pszGet());
  } catch (...) {
    CErrorHolder* target = h ? h : (gpDriver ? gpDriver->pGetErrorHolder() : nullptr);
    RaiseModuleError(target, 0, unit, point, c, nullptr, ERROR_CLIENT_FAULT, u"Oracle");
    if (gpDriver) gpDriver->OnClientLibraryFault(target, c);
    gbOciClientFailed = 1;
  }
}
