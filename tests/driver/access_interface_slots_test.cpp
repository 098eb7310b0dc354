// The access interface's binary slots: each runtime operation's `// slot N` comment names the slot the compiled table
// puts it at, and the 82 of them leave no hole.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "driver/access_interface.h"
#include "tests/slot_of.h"

namespace {

TEST(AccessInterfaceSlotsTest, EveryCommentNamesTheCompiledSlot) {
  const std::map<std::string, std::size_t> compiled = {
      QZ_SLOT(CAccessInterface, nGetInterfaceVersion),
      QZ_SLOT(CAccessInterface, nGetInterfaceMinVersion),
      QZ_SLOT(CAccessInterface, nReturnMinusOne2),
      QZ_SLOT(CAccessInterface, nReturnMinusOne3),
      QZ_SLOT(CAccessInterface, DoNothing4),
      QZ_SLOT(CAccessInterface, AddExternalRef),
      QZ_SLOT(CAccessInterface, nReleaseExternalRef),
      QZ_SLOT(CAccessInterface, pGetErrorHolderFor),
      QZ_SLOT(CAccessInterface, bIsOpen),
      QZ_SLOT(CAccessInterface, piGetRecordDescription),
      QZ_SLOT(CAccessInterface, bSupportsTransactions),
      QZ_SLOT(CAccessInterface, nNotAvailableA),
      QZ_SLOT(CAccessInterface, bEnsureTable),
      QZ_SLOT(CAccessInterface, bOpenOrCreate),
      QZ_SLOT(CAccessInterface, bCreateAndOpen),
      QZ_SLOT(CAccessInterface, bOpen),
      QZ_SLOT(CAccessInterface, bSetTablesStateByName),
      QZ_SLOT(CAccessInterface, bClose),
      QZ_SLOT(CAccessInterface, bClearRecord),
      QZ_SLOT(CAccessInterface, bSaveRecord),
      QZ_SLOT(CAccessInterface, bNotSupportedA),
      QZ_SLOT(CAccessInterface, bDeleteRecord),
      QZ_SLOT(CAccessInterface, bWriteRecord),
      QZ_SLOT(CAccessInterface, bSeekOnKey),
      QZ_SLOT(CAccessInterface, bNotSupportedB),
      QZ_SLOT(CAccessInterface, bModifyRecord),
      QZ_SLOT(CAccessInterface, bRead),
      QZ_SLOT(CAccessInterface, bReadInContext),
      QZ_SLOT(CAccessInterface, bLockTable),
      QZ_SLOT(CAccessInterface, bUnlockTable),
      QZ_SLOT(CAccessInterface, bTestRecordLock),
      QZ_SLOT(CAccessInterface, bTestRecordLockDefault),
      QZ_SLOT(CAccessInterface, bGetOutOfRange),
      QZ_SLOT(CAccessInterface, bGetRecordState),
      QZ_SLOT(CAccessInterface, bSetLockMode),
      QZ_SLOT(CAccessInterface, nTableProbe),
      QZ_SLOT(CAccessInterface, bGetRecordFlags),
      QZ_SLOT(CAccessInterface, bGoToRecord),
      QZ_SLOT(CAccessInterface, bDeleteRecordChecked),
      QZ_SLOT(CAccessInterface, bMarkContextRecord),
      QZ_SLOT(CAccessInterface, bResetContextMark),
      QZ_SLOT(CAccessInterface, bCheckItem),
      QZ_SLOT(CAccessInterface, bSavePosition),
      QZ_SLOT(CAccessInterface, bCheckItemValue),
      QZ_SLOT(CAccessInterface, bIsReadOnly),
      QZ_SLOT(CAccessInterface, bReadCurrentContext),
      QZ_SLOT(CAccessInterface, bGetPositionPerMille),
      QZ_SLOT(CAccessInterface, bSetPositionPerMille),
      QZ_SLOT(CAccessInterface, bReadLargeValue),
      QZ_SLOT(CAccessInterface, bWriteLargeValue),
      QZ_SLOT(CAccessInterface, bGetRecordBuffer),
      QZ_SLOT(CAccessInterface, bSetRecordBuffer),
      QZ_SLOT(CAccessInterface, bCallLargeValueSlot),
      QZ_SLOT(CAccessInterface, nGetLargeValueState),
      QZ_SLOT(CAccessInterface, bResetContext),
      QZ_SLOT(CAccessInterface, bRestorePosition),
      QZ_SLOT(CAccessInterface, bNotSupportedC),
      QZ_SLOT(CAccessInterface, nNotAvailableB),
      QZ_SLOT(CAccessInterface, nNotAvailableC),
      QZ_SLOT(CAccessInterface, nNotAvailableD),
      QZ_SLOT(CAccessInterface, bDropSharedRowSource),
      QZ_SLOT(CAccessInterface, bCompareSavedPositions),
      QZ_SLOT(CAccessInterface, nReturnZero62),
      QZ_SLOT(CAccessInterface, nReturnZero63),
      QZ_SLOT(CAccessInterface, bDeleteAll),
      QZ_SLOT(CAccessInterface, DoNothing65),
      QZ_SLOT(CAccessInterface, DoNothing66),
      QZ_SLOT(CAccessInterface, DoNothing67),
      QZ_SLOT(CAccessInterface, DoNothing68),
      QZ_SLOT(CAccessInterface, DoNothing69),
      QZ_SLOT(CAccessInterface, DoNothing70),
      QZ_SLOT(CAccessInterface, DoNothing71),
      QZ_SLOT(CAccessInterface, DoNothing72),
      QZ_SLOT(CAccessInterface, DoNothing73),
      QZ_SLOT(CAccessInterface, DoNothing74),
      QZ_SLOT(CAccessInterface, DoNothing75),
      QZ_SLOT(CAccessInterface, DoNothing76),
      QZ_SLOT(CAccessInterface, DoNothing77),
      QZ_SLOT(CAccessInterface, DoNothing78),
      QZ_SLOT(CAccessInterface, bCreate),
      QZ_SLOT(CAccessInterface, DeletingDestructor),
      QZ_SLOT(CAccessInterface, bExecuteQuery),
  };
  ExpectSlotComments("driver/access_interface.h", compiled);
  ExpectSlotsFromZeroTo(compiled, 82);
}

}  // namespace
