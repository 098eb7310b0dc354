#include "tests/support/countdown_allocator.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "host/host_services.h"

// Visible to the whole process: the replaced operator new must serve the shared libraries too (the C++ library's
// own containers, the stand-ins), and the linker wants the wrappers visible to the modules it resolves them for.
#define QZ_VISIBLE __attribute__((visibility("default")))

extern "C" {
void* __real_malloc(std::size_t size);
void* __real_calloc(std::size_t count, std::size_t size);
void* __real_realloc(void* block, std::size_t size);
void __real_free(void* block);
void* __wrap_malloc(std::size_t size);
void* __wrap_calloc(std::size_t count, std::size_t size);
void* __wrap_realloc(void* block, std::size_t size);
void __wrap_free(void* block);
}

namespace {

std::atomic<bool> gbArmed{false};
std::atomic<bool> gbFired{false};
std::atomic<std::int64_t> gnLeft{0};  // allocations still let through; the one met at 0 fails
std::atomic<int> gnPaused{0};

bool bCounting() { return gbArmed.load() && gnPaused.load() == 0; }

// The paths of a recording run: fixed storage, since it is written from under malloc.
constexpr std::size_t kMaxRecorded = std::size_t{1} << 16;
constexpr int kMaxDepth = 32;
std::atomic<bool> gbRecording{false};
std::atomic<int> gnRecordDepth{0};
std::uint64_t gPaths[kMaxRecorded];
std::atomic<std::size_t> gnRecorded{0};
thread_local bool tbInBacktrace = false;

void RecordPath() {
  if (tbInBacktrace) return;
  tbInBacktrace = true;
  void* frames[kMaxDepth + 3];
  const int count = backtrace(frames, gnRecordDepth.load() + 3);
  std::uint64_t key = 1469598103934665603ull;
  for (int i = 3; i < count; ++i) {  // past this function, bFailHere and the allocation entry
    key = (key ^ reinterpret_cast<std::uintptr_t>(frames[i])) * 1099511628211ull;
  }
  const std::size_t index = gnRecorded.fetch_add(1);
  if (index < kMaxRecorded) gPaths[index] = key;
  tbInBacktrace = false;
}

// QZ_COUNTDOWN_STACK set: the sanitizer build shows where each failed allocation was asked for.
extern "C" void __sanitizer_print_stack_trace() __attribute__((weak));
void ShowFailedAllocation() {
  static const bool show = std::getenv("QZ_COUNTDOWN_STACK") != nullptr;
  if (show && __sanitizer_print_stack_trace) __sanitizer_print_stack_trace();
}

// True for the one allocation the countdown fails.
bool bFailHere() {
  if (!bCounting()) return false;
  if (gbRecording.load()) {
    RecordPath();
    return false;
  }
  if (gnLeft.fetch_sub(1) != 0) return false;
  gbFired = true;
  ShowFailedAllocation();
  return true;
}

// The tracked blocks: an open-addressed set of addresses that never allocates, so that it can sit under malloc.
constexpr std::size_t kSlots = std::size_t{1} << 16;
constexpr std::uintptr_t kEmpty = 0;
constexpr std::uintptr_t kRemoved = 1;
std::uintptr_t gTracked[kSlots];
std::size_t gnTracked = 0;
std::size_t gnUsedSlots = 0;  // tracked plus removed: what the probes walk over
std::atomic_flag gSetLock = ATOMIC_FLAG_INIT;

class CSetGuard {
 public:
  CSetGuard() {
    while (gSetLock.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~CSetGuard() { gSetLock.clear(std::memory_order_release); }
  CSetGuard(const CSetGuard&) = delete;
  CSetGuard& operator=(const CSetGuard&) = delete;
};

std::size_t SlotOf(std::uintptr_t address) {
  return static_cast<std::size_t>((address >> 4) * 0x9E3779B97F4A7C15ull >> 48) & (kSlots - 1);
}

void Track(void* block, bool always = false) {
  if (!block || !(always || bCounting())) return;
  CSetGuard guard;
  if (gnUsedSlots >= kSlots - kSlots / 4) {
    std::fputs("countdown allocator: too many blocks tracked in one run\n", stderr);
    std::abort();
  }
  const auto address = reinterpret_cast<std::uintptr_t>(block);
  for (std::size_t i = SlotOf(address);; i = (i + 1) & (kSlots - 1)) {
    if (gTracked[i] == kEmpty) ++gnUsedSlots;
    if (gTracked[i] == kEmpty || gTracked[i] == kRemoved) {
      gTracked[i] = address;
      ++gnTracked;
      return;
    }
  }
}

// True when the block was tracked (it no longer is).
bool bUntrack(void* block) {
  if (!block) return false;
  CSetGuard guard;
  if (gnTracked == 0) return false;
  const auto address = reinterpret_cast<std::uintptr_t>(block);
  for (std::size_t i = SlotOf(address); gTracked[i] != kEmpty; i = (i + 1) & (kSlots - 1)) {
    if (gTracked[i] == address) {
      gTracked[i] = kRemoved;
      --gnTracked;
      return true;
    }
  }
  return false;
}

// True for a call made by the runtime stand-in itself (its call logs, its texts): the runtime's memory is not the
// driver's, and what it keeps between calls is no leak of a run.
bool bFromRuntime(void* caller) {
  static void* const runtimeBase = [] {
    Dl_info info{};
    return dladdr(qzrt::StringAllocator(), &info) ? info.dli_fbase : nullptr;
  }();
  Dl_info info{};
  return runtimeBase && dladdr(caller, &info) && info.dli_fbase == runtimeBase;
}

void* Allocate(std::size_t size, void* caller) {
  const bool counted = bCounting() && !bFromRuntime(caller);  // looked up only while a run counts
  if (counted && bFailHere()) return nullptr;
  void* block = __real_malloc(size ? size : 1);
  if (counted) Track(block);
  return block;
}

void Release(void* block) {
  bUntrack(block);
  __real_free(block);
}

// What the runtime answers when it has no memory for a string.
constexpr std::int32_t kRuntimeOutOfMemory = 8;

class CCountedStringAllocator final : public IHostStringAllocator {
 public:
  void Slot0() override { Inner()->Slot0(); }
  std::int32_t nAllocate(void** string, std::uint32_t capacity, std::uint32_t sizeWord) override {
    return bFailHere() ? kRuntimeOutOfMemory : Inner()->nAllocate(string, capacity, sizeWord);
  }
  std::int32_t nReallocate(void** string, std::uint32_t capacity) override {
    return bFailHere() ? kRuntimeOutOfMemory : Inner()->nReallocate(string, capacity);
  }
  void Free(void* string) override { Inner()->Free(string); }

 private:
  static IHostStringAllocator* Inner() { return static_cast<IHostStringAllocator*>(qzrt::StringAllocator()); }
};

CCountedStringAllocator gStringAllocator;

}  // namespace

extern "C" {

QZ_VISIBLE void* __wrap_malloc(std::size_t size) {
  if (bFailHere()) return nullptr;
  void* block = __real_malloc(size);
  Track(block);
  return block;
}

QZ_VISIBLE void* __wrap_calloc(std::size_t count, std::size_t size) {
  if (bFailHere()) return nullptr;
  void* block = __real_calloc(count, size);
  Track(block);
  return block;
}

QZ_VISIBLE void* __wrap_realloc(void* block, std::size_t size) {
  if (block && size == 0) {  // a free in the C library's sense
    bUntrack(block);
    return __real_realloc(block, 0);
  }
  if (bFailHere()) return nullptr;  // the block stays as it was, as a real failure leaves it
  void* moved = __real_realloc(block, size);
  if (!moved) return nullptr;
  // A tracked block stays tracked where it moved; one made before the run stays untracked: its owner outlives the run.
  if (bUntrack(block)) {
    Track(moved, true);
  } else if (!block) {
    Track(moved);
  }
  return moved;
}

QZ_VISIBLE void __wrap_free(void* block) { Release(block); }

}  // extern "C"

QZ_VISIBLE void* operator new(std::size_t size) {
  if (void* block = Allocate(size, __builtin_return_address(0))) return block;
  throw std::bad_alloc();
}
QZ_VISIBLE void* operator new[](std::size_t size) {
  if (void* block = Allocate(size, __builtin_return_address(0))) return block;
  throw std::bad_alloc();
}
QZ_VISIBLE void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size, __builtin_return_address(0)); }
QZ_VISIBLE void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size, __builtin_return_address(0)); }
QZ_VISIBLE void operator delete(void* block) noexcept { Release(block); }
QZ_VISIBLE void operator delete[](void* block) noexcept { Release(block); }
QZ_VISIBLE void operator delete(void* block, std::size_t) noexcept { Release(block); }
QZ_VISIBLE void operator delete[](void* block, std::size_t) noexcept { Release(block); }
QZ_VISIBLE void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
QZ_VISIBLE void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }

