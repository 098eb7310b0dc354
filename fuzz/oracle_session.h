// The session the Oracle targets share: the driver started on the runtime stand-in, the OCI stand-in loaded from
// beside the program as the driver loads the client, a data source made in it and one connection opened on it, once
// per process. The stand-in's call log stays off: a log line per client call would grow with every input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation/error_holder.h"
#include "fuzz/fuzz_support.h"
#include "oracle/client/client_loader.h"
#include "oracle/oracle_connection.h"
#include "platform/module.h"
#include "standin/runtime/runtime_objects.h"

struct SOracleSession {
  CErrorHolder* holder = nullptr;
  COracleConnection* connection = nullptr;
  qzrt::ConnectionDescription description;
};

// A control entry of the OCI stand-in, found by name in the loaded client.
template <typename F>
F OciStandInEntry(const char* name) {
  auto entry = reinterpret_cast<F>(platform::FindModuleEntry(hGetOracleClientModule(), name));
  Check(entry != nullptr);
  return entry;
}

inline SOracleSession& OracleSession() {
  static SOracleSession* const session = [] {
    auto* made = new SOracleSession();
    StartDriverOnRuntimeStandIn();
    made->holder = new CErrorHolder();
    made->holder->AddRef();
    using D = qzrt::ConnectionDescription;
    made->description.SetText(D::kName, std::u16string(u"fuzz"));
    made->description.SetText(D::kDataSource, std::u16string(u"FUZZ"));
    made->description.SetText(D::kUserId, std::u16string(u"SYSTEM"));
    made->description.SetText(D::kPassword, std::u16string(u"manager"));
    // The first open loads the client; the data source is then made in the stand-in and the open done again.
    auto* probe = new COracleConnection(u"probe", reinterpret_cast<IHostConnectionDescription*>(&made->description));
    probe->AddRef();
    probe->bOpen(made->holder, u"probe");
    probe->nRelease();
    if (!bIsOracleClientLoaded()) {
      std::fprintf(stderr, "the OCI stand-in could not be loaded from beside the program\n");
      std::abort();
    }
    Check(OciStandInEntry<int (*)(const char*)>("qzociCreateDataSource")("FUZZ") == 0);
    OciStandInEntry<void (*)(int)>("qzociWatchCalls")(0);
    made->holder->Clear();
    made->connection =
        new COracleConnection(u"fuzz", reinterpret_cast<IHostConnectionDescription*>(&made->description));
    made->connection->AddRef();
    if (made->connection->bOpen(made->holder, u"fuzz") != 1) {
      std::fprintf(stderr, "no session on the OCI stand-in\n");
      std::abort();
    }
    return made;
  }();
  return *session;
}
