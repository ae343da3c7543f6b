#include "vst2_description.h"

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "host/text/failure.h"
#include "host/text/trimmed.h"
#include "loaded_plugin.h"

namespace vsthost {

namespace {

bool isElfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    return in.read(magic, sizeof magic) && std::memcmp(magic,
                                                       "\x7f"
                                                       "ELF",
                                                       4) == 0;
}

// The loaded library, for the test of its exports only.
class LibraryHandle {
public:
    explicit LibraryHandle(const std::string& path) : handle(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~LibraryHandle() {
        if (handle != nullptr) ::dlclose(handle);
    }
    LibraryHandle(const LibraryHandle&) = delete;
    LibraryHandle& operator=(const LibraryHandle&) = delete;
    void* get() const { return handle; }

private:
    void* handle;
};

// The loader's message without the path it repeats.
std::string withoutPath(std::string message, const std::string& path) {
    for (const std::string& prefix : {"plug-in '" + path + "' ", path + ": "})
        if (message.rfind(prefix, 0) == 0) return message.substr(prefix.size());
    return message;
}

}  // namespace

std::optional<InstalledPlugin> describeVst2Library(const std::string& path) {
    InstalledPlugin entry;
    entry.format = "VST 2.4";
    entry.location = path;
    entry.name = std::filesystem::path(path).stem().string();
    if (!isElfFile(path)) return std::nullopt;
    // A path without a slash would make the loader search its library path.
    const std::string loadPath = path.find('/') == std::string::npos ? "./" + path : path;
    const LibraryHandle library(loadPath);
    if (library.get() == nullptr) {
        const char* reason = ::dlerror();
        entry.problem = "cannot be loaded: " + withoutPath(reason != nullptr ? reason : "unknown reason", loadPath);
        return entry;
    }
    if (::dlsym(library.get(), "VSTPluginMain") == nullptr && ::dlsym(library.get(), "main") == nullptr)
        return std::nullopt;
    try {
        LoadedPlugin plugin(loadPath);
        // Names cut at the record's 32 bytes often end in a space.
        std::string name = trimmed(plugin.effectName());
        if (name.empty()) name = trimmed(plugin.product());
        if (!name.empty()) entry.name = name;
        entry.inputs = plugin.inputs();
        entry.outputs = plugin.outputs();
    } catch (const Failure& failure) {
        entry.problem = withoutPath(failure.what(), loadPath);
    } catch (const std::exception& error) {
        entry.problem = std::string("threw an exception while opening: ") + error.what();
    } catch (...) {
        entry.problem = "threw an exception while opening";
    }
    return entry;
}

}  // namespace vsthost
