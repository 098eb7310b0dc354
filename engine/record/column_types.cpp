#include "engine/record/column_types.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

#include "engine/record/column_descriptor.h"
#include "foundation/hash_table.h"

const std::uint8_t gtabDecimalByteCount[DECIMAL_DIGITS_MAX + 1] = {
    0, 1, 1,  2,  2,  3,  3,  4,  4,  4,  5,  5,  6,  6,  6,  7,  7,  8,  8,  9,
    9, 9, 10, 10, 11, 11, 11, 12, 12, 13, 13, 13, 14, 14, 15, 15, 16, 16, 16,
};

namespace {

// Indexed by column type code 0-31.
constexpr std::uint16_t kHostTypeOfColumnType[] = {
    0,  9,  19, 7, 6, 8,  11, 12, 0,  3,  128, 129, 2, 12, 128, 19,
    28, 10, 28, 9, 5, 19, 4,  28, 26, 27, 17,  1,   8, 16, 16,  13,
};
static_assert(std::size(kHostTypeOfColumnType) == 32);

// Fixed storage bytes by column type code 0-31; the sized types (2, 11, 21, 23, 29, 31) are computed.
constexpr std::uint8_t kFixedStorage[] = {
    0, 8, 0, 2, 1, 4, 4, 8, 0, 2, 0, 0, 1, 0, 9, 8, 0, 10, 8, 8, 8, 0, 4, 0, 8, 8, 1, 1, 4, 0, 8, 0,
};
static_assert(std::size(kFixedStorage) == 32);

struct HostToColumn {
  std::uint16_t hostType;
  std::uint32_t columnType;
};

constexpr HostToColumn kColumnTypeOfHostType[] = {
    {1, 27},  {2, 12},  {3, 9},   {4, 22},  {5, 20},  {6, 4},   {7, 3},    {8, 5},    {9, 19},
    {10, 17}, {11, 6},  {12, 7},  {13, 31}, {14, 20}, {16, 30}, {17, 26},  {18, 2},   {19, 15},
    {24, 14}, {25, 11}, {26, 24}, {27, 25}, {28, 18}, {81, 29}, {110, 29}, {128, 14}, {129, 11},
};

// The runtime's item type codes 0-41; every other code is a text memo.
constexpr std::uint8_t kInternalTypeOfItemCode[] = {
    0,  15, 2,  3, 4,  5,  6,  7,  3,  9,  10, 11, 26, 13, 14, 15, 15, 17, 18, 15, 15,
    15, 15, 21, 1, 19, 22, 20, 23, 15, 18, 15, 15, 5,  24, 25, 12, 27, 28, 29, 30, 31,
};
static_assert(std::size(kInternalTypeOfItemCode) == 42);

struct HostPrecision {
  std::uint16_t hostType;
  std::uint8_t precision;
  std::uint8_t scale;
};

constexpr HostPrecision kPrecisionOfHostType[] = {
    {1, 1, 0}, {2, 3, 0},  {3, 5, 0},  {4, 10, 0},  {5, 19, 0},  {6, 3, 0},
    {7, 5, 0}, {8, 10, 0}, {9, 19, 0}, {10, 33, 5}, {14, 19, 0}, {27, 19, 0},
};

constexpr bool InSet(std::uint32_t type, std::uint32_t mask) { return type < 32 && ((mask >> type) & 1u) != 0; }
constexpr std::uint32_t Bits(std::initializer_list<std::uint32_t> types) {
  std::uint32_t mask = 0;
  for (std::uint32_t t : types) mask |= 1u << t;
  return mask;
}

constexpr std::uint32_t kNumericTypes = Bits({1, 3, 4, 5, 6, 7, 9, 12, 13, 17, 19, 20, 22, 25, 27, 28, 31});
// The integer and money types that take another numeric type when its digits fit.
constexpr std::uint32_t kNumericTestTypes = Bits({1, 3, 4, 5, 9, 12, 17, 19, 20, 22, 25, 28});
constexpr std::uint32_t kLengthTestTypes = Bits({2, 11, 23, 29});

bool bNumericFits(std::uint32_t target, std::uint32_t source) {
  std::uint32_t targetPrecision = 0, targetScale = 0, sourcePrecision = 0, sourceScale = 0;
  return bNumericPrecisionOfHostType(nHostTypeOfColumnType(target, -1), targetPrecision, targetScale) &&
         bNumericPrecisionOfHostType(nHostTypeOfColumnType(source, -1), sourcePrecision, sourceScale) &&
         sourcePrecision <= targetPrecision && sourceScale <= targetScale;
}

}  // namespace

