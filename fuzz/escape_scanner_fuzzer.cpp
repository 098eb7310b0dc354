// The date/time escape scanner over any UTF-16 text. The first byte chooses the mode; the rest is the text, two bytes
// a unit. Every replacement is recorded and undone afterwards: what comes back must be the input, so nothing outside
// the replaced brace groups was touched, and each replaced span was a whole group.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/text_utils.h"
#include "sql/date_escape_rewriter.h"

namespace {

struct SReplacement {
  std::size_t position;
  std::size_t literalLength;
  std::u16string original;
};

class CFuzzRewriter : public CDateEscapeRewriter {
 public:
  explicit CFuzzRewriter(std::u16string text) : m_text(std::move(text)) {}

  void ReplaceSpan(std::uint32_t position, std::uint32_t count, const char16_t* literal) override {
    if (position + count > m_text.size()) std::abort();
    const std::u16string replacement(literal);
    m_replacements.push_back({position, replacement.size(), m_text.substr(position, count)});
    // A new buffer on every edit, so that a scanner keeping the old address reads freed memory.
    std::u16string edited = m_text.substr(0, position) + replacement + m_text.substr(position + count);
    m_text = std::u16string();
    m_text = edited;
    m_text.shrink_to_fit();
    m_pszText = m_text.data();
  }

  std::u16string m_text;
  std::vector<SReplacement> m_replacements;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::u16string text((size - 1) / 2, u'\0');
  std::memcpy(text.data(), data + 1, text.size() * 2);
  const std::u16string input = text;
  CFuzzRewriter rewriter(text);
  rewriter.SetMode(data[0] % 6);
  char16_t* result = rewriter.bRewrite(rewriter.m_text.data());
  if (result && result != rewriter.m_text.data()) std::abort();
  if (!result && !rewriter.m_replacements.empty() && std::char_traits<char16_t>::find(
                                                          rewriter.m_text.c_str(), nLengthW(rewriter.m_text.c_str()),
                                                          u'{') == nullptr)
    std::abort();  // null with replacements made only when an unclosed group ended the scan
  std::u16string restored = rewriter.m_text;
  for (auto it = rewriter.m_replacements.rbegin(); it != rewriter.m_replacements.rend(); ++it) {
    const std::u16string& group = it->original;
    if (group.size() < 2 || group.front() != u'{' || group.back() != u'}') std::abort();
    restored.replace(it->position, it->literalLength, group);
  }
  if (restored != input) std::abort();
  return 0;
}
