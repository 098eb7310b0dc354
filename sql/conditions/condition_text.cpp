// The text one comparison node writes into the statement rewriter: the column reference, the operator, the value as
// a parameter (a leaf the key condition keeps), the alternative that lets NULL rows through where the key order puts
// them, LIKE patterns for prefixes, and the two-bound range that stands for a partial date or time.
#include <new>
#include <string>

#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/query_description.h"
#include "engine/values/field_value.h"
#include "foundation/date_time.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "foundation/reference_guard.h"
#include "foundation/x_error.h"
#include "host/host_value.h"
#include "host/value_item.h"
#include "sql/conditions/condition_node.h"
#include "sql/conditions/key_condition.h"
#include "sql/connection.h"
#include "sql/driver_services.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"

namespace {

// DBMS kinds the writers treat apart.
constexpr std::uint32_t DBMS_KIND_ALWAYS_LIKE = 11;
constexpr std::uint32_t DBMS_KIND_SEQUENCE_A = 8;

// Digits of a complete date and a complete date-time text.
constexpr std::size_t kCompleteDate = 8;
constexpr std::size_t kCompleteDateTime = 17;

bool bIsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

bool bIsNullValue(CFieldValue* value) {
  return !value || value->nGetState() == FIELD_STATE_NULL || value->Value().bIsNull();
}

// The value's text as UTF-16 (host type 110); false when it has none or the conversion fails.
bool bReadWideText(CFieldValue* value, std::u16string& out) {
  out.clear();
  CHostValue text;
  if (!value || !value->bGetValue(&text) || text.nGetType() == HOST_TYPE_EMPTY || text.bIsNull()) return false;
  const char16_t* units = nullptr;
  if (bHostFailed(static_cast<std::uint32_t>(text.nConvert(HOST_TYPE_TEXT))) || text.nGetType() != HOST_TYPE_TEXT ||
      bHostFailed(static_cast<std::uint32_t>(text.nGetWideText(&units)))) {
    return false;
  }
  if (units) out = units;
  return true;
}

// A text of the runtime's text types that the date writers read as digits (dates and times excluded).
bool bIsDigitTextType(std::uint8_t type) {
  return (type >= HOST_TYPE_WSTRING && type <= 23) || type == HOST_TYPE_WCHAR || type == HOST_TYPE_TEXT || type == 134;
}

// The rule some servers apply to empty dates: no value, or the zero date, is NULL.
bool bIsZeroDateText(CFieldValue* value) {
  CHostValue text;
  if (!value->bGetValue(&text) || !bIsDigitTextType(text.nGetType())) return false;
  std::u16string digits;
  if (!bReadWideText(value, digits)) return true;
  return digits.compare(0, 8, u"00000000") == 0;
}

int RaiseElementMissing(CErrorHolder* holder) {
  RaiseModuleError(holder, 0, ERROR_UNIT_CONDITIONS, CONDITION_POINT_ELEMENT, nullptr, nullptr,
                   CONDITION_ERROR_OUT_OF_MEMORY);
  return 0;
}

// The leaf of a value at the statement text's end: kept by the key condition and placed in the rewriter's list.
CValueLeaf* pPlaceLeaf(CSqlRewriter* rewriter, CKeyCondition* key, CColumn* column, CFieldValue* value,
                       std::uint32_t flags) {
  CValueLeaf* leaf = key->pAddLeaf(column, value, rewriter->GetStatementText().nGetLength(), flags);
  if (!leaf || !rewriter->Lists().bAddExistingParameter(leaf)) return nullptr;
  return leaf;
}

}  // namespace

// ---- the bounds of a partial date or time ----

