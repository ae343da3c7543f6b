// A call into a plug-in, told to the watcher for as long as it runs, so that
// a crash or a throw in it is named.
#pragma once

#include <cstdint>

#include "call_watcher.h"

namespace vsthost {

class WatchedCall {
public:
    WatchedCall(CallWatcher* watcher, const PluginCall& call) : watcher_(watcher) {
        if (watcher_ != nullptr) watcher_->calling(call);
    }
    // A call by its name, and the frames it runs, if it runs any.
    WatchedCall(CallWatcher* watcher, const char* name, std::int32_t frames = -1, double sampleRate = 0.0)
        : watcher_(watcher) {
        if (watcher_ == nullptr) return;
        PluginCall call{frames < 0 ? PluginCall::Kind::entry : PluginCall::Kind::run};
        call.entry = name;
        call.frames = frames < 0 ? 0 : frames;
        call.sampleRate = sampleRate;
        watcher_->calling(call);
    }
    ~WatchedCall() {
        if (watcher_ != nullptr) watcher_->returned();
    }
    WatchedCall(const WatchedCall&) = delete;
    WatchedCall& operator=(const WatchedCall&) = delete;

private:
    CallWatcher* watcher_;
};

}  // namespace vsthost
