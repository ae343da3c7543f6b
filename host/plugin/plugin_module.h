// A plug-in file, loaded into the process, with its entry point found.
#pragma once

#include <string>

#include "frame/effect_record.h"

namespace vsthost {

class PluginModule {
public:
    // Throws Failure (plugin) naming the path when the file is missing, is
    // not a loadable shared library, or has no entry point.
    explicit PluginModule(std::string path);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    const std::string& path() const { return path_; }
    EntryPointFunction entry() const { return entry_; }
    // "VSTPluginMain", or "main" for a library that exports only that.
    const char* entryName() const { return entryName_; }

private:
    std::string path_;
    void* handle = nullptr;
    EntryPointFunction entry_ = nullptr;
    const char* entryName_ = "VSTPluginMain";
};

}  // namespace vsthost
