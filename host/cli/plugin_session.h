// A plug-in a command loads, watched from its entry point to its close. A
// crash, an abort or an exception in any call into it (open, set-up, a
// parameter, start, a block, stop, close) ends the command with exit 6 and a
// message naming the call, and removes the temporary file it was told of:
// the one place where a plug-in's failure is named.
#pragma once

#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "crash_handler.h"
#include "host/plugin/call_recorder.h"
#include "host/plugin/plugin.h"
#include "host/song/transport.h"
#include "host/text/failure.h"

namespace vsthost {

class PluginSession {
public:
    // `outcome` ends every failure message: "; nothing was written to 'out.wav'".
    explicit PluginSession(const std::string& outcome);
    ~PluginSession();
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    // Loads and opens the plug-in the option names (Dravelkint by default),
    // served the song at `clock`, which must outlive the session.
    Plugin& open(const std::optional<std::string>& option, const Transport& clock);
    Plugin& plugin() { return *loaded_; }
    bool isOpen() const { return loaded_ != nullptr; }

    void removeOnCrash(const std::string& path) { crashes_.removeOnCrash(path); }
    // Switches processing off, closes and unloads the plug-in.
    void close();
    // Once OUT stands, a crash has nothing left to remove.
    void disarm() { crashes_.disarm(); }

    // Runs `work`; an exception that came out of a call into the plug-in
    // becomes the failure that names the call.
    template <typename Work>
    void run(Work&& work) {
        try {
            work();
        } catch (const Failure&) {
            throw;
        } catch (const std::exception& error) {
            if (calls_.threw()[0] == '\0') throw;
            throw thrown(error.what());
        } catch (...) {
            if (calls_.threw()[0] == '\0') throw;
            throw thrown("of a type this host does not know");
        }
    }

private:
    Failure thrown(const std::string& what) const;

    std::string outcome_;
    CallRecorder calls_;
    CrashHandler crashes_;
    std::unique_ptr<Plugin> loaded_;  // last: closed while the crash handler still watches
};

}  // namespace vsthost
