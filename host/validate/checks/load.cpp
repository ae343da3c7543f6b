// The library loads and its entry point answers with a record; what the
// record and the plug-in's texts say of it heads the report.
#include <cstdio>

#include "frame/record_names.h"
#include "host/plugin/plugin_module.h"
#include "host/validate/catalogue.h"
#include "host/validate/plugin_under_test.h"

namespace vsthost::validate {

namespace {

std::string text(PluginUnderTest& plugin, std::int32_t opcode) {
    char buffer[512] = {};
    plugin.dispatch(opcode, 0, 0, buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

Outcome entryAnswersRecord(CheckContext& context) {
    PluginUnderTest plugin(context);
    const AEffect& e = *plugin.effect();
    const std::string entry = context.module->entryName();
    if (context.fact) {
        char flags[16];
        std::snprintf(flags, sizeof flags, "0x%X", static_cast<unsigned>(e.flags));
        context.fact("id", fourCharText(e.uniqueID));
        context.fact("uniqueId", std::to_string(e.uniqueID));
        context.fact("version", std::to_string(e.version));
        context.fact("inputs", std::to_string(e.numInputs));
        context.fact("outputs", std::to_string(e.numOutputs));
        context.fact("parameters", std::to_string(e.numParams));
        context.fact("programs", std::to_string(e.numPrograms));
        context.fact("flags", flags);
        context.fact("entry", entry);
    }
    return passed(entry + (entry == "main" ? " (the library exports no VSTPluginMain)" : "") +
                  " answers a record with magic 'VstP': id '" + fourCharText(e.uniqueID) + "', " +
                  std::to_string(e.numInputs) + " in, " + std::to_string(e.numOutputs) + " out, " +
                  counted(e.numParams, "parameter") + ", " + counted(e.numPrograms, "program"));
}

// The texts the plug-in names itself with, for the report. Asked apart from
// the record: a plug-in that crashes on one is the identity checks' finding.
Outcome describe(CheckContext& context) {
    PluginUnderTest plugin(context);
    if (context.fact) {
        context.fact("name", text(plugin, effGetEffectName));
        context.fact("vendor", text(plugin, effGetVendorString));
        context.fact("product", text(plugin, effGetProductString));
        context.fact("vendorVersion", std::to_string(plugin.dispatch(effGetVendorVersion)));
        context.fact("vstVersion", std::to_string(plugin.dispatch(effGetVstVersion)));
        context.fact("category", std::to_string(plugin.dispatch(effGetPlugCategory)));
    }
    return passed("described");
}

}  // namespace

CheckGroup loadGroup() {
    Check entry{"load.entry", kMinStrictness,
                "the library loads and its entry point (VSTPluginMain, or main) answers a record with the magic",
                entryAnswersRecord};
    Check texts{"load.describe", kMinStrictness, "", describe};
    texts.quiet = true;
    return {"load", {entry, texts}};
}

}  // namespace vsthost::validate