std::uint16_t nHostTypeOfColumnType(std::uint32_t columnType, std::int32_t /*size*/) {
  return columnType < std::size(kHostTypeOfColumnType) ? kHostTypeOfColumnType[columnType] : 0;
}

std::uint32_t nColumnTypeFromHostType(std::uint16_t hostType) {
  for (const HostToColumn& entry : kColumnTypeOfHostType) {
    if (entry.hostType == hostType) return entry.columnType;
  }
  return COLUMN_TYPE_NONE;
}

std::uint16_t nHostTypeOfDescriptor(CColumnDescriptor& descriptor) {
  return nHostTypeOfColumnType(descriptor.nGetType(), static_cast<std::int32_t>(descriptor.nGetSize()));
}

std::uint32_t nHostTypeToInternalType(std::uint32_t itemCode) {
  return itemCode < std::size(kInternalTypeOfItemCode) ? kInternalTypeOfItemCode[itemCode]
                                                       : std::uint32_t{COLUMN_TYPE_TEXT_MEMO};
}

bool bNumericPrecisionOfHostType(std::uint16_t hostType, std::uint32_t& precision, std::uint32_t& scale) {
  scale = 0;
  for (const HostPrecision& entry : kPrecisionOfHostType) {
    if (entry.hostType == hostType) {
      precision = entry.precision;
      scale = entry.scale;
      return true;
    }
  }
  return false;
}

bool bDecimalFormFits(const void* form, std::size_t size, std::size_t room) {
  const auto* bytes = static_cast<const std::uint8_t*>(form);
  const std::size_t integer = std::min(size, DECIMAL_INTEGER_BYTES);
  if (!bytes || room >= integer) return true;
  if (room == 0) return false;
  const std::uint8_t sign = bytes[room - 1] & 0x80 ? 0xFF : 0x00;
  for (std::size_t i = room; i < integer; ++i) {
    if (bytes[i] != sign) return false;
  }
  return true;
}

void WidenDecimalField(std::uint8_t* form, std::size_t size, const void* field, std::size_t length) {
  const std::size_t kept = std::min(length, size);
  const auto* bytes = static_cast<const std::uint8_t*>(field);
  std::memset(form, 0, size);
  if (kept == 0 || !bytes) return;
  std::memcpy(form, bytes, kept);
  if (bytes[kept - 1] & 0x80) {
    for (std::size_t i = kept; i < std::min(size, DECIMAL_INTEGER_BYTES); ++i) form[i] = 0xFF;
  }
}

void ColumnTypeForNumber(std::int32_t p, std::int32_t s, std::uint32_t& type, std::uint32_t& size) {
  type = COLUMN_TYPE_REAL8;
  size = 8;
  if (p < 0 || s < 0 || (p == 0 && s == 0)) return;
  if (s == 0 && p < 20) {
    if (p < 3) {
      type = COLUMN_TYPE_INT8, size = 1;
    } else if (p < 5) {
      type = COLUMN_TYPE_INT16, size = 2;
    } else if (p <= 9) {
      type = COLUMN_TYPE_INT32, size = 4;
    } else {
      type = COLUMN_TYPE_INT64, size = 8;
    }
  } else if (s < 7 && p < 11) {
    type = COLUMN_TYPE_CURRENCY, size = 10;
  } else if (s < 39 && p < 39 && p + s < 39) {
    type = COLUMN_TYPE_DECIMAL, size = gtabDecimalByteCount[p + s];
  }
}

