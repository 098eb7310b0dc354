#include "standin/oci/control.h"

#include <atomic>
#if !defined(_WIN32)
#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "standin/oci/database.h"
#include "standin/oci/immortal.h"

namespace qzoci {

namespace {

struct Rule {
  std::string entry;
  unsigned nth = 0;  // counted from the injection
  unsigned seen = 0;
  bool toThrow = false;
  Injection injection;
};

struct ControlState {
  std::mutex mutex;
  std::vector<std::string> log;
  std::map<std::string, unsigned> counts;
  std::vector<Rule> rules;
  std::optional<PieceScript> pieces;
};

ControlState& State() {
  static Immortal<ControlState> state;
  return *state;
}

std::atomic<bool> gWatched{false};

// Every control call but the switch itself: the test is looking from now on.
ControlState& Watched() {
  gWatched.store(true, std::memory_order_relaxed);
  return State();
}

#if defined(_WIN32)
// A Windows build does not hide its entries: the tests that need a client without one load a variant built without
// it, and those run on Linux.
bool HideOwnExport(const char*) { return false; }
#else
// The dynamic symbol this library exports under the name, found through its GNU hash table, or null.
ElfW(Sym)* FindOwnExport(const link_map* map, const char* name) {
  const auto address = [map](ElfW(Addr) value) {
    // The dynamic linker has relocated these entries in place; an unrelocated one is an offset from the base.
    return value < map->l_addr ? value + map->l_addr : value;
  };
  ElfW(Sym)* symbols = nullptr;
  const char* strings = nullptr;
  const std::uint32_t* hash = nullptr;
  for (const ElfW(Dyn)* entry = map->l_ld; entry->d_tag != DT_NULL; ++entry) {
    if (entry->d_tag == DT_SYMTAB) symbols = reinterpret_cast<ElfW(Sym)*>(address(entry->d_un.d_ptr));
    if (entry->d_tag == DT_STRTAB) strings = reinterpret_cast<const char*>(address(entry->d_un.d_ptr));
    if (entry->d_tag == DT_GNU_HASH) hash = reinterpret_cast<const std::uint32_t*>(address(entry->d_un.d_ptr));
  }
  if (!symbols || !strings || !hash) return nullptr;
  const std::uint32_t bucketCount = hash[0];
  const std::uint32_t firstSymbol = hash[1];
  const std::uint32_t bloomWords = hash[2];
  const auto* buckets = reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const ElfW(Addr)*>(hash + 4) + bloomWords);
  const std::uint32_t* chain = buckets + bucketCount;
  std::uint32_t h = 5381;
  for (const char* p = name; *p; ++p) h = h * 33 + static_cast<unsigned char>(*p);
  std::uint32_t index = bucketCount ? buckets[h % bucketCount] : 0;
  if (index < firstSymbol) return nullptr;
  for (;; ++index) {
    const std::uint32_t link = chain[index - firstSymbol];
    if ((link | 1) == (h | 1) && std::strcmp(strings + symbols[index].st_name, name) == 0) return &symbols[index];
    if (link & 1) return nullptr;
  }
}

// The protection of the loaded segment that holds an address of this library.
struct SegmentQuery {
  ElfW(Addr) base;
  ElfW(Addr) address;
  int protection = PROT_READ;
};

int FindSegment(dl_phdr_info* info, std::size_t, void* data) {
  auto* query = static_cast<SegmentQuery*>(data);
  if (info->dlpi_addr != query->base) return 0;
  for (ElfW(Half) k = 0; k < info->dlpi_phnum; ++k) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[k];
    const ElfW(Addr) start = info->dlpi_addr + segment.p_vaddr;
    if (segment.p_type != PT_LOAD || query->address < start || query->address >= start + segment.p_memsz) continue;
    query->protection = ((segment.p_flags & PF_R) ? PROT_READ : 0) | ((segment.p_flags & PF_W) ? PROT_WRITE : 0) |
                        ((segment.p_flags & PF_X) ? PROT_EXEC : 0);
    return 1;
  }
  return 0;
}

