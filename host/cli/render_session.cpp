#include "render_session.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <vector>

#include "host/audio/audio_file_writer.h"
#include "host/audio/audio_format.h"
#include "host/audio/channel_routing.h"
#include "host/audio/output_check.h"
#include "host/audio/render_loop.h"
#include "host/audio/resampling_sink.h"
#include "host/automation/automation_plan.h"
#include "host/picture/render_picture.h"
#include "host/plugin/plugin.h"
#include "host/text/failure.h"
#include "interruption.h"
#include "output_paths.h"
#include "plugin_session.h"
#include "progress_meter.h"
#include "render_report.h"

namespace vsthost {

namespace {

// The format of the file: the source's sample format where the container
// holds it, or the one --sample-format names.
int chooseFormat(const RenderJob& job, const RenderSettingsOptions& options, std::int32_t channels, int rate) {
    if (options.sampleFormat) {
        if ((job.container & SF_FORMAT_SUBMASK) != 0)
            throw Failure(FailureKind::usage,
                          "option --sample-format: output '" + options.output +
                              "' is in a format with a codec of its own; it takes no sample format");
        const int format = outputFormatWith(job.container, *sampleFormatsNamed(*options.sampleFormat), channels, rate);
        if (format == 0) {
            const std::string held = sampleFormatsHeld(job.container, channels, rate);
            const std::string name = *options.sampleFormat;
            const bool bits = name != "float" && name != "double";
            // The same mistake as a name the option does not know: the command line's.
            throw Failure(FailureKind::usage,
                          "option --sample-format: output '" + options.output + "' (" + formatName(job.container) +
                              ") cannot hold " + name + (bits ? " bit" : "") + " samples; " +
                              (held.empty() ? "it holds none of these for " + channelsText(channels) + " audio at " +
                                                  std::to_string(rate) + " Hz"
                                            : "it takes --sample-format " + held));
        }
        return format;
    }
    const int format = outputFormat(job.container, job.sampleFormat, channels, rate);
    if (format == 0)
        throw Failure(FailureKind::output, "output '" + options.output + "' cannot hold " + channelsText(channels) +
                                               " audio at " + std::to_string(rate) + " Hz in this format");
    return format;
}

// The source through the plug-in (when a session has one open) into OUT.
void renderToFile(const RenderJob& job, const RenderSettingsOptions& options, PluginSession* session,
                  const AutomationPlan* automation) {
    AudioSource& source = *job.source;
    const auto rate = static_cast<int>(source.sampleRate());
    Plugin* plugin = session != nullptr ? &session->plugin() : nullptr;

    std::optional<ChannelRouting> routing;
    std::int32_t channels = source.channels();
    if (plugin != nullptr) {
        routing = routeChannels(plugin->inputPins(), plugin->outputs(), source.channels(),
                                job.sidechain != nullptr ? job.sidechain->channels() : 0, options.channels);
        channels = routing->outputs;
        for (const std::string& note : routing->notes) tellUser("note: " + note);
    } else if (options.channels != 0 && options.channels != channels) {
        throw Failure(FailureKind::usage, "option --channels chooses among a plug-in's outputs; without one the " +
                                              channelsText(channels) + " source is written as it is");
    }
    const int format = chooseFormat(job, options, channels, rate);
    const int fileRate = fileRateFor(format, rate);
    if (fileRate != rate && !options.quiet)
        tellUser("note: this format holds " + std::to_string(fileRate) + " Hz rather than " + std::to_string(rate) +
                 " Hz; the output is resampled (libsoxr, very high quality)");

    RenderFacts facts;
    facts.whereTo = options.output == "-" ? "standard output" : "'" + options.output + "'";
    facts.sourceName = job.sourceName;
    // A FIFO or a device is written into, not replaced.
    struct stat existing {};
    facts.replaced =
        options.output != "-" && ::stat(options.output.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    facts.format = format;
    facts.channels = channels;
    facts.fileRate = fileRate;
    facts.sampleRate = source.sampleRate();
    if (plugin != nullptr) {
        const std::string name = plugin->name();
        facts.through = " through " + (name.empty() ? std::string("the plug-in") : name);
    }
    const std::string nothingWritten = nothingWrittenTo(options);
    const Interruption interruption;
    AudioFileWriter writer(options.output, format, channels, fileRate);
    if (session != nullptr) session->removeOnCrash(writer.temporaryPath());
    writer.setTags(job.tags);
    if (takesQuality(format)) {
        writer.setQuality(options.quality.value_or(defaultQuality(format)));
    } else if (options.quality) {
        throw Failure(FailureKind::usage, "option --quality sets the sound of mp3, ogg and opus; " +
                                              formatName(format) + " output keeps every sample as it is");
    }

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
        title = renderTitle(job.sourceName, plugin, automation, job.song->tempo());
    }
    OutputCheck check(*sink, channels, !holdsPastFullScale(format));

    const std::int64_t total = source.frames() >= 0 ? source.frames() + job.tailFrames : -1;
    ProgressMeter meter(!options.quiet && ::isatty(STDERR_FILENO) == 1, total, source.sampleRate());
    if (plugin != nullptr) {
        plugin->start(source.sampleRate(), options.blockSize);
        RenderSettings settings;
        settings.blockSize = options.blockSize;
        settings.tailFrames = job.tailFrames;
        settings.song = job.song;
        settings.automation = automation;
        settings.progress = [&meter](std::int64_t done) { meter.update(done); };
        settings.cancel = &interruption.requested();
        settings.routing = &*routing;
        settings.sidechain = job.sidechain;
        settings.compensateLatency = options.compensateLatency;
        settings.latency = &facts.latency;
        try {
            facts.frames = render(*plugin, source, check, settings);
        } catch (const Failure& failure) {
            if (failure.kind() == FailureKind::input) throw Failure(failure.kind(), failure.what() + nothingWritten);
            if (failure.kind() != FailureKind::interrupted) throw;
            throw interruption.failure(nothingWritten);
        }
        // Closed before OUT takes its name, so that a crash at close leaves nothing behind.
        session->close();
    } else {
        std::vector<float> buffer(static_cast<std::size_t>(options.blockSize) * channels);
        try {
            for (std::int64_t got; (got = source.read(buffer.data(), options.blockSize)) > 0;) {
                if (interruption.requested().load()) throw interruption.failure(nothingWritten);
                check.write(buffer.data(), got);
                facts.frames += got;
                meter.update(facts.frames);
            }
        } catch (const Failure& failure) {
            if (failure.kind() != FailureKind::input) throw;
            throw Failure(failure.kind(), failure.what() + nothingWritten);
        }
    }
    if (resampler) resampler->finish();
    meter.finish();
    facts.elapsedSeconds = meter.elapsedSeconds();

    // The source was read to its end: what a damaged one lost is known now.
    for (const AudioSource* read : {job.source, job.sidechain})
        if (read != nullptr) facts.damage.push_back(read->damage());

    // Unusable input was refused while it was read, so what is unusable here came from the plug-in.
    facts.found = check.findings();
    if (!facts.found.usable()) {
        const std::string what = "the output" + facts.through + " is unusable: " +
                                 unusableText(facts.found.unusable, facts.found.samples, source.sampleRate());
        if (!options.keepBadOutput)
            throw Failure(FailureKind::plugin,
                          what + nothingWritten + "; add --keep-bad-output to write it all the same");
        tellUser("warning: " + what + "; written all the same (--keep-bad-output)" + keptAs(facts.found));
    }
    writer.commit(options.overwrite);
    if (session != nullptr) session->disarm();

    warnOfWhatHappened(facts, options);
    if (spectrogram) {
        if (facts.frames == 0) tellUser("warning: the output holds no audio, so its spectrogram is empty");
        try {
            spectrogram->picture(job.song->tempo(), job.song->signature(), title).writePng(*options.spectrogram);
        } catch (const Failure& failure) {
            throw Failure(failure.kind(), std::string(facts.replaced ? "replaced " : "wrote ") + facts.whereTo +
                                              " in full, but " + failure.what());
        }
    }
    summarise(facts, options);
    if (spectrogram && !options.quiet)
        std::fprintf(stderr, "dravelkint: drew its spectrogram in '%s' (%dx%d)\n", options.spectrogram->c_str(),
                     options.spectrogramSize.width, options.spectrogramSize.height);
}

}  // namespace

void renderThroughPlugin(const RenderJob& job, const RenderSettingsOptions& options, const PluginSetUp& setUp) {
    PluginSession session(nothingWrittenTo(options));
    session.run([&] {
        Plugin& plugin = session.open(options.plugin, job.song->clock());
        const AutomationPlan automation(job.song->tempo(), setUp(plugin));
        renderToFile(job, options, &session, &automation);
    });
}

void renderAsItIs(const RenderJob& job, const RenderSettingsOptions& options) {
    renderToFile(job, options, nullptr, nullptr);
}

}  // namespace vsthost
