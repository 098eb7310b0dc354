#include "standin/runtime/round_trip.h"

#include <algorithm>
#include <vector>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/currency.h"
#include "foundation/date_time.h"
#include "platform/utf8.h"
#include "standin/runtime/decimal.h"
#include "standin/runtime/runtime_code_page.h"
#include "standin/runtime/slot_call.h"

namespace qzrt {

namespace {

// The driver object's operations the round trip calls.
enum : std::size_t {
  kDriverOpen = 8,
  kDriverClose = 9,
  kDriverHolder = 11,
  kDriverAccessInterface = 13,
  kDriverListCatalog = 14,
  kDriverDescribe = 15,
  kDriverCloseRegistry = 17,
  kDriverFindTable = 26,
  kDriverBegin = 18,
  kDriverCommit = 19,
  kDriverRollback = 20,
  kDriverLinks = 27,
  kDriverRunQuery = 33,
};

// The access interface's operations.
enum : std::size_t {
  kAccessRelease = 6,
  kAccessHolder = 7,
  kAccessCreateAndOpen = 14,
  kAccessOpen = 15,
  kAccessClose = 17,
  kAccessAdd = 18,
  kAccessDelete = 21,
  kAccessWrite = 22,
  kAccessSeek = 23,
  kAccessModify = 25,
  kAccessRead = 26,
  kAccessReadInContext = 27,
  kAccessLockTable = 28,
  kAccessUnlockTable = 29,
  kAccessRecordLock = 30,
  kAccessOutOfRange = 32,
  kAccessGetPerMille = 46,
  kAccessSetPerMille = 47,
  kAccessReadLarge = 48,
  kAccessWriteLarge = 49,
  kAccessGetBuffer = 50,
  kAccessSetBuffer = 51,
  kAccessDescription = 9,
};

// The operations of the driver's descriptions and items, and of an error holder.
enum : std::size_t {
  kFileRelease = 6,
  kFileItemCount = 12,
  kFileItem = 16,
  kFileFindItem = 17,
  kItemRelease = 6,
  kItemName = 7,
  kItemSize = 9,
  kItemType = 12,
  kItemElementOffset = 32,
  kItemNullFlagIndex = 33,
  kItemScale = 41,
  kHolderMessage = 5,
  kHolderCode = 6,
  kHolderState = 7,
  kHolderFile = 8,
  kHolderItem = 9,
};

// A record buffer as the driver hands it out: after its table of operations and its two counting words, the block's
// length, the block, the number of null flags, the fields (one past the null flags), the null area's size and the
// null flags (the block's start).
struct RecordBufferView {
  void* operations;
  std::uint32_t references;
  std::uint32_t isStatic;
  std::uint32_t totalLength;
  std::uint8_t* block;
  std::uint32_t nullFlagCount;
  std::uint8_t* data;
  std::uint32_t nullAreaSize;
  std::uint8_t* nullFlags;
};

using RuntimeWord = std::uintptr_t;

template <typename T>
RuntimeWord Word(T* pointer) {
  return reinterpret_cast<RuntimeWord>(pointer);
}

std::string Narrow(const char16_t* text) { return text ? platform::ToUtf8(text) : std::string(); }

// The storage classes of a field by its column type: text in the client's 8 bits, UTF-16 text, integers of a size
// (a duration is a signed count of milliseconds).
bool IsNarrowText(std::uint32_t type) { return type == 2 || type == 10 || type == 11 || type == 14; }
bool IsWideText(std::uint32_t type) { return type == 29; }
bool IsSigned(std::uint32_t type) {
  return type == 1 || type == 3 || type == 4 || type == 5 || type == 19 || type == 25 || type == 28;
}
bool IsUnsigned(std::uint32_t type) { return type == 9 || type == 12 || type == 20 || type == 22 || type == 27; }
// Large values do not travel with the record: the runtime reads them one by one.
bool IsLarge(std::uint32_t type) { return type == 15 || type == 18 || type == 30; }

// The access interface's record description, with the reference the interface took for the runtime, given back at
// the end.
class Description {
 public:
  explicit Description(void* access) : m_description(CallSlot<void*>(access, kAccessDescription)) {}
  ~Description() {
    if (m_description) CallSlot<std::uint32_t>(m_description, kFileRelease);
  }
  Description(const Description&) = delete;
  Description& operator=(const Description&) = delete;
  void* Get() const { return m_description; }

