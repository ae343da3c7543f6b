#include "render_session.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "host/audio/audio_file_writer.h"
#include "host/audio/audio_format.h"
#include "host/audio/render_loop.h"
#include "host/picture/spectrogram.h"
#include "host/plugin/parameter_search.h"
#include "host/text/decimal_number.h"
#include "host/text/failure.h"
#include "host/text/file_path.h"
#include "progress_meter.h"

namespace vsthost {

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onSignal(int) { interrupted.store(true); }

// Interrupting a render stops it at the next block, so the temporary file
// is removed rather than left behind half written.
class InterruptGuard {
public:
    InterruptGuard() {
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &action, &previous[i]);
    }
    ~InterruptGuard() {
        for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> previous{};
};

std::string duration(double seconds) {
    char text[32];
    const auto minutes = static_cast<long>(seconds / 60.0);
    std::snprintf(text, sizeof text, "%ld:%04.1f", minutes, seconds - 60.0 * static_cast<double>(minutes));
    return text;
}

std::string channelsText(int channels) {
    if (channels == 1) return "mono";
    if (channels == 2) return "stereo";
    return std::to_string(channels) + " channels";
}

// What was rendered, for the spectrogram's title: the source, the plug-in
// and the tempo, then the settings at the start on a second line.
std::string pictureTitle(const RenderJob& job) {
    std::string title = job.sourceName;
    std::string settings;
    if (job.plugin != nullptr) {
        const PluginInstance& plugin = *job.plugin;
        title += " through " + (plugin.effectName().empty() ? std::string("the plug-in") : plugin.effectName());
        for (std::int32_t i = 0; i < plugin.parameterCount(); ++i) {
            const std::string label = plugin.parameterLabel(i);
            const std::string shown =
                job.timeline != nullptr && job.timeline->automates(i)
                    ? "automated"
                    : withoutTrailingZeros(plugin.parameterDisplay(i)) + (label.empty() ? "" : " " + label);
            settings += (i == 0 ? "" : ", ") + plugin.parameterName(i) + " " + shown;
        }
    }
    if (job.timeline != nullptr) {
        const TempoMap& tempo = job.timeline->tempo();
        title += tempo.nextChangeAfter(0) == TempoMap::kNever
                     ? ", " + withoutTrailingZeros(std::to_string(tempo.tempoAt(0))) + " BPM"
                     : ", tempo changes";
    }
    return settings.empty() ? title : title + "\n" + settings;
}

// The directory a file will be written into exists and takes new files;
// `fail` makes the failure that names the file.
template <typename MakeFailure>
void checkWritableDirectory(const std::string& dir, const MakeFailure& fail) {
    struct stat d {};
    if (::stat(dir.c_str(), &d) != 0) throw fail("cannot be written: directory '" + dir + "': " + std::strerror(errno));
    if (!S_ISDIR(d.st_mode)) throw fail("cannot be written: '" + dir + "' is not a directory");
    if (::access(dir.c_str(), W_OK | X_OK) != 0)
        throw fail("cannot be written: directory '" + dir + "': " + std::strerror(errno));
}

}  // namespace

