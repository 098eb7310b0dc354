// The error holder and the error object the runtime reads by slot: each operation's `// slot N` comment names the
// slot the compiled table puts it at, without a hole.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "foundation/error_holder.h"
#include "foundation/x_error.h"
#include "tests/slot_of.h"

namespace {

TEST(ErrorObjectsSlotsTest, EveryCommentNamesTheCompiledSlot) {
  const std::map<std::string, std::size_t> holder = {
      QZ_SLOT(CErrorHolder, nSlot0),
      QZ_SLOT(CErrorHolder, nSlot1),
      QZ_SLOT(CErrorHolder, nSlot2),
      QZ_SLOT(CErrorHolder, nSlot3),
      QZ_SLOT(CErrorHolder, Slot4),
      QZ_SLOT(CErrorHolder, pszGetUserMessage),
      QZ_SLOT(CErrorHolder, nGetErrorCode),
      QZ_SLOT(CErrorHolder, nGetRecordedCode),
      QZ_SLOT(CErrorHolder, pszGetFileName),
      QZ_SLOT(CErrorHolder, pszGetItemName),
      QZ_SLOT(CErrorHolder, pGetEmbeddedObject),
      QZ_SLOT(CErrorHolder, nGetLevel),
      QZ_SLOT(CErrorHolder, Slot12),
      QZ_SLOT(CErrorHolder, Slot13),
      QZ_SLOT(CErrorHolder, Slot14),
      QZ_SLOT(CErrorHolder, Slot15),
      QZ_SLOT(CErrorHolder, Slot16),
      QZ_SLOT(CErrorHolder, Destroy),
      QZ_SLOT(CErrorHolder, Clear),
      QZ_SLOT(CErrorHolder, CopyFrom),
      QZ_SLOT(CErrorHolder, pClone),
  };
  ExpectSlotComments("foundation/error_holder.h", holder, "CErrorHolder");
  ExpectSlotsFromZeroTo(holder, 21);
  const std::map<std::string, std::size_t> error = {
      QZ_SLOT(CXError, Destroy),        QZ_SLOT(CXError, nRelease),       QZ_SLOT(CXError, pszDuplicateText),
      QZ_SLOT(CXError, pszReallocText), QZ_SLOT(CXError, bAssignText),    QZ_SLOT(CXError, bAppendText),
      QZ_SLOT(CXError, FreeText),       QZ_SLOT(CXError, AddNestedError), QZ_SLOT(CXError, FreeNestedErrors),
  };
  ExpectSlotComments("foundation/x_error.h", error, "CXError");
  ExpectSlotsFromZeroTo(error, 9);
}

}  // namespace
