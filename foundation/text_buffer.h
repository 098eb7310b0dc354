// Growable text buffers: CTextBufferA (one byte per unit) and CTextBufferW (UTF-16). The buffer owns its units and
// always holds capacity + 1 of them, so the text stays zero-terminated; it grows by whole steps ((n / step + 1) x
// step units). Conversions write straight into the reserved tail. When memory cannot be obtained the buffer keeps
// its text and the append does nothing.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::uint64_t TEXT_BUFFER_NOT_FOUND = 0xFFFFFFFF;
inline constexpr std::uint32_t TEXT_NO_PADDING = 0xFFFFFFFF;

template <typename Unit>
class CTextBufferT {
 public:
  explicit CTextBufferT(std::uint64_t step) : m_nStep(step ? step : 1) {}
  CTextBufferT(const CTextBufferT&) = delete;
  CTextBufferT& operator=(const CTextBufferT&) = delete;
  ~CTextBufferT();

  // Capacity for n units (rounded up to a whole step past n); false, with nothing changed, when memory fails.
  bool Reserve(std::uint64_t n);
  void Append(const Unit* text, std::int64_t n);
  void AppendText(const Unit* text);
  const Unit* pszGetText() const;
  void Truncate(std::int64_t n);
  std::uint64_t nFindText(const Unit* text, std::uint64_t start) const;
  // Replaces count units at start (a negative count, or one past the end, means up to the end) by n units of text.
  void ReplaceRange(std::uint64_t start, std::int64_t count, const Unit* text, std::uint64_t n);
  void AppendPaddedInt(std::int32_t value, std::uint32_t width);
  void AppendInt64(std::int64_t value);

  std::uint64_t nGetLength() const { return m_nLength; }
  std::uint64_t nGetCapacity() const { return m_nCapacity; }
  Unit* pGetBuffer() { return m_pText; }
  // Sets the length after a conversion wrote into the reserved tail, and terminates.
  void SetLength(std::uint64_t n);

 protected:
  bool bMakeRoom(std::uint64_t n) { return m_nLength + n <= m_nCapacity || Reserve(m_nLength + n); }
  // Whether the units lie in this buffer's own memory, which a growth frees and a replacement rewrites.
  bool bHolds(const Unit* text) const;
  std::uint64_t nFind(const Unit* text, std::uint64_t length, std::uint64_t start) const;
  // Replaces every occurrence of the search units from start on; a replacement is never searched again.
  void ReplaceEvery(const Unit* search, std::uint64_t searchLength, const Unit* replacement, std::uint64_t n,
                    std::uint64_t start);

  Unit* m_pText = nullptr;
  std::uint64_t m_nLength = 0;
  std::uint64_t m_nCapacity = 0;
  std::uint64_t m_nStep;
};

class CTextBufferA : public CTextBufferT<char> {
 public:
  explicit CTextBufferA(std::uint64_t step) : CTextBufferT(step) {}

  void AppendFromWide(const char16_t* text, std::uint64_t n, std::uint32_t codePage);
  // Text of the code page appended as UTF-8.
  void AppendTranscoded(const char* bytes, std::uint64_t n, std::uint32_t codePage);
  std::uint64_t nFindChar(char byte, std::uint64_t start) const;
  void InsertAtFront(const char* bytes, std::uint64_t n);
  void ReplaceAll(const char* search, std::uint64_t searchLength, const char* replacement, std::uint64_t n,
                  std::uint64_t start);
};

class CTextBufferW : public CTextBufferT<char16_t> {
 public:
  explicit CTextBufferW(std::uint64_t step) : CTextBufferT(step) {}

  void AppendFromCodePage(const char* bytes, std::uint64_t n, std::uint32_t codePage);
  void AppendBinaryDigits(std::uint8_t byte);
  void AppendHex8(std::uint32_t value);
  std::uint64_t nFindChar(std::uint64_t start) const;  // the next "'"
  void ReplaceAll(char16_t search, const char16_t* replacement, std::uint64_t n, std::uint64_t start);
};

extern template class CTextBufferT<char>;
extern template class CTextBufferT<char16_t>;
