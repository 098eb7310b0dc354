// The code-page conversions against what they should cost: UTF-8 and page 1252 against a plain loop over the same
// text (goal: within 2x), the iconv pages against iconv itself with one descriptor kept open (goal: within 1.2x).
// Each conversion is one call into a target large enough for it. After the run a table gives each ratio.
#include <benchmark/benchmark.h>

#include "bench/ratio_table.h"
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/code_page.h"

namespace {

// About 4 KB of text: a French paragraph (mostly ASCII, some accents and a euro sign) and a Japanese one.
std::u16string Repeat(const std::u16string& piece) {
  std::u16string text;
  while (text.size() < 4096) text += piece;
  return text;
}

const std::u16string& LatinText() {
  static const std::u16string text = Repeat(
      u"Le d\u00e9j\u00e0-vu co\u00fbte 12 \u20ac: \u00e9l\u00e8ve, na\u00efve, gar\u00e7on, "
      u"SELECT nom FROM cl\u00e9s WHERE id = 42; ");
  return text;
}

const std::u16string& CjkText() {
  static const std::u16string text =
      Repeat(u"\u65e5\u672c\u8a9e\u306e\u6587\u7ae0\u3068 SQL \u30c6\u30ad\u30b9\u30c8\u3002\u4e2d\u6587 42 ");
  return text;
}

std::string Narrow(std::uint32_t codePage, const std::u16string& text) {
  const int n = platform::WideToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  platform::WideToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                            nullptr);
  return out;
}

// ---- the plain loops: no checks beyond what valid input needs --------------------------------------------------

std::size_t PlainUtf8ToUtf16(const std::string& in, char16_t* out) {
  const auto* b = reinterpret_cast<const unsigned char*>(in.data());
  const std::size_t n = in.size();
  std::size_t k = 0;
  for (std::size_t i = 0; i < n;) {
    char32_t c = b[i];
    if (c < 0x80) {
      ++i;
    } else if (c < 0xE0) {
      c = ((c & 0x1F) << 6) | (b[i + 1] & 0x3F);
      i += 2;
    } else if (c < 0xF0) {
      c = ((c & 0x0F) << 12) | ((b[i + 1] & 0x3F) << 6) | (b[i + 2] & 0x3F);
      i += 3;
    } else {
      c = ((c & 0x07) << 18) | ((b[i + 1] & 0x3F) << 12) | ((b[i + 2] & 0x3F) << 6) | (b[i + 3] & 0x3F);
      i += 4;
    }
    if (c >= 0x10000) {
      out[k++] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out[k++] = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out[k++] = static_cast<char16_t>(c);
    }
  }
  return k;
}

