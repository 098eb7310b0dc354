// The runtime's interfaces as the driver declares them: each operation's `// slot N` comment names the slot the
// compiled table puts it at, so a declaration added or dropped out of place shows here before a call goes astray.
#include <gtest/gtest.h>

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
