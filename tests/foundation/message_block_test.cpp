// The message block as the build packs it from messages.txt, its lookup, and the unpacker's rules on hand-packed
// texts.
#include "foundation/message_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/posix/utf.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct SourceMessage {
  int attribute;
  std::string text;  // UTF-8
};

// messages.txt, read independently of the packer: number, attribute, "text" with \" \\ \t \r \n.
std::map<std::uint32_t, SourceMessage> ReadSource() {
  std::ifstream file(std::string(QZ_SOURCE_DIR) + "/foundation/messages/messages.txt", std::ios::binary);
  EXPECT_TRUE(file.good());
  std::map<std::uint32_t, SourceMessage> messages;
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::size_t end = 0;
    const auto number = static_cast<std::uint32_t>(std::stoul(line, &end));
    std::size_t next = 0;
    const int attribute = std::stoi(line.substr(end), &next);
    const std::size_t open = line.find('"', end + next);
    const std::size_t close = line.rfind('"');
    EXPECT_NE(open, close) << line;
    std::string text;
    for (std::size_t i = open + 1; i < close; ++i) {
      if (line[i] != '\\') {
        text += line[i];
        continue;
      }
      const char escaped = line[++i];
      text += escaped == 't' ? '\t' : escaped == 'r' ? '\r' : escaped == 'n' ? '\n' : escaped;
    }
    messages[number] = {attribute, text};
  }
  return messages;
}

std::size_t Utf16Length(const std::string& utf8) {
  std::size_t units = 0;
  for (unsigned char byte : utf8) {
    if ((byte & 0xC0) != 0x80) ++units;  // one unit per character...
    if ((byte & 0xF8) == 0xF0) ++units;  // ...and a second one for a character beyond 16 bits
  }
  return units;
}

// The pair of bytes that carries the symbols a, b and c.
Bytes Pair(unsigned a, unsigned b, unsigned c) {
  unsigned value = a * 1600 + b * 40 + c + 256;
  unsigned x = value / 255, y = value % 255;
  if (y == 0) --x, y = 255;
  return {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y)};
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// Symbol of entry i of a table, and the character it stands for.
unsigned S(unsigned i) { return i + 8; }
char C(unsigned table, unsigned i) { return static_cast<char>(gtabMessageSymbols[table][i]); }

struct Unpacked {
  int result;
  std::uint32_t length;
  std::string text;
};

// Unpacks exactly the given bytes (an exact-size copy, so that any read past them trips the address checker) into a
// buffer with guard bytes around its capacity.
Unpacked Unpack(const Bytes& packed, std::uint32_t capacity = 256) {
  std::unique_ptr<std::uint8_t[]> input(new std::uint8_t[packed.size() + 1]);
  std::memcpy(input.get(), packed.data(), packed.size());
  std::vector<std::uint8_t> output(capacity + 2, 0xEE);
  Unpacked out{};
  out.result = MessageUnpacker(input.get(), static_cast<std::uint32_t>(packed.size()), output.data() + 1, capacity)
                   .nUnpack(&out.length);
  EXPECT_EQ(output.front(), 0xEE);
  EXPECT_EQ(output.back(), 0xEE);
  if (capacity > 0) out.text.assign(reinterpret_cast<const char*>(output.data() + 1));
  return out;
}

std::u16string AsU16(const char16_t* text) { return text ? std::u16string(text) : std::u16string(); }

// ---- the generated block against its source -----------------------------------------------------------------------

