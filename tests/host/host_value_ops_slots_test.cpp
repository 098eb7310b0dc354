// The runtime value's hand-made operation table: each entry's `// slot N` comment names its place in the table the
// runtime indexes, as the compiled layout puts it.
#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <regex>
#include <string>

#include "host/host_value.h"
#include "tests/slot_of.h"

namespace {

#define QZ_FIELD(name) std::pair<const std::string, std::size_t>(#name, offsetof(SHostValueOps, name) / sizeof(void*))

TEST(HostValueOpsSlotsTest, EveryCommentNamesTheCompiledPlace) {
  const std::map<std::string, std::size_t> compiled = {
      QZ_FIELD(Destroy),
      QZ_FIELD(CopyTo),
      QZ_FIELD(nGetStorageSize),
      QZ_FIELD(nGetStorageAddress),
      QZ_FIELD(nGet),
      QZ_FIELD(nGetSizeWithTerminator),
      QZ_FIELD(nGetDataPointer),
      QZ_FIELD(nCopyWithTerminator),
      QZ_FIELD(SetFromBuffer),
      QZ_FIELD(Set),
      QZ_FIELD(nGetNarrowText),
      QZ_FIELD(nGetWideText),
      QZ_FIELD(nGetLength),
      QZ_FIELD(bIsNonNegative),
      QZ_FIELD(nGetDataSize),
      QZ_FIELD(nCopyData),
      QZ_FIELD(nIncrement),
      QZ_FIELD(nDecrement),
      QZ_FIELD(SetFromNarrow),
      QZ_FIELD(SetFromNarrowZ),
      QZ_FIELD(SetFromWide),
      QZ_FIELD(SetFromWideZ),
      QZ_FIELD(SetFromNarrowCp),
      QZ_FIELD(SetFromNarrowZCp),
      QZ_FIELD(SetFromWideCp),
      QZ_FIELD(SetFromWideZCp),
      QZ_FIELD(SetFromTextEx),
      QZ_FIELD(SetOwnedCopyN),
      QZ_FIELD(SetOwnedCopy),
      QZ_FIELD(FreeText),
  };
  ExpectSlotsFromZeroTo(compiled, HOST_VALUE_OPERATION_COUNT);
  std::string source = SourceText("host/host_value.h");
  source = source.substr(source.find("struct SHostValueOps {"));
  source = source.substr(0, source.find("\n};"));
  std::map<std::string, std::size_t> commented;
  const std::regex entry(R"(QZ_HOLDER_CALL\*\s*(\w+)\)[^;]*;[ \t]*//[ \t]*slot[ \t]+(\d+))");
  for (auto it = std::sregex_iterator(source.begin(), source.end(), entry); it != std::sregex_iterator(); ++it) {
    commented[(*it)[1]] = std::stoul((*it)[2]);
  }
  EXPECT_EQ(commented, compiled);
}

#undef QZ_FIELD

}  // namespace
