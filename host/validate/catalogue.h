// The checks a plug-in is put through, in groups. Each group runs in a child
// process of its own; each check builds the instances it needs, so that a
// check can be rerun alone after an earlier one crashed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "seeded_random.h"
#include "verdict.h"

namespace vsthost {
class PluginModule;
}

namespace vsthost::validate {

struct CheckContext {
    const PluginModule& module;
    int strictness;
    SeededRandom random;

    // The verdict for a finding that is a failure from strictness `level` on
    // and a warning below it.
    Verdict failFrom(int level) const { return strictness >= level ? Verdict::fail : Verdict::warn; }
};

struct Check {
    std::string id;     // "group.name", as the report shows it
    int strictness;     // the lowest strictness that runs it
    std::string about;  // one line for --help
    std::function<Outcome(CheckContext&)> run;
};

struct CheckGroup {
    std::string name;
    std::vector<Check> checks;
};

constexpr int kMinStrictness = 1;
constexpr int kMaxStrictness = 10;

// Loading the library and receiving a record: run before every group, since
// nothing else can be checked without it.
CheckGroup loadGroup();

CheckGroup identityGroup();
CheckGroup lifecycleGroup();
CheckGroup gridGroup();
CheckGroup transportGroup();
CheckGroup parametersGroup();
CheckGroup realtimeGroup();
CheckGroup denormalsGroup();

// Every group but the load group, in the order they run.
const std::vector<CheckGroup>& catalogue();

}  // namespace vsthost::validate