TEST(MessageBlockTest, EveryTextOfTheSourceComesBackFromTheBlock) {
  const auto source = ReadSource();
  ASSERT_GT(source.size(), 100u);
  EXPECT_EQ(gnMessageRecordCount, source.size() + 2);
  bool sawWideText = false;
  for (const auto& [number, message] : source) {
    SCOPED_TRACE(number);
    const std::uint8_t* record = pGetMessageRecord(number, 1);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(static_cast<std::int8_t>(record[2]), message.attribute);
    EXPECT_EQ(pGetMessageRecord(number, 0), record + 3);

    const std::unique_ptr<char16_t[]> text = pszUnpackMessage(record + 3);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(platform::posix::ToUtf8(text.get()), message.text);

    // The length answered counts UTF-16 units, also for texts whose UTF-8 form is longer, and the text fits exactly
    // when the capacity holds those units and the zero.
    const auto units = static_cast<std::uint32_t>(Utf16Length(message.text));
    std::vector<char16_t> buffer(units + 1);
    auto capacity = units + 1;
    EXPECT_EQ(nUnpackMessage(buffer.data(), &capacity, record + 3), MESSAGE_UNPACK_DONE);
    EXPECT_EQ(capacity, units);
    EXPECT_EQ(AsU16(buffer.data()), AsU16(text.get()));
    capacity = units;
    EXPECT_EQ(nUnpackMessage(buffer.data(), &capacity, record + 3), MESSAGE_UNPACK_CUT);
    EXPECT_EQ(capacity, units);
    EXPECT_EQ(AsU16(buffer.data()), AsU16(text.get()).substr(0, units - 1));
    sawWideText = sawWideText || Utf16Length(message.text) != message.text.size();
  }
  EXPECT_TRUE(sawWideText);
}

TEST(MessageBlockTest, RecordsLieEndToEndInAscendingOrderBetweenTheMarkers) {
  std::uint32_t offset = 0;
  std::uint32_t previous = 0;
  for (std::uint32_t k = 0; k < gnMessageRecordCount; ++k) {
    ASSERT_LT(offset + 3, gnMessageBlockSize);
    const std::uint8_t* record = gbyMessageBlock + offset;
    const std::uint32_t number = (record[0] - 1u) * 255 + (record[1] - 1u);
    if (k > 0) {
      EXPECT_GT(number, previous);
    }
    previous = number;
    const std::uint32_t length = k + 1 < gnMessageRecordCount ? gtabMessageLengths[k] : 0;
    EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(record + 3)), length) << number;
    EXPECT_EQ(pGetMessageRecord(number, 1), record);
    offset += length + 4;
  }
  EXPECT_EQ(offset, gnMessageBlockSize);
}

TEST(MessageBlockTest, LookupFindsTheMarkersAndNothingBetweenRecords) {
  const std::uint8_t* first = pGetMessageRecord(MESSAGE_ID_FIRST_SENTINEL, 1);
  ASSERT_EQ(first, gbyMessageBlock);
  EXPECT_EQ(first[0], 1);
  EXPECT_EQ(first[1], 1);
  EXPECT_EQ(first[3], 0);

  const std::uint8_t* last = pGetMessageRecord(MESSAGE_ID_LAST_SENTINEL, 1);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last[0], 255);
  EXPECT_EQ(last[1], 255);
  EXPECT_EQ(last + 4, gbyMessageBlock + gnMessageBlockSize);
  EXPECT_EQ(*pGetMessageRecord(MESSAGE_ID_LAST_SENTINEL, 0), 0);

  // Between records, before the first message, past the closing marker, and beyond 16 bits.
  ASSERT_NE(pGetMessageRecord(28003, 0), nullptr);
  ASSERT_NE(pGetMessageRecord(28005, 0), nullptr);
  ASSERT_EQ(ReadSource().count(28006), 0u);
  EXPECT_EQ(pGetMessageRecord(28006, 0), nullptr);
  EXPECT_EQ(pGetMessageRecord(1, 1), nullptr);
  EXPECT_EQ(pGetMessageRecord(65535, 1), nullptr);
  EXPECT_EQ(pGetMessageRecord(0x10000 + 28003, 0), nullptr);
}

