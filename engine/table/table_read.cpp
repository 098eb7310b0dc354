// Reading through record contexts: the restart decision, context reuse, the shared row source refilled or built
// again, the continuation into the next key stage, and seeking on a key value.
#include <cstdint>

#include "engine/cache/keyed_row_view.h"
#include "engine/cache/row_cache.h"
#include "engine/cache/saved_position.h"
#include "engine/cache/shared_row_source.h"
#include "engine/record/column.h"
#include "engine/record/column_descriptor.h"
#include "engine/record/query_description.h"
#include "engine/record/record.h"
#include "engine/record/record_description.h"
#include "engine/record/table_description.h"
#include "engine/table/cursor.h"
#include "engine/table/table.h"
#include "sql/driver_services.h"
#include "foundation/error_holder.h"
#include "foundation/module_errors.h"
#include "host/host_objects.h"
#include "host/host_value.h"
#include "sql/conditions/key_condition.h"
#include "sql/connection.h"
#include "sql/rewriter/sql_rewriter.h"

namespace {

enum : std::uint32_t {
  COUNT_FLAG_COUNTED = 16,
  COUNT_FLAG_RUNNING_CONDITION = 0x4000,
  OPEN_MODE_READ = 1,
  OPEN_MODE_REPORTED_ROWS = 3,
};

bool bIsMove(std::uint32_t direction) { return direction == READ_NEXT || direction == READ_PREVIOUS; }

bool bSameExactly(const char16_t* a, const char16_t* b) {
  if (!a) a = u"";
  if (!b) b = u"";
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

std::uint32_t nHoldsRows(CCursor* context) {
  std::uint32_t outOfRange = 1;
  context->GetOutOfRange(&outOfRange);
  return !outOfRange;
}

// The connection setting that asks for rows to be locked as they are read: no connection option gives it a meaning
// yet, so the reads never keep their row cache for it.
int bConnectionLocksRows(CConnection*) { return 0; }

// The statement object's rows are known to end where the read asks: the context read that end last and holds every
// row of its statement in its cache.
int bStandsAtEnd(CCursor* context, std::uint32_t direction) {
  return nHoldsRows(context) && context->nGetLastDirection() == direction && context->bHasCompleteRowCache();
}

// The current record and its image as a read found them, put back when the read stood on no record after all.
class CKeptRecords {
 public:
  explicit CKeptRecords(CTableDescription* columns) {
    m_records[0] = columns ? columns->pGetCurrentRecord() : nullptr;
    m_records[1] = columns ? columns->pGetImageRecord() : nullptr;
    for (int i = 0; i < 2; ++i) {
      if (m_records[i] && !(m_kept[i] = m_records[i]->pDuplicate(RECORD_PARTS_ALL))) m_bFailed = true;
      if (m_kept[i]) m_kept[i]->AddRef();
    }
  }
  ~CKeptRecords() {
    for (CRecord* record : m_kept)
      if (record) record->nRelease();
  }
  CKeptRecords(const CKeptRecords&) = delete;
  CKeptRecords& operator=(const CKeptRecords&) = delete;
  bool bHeld() const { return !m_bFailed; }
  void Restore() {
    for (int i = 0; i < 2; ++i)
      if (m_kept[i]) m_records[i]->bCopyFrom(m_kept[i], RECORD_PARTS_ALL);
  }

 private:
  CRecord* m_records[2] = {};
  CRecord* m_kept[2] = {};
  bool m_bFailed = false;
};

}  // namespace

int CTable::bRanOffSeekRange(CCursor* context) {
  return bIsQueryMode() && context->bHasConditionNode() && context->bIsOpen() && !nHoldsRows(context) &&
         context->nGetRecordSlotState() != SLOT_STATE_PINNED && bIsMove(context->nGetLastDirection());
}

int CTable::bReadsSharedRowsOnly(CCursor* context, std::uint32_t flags) {
  return bIsSqlQuery() && m_pSharedRowSource && !m_pSharedRowSource->bIsSourceCursor(context) &&
         !(flags & READ_FLAG_NO_CACHE);
}

int CTable::bNamesKey(const char16_t* name) {
  return !name || !*name || (m_pTableDescription && m_pTableDescription->pFindColumnByName(name));
}

const char16_t* CTable::pszGetQueryKeyName(const char16_t* keyName) {
  IHostItemDescription* item = m_pParsedQuery ? m_pParsedQuery->pGetFirstLinkItem() : nullptr;
  if (item) return item->pszGetName();
  item = m_pRecordDescription ? static_cast<IHostItemDescription*>(m_pRecordDescription->piGetIdentifyingKey())
                              : nullptr;
  if (!item) return keyName;
  // The description keeps its identifying key: the name outlives the reference handed out here.
  const char16_t* name = item->pszGetName();
  item->nRelease();
  return name;
}

// A query given as SQL text reads its rows through its own items, in its own order by its own name. Through any
// other name (a key of the table it selects from, a mistyped one) its moves would go in the query's order as if
// through a key, where a seek through the same name fails: the read fails as the seek does, and as a table's read
// through a key it does not have.
int CTable::bQueryKnowsReadName(const char16_t* name, std::uint32_t flags) {
  if (!bIsSqlQuery() || (flags & READ_FLAG_QUERY_KEY) || bNamesKey(name) || nCompareNames(name, pszGetName()) == 0)
    return 1;
  return bRaise(TABLE_ERROR_NO_SUCH_ITEM, TABLE_POINT_MISSING_PART, name);
}

int CTable::bIsQueryOrderKey(const char16_t* keyName) {
  const char16_t* queryKey = bIsSqlQuery() ? pszGetQueryKeyName(nullptr) : nullptr;
  return queryKey && keyName && nCompareNames(queryKey, keyName) == 0;
}

int CTable::bRead(const char16_t* keyName, std::uint32_t direction, std::uint32_t a, std::uint32_t lockMode,
                  RuntimeWord lockAnswer, std::uint32_t flags) {
  if (!keyName) keyName = u"";
  if (!bQueryKnowsReadName(keyName, flags)) return 0;
  int restart = 0;
  CCursor* previous = m_pCurrentContext;
  // A query run a moment ago has handed out no record yet, whatever its statement read.
  const int fresh = m_bFreshContext;
  if (m_bFreshContext && !m_pKeyCondition && !(previous && previous->bHasConditionNode())) {
    if (bIsSqlQuery() || (flags & READ_FLAG_QUERY_KEY)) {
      flags |= READ_FLAG_RESTART;
    } else if (previous && nCompareNames(previous->pszGetSearchItem(), keyName) != 0 &&
               !(previous->nGetOpenFlags() & READ_FLAG_QUERY_KEY)) {
      flags |= READ_FLAG_RESTART;
    }
  }

  CCursor* context = nullptr;
  if (m_bFreshContext && (flags & READ_FLAG_KEEP) && previous &&
      bSameExactly(previous->pszGetRequestedSearchItem(), keyName)) {
    // The query run that left the fresh-context flag adopted this context and marked it as holding rows already.
    context = previous;
  } else {
    context = pSelectContext(keyName, direction, flags);
  }
  m_bFreshContext = 0;
  if (!context) return 0;

  if (bIsMove(direction)) {
    // The rows were read under another filter: the context keeps its record to find its place again.
    if (!context->bConditionStillMatches() && !context->bTakeRecordSlot(SLOT_STATE_PINNED)) return 0;
    // The last read went through another key: a move goes on from the record it shows, in this key's order, not
    // from where this context stood before. The context lets its own place go and finds the current record again,
    // as a context that never read does. A query given as SQL text finds it among its shared rows instead.
    if (previous && previous != context && !m_pSharedRowSource && !bIsSqlQuery()) {
      context->bSetRecordSlot(SLOT_STATE_NONE, SLOT_NONE);
      context->bSetRecordSlot(SLOT_STATE_PINNED, SLOT_NONE);
    }

  } else {
    if (!context->bConditionStillMatches()) restart = 1;
    if ((flags & READ_FLAG_RESTART) && (flags & READ_FLAG_KEEP) && !bIsQueryMode() &&
        !bStandsAtEnd(context, direction)) {
      restart = 1;
    }
    // A first or last read leaves any key range the context was reading.
    if (context->bHasConditionNode() && !(m_pSharedRowSource && (flags & READ_FLAG_RESTART) && !restart)) {
      context->ResetConditionNode();
      restart = 1;
    }
  }

  // A context of a query given as SQL text other than the one that ran it has no statement of its own to run: it
  // reads the shared rows, whatever the read asks, as long as they are there.
  if (bReadsSharedRowsOnly(context, flags)) {
    flags |= READ_FLAG_RESTART;
    restart = 0;
  }
  context->SetOpenFlags(flags);
  context->SetSearchItem((flags & READ_FLAG_QUERY_KEY) ? pszGetQueryKeyName(keyName) : keyName);
  if (restart || !(flags & READ_FLAG_RESTART)) bDropSharedRowSource();

  if (bIsQueryMode() && ((flags & READ_FLAG_KEEP) || bIsSqlQuery()) && !(flags & READ_FLAG_NO_CACHE)) {
    int placed = 0;
    if (!restart && (flags & READ_FLAG_RESTART) && m_pSharedRowSource) {
      const int complete = m_pSharedRowSource->bIsComplete();
      // The source's own reader goes on, in the query's own order even once every row is there: attached to the
      // shared rows it would turn to the key's order part-way through a walk. So does the context that fills the
      // source while it completes its rows, whatever key it reads by: a view would ask it to complete them again,
      // which reads here, without end.
      const int ownReader = m_pSharedRowSource->bIsSourceCursor(context);
      // A context a seek left on the shared rows in the query's order (through the key read in that order) reads
      // on there: a view would turn it to the key's order.
      const int standsInQueryOrder = bIsQueryOrderKey(keyName) && !context->pGetSharedView() &&
                                     m_pSharedRowSource->bIsSourceCache(context->pGetRowCache());
      if (((!complete || ownReader) && nCompareNames(pszGetQueryKeyName(keyName), keyName) == 0) ||
          standsInQueryOrder ||
          (!complete && ownReader && context->bIsCompletingRows())) {
        placed = 1;
      } else if (!(!complete && (flags & READ_FLAG_QUERY_KEY)) && !bConnectionLocksRows(m_pConnection)) {
        placed = context->bAttachSharedRowSource();
      }
    }
    // A move inside the key range a seek opened goes on in the range's own statement: run again, the range would
    // be read from its start, and its next stage follows from where the context stands.
    if (!placed && bIsMove(direction) && !m_pSharedRowSource && (nHoldsRows(context) || bRanOffSeekRange(context)) &&
        context->bHasConditionNode())
      placed = 1;
    if (!placed) {
      bDropSharedRowSource();
      pNewSharedRowSource();
      const int startsClean = !restart && (flags & READ_FLAG_RESTART) &&
                              context->nGetStatementKind() == SQL_STATEMENT_SELECT &&
                              context->bConditionStillMatches() && !context->bHasConditionNode() &&
                              context->nGetRecordSlot() == SLOT_NONE && context->nGetCurrentRow() < 0;
      if (startsClean && m_pSharedRowSource) {
        m_pSharedRowSource->bFillFor(context);
      } else {
        restart = 1;
      }
    }
  } else if (bConnectionLocksRows(m_pConnection) && (flags & READ_FLAG_NO_CACHE) && !(flags & READ_FLAG_RESTART)) {
    context->AttachRowCache(0);
  }

  // A move through a context of a query's shared rows goes on from the current record: from the context's own place
  // when it stands on that record (or ran off an end from it), else from the record, found in this context's order;
  // on a query given as SQL text, whose seeks look through the shared rows, after a seek too. (The reads that
  // complete the source's rows go on from where they stand.) Before any record, the runtime's next asks for the
  // first record and its previous for the last, in the order the context reads them.
  if (!restart && bIsMove(direction) && m_pSharedRowSource && !context->bIsCompletingRows() &&
      (bIsSqlQuery() || !context->bHasConditionNode())) {
    const bool neverStood = !context->pGetSavedRecord() && context->nGetRecordSlot() == SLOT_NONE;
    if (bIsSqlQuery() ? !m_bRecordHandedOut : fresh && neverStood) {
      direction = direction == READ_NEXT ? READ_FIRST : READ_LAST;
    } else if (!fresh && !bPlaceOnCurrentRecord(context)) {
      return 0;
    }
  }
  int answer = bDoRead(context, keyName, direction, 1, a, lockMode, lockAnswer, flags, restart);
  if (!answer) {
    answer = bReadFallback(context, keyName, direction, lockMode, lockAnswer, flags);
    // A row that failed to convert, or a fetch refused that its statement takes up again, leaves the shared rows as
    // they were: they are read on from there.
    if (!answer && m_pSharedRowSource && !context->bStandsOnFailedRow() && !context->bResumesAfterFailedFetch() &&
        (!m_pSharedRowSource->bIsEmpty() || m_pSharedRowSource->bIsSourceCursor(context))) {
      bDropSharedRowSource();
    }
  }
  if (bIsSqlQuery() && !bIsMove(direction) && !(flags & (READ_FLAG_RESTART | READ_FLAG_QUERY_KEY)))
    return bRead(keyName, direction, a, lockMode, lockAnswer, flags | READ_FLAG_RESTART);
  return answer;
}

int CTable::bReadInContext(const char16_t* name, std::uint32_t direction, RuntimeWord count, std::uint32_t a,
                           std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t flags) {
  // A query given as SQL text orders its rows by another key than its own only on the client, and its statement
  // run again would hand them out in its own order: they are read through the key first, as the moves read them,
  // then counted through there.
  if (!bQueryKnowsReadName(name ? name : u"", flags)) return 0;
  if (bIsSqlQuery() && !bIsMove(direction) && !(flags & READ_FLAG_NO_CACHE) && name && *name && bNamesKey(name)) {
    if (!bReadRowsKeepingRecord(name, a, 0, flags & ~READ_FLAG_RESTART)) return 0;
    flags |= READ_FLAG_RESTART;
  }
  CCursor* context = pSelectContext(name, direction, flags);
  if (!context) return 0;
  // The record counted to is handed out: a query run a moment ago is fresh no longer.
  m_bFreshContext = 0;
  const std::uint32_t n = static_cast<std::uint32_t>(count);
  // A count from the first or the last record counts the key's records, not those of a range a seek left.
  int restart = 0;
  if (!bIsMove(direction) && context->bHasConditionNode()) {
    context->ResetConditionNode();
    restart = 1;
  }
  if (bReadsSharedRowsOnly(context, flags)) {
    flags |= READ_FLAG_RESTART;
    restart = 0;
    if (!context->bAttachSharedRowSource()) return 0;
    // The key the query's rows are read by in their own order counts them in that order, as its moves go.
    if (bIsQueryOrderKey(name) && !context->bStandInSourceOrder()) return 0;
  }
  // A record N past the last stands on no record, and the rows it passed on the way went through the current
  // record and its image: both go back to the record read before, the one a write that follows must reach.
  CKeptRecords kept(bIsSqlQuery() || bIsMove(direction) ? nullptr : m_pTableDescription);
  if (!kept.bHeld()) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  const int read = bDoRead(context, name, direction, n, a, lockMode, lockAnswer, flags, restart);
  if (read && !nHoldsRows(context)) kept.Restore();
  if (read) return bStayOnCurrentRecord(context);
  return bReadFallback(context, name, direction, lockMode, lockAnswer, flags);
}

int CTable::bStayOnCurrentRecord(CCursor* context) {
  if (!bIsSqlQuery() || !m_pSharedRowSource || nHoldsRows(context)) return 1;
  // A record N past the last, or a seek that found nothing, stood on no record of its own: the context keeps the
  // current record as the record its moves go on from, not the one the rows were brought in through; before any,
  // none.
  // A current record the rows no longer hold (another session's delete, the rows read again) is no failure of this
  // read, which found nothing anyway.
  if (m_bRecordHandedOut) return context->bPlaceOnRecord(m_pTableDescription->pGetImageRecord(), false);
  context->ForgetSavedRecord();
  return 1;
}

int CTable::bSaveLockPlace(CCursor* context, std::uint32_t lockMode, CSavedPosition** place) {
  *place = nullptr;
  if (lockMode != 2 && lockMode != 3) return 1;
  CSavedPosition* saved = pNewSavedPosition();
  if (!saved) {
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  saved->AddRef();
  if (!context->bSavePosition(saved)) {
    saved->nRelease();
    return 0;
  }
  *place = saved;
  return 1;
}

int CTable::bDoRead(CCursor* context, const char16_t* keyName, std::uint32_t direction, std::uint32_t count,
                    std::uint32_t a, std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t flags,
                    int restart) {
  if (!context || !context->bSetReadMode(lockMode)) return 0;
  if (!restart) {
    if (bIsMove(direction)) {
      if (context->bIsMarkedFailed()) return 1;
      if (bRanOffSeekRange(context)) {
        // Run off an end of the range a seek opened, the context still stands in the range's statement on the
        // record it ran off from, and moves on from it there: found again by its value, a key that is not unique
        // could land on another record of the same value.
      } else if ((context->nGetRecordSlotState() == SLOT_STATE_PINNED || !nHoldsRows(context)) && !m_pSharedRowSource) {
        // A move through a name that is no item of the table has no key to find its place by: it reads from the
        // end as the first read did, and fails as that read did.
        if (!bNamesKey(context->pszGetSearchItem())) {
          return bDoRead(context, keyName, direction == READ_NEXT ? READ_FIRST : READ_LAST, count, a, lockMode,
                         lockAnswer, flags, 1);
        }
        // The context left its place: it goes on from the record it kept, found again by its key. A move that finds
        // nothing past it stood on no record: the current record and its image stay those the runtime was shown
        // (an add, a read through another key), which a write that follows writes.
        const bool fromSlot = context->nGetRecordSlot() != SLOT_NONE;
        const bool locks = lockMode == 2 || lockMode == 3;
        CKeptRecords shown(fromSlot || locks ? m_pTableDescription : nullptr);
        if (!shown.bHeld()) {
          SetHolderOutOfMemory(m_pErrorHolder);
          return 0;
        }
        if (fromSlot && bReadSlotIntoImage(context->nGetRecordSlot())) CopyImageToCurrent();
        // No record to go on from (nothing read yet on the table, a record N past the last included, or a record
        // whose key is NULL): the runtime's next on a context never read asks for the first record, its previous
        // for the last, as a walk that starts there; found by a NULL key, the move would answer the end of the rows
        // forever. Values the runtime filled in with nothing read or added are no record either: found by them,
        // every move would answer the end of the rows.
        CColumn* key = m_pTableDescription->pFindColumnByName(context->pszGetSearchItem());
        CHostValue value;
        // A NULL key value of a record that its position key identifies is found again among the NULLs.
        CColumn* position = m_pTableDescription->pGetPositionKey();
        CHostValue identity;
        const bool identified = position && position != key && position->bGetValue(identity, 0) &&
                                identity.nGetType() != 0 && !identity.bIsNull();
        if (key && context->nGetRecordSlot() == SLOT_NONE && (!context->bIsOpen() || !m_bRecordHandedOut) &&
            (!key->bGetValue(value, 0) || value.nGetType() == 0 || (value.bIsNull() && !identified) ||
             (!m_bRecordHandedOut && m_nCurrentRecordSlot == SLOT_NONE))) {
          return bDoRead(context, keyName, direction == READ_NEXT ? READ_FIRST : READ_LAST, count, a, lockMode,
                         lockAnswer, flags, 1);
        }
        // Found by key, the record is read in the lock mode asked: read without it, a record another session holds
        // would be answered as locked, and one this table holds would be released with the work kept under its
        // lock. Refused, the context goes back to where it stood, as a read refused its lock does.
        CSavedPosition* place = nullptr;
        if (!bSaveLockPlace(context, lockMode, &place)) return 0;
        const std::uint32_t outer = m_nPositioningLockMode;
        m_nPositioningLockMode = lockMode;
        const int positioned = bPositionOnKey(0, context, a, direction, count);
        m_nPositioningLockMode = outer;
        if (place && !positioned) {
          context->bRestorePosition(place, 0);
          shown.Restore();
        }
        if (place) place->nRelease();
        if (positioned && !nHoldsRows(context) && fromSlot) shown.Restore();
        return positioned;
      }
    } else if (!(flags & READ_FLAG_RESTART)) {
      restart = 1;
    } else if (!m_pSharedRowSource) {
      if (context->nGetRecordSlot() != SLOT_NONE || !nHoldsRows(context) || !bStandsAtEnd(context, direction))
        restart = 1;
    } else if (!m_pSharedRowSource->bIsSourceCursor(context) &&
               !m_pSharedRowSource->bIsSourceCache(context->pGetRowCache())) {
      // Shared rows this context has no part in: it cannot say where it stands in them.
      return context->bRaiseRecordNotFound();
    }
  }

  if (restart) {
    context->ClearFailureMark();
    context->bSetRecordSlot(SLOT_STATE_NONE, SLOT_NONE);
    // Statement objects of a driver object that cannot fetch backwards read last and previous through the reverse
    // order, whose first row is the last; the rows of an SQL text query keep the order the text gives them.
    const bool backwards = direction == READ_LAST || direction == READ_PREVIOUS;
    const std::uint32_t forward = backwards && !bIsSqlQuery() && !bCurrentDriverReadsBackwards() ? 0 : 1;
    // A query given as bare text has no analysis to build a SELECT from: it runs again as it stands.
    CSqlRewriter* own = context->pGetStatement();
    const bool asItStands = bIsSqlQuery() && !pGetQueryDescription() && own &&
                            own->nGetStatementKind() == SQL_STATEMENT_SELECT && !context->bHasConditionNode();
    CSqlRewriter* statement = asItStands ? own : pNewSqlStatement();
    if (!statement) {
      SetHolderOutOfMemory(m_pErrorHolder);
      return 0;
    }
    statement->AddRef();
    std::uint32_t asked = count;
    int opened = asItStands || bPrepareStatement(statement, context, keyName, forward, flags, &asked);
    if (opened && context->pGetStatement() != statement) opened = context->bSetStatement(statement);
    statement->nRelease();
    if (!opened || !context->bOpen(bQueryReportsRows() ? OPEN_MODE_REPORTED_ROWS : OPEN_MODE_READ, flags)) return 0;
    const bool sharesRows = !(flags & READ_FLAG_NO_CACHE) &&
                            ((bIsQueryMode() && (flags & READ_FLAG_KEEP)) || bIsSqlQuery()) && m_pSharedRowSource;
    if (sharesRows) {
      m_pSharedRowSource->bFillFor(context);
    } else {
      if (flags & READ_FLAG_NO_CACHE) context->AttachRowCache(0);
      // A statement object that fetches forward only moves back through the rows it cached: without its cache a
      // read previous or last would hand out the next row.
      if (context->bUsesRowCache()) context->AttachRowCache(1);
    }
  }

  if (count == 0 && a == 0) return 1;
  CSavedPosition* before = nullptr;
  if (!bSaveLockPlace(context, lockMode, &before)) return 0;
  // A read whose lock is refused hands out no record: the current record and its image stay those the runtime was
  // shown last (with its unwritten changes), which the context's own place, put back, need not be.
  CKeptRecords shown(before ? m_pTableDescription : nullptr);
  if (!shown.bHeld()) {
    before->nRelease();
    SetHolderOutOfMemory(m_pErrorHolder);
    return 0;
  }
  const std::uint32_t handedOut = m_bRecordHandedOut;
  int answer = context->bRead(direction, 1, count, nullptr);
  const std::uint32_t inside = answer ? nHoldsRows(context) : 0;
  // The reads that complete a query's rows hand none out.
  if (inside && !context->bIsCompletingRows()) m_bRecordHandedOut = 1;
  if (answer && inside && !bApplyRecordLockMode(context, lockMode, 0, lockAnswer)) {
    if (before) context->bRestorePosition(before, 0);
    shown.Restore();
    m_bRecordHandedOut = handedOut;
    answer = 0;
  } else if (inside && m_nCurrentRecordSlot != SLOT_NONE) {
    // The record read is the current record now: the one an add or a recall pinned no longer stands for it, and a
    // write or deletion that went back to that slot would reach another row.
    UnpinRecordSlot(m_nCurrentRecordSlot);
    m_nCurrentRecordSlot = SLOT_NONE;
  }
  if (before) before->nRelease();
  if (!answer || inside) return answer;
  // Run off an end of a table's key, the context stays beside the record it ran off from: its next move goes back
  // from that record, not from one an add makes current meanwhile.
  if (bIsMove(direction) && !m_pSharedRowSource && context->nGetRecordSlot() == SLOT_NONE &&
      context->pGetSavedRecord() && !context->bTakeRecordSlot(SLOT_STATE_PINNED))
    return 0;

  // Off the end of this key stage: a staged key condition goes on in its next stage, unless this is a positioning
  // read or the shared rows are all there.
  CKeyCondition* condition = context->pGetConditionNode();
  if ((m_pSharedRowSource && m_pSharedRowSource->bIsComplete()) || !context->bHasConditionNode() ||
      (flags & READ_FLAG_POSITIONING) || (context->nGetOpenFlags() & READ_FLAG_POSITIONING)) {
    return answer;
  }
  const std::uint32_t next =
      direction == READ_NEXT ? READ_FIRST : direction == READ_PREVIOUS ? READ_LAST : direction;
  if (!condition->bNeedsRebuild(next)) return answer;
  const std::uint32_t stageDirection = condition->nGetDirection();
  // The next stage opens afresh and lets the record kept above go: kept aside, it is the place the walk goes on
  // from when that stage has no rows either.
  const std::uint32_t ranOffFrom =
      context->nGetRecordSlotState() == SLOT_STATE_PINNED ? context->nGetRecordSlot() : SLOT_NONE;
  if (ranOffFrom != SLOT_NONE) PinRecordSlot(ranOffFrom);
  // Back in the stage of the record the search started from, the walk meets that record again: the record it just
  // ran off from is that one only when another connection moved it into the stage after it, where it was answered.
  CRecord* passed = context->pGetSavedRecord() ? context->pGetSavedRecord()->pDuplicate(RECORD_PARTS_ALL) : nullptr;
  if (passed) passed->AddRef();
  condition->AddRef();
  condition->bAdvance(next);
  CCursor* following = pSelectContext(keyName, next, flags);
  if (following) following->SetConditionNode(condition);
  answer = following && bDoRead(following, keyName, next, count, a, lockMode, lockAnswer, flags, 1);
  if (answer && passed && bIsMove(direction) && nHoldsRows(following) && following->pGetSavedRecord() &&
      condition->nGetStage() == KEY_STAGE_FIRST && following->pGetSavedRecord()->bEquals(passed, false))
    answer = bDoRead(following, keyName, direction, count, a, lockMode, lockAnswer, flags, 0);
  if (passed) passed->nRelease();
  // A stage that has no rows either leaves the condition where the caller found it.
  if (!answer || !nHoldsRows(following)) condition->bAdvance(stageDirection);
  if (answer && ranOffFrom != SLOT_NONE && !nHoldsRows(following) && following->nGetRecordSlot() == SLOT_NONE)
    following->bSetRecordSlot(SLOT_STATE_PINNED, ranOffFrom);
  if (ranOffFrom != SLOT_NONE) UnpinRecordSlot(ranOffFrom);
  condition->nRelease();
  return answer;
}

int CTable::bSeekOnKey(const char16_t* keyName, RuntimeWord value, std::uint32_t exact, std::uint32_t a,
                       std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t forward, std::uint32_t flags) {
  return bSeek(keyName, keyName, value, exact, a, lockMode, lockAnswer, forward, flags);
}

int CTable::bSeekValueFits(const char16_t* keyName, RuntimeWord value, std::uint32_t direction, std::uint32_t exact) {
  CColumn* column = m_pTableDescription ? m_pTableDescription->pFindColumnByName(keyName) : nullptr;
  if (!column) return bRaise(TABLE_ERROR_NO_SUCH_ITEM, TABLE_POINT_MISSING_PART, keyName);
  CCursor* probe = pGetDefaultContext();
  CKeyCondition* condition = probe ? probe->pNewConditionNode(m_pErrorHolder) : nullptr;
  if (!condition) return 0;
  condition->AddRef();
  const int fits = condition->bSetSearch(m_pTableDescription, column->pGetDescriptorNoRef(),
                                         reinterpret_cast<CHostValue*>(value), direction, exact ? 1 : 0);
  condition->nRelease();
  return fits;
}

int CTable::bStandsOnCurrentRecord(CCursor* context) {
  CRecord* own = context->pGetSavedRecord();
  return own && own->bEquals(m_pTableDescription->pGetImageRecord(), false);
}

int CTable::bPlaceOnCurrentRecord(CCursor* context) {
  return bStandsOnCurrentRecord(context) || context->bPlaceOnRecord(m_pTableDescription->pGetImageRecord());
}

int CTable::bReadRowsKeepingRecord(const char16_t* keyName, std::uint32_t a, std::uint32_t lockMode,
                                    std::uint32_t flags) {
  CRecord* current = m_pTableDescription ? m_pTableDescription->pGetCurrentRecord() : nullptr;
  CRecord* image = m_pTableDescription ? m_pTableDescription->pGetImageRecord() : nullptr;
  if (!current || !image) return bRead(keyName, READ_FIRST, a, lockMode, 0, flags);
  // The read only brings the rows in: the record it hands out is none of the caller's. A seek that finds nothing,
  // or a record N past the last, leaves the current record the one read before it, which the moves after it go on
  // from.
  const std::uint32_t accepted = m_pTableDescription->nGetAccepted();
  const std::uint32_t handedOut = m_bRecordHandedOut;
  CRecord* keptCurrent = current->pDuplicate(RECORD_PARTS_ALL);
  if (keptCurrent) keptCurrent->AddRef();
  CRecord* keptImage = keptCurrent ? image->pDuplicate(RECORD_PARTS_ALL) : nullptr;
  if (keptImage) keptImage->AddRef();
  int answer = keptImage && bRead(keyName, READ_FIRST, a, lockMode, 0, flags);
  if (answer) {
    answer = current->bCopyFrom(keptCurrent, RECORD_PARTS_ALL) && image->bCopyFrom(keptImage, RECORD_PARTS_ALL);
    m_pTableDescription->SetAccepted(accepted);
    m_bRecordHandedOut = handedOut;
  }
  if (!keptImage) SetHolderOutOfMemory(m_pErrorHolder);
  if (keptImage) keptImage->nRelease();
  if (keptCurrent) keptCurrent->nRelease();
  return answer;
}

int CTable::bSeek(const char16_t* keyName, const char16_t* valueKey, RuntimeWord value, std::uint32_t exact,
                  std::uint32_t a, std::uint32_t lockMode, RuntimeWord lockAnswer, std::uint32_t forward,
                  std::uint32_t flags) {
  if (!keyName) keyName = u"";
  // The key a query's reads go through in the query's own order: the seek finds its record among the query's rows,
  // and the moves after it go on in the order the context reads; a range opened in the key's order would not.
  const int inQueryOrder = bIsQueryOrderKey(keyName);
  const std::uint32_t direction = forward ? READ_FIRST : READ_LAST;
  if (bIsSqlQuery()) {
    // The query's rows are read once in full; the seek then looks through them, whatever the key: wrapped in a
    // SELECT of the server's, the rows that share the key's value would come in another order than the query's
    // (which its key views keep), and bare text could not be wrapped at all. A value the key cannot hold fails
    // before that read, which would move the context.
    if (!bSeekValueFits(valueKey ? valueKey : keyName, value, direction, exact)) return 0;
    if (!bReadRowsKeepingRecord(valueKey, 0, 1, flags)) return 0;
    flags |= READ_FLAG_RESTART;
  }
  if (!m_pSharedRowSource) flags &= ~READ_FLAG_RESTART;
  CCursor* const before = m_pCurrentContext;
  CCursor* context = pSelectContext(keyName, direction, flags);
  if (!context) return 0;
  // The search is tried on a condition of its own before the context's is touched: a key that is no item, a value
  // the key cannot hold, or a query that refuses to be read under a condition (bare text cannot be wrapped), leaves
  // the context where it stood, its range and its place among the rows with it. A query's SELECT is built for that
  // before the shared rows and the context's statement are let go. A context that had a condition keeps it, set to
  // the same search.
  auto setUp = [&]() -> int {
    CColumn* column = m_pTableDescription ? m_pTableDescription->pFindColumnByName(valueKey ? valueKey : keyName)
                                          : nullptr;
    if (!column) return bRaise(TABLE_ERROR_NO_SUCH_ITEM, TABLE_POINT_MISSING_PART, valueKey ? valueKey : keyName);
    auto search = [&](CKeyCondition* node) {
      return node->bSetSearch(m_pTableDescription, column->pGetDescriptorNoRef(),
                              reinterpret_cast<CHostValue*>(value), direction, exact ? 1 : 0);
    };
    CKeyCondition* condition = context->pNewConditionNode(m_pErrorHolder);
    if (!condition) return 0;
    condition->AddRef();
    CKeyCondition* const kept = context->pGetConditionNode();
    if (kept) kept->AddRef();
    int placed = search(condition);
    if (placed) context->SetConditionNode(condition);
    if (placed && bIsSqlQuery() && !(flags & READ_FLAG_RESTART)) {
      CSqlRewriter* probe = pNewSqlStatement();
      if (!probe) SetHolderOutOfMemory(m_pErrorHolder);
      if (probe) probe->AddRef();
      placed = probe && bPrepareStatement(probe, context, keyName, 1, flags, nullptr);
      if (probe) probe->nRelease();
    }
    if (!placed || kept) context->SetConditionNode(kept);
    if (placed && kept) placed = search(kept);
    if (kept) kept->nRelease();
    condition->nRelease();
    return placed;
  };
  if (!setUp()) {
    m_pCurrentContext = before;
    return 0;
  }
  if (m_pSharedRowSource) {
    if (flags & READ_FLAG_RESTART) {
      context->bAttachSharedRowSource();
      CKeyedRowView* view = context->pGetSharedView();
      // The query's own key walks in the query's order, down when the query sorts it descending.
      if (view) view->BoundNextEnd(*reinterpret_cast<CHostValue*>(value), inQueryOrder && view->bRunsDown());
    } else {
      bDropSharedRowSource();
    }
  }
  context->SetOpenFlags(flags);
  if (!bDoRead(context, keyName, direction, 1, a, lockMode, lockAnswer, flags, 0)) return 0;
  if (inQueryOrder && (flags & READ_FLAG_RESTART) && !context->bStandInSourceOrder()) return 0;
  return bStayOnCurrentRecord(context);
}

int CTable::bReadFallback(CCursor*, const char16_t*, std::uint32_t, std::uint32_t, RuntimeWord, std::uint32_t) {
  return 0;
}

int CTable::bResetContext(const char16_t* name) {
  CCursor* context = name ? pFindContext(name) : m_pCurrentContext;
  CKeyCondition* condition = context ? context->pGetConditionNode() : nullptr;
  if (condition && condition->bIsStarted()) condition->Restart(1);
  return 1;
}

int CTable::bPositionKeepingBuffer(CCursor* context, std::uint32_t loadRecord, std::uint32_t direction,
                                   std::uint32_t count) {
  // A read that loads the record keeps what the positioning found; otherwise the records go back as they were.
  return bPositionOnKey(loadRecord ? 0 : 1, context, 0, direction, count);
}

int CTable::bCountRecords(std::int64_t* count, std::uint32_t flags, std::uint32_t flags2, CCursor* context,
                          std::int32_t mode) {
  if (!count) return 0;
  if (!(flags & COUNT_FLAG_COUNTED)) {
    *count = 0;
    return 1;
  }
  if (context) {
    // A query given as SQL text has no other way to count its rows than to have them all: the SELECT it is cannot
    // be counted on the server as a table's rows can.
    CCursor* filler = m_pSharedRowSource ? m_pSharedRowSource->pGetSourceCursor() : nullptr;
    if (mode == -1 && bIsSqlQuery() && filler && !m_pSharedRowSource->bIsComplete() && !filler->bRefreshRowCache())
      return 0;
    const int sharedComplete = m_pSharedRowSource && m_pSharedRowSource->bIsComplete();
    if (mode == -1 && sharedComplete && context->bConditionStillMatches() &&
        (!context->bHasConditionNode() || (flags2 & COUNT_FLAG_RUNNING_CONDITION))) {
      *count = m_pSharedRowSource->nGetRowCount();
      return 1;
    }
    if ((!bIsSqlQuery() || sharedComplete) && context->bGetCachedRecordCount(count, flags2, 0)) return 1;
  }

  CCursor* counter = pGetDefaultContext();
  if (!counter) return 0;
  counter->ResetConditionNode();
  counter->SetConditionNode(nullptr);
  if (context && context != counter && context->bHasConditionNode() && (flags2 & COUNT_FLAG_RUNNING_CONDITION))
    counter->SetConditionNode(context->pGetConditionNode());
  if (mode != -1 && m_pTableDescription) {
    // The count starts at a record: the context's own, or with mode 4 the current record's value; 2 and 4 count
    // the records after it, 3 those before it.
    CColumn* key = context ? m_pTableDescription->pFindColumnByName(context->pszGetSearchItem()) : nullptr;
    if (!key) key = m_pTableDescription->pGetUniqueColumn();
    if (!key) key = m_pTableDescription->pGetPositionKey();
    CHostValue value;
    CRecord* saved = context ? context->pGetSavedRecord() : nullptr;
    if (mode == 4 || !saved) {
      if (key) key->bGetValue(value, 0);
    } else if (key) {
      saved->GetFieldValue(value, key->pGetDescriptorNoRef());
    }
    CKeyCondition* search = counter->pNewConditionNode(m_pErrorHolder);
    if (!search || !key) return 0;
    counter->SetConditionNode(search);
    // Records that share the key value stand in the order of the key that identifies them, as the reads have them:
    // the records before (after) one of them are found from the whole record, not from the value alone, which
    // would count none of them or all. So do the records whose key is NULL, which share that place.
    // A composite key's own field value is no part of a record: its place is always found from the record's
    // components.
    CRecord* current = m_pTableDescription->pGetCurrentRecord();
    const bool byRecord = (mode == 2 || mode == 3) && saved && current &&
                          (key->bIsCompositeKey() || (!key->bIsUniqueKey() && m_pTableDescription->pGetPositionKey() &&
                                                      value.nGetType() != 0));
    int searched = 0;
    if (byRecord) {
      CRecord* kept = current->pDuplicate(RECORD_PARTS_ALL);
      if (!kept) {
        SetHolderOutOfMemory(m_pErrorHolder);
        counter->SetConditionNode(nullptr);
        return 0;
      }
      kept->AddRef();
      searched = current->bCopyFrom(saved, RECORD_PARTS_ALL) &&
                 search->bSetRecordSearch(m_pTableDescription, key->pGetDescriptorNoRef(), 0, 0);
      current->bCopyFrom(kept, RECORD_PARTS_ALL);
      kept->nRelease();
    } else {
      searched = search->bSetSearch(m_pTableDescription, key->pGetDescriptorNoRef(), &value, READ_FIRST, 1);
    }
    if (!searched) {
      counter->SetConditionNode(nullptr);
      return 0;
    }
    if (search->bIsStarted() && (mode == 2 || mode == 3 || mode == 4)) search->bAdvance(mode == 3 ? 1 : 0);
  }
  const int counted = counter->bGetRecordCount(count, static_cast<std::uint32_t>(mode), 0);
  // The default context writes next: no search of a count stays on it.
  counter->SetConditionNode(nullptr);
  return counted;
}
