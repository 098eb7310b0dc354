// The runtime's interfaces as the driver declares them: each operation's `// slot N` comment names the slot the
// compiled table puts it at, so a declaration added or dropped out of place shows here before a call goes astray.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "host/host_objects.h"
#include "tests/slot_of.h"

namespace {

TEST(HostObjectsSlotsTest, EveryCommentNamesTheCompiledSlot) {
  ExpectSlotComments("host/host_objects.h",
                     {
                         QZ_SLOT(IHostConnectionDescription, nGetInterfaceVersion),
                         QZ_SLOT(IHostConnectionDescription, Slot1),
                         QZ_SLOT(IHostConnectionDescription, Slot2),
                         QZ_SLOT(IHostConnectionDescription, Slot3),
                         QZ_SLOT(IHostConnectionDescription, Slot4),
                         QZ_SLOT(IHostConnectionDescription, AddRef),
                         QZ_SLOT(IHostConnectionDescription, Release),
                         QZ_SLOT(IHostConnectionDescription, pszGetUserId),
                         QZ_SLOT(IHostConnectionDescription, pszGetPassword),
                         QZ_SLOT(IHostConnectionDescription, pszGetDataSource),
                         QZ_SLOT(IHostConnectionDescription, Slot10),
                         QZ_SLOT(IHostConnectionDescription, nGetAccessMode),
                         QZ_SLOT(IHostConnectionDescription, Slot12),
                         QZ_SLOT(IHostConnectionDescription, Slot13),
                         QZ_SLOT(IHostConnectionDescription, pszGetProvider),
                         QZ_SLOT(IHostConnectionDescription, nGetConnectionTimeout),
                         QZ_SLOT(IHostConnectionDescription, nGetCommandTimeout),
                         QZ_SLOT(IHostConnectionDescription, pszGetExtendedInformation),
                         QZ_SLOT(IHostConnectionDescription, pszGetName),
                         QZ_SLOT(IHostConnectionDescription, nGetCursorLocationFlags),
                         QZ_SLOT(IHostConnectionDescription, nGetNamedParameterFlag),
                         QZ_SLOT(IHostConnectionDescription, pszGetDatabase),
                         QZ_SLOT(IHostConnectionDescription, nGetCacheSize),
                         QZ_SLOT(IHostConnectionDescription, Slot23),
                         QZ_SLOT(IHostConnectionDescription, Slot24),
                         QZ_SLOT(IHostConnectionDescription, pszGetLabel),
                     },
                     "IHostConnectionDescription");
  ExpectSlotComments("host/host_objects.h",
                     {
                         QZ_SLOT(IHostQueryPart, AddRef),
                         QZ_SLOT(IHostQueryPart, Release),
                     },
                     "IHostQueryPart");
  ExpectSlotComments("host/host_objects.h",
                     {
                         QZ_SLOT(IHostQueryFile, pszGetName),
                         QZ_SLOT(IHostQueryFile, pszGetAlias),
                     },
                     "IHostQueryFile");
  ExpectSlotComments("host/host_objects.h",
                     {
                         QZ_SLOT(IHostKeyLink, nGetItemIndex),
                         QZ_SLOT(IHostKeyLink, bIsDescending),
                     },
                     "IHostKeyLink");
  ExpectSlotComments("host/host_objects.h",
                     {
                         QZ_SLOT(IHostIndexDescriptor, pszGetName),
                         QZ_SLOT(IHostIndexDescriptor, nGetNumber),
                         QZ_SLOT(IHostIndexDescriptor, pszGetSecondText),
                         QZ_SLOT(IHostIndexDescriptor, pszGetThirdText),
                         QZ_SLOT(IHostIndexDescriptor, GetIdentifier),
                         QZ_SLOT(IHostIndexDescriptor, pszGetFifthText),
                         QZ_SLOT(IHostIndexDescriptor, pszGetSixthText),
                     },
                     "IHostIndexDescriptor");
  ExpectSlotComments("host/host_objects.h",
                     {
                         QZ_SLOT(IHostExpressionNode, nGetKind),
                         QZ_SLOT(IHostExpressionNode, nGetFunctionCode),
                         QZ_SLOT(IHostExpressionNode, nGetChildCount),
                         QZ_SLOT(IHostExpressionNode, piGetChild),
                     },
                     "IHostExpressionNode");
  ExpectSlotComments("host/host_objects.h",
                     {
                         QZ_SLOT(IHostQueryAnalysis, nGetKind),
                         QZ_SLOT(IHostQueryAnalysis, pszGetSqlText),
                         QZ_SLOT(IHostQueryAnalysis, piWalkFiles),
                         QZ_SLOT(IHostQueryAnalysis, piWalkItems),
                         QZ_SLOT(IHostQueryAnalysis, nGetDescriptorCount),
                         QZ_SLOT(IHostQueryAnalysis, piGetDescriptor),
                         QZ_SLOT(IHostQueryAnalysis, piWalkLinks),
                         QZ_SLOT(IHostQueryAnalysis, piWalkKind3Entries),
                         QZ_SLOT(IHostQueryAnalysis, piWalkKind4Entries),
                         QZ_SLOT(IHostQueryAnalysis, piGetColumnOfItem),
                         QZ_SLOT(IHostQueryAnalysis, pszResolveAlias),
                         QZ_SLOT(IHostQueryAnalysis, piLookupFile),
                         QZ_SLOT(IHostQueryAnalysis, piFindItem),
                         QZ_SLOT(IHostQueryAnalysis, piGetFirstExtra),
                         QZ_SLOT(IHostQueryAnalysis, piGetSecondExtra),
                     },
                     "IHostQueryAnalysis");
  const std::map<std::string, std::size_t> item = {
      QZ_SLOT(IHostItemDescription, nGetInterfaceLevel),
      QZ_SLOT(IHostItemDescription, nSlot1),
      QZ_SLOT(IHostItemDescription, nSlot2),
      QZ_SLOT(IHostItemDescription, nSlot3),
      QZ_SLOT(IHostItemDescription, Slot4),
      QZ_SLOT(IHostItemDescription, AddRef),
      QZ_SLOT(IHostItemDescription, nRelease),
      QZ_SLOT(IHostItemDescription, pszGetName),
      QZ_SLOT(IHostItemDescription, nGetElementCount),
      QZ_SLOT(IHostItemDescription, nGetSize),
      QZ_SLOT(IHostItemDescription, nGetDataLength),
      QZ_SLOT(IHostItemDescription, nGetTotalSize),
      QZ_SLOT(IHostItemDescription, nGetType),
      QZ_SLOT(IHostItemDescription, nGetPosition),
      QZ_SLOT(IHostItemDescription, bIsKeyed),
      QZ_SLOT(IHostItemDescription, bIsMemo),
      QZ_SLOT(IHostItemDescription, bIsTextMemo),
      QZ_SLOT(IHostItemDescription, bIsBinaryMemo),
      QZ_SLOT(IHostItemDescription, bIsNumeric),
      QZ_SLOT(IHostItemDescription, bIsText),
      QZ_SLOT(IHostItemDescription, nGetKeyNumber),
      QZ_SLOT(IHostItemDescription, nGetComponentCount),
      QZ_SLOT(IHostItemDescription, bIsPrimaryKey),
      QZ_SLOT(IHostItemDescription, bIsUnique),
      QZ_SLOT(IHostItemDescription, bIsKeyWithDuplicates),
      QZ_SLOT(IHostItemDescription, bIsCompositeKey),
      QZ_SLOT(IHostItemDescription, bIsAscendingKey),
      QZ_SLOT(IHostItemDescription, bIsDescending),
      QZ_SLOT(IHostItemDescription, bHasFlag0080),
      QZ_SLOT(IHostItemDescription, bHasFlag0040),
      QZ_SLOT(IHostItemDescription, bHasFlag0020),
      QZ_SLOT(IHostItemDescription, pGetComponent),
      QZ_SLOT(IHostItemDescription, nGetElementOffset),
      QZ_SLOT(IHostItemDescription, nGetNullFlagIndex),
      QZ_SLOT(IHostItemDescription, pGetDefaultValue),
      QZ_SLOT(IHostItemDescription, pszGetSecondName),
      QZ_SLOT(IHostItemDescription, pszGetAlias),
      QZ_SLOT(IHostItemDescription, pszGetThirdName),
      QZ_SLOT(IHostItemDescription, nGetItemKind),
      QZ_SLOT(IHostItemDescription, piGetSubDescription),
      QZ_SLOT(IHostItemDescription, nGetPrecision),
      QZ_SLOT(IHostItemDescription, nGetScale),
      QZ_SLOT(IHostItemDescription, pszGetCaption),
      QZ_SLOT(IHostItemDescription, pszGetTableName),
      QZ_SLOT(IHostItemDescription, nGetItemTypeCode),
      QZ_SLOT(IHostItemDescription, Slot45),
      QZ_SLOT(IHostItemDescription, bIsUpdatable),
      QZ_SLOT(IHostItemDescription, Slot47),
      QZ_SLOT(IHostItemDescription, bIsOption4Clear),
      QZ_SLOT(IHostItemDescription, SetOption4),
      QZ_SLOT(IHostItemDescription, pszGetOrigin),
      QZ_SLOT(IHostItemDescription, pszGetFileName),
      QZ_SLOT(IHostItemDescription, piGetExpression),
      QZ_SLOT(IHostItemDescription, nSlot53),
      QZ_SLOT(IHostItemDescription, bIsNullAllowed),
      QZ_SLOT(IHostItemDescription, DeletingDestructor),
      QZ_SLOT(IHostItemDescription, SetPrecision),
      QZ_SLOT(IHostItemDescription, SetScale),
      QZ_SLOT(IHostItemDescription, pCopyAs),
  };
  ExpectSlotComments("host/host_objects.h", item, "IHostItemDescription");
  ExpectSlotsFromZeroTo(item, 59);
  ExpectSlotComments("host/host_objects.h",
                     {
                         QZ_SLOT(IHostFileDescription, nGetInterfaceLevel),
                         QZ_SLOT(IHostFileDescription, nSlot1),
                         QZ_SLOT(IHostFileDescription, nSlot2),
                         QZ_SLOT(IHostFileDescription, nSlot3),
                         QZ_SLOT(IHostFileDescription, Slot4),
                         QZ_SLOT(IHostFileDescription, AddExternalRef),
                         QZ_SLOT(IHostFileDescription, nReleaseExternal),
                         QZ_SLOT(IHostFileDescription, pszGetName),
                         QZ_SLOT(IHostFileDescription, pszGetNameAgain),
                         QZ_SLOT(IHostFileDescription, pszGetEmptyText),
                         QZ_SLOT(IHostFileDescription, nGetRecordSize),
                         QZ_SLOT(IHostFileDescription, nGetFullSize),
                         QZ_SLOT(IHostFileDescription, nGetItemCount),
                         QZ_SLOT(IHostFileDescription, nGetKeyCount),
                         QZ_SLOT(IHostFileDescription, nGetLargeItemCount),
                         QZ_SLOT(IHostFileDescription, nGetColumnCount),
                         QZ_SLOT(IHostFileDescription, piGetItem),
                         QZ_SLOT(IHostFileDescription, piFindItem),
                         QZ_SLOT(IHostFileDescription, piGetKey),
                         QZ_SLOT(IHostFileDescription, piGetLargeItem),
                         QZ_SLOT(IHostFileDescription, nSlot20),
                         QZ_SLOT(IHostFileDescription, pszGetSqlTableName),
                         QZ_SLOT(IHostFileDescription, piGetIdentifyingKey),
                         QZ_SLOT(IHostFileDescription, pszGetSecondaryName),
                         QZ_SLOT(IHostFileDescription, pszGetTertiaryName),
                         QZ_SLOT(IHostFileDescription, pszGetOwnerName),
                         QZ_SLOT(IHostFileDescription, pszGetDatabaseName),
                     },
                     "IHostFileDescription");
  ExpectSlotComments("host/host_objects.h",
                     {
                         QZ_SLOT(IHostRegistryKey, nGetKey),
                     },
                     "IHostRegistryKey");
  ExpectSlotComments("host/host_objects.h",
                     {
                         QZ_SLOT(IHostFileHandle, nGetFileId),
                         QZ_SLOT(IHostFileHandle, nGetContextId),
                     },
                     "IHostFileHandle");
  ExpectSlotComments("host/host_objects.h",
                     {
                         QZ_SLOT(IHostKeyTranslator, bTranslateKey),
                     },
                     "IHostKeyTranslator");
  ExpectSlotComments("host/host_objects.h",
                     {
                         QZ_SLOT(IHostNamedObject, AddExternalRef),
                         QZ_SLOT(IHostNamedObject, ReleaseExternalRef),
                         QZ_SLOT(IHostNamedObject, pszGetName),
                         QZ_SLOT(IHostNamedObject, nIsPending),
                     },
                     "IHostNamedObject");
  ExpectSlotComments("host/host_objects.h",
                     {
                         QZ_SLOT(IHostSqlQuery, nQueryLibrary),
                     },
                     "IHostSqlQuery");
}

}  // namespace
