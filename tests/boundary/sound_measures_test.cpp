// The wobble's sound measured from what the built plug-in renders: the
// cut-off's -3 dB point, the resonance, the sweep's period and the two
// channels, read off the output with no model of the processor to agree with.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "support/plugin_instance.h"

namespace {

constexpr std::int32_t kBothValid = kVstPpqPosValid | kVstTempoValid;
constexpr double kTwoPi = 6.283185307179586;

struct Setting {
    std::int32_t period;  // index into 1/1, 1/2, 1/3, 1/4, 1/6, 1/8, 1/12, 1/16, ...
    float freq1, freq2, q, mix;
};

// Renders `in` through a fresh instance in 512-sample blocks, the song
// playing at `tempo` from `start` quarter notes.
StereoBuffer render(const Setting& s, StereoBuffer& in, double tempo, double start, float rate = 44100.0f) {
    PluginLibrary lib;
    RecordingHost host;
    host.time.sampleRate = rate;
    PluginInstance fx(lib, host);
    fx.setSampleRate(rate);
    // Host values from working values; the Period's in the middle of its index's range.
    const float values[5] = {(static_cast<float>(s.period) + 0.5f) / 11.0f, (s.freq1 - 20.0f) / 19980.0f,
                             (s.freq2 - 20.0f) / 19980.0f, (s.q - 0.14f) / 14.0f, s.mix};
    for (std::int32_t i = 0; i < 5; ++i) fx.setParameter(i, values[i]);
    StereoBuffer out(in.frames());
    const double step = tempo / 60.0 / rate;
    for (std::size_t at = 0; at < in.frames(); at += 512) {
        const std::size_t n = std::min<std::size_t>(512, in.frames() - at);
        host.setTransport(start + static_cast<double>(at) * step, tempo, kBothValid);
        float* ins[2] = {in.left.data() + at, in.right.data() + at};
        float* outs[2] = {out.left.data() + at, out.right.data() + at};
        fx.effect->processReplacing(fx.effect, ins, outs, static_cast<std::int32_t>(n));
    }
    return out;
}

double samplesPerQuarter(double tempo, double rate = 44100.0) { return rate * 60.0 / tempo; }

// Spectra: a multi-sine with one period of kWindow samples, equal cosines at
// bins 1 to kBins (up to 5.5 kHz at 44.1 kHz), so that over a whole period
// every bin holds exactly one component and the output over input at a bin
// is the filter's response there.
constexpr std::size_t kWindow = 4096;
constexpr std::size_t kBins = 512;

std::complex<double> turn(double cycles) { return std::polar(1.0, kTwoPi * cycles); }

// Two periods on both channels: the first lets the filter settle. Schroeder's
// phases keep the peak near 0.5.
StereoBuffer multiSine() {
    StereoBuffer b(2 * kWindow);
    for (std::size_t m = 1; m <= kBins; ++m) {
        std::complex<double> z = 0.02 * turn(-0.5 * static_cast<double>(m * (m - 1)) / kBins);
        const std::complex<double> step = turn(static_cast<double>(m) / kWindow);
        for (std::size_t n = 0; n < kWindow; ++n, z *= step) b.left[n] += static_cast<float>(z.real());
    }
    std::copy_n(b.left.begin(), kWindow, b.left.begin() + kWindow);
    b.right = b.left;
    return b;
}

// |output / input| at bins 0 (unused) to kBins over the second period.
std::vector<double> gains(const std::vector<float>& in, const std::vector<float>& out) {
    std::vector<double> g(kBins + 1, 0.0);
    for (std::size_t m = 1; m <= kBins; ++m) {
        std::complex<double> x, y, z = 1.0;
        const std::complex<double> step = turn(-static_cast<double>(m) / kWindow);
        for (std::size_t n = kWindow; n < 2 * kWindow; ++n, z *= step) {
            x += z * static_cast<double>(in[n]);
            y += z * static_cast<double>(out[n]);
        }
        g[m] = std::abs(y) / std::abs(x);
    }
    return g;
}

// Where the gain first falls below -3 dB, interpolated between bins.
double minus3dB(const std::vector<double>& g, double binHz) {
    const double edge = std::sqrt(0.5);
    for (std::size_t m = 2; m <= kBins; ++m)
        if (g[m] < edge) return binHz * (static_cast<double>(m) - (edge - g[m]) / (g[m - 1] - g[m]));
    return 0.0;
}

// The response with the window centred at `phase` of the second period of
// 1/1 notes at 8 BPM: a whole note lasts 30 s, so the 4096-sample window
// spans 0.3 % (44.1 kHz) of the period.
std::vector<double> responseAt(const Setting& s, double phase, float rate) {
    StereoBuffer in = multiSine();
    const double tempo = 8.0;
    const double centre = 4.0 + 4.0 * phase;
    const double start = centre - 1.5 * kWindow / samplesPerQuarter(tempo, rate);
    return gains(in.left, render(s, in, tempo, start, rate).left);
}

TEST(SoundMeasures, TheMinus3dBPointIsFreq2AtThePeriodStartAndFreq1AtMidPeriod) {
    // Q 0.7071 puts the low-pass's -3 dB point on its cut-off. Near the
    // period start the cut-off moves by up to 0.7 % of the span between the
    // frequencies within the window (0.35 % on average); at mid-period it
    // stands still. Bins 11 Hz apart on a smooth curve interpolate to well
    // under a hertz. So 0.5 % of the cut-off, and near the start 1 % of the span.
    struct Case {
        float rate, freq1, freq2;
        double phase, expected;
    };
    const Case cases[] = {{44100.0f, 500.0f, 2000.0f, 0.0, 2000.0},
                          {44100.0f, 500.0f, 2000.0f, 0.5, 500.0},
                          {48000.0f, 3000.0f, 800.0f, 0.0, 800.0},
                          {48000.0f, 3000.0f, 800.0f, 0.5, 3000.0}};
    for (const Case& c : cases) {
        const std::vector<double> g = responseAt({0, c.freq1, c.freq2, 0.70710678f, 1.0f}, c.phase, c.rate);
        const double measured = minus3dB(g, c.rate / static_cast<double>(kWindow));
        const double moving = c.phase == 0.0 ? 0.01 * std::fabs(c.freq2 - c.freq1) : 0.0;
        EXPECT_NEAR(measured, c.expected, 0.005 * c.expected + moving) << c.rate << " Hz, phase " << c.phase;
    }
}

TEST(SoundMeasures, TheResonantPeakGrowsWithQAndSitsNearTheCutOff) {
    // At mid-period the cut-off stands at Freq 1 = 1 kHz. A resonant low-pass
    // peaks just below its cut-off, Q / sqrt(1 - 1 / 4Q^2) times its DC gain
    // (3 % above Q at Q 2, less above); bins 10.8 Hz apart find even Q 14's
    // 71 Hz wide peak to 1 %.
    double previous = 1.0;
    for (float q : {2.0f, 4.0f, 8.0f, 14.0f}) {
        const std::vector<double> g = responseAt({0, 1000.0f, 5000.0f, q, 1.0f}, 0.5, 44100.0f);
        const auto top = std::max_element(g.begin() + 1, g.end());
        const double peak = *top / g[1];
        const double where = static_cast<double>(top - g.begin()) * 44100.0 / kWindow;
        EXPECT_GT(peak, previous) << q;
        EXPECT_NEAR(peak, q, 0.05 * q) << q;
        EXPECT_NEAR(where, 1000.0, 100.0) << q;
        previous = peak;
    }
}

// Level over time: a probe's energy through a Hann window, in dB, placed at
// the window's centre. The taper keeps the probe's phase out of the level
// even where the level falls fast; a plain sum over whole cycles leaves a
// ripple there that moves the crossings below by a few samples.
constexpr std::size_t kLevelWindow = 320;

std::vector<double> levelDb(const std::vector<float>& y) {
    std::vector<double> hann(kLevelWindow);
    for (std::size_t k = 0; k < kLevelWindow; ++k)
        hann[k] = std::pow(std::sin(kTwoPi / 2.0 * (static_cast<double>(k) + 0.5) / kLevelWindow), 2.0);
    std::vector<double> level(y.size(), 0.0);
    for (std::size_t n = kLevelWindow; n < y.size(); ++n) {
        double sum = 1e-30;
        for (std::size_t k = 0; k < kLevelWindow; ++k) sum += hann[k] * y[n - k] * y[n - k];
        level[n] = 10.0 * std::log10(sum);
    }
    return level;
}

// The moments the level falls through, and rises through, halfway in dB
// between its extremes, interpolated between samples; centred windows.
struct Crossings {
    std::vector<double> falling, rising;

