#include "seeded_random.h"

namespace vsthost::validate {

namespace {

// SplitMix64: small, fast, and its output is fixed by definition.
std::uint64_t mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::uint64_t hashName(std::string_view name) {
    std::uint64_t h = 0xCBF29CE484222325ULL;  // FNV-1a
    for (const char c : name) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001B3ULL;
    }
    return h;
}

}  // namespace

SeededRandom::SeededRandom(std::uint64_t seed, std::string_view stream) : state(mix(seed) ^ hashName(stream)) {}

std::uint64_t SeededRandom::next() {
    state += 0x9E3779B97F4A7C15ULL;
    return mix(state);
}

float SeededRandom::uniform(float low, float high) {
    const float unit = static_cast<float>(next() >> 40) * (1.0f / 16777216.0f);
    return low + (high - low) * unit;
}

std::int32_t SeededRandom::between(std::int32_t low, std::int32_t high) {
    const std::uint64_t span = static_cast<std::uint64_t>(static_cast<std::int64_t>(high) - low) + 1;
    return static_cast<std::int32_t>(low + static_cast<std::int64_t>(next() % span));
}

}  // namespace vsthost::validate
