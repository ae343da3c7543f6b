#include "render_session.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <vector>

#include "crash_handler.h"
#include "host/audio/audio_file_writer.h"
#include "host/audio/audio_format.h"
#include "host/audio/channel_routing.h"
#include "host/audio/output_check.h"
#include "host/audio/render_loop.h"
#include "host/audio/resampling_sink.h"
#include "host/picture/render_picture.h"
#include "host/plugin/parameter_search.h"
#include "host/plugin/pin_layout.h"
#include "host/text/decimal_number.h"
#include "host/text/failure.h"
#include "host/text/file_path.h"
#include "host/text/trimmed.h"
#include "progress_meter.h"

namespace vsthost {

namespace {

std::atomic<int> interruption{0};
std::atomic<bool> interrupted{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

extern "C" void onSignal(int signal) {
    interruption.store(signal);
    interrupted.store(true);
}

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

// "0:01.234", for the moment a sample falls on.
std::string moment(std::int64_t frame, double sampleRate) {
    const double seconds = static_cast<double>(frame) / sampleRate;
    char text[32];
    const auto minutes = static_cast<long>(seconds / 60.0);
    std::snprintf(text, sizeof text, "%ld:%06.3f", minutes, seconds - 60.0 * static_cast<double>(minutes));
    return text;
}

std::string decibels(double amplitude) {
    if (amplitude <= 0.0) return "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f dBFS", 20.0 * std::log10(amplitude));
    return text;
}

std::string channelsText(int channels) {
    if (channels == 1) return "mono";
    if (channels == 2) return "stereo";
    return std::to_string(channels) + " channels";
}

std::string effectNameOf(const PluginInstance& plugin) {
    const std::string name = plugin.effectName();
    return name.empty() ? std::string("the plug-in") : name;
}

// What was rendered, for the spectrogram's title: the source, the plug-in
// and the tempo, then the settings at the start on a second line.
std::string pictureTitle(const RenderJob& job) {
    std::string title = job.sourceName;
    std::string settings;
    if (job.plugin != nullptr) {
        const PluginInstance& plugin = *job.plugin;
        title += " through " + effectNameOf(plugin);
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
        if (tempo.nextChangeAfter(0) == TempoMap::kNever)
            title += ", " + withoutTrailingZeros(std::to_string(tempo.tempoAt(0))) + " BPM";
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

bool exists(const std::string& path) {
    struct stat s {};
    return ::stat(path.c_str(), &s) == 0;
}

// The format of the file: the input's sample format where the container
// holds it, or the one --sample-format names.
int chooseFormat(const RenderJob& job, const RenderSettingsOptions& options, std::int32_t channels, int rate) {
    const auto refuse = [&](const std::string& what) {
        return Failure(FailureKind::output, "output '" + options.output + "' cannot hold " + what);
    };
    if (options.sampleFormat) {
        if ((job.container & SF_FORMAT_SUBMASK) != 0)
            throw Failure(FailureKind::usage,
                          "option --sample-format: output '" + options.output +
                              "' is in a format with a codec of its own; it takes no sample format");
        const int format = outputFormatWith(job.container, *sampleFormatsNamed(*options.sampleFormat), channels, rate);
        if (format == 0) throw refuse(*options.sampleFormat + " samples in this format");
        return format;
    }
    const int format = outputFormat(job.container, job.sampleFormat, channels, rate);
    if (format == 0) throw refuse(channelsText(channels) + " audio at " + std::to_string(rate) + " Hz in this format");
    return format;
}

// The warning for output that no file should hold, with its count and the
// moment it starts.
std::string unusableText(const OutputFindings& f, double rate) {
    std::string what = std::to_string(f.unusable) + " of its " + std::to_string(f.samples) + " samples ";
    if (f.nonFinite == f.unusable)
        what += "are not numbers or infinite";
    else if (f.nonFinite == 0)
        what += "are louder than +100 dBFS";
    else
        what += "are not numbers, infinite or louder than +100 dBFS";
    return what + ", the first at " + moment(f.firstUnusable, rate);
}

}  // namespace

std::string nothingWrittenTo(const RenderSettingsOptions& options) {
    return "; nothing was written to " +
           (options.output == "-" ? std::string("standard output") : "'" + options.output + "'");
}

void tellUser(const std::string& text) { std::fprintf(stderr, "dravelkint: %s\n", text.c_str()); }

int checkOutput(const RenderSettingsOptions& options, const std::string* input) {
    const std::string& output = options.output;
    auto fail = [&](const std::string& what) {
        return Failure(FailureKind::output, "output '" + output + "' " + what);
    };
    const std::optional<int> container = options.format ? containerFor("x." + *options.format) : containerFor(output);
    if (output == "-") {
        if (!options.format)
            throw Failure(FailureKind::usage,
                          "standard output ('-') needs --format with one of the formats that stream (" +
                              streamingExtensions() + ")");
        if (!streams(*container))
            throw Failure(FailureKind::usage, "standard output ('-') takes only formats that stream (" +
                                                  streamingExtensions() + "), not ." + *options.format);
        return *container;
    }
    struct stat out {};
    if (::stat(output.c_str(), &out) == 0) {
        struct stat in {};
        if (input != nullptr && ::stat(input->c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
            throw fail("is the input file; the input is never overwritten");
        if (S_ISDIR(out.st_mode)) throw fail("is a directory");
        if (!options.overwrite) throw fail("already exists; add --overwrite to replace it");
    }
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

std::vector<std::int32_t> applySettings(PluginInstance& plugin, const std::vector<ParameterSetting>& settings) {
    std::vector<std::int32_t> set;
    std::vector<std::string> given;
    for (const ParameterSetting& s : settings) {
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
        std::string landed;
        setParameterByDisplay(plugin, index, s.value, &landed);
        if (!landed.empty())
            tellUser("note: " + s.name + "=" + s.value + " landed on " + landed +
                     ", the nearest setting the plug-in shows");
    }
    return set;
}

void renderToFile(const RenderJob& job, const RenderSettingsOptions& options) {
    AudioSource& source = *job.source;
    const auto rate = static_cast<int>(source.sampleRate());
    const bool tell = !options.quiet;

    std::optional<ChannelRouting> routing;
    std::int32_t channels = source.channels();
    if (job.plugin != nullptr) {
        routing = routeChannels(inputPins(*job.plugin), job.plugin->outputs(), source.channels(),
                                job.sidechain != nullptr ? job.sidechain->channels() : 0, options.channels);
        channels = routing->outputs;
        for (const std::string& note : routing->notes) tellUser("note: " + note);
    } else if (options.channels != 0 && options.channels != channels) {
        throw Failure(FailureKind::usage, "option --channels chooses among a plug-in's outputs; without one the " +
                                              channelsText(channels) + " source is written as it is");
    }
    const int format = chooseFormat(job, options, channels, rate);
    const int fileRate = fileRateFor(format, rate);
    if (fileRate != rate && tell)
        tellUser("note: this format holds " + std::to_string(fileRate) + " Hz rather than " + std::to_string(rate) +
                 " Hz; the output is resampled (libsoxr, very high quality)");

    const std::string whereTo = options.output == "-" ? "standard output" : "'" + options.output + "'";
    const std::string nothingWritten = nothingWrittenTo(options);
    InterruptGuard guard;
    interrupted.store(false);
    interruption.store(0);
    const auto stopped = [&] {
        return Failure(interruption.load(), std::string(interruption.load() == SIGINT ? "interrupted" : "stopped") +
                                                " by SIG" + sigabbrev_np(interruption.load()) + nothingWritten);
    };
    const bool replacing = options.output != "-" && exists(options.output);
    AudioFileWriter writer(options.output, format, channels, fileRate);
    if (job.crashes != nullptr) job.crashes->removeOnCrash(writer.temporaryPath());
    writer.setTags(job.tags);

    // On its way to the file the output is checked, drawn and resampled.
    AudioSink* sink = &writer;
    std::optional<ResamplingSink> resampler;
    if (fileRate != rate) sink = &resampler.emplace(*sink, channels, rate, fileRate);
    std::optional<Spectrogram> spectrogram;
    std::optional<SpectrogramTap> tap;
    std::string title;
    if (options.spectrogram) {
        spectrogram.emplace(source.sampleRate(), channels, options.spectrogramSize);
        sink = &tap.emplace(*sink, *spectrogram);
        title = pictureTitle(job);
    }
    OutputCheck check(*sink, channels);
    const std::string through = job.plugin != nullptr ? " through " + effectNameOf(*job.plugin) : "";

    const std::int64_t total = source.frames() >= 0 ? source.frames() + job.tailFrames : -1;
    ProgressMeter meter(!options.quiet && ::isatty(STDERR_FILENO) == 1, total, source.sampleRate());

    std::int64_t frames = 0;
    LatencyReport latency;
    if (job.plugin != nullptr) {
        job.plugin->start(source.sampleRate(), options.blockSize);
        RenderSettings settings;
        settings.blockSize = options.blockSize;
        settings.tailFrames = job.tailFrames;
        settings.progress = [&meter](std::int64_t done) { meter.update(done); };
        settings.cancel = &interrupted;
        settings.routing = &*routing;
        settings.sidechain = job.sidechain;
        settings.compensateLatency = options.compensateLatency;
        settings.latency = &latency;
        if (job.timeline != nullptr) settings.planner = plannerFor(*job.timeline, *job.plugin);
        try {
            frames = render(*job.plugin, source, check, settings);
        } catch (const Failure& failure) {
            if (failure.kind() != FailureKind::interrupted) throw;
            throw stopped();
        } catch (const std::exception& error) {
            // An exception out of a plug-in's call is its crash.
            if (job.calls == nullptr || job.calls->threw()[0] == '\0') throw;
            throw Failure(FailureKind::crash, std::string("the plug-in threw an exception (") + error.what() + ") in " +
                                                  job.calls->threw() + nothingWritten);
        }
        job.plugin->stop();
        if (job.release) job.release();
    } else {
        std::vector<float> buffer(static_cast<std::size_t>(options.blockSize) * channels);
        for (std::int64_t got; (got = source.read(buffer.data(), options.blockSize)) > 0;) {
            if (interrupted.load()) throw stopped();
            check.write(buffer.data(), got);
            frames += got;
            meter.update(frames);
        }
    }
    if (resampler) resampler->finish();
    meter.finish();

    const OutputFindings& found = check.findings();
    if (!found.usable()) {
        const std::string what = "the output" + through + " is unusable: " + unusableText(found, source.sampleRate());
        if (!options.keepBadOutput)
            throw Failure(FailureKind::plugin,
                          what + nothingWritten + "; add --keep-bad-output to write it all the same");
        tellUser("warning: " + what + "; written all the same (--keep-bad-output)");
    }
    writer.commit(options.overwrite);
    if (job.crashes != nullptr) job.crashes->disarm();

    const double seconds = static_cast<double>(frames) / source.sampleRate();
    const double elapsed = meter.elapsedSeconds();
    const std::string verb = replacing ? "replaced" : "wrote";
    if (!holdsPastFullScale(format) && found.pastFullScale > 0) {
        char share[32];
        std::snprintf(share, sizeof share, "%.2f",
                      100.0 * static_cast<double>(found.pastFullScale) /
                          static_cast<double>(std::max<std::int64_t>(found.samples, 1)));
        tellUser("warning: " + std::to_string(found.pastFullScale) + " samples (" + share +
                 " %) were past full scale and are clipped in " + whereTo + " (peak " + decibels(found.peak) +
                 "); lower the level, or keep them with --sample-format float in a format that holds it (wav, w64, "
                 "rf64, caf, aiff, au)");
    }
    if (tell && latency.compensated > 0)
        tellUser(
            "note: the plug-in's delay of " + std::to_string(latency.compensated) +
            " samples was cut from the start and made up at the end" +
            (latency.changes > 0 ? " (it changed " + std::to_string(latency.changes) + " times while rendering)" : ""));
    if (latency.ignored > 0)
        tellUser("warning: the plug-in reports a delay of " + std::to_string(latency.ignored) +
                 " samples, too long to be meant; it was not compensated");
    if (tell && !options.compensateLatency && latency.reported > 0)
        tellUser("note: the plug-in's delay of " + std::to_string(latency.reported) +
                 " samples was left in the output (--no-latency-compensation)");

    if (spectrogram) {
        if (frames == 0) tellUser("warning: the output holds no audio, so its spectrogram is empty");
        const TempoMap tempo = job.timeline != nullptr ? job.timeline->tempo() : TempoMap(source.sampleRate(), 120.0);
        try {
            spectrogram->picture(tempo, job.signature, title).writePng(*options.spectrogram);
        } catch (const Failure& failure) {
            throw Failure(failure.kind(), verb + " " + whereTo + " in full, but " + failure.what());
        }
    }

    if (options.quiet) return;
    std::fprintf(stderr, "dravelkint: %s %s (%s, %s, %d Hz, %s, peak %s) from %s%s in %.2f s, %.0fx real time\n",
                 verb.c_str(), whereTo.c_str(), describeFormat(format).c_str(), channelsText(channels).c_str(),
                 fileRate, duration(seconds).c_str(), decibels(found.peak).c_str(), job.sourceName.c_str(),
                 through.c_str(), elapsed, elapsed > 0.0 ? seconds / elapsed : 0.0);
    if (spectrogram)
        std::fprintf(stderr, "dravelkint: drew its spectrogram in '%s' (%dx%d)\n", options.spectrogram->c_str(),
                     options.spectrogramSize.width, options.spectrogramSize.height);
}

}  // namespace vsthost
