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

// Margins around the plot in dots of the font: they grow with its scale.
constexpr std::int32_t kLeft = 42;  // "22.05k" and its tick
constexpr std::int32_t kRight = 50;
constexpr std::int32_t kTop = 42;
constexpr std::int32_t kBottom = 33;
// From this size on the font is drawn at twice its size.
constexpr PictureSize kLargeFontFrom{640, 360};

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

std::int32_t Spectrogram::fontScale(PictureSize size) {
    return size.width >= kLargeFontFrom.width && size.height >= kLargeFontFrom.height ? 2 : 1;
}

PlotArea Spectrogram::plotArea(PictureSize size) {
    const std::int32_t s = fontScale(size);
    return {kLeft * s, kTop * s, size.width - (kLeft + kRight) * s, size.height - (kTop + kBottom) * s};
}

Spectrogram::Spectrogram(double sampleRate, std::int32_t channels, PictureSize size)
    : sampleRate_(sampleRate),
      channels_(channels),
      size_(size),
      area_(plotArea(size)),
      font_(fontScale(size)),
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

Spectrogram::TimeSpan Spectrogram::timeSpan(const TempoMap& tempo) const {
    TimeSpan span{tempo.beatAt(0), tempo.beatAt(framesIn_), 0.0};
    if (!(span.endBeat > span.startBeat)) span.endBeat = span.startBeat + 1.0;
    span.beatsPerPixel = (span.endBeat - span.startBeat) / area_.width;
    return span;
}

RasterImage Spectrogram::picture(const TempoMap& tempo, TimeSignature signature, const std::string& title) {
    finish();
    RasterImage image(size_.width, size_.height, kBackground);
    const TimeSpan span = timeSpan(tempo);
    drawSpectrum(image, tempo, span);
    drawBars(image, span, signature);
    drawTempo(image, tempo, span);
    drawFrequencies(image);
    drawFrame(image);
    drawColourScale(image);
    for (const PictureLabel& label : labels(tempo, signature, title))
        font_.draw(image, label.x, label.y, label.text, label.colour);
    return image;
}