 private:
  void* m_description;
};

// One item of a description, with the reference the lookup took, given back at the end.
class Item {
 public:
  Item(void* description, const char16_t* name)
      : m_item(description ? CallSlot<void*>(description, kFileFindItem, name) : nullptr) {}
  Item(void* description, std::uint32_t index)
      : m_item(description ? CallSlot<void*>(description, kFileItem, index) : nullptr) {}
  ~Item() {
    if (m_item) CallSlot<std::uint32_t>(m_item, kItemRelease);
  }
  Item(const Item&) = delete;
  Item& operator=(const Item&) = delete;

  explicit operator bool() const { return m_item != nullptr; }
  std::string Name() const { return Narrow(CallSlot<const char16_t*>(m_item, kItemName)); }
  std::uint32_t Type() const { return CallSlot<std::uint32_t>(m_item, kItemType); }
  std::uint32_t Size() const { return CallSlot<std::uint32_t>(m_item, kItemSize); }
  std::uint32_t Offset() const { return CallSlot<std::uint32_t>(m_item, kItemElementOffset, std::int32_t{0}); }
  std::uint32_t NullFlag() const { return CallSlot<std::uint32_t>(m_item, kItemNullFlagIndex, std::int32_t{0}); }
  // A decimal item's fraction digits.
  int Scale() const { return static_cast<int>(CallSlot<std::uint32_t>(m_item, kItemScale)); }

 private:
  void* m_item;
};

bool Present(const RecordBufferView& buffer, std::uint32_t flag) {
  return (buffer.nullFlags[flag / 8] & (0x80u >> (flag % 8))) != 0;
}

void SetPresent(RecordBufferView& buffer, std::uint32_t flag, bool present) {
  const auto bit = static_cast<std::uint8_t>(0x80u >> (flag % 8));
  if (present) {
    buffer.nullFlags[flag / 8] |= bit;
  } else {
    buffer.nullFlags[flag / 8] &= static_cast<std::uint8_t>(~bit);
  }
}

// The shortest of 15 or 17 significant digits that reads back as the same double.
std::string RealText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  if (std::strtod(text, nullptr) != value) std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// Reals, currency, durations and date-times as a user reads them: a number, or the date and time of the day.
std::optional<std::string> NumberOrDateText(std::uint32_t type, const std::uint8_t* at, std::uint32_t size) {
  if (type == 6 && size == 4) {
    float value;
    std::memcpy(&value, at, 4);
    // The float's own shortest digits: a 2.5 stored in 4 bytes reads 2.5, not its double's tail.
    char text[32] = {};
    for (int digits = 6; digits <= 9; ++digits) {
      std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
      if (std::strtof(text, nullptr) == value) break;
    }
    return std::string(text);
  }
  if ((type == 7 || type == 13) && size == 8) {
    double value;
    std::memcpy(&value, at, 8);
    return RealText(value);
  }
  if (type == 25 && size == 8) {
    std::int64_t value;
    std::memcpy(&value, at, 8);
    return std::to_string(value);
  }
  if (type == 17 && size == sizeof(CCurrency)) {
    CCurrency value;
    std::memcpy(&value, at, sizeof value);
    char16_t text[CCurrency::kTextSize] = {};
    value.FormatText(text);
    return Narrow(text);
  }
  if (type == 24 && size == sizeof(CHostDateTime)) {
    CHostDateTime value;
    std::memcpy(&value, at, sizeof value);
    const std::uint32_t ms = value.m_nMillisecond;
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03u", value.m_nYear, value.m_nMonth,
                  value.m_nDay, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    return std::string(text);
  }
  return std::nullopt;
}

FieldText ReadField(const RecordBufferView& buffer, const Item& item) {
  if (!Present(buffer, item.NullFlag())) return std::nullopt;
  const std::uint8_t* at = buffer.data + item.Offset();
  const std::uint32_t size = item.Size();
  const std::uint32_t type = item.Type();
  // 8-bit text is in the runtime's code page; a script reads and writes UTF-8.
  if (IsNarrowText(type)) {
    const auto* bytes = reinterpret_cast<const char*>(at);
    return platform::ToUtf8(std::u16string_view(WidenRuntime(bytes, strnlen(bytes, size))));
  }
  if (IsWideText(type)) {
    std::u16string text;
    for (std::uint32_t i = 0; i + 1 < size; i += 2) {
      char16_t unit;
      std::memcpy(&unit, at + i, 2);
      if (!unit) break;
      text += unit;
    }
    return platform::ToUtf8(std::u16string_view(text));
  }
  if ((IsSigned(type) || IsUnsigned(type)) && size <= 8) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, at, size);
    if (IsSigned(type) && size < 8 && (bits >> (size * 8 - 1)) & 1) bits |= ~std::uint64_t{0} << (size * 8);
    return IsSigned(type) ? std::to_string(static_cast<std::int64_t>(bits)) : std::to_string(bits);
  }
  if (std::optional<std::string> shown = NumberOrDateText(type, at, size)) return shown;
  // A decimal field holds the first bytes of the runtime's form: the signed integer of its digits at the item's scale.
  if (type == 31 && size >= 1 && size <= Decimal::kByteFormSize) {
    const std::u16string text =
        Decimal::FromInteger(at, std::min<std::size_t>(size, Decimal::kIntegerBytes), item.Scale()).Format();
    return std::string(text.begin(), text.end());
  }
  // Any other storage is shown as its bytes in hexadecimal.
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::uint32_t i = 0; i < size; ++i) {
    hex += kDigits[at[i] >> 4];
    hex += kDigits[at[i] & 15];
  }
  return hex;
}

