// OCI entry points of LOB locators (read by polling, write in one piece or several, files), and of numbers,
// timestamps and intervals outside statements.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "standin/oci/entry_support.h"
#include "standin/oci/ora_number.h"

using namespace qzoci;

namespace {

ub2 LobCharset(const SvcCtxH* svc, ub2 csid, ub1 form) {
  if (csid) return csid;
  return form == oci::kSqlcsNchar ? svc->env->ncharset : svc->env->charset;
}

}  // namespace

namespace qzoci {

// Opening and closing, shared with the optional OCILobOpen/OCILobClose and the file calls.
sword OpenLob(void* svchp, OCIError* errhp, void* locator, bool open) {
  SvcCtxH* svc = As<SvcCtxH>(svchp, oci::kHtypeSvcCtx);
  LobD* lob = AsLob(locator);
  if (!svc || !lob) return oci::kInvalidHandle;
  if (!lob->initialized) return Fail(errhp, 22275);
  if (lob->isFile && open) {
    // A BFILE's directory alias names a folder beside the database files.
    const std::string root = svc->server && svc->server->db ? svc->server->db->Directory() : Database::DataDirectory();
    const std::string path = root + "/" + lob->directory + "/" + lob->fileName;
    std::ifstream file(path, std::ios::binary);
    if (!file) return Fail(errhp, 22288, "No such file or directory");
    std::ostringstream content;
    content << file.rdbuf();
    lob->data = content.str();
  }
  lob->open = open;
  lob->polling = false;
  return oci::kSuccess;
}

}  // namespace qzoci

QZOCI_EXPORT sword OCILobFileOpen(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* file, ub1 mode) {
  QZOCI_ENTER("OCILobFileOpen", errhp, Detail() << "mode=" << static_cast<int>(mode));
  return OpenLob(svchp, errhp, file, true);
}

QZOCI_EXPORT sword OCILobFileClose(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* file) {
  QZOCI_ENTER("OCILobFileClose", errhp, std::string());
  return OpenLob(svchp, errhp, file, false);
}

