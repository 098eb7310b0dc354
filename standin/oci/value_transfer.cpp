#include "standin/oci/value_transfer.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "standin/oci/ora_datetime.h"
#include "standin/oci/ora_number.h"
#include "standin/oci/text_codec.h"

namespace qzoci {

namespace {

std::optional<Decimal> NumberOf(const Value& v) {
  switch (v.kind) {
    case Value::Kind::kInt:
      return Decimal::FromInt(v.i);
    case Value::Kind::kReal:
      return Decimal::FromDouble(v.r);
    case Value::Kind::kText:
      return Decimal::Parse(v.s);
    default:
      return std::nullopt;
  }
}

std::optional<DateTime> DateOf(const Value& v) {
  if (v.kind != Value::Kind::kText) return std::nullopt;
  return DateTime::FromText(v.s);
}

template <typename T>
T Load(const void* data) {
  T value;
  std::memcpy(&value, data, sizeof(T));
  return value;
}

template <typename T>
void Store(void* data, T value) {
  std::memcpy(data, &value, sizeof(T));
}

}  // namespace

Value ValueOfNumber(const Decimal& number) {
  const Decimal d = number.RoundedToNumber();
  if (d.IsInteger()) {
    if (std::optional<std::int64_t> i = d.ToInt()) return Value::Int(*i);
  }
  if (d.digits.size() <= 15) return Value::Real(d.ToDouble());
  return Value::Text(d.ToText());
}

bool IsTextType(ub2 dty) {
  return dty == oci::kSqltChr || dty == oci::kSqltStr || dty == oci::kSqltAfc || dty == oci::kSqltAvc ||
         dty == oci::kSqltVcs || dty == oci::kSqltLng || dty == oci::kSqltLvc;
}

Value ReadClientValue(ub2 dty, const void* data, std::uint32_t length, ub2 charset, OraError& error) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  switch (dty) {
    case oci::kSqltChr:
    case oci::kSqltAfc:
    case oci::kSqltAvc:
    case oci::kSqltLng: {
      std::string text = DecodeClientText(data, length, charset);
      return text.empty() ? Value::Null() : Value::Text(std::move(text));
    }
    case oci::kSqltStr: {
      std::string text = DecodeClientText(data, TerminatedLength(data, length, charset), charset);
      return text.empty() ? Value::Null() : Value::Text(std::move(text));
    }
    case oci::kSqltVcs: {
      const ub2 n = length >= 2 ? Load<ub2>(data) : 0;
      std::string text = DecodeClientText(bytes + 2, std::min<std::uint32_t>(n, length - 2), charset);
      return text.empty() ? Value::Null() : Value::Text(std::move(text));
    }
    case oci::kSqltLvc: {
      const sb4 n = length >= 4 ? Load<sb4>(data) : 0;
      std::string text = DecodeClientText(bytes + 4, std::min<std::uint32_t>(static_cast<std::uint32_t>(n), length - 4), charset);
      return text.empty() ? Value::Null() : Value::Text(std::move(text));
    }
    case oci::kSqltInt:
      switch (length) {
        case 1:
          return Value::Int(Load<std::int8_t>(data));
        case 2:
          return Value::Int(Load<std::int16_t>(data));
        case 4:
          return Value::Int(Load<std::int32_t>(data));
        case 8:
          return Value::Int(Load<std::int64_t>(data));
        default:
          error = MakeOraError(932, "integer of " + std::to_string(length) + " bytes");
          return Value();
      }
    case oci::kSqltUin:
      switch (length) {
        case 1:
          return Value::Int(Load<std::uint8_t>(data));
        case 2:
          return Value::Int(Load<std::uint16_t>(data));
        case 4:
          return Value::Int(Load<std::uint32_t>(data));
        case 8: {
          // SQLite's integers are signed: an unsigned value past their range travels as its decimal text.
          const std::uint64_t u = Load<std::uint64_t>(data);
          if (u > static_cast<std::uint64_t>(INT64_MAX)) return Value::Text(std::to_string(u));
          return Value::Int(static_cast<std::int64_t>(u));
        }
        default:
          error = MakeOraError(932, "integer of " + std::to_string(length) + " bytes");
          return Value();
      }
    case oci::kSqltFlt:
    case oci::kSqltBdouble:
    case oci::kSqltBfloat:
      if (length == 4) return Value::Real(Load<float>(data));
      if (length == 8) return Value::Real(Load<double>(data));
      error = MakeOraError(932, "float of " + std::to_string(length) + " bytes");
      return Value();
    case oci::kSqltNum:
    case oci::kSqltVnu: {
      const unsigned char* p = bytes;
      std::uint32_t n = length;
      if (dty == oci::kSqltVnu) {
        n = length ? bytes[0] : 0;
        p = bytes + 1;
        // The length byte may not claim more than the buffer holds.
        if (n >= length) n = 0;
      }
      std::optional<Decimal> d = DecodeOraNumber(p, n);
      if (!d) {
        error = MakeOraError(1722);
        return Value();
      }
      return ValueOfNumber(*d);
    }
    case oci::kSqltDat: {
      if (length < 7) {
        error = MakeOraError(1840);
        return Value();
      }
      std::optional<DateTime> d = FromOraDate(bytes);
      if (!d) {
        error = MakeOraError(1841);
        return Value();
      }
      return Value::Text(d->ToDateText());
    }
    case oci::kSqltOdt: {
      if (length < sizeof(OCIDate)) {
        error = MakeOraError(1840);
        return Value();
      }
      const OCIDate od = Load<OCIDate>(data);
      DateTime d;
      d.year = od.OCIDateYYYY;
      d.month = od.OCIDateMM;
      d.day = od.OCIDateDD;
      d.hour = od.OCIDateTime.OCITimeHH;
      d.minute = od.OCIDateTime.OCITimeMI;
      d.second = od.OCIDateTime.OCITimeSS;
      if (!d.IsValid()) {
        error = MakeOraError(1841);
        return Value();
      }
      return Value::Text(d.ToDateText());
    }
    case oci::kSqltBin:
    case oci::kSqltLbi:
      return Value::Blob(std::string(reinterpret_cast<const char*>(data), length));
    case oci::kSqltVbi: {
      const ub2 n = length >= 2 ? Load<ub2>(data) : 0;
      return Value::Blob(std::string(reinterpret_cast<const char*>(bytes + 2), std::min<std::uint32_t>(n, length - 2)));
    }
    case oci::kSqltLvb: {
      const sb4 n = length >= 4 ? Load<sb4>(data) : 0;
      return Value::Blob(std::string(reinterpret_cast<const char*>(bytes + 4),
                                     std::min<std::uint32_t>(static_cast<std::uint32_t>(n), length - 4)));
    }
    default:
      error = MakeOraError(932, "external type " + std::to_string(dty));
      return Value();
  }
}

