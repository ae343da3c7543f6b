// Which of a plug-in's inputs carry the signal and which a side-chain.
// --sidechain gives those inputs a signal, --channels chooses which outputs
// are written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vsthost {

struct InputPins {
    std::vector<bool> sidechain;  // one per input
    // Why the side-chain is where it is; empty when there is none.
    std::string basis;

    std::int32_t mainCount() const;
    std::int32_t sidechainCount() const;
};

// For a format that does not say: a plug-in with more inputs than outputs is
// taken to have its side-chain on the inputs past its outputs, as
// compressors and gates with a key input are built.
InputPins pinsByCount(std::int32_t inputs, std::int32_t outputs);

}  // namespace vsthost
