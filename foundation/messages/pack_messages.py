#!/usr/bin/env python3
"""Packs the message texts of messages.txt into the C++ source of the library's message block.

    pack_messages.py SOURCE OUTPUT

The block holds one record per message, sorted by number: two base-255 digits of the number (each plus 1), the
attribute, the packed text and a zero. A text is packed as its UTF-8 bytes turned into symbols 0 to 39, three symbols
to a pair of bytes (v = a * 1600 + b * 40 + c, stored so that v = x * 255 + y - 256, no byte zero), a lone last symbol
as one byte (symbol + 1):
    0-3   single shift: the next character comes from that table
    4-7   locking shift to table s - 4
    8-39  character s - 8 of the table in force
While table 3 is locked, 38 and 39 are escapes instead of characters: 38 takes the next byte as it is, 39 a count and
that many bytes. The rest of the pair is then ignored. The unpacker (foundation/message_block.cpp) skips that test
for the second symbol of a pair whose first is a single shift to table 0, 1 or 2.

The packer checks every text by unpacking it again, and refuses a source it cannot pack faithfully.
"""

import re
import sys

# The four symbol tables. Table 0 is in force at the start of every text; table 3 is the table of the escapes, so it
# repeats the lowercase letters that French words carry around their accented letters, and its last two entries
# (reachable by a single shift only) take what nothing else holds.
SYMBOL_TABLES = (
    b" abcdefghijklmnopqrstuvwxyz'.,:%",
    b"ABCDEFGHIJKLMNOPQRSTUVWXYZ<>()!-",
    b"0123456789\r\n\t\"#$&*+/;=?@[\\]_{|}^",
    b" easintrulodcpmvqfbghjxyzkw',.`~",
)

FIRST_SENTINEL = 0
LAST_SENTINEL = 65024
ESCAPE_BYTE = 38
ESCAPE_RUN = 39
NO_SHIFT = 8

LINE = re.compile(r'^(\d+)\s+(-?\d+)\s+"((?:[^"\\]|\\.)*)"\s*$')
INSERT = re.compile(r"%(?:%|[1-9][0-9]?(?:![^!]+!)?)")
ESCAPES = {'"': '"', "\\": "\\", "t": "\t", "r": "\r", "n": "\n"}


class SourceError(Exception):
    pass


def unescape(text, where):
    out = []
    i = 0
    while i < len(text):
        ch = text[i]
        if ch == "\\":
            if i + 1 >= len(text) or text[i + 1] not in ESCAPES:
                raise SourceError(f"{where}: unknown escape in the text")
            out.append(ESCAPES[text[i + 1]])
            i += 2
        else:
            out.append(ch)
            i += 1
    return "".join(out)


def read_source(path):
    """Answers [(number, attribute, utf-8 bytes)] sorted by number."""
    messages = {}
    with open(path, encoding="utf-8") as source:
        for line_number, line in enumerate(source, 1):
            line = line.rstrip("\r\n")
            where = f"{path}:{line_number}"
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            match = LINE.match(line)
            if not match:
                raise SourceError(f"{where}: expected: number attribute \"text\"")
            number, attribute, text = int(match.group(1)), int(match.group(2)), unescape(match.group(3), where)
            if not FIRST_SENTINEL < number < LAST_SENTINEL:
                raise SourceError(f"{where}: number {number} outside 1 to {LAST_SENTINEL - 1}")
            if number in messages:
                raise SourceError(f"{where}: number {number} given twice")
            # -1 is what the runtime is told when a number has no record.
            if not -128 <= attribute <= 127 or attribute == -1:
                raise SourceError(f"{where}: attribute {attribute} outside -128 to 127, or -1")
            if "\0" in text:
                raise SourceError(f"{where}: a text cannot hold a zero character")
            stray = INSERT.sub("", text)
            if "%" in stray:
                raise SourceError(f"{where}: '%' starts no insert (write %% for a percent sign)")
            if attribute == 0 and INSERT.search(text.replace("%%", "")):
                raise SourceError(f"{where}: a label is read raw and cannot hold inserts")
            messages[number] = (attribute, text.encode("utf-8"))
    return [(number, attribute, data) for number, (attribute, data) in sorted(messages.items())]