std::string TextForm(const Value& value, const OraColumnType& type, const TextSettings& settings) {
  switch (value.kind) {
    case Value::Kind::kNull:
      return std::string();
    case Value::Kind::kInt:
      return Decimal::FromInt(value.i).ToText(settings.decimalMark);
    case Value::Kind::kReal:
      return Decimal::FromDouble(value.r).ToText(settings.decimalMark);
    case Value::Kind::kBlob: {
      static const char kHex[] = "0123456789ABCDEF";
      std::string hex;
      for (const char c : value.s) {
        hex += kHex[(static_cast<unsigned char>(c) >> 4) & 15];
        hex += kHex[static_cast<unsigned char>(c) & 15];
      }
      return hex;
    }
    case Value::Kind::kText:
      // A NUMBER column keeps its values as text: they read in the canonical form, with the session's mark.
      if (type.IsNumber()) {
        const std::optional<Decimal> d = Decimal::Parse(value.s);
        if (d) return d->RoundedToNumber().ToText(settings.decimalMark);
      }
      if (type.IsDate() || type.IsTimestamp()) {
        if (std::optional<DateTime> d = DateTime::FromText(value.s)) {
          return FormatDateMask(*d, type.IsDate() ? settings.dateFormat : settings.timestampFormat);
        }
      }
      return value.s;
  }
  return std::string();
}