namespace {

// The partial text of a value, as UTF-16; false for none or an empty one.
bool bReadPrefix(CHostValue& text, std::u16string& out) {
  CHostValue copy;
  copy.Assign(text);
  const char16_t* units = nullptr;
  if (copy.bIsNull() || bHostFailed(static_cast<std::uint32_t>(copy.nConvert(HOST_TYPE_TEXT))) ||
      bHostFailed(static_cast<std::uint32_t>(copy.nGetWideText(&units))) || !units || !units[0]) {
    return false;
  }
  out = units;
  return true;
}

int bStoreBound(std::uint32_t columnType, const CDateTime& bound, CHostValue& out) {
  if (columnType == COLUMN_TYPE_TIME || columnType == COLUMN_TYPE_DATE) {
    const std::u16string digits = columnType == COLUMN_TYPE_TIME ? bound.FormatTime() : bound.FormatDate();
    if (digits.empty()) return 0;
    out.SetType(columnType == COLUMN_TYPE_TIME ? HOST_TYPE_WTIME : HOST_TYPE_WDATE);
    return !bHostFailed(static_cast<std::uint32_t>(out.Set(digits.c_str())));
  }
  CHostDateTime packed{};
  bound.ToHostDateTime(packed);
  out.SetType(HOST_TYPE_DATETIME);
  return !bHostFailed(static_cast<std::uint32_t>(out.Set(&packed)));
}

}  // namespace

int bGetPrefixLowBound(std::uint32_t columnType, CHostValue& text, CHostValue& out) {
  std::u16string prefix;
  if (!bReadPrefix(text, prefix)) return 0;
  CDateTime low;
  if (columnType == COLUMN_TYPE_TIME) {
    low.bParseTime(prefix.c_str(), -1);
  } else {
    low.bParseDateTime(prefix.c_str());
  }
  return bStoreBound(columnType, low, out);
}

int bGetPrefixHighBound(std::uint32_t columnType, CHostValue& text, CHostValue& out) {
  std::u16string prefix;
  if (!bReadPrefix(text, prefix)) return 0;
  CDateTime high;
  const int above = columnType == COLUMN_TYPE_TIME ? high.bSetAboveTimePrefix(prefix.c_str())
                                                   : high.bSetAboveDateTimePrefix(prefix.c_str());
  return above && bStoreBound(columnType, high, out);
}

int bGetPrefixRange(std::uint32_t columnType, CHostValue& text, CHostValue& low, CHostValue& high) {
  // The high bound first: the low one may be written into the text itself.
  return bGetPrefixHighBound(columnType, text, high) && bGetPrefixLowBound(columnType, text, low);
}

// ---- the comparison writer ----

int CConditionNode::bBuildColumnReference(CSqlRewriter* rewriter, std::int32_t rewriterCode, CTString& out) {
  SComparedColumn compared;
  compared.pColumn = m_pColumn;
  compared.nType = m_pColumn->nGetType();
  // The column's qualifier is the alias already quoted and ending with its period (as it starts the column's SQL
  // name); the operand writer adds the period itself, and a quoted name stays as it is when quoted again.
  const char16_t* qualifier = m_pColumn->pszGetQualifierText();
  std::size_t qualifierLength = qualifier ? std::char_traits<char16_t>::length(qualifier) : 0;
  if (qualifierLength > 0 && qualifier[qualifierLength - 1] == u'.') --qualifierLength;
  const CTString table(qualifier ? qualifier : u"", qualifierLength);
  if (table.nGetLength() != qualifierLength) return rewriter->bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  compared.pszTable = qualifierLength > 0 ? table.pszGet() : nullptr;
  compared.pszColumn = m_pColumn->pszGetCaption();
  compared.bExactCase = m_pColumn->bHasServerCaption();
  // A column numbered from a sequence is named as the query names it: the query's item, with its table.
  if (m_pQuery && m_pColumn->nGetAutoIdMode() != 0) {
    if (IHostItemDescription* item = m_pQuery->pFindItemFile(m_pColumn->pGetDescriptorNoRef())) {
      compared.pItem = item;
      compared.pszTable = item->pszGetFileName();
      compared.pszColumn = item->pszGetName();
      compared.bExactCase = false;
    }
  }
  if (!rewriter->bWriteOperand(compared, SQL_CONTEXT_WHERE, static_cast<std::uint32_t>(rewriterCode), nullptr, out)) {
    return 0;
  }
  // A column always has a name: an empty reference is a text the operand writer could not make.
  return out.bIsEmpty() ? rewriter->bRaiseOutOfMemory(REWRITER_POINT_GROWTH) : 1;
}

