// Column types: storage sizes, the maps to and from runtime types, the type classes, the column type of a decimal, the
// DDL type table and whether one column can take another's values.
#include "engine/record/column_types.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/record/column_descriptor.h"
#include "foundation/hash_table.h"
#include "tests/support/column_descriptor_ref.h"

namespace {

TEST(ColumnTypes, StorageSizes) {
  struct Case {
    std::uint32_t type, length;
    std::int32_t third;
    std::uint32_t bytes;
  } cases[] = {
      {1, 0, 0, 8},    {2, 10, 0, 11},    {3, 0, 0, 2},    {4, 0, 0, 1},   {5, 0, 0, 4},    {6, 0, 0, 4},
      {7, 0, 0, 8},    {8, 0, 0, 0},      {9, 0, 0, 2},    {10, 0, 0, 0},  {11, 0, 9, 10},  {11, 0, 3, 8},
      {11, 0, 0, 5},   {11, 0, -1, 5},    {12, 0, 0, 1},   {13, 0, 0, 0},  {14, 0, 0, 9},   {15, 0, 0, 8},
      {16, 0, 0, 0},   {17, 0, 0, 10},    {18, 0, 0, 8},   {19, 0, 0, 8},  {20, 0, 0, 8},   {21, 10, 0, 22},
      {22, 0, 0, 4},   {23, 10, 0, 12},   {24, 0, 0, 8},   {25, 0, 0, 8},  {26, 0, 0, 1},   {27, 0, 0, 1},
      {28, 0, 0, 4},   {29, 10, 0, 22},   {30, 0, 0, 8},   {31, 0, 20, 9}, {31, 0, 38, 16}, {31, 5, 0, 18},
      {31, 0, 39, 18}, {31, 0, 1000, 18}, {31, 0, -3, 18}, {0, 10, 0, 0},  {32, 10, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(nStorageSizeOfColumnType(c.type, c.length, c.third), c.bytes) << c.type << " " << c.third;
  }
}

TEST(ColumnTypes, RuntimeTypeMaps) {
  // Two runtime types share a column type each way.
  EXPECT_EQ(nColumnTypeFromHostType(14), COLUMN_TYPE_UINT64);
  EXPECT_EQ(nColumnTypeFromHostType(5), COLUMN_TYPE_UINT64);
  EXPECT_EQ(nColumnTypeFromHostType(110), COLUMN_TYPE_WTEXT);
  EXPECT_EQ(nColumnTypeFromHostType(81), COLUMN_TYPE_WTEXT);
  EXPECT_EQ(nColumnTypeFromHostType(16), COLUMN_TYPE_WTEXT_MEMO);
  EXPECT_EQ(nColumnTypeFromHostType(15), COLUMN_TYPE_NONE);
  EXPECT_EQ(nHostTypeOfDescriptor(*Column(COLUMN_TYPE_DATETIME, 8)), 26);
  EXPECT_EQ(nHostTypeOfDescriptor(*Column(COLUMN_TYPE_DECIMAL, 9, 10, 2)), 13);

  // The runtime's item codes: some renumbered, the unknown ones (inside and past the table) a text memo.
  const std::pair<std::uint32_t, std::uint32_t> internal[] = {
      {0, 0},   {2, 2},   {7, 7},   {8, 3},   {12, 26}, {23, 21},         {24, 1},  {26, 22},
      {30, 18}, {33, 5},  {36, 12}, {41, 31}, {1, 15},  {15, 15},         {16, 15}, {19, 15},
      {22, 15}, {29, 15}, {31, 15}, {32, 15}, {42, 15}, {0xFFFFFFFF, 15},
  };
  for (const auto& [code, type] : internal) EXPECT_EQ(nHostTypeToInternalType(code), type) << code;
}

TEST(ColumnTypes, NumericPrecisionOfRuntimeTypes) {
  struct Case {
    std::uint16_t host;
    bool known;
    std::uint32_t precision, scale;
  } cases[] = {{1, true, 1, 0},   {2, true, 3, 0},   {3, true, 5, 0},    {4, true, 10, 0},   {5, true, 19, 0},
               {6, true, 3, 0},   {7, true, 5, 0},   {8, true, 10, 0},   {9, true, 19, 0},   {10, true, 33, 5},
               {14, true, 19, 0}, {27, true, 19, 0}, {11, false, 77, 0}, {13, false, 77, 0}, {0, false, 77, 0}};
  for (const Case& c : cases) {
    std::uint32_t precision = 77, scale = 99;
    EXPECT_EQ(bNumericPrecisionOfHostType(c.host, precision, scale), c.known) << c.host;
    EXPECT_EQ(precision, c.precision) << c.host;
    EXPECT_EQ(scale, c.scale) << c.host;
  }
}

TEST(ColumnTypes, ColumnTypeOfADecimalNumber) {
  struct Case {
    std::int32_t p, s;
    std::uint32_t type, size;
  } cases[] = {
      {0, 0, 7, 8},   {-1, 2, 7, 8},  {2, -1, 7, 8},   {1, 0, 4, 1},   {2, 0, 4, 1},    {3, 0, 3, 2},    {4, 0, 3, 2},
      {5, 0, 5, 4},   {9, 0, 5, 4},   {10, 0, 19, 8},  {19, 0, 19, 8}, {20, 0, 31, 9},  {10, 6, 17, 10}, {0, 2, 17, 10},
      {10, 7, 31, 8}, {11, 2, 31, 6}, {38, 0, 31, 16}, {30, 9, 7, 8},  {0, 38, 31, 16}, {39, 0, 7, 8},
  };
  for (const Case& c : cases) {
    std::uint32_t type = 0, size = 0;
    ColumnTypeForNumber(c.p, c.s, type, size);
    EXPECT_EQ(type, c.type) << c.p << "," << c.s;
    EXPECT_EQ(size, c.size) << c.p << "," << c.s;
  }
}

TEST(ColumnTypes, ClassesAndFolding) {
  std::uint32_t numeric = 0, unicode = 0, ansi = 0, text = 0, memo = 0, textMemo = 0;
  for (std::uint32_t type = 0; type < 40; ++type) {
    const std::uint64_t bit = std::uint64_t{1} << type;
    if (bIsNumericColumnType(type)) numeric |= static_cast<std::uint32_t>(bit);
    if (bIsUnicodeColumnType(type)) unicode |= static_cast<std::uint32_t>(bit);
    if (bIsAnsiTextColumnType(type)) ansi |= static_cast<std::uint32_t>(bit);
    if (bIsTextColumnType(type)) text |= static_cast<std::uint32_t>(bit);
    if (bIsMemoColumnType(type)) memo |= static_cast<std::uint32_t>(bit);
    if (bIsTextMemoColumnType(type)) textMemo |= static_cast<std::uint32_t>(bit);
  }
  EXPECT_EQ(numeric,
            0x9A5A32FAu);  // 1 3 4 5 6 7 9 12 13 17 19 20 22 25 27 28 31
  EXPECT_EQ(unicode, 0x60000000u);
  EXPECT_EQ(ansi, 0x00008004u);
  EXPECT_EQ(text, 0x60008004u);
  EXPECT_EQ(memo, 0x40048000u);
  EXPECT_EQ(textMemo, 0x40008000u);

  struct Case {
    std::uint32_t type, size, foldedType, foldedSize;
  } cases[] = {{29, 22, 2, 11}, {30, 8, 15, 8}, {2, 11, 2, 11}, {21, 22, 21, 22}};
  for (const Case& c : cases) {
    std::uint32_t type = c.type, size = c.size;
    FoldUnicodeColumnType(type, size);
    EXPECT_EQ(type, c.foldedType);
    EXPECT_EQ(size, c.foldedSize);
  }
}

TEST(DdlTypes, GenericTextsAndReplacement) {
  CTypeNameTable table;
  ASSERT_TRUE(FillGenericDdlTypes(&table));
  EXPECT_EQ(table.nGetCount(), 28u);
  struct Case {
    DescriptorRef column;
    const char16_t* text;
  } cases[] = {
      {Column(2, 11), u"VARCHAR(10)"},
      {Column(29, 22), u"NVARCHAR(10)"},
      {Column(23, 12), u"VARBINARY(10)"},
      {Column(21, 22), u"CHARACTER(22)"},  // any other sized type: the element's whole data
      {Column(31, 14, 10, 4), u"NUMERIC(14,4)"},
      {Column(17, 10), u"NUMERIC(24,6)"},
      {Column(6, 4), u"REAL"},
      {Column(7, 8), u"FLOAT"},
      {Column(26, 1), u"CHARACTER"},
      {Column(28, 4), u"INTEGER"},
      {Column(15, 8), u"TEXT"},
      {Column(24, 8), u"TIMESTAMP"},
  };
  for (const Case& c : cases) {
    CTString text(u"before");
    EXPECT_TRUE(bGetDdlTypeText(&table, *c.column, text));
    EXPECT_EQ(std::u16string(text.pszGet()), c.text);
  }
  for (std::uint32_t missing : {8u, 16u, 18u, 0u, 40u}) {
    CTString text(u"before");
    EXPECT_FALSE(bGetDdlTypeText(&table, *Column(missing, 8), text)) << missing;
    EXPECT_EQ(std::u16string(text.pszGet()), u"before");
  }

  // The last entry of a type wins; a time's size is its element size minus 7, never below 0.
  ASSERT_TRUE(AddDdlType(&table, 11, u"TIMESTAMP(%d)", true));
  EXPECT_EQ(table.nGetCount(), 28u);
  CTString text;
  ASSERT_TRUE(bGetDdlTypeText(&table, *Column(11, 10), text));
  EXPECT_EQ(std::u16string(text.pszGet()), u"TIMESTAMP(3)");
  ASSERT_TRUE(bGetDdlTypeText(&table, *Column(11, 5), text));
  EXPECT_EQ(std::u16string(text.pszGet()), u"TIMESTAMP(0)");
}

TEST(CanHold, SameTypes) {
  struct Case {
    std::uint32_t type, size, precision, scale;
    std::uint32_t sourceSize, sourcePrecision, sourceScale;
    bool holds;
  } cases[] = {
      {2, 11, 0, 0, 11, 0, 0, true},   {2, 11, 0, 0, 12, 0, 0, false},  {23, 12, 0, 0, 10, 0, 0, true},
      {23, 12, 0, 0, 13, 0, 0, false}, {29, 22, 0, 0, 24, 0, 0, false}, {11, 8, 0, 0, 10, 0, 0, false},
      {31, 9, 10, 4, 9, 10, 4, true},  {31, 9, 10, 4, 9, 11, 3, false}, {31, 9, 10, 4, 9, 9, 5, false},
      {5, 4, 0, 0, 400, 0, 0, true},   {26, 1, 0, 0, 1, 0, 0, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Column(c.type, c.size, c.precision, c.scale)
                  ->bCanHold(*Column(c.type, c.sourceSize, c.sourcePrecision, c.sourceScale), false),
              c.holds)
        << c.type << " " << c.sourceSize;
  }
}

TEST(CanHold, DifferentTypes) {
  struct Case {
    std::uint32_t target, targetSize, source, sourceSize;
    bool holds;
  } cases[] = {
      {5, 4, 3, 2, true},     {3, 2, 5, 4, false},    {19, 8, 22, 4, true},  {17, 10, 19, 8, true},
      {20, 8, 6, 4, false},   {5, 4, 7, 8, false},    {7, 8, 6, 4, true},    {7, 8, 5, 4, false},
      {10, 0, 24, 8, true},   {11, 5, 24, 8, true},   {11, 5, 14, 9, false}, {14, 9, 10, 0, true},
      {14, 9, 24, 8, true},   {14, 9, 11, 5, false},  {15, 8, 2, 11, true},  {15, 8, 21, 22, true},
      {15, 8, 29, 22, false}, {16, 0, 23, 12, true},  {18, 8, 23, 12, true}, {18, 8, 2, 11, false},
      {24, 8, 10, 0, true},   {24, 8, 11, 5, true},   {24, 8, 14, 9, true},  {24, 8, 2, 11, false},
      {29, 22, 2, 44, true},  {29, 22, 2, 45, false}, {30, 8, 2, 11, true},  {30, 8, 15, 8, true},
      {30, 8, 21, 22, true},  {30, 8, 29, 22, true},  {30, 8, 18, 8, false}, {2, 11, 26, 1, false},
      {26, 1, 2, 11, false},  {6, 4, 3, 2, false},    {13, 0, 7, 8, false},  {21, 22, 2, 11, false},
      {23, 12, 18, 8, false}, {27, 1, 12, 1, false},  {0, 0, 2, 11, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Column(c.target, c.targetSize)->bCanHold(*Column(c.source, c.sourceSize), false), c.holds)
        << c.target << " <- " << c.source;
  }
  // A decimal takes a numeric type whose digits fit its total digits and scale.
  EXPECT_TRUE(Column(31, 9, 10, 0)->bCanHold(*Column(5, 4), false));  // 10 digits
  EXPECT_FALSE(Column(31, 9, 9, 0)->bCanHold(*Column(5, 4), false));
  EXPECT_TRUE(Column(31, 9, 5, 5)->bCanHold(*Column(5, 4), false));
  EXPECT_FALSE(Column(31, 16, 30, 4)->bCanHold(*Column(17, 10), false));  // money's 5 decimals
  EXPECT_FALSE(Column(31, 9, 30, 0)->bCanHold(*Column(7, 8), false));     // a real has no digit count
}

TEST(CanHold, FoldingComparesUnicodeTextAsAnsi) {
  const DescriptorRef text = Column(2, 11);
  const DescriptorRef wide = Column(29, 22);
  EXPECT_FALSE(text->bCanHold(*wide, false));
  EXPECT_TRUE(text->bCanHold(*wide, true));
  EXPECT_TRUE(Column(15, 8)->bCanHold(*Column(30, 8), true));
  EXPECT_FALSE(Column(15, 8)->bCanHold(*Column(30, 8), false));
  EXPECT_FALSE(Column(2, 11)->bCanHold(*Column(29, 24), true));
}

}  // namespace