std::vector<PictureLabel> Spectrogram::labels(const TempoMap& tempo, TimeSignature signature,
                                              const std::string& title) const {
    std::vector<PictureLabel> labels;
    const TimeSpan span = timeSpan(tempo);
    const bool unitAbove = tempoLabels(labels, tempo, span);
    barLabels(labels, span, signature, !unitAbove);
    frequencyLabels(labels);
    scaleLabels(labels);
    titleLabels(labels, title);
    return labels;
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

namespace {

// The column of the plot a beat falls in.
std::int32_t columnAt(const PlotArea& a, double beat, double startBeat, double beatsPerPixel) {
    return a.left + std::min(static_cast<std::int32_t>(std::lround((beat - startBeat) / beatsPerPixel)), a.width - 1);
}

bool overlap(const PictureLabel& a, const PictureLabel& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// `text` shortened with "..." to at most `room` pixels.
std::string fitted(const BitmapFont& font, std::string text, std::int32_t room) {
    if (font.width(text) <= room) return text;
    while (!text.empty() && font.width(text + "...") > room) text.pop_back();
    return text + "...";
}

}  // namespace

// Bars across; axis_marks.h says which marks there are.
void Spectrogram::drawBars(RasterImage& image, const TimeSpan& span, TimeSignature signature) const {
    const PlotArea& a = area_;
    const TimeMarks marks = timeMarks(span.startBeat, span.endBeat, signature, 1.0 / span.beatsPerPixel, font_);
    const std::int32_t s = font_.scale();
    for (const AxisMark& beat : marks.beats)
        image.fill(columnAt(a, beat.at, span.startBeat, span.beatsPerPixel), a.top + a.height, 1, 2 * s, kFrame);
    for (const AxisMark& bar : marks.bars) {
        const std::int32_t x = columnAt(a, bar.at, span.startBeat, span.beatsPerPixel);
        for (std::int32_t y = a.top; y < a.top + a.height; ++y) image.blend(x, y, kBarLine, kBarLineOpacity);
        image.fill(x, a.top + a.height, 1, 4 * s, kDimText);
    }
}

void Spectrogram::barLabels(std::vector<PictureLabel>& labels, const TimeSpan& span, TimeSignature signature,
                            bool tempoUnit) const {
    const PlotArea& a = area_;
    const TimeMarks marks = timeMarks(span.startBeat, span.endBeat, signature, 1.0 / span.beatsPerPixel, font_);
    const std::int32_t s = font_.scale();
    const std::size_t first = labels.size();
    auto label = [&](double beat, const std::string& text, Colour colour) {
        const std::int32_t x = columnAt(a, beat, span.startBeat, span.beatsPerPixel);
        const std::int32_t w = font_.width(text);
        const PictureLabel placed{
            text, std::clamp(x - w / 2, 0, size_.width - w), a.top + a.height + 6 * s, w, font_.boxHeight(), colour};
        // Rounding at the edges can push two numbers together: the first one stays.
        for (std::size_t i = first; i < labels.size(); ++i)
            if (overlap(labels[i], placed)) return;
        labels.push_back(placed);
    };
    for (const AxisMark& bar : marks.bars)
        if (!bar.text.empty()) label(bar.at, bar.text, kText);
    for (const AxisMark& beat : marks.beats)
        if (!beat.text.empty()) label(beat.at, beat.text, kDimText);

    // Long files get a line every few bars, and the caption says how many.
    const std::string signatureText = std::to_string(signature.numerator) + "/" + std::to_string(signature.denominator);
    const std::string every =
        marks.lineStep == 1 ? "a line at every bar" : "a line every " + std::to_string(marks.lineStep) + " bars";
    const std::int32_t room = size_.width - 4 * s;
    std::string caption = "time in bars of " + signatureText + " - " + every + (tempoUnit ? ", tempo in BPM" : "");
    if (font_.width(caption) > room)
        caption = "bars of " + signatureText + ", " + every + (tempoUnit ? ", tempo in BPM" : "");
    caption = fitted(font_, caption, room);
    const std::int32_t w = font_.width(caption);
    const std::int32_t x = std::clamp(a.left + (a.width - w) / 2, 2 * s, size_.width - 2 * s - w);
    labels.push_back({caption, x, a.top + a.height + 8 * s + 2 * font_.capHeight(), w, font_.boxHeight(), kDimText});
}

// A tick above the plot where the tempo starts and wherever it changes.
void Spectrogram::drawTempo(RasterImage& image, const TempoMap& tempo, const TimeSpan& span) const {
    const PlotArea& a = area_;
    const std::int32_t s = font_.scale();
    for (const AxisMark& mark : tempoMarks(tempo, framesIn_))
        image.fill(columnAt(a, mark.at, span.startBeat, span.beatsPerPixel), a.top - 3 * s, 1, 3 * s, kDimText);
}

// Each tempo beside its tick. Where the numbers crowd, only the first says
// "BPM", or none does (the caption below says it then); a number that still
// has no room is left out, its tick stays. True when the unit is shown here.
bool Spectrogram::tempoLabels(std::vector<PictureLabel>& labels, const TempoMap& tempo, const TimeSpan& span) const {
    const PlotArea& a = area_;
    const std::int32_t s = font_.scale();
    const std::int32_t y = a.top - 6 * s - font_.capHeight();
    const std::vector<AxisMark> marks = tempoMarks(tempo, framesIn_);
    enum class Unit { everywhere, first, nowhere };
    auto place = [&](Unit unit) {
        std::vector<PictureLabel> placed;
        std::int32_t freeFrom = a.left;
        for (std::size_t i = 0; i < marks.size(); ++i) {
            std::string text = marks[i].text;
            if (unit == Unit::nowhere || (unit == Unit::first && i > 0)) text.resize(text.find(' '));
            const std::int32_t w = font_.width(text);
            const std::int32_t tick = columnAt(a, marks[i].at, span.startBeat, span.beatsPerPixel);
            // Past the right edge the number ends at the picture's edge instead.
            const std::int32_t x = std::min(tick + s, size_.width - w);
            if (x < freeFrom) continue;
            placed.push_back({text, x, y, w, font_.boxHeight(), kDimText});
            freeFrom = x + w + 4 * s;
        }
        return placed;
    };
    Unit unit = Unit::everywhere;
    std::vector<PictureLabel> placed = place(unit);
    for (const Unit fewer : {Unit::first, Unit::nowhere}) {
        if (placed.size() == marks.size()) break;
        placed = place(unit = fewer);
    }
    labels.insert(labels.end(), placed.begin(), placed.end());
    return unit != Unit::nowhere;
}

namespace {

struct FrequencyMark {
    AxisMark mark;
    std::int32_t row;  // of its tick
};

// Frequencies up the side, on the same log scale as the bands.
std::vector<FrequencyMark> frequencyMarksIn(const PlotArea& a, double sampleRate, std::int32_t textHeight) {
    const double highest = std::max(sampleRate / 2.0, 2.0 * Spectrogram::kLowestHz);
    const double octaves = std::log(highest / Spectrogram::kLowestHz);
    std::vector<FrequencyMark> marks;
    for (AxisMark& mark : frequencyMarks(highest, a.height / std::log2(highest / Spectrogram::kLowestHz), textHeight)) {
        const auto y =
            a.top + a.height -
            static_cast<std::int32_t>(std::lround(std::log(mark.at / Spectrogram::kLowestHz) / octaves * a.height));
        marks.push_back({std::move(mark), std::min(y, a.top + a.height - 1)});
    }
    return marks;
}

}  // namespace

void Spectrogram::drawFrequencies(RasterImage& image) const {
    const std::int32_t s = font_.scale();
    for (const FrequencyMark& m : frequencyMarksIn(area_, sampleRate_, font_.capHeight()))
        image.fill(area_.left - 3 * s, m.row, 3 * s, 1, kDimText);
}

void Spectrogram::frequencyLabels(std::vector<PictureLabel>& labels) const {
    const PlotArea& a = area_;
    const std::int32_t s = font_.scale();
    const std::int32_t textHeight = font_.capHeight();
    for (const FrequencyMark& m : frequencyMarksIn(a, sampleRate_, textHeight)) {
        const std::int32_t w = font_.width(m.mark.text);
        // Centred on its tick even at the ends, so that neighbours stay as far apart as their ticks.
        labels.push_back(
            {m.mark.text, std::max(a.left - 5 * s - w, 0), m.row - textHeight / 2, w, font_.boxHeight(), kText});
    }
    labels.push_back({"Hz", a.left - 5 * s - font_.width("Hz"), a.top - 6 * s - textHeight, font_.width("Hz"),
                      font_.boxHeight(), kDimText});
}

void Spectrogram::drawFrame(RasterImage& image) const {
    const PlotArea& a = area_;
    image.fill(a.left - 1, a.top - 1, a.width + 2, 1, kFrame);
    image.fill(a.left - 1, a.top + a.height, a.width + 2, 1, kFrame);
    image.fill(a.left - 1, a.top - 1, 1, a.height + 2, kFrame);
    image.fill(a.left + a.width, a.top - 1, 1, a.height + 2, kFrame);
}

namespace {

// The colour scale's levels: every 10 dB where they have room, else every 20.
double scaleStepDb(const PlotArea& a, std::int32_t textHeight) {
    return a.height / (-Spectrogram::kFloorDb / 10.0) >= 2.5 * textHeight ? 10.0 : 20.0;
}

std::int32_t scaleRow(const PlotArea& a, double db) {
    return a.top + static_cast<std::int32_t>(std::lround(db / Spectrogram::kFloorDb * (a.height - 1)));
}

}  // namespace

// The colours' levels beside the plot, from 0 dB at the top to the floor.
void Spectrogram::drawColourScale(RasterImage& image) const {
    const PlotArea& a = area_;
    const std::int32_t s = font_.scale();
    const std::int32_t scaleLeft = a.left + a.width + 8 * s;
    const std::int32_t scaleWidth = 7 * s;
    for (std::int32_t y = 0; y < a.height; ++y)
        image.fill(scaleLeft, a.top + y, scaleWidth, 1, heat(1.0 - (y + 0.5) / a.height));
    const double step = scaleStepDb(a, font_.capHeight());
    for (double db = 0.0; db >= kFloorDb; db -= step)
        image.fill(scaleLeft + scaleWidth, scaleRow(a, db), 2 * s, 1, kDimText);
}

void Spectrogram::scaleLabels(std::vector<PictureLabel>& labels) const {
    const PlotArea& a = area_;
    const std::int32_t s = font_.scale();
    const std::int32_t textHeight = font_.capHeight();
    const std::int32_t scaleLeft = a.left + a.width + 8 * s;
    const std::int32_t labelLeft = scaleLeft + 11 * s;
    const double step = scaleStepDb(a, textHeight);
    for (double db = 0.0; db >= kFloorDb; db -= step) {
        const std::string text = shortNumber(db);
        const std::int32_t y =
            std::clamp(scaleRow(a, db) - textHeight / 2, a.top - textHeight / 2, a.top + a.height - textHeight);
        labels.push_back({text, labelLeft, y, font_.width(text), font_.boxHeight(), kText});
    }
    labels.push_back({"dB", scaleLeft, a.top - 6 * s - textHeight, font_.width("dB"), font_.boxHeight(), kDimText});
}

// The title's first line stands out; a second one is quieter. Lines too
// long for the picture end in "...".
void Spectrogram::titleLabels(std::vector<PictureLabel>& labels, const std::string& title) const {
    const std::int32_t s = font_.scale();
    const std::size_t newline = title.find('\n');
    const std::int32_t left = 4 * s;
    const std::int32_t room = size_.width - 2 * left;
    auto line = [&](const std::string& text, std::int32_t y, Colour colour) {
        const std::string shown = fitted(font_, text, room);
        labels.push_back({shown, left, y, font_.width(shown), font_.boxHeight(), colour});
    };
    line(title.substr(0, newline), 6 * s, kText);
    if (newline != std::string::npos) line(title.substr(newline + 1), 18 * s, kDimText);
}

}  // namespace vsthost
