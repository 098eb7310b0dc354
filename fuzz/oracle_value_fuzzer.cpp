// Column buffers as the client fills them, handed to the Oracle field value, and runtime values written into those
// buffers and read back; on a session of the OCI stand-in (loaded from beside the program, as the driver loads the
// client). The first byte chooses the column (its type, the type Oracle reported and the runtime type it is read
// into, or with a date text the mask), the second the mode and the indicator, the next two the length the client
// returned, two more are spare; the rest are the buffer's bytes, or the value written.
//
// Properties: a NULL indicator always loads, the buffer unread; any bytes and returned length read
// without touching memory outside the buffer; a value written into the buffer reads back as the same text; a date
// text that binds under its mask reads back.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/oracle_session.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record_factories.h"
#include "foundation/error_holder.h"
#include "host/host_services.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "host/library_entry.h"
#include "host/value_entry_points.h"
#include "oracle/oracle_connection.h"
#include "oracle/oracle_field_value.h"
#include "standin/runtime/runtime_standin.h"


namespace {

constexpr std::uint32_t SQLT_INTERVAL_YM = 189;
constexpr std::int64_t kMonth = 30LL * 24 * 3600 * 1000;

// A column as Oracle describes it and the runtime type the program reads it into.
struct SColumnCase {
  std::uint32_t columnType;
  std::uint32_t size;
  std::uint32_t reportedSqlt;
  std::uint8_t hostType;
};

constexpr SColumnCase kColumns[] = {
    {COLUMN_TYPE_TEXT, 21, 1, HOST_TYPE_TEXT_BUFFER},   {COLUMN_TYPE_WTEXT, 42, 1, HOST_TYPE_WSTRING},
    {COLUMN_TYPE_INT32, 4, 2, HOST_TYPE_INT32},         {COLUMN_TYPE_INT64, 8, 2, HOST_TYPE_INT64},
    {COLUMN_TYPE_INT16, 2, 2, HOST_TYPE_INT16},         {COLUMN_TYPE_REAL8, 8, 2, HOST_TYPE_DOUBLE},
    {COLUMN_TYPE_DECIMAL, 16, 2, HOST_TYPE_PROXY_HANDLE}, {COLUMN_TYPE_DATETIME, 8, 12, HOST_TYPE_DATETIME},
    {COLUMN_TYPE_DATETIME, 8, 187, HOST_TYPE_DATETIME}, {COLUMN_TYPE_VALUE8, 8, 190, HOST_TYPE_VALUE8},
    {COLUMN_TYPE_BINARY, 8, 23, HOST_TYPE_BINARY_BUFFER}, {COLUMN_TYPE_DATE, 8, 12, HOST_TYPE_WDATE},
    {COLUMN_TYPE_TIME, 8, 12, HOST_TYPE_WTIME},         {COLUMN_TYPE_TEXT, 2001, 8, HOST_TYPE_TEXT_BUFFER},
    {COLUMN_TYPE_BINARY, 2001, 24, HOST_TYPE_BINARY_BUFFER}, {COLUMN_TYPE_CURRENCY, 8, 2, HOST_TYPE_CURRENCY},
    {COLUMN_TYPE_UINT8, 1, 2, HOST_TYPE_UINT8},         {COLUMN_TYPE_REAL4, 4, 2, HOST_TYPE_FLOAT},
    {COLUMN_TYPE_DATETIME, 8, 188, HOST_TYPE_DATETIME}, {COLUMN_TYPE_VALUE8, 8, SQLT_INTERVAL_YM, HOST_TYPE_VALUE8},
};

using SSession = SOracleSession;

class CColumnHolder {
 public:
  CColumnHolder(const SColumnCase& c, std::uint32_t reported)
      : m_pItem(pCreateColumnDescriptorThroughDriver(nullptr, 0)) {
    m_pItem->bSetAll(u"COL", u"T", u"", 1, c.size, c.columnType, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
    m_pItem->SetServerTypeCode(reported);
    m_pItem->AddRef();
  }
  ~CColumnHolder() { m_pItem->nRelease(); }
  CColumnHolder(const CColumnHolder&) = delete;
  CColumnHolder& operator=(const CColumnHolder&) = delete;
  CColumnDescriptor* Get() const { return m_pItem; }

 private:
  CColumnDescriptor* m_pItem;
};

std::u16string TextOf(CFieldValue* value) {
  CHostValue out;
  value->bGetValue(&out);
  if (out.bIsNull()) return u"<null>";
  if (out.nConvert(HOST_TYPE_TEXT) != HOST_OK) return u"<not text>";
  const char16_t* text = nullptr;
  out.nGetWideText(&text);
  return text ? text : u"";
}

// Fetched bytes with the returned length and indicator the client gave, into a column's field of the record buffer
// (a block of exactly the column's size), as the columns attach their values before a fetch.
void CheckFetched(SSession& s, const SColumnCase& c, CColumnHolder& column, bool null, std::uint16_t returned,
                  const std::uint8_t* bytes, std::size_t size) {
  std::unique_ptr<std::uint8_t[]> field(new std::uint8_t[c.size]());
  auto* value = new COracleFieldValue(s.holder, s.connection);
  value->AddRef();
  void* buffer = nullptr;
  std::uint64_t bufferSize = 0;
  std::uint64_t* returnedLength = nullptr;
  if (value->bAttachExternalBuffer(field.get(), c.size) && (value->SetDescriptors(column.Get(), column.Get()), true) &&
      value->bGetNativeBufferEx(&buffer, &bufferSize, &returnedLength) && buffer) {
    // A timestamp or interval is defined with the address of its descriptor as the buffer: the client fills the
    // descriptor, never the address, so only the length and the indicator come from the input there.
    if (!value->pGetDateTimeDescriptor()) std::memcpy(buffer, bytes, size < bufferSize ? size : bufferSize);
    // The client writes a 16-bit length into the low bytes of the value's wider one, which the define zeroed.
    if (returnedLength) {
      *returnedLength = 0;
      std::memcpy(returnedLength, &returned, sizeof returned);
    }
    value->SetSingleIndicator(null ? 0xFFFF : 0);
    const int loaded = value->bLoadFetched(nullptr);
    TextOf(value);
    // A NULL column is a good fetch whatever its buffer holds: the buffer is not read.
    if (null) Check(loaded == 1);
  }
  s.holder->Clear();
  value->nRelease();
}

// A duration's text as its milliseconds (a text that is no number fails the run).
std::int64_t Milliseconds(const std::u16string& text) {
  std::int64_t n = 0;
  std::size_t i = !text.empty() && text[0] == u'-' ? 1 : 0;
  Check(i < text.size());
  for (std::size_t k = i; k < text.size(); ++k) {
    Check(text[k] >= u'0' && text[k] <= u'9');
    n = n * 10 + (text[k] - u'0');
  }
  return i ? -n : n;
}

// A runtime value made from the input's text, written into the column's buffer and read back.
void CheckRoundTrip(SSession& s, const SColumnCase& c, CColumnHolder& column, const std::uint8_t* bytes,
                    std::size_t size) {
  std::u16string text(size / 2, u'\0');
  std::memcpy(text.data(), bytes, text.size() * 2);
  text = text.c_str();
  CHostValue source;
  source.SetType(HOST_TYPE_TEXT);
  source.Set(text.c_str());
  if (source.nConvert(c.hostType) != HOST_OK) return;
  auto* value = new COracleFieldValue(s.holder, s.connection);
  value->AddRef();
  value->InitType(c.hostType, 0);
  value->SetDescriptors(column.Get(), column.Get());
  if (value->bSetValue(source)) {
    const std::u16string written = TextOf(value);
    // An empty date binds NULL: the indicator says so and the buffer is not read.
    if (value->bSyncToNative() && value->nGetPreparation() == FIELD_PREPARED_CONVERTED && !value->bIsNativeNull()) {
      value->SetNull();
      if (value->bReadNative()) {
        const std::u16string read = TextOf(value);
        // Texts longer than the column are cut to it; every other value comes back whole.
        const bool text = c.hostType == HOST_TYPE_TEXT_BUFFER || c.hostType == HOST_TYPE_WSTRING ||
                          c.hostType == HOST_TYPE_BINARY_BUFFER;
        // A date-time without its date is bound on today's date.
        const bool timeOnly = c.hostType == HOST_TYPE_DATETIME && written.compare(0, 8, u"00000000") == 0;
        // A DATE column holds whole seconds: the milliseconds of a date-time or a time do not come back.
        const bool wholeSeconds = c.reportedSqlt == 12 && ((c.hostType == HOST_TYPE_DATETIME && written.size() == 17) ||
                                                           (c.hostType == HOST_TYPE_WTIME && written.size() == 9));
        if (wholeSeconds && !timeOnly) {
          Check(read == written.substr(0, written.size() - 3) + u"000");
        } else if (c.reportedSqlt == SQLT_INTERVAL_YM) {
          // A year-month interval holds years of 365 days and months of 30: what is less than a month is lost,
          // towards zero.
          const std::int64_t w = Milliseconds(written), r = Milliseconds(read);
          Check((w >= 0 ? r >= 0 && r <= w : r <= 0 && r >= w) && (w > r ? w - r : r - w) < kMonth);
        } else if (!text && !timeOnly) {
          Check(read == written);
        }
      }
    }
  }
  s.holder->Clear();
  value->nRelease();
}

// A date written as text under one of the date-format masks the columns set, bound as a date and read back.
void CheckMaskedDate(SSession& s, const char16_t* mask, const std::uint8_t* bytes, std::size_t size) {
  std::u16string text(size / 2, u'\0');
  std::memcpy(text.data(), bytes, text.size() * 2);
  text = text.c_str();
  auto* value = new COracleFieldValue(s.holder, s.connection);
  value->AddRef();
  value->InitType(HOST_TYPE_TEXT, 0);
  CHostValue source;
  source.SetType(HOST_TYPE_TEXT);
  source.Set(text.c_str());
  value->SetDateFormat(mask);
  // A text that binds is a date: it reads back as one.
  if (value->bSetValue(source) && value->bSyncToNative() && !value->bIsNativeNull()) {
    value->SetNull();
    Check(value->bReadNative() == 1);
  }
  s.holder->Clear();
  value->nRelease();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  SSession& s = OracleSession();
  const SColumnCase& c = kColumns[data[0] % std::size(kColumns)];
  const bool roundTrip = (data[1] & 1) != 0;
  const bool null = (data[1] & 2) != 0;
  std::uint16_t returned = 0;
  std::memcpy(&returned, data + 2, 2);
  if (data[1] & 4) {
    static const char16_t* const kMasks[] = {u"DD-MM-YYYY HH24:MI:SS", u"YYYYMMDD HH24:MI:SS",
                                             u"AAAA-MM-JJ HH:MM:SS.CCC", u"AAAAMMJJ HH:MM:SS.CCC",
                                             u"YYYYMMDDHH24MISS",      u"YYYYMMDD HH24MISS",
                                             u"YYYYMMDDHH24MISSFF",    u""};
    CheckMaskedDate(s, kMasks[data[0] % std::size(kMasks)], data + 6, size - 6);
    return 0;
  }
  CColumnHolder column(c, c.reportedSqlt);
  if (roundTrip) {
    CheckRoundTrip(s, c, column, data + 6, size - 6);
  } else {
    CheckFetched(s, c, column, null, returned, data + 6, size - 6);
  }
  return 0;
}
