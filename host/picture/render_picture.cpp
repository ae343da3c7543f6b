#include "render_picture.h"

#include <fftw3.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "axis_marks.h"
#include "bitmap_font.h"
#include "host/text/decimal_number.h"
#include "host/text/failure.h"

namespace vsthost {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Margins around the plot, sized for the labels at font scale 2.
constexpr std::int32_t kFontScale = 2;
constexpr std::int32_t kLeft = 76;
constexpr std::int32_t kRight = 100;
constexpr std::int32_t kTop = 84;
constexpr std::int32_t kBottom = 66;

constexpr Colour kBackground{17, 17, 23};
constexpr Colour kFrame{88, 88, 102};
constexpr Colour kText{222, 222, 228};
constexpr Colour kDimText{150, 150, 162};
constexpr Colour kBarLine{255, 255, 255};
constexpr float kBarLineOpacity = 0.22f;

// A dark-to-bright heat scale whose brightness rises steadily, so louder
// always reads as brighter.
Colour heat(double t) {
    struct Stop {
        double at;
        double r, g, b;
    };
    static constexpr std::array<Stop, 9> kStops{{{0.00, 0, 0, 4},
                                                 {0.13, 22, 11, 58},
                                                 {0.25, 66, 10, 104},
                                                 {0.38, 106, 23, 110},
                                                 {0.50, 147, 38, 103},
                                                 {0.63, 188, 55, 84},
                                                 {0.75, 221, 81, 58},
                                                 {0.88, 246, 125, 21},
                                                 {1.00, 252, 255, 164}}};
    t = std::clamp(t, 0.0, 1.0);
    std::size_t i = 1;
    while (i + 1 < kStops.size() && kStops[i].at < t) ++i;
    const Stop& a = kStops[i - 1];
    const Stop& b = kStops[i];
    const double f = (t - a.at) / (b.at - a.at);
    auto mix = [f](double x, double y) { return static_cast<std::uint8_t>(std::lround(x + (y - x) * f)); };
    return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

double levelToShade(double db) { return (db - Spectrogram::kFloorDb) / -Spectrogram::kFloorDb; }

// Large FFT sizes resolve the low end; about 90 ms of audio per window.
std::int32_t fftSizeFor(double sampleRate) {
    std::int32_t size = 256;
    while (size < sampleRate * 0.085 && size < (1 << 16)) size *= 2;
    return size;
}

std::int32_t powerOfTwoAtLeast(double x) {
    std::int32_t n = 1;
    while (n < x && n < (1 << 30)) n *= 2;
    return n;
}

}  // namespace

struct Spectrogram::FourierTransform {
    explicit FourierTransform(std::int32_t size)
        : input(fftwf_alloc_real(static_cast<std::size_t>(size))),
          output(fftwf_alloc_complex(static_cast<std::size_t>(size / 2 + 1))),
          plan(fftwf_plan_dft_r2c_1d(size, input, output, FFTW_ESTIMATE)) {}
    ~FourierTransform() {
        fftwf_destroy_plan(plan);
        fftwf_free(output);
        fftwf_free(input);
    }
    FourierTransform(const FourierTransform&) = delete;
    FourierTransform& operator=(const FourierTransform&) = delete;

    float* input;
    fftwf_complex* output;
    fftwf_plan plan;
};

PlotArea Spectrogram::plotArea(PictureSize size) {
    return {kLeft, kTop, size.width - kLeft - kRight, size.height - kTop - kBottom};
}

Spectrogram::Spectrogram(double sampleRate, std::int32_t channels, PictureSize size)
    : sampleRate_(sampleRate),
      channels_(channels),
      size_(size),
      area_(plotArea(size)),
      fftSize_(fftSizeFor(sampleRate)),
      hop_(fftSize_ / 8),
      window_(static_cast<std::size_t>(fftSize_)),
      fft_(std::make_unique<FourierTransform>(fftSize_)),
      capacity_(2 * powerOfTwoAtLeast(area_.width)) {
    double sum = 0.0;
    for (std::int32_t i = 0; i < fftSize_; ++i) {
        window_[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * kPi * i / fftSize_));
        sum += window_[i];
    }
    // A sine of amplitude A peaks at A * sum / 2 in its bin.
    levelScale_ = 4.0 / (sum * sum);

