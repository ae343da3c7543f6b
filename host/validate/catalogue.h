// The checks a plug-in is put through, in groups. Each group runs in a
// freshly started process of its own; each check builds the instances it
// needs, so that the checks after one that crashed can go on in a new process.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "run_settings.h"
#include "seeded_random.h"
#include "time_budget.h"
#include "verdict.h"

namespace vsthost {
class PluginModule;
}

namespace vsthost::validate {

struct Lv2Subject;

struct CheckContext {
    // What is validated: a VST 2.4 library, or an LV2 plug-in's data and
    // binary; the other is null. A group serves one format (CheckGroup::format).
    const PluginModule* module;
    const Lv2Subject* lv2;
    int strictness;
    SeededRandom random;
    TimeBudget budget;  // for checks that repeat something many times
    // Something learnt about the plug-in, for the report's heading.
    std::function<void(const std::string& key, const std::string& value)> fact = {};
    const RunSettings* run = nullptr;

    // The verdict for a finding that is a failure from strictness `level` on
    // and a warning below it.
    Verdict failFrom(int level) const { return strictness >= level ? Verdict::fail : Verdict::warn; }
};

// Which plug-ins a check runs on: it asks what one format has, or both.
enum class Formats { vst2, lv2, both };

struct Check {
    std::string id;     // "group.name", as the report shows it
    int strictness;     // the lowest strictness that runs it
    std::string about;  // one line for --help
    std::function<Outcome(CheckContext&)> run;
    // A crash, hang or exception in this check fails from this strictness
    // and warns below it; past kMaxStrictness it only ever warns.
    int crashFailsFrom = 1;
    // Gathers facts for the report and gives no verdict of its own, whatever
    // happens in it.
    bool quiet = false;
    Formats formats = Formats::vst2;
};

// The verdict for a crash, hang or exception in `check`: a failure from its
// crashFailsFrom on, below it a warning that says from where it fails.
Outcome crashOutcome(const Check& check, int strictness, std::string message);

enum class PluginFormat { vst2, lv2 };

struct CheckGroup {
    std::string name;
    std::vector<Check> checks;
    bool needsDisplay = false;  // runs under an X display, or is skipped
    PluginFormat format = PluginFormat::vst2;
};

constexpr int kMinStrictness = 1;
constexpr int kMaxStrictness = 10;

// Loading the library and receiving a record: run once, before the other
// groups, since nothing else can be checked without it.
CheckGroup loadGroup();

CheckGroup identityGroup();
CheckGroup lifecycleGroup();
CheckGroup gridGroup();
CheckGroup transportGroup();
CheckGroup parametersGroup();
CheckGroup realtimeGroup();
CheckGroup denormalsGroup();
CheckGroup inputGroup();
CheckGroup stateGroup();
CheckGroup featuresGroup();
CheckGroup editorGroup();

// An LV2 plug-in's data and binary, read without running it, but for the
// calls that show what the binary answers (in a process of their own).
CheckGroup paperGroup();

// Every VST 2.4 group but the load group, in the order they run.
const std::vector<CheckGroup>& catalogue();

// The groups an LV2 plug-in is put through: the paper checks, then each
// group above with only its checks for LV2, under the same names.
const std::vector<CheckGroup>& lv2Catalogue();

// Every group with the checks of both formats, as --help lists them: the
// load group, the run-time groups in the order they run, the paper group.
const std::vector<CheckGroup>& everyGroup();

// The name of every group, in that order.
std::vector<std::string> groupNames();

}  // namespace vsthost::validate