    // The level's minima: midway between a fall and the next rise.
    std::vector<double> minima() const {
        std::vector<double> m;
        for (std::size_t i = 0; i < std::min(falling.size(), rising.size()); ++i)
            m.push_back((falling[i] + rising[i]) / 2.0);
        return m;
    }
};

Crossings crossings(const std::vector<double>& level) {
    const auto [low, high] = std::minmax_element(level.begin() + kLevelWindow, level.end());
    const double half = (*low + *high) / 2.0;
    Crossings c;
    for (std::size_t n = kLevelWindow + 1; n < level.size(); ++n) {
        const double a = level[n - 1] - half, b = level[n] - half;
        const double at = static_cast<double>(n) - 1.0 + a / (a - b) - (kLevelWindow - 1) / 2.0;
        if (a >= 0.0 && b < 0.0) c.falling.push_back(at);
        if (a < 0.0 && b >= 0.0 && !c.falling.empty()) c.rising.push_back(at);
    }
    return c;
}

// Samples from the mid-period nearest sample `at` of a render that began
// `lead` samples into a period of `length` samples.
double fromMidPeriod(double at, double length, double lead = 0.0) {
    const double song = at + lead;
    return song - (std::floor(song / length) + 0.5) * length;
}

// A sine on each channel, of the given cycle in samples and level (the right one a radian on).
StereoBuffer probes(std::size_t frames, double leftCycle, float leftLevel, double rightCycle, float rightLevel) {
    StereoBuffer b(frames);
    for (std::size_t n = 0; n < frames; ++n) {
        b.left[n] = leftLevel * static_cast<float>(std::sin(kTwoPi * static_cast<double>(n) / leftCycle));
        b.right[n] = rightLevel * static_cast<float>(std::sin(kTwoPi * static_cast<double>(n) / rightCycle + 1.0));
    }
    return b;
}

// A 2.76 kHz probe passes at the period start (12 kHz) and is 45 dB down at
// mid-period (200 Hz).
const Setting kProbeSweep{0, 200.0f, 12000.0f, 0.70710678f, 1.0f};

TEST(SoundMeasures, TheSweepRepeatsEveryNoteLengthWithItsMinimaAtMidPeriod) {
    // The sweep is periodic to the rounding of the song position to single
    // precision (under 0.02 samples here) and the tapered level keeps the
    // probe's phase out of the crossings, so they repeat to a hundredth of a
    // sample: half a sample is a wide margin. The filter's lag puts the
    // minima a sample or so after mid-period.
    for (double tempo : {90.0, 120.0, 151.0})
        for (std::int32_t period : {3, 7}) {  // 1/4 and 1/16
            const double length = (period == 3 ? 1.0 : 0.25) * samplesPerQuarter(tempo);
            Setting s = kProbeSweep;
            s.period = period;
            StereoBuffer in = probes(static_cast<std::size_t>(4.2 * length), 16.0, 0.5f, 16.0, 0.5f);
            const Crossings c = crossings(levelDb(render(s, in, tempo, 0.0).left));
            ASSERT_GE(c.falling.size(), 3u) << tempo << " " << period;
            ASSERT_EQ(c.rising.size(), c.falling.size()) << tempo << " " << period;
            for (std::size_t i = 1; i < c.falling.size(); ++i) {
                EXPECT_NEAR(c.falling[i] - c.falling[i - 1], length, 0.5) << tempo << " " << period;
                EXPECT_NEAR(c.rising[i] - c.rising[i - 1], length, 0.5) << tempo << " " << period;
            }
            for (double m : c.minima()) EXPECT_NEAR(fromMidPeriod(m, length), 0.0, 5.0) << tempo << " " << period;
        }
}

TEST(SoundMeasures, MixZeroReturnsTheInputBitForBitAndRaisingItBringsNoTransient) {
    // Normal-range input: while a block is processed a subnormal sample reads
    // as zero, and -0 may come out as +0.
    const Setting settings[] = {
        {6, 500.0f, 20000.0f, 1.414f, 0.0f}, {11, 60.0f, 20.0f, 14.14f, 0.0f}, {7, 18000.0f, 300.0f, 8.0f, 0.0f}};
    for (const Setting& s : settings) {
        StereoBuffer in = noise(6000, 21);
        StereoBuffer dry = render(s, in, 133.0, 1.5);
        EXPECT_TRUE(sameBits(dry.left, in.left) && sameBits(dry.right, in.right)) << s.period;
    }
    // Its filters run meanwhile: full mix from the next block on is what an
    // instance that ran at full mix all along gives.
    PluginLibrary lib;
    RecordingHost host;
    PluginInstance raised(lib, host), always(lib, host);
    raised.setParameter(4, 0.0f);
    StereoBuffer first = noise(3000, 22), second = noise(3000, 23);
    raised.process(first);
    always.process(first);
    raised.setParameter(4, 1.0f);
    StereoBuffer a = raised.process(second), b = always.process(second);
    EXPECT_TRUE(sameBits(a.left, b.left) && sameBits(a.right, b.right));
}

TEST(SoundMeasures, BothChannelsSweepTogether) {
    const double tempo = 128.0, start = 0.1, length = 0.25 * samplesPerQuarter(tempo);  // 1/16 notes
    Setting s = kProbeSweep;
    s.period = 7;
    s.q = 4.0f;
    StereoBuffer same = noise(static_cast<std::size_t>(4.2 * length), 24);
    same.right = same.left;
    StereoBuffer out = render(s, same, tempo, start);
    EXPECT_TRUE(sameBits(out.left, out.right));

    // Probes of other pitch, phase and level on each channel: the filter's
    // lag differs by about a sample between the pitches, so the minima
    // coincide to 3 samples, each a sample or so after mid-period.
    s.q = 0.70710678f;
    StereoBuffer apart = probes(same.frames(), 16.0, 0.5f, 20.0, 0.1f);
    StereoBuffer swept = render(s, apart, tempo, start);
    const std::vector<double> left = crossings(levelDb(swept.left)).minima();
    const std::vector<double> right = crossings(levelDb(swept.right)).minima();
    ASSERT_GE(left.size(), 3u);
    ASSERT_EQ(left.size(), right.size());
    for (std::size_t i = 0; i < left.size(); ++i) {
        EXPECT_NEAR(left[i], right[i], 3.0) << i;
        EXPECT_NEAR(fromMidPeriod(left[i], length, start * samplesPerQuarter(tempo)), 0.0, 5.0) << i;
    }
}

}  // namespace
