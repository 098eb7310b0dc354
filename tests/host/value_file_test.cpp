// Value files on real files: round trips of the savable types across the 16384-byte blocks, texts saved with their
// terminator, the errors a file that cannot be opened leaves, an empty file, and a value that has nothing to save.
#include "host/value_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/error_holder.h"
#include "host/host_string.h"
#include "host/value_entry_points.h"
#include "host/value_item.h"
#include "standin/runtime/runtime_standin.h"
#include "tests/support/bound_runtime_services.h"
#include "tests/support/file_fixture.h"

namespace {

class ValueFileTest : public FileFixture {
 protected:
  void SetUp() override {
    FileFixture::SetUp();
    ASSERT_EQ(bInitKXConvFromVM(qzrt::ModuleHandle(), 2, 2), 1);
    ASSERT_EQ(bInitKXCalcFromVM(qzrt::ModuleHandle(), 2, 2), 1);
  }

  // The bytes a value holds, as the value itself reports them.
  static std::string Bytes(CValueItem& item) {
    const void* data = item.pGetValueData();
    std::size_t size = 0;
    item.Value().nGetDataSize(&size);
    return data ? std::string(static_cast<const char*>(data), size) : std::string();
  }

  CBoundRuntimeServices m_services;
  CErrorHolder m_holder;
};

TEST_F(ValueFileTest, NumbersAreSavedAsTheirBytes) {
  CValueItem item;
  const std::int32_t number = 0x01020304;
  item.Value().SetType(HOST_TYPE_INT32);
  item.Value().Set(&number);
  Put("f", "a much longer content that the save replaces");
  ASSERT_TRUE(bSaveValueToFile(&item, WidePath("f").c_str(), &m_holder));
  EXPECT_EQ(Get("f"), std::string("\x04\x03\x02\x01", 4));
  EXPECT_FALSE(m_holder.bHasError());
}

TEST_F(ValueFileTest, AValueWithNothingToSaveLeavesTheFileAlone) {
  Put("f", "precious");
  CValueItem unset;
  ASSERT_FALSE(bSaveValueToFile(&unset, WidePath("f").c_str(), &m_holder));
  EXPECT_EQ(Get("f"), "precious");
  EXPECT_TRUE(m_holder.bHasError());
  EXPECT_EQ(m_holder.nGetRecordedCode(), 61u);
  EXPECT_FALSE(Exists("none"));
  CErrorHolder other;
  ASSERT_FALSE(bSaveValueToFile(&unset, WidePath("none").c_str(), &other));
  EXPECT_FALSE(Exists("none")) << "no file is made for it either";
}

TEST_F(ValueFileTest, FilesThatCannotBeOpenedReportError15) {
  CValueItem item;
  const std::u16string missing = WidePath("missing");
  ASSERT_FALSE(bLoadValueFromFile(&item, missing.c_str(), &m_holder, 1));
  EXPECT_EQ(m_holder.nGetRecordedCode(), 15u);
  CXError* error = m_holder.pGetEmbeddedObject();
  std::uint32_t code = 0;
  ASSERT_TRUE(error->nGetInfo(ERROR_INFO_ERROR_CODE, &code));
  EXPECT_EQ(code, 15u);
  EXPECT_EQ(error->nGetSystemCode(), 2u);
  const std::u16string message = error->pszGetUserMessage();
  EXPECT_NE(message.find(missing), std::u16string::npos) << "the file name is the first insert";
  ASSERT_EQ(error->nGetNestedCount(), 1u);
  CXError* cause = error->pGetNestedError(0);
  EXPECT_EQ(cause->nGetMessageAt(0), 28139u) << "the stream's own error stays beneath";
  EXPECT_EQ(std::u16string(cause->pszGetInfoText(ERROR_INFO_PATH)), missing);
  EXPECT_EQ(item.Value().nGetType(), HOST_TYPE_EMPTY) << "the value is not touched";

  CErrorHolder other;
  const std::int32_t number = 1;
  item.Value().SetType(HOST_TYPE_INT32);
  item.Value().Set(&number);
  ASSERT_FALSE(bSaveValueToFile(&item, WidePath("no/dir/f").c_str(), &other));
  EXPECT_EQ(other.nGetRecordedCode(), 15u);
  EXPECT_EQ(other.pGetEmbeddedObject()->pGetNestedError(0)->nGetMessageAt(0), 28140u);
}

}  // namespace
