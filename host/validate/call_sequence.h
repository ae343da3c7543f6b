// The calls a check makes into the plug-in, written to a file as they are
// made, so that the file survives the plug-in crashing the process, and so
// that `dravelkint validate --replay FILE PLUGIN` can make exactly those calls
// again, with the same audio, outside the validator. One line per call:
// the instance it goes to (numbered from 1 in the order they were opened),
// the call, and its arguments; floats as their bits in hex, so that they
// come back exactly.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "host/plugin/call_watcher.h"

namespace vsthost::validate {

class CallSequence {
public:
    // Starts `path` afresh, with a heading naming the check.
    CallSequence(const std::string& path, const std::string& heading);
    ~CallSequence();
    CallSequence(const CallSequence&) = delete;
    CallSequence& operator=(const CallSequence&) = delete;

    // The one being written in this process, or none.
    static CallSequence* active();
    static void setActive(CallSequence* sequence);

    int newInstance() { return ++instances; }
    // Written before the call is made; `inputs` are the process calls' audio.
    void record(int instance, const PluginCall& call, std::int32_t inputs, const void* const* audio);
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::FILE* file;
    int instances = 0;
};

// The path a check's calls are written to in `directory`.
std::string sequencePath(const std::string& directory, const std::string& checkId);

// Makes every call of the file into the plug-in at `pluginPath`, in this
// process; tells `out` what it did. Throws Failure (usage) for a file that
// is no call sequence.
void replaySequence(const std::string& file, const std::string& pluginPath, std::FILE* out);

}  // namespace vsthost::validate
