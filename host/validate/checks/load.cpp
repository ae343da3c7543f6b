// The library loads and its entry point answers with a record.
#include "frame/record_names.h"
#include "host/validate/catalogue.h"
#include "host/validate/plugin_under_test.h"

namespace vsthost::validate {

namespace {

Outcome entryAnswersRecord(CheckContext& context) {
    PluginUnderTest plugin(context.module);
    const AEffect& e = *plugin.effect();
    return passed("VSTPluginMain answers a record with magic 'VstP': id '" + fourCharText(e.uniqueID) + "', " +
                  std::to_string(e.numInputs) + " in, " + std::to_string(e.numOutputs) + " out, " +
                  counted(e.numParams, "parameter") + ", " + counted(e.numPrograms, "program"));
}

}  // namespace

CheckGroup loadGroup() {
    return {"load",
            {{"load.entry", kMinStrictness, "the library loads and VSTPluginMain answers a record with the magic",
              entryAnswersRecord}}};
}

}  // namespace vsthost::validate