std::uint32_t nStorageSizeOfColumnType(std::uint32_t type, std::uint32_t length, std::int32_t third) {
  switch (type) {
    case COLUMN_TYPE_TEXT:
      return length + 1;
    case COLUMN_TYPE_TIME:
      return third > 0 ? 5 + std::min<std::uint32_t>(static_cast<std::uint32_t>(third), 5) : 5;
    case COLUMN_TYPE_FIXED_TEXT:
    case COLUMN_TYPE_WTEXT:
      return (length + 1) * 2;
    case COLUMN_TYPE_BINARY:
      return length + 2;
    case COLUMN_TYPE_DECIMAL:
      // No digit count (0) and one the table does not cover both take the widest decimal's 18 bytes, rather than
      // reading past the table.
      return third > 0 && third <= static_cast<std::int32_t>(DECIMAL_DIGITS_MAX) ? gtabDecimalByteCount[third] : 18;
    default:
      return type < std::size(kFixedStorage) ? kFixedStorage[type] : 0;
  }
}

bool bIsNumericColumnType(std::uint32_t type) { return InSet(type, kNumericTypes); }
bool bIsUnicodeColumnType(std::uint32_t type) { return type == COLUMN_TYPE_WTEXT || type == COLUMN_TYPE_WTEXT_MEMO; }
bool bIsAnsiTextColumnType(std::uint32_t type) { return type == COLUMN_TYPE_TEXT || type == COLUMN_TYPE_TEXT_MEMO; }
bool bIsTextColumnType(std::uint32_t type) { return bIsAnsiTextColumnType(type) || bIsUnicodeColumnType(type); }
bool bIsTextMemoColumnType(std::uint32_t type) {
  return type == COLUMN_TYPE_TEXT_MEMO || type == COLUMN_TYPE_WTEXT_MEMO;
}
bool bIsMemoColumnType(std::uint32_t type) { return bIsTextMemoColumnType(type) || type == COLUMN_TYPE_BINARY_MEMO; }

void FoldUnicodeColumnType(std::uint32_t& type, std::uint32_t& size) {
  if (type == COLUMN_TYPE_WTEXT) {
    type = COLUMN_TYPE_TEXT;
    size /= 2;
  } else if (type == COLUMN_TYPE_WTEXT_MEMO) {
    type = COLUMN_TYPE_TEXT_MEMO;
  }
}

bool CColumnDescriptor::bCanHold(CColumnDescriptor& source, bool fold) {
  std::uint32_t a = nGetType(), la = nGetSize();
  std::uint32_t b = source.nGetType(), lb = source.nGetSize();
  if (fold) {
    FoldUnicodeColumnType(a, la);
    FoldUnicodeColumnType(b, lb);
  }
  if (a == b) {
    if (InSet(a, kLengthTestTypes)) return lb <= la;
    if (a == COLUMN_TYPE_DECIMAL) {
      return source.nGetScale() <= nGetScale() && source.nGetPrecision() <= nGetPrecision();
    }
    return true;
  }
  if (InSet(a, kNumericTestTypes)) return bNumericFits(a, b);
  switch (a) {
    case COLUMN_TYPE_REAL8:
      return b == COLUMN_TYPE_REAL4;
    case COLUMN_TYPE_HOST_DATE:
    case COLUMN_TYPE_TIME:
      return b == COLUMN_TYPE_DATETIME;
    case COLUMN_TYPE_DATE:
      return b == COLUMN_TYPE_HOST_DATE || b == COLUMN_TYPE_DATETIME;
    case COLUMN_TYPE_TEXT_MEMO:
      return b == COLUMN_TYPE_TEXT || b == COLUMN_TYPE_FIXED_TEXT;
    case COLUMN_TYPE_LONG_BINARY:
    case COLUMN_TYPE_BINARY_MEMO:
      return b == COLUMN_TYPE_BINARY;
    case COLUMN_TYPE_DATETIME:
      return b == COLUMN_TYPE_HOST_DATE || b == COLUMN_TYPE_TIME || b == COLUMN_TYPE_DATE;
    case COLUMN_TYPE_WTEXT:
      return b == COLUMN_TYPE_TEXT && lb <= 2 * la;
    case COLUMN_TYPE_WTEXT_MEMO:
      return b == COLUMN_TYPE_TEXT || b == COLUMN_TYPE_TEXT_MEMO || b == COLUMN_TYPE_FIXED_TEXT ||
             b == COLUMN_TYPE_WTEXT;
    case COLUMN_TYPE_DECIMAL: {
      std::uint32_t precision = 0, scale = 0;
      return bNumericPrecisionOfHostType(nHostTypeOfColumnType(b, -1), precision, scale) &&
             precision <= nGetPrecision() + nGetScale() && scale <= nGetScale();
    }
    default:
      return false;
  }
}