TEST(MessageBlockTest, ComparatorIsKeyMinusRecordNumber) {
  const std::uint16_t offset = static_cast<std::uint16_t>(pGetMessageRecord(28003, 1) - gbyMessageBlock);
  const std::uint16_t below = 28000, same = 28003, above = 28010;
  EXPECT_EQ(nCompareMessageRecords(&below, &offset), -3);
  EXPECT_EQ(nCompareMessageRecords(&same, &offset), 0);
  EXPECT_EQ(nCompareMessageRecords(&above, &offset), 7);
}

// ---- the unpacker's rules ------------------------------------------------------------------------------------------

TEST(MessageUnpackerTest, CharactersShiftsAndTheLoneLastSymbol) {
  // Table 0 throughout; an odd length ends with one symbol stored plus 1.
  Bytes packed = Join({Pair(S(1), S(2), S(3)), {static_cast<std::uint8_t>(S(4) + 1)}});
  EXPECT_EQ(Unpack(packed).text, std::string({C(0, 1), C(0, 2), C(0, 3), C(0, 4)}));

  // A single shift serves one character, then the locked table is back.
  packed = Pair(1, S(5), S(5));
  EXPECT_EQ(Unpack(packed).text, std::string({C(1, 5), C(0, 5)}));

  // A locking shift stays; a single shift inside it comes back to it; a single shift with nothing after it is lost.
  packed = Join({Pair(6, S(0), 0), Pair(S(1), 3, S(2)), Pair(S(3), 1, 0)});
  EXPECT_EQ(Unpack(packed).text, std::string({C(2, 0), C(0, 1), C(3, 2), C(2, 3)}));

  // 38 and 39 are entries 30 and 31 while table 3 is not locked, also after a single shift to table 3.
  packed = Join({Pair(38, 39, 3), {static_cast<std::uint8_t>(38 + 1)}});
  EXPECT_EQ(Unpack(packed).text, std::string({C(0, 30), C(0, 31), C(3, 30)}));
}

TEST(MessageUnpackerTest, EscapesWhileTableThreeIsLocked) {
  // Escape 38 in the second place: the byte after the pair as it is; the third symbol is ignored.
  Bytes packed = Join({Pair(7, 38, S(1)), {0xC3}, Pair(S(1), 0, 0)});
  Unpacked out = Unpack(packed);
  EXPECT_EQ(out.result, MESSAGE_UNPACK_DONE);
  EXPECT_EQ(out.text, std::string({'\xC3', C(3, 1)}));

  // Escape 39 in the first place: a count and that many bytes; an empty run is allowed.
  packed = Join({Pair(7, 7, 7), Pair(39, S(1), S(1)), {3, 0xE2, 0x82, 0xAC}, Pair(39, 0, 0), {0}, Pair(S(2), 4, S(2))});
  EXPECT_EQ(Unpack(packed).text, std::string({'\xE2', '\x82', '\xAC', C(3, 2), C(0, 2)}));

  // In the third place it is always an escape, even with a single shift pending, which then serves the next one.
  packed = Join({Pair(7, 1, 38), {'#'}, Pair(S(3), S(3), 0)});
  EXPECT_EQ(Unpack(packed).text, std::string({'#', C(1, 3), C(3, 3)}));

  // Right behind a single shift to table 0, 1 or 2, a 38 is a character; behind a shift to table 3 it is an escape.
  packed = Join({Pair(7, 7, 7), Pair(1, 38, S(0)), Pair(3, 38, 0), {'x'}});
  EXPECT_EQ(Unpack(packed).text, std::string({C(1, 30), C(3, 0), 'x'}));
}

