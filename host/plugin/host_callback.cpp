#include "host_callback.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>

#include "frame/opcodes.h"
#include "loading_scope.h"

namespace vsthost {

namespace {

// The records whose requests this process answers, and their hosts. Plug-ins
// ask from their audio thread, so the lookup takes no lock: a slot's host is
// set before its record and cleared after it. Only opening and closing,
// never the audio thread, take the mutex, which keeps them from taking one
// slot twice.
struct Slot {
    std::atomic<const AEffect*> effect{nullptr};
    std::atomic<HostCallback*> host{nullptr};
};
constexpr std::size_t kMostRecords = 256;
std::array<Slot, kMostRecords> slots;
std::mutex registryMutex;

HostCallback* hostOf(const AEffect* effect) {
    if (effect != nullptr)
        for (Slot& slot : slots)
            if (slot.effect.load(std::memory_order_acquire) == effect) {
                if (HostCallback* host = slot.host.load(std::memory_order_acquire)) return host;
            }
    // Requests made from inside the entry point come before the record is known.
    return LoadingScope::current();
}

void release(Slot& slot) {
    slot.effect.store(nullptr, std::memory_order_release);
    slot.host.store(nullptr, std::memory_order_release);
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
    for (Slot& slot : slots)
        if (slot.host.load() == this) release(slot);
}

void HostCallback::attach(const AEffect* effect) {
    std::lock_guard lock(registryMutex);
    for (Slot& slot : slots)
        if (slot.host.load() == nullptr) {
            slot.host.store(this, std::memory_order_release);
            slot.effect.store(effect, std::memory_order_release);
            return;
        }
    throw std::runtime_error("more than " + std::to_string(kMostRecords) + " plug-in instances open at once");
}

void HostCallback::detach(const AEffect* effect) {
    std::lock_guard lock(registryMutex);
    for (Slot& slot : slots)
        if (slot.effect.load() == effect) release(slot);
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