// A number's text as the bytes of a real, currency or decimal field; false, with `out` untouched, for a text that is
// no number of the field's kind. Only a whole number is taken: "2x" is refused, not read as 2.
bool NumberField(std::uint32_t type, std::uint32_t size, int scale, const std::string& text, std::uint8_t* out) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  if (type == 6 && size == 4) {
    const float value = std::strtof(text.c_str(), &end);
    if (*end) return false;
    std::memcpy(out, &value, 4);
    return true;
  }
  if ((type == 7 || type == 13) && size == 8) {
    const double value = std::strtod(text.c_str(), &end);
    if (*end) return false;
    std::memcpy(out, &value, 8);
    return true;
  }
  const std::u16string wide(text.begin(), text.end());
  if (type == 17 && size == sizeof(CCurrency)) {
    // The currency reader stops at the first character it does not take: the whole text must be its number.
    std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    const std::size_t digits = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    if (i < text.size() && text[i] == '.') ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    CCurrency value;
    if (i != text.size() || i == digits || !value.bFromText(wide.c_str())) return false;
    std::memcpy(out, &value, sizeof value);
    return true;
  }
  if (type == 31 && size >= 1 && size <= Decimal::kByteFormSize) {
    // Rounded to the item's decimals, as the runtime puts a decimal into a field.
    Decimal value;
    std::uint8_t form[Decimal::kByteFormSize] = {};
    if (!Decimal::Parse(wide, value)) return false;
    value.Rescale(scale);
    if (!value.Fits()) return false;
    value.ToBytes(form);
    // The field keeps the integer's low bytes: a number whose integer needs more is refused, not cut.
    const std::uint8_t extension = form[std::min<std::size_t>(size, Decimal::kIntegerBytes) - 1] & 0x80 ? 0xFF : 0;
    for (std::size_t i = size; i < Decimal::kIntegerBytes; ++i) {
      if (form[i] != extension) return false;
    }
    std::memcpy(out, form, size);
    return true;
  }
  return false;
}

