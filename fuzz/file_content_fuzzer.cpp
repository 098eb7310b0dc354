// Files the driver reads: the configuration file (read through the profile calls) and value files (a runtime value
// loaded from a file). The input is the file's content, written to a file of this process's own.
//
// Properties: every section listed reads its key list, every listed key reads a value, each within the buffer and
// terminated; a short buffer receives a prefix of the whole answer; a number read is the leading number of its
// text. A value loaded from the file, binary or text, holds exactly the file's bytes, and a loaded binary value saved
// again writes exactly those bytes back.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "foundation/error_holder.h"
#include "host/host_services.h"
#include "host/host_type.h"
#include "host/library_entry.h"
#include "host/value_entry_points.h"
#include "host/value_file.h"
#include "host/value_item.h"
#include "platform/profile.h"
#include "standin/runtime/runtime_standin.h"

namespace {

struct SFiles {
  std::string narrow;
  std::u16string wide;
  std::string savedNarrow;
  std::u16string savedWide;
};

const SFiles& Files() {
  static const SFiles files = [] {
    SFiles made;
    // In memory where there is such a file system: every input is written and read back many times.
    const char* folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    const std::string base = std::string(folder) + "/qz_fuzz_file_" + std::to_string(::getpid());
    made.narrow = base + ".ini";
    made.wide.assign(made.narrow.begin(), made.narrow.end());
    made.savedNarrow = base + ".saved";
    made.savedWide.assign(made.savedNarrow.begin(), made.savedNarrow.end());
    bInitLibrary(nullptr);
    gpHostLocale = static_cast<IHostLocaleService*>(qzrt::LocaleService());
    gpHostStringAllocator = static_cast<IHostStringAllocator*>(qzrt::StringAllocator());
    bInitKXConvFromVM(qzrt::ModuleHandle(), 2, 2);
    bInitKXCalcFromVM(qzrt::ModuleHandle(), 2, 2);
    std::atexit([] {
      std::remove(Files().narrow.c_str());
      std::remove(Files().savedNarrow.c_str());
    });
    return made;
  }();
  return files;
}

// Larger than any answer from an input of libFuzzer's default largest size.
constexpr std::uint32_t kBigSize = 10000;
// Each read opens and parses the file again: a few names of each list are enough to reach every path (two sections
// of two keys: some twenty parses of the file per input, where three of three made forty).
constexpr std::size_t kNamesChecked = 2;

// The names of a NUL-separated list ending with a second NUL.
std::vector<std::u16string> Names(const char16_t* list, std::uint32_t length) {
  std::vector<std::u16string> names;
  for (std::uint32_t at = 0; at < length && names.size() < kNamesChecked;) {
    const std::u16string name(list + at);
    names.push_back(name);
    at += static_cast<std::uint32_t>(name.size()) + 1;
  }
  return names;
}

// A read in a big buffer, then in a small one: the small one receives a prefix of the big one, cut as a list is (two
// closing NULs) when a list was asked of a section known to be there.
std::u16string Read(const char16_t* section, const char16_t* key, std::uint32_t smallSize, bool list) {
  const char16_t* file = Files().wide.c_str();
  // Made once: filling ten thousand characters per read cost more than the read. The answer's own terminator is
  // what is checked, and a stale one from an earlier answer sits elsewhere than the length says.
  static std::vector<char16_t> big(kBigSize, u'#');
  const std::uint32_t length = platform::ReadProfileString(section, key, u"-", big.data(), kBigSize, file);
  Check(length < kBigSize && big[length] == 0);
  std::vector<char16_t> small(smallSize, u'#');
  const std::uint32_t cut = platform::ReadProfileString(section, key, u"-", small.data(), smallSize, file);
  if (smallSize == 0) {
    Check(cut == 0);
  } else if (list && length + 1 > smallSize && smallSize >= 2) {
    Check(cut == smallSize - 2 && small[cut] == 0 && small[cut + 1] == 0);
    Check(std::memcmp(small.data(), big.data(), cut * 2) == 0);
  } else if (!list || smallSize >= 2) {
    Check(cut == (length < smallSize ? length : smallSize - 1) && small[cut] == 0);
    Check(std::memcmp(small.data(), big.data(), cut * 2) == 0);
  }
  return std::u16string(big.data(), length);
}

void CheckProfile(std::uint32_t smallSize) {
  const std::u16string sections = Read(nullptr, nullptr, smallSize, true);
  for (const std::u16string& section : Names(sections.c_str(), static_cast<std::uint32_t>(sections.size()))) {
    const std::u16string keys = Read(section.c_str(), nullptr, smallSize, true);
    // A section without keys answers the default, as a missing one does.
    if (keys == u"-") continue;
    for (const std::u16string& key : Names(keys.c_str(), static_cast<std::uint32_t>(keys.size()))) {
      const std::u16string value = Read(section.c_str(), key.c_str(), smallSize, false);
      const std::uint32_t number = platform::ReadProfileInt(section.c_str(), key.c_str(), 7, Files().wide.c_str());
      std::uint32_t expected = 7;
      if (!value.empty()) {
        std::size_t p = 0;
        const bool negative = value[0] == u'-';
        if (value[0] == u'-' || value[0] == u'+') ++p;
        std::uint32_t magnitude = 0;
        for (; p < value.size() && p < 63 && value[p] >= u'0' && value[p] <= u'9'; ++p)
          magnitude = magnitude * 10 + static_cast<std::uint32_t>(value[p] - u'0');
        expected = negative ? 0u - magnitude : magnitude;
      }
      // A value of the default's own text reads as the default: the two cannot be told apart.
      if (value != u"-") Check(number == expected);
    }
  }
  // The driver's own reads of its options.
  Read(u"OPTIONS", u"NOWAIT", smallSize, false);
  Read(u"OPTIONS", u"LOADORACLE8CLIENT", smallSize, false);
}

std::string Content(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::string Bytes(CValueItem& item) {
  const void* data = item.pGetValueData();
  std::size_t size = 0;
  item.Value().nGetDataSize(&size);
  return data ? std::string(static_cast<const char*>(data), size) : std::string();
}

void CheckValueFile(const std::string& content, bool save) {
  for (int binary : {1, 0}) {
    CErrorHolder holder;
    CValueItem item;
    Check(bLoadValueFromFile(&item, Files().wide.c_str(), &holder, binary) == 1);
    Check(item.Value().wGetTypeWord() == (binary ? HOST_TYPE_BINARY_BUFFER : HOST_TYPE_TEXT_BUFFER));
    Check(Bytes(item) == content);
    if (save && binary && !content.empty()) {
      Check(bSaveValueToFile(&item, Files().savedWide.c_str(), &holder) == 1);
      Check(Content(Files().savedNarrow) == content);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string content(reinterpret_cast<const char*>(data + 1), size - 1);
  {
    std::ofstream file(Files().narrow, std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
  }
  CheckProfile(data[0] % 40);
  // A save flushes the file to the disk, which costs a hundred loads: one input in 256 asks for one.
  CheckValueFile(content, data[0] == 0xFF);
  return 0;
}
