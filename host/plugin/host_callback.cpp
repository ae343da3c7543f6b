#include "host_callback.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "frame/opcodes.h"
#include "loading_scope.h"

namespace vsthost {

namespace {

std::mutex registryMutex;
std::vector<std::pair<const AEffect*, HostCallback*>> registry;

HostCallback* hostOf(const AEffect* effect) {
    if (effect != nullptr) {
        std::lock_guard lock(registryMutex);
        for (const auto& [record, host] : registry)
            if (record == effect) return host;
    }
    // Requests made from inside the entry point come before the record is known.
    return LoadingScope::current();
}

// Host text buffers are 64 bytes by convention.
constexpr std::size_t kHostTextBound = 63;

std::intptr_t copyText(void* ptr, const std::string& text) {
    if (ptr == nullptr) return 0;
    const std::size_t n = std::min(text.size(), kHostTextBound);
    std::memcpy(ptr, text.data(), n);
    static_cast<char*>(ptr)[n] = '\0';
    return 1;
}

}  // namespace

HostCallback::~HostCallback() {
    std::lock_guard lock(registryMutex);
    std::erase_if(registry, [this](const auto& entry) { return entry.second == this; });
}

void HostCallback::attach(const AEffect* effect) {
    std::lock_guard lock(registryMutex);
    registry.emplace_back(effect, this);
}

void HostCallback::detach(const AEffect* effect) {
    std::lock_guard lock(registryMutex);
    std::erase_if(registry, [effect](const auto& entry) { return entry.first == effect; });
}

std::intptr_t HostCallback::entry(AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                  void* ptr, float opt) {
    HostCallback* host = hostOf(effect);
    if (host != nullptr) return host->answer(effect, opcode, index, value, ptr, opt);
    return opcode == audioMasterVersion ? kVersion : 0;
}

std::intptr_t HostCallback::answer(AEffect* /*effect*/, std::int32_t opcode, std::int32_t /*index*/,
                                   std::intptr_t /*value*/, void* ptr, float /*opt*/) {
    switch (opcode) {
        case audioMasterVersion: return kVersion;
        case audioMasterGetTime:
            if (!answersTime) return 0;
            time = clock_->timeInfo();
            return reinterpret_cast<std::intptr_t>(&time);
        case audioMasterGetSampleRate: return static_cast<std::intptr_t>(sampleRate);
        case audioMasterGetBlockSize: return blockSize;
        case audioMasterGetVendorString: return copyText(ptr, vendor);
        case audioMasterGetProductString: return copyText(ptr, product);
        case audioMasterGetVendorVersion: return vendorVersion;
        // Nothing to redo: a render reads the record's delay after every
        // block, and its channels are fixed once it has started.
        case audioMasterIOChanged: return 1;
        default: return 0;
    }
}

}  // namespace vsthost