namespace countdown {

void Arm(std::uint64_t n) {
  {
    CSetGuard guard;
    std::memset(gTracked, 0, sizeof gTracked);
    gnTracked = 0;
    gnUsedSlots = 0;
  }
  gnLeft = static_cast<std::int64_t>(n);
  gbFired = false;
  gbArmed = true;
}

bool bDisarm() {
  gbArmed = false;
  gbRecording = false;
  return gbFired.load();
}

void Record(int depth) {
  {
    // The unwinder loads what it needs at its first use: before the counting.
    void* frames[2];
    backtrace(frames, 2);
  }
  gnRecordDepth = depth < 1 ? 1 : depth > kMaxDepth ? kMaxDepth : depth;
  gnRecorded = 0;
  gbRecording = true;
  Arm(0);
}

std::vector<std::uint64_t> RecordedPaths() {
  CPause pause;
  const std::size_t count = gnRecorded.load() < kMaxRecorded ? gnRecorded.load() : kMaxRecorded;
  return std::vector<std::uint64_t>(gPaths, gPaths + count);
}

std::size_t nTrackedLive() {
  CSetGuard guard;
  return gnTracked;
}

CPause::CPause() { ++gnPaused; }
CPause::~CPause() { --gnPaused; }

IHostStringAllocator* StringAllocator() { return &gStringAllocator; }

}  // namespace countdown