int AddDdlType(CTypeNameTable* table, std::uint32_t type, const char16_t* pattern, bool hasSize) {
  std::uint64_t old = 0;
  if (table->bRemove(type, &old, nullptr)) {
    if (auto* entry = reinterpret_cast<CDdlTypeEntry*>(old)) entry->nRelease();
  }
  auto* entry = new (std::nothrow) CDdlTypeEntry(pattern, hasSize);
  if (!entry) return 0;
  entry->AddRef();
  if (!table->bInsert(type, reinterpret_cast<std::uint64_t>(entry))) {
    entry->nRelease();
    return 0;
  }
  return 1;
}

void FormatDdlType(const CDdlTypeEntry& entry, CColumnDescriptor& descriptor, CTString& out) {
  if (!entry.m_bHasSize) {
    out = entry.m_strPattern;
    return;
  }
  const char16_t* pattern = entry.m_strPattern.pszGet();
  switch (descriptor.nGetType()) {
    case COLUMN_TYPE_TIME: {
      const std::int64_t digits = static_cast<std::int64_t>(descriptor.nGetSize()) - 7;
      out.Format(pattern, static_cast<int>(digits < 0 ? 0 : digits));
      break;
    }
    case COLUMN_TYPE_DECIMAL:
      // The descriptor keeps the integer digits as its precision: the first number is the total digit count.
      out.Format(pattern, static_cast<int>(descriptor.nGetPrecision() + descriptor.nGetScale()),
                 static_cast<int>(descriptor.nGetScale()));
      break;
    default:
      out.Format(pattern, static_cast<int>(descriptor.nGetDataLength(0)));
      break;
  }
}

bool bGetDdlTypeText(const CTypeNameTable* table, CColumnDescriptor& descriptor, CTString& out) {
  std::uint64_t value = 0;
  if (!table->bLookup(descriptor.nGetType(), &value, nullptr) || !value) return false;
  FormatDdlType(*reinterpret_cast<const CDdlTypeEntry*>(value), descriptor, out);
  return true;
}

int FillGenericDdlTypes(CTypeNameTable* table) {
  struct Generic {
    std::uint32_t type;
    const char16_t* pattern;
    bool hasSize;
  };
  static constexpr Generic kGeneric[] = {
      {1, u"NUMERIC(19,0)", false},  {28, u"INTEGER", false},      {4, u"SMALLINT", false},
      {3, u"SMALLINT", false},       {5, u"INTEGER", false},       {19, u"NUMERIC(19,0)", false},
      {12, u"SMALLINT", false},      {9, u"SMALLINT", false},      {22, u"INTEGER", false},
      {20, u"NUMERIC(20,0)", false}, {27, u"SMALLINT", false},     {17, u"NUMERIC(24,6)", false},
      {31, u"NUMERIC(%d,%d)", true}, {6, u"REAL", false},          {7, u"FLOAT", false},
      {13, u"FLOAT", false},         {26, u"CHARACTER", false},    {21, u"CHARACTER(%d)", true},
      {2, u"VARCHAR(%d)", true},     {15, u"TEXT", false},         {29, u"NVARCHAR(%d)", true},
      {30, u"NTEXT", false},         {23, u"VARBINARY(%d)", true}, {10, u"DATE", false},
      {14, u"DATE", false},          {11, u"TIME", false},         {24, u"TIMESTAMP", false},
      {25, u"NUMERIC(19,0)", false},
  };
  for (const Generic& entry : kGeneric) {
    if (!AddDdlType(table, entry.type, entry.pattern, entry.hasSize)) return 0;
  }
  return 1;
}
