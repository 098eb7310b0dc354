// The error object: definition lookups, message ordering, information items, copies, moves and nested errors. Texts
// come from a message callback so that each case knows exactly what a message says.
#include "foundation/x_error.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "foundation/message_text.h"
#include "foundation/ref_counted.h"
#include "foundation/t_string.h"

namespace {

std::map<std::uint32_t, std::u16string>& Texts() {
  static std::map<std::uint32_t, std::u16string> texts;
  return texts;
}

std::int32_t Callback(std::uint32_t message, char16_t* buffer, std::uint32_t capacity) {
  const auto it = Texts().find(message);
  if (it == Texts().end()) return 0;
  const std::u16string& text = it->second;
  const std::size_t n = std::min<std::size_t>(text.size(), capacity ? capacity - 1 : 0);
  std::copy_n(text.data(), n, buffer);
  if (capacity) buffer[n] = 0;
  return static_cast<std::int32_t>(text.size());
}

class XErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Texts() = {{25624, u"Row one %1"}, {28624, u"Duplicate code"}, {2458, u"Fetch %1!u!"},
               {100, u"First"},        {101, u"Second"},           {25298, u"Status %1!u!/%2!u!"},
               {25293, u"Convert %1!u!"}, {25295, u"Value out of range"},    {25193, u"Out of memory"}};
    gpfnHostMessageCallback = Callback;
  }
  void TearDown() override { gpfnHostMessageCallback = nullptr; }
};

struct Counted : CRefCounted {
  explicit Counted(bool& destroyed) : m_destroyed(destroyed) {}
  ~Counted() override { m_destroyed = true; }
  bool& m_destroyed;
};

TEST_F(XErrorTest, DefinitionLookup) {
  CModuleError error;
  error.SetError(&gstModuleDescriptor, 1, u"x");
  EXPECT_EQ(error.nGetLevel(), ERROR_LEVEL_FATAL);
  EXPECT_EQ(error.nGetCode(), 1u);
  EXPECT_EQ(error.nGetNumberShown(), 1u);
  EXPECT_EQ(std::u16string(error.pszGetUserMessage()), u"Row one x");
  EXPECT_EQ(std::u16string(error.pszGetModuleName()), gstModuleDescriptor.pszFileName);
  EXPECT_EQ(std::u16string(error.pszGetModuleVersion()), u"17.0.65.0");

  error.SetError(&gstModuleDescriptor, 1002, 7u);
  EXPECT_EQ(error.nGetNumberShown(), 2457u);
  EXPECT_EQ(std::u16string(error.pszGetUserMessage()), u"Fetch 7");
  EXPECT_EQ(error.nGetMessageCount(), 1u);

  error.SetError(&gstModuleDescriptor, 29);
  EXPECT_EQ(error.nGetMessageAt(0), 28624u);

  // A code without a row: level 3, code 0, no user text, and a debug line naming the code.
  error.SetError(&gstModuleDescriptor, 999);
  EXPECT_EQ(error.nGetLevel(), ERROR_LEVEL_FATAL);
  EXPECT_EQ(error.nGetCode(), 0u);
  EXPECT_EQ(std::u16string(error.pszGetUserMessage()), u"");
  EXPECT_EQ(std::u16string(error.pszGetDebugText()),
            u"##(CXError)-Pas de définition d'erreur dans gstErrorDef pour l'identifiant <999>##");
}

TEST_F(XErrorTest, InsertAndAddOrderMessages) {
  CModuleError inserted;
  inserted.InsertUserMessage(&gstModuleDescriptor, 100);
  inserted.InsertUserMessage(&gstModuleDescriptor, 101);
  EXPECT_EQ(std::u16string(inserted.pszGetUserMessage()), u"Second\r\nFirst");
  EXPECT_EQ(inserted.nGetMessageAt(0), 101u);
  EXPECT_EQ(inserted.nGetMessageAt(1), 100u);

  CModuleError added;
  added.AddUserMessage(&gstModuleDescriptor, 100);
  added.AddUserMessage(&gstModuleDescriptor, 101);
  EXPECT_EQ(std::u16string(added.pszGetUserMessage()), u"First\r\nSecond");
  EXPECT_EQ(added.nGetMessageAt(0), 100u);

  // A present message that cannot be formatted is told apart from a missing one, with the formatter's error.
  Texts()[102] = u"Broken %1!";
  CModuleError broken;
  broken.AddUserMessage(&gstModuleDescriptor, 102);
  EXPECT_EQ(std::u16string(broken.pszGetUserMessage()), u"");
  EXPECT_EQ(std::u16string(broken.pszGetDebugText()), u"##(CXError)-Ressource <102> vide. LastError = <87>##");

  // A number without text stays in the list, adds no user line and says so in the debug text.
  gpfnHostMessageCallback = nullptr;
  CModuleError missing;
  missing.AddUserMessage(nullptr, 4242);
  EXPECT_EQ(missing.nGetMessageCount(), 1u);
  EXPECT_EQ(std::u16string(missing.pszGetUserMessage()), u"");
  EXPECT_EQ(std::u16string(missing.pszGetDebugText()), u"##(CXError)-Ressource <4242> non chargée##");
  missing.AddDebugMessage(nullptr, MESSAGE_NONE);
  EXPECT_EQ(std::u16string(missing.pszGetDebugText()), u"##(CXError)-Ressource <4242> non chargée##");
}