int CConditionNode::bWriteSql(CSqlRewriter* rewriter, CKeyCondition* key, int* folded) {
  *folded = 0;
  if (m_nKind == COND_TRUE || m_nKind == COND_FALSE) return rewriter->nAppendText(pszGetKindText(m_nKind));
  // Only a comparison has a text of its own: a comparison node always has its column and its key condition.
  if (!m_pColumn || !key) return 0;
  CTString column;
  if (!bBuildColumnReference(rewriter, nMapComparisonKind(m_nKind), column)) return 0;

  CConnection* connection = m_pColumn->pGetConnection();
  if (key->bEmptyTextIsNull() && !bIsNullValue(m_pValue) && bHostValueIsEmpty(m_pValue)) m_pValue->SetNull();
  const std::uint32_t type = m_pColumn->nGetType();
  if ((type == COLUMN_TYPE_HOST_DATE || type == COLUMN_TYPE_DATE) && !bIsNullValue(m_pValue) && connection &&
      connection->bIsDbmsKind2() && bIsZeroDateText(m_pValue)) {
    m_pValue->SetNull();
  }
  if (bIsNullValue(m_pValue) || m_nKind == COND_IS_NULL || m_nKind == COND_IS_NOT_NULL) {
    return bWriteNullComparison(column, rewriter, folded);
  }

  int alternative = 0;
  if (!m_pColumn->bIsIdentifyingKey()) {
    const bool empty = bHostValueIsEmptyOrZero(m_pValue) != 0;
    const bool nullsFirst = connection && connection->bNullsSortFirst();
    if ((m_nFlags & KEY_FLAG_LOW_BOUND) != 0) {
      alternative = (m_nKind == COND_EQ || m_nKind == COND_GE) && empty;
    } else if ((m_nFlags & KEY_FLAG_HIGH_BOUND) == 0) {
      if (nullsFirst) {
        alternative = m_nKind == COND_LE || (m_nKind == COND_LT && !empty);
      } else {
        alternative = m_nKind == COND_GT || m_nKind == COND_GE;
      }
      const std::uint32_t dbms = connection ? connection->nGetDbmsKind() : 0;
      if ((dbms == DBMS_KIND_SEQUENCE_A || dbms == DBMS_KIND_ALWAYS_LIKE) && m_pColumn->nGetAutoIdMode() != 0) {
        alternative = 0;
      }
    }
    // NULL starts with no text: "does not start with" lets NULL rows through, as the node's null flag says, and the
    // order comparison it stands beside decides whether they belong.
    if (m_nKind == COND_NE && bIsPrefixSearch() && bIsTextColumnType(type)) alternative = 1;
  }
  if (bIsTextColumnType(type) || type == COLUMN_TYPE_CHAR) {
    return bWriteTextComparison(column, rewriter, key, alternative, folded);
  }
  if (type == COLUMN_TYPE_TIME || type == COLUMN_TYPE_DATE || type == COLUMN_TYPE_DATETIME) {
    return bWriteDateTimeComparison(column, rewriter, key, alternative);
  }
  return bWriteComparison(column, rewriter, key, 0, alternative);
}

int CConditionNode::bWriteNullComparison(const CTString& column, CSqlRewriter* rewriter, int* folded) {
  CConnection* connection = m_pColumn->pGetConnection();
  const bool nullsFirst = connection && connection->bNullsSortFirst();
  bool notNull = false;
  switch (m_nKind) {
    case COND_GE:
    case COND_LE:
      m_nKind = COND_TRUE;
      *folded = 1;
      return 1;
    case COND_GT:
    case COND_LT:
      // Beyond NULL lie the values where NULL sorts first; before it where it sorts last; on the other side nothing.
      if (nullsFirst != (m_nKind == COND_GT)) {
        m_nKind = COND_FALSE;
        *folded = 1;
        return 1;
      }
      notNull = true;
      break;
    // Unequal to NULL is taken as "holds a value": anything else would select nothing or everything.
    case COND_NE:
    case COND_IS_NOT_NULL:
      notNull = true;
      break;
    default:
      break;
  }
  if (!rewriter->nAppendText(column.pszGet()) || !rewriter->nAppendText(notNull ? u" IS NOT NULL" : u" IS NULL")) {
    return 0;
  }
  SetNullFlag(notNull ? 0 : 1);
  return 1;
}

