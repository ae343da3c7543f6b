#include "host/picture/render_picture.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "audio_files.h"
#include "automation/automation_recording_host.h"
#include "host/text/failure.h"
#include "tool_process.h"

using vsthost::PictureSize;
using vsthost::PlotArea;
using vsthost::Spectrogram;
using vsthost::TempoMap;

namespace {

constexpr double kRate = 44100.0;
constexpr double kLow = 100.0;
constexpr double kHigh = 10000.0;

// A sine gliding from kLow to kHigh at an even number of octaves a second.
std::vector<float> sweep(double seconds) {
    std::vector<float> out(static_cast<std::size_t>(seconds * kRate));
    const double rise = std::log(kHigh / kLow);
    for (std::size_t n = 0; n < out.size(); ++n) {
        const double t = static_cast<double>(n) / kRate;
        const double phase = 2.0 * M_PI * kLow * seconds / rise * (std::exp(rise * t / seconds) - 1.0);
        out[n] = static_cast<float>(0.5 * std::sin(phase));
    }
    return out;
}

double sweepHz(double t, double seconds) { return kLow * std::pow(kHigh / kLow, t / seconds); }

struct Png {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    std::vector<png_byte> rgb;
    int brightness(png_uint_32 x, png_uint_32 y) const {
        const png_byte* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
        return p[0] + p[1] + p[2];
    }
};

Png readPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Png png;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        ADD_FAILURE() << "not a PNG: " << image.message;
        return png;
    }
    image.format = PNG_FORMAT_RGB;
    png.width = image.width;
    png.height = image.height;
    png.rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, png.rgb.data(), 0, nullptr) == 0)
        ADD_FAILURE() << "unreadable PNG: " << image.message;
    return png;
}

}  // namespace

TEST(SpectrogramPicture, TheRidgeOfARenderedSweepLiesWhereTheSweepWas) {
    // Eight beats at 120 BPM, then four at 60: the time axis runs in beats,
    // so the second half of the sweep is drawn at half the speed.
    const TempoMap tempo(kRate, 120.0, {{8.0, 60.0}});
    const double seconds = 8.0;
    const std::vector<float> input = sweep(seconds);
    // The small picture has fewer columns than the render has hops, so
    // neighbouring columns are merged on the way.
    for (const PictureSize size : {PictureSize{1000, 500}, PictureSize{400, 240}}) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
        vsthost::PluginModule module(DRAVELKINT_PLUGIN_PATH);
        vsthost::HostCallback host;
        vsthost::PluginInstance plugin(module, host);
        vsthost::Song song(tempo);
        host.serve(song.clock());
        const vsthost::AutomationPlan plan(song.tempo(),
                                           vsthost::resolveAutomation(plugin, {vsthost::parseAutomate("Mix=0:0n")}));
        Spectrogram spectrogram(kRate, plugin.outputs(), size);
        MemorySource source(input, kRate);
        MemorySink sink;
        vsthost::SpectrogramTap tap(sink, spectrogram);
        plugin.start(kRate, 512);
        vsthost::RenderSettings settings;
        settings.song = &song;
        settings.automation = &plan;
        vsthost::render(plugin, source, tap, settings);
        EXPECT_EQ(spectrogram.frames(), static_cast<std::int64_t>(input.size()));

        const ScratchDirectory dir;
        const std::string path = dir / "sweep.png";
        spectrogram.picture(tempo, {}, "sweep").writePng(path);
        const Png png = readPng(path);
        ASSERT_EQ(png.width, static_cast<png_uint_32>(size.width));
        ASSERT_EQ(png.height, static_cast<png_uint_32>(size.height));

        const PlotArea a = Spectrogram::plotArea(size);
        const double octaves = std::log2(kRate / 2.0 / Spectrogram::kLowestHz);
        const double rowsPerOctave = a.height / octaves;
        for (int i = 1; i < 16; ++i) {
            const std::int32_t x = a.left + a.width * i / 16;
            const double beat = 12.0 * (x - a.left + 0.5) / a.width;
            const double t = tempo.sampleAt(beat) / kRate;
            const double hz = sweepHz(t, seconds);
            const double expectedY = a.top + a.height - std::log2(hz / Spectrogram::kLowestHz) * rowsPerOctave;
            std::int32_t ridge = a.top;
            for (std::int32_t y = a.top; y < a.top + a.height; ++y)
                if (png.brightness(x, y) > png.brightness(x, ridge)) ridge = y;
            EXPECT_NEAR(ridge, expectedY, rowsPerOctave / 3.0 + 1.0)
                << "at beat " << beat << " the sweep was at " << hz << " Hz";
        }
    }
}

TEST(SpectrogramPicture, SilenceAndNothingAtAllStillMakeAPicture) {
    for (const std::int64_t frames : {std::int64_t{0}, std::int64_t{100}, std::int64_t{44100}}) {
        SCOPED_TRACE(frames);
        Spectrogram spectrogram(kRate, 2, PictureSize{400, 240});
        const std::vector<float> silence(static_cast<std::size_t>(frames) * 2, 0.0f);
        spectrogram.add(silence.data(), frames);
        const vsthost::RasterImage image = spectrogram.picture(TempoMap(kRate, 120.0), {}, "silence");
        EXPECT_EQ(image.width(), 400);
        EXPECT_EQ(image.height(), 240);
        // The floor of the scale: the darkest colour, everywhere in the plot.
        const PlotArea a = Spectrogram::plotArea({400, 240});
        const vsthost::Colour c = image.at(a.left + a.width / 2, a.top + a.height / 2);
        EXPECT_LT(c.r + c.g + c.b, 10);
    }
}

