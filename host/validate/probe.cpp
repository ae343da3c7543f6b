#include "probe.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "call_in_progress.h"
#include "fresh_process.h"
#include "group_runner.h"
#include "host/plugin/lv2/plugin_world.h"
#include "host/plugin/plugin_module.h"

namespace vsthost::validate {

std::vector<float> runProbe(const CheckContext& context, const std::string& name) {
    if (context.run == nullptr) throw std::logic_error("probe " + name + " needs the run's settings");
    const int data = ::memfd_create("dravelkint-probe", MFD_CLOEXEC);
    if (data < 0) throw std::runtime_error("memfd_create failed");
    ProcessPlan plan;
    plan.program = context.run->program;
    plan.args = childArguments(*context.run, "probe:" + name);
    plan.outputFd = STDOUT_FILENO;  // what the plug-in prints goes where this process's does
    plan.progressFd = kProgressFd;
    plan.dataFd = data;
    const pid_t pid = startFreshProcess(plan);
    const int status = waitForProcess(pid);
    if (WIFSIGNALED(status)) {
        ::signal(WTERMSIG(status), SIG_DFL);
        ::raise(WTERMSIG(status));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
    const off_t size = ::lseek(data, 0, SEEK_END);
    std::vector<float> samples(static_cast<std::size_t>(size > 0 ? size : 0) / sizeof(float));
    ::pread(data, samples.data(), samples.size() * sizeof(float), 0);
    ::close(data);
    return samples;
}

void runProbeChild(const std::string& name, const RunSettings& settings) {
    settleFreshProcess();
    attachProgressPage(kProgressFd);
    const Probe* probe = nullptr;
    for (const Probe& p : probes())
        if (p.name == name) probe = &p;
    if (probe == nullptr) {
        std::fprintf(stderr, "dravelkint: no probe '%s'\n", name.c_str());
        ::_exit(1);
    }
    int code = 0;
    try {
        // An LV2 plug-in is opened by its instances; a VST 2.4 library here.
        std::unique_ptr<PluginModule> module;
        if (!Lv2World::names(settings.pluginPath)) {
            noteCall("dlopen(%s)", settings.pluginPath.c_str());
            module = std::make_unique<PluginModule>(settings.pluginPath);
            noteCallDone();
        }
        CheckContext context{module.get(),
                             nullptr,
                             settings.strictness,
                             SeededRandom(settings.seed, name),
                             TimeBudget(checkBudgetSeconds(settings)),
                             {},
                             &settings};
        const std::vector<float> samples = probe->run(context);
        const auto* bytes = reinterpret_cast<const char*>(samples.data());
        std::size_t left = samples.size() * sizeof(float);
        while (left > 0) {
            const ssize_t n = ::write(kDataFd, bytes, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            bytes += n;
            left -= static_cast<std::size_t>(n);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "dravelkint: probe %s: %s\n", name.c_str(), error.what());
        code = 1;
    }
    std::fflush(nullptr);
    ::_exit(code);
}

}  // namespace vsthost::validate