QZOCI_EXPORT sword OCILobLocatorIsInit(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locator,
                                       boolean* initialized) {
  QZOCI_ENTER("OCILobLocatorIsInit", errhp, std::string());
  const LobD* lob = AsLob(locator);
  if (!As<EnvH>(envhp, oci::kHtypeEnv) || !lob || !initialized) return oci::kInvalidHandle;
  *initialized = lob->initialized ? 1 : 0;
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCILobGetLength(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locator, ub4* length) {
  QZOCI_ENTER("OCILobGetLength", errhp, std::string());
  const LobD* lob = AsLob(locator);
  if (!As<SvcCtxH>(svchp, oci::kHtypeSvcCtx) || !lob || !length) return oci::kInvalidHandle;
  if (!lob->initialized) return Fail(errhp, 22275);
  *length = static_cast<ub4>(lob->binary ? lob->data.size() : TextUnits(lob->data, lob->national));
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCILobRead(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locator, ub4* amount, ub4 offset,
                              void* buffer, ub4 bufferLength, void* context, OCICallbackLobRead callback, ub2 csid,
                              ub1 form) {
  QZOCI_ENTER("OCILobRead", errhp,
              Detail() << "amount=" << (amount ? *amount : 0) << " offset=" << offset << " buflen=" << bufferLength
                       << " csid=" << csid << " csfrm=" << static_cast<int>(form));
  SvcCtxH* svc = As<SvcCtxH>(svchp, oci::kHtypeSvcCtx);
  LobD* lob = AsLob(locator);
  if (!svc || !lob || !amount) return oci::kInvalidHandle;
  if (!lob->initialized) return Fail(errhp, 22275);
  if (lob->isFile && !lob->open) return Fail(errhp, 22289);
  const ub2 charset = LobCharset(svc, csid, form);
  // Offsets and amounts count characters in a CLOB, UTF-16 code units in an NCLOB, bytes otherwise; a polling read
  // goes on where it stopped. Only the amount handed back to a client set of varying width counts its bytes.
  const std::size_t total = lob->binary ? lob->data.size() : TextUnits(lob->data, lob->national);
  std::size_t start = lob->polling ? lob->pollPosition : (offset > 0 ? offset - 1 : 0);
  if (!lob->polling) lob->pollLimit = *amount == 0 ? total : std::min<std::size_t>(total, start + *amount);
  const std::size_t first = start;
  for (;;) {
    std::size_t taken = 0;
    std::string piece;
    if (lob->binary) {
      taken = start < lob->pollLimit ? std::min<std::size_t>(bufferLength, lob->pollLimit - start) : 0;
      piece = lob->data.substr(std::min(start, lob->data.size()), taken);
    } else {
      const std::size_t from = TextUnitOffset(lob->data, start, lob->national);
      std::size_t to = from;
      std::size_t bytes = 0;
      while (start + taken < lob->pollLimit && to < lob->data.size()) {
        const std::size_t length = Utf8CharBytes(static_cast<unsigned char>(lob->data[to]));
        const std::size_t encoded = EncodedCharBytes(length, charset);
        if (bytes + encoded > bufferLength) break;
        bytes += encoded;
        to += length;
        taken += lob->national && length == 4 ? 2 : 1;
      }
      piece = EncodeClientText(lob->data.substr(from, to - from), charset);
    }
    const bool more = start + taken < lob->pollLimit;
    if (buffer) std::memcpy(buffer, piece.data(), piece.size());
    // A client set of varying width is told the bytes it received: their characters are its to count.
    *amount = static_cast<ub4>(lob->binary || IsVaryingWidthCharset(charset) ? piece.size() : taken);
    start += taken;
    if (callback) {
      const ub1 code = !more ? oci::kLastPiece : (start - taken == first ? oci::kFirstPiece : oci::kNextPiece);
      if (callback(context, buffer, static_cast<ub4>(piece.size()), code) != oci::kContinue) return Fail(errhp, 1013);
      if (more && taken > 0) continue;
      lob->polling = false;
      return oci::kSuccess;
    }
    if (more && taken > 0) {
      lob->polling = true;
      lob->pollPosition = start;
      return oci::kNeedData;
    }
    lob->polling = false;
    return oci::kSuccess;
  }
}

QZOCI_EXPORT sword OCILobWrite(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locator, ub4* amount, ub4 offset,
                               void* buffer, ub4 length, ub1 piece, void* /*context*/,
                               OCICallbackLobWrite /*callback: pieces come by calls*/, ub2 csid, ub1 form) {
  QZOCI_ENTER("OCILobWrite", errhp,
              Detail() << "amount=" << (amount ? *amount : 0) << " offset=" << offset << " length=" << length
                       << " piece=" << static_cast<int>(piece) << " csid=" << csid << " csfrm=" << static_cast<int>(form));
  SvcCtxH* svc = As<SvcCtxH>(svchp, oci::kHtypeSvcCtx);
  LobD* lob = As<LobD>(locator, oci::kDtypeLob);
  if (!svc || !lob || !amount) return oci::kInvalidHandle;
  if (!lob->initialized) return Fail(errhp, 22275);
  Session* session = SessionOfService(svc);
  if (!session) return Fail(errhp, 1012);
  const ub2 charset = LobCharset(svc, csid, form);
  const std::string bytes(static_cast<const char*>(buffer), buffer ? length : 0);
  if (piece == oci::kFirstPiece || piece == oci::kNextPiece) {
    if (piece == oci::kFirstPiece) {
      lob->writeBuffer.clear();
      lob->writeOffset = offset;
    }
    lob->writeBuffer += bytes;
    return oci::kNeedData;
  }
  std::string incoming = bytes;
  ub4 at = offset;
  if (piece == oci::kLastPiece) {
    incoming = lob->writeBuffer + bytes;
    at = lob->writeOffset;
    lob->writeBuffer.clear();
  }
  std::string data = lob->binary ? incoming : DecodeClientText(incoming.data(), incoming.size(), charset);
  std::string merged = lob->data;
  const std::size_t start = at > 0 ? at - 1 : 0;
  if (lob->binary) {
    if (merged.size() < start) merged.resize(start, '\0');
    merged.replace(start, std::min(data.size(), merged.size() - start), data);
  } else {
    const std::size_t have = TextUnits(merged, lob->national);
    if (have < start) merged += std::string(start - have, ' ');
    const std::size_t from = TextUnitOffset(merged, start, lob->national);
    const std::size_t to = TextUnitOffset(merged, start + TextUnits(data, lob->national), lob->national);
    merged.replace(from, to - from, data);
  }
  const Value value = lob->binary ? Value::Blob(merged) : Value::Text(merged);
  OraError error = session->WriteValue(lob->origin, value);
  if (error) return Fail(errhp, error);
  lob->data = merged;
  *amount = static_cast<ub4>(lob->binary ? data.size() : TextUnits(data, lob->national));
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCINumberToText(OCIError* errhp, const OCINumber* number, const OraText* format, ub4 formatLength,
                                   const OraText* nls, ub4 nlsLength, ub4* size, OraText* buffer) {
  const ub2 charset = CharsetOf(errhp);
  const std::string mask = ClientText(format, formatLength, charset);
  QZOCI_ENTER("OCINumberToText", errhp, Detail() << "fmt=" << mask);
  if (!number || !size) return oci::kInvalidHandle;
  // The length byte counts the bytes after it, which are at most the 21 the structure has room for.
  const std::size_t length = number->OCINumberPart[0];
  const std::optional<Decimal> d =
      length < sizeof number->OCINumberPart ? DecodeOraNumber(number->OCINumberPart + 1, length) : std::nullopt;
  if (!d) return Fail(errhp, 1722);
  std::string marks = ".,";
  const std::string params = ClientText(nls, nlsLength, charset);
  const std::size_t quote = params.find('\'');
  if (quote != std::string::npos && quote + 2 < params.size()) marks = params.substr(quote + 1, 2);
  const std::string text = mask.empty() ? d->ToText(marks[0]) : FormatNumberMask(*d, mask, marks);
  const std::string encoded = EncodeClientText(text, charset);
  if (encoded.size() > *size) return Fail(errhp, 1406);
  std::memcpy(buffer, encoded.data(), encoded.size());
  *size = static_cast<ub4>(encoded.size());
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCINumberFromText(OCIError* errhp, const OraText* text, ub4 textLength, const OraText* format,
                                     ub4 formatLength, const OraText* nls, ub4 nlsLength, OCINumber* number) {
  const ub2 charset = CharsetOf(errhp);
  const std::string value = ClientText(text, textLength, charset);
  const std::string mask = ClientText(format, formatLength, charset);
  QZOCI_ENTER("OCINumberFromText", errhp, Detail() << "text=" << value << " fmt=" << mask);
  if (!number) return oci::kInvalidHandle;
  std::string marks = ".,";
  const std::string params = ClientText(nls, nlsLength, charset);
  const std::size_t quote = params.find('\'');
  if (quote != std::string::npos && quote + 2 < params.size()) marks = params.substr(quote + 1, 2);
  const std::optional<Decimal> d = ParseNumberMask(value, mask, marks);
  if (!d) return Fail(errhp, 1722);
  const std::string bytes = EncodeOraNumber(*d);
  if (bytes.empty()) return Fail(errhp, 1426);
  std::memset(number->OCINumberPart, 0, sizeof number->OCINumberPart);
  number->OCINumberPart[0] = static_cast<ub1>(bytes.size());
  std::memcpy(number->OCINumberPart + 1, bytes.data(), bytes.size());
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIDateTimeConstruct(void* handle, OCIError* errhp, OCIDateTime* datetime, sb2 year, ub1 month,
                                        ub1 day, ub1 hour, ub1 minute, ub1 second, ub4 fraction,
                                        OraText* zone, size_t zoneLength) {
  QZOCI_ENTER("OCIDateTimeConstruct", errhp,
              Detail() << "value=" << year << "-" << int(month) << "-" << int(day) << " " << int(hour) << ":"
                       << int(minute) << ":" << int(second) << "." << fraction);
  DateTimeD* d = AsDateTime(datetime);
  if (!AsTag(handle) || !d) return oci::kInvalidHandle;
  DateTime v;
  v.year = year;
  v.month = month;
  v.day = day;
  v.hour = hour;
  v.minute = minute;
  v.second = second;
  v.nanos = fraction;
  if (zone && zoneLength) {
    const std::string z = ClientText(zone, zoneLength, CharsetOf(handle));
    int h = 0;
    int m = 0;
    if (std::sscanf(z.c_str() + ((z[0] == '+' || z[0] == '-') ? 1 : 0), "%d:%d", &h, &m) >= 1) {
      v.hasZone = true;
      v.zoneMinutes = (z[0] == '-' ? -1 : 1) * (h * 60 + m);
    }
  } else if (d->type == oci::kDtypeTimestampTz) {
    v.hasZone = true;
  }
  if (!v.IsValid()) return Fail(errhp, 1841);
  d->value = v;
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIDateTimeToText(void* handle, OCIError* errhp, const OCIDateTime* datetime,
                                     const OraText* format, ub1 formatLength, ub1 precision, const OraText*, size_t,
                                     ub4* size, OraText* buffer) {
  const ub2 charset = CharsetOf(handle);
  const std::string mask = ClientText(format, formatLength, charset);
  QZOCI_ENTER("OCIDateTimeToText", errhp, Detail() << "fmt=" << mask << " fsprec=" << int(precision));
  const DateTimeD* d = AsDateTime(datetime);
  if (!d || !size) return oci::kInvalidHandle;
  const DateTime& v = d->value;
  const std::string text = FormatDateMask(v, mask.empty() ? "DD-MON-RR HH.MI.SSXFF AM" : mask, precision ? precision : 6);
  const std::string encoded = EncodeClientText(text, charset);
  if (encoded.size() > *size) return Fail(errhp, 1406);
  std::memcpy(buffer, encoded.data(), encoded.size());
  *size = static_cast<ub4>(encoded.size());
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIIntervalGetYearMonth(void* handle, OCIError* errhp, sb4* years, sb4* months,
                                           const OCIInterval* interval) {
  QZOCI_ENTER("OCIIntervalGetYearMonth", errhp, std::string());
  const Tag* tag = AsTag(interval);
  if (!AsTag(handle) || !tag || tag->type != oci::kDtypeIntervalYM) return oci::kInvalidHandle;
  const Interval& v = static_cast<const IntervalD*>(tag)->value;
  const sb4 sign = v.negative ? -1 : 1;
  if (years) *years = sign * static_cast<sb4>(v.years);
  if (months) *months = sign * static_cast<sb4>(v.months);
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIIntervalSetYearMonth(void* handle, OCIError* errhp, sb4 years, sb4 months,
                                           OCIInterval* interval) {
  QZOCI_ENTER("OCIIntervalSetYearMonth", errhp, Detail() << "years=" << years << " months=" << months);
  const Tag* tag = AsTag(interval);
  if (!AsTag(handle) || !tag || tag->type != oci::kDtypeIntervalYM) return oci::kInvalidHandle;
  Interval& v = static_cast<IntervalD*>(const_cast<Tag*>(tag))->value;
  v = Interval();
  v.yearToMonth = true;
  v.negative = years < 0 || months < 0;
  v.years = years < 0 ? -static_cast<std::int64_t>(years) : years;
  v.months = months < 0 ? -static_cast<std::int64_t>(months) : months;
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIIntervalGetDaySecond(void* handle, OCIError* errhp, sb4* days, sb4* hours, sb4* minutes,
                                           sb4* seconds, sb4* fraction, const OCIInterval* interval) {
  QZOCI_ENTER("OCIIntervalGetDaySecond", errhp, std::string());
  const Tag* tag = AsTag(interval);
  if (!AsTag(handle) || !tag || tag->type != oci::kDtypeIntervalDS) return oci::kInvalidHandle;
  const Interval& v = static_cast<const IntervalD*>(tag)->value;
  const sb4 sign = v.negative ? -1 : 1;
  if (days) *days = sign * static_cast<sb4>(v.days);
  if (hours) *hours = sign * static_cast<sb4>(v.hours);
  if (minutes) *minutes = sign * static_cast<sb4>(v.minutes);
  if (seconds) *seconds = sign * static_cast<sb4>(v.seconds);
  if (fraction) *fraction = sign * static_cast<sb4>(v.nanos);
  return oci::kSuccess;
}

QZOCI_EXPORT sword OCIIntervalSetDaySecond(void* handle, OCIError* errhp, sb4 days, sb4 hours, sb4 minutes,
                                           sb4 seconds, sb4 fraction, OCIInterval* interval) {
  QZOCI_ENTER("OCIIntervalSetDaySecond", errhp,
              Detail() << "days=" << days << " hours=" << hours << " minutes=" << minutes << " seconds=" << seconds
                       << " fsec=" << fraction);
  const Tag* tag = AsTag(interval);
  if (!AsTag(handle) || !tag || tag->type != oci::kDtypeIntervalDS) return oci::kInvalidHandle;
  Interval& v = static_cast<IntervalD*>(const_cast<Tag*>(tag))->value;
  v = Interval();
  v.negative = days < 0 || hours < 0 || minutes < 0 || seconds < 0 || fraction < 0;
  auto magnitude = [](sb4 x) { return x < 0 ? -static_cast<std::int64_t>(x) : static_cast<std::int64_t>(x); };
  v.days = magnitude(days);
  v.hours = magnitude(hours);
  v.minutes = magnitude(minutes);
  v.seconds = magnitude(seconds);
  v.nanos = magnitude(fraction);
  return oci::kSuccess;
}