bool WriteField(RecordBufferView& buffer, const Item& item, const FieldText& value) {
  std::uint8_t* at = buffer.data + item.Offset();
  const std::uint32_t size = item.Size();
  const std::uint32_t type = item.Type();
  if (!value) {
    std::memset(at, 0, size);
    SetPresent(buffer, item.NullFlag(), false);
    return true;
  }
  // A value the field refuses leaves it as it was.
  std::vector<std::uint8_t> number(size);
  if (NumberField(type, size, type == 31 ? item.Scale() : 0, *value, number.data())) {
    std::memcpy(at, number.data(), size);
    SetPresent(buffer, item.NullFlag(), true);
    return true;
  }
  if (IsNarrowText(type)) {
    if (size == 0) return false;
    const std::string bytes = NarrowRuntime(platform::ToUtf16(*value));
    std::memset(at, 0, size);
    std::memcpy(at, bytes.data(), std::min<std::size_t>(bytes.size(), size - 1));
  } else if (IsWideText(type)) {
    std::memset(at, 0, size);
    const std::u16string wide = platform::ToUtf16(*value);
    std::memcpy(at, wide.data(), std::min<std::size_t>(wide.size() * 2, size >= 2 ? size - 2 : 0));
  } else if ((IsSigned(type) || IsUnsigned(type)) && size <= 8) {
    char* end = nullptr;
    const long long whole = std::strtoll(value->c_str(), &end, 10);
    if (value->empty() || *end) return false;
    std::memcpy(at, &whole, size);  // little-endian: the low bytes
  } else if (type == 24 && size == sizeof(CHostDateTime)) {
    // The text ReadField shows: a date-time reaches the driver as the runtime stores it, not as a text to parse.
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    int used = 0;
    if (std::sscanf(value->c_str(), "%4u-%2u-%2uT%2u:%2u:%2u.%3u%n", &year, &month, &day, &hour, &minute, &second,
                    &ms, &used) != 7 ||
        static_cast<std::size_t>(used) != value->size() || month < 1 || month > 12 || day < 1 || day > 31 ||
        hour > 23 || minute > 59 || second > 59) {
      return false;
    }
    const CHostDateTime moment{static_cast<std::uint8_t>(day), static_cast<std::uint8_t>(month),
                               static_cast<std::uint16_t>(year), ((hour * 60 + minute) * 60 + second) * 1000 + ms};
    std::memcpy(at, &moment, sizeof moment);
  } else {
    return false;
  }
  SetPresent(buffer, item.NullFlag(), true);
  return true;
}

}  // namespace

// ---- ErrorReport ----------------------------------------------------------------------------------------------------

std::string ErrorReport::Ora() const {
  const std::size_t at = message.find("ORA-");
  return at == std::string::npos || at + 9 > message.size() ? std::string() : message.substr(at, 9);
}

ErrorReport ReadErrorHolder(void* holder) {
  ErrorReport report;
  if (!holder) return report;
  report.code = CallSlot<std::uint32_t>(holder, kHolderCode);
  report.state = CallSlot<std::uint32_t>(holder, kHolderState);
  report.message = Narrow(CallSlot<const char16_t*>(holder, kHolderMessage));
  report.file = Narrow(CallSlot<const char16_t*>(holder, kHolderFile));
  report.item = Narrow(CallSlot<const char16_t*>(holder, kHolderItem));
  return report;
}

// ---- DriverSession --------------------------------------------------------------------------------------------------

int DriverSession::Connect(ConnectionDescription& description) {
  return CallSlot<int>(m_driver, kDriverOpen, &description);
}

int DriverSession::Disconnect(ConnectionDescription& description) {
  return CallSlot<int>(m_driver, kDriverClose, &description);
}

int DriverSession::Begin(ConnectionDescription& description, const char16_t* name) {
  return CallSlot<int>(m_driver, kDriverBegin, &description, name);
}

int DriverSession::Commit(ConnectionDescription& description, const char16_t* name) {
  return CallSlot<int>(m_driver, kDriverCommit, &description, name);
}

int DriverSession::Rollback(ConnectionDescription& description, const char16_t* name) {
  return CallSlot<int>(m_driver, kDriverRollback, &description, name);
}

void* DriverSession::AccessInterface(ConnectionDescription& connection, void* description) {
  return CallSlot<void*>(m_driver, kDriverAccessInterface, &connection, description);
}

