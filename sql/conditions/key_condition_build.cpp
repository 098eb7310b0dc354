// Conditions from key values: which columns a search compares (one column, the components of a composite key, or the
// keys that identify the current record), where their values come from (the search value, a packed composite value,
// the current record), and how an ordered comparison over several columns nests into OR and AND terms so that the
// server returns the records after (or before) a key position in key order.
//
// Every node built here has count 0 until its parent or the key condition references it; a builder that fails part
// way destroys the unheld nodes it made, notes the failure (NoteBuildFailure) and answers null. A null answer with
// nothing noted means there is nothing to compare.
#include <algorithm>
#include <cstring>
#include <new>

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/table_description.h"
#include "foundation/error_holder.h"
#include "foundation/flag_list.h"
#include "foundation/host_locale.h"
#include "foundation/module_errors.h"
#include "sql/conditions/key_condition.h"
#include "sql/conditions/key_limits.h"
#include "sql/driver_services.h"

struct CKeyCondition::SExpansionNulls {
  CFlagList list;
  std::vector<std::uint32_t> flags;
};

namespace {

void DropUnheld(CConditionNode* node) {
  if (node && node->nGetRefCount() == 0) node->nRelease();
}

bool bIsNarrowKeyText(std::uint8_t type) {
  return (type >= HOST_TYPE_ACHAR && type <= HOST_TYPE_TEXT_BUFFER) || (type >= 21 && type <= 23) ||
         type == HOST_TYPE_ADATE || type == HOST_TYPE_ATIME || type == 134;
}
bool bIsWideKeyText(std::uint8_t type) {
  return type == HOST_TYPE_WSTRING || type == 20 || type == HOST_TYPE_WDATE || type == HOST_TYPE_WTIME ||
         type == HOST_TYPE_WCHAR || type == HOST_TYPE_TEXT;
}
// The text types a last key part can be a prefix of (16-25, 81, 110, 128, 129, 134).
bool bIsTextLikeHostType(std::uint16_t type) {
  return (type >= HOST_TYPE_WSTRING && type <= HOST_TYPE_WTIME) || type == HOST_TYPE_WCHAR || type == HOST_TYPE_TEXT ||
         type == HOST_TYPE_ADATE || type == HOST_TYPE_ATIME || type == 134;
}
// The texts a partial date or time can be given as (16-23, 81, 110, 134).
bool bIsPartialText(std::uint8_t type) {
  return (type >= HOST_TYPE_WSTRING && type <= 23) || type == HOST_TYPE_WCHAR || type == HOST_TYPE_TEXT || type == 134;
}

// The last character unit of a text value by its data size (terminator excluded): its width in bytes (1 or 2) and
// its value; width 0 for a value that is not a text or has no data.
struct SLastUnit {
  std::size_t width = 0;
  std::uint32_t unit = 0;
  std::size_t size = 0;
  const std::uint8_t* data = nullptr;
};
SLastUnit LastUnitOf(CHostValue& value) {
  SLastUnit last;
  const std::uint8_t type = value.nGetType();
  const std::size_t width = bIsNarrowKeyText(type) ? 1 : bIsWideKeyText(type) ? 2 : 0;
  if (width == 0 || value.bIsNull()) return last;
  const void* data = nullptr;
  std::size_t size = 0;
  if (bHostFailed(value.nGetDataPointer(&data)) || !data || bHostFailed(value.nGetDataSize(&size)) || size < width) {
    return last;
  }
  last.width = width;
  last.data = static_cast<const std::uint8_t*>(data);
  last.size = size;
  if (width == 1) {
    last.unit = last.data[size - 1];
  } else {
    char16_t unit = 0;
    std::memcpy(&unit, last.data + size - 2, 2);
    last.unit = unit;
  }
  return last;
}

bool bIsDescendingComponent(CColumn* composite, std::uint32_t index) {
  CColumnDescriptor* key = composite->pGetDescriptorNoRef();
  return index < key->nGetComponentCount() && key->pGetComponentAt(index)->bIsDescending() != 0;
}

}  // namespace

// ---- failures ----