    const double highest = std::max(sampleRate / 2.0, 2.0 * kLowestHz);
    const double binHz = sampleRate / fftSize_;
    const std::int32_t lastBin = fftSize_ / 2;
    for (std::int32_t row = 0; row < area_.height; ++row) {
        const double low = kLowestHz * std::pow(highest / kLowestHz, static_cast<double>(row) / area_.height);
        const double high = kLowestHz * std::pow(highest / kLowestHz, static_cast<double>(row + 1) / area_.height);
        const double from = low / binHz;
        const double to = high / binHz;
        Band band{};
        if (to - from >= 1.0) {
            band.first = std::min(static_cast<std::int32_t>(std::ceil(from)), lastBin);
            band.last = std::clamp(static_cast<std::int32_t>(std::floor(to)), band.first, lastBin);
        } else {
            const double centre = std::sqrt(from * to);
            band.narrow = true;
            band.first = std::min(static_cast<std::int32_t>(centre), lastBin - 1);
            band.last = band.first + 1;
            band.fraction = static_cast<float>(std::min(centre - band.first, 1.0));
        }
        bands_.push_back(band);
    }
    current_.assign(bands_.size(), 0.0);
    columns_.reserve(static_cast<std::size_t>(capacity_) * bands_.size());
    // Half a window of silence first puts the centre of hop m on sample m * hop.
    pending_.assign(static_cast<std::size_t>(fftSize_ / 2), 0.0f);
}

Spectrogram::~Spectrogram() = default;

void Spectrogram::add(const float* interleaved, std::int64_t frames) {
    if (finished_) return;
    const float share = 1.0f / static_cast<float>(channels_);
    for (std::int64_t i = 0; i < frames; ++i) {
        float sum = 0.0f;
        for (std::int32_t c = 0; c < channels_; ++c) sum += interleaved[i * channels_ + c];
        pending_.push_back(sum * share);
        if (static_cast<std::int32_t>(pending_.size()) == fftSize_) analyse();
    }
    framesIn_ += frames;
}

void Spectrogram::analyse() {
    for (std::int32_t i = 0; i < fftSize_; ++i) fft_->input[i] = pending_[i] * window_[i];
    fftwf_execute(fft_->plan);
    auto power = [this](std::int32_t bin) {
        const float re = fft_->output[bin][0];
        const float im = fft_->output[bin][1];
        return static_cast<double>(re) * re + static_cast<double>(im) * im;
    };
    for (std::size_t b = 0; b < bands_.size(); ++b) {
        const Band& band = bands_[b];
        double value = 0.0;
        if (band.narrow) {
            value = power(band.first) + (power(band.last) - power(band.first)) * band.fraction;
        } else {
            for (std::int32_t bin = band.first; bin <= band.last; ++bin) value = std::max(value, power(bin));
        }
        current_[b] += value * levelScale_;
    }
    pending_.erase(pending_.begin(), pending_.begin() + hop_);
    if (++currentHops_ == hopsPerColumn_) closeColumn();
}

void Spectrogram::closeColumn() {
    if (currentHops_ == 0) return;
    for (std::size_t b = 0; b < bands_.size(); ++b) {
        columns_.push_back(static_cast<float>(current_[b] / static_cast<double>(currentHops_)));
        current_[b] = 0.0;
    }
    currentHops_ = 0;
    if (++columnCount_ < capacity_) return;
    // Full: every two neighbours become one column covering both.
    const std::size_t bands = bands_.size();
    for (std::int32_t c = 0; c < columnCount_ / 2; ++c)
        for (std::size_t b = 0; b < bands; ++b)
            columns_[c * bands + b] = 0.5f * (columns_[2 * c * bands + b] + columns_[(2 * c + 1) * bands + b]);
    columnCount_ /= 2;
    columns_.resize(static_cast<std::size_t>(columnCount_) * bands);
    hopsPerColumn_ *= 2;
}

void Spectrogram::finish() {
    if (finished_) return;
    // The last half window, so the final samples get a hop centred on them.
    for (std::int32_t i = 0; i < fftSize_ / 2; ++i) {
        pending_.push_back(0.0f);
        if (static_cast<std::int32_t>(pending_.size()) == fftSize_) analyse();
    }
    closeColumn();
    finished_ = true;
}

