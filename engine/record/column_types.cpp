#include "engine/record/column_types.h"

#include <iterator>

namespace {

// Indexed by column type code 0-31.
constexpr std::uint16_t kHostTypeOfColumnType[] = {
    0,  9,  19, 7, 6, 8,  11, 12, 0,  3,  128, 129, 2, 12, 128, 19,
    28, 10, 28, 9, 5, 19, 4,  28, 26, 27, 17,  1,   8, 16, 16,  13,
};
static_assert(std::size(kHostTypeOfColumnType) == 32);

struct HostToColumn {
  std::uint16_t hostType;
  std::uint32_t columnType;
};

constexpr HostToColumn kColumnTypeOfHostType[] = {
    {1, 27},  {2, 12},  {3, 9},   {4, 22},  {5, 20},  {6, 4},   {7, 3},    {8, 5},    {9, 19},
    {10, 17}, {11, 6},  {12, 7},  {13, 31}, {14, 20}, {16, 30}, {17, 26},  {18, 2},   {19, 15},
    {24, 14}, {25, 11}, {26, 24}, {27, 25}, {28, 18}, {81, 29}, {110, 29}, {128, 14}, {129, 11},
};

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