void CKeyCondition::NoteBuildFailure() {
  ++m_nBuildFailures;
  if (m_pHolder && !m_pHolder->bHasError()) {
    RaiseModuleError(m_pHolder, 0, ERROR_UNIT_CONDITIONS, CONDITION_POINT_ELEMENT, m_pConnection, nullptr,
                     CONDITION_ERROR_OUT_OF_MEMORY);
  }
}

CConditionNode* CKeyCondition::pJoin(CConditionNode* left, std::uint32_t kind, CConditionNode* right) {
  CConditionNode* joined = left && right ? left->pCombine(kind, right) : nullptr;
  // A missing side was noted where it failed; a branch that cannot be made is the join's own failure.
  if (left && right && !joined) NoteBuildFailure();
  if (!joined) {
    DropUnheld(left);
    DropUnheld(right);
  }
  return joined;
}

// ---- entry ----

CConditionNode* CKeyCondition::pBuildStage(CTableDescription* table, CColumnDescriptor* item, std::uint32_t kind,
                                           CHostValue* value, std::uint32_t flags) {
  CColumn* column = table && item ? table->pFindColumn(item) : nullptr;
  if (!column) return nullptr;
  if (!(flags & (KEY_FLAG_RECORD_VALUES | KEY_FLAG_FROM_RECORD)) && value &&
      bIsTriviallyTrue(kind, m_pConnection, value)) {
    return nullptr;  // the condition would select every record
  }
  // The working lists are the only allocations that can throw, and they are all made before the first node.
  try {
    if (flags & KEY_FLAG_FROM_RECORD) {
      if (item->bIsUnique() && !column->bIsCompositeKey() && column->bHasValue()) {
        return pBuildSingle(table, column, kind, value, flags);
      }
      CColumn* position = pGetPositionKeyColumn(table);
      if (kind == COND_EQ && position && !position->bIsCompositeKey()) {
        return pBuildSingle(table, position, kind, value, flags);
      }
      return pBuildMulti(table, column, kind, value, flags);
    }
    if (column->bIsCompositeKey()) return pBuildMulti(table, column, kind, value, flags);
    return pBuildSingle(table, column, kind, value, flags);
  } catch (const std::bad_alloc&) {
    SetHolderOutOfMemory(m_pHolder);
    NoteBuildFailure();
    return nullptr;
  }
}

CConditionNode* CKeyCondition::pBuildSingle(CTableDescription* table, CColumn* column, std::uint32_t kind,
                                            CHostValue* value, std::uint32_t flags) {
  KeyColumns columns{column};
  CKeyValueList values;
  values.push_back(std::make_unique<CHostValue>());
  CHostValue& own = *values[0];
  if (flags & (KEY_FLAG_RECORD_VALUES | KEY_FLAG_FROM_RECORD)) {
    column->bGetValue(own, 0);
  } else if (value) {
    own.Assign(*value);
  }
  if (!(flags & KEY_FLAG_LIMITS)) {
    // A text that ends with a zero unit is whole: it is not the beginning of longer texts.
    const SLastUnit last = LastUnitOf(own);
    if (last.width != 0 && last.unit == 0) flags &= ~KEY_FLAG_PREFIX;
    return pBuildComparisons(table, columns, values, nullptr, 0, 0, kind, flags, COND_AND);
  }
  bool use = false;
  bool isMin = false;
  bool isMax = false;
  // The classification cuts a maximum-filled text; a bound that stays is the value as given.
  CHostValue given;
  given.Assign(own);
  if (!ClassifySearchValue(column, own, use, isMin, isMax)) {
    // Without the cut text that memory refused, the search would be bounded elsewhere than asked.
    NoteBuildFailure();
    return nullptr;
  }
  const std::uint16_t hostType = column->nGetHostType();
  if (!use && kind != COND_EQ) {
    // Only a bound that admits every value stands for no bound: from the lowest value, up to the highest (for a
    // text, below its maximum filler too, as a filled prefix reads). "> 0", "<= 0", "< the highest" and ">= the
    // highest" still bound the read: a type's limit is a value of its own.
    const bool text = bIsTextLikeHostType(hostType);
    if ((isMin && kind == COND_GE) || (isMax && (kind == COND_LE || (text && kind == COND_LT)))) return nullptr;
    own.Assign(given);
    return pBuildComparisons(table, columns, values, nullptr, 0, 0, kind, flags, COND_AND);
  }
  if (kind != COND_EQ && (isMin || isMax)) {
    if (isMax && kind == COND_LE &&
        (hostType == HOST_TYPE_ADATE || hostType == HOST_TYPE_ATIME || hostType == HOST_TYPE_DATETIME)) {
      // Up to the highest value starting with the text: below the first value that no longer starts with it.
      bGetPrefixHighBound(column->nGetType(), own, own);
      kind = COND_LT;
    } else if (isMax && kind == COND_LT && bIsTextLikeHostType(hostType) && hostType != HOST_TYPE_WDATE &&
               hostType != HOST_TYPE_WTIME) {
      kind = COND_LE;
      flags |= KEY_FLAG_PREFIX;
    } else {
      flags |= KEY_FLAG_PREFIX;
    }
  }
  return pBuildLastTerm(table, columns, values, nullptr, 0, kind, flags);
}

