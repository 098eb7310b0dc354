// The connection's option text, its connection string and the quoting and splitting of identifiers, over any UTF-16
// text. The text is cut at U+001F into: the ExtendedInformation text, the data source, the user, the password, the
// provider, then names. The Oracle connection is built from a runtime description holding those texts.
//
// Properties: the connection string is exactly its five parts; a key found in the option text has its value inside
// the text and up to the next ";", and cutting it shortens the text by at least the pair; a quoted name unquotes to
// itself (a reserved word to itself in upper case); names quoted part by part, joined by "." and split again give
// back the quoted parts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "foundation/option_text.h"
#include "foundation/t_string.h"
#include "host/library_entry.h"
#include "oracle/oracle_connection.h"
#include "standin/runtime/runtime_objects.h"

namespace {

std::u16string Of(const CTString& text) { return text.pszGet() ? std::u16string(text.pszGet()) : std::u16string(); }

std::u16string TrimmedRight(std::u16string text) {
  while (!text.empty() && text.back() == u' ') text.pop_back();
  return text;
}

std::u16string UpperAscii(std::u16string text) {
  for (char16_t& c : text)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return text;
}

// The name inside the quotes, the doubled quotes undone; nullopt when the text is not one quoted name.
std::optional<std::u16string> Unquoted(const std::u16string& quoted) {
  if (quoted.size() < 2 || quoted.front() != u'"' || quoted.back() != u'"') return std::nullopt;
  std::u16string name;
  for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
    if (quoted[i] == u'"') {
      if (i + 2 >= quoted.size() || quoted[i + 1] != u'"') return std::nullopt;
      ++i;
    }
    name += quoted[i];
  }
  return name;
}

void CheckOptionText(const std::u16string& options, const std::u16string& key) {
  if (key.empty()) return;
  CTString text(options.c_str());
  const std::size_t length = text.nGetLength();
  std::size_t keyStart = 0, valueStart = 0, valueEnd = 0;
  const int found = bFindOption(text, key.c_str(), keyStart, valueStart, valueEnd);
  if (found) {
    Check(keyStart + key.size() < valueStart && valueStart <= valueEnd && valueEnd <= length);
    for (std::size_t i = valueStart; i < valueEnd; ++i) Check(options[i] != u';');
  }
  CTString value;
  int extracted = 0;
  Check(bExtractOption(value, extracted, text, key.c_str(), 1) == 1);
  Check(extracted == found);
  if (found) {
    Check(Of(value) == TrimmedRight(options.substr(valueStart, valueEnd - valueStart)));
    Check(text.nGetLength() + (valueEnd - keyStart) <= length);
  } else {
    Check(Of(text) == options && value.bIsEmpty());
  }
}

void CheckNames(COracleConnection& connection, const std::vector<std::u16string>& names) {
  for (const std::u16string& name : names) {
    CTString quoted;
    Check(connection.nQuoteIdentifier(nullptr, name.c_str(), quoted) == 1);
    const std::u16string written = Of(quoted);
    if (written != name) {
      // A reserved word is quoted as the server folded it unquoted: in upper case.
      const std::optional<std::u16string> back = Unquoted(written);
      Check(back && (*back == name || *back == UpperAscii(name)));
    }
    CTString dotted;
    Check(connection.nQuoteDottedName(nullptr, name.c_str(), dotted) == 1);
  }
  // Up to three parts without dots, each quoted as the connection quotes it, joined and split again.
  std::vector<std::u16string> parts;
  for (const std::u16string& name : names) {
    if (parts.size() == 3) break;
    if (name.find(u'.') != std::u16string::npos) continue;
    CTString quoted;
    connection.nQuoteIdentifier(nullptr, name.c_str(), quoted);
    // A name given opening a quote it never closes is passed through as it is: no split can tell where it ends.
    const std::u16string written = Of(quoted);
    if (std::count(written.begin(), written.end(), u'"') % 2) continue;
    parts.push_back(written);
  }
  if (parts.empty()) return;
  std::u16string joined;
  for (std::size_t i = 0; i < parts.size(); ++i) joined += (i ? u"." : u"") + parts[i];
  CTString first, second, third;
  connection.nSplitQualifiedName(first, second, third, joined.c_str());
  const std::u16string expected[3] = {parts.size() == 3 ? parts[0] : u"",
                                      parts.size() >= 2 ? parts[parts.size() - 2] : u"", parts.back()};
  Check(Of(first) == TrimmedRight(expected[0]) && Of(second) == TrimmedRight(expected[1]) &&
        Of(third) == TrimmedRight(expected[2]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int initialised = bInitLibrary(nullptr);
  (void)initialised;
  std::u16string text(size / 2, u'\0');
  std::memcpy(text.data(), data, text.size() * 2);
  text = text.c_str();
  std::vector<std::u16string> fields;
  for (std::size_t start = 0;;) {
    const std::size_t cut = text.find(u'\x1F', start);
    fields.push_back(text.substr(start, cut == std::u16string::npos ? std::u16string::npos : cut - start));
    if (cut == std::u16string::npos) break;
    start = cut + 1;
  }
  fields.resize(fields.size() < 5 ? 5 : fields.size());

  qzrt::ConnectionDescription description;
  using D = qzrt::ConnectionDescription;
  const std::size_t slots[] = {D::kExtendedInformation, D::kDataSource, D::kUserId, D::kPassword, D::kProvider};
  for (std::size_t i = 0; i < 5; ++i) {
    if (!fields[i].empty()) description.SetText(slots[i], fields[i]);
  }
  auto* connection =
      new COracleConnection(u"fuzz", reinterpret_cast<IHostConnectionDescription*>(&description));
  connection->AddRef();
  auto part = [&](std::size_t i) { return fields[i].empty() ? std::u16string(u"NULL") : fields[i]; };
  const std::u16string expected = u"Provider=" + part(4) + u";ExtendedInformation=" + part(0) + u";Data source=" +
                                  part(1) + u";user id=" + part(2) + u";password=" + part(3);
  Check(connection->pszGetConnectionString() == expected);
  Check(connection->GetOptionText().nGetLength() <= fields[0].size());

  const std::vector<std::u16string> names(fields.begin() + 5, fields.end());
  for (const std::u16string& key : names) CheckOptionText(fields[0], key);
  CheckNames(*connection, names);
  connection->nRelease();
  return 0;
}