int checkOutput(const std::string& output, const std::string* input, bool overwrite) {
    auto fail = [&](const std::string& what) {
        return Failure(FailureKind::output, "output '" + output + "' " + what);
    };
    struct stat out {};
    if (::stat(output.c_str(), &out) == 0) {
        struct stat in {};
        if (input != nullptr && ::stat(input->c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
            throw fail("is the input file; the input is never overwritten");
        if (S_ISDIR(out.st_mode)) throw fail("is a directory");
        if (!overwrite) throw fail("already exists; add --overwrite to replace it");
    }
    const std::optional<int> container = containerFor(output);
    if (!container) throw fail("has no audio file extension this tool knows (" + knownExtensions() + ")");
    checkWritableDirectory(directoryOf(output), fail);
    return *container;
}

void checkPictureOutput(const std::string& output, bool overwrite) {
    auto fail = [&](const std::string& what) {
        return Failure(FailureKind::output, "picture '" + output + "' " + what);
    };
    const std::size_t dot = output.rfind('.');
    std::string extension = dot == std::string::npos ? "" : output.substr(dot);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension != ".png") throw fail("needs the extension .png");
    struct stat out {};
    if (::stat(output.c_str(), &out) == 0) {
        if (S_ISDIR(out.st_mode)) throw fail("is a directory");
        if (!overwrite) throw fail("already exists; add --overwrite to replace it");
    }
    checkWritableDirectory(directoryOf(output), fail);
}

void applySettings(PluginInstance& plugin, const std::vector<ParameterSetting>& settings) {
    for (const ParameterSetting& s : settings) {
        const std::int32_t index = findParameter(plugin, s.name);
        if (s.normalized)
            // Checked to be a number from 0 to 1 when the command line was read.
            plugin.setParameter(index, std::strtof(s.value.c_str(), nullptr));
        else
            setParameterByDisplay(plugin, index, s.value);
    }
}

void renderToFile(const RenderJob& job, const RenderSettingsOptions& options) {
    AudioSource& source = *job.source;
    const auto rate = static_cast<int>(source.sampleRate());
    const std::int32_t channels = job.plugin != nullptr ? job.plugin->outputs() : source.channels();
    const int format = outputFormat(job.container, job.sampleFormat, channels, rate);
    if (format == 0)
        throw Failure(FailureKind::output, "output '" + options.output + "' cannot hold " + channelsText(channels) +
                                               " audio at " + std::to_string(rate) + " Hz in this format");

    const std::string interruptedMessage = "interrupted; nothing was written to '" + options.output + "'";
    InterruptGuard guard;
    interrupted.store(false);
    AudioFileWriter writer(options.output, format, channels, rate);
    // The picture listens in on what goes to the file.
    std::optional<Spectrogram> spectrogram;
    std::optional<SpectrogramTap> tap;
    AudioSink* sink = &writer;
    std::string title;
    if (options.spectrogram) {
        spectrogram.emplace(source.sampleRate(), channels, options.spectrogramSize);
        tap.emplace(writer, *spectrogram);
        sink = &*tap;
        title = pictureTitle(job);
    }
    const std::int64_t total = source.frames() >= 0 ? source.frames() + job.tailFrames : -1;
    ProgressMeter meter(!options.quiet && ::isatty(STDERR_FILENO) == 1, total, source.sampleRate());

    std::int64_t frames = 0;
    if (job.plugin != nullptr) {
        job.plugin->start(source.sampleRate(), options.blockSize);
        RenderSettings settings;
        settings.blockSize = options.blockSize;
        settings.tailFrames = job.tailFrames;
        settings.progress = [&meter](std::int64_t done) { meter.update(done); };
        settings.cancel = &interrupted;
        if (job.timeline != nullptr) settings.planner = plannerFor(*job.timeline, *job.plugin);
        try {
            frames = render(*job.plugin, source, *sink, settings);
        } catch (const Failure& failure) {
            if (failure.kind() != FailureKind::interrupted) throw;
            throw Failure(FailureKind::interrupted, interruptedMessage);
        }
        job.plugin->stop();
    } else {
        std::vector<float> buffer(static_cast<std::size_t>(options.blockSize) * channels);
        for (std::int64_t got; (got = source.read(buffer.data(), options.blockSize)) > 0;) {
            if (interrupted.load()) throw Failure(FailureKind::interrupted, interruptedMessage);
            sink->write(buffer.data(), got);
            frames += got;
            meter.update(frames);
        }
    }
    meter.finish();
    writer.commit(options.overwrite);
    if (spectrogram) {
        const TempoMap tempo = job.timeline != nullptr ? job.timeline->tempo() : TempoMap(source.sampleRate(), 120.0);
        spectrogram->picture(tempo, job.signature, title).writePng(*options.spectrogram);
    }

    if (options.quiet) return;
    const double seconds = static_cast<double>(frames) / source.sampleRate();
    const double elapsed = meter.elapsedSeconds();
    const std::string through =
        job.plugin != nullptr
            ? " through " + (job.plugin->effectName().empty() ? std::string("the plug-in") : job.plugin->effectName())
            : "";
    std::fprintf(stderr, "dravelkint: wrote '%s' (%s, %s, %d Hz, %s) from %s%s in %.2f s, %.0fx real time\n",
                 options.output.c_str(), describeFormat(format).c_str(), channelsText(channels).c_str(), rate,
                 duration(seconds).c_str(), job.sourceName.c_str(), through.c_str(), elapsed,
                 elapsed > 0.0 ? seconds / elapsed : 0.0);
    if (spectrogram)
        std::fprintf(stderr, "dravelkint: drew its spectrogram in '%s' (%dx%d)\n", options.spectrogram->c_str(),
                     options.spectrogramSize.width, options.spectrogramSize.height);
}

}  // namespace vsthost