TEST_F(XErrorTest, StatusCodesAlwaysLeaveAFailureWithText) {
  CModuleError error;
  error.SetStatusError(&gstModuleDescriptor, 1, 16, 26);
  EXPECT_EQ(error.nGetCode(), 65u);
  EXPECT_EQ(std::u16string(error.pszGetUserMessage()), u"Status 16/26");
  error.SetStatusError(&gstModuleDescriptor, 105, 16, 26);
  EXPECT_EQ(error.nGetCode(), 60u);

  error.SetStatusError(&gstModuleDescriptor, 100, 0, 0);
  EXPECT_EQ(error.nGetLevel(), ERROR_LEVEL_FATAL) << "out of memory must read as a failure";
  EXPECT_EQ(error.nGetCode(), 0u);
  EXPECT_EQ(error.nGetSystemCode(), 14u);
  EXPECT_EQ(std::u16string(error.pszGetUserMessage()), u"Out of memory");

  for (std::uint32_t status : {102u, 103u, 108u, 150u, 0x80000000u, 0xFFFFFFFFu}) {
    error.Clear();
    error.SetStatusError(&gstModuleDescriptor, status, 16, 26);
    EXPECT_EQ(error.nGetLevel(), ERROR_LEVEL_FATAL) << status;
    EXPECT_NE(std::u16string(error.pszGetUserMessage()), u"") << status;
  }
  error.SetStatusError(&gstModuleDescriptor, 0, 0, 0);
  EXPECT_EQ(error.nGetLevel(), ERROR_LEVEL_NONE);
}

TEST_F(XErrorTest, InformationItems) {
  CModuleError error;
  std::uint32_t native = 942;
  std::uint64_t big = 0x123456789ull;
  error.SetInfo(ERROR_INFO_FILE, u"T1");
  error.SetInfo(ERROR_INFO_NATIVE_CODE, &native);
  error.SetInfo(12, &big);
  error.SetInfo(ERROR_INFO_FILE, nullptr);  // null keeps the old value
  error.SetInfo(40, u"ignored kind");
  EXPECT_EQ(std::u16string(error.pszGetInfoText(ERROR_INFO_FILE)), u"T1");
  error.SetInfo(ERROR_INFO_FILE, u"T2");
  EXPECT_EQ(std::u16string(error.pszGetInfoText(ERROR_INFO_FILE)), u"T2");

  std::uint32_t code = 0;
  ASSERT_EQ(error.nGetInfo(ERROR_INFO_NATIVE_CODE, &code), 1);
  EXPECT_EQ(code, 942u);
  std::uint64_t out = 0;
  std::uint64_t* place = &out;
  ASSERT_EQ(error.nGetInfo(12, &place), 1);
  EXPECT_EQ(out, big);
  EXPECT_EQ(error.nGetInfo(ERROR_INFO_ITEM, &code), 0);

  bool destroyed = false;
  auto* counted = new Counted(destroyed);
  Counted& object = *counted;
  error.SetInfo(ERROR_INFO_OBJECT, counted);
  error.SetInfo(ERROR_INFO_OBJECT, counted);  // the same object again changes nothing
  EXPECT_EQ(object.nGetRefCount(), 1u);

  // Another owner's error does not take the object; an error of the same owner shares it.
  CXError other(7, error, 0);
  EXPECT_EQ(other.nGetInfo(ERROR_INFO_OBJECT, &out), 0);
  EXPECT_EQ(std::u16string(other.pszGetInfoText(ERROR_INFO_FILE)), u"T2");
  {
    CXError same(ERROR_OWNER_NUMBER, error, 0);
    EXPECT_EQ(object.nGetRefCount(), 2u);
  }
  EXPECT_EQ(object.nGetRefCount(), 1u);
  EXPECT_FALSE(destroyed);
  error.Clear();  // the error's reference was the last one
  EXPECT_TRUE(destroyed);
}

TEST_F(XErrorTest, NestedErrorsCopiesAndMoves) {
  CModuleError parent;
  parent.SetError(&gstModuleDescriptor, 1, u"p");
  CModuleError child;
  child.SetError(&gstModuleDescriptor, 1, u"c");
  parent.AddNestedError(&child, 0, 0);
  parent.AddNestedError(&child, 0, 0);
  EXPECT_EQ(parent.nGetNestedCount(), 2u);
  // Only the first nested error brings its user text up.
  EXPECT_EQ(std::u16string(parent.pszGetUserMessage()), u"Row one p\r\nRow one c");
  EXPECT_EQ(parent.pGetInnermostError(), parent.pGetNestedError(1));
  EXPECT_EQ(parent.pGetNestedError(2), nullptr);

  CModuleError copy;
  copy.CopyFrom(parent);
  copy.CopyFrom(copy);
  EXPECT_EQ(copy.nGetNestedCount(), 2u);
  EXPECT_EQ(std::u16string(copy.pszGetUserMessage()), u"Row one p\r\nRow one c");

  CModuleError moved;
  moved.MoveFrom(copy);
  EXPECT_EQ(moved.nGetNestedCount(), 2u);
  EXPECT_EQ(moved.nGetCode(), 1u);
  EXPECT_EQ(copy.nGetLevel(), ERROR_LEVEL_NONE);
  EXPECT_EQ(copy.nGetNestedCount(), 0u);
  EXPECT_EQ(std::u16string(copy.pszGetUserMessage()), u"");
}

