// The lowest and highest values of the runtime's value types, as key searches meet them: the runtime fills the ends
// of a generic or range read with them (or marks a string as filled up to the maximum), and a search recognises them
// to drop a bound that would select everything. Pure functions over one runtime value; they own nothing.
#pragma once

#include <cstdint>

class CHostValue;

enum EKeyLimit : int {
  KEY_LIMIT_NONE = 0,
  KEY_LIMIT_MINIMUM = 1,
  KEY_LIMIT_MAXIMUM = 2,
};

// Which limit a search value stands for; a NULL value stands for none.
int nClassifyLimitValue(CHostValue& value);

// The value takes the lowest (highest) value of its type, NULL and marked flags cleared; a value of a type without
// limits is left as it is. Type 14 becomes type 5; a decimal (13) asks its runtime handle, keeping its precision.
void SetTypeMinimum(CHostValue& value);
void SetTypeMaximum(CHostValue& value);

// How a search value bounds a search on a column of `columnHostType`. A minimum or maximum is reported through
// isMin or isMax and is not used as a bound (use = false), except that a maximum-filled text on a text column is
// used as the text without its last unit (which becomes 0) when some text remains before it. Every other value is
// used as it is. False when memory refused the cut text (the value is then no bound to use).
bool ClassifySearchValue(std::uint16_t columnHostType, CHostValue& value, bool& use, bool& isMin, bool& isMax);
