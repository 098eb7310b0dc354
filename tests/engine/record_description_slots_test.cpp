// The record description's binary slots, the runtime's file-description interface and the description's own ones
// after it: each `// slot N` comment names the slot the compiled table puts the operation at, 0 to 48 without a hole.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/record/column_descriptor.h"
#include "engine/record/query_description.h"
#include "engine/record/record_buffer.h"
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
      QZ_SLOT(CRecordDescription, piFindItemEx),
      QZ_SLOT(CRecordDescription, bCompare),
      QZ_SLOT(CRecordDescription, AppendItemText),
      QZ_SLOT(CRecordDescription, pCopy),
      QZ_SLOT(CRecordDescription, CopyFrom),
      QZ_SLOT(CRecordDescription, pClone),
      QZ_SLOT(CRecordDescription, bLoad),
      QZ_SLOT(CRecordDescription, nSlot48),
  };
  ExpectSlotComments("engine/record/record_description.h", compiled);
  ExpectSlotsFromZeroTo(compiled, 49);
}

// The record buffer the runtime gets by position 50: its operations from slot 0, the counted base's after them.
TEST(RecordDescriptionSlotsTest, TheRecordBufferKeepsItsOwnSlotOrder) {
  const std::map<std::string, std::size_t> compiled = {
      QZ_SLOT(CRecordBuffer, DeletingDestructor), QZ_SLOT(CRecordBuffer, pClone),
      QZ_SLOT(CRecordBuffer, SetData),            QZ_SLOT(CRecordBuffer, pGetFieldData),
      QZ_SLOT(CRecordBuffer, pGetFieldDataAgain), QZ_SLOT(CRecordBuffer, bSetFieldFromValue),
      QZ_SLOT(CRecordBuffer, bSetFieldBytes),     QZ_SLOT(CRecordBuffer, CopyFieldTo),
      QZ_SLOT(CRecordBuffer, GetFieldValue),      QZ_SLOT(CRecordBuffer, SetFieldPresent),
      QZ_SLOT(CRecordBuffer, bIsFieldPresent),    QZ_SLOT(CRecordBuffer, bCopyFrom),
      QZ_SLOT(CRecordBuffer, pCloneWithMap),
  };
  ExpectSlotComments("engine/record/record_buffer.h", compiled, "CRecordBuffer");
  ExpectSlotsFromZeroTo(compiled, 13);
}