std::vector<double> Spectrogram::pixelColumn(double fromSample, double toSample) const {
    std::vector<double> levels(bands_.size(), 0.0);
    if (columnCount_ == 0) return levels;
    const auto firstHop = static_cast<std::int64_t>(std::ceil(fromSample / hop_));
    const auto endHop = static_cast<std::int64_t>(std::ceil(toSample / hop_));
    std::int64_t first = 0;
    std::int64_t last = 0;
    if (endHop > firstHop) {
        first = firstHop / hopsPerColumn_;
        last = (endHop - 1) / hopsPerColumn_;
    } else {
        // Narrower than a hop: the hop nearest the middle of the pixel.
        first = last = std::llround((fromSample + toSample) / (2.0 * hop_)) / hopsPerColumn_;
    }
    first = std::clamp<std::int64_t>(first, 0, columnCount_ - 1);
    last = std::clamp<std::int64_t>(last, first, columnCount_ - 1);
    const std::size_t bands = bands_.size();
    for (std::int64_t c = first; c <= last; ++c)
        for (std::size_t b = 0; b < bands; ++b) levels[b] += columns_[c * bands + b];
    for (double& level : levels) level /= static_cast<double>(last - first + 1);
    return levels;
}

RasterImage Spectrogram::picture(const TempoMap& tempo, TimeSignature signature, const std::string& title) {
    finish();
    RasterImage image(size_.width, size_.height, kBackground);
    const BitmapFont font(kFontScale);
    TimeSpan span{tempo.beatAt(0), tempo.beatAt(framesIn_), 0.0};
    if (!(span.endBeat > span.startBeat)) span.endBeat = span.startBeat + 1.0;
    span.beatsPerPixel = (span.endBeat - span.startBeat) / area_.width;
    drawSpectrum(image, tempo, span);
    drawBars(image, font, span, signature);
    drawTempo(image, font, tempo, span);
    drawFrequencies(image, font);
    drawFrame(image);
    drawColourScale(image, font);
    drawTitle(image, font, title);
    return image;
}

void Spectrogram::drawSpectrum(RasterImage& image, const TempoMap& tempo, const TimeSpan& span) const {
    const PlotArea& a = area_;
    for (std::int32_t x = 0; x < a.width; ++x) {
        const double from = tempo.sampleAt(span.startBeat + span.beatsPerPixel * x);
        const double to = tempo.sampleAt(span.startBeat + span.beatsPerPixel * (x + 1));
        const std::vector<double> levels = pixelColumn(from, to);
        for (std::int32_t row = 0; row < a.height; ++row) {
            const double db = 10.0 * std::log10(levels[row] + 1e-30);
            image.set(a.left + x, a.top + a.height - 1 - row, heat(levelToShade(db)));
        }
    }
}

// Bars across; axis_marks.h says which marks there are.
void Spectrogram::drawBars(RasterImage& image, const BitmapFont& font, const TimeSpan& span,
                           TimeSignature signature) const {
    const PlotArea& a = area_;
    const double pixelsPerQuarter = 1.0 / span.beatsPerPixel;
    const TimeMarks marks = timeMarks(span.startBeat, span.endBeat, signature, pixelsPerQuarter, font);
    const auto xAt = [&](double beat) {
        return a.left + std::min(static_cast<std::int32_t>(std::lround((beat - span.startBeat) * pixelsPerQuarter)),
                                 a.width - 1);
    };
    auto label = [&](std::int32_t x, const std::string& text, Colour colour) {
        const std::int32_t w = font.width(text);
        const std::int32_t left = std::clamp(x - w / 2, a.left - w / 2, size_.width - w - 2);
        font.draw(image, left, a.top + a.height + 12, text, colour);
    };
    for (const AxisMark& beat : marks.beats) {
        image.fill(xAt(beat.at), a.top + a.height, 1, 4, kFrame);
        if (!beat.text.empty()) label(xAt(beat.at), beat.text, kDimText);
    }
    for (const AxisMark& bar : marks.bars) {
        const std::int32_t x = xAt(bar.at);
        for (std::int32_t y = a.top; y < a.top + a.height; ++y) image.blend(x, y, kBarLine, kBarLineOpacity);
        image.fill(x, a.top + a.height, 1, 8, kDimText);
        if (!bar.text.empty()) label(x, bar.text, kText);
    }
    // Long files get a line every few bars, and the title says how many.
    const std::string timeTitle = "time in bars of " + std::to_string(signature.numerator) + "/" +
                                  std::to_string(signature.denominator) +
                                  (marks.lineStep == 1 ? " - a line at every bar"
                                                       : " - a line every " + std::to_string(marks.lineStep) + " bars");
    font.draw(image, a.left + (a.width - font.width(timeTitle)) / 2, a.top + a.height + 16 + font.capHeight() * 2,
              timeTitle, kDimText);
}