int CConditionNode::bWriteTextComparison(const CTString& column, CSqlRewriter* rewriter, CKeyCondition* key,
                                         int alternative, int* folded) {
  const std::uint32_t type = m_pColumn->nGetType();
  const bool wide = bIsUnicodeColumnType(type);
  bool empty = true;
  bool halfCharacter = false;
  std::u16string wideText;
  CHostValue text;
  if (m_pValue && !m_pValue->bIsUnset() && m_pValue->bGetValue(&text)) {
    const std::uint8_t target = wide ? HOST_TYPE_TEXT : HOST_TYPE_ASTRING;
    if (!bHostFailed(static_cast<std::uint32_t>(text.nConvert(target))) && text.nGetType() == target) {
      if (wide) {
        const char16_t* units = nullptr;
        empty = bHostFailed(static_cast<std::uint32_t>(text.nGetWideText(&units))) || !units || !units[0];
        if (!empty) wideText = units;
        halfCharacter = !empty && bIsHighSurrogate(wideText.back());
      } else {
        const char* bytes = nullptr;
        empty = bHostFailed(static_cast<std::uint32_t>(text.nGetNarrowText(&bytes))) || !bytes || !bytes[0];
      }
    }
  }
  if (empty && key->bEmptyTextIsNull()) return bWriteNullComparison(column, rewriter, folded);
  if (empty && !wide) {
    const bool anything = m_nKind == COND_EQ && bIsPrefixSearch();
    if ((alternative && !rewriter->nAppendText(u"(")) || !rewriter->nAppendText(column.pszGet()) ||
        !rewriter->nAppendText(anything ? u" LIKE '%%'" : pszGetKindText(m_nKind)) ||
        (!anything && !rewriter->nAppendText(u"''"))) {
      return 0;
    }
    return bEndComparison(rewriter, alternative);
  }
  const bool order = m_nKind == COND_GT || m_nKind == COND_LT || m_nKind == COND_GE || m_nKind == COND_LE;
  if (halfCharacter && (order || ((m_nKind == COND_EQ || m_nKind == COND_NE) && bIsPrefixSearch()))) {
    return bWriteHalfCharacterComparison(column, rewriter, key, alternative, wideText);
  }
  // Only equality and inequality have a LIKE form: a continuation's ">" past a prefix stays an order comparison.
  const bool likeKind = m_nKind == COND_EQ || m_nKind == COND_NE;
  CConnection* connection = m_pColumn->pGetConnection();
  const bool alwaysLike = connection && connection->nGetDbmsKind() == DBMS_KIND_ALWAYS_LIKE;
  const int prefix = likeKind && (alwaysLike || bIsPrefixSearch()) ? 1 : 0;
  return bWriteComparison(column, rewriter, key, prefix, alternative);
}

int CConditionNode::bWriteComparison(const CTString& column, CSqlRewriter* rewriter, CKeyCondition* key, int prefix,
                                     int alternative) {
  CErrorHolder* holder = key->pGetErrorHolder();
  if ((alternative && !rewriter->nAppendText(u"(")) || !rewriter->nAppendText(column.pszGet())) return 0;
  const std::uint32_t type = m_pColumn->nGetType();
  const std::uint32_t mode = rewriter->nGetDateTimeOperandMode(
      SQL_CONTEXT_WHERE, type, static_cast<std::uint32_t>(nMapComparisonKind(m_nKind)), nullptr);

  CFieldValue* value = pCreateFieldValueThroughDriver(holder, m_pColumn->pGetConnection());
  if (!value) return RaiseElementMissing(holder);
  value->AddRef();
  CReferenceGuard<CFieldValue> guard(value);
  if (!value->bCopyFrom(m_pValue)) return 0;
  if (mode != 0) {
    value->SetTypeFromNative(mode, m_nFlags & KEY_FLAG_PREFIX);
  } else if (!value->pGetPrimary()) {
    // Given the column's descriptors, the value takes the column's type: it is read back into it.
    CHostValue own;
    value->bGetValue(&own);
    value->SetDescriptors(m_pColumn->pGetDescriptorNoRef(), m_pColumn->pGetSecondaryDescriptor());
    if (!value->bSetValue(own)) return 0;
  }

  int escaped = 0;
  if (prefix ? !bWriteLikeOperand(value, rewriter, &escaped) : !rewriter->nAppendText(pszGetKindText(m_nKind))) {
    return 0;
  }
  CValueLeaf* leaf = pPlaceLeaf(rewriter, key, mode != 0 ? nullptr : m_pColumn, value,
                                mode != 0 ? LEAF_FLAG_PATTERN_VALUE : 0);
  if (!leaf) return 0;
  // The escaped prefix means "\" escapes, and some servers' LIKE has no default escape character: the dialect's
  // ESCAPE clause follows every escaped pattern, once, for the type the value is bound as.
  if (escaped) rewriter->WriteDialectEscape(leaf, mode != 0 ? mode : type);
  return bEndComparison(rewriter, alternative);
}

