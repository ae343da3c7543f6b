// What the record says about the plug-in, and the texts it names itself and
// its parameters with.
#include <string>

#include "frame/opcodes.h"
#include "frame/record_names.h"
#include "host/validate/catalogue.h"
#include "host/validate/findings.h"
#include "host/validate/plugin_under_test.h"
#include "host/validate/text_probe.h"

namespace vsthost::validate {

namespace {

constexpr std::int32_t kMaxChannels = 1024;
constexpr std::int32_t kMaxCount = 100000;

Outcome counts(CheckContext& context) {
    PluginUnderTest plugin(context);
    const AEffect& e = *plugin.effect();
    Findings findings;
    auto within = [&](const char* what, std::int32_t value, std::int32_t most) {
        if (value < 0 || value > most)
            findings.add(
                failed(std::string(what) + " is " + std::to_string(value) + ", outside 0 to " + std::to_string(most)));
    };
    within("numInputs", e.numInputs, kMaxChannels);
    within("numOutputs", e.numOutputs, kMaxChannels);
    within("numParams", e.numParams, kMaxCount);
    within("numPrograms", e.numPrograms, kMaxCount);
    if (e.numOutputs == 0) findings.add(warned("numOutputs is 0: the plug-in produces no audio"));
    return findings.outcome(counted(e.numInputs, "input") + ", " + counted(e.numOutputs, "output") + ", " +
                            counted(e.numParams, "parameter") + ", " + counted(e.numPrograms, "program"));
}

Outcome entries(CheckContext& context) {
    PluginUnderTest plugin(context);
    const AEffect& e = *plugin.effect();
    Findings findings;
    const bool replacing = (e.flags & effFlagsCanReplacing) != 0;
    if (replacing && e.processReplacing == nullptr)
        findings.add(failed("effFlagsCanReplacing is set but the processReplacing entry is null"));
    if ((e.flags & effFlagsCanDoubleReplacing) != 0 && e.processDoubleReplacing == nullptr)
        findings.add(failed("effFlagsCanDoubleReplacing is set but the processDoubleReplacing entry is null"));
    if (e.numParams > 0 && (e.setParameter == nullptr || e.getParameter == nullptr))
        findings.add(failed("the record declares parameters but its setParameter or getParameter entry is null"));
    if (!replacing) {
        if (e.process == nullptr)
            findings.add(failed("neither effFlagsCanReplacing nor a process entry: the plug-in cannot process"));
        else
            findings.add({context.failFrom(4),
                          "effFlagsCanReplacing is not set: only the accumulating process, which VST 2.4 hosts "
                          "need not call"});
    }
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%X", static_cast<unsigned>(e.flags));
    return findings.outcome(std::string("flags ") + flags + " agree with the entries the record offers");
}

Outcome identityText(CheckContext& context, std::int32_t opcode, std::int32_t bound, const std::string& what) {
    PluginUnderTest plugin(context);
    const WrittenText written = probeText([&](char* buffer) { plugin.dispatch(opcode, 0, 0, buffer); });
    if (auto finding = judgeText(written, bound, what, context.strictness)) return *finding;
    if (!written.written) return passed(what + ": nothing written (not offered)");
    return passed(what + " \"" + written.text + "\", within " + std::to_string(bound) + " characters");
}

Outcome programName(CheckContext& context) {
    PluginUnderTest plugin(context);
    if (plugin.effect()->numPrograms <= 0) return passed("no programs");
    const WrittenText written = probeText([&](char* buffer) { plugin.dispatch(effGetProgramName, 0, 0, buffer); });
    if (auto finding = judgeText(written, kProgramNameBound, "program name", context.strictness)) return *finding;
    return passed("program name \"" + written.text + "\", within " + std::to_string(kProgramNameBound) + " characters");
}

Outcome parameterTexts(CheckContext& context) {
    PluginUnderTest plugin(context);
    const std::int32_t count = plugin.parameterCount();
    if (count <= 0) return passed("no parameters");
    Findings findings;
    std::string names;
    struct Kind {
        std::int32_t opcode;
        const char* what;
    };
    constexpr Kind kinds[] = {{effGetParamName, "name"}, {effGetParamLabel, "label"}, {effGetParamDisplay, "display"}};
    for (std::int32_t i = 0; i < count; ++i) {
        for (const Kind& kind : kinds) {
            const WrittenText written = probeText([&](char* buffer) { plugin.dispatch(kind.opcode, i, 0, buffer); });
            findings.add(judgeText(written, kParameterTextBound, "parameter " + std::to_string(i) + " " + kind.what,
                                   context.strictness));
            if (kind.opcode == effGetParamName && i < 8) names += (i > 0 ? ", " : "") + written.text;
        }
    }
    if (count > 8) names += ", ...";
    return findings.outcome(counted(count, "parameter") + " (" + names + "): names, labels and displays within " +
                            std::to_string(kParameterTextBound) + " characters");
}

Outcome vstVersion(CheckContext& context) {
    PluginUnderTest plugin(context);
    const auto version = static_cast<std::int32_t>(plugin.dispatch(effGetVstVersion));
    if (version == 2400) return passed("effGetVstVersion answers 2400");
    return warned("effGetVstVersion answers " + std::to_string(version) + " where a VST 2.4 plug-in answers 2400");
}

Outcome uniqueId(CheckContext& context) {
    PluginUnderTest plugin(context);
    const std::int32_t id = plugin.effect()->uniqueID;
    if (id == 0) return {context.failFrom(6), "uniqueID is 0: hosts cannot tell the plug-in's settings apart"};
    return passed("uniqueID '" + fourCharText(id) + "'");
}

}  // namespace

CheckGroup identityGroup() {
    return {"identity",
            {
                {"identity.counts", 1, "channel, parameter and program counts within sense", counts},
                {"identity.entries", 1, "flags agree with the function entries the record offers", entries},
                {"identity.effect-name", 1, "effGetEffectName: NUL-terminated within 32 characters",
                 [](CheckContext& c) { return identityText(c, effGetEffectName, kEffectNameBound, "effect name"); }},
                {"identity.vendor", 1, "effGetVendorString: NUL-terminated within 64 characters",
                 [](CheckContext& c) { return identityText(c, effGetVendorString, kVendorTextBound, "vendor"); }},
                {"identity.product", 1, "effGetProductString: NUL-terminated within 64 characters",
                 [](CheckContext& c) { return identityText(c, effGetProductString, kVendorTextBound, "product"); }},
                {"identity.program-name", 1, "effGetProgramName: NUL-terminated within 24 characters", programName},
                {"identity.parameter-texts", 1,
                 "every parameter's name, label and display: NUL-terminated within 8 characters", parameterTexts},
                {"identity.vst-version", 2, "effGetVstVersion answers 2400 (a warning otherwise)", vstVersion},
                {"identity.unique-id", 3, "uniqueID is not 0 (a failure from strictness 6)", uniqueId},
            }};
}

}  // namespace vsthost::validate