void* DriverSession::Describe(ConnectionDescription& connection, const char16_t* table) {
  return CallSlot<void*>(m_driver, kDriverDescribe, table, &connection);
}

int DriverSession::FindTable(ConnectionDescription& connection, const char16_t* table, std::uint32_t* found) {
  return CallSlot<int>(m_driver, kDriverFindTable, found, table, &connection);
}

int DriverSession::CloseRegistry(std::uint64_t contextId) {
  RegistryKey key(contextId);
  return CallSlot<int>(m_driver, kDriverCloseRegistry, &key);
}

int DriverSession::ListCatalog(ConnectionDescription& connection, void* value, std::uint32_t flags) {
  return CallSlot<int>(m_driver, kDriverListCatalog, value, &connection, flags);
}

int DriverSession::ReferentialLinks(ConnectionDescription& connection, const char16_t* table, void* value) {
  return CallSlot<int>(m_driver, kDriverLinks, value, Word(table), RuntimeWord{0}, &connection, std::uint32_t{0});
}

void* DriverSession::RunQuery(ConnectionDescription& connection, FileHandle& handle, const char16_t* name, void* query,
                              std::uint32_t flags, int* answer) {
  void* access = nullptr;
  const int result = CallSlot<int>(m_driver, kDriverRunQuery, &access, Word(&handle), name, &connection, Word(query),
                                   flags, RuntimeWord{0});
  if (answer) *answer = result;
  return access;
}

ErrorReport DriverSession::Error() const { return ReadErrorHolder(CallSlot<void*>(m_driver, kDriverHolder)); }

// ---- OpenTable ------------------------------------------------------------------------------------------------------

OpenTable::OpenTable(void* accessInterface, std::uint64_t contextId, std::uint64_t fileId)
    : m_access(accessInterface), m_handle(contextId, fileId) {}

OpenTable::~OpenTable() {
  if (m_access) CallSlot<std::int32_t>(m_access, kAccessRelease);
}

int OpenTable::Create() { return CallSlot<std::int32_t>(m_access, kAccessCreateAndOpen, &m_handle, RuntimeWord{0}); }

int OpenTable::Open() {
  return CallSlot<std::int32_t>(m_access, kAccessOpen, &m_handle, std::uint32_t{0}, RuntimeWord{0});
}

int OpenTable::Close() { return CallSlot<std::int32_t>(m_access, kAccessClose, &m_handle); }

int OpenTable::Read(const char16_t* key, std::uint32_t direction, std::uint32_t lockMode, std::uint32_t flags) {
  std::uint32_t lockAnswer = 0;
  return CallSlot<std::int32_t>(m_access, kAccessRead, &m_handle, key, direction, std::uint32_t{0}, lockMode,
                                Word(&lockAnswer), flags);
}

int OpenTable::ReadBy(const char16_t* key, std::uint32_t direction, std::uint32_t count) {
  std::uint32_t lockAnswer = 0;
  return CallSlot<std::int32_t>(m_access, kAccessReadInContext, &m_handle, key, direction, RuntimeWord{count},
                                std::uint32_t{0}, std::uint32_t{0}, Word(&lockAnswer), std::uint32_t{0});
}

int OpenTable::PerMille(const char16_t* key, std::uint32_t* perMille) {
  return CallSlot<std::int32_t>(m_access, kAccessGetPerMille, &m_handle, key, perMille, std::uint32_t{0});
}

int OpenTable::GoToPerMille(const char16_t* key, std::uint32_t perMille) {
  return CallSlot<std::int32_t>(m_access, kAccessSetPerMille, &m_handle, key, perMille, std::uint32_t{0},
                                std::uint32_t{0});
}

int OpenTable::Seek(const char16_t* key, void* value, bool exact) {
  std::uint32_t lockAnswer = 0;
  return CallSlot<std::int32_t>(m_access, kAccessSeek, &m_handle, key, Word(value), std::uint32_t{exact},
                                std::uint32_t{0}, std::uint32_t{0}, Word(&lockAnswer), std::uint32_t{1},
                                std::uint32_t{0});
}