namespace {

// The node's kind and value for the time of one write, then its own again whatever happens.
struct SStandIn {
  std::uint32_t& kind;
  CFieldValue*& value;
  std::uint32_t ownKind;
  CFieldValue* ownValue;
  SStandIn(std::uint32_t& k, CFieldValue*& v, std::uint32_t newKind, CFieldValue* newValue)
      : kind(k), value(v), ownKind(k), ownValue(v) {
    kind = newKind;
    value = newValue;
  }
  ~SStandIn() {
    kind = ownKind;
    value = ownValue;
  }
  SStandIn(const SStandIn&) = delete;
  SStandIn& operator=(const SStandIn&) = delete;
};

}  // namespace

int CConditionNode::bWriteHalfCharacterComparison(const CTString& column, CSqlRewriter* rewriter, CKeyCondition* key,
                                                  int alternative, const std::u16string& text) {
  // No character is half a surrogate pair: sent as it is, the value reaches the server as another character. It
  // stands for the characters that start with that unit, U+xx400 to U+xx7FF: every text that starts with the value
  // lies from the value followed by the lowest second half up to (not including) the next first half's texts.
  CErrorHolder* holder = key->pGetErrorHolder();
  CConnection* connection = m_pColumn->pGetConnection();
  const char16_t first = text.back();
  const std::u16string whole = text.substr(0, text.size() - 1);
  const std::u16string low = text + u'\xDC00';
  const std::u16string high = whole + static_cast<char16_t>(first + 1) + u'\xDC00';
  auto compare = [&](std::uint32_t kind, const std::u16string& bound, int prefix, int withAlternative) -> int {
    CHostValue boundText;
    boundText.SetType(HOST_TYPE_TEXT);
    if (bHostFailed(static_cast<std::uint32_t>(boundText.Set(bound.c_str())))) return RaiseElementMissing(holder);
    CFieldValue* field = pCreateBoundItemThroughDriver(holder, connection, m_pColumn, boundText);
    if (!field) return holder && holder->bHasError() ? 0 : RaiseElementMissing(holder);
    field->AddRef();
    CReferenceGuard<CFieldValue> guard(field);
    const SStandIn standIn(m_nKind, m_pValue, kind, field);
    return bWriteComparison(column, rewriter, key, prefix, withAlternative);
  };
  if (m_nKind != COND_EQ && m_nKind != COND_NE) {
    // Beyond the value is from its first text on; before it, below that text.
    return compare(m_nKind == COND_GT || m_nKind == COND_GE ? COND_GE : COND_LT, low, 0, alternative);
  }
  const bool negated = m_nKind == COND_NE;
  const int opened = (!negated || !alternative || rewriter->nAppendText(u"(")) &&
                     (!negated || rewriter->nAppendText(u"NOT ")) && rewriter->nAppendText(u"(");
  if (!opened || !compare(COND_GE, low, 0, 0)) return 0;
  if (first != 0xDBFF) {
    if (!rewriter->nAppendText(u" AND ") || !compare(COND_LT, high, 0, 0)) return 0;
  } else if (!whole.empty()) {
    // The last first half has no next one: the texts from the value on that still start with what precedes it.
    if (!rewriter->nAppendText(u" AND ") || !compare(COND_EQ, whole, 1, 0)) return 0;
  }
  return rewriter->nAppendText(u")") && bEndComparison(rewriter, negated && alternative);
}

