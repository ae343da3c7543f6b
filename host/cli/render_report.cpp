#include "render_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/audio/audio_format.h"
#include "host/automation/automation_plan.h"
#include "host/plugin/plugin.h"
#include "host/song/tempo_map.h"
#include "host/text/clock_time.h"
#include "host/text/counted.h"
#include "host/text/decimal_number.h"

namespace vsthost {

namespace {

std::string decibels(double amplitude) {
    if (amplitude <= 0.0) return "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f dBFS", 20.0 * std::log10(amplitude));
    return text;
}

void warnOfClipping(const RenderFacts& facts) {
    const OutputFindings& found = facts.found;
    if (holdsPastFullScale(facts.format) || found.pastFullScale == 0) return;
    char share[32];
    std::snprintf(share, sizeof share, "%.2f",
                  100.0 * static_cast<double>(found.pastFullScale) /
                      static_cast<double>(std::max<std::int64_t>(found.samples, 1)));
    tellUser("warning: " + counted(found.pastFullScale, "sample") + " (" + share +
             (found.pastFullScale == 1 ? " %) was" : " %) were") + " past full scale and are clipped in " +
             facts.whereTo + " (peak " + decibels(found.peak) +
             "); lower the level, or keep them with --sample-format float in a format that holds it (wav, w64, "
             "rf64, caf, aiff, au)");
}

void tellOfLatency(const LatencyReport& latency, const RenderSettingsOptions& options) {
    const bool tell = !options.quiet;
    if (tell && latency.compensated > 0)
        tellUser("note: the plug-in's delay of " + counted(latency.compensated, "sample") +
                 " was cut from the start and made up at the end" +
                 (latency.changes > 0 ? " (it changed " + counted(latency.changes, "time") + " while rendering)" : ""));
    if (latency.ignored > 0)
        tellUser("warning: the plug-in reports a delay of " + counted(latency.ignored, "sample") +
                 ", too long to be meant; it was not compensated");
    if (tell && !options.compensateLatency && latency.reported > 0)
        tellUser("note: the plug-in's delay of " + counted(latency.reported, "sample") +
                 " was left in the output (--no-latency-compensation)");
}

}  // namespace

void tellUser(const std::string& text) { std::fprintf(stderr, "dravelkint: %s\n", text.c_str()); }

std::string channelsText(int channels) {
    if (channels == 1) return "mono";
    if (channels == 2) return "stereo";
    return std::to_string(channels) + " channels";
}

std::string keptAs(const OutputFindings& found) {
    const UnusableSamples& bad = found.unusable;
    if (!found.replaced) return "; they are in the file as they are";
    std::string text;
    if (bad.notANumber > 0) text += "the " + std::to_string(bad.notANumber) + " that are not numbers as silence";
    if (const std::int64_t loud = bad.count - bad.notANumber; loud > 0)
        text += (text.empty() ? "the " : " and the ") + std::to_string(loud) +
                " infinite or louder than +100 dBFS at full scale";
    return "; this format cannot hold them: " + text;
}

std::string renderTitle(const std::string& sourceName, const Plugin* plugin, const AutomationPlan* automation,
                        const TempoMap& tempo) {
    std::string title = sourceName;
    std::string settings;
    if (plugin != nullptr) {
        const std::string name = plugin->name();
        title += " through " + (name.empty() ? std::string("the plug-in") : name);
        for (std::int32_t i = 0; i < plugin->parameterCount(); ++i) {
            const std::string label = plugin->parameterLabel(i);
            const std::string shown =
                automation != nullptr && automation->automates(i)
                    ? "automated"
                    : withoutTrailingZeros(plugin->parameterDisplay(i)) + (label.empty() ? "" : " " + label);
            settings += (i == 0 ? "" : ", ") + plugin->parameterName(i) + " " + shown;
        }
    }
    if (tempo.nextChangeAfter(0) == TempoMap::kNever)
        title += ", " + withoutTrailingZeros(std::to_string(tempo.tempoAt(0))) + " BPM";
    return settings.empty() ? title : title + "\n" + settings;
}

void warnOfWhatHappened(const RenderFacts& facts, const RenderSettingsOptions& options) {
    for (const std::string& damage : facts.damage)
        if (!damage.empty()) tellUser("warning: " + damage + "; what it holds was rendered");
    warnOfClipping(facts);
    tellOfLatency(facts.latency, options);
}

void summarise(const RenderFacts& facts, const RenderSettingsOptions& options) {
    if (options.quiet) return;
    const double seconds = static_cast<double>(facts.frames) / facts.sampleRate;
    const double elapsed = facts.elapsedSeconds;
    std::fprintf(stderr, "dravelkint: %s %s (%s, %s, %d Hz, %s, peak %s) from %s%s in %.2f s, %.0fx real time\n",
                 facts.replaced ? "replaced" : "wrote", facts.whereTo.c_str(), describeFormat(facts.format).c_str(),
                 channelsText(facts.channels).c_str(), facts.fileRate, clockTime(seconds, 1).c_str(),
                 decibels(facts.found.peak).c_str(), facts.sourceName.c_str(), facts.through.c_str(), elapsed,
                 elapsed > 0.0 ? seconds / elapsed : 0.0);
}

}  // namespace vsthost
