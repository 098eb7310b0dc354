#include "standin/oci/control.h"

#include <atomic>
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

QZOCI_EXPORT void qzociWatchCalls(int on) { qzoci::gWatched.store(on != 0, std::memory_order_relaxed); }
