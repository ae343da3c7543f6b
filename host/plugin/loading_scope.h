// While a plug-in's entry point runs, its record is not yet known to the
// host, so requests it makes then are answered by the host that is loading.
// Loads are serialised; the scope names the loading host.
#pragma once

#include <mutex>

namespace vsthost {

class HostCallback;

class LoadingScope {
public:
    explicit LoadingScope(HostCallback& host);
    ~LoadingScope();
    LoadingScope(const LoadingScope&) = delete;
    LoadingScope& operator=(const LoadingScope&) = delete;

    static HostCallback* current();

private:
    std::unique_lock<std::mutex> lock;
};

}  // namespace vsthost
