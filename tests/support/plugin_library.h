// The built plug-in, loaded as a workstation loads it.
#pragma once

#include <string>

#include "frame/effect_record.h"

class PluginLibrary {
public:
    explicit PluginLibrary(const std::string& path = DRAVELKINT_PLUGIN_PATH);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    void* symbol(const char* name) const;
    EntryPointFunction entry() const { return reinterpret_cast<EntryPointFunction>(symbol("VSTPluginMain")); }

private:
    void* handle;
};

// Shorthands for talking to a record the way hosts do.
inline std::intptr_t dispatch(AEffect* e, std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0,
                              void* ptr = nullptr, float opt = 0.0f) {
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}
