#include "loading_scope.h"

#include <atomic>

namespace vsthost {

namespace {
std::mutex loadMutex;
std::atomic<HostCallback*> loadingHost{nullptr};
}  // namespace

LoadingScope::LoadingScope(HostCallback& host) : lock(loadMutex) { loadingHost.store(&host); }

LoadingScope::~LoadingScope() { loadingHost.store(nullptr); }

HostCallback* LoadingScope::current() { return loadingHost.load(); }

}  // namespace vsthost