// The dynamic linker skips a symbol with no value in every lookup by name (its undefined-symbol rule), so the
// export disappears for dlsym while the library's own calls, bound when it was linked, run as before.
bool HideOwnExport(const char* name) {
  Dl_info info{};
  link_map* map = nullptr;
  if (!dladdr1(reinterpret_cast<void*>(&qzociHideEntry), &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) ||
      !map || !name || !*name) {
    return false;
  }
  ElfW(Sym)* symbol = FindOwnExport(map, name);
  if (!symbol || symbol->st_shndx == SHN_UNDEF) return false;
  if (symbol->st_value == 0) return true;
  SegmentQuery query{map->l_addr, reinterpret_cast<ElfW(Addr)>(symbol)};
  dl_iterate_phdr(FindSegment, &query);
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  void* start = reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(symbol) & ~(page - 1));
  const std::size_t length = reinterpret_cast<std::uintptr_t>(symbol + 1) - reinterpret_cast<std::uintptr_t>(start);
  if (mprotect(start, length, query.protection | PROT_WRITE) != 0) return false;
  symbol->st_value = 0;
  mprotect(start, length, query.protection);
  return true;
}

#endif

// Applies QZOCI_HIDDEN_ENTRIES as the library loads, before any loader looks its entries up.
__attribute__((constructor)) void HideEntriesNamedByEnvironment() {
  const char* list = std::getenv("QZOCI_HIDDEN_ENTRIES");
  if (!list) return;
  std::string names(list);
  for (std::size_t start = 0; start <= names.size();) {
    std::size_t end = names.find(',', start);
    if (end == std::string::npos) end = names.size();
    const std::string name = names.substr(start, end - start);
    if (!name.empty()) HideOwnExport(name.c_str());
    start = end + 1;
  }
}

}  // namespace

bool CallsWatched() { return gWatched.load(std::memory_order_relaxed); }

std::optional<Injection> EnterEntry(const char* entry, const std::string& detail) {
  if (!CallsWatched()) return std::nullopt;
  ControlState& s = State();
  bool toThrow = false;
  std::optional<Injection> answer;
  {
    std::lock_guard<std::mutex> guard(s.mutex);
    // The log keeps the latest calls: a long run of a program must not grow it without end.
    if (s.log.size() >= 200000) s.log.erase(s.log.begin(), s.log.begin() + 100000);
    s.log.push_back(detail.empty() ? std::string(entry) : std::string(entry) + " " + detail);
    ++s.counts[entry];
    // Every rule of this entry counts the call, also when another rule takes effect at it: each keeps counting
    // from its own injection. A rule that falls due at a call an earlier rule took waits for the next call.
    auto due = s.rules.end();
    for (auto it = s.rules.begin(); it != s.rules.end(); ++it) {
      if (it->entry != entry || ++it->seen != it->nth) continue;
      if (due == s.rules.end()) {
        due = it;
      } else {
        --it->seen;
      }
    }
    if (due != s.rules.end()) {
      toThrow = due->toThrow;
      answer = due->injection;
      s.rules.erase(due);
    }
  }
  if (toThrow) throw std::runtime_error(std::string("qzoci: exception injected in ") + entry);
  return answer;
}

std::array<sword, 5> ClientVersion() {
  std::array<sword, 5> version = {19, 3, 0, 0, 0};
  const char* text = std::getenv("QZOCI_CLIENT_VERSION");
  if (!text || !*text) return version;
  version.fill(0);
  std::size_t k = 0;
  for (const char* p = text; *p && k < version.size(); ++p) {
    if (*p == '.') {
      ++k;
    } else if (*p >= '0' && *p <= '9') {
      version[k] = version[k] * 10 + (*p - '0');
    }
  }
  return version;
}

std::string ServerBanner() {
  const char* text = std::getenv("QZOCI_SERVER_BANNER");
  return text && *text ? std::string(text) : std::string("SQLite-backed OCI stand-in Release 19.0.0.0.0 - Production");
}

std::optional<PieceScript> TakePieceScript() {
  ControlState& s = State();
  std::lock_guard<std::mutex> guard(s.mutex);
  std::optional<PieceScript> script = std::move(s.pieces);
  s.pieces.reset();
  return script;
}

void AppendToLastCall(const std::string& detail) {
  if (!CallsWatched()) return;  // the last line is an earlier call's
  ControlState& s = State();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (!s.log.empty()) s.log.back() += " " + detail;
}

}  // namespace qzoci

using qzoci::Watched;

QZOCI_EXPORT void qzociReset() {
  auto& s = Watched();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.log.clear();
  s.counts.clear();
  s.rules.clear();
}