// At the smallest size every label still has a place of its own: at every
// rate, from a bar with numbered beats to thousands of bars, with a tempo
// that changes often and a title far wider than the picture.
TEST(SpectrogramPicture, AtTheSmallestSizeNoLabelOverlapsAnotherOrLeavesThePicture) {
    const PictureSize size{PictureSize::kMinWidth, PictureSize::kMinHeight};
    struct Case {
        const char* name;
        double rate;
        TempoMap tempo;
        double beats;
        std::vector<std::string> tempi;  // every one must be shown
    };
    const std::vector<Case> cases{
        {"one bar", 44100.0, TempoMap(44100.0, 120.0), 4.0, {"120 BPM"}},
        {"eight bars, a change every bar",
         48000.0,
         TempoMap(48000.0, 120.0,
                  {{4.0, 140.0}, {8.0, 90.5}, {12.0, 160.0}, {16.0, 100.0}, {20.0, 128.5}, {24.0, 75.0}}),
         32.0,
         {"120", "140", "90.5", "160", "100", "128.5", "75"}},
        {"a thousand bars at 8 kHz", 8000.0, TempoMap(8000.0, 900.0), 4000.0, {"900 BPM"}},
        {"two bars at 384 kHz", 384000.0, TempoMap(384000.0, 240.0, {{4.0, 60.0}}), 8.0, {"240 BPM", "60 BPM"}},
    };
    const std::string title =
        "'a file with a name as long as a sentence.wav' through Dravelkint\n" + std::string(300, 'x');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Spectrogram spectrogram(c.rate, 1, size);
        const std::vector<float> silence(static_cast<std::size_t>(c.tempo.sampleAt(c.beats)), 0.0f);
        spectrogram.add(silence.data(), static_cast<std::int64_t>(silence.size()));
        const std::vector<vsthost::PictureLabel> labels = spectrogram.labels(c.tempo, {4, 4}, title);
        ASSERT_GT(labels.size(), 10u);
        for (std::size_t i = 0; i < labels.size(); ++i) {
            const vsthost::PictureLabel& a = labels[i];
            EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.width <= size.width && a.y + a.height <= size.height)
                << "'" << a.text << "' at " << a.x << "," << a.y;
            for (std::size_t j = i + 1; j < labels.size(); ++j) {
                const vsthost::PictureLabel& b = labels[j];
                const bool apart =
                    a.x + a.width <= b.x || b.x + b.width <= a.x || a.y + a.height <= b.y || b.y + b.height <= a.y;
                EXPECT_TRUE(apart) << "'" << a.text << "' and '" << b.text << "'";
            }
        }
        for (const std::string& tempo : c.tempi)
            EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [&](const auto& l) { return l.text == tempo; }))
                << tempo;
        // Both axes are named, and the caption of the bars, shortened or not, is there.
        for (const char* axis : {"Hz", "dB", "20"})
            EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [&](const auto& l) { return l.text == axis; }))
                << axis;
        EXPECT_TRUE(std::any_of(labels.begin(), labels.end(),
                                [](const auto& l) { return l.text.find("bars of 4/4") != std::string::npos; }));
    }
}

TEST(SpectrogramCommand, RenderAndDemoDrawAPictureOfTheStatedSize) {
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000, testSignal(48000, 2));
    struct Case {
        std::vector<std::string> args;
        std::string picture;
        png_uint_32 width;
        png_uint_32 height;
    };
    const std::vector<Case> cases = {
        {{"demo", dir / "demo.wav", "--bars", "2", "--spectrogram", dir / "demo.png", "--spectrogram-size", "800x400"},
         dir / "demo.png",
         800,
         400},
        {{"render", dir / "in.wav", dir / "out.wav", "--spectrogram", dir / "out.png"}, dir / "out.png", 1200, 600},
        {{"demo", dir / "dry.wav", "--dry", "--bars", "1", "--spectrogram=" + dir / "dry.png",
          "--spectrogram-size=400x240"},
         dir / "dry.png",
         400,
         240},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        const ToolRun run = runTool(c.args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find("drew its spectrogram in '" + c.picture + "'"), std::string::npos) << run.err;
        const Png png = readPng(c.picture);
        EXPECT_EQ(png.width, c.width);
        EXPECT_EQ(png.height, c.height);
    }
}

TEST(SpectrogramCommand, AnEmptyRenderSaysItsPictureIsEmpty) {
    ScratchDirectory dir;
    writeAudio(dir / "empty.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, {});
    writeAudio(dir / "short.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, testSignal(441, 2));
    for (const char* input : {"empty.wav", "short.wav"}) {
        SCOPED_TRACE(input);
        const ToolRun run = runTool({"render", dir / input, dir / (std::string(input) + ".out.wav"), "--spectrogram",
                                     dir / "p.png", "--overwrite"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const bool warned = run.err.find("its spectrogram is empty") != std::string::npos;
        EXPECT_EQ(warned, std::string(input) == "empty.wav") << run.err;
    }
}