WriteResult WriteClientValue(const Value& value, const OraColumnType& type, ub2 dty, void* data, std::uint32_t size,
                             ub2 charset, const TextSettings& settings) {
  WriteResult r;
  // A server converts an INTERVAL to text and to nothing else, and refuses the define whatever the row holds.
  if (type.IsInterval() && !IsTextType(dty)) {
    r.code = 932;
    return r;
  }
  if (value.IsNull()) {
    r.indicator = -1;
    return r;
  }
  auto* out = static_cast<unsigned char*>(data);
  auto truncatedTo = [&](std::size_t full, std::size_t room) {
    r.indicator = full > 32767 ? -2 : static_cast<sb2>(full);
    r.code = 1406;
    return room;
  };
  if (IsTextType(dty)) {
    const std::string encoded = EncodeClientText(TextForm(value, type, settings), charset);
    const std::size_t unit = UnitBytes(charset);
    std::size_t prefix = 0;
    if (dty == oci::kSqltVcs) prefix = 2;
    if (dty == oci::kSqltLvc) prefix = 4;
    if (size < prefix) {
      r.code = 1459;  // no room even for the length word
      return r;
    }
    std::size_t room = size > prefix ? size - prefix : 0;
    if (dty == oci::kSqltStr) room = room >= unit ? room - unit : 0;
    std::size_t n = encoded.size();
    if (n > room) n = truncatedTo(encoded.size(), room - room % unit);
    if (out) {
      std::memcpy(out + prefix, encoded.data(), n);
      if (dty == oci::kSqltStr && size >= n + unit) std::memset(out + prefix + n, 0, unit);
      if (dty == oci::kSqltAfc) {
        for (std::size_t k = n; k + unit <= room; k += unit) {
          out[prefix + k] = ' ';
          if (unit == 2) out[prefix + k + 1] = 0;
        }
      }
      if (dty == oci::kSqltVcs) Store<ub2>(out, static_cast<ub2>(n));
      if (dty == oci::kSqltLvc) Store<sb4>(out, static_cast<sb4>(n));
    }
    r.length = static_cast<std::uint32_t>(dty == oci::kSqltAfc ? room - room % unit : n);
    return r;
  }
  switch (dty) {
    case oci::kSqltInt:
    case oci::kSqltUin: {
      std::optional<Decimal> d = value.kind == Value::Kind::kBlob ? std::nullopt : NumberOf(value);
      if (dty == oci::kSqltUin && size == 8 && d) {
        // The whole unsigned range, 2^63 and above included; only a negative or larger value does not fit.
        const std::optional<std::uint64_t> u = d->ToUnsigned();
        if (u) Store<std::uint64_t>(out, *u);
        r.code = u ? 0 : 1455;
        r.length = size;
        return r;
      }
      std::optional<std::int64_t> i = d ? d->ToInt() : std::nullopt;
      if (!i) {
        r.code = d ? 1455 : 1722;
        return r;
      }
      const bool unsignedType = dty == oci::kSqltUin;
      bool fits = true;
      switch (size) {
        case 1:
          fits = unsignedType ? (*i >= 0 && *i <= 255) : (*i >= -128 && *i <= 127);
          if (fits) Store<std::int8_t>(out, static_cast<std::int8_t>(*i));
          break;
        case 2:
          fits = unsignedType ? (*i >= 0 && *i <= 65535) : (*i >= -32768 && *i <= 32767);
          if (fits) Store<std::int16_t>(out, static_cast<std::int16_t>(*i));
          break;
        case 4:
          fits = unsignedType ? (*i >= 0 && *i <= 4294967295LL) : (*i >= INT32_MIN && *i <= INT32_MAX);
          if (fits) Store<std::int32_t>(out, static_cast<std::int32_t>(*i));
          break;
        case 8:
          fits = !unsignedType || *i >= 0;
          if (fits) Store<std::int64_t>(out, *i);
          break;
        default:
          fits = false;
      }
      if (!fits) r.code = 1455;
      r.length = size;
      return r;
    }
    case oci::kSqltFlt:
    case oci::kSqltBdouble:
    case oci::kSqltBfloat: {
      std::optional<Decimal> d = value.kind == Value::Kind::kBlob ? std::nullopt : NumberOf(value);
      if (!d) {
        r.code = 1722;
        return r;
      }
      const double x = value.kind == Value::Kind::kReal ? value.r : d->ToDouble();
      if (size == 4) {
        Store<float>(out, static_cast<float>(x));
      } else if (size == 8) {
        Store<double>(out, x);
      } else {
        r.code = 932;
        return r;
      }
      r.length = size;
      return r;
    }
    case oci::kSqltNum:
    case oci::kSqltVnu: {
      std::optional<Decimal> d = value.kind == Value::Kind::kBlob ? std::nullopt : NumberOf(value);
      if (!d) {
        r.code = 1722;
        return r;
      }
      const std::string bytes = EncodeOraNumber(*d);
      if (bytes.empty()) {
        r.code = 1426;
        return r;
      }
      if (dty == oci::kSqltVnu) {
        if (size < bytes.size() + 1) {
          r.code = 1406;
          return r;
        }
        out[0] = static_cast<unsigned char>(bytes.size());
        std::memcpy(out + 1, bytes.data(), bytes.size());
        r.length = static_cast<std::uint32_t>(bytes.size() + 1);
      } else {
        if (size < bytes.size()) {
          r.code = 1406;
          return r;
        }
        std::memcpy(out, bytes.data(), bytes.size());
        r.length = static_cast<std::uint32_t>(bytes.size());
      }
      return r;
    }
    case oci::kSqltDat:
    case oci::kSqltOdt: {
      std::optional<DateTime> d = DateOf(value);
      if (!d) {
        r.code = value.kind == Value::Kind::kText ? 1858 : 932;
        return r;
      }
      if (dty == oci::kSqltDat) {
        if (size < 7) {
          r.code = 1406;
          return r;
        }
        ToOraDate(*d, out);
        r.length = 7;
      } else {
        OCIDate od{};
        od.OCIDateYYYY = static_cast<sb2>(d->year);
        od.OCIDateMM = static_cast<ub1>(d->month);
        od.OCIDateDD = static_cast<ub1>(d->day);
        od.OCIDateTime.OCITimeHH = static_cast<ub1>(d->hour);
        od.OCIDateTime.OCITimeMI = static_cast<ub1>(d->minute);
        od.OCIDateTime.OCITimeSS = static_cast<ub1>(d->second);
        if (size < sizeof od) {
          r.code = 1406;
          return r;
        }
        Store<OCIDate>(out, od);
        r.length = sizeof od;
      }
      return r;
    }
    case oci::kSqltBin:
    case oci::kSqltLbi:
    case oci::kSqltVbi:
    case oci::kSqltLvb: {
      const std::string& bytes = value.kind == Value::Kind::kText || value.kind == Value::Kind::kBlob
                                     ? value.s
                                     : TextForm(value, type, settings);
      const std::size_t prefix = dty == oci::kSqltVbi ? 2 : dty == oci::kSqltLvb ? 4 : 0;
      if (size < prefix) {
        r.code = 1459;  // no room even for the length word
        return r;
      }
      const std::size_t room = size > prefix ? size - prefix : 0;
      std::size_t n = bytes.size();
      if (n > room) n = truncatedTo(bytes.size(), room);
      std::memcpy(out + prefix, bytes.data(), n);
      if (dty == oci::kSqltVbi) Store<ub2>(out, static_cast<ub2>(n));
      if (dty == oci::kSqltLvb) Store<sb4>(out, static_cast<sb4>(n));
      r.length = static_cast<std::uint32_t>(n);
      return r;
    }
    default:
      r.code = 932;
      return r;
  }
}

}  // namespace qzoci
