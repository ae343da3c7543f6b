#include "plugin_module.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "host/text/failure.h"

namespace vsthost {

namespace {

Failure pluginFailure(const std::string& path, const std::string& what) {
    return Failure(FailureKind::plugin, "plug-in '" + path + "' " + what);
}

struct OtherFormat {
    const char* name;
    const char* entry;         // the symbol its libraries export
    const char* bundleEnding;  // of the folder it comes in
};

constexpr OtherFormat kOtherFormats[] = {
    {"an LV2", "lv2_descriptor", ".lv2"},
    {"a VST3", "GetPluginFactory", ".vst3"},
    {"a CLAP", "clap_entry", ".clap"},
};

const char* const kOnlyVst2 = "dravelkint hosts VST 2.4 plug-ins only (their libraries export VSTPluginMain or main)";

bool endsWith(std::string text, const std::string& ending) {
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text.size() >= ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

}  // namespace

PluginModule::PluginModule(std::string path) : path_(std::move(path)) {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0)
        throw pluginFailure(path_, std::string("cannot be opened: ") + std::strerror(errno));
    if (S_ISDIR(st.st_mode)) {
        for (const OtherFormat& format : kOtherFormats)
            if (endsWith(path_, format.bundleEnding))
                throw pluginFailure(path_, std::string("is ") + format.name + " plug-in's folder; " + kOnlyVst2);
        throw pluginFailure(path_, "is a directory, not a plug-in file");
    }

    // A path without a slash would make the loader search its library path.
    const std::string loadPath = path_.find('/') == std::string::npos ? "./" + path_ : path_;
    handle = ::dlopen(loadPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = ::dlerror();
        throw pluginFailure(path_, std::string("is not a loadable shared library: ") + (reason ? reason : "unknown"));
    }
    void* symbol = ::dlsym(handle, "VSTPluginMain");
    // Plug-ins from before the entry point got its name export only "main".
    if (symbol == nullptr) {
        symbol = ::dlsym(handle, "main");
        entryName_ = "main";
    }
    if (symbol == nullptr) {
        std::string what = "exports neither VSTPluginMain nor main: it is not a VST 2.4 plug-in";
        for (const OtherFormat& format : kOtherFormats)
            if (::dlsym(handle, format.entry) != nullptr) {
                what = std::string("is ") + format.name + " plug-in (it exports " + format.entry + "); " + kOnlyVst2;
                break;
            }
        ::dlclose(handle);
        throw pluginFailure(path_, what);
    }
    entry_ = reinterpret_cast<EntryPointFunction>(symbol);
}

PluginModule::~PluginModule() { ::dlclose(handle); }

}  // namespace vsthost
