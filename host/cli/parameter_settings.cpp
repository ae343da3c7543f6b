#include "parameter_settings.h"

#include <cstdlib>
#include <optional>
#include <string>

#include "host/plugin/parameter_search.h"
#include "host/plugin/plugin.h"
#include "host/text/failure.h"
#include "host/text/trimmed.h"
#include "render_report.h"

namespace vsthost {

std::vector<std::int32_t> applySettings(Plugin& plugin, const std::vector<ParameterSetting>& settings) {
    std::vector<std::int32_t> set;
    std::vector<std::string> given;
    // A preset sets the plug-in as a whole, so it comes first whatever the order given.
    for (const ParameterSetting& s : settings)
        if (s.preset) plugin.loadPreset(s.value);
    for (const ParameterSetting& s : settings) {
        if (s.preset) continue;
        const std::int32_t index = findParameter(plugin, s.name);
        const std::string option = (s.normalized ? "--set-normalized " : "--set ") + s.name + "=" + s.value;
        for (std::size_t i = 0; i < set.size(); ++i)
            if (set[i] == index)
                throw Failure(FailureKind::usage, "parameter '" + trimmed(plugin.parameterName(index)) +
                                                      "' is set twice (" + given[i] + " and " + option +
                                                      "); give it once");
        set.push_back(index);
        given.push_back(option);
        if (s.normalized) {
            // Checked to be a number from 0 to 1 when the command line was read.
            plugin.setParameter(index, std::strtof(s.value.c_str(), nullptr));
            continue;
        }
        // A plain number in the parameter's unit reaches a plug-in that takes
        // values in its own unit exactly, with no normalised scale between.
        if (const std::optional<double> value = plainValue(plugin, index, s.value)) {
            plugin.setParameterValue(index, *value);
            continue;
        }
        std::string landed;
        setParameterByDisplay(plugin, index, s.value, &landed);
        if (!landed.empty())
            tellUser("note: " + s.name + "=" + s.value + " landed on " + landed +
                     ", the nearest setting the plug-in shows");
    }
    return set;
}

}  // namespace vsthost
