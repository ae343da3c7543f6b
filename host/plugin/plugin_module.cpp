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

}  // namespace

PluginModule::PluginModule(std::string path) : path_(std::move(path)) {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0)
        throw pluginFailure(path_, std::string("cannot be opened: ") + std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw pluginFailure(path_, "is a directory, not a plug-in file");

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
        ::dlclose(handle);
        throw pluginFailure(path_, "exports neither VSTPluginMain nor main: it is not a VST 2.4 plug-in");
    }
    entry_ = reinterpret_cast<EntryPointFunction>(symbol);
}

PluginModule::~PluginModule() { ::dlclose(handle); }

}  // namespace vsthost