TEST(MessageUnpackerTest, CutAtTheCapacityKeepsCountingTheLength) {
  // 20 characters: six full pairs and a pair of two.
  Bytes packed;
  for (int k = 0; k < 6; ++k) packed = Join({packed, Pair(S(1), S(2), S(3))});
  packed = Join({packed, Pair(S(4), S(5), 0)});
  const Unpacked whole = Unpack(packed);
  EXPECT_EQ(whole.result, MESSAGE_UNPACK_DONE);
  EXPECT_EQ(whole.length, 20u);

  const Unpacked cut = Unpack(packed, 10);
  EXPECT_EQ(cut.result, MESSAGE_UNPACK_CUT);
  EXPECT_EQ(cut.length, 20u);
  EXPECT_EQ(cut.text, whole.text.substr(0, 9));

  // Exactly the text and its zero fit; one less cuts.
  EXPECT_EQ(Unpack(packed, 21).result, MESSAGE_UNPACK_DONE);
  EXPECT_EQ(Unpack(packed, 20).result, MESSAGE_UNPACK_CUT);
  EXPECT_EQ(Unpack(packed, 1).text, "");
}

TEST(MessageUnpackerTest, ZeroCapacityWritesNothing) {
  // The guard bytes around the buffer, checked in Unpack, must stay; the length still counts the whole text.
  const Unpacked out = Unpack(Pair(S(1), S(2), S(3)), 0);
  EXPECT_EQ(out.result, MESSAGE_UNPACK_CUT);
  EXPECT_EQ(out.length, 3u);

  const std::uint8_t* packed = pGetMessageRecord(28003, 0);
  char16_t buffer[3] = {u'x', u'y', u'z'};
  std::uint32_t capacity = 0;
  EXPECT_EQ(nUnpackMessage(buffer + 1, &capacity, packed), MESSAGE_UNPACK_CUT);
  EXPECT_EQ(capacity, std::u16string(pszUnpackMessage(packed).get()).size());
  EXPECT_EQ(std::u16string(buffer, 3), u"xyz");
}

TEST(MessageUnpackerTest, MalformedInputIsNeverReadPastItsLength) {
  // A run whose count reaches past the input takes what is there; an escape byte missing at the end is lost.
  EXPECT_EQ(Unpack(Join({Pair(7, 39, 0), {200, 'a', 'b'}})).text, "ab");
  EXPECT_EQ(Unpack(Pair(7, 38, 0)).text, "");
  // A pair beyond the 40 x 40 x 40 symbols and a lone zero byte make nothing.
  EXPECT_EQ(Unpack({255, 255, 0}).length, 0u);
}

TEST(MessageUnpackerTest, TextsAreCutInWholeUtf16Characters) {
  // "é€😀" as escapes, then entry 30 of table 1 behind a single shift: 1 + 1 + 2 + 1 = 5 UTF-16 units from 10
  // UTF-8 bytes.
  const Bytes packed = Join({Pair(7, 39, 0), {9, 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80}, Pair(1, S(30), 0)});
  std::string zeroTerminated(packed.begin(), packed.end());
  const auto* text = reinterpret_cast<const std::uint8_t*>(zeroTerminated.c_str());

  const std::u16string whole = u"é€\U0001F600" + std::u16string(1, static_cast<char16_t>(C(1, 30)));
  char16_t buffer[8];
  std::uint32_t capacity = 8;
  EXPECT_EQ(nUnpackMessage(buffer, &capacity, text), MESSAGE_UNPACK_DONE);
  EXPECT_EQ(capacity, 5u);
  EXPECT_EQ(std::u16string(buffer), whole);

  // Six units fit it with its zero, five do not; four leave no room for the surrogate pair after "é€".
  capacity = 6;
  EXPECT_EQ(nUnpackMessage(buffer, &capacity, text), MESSAGE_UNPACK_DONE);
  capacity = 5;
  EXPECT_EQ(nUnpackMessage(buffer, &capacity, text), MESSAGE_UNPACK_CUT);
  EXPECT_EQ(capacity, 5u);
  EXPECT_EQ(std::u16string(buffer), u"é€\U0001F600");
  capacity = 4;
  EXPECT_EQ(nUnpackMessage(buffer, &capacity, text), MESSAGE_UNPACK_CUT);
  EXPECT_EQ(std::u16string(buffer), u"é€");

  EXPECT_EQ(AsU16(pszUnpackMessage(text).get()), whole);
}

}  // namespace
