// A picture of what a render sounds like: a spectrogram of the output,
// frequency upwards on a log scale from 20 Hz to half the sample rate, time
// across in bars with a line at every bar and the tempo above, level as
// colour in dB (0 dB is a full-scale sine).
//
// The analysis runs while the render streams: every hop of the short-time
// Fourier transform adds to a column of levels, and when the columns reach
// twice the plot's width rounded up to a power of two, every two neighbours
// are merged into one. Memory stays bounded by the picture, not the length
// of the audio.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bitmap_font.h"
#include "host/audio/audio_stream.h"
#include "host/song/tempo_map.h"
#include "host/song/transport.h"
#include "raster_image.h"

namespace vsthost {

struct PictureSize {
    std::int32_t width = 1200;
    std::int32_t height = 600;

    static constexpr std::int32_t kMinWidth = 400;
    static constexpr std::int32_t kMinHeight = 240;
    static constexpr std::int32_t kMaxWidth = 3840;
    static constexpr std::int32_t kMaxHeight = 2160;
};

// Where the spectrum sits in the picture: its left column and top row
// inclusive; frequency runs from 20 Hz at the bottom edge of the bottom row
// to half the sample rate at the top edge of the top row.
struct PlotArea {
    std::int32_t left;
    std::int32_t top;
    std::int32_t width;
    std::int32_t height;
};

// A text of the picture and the box it covers, from the top of its capitals
// to the bottom of its descenders.
struct PictureLabel {
    std::string text;
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
    Colour colour;
};

class Spectrogram {
public:
    static constexpr double kLowestHz = 20.0;
    static constexpr double kFloorDb = -90.0;

    Spectrogram(double sampleRate, std::int32_t channels, PictureSize size = {});
    ~Spectrogram();
    Spectrogram(const Spectrogram&) = delete;
    Spectrogram& operator=(const Spectrogram&) = delete;

    static PlotArea plotArea(PictureSize size);
    // Small pictures get the font at its smallest, so that their labels fit.
    static std::int32_t fontScale(PictureSize size);

    // Interleaved frames of the output; channels are mixed to one.
    void add(const float* interleaved, std::int64_t frames);
    std::int64_t frames() const { return framesIn_; }

    // Ends the analysis (nothing can be added after) and draws the picture:
    // the time axis runs along `tempo` from the first frame to the last. The
    // title may have a second line after a '\n'.
    RasterImage picture(const TempoMap& tempo, TimeSignature signature, const std::string& title);
    // Every text that picture draws, placed: none overlaps another or
    // reaches past the picture's edges.
    std::vector<PictureLabel> labels(const TempoMap& tempo, TimeSignature signature, const std::string& title) const;

private:
    struct Band {
        std::int32_t first;  // bins whose greatest power the band shows
        std::int32_t last;
        float fraction;  // for a band narrower than a bin: where it lies between first and first + 1
        bool narrow;
    };
    struct FourierTransform;
    // The time axis of the picture: the beats at its left and right edges.
    struct TimeSpan {
        double startBeat;
        double endBeat;
        double beatsPerPixel;
    };

    TimeSpan timeSpan(const TempoMap& tempo) const;
    void analyse();
    void closeColumn();
    void finish();
    std::vector<double> pixelColumn(double fromSample, double toSample) const;

    // The parts of the picture.
    void drawSpectrum(RasterImage& image, const TempoMap& tempo, const TimeSpan& span) const;
    void drawBars(RasterImage& image, const TimeSpan& span, TimeSignature signature) const;
    void drawTempo(RasterImage& image, const TempoMap& tempo, const TimeSpan& span) const;
    void drawFrequencies(RasterImage& image) const;
    void drawFrame(RasterImage& image) const;
    void drawColourScale(RasterImage& image) const;

    // Where the texts go: bar numbers and the time axis' caption, tempi,
    // frequencies, the colour scale's levels, the title.
    void barLabels(std::vector<PictureLabel>& labels, const TimeSpan& span, TimeSignature signature,
                   bool tempoUnit) const;
    bool tempoLabels(std::vector<PictureLabel>& labels, const TempoMap& tempo, const TimeSpan& span) const;
    void frequencyLabels(std::vector<PictureLabel>& labels) const;
    void scaleLabels(std::vector<PictureLabel>& labels) const;
    void titleLabels(std::vector<PictureLabel>& labels, const std::string& title) const;

    double sampleRate_;
    std::int32_t channels_;
    PictureSize size_;
    PlotArea area_;
    BitmapFont font_;
    std::int32_t fftSize_;
    std::int32_t hop_;
    std::vector<float> window_;
    double levelScale_;  // power of a bin to power relative to a full-scale sine
    std::unique_ptr<FourierTransform> fft_;
    std::vector<Band> bands_;

    std::vector<float> pending_;  // mono samples not yet past the window
    std::int64_t framesIn_ = 0;
    std::vector<float> columns_;  // bands_.size() powers per column
    std::int32_t columnCount_ = 0;
    std::int32_t capacity_;
    std::int64_t hopsPerColumn_ = 1;
    std::vector<double> current_;
    std::int64_t currentHops_ = 0;
    bool finished_ = false;
};

// Passes a render's output on to its file and into a spectrogram.
class SpectrogramTap : public AudioSink {
public:
    SpectrogramTap(AudioSink& next, Spectrogram& spectrogram) : next_(next), spectrogram_(spectrogram) {}
    void write(const float* interleaved, std::int64_t frames) override {
        next_.write(interleaved, frames);
        spectrogram_.add(interleaved, frames);
    }

private:
    AudioSink& next_;
    Spectrogram& spectrogram_;
};

}  // namespace vsthost