bool CKeyCondition::ClassifySearchValue(CColumn* column, CHostValue& value, bool& use, bool& isMin, bool& isMax) {
  return ::ClassifySearchValue(column->nGetHostType(), value, use, isMin, isMax);
}

CConditionNode* CKeyCondition::pBuildMulti(CTableDescription* table, CColumn* column, std::uint32_t kind,
                                           CHostValue* value, std::uint32_t flags) {
  KeyColumns columns;
  CKeyValueList values;
  CColumn* composite = nullptr;
  bool isMin = false;
  bool isMax = false;
  const bool positionMode = (flags & KEY_FLAG_FROM_RECORD) &&
                            !(column->bIsCompositeKey() && column->bIsUniqueKey() && column->bHasValue());
  if (positionMode) {
    CColumn* position = pGetPositionKeyColumn(table);
    if (kind == COND_EQ && position) {
      if (position->bIsCompositeKey()) {
        for (std::uint32_t i = 0; i < position->nGetComponentColumnCount(); ++i) {
          columns.push_back(position->pGetComponentColumn(i));
        }
      } else {
        columns.push_back(position);
      }
      AddRecordValues(columns, values);
      return pBuildEquality(table, columns, values, flags);
    }
    CollectRecordKeys(table, column, columns);
    for (std::size_t i = 0; i < columns.size(); ++i) {
      values.push_back(std::make_unique<CHostValue>());
      columns[i]->bGetValue(*values.back(), 0);
      // A unique key with a value identifies the record: the keys after it add nothing.
      if (columns[i]->bIsUniqueKey() && columns[i]->bHasValue()) {
        columns.resize(i + 1);
        break;
      }
    }
  } else {
    composite = column;
    for (std::uint32_t i = 0; i < column->nGetComponentColumnCount(); ++i) {
      columns.push_back(column->pGetComponentColumn(i));
    }
    if (flags & KEY_FLAG_RECORD_VALUES) {
      AddRecordValues(columns, values);
    } else {
      SplitKeyValue(columns, value, values, isMin, isMax, (flags & KEY_FLAG_LIMITS) != 0);
    }
  }
  switch (kind) {
    case COND_EQ:
      return pBuildEquality(table, columns, values, flags);
    case COND_GT:
    case COND_LT:
    case COND_GE:
    case COND_LE:
      if (positionMode) return pBuildOrderedFromRecord(table, columns, values, kind);
      return pBuildOrderedFromKey(table, columns, values, composite, kind, isMin, isMax, flags);
    default:
      return nullptr;
  }
}

void CKeyCondition::CollectRecordKeys(CTableDescription* table, CColumn* column, KeyColumns& out) {
  CColumn* position = pGetPositionKeyColumn(table);
  bool met = false;
  for (std::uint32_t i = 0; i < table->nGetKeyCount(); ++i) {
    CColumn* key = table->pGetKey(i);
    if (!key) continue;
    if (key == column) {
      out.insert(out.begin(), key);
      met = true;
    } else {
      out.push_back(key);
    }
    if (key == position) break;
  }
  if (column->bIsCompositeKey()) {
    for (std::uint32_t c = column->nGetComponentColumnCount(); c-- > 0;) {
      CColumn* component = column->pGetComponentColumn(c);
      out.erase(std::remove_if(out.begin(), out.end(),
                               [&](CColumn* key) {
                                 return nHostCompareNoCase(key->pszGetName(), component->pszGetName()) == 0;
                               }),
                out.end());
      out.insert(out.begin(), component);
    }
  } else if (!met) {
    out.insert(out.begin(), column);
  }
}