// The tempo above the plot where it starts and wherever it changes, where
// there is room.
void Spectrogram::drawTempo(RasterImage& image, const BitmapFont& font, const TempoMap& tempo,
                            const TimeSpan& span) const {
    const PlotArea& a = area_;
    const std::int32_t y = a.top - 12 - font.capHeight();
    std::int32_t freeFrom = a.left;
    for (const AxisMark& mark : tempoMarks(tempo, framesIn_)) {
        const auto x = a.left + static_cast<std::int32_t>(std::lround((mark.at - span.startBeat) / span.beatsPerPixel));
        if (x >= freeFrom && x + font.width(mark.text) <= a.left + a.width) {
            image.fill(x, a.top - 6, 1, 6, kDimText);
            font.draw(image, x + 2, y, mark.text, kDimText);
            freeFrom = x + font.width(mark.text) + 12;
        }
    }
}

// Frequencies up the side, on the same log scale as the bands.
void Spectrogram::drawFrequencies(RasterImage& image, const BitmapFont& font) const {
    const PlotArea& a = area_;
    const std::int32_t textHeight = font.capHeight();
    const double highest = std::max(sampleRate_ / 2.0, 2.0 * kLowestHz);
    const double octaves = std::log(highest / kLowestHz);
    for (const AxisMark& mark : frequencyMarks(highest, a.height / std::log2(highest / kLowestHz), textHeight)) {
        const auto y = a.top + a.height -
                       static_cast<std::int32_t>(std::lround(std::log(mark.at / kLowestHz) / octaves * a.height));
        const std::int32_t tickY = std::min(y, a.top + a.height - 1);
        image.fill(a.left - 6, tickY, 6, 1, kDimText);
        const std::int32_t labelY =
            std::clamp(tickY - textHeight / 2, a.top - textHeight / 2, a.top + a.height - textHeight);
        font.draw(image, a.left - 10 - font.width(mark.text), labelY, mark.text, kText);
    }
    font.draw(image, a.left - 10 - font.width("Hz"), a.top - 12 - textHeight, "Hz", kDimText);
}

void Spectrogram::drawFrame(RasterImage& image) const {
    const PlotArea& a = area_;
    image.fill(a.left - 1, a.top - 1, a.width + 2, 1, kFrame);
    image.fill(a.left - 1, a.top + a.height, a.width + 2, 1, kFrame);
    image.fill(a.left - 1, a.top - 1, 1, a.height + 2, kFrame);
    image.fill(a.left + a.width, a.top - 1, 1, a.height + 2, kFrame);
}

// The colours' levels beside the plot, from 0 dB at the top to the floor.
void Spectrogram::drawColourScale(RasterImage& image, const BitmapFont& font) const {
    const PlotArea& a = area_;
    const std::int32_t textHeight = font.capHeight();
    const std::int32_t scaleLeft = a.left + a.width + 16;
    const std::int32_t scaleWidth = 14;
    for (std::int32_t y = 0; y < a.height; ++y)
        image.fill(scaleLeft, a.top + y, scaleWidth, 1, heat(1.0 - (y + 0.5) / a.height));
    const double dbStep = a.height / (-kFloorDb / 10.0) >= 2.5 * textHeight ? 10.0 : 20.0;
    for (double db = 0.0; db >= kFloorDb; db -= dbStep) {
        const auto y = a.top + static_cast<std::int32_t>(std::lround(db / kFloorDb * (a.height - 1)));
        image.fill(scaleLeft + scaleWidth, y, 4, 1, kDimText);
        const std::string label = shortNumber(db);
        const std::int32_t labelY =
            std::clamp(y - textHeight / 2, a.top - textHeight / 2, a.top + a.height - textHeight);
        font.draw(image, scaleLeft + scaleWidth + 8, labelY, label, kText);
    }
    font.draw(image, scaleLeft, a.top - 12 - textHeight, "dB", kDimText);
}

// The title's first line stands out; a second one is quieter. Lines too
// long for the picture end in "...".
void Spectrogram::drawTitle(RasterImage& image, const BitmapFont& font, const std::string& title) const {
    const std::size_t newline = title.find('\n');
    const std::int32_t room = size_.width - area_.left - 8;
    auto fitted = [&](std::string line) {
        if (font.width(line) <= room) return line;
        while (!line.empty() && font.width(line + "...") > room) line.pop_back();
        return line + "...";
    };
    font.draw(image, area_.left, 12, fitted(title.substr(0, newline)), kText);
    if (newline != std::string::npos) font.draw(image, area_.left, 36, fitted(title.substr(newline + 1)), kDimText);
}

}  // namespace vsthost