TEST_F(XErrorTest, AnErrorFedItsOwnContents) {
  // Moved into its own nested list: the error keeps its old contents one level down.
  CModuleError error;
  error.SetError(&gstModuleDescriptor, 1, u"outer");
  CModuleError inner;
  inner.SetError(&gstModuleDescriptor, 1, u"inner");
  error.AddNestedError(&inner, 0, 1);
  error.AddNestedError(&error, 1, 0);
  ASSERT_EQ(error.nGetNestedCount(), 1u);
  CXError* old = error.pGetNestedError(0);
  EXPECT_EQ(old->nGetCode(), 1u);
  EXPECT_EQ(std::u16string(old->pszGetUserMessage()), u"Row one outer");
  ASSERT_EQ(old->nGetNestedCount(), 1u);
  EXPECT_EQ(std::u16string(old->pGetNestedError(0)->pszGetUserMessage()), u"Row one inner");
  EXPECT_EQ(error.nGetCode(), 0u);
  EXPECT_EQ(std::u16string(error.pszGetUserMessage()), u"Row one outer") << "the first nested error's text comes up";

  // Moved from one of its own nested errors, at any depth: that error's contents replace the whole.
  error.MoveFrom(*old->pGetNestedError(0));
  EXPECT_EQ(error.nGetCode(), 1u);
  EXPECT_EQ(std::u16string(error.pszGetUserMessage()), u"Row one inner");
  EXPECT_EQ(error.nGetNestedCount(), 0u);
  error.AddNestedError(&inner, 0, 1);
  error.MoveFrom(*error.pGetNestedError(0));
  EXPECT_EQ(std::u16string(error.pszGetUserMessage()), u"Row one inner");
  EXPECT_EQ(error.nGetNestedCount(), 0u);

  // Texts of its own: appended as a line, or a tail assigned to the whole.
  error.AppendUserText(error.pszGetUserMessage());
  EXPECT_EQ(std::u16string(error.pszGetUserMessage()), u"Row one inner\r\nRow one inner");
  error.AddDebugText(u"debug");
  error.AddDebugText(error.pszGetDebugText());
  EXPECT_EQ(std::u16string(error.pszGetDebugText()), u"debug\r\ndebug");
  error.SetSystemText(u"system text");
  error.SetSystemText(error.pszGetSystemMessage() + 7);
  EXPECT_EQ(std::u16string(error.pszGetSystemMessage()), u"text");
}

TEST_F(XErrorTest, AReleaseBeyondTheCountLeavesItAtZero) {
  auto* error = new CModuleError();
  EXPECT_EQ(error->nRelease(), 0) << "nothing counted, nothing to give back";
  error->AddRef();
  error->AddRef();
  EXPECT_EQ(error->nRelease(), 1);
  CModuleError onStack;
  EXPECT_EQ(onStack.nRelease(), 0);
  EXPECT_EQ(onStack.nRelease(), 0);
  EXPECT_EQ(error->nRelease(), 0);  // the last reference destroys it (the sanitizer build checks nothing leaks)
}

TEST_F(XErrorTest, IdentificationRecordAndDump) {
  CModuleError error;
  AddErrorIdentification(error, 5, 4);
  EXPECT_EQ(std::u16string(error.pszGetDebugText()), u"IEQZORA=5.4\r\nModule=<QZORA>\r\nVersion=<17.0.65.0>");

  SetErrorFileAndItem(error, nullptr, u"col");
  EXPECT_EQ(error.pszGetInfoText(ERROR_INFO_ITEM), nullptr);
  SetErrorFileAndItem(error, u"T", u"col");
  error.AppendUserText(u"user");
  error.SetSystemText(u"system");
  CTString dump;
  BuildIgnoredErrorDump(error, dump);
  EXPECT_EQ(std::u16string(dump.pszGet()),
            u"Message d'erreur ignoré :Dump du CXError\r\nfichier <T>, rubrique <col>\r\n"
            u"Message d'erreur utilisateur : \r\nuser\r\nMessage d'erreur système : \r\nsystem\r\n"
            u"Informations de debug : \r\nIEQZORA=5.4\r\nModule=<QZORA>\r\nVersion=<17.0.65.0>");

  error.AppendUserText(std::u16string(2000, u'x').c_str());
  BuildIgnoredErrorDump(error, dump);
  EXPECT_EQ(dump.nGetLength(), 1000u);
}

}  // namespace