void CKeyCondition::AddRecordValues(const KeyColumns& columns, CKeyValueList& values) {
  for (CColumn* column : columns) {
    values.push_back(std::make_unique<CHostValue>());
    column->bGetValue(*values.back(), 0);
  }
}

void CKeyCondition::SplitKeyValue(const KeyColumns& columns, CHostValue* value, CKeyValueList& values, bool& isMin,
                                  bool& isMax, bool limits) {
  isMin = false;
  isMax = false;
  if (!value) return;
  std::vector<SKeyComponent> components;
  components.reserve(columns.size());
  for (CColumn* column : columns) {
    components.push_back(SKeyComponent{column->nGetHostType(), column->nGetDataLength(),
                                       column->nGetType() == 23, column->nGetPrecision(), column->nGetScale()});
  }
  // A component whose value cannot be made would leave a shorter key, a wider search than the one asked: the
  // search fails instead.
  if (!bSplitKeyValue(components.data(), components.size(), *value, values, isMin, isMax, limits)) NoteBuildFailure();
}

// ---- equality ----

CConditionNode* CKeyCondition::pBuildEquality(CTableDescription* table, const KeyColumns& columns,
                                              CKeyValueList& values, std::uint32_t flags) {
  const bool prefixSearch = (m_nFlags & KEY_FLAG_PREFIX) != 0;
  std::uint32_t count = static_cast<std::uint32_t>(
      (flags & KEY_FLAG_LIMITS) || prefixSearch ? values.size() : columns.size());
  count = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(columns.size()));
  const std::uint32_t whole = flags & ~KEY_FLAG_PREFIX;
  // A unique component with a value stands for the whole key only when the values are a record's own: a value
  // searched for may hold that component with other later ones than the one record that has it, which the
  // component alone would find all the same, before the value.
  if (!(flags & KEY_FLAG_FROM_RECORD) && (flags & KEY_FLAG_RECORD_VALUES)) {
    for (std::uint32_t i = 0; i < count; ++i) {
      CColumn* column = columns[i];
      if (prefixSearch && i + 1 == count) break;  // the last part of a prefix search identifies nothing
      const bool valued = i < values.size() && !values[i]->bIsNull() && !column->bIsBlankValue(*values[i]);
      if (column->bIsIdentifyingKey() || (column->bIsUniqueKeyAny() && valued)) {
        return pBuildComparisons(table, columns, values, nullptr, i, i, COND_EQ, whole, COND_AND);
      }
    }
  }
  CConditionNode* result = nullptr;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t own = i + 1 == count ? whole | (m_nFlags & KEY_FLAG_PREFIX) : whole;
    CConditionNode* term = pBuildComparisons(table, columns, values, nullptr, i, i, COND_EQ, own, COND_AND);
    result = i == 0 ? term : pJoin(result, COND_AND, term);
    if (!result) return nullptr;
  }
  return result;
}

// ---- ordered comparisons ----

CConditionNode* CKeyCondition::pBuildOrderedFromKey(CTableDescription* table, const KeyColumns& columns,
                                                    CKeyValueList& values, CColumn* composite, std::uint32_t kind,
                                                    bool isMin, bool isMax, std::uint32_t flags) {
  // An exact search compares every component, those its value does not reach as the first stage compares them (as
  // empty values): the continuations then begin where the first stage ends, and no record of the reached part lies
  // between them. Bounds and prefixes compare only what they hold.
  std::uint32_t count = static_cast<std::uint32_t>(
      (flags & KEY_FLAG_LIMITS) || (m_nFlags & KEY_FLAG_PREFIX) ? values.size() : columns.size());
  // Up to the maximum of the last part (or from its minimum) means no bound on that part.
  if ((flags & KEY_FLAG_LIMITS) && count >= 1 && ((kind == COND_LE && isMax) || (kind == COND_GE && isMin))) {
    --count;
  }
  return pBuildOrdered(table, columns, values, composite, count, kind, flags);
}

