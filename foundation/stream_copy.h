// The block copy shared by IXStream and CStreamProxy: it runs on the source's and the target's own operations
// (nGetSize, nGetPosition, nRead, bSeek, nWrite), so that each copies through its own table.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/file.h"

inline constexpr std::uint32_t STREAM_COPY_BLOCK_SIZE = 65536;
inline constexpr std::uint64_t STREAM_SIZE_FAILED = ~std::uint64_t{0};

// count < 0: from the position to the end. A source shorter than count ends the copy as a success. *pbNoMemory is
// set when the block could not be allocated.
template <typename Source, typename Target>
int nCopyStreamBlocks(Source& source, Target& target, std::int64_t count, bool* pbNoMemory) {
  *pbNoMemory = false;
  std::uint64_t remaining;
  if (count < 0) {
    const std::uint64_t size = source.nGetSize();
    const std::uint64_t position = source.nGetPosition();
    if (size == STREAM_SIZE_FAILED) return 0;
    remaining = size > position ? size - position : 0;
  } else {
    remaining = static_cast<std::uint64_t>(count);
  }
  if (remaining == 0) return 1;
  struct SFree {
    void operator()(void* p) const { std::free(p); }
  };
  std::unique_ptr<std::uint8_t[], SFree> block(static_cast<std::uint8_t*>(std::malloc(STREAM_COPY_BLOCK_SIZE)));
  if (!block) {
    *pbNoMemory = true;
    return 0;
  }
  for (;;) {
    std::uint32_t got = 0;
    if (!source.nRead(block.get(), STREAM_COPY_BLOCK_SIZE, &got)) return 0;
    std::uint32_t take = got;
    if (got > remaining) {
      // Read too far: the surplus goes back, so that the source stands just after what was copied.
      if (!source.bSeek(-static_cast<std::int64_t>(got - remaining), platform::kFileCurrent)) return 0;
      take = static_cast<std::uint32_t>(remaining);
    }
    if (!target.nWrite(block.get(), take, nullptr)) return 0;
    remaining -= take;
    if (remaining == 0 || got < STREAM_COPY_BLOCK_SIZE) return 1;
  }
}