QZOCI_EXPORT void qzociSetDataDirectory(const char* directory) {
  Watched();
  qzoci::Database::SetDataDirectory(directory ? directory : "");
}

QZOCI_EXPORT void qzociCloseDatabases() {
  Watched();
  qzoci::Database::CloseAll();
}

QZOCI_EXPORT int qzociCreateDataSource(const char* dataSource) {
  Watched();
  qzoci::OraError error;
  return qzoci::Database::Create(dataSource ? dataSource : "", error) ? 0 : error.code;
}

QZOCI_EXPORT int qzociCreateUser(const char* dataSource, const char* user, const char* password) {
  Watched();
  qzoci::OraError error;
  std::shared_ptr<qzoci::Database> db = qzoci::Database::Open(dataSource ? dataSource : "", error);
  if (!db) return error.code;
  if (db->UserExists(user ? user : "")) return 0;
  return db->CreateUser(user ? user : "", password ? password : "").code;
}

QZOCI_EXPORT unsigned qzociDataSourceFolder(const char* dataSource, char* buffer, unsigned size) {
  Watched();
  qzoci::OraError error;
  std::shared_ptr<qzoci::Database> db = qzoci::Database::Open(dataSource ? dataSource : "", error);
  const std::string folder = db ? db->Directory() : std::string();
  if (buffer && size) buffer[folder.copy(buffer, size - 1)] = '\0';
  return static_cast<unsigned>(folder.size());
}

QZOCI_EXPORT unsigned qzociCallCount() {
  auto& s = Watched();
  std::lock_guard<std::mutex> guard(s.mutex);
  return static_cast<unsigned>(s.log.size());
}

QZOCI_EXPORT unsigned qzociGetCall(unsigned index, char* buffer, unsigned size) {
  auto& s = Watched();
  std::lock_guard<std::mutex> guard(s.mutex);
  if (index >= s.log.size()) return 0;
  const std::string& line = s.log[index];
  if (buffer && size) {
    const std::size_t n = std::min<std::size_t>(line.size(), size - 1);
    std::memcpy(buffer, line.data(), n);
    buffer[n] = 0;
  }
  return static_cast<unsigned>(line.size());
}

QZOCI_EXPORT unsigned qzociEntryCount(const char* entry) {
  auto& s = Watched();
  std::lock_guard<std::mutex> guard(s.mutex);
  const auto found = s.counts.find(entry ? entry : "");
  return found == s.counts.end() ? 0 : found->second;
}

QZOCI_EXPORT void qzociClearCallLog() {
  auto& s = Watched();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.log.clear();
}

QZOCI_EXPORT void qzociInjectStatus(const char* entry, unsigned nth, int status, int oraCode) {
  auto& s = Watched();
  std::lock_guard<std::mutex> guard(s.mutex);
  qzoci::Rule rule;
  rule.entry = entry ? entry : "";
  rule.nth = nth == 0 ? 1 : nth;
  rule.injection.status = status;
  rule.injection.oraCode = oraCode;
  s.rules.push_back(rule);
}

QZOCI_EXPORT void qzociInjectThrow(const char* entry, unsigned nth) {
  auto& s = Watched();
  std::lock_guard<std::mutex> guard(s.mutex);
  qzoci::Rule rule;
  rule.entry = entry ? entry : "";
  rule.nth = nth == 0 ? 1 : nth;
  rule.toThrow = true;
  s.rules.push_back(rule);
}

QZOCI_EXPORT int qzociHideEntry(const char* entry) { return qzoci::HideOwnExport(entry) ? 1 : 0; }

QZOCI_EXPORT void qzociWatchCalls(int on) { qzoci::gWatched.store(on != 0, std::memory_order_relaxed); }

QZOCI_EXPORT void qzociScriptPieces(const char* bytes, unsigned size, int null, const unsigned* sizes,
                                    const unsigned* over, unsigned count) {
  qzoci::PieceScript script;
  if (bytes) script.bytes.assign(bytes, size);
  script.null = null != 0;
  if (sizes) script.sizes.assign(sizes, sizes + count);
  if (over) script.over.assign(over, over + count);
  auto& s = qzoci::State();
  std::lock_guard<std::mutex> guard(s.mutex);
  s.pieces = std::move(script);
}
