// LONG and LONG RAW values fetched in pieces through the Oracle cursor (a dynamic define: the fetch answers that it
// needs data, the cursor asks which define with OCIStmtGetPieceInfo and gives it room with OCIStmtSetPieceInfo), on
// a session of the OCI stand-in, whose next piecewise value is scripted from the input: its bytes or NULL, the size
// of each piece, and pieces that report more bytes than the room they were given.
//
// The first byte chooses the column (bit 0: LONG RAW or LONG), NULL (bit 1) and how many times the value's bytes are
// repeated (bits 2-7, so that values run past a piece's room); the second the count of piece sizes (1 to 8); then
// come the sizes (two bytes each), then one byte per piece, the bytes its reported length goes past its room (0: an
// honest length); the rest is the value.
//
// Properties: a piece reported longer than its room fails the read, and nothing is read past the buffer; otherwise
// the read succeeds and the value is the pieces joined: NULL as NULL, the LONG RAW's bytes exactly, a LONG of ASCII
// text as that text. The same query serves every input, whatever the last one did to it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/record/column.h"
#include "engine/table/cursor.h"
#include "fuzz/oracle_session.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "oracle/oracle_cursor.h"
#include "sql/internal_query.h"

namespace {

using PFN_SCRIPT = void (*)(const char*, unsigned, int, const unsigned*, const unsigned*, unsigned);

struct SQueries {
  CInternalQuery* raw = nullptr;
  CInternalQuery* text = nullptr;
  PFN_SCRIPT script = nullptr;
};

CInternalQuery* Query(SOracleSession& s, const char16_t* text) {
  CInternalQuery* query = CInternalQuery::pCreate(text, s.holder, s.connection);
  Check(query != nullptr);
  query->AddRef();
  return query;
}

SQueries& Queries() {
  static SQueries* const queries = [] {
    SOracleSession& s = OracleSession();
    Check(s.connection->bExecuteSql(s.holder, u"CREATE TABLE LP (R LONG RAW, T LONG)") == 1);
    Check(s.connection->bExecuteSql(s.holder, u"INSERT INTO LP (R, T) VALUES ('00', 'x')") == 1);
    auto* made = new SQueries();
    made->raw = Query(s, u"SELECT R FROM LP");
    made->text = Query(s, u"SELECT T FROM LP");
    made->script = OciStandInEntry<PFN_SCRIPT>("qzociScriptPieces");
    return made;
  }();
  return *queries;
}

// Whether a piece that reports more than its room is reached before the value's bytes run out, as the stand-in
// serves them: each piece carries up to its size (at least one byte), never more than the room.
bool ReachesOverLongPiece(std::size_t total, const std::vector<unsigned>& sizes, const std::vector<unsigned>& over) {
  std::size_t offset = 0;
  for (std::size_t piece = 0;; ++piece) {
    const std::size_t k = piece < sizes.size() ? piece : sizes.size() - 1;
    if (k < over.size() && over[k]) return true;
    std::size_t n = sizes[k] ? sizes[k] : 1;
    if (n > LONG_PIECE_BYTES) n = LONG_PIECE_BYTES;
    offset += n;
    if (offset >= total) return false;
  }
}

}  // namespace

// The column keeps the last value read until the process ends, in the runtime's packed value record, whose pointer
// to the value's text sits at an address that is not a multiple of eight: the leak check at exit looks there too.
extern "C" const char* __lsan_default_options() { return "use_unaligned=1"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const bool text = (data[0] & 1) != 0;
  const bool null = (data[0] & 2) != 0;
  const std::size_t repeat = 1 + (data[0] >> 2);
  const std::size_t count = 1 + data[1] % 8;
  if (size < 2 + 3 * count) return 0;
  std::vector<unsigned> sizes(count), over(count);
  for (std::size_t i = 0; i < count; ++i) {
    sizes[i] = static_cast<unsigned>(data[2 + 2 * i] | data[3 + 2 * i] << 8);
    over[i] = data[2 + 2 * count + i];
  }
  const std::size_t head = 2 + 3 * count;
  std::string value;
  for (std::size_t r = 0; r < repeat; ++r) value.append(reinterpret_cast<const char*>(data + head), size - head);
  // No value comes in more than about 256 pieces: a long value in one-byte pieces takes hundreds of thousands of
  // client calls and finds nothing that a few hundred do not, at a thousandth of the rate.
  const auto least = static_cast<unsigned>(value.size() / 256);
  for (unsigned& n : sizes) n = n < least ? least : n;

  SOracleSession& s = OracleSession();
  SQueries& q = Queries();
  CInternalQuery* query = text ? q.text : q.raw;
  q.script(value.data(), static_cast<unsigned>(value.size()), null ? 1 : 0, sizes.data(), over.data(),
           static_cast<unsigned>(count));
  Check(query->nExecute() == 1);
  std::uint32_t end = 0;
  const int read = query->bRead(READ_FIRST, &end);
  // A NULL value comes in no piece at all; an empty one in one empty piece.
  const bool overLong = !null && ReachesOverLongPiece(value.size(), sizes, over);
  Check(read == (overLong ? 0 : 1));
  if (read) {
    Check(end == 0);
    CHostValue out;
    Check(query->pGetColumn(0)->bGetValue(out, 0) == 1);
    if (null) {
      Check(out.bIsNull());
    } else if (!text) {
      const void* bytes = nullptr;
      std::size_t length = 0;
      Check(!out.bIsNull() || value.empty());
      if (!out.bIsNull()) {
        out.nGetDataPointer(&bytes);
        out.nGetDataSize(&length);
        Check(length == value.size() && (length == 0 || std::memcmp(bytes, value.data(), length) == 0));
      }
    } else {
      // The memo's text comes in the client's narrow code page: ASCII bytes read back as those characters.
      bool plain = true;
      for (unsigned char c : value) plain = plain && c >= 1 && c < 0x80;
      const char16_t* wide = nullptr;
      if (plain && !out.bIsNull() && out.nConvert(HOST_TYPE_TEXT) < 100 && out.nGetWideText(&wide) < 100) {
        Check(std::u16string(wide ? wide : u"") == std::u16string(value.begin(), value.end()));
      } else if (plain) {
        Check(value.empty());
      }
    }
  }
  s.holder->Clear();
  return 0;
}