int OpenTable::Add() {
  return CallSlot<std::int32_t>(m_access, kAccessAdd, &m_handle, std::uint32_t{0}, std::uint32_t{0});
}

int OpenTable::Modify(std::uint32_t mode) {
  return CallSlot<std::int32_t>(m_access, kAccessModify, &m_handle, RuntimeWord{0}, mode, RuntimeWord{0});
}

int OpenTable::Write(std::uint32_t mode) {
  return CallSlot<std::int32_t>(m_access, kAccessWrite, &m_handle, RuntimeWord{0}, std::uint32_t{0}, mode);
}

int OpenTable::Delete(std::uint32_t mode) {
  return CallSlot<std::int32_t>(m_access, kAccessDelete, &m_handle, RuntimeWord{0}, mode);
}

bool OpenTable::OutOfRange(const char16_t* key) {
  std::uint32_t off = 1;
  return !CallSlot<std::int32_t>(m_access, kAccessOutOfRange, &m_handle, key, Word(&off)) || off != 0;
}

int OpenTable::LockRecord(std::uint32_t mode) {
  std::uint32_t lockAnswer = 0;
  return CallSlot<std::int32_t>(m_access, kAccessRecordLock, &m_handle, RuntimeWord{0}, mode, Word(&lockAnswer));
}

int OpenTable::LockTable(std::uint32_t mode) {
  std::uint32_t previous = 0;
  return CallSlot<std::int32_t>(m_access, kAccessLockTable, &m_handle, mode, Word(&previous));
}

int OpenTable::UnlockTable() { return CallSlot<std::int32_t>(m_access, kAccessUnlockTable, &m_handle); }

int OpenTable::ReadLarge(std::uint32_t index, void* value) {
  return CallSlot<std::int32_t>(m_access, kAccessReadLarge, &m_handle, index, Word(value));
}

int OpenTable::WriteLarge(std::uint32_t index, void* value) {
  return CallSlot<std::int32_t>(m_access, kAccessWriteLarge, &m_handle, index, Word(value));
}


bool OpenTable::SetField(const char16_t* name, const FieldText& value) {
  Description description(m_access);
  Item item(description.Get(), name);
  RecordBufferView* buffer = nullptr;
  if (!item || !CallSlot<std::int32_t>(m_access, kAccessGetBuffer, &m_handle, Word(&buffer)) || !buffer) return false;
  const bool written = WriteField(*buffer, item, value);
  // The buffer goes back with the runtime's reference: the table takes the record from it.
  return CallSlot<std::int32_t>(m_access, kAccessSetBuffer, &m_handle, Word(buffer)) && written;
}

FieldText OpenTable::Field(const char16_t* name) {
  Description description(m_access);
  Item item(description.Get(), name);
  RecordBufferView* buffer = nullptr;
  if (!item || !CallSlot<std::int32_t>(m_access, kAccessGetBuffer, &m_handle, Word(&buffer)) || !buffer)
    return std::nullopt;
  FieldText text = ReadField(*buffer, item);
  CallSlot<std::int32_t>(m_access, kAccessSetBuffer, &m_handle, Word(buffer));
  return text;
}

Fields OpenTable::Record() {
  Fields fields;
  Description description(m_access);
  RecordBufferView* buffer = nullptr;
  if (!description.Get() || !CallSlot<std::int32_t>(m_access, kAccessGetBuffer, &m_handle, Word(&buffer)) || !buffer)
    return fields;
  const std::uint32_t count = CallSlot<std::uint32_t>(description.Get(), kFileItemCount);
  for (std::uint32_t i = 0; i < count; ++i) {
    Item item(description.Get(), i);
    if (item && !IsLarge(item.Type())) fields.emplace_back(item.Name(), ReadField(*buffer, item));
  }
  CallSlot<std::int32_t>(m_access, kAccessSetBuffer, &m_handle, Word(buffer));
  return fields;
}

ErrorReport OpenTable::Error() { return ReadErrorHolder(CallSlot<void*>(m_access, kAccessHolder, &m_handle)); }

}  // namespace qzrt