CConditionNode* CKeyCondition::pBuildOrderedFromRecord(CTableDescription* table, const KeyColumns& columns,
                                                       CKeyValueList& values, std::uint32_t kind) {
  const std::uint32_t count =
      static_cast<std::uint32_t>((m_nFlags & KEY_FLAG_PREFIX) ? values.size() : columns.size());
  return pBuildOrdered(table, columns, values, nullptr, count, kind, m_nFlags);
}

CConditionNode* CKeyCondition::pBuildOrdered(CTableDescription* table, const KeyColumns& columns,
                                             CKeyValueList& values, CColumn* composite, std::uint32_t count,
                                             std::uint32_t kind, std::uint32_t flags) {
  count = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(columns.size()));
  if (count == 0) return nullptr;
  // The null list only matters where the table has unique composite keys; bFindCompositeKey finds none otherwise,
  // so it is kept for every expansion.
  SExpansionNulls nulls;
  nulls.flags.resize(count, 0);
  return pExpand(0, table, columns, values, composite, count, kind, flags, &nulls);
}

CConditionNode* CKeyCondition::pExpand(std::uint32_t index, CTableDescription* table, const KeyColumns& columns,
                                       CKeyValueList& values, CColumn* composite, std::uint32_t count,
                                       std::uint32_t kind, std::uint32_t flags, SExpansionNulls* nulls) {
  const std::uint32_t whole = flags & ~KEY_FLAG_PREFIX;
  CColumn* column = columns[index];
  if (index + 1 < count) {
    const std::uint32_t strict = kind == COND_LE ? COND_LT : kind == COND_GE ? COND_GT : kind;
    CConditionNode* beyond = pBuildComparisons(table, columns, values, composite, index, index, strict, whole, COND_AND);
    if (!beyond) return nullptr;
    if (nulls) {
      nulls->list.bCombineItem(FLAG_COMBINE_AND, column, beyond->nGetNullFlag(column));
      for (std::uint32_t i = 0; i <= index; ++i) nulls->flags[i] = nulls->list.nGetFlag(columns[i]);
      // Equality on a unique prefix holds for one record only: nothing lies beyond it on the later columns. That
      // record is the one the values were read from; a value searched for may lie before or after it on the later
      // columns, and the record is then still to be read.
      // A record NULL in a component of a key that allows NULL may share its values with others (rows NULL in
      // every component do): the key identifies it only with every component valued.
      bool valued = true;
      for (std::uint32_t i = 0; i <= index && valued; ++i) {
        valued = i < values.size() && !values[i]->bIsNull() && !columns[i]->bIsBlankValue(*values[i]);
      }
      if ((kind == COND_GT || kind == COND_LT) && (flags & KEY_FLAG_RECORD_VALUES) && valued &&
          table->bFindCompositeKey(columns.data(), index + 1, nulls->flags.data())) {
        return beyond;
      }
    }
    CConditionNode* same = pBuildComparisons(table, columns, values, composite, index, index, COND_EQ, whole, COND_AND);
    if (!same) {
      DropUnheld(beyond);
      return nullptr;
    }
    if (nulls) nulls->list.bCombineItem(1, column, same->nGetNullFlag(column));
    CConditionNode* rest = pExpand(index + 1, table, columns, values, composite, count, kind, flags, nulls);
    if (!rest) {
      DropUnheld(beyond);
      DropUnheld(same);
      return nullptr;
    }
    return pJoin(beyond, COND_OR, pJoin(same, COND_AND, rest));
  }
  if (!(flags & KEY_FLAG_PREFIX) && kind == COND_LE && index < values.size()) {
    // Up to a text ending with the highest character: everything that starts with the text before it.
    const SLastUnit last = LastUnitOf(*values[index]);
    if (last.width != 0 && last.unit == (last.width == 1 ? 0xFFu : 0xFFFFu)) {
      CHostValue* shorter = new (std::nothrow) CHostValue();
      if (!shorter) {
        SetHolderOutOfMemory(m_pHolder);
        NoteBuildFailure();
        return nullptr;
      }
      shorter->SetType(last.width == 1 ? HOST_TYPE_TEXT_BUFFER : HOST_TYPE_WSTRING);
      if (!bHostStored(static_cast<std::uint32_t>(shorter->SetFromBuffer(last.data, last.size - last.width)))) {
        delete shorter;
        SetHolderOutOfMemory(m_pHolder);
        NoteBuildFailure();
        return nullptr;
      }
      values[index].reset(shorter);
      flags |= KEY_FLAG_PREFIX;
    }
  }
  return pBuildLastTerm(table, columns, values, composite, index, kind, flags);
}

