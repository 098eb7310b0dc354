#include "platform/profile.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/posix/native_path.h"
#include "platform/posix/text_out.h"
#include "platform/posix/utf.h"

namespace platform {

namespace {

struct Entry {
  std::u16string key;
  std::optional<std::u16string> value;  // none for a line without "="
};

struct Section {
  std::u16string name;
  std::vector<Entry> entries;
};

// Windows compares profile names without case; ASCII and Latin-1 letters cover the names the driver uses.
char16_t Fold(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
  return c;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v'; }

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::u16string DecodeFile(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return text;
  }
  std::string_view view(bytes);
  if (view.substr(0, 3) == "\xEF\xBB\xBF") view.remove_prefix(3);
  return posix::ToUtf16(view);
}

// Lines before the first section belong to no section and are never read, as on Windows.
std::vector<Section> ParseProfile(const std::u16string& text) {
  std::vector<Section> sections;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(u'\n', at);
    if (end == std::u16string::npos) end = text.size();
    const std::u16string_view line = Trim(std::u16string_view(text).substr(at, end - at));
    at = end + 1;
    if (line.empty() || line.front() == u';') continue;
    if (line.front() == u'[') {
      const std::size_t close = line.find(u']');
      const std::u16string_view name = line.substr(1, close == std::u16string_view::npos ? line.npos : close - 1);
      sections.push_back(Section{std::u16string(Trim(name)), {}});
      continue;
    }
    if (sections.empty()) continue;
    const std::size_t equals = line.find(u'=');
    Entry entry;
    entry.key = Trim(line.substr(0, equals));
    if (equals != std::u16string_view::npos) {
      std::u16string_view value = Trim(line.substr(equals + 1));
      if (value.size() > 1 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
      }
      entry.value = std::u16string(value);
    }
    sections.back().entries.push_back(std::move(entry));
  }
  return sections;
}

bool IsBareName(std::u16string_view name) {
  return name.find_first_of(u"\\/") == std::u16string_view::npos && !posix::HasDrivePrefix(name);
}

std::u16string WindowsDirectoryText() {
  const char* named = std::getenv("QZ_WINDOWS_DIR");
  return posix::ToUtf16(named && *named ? named : "/etc");
}

// The file's sections; none (and last error 2) when it cannot be read.
std::optional<std::vector<Section>> LoadProfile(const char16_t* fileName) {
  if (!fileName || !*fileName) {
    SetLastErrorCode(kErrorFileNotFound);
    return std::nullopt;
  }
  std::u16string path(fileName);
  if (IsBareName(path)) path = WindowsDirectoryText() + u"/" + path;
  std::ifstream file(posix::NativePath(path.c_str()), std::ios::binary);
  if (!file) {
    SetLastErrorCode(kErrorFileNotFound);
    return std::nullopt;
  }
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return ParseProfile(DecodeFile(bytes));
}

const Section* FindSection(const std::vector<Section>& sections, std::u16string_view name) {
  for (const Section& section : sections) {
    if (SameName(section.name, name)) return &section;
  }
  return nullptr;
}

// The value of a key given with "="; the first of equal keys wins.
const std::u16string* FindValue(const Section& section, std::u16string_view key) {
  for (const Entry& entry : section.entries) {
    if (entry.value && SameName(entry.key, key)) return &*entry.value;
  }
  return nullptr;
}

std::uint32_t CopyValue(std::u16string_view text, char16_t* buffer, std::uint32_t size) {
  const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
  text.copy(buffer, n);
  buffer[n] = 0;
  return static_cast<std::uint32_t>(n);
}

// Names each followed by a NUL, then one more NUL; a list cut short keeps its two closing NULs.
std::uint32_t CopyNameList(const std::vector<std::u16string_view>& names, char16_t* buffer, std::uint32_t size) {
  if (size < 2) {
    buffer[0] = 0;
    return 0;
  }
  std::u16string list;
  for (std::u16string_view name : names) {
    list.append(name);
    list.push_back(0);
  }
  if (list.size() + 1 > size) {
    list.resize(size - 2);
    list.push_back(0);
    list.copy(buffer, list.size());
    buffer[list.size()] = 0;
    return size - 2;
  }
  list.copy(buffer, list.size());
  buffer[list.size()] = 0;
  return static_cast<std::uint32_t>(list.size());
}

}  // namespace

std::uint32_t ReadProfileString(const char16_t* section, const char16_t* key, const char16_t* defaultText,
                                char16_t* buffer, std::uint32_t size, const char16_t* fileName) {
  if (!buffer || size == 0) return 0;
  const std::optional<std::vector<Section>> sections = LoadProfile(fileName);
  if (sections && !section) {
    std::vector<std::u16string_view> names;
    for (const Section& each : *sections) names.emplace_back(each.name);
    return CopyNameList(names, buffer, size);
  }
  const Section* found = sections && section ? FindSection(*sections, Trim(section)) : nullptr;
  if (found && !key && !found->entries.empty()) {
    std::vector<std::u16string_view> names;
    for (const Entry& entry : found->entries) names.emplace_back(entry.key);
    return CopyNameList(names, buffer, size);
  }
  const std::u16string* value = found && key ? FindValue(*found, Trim(key)) : nullptr;
  if (value) return CopyValue(*value, buffer, size);
  std::u16string_view fallback = defaultText ? std::u16string_view(defaultText) : std::u16string_view();
  while (!fallback.empty() && fallback.back() == u' ') fallback.remove_suffix(1);
  return CopyValue(fallback, buffer, size);
}

std::uint32_t ReadProfileInt(const char16_t* section, const char16_t* key, std::int32_t defaultValue,
                             const char16_t* fileName) {
  char16_t text[64];
  if (!section || !key || ReadProfileString(section, key, u"", text, std::size(text), fileName) == 0) {
    return static_cast<std::uint32_t>(defaultValue);
  }
  const char16_t* p = text;
  const bool negative = *p == u'-';
  if (*p == u'-' || *p == u'+') ++p;
  std::uint32_t value = 0;
  for (; *p >= u'0' && *p <= u'9'; ++p) value = value * 10 + static_cast<std::uint32_t>(*p - u'0');
  return negative ? 0u - value : value;
}

std::uint32_t WindowsDirectory(char16_t* buffer, std::uint32_t size) {
  return posix::CopyOut(WindowsDirectoryText(), size, buffer);
}

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(::getpid()); }

}  // namespace platform
