// The record description's binary slots, the runtime's file-description interface and the description's own ones
// after it: each `// slot N` comment names the slot the compiled table puts the operation at, 0 to 40 without a hole.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/record/record_description.h"
#include "tests/slot_of.h"

namespace {

TEST(RecordDescriptionSlotsTest, EveryCommentNamesTheCompiledSlot) {
  const std::map<std::string, std::size_t> compiled = {
      QZ_SLOT(CRecordDescription, nGetInterfaceLevel),
      QZ_SLOT(CRecordDescription, nSlot1),
      QZ_SLOT(CRecordDescription, nSlot2),
      QZ_SLOT(CRecordDescription, nSlot3),
      QZ_SLOT(CRecordDescription, Slot4),
      QZ_SLOT(CRecordDescription, AddExternalRef),
      QZ_SLOT(CRecordDescription, nReleaseExternal),
      QZ_SLOT(CRecordDescription, pszGetName),
      QZ_SLOT(CRecordDescription, pszGetNameAgain),
      QZ_SLOT(CRecordDescription, pszGetEmptyText),
      QZ_SLOT(CRecordDescription, nGetRecordSize),
      QZ_SLOT(CRecordDescription, nGetFullSize),
      QZ_SLOT(CRecordDescription, nGetItemCount),
      QZ_SLOT(CRecordDescription, nGetKeyCount),
      QZ_SLOT(CRecordDescription, nGetLargeItemCount),
      QZ_SLOT(CRecordDescription, nGetColumnCount),
      QZ_SLOT(CRecordDescription, piGetItem),
      QZ_SLOT(CRecordDescription, piFindItem),
      QZ_SLOT(CRecordDescription, piGetKey),
      QZ_SLOT(CRecordDescription, piGetLargeItem),
      QZ_SLOT(CRecordDescription, nSlot20),
      QZ_SLOT(CRecordDescription, pszGetSqlTableName),
      QZ_SLOT(CRecordDescription, piGetIdentifyingKey),
      QZ_SLOT(CRecordDescription, pszGetSecondaryName),
      QZ_SLOT(CRecordDescription, pszGetTertiaryName),
      QZ_SLOT(CRecordDescription, pszGetOwnerName),
      QZ_SLOT(CRecordDescription, pszGetDatabaseName),
      QZ_SLOT(CRecordDescription, nSlot27),
      QZ_SLOT(CRecordDescription, nSlot28),
      QZ_SLOT(CRecordDescription, nSlot29),
      QZ_SLOT(CRecordDescription, Slot30),
      QZ_SLOT(CRecordDescription, Slot31),
      QZ_SLOT(CRecordDescription, Slot32),
      QZ_SLOT(CRecordDescription, Slot33),
      QZ_SLOT(CRecordDescription, Slot34),
      QZ_SLOT(CRecordDescription, Slot35),
      QZ_SLOT(CRecordDescription, Slot36),
      QZ_SLOT(CRecordDescription, Slot37),
      QZ_SLOT(CRecordDescription, Slot38),
      QZ_SLOT(CRecordDescription, Slot39),
      QZ_SLOT(CRecordDescription, DeletingDestructor),
  };
  ExpectSlotComments("engine/record/record_description.h", compiled);
  ExpectSlotsFromZeroTo(compiled, 41);
}

}  // namespace
