#include "plugin_library.h"

#include <dlfcn.h>

#include <stdexcept>

PluginLibrary::PluginLibrary(const std::string& path) : handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle == nullptr) throw std::runtime_error(std::string("cannot load plug-in: ") + dlerror());
}

PluginLibrary::~PluginLibrary() { dlclose(handle); }

void* PluginLibrary::symbol(const char* name) const { return dlsym(handle, name); }