int CConditionNode::bEndComparison(CSqlRewriter* rewriter, int alternative) {
  CTString nullColumn;
  if (alternative && (!bBuildColumnReference(rewriter, SQL_NODE_IS_NULL, nullColumn) ||
                      !rewriter->nAppendText(u" OR ") || !rewriter->nAppendText(nullColumn.pszGet()) ||
                      !rewriter->nAppendText(u" IS NULL)"))) {
    return 0;
  }
  SetNullFlag(alternative ? 1 : 0);
  return 1;
}

int CConditionNode::bWriteLikeOperand(CFieldValue* value, CSqlRewriter* rewriter, int* escaped) {
  *escaped = 0;
  if (!rewriter->nAppendText(m_nKind == COND_EQ ? u" LIKE " : u" NOT LIKE ")) return 0;
  if (!value || value->bIsUnset()) return 1;
  std::u16string text;
  bReadWideText(value, text);
  CTString pattern;
  if (!text.empty()) {
    if (!rewriter->bEscapeLikeText(pattern, text.c_str())) return 0;
    *escaped = 1;
  }
  if (bIsPrefixSearch()) {
    const std::size_t before = pattern.nGetLength();
    pattern.Append(u"%");
    if (pattern.nGetLength() != before + 1) return rewriter->bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  if (pattern.nGetLength() == 0) return 1;
  CHostValue assigned;
  assigned.SetType(HOST_TYPE_TEXT);
  if (bHostFailed(static_cast<std::uint32_t>(assigned.Set(pattern.pszGet())))) {
    return rewriter->bRaiseOutOfMemory(REWRITER_POINT_GROWTH);
  }
  return value->bSetValue(assigned);
}

int CConditionNode::bWriteDateTimeComparison(const CTString& column, CSqlRewriter* rewriter, CKeyCondition* key,
                                             int alternative) {
  if (!bIsPrefixSearch() || (m_nKind != COND_EQ && m_nKind != COND_NE)) {
    return bWriteComparison(column, rewriter, key, 0, alternative);
  }
  const std::uint32_t type = m_pColumn->nGetType();
  CConnection* connection = m_pColumn->pGetConnection();
  if (type == COLUMN_TYPE_TIME && !(connection && connection->bTimeOperandFlag())) {
    return bWriteComparison(column, rewriter, key, 1, alternative);
  }
  std::u16string text;
  bReadWideText(m_pValue, text);
  const std::size_t complete =
      type == COLUMN_TYPE_TIME ? m_pColumn->nGetDataLength() : type == COLUMN_TYPE_DATE ? kCompleteDate
                                                                                        : kCompleteDateTime;
  CHostValue low;
  CHostValue high;
  CHostValue value;
  m_pValue->bGetValue(&value);
  if (text.empty() || text.size() >= complete || !bGetPrefixRange(type, value, low, high)) {
    return bWriteComparison(column, rewriter, key, 0, alternative);
  }
  std::int32_t equal = 0;
  const bool single = !bHostFailed(static_cast<std::uint32_t>(low.nEquals(high, &equal))) && equal;

  // Each piece in turn, stopping at the first that fails: a later success must not hide an earlier failure.
  const char16_t* x = column.pszGet();
  auto bound = [&](const char16_t* before, const char16_t* op, CHostValue& limit) {
    if (!rewriter->nAppendText(before) || !rewriter->nAppendText(x) || !rewriter->nAppendText(op)) return 0;
    CErrorHolder* holder = key->pGetErrorHolder();
    CFieldValue* boundValue = pCreateBoundItemThroughDriver(holder, connection, m_pColumn, limit);
    if (!boundValue) return holder && holder->bHasError() ? 0 : RaiseElementMissing(holder);
    boundValue->AddRef();
    CReferenceGuard<CFieldValue> guard(boundValue);
    return pPlaceLeaf(rewriter, key, m_pColumn, boundValue, 0) ? 1 : 0;
  };
  int written = 0;
  if (single) {
    written = bound(u"", m_nKind == COND_EQ ? u"=" : u"<>", low);
  } else if (m_nKind == COND_EQ) {
    written = bound(u"", u">=", low) && bound(u" AND ", u"<", high);
  } else {
    written = bound(u"(", u"<", low) && bound(u" OR ", u">=", high) && rewriter->nAppendText(u")");
  }
  if (!written) return 0;
  SetNullFlag(0);
  return 1;
}