std::size_t PlainUtf16ToUtf8(const std::u16string& in, char* out) {
  std::size_t k = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    char32_t c = in[i];
    if (c >= 0xD800 && c <= 0xDBFF) c = 0x10000 + ((c - 0xD800) << 10) + (in[++i] - 0xDC00);
    if (c < 0x80) {
      out[k++] = static_cast<char>(c);
    } else if (c < 0x800) {
      out[k++] = static_cast<char>(0xC0 | (c >> 6));
      out[k++] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out[k++] = static_cast<char>(0xE0 | (c >> 12));
      out[k++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out[k++] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out[k++] = static_cast<char>(0xF0 | (c >> 18));
      out[k++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out[k++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out[k++] = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return k;
}

// Page 1252 both ways through full tables, built once from the driver's own conversion.
struct Cp1252Tables {
  char16_t toWide[256];
  std::vector<char> toNarrow = std::vector<char>(0x10000, '?');
  Cp1252Tables() {
    for (int b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      platform::MultiByteToWide(1252, 0, &byte, 1, &toWide[b], 1);
      toNarrow[toWide[b]] = byte;
    }
  }
};

const Cp1252Tables& Tables1252() {
  static const Cp1252Tables tables;
  return tables;
}

// ---- the benchmarks -------------------------------------------------------------------------------------------

void DriverToWide(benchmark::State& state, std::uint32_t codePage, const std::u16string& text) {
  const std::string in = Narrow(codePage, text);
  std::u16string out(in.size() + 1, u'\0');
  const int n = static_cast<int>(in.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        platform::MultiByteToWide(codePage, 0, in.data(), n, out.data(), static_cast<int>(out.size())));
    benchmark::ClobberMemory();
  }
}

void DriverToNarrow(benchmark::State& state, std::uint32_t codePage, const std::u16string& text) {
  std::string out(text.size() * 4 + 1, '\0');
  const int n = static_cast<int>(text.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(platform::WideToMultiByte(codePage, 0, text.data(), n, out.data(),
                                                       static_cast<int>(out.size()), nullptr, nullptr));
    benchmark::ClobberMemory();
  }
}

void PlainUtf8ToWide(benchmark::State& state) {
  const std::string in = Narrow(65001, LatinText());
  std::u16string out(in.size() + 1, u'\0');
  for (auto _ : state) {
    benchmark::DoNotOptimize(PlainUtf8ToUtf16(in, out.data()));
    benchmark::ClobberMemory();
  }
}

void PlainUtf8ToNarrow(benchmark::State& state) {
  std::string out(LatinText().size() * 4 + 1, '\0');
  for (auto _ : state) {
    benchmark::DoNotOptimize(PlainUtf16ToUtf8(LatinText(), out.data()));
    benchmark::ClobberMemory();
  }
}

void Plain1252ToWide(benchmark::State& state) {
  const std::string in = Narrow(1252, LatinText());
  std::u16string out(in.size() + 1, u'\0');
  const Cp1252Tables& tables = Tables1252();
  for (auto _ : state) {
    for (std::size_t i = 0; i < in.size(); ++i) out[i] = tables.toWide[static_cast<unsigned char>(in[i])];
    benchmark::ClobberMemory();
  }
}

void Plain1252ToNarrow(benchmark::State& state) {
  const std::u16string& in = LatinText();
  std::string out(in.size() + 1, '\0');
  const Cp1252Tables& tables = Tables1252();
  for (auto _ : state) {
    for (std::size_t i = 0; i < in.size(); ++i) out[i] = tables.toNarrow[in[i]];
    benchmark::ClobberMemory();
  }
}

// iconv with one descriptor opened before the run.
void IconvPair(benchmark::State& state, const char* to, const char* from, const std::string& in, std::size_t outSize) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("iconv cannot open the page");
    return;
  }
  std::string out(outSize, '\0');
  for (auto _ : state) {
    char* i = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char* o = out.data();
    std::size_t room = out.size();
    iconv(cd, &i, &left, &o, &room);
    benchmark::DoNotOptimize(o);
    benchmark::ClobberMemory();
  }
  iconv_close(cd);
}

void IconvToWide(benchmark::State& state, std::uint32_t codePage, const char* name) {
  const std::string in = Narrow(codePage, CjkText());
  IconvPair(state, "UTF-16LE", name, in, in.size() * 2 + 2);
}

void IconvToNarrow(benchmark::State& state, const char* name) {
  const std::u16string& text = CjkText();
  const std::string in(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  IconvPair(state, name, "UTF-16LE", in, text.size() * 4 + 1);
}

std::vector<bench::SRatioPair> RegisterAll() {
  std::vector<bench::SRatioPair> pairs;
  auto add = [&pairs](const std::string& name, double goal, auto driver, auto baseline) {
    benchmark::RegisterBenchmark((name + "/driver").c_str(), driver);
    benchmark::RegisterBenchmark((name + "/baseline").c_str(), baseline);
    pairs.push_back({name + "/driver", name + "/baseline", goal, name});
  };
  add("utf8_to_utf16", 2.0, [](benchmark::State& s) { DriverToWide(s, 65001, LatinText()); }, PlainUtf8ToWide);
  add("utf16_to_utf8", 2.0, [](benchmark::State& s) { DriverToNarrow(s, 65001, LatinText()); }, PlainUtf8ToNarrow);
  add("1252_to_utf16", 2.0, [](benchmark::State& s) { DriverToWide(s, 1252, LatinText()); }, Plain1252ToWide);
  add("utf16_to_1252", 2.0, [](benchmark::State& s) { DriverToNarrow(s, 1252, LatinText()); }, Plain1252ToNarrow);
  add("932_to_utf16", 1.2, [](benchmark::State& s) { DriverToWide(s, 932, CjkText()); },
      [](benchmark::State& s) { IconvToWide(s, 932, "CP932"); });
  add("utf16_to_932", 1.2, [](benchmark::State& s) { DriverToNarrow(s, 932, CjkText()); },
      [](benchmark::State& s) { IconvToNarrow(s, "CP932"); });
  add("54936_to_utf16", 1.2, [](benchmark::State& s) { DriverToWide(s, 54936, CjkText()); },
      [](benchmark::State& s) { IconvToWide(s, 54936, "GB18030"); });
  add("utf16_to_54936", 1.2, [](benchmark::State& s) { DriverToNarrow(s, 54936, CjkText()); },
      [](benchmark::State& s) { IconvToNarrow(s, "GB18030"); });
  return pairs;
}

}  // namespace

int main(int argc, char** argv) { return bench::nRunWithRatioTable(argc, argv, RegisterAll(), 16); }