CConditionNode* CKeyCondition::pBuildLastTerm(CTableDescription* table, const KeyColumns& columns,
                                              CKeyValueList& values, CColumn* composite, std::uint32_t index,
                                              std::uint32_t kind, std::uint32_t flags) {
  const std::uint16_t hostType = columns[index]->nGetHostType();
  const bool prefix = (flags & KEY_FLAG_PREFIX) && (bIsTextLikeHostType(hostType) || hostType == HOST_TYPE_DATETIME);
  const std::uint32_t whole = flags & ~KEY_FLAG_PREFIX;
  // A descending column turns its comparison round (pBuildComparisons): the prefix is placed by the operator the
  // column is compared with, and the kinds below are given so that they come out as written.
  const bool descending =
      composite ? bIsDescendingComponent(composite, index) : bIsDescendingInTable(table, columns[index]) != 0;
  const std::uint32_t compared = descending ? nReverseComparison(kind) : kind;
  auto as = [&](std::uint32_t written) { return descending ? nReverseComparison(written) : written; };
  if (prefix && compared == COND_LE) {
    // Below the prefix, or starting with it.
    return pJoin(pBuildComparisons(table, columns, values, composite, index, index, as(COND_LT), whole, COND_AND),
                 COND_OR, pBuildComparisons(table, columns, values, composite, index, index, COND_EQ, flags, COND_AND));
  }
  if (prefix && compared == COND_GT) {
    // Above the prefix and not starting with it.
    return pJoin(pBuildComparisons(table, columns, values, composite, index, index, as(COND_GT), whole, COND_AND),
                 COND_AND, pBuildComparisons(table, columns, values, composite, index, index, COND_NE, flags, COND_AND));
  }
  return pBuildComparisons(table, columns, values, composite, index, index, kind, flags, COND_AND);
}

CConditionNode* CKeyCondition::pBuildComparisons(CTableDescription* table, const KeyColumns& columns,
                                                 CKeyValueList& values, CColumn* composite, std::uint32_t from,
                                                 std::uint32_t to, std::uint32_t kind, std::uint32_t flags,
                                                 std::uint32_t connector) {
  CColumn* column = columns[from];
  std::uint32_t own = kind;
  const bool descending =
      composite ? bIsDescendingComponent(composite, from) : bIsDescendingInTable(table, column) != 0;
  if (descending) own = nReverseComparison(own);

  CHostValue missing;
  CHostValue* value = from < values.size() ? values[from].get() : &missing;
  const std::uint16_t hostType = column->nGetHostType();
  if (value == &missing) {
    missing.SetType(hostType);
    // A date or date-time part the key value does not reach compares with NULL: equal to it is IS NULL, and an
    // ordered comparison is placed by where NULL sorts (the NULL comparison's text), never as an equality that would
    // take the first stage's records in again.
    if (hostType == HOST_TYPE_ADATE || hostType == HOST_TYPE_DATETIME) {
      missing.SetNull(true);
      if (own == COND_EQ) own = COND_IS_NULL;
    }
  }
  CConditionNode* node = pNewNode();
  if (!node) {
    NoteBuildFailure();
    return nullptr;
  }
  // A partial date or time text keeps its partial text: bound to the column it would be completed.
  const bool partial = (flags & KEY_FLAG_PREFIX) &&
                       (hostType == HOST_TYPE_ADATE || hostType == HOST_TYPE_ATIME || hostType == HOST_TYPE_DATETIME) &&
                       bIsPartialText(value->nGetType());
  CFieldValue* field =
      pCreateBoundItemThroughDriver(m_pHolder, table->pGetOwner(), partial ? nullptr : column, *value);
  if (!field) {
    node->nRelease();
    NoteBuildFailure();
    return nullptr;
  }
  node->InitComparison(own, column, field, flags | (bIsCompositeSearch() ? KEY_FLAG_COMPOSITE_PART : 0));
  if (from >= to) return node;
  return pJoin(node, connector,
               pBuildComparisons(table, columns, values, composite, from + 1, to, kind, flags, connector));
}