def tables_holding(byte):
    return [t for t in range(4) if byte in SYMBOL_TABLES[t]]


class Packer:
    """Turns one text into symbols, tracking what the unpacker will make of each one."""

    def __init__(self):
        self.out = bytearray()
        self.triple = []     # symbols of the pair being filled
        self.locked = 0

    def symbol(self, s):
        self.triple.append(s)
        if len(self.triple) == 3:
            self.flush_pair()

    def flush_pair(self):
        a, b, c = (self.triple + [0, 0, 0])[:3]
        value = a * 1600 + b * 40 + c + 256
        x, y = divmod(value, 255)
        if y == 0:
            x, y = x - 1, 255
        self.out += bytes((x, y))
        self.triple = []

    def is_escape_here(self, s):
        """Whether symbol s would be read as an escape at the next position."""
        if self.locked != 3 or s < ESCAPE_BYTE:
            return False
        return not (len(self.triple) == 1 and self.triple[0] <= 2)

    def character(self, byte, following):
        current = SYMBOL_TABLES[self.locked]
        if byte in current and not self.is_escape_here(current.index(byte) + 8):
            self.symbol(current.index(byte) + 8)
            return
        tables = [t for t in tables_holding(byte) if t != self.locked]
        if not tables:
            # The last two entries of table 3 while table 3 is locked: leave it, then shift back for one character.
            self.symbol(4)
            self.locked = 0
            tables = [3]
        # Lock onto the table that holds the longest stretch of what follows; a single shift for one character.
        table = max(tables, key=lambda t: run_length(following, t))
        s = SYMBOL_TABLES[table].index(byte) + 8
        # Under a locked table 3, a shifted 38 or 39 is a character only right behind a shift that opens a pair.
        single_ok = not (self.locked == 3 and s >= ESCAPE_BYTE and self.triple)
        lock_ok = not (table == 3 and s >= ESCAPE_BYTE)
        if lock_ok and (run_length(following, table) >= 2 or not single_ok):
            self.symbol(4 + table)
            self.locked = table
        else:
            self.symbol(table)
        self.symbol(s)

    def raw(self, data):
        """Bytes that no table holds: escapes, taken while table 3 is locked."""
        if self.locked != 3:
            self.symbol(7)
            self.locked = 3
        while data:
            chunk, data = data[:255], data[255:]
            escape = ESCAPE_BYTE if len(chunk) == 1 else ESCAPE_RUN
            self.triple.append(escape)
            self.flush_pair()
            self.out += bytes(chunk) if escape == ESCAPE_BYTE else bytes((len(chunk),)) + bytes(chunk)

    def finish(self):
        if len(self.triple) == 1:
            self.out.append(self.triple[0] + 1)
        elif len(self.triple) == 2:
            self.triple.append(0)   # a single shift with nothing after it changes nothing
            self.flush_pair()
        self.triple = []
        return bytes(self.out)


def run_length(data, table):
    count = 0
    for byte in data:
        if byte not in SYMBOL_TABLES[table]:
            break
        count += 1
    return count


def pack(text):
    packer = Packer()
    i = 0
    while i < len(text):
        if tables_holding(text[i]):
            packer.character(text[i], text[i:])
            i += 1
        else:
            end = i
            while end < len(text) and not tables_holding(text[end]):
                end += 1
            packer.raw(text[i:end])
            i = end
    return packer.finish()