TEST(RecordDescriptionSlotsTest, TheColumnDescriptorFillsTheItemInterface) {
  const std::map<std::string, std::size_t> compiled = {
      QZ_SLOT(CColumnDescriptor, nGetInterfaceLevel),
      QZ_SLOT(CColumnDescriptor, nSlot1),
      QZ_SLOT(CColumnDescriptor, nSlot2),
      QZ_SLOT(CColumnDescriptor, nSlot3),
      QZ_SLOT(CColumnDescriptor, Slot4),
      QZ_SLOT(CColumnDescriptor, AddRef),
      QZ_SLOT(CColumnDescriptor, nRelease),
      QZ_SLOT(CColumnDescriptor, pszGetName),
      QZ_SLOT(CColumnDescriptor, nGetElementCount),
      QZ_SLOT(CColumnDescriptor, nGetSize),
      QZ_SLOT(CColumnDescriptor, nGetDataLength),
      QZ_SLOT(CColumnDescriptor, nGetTotalSize),
      QZ_SLOT(CColumnDescriptor, nGetType),
      QZ_SLOT(CColumnDescriptor, nGetPosition),
      QZ_SLOT(CColumnDescriptor, bIsKeyed),
      QZ_SLOT(CColumnDescriptor, bIsMemo),
      QZ_SLOT(CColumnDescriptor, bIsTextMemo),
      QZ_SLOT(CColumnDescriptor, bIsBinaryMemo),
      QZ_SLOT(CColumnDescriptor, bIsNumeric),
      QZ_SLOT(CColumnDescriptor, bIsText),
      QZ_SLOT(CColumnDescriptor, nGetKeyNumber),
      QZ_SLOT(CColumnDescriptor, nGetComponentCount),
      QZ_SLOT(CColumnDescriptor, bIsPrimaryKey),
      QZ_SLOT(CColumnDescriptor, bIsUnique),
      QZ_SLOT(CColumnDescriptor, bIsKeyWithDuplicates),
      QZ_SLOT(CColumnDescriptor, bIsCompositeKey),
      QZ_SLOT(CColumnDescriptor, bIsAscendingKey),
      QZ_SLOT(CColumnDescriptor, bIsDescending),
      QZ_SLOT(CColumnDescriptor, bHasFlag0080),
      QZ_SLOT(CColumnDescriptor, bHasFlag0040),
      QZ_SLOT(CColumnDescriptor, bHasFlag0020),
      QZ_SLOT(CColumnDescriptor, pGetComponent),
      QZ_SLOT(CColumnDescriptor, nGetElementOffset),
      QZ_SLOT(CColumnDescriptor, nGetNullFlagIndex),
      QZ_SLOT(CColumnDescriptor, pGetDefaultValue),
      QZ_SLOT(CColumnDescriptor, pszGetSecondName),
      QZ_SLOT(CColumnDescriptor, pszGetAlias),
      QZ_SLOT(CColumnDescriptor, pszGetThirdName),
      QZ_SLOT(CColumnDescriptor, nGetItemKind),
      QZ_SLOT(CColumnDescriptor, piGetSubDescription),
      QZ_SLOT(CColumnDescriptor, nGetPrecision),
      QZ_SLOT(CColumnDescriptor, nGetScale),
      QZ_SLOT(CColumnDescriptor, pszGetCaption),
      QZ_SLOT(CColumnDescriptor, pszGetTableName),
      QZ_SLOT(CColumnDescriptor, nGetItemTypeCode),
      QZ_SLOT(CColumnDescriptor, Slot45),
      QZ_SLOT(CColumnDescriptor, bIsUpdatable),
      QZ_SLOT(CColumnDescriptor, Slot47),
      QZ_SLOT(CColumnDescriptor, bIsOption4Clear),
      QZ_SLOT(CColumnDescriptor, SetOption4),
      QZ_SLOT(CColumnDescriptor, pszGetOrigin),
      QZ_SLOT(CColumnDescriptor, pszGetFileName),
      QZ_SLOT(CColumnDescriptor, piGetExpression),
      QZ_SLOT(CColumnDescriptor, nSlot53),
      QZ_SLOT(CColumnDescriptor, bIsNullAllowed),
      QZ_SLOT(CColumnDescriptor, DeletingDestructor),
      QZ_SLOT(CColumnDescriptor, SetPrecision),
      QZ_SLOT(CColumnDescriptor, SetScale),
      QZ_SLOT(CColumnDescriptor, pCopyAs),
      QZ_SLOT(CColumnDescriptor, nGetTextStart),
      QZ_SLOT(CColumnDescriptor, nGetTextEnd),
  };
  ExpectSlotComments("engine/record/column_descriptor.h", compiled, "CColumnDescriptor");
  ExpectSlotsFromZeroTo(compiled, 61);
}

TEST(RecordDescriptionSlotsTest, TheDescriptorSnapshotAnswersInTheDescriptorsOrder) {
  const std::map<std::string, std::size_t> compiled = {
      QZ_SLOT(CDescriptorSnapshot, pszGetName),       QZ_SLOT(CDescriptorSnapshot, nGetNumber),
      QZ_SLOT(CDescriptorSnapshot, pszGetSecondText), QZ_SLOT(CDescriptorSnapshot, pszGetThirdText),
      QZ_SLOT(CDescriptorSnapshot, GetIdentifier),    QZ_SLOT(CDescriptorSnapshot, pszGetFifthText),
      QZ_SLOT(CDescriptorSnapshot, pszGetSixthText),  QZ_SLOT(CDescriptorSnapshot, nGetTextStart),
      QZ_SLOT(CDescriptorSnapshot, nGetTextEnd),      QZ_SLOT(CDescriptorSnapshot, DeletingDestructor),
  };
  ExpectSlotComments("engine/record/query_description.h", compiled, "CDescriptorSnapshot");
  ExpectSlotsFromZeroTo(compiled, 10);
}

}  // namespace
