// The library's own message texts: one read-only block of packed records, generated at build time from
// foundation/messages/messages.txt by pack_messages.py, with the lookup of a record by message number and the unpacker
// that turns a record's packed text back into UTF-16. The block and its tables are static data; the caller owns every
// buffer it passes in, and the text that pszUnpackMessage answers.
//
// Record layout: number as two base-255 digits each plus 1, attribute (signed byte), packed text, a zero byte. The
// records lie end to end, sorted by number, between the markers 0 and 65024.
#pragma once

#include <cstdint>
#include <memory>

enum : std::uint32_t {
  MESSAGE_ID_FIRST_SENTINEL = 0,
  MESSAGE_ID_LAST_SENTINEL = 65024,
};

// Results of the unpackers.
enum : int {
  MESSAGE_UNPACK_DONE = 0,
  MESSAGE_UNPACK_CUT = 2,
  MESSAGE_UNPACK_NO_MEMORY = 3,
};

// Generated data (message_block_data.cpp in the build tree).
extern const std::uint8_t gbyMessageBlock[];
extern const std::uint32_t gnMessageBlockSize;
extern const std::uint32_t gnMessageRecordCount;
extern const std::uint16_t gtabMessageLengths[];        // packed length of each record; 0 for the closing marker
extern const std::uint8_t gtabMessageSymbols[4][32];

// The record of a message number, or null when there is none: with bRaw the record's start (offset 2 holds the
// attribute), else its packed text. Numbers above 16 bits have no record.
const std::uint8_t* pGetMessageRecord(std::uint32_t nNumber, int bRaw);
using PFN_GET_MESSAGE_RECORD = const std::uint8_t* (*)(std::uint32_t nNumber, int bRaw);

// Comparator of the record search: the 16-bit key at pKey minus the number of the record at the 16-bit block offset
// at pOffset.
int nCompareMessageRecords(const void* pKey, const void* pOffset);

// Unpacks a zero-terminated packed text into pszBuffer, which holds *pnCapacity UTF-16 units. The buffer receives the
// whole text and a zero (MESSAGE_UNPACK_DONE), or, when the text needs *pnCapacity units or more, as many whole
// characters as fit before a zero in the last unit (MESSAGE_UNPACK_CUT; nothing at all with a capacity of 0). In both
// cases *pnCapacity receives the length of the whole text in UTF-16 units. MESSAGE_UNPACK_NO_MEMORY when the working
// copy could not be allocated; the buffer and *pnCapacity are then left as they were.
int nUnpackMessage(char16_t* pszBuffer, std::uint32_t* pnCapacity, const std::uint8_t* pPacked);

// The whole text of a packed text as a new zero-terminated UTF-16 text, or null when memory is short.
std::unique_ptr<char16_t[]> pszUnpackMessage(const std::uint8_t* pPacked);

// One pass over a packed text, producing its UTF-8 bytes into a bounded byte buffer.
class MessageUnpacker {
 public:
  MessageUnpacker(const std::uint8_t* pInput, std::uint32_t nInputLength, std::uint8_t* pOutput,
                  std::uint32_t nCapacity);

  // Unpacks the whole input. The output holds what fits before its last byte and a zero there; *pnLength (when
  // given) receives the length of the whole text in bytes, which may exceed the capacity. MESSAGE_UNPACK_DONE, or
  // MESSAGE_UNPACK_CUT when the text and its zero did not fit.
  int nUnpack(std::uint32_t* pnLength);

 private:
  void EmitSymbol(unsigned nSymbol);
  void PutByte(std::uint8_t byValue);

  const std::uint8_t* m_pInput;
  std::uint32_t m_nInputLength;
  std::uint8_t* m_pOutput;
  std::uint32_t m_nCapacity;
  std::uint32_t m_nPosition = 0;
  unsigned m_nLockedTable = 0;
  unsigned m_nSingleShift = 8;  // 8: none pending
};
