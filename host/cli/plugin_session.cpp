#include "plugin_session.h"

#include "host/plugin/plugin_loader.h"
#include "host/plugin/plugin_location.h"

namespace vsthost {

PluginSession::PluginSession(const std::string& outcome) : outcome_(outcome), crashes_(calls_, outcome) {}

PluginSession::~PluginSession() = default;

Plugin& PluginSession::open(const std::optional<std::string>& option, const Transport& clock) {
    loaded_ = openPlugin(resolvePluginPath(option), &calls_, clock);
    return *loaded_;
}

void PluginSession::close() {
    if (loaded_ == nullptr) return;
    loaded_->shutDown();
    loaded_.reset();
}

Failure PluginSession::thrown(const std::string& what) const {
    return Failure(FailureKind::crash, "the plug-in threw an exception (" + what + ") in " + calls_.threw() + outcome_);
}

}  // namespace vsthost
