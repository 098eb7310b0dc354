// The binary slot of a virtual operation, read from its member pointer (the Itanium C++ ABI of the test build stores
// a virtual member pointer as 1 plus the operation's byte offset in the table), and the check of a header's
// `// slot N` comments against the compiled slots.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

inline constexpr std::size_t NOT_VIRTUAL = static_cast<std::size_t>(-1);

template <typename Member>
std::size_t SlotOf(Member member) {
  struct {
    std::uintptr_t nPointer;
    std::ptrdiff_t nAdjust;
  } raw;
  static_assert(sizeof(member) == sizeof(raw), "an Itanium member-function pointer");
  std::memcpy(&raw, &member, sizeof raw);
  if ((raw.nPointer & 1) == 0) return NOT_VIRTUAL;
  return (raw.nPointer - 1) / sizeof(void*);
}

// An entry of a class's compiled slot map: QZ_SLOT(CClass, operation).
#define QZ_SLOT(type, name) std::pair<const std::string, std::size_t>(#name, SlotOf(&type::name))

inline std::string SourceText(const std::string& path) {
  std::ifstream file(std::string(QZ_SOURCE_DIR) + "/" + path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The "slot N" comment after each declaration (ended by ';' or by an inline body) of a header, by operation name.
inline std::map<std::string, std::size_t> CommentedSlots(const std::string& source) {
  // Comments reduced to their slot numbers first, so that no word of a comment reads as a declaration.
  std::string code = std::regex_replace(source, std::regex(R"(//[ \t]*slot[ \t]+(\d+)[^\n]*)"), "//slot $1");
  code = std::regex_replace(code, std::regex(R"(//(?!slot )[^\n]*)"), "");
  std::map<std::string, std::size_t> slots;
  const std::regex declaration(R"(\b(\w+)\s*\([^;{]*\)[^;{]*(?:;|\{[^}]*\})[ \t]*//slot (\d+))");
  for (auto it = std::sregex_iterator(code.begin(), code.end(), declaration); it != std::sregex_iterator(); ++it) {
    slots[(*it)[1]] = std::stoul((*it)[2]);
  }
  return slots;
}

// The declaration of one class of a header, from "class <name>" to its closing "};".
inline std::string ClassText(const std::string& source, const std::string& name) {
  const std::size_t start = source.find("class " + name + " ");
  if (start == std::string::npos) return {};
  return source.substr(start, source.find("\n};", start) - start);
}

// Every operation of the compiled map carries a comment naming its slot in the header (in the named class when
// given), and every slot comment there names an operation of the map at that slot.
inline void ExpectSlotComments(const std::string& header, const std::map<std::string, std::size_t>& compiled,
                               const std::string& className = {}) {
  const std::string source = SourceText(header);
  const std::map<std::string, std::size_t> commented =
      CommentedSlots(className.empty() ? source : ClassText(source, className));
  if (!className.empty()) {
    EXPECT_FALSE(commented.empty()) << header << ": no class " << className;
  }
  for (const auto& [name, slot] : compiled) {
    const auto found = commented.find(name);
    if (found == commented.end()) {
      ADD_FAILURE() << header << ": " << name << " has no slot comment";
    } else {
      EXPECT_EQ(found->second, slot) << header << ": " << name;
    }
  }
  for (const auto& entry : commented) EXPECT_EQ(compiled.count(entry.first), 1u) << header << ": " << entry.first;
}

// The compiled slots fill 0 to count - 1 without a hole or a shared slot.
inline void ExpectSlotsFromZeroTo(const std::map<std::string, std::size_t>& compiled, std::size_t count) {
  std::set<std::size_t> used;
  for (const auto& entry : compiled) used.insert(entry.second);
  EXPECT_EQ(used.size(), count);
  EXPECT_EQ(used.empty() ? 0 : *used.rbegin() + 1, count);
}
