// dravelkint: renders audio files through the Dravelkint plug-in (or any
// VST 2.4 plug-in), describes and validates plug-ins, and plays a demo that
// needs no input. The commands are listed in help_text.cpp.
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "commands.h"
#include "crash_handler.h"
#include "exit_codes.h"
#include "interruption.h"
#include "output_paths.h"

namespace vsthost {
namespace {

// A render from its first step, reading the input, to its summary, watched
// for signals: a failure a signal caused is reported as the signal, and a
// signal that came once OUT stood still ends the command as the signal would.
template <typename Render>
void renderWatched(const RenderSettingsOptions& options, const Render& render) {
    const Interruption interruption;
    try {
        render();
    } catch (const Failure& failure) {
        if (failure.kind() == FailureKind::interrupted || !interruption.requested().load()) throw;
        throw interruption.failure(nothingWrittenTo(options));
    } catch (...) {
        if (!interruption.requested().load()) throw;
        throw interruption.failure(nothingWrittenTo(options));
    }
    if (interruption.requested().load())
        throw interruption.failure(
            " once " + (options.output == "-" ? std::string("standard output") : "'" + options.output + "'") +
            " had been written in full");
}

}  // namespace
}  // namespace vsthost

int main(int argc, char** argv) {
    using namespace vsthost;
    const std::vector<std::string> args(argv + 1, argv + argc);
    // A file-size limit then fails a write with its reason instead of killing the process.
    std::signal(SIGXFSZ, SIG_IGN);
    removeUnfinishedOnTerminate();
    try {
        const Command command = parseCommandLine(args);
        return std::visit(
            [](const auto& c) -> int {
                using T = std::decay_t<decltype(c)>;
                if constexpr (std::is_same_v<T, HelpCommand>)
                    printHelp(c.command);
                else if constexpr (std::is_same_v<T, VersionCommand>)
                    std::puts("dravelkint " DRAVELKINT_VERSION);
                else if constexpr (std::is_same_v<T, RenderCommand>)
                    renderWatched(c.render, [&] { runRender(c); });
                else if constexpr (std::is_same_v<T, DemoCommand>)
                    renderWatched(c.render, [&] { runDemo(c); });
                else if constexpr (std::is_same_v<T, InfoCommand>)
                    runInfo(c);
                else if constexpr (std::is_same_v<T, ValidateCommand>)
                    switch (runValidate(c)) {
                        case ValidationOutcome::passed: return kExitSuccess;
                        case ValidationOutcome::failed: return kExitValidationFailed;
                        case ValidationOutcome::cutShort: return kExitValidationCutShort;
                    }
                else if constexpr (std::is_same_v<T, ListCommand>)
                    runList(c);
                return kExitSuccess;
            },
            command);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "dravelkint: %s\n", failure.what());
        return exitCodeFor(failure);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "dravelkint: unexpected failure: %s\n", error.what());
        return kExitUnexpected;
    } catch (...) {
        // Caught, not left to std::terminate, so that the stack unwinds and the temporary file goes.
        std::fputs("dravelkint: unexpected failure of a kind this program does not know\n", stderr);
        return kExitUnexpected;
    }
}