def unpack(packed):
    """The unpacker's algorithm, kept here to check every packed text."""
    out = bytearray()
    locked, shift = 0, NO_SHIFT

    def emit(s):
        nonlocal locked, shift
        if s <= 3:
            shift = s
        elif s <= 7:
            locked, shift = s - 4, NO_SHIFT
        else:
            table = shift if shift != NO_SHIFT else locked
            shift = NO_SHIFT
            out.append(SYMBOL_TABLES[table][s - 8])

    i, length = 0, len(packed)
    while i < length - 1:
        v = packed[i] * 255 + packed[i + 1] - 256
        a, b, c = v // 1600, (v % 1600) // 40, v % 40
        escape = None
        if locked == 3 and a >= ESCAPE_BYTE:
            escape = a
        else:
            skip_test = a <= 2
            emit(a)
            if locked == 3 and not skip_test and b >= ESCAPE_BYTE:
                escape = b
            else:
                emit(b)
                if locked == 3 and c >= ESCAPE_BYTE:
                    escape = c
                else:
                    emit(c)
        if escape is None:
            i += 2
        elif escape == ESCAPE_BYTE:
            out.append(packed[i + 2])
            i += 3
        else:
            count = packed[i + 2]
            out += packed[i + 3:i + 3 + count]
            i += 3 + count
    if i == length - 1:
        emit((packed[i] - 1) % 256)
    return bytes(out)


def c_bytes(data, indent="  ", per_line=16):
    lines = []
    for start in range(0, len(data), per_line):
        lines.append(indent + ", ".join(f"0x{b:02x}" for b in data[start:start + per_line]) + ",")
    return "\n".join(lines)


def c_text(data):
    return '"' + "".join(chr(b) if 32 <= b < 127 and chr(b) not in '"\\' else f"\\{b:03o}" for b in data) + '"'


def build(messages):
    """Answers the block and the packed length of each record (0 for the closing marker)."""
    records = [(FIRST_SENTINEL, 0, b"")] + messages + [(LAST_SENTINEL, 0, b"")]
    block = bytearray()
    lengths = []
    for number, attribute, text in records:
        packed = pack(text)
        if 0 in packed or unpack(packed) != text:
            raise SourceError(f"message {number}: the packed text does not unpack to the source text")
        high, low = divmod(number, 255)
        block += bytes((high + 1, low + 1, attribute & 0xFF)) + packed + b"\0"
        lengths.append(len(packed))
    # Offsets are 16-bit: the whole block must stay below 64 KiB.
    if len(block) > 0xFFFF:
        raise SourceError(f"the message block is {len(block)} bytes, more than 16-bit offsets reach")
    return block, lengths


def write_output(path, block, lengths, source_name):
    tables = ",\n".join("  {" + ", ".join(f"0x{b:02x}" for b in table) + "}" for table in SYMBOL_TABLES)
    length_lines = []
    for start in range(0, len(lengths), 16):
        length_lines.append("  " + ", ".join(str(n) for n in lengths[start:start + 16]) + ",")
    text = f"""// Generated by pack_messages.py from {source_name}: edit the texts there, not here.
#include <cstdint>

#include "foundation/message_block.h"

// The four symbol tables, as text: {" | ".join(c_text(t) for t in SYMBOL_TABLES)}
const std::uint8_t gtabMessageSymbols[4][32] = {{
{tables}
}};

const std::uint32_t gnMessageRecordCount = {len(lengths)};
const std::uint32_t gnMessageBlockSize = {len(block)};

const std::uint16_t gtabMessageLengths[] = {{
{chr(10).join(length_lines)}
}};

const std::uint8_t gbyMessageBlock[] = {{
{c_bytes(block)}
}};
"""
    with open(path, "w", encoding="utf-8", newline="\n") as output:
        output.write(text)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: pack_messages.py SOURCE OUTPUT\n")
        return 2
    try:
        block, lengths = build(read_source(argv[1]))
    except (SourceError, OSError, UnicodeError) as error:
        sys.stderr.write(f"pack_messages.py: {error}\n")
        return 1
    write_output(argv[2], block, lengths, argv[1].replace("\\", "/").split("/")[-1])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
