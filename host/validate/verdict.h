// What one check concluded about the plug-in, and why.
#pragma once

#include <string>
#include <vector>

#include "host/text/counted.h"

namespace vsthost::validate {

enum class Verdict { pass, warn, fail, skip };

const char* verdictName(Verdict verdict);

// One thing a check found.
struct Finding {
    Verdict verdict;
    std::string message;
};

struct Outcome {
    Verdict verdict;
    std::string message;
    // Whatever else the check found besides the headline, each in full.
    std::vector<Finding> others = {};
};

inline Outcome passed(std::string message) { return {Verdict::pass, std::move(message)}; }
inline Outcome warned(std::string message) { return {Verdict::warn, std::move(message)}; }
inline Outcome failed(std::string message) { return {Verdict::fail, std::move(message)}; }
inline Outcome skipped(std::string message) { return {Verdict::skip, std::move(message)}; }

}  // namespace vsthost::validate
